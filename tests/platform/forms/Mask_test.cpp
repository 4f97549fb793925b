// The masked edit driven by real key strokes.
#include "forms/Mask.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "forms/Clipbrd.h"
#include "forms/Forms.h"

namespace {

class TGuardedMaskEdit : public TCustomMaskEdit {
 public:
  using TCustomMaskEdit::TCustomMaskEdit;
  bool Allow = true;
  int Asked = 0;

 protected:
  bool EditCanModify() override {
    ++Asked;
    return Allow;
  }
};

struct TMaskForm {
  TForm* Form = new TForm(Application);
  TGuardedMaskEdit* Edit = new TGuardedMaskEdit(Form);

  explicit TMaskForm(const char* Mask) {
    Form->SetBounds(100, 100, 300, 120);
    Edit->SetParent(Form);
    Edit->SetEditMask(Mask);
    Form->Show();
    PumpFor(30);
  }
  ~TMaskForm() { delete Form; }
  void Type(const char* Keys) {
    TypeText(Keys);
    PumpFor(60);
  }
  void Press(WORD Key) {
    PressKey(Key);
    PumpFor(40);
  }
};

struct TMaskCase {
  const char* Mask;
  const char* Typed;
  const char* EditText;
  const char* Text;
};

TEST(MaskEdit, TypedCharactersFollowTheMask) {
  const TMaskCase Cases[] = {
      {"00.00.0000;1;_", "12032024", "12.03.2024", "12.03.2024"},
      {"!999-999-999 99;0;_", "12345678901", "123-456-789 01", "12345678901"},
      {">LL<ll", "abCD", "ABcd", "ABcd"},
      {">L<>l;1;_", "aB", "AB", "AB"},
      // Refused characters leave the caret where it was.
      {"00.00.0000;1;_", "1a2-x", "12.__.____", "12.  .    "},
      {"000-000;0;*", "12", "12*-***", "12    "},
      {"#999;1;_", "-12", "-12_", "-12 "},
      {"\\A00;1;_", "12", "A12", "A12"},
      {"99:99;1;_", "1234", "12:34", "12:34"},
      // Nothing typed reads as an empty text.
      {"00.00.0000;1;_", "x", "__.__.____", ""},
      // Past the last position nothing more goes in.
      {"00;1;_", "123", "12", "12"},
  };
  for (const TMaskCase& Case : Cases) {
    TMaskForm T(Case.Mask);
    ASSERT_EQ(GetFocus(), T.Edit->Handle());
    T.Type(Case.Typed);
    EXPECT_EQ(T.Edit->EditText(), Case.EditText) << Case.Mask << " / " << Case.Typed;
    EXPECT_EQ(T.Edit->Text(), Case.Text) << Case.Mask << " / " << Case.Typed;
  }
}

TEST(MaskEdit, BackspaceAndDeleteRestoreBlanksAndSkipLiterals) {
  TMaskForm T("00.00.0000;1;_");
  T.Type("1203");
  T.Press(VK_BACK);
  EXPECT_EQ(T.Edit->EditText(), "12.0_.____");
  T.Press(VK_BACK);
  T.Press(VK_BACK);
  EXPECT_EQ(T.Edit->EditText(), "1_.__.____") << "Backspace steps over the literal";
  EXPECT_EQ(T.Edit->SelStart(), 1);
  T.Type("9");
  EXPECT_EQ(T.Edit->EditText(), "19.__.____");
  T.Press(VK_HOME);
  T.Press(VK_DELETE);
  EXPECT_EQ(T.Edit->EditText(), "_9.__.____");
  EXPECT_EQ(T.Edit->SelStart(), 0);
}

TEST(MaskEdit, SettingTextPlacesItIntoTheMask) {
  TMaskForm T("!999-999-999 99;0;_");
  T.Edit->SetText("12345678901");
  EXPECT_EQ(T.Edit->EditText(), "123-456-789 01");
  T.Edit->SetText("123-456-789 02");
  EXPECT_EQ(T.Edit->Text(), "12345678902") << "literals in the value are matched, not typed";
  T.Edit->SetEditMask("");
  EXPECT_FALSE(T.Edit->IsMasked());
  EXPECT_EQ(T.Edit->Text(), "123-456-789 02");
}

TEST(MaskEdit, ValidationPointsAtTheFirstEmptyRequiredPosition) {
  TMaskForm T("00.00.0000;1;_");
  T.Type("1203");
  try {
    T.Edit->ValidateEdit();
    ADD_FAILURE() << "an unfilled required position is refused";
  } catch (const EMaskError& E) {
    EXPECT_STREQ(E.what(), "Неверное значение. Нажмите Esc для отмены изменений");
  }
  EXPECT_EQ(T.Edit->SelStart(), 6);
  T.Edit->SetEditText("");
  EXPECT_NO_THROW(T.Edit->ValidateEdit()) << "an untouched text is not refused";
  T.Edit->SetEditMask("9900;1;_");
  T.Edit->SetEditText("__12");
  EXPECT_NO_THROW(T.Edit->ValidateEdit()) << "optional positions may stay empty";
}

TEST(MaskEdit, EscapePutsBackTheTextEditingStartedFrom) {
  TMaskForm T("00.00.0000;1;_");
  T.Edit->SetEditText("01.02.2024");
  T.Edit->SetSelStart(0);
  T.Type("31");
  EXPECT_EQ(T.Edit->EditText(), "31.02.2024");
  EXPECT_TRUE(T.Edit->Modified());
  T.Press(VK_ESCAPE);
  EXPECT_EQ(T.Edit->EditText(), "01.02.2024");
  EXPECT_FALSE(T.Edit->Modified());
}

TEST(MaskEdit, EveryChangeIsAskedForAndPasteIsFiltered) {
  TMaskForm T("00.00.0000;1;_");
  T.Edit->Allow = false;
  T.Type("12");
  T.Press(VK_BACK);
  EXPECT_EQ(T.Edit->EditText(), "__.__.____");
  EXPECT_EQ(T.Edit->Asked, 3);
  T.Edit->Allow = true;
  Clipboard()->SetAsText("12/03-2024x");
  SendMessageA(T.Edit->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(T.Edit->EditText(), "12.03.2024");
  T.Edit->SetSelStart(3);
  T.Edit->SetSelLength(2);
  SendMessageA(T.Edit->Handle(), WM_CUT, 0, 0);
  EXPECT_EQ(Clipboard()->AsText(), "03");
  EXPECT_EQ(T.Edit->EditText(), "12.__.2024");
}

}  // namespace
