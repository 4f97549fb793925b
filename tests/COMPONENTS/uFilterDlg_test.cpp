// The filter dialog through its real window and real keys, reached through
// the data source as the grid reaches it.
#include "uFilterDlg.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "SDataSource.h"
#include "forms/ScriptedPrompts.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

TfFilterDlg* Dialog() { return dynamic_cast<TfFilterDlg*>(Screen->ActiveForm()); }

std::vector<AnsiString> Lines(TfFilterDlg* Form) {
  std::vector<AnsiString> lines;
  for (int i = 0; i < Form->lbAllFilters->Items()->Count(); ++i)
    lines.push_back(Form->lbAllFilters->Items()->Strings(i));
  return lines;
}

void Click(TWinControl* Control) { SendMessageA(Control->Handle(), BM_CLICK, 0, 0); }

class FilterDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallFilterDialog();
    Goods.FieldDefs()->Add("Name", ftString, 20);
    Goods.FieldDefs()->Add("Price", ftFloat);
    Goods.FieldDefs()->Add("Photo", ftBlob);
    Goods.Open();
    AppendValues(&Goods, {AnsiString("ABC"), 2.5});
    AppendValues(&Goods, {AnsiString("xyz"), 7.0});
    Goods.First();
    Source.SetDataSet(&Goods);
  }
  void TearDown() override { SetFilterDialogHook(nullptr); }
  // Runs the dialog for the field; Steps act on it once it is up.
  void Run(const char* Field, std::function<void(TfFilterDlg*)> Steps) {
    Later([Steps] { Steps(Dialog()); });
    Source.ShowFilterDialog(Goods.FieldByName(Field));
  }

  TArrayDataSet Goods{nullptr};
  TSDataSource Source{nullptr};
};

TEST_F(FilterDlgTest, TypingAndEnterInTheValueApplyTheSubstring) {
  std::vector<AnsiString> opened;
  bool valueFocused = false;
  Run("Name", [&](TfFilterDlg* Form) {
    opened = Lines(Form);
    valueFocused = Form->ActiveControl() == Form->eValue;
    TypeText("yz");
    PressKey(VK_RETURN);
  });
  EXPECT_EQ(opened, (std::vector<AnsiString>{"\"Name\"   СОДЕРЖИТ   'ABC'"}));
  EXPECT_TRUE(valueFocused);
  ASSERT_EQ(Source.Filters().size(), 1u);
  EXPECT_EQ(Source.Filters()[0]->Kind, ffkSubstring);
  EXPECT_EQ(Source.Filters()[0]->Value, "yz");
  EXPECT_TRUE(Goods.Filtered());
  Goods.First();
  EXPECT_EQ(Goods.FieldByName("Name")->AsString(), "xyz");
  Goods.Next();
  EXPECT_TRUE(Goods.Eof());
}

TEST_F(FilterDlgTest, EscKeepsTheCallersConditions) {
  Run("Name", [](TfFilterDlg*) { PressKey(VK_RETURN); });
  const TFieldFilter* kept = Source.Filters().at(0).get();
  Run("Name", [](TfFilterDlg*) {
    TypeText("q");
    PressKey(VK_ESCAPE);
  });
  ASSERT_EQ(Source.Filters().size(), 1u);
  EXPECT_EQ(Source.Filters()[0].get(), kept);
  EXPECT_EQ(kept->Value, "ABC");
}

TEST_F(FilterDlgTest, TheMarkedRecordsBoxesAddOneMarkedCondition) {
  bool otherUnchecked = false;
  Run("Name", [&](TfFilterDlg* Form) {
    Click(Form->cbUnSelFilter);
    Click(Form->cbSelFilter);
    otherUnchecked = !Form->cbUnSelFilter->Checked();
    Click(Form->btnClose);
  });
  EXPECT_TRUE(otherUnchecked);
  ASSERT_EQ(Source.Filters().size(), 2u);
  EXPECT_EQ(Source.Filters()[1]->Kind, ffkMarked);
  EXPECT_FALSE(Source.Filters()[1]->Unmarked);

  bool checkedAgain = false;
  Run("Name", [&](TfFilterDlg* Form) {
    checkedAgain = Form->cbSelFilter->Checked();
    Click(Form->cbUnSelFilter);
    Click(Form->btnClose);
  });
  EXPECT_TRUE(checkedAgain);
  ASSERT_EQ(Source.Filters().size(), 2u);
  EXPECT_TRUE(Source.Filters()[1]->Unmarked);
}

TEST_F(FilterDlgTest, PlusAndMinusEditTheListOfValues) {
  Run("Name", [](TfFilterDlg* Form) {
    Click(Form->rgFType->Buttons(2));  // "Список значений"
    Form->eSingleVar->SetFocus();
    TypeText(" one ");
    PumpUntil([Form] { return Form->eSingleVar->Text() == " one "; });
    Form->SpeedButton1->Click();
    TypeText("two");
    PumpUntil([Form] { return Form->eSingleVar->Text() == "two"; });
    Form->SpeedButton1->Click();
    Form->SpeedButton1->Click();  // empty: nothing added
    Form->lbVariants->SetItemIndex(0);
    Form->SpeedButton2->Click();
    Click(Form->btnClose);
  });
  ASSERT_EQ(Source.Filters().size(), 1u);
  EXPECT_EQ(Source.Filters()[0]->Kind, ffkStringList);
  EXPECT_EQ(Source.Filters()[0]->Strings, (std::vector<AnsiString>{"two"}));
}

TEST_F(FilterDlgTest, EnterInTheStartGoesToTheEndAndThenApplies) {
  TWinControl *first = nullptr, *second = nullptr;
  Run("Price", [&](TfFilterDlg* Form) {
    first = Form->ActiveControl();
    PressKey(VK_RETURN);
    PumpUntil([Form] { return Form->ActiveControl() == Form->eFloatEnd; });
    second = Form->ActiveControl();
    TypeText("9");
    PressKey(VK_RETURN);
    if (first != Form->eFloatBeg || second != Form->eFloatEnd) Click(Form->Button1);
  });
  ASSERT_EQ(Source.Filters().size(), 1u);
  EXPECT_EQ(Source.Filters()[0]->Kind, ffkFloatInterval);
  EXPECT_EQ(Source.Filters()[0]->FloatBeg, 2.5);
  EXPECT_EQ(Source.Filters()[0]->FloatEnd, 9);
}

TEST_F(FilterDlgTest, AddWarnsAboutBadIntervalsAndAddsNothing) {
  TScriptedPrompts prompts;
  prompts.Answer(IDOK);
  prompts.Answer(IDOK);
  size_t afterEnd = 0, afterText = 0;
  Run("Price", [&](TfFilterDlg* Form) {
    Form->eFloatBeg->SetText("5");
    Form->eFloatEnd->SetText("1");
    Click(Form->btnAdd);
    afterEnd = Lines(Form).size();
    Form->eFloatBeg->SetText("пять");
    Click(Form->btnAdd);
    afterText = Lines(Form).size();
    PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(afterEnd, 1u) << "only the condition the dialog opened with";
  EXPECT_EQ(afterText, 1u);
  ASSERT_EQ(prompts.Asked.size(), 2u);
  EXPECT_NE(prompts.Asked[0].Text, FilterParamsWarning);
  EXPECT_EQ(prompts.Asked[1].Text, FilterParamsWarning);
  EXPECT_EQ(prompts.Asked[1].Flags & MB_ICONWARNING, MB_ICONWARNING);
  EXPECT_TRUE(Source.Filters().empty());
}

TEST_F(FilterDlgTest, AFieldTheDialogCannotFilterAddsNothing) {
  int fieldIndex = -2;
  std::vector<AnsiString> lines{"?"};
  Run("Photo", [&](TfFilterDlg* Form) {
    fieldIndex = Form->cbFieldName->ItemIndex();
    lines = Lines(Form);
    PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(fieldIndex, 0);
  EXPECT_TRUE(lines.empty());

  TArrayDataSet pictures(nullptr);
  pictures.FieldDefs()->Add("Photo", ftBlob);
  pictures.Open();
  AppendValues(&pictures, {AnsiString("x")});
  Source.SetDataSet(&pictures);
  bool editable = true;
  Later([&] {
    editable = Dialog()->btnAdd->Enabled() || Dialog()->cbFieldName->Enabled();
    PressKey(VK_ESCAPE);
  });
  Source.ShowFilterDialog(pictures.FieldByName("Photo"));
  EXPECT_FALSE(editable);
}

}  // namespace
