// The page-setup dialog through its real window: keys typed into it, its
// buttons clicked; the font dialog answers through the prompts.
#include "COMPONENTS/kslib/PrnDgDlg.h"

#include <gtest/gtest.h>

#include "COMPONENTS/kslib/PrnDbgks.h"
#include "FormsTestKit.h"
#include "forms/Printers.h"
#include "forms/ScriptedPrompts.h"

namespace {

void Click(TWinControl* Control) { SendMessageA(Control->Handle(), BM_CLICK, 0, 0); }

void TypeInto(TEdit* Edit, const char* Text) {
  Edit->SetFocus();
  SendMessageA(Edit->Handle(), EM_SETSEL, 0, -1);
  TypeText(Text);
  PumpUntil([&] { return Edit->Text() == Text; });
}

class PageSetupDialogTest : public ::testing::Test {
 protected:
  // Runs the dialog; Steps act on it once it is up.
  bool Run(std::function<void(TfPrnDBGridKsSetupDialog*)> Steps) {
    Later([Steps] { Steps(PrnDBGridKsSetupDialog()); });
    return Print.ShowPageSetupDialog();
  }
  TScriptedPrompts Prompts;
  TPrintDBGridKs Print{nullptr};
};

TEST_F(PageSetupDialogTest, TypedValuesAndChoicesAreTaken) {
  Print.SetOptions({pghOptimalColWidths});
  Prompts.Answer(1, "Courier New");  // the font dialog
  std::vector<AnsiString> Shown;
  bool FitingEnabledAtFirst = true, FitingEnabledAfter = false, SetupEnabled = false;
  const bool Confirmed = Run([&](TfPrnDBGridKsSetupDialog* D) {
    for (TEdit* Edit : D->MarginEdits()) Shown.push_back(Edit->Text());
    FitingEnabledAtFirst = D->rgFitingType->Enabled();
    SetupEnabled = D->bPrinterSetupDialog->Enabled();
    TypeInto(D->seUpMargin, "1,5");
    TypeInto(D->seRightMargin, "3");
    Click(D->cbFitWidthToPage);
    FitingEnabledAfter = D->rgFitingType->Enabled();
    Click(D->rbColWidths);
    Click(D->cbOptimalColWidths);
    Click(D->cbColored);
    Click(D->bPrintFont);
    D->seLowMargin->SetFocus();
    PressKey(VK_RETURN);
  });
  ASSERT_TRUE(Confirmed);
  EXPECT_EQ(Shown, (std::vector<AnsiString>{"2", "2", "2", "2"}));
  EXPECT_FALSE(FitingEnabledAtFirst);
  EXPECT_TRUE(FitingEnabledAfter);
  EXPECT_TRUE(SetupEnabled);  // the test printer is installed
  EXPECT_EQ(Print.Page()->TopMargin(), Currency(1.5));
  EXPECT_EQ(Print.Page()->RightMargin(), Currency(3.0));
  EXPECT_EQ(Print.Page()->LeftMargin(), Currency(2.0));
  EXPECT_EQ(Print.Options(),
            TPrintDBGridKsOptions({pghFitGridToPageWidth, pghFitingByColWidths, pghColored}));
  EXPECT_EQ(Print.PrintFontName(), "Courier New");
  ASSERT_EQ(Prompts.Asked.size(), 1u);
  EXPECT_EQ(Prompts.Asked[0].Kind, TPromptKind::ChooseFont);
}

// A margin that is no number keeps the dialog up with the field focused;
// nothing is taken, and cancelling keeps every value.
TEST_F(PageSetupDialogTest, ABadMarginKeepsTheDialogAndEveryValue) {
  Print.SetOptions({pghColored});
  Prompts.Answer(IDOK);  // the error message
  bool StillUp = false, FieldFocused = false;
  const bool Confirmed = Run([&](TfPrnDBGridKsSetupDialog* D) {
    TypeInto(D->seUpMargin, "1");
    TypeInto(D->seLeftMargin, "x");
    Click(D->cbColored);
    Click(D->bOk);
    StillUp = D->Visible();
    FieldFocused = GetFocus() == D->seLeftMargin->Handle();
    PressKey(VK_ESCAPE);
  });
  EXPECT_FALSE(Confirmed);
  EXPECT_TRUE(StillUp);
  EXPECT_TRUE(FieldFocused);
  ASSERT_GE(Prompts.Asked.size(), 1u);
  EXPECT_EQ(Prompts.Asked.back().Kind, TPromptKind::MessageBox);
  EXPECT_EQ(Print.Page()->TopMargin(), Currency(2.0));
  EXPECT_EQ(Print.Page()->LeftMargin(), Currency(2.0));
  EXPECT_EQ(Print.Options(), TPrintDBGridKsOptions({pghColored}));
}

// Unchecking the fit keeps the fitting type, and it is taken all the same.
TEST_F(PageSetupDialogTest, TheFittingTypeStaysWithoutFitting) {
  Print.SetOptions({pghFitGridToPageWidth, pghFitingByColWidths});
  bool Enabled = true;
  ASSERT_TRUE(Run([&](TfPrnDBGridKsSetupDialog* D) {
    Click(D->cbFitWidthToPage);
    Enabled = D->rgFitingType->Enabled();
    Click(D->bOk);
  }));
  EXPECT_FALSE(Enabled);
  EXPECT_EQ(Print.Options(), TPrintDBGridKsOptions({pghFitingByColWidths}));
}

// The system's font and printer-setup dialogs, confirmed with Enter as a
// person would: a face is chosen, and the printer stays.
TEST(PageSetupRealDialogsTest, FontAndPrinterSetupComeUpAndConfirm) {
  TPrintDBGridKs Print{nullptr};
  Print.SetPrintFontName("Arial");
  const int PrinterIndex = Printer()->PrinterIndex();
  std::vector<HWND> Windows;
  auto ConfirmNext = [&Windows] {
    Later([&Windows] {
      Windows.push_back(GetActiveWindow());
      PressKey(VK_RETURN);
    }, 400);
  };
  Later([&] {
    TfPrnDBGridKsSetupDialog* D = PrnDBGridKsSetupDialog();
    ConfirmNext();
    Click(D->bPrintFont);
    ConfirmNext();
    Click(D->bPrinterSetupDialog);
    Click(D->bOk);
  });
  ASSERT_TRUE(Print.ShowPageSetupDialog());
  ASSERT_EQ(Windows.size(), 2u);
  for (HWND Window : Windows) {  // the system's dialogs, not ours
    EXPECT_NE(Window, nullptr);
    EXPECT_NE(Window, PrnDBGridKsSetupDialog()->Handle());
  }
  EXPECT_FALSE(Print.PrintFontName().empty());  // what the dialog offered
  EXPECT_EQ(Printer()->PrinterIndex(), PrinterIndex);
}

}  // namespace
