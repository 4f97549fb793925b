// The pocket calculator: its pad as laid out, the key processing (typed,
// clicked and pasted), the error state, and the popup that never takes the
// focus from the editor forwarding keys to it.
#include "COMPONENTS/kslib/CalculatorKs.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "EditorForm.h"
#include "forms/Clipbrd.h"
#include "forms/Forms.h"

namespace {

constexpr char kCtrlC = 3, kCtrlV = 22;

void Keys(TCalculatorKs& C, const char* Keys) {
  for (; *Keys; ++Keys) C.ProcessKey(*Keys);
}

AnsiString Shown(TCalculatorKs& C) { return C.TextBox()->Caption(); }

TSpeedButtonKs* ButtonByCaption(TCalculatorKs& C, const AnsiString& Caption) {
  for (int I = 0; I < C.ControlCount(); ++I)
    if (auto* B = dynamic_cast<TSpeedButtonKs*>(C.Controls(I)); B && B->Caption() == Caption)
      return B;
  return Caption == "Ok" ? C.spEqual() : nullptr;
}

int TextHeightOfZero(TFont* Font) {
  TWindowDC DC;
  TSelectObject Selected(DC.Get(), Font->Handle());
  SIZE S{};
  GetTextExtentPoint32A(DC.Get(), "0", 1, &S);
  return S.cy;
}

TEST(CalculatorKs, LaysOutItsPadAtTheResourcePositionsScaledByTheTextHeight) {
  TCalculatorKs C(nullptr);
  const int H = TextHeightOfZero(C.Font());
  auto S = [H](int V) { return MulDiv(V, H, 13); };
  EXPECT_EQ(C.Width(), S(184));
  EXPECT_EQ(C.Height(), S(127));
  const struct {
    const char* Caption;
    int Left, Top, Width, Height;
    TColor Color;
  } Cases[] = {
      {"7", 6, 29, 27, 22, clBlue},      {"/", 93, 29, 27, 22, clRed},
      {"sqrt", 122, 29, 27, 22, clBlue}, {"C", 151, 29, 27, 46, clRed},
      {"%", 122, 53, 27, 22, clBlue},    {"1/x", 122, 77, 27, 22, clBlue},
      {"<-", 151, 77, 27, 22, clRed},    {"+/-", 35, 101, 27, 22, clBlue},
      {".", 64, 101, 27, 22, clBlue},    {"Ok", 122, 101, 56, 22, clRed},
  };
  for (const auto& Case : Cases) {
    TSpeedButtonKs* B = ButtonByCaption(C, Case.Caption);
    ASSERT_NE(B, nullptr) << Case.Caption;
    EXPECT_EQ(B->BoundsRect().left, S(Case.Left)) << Case.Caption;
    EXPECT_EQ(B->BoundsRect().top, S(Case.Top)) << Case.Caption;
    EXPECT_EQ(B->Width(), S(Case.Width)) << Case.Caption;
    EXPECT_EQ(B->Height(), S(Case.Height)) << Case.Caption;
    EXPECT_EQ(B->Font()->Color(), Case.Color) << Case.Caption;
    EXPECT_TRUE(B->Flat() && B->Active() && B->Style() == ebsGlyphKs) << Case.Caption;
  }
  EXPECT_EQ(C.spEqual(), ButtonByCaption(C, "Ok"));
  EXPECT_EQ(Shown(C), "0");
  C.SetBorderStyle(bsSingle);
  EXPECT_EQ(C.Width(), S(184) + C.GetBorderSize());
  EXPECT_GT(C.GetBorderSize(), 0);
}

TEST(CalculatorKs, KeySequences) {
  const struct {
    const char* Keys;
    const char* Shown;
    const char* Equal;
  } Cases[] = {
      {"5+3\r", "8", "Ok"},
      {"5+3", "3", "="},
      {"0-5", "5", "Ok"},  // the operand 0 leaves the equal button at "Ok"
      {"200+10%", "220", "Ok"},
      {"50*10%", "5", "Ok"},
      {"2.5*2=", "5", "Ok"},
      {"1,5+1.5=", "3", "Ok"},
      {"1.2.3", "1,23", "Ok"},
      {"1234567890123456", "123456789012345", "Ok"},
      {"1i234567890123456", "-123456789012345", "Ok"},
      {"5I\b", "0", "Ok"},
      {"57\b", "5", "Ok"},
      {"9s", "3", "Ok"},
      {"4r", "0,25", "Ok"},
      {"7+5c", "0", "Ok"},
      {"7+5\x1b", "0", "Ok"},
      {"7+5\x1b+2=", "2", "Ok"},
      {"1/0", "0", "="},
      {"1/0=", "Error", "Ok"},
      {"1/0=5+\b", "Error", "Ok"},
      {"0r", "Error", "Ok"},
      {"2i-s", "Error", "Ok"},
      {"1/0C3", "3", "Ok"},
      {"8a", "8", "Ok"},
  };
  for (const auto& Case : Cases) {
    TCalculatorKs C(nullptr);
    Keys(C, Case.Keys);
    EXPECT_EQ(Shown(C), Case.Shown) << Case.Keys;
    EXPECT_EQ(C.spEqual()->Caption(), Case.Equal) << Case.Keys;
    EXPECT_EQ(C.State() == TCalculatorKs::csError, AnsiString(Case.Shown) == "Error") << Case.Keys;
  }
}

TEST(CalculatorKs, AResultBeyondTheRangeIsTheErrorState) {
  TCalculatorKs C(nullptr);
  C.SetDisplayValue(1e300);
  Keys(C, "*");
  C.SetDisplayValue(1e300);
  Keys(C, "1\b");  // typing makes it the operand
  C.SetDisplayValue(1e300);
  Keys(C, "=");
  EXPECT_EQ(Shown(C), "Error");
  EXPECT_EQ(C.State(), TCalculatorKs::csError);
  Keys(C, "5+");
  EXPECT_EQ(Shown(C), "Error") << "only C leaves it";
}

TEST(CalculatorKs, PastesNumbersAndRefusesOtherText) {
  TCalculatorKs C(nullptr);
  int Raised = 0;
  Application->OnException = [&](TObject*, Exception*) { ++Raised; };
  Keys(C, "5+");
  Clipboard()->SetAsText(" 3,5 ");
  C.ProcessKey(kCtrlV);
  EXPECT_EQ(Shown(C), "3,5");
  Keys(C, "=");
  EXPECT_EQ(Shown(C), "8,5") << "a pasted number is an operand";

  Clipboard()->SetAsText("abc");
  C.ProcessKey(kCtrlV);
  EXPECT_EQ(Shown(C), "8,5");
  Clipboard()->SetAsText("1E400");
  C.ProcessKey(kCtrlV);
  EXPECT_EQ(Shown(C), "8,5");
  EXPECT_NE(C.State(), TCalculatorKs::csError);

  C.ProcessKey(kCtrlC);
  EXPECT_EQ(Clipboard()->AsText(), "8,5");
  EXPECT_EQ(Raised, 0);
  Application->OnException = nullptr;
}

TEST(CalculatorKs, TheWheelStepsTheNumberExceptInTheErrorState) {
  TCalculatorKs C(nullptr);
  C.HandleNeeded();
  Keys(C, "5");
  SendMessageA(C.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  SendMessageA(C.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(Shown(C), "7");
  SendMessageA(C.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(Shown(C), "6");
  Keys(C, "/0=");
  SendMessageA(C.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(Shown(C), "Error");
  EXPECT_EQ(C.State(), TCalculatorKs::csError);
}

// Turned over the focused calculator through the input queue: a notch at a
// time, nothing in the error state.
TEST(CalculatorKs, ARealWheelStepsTheNumberANotchAtATime) {
  TEditorForm<TCalculatorKs> F;
  F.Show();
  TCalculatorKs& C = *F.Edit;
  Keys(C, "5");
  const POINT Over = C.ClientToScreen(POINT{C.ClientWidth() / 2, C.ClientHeight() / 2});
  auto Wheel = [&](int Delta, const char* Expected) {
    TurnWheel(Over, Delta);
    EXPECT_TRUE(PumpUntil([&] { return Shown(C) == Expected; })) << Delta << " " << Shown(C);
  };
  Wheel(WHEEL_DELTA, "6");
  Wheel(-3 * WHEEL_DELTA, "3");
  Keys(C, "/0=");
  ASSERT_EQ(C.State(), TCalculatorKs::csError);
  TurnWheel(Over, WHEEL_DELTA);
  PumpFor(50);
  EXPECT_EQ(Shown(C), "Error");
}

// The owning editor: keeps Enter and Esc while the popup is down and
// forwards its keys to it, as the grid's editor does.
class TOwnerEdit : public TEdit, public IPopupOwnerKs {
 public:
  using TEdit::TEdit;
  TPopupCalculatorKs* Popup = nullptr;
  std::vector<std::pair<bool, Variant>> Closes;
  void CloseUp(bool Accept) override {
    Closes.emplace_back(Accept, Popup->GetValue());
    Popup->Hide();
  }
  void WndProc(TMessage& M) override {
    if (Popup && Popup->Visible()) {
      if (M.Msg == CM_WANTSPECIALKEY && (M.WParam == VK_RETURN || M.WParam == VK_ESCAPE)) {
        M.Result = 1;
        return;
      }
      if (M.Msg == WM_KEYDOWN || M.Msg == WM_CHAR) {
        M.Result = Popup->Perform(M.Msg, M.WParam, M.LParam);
        return;
      }
    }
    TEdit::WndProc(M);
  }
};

struct TPopupForm : TEditorForm<TOwnerEdit> {
  TPopupCalculatorKs* Popup = new TPopupCalculatorKs(Edit);

  TPopupForm() {
    Edit->Popup = Popup;
    Show();
    Popup->ShowAt(Edit->ClientToScreen(POINT{0, Edit->Height()}));
    PumpFor(20);
  }

  void Click(const AnsiString& Caption) {
    TSpeedButtonKs* B = ButtonByCaption(*Popup, Caption);
    ASSERT_NE(B, nullptr) << Caption;
    const LPARAM At = MAKELPARAM(B->Left() + B->Width() / 2, B->Top() + B->Height() / 2);
    EXPECT_EQ(SendMessageA(Popup->Handle(), WM_MOUSEACTIVATE,
                           reinterpret_cast<WPARAM>(Form->Handle()),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE);
    PostMessageA(Popup->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At);
    PostMessageA(Popup->Handle(), WM_LBUTTONUP, 0, At);
    PumpFor(10);
  }
};

TEST(PopupCalculatorKs, IsAToolWindowSizedWithItsFrame) {
  TPopupForm F;
  HWND Wnd = F.Popup->Handle();
  EXPECT_TRUE(GetWindowLongA(Wnd, GWL_STYLE) & WS_POPUP);
  EXPECT_FALSE(GetWindowLongA(Wnd, GWL_STYLE) & WS_BORDER) << "the 3-D look paints its frame";
  EXPECT_TRUE(GetWindowLongA(Wnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetParent(Wnd), F.Form->Handle()) << "owned by the editor's form";
  EXPECT_FALSE(GetWindowLongA(F.Edit->Handle(), GWL_STYLE) & WS_POPUP);
  RECT Client;
  GetClientRect(Wnd, &Client);
  EXPECT_EQ(F.Popup->Width(), Client.right + 4);
  EXPECT_EQ(F.Popup->Height(), Client.bottom + 4);
  EXPECT_TRUE(SendMessageA(Wnd, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
  F.Popup->SetCtl3D(false);
  EXPECT_TRUE(GetWindowLongA(F.Popup->Handle(), GWL_STYLE) & WS_BORDER);
  EXPECT_EQ(F.Popup->FrameWidth(), 0);
  EXPECT_EQ(F.Popup->Width(), Client.right + F.Popup->GetBorderSize());
}

TEST(PopupCalculatorKs, ClicksOnItsButtonsEqualTheirKeysAndLeaveTheFocus) {
  TPopupForm F;
  TCalculatorKs Typed(nullptr);
  const struct {
    const char* Caption;
    char Key;
  } Pad[] = {{"7", '7'},   {"8", '8'}, {"9", '9'},   {"/", '/'},   {"sqrt", 'S'}, {"C", 'C'},
             {"4", '4'},   {"5", '5'}, {"6", '6'},   {"*", '*'},   {"%", '%'},    {"1", '1'},
             {"2", '2'},   {"3", '3'}, {"-", '-'},   {"1/x", 'R'}, {"<-", '\b'},  {"0", '0'},
             {"+/-", 'I'}, {".", '.'}, {"+", '+'},   {"9", '9'},   {"Ok", '='}};
  for (const auto& P : Pad) {
    F.Click(P.Caption);
    Typed.ProcessKey(P.Key);
    EXPECT_EQ(Shown(*F.Popup), Shown(Typed)) << P.Caption;
  }
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  EXPECT_EQ(GetActiveWindow(), F.Form->Handle());
  EXPECT_TRUE(F.Edit->Closes.empty());
  F.Popup->SetFlat(false);
  EXPECT_FALSE(ButtonByCaption(*F.Popup, "7")->Flat());
}

TEST(PopupCalculatorKs, EnterAcceptsOnceTheEqualButtonReadsOkAndEscCancels) {
  TPopupForm F;
  PostText("5+3");
  PostKey(VK_RETURN);
  EXPECT_EQ(Shown(*F.Popup), "8");
  EXPECT_TRUE(F.Popup->CanAccept());
  ASSERT_TRUE(F.Edit->Closes.empty()) << "the first Enter computes";
  PostKey(VK_RETURN);
  ASSERT_EQ(F.Edit->Closes.size(), 1u);
  EXPECT_TRUE(F.Edit->Closes[0].first);
  EXPECT_EQ(F.Edit->Closes[0].second.AsDouble(), 8);
  EXPECT_EQ(GetFocus(), F.Edit->Handle());

  F.Popup->SetValue(Variant(2.5));
  EXPECT_EQ(Shown(*F.Popup), "2,5");
  F.Popup->ShowAt(F.Edit->ClientToScreen(POINT{0, F.Edit->Height()}));
  PostKey(VK_ESCAPE);
  ASSERT_EQ(F.Edit->Closes.size(), 2u);
  EXPECT_FALSE(F.Edit->Closes[1].first);

  F.Popup->ShowAt(F.Edit->ClientToScreen(POINT{0, F.Edit->Height()}));
  PostText("0-5");
  PostKey(VK_RETURN);
  ASSERT_EQ(F.Edit->Closes.size(), 3u);
  EXPECT_TRUE(F.Edit->Closes[2].first);
  EXPECT_EQ(F.Edit->Closes[2].second.AsDouble(), 5);
}

TEST(PopupCalculatorKs, ClosesOnItsMessagesAndGivesAnErrorValueInTheErrorState) {
  TPopupForm F;
  HWND Wnd = F.Popup->Handle();
  EXPECT_EQ(SendMessageA(Wnd, CM_WANTSPECIALKEY, VK_RETURN, 0), 1);
  EXPECT_EQ(SendMessageA(Wnd, CM_WANTSPECIALKEY, VK_ESCAPE, 0), 1);
  SendMessageA(Wnd, WM_CLOSEUPCALCULATORKS, 0, 0);
  ASSERT_EQ(F.Edit->Closes.size(), 3u);
  EXPECT_TRUE(F.Edit->Closes[0].first);
  EXPECT_FALSE(F.Edit->Closes[1].first);
  EXPECT_FALSE(F.Edit->Closes[2].first);
  Keys(*F.Popup, "1/0=");
  EXPECT_EQ(F.Popup->GetValue().VarType(), varError);
}

}  // namespace
