#include "SDSAudit.h"

#include <vector>

#include "SDS.h"
#include "SDSSql.h"
#include "rtl/AnsiText.h"

namespace {

// A value or name holding markup would end its element early and forge
// others; its markup characters go as references.
AnsiString Escaped(const AnsiString& Text) {
  AnsiString escaped;
  escaped.reserve(Text.size());
  for (char c : Text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// Value is escaped already (it may hold the old/new markers).
void AddElement(AnsiString& Text, const AnsiString& Name, const AnsiString& Value) {
  const AnsiString name = Escaped(UpperCase(Name));
  Text += "<" + name + ">" + Value + "</" + name + ">";
}

bool IsQuotedType(TFieldType Type) { return Type == ftString || Type == ftDate || Type == ftDateTime; }

AnsiString Quoted(const AnsiString& Text) {
  AnsiString quoted = "'";
  for (char c : Text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

AnsiString ChangedFields(const TSDS& DataSet) {
  AnsiString text;
  for (int i = 0; i < DataSet.FieldCount(); ++i) {
    const TField* field = DataSet.Fields()->Fields(i);
    if (!IsAuditedField(field)) continue;
    try {
      // Both sides through the same conversion, so an unchanged value
      // compares equal whatever its type.
      AnsiString oldText = VarToStr(field->OldValue());
      AnsiString newText = VarToStr(field->Value());
      if (oldText == newText) continue;
      if (IsQuotedType(field->DataType())) {
        oldText = Quoted(oldText);
        newText = Quoted(newText);
      }
      AddElement(text, field->FieldName(), "<OLD>=" + Escaped(oldText) + "<NEW>=" + Escaped(newText));
    } catch (const std::exception&) {
      // A value that cannot be read leaves the field out of the message.
    }
  }
  return text;
}

}  // namespace

bool IsAuditedField(const TField* Field) {
  return Field->FieldKind() == fkData && !Field->ProviderFlags().Empty() && Field->DataType() != ftBlob &&
         Field->DataType() != ftMemo && Field->FieldName() != SDSDBKeyField &&
         UpperCase(Field->FieldName()).find(SDSTimeField) == AnsiString::npos;
}

AnsiString BuildAuditText(const TSDS& DataSet, int Operation) {
  std::vector<TField*> listed;
  if (Operation == aoUpdate) {
    DataSet.GetFieldList(listed, DataSet.KeyFields());
  } else {
    for (int i = 0; i < DataSet.FieldCount(); ++i)
      if (TField* field = DataSet.Fields()->Fields(i); IsAuditedField(field)) listed.push_back(field);
  }
  const char* tag = Operation == aoUpdate ? "UPDATE" : Operation == aoInsert ? "INSERT" : "DELETE";
  AnsiString text = "<TABLE>" + Escaped(DataSet.TableName()) + "</TABLE><" + AnsiString(tag) + ">";
  for (const TField* field : listed) AddElement(text, field->FieldName(), Escaped(field->AsString()));
  if (Operation == aoUpdate) text += ChangedFields(DataSet);
  return text + "</" + tag + ">";
}
