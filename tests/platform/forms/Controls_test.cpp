// Message routing and keyboard handling of the controls, driven by real
// window messages and key strokes.
#include "forms/Controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FormsTestKit.h"
#include "forms/Buttons.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

namespace {

// A form with two edits on it, a third inside a panel (one level down),
// a disabled edit and a button, in that tab order.
struct TTabForm {
  TForm* Form = new TForm(Application);
  TEdit* First = new TEdit(Form);
  TEdit* Second = new TEdit(Form);
  TPanel* Panel = new TPanel(Form);
  TEdit* Inner = new TEdit(Form);
  TEdit* Disabled = new TEdit(Form);
  TButton* Button = new TButton(Form);
  std::vector<std::string> Log;

  TTabForm() {
    Form->SetBounds(100, 100, 400, 300);
    int Top = 8;
    for (TControl* C : std::initializer_list<TControl*>{First, Second, Panel, Disabled, Button}) {
      C->SetParent(Form);
      C->SetTop(Top);
      Top += 40;
    }
    Inner->SetParent(Panel);
    Inner->SetBounds(4, 4, 100, 21);
    Disabled->SetEnabled(false);
    for (auto [Edit, Name] : {std::pair{First, "First"}, {Second, "Second"}, {Inner, "Inner"}}) {
      Edit->OnEnter = [this, Name = std::string(Name)](TObject*) {
        Log.push_back("enter " + Name);
      };
      Edit->OnExit = [this, Name = std::string(Name)](TObject*) { Log.push_back("exit " + Name); };
    }
  }
  ~TTabForm() { delete Form; }
  void Show() {
    Form->Show();
    PumpFor(30);
  }
};

TWinControl* Focused() { return FindBoundControl(GetFocus()); }

TEST(ControlsKeyboard, TabVisitsTabStopsAtAnyDepthAndShiftTabGoesBack) {
  TTabForm T;
  T.Show();
  ASSERT_EQ(Focused(), T.First) << "the first tab stop gets the focus when the form is shown";
  TWinControl* Expected[] = {T.Second, T.Inner, T.Button, T.First};
  for (TWinControl* Next : Expected) {
    PressKey(VK_TAB);
    ASSERT_TRUE(PumpUntil([&] { return Focused() == Next; }))
        << "Tab should reach " << Next->ClassName();
  }
  PressKey(VK_TAB, true);
  EXPECT_TRUE(PumpUntil([&] { return Focused() == T.Button; }));
  EXPECT_EQ(T.Form->ActiveControl(), T.Button);
}

TEST(ControlsKeyboard, EnterAndExitFollowTheFocus) {
  TTabForm T;
  T.Show();
  T.Log.clear();
  T.Inner->SetFocus();
  PumpFor(20);
  T.Second->SetFocus();
  PumpFor(20);
  EXPECT_EQ(T.Log,
            (std::vector<std::string>{"exit First", "enter Inner", "exit Inner", "enter Second"}));
}

TEST(ControlsKeyboard, KeyPreviewSeesTheKeyFirstAndCanConsumeIt) {
  TTabForm T;
  T.Form->SetKeyPreview(true);
  std::vector<std::string> Seen;
  T.Form->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) {
    Seen.push_back("form");
    if (Key == 'X') Key = 0;
  };
  T.First->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { Seen.push_back("edit"); };
  // As on the platform, the character of a consumed key-down still comes;
  // it is consumed in the key-press preview.
  T.Form->OnKeyPress = [&](TObject*, char& Key) {
    if (Key == 'x') Key = 0;
  };
  T.Show();
  TypeText("ax");
  PumpUntil([&] { return Seen.size() >= 3; });
  PumpFor(30);
  EXPECT_EQ(Seen, (std::vector<std::string>{"form", "edit", "form"}));
  EXPECT_EQ(T.First->Text(), "a") << "a consumed key never reaches the edit";
}

TEST(ControlsKeyboard, EnterPressesTheDefaultButtonUnlessAnotherButtonHasTheFocus) {
  TTabForm T;
  auto* Other = new TButton(T.Form);
  Other->SetParent(T.Form);
  Other->SetLeft(200);
  T.Button->SetDefault(true);
  int DefaultClicks = 0, OtherClicks = 0;
  T.Button->OnClick = [&](TObject*) { ++DefaultClicks; };
  Other->OnClick = [&](TObject*) { ++OtherClicks; };
  T.Show();
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return DefaultClicks == 1; }));
  Other->SetFocus();
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return OtherClicks == 1; }));
  EXPECT_EQ(DefaultClicks, 1);
}

TEST(ControlsKeyboard, AControlThatWantsTabsKeepsThem) {
  TTabForm T;
  T.First->MessageHook = [](TMessage& Message) {
    if (Message.Msg != WM_GETDLGCODE) return false;
    Message.Result = DLGC_WANTTAB | DLGC_WANTCHARS;
    return true;
  };
  int Tabs = 0;
  T.First->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { Tabs += Key == VK_TAB; };
  T.Show();
  PressKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return Tabs == 1; }));
  PumpFor(30);
  EXPECT_EQ(Focused(), T.First);
}

TEST(ControlsRouting, ParentNotificationsReachTheChildWrapper) {
  TTabForm T;
  int Clicks = 0;
  T.Button->OnClick = [&](TObject*) { ++Clicks; };
  auto* Check = new TCheckBox(T.Form);
  Check->SetParent(T.Form);
  Check->SetLeft(200);
  Check->SetColor(clRed);
  int CheckClicks = 0;
  Check->OnClick = [&](TObject*) { ++CheckClicks; };
  T.Show();
  SendMessageA(T.Button->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(Clicks, 1) << "WM_COMMAND from the button comes back to the button";
  SendMessageA(Check->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(Check->Checked());
  EXPECT_EQ(CheckClicks, 1);
  HDC DC = GetDC(Check->Handle());
  auto Brush = reinterpret_cast<HBRUSH>(SendMessageA(T.Form->Handle(), WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(DC),
                                                     reinterpret_cast<LPARAM>(Check->Handle())));
  EXPECT_EQ(GetBkColor(DC), RGB(255, 0, 0)) << "the colour message is answered by the check box";
  EXPECT_EQ(Brush, Check->Brush()->Handle());
  ReleaseDC(Check->Handle(), DC);
}

TEST(ControlsRouting, WindowlessControlsGetTheirMouseFromTheParent) {
  TTabForm T;
  auto* Label = new TLabel(T.Form);
  Label->SetParent(T.Form);
  Label->SetBounds(200, 200, 60, 20);
  Label->SetAutoSize(false);
  std::vector<std::string> Log;
  Label->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int X, int Y) {
    Log.push_back("down " + std::to_string(X) + "," + std::to_string(Y));
  };
  Label->OnClick = [&](TObject*) { Log.push_back("click"); };
  T.Show();
  HWND Wnd = T.Form->Handle();
  SendMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(210, 205));
  SendMessageA(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(212, 207));
  SendMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 250));
  SendMessageA(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(10, 250));
  EXPECT_EQ(Log, (std::vector<std::string>{"down 10,5", "click"}));
}

TEST(ControlsRouting, MouseEnterAndLeaveFollowTheMouseOverWindowlessControls) {
  TTabForm T;
  auto* Flat = new TSpeedButton(T.Form);
  Flat->SetParent(T.Form);
  Flat->SetBounds(200, 200, 80, 22);
  Flat->SetFlat(true);
  std::vector<std::string> Log;
  Flat->OnMouseEnter = [&](TObject*) { Log.push_back("enter"); };
  Flat->OnMouseLeave = [&](TObject*) { Log.push_back("leave"); };
  T.Show();
  HWND Wnd = T.Form->Handle();
  SendMessageA(Wnd, WM_MOUSEMOVE, 0, MAKELPARAM(210, 210));
  EXPECT_TRUE(Flat->MouseInControl());
  SendMessageA(Wnd, WM_MOUSEMOVE, 0, MAKELPARAM(220, 212));
  SendMessageA(Wnd, WM_MOUSEMOVE, 0, MAKELPARAM(10, 250));
  EXPECT_FALSE(Flat->MouseInControl());
  SendMessageA(Wnd, WM_MOUSEMOVE, 0, MAKELPARAM(210, 210));
  SendMessageA(Wnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Log, (std::vector<std::string>{"enter", "leave", "enter", "leave"}));
}

TEST(ControlsWindows, FontAndEnabledChangesReachTheChildren) {
  TTabForm T;
  T.Inner->Font()->SetStyle({fsItalic});
  T.Show();
  T.Form->Font()->SetName("Tahoma");
  EXPECT_EQ(T.First->Font()->Name(), "Tahoma");
  EXPECT_EQ(T.Panel->Font()->Name(), "Tahoma");
  EXPECT_FALSE(T.Inner->ParentFont()) << "a font of its own stops the inheritance";
  EXPECT_EQ(T.Inner->Font()->Name(), "MS Sans Serif");
  LOGFONTA Font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(T.First->Handle(), WM_GETFONT, 0, 0)),
             sizeof Font, &Font);
  EXPECT_STREQ(Font.lfFaceName, "Tahoma") << "the window got the new font";
  T.Button->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(T.Button->Handle()));
  EXPECT_FALSE(T.Button->CanFocus());
}

TEST(ControlsWindows, ATimerTicksFromTheMessageLoop) {
  TTimer Timer(nullptr);
  int Ticks = 0;
  Timer.OnTimer = [&](TObject*) { ++Ticks; };
  Timer.SetInterval(10);
  EXPECT_TRUE(PumpUntil([&] { return Ticks >= 2; }));
  Timer.SetEnabled(false);
  int Seen = Ticks;
  PumpFor(50);
  EXPECT_EQ(Ticks, Seen);
}

TEST(ControlsWindows, RecreatingTheWindowKeepsTextAndState) {
  TTabForm T;
  T.Show();
  SetWindowTextA(T.First->Handle(), "typed");
  HWND Old = T.First->Handle();
  T.First->SetPasswordChar('*');
  EXPECT_NE(T.First->Handle(), Old);
  EXPECT_EQ(T.First->Text(), "typed");
  EXPECT_EQ(SendMessageA(T.First->Handle(), EM_GETPASSWORDCHAR, 0, 0), '*');
}

TEST(ControlsWindows, AlignAndAnchorsFollowTheParentsSize) {
  TForm Form(Application);
  Form.SetClientSize(300, 200);
  auto* Top = new TPanel(&Form);
  Top->SetParent(&Form);
  Top->SetHeight(30);
  Top->SetAlign(alTop);
  auto* Rest = new TPanel(&Form);
  Rest->SetParent(&Form);
  Rest->SetAlign(alClient);
  auto* Corner = new TButton(Top);
  Corner->SetParent(Top);
  Corner->SetBounds(200, 2, 90, 25);
  Corner->SetAnchors({akTop, akRight});
  EXPECT_EQ(Top->Width(), 300);
  EXPECT_EQ(Rest->Top(), 30);
  EXPECT_EQ(Rest->Height(), 170);
  Form.SetClientSize(400, 250);
  EXPECT_EQ(Top->Width(), 400);
  EXPECT_EQ(Rest->Height(), 220);
  EXPECT_EQ(Corner->Left(), 300) << "anchored to the right, it moves with the right edge";
  Form.Show();
  PumpFor(20);
  Form.SetClientHeight(200);
  RECT R;
  GetWindowRect(Rest->Handle(), &R);
  EXPECT_EQ(R.bottom - R.top, 170) << "the window follows";
}

TEST(ControlsWindows, AListBoxKeepsItsItemsAndSelectionAcrossItsWindowAndClicksOnKeys) {
  TForm Form(Application);
  auto* List = new TListBox(&Form);
  List->SetParent(&Form);
  for (const char* Item : {"один", "два", "три"}) List->Items()->Add(Item);
  List->SetItemIndex(1);
  int Clicks = 0;
  List->OnClick = [&](TObject*) { ++Clicks; };
  Form.Show();
  EXPECT_EQ(SendMessageA(List->Handle(), LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(List->ItemIndex(), 1);
  List->SetFocus();
  PressKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Clicks == 1; }));
  EXPECT_EQ(List->ItemIndex(), 2);
  List->SetItemIndex(0);
  EXPECT_EQ(Clicks, 1) << "code that selects does not click";
  List->Items()->Delete(2);
  EXPECT_EQ(SendMessageA(List->Handle(), LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(List->ItemIndex(), 0);
  List->SetItemIndex(5);
  EXPECT_EQ(List->ItemIndex(), -1);
}

}  // namespace
