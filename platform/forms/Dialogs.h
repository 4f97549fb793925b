// Standard dialogs: message box, input box, file dialogs and the
// certificate picker. Every one of them asks through the prompts.
#pragma once

#include <windows.h>

#include <wincrypt.h>

#include "rtl/Classes.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
  mbYes,
  mbNo,
  mbOK,
  mbCancel,
  mbAbort,
  mbRetry,
  mbIgnore,
  mbAll,
  mbNoToAll,
  mbYesToAll,
  mbHelp
};
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

// The modal result of each button kind, in kind order.
int ModalResultOf(TMsgDlgBtn Button);
// The title of a dialog type ("Ошибка", ...); the application's title for custom.
AnsiString DialogTitle(TMsgDlgType DlgType);

// The standard message box: the type's title and icon, the buttons as the
// system's box offers them; returns the modal result of the button.
int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx = 0);
void ShowMessage(const AnsiString& Msg);

bool InputQuery(const AnsiString& Caption, const AnsiString& Prompt, AnsiString& Value);
AnsiString InputBox(const AnsiString& Caption, const AnsiString& Prompt, const AnsiString& Default);

enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofEnableSizing,
};
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* AOwner);
  // Filter: "Description|*.ext|..." pairs.
  AnsiString Filter, Title, FileName, InitialDir, DefaultExt;
  int FilterIndex = 1;
  TOpenOptions Options{ofHideReadOnly, ofEnableSizing};
  // Shows the dialog; true with FileName set when a file was chosen.
  virtual bool Execute();

 protected:
  virtual bool Saving() const { return false; }
};

class TSaveDialog : public TOpenDialog {
 public:
  using TOpenDialog::TOpenDialog;

 protected:
  bool Saving() const override { return true; }
};

// Lets the user pick any certificate of an open store in the system's
// selection dialog owned by Owner; null when cancelled. The caller frees
// the returned context.
PCCERT_CONTEXT SelectCertificate(HCERTSTORE Store, const AnsiString& StoreName, HWND Owner);
