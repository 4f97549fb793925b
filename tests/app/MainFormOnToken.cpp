#include "MainFormOnToken.h"

#include "FormsTestKit.h"

void MainFormOnToken::SetUp() {
  TokenEmuFixture::SetUp();
  Saved = Application;
  Application = &Local;
  Form = std::make_unique<TfCertRequestAlt>(Application);
  ASSERT_TRUE(Script.Asked.empty()) << "the installed files pass the start-up checks";
  Form->Show();
  SetForegroundWindow(Form->Handle());
  PumpFor(30);
}

void MainFormOnToken::TearDown() {
  Form.reset();
  Application = Saved;
  TokenEmuFixture::TearDown();
}

void MainFormOnToken::Press(TControl* Button) {
  HWND Parent = Button->Parent()->Handle();
  LPARAM At = MAKELPARAM(Button->Left() + 5, Button->Top() + 5);
  SendMessageA(Parent, WM_LBUTTONDOWN, MK_LBUTTON, At);
  SendMessageA(Parent, WM_LBUTTONUP, 0, At);
}

std::vector<TPromptKind> MainFormOnToken::Kinds() const {
  std::vector<TPromptKind> Result;
  for (const TPrompt& P : Script.Asked) Result.push_back(P.Kind);
  return Result;
}
