// The printer object on the PostScript test printer (A4, 600 dpi, 18 points
// unprintable), every document written to a file.
#include "forms/Printers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

constexpr char TestPrinterName[] = "Keystall Test Printer";

AnsiString TempFile(const char* Name) {
  char Directory[MAX_PATH];
  GetTempPathA(sizeof Directory, Directory);
  return AnsiString(Directory) + Name;
}

AnsiString ReadFile(const AnsiString& Name) {
  std::ifstream In(Name, std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

int CountOf(const AnsiString& Text, const AnsiString& What) {
  int Count = 0;
  for (size_t At = Text.find(What); At != AnsiString::npos; At = Text.find(What, At + 1)) ++Count;
  return Count;
}

class PrinterTest : public ::testing::Test {
 protected:
  TPrinter Printer;
};

TEST_F(PrinterTest, TheTestPrinterIsTheDefaultWithItsPageGeometry) {
  const int Index = Printer.Printers()->IndexOf(TestPrinterName);
  ASSERT_GE(Index, 0);
  EXPECT_EQ(Printer.PrinterIndex(), Index);
  EXPECT_EQ(Printer.PageWidth(), 4658);
  EXPECT_EQ(Printer.PageHeight(), 6716);
  EXPECT_EQ(GetDeviceCaps(Printer.Handle(), LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(Printer.Handle(), PHYSICALOFFSETX), 150);
  EXPECT_TRUE(Printer.Capabilities().Contains(pcOrientation));
  EXPECT_GT(Printer.Fonts()->Count(), 0);
  AnsiString Device, Driver, Port;
  HGLOBAL Mode = nullptr;
  Printer.GetPrinter(Device, Driver, Port, Mode);
  EXPECT_EQ(Device, TestPrinterName);
  EXPECT_EQ(Port, "FILE:");
  EXPECT_NE(Mode, nullptr);
}

TEST_F(PrinterTest, ADocumentOfThreePagesGoesToTheOutputFile) {
  const AnsiString File = TempFile("ks-printer-three.ps");
  DeleteFileA(File.c_str());
  Printer.SetTitle("Три страницы");
  Printer.SetOutputFile(File);
  Printer.BeginDoc();
  EXPECT_TRUE(Printer.Printing());
  EXPECT_EQ(Printer.PageNumber(), 1);
  for (int Page = 1; Page <= 3; ++Page) {
    if (Page > 1) Printer.NewPage();
    Printer.Canvas()->TextOut(600, 600, "Страница " + IntToStr(Page));
  }
  EXPECT_EQ(Printer.PageNumber(), 3);
  Printer.EndDoc();
  EXPECT_FALSE(Printer.Printing());
  EXPECT_EQ(Printer.PageNumber(), 0);

  const AnsiString PostScript = ReadFile(File);
  EXPECT_EQ(PostScript.rfind("%!PS-Adobe", 0), 0u);
  EXPECT_EQ(CountOf(PostScript, "%%Page:"), 3);
  DeleteFileA(File.c_str());
}

TEST_F(PrinterTest, AShorterDocumentReplacesTheFileWhole) {
  const AnsiString File = TempFile("ks-printer-again.ps");
  Printer.SetOutputFile(File);
  for (int Pages : {3, 1}) {
    Printer.BeginDoc();
    for (int Page = 2; Page <= Pages; ++Page) Printer.NewPage();
    Printer.EndDoc();
  }
  const AnsiString PostScript = ReadFile(File);
  EXPECT_EQ(CountOf(PostScript, "%%Page:"), 1);
  EXPECT_EQ(CountOf(PostScript, "%%EOF"), 1);
  DeleteFileA(File.c_str());
}

TEST_F(PrinterTest, LandscapeTurnsThePage) {
  Printer.SetOrientation(poLandscape);
  EXPECT_EQ(Printer.Orientation(), poLandscape);
  EXPECT_EQ(Printer.PageWidth(), 6716);
  EXPECT_EQ(Printer.PageHeight(), 4658);
  Printer.SetNumCopies(2);
  EXPECT_EQ(Printer.NumCopies(), 2);
  Printer.SetOrientation(poPortrait);
  EXPECT_EQ(Printer.PageWidth(), 4658);
}

TEST_F(PrinterTest, AnAbortedDocumentEndsAndStaysAbortedUntilTheNext) {
  const AnsiString File = TempFile("ks-printer-aborted.ps");
  Printer.SetOutputFile(File);
  Printer.BeginDoc();
  Printer.Abort();
  EXPECT_TRUE(Printer.Aborted());
  EXPECT_FALSE(Printer.Printing());
  Printer.BeginDoc();
  EXPECT_FALSE(Printer.Aborted());
  Printer.EndDoc();
  DeleteFileA(File.c_str());
}

TEST_F(PrinterTest, CallsOutOfTurnAreRefused) {
  EXPECT_THROW(Printer.EndDoc(), EPrinter);
  EXPECT_THROW(Printer.NewPage(), EPrinter);
  EXPECT_THROW(Printer.Abort(), EPrinter);
  EXPECT_THROW(Printer.SetPrinterIndex(Printer.Printers()->Count()), EPrinter);

  const AnsiString File = TempFile("ks-printer-refused.ps");
  Printer.SetOutputFile(File);
  Printer.BeginDoc();
  EXPECT_THROW(Printer.BeginDoc(), EPrinter);
  EXPECT_THROW(Printer.SetPrinterIndex(0), EPrinter);
  EXPECT_THROW(Printer.SetOrientation(poLandscape), EPrinter);
  EXPECT_EQ(Printer.PageNumber(), 1);
  Printer.EndDoc();
  DeleteFileA(File.c_str());
}

TEST(PrinterGlobalTest, AnotherPrinterTakesThePlaceOfTheGlobalOne) {
  TPrinter* Original = Printer();
  EXPECT_EQ(Printer(), Original);
  auto* Replacement = new TPrinter;
  TPrinter* Former = SetPrinter(Replacement);
  EXPECT_EQ(Former, Original);
  EXPECT_EQ(Printer(), Replacement);
  delete SetPrinter(Former);
  EXPECT_EQ(Printer(), Original);
}

}  // namespace
