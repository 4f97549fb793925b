// The pick-one dialog through its real window, its radio group, and the
// flat button with its panel.
#include "common/UMakeChoice.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "common/SButton.h"
#include "forms/ScriptedPrompts.h"

namespace {

const std::vector<AnsiString> Three{"Первый сертификат", "Второй сертификат", "Третий сертификат"};

TfmMakeChoice* OpenDialog() { return dynamic_cast<TfmMakeChoice*>(Screen->ActiveForm()); }

TEST(MakeChoice, EnterTakesTheDefaultAndEscCancels) {
  int CheckedOnOpen = -1;
  Later([&] {
    if (TfmMakeChoice* Form = OpenDialog()) CheckedOnOpen = Form->rgChoiceList->ItemIndex();
    PressKey(VK_RETURN);
  });
  EXPECT_EQ(MakeChoice(nullptr, Three, "", 2, ""), 2);
  EXPECT_EQ(CheckedOnOpen, 1);
  Later([] { PressKey(VK_ESCAPE); });
  EXPECT_EQ(MakeChoice(nullptr, Three, "", 2, ""), 0);
}

TEST(MakeChoice, ADoubleClickOnAnItemChoosesIt) {
  // The second press comes after the first click is handled, as a
  // person's does: the group drops mouse messages queued before it.
  auto Press = [](UINT Down) {
    HWND Third = OpenDialog()->rgChoiceList->Buttons(2)->Handle();
    PostMessageA(Third, Down, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageA(Third, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  };
  Later([=] {
    Press(WM_LBUTTONDOWN);
    Later([=] { Press(WM_LBUTTONDBLCLK); }, 20);
  });
  EXPECT_EQ(MakeChoice(nullptr, Three, "Выберите", 1, ""), 3);
}

TEST(MakeChoice, ThePromptAndTheButtonsWork) {
  AnsiString Caption, Prompt;
  Later([&] {
    TfmMakeChoice* Form = OpenDialog();
    Caption = Form->Caption();
    Prompt = Form->lAddText->Visible() ? Form->lAddText->Caption() : "";
    Form->btnCancel->Click();
  });
  EXPECT_EQ(MakeChoice(nullptr, Three, "", 1, "Найдено несколько сертификатов"), 0);
  EXPECT_EQ(Caption, "Ваш выбор:");
  EXPECT_EQ(Prompt, "Найдено несколько сертификатов");
  Later([] { OpenDialog()->btnOK->Click(); });
  EXPECT_EQ(MakeChoice(nullptr, Three, "", 3, ""), 3);
}

TEST(MakeChoice, ALongListStartsAtTheTopWithAScrollBar) {
  std::vector<AnsiString> Many;
  for (int I = 0; I < 100; ++I) Many.push_back("Ключ " + IntToStr(I));
  int Top = -1;
  bool Scrolls = false;
  Later([&] {
    TfmMakeChoice* Form = OpenDialog();
    Top = Form->Top();
    Scrolls = GetWindowLongA(Form->ScrollBox->Handle(), GWL_STYLE) & WS_VSCROLL;
    PressKey(VK_ESCAPE);
  });
  MakeChoice(nullptr, Many, "", 0, "");
  EXPECT_EQ(Top, 0);
  EXPECT_TRUE(Scrolls);
}

TEST(MakeChoice, GoesThroughThePrompts) {
  TScriptedPrompts Script;
  Script.Answer(3);
  EXPECT_EQ(MakeChoice(nullptr, Three, "Выбор", 1, "Подсказка"), 3);
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Options, Three);
  EXPECT_EQ(Script.Asked[0].Default, 1);
  EXPECT_EQ(Script.Asked[0].Text, "Подсказка");
}

TEST(SRadioGroup, ClampsAndLaysOutColumnByColumn) {
  TForm Form(Application);
  auto* Group = new TSRadioGroup(&Form);
  Group->SetParent(&Form);
  Group->SetBounds(0, 0, 210, 105);
  Group->SetColumns(0);
  EXPECT_EQ(Group->Columns(), 1);
  Group->SetColumns(20);
  EXPECT_EQ(Group->Columns(), 16);
  Group->SetColumns(2);
  for (const char* Item : {"a", "b", "c", "d", "e"}) Group->Items()->Add(Item);
  Group->SetItemIndex(7);
  EXPECT_EQ(Group->ItemIndex(), 4) << "beyond the last item checks the last";
  EXPECT_TRUE(Group->Buttons(4)->Checked());
  Group->SetItemIndex(-5);
  EXPECT_EQ(Group->ItemIndex(), -1);
  EXPECT_FALSE(Group->Buttons(4)->Checked());
  // Three rows in two columns: column of item 3 is the second.
  EXPECT_EQ(Group->Buttons(0)->Left(), 8);
  EXPECT_EQ(Group->Buttons(3)->Left(), 8 + 100);
  EXPECT_EQ(Group->Buttons(1)->Top() - Group->Buttons(0)->Top(), Group->Buttons(0)->Height());
  EXPECT_EQ(Group->Buttons(3)->Top(), Group->Buttons(0)->Top());
}

// An empty group used to divide by zero when it was laid out.
TEST(SRadioGroup, AnEmptyGroupSurvivesLayout) {
  TForm Form(Application);
  auto* Group = new TSRadioGroup(&Form);
  Group->SetParent(&Form);
  Group->Items()->Add("x");
  Group->Items()->Clear();
  Group->SetBounds(0, 0, 100, 50);
  Group->SetColumns(3);
  Group->Font()->SetSize(12);
  EXPECT_EQ(Group->ButtonCount(), 0);
}

TEST(SRadioGroup, AClickOnAButtonChoosesAndClicksTheGroup) {
  TForm Form(Application);
  auto* Group = new TSRadioGroup(&Form);
  Group->SetParent(&Form);
  Group->SetBounds(0, 0, 200, 100);
  for (const char* Item : {"a", "b"}) Group->Items()->Add(Item);
  int Clicks = 0;
  Group->OnClick = [&](TObject*) { ++Clicks; };
  Form.Show();
  SendMessageA(Group->Buttons(1)->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(Group->ItemIndex(), 1);
  EXPECT_EQ(Clicks, 1);
  Group->SetItemIndex(0);
  EXPECT_EQ(Clicks, 1) << "setting the index in code does not click";
}

TEST(SButton, AClickSetsTheFormsModalResultFirst) {
  TForm Form(Application);
  auto* Button = new TSButton(&Form);
  Button->SetParent(&Form);
  Button->SetModalResult(mrYes);
  TModalResult SeenInClick = mrNone;
  Button->OnClick = [&](TObject*) { SeenInClick = Form.ModalResult(); };
  Button->Click();
  EXPECT_EQ(SeenInClick, mrYes);
  EXPECT_TRUE(Button->Flat());
  EXPECT_EQ(Button->Font()->Color(), clBlack);
}

TEST(SPanel, ArrangesALeadingAndATrailingGroup) {
  TForm Form(Application);
  Form.SetClientSize(400, 100);
  auto* Panel = new TSPanel(&Form);
  Panel->SetParent(&Form);
  Panel->SetBounds(0, 0, 400, 40);
  Panel->SetButtonArrange(2);
  TSButton* Buttons[3];
  const char* Captions[] = {"&Первая", "Вторая", "Закрыть"};
  for (int I = 0; I < 3; ++I) {
    Buttons[I] = new TSButton(&Form);
    Buttons[I]->SetParent(Panel);
    Buttons[I]->SetCaption(Captions[I]);
  }
  Buttons[2]->SetAnchors({akTop, akRight});
  Form.Show();
  PumpFor(50);
  int Border = 1;
  EXPECT_EQ(Buttons[0]->Left(), Border);
  EXPECT_EQ(Buttons[1]->Left(), Buttons[0]->Left() + Buttons[0]->Width() + 1);
  EXPECT_EQ(Buttons[0]->Height(), 21);
  EXPECT_EQ(Buttons[2]->Left() + Buttons[2]->Width(), 400 - Border)
      << "the trailing group ends at the right";
  EXPECT_EQ(Panel->Height(), 2 * Border + 22 + 1);
  Buttons[1]->SetVisible(false);
  PumpFor(50);
  EXPECT_EQ(Buttons[2]->Left() + Buttons[2]->Width(), 400 - Border);
}

}  // namespace
