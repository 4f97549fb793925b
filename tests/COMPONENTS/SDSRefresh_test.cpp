// Bringing a server-backed dataset up to date: one record again from the
// server, and a cache file's records with what changed since it was written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SDS.h"
#include "SDSWriter.h"
#include "SDSTestKit.h"

namespace fs = std::filesystem;

namespace {

class SDSRefreshTest : public TTempFolderTest {
 protected:
  // A cached database on the file: connected, reads committed data.
  std::unique_ptr<TSDatabaseOnFile> Connect() {
    auto db = std::make_unique<TSDatabaseOnFile>(File, false);
    db->Database->LocalCache = true;
    db->Transaction->Params()->SetText("read_committed\r\nrec_version\r\nnowait");
    db->Database->Open();
    return db;
  }
  // Not opened.
  std::unique_ptr<TSDS> NewDataset(TSDatabaseOnFile& Db, TSDSOptions Extra = {}, const AnsiString& Filter = "") {
    auto sds = std::make_unique<TSDS>(nullptr);
    sds->SetName("Detail");
    sds->SetDatabase(Db.Database.get());
    sds->SetTransaction(Db.Transaction.get());
    sds->SetTableName("DETAIL_T");
    sds->SetServerFilter(Filter);
    sds->SetOptions(sds->Options() + Extra);
    return sds;
  }
  std::unique_ptr<TSDS> Dataset(TSDatabaseOnFile& Db, TSDSOptions Extra = {}, const AnsiString& Filter = "") {
    auto sds = NewDataset(Db, Extra, Filter);
    sds->Open();
    return sds;
  }
  // In units of 1/10000.
  AnsiString Amount(TSDS& Sds, int64_t Id) {
    if (!Sds.Locate("SYS$ID", Variant(Id), {})) return "<none>";
    const TField* amount = Sds.FieldByName("AMOUNT");
    return amount->IsNull() ? AnsiString("<null>") : std::to_string(amount->AsCurrency().Scaled);
  }
  fs::path CacheFile(TSDatabaseOnFile& Db) const {
    return fs::path(Db.Database->CacheManager()->CacheDir()) / "DETAIL_T.CDS";
  }

  TTestDatabase File{"nocomment"};
};

TEST_F(SDSRefreshTest, ARecordIsReadAgainByRowKeyOrByKeyAndAGoneRowCancelsTheEdit) {
  auto db = Connect();
  auto sds = Dataset(*db, {dsoRefreshBeforeEdit});
  ExecCommitted(*db->Database, "update DETAIL_T set AMOUNT = null, LINE_NO = 5 where SYS$ID = 100");
  ExecCommitted(*db->Database, "update DETAIL_T set AMOUNT = 922337203685477.5807 where SYS$ID = 101");
  std::vector<int> loadedLines;
  sds->OnRecordLoaded = [&](TDataSet* Sender) { loadedLines.push_back(Sender->FieldByName("LINE_NO")->AsInteger()); };
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{100}), {}));
  sds->Edit();
  EXPECT_TRUE(sds->FieldByName("AMOUNT")->IsNull());
  EXPECT_EQ(sds->FieldByName("LINE_NO")->AsInteger(), 5);
  EXPECT_EQ(loadedLines, std::vector<int>{5});
  sds->Cancel();
  sds->OnRecordLoaded = nullptr;

  // Without a row key the key fields find the row.
  sds->SetOptions(sds->Options() - TSDSOptions{dsoRefreshBeforeEdit});
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{101}), {}));
  sds->Edit();
  sds->ClearRowKey();
  TSDSWriter(*sds).RefreshRecord();
  EXPECT_EQ(sds->FieldByName("AMOUNT")->AsCurrency().Scaled, INT64_MAX);
  EXPECT_NE(sds->DBKey(), 0);
  sds->Cancel();

  sds->SetOptions(sds->Options() + TSDSOptions{dsoRefreshBeforeEdit});
  ExecCommitted(*db->Database, "delete from DETAIL_T where SYS$ID = 102");
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{102}), {}));
  try {
    sds->Edit();
    FAIL() << "edited a deleted row";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Текущая запись возможно удалена в базе.\n\rРекомендуется обновить набор данных !");
  }
  EXPECT_EQ(sds->State(), dsBrowse);
}

TEST_F(SDSRefreshTest, EveryRecordBroughtUpToDateFromItsRowFiresOnSyncRecord) {
  auto db = Connect();
  auto sds = Dataset(*db, {dsoRefreshBeforeEdit});
  std::vector<AnsiString> synced;
  sds->OnSyncRecord = [&](TDataSet* Sender) {
    synced.push_back(Sender->FieldByName("SYS$ID")->AsString() + ":" +
                     Sender->FieldByName("LINE_NO")->AsString());
  };
  ExecCommitted(*db->Database, "update DETAIL_T set LINE_NO = 7 where SYS$ID = 100");
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{100}), {}));
  sds->Edit();
  sds->Cancel();
  EXPECT_EQ(synced, std::vector<AnsiString>{"100:7"});
  synced.clear();
  ExecCommitted(
      *db->Database,
      "update DETAIL_T set LINE_NO = 8, SYS$TIME = '2030-01-01' where SYS$ID in (101, 102)");
  sds->IncrementalRefresh(EncodeDate(2029, 1, 1));
  EXPECT_EQ(synced, (std::vector<AnsiString>{"101:8", "102:8"}));
  // A plain load synchronises nothing record by record.
  synced.clear();
  sds->Reload();
  EXPECT_TRUE(synced.empty());
}

TEST_F(SDSRefreshTest, ACacheOpenTakesTheChangesFromItsNewestTimeOnNullsAndNewRowsIncluded) {
  const AnsiString filter = "LINE_NO < 50";
  {
    auto db = Connect();
    ExecCommitted(*db->Database, "update DETAIL_T set SYS$TIME = dateadd(SYS$ID second to timestamp '2024-05-01 10:00:00')");
    auto sds = Dataset(*db, {dsoLocalCachData}, filter);
    EXPECT_EQ(sds->CacheFileName(), CacheFile(*db).string());
    EXPECT_FALSE(fs::exists(CacheFile(*db)));
  }
  auto db = Connect();
  ASSERT_TRUE(fs::is_regular_file(CacheFile(*db)));
  const char* changes[] = {
      // At the newest time itself (10:01:42), unchanged or set to it.
      "update DETAIL_T set AMOUNT = 99 where SYS$ID = 102",
      "update DETAIL_T set AMOUNT = null, SYS$TIME = '2024-05-01 10:01:42' where SYS$ID = 100",
      // Added by others, inside and outside the dataset's condition.
      "insert into DETAIL_T (SYS$ID, SYS$TIME, MASTER_ID, LINE_NO, AMOUNT) "
      "values (103, '2024-05-01 11:00:00', 10, 3, 123456789012.3456)",
      "insert into DETAIL_T (SYS$ID, SYS$TIME, MASTER_ID, LINE_NO, AMOUNT) values (104, '2024-05-01 11:00:00', 11, 60, 4)",
      // Stamped more than the late-commit hour before the cache's newest
      // change: the cache's value stays.
      "update DETAIL_T set AMOUNT = 77, SYS$TIME = '2024-05-01 08:59:00' where SYS$ID = 101"};
  for (const char* change : changes) ExecCommitted(*db->Database, change);
  auto sds = Dataset(*db, {dsoLocalCachData}, filter);
  EXPECT_TRUE(sds->DataLoaded());
  EXPECT_FALSE(sds->InternalLoading());
  EXPECT_EQ(sds->RecordCount(), 4);
  EXPECT_EQ(Amount(*sds, 100), "<null>");
  EXPECT_EQ(Amount(*sds, 101), "72500");
  EXPECT_EQ(Amount(*sds, 102), "990000");
  EXPECT_EQ(Amount(*sds, 103), "1234567890123456");
  EXPECT_NE(sds->DBKey(), 0);
  EXPECT_EQ(Amount(*sds, 104), "<none>");
}

TEST_F(SDSRefreshTest, AnotherServerFilterWritesItsOwnRowsOverTheFileEvenWhenThereAreNone) {
  auto db = Connect();
  Dataset(*db, {dsoLocalCachData}, "LINE_NO < 50");
  {
    auto sds = Dataset(*db, {dsoLocalCachData}, "LINE_NO > 50");
    EXPECT_EQ(sds->RecordCount(), 0);
    // Until the new rows are written no file answers for them.
    EXPECT_FALSE(fs::exists(CacheFile(*db)));
  }
  EXPECT_EQ(Dataset(*db, {dsoLocalCachData}, "LINE_NO > 50")->RecordCount(), 0);
  EXPECT_EQ(Dataset(*db, {dsoLocalCachData}, "LINE_NO < 50")->RecordCount(), 3);
}

TEST_F(SDSRefreshTest, ACacheFileThatWillNotLoadGivesAFullLoadAndAFailedSaveIsOnlyLogged) {
  {
    auto db = Connect();
    Dataset(*db, {dsoLocalCachData});
  }
  auto db = Connect();
  std::ofstream(CacheFile(*db), std::ios::trunc) << "not a table";
  ExecCommitted(*db->Database, "update DETAIL_T set AMOUNT = 77 where SYS$ID = 101");
  std::unique_ptr<TSDS> sds;
  ASSERT_NO_THROW(sds = Dataset(*db, {dsoLocalCachData}));
  EXPECT_EQ(sds->RecordCount(), 3);
  EXPECT_EQ(Amount(*sds, 101), "770000");
  // The cache folder is gone by the time the dataset goes.
  fs::remove_all(Temp);
  EXPECT_NO_THROW(sds.reset());
}

}  // namespace

namespace {

TEST_F(SDSRefreshTest, ALateCommitAndARowDeletedElsewhereAreFoundByTheRefreshAndTheNextCachedOpen) {
  for (bool reopen : {false, true}) {
    SCOPED_TRACE(reopen ? "next open of the cached table" : "incremental refresh");
    fs::remove_all(Temp);
    fs::create_directories(Temp);
    TTestDatabase file("nocomment");
    auto connect = [&] {
      auto db = std::make_unique<TSDatabaseOnFile>(file, false);
      db->Database->LocalCache = true;
      db->Transaction->Params()->SetText("read_committed\nrec_version\nnowait");
      db->Database->Open();
      return db;
    };
    auto db = connect();
    ExecCommitted(*db->Database, "update DETAIL_T set SYS$TIME = dateadd(SYS$ID second to timestamp '2024-05-01 10:00:00')");
    auto sds = Dataset(*db, {dsoLocalCachData});
    // Stamped before the newest change held (10:01:42), committed after the
    // load; and a row deleted by another user.
    ExecCommitted(*db->Database, "update DETAIL_T set AMOUNT = 55, SYS$TIME = '2024-05-01 10:01:30' where SYS$ID = 101");
    ExecCommitted(*db->Database, "delete from DETAIL_T where SYS$ID = 100");
    if (reopen) {
      sds.reset();
      db = connect();
      sds = Dataset(*db, {dsoLocalCachData});
    } else {
      sds->IncrementalRefresh(0);
    }
    EXPECT_FALSE(sds->InternalLoading());
    EXPECT_EQ(sds->RecordCount(), 2);
    EXPECT_EQ(Amount(*sds, 100), "<none>");
    EXPECT_EQ(Amount(*sds, 101), "550000");
    EXPECT_EQ(Amount(*sds, 102), "10000");
    // Still writing to the server.
    ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{102}), {}));
    sds->Edit();
    sds->FieldByName("AMOUNT")->SetAsInteger(3);
    sds->Post();
    EXPECT_EQ(QueryValue(*db->Database, "select AMOUNT from DETAIL_T where SYS$ID = 102"), "3");
  }
}

}  // namespace

namespace {

TEST_F(SDSRefreshTest, RowsDeletedElsewhereGoWhateverTheKeysType) {
  File.Isql(
      "CREATE TABLE CODES (CODE VARCHAR(10) NOT NULL, DAY_DATE DATE NOT NULL, SYS$TIME TIMESTAMP, NAME VARCHAR(20),\n"
      "  PRIMARY KEY (CODE, DAY_DATE));\n"
      "INSERT INTO CODES VALUES ('а б', '2024-01-31', NULL, 'один');\n"
      "INSERT INTO CODES VALUES ('а б', '2024-02-01', NULL, 'два');\n"
      "INSERT INTO CODES VALUES ('в', '2024-01-31', NULL, 'три');\nCOMMIT;");
  auto db = Connect();
  TSDS sds(nullptr);
  sds.SetDatabase(db->Database.get());
  sds.SetTransaction(db->Transaction.get());
  sds.SetTableName("CODES");
  sds.Open();
  ExecCommitted(*db->Database, "delete from CODES where CODE = 'а б' and DAY_DATE = '2024-01-31'");
  sds.IncrementalRefresh(0);
  std::vector<AnsiString> names;
  for (sds.First(); !sds.Eof(); sds.Next()) names.push_back(sds.FieldByName("NAME")->AsString());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<AnsiString>{"два", "три"}));
}

}  // namespace

namespace {

TEST_F(SDSRefreshTest, ACacheFileThatCannotBeReplacedNeverAnswersForAnotherFilter) {
  auto db = Connect();
  Dataset(*db, {dsoLocalCachData}, "LINE_NO = 1");
  // An immutable file can be neither replaced nor removed, as one held open
  // or read-only elsewhere.
  const std::string cache = CacheFile(*db).string();
  if (std::system(("chattr +i '" + cache + "' 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "no immutable files here";
  struct TMutableAgain {
    std::string Path;
    ~TMutableAgain() { std::system(("chattr -i '" + Path + "'").c_str()); }
  } mutableAgain{cache};
  EXPECT_EQ(Dataset(*db, {dsoLocalCachData}, "LINE_NO < 50")->RecordCount(), 3);
  // The file still holds the first filter's two rows.
  EXPECT_EQ(Dataset(*db, {dsoLocalCachData}, "LINE_NO < 50")->RecordCount(), 3);
  EXPECT_EQ(Dataset(*db, {dsoLocalCachData}, "LINE_NO = 1")->RecordCount(), 2);
}

}  // namespace


TEST_F(SDSRefreshTest, CalculatedAndLookupFieldsAreWorkedOutForRecordsFromTheServerAndFromTheCache) {
  TzynMemTable names(nullptr);
  OpenClientNames(names);
  for (const bool fromCache : {false, true}) {
    SCOPED_TRACE(fromCache);
    auto db = Connect();
    auto sds = NewDataset(*db, {dsoLocalCachData});
    auto* doubled = new TIntegerField(sds.get());
    doubled->SetFieldName("DOUBLED");
    doubled->SetFieldKind(fkCalculated);
    doubled->SetDataSet(sds.get());
    sds->OnCalcFields = [](TDataSet* D) {
      D->FieldByName("DOUBLED")->SetAsInteger(D->FieldByName("LINE_NO")->AsInteger() * 2);
    };
    TField* master = AddMasterNameLookup(*sds, names, "MASTER_NAME");
    sds->Open();
    EXPECT_EQ(fs::exists(CacheFile(*db)), fromCache);
    auto shown = [&] {
      AnsiString text;
      for (sds->First(); !sds->Eof(); sds->Next())
        text += sds->FieldByName("SYS$ID")->AsString() + ":" + doubled->AsString() + ":" + master->AsString() + " ";
      return text;
    };
    EXPECT_EQ(shown(), "100:2:клиент 10 101:4:клиент 10 102:2:клиент 11 ");
    // A lookup follows the record it looks up.
    ASSERT_TRUE(names.Locate("SYS$ID", Variant(int64_t{11}), {}));
    names.Edit();
    names.FieldByName("NAME")->SetAsString("другой");
    names.Post();
    EXPECT_EQ(shown(), "100:2:клиент 10 101:4:клиент 10 102:2:другой ");
    names.Edit();
    names.FieldByName("NAME")->SetAsString("клиент 11");
    names.Post();
  }
}

TEST_F(SDSRefreshTest, TheRefreshBringsTheLookupValuesTheServerWorksOut) {
  auto db = Connect();
  TSDatabaseOnFile other(File);
  TzynMemTable names(nullptr);
  OpenClientNames(names);
  auto sds = NewDataset(*db, {dsoCalcLookupOnServer});
  sds->SetCommandText(DetailWithMasterName);
  AddMasterNameLookup(*sds, names, "MASTER_NAME");
  sds->Open();
  auto shown = [&] {
    AnsiString text;
    for (int64_t id : {100, 101, 102, 103})
      if (sds->Locate("SYS$ID", Variant(id), {}))
        text += std::to_string(id) + ":" + sds->FieldByName("MASTER_NAME")->AsString() + " ";
    return text;
  };
  EXPECT_EQ(shown(), "100:Первый 101:Первый 102:Второй ");
  const AnsiString file = (Temp / "detail.cds").string();
  sds->SaveToBinaryFile(file);
  // Changed and added by another user.
  ExecCommitted(*other.Database,
                "update DETAIL_T set MASTER_ID = 11, LINE_NO = 3, SYS$TIME = 'NOW' where SYS$ID = 100");
  ExecCommitted(*other.Database,
                "insert into DETAIL_T (SYS$ID, SYS$TIME, MASTER_ID, LINE_NO) values (103, 'NOW', 10, 9)");
  sds->IncrementalRefresh(0);
  EXPECT_EQ(shown(), "100:Второй 101:Первый 102:Второй 103:Первый ");
  // A file holds no such values: the records come from the server, and go
  // to memory only.
  ExecCommitted(*other.Database, "update DETAIL_T set MASTER_ID = 10, SYS$TIME = 'NOW' where SYS$ID = 102");
  sds->EmptyTable();
  sds->LoadCacheAndRefresh(file, 0);
  EXPECT_EQ(shown(), "100:Второй 101:Первый 102:Первый 103:Первый ");
  EXPECT_EQ(QueryValue(*other.Database, "select count(*) from DETAIL_T"), "4");
}
