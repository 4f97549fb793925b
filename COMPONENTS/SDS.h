// The server-backed dataset: an in-memory table that mirrors one server
// table, with the record hierarchy kept in SYS$ID, SYS$PID and SYS$STATE.
// Opened with neither a table nor a command it is a plain memory table.
#pragma once

#include <cstdint>
#include <functional>

#include "zynMemTable.h"

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

  const AnsiString& TableName() const { return FTableName; }
  // Another table closes a loaded dataset and forgets its structure.
  void SetTableName(const AnsiString& Value);
  // SQL by contract: never built from user text.
  const AnsiString& ServerFilter() const { return FServerFilter; }
  void SetServerFilter(const AnsiString& Value) { FServerFilter = Value; }
  const AnsiString& CommandText() const { return FCommandText; }
  void SetCommandText(const AnsiString& Value) { FCommandText = Value; }
  // Empty: SYS$ID.
  const AnsiString& AutoIncFieldName() const { return FAutoIncFieldName; }
  void SetAutoIncFieldName(const AnsiString& Value) { FAutoIncFieldName = Value; }
  TSDSOptions Options() const { return FOptions; }
  void SetOptions(TSDSOptions Value) { FOptions = Value; }
  TSDSLevelMode LevelMode() const { return FLevelMode; }
  TDatasetKind DatasetKind() const { return FDatasetKind; }
  void SetDatasetKind(TDatasetKind Value) { FDatasetKind = Value; }
  // The display name; the component's Name when none was given.
  AnsiString PublicName() const { return FPublicName.empty() ? Name() : FPublicName; }
  void SetPublicName(const AnsiString& Value) { FPublicName = Value; }
  // Fired after a load; changes made by it stay in memory.
  std::function<void(TDataSet*)> AfterDataLoaded;

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

  // A field for every definition without one (visible only with
  // dsoFieldsDefaultVisible); a string field takes its definition's size.
  void CreateFieldsFromDefs();

  // Closing forgets the loaded state. Opening without a table and without a
  // command makes a plain memory table that never writes to a server.
  void SetActive(bool Value) override;

 protected:
  void DoOnNewRecord() override;

 private:
  void BindSystemFields();
  void ResetSystemFields();

  AnsiString FTableName;
  AnsiString FServerFilter;
  AnsiString FCommandText;
  AnsiString FAutoIncFieldName;
  AnsiString FPublicName;
  TSDSOptions FOptions = SDSDefaultOptions;
  TSDSLevelMode FLevelMode = dslmDefault;
  TDatasetKind FDatasetKind = dkUnknown;
  bool FStructureReady = false;
  bool FDataLoaded = false;
  bool FInternalLoading = false;
  TField* FDBKeyField = nullptr;
  TField* FTimeField = nullptr;
  TField* FIDField = nullptr;
  TField* FPIDField = nullptr;
  TField* FStateField = nullptr;
  TField* FAutoIncField = nullptr;
};
