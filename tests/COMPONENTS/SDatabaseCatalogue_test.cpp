// The database object's catalogue of columns and indexes: built from the
// server, kept in cache files between connects, and the constraint kinds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SDS.h"
#include "SDatabaseTestKit.h"
#include "rtl/SysUtils.h"

namespace fs = std::filesystem;

namespace {

// Every record of the table in its current order, fields joined by "|".
std::vector<AnsiString> Dump(TDataSet& Table) {
  std::vector<AnsiString> rows;
  for (Table.First(); !Table.Eof(); Table.Next()) {
    AnsiString row;
    for (int i = 0; i < Table.FieldCount(); ++i)
      row += (i ? "|" : "") + (Table.Fields()->Fields(i)->IsNull()
                                   ? AnsiString("<null>")
                                   : Table.Fields()->Fields(i)->AsString());
    rows.push_back(row);
  }
  return rows;
}

bool HasColumn(TSDatabase& Database, const char* Relation, const char* Field) {
  return Database.TablesCache()->Locate("RDB$RELATION_NAME;RDB$FIELD_NAME",
                                        VarArrayOf({Relation, Field}), {});
}

// The values of one field over the records, in the current order.
std::vector<AnsiString> Column(TDataSet& Table, const AnsiString& Field) {
  std::vector<AnsiString> values;
  for (Table.First(); !Table.Eof(); Table.Next())
    values.push_back(Table.FieldByName(Field)->AsString());
  return values;
}

class SDatabaseCatalogueTest : public TTempFolderTest {
 protected:
  // A database on the file with a local cache, not yet connected.
  std::unique_ptr<TSDatabaseOnFile> Cached(const TTestDatabase& File) {
    auto db = std::make_unique<TSDatabaseOnFile>(File, false);
    db->Database->LocalCache = true;
    return db;
  }
  // The statements prepared while the database connects.
  int PreparesToConnect(TSDatabase& Database) {
    int prepares = 0;
    TSeamGuard guard([&](const char* name) {
      if (std::string(name) == "isc_dsql_prepare") ++prepares;
    });
    Database.Open();
    return prepares;
  }
  // What a connect costs without a catalogue at all, less the two catalogue
  // queries the user table then runs for itself, plus the description of
  // its columns that it checks a catalogue against.
  int PreparesWithoutCatalogue(const TTestDatabase& File) {
    auto db = Cached(File);
    db->Database->MetadataCache = false;
    return PreparesToConnect(*db->Database) - 2 + 1;
  }
  fs::path Folder(const TTestDatabase& File) const {
    return Temp / TCacheManager::DirectoryName(File.Path()).c_str();
  }
  std::vector<std::string> IndexLines(const TTestDatabase& File) const {
    std::ifstream index(Folder(File) / "cache.ini");
    std::vector<std::string> lines;
    for (std::string line; std::getline(index, line);) lines.push_back(TrimRight(line));
    return lines;
  }

  const std::string Tables = "SDATABASE_TEST_TABLES", Indexes = "SDATABASE_TEST_INDEXES";
};

TEST(SDatabaseCatalogue, HoldsTheUserColumnsAndIndexSegmentsWithTrimmedNames) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  TzynMemTable& tables = *db.Database->TablesCache();
  TzynMemTable& indexes = *db.Database->IndexesCache();
  ASSERT_TRUE(tables.Active());
  EXPECT_EQ(tables.IndexName(), "RELATIONS_FIELDNAMES");

  // No system column, and the names in the order of the active index.
  for (const AnsiString& relation : Column(tables, "RDB$RELATION_NAME"))
    EXPECT_TRUE(relation.rfind("RDB$", 0) != 0 && relation.rfind("MON$", 0) != 0) << relation;
  tables.SetRange({"NO_KEY"}, {"NO_KEY"});
  EXPECT_EQ(Column(tables, "RDB$FIELD_NAME"), (std::vector<AnsiString>{"AMOUNT", "NAME"}));
  tables.CancelRange();

  const struct {
    const char* Field;
    const char* Expected;  // RDB$FIELD_POSITION|RDB$NULL_FLAG|RDB$FIELD_TYPE|RDB$FIELD_SCALE
  } columns[] = {
      {"SYS$ID", "0|1|16|0"}, {"CODE", "4|<null>|37|0"},     {"F_NUM18_4", "11|<null>|16|-4"},
      {"F_REQ", "23|1|8|0"},  {"F_DOMDEF", "25|<null>|8|0"},
  };
  for (const auto& c : columns) {
    ASSERT_TRUE(
        tables.Locate("RDB$RELATION_NAME;RDB$FIELD_NAME", VarArrayOf({"ALL_TYPES", c.Field}), {}))
        << c.Field;
    AnsiString found;
    for (const char* name :
         {"RDB$FIELD_POSITION", "RDB$NULL_FLAG", "RDB$FIELD_TYPE", "RDB$FIELD_SCALE"}) {
      TField* field = tables.FieldByName(name);
      found +=
          (found.empty() ? "" : "|") + (field->IsNull() ? AnsiString("<null>") : field->AsString());
    }
    EXPECT_EQ(found, c.Expected) << c.Field;
  }
  // The server's binary texts come whole; a column without one is null.
  ASSERT_TRUE(
      tables.Locate("RDB$RELATION_NAME;RDB$FIELD_NAME", VarArrayOf({"ALL_TYPES", "F_CALC"}), {}));
  EXPECT_FALSE(tables.FieldByName("RDB$COMPUTED_BLR")->AsString().empty());
  ASSERT_TRUE(
      tables.Locate("RDB$RELATION_NAME;RDB$FIELD_NAME", VarArrayOf({"ALL_TYPES", "F_INT"}), {}));
  EXPECT_TRUE(tables.FieldByName("RDB$COMPUTED_BLR")->IsNull());

  tables.SetIndexName("RELATIONS_FIELDPOSITION");
  tables.SetRange({"MASTER_T"}, {"MASTER_T"});
  EXPECT_EQ(Column(tables, "RDB$FIELD_NAME"),
            (std::vector<AnsiString>{"SYS$ID", "SYS$PID", "SYS$STATE", "SYS$TIME", "NAME"}));

  indexes.SetRange({"DETAIL_T"}, {"DETAIL_T"});
  std::vector<AnsiString> segments;
  const AnsiString masterKey =
      QueryValue(*db.Database,
                 "select RDB$INDEX_NAME from RDB$RELATION_CONSTRAINTS where "
                 "RDB$RELATION_NAME = 'MASTER_T' and RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'");
  for (const AnsiString& row : Dump(indexes)) segments.push_back(row.substr(row.find('|') + 1));
  ASSERT_EQ(segments.size(), 4u);
  EXPECT_EQ(segments[0], "DETAIL_T_LINE|0|1|<null>|2|MASTER_ID|<null>");
  EXPECT_EQ(segments[1], "DETAIL_T_LINE|1|1|<null>|2|LINE_NO|<null>");
  // The foreign key names the master's key index.
  EXPECT_EQ(segments[2].substr(segments[2].rfind('|') + 1), TrimRight(masterKey));
}

TEST(SDatabaseCatalogue, ConstraintKindsOfIndexes) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  auto indexOf = [&](const char* Relation, const char* Kind) {
    return TrimRight(
        QueryValue(*db.Database, std::string("select RDB$INDEX_NAME from RDB$RELATION_CONSTRAINTS "
                                             "where RDB$RELATION_NAME = '") +
                                     Relation + "' and RDB$CONSTRAINT_TYPE = '" + Kind + "'"));
  };
  const struct {
    AnsiString Index;
    int Type;
  } cases[] = {
      {indexOf("MASTER_T", "PRIMARY KEY"), 3},
      {"DETAIL_T_LINE", 5},
      {indexOf("DETAIL_T", "FOREIGN KEY"), 33},
      {"A_ALL_TYPES_CODE", 0},  // a unique index without a constraint
      {"NO_SUCH_INDEX", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(db.Database->ConstraintType(c.Index), c.Type) << c.Index;
}

TEST(SDatabaseCatalogue, AFilterNarrowsBothQueriesAndABadOneFailsTheConnect) {
  TTestDatabase file;
  TSDatabaseOnFile db(file, false);
  db.Database->MetadataCacheFilter = "RDB$RELATION_NAME = 'DETAIL_T'";
  db.Database->Open();
  for (TzynMemTable* table : {db.Database->TablesCache(), db.Database->IndexesCache()}) {
    const std::vector<AnsiString> relations = Column(*table, "RDB$RELATION_NAME");
    EXPECT_FALSE(relations.empty());
    for (const AnsiString& relation : relations) EXPECT_EQ(relation, "DETAIL_T");
  }
  db.Database->Close();

  db.Database->MetadataCacheFilter = "NO_SUCH_COLUMN = 1";
  try {
    db.Database->Open();
    FAIL() << "connected";
  } catch (const EIBSQLError& e) {
    EXPECT_NE(e.SQLText.find(" AND ( NO_SUCH_COLUMN = 1) order by R.RDB$RELATION_NAME"),
              AnsiString::npos);
  }
  EXPECT_FALSE(db.Database->Connected());
}

TEST(SDatabaseCatalogue, RefreshReadsTheServerAgainAndForgetsTheConstraints) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  EXPECT_EQ(db.Database->ConstraintType("NO_KEY_NAME"), 0);
  ExecCommitted(*db.Database, "alter table NO_KEY add constraint NO_KEY_NAME unique (NAME)");
  ExecCommitted(*db.Database, "create table LATE_T (A integer)");
  EXPECT_FALSE(HasColumn(*db.Database, "LATE_T", "A"));
  EXPECT_EQ(db.Database->ConstraintType("NO_KEY_NAME"), 0);  // built once

  db.Database->RefreshMetadataCache();
  EXPECT_TRUE(HasColumn(*db.Database, "LATE_T", "A"));
  db.Database->IndexesCache()->SetRange({"NO_KEY"}, {"NO_KEY"});
  EXPECT_EQ(Column(*db.Database->IndexesCache(), "RDB$INDEX_NAME"),
            (std::vector<AnsiString>{"NO_KEY_NAME"}));
  EXPECT_EQ(db.Database->ConstraintType("NO_KEY_NAME"), 5);
}

TEST_F(SDatabaseCatalogueTest, ACachedCatalogueRunsNoQueryUntilTheCommentChanges) {
  TTestDatabase file;
  const int base = PreparesWithoutCatalogue(file);
  std::vector<AnsiString> built, loaded;
  {
    auto db = Cached(file);
    EXPECT_EQ(PreparesToConnect(*db->Database), base + 3);  // version, columns, indexes
    built = Dump(*db->Database->TablesCache());
    db->Database->Close();
    EXPECT_FALSE(db->Database->TablesCache()->Active());
  }
  EXPECT_TRUE(fs::is_regular_file(Folder(file) / (Tables + ".CDS")));
  EXPECT_TRUE(fs::is_regular_file(Folder(file) / (Indexes + ".CDS")));
  EXPECT_EQ(IndexLines(file),
            (std::vector<std::string>{Tables + "=schema 1", Indexes + "=schema 1"}));
  {
    auto db = Cached(file);
    EXPECT_EQ(PreparesToConnect(*db->Database), base + 1);  // the version alone
    loaded = Dump(*db->Database->TablesCache());
    EXPECT_EQ(db->Database->TablesCache()->IndexName(), "RELATIONS_FIELDNAMES");
    EXPECT_TRUE(db->Database->IndexesCache()->FindKey({"DETAIL_T", "DETAIL_T_LINE", 1}));
    EXPECT_EQ(db->Database->IndexesCache()->FieldByName("RDB$FIELD_NAME")->AsString(), "LINE_NO");
    ExecCommitted(*db->Database, "comment on database is 'schema 2'");
  }
  EXPECT_EQ(loaded, built);
  {
    auto db = Cached(file);
    EXPECT_EQ(PreparesToConnect(*db->Database), base + 3);
  }
  EXPECT_EQ(IndexLines(file),
            (std::vector<std::string>{Tables + "=schema 2", Indexes + "=schema 2"}));
  for (const auto& entry : fs::directory_iterator(Folder(file)))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(SDatabaseCatalogueTest, WithoutACommentTheCatalogueIsBuiltOnEveryConnect) {
  TTestDatabase file("nocomment");
  const int base = PreparesWithoutCatalogue(file);
  for (int connect = 0; connect < 2; ++connect) {
    auto db = Cached(file);
    EXPECT_EQ(PreparesToConnect(*db->Database), base + 3) << connect;
    EXPECT_TRUE(HasColumn(*db->Database, "SYS_USER", "NAME"));
  }
  EXPECT_FALSE(fs::exists(Folder(file) / (Tables + ".CDS")));
  EXPECT_FALSE(fs::exists(Folder(file) / (Indexes + ".CDS")));
}

TEST_F(SDatabaseCatalogueTest, AFileThatWillNotLoadIsBuiltFromTheServerAndWrittenAgain) {
  TTestDatabase file;
  const int base = PreparesWithoutCatalogue(file);
  Cached(file)->Database->Open();
  for (const char* junk : {"", "not a table", "\xFF\x0A\x00\x01"}) {
    std::ofstream(Folder(file) / (Indexes + ".CDS"), std::ios::binary | std::ios::trunc) << junk;
    {
      auto db = Cached(file);
      EXPECT_EQ(PreparesToConnect(*db->Database), base + 3) << junk;
      EXPECT_TRUE(db->Database->IndexesCache()->FindKey({"DETAIL_T", "DETAIL_T_LINE", 1})) << junk;
    }
    auto db = Cached(file);
    EXPECT_EQ(PreparesToConnect(*db->Database), base + 1) << junk;
  }
}

TEST_F(SDatabaseCatalogueTest, AFailedRefreshLeavesTheCacheFilesAsTheyWere) {
  TTestDatabase file;
  const int base = PreparesWithoutCatalogue(file);
  std::vector<AnsiString> cached;
  {
    auto db = Cached(file);
    db->Database->Open();
    cached = Dump(*db->Database->TablesCache());
  }
  {
    auto db = Cached(file);
    db->Database->Open();
    {
      TSeamGuard guard([](const char* name) {
        if (std::string(name) == "isc_dsql_fetch") throw EIBInterBaseError(-902, 0, "cut");
      });
      EXPECT_THROW(db->Database->RefreshMetadataCache(), EIBInterBaseError);
    }
    db->Database->Close();
  }
  auto db = Cached(file);
  EXPECT_EQ(PreparesToConnect(*db->Database), base + 1);
  EXPECT_EQ(Dump(*db->Database->TablesCache()), cached);
}

TEST_F(SDatabaseCatalogueTest, ACacheFileThatCannotBeWrittenLeavesNoOldCatalogueToLoad) {
  TTestDatabase file;
  const int base = PreparesWithoutCatalogue(file);
  Cached(file)->Database->Open();
  {
    auto db = Cached(file);
    EXPECT_EQ(PreparesToConnect(*db->Database), base + 1);
    ExecCommitted(*db->Database, "comment on database is 'schema 2'");
  }
  {
    auto db = Cached(file);
    db->Database->Open();
    // The new catalogue's file cannot be made: the one for 'schema 1' must go.
    fs::create_directories(Folder(file) / (Tables + ".CDS.tmp"));
    EXPECT_NO_THROW(db->Database->Close());
  }
  EXPECT_FALSE(fs::exists(Folder(file) / (Tables + ".CDS")));
  auto db = Cached(file);
  EXPECT_EQ(PreparesToConnect(*db->Database), base + 3);
}

TEST_F(SDatabaseCatalogueTest, AColumnChangedSinceTheCatalogueIsLoadedAsTheServerHasIt) {
  const AnsiString wide(60, 'w');
  for (bool localCache : {true, false}) {
    SCOPED_TRACE(localCache ? "catalogue from the cache file, comment unchanged" : "changed after connecting");
    TTestDatabase file;
    file.Isql(
        "CREATE TABLE NARROW (SYS$ID BIGINT NOT NULL PRIMARY KEY, NAME VARCHAR(10), NOTE VARCHAR(10), GONE INTEGER);\n"
        "INSERT INTO NARROW VALUES (1, 'a', 'b', 3);\nCOMMIT;");
    auto db = Cached(file);
    db->Database->LocalCache = localCache;
    db->Transaction->Params()->SetText("read_committed\nrec_version\nnowait");
    db->Database->Open();
    const auto change = [&] {
      ExecCommitted(*db->Database, "alter table NARROW alter NAME type varchar(60)");
      ExecCommitted(*db->Database, "alter table NARROW drop GONE");
      ExecCommitted(*db->Database, "update NARROW set NAME = '" + wide + "'");
    };
    if (localCache) {
      change();
      db->Database->Close();
      db->Database->Open();
    } else {
      change();
    }
    {
      TSDS sds(nullptr);
      sds.SetDatabase(db->Database.get());
      sds.SetTransaction(db->Transaction.get());
      sds.SetTableName("NARROW");
      sds.Open();
      EXPECT_EQ(sds.FieldByName("NAME")->AsString(), wide);
      EXPECT_EQ(sds.FindField("GONE"), nullptr);
      sds.Edit();
      sds.FieldByName("NOTE")->SetAsString("c");
      EXPECT_NO_THROW(sds.Post());
    }
    EXPECT_EQ(QueryValue(*db->Database, "select NAME || NOTE from NARROW"), wide + "c");
    db->Database->Close();
    if (localCache) {
      // The cache file took the server's catalogue.
      db->Database->Open();
      TzynMemTable& columns = *db->Database->TablesCache();
      ASSERT_TRUE(columns.Locate("RDB$RELATION_NAME;RDB$FIELD_NAME", VarArrayOf({"NARROW", "NAME"}), {}));
      EXPECT_EQ(columns.FieldByName("RDB$FIELD_LENGTH")->AsInteger(), 60);
      EXPECT_FALSE(HasColumn(*db->Database, "NARROW", "GONE"));
    }
  }
}

TEST_F(SDatabaseCatalogueTest, ACacheFileThatCannotBeReplacedKeepsNoVersionForItsOldCatalogue) {
  TTestDatabase file;
  Cached(file)->Database->Open();
  const fs::path tables = Folder(file) / (Tables + ".CDS");
  // An immutable file can be neither replaced nor removed, as one held open
  // or read-only elsewhere.
  if (std::system(("chattr +i '" + tables.string() + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "no immutable files here";
  struct TMutableAgain {
    std::string Path;
    ~TMutableAgain() { std::system(("chattr -i '" + Path + "'").c_str()); }
  } mutableAgain{tables.string()};
  {
    auto db = Cached(file);
    db->Database->Open();
    ExecCommitted(*db->Database, "alter table MASTER_T add EXTRA integer");
    ExecCommitted(*db->Database, "comment on database is 'schema 2'");
  }
  {
    auto db = Cached(file);
    db->Database->Open();
    EXPECT_TRUE(HasColumn(*db->Database, "MASTER_T", "EXTRA"));
    EXPECT_NO_THROW(db->Database->Close());
  }
  // Its index line does not claim the new version for the old file.
  EXPECT_EQ(IndexLines(file), (std::vector<std::string>{Tables + "=\\", Indexes + "=schema 2"}));
  auto db = Cached(file);
  db->Database->Open();
  EXPECT_TRUE(HasColumn(*db->Database, "MASTER_T", "EXTRA"));
}

}  // namespace
