// The proxy login form: its layout, the dialog through the prompts, and a
// proxy's 407 answered by typing into the real form.
#include <windows.h>

#include "app/UProxyLogin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "LoopbackServer.h"
#include "app/UHttpCommAlt.h"
#include "forms/ScriptedPrompts.h"

using ::testing::ElementsAre;

namespace {

TEST(ProxyLoginForm, AsksForUserNameAndHiddenPassword) {
  TfrmProxyLogin Form(Application);
  EXPECT_EQ(Form.Caption(), "Вход в сеть Internet");
  EXPECT_EQ(Form.Position(), poScreenCenter);
  EXPECT_TRUE(Form.KeyPreview());
  EXPECT_EQ(Form.Label1->Caption(), "Укажите имя пользователя и пароль для Вашего Proxy:");
  EXPECT_EQ(Form.lblUser->Caption(), "Пользователь:");
  EXPECT_EQ(Form.lblPassword->Caption(), "Пароль:");
  EXPECT_EQ(Form.edtPassword->PasswordChar(), '*');
  EXPECT_EQ(Form.chkSave->Caption(), "Запомнить и больше не спрашивать");
  EXPECT_TRUE(Form.chkSave->Checked());
  EXPECT_EQ(Form.btnOk->Caption(), "Ok");
  EXPECT_EQ(Form.btnOk->ModalResult(), mrOk);
  EXPECT_EQ(Form.btnCancel->Caption(), "Отмена");
  EXPECT_EQ(Form.btnCancel->ModalResult(), mrCancel);
  EXPECT_TRUE(Form.btnCancel->Cancel());
  EXPECT_EQ(Form.Bevel1->Shape(), bsFrame);
  EXPECT_EQ(Form.ActiveControl(), Form.edtUserName);
}

TEST(ProxyLoginDialog, GivesTheAnswersBackOnlyWhenConfirmed) {
  TScriptedPrompts Script;
  AnsiString User = "stored", Password = "old";
  bool Save = true;
  Script.Answers.push_back({mrOk, "user", {"pass"}, 0});
  EXPECT_TRUE(ProxyLoginDialog(User, Password, Save));
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::Login);
  EXPECT_EQ(Script.Asked[0].Value, "stored");
  EXPECT_THAT(Script.Asked[0].Options, ElementsAre("old"));
  EXPECT_EQ(User, "user");
  EXPECT_EQ(Password, "pass");
  EXPECT_FALSE(Save);

  Script.Answers.push_back({mrCancel, "other", {"other"}, 1});
  EXPECT_FALSE(ProxyLoginDialog(User, Password, Save));
  EXPECT_EQ(User, "user");
  EXPECT_EQ(Password, "pass");
  EXPECT_FALSE(Save);
}

// A proxy that wants user "user", password "pass".
class ProxyLoginTypedTest : public ::testing::Test {
 protected:
  TLoopbackServer Proxy{[](const TRecordedRequest& R) {
    if (R.Header("Proxy-Authorization") == "Basic dXNlcjpwYXNz")
      return TReply{{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nQUJD"}};
    return TReply{
        {"HTTP/1.1 407 Proxy Authentication Required\r\n"
         "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n"}};
  }};
  TSCommAlt Comm{"http://crypto.test:8080", false};
  void SetUp() override {
    Comm.ProxyServer = "127.0.0.1:" + IntToStr(Proxy.Port());
    Comm.OnProxyLogin = ProxyLoginDialog;
  }
};

TEST_F(ProxyLoginTypedTest, A407IsAnsweredInTheRealForm) {
  // Enter goes from field to field and presses the focused button.
  Later([] {
    TypeText("user");
    PressKey(VK_RETURN);
    TypeText("pass");
    PressKey(VK_RETURN);  // to the check box
    PressKey(VK_SPACE);   // not to be remembered
    PressKey(VK_RETURN);  // to Ok
    PressKey(VK_RETURN);
  });
  AnsiString Answer;
  EXPECT_TRUE(Comm.Post("/ZELT/CRYPTFORRAR", "UEsDBA==", Answer));
  EXPECT_EQ(Answer, "QUJD");
  EXPECT_EQ(Comm.ProxyUserName, "user");
  EXPECT_EQ(Comm.ProxyPassword, "pass");
  EXPECT_FALSE(Comm.SaveProxyPassword);
  EXPECT_EQ(Proxy.Requests().size(), 2u);
}

TEST_F(ProxyLoginTypedTest, EscapeCancelsAndTheRequestFails) {
  Later([] {
    TypeText("user");
    PressKey(VK_ESCAPE);
  });
  try {
    Comm.Get("x");
    FAIL() << "no error";
  } catch (const EHttpProtocolError& E) {
    EXPECT_EQ(E.ErrorCode, 407);
  }
  EXPECT_EQ(Comm.ProxyUserName, "");
  EXPECT_EQ(Proxy.Requests().size(), 1u);
}

}  // namespace
