#include "app/UProxyLogin.h"

#include "forms/Prompts.h"

namespace {

TLabel* NewLabel(TfrmProxyLogin* Form, const char* Name, const char* Caption, int Left, int Top) {
  auto* Label = new TLabel(Form);
  Label->SetName(Name);
  Label->SetParent(Form);
  Label->SetBounds(Left, Top, 0, 0);
  Label->SetCaption(Caption);
  return Label;
}

TEdit* NewEdit(TfrmProxyLogin* Form, const char* Name, int Top) {
  auto* Edit = new TEdit(Form);
  Edit->SetName(Name);
  Edit->SetParent(Form);
  Edit->SetBounds(112, Top, 200, 21);
  return Edit;
}

TButton* NewButton(TfrmProxyLogin* Form, const char* Name, const char* Caption, int Left,
                   TModalResult Result) {
  auto* Button = new TButton(Form);
  Button->SetName(Name);
  Button->SetParent(Form);
  Button->SetCaption(Caption);
  Button->SetBounds(Left, 132, 75, 25);
  Button->SetModalResult(Result);
  return Button;
}

}  // namespace

TfrmProxyLogin::TfrmProxyLogin(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmProxyLogin");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetCaption("Вход в сеть Internet");
  SetClientSize(328, 165);

  Bevel1 = new TBevel(this);
  Bevel1->SetName("Bevel1");
  Bevel1->SetParent(this);
  Bevel1->SetShape(bsFrame);
  Bevel1->SetBounds(8, 8, 312, 116);
  Label1 = NewLabel(this, "Label1", "Укажите имя пользователя и пароль для Вашего Proxy:", 16, 16);
  lblUser = NewLabel(this, "lblUser", "Пользователь:", 16, 44);
  edtUserName = NewEdit(this, "edtUserName", 40);
  lblPassword = NewLabel(this, "lblPassword", "Пароль:", 16, 72);
  edtPassword = NewEdit(this, "edtPassword", 68);
  edtPassword->SetPasswordChar('*');
  chkSave = new TCheckBox(this);
  chkSave->SetName("chkSave");
  chkSave->SetParent(this);
  chkSave->SetBounds(16, 98, 296, 17);
  chkSave->SetCaption("Запомнить и больше не спрашивать");
  chkSave->SetChecked(true);
  btnOk = NewButton(this, "btnOk", "Ok", 164, mrOk);
  btnCancel = NewButton(this, "btnCancel", "Отмена", 245, mrCancel);
  btnCancel->SetCancel(true);
  SetActiveControl(edtUserName);

  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    FormKeyDown(Sender, Key, Shift);
  };
  DoCreate();
}

void TfrmProxyLogin::FormKeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key != VK_RETURN) return;
  Key = 0;
  SelectNext(ActiveControl(), true, true);
}

bool ProxyLoginDialog(AnsiString& UserName, AnsiString& Password, bool& Save) {
  TPrompt Question(TPromptKind::Login, "Вход в сеть Internet",
                   "Укажите имя пользователя и пароль для Вашего Proxy:");
  Question.Value = UserName;
  Question.Options = {Password};
  TPromptAnswer Answer = Prompts().Ask(Question, [&] {
    TfrmProxyLogin Form(Application);
    Form.edtUserName->SetText(UserName);
    Form.edtPassword->SetText(Password);
    if (Form.ShowModal() != mrOk) return TPromptAnswer{};
    return TPromptAnswer{mrOk,
                         Form.edtUserName->Text(),
                         {Form.edtPassword->Text()},
                         Form.chkSave->Checked() ? 1 : 0};
  });
  if (Answer.Result != mrOk) return false;
  UserName = Answer.Value;
  Password = Answer.Options.empty() ? AnsiString() : Answer.Options[0];
  Save = Answer.Flags != 0;
  return true;
}
