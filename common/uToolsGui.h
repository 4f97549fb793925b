#pragma once
// The Windows half of the workstation's tools: its own message dialog with
// button captions of the caller's, the clipboard copy with the Russian
// locale, writing a file with an overwrite question, the folder picker and
// the file listing.

#include <vector>

#include "forms/Dialogs.h"
#include "forms/Forms.h"
#include "rtl/Types.h"

class TMessageForm : public TForm {
 public:
  // The form in the system's message font.
  explicit TMessageForm(TComponent* AOwner);
};

// Builds the dialog without showing it. Captions and Hints hold one entry
// per chosen button, in kind order; a missing caption falls back to the
// button's usual one, a missing or empty hint means none.
TMessageForm* BuildMessageForm(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                               TMsgDlgBtn DefaultButton, const std::vector<AnsiString>& Captions,
                               const std::vector<AnsiString>& Hints);
// Shows the dialog modally and returns the modal result of the button
// pressed (6 yes, 7 no, 1 OK, 2 cancel, ...); Caption replaces the title
// when not empty. Esc and the close box answer with the cancel button, or
// with no when there is none, unless EscapeAnswers is false: a question
// whose no loses data is answered by its buttons only, as the system's
// yes/no box is.
int ShowMessageDialog(const AnsiString& Msg, TMsgDlgType DlgType, const AnsiString& Caption,
                      TMsgDlgButtons Buttons, TMsgDlgBtn DefaultButton,
                      const std::vector<AnsiString>& Captions, bool EscapeAnswers = true);

void CopyTextToClipboard(const AnsiString& Text);
// Writes Data to the file, asking first when it exists; false when the
// user declined (nothing written).
bool ConfirmOverwrite(const AnsiString& Data, const AnsiString& FileName);
// The shell's folder browser; true with Directory set when one was chosen.
bool SelectFolder(const AnsiString& Caption, const WideString& Root, AnsiString& Directory);
// Names (without the folder) of the files matching Mask, as the system
// lists them; Attr admits hidden and system files as find-first does.
void ListFiles(const AnsiString& Dir, const AnsiString& Mask, uint32_t Attr,
               std::vector<AnsiString>& Names);
