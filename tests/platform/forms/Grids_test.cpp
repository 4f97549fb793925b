// The grid base alone: a grid that paints each cell in a colour made of its
// coordinates and writes them in it, on a real form, driven by key and
// mouse messages through the application's loop.
#include "forms/Grids.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "FormsTestKit.h"
#include "KsTestKit.h"
#include "forms/Forms.h"

namespace {

COLORREF CellColor(int Col, int Row) { return RGB(40 + Col * 20, 40 + Row * 20, 200); }

class TCoordGrid : public TCustomGrid {
 public:
  using TCustomGrid::CellRect;
  using TCustomGrid::MoveColRow;
  using TCustomGrid::TCustomGrid;

  std::map<std::pair<int, int>, AnsiString> Texts;
  std::vector<std::pair<int, int>> Moves;
  int WidthChanges = 0, Painted = 0;
  TGridDrawState StateOf11;
  // Off: the cells show only what the loop drew.
  bool Draws = true;

 protected:
  void DrawCell(int ACol, int ARow, const RECT& ARect, TGridDrawState AState) override {
    ++Painted;
    if (ACol == 1 && ARow == 1) StateOf11 = AState;
    if (!Draws) return;
    Canvas()->Brush()->SetColor(static_cast<TColor>(CellColor(ACol, ARow)));
    Canvas()->FillRect(ARect);
    Canvas()->TextRect(ARect, ARect.left + 2, ARect.top + 2, IntToStr(ACol) + "," + IntToStr(ARow));
  }
  AnsiString GetEditText(int ACol, int ARow) override { return Texts[{ACol, ARow}]; }
  void SetEditText(int ACol, int ARow, const AnsiString& Value) override {
    Texts[{ACol, ARow}] = Value;
  }
  void ColumnMoved(int From, int To) override { Moves.emplace_back(From, To); }
  void ColWidthsChanged() override {
    ++WidthChanges;
    TCustomGrid::ColWidthsChanged();
  }
};

struct TGridForm {
  TForm* Form = new TForm(Application);
  TCoordGrid* Grid = new TCoordGrid(Form);

  TGridForm() {
    Form->SetBounds(50, 50, 420, 260);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 400, 200);
    Grid->SetColCount(10);
    Grid->SetRowCount(30);
    Grid->SetDefaultRowHeight(20);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    Grid->SetFocus();
    PumpUntilFocused(Grid->Handle());
  }
  ~TGridForm() { delete Form; }
  TGridForm(const TGridForm&) = delete;
  TGridForm& operator=(const TGridForm&) = delete;

  void Key(WORD Key, std::initializer_list<WORD> Modifiers = {}) {
    PostKey(Key, Modifiers);
    PumpFor(30);
  }
  void Mouse(UINT Msg, int X, int Y, WPARAM Keys = 0) {
    PostMessageA(Grid->Handle(), Msg, Keys, MAKELPARAM(X, Y));
    PumpFor(20);
  }
  POINT Centre(int Col, int Row) {
    RECT R = Grid->CellRect(Col, Row);
    return POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2};
  }
};

TEST(Grid, EveryShownCellIsPaintedInItsCellRect) {
  TGridForm F;
  // Without the fixed cells' edges and the focus mark over the corners.
  F.Grid->SetDefaultDrawing(false);
  F.Grid->SetColWidths(2, 30);
  F.Grid->SetRowHeights(3, 35);
  TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
  PrintClient(F.Grid->Handle(), Dib);
  int Checked = 0;
  for (int Col = 0; Col < F.Grid->ColCount(); ++Col) {
    for (int Row = 0; Row < F.Grid->RowCount(); ++Row) {
      RECT R = F.Grid->CellRect(Col, Row);
      if (R.right - R.left < 4 || R.bottom - R.top < 4) continue;
      // Corners inside the cell, clear of the text.
      EXPECT_EQ(Dib.Pixel(R.right - 1, R.bottom - 1), CellColor(Col, Row)) << Col << "," << Row;
      EXPECT_EQ(Dib.Pixel(R.left, R.bottom - 1), CellColor(Col, Row)) << Col << "," << Row;
      ++Checked;
    }
  }
  EXPECT_GT(Checked, 20);
  RECT Narrow = F.Grid->CellRect(2, 1), Tall = F.Grid->CellRect(1, 3);
  EXPECT_EQ(Narrow.right - Narrow.left, 30);
  EXPECT_EQ(Tall.bottom - Tall.top, 35);
  EXPECT_EQ(F.Grid->CellRect(0, 0).left, 0);
  EXPECT_EQ(F.Grid->CellRect(1, 0).left, 64 + 1) << "one grid line between cells";
  EXPECT_TRUE(F.Grid->StateOf11.Contains(gdFocused));
  EXPECT_FALSE(F.Grid->StateOf11.Contains(gdFixed));
  // The point of a cell maps back to it; beyond the last column is nothing.
  TGridCoord C = F.Grid->MouseCoord(F.Centre(3, 2).x, F.Centre(3, 2).y);
  EXPECT_EQ(C, (TGridCoord{3, 2}));
  F.Grid->SetColCount(3);
  EXPECT_EQ(F.Grid->MouseCoord(F.Grid->ClientWidth() - 2, 5).X, -1);
}

TEST(Grid, DefaultDrawingFillsTheCellsRaisesTheFixedOnesAndMarksTheFocus) {
  TGridForm F;
  F.Grid->Draws = false;
  F.Grid->SetFixedColor(clBtnFace);
  F.Grid->SetOptions(F.Grid->Options() + TGridOptions{goRangeSelect});
  F.Grid->MoveColRow(2, 2, true, true);
  F.Grid->MoveColRow(3, 2, false, true);  // 2,2 .. 3,2 selected, 3,2 current
  TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
  PrintClient(F.Grid->Handle(), Dib);
  auto Centre = [&](int Col, int Row) {
    POINT P = F.Centre(Col, Row);
    return Dib.Pixel(P.x, P.y);
  };
  EXPECT_EQ(Centre(4, 4), ColorToRGB(clWindow));
  EXPECT_EQ(Centre(0, 4), ColorToRGB(clBtnFace));
  EXPECT_EQ(Centre(2, 2), ColorToRGB(clHighlight)) << "selected";
  EXPECT_EQ(Centre(3, 2), ColorToRGB(clWindow)) << "the current cell is not filled as selected";
  RECT Fixed = F.Grid->CellRect(0, 4);
  EXPECT_EQ(Dib.Pixel(Fixed.left, Fixed.top + 3), ColorToRGB(clBtnHighlight)) << "raised";
  EXPECT_EQ(Dib.Pixel(Fixed.right - 1, Fixed.top + 3), ColorToRGB(clBtnShadow));
  RECT Data = F.Grid->CellRect(4, 4);
  EXPECT_EQ(Dib.Pixel(Data.left, Data.top + 3), ColorToRGB(clWindow)) << "data cells lie flat";
  RECT Current = F.Grid->CellRect(3, 2);
  int Marked = 0;
  for (int X = Current.left; X < Current.right; ++X)
    Marked += Dib.Pixel(X, Current.top) != ColorToRGB(clWindow);
  EXPECT_GT(Marked, 5) << "the focus rectangle";

  F.Grid->SetDefaultDrawing(false);
  TDibDC Plain(F.Grid->ClientWidth(), F.Grid->ClientHeight(), RGB(1, 2, 3));
  PrintClient(F.Grid->Handle(), Plain);
  POINT P = F.Centre(2, 2);
  EXPECT_EQ(Plain.Pixel(P.x, P.y), RGB(1, 2, 3)) << "nothing drawn but the cells' own drawing";
}

TEST(Grid, KeysMoveTheCurrentCellAndScrollItIntoView) {
  TGridForm F;
  struct {
    WORD Key;
    std::initializer_list<WORD> Modifiers;
    int Col, Row;
  } Steps[] = {
      {VK_RIGHT, {}, 2, 1}, {VK_DOWN, {}, 2, 2},           {VK_END, {}, 9, 2},
      {VK_HOME, {}, 1, 2},  {VK_END, {VK_CONTROL}, 1, 29}, {VK_HOME, {VK_CONTROL}, 1, 1},
      {VK_UP, {}, 1, 1},    {VK_LEFT, {}, 1, 1},
  };
  for (auto& S : Steps) {
    F.Key(S.Key, S.Modifiers);
    EXPECT_EQ(F.Grid->Col(), S.Col) << "key " << S.Key;
    EXPECT_EQ(F.Grid->Row(), S.Row) << "key " << S.Key;
  }
  F.Key(VK_END, {VK_CONTROL});
  EXPECT_GT(F.Grid->TopRow(), 1);
  RECT Last = F.Grid->CellRect(1, 29);
  EXPECT_LE(Last.bottom, F.Grid->ClientHeight()) << "the last row is shown whole";
  F.Key(VK_NEXT);
  EXPECT_EQ(F.Grid->Row(), 29);
  F.Key(VK_PRIOR);
  EXPECT_LT(F.Grid->Row(), 29);
}

TEST(Grid, TabWalksTheTabStopsOnlyWithTheOption) {
  TGridForm F;
  F.Grid->SetColCount(4);
  F.Grid->SetTabStops(2, false);
  F.Key(VK_TAB);
  EXPECT_EQ(F.Grid->Col(), 1) << "without goTabs Tab is the form's";
  F.Grid->SetFocus();
  PumpUntilFocused(F.Grid->Handle());
  F.Grid->SetOptions(F.Grid->Options() + TGridOptions{goTabs});
  F.Key(VK_TAB);
  EXPECT_EQ(F.Grid->Col(), 3) << "column 2 is no tab stop";
  F.Key(VK_TAB);
  EXPECT_EQ(F.Grid->Col(), 1);
  EXPECT_EQ(F.Grid->Row(), 2) << "past the last column to the next row";
  F.Key(VK_TAB, {VK_SHIFT});
  EXPECT_EQ(F.Grid->Col(), 3);
  EXPECT_EQ(F.Grid->Row(), 1);
}

TEST(Grid, MouseSelectsSizesAndMovesColumns) {
  TGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TGridOptions{goColSizing, goColMoving});
  POINT P = F.Centre(2, 4);
  F.Mouse(WM_LBUTTONDOWN, P.x, P.y, MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, P.x, P.y);
  EXPECT_EQ(F.Grid->Col(), 2);
  EXPECT_EQ(F.Grid->Row(), 4);
  // Shift+click extends the range from the anchor.
  POINT Q = F.Centre(3, 6);
  F.Mouse(WM_LBUTTONDOWN, Q.x, Q.y, MK_LBUTTON | MK_SHIFT);
  F.Mouse(WM_LBUTTONUP, Q.x, Q.y, MK_SHIFT);
  EXPECT_EQ(F.Grid->Selection(), (TGridRect{2, 4, 3, 6}));
  EXPECT_EQ(F.Grid->LeftCol(), 1);

  // Dragging the right border of column 2 in the title row.
  RECT Title2 = F.Grid->CellRect(2, 0);
  int Border = Title2.right;
  F.Mouse(WM_LBUTTONDOWN, Border, 5, MK_LBUTTON);
  EXPECT_EQ(F.Grid->GridState(), gsColSizing);
  F.Mouse(WM_MOUSEMOVE, Border + 25, 5, MK_LBUTTON);
  F.Mouse(WM_LBUTTONUP, Border + 25, 5);
  EXPECT_EQ(F.Grid->ColWidths(2), 64 + 25);
  EXPECT_EQ(F.Grid->WidthChanges, 1) << "announced once, at the release";

  // Dragging the title of column 1 onto column 3.
  POINT From = F.Centre(1, 0), To = F.Centre(3, 0);
  F.Mouse(WM_LBUTTONDOWN, From.x, From.y, MK_LBUTTON);
  F.Mouse(WM_MOUSEMOVE, To.x, To.y, MK_LBUTTON);
  EXPECT_EQ(F.Grid->GridState(), gsColMoving);
  F.Mouse(WM_LBUTTONUP, To.x, To.y);
  ASSERT_EQ(F.Grid->Moves.size(), 1u);
  EXPECT_EQ(F.Grid->Moves[0], std::make_pair(1, 3));
  EXPECT_EQ(F.Grid->ColWidths(1), 64 + 25) << "column 2 moved left by one";
  EXPECT_EQ(F.Grid->ColWidths(3), 64);
}

TEST(Grid, EditorOpensOnF2AndOnTypingAndGivesKeysBack) {
  TGridForm F;
  F.Grid->SetOptions(F.Grid->Options() + TGridOptions{goEditing});
  F.Grid->Texts[{1, 1}] = "abc";
  F.Key(VK_F2);
  TInplaceEdit* Edit = F.Grid->InplaceEditor();
  ASSERT_NE(Edit, nullptr);
  EXPECT_TRUE(Edit->Visible());
  EXPECT_EQ(Edit->Text(), "abc");
  EXPECT_EQ(GetFocus(), Edit->Handle());
  RECT Cell = F.Grid->CellRect(1, 1);
  EXPECT_EQ(Edit->Left(), Cell.left);
  EXPECT_EQ(Edit->Width(), Cell.right - Cell.left);

  PostText("xy");
  PumpFor(40);
  EXPECT_EQ((F.Grid->Texts[{1, 1}]), "xy") << "typing replaces the selected text";
  F.Key(VK_ESCAPE);
  EXPECT_EQ((F.Grid->Texts[{1, 1}]), "abc") << "Esc puts the text back";
  EXPECT_FALSE(Edit->Visible());
  EXPECT_EQ(GetFocus(), F.Grid->Handle());

  // A character typed on the grid opens the editor with it.
  PostText("q");
  PumpFor(40);
  EXPECT_TRUE(Edit->Visible());
  EXPECT_EQ((F.Grid->Texts[{1, 1}]), "q");
  // The vertical arrow leaves the cell and closes the editor.
  F.Key(VK_DOWN);
  EXPECT_EQ(F.Grid->Row(), 2);
  EXPECT_FALSE(Edit->Visible());
  // Enter opens and closes the editor.
  F.Key(VK_RETURN);
  EXPECT_TRUE(Edit->Visible());
  F.Key(VK_RETURN);
  EXPECT_FALSE(Edit->Visible());
  EXPECT_EQ((F.Grid->Texts[{1, 1}]), "q");
}

TEST(Grid, FixedCountsMustStayBelowTheCellCounts) {
  TCoordGrid Grid(nullptr);
  Grid.SetColCount(3);
  EXPECT_THROW(Grid.SetFixedCols(3), EInvalidGridOperation);
  EXPECT_THROW(Grid.SetFixedRows(Grid.RowCount()), EInvalidGridOperation);
  Grid.SetFixedCols(2);
  EXPECT_EQ(Grid.Col(), 2) << "the current cell leaves the fixed columns";
  Grid.SetColCount(2);
  EXPECT_EQ(Grid.FixedCols(), 1) << "fewer columns take fixed ones with them";
}

}  // namespace

namespace {

TEST(Grid, DraggingBelowTheCellsScrollsOnTheTimer) {
  TGridForm F;
  POINT P = F.Centre(2, 3);
  F.Mouse(WM_LBUTTONDOWN, P.x, P.y, MK_LBUTTON);
  EXPECT_EQ(F.Grid->GridState(), gsSelecting);
  F.Mouse(WM_MOUSEMOVE, P.x, F.Grid->ClientHeight() + 20, MK_LBUTTON);
  PumpFor(400);
  EXPECT_GT(F.Grid->Row(), 5) << "each timer step moves one row down";
  EXPECT_GT(F.Grid->TopRow(), 1);
  int Reached = F.Grid->Row();
  F.Mouse(WM_LBUTTONUP, P.x, F.Grid->ClientHeight() + 20);
  PumpFor(150);
  EXPECT_EQ(F.Grid->Row(), Reached) << "the release stops it";
  EXPECT_EQ(F.Grid->GridState(), gsNormal);
}

}  // namespace
