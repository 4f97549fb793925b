// Page control with hidden tabs, and the status bar.
#include "forms/ComCtrls.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include "FormsTestKit.h"
#include "forms/Forms.h"

namespace {

AnsiString TabText(HWND Tabs, int Index) {
  char Buffer[100] = {};
  TCITEMA Item{};
  Item.mask = TCIF_TEXT;
  Item.pszText = Buffer;
  Item.cchTextMax = sizeof Buffer;
  SendMessageA(Tabs, TCM_GETITEMA, Index, reinterpret_cast<LPARAM>(&Item));
  return Buffer;
}

TEST(ComCtrls, HiddenTabsLeaveTheBarAndHidingTheActiveOneMovesOn) {
  TForm Form(Application);
  Form.SetClientSize(400, 300);
  auto* Pages = new TPageControl(&Form);
  Pages->SetParent(&Form);
  Pages->SetAlign(alClient);
  TTabSheet* Sheets[3];
  const char* Captions[] = {"&1. Запрос", "Информация", "&2. Установка"};
  for (int I = 0; I < 3; ++I) {
    Sheets[I] = new TTabSheet(&Form);
    Sheets[I]->SetPageControl(Pages);
    Sheets[I]->SetCaption(Captions[I]);
  }
  Sheets[1]->SetTabVisible(false);
  Form.Show();
  PumpFor(20);
  HWND Tabs = Pages->Handle();
  ASSERT_EQ(TabCtrl_GetItemCount(Tabs), 2);
  EXPECT_EQ(TabText(Tabs, 1), "&2. Установка");
  EXPECT_EQ(Pages->ActivePage(), Sheets[0]);
  EXPECT_TRUE(IsWindowVisible(Sheets[0]->Handle()));
  EXPECT_FALSE(IsWindowVisible(Sheets[2]->Handle()));

  Sheets[0]->SetTabVisible(false);
  EXPECT_EQ(Pages->ActivePage(), Sheets[2]);
  EXPECT_EQ(TabCtrl_GetItemCount(Tabs), 1);
  EXPECT_TRUE(IsWindowVisible(Sheets[2]->Handle()));
  EXPECT_FALSE(IsWindowVisible(Sheets[0]->Handle()));

  RECT Client;
  GetWindowRect(Sheets[2]->Handle(), &Client);
  EXPECT_GT(Client.right - Client.left, 380) << "pages fill the display area";
}

TEST(ComCtrls, StatusBarShowsItsSimpleText) {
  TForm Form(Application);
  auto* Bar = new TStatusBar(&Form);
  Bar->SetParent(&Form);
  Bar->SetSimpleText("Генерация ключа...");
  Form.Show();
  char Buffer[100] = {};
  // In simple mode the bar answers the simple text for part 0.
  SendMessageA(Bar->Handle(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(Buffer));
  EXPECT_STREQ(Buffer, "Генерация ключа...");
  EXPECT_EQ(Bar->Top() + Bar->Height(), Form.ClientHeight()) << "aligned to the bottom";
}

}  // namespace
