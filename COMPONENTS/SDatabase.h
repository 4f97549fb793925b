// The database object of the server-backed datasets: a connection that
// also owns the user session with its server functions, the local cache
// manager, the server's column and index catalogue in memory tables and the
// list of list kinds.
#pragma once

#include <memory>

#include "SCacheManager.h"
#include "SUserSession.h"
#include "ibclient/IBDatabase.h"
#include "uListMng.h"
#include "zynMemTable.h"

class TSDS;

class TSDatabase : public TIBDatabase {
 public:
  explicit TSDatabase(TComponent* AOwner);
  // Disconnects first, while everything the disconnect step uses is still
  // there; nothing raised leaves it (failures go to the log).
  ~TSDatabase() override;

  // Keep the column and index catalogue in memory tables.
  bool MetadataCache = true;
  // SQL condition narrowing the catalogue queries.
  AnsiString MetadataCacheFilter;
  // Keep cache files under TEMP.
  bool LocalCache = false;
  // The read-write transaction of the datasets' writing statements;
  // forgotten when that transaction is destroyed.
  TIBTransaction* DefaultTransactionRW() const { return FDefaultTransactionRW; }
  void SetDefaultTransactionRW(TIBTransaction* Value);
  // The current user's number; nothing in the workstation assigns it.
  int UserNumber = -1;

  TUserSession* Session() const { return FSession.get(); }
  TCacheManager* CacheManager() const { return FCacheManager.get(); }
  TListColletion* ListKinds() const { return FListKinds.get(); }
  // The users (SYS_USER), open while connected.
  TSDS* UserTable() const { return FUserTable.get(); }
  // Puts the user table on this database (deleting only marks the rows)
  // and opens it when connected.
  void BindUserTable();

  // The catalogue: the user columns and the index segments of the server,
  // open while connected with MetadataCache on.
  TzynMemTable* TablesCache() const { return FTablesCache.get(); }
  TzynMemTable* IndexesCache() const { return FIndexesCache.get(); }
  // Rebuilds the catalogue from the server and forgets the constraints.
  void RefreshMetadataCache();
  // The kind of the constraint behind an index: 3 primary key, 5 unique,
  // 33 foreign key, 0 any other or none.
  int ConstraintType(const AnsiString& IndexName);

 protected:
  // After the attach: the cache folder and index, the catalogue, the user
  // table and the list kinds. When any of it fails the database disconnects before the error
  // goes on.
  void DoConnect() override;
  // Ends a registered session (a failure is logged: the attachment goes
  // anyway), detaches, writes the catalogue's cache files and the cache
  // index, empties the list kinds and closes the user table.
  void DoDisconnect() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TIBTransaction* FDefaultTransactionRW = nullptr;
  std::unique_ptr<TUserSession> FSession;
  std::unique_ptr<TCacheManager> FCacheManager;
  std::unique_ptr<TListColletion> FListKinds;
  std::unique_ptr<TzynMemTable> FTablesCache;
  std::unique_ptr<TzynMemTable> FIndexesCache;
  std::unique_ptr<TzynMemTable> FConstraintTable;
  std::unique_ptr<TSDS> FUserTable;
  // The catalogue's cache files, known once the catalogue in memory is
  // whole for the version they are registered with.
  AnsiString FTablesCacheFile, FIndexesCacheFile;

  // From the cache files when they hold the database's version, else
  // from the server.
  void LoadMetadataCache();
  void BuildMetadataCache();
  // Writes the catalogue to its cache files (with LocalCache) and closes it.
  void SaveMetadataCache();
  void BuildConstraintTable();
};
