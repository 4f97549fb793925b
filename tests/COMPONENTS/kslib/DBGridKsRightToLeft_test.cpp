// A right-to-left grid under the real mouse: it paints mirrored, and
// clicks, title presses, edge drags and the editor follow the picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "CityGridForm.h"

namespace {

const auto* const Unit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

constexpr int NameCol = 1, QtyCol = 2, BornCol = 4;

struct TMirroredForm : TCityGridForm {
  TMirroredForm() { Grid->SetBiDiMode(bdRightToLeft); }
  // Where a client point of the cells shows on the screen.
  POINT Shown(POINT Client) {
    return Grid->ClientToScreen(POINT{Grid->ClientWidth() - 1 - Client.x, Client.y});
  }
  POINT ShownCenter(int ACol, int ARow) { return Shown(CellCenter(ACol, ARow)); }
  void Drag(POINT From, POINT To) {
    MoveMouse(From);
    PressMouse(From, true);
    MoveMouse(POINT{(From.x + To.x) / 2, To.y});
    MoveMouse(To);
    PressMouse(To, false);
    PumpFor(40);
  }
};

bool SamePicture(const TPicture32& A, const TPicture32& B) {
  return A.Width == B.Width && A.Height == B.Height && A.Pixels == B.Pixels;
}

TEST(DBGridRightToLeft, AClickLandsOnTheCellShownUnderTheCursor) {
  TMirroredForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgEditing});
  F.Show();
  struct TCase {
    int Col, Row, RecNo;
    const char* Field;
  } Cases[] = {{QtyCol, 3, 3, "Qty"}, {BornCol, 5, 5, "Born"}, {NameCol, 2, 2, "Name"}};
  for (const TCase& C : Cases) {
    ClickAt(F.ShownCenter(C.Col, F.Grid->TitleOffset() + C.Row - 1));
    PumpFor(40);
    EXPECT_EQ(F.RecNo(), C.RecNo) << C.Field;
    EXPECT_EQ(F.Grid->SelectedField()->FieldName(), C.Field);
    // What the click changed is painted where it shows: a full repaint
    // changes nothing.
    TPicture32 After = Capture(F.Grid->Handle());
    F.Grid->Invalidate();
    UpdateWindow(F.Grid->Handle());
    EXPECT_TRUE(SamePicture(After, Capture(F.Grid->Handle()))) << C.Field;
  }

  // A second click on the current cell opens its editor over that cell.
  POINT Cell = F.ShownCenter(NameCol, F.Grid->TitleOffset() + 1);
  PumpFor(GetDoubleClickTime() + 50);  // not a double click
  ClickAt(Cell);
  ASSERT_TRUE(PumpUntil([&] { return F.Grid->EditorMode(); }));
  RECT Editor;
  GetWindowRect(F.Grid->InplaceEditor()->Handle(), &Editor);
  EXPECT_TRUE(PtInRect(&Editor, Cell)) << Editor.left << ".." << Editor.right << " " << Cell.x;
}

TEST(DBGridRightToLeft, TitlePressesAndTheIndicatorFollowThePicture) {
  TMirroredForm F;
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghAutoSortMarking});
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  TColumnKs* Qty = F.Grid->Columns()->Items(QtyCol - 1);
  Qty->Title()->SetTitleButton(true);
  F.Show();
  ClickAt(F.ShownCenter(QtyCol, 0));
  PumpFor(40);
  EXPECT_NE(Qty->Title()->SortMarker(), smNoneKs) << "the title shown under the cursor";
  EXPECT_EQ(F.Grid->Columns()->Items(0)->Title()->SortMarker(), smNoneKs);

  // The indicator stands at the right: a Shift+click there extends the rows.
  F.Table.SetRecNo(2);
  ClickAt(F.ShownCenter(0, F.Grid->TitleOffset() + 3));
  PumpFor(40);
  ClickAt(F.ShownCenter(0, F.Grid->TitleOffset() + 5), {VK_SHIFT});
  PumpFor(40);
  EXPECT_EQ(F.RecNo(), 6);
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 3);

  // A title dragged onto the one shown two columns on moves there.
  F.Drag(F.ShownCenter(NameCol, 0), F.ShownCenter(QtyCol + 1, 0));
  EXPECT_EQ(F.Grid->Columns()->Items(0)->FieldName(), "Qty");
  EXPECT_EQ(F.Grid->Columns()->Items(2)->FieldName(), "Name");
}

// Dragged past the grid's left edge, where the later columns lie, the
// columns scroll on towards them.
TEST(DBGridRightToLeft, ADragPastTheLeftEdgeScrollsToTheLaterColumns) {
  TMirroredForm F;
  F.Grid->SetWidth(200);
  F.Show();
  ASSERT_EQ(F.Grid->LeftCol(), 1);
  POINT Start = F.ShownCenter(NameCol, F.Grid->TitleOffset() + 1);
  POINT Past = F.Grid->ClientToScreen(POINT{-10, F.CellCenter(NameCol, F.Grid->TitleOffset() + 1).y});
  MoveMouse(Start);
  PressMouse(Start, true);
  ASSERT_TRUE(PumpUntil([&] { return GetCapture() == F.Grid->Handle(); }));
  MoveMouse(Past);
  bool Scrolled = PumpUntil([&] { return F.Grid->LeftCol() > 1; }, 1500);
  PressMouse(Past, false);
  PumpFor(40);
  EXPECT_TRUE(Scrolled) << F.Grid->LeftCol();
  EXPECT_GT(F.Grid->Col(), NameCol) << "the current column went along";
}

// Right to left the vertical bar stands at the left and the horizontal one
// runs from the right: its thumb starts there, and its left arrow and the
// room left of the thumb go on to the later columns shown at the left.
TEST(DBGridRightToLeft, TheScrollBarsRunFromTheRight) {
  for (bool RightToLeft : {false, true}) {
    SCOPED_TRACE(RightToLeft ? "right to left" : "left to right");
    TCityGridForm F(60);
    if (RightToLeft) F.Grid->SetBiDiMode(bdRightToLeft);
    F.Grid->SetWidth(200);
    F.Show();
    HWND Grid = F.Grid->Handle();
    SCROLLBARINFO Vert{}, Horz{};
    Vert.cbSize = Horz.cbSize = sizeof Vert;
    ASSERT_TRUE(GetScrollBarInfo(Grid, OBJID_VSCROLL, &Vert));
    ASSERT_TRUE(GetScrollBarInfo(Grid, OBJID_HSCROLL, &Horz));
    ASSERT_FALSE(Vert.rgstate[0] & STATE_SYSTEM_INVISIBLE) << "the rows scroll";
    ASSERT_FALSE(Horz.rgstate[0] & STATE_SYSTEM_INVISIBLE) << "the columns scroll";
    POINT Client = F.Grid->ClientToScreen(POINT{0, 0});
    if (RightToLeft) {
      EXPECT_LE(Vert.rcScrollBar.right, Client.x) << "left of the cells";
    } else {
      EXPECT_GE(Vert.rcScrollBar.left, Client.x + F.Grid->ClientWidth()) << "right of the cells";
    }
    SCROLLINFO Info{sizeof Info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(Grid, SB_HORZ, &Info);
    ASSERT_GT(Info.nMax, Info.nMin);
    EXPECT_EQ(Info.nPos, RightToLeft ? Info.nMax : Info.nMin) << "the thumb where the first columns are";
    // The arrow at the left, then the room right of the thumb.
    SendMessageA(Grid, WM_HSCROLL, SB_LINELEFT, 0);
    EXPECT_EQ(F.Grid->LeftCol(), RightToLeft ? 2 : 1);
    SendMessageA(Grid, WM_HSCROLL, SB_PAGERIGHT, 0);
    EXPECT_EQ(F.Grid->LeftCol() > 1, !RightToLeft) << "right to left back to the first";
    int Shown = F.Grid->LeftCol();
    GetScrollInfo(Grid, SB_HORZ, &Info);
    EXPECT_EQ(Info.nPos, RightToLeft ? Info.nMax - (Shown - 1) : Shown - 1);
    // The thumb dropped at the left end shows the last columns right to left.
    SendMessageA(Grid, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, Info.nMin), 0);
    GetScrollInfo(Grid, SB_HORZ, &Info);
    EXPECT_EQ(Info.nPos, Info.nMin);
    EXPECT_EQ(F.Grid->LeftCol() > 1, RightToLeft);
  }
}

// A text too wide for its cell shows in a tip over the cell as shown.
TEST(DBGridRightToLeft, ATipShowsOverTheCellShownUnderTheCursor) {
  TMirroredForm F;
  TColumnKs* Name = F.Grid->Columns()->Items(0);
  Name->SetWidth(30);
  Name->SetToolTips(true);
  F.Show();
  RECT Cell = F.Grid->CellRect(NameCol, F.Grid->TitleOffset() + 1);
  POINT Center = F.ShownCenter(NameCol, F.Grid->TitleOffset() + 1);
  MoveMouse(Center);
  PumpFor(30);
  ASSERT_TRUE(PumpUntil([&] { return F.Grid->ToolTipsWindow() && F.Grid->ToolTipsWindow()->Active(); }));
  EXPECT_EQ(F.Grid->ToolTipsWindow()->HintText(), "Мурманск");
  RECT Tip;
  GetWindowRect(F.Grid->ToolTipsWindow()->Handle(), &Tip);
  int ShownLeft = Center.x - (Cell.right - Cell.left) / 2;
  EXPECT_LE(std::abs(Tip.left - ShownLeft), 6) << Tip.left << " " << ShownLeft;
}

// A column's edge shows at its left: dragged further left, the column
// grows; a group's edge shares the growth among its columns.
TEST(DBGridRightToLeft, DraggingTitleEdgesSizesTheColumnsShownBesideThem) {
  TMirroredForm F;
  TDBGridColumnsKs* Columns = F.Grid->Columns();
  F.GroupNameAndQty();
  F.Show();
  TColumnKs* Kind = Columns->Items(2);
  int KindWidth = Kind->Width(), BornWidth = Columns->Items(3)->Width();
  RECT Title = F.Grid->CellRect(QtyCol + 1, 0);
  POINT Edge = F.Shown(POINT{Title.right, Title.bottom - 3});
  F.Drag(Edge, POINT{Edge.x - 30, Edge.y});
  EXPECT_EQ(Kind->Width(), KindWidth + 30);
  EXPECT_EQ(Columns->Items(3)->Width(), BornWidth);
  EXPECT_EQ(Kind->FieldName(), "Kind") << "sized, not moved";

  RECT Qty = F.Grid->CellRect(QtyCol, 0);
  Edge = F.Shown(POINT{Qty.right, Qty.top + 3});
  F.Drag(Edge, POINT{Edge.x - 50, Edge.y});
  EXPECT_EQ(Columns->Items(0)->Width(), 78) << "60 of 160 take 50 of 210";
  EXPECT_EQ(Columns->Items(1)->Width(), 132);
  EXPECT_EQ(Kind->Width(), KindWidth + 30);
}

}  // namespace
