// Popups: placement inside the work area, the MRU list, the popup list box
// (rows, focus, tracking, search), its size grip and scroll bar, and the
// month calendar's ways of closing.
#include "COMPONENTS/kslib/PopupCtrlsKs.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "EditorForm.h"
#include "FormsTestKit.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"
#include "rtl/SysUtils.h"

namespace {

RECT PrimaryWorkArea() {
  MONITORINFO Info{};
  Info.cbSize = sizeof Info;
  GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &Info);
  return Info.rcWork;
}

// A drop-down without a window that records where it is told its grip goes.
struct TProbe : TWinControl {
  using TWinControl::TWinControl;
  std::vector<WPARAM> Grips;
  void WndProc(TMessage& Message) override {
    if (Message.Msg == CM_SIZEGRIPCHANGEPOSITIONKS) Grips.push_back(Message.WParam);
    TWinControl::WndProc(Message);
  }
};

TEST(AlignDropDownWindow, PlacesTheDropDownInsideTheWorkArea) {
  RECT A = PrimaryWorkArea();
  ASSERT_GE(A.bottom - A.top, 560) << "the cases need a work area this high";
  struct Case {
    const char* Name;
    RECT Editor;  // relative to the work area: left, top from its top-left; right, bottom
                  // from its top-left too, negative ones from its bottom-right
    int Width, Height;
    TDropDownAlign Align;
    POINT Expected;  // relative like the editor
    int Width2, Height2;
    WPARAM Vertical, Horizontal;
  } Cases[] = {
      {"room below", {300, 10, 400, 30}, 150, 200, daLeft, {300, 30}, 150, 200, sgcpToBottom,
       sgcpToRight},
      {"100 below, 400 above: up, full height", {300, 400, 400, -100}, 100, 200, daLeft,
       {300, 200}, 100, 200, sgcpToTop, sgcpToRight},
      {"100 below, 150 above: up, cut to 150", {300, 150, 400, -100}, 100, 200, daLeft,
       {300, 0}, 100, 150, sgcpToTop, sgcpToRight},
      {"150 below, 100 above: down, cut to 150", {300, 100, 400, -150}, 100, 200, daLeft,
       {300, -150}, 100, 150, sgcpToBottom, sgcpToRight},
      {"right-aligned", {300, 10, 400, 30}, 150, 50, daRight, {250, 30}, 150, 50, sgcpToBottom,
       sgcpToLeft},
      {"centred, rounded towards zero", {300, 10, 400, 30}, 151, 50, daCenter, {275, 30}, 151,
       50, sgcpToBottom, sgcpToRight},
      {"past the right edge", {-50, 10, -10, 30}, 150, 50, daLeft, {-150, 30}, 150, 50,
       sgcpToBottom, sgcpToLeft},
      {"past the left edge", {10, 10, 110, 30}, 300, 50, daRight, {0, 30}, 300, 50, sgcpToBottom,
       sgcpToRight},
      {"wider than the work area", {10, 10, 110, 30}, 100000, 50, daLeft, {0, 30}, -1, 50,
       sgcpToBottom, sgcpToLeft},
  };
  auto X = [&](LONG V) { return V < 0 ? A.right + V : A.left + V; };
  auto Y = [&](LONG V) { return V < 0 ? A.bottom + V : A.top + V; };
  for (const Case& C : Cases) {
    TProbe DropDown(nullptr);
    DropDown.SetBounds(0, 0, C.Width, C.Height);
    RECT Editor{X(C.Editor.left), Y(C.Editor.top), X(C.Editor.right), Y(C.Editor.bottom)};
    POINT P = AlignDropDownWindow(Editor, &DropDown, C.Align);
    int ExpectedWidth = C.Width2 < 0 ? A.right - A.left : C.Width2;
    EXPECT_EQ(P.x, X(C.Expected.x)) << C.Name;
    EXPECT_EQ(P.y, Y(C.Expected.y)) << C.Name;
    EXPECT_EQ(DropDown.Width(), ExpectedWidth) << C.Name;
    EXPECT_EQ(DropDown.Height(), C.Height2) << C.Name;
    EXPECT_EQ(DropDown.Grips, (std::vector<WPARAM>{C.Vertical, C.Horizontal})) << C.Name;
  }
}

// --- MRU list

std::vector<AnsiString> ItemsOf(TStrings* Strings) {
  std::vector<AnsiString> Result;
  for (int I = 0; I < Strings->Count(); ++I) Result.push_back(Strings->Strings(I));
  return Result;
}

TEST(MRUListKs, AddingKeepsOneTrimmedCopyOfEachValueNewestLast) {
  struct Case {
    const char* Name;
    bool CaseSensitive;
    int Limit;
    std::vector<AnsiString> Added;
    std::vector<AnsiString> Expected;
  } Cases[] = {
      {"blanks and case", false, 100, {"Москва", "Тверь", "  москва "}, {"Тверь", "Москва"}},
      {"case-sensitive keeps both", true, 100, {"Москва", "москва"}, {"Москва", "москва"}},
      {"empty values are ignored", false, 100, {"", "   ", "Тула"}, {"Тула"}},
      {"the limit drops the oldest", false, 2, {"a", "b", "c"}, {"b", "c"}},
      {"a repeat moves to the end", false, 3, {"a", "b", "c", "A"}, {"b", "c", "a"}},
      {"a limit of 0 keeps nothing", false, 0, {"a"}, {}},
      {"a negative limit counts as 0", false, -5, {"a", "b"}, {}},
  };
  for (const Case& C : Cases) {
    TMRUListKs List(nullptr);
    List.SetCaseSensitive(C.CaseSensitive);
    List.SetLimit(C.Limit);
    for (const AnsiString& Value : C.Added) List.AddMRUItem(Value);
    EXPECT_EQ(ItemsOf(List.Items()), C.Expected) << C.Name;
    EXPECT_GE(List.Limit(), 0);
  }
}

TEST(MRUListKs, TheHundredAndFirstValueRemovesTheOldestAndALowerLimitTrimsAtOnce) {
  TMRUListKs List(nullptr);
  EXPECT_EQ(List.Limit(), 100);
  EXPECT_EQ(List.Rows(), 7);
  for (int I = 0; I < 101; ++I) List.AddMRUItem("value " + IntToStr(I));
  ASSERT_EQ(List.Items()->Count(), 100);
  EXPECT_EQ(List.Items()->Strings(0), "value 1");
  List.SetLimit(3);
  EXPECT_EQ(ItemsOf(List.Items()), (std::vector<AnsiString>{"value 98", "value 99", "value 100"}));
}

TEST(MRUListKs, FilteringKeepsTheValuesThatStartWithTheText) {
  struct Case {
    bool CaseSensitive;
    AnsiString Text;
    std::vector<AnsiString> Expected;
  } Cases[] = {
      {false, "мо", {"Москва", "Можайск", "мост"}},
      {true, "Мо", {"Москва", "Можайск"}},
      {false, "", {"Москва", "Тверь", "Можайск", "мост"}},
      {false, "Москва большая", {}},
  };
  for (const Case& C : Cases) {
    TMRUListKs List(nullptr);
    List.SetCaseSensitive(C.CaseSensitive);
    for (const char* V : {"Москва", "Тверь", "Можайск", "мост"}) List.AddMRUItem(V);
    TStringList Target;
    Target.Add("stale");
    EXPECT_TRUE(List.FilterMRUItems(C.Text, &Target));
    EXPECT_EQ(ItemsOf(&Target), C.Expected) << C.Text;
  }
}

TEST(MRUListKs, TheFilterEventDecidesLastAndAWaitingKeyStopsTheWork) {
  TMRUListKs List(nullptr);
  for (const char* V : {"Москва", "Можайск"}) List.AddMRUItem(V);
  List.OnFilterItem = [](TObject*, const AnsiString& Item, bool& Accept) {
    if (Item == "Можайск") Accept = false;
  };
  TStringList Target;
  List.FilterMRUItems("Мо", &Target);
  EXPECT_EQ(ItemsOf(&Target), std::vector<AnsiString>{"Москва"});

  TForm Form(Application);
  PostMessageA(Form.Handle(), WM_KEYDOWN, 'A', 0);
  EXPECT_FALSE(List.FilterMRUItems("Мо", &Target));
  EXPECT_EQ(Target.Count(), 0);
  List.SetCancelIfKeyInQueue(false);
  EXPECT_TRUE(List.FilterMRUItems("Мо", &Target));
  MSG Msg;
  while (PeekMessageA(&Msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
  }
}

TEST(MRUListKs, AssignCopiesTheListAndItsSettings) {
  TMRUListKs Source(nullptr), Copy(nullptr);
  Source.SetActive(true);
  Source.SetLimit(5);
  Source.SetRows(3);
  Source.SetCaseSensitive(true);
  Source.AddMRUItem("a");
  int ActiveChanges = 0;
  Copy.OnActiveChanged = [&](TObject*) { ++ActiveChanges; };
  Copy.Assign(&Source);
  EXPECT_TRUE(Copy.Active());
  EXPECT_EQ(ActiveChanges, 1);
  EXPECT_EQ(Copy.Limit(), 5);
  EXPECT_EQ(Copy.Rows(), 3);
  EXPECT_TRUE(Copy.CaseSensitive());
  EXPECT_EQ(ItemsOf(Copy.Items()), std::vector<AnsiString>{"a"});
}

// --- The popup list box

struct TListForm {
  TForm* Form = new TForm(Application);
  TEdit* Edit = new TEdit(Form);
  TPopupListboxKs* List;

  explicit TListForm(TPopupListboxKs* AList = nullptr)
      : List(AList ? AList : new TPopupListboxKs(Edit)) {
    Form->SetBounds(100, 100, 300, 200);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 150, 21);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    PumpFor(30);
    Edit->SetFocus();
    PumpUntil([this] { return GetFocus() == Edit->Handle(); });
    List->SetItemHeight(16);
    for (const char* V : {"alpha", "beta", "betta", "gamma", "delta", "epsilon", "zeta"})
      List->Items()->Add(V);
    List->SetBounds(0, 0, 150, 16 * 5 + List->NonClientSize().cy);
    POINT Below = Edit->ClientToScreen(POINT{0, Edit->Height()});
    List->ShowAt(Below);
    PumpFor(20);
  }
  ~TListForm() { delete Form; }
  void Send(UINT Msg, WPARAM WParam, int X, int Y) {
    SendMessageA(List->Handle(), Msg, WParam, MAKELPARAM(X, Y));
  }
};

TEST(PopupListboxKs, ResizingKeepsWholeRows) {
  TListForm F;
  EXPECT_EQ(F.List->NonClientSize().cy, 4) << "a 3-D frame of two pixels";
  F.List->SetHeight(95);
  EXPECT_EQ(F.List->Height(), 84);
  EXPECT_EQ(F.List->RowCount(), 5);
  EXPECT_TRUE(F.List->SizedByUser());
  F.List->SetRowCount(0);
  EXPECT_EQ(F.List->Height(), 16 + 4) << "at least one row";
  int Height = F.List->Height();
  F.List->SetHeight(5);
  EXPECT_EQ(F.List->Height(), Height) << "smaller than a scroll-bar arrow is refused";
}

TEST(PopupListboxKs, ClickingAnItemNeverTakesTheFocusFromTheEditor) {
  TListForm F;
  ASSERT_EQ(GetFocus(), F.Edit->Handle());
  ASSERT_TRUE(IsWindowVisible(F.List->Handle()));
  EXPECT_TRUE(GetWindowLongA(F.List->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetParent(F.List->Handle()), F.Form->Handle()) << "owned by the editor's form";
  std::vector<int> Released;
  F.List->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) {
    Released.push_back(F.List->ItemIndex());
  };
  EXPECT_EQ(SendMessageA(F.List->Handle(), WM_MOUSEACTIVATE,
                         reinterpret_cast<WPARAM>(F.Form->Handle()),
                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  F.Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 16 * 2 + 3);
  F.Send(WM_LBUTTONUP, 0, 20, 16 * 2 + 3);
  PumpFor(20);
  EXPECT_EQ(Released, std::vector<int>{2});
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  EXPECT_EQ(GetActiveWindow(), F.Form->Handle());
}

TEST(PopupListboxKs, TheMouseTracksItemsAndTypingSearchesThem) {
  TListForm F;
  F.Send(WM_MOUSEMOVE, 0, 20, 16 * 3 + 2);
  EXPECT_EQ(F.List->ItemIndex(), 3) << "the item under the mouse is selected";
  F.Send(WM_MOUSEMOVE, MK_LBUTTON, 20, 16 * 1 + 2);
  EXPECT_EQ(F.List->ItemIndex(), 3) << "not while a button is held";
  struct Step {
    char Key;
    int Expected;
  } Steps[] = {{'b', 1}, {'e', 1}, {'t', 1}, {'t', 2}, {VK_BACK, 2}, {'z', 6}};
  for (const Step& S : Steps) {
    SendMessageA(F.List->Handle(), WM_CHAR, static_cast<uint8_t>(S.Key), 0);
    EXPECT_EQ(F.List->ItemIndex(), S.Expected) << "after " << S.Key;
  }
}

TEST(PopupListboxKs, DraggingTheGripResizesTheListWithinTheWorkArea) {
  TListForm F;
  RECT A{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &A, 0);
  TSizeGripKs* Grip = F.List->SizeGrip();
  int Resized = 0;
  Grip->OnParentResized = [&](TObject*) { ++Resized; };
  F.List->SetBounds(A.right - 200, A.top + 100, 150, 84);
  ASSERT_EQ(Grip->Position(), sgpBottomRight);
  auto Drag = [&](int DX, int DY) {
    SendMessageA(Grip->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    // Client coordinates of the grip where it is at the press.
    SendMessageA(Grip->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3 + DX, 3 + DY));
    SendMessageA(Grip->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3 + DX, 3 + DY));
  };
  Drag(30, 35);
  EXPECT_EQ(F.List->Width(), 180);
  EXPECT_EQ(F.List->Height(), 4 + 16 * 7) << "35 more pixels: two more rows";
  EXPECT_EQ(Resized, 1);
  RECT Client = F.List->ClientRect();
  EXPECT_EQ(Grip->Left(), Client.right - Grip->Width()) << "the grip stays in its corner";
  EXPECT_EQ(Grip->Top(), Client.bottom - Grip->Height());
  Drag(5000, 5000);
  RECT R;
  GetWindowRect(F.List->Handle(), &R);
  EXPECT_EQ(R.right, A.right);
  EXPECT_LE(R.bottom, A.bottom);
  EXPECT_GT(R.bottom, A.bottom - 16);

  Grip->SetPosition(sgpTopLeft);
  Drag(-5000, -5000);
  GetWindowRect(F.List->Handle(), &R);
  EXPECT_EQ(R.left, A.left);
  EXPECT_GE(R.top, A.top);
  EXPECT_LT(R.top, A.top + 16);
  EXPECT_EQ(Grip->Left(), 0);
  EXPECT_EQ(Grip->Top(), 0);
}

TEST(PopupListboxKs, TheGripStaysInItsCornerWhileTheRowsScroll) {
  TListForm F;
  TSizeGripKs* Grip = F.List->SizeGrip();
  ASSERT_TRUE(IsWindowVisible(Grip->Handle()));
  RECT Frame;
  GetWindowRect(F.List->Handle(), &Frame);
  int Border = F.List->NonClientSize().cy / 2;
  int Arrow = GetSystemMetrics(SM_CYVSCROLL);
  POINT DownArrow{Frame.right - Border - Arrow / 2, Frame.bottom - Border - Arrow / 2};
  POINT UpArrow{DownArrow.x, Frame.top + Border + Arrow / 2};
  struct Case {
    const char* Doing;
    POINT Where;
    int Top;
  } Cases[] = {
      {"the down arrow", DownArrow, 1}, {"again", DownArrow, 2}, {"the up arrow", UpArrow, 1}};
  for (const Case& C : Cases) {
    ClickAt(C.Where);
    PumpFor(40);
    ASSERT_EQ(F.List->TopIndex(), C.Top) << C.Doing;
    RECT Client = F.List->ClientRect();
    RECT Shown;
    GetWindowRect(Grip->Handle(), &Shown);
    MapWindowPoints(nullptr, F.List->Handle(), reinterpret_cast<POINT*>(&Shown), 2);
    EXPECT_EQ(Shown.right, Client.right) << C.Doing << ": the grip went with the rows";
    EXPECT_EQ(Shown.bottom, Client.bottom) << C.Doing;
  }
}

TEST(SizeGripKs, MovesToTheCornerItIsToldAndKeepsATriangleWindow) {
  struct Case {
    TSizeGripPosition From;
    TSizeGripChangePosition Change;
    TSizeGripPosition To;
  } Cases[] = {
      {sgpTopRight, sgcpToLeft, sgpTopLeft},       {sgpBottomRight, sgcpToLeft, sgpBottomLeft},
      {sgpTopLeft, sgcpToRight, sgpTopRight},      {sgpBottomLeft, sgcpToRight, sgpBottomRight},
      {sgpBottomRight, sgcpToTop, sgpTopRight},    {sgpBottomLeft, sgcpToTop, sgpTopLeft},
      {sgpTopRight, sgcpToBottom, sgpBottomRight}, {sgpTopLeft, sgcpToBottom, sgpBottomLeft},
      {sgpTopLeft, sgcpToTop, sgpTopLeft},
  };
  TListForm F;
  TSizeGripKs* Grip = F.List->SizeGrip();
  EXPECT_EQ(Grip->Cursor(), crSizeNWSE) << "a new grip sits bottom-right";
  for (const Case& C : Cases) {
    Grip->SetPosition(C.From);
    F.List->Perform(CM_SIZEGRIPCHANGEPOSITIONKS, C.Change);
    EXPECT_EQ(Grip->Position(), C.To) << C.From << " " << C.Change;
    const bool Falling = C.To == sgpTopLeft || C.To == sgpBottomRight;
    EXPECT_EQ(Grip->Cursor(), Falling ? crSizeNWSE : crSizeNESW)
        << "arrows along the corner's diagonal";
  }
  Grip->SetPosition(sgpTopRight);
  SendMessageA(Grip->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Grip->Handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZENESW)) << "the cursor shown over the grip";
  Grip->SetPosition(sgpBottomRight);
  HRGN Region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(Grip->Handle(), Region), ERROR);
  int W = Grip->Width(), H = Grip->Height();
  EXPECT_TRUE(PtInRegion(Region, W - 2, H - 2)) << "the grip's own corner";
  EXPECT_FALSE(PtInRegion(Region, 1, 1)) << "the opposite corner is cut off";
  Grip->SetTriangle(false);
  EXPECT_EQ(GetWindowRgn(Grip->Handle(), Region), ERROR) << "a whole square";
  DeleteObject(Region);
  Grip->SetSizeGripFlag(false);
  EXPECT_FALSE(Grip->Visible());
  EXPECT_FALSE(IsWindowVisible(Grip->Handle()));
  Grip->SetSizeGripFlag(true);
  EXPECT_TRUE(Grip->Visible());
  EXPECT_TRUE(GetUpdateRect(Grip->Handle(), nullptr, FALSE)) << "shown again, it repaints";
}

TEST(MRUListboxKs, TheScrollBarShowsWhenValuesDoNotFitAndMakesRoomForTheGrip) {
  TListForm F(new TMRUListboxKs(nullptr));
  auto* List = static_cast<TMRUListboxKs*>(F.List);
  EXPECT_FALSE(GetWindowLongA(List->Handle(), GWL_STYLE) & WS_VSCROLL) << "its own bar instead";
  for (int I = 0; I < 13; ++I) List->Items()->Add("more " + IntToStr(I));
  List->SetRowCount(5);
  TPopupScrollBarKs* Bar = List->ScrollBar();
  TSizeGripKs* Grip = List->SizeGrip();
  EXPECT_TRUE(IsWindowVisible(Bar->Handle()));
  EXPECT_FALSE(Grip->Triangle()) << "the grip beside the bar is a whole square";
  RECT Client = List->ClientRect();
  EXPECT_EQ(Bar->Left() + Bar->Width(), Client.right);
  EXPECT_EQ(Bar->Top() + Bar->Height(), Client.bottom - Grip->Height());
  SCROLLINFO Info{};
  Info.cbSize = sizeof Info;
  Info.fMask = SIF_ALL;
  GetScrollInfo(Bar->Handle(), SB_CTL, &Info);
  EXPECT_EQ(Info.nMax, 19);
  EXPECT_EQ(Info.nPage, 5u);
  SendMessageA(Bar->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  SendMessageA(List->Handle(), WM_VSCROLL, SB_LINEDOWN,
               reinterpret_cast<LPARAM>(Bar->Handle()));
  EXPECT_EQ(List->TopIndex(), 1) << "the bar scrolls the list";
  GetScrollInfo(Bar->Handle(), SB_CTL, &Info);
  EXPECT_EQ(Info.nPos, 1);
  Grip->SetPosition(sgpTopRight);
  List->UpdateMRUScrollBar();
  EXPECT_EQ(Bar->Top(), Grip->Height());
  List->Items()->Clear();
  List->Items()->Add("one");
  EXPECT_FALSE(IsWindowVisible(Bar->Handle()));
  EXPECT_TRUE(Grip->Triangle());
}

// --- The popup month calendar

struct TCalendarOwner : TForm, IPopupOwnerKs {
  using TForm::TForm;
  std::vector<bool> Closes;
  void CloseUp(bool Accept) override { Closes.push_back(Accept); }
};

struct TCalendarForm {
  TCalendarOwner* Owner = new TCalendarOwner(Application);
  TPopupMonthCalendarKs* Calendar = new TPopupMonthCalendarKs(Owner);
  TCalendarForm() {
    Owner->SetBounds(100, 100, 300, 200);
    Owner->Show();
    PumpFor(20);
    Calendar->SetDate(EncodeDate(2024, 3, 15));
    Calendar->ShowAt(POINT{120, 150});
    PumpFor(20);
  }
  ~TCalendarForm() { delete Owner; }
};

// A day of March shown by the calendar, other than the 15th; (-1, -1) when
// none shows.
POINT DayOfMarchOtherThan15(TPopupMonthCalendarKs* Calendar) {
  RECT Client = Calendar->ClientRect();
  for (int Y = Client.bottom - 1; Y > 0; Y -= 3) {
    for (int X = 5; X < Client.right; X += 3) {
      MCHITTESTINFO Hit{};
      Hit.cbSize = sizeof Hit;
      Hit.pt = POINT{X, Y};
      SendMessageA(Calendar->Handle(), MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&Hit));
      if (Hit.uHit == MCHT_CALENDARDATE && Hit.st.wMonth == 3 && Hit.st.wDay != 15) return Hit.pt;
    }
  }
  return POINT{-1, -1};
}

TEST(PopupMonthCalendarKs, SizesItselfKeepsItsDateAndNeverTakesTheFocus) {
  TCalendarForm F;
  RECT Min{};
  SendMessageA(F.Calendar->Handle(), MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&Min));
  EXPECT_EQ(F.Calendar->Width(), Min.right - Min.left + 4);
  EXPECT_EQ(F.Calendar->Height(), Min.bottom - Min.top + 4);
  EXPECT_EQ(F.Calendar->Date(), EncodeDate(2024, 3, 15));
  EXPECT_EQ(GetActiveWindow(), F.Owner->Handle());
  EXPECT_EQ(SendMessageA(F.Calendar->Handle(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
  LRESULT Code = SendMessageA(F.Calendar->Handle(), WM_GETDLGCODE, 0, 0);
  EXPECT_EQ(Code & (DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS),
            DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS);
  SendMessageA(F.Calendar->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(F.Calendar->Date(), EncodeDate(2024, 3, 16));
}

TEST(PopupMonthCalendarKs, EnterAndADateAcceptWhileEscAndAClickOutsideCancel) {
  TCalendarForm F;
  HWND Wnd = F.Calendar->Handle();
  SendMessageA(Wnd, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(Wnd, WM_KEYDOWN, VK_ESCAPE, 0);
  SendMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, -5));
  EXPECT_EQ(F.Owner->Closes, (std::vector<bool>{true, false, false}));

  POINT Day = DayOfMarchOtherThan15(F.Calendar);
  ASSERT_GE(Day.x, 0);
  F.Owner->Closes.clear();
  SendMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Day.x, Day.y));
  SendMessageA(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(Day.x, Day.y));
  EXPECT_EQ(F.Owner->Closes, std::vector<bool>{true});
  EXPECT_NE(F.Calendar->Date(), EncodeDate(2024, 3, 15));
}

// An editor that owns a calendar as the grid's editor does: it keeps the
// focus, and its CloseUp hides the calendar.
struct TCalendarEdit : TEdit, IPopupOwnerKs {
  TPopupMonthCalendarKs* Calendar = new TPopupMonthCalendarKs(this);
  std::vector<bool> Closes;
  using TEdit::TEdit;
  void CloseUp(bool Accept) override {
    Closes.push_back(Accept);
    Calendar->Hide();
  }
};

TEST(PopupMonthCalendarKs, EachClosingIsReachedByTheUsersKeysAndMouse) {
  struct Case {
    const char* Name;
    std::function<void(TEditorForm<TCalendarEdit>&)> Act;
    bool Accept, KeepsFocus;
  } Cases[] = {
      {"Enter", [](auto&) { PostKey(VK_RETURN); }, true, true},
      {"Esc", [](auto&) { PostKey(VK_ESCAPE); }, false, true},
      {"a click outside",
       [](auto& F) {
         PostClickOn(F.Form->Handle(), POINT{350, 20});
       },
       false, true},
      {"the focus moving on", [](auto&) { PostKey(VK_TAB); }, false, false},
      {"the form moving",
       [](auto& F) {
         SetWindowPos(F.Form->Handle(), nullptr, 150, 120, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
       },
       false, true},
      {"a click on a date",
       [](auto& F) {
         POINT Day = DayOfMarchOtherThan15(F.Edit->Calendar);
         PostClickOn(F.Edit->Calendar->Handle(), Day);
       },
       true, true},
  };
  for (const Case& C : Cases) {
    TEditorForm<TCalendarEdit> F;
    F.Show();
    TPopupMonthCalendarKs* Calendar = F.Edit->Calendar;
    Calendar->SetDate(EncodeDate(2024, 3, 15));
    Calendar->ShowAt(F.Edit->ClientToScreen(POINT{0, F.Edit->Height()}));
    PumpFor(20);
    ASSERT_EQ(GetFocus(), F.Edit->Handle()) << C.Name;
    C.Act(F);
    PumpFor(50);
    EXPECT_EQ(F.Edit->Closes, std::vector<bool>{C.Accept}) << C.Name;
    EXPECT_FALSE(IsWindowVisible(Calendar->Handle())) << C.Name;
    EXPECT_NE(GetCapture(), Calendar->Handle()) << C.Name << ": the mouse is let go";
    EXPECT_EQ(GetFocus() == F.Edit->Handle(), C.KeepsFocus) << C.Name;
    EXPECT_EQ(F.OkClicks + F.CancelClicks, 0) << C.Name << ": the keys were the calendar's";
    F.Edit->Closes.clear();
    PostKey(VK_RETURN);
    PumpFor(30);
    EXPECT_TRUE(F.Edit->Closes.empty()) << C.Name << ": closed, it lets the owner's keys be";
  }
}

}  // namespace
