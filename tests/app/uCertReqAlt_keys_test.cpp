// The request form's keys as a person presses them, through the system's
// input queue: the PIN box, select all, the drop-down lists, the clipboard
// and undo keys of the digit fields, the fields' context menu, and the
// question about a request that was not saved.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "DialogAnswerer.h"
#include "FormsTestKit.h"
#include "MainFormOnToken.h"
#include "app/uTokenWork.h"
#include "common/uTools.h"
#include "forms/Clipbrd.h"

namespace {

bool ListOpen(TWinControl* Field) {
  if (auto* Requisite = dynamic_cast<TCustomDBComboBoxKs*>(Field)) return Requisite->ListVisible();
  return static_cast<TCustomComboBox*>(Field)->DroppedDown();
}

bool InMenuMode() {
  GUITHREADINFO Info{};
  Info.cbSize = sizeof Info;
  return GetGUIThreadInfo(GetCurrentThreadId(), &Info) && (Info.flags & GUI_INMENUMODE);
}

class FormKeysTest : public MainFormOnToken {
 protected:
  void Focus(TWinControl* Field) {
    Field->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return Form->ActiveControl() == Field && GetFocus(); }));
  }
  // The field of that name, emptied and focused.
  TWinControl* FocusEmpty(const char* Name) {
    auto* Field = static_cast<TWinControl*>(Form->FindComponent(Name));
    Field->SetText("");
    Focus(Field);
    return Field;
  }
  // The same after the keys that open its list, once it is open.
  TWinControl* OpenList(const char* Name, const std::function<void()>& Keys) {
    TWinControl* Field = FocusEmpty(Name);
    Keys();
    PumpUntil([&] { return ListOpen(Field); });
    return Field;
  }
  // Where a dialog's answers go: the window in front of everything else.
  static void InFront(HWND Dialog) {
    SetForegroundWindow(Dialog);
    PumpUntil([&] { return GetForegroundWindow() == Dialog; });
  }
};

// The focused edit's selection, as the system edit holds it.
std::pair<int, int> Selection() {
  DWORD Start = 0, End = 0;
  SendMessageA(GetFocus(), EM_GETSEL, reinterpret_cast<WPARAM>(&Start),
               reinterpret_cast<LPARAM>(&End));
  return {static_cast<int>(Start), static_cast<int>(End)};
}

void PressCtrl(WORD Key) {
  PressKeys(Key, {VK_CONTROL});
  PumpFor(40);
}

void PutOnClipboard(const AnsiString& Text) {
  Clipboard()->SetAsText(Text);
  ASSERT_EQ(Clipboard()->AsText(), Text);
}

TEST_F(FormKeysTest, ThePinBoxOffersItsValueSelectedAndCtrlASelectsItAgain) {
  struct Case {
    const char* Doing;
    std::function<void()> Keys;
    AnsiString Pin;
  } Cases[] = {
      {"Enter keeps the value", [] {}, "40715382"},
      {"typing replaces it", [] { TypeText("1234"); }, "1234"},
      {"typed after the value once the caret moved, then all selected and typed over",
       [] {
         PressKey(VK_END);
         TypeText("9");
         PressCtrl('A');
         TypeText("77");
       },
       "77"},
  };
  // The real box, not the scripted answers.
  IPrompts* Scripted = SetPrompts(nullptr);
  for (const Case& C : Cases) {
    std::pair<int, int> Offered{-1, -1};
    auto Answerer = TDialogAnswerer::Start({{Titled("Укажите пин-код"), [&](HWND Box) {
                                               InFront(Box);
                                               Offered = Selection();
                                               C.Keys();
                                               PressKey(VK_RETURN);
                                             }}});
    AnsiString Pin;
    ASSERT_TRUE(AskTokenPin(Pin)) << C.Doing;
    EXPECT_TRUE(Answerer->Done());
    EXPECT_EQ(Offered, std::make_pair(0, 8)) << "the offered PIN comes up selected";
    EXPECT_EQ(Pin, C.Pin) << C.Doing;
  }
  SetPrompts(Scripted);
}

TEST_F(FormKeysTest, CtrlASelectsAllInTheRequisiteFields) {
  for (TWinControl* Field : std::initializer_list<TWinControl*>{
           Form->edtSN, Form->edtSNILS, Form->dbeCategory, Form->edtST, Form->edtOU}) {
    SCOPED_TRACE(Field->Name());
    Field->SetText("1234567");
    Focus(Field);
    PressKey(VK_END);
    PumpFor(30);
    ASSERT_EQ(Selection(), std::make_pair(7, 7));
    PressCtrl('A');
    EXPECT_EQ(Selection(), std::make_pair(0, 7));
    EXPECT_EQ(Field->Text(), "1234567") << "the character of Ctrl+A changes nothing";
  }
}

// --- The owner type

// The radio button of the owner type that has the focus; -1 for none.
int FocusedOwnerType(TfCertRequestAlt& F) {
  for (int I = 0; I < F.rgCertOwnerType->ButtonCount(); ++I)
    if (GetFocus() == F.rgCertOwnerType->Buttons(I)->Handle()) return I;
  return -1;
}

// A failed check that names the owner type leaves the focus on one of its
// buttons, where Space chooses; with no type chosen Tab and Shift+Tab still
// reach the group. The group box itself used to take the focus and show
// none, and with nothing chosen Tab passed it by.
TEST_F(FormKeysTest, TheOwnerTypeTakesTheFocusOnAButtonAndTabReachesItWithNoneChosen) {
  TfCertRequestAlt& F = *Form;
  struct Case {
    int Chosen;
    const char* Message;
  } Cases[] = {
      {0, "Укажите ИНН!"},
      {1, "Укажите ИНН!"},
      {-1, "Не указан тип владельца сертификата!"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Chosen);
    F.rgCertOwnerType->SetItemIndex(C.Chosen);
    F.rgCertOwnerTypeClick(F.rgCertOwnerType);
    F.edtINN->SetText("");
    Focus(F.edtSN);
    Script.Asked.clear();
    Press(F.btnOK);
    ASSERT_EQ(Script.Asked.size(), 1u);
    EXPECT_EQ(Script.Asked[0].Text, C.Message);
    int Expected = C.Chosen >= 0 ? C.Chosen : 0;
    EXPECT_TRUE(PumpUntil([&] { return FocusedOwnerType(F) == Expected; }))
        << "the focus is on " << FocusedOwnerType(F);
    EXPECT_EQ(F.ActiveControl(), F.rgCertOwnerType->Buttons(Expected));

    PressKey(VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return F.ActiveControl() == F.edtSN; }));
    PressKey(VK_TAB, true);
    EXPECT_TRUE(PumpUntil([&] { return FocusedOwnerType(F) == Expected; }))
        << "Shift+Tab from the surname";
    if (C.Chosen < 0) {
      PressKey(VK_SPACE);
      EXPECT_TRUE(PumpUntil([&] { return F.rgCertOwnerType->ItemIndex() == 0; }))
          << "Space chooses the focused type";
    }
  }
}

// The arrow keys go through the owner types and choose as they go, round
// the end, as in any group of radio buttons; they used to move the focus
// alone.
TEST_F(FormKeysTest, ArrowKeysChooseTheOwnerTypeTheyMoveTo) {
  TfCertRequestAlt& F = *Form;
  F.rgCertOwnerType->SetItemIndex(0);
  F.rgCertOwnerTypeClick(F.rgCertOwnerType);
  Focus(F.rgCertOwnerType->Buttons(0));
  const AnsiString Entrepreneur = "Сведения об индивидуальном предпринимателе";
  const AnsiString Organisation = "Сведения об организации";
  struct Step {
    WORD Key;
    int Chosen;
    const AnsiString& Caption;
  } Steps[] = {
      {VK_RIGHT, 1, Entrepreneur},
      {VK_DOWN, 0, Organisation},
      {VK_UP, 1, Entrepreneur},
      {VK_LEFT, 0, Organisation},
  };
  for (const Step& S : Steps) {
    SCOPED_TRACE(S.Key);
    PressKey(S.Key);
    EXPECT_TRUE(PumpUntil([&] { return F.rgCertOwnerType->ItemIndex() == S.Chosen; }))
        << "chosen: " << F.rgCertOwnerType->ItemIndex();
    EXPECT_EQ(FocusedOwnerType(F), S.Chosen);
    EXPECT_EQ(F.gbOrgSettings->Text(), S.Caption) << "the choice ran the owner type's layout";
  }
}

// --- The pages

// Ctrl+Tab and Ctrl+Shift+Tab turn the pages whose tabs show, round the
// end, and the focus goes along into the page shown; they used to do
// nothing.
TEST_F(FormKeysTest, CtrlTabAndCtrlShiftTabTurnTheShownPagesAndTheFocusGoesAlong) {
  TfCertRequestAlt& F = *Form;
  Focus(F.edtSN);
  TWinControl* FirstOnMain = F.rgCertOwnerType->Buttons(F.rgCertOwnerType->ItemIndex());
  struct Step {
    bool Back;
    TTabSheet* Page;
    TWinControl* Focused;
  } Steps[] = {
      {false, F.tsInstallCert, F.edtCertFileName},
      {false, F.tsMain, FirstOnMain},
      {true, F.tsInstallCert, F.edtCertFileName},
      {true, F.tsMain, FirstOnMain},
  };
  for (const Step& S : Steps) {
    SCOPED_TRACE(S.Page->Name());
    if (S.Back)
      PressKeys(VK_TAB, {VK_CONTROL, VK_SHIFT});
    else
      PressKeys(VK_TAB, {VK_CONTROL});
    EXPECT_TRUE(PumpUntil([&] { return F.PageControl->ActivePage() == S.Page; }))
        << "the page shown is " << F.PageControl->ActivePage()->Name();
    EXPECT_TRUE(PumpUntil([&] { return F.ActiveControl() == S.Focused && GetFocus(); }))
        << "the focus is on " << (F.ActiveControl() ? F.ActiveControl()->Name() : "nothing");
  }
}

// --- The drop-down requisites

struct TDropDownCase {
  const char* Field;
  const char* Letter;  // typed into the open list
};
const TDropDownCase DropDowns[] = {
    {"dbeCategory", "Д"}, {"edtST", "Ч"}, {"edtL", "К"}, {"edtOU", "Б"}};

// Alt+Down with Alt let go first, then Down, as hands often do.
void PressAltDownLettingAltGoFirst() {
  INPUT Inputs[4] = {};
  const WORD Keys[] = {VK_MENU, VK_DOWN, VK_MENU, VK_DOWN};
  for (int I = 0; I < 4; ++I) {
    Inputs[I].type = INPUT_KEYBOARD;
    Inputs[I].ki.wVk = Keys[I];
    Inputs[I].ki.dwFlags = I < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  SendInput(4, Inputs, sizeof(INPUT));
}

// Whether the keys start the window menu. A menu holds the keys that
// follow in its own loop: one started is ended from there.
bool StartsMenu(const std::function<void()>& Keys) {
  bool Started = false;
  Later([&] {
    Started = InMenuMode();
    if (Started) EndMenu();
  }, 150);
  Keys();
  PumpFor(300);
  return Started;
}

TEST_F(FormKeysTest, TypingInAListOpenedByAltDownGoesToTheFieldAndOneEscClosesIt) {
  Focus(Form->edtSN);
  ASSERT_TRUE(StartsMenu([] { PressKey(VK_MENU); })) << "Alt alone starts it, as ever";
  for (const TDropDownCase& C : DropDowns) {
    SCOPED_TRACE(C.Field);
    bool MenuStarted = true;
    TWinControl* Field = OpenList(
        C.Field, [&] { MenuStarted = StartsMenu(PressAltDownLettingAltGoFirst); });
    ASSERT_TRUE(ListOpen(Field));
    EXPECT_FALSE(MenuStarted) << "letting Alt go after Alt+Down starts no menu";
    TypeUnicode(C.Letter);
    EXPECT_TRUE(PumpUntil([&] { return Field->Text().starts_with(C.Letter); }))
        << "the letter went to the field: " << Field->Text();
    EXPECT_TRUE(ListOpen(Field));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return !ListOpen(Field); })) << "one Esc closes the list";
    EXPECT_EQ(Form->ActiveControl(), Field);
    EXPECT_TRUE(Field->Text().starts_with(C.Letter)) << Field->Text();
    // The next key is the field's again.
    Field->SetText("");
    TypeUnicode("1");
    EXPECT_TRUE(PumpUntil([&] { return Field->Text().starts_with("1"); })) << Field->Text();
    PressKey(VK_ESCAPE);
    PumpUntil([&] { return !ListOpen(Field); });
  }
}

TEST_F(FormKeysTest, F4OpensAndClosesEveryList) {
  for (const TDropDownCase& C : DropDowns) {
    SCOPED_TRACE(C.Field);
    TWinControl* Field = OpenList(C.Field, [] { PressKey(VK_F4); });
    EXPECT_TRUE(ListOpen(Field));
    PressKey(VK_F4);
    EXPECT_TRUE(PumpUntil([&] { return !ListOpen(Field); }));
    EXPECT_EQ(Form->ActiveControl(), Field);
  }
}

// --- The digit fields

TEST_F(FormKeysTest, ClipboardAndUndoKeysWorkInTheDigitFieldsAndPastesPassTheirFilter) {
  for (TDBEditKs* Field : {Form->edtSNILS, Form->edtOGRN, Form->edtINN, Form->edtKPP}) {
    SCOPED_TRACE(Field->Name());
    Field->SetText("");
    Focus(Field);
    TypeText("123");
    ASSERT_TRUE(PumpUntil([&] { return Field->Text() == "123"; }));
    PressCtrl('A');
    PutOnClipboard("");
    PressCtrl('C');
    EXPECT_EQ(Clipboard()->AsText(), "123") << "Ctrl+C";
    PressCtrl('X');
    EXPECT_EQ(Field->Text(), "") << "Ctrl+X";
    PressCtrl('Z');
    EXPECT_EQ(Field->Text(), "123") << "Ctrl+Z takes the cut back";
    Field->SetText("");
    PressCtrl('V');
    EXPECT_EQ(Field->Text(), "123") << "Ctrl+V";
    PressCtrl('Z');
    EXPECT_EQ(Field->Text(), "") << "Ctrl+Z takes the paste back";

    // Letters on the clipboard: what the filter refuses stays out.
    PutOnClipboard("4a5-б.6 7");
    PressKey(VK_INSERT, true);
    PumpFor(40);
    EXPECT_EQ(Field->Text(), "45.67") << "Shift+Ins";
    PressCtrl('A');
    PressCtrl('V');
    EXPECT_EQ(Field->Text(), "45.67") << "Ctrl+V";
    PutOnClipboard("ИНН");
    PressCtrl('A');
    PressCtrl('V');
    EXPECT_EQ(Field->Text(), "45.67") << "nothing of it passes: the selection stays";
    EXPECT_EQ(Selection(), std::make_pair(0, 5));
  }
}

// --- The context menu of a field

// The system edit's menu: undo, -, cut, copy, paste, delete, -, select all.
enum TEditMenuItem { miUndo = 0, miCut = 2, miCopy = 3, miPaste = 4, miDelete = 5 };

struct TMenuSeen {
  bool Shown = false;
  bool Enabled[8] = {};
};

// Opens the field's context menu with a right click, notes which items
// are enabled, and then Act (Esc to close it).
TMenuSeen ContextMenuOf(TWinControl* Field, const std::function<void()>& Act) {
  TMenuSeen Seen;
  Later(
      [&] {
        HWND Menu = FindWindowA("#32768", nullptr);
        auto Items = reinterpret_cast<HMENU>(SendMessageA(Menu, 0x01E1 /* MN_GETHMENU */, 0, 0));
        if (!Menu || !Items) return;
        Seen.Shown = true;
        for (UINT I = 0; I < 8; ++I)
          Seen.Enabled[I] = !(GetMenuState(Items, I, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
        Act();
      },
      300);
  RECT R;
  GetWindowRect(Field->Handle(), &R);
  ClickAt({R.left + 8, R.top + 5}, {}, true);
  PumpUntil([&] { return Seen.Shown && !FindWindowA("#32768", nullptr); }, 3000);
  return Seen;
}

TEST_F(FormKeysTest, AFieldsContextMenuFollowsTheClipboardAndTheSelection) {
  struct Case {
    const char* Field;
    AnsiString Clip;  // empty: nothing on the clipboard
    bool Selected;
    bool Cut, Copy, Paste, Delete;
  } Cases[] = {
      {"edtSN", "Петров", false, false, false, true, false},
      {"edtSN", "Петров", true, true, true, true, true},
      {"edtSN", "", true, true, true, false, true},
      {"edtSNILS", "112", false, false, false, true, false},
      {"edtST", "77", true, true, true, true, true},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.Field << " '" << C.Clip << "' " << C.Selected);
    auto* Field = static_cast<TCustomDBEditKs*>(Form->FindComponent(C.Field));
    Field->SetText("123");
    // Freshly focused, nothing typed yet.
    Form->edtStreet->SetFocus();
    Focus(Field);
    if (C.Selected) {
      Field->SelectAll();
    } else {
      Field->SetSelStart(1);
    }
    if (C.Clip.empty()) {
      Clipboard()->Clear();
    } else {
      PutOnClipboard(C.Clip);
    }
    TMenuSeen Seen = ContextMenuOf(Field, [] { PressKey(VK_ESCAPE); });
    ASSERT_TRUE(Seen.Shown);
    EXPECT_EQ(Seen.Enabled[miCut], C.Cut);
    EXPECT_EQ(Seen.Enabled[miCopy], C.Copy);
    EXPECT_EQ(Seen.Enabled[miPaste], C.Paste);
    EXPECT_EQ(Seen.Enabled[miDelete], C.Delete);
    EXPECT_EQ(Field->Text(), "123");
  }
}

TEST_F(FormKeysTest, PasteFromTheContextMenuPassesTheDigitFilter) {
  Form->edtINN->SetText("");
  Focus(Form->edtINN);
  PutOnClipboard("ИНН 7707 083893");
  // Down to paste: the items, disabled too, are stepped through.
  TMenuSeen Seen = ContextMenuOf(Form->edtINN, [] {
    for (int I = 0; I < 4; ++I) PressKey(VK_DOWN);
    PressKey(VK_RETURN);
  });
  ASSERT_TRUE(Seen.Shown);
  EXPECT_TRUE(Seen.Enabled[miPaste]);
  EXPECT_TRUE(PumpUntil([&] { return Form->edtINN->Text() == "7707083893"; }))
      << Form->edtINN->Text();
}

// --- The question about a request not saved

// The question is the real box; everything else is scripted.
class TRealQuestions : public IPrompts {
 public:
  explicit TRealQuestions(IPrompts& Others) : FOthers(Others), FPrevious(SetPrompts(this)) {}
  ~TRealQuestions() override { SetPrompts(FPrevious); }
  TPromptAnswer Ask(const TPrompt& Prompt, const std::function<TPromptAnswer()>& Show) override {
    if (Prompt.Kind != TPromptKind::MessageDialog) return FOthers.Ask(Prompt, Show);
    ++Questions;
    return Show();
  }
  int Questions = 0;

 private:
  IPrompts& FOthers;
  IPrompts* FPrevious;
};

TEST_F(FormKeysTest, NeitherEscNorTheCloseBoxAnswersTheQuestionAboutAnUnsavedRequest) {
  TfCertRequestAlt& F = *Form;
  F.rgCertOwnerType->SetItemIndex(0);
  F.rgCertOwnerTypeClick(F.rgCertOwnerType);
  F.edtSN->SetText("Иванов");
  F.edtGN1->SetText("Иван");
  F.edtSNILS->SetText("11223344595");
  F.edtEMAIL->SetText("ivanov@romashka.ru");
  F.dbeCategory->SetText("Директор");
  F.edtST->SetText("77 г. Москва");
  F.edtL->SetText("Москва");
  F.edtStreet->SetText("ул. Тверская, д. 1");
  F.edtO->SetText("ООО Ромашка");
  F.edtOGRN->SetText("1027700132195");
  F.edtINN->SetText("007707083893");
  AnsiString File = (Dir / "kept.req").string();
  Script.Answer(1, "40715382");
  Script.Answer(IDOK);
  Script.Answer(0);  // the save dialog cancelled
  Script.Answer(1, File);
  TRealQuestions Real(Script);
  // The box of the question: its text is drawn, its buttons are windows.
  const auto Question = [](HWND Wnd) {
    if (WindowText(Wnd) != "Подтверждение") return false;
    for (HWND Child : ChildWindows(Wnd))
      if (WindowText(Child) == "Не сохранять") return true;
    return false;
  };
  auto Answerer = TDialogAnswerer::Start({
      {Question,
       [](HWND Box) {
         InFront(Box);
         PressKey(VK_ESCAPE);
         Sleep(30);
       }},
      {Question,
       [](HWND Box) {
         PostMessageA(Box, WM_CLOSE, 0, 0);
         Sleep(30);
       }},
      {Question, [](HWND Box) { PostMessageA(Box, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      // Still there: "Сохранить", the default button.
      {Question, [](HWND Box) { PressEnterIn(Box); }},
  });
  Form->btnOKClick(Form->btnOK);
  EXPECT_TRUE(Answerer->Done()) << "the box went away before its button was pressed";
  EXPECT_EQ(Real.Questions, 1);
  EXPECT_EQ(static_cast<uint8_t>(ReadFileToString(File)[0]), 0x30) << "the request was saved";
}

}  // namespace
