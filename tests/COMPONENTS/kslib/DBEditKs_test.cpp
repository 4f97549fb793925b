// The data-aware edit: unbound and bound to a dataset, driven by real key
// strokes through the forms layer's pre-processing; the required mark and
// the painting checked on the pixels the control draws.
#include "COMPONENTS/kslib/DBEditKs.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "EditorForm.h"
#include "forms/Clipbrd.h"
#include "forms/ExtCtrls.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

using TEditForm = TEditorForm<TDBEditKs>;

// Red pixels on the last client row and anywhere else.
struct TMarkPixels {
  int OnLastRow = 0, Elsewhere = 0, FirstX = -1, LastX = -1;
};

TMarkPixels MarkPixels(TCustomDBEditKs* Edit) {
  RECT Client = Edit->ClientRect();
  TDibDC Dib(Client.right, Client.bottom);
  PrintClient(Edit->Handle(), Dib);
  TMarkPixels Result;
  for (int Y = 0; Y < Client.bottom; ++Y) {
    for (int X = 0; X < Client.right; ++X) {
      if (Dib.Pixel(X, Y) != RGB(255, 0, 0)) continue;
      if (Y != Client.bottom - 1) {
        ++Result.Elsewhere;
        continue;
      }
      ++Result.OnLastRow;
      if (Result.FirstX < 0) Result.FirstX = X;
      Result.LastX = X;
    }
  }
  return Result;
}

// --- Unbound

TEST(DBEditKsUnbound, TextAndValueRoundTripWithOneChangeEach) {
  TEditForm F;
  F.Show();
  F.Edit->SetText("abc");
  EXPECT_EQ(F.Edit->Text(), "abc");
  EXPECT_EQ(F.Edit->Value().AsString(), "abc");
  EXPECT_EQ(F.Edit->DataLink()->DataIndependentValue().AsString(), "abc");
  EXPECT_EQ(F.Changes, 1);
  F.Edit->SetText("abc");
  EXPECT_EQ(F.Changes, 1) << "the same text is no change";
  F.Edit->SetValue(Variant(42));
  EXPECT_EQ(F.Edit->Text(), "42");
  EXPECT_EQ(F.Edit->Value().AsString(), "42");
  EXPECT_EQ(F.Changes, 2);
  F.Edit->SetValue(Variant::Null());
  EXPECT_EQ(F.Edit->Text(), "");
  EXPECT_EQ(F.Changes, 3);
  EXPECT_FALSE(F.Edit->Modified()) << "a value set in code is committed";

  F.Edit->SetPasswordChar('*');
  F.Edit->SetText("secret");
  EXPECT_EQ(F.Changes, 4) << "a single-line password edit reports its change once too";

  TDBEditKs Windowless(nullptr);
  int Changes = 0;
  Windowless.OnChange = [&](TObject*) { ++Changes; };
  Windowless.SetText("без окна");
  EXPECT_EQ(Windowless.Text(), "без окна");
  EXPECT_EQ(Changes, 1);
}

TEST(DBEditKsUnbound, TypedTextIsCommittedWhenLeaving) {
  TEditForm F;
  F.Show();
  F.Type("xyz");
  EXPECT_EQ(F.Changes, 3);
  EXPECT_TRUE(F.Edit->DataLink()->DataIndependentValue().IsNull()) << "not before leaving";
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
  EXPECT_EQ(F.Edit->DataLink()->DataIndependentValue().AsString(), "xyz");
  EXPECT_EQ(F.Edit->Text(), "xyz");
}

TEST(DBEditKsUnbound, EscUndoesTypingAndOtherwiseReachesTheCancelButton) {
  TEditForm F;
  F.Show();
  F.Edit->SetText("keep");
  F.Edit->SelectAll();
  F.Type("new");
  ASSERT_EQ(F.Edit->Text(), "new");
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "keep"; }));
  PumpFor(30);
  EXPECT_EQ(F.CancelClicks, 0);
  PostKey(VK_ESCAPE);
  EXPECT_TRUE(PumpUntil([&] { return F.CancelClicks == 1; }));
}

TEST(DBEditKsUnbound, APastedCellKeepsItsTextUpToTheLineBreak) {
  struct Case {
    const char* Clip;
    bool WithButton;
    const char* Text;
  } Cases[] = {
      {"ООО Ромашка\r\n", false, "ООО Ромашка"},
      {"ООО Ромашка\r\n", true, "ООО Ромашка"},
      {"первая\r\nвторая", false, "первая"},
      {"одна строка", false, "одна строка"},
  };
  for (const Case& C : Cases) {
    TEditForm F;
    F.Edit->EditButton()->SetVisible(C.WithButton);
    F.Show();
    Clipboard()->SetAsText(C.Clip);
    PostKey('V', {VK_CONTROL});
    PumpFor(30);
    EXPECT_EQ(F.Edit->Text(), C.Text) << C.Clip;
    EXPECT_EQ(F.Edit->Text().find_first_of("\r\n"), AnsiString::npos);
  }
}

TEST(DBEditKsUnbound, EnterAndTabGoToTheFormUnlessTheEditWantsThem) {
  TEditForm F;
  F.Show();
  F.Type("a");
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return F.OkClicks == 1; }));
  PumpFor(30);
  EXPECT_EQ(F.Edit->Text(), "a") << "no line break in the text";
  F.Edit->SetWantReturns(true);
  F.Edit->SetWantTabs(true);
  PostKey(VK_RETURN);
  PostKey(VK_TAB);
  PumpFor(80);
  EXPECT_EQ(F.OkClicks, 1);
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  F.Edit->SetWantTabs(false);
  PostKey(VK_TAB);
  EXPECT_TRUE(PumpUntilFocused(F.Other->Handle()));
}

// --- The required mark

TEST(DBEditKsRequiredMark, AppearsExactlyWhenTheHandlerSaysSo) {
  TEditForm F;
  F.Edit->SetHighlightRequired(true);
  F.Show(F.Other);
  TMarkPixels None = MarkPixels(F.Edit);
  EXPECT_EQ(None.OnLastRow + None.Elsewhere, 0)
      << "an unbound edit draws no mark unless its handler asks";
  F.Edit->OnCheckDrawRequiredState = [&](TObject* Sender, bool& DrawState) {
    auto* Edit = static_cast<TDBEditKs*>(Sender);
    DrawState = Edit->HighlightRequired() && Edit->Text().size() != 4;
  };
  F.Edit->Invalidate();
  TMarkPixels Mark = MarkPixels(F.Edit);
  RECT Text = F.Edit->CalcEditRect();
  EXPECT_GT(Mark.OnLastRow, 10);
  EXPECT_EQ(Mark.Elsewhere, 0);
  EXPECT_EQ(Mark.FirstX, Text.left + 2);
  EXPECT_LT(Mark.LastX, Text.right - 3);
  EXPECT_GE(Mark.LastX, Text.right - 6);

  F.Edit->SetText("1234");
  EXPECT_EQ(MarkPixels(F.Edit).OnLastRow, 0) << "a valid text has no mark";
  UpdateWindow(F.Edit->Handle());
  F.Edit->SetText("123");
  RECT Client = F.Edit->ClientRect();
  HRGN Update = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(F.Edit->Handle(), Update, FALSE);
  EXPECT_TRUE(PtInRegion(Update, Client.right - 5, Client.bottom - 1))
      << "a change repaints the mark's row";
  DeleteObject(Update);
  EXPECT_GT(MarkPixels(F.Edit).OnLastRow, 10);
  F.Edit->SetHighlightRequired(false);
  EXPECT_EQ(MarkPixels(F.Edit).OnLastRow, 0);
}

TEST(DBEditKsRequiredMark, FollowsTypedText) {
  TEditForm F;
  F.Edit->SetHighlightRequired(true);
  F.Edit->OnCheckDrawRequiredState = [&](TObject*, bool& DrawState) {
    DrawState = F.Edit->Text().empty();
  };
  F.Show();
  EXPECT_GT(MarkPixels(F.Edit).OnLastRow, 0);
  F.Type("q");
  PumpFor(20);
  EXPECT_EQ(MarkPixels(F.Edit).OnLastRow, 0);
  PostKey(VK_BACK);
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text().empty(); }));
  EXPECT_GT(MarkPixels(F.Edit).OnLastRow, 0);
}

// --- Painting

// Pixels of the text (or of its selection) in a range of columns.
int InkPixels(const TDibDC& Dib, int From, int To) {
  return (To - From) * Dib.Height() - Dib.Count(RECT{From, 0, To, Dib.Height()}, ColorToRGB(clWindow));
}

// The first and last columns with ink in the text area, as painted.
std::pair<int, int> InkColumns(TCustomDBEditKs* Edit) {
  RECT Client = Edit->ClientRect(), Text = Edit->CalcEditRect();
  TDibDC Dib(Client.right, Client.bottom);
  PrintClient(Edit->Handle(), Dib);
  int First = -1, Last = -1;
  for (int X = Text.left; X < Text.right; ++X) {
    if (InkPixels(Dib, X, X + 1) == 0) continue;
    if (First < 0) First = X;
    Last = X;
  }
  return {First, Last};
}

int TextWidth(TCustomDBEditKs* Edit, const AnsiString& Text) {
  TDibDC Dib(1, 1);
  TSelectObject Font(Dib.DC(), Edit->Font()->Handle());
  SIZE Extent{};
  GetTextExtentPoint32A(Dib.DC(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
  return Extent.cx;
}

TEST(DBEditKsPaint, ARightAlignedEditShowsItsTextRightUnlessFocused) {
  TEditForm F;
  F.Edit->SetAlignment(taRightJustify);
  F.Edit->SetText("WWW");
  F.Show(F.Other);
  RECT Client = F.Edit->ClientRect();
  int Half = Client.right / 2;
  {
    TDibDC Dib(Client.right, Client.bottom);
    PrintClient(F.Edit->Handle(), Dib);
    EXPECT_EQ(InkPixels(Dib, 0, Half), 0);
    EXPECT_GT(InkPixels(Dib, Half, Client.right), 10);
  }
  F.Edit->SetFocus();
  PumpUntilFocused(F.Edit->Handle());
  {
    TDibDC Dib(Client.right, Client.bottom);
    PrintClient(F.Edit->Handle(), Dib);
    EXPECT_GT(InkPixels(Dib, 0, Half), 10);
    EXPECT_EQ(InkPixels(Dib, Half, Client.right), 0);
  }
}

// The letter case turns typed text, text set in code and the text the edit
// held when the case was set.
TEST(DBEditKsCharCase, TypedAndSetTextTakeTheCase) {
  struct {
    TEditCharCase Case;
    const char *Typed, *Shown, *Set, *SetShown;
  } Cases[] = {
      {ecUpperCase, "aBв", "ABВ", "ёж", "ЁЖ"},
      {ecLowerCase, "AbВ", "abв", "ЁЖ", "ёж"},
      {ecNormal, "aBв", "aBв", "ёЖ", "ёЖ"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Shown);
    TEditForm F;
    F.Edit->SetCharCase(Case.Case);
    F.Show();
    F.Type(Case.Shown);
    PostKey(VK_TAB);
    ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
    EXPECT_EQ(F.Edit->Text(), Case.Shown);
    EXPECT_EQ(F.Edit->Value().AsString(), Case.Shown) << "committed as shown";
    F.Edit->SetText(Case.Set);
    EXPECT_EQ(F.Edit->Text(), Case.SetShown);
    EXPECT_EQ(F.Edit->DataLink()->DataIndependentValue().AsString(), Case.SetShown);
  }
  TEditForm F;
  F.Show();
  F.Edit->SetText("Смена");
  F.Edit->SetCharCase(ecUpperCase);
  EXPECT_EQ(F.Edit->Text(), "СМЕНА");
  EXPECT_EQ(F.Edit->IsFocused(), true) << "the new window keeps the focus";
}

// --- Buttons

TEST(DBEditKsButtons, ButtonsSitAtTheRightAndTheTextStopsBeforeThem) {
  TEditForm F;
  F.Edit->EditButton()->SetVisible(true);
  TEditButtonKs* Item = F.Edit->EditButtons()->Add();
  Item->SetStyle(ebsEllipsisKs);
  Item->SetWidth(20);
  F.Show();
  int CW = F.Edit->ClientWidth(), Scroll = GetSystemMetrics(SM_CXVSCROLL);
  ASSERT_EQ(F.Edit->ButtonControlCount(), 2);
  EXPECT_EQ(F.Edit->ButtonControl(1)->Left(), CW - 20);
  EXPECT_EQ(F.Edit->ButtonControl(0)->Left(), CW - 20 - Scroll);
  EXPECT_EQ(F.Edit->ButtonControl(0)->Width(), Scroll);
  EXPECT_EQ(F.Edit->ButtonControl(1)->Style(), ebsEllipsisKs);
  EXPECT_EQ(F.Edit->CalcEditRect().right, CW - 20 - Scroll);
  RECT Format{};
  SendMessageA(F.Edit->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&Format));
  EXPECT_LE(Format.right, CW - 20 - Scroll) << "typed text never runs under the buttons";

  F.Edit->SetFlat(true);
  CW = F.Edit->ClientWidth();
  EXPECT_EQ(F.Edit->ButtonControl(0)->Width(), FlatEditButtonWidth);
  EXPECT_EQ(F.Edit->ButtonWidth(), 20 + 1 + FlatEditButtonWidth + 1) << "a line before each";
  Item->SetVisible(false);
  EXPECT_EQ(F.Edit->ButtonControl(0)->Left(), CW - FlatEditButtonWidth);
  EXPECT_FALSE(F.Edit->ButtonControl(1)->Visible());
  F.Edit->EditButtons()->Clear();
  EXPECT_EQ(F.Edit->ButtonControlCount(), 1);
}

// A glyph of two images, red then blue squares on white, as an edit
// button's glyph with NumGlyphs 2: the button shows the red one, and the
// blue one while the edit is disabled.
TEST(DBEditKsButtons, AGlyphButtonShowsOneImageOfItsStripAndTheSecondWhenDisabled) {
  TEditForm F;
  TEditButtonKs* Item = F.Edit->EditButtons()->Add();
  Item->SetStyle(ebsGlyphKs);
  Item->SetWidth(20);
  TBitmap Strip;
  MakeGlyphStrip(Strip, 8, {clRed, clBlue});
  Item->SetGlyph(&Strip);
  Item->SetNumGlyphs(2);
  F.Show(F.Other);
  TEditButtonControlKs* Button = F.Edit->ButtonControl(1);
  RECT Client = F.Edit->ClientRect();
  RECT Face{Button->Left(), Button->Top(), Button->Left() + Button->Width(),
            Button->Top() + Button->Height()};
  auto Shown = [&](COLORREF Color) {
    TDibDC Dib(Client.right, Client.bottom);
    PrintClient(F.Edit->Handle(), Dib);
    return Dib.Count(Face, Color);
  };
  EXPECT_EQ(Shown(RGB(255, 0, 0)), 36);
  EXPECT_EQ(Shown(RGB(0, 0, 255)), 0);
  F.Edit->SetEnabled(false);
  EXPECT_EQ(Shown(RGB(255, 0, 0)), 0);
  EXPECT_EQ(Shown(RGB(0, 0, 255)), 36);
  // Told it is one image, the glyph shows whole.
  F.Edit->SetEnabled(true);
  Item->SetNumGlyphs(1);
  EXPECT_EQ(Shown(RGB(255, 0, 0)), 36);
  EXPECT_EQ(Shown(RGB(0, 0, 255)), 36);
}

// Right to left the strip of buttons is mirrored from the left edge and the
// text keeps to the right; made left to right again, the edit turns back.
TEST(DBEditKsButtons, ARightToLeftEditHasItsButtonsLeftAndItsTextRight) {
  TEditForm F;
  F.Edit->SetBiDiMode(bdRightToLeft);
  F.Edit->EditButton()->SetVisible(true);
  TEditButtonKs* Item = F.Edit->EditButtons()->Add();
  Item->SetStyle(ebsEllipsisKs);
  Item->SetWidth(20);
  F.Show();
  F.Type("WWW");
  int CW = F.Edit->ClientWidth(), Scroll = GetSystemMetrics(SM_CXVSCROLL);
  auto ExStyle = [&] { return GetWindowLongA(F.Edit->Handle(), GWL_EXSTYLE); };
  EXPECT_EQ(ExStyle() & (WS_EX_RTLREADING | WS_EX_RIGHT), WS_EX_RTLREADING | WS_EX_RIGHT);
  EXPECT_EQ(F.Edit->ButtonControl(1)->Left(), 0) << "the last button outermost";
  EXPECT_EQ(F.Edit->ButtonControl(0)->Left(), 20);
  RECT Text = F.Edit->CalcEditRect();
  EXPECT_EQ(Text.left, 20 + Scroll);
  EXPECT_EQ(Text.right, CW);
  RECT Format{};
  SendMessageA(F.Edit->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&Format));
  EXPECT_GE(Format.left, Text.left) << "typed text never runs under the buttons";
  auto Ink = [&](int From, int To) {
    TDibDC Dib(CW, F.Edit->ClientHeight());
    PrintClient(F.Edit->Handle(), Dib);
    return InkPixels(Dib, From, To);
  };
  int Middle = (Text.left + Text.right) / 2;
  EXPECT_EQ(Ink(Text.left, Middle), 0);
  EXPECT_GT(Ink(Middle, Text.right), 10) << "the typed text at the right";

  F.Edit->SetBiDiMode(bdLeftToRight);
  EXPECT_EQ(ExStyle() & (WS_EX_RTLREADING | WS_EX_RIGHT), 0);
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  EXPECT_EQ(F.Edit->Text(), "WWW");
  EXPECT_EQ(F.Edit->ButtonControl(1)->Left(), CW - 20);
  Text = F.Edit->CalcEditRect();
  Middle = (Text.left + Text.right) / 2;
  EXPECT_GT(Ink(Text.left, Middle), 10);
  EXPECT_EQ(Ink(Middle, Text.right), 0);
}

TEST(DBEditKsButtons, AltDownClicksTheFirstButtonThatHasIt) {
  TEditForm F;
  TEditButtonKs* First = F.Edit->EditButtons()->Add();
  TEditButtonKs* Second = F.Edit->EditButtons()->Add();
  std::vector<std::string> Seen;
  First->OnDown = [&](TObject*, bool Top, bool&, bool&) {
    Seen.push_back(Top ? "down top" : "down");
  };
  First->OnClick = [&](TObject*, bool&) { Seen.push_back("first"); };
  Second->OnClick = [&](TObject*, bool&) { Seen.push_back("second"); };
  F.Show();
  F.Type("ab");
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return Seen.size() >= 2; }));
  PumpFor(30);
  EXPECT_EQ(Seen, (std::vector<std::string>{"down", "first"}));
  EXPECT_EQ(F.Edit->Text(), "ab");
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  // A press its handler took is not clicked as well.
  First->OnDown = [&](TObject*, bool, bool&, bool& Handled) {
    Seen.push_back("taken");
    Handled = true;
  };
  Seen.clear();
  PostKey(VK_DOWN, {VK_MENU});
  PumpFor(50);
  EXPECT_EQ(Seen, (std::vector<std::string>{"taken"}));
}

TEST(DBEditKsButtons, APressOnTheMainButtonDropsDownAndTheNextClickClosesIt) {
  TEditForm F;
  F.Edit->EditButton()->SetVisible(true);
  int Clicks = 0;
  F.Edit->OnButtonClick = [&](TObject*, bool&) { ++Clicks; };
  F.Show(F.Other);
  TEditButtonControlKs* Button = F.Edit->ButtonControl(0);
  LPARAM At = MAKELPARAM(Button->Left() + 3, Button->Top() + 3);
  auto Click = [&] {
    SendMessageA(F.Edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At);
    SendMessageA(F.Edit->Handle(), WM_LBUTTONUP, 0, At);
  };
  Click();
  EXPECT_TRUE(F.Edit->DroppedDown());
  EXPECT_TRUE(Button->Down());
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(GetFocus(), F.Edit->Handle()) << "a press on a button focuses the edit";
  Click();
  EXPECT_FALSE(F.Edit->DroppedDown());
  EXPECT_FALSE(Button->Down());
  EXPECT_EQ(Clicks, 2);
}

// --- MRU list

TEST(DBEditKsMRU, TypingShowsTheMatchesAndEnterChoosesWithoutPressingTheDefaultButton) {
  TEditForm F;
  TMRUListKs* MRU = F.Edit->MRUList();
  MRU->SetActive(true);
  for (const char* V : {"alpha", "beta", "alps"}) MRU->AddMRUItem(V);
  F.Show();
  F.Type("al");
  ASSERT_TRUE(PumpUntil([&] { return MRU->DroppedDown(); }));
  TMRUListboxKs* List = F.Edit->MRUListbox();
  ASSERT_NE(List, nullptr);
  EXPECT_TRUE(IsWindowVisible(List->Handle()));
  EXPECT_EQ(List->Items()->Count(), 2);
  EXPECT_EQ(List->Items()->Strings(0), "alpha") << "sorted";
  EXPECT_EQ(GetFocus(), F.Edit->Handle()) << "the list never takes the focus";
  PostKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return List->ItemIndex() >= 0; }));
  PostKey(VK_DOWN);
  PumpFor(30);
  int Chosen = List->ItemIndex();
  AnsiString Expected = List->Items()->Strings(Chosen);
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !MRU->DroppedDown(); }));
  PumpFor(30);
  EXPECT_EQ(F.Edit->Text(), Expected);
  EXPECT_EQ(F.OkClicks, 0) << "Enter belonged to the list";
  EXPECT_FALSE(IsWindowVisible(List->Handle()));

  F.Edit->SelectAll();
  F.Type("be");
  ASSERT_TRUE(PumpUntil([&] { return MRU->DroppedDown(); }));
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !MRU->DroppedDown(); }));
  PumpFor(30);
  EXPECT_EQ(F.Edit->Text(), "be");
  EXPECT_EQ(F.CancelClicks, 0);
  F.Type("x");
  PumpFor(30);
  EXPECT_FALSE(MRU->DroppedDown()) << "nothing matches";
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
  EXPECT_EQ(MRU->Items()->Strings(MRU->Items()->Count() - 1), "bex") << "a committed text is added";
}

TEST(DBEditKsMRU, EnterWithNothingHighlightedClosesTheListOnlyAndChoosesNothing) {
  TEditForm F;
  TMRUListKs* MRU = F.Edit->MRUList();
  MRU->SetActive(true);
  for (const char* V : {"alpha", "alps"}) MRU->AddMRUItem(V);
  F.Show();
  F.Type("al");
  ASSERT_TRUE(PumpUntil([&] { return MRU->DroppedDown(); }));
  ASSERT_EQ(F.Edit->MRUListbox()->ItemIndex(), -1);
  PostKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return !MRU->DroppedDown(); }));
  PumpFor(50);
  EXPECT_EQ(F.OkClicks, 0) << "the dialog stays";
  EXPECT_EQ(F.Edit->Text(), "al") << "no value is taken from the list";
  PostKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return F.OkClicks == 1; }))
      << "with the list closed, Enter is the form's";
}

// --- In-place holder

struct THolder : TWinControl, IInplaceEditHolderKs {
  using TWinControl::TWinControl;
  bool Modifiable = true;
  std::vector<char> Pressed;
  bool InplaceEditCanModify(TControl*) override { return Modifiable; }
  void GetMouseDownInfo(POINT& Pos, DWORD& Time) override {
    Pos = POINT{-1000, -1000};
    Time = 0;
  }
  bool InplaceEditWndProc(TControl*, TMessage&) override { return false; }
  void InplaceEditKeyDown(TControl*, uint16_t&, TShiftState) override {}
  void InplaceEditKeyPress(TControl*, char& Key) override {
    Pressed.push_back(Key);
    if (Key == 'q') Key = 0;
  }
  void InplaceEditKeyUp(TControl*, uint16_t&, TShiftState) override {}
};

TEST(DBEditKsHolder, TheHolderMustOfferTheInterfaceAndThenSeesKeysFirst) {
  TEditForm F;
  TPanel Plain(nullptr);
  try {
    F.Edit->SetInplaceEditHolder(&Plain);
    FAIL() << "a holder without the interface is refused";
  } catch (Exception& E) {
    EXPECT_EQ(E.Message(), "InplaceEditHolder have to support IInplaceEditHolderKs interface");
  }
  auto* Holder = new THolder(F.Form);
  F.Edit->SetInplaceEditHolder(Holder);
  F.Show();
  F.Type("aq");
  PumpFor(30);
  EXPECT_EQ(F.Edit->Text(), "a") << "the holder consumed q";
  EXPECT_EQ(Holder->Pressed, (std::vector<char>{'a', 'q'}));
  Holder->Modifiable = false;
  F.Edit->DataLink()->Edit();
  F.Edit->SetReadOnly(false);
  EXPECT_TRUE(GetWindowLongA(F.Edit->Handle(), GWL_STYLE) & ES_READONLY)
      << "the holder's answer makes it read-only";
}

// --- Bound to a dataset

struct TBoundForm : TEditForm {
  TArrayDataSet Data{nullptr};
  TDataSource Source{nullptr};
  TBoundForm(const char* FieldName = "Name") {
    Data.FieldDefs()->Add("Id", ftInteger);
    Data.FieldDefs()->Add("Name", ftString, 10);
    Data.FieldDefs()->Add("Count", ftInteger);
    Data.Open();
    AppendValues(&Data, {1, "first", 5});
    AppendValues(&Data, {2, "second", 7});
    Data.First();
    Source.SetDataSet(&Data);
    Edit->SetDataSource(&Source);
    Edit->SetDataField(FieldName);
  }
  ~TBoundForm() {
    delete Form;
    Form = nullptr;
  }
};

TEST(DBEditKsBound, ShowsTheFieldWhoseSizeLimitsTheText) {
  TBoundForm F;
  F.Show(F.Other);
  EXPECT_EQ(F.Edit->Text(), "first");
  EXPECT_EQ(SendMessageA(F.Edit->Handle(), CM_GETDATALINK, 0, 0),
            reinterpret_cast<LRESULT>(F.Edit->DataLink()))
      << "asked for its link, the edit answers it";
  EXPECT_EQ(F.Edit->MaxLength(), 10);
  F.Data.Next();
  EXPECT_EQ(F.Edit->Text(), "second");

  TDBEditKs Own(F.Form);
  Own.SetMaxLength(4);
  Own.SetDataSource(&F.Source);
  Own.SetDataField("Name");
  EXPECT_EQ(Own.MaxLength(), 4) << "a length of its own stays";
  EXPECT_EQ(Own.Text(), "second");
}

// An edit that paints its own text (right-aligned, unfocused) shows the
// field in the letter case of the edit.
TEST(DBEditKsBound, ThePaintedTextOfTheFieldHasTheEditsCase) {
  TBoundForm F;
  F.Edit->SetCharCase(ecUpperCase);
  F.Edit->SetAlignment(taRightJustify);
  F.Show(F.Other);
  EXPECT_EQ(F.Edit->Text(), "FIRST");
  auto [First, Last] = InkColumns(F.Edit);
  int Upper = TextWidth(F.Edit, "FIRST"), Lower = TextWidth(F.Edit, "first");
  ASSERT_GT(Upper - Lower, 4) << "the two cases tell apart by width";
  EXPECT_GT(First, F.Edit->ClientWidth() / 2) << "painted right-aligned";
  EXPECT_NEAR(Last - First + 1, Upper, 2);
  F.Data.Next();
  EXPECT_EQ(F.Edit->Text(), "SECOND");
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "second") << "the field keeps its case";
}

// Right to left a text field's edit turns to the right and a number
// field's keeps its side; a new field makes the window anew when the side
// changes. A text the edit aligns right itself is painted at the left.
TEST(DBEditKsBound, ARightToLeftEditTurnsItsSideByTheField) {
  TBoundForm F;
  F.Edit->SetBiDiMode(bdRightToLeft);
  F.Edit->EditButton()->SetVisible(true);
  F.Show(F.Other);
  auto Right = [&] { return (GetWindowLongA(F.Edit->Handle(), GWL_EXSTYLE) & WS_EX_RIGHT) != 0; };
  EXPECT_TRUE(Right());
  EXPECT_EQ(F.Edit->ButtonControl(0)->Left(), 0);
  F.Edit->SetDataField("Count");
  EXPECT_FALSE(Right()) << "a number keeps its side";
  EXPECT_TRUE(GetWindowLongA(F.Edit->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING);
  EXPECT_EQ(F.Edit->ButtonControl(0)->Left(),
            F.Edit->ClientWidth() - F.Edit->ButtonControl(0)->Width());
  EXPECT_EQ(F.Edit->Text(), "5");
  F.Edit->SetDataField("Name");
  EXPECT_TRUE(Right());
  // The field's side changed under the edit: the window shows its text by
  // the new one once it paints it.
  TField* Name = F.Data.FieldByName("Name");
  Name->SetAlignment(taCenter);
  F.Edit->SetFocus();
  ASSERT_TRUE(PumpUntilFocused(F.Edit->Handle()));
  EXPECT_TRUE(PumpUntil([&] { return !Right(); }));
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  Name->SetAlignment(taLeftJustify);
  F.Other->SetFocus();
  ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
  F.Edit->SetDataField("Count");
  F.Edit->SetDataField("Name");
  EXPECT_TRUE(Right());
  F.Edit->SetAlignment(taRightJustify);
  RECT Text = F.Edit->CalcEditRect();
  auto [First, Last] = InkColumns(F.Edit);
  EXPECT_GE(First, Text.left);
  EXPECT_LE(First, Text.left + 4);
  EXPECT_LT(Last, (Text.left + Text.right) / 2) << "mirrored: at the left";
}

TEST(DBEditKsBound, TypingAndLeavingWritesTheField) {
  TBoundForm F;
  F.Show();
  F.Edit->SelectAll();
  PostText("abc");
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "abc"; }));
  EXPECT_EQ(F.Data.State(), dsEdit) << "the first key put the dataset into edit";
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "first") << "not before leaving";
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "abc");
  F.Data.Post();
  F.Data.First();
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "abc");
}

TEST(DBEditKsBound, ARejectedValueRereadsTheFieldAndKeepsTheFocus) {
  TBoundForm F("Count");
  TField* Count = F.Data.FieldByName("Count");
  Count->OnValidate = [](TField* Sender) {
    if (Sender->AsInteger() == 13) throw Exception("Несчастливое число");
  };
  std::vector<AnsiString> Errors;
  Application->OnException = [&](TObject*, Exception* E) { Errors.push_back(E->Message()); };
  F.Show();
  F.Edit->SelectAll();
  PostText("1x3");
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "13"; })) << "x is no digit";
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return !Errors.empty(); }));
  PumpFor(50);
  Application->OnException = nullptr;
  EXPECT_EQ(Errors, std::vector<AnsiString>{"Несчастливое число"});
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  EXPECT_EQ(F.Edit->Text(), "5");
  EXPECT_EQ(Count->AsInteger(), 5);
}

TEST(DBEditKsBound, TheFieldsEditMaskShapesTypingAndRefusesAnIncompleteDate) {
  TEditForm F;
  TArrayDataSet Data{nullptr};
  TDataSource Source{nullptr};
  Data.FieldDefs()->Add("Born", ftDate);
  Data.Open();
  TField* Born = Data.FieldByName("Born");
  Born->SetEditMask("00.00.0000;1;_");
  Data.Append();
  Born->SetAsString("01.02.2024");
  Data.Post();
  Source.SetDataSet(&Data);
  F.Edit->SetDataSource(&Source);
  F.Edit->SetDataField("Born");
  std::vector<AnsiString> Errors;
  Application->OnException = [&](TObject*, Exception* E) { Errors.push_back(E->Message()); };
  F.Show();
  EXPECT_EQ(F.Edit->EditMask(), "00.00.0000;1;_");
  EXPECT_EQ(F.Edit->EditText(), "01.02.2024");
  F.Edit->SelectAll();
  PostText("15x03");
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->EditText() == "15.03.____"; }))
      << F.Edit->EditText() << ": the letter is refused, the dots stay";
  EXPECT_EQ(Data.State(), dsEdit);
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return !Errors.empty(); }));
  PumpFor(50);
  EXPECT_EQ(Errors, std::vector<AnsiString>{"Неверное значение. Нажмите Esc для отмены изменений"});
  EXPECT_EQ(GetFocus(), F.Edit->Handle()) << "an incomplete date keeps the focus";
  EXPECT_EQ(F.Edit->SelStart(), 6);
  EXPECT_EQ(Born->AsString(), "01.02.2024");
  PostText("2025");
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->EditText() == "15.03.2025"; }));
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
  Application->OnException = nullptr;
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Born->AsString(), "15.03.2025");
  F.Edit->SetDataSource(nullptr);
}

TEST(DBEditKsBound, SettingTheTextEditsTheRecordAtOnce) {
  TBoundForm F;
  F.Show(F.Other);
  F.Edit->SetText("zz");
  EXPECT_EQ(F.Data.State(), dsEdit);
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "zz");
  F.Edit->SetValue(Variant("yy"));
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "yy");
}

TEST(DBEditKsBound, TheRequiredMarkShowsForAnEmptyRequiredFieldOfANewRecord) {
  TBoundForm F;
  F.Data.FieldByName("Name")->SetRequired(true);
  F.Edit->SetHighlightRequired(true);
  F.Show(F.Other);
  EXPECT_EQ(MarkPixels(F.Edit).OnLastRow, 0) << "not while browsing";
  F.Data.Append();
  EXPECT_GT(MarkPixels(F.Edit).OnLastRow, 0);
  F.Edit->SetText("x");
  EXPECT_EQ(MarkPixels(F.Edit).OnLastRow, 0);
}

}  // namespace
