// The virtual printer over the PostScript test printer.
#include "COMPONENTS/kslib/PrntsKs.h"

#include <gtest/gtest.h>

namespace {

// Overrides one slot; everything else still reaches the real printer.
class TWidePrinter : public TVirtualPrinter {
 public:
  int GetPageWidth() override { return 12345; }
};

TEST(VirtualPrinterTest, ForwardsToTheProcessPrinter) {
  TVirtualPrinter* Virtual = DefaultVirtualPrinter();
  EXPECT_EQ(DefaultVirtualPrinter(), Virtual);
  EXPECT_EQ(Virtual->GetPrinters(), Printer()->Printers());
  EXPECT_EQ(Virtual->GetPrinterIndex(), Printer()->PrinterIndex());
  EXPECT_EQ(Virtual->GetPageWidth(), 4658);
  EXPECT_EQ(Virtual->GetPageHeight(), 6716);
  EXPECT_EQ(Virtual->GetFullPageWidth(), 4658 + 2 * 150);
  EXPECT_EQ(Virtual->GetFullPageHeight(), 6716 + 2 * 150);
  EXPECT_EQ(Virtual->GetPixelsPerInchX(), 600);
  EXPECT_EQ(Virtual->GetPixelsPerInchY(), 600);
  Virtual->SetTitle("Отчёт");
  EXPECT_EQ(Printer()->Title(), "Отчёт");
}

TEST(VirtualPrinterTest, ADescendantOverridingSomeSlotsForwardsTheRest) {
  TWidePrinter Wide;
  EXPECT_EQ(Wide.GetPageWidth(), 12345);
  EXPECT_EQ(Wide.GetPageHeight(), 6716);
  EXPECT_EQ(Wide.GetFullPageWidth(), 4958);  // the printer's own width
}

TEST(VirtualPrinterTest, PagesAreCountedFromOne) {
  char Directory[MAX_PATH];
  GetTempPathA(sizeof Directory, Directory);
  const AnsiString File = AnsiString(Directory) + "ks-virtual-printer.ps";
  Printer()->SetOutputFile(File);
  TVirtualPrinter* Virtual = DefaultVirtualPrinter();
  Virtual->BeginDoc();
  EXPECT_TRUE(Virtual->GetPrinting());
  Virtual->NewPage();
  Virtual->NewPage();
  EXPECT_EQ(Virtual->GetPageNumber(), 3);
  Virtual->Abort();
  EXPECT_TRUE(Virtual->GetAborted());
  EXPECT_FALSE(Virtual->GetPrinting());
  Printer()->SetOutputFile("");
  DeleteFileA(File.c_str());
}

}  // namespace
