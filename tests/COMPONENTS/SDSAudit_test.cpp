// The audit texts of written changes, as the server's audit function gets them.
#include "SDSAudit.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "SDSTestKit.h"
#include "rtl/OsShim.h"

namespace {

class SDSAuditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    File.Isql(
        "CREATE TABLE PERSON (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20), BORN DATE, NOTE BLOB SUB_TYPE "
        "TEXT, SYS$TIME TIMESTAMP);\n"
        "INSERT INTO PERSON (ID, NAME, BORN) VALUES (12, 'Ivan', DATE '1990-05-04');\nCOMMIT;");
    Db = std::make_unique<TSDSOnFile>(File);
    Db->Database->Session()->Register("A");
    Sds = Db->Dataset("PERSON", {dsoPessimisticLock, dsoAudit});
    Sds->Open();
  }
  std::vector<AnsiString> Sent() { return Db->Rows("select MSG from AUDIT_LOG"); }

  TTestDatabase File{"nocomment"};
  std::unique_ptr<TSDSOnFile> Db;
  std::unique_ptr<TSDS> Sds;
};

TEST_F(SDSAuditTest, AnUpdateSendsTheKeyAndTheChangedFieldsWithTheLocksRelease) {
  Sds->Edit();
  Sds->FieldByName("NAME")->SetAsString("Petr");
  Sds->Post();
  EXPECT_EQ(Sent(), (std::vector<AnsiString>{
                        "<TABLE>PERSON</TABLE><UPDATE><ID>12</ID><NAME><OLD>='Ivan'<NEW>='Petr'</NAME></UPDATE>"}));

  // Unchanged: the key alone. Quotes inside a value are doubled; a blob and
  // the change time never appear.
  Sds->Edit();
  Sds->Post();
  Sds->Edit();
  Sds->FieldByName("NAME")->SetAsString("O'Hara");
  Sds->FieldByName("NOTE")->SetAsString("длинный текст");
  Sds->Post();
  const std::vector<AnsiString> sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[1], "<TABLE>PERSON</TABLE><UPDATE><ID>12</ID></UPDATE>");
  EXPECT_EQ(sent[2], "<TABLE>PERSON</TABLE><UPDATE><ID>12</ID><NAME><OLD>='Petr'<NEW>='O''Hara'</NAME></UPDATE>");
}

TEST_F(SDSAuditTest, AnUnsentTextGoesToTheLogAndTheChangeStays) {
  ExecCommitted(*Db->Database, "insert into TEST_OUTCOME (FUNC_NAME, ERROR_TEXT) values ('F_WRITEAUDITMSG', 'сбой')");
  Sds->Edit();
  Sds->FieldByName("NAME")->SetAsString("Фёдор");
  EXPECT_THROW(Sds->Post(), EIBSQLError);
  EXPECT_EQ(Sds->State(), dsBrowse);
  EXPECT_EQ(QueryValue(*Db->Database, "select NAME from PERSON"), "Фёдор");
  std::ifstream log(ExtractFilePath(ExeFileName()) + "error.log", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("<TABLE>PERSON</TABLE><UPDATE><ID>12</ID><NAME><OLD>='Ivan'<NEW>='Фёдор'</NAME></UPDATE>"),
            std::string::npos);
}

TEST_F(SDSAuditTest, InsertsAndDeletesListEveryAuditedFieldWithoutQuotes) {
  Sds->FieldByName("BORN")->SetProviderFlags({});
  Sds->Append();
  Sds->FieldByName("ID")->SetAsInteger(13);
  Sds->FieldByName("NAME")->SetAsString("Anna");
  Sds->FieldByName("NOTE")->SetAsString("x");
  Sds->Post();
  Sds->Delete();
  EXPECT_EQ(Sent(), (std::vector<AnsiString>{"<TABLE>PERSON</TABLE><INSERT><ID>13</ID><NAME>Anna</NAME></INSERT>",
                                             "<TABLE>PERSON</TABLE><DELETE><ID>13</ID><NAME>Anna</NAME></DELETE>"}));
}

TEST_F(SDSAuditTest, WithoutRecordLocksOnlyInsertsAreAudited) {
  Sds->SetOptions(Sds->Options() - TSDSOptions{dsoPessimisticLock});
  Sds->Edit();
  Sds->FieldByName("NAME")->SetAsString("Petr");
  Sds->Post();
  Sds->Delete();
  Sds->Append();
  Sds->FieldByName("ID")->SetAsInteger(14);
  Sds->Post();
  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_EQ(Sent()[0].substr(0, 31), "<TABLE>PERSON</TABLE><INSERT><I");
}

TEST_F(SDSAuditTest, MarkupInValuesAndNamesIsEscaped) {
  Sds.reset();
  Db.reset();
  File.Isql("CREATE TABLE \"A<B>&C\" (ID INTEGER NOT NULL PRIMARY KEY, \"N<&>\" VARCHAR(60));\nCOMMIT;");
  Db = std::make_unique<TSDSOnFile>(File);
  Db->Database->Session()->Register("A");
  Sds = Db->Dataset("A<B>&C", {dsoPessimisticLock, dsoAudit});
  Sds->Open();
  const AnsiString forged = "x</NAME></UPDATE><DELETE><SYS$ID>11</SYS$ID></DELETE>";
  Sds->Append();
  Sds->FieldByName("ID")->SetAsInteger(1);
  Sds->FieldByName("N<&>")->SetAsString(forged);
  Sds->Post();
  Sds->Edit();
  Sds->FieldByName("N<&>")->SetAsString("a&amp;b");
  Sds->Post();
  const AnsiString escaped = "x&lt;/NAME&gt;&lt;/UPDATE&gt;&lt;DELETE&gt;&lt;SYS$ID&gt;11&lt;/SYS$ID&gt;&lt;/DELETE&gt;";
  EXPECT_EQ(Sent(), (std::vector<AnsiString>{
                        "<TABLE>A&lt;B&gt;&amp;C</TABLE><INSERT><ID>1</ID><N&lt;&amp;&gt;>" + escaped +
                            "</N&lt;&amp;&gt;></INSERT>",
                        "<TABLE>A&lt;B&gt;&amp;C</TABLE><UPDATE><ID>1</ID><N&lt;&amp;&gt;><OLD>='" + escaped +
                            "'<NEW>='a&amp;amp;b'</N&lt;&amp;&gt;></UPDATE>"}));
}

TEST_F(SDSAuditTest, OldAndNewDatesAreQuoted) {
  Sds->Edit();
  Sds->FieldByName("BORN")->Clear();
  const AnsiString text = BuildAuditText(*Sds, aoUpdate);
  EXPECT_NE(text.find("<BORN><OLD>='"), AnsiString::npos) << text;
  EXPECT_NE(text.find("'<NEW>=''</BORN>"), AnsiString::npos) << text;
  Sds->Cancel();
}

}  // namespace
