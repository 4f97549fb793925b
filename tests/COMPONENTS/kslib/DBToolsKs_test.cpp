// Variant equality, the special row's cells and settings.
#include "COMPONENTS/kslib/DBToolsKs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "forms/Forms.h"
#include "forms/StdCtrls.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

TEST(VarEqualsKs, FollowsThePlatformsComparisonWithArraysAndFailuresMadeSafe) {
  Variant Empty, Null = Variant::Null();
  Variant One = VarArrayOf({1}), OtherOne = VarArrayOf({1}), Two = VarArrayOf({1, "x"});
  Variant NoElements = VarArrayCreate(0, -1, varVariant);
  Variant NoElements2 = VarArrayCreate(0, -1, varVariant);
  Variant Shifted = VarArrayCreate(1, 1, varVariant);
  Shifted[1] = 1;
  struct Case {
    const char* Name;
    Variant A, B;
    bool Equal;
  } Cases[] = {
      {"Null and Null", Null, Null, true},
      {"empty and Null", Empty, Null, false},
      {"empty and empty", Empty, Empty, true},
      {"empty and 0", Empty, Variant(0), false},
      {"number text and number", Variant("5"), Variant(5), true},
      {"other number text", Variant("6"), Variant(5), false},
      {"text that is no number", Variant("abc"), Variant(5), false},
      {"texts", Variant("Москва"), Variant("Москва"), true},
      {"integer and double", Variant(2), Variant(2.0), true},
      {"array and scalar", One, Variant(1), false},
      {"one-element arrays", One, OtherOne, true},
      {"arrays of other lengths", One, Two, false},
      {"arrays with other bounds", One, Shifted, false},
      {"empty arrays", NoElements, NoElements2, false},
      {"arrays with a failing element", VarArrayOf({"abc"}), VarArrayOf({5}), false},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(VarEqualsKs(C.A, C.B), C.Equal) << C.Name;
    EXPECT_EQ(VarEqualsKs(C.B, C.A), C.Equal) << C.Name << ", turned round";
  }
}

std::vector<AnsiString> CellsOf(const AnsiString& Text) {
  TSpecRowKs Row(nullptr);
  Row.SetCellsText(Text);
  std::vector<AnsiString> Result;
  for (int I = 0; I < Row.Cells()->Count(); ++I) Result.push_back(Row.CellText(I));
  return Result;
}

TEST(SpecRowKs, CellsTextSplitsAtSemicolonsOutsideQuotes) {
  struct Case {
    AnsiString Text;
    std::vector<AnsiString> Cells;
  } Cases[] = {
      {"a;\"b;c\";d", {"a", "b;c", "d"}},
      {"\"say \"\"hi\"\"\";x", {"say \"hi\"", "x"}},
      {"\t\r\n(нет);  все", {"(нет)", "  все"}},
      {"a;\r\nb\r\n", {"a", "b"}},
      {"one;;three", {"one", "", "three"}},
      {"\"unterminated;rest", {"unterminated;rest"}},
      {"\"", {""}},
      {"", {}},
      {AnsiString("a;b\0c;d", 7), {"a", "b"}},
  };
  for (const Case& C : Cases) EXPECT_EQ(CellsOf(C.Text), C.Cells) << C.Text;
  TSpecRowKs Row(nullptr);
  Row.SetCellsText("x;y");
  EXPECT_EQ(Row.CellText(-1), "");
  EXPECT_EQ(Row.CellText(2), "");
}

TEST(SpecRowKs, ColourAndFontFollowTheOwnerUntilSetHere) {
  TForm Form(Application);
  TEdit* Edit = new TEdit(&Form);
  Edit->SetColor(clYellow);
  TSpecRowKs Row(Edit);
  int Changes = 0;
  Row.OnChanged = [&](TObject*) { ++Changes; };
  EXPECT_EQ(Row.Color(), clYellow);
  Edit->SetColor(clAqua);
  EXPECT_EQ(Row.Color(), clAqua);
  Edit->Font()->SetName("Tahoma");
  EXPECT_EQ(Row.Font()->Name(), "Tahoma");
  EXPECT_FALSE(Row.FontAssigned());
  EXPECT_EQ(Changes, 0) << "following the owner is no change";
  Row.SetColor(clRed);
  Row.Font()->SetSize(14);
  EXPECT_EQ(Changes, 2);
  Edit->SetColor(clLime);
  Edit->Font()->SetName("Arial");
  EXPECT_EQ(Row.Color(), clRed);
  EXPECT_EQ(Row.Font()->Name(), "Tahoma");
  EXPECT_EQ(Row.ShortCut(), 0x802E);
  EXPECT_TRUE(Row.ShowIfNotInKeyList());
  EXPECT_TRUE(Row.Value().IsNull());
  EXPECT_FALSE(Row.Visible());
}

TEST(SpecRowKs, AssignCopiesInsideOneUpdateAndTheFontOnlyWhenSet) {
  TSpecRowKs Source(nullptr), Copy(nullptr);
  Source.SetCellsText("(все);\"а;б\"");
  Source.SetColor(clRed);
  Source.SetShortCut(0x8041);
  Source.SetShowIfNotInKeyList(false);
  Source.SetValue(Variant(7));
  Source.SetVisible(true);
  Copy.Font()->SetName("Courier New");
  int Changes = 0;
  Copy.OnChanged = [&](TObject*) { ++Changes; };
  Copy.Assign(&Source);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(Copy.CellsText(), "(все);\"а;б\"");
  EXPECT_EQ(Copy.CellText(1), "а;б");
  EXPECT_EQ(Copy.Color(), clRed);
  EXPECT_EQ(Copy.Font()->Name(), "Courier New") << "the source's font was never set";
  EXPECT_EQ(Copy.ShortCut(), 0x8041);
  EXPECT_FALSE(Copy.ShowIfNotInKeyList());
  EXPECT_EQ(Copy.Value().AsInteger(), 7);
  EXPECT_TRUE(Copy.Visible());
  Copy.SetValue(Variant("7"));
  EXPECT_EQ(Changes, 1) << "an equal value is no change";
}

// --- Field lists and values

struct TPeople : ::testing::Test {
  TArrayDataSet Data{nullptr};
  void SetUp() override {
    Data.FieldDefs()->Add("Id", ftInteger);
    Data.FieldDefs()->Add("City", ftString, 20);
    Data.FieldDefs()->Add("Name", ftString, 20);
    Data.Open();
    AppendValues(&Data, {1, "Тверь", "Анна"});
    AppendValues(&Data, {2, "Москва", "Борис"});
    AppendValues(&Data, {3, "Тверь", "Вера"});
    AppendValues(&Data, {4, "Бежецк", "Глеб"});
    Data.First();
  }
};

TEST_F(TPeople, FieldListsKeepTheirOrderAndNameAnUnknownField) {
  std::vector<TField*> Fields = GetFieldsArray(&Data, nullptr, "Name; Id");
  ASSERT_EQ(Fields.size(), 2u);
  EXPECT_EQ(Fields[0]->FieldName(), "Name");
  EXPECT_EQ(Fields[1]->FieldName(), "Id");
  TComponent Grid(nullptr);
  Grid.SetName("Grid");
  try {
    GetFieldsArray(&Data, &Grid, "Id;Town");
    FAIL() << "an unknown field raises";
  } catch (EDatabaseError& E) {
    EXPECT_NE(E.Message().find("Поле 'Town' не найдено"), AnsiString::npos) << E.Message();
    EXPECT_NE(E.Message().find("Grid"), AnsiString::npos) << "the component is named";
  }
  std::vector<TField*> Appended{Fields[0]};
  GetFieldsByNames(&Appended, &Data, nullptr, "City");
  EXPECT_EQ(Appended.size(), 2u);
  EXPECT_NO_THROW(GetFieldsByNames(nullptr, &Data, nullptr, "Id;City"));
}

TEST_F(TPeople, SettingFieldValuesTakesAnArrayAndNullClears) {
  Data.Edit();
  SetFieldsValues(&Data, "City;Name", VarArrayOf({"Ржев", "Дина"}));
  EXPECT_EQ(Data.FieldByName("City")->AsString(), "Ржев");
  EXPECT_EQ(Data.FieldByName("Name")->AsString(), "Дина");
  SetFieldValuesOrClear(&Data, "City;Name", Variant::Null());
  EXPECT_TRUE(Data.FieldByName("City")->IsNull());
  EXPECT_TRUE(Data.FieldByName("Name")->IsNull());
  SetFieldsValues(&Data, "Id", Variant(9));
  EXPECT_EQ(Data.FieldByName("Id")->AsInteger(), 9);
  Data.Cancel();
}

TEST_F(TPeople, TheValueListIsSortedDistinctAndKeepsThePosition) {
  TDatasetFieldValueListKs List;
  List.SetDataSet(&Data);
  List.SetFieldName("City");
  Data.Next();
  Data.Next();
  ASSERT_EQ(Data.FieldByName("Id")->AsInteger(), 3);
  std::vector<AnsiString> Values;
  for (int I = 0; I < List.Values()->Count(); ++I) Values.push_back(List.Values()->Strings(I));
  EXPECT_EQ(Values, (std::vector<AnsiString>{"Бежецк", "Москва", "Тверь"}));
  EXPECT_EQ(Data.FieldByName("Id")->AsInteger(), 3) << "the user stays on the record";
  AppendValues(&Data, {5, "Ржев", "Дина"});
  EXPECT_EQ(List.Values()->Count(), 4) << "a change of the data is seen";
  EXPECT_EQ(Data.FieldByName("Id")->AsInteger(), 5);
  List.SetFieldName("Name");
  EXPECT_EQ(List.Values()->Strings(0), "Анна");
  Data.Edit();
  Data.FieldByName("Name")->SetAsString("Ефим");
  List.SetFieldName("City");
  List.Values();
  EXPECT_EQ(Data.State(), dsEdit) << "an edited record is not moved off and posted";
  EXPECT_EQ(Data.FieldByName("Name")->AsString(), "Ефим");
  Data.Cancel();
  EXPECT_EQ(List.Values()->Count(), 4);
  List.SetFieldName("Nothing");
  EXPECT_EQ(List.Values()->Count(), 0);
}

TEST_F(TPeople, AValueListMadeForACellRereadsWhenItsFieldOrDatasetChanges) {
  std::unique_ptr<TDatasetFieldValueListKs> List = DataLinkOwnerCreate();
  EXPECT_EQ(List->Values()->Count(), 0) << "no dataset yet";
  SetDataLinkDataSet(List.get(), &Data);
  SetDataLinkFieldName(List.get(), "Name");
  ASSERT_GT(List->Values()->Count(), 0);
  EXPECT_EQ(List->Values()->Strings(0), "Анна");
  SetDataLinkFieldName(List.get(), "City");
  EXPECT_EQ(List->Values()->Strings(0), "Бежецк");
  SetDataLinkDataSet(List.get(), nullptr);
  EXPECT_EQ(List->Values()->Count(), 0);
}

// A dataset that offers the tree interface (none of the program does).
struct TTreeDataSet : TArrayDataSet, IMemTableKs {
  using TArrayDataSet::TArrayDataSet;
  int VisibleRowCount() override { return 0; }
  int CurrentRow() override { return -1; }
  void SetRowsInView(int) override {}
  bool TreeNavigation() override { return false; }
  void SetTreeNavigation(bool) override {}
  void ExpandRow(int, TTreeExpandKs) override {}
  int NodeLevel() override { return 0; }
  bool NodeHasNextSibling(int) override { return false; }
  bool NodeHasChildren() override { return false; }
  bool NodeExpanded() override { return false; }
  void GetFieldValues(const AnsiString&, TStrings*) override {}
};

TEST(MemTableIntf, OnlyADatasetThatOffersTheTreeInterfaceAnswers) {
  TArrayDataSet Plain(nullptr);
  TTreeDataSet Tree(nullptr);
  EXPECT_EQ(GetMemTableIntf(&Plain), nullptr);
  EXPECT_EQ(GetMemTableIntf(&Tree), static_cast<IMemTableKs*>(&Tree));
  EXPECT_EQ(GetMemTableIntf(nullptr), nullptr);
  const GUID& Id = IMemTableKs::IID;
  char Text[40];
  snprintf(Text, sizeof Text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", Id.Data1,
           Id.Data2, Id.Data3, Id.Data4[0], Id.Data4[1], Id.Data4[2], Id.Data4[3], Id.Data4[4],
           Id.Data4[5], Id.Data4[6], Id.Data4[7]);
  EXPECT_STREQ(Text, "{A8C3C87A-E556-4BDB-B8A7-5B33497D1624}");
}

}  // namespace
