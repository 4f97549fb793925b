#include "SDSAudit.h"

#include <vector>

#include "SDS.h"
#include "SDSSql.h"
#include "rtl/AnsiText.h"

namespace {

void AddElement(AnsiString& Text, const AnsiString& Name, const AnsiString& Value) {
  Text += "<" + Name + ">" + Value + "</" + Name + ">";
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
      AddElement(text, UpperCase(field->FieldName()), "<OLD>=" + oldText + "<NEW>=" + newText);
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
  AnsiString text = "<TABLE>" + DataSet.TableName() + "</TABLE><" + AnsiString(tag) + ">";
  for (const TField* field : listed) AddElement(text, UpperCase(field->FieldName()), field->AsString());
  if (Operation == aoUpdate) text += ChangedFields(DataSet);
  return text + "</" + tag + ">";
}
