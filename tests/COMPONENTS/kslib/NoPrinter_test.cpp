// Without any printer: the test printer is taken out of the Wine prefix for
// this program and put back at its end.
#include <gtest/gtest.h>

#include "COMPONENTS/kslib/PrnDgDlg.h"
#include "COMPONENTS/kslib/PrvFrmKs.h"
#include "COMPONENTS/TI/DBSGridKs.h"
#include "FormsTestKit.h"
#include "PrintGridForm.h"
#include "TestPrinter.h"

namespace {

class TNoPrinterEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(RemoveTestPrinter()); }
  void TearDown() override { EXPECT_TRUE(RestoreTestPrinter()); }
};

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);
const auto* const NoPrinter = ::testing::AddGlobalTestEnvironment(new TNoPrinterEnvironment);

// The preview stands an A4 sheet at 600 dpi in for the printer, records the
// grid on it and offers no printing.
TEST_F(PrintGridTest, PreviewsOnADefaultSheet) {
  Print.Preview();
  TPreviewFormKs* Form = PreviewForm();
  TPrinterPreview* P = Form->PreviewKs1->Printer();
  EXPECT_FALSE(P->PrinterInstalled());
  EXPECT_EQ(P->GetPageWidth(), 4676);
  EXPECT_EQ(P->GetPageHeight(), 6744);
  EXPECT_EQ(P->GetFullPageWidth(), 4676 + 2 * 130);
  EXPECT_EQ(P->GetFullPageHeight(), 6744 + 2 * 150);
  EXPECT_EQ(P->GetPixelsPerInchX(), 600);
  EXPECT_EQ(P->GetPixelsPerInchY(), 600);
  EXPECT_EQ(Form->PreviewKs1->PageCount(), 3);
  EXPECT_FALSE(Form->tbtPrint->Enabled());
  EXPECT_EQ(Form->stbMain->SimpleText(), "Страница 1 из 3");
  Form->Hide();
}

TEST_F(PrintGridTest, PrintingOnPaperFailsBeforeAnything) {
  bool Before = false;
  Print.OnBeforePrint = [&](TObject*) { Before = true; };
  EXPECT_THROW(Print.Print(), EPrinter);
  EXPECT_FALSE(Before);
  EXPECT_FALSE(Data.ControlsDisabled());
}

TEST(NoPrinterSetupDialogTest, ThePrinterSetupIsDisabled) {
  TPrintDBGridKs Print{nullptr};
  bool Enabled = true;
  Later([&] {
    Enabled = PrnDBGridKsSetupDialog()->bPrinterSetupDialog->Enabled();
    PressKey(VK_ESCAPE);
  });
  EXPECT_FALSE(Print.ShowPageSetupDialog());
  EXPECT_FALSE(Enabled);
}

// The service grid skips the orientation no printer would take; the
// preview opens on its own sheet.
TEST(ServiceGridNoPrinterTest, PrintGridOpensThePreview) {
  TGridForm<TDBSGridKs> Form(5);
  Form.Grid->PrintGrid();
  EXPECT_TRUE(PreviewForm()->Visible());
  EXPECT_FALSE(PreviewForm()->PreviewKs1->Printer()->PrinterInstalled());
  PreviewForm()->Hide();
  DoneServiceGridUnit();
}

}  // namespace
