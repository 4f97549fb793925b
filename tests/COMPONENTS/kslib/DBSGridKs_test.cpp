// The service grid over a data source adapter, driven by real key
// messages through the application's loop: TI's shortcuts reach the marks,
// the group operations and the editing rules.
#include "DBSGridKs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "DBGridKsInplaceEdit.h"
#include "FormsTestKit.h"
#include "Extcalc.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

#include "GridForm.h"
#include "LevelTree.h"
#include "ServiceEnvironment.h"
#include "SDataSource.h"
#include "tests/COMPONENTS/ScriptedDataPrompts.h"
#include "CommonInterface.h"
#include "CommonInterfaceRes.h"
#include "uIterators.h"
#include "zynMemTable.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new TServiceEnvironment);

class ServiceGridTest : public testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("NAME", ftString, 20);
    Table.FieldDefs()->Add("DAY", ftDate);
    Table.FieldDefs()->Add("QTY", ftInteger);
    Table.Open();
    for (int i = 1; i <= 4; ++i) AppendValues(&Table, {"n" + std::to_string(i), VarFromDateTime(EncodeDate(2024, 1, i)), i});
    Table.First();
    Source.SetDataSet(&Table);
    Grid->SetDataSource(&Source);
    Form.Show();
    SetPromptValueHook([this](const AnsiString&, uint8_t, Variant& Value) {
      Value = Answer;
      return true;
    });
  }
  void TearDown() override { SetPromptValueHook(nullptr); }
  std::vector<int> Quantities() {
    std::vector<int> values;
    const TBookmark at = Table.GetBookmark();
    for (Table.First(); !Table.Eof(); Table.Next()) values.push_back(Table.FieldByName("QTY")->AsInteger());
    Table.GotoBookmark(at);
    return values;
  }
  void SelectQty() { Grid->SetSelectedField(Table.FieldByName("QTY")); }

  TzynMemTable Table{nullptr};
  TSDataSource Source{nullptr};
  // The key handler within reach, for the keys the cell editor keeps.
  struct TKeyedGrid : TDBSGridKs {
    using TDBSGridKs::TDBSGridKs;
    using TDBSGridKs::CanEditAcceptKey;
    using TDBSGridKs::KeyDown;
    using TDBSGridKs::Loaded;
  };
  TGridForm<TKeyedGrid> Form{0, false};
  TKeyedGrid* Grid = Form.Grid;
  TScriptedDataPrompts Prompts;
  Variant Answer;
};

TEST_F(ServiceGridTest, ServiceKeysMarkAndRunGroupOperations) {
  SelectQty();
  PostKey(VK_F3, {VK_SHIFT});
  PostKey(VK_DOWN);
  PostKey(VK_DOWN);
  PostKey(VK_F3, {VK_SHIFT});
  EXPECT_TRUE(Source.Marker()->IsMarked());
  // A marked row's cells are in the mark colour unless focused.
  TColor background = clWhite;
  Grid->GetCellParams(Grid->Columns()->Items(0), Grid->Font(), background, {});
  EXPECT_EQ(background, ServiceMarkColor);

  Answer = 10;
  PostKey(VK_F9, {VK_CONTROL});  // fill the marked rows
  EXPECT_EQ(Quantities(), (std::vector<int>{10, 2, 10, 4}));
  Answer = 5.0;
  PostKey(VK_ADD, {VK_CONTROL});
  EXPECT_EQ(Quantities(), (std::vector<int>{15, 2, 15, 4}));
  Answer = 2.0;
  PostKey(VK_MULTIPLY, {VK_CONTROL});
  EXPECT_EQ(Quantities(), (std::vector<int>{30, 2, 30, 4}));
  PostKey(VK_F4, {VK_SHIFT, VK_CONTROL});
  EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Итого по ПОМЕЧЕННЫМ строкам в графе QTY  60"});
  Prompts.Answers = {true};
  PostKey(VK_F9, {VK_SHIFT});
  EXPECT_EQ(Quantities(), (std::vector<int>{2, 4}));
  EXPECT_EQ(Table.State(), dsBrowse);
}

TEST_F(ServiceGridTest, EditingKeysPostAskAndKeepTheRow) {
  // Down on the last record appends nothing while browsing.
  Table.Last();
  PostKey(VK_DOWN);
  EXPECT_EQ(Table.RecordCount(), 4);
  EXPECT_EQ(Table.State(), dsBrowse);

  Table.First();
  SelectQty();
  PostKey(VK_F2);
  ASSERT_EQ(Table.State(), dsEdit);
  PostKey(VK_DOWN);  // frozen on the row
  EXPECT_EQ(Table.State(), dsEdit);
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 1);
  // Enter on the last column posts what was typed.
  PostText("7");
  PostKey(VK_RETURN);
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Quantities(), (std::vector<int>{17, 2, 3, 4}));

  // Esc on a modified record, from the grid, asks; No keeps the edit, Yes
  // cancels it.
  PostKey(VK_F2);
  ASSERT_EQ(Table.State(), dsEdit);
  Table.FieldByName("QTY")->SetAsInteger(9);
  Grid->SetEditorMode(false);
  Grid->SetFocus();
  PumpUntilFocused(Grid->Handle());
  PostKey(VK_ESCAPE);
  EXPECT_EQ(Prompts.Questions, std::vector<AnsiString>{"Отменить корректировку записи ?"});
  EXPECT_EQ(Table.State(), dsEdit);
  Prompts.Answers = {true};
  PostKey(VK_ESCAPE);
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Quantities(), (std::vector<int>{17, 2, 3, 4}));
}

TEST_F(ServiceGridTest, ActionStatesFollowTheSwitchesAndTheState) {
  const auto states = [&] {
    std::vector<bool> enabled;
    for (TAction* action : {RecordMark, Find, Sum, RecordCount, GroupReplace, GroupDelete, Filter, Sort, StdPrint,
                            RecordEdit, RecordPost, RecordInsert, RecordDelete, RecordDoubleField, REditCopy,
                            REditPaste, TougleLevels}) {
      action->Enabled = !action->Enabled;  // each state is set, not kept
      EXPECT_TRUE(Grid->UpdateAction(action)) << action->Name();
      enabled.push_back(action->Enabled);
    }
    return enabled;
  };
  using V = std::vector<bool>;
  //                   mark   find   sum    count  repl   gdel   filt   sort   print  edit   post   ins    del
  //                   dup    copy   paste  levels
  EXPECT_EQ(states(), (V{true, true, true, true, true, true, true, true, true, true, false, true, true,
                         false, true, false, false}));
  Grid->ServiceOptions =
      Grid->ServiceOptions - TServiceOptions{srvMarkRecord, srvSum, srvCount, srvGroupReplace, srvPrint};
  EXPECT_EQ(states(), (V{false, true, false, false, false, true, true, true, false, true, false, true, true,
                         false, true, false, false}));
  Grid->ServiceOptions = DefaultServiceOptions;
  PostKey(VK_F2);
  ASSERT_EQ(Table.State(), dsEdit);
  EXPECT_EQ(states(), (V{false, false, false, false, false, false, false, false, false, false, true, false, true,
                         true, true, true, false}));
  Table.Cancel();
  TAction other(nullptr);
  EXPECT_FALSE(Grid->UpdateAction(&other));

  // An action's update goes to the focused grid.
  RecordPost->Enabled = true;
  RecordEdit->Enabled = false;
  EXPECT_TRUE(RecordPost->Update());
  EXPECT_TRUE(RecordEdit->Update());
  EXPECT_FALSE(RecordPost->Enabled);
  EXPECT_TRUE(RecordEdit->Enabled);

  // The record attributes need a record.
  EXPECT_TRUE(RecordAttributes->Update());
  EXPECT_TRUE(RecordAttributes->Enabled);
  Table.EmptyTable();
  EXPECT_TRUE(RecordAttributes->Update());
  EXPECT_FALSE(RecordAttributes->Enabled);
}

// Each action given the focused grid as its target: the grid's switches
// and allowed operations hold there as they do for its keys.
TEST_F(ServiceGridTest, ActionsActOnTheFocusedGridWithinWhatItAllows) {
  const auto refused = [&](TAction* Action, const char* Message) {
    SCOPED_TRACE(Action->Name());
    try {
      Action->ExecuteTarget(Grid);
      ADD_FAILURE() << "no hint error";
    } catch (const EHintError& E) {
      EXPECT_EQ(E.Message(), Message);
    }
    EXPECT_EQ(Table.State(), dsBrowse);
    EXPECT_EQ(Table.RecordCount(), 4);
  };
  Grid->SetAllowedOperations({});
  refused(RecordEdit, "Корректировка записи запрешена !");
  refused(RecordInsert, "Добавление запрещено !");
  refused(RecordDelete, "Удаление запрешено !");
  Grid->SetAllowedOperations({alopInsertKs, alopUpdateKs, alopAppendKs, alopDeleteKs});

  // Delete asks first; Cancel keeps the record.
  Table.SetRecNo(2);
  Later([] { PressKey(VK_ESCAPE); });
  RecordDelete->ExecuteTarget(Grid);
  EXPECT_EQ(Quantities(), (std::vector<int>{1, 2, 3, 4}));
  Later([] { PressKey(VK_RETURN); });
  RecordDelete->ExecuteTarget(Grid);
  EXPECT_EQ(Quantities(), (std::vector<int>{1, 3, 4}));

  // Marks and sorting only with their switches on.
  Grid->ServiceOptions = Grid->ServiceOptions - TServiceOptions{srvMarkRecord, srvSort};
  SelectQty();
  Table.First();
  Table.Edit();
  Table.FieldByName("QTY")->SetAsInteger(9);
  Table.Post();
  RecordMark->ExecuteTarget(Grid);
  Sort->ExecuteTarget(Grid);
  EXPECT_TRUE(Source.Marker()->IsEmpty());
  EXPECT_EQ(Quantities(), (std::vector<int>{9, 3, 4}));
  Grid->ServiceOptions = DefaultServiceOptions;
  RecordMark->ExecuteTarget(Grid);
  Sort->ExecuteTarget(Grid);
  EXPECT_FALSE(Source.Marker()->IsEmpty());
  EXPECT_EQ(Quantities(), (std::vector<int>{3, 4, 9}));

  // Find opens the focused grid's dialog whatever target it was given.
  std::vector<TCustomDBGridKs*> found;
  ShowFindDialogProc = [&](TCustomDBGridKs* Target) { found.push_back(Target); };
  Find->ExecuteTarget(&Source);
  ShowFindDialogProc = nullptr;
  EXPECT_EQ(found, std::vector<TCustomDBGridKs*>{Grid});

  // The edit action, then the duplicate and post actions on the edited row.
  Table.SetRecNo(2);
  Grid->SetSelectedField(Table.FieldByName("NAME"));
  RecordEdit->ExecuteTarget(Grid);
  ASSERT_EQ(Table.State(), dsEdit);
  RecordDoubleField->ExecuteTarget(Grid);
  EXPECT_EQ(Table.FieldByName("NAME")->AsString(), "n3");
  RecordPost->ExecuteTarget(Grid);
  EXPECT_EQ(Table.State(), dsBrowse);
}

// A key is whatever the action's shortcut is when it is pressed.
TEST_F(ServiceGridTest, TheKeysAreTheActionsShortcutsAtEachPress) {
  struct TRestore {
    TShortCut Key = RecordMark->ShortCut;
    ~TRestore() { RecordMark->ShortCut = Key; }
  } restore;
  RecordMark->ShortCut = scCtrl | 'M';
  PostKey(VK_F3, {VK_SHIFT});
  EXPECT_TRUE(Source.Marker()->IsEmpty());
  PostKey('M', {VK_CONTROL});
  EXPECT_TRUE(Source.Marker()->IsMarked());
}

// A double click on a data cell toggles the record's mark, with the switch.
TEST_F(ServiceGridTest, ADoubleClickTogglesTheMark) {
  const RECT cell = Grid->CellRect(Grid->DataToRawColumn(0), Grid->TitleOffset() + 1);
  const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
  const auto doubleClick = [&] {
    SendMessageA(Grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(Grid->Handle(), WM_LBUTTONUP, 0, at);
    SendMessageA(Grid->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(Grid->Handle(), WM_LBUTTONUP, 0, at);
    return Source.Marker()->IsMarked();
  };
  EXPECT_TRUE(doubleClick());
  EXPECT_EQ(Table.FieldByName("NAME")->AsString(), "n2");
  EXPECT_FALSE(doubleClick());
  Grid->ServiceOptions = Grid->ServiceOptions - TServiceOptions{srvMarkRecord};
  EXPECT_FALSE(doubleClick());
  EXPECT_EQ(Table.State(), dsBrowse);
}

// F5 posts from the editor; Enter on the last column may be told to do
// nothing while browsing.
TEST_F(ServiceGridTest, F5PostsAndEnterOnTheLastColumnCanBeSwallowed) {
  Table.Last();
  SelectQty();
  Grid->ServiceOptions = Grid->ServiceOptions + TServiceOptions{srvDontAutoInsertAfterEnter};
  PostKey(VK_RETURN);
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Table.RecordCount(), 4);
  EXPECT_EQ(Table.RecNo(), 4);
  EXPECT_EQ(Grid->SelectedField(), Table.FieldByName("QTY"));
  EXPECT_FALSE(Grid->EditorMode());

  PostKey(VK_F2);
  ASSERT_EQ(Table.State(), dsEdit);
  PostText("7");
  PostKey(VK_F5);
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Quantities(), (std::vector<int>{1, 2, 3, 47}));
}

// None given, the grid takes its own menu; a grid that must make none
// takes the value as given, and a right click adds nothing to it.
TEST_F(ServiceGridTest, APopupMenuWrittenAsNoneIsTheGridsOwn) {
  TPopupMenu given(nullptr);
  Grid->SetPopupMenu(nullptr);
  TPopupMenu* own = Grid->PopupMenu();
  ASSERT_NE(own, nullptr);
  Grid->SetPopupMenu(&given);
  EXPECT_EQ(Grid->PopupMenu(), &given);
  Grid->SetPopupMenu(nullptr);
  EXPECT_EQ(Grid->PopupMenu(), own);

  Grid->ServiceOptions = Grid->ServiceOptions + TServiceOptions{srvDontCreatePopupMenu};
  Grid->SetPopupMenu(nullptr);
  EXPECT_EQ(Grid->PopupMenu(), nullptr);
  Grid->SetPopupMenu(&given);
  const RECT cell = Grid->CellRect(Grid->DataToRawColumn(1), Grid->Row());
  SendMessageA(Grid->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(cell.left + 3, cell.top + 3));
  EXPECT_FALSE(given.OnPopup);
  Grid->SetPopupMenu(nullptr);
}

// Captions of a menu's items as a right click on a data cell of the
// column leaves them when the menu opens.
std::vector<AnsiString> OpenedMenu(TDBSGridKs* Grid, int Column, TPopupMenu* Menu) {
  const RECT cell = Grid->CellRect(Grid->DataToRawColumn(Column), Grid->Row());
  SendMessageA(Grid->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(cell.left + 3, cell.top + 3));
  Menu->OnPopup(Menu);
  std::vector<AnsiString> captions;
  for (int i = 0; i < Menu->Items()->Count(); ++i) captions.push_back(Menu->Items()->Items(i)->Caption());
  return captions;
}

TEST_F(ServiceGridTest, RightClickBuildsTheServiceMenuOnce) {
  TPopupMenu own(nullptr);
  auto* mine = new TMenuItem(&own);
  mine->SetCaption("Своё");
  own.Items()->Add(mine);
  int ownPopups = 0;
  own.OnPopup = [&](TObject*) { ++ownPopups; };
  Grid->SetPopupMenu(&own);
  const std::vector<AnsiString> first = OpenedMenu(Grid, 1, &own);
  EXPECT_EQ(first, OpenedMenu(Grid, 1, &own));
  EXPECT_EQ(ownPopups, 2);
  EXPECT_EQ(own.Images, ServiceModule()->ImageList) << "a menu without images shows the actions'";
  ASSERT_GT(first.size(), 10u);
  EXPECT_EQ(first[0], "Своё");
  EXPECT_EQ(first[1], "-");
  EXPECT_EQ(first[2], "Копировать в буфер");
  EXPECT_NE(std::find(first.begin(), first.end(), "Групповые корректировки"), first.end());

  PostKey(VK_F2);
  ASSERT_EQ(Table.State(), dsEdit);
  EXPECT_EQ(OpenedMenu(Grid, 1, &own),
            (std::vector<AnsiString>{"Своё", "-", "Копировать в буфер", "-", "Завершить ввод/корректировку",
                                     "Удаление записи", "Дублирование поля", "Дублирование полей справа",
                                     "Атрибуты записи"}));
  Table.Cancel();

  // A column's own menu takes the entries; the grid's stays as it was.
  TPopupMenu columnMenu(nullptr);
  Grid->Columns()->Items(0)->SetPopupMenu(&columnMenu);
  const int gridItems = own.Items()->Count();
  EXPECT_GT(OpenedMenu(Grid, 0, &columnMenu).size(), 10u);
  EXPECT_EQ(own.Items()->Count(), gridItems);
  Grid->Columns()->Items(0)->SetPopupMenu(nullptr);
  Grid->SetPopupMenu(nullptr);
}

// The reference key opens a column's pick list, and at least the editor elsewhere.
TEST_F(ServiceGridTest, ReferenceKeyOpensTheListOrTheEditor) {
  Grid->SetSelectedField(Table.FieldByName("NAME"));
  Grid->Columns()->Items(Grid->SelectedIndex())->PickList()->Add("n9");
  const auto callRefEnabled = [&] {
    CallRef->Enabled = !CallRef->Enabled;
    EXPECT_TRUE(Grid->UpdateAction(CallRef));
    return CallRef->Enabled;
  };
  EXPECT_FALSE(callRefEnabled());
  PostKey(VK_F8);
  auto* editor = dynamic_cast<TDBGridInplaceEdit*>(Grid->InplaceEditor());
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->Visible());
  EXPECT_TRUE(editor->ListVisible());
  EXPECT_TRUE(callRefEnabled()) << "the editor shows a list";
  editor->CloseUp(false);
  Grid->SetEditorMode(false);
  SelectQty();
  PostKey(VK_F8);
  EXPECT_TRUE(Grid->InplaceEditor()->Visible());
  EXPECT_FALSE(editor->ListVisible());
  EXPECT_FALSE(callRefEnabled()) << "an editor without a list";
  Grid->SetEditorMode(false);

  // Every list the editor holds counts: the calendar, the calculator of a
  // number; a drop-down button over text holds none.
  struct Case {
    const char* field;
    TColumnButtonStyleKs button;
    bool list;
  } cases[] = {{"DAY", cbsAuto, true}, {"QTY", cbsDropDown, true}, {"NAME", cbsDropDown, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    Grid->SetSelectedField(Table.FieldByName(c.field));
    TColumnKs* column = Grid->Columns()->Items(Grid->SelectedIndex());
    const TColumnButtonStyleKs before = column->ButtonStyle();
    column->SetButtonStyle(c.button);
    PostKey(VK_F8);
    EXPECT_TRUE(Grid->InplaceEditor()->Visible());
    EXPECT_EQ(editor->ListVisible(), c.list);
    EXPECT_EQ(callRefEnabled(), c.list);
    if (editor->ListVisible()) editor->CloseUp(false);
    Grid->SetEditorMode(false);
    column->SetButtonStyle(before);
  }
}

TEST_F(ServiceGridTest, DuplicatesTakeTheRowAbove) {
  Table.Next();
  Grid->SetSelectedField(Table.FieldByName("NAME"));
  PostKey(VK_F2);
  ASSERT_EQ(Table.State(), dsEdit);
  PostKey(VK_F12);
  EXPECT_EQ(Table.FieldByName("NAME")->AsString(), "n1");
  EXPECT_EQ(Grid->SelectedField(), Table.FieldByName("DAY"));
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 2);
  PostKey(VK_F12, {VK_CONTROL});
  EXPECT_EQ(Table.FieldByName("DAY")->AsDateTime(), EncodeDate(2024, 1, 1));
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 1);
  EXPECT_EQ(Table.FieldByName("NAME")->AsString(), "n1");
  Table.Cancel();
  // The first row has nothing above.
  Table.First();
  Table.Edit();
  Grid->DuplicateFieldsToRight();
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 1);
  EXPECT_FALSE(Table.Modified());
  Table.Cancel();
}

TEST_F(ServiceGridTest, InsertGoesAfterTheCurrentRecordOrAtTheEnd) {
  Table.SetRecNo(2);
  PostKey(VK_INSERT);
  ASSERT_EQ(Table.State(), dsInsert);
  EXPECT_EQ(Grid->SelectedIndex(), 0);
  EXPECT_TRUE(Grid->EditorMode());
  Table.FieldByName("QTY")->SetAsInteger(25);
  Table.Post();
  EXPECT_EQ(Quantities(), (std::vector<int>{1, 2, 25, 3, 4}));

  Table.Last();
  PostKey(VK_INSERT);
  ASSERT_EQ(Table.State(), dsInsert);
  Table.FieldByName("QTY")->SetAsInteger(50);
  Table.Post();
  EXPECT_EQ(Quantities(), (std::vector<int>{1, 2, 25, 3, 4, 50}));
}

TEST_F(ServiceGridTest, LoadingAddsOneStateColumnAndTheOwnMenu) {
  TzynMemTable states(nullptr);
  states.FieldDefs()->Add("SYS$STATE", ftInteger);
  states.FieldDefs()->Add("NAME", ftString, 20);
  states.Open();
  TDataSource source(nullptr);
  source.SetDataSet(&states);
  Grid->SetDataSource(&source);
  Grid->Columns()->Add()->SetFieldName("NAME");
  Grid->ShowState = true;
  Grid->Loaded();
  ASSERT_EQ(Grid->Columns()->Count(), 2);
  EXPECT_EQ(Grid->Columns()->Items(0)->FieldName(), "SYS$STATE");
  EXPECT_TRUE(Grid->Columns()->Items(0)->ReadOnly());
  EXPECT_EQ(Grid->FrozenCols(), 1);
  ASSERT_NE(Grid->PopupMenu(), nullptr);
  TPopupMenu* own = Grid->PopupMenu();
  Grid->Loaded();  // a column bound to the field already: no second one
  EXPECT_EQ(Grid->Columns()->Count(), 2);
  EXPECT_EQ(Grid->PopupMenu(), own);
  Grid->SetDataSource(&Source);
}

TEST_F(ServiceGridTest, CopyTakesTheSelectedCellsTextAndSkipsAnEmptyOne) {
  SelectQty();
  ASSERT_TRUE(REditCopy->Execute());
  EXPECT_EQ(ClipboardText(), "1");
  Table.Edit();
  Table.FieldByName("NAME")->Clear();
  Table.Post();
  Grid->SetSelectedField(Table.FieldByName("NAME"));
  REditCopy->Execute();
  EXPECT_EQ(ClipboardText(), "1");
}

TEST_F(ServiceGridTest, EnteringTheGridPostsItsThreadMessageUnderAMainForm) {
  TEdit* other = new TEdit(Form.Form);
  other->SetParent(Form.Form);
  other->SetBounds(5, 260, 100, 20);
  using TPosted = std::vector<std::pair<WPARAM, LPARAM>>;
  TPosted posted;
  Application->OnMessage = [&](MSG& Msg, bool&) {
    if (!Msg.hwnd && Msg.message == WM_USER + 51) posted.emplace_back(Msg.wParam, Msg.lParam);
  };
  struct TQuiet {
    ~TQuiet() { Application->OnMessage = nullptr; }
  } quiet;
  for (const bool withMainForm : {false, true}) {
    SCOPED_TRACE(withMainForm ? "a main form" : "no main form");
    TForm* mainForm = nullptr;
    if (withMainForm) Application->CreateForm(mainForm);
    ASSERT_EQ(Application->MainForm() != nullptr, withMainForm);
    other->SetFocus();
    ASSERT_TRUE(PumpUntilFocused(other->Handle()));
    posted.clear();
    Grid->SetFocus();
    ASSERT_TRUE(PumpUntilFocused(Grid->Handle()));
    Application->ProcessMessages();
    const TPosted expected =
        withMainForm ? TPosted{{1, reinterpret_cast<LPARAM>(Grid)}} : TPosted{};
    EXPECT_EQ(posted, expected);
    delete mainForm;
  }
}

TEST_F(ServiceGridTest, LastRecordCheckLeavesTheScrollEventsInPlace) {
  int scrolls = 0;
  Table.AfterScroll = [&](TDataSet*) { ++scrolls; };
  Table.Last();
  scrolls = 0;
  EXPECT_TRUE(Grid->IsLastRecord());
  Table.First();
  scrolls = 0;
  EXPECT_FALSE(Grid->IsLastRecord());
  EXPECT_EQ(scrolls, 0);
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 1);
  Table.Next();
  EXPECT_EQ(scrolls, 1);
  EXPECT_FALSE(Table.ControlsDisabled());

  // Also when reading the records again fails once, as a fetch may.
  bool refuse = false;
  Table.SetOnFilterRecord([&](TDataSet* DataSet, bool&) {
    if (refuse && DataSet->FieldByName("QTY")->AsInteger() == 2) {
      refuse = false;
      throw Exception("not now");
    }
  });
  Table.SetFiltered(true);
  Table.First();
  refuse = true;
  EXPECT_THROW(Grid->IsLastRecord(), Exception);
  Table.SetFiltered(false);
  EXPECT_FALSE(Table.ControlsDisabled());
  scrolls = 0;
  Table.Last();
  EXPECT_EQ(scrolls, 1);
}

// Alt with an operator key hands the cell's value to the calculator: the
// field's in browse, the editor's text while editing; a field the
// calculator does not serve only beeps, and without the switch the key is
// the grid's. Alt+Enter brings the result back. One test: the calculator
// is one window for the program, gone with the form it was opened over.
TEST_F(ServiceGridTest, AltKeysExchangeValuesWithTheCalculator) {
  Table.Next();
  SelectQty();
  const auto press = [&](uint16_t Key, const char* Expression) {
    Calculator()->edtExpression->SetText(Expression);
    Grid->KeyDown(Key, {ssAlt});
    return Calculator()->edtExpression->Text();
  };
  const struct {
    uint16_t Key;
    const char* Expression;
  } cases[] = {{VK_ADD, "10+2"},    {VK_SEPARATOR, "10+2"}, {VK_SUBTRACT, "10-2"}, {VK_OEM_MINUS, "10-2"},
               {VK_DIVIDE, "10/2"}, {VK_OEM_2, "10/2"},     {VK_MULTIPLY, "10*2"}, {'8', "10*2"}};
  for (const auto& c : cases) EXPECT_EQ(press(c.Key, "10"), c.Expression) << c.Key;

  PostKey(VK_F2);
  ASSERT_TRUE(Grid->InplaceEditor() && Grid->InplaceEditor()->Focused());
  PostText("5");
  EXPECT_EQ(press(VK_ADD, "10"), "10+25");
  Table.Cancel();
  Grid->SetEditorMode(false);

  const int beepsBefore = Prompts.Beeps;
  Grid->SetSelectedField(Table.FieldByName("DAY"));
  EXPECT_EQ(press(VK_ADD, "10"), "10");
  EXPECT_EQ(Prompts.Beeps, beepsBefore + 1);
  SelectQty();
  Grid->ServiceOptions = Grid->ServiceOptions - TServiceOptions{srvCalc};
  EXPECT_EQ(press(VK_ADD, "10"), "10");
  Grid->ServiceOptions = DefaultServiceOptions;

  // Alt+Enter stores the result where it fits.
  Table.First();
  Calculator()->edtExpression->SetText("2+3");
  SelectQty();
  Prompts.Answers = {true};
  uint16_t key = VK_RETURN;
  Grid->KeyDown(key, {ssAlt});
  EXPECT_EQ(Quantities(), (std::vector<int>{5, 2, 3, 4}));
  EXPECT_EQ(Table.State(), dsBrowse);

  // From the cell editor: a result beyond the integer field's range is
  // refused by its range check, nothing is stored.
  PostKey(VK_F2);
  ASSERT_EQ(Table.State(), dsEdit);
  ASSERT_TRUE(Grid->InplaceEditor() && Grid->InplaceEditor()->Focused());
  Calculator()->edtExpression->SetText("3000000000");
  key = VK_RETURN;
  EXPECT_THROW(Grid->KeyDown(key, {ssAlt}), EDatabaseError);
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 5);
  EXPECT_EQ(Grid->InplaceEditor()->Text(), "5");

  // A field the calculator does not serve only beeps.
  Table.Cancel();
  Grid->SetSelectedField(Table.FieldByName("DAY"));
  PostKey(VK_F2);
  ASSERT_TRUE(Grid->InplaceEditor()->Focused());
  const AnsiString shown = Grid->InplaceEditor()->Text();
  const int beeps = Prompts.Beeps;
  key = VK_RETURN;
  Grid->KeyDown(key, {ssAlt});
  EXPECT_EQ(Prompts.Beeps, beeps + 1);
  EXPECT_EQ(Grid->InplaceEditor()->Text(), shown);
  EXPECT_FALSE(Grid->InplaceEditor()->Modified());
  EXPECT_FALSE(Table.FieldByName("DAY")->IsNull());
}

// Alt+Enter puts the calculator's result into a money field rounded once to
// its places: 13031.9 × 1.15 = 14986.685 is stored 14986.69.
TEST_F(ServiceGridTest, ACalculatorResultGoesIntoAMoneyFieldRoundedOnce) {
  Table.Close();
  Table.FieldDefs()->Add("AMOUNT", ftBCD, 2);
  Table.Open();
  AppendValues(&Table, {"n", VarFromDateTime(EncodeDate(2024, 1, 1)), 1, Currency()});
  Table.First();
  Grid->SetSelectedField(Table.FieldByName("AMOUNT"));
  Calculator()->edtExpression->SetText("13031.9*1.15");
  Prompts.Answers = {true};
  uint16_t key = VK_RETURN;
  Grid->KeyDown(key, {ssAlt});
  EXPECT_EQ(Table.FieldByName("AMOUNT")->AsString(), "14986,69");
}

// While a record is inserted the cursor passes the columns that still hold
// their default, both ways; entering the last column that way posts.
TEST_F(ServiceGridTest, InsertingPassesDefaultColumnsAndPostsAtTheLast) {
  TzynMemTable table(nullptr);
  for (const char* name : {"NAME", "CODE", "QTY", "KIND"})
    table.FieldDefs()->Add(name, std::string(name) == "QTY" ? ftInteger : ftString, 10);
  table.Open();
  AppendValues(&table, {"a", "К0", 1, "Y"});
  table.FieldByName("CODE")->SetDefaultExpression("К1");
  table.FieldByName("KIND")->SetDefaultExpression("Z");
  TSDataSource source(nullptr);
  source.SetDataSet(&table);
  Grid->SetDataSource(&source);
  const auto selected = [&] { return Grid->SelectedField()->FieldName(); };

  PostKey(VK_INSERT);
  ASSERT_EQ(table.State(), dsInsert);
  ASSERT_EQ(selected(), "NAME");
  PostText("b");
  PostKey(VK_TAB);
  EXPECT_EQ(selected(), "QTY") << "CODE holds its default";
  EXPECT_TRUE(Grid->EditorMode());
  Grid->PriorTabColumn();
  EXPECT_EQ(selected(), "NAME");
  PostKey(VK_TAB);
  PostText("7");
  PostKey(VK_TAB);
  EXPECT_EQ(table.State(), dsBrowse) << "KIND, the last, holds its default";
  EXPECT_EQ(table.RecordCount(), 2);
  EXPECT_EQ(table.FieldByName("NAME")->AsString() + table.FieldByName("CODE")->AsString() +
                table.FieldByName("QTY")->AsString() + table.FieldByName("KIND")->AsString(),
            "bК17Z");

  // An edited record has no defaults to pass.
  Grid->SetSelectedField(table.FieldByName("NAME"));
  table.Edit();
  table.FieldByName("CODE")->SetAsString("К1");
  PostKey(VK_TAB);
  EXPECT_EQ(selected(), "CODE");
  table.Cancel();
  Grid->SetDataSource(&Source);
}

// Frozen columns are fixed: Home selects the first unfrozen column and
// scrolls back to it.
TEST_F(ServiceGridTest, HomeShowsTheFirstUnfrozenColumn) {
  for (int i = 0; i < 3; ++i) Grid->Columns()->Items(i)->SetWidth(200);
  Grid->SetFrozenCols(1);
  SelectQty();
  ASSERT_GT(Grid->LeftCol(), Grid->FixedCols());
  PostKey(VK_HOME);
  EXPECT_EQ(Grid->SelectedIndex(), 1);
  EXPECT_EQ(Grid->LeftCol(), Grid->FixedCols());
}

// A click on the indicator edits that record, unless the dataset is empty
// and may not take one; the top-left cell fits the columns to their text.
TEST_F(ServiceGridTest, IndicatorClickEditsAndTheCornerFitsTheColumns) {
  const RECT row = Grid->CellRect(0, Grid->TitleOffset() + 1);
  PostClickOn(Grid->Handle(), POINT{(row.left + row.right) / 2, (row.top + row.bottom) / 2});
  EXPECT_EQ(Table.State(), dsEdit);
  EXPECT_EQ(Table.FieldByName("NAME")->AsString(), "n2");
  PostClickOn(Grid->Handle(), POINT{(row.left + row.right) / 2, (row.top + row.bottom) / 2});
  EXPECT_EQ(Table.State(), dsBrowse) << "the indicator posts an edited record";

  Grid->Columns()->Items(0)->SetWidth(300);
  const RECT corner = Grid->CellRect(0, 0);
  PostClickOn(Grid->Handle(), POINT{(corner.left + corner.right) / 2, (corner.top + corner.bottom) / 2});
  EXPECT_LT(Grid->Columns()->Items(0)->Width(), 300);
  EXPECT_EQ(Table.State(), dsBrowse);

  Table.EmptyTable();
  Grid->SetAllowedOperations({alopUpdateKs, alopDeleteKs});
  const RECT first = Grid->CellRect(0, Grid->TitleOffset());
  PostClickOn(Grid->Handle(), POINT{(first.left + first.right) / 2, (first.top + first.bottom) / 2});
  EXPECT_EQ(Table.State(), dsBrowse);
}

// The application decides which columns take typed text, after the grid.
TEST_F(ServiceGridTest, CanEditTextCellAsksTheApplicationWithTheColumn) {
  SelectQty();
  EXPECT_TRUE(Grid->CanEditAcceptKey('5'));
  EXPECT_FALSE(Grid->CanEditAcceptKey('x'));
  std::vector<AnsiString> asked;
  Grid->OnCanEditTextCell = [&](TObject*, TColumnKs* Column, bool& Result) {
    asked.push_back(Column->FieldName());
    Result = !Result;
  };
  EXPECT_FALSE(Grid->CanEditAcceptKey('5'));
  EXPECT_TRUE(Grid->CanEditAcceptKey('x'));
  EXPECT_EQ(asked, (std::vector<AnsiString>{"QTY", "QTY"}));
  Grid->OnCanEditTextCell = nullptr;
}

// The clone parent is a hidden window from start-up to shutdown.
TEST(ServiceGridUnit, TheCloneParentWindowLivesWithTheUnit) {
  ASSERT_NE(ParentCloneGrid(), nullptr);
  const HWND window = ParentCloneGrid()->Handle();
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  DoneServiceGridUnit();
  EXPECT_EQ(ParentCloneGrid(), nullptr);
  EXPECT_FALSE(IsWindow(window));
  InitServiceGridUnit();
  EXPECT_EQ(DBGridKsUnit.FindDialogShortCut, 16498);
}

// A shown service grid over the levelled tree.
struct TServiceTree : TTree {
  TGridForm<TDBSGridKs> Form{0, false};
  TServiceTree() {
    Form.Grid->SetDataSource(&Source);
    Form.Show();
  }
};

// Enter goes into the current record's level, Esc back out; the level key
// shows every level at once and back, on the same top-level record.
TEST(ServiceGridLevels, EnterDescendsEscClimbsAndTheLevelKeyShowsAll) {
  TServiceTree T;
  TGridForm<TDBSGridKs>& Form = T.Form;
  const int top = T.Tree.LevelCount();
  ASSERT_TRUE(T.Tree.Locate("NAME", Variant("Отдел"), {}));
  PostKey(VK_RETURN);
  EXPECT_EQ(T.Tree.LevelCount(), top + 1);
  ASSERT_TRUE(T.Tree.Locate("NAME", Variant("Цех"), {}));
  PostKey(VK_RETURN);
  EXPECT_EQ(T.Tree.LevelCount(), top + 2);
  PostKey(VK_ESCAPE);
  EXPECT_EQ(T.Tree.LevelCount(), top + 1);
  EXPECT_EQ(T.Tree.FieldByName("NAME")->AsString(), "Цех");
  PostKey(VK_F3);
  EXPECT_EQ(T.Tree.LevelMode(), dslmShowAll);
  ASSERT_TRUE(T.Tree.Locate("NAME", Variant("Склад"), {}));
  PostKey(VK_F3);
  EXPECT_EQ(T.Tree.LevelMode(), dslmDefault);
  EXPECT_EQ(T.Tree.FieldByName("NAME")->AsString(), "Склад");
  EXPECT_EQ(T.Tree.LevelCount(), top);
  // A record two levels down comes back with its levels above it.
  PostKey(VK_F3);
  ASSERT_TRUE(T.Tree.Locate("NAME", Variant("Сидоров"), {}));
  PostKey(VK_F3);
  EXPECT_EQ(T.Tree.FieldByName("NAME")->AsString(), "Сидоров");
  EXPECT_EQ(T.Tree.LevelCount(), top + 2);
  EXPECT_EQ(Form.Grid->LevelRowCount(), 2);

  // The level action is there for a levelled dataset.
  TougleLevels->Enabled = false;
  EXPECT_TRUE(Form.Grid->UpdateAction(TougleLevels));
  EXPECT_TRUE(TougleLevels->Enabled);

  Form.Grid->ServiceOptions = Form.Grid->ServiceOptions - TServiceOptions{srvHandleLevels};
  const int levels = T.Tree.LevelCount();
  PostKey(VK_ESCAPE);
  EXPECT_EQ(T.Tree.LevelCount(), levels) << "levels left alone without the switch";
}

// A double click goes one level down; on a record with nothing below it,
// or with Ctrl, it toggles the mark instead.
TEST(ServiceGridLevels, ADoubleClickDescendsOrMarks) {
  TServiceTree T;
  TDBSGridKs* grid = T.Form.Grid;
  const auto doubleClick = [&](const char* Name, WPARAM Keys = 0) {
    EXPECT_TRUE(T.Tree.Locate("NAME", Variant(Name), {})) << Name;
    const RECT cell = grid->CellRect(1, grid->Row());
    const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    SendMessageA(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | Keys, at);
    SendMessageA(grid->Handle(), WM_LBUTTONUP, Keys, at);
    SendMessageA(grid->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON | Keys, at);
    SendMessageA(grid->Handle(), WM_LBUTTONUP, Keys, at);
  };
  const int top = T.Tree.LevelCount();
  doubleClick("Отдел");
  EXPECT_EQ(T.Tree.LevelCount(), top + 1);
  EXPECT_TRUE(T.Source.Marker()->IsEmpty());
  doubleClick("Иванов");
  EXPECT_EQ(T.Tree.LevelCount(), top + 1);
  EXPECT_EQ(T.Tree.FieldByName("NAME")->AsString(), "Иванов");
  EXPECT_TRUE(T.Source.Marker()->IsMarked());
  doubleClick("Цех", MK_CONTROL);
  EXPECT_EQ(T.Tree.LevelCount(), top + 1);
  EXPECT_TRUE(T.Source.Marker()->IsMarked());
  doubleClick("Цех");
  EXPECT_EQ(T.Tree.LevelCount(), top + 2);
}

// A click on a level row climbs back to the level that row shows.
TEST(ServiceGridLevels, AClickOnALevelRowClimbsToIt) {
  TServiceTree T;
  TGridForm<TDBSGridKs>& Form = T.Form;
  const int top = T.Tree.LevelCount();
  const auto clickLevelRow = [&](int Level) {
    const RECT cell = Form.Grid->CellRect(1, Form.Grid->TitleOffset() - Form.Grid->LevelRowCount() + Level - 1);
    PostClickOn(Form.Grid->Handle(), POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2});
  };
  T.EnterTwoLevels();
  ASSERT_EQ(Form.Grid->LevelRowCount(), 2);
  clickLevelRow(2);
  EXPECT_EQ(T.Tree.LevelCount(), top + 1);
  EXPECT_EQ(T.Tree.FieldByName("NAME")->AsString(), "Цех") << "on the record the level was entered from";
  clickLevelRow(1);
  EXPECT_EQ(T.Tree.LevelCount(), top);
  EXPECT_EQ(T.Tree.FieldByName("NAME")->AsString(), "Отдел");
  T.EnterTwoLevels();
  clickLevelRow(1);
  EXPECT_EQ(T.Tree.LevelCount(), top) << "two levels at once";
}

}  // namespace
