// The grid's filter row under real keys: the entries of the filter list and
// what choosing each does, Enter applying, Down leaving into the data, and
// moving between filter cells round the row's ends.
#include "COMPONENTS/kslib/DBGridKsFilterRow.h"

#include <gtest/gtest.h>

#include "COMPONENTS/kslib/DBGridKsFilter.h"
#include "GridForm.h"

namespace {

enum { ColId, ColName, ColPrice, ColQty };

struct TFilterRowForm : TGridForm<> {
  int Applies = 0;

  TFilterRowForm() {
    Grid->STFilter()->SetVisible(true);
    Grid->OnApplyFilter = [this](TObject*) { ++Applies; };
    Grid->Columns()->Items(ColName)->STFilter()->SetListSource(&Source);
  }
  ~TFilterRowForm() { DefaultDBGridKsStyle()->FilterApplyTriggers = 0; }
  TFilterRowForm(const TFilterRowForm&) = delete;
  TFilterRowForm& operator=(const TFilterRowForm&) = delete;

  TColumnKs* Column(int Index) { return Grid->Columns()->Items(Index); }
  TInplaceFilterEditKs* Editor() { return Grid->FilterEditor(); }
  TInplaceFilterEditKs* EditFilter(int DataCol) {
    Show();
    Grid->ShowFilterEditorInColumn(DataCol);
    PumpUntilFocused(Editor()->Handle());
    return Editor();
  }
  // Opens the list and chooses its entry with the text.
  void Choose(const AnsiString& Entry) {
    PostKey(VK_DOWN, {VK_MENU});
    ASSERT_TRUE(PumpUntil([&] { return Editor()->ListVisible(); }));
    int Index = Editor()->Items()->IndexOf(Entry);
    ASSERT_GE(Index, 0) << Entry;
    Editor()->PopupListbox()->SetItemIndex(Index);
    PostKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !Editor()->ListVisible(); }));
  }
};

const ::testing::Environment* const GridUnit =
    ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

TEST(DBGridKsFilterRow, TheEmptyEntryWritesNullAndAppliesOnlyWithTriggers) {
  TFilterRowForm F;
  TInplaceFilterEditKs* Editor = F.EditFilter(ColName);
  EXPECT_EQ(F.Grid->FilterColumn(), ColName);
  EXPECT_TRUE(F.Grid->IsFilterRow(F.Grid->TitleOffset() - 1));
  F.Choose("(Пустые)");
  EXPECT_EQ(Editor->Text(), "=Null");
  EXPECT_EQ(F.Applies, 0);

  DefaultDBGridKsStyle()->FilterApplyTriggers = 1;
  F.Choose("(Не пустые)");
  EXPECT_EQ(F.Applies, 1);
  EXPECT_EQ(F.Column(ColName)->STFilter()->FilterText(), "<>Null");
  EXPECT_EQ(GetFocus(), Editor->Handle());
  F.Choose("(Все)");
  EXPECT_EQ(Editor->Text(), "");
  EXPECT_EQ(F.Applies, 2);
  EXPECT_EQ(F.Column(ColName)->STFilter()->FilterText(), "");

  // A value is the drop-down's own business: it becomes the text, nothing applies.
  DefaultDBGridKsStyle()->FilterApplyTriggers = 0;
  F.Choose("item2");
  EXPECT_EQ(Editor->Text(), "item2");
  EXPECT_EQ(F.Applies, 2);
}

// A wheel that reaches the grid while a filter cell is edited is the
// filter editor's; what that editor leaves (with Ctrl) scrolls the grid once.
TEST(DBGridKsFilterRow, TheWheelGoesToTheFilterEditorBeforeTheGridScrolls) {
  TFilterRowForm F;
  TInplaceFilterEditKs* Editor = F.EditFilter(ColName);
  auto Wheel = [&](WPARAM Keys) {
    SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(Keys, -WHEEL_DELTA),
                 MAKELPARAM(100, 100));
  };
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return Editor->ListVisible(); }));
  int Top = Editor->PopupListbox()->TopIndex();
  Wheel(0);
  EXPECT_EQ(F.Data.RecNo(), 1) << "the grid stays";
  EXPECT_EQ(Editor->PopupListbox()->TopIndex(), Top + 1) << "the open list scrolls";
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !Editor->ListVisible(); }));
  Wheel(MK_CONTROL);
  EXPECT_EQ(F.Data.RecNo(), 2);
}

TEST(DBGridKsFilterRow, AFilterCellLeftOpenClosesWhenTheFocusComesBackFromElsewhere) {
  // Without and with an editor that is always shown.
  for (bool Always : {false, true}) {
    TFilterRowForm F;
    auto* Other = new TEdit(F.Form);
    Other->SetParent(F.Form);
    Other->SetBounds(5, 262, 100, 21);
    if (Always) F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgAlwaysShowEditor});
    TInplaceFilterEditKs* Editor = F.EditFilter(ColName);
    PostText("item3");
    PumpUntil([&] { return Editor->Text() == "item3"; });
    PostClickOn(Other->Handle(), POINT{5, 5});
    ASSERT_TRUE(PumpUntilFocused(Other->Handle()));
    EXPECT_TRUE(Editor->Visible()) << "the form's other control leaves it alone";
    // Back by a press on the grid beside its last title: no cell takes it.
    RECT Last = F.Grid->CellRect(F.Grid->ColCount() - 1, 0);
    ASSERT_LT(Last.right + 10, F.Grid->ClientWidth());
    PostClickOn(F.Grid->Handle(), POINT{Last.right + 10, Last.top + 3});
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() != Other->Handle(); }));
    PumpFor(20);
    EXPECT_FALSE(Editor->Visible()) << Always;
    EXPECT_FALSE(F.Grid->FilterRowEditing()) << Always;
    EXPECT_EQ(F.Column(ColName)->STFilter()->FilterText(), "item3") << "the text is kept";
    TInplaceEdit* CellEditor = F.Grid->InplaceEditor();
    if (Always) {
      ASSERT_TRUE(CellEditor && CellEditor->Visible());
      EXPECT_EQ(GetFocus(), CellEditor->Handle());
    } else {
      EXPECT_EQ(GetFocus(), F.Grid->Handle());
      EXPECT_FALSE(CellEditor && CellEditor->Visible());
    }
  }
}

TEST(DBGridKsFilterRow, ClearingEmptiesEveryColumnsFilterAndApplies) {
  TFilterRowForm F;
  F.Column(ColQty)->STFilter()->ApplyFilterText(">10");
  F.Column(ColName)->STFilter()->ApplyFilterText("item1");
  F.EditFilter(ColName);
  F.Choose("(Очистить фильтр)");
  EXPECT_EQ(F.Applies, 1);
  EXPECT_EQ(F.Column(ColQty)->STFilter()->FilterText(), "");
  EXPECT_EQ(F.Column(ColName)->STFilter()->FilterText(), "");
  EXPECT_EQ(F.Editor()->Text(), "");
}

TEST(DBGridKsFilterRow, SortEntriesNeedSortMarkingAndATitleButtonAndClearOtherMarkers) {
  TFilterRowForm F;
  auto ShowsSortEntries = [&] {
    PostKey(VK_DOWN, {VK_MENU});
    EXPECT_TRUE(PumpUntil([&] { return F.Editor()->ListVisible(); }));
    bool Shown = F.Editor()->Items()->IndexOf("(Сортировка по убыванию)") >= 0;
    PostKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return !F.Editor()->ListVisible(); }));
    return Shown;
  };
  F.EditFilter(ColName);
  EXPECT_FALSE(ShowsSortEntries());
  F.Grid->SetOptionsKs(
      F.Grid->OptionsKs().Include(dghAutoSortMarking).Exclude(dghMultiSortMarking));
  EXPECT_FALSE(ShowsSortEntries()) << "the title has no button";
  F.Column(ColName)->Title()->SetTitleButton(true);
  EXPECT_TRUE(ShowsSortEntries());

  F.Column(ColPrice)->Title()->SetSortMarker(smUpKs);
  int Announced = 0;
  F.Grid->OnSortMarkingChanged = [&](TObject*) { ++Announced; };
  F.Choose("(Сортировка по убыванию)");
  EXPECT_EQ(F.Column(ColName)->Title()->SortMarker(), smDownKs);
  EXPECT_EQ(F.Column(ColPrice)->Title()->SortMarker(), smNoneKs);
  EXPECT_EQ(Announced, 1);
  EXPECT_EQ(F.Applies, 0);
  EXPECT_EQ(F.Editor()->Text(), "") << "the entry's text is not taken";
}

TEST(DBGridKsFilterRow, EnterAppliesAndDownLeavesIntoTheData) {
  TFilterRowForm F;
  F.Show();
  F.Data.MoveBy(3);
  ASSERT_EQ(F.Grid->DataLink()->ActiveRecord(), 3);
  TInplaceFilterEditKs* Editor = F.EditFilter(ColQty);
  PostText(">20");
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == ">20"; }));
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return F.Applies == 1; }));
  EXPECT_EQ(F.Column(ColQty)->STFilter()->FilterText(), ">20");
  EXPECT_EQ(GetFocus(), Editor->Handle());

  PostKey(VK_DOWN);
  ASSERT_TRUE(PumpUntilFocused(F.Grid->Handle()));
  EXPECT_FALSE(Editor->Visible());
  EXPECT_FALSE(F.Grid->FilterRowEditing());
  EXPECT_EQ(F.Grid->SelectedIndex(), ColQty);
  EXPECT_EQ(F.Data.FieldByName("Id")->AsInteger(), 1) << "the first record shown";
}

// A press on a filter cell, left or right, opens the filter editor in that
// column; the title's sort marking is left alone.
TEST(DBGridKsFilterRow, APressOnAFilterCellOpensItsEditorWithoutSorting) {
  for (bool Right : {false, true}) {
    TFilterRowForm F;
    F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghAutoSortMarking});
    F.Column(ColQty)->Title()->SetTitleButton(true);
    int Announced = 0;
    F.Grid->OnSortMarkingChanged = [&](TObject*) { ++Announced; };
    F.Show();
    RECT Cell = F.Grid->CellRect(F.Grid->DataToRawColumn(ColQty), F.Grid->TitleOffset() - 1);
    POINT At = F.Grid->ClientToScreen(POINT{Cell.left + 8, (Cell.top + Cell.bottom) / 2});
    // The release of a right press lands on the editor, which offers its menu.
    bool Menu = false;
    if (Right) Later([&] {
      Menu = FindWindowA("#32768", nullptr) != nullptr;
      if (Menu) PressKey(VK_ESCAPE);
    }, 200);
    ClickAt(At, {}, Right);
    ASSERT_TRUE(PumpUntil([&] { return F.Editor() && GetFocus() == F.Editor()->Handle(); }))
        << Right;
    EXPECT_TRUE(F.Editor()->Visible()) << Right;
    EXPECT_EQ(F.Grid->FilterColumn(), ColQty) << Right;
    EXPECT_EQ(F.Column(ColQty)->Title()->SortMarker(), smNoneKs) << Right;
    EXPECT_EQ(Announced, 0) << Right;
    if (Right) {
      PumpUntil([&] { return Menu; }, 500);
      EXPECT_TRUE(Menu) << "the editor's own menu";
    }
  }
}

// Right to left the press reaches the filter cell shown under the cursor
// and its editor opens over that cell.
TEST(DBGridKsFilterRow, ARightToLeftGridOpensTheFilterCellShownUnderThePress) {
  TFilterRowForm F;
  F.Grid->SetBiDiMode(bdRightToLeft);
  F.Show();
  RECT Cell = F.Grid->CellRect(F.Grid->DataToRawColumn(ColQty), F.Grid->TitleOffset() - 1);
  POINT At = F.Grid->ClientToScreen(
      POINT{F.Grid->ClientWidth() - 1 - (Cell.left + 8), (Cell.top + Cell.bottom) / 2});
  ClickAt(At);
  ASSERT_TRUE(PumpUntil([&] { return F.Editor() && GetFocus() == F.Editor()->Handle(); }));
  EXPECT_EQ(F.Grid->FilterColumn(), ColQty);
  RECT Editor;
  GetWindowRect(F.Editor()->Handle(), &Editor);
  EXPECT_TRUE(PtInRect(&Editor, At)) << Editor.left << ".." << Editor.right << " " << At.x;
  // Its text reads as the grid's does.
  auto ExStyle = static_cast<DWORD>(GetWindowLongA(F.Editor()->Handle(), GWL_EXSTYLE));
  EXPECT_EQ(ExStyle & (WS_EX_RTLREADING | WS_EX_RIGHT), DWORD{WS_EX_RTLREADING | WS_EX_RIGHT});
}

// Moving to another filter cell, by a press on it or by Tab, keeps the
// text typed into the first as its filter and shows the other's own.
TEST(DBGridKsFilterRow, AnotherFilterCellShowsItsOwnTextAndTheFirstKeepsWhatWasTyped) {
  for (bool ByTab : {false, true}) {
    TFilterRowForm F;
    TInplaceFilterEditKs* Editor = F.EditFilter(ColName);
    TypeText("item3");
    ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "item3"; })) << ByTab;
    int Next = ByTab ? ColPrice : ColQty;
    if (ByTab) {
      PressKey(VK_TAB);
    } else {
      RECT Cell = F.Grid->CellRect(F.Grid->DataToRawColumn(Next), F.Grid->TitleOffset() - 1);
      ClickAt(F.Grid->ClientToScreen(POINT{Cell.left + 8, (Cell.top + Cell.bottom) / 2}));
    }
    ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == Next; })) << ByTab;
    PumpFor(30);
    EXPECT_EQ(F.Column(ColName)->STFilter()->FilterText(), "item3") << ByTab;
    EXPECT_EQ(Editor->Text(), "") << ByTab;
    EXPECT_EQ(GetFocus(), Editor->Handle()) << ByTab;
  }
}

// Enter applies the typed condition and leaves it in view in the editor,
// which stays open.
TEST(DBGridKsFilterRow, TheAppliedConditionStaysInView) {
  TFilterRowForm F;
  TInplaceFilterEditKs* Editor = F.EditFilter(ColQty);
  TypeText("> 990");
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "> 990"; }));
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return F.Applies == 1; }));
  PumpFor(30);
  EXPECT_TRUE(Editor->Visible());
  EXPECT_EQ(Editor->Text(), "> 990");
  auto X = [&](int Char) {
    return static_cast<short>(LOWORD(SendMessageA(Editor->Handle(), EM_POSFROMCHAR, Char, 0)));
  };
  EXPECT_GE(X(0), 0) << "the text starts inside the editor";
  EXPECT_LT(X(4), Editor->ClientWidth());
}

// Down into the data, or a field asking for the focus, closes the filter
// cell with its text kept and brings the always-shown editor back.
TEST(DBGridKsFilterRow, LeavingTheFilterRowShowsAnAlwaysShownEditorAgain) {
  for (bool ByField : {false, true}) {
    TFilterRowForm F;
    F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgAlwaysShowEditor});
    TInplaceFilterEditKs* Editor = F.EditFilter(ColQty);
    EXPECT_FALSE(F.Grid->EditorAlwaysShown()) << "not while a filter cell is edited";
    PostText(">20");
    ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == ">20"; }));
    if (ByField) {
      F.Data.FieldByName("Price")->FocusControl();
    } else {
      PostKey(VK_DOWN);
    }
    TInplaceEdit* Cell = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
      Cell = F.Grid->InplaceEditor();
      return Cell && Cell->Visible() && GetFocus() == Cell->Handle();
    })) << ByField;
    EXPECT_FALSE(Editor->Visible()) << ByField;
    EXPECT_FALSE(F.Grid->FilterRowEditing()) << ByField;
    EXPECT_TRUE(F.Grid->EditorAlwaysShown()) << ByField;
    EXPECT_EQ(F.Column(ColQty)->STFilter()->FilterText(), ">20") << ByField;
    EXPECT_EQ(F.Grid->SelectedIndex(), ByField ? ColPrice : ColQty);
    EXPECT_EQ(Cell->Text(), F.Grid->SelectedField()->Text()) << ByField;
  }
}

TEST(DBGridKsFilterRow, MovingPastEitherEndWrapsWithAndWithoutTheIndicator) {
  for (bool Indicator : {true, false}) {
    TFilterRowForm F;
    if (!Indicator) F.Grid->SetOptions(F.Grid->Options().Exclude(dgIndicator));
    TInplaceFilterEditKs* Editor = F.EditFilter(ColId);
    PostKey(VK_LEFT);
    ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == ColQty; })) << Indicator;
    EXPECT_EQ(GetFocus(), Editor->Handle());
    PostKey(VK_RIGHT);
    ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == ColId; })) << Indicator;
    PostKey(VK_END, {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == ColQty; })) << Indicator;
    PostKey(VK_HOME, {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == ColId; })) << Indicator;
  }
}

// Tab steps between filter cells; Up stays in the row; F2 puts the caret
// after the text it selected.
TEST(DBGridKsFilterRow, TabUpAndF2InAFilterCell) {
  TFilterRowForm F;
  TInplaceFilterEditKs* Editor = F.EditFilter(ColName);
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == ColPrice; }));
  PostKey(VK_TAB, {VK_SHIFT});
  ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == ColName; }));
  EXPECT_EQ(GetFocus(), Editor->Handle());

  PostText("item");
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "item"; }));
  Editor->SelectAll();
  PostKey(VK_F2);
  ASSERT_TRUE(PumpUntil([&] { return Editor->SelLength() == 0; }));
  EXPECT_EQ(Editor->SelStart(), 4);
  PostKey(VK_UP);
  PumpFor(40);
  EXPECT_TRUE(F.Grid->FilterRowEditing());
  EXPECT_TRUE(Editor->Visible());
  EXPECT_EQ(F.Grid->FilterColumn(), ColName);
  EXPECT_EQ(Editor->Text(), "item");

  F.Grid->SetOptions(F.Grid->Options() - TDBGridOptions{dgTabs});
  F.EditFilter(ColName);
  PostKey(VK_TAB);
  PumpFor(40);
  EXPECT_EQ(F.Grid->FilterColumn(), ColName) << "without grid tabs";
}

TEST(DBGridKsFilterRow, CellsWithoutAVisibleFilterAreSkippedAndTextKeepsTheCaret) {
  TFilterRowForm F;
  F.Column(ColName)->STFilter()->SetVisible(false);
  TInplaceFilterEditKs* Editor = F.EditFilter(ColId);
  PostText("5");
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "5"; }));
  PostKey(VK_LEFT);
  PostKey(VK_RIGHT);
  PumpFor(40);
  EXPECT_EQ(F.Grid->FilterColumn(), ColId) << "the caret moved inside the text";
  PostKey(VK_RIGHT);
  ASSERT_TRUE(PumpUntil([&] { return F.Grid->FilterColumn() == ColPrice; }));
  EXPECT_EQ(F.Column(ColId)->STFilter()->FilterText(), "5") << "leaving the cell keeps its text";
}

TEST(DBGridKsFilterRow, NoPlacementWhileTheSettingsAreUpdated) {
  TFilterRowForm F;
  F.Show();
  F.Grid->STFilter()->BeginUpdate();
  F.Grid->ShowFilterEditorInColumn(ColName);
  EXPECT_FALSE(F.Editor()->Visible());
  F.Grid->STFilter()->EndUpdate();
  F.Grid->PlaceFilterEditor(true);
  EXPECT_TRUE(F.Editor()->Visible());
}

TEST(DBGridKsFilterRow, ASizeChangePlacesTheEditorOverItsCellAgain) {
  TFilterRowForm F;
  F.EditFilter(ColName);
  RECT Cell = F.Grid->CellRect(F.Grid->DataToRawColumn(ColName), F.Grid->TitleOffset() - 1);
  ASSERT_EQ(F.Editor()->Left(), Cell.left);
  F.Editor()->SetBounds(0, 0, 20, 10);
  F.Grid->SetBounds(5, 5, 430, 240);
  EXPECT_EQ(F.Editor()->Left(), Cell.left);
  EXPECT_EQ(F.Editor()->Top(), Cell.top);
}

TEST(DBGridKsFilterRow, TheEditorGoesWithItsCellWhenTheColumnsScroll) {
  TFilterRowForm F;
  F.Grid->SetWidth(180);
  F.EditFilter(ColName);
  int Raw = F.Grid->DataToRawColumn(ColName);
  int Before = F.Editor()->Left();
  F.Grid->SetLeftCol(F.Grid->LeftCol() + 1);
  int After = F.Grid->CellRect(Raw, F.Grid->TitleOffset() - 1).left;
  ASSERT_LT(After, Before);
  EXPECT_EQ(F.Editor()->Left(), After);
}

// After the filter row the cell editor comes back only where the options
// keep it always shown and no filter editor is open.
TEST(DBGridKsFilterRow, TheCellEditorComesBackOnlyWhenAlwaysShownAndNoFilterIsEdited) {
  struct TCase {
    const char* Name;
    bool AlwaysShow, FilterOpen;
    bool Shown;
  } Cases[] = {
      {"always shown", true, false, true},
      {"always shown, a filter being edited", true, true, false},
      {"shown by F2 only", false, false, false},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TFilterRowForm F;
    if (C.AlwaysShow) F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgAlwaysShowEditor});
    if (C.FilterOpen) {
      F.EditFilter(ColName);
    } else {
      F.Show();
      PostKey(VK_F2);
      PumpFor(20);
      ASSERT_TRUE(F.Grid->InplaceEditor() && F.Grid->InplaceEditor()->Visible());
    }
    F.Grid->RestoreInplaceEditor();
    PumpFor(20);
    TInplaceEdit* Editor = F.Grid->InplaceEditor();
    EXPECT_EQ(Editor && Editor->Visible(), C.Shown);
  }
}

}  // namespace
