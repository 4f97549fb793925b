// The edit actions on a focused edit control, and a control taking an
// action itself.
#include "forms/ActnList.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "FormsTestKit.h"
#include "forms/Clipbrd.h"
#include "forms/Forms.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

namespace {

struct TEditForm {
  TForm* Form = new TForm(Application);
  TEdit* Edit = new TEdit(Form);
  TEditForm() {
    Form->SetBounds(60, 60, 300, 120);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 200, 21);
    Edit->SetText("abcdef");
    Form->Show();
    Edit->SetFocus();
    PumpFor(20);
  }
  ~TEditForm() { delete Form; }
  void Select(int Start, int Length) {
    Edit->SetSelStart(Start);
    Edit->SetSelLength(Length);
  }
};

TEST(EditActions, WorkOnTheFocusedEditAndFollowItsSelection) {
  TEditForm F;
  TEditCopy Copy(nullptr);
  TEditCut Cut(nullptr);
  TEditPaste Paste(nullptr);
  TEditSelectAll All(nullptr);
  TEditDelete Delete(nullptr);
  F.Select(0, 0);
  for (TAction* A : std::initializer_list<TAction*>{&Copy, &Cut, &Delete}) {
    EXPECT_TRUE(A->Update());
    EXPECT_FALSE(A->Enabled) << "nothing selected";
  }
  // Execute runs only what the last update enabled.
  auto Run = [](TAction& A) { return A.Update() && A.Execute(); };
  F.Select(1, 2);
  EXPECT_FALSE(Copy.Execute()) << "still disabled";
  EXPECT_TRUE(Run(Copy));
  EXPECT_EQ(Clipboard()->AsText(), "bc");
  EXPECT_TRUE(Run(Cut));
  EXPECT_EQ(F.Edit->Text(), "adef");
  F.Select(4, 0);
  EXPECT_TRUE(Paste.Update());
  EXPECT_TRUE(Paste.Enabled);
  EXPECT_TRUE(Run(Paste));
  EXPECT_EQ(F.Edit->Text(), "adefbc");
  F.Select(0, 1);
  EXPECT_TRUE(Run(Delete));
  EXPECT_EQ(F.Edit->Text(), "defbc");
  EXPECT_TRUE(Run(All));
  EXPECT_EQ(F.Edit->SelLength(), 5);
  F.Edit->SetReadOnly(true);
  Cut.Update();
  EXPECT_FALSE(Cut.Enabled) << "a read-only edit gives nothing up";
}

class TTakingEdit : public TEdit {
 public:
  using TEdit::TEdit;
  int Taken = 0;
  bool ExecuteAction(TBasicAction*) override {
    ++Taken;
    return true;
  }
};

TEST(EditActions, AControlMayTakeTheActionItselfAndOtherwiseOnExecuteRuns) {
  TEditForm F;
  auto* Taking = new TTakingEdit(F.Form);
  Taking->SetParent(F.Form);
  Taking->SetBounds(10, 40, 100, 21);
  Taking->SetText("xyz");
  Taking->SetFocus();
  PumpFor(20);
  TEditSelectAll All(nullptr);
  EXPECT_TRUE(All.Execute());
  EXPECT_EQ(Taking->Taken, 1);
  EXPECT_EQ(Taking->SelLength(), 0);

  F.Edit->SetFocus();
  PumpFor(20);
  TBasicAction Plain(nullptr);
  EXPECT_FALSE(Plain.Execute()) << "nobody takes it";
  int Runs = 0;
  Plain.OnExecute = [&](TObject*) { ++Runs; };
  EXPECT_TRUE(Plain.Execute());
  EXPECT_EQ(Runs, 1);
}

class TUpdatingEdit : public TEdit {
 public:
  using TEdit::TEdit;
  std::vector<TBasicAction*> Asked;
  bool UpdateAction(TBasicAction* Action) override {
    Asked.push_back(Action);
    return true;
  }
};

// Once no message waits, every action of every list is updated, the
// focused control asked first.
TEST(ActionLists, TheIdleLoopUpdatesEveryActionThroughTheFocusedControl) {
  TEditForm F;
  auto* Updating = new TUpdatingEdit(F.Form);
  Updating->SetParent(F.Form);
  Updating->SetBounds(10, 40, 100, 21);
  Updating->SetFocus();
  PumpFor(20);
  TActionList List(nullptr);
  TAction First(nullptr), Second(nullptr);
  First.SetActionList(&List);
  Second.SetActionList(&List);
  Application->ProcessMessages();
  Later([] {}, 10);
  Application->HandleMessage();
  EXPECT_EQ(Updating->Asked, (std::vector<TBasicAction*>{&First, &Second}));

  // The edit actions follow the focused edit's selection at idle.
  F.Edit->SetFocus();
  PumpFor(20);
  TEditCopy Copy(nullptr);
  Copy.SetActionList(&List);
  F.Select(0, 0);
  Application->ProcessMessages();
  Later([] {}, 10);
  Application->HandleMessage();
  EXPECT_FALSE(Copy.Enabled);
}

TEST(ShortCuts, ReadAsMenusShowThem) {
  const struct {
    TShortCut Key;
    const char* Text;
  } cases[] = {{0x6000 | VK_F4, "Shift+Ctrl+F4"}, {0x4000 | VK_ADD, "Ctrl+Num +"}, {VK_INSERT, "Ins"},
               {0x8000 | VK_BACK, "Alt+BkSp"},     {0x4000 | 'X', "Ctrl+X"},       {0, ""}};
  for (const auto& c : cases) EXPECT_EQ(ShortCutToText(c.Key), c.Text) << c.Text;
}

// A menu item bound to an action shows the action as it is now and runs
// it; the action's end unbinds it.
TEST(MenuItems, FollowTheirAction) {
  auto* Action = new TAction(nullptr);
  Action->Caption = "Копия";
  Action->ShortCut = 0x2000 | VK_F3;
  Action->Enabled = false;
  Action->Checked = true;
  Action->ImageIndex = 0;
  int Runs = 0;
  Action->OnExecute = [&](TObject*) { ++Runs; };
  TPopupMenu Menu(nullptr);
  auto* Item = new TMenuItem(&Menu);
  Menu.Items()->Add(Item);
  Item->SetAction(Action);
  EXPECT_EQ(Item->Caption(), "Копия");
  EXPECT_FALSE(Item->Enabled());
  EXPECT_TRUE(Item->Checked());
  Item->Click();
  EXPECT_EQ(Runs, 0) << "disabled";
  Action->Caption = "Новая";
  Action->Enabled = true;
  Item->Click();
  EXPECT_EQ(Runs, 1);

  TImageList Images(nullptr);
  TBitmap Picture;
  Picture.SetSize(16, 16);
  Images.AddMasked(&Picture, clFuchsia);
  HMENU Handle = CreatePopupMenu();
  std::vector<HBITMAP> Bitmaps;
  Menu.Items()->AppendTo(Handle, &Images, &Bitmaps);
  char Text[64] = {};
  GetMenuStringA(Handle, 0, Text, sizeof Text, MF_BYPOSITION);
  EXPECT_STREQ(Text, "Новая\tShift+F3");
  EXPECT_EQ(GetMenuState(Handle, 0, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED), UINT{MF_CHECKED});
  MENUITEMINFOA Info{};
  Info.cbSize = sizeof(Info);
  Info.fMask = MIIM_BITMAP;
  GetMenuItemInfoA(Handle, 0, TRUE, &Info);
  EXPECT_EQ(Bitmaps.size(), 1u);
  EXPECT_NE(Info.hbmpItem, nullptr);
  DestroyMenu(Handle);
  for (HBITMAP Bitmap : Bitmaps) DeleteObject(Bitmap);

  // An item's own caption stays.
  Item->SetCaption("Своя");
  EXPECT_EQ(Item->Caption(), "Своя");
  delete Action;
  EXPECT_EQ(Item->Action(), nullptr);
  EXPECT_EQ(Item->Caption(), "Своя");
}

// A key press goes first to the actions of the focused control's form,
// then to those of lists no form owns; a disabled action lets it through
// to the control, and an action that ran keeps it from the control.
TEST(ShortCuts, TheFormsActionsComeFirstAndADisabledOneLetsTheKeyThrough) {
  TEditForm F;
  F.Select(6, 0);
  std::vector<std::string> Ran;
  auto* FormList = new TActionList(F.Form);
  auto* FormAction = new TAction(F.Form);
  TActionList Shared(nullptr);
  TAction SharedAction(nullptr);
  for (auto [Action, List, Name] :
       {std::tuple{FormAction, FormList, "form"}, std::tuple{&SharedAction, &Shared, "shared"}}) {
    Action->ShortCut = 'X';
    Action->SetActionList(List);
    Action->OnExecute = [&Ran, Name = Name](TObject*) { Ran.push_back(Name); };
  }
  const struct {
    bool FormEnabled, SharedEnabled;
    const char* Ran;  // null: none
    const char* Text;
  } Cases[] = {
      {true, true, "form", "abcdef"},
      {false, true, "shared", "abcdef"},
      {false, false, nullptr, "abcdefx"},
  };
  for (const auto& C : Cases) {
    Ran.clear();
    FormAction->Enabled = C.FormEnabled;
    SharedAction.Enabled = C.SharedEnabled;
    PressKey('X');
    PumpFor(50);
    EXPECT_EQ(Ran, C.Ran ? std::vector<std::string>{C.Ran} : std::vector<std::string>{});
    EXPECT_EQ(F.Edit->Text(), C.Text);
  }
}

}  // namespace
