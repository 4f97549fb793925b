// The filter dialog's decisions: the fields and choices it offers,
// conditions built from the editors' texts, conditions shown back in the
// editors, and the lines of the condition list.
#include <gtest/gtest.h>

#include "tests/platform/db/ArrayDataSet.h"
#include "FilterDlgLogic.h"
#include "rtl/SysUtils.h"

namespace {

class FilterDlgLogicTest : public testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("Name", ftString, 40);
    Table.FieldDefs()->Add("Photo", ftBlob);
    Table.FieldDefs()->Add("Qty", ftInteger);
    Table.FieldDefs()->Add("Price", ftFloat);
    Table.FieldDefs()->Add("Day", ftDate);
    Table.FieldDefs()->Add("Stamp", ftDateTime);
    Table.FieldDefs()->Add("Paid", ftBoolean);
    Table.Open();
    Table.FieldByName("Name")->SetDisplayLabel("Фамилия");
  }
  TField* F(const char* Name) { return Table.FieldByName(Name); }
  std::unique_ptr<TFieldFilter> Quiet(const char* Name, const TFilterEditors& Editors) {
    return BuildFieldFilter(F(Name), Editors, TFilterBuild::Quiet);
  }
  TArrayDataSet Table{nullptr};
};

TEST_F(FilterDlgLogicTest, OffersTheFieldsOfKnownTypesWithTheirTypeNames) {
  std::vector<AnsiString> captions;
  for (const TOfferedField& offered : OfferedFilterFields(&Table)) captions.push_back(offered.Caption);
  EXPECT_EQ(captions, (std::vector<AnsiString>{"Фамилия (строка)", "Qty (целое)", "Price (дробное)",
                                               "Day (дата)", "Stamp (дата)", "Paid (логическое)"}));
  EXPECT_EQ(FilterTypeName(ffcNone), "Ошибка");
  TFilterChoices text = FilterChoices(ffcString);
  EXPECT_EQ(text.Items[text.Initial], "Подстрока");
  EXPECT_EQ(text.Items.size(), 4u);
  TFilterChoices number = FilterChoices(ffcFloat);
  EXPECT_EQ(number.Items, (std::vector<AnsiString>{"Интервал", "Список значений"}));
  EXPECT_EQ(number.Initial, 0);
  EXPECT_TRUE(FilterChoices(ffcBoolean).Items.empty());
}

TEST_F(FilterDlgLogicTest, EachChoiceBuildsItsKindAndShowsBackAsTheSameChoice) {
  struct Case {
    const char* Field;
    int Choice;
    uint8_t Kind;
    TFilterPanel Panel;
  };
  const Case cases[] = {
      {"Name", 0, ffkExact, fpValue},          {"Name", 1, ffkSubstring, fpValue},
      {"Name", 2, ffkStringList, fpVariants},  {"Name", 3, ffkSubstrings, fpVariants},
      {"Qty", 0, ffkFloatInterval, fpFloatInterval}, {"Price", 1, ffkFloatList, fpVariants},
      {"Day", 0, ffkDateInterval, fpDateInterval},   {"Day", 1, ffkDateList, fpVariants},
      {"Stamp", 0, ffkDateInterval, fpDateInterval}, {"Stamp", 1, ffkDateList, fpVariants},
      {"Paid", -1, ffkBoolean, fpBoolean},
  };
  for (const Case& c : cases) {
    TFilterEditors editors;
    editors.Choice = c.Choice;
    editors.DatBeg = editors.DatEnd = "01.02.2024";
    std::unique_ptr<TFieldFilter> filter = Quiet(c.Field, editors);
    ASSERT_TRUE(filter) << c.Field << " " << c.Choice;
    EXPECT_EQ(filter->Kind, c.Kind) << c.Field << " " << c.Choice;
    EXPECT_EQ(FilterEditorsOf(*filter).Choice, c.Choice) << c.Field;
    EXPECT_EQ(FilterPanelOf(FilterFieldClass(F(c.Field)->DataType()), c.Choice), c.Panel) << c.Field;
  }
}

TEST_F(FilterDlgLogicTest, NumbersAndDatesReadInTheUsersLocale) {
  TFilterEditors editors;
  editors.Choice = 0;
  editors.FloatBeg = "1,5";
  editors.FloatEnd = "";
  editors.FloatEnd = "2,75";
  std::unique_ptr<TFieldFilter> interval = Quiet("Price", editors);
  EXPECT_EQ(interval->FloatBeg, 1.5);
  EXPECT_EQ(interval->FloatEnd, 2.75);

  editors.FloatBeg = "  ";
  editors.FloatEnd = "3";
  EXPECT_EQ(Quiet("Qty", editors)->FloatBeg, 0) << "an empty editor reads as 0";

  editors.Choice = 1;
  editors.Variants = {"1,25", "-3"};
  EXPECT_EQ(Quiet("Price", editors)->Floats, (std::vector<double>{1.25, -3}));

  editors.Choice = 0;
  editors.DatBeg = "01.02.2024";
  editors.DatEnd = "29.02.2024";
  std::unique_ptr<TFieldFilter> days = Quiet("Day", editors);
  EXPECT_EQ(days->DateBeg, EncodeDate(2024, 2, 1));
  EXPECT_EQ(days->DateEnd, EncodeDate(2024, 2, 29));

  editors.Choice = 1;
  editors.Variants = {"01.02.2024 10:30:00", "02.02.2024 00:00:00"};
  std::unique_ptr<TFieldFilter> stamps = Quiet("Stamp", editors);
  ASSERT_EQ(stamps->Kind, ffkDateList);
  EXPECT_NEAR(stamps->Dates[0], EncodeDate(2024, 2, 1) + 10.5 / 24, 1e-9);
  EXPECT_EQ(stamps->Dates[1], EncodeDate(2024, 2, 2));
}

TEST_F(FilterDlgLogicTest, UnreadableTextsMakeNoConditionAndWarnOnlyWhenStrict) {
  struct Case {
    const char* Field;
    int Choice;
    const char* Beg;
    const char* End;
    std::vector<AnsiString> Variants;
  };
  const Case cases[] = {
      {"Price", 0, "1.5x", "2", {}},
      {"Qty", 1, "", "", {"7", "семь"}},
      {"Day", 0, "31.02.2024", "01.03.2024", {}},
      {"Day", 0, "", "01.03.2024", {}},
      {"Stamp", 1, "", "", {"вчера"}},
  };
  for (const Case& c : cases) {
    TFilterEditors editors;
    editors.Choice = c.Choice;
    editors.FloatBeg = editors.DatBeg = c.Beg;
    editors.FloatEnd = editors.DatEnd = c.End;
    editors.Variants = c.Variants;
    EXPECT_FALSE(Quiet(c.Field, editors)) << c.Field << " " << c.Beg;
    try {
      BuildFieldFilter(F(c.Field), editors, TFilterBuild::Strict);
      ADD_FAILURE() << c.Field << " " << c.Beg << ": no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), FilterParamsWarning) << c.Field << " " << c.Beg;
    }
  }
}

TEST_F(FilterDlgLogicTest, AnIntervalEndingBeforeItStartsIsRefusedOnlyWhenStrict) {
  TFilterEditors editors;
  editors.Choice = 0;
  editors.FloatBeg = "5";
  editors.FloatEnd = "4,9";
  editors.DatBeg = "02.01.2024";
  editors.DatEnd = "01.01.2024";
  for (const char* field : {"Price", "Day", "Stamp"}) {
    EXPECT_TRUE(Quiet(field, editors)) << field;
    try {
      BuildFieldFilter(F(field), editors, TFilterBuild::Strict);
      ADD_FAILURE() << field << ": no error";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message(), FilterParamsWarning);
      EXPECT_FALSE(e.Message().empty());
    }
  }
  editors.FloatEnd = "5";
  EXPECT_TRUE(BuildFieldFilter(F("Price"), editors, TFilterBuild::Strict)) << "one point is an interval";
}

TEST_F(FilterDlgLogicTest, TheEditorsStartFromTheCurrentValue) {
  Table.Append();
  F("Name")->SetAsString("АБВ");
  F("Price")->SetAsFloat(2.1234567);
  F("Day")->SetAsDateTime(EncodeDate(2024, 5, 9));
  F("Stamp")->SetAsDateTime(EncodeDate(2024, 5, 9) + 0.75);
  F("Paid")->SetAsBoolean(false);
  Table.Post();

  TFilterEditors editors;
  for (const char* field : {"Name", "Price", "Paid"}) FillFilterEditors(F(field), editors);
  EXPECT_EQ(editors.Value, "АБВ");
  EXPECT_EQ(editors.FloatBeg, "2,12346");
  EXPECT_EQ(editors.FloatEnd, "2,12346");
  EXPECT_EQ(editors.BoolIndex, 1);
  FillFilterEditors(F("Day"), editors);
  EXPECT_EQ(editors.DatBeg, "09.05.2024");
  EXPECT_EQ(FilterDateMask(F("Day")), "!99/99/0000;1;_");
  FillFilterEditors(F("Stamp"), editors);
  EXPECT_EQ(editors.DatBeg, "09.05.2024 18:00:00");
  EXPECT_EQ(editors.DatEnd, "09.05.2024 18:00:00");
  EXPECT_EQ(FilterDateMask(F("Stamp")), "!99/99/0000 90:00:00;1;_");

  Table.Append();
  Table.Post();
  FillFilterEditors(F("Stamp"), editors);
  EXPECT_EQ(editors.DatBeg, "09.05.2024 18:00:00") << "a null date-time keeps the start";
  FillFilterEditors(F("Paid"), editors);
  EXPECT_EQ(editors.BoolIndex, 2);
}

TEST_F(FilterDlgLogicTest, ADateTimeListKeepsItsTimesThroughTheEditors) {
  TFieldFilter filter;
  filter.Field = F("Stamp");
  filter.Kind = ffkDateList;
  filter.Dates = {EncodeDate(2024, 1, 2) + 0.25, EncodeDate(2024, 1, 3)};
  TFilterEditors editors = FilterEditorsOf(filter);
  EXPECT_EQ(editors.Variants,
            (std::vector<AnsiString>{"02.01.2024 06:00:00", "03.01.2024 00:00:00"}));
  std::unique_ptr<TFieldFilter> rebuilt = Quiet("Stamp", editors);
  EXPECT_EQ(rebuilt->Dates, filter.Dates);

  filter.Kind = ffkDateInterval;
  filter.DateBeg = 0;
  filter.DateEnd = EncodeDate(2024, 1, 2);
  editors = FilterEditorsOf(filter);
  EXPECT_EQ(editors.DatBeg, "") << "a bound of 0 leaves its editor empty";
  EXPECT_EQ(editors.DatEnd, "02.01.2024 00:00:00");
}

TEST_F(FilterDlgLogicTest, ListLinesNameTheFieldAndQuoteTheValues) {
  struct Case {
    const char* Field;
    uint8_t Kind;
    const char* Line;
  };
  const Case cases[] = {
      {"Name", ffkSubstring, "\"Фамилия\"   СОДЕРЖИТ   'аб'"},
      {"Name", ffkExact, "\"Фамилия\"   =   'аб'"},
      {"Name", ffkStringList, "\"Фамилия\"   ОДИН ИЗ   'x', 'y z'"},
      {"Name", ffkSubstrings, "\"Фамилия\"СОДЕРЖИТ ОДНУ ИЗ СТРОК 'x', 'y z'"},
      {"Price", ffkFloatInterval, "1,5 <= \"Price\" <= 20"},
      {"Price", ffkFloatList, "\"Price\"   ОДИН ИЗ   '0,25', '-1'"},
      {"Day", ffkDateInterval, "\"Day\"   С   '01.02.2024'   ПО   '03.02.2024'"},
      {"Day", ffkDateList, "\"Day\"   ОДИН ИЗ   '01.02.2024'"},
      {"Stamp", ffkDateList, "\"Stamp\"   ОДИН ИЗ   '01.02.2024 12:00:00'"},
      {"Paid", ffkBoolean, "\"Paid\"= ?"},
  };
  for (const Case& c : cases) {
    TFieldFilter filter;
    filter.Field = F(c.Field);
    filter.Kind = c.Kind;
    filter.Value = "аб";
    filter.Strings = {"x", "y z"};
    filter.FloatBeg = 1.5;
    filter.FloatEnd = 20;
    filter.Floats = {0.25, -1};
    filter.DateBeg = EncodeDate(2024, 2, 1);
    filter.DateEnd = EncodeDate(2024, 2, 3);
    filter.Dates = {EncodeDate(2024, 2, 1) + (c.Kind == ffkDateList && c.Field[0] == 'S' ? 0.5 : 0)};
    filter.BoolValue = -1;
    EXPECT_EQ(FilterLineText(filter), c.Line);
  }
  TFieldFilter yes;
  yes.Field = F("Paid");
  yes.Kind = ffkBoolean;
  yes.BoolValue = 1;
  EXPECT_EQ(FilterLineText(yes), "\"Paid\"= Да");
  yes.BoolValue = 0;
  EXPECT_EQ(FilterLineText(yes), "\"Paid\"= Нет");
}

}  // namespace
