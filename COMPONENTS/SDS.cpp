#include "SDS.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <string>
#include <utility>

#include "EIBSQL.h"
#include "SDSCatalog.h"
#include "common/uTools.h"
#include "SDSFieldTransfer.h"
#include "SDSWriter.h"
#include "SDatabase.h"
#include "db/DataSource.h"
#include "zynIndexes.h"
#include "ibclient/IBError.h"
#include "ibclient/IBSQL.h"

namespace {

constexpr uint32_t DeletedBit = 0x80000000u;
constexpr uint32_t ListBit = 0x40000000u;
// How long before the newest change held the incremental refresh looks for
// changes committed late: an hour.
constexpr TDateTime LateCommitWindow = 1.0 / 24;

void SetStateBit(uint32_t& State, uint32_t Bit, bool On) { State = On ? State | Bit : State & ~Bit; }

void StartIfInactive(TIBTransaction* Transaction) {
  if (Transaction && !Transaction->Active()) Transaction->StartTransaction();
}

}  // namespace

ESDS_IBError::ESDS_IBError(const std::exception& E, TSDS* ADataSet, int AOperation,
                           const AnsiString& ASQLText)
    : EIBInterBaseError(0, 0, E.what()), DataSet(ADataSet), Operation(AOperation), SQLText(ASQLText) {
  if (const auto* server = dynamic_cast<const EIBInterBaseError*>(&E)) {
    SQLCode = server->SQLCode;
    IBErrorCode = server->IBErrorCode;
  }
}

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
  // RecalcOnFetch stays on: records read from a cache file hold no
  // calculated values, and a client lookup follows the dataset it reads.
  SetPerformance(mtpfSmall);
  for (auto& statement : FStatements) statement = std::make_unique<TIBSQL>(this);
  FLevelInfos = std::make_unique<TLevelInfos>();
  FLevelInfos->Add();
  // A lookup clone offers for picking no record its indexes hide, in row
  // order neither.
  OnFilterIndex = [this](TDataSet*, TzynIndex* Index, bool& Accept) {
    if (FFilteredIndexes.count(Index->Name) || (Index->IsRowOrder && IsLookupClone()))
      Accept = PassesIndexFilter();
  };
}

TSDS::~TSDS() {
  try {
    SaveCache();
    FLookupClone.reset();
    Close();
  } catch (const std::exception& e) {
    WriteLogLine("ERROR", PublicName(), e.what());
  }
  SetMasterDataset(nullptr);
}

void TSDS::SaveCache() {
  if (FMasterDataset || !FOptions.Contains(dsoLocalCachData) || FCacheFileName.empty() || !FDataLoaded) return;
  // Records read from the server always go to the file: it may hold another
  // version's rows, even when they are none.
  if (FRecordsFromCache && !IsDataModified() && FileExists(FCacheFileName)) return;
  try {
    TCacheManager::SaveReplacing(FCacheFileName, [this](const AnsiString& FileName) { SaveToBinaryFile(FileName); });
  } catch (...) {
    // The index names this version: a file that could not be replaced
    // holds another.
    DeleteFile(FCacheFileName);
    if (auto* database = dynamic_cast<TSDatabase*>(Database())) database->CacheManager()->Forget(FTableName);
    throw;
  }
}

void TSDS::Loaded() {
  TzynCustomMemTable::Loaded();
  if (FOptions.Contains(dsoLookupClone) && !FMasterDataset) {
    if (AttachMaxCount() == 1) SetAttachMaxCount(8);
    FLookupClone = std::make_unique<TSDS>(nullptr);
    FLookupClone->SetMasterDataset(this);
    TSDSOptions options = FLookupClone->Options() - TSDSOptions{dsoLookupClone};
    if (FindField("SYS$PID")) options = options + TSDSOptions{dsoLevels};
    FLookupClone->SetOptions(options);
  }
  if (FMasterDataset) {
    FTableName = FMasterDataset->TableName();
    SetDatabase(FMasterDataset->Database());
  }
  if (FPublicName.empty()) FPublicName = Name();
}

void TSDS::SetMasterDataset(TSDS* Value) {
  if (Value == FMasterDataset || Value == this) return;
  Close();
  if (FMasterDataset) FMasterDataset->RemoveFreeNotification(this);
  FMasterDataset = Value;
  if (Value) Value->FreeNotification(this);
  SetAttachedTo(Value);
}

void TSDS::CalculateFields(TRecordBuffer Buffer) {
  if (!FOptions.Contains(dsoCalcLookupOnServer)) return TzynCustomMemTable::CalculateFields(Buffer);
  // Each lookup value with its null flag, as the record holds it.
  std::vector<std::pair<uint8_t*, AnsiString>> kept;
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  for (int i = 0; i < FieldCount(); ++i) {
    if (const TField* field = Fields()->Fields(i); field->Lookup()) {
      uint8_t* slot = record->Data + FieldDataOffset(Common, field);
      kept.emplace_back(slot, AnsiString(reinterpret_cast<const char*>(slot),
                                         static_cast<size_t>(field->DataSize()) + 1));
    }
  }
  TzynCustomMemTable::CalculateFields(Buffer);
  for (const auto& [slot, bytes] : kept) std::memcpy(slot, bytes.data(), bytes.size());
}

void TSDS::Notification(TComponent* AComponent, TOperation Operation) {
  TzynCustomMemTable::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FMasterDataset) FMasterDataset = nullptr;
}

int64_t TSDS::NewIdentity(uint32_t Increment) {
  if (Transaction() && !Transaction()->Active()) Transaction()->StartTransaction();
  TIBSQL statement(nullptr);
  statement.SetName(Name() + "_AI");
  statement.SetDatabase(Database());
  statement.SetTransaction(Transaction());
  statement.SetSQLText("select gen_id(main_gen," + std::to_string(Increment) + ") from rdb$database");
  ExecSQL(statement);
  const int64_t id = statement.Fields(0).AsInt64();
  statement.Close();
  return id;
}

void TSDS::AssignIdentity(TField* Field, int64_t ID) {
  const bool narrow = Field->DataType() != ftLargeint && Field->DataType() != ftFloat && Field->DataType() != ftBCD;
  if (narrow && (ID < INT32_MIN || ID > INT32_MAX || (Field->DataType() == ftSmallint && (ID < -32768 || ID > 32767))))
    DatabaseError("Значение " + std::to_string(ID) + " не помещается в поле " + Field->FieldName(), Field->DataSet());
  const TFieldNotifyEvent onChange = std::exchange(Field->OnChange, nullptr);
  const TFieldNotifyEvent onValidate = std::exchange(Field->OnValidate, nullptr);
  try {
    Field->SetValue(Variant(ID));
  } catch (...) {
    Field->OnChange = onChange;
    Field->OnValidate = onValidate;
    throw;
  }
  Field->OnChange = onChange;
  Field->OnValidate = onValidate;
}

void TSDS::CopyMasterStructure() {
  if (!FMasterDataset || FieldCount() == 0) return;
  FieldDefs()->Assign(FMasterDataset->FieldDefs());
  CreateFieldsFromDefs();
  for (int i = 0; i < FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    if (!field->Calculated() && !field->Lookup() && !field->ProviderFlags().Empty()) continue;
    const TField* master = FMasterDataset->FindField(field->FieldName());
    const char* mismatch = !master                                   ? " которое отсутствует в master компоненте "
                           : master->DataType() != field->DataType() ? " тип которого не совпадает с типом поля в master компоненте "
                           : master->Size() != field->Size() ? " размер которого не совпадает с размером поля в master компоненте "
                                                             : nullptr;
    if (mismatch)
      throw Exception("В компоненте " + ComponentPathName(this) + " присутствует поле " + field->FieldName() +
                      mismatch + FMasterDataset->Name());
  }
}

void TSDS::ClearRowKey() {
  const uint8_t zero[8] = {};
  if (FDBKeyField) FDBKeyField->SetData(zero);
}

void TSDS::PostQuietly() {
  const TDataSetNotifyEvent beforePost = std::exchange(BeforePost, nullptr);
  const TDataSetNotifyEvent afterPost = std::exchange(AfterPost, nullptr);
  std::vector<TField*> required;
  for (int i = 0; i < FieldCount(); ++i)
    if (TField* field = Fields()->Fields(i); field->Required()) {
      required.push_back(field);
      field->SetRequired(false);
    }
  auto restore = [&] {
    BeforePost = beforePost;
    AfterPost = afterPost;
    for (TField* field : required) field->SetRequired(true);
  };
  try {
    Post();
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

TIBDatabase* TSDS::Database() const { return SelectSQL()->Database(); }

void TSDS::SetDatabase(TIBDatabase* Value) {
  for (auto& statement : FStatements) statement->SetDatabase(Value);
  auto* database = dynamic_cast<TSDatabase*>(Value);
  if (database && database->DefaultTransactionRW())
    for (TIBSQL* statement : {DeleteSQL(), InsertSQL(), UpdateSQL(), DeleteByKeySQL(), UpdateByKeySQL()})
      statement->SetTransaction(database->DefaultTransactionRW());
}

TIBTransaction* TSDS::Transaction() const { return SelectSQL()->Transaction(); }

void TSDS::SetTransaction(TIBTransaction* Value) {
  for (auto& statement : FStatements) statement->SetTransaction(Value);
  auto* database = Value ? dynamic_cast<TSDatabase*>(Value->DefaultDatabase()) : nullptr;
  if (database && database->DefaultTransactionRW())
    for (TIBSQL* statement : {DeleteSQL(), InsertSQL(), UpdateSQL(), DeleteByKeySQL(), UpdateByKeySQL(),
                              RefreshSQL(), RefreshByKeySQL()})
      statement->SetTransaction(database->DefaultTransactionRW());
}

TSDatabase* TSDS::CachingDatabase() const {
  auto* database = dynamic_cast<TSDatabase*>(Database());
  return database && database->MetadataCache && database->TablesCache()->Active() ? database : nullptr;
}

void TSDS::ReadFieldDefs() {
  if (!Database()) throw EIBClientError("Database not assigned");
  if (!FCommandText.empty()) {
    ReadCommandFieldDefs();
    return;
  }
  if (FTableName.empty()) throw EIBClientError("Table name is missing");
  if (DefsFromPersistentFields()) {
    FieldDefs()->BeginUpdate();
    FieldDefsFromFields();
    AppendDBKeyFieldDef(*FieldDefs());
    FieldDefs()->EndUpdate();
    return;
  }
  std::vector<TSDSColumn> columns;
  if (TSDatabase* database = CachingDatabase()) columns = CachedColumns(*database, FTableName);
  if (columns.empty()) columns = ServerColumns(*Database(), FTableName);
  if (columns.empty())
    throw Exception(ComponentPathName(this) + ": не найдена информация о структуре таблицы " + FTableName);
  FieldDefs()->BeginUpdate();
  FieldDefs()->Clear();
  for (const TSDSColumn& column : columns) AddColumnFieldDef(*FieldDefs(), column);
  AppendDBKeyFieldDef(*FieldDefs());
  FieldDefs()->EndUpdate();
}

bool TSDS::DefsMatchServer() {
  TIBSQL statement(nullptr);
  statement.SetDatabase(Database());
  statement.SetTransaction(Transaction());
  StartIfInactive(statement.TransactionInUse());
  statement.SetSQLText("select * from " + QuoteIdentifier(FTableName));
  PrepareSQL(statement);
  int columns = 0;
  for (int i = 0; i < FieldDefs()->Count(); ++i) {
    const TFieldDef* def = FieldDefs()->Items(i);
    if (def->Name() == SDSDBKeyField) continue;
    const TIBSQLVar* column = statement.FindField(def->Name());
    if (!column || (def->DataType() == ftString && column->Size() != def->Size())) return false;
    ++columns;
  }
  return columns == statement.FieldCount();
}

void TSDS::ReadCommandFieldDefs() {
  TIBSQL& select = *SelectSQL();
  select.Close();
  if (TIBTransaction* transaction = select.TransactionInUse(); transaction && !transaction->Active())
    transaction->StartTransaction();
  const AnsiString command = CommandOnOneLine(FCommandText);
  select.SetSQLText(FTableName.empty() ? SelectText() : command);
  select.Prepare();
  FieldDefs()->BeginUpdate();
  FieldDefs()->Clear();
  for (int i = 0; i < select.FieldCount(); ++i) {
    const TIBSQLVar& column = select.Fields(i);
    AddCommandFieldDef(*FieldDefs(),
                       {column.Name(), column.SqlName(), column.RelName(), column.SQLType(), column.SQLSubtype(),
                        column.Scale(), column.Size(), column.IsNullable()},
                       FTableName, FOptions.Contains(dsoChangesResolved));
  }
  FieldDefs()->EndUpdate();
}

void TSDS::ReadIndexDefs() {
  std::vector<TSDSIndexRow> rows;
  if (TSDatabase* database = CachingDatabase()) rows = CachedIndexRows(*database, FTableName);
  if (rows.empty()) rows = ServerIndexRows(*Database(), FTableName);
  TSDSIndexInfo info = IndexInfoFromRows(rows);
  FKeyFields = info.KeyFields;
  FServerIndexNames = std::move(info.Names);
  FServerIndexFields = std::move(info.Fields);
}

AnsiString TSDS::ServerCondition() const {
  const bool byServer = FOptions.Contains(dsoHandleMDBySQL) && HasMasterFields();
  return ::ServerCondition(byServer ? MasterDetailCondition(DetailFields()) : AnsiString(), FServerFilter);
}

TSDSSqlSource TSDS::SqlSource() const {
  TSDSSqlSource source;
  source.FieldDefs = FieldDefs();
  source.Fields = Fields();
  source.TableName = FTableName;
  source.CommandText = FCommandText;
  source.KeyFields = FKeyFields;
  source.IndexFieldNames = IndexFieldNames();
  source.ServerCondition = ServerCondition();
  source.ChangesResolved = FOptions.Contains(dsoChangesResolved);
  source.LoadAllFields = FOptions.Contains(dsoLoadAllFields);
  return source;
}

AnsiString TSDS::SelectText() const {
  if (FTableName.empty()) return AddCondition(CommandOnOneLine(FCommandText), FServerFilter);
  return GenerateStatements(SqlSource()).Select;
}

void TSDS::SetServerFilter(const AnsiString& Value) {
  if (FMasterDataset) throw Exception("Нельзя устанавливать ServerFilter у клона !");
  if (Active() && FStructureReady && Value == FServerFilter) return;
  FServerFilter = Value;
  if (!Active() || !FStructureReady) return;
  SelectSQL()->Close();
  SelectSQL()->SetSQLText(SelectText());
  Reload();
}

void TSDS::GenerateSQL() {
  if (FTableName.empty()) return;
  ReadIndexDefs();
  TSDSStatements sql = GenerateStatements(SqlSource());
  // The new row's key comes back from the insert itself.
  if (!sql.Insert.empty()) sql.Insert += "\nreturning RDB$DB_KEY as IBX_INTERNAL_DBKEY";
  const AnsiString* texts[] = {&sql.Select, &sql.Refresh, &sql.Insert, &sql.Update,
                               &sql.Delete, &sql.RefreshByKey, &sql.UpdateByKey, &sql.DeleteByKey};
  for (size_t i = 0; i < FStatements.size(); ++i) FStatements[i]->SetSQLText(*texts[i]);
}

std::vector<std::pair<AnsiString, TField*>> TSDS::MasterPairs() const {
  std::vector<std::pair<AnsiString, TField*>> pairs;
  TDataSet* master = MasterSource() ? MasterSource()->DataSet() : nullptr;
  if (!master) return pairs;
  AnsiString masterNames = MasterFields(), detailNames = DetailFields();
  while (!masterNames.empty() && !detailNames.empty()) {
    AnsiString masterName, detailName;
    ExtractQuotedToken(masterNames, ';', masterName);
    ExtractQuotedToken(detailNames, ';', detailName);
    pairs.emplace_back(detailName, master->FieldByName(masterName));
  }
  return pairs;
}

void TSDS::SetMasterParams(TIBSQL& Statement) {
  for (const auto& [detail, master] : MasterPairs()) SetParamFromField(Statement.ParamByName("MD_" + detail), *master);
}

void TSDS::ApplyMasterRange() {
  // A load positions the records itself.
  if (!FInternalLoading && Active() && FOptions.Contains(dsoHandleMDBySQL) && HasMasterFields()) {
    if (!MasterValuesChanged()) return;
    Reload();
  }
  TzynCustomMemTable::ApplyMasterRange();
}

bool TSDS::MasterValuesChanged() {
  TIBSQL& select = *SelectSQL();
  if (!FOptions.Contains(dsoHandleMDBySQL) || !HasMasterFields() || !select.Prepared()) return true;
  for (const auto& [detail, master] : MasterPairs()) {
    const TIBSQLVar& param = select.ParamByName("MD_" + detail);
    if (param.IsNull() != master->IsNull() || param.AsString() != master->AsString()) return true;
  }
  return false;
}

void TSDS::LoadAll() {
  FRecordsFromCache = false;
  if (!FOptions.Contains(dsoLoadData)) return;
  TIBSQL& select = *SelectSQL();
  const bool autoReposition = std::exchange(AutoReposition, false);
  const bool autoCalcFields = AutoCalcFields();
  DisableControls();
  auto restore = [&] {
    SetAutoCalcFields(autoCalcFields);
    AutoReposition = autoReposition;
    UpdateIndexes();
    if (HasMasterFields()) ApplyMasterRange();
    EnableControls();
  };
  try {
    TSDSFieldsUnlocked unlocked(*Fields());
    if (FCommandText.empty()) {
      select.Close();
      StartIfInactive(select.TransactionInUse());
      select.Prepare();
    }
    if (FOptions.Contains(dsoHandleMDBySQL) && HasMasterFields()) SetMasterParams(select);
    StartIfInactive(select.TransactionInUse());
    select.ExecQuery();
    const TSDSFieldTransfer transfer(*Fields(), select, FOptions.Contains(dsoCalcLookupOnServer));
    const auto calcOnce = [&] { SetAutoCalcFields(autoCalcFields); };
    for (; !select.Eof(); select.Next()) {
      SetAutoCalcFields(false);
      Append();
      try {
        transfer.CopyRow(select, calcOnce);
        if (OnRecordLoaded) {
          OnRecordLoaded(this);
          if (State() == dsBrowse) continue;
        }
        const bool asked = FDatasetKind == dkLookup || FDatasetKind == dkOperativka;
        const bool denied = asked && GetAccess(asOwnAccess) == acNone;
        if (denied && FDatasetKind == dkOperativka)
          Cancel();
        else
          Post();
      } catch (...) {
        if (State() == dsInsert) Cancel();
        throw;
      }
    }
    select.Close();
    if (!FOptions.Contains(dsoDontFreeSelectHandle)) select.Unprepare();
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

bool TSDS::OpenFromServer() {
  const bool readOnly = ReadOnly();
  SetReadOnly(false);
  FStructureReady = false;
  try {
    ReadFieldDefs();
    // The catalogue may predate a change of the table: a column taken at its
    // old size would load cut and be written back so, a dropped one would
    // fail every write.
    if (TSDatabase* database = CachingDatabase();
        database && FCommandText.empty() && !DefsFromPersistentFields() && !DefsMatchServer()) {
      database->RefreshMetadataCache();
      ReadFieldDefs();
    }
    FStructureReady = true;
    CreateFieldsFromDefs();
    GenerateSQL();
    TzynCustomMemTable::SetActive(true);
    BindSystemFields();
    FInternalLoading = true;
    LoadRecords();
  } catch (...) {
    FInternalLoading = false;
    SetReadOnly(readOnly);
    Close();
    throw;
  }
  // Without records it only has its structure.
  FDataLoaded = FOptions.Contains(dsoLoadData);
  SetReadOnly(readOnly);
  FInternalLoading = false;
  return FDataLoaded;
}

void TSDS::LoadRecords() {
  auto* database = dynamic_cast<TSDatabase*>(Database());
  int64_t stamp = 0;
  // A cache file holds no lookup values: only the server gives those.
  if (!FOptions.Contains(dsoLocalCachData) || FOptions.Contains(dsoCalcLookupOnServer) ||
      !database || !database->LocalCache) {
    LoadAll();
  } else if (database->CacheManager()->Lookup(this, FCacheFileName, FTableName, FServerFilter,
                                              stamp)) {
    LoadCacheAndRefresh(FCacheFileName, 0);
  } else {
    // The index now names this version: a file of another one must not
    // outlive a save that fails.
    DeleteFile(FCacheFileName);
    LoadAll();
  }
}

void TSDS::Reload() {
  if (!Active() || !FStructureReady) return;
  if (FMasterDataset) {
    FMasterDataset->Reload();
    UpdateIndexes();
    return;
  }
  const bool readOnly = ReadOnly();
  DisableControls();
  FDataLoaded = false;
  FInternalLoading = true;
  SetReadOnly(false);
  auto restore = [&] {
    SetReadOnly(readOnly);
    FInternalLoading = false;
    EnableControls();
  };
  try {
    EmptyTable();
    LoadAll();
    FDataLoaded = true;
    FireAfterDataLoaded();
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

TDateTime TSDS::NewestTime() {
  TDateTime newest = 0;
  if (!FTimeField) return newest;
  for (First(); !Eof(); Next())
    if (!FTimeField->IsNull()) newest = std::max(newest, FTimeField->AsDateTime());
  return newest;
}

void TSDS::IncrementalRefresh(TDateTime SinceTime) {
  DisableControls();
  const bool internalLoading = std::exchange(FInternalLoading, true);
  // With the level prefix; set back through the dataset's own setter, which
  // puts the level range back too.
  const AnsiString indexFieldNames = TzynCustomMemTable::IndexFieldNames();
  auto restore = [&] {
    SetIndexFieldNames(indexFieldNames);
    FInternalLoading = internalLoading;
    EnableControls();
  };
  try {
    // A change is stamped when it is made but seen when committed: a window
    // before the newest change held finds those committed late.
    if (SinceTime == 0) SinceTime = std::max(NewestTime() - LateCommitWindow, TDateTime{0});
    if (FKeyFields.empty()) throw EAssertionFailed("Должен быть первичный индекс", "COMPONENTS/SDS", __LINE__);
    // The key alone finds a record, whatever level or index is shown.
    UseWholeKeyIndex();
    std::vector<TField*> keyFields;
    GetFieldList(keyFields, FKeyFields);
    TIBSQL statement(nullptr);
    const AnsiString table = QuoteIdentifier(FTableName);
    const bool byServer = FOptions.Contains(dsoCalcLookupOnServer);
    // The lookup values the server works out are the command's columns: the
    // rows come through it, as in the full load.
    const AnsiString rows =
        byServer && !FCommandText.empty()
            ? AddCondition(StripOrderBy(CommandOnOneLine(FCommandText)), table + ".SYS$TIME >= :SINCE$TIME")
            : "select " + table + ".*, RDB$DB_KEY as " + SDSDBKeyField + " from " + table +
                  " where SYS$TIME >= :SINCE$TIME";
    RunOwnRows(statement, rows, [&] { statement.ParamByName("SINCE$TIME").SetAsDateTime(SinceTime); });
    if (!statement.Eof()) {
      const TSDSFieldsUnlocked unlocked(*Fields());
      const TSDSFieldTransfer row(*Fields(), statement, byServer);
      const TSDSFieldTransfer key(keyFields, statement, true);
      for (; !statement.Eof(); statement.Next()) {
        SetKey();
        key.CopyRow(statement);
        if (GotoKey())
          Edit();
        else
          Append();
        row.CopyRow(statement);
        Post();
        if (OnSyncRecord) OnSyncRecord(this);
      }
    }
    statement.Close();
    DropRowsGoneFromServer(keyFields);
  } catch (...) {
    if (State() == dsEdit || State() == dsInsert || State() == dsSetKey) Cancel();
    restore();
    throw;
  }
  restore();
}

void TSDS::RunOwnRows(TIBSQL& Statement, const AnsiString& Select, const std::function<void()>& SetParams) {
  Statement.SetDatabase(Database());
  Statement.SetTransaction(Transaction());
  StartIfInactive(Statement.TransactionInUse());
  Statement.SetSQLText(AddCondition(Select, ServerCondition()));
  PrepareSQL(Statement);
  if (SetParams) SetParams();
  if (FOptions.Contains(dsoHandleMDBySQL) && HasMasterFields()) SetMasterParams(Statement);
  ExecSQL(Statement);
}

namespace {

// A record's key as text, each value as its field shows it.
AnsiString KeyText(const std::vector<TField*>& KeyFields) {
  AnsiString text;
  for (const TField* field : KeyFields) text += field->AsString() + '\x01';
  return text;
}

// Integer keys are compared as their values, read straight from the
// columns; others as their fields show them.
bool IntegerKeys(const std::vector<TField*>& KeyFields) {
  return std::all_of(KeyFields.begin(), KeyFields.end(), [](const TField* Field) {
    const TSDSTransfer code = TransferOf(Field->DataType());
    return code == TSDSTransfer::Integer || code == TSDSTransfer::Int64;
  });
}

template <typename TValue>
AnsiString PackedKey(size_t Count, const TValue& Value) {
  AnsiString key;
  for (size_t i = 0; i < Count; ++i) {
    const int64_t value = Value(i);
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  return key;
}

}  // namespace

void TSDS::DropRowsGoneFromServer(const std::vector<TField*>& KeyFields) {
  TIBSQL statement(nullptr);
  // As many rows as records: none went (a row gone and one never fetched at
  // once is beyond what the refresh sees either way).
  RunOwnRows(statement, "select count(*) from " + QuoteIdentifier(FTableName), {});
  const int64_t rows = statement.Fields(0).AsInt64();
  statement.Close();
  if (rows == RecordCount()) return;
  AnsiString columns;
  for (const TField* field : KeyFields) columns += (columns.empty() ? "" : ", ") + QuoteIdentifier(field->FieldName());
  RunOwnRows(statement, "select " + columns + " from " + QuoteIdentifier(FTableName), {});
  const size_t count = KeyFields.size();
  const bool integers = IntegerKeys(KeyFields);
  const auto recordKey = [&] {
    if (!integers) return KeyText(KeyFields);
    return PackedKey(count, [&](size_t i) {
      const TField* field = KeyFields[i];
      return field->IsNull() ? 0 : field->Value().AsInt64();
    });
  };
  // The keys the server still has.
  std::unordered_set<AnsiString> kept;
  const TSDSFieldTransfer key(KeyFields, statement, true);
  for (; !statement.Eof(); statement.Next()) {
    if (integers) {
      kept.insert(PackedKey(count, [&](size_t i) {
        const TIBSQLVar& column = statement.Fields(static_cast<int>(i));
        return column.IsNull() ? 0 : column.AsInt64();
      }));
      continue;
    }
    SetKey();
    key.CopyRow(statement);
    if (GotoKey()) kept.insert(recordKey());
  }
  statement.Close();
  for (First(); !Eof();) {
    if (kept.count(recordKey()))
      Next();
    else
      Delete();
  }
}

void TSDS::LoadCacheAndRefresh(const AnsiString& FileName, TDateTime SinceTime) {
  // The records are the server's already: posted to memory only, also when
  // the dataset is not being opened.
  const bool internalLoading = std::exchange(FInternalLoading, true);
  try {
    // Lookup values worked out by the server come from the server alone.
    if (FOptions.Contains(dsoCalcLookupOnServer) || !FileExists(FileName)) {
      LoadAll();
    } else {
      try {
        LoadFromBinaryFile(FileName);
        IncrementalRefresh(SinceTime);
        FRecordsFromCache = true;
      } catch (const std::exception& e) {
        WriteLogLine("ERROR", PublicName(), "Кэш " + FileName + ": " + e.what());
        if (!Active()) TzynCustomMemTable::SetActive(true);
        EmptyTable();
        LoadAll();
      }
    }
  } catch (...) {
    FInternalLoading = internalLoading;
    throw;
  }
  FInternalLoading = internalLoading;
}

void TSDS::LoadFromBinaryFile(const AnsiString& FileName) {
  const TSDSOptions options = FOptions;
  FOptions = FOptions - TSDSOptions{dsoLoadData};
  try {
    TzynCustomMemTable::LoadFromBinaryFile(FileName);
  } catch (...) {
    FOptions = options;
    throw;
  }
  FOptions = options;
}

void TSDS::OpenAttached() {
  TSDS& master = *FMasterDataset;
  const AnsiString indexFieldNames = IndexFieldNames(), indexName = IndexName();
  const bool readOnly = ReadOnly();
  master.Open();
  FInternalLoading = true;
  try {
    CopyMasterStructure();
    FStructureReady = master.FStructureReady;
    FDataLoaded = master.FDataLoaded;
    FTableName = master.FTableName;
    FKeyFields = master.FKeyFields;
    FServerIndexNames = master.FServerIndexNames;
    FServerIndexFields = master.FServerIndexFields;
    IndexDefs()->Clear();
    SetIndexFieldNames("");
    SetIndexName("");
    AttachAndOpen(this, &master);
    BindSystemFields();
  } catch (...) {
    FInternalLoading = false;
    throw;
  }
  FInternalLoading = false;
  if (!indexFieldNames.empty()) SetIndexFieldNames(indexFieldNames);
  if (!indexName.empty()) SetIndexName(indexName);
  for (size_t i = 0; i < FStatements.size(); ++i) {
    TIBSQL& mine = *FStatements[i];
    TIBSQL& theirs = *master.FStatements[i];
    mine.Close();
    mine.SetDatabase(theirs.Database());
    mine.SetTransaction(theirs.Transaction());
    mine.SetSQLText(theirs.SQL()->Text());
  }
  BindSystemFields();
  if (!ReadOnly()) SetReadOnly(readOnly);
  FDatasetKind = master.FDatasetKind;
}

void TSDS::FireAfterDataLoaded() {
  if (!AfterDataLoaded) return;
  const TSDSOptions options = FOptions;
  const bool internalLoading = std::exchange(FInternalLoading, true);
  FOptions = FOptions - TSDSOptions{dsoChangesResolved,   dsoAutoCommit,       dsoSendNotification,
                                    dsoRefreshBeforeEdit, dsoRefreshAfterEdit, dsoPessimisticLock};
  try {
    AfterDataLoaded(this);
  } catch (...) {
    FOptions = options;
    FInternalLoading = internalLoading;
    throw;
  }
  FOptions = options;
  FInternalLoading = internalLoading;
}

void TSDS::SetTableName(const AnsiString& Value) {
  if (!FTableName.empty() && Value != FTableName) {
    if (FDataLoaded && !FInternalLoading) Close();
    FieldDefs()->Clear();
    IndexDefs()->Clear();
    FKeyFields.clear();
    FServerIndexNames.clear();
    FServerIndexFields.clear();
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
    // Default fields die with the close.
    ResetSystemFields();
    return;
  }
  // The index chosen while closed is built once open and loaded, with the
  // level prefix and the record filter the options ask for.
  const AnsiString indexFields = TzynCustomMemTable::IndexFieldNames();
  const AnsiString indexName = TzynCustomMemTable::IndexName();
  TzynCustomMemTable::SetIndexFieldNames("");
  TzynCustomMemTable::SetIndexName("");
  bool loaded = false;
  if (FMasterDataset) {
    if (!FDataLoaded && !FInternalLoading) OpenAttached();
  } else if (!FStructureReady && FTableName.empty() && FCommandText.empty()) {
    FOptions = FOptions - SDSServerOptions + TSDSOptions{dsoFieldsDefaultVisible};
    CreateFieldsFromDefs();
  } else if (!FStructureReady) {
    loaded = OpenFromServer();
  }
  if (!Active()) TzynCustomMemTable::SetActive(true);
  if (FMasterDataset && HasMasterFields()) ApplyMasterRange();
  BindSystemFields();
  if (!indexFields.empty() || (indexName.empty() && FTableName.empty()))
    SetIndexFieldNames(indexFields);
  else
    SetIndexName(indexName);
  if (loaded) FireAfterDataLoaded();
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
  if (FOptions.Contains(dsoIncOnNewRecord) && FAutoIncField && FAutoIncField->IsNull())
    AssignIdentity(FAutoIncField, NewIdentity());
  const bool levels = FOptions.Contains(dsoLevels);
  if (levels && !FPIDField) throw EAssertionFailed("Не вычислен индекс поля SYS$PID", "COMPONENTS/SDS", __LINE__);
  // In the level shown; outside navigation at the top.
  if (FPIDField) FPIDField->SetAsInteger(NavigationMode() ? CurrentParentID() : 0);
  if (FStateField) {
    auto* database = dynamic_cast<TSDatabase*>(Database());
    const uint32_t high = static_cast<uint32_t>(FStateField->AsInteger()) & 0xFFFF0000u;
    uint32_t state = database ? high | (static_cast<uint32_t>(database->UserNumber) & 0xFFFFu) : 0;
    if (levels) SetListState(state, true);
    FStateField->SetAsInteger(static_cast<int32_t>(state));
  } else if (levels) {
    throw EAssertionFailed("Не вычислен индекс поля SYS$STATE", "COMPONENTS/SDS", __LINE__);
  }
}

// ---- Writing changes -------------------------------------------------------------------------

TAccess TSDS::GetAccess(unsigned Sources) const {
  if ((Sources & (asMasterAccess | asMasterAccessTmp)) && !FMasterDataset)
    throw EAssertionFailed("MasterDataSet must be defined.", "COMPONENTS/SDS", __LINE__);
  TAccess result = acFull;
  const auto ask = [&](const TSDSAccess_vent& Event) {
    if (!Event) return;
    TAccess access = acFull;
    Event(this, access);
    result = std::min(result, access);
  };
  if (Sources & asMasterAccess) ask(FMasterDataset->OnGetAccess);
  if (Sources & asMasterAccessTmp) ask(FMasterDataset->OnGetAccessTmp);
  if (Sources & asOwnAccess) ask(OnGetAccess);
  return result;
}

void TSDS::CheckFullAccess() const {
  if (GetAccess(asOwnAccess) != acFull) throw Exception("Операция блокирована доп. ограничением");
}

int64_t TSDS::DBKey() const {
  uint8_t bytes[8] = {};
  if (!FDBKeyField || !FDBKeyField->GetData(bytes)) return 0;
  int64_t key = 0;
  std::memcpy(&key, bytes, sizeof key);
  return key;
}

void TSDS::CheckMasterInBrowse() const {
  const TDataSource* master = MasterSource();
  if (HasMasterFields() && master && master->State() != dsBrowse && !FOptions.Contains(dsoDontCheckMasterInBrowse))
    RaiseHintError("Завершите ввод/корректировку головной записи.");
}

void TSDS::ReportCommittedFailure() {
  if (std::exception_ptr failure = std::exchange(FCommittedFailure, nullptr)) std::rethrow_exception(failure);
}

void TSDS::DoBeforeInsert() {
  if (FInternalLoading) return;
  TzynCustomMemTable::DoBeforeInsert();
  if (!HasMasterFields() || !MasterSource()) return;
  CheckMasterInBrowse();
  const TDataSet* master = MasterSource()->DataSet();
  if (master && master->Bof() && master->Eof()) RaiseHintError("Нет головной записи !");
}

void TSDS::DoAfterInsert() {
  if (!FInternalLoading) TzynCustomMemTable::DoAfterInsert();
}

void TSDS::DoBeforeEdit() {
  FLockedForEdit = false;
  if (FInternalLoading) return;
  TzynCustomMemTable::DoBeforeEdit();
  CheckFullAccess();
  if (!FOptions.Contains(dsoChangesResolved) || !FDataLoaded) return;
  CheckMasterInBrowse();
  FLockedForEdit = TSDSWriter(*this).LockForEdit();
}

void TSDS::DoAfterEdit() {
  if (FInternalLoading) return;
  // A lock protects nothing when the edit starts from values another user
  // changed before it was taken: the locked record is read again too.
  if (FOptions.Contains(dsoRefreshBeforeEdit) || std::exchange(FLockedForEdit, false)) {
    try {
      TSDSWriter(*this).RefreshRecord();
    } catch (const std::exception&) {
      // A row found gone says so; a lost connection says what it is.
      Cancel();
      throw;
    }
  }
  TzynCustomMemTable::DoAfterEdit();
}

void TSDS::DoBeforePost() {
  if (FInternalLoading) return;
  TzynCustomMemTable::DoBeforePost();
  TSDSWriter writer(*this);
  writer.InitFields();
  CheckFullAccess();
  writer.AssignIdentity();
  if (!FOptions.Contains(dsoChangesResolved) || !FDataLoaded) return;
  // The memory post checks these after the server has the row: a refusal
  // then would make the next post write the row again.
  CheckRequiredFields();
  CheckPostUniqueness();
  writer.Post();
}

void TSDS::DoAfterPost() {
  if (FInternalLoading) return;
  TzynCustomMemTable::DoAfterPost();
  ReportCommittedFailure();
}

void TSDS::DoAfterCancel() {
  if (FInternalLoading) return;
  if (FOptions.Contains(dsoChangesResolved) && FDataLoaded) TzynCustomMemTable::DoAfterCancel();
  TSDSWriter(*this).UnlockQuietly();
}

void TSDS::CheckDelete() {
  TzynCustomMemTable::DoBeforeDelete();
  CheckFullAccess();
  if (FOptions.Contains(dsoCheckChildRecordOnDelete) && FOptions.Contains(dsoLevels) && FStateField &&
      !IsListState(static_cast<uint32_t>(FStateField->AsInteger())) && HasChildren())
    RaiseHintError("Удаление невозможно - есть уровневые записи !");
  CheckMasterInBrowse();
}

void TSDS::DoBeforeDelete() {
  if (FInternalLoading) return;
  CheckDelete();
  if (FOptions.Contains(dsoVirtualDelete)) {
    VirtualDelete();
    Abort();
  }
  TSDSWriter writer(*this);
  if (FOptions.Contains(dsoChangesResolved)) {
    writer.Delete();
  } else if (FOptions.Contains(dsoCascadeDeleteDetail)) {
    try {
      writer.CascadeDelete();
    } catch (...) {
      writer.ReloadDetails();
      throw;
    }
  }
}

void TSDS::DoAfterDelete() {
  if (FInternalLoading) return;
  TzynCustomMemTable::DoAfterDelete();
  ReportCommittedFailure();
}

void TSDS::DoBeforeScroll() {
  if (!FInternalLoading) TzynCustomMemTable::DoBeforeScroll();
}

void TSDS::DoAfterScroll() {
  if (!FInternalLoading) TzynCustomMemTable::DoAfterScroll();
}

void TSDS::VirtualDelete() {
  if (!FStateField) throw EAssertionFailed("Не вычислен индекс поля STATE", "COMPONENTS/SDS", __LINE__);
  const bool cascade = FOptions.Contains(dsoCascadeDeleteDetail);
  try {
    if (cascade) TSDSWriter(*this).CascadeDelete();
    MarkDeleted();
  } catch (...) {
    // The details' deletes went back with the failed update.
    if (cascade) TSDSWriter(*this).ReloadDetails();
    throw;
  }
  TzynCustomMemTable::DoAfterDelete();
}

void TSDS::MarkDeleted() {
  struct TSavedHandlers {
    TSDS& DS;
    TDataSetNotifyEvent BeforeEdit = std::exchange(DS.BeforeEdit, nullptr);
    TDataSetNotifyEvent AfterEdit = std::exchange(DS.AfterEdit, nullptr);
    TDataSetNotifyEvent BeforePost = std::exchange(DS.BeforePost, nullptr);
    TDataSetNotifyEvent AfterPost = std::exchange(DS.AfterPost, nullptr);
    ~TSavedHandlers() {
      DS.BeforeEdit = BeforeEdit;
      DS.AfterEdit = AfterEdit;
      DS.BeforePost = BeforePost;
      DS.AfterPost = AfterPost;
    }
  } saved{*this};
  Edit();
  try {
    uint32_t state = static_cast<uint32_t>(FStateField->AsInteger());
    SetDeletedState(state, true);
    FStateField->SetAsInteger(static_cast<int32_t>(state));
    Post();
  } catch (...) {
    // Left in edit, the next move would post the mark.
    Cancel();
    throw;
  }
}
