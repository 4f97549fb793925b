// The grid's mouse under Wine, as mouse messages through the application's
// loop: title presses and sort marking, column moves and width fitting,
// check-box cells, row selection and the drag that scrolls.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

#include "CityGridForm.h"

namespace {

const auto* const Unit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

constexpr int NameCol = 1, QtyCol = 2, PaidCol = 5;

class TProbeGrid : public TDBGridKs {
 public:
  using TDBGridKs::TDBGridKs;
  // Where the fully shown data rows end.
  int DataBottom() {
    TGridDrawInfo Info;
    CalcDrawInfo(Info);
    return Info.Vert.FullVisBoundary;
  }
  // Drag ticks since the count was last cleared; a tick loop that would
  // never let the message loop return is cut off here.
  int Ticks = 0;
  void TrackMouse() override {
    if (++Ticks > 50) StopTimer();
    TDBGridKs::TrackMouse();
  }
};

using TProbeForm = TCityGridFormOf<TProbeGrid>;

void Click(TCityGridForm& F, POINT P, WPARAM Keys = 0) {
  F.Mouse(WM_LBUTTONDOWN, P, MK_LBUTTON | Keys);
  F.Mouse(WM_LBUTTONUP, P, Keys);
  PumpFor(30);
}

TEST(DBGridMouse, TitleClicksMarkTheSortAndCtrlWaitsForItsRelease) {
  TCityGridForm F;
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghAutoSortMarking});
  for (int I = 0; I < 2; ++I) F.Grid->Columns()->Items(I)->Title()->SetTitleButton(true);
  int Announced = 0, Clicked = 0;
  F.Grid->OnSortMarkingChanged = [&](TObject*) { ++Announced; };
  F.Grid->OnTitleBtnClick = [&](TObject*, int, TColumnKs*) { ++Clicked; };
  F.Show();
  TColumnTitleKs* Name = F.Grid->Columns()->Items(0)->Title();
  TColumnTitleKs* Qty = F.Grid->Columns()->Items(1)->Title();
  Click(F, F.CellCenter(NameCol, 0));
  EXPECT_EQ(Clicked, 1);
  EXPECT_NE(Name->SortMarker(), smNoneKs);
  EXPECT_EQ(Announced, 1) << "announced at once without Ctrl";

  BYTE State[256];
  GetKeyboardState(State);
  State[VK_CONTROL] = 0x80;
  SetKeyboardState(State);
  Click(F, F.CellCenter(QtyCol, 0), MK_CONTROL);
  EXPECT_NE(Qty->SortMarker(), smNoneKs);
  EXPECT_NE(Name->SortMarker(), smNoneKs) << "Ctrl adds to the marking";
  EXPECT_EQ(Announced, 1) << "waits for Ctrl to go up";
  State[VK_CONTROL] = 0;
  SetKeyboardState(State);
  PostMessageA(F.Grid->Handle(), WM_KEYUP, VK_CONTROL, 0xC0000001);
  PumpFor(30);
  EXPECT_EQ(Announced, 2);
  EXPECT_EQ(F.Grid->GridState(), gsNormal);
  EXPECT_EQ(GetCapture(), nullptr);
}

// Titles marked by Ctrl+clicks keep their order without gaps or repeats:
// through a marked column's deletion and through every SortIndex write.
TEST(DBGridMouse, SortMarksStayInOrderThroughADeletionAndIndexWrites) {
  TCityGridForm F;
  TDBGridKs* Grid = F.Grid;
  Grid->SetOptionsKs(Grid->OptionsKs() + TDBGridKsOptions{dghAutoSortMarking});
  ASSERT_TRUE(Grid->OptionsKs().Contains(dghMultiSortMarking));
  TDBGridColumnsKs* Columns = Grid->Columns();
  for (int I = 0; I < Columns->Count(); ++I) Columns->Items(I)->Title()->SetTitleButton(true);
  F.Show();
  auto CtrlClickTitle = [&](TColumnKs* Column) {
    POINT P = F.CellCenter(Grid->DataToRawColumn(Column->Index()), 0);
    ClickAt(Grid->ClientToScreen(P), {VK_CONTROL});
  };
  // The marked columns in sort order, and their indexes 1, 2, 3 ...
  auto ExpectMarked = [&](std::vector<TColumnKs*> Expected, const char* Step) {
    std::vector<TColumnKs*> Marked(Grid->SortMarkedColumns().begin(),
                                   Grid->SortMarkedColumns().end());
    EXPECT_EQ(Marked, Expected) << Step;
    for (size_t I = 0; I < Expected.size(); ++I)
      EXPECT_EQ(Expected[I]->Title()->SortIndex(), static_cast<int>(I) + 1) << Step;
    for (int I = 0; I < Columns->Count(); ++I) {
      TColumnKs* Column = Columns->Items(I);
      bool Unmarked = std::find(Expected.begin(), Expected.end(), Column) == Expected.end();
      if (Unmarked) {
        EXPECT_EQ(Column->Title()->SortIndex(), 0) << Step << " " << Column->FieldName();
      }
    }
  };
  TColumnKs *Name = Columns->Items(0), *Qty = Columns->Items(1), *Kind = Columns->Items(2),
            *Born = Columns->Items(3), *Paid = Columns->Items(4);
  for (TColumnKs* Column : {Name, Qty, Kind}) CtrlClickTitle(Column);
  ExpectMarked({Name, Qty, Kind}, "three marked");
  delete Qty;
  ExpectMarked({Name, Kind}, "the second deleted");
  CtrlClickTitle(Born);
  ExpectMarked({Name, Kind, Born}, "one more marked");

  struct TWrite {
    TColumnKs* Column;
    int Index;
    std::vector<TColumnKs*> Then;
    const char* Step;
  } Writes[] = {
      {Name, 0, {Name, Kind, Born}, "0 is nobody's place"},
      {Name, 3, {Born, Kind, Name}, "3 swaps with its holder"},
      {Name, 5, {Born, Kind, Name}, "nobody holds 5"},
      {Paid, 1, {Born, Kind, Name}, "an unmarked column has no place to swap"},
      {Kind, -2, {Born, Kind, Name}, "a negative index is 0"},
  };
  for (const TWrite& W : Writes) {
    W.Column->Title()->SetSortIndex(W.Index);
    ExpectMarked(W.Then, W.Step);
  }
}

// Only a column's own title is its button: a press on the filter row under
// it (a cell with no filter to edit) or on a group caption over it neither
// clicks the button nor sorts.
TEST(DBGridMouse, OnlyTheFirstTitleRowPressesATitleButton) {
  struct TCase {
    const char* Where;
    bool Grouped;
    int Row, Y;  // the cell's row; pixels below its top, above its bottom when negative, 0 its middle
    int Clicks;
  } Cases[] = {
      {"the title", false, 0, 0, 1},
      {"the filter cell under it", false, 1, 0, 0},
      {"the group caption over it", true, 0, 3, 0},
      {"its own part under the group caption", true, 0, -4, 1},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Where);
    TCityGridForm F;
    if (C.Grouped) {
      F.GroupNameAndQty();
    } else {
      F.Grid->STFilter()->SetVisible(true);
      F.Grid->Columns()->Items(0)->STFilter()->SetVisible(false);
    }
    F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghAutoSortMarking});
    TColumnTitleKs* Title = F.Grid->Columns()->Items(0)->Title();
    Title->SetTitleButton(true);
    int Clicks = 0;
    F.Grid->OnTitleBtnClick = [&](TObject*, int, TColumnKs*) { ++Clicks; };
    F.Show();
    RECT R = F.Grid->CellRect(NameCol, C.Row);
    POINT P = F.CellCenter(NameCol, C.Row);
    if (C.Y > 0) P.y = R.top + C.Y;
    if (C.Y < 0) P.y = R.bottom + C.Y;
    ClickAt(F.Grid->ClientToScreen(P));
    PumpFor(30);
    EXPECT_EQ(Clicks, C.Clicks);
    EXPECT_EQ(Title->SortMarker() != smNoneKs, C.Clicks > 0) << "sorted";
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

// A left click tells its column: on a title OnTitleClick, on a data row
// OnCellClick; the indicator and the rows below the data tell nothing.
TEST(DBGridMouse, ClicksTellTheirColumnAsATitleOrACellClick) {
  struct TCase {
    const char* Where;
    int Col, Row;  // Row -1: below the last data row
    const char *Title, *Cell;
  } Cases[] = {
      {"a title", QtyCol, 0, "Qty", ""},
      {"a data cell", NameCol, 2, "", "Name"},
      {"the indicator", 0, 2, "", ""},
      {"below the rows", QtyCol, -1, "", ""},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Where);
    TCityGridForm F(3);
    std::string Title, Cell;
    F.Grid->OnTitleClick = [&](TColumnKs* Column) { Title += Column->FieldName(); };
    F.Grid->OnCellClick = [&](TColumnKs* Column) { Cell += Column->FieldName(); };
    F.Show();
    POINT P = F.CellCenter(C.Col, C.Row < 0 ? F.Grid->TitleOffset() : C.Row);
    if (C.Row < 0) P.y = F.Grid->CellRect(C.Col, F.Grid->TitleOffset() + 2).bottom + 20;
    ClickAt(F.Grid->ClientToScreen(P));
    PumpFor(30);
    EXPECT_EQ(Title, C.Title);
    EXPECT_EQ(Cell, C.Cell);
  }
}

TEST(DBGridMouse, ThreePixelsStayATitlePressAndFourMoveTheColumn) {
  for (bool Button : {true, false}) {
    TCityGridForm F;
    F.Grid->Columns()->Items(0)->Title()->SetTitleButton(Button);
    int Clicked = 0;
    F.Grid->OnTitleBtnClick = [&](TObject*, int, TColumnKs*) { ++Clicked; };
    F.Show();
    POINT Down = F.CellCenter(NameCol, 0);
    for (int Dx : {3, 4}) {
      F.Mouse(WM_LBUTTONDOWN, Down, MK_LBUTTON);
      F.Mouse(WM_MOUSEMOVE, POINT{Down.x + Dx, Down.y}, MK_LBUTTON);
      PumpFor(30);
      EXPECT_EQ(F.Grid->GridState(), Dx == 3 ? gsNormal : gsColMoving) << Button << Dx;
      F.Mouse(WM_LBUTTONUP, POINT{Down.x + Dx, Down.y});
      PumpFor(30);
    }
    EXPECT_EQ(Clicked, Button ? 1 : 0) << "only the press that stayed clicks";
    F.Mouse(WM_LBUTTONDOWN, Down, MK_LBUTTON);
    F.Mouse(WM_MOUSEMOVE, POINT{Down.x + 10, Down.y}, MK_LBUTTON);
    POINT To = F.CellCenter(QtyCol + 1, 0);
    F.Mouse(WM_MOUSEMOVE, To, MK_LBUTTON);
    F.Mouse(WM_LBUTTONUP, To);
    PumpFor(30);
    EXPECT_EQ(F.Grid->Columns()->Items(0)->FieldName(), "Qty") << Button;
    EXPECT_EQ(F.Grid->Columns()->Items(2)->FieldName(), "Name") << Button;
  }
}

int WidestText(TFont* Font, std::initializer_list<const char*> Texts) {
  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, Font->Handle());
  int Widest = 0;
  for (const char* Text : Texts) {
    SIZE S{};
    GetTextExtentPoint32A(DC, Text, static_cast<int>(strlen(Text)), &S);
    Widest = std::max<int>(Widest, S.cx);
  }
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  return Widest;
}

TEST(DBGridMouse, DraggingATitleEdgeSizesThatColumnOnly) {
  TCityGridForm F;
  F.Show();
  TDBGridColumnsKs* Columns = F.Grid->Columns();
  int Name = Columns->Items(0)->Width(), Qty = Columns->Items(1)->Width();
  RECT Title = F.Grid->CellRect(NameCol, 0);
  F.Mouse(WM_LBUTTONDOWN, POINT{Title.right, 3}, MK_LBUTTON);
  F.Mouse(WM_MOUSEMOVE, POINT{Title.right + 30, 3}, MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, POINT{Title.right + 30, 3});
  PumpFor(40);
  EXPECT_EQ(Columns->Items(0)->Width(), Name + 30);
  EXPECT_EQ(Columns->Items(1)->Width(), Qty);
  EXPECT_EQ(Columns->Items(0)->FieldName(), "Name") << "sized, not moved";
  EXPECT_EQ(F.Grid->ColWidths(NameCol), Name + 30);
}

TEST(DBGridMouse, ADoubleClickOnATitleEdgeFitsTheColumnToItsWidestText) {
  TCityGridForm F(8);
  F.Show();
  TColumnKs* Name = F.Grid->Columns()->Items(0);
  Name->SetWidth(20);
  F.Table.SetRecNo(4);
  RECT Title = F.Grid->CellRect(NameCol, 0);
  F.Mouse(WM_LBUTTONDOWN, POINT{Title.right, 5}, MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, POINT{Title.right, 5});
  F.Mouse(WM_LBUTTONDBLCLK, POINT{Title.right, 5}, MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, POINT{Title.right, 5});
  PumpFor(50);
  int Widest = WidestText(Name->Font(), {"Москва", "Мурманск", "Тверь", "Омск", "Тула", "Город 6",
                                          "Город 7", "Город 8"});
  EXPECT_EQ(Name->Width(), Widest + 4);
  EXPECT_EQ(F.RecNo(), 4) << "the walk came back";
  EXPECT_FALSE(F.Table.ControlsDisabled());
}

TEST(DBGridMouse, AFitTakesAWiderFooterText) {
  TCityGridForm F(3);
  F.Grid->SetFooterRowCount(1);
  TColumnKs* Name = F.Grid->Columns()->Items(0);
  Name->Footer()->SetValueType(fvtStaticText);
  Name->Footer()->SetValue("Итого по всем городам");
  F.Show();
  TColumnsKsList Columns;
  Columns.push_back(Name);
  F.Grid->OptimizeColsWidth(Columns);
  EXPECT_EQ(Name->Width(), WidestText(Name->Footer()->Font(), {"Итого по всем городам"}) + 5);
}

// A fitted column keeps room for every button its cells show: the edit
// style's, then each visible extra one at its own width or the default.
TEST(DBGridMouse, AFitMakesRoomForTheTextAndAllTheCellsButtons) {
  const std::initializer_list<const char*> Cities = {
      "Москва", "Мурманск", "Тверь", "Омск", "Тула", "Город 6", "Город 7", "Город 8"};
  struct TCase {
    bool Flat;
    TColumnButtonStyleKs Style;
  } Cases[] = {{false, cbsEllipsis}, {true, cbsEllipsis}, {false, cbsNone}, {true, cbsNone}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(std::string(C.Flat ? "flat" : "3-D") +
                 (C.Style == cbsNone ? ", extra buttons only" : ", with the style's button"));
    TCityGridForm F(8);
    F.Grid->SetFlat(C.Flat);
    TColumnKs* Name = F.Grid->Columns()->Items(0);
    Name->SetButtonStyle(C.Style);
    Name->SetAlwaysShowEditButton(true);
    Name->EditButtons()->Add()->SetWidth(14);
    Name->EditButtons()->Add();  // the default width
    TEditButtonKs* Hidden = Name->EditButtons()->Add();
    Hidden->SetWidth(30);
    Hidden->SetVisible(false);
    Name->SetWidth(20);
    F.Show();
    // Fitted before anything re-lays the grid out: the buttons then are as
    // wide as the window's creation made them.
    TColumnsKsList Columns;
    Columns.push_back(Name);
    F.Grid->OptimizeColsWidth(Columns);
    const int Default = F.Grid->EditButtonWidth() + (C.Flat ? 1 : 0);
    const int Buttons = (C.Style == cbsNone ? 0 : Default) + 14 + Default;
    EXPECT_EQ(Name->EditButtonsWidth(), Buttons);
    EXPECT_EQ(Name->Width(), WidestText(Name->Font(), Cities) + 4 + Buttons);
    Name->SetAlwaysShowEditButton(false);
    EXPECT_EQ(Name->EditButtonsWidth(), 0) << "no buttons in the cells";
    F.Grid->OptimizeColsWidth(Columns);
    EXPECT_EQ(Name->Width(), WidestText(Name->Font(), Cities) + 4);
  }
}

TEST(DBGridMouse, AFailingFitLeavesTheDatasetAsItWas) {
  TCityGridForm F(8);
  F.Show();
  int Scrolls = 0;
  F.Table.AfterScroll = [&](TDataSet*) { ++Scrolls; };
  F.Table.SetRecNo(3);
  Scrolls = 0;
  F.Table.FieldByName("Name")->OnGetText = [](TField* Sender, AnsiString& Text, bool) {
    Text = Sender->AsString();
    if (Text == "Тула") throw std::runtime_error("unreadable");
  };
  TColumnsKsList Columns;
  Columns.push_back(F.Grid->Columns()->Items(0));
  EXPECT_THROW(F.Grid->OptimizeColsWidth(Columns), std::runtime_error);
  F.Table.FieldByName("Name")->OnGetText = nullptr;
  EXPECT_EQ(F.RecNo(), 3);
  EXPECT_FALSE(F.Table.ControlsDisabled());
  EXPECT_EQ(Scrolls, 0) << "the walk did not reach the handler";
  F.Table.Next();
  EXPECT_EQ(Scrolls, 1) << "the handler is back";
}

TEST(DBGridMouse, ACheckBoxCellChangesOnReleaseOverTheSameCell) {
  TCityGridForm F;
  for (int I = 0; I < 5; ++I) F.Grid->Columns()->Items(I)->SetWidth(70);
  F.Show();
  TField* Paid = F.Table.FieldByName("Paid");
  Click(F, F.CellCenter(PaidCol, 1));
  EXPECT_TRUE(Paid->AsBoolean()) << "the first record was not paid";
  F.Table.Post();
  F.Mouse(WM_LBUTTONDOWN, F.CellCenter(PaidCol, 1), MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, F.CellCenter(PaidCol, 2));
  PumpFor(30);
  F.Table.SetRecNo(1);
  EXPECT_TRUE(Paid->AsBoolean()) << "released elsewhere";

  F.Grid->Columns()->Items(4)->SetDblClickNextVal(true);
  Click(F, F.CellCenter(PaidCol, 1));
  EXPECT_TRUE(Paid->AsBoolean()) << "a single click does not change it";
  F.Mouse(WM_LBUTTONDBLCLK, F.CellCenter(PaidCol, 1), MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, F.CellCenter(PaidCol, 1));
  PumpFor(30);
  EXPECT_FALSE(Paid->AsBoolean());
}

TEST(DBGridMouse, APressOnACellsButtonClicksTheEditorsButton) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgEditing});
  TColumnKs* Qty = F.Grid->Columns()->Items(QtyCol - 1);
  Qty->SetButtonStyle(cbsEllipsis);
  Qty->SetAlwaysShowEditButton(true);
  int Clicks = 0;
  Qty->OnEditButtonClick = [&](TObject*, bool&) { ++Clicks; };
  F.Show();
  RECT Cell = F.Grid->CellRect(QtyCol, F.Grid->TitleOffset() + 2);
  PostClickOn(F.Grid->Handle(), POINT{Cell.right - 4, (Cell.top + Cell.bottom) / 2});
  PumpFor(30);
  EXPECT_EQ(F.RecNo(), 3);
  ASSERT_TRUE(F.Grid->EditorMode()) << "the editor shows for its button";
  EXPECT_EQ(Clicks, 1) << "the press reached the editor's button";
  EXPECT_EQ(GetCapture(), nullptr);

  // Beside the button the press is the grid's: the editor does not open.
  F.Grid->SetEditorMode(false);
  Cell = F.Grid->CellRect(QtyCol, F.Grid->TitleOffset() + 4);
  PostClickOn(F.Grid->Handle(), POINT{Cell.left + 4, (Cell.top + Cell.bottom) / 2});
  PumpFor(30);
  EXPECT_EQ(F.RecNo(), 5);
  EXPECT_FALSE(F.Grid->EditorMode());
  EXPECT_EQ(Clicks, 1);
}

class TTitleTreeGrid : public TDBGridKs {
 public:
  using TDBGridKs::TDBGridKs;
  TGridState SizingStateAt(int X, int Y) {
    TGridState State;
    int Index, Pos, Ofs;
    TGridDrawInfo Info;
    CalcSizingState(X, Y, State, Index, Pos, Ofs, Info);
    return State;
  }
};

TEST(DBGridMouse, AGroupTitleIsSizedByItsRightEdgeOnly) {
  TCityGridFormOf<TTitleTreeGrid> F;
  TDBGridColumnsKs* Columns = F.Grid->Columns();
  F.GroupNameAndQty();
  F.Show();
  RECT Name = F.Grid->CellRect(NameCol, 0), Qty = F.Grid->CellRect(QtyCol, 0);
  const int Upper = Name.top + 3, Lower = Name.bottom - 3;
  // Between the two columns: the border under the group is no edge.
  EXPECT_EQ(F.Grid->SizingStateAt(Name.right, Upper), gsNormal);
  EXPECT_EQ(F.Grid->SizingStateAt(Name.right, Lower), gsColSizing) << "the leaves' own border";
  EXPECT_EQ(F.Grid->SizingStateAt(Qty.right, Upper), gsNormal) << "the group's: kind 6";

  // Dragged 50 pixels right, the group's columns share them by their widths.
  int KindWidth = Columns->Items(2)->Width();
  F.Mouse(WM_LBUTTONDOWN, POINT{Qty.right, Upper}, MK_LBUTTON);
  PumpFor(20);
  EXPECT_EQ(GetCapture(), F.Grid->Handle());
  EXPECT_EQ(F.Grid->GridState(), gsNormal) << "sized through the title tree, not the platform";
  F.Mouse(WM_MOUSEMOVE, POINT{Qty.right + 50, Upper}, MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, POINT{Qty.right + 50, Upper});
  PumpFor(30);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Columns->Items(0)->Width(), 78) << "60 of 160 take 50 of 210";
  EXPECT_EQ(Columns->Items(1)->Width(), 132);
  EXPECT_EQ(Columns->Items(2)->Width(), KindWidth) << "the next column is not touched";

  // Esc cancels a sizing under way.
  Qty = F.Grid->CellRect(QtyCol, 0);
  F.Mouse(WM_LBUTTONDOWN, POINT{Qty.right, Upper}, MK_LBUTTON);
  F.Mouse(WM_MOUSEMOVE, POINT{Qty.right - 40, Upper}, MK_LBUTTON);
  PumpFor(20);
  F.Key(VK_ESCAPE);
  EXPECT_EQ(GetCapture(), nullptr);
  F.Mouse(WM_LBUTTONUP, POINT{Qty.right - 40, Upper});
  PumpFor(20);
  EXPECT_EQ(Columns->Items(0)->Width() + Columns->Items(1)->Width(), 210);
}

TEST(DBGridMouse, ShiftClickOnTheIndicatorExtendsTheRows) {
  TCityGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  F.Show();
  F.Table.SetRecNo(2);
  BYTE State[256];
  GetKeyboardState(State);
  State[VK_SHIFT] = 0x80;
  SetKeyboardState(State);
  Click(F, F.CellCenter(0, F.Grid->TitleOffset() + 4), MK_SHIFT);
  State[VK_SHIFT] = 0;
  SetKeyboardState(State);
  EXPECT_EQ(F.RecNo(), 5);
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 4);
  Click(F, F.CellCenter(0, F.Grid->TitleOffset() + 6));
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 1) << "a plain click selects its row alone";
}

// The current row's indicator arrow, white on a selected row and in the
// search colour during a typed search, stands on the indicator's own
// background: no box of the bitmap's mask colour around it.
TEST(DBGridMouse, IndicatorArrowsStandOnTheIndicatorsBackground) {
  for (bool Search : {false, true}) {
    TCityGridForm F;
    F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect} -
                       TDBGridOptions{dgEditing});
    F.Grid->SetAllowedSelections({gstRecordBookmarks});
    F.Show();
    F.Table.SetRecNo(3);
    int Row = F.Grid->Row();
    COLORREF Arrow = RGB(255, 255, 255);
    if (Search) {
      F.Grid->SetCol(QtyCol);
      PressKey('3');
      ASSERT_TRUE(PumpUntil([&] { return F.Grid->InIncSearch; }));
      Arrow = ColorToRGB(DBGridKsUnit.SearchMatchColor);
    } else {
      ClickAt(F.Grid->ClientToScreen(F.CellCenter(0, Row)));
      ASSERT_TRUE(F.Grid->SelectedRows()->CurrentRowSelected());
    }
    ASSERT_EQ(F.RecNo(), 3) << Search;
    PumpFor(30);
    TDibDC Client(F.Grid->ClientWidth(), F.Grid->ClientHeight());
    PrintClient(F.Grid->Handle(), Client);
    // Inside the cell's raised frame.
    RECT Cell = F.Grid->CellRect(0, Row);
    InflateRect(&Cell, -1, -1);
    COLORREF Back = Client.Pixel(Cell.left + 1, Cell.top + 1);
    int Others = 0;
    for (int Y = Cell.top; Y < Cell.bottom; ++Y)
      for (int X = Cell.left; X < Cell.right; ++X)
        if (Client.Pixel(X, Y) != Back && Client.Pixel(X, Y) != Arrow) ++Others;
    const COLORREF Olive = RGB(128, 128, 0);
    EXPECT_EQ(Client.Count(Cell, Olive), 0) << "no box " << Search;
    EXPECT_EQ(Others, 0) << Search;
    EXPECT_GT(Client.Count(Cell, Arrow), 10) << "the arrow shows " << Search;
    EXPECT_NE(Back, Arrow) << Search;
  }
}

// Moves the cursor through the input queue with no mouse message reaching
// the program, as past a window's edge here.
void MoveCursorOnly(POINT Screen) {
  SendMouse(Screen);
  MSG Dropped;
  DWORD Start = GetTickCount();
  while (GetTickCount() - Start < 50) {
    while (PeekMessageA(&Dropped, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
    }
    Sleep(5);
  }
}

// Handles one message at a time until Done().
bool HandleEachUntil(const std::function<bool()>& Done, int TimeoutMs) {
  DWORD Start = GetTickCount();
  MSG Msg;
  while (!Done()) {
    if (static_cast<int>(GetTickCount() - Start) > TimeoutMs) return false;
    if (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&Msg);
      DispatchMessageA(&Msg);
    } else {
      Sleep(1);
    }
  }
  return true;
}

// A row drag pressed on the second row and held 60 pixels below the rows,
// past the window's edge, where no move reaches the grid.
struct TFarDrag {
  TCityGridFormOf<TProbeGrid> F{1000};
  POINT Far{};
  TFarDrag() {
    F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
    F.Grid->SetAllowedSelections({gstRecordBookmarks});
    F.Show();
    int X = F.CellCenter(NameCol, 1).x;
    POINT Start = F.Grid->ClientToScreen(F.CellCenter(NameCol, F.Grid->TitleOffset() + 1));
    POINT Near = F.Grid->ClientToScreen(POINT{X, F.Grid->DataBottom() + 8});
    Far = {Near.x, Near.y + 52};
    RECT Window;
    GetWindowRect(F.Form->Handle(), &Window);
    EXPECT_GT(Far.y, Window.bottom) << "past the window's edge";
    MoveMouse(Start);
    PressMouse(Start, true);
    EXPECT_TRUE(PumpUntil([&] { return GetCapture() == F.Grid->Handle(); }));
    MoveMouse(Near);
    MoveCursorOnly(Far);
  }
  // The application's own loop, called again and again as a long walk
  // calls it, until Done() or the time is up; the most ticks one call ran.
  int ProcessUntil(const std::function<bool()>& Done, int TimeoutMs) {
    DWORD Began = GetTickCount();
    int Most = 0;
    while (!Done() && static_cast<int>(GetTickCount() - Began) < TimeoutMs) {
      F.Grid->Ticks = 0;
      Application->ProcessMessages();
      Most = std::max(Most, F.Grid->Ticks);
    }
    return Most;
  }
};

// Dragged just below the rows and on past the window's edge, where no
// move arrives, the grid reads the cursor on each tick: 8 rows a step at
// 48 pixels or more below the rows.
TEST(DBGridMouse, ADragPastTheWindowsEdgeStepsByWhereTheCursorIs) {
  TFarDrag D;
  TCityGridFormOf<TProbeGrid>& F = D.F;
  POINT Far = D.Far;
  int From = F.RecNo();
  DWORD Began = GetTickCount();
  bool Reached = HandleEachUntil([&] { return F.RecNo() >= From + 80; }, 1000);
  int Moved = F.RecNo() - From;
  DWORD Took = GetTickCount() - Began;
  PressMouse(Far, false);
  HandleEachUntil([&] { return GetCapture() != F.Grid->Handle(); }, 500);
  ASSERT_LT(F.RecNo(), 1000) << "not stopped by the last record";
  EXPECT_TRUE(Reached) << Moved << " rows in " << Took << " ms";
  EXPECT_EQ(Moved % 8, 0) << "whole steps of 8 rows: " << Moved;
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), F.RecNo() - 1) << "every row passed is selected";
}

TEST(DBGridMouse, ADragHeldBelowTheGridLetsTheMessageLoopReturnBetweenTicks) {
  TFarDrag D;
  int From = D.F.RecNo();
  DWORD Began = GetTickCount();
  int Most = D.ProcessUntil([&] { return D.F.RecNo() >= From + 80; }, 1000);
  DWORD Took = GetTickCount() - Began;
  int Moved = D.F.RecNo() - From;
  PressMouse(D.Far, false);
  D.ProcessUntil([&] { return GetCapture() != D.F.Grid->Handle(); }, 500);
  EXPECT_GE(Moved, 80) << "as fast as before: " << Moved << " rows in " << Took << " ms";
  EXPECT_LE(Most, 2) << "the loop returns between ticks";
  EXPECT_EQ(D.F.Grid->TimerInterval(), -1);
  EXPECT_EQ(D.F.Grid->SelectedRows()->Count(), D.F.RecNo() - 1) << "every row passed is selected";
}

// The button goes up while the cursor is past the edge: its release is
// lost, or reaches the grid only after a tick; the tick finds the button up
// and the drag ends there.
TEST(DBGridMouse, ADragEndsWhenItsButtonIsFoundReleased) {
  for (bool Lost : {true, false}) {
    SCOPED_TRACE(Lost ? "the release lost" : "the release late");
    TFarDrag D;
    int From = D.F.RecNo();
    D.ProcessUntil([&] { return D.F.RecNo() >= From + 16; }, 1000);
    ReleaseBehindTimers(D.Far, Lost);
    int Stopped = D.F.RecNo();
    EXPECT_EQ(D.F.Grid->TimerInterval(), -1) << "no more ticks";
    EXPECT_NE(GetCapture(), D.F.Grid->Handle()) << "the mouse let go";
    D.ProcessUntil([] { return false; }, 200);
    EXPECT_EQ(D.F.RecNo(), Stopped) << "not one row after the button went up";
    EXPECT_LT(D.F.RecNo(), 1000) << "not run through the table";
    EXPECT_EQ(D.F.Grid->SelectedRows()->Count(), D.F.RecNo() - 1);
  }
}

TEST(DBGridMouse, ADragBelowTheRowsScrollsFasterTheFartherItIs) {
  TProbeForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  F.Show();
  auto Send = [&](UINT Msg, int X, int Y, WPARAM Keys) {
    SendMessageA(F.Grid->Handle(), Msg, Keys, MAKELPARAM(X, Y));
  };
  POINT Start = F.CellCenter(NameCol, F.Grid->TitleOffset() + 1);
  Send(WM_LBUTTONDOWN, Start.x, Start.y, MK_LBUTTON);
  EXPECT_EQ(F.RecNo(), 2);
  int Bottom = F.Grid->DataBottom();
  Send(WM_MOUSEMOVE, Start.x, Bottom + 2, MK_LBUTTON);
  int Reached = F.RecNo();
  EXPECT_EQ(F.Grid->TimerInterval(), 200 - 15 * 3);
  Send(WM_MOUSEMOVE, Start.x, Bottom + 2, MK_LBUTTON);
  EXPECT_EQ(F.RecNo(), Reached) << "step 0 below 6 pixels";
  Send(WM_MOUSEMOVE, Start.x, Bottom + 47, MK_LBUTTON);
  EXPECT_EQ(F.RecNo(), Reached + 8);
  EXPECT_EQ(F.Grid->TimerInterval(), USER_TIMER_MINIMUM) << "the shortest tick, never 0";
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), F.RecNo() - 1) << "every row passed is selected";
  Send(WM_LBUTTONUP, Start.x, Bottom + 47, 0);
  EXPECT_EQ(F.Grid->TimerInterval(), -1);
  int After = F.RecNo();
  PumpFor(60);
  EXPECT_EQ(F.RecNo(), After) << "no tick after the release";
}

}  // namespace
