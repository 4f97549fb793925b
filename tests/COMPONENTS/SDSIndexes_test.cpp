// The index choice and the record tree of server-backed datasets loaded
// from a real database file.
#include <gtest/gtest.h>

#include <string>

#include "SDSTestKit.h"

namespace {

// 1 Отдел > 3 Иванов, 5 Цех > 6 Сидоров; 2 Склад > 7 Ящик; 8 deleted at
// the top; 20 and 21 each other's parent.
const char* const TreeRows = R"(
DELETE FROM DETAIL_T;
DELETE FROM MASTER_T;
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (1, 0, 0, 'Отдел');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (2, 0, 0, 'Склад');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (3, 1, 1073741824, 'Иванов');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (5, 1, 0, 'Цех');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (6, 5, 1073741824, 'Сидоров');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (7, 2, 1073741824, 'Ящик');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (8, 0, -2147483648, 'Удалён');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (20, 21, 0, 'Кольцо');
INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (21, 20, 0, 'Петля');
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_REQ) VALUES (1, 'в', 1);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_REQ) VALUES (2, 'а', 2);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_REQ) VALUES (3, 'б', 3);
INSERT INTO NO_KEY (NAME, AMOUNT) VALUES ('б', 1);
INSERT INTO NO_KEY (NAME, AMOUNT) VALUES ('а', 2);
COMMIT;
)";

// The same tree in a table without a key.
const char* const NoKeyTree = R"(
CREATE TABLE TREE_NO_KEY (SYS$ID BIGINT, SYS$PID INTEGER, SYS$STATE INTEGER, SYS$TIME TIMESTAMP,
                          NAME VARCHAR(60));
COMMIT;
INSERT INTO TREE_NO_KEY SELECT SYS$ID, SYS$PID, SYS$STATE, SYS$TIME, NAME FROM MASTER_T;
COMMIT;
)";

std::string Column(TDataSet& DataSet, const char* Field) {
  std::string values;
  for (DataSet.First(); !DataSet.Eof(); DataSet.Next())
    values += (values.empty() ? "" : ",") + DataSet.FieldByName(Field)->AsString();
  return values;
}


// Each test on a file of its own, filled before the first attachment.
TTestDatabase& TreeFile(TTestDatabase& File) {
  File.Isql(TreeRows);
  File.Isql(NoKeyTree);
  return File;
}

class SDSOnTree : public ::testing::Test {
 protected:
  TTestDatabase File{"nocomment"};
  TSDSOnFile Db{TreeFile(File)};
};

TEST_F(SDSOnTree, IndexNamesTakeThePrimaryKeyAndTheServerIndexes) {
  auto sds = Db.Dataset("ALL_TYPES");
  sds->Open();
  EXPECT_EQ(sds->IndexName(), "PRIMARY_KEY") << "the default order";
  EXPECT_EQ(sds->IndexFieldNames(), "SYS$ID");
  EXPECT_EQ(Column(*sds, "CODE"), "в,а,б");
  sds->SetIndexName("A_ALL_TYPES_CODE");
  EXPECT_EQ(sds->IndexFieldNames(), "CODE");
  EXPECT_EQ(Column(*sds, "CODE"), "а,б,в");
  EXPECT_THROW(sds->SetIndexName("NO_SUCH"), EDatabaseError);
  EXPECT_EQ(sds->IndexFieldNames(), "CODE");
  sds->SetIndexName("");
  EXPECT_EQ(sds->IndexName(), "PRIMARY_KEY");
  // A key search over an index chosen by name.
  EXPECT_TRUE(sds->FindKey({Variant(int64_t{3})}));
  EXPECT_EQ(sds->FieldByName("CODE")->AsString(), "б");

  // Chosen by its fields while closed, a server index answers by its name.
  sds->Close();
  sds->SetIndexFieldNames("CODE");
  EXPECT_EQ(sds->IndexName(), "A_ALL_TYPES_CODE");
  sds->Open();
  EXPECT_EQ(Column(*sds, "CODE"), "а,б,в");

  // Without a key nothing is chosen.
  auto noKey = Db.Dataset("NO_KEY");
  noKey->Open();
  noKey->SetIndexName("");
  EXPECT_EQ(noKey->IndexName(), "");
  EXPECT_EQ(Column(*noKey, "NAME"), "б,а");
}

TEST_F(SDSOnTree, NavigationOverTheLoadedTree) {
  auto sds = Db.Dataset("MASTER_T", {dsoLevels, dsoVirtualDelete});
  sds->SetIndexFieldNames("NAME");
  sds->Open();
  EXPECT_EQ(sds->IndexFieldNames(), "NAME");
  EXPECT_EQ(sds->TzynCustomMemTable::IndexFieldNames(), "SYS$PID;NAME");
  EXPECT_EQ(Column(*sds, "NAME"), "Отдел,Склад") << "the deleted record is left out";
  ASSERT_TRUE(sds->Locate("NAME", Variant("Отдел"), {}));
  ASSERT_TRUE(sds->LevelDown());
  EXPECT_EQ(Column(*sds, "NAME"), "Иванов,Цех");
  ASSERT_TRUE(sds->Locate("NAME", Variant("Цех"), {}));
  EXPECT_TRUE(sds->HasChildren());
  ASSERT_TRUE(sds->LevelDown());
  EXPECT_EQ(Column(*sds, "NAME"), "Сидоров");
  ASSERT_TRUE(sds->LevelUp());
  EXPECT_EQ(sds->FieldByName("NAME")->AsString(), "Цех");
  sds->GotoID(7);
  EXPECT_EQ(sds->FieldByName("NAME")->AsString(), "Ящик");

  sds->SetOptions(sds->Options() + TSDSOptions{dsoShowDeleted});
  sds->SetLevelMode(dslmShowAll);
  sds->SetIndexFieldNames("SYS$ID");
  EXPECT_EQ(Column(*sds, "SYS$ID"), "1,2,3,5,6,7,8,20,21");
}

TEST_F(SDSOnTree, LocateInTreeOnAnAttachedDatasetThreeLevelsDown) {
  auto master = Db.Dataset("MASTER_T");
  master->SetAttachMaxCount(4);
  master->Open();
  TSDS clone(nullptr);
  clone.SetMasterDataset(master.get());
  clone.SetOptions(clone.Options() + TSDSOptions{dsoLevels});
  clone.SetIndexFieldNames("NAME");
  clone.Open();

  ASSERT_TRUE(clone.LocateInTree(6));
  EXPECT_EQ(clone.FieldByName("NAME")->AsString(), "Сидоров");
  ASSERT_EQ(clone.LevelCount(), 3);
  EXPECT_EQ(clone.LevelInfos()->Items(1)->FieldValue("NAME").AsString(), "Отдел");
  EXPECT_EQ(clone.LevelInfos()->Items(2)->FieldValue("NAME").AsString(), "Цех");

  EXPECT_FALSE(clone.LocateInTree(99)) << "missing: nothing changes";
  EXPECT_EQ(clone.LevelCount(), 3);

  EXPECT_FALSE(clone.LocateInTree(20)) << "parents in a loop";
  EXPECT_EQ(clone.LevelCount(), 1);
  EXPECT_EQ(Column(clone, "NAME"), "Отдел,Склад,Удалён") << "the top level shown";
  ASSERT_TRUE(clone.LocateInTree(6));
  EXPECT_FALSE(clone.LocateInTree(0));
  EXPECT_EQ(clone.LevelCount(), 1);

  // A master with levels of its own is refused.
  master->SetOptions(master->Options() + TSDSOptions{dsoLevels});
  EXPECT_FALSE(clone.LocateInTree(6));
}

}  // namespace

namespace {

int WhereCount(AnsiString Text) {
  Text = AnsiUpperCase(Text);
  int count = 0;
  for (size_t at = Text.find("WHERE"); at != AnsiString::npos; at = Text.find("WHERE", at + 1)) ++count;
  return count;
}

TEST_F(SDSOnTree, ServerFilterRebuildsTheLoadStatementAndReloads) {
  auto sds = Db.Dataset("MASTER_T");
  int loads = 0;
  sds->AfterDataLoaded = [&](TDataSet*) { ++loads; };
  sds->SetServerFilter("SYS$PID = 1");
  EXPECT_EQ(loads, 0) << "closed: only kept";
  sds->Open();
  EXPECT_EQ(Column(*sds, "NAME"), "Иванов,Цех");
  loads = 0;
  sds->SetServerFilter("SYS$PID = 1");
  EXPECT_EQ(loads, 0) << "the same filter reloads nothing";

  sds->SetServerFilter("SYS$PID = 0 or SYS$ID = 7");
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(Column(*sds, "SYS$ID"), "1,2,7,8");
  const AnsiString text = sds->SelectSQL()->SQL()->Text();
  EXPECT_EQ(WhereCount(text), 1) << text;
  EXPECT_NE(AnsiUpperCase(text).find("ORDER BY"), AnsiString::npos) << "the order stays: " << text;

  sds->SetServerFilter("");
  EXPECT_EQ(WhereCount(sds->SelectSQL()->SQL()->Text()), 0);
  EXPECT_EQ(sds->RecordCount(), 9);
}

TEST_F(SDSOnTree, ServerFilterJoinsACommandsOwnWhereAheadOfItsOrder) {
  auto sds = Db.Dataset("");
  sds->SetCommandText("select SYS$ID, NAME from MASTER_T\r\nwhere SYS$PID = 1 or SYS$PID = 5\r\norder by NAME desc");
  sds->Open();
  EXPECT_EQ(Column(*sds, "NAME"), "Цех,Сидоров,Иванов");
  sds->SetServerFilter("NAME <> 'Цех'");
  EXPECT_EQ(Column(*sds, "NAME"), "Сидоров,Иванов") << "both conditions, the order kept";
  EXPECT_EQ(WhereCount(sds->SelectSQL()->SQL()->Text()), 1) << sds->SelectSQL()->SQL()->Text();
}

TEST_F(SDSOnTree, ADatasetSharingAnothersRecordsRefusesAServerFilter) {
  auto master = Db.Dataset("MASTER_T");
  TSDS clone(nullptr);
  clone.SetMasterDataset(master.get());
  try {
    clone.SetServerFilter("SYS$ID = 1");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Нельзя устанавливать ServerFilter у клона !");
  }
  EXPECT_EQ(clone.ServerFilter(), "");
}

}  // namespace

namespace {

TEST_F(SDSOnTree, InNavigationTheRefreshReachesRowsOfOtherLevels) {
  auto sds = Db.Dataset("MASTER_T", {dsoLevels});
  sds->SetIndexFieldNames("NAME");
  sds->Open();
  ASSERT_TRUE(sds->Locate("NAME", Variant("Отдел"), {}));
  ASSERT_TRUE(sds->LevelDown());
  ExecCommitted(*Db.Database, "update MASTER_T set NAME = 'Коробка', SYS$TIME = current_timestamp where SYS$ID = 7");
  ExecCommitted(*Db.Database,
                "insert into MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME, SYS$TIME) values (30, 2, 0, 'Полка', current_timestamp)");
  Db.Transaction->Commit();  // a snapshot of its own would not see them
  sds->IncrementalRefresh(0);
  EXPECT_EQ(sds->Lookup("SYS$ID", Variant(7), "NAME").AsString(), "Коробка");
  EXPECT_EQ(sds->Lookup("SYS$ID", Variant(30), "SYS$PID").AsInteger(), 2);
  EXPECT_EQ(sds->LevelCount(), 2);
  EXPECT_EQ(Column(*sds, "NAME"), "Иванов,Цех") << "the level shown stays";
  EXPECT_EQ(sds->TzynCustomMemTable::IndexFieldNames(), "SYS$PID;NAME");
}

}  // namespace

namespace {

TEST_F(SDSOnTree, ChangeParentWritesTheNewParentToTheServer) {
  auto sds = Db.Dataset("MASTER_T", {dsoLevels});
  sds->Open();
  int posts = 0;
  sds->BeforePost = [&](TDataSet*) { ++posts; };
  ASSERT_TRUE(sds->Locate("NAME", Variant("Отдел"), {}));
  EXPECT_THROW(sds->ChangeParent(6), EHintError) << "a descendant";
  sds->ChangeParent(2);
  EXPECT_EQ(posts, 0);
  if (Db.Transaction->Active()) Db.Transaction->Commit();
  EXPECT_EQ(QueryValue(*Db.Database, "select SYS$PID from MASTER_T where SYS$ID = 1"), "2");
  ASSERT_TRUE(sds->Locate("NAME", Variant("Склад"), {}));
  ASSERT_TRUE(sds->LevelDown());
  EXPECT_EQ(Column(*sds, "NAME"), "Отдел,Ящик");
}

}  // namespace

namespace {

TEST_F(SDSOnTree, TheRefreshFindsARecordItsIndexesHideAsDeleted) {
  auto sds = Db.Dataset("MASTER_T", {dsoVirtualDelete});
  sds->Open();
  ExecCommitted(*Db.Database, "update MASTER_T set NAME = 'Удалён снова', SYS$TIME = current_timestamp where SYS$ID = 8");
  Db.Transaction->Commit();
  sds->IncrementalRefresh(0);
  sds->SetOptions(sds->Options() + TSDSOptions{dsoShowDeleted});
  sds->SetIndexFieldNames("SYS$ID;NAME");
  EXPECT_EQ(Column(*sds, "SYS$ID"), "1,2,3,5,6,7,8,20,21") << "no second record 8";
  EXPECT_EQ(sds->Lookup("SYS$ID", Variant(8), "NAME").AsString(), "Удалён снова");
}

}  // namespace

namespace {

// Refuses the records of that NAME.
TSDSAccess_vent Refusing(const char* Name) {
  return [Name](const TSDS* sds, TAccess& access) {
    if (sds->FieldByName("NAME")->AsString() == Name) access = acNone;
  };
}

void AppendMaster(TSDS& Sds, int ID, const char* Name, uint32_t State) {
  Sds.Append();
  Sds.FieldByName("SYS$ID")->SetAsInteger(ID);
  Sds.FieldByName("NAME")->SetAsString(Name);
  Sds.FieldByName("SYS$STATE")->SetAsInteger(static_cast<int32_t>(State));
  Sds.Post();
}

TEST_F(SDSOnTree, ALookupCloneOffersNoDeletedOrRefusedRecordInAnyOrder) {
  auto master = Db.Dataset("MASTER_T", {dsoLookupClone});
  // The master's own check refuses its own changes too; the second one only
  // hides records from the clone.
  master->OnGetAccess = Refusing("Цех");
  master->OnGetAccessTmp = Refusing("Склад");
  master->Loaded();
  TSDS& clone = *master->LookupClone();
  clone.Open();
  const struct {
    const char* Fields;
    const char* IDs;
  } orders[] = {{"", "1,3,6,7,20,21"}, {"NAME", "3,20,1,21,6,7"}, {"SYS$ID", "1,3,6,7,20,21"}};
  for (const auto& order : orders) {
    clone.SetIndexFieldNames(order.Fields);
    EXPECT_EQ(Column(clone, "SYS$ID"), order.IDs) << "by \"" << order.Fields << '"';
  }
  EXPECT_EQ(master->RecordCount(), 9) << "the master itself hides nothing";

  // Records the master adds meet the same check in row order.
  clone.SetIndexFieldNames("");
  AppendMaster(*master, 40, "Склад", 0);
  AppendMaster(*master, 41, "Новый", 0);
  AppendMaster(*master, 42, "Старый", 0x80000000u);
  EXPECT_EQ(Column(clone, "SYS$ID"), "1,3,6,7,20,21,41");

  // An edit of the master hides a record from the clone, or shows it again.
  const struct {
    uint32_t State;
    const char* IDs;
  } edits[] = {{0x80000000u, "1,3,6,20,21,41"}, {0, "1,3,6,20,21,41,7"}};
  for (const auto& edit : edits) {
    ASSERT_TRUE(master->Locate("SYS$ID", 7, {}));
    master->Edit();
    master->FieldByName("SYS$STATE")->SetAsInteger(static_cast<int32_t>(edit.State));
    master->Post();
    EXPECT_EQ(Column(clone, "SYS$ID"), edit.IDs) << edit.State;
  }
}

TEST_F(SDSOnTree, NavigationWithoutAKeyShowsOneLevelAtATime) {
  const struct {
    bool Clone;
    const char* Top;
    const char* UnderFirst;
  } cases[] = {
      // A lookup clone of a dataset with a persistent SYS$PID navigates, and
      // hides the deleted 8 and the refused 3.
      {true, "1,2", "5"},
      // The dataset itself hides neither.
      {false, "1,2,8", "3,5"},
  };
  for (const auto& c : cases) {
    auto master = Db.Dataset("TREE_NO_KEY", {dsoLookupClone});
    master->OnGetAccess = Refusing("Иванов");
    master->FieldDefs()->Add("SYS$PID", ftInteger);
    master->FieldDefs()->Items(0)->CreateField(master.get());
    master->Loaded();
    if (!c.Clone) master->SetOptions(master->Options() + TSDSOptions{dsoLevels});
    TSDS& sds = c.Clone ? *master->LookupClone() : *master;
    sds.Open();
    EXPECT_EQ(sds.KeyFields(), "");
    EXPECT_EQ(sds.IndexFieldNames(), "") << c.Clone;
    EXPECT_EQ(Column(sds, "SYS$ID"), c.Top) << c.Clone;
    ASSERT_TRUE(sds.Locate("SYS$ID", 1, {}));
    ASSERT_TRUE(sds.LevelDown());
    EXPECT_EQ(Column(sds, "SYS$ID"), c.UnderFirst) << c.Clone;
    ASSERT_TRUE(sds.LevelUp());
    EXPECT_EQ(sds.CurrentID(), 1);
    EXPECT_EQ(Column(sds, "SYS$ID"), c.Top) << c.Clone;
  }
}

}  // namespace
