// The value prompt through its real window and keys, alone and as the
// group fill asks it.
#include "UKORRGR.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "SDataSource.h"
#include "forms/Prompts.h"
#include "tests/COMPONENTS/ShowingPrompts.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "uIterators.h"
#include "zynMemTable.h"

namespace {

TFKORGR* Dialog() { return dynamic_cast<TFKORGR*>(Screen->ActiveForm()); }

class ValuePromptTest : public testing::Test {
 protected:
  void SetUp() override { InstallValuePrompt(); }
  void TearDown() override {
    SetPromptValueHook(nullptr);
    SetScreenCursorHook(nullptr);
  }
  // Asks for a value; Steps act on the dialog once it is up.
  bool Ask(uint8_t Type, std::function<void(TFKORGR*)> Steps, Variant& Value) {
    Later([Steps] { Steps(Dialog()); });
    return PromptValue("Заголовок", Type, Value);
  }
  TShowingPrompts Prompts;
};

TEST_F(ValuePromptTest, OnlyAConvertedTextIsAccepted) {
  const struct {
    uint8_t Type;
    const char* Text;
    Variant Expected;
  } cases[] = {
      {pvInteger, "42", 42},
      // A number is kept as typed: money is computed on its digits.
      {pvFloat, "2,5", "2,5"},
      {pvFloat, "0,10000000000000001", "0,10000000000000001"},
      {pvDate, "01.02.2024", VarFromDateTime(EncodeDate(2024, 2, 1))},
      {pvString, "  two words ", "two words"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    AnsiString label, caption;
    Variant value;
    EXPECT_TRUE(Ask(c.Type, [&](TFKORGR* Form) {
      label = Form->Label2->Caption();
      caption = Form->GroupBox1->Caption();
      TypeText(c.Text);
      PressKey(VK_RETURN);
    }, value));
    EXPECT_EQ(value, c.Expected);
    EXPECT_EQ(VarType(value), VarType(c.Expected));
    EXPECT_EQ(caption, "Заголовок");
    EXPECT_FALSE(label.empty());
  }
  // A text that does not convert is refused with its error; the dialog
  // stays for another try.
  Variant value;
  bool stayed = false;
  EXPECT_TRUE(Ask(pvInteger, [&](TFKORGR* Form) {
    TypeText("12x");
    PressKey(VK_RETURN);
    PumpUntil([&] { return !Prompts.Told.empty(); });
    stayed = Dialog() == Form && Form->Visible();
    Form->MaskEdit1->SetText("");
    TypeText("12");
    PressKey(VK_RETURN);
  }, value));
  EXPECT_TRUE(stayed);
  EXPECT_EQ(Prompts.Told.size(), 1u);
  EXPECT_EQ(value, Variant(12));
}

TEST_F(ValuePromptTest, EscAndATypelessPromptAcceptNothing) {
  Variant value = 5;
  EXPECT_FALSE(Ask(pvFloat, [](TFKORGR*) {
    TypeText("3");
    PressKey(VK_ESCAPE);
  }, value));
  EXPECT_EQ(value, Variant(5));
  try {
    PromptValue("Заголовок", pvNone, value);
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Ошибочное обращение к запросной форме\n\rНе задан тип значения");
  }
}

// A fill whose prompt got a wrong text and then Esc leaves the column as it
// was; the column is filled only with a value that converted.
TEST_F(ValuePromptTest, AFillTakesOnlyAConvertedValue) {
  TzynMemTable table(nullptr);
  table.FieldDefs()->Add("QTY", ftInteger);
  table.Open();
  for (int qty : {1, 2}) AppendValues(&table, {qty});
  TSDataSource source(nullptr);
  source.SetDataSet(&table);
  Later([] {
    TypeText("abc");
    PressKey(VK_RETURN);
    PressKey(VK_ESCAPE);
  });
  RunGroupOperation(&source, table.FieldByName("QTY"), grFill);
  Later([] {
    TypeText("7");
    PressKey(VK_RETURN);
  });
  std::vector<int> before;
  for (table.First(); !table.Eof(); table.Next()) before.push_back(table.FieldByName("QTY")->AsInteger());
  RunGroupOperation(&source, table.FieldByName("QTY"), grFill);
  std::vector<int> after;
  for (table.First(); !table.Eof(); table.Next()) after.push_back(table.FieldByName("QTY")->AsInteger());
  EXPECT_EQ(before, (std::vector<int>{1, 2}));
  EXPECT_EQ(after, (std::vector<int>{7, 7}));
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

}  // namespace
