// The server-backed dataset: an in-memory table that mirrors one server
// table, with the record hierarchy kept in SYS$ID, SYS$PID and SYS$STATE.
// Opened with neither a table nor a command it is a plain memory table.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "SDSLevels.h"
#include "ibclient/IBError.h"
#include "zynMemTable.h"

class TIBDatabase;
struct TSDSSqlSource;
class TIBSQL;
class TSDatabase;
class TIBTransaction;
class TSDS;
class TSDSWriter;

enum TSDSOption : uint8_t {
  dsoChangesResolved,
  dsoLoadData,
  dsoLoadAllFields,
  dsoLocalCachData,
  dsoIncOnNewRecord,
  dsoInitAllFields,
  dsoAutoCommit,
  dsoSendNotification,
  dsoRefreshBeforeEdit,
  dsoRefreshAfterEdit,
  dsoPessimisticLock,
  dsoPermissions,
  dsoLevels,
  dsoFieldsDefaultVisible,
  dsoShowDeleted,
  dsoVirtualDelete,
  dsoHandleMDBySQL,
  dsoCascadeDeleteDetail,
  dsoAudit,
  dsoLookupClone,
  dsoInitRequiredFields,
  dsoCheckChildRecordOnDelete,
  dsoDontCheckMasterInBrowse,
  // Kept so that every later flag keeps its bit; nothing acts on these two.
  dsoAllowScripting,
  dsoDontSyncronize,
  dsoCalcLookupOnServer,
  dsoDontFreeSelectHandle
};
using TSDSOptions = TSet<TSDSOption>;

inline constexpr TSDSOptions SDSDefaultOptions{dsoChangesResolved, dsoLoadData, dsoLoadAllFields,
                                               dsoAutoCommit};
// What a dataset without a server must not try.
inline constexpr TSDSOptions SDSServerOptions{dsoChangesResolved,  dsoLoadData,         dsoLoadAllFields,
                                              dsoAutoCommit,       dsoSendNotification, dsoRefreshBeforeEdit,
                                              dsoRefreshAfterEdit, dsoPessimisticLock};

enum TSDSLevelMode : uint8_t { dslmNone, dslmDefault, dslmShowAll, dslmShowOnlyLeaf, dslmShowOnlyLeveled };
enum TDatasetKind : uint8_t { dkUnknown, dkLookup, dkOperativka };

// An error meant as a hint to the user.
class EHintError : public Exception {
 public:
  using Exception::Exception;
};
[[noreturn]] void RaiseHintError(const AnsiString& Message);

// Access levels; only full access lets a change through.
enum TAccess : uint8_t { acNone, acPartial, acFull };
// Whose access events GetAccess asks.
enum TAccessSource : unsigned { asMasterAccess = 1, asMasterAccessTmp = 2, asOwnAccess = 4 };
using TSDSAccess_vent = std::function<void(const TSDS* sds, TAccess& access)>;
// OnLogEvent's operation: 0 insert, 1 update, 2 delete.
using TOperationType = int;
using TLogEvent = std::function<void(const TSDS* sds, TOperationType OperationType)>;

// The operation codes of ESDS_IBError and of change notifications.
enum TSDSOperation : int { soUpdate = 0, soInsert = 1, soDelete = 2 };

// A write statement failed: the server's error with the dataset, the
// operation (1 insert, 0 update, 2 delete) and the statement's text.
class ESDS_IBError : public EIBInterBaseError {
 public:
  ESDS_IBError(const EIBInterBaseError& E, TSDS* ADataSet, int AOperation, const AnsiString& ASQLText)
      : EIBInterBaseError(E), DataSet(ADataSet), Operation(AOperation), SQLText(ASQLText) {}
  // Any other failure of the write, the server's codes kept when it is one.
  ESDS_IBError(const std::exception& E, TSDS* ADataSet, int AOperation, const AnsiString& ASQLText);
  TSDS* DataSet;
  int Operation;
  AnsiString SQLText;
};

// Record identities are 8 bytes compared as bytes.
bool SameID(const void* A, const void* B);
// State word: bit 31 deleted, bit 30 list (leaf), low 16 bits the owner.
bool IsDeletedState(uint32_t State);
bool IsListState(uint32_t State);
int StateOwnerID(uint32_t State);
void SetDeletedState(uint32_t& State, bool Deleted);
void SetListState(uint32_t& State, bool List);

class TSDS : public TzynCustomMemTable {
 public:
  explicit TSDS(TComponent* AOwner);
  ~TSDS() override;

  // The database and transaction of the select statement. A TSDatabase
  // with a read-write transaction gives it to the writing statements; a
  // transaction set once that database is known gives it to the refreshes
  // too.
  TIBDatabase* Database() const;
  void SetDatabase(TIBDatabase* Value);
  TIBTransaction* Transaction() const;
  void SetTransaction(TIBTransaction* Value);

  // Another TSDS whose records this one shares (not a master/detail link);
  // setting it closes this dataset, null detaches.
  TSDS* MasterDataset() const { return FMasterDataset; }
  void SetMasterDataset(TSDS* Value);
  // With dsoLookupClone: a second dataset sharing this one's records, made
  // when the component has been read.
  TSDS* LookupClone() const { return FLookupClone.get(); }

  const AnsiString& TableName() const { return FTableName; }
  // Another table closes a loaded dataset and forgets its structure.
  void SetTableName(const AnsiString& Value);
  // SQL by contract: never built from user text.
  const AnsiString& ServerFilter() const { return FServerFilter; }
  // On an open dataset another filter rebuilds the select from its parts
  // and reloads; a dataset sharing another's records refuses any.
  void SetServerFilter(const AnsiString& Value);
  const AnsiString& CommandText() const { return FCommandText; }
  void SetCommandText(const AnsiString& Value) { FCommandText = Value; }
  // Empty: SYS$ID.
  const AnsiString& AutoIncFieldName() const { return FAutoIncFieldName; }
  void SetAutoIncFieldName(const AnsiString& Value) { FAutoIncFieldName = Value; }
  TSDSOptions Options() const { return FOptions; }
  // Switching dsoLevels on sets the level mode anew (stack and index
  // prefix); switching navigation off drops the prefix and the level range.
  void SetOptions(TSDSOptions Value);
  TSDSLevelMode LevelMode() const { return FLevelMode; }
  void SetLevelMode(TSDSLevelMode Value);
  TDatasetKind DatasetKind() const { return FDatasetKind; }
  void SetDatasetKind(TDatasetKind Value) { FDatasetKind = Value; }
  // The display name; the component's Name when none was given.
  AnsiString PublicName() const { return FPublicName.empty() ? Name() : FPublicName; }
  void SetPublicName(const AnsiString& Value) { FPublicName = Value; }
  // Fired after a load; changes made by it stay in memory.
  std::function<void(TDataSet*)> AfterDataLoaded;
  // Fired for each appended record of a load, before it is posted; a
  // handler that posts or cancels it decides for itself.
  std::function<void(TDataSet*)> OnRecordLoaded;
  // Asked before an edit, a post or a delete; anything below full access
  // refuses it.
  TSDSAccess_vent OnGetAccess;
  TSDSAccess_vent OnGetAccessTmp;
  // Fired when a change has been written.
  TLogEvent OnLogEvent;
  // Fired for a record just brought up to date from its row on the server
  // (read again, or by the incremental refresh), the cursor on it.
  TDataSetNotifyEvent OnSyncRecord;

  // The lowest level the asked sources' events leave (full without events).
  TAccess GetAccess(unsigned Sources) const;
  // The current record's row key as one 64-bit value; 0 for none.
  int64_t DBKey() const;

  // The statements; GenerateSQL fills their texts.
  TIBSQL* SelectSQL() const { return FStatements[0].get(); }
  TIBSQL* RefreshSQL() const { return FStatements[1].get(); }
  TIBSQL* InsertSQL() const { return FStatements[2].get(); }
  TIBSQL* UpdateSQL() const { return FStatements[3].get(); }
  TIBSQL* DeleteSQL() const { return FStatements[4].get(); }
  TIBSQL* RefreshByKeySQL() const { return FStatements[5].get(); }
  TIBSQL* UpdateByKeySQL() const { return FStatements[6].get(); }
  TIBSQL* DeleteByKeySQL() const { return FStatements[7].get(); }

  // The table's key (fields separated by ';') and its indexes, as read.
  const AnsiString& KeyFields() const { return FKeyFields; }
  const std::vector<AnsiString>& ServerIndexNames() const { return FServerIndexNames; }
  const std::vector<AnsiString>& ServerIndexFields() const { return FServerIndexFields; }

  // The prepared command's columns; else, without dsoLoadAllFields, the
  // persistent fields' (when there are any); else the table's columns from
  // the metadata cache of a TSDatabase that holds it, else from the
  // server; plus the row key.
  void ReadFieldDefs();
  // The key and index lists, from the same places.
  void ReadIndexDefs();
  // Reads the indexes and fills the statement texts (with a TableName).
  void GenerateSQL();
  // The master/detail condition with the server filter.
  AnsiString ServerCondition() const;
  bool HasMasterFields() const { return !MasterFields().empty(); }
  bool HasDetailDataSets() const { return !DetailDataSets().empty(); }

  // Loads every row of SelectSQL into the memory table (with dsoLoadData).
  void LoadAll();
  // The select's "MD_" + detail field parameters from the paired master
  // fields, as the master/detail condition names them.
  void SetMasterParams(TIBSQL& Statement);
  // Whether the master's values differ from those the select last ran with
  // (always with the master/detail link not on the server).
  bool MasterValuesChanged();

  // Empties the memory table and loads it again (a dataset sharing another's
  // records reloads that one).
  void Reload();

  // Brings the records up to date with the rows of the table (and of the
  // dataset's server condition) changed from SinceTime on, 0 meaning an hour
  // before the newest SYS$TIME held (changes committed late); rows not held
  // are appended, records whose rows the server no longer has (or no longer
  // gives the condition) are dropped.
  void IncrementalRefresh(TDateTime SinceTime);
  // The records of a cache file brought up to date; any failure falls back
  // to a load from the server, logged and not shown.
  void LoadCacheAndRefresh(const AnsiString& FileName, TDateTime SinceTime);
  // Loading a file never reads from the server.
  void LoadFromBinaryFile(const AnsiString& FileName) override;
  // This table's cache file, known once the cache manager was asked.
  const AnsiString& CacheFileName() const { return FCacheFileName; }

  bool StructureReady() const { return FStructureReady; }
  bool DataLoaded() const { return FDataLoaded; }
  bool InternalLoading() const { return FInternalLoading; }

  // The hierarchy and row-key fields, bound after each open; null when the
  // dataset has none.
  TField* DBKeyField() const { return FDBKeyField; }
  TField* TimeField() const { return FTimeField; }
  TField* IDField() const { return FIDField; }
  TField* PIDField() const { return FPIDField; }
  TField* StateField() const { return FStateField; }
  TField* AutoIncField() const { return FAutoIncField; }

  static bool IDAssigned(int64_t ID) { return ID != 0; }
  // The next value of the server generator main_gen, 64 bits wide.
  int64_t NewIdentity(uint32_t Increment = 1);
  // Puts an identity in the field with its change handlers detached; an
  // integer field that cannot hold it raises and keeps its value.
  static void AssignIdentity(TField* Field, int64_t ID);
  // Zeroes the current record's row key (a new record has no row yet).
  void ClearRowKey();
  // Posts with BeforePost, AfterPost and every required flag off.
  void PostQuietly();
  // (SDSWriter.cpp) Runs Walk with the auto-commit writes' commits held and
  // made together at its end, also when Walk raises: the writes before the
  // failure stay. A write that has work after its commit (lock, audit,
  // notification, log event) still commits by itself. When the end's
  // commit fails, the server is rolled back and the records loaded again;
  // when they cannot be, the dataset is closed (the reason is logged).
  void WithCommitsHeld(const std::function<void()>& Walk);

  // With persistent fields: the master dataset's definitions, fields for
  // them, and every calculated, lookup or unloaded field checked against
  // the master's field of its name (there, same type, same size).
  void CopyMasterStructure();

  // A field for every definition without one (visible only with
  // dsoFieldsDefaultVisible); a string field takes its definition's size.
  void CreateFieldsFromDefs();

  // ---- Indexes. In navigation mode every index the dataset builds starts
  // with SYS$PID, which the field names hide from readers. Indexes are
  // built filtered (deleted records, level modes) when the options ask it.
  AnsiString IndexFieldNames() const override;
  void SetIndexFieldNames(const AnsiString& Value) override;
  // Empty: the server index over the current fields, if one is.
  AnsiString IndexName() const override;
  // Empty on an open table of a server table: "PRIMARY_KEY", built from
  // KeyFields; other names are built from the server index of that name.
  void SetIndexName(const AnsiString& Value) override;
  void GetIndexFieldList(std::vector<TField*>& List) const;
  // As the table's own: the cursor stays; by SYS$ID any record of the tree.
  Variant Lookup(const AnsiString& KeyFields, const Variant& KeyValues, const AnsiString& ResultFields) override;
  bool IsLookupClone() const { return FMasterDataset && FMasterDataset->LookupClone() == this; }

  // ---- Levels (SDSLevels.cpp): one level of the record tree at a time.
  // dsoLevels with a mode that shows one level.
  bool NavigationMode() const;
  TLevelInfos* LevelInfos() const { return FLevelInfos.get(); }
  int LevelCount() const { return FLevelInfos->Count(); }
  // Into the children of the current record (not a list record); false
  // and nothing changed when it cannot.
  bool LevelDown();
  // Back to the parent level, onto the record that was entered.
  bool LevelUp();
  // The view limited to the current level (navigation mode only).
  void ApplyLevelRange();
  // Key searches and ranges with the current level's parent put in front.
  bool FindKeyInLevel(const std::vector<Variant>& Values);
  void SetRangeInLevel(const std::vector<Variant>& StartValues, const std::vector<Variant>& EndValues);
  bool GotoKeyInLevel();
  // SYS$ID of the current record, all 64 bits; opens a closed dataset.
  int64_t CurrentID();
  // Makes the record with that SYS$ID current, or raises.
  void GotoID(int64_t ID);
  // For a dataset attached to a flat master: the level stack rebuilt down
  // to the record, which becomes current. 0 shows the top level; false
  // when the record or an ancestor is missing, or the parents loop.
  bool LocateInTree(int64_t ID);
  // Moves the current record under another parent, posted quietly. Itself
  // or one of its descendants as the parent is refused.
  void ChangeParent(int64_t NewParentID);
  // Under levels: whether a record has the current one as its parent; in
  // navigation, whether its level would show any record.
  bool HasChildren();
  TDataSetNotifyEvent OnLevelDown, OnLevelUp;

  // Closing forgets the loaded state. Opening without a table and without a
  // command makes a plain memory table that never writes to a server.
  void SetActive(bool Value) override;
  // After reading: the lookup clone; a dataset sharing another's records
  // takes its table and database.
  void Loaded() override;

 protected:
  void DoOnNewRecord() override;
  // With dsoCalcLookupOnServer a lookup field keeps what the server gave it
  // with its record instead of being worked out here.
  void CalculateFields(TRecordBuffer Buffer) override;
  // On the server's side the detail rows are read again when the master's
  // values changed since the load.
  void ApplyMasterRange() override;
  // Each change is written to the server before it is made in memory; a
  // failure after the commit is reported once the memory post or delete is
  // done. Nothing of this runs while the dataset changes itself.
  void DoBeforeInsert() override;
  void DoAfterInsert() override;
  void DoBeforeEdit() override;
  void DoAfterEdit() override;
  void DoBeforePost() override;
  void DoAfterPost() override;
  void DoAfterCancel() override;
  void DoBeforeDelete() override;
  void DoAfterDelete() override;
  void DoBeforeScroll() override;
  void DoAfterScroll() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The in-memory index filter: deleted records and the level modes.
  bool PassesIndexFilter();

 private:
  friend class TSDSWriter;
  void BindSystemFields();
  void ResetSystemFields();
  // The structure from the server, and the records with dsoLoadData; true
  // when it loaded them.
  bool OpenFromServer();
  // The structure, flags, index lists and statements of the master dataset,
  // sharing its records.
  void OpenAttached();
  void FireAfterDataLoaded();
  // From the cache file when it holds this table's version, else from the
  // server.
  void LoadRecords();
  // The newest SYS$TIME of the records; 0 without any.
  TDateTime NewestTime();
  // Runs a select of this table's rows with the dataset's server condition
  // added, on the reading transaction.
  void RunOwnRows(TIBSQL& Statement, const AnsiString& Select, const std::function<void()>& SetParams);
  // Drops the records whose keys the server no longer lists; the key index
  // is the current one.
  void DropRowsGoneFromServer(const std::vector<TField*>& KeyFields);
  // The records to the cache file when they changed or it does not exist.
  void SaveCache();
  // Each detail field's name with its master field, in the link's order.
  std::vector<std::pair<AnsiString, TField*>> MasterPairs() const;
  void CheckFullAccess() const;
  // The master/detail checks before an insert, edit or delete.
  void CheckMasterInBrowse() const;
  // BeforeDelete and the checks that may refuse a delete.
  void CheckDelete();
  // Marks the record deleted through an update and keeps it in memory.
  void VirtualDelete();
  // Sets the deleted bit and posts, without the edit and post events.
  void MarkDeleted();
  // Raises what failed after a change was committed, once.
  void ReportCommittedFailure();
  // The held commits made; a failure undoes them and reloads, raising only
  // when asked.
  void CommitHeldWrites(bool RaiseFailure);
  void ReadCommandFieldDefs();
  // Without dsoLoadAllFields the persistent fields (when there are any)
  // choose the columns that are read and written.
  bool DefsFromPersistentFields() const {
    return !FOptions.Contains(dsoLoadAllFields) && FieldCount() > 0;
  }
  // Whether the definitions name the table's columns with the sizes the
  // server describes now.
  bool DefsMatchServer();
  // The TSDatabase whose catalogue cache is on, else null.
  TSDatabase* CachingDatabase() const;
  TSDSSqlSource SqlSource() const;
  // The load statement: the generated one, or the command with the filter.
  AnsiString SelectText() const;
  // Builds an index over the fields (the level prefix added) under the
  // name, filtered when the options ask it.
  void BuildIndex(const AnsiString& Name, AnsiString Fields, TIndexOptions Options);
  AnsiString WithLevelPrefix(const AnsiString& Fields) const;
  // Makes current an index over KeyFields that holds every record, also
  // those the filtered indexes hide.
  void UseWholeKeyIndex();
  // Whether the index takes the record filter, as the options now ask.
  void MarkFiltered(const AnsiString& IndexName);
  // The stack with the top level alone.
  void ResetLevels();
  // The parent of the level shown.
  int32_t CurrentParentID() const;
  // The record with that identity is the current one or below it.
  bool IsInSubtree(int64_t ID, int64_t Root);

  // Select, refresh, insert, update, delete, refresh, update and delete by key.
  std::array<std::unique_ptr<TIBSQL>, 8> FStatements;
  AnsiString FKeyFields;
  std::vector<AnsiString> FServerIndexNames;
  std::vector<AnsiString> FServerIndexFields;

  TSDS* FMasterDataset = nullptr;
  std::unique_ptr<TSDS> FLookupClone;
  std::unique_ptr<TLevelInfos> FLevelInfos;
  // The indexes built with the record filter, by name: they are rebuilt
  // from their definitions on every open.
  std::set<AnsiString> FFilteredIndexes;
  AnsiString FTableName;
  AnsiString FServerFilter;
  AnsiString FCommandText;
  AnsiString FAutoIncFieldName;
  AnsiString FPublicName;
  AnsiString FCacheFileName;
  // The records came from the cache file (and what changed since).
  bool FRecordsFromCache = false;
  TSDSOptions FOptions = SDSDefaultOptions;
  TSDSLevelMode FLevelMode = dslmDefault;
  TDatasetKind FDatasetKind = dkUnknown;
  bool FStructureReady = false;
  bool FDataLoaded = false;
  bool FInternalLoading = false;
  // The edit starting took the record's lock.
  bool FLockedForEdit = false;
  TField* FDBKeyField = nullptr;
  TField* FTimeField = nullptr;
  TField* FIDField = nullptr;
  TField* FPIDField = nullptr;
  TField* FStateField = nullptr;
  TField* FAutoIncField = nullptr;
  std::exception_ptr FCommittedFailure;
  bool FHoldingCommits = false;
  // The transactions that owe a held commit.
  std::vector<TIBTransaction*> FHeldTransactions;
};
