#include "SDS.h"

#include <cstring>

namespace {

constexpr uint32_t DeletedBit = 0x80000000u;
constexpr uint32_t ListBit = 0x40000000u;

void SetStateBit(uint32_t& State, uint32_t Bit, bool On) { State = On ? State | Bit : State & ~Bit; }

}  // namespace

void RaiseHintError(const AnsiString& Message) { throw EHintError(Message); }

bool SameID(const void* A, const void* B) { return std::memcmp(A, B, 8) == 0; }

bool IsDeletedState(uint32_t State) { return (State & DeletedBit) != 0; }

bool IsListState(uint32_t State) { return (State & ListBit) != 0; }

int StateOwnerID(uint32_t State) { return static_cast<int>(State & 0xFFFFu); }

void SetDeletedState(uint32_t& State, bool Deleted) { SetStateBit(State, DeletedBit, Deleted); }

void SetListState(uint32_t& State, bool List) { SetStateBit(State, ListBit, List); }

TSDS::TSDS(TComponent* AOwner) : TzynCustomMemTable(AOwner) {
  SetStandalone(true);
  RecalcOnIndex = false;
  SetPerformance(mtpfSmall);
}

TSDS::~TSDS() { Close(); }

void TSDS::SetTableName(const AnsiString& Value) {
  if (!FTableName.empty() && Value != FTableName) {
    if (FDataLoaded && !FInternalLoading) Close();
    FieldDefs()->Clear();
    IndexDefs()->Clear();
    ResetSystemFields();
  }
  FTableName = Value;
}

void TSDS::CreateFieldsFromDefs() {
  for (int i = 0; i < FieldDefs()->Count(); ++i) {
    TFieldDef* def = FieldDefs()->Items(i);
    if (TField* field = FindField(def->Name())) {
      if (field->DataType() == ftString && def->Size() != 0 && field->Size() != def->Size())
        field->SetSize(def->Size());
    } else if (def->DataType() != ftUnknown) {
      def->CreateField(this)->SetVisible(FOptions.Contains(dsoFieldsDefaultVisible));
    }
  }
}

void TSDS::SetActive(bool Value) {
  if (Value == Active()) return;
  if (!Value) {
    FStructureReady = FDataLoaded = FInternalLoading = false;
    TzynCustomMemTable::SetActive(false);
    return;
  }
  if (!FStructureReady && FTableName.empty() && FCommandText.empty()) {
    FOptions = FOptions - SDSServerOptions + TSDSOptions{dsoFieldsDefaultVisible};
    CreateFieldsFromDefs();
  }
  TzynCustomMemTable::SetActive(true);
  BindSystemFields();
}

void TSDS::ResetSystemFields() {
  FDBKeyField = FTimeField = FIDField = FPIDField = FStateField = FAutoIncField = nullptr;
}

void TSDS::BindSystemFields() {
  TField** refs[] = {&FDBKeyField, &FTimeField, &FIDField, &FPIDField, &FStateField};
  const char* names[] = {"IBX_INTERNAL_DBKEY", "SYS$TIME", "SYS$ID", "SYS$PID", "SYS$STATE"};
  for (size_t i = 0; i < std::size(refs); ++i) {
    *refs[i] = FindField(names[i]);
    if (*refs[i]) (*refs[i])->SetVisible(false);
  }
  FAutoIncField = FAutoIncFieldName.empty() ? FIDField : FindField(FAutoIncFieldName);
  if (FAutoIncField && !FAutoIncFieldName.empty()) FAutoIncField->SetRequired(false);
}

void TSDS::DoOnNewRecord() {
  if (FInternalLoading) return;
  TzynCustomMemTable::DoOnNewRecord();
  if (FPIDField) FPIDField->SetAsInteger(0);
  if (FStateField) FStateField->SetAsInteger(0);
}
