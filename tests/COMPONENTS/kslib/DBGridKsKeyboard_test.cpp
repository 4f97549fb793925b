// The grid's keys under Wine, as real key messages through the
// application's loop: moves, selection, insert, append and delete, the
// shortcuts and the incremental search.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>

#include "COMPONENTS/kslib/DBGridKsFilterRow.h"
#include "CityGridForm.h"
#include "GridForm.h"
#include "forms/ActnList.h"
#include "forms/Clipbrd.h"
#include "forms/ScriptedPrompts.h"

namespace {

const auto* const Unit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

constexpr int NameCol = 1, QtyCol = 2, PaidCol = 5, LastCol = 5;

TEST(DBGridKeys, MovesFollowTheKeyTable) {
  struct TCase {
    const char* Name;
    std::function<void(TCityGridForm&)> Arrange;
    WORD Key;
    WORD Modifier;
    int RecNo, Col;
  };
  auto At = [](int RecNo, int Col) {
    return [=](TCityGridForm& F) {
      F.Table.SetRecNo(RecNo);
      F.Grid->SetCol(Col);
    };
  };
  auto Page = [] {
    TCityGridForm F;
    F.Show();
    return F.Grid->VisibleDataRows();
  }();
  const TCase Cases[] = {
      {"Down", At(1, NameCol), VK_DOWN, 0, 2, NameCol},
      {"Up at the top stays", At(1, NameCol), VK_UP, 0, 1, NameCol},
      {"Up", At(3, NameCol), VK_UP, 0, 2, NameCol},
      {"PgDn", At(1, NameCol), VK_NEXT, 0, 1 + Page, NameCol},
      {"PgUp", At(20, NameCol), VK_PRIOR, 0, 20 - Page, NameCol},
      {"Ctrl+End", At(3, NameCol), VK_END, VK_CONTROL, 30, NameCol},
      {"Ctrl+Home", At(20, NameCol), VK_HOME, VK_CONTROL, 1, NameCol},
      {"Home goes to the first column", At(3, QtyCol + 1), VK_HOME, 0, 3, NameCol},
      {"End goes to the last column", At(3, NameCol), VK_END, 0, 3, LastCol},
      {"Ctrl+Right", At(3, NameCol), VK_RIGHT, VK_CONTROL, 3, LastCol},
      {"Ctrl+Left", At(3, LastCol), VK_LEFT, VK_CONTROL, 3, NameCol},
      {"Right", At(3, NameCol), VK_RIGHT, 0, 3, QtyCol},
      {"Left at the first column stays", At(3, NameCol), VK_LEFT, 0, 3, NameCol},
      {"Tab", At(3, NameCol), VK_TAB, 0, 3, QtyCol},
      {"Tab past the row end", At(3, LastCol), VK_TAB, 0, 4, NameCol},
      {"Shift+Tab before the row start", At(3, NameCol), VK_TAB, VK_SHIFT, 2, LastCol},
      {"Enter as Tab past the row end", At(3, LastCol), VK_RETURN, 0, 4, NameCol},
  };
  for (const TCase& C : Cases) {
    TCityGridForm F;
    F.Show();
    C.Arrange(F);
    if (C.Modifier) {
      F.Key(C.Key, {C.Modifier});
    } else {
      F.Key(C.Key);
    }
    EXPECT_EQ(F.RecNo(), C.RecNo) << C.Name;
    EXPECT_EQ(F.Grid->Col(), C.Col) << C.Name;
    EXPECT_EQ(F.Table.State(), dsBrowse) << C.Name;
  }
}

TEST(DBGridKeys, RowSelectScrollsTheColumnsWithoutMovingTheCell) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgRowSelect});
  for (int I = 0; I < 5; ++I) F.Grid->Columns()->Items(I)->SetWidth(150);
  F.Show();
  int Col = F.Grid->Col(), Left = F.Grid->LeftCol();
  F.Key(VK_RIGHT);
  EXPECT_EQ(F.Grid->LeftCol(), Left + 1);
  EXPECT_EQ(F.Grid->Col(), Col);
  F.Key(VK_LEFT);
  F.Key(VK_LEFT);
  EXPECT_EQ(F.Grid->LeftCol(), Left) << "never left of the fixed columns";
  EXPECT_EQ(F.Grid->Col(), Col);
}

TEST(DBGridKeys, DownPastTheEndAppendsOnceAndUpDropsTheUntouchedRecord) {
  TCityGridForm F;
  F.Show();
  F.Table.Last();
  F.Key(VK_DOWN);
  EXPECT_EQ(F.Table.State(), dsInsert);
  F.Key(VK_DOWN);
  EXPECT_EQ(F.Table.State(), dsInsert) << "an untouched new record at the end stays";
  F.Key(VK_UP);
  EXPECT_EQ(F.Table.State(), dsBrowse);
  EXPECT_EQ(F.Table.RecordCount(), 30);
  EXPECT_EQ(F.RecNo(), 30);

  // Each append condition on its own keeps Down at the end.
  for (int Case = 0; Case < 3; ++Case) {
    TCityGridForm G;
    if (Case == 0) G.Grid->SetAllowedOperations({alopInsertKs, alopUpdateKs, alopDeleteKs});
    if (Case == 1) G.Grid->SetReadOnly(true);
    if (Case == 2) G.Grid->SetOptions(G.Grid->Options() - TDBGridOptions{dgEditing});
    G.Show();
    G.Table.Last();
    G.Key(VK_DOWN);
    EXPECT_EQ(G.Table.State(), dsBrowse) << Case;
  }
}

TEST(DBGridKeys, InsertTakesTheAllowedOperationAndEscDropsTheUntouchedRecord) {
  TCityGridForm F;
  F.Show();
  F.Table.SetRecNo(3);
  F.Key(VK_INSERT);
  ASSERT_EQ(F.Table.State(), dsInsert);
  F.Key(VK_ESCAPE);
  EXPECT_EQ(F.Table.State(), dsBrowse);
  EXPECT_EQ(F.Table.RecordCount(), 30);

  F.Grid->SetAllowedOperations({alopUpdateKs, alopAppendKs});
  F.Key(VK_INSERT);
  EXPECT_EQ(F.Table.State(), dsInsert) << "appends instead";
  F.Table.FieldByName("Name")->SetAsString("Новый");
  F.Table.Post();
  F.Table.Last();
  EXPECT_EQ(F.Name(), "Новый") << "the new record went to the end";

  F.Grid->SetAllowedOperations({alopUpdateKs});
  F.Key(VK_INSERT);
  EXPECT_EQ(F.Table.State(), dsBrowse);
}

// Typed into a cell, the first Esc gives the cell its value back and the
// second cancels the record's edit, with the editor shown on demand or
// always.
TEST(DBGridKeys, TheFirstEscUndoesTheCellAndTheSecondCancelsTheEdit) {
  for (bool Always : {false, true}) {
    TCityGridForm F;
    if (Always) F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgAlwaysShowEditor});
    F.Show();
    F.Table.SetRecNo(3);
    F.Grid->SetCol(QtyCol);
    PressKey('7');
    ASSERT_TRUE(PumpUntil([&] {
      TInplaceEdit* Editor = F.Grid->InplaceEditor();
      return Editor && Editor->Visible() && Editor->Text().find('7') != AnsiString::npos;
    })) << Always;
    ASSERT_EQ(F.Table.State(), dsEdit) << Always;
    PressKey(VK_ESCAPE);
    PumpFor(30);
    EXPECT_EQ(F.Table.State(), dsEdit) << "the record stays in edit " << Always;
    EXPECT_EQ(F.Table.FieldByName("Qty")->AsInteger(), 30) << Always;
    if (Always) {
      EXPECT_EQ(F.Grid->InplaceEditor()->Text(), "30");
    }
    PressKey(VK_ESCAPE);
    PumpFor(30);
    EXPECT_EQ(F.Table.State(), dsBrowse) << "the second Esc cancels " << Always;
    EXPECT_EQ(F.Table.FieldByName("Qty")->AsInteger(), 30) << Always;
  }
}

// Shift+Ctrl+End and Shift+Ctrl+Home select every record to an end of a
// hundred thousand in a walk with the controls disabled and one repaint:
// well under a second and within 50 times a plain walk over the records.
TEST(DBGridKeys, ShiftCtrlEndAndHomeSelectAHundredThousandRecordsInOneWalk) {
  constexpr int Records = 100000;
  TCityGridForm F(Records);
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect, dgRowSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  F.Show();
  using TClock = std::chrono::steady_clock;
  auto Seconds = [](TClock::duration Time) { return std::chrono::duration<double>(Time).count(); };
  TClock::time_point Began = TClock::now();
  F.Table.DisableControls();
  int Walked = 0;
  for (F.Table.First(); !F.Table.Eof(); F.Table.Next()) ++Walked;
  F.Table.First();
  F.Table.EnableControls();
  double Plain = Seconds(TClock::now() - Began);
  ASSERT_EQ(Walked, Records);
  F.Table.MoveBy(4);
  PumpFor(30);
  int Paints = 0;
  F.Grid->MessageHook = [&](TMessage& Message) {
    if (Message.Msg == WM_PAINT) ++Paints;
    return false;
  };
  struct TCase {
    WORD Key;
    int RecNo, Selected;
  } Cases[] = {{VK_END, Records, Records - 4}, {VK_HOME, 1, 5}};
  for (const TCase& C : Cases) {
    Paints = 0;
    Began = TClock::now();
    PressKeys(C.Key, {VK_SHIFT, VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return F.RecNo() == C.RecNo; }, 20000)) << C.Key;
    double Took = Seconds(TClock::now() - Began);
    PumpFor(30);
    std::printf("Shift+Ctrl+%s in %d records: %.3f s; a plain walk of them: %.3f s (%.1f times)\n",
                C.Key == VK_END ? "End" : "Home", Records, Took, Plain, Took / Plain);
    EXPECT_EQ(F.Grid->SelectedRows()->Count(), C.Selected) << C.Key;
    EXPECT_LT(Took, 1.0) << C.Key;
    EXPECT_LT(Took, 50 * Plain) << C.Key;
    EXPECT_LE(Paints, 2) << C.Key;
  }
  F.Grid->MessageHook = nullptr;
}

TEST(DBGridKeys, ShiftStepsSelectRowsOrARectangle) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks, gstAll});
  F.Show();
  F.Key(VK_DOWN, {VK_SHIFT});
  F.Key(VK_DOWN, {VK_SHIFT});
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 3);
  F.Key(VK_UP, {VK_SHIFT});
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 2) << "a step back gives the row up";
  F.Key(VK_DOWN);
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 0) << "a plain move clears";
  F.Key('A', {VK_CONTROL});
  EXPECT_EQ(F.Grid->Selection()->SelectionType(), gstNon) << "not an edit action of the grid";
  F.Grid->SetEditActions({geaSelectAllKs});
  F.Key('A', {VK_CONTROL});
  EXPECT_EQ(F.Grid->Selection()->SelectionType(), gstAll);
  F.Key(VK_DOWN);
  F.Table.EmptyTable();
  F.Key('A', {VK_CONTROL});
  EXPECT_EQ(F.Grid->Selection()->SelectionType(), gstNon) << "nothing to select";

  TCityGridForm R;
  R.Grid->SetOptions(R.Grid->Options() + TDBGridOptions{dgMultiSelect});
  R.Grid->SetAllowedSelections({gstRectangle});
  R.Show();
  R.Key(VK_DOWN, {VK_SHIFT});
  R.Key(VK_RIGHT, {VK_SHIFT});
  ASSERT_EQ(R.Grid->Selection()->SelectionType(), gstRectangle);
  TDBGridKsSelectionRect* Rect = R.Grid->Selection()->Rect();
  EXPECT_EQ(Rect->GetLeftCol(), 0);
  EXPECT_EQ(Rect->GetRightCol(), 1);
  EXPECT_EQ(R.RecNo(), 2);
  EXPECT_FALSE(R.Grid->EditorMode()) << "no editor over a rectangle";
}

// The table's order changes under the selected rows: a new index, then a
// posted name that moves its record to the front.
TEST(DBGridKeys, SelectedRowsStayOnceThroughASortAndAKeyEdit) {
  TCityGridForm F(8);
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  F.Show();
  F.Key(VK_DOWN, {VK_SHIFT});
  F.Key(VK_DOWN, {VK_SHIFT});
  ASSERT_EQ(F.Grid->SelectedRows()->Count(), 3);
  auto Selected = [&](const char* Name) {
    EXPECT_TRUE(F.Table.Locate("Name", Variant(AnsiString(Name)), {})) << Name;
    return F.Grid->SelectedRows()->CurrentRowSelected();
  };
  auto ExpectSelected = [&](std::vector<const char*> On, std::vector<const char*> Off,
                            const char* Step) {
    for (const char* Name : On) EXPECT_TRUE(Selected(Name)) << Name << ", " << Step;
    for (const char* Name : Off) EXPECT_FALSE(Selected(Name)) << Name << ", " << Step;
    EXPECT_EQ(F.Grid->SelectedRows()->Count(), static_cast<int>(On.size())) << Step;
  };
  F.Table.SetIndexFieldNames("Name");
  PumpFor(20);
  ExpectSelected({"Москва", "Мурманск", "Тверь"}, {"Омск", "Тула", "Город 6"}, "sorted");
  ASSERT_TRUE(F.Table.Locate("Name", Variant(AnsiString("Тверь")), {}));
  F.Table.Edit();
  F.Table.FieldByName("Name")->SetAsString("Абакан");
  F.Table.Post();
  PumpFor(20);
  ExpectSelected({"Москва", "Мурманск", "Абакан"}, {"Омск", "Тула"}, "moved by its key");
  Selected("Абакан");
  F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 3) << "selected once";
  F.Grid->SelectedRows()->SetCurrentRowSelected(false);
  ExpectSelected({"Москва", "Мурманск"}, {"Абакан", "Омск"}, "unselected");
}

TEST(DBGridKeys, WithoutClearSelectionMovesKeepTheRowsAndShiftStepsToggle) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghClearSelection});
  F.Show();
  F.Table.SetRecNo(3);
  F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  F.Table.SetRecNo(2);
  F.Key(VK_DOWN, {VK_SHIFT});
  auto Selected = [&](int RecNo) {
    F.Table.SetRecNo(RecNo);
    return F.Grid->SelectedRows()->CurrentRowSelected();
  };
  EXPECT_TRUE(Selected(2)) << "the anchor toggled on";
  EXPECT_FALSE(Selected(3)) << "the selected row toggled off";
  F.Table.SetRecNo(5);
  F.Key(VK_DOWN);
  F.Key(VK_END, {VK_CONTROL});
  EXPECT_TRUE(Selected(2)) << "moves keep the selection";
}

TEST(DBGridKeys, DeleteAsksFirstAndDeletesTheRecordOrTheSelectedRows) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  F.Show();
  {
    TScriptedPrompts Script;
    Script.Answer(IDCANCEL);
    F.Key(VK_DELETE, {VK_CONTROL});
    ASSERT_EQ(Script.Asked.size(), 1u);
    EXPECT_EQ(Script.Asked[0].Text, "Удалить запись?");
    EXPECT_EQ(Script.Asked[0].Flags & MB_TYPEMASK, MB_OKCANCEL);
    EXPECT_EQ(F.Table.RecordCount(), 30) << "Cancel deletes nothing";
    Script.Answer(IDOK);
    F.Key(VK_DELETE, {VK_CONTROL});
    EXPECT_EQ(F.Table.RecordCount(), 29);
    EXPECT_EQ(F.Name(), "Мурманск");

    F.Key(VK_DOWN, {VK_SHIFT});
    Script.Answer(IDOK);
    F.Key(VK_DELETE, {VK_CONTROL});
    EXPECT_EQ(Script.Asked.back().Text, "Удалить все выбранные записи?");
    EXPECT_EQ(F.Table.RecordCount(), 27);
    EXPECT_EQ(F.Name(), "Омск");
  }
  // Without the option nobody is asked; without the right nothing goes.
  F.Grid->SetOptions(F.Grid->Options() - TDBGridOptions{dgConfirmDelete});
  {
    TScriptedPrompts Script;
    F.Key(VK_DELETE, {VK_CONTROL});
    EXPECT_TRUE(Script.Asked.empty());
    EXPECT_EQ(F.Table.RecordCount(), 26);
    F.Grid->SetAllowedOperations({alopUpdateKs});
    F.Key(VK_DELETE, {VK_CONTROL});
    EXPECT_EQ(F.Table.RecordCount(), 26);
  }
}

// Answers the first message box of this thread with OK.
BOOL CALLBACK AnswerBox(HWND Wnd, LPARAM Seen) {
  char Class[16] = {};
  GetClassNameA(Wnd, Class, sizeof Class);
  if (AnsiString(Class) != "#32770" || !IsWindowVisible(Wnd)) return TRUE;
  *reinterpret_cast<bool*>(Seen) = true;
  PostMessageA(Wnd, WM_COMMAND, IDOK, 0);
  return FALSE;
}

// The system's own box, answered through its window.
TEST(DBGridKeys, DeleteThroughTheRealConfirmationBox) {
  TCityGridForm F;
  F.Show();
  bool Seen = false;
  Later([&] { EnumThreadWindows(GetCurrentThreadId(), AnswerBox, reinterpret_cast<LPARAM>(&Seen)); },
        150);
  F.Key(VK_DELETE, {VK_CONTROL});
  PumpUntil([&] { return F.Table.RecordCount() == 29; });
  EXPECT_TRUE(Seen);
  EXPECT_EQ(F.Table.RecordCount(), 29);
}

TEST(DBGridKeys, DeleteEmptiesACheckBoxCellUnlessRequired) {
  TCityGridForm F;
  F.Show();
  F.Table.SetRecNo(2);
  F.Grid->SetCol(PaidCol);
  F.Key(VK_DELETE);
  EXPECT_TRUE(F.Table.FieldByName("Paid")->IsNull());
  F.Table.Post();
  F.Table.SetRecNo(4);
  F.Table.FieldByName("Paid")->SetRequired(true);
  F.Key(VK_DELETE);
  EXPECT_TRUE(F.Table.FieldByName("Paid")->AsBoolean());
  F.Grid->SetCol(QtyCol);
  F.Key(VK_DELETE);
  EXPECT_EQ(F.Table.FieldByName("Qty")->AsInteger(), 40) << "a text cell is left to the editor";
}

TEST(DBGridKeys, SpaceStepsACheckBoxCellBackwardWithShift) {
  TCityGridForm F;
  F.Show();
  F.Grid->SetCol(PaidCol);
  F.Key(VK_SPACE);
  EXPECT_TRUE(F.Table.FieldByName("Paid")->AsBoolean());
  F.Key(VK_SPACE, {VK_SHIFT});
  EXPECT_FALSE(F.Table.FieldByName("Paid")->AsBoolean());
}

TEST(DBGridKeys, CtrlQuoteCopiesTheValueOfTheRecordAbove) {
  TCityGridForm F;
  F.Show();
  F.Table.SetRecNo(4);
  F.Grid->SetCol(QtyCol);
  F.Key(222, {VK_CONTROL});
  EXPECT_EQ(F.Table.State(), dsEdit);
  EXPECT_EQ(F.Table.FieldByName("Qty")->AsInteger(), 30);
  EXPECT_EQ(F.Grid->DataLink()->ActiveRecord(), F.Grid->Row() - F.Grid->TitleOffset());
  F.Table.Cancel();
  F.Table.First();
  F.Key(222, {VK_CONTROL});
  EXPECT_EQ(F.Table.State(), dsBrowse) << "nothing above the first record in view";
}

// A quantity that cannot be read on the record of the given name.
class TGuardedQtyField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
  AnsiString Refused;
  Variant Value() const override {
    if (!Refused.empty() && DataSet()->FieldByName("Name")->AsString() == Refused)
      throw EDatabaseError("Не читается");
    return TIntegerField::Value();
  }
};

TEST(DBGridKeys, AnUnreadableRecordAboveLeavesTheCurrentRecordActive) {
  TGridForm<> F(0, false);
  TArrayDataSet Data(nullptr);
  AddFieldObject(&Data, "Name", ftString);
  auto* Qty = new TGuardedQtyField(&Data);
  Qty->SetFieldName("Qty");
  Qty->SetDataSet(&Data);
  Data.Open();
  for (const char* Name : {"a", "b", "c"}) AppendValues(&Data, {Name, 1});
  TDataSource Source(nullptr);
  Source.SetDataSet(&Data);
  F.Grid->SetDataSource(&Source);
  F.Show();
  F.Grid->SetCol(2);
  Qty->Refused = "b";
  EXPECT_THROW(F.Grid->CopyFromRecordAbove(), EDatabaseError);
  EXPECT_EQ(Data.FieldByName("Name")->AsString(), "c") << "an edit lands on the current record";
  EXPECT_EQ(F.Grid->DataLink()->ActiveRecord(), F.Grid->Row() - F.Grid->TitleOffset());
  F.Grid->SetDataSource(nullptr);
  Data.Close();
}

TEST(DBGridSearch, TypedTextFindsThePrefixAsStoredAndBackspaceShortensIt) {
  TCityGridForm F;
  F.Grid->Columns()->Items(0)->SetReadOnly(true);
  F.Show();
  F.Table.SetRecNo(3);
  PostText("мУ");
  PumpFor(30);
  EXPECT_TRUE(F.Grid->InIncSearch);
  EXPECT_EQ(F.Name(), "Мурманск");
  EXPECT_EQ(F.Grid->IncSearchText, "Му") << "spelled as in the record";
  EXPECT_FALSE(F.Grid->EditorMode());
  PostText("я");
  PumpFor(30);
  EXPECT_EQ(F.Grid->IncSearchText, "Му") << "no match keeps the text";
  EXPECT_EQ(F.Name(), "Мурманск") << "and the position";
  F.Key(VK_BACK);
  F.Key(VK_BACK);
  EXPECT_TRUE(F.Grid->InIncSearch);
  EXPECT_EQ(F.Grid->IncSearchText, "");
  PostText("Т");
  PumpFor(30);
  EXPECT_EQ(F.Name(), "Тверь") << "starts again from an empty text";
  F.Key(VK_RETURN, {VK_CONTROL});
  EXPECT_EQ(F.Name(), "Тула") << "next match";
  F.Key(VK_RETURN, {VK_CONTROL, VK_SHIFT});
  EXPECT_EQ(F.Name(), "Тверь") << "prior match";
  F.Key(VK_RIGHT);
  EXPECT_FALSE(F.Grid->InIncSearch) << "a column move ends it";
}

// A double-byte character searches whole, and Backspace takes it whole.
TEST(DBGridSearch, ADoubleByteCharacterIsSearchedAndRemovedWhole) {
  TFarEastScope FarEast;
  TCityGridForm F;
  for (const char* Name : {"\x82\xA0x", "\x82\xA2y"}) {
    F.Table.Edit();
    F.Table.FieldByName("Name")->SetAsString(Name);
    F.Table.Post();
    F.Table.Next();
  }
  F.Table.First();
  F.Grid->Columns()->Items(0)->SetReadOnly(true);
  F.Show();
  for (char Byte : {'\x82', '\xA2'}) PostMessageA(F.Grid->Handle(), WM_CHAR, static_cast<uint8_t>(Byte), 1);
  PumpFor(30);
  EXPECT_EQ(F.Name(), "\x82\xA2y");
  EXPECT_EQ(F.Grid->IncSearchText, "\x82\xA2");
  F.Key(VK_BACK);
  EXPECT_TRUE(F.Grid->InIncSearch);
  EXPECT_EQ(F.Grid->IncSearchText, "") << "no lead byte left behind";
}

TEST(DBGridSearch, TheSearchEndsOnItsTimer) {
  TCityGridForm F;
  F.Grid->Columns()->Items(0)->SetReadOnly(true);
  F.Show();
  PostText("Т");
  PumpFor(30);
  ASSERT_TRUE(F.Grid->InIncSearch);
  EXPECT_TRUE(PumpUntil([&] { return !F.Grid->InIncSearch; }, 5000));
}

TEST(DBGridSearch, ShortcutsStartTheSearchOrOpenTheFindDialogStandIn) {
  TCityGridForm F;
  F.Show();
  int Finds = 0;
  ShowFindDialogProc = [&](TCustomDBGridKs* Grid) {
    EXPECT_EQ(Grid, F.Grid);
    ++Finds;
  };
  F.Key('F', {VK_CONTROL});
  EXPECT_TRUE(F.Grid->InIncSearch) << "Ctrl+F starts a search without a timeout";
  PostText("Ом");
  PumpFor(30);
  EXPECT_EQ(F.Name(), "Омск");
  F.Key('F', {VK_CONTROL});
  EXPECT_EQ(Finds, 0) << "with the default shortcuts Ctrl+F restarts the search";
  F.Key(VK_F3, {VK_CONTROL});
  EXPECT_EQ(Finds, 1);
  DBGridKsUnit.FindDialogShortCut = DBGridKsUnit.IncSearchShortCut;
  F.Key('F', {VK_CONTROL});
  EXPECT_EQ(Finds, 2);
  EXPECT_FALSE(F.Grid->InIncSearch);
  DBGridKsUnit.FindDialogShortCut = 16498;
  ShowFindDialogProc = nullptr;
  F.Key(VK_F3, {VK_CONTROL});
  EXPECT_EQ(Finds, 2) << "an empty hook does nothing";
}

TEST(DBGridSearch, CtrlVAddsTheClipboardText) {
  TCityGridForm F;
  F.Show();
  Clipboard()->SetAsText("Тв");
  F.Key('F', {VK_CONTROL});
  F.Key('V', {VK_CONTROL});
  EXPECT_EQ(F.Name(), "Тверь");
  EXPECT_EQ(F.Grid->IncSearchText, "Тв");
}

TEST(DBGridSearch, AFailingCellTextLeavesThePositionAndTheControlsAsTheyWere) {
  TCityGridForm F;
  F.Grid->Columns()->Items(0)->SetReadOnly(true);
  F.Show();
  F.Table.SetRecNo(2);
  F.Table.FieldByName("Name")->OnGetText = [](TField* Sender, AnsiString& Text, bool) {
    Text = Sender->AsString();
    if (Text == "Тула") throw std::runtime_error("unreadable");
  };
  EXPECT_THROW(F.Grid->IncrementalSearch("Я", 1000, 0), std::runtime_error);
  EXPECT_FALSE(F.Table.ControlsDisabled());
  F.Table.FieldByName("Name")->OnGetText = nullptr;
  EXPECT_EQ(F.Name(), "Мурманск");
}

TEST(DBGridKeys, ClipboardKeysCallTheStandIns) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks, gstAll});
  F.Grid->SetEditActions({geaCutKs, geaCopyKs, geaPasteKs, geaDeleteKs, geaSelectAllKs});
  F.Show();
  std::vector<AnsiString> Calls;
  auto Record = [&](const char* Name) {
    return [&Calls, Name](TCustomDBGridKs*) { Calls.push_back(Name); };
  };
  CopyGridSelectionProc = Record("copy");
  CutGridSelectionProc = Record("cut");
  PasteIntoGridProc = Record("paste");
  DeleteGridSelectionProc = Record("delete");
  F.Key('C', {VK_CONTROL});
  EXPECT_TRUE(Calls.empty()) << "nothing selected to copy";
  F.Key(VK_DOWN, {VK_SHIFT});
  F.Key('C', {VK_CONTROL});
  F.Key(VK_INSERT, {VK_CONTROL});
  F.Key('X', {VK_CONTROL});
  F.Key(VK_DELETE, {VK_SHIFT});
  Clipboard()->SetAsText("x");
  F.Key('V', {VK_CONTROL});
  F.Key(VK_INSERT, {VK_SHIFT});
  F.Key(VK_DELETE, {VK_CONTROL});
  EXPECT_EQ(Calls, (std::vector<AnsiString>{"copy", "copy", "cut", "cut", "paste", "paste",
                                            "delete"}));
  CopyGridSelectionProc = CutGridSelectionProc = PasteIntoGridProc = DeleteGridSelectionProc =
      nullptr;
}

TEST(DBGridKeys, EnterEscAndTabAreTheGridsKeysNotTheForms) {
  TCityGridForm F;
  LRESULT Code = 0;
  F.Show();
  Code = SendMessageA(F.Grid->Handle(), WM_GETDLGCODE, 0, 0);
  EXPECT_TRUE(Code & DLGC_WANTALLKEYS);
  EXPECT_TRUE(Code & DLGC_WANTARROWS);
  EXPECT_TRUE(Code & DLGC_WANTTAB);
}

}  // namespace

namespace {

TEST(DBGridKeys, UpFromTheFirstRecordOrWithCtrlGoesIntoTheFilterRow) {
  TCityGridForm F;
  F.Grid->STFilter()->SetVisible(true);
  F.Show();
  F.Table.SetRecNo(3);
  F.Key(VK_UP);
  EXPECT_EQ(F.RecNo(), 2);
  EXPECT_FALSE(F.Grid->FilterRowEditing());
  F.Grid->SetCol(QtyCol);
  F.Key(VK_UP, {VK_CONTROL});
  EXPECT_TRUE(F.Grid->FilterRowEditing());
  EXPECT_EQ(F.Grid->FilterColumn(), QtyCol - 1);
  EXPECT_EQ(F.RecNo(), 2) << "the record stays";
  EXPECT_EQ(GetFocus(), F.Grid->FilterEditor()->Handle());

  // A press in the data leaves it.
  F.Mouse(WM_LBUTTONDOWN, F.CellCenter(NameCol, F.Grid->TitleOffset() + 2), MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, F.CellCenter(NameCol, F.Grid->TitleOffset() + 2));
  PumpFor(30);
  EXPECT_FALSE(F.Grid->FilterRowEditing());
  EXPECT_FALSE(F.Grid->FilterEditor()->Visible());
  F.Table.First();
  F.Grid->SetFocus();
  PumpUntilFocused(F.Grid->Handle());
  F.Key(VK_UP);
  EXPECT_TRUE(F.Grid->FilterRowEditing()) << "Up on the first record";
  EXPECT_EQ(F.Grid->FilterColumn(), NameCol - 1);
}

}  // namespace

namespace {

TEST(DBGridKeys, EditActionsGoToTheGridWhileItHasTheFocus) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks, gstAll});
  F.Grid->SetEditActions({geaCopyKs, geaSelectAllKs});
  F.Show();
  int Copies = 0;
  CopyGridSelectionProc = [&](TCustomDBGridKs*) { ++Copies; };
  TEditCopy Copy(nullptr);
  TEditSelectAll All(nullptr);
  TEditCut Cut(nullptr);
  EXPECT_TRUE(Copy.Update());
  EXPECT_FALSE(Copy.Enabled) << "nothing selected";
  EXPECT_FALSE(Copy.Execute());
  F.Key(VK_DOWN, {VK_SHIFT});
  EXPECT_TRUE(Copy.Update());
  EXPECT_TRUE(Copy.Enabled);
  EXPECT_TRUE(Copy.Execute());
  EXPECT_EQ(Copies, 1);
  EXPECT_FALSE(Cut.Execute()) << "not among the grid's edit actions";
  EXPECT_TRUE(All.Execute());
  EXPECT_EQ(F.Grid->Selection()->SelectionType(), gstAll);

  // With the cell editor focused the actions work on its text.
  F.Key(VK_DOWN);
  F.Key(VK_F2);
  ASSERT_EQ(GetFocus(), F.Grid->InplaceEditor()->Handle());
  EXPECT_TRUE(Copy.Execute());
  EXPECT_EQ(Copies, 1);
  EXPECT_EQ(Clipboard()->AsText(), F.Name());
  CopyGridSelectionProc = nullptr;
}

TEST(DBGridKeys, AnInputMethodCompositionOpensTheCellEditor) {
  TCityGridForm F;
  F.Show();
  SendMessageA(F.Grid->Handle(), WM_IME_STARTCOMPOSITION, 0, 0);
  EXPECT_TRUE(F.Grid->EditorMode());
}

}  // namespace
