// The one way every modal question of the program goes: message boxes, the
// workstation's message dialog, input boxes, file and folder dialogs, the
// pick-one dialog, the certificate picker, and the shell opening a file or
// an address. The real implementation shows the Windows UI; tests install
// a scripted one that answers and records what was asked.
#pragma once

#include <functional>
#include <vector>

#include "rtl/Types.h"

enum class TPromptKind {
  MessageBox,     // Flags: MB_* flags; Result: ID* of the button
  MessageDialog,  // Flags: dialog type; Options: button captions; Default: default result; Result:
                  // modal result
  InputQuery,     // Text: the prompt; Value: the text; Result: 1 accepted, 0 cancelled
  OpenFile,       // Text: the filter; Value: the file name; Result: 1 chosen, 0 cancelled
  SaveFile,
  SelectFolder,  // Value: the folder; Result: 1 chosen, 0 cancelled
  MakeChoice,  // Options: the items; Default: 1-based default; Result: 1-based choice, 0 cancelled
  PickCertificate,  // Text: the store name; Result: 1-based index in the store, 0 cancelled
  ShellOpen,        // Text: the file or address; Value: the verb
  Login,  // Text: the instruction; Value: the user name; Options: {the password}; Result: 1
          // confirmed, 0 cancelled; the answer's Value, Options and Flags: the user name, {the
          // password}, 1 to remember them
  ChooseFont,    // Value: the face name; Result: 1 chosen, 0 cancelled
  PrinterSetup,  // Text: the printer's name; Result: 1 confirmed (the process printer then
                 // holds the choice), 0 cancelled
  PrintPages,    // Default: the last page; Result: 1 printing, 0 cancelled; the answer's
                 // Options: {first page, last page}
};

struct TPrompt {
  explicit TPrompt(TPromptKind AKind, const AnsiString& ACaption = {}, const AnsiString& AText = {})
      : Kind(AKind), Caption(ACaption), Text(AText) {}
  TPromptKind Kind;
  AnsiString Caption;
  AnsiString Text;
  std::vector<AnsiString> Options;
  int Flags = 0;
  int Default = 0;
  AnsiString Value;
};

struct TPromptAnswer {
  int Result = 0;
  AnsiString Value;
  // Answers beyond Value, as the kind says.
  std::vector<AnsiString> Options{};
  int Flags = 0;
};

class IPrompts {
 public:
  virtual ~IPrompts() = default;
  // Show runs the real UI and gives its answer.
  virtual TPromptAnswer Ask(const TPrompt& Prompt, const std::function<TPromptAnswer()>& Show) = 0;
};

// The prompts in force; the real ones unless a test installed others.
IPrompts& Prompts();
// Installs prompts (null: the real ones again); returns the previous ones.
IPrompts* SetPrompts(IPrompts* Value);

// The shell opens a file or an address ("open", shown normally).
void ShellOpen(const AnsiString& Target, const AnsiString& Verb = "open");
