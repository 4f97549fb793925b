// The grid's vertical bar in records under Wine: each scroll code on a
// numbered and an unnumbered dataset, thumb tracking, a long table, the
// wheel (sent and turned) and the bar's three visibility modes.
#include <gtest/gtest.h>

#include "CityGridForm.h"

namespace {

const auto* const Unit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

void VScroll(TCityGridForm& F, int Code, int Pos = -1) {
  if (Pos >= 0) SetScrollPos(F.Grid->Handle(), SB_VERT, Pos, FALSE);
  SendMessageA(F.Grid->Handle(), WM_VSCROLL, MAKEWPARAM(Code, Pos < 0 ? 0 : Pos & 0xFFFF), 0);
  PumpFor(10);
}

int ThumbPos(TCityGridForm& F) {
  SCROLLINFO Info{sizeof Info, SIF_POS, 0, 0, 0, 0, 0};
  GetScrollInfo(F.Grid->Handle(), SB_VERT, &Info);
  return Info.nPos;
}

// Filtered, the table can no longer number its records.
void Unnumber(TCityGridForm& F) {
  F.Table.SetOnFilterRecord([](TDataSet*, bool& Accept) { Accept = true; });
  F.Table.SetFiltered(true);
}

TEST(DBGridScrolling, EachScrollCodeMovesTheDatasetByRecords) {
  struct TCase {
    const char* Name;
    bool Numbered;
    int From, Code, Pos;
    // The expected record, from the first shown record, the active index,
    // the buffered records and the page.
    std::function<int(int First, int Active, int Buffered, int Page)> Expected;
  };
  const TCase Cases[] = {
      {"line down", true, 1, SB_LINEDOWN, -1, [](int F, int, int B, int) { return F + B; }},
      {"line up", true, 20, SB_LINEUP, -1, [](int F, int, int, int) { return F - 1; }},
      {"page down", true, 3, SB_PAGEDOWN, -1, [](int, int, int, int P) { return 3 + P; }},
      {"page up", true, 25, SB_PAGEUP, -1, [](int, int, int, int P) { return 25 - P; }},
      {"top", true, 12, SB_TOP, -1, [](int, int, int, int) { return 1; }},
      {"bottom", true, 12, SB_BOTTOM, -1, [](int, int, int, int) { return 30; }},
      {"thumb to a record", true, 2, SB_THUMBPOSITION, 17, [](int, int, int, int) { return 17; }},
      {"thumb at 1", true, 9, SB_THUMBPOSITION, 1, [](int, int, int, int) { return 1; }},
      {"thumb at the end", true, 9, SB_THUMBPOSITION, 30, [](int, int, int, int) { return 30; }},
      {"track without tracking", true, 9, SB_THUMBTRACK, 20, [](int, int, int, int) { return 9; }},
      {"unnumbered thumb 0", false, 9, SB_THUMBPOSITION, 0, [](int, int, int, int) { return 1; }},
      {"unnumbered thumb 1", false, 20, SB_THUMBPOSITION, 1,
       [](int, int, int, int P) { return 20 - P; }},
      {"unnumbered thumb 2", false, 9, SB_THUMBPOSITION, 2, [](int, int, int, int) { return 9; }},
      {"unnumbered thumb 3", false, 9, SB_THUMBPOSITION, 3,
       [](int, int, int, int P) { return 9 + P; }},
      {"unnumbered thumb 4", false, 9, SB_THUMBPOSITION, 4, [](int, int, int, int) { return 30; }},
      {"unnumbered line down", false, 1, SB_LINEDOWN, -1,
       [](int F, int, int B, int) { return F + B; }},
  };
  for (const TCase& C : Cases) {
    TCityGridForm F;
    F.Show();
    if (!C.Numbered) Unnumber(F);
    F.Table.SetRecNo(C.From);
    PumpFor(10);
    TGridDataLinkKs* Link = F.Grid->DataLink();
    int Active = Link->ActiveRecord();
    int First = C.From - Active;
    int Expected = C.Expected(First, Active, Link->RecordCount(), F.Grid->VisibleDataRows());
    VScroll(F, C.Code, C.Pos);
    TBookmark Reached = F.Table.GetBookmark();
    F.Table.SetFiltered(false);
    F.Table.GotoBookmark(Reached);
    EXPECT_EQ(F.RecNo(), Expected) << C.Name;
  }
}

TEST(DBGridScrolling, AnUnnumberedDatasetShowsTheThumbAtItsEndsOrInTheMiddle) {
  TCityGridForm F;
  F.Show();
  Unnumber(F);
  F.Table.First();
  PumpFor(10);
  EXPECT_EQ(ThumbPos(F), 0);
  F.Table.MoveBy(5);
  PumpFor(10);
  EXPECT_EQ(ThumbPos(F), 2);
  F.Table.Last();
  F.Table.Next();
  PumpFor(10);
  EXPECT_EQ(ThumbPos(F), 4);
}

TEST(DBGridScrolling, TrackingFollowsTheThumbAndTheReleaseDoesNotMoveAgain) {
  TCityGridForm F;
  F.Grid->VertScrollBar()->Tracking = true;
  F.Show();
  VScroll(F, SB_THUMBTRACK, 12);
  EXPECT_EQ(F.RecNo(), 12);
  F.Table.SetRecNo(5);
  VScroll(F, SB_THUMBPOSITION, 20);
  EXPECT_EQ(F.RecNo(), 5) << "the drag's own release is not applied twice";
  VScroll(F, SB_THUMBPOSITION, 20);
  EXPECT_EQ(F.RecNo(), 20);
  EXPECT_EQ(ThumbPos(F), 20);
}

TEST(DBGridScrolling, TheThumbReachesTheLastOfAHundredThousandRecords) {
  TCityGridForm F(100000);
  F.Show();
  VScroll(F, SB_THUMBPOSITION, 70000);
  EXPECT_EQ(F.RecNo(), 70000) << "the position is read as 32 bits";
  VScroll(F, SB_THUMBPOSITION, 100000);
  EXPECT_EQ(F.RecNo(), 100000);
  EXPECT_EQ(ThumbPos(F), 100000);
}

TEST(DBGridScrolling, TheWheelStepsOneRecordPerNotch) {
  TCityGridForm F;
  F.Show();
  auto Wheel = [&](int Delta) {
    SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, Delta), 0);
  };
  Wheel(-WHEEL_DELTA);
  EXPECT_EQ(F.RecNo(), 2);
  Wheel(-2 * WHEEL_DELTA);
  EXPECT_EQ(F.RecNo(), 4);
  Wheel(WHEEL_DELTA);
  EXPECT_EQ(F.RecNo(), 3);
  F.Table.First();
  Wheel(WHEEL_DELTA);
  EXPECT_EQ(F.RecNo(), 1);
}

// Turned as a person does, through the input queue.
TEST(DBGridScrolling, ARealWheelMovesTheRecordsANotchAtATime) {
  TCityGridForm F;
  F.Show();
  const POINT Over = F.Grid->ClientToScreen(F.CellCenter(1, 4));
  auto Wheel = [&](int Delta, int Expected) {
    TurnWheel(Over, Delta);
    EXPECT_TRUE(PumpUntil([&] { return F.RecNo() == Expected; })) << Delta << " " << F.RecNo();
  };
  Wheel(-WHEEL_DELTA, 2);
  Wheel(-2 * WHEEL_DELTA, 4);
  Wheel(WHEEL_DELTA, 3);
}

TEST(DBGridScrolling, TheBarShowsByItsMode) {
  auto Bar = [](TCityGridForm& F) {
    SCROLLBARINFO Info{};
    Info.cbSize = sizeof Info;
    GetScrollBarInfo(F.Grid->Handle(), OBJID_VSCROLL, &Info);
    bool Shown = (GetWindowLongA(F.Grid->Handle(), GWL_STYLE) & WS_VSCROLL) != 0;
    bool Dead = (Info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0;
    return std::pair{Shown, Dead};
  };
  // The range runs to the record count plus the page less one: only a
  // single record leaves nothing to scroll.
  {
    TCityGridForm F(1);
    F.Show();
    EXPECT_FALSE(Bar(F).first) << "auto: nothing to scroll";
    F.Grid->VertScrollBar()->SetVisibleMode(sbAlwaysShowKs);
    EXPECT_EQ(Bar(F), std::pair(true, true)) << "always: shown but dead";
    F.Grid->VertScrollBar()->SetVisibleMode(sbAutoShowKs);
    EXPECT_FALSE(Bar(F).first);
  }
  {
    TCityGridForm F;
    F.Show();
    EXPECT_EQ(Bar(F), std::pair(true, false)) << "auto: something to scroll";
    F.Grid->VertScrollBar()->SetVisibleMode(sbNeverShowKs);
    EXPECT_FALSE(Bar(F).first);
    F.Table.Last();
    EXPECT_FALSE(Bar(F).first) << "never";
  }
}

}  // namespace
