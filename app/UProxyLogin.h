#pragma once
// The proxy login form: asks for the user name and password the proxy in
// front of the crypto server wants, and whether to keep them.

#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

class TfrmProxyLogin : public TForm {
 public:
  explicit TfrmProxyLogin(TComponent* AOwner);

  TLabel* Label1;
  TLabel* lblUser;
  TEdit* edtUserName;
  TLabel* lblPassword;
  TEdit* edtPassword;
  TCheckBox* chkSave;
  TButton* btnOk;
  TButton* btnCancel;
  TBevel* Bevel1;

  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
};

// Shows the form with the two edits filled from the arguments; on OK copies
// the edits and the check box back and returns true, otherwise changes
// nothing. It is what TSCommAlt::OnProxyLogin takes.
bool ProxyLoginDialog(AnsiString& UserName, AnsiString& Password, bool& Save);
