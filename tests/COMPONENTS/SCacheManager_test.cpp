// The cache folder, its index and the version questions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SDS.h"
#include "SDatabaseTestKit.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace fs = std::filesystem;

namespace {

class SCacheManagerTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    Database.SetDatabaseName("C:\\Data\\Base.gdb");
    Database.LocalCache = true;
  }
  TCacheManager& Cache() { return *Database.CacheManager(); }
  fs::path Folder() const { return Temp / "C$-DATA-BASE.GDB"; }
  void Touch(const fs::path& file) { std::ofstream(file) << "x"; }
  bool Lookup(const AnsiString& Name, const AnsiString& Version) {
    AnsiString fileName;
    int64_t stamp = -1;
    const bool hit = Cache().Lookup(&Table, fileName, Name, Version, stamp);
    EXPECT_EQ(stamp, 0);
    EXPECT_EQ(fileName, (Folder() / (Name + ".CDS")).string());
    return hit;
  }

  TSDatabase Database{nullptr};
  TzynMemTable Table{nullptr};
};

TEST(SCacheManager, FolderNamesFollowTheDatabasePath) {
  const struct {
    const char* Path;
    const char* Folder;
  } cases[] = {
      {"C:\\Data\\Base.gdb", "C$-DATA-BASE.GDB"},
      {"C:/A/B", "C$-A-B"},
      {"C:\\A\\B", "C$-A-B"},
      {"server:/db/base.fdb", "SERVER$-DB-BASE.FDB"},
      {"/tmp/база.fdb", "-TMP-БАЗА.FDB"},
  };
  for (const auto& c : cases) EXPECT_EQ(TCacheManager::DirectoryName(c.Path), c.Folder) << c.Path;
}

TEST_F(SCacheManagerTest, VersionsDecideHitsAndTheIndexKeepsThemAcrossRuns) {
  Cache().Prepare();
  EXPECT_TRUE(fs::is_directory(Folder()));
  EXPECT_EQ(Cache().CacheDir(), (Folder() / "").string());

  // First registration, empty version, file present: a hit.
  Touch(Folder() / "T1.CDS");
  EXPECT_TRUE(Lookup("T1", ""));
  // No file: a miss, whatever the version.
  EXPECT_FALSE(Lookup("T2", "v1"));
  Touch(Folder() / "T2.CDS");
  EXPECT_TRUE(Lookup("T2", "v1"));
  EXPECT_FALSE(Lookup("T2", "V1"));  // case counts; the new version is kept
  EXPECT_TRUE(Lookup("T2", "V1"));
  // A name is matched at the start of a line as a whole.
  Touch(Folder() / "ABC.CDS");
  Touch(Folder() / "AB.CDS");
  EXPECT_FALSE(Lookup("ABC", "x"));
  EXPECT_FALSE(Lookup("AB", "x"));
  EXPECT_TRUE(Lookup("ABC", "x"));
  // Line breaks and backslashes in a version stay on its line.
  const AnsiString multiline = "A = 1\r\nAND B = '\\n'\n";
  EXPECT_FALSE(Lookup("T1", multiline));
  EXPECT_TRUE(Lookup("T1", multiline));
  Cache().WriteIndex();

  std::ifstream index(Folder() / "cache.ini");
  std::vector<std::string> lines;
  for (std::string line; std::getline(index, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"T1=A = 1\\r\\nAND B = '\\\\n'\\n\r", "T2=V1\r", "ABC=x\r", "AB=x\r"}));

  TSDatabase next(nullptr);
  next.SetDatabaseName("C:/Data/Base.gdb");
  next.LocalCache = true;
  next.CacheManager()->Prepare();
  AnsiString fileName;
  int64_t stamp;
  EXPECT_TRUE(next.CacheManager()->Lookup(&Table, fileName, "T1", multiline, stamp));
  EXPECT_TRUE(next.CacheManager()->Lookup(&Table, fileName, "T2", "V1", stamp));
  EXPECT_FALSE(next.CacheManager()->Lookup(&Table, fileName, "T2", "v1", stamp));
}

TEST_F(SCacheManagerTest, OnlyInMemoryTablesAreServed) {
  Cache().Prepare();
  Touch(Folder() / "T.CDS");
  TArrayDataSet other(nullptr);
  AnsiString fileName = "as it was";
  int64_t stamp = -1;
  EXPECT_FALSE(Cache().Lookup(&other, fileName, "T", "", stamp));
  EXPECT_FALSE(Cache().Lookup(nullptr, fileName, "T", "", stamp));
  EXPECT_EQ(stamp, 0);
  EXPECT_EQ(fileName, "as it was");
  EXPECT_EQ(Cache().CacheIndex().Count(), 0);
  // Still a first registration for a table.
  EXPECT_TRUE(Lookup("T", ""));
}

TEST_F(SCacheManagerTest, AServerBackedDatasetIsAskedForByItsTableAndServerFilter) {
  Cache().Prepare();
  TSDS sds(nullptr);
  sds.SetTableName("DOCS");
  sds.SetServerFilter("KIND = 1");
  Touch(Folder() / "DOCS.CDS");
  AnsiString fileName;
  int64_t stamp = -1;
  EXPECT_FALSE(Cache().Lookup(&sds, fileName, "", "", stamp));
  EXPECT_EQ(fileName, (Folder() / "DOCS.CDS").string());
  EXPECT_TRUE(Cache().Lookup(&sds, fileName, "", "", stamp));
  EXPECT_FALSE(Cache().Lookup(&sds, fileName, "OTHER", "v", stamp));
  EXPECT_EQ(fileName, (Folder() / "OTHER.CDS").string());
  EXPECT_EQ(Cache().CacheIndex().Strings(0), "DOCS=KIND = 1");
  EXPECT_EQ(Cache().CacheIndex().Strings(1), "OTHER=v");
}

TEST_F(SCacheManagerTest, WithoutAFolderNothingIsWrittenAndNothingRaises) {
  // TEMP names a file: the folder cannot be made under it.
  Touch(Temp / "file");
  setenv("TEMP", (Temp / "file").c_str(), 1);
  {
    TSDatabase database(nullptr);
    database.SetDatabaseName("C:\\Data\\Base.gdb");
    database.LocalCache = true;
    database.CacheManager()->Prepare();
    AnsiString fileName;
    int64_t stamp;
    EXPECT_FALSE(database.CacheManager()->Lookup(&Table, fileName, "T", "", stamp));
    EXPECT_NO_THROW(database.CacheManager()->WriteIndex());
  }  // the destructor writes nothing either
  EXPECT_TRUE(fs::is_regular_file(Temp / "file"));
}

TEST_F(SCacheManagerTest, AnIndexThatCannotBeWrittenIsLoggedAndTheOldOneStays) {
  Cache().Prepare();
  fs::create_directories(Folder() / "cache.ini");  // in the way
  AnsiString fileName;
  int64_t stamp;
  Cache().Lookup(&Table, fileName, "T", "v", stamp);
  EXPECT_NO_THROW(Cache().WriteIndex());
  EXPECT_TRUE(fs::is_directory(Folder() / "cache.ini"));
}

TEST_F(SCacheManagerTest, ALongTempIsReadWhole) {
  fs::path deep = Temp;
  while (deep.string().size() < 1100) deep /= std::string(100, 'd');
  setenv("TEMP", deep.c_str(), 1);
  Cache().Prepare();
  EXPECT_EQ(Cache().CacheDir(), (deep / "C$-DATA-BASE.GDB" / "").string());
  EXPECT_TRUE(fs::is_directory(deep / "C$-DATA-BASE.GDB"));
}

}  // namespace
