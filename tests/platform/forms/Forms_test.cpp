// Forms: the modal loop, closing, the cancel mode for drop-downs, the
// accelerators of captions, the application's exception handling and its
// hint cycle.
#include "forms/Forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "FormsTestKit.h"
#include "forms/HintWindow.h"
#include "forms/ScriptedPrompts.h"
#include "forms/StdCtrls.h"

namespace {

struct TDialog {
  TForm* Form = new TForm(Application);
  TEdit* Edit = new TEdit(Form);
  TButton* Ok = new TButton(Form);
  TButton* Cancel = new TButton(Form);
  TDialog() {
    Form->SetBorderStyle(bsDialog);
    Edit->SetParent(Form);
    Ok->SetParent(Form);
    Ok->SetTop(40);
    Ok->SetModalResult(mrOk);
    Ok->SetDefault(true);
    Cancel->SetParent(Form);
    Cancel->SetBounds(100, 40, 75, 25);
    Cancel->SetModalResult(mrCancel);
    Cancel->SetCancel(true);
  }
  ~TDialog() { delete Form; }
};

TEST(FormsModal, EscReachesTheCancelButtonFromAFocusedEdit) {
  TDialog D;
  int CancelClicks = 0;
  D.Cancel->OnClick = [&](TObject*) { ++CancelClicks; };
  Later([&] { PressKey(VK_ESCAPE); });
  EXPECT_EQ(D.Form->ShowModal(), mrCancel);
  EXPECT_EQ(CancelClicks, 1);
  EXPECT_FALSE(D.Form->Visible());
}

TEST(FormsModal, EnterReachesTheDefaultButtonAndTypedTextStays) {
  TDialog D;
  Later([&] {
    TypeText("abc");
    PressKey(VK_RETURN);
  });
  EXPECT_EQ(D.Form->ShowModal(), mrOk);
  EXPECT_EQ(D.Edit->Text(), "abc");
}

TEST(FormsModal, TheCloseBoxGivesCancelAndOtherWindowsAreDisabledMeanwhile) {
  TForm Main(Application);
  Main.Show();
  TDialog D;
  bool MainWasEnabled = true;
  Later([&] {
    MainWasEnabled = IsWindowEnabled(Main.Handle());
    PostMessageA(D.Form->Handle(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(D.Form->ShowModal(), mrCancel);
  EXPECT_FALSE(MainWasEnabled);
  EXPECT_TRUE(IsWindowEnabled(Main.Handle()));
}

TEST(FormsModal, ACloseQueryThatRefusesKeepsTheDialogUp) {
  TDialog D;
  int Queries = 0;
  D.Form->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++Queries > 1; };
  Later([&] {
    PressKey(VK_ESCAPE);
    Later([&] { PressKey(VK_RETURN); }, 100);
  });
  EXPECT_EQ(D.Form->ShowModal(), mrOk);
  EXPECT_EQ(Queries, 2);
}

TEST(FormsCancelMode, TheActiveControlHearsOfClicksElsewhereMovesAndClosing) {
  TDialog D;
  TLabel* Label = new TLabel(D.Form);
  Label->SetParent(D.Form);
  Label->SetBounds(200, 5, 60, 15);
  std::vector<TControl*> EditHeard, OkHeard;
  auto Record = [](std::vector<TControl*>& Heard) {
    return [&Heard](TMessage& Message) {
      if (Message.Msg == CM_CANCELMODE)
        Heard.push_back(reinterpret_cast<TControl*>(Message.WParam));
      return false;
    };
  };
  D.Edit->MessageHook = Record(EditHeard);
  D.Ok->MessageHook = Record(OkHeard);
  D.Form->SetBounds(100, 100, 300, 150);
  D.Form->Show();
  D.Edit->SetFocus();
  PumpUntil([&] { return GetFocus() == D.Edit->Handle(); });
  HWND Form = D.Form->Handle();
  auto ClickAt = [](HWND Wnd, int X, int Y) {
    PostMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
    PostMessageA(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
    PumpFor(20);
  };
  struct Case {
    const char* Name;
    std::function<void()> Act;
    TControl* Sender;
  } Cases[] = {
      {"a click on the form", [&] { ClickAt(Form, 250, 90); }, D.Form},
      {"a click on a label", [&] { ClickAt(Form, 210, 10); }, Label},
      {"a click in the edit itself", [&] { ClickAt(D.Edit->Handle(), 3, 3); }, D.Edit},
      {"a move", [&] { SetWindowPos(Form, nullptr, 120, 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER); },
       nullptr},
      {"a new size",
       [&] { SetWindowPos(Form, nullptr, 0, 0, 320, 160, SWP_NOMOVE | SWP_NOZORDER); }, nullptr},
      {"another form activated",
       [&] {
         TForm* Another = new TForm(D.Form);
         Another->SetBounds(500, 100, 100, 100);
         Another->Show();
       },
       nullptr},
      {"closing", [&] { D.Form->Close(); }, nullptr},
  };
  for (const Case& C : Cases) {
    EditHeard.clear();
    C.Act();
    PumpFor(20);
    ASSERT_FALSE(EditHeard.empty()) << C.Name;
    EXPECT_EQ(EditHeard.back(), C.Sender) << C.Name;
  }
  EXPECT_TRUE(OkHeard.empty()) << "only the active control hears it";
}

// A control of the kind at its place on the form, with its caption.
template <class T>
T* Place(TForm* Form, RECT Bounds, const char* Caption) {
  T* Control = new T(Form);
  Control->SetParent(Form);
  Control->SetBounds(Bounds.left, Bounds.top, Bounds.right, Bounds.bottom);
  Control->SetCaption(Caption);
  return Control;
}

TEST(FormsAccelerators, AltWithACaptionsLetterReachesItsControl) {
  TDialog D;
  auto* Name = Place<TLabel>(D.Form, {200, 5, 60, 15}, "&Имя");
  auto* NameEdit = Place<TEdit>(D.Form, {200, 25, 80, 21}, "");
  Name->SetFocusControl(NameEdit);
  auto* Flag = Place<TCheckBox>(D.Form, {200, 70, 90, 17}, "&Флаг");
  auto* Choice = Place<TRadioButton>(D.Form, {200, 90, 90, 17}, "В&ыбор");
  auto* Ampersand = Place<TButton>(D.Form, {10, 80, 75, 25}, "A&&B");
  auto* Off = Place<TButton>(D.Form, {10, 110, 75, 25}, "&Zoff");
  Off->SetEnabled(false);
  D.Ok->SetCaption("&Go");
  int OkClicks = 0, OtherClicks = 0;
  D.Ok->OnClick = [&](TObject*) { ++OkClicks; };
  Ampersand->OnClick = Off->OnClick = [&](TObject*) { ++OtherClicks; };
  D.Form->SetBounds(100, 100, 320, 190);
  D.Form->Show();
  D.Edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == D.Edit->Handle(); }));

  PostAltChar('и');
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == NameEdit->Handle(); })) << "the label's control";
  PostAltChar('Ф');
  EXPECT_TRUE(PumpUntil([&] { return Flag->Checked(); })) << "the check box toggles";
  EXPECT_EQ(GetFocus(), Flag->Handle());
  PostAltChar('ф');
  EXPECT_TRUE(PumpUntil([&] { return !Flag->Checked(); })) << "in either case";
  PostAltChar('ы');
  EXPECT_TRUE(PumpUntil([&] { return Choice->Checked(); })) << "the radio button is chosen";
  PressAlt('G');
  EXPECT_TRUE(PumpUntil([&] { return OkClicks == 1; })) << "the button is pressed";
  PressAlt('B');
  PressAlt('Z');
  PostAltChar('ж');
  PumpFor(50);
  EXPECT_EQ(OtherClicks, 0) << "no accelerator after a doubled &, none for a disabled button";
  EXPECT_EQ(OkClicks, 1);
}

// Brought to the front, a form is above the other windows and leaves the
// active one active.
TEST(FormsZOrder, BringToFrontRaisesAFormWithoutActivatingIt) {
  TForm* Form = new TForm(Application);
  Form->Show();
  HWND Other = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                               nullptr, nullptr, nullptr);
  auto IsAbove = [](HWND Upper, HWND Lower) {
    for (HWND W = GetWindow(Upper, GW_HWNDNEXT); W; W = GetWindow(W, GW_HWNDNEXT))
      if (W == Lower) return true;
    return false;
  };
  ASSERT_TRUE(IsAbove(Other, Form->Handle()));
  const HWND Active = GetActiveWindow();
  Form->BringToFront();
  EXPECT_TRUE(IsAbove(Form->Handle(), Other));
  EXPECT_EQ(GetActiveWindow(), Active);
  DestroyWindow(Other);
  delete Form;
}

TEST(FormsApplication, ExceptionsInMessagesGoToOnExceptionAndAbortIsSilent) {
  TDialog D;
  std::vector<AnsiString> Shown;
  TScriptedPrompts Script;
  D.Ok->OnClick = [](TObject*) { throw EConvertError("плохое значение"); };
  D.Cancel->OnClick = [](TObject*) { Abort(); };
  D.Form->Show();
  SendMessageA(D.Ok->Handle(), BM_CLICK, 0, 0);
  SendMessageA(D.Cancel->Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(Script.Asked.size(), 1u)
      << "without a handler the application shows it; EAbort shows nothing";
  EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::MessageBox);
  EXPECT_EQ(Script.Asked[0].Text, "плохое значение.");

  Application->OnException = [&](TObject*, Exception* E) { Shown.push_back(E->Message()); };
  SendMessageA(D.Ok->Handle(), BM_CLICK, 0, 0);
  SendMessageA(D.Cancel->Handle(), BM_CLICK, 0, 0);
  Application->OnException = nullptr;
  EXPECT_EQ(Shown, std::vector<AnsiString>{"плохое значение"});
  EXPECT_EQ(Script.Asked.size(), 1u);
}

TEST(FormsApplication, TerminateEndsRunAndAReleasedFormGoesAfterItsMessage) {
  TApplication Local(nullptr);
  TApplication* Saved = Application;
  Application = &Local;
  TForm* Main = nullptr;
  Local.CreateForm(Main);
  bool Destroyed = false;
  auto* Other = new TForm(&Local);
  Other->OnDestroy = [&](TObject*) { Destroyed = true; };
  Other->Show();
  Later([&] {
    Other->Release();
    EXPECT_FALSE(Destroyed);
    Later([&] { Main->Close(); });
  });
  Local.Run();
  Application = Saved;
  EXPECT_TRUE(Destroyed);
  EXPECT_TRUE(Local.Terminated());
}

// A secondary form is owned by the form active when its window was made,
// and the system destroys owned windows with their owner.
TEST(FormsOwnedWindows, ASecondaryFormOutlivesTheFormItWasCreatedAbove) {
  auto* Owner = new TForm(Application);
  Owner->Show();
  ASSERT_TRUE(PumpUntil([&] { return Owner->Active(); }));
  auto* Secondary = new TForm(Application);
  auto* Edit = new TEdit(Secondary);
  Edit->SetParent(Secondary);
  Secondary->Show();
  ASSERT_EQ(GetWindow(Secondary->Handle(), GW_OWNER), Owner->Handle());
  Edit->SetText("1+2");
  Secondary->Hide();

  delete Owner;
  EXPECT_FALSE(Secondary->HandleAllocated());
  EXPECT_FALSE(Edit->HandleAllocated());
  EXPECT_EQ(Edit->Text(), "1+2") << "the text outlives the window";
  Edit->SetText("7*6");
  EXPECT_EQ(Edit->Text(), "7*6");

  Secondary->Show();
  EXPECT_TRUE(Secondary->Showing());
  EXPECT_TRUE(IsWindowVisible(Secondary->Handle()));
  ASSERT_TRUE(Edit->HandleAllocated());
  EXPECT_TRUE(IsChild(Secondary->Handle(), Edit->Handle()));
  char Shown[16] = {};
  GetWindowTextA(Edit->Handle(), Shown, sizeof Shown);
  EXPECT_STREQ(Shown, "7*6");
  Edit->SetText("5");
  GetWindowTextA(Edit->Handle(), Shown, sizeof Shown);
  EXPECT_STREQ(Shown, "5");
  delete Secondary;
}

// Shown when its owner goes: hidden with it, and Show and ShowModal work
// again.
TEST(FormsOwnedWindows, AShownSecondaryFormGoesHiddenWithItsOwner) {
  auto* Owner = new TForm(Application);
  Owner->Show();
  ASSERT_TRUE(PumpUntil([&] { return Owner->Active(); }));
  TDialog D;
  D.Form->Show();
  ASSERT_EQ(GetWindow(D.Form->Handle(), GW_OWNER), Owner->Handle());

  delete Owner;
  EXPECT_FALSE(D.Form->Visible());
  EXPECT_FALSE(D.Form->Showing());
  Later([&] { PressKey(VK_RETURN); });
  EXPECT_EQ(D.Form->ShowModal(), mrOk);
  D.Form->Show();
  EXPECT_TRUE(IsWindowVisible(D.Form->Handle()));
}

}  // namespace

namespace {

// A control whose hint pause and hint the test decides.
class THintedControl : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int Pause = -1;  // -1: the application's
  bool Refuse = false;
  RECT Area{0, 0, 20, 20};
  void WndProc(TMessage& Message) override {
    if (Message.Msg == CM_HINTSHOWPAUSE && Pause >= 0) *reinterpret_cast<int*>(Message.LParam) = Pause;
    if (Message.Msg == CM_HINTSHOW) {
      reinterpret_cast<THintInfo*>(Message.LParam)->CursorRect = Area;
      Message.Result = Refuse;
      return;
    }
    TCustomControl::WndProc(Message);
  }
};

// The control on the form, shown, with that hint.
THintedControl* ShownWithHint(TForm* Form, const char* Hint) {
  Form->SetBounds(40, 40, 300, 200);
  auto* Control = new THintedControl(Form);
  Control->SetParent(Form);
  Control->SetBounds(10, 10, 200, 100);
  Control->SetHint(Hint);
  Control->SetShowHint(true);
  Form->Show();
  return Control;
}

TEST(FormsApplication, AHintShowsAfterThePauseStaysInItsAreaAndGoesWithAPress) {
  TForm* Form = new TForm(Application);
  THintedControl* Control = ShownWithHint(Form, "Подсказка");
  Application->SetHintPause(150);
  auto Move = [&](int X, int Y, WPARAM Keys = 0) {
    PostMessageA(Control->Handle(), WM_MOUSEMOVE, Keys, MAKELPARAM(X, Y));
    PumpFor(20);
  };
  auto Shown = [] { return Application->ShownHintWindow() != nullptr; };
  Move(5, 5);
  EXPECT_FALSE(Shown()) << "not before the pause";
  EXPECT_TRUE(PumpUntil(Shown, 1000));
  THintWindow* Window = Application->ShownHintWindow();
  EXPECT_EQ(Window->HintText(), "Подсказка");
  EXPECT_TRUE(IsWindowVisible(Window->Handle()));
  Move(12, 12);
  EXPECT_EQ(Application->ShownHintWindow(), Window) << "inside the hint's area";
  Move(12, 12, MK_LBUTTON);
  EXPECT_FALSE(Shown()) << "a held button ends it";
  EXPECT_FALSE(IsWindowVisible(Window->Handle()));

  Control->Pause = 0;
  Move(30, 30);
  EXPECT_TRUE(Shown()) << "a control may ask for no pause";
  Control->Refuse = true;
  Move(130, 60);
  EXPECT_FALSE(Shown()) << "out of the area the control is asked again, and refuses";
  Application->SetHintPause(500);
  delete Form;
}

TEST(FormsApplication, AHintShowsItsWholeTextInTheFontItWasMeasuredIn) {
  TForm* Form = new TForm(Application);
  THintedControl* Control =
      ShownWithHint(Form, "Выберите должность из списка или введите вручную нужное значение");
  SetForegroundWindow(Form->Handle());
  Application->SetHintPause(50);
  MoveMouse(Control->ClientToScreen(POINT{5, 5}));
  ASSERT_TRUE(PumpUntil([] { return Application->ShownHintWindow() != nullptr; }, 1000));
  HWND Hint = Application->ShownHintWindow()->Handle();
  PumpFor(20);
  TPicture32 Shown = Capture(Hint);
  // The text's pixels are those of another colour than the background,
  // inside the one-pixel border.
  uint32_t Background = Shown.Pixels[Shown.Width + 1];
  int Right = -1, Bottom = -1;
  for (int Y = 1; Y < Shown.Height - 1; ++Y)
    for (int X = 1; X < Shown.Width - 1; ++X)
      if (Shown.Pixels[Y * Shown.Width + X] != Background) {
        Right = std::max(Right, X);
        Bottom = std::max(Bottom, Y);
      }
  ASSERT_GE(Right, 0) << "no text shows";
  EXPECT_LT(Right, Shown.Width - 3) << "the text is cut at the right";
  EXPECT_LT(Bottom, Shown.Height - 2) << "the text is cut at the bottom";
  Application->SetHintPause(500);
  delete Form;
}

}  // namespace
