// Storing imported cells: lookup columns by exact match before a partial
// one, key-list columns, typed values, columns and datasets that refuse a
// change; a cell error answered Yes, No or All, No cancelling its row.
#include "COMPONENTS/kslib/DBGridKsImportCell.h"

#include <gtest/gtest.h>

#include "rtl/AnsiText.h"
#include "tests/COMPONENTS/kslib/ExportRows.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

struct TTestTarget : TGridImportTarget {
  explicit TTestTarget(TField* AField) : FieldObject(AField) {}
  bool AllowsChange(bool) override { return Allowed; }
  TField* Field() override { return FieldObject; }
  bool HasKeyList() override { return Keys.Count() > 0; }
  const TStrings& PickList() override { return Picks; }
  const TStrings& KeyList() override { return Keys; }
  TField* FieldObject;
  bool Allowed = true;
  TStringList Picks, Keys;
};

class ImportCellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Cities.FieldDefs()->Add("Id", ftInteger);
    Cities.FieldDefs()->Add("Name", ftString, 20);
    Cities.Open();
    // The longer name first: a partial match alone would take it.
    AppendValues(&Cities, {1, Ansi(u"Иванова")});
    AppendValues(&Cities, {2, Ansi(u"Иван")});
    AddFieldObject(&People, "Id", ftInteger);
    AddFieldObject(&People, "Name", ftString);
    AddFieldObject(&People, "CityId", ftInteger);
    AddLookupField(&People, "City", &Cities, "CityId", "Id", "Name");
    People.Open();
    AppendValues(&People, {10, "a", 7});
    People.First();
  }
  static AnsiString Ansi(const char16_t* Text) { return WideToAnsi(Text); }
  TField* Field(const char* Name) { return People.FieldByName(Name); }

  TArrayDataSet Cities{nullptr};
  TArrayDataSet People{nullptr};
};

TEST_F(ImportCellTest, LookupTakesAnExactMatchBeforeAPartialOne) {
  const struct {
    AnsiString Text;
    int CityId;
  } cases[] = {{Ansi(u"Иван"), 2}, {Ansi(u"иВАН"), 2}, {Ansi(u"Ива"), 1}, {Ansi(u"Петров"), 7}};
  for (const auto& c : cases) {
    TTestTarget city(Field("City"));
    ImportCell(city, c.Text);
    EXPECT_EQ(Field("CityId")->AsInteger(), c.CityId) << c.Text;
    People.Cancel();
  }
}

TEST_F(ImportCellTest, KeyListTextsAndPlainTexts) {
  TTestTarget city(Field("CityId"));
  city.Picks.SetCommaText(Ansi(u"Да,Нет"));
  city.Keys.SetCommaText("1,0");
  ImportCell(city, Ansi(u"Нет"));
  EXPECT_EQ(Field("CityId")->AsInteger(), 0);
  ImportCell(city, "?");
  EXPECT_TRUE(Field("CityId")->IsNull());

  TTestTarget name(Field("Name"));
  ImportCell(name, Ansi(u"Пётр"));
  EXPECT_EQ(Field("Name")->AsString(), Ansi(u"Пётр"));
  EXPECT_EQ(People.State(), dsEdit);
}

TEST_F(ImportCellTest, TypedValuesUnassignedLeavesNullClears) {
  TTestTarget id(Field("Id")), name(Field("Name"));
  ImportCell(id, Value(TExportValueKind::NoField));
  EXPECT_EQ(People.State(), dsBrowse);
  EXPECT_EQ(Field("Id")->AsInteger(), 10);
  ImportCell(id, IntegerValue(-5));
  ImportCell(name, Value(TExportValueKind::String, "xyz"));
  EXPECT_EQ(Field("Id")->AsInteger(), -5);
  EXPECT_EQ(Field("Name")->AsString(), "xyz");
  ImportCell(name, Value(TExportValueKind::Null));
  EXPECT_TRUE(Field("Name")->IsNull());
  ClearImportCell(id);
  EXPECT_TRUE(Field("Id")->IsNull());
}

TEST_F(ImportCellTest, NothingChangesWhereTheColumnOrTheDataSetRefuses) {
  TTestTarget refusing(Field("Name"));
  refusing.Allowed = false;
  ImportCell(refusing, "x");
  ClearImportCell(refusing);
  People.SetReadOnly(true);
  TTestTarget name(Field("Name"));
  ImportCell(name, "x");
  EXPECT_EQ(People.State(), dsBrowse);
  EXPECT_EQ(Field("Name")->AsString(), "a");
}

class RecordWriterTest : public ImportCellTest {
 protected:
  // Id, Name, CityId: the first and last refuse a text that is no number.
  void Write(TCellErrorAnswer Answer, const std::vector<AnsiString>& Cells) {
    TGridImportRecordWriter writer(People, [&](const AnsiString& Message) {
      Questions.push_back(Message);
      return Answer;
    });
    writer.Write(Targets, Cells);
  }
  void SetUp() override {
    ImportCellTest::SetUp();
    Id.FieldObject = Field("Id");
    Name.FieldObject = Field("Name");
    CityId.FieldObject = Field("CityId");
  }
  TTestTarget Id{nullptr}, Name{nullptr}, CityId{nullptr};
  std::vector<TGridImportTarget*> Targets{&Id, &Name, &CityId};
  std::vector<AnsiString> Questions;
};

TEST_F(RecordWriterTest, YesAndAllGoOnWithTheNextCells) {
  Write(TCellErrorAnswer::Ignore, {"x", "b", "y", "dropped"});
  EXPECT_EQ(Questions.size(), 2u);
  EXPECT_EQ(Field("Name")->AsString(), "b");
  People.Cancel();
  Questions.clear();
  Write(TCellErrorAnswer::IgnoreAll, {"x", "c", "y"});
  EXPECT_EQ(Questions.size(), 1u);
  EXPECT_EQ(Field("Name")->AsString(), "c");
}

// The field would keep its first characters only, without a word.
TEST_F(RecordWriterTest, ATextLongerThanItsFieldIsTheCellsError) {
  const AnsiString fits(Field("Name")->Size(), 'a');
  const AnsiString longer = fits + Ansi(u"я");
  Write(TCellErrorAnswer::Ignore, {"", longer});
  ASSERT_EQ(Questions.size(), 1u);
  EXPECT_NE(Questions[0].find("Name"), AnsiString::npos) << Questions[0];
  EXPECT_EQ(Field("Name")->AsString(), "a");
  TGridImportRecordWriter values(People, [&](const AnsiString&) {
    Questions.push_back("value");
    return TCellErrorAnswer::Ignore;
  });
  values.Write(Targets, std::vector<TExportValue>{Value(TExportValueKind::NoField),
                                                  Value(TExportValueKind::String, longer)});
  EXPECT_EQ(Questions.size(), 2u);
  Write(TCellErrorAnswer::Ignore, {"", fits});
  EXPECT_EQ(Questions.size(), 2u);
  EXPECT_EQ(Field("Name")->AsString(), fits);
}

TEST_F(RecordWriterTest, NoCancelsTheInterruptedRowAndKeepsThePostedOnes) {
  Write(TCellErrorAnswer::Abort, {"11", "posted"});
  People.Post();
  People.Append();
  EXPECT_THROW(Write(TCellErrorAnswer::Abort, {"12", "half", "y"}), EAbort);
  EXPECT_EQ(People.State(), dsBrowse);
  EXPECT_EQ(People.RecordCount(), 1);
  People.First();
  EXPECT_EQ(Field("Name")->AsString(), "posted");
  EXPECT_THROW(Write(TCellErrorAnswer::Abort, {"13", "half", "y"}), EAbort);
  EXPECT_EQ(People.State(), dsBrowse);
  EXPECT_EQ(Field("Name")->AsString(), "posted");
}

}  // namespace
