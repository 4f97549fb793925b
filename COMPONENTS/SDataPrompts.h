// How the dataset layer speaks to the user: a yes/no question, a message
// and a beep. The Windows build shows them through the forms layer (and so
// through its prompts, which tests script); natively nobody is asked: the
// question is answered no, messages and beeps go nowhere. Tests install
// their own.
#pragma once

#include "rtl/Types.h"

class IDataPrompts {
 public:
  virtual ~IDataPrompts() = default;
  // An information box with Yes and No; true for Yes.
  virtual bool AskYesNo(const AnsiString& Text) = 0;
  virtual void ShowMessage(const AnsiString& Text) = 0;
  enum TBoxKind { bkInformation, bkWarning, bkError };
  // A box of its kind: information with OK, warning and error with Cancel.
  virtual void ShowBox(TBoxKind, const AnsiString& Text) { ShowMessage(Text); }
  virtual void Beep() = 0;
};

IDataPrompts& DataPrompts();
// Installs prompts (null: the default ones again); returns the previous ones.
IDataPrompts* SetDataPrompts(IDataPrompts* Value);
