#include "SDSLevels.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "SDS.h"
#include "zynCommon.h"
#include "zynIndexes.h"

namespace {

constexpr const char* LevelField = "SYS$PID";

// "SYS$PID" alone or as the first of a list.
bool HasLevelPrefix(const AnsiString& Fields) {
  return AnsiSameText(Fields.substr(0, 7), LevelField) && (Fields.size() == 7 || Fields[7] == ';');
}

[[noreturn]] void MissingField(const char* Name, int Line) {
  throw EAssertionFailed(AnsiString("Не вычислен индекс поля ") + Name, "COMPONENTS/SDS", Line);
}

int64_t IdentityOf(const TField* Field) { return Field->IsNull() ? 0 : Field->Value().AsInt64(); }

bool FitsParentID(int64_t ID) { return ID >= INT32_MIN && ID <= INT32_MAX; }

std::vector<Variant> WithParent(int32_t ParentID, const std::vector<Variant>& Values) {
  std::vector<Variant> values{Variant(ParentID)};
  values.insert(values.end(), Values.begin(), Values.end());
  return values;
}

}  // namespace

// ---- The level stack --------------------------------------------------------------------------

void TLevelInfo::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TLevelInfo*>(Source);
  if (!other) {
    TCollectionItem::Assign(Source);
    return;
  }
  if (Collection()) Collection()->BeginUpdate();
  Values = other->Values;
  DataSet = other->DataSet;
  ParentID = other->ParentID;
  if (Collection()) Collection()->EndUpdate();
}

Variant TLevelInfo::FieldValue(const AnsiString& FieldName) const {
  const TField* field = DataSet ? DataSet->FindField(FieldName) : nullptr;
  if (!field || !Values.IsArray() || field->Index() > VarArrayHighBound(Values, 1)) return Variant::Null();
  return Values[field->Index()];
}

void TLevelInfo::SaveRecordValues(TDataSet* ADataSet) {
  DataSet = ADataSet;
  if (!ADataSet->Active()) return;
  Values = VarArrayCreate(0, ADataSet->FieldCount() - 1, varVariant);
  for (int i = 0; i < ADataSet->FieldCount(); ++i) Values[i] = ADataSet->Fields()->Fields(i)->Value();
}

// ---- The index choice -------------------------------------------------------------------------

AnsiString TSDS::WithLevelPrefix(const AnsiString& Fields) const {
  if (!NavigationMode() || HasLevelPrefix(Fields)) return Fields;
  return Fields.empty() ? AnsiString(LevelField) : LevelField + (";" + Fields);
}

AnsiString TSDS::IndexFieldNames() const {
  AnsiString fields = TzynCustomMemTable::IndexFieldNames();
  if (NavigationMode() && HasLevelPrefix(fields)) fields.erase(0, std::min<size_t>(fields.size(), 8));
  return fields;
}

void TSDS::SetIndexFieldNames(const AnsiString& Value) {
  if (!Active()) {
    TzynCustomMemTable::SetIndexFieldNames(Value);
    return;
  }
  const AnsiString fields = WithLevelPrefix(Value);
  if (!fields.empty() && !Indexes->IndexByFields(fields)) BuildIndex(UnusedIndexName(), fields, {});
  TzynCustomMemTable::SetIndexFieldNames(fields);
  ApplyLevelRange();
}

AnsiString TSDS::IndexName() const {
  const AnsiString name = TzynCustomMemTable::IndexName();
  const AnsiString fields = IndexFieldNames();
  if (!name.empty() || AnsiSameText(fields, FKeyFields)) return name;
  for (size_t i = 0; i < FServerIndexFields.size(); ++i)
    if (AnsiSameText(FServerIndexFields[i], fields)) return FServerIndexNames[i];
  return name;
}

void TSDS::SetIndexName(const AnsiString& Value) {
  if (!Active()) {
    TzynCustomMemTable::SetIndexName(Value);
    return;
  }
  const AnsiString name = Value.empty() && !FTableName.empty() ? AnsiString("PRIMARY_KEY") : Value;
  if (!name.empty() && !Indexes->IndexByName(name)) {
    if (AnsiSameText(name, "PRIMARY_KEY")) {
      if (FKeyFields.empty()) {
        // Row order would show every level: navigation takes the records
        // of the level in the order they were stored instead.
        if (NavigationMode() && CurrentIndex->IsRowOrder) SetIndexFieldNames("");
        return;
      }
      BuildIndex(name, FKeyFields, {ixUnique});
    } else {
      size_t at = 0;
      while (at < FServerIndexNames.size() && !AnsiSameText(FServerIndexNames[at], name)) ++at;
      // Not a server index either: the table's own "not found".
      if (at == FServerIndexNames.size()) TzynCustomMemTable::SetIndexName(name);
      BuildIndex(name, FServerIndexFields[at], {});
    }
  }
  TzynCustomMemTable::SetIndexName(name);
  ApplyLevelRange();
}

void TSDS::GetIndexFieldList(std::vector<TField*>& List) const { GetFieldList(List, IndexFieldNames()); }

Variant TSDS::Lookup(const AnsiString& KeyFields, const Variant& KeyValues, const AnsiString& ResultFields) {
  TzynViewSwitches off;
  off.Ranged = NavigationMode() && AnsiSameText(KeyFields, "SYS$ID");
  const TzynViewSwitches saved = SuspendView(off);
  try {
    Variant result = TzynCustomMemTable::Lookup(KeyFields, KeyValues, ResultFields);
    ResumeView(saved);
    return result;
  } catch (...) {
    ResumeView(saved);
    throw;
  }
}

void TSDS::BuildIndex(const AnsiString& Name, AnsiString Fields, TIndexOptions Options) {
  MarkFiltered(Name);
  AddIndex(Name, WithLevelPrefix(Fields), Options);
}

void TSDS::UseWholeKeyIndex() {
  for (int i = 0; i < Indexes->Count(); ++i) {
    const TzynIndex* index = Indexes->Items(i);
    if (!index->IsRowOrder && AnsiSameText(index->IndexFields, FKeyFields) && !FFilteredIndexes.count(index->Name)) {
      TzynCustomMemTable::SetIndexName(index->Name);
      return;
    }
  }
  const AnsiString name = UnusedIndexName();
  AddIndex(name, FKeyFields, {});
  TzynCustomMemTable::SetIndexName(name);
}

void TSDS::MarkFiltered(const AnsiString& IndexName) {
  const bool filtered = FOptions.Contains(dsoPermissions) ||
                        (FOptions.Contains(dsoLevels) && FLevelMode == dslmShowOnlyLeaf) ||
                        (FOptions.Contains(dsoVirtualDelete) && !FOptions.Contains(dsoShowDeleted)) ||
                        IsLookupClone();
  if (filtered)
    FFilteredIndexes.insert(IndexName);
  else
    FFilteredIndexes.erase(IndexName);
}

bool TSDS::PassesIndexFilter() {
  // While the table opens its indexes are rebuilt before the fields are bound.
  const TField* state = FStateField ? FStateField : FindField("SYS$STATE");
  if (!state) return true;
  const auto word = static_cast<uint32_t>(state->AsInteger());
  if (!FOptions.Contains(dsoShowDeleted) && IsDeletedState(word)) return false;
  if (FOptions.Contains(dsoLevels) && FLevelMode == dslmShowOnlyLeaf && !IsListState(word)) return false;
  if (FOptions.Contains(dsoLevels) && FLevelMode == dslmShowOnlyLeveled && IsListState(word)) return false;
  return !IsLookupClone() || GetAccess(asMasterAccess | asMasterAccessTmp) == acFull;
}

// ---- Levels -----------------------------------------------------------------------------------

bool TSDS::NavigationMode() const {
  return FOptions.Contains(dsoLevels) && (FLevelMode == dslmDefault || FLevelMode == dslmShowOnlyLeveled);
}

int32_t TSDS::CurrentParentID() const { return FLevelInfos->Count() ? FLevelInfos->Last()->ParentID : 0; }

void TSDS::ResetLevels() {
  FLevelInfos->Clear();
  FLevelInfos->Add();
}

void TSDS::SetOptions(TSDSOptions Value) {
  const bool wasNavigating = NavigationMode();
  const AnsiString fields = IndexFieldNames();
  const bool levelsOn = Value.Contains(dsoLevels) && !FOptions.Contains(dsoLevels);
  FOptions = Value;
  if (levelsOn) {
    const TSDSLevelMode mode = std::exchange(FLevelMode, dslmNone);
    SetLevelMode(mode);
    // Refused for want of SYS$PID: the mode stays.
    FLevelMode = mode;
  } else if (wasNavigating && !NavigationMode() && Active()) {
    // The prefix and the level range would keep showing one level.
    CancelRange();
    SetIndexFieldNames(fields);
    DataEvent(deLayoutChange, 0);
  }
}

void TSDS::SetLevelMode(TSDSLevelMode Value) {
  if (Value == FLevelMode) return;
  if (!FOptions.Contains(dsoLevels)) {
    FLevelMode = Value;
    return;
  }
  if (Active() && !FindField(LevelField)) return;
  const AnsiString fields = IndexFieldNames();
  FLevelMode = Value;
  ResetLevels();
  if (Active()) CancelRange();
  SetIndexFieldNames(fields);
  if (Active()) {
    // The record filter of the new mode holds for every index.
    for (int i = 0; i < Indexes->Count(); ++i)
      if (!Indexes->Items(i)->IsRowOrder) MarkFiltered(Indexes->Items(i)->Name);
    Indexes->MarkAllUnordered();
    UpdateIndexes();
  }
  if (NavigationMode())
    ApplyLevelRange();
  else
    DataEvent(deLayoutChange, 0);
}

void TSDS::ApplyLevelRange() {
  if (!NavigationMode()) return;
  if (FLevelInfos->Count() == 0)
    throw EAssertionFailed("Ошибка структуры справочника!\n\rLastLevel=0", "COMPONENTS/SDS", __LINE__);
  if (!Active()) return;
  SetRangeInLevel({}, {});
  DataEvent(deLayoutChange, 0);
}

bool TSDS::LevelDown() {
  if (!NavigationMode() || !Active() || (Bof() && Eof())) return false;
  if (!FIDField) MissingField("SYS$ID", __LINE__);
  if (FStateField && IsListState(static_cast<uint32_t>(FStateField->AsInteger()))) return false;
  // A parent is kept in SYS$PID, 32 bits wide: a wider identity is never cut.
  const int64_t id = IdentityOf(FIDField);
  if (!FitsParentID(id)) return false;
  TLevelInfo* level = FLevelInfos->Add();
  level->ParentID = static_cast<int32_t>(id);
  level->SaveRecordValues(this);
  ApplyLevelRange();
  if (OnLevelDown && !FInternalLoading) OnLevelDown(this);
  return true;
}

bool TSDS::LevelUp() {
  if (!NavigationMode() || FLevelInfos->Count() <= 1) return false;
  const int32_t left = FLevelInfos->Last()->ParentID;
  FLevelInfos->Delete(FLevelInfos->Count() - 1);
  ApplyLevelRange();
  if (OnLevelUp && !FInternalLoading) OnLevelUp(this);
  if (Active()) Locate("SYS$ID", Variant(left), {});
  return true;
}

bool TSDS::FindKeyInLevel(const std::vector<Variant>& Values) {
  if (!NavigationMode()) return FindKey(Values);
  if (!FPIDField) MissingField(LevelField, __LINE__);
  return FindKey(WithParent(CurrentParentID(), Values));
}

void TSDS::SetRangeInLevel(const std::vector<Variant>& StartValues, const std::vector<Variant>& EndValues) {
  if (!NavigationMode()) {
    SetRange(StartValues, EndValues);
    return;
  }
  if (!FPIDField) MissingField(LevelField, __LINE__);
  SetRange(WithParent(CurrentParentID(), StartValues), WithParent(CurrentParentID(), EndValues));
}

bool TSDS::GotoKeyInLevel() {
  if (NavigationMode()) {
    if (!FPIDField) MissingField(LevelField, __LINE__);
    FPIDField->SetAsInteger(CurrentParentID());
  }
  return GotoKey();
}

int64_t TSDS::CurrentID() {
  if (!Active()) Open();
  if (!FIDField) MissingField("SYS$ID", __LINE__);
  return IdentityOf(FIDField);
}

void TSDS::GotoID(int64_t ID) {
  if (!Active()) Open();
  if (!FIDField) MissingField("SYS$ID", __LINE__);
  if (!IsEmpty() && IdentityOf(FIDField) == ID) return;
  CancelRange();
  if (!ExtraFilterText().empty()) SetExtraFilterText("");
  // In navigation the key search would see the current level alone.
  const bool byKey = !NavigationMode() && AnsiUpperCase(IndexFieldNames()).rfind("SYS$ID", 0) == 0;
  if (!(byKey ? FindKeyInLevel({Variant(ID)}) : Locate("SYS$ID", Variant(ID), {})))
    throw Exception(Name() + ": ID " + std::to_string(ID) + " not founded !");
}

bool TSDS::LocateInTree(int64_t ID) {
  if (!FMasterDataset || FMasterDataset->Options().Contains(dsoLevels)) return false;
  TSDS& master = *FMasterDataset;
  const auto topLevel = [this] {
    ResetLevels();
    ApplyLevelRange();
    return false;
  };
  if (ID == 0) return topLevel();
  if (!master.Active() || !master.Locate("SYS$ID", Variant(ID), {})) return false;
  TField* masterParent = master.FindField(LevelField);
  if (!masterParent) MissingField(LevelField, __LINE__);
  FLevelInfos->Clear();
  // A loop in the parents would never reach the top.
  std::unordered_set<int64_t> met{ID};
  for (int64_t parent = IdentityOf(masterParent); parent != 0; parent = IdentityOf(masterParent)) {
    if (!met.insert(parent).second || !FitsParentID(parent) || !master.Locate("SYS$ID", Variant(parent), {}))
      return topLevel();
    TLevelInfo* level = FLevelInfos->Insert(0);
    level->ParentID = static_cast<int32_t>(parent);
    level->SaveRecordValues(&master);
  }
  FLevelInfos->Insert(0);
  DisableControls();
  bool found = false;
  try {
    if (!Active()) Open();
    ApplyLevelRange();
    found = Locate("SYS$ID", Variant(ID), {});
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
  return found;
}

bool TSDS::IsInSubtree(int64_t ID, int64_t Root) {
  TzynLock lock(Common);
  TzynIndex* rows = Indexes->RowOrderIndex();
  if (!rows->IsOrdered) rows->Rebuild();
  std::unordered_map<int64_t, int64_t> parents;
  for (int32_t row = 0; row < rows->Count(); ++row) {
    TzynRecordOverride over(*this, rows->Rows(row));
    parents.emplace(IdentityOf(FIDField), IdentityOf(FPIDField));
  }
  std::unordered_set<int64_t> met;
  for (int64_t at = ID; at != 0 && met.insert(at).second;) {
    if (at == Root) return true;
    const auto parent = parents.find(at);
    if (parent == parents.end()) return false;
    at = parent->second;
  }
  return false;
}

void TSDS::ChangeParent(int64_t NewParentID) {
  if (!FPIDField) MissingField(LevelField, __LINE__);
  if (!FitsParentID(NewParentID))
    RaiseHintError("Идентификатор " + std::to_string(NewParentID) + " не может быть родителем записи");
  if (FIDField && IsInSubtree(NewParentID, CurrentID()))
    RaiseHintError("Запись нельзя перенести в неё саму или в подчинённую ей запись");
  const bool browsing = State() == dsBrowse;
  Edit();
  try {
    FPIDField->SetAsInteger(static_cast<int32_t>(NewParentID));
    PostQuietly();
  } catch (...) {
    if (browsing) Cancel();
    throw;
  }
}

bool TSDS::HasChildren() {
  if (!FOptions.Contains(dsoLevels) || !Active() || IsEmpty()) return false;
  DisableControls();
  const bool loading = std::exchange(FInternalLoading, true);
  bool children = false;
  try {
    if (NavigationMode()) {
      if (LevelDown()) {
        children = !IsEmpty();
        LevelUp();
      }
    } else {
      const int64_t id = CurrentID();
      children = FitsParentID(id) && !TzynCustomMemTable::Lookup(LevelField, Variant(id), LevelField).IsNull();
    }
  } catch (...) {
    FInternalLoading = loading;
    EnableControls();
    throw;
  }
  FInternalLoading = loading;
  EnableControls();
  return children;
}
