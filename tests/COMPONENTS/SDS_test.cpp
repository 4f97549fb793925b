#include "SDS.h"
#include "SDSPlainTable.h"

#include <gtest/gtest.h>

#include "SDatabase.h"
#include "db/DataSource.h"
#include "ibclient/IBSQL.h"

namespace {

TEST(SDSState, BitsOfTheStateWord) {
  const struct {
    uint32_t State;
    bool Deleted, List;
    int Owner;
  } cases[] = {
      {0, false, false, 0},
      {0x80000005u, true, false, 5},
      {0x4000FFFFu, false, true, 0xFFFF},
      {0xC0120007u, true, true, 7},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsDeletedState(c.State), c.Deleted) << c.State;
    EXPECT_EQ(IsListState(c.State), c.List) << c.State;
    EXPECT_EQ(StateOwnerID(c.State), c.Owner) << c.State;
  }
  uint32_t state = 0x00120007u;
  SetListState(state, false);
  SetDeletedState(state, false);
  EXPECT_EQ(state, 0x00120007u);
  SetListState(state, true);
  SetDeletedState(state, true);
  EXPECT_EQ(state, 0xC0120007u);
  SetDeletedState(state, false);
  EXPECT_EQ(state, 0x40120007u);
}

TEST(SDSState, IdentitiesCompareAllEightBytes) {
  const uint8_t a[8] = {1, 2, 3, 4, 5, 6, 7, 8}, b[8] = {1, 2, 3, 4, 5, 6, 7, 9};
  EXPECT_TRUE(SameID(a, a));
  EXPECT_FALSE(SameID(a, b));
  EXPECT_THROW(RaiseHintError("Завершите ввод/корректировку головной записи."), EHintError);
}

TEST(SDSDataset, Defaults) {
  TSDS sds(nullptr);
  sds.SetName("Docs");
  EXPECT_EQ(sds.Options(), (TSDSOptions{dsoChangesResolved, dsoLoadData, dsoLoadAllFields, dsoAutoCommit}));
  EXPECT_EQ(sds.LevelMode(), dslmDefault);
  EXPECT_EQ(sds.Performance(), mtpfSmall);
  EXPECT_EQ(sds.DatasetKind(), dkUnknown);
  EXPECT_EQ(sds.PublicName(), "Docs");
  EXPECT_TRUE(sds.Standalone());
}

TEST(SDSDataset, WithoutTableOrCommandAPlainMemoryTable) {
  TSDS sds(nullptr);
  sds.SetOptions(sds.Options() + TSDSOptions{dsoSendNotification, dsoPessimisticLock, dsoAudit});
  DefineHierarchy(sds);
  sds.Open();
  EXPECT_EQ(sds.Options(), (TSDSOptions{dsoAudit, dsoFieldsDefaultVisible}));
  EXPECT_FALSE(sds.StructureReady());
  EXPECT_FALSE(sds.DataLoaded());
  EXPECT_TRUE(sds.FieldByName("NAME")->Visible());
  const struct {
    TField* Field;
    const char* Name;
  } bound[] = {{sds.IDField(), "SYS$ID"},
               {sds.PIDField(), "SYS$PID"},
               {sds.StateField(), "SYS$STATE"},
               {sds.TimeField(), "SYS$TIME"},
               {sds.AutoIncField(), "SYS$ID"}};
  for (const auto& b : bound) {
    ASSERT_NE(b.Field, nullptr) << b.Name;
    EXPECT_EQ(b.Field->FieldName(), b.Name);
    EXPECT_FALSE(b.Field->Visible()) << b.Name;
  }
  EXPECT_EQ(sds.DBKeyField(), nullptr);

  sds.Append();
  EXPECT_EQ(sds.PIDField()->AsInteger(), 0);
  EXPECT_EQ(sds.StateField()->AsInteger(), 0);
  sds.IDField()->SetValue(Variant(int64_t{5000000000}));
  sds.FieldByName("NAME")->SetAsString("Первый");
  sds.Post();
  sds.First();
  EXPECT_EQ(sds.RecordCount(), 1);
  EXPECT_EQ(sds.IDField()->Value(), Variant(int64_t{5000000000}));
  EXPECT_EQ(sds.FieldByName("NAME")->AsString(), "Первый");
}

TEST(SDSDataset, AutoIncFieldByNameLosesItsRequiredFlag) {
  TSDS sds(nullptr);
  DefineHierarchy(sds);
  sds.FieldDefs()->Add("NUM", ftInteger, 0, true);
  sds.SetAutoIncFieldName("NUM");
  sds.Open();
  ASSERT_EQ(sds.AutoIncField(), sds.FieldByName("NUM"));
  EXPECT_FALSE(sds.AutoIncField()->Required());
}

TEST(SDSDataset, AnotherTableNameForgetsTheStructure) {
  TSDS sds(nullptr);
  sds.SetTableName("DOCS");
  DefineHierarchy(sds);
  sds.IndexDefs()->Add("BY_NAME", "NAME", {});
  sds.SetTableName("DOCS");
  EXPECT_EQ(sds.FieldDefs()->Count(), 5);
  sds.SetTableName("LINES");
  EXPECT_EQ(sds.TableName(), "LINES");
  EXPECT_EQ(sds.FieldDefs()->Count(), 0);
  EXPECT_EQ(sds.IndexDefs()->Count(), 0);
}

}  // namespace

namespace {

TEST(SDSDataset, ReadWriteTransactionGoesToTheWritingStatements) {
  TSDatabase database(nullptr);
  TIBTransaction readOnly(nullptr), readWrite(nullptr);
  readOnly.SetDefaultDatabase(&database);
  database.SetDefaultTransactionRW(&readWrite);

  TSDS sds(nullptr);
  sds.SetDatabase(&database);
  for (TIBSQL* statement : {sds.InsertSQL(), sds.UpdateSQL(), sds.DeleteSQL(), sds.UpdateByKeySQL(),
                            sds.DeleteByKeySQL()})
    EXPECT_EQ(statement->Transaction(), &readWrite);
  EXPECT_EQ(sds.RefreshSQL()->Transaction(), nullptr);

  // Written after the database is known: the refreshes go read-write too,
  // the select keeps the dataset's transaction.
  sds.SetTransaction(&readOnly);
  EXPECT_EQ(sds.Transaction(), &readOnly);
  EXPECT_EQ(sds.Database(), &database);
  for (TIBSQL* statement : {sds.RefreshSQL(), sds.RefreshByKeySQL(), sds.InsertSQL()})
    EXPECT_EQ(statement->Transaction(), &readWrite);
}

}  // namespace

namespace {

TEST(SDSDataset, PostQuietlySkipsThePostEventsAndRequiredFlagsAndPutsThemBack) {
  TSDS sds(nullptr);
  DefineHierarchy(sds);
  sds.FieldDefs()->Add("CODE", ftInteger, 0, true);
  sds.IndexDefs()->Add("BY_NAME", "NAME", {ixUnique});
  sds.Open();
  int events = 0;
  sds.BeforePost = [&](TDataSet*) { ++events; };
  sds.AfterPost = [&](TDataSet*) { ++events; };
  sds.Append();
  sds.FieldByName("NAME")->SetAsString("A");
  sds.PostQuietly();
  EXPECT_EQ(events, 0);
  EXPECT_EQ(sds.RecordCount(), 1);

  // A post that fails all the same leaves the events and flags as they were.
  sds.Append();
  sds.FieldByName("NAME")->SetAsString("A");
  EXPECT_ANY_THROW(sds.PostQuietly());
  sds.Cancel();
  EXPECT_TRUE(sds.FieldByName("CODE")->Required());
  sds.Append();
  EXPECT_ANY_THROW(sds.Post());  // CODE is required again
  EXPECT_EQ(events, 1);          // BeforePost ran
}

TEST(SDSDataset, HasDetailDataSetsWhileADatasetIsLinkedToItAsMaster) {
  TSDS master(nullptr), detail(nullptr);
  TDataSource source(nullptr);
  source.SetDataSet(&master);
  EXPECT_FALSE(master.HasDetailDataSets());
  detail.SetMasterSource(&source);
  EXPECT_TRUE(master.HasDetailDataSets());
  EXPECT_FALSE(detail.HasDetailDataSets());
  detail.SetMasterSource(nullptr);
  EXPECT_FALSE(master.HasDetailDataSets());
}

TEST(SDSDataset, ClearRowKeyZeroesTheEightBytes) {
  TSDS sds(nullptr);
  DefineHierarchy(sds);
  sds.FieldDefs()->Add("IBX_INTERNAL_DBKEY", ftBytes, 8);
  sds.Open();
  ASSERT_NE(sds.DBKeyField(), nullptr);
  sds.Append();
  const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8}, zero[8] = {};
  sds.DBKeyField()->SetData(key);
  uint8_t read[8];
  sds.ClearRowKey();
  ASSERT_TRUE(sds.DBKeyField()->GetData(read));
  EXPECT_TRUE(SameID(read, zero));
  EXPECT_FALSE(TSDS::IDAssigned(0));
  EXPECT_TRUE(TSDS::IDAssigned(int64_t{1} << 40));
}

TEST(SDSDataset, MasterDatasetSharesTheRecordsAndIsForgottenWhenFreed) {
  auto master = std::make_unique<TSDS>(nullptr);
  DefineHierarchy(*master);
  master->SetAttachMaxCount(8);
  master->Open();
  TSDS clone(nullptr);
  DefineHierarchy(clone);
  clone.SetMasterDataset(&clone);
  EXPECT_EQ(clone.MasterDataset(), nullptr);
  clone.SetMasterDataset(master.get());
  EXPECT_EQ(clone.MasterDataset(), master.get());
  EXPECT_EQ(clone.AttachedTo(), master.get());
  clone.SetMasterDataset(nullptr);
  EXPECT_EQ(clone.AttachedTo(), nullptr);

  clone.SetMasterDataset(master.get());
  master.reset();
  EXPECT_EQ(clone.MasterDataset(), nullptr);
}

}  // namespace

namespace {

TEST(SDSDataset, NewRecordUnderLevelsIsAListRecordAtTheTop) {
  TSDS sds(nullptr);
  DefineHierarchy(sds);
  sds.Open();
  sds.SetOptions(sds.Options() + TSDSOptions{dsoLevels});
  sds.Append();
  EXPECT_EQ(sds.PIDField()->AsInteger(), 0);
  EXPECT_EQ(static_cast<uint32_t>(sds.StateField()->AsInteger()), 0x40000000u);
  sds.Cancel();

  TSDS noState(nullptr);
  noState.FieldDefs()->Add("SYS$PID", ftInteger);
  noState.Open();
  noState.SetOptions(noState.Options() + TSDSOptions{dsoLevels});
  EXPECT_THROW(noState.Append(), EAssertionFailed);
}

}  // namespace

namespace {

TField* AddCalcField(TSDS& Sds, TField* Field, const char* Name, TFieldKind Kind, TProviderFlags Flags) {
  Field->SetFieldName(Name);
  Field->SetFieldKind(Kind);
  Field->SetProviderFlags(Flags);
  Field->SetDataSet(&Sds);
  return Field;
}

TEST(SDSDataset, CopyMasterStructureChecksTheFieldsTheMasterMustHave) {
  TSDS master(nullptr);
  master.SetName("Docs");
  DefineHierarchy(master);
  master.FieldDefs()->Add("RAW", ftBytes, 8);
  master.SetAttachMaxCount(8);
  master.Open();

  const struct {
    const char* Name;
    TFieldType Type;
    TFieldKind Kind;
    TProviderFlags Flags;
    const char* Error;
  } cases[] = {
      {"NAME", ftString, fkData, {}, ""},
      {"TOTAL", ftInteger, fkCalculated, {pfInUpdate}, " которое отсутствует в master компоненте "},
      {"NAME", ftInteger, fkData, {}, " тип которого не совпадает с типом поля в master компоненте "},
      {"RAW", ftBytes, fkData, {}, " размер которого не совпадает с размером поля в master компоненте "},
      {"NAME", ftString, fkLookup, {pfInUpdate}, ""},  // takes the definition's size
      {"SYS$PID", ftInteger, fkData, {pfInUpdate}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSDS clone(nullptr);
    clone.SetName("Clone");
    TField* field = c.Type == ftString  ? static_cast<TField*>(new TStringField(&clone))
                    : c.Type == ftBytes ? static_cast<TField*>(new TBytesField(&clone))
                                        : new TIntegerField(&clone);
    field->SetSize(c.Type == ftInteger ? 0 : 5);
    AddCalcField(clone, field, c.Name, c.Kind, c.Flags);
    clone.SetMasterDataset(&master);
    if (*c.Error) {
      try {
        clone.CopyMasterStructure();
        ADD_FAILURE() << "no error";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), AnsiString("В компоненте Clone присутствует поле ") + c.Name + c.Error + "Docs");
      }
    } else {
      clone.CopyMasterStructure();
      EXPECT_EQ(clone.FieldDefs()->Count(), master.FieldDefs()->Count());
      EXPECT_NE(clone.FindField("SYS$ID"), nullptr);
      if (c.Type == ftString) {
        EXPECT_EQ(clone.FieldByName("NAME")->Size(), 20);
      }
    }
  }
}

}  // namespace
