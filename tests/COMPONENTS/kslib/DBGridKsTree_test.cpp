// The grid over a dataset that keeps its records as a tree: a grid row per
// visible tree row, the view moving by itself, node keys and clicks, the
// tree lines in cells, in the editor and on paper.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/DBGridKsFilterRow.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "COMPONENTS/kslib/PrnDbgksCells.h"
#include "COMPONENTS/kslib/PrnDbgksRows.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "GridForm.h"
#include "TreeGoodsDataSet.h"

namespace {

const auto* const Unit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

// Fruit (1) with Apples (2: Antonovka 3, Ranet 4) and Pears 5; Vegetables
// (6) with Carrots 7; Bread 8.
std::vector<TTreeGoodsDataSet::TNode> Goods() {
  return {{1, 0, "Fruit"}, {2, 1, "Apples"},     {3, 2, "Antonovka"}, {4, 2, "Ranet"},
          {5, 1, "Pears"}, {6, 0, "Vegetables"}, {7, 6, "Carrots"},   {8, 0, "Bread"}};
}

// Count top nodes of three children each.
std::vector<TTreeGoodsDataSet::TNode> Crates(int Count) {
  std::vector<TTreeGoodsDataSet::TNode> Nodes;
  for (int I = 0; I < Count; ++I) {
    int Id = I * 4 + 1;
    Nodes.push_back({Id, 0, "crate" + std::to_string(I + 1)});
    for (int C = 1; C <= 3; ++C) Nodes.push_back({Id + C, Id, "box" + std::to_string(Id + C)});
  }
  return Nodes;
}

class TTreeGrid : public TDBGridKs {
 public:
  using TCustomDBGridKs::DrawCell;
  using TDBGridKs::TDBGridKs;
};

// The tree column is the first: Name.
struct TTreeForm {
  TTreeGoodsDataSet Data;
  TDataSource Source{nullptr};
  TForm* Form = new TForm(Application);
  TTreeGrid* Grid = new TTreeGrid(Form);

  TTreeForm(std::vector<TTreeGoodsDataSet::TNode> Nodes, std::set<int> Expanded)
      : Data(std::move(Nodes), std::move(Expanded)) {
    Source.SetDataSet(&Data);
    Form->SetBounds(40, 40, 460, 300);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 440, 250);
    Grid->SetDataSource(&Source);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    Grid->SetFocus();
    PumpUntilFocused(Grid->Handle());
  }
  ~TTreeForm() { delete Form; }
  TTreeForm(const TTreeForm&) = delete;
  TTreeForm& operator=(const TTreeForm&) = delete;

  int DataRow() { return Grid->Row() - Grid->TitleOffset(); }
  RECT Cell(int DataCol, int DataRow) {
    return Grid->CellRect(Grid->DataToRawColumn(DataCol), Grid->TitleOffset() + DataRow);
  }
  bool RowInView(int ARow) {
    return ARow >= Grid->TopRow() && ARow < Grid->TopRow() + Grid->VisibleRowCount();
  }
};

TEST(DBGridTreeRows, EveryVisibleTreeRowIsAGridRowAndTheCurrentRowFollowsTheRecord) {
  TTreeForm F(Goods(), {1, 2});
  // Fruit, Apples, Antonovka, Ranet, Pears, Vegetables, Bread.
  EXPECT_EQ(F.Grid->RowCount(), F.Grid->TitleOffset() + 7);
  EXPECT_EQ(F.Grid->DataLink()->RecordCount(), 7) << "every row buffered";
  F.Data.Locate("Id", 5, {});
  EXPECT_EQ(F.DataRow(), 4);
  EXPECT_EQ(F.Data.CurrentRow(), 4);
  F.Data.ExpandRow(5, TTreeExpandKs::Expand);
  EXPECT_EQ(F.Grid->RowCount(), F.Grid->TitleOffset() + 8) << "Carrots shown";
  EXPECT_EQ(F.Grid->DataLink()->RecordCount(), 8);
  F.Data.Locate("Id", 7, {});
  EXPECT_EQ(F.DataRow(), 6);
  {
    TActiveRecordScope Row(F.Grid->DataLink(), 6);
    EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "Carrots") << "grid row = link record";
  }
  F.Data.ExpandRow(0, TTreeExpandKs::Collapse);
  EXPECT_EQ(F.Grid->RowCount(), F.Grid->TitleOffset() + 4);
  EXPECT_EQ(F.DataRow(), 2) << "Carrots, under Vegetables";
  EXPECT_GT(F.Data.RowsInView, 0);
}

TEST(DBGridTreeRows, AnEmptyTreeKeepsOneRowAndALongOneShowsTheCurrentRecord) {
  TTreeForm F({}, {});
  EXPECT_EQ(F.Grid->RowCount(), F.Grid->TitleOffset() + 1);
  EXPECT_EQ(F.Grid->Row(), F.Grid->FixedRows()) << "no current tree row";

  TTreeForm Long(Crates(30), {});
  Long.Data.Last();
  EXPECT_EQ(Long.DataRow(), 29);
  EXPECT_TRUE(Long.RowInView(Long.Grid->Row())) << "scrolled into view";
  Long.Data.First();
  EXPECT_EQ(Long.Grid->TopRow(), Long.Grid->FixedRows());
}

TEST(DBGridTreeRows, WhenRowsGoTheTopRowComesBackSoTheLastRowsFillTheView) {
  TTreeForm F(Crates(20), {1, 5, 9, 13, 17});
  F.Data.Last();
  int Last = F.Grid->RowCount() - 1;
  ASSERT_TRUE(F.RowInView(Last));
  F.Data.First();
  F.Grid->SetTopRow(F.Grid->RowCount());
  ASSERT_GT(F.Grid->TopRow(), F.Grid->FixedRows());
  // Closing the first crates takes rows away above the view.
  for (int Row : {0, 1, 2}) F.Data.ExpandRow(Row, TTreeExpandKs::Collapse);
  EXPECT_EQ(F.Grid->TopRow() + F.Grid->VisibleRowCount(), F.Grid->RowCount())
      << "no empty space below the last row";
  EXPECT_EQ(F.Data.RowsInView, 1) << "the last row reached";
}

// The tree lines of a row through DrawTreeLineElement, slot by slot, on the
// colour; -1 leaves a slot empty.
void DrawLines(HDC DC, const std::vector<int>& Kinds, int Step, int Height, double Scale) {
  TCanvas C;
  C.SetHandle(DC);
  for (size_t L = 0; L < Kinds.size(); ++L) {
    int Left = static_cast<int>(L) * Step;
    if (Kinds[L] >= 0)
      DrawTreeLineElement(&C, RECT{Left, 0, Left + Step, Height}, Kinds[L], Scale, Scale, false);
  }
  C.SetHandle(nullptr);
}

// The pixels of the area differ from the other picture's.
int Differences(const TDibDC& A, const TDibDC& B, const RECT& Area) {
  int Count = 0;
  for (int Y = Area.top; Y < Area.bottom; ++Y)
    for (int X = Area.left; X < Area.right; ++X) Count += A.Pixel(X, Y) != B.Pixel(X, Y);
  return Count;
}

TEST(DBGridTreePaint, EachRowShowsItsAncestorsLinesAndItsOwnNode) {
  TTreeForm F(Goods(), {1, 2});
  struct TCase {
    int Row;
    std::vector<int> Kinds;
  };
  // Line 9, expanded node 0 (1 last), closed 3 (4 last), leaf 6 (7 last).
  const TCase Cases[] = {{0, {0}},    {1, {9, 0}}, {2, {9, 9, 6}}, {3, {9, 9, 7}},
                         {4, {9, 7}}, {5, {3}},    {6, {7}}};
  for (const TCase& C : Cases) {
    TActiveRecordScope Row(F.Grid->DataLink(), C.Row);
    EXPECT_EQ(F.Grid->TreeLineKinds(), C.Kinds) << C.Row;
    EXPECT_EQ(F.Grid->TreeIndentWidth(), 18 * static_cast<int>(C.Kinds.size())) << C.Row;
  }
  // Antonovka, not the current row: lines on the column's colour, the text
  // after them.
  const int W = 150, H = F.Grid->DefaultRowHeight();
  TDibDC Actual(W, H), Expected(W, H, ColorToRGB(clWindow));
  F.Grid->Canvas()->SetHandle(Actual.DC());
  F.Grid->DrawCell(F.Grid->DataToRawColumn(0), F.Grid->TitleOffset() + 2, RECT{0, 0, W, H}, {});
  DrawLines(Expected.DC(), {9, 9, 6}, 18, H, 1);
  EXPECT_EQ(Differences(Actual, Expected, RECT{0, 0, 54, H}), 0);
  EXPECT_GT(Differences(Actual, Expected, RECT{54, 0, W, H}), 0) << "the text";
  // Ranet's parent is Antonovka's: with a tree nothing is hidden as a
  // duplicate.
  F.Grid->Columns()->Items(2)->SetHideDuplicates(true);
  TDibDC Parent(60, H), Blank(60, H, ColorToRGB(clWindow));
  F.Grid->Canvas()->SetHandle(Parent.DC());
  F.Grid->DrawCell(F.Grid->DataToRawColumn(2), F.Grid->TitleOffset() + 3, RECT{0, 0, 60, H}, {});
  F.Grid->Canvas()->SetHandle(nullptr);
  EXPECT_GT(Differences(Parent, Blank, RECT{0, 0, 60, H}), 0);
}

TEST(DBGridTreeScrolling, ScrollCodesMoveTheTopRowAndLeaveTheRecord) {
  TTreeForm F(Crates(20), {1, 5});
  HWND Wnd = F.Grid->Handle();
  const int Fixed = F.Grid->FixedRows(), Page = F.Grid->VisibleRowCount();
  F.Grid->SetTopRow(F.Grid->RowCount());
  const int MaxTop = F.Grid->TopRow();
  ASSERT_EQ(MaxTop + Page, F.Grid->RowCount());
  const int Start = Fixed + 6;
  ASSERT_LT(Start, MaxTop);
  auto Clamp = [&](int Top) { return std::clamp(Top, Fixed, MaxTop); };
  struct TCase {
    const char* Name;
    int Code, Pos;
    bool Tracking;
    int Expected;
  };
  const TCase Cases[] = {
      {"line down", SB_LINEDOWN, 0, false, Start + 1},
      {"line up", SB_LINEUP, 0, false, Start - 1},
      {"page down", SB_PAGEDOWN, 0, false, Clamp(Start + Page)},
      {"page up", SB_PAGEUP, 0, false, Clamp(Start - Page)},
      {"thumb", SB_THUMBPOSITION, 4, false, Fixed + 3},
      {"track without tracking", SB_THUMBTRACK, 4, false, Start},
      {"track", SB_THUMBTRACK, 4, true, Fixed + 3},
      {"top", SB_TOP, 0, false, Fixed},
      {"bottom", SB_BOTTOM, 0, false, MaxTop},
  };
  for (const TCase& C : Cases) {
    F.Data.First();
    F.Grid->SetTopRow(Start);
    F.Grid->VertScrollBar()->Tracking = C.Tracking;
    if (C.Pos) SetScrollPos(Wnd, SB_VERT, C.Pos, FALSE);
    SendMessageA(Wnd, WM_VSCROLL, MAKEWPARAM(C.Code, C.Pos), 0);
    EXPECT_EQ(F.Grid->TopRow(), C.Expected) << C.Name;
    EXPECT_EQ(F.Data.CurrentId(), 1) << C.Name << ": the record stays";
    int Shown = F.Grid->VisibleRowCount();
    EXPECT_EQ(F.Data.RowsInView, F.Grid->TopRow() + Shown >= F.Grid->RowCount() ? 1 : Shown)
        << C.Name;
    // An ignored track leaves the thumb where the test put it.
    if (C.Code == SB_THUMBTRACK && !C.Tracking) continue;
    SCROLLINFO Info{sizeof Info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(Wnd, SB_VERT, &Info);
    EXPECT_EQ(Info.nMin, 1) << C.Name;
    EXPECT_EQ(Info.nMax, F.Grid->RowCount() - Fixed) << C.Name;
    EXPECT_EQ(Info.nPos, F.Grid->TopRow() - Fixed + 1) << C.Name;
  }
}

TEST(DBGridTreeScrolling, TheWheelScrollsTheRowsAndWithShiftMovesTheRecord) {
  TTreeForm F(Crates(20), {1, 5});
  auto Wheel = [&](WPARAM Keys, int Delta = -WHEEL_DELTA) {
    SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(Keys, Delta), 0);
  };
  const int Fixed = F.Grid->FixedRows(), Page = F.Grid->VisibleDataRows();
  Wheel(0);
  EXPECT_EQ(F.Grid->TopRow(), Fixed + 1);
  Wheel(MK_CONTROL);
  EXPECT_EQ(F.Grid->TopRow(), Fixed + 1 + Page);
  Wheel(0, WHEEL_DELTA);
  EXPECT_EQ(F.Grid->TopRow(), Fixed + Page);
  EXPECT_EQ(F.DataRow(), 0) << "the record stays";
  Wheel(MK_SHIFT);
  EXPECT_EQ(F.DataRow(), 1);
  Wheel(MK_SHIFT | MK_CONTROL);
  EXPECT_EQ(F.DataRow(), 1 + Page);
  Wheel(MK_SHIFT, 2 * WHEEL_DELTA);
  EXPECT_EQ(F.DataRow(), Page - 1) << "a notch a record";
}

// Turned through the input queue, the keys held come with the wheel.
TEST(DBGridTreeScrolling, ARealWheelScrollsTheRowsAndWithShiftHeldMovesTheRecord) {
  TTreeForm F(Crates(20), {1, 5});
  const POINT Over = F.Grid->ClientToScreen(POINT{20, F.Grid->ClientHeight() / 2});
  const int Top = F.Grid->TopRow();
  TurnWheel(Over, -WHEEL_DELTA);
  EXPECT_TRUE(PumpUntil([&] { return F.Grid->TopRow() == Top + 1; }));
  EXPECT_EQ(F.DataRow(), 0) << "the record stays";
  TurnWheel(Over, -2 * WHEEL_DELTA, {VK_SHIFT});
  EXPECT_TRUE(PumpUntil([&] { return F.DataRow() == 2; })) << F.DataRow();
  EXPECT_EQ(F.Grid->TopRow(), Top + 1);
}

// The program's wheel events come first, once a notch, and may keep the
// grid from scrolling.
TEST(DBGridTreeScrolling, TheWheelEventsAreAskedFirst) {
  TTreeForm F(Crates(20), {1, 5});
  std::vector<std::pair<bool, TShiftState>> Asked;
  bool Handle = true;
  auto Event = [&](bool Down) {
    return [&, Down](TObject* Sender, TShiftState Shift, POINT, bool& Handled) {
      EXPECT_EQ(Sender, F.Grid);
      Asked.push_back({Down, Shift});
      Handled = Handle;
    };
  };
  F.Grid->OnMouseWheelDown = Event(true);
  F.Grid->OnMouseWheelUp = Event(false);
  const int Top = F.Grid->TopRow();
  SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL,
               MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-2 * WHEEL_DELTA)), 0);
  ASSERT_EQ(Asked.size(), 2u);
  EXPECT_TRUE(Asked[0].first);
  EXPECT_TRUE(Asked[0].second.Contains(ssShift));
  EXPECT_EQ(F.DataRow(), 0) << "handled: the record stays";
  Handle = false;
  SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(F.Grid->TopRow(), Top + 1) << "left to the grid";
  SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  ASSERT_EQ(Asked.size(), 4u);
  EXPECT_FALSE(Asked[3].first) << "up asks the up event";
  EXPECT_EQ(F.Grid->TopRow(), Top);
}

TEST(DBGridTreeKeys, NumpadKeysOpenCloseAndToggleTheNodeWhileTheTreeNavigates) {
  TTreeForm F(Goods(), {});
  auto Key = [&](WORD Key) {
    PostKey(Key);
    PumpFor(30);
  };
  Key(VK_ADD);
  EXPECT_TRUE(F.Data.IsExpanded(1));
  EXPECT_EQ(F.Grid->RowCount(), F.Grid->TitleOffset() + 5);
  EXPECT_FALSE(F.Grid->EditorMode()) << "'+' opens no editor";
  Key(VK_MULTIPLY);
  EXPECT_FALSE(F.Data.IsExpanded(1));
  Key(VK_MULTIPLY);
  EXPECT_TRUE(F.Data.IsExpanded(1));
  Key(VK_SUBTRACT);
  EXPECT_FALSE(F.Data.IsExpanded(1));
  EXPECT_FALSE(F.Grid->EditorMode());

  F.Data.Navigation = false;
  int Calls = F.Data.ExpandCalls;
  Key(VK_ADD);
  EXPECT_EQ(F.Data.ExpandCalls, Calls);
  EXPECT_TRUE(F.Grid->EditorMode()) << "an ordinary character again";
}

TEST(DBGridTreeMouse, AClickOnANodeButtonTogglesItAndLeavesTheRecord) {
  TTreeForm F(Goods(), {});
  // Fruit, Vegetables, Bread.
  auto Click = [&](int DataRow, int X) {
    RECT Cell = F.Cell(0, DataRow);
    PostClickOn(F.Grid->Handle(), POINT{Cell.left + X, (Cell.top + Cell.bottom) / 2});
    PumpFor(30);
  };
  Click(1, 9);
  EXPECT_TRUE(F.Data.IsExpanded(6));
  EXPECT_EQ(F.DataRow(), 0) << "Fruit stays current";
  Click(1, 60);
  EXPECT_EQ(F.DataRow(), 1) << "beside the button the click moves";
  EXPECT_TRUE(F.Data.IsExpanded(6));
  // Bread, a leaf, has no button.
  int Calls = F.Data.ExpandCalls;
  Click(3, 9);
  EXPECT_EQ(F.DataRow(), 3);
  EXPECT_EQ(F.Data.ExpandCalls, Calls);
}

TEST(DBGridTreeEditor, TheEditorKeepsTheTreePartAndAClickThereToggles) {
  TTreeForm F(Goods(), {1});
  // Fruit, Apples, Pears, Vegetables, Bread: Apples at level 1, closed.
  F.Data.Locate("Id", 2, {});
  F.Grid->SetEditorMode(true);
  auto* Editor = dynamic_cast<TDBGridInplaceEdit*>(F.Grid->InplaceEditor());
  ASSERT_TRUE(Editor && Editor->Visible());
  EXPECT_EQ(Editor->GetEditRect().left, 2 + 36 + 1);
  const int W = Editor->ClientWidth(), H = Editor->ClientHeight();
  TDibDC Actual(W, H), Expected(W, H, ColorToRGB(Editor->Color()));
  PrintClient(Editor->Handle(), Actual);
  DrawLines(Expected.DC(), {9, 3}, 18, H, 1);
  EXPECT_EQ(Differences(Actual, Expected, RECT{0, 0, 36, H}), 0);
  PostClickOn(Editor->Handle(), POINT{27, H / 2});
  ASSERT_TRUE(PumpUntil([&] { return F.Data.IsExpanded(2); }));
  EXPECT_EQ(F.Data.CurrentId(), 2);
}

// Right to left the tree part shows mirrored at the right edge, in the
// cells and in the editor, and a click there reaches it.
TEST(DBGridTreeRightToLeft, TheTreePartStandsAtTheRightAndTakesClicksThere) {
  {
    TTreeForm F(Goods(), {});
    F.Grid->SetBiDiMode(bdRightToLeft);
    // Fruit, Vegetables, Bread: Vegetables' button, shown mirrored.
    RECT Cell = F.Cell(0, 1);
    POINT Button{F.Grid->ClientWidth() - 1 - (Cell.left + 9), (Cell.top + Cell.bottom) / 2};
    ClickAt(F.Grid->ClientToScreen(Button));
    ASSERT_TRUE(PumpUntil([&] { return F.Data.IsExpanded(6); }));
    EXPECT_EQ(F.DataRow(), 0) << "Fruit stays current";
  }
  TTreeForm F(Goods(), {1});
  F.Grid->SetBiDiMode(bdRightToLeft);
  // Fruit, Apples, Pears, Vegetables, Bread: Apples at level 1, closed.
  F.Data.Locate("Id", 2, {});
  F.Grid->SetEditorMode(true);
  auto* Editor = dynamic_cast<TDBGridInplaceEdit*>(F.Grid->InplaceEditor());
  ASSERT_TRUE(Editor && Editor->Visible());
  const int W = Editor->ClientWidth(), H = Editor->ClientHeight();
  EXPECT_EQ(Editor->GetEditRect().right, W - 2 - 36 - 1);
  TDibDC Actual(W, H), Expected(W, H, ColorToRGB(Editor->Color()));
  PrintClient(Editor->Handle(), Actual);
  // Drawn as the grid draws its cells right to left.
  MirrorDC(Expected.DC(), W, H, true);
  DrawLines(Expected.DC(), {9, 3}, 18, H, 1);
  EXPECT_EQ(Differences(Actual, Expected, RECT{W - 36, 0, W, H}), 0);
  ClickAt(Editor->ClientToScreen(POINT{W - 1 - 27, H / 2}));
  ASSERT_TRUE(PumpUntil([&] { return F.Data.IsExpanded(2); }));
  EXPECT_EQ(F.Data.CurrentId(), 2);
}

TEST(DBGridTreeFilter, TheFilterListOffersTheValuesOfTheWholeTree) {
  TTreeForm F(Goods(), {});
  F.Grid->STFilter()->SetVisible(true);
  F.Grid->ShowFilterEditorInColumn(0);
  TInplaceFilterEditKs* Editor = F.Grid->FilterEditor();
  ASSERT_TRUE(PumpUntilFocused(Editor->Handle()));
  EXPECT_TRUE(Editor->EditButton()->Visible());
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return Editor->ListVisible(); }));
  EXPECT_GE(Editor->Items()->IndexOf("Antonovka"), 0) << "a row of a closed node";
  EXPECT_GE(Editor->Items()->IndexOf("Bread"), 0);
  PostKey(VK_ESCAPE);
  EXPECT_TRUE(PumpUntil([&] { return !Editor->ListVisible(); }));
}

int TextWidthIn(TFont* Font, const AnsiString& Text) {
  TWindowDC DC;
  TSelectObject Select(DC.Get(), Font->Handle());
  SIZE Size{};
  GetTextExtentPoint32A(DC.Get(), Text.c_str(), static_cast<int>(Text.size()), &Size);
  return Size.cx;
}

TEST(DBGridTreeColumn, TheTreePartWidensTheColumnAndNarrowsTheHintsTextArea) {
  TTreeForm F(Goods(), {1, 2});
  TColumnKs* Name = F.Grid->Columns()->Items(0);
  TColumnsKsList Fit;
  Fit.push_back(Name);
  F.Grid->OptimizeColsWidth(Fit);
  int Widest = TextWidthIn(Name->Title()->Font(), "Name") + 4;
  const std::pair<const char*, int> Rows[] = {{"Fruit", 18}, {"Apples", 36}, {"Antonovka", 54},
                                              {"Ranet", 54}, {"Pears", 36},  {"Vegetables", 18},
                                              {"Bread", 18}};
  for (const auto& [Text, Indent] : Rows)
    Widest = std::max(Widest, TextWidthIn(Name->Font(), Text) + 4 + Indent);
  EXPECT_EQ(Name->Width(), Widest);
  // Antonovka's text fits beside its lines no more.
  Name->SetWidth(TextWidthIn(Name->Font(), "Antonovka") + 30);
  Name->SetToolTips(true);
  RECT Cell = F.Cell(0, 2);
  TDBGridKs::TCellHintKs Hint;
  ASSERT_TRUE(F.Grid->CellHint(Cell.left + 60, Cell.top + 3, Hint));
  EXPECT_EQ(Hint.Text, "Antonovka");
  EXPECT_EQ(Hint.TextRect.left, Cell.left + 2 + 54);
  EXPECT_FALSE(Hint.Fits);
}

TEST(DBGridTreeColumn, OnlyATreeCellWhoseTextDoesNotFitBesideItsLinesShowsATip) {
  TTreeForm F(Goods(), {1, 2});
  TColumnKs* Name = F.Grid->Columns()->Items(0);
  Name->SetToolTips(true);
  auto Hover = [&](int DataRow) {
    RECT Cell = F.Cell(0, DataRow);
    POINT At{Cell.right - 4, (Cell.top + Cell.bottom) / 2};
    POINT Screen = F.Grid->ClientToScreen(At);
    SetCursorPos(Screen.x, Screen.y);
    PostMessageA(F.Grid->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(At.x, At.y));
    PumpFor(30);
    THintWindow* Shown = Application->ShownHintWindow();
    return Shown ? Shown->HintText() : AnsiString("-");
  };
  // Antonovka's lines take 54 pixels, its text's margins 4: one pixel
  // short of that, only Antonovka overflows; shorter texts at any level fit.
  int Exact = TextWidthIn(Name->Font(), "Antonovka") + 54 + 4;
  const std::tuple<int, int, const char*, bool> Cases[] = {
      {Exact - 1, 2, "Antonovka", true}, {Exact - 1, 3, "Ranet", false},
      {Exact - 1, 6, "Bread", false},    {Exact - 1, 0, "Fruit", false},
      {Exact - 1, 1, "Apples", false},   {Exact, 2, "Antonovka", false}};
  for (const auto& [Width, Row, Text, Overflows] : Cases) {
    Name->SetWidth(Width);
    EXPECT_EQ(Hover(Row), Overflows ? AnsiString(Text) : AnsiString("-")) << Text << " " << Width;
  }
}

TEST(DBGridTreeSelection, SelectedRowsBelowTheFirstPageAreFound) {
  TTreeForm F(Crates(20), {1, 5});
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  for (int Row : {20, 22}) {
    F.Data.First();
    F.Data.MoveBy(Row);
    F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  TGridRect Rect = F.Grid->BookmarksSelectionRect();
  EXPECT_EQ(Rect.Top, F.Grid->TitleOffset() + 20);
  EXPECT_EQ(Rect.Bottom, F.Grid->TitleOffset() + 22);
}

TEST(DBGridTreePrint, TheFirstPrintedColumnShowsTheScaledTreeLinesBeforeItsText) {
  // Three levels of the same name: only the tree part tells their widths.
  TTreeForm F({{1, 0, "wwwwwwww"}, {2, 1, "wwwwwwww"}, {3, 2, "wwwwwwww"}}, {1, 2});
  TColCellParamsKs Params;
  TPrintCellsKs Cells(F.Grid, &Params);
  TDibDC Page(300, 40), Expected(300, 40);
  TCanvas Canvas;
  Canvas.SetHandle(Page.DC());
  Cells.Canvas = &Canvas;
  Cells.Metrics.ScaleX = Cells.Metrics.ScaleY = 2;
  Cells.Metrics.PadX = 4;
  Cells.Metrics.PadY = 2;
  Cells.Columns = {F.Grid->Columns()->Items(0), F.Grid->Columns()->Items(1)};
  Cells.PageColWidths = {250, 40};
  F.Data.Last();
  Cells.DrawCell(TPrintRowKs{}, 0, TPrintRectKs{0, 0, 250, 40}, true);
  DrawLines(Expected.DC(), {-1, -1, 7}, 36, 40, 2);
  EXPECT_EQ(Differences(Page, Expected, RECT{0, 0, 108, 40}), 0);
  EXPECT_GT(Differences(Page, Expected, RECT{108, 0, 250, 40}), 0) << "the text";

  TDataSetPrintRowsKs Rows(&F.Data, 0);
  std::vector<int> Tree = Cells.OptimalWidths(Rows);
  F.Grid->SetFooterRowCount(1);
  std::vector<int> Plain = Cells.OptimalWidths(Rows);
  Canvas.SetHandle(nullptr);
  EXPECT_EQ(Tree[0], Plain[0] + 110) << "the deepest row's indent, 3 x 18 x 2 + 2";
  EXPECT_EQ(Tree[1], Plain[1]);
}

}  // namespace
