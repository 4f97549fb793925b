// The service grid as a person uses it: a form with the grid over a data
// source adapter over a levelled server dataset filled from a stream, real
// key and mouse messages through the application's loop, the filter dialog
// and the value prompt answered through their windows.
#include <gtest/gtest.h>

#include "DBSGridKs.h"
#include "uFilterDlg.h"
#include "FormsTestKit.h"
#include "GridForm.h"
#include "SDS.h"
#include "SDataSource.h"
#include "CommonInterface.h"
#include "UKORRGR.h"
#include "uIterators.h"
#include "forms/Menus.h"
#include "forms/Prompts.h"
#include "rtl/Classes.h"
#include "tests/COMPONENTS/SDSPlainTable.h"
#include "tests/COMPONENTS/ScriptedDataPrompts.h"
#include "tests/COMPONENTS/ShowingPrompts.h"
#include "zynMemTable.h"

namespace {

// After the grid unit, ended before it.
class TScenarioEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    InitServiceActionsUnit();
    InitServiceGridUnit();
    InstallFilterDialog();
    InstallValuePrompt();
  }
  void TearDown() override {
    DoneServiceGridUnit();
    DoneServiceActionsUnit();
  }
};
const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new TScenarioEnvironment);

// Names and quantities under their parents (0 the top): four top-level
// records, two list records under Отдел.
struct TRow {
  int64_t ID;
  int PID;
  const char* Name;
  int Qty;
};
constexpr TRow Rows[] = {{1, 0, "Отдел", 10}, {2, 0, "Склад", 20}, {3, 0, "Цех", 30},
                         {4, 0, "Касса", 40}, {5, 1, "Иванов", 5},  {6, 1, "Петров", 6}};

// The rows as a stream of the in-memory format.
void WriteFixture(TStream* Stream) {
  TSDS table(nullptr);
  DefineHierarchy(table);
  table.FieldDefs()->Add("QTY", ftInteger);
  table.Open();
  for (const TRow& row : Rows)
    AppendValues(&table, {Variant(row.ID), row.PID, row.PID ? 0x40000000 : 0,
                          Variant(), row.Name, row.Qty});
  table.SaveToStream(Stream);
}

// Types into the dialog a service key opened: the key's modifiers are
// still held in the thread's keyboard state while the dialog is up.
void AnswerDialog(const char* Text) {
  Later([Text] {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = state[VK_SHIFT] = state[VK_MENU] = 0;
    SetKeyboardState(state);
    PostText(Text);
    PostKey(VK_RETURN);
  });
}

class ServiceGridScenario : public testing::Test {
 protected:
  void SetUp() override {
    DefineHierarchy(Tree);
    Tree.FieldDefs()->Add("QTY", ftInteger);
    Tree.Open();
    TMemoryStream stream;
    WriteFixture(&stream);
    stream.SetPosition(0);
    Tree.LoadFromStream(&stream);
    for (const char* name : {"SYS$ID", "SYS$PID", "SYS$STATE", "SYS$TIME"}) Tree.FieldByName(name)->SetVisible(false);
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
    Source.SetDataSet(&Tree);
    Form.Grid->SetDataSource(&Source);
    Form.Show();
  }
  void Select(const char* Field) { Form.Grid->SetSelectedField(Tree.FieldByName(Field)); }
  // Names and quantities in the order the grid shows the current level.
  std::vector<std::pair<AnsiString, int>> Shown() {
    std::vector<std::pair<AnsiString, int>> rows;
    const TBookmark at = Tree.GetBookmark();
    for (Tree.First(); !Tree.Eof(); Tree.Next())
      rows.emplace_back(Tree.FieldByName("NAME")->AsString(), Tree.FieldByName("QTY")->AsInteger());
    Tree.GotoBookmark(at);
    return rows;
  }
  // Every record as the dataset saves it, in its stream's order.
  std::vector<std::pair<AnsiString, int>> Saved() {
    TMemoryStream stream;
    Tree.SaveToStream(&stream);
    stream.SetPosition(0);
    TzynMemTable copy(nullptr);
    copy.LoadFromStream(&stream);
    std::vector<std::pair<AnsiString, int>> rows;
    for (copy.First(); !copy.Eof(); copy.Next())
      rows.emplace_back(copy.FieldByName("NAME")->AsString(), copy.FieldByName("QTY")->AsInteger());
    return rows;
  }
  // The colour inside a data cell of the current level's row (0 first).
  COLORREF CellColour(int Row, const char* Field) {
    TDBSGridKs* grid = Form.Grid;
    TDibDC dib(grid->ClientWidth(), grid->ClientHeight());
    PrintClient(grid->Handle(), dib);
    int column = 0;
    while (grid->Columns()->Items(column)->FieldName() != Field) ++column;
    const RECT cell = grid->CellRect(grid->DataToRawColumn(column), grid->TitleOffset() + Row);
    return dib.Pixel(cell.right - 3, cell.bottom - 3);
  }

  TSDS Tree{nullptr};
  TSDataSource Source{nullptr};
  TGridForm<TDBSGridKs> Form{0, false};
  TScriptedDataPrompts Prompts;
  TShowingPrompts Windows;
};

using TRows = std::vector<std::pair<AnsiString, int>>;

TEST_F(ServiceGridScenario, MarksSortFilterAndGroupOperationsThroughKeysAndWindows) {
  Select("QTY");
  // Marks on two rows, shown in the mark colour where the cursor is not.
  PostKey(VK_F3, {VK_SHIFT});
  PostKey(VK_DOWN);
  PostKey(VK_DOWN);
  PostKey(VK_F3, {VK_SHIFT});
  PostKey(VK_UP);
  EXPECT_EQ(CellColour(0, "QTY"), ServiceMarkColor);
  EXPECT_EQ(CellColour(2, "NAME"), ServiceMarkColor);
  EXPECT_NE(CellColour(1, "NAME"), ServiceMarkColor);
  EXPECT_NE(CellColour(3, "NAME"), ServiceMarkColor);
  PostKey(VK_UP);
  PostKey(VK_F3, {VK_SHIFT});
  PostKey(VK_DOWN);
  PostKey(VK_DOWN);
  PostKey(VK_F3, {VK_SHIFT});
  EXPECT_TRUE(Source.Marker()->IsEmpty());

  // Sorted by name; then only the names with "е" through the filter dialog.
  Select("NAME");
  PostKey(VK_F6, {VK_CONTROL});
  EXPECT_EQ(Shown(), (TRows{{"Касса", 40}, {"Отдел", 10}, {"Склад", 20}, {"Цех", 30}}));
  AnswerDialog("\xE5");  // е
  PostKey(VK_F7, {VK_CONTROL});
  EXPECT_EQ(Shown(), (TRows{{"Отдел", 10}, {"Цех", 30}}));

  // Replace the current record's value in the column, then add to it all.
  Tree.First();
  Select("QTY");
  AnswerDialog("15");
  PostKey(VK_F10, {VK_CONTROL});
  EXPECT_EQ(Shown(), (TRows{{"Отдел", 15}, {"Цех", 30}}));
  AnswerDialog("5");
  PostKey(VK_ADD, {VK_CONTROL});
  EXPECT_EQ(Shown(), (TRows{{"Отдел", 20}, {"Цех", 35}}));
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Отдел") << "back on the starting record";

  // The sum of the marked rows, told in its message.
  PostKey(VK_DOWN);
  PostKey(VK_F3, {VK_SHIFT});
  PostKey(VK_F4, {VK_SHIFT, VK_CONTROL});
  EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Итого по ПОМЕЧЕННЫМ строкам в графе QTY  35"});

  // Without the filter, one more mark and the marked rows deleted.
  PostKey(VK_F7, {VK_SHIFT});
  Tree.First();
  PostKey(VK_F3, {VK_SHIFT});
  ASSERT_EQ(Tree.FieldByName("NAME")->AsString(), "Касса");
  Prompts.Answers = {true};
  PostKey(VK_F9, {VK_SHIFT});
  EXPECT_EQ(Prompts.Questions, std::vector<AnsiString>{"Удалить ПОМЕЧЕННЫЕ записи?"});
  EXPECT_EQ(Shown(), (TRows{{"Отдел", 20}, {"Склад", 20}}));
  EXPECT_EQ(Tree.State(), dsBrowse);
  EXPECT_EQ(Saved(), (TRows{{"Отдел", 20}, {"Склад", 20}, {"Иванов", 5}, {"Петров", 6}}));
  EXPECT_EQ(Windows.Told, std::vector<AnsiString>{});
}

// Marking the current row shows at once in its cells but the focused one,
// with the current row highlighted or not.
TEST_F(ServiceGridScenario, TheMarkedCurrentRowShowsTheMarkAtOnce) {
  Select("QTY");
  for (const bool rowHighlight : {true, false}) {
    SCOPED_TRACE(rowHighlight ? "row highlight" : "no row highlight");
    TDBSGridKs* grid = Form.Grid;
    grid->SetOptionsKs(rowHighlight ? grid->OptionsKs() + TDBGridKsOptions{dghRowHighlight}
                                    : grid->OptionsKs() - TDBGridKsOptions{dghRowHighlight});
    const COLORREF unmarked = CellColour(0, "NAME");
    PostKey(VK_F3, {VK_SHIFT});
    ASSERT_TRUE(Source.Marker()->IsMarked());
    EXPECT_EQ(CellColour(0, "NAME"), ServiceMarkColor);
    EXPECT_NE(CellColour(0, "QTY"), ServiceMarkColor) << "the focused cell";
    PostKey(VK_F3, {VK_SHIFT});
    EXPECT_EQ(CellColour(0, "NAME"), unmarked);
  }
}

// A marked row deleted by its key takes its mark along: no row shows one,
// the count covers every row and a fill asks about the whole column.
TEST_F(ServiceGridScenario, AMarkedRowDeletedByItsKeyTakesItsMarkAlong) {
  Select("QTY");
  PostKey(VK_DOWN);
  PostKey(VK_F3, {VK_SHIFT});
  ASSERT_FALSE(Source.Marker()->IsEmpty());
  PostKey(VK_DELETE, {VK_CONTROL});
  EXPECT_EQ(Windows.Told, std::vector<AnsiString>{"Удалить запись?"});
  ASSERT_EQ(Shown(), (TRows{{"Отдел", 10}, {"Цех", 30}, {"Касса", 40}}));
  for (int row = 0; row < 3; ++row) EXPECT_NE(CellColour(row, "NAME"), ServiceMarkColor) << row;
  PostKey(VK_F5, {VK_CONTROL});
  EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Количество  строк = 3"});
  std::vector<AnsiString> asked;
  SetPromptValueHook([&](const AnsiString& Caption, uint8_t, Variant&) {
    asked.push_back(Caption);
    return false;
  });
  PostKey(VK_F9, {VK_CONTROL});
  InstallValuePrompt();
  EXPECT_EQ(asked, std::vector<AnsiString>{"Заменить в ГРАФЕ все значения на заданное"});
}

// Levels by Enter, Esc, the level key and a click on a level row; then the
// editing keys on the records below.
TEST_F(ServiceGridScenario, LevelsAndEditingKeys) {
  Select("NAME");
  PostKey(VK_RETURN);
  EXPECT_EQ(Shown(), (TRows{{"Иванов", 5}, {"Петров", 6}}));
  EXPECT_EQ(Form.Grid->LevelRowCount(), 1);
  PostKey(VK_ESCAPE);
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Отдел");
  PostKey(VK_F3);
  EXPECT_EQ(Shown().size(), 6u);
  ASSERT_TRUE(Tree.Locate("NAME", Variant("Петров"), {}));
  PostKey(VK_F3);
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Петров");
  ASSERT_EQ(Form.Grid->LevelRowCount(), 1);
  const RECT level = Form.Grid->CellRect(1, Form.Grid->TitleOffset() - 1);
  PostClickOn(Form.Grid->Handle(), POINT{(level.left + level.right) / 2, (level.top + level.bottom) / 2});
  EXPECT_EQ(Form.Grid->LevelRowCount(), 0);
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Отдел");

  // F2 and typing, then Enter on the last column posts.
  PostKey(VK_RETURN);
  Tree.Last();
  Select("QTY");
  PostKey(VK_F2);
  ASSERT_EQ(Tree.State(), dsEdit);
  PostKey(VK_UP);
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Петров") << "frozen on the edited row";
  PostText("1");
  PostKey(VK_RETURN);
  EXPECT_EQ(Tree.State(), dsBrowse);
  EXPECT_EQ(Shown(), (TRows{{"Иванов", 5}, {"Петров", 61}}));

  // F12 and Ctrl+F12 copy from the row above; Esc asks before cancelling.
  Select("NAME");
  PostKey(VK_F2);
  PostKey(VK_F12, {VK_CONTROL});
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Иванов");
  EXPECT_EQ(Tree.FieldByName("QTY")->AsInteger(), 5);
  Form.Grid->SetEditorMode(false);
  Form.Grid->SetFocus();
  PumpUntilFocused(Form.Grid->Handle());
  Prompts.Answers = {true};
  PostKey(VK_ESCAPE);
  EXPECT_EQ(Prompts.Questions, std::vector<AnsiString>{"Отменить корректировку записи ?"});
  EXPECT_EQ(Tree.State(), dsBrowse);
  EXPECT_EQ(Shown(), (TRows{{"Иванов", 5}, {"Петров", 61}}));

  // Insert after the first record, F12 takes the name from above.
  Tree.First();
  PostKey(VK_INSERT);
  ASSERT_EQ(Tree.State(), dsInsert);
  PostKey(VK_F12);
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Иванов");
  PostText("7");
  PostKey(VK_RETURN);
  EXPECT_EQ(Tree.State(), dsBrowse);
  // Posted under the same parent, where the level's order puts it last.
  EXPECT_EQ(Shown(), (TRows{{"Иванов", 5}, {"Петров", 61}, {"Иванов", 7}}));
}

// The service menu opened by a real right click, read while it is open.
TEST_F(ServiceGridScenario, RightClickOpensTheServiceMenu) {
  const RECT cell = Form.Grid->CellRect(1, Form.Grid->TitleOffset());
  std::vector<AnsiString> shown;
  // The open menu is the one window of its class; its items are read
  // through the menu handle it answers with.
  Later([&] {
    HWND menu = FindWindowA("#32768", nullptr);
    HMENU handle = menu ? reinterpret_cast<HMENU>(SendMessageA(menu, 0x01E1 /* MN_GETHMENU */, 0, 0)) : nullptr;
    for (int i = 0; handle && i < GetMenuItemCount(handle); ++i) {
      char text[128] = {};
      GetMenuStringA(handle, i, text, sizeof text, MF_BYPOSITION);
      shown.push_back(text);
    }
    PressKey(VK_ESCAPE);
  });
  POINT at{cell.left + 5, cell.top + 5};
  ClientToScreen(Form.Grid->Handle(), &at);
  PostMessageA(Form.Grid->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(cell.left + 5, cell.top + 5));
  PostMessageA(Form.Grid->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(cell.left + 5, cell.top + 5));
  PumpFor(300);
  ASSERT_GT(shown.size(), 10u);
  EXPECT_EQ(shown[0], "Копировать в буфер\tCtrl+Ins");
  EXPECT_NE(std::find(shown.begin(), shown.end(), "&Отметить запись\tShift+F3"), shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Уровневый-плоский\tF3"), shown.end());
}

}  // namespace
