#include "DBGridKsImportCell.h"

namespace {

// The field a cell writes: a lookup field's key field, none when it names
// none.
TField* WrittenField(TField* Field) {
  if (Field == nullptr || Field->FieldKind() != fkLookup) return Field;
  if (Field->KeyFields().empty()) return nullptr;
  return Field->DataSet()->FindField(Field->KeyFields());
}

// The field to write when the column allows it and its dataset is (put)
// in edit or insert state, else none.
TField* EditedField(TGridImportTarget& Target, bool WholeValue) {
  if (!Target.AllowsChange(WholeValue)) return nullptr;
  TField* field = WrittenField(Target.Field());
  if (field == nullptr || !field->DataSet()->CanModify()) return nullptr;
  TDataSet* data = field->DataSet();
  data->Edit();
  return data->State() == dsEdit || data->State() == dsInsert ? field : nullptr;
}

// The types of the string field classes; cheaper than a cast per cell.
bool IsStringField(const TField* Field) {
  const TFieldType type = Field->DataType();
  return type == ftString || type == ftFixedChar || type == ftGuid;
}

// A string field would keep only its first Size characters of a longer
// text, silently: that is the cell's error.
void CheckLength(TField* Field, const AnsiString& Text) {
  if (Text.size() > static_cast<size_t>(Field->Size()) && IsStringField(Field))
    throw Exception(Format("Значение длиннее поля '%s' (%d символов из %d)",
                           {Field->DisplayName(), static_cast<int>(Text.size()), Field->Size()}));
}

void AssignLookup(TField* Lookup, TField* Key, const AnsiString& Text) {
  TDataSet* list = Lookup->LookupDataSet();
  // An exact match first: "Иван" must not take "Иванова" listed before it.
  if (list->Locate(Lookup->LookupResultField(), Text, TLocateOptions{loCaseInsensitive}) ||
      list->Locate(Lookup->LookupResultField(), Text,
                   TLocateOptions{loCaseInsensitive, loPartialKey}))
    Key->SetValue(list->FieldValues(Lookup->LookupKeyFields()));
}

Variant ValueOf(const TExportValue& Value) {
  switch (Value.Kind) {
    case TExportValueKind::Integer:
      return Value.Integer;
    case TExportValueKind::Float:
      return Value.Float;
    case TExportValueKind::String:
    case TExportValueKind::Bytes:
      return Value.Bytes;
    case TExportValueKind::NoField:
    case TExportValueKind::Null:
      break;
  }
  return Variant::Null();
}

}  // namespace

void ImportCell(TGridImportTarget& Target, const AnsiString& Text) {
  TField* field = EditedField(Target, false);
  if (field == nullptr) return;
  if (Target.Field()->FieldKind() == fkLookup) {
    AssignLookup(Target.Field(), field, Text);
  } else if (Target.HasKeyList()) {
    const int index = Target.PickList().IndexOf(Text);
    if (index >= 0 && index < Target.KeyList().Count())
      field->SetAsString(Target.KeyList().Strings(index));
    else
      field->Clear();
  } else {
    CheckLength(field, Text);
    field->SetAsString(Text);
  }
}

void ImportCell(TGridImportTarget& Target, const TExportValue& Value) {
  if (Value.Kind == TExportValueKind::NoField) return;
  TField* field = EditedField(Target, true);
  if (field == nullptr) return;
  if (Value.Kind == TExportValueKind::Null) {
    field->Clear();
    return;
  }
  if (Value.Kind == TExportValueKind::String || Value.Kind == TExportValueKind::Bytes)
    CheckLength(field, Value.Bytes);
  field->SetValue(ValueOf(Value));
}

void ClearImportCell(TGridImportTarget& Target) {
  if (TField* field = EditedField(Target, false)) field->Clear();
}

// A template, not a function object: one call per cell.
template <typename TAssign>
void TGridImportRecordWriter::Store(const TAssign& Assign) {
  try {
    Assign();
  } catch (const EAbort&) {
    throw;
  } catch (const Exception& e) {
    if (FIgnoreAll) return;
    switch (FAsk(e.Message())) {
      case TCellErrorAnswer::Ignore:
        return;
      case TCellErrorAnswer::IgnoreAll:
        FIgnoreAll = true;
        return;
      case TCellErrorAnswer::Abort:
        if (FDataSet.State() == dsEdit || FDataSet.State() == dsInsert) FDataSet.Cancel();
        Abort();
    }
  }
}

void TGridImportRecordWriter::Write(const std::vector<TGridImportTarget*>& Targets,
                                    const std::vector<AnsiString>& Cells) {
  for (size_t k = 0; k < Cells.size() && k < Targets.size(); ++k)
    Store([&] { ImportCell(*Targets[k], Cells[k]); });
}

void TGridImportRecordWriter::Write(const std::vector<TGridImportTarget*>& Targets,
                                    const std::vector<TExportValue>& Values) {
  for (size_t k = 0; k < Values.size() && k < Targets.size(); ++k)
    Store([&] { ImportCell(*Targets[k], Values[k]); });
}
