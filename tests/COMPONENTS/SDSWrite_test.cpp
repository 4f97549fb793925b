// Writing a server-backed dataset's changes to a real database file.
#include "SDSWriter.h"

#include <gtest/gtest.h>

#include "SDSTestKit.h"
#include "db/DataSource.h"

namespace {

Currency Scaled(int64_t Value) { return Currency::FromScaled(Value); }

// The message of the E that the change raises; "" when it raises none.
template <typename E>
AnsiString Refusal(void (*Change)(TSDS&), TSDS& Sds) {
  try {
    Change(Sds);
  } catch (const E& e) {
    return e.Message();
  }
  return "";
}

void AppendOne(TSDS& Sds) {
  Sds.Append();
  Sds.FieldByName("SYS$ID")->SetAsInteger(90);
  Sds.Post();
}
void EditOne(TSDS& Sds) { Sds.Edit(); }
void PostOne(TSDS& Sds) { Sds.Post(); }
void DeleteOne(TSDS& Sds) { Sds.Delete(); }

TEST(SDSWrite, ValuesTravelByteForByteAndScaledNumbersExactly) {
  TTestDatabase file("nocomment");
  file.Isql("CREATE TABLE NOKEY_NUM (NAME VARCHAR(60), AMOUNT NUMERIC(18,4));\nCOMMIT;");
  TSDSOnFile db(file);
  auto sds = db.Dataset("ALL_TYPES");
  sds->Open();
  const AnsiString tricky = "к'в\"ы -- :name /* ? */";
  const AnsiString injection = "'); delete from MASTER_T; --";
  sds->Append();
  sds->FieldByName("SYS$ID")->SetAsInteger(1);
  sds->FieldByName("CODE")->SetAsString("к'в -- :n");
  sds->FieldByName("F_VARCHAR")->SetAsString(tricky + injection);
  sds->FieldByName("F_MEMO")->SetAsString(tricky + injection);
  sds->FieldByName("F_NUM18_4")->SetAsCurrency(Scaled(INT64_MAX));
  sds->FieldByName("F_REQ")->SetAsInteger(7);
  // The insert names every column: a null is written as null, not as the
  // column's default.
  sds->FieldByName("F_COLDEF")->SetAsInteger(5);
  sds->FieldByName("F_DOMDEF")->SetAsInteger(0);
  sds->Post();
  const char* row = "select %s from ALL_TYPES where SYS$ID = 1";
  const auto value = [&](const char* Column) {
    char sql[128];
    std::snprintf(sql, sizeof sql, row, Column);
    return QueryValue(*db.Database, sql);
  };
  EXPECT_EQ(value("CODE"), "к'в -- :n");
  EXPECT_EQ(value("F_VARCHAR"), tricky + injection);
  EXPECT_EQ(value("F_MEMO"), tricky + injection);
  EXPECT_EQ(value("F_NUM18_4"), "922337203685477.5807");
  EXPECT_EQ(value("F_INT"), "");  // null stays null
  EXPECT_EQ(QueryValue(*db.Database, "select count(*) from MASTER_T"), "2");

  sds->Edit();
  sds->FieldByName("F_NUM18_4")->SetAsCurrency(Scaled(1234567890123456));
  sds->Post();
  EXPECT_EQ(value("F_NUM18_4"), "123456789012.3456");

  // Without a row key the update finds its row by the old values, so they
  // must reach the server exactly as read.
  auto noKey = db.Dataset("NOKEY_NUM");
  noKey->Open();
  noKey->Append();
  noKey->FieldByName("NAME")->SetAsString(tricky);
  noKey->FieldByName("AMOUNT")->SetAsCurrency(Scaled(INT64_MAX - 1));
  noKey->Post();
  noKey->Edit();
  noKey->ClearRowKey();
  noKey->FieldByName("NAME")->SetAsString("y");
  noKey->Post();
  EXPECT_NE(noKey->DBKey(), 0);  // read again by the new values
  EXPECT_EQ(QueryValue(*db.Database, "select NAME || ' ' || AMOUNT from NOKEY_NUM"), "y 922337203685477.5806");
}

TEST(SDSWrite, AQuotedTableNameIsOneNameInEveryStatement) {
  TTestDatabase file("nocomment");
  file.Isql("CREATE TABLE \"Кв'ота\"\";--\" (ID BIGINT NOT NULL PRIMARY KEY, NAME VARCHAR(20));\nCOMMIT;");
  TSDSOnFile db(file);
  db.Database->Session()->Register("A");
  auto sds = db.Dataset("Кв'ота\";--", {dsoPessimisticLock, dsoAudit, dsoSendNotification});
  sds->Open();
  std::vector<int> logged;
  sds->OnLogEvent = [&](const TSDS*, TOperationType Operation) { logged.push_back(Operation); };
  sds->Append();
  sds->FieldByName("ID")->SetAsInteger(1);
  sds->FieldByName("NAME")->SetAsString("один");
  sds->Post();
  sds->Edit();
  sds->FieldByName("NAME")->SetAsString("два");
  sds->Post();
  EXPECT_EQ(QueryValue(*db.Database, "select NAME from \"Кв'ота\"\";--\""), "два");
  sds->Delete();
  EXPECT_EQ(QueryValue(*db.Database, "select count(*) from \"Кв'ота\"\";--\""), "0");
  // Insert, update, delete: 0, 1, 2 to the log event, 1, 0, 2 to the server.
  EXPECT_EQ(logged, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(db.Rows("select OP || ' ' || KIND || ' ' || TABLE_NAME from EVENT_LOG"),
            (std::vector<AnsiString>{"1 10 Кв'ота\";--", "0 10 Кв'ота\";--", "2 10 Кв'ота\";--"}));
  EXPECT_EQ(db.Rows("select MSG from AUDIT_LOG")[0],
            "<TABLE>Кв'ота\";--</TABLE><INSERT><ID>1</ID><NAME>один</NAME></INSERT>");

  // A name that tries to end the statement names no table.
  auto bad = db.Dataset("MASTER_T where 1=1; --");
  EXPECT_THROW(bad->Open(), Exception);
  EXPECT_EQ(QueryValue(*db.Database, "select count(*) from MASTER_T"), "2");
}

class SDSWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    File.Isql(
        "INSERT INTO MASTER_T (SYS$ID, NAME) VALUES (12, 'Третий');\n"
        "INSERT INTO NO_KEY (NAME, AMOUNT) VALUES ('dup', 1);\n"
        "INSERT INTO NO_KEY (NAME, AMOUNT) VALUES ('dup', 1);\n"
        "INSERT INTO NO_KEY (NAME, AMOUNT) VALUES ('null', NULL);\nCOMMIT;");
    A = std::make_unique<TSDSOnFile>(File);
    B = std::make_unique<TSDSOnFile>(File);
    // Each statement sees what others committed before it.
    A->Transaction->Commit();
    A->Transaction->Params()->SetText("read_committed\nrec_version\nnowait");
  }
  TIBDatabase& Server() { return *B->Database; }

  TTestDatabase File{"nocomment"};
  std::unique_ptr<TSDSOnFile> A, B;
  TScriptedDataPrompts Prompts;
};

TEST_F(SDSWriteTest, AWriteMustChangeExactlyOneRow) {
  auto sds = A->Dataset("MASTER_T");
  sds->Open();
  ExecCommitted(Server(), "delete from MASTER_T where SYS$ID = 12");
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(12), {}));
  sds->Edit();
  sds->FieldByName("NAME")->SetAsString("x");
  try {
    sds->Post();
    FAIL();
  } catch (const ESDS_IBError& e) {
    EXPECT_EQ(e.Message(), SRecordMaybeDeleted);
    EXPECT_EQ(e.Operation, soUpdate);
    EXPECT_EQ(e.SQLText, sds->UpdateSQL()->SQL()->Text());
  }
  EXPECT_EQ(sds->State(), dsEdit);
  sds->Cancel();
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 12"), "0");

  // Found by old values: a NULL among them matches no row, two equal rows
  // would both change.
  auto noKey = A->Dataset("NO_KEY");
  noKey->Open();
  const struct {
    const char* Name;
    const char* Message;
  } cases[] = {{"null", SRecordMaybeDeleted}, {"dup", "Изменение затронуло бы несколько записей в базе (2) и отменено."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(noKey->Locate("NAME", Variant(AnsiString(c.Name)), {}));
    noKey->Edit();
    noKey->ClearRowKey();
    noKey->FieldByName("AMOUNT")->SetAsInteger(5);
    EXPECT_EQ(Refusal<ESDS_IBError>(PostOne, *noKey), c.Message);
    noKey->Cancel();
  }
  EXPECT_EQ(QueryValue(Server(), "select count(*) from NO_KEY where AMOUNT = 1"), "2");
  EXPECT_EQ(QueryValue(Server(), "select count(*) from NO_KEY where AMOUNT is null"), "1");
}

TEST_F(SDSWriteTest, ALockStopsTheOtherSessionUntilPostCancelOrAFailedDelete) {
  A->Database->Session()->Register("A");
  B->Database->Session()->Register("B");
  auto a = A->Dataset("MASTER_T", {dsoPessimisticLock});
  auto b = B->Dataset("MASTER_T", {dsoPessimisticLock});
  a->Open();
  b->Open();
  ASSERT_TRUE(a->Locate("SYS$ID", Variant(10), {}));
  ASSERT_TRUE(b->Locate("SYS$ID", Variant(10), {}));
  const auto bCanEdit = [&] {
    b->Edit();
    b->Cancel();
  };

  a->Edit();
  EXPECT_THROW(b->Edit(), EAbort);
  EXPECT_EQ(b->State(), dsBrowse);
  EXPECT_EQ(Prompts.Questions,
            (std::vector<AnsiString>{"Запись блокирована другим пользователем\n\rИнтересует дополнительная информация ?"}));
  a->FieldByName("NAME")->SetAsString("от A");
  a->Post();
  EXPECT_NO_THROW(bCanEdit());
  EXPECT_EQ(QueryValue(Server(), "select NAME from MASTER_T where SYS$ID = 10"), "от A");

  a->Edit();
  a->Cancel();
  EXPECT_NO_THROW(bCanEdit());

  // The detail rows refuse the delete; its lock goes with the failure.
  EXPECT_THROW(a->Delete(), ESDS_IBError);
  EXPECT_NO_THROW(bCanEdit());
  EXPECT_TRUE(a->Locate("SYS$ID", Variant(10), {}));

  // Locked, then the row is found gone when read again: the edit does not
  // start and the lock goes.
  a->SetOptions(a->Options() + TSDSOptions{dsoRefreshBeforeEdit});
  ASSERT_TRUE(a->Locate("SYS$ID", Variant(12), {}));
  ExecCommitted(Server(), "delete from MASTER_T where SYS$ID = 12");
  EXPECT_EQ(Refusal<Exception>(EditOne, *a), SRecordMaybeDeleted);
  EXPECT_EQ(a->State(), dsBrowse);
  EXPECT_EQ(LiveLocks(Server()), 0);
}

TEST_F(SDSWriteTest, ARefusedLockStopsTheEditOrDeleteWithItsMessage) {
  A->Database->Session()->Register("A");
  auto sds = A->Dataset("MASTER_T", {dsoPessimisticLock});
  sds->Open();
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(12), {}));
  const struct {
    const char* Code;
    const char* Message;
  } cases[] = {{"-100", "Ошибка блокировки (отсутствует память)"},
               {"-400", "Ошибка блокировки (неизвестная сессия)"},
               {"-450", "Ошибка блокировки (неизвестная база)"},
               {"-1100", "Запись блокирована другим пользователем"},
               {"3", "Ошибка блокировки"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Code);
    ExecCommitted(Server(), "delete from TEST_OUTCOME");
    ExecCommitted(Server(), std::string("insert into TEST_OUTCOME (FUNC_NAME, CODE) values ('F_LOCKRECORD', ") +
                                c.Code + ")");
    for (auto change : {EditOne, DeleteOne}) {
      EXPECT_EQ(Refusal<Exception>(change, *sds), c.Message);
      EXPECT_EQ(sds->State(), dsBrowse);
    }
  }
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 12"), "1");
  EXPECT_TRUE(sds->Locate("SYS$ID", Variant(12), {}));
}

TEST_F(SDSWriteTest, ARetryOfAFailedDeleteRunsItAgain) {
  auto sds = A->Dataset("MASTER_T");
  sds->Open();
  int calls = 0;
  TDataAction answer = daRetry;
  sds->OnDeleteError = [&](TDataSet*, EDatabaseError& E, TDataAction& Action) {
    ++calls;
    EXPECT_EQ(dynamic_cast<ESDS_IBError&>(E).Operation, soDelete);
    ExecCommitted(Server(), "delete from DETAIL_T where MASTER_ID = 11");
    Action = answer;
  };
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(11), {}));
  sds->Delete();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(sds->Locate("SYS$ID", Variant(11), {}));
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 11"), "0");

  answer = daAbort;
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(10), {}));
  EXPECT_THROW(sds->Delete(), EAbort);
  EXPECT_TRUE(sds->Locate("SYS$ID", Variant(10), {}));
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 10"), "1");
}

TEST_F(SDSWriteTest, WithoutAutoCommitAFailedWriteGoesBackToItsSavepoint) {
  auto sds = A->Dataset("MASTER_T");
  sds->SetOptions(sds->Options() - TSDSOptions{dsoAutoCommit});
  sds->Open();
  sds->Append();
  sds->FieldByName("SYS$ID")->SetAsInteger(60);
  sds->Post();
  // The insert runs and the row's re-read fails: the insert goes, the
  // earlier one stays in the transaction.
  sds->Append();
  sds->FieldByName("SYS$ID")->SetAsInteger(61);
  {
    int executes = 0;
    TSeamGuard guard([&](const char* Entry) {
      if (std::string(Entry) == "isc_dsql_execute2" && ++executes == 3) throw EIBClientError("injected");
    });
    EXPECT_THROW(sds->Post(), ESDS_IBError);
  }
  sds->Cancel();
  A->Transaction->Commit();
  EXPECT_EQ(QueryValue(Server(), "select list(SYS$ID) from MASTER_T where SYS$ID >= 60"), "60");
}

TEST_F(SDSWriteTest, AVirtualDeleteMarksTheRowAndKeepsIt) {
  auto sds = A->Dataset("MASTER_T", {dsoVirtualDelete});
  sds->Open();
  int afterDelete = 0;
  sds->AfterDelete = [&](TDataSet*) { ++afterDelete; };
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(12), {}));
  EXPECT_THROW(sds->Delete(), EAbort);
  EXPECT_EQ(afterDelete, 1);
  // Marked deleted, it leaves the dataset's indexes.
  EXPECT_FALSE(sds->Locate("SYS$ID", Variant(12), {}));
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 12 and SYS$STATE < 0"), "1");
}

TEST_F(SDSWriteTest, ACascadeDeletesEachDetailRecordOnceOrNoneOfThem) {
  auto master = A->Dataset("MASTER_T", {dsoCascadeDeleteDetail});
  master->Open();
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  // Marked records stay in view: each is still deleted once.
  auto detail = A->Dataset("DETAIL_T", {dsoVirtualDelete, dsoShowDeleted});
  detail->SetMasterSource(&source);
  detail->SetMasterFields("SYS$ID");
  detail->SetDetailFields("MASTER_ID");
  detail->Open();
  std::vector<int> logged;
  detail->OnLogEvent = [&](const TSDS*, int Operation) { logged.push_back(Operation); };
  const auto deletedDetails = [&] {
    return QueryValue(Server(), "select count(*) from DETAIL_T where MASTER_ID = 10 and SYS$STATE < 0");
  };

  // The details are only marked, so the master's row cannot go: the marks
  // go back on the server and in memory.
  ASSERT_TRUE(master->Locate("SYS$ID", Variant(10), {}));
  EXPECT_THROW(master->Delete(), ESDS_IBError);
  EXPECT_EQ(logged, (std::vector<int>{1, 1}));
  EXPECT_EQ(deletedDetails(), "0");
  EXPECT_EQ(detail->RecordCount(), 2);
  for (detail->First(); !detail->Eof(); detail->Next())
    EXPECT_FALSE(IsDeletedState(static_cast<uint32_t>(detail->StateField()->AsInteger())));

  // A master that is only marked too: each detail once, all written.
  logged.clear();
  master->SetOptions(master->Options() + TSDSOptions{dsoVirtualDelete});
  EXPECT_THROW(master->Delete(), EAbort);
  EXPECT_EQ(logged, (std::vector<int>{1, 1}));
  EXPECT_EQ(deletedDetails(), "2");
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 10 and SYS$STATE < 0"), "1");

  // Details deleted for real go with their master.
  master->SetOptions(master->Options() - TSDSOptions{dsoVirtualDelete});
  detail->SetOptions(detail->Options() - TSDSOptions{dsoVirtualDelete});
  ASSERT_TRUE(master->Locate("SYS$ID", Variant(11), {}));
  master->Delete();
  EXPECT_EQ(QueryValue(Server(), "select count(*) from DETAIL_T where MASTER_ID = 11"), "0");
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 11"), "0");
}

TEST_F(SDSWriteTest, APostFillsTheFieldsAndTheIdentityItsOptionsAsk) {
  auto sds = A->Dataset("ALL_TYPES");
  sds->Open();
  const auto post = [&](TSDSOptions Options, int64_t Id) {
    sds->SetOptions(SDSDefaultOptions + Options);
    sds->Append();
    if (Id) sds->FieldByName("SYS$ID")->SetAsInteger(static_cast<int32_t>(Id));
    sds->FieldByName("CODE")->SetAsString(std::to_string(Id));
    sds->FieldByName("F_VARCHAR")->SetAsString("");
    sds->FieldByName("F_COLDEF")->SetAsInteger(1);
    sds->FieldByName("F_DOMDEF")->SetAsInteger(1);
    sds->Post();
    return QueryValue(Server(), "select coalesce(F_VARCHAR, '<null>') || ' ' || coalesce(F_REQ, '<null>') || ' ' || "
                                "coalesce(F_INT, '<null>') from ALL_TYPES where SYS$ID = " +
                                    std::to_string(static_cast<TLargeintField*>(sds->IDField())->AsLargeInt()));
  };
  // A required field gets 0, every field 0 or '', otherwise an empty text
  // is null; F_REQ alone is required.
  EXPECT_EQ(post({dsoInitRequiredFields}, 1), " 0 <null>");
  EXPECT_EQ(post({dsoInitAllFields}, 2), " 0 0");
  sds->SetOptions(SDSDefaultOptions);
  sds->Append();
  sds->FieldByName("SYS$ID")->SetAsInteger(3);
  sds->FieldByName("F_VARCHAR")->SetAsString("");
  sds->FieldByName("F_REQ")->SetAsInteger(5);
  sds->FieldByName("F_COLDEF")->SetAsInteger(1);
  sds->FieldByName("F_DOMDEF")->SetAsInteger(1);
  sds->Post();
  EXPECT_EQ(QueryValue(Server(), "select coalesce(F_VARCHAR, '<null>') from ALL_TYPES where SYS$ID = 3"), "<null>");
  // No identity given: the next one of main_gen.
  sds->SetOptions(SDSDefaultOptions + TSDSOptions{dsoInitAllFields});
  EXPECT_EQ(post({dsoInitAllFields}, 0), " 0 0");
  EXPECT_EQ(std::to_string(static_cast<TLargeintField*>(sds->IDField())->AsLargeInt()),
            QueryValue(Server(), "select gen_id(MAIN_GEN, 0) from RDB$DATABASE"));
}

TEST_F(SDSWriteTest, WhatTheMemoryPostRefusesStopsThePostBeforeTheServer) {
  auto sds = A->Dataset("MASTER_T");
  sds->Open();
  // Neither is asked of the server's table.
  sds->FieldByName("NAME")->SetRequired(true);
  sds->AddIndexOf("BY_NAME", "NAME", {ixUnique});
  sds->Append();
  sds->FieldByName("SYS$ID")->SetAsInteger(80);
  EXPECT_THROW(sds->Post(), EDatabaseError);
  sds->FieldByName("NAME")->SetAsString("Первый");
  EXPECT_THROW(sds->Post(), EMemTableError);
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 80"), "0");
  sds->FieldByName("NAME")->SetAsString("есть");
  sds->Post();
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 80"), "1");
}

TEST_F(SDSWriteTest, ARecordAddedWholeReachesTheServer) {
  auto sds = A->Dataset("MASTER_T");
  sds->Open();
  std::vector<Variant> values(static_cast<size_t>(sds->FieldCount()));
  auto at = [&](const char* name) -> Variant& {
    return values[static_cast<size_t>(sds->FieldByName(name)->Index())];
  };
  at("NAME") = Variant(AnsiString("целиком"));
  const int before = sds->RecordCount();
  for (int id : {81, 82}) {
    at("SYS$ID") = Variant(id);
    if (id == 81)
      sds->AppendRecord(values);
    else
      sds->InsertRecord(values);
    EXPECT_EQ(sds->FieldByName("SYS$ID")->AsInteger(), id);
    EXPECT_EQ(
        QueryValue(Server(), "select NAME from MASTER_T where SYS$ID = " + std::to_string(id)),
        "целиком");
  }
  // A duplicate identity is refused by the server and leaves nothing behind.
  EXPECT_THROW(sds->AppendRecord(values), Exception);
  EXPECT_EQ(sds->State(), dsBrowse);
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 82"), "1");
  EXPECT_EQ(sds->RecordCount(), before + 2);
}

TEST_F(SDSWriteTest, ADetailWaitsForItsMastersPostAndNeedsAMasterRecord) {
  auto master = A->Dataset("MASTER_T");
  master->SetServerFilter("SYS$ID < 0");
  master->Open();
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  auto detail = A->Dataset("DETAIL_T");
  detail->SetMasterSource(&source);
  detail->SetMasterFields("SYS$ID");
  detail->SetDetailFields("MASTER_ID");
  detail->Open();
  EXPECT_EQ(Refusal<EHintError>(AppendOne, *detail), "Нет головной записи !");
  master->Close();
  master->SetServerFilter("");
  master->Open();
  ASSERT_TRUE(master->Locate("SYS$ID", Variant(10), {}));
  ASSERT_EQ(detail->RecordCount(), 2);
  master->Edit();
  for (auto change : {AppendOne, EditOne, DeleteOne})
    EXPECT_EQ(Refusal<EHintError>(change, *detail), "Завершите ввод/корректировку головной записи.");
  master->Cancel();
}

TEST_F(SDSWriteTest, ARecordWithChildrenIsNotDeletedUnderLevels) {
  ExecCommitted(Server(), "insert into MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) values (13, 10, 1073741824, 'дочь')");
  auto sds = A->Dataset("MASTER_T", {dsoLevels, dsoCheckChildRecordOnDelete});
  sds->Open();
  ASSERT_TRUE(sds->Locate("SYS$ID", Variant(10), {}));
  EXPECT_EQ(Refusal<EHintError>(DeleteOne, *sds), "Удаление невозможно - есть уровневые записи !");
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T where SYS$ID = 10"), "1");
}

TEST_F(SDSWriteTest, OnlyFullAccessLetsAChangeThrough) {
  auto sds = A->Dataset("MASTER_T");
  sds->Open();
  TAccess own = acFull;
  sds->OnGetAccess = [&](const TSDS*, TAccess& Access) { Access = own; };
  EXPECT_EQ(sds->GetAccess(asOwnAccess), acFull);
  EXPECT_THROW(sds->GetAccess(asMasterAccess), EAssertionFailed);
  for (TAccess level : {acNone, acPartial}) {
    own = level;
    EXPECT_EQ(sds->GetAccess(asOwnAccess), level);
    for (auto change : {EditOne, DeleteOne, AppendOne}) {
      EXPECT_EQ(Refusal<Exception>(change, *sds), "Операция блокирована доп. ограничением");
      sds->Cancel();
    }
  }
  EXPECT_EQ(QueryValue(Server(), "select count(*) from MASTER_T"), "3");
}

}  // namespace
