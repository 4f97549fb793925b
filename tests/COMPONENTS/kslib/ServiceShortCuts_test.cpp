// Every shortcut of TI's action list pressed as a person presses it (real
// key input through the system's queue) on a focused service grid and on a
// focused data-aware edit over the same levelled server dataset: an enabled
// action runs from its key, a disabled one lets the key through to a
// control that then does nothing with it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "DBEditKs.h"
#include "DBGridKsInplaceEdit.h"
#include "DBSGridKs.h"
#include "FormsTestKit.h"
#include "GridUnitEnvironment.h"
#include "ServiceEnvironment.h"
#include "KsTestKit.h"
#include "SDS.h"
#include "SDataSource.h"
#include "CommonInterface.h"
#include "CommonInterfaceRes.h"
#include "forms/Forms.h"
#include "forms/ScriptedPrompts.h"
#include "tests/COMPONENTS/SDSPlainTable.h"
#include "tests/COMPONENTS/ScriptedDataPrompts.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "uIterators.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new TServiceEnvironment);

// Three top-level records, two list records under the first.
struct TRow {
  int64_t ID;
  int PID;
  const char* Name;
  int Qty;
};
constexpr TRow Rows[] = {{1, 0, "Цех", 30},
                         {2, 0, "Отдел", 10},
                         {3, 0, "Склад", 20},
                         {5, 1, "Иванов", 5},
                         {6, 1, "Петров", 6}};

class ServiceShortCuts : public testing::Test {
 protected:
  void SetUp() override {
    DefineHierarchy(Tree);
    Tree.FieldDefs()->Add("QTY", ftInteger);
    Tree.Open();
    for (const TRow& row : Rows)
      AppendValues(&Tree, {Variant(row.ID), row.PID, row.PID ? 0x40000000 : 0, Variant(), row.Name,
                           row.Qty});
    for (const char* name : {"SYS$ID", "SYS$PID", "SYS$STATE", "SYS$TIME"})
      Tree.FieldByName(name)->SetVisible(false);
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
    Tree.First();
    Source.SetDataSet(&Tree);
    Form->SetBounds(40, 40, 460, 330);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 440, 250);
    Grid->SetDataSource(&Source);
    Edit->SetParent(Form);
    Edit->SetBounds(5, 265, 200, 21);
    Edit->SetDataSource(&Source);
    Edit->SetDataField("QTY");
    Form->Show();
    SetForegroundWindow(Form->Handle());

    NoteFilterDialog();
    SetRecordAttrsHook([this](TSDataSource*) { Did("attributes"); });
    ShowFindDialogProc = [this](TCustomDBGridKs*) { Did("find"); };
    SetPromptValueHook([this](const AnsiString& Caption, uint8_t, Variant&) {
      Did(Caption);
      return false;
    });
    // The print stops at its first question.
    Grid->GetPrintParams = [this](TObject*, int, Variant&) {
      Did("print");
      Abort();
    };
    for (const char* name : {"PascalScriptAction1", "ShowNextAppFormAction1", "CloseAppFormAction1",
                             "TabGridAction1", "CalcAction1"}) {
      TAction* action = ServiceModule()->Action(name);
      action->OnExecute = [this, name](TObject*) { Did(name); };
    }
  }
  void TearDown() override {
    SetFilterDialogHook(nullptr);
    SetRecordAttrsHook(nullptr);
    SetPromptValueHook(nullptr);
    ShowFindDialogProc = nullptr;
    for (TAction* action : ServiceModule()->Actions) action->OnExecute = nullptr;
    delete Form;
  }
  void Did(const AnsiString& What) { Journal += (Journal.empty() ? "" : "; ") + What; }
  void NoteFilterDialog() {
    SetFilterDialogHook(
        [this](TSDataSource*, TField* Field, TFilterArr&) { Did("filter " + Field->FieldName()); });
  }
  // The current record marked, and only the marked ones shown through the
  // filter dialog.
  void FilterMarked() {
    Source.Marker()->ToggleMark();
    SetFilterDialogHook([](TSDataSource*, TField*, TFilterArr& Filters) {
      Filters.push_back(std::make_unique<TFieldFilter>());
    });
    Source.ShowFilterDialog(Tree.FieldByName("QTY"));
    NoteFilterDialog();
  }
  void Focus(TWinControl* Control) {
    Control->SetFocus();
    ASSERT_TRUE(PumpUntilFocused(Control->Handle()));
  }
  // F10 that no one takes opens the window's menu mode: Esc ends it.
  void Press(TAction* Action, bool GoesThrough) {
    const bool menuKey = GoesThrough && (Action->ShortCut & 0xFF) == VK_F10;
    if (menuKey) Later([] { PressKey(VK_ESCAPE); }, 200);
    PressShortCut(Action->ShortCut);
    if (menuKey) PumpFor(400);
  }
  void Select(const char* Field) { Grid->SetSelectedField(Tree.FieldByName(Field)); }
  // What a key may have done, beside what the hooks wrote down: the
  // dataset's state, the marks, the names in the order shown, the level
  // view, the questions and messages.
  AnsiString Observed() {
    AnsiString seen = Journal + " |" + IntToStr(static_cast<int>(Tree.State()));
    const TBookmark at = Tree.GetBookmark();
    if (Tree.State() == dsBrowse) {
      // Unseen by the edit, which would lose its selection.
      Tree.DisableControls();
      for (Tree.First(); !Tree.Eof(); Tree.Next())
        seen +=
            " " + Tree.FieldByName("NAME")->AsString() + (Source.Marker()->IsMarked() ? "*" : "");
      Tree.GotoBookmark(at);
      Tree.EnableControls();
    }
    seen += " |" + IntToStr(static_cast<int>(Tree.LevelMode()));
    for (const AnsiString& text : Data.Questions) seen += " ?" + text;
    for (const AnsiString& text : Data.Messages) seen += " !" + text;
    for (const TPrompt& asked : Dialogs.Asked) seen += " ?" + asked.Text;
    auto* cellEditor = dynamic_cast<TDBGridInplaceEdit*>(Grid->InplaceEditor());
    if (cellEditor && cellEditor->ListVisible()) seen += " |list";
    return seen + " |clip=" + ClipboardText() + " |edit=" + Edit->Text();
  }
  // Back to the first record in browse, nothing noted.
  void Reset() {
    if (Tree.State() != dsBrowse) Tree.Cancel();
    if (Tree.LevelMode() != dslmDefault) Tree.SetLevelMode(dslmDefault);
    Source.CancelSort();
    Source.CancelFilter();
    Source.Marker()->Clear();
    Tree.First();
    Journal.clear();
    Data.Questions.clear();
    Data.Messages.clear();
    Dialogs.Asked.clear();
    Dialogs.Answers.clear();
    PutClipboardText("-");
  }

  TSDS Tree{nullptr};
  TSDataSource Source{nullptr};
  TForm* Form = new TForm(Application);
  TDBSGridKs* Grid = new TDBSGridKs(Form);
  TDBEditKs* Edit = new TDBEditKs(Form);
  TScriptedDataPrompts Data;
  TScriptedPrompts Dialogs;
  AnsiString Journal;
};

// One press: what the key did, seen against what was there before.
struct TPress {
  TAction* Action;
  const char* Does;  // what changes, in the words of Observed(); null: nothing
  std::function<void()> Before = nullptr;
};

TEST_F(ServiceShortCuts, EveryServiceKeyOnTheGridRunsItsActionOrNothingWhenItIsOff) {
  TAction* const app = ServiceModule()->Action("TabGridAction1");
  ASSERT_EQ(Grid->AllowedOperations(),
            (TDBGridKsAllowedOperations{alopInsertKs, alopUpdateKs, alopDeleteKs, alopAppendKs}));
  const struct {
    TPress Press;
    // What turns the action off on this grid; its key then does nothing.
    std::function<void()> Off;
  } cases[] = {
      {{RecordMark, "Цех* Отдел Склад"}, [&] { Grid->ServiceOptions.Exclude(srvMarkRecord); }},
      {{RecordMarkGroup, "Цех* Отдел* Склад",
        [&] {
          PressShortCut(RecordMarkGroup->ShortCut);
          Tree.Next();
        }},
       [&] { Grid->ServiceOptions.Exclude(srvMarkRecord); }},
      {{Sum, "!Итого по ВСЕЙ графе QTY  60"}, [&] { Grid->ServiceOptions.Exclude(srvSum); }},
      {{RecordCount, "!Количество  строк = 3"}, [&] { Grid->ServiceOptions.Exclude(srvCount); }},
      {{Filter, "filter QTY"}, [&] { Grid->ServiceOptions.Exclude(srvFilter); }},
      {{Sort, "Отдел Склад Цех", [&] { Select("NAME"); }},
       [&] { Grid->ServiceOptions.Exclude(srvSort); }},
      {{SortCancel, "Цех Отдел Склад", [&] { Source.SortByField("NAME"); }},
       [&] { Grid->ServiceOptions.Exclude(srvSort); }},
      {{FilterCancel, "Цех* Отдел Склад", [&] { FilterMarked(); }},
       [&] { Grid->ServiceOptions.Exclude(srvFilter); }},
      {{CallRef, "|list",
        [&] {
          Select("NAME");
          TColumnKs* column = Grid->Columns()->Items(Grid->SelectedIndex());
          if (column->PickList()->Count() == 0) column->PickList()->Add("n9");
        }},
       [&] { Grid->ServiceOptions.Exclude(srvCallRef); }},
      {{RecordEdit, "|2"},
       [&] {
         Grid->SetAllowedOperations(Grid->AllowedOperations() -
                                    TDBGridKsAllowedOperations{alopUpdateKs});
       }},
      {{RecordInsert, "|3"},
       [&] {
         Grid->SetAllowedOperations(Grid->AllowedOperations() -
                                    TDBGridKsAllowedOperations{alopInsertKs, alopAppendKs});
       }},
      {{RecordDelete, "?Удалить запись?", [&] { Dialogs.Answer(mrCancel); }},
       [&] {
         Grid->SetAllowedOperations(Grid->AllowedOperations() -
                                    TDBGridKsAllowedOperations{alopDeleteKs});
       }},
      {{RecordAttributes, "attributes"}, nullptr},
      {{Find, "find"}, nullptr},
      {{REditCopy, "clip=Отдел", [&] { Tree.Next(), Select("NAME"); }}, nullptr},
      // Keys of the editing state do nothing while browsing; Shift+Ins is
      // the clipboard's, not the insert's.
      {{RecordPost, nullptr}, nullptr},
      {{RecordDoubleField, nullptr}, nullptr},
      {{RecordDoubleRecord, nullptr}, nullptr},
      {{REditPaste, nullptr}, nullptr},
      {{GroupDelete, "?Удалить все записи?"},
       [&] { Grid->ServiceOptions.Exclude(srvGroupDelete); }},
      {{GroupReplace, "Заменить в ГРАФЕ одно значение на другое"},
       [&] { Grid->ServiceOptions.Exclude(srvGroupReplace); }},
      {{GroupFill, "Заменить в ГРАФЕ все значения на заданное"},
       [&] { Grid->ServiceOptions.Exclude(srvGroupReplace); }},
      {{GroupAdd, "Добавить значение(в графе)"},
       [&] { Grid->ServiceOptions.Exclude(srvGroupReplace); }},
      {{GroupMul, "Умножить на значение(в графе)"},
       [&] { Grid->ServiceOptions.Exclude(srvGroupReplace); }},
      {{TougleLevels, "Иванов Петров |2"},
       [&] { Grid->ServiceOptions.Include(srvDontToggleLevels); }},
      {{StdPrint, "print"}, [&] { Grid->ServiceOptions.Exclude(srvPrint); }},
      {{app, "TabGridAction1"}, [&] { app->Enabled = false; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Press.Action->Name());
    for (const bool off : {false, true}) {
      if (off && !c.Off) continue;
      SCOPED_TRACE(off ? "off" : "on");
      Reset();
      Grid->ServiceOptions = DefaultServiceOptions;
      Grid->SetAllowedOperations({alopInsertKs, alopUpdateKs, alopDeleteKs, alopAppendKs});
      Grid->SetEditorMode(false);
      app->Enabled = true;
      Focus(Grid);
      Select("QTY");
      if (off) c.Off();
      if (c.Press.Before) c.Press.Before();
      const AnsiString before = Observed();
      Press(c.Press.Action, off);
      const AnsiString after = Observed();
      if (off || !c.Press.Does) {
        EXPECT_EQ(after, before);
      } else {
        EXPECT_NE(after, before);
        EXPECT_NE(after.find(c.Press.Does), AnsiString::npos) << after;
      }
    }
  }
  app->Enabled = true;
}

// The edit's own keys stay its own: cut goes to the edit, which puts its
// record into edit first.
TEST_F(ServiceShortCuts, EveryServiceKeyOnADataAwareEditRunsItsActionOrNothingWhenDisabled) {
  const auto action = [](const char* Name) { return ServiceModule()->Action(Name); };
  const struct {
    TPress Press;
    bool CanBeOff = true;
    // What the edit itself does with the key the disabled action lets
    // through; null: nothing.
    const char* OffDoes = nullptr;
  } cases[] = {
      {{RecordMark, "Цех* Отдел Склад"}},
      {{RecordMarkGroup, "Цех* Отдел* Склад",
        [&] {
          PressShortCut(RecordMarkGroup->ShortCut);
          Tree.Next();
        }}},
      {{Sum, "!Итого по ВСЕЙ графе QTY  60"}},
      {{RecordCount, "!Количество  строк = 3"}},
      {{Filter, "filter QTY"}},
      {{FilterCancel, "Цех* Отдел Склад", [&] { FilterMarked(); }}},
      {{Sort, "Отдел Склад Цех"}},
      {{SortCancel, "Цех Отдел Склад", [&] { Source.SortByField("QTY"); }}},
      {{RecordEdit, "|2"}},
      {{RecordPost, "|1 Цех", [&] { Tree.Edit(); }}},
      {{RecordInsert, "|3"}},
      // Ctrl+Del deletes the word to the right in an edit.
      {{RecordDelete, "?Удалить запись?", [&] { Dialogs.Answer(mrCancel); }},
       true,
       "|2 |1 |clip=- |edit="},
      {{RecordAttributes, "attributes"}},
      {{GroupDelete, "?Удалить все записи?"}},
      {{GroupReplace, "Заменить в ГРАФЕ одно значение на другое"}},
      {{GroupFill, "Заменить в ГРАФЕ все значения на заданное"}},
      {{GroupAdd, "Добавить значение(в графе)"}},
      {{GroupMul, "Умножить на значение(в графе)"}},
      // The edit pastes by itself too.
      {{REditPaste, "|2 |1 |clip=7 |edit=7",
        [&] {
          PutClipboardText("7");
          Edit->SelectAll();
        }},
       true,
       "|2 |1 |clip=7 |edit=7"},
      {{TougleLevels, "Иванов Петров |2"}},
      // Keys whose actions act on a grid only: taken, and nothing happens.
      {{Find, nullptr}},
      {{RecordDoubleField, nullptr}},
      {{RecordDoubleRecord, nullptr}},
      // The application's keys without a handler go on to the edit.
      {{StdPrint, nullptr}},
      {{CallRef, nullptr}},
      // The edit copies by itself: the grid's copy is not its.
      {{REditCopy, "|clip=30", [&] { Edit->SelectAll(); }}, false},
      {{action("CalcAction1"), "CalcAction1"}},
      {{action("PascalScriptAction1"), "PascalScriptAction1"}},
      {{action("CloseAppFormAction1"), "CloseAppFormAction1"}},
      {{action("ShowNextAppFormAction1"), "ShowNextAppFormAction1"}},
      {{action("TabGridAction1"), "TabGridAction1"}},
      {{action("EditCut1"), "|2 |1 |clip=30 |edit=", [&] { Edit->SelectAll(); }}, false},
  };
  for (const auto& c : cases) {
    TAction* pressed = c.Press.Action;
    SCOPED_TRACE(pressed->Name());
    for (const bool off : {false, true}) {
      if (off && !c.CanBeOff) continue;
      SCOPED_TRACE(off ? "disabled" : "enabled");
      Reset();
      Focus(Edit);
      if (off) pressed->OnUpdate = [pressed](TObject*) { pressed->Enabled = false; };
      if (c.Press.Before) c.Press.Before();
      const AnsiString before = Observed();
      Press(pressed, off);
      const AnsiString after = Observed();
      pressed->OnUpdate = nullptr;
      pressed->Enabled = true;
      const char* does = off ? c.OffDoes : c.Press.Does;
      if (!does) {
        EXPECT_EQ(after, before);
      } else {
        EXPECT_NE(after, before);
        EXPECT_NE(after.find(does), AnsiString::npos) << after;
      }
    }
  }
}

// An edit bound to nothing is no record's: the record keys are its own.
TEST_F(ServiceShortCuts, AnUnboundEditKeepsItsOwnKeys) {
  Edit->SetDataSource(nullptr);
  Edit->SetDataField("");
  Focus(Edit);
  Edit->SetText("abc def");
  Edit->SetSelStart(0);
  Edit->SetSelLength(0);
  EXPECT_EQ(Edit->Text(), "abc def");
  for (TAction* action : {RecordInsert, RecordMark, RecordEdit, Sum}) {
    Press(action, true);
    EXPECT_EQ(Edit->Text(), "abc def") << action->Name();
  }
  Edit->SetSelStart(4);
  PressShortCut(RecordDelete->ShortCut);  // the edit's Ctrl+Del: to the end of the line
  EXPECT_EQ(Edit->Text(), "abc ");
  EXPECT_TRUE(Dialogs.Asked.empty());
  EXPECT_TRUE(Data.Messages.empty());
  EXPECT_TRUE(Journal.empty());
}

}  // namespace
