// Values between a server-backed dataset and its table: exact numerics at
// the ends of their range and rounding to a column's scale, checked against
// what the server holds.
#include "SDSFieldTransfer.h"

#include <gtest/gtest.h>

#include "SDSTestKit.h"

namespace {

// Through the server's own text of each value (a point before decimals).
std::string ServerRow(TSDSOnFile& Db, int Id) {
  return QueryValue(
      *Db.Database,
      "select N18_2 || ' ' || N18_4 || ' ' || N15_2 from AMOUNTS where ID = " + std::to_string(Id));
}

TEST(SDSFieldTransfer, NumericsLoadAndPostExactlyAtBothEndsOfTheirRange) {
  TTestDatabase file("nocomment");
  file.Isql(
      "CREATE TABLE AMOUNTS (ID INTEGER NOT NULL PRIMARY KEY, N18_2 NUMERIC(18,2), N18_4 "
      "NUMERIC(18,4),\n"
      "  N15_2 NUMERIC(15,2));\n"
      "INSERT INTO AMOUNTS VALUES (1, 92233720368547758.07, 922337203685477.5807, 0);\n"
      "INSERT INTO AMOUNTS VALUES (2, -92233720368547758.08, -922337203685477.5808, 0);\n"
      "INSERT INTO AMOUNTS VALUES (3, 1234567890123456.78, 0.0001, 0);\nCOMMIT;");
  TSDSOnFile db(file);
  auto sds = db.Dataset("AMOUNTS");
  sds->Open();
  struct TCase {
    int Id;
    const char* N18_2;
    const char* N18_4;
  } const cases[] = {{1, "92233720368547758,07", "922337203685477,5807"},
                     {2, "-92233720368547758,08", "-922337203685477,5808"},
                     {3, "1234567890123456,78", "0,0001"}};
  auto dotted = [](AnsiString text) {
    text[text.find(',')] = '.';
    return text;
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Id);
    ASSERT_TRUE(sds->Locate("ID", c.Id, {}));
    EXPECT_EQ(sds->FieldByName("N18_2")->DisplayText(), c.N18_2);
    EXPECT_EQ(sds->FieldByName("N18_4")->DisplayText(), c.N18_4);
    // A post of another field writes them back unchanged; 1.005 (a double a
    // little below it) goes in as the server rounds it, and memory shows that.
    sds->Edit();
    sds->FieldByName("N15_2")->SetAsFloat(1.005);
    EXPECT_EQ(sds->FieldByName("N15_2")->DisplayText(), "1,01");
    sds->Post();
    EXPECT_EQ(ServerRow(db, c.Id), dotted(c.N18_2) + " " + dotted(c.N18_4) + " 1.01");
    // A new row with the same values reaches the server whole.
    sds->Append();
    sds->FieldByName("ID")->SetAsInteger(c.Id + 10);
    sds->FieldByName("N18_2")->SetAsString(c.N18_2);
    sds->FieldByName("N18_4")->SetAsString(c.N18_4);
    sds->FieldByName("N15_2")->SetAsString("-2,675");
    sds->Post();
    EXPECT_EQ(sds->FieldByName("N15_2")->DisplayText(), "-2,68");
    EXPECT_EQ(ServerRow(db, c.Id + 10), dotted(c.N18_2) + " " + dotted(c.N18_4) + " -2.68");
  }
  // An index orders them by value, also beyond Currency.
  sds->SetIndexFieldNames("N18_2");
  AnsiString order;
  for (sds->First(); !sds->Eof(); sds->Next()) order += sds->FieldByName("ID")->AsString() + " ";
  EXPECT_EQ(order, "2 12 3 13 1 11 ");
  // A value past the column's end is refused in memory with the column named.
  sds->Edit();
  try {
    sds->FieldByName("N18_2")->SetAsString("92233720368547758,08");
    ADD_FAILURE() << "accepted";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.Message()).find("N18_2"), std::string::npos) << e.Message();
  }
  sds->Cancel();
}

}  // namespace
