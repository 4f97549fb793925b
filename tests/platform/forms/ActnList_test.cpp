// The edit actions on a focused edit control, and a control taking an
// action itself.
#include "forms/ActnList.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "forms/Clipbrd.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

namespace {

struct TEditForm {
  TForm* Form = new TForm(Application);
  TEdit* Edit = new TEdit(Form);
  TEditForm() {
    Form->SetBounds(60, 60, 300, 120);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 200, 21);
    Edit->SetText("abcdef");
    Form->Show();
    Edit->SetFocus();
    PumpFor(20);
  }
  ~TEditForm() { delete Form; }
  void Select(int Start, int Length) {
    Edit->SetSelStart(Start);
    Edit->SetSelLength(Length);
  }
};

TEST(EditActions, WorkOnTheFocusedEditAndFollowItsSelection) {
  TEditForm F;
  TEditCopy Copy(nullptr);
  TEditCut Cut(nullptr);
  TEditPaste Paste(nullptr);
  TEditSelectAll All(nullptr);
  TEditDelete Delete(nullptr);
  F.Select(0, 0);
  for (TAction* A : std::initializer_list<TAction*>{&Copy, &Cut, &Delete}) {
    EXPECT_TRUE(A->Update());
    EXPECT_FALSE(A->Enabled) << "nothing selected";
  }
  // Execute runs only what the last update enabled.
  auto Run = [](TAction& A) { return A.Update() && A.Execute(); };
  F.Select(1, 2);
  EXPECT_FALSE(Copy.Execute()) << "still disabled";
  EXPECT_TRUE(Run(Copy));
  EXPECT_EQ(Clipboard()->AsText(), "bc");
  EXPECT_TRUE(Run(Cut));
  EXPECT_EQ(F.Edit->Text(), "adef");
  F.Select(4, 0);
  EXPECT_TRUE(Paste.Update());
  EXPECT_TRUE(Paste.Enabled);
  EXPECT_TRUE(Run(Paste));
  EXPECT_EQ(F.Edit->Text(), "adefbc");
  F.Select(0, 1);
  EXPECT_TRUE(Run(Delete));
  EXPECT_EQ(F.Edit->Text(), "defbc");
  EXPECT_TRUE(Run(All));
  EXPECT_EQ(F.Edit->SelLength(), 5);
  F.Edit->SetReadOnly(true);
  Cut.Update();
  EXPECT_FALSE(Cut.Enabled) << "a read-only edit gives nothing up";
}

class TTakingEdit : public TEdit {
 public:
  using TEdit::TEdit;
  int Taken = 0;
  bool ExecuteAction(TBasicAction*) override {
    ++Taken;
    return true;
  }
};

TEST(EditActions, AControlMayTakeTheActionItselfAndOtherwiseOnExecuteRuns) {
  TEditForm F;
  auto* Taking = new TTakingEdit(F.Form);
  Taking->SetParent(F.Form);
  Taking->SetBounds(10, 40, 100, 21);
  Taking->SetText("xyz");
  Taking->SetFocus();
  PumpFor(20);
  TEditSelectAll All(nullptr);
  EXPECT_TRUE(All.Execute());
  EXPECT_EQ(Taking->Taken, 1);
  EXPECT_EQ(Taking->SelLength(), 0);

  F.Edit->SetFocus();
  PumpFor(20);
  TBasicAction Plain(nullptr);
  EXPECT_FALSE(Plain.Execute()) << "nobody takes it";
  int Runs = 0;
  Plain.OnExecute = [&](TObject*) { ++Runs; };
  EXPECT_TRUE(Plain.Execute());
  EXPECT_EQ(Runs, 1);
}

}  // namespace
