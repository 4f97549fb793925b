// Edit buttons and the button toolkit: the items and their notifications,
// the painter and its cache, dotted lines and tree elements on pixels, and
// the spin button's halves and auto-repeat driven by mouse messages.
#include "COMPONENTS/kslib/ToolCtrlsKs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FormsTestKit.h"
#include "KsTestKit.h"
#include "forms/Forms.h"

namespace {

TEST(EditButtonKs, NumGlyphsStaysWithinOneToFour) {
  TEditButtonKs Button(static_cast<TWinControl*>(nullptr));
  for (auto [Given, Kept] : {std::pair{0, 1}, {7, 4}, {3, 3}, {-2, 1}}) {
    Button.SetNumGlyphs(Given);
    EXPECT_EQ(Button.NumGlyphs(), Kept) << Given;
  }
}

TEST(EditButtonKs, TheVisibleKindIsVisibleAndAnswersAltDown) {
  TEditButtonKs Plain(static_cast<TWinControl*>(nullptr));
  TVisibleEditButtonKs Visible(static_cast<TWinControl*>(nullptr));
  EXPECT_FALSE(Plain.Visible());
  EXPECT_EQ(Plain.ShortCut(), 0);
  EXPECT_TRUE(Visible.Visible());
  EXPECT_EQ(Visible.ShortCut(), 0x8028);
  EXPECT_EQ(ShortCutKs(VK_DOWN, TShiftState{ssAlt}), 0x8028);
  EXPECT_EQ(ShortCutKs(VK_DELETE, TShiftState{ssAlt}), 0x802E);
}

TEST(EditButtonKs, AssignCopiesTheLookAndTheEvents) {
  TEditButtonKs Source(static_cast<TWinControl*>(nullptr)), Copy(static_cast<TWinControl*>(nullptr));
  TPopupMenu Menu(nullptr);
  Source.SetDropdownMenu(&Menu);
  Source.Glyph()->SetSize(8, 6);
  Source.SetHint("Выбрать");
  Source.SetNumGlyphs(2);
  Source.SetShortCut(scCtrl | 'E');
  Source.SetStyle(ebsEllipsisKs);
  Source.SetVisible(true);
  Source.SetWidth(20);
  int Clicks = 0;
  Source.OnClick = [&](TObject*, bool&) { ++Clicks; };
  Copy.Assign(&Source);
  EXPECT_EQ(Copy.DropdownMenu(), &Menu);
  EXPECT_EQ(Copy.Glyph()->Width(), 8);
  EXPECT_NE(Copy.Glyph()->Handle(), Source.Glyph()->Handle()) << "the glyph is a copy";
  EXPECT_EQ(Copy.Hint(), "Выбрать");
  EXPECT_EQ(Copy.NumGlyphs(), 2);
  EXPECT_EQ(Copy.ShortCut(), scCtrl | 'E');
  EXPECT_EQ(Copy.Style(), ebsEllipsisKs);
  EXPECT_TRUE(Copy.Visible());
  EXPECT_EQ(Copy.Width(), 20);
  bool Handled = false;
  Copy.OnClick(&Copy, Handled);
  EXPECT_EQ(Clicks, 1);
}

TEST(EditButtonsKs, TheEditorHearsOfAnItemOnceItIsCompleteAndOfEachChange) {
  TEditButtonsKs Buttons(nullptr, CollectionItemClass<TVisibleEditButtonKs>());
  std::vector<bool> VisibleSeen;
  Buttons.OnChanged = [&](TObject*) {
    for (int I = 0; I < Buttons.Count(); ++I)
      VisibleSeen.push_back(Buttons.EditButtonsItem(I)->Visible());
  };
  TEditButtonKs* Item = Buttons.Add();
  EXPECT_EQ(VisibleSeen, std::vector<bool>{true}) << "one notice, with the defaults in place";
  Item->SetWidth(30);
  Item->SetWidth(30);
  EXPECT_EQ(VisibleSeen.size(), 2u) << "an unchanged value tells nobody";
  int ItemNotices = 0;
  Item->OnChanged = [&](TObject*) { ++ItemNotices; };
  Item->SetStyle(ebsPlusKs);
  EXPECT_EQ(ItemNotices, 1);
  EXPECT_EQ(VisibleSeen.size(), 2u) << "the item's own notification replaces the collection's";
}

TEST(ButtonToolkit, DefaultWidthIsOddTwoThirdsOfTheScreenFontAtMostAScrollBar) {
  TWindowDC Screen;
  TEXTMETRICA Metrics{};
  GetTextMetricsA(Screen.Get(), &Metrics);
  int Width = DefaultEditButtonWidth();
  EXPECT_EQ(Width, FlatEditButtonWidth) << "set at start-up";
  EXPECT_LE(Width, GetSystemMetrics(SM_CXVSCROLL));
  if (Width < GetSystemMetrics(SM_CXVSCROLL)) {
    EXPECT_EQ(Width % 2, 1);
    EXPECT_LE(std::abs(Width - Metrics.tmHeight * 2.0 / 3.0), 1.5);
  }
  EXPECT_EQ(WideEditButtonWidth(9, false), 9);
  EXPECT_EQ(WideEditButtonWidth(9, true), 14) << "13.5 rounds to even";
  EXPECT_EQ(WideEditButtonWidth(11, true), 16) << "16.5 rounds to even";
}

TEST(ButtonToolkit, CheckBoxGlyphSizeComesFromTheSystemBitmapAndLimitsRectangles) {
  ASSERT_GT(CheckBoxGlyphSize.cx, 0);
  ASSERT_GT(CheckBoxGlyphSize.cy, 0);
  int W = CheckBoxGlyphSize.cx, H = CheckBoxGlyphSize.cy;
  RECT Big{10, 20, 10 + W + 10, 20 + H + 6};
  struct Case {
    int Horz, Vert;
    RECT Expected;
  } Cases[] = {
      {0, 0, {10, 20, 10 + W, 20 + H}},
      {1, 2, {20, 26, 20 + W, 26 + H}},
      {2, 1, {15, 23, 15 + W, 23 + H}},
  };
  for (const Case& C : Cases) {
    RECT R = FitRectToMaxSize(Big, C.Horz, C.Vert);
    EXPECT_TRUE(EqualRect(&R, &C.Expected)) << C.Horz << "," << C.Vert << ": " << R.left << ","
                                            << R.top << "," << R.right << "," << R.bottom;
  }
  RECT Small{0, 0, W - 2, H - 2};
  RECT Kept = FitRectToMaxSize(Small, 2, 1);
  EXPECT_TRUE(EqualRect(&Kept, &Small)) << "a smaller rectangle stays";
}

TEST(ButtonToolkit, DoubleClickPointFollowsTheSystemTimeAndDistance) {
  int DX = GetSystemMetrics(SM_CXDOUBLECLK), DY = GetSystemMetrics(SM_CYDOUBLECLK);
  DWORD Time = GetDoubleClickTime();
  EXPECT_TRUE(IsDoubleClickPoint({10, 10}, {10 + DX, 10 - DY}, Time));
  EXPECT_FALSE(IsDoubleClickPoint({10, 10}, {11 + DX, 10}, 0));
  EXPECT_FALSE(IsDoubleClickPoint({10, 10}, {10, 11 + DY}, 0));
  EXPECT_FALSE(IsDoubleClickPoint({10, 10}, {10, 10}, Time + 1));
}

// --- Painting

struct TFaceCase {
  TDrawButtonControlStyleKs Style;
  TCheckBoxState State;
  bool Enabled, Active, Flat;
  int DownPart;
};

void Paint(TDibDC& Target, const RECT& R, const TFaceCase& C) {
  PaintButtonControlKs(Target.DC(), R, clWindow, C.State, C.Enabled, C.Active, C.Flat, C.DownPart,
                       C.Style);
}

TEST(ButtonPainter, CachedFacesLookLikeFacesDrawnDirectly) {
  const TFaceCase Cases[] = {
      {bcsDropDownKs, cbUnchecked, true, false, false, 0},
      {bcsDropDownKs, cbUnchecked, true, false, true, 1},
      {bcsEllipsisKs, cbUnchecked, false, false, false, 0},
      {bcsUpDownKs, cbUnchecked, true, true, true, 2},
      {bcsUpDownKs, cbUnchecked, true, false, false, 1},
      {bcsCheckboxKs, cbChecked, true, true, true, 0},
      {bcsCheckboxKs, cbGrayed, true, false, false, 0},
      {bcsPlusKs, cbUnchecked, true, false, false, 1},
      {bcsMinusKs, cbUnchecked, false, false, true, 0},
  };
  for (const TFaceCase& C : Cases) {
    ClearButtonsBitmapCache();
    TDibDC Cached(40, 30), Direct(40, 30);
    RECT R{5, 3, 22, 20};
    Paint(Cached, R, C);
    Paint(Cached, R, C);  // the second time from the cache
    UseButtonsBitmapCache = false;
    Paint(Direct, R, C);
    UseButtonsBitmapCache = true;
    EXPECT_TRUE(Cached.SameAs(Direct)) << "style " << C.Style;
    EXPECT_EQ(ButtonsBitmapCache.Count(), C.Style == bcsUpDownKs ? 2 : 1);
    EXPECT_EQ(Cached.Count(RECT{0, 0, 40, 3}, RGB(255, 255, 255)), 40 * 3)
        << "nothing outside the rectangle";
  }
}

TEST(ButtonPainter, FacesDifferByWhatTheyShow) {
  auto Face = [](const TFaceCase& C) {
    auto Target = std::make_unique<TDibDC>(20, 20);
    Paint(*Target, RECT{0, 0, 17, 17}, C);
    return Target;
  };
  auto Unchecked = Face({bcsCheckboxKs, cbUnchecked, true, false, false, 0});
  auto Checked = Face({bcsCheckboxKs, cbChecked, true, false, false, 0});
  auto Grayed = Face({bcsCheckboxKs, cbGrayed, true, false, false, 0});
  EXPECT_FALSE(Unchecked->SameAs(*Checked));
  EXPECT_FALSE(Checked->SameAs(*Grayed));
  auto SpinUp = Face({bcsUpDownKs, cbUnchecked, true, false, false, 1});
  auto SpinDown = Face({bcsUpDownKs, cbUnchecked, true, false, false, 2});
  EXPECT_FALSE(SpinUp->SameAs(*SpinDown)) << "the pressed half shows";
  auto Plus = Face({bcsPlusKs, cbUnchecked, true, false, false, 0});
  auto Minus = Face({bcsMinusKs, cbUnchecked, true, false, false, 0});
  COLORREF Text = ColorToRGB(clBtnText);
  EXPECT_EQ(Plus->Pixel(8, 5), Text) << "the vertical bar of the plus";
  EXPECT_NE(Minus->Pixel(8, 5), Text);
  EXPECT_EQ(Minus->Pixel(8, 8), Text) << "the bar of the minus";
}

TEST(ButtonPainter, TheCacheKeepsTheRecentFacesWithinItsCapacityAndNoEmptyOnes) {
  ClearButtonsBitmapCache();
  TDibDC Target(10, 10);
  PaintButtonControlKs(Target.DC(), RECT{0, 0, 0, 10}, clWindow, cbUnchecked, true, false, false,
                       0, bcsDropDownKs);
  PaintButtonControlKs(Target.DC(), RECT{0, 0, 10, -1}, clWindow, cbUnchecked, true, false, false,
                       0, bcsDropDownKs);
  EXPECT_EQ(ButtonsBitmapCache.Count(), 0);
  for (int Width = 1; Width <= TButtonsBitmapCache::Capacity + 50; ++Width)
    PaintButtonControlKs(Target.DC(), RECT{0, 0, Width, 5}, clWindow, cbUnchecked, true, false,
                         false, 0, bcsEllipsisKs);
  EXPECT_EQ(ButtonsBitmapCache.Count(), TButtonsBitmapCache::Capacity);
  TButtonsBitmapCache::TKey Oldest{1, 5, bcsEllipsisKs, false, false, false, true, cbUnchecked,
                                   0, clWindow};
  TButtonsBitmapCache::TKey Newest = Oldest;
  Newest.Width = TButtonsBitmapCache::Capacity + 50;
  EXPECT_EQ(ButtonsBitmapCache.Find(Oldest), nullptr);
  EXPECT_NE(ButtonsBitmapCache.Find(Newest), nullptr);
  ClearButtonsBitmapCache();
  EXPECT_EQ(ButtonsBitmapCache.Count(), 0);
}

TEST(ButtonPainter, FacesOfAnotherBackgroundAreNotTakenFromTheCache) {
  ClearButtonsBitmapCache();
  TDibDC OnWhite(20, 20), OnRed(20, 20);
  RECT R{0, 0, 15, 15};
  PaintButtonControlKs(OnWhite.DC(), R, clWhite, cbUnchecked, true, false, true, 0, bcsDropDownKs);
  PaintButtonControlKs(OnRed.DC(), R, clRed, cbUnchecked, true, false, true, 0, bcsDropDownKs);
  EXPECT_EQ(OnRed.Pixel(0, 0), RGB(255, 0, 0)) << "an inactive flat face is framed in the back colour";
  EXPECT_EQ(OnWhite.Pixel(0, 0), RGB(255, 255, 255));
}

// A glyph of 6 by 6: a red square of 4 on a white ground left out.
void MakeGlyph(TBitmap& Glyph) {
  Glyph.SetSize(6, 6);
  TCanvas* C = Glyph.Canvas();
  C->Brush()->SetColor(clWhite);
  C->FillRect(RECT{0, 0, 6, 6});
  C->Brush()->SetColor(clRed);
  C->FillRect(RECT{1, 1, 5, 5});
}

TEST(ButtonPainter, AGlyphButtonShowsItsGlyphCentredOnAPlainFace) {
  TBitmap Glyph;
  MakeGlyph(Glyph);
  RECT R{0, 0, 16, 20};
  COLORREF Red = RGB(255, 0, 0);
  TDibDC Up(16, 20), Pressed(16, 20), NoGlyph(16, 20), Spin(16, 20);
  PaintEditButton(Up.DC(), R, clWindow, 0, true, false, false, &Glyph, ebsGlyphKs);
  EXPECT_EQ(Up.Count(R, Red), 16);
  EXPECT_EQ(Up.Count(RECT{6, 8, 10, 12}, Red), 16) << "centred: the glyph starts at (5, 7)";
  EXPECT_EQ(Up.Pixel(5, 7), ColorToRGB(clBtnFace)) << "its ground is left out";
  PaintEditButton(Pressed.DC(), R, clWindow, 1, true, false, false, &Glyph, ebsGlyphKs);
  EXPECT_EQ(Pressed.Count(RECT{7, 9, 11, 13}, Red), 16) << "a pressed glyph moves a pixel";
  PaintEditButton(NoGlyph.DC(), R, clWindow, 0, true, false, false, nullptr, ebsGlyphKs);
  PaintEditButton(Spin.DC(), R, clWindow, 0, true, false, false, nullptr, ebsUpDownKs);
  EXPECT_FALSE(NoGlyph.SameAs(Spin)) << "no spin arrows on a glyph button";
  EXPECT_EQ(NoGlyph.Pixel(8, 10), ColorToRGB(clBtnFace));
}

// The glyph holds NumGlyphs images (up, disabled, down); the button shows
// the one of its state, the first where there is none, and a disabled
// button without its own image greys the first. One wide image is not cut.
TEST(ButtonPainter, AGlyphShowsTheImageOfTheButtonsStateOutOfNumGlyphs) {
  const COLORREF Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255), Green = RGB(0, 255, 0),
                 Grey = ColorToRGB(clBtnShadow);
  TBitmap Two, Three;
  MakeGlyphStrip(Two, 6, {clRed, clBlue});
  MakeGlyphStrip(Three, 6, {clRed, clBlue, clLime});
  struct {
    TBitmap* Glyph;
    int NumGlyphs, DownPart;
    bool Enabled;
    COLORREF Shown;
    int Pixels;  // of Shown, all in the centred image
    const char* Why;
  } Cases[] = {
      {&Two, 2, 0, true, Red, 16, "up: the first"},
      {&Two, 2, 0, false, Blue, 16, "disabled: the second"},
      {&Two, 2, 1, true, Red, 16, "pressed without a third: the first"},
      {&Three, 3, 1, true, Green, 16, "pressed: the third"},
      {&Three, 3, 0, false, Blue, 16, "disabled of three: the second"},
      {&Two, 1, 0, true, Red, 16, "one wide image shows whole"},
      {&Two, 1, 0, false, Grey, 32, "one wide image greyed whole"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Why);
    RECT R{0, 0, 20, 20};
    TDibDC Dib(20, 20);
    PaintEditButton(Dib.DC(), R, clWindow, Case.DownPart, Case.Enabled, false, false, Case.Glyph,
                    ebsGlyphKs, Case.NumGlyphs);
    int ImageWidth = Case.Glyph->Width() / Case.NumGlyphs, Shift = Case.DownPart ? 1 : 0;
    RECT Image{(20 - ImageWidth) / 2 + Shift, 7 + Shift, 0, 0};
    Image.right = Image.left + ImageWidth;
    Image.bottom = Image.top + 6;
    EXPECT_GE(Dib.Count(Image, Case.Shown), Case.Pixels);
    for (COLORREF Other : {Red, Blue, Green}) {
      if (Other == Case.Shown) continue;
      bool WholeWide = Case.NumGlyphs == 1 && Case.Enabled && Other == Blue;
      EXPECT_EQ(Dib.Count(R, Other), WholeWide ? 16 : 0) << std::hex << Other;
    }
  }
}

TEST(ButtonPainter, EditButtonsArePaintedOnlyWithinTheClipRegion) {
  TForm* Form = new TForm(Application);
  std::vector<TEditButtonControlKs*> Buttons;
  for (int I = 0; I < 2; ++I) {
    auto* Button = new TEditButtonControlKs(Form);
    Button->SetParent(Form);
    Button->SetStyle(ebsPlusKs);
    Button->SetBounds(10 + 20 * I, 10, 17, 17);
    Buttons.push_back(Button);
  }
  auto* Hidden = new TEditButtonControlKs(Form);
  Hidden->SetParent(Form);
  Hidden->SetStyle(ebsPlusKs);
  Hidden->SetBounds(50, 10, 17, 17);
  Hidden->SetVisible(false);
  TDibDC Target(80, 40);
  IntersectClipRect(Target.DC(), 30, 0, 80, 40);
  PaintEditButtonsClipped(Form, Target.DC());
  COLORREF White = RGB(255, 255, 255);
  EXPECT_EQ(Target.Count(RECT{10, 10, 27, 27}, White), 17 * 17) << "outside the clip region";
  EXPECT_LT(Target.Count(RECT{30, 10, 47, 27}, White), 17 * 17);
  EXPECT_EQ(Target.Pixel(38, 18), ColorToRGB(clBtnText)) << "the plus, at the button's place";
  EXPECT_EQ(Target.Count(RECT{50, 10, 67, 27}, White), 17 * 17) << "a hidden button";
  delete Form;
}

// --- Dotted lines and tree elements

std::vector<int> DotsOnRow(const TDibDC& Target, int Y, int Width) {
  std::vector<int> Dots;
  for (int X = 0; X < Width; ++X)
    if (Target.Pixel(X, Y) == RGB(0, 0, 0)) Dots.push_back(X);
  return Dots;
}

TEST(DottedLine, DotsSitOnACheckerboardPhaseOneDotPerTwoPenWidths) {
  struct Case {
    POINT Start;
    int Length, PenWidth;
    bool Parity;
    std::vector<int> Dots;
  } Cases[] = {
      {{0, 0}, 9, 1, false, {0, 2, 4, 6, 8}},
      {{1, 0}, 9, 1, false, {2, 4, 6, 8}},  // X and Y differ: one further, one shorter
      {{1, 0}, 9, 1, true, {1, 3, 5, 7, 9}},
      {{0, 0}, 9, 0, false, {0, 2, 4, 6, 8}},  // a zero pen counts as one pixel
      {{0, 1}, 10, 0, true, {0, 2, 4, 6, 8}},
      {{0, 0}, 1, 1, true, {}},
  };
  for (const Case& C : Cases) {
    TDibDC Target(20, 4);
    TCanvas Canvas;
    Canvas.SetHandle(Target.DC());
    Canvas.Pen()->SetColor(clBlack);
    Canvas.Pen()->SetWidth(C.PenWidth);
    DrawDottedLine(&Canvas, C.Start, C.Length, C.Parity, true);
    Canvas.SetHandle(nullptr);
    EXPECT_EQ(DotsOnRow(Target, C.Start.y, 20), C.Dots)
        << C.Start.x << "," << C.Start.y << " pen " << C.PenWidth << " parity " << C.Parity;
  }
}

TEST(TreeElement, ExpandedNodesShowAMinusAndCollapsedOnesAPlus) {
  COLORREF Text = ColorToRGB(clWindowText), Window = ColorToRGB(clWindow);
  for (int Kind = 0; Kind <= 5; ++Kind) {
    TDibDC Target(21, 21, RGB(255, 0, 0));
    TCanvas Canvas;
    Canvas.SetHandle(Target.DC());
    DrawTreeElement(&Canvas, RECT{0, 0, 21, 21}, Kind, 1.0, 1.0, false);
    Canvas.SetHandle(nullptr);
    EXPECT_EQ(Target.Pixel(8, 10), Text) << "minus bar, kind " << Kind;
    EXPECT_EQ(Target.Pixel(10, 8), Kind >= 3 ? Text : Window) << "plus bar, kind " << Kind;
    bool Up = Kind % 3 != 2, Down = Kind % 3 != 1;
    int UpperDots = Target.Count(RECT{10, 0, 11, 6}, ColorToRGB(clBtnShadow));
    int LowerDots = Target.Count(RECT{10, 16, 11, 21}, ColorToRGB(clBtnShadow));
    EXPECT_EQ(UpperDots > 0, Up) << "kind " << Kind;
    EXPECT_EQ(LowerDots > 0, Down) << "kind " << Kind;
    EXPECT_GT(Target.Count(RECT{16, 10, 21, 11}, ColorToRGB(clBtnShadow)), 0)
        << "the line to the right";
  }
}

TEST(TreeElement, LineKindsDrawOnlyTheirLines) {
  struct Case {
    int Kind;
    bool Up, Down, Right;
  } Cases[] = {{6, true, true, true}, {7, true, false, true}, {8, false, true, true},
               {9, true, true, false}};
  COLORREF Shadow = ColorToRGB(clBtnShadow);
  for (const Case& C : Cases) {
    TDibDC Target(21, 21, RGB(255, 0, 0));
    TCanvas Canvas;
    Canvas.SetHandle(Target.DC());
    DrawTreeElement(&Canvas, RECT{0, 0, 21, 21}, C.Kind, 1.0, 1.0, false);
    Canvas.SetHandle(nullptr);
    EXPECT_EQ(Target.Count(RECT{10, 0, 11, 9}, Shadow) > 0, C.Up) << C.Kind;
    EXPECT_EQ(Target.Count(RECT{10, 12, 11, 21}, Shadow) > 0, C.Down) << C.Kind;
    EXPECT_EQ(Target.Count(RECT{12, 10, 21, 11}, Shadow) > 0, C.Right) << C.Kind;
  }
}

// --- The edit-button control

struct TButtonForm {
  TForm* Form = new TForm(Application);
  TEditButtonControlKs* Button = new TEditButtonControlKs(Form);
  std::vector<bool> Downs;  // TopButton of each press
  DWORD FirstDown = 0;
  std::vector<DWORD> Times;
  bool KeepRepeating = true;

  TButtonForm(TEditButtonStyleKs Style, int Height) {
    Form->SetBounds(50, 50, 200, 120);
    Button->SetParent(Form);
    Button->SetBounds(20, 10, 16, Height);
    Button->SetStyle(Style);
    Button->OnDown = [this](TObject*, bool Top, bool& AutoRepeat, bool&) {
      Downs.push_back(Top);
      Times.push_back(GetTickCount());
      AutoRepeat = AutoRepeat && KeepRepeating;
    };
    Form->Show();
    PumpFor(20);
  }
  ~TButtonForm() { delete Form; }
  void Mouse(UINT Msg, int Y) {
    SendMessageA(Form->Handle(), Msg, Msg == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                 MAKELPARAM(Button->Left() + 5, Button->Top() + Y));
  }
};

TEST(EditButtonControlKs, ASpinButtonPressesTheHalfUnderTheMouse) {
  TButtonForm F(ebsUpDownKs, 15);
  F.KeepRepeating = false;
  std::vector<int> Parts;
  for (int Y = 0; Y < 15; ++Y) {
    F.Downs.clear();
    F.Mouse(WM_LBUTTONDOWN, Y);
    Parts.push_back(F.Downs.empty() ? 0 : F.Downs[0] ? 1 : 2);
    F.Mouse(WM_LBUTTONUP, Y);
  }
  EXPECT_EQ(Parts, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 0, 0, 2, 2, 2, 2, 2, 2}));
}

TEST(EditButtonControlKs, HoldingASpinHalfRepeatsAfter400AndThenEvery100Milliseconds) {
  TButtonForm F(ebsUpDownKs, 16);
  F.Mouse(WM_LBUTTONDOWN, 2);
  PumpFor(760);
  F.Mouse(WM_LBUTTONUP, 2);
  size_t Count = F.Downs.size();
  ASSERT_GE(Count, 3u);
  EXPECT_GE(F.Times[1] - F.Times[0], 350u);
  EXPECT_LE(F.Times[1] - F.Times[0], 520u);
  for (size_t I = 2; I < Count; ++I) EXPECT_LE(F.Times[I] - F.Times[I - 1], 180u);
  EXPECT_GE(Count, 4u);
  EXPECT_LE(Count, 6u);
  PumpFor(250);
  EXPECT_EQ(F.Downs.size(), Count) << "the release stops the repetition";
  EXPECT_EQ(F.Button->DownPart(), 0);
}

TEST(EditButtonControlKs, MovingOffTheHeldHalfReleasesIt) {
  TButtonForm F(ebsUpDownKs, 16);
  F.Mouse(WM_LBUTTONDOWN, 12);
  EXPECT_EQ(F.Button->DownPart(), 2);
  SendMessageA(F.Form->Handle(), WM_MOUSEMOVE, MK_LBUTTON,
               MAKELPARAM(F.Button->Left() + 5, F.Button->Top() + 2));
  EXPECT_EQ(F.Button->DownPart(), 0);
  size_t Count = F.Downs.size();
  PumpFor(550);
  EXPECT_EQ(F.Downs.size(), Count) << "a released half does not repeat";
  F.Mouse(WM_LBUTTONUP, 2);
}

TEST(EditButtonControlKs, ASpinReleaseClicksNothingWhileOtherStylesClick) {
  for (TEditButtonStyleKs Style : {ebsUpDownKs, ebsEllipsisKs}) {
    TButtonForm F(Style, 16);
    F.KeepRepeating = false;
    int Clicks = 0;
    F.Button->OnClick = [&](TObject*) { ++Clicks; };
    F.Mouse(WM_LBUTTONDOWN, 3);
    F.Mouse(WM_LBUTTONUP, 3);
    EXPECT_EQ(Clicks, Style == ebsUpDownKs ? 0 : 1) << Style;
    EXPECT_EQ(F.Downs.size(), 1u);
  }
}

TEST(EditButtonControlKs, AToggledButtonStaysDownUntilReleased) {
  TButtonForm F(ebsDropDownKs, 16);
  SetSpeedButtonToggle(F.Button, true);
  EXPECT_TRUE(F.Button->Down());
  EXPECT_EQ(F.Button->GroupIndex(), 1);
  EXPECT_FALSE(F.Button->AllowAllUp());
  EXPECT_EQ(F.Button->DownPart(), 1);
  F.Mouse(WM_LBUTTONDOWN, 3);
  F.Mouse(WM_LBUTTONUP, 3);
  EXPECT_TRUE(F.Button->Down()) << "a click does not release a toggled button";
  EXPECT_EQ(F.Button->DownPart(), 1);
  SetSpeedButtonToggle(F.Button, false);
  EXPECT_FALSE(F.Button->Down());
  EXPECT_EQ(F.Button->GroupIndex(), 0);
  EXPECT_TRUE(F.Button->AllowAllUp());
  EXPECT_EQ(F.Button->DownPart(), 0);
}

}  // namespace
