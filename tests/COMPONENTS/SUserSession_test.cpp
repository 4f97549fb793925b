// The session's server functions between two attachments of one file.
#include <gtest/gtest.h>

#include "SDatabaseTestKit.h"

namespace {

class SUserSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    A.Database->Session()->Register("A");
    B.Database->Session()->Register("B");
  }
  TUserSession& SessionA() { return *A.Database->Session(); }
  TUserSession& SessionB() { return *B.Database->Session(); }
  void Script(const AnsiString& Function, const AnsiString& Code, const AnsiString& Error = "NULL") {
    ExecCommitted(*A.Database, "insert into TEST_OUTCOME (FUNC_NAME, CODE, ERROR_TEXT) values ('" + Function +
                                   "', " + Code + ", " + Error + ")");
  }

  TTestDatabase File;
  TSDatabaseOnFile A{File}, B{File};
  TScriptedDataPrompts Prompts;
};

TEST(SUserSession, WithoutASessionNothingReachesTheServer) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  TUserSession& session = *db.Database->Session();
  int calls = 0;
  {
    TSeamGuard guard([&](const char*) { ++calls; });
    session.LockRecord(1, true);
    EXPECT_EQ(session.LockInfo(1), "");
    session.UnlockRecord(1);
    session.WriteAuditMessage("x");
    session.UnlockWithAudit(1, "x");
    EXPECT_TRUE(session.PostEvent(10, 0, nullptr, 1, "T", 0));
  }
  EXPECT_EQ(calls, 0);
  db.Database->Close();
  EXPECT_FALSE(session.PostEvent(10, 0, nullptr, 1, "T", 0));
}

TEST(SUserSession, KeyTextIsTheBytesLeastSignificantFirst) {
  EXPECT_EQ(KeyText(0x0102030405060708), "0807060504030201");
  EXPECT_EQ(KeyText(0), "0000000000000000");
  EXPECT_EQ(KeyText(-1), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(KeyText(0xAB), "AB00000000000000");
}

TEST_F(SUserSessionTest, ASecondSessionFindsTheRecordLockedAndMayAskWhoHoldsIt) {
  SessionA().LockRecord(5, true);
  SessionA().LockRecord(5, true);  // its own lock again
  EXPECT_TRUE(Prompts.Questions.empty());

  try {
    SessionB().LockRecord(5, false);
    FAIL();
  } catch (const EAbort& e) {
    EXPECT_EQ(e.Message(), "Запись блокирована другим пользователем");
    EXPECT_EQ(e.HelpContext(), 1);
  }
  EXPECT_TRUE(Prompts.Questions.empty());

  Prompts.Answers = {true, false};
  EXPECT_THROW(SessionB().LockRecord(5, true), EAbort);
  EXPECT_THROW(SessionB().LockRecord(5, true), EAbort);
  const AnsiString question = "Запись блокирована другим пользователем\n\rИнтересует дополнительная информация ?";
  EXPECT_EQ(Prompts.Questions, (std::vector<AnsiString>{question, question}));
  // Only the Yes showed the owner's text, trimmed.
  EXPECT_EQ(Prompts.Messages,
            (std::vector<AnsiString>{"Запись заблокирована сессией " + IntToStr(SessionA().Handle())}));

  SessionA().UnlockRecord(5);
  EXPECT_NO_THROW(SessionB().LockRecord(5, false));
  EXPECT_EQ(SessionA().LockInfo(5), "Запись заблокирована сессией " + IntToStr(SessionB().Handle()));
}

TEST_F(SUserSessionTest, EachLockResultRaisesItsOwnError) {
  const struct {
    const char* Code;
    const char* Message;
    int HelpContext;
  } cases[] = {
      {"-100", "Ошибка блокировки (отсутствует память)", 0},
      {"-400", "Ошибка блокировки (неизвестная сессия)", 0},
      {"-450", "Ошибка блокировки (неизвестная база)", 0},
      {"7", "Ошибка блокировки", 2},
  };
  int64_t key = 100;
  for (const auto& c : cases) {
    ExecCommitted(*A.Database, "insert into TEST_OUTCOME (FUNC_NAME, RN, CODE) values ('F_LOCKRECORD', " +
                                   IntToStr(key) + ", " + c.Code + ")");
    try {
      SessionA().LockRecord(key, true);
      ADD_FAILURE() << c.Code;
    } catch (const EAbort&) {
      ADD_FAILURE() << c.Code << " raised the silent abort";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.Message);
      EXPECT_EQ(e.HelpContext(), c.HelpContext);
    }
    ++key;
  }
  EXPECT_TRUE(Prompts.Questions.empty());
  // A server error passes as the statement error, and the statement is
  // closed for the next call.
  Script("F_UNLOCKRECORD", "NULL", "'отказ сервера'");
  try {
    SessionA().UnlockRecord(1);
    FAIL();
  } catch (const EIBSQLError& e) {
    EXPECT_EQ(e.Kind, ekExecute);
    EXPECT_NE(e.Message().find("отказ сервера"), AnsiString::npos) << e.Message();
  }
  EXPECT_NO_THROW(SessionA().LockRecord(1, false));
}

TEST_F(SUserSessionTest, AuditTextsAreCutAt4000AndStoredByteForByte) {
  const AnsiString tricky = "Запись 'ТАБЛ' изменена -- :name /* ? */ \"q\"";
  AnsiString longText(5000, 'ж');
  longText[3999] = 'Я';
  SessionA().WriteAuditMessage(tricky);
  SessionA().WriteAuditMessage(longText);
  SessionA().UnlockWithAudit(9, longText);
  const auto rows = A.Rows("select HS, MSG from AUDIT_LOG");
  const AnsiString hs = IntToStr(SessionA().Handle()) + "|";
  EXPECT_EQ(rows, (std::vector<AnsiString>{hs + tricky, hs + longText.substr(0, 4000), hs + longText.substr(0, 4000)}));
}

TEST_F(SUserSessionTest, EventsCarryTheTableNameAndKeyAsTheyAre) {
  EXPECT_TRUE(SessionA().PostEvent(10, 0, nullptr, 0x0102030405060708, "T'X\"; --", 0));
  EXPECT_TRUE(SessionA().PostEvent(10, 3, nullptr, 1, "ТАБЛИЦА", 2));
  const AnsiString hs = IntToStr(SessionA().Handle());
  EXPECT_EQ(A.Rows("select HS, PARAM, KIND, OP, TABLE_NAME, KEY_TEXT from EVENT_LOG"),
            (std::vector<AnsiString>{hs + "|0|10|0|T'X\"; --|0807060504030201",
                                     hs + "|3|10|2|ТАБЛИЦА|0100000000000000"}));
}

TEST_F(SUserSessionTest, EndingTheSessionReleasesItsLocksAndForgetsTheHandle) {
  SessionA().LockRecord(77, false);
  SessionA().EndSession();
  EXPECT_EQ(SessionA().Handle(), -1);
  EXPECT_NO_THROW(SessionB().LockRecord(77, false));
  EXPECT_EQ(A.Rows("select count(*) from SESSION_LOG"), (std::vector<AnsiString>{"1"}));

  // Disconnecting ends the session too.
  B.Database->Close();
  EXPECT_EQ(SessionB().Handle(), -1);
  EXPECT_NO_THROW(SessionA().Register("A2"));
  EXPECT_NO_THROW(SessionA().LockRecord(77, false));
}

}  // namespace
