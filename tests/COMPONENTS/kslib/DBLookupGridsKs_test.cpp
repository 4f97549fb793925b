// The lookup grid on a form under Wine, over in-memory tables of cities and
// orders, driven by real keys, clicks, wheel and scroll messages: the key
// written is the chosen row's, the special row at both ends, incremental
// search with its pause, keys that do not fit, lookup-field mode, the
// errors, height snapping, and the popup dropped under an edit.
#include "COMPONENTS/kslib/DBLookupGridsKs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "EditorForm.h"
#include "URecordMarker.h"
#include "SDS.h"
#include "SDataSource.h"
#include "CommonInterface.h"
#include "tests/COMPONENTS/SDSPlainTable.h"
#include "GridForm.h"
#include "zynMemTable.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

const char* const CityNames[] = {"Москва", "Мурманск", "Тверь",   "Тула",   "Омск",
                                 "Орёл",   "Пермь",    "Псков",   "Самара", "Саратов",
                                 "Томск",  "Уфа",      "Ярославль"};
constexpr int CityCount = 13;
int CodeOf(int Index) { return (Index + 1) * 10; }

// A long name for the search limit.
const AnsiString LongName(40, '\xE0');

struct TLookupForm {
  TzynMemTable Cities{nullptr};
  TDataSource CitySource{nullptr};
  TzynMemTable Orders{nullptr};
  TDataSource OrderSource{nullptr};
  TForm* Form = new TForm(Application);
  TDBLookupGridKs* Grid = new TDBLookupGridKs(Form);

  TLookupForm() {
    Cities.FieldDefs()->Add("Code", ftInteger);
    Cities.FieldDefs()->Add("Region", ftInteger);
    Cities.FieldDefs()->Add("Name", ftString, 60);
    Cities.Open();
    // Narrow enough that no column scrolls sideways.
    Cities.FieldByName("Name")->SetDisplayWidth(12);
    for (int I = 0; I < CityCount; ++I) AppendValues(&Cities, {CodeOf(I), I % 3, CityNames[I]});
    AppendValues(&Cities, {999, 9, LongName});
    Cities.First();
    CitySource.SetDataSet(&Cities);
    Orders.FieldDefs()->Add("Id", ftInteger);
    Orders.FieldDefs()->Add("CityCode", ftInteger);
    Orders.FieldDefs()->Add("Region", ftInteger);
    Orders.Open();
    AppendValues(&Orders, {1, 20, 1});
    Orders.First();
    OrderSource.SetDataSet(&Orders);

    Form->SetBounds(60, 60, 420, 360);
    Grid->SetParent(Form);
    Grid->SetBounds(10, 10, 380, 150);
    Grid->SetListSource(&CitySource);
    Grid->SetKeyFieldNames("Code");
    Grid->SetListFieldNames("Name;Code");
  }
  ~TLookupForm() {
    delete Form;
    Orders.Close();
    Cities.Close();
  }
  TLookupForm(const TLookupForm&) = delete;
  TLookupForm& operator=(const TLookupForm&) = delete;

  void Show() {
    Form->Show();
    SetForegroundWindow(Form->Handle());
    PumpFor(30);
    Grid->SetFocus();
    PumpUntilFocused(Grid->Handle());
  }
  void Bind() {
    Grid->SetDataSource(&OrderSource);
    Grid->SetDataFieldNames("CityCode");
  }
  void Key(WORD Code, std::initializer_list<WORD> Modifiers = {}) {
    PostKey(Code, Modifiers);
    PumpFor(30);
  }
  void Text(const char* Typed) {
    PostText(Typed);
    PumpFor(30);
  }
  // The client point in the middle of a grid row.
  POINT RowPoint(int GridRow) {
    RECT R = Grid->CellRect(0, GridRow);
    return POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2};
  }
  POINT OnScreen(POINT Client) {
    ClientToScreen(Grid->Handle(), &Client);
    return Client;
  }
  void ClickRow(int GridRow) {
    PostClickOn(Grid->Handle(), RowPoint(GridRow));
    PumpFor(50);
  }
  int BufferedRows() { return Grid->DataLink()->RecordCount(); }
  // -1 for Null.
  int OrderCity() {
    TField* Field = Orders.FieldByName("CityCode");
    return Field->IsNull() ? -1 : Field->AsInteger();
  }
};

// The cursor a test moves through the input queue goes back where it was,
// so that no window of a later test finds it over itself.
struct TCursorKept {
  POINT Saved{};
  TCursorKept() { GetCursorPos(&Saved); }
  ~TCursorKept() { MoveMouse(Saved); }
};

// The search clock, moved by the test.
struct TSearchClock {
  uint32_t Now = 100000;
  std::function<uint32_t()> Saved = LookupGridTickCount;
  TSearchClock() {
    LookupGridTickCount = [this] { return Now; };
  }
  ~TSearchClock() { LookupGridTickCount = Saved; }
};

// A drop-down of the edit over the list, not shown yet.
TPopupDataGridKs* NewPopup(TEdit* Edit, TDataSource* List, const char* KeyFields,
                           const char* ListFields) {
  auto* Popup = new TPopupDataGridKs(Edit);
  Popup->SetListSource(List);
  Popup->SetKeyFieldNames(KeyFields);
  Popup->SetListFieldNames(ListFields);
  Popup->SetBounds(0, 0, 200, 120);
  return Popup;
}

TEST(DBLookupGrid, HeightSnapsToWholeRowsAndRowCountIsClamped) {
  TLookupForm F;
  F.Show();
  const struct {
    int Asked, Rows;
  } Cases[] = {{0, 1}, {101, 100}, {5, 5}, {1, 1}};
  for (const auto& C : Cases) {
    F.Grid->SetRowCount(C.Asked);
    EXPECT_EQ(F.Grid->RowCount(), C.Rows) << C.Asked;
  }
  F.Grid->SetRowCount(5);
  int Height = F.Grid->Height(), Row = F.Grid->DataRowHeight();
  F.Grid->SetBounds(10, 10, 380, Height + Row / 2);
  EXPECT_EQ(F.Grid->Height(), Height) << "a part of a row is cut off";
  EXPECT_EQ(F.Grid->RowCount(), 5);
  F.Grid->SetBounds(10, 10, 380, Height + Row);
  EXPECT_EQ(F.Grid->RowCount(), 6);
  EXPECT_EQ(F.Grid->Height(), Height + Row);
  PumpFor(30);
  EXPECT_EQ(F.BufferedRows(), 6) << "the rows the height shows are the list's buffer";

  // The special row takes one row more of height, not one data row less.
  F.Grid->SpecRow()->SetVisible(true);
  EXPECT_EQ(F.Grid->RowCount(), 6);
  EXPECT_EQ(F.Grid->Height(), Height + 2 * Row);
  // So do titles, which a lookup list starts without.
  EXPECT_FALSE(F.Grid->Options().Contains(dgTitles));
  F.Grid->SetShowTitles(true);
  EXPECT_EQ(F.Grid->RowCount(), 6);
  EXPECT_EQ(F.Grid->Height(), Height + 2 * Row + F.Grid->RowHeights(0));
}

// The data rows' area starts under the titles and the special row and ends
// where the footer rows start.
TEST(DBLookupGrid, TheDataRowsRectLiesBetweenTheTitlesAndTheFooters) {
  struct {
    bool Titles, Spec;
    int Footers;
  } Cases[] = {
      {false, false, 0}, {true, false, 0}, {true, true, 0}, {true, true, 1}, {false, true, 2},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(::testing::Message() << C.Titles << C.Spec << C.Footers);
    TLookupForm F;
    F.Grid->SetShowTitles(C.Titles);
    F.Grid->SpecRow()->SetVisible(C.Spec);
    F.Grid->SetFooterRowCount(C.Footers);
    F.Grid->SetRowCount(6);
    F.Show();
    RECT Rows = F.Grid->GetDataRowsRect();
    int First = F.Grid->TitleOffset();
    EXPECT_EQ(First, (C.Titles ? 1 : 0) + (C.Spec ? 1 : 0));
    EXPECT_EQ(Rows.left, 0);
    EXPECT_EQ(Rows.right, F.Grid->ClientWidth());
    EXPECT_EQ(Rows.top, F.Grid->CellRect(1, First).top);
    int FirstFooter = F.Grid->TCustomDBGridKs::RowCount() - C.Footers;
    EXPECT_EQ(Rows.bottom, C.Footers ? F.Grid->CellRect(1, FirstFooter).top : F.Grid->ClientHeight());
  }
}

TEST(DBLookupGrid, AHiddenScrollBarFitsTheColumnsToTheClientWidth) {
  TLookupForm F;
  F.Cities.FieldByName("Name")->SetDisplayWidth(60);
  F.Show();
  int Wide = F.Grid->GetColumnsWidth();
  ASSERT_GT(Wide, F.Grid->ClientWidth()) << "the columns need the scroll bar";
  EXPECT_TRUE(GetWindowLongPtrA(F.Grid->Handle(), GWL_STYLE) & WS_HSCROLL);
  F.Grid->SetScrollBarHidden(true);
  PumpFor(30);
  EXPECT_FALSE(GetWindowLongPtrA(F.Grid->Handle(), GWL_STYLE) & WS_HSCROLL);
  int Fitted = F.Grid->GetColumnsWidth();
  EXPECT_LE(Fitted, F.Grid->ClientWidth());
  EXPECT_GT(Fitted, F.Grid->ClientWidth() / 2);
  F.Grid->SetScrollBarHidden(false);
  EXPECT_EQ(F.Grid->GetColumnsWidth(), Wide) << "the columns' own widths again";

}

TEST(DBLookupGrid, WithoutTheScrollBarTheListsWidthFollowsAColumnSizedByHand) {
  TLookupForm F;
  F.Grid->SetShowTitles(true);
  F.Show();
  F.Grid->SetScrollBarHidden(true);
  PumpFor(30);
  int First = F.Grid->Columns()->Items(0)->Width();
  RECT Title = F.Grid->CellRect(0, 0);
  ASSERT_LT(Title.right, F.Grid->ClientWidth());
  HWND Wnd = F.Grid->Handle();
  int Y = (Title.top + Title.bottom) / 2;
  PostMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Title.right, Y));
  PostMessageA(Wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(Title.right + 40, Y));
  PumpFor(30);
  EXPECT_EQ(F.Grid->GridState(), gsColSizing);
  EXPECT_EQ(F.Grid->Columns()->Items(0)->Width(), First + 40) << "while the button is held";
  EXPECT_EQ(F.Grid->ClientWidth(), F.Grid->GetColumnsWidth());
  PostMessageA(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(Title.right + 40, Y));
  PumpFor(30);
  EXPECT_EQ(F.Grid->Columns()->Items(0)->Width(), First + 40);
  EXPECT_EQ(F.Grid->ClientWidth(), F.Grid->GetColumnsWidth()) << "and after the release";
}

TEST(DBLookupGrid, LookupOptionsMapOntoTheGridsOptions) {
  TDBLookupGridKs Grid(nullptr);
  const struct {
    uint8_t Bits;
    bool Resize, ColLines, RowLines, AutoSort, MultiSort;
  } Cases[] = {{0, false, false, false, false, false},
               {7, true, true, true, false, false},
               {2 | 8, false, true, false, true, false},
               {4 | 16, false, false, true, false, true}};
  for (const auto& C : Cases) {
    Grid.SetLookupOptions(C.Bits);
    EXPECT_EQ(Grid.Options().Contains(dgColumnResize), C.Resize) << int(C.Bits);
    EXPECT_EQ(Grid.Options().Contains(dgColLines), C.ColLines) << int(C.Bits);
    EXPECT_EQ(Grid.Options().Contains(dgRowLines), C.RowLines) << int(C.Bits);
    EXPECT_EQ(Grid.OptionsKs().Contains(dghAutoSortMarking), C.AutoSort) << int(C.Bits);
    EXPECT_EQ(Grid.OptionsKs().Contains(dghMultiSortMarking), C.MultiSort) << int(C.Bits);
  }
}

TEST(DBLookupGrid, KeyValueLocatesTheListAndAnUnknownKeyShowsNoOtherRecordsText) {
  TLookupForm F;
  F.Show();
  EXPECT_TRUE(F.Grid->KeyValue().IsNull());
  F.Grid->SetKeyValue(30);
  EXPECT_EQ(F.Cities.FieldByName("Code")->AsInteger(), 30);
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString("Тверь"));
  EXPECT_TRUE(F.Grid->RowSelectHighlighted()) << "the key's row is the current row";

  F.Grid->SetKeyValue(12345);
  EXPECT_EQ(F.Cities.FieldByName("Code")->AsInteger(), 10) << "the list goes to its first record";
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString());
  EXPECT_FALSE(F.Grid->RowSelectHighlighted());

  // With a special row that shows for keys not in the list.
  F.Grid->SpecRow()->SetCellsText("<нет>;");
  F.Grid->SpecRow()->SetValue(0);
  F.Grid->SpecRow()->SetVisible(true);
  F.Grid->SetKeyValue(777);
  EXPECT_TRUE(F.Grid->SpecRowSelected());
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString("<нет>"));
  F.Grid->SetKeyValue(0);
  EXPECT_TRUE(F.Grid->SpecRowSelected());
  F.Grid->SetKeyValue(40);
  EXPECT_FALSE(F.Grid->SpecRowSelected());
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString("Тула"));
}

TEST(DBLookupGrid, KeysMoveTheListAndWriteTheChosenRowsKey) {
  TLookupForm F;
  F.Bind();
  F.Grid->SpecRow()->SetCellsText("(все)");
  F.Grid->SpecRow()->SetVisible(true);
  F.Show();
  EXPECT_EQ(F.Grid->KeyValue(), Variant(20)) << "the edited record's key";
  int Page = F.BufferedRows() - 1;
  ASSERT_GT(Page, 1);
  const struct {
    WORD Key;
    int Code;
  } Steps[] = {{VK_DOWN, 30},
               {VK_RIGHT, 40},
               {VK_END, 999},
               {VK_HOME, 10},
               {VK_NEXT, 10 + Page * 10},
               {VK_PRIOR, 10},
               {VK_UP, -1},  // the special row: its value, Null
               {VK_DOWN, 10},
               {VK_LEFT, -1}};
  for (const auto& S : Steps) {
    F.Key(S.Key);
    if (S.Code < 0) {
      EXPECT_EQ(F.OrderCity(), -1) << S.Key;
      EXPECT_TRUE(F.Grid->SpecRowSelected()) << S.Key;
      EXPECT_EQ(F.Grid->DisplayText(), AnsiString("(все)"));
    } else {
      EXPECT_EQ(F.OrderCity(), S.Code) << S.Key;
      EXPECT_EQ(F.Grid->KeyValue(), Variant(S.Code)) << S.Key;
      EXPECT_EQ(F.Cities.FieldByName("Code")->AsInteger(), S.Code) << S.Key;
    }
  }
  // A read-only link moves nothing.
  F.Key(VK_DOWN);
  F.Grid->LookupDataLink()->SetReadOnly(true);
  F.Key(VK_DOWN);
  EXPECT_EQ(F.OrderCity(), 10);
}

TEST(DBLookupGrid, IncrementalSearchExtendsTheTextWithinThePause) {
  TSearchClock Clock;
  TLookupForm F;
  F.Bind();
  F.Show();
  F.Text("му");
  EXPECT_EQ(F.OrderCity(), 20) << "Мурманск";
  EXPECT_EQ(F.Grid->SearchText(), AnsiString("му"));
  F.Text("х");  // nothing starts with it: the text stays
  EXPECT_EQ(F.Grid->SearchText(), AnsiString("му"));
  Clock.Now += 2001;
  F.Text("т");
  EXPECT_EQ(F.Grid->SearchText(), AnsiString("т")) << "after the pause a new search";
  EXPECT_EQ(F.OrderCity(), 30) << "Тверь";
  Clock.Now += 2000;
  F.Text("у");
  EXPECT_EQ(F.OrderCity(), 40) << "Тула: exactly the pause still extends";
  F.Key(VK_BACK);
  EXPECT_EQ(F.Grid->SearchText(), AnsiString());

  Clock.Now += 5000;
  F.Text(AnsiString(40, '\xE0').c_str());
  EXPECT_EQ(F.Grid->SearchText().size(), 32u) << "the text stops growing at 32 characters";
  EXPECT_EQ(F.OrderCity(), 999);

  // A list field that is not a string does not search.
  Clock.Now += 5000;
  F.Grid->SetListFieldNames("Code;Name");
  F.Text("1");
  EXPECT_EQ(F.Grid->SearchText().size(), 32u);
  EXPECT_EQ(F.OrderCity(), 999);
}

// A double-byte character searches whole: a character that no name
// starts with finds nothing even where its lead byte alone would, leaves
// no lead byte in the search text, and its trail is taken once.
TEST(DBLookupGrid, ADoubleByteCharacterSearchesWhole) {
  TFarEastScope FarEast;
  TSearchClock Clock;
  TLookupForm F;
  AppendValues(&F.Cities, {500, 5, "\x82\xA0x"});
  F.Cities.First();
  F.Bind();
  F.Show();
  for (char Byte : {'\x82', '\xA2', '\xCC'})  // い, then a Cyrillic М
    PostMessageA(F.Grid->Handle(), WM_CHAR, static_cast<uint8_t>(Byte), 1);
  PumpFor(30);
  EXPECT_EQ(F.OrderCity(), 10) << "Москва: the character after the pair searched";
  EXPECT_EQ(F.Grid->SearchText(), "\xCC");
  Clock.Now += 5000;
  for (char Byte : {'\x82', '\xA0'}) PostMessageA(F.Grid->Handle(), WM_CHAR, static_cast<uint8_t>(Byte), 1);
  PumpFor(30);
  EXPECT_EQ(F.OrderCity(), 500);
  EXPECT_EQ(F.Grid->SearchText(), "\x82\xA0");
}

TEST(DBLookupGrid, ClicksWheelAndScrollRequestsPickTheRowUnderThem) {
  TLookupForm F;
  F.Bind();
  F.Grid->SpecRow()->SetVisible(true);
  F.Grid->SpecRow()->SetValue(-1);
  F.Show();
  F.Key(VK_HOME);  // the first record at the top
  int Title = F.Grid->TitleOffset();
  F.ClickRow(Title + 2);
  EXPECT_EQ(F.OrderCity(), 30) << "the third row";
  F.ClickRow(Title - 1);
  EXPECT_TRUE(F.Grid->SpecRowSelected());
  EXPECT_EQ(F.OrderCity(), -1);
  F.ClickRow(Title);
  EXPECT_EQ(F.OrderCity(), 10);

  int Rows = F.BufferedRows();
  SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(F.OrderCity(), CodeOf(Rows)) << "one row below the last shown";
  SendMessageA(F.Grid->Handle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(F.OrderCity(), 10);
  SendMessageA(F.Grid->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(F.OrderCity(), CodeOf(Rows));
  SendMessageA(F.Grid->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 4), 0);
  EXPECT_EQ(F.OrderCity(), 999);
  SCROLLINFO SI{sizeof SI, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(F.Grid->Handle(), SB_VERT, &SI);
  EXPECT_EQ(SI.nMax, CityCount) << "records - 1";
  EXPECT_EQ(static_cast<int>(SI.nPage), Rows);
}

TEST(DBLookupGrid, DraggingPastTheEdgesKeepsTheListMovingUntilTheRelease) {
  TCursorKept Cursor;
  TLookupForm F;
  F.Bind();
  F.Grid->SpecRow()->SetVisible(true);
  F.Grid->SpecRow()->SetValue(-1);
  F.Show();
  F.Key(VK_HOME);
  HWND Wnd = F.Grid->Handle();
  POINT P = F.RowPoint(F.Grid->TitleOffset());
  MoveMouse(F.OnScreen(P));
  PressMouse(F.OnScreen(P), true);
  PumpFor(30);
  EXPECT_EQ(GetCapture(), Wnd);
  MoveMouse(F.OnScreen(POINT{P.x, F.Grid->ClientHeight() + 20}));
  EXPECT_TRUE(PumpUntil([&] { return F.OrderCity() == 999; }, 5000)) << F.OrderCity();
  POINT Above = F.OnScreen(POINT{P.x, -30});
  MoveMouse(Above);
  EXPECT_TRUE(PumpUntil([&] { return F.OrderCity() == -1; }, 5000))
      << "above the first record the special row: " << F.OrderCity();
  PressMouse(Above, false);
  PumpFor(30);
  EXPECT_NE(GetCapture(), Wnd);
  F.Key(VK_DOWN);
  PumpFor(300);
  EXPECT_EQ(F.OrderCity(), 10) << "the release stopped the timer";
}

// A real press on the first row of a long list, dragged 20 pixels below
// the grid and held there: the list moves a record a tick.
struct TLookupDrag {
  TCursorKept Cursor;
  TLookupForm F;
  POINT Below{};
  int Moves = 0;
  TLookupDrag() {
    for (int I = 0; I < 300; ++I) AppendValues(&F.Cities, {2000 + I, 0, "Город"});
    F.Cities.First();
    F.Bind();
    F.Show();
    F.Key(VK_HOME);
    F.Cities.AfterScroll = [this](TDataSet*) {
      // A loop that would never return is cut off here.
      if (++Moves == 50) PostMessageA(F.Grid->Handle(), WM_CANCELMODE, 0, 0);
    };
    POINT P = F.RowPoint(F.Grid->TitleOffset());
    MoveMouse(F.OnScreen(P));
    PressMouse(F.OnScreen(P), true);
    EXPECT_TRUE(PumpUntil([&] { return GetCapture() == F.Grid->Handle(); }));
    Below = F.OnScreen(POINT{P.x, F.Grid->ClientHeight() + 20});
    SendMouse(Below);
  }
  ~TLookupDrag() {
    F.Cities.AfterScroll = nullptr;
    if (GetAsyncKeyState(VK_LBUTTON) < 0) PressMouse(Below, false);
    PumpFor(30);
  }
  TLookupDrag(const TLookupDrag&) = delete;
  TLookupDrag& operator=(const TLookupDrag&) = delete;
  int RecNo() { return F.Cities.RecNo(); }
  // The application's own loop, called again and again as a long walk
  // calls it, until Done() or the time is up; the most moves one call made.
  int ProcessUntil(const std::function<bool()>& Done, int TimeoutMs) {
    DWORD Began = GetTickCount();
    int Most = 0;
    while (!Done() && static_cast<int>(GetTickCount() - Began) < TimeoutMs) {
      Moves = 0;
      Application->ProcessMessages();
      Most = std::max(Most, Moves);
    }
    return Most;
  }
};

TEST(DBLookupGrid, ADragHeldBelowTheListLetsTheMessageLoopReturnBetweenTicks) {
  TLookupDrag D;
  int From = D.RecNo();
  DWORD Began = GetTickCount();
  int Most = D.ProcessUntil([&] { return D.RecNo() >= From + 40; }, 2000);
  DWORD Took = GetTickCount() - Began;
  EXPECT_GE(D.RecNo() - From, 40) << "at the same pace: " << D.RecNo() - From << " in " << Took
                                  << " ms";
  EXPECT_LE(Most, 2) << "the loop returns between ticks";
  EXPECT_EQ(GetCapture(), D.F.Grid->Handle()) << "still dragging";
  EXPECT_EQ(D.F.OrderCity(), D.F.Cities.FieldByName("Code")->AsInteger()) << "the row dragged to";
}

// The button goes up below the list: its release is lost, or reaches the
// grid only after a tick; the tick finds the button up and the drag ends.
TEST(DBLookupGrid, ADragEndsWhenItsButtonIsFoundReleased) {
  for (bool Lost : {true, false}) {
    SCOPED_TRACE(Lost ? "the release lost" : "the release late");
    TLookupDrag D;
    int From = D.RecNo();
    D.ProcessUntil([&] { return D.RecNo() >= From + 8; }, 1000);
    ReleaseBehindTimers(D.Below, Lost);
    int Stopped = D.RecNo();
    EXPECT_NE(GetCapture(), D.F.Grid->Handle()) << "the mouse let go";
    D.ProcessUntil([] { return false; }, 300);
    EXPECT_EQ(D.RecNo(), Stopped) << "not one record after the button went up";
    EXPECT_LT(D.RecNo(), D.F.Cities.RecordCount()) << "not run through the list";
    EXPECT_EQ(D.F.OrderCity(), D.F.Cities.FieldByName("Code")->AsInteger());
  }
}

TEST(DBLookupGrid, TwoKeyFieldsTakeAnArrayAndAKeyThatDoesNotFitIsNotLocated) {
  TLookupForm F;
  F.Show();
  F.Grid->SetKeyFieldNames("Region;Code");
  F.Grid->SetKeyValue(VarArrayOf({2, 60}));
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString("Орёл"));
  F.Grid->SetKeyValue(60);
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString()) << "a scalar for two fields";
  EXPECT_EQ(F.Cities.FieldByName("Code")->AsInteger(), 10);
  F.Grid->SetKeyValue(VarArrayOf({2, 60, 1}));
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString()) << "three values for two fields";

  // Written into two fields of the edited record.
  F.Grid->SetDataSource(&F.OrderSource);
  F.Grid->SetDataFieldNames("Region;CityCode");
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString("Мурманск")) << "the record's (1, 20)";
  F.Key(VK_DOWN);
  EXPECT_EQ(F.Orders.FieldByName("Region")->AsInteger(), 2);
  EXPECT_EQ(F.OrderCity(), 30);
}

// A levelled tree over a flat master; a top-level code equals a sublevel
// record's identity. Top level by name: Архив, Отдел, Склад.
struct TTreeList {
  TSDS Master{nullptr};
  TSDS Tree{nullptr};
  TDataSource Source{nullptr};

  TTreeList() {
    Master.SetName("Master");
    DefineHierarchy(Master);
    Master.FieldDefs()->Add("CODE", ftInteger);
    Master.SetAttachMaxCount(4);
    Master.Open();
    constexpr uint32_t List = 0x40000000u;
    const struct {
      int64_t Id;
      int32_t Pid;
      uint32_t State;
      const char* Name;
      int Code;
    } Rows[] = {{1, 0, 0, "Отдел", 100},   {2, 0, 0, "Склад", 200},
                {4, 1, List, "Петров", 400}, {5, 1, 0, "Цех", 500},
                {6, 5, List, "Сидоров", 600}, {7, 2, List, "Ящик", 700},
                {5000000000, 0, 0, "Архив", 7}};
    for (const auto& R : Rows) {
      Master.Append();
      Master.IDField()->SetValue(Variant(R.Id));
      Master.PIDField()->SetAsInteger(R.Pid);
      Master.FieldByName("SYS$STATE")->SetAsInteger(static_cast<int32_t>(R.State));
      Master.FieldByName("NAME")->SetAsString(R.Name);
      Master.FieldByName("CODE")->SetAsInteger(R.Code);
      Master.Post();
    }
    Tree.SetMasterDataset(&Master);
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
    Tree.SetIndexFieldNames("NAME");
    Tree.Open();
    Source.SetDataSet(&Tree);
  }
};

TEST(DBLookupGrid, OnlyAnIdentityKeyIsFoundInTheTreeOfALevelledList) {
  TTreeList List;
  TSDS& Tree = List.Tree;
  TDBLookupGridKs Grid(nullptr);
  Grid.SetListSource(&List.Source);
  Grid.SetListFieldNames("NAME");

  Grid.SetKeyFieldNames("CODE");
  Grid.SetKeyValue(7);
  EXPECT_EQ(Grid.DisplayText(), AnsiString("Архив")) << "by its code, not the record with SYS$ID 7";
  Grid.SetKeyFieldNames("SYS$ID");
  Grid.SetKeyValue(Variant(int64_t{6}));
  EXPECT_EQ(Grid.DisplayText(), AnsiString("Сидоров")) << "the tree opened down to it";
  EXPECT_EQ(Tree.LevelCount(), 3);
  Grid.SetKeyValue(Variant(int64_t{5000000000}));
  EXPECT_EQ(Grid.DisplayText(), AnsiString("Архив"));
  EXPECT_EQ(Tree.LevelCount(), 1);

  // Shown whole, the tree is searched like any list.
  Tree.SetLevelMode(dslmShowAll);
  Grid.SetKeyValue(600);
  Grid.SetKeyFieldNames("CODE");
  EXPECT_EQ(Grid.DisplayText(), AnsiString("Сидоров"));
  Grid.SetListSource(nullptr);
}

TEST(DBLookupGrid, ALookupFieldGivesTheListAndItsKeysAndLocksThem) {
  TLookupForm F;
  TArrayDataSet Orders(nullptr);
  auto Add = [&](const char* Name, TFieldType Type, TFieldKind Kind) {
    TField* Field = DefaultFieldClass(Type)(&Orders);
    Field->SetFieldName(Name);
    Field->SetFieldKind(Kind);
    if (Type == ftString) Field->SetSize(60);
    Field->SetDataSet(&Orders);
    return Field;
  };
  Add("Id", ftInteger, fkData);
  Add("CityCode", ftInteger, fkData);
  TField* City = Add("City", ftString, fkLookup);
  City->SetLookupDataSet(&F.Cities);
  City->SetKeyFields("CityCode");
  City->SetLookupKeyFields("Code");
  City->SetLookupResultField("Name");
  Orders.Open();
  AppendValues(&Orders, {1, 50});
  Orders.First();
  TDataSource Source(nullptr);
  Source.SetDataSet(&Orders);

  auto* Grid = new TDBLookupGridKs(F.Form);
  Grid->SetParent(F.Form);
  Grid->SetBounds(10, 180, 380, 120);
  Grid->SetDataSource(&Source);
  Grid->SetDataFieldNames("City");
  F.Show();
  EXPECT_TRUE(Grid->LookupFieldMode());
  EXPECT_EQ(Grid->KeyFieldNames(), AnsiString("Code"));
  EXPECT_EQ(Grid->DataKeyFieldNames(), AnsiString("CityCode"));
  EXPECT_EQ(Grid->ListField()->FieldName(), AnsiString("Name"));
  EXPECT_EQ(Grid->DisplayText(), AnsiString("Омск"));

  // The errors, each leaving the grid as it was.
  const struct {
    std::function<void()> Action;
    const char* Message;
  } Errors[] = {
      {[&] { Grid->SetKeyFieldNames("Region"); },
       "Свойство уже определено поисковым полем (lookup field)"},
      {[&] { Grid->SetListSource(&F.CitySource); },
       "Свойство уже определено поисковым полем (lookup field)"},
  };
  for (const auto& E : Errors) {
    try {
      E.Action();
      ADD_FAILURE() << E.Message;
    } catch (EDatabaseError& Error) {
      EXPECT_EQ(Error.Message(), AnsiString(E.Message));
    }
    EXPECT_EQ(Grid->KeyFieldNames(), AnsiString("Code"));
  }
  Grid->SetDataFieldNames("CityCode");
  EXPECT_FALSE(Grid->LookupFieldMode());
  EXPECT_EQ(Grid->KeyFieldNames(), AnsiString());
  delete Grid;
  Orders.Close();
}

TEST(DBLookupGrid, AListLinkedToTheEditedRecordIsACircularLink) {
  TLookupForm F;
  F.Orders.SetMasterSource(&F.CitySource);
  F.Grid->SetDataSource(&F.OrderSource);
  try {
    F.Grid->SetDataFieldNames("CityCode");
    ADD_FAILURE();
  } catch (EDatabaseError& Error) {
    EXPECT_EQ(Error.Message(), AnsiString("Циклические связи данных не разрешены"));
  }
  F.Grid->LookupDataLink()->SetDataSourceFixed(true);
  try {
    F.Grid->SetKeyFieldNames("Name");
    ADD_FAILURE();
  } catch (EDatabaseError& Error) {
    EXPECT_EQ(Error.Message(), AnsiString("Операция не разрешена в DBCtrlGrid"));
  }
  EXPECT_EQ(F.Grid->KeyFieldNames(), AnsiString("Code"));
  F.Grid->LookupDataLink()->SetDataSourceFixed(false);
}

TEST(DBLookupGrid, AColumnMoveTakesTheListFieldNamesAndSpecialTextsAlong) {
  TLookupForm F;
  F.Grid->SpecRow()->SetCellsText("\"<нет; никакого>\";0");
  F.Grid->SpecRow()->SetVisible(true);
  F.Show();
  F.Grid->SetKeyValue(30);
  auto* NameColumn = dynamic_cast<TDBLookupGridColumnKs*>(F.Grid->Columns()->Items(0));
  ASSERT_NE(NameColumn, nullptr) << "the grid's columns are lookup columns";
  EXPECT_EQ(NameColumn->SpecCell()->Text(), AnsiString("<нет; никакого>"));
  NameColumn->SetIndex(1);
  EXPECT_EQ(F.Grid->ListFieldNames(), AnsiString("Code;Name"));
  EXPECT_EQ(F.Grid->SpecRow()->CellsText(), AnsiString("0;\"<нет; никакого>\""));
  EXPECT_EQ(F.Grid->ListFieldIndex(), 1) << "it follows the list field's column";
  EXPECT_EQ(F.Grid->ListField()->FieldName(), AnsiString("Name"));
  EXPECT_EQ(F.Grid->DisplayText(), AnsiString("Тверь"));
  auto* Moved = dynamic_cast<TDBLookupGridColumnKs*>(F.Grid->Columns()->Items(1));
  EXPECT_EQ(Moved->FieldName(), AnsiString("Name"));
  EXPECT_EQ(Moved->SpecCell()->Text(), AnsiString("<нет; никакого>"));
  EXPECT_EQ(F.Grid->LayoutLock(), 0);
  EXPECT_EQ(F.Grid->UpdateLock(), 0);

  // A cell's own settings stand beside the row's.
  Moved->SpecCell()->SetColor(clRed);
  EXPECT_EQ(Moved->SpecCell()->Color(), clRed);
  EXPECT_EQ(F.Grid->SpecRow()->Color(), F.Grid->Color());
  Moved->SpecCell()->Font()->SetColor(clBlue);
  EXPECT_TRUE(Moved->SpecCell()->FontAssigned());
  EXPECT_NE(F.Grid->SpecRow()->Font()->Color(), clBlue);
}

TEST(DBLookupGrid, TheSelectedSpecialRowAndTheKeysRowAreDrawnHighlighted) {
  TLookupForm F;
  F.Grid->SpecRow()->SetCellsText("(все)");
  F.Grid->SpecRow()->SetVisible(true);
  F.Show();  // focused: still the key's row is highlighted, not the current one
  COLORREF Highlight = ColorToRGB(clHighlight);
  auto HighlightIn = [&](int GridRow) {
    TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
    PrintClient(F.Grid->Handle(), Dib);
    RECT R = F.Grid->CellRect(0, GridRow);
    return Dib.Count(R, Highlight) * 100 / std::max<int>(1, (R.right - R.left) * (R.bottom - R.top));
  };
  int Spec = F.Grid->TitleOffset() - 1, FirstData = F.Grid->TitleOffset();
  F.Grid->SetKeyValue(10);
  EXPECT_LT(HighlightIn(Spec), 5);
  EXPECT_GT(HighlightIn(FirstData), 50) << "the key's row";
  EXPECT_LT(HighlightIn(FirstData + 1), 5);
  F.Grid->SetKeyValue(Variant::Null());
  EXPECT_TRUE(F.Grid->SpecRowSelected());
  EXPECT_GT(HighlightIn(Spec), 50);
  EXPECT_LT(HighlightIn(FirstData), 5);
}

TEST(DBLookupGrid, ThePopupUnderAnEditNeverTakesTheFocus) {
  TLookupForm Data;
  TEditorForm<TEdit> F;
  F.Show();
  TPopupDataGridKs* Popup = NewPopup(F.Edit, &Data.CitySource, "Code", "Name");
  int Accepted = 0, Refused = 0, UserChanges = 0;
  Popup->OnMouseCloseUp = [&](TObject*, bool Accept) { ++(Accept ? Accepted : Refused); };
  Popup->OnUserKeyValueChange = [&](TObject*) { ++UserChanges; };
  Popup->SetKeyValue(10);  // the first record at the top
  EXPECT_EQ(UserChanges, 0) << "a change by code";
  Popup->ShowAt(DropDownUnderControl(F.Edit, Popup, daLeft));
  PumpFor(50);
  EXPECT_TRUE(IsWindowVisible(Popup->Handle()));
  EXPECT_EQ(GetWindowLongPtrA(Popup->Handle(), GWL_STYLE) & (WS_POPUP | WS_CHILD), WS_POPUP);
  EXPECT_TRUE(GetWindowLongPtrA(Popup->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetClassLongPtrA(Popup->Handle(), GCL_STYLE), static_cast<ULONG_PTR>(CS_SAVEBITS | CS_VREDRAW));
  EXPECT_FALSE(Popup->CanFocus());

  RECT Cell = Popup->CellRect(0, Popup->TitleOffset() + 2);
  PostClickOn(Popup->Handle(), POINT{Cell.left + 5, (Cell.top + Cell.bottom) / 2});
  PumpFor(80);
  EXPECT_EQ(GetFocus(), F.Edit->Handle()) << "the focus stays in the edit";
  EXPECT_EQ(GetActiveWindow(), F.Form->Handle());
  EXPECT_EQ(Popup->KeyValue(), Variant(30));
  EXPECT_EQ(Accepted, 1);
  EXPECT_EQ(Refused, 0);
  EXPECT_GE(UserChanges, 1);

  // Without a button held the selection follows the pointer.
  auto RowY = [&](int DataRow) {
    RECT R = Popup->CellRect(0, Popup->TitleOffset() + DataRow);
    return (R.top + R.bottom) / 2;
  };
  PostMessageA(Popup->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, RowY(1)));
  PumpFor(40);
  EXPECT_EQ(Popup->KeyValue(), Variant(20));
  // A press inside let go outside refuses.
  PostMessageA(Popup->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, RowY(0)));
  PostMessageA(Popup->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, -40));
  PumpFor(60);
  EXPECT_EQ(Accepted, 1);
  EXPECT_EQ(Refused, 1);
  EXPECT_NE(GetCapture(), Popup->Handle());
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  delete Popup;
}

// A marking popup over the cities, dropped under an edit, on Москва.
struct TMarkingPopup {
  TLookupForm Data;
  TSDataSource Source{nullptr};
  TEditorForm<TEdit> F;
  TPopupDataGridKs* Popup;

  TMarkingPopup() {
    Source.SetDataSet(&Data.Cities);
    Source.SetMarker(new TMemRecordMarker);
    F.Show();
    Popup = NewPopup(F.Edit, &Source, "Code", "Name");
    Popup->SetMarkRecordsMode(true);
    Popup->SetKeyValue(10);
    Popup->ShowAt(DropDownUnderControl(F.Edit, Popup, daLeft));
    PumpFor(30);
  }
  ~TMarkingPopup() { delete Popup; }
  TMarkingPopup(const TMarkingPopup&) = delete;
  TMarkingPopup& operator=(const TMarkingPopup&) = delete;

  // The editor hands its keys to the popup; Shift as held meanwhile.
  void Key(WORD Code, bool Shift = false) {
    BYTE State[256];
    GetKeyboardState(State);
    State[VK_SHIFT] = Shift ? 0x80 : 0;
    SetKeyboardState(State);
    PostMessageA(Popup->Handle(), WM_KEYDOWN, Code, 0);
    PumpFor(30);
    State[VK_SHIFT] = 0;
    SetKeyboardState(State);
  }
};

TEST(DBLookupGrid, ThePopupMarksRecordsWithTheSpaceBarAndEnter) {
  TMarkingPopup M;
  TEditorForm<TEdit>& F = M.F;
  auto Key = [&](WORD Code) { M.Key(Code); };
  Key(VK_RETURN);
  EXPECT_EQ(F.Edit->Text(), AnsiString("Москва")) << "Enter on no marks takes the current one";
  Key(VK_DOWN);
  Key(VK_SPACE);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_SPACE);
  EXPECT_EQ(F.Edit->Text(), AnsiString("Москва,Мурманск,Тула"));
  Key(VK_RETURN);
  EXPECT_EQ(F.Edit->Text(), AnsiString("Москва,Мурманск,Тула")) << "Enter marks nothing more";
  Key(VK_SPACE);
  EXPECT_EQ(F.Edit->Text(), AnsiString("Москва,Мурманск")) << "the space bar unmarks";
  EXPECT_EQ(GetFocus(), F.Edit->Handle());

  M.Popup->SetMarkRecordsMode(false);
  Key(VK_SPACE);
  EXPECT_EQ(F.Edit->Text(), AnsiString("Москва,Мурманск")) << "marking is off";
}

TEST(DBLookupGrid, ThePopupMarksWithTheServiceShortcutsAndPaintsMarkedRowsInTheMarkColour) {
  InitServiceActionsUnit();
  ASSERT_EQ(PopupMarking.MarkAction, RecordMark);
  ASSERT_EQ(PopupMarking.MarkGroupAction, RecordMarkGroup);
  {
    TMarkingPopup M;
    TEditorForm<TEdit>& F = M.F;
    TPopupDataGridKs* Popup = M.Popup;
    auto Key = [&](WORD Code, bool Shift = false) { M.Key(Code, Shift); };
    Key(VK_F3, true);
    EXPECT_EQ(F.Edit->Text(), AnsiString("Москва"));
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_F4, true);  // the group from Тверь
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_F4, true);  // to Омск
    EXPECT_EQ(F.Edit->Text(), AnsiString("Москва,Тверь,Тула,Омск"));
    EXPECT_EQ(Popup->KeyValue(), Variant(50));
    EXPECT_EQ(GetFocus(), F.Edit->Handle());

    TDibDC Dib(Popup->ClientWidth(), Popup->ClientHeight());
    PrintClient(Popup->Handle(), Dib);
    // By the city's code: the list stands on Омск (50).
    auto Share = [&](int Code, TColor Color) {
      int DataRow = Popup->DataLink()->ActiveRecord() + (Code - 50) / 10;
      RECT R = Popup->CellRect(0, Popup->TitleOffset() + DataRow);
      return Dib.Count(R, ColorToRGB(Color)) * 100 / std::max<int>(1, (R.right - R.left) * (R.bottom - R.top));
    };
    EXPECT_LT(Share(20, PopupMarking.MarkColor), 5) << "Мурманск, not marked";
    EXPECT_GT(Share(40, PopupMarking.MarkColor), 50) << "Тула, inside the group";
    EXPECT_GT(Share(50, PopupMarking.MarkColor), 50) << "Омск, the key's row, marked";
    EXPECT_LT(Share(50, clHighlight), 5);
    EXPECT_GT(Share(60, clWindow), 50) << "Орёл";
  }
  DoneServiceActionsUnit();
  EXPECT_EQ(PopupMarking.MarkAction, nullptr) << "no action outlives the shutdown";
}

TEST(DBLookupGrid, ClosingTheListWhileDraggingStopsTheTracking) {
  TCursorKept Cursor;
  TLookupForm F;
  F.Bind();
  F.Show();
  HWND Wnd = F.Grid->Handle();
  POINT P = F.RowPoint(F.Grid->TitleOffset());
  POINT Below = F.OnScreen(POINT{P.x, F.Grid->ClientHeight() + 20});
  MoveMouse(F.OnScreen(P));
  PressMouse(F.OnScreen(P), true);
  MoveMouse(Below);
  F.Cities.Close();
  PumpFor(300);  // timer ticks over the closed list
  PressMouse(Below, false);
  PumpFor(30);
  EXPECT_NE(GetCapture(), Wnd);
  EXPECT_FALSE(F.Grid->ListActive());
}

TEST(DBLookupGrid, AClickInThePopupOpensANodeAndCtrlOrALeafPicksIt) {
  TTreeList List;
  TEditorForm<TEdit> F;
  F.Show();
  TPopupDataGridKs* Popup = NewPopup(F.Edit, &List.Source, "SYS$ID", "NAME");
  std::vector<bool> CloseUps;
  Popup->OnMouseCloseUp = [&](TObject*, bool Accept) { CloseUps.push_back(Accept); };
  Popup->ShowAt(DropDownUnderControl(F.Edit, Popup, daLeft));
  PumpFor(30);
  auto Click = [&](int DataRow, WPARAM Keys = 0) {
    RECT Cell = Popup->CellRect(0, Popup->TitleOffset() + DataRow);
    LPARAM At = MAKELPARAM(Cell.left + 5, (Cell.top + Cell.bottom) / 2);
    PostMessageA(Popup->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | Keys, At);
    PostMessageA(Popup->Handle(), WM_LBUTTONUP, Keys, At);
    PumpFor(60);
  };
  Click(1);  // Отдел
  EXPECT_EQ(List.Tree.LevelCount(), 2) << "its children shown";
  EXPECT_TRUE(CloseUps.empty());
  Click(0);  // Петров, a list record
  EXPECT_EQ(CloseUps, std::vector<bool>{true});
  EXPECT_EQ(Popup->DisplayText(), AnsiString("Петров"));
  List.Tree.LevelUp();
  Click(2, MK_CONTROL);  // Склад, picked with its children closed
  EXPECT_EQ(List.Tree.LevelCount(), 1);
  EXPECT_EQ(CloseUps, (std::vector<bool>{true, true}));
  EXPECT_EQ(Popup->DisplayText(), AnsiString("Склад"));
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  delete Popup;
}

}  // namespace
