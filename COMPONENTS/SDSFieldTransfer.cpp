#include "SDSFieldTransfer.h"

#include "SDSSql.h"
#include "db/DBConsts.h"
#include "ibclient/IBSQL.h"

TSDSTransfer TransferOf(TFieldType Type) {
  switch (Type) {
    case ftString:
    case ftBlob:
    case ftMemo:
      return TSDSTransfer::String;
    case ftSmallint:
    case ftInteger:
      return TSDSTransfer::Integer;
    case ftFloat:
      return TSDSTransfer::Float;
    case ftCurrency:
      return TSDSTransfer::Exact;
    case ftBCD:
      return TSDSTransfer::Bcd;
    case ftDate:
    case ftTime:
    case ftDateTime:
      return TSDSTransfer::DateTime;
    case ftLargeint:
      return TSDSTransfer::Int64;
    default:
      return TSDSTransfer::Variant;
  }
}

namespace {

// Through the column's exact text (SQL's decimal point): a NUMERIC(18,2)
// value beyond Currency loads whole.
void SetBcdFromColumn(TBCDField& Field, const TIBSQLVar& Column) {
  const AnsiString text = Column.AsString();
  TBcd bcd;
  if (!TryStrToBCD(text, '.', bcd))
    DatabaseErrorFmt(SInvalidFloatValue, {text, Field.DisplayName()});
  Field.SetAsBCD(bcd);
}

// At the field's scale, where every value it holds fits.
void SetParamFromBcd(TIBSQLVar& Param, const TField& Field, const TBcd& Value) {
  int64_t scaled = 0;
  if (!BCDToScaled(Value, Field.Size(), scaled))
    DatabaseErrorFmt(SInvalidFloatValue,
                     {BCDToStr(Value, FormatSettings.DecimalSeparator), Field.DisplayName()});
  Param.SetScaled(scaled, static_cast<short>(-Field.Size()));
}

std::vector<TField*> AllFields(TFields& Fields) {
  std::vector<TField*> all;
  all.reserve(Fields.Count());
  for (int i = 0; i < Fields.Count(); ++i) all.push_back(Fields.Fields(i));
  return all;
}

}  // namespace

TSDSFieldTransfer::TSDSFieldTransfer(TFields& Fields, TIBSQL& Statement, bool ByServer)
    : TSDSFieldTransfer(AllFields(Fields), Statement, ByServer) {}

TSDSFieldTransfer::TSDSFieldTransfer(const std::vector<TField*>& Fields, TIBSQL& Statement,
                                     bool ByServer) {
  FEntries.reserve(Fields.size());
  for (TField* field : Fields) {
    if (field->Calculated() || (field->Lookup() && !ByServer)) continue;
    if (field->ProviderFlags().Empty() && !ByServer) continue;
    const TIBSQLVar* column = Statement.FindField(field->FieldName());
    if (!column) continue;
    TSDSTransfer code = TransferOf(field->DataType());
    if (field->FieldName() == SDSDBKeyField) {
      if (column->Size() != 8) continue;
      code = TSDSTransfer::RowKey;
    } else if ((code == TSDSTransfer::Int64 && !dynamic_cast<TLargeintField*>(field)) ||
               (code == TSDSTransfer::Bcd && !dynamic_cast<TBCDField*>(field))) {
      code = TSDSTransfer::Variant;
    }
    int index = 0;
    while (&Statement.Fields(index) != column) ++index;
    FEntries.push_back({field, index, code});
  }
}

void TSDSFieldTransfer::CopyRow(TIBSQL& Statement, const std::function<void()>& BeforeLast) const {
  for (size_t i = 0; i < FEntries.size(); ++i) {
    const TEntry& entry = FEntries[i];
    if (BeforeLast && i + 1 == FEntries.size()) BeforeLast();
    const TIBSQLVar& column = Statement.Fields(entry.Column);
    TField* field = entry.Field;
    if (column.IsNull()) {
      field->Clear();
      continue;
    }
    switch (entry.Code) {
      case TSDSTransfer::String:
        field->SetAsString(column.AsString());
        break;
      case TSDSTransfer::Integer:
        field->SetAsInteger(column.AsInteger());
        break;
      case TSDSTransfer::Float:
        field->SetAsFloat(column.AsDouble());
        break;
      case TSDSTransfer::Exact:
        field->SetAsCurrency(column.AsCurrency());
        break;
      case TSDSTransfer::Bcd:
        SetBcdFromColumn(*static_cast<TBCDField*>(field), column);
        break;
      case TSDSTransfer::DateTime:
        field->SetAsDateTime(column.AsDateTime());
        break;
      case TSDSTransfer::Int64:
        static_cast<TLargeintField*>(field)->SetAsLargeInt(column.AsInt64());
        break;
      case TSDSTransfer::RowKey:
        field->SetData(column.AsBytes().data());
        break;
      default:
        field->SetAsString(column.AsString());
        break;
    }
  }
}

void SetParamFromField(TIBSQLVar& Param, const TField& Field) {
  if (Field.IsNull()) {
    Param.Clear();
    return;
  }
  switch (TransferOf(Field.DataType())) {
    case TSDSTransfer::Integer:
      Param.SetAsInteger(Field.AsInteger());
      break;
    case TSDSTransfer::Float:
      Param.SetAsDouble(Field.AsFloat());
      break;
    case TSDSTransfer::Exact:
      Param.SetAsCurrency(Field.AsCurrency());
      break;
    case TSDSTransfer::Bcd:
      if (const auto* bcd = dynamic_cast<const TBCDField*>(&Field)) {
        SetParamFromBcd(Param, Field, bcd->AsBCD());
        break;
      }
      Param.SetAsString(Field.AsString());
      break;
    case TSDSTransfer::DateTime:
      Param.SetAsDateTime(Field.AsDateTime());
      break;
    case TSDSTransfer::Int64:
      if (const auto* large = dynamic_cast<const TLargeintField*>(&Field)) {
        Param.SetAsInt64(large->AsLargeInt());
        break;
      }
      [[fallthrough]];
    default:
      Param.SetAsString(Field.AsString());
      break;
  }
}

void SetParamFromValue(TIBSQLVar& Param, const TField& Field, const Variant& Value) {
  if (VarIsNull(Value) || VarIsEmpty(Value)) {
    Param.Clear();
    return;
  }
  switch (TransferOf(Field.DataType())) {
    case TSDSTransfer::Integer:
      Param.SetAsInteger(Value.AsInteger());
      break;
    case TSDSTransfer::Float:
      Param.SetAsDouble(Value.AsDouble());
      break;
    case TSDSTransfer::Exact:
      Param.SetAsCurrency(Value.AsCurrency());
      break;
    case TSDSTransfer::Bcd: {
      TBcd bcd;
      if (!VarToBCD(Value, bcd))
        DatabaseErrorFmt(SInvalidFloatValue, {VarToStr(Value), Field.DisplayName()});
      SetParamFromBcd(Param, Field, bcd);
      break;
    }
    case TSDSTransfer::DateTime:
      Param.SetAsDateTime(Value.AsDateTime());
      break;
    case TSDSTransfer::Int64:
      Param.SetAsInt64(Value.AsInt64());
      break;
    default:
      Param.SetAsString(VarToStr(Value));
      break;
  }
}

TSDSFieldsUnlocked::TSDSFieldsUnlocked(TFields& Fields) {
  FSaved.reserve(Fields.Count());
  for (int i = 0; i < Fields.Count(); ++i) {
    TField* field = Fields.Fields(i);
    FSaved.push_back({field, field->Required(), field->ReadOnly(), std::move(field->OnChange),
                      std::move(field->OnValidate)});
    field->OnChange = nullptr;
    field->OnValidate = nullptr;
    field->SetRequired(false);
    field->SetReadOnly(false);
  }
}

TSDSFieldsUnlocked::~TSDSFieldsUnlocked() {
  for (TSaved& saved : FSaved) {
    saved.Field->SetRequired(saved.Required);
    saved.Field->SetReadOnly(saved.ReadOnly);
    saved.Field->OnChange = std::move(saved.OnChange);
    saved.Field->OnValidate = std::move(saved.OnValidate);
  }
}
