// Opening a server-backed dataset against a real database file: the
// structure and every row of its select, master/detail on the server, and
// a dataset sharing another's records.
#include <gtest/gtest.h>

#include "SDSTestKit.h"
#include "db/DataSource.h"

namespace {

// Reads see what other attachments committed meanwhile, as the
// workstation's transactions do.
void ReadCommitted(TSDatabaseOnFile& Db) {
  Db.Transaction->Params()->SetText("read_committed\r\nrec_version\r\nnowait");
  if (Db.Transaction->Active()) Db.Transaction->Commit();
}

int64_t ScaledOf(const TField* Field) { return Field->AsCurrency().Scaled; }

// Written by isql-fb, so the reading side alone is under test.
const char* const AllTypesRows = R"(
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_SMALL, F_INT, F_BIG, F_NUM4_2, F_NUM18_4, F_NUM18_6, F_DOUBLE, F_DATE,
                       F_STAMP, F_CHAR, F_VARCHAR, F_MEMO, F_REQ)
VALUES (1, 'Ёжик', -32768, 2147483647, 9223372036854775807, -99.99, 922337203685477.5807, 1.000001,
        0.1, DATE '0001-01-01', TIMESTAMP '9999-12-31 23:59:59.999', 'Щ', 'кавычка '' -- :name',
        'Съешь же ещё этих мягких французских булок', 1);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_NUM18_4, F_REQ) VALUES (2, 'b', -922337203685477.5808, 2);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_NUM18_4, F_REQ) VALUES (3, 'c', 123456789012.3456, 3);
INSERT INTO ALL_TYPES (SYS$ID, F_REQ) VALUES (4, 4);
COMMIT;
)";

TEST(SDSLoad, EveryColumnTypeLoadsExactlyAndNullsStayNull) {
  TTestDatabase file("nocomment");
  file.Isql(AllTypesRows);
  TSDSOnFile db(file);
  const std::string blob = std::string("\0\1\2", 3) + std::string(1 << 20, '\xFF');
  ExecCommitted(*db.Database, "update ALL_TYPES set F_BLOB = x'00FF' where SYS$ID = 2");
  {
    if (!db.Transaction->Active()) db.Transaction->StartTransaction();
    TIBSQL update(nullptr);
    update.SetDatabase(db.Database.get());
    update.SetSQLText("update ALL_TYPES set F_BLOB = :B where SYS$ID = 1");
    update.ParamByName("B").SetAsString(blob);
    update.ExecQuery();
    db.Transaction->Commit();
  }
  auto sds = db.Dataset("ALL_TYPES");
  sds->Open();
  ASSERT_TRUE(sds->DataLoaded());
  ASSERT_EQ(sds->RecordCount(), 4);
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{1}), {}));
  EXPECT_EQ(sds->FieldByName("CODE")->AsString(), "Ёжик");
  EXPECT_EQ(sds->FieldByName("F_SMALL")->AsInteger(), -32768);
  EXPECT_EQ(sds->FieldByName("F_INT")->AsInteger(), 2147483647);
  EXPECT_EQ(static_cast<TLargeintField*>(sds->FieldByName("F_BIG"))->AsLargeInt(), INT64_MAX);
  EXPECT_EQ(ScaledOf(sds->FieldByName("F_NUM4_2")), -999900);
  EXPECT_EQ(ScaledOf(sds->FieldByName("F_NUM18_4")), INT64_MAX);
  EXPECT_DOUBLE_EQ(sds->FieldByName("F_NUM18_6")->AsFloat(), 1.000001);
  EXPECT_DOUBLE_EQ(sds->FieldByName("F_DOUBLE")->AsFloat(), 0.1);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", sds->FieldByName("F_DATE")->AsDateTime()), "0001-01-01");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", sds->FieldByName("F_STAMP")->AsDateTime()),
            "9999-12-31 23:59:59.999");
  EXPECT_EQ(sds->FieldByName("F_CHAR")->AsString(), "Щ         ");  // CHAR comes padded
  EXPECT_EQ(sds->FieldByName("F_VARCHAR")->AsString(), "кавычка ' -- :name");
  EXPECT_EQ(sds->FieldByName("F_MEMO")->AsString(), "Съешь же ещё этих мягких французских булок");
  EXPECT_TRUE(sds->FieldByName("F_BLOB")->AsString() == blob);
  EXPECT_EQ(sds->FieldByName("F_CALC")->AsString(), "4294967294");
  EXPECT_TRUE(sds->FieldByName("F_REQ")->Required());

  const struct {
    int64_t Id;
    int64_t Scaled;
  } numerics[] = {{2, INT64_MIN}, {3, 1234567890123456}};
  for (const auto& n : numerics) {
    ASSERT_TRUE(sds->Locate("SYS$ID", Variant(n.Id), {}));
    EXPECT_EQ(ScaledOf(sds->FieldByName("F_NUM18_4")), n.Scaled) << n.Id;
  }
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{2}), {}));
  EXPECT_EQ(sds->FieldByName("F_BLOB")->AsString(), std::string("\0\xFF", 2));
  EXPECT_TRUE(sds->FieldByName("F_MEMO")->AsString().empty());

  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{4}), {}));
  for (const char* name : {"CODE", "F_SMALL", "F_INT", "F_BIG", "F_NUM18_4", "F_DOUBLE", "F_DATE", "F_STAMP",
                           "F_MEMO", "F_BLOB", "SYS$TIME"})
    EXPECT_TRUE(sds->FieldByName(name)->IsNull()) << name;
  uint8_t key[8] = {};
  ASSERT_TRUE(sds->DBKeyField()->GetData(key));
  EXPECT_NE(std::string(reinterpret_cast<char*>(key), 8), std::string(8, '\0'));
}

TEST(SDSLoad, WithoutLoadAllFieldsThePersistentFieldsChooseTheColumnsReadAndWritten) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  ReadCommitted(db);
  auto sds = db.Dataset("MASTER_T");
  sds->SetOptions(sds->Options() - TSDSOptions{dsoLoadAllFields});
  auto* id = new TLargeintField(sds.get());
  id->SetFieldName("SYS$ID");
  id->SetDataSet(sds.get());
  auto* name = new TStringField(sds.get());
  name->SetFieldName("NAME");
  name->SetSize(60);
  name->SetDataSet(sds.get());
  ExecCommitted(*db.Database, "update MASTER_T set SYS$STATE = 5");
  sds->Open();
  std::vector<AnsiString> defs;
  for (int i = 0; i < sds->FieldDefs()->Count(); ++i)
    defs.push_back(sds->FieldDefs()->Items(i)->Name());
  EXPECT_EQ(defs, (std::vector<AnsiString>{"SYS$ID", "NAME", "IBX_INTERNAL_DBKEY"}));
  EXPECT_EQ(sds->FieldCount(), 3);
  const AnsiString select = sds->SelectSQL()->SQL()->Text();
  EXPECT_EQ(select.find("SYS$STATE"), AnsiString::npos) << select;
  ASSERT_EQ(sds->RecordCount(), 2);
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{11}), {}));
  EXPECT_EQ(name->AsString(), "Второй");
  sds->Edit();
  name->SetAsString("Второй'");
  sds->Post();
  sds->Append();
  id->SetAsLargeInt(12);
  name->SetAsString("Третий");
  sds->Post();
  // The other columns are the server's own: untouched, or their defaults.
  EXPECT_EQ(
      QueryValue(*db.Database,
                 "select list(SYS$ID || ':' || NAME || ':' || coalesce(SYS$STATE, '-') || ':' || "
                 "SYS$PID, ' ') from (select * from MASTER_T order by SYS$ID)"),
      "10:Первый:5:0 11:Второй':5:0 12:Третий:-:0");
  // Reopened, the same fields are read again.
  sds->Close();
  sds->Open();
  EXPECT_EQ(sds->FieldCount(), 3);
  EXPECT_EQ(sds->RecordCount(), 3);
}

TEST(SDSLoad, ALookupFieldTheServerWorksOutKeepsTheServersValue) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  ReadCommitted(db);
  TzynMemTable names(nullptr);
  OpenClientNames(names);
  for (const bool byServer : {false, true}) {
    SCOPED_TRACE(byServer);
    auto sds =
        db.Dataset("DETAIL_T", byServer ? TSDSOptions{dsoCalcLookupOnServer, dsoRefreshAfterEdit}
                                        : TSDSOptions{dsoRefreshAfterEdit});
    sds->SetCommandText(DetailWithMasterName);
    TField* lookup = AddMasterNameLookup(*sds, names, "MASTER_NAME");
    sds->Open();
    auto shown = [&] {
      AnsiString text;
      for (sds->First(); !sds->Eof(); sds->Next()) text += lookup->AsString() + ";";
      return text;
    };
    EXPECT_EQ(shown(), byServer ? "Первый;Первый;Второй;" : "клиент 10;клиент 10;клиент 11;");
    // An edit keeps it; a new key takes the server's answer when the row is
    // read again.
    ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{101}), {}));
    sds->Edit();
    sds->FieldByName("LINE_NO")->SetAsInteger(5);
    EXPECT_EQ(lookup->AsString(), byServer ? "Первый" : "клиент 10");
    sds->FieldByName("MASTER_ID")->SetAsInteger(11);
    sds->Post();
    EXPECT_EQ(lookup->AsString(), byServer ? "Второй" : "клиент 11");
    EXPECT_EQ(shown(), byServer ? "Первый;Второй;Второй;" : "клиент 10;клиент 11;клиент 11;");
    ExecCommitted(*db.Database,
                  "update DETAIL_T set MASTER_ID = 10, LINE_NO = 2 where SYS$ID = 101");
    EXPECT_EQ(lookup->FieldKind(), fkLookup);
  }
}

TEST(SDSLoad, OptionsAndEventsOfTheLoad) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  {
    auto sds = db.Dataset("DETAIL_T");
    sds->SetOptions(sds->Options() - TSDSOptions{dsoLoadData});
    sds->Open();
    EXPECT_TRUE(sds->StructureReady());
    EXPECT_FALSE(sds->DataLoaded());
    EXPECT_EQ(sds->RecordCount(), 0);
    EXPECT_NE(sds->FindField("AMOUNT"), nullptr);
  }
  {
    auto sds = db.Dataset("DETAIL_T", {dsoDontFreeSelectHandle});
    int loadedEvents = 0;
    // A handler that cancels leaves the row out; one that does nothing lets
    // the load post it.
    sds->OnRecordLoaded = [&](TDataSet* Sender) {
      ++loadedEvents;
      EXPECT_TRUE(static_cast<TSDS*>(Sender)->InternalLoading());
      if (Sender->FieldByName("LINE_NO")->AsInteger() == 2) Sender->Cancel();
    };
    TSDSOptions optionsInHandler;
    int afterLoaded = 0;
    sds->AfterDataLoaded = [&](TDataSet* Sender) {
      auto* self = static_cast<TSDS*>(Sender);
      ++afterLoaded;
      optionsInHandler = self->Options();
      self->First();
      self->Edit();
      self->FieldByName("AMOUNT")->SetAsCurrency(Currency::FromScaled(1));
      self->Post();
    };
    sds->Open();
    EXPECT_EQ(loadedEvents, 3);
    EXPECT_EQ(sds->RecordCount(), 2);
    EXPECT_FALSE(sds->Locate("LINE_NO;MASTER_ID", VarArrayOf({2, int64_t{10}}), {}));
    EXPECT_EQ(afterLoaded, 1);
    EXPECT_FALSE(optionsInHandler.Contains(dsoChangesResolved));
    EXPECT_FALSE(optionsInHandler.Contains(dsoAutoCommit));
    EXPECT_EQ(sds->Options(), SDSDefaultOptions + TSDSOptions{dsoDontFreeSelectHandle});
    EXPECT_FALSE(sds->InternalLoading());
    EXPECT_TRUE(sds->SelectSQL()->Prepared());
    // The handler's change stays in memory only.
    EXPECT_EQ(QueryValue(*db.Database, "select count(*) from DETAIL_T where AMOUNT = 0.0001"), "0");
  }
  auto sds = db.Dataset("DETAIL_T");
  sds->Open();
  EXPECT_FALSE(sds->SelectSQL()->Prepared());
  EXPECT_EQ(sds->RecordCount(), 3);
  // A field kept away from the server loads only when asked to.
  for (const bool calcOnServer : {false, true}) {
    sds->Close();
    sds->FieldByName("AMOUNT")->SetProviderFlags({});
    sds->SetOptions(calcOnServer ? SDSDefaultOptions + TSDSOptions{dsoCalcLookupOnServer} : SDSDefaultOptions);
    sds->Open();
    EXPECT_EQ(sds->Lookup("SYS$ID", Variant(int64_t{100}), "AMOUNT").IsNull(), !calcOnServer);
  }
}

TEST(SDSLoad, AnOperationalDatasetWithoutAccessLoadsNothing) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  const struct {
    TDatasetKind Kind;
    TAccess Access;
    int Records, Asked;
  } cases[] = {{dkOperativka, acNone, 0, 3}, {dkOperativka, acPartial, 3, 3}, {dkLookup, acNone, 3, 3},
               {dkUnknown, acNone, 3, 0}};
  for (const auto& c : cases) {
    auto sds = db.Dataset("DETAIL_T");
    sds->SetDatasetKind(c.Kind);
    int asked = 0;
    sds->OnGetAccess = [&](const TSDS*, TAccess& access) {
      ++asked;
      access = c.Access;
    };
    sds->Open();
    EXPECT_EQ(sds->RecordCount(), c.Records) << c.Kind << " " << int{c.Access};
    EXPECT_EQ(asked, c.Asked) << c.Kind;
  }
}

TEST(SDSLoad, FieldFlagsAndEventsAreOffForTheLoadAndBackAfterAFailedOne) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  auto sds = db.Dataset("");
  sds->SetCommandText("select SYS$ID, NAME from MASTER_T");
  sds->Open();
  EXPECT_EQ(sds->RecordCount(), 2);
  TField* name = sds->FieldByName("NAME");
  name->SetRequired(true);
  bool changed = false;
  name->OnChange = [&](TField*) { changed = true; };
  sds->Close();
  // A required field whose column is null loads.
  ExecCommitted(*db.Database, "update MASTER_T set NAME = null where SYS$ID = 10");
  sds->Open();
  EXPECT_EQ(sds->RecordCount(), 2);
  EXPECT_TRUE(name->Required());
  EXPECT_FALSE(changed);
  sds->Close();
  // The second row fails to fetch, after the first was appended.
  sds->SetCommandText("select SYS$ID, NAME, 1 / (SYS$ID - 11) as BROKEN from MASTER_T order by SYS$ID");
  EXPECT_THROW(sds->Open(), Exception);
  EXPECT_FALSE(sds->Active());
  EXPECT_FALSE(sds->InternalLoading());
  EXPECT_TRUE(name->Required());
  ASSERT_TRUE(name->OnChange);
  EXPECT_FALSE(changed);
}

TEST(SDSLoad, MasterDetailOnTheServerBindsTheDetailFieldParameter) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  auto master = db.Dataset("MASTER_T");
  master->Open();
  ASSERT_TRUE(master->Locate("SYS$ID", Variant(int64_t{10}), {}));
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  auto detail = db.Dataset("DETAIL_T", {dsoHandleMDBySQL});
  detail->SetMasterSource(&source);
  detail->SetMasterFields("SYS$ID");
  detail->SetDetailFields("MASTER_ID");
  detail->Open();
  EXPECT_NE(detail->SelectSQL()->SQL()->Text().find(":MD_MASTER_ID"), AnsiString::npos);
  EXPECT_EQ(detail->RecordCount(), 2);
  detail->SetOptions(detail->Options() + TSDSOptions{dsoDontFreeSelectHandle});
  detail->Close();
  detail->Open();
  EXPECT_FALSE(detail->MasterValuesChanged());
  int loads = 0;
  detail->AfterDataLoaded = [&](TDataSet*) { ++loads; };
  // Another master record: its detail rows are read again; the same one
  // changed elsewhere reads nothing.
  ASSERT_TRUE(master->Locate("SYS$ID", Variant(int64_t{11}), {}));
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(detail->RecordCount(), 1);
  EXPECT_FALSE(detail->MasterValuesChanged());
  master->Edit();
  master->FieldByName("NAME")->SetAsString("Другое");
  master->Post();
  EXPECT_EQ(loads, 1);
  ASSERT_TRUE(master->Locate("SYS$ID", Variant(int64_t{10}), {}));
  EXPECT_EQ(loads, 2);
  EXPECT_EQ(detail->RecordCount(), 2);
}

TEST(SDSLoad, AnAttachedDatasetSharesTheMastersRecordsAndStatements) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  auto master = db.Dataset("DETAIL_T");
  master->SetDatasetKind(dkLookup);
  TSDS clone(nullptr);
  clone.SetMasterDataset(master.get());
  clone.SetReadOnly(true);
  clone.Open();
  EXPECT_TRUE(master->Active());
  EXPECT_EQ(clone.RecordCount(), 3);
  EXPECT_EQ(clone.TableName(), "DETAIL_T");
  EXPECT_EQ(clone.KeyFields(), master->KeyFields());
  EXPECT_EQ(clone.ServerIndexNames(), master->ServerIndexNames());
  EXPECT_TRUE(clone.StructureReady());
  EXPECT_TRUE(clone.DataLoaded());
  EXPECT_EQ(clone.DatasetKind(), dkLookup);
  EXPECT_TRUE(clone.ReadOnly());
  EXPECT_EQ(clone.Database(), db.Database.get());
  EXPECT_EQ(clone.UpdateSQL()->SQL()->Text(), master->UpdateSQL()->SQL()->Text());
  EXPECT_NE(clone.IDField(), nullptr);
  EXPECT_NE(clone.DBKeyField(), nullptr);
  master->First();
  master->Edit();
  master->FieldByName("LINE_NO")->SetAsInteger(7);
  master->Post();
  EXPECT_TRUE(clone.Locate("LINE_NO", 7, {}));
}

TEST(SDSDataset, AReadDatasetMakesItsLookupCloneAndASharingOneTakesItsMastersTable) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  for (const bool persistentParent : {false, true}) {
    auto sds = db.Dataset("MASTER_T", {dsoLookupClone});
    sds->SetName("Masters");
    sds->SetAttachMaxCount(1);
    if (persistentParent) {
      sds->FieldDefs()->Add("SYS$PID", ftInteger);
      sds->FieldDefs()->Items(0)->CreateField(sds.get());
    }
    sds->Loaded();
    TSDS* clone = sds->LookupClone();
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->MasterDataset(), sds.get());
    EXPECT_EQ(sds->AttachMaxCount(), 8);
    EXPECT_FALSE(clone->Options().Contains(dsoLookupClone));
    EXPECT_EQ(clone->Options().Contains(dsoLevels), persistentParent);
    EXPECT_EQ(sds->PublicName(), "Masters");
    if (persistentParent) continue;
    clone->Open();
    EXPECT_EQ(clone->RecordCount(), 2);
    TSDS sharing(nullptr);
    sharing.SetMasterDataset(sds.get());
    sharing.Loaded();
    EXPECT_EQ(sharing.TableName(), "MASTER_T");
    EXPECT_EQ(sharing.Database(), db.Database.get());
    EXPECT_EQ(sharing.LookupClone(), nullptr);
  }
}

TEST(SDSDataset, ReloadReadsTheServerAgainAlsoThroughASharingDataset) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  ReadCommitted(db);
  auto sds = db.Dataset("DETAIL_T");
  sds->SetAttachMaxCount(2);
  int afterLoaded = 0;
  sds->AfterDataLoaded = [&](TDataSet*) { ++afterLoaded; };
  sds->SetReadOnly(true);
  sds->Open();
  TSDS clone(nullptr);
  clone.SetMasterDataset(sds.get());
  clone.Open();
  ExecCommitted(*db.Database, "insert into DETAIL_T (SYS$ID, MASTER_ID, LINE_NO) values (103, 11, 2)");
  ExecCommitted(*db.Database, "delete from DETAIL_T where SYS$ID = 100");
  clone.Reload();
  EXPECT_EQ(afterLoaded, 2);
  EXPECT_EQ(sds->RecordCount(), 3);
  EXPECT_TRUE(clone.Locate("SYS$ID", Variant(int64_t{103}), {}));
  EXPECT_FALSE(clone.Locate("SYS$ID", Variant(int64_t{100}), {}));
  EXPECT_TRUE(sds->DataLoaded());
  EXPECT_FALSE(sds->InternalLoading());
  EXPECT_TRUE(sds->ReadOnly());
}

TEST(SDSDataset, LookupByIdentityFindsAnyRecordAndKeepsTheCursor) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  auto sds = db.Dataset("DETAIL_T");
  sds->Open();
  sds->SetIndexFieldNames("LINE_NO");
  sds->Last();
  const int recNo = sds->RecNo();
  EXPECT_EQ(sds->Lookup("SYS$ID", Variant(int64_t{101}), "LINE_NO").AsInteger(), 2);
  EXPECT_EQ(sds->Lookup("SYS$ID", Variant(int64_t{102}), "AMOUNT").AsString(), "1");
  EXPECT_TRUE(sds->Lookup("SYS$ID", Variant(int64_t{999}), "LINE_NO").IsNull());
  EXPECT_EQ(sds->RecNo(), recNo);
}

TEST(SDSDataset, ChildrenAreRecordsNamingTheCurrentOneAsParent) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  ReadCommitted(db);
  ExecCommitted(*db.Database, "insert into MASTER_T (SYS$ID, SYS$PID, NAME) values (12, 10, 'child')");
  for (const bool levels : {false, true}) {
    auto sds = db.Dataset("MASTER_T", levels ? TSDSOptions{dsoLevels} : TSDSOptions{});
    sds->Open();
    ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{10}), {}));
    EXPECT_EQ(sds->HasChildren(), levels);
    ASSERT_TRUE(sds->Locate("SYS$ID", Variant(int64_t{11}), {}));
    EXPECT_FALSE(sds->HasChildren());
  }
}

TEST(SDSDataset, ADetailRecordWaitsForItsMastersEditToEnd) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  auto master = db.Dataset("MASTER_T");
  master->Open();
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  for (const bool skipCheck : {false, true}) {
    auto detail = db.Dataset("DETAIL_T", skipCheck ? TSDSOptions{dsoDontCheckMasterInBrowse} : TSDSOptions{});
    detail->Open();
    detail->SetIndexFieldNames("MASTER_ID");
    detail->SetMasterSource(&source);
    detail->SetMasterFields("SYS$ID");
    detail->SetDetailFields("MASTER_ID");
    master->Edit();
    if (skipCheck) {
      detail->Edit();
      detail->Cancel();
    } else {
      EXPECT_THROW(detail->Edit(), EHintError);
      EXPECT_EQ(detail->State(), dsBrowse);
    }
    master->Cancel();
    detail->Edit();
    detail->Cancel();
  }
}

TEST(SDSDataset, APessimisticEditLocksTheRowOnTheServer) {
  TTestDatabase file("nocomment");
  TSDSOnFile a(file), b(file);
  a.Database->Session()->Register("A");
  b.Database->Session()->Register("B");
  auto sds = a.Dataset("MASTER_T", {dsoPessimisticLock});
  sds->Open();
  sds->Edit();
  EXPECT_THROW(b.Database->Session()->LockRecord(sds->DBKey(), false), EAbort);
  sds->Cancel();
}

}  // namespace
