// The main form as the program shows it, on an emulated token of its own,
// with scripted answers to every question.
#pragma once

#include <memory>
#include <vector>

#include "../tokenlib/TokenEmuFixture.h"
#include "app/uCertReqAlt.h"
#include "forms/ScriptedPrompts.h"

class MainFormOnToken : public TokenEmuFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A click on a button through the window it is drawn on, so that an
  // exception reaches the application's error box as it would for a person.
  void Press(TControl* Button);
  // The kinds of the questions asked, in order.
  std::vector<TPromptKind> Kinds() const;

  TScriptedPrompts Script;
  TApplication Local{nullptr};
  TApplication* Saved = nullptr;
  std::unique_ptr<TfCertRequestAlt> Form;
};
