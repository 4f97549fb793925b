// Grid printing on the PostScript test printer. The documents are left in
// the working folder as print-*.ps; check_printed_grid.py reads them back
// through ghostscript and poppler.
#include "COMPONENTS/kslib/PrnDbgks.h"

#include <gtest/gtest.h>
#include <richedit.h>

#include "COMPONENTS/kslib/PrnDbgksCells.h"
#include "KsTestKit.h"
#include "PrintGridForm.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

// Starts no document and tells when one would begin.
class TCountingPrinter : public TVirtualPrinter {
 public:
  void BeginDoc() override { ++Documents; }
  int Documents = 0;
};

TEST_F(PrintGridTest, PrintsTheGridAndComesBackToTheRecord) {
  int Before = 0, After = 0;
  Print.OnBeforePrint = [&](TObject*) {
    ++Before;
    EXPECT_TRUE(Data.ControlsDisabled() || After == 0);
  };
  Print.OnAfterPrint = [&](TObject*) { ++After; };
  // The number column shows image N beside N: only row 1 has one (blue).
  TImageList Images(nullptr, 16, 16);
  for (uint32_t Colour : {0xFF0000u, 0x0000FFu}) {  // red, blue
    std::vector<uint32_t> Pixels(16 * 16, Colour);
    TBitmap Image;
    Image.SetHandle(CreateBitmap(16, 16, 1, 32, Pixels.data()));
    Images.AddMasked(&Image, clFuchsia);
  }
  Grid->Columns()->Items(0)->SetImageList(&Images);
  Grid->Columns()->Items(0)->SetShowImageAndText(true);
  Print.SetOptions({pghColored});
  PrintToFile("print-grid.ps");
  EXPECT_EQ(Before, 1);
  EXPECT_EQ(After, 1);
  EXPECT_EQ(Data.RecNo(), 40);
  EXPECT_FALSE(Data.ControlsDisabled());
  EXPECT_FALSE(Printer()->Printing());
  EXPECT_EQ(Printer()->Title(), "Табличная информация");
}

// Amounts up to the fields' limits print; check_printed_grid.py finds them
// on paper.
TEST_F(PrintGridTest, PrintsAmountsUpToTheFieldsLimits) {
  const double Amounts[] = {3e9, -3e9, 1e300, 922337203685477.0};
  for (int I = 0; I < 4; ++I) {
    Data.SetRecNo(I + 1);
    Data.Edit();
    Data.FieldByName("Amount")->SetAsFloat(Amounts[I]);
    Data.Post();
  }
  EXPECT_NO_THROW(PrintToFile("print-large.ps"));
  EXPECT_FALSE(Printer()->Printing());
}

// Amounts wider than the column and a sum wider than its footer, neither
// ending with an ellipsis: check_printed_grid.py finds each whole or as
// "#" on paper, never cut to another number.
TEST_F(PrintGridTest, AWideAmountPrintsWholeOrAsHashes) {
  TColumnKs* Amount = Grid->Columns()->Items(2);
  Amount->SetEndEllipsis(false);
  Amount->Footer()->SetEndEllipsis(false);
  for (int I = 1; I <= 3; ++I) {
    Data.SetRecNo(I);
    Data.Edit();
    Data.FieldByName("Amount")->SetAsFloat(987654321098.25 * I);
    Data.Post();
  }
  PrintToFile("print-wide.ps");
  EXPECT_FALSE(Printer()->Printing());
}

// The same grid, uncoloured, fitted, and on a landscape sheet.
TEST_F(PrintGridTest, PrintsPlainFittedAndLandscape) {
  PrintToFile("print-plain.ps");
  for (int I = 0; I < Grid->Columns()->Count(); ++I)
    Grid->Columns()->Items(I)->SetWidth(Grid->Columns()->Items(I)->Width() * 2);
  Print.SetOptions({pghFitGridToPageWidth});
  PrintToFile("print-fitted.ps");
  Print.SetOptions({});
  Printer()->SetOrientation(poLandscape);
  PrintToFile("print-landscape.ps");
  Printer()->SetOrientation(poPortrait);
  EXPECT_FALSE(Printer()->Printing());
}

// Columns far too narrow on the screen print as wide as their texts.
TEST_F(PrintGridTest, OptimalWidthsShowWholeTexts) {
  for (int I = 0; I < Grid->Columns()->Count(); ++I) Grid->Columns()->Items(I)->SetWidth(8);
  Print.SetOptions({pghOptimalColWidths});
  PrintToFile("print-optimal.ps");
  EXPECT_EQ(Data.RecNo(), 40);
}

// "Товар" spans three columns, which do not fit one page: its caption stays
// centred over the whole cell, so the second page group shows none of it.
TEST_F(PrintGridTest, PrintsMultiLevelTitlesAcrossPageGroups) {
  const char* Captions[] = {"Товар|Номер", "Товар|Наименование", "Товар|Сумма", "Кол-во",
                            "Готово"};
  const int Widths[] = {60, 400, 300, 60, 50};
  for (int I = 0; I < 5; ++I) {
    Grid->Columns()->Items(I)->Title()->SetCaption(Captions[I]);
    Grid->Columns()->Items(I)->SetWidth(Widths[I]);
  }
  Grid->SetUseMultiTitle(true);
  PrintToFile("print-multi.ps");
  EXPECT_FALSE(Printer()->Printing());
}

// Every name reads "Группа" and repeats are hidden: each page shows it on
// its first row only.
TEST_F(PrintGridTest, HiddenDuplicatesShowOnEachPagesFirstRow) {
  TColumnKs* Name = Grid->Columns()->Items(1);
  Name->SetHideDuplicates(true);
  Name->OnGetCellParams = [](TColumnKs*, bool, TColCellParamsKs* Params) {
    Params->Text = "Группа";
  };
  PrintToFile("print-duplicates.ps");
  EXPECT_FALSE(Printer()->Printing());
}

// A row is as tall as its cell's text measures in the cell's font: one line
// of another font, two lines, a tab, nothing, and the same again on a
// context whose units are half as large.
TEST_F(PrintGridTest, RowsAreAsTallAsTheirTextsMeasure) {
  TColumnKs* Name = Grid->Columns()->Items(1);
  const char* Text = "";
  int Size = 8;
  Name->OnGetCellParams = [&](TColumnKs*, bool, TColCellParamsKs* Params) {
    Params->Text = Text;
    Params->Font->SetSize(Size);
  };
  TColCellParamsKs Params;
  TPrintCellsKs Cells(Grid, &Params);
  Cells.Metrics.PadX = 4;
  Cells.Metrics.PadY = 2;
  Cells.Columns = {Name};
  Cells.PageColWidths = {300};
  TDibDC Plain(10, 10), Halved(10, 10);
  SetMapMode(Halved.DC(), MM_ISOTROPIC);
  SetWindowExtEx(Halved.DC(), 2, 2, nullptr);
  SetViewportExtEx(Halved.DC(), 1, 1, nullptr);
  TCanvas Canvas;
  Cells.Canvas = &Canvas;
  const struct {
    const char* Text;
    int Size;
  } Cases[] = {{"Строка", 8},        {"Другая строка", 8},    {"Строка", 20},
               {"Две\r\nстроки", 8}, {"Через\tтабуляцию", 8}, {"", 8},
               {"Строка", 8}};
  for (HDC DC : {Plain.DC(), Halved.DC()}) {
    Canvas.SetHandle(DC);
    for (const auto& Case : Cases) {
      Text = Case.Text;
      Size = Case.Size;
      AssignPrintFont(Canvas.Font(), Name->Font(), "");
      Canvas.Font()->SetSize(Size);
      TPrintTextKs Measured;
      Measured.Rect = {0, 0, 300, 0};
      Measured.Text = Text;
      Measured.MeasureOnly = true;
      Measured.DX = 4;
      Measured.DY = 2;
      EXPECT_EQ(Cells.MeasureRow(TPrintRowKs{}), PrintText(&Canvas, Measured))
          << Text << " at " << Size << (DC == Halved.DC() ? ", halved" : "");
    }
  }
  Canvas.SetHandle(nullptr);
}

// Titles of a set height print as tall as the grid's lines of the title
// font and its pixels, scaled; without them one line of the tallest font.
TEST_F(PrintGridTest, TitlesOfASetHeightPrintThatTall) {
  TColumnKs* Name = Grid->Columns()->Items(1);
  TColCellParamsKs Params;
  TPrintCellsKs Cells(Grid, &Params);
  Cells.Metrics.ScaleY = 2;
  Cells.Metrics.PadY = 4;
  Cells.Metrics.HalfPadY = 2;
  Cells.Columns = {Name};
  Cells.PageColWidths = {300};
  TDibDC Page(10, 10);
  TCanvas Canvas;
  Canvas.SetHandle(Page.DC());
  Cells.Canvas = &Canvas;
  AssignPrintFont(Canvas.Font(), Name->Title()->Font(), "");
  const int Wg = Canvas.TextHeight("Wg");
  TEXTMETRICA Text{};
  GetTextMetricsA(Page.DC(), &Text);
  const int Lines = Grid->Options().Contains(dgRowLines) ? 2 : 0;
  const struct {
    int TitleLines, TitleHeight, Expected;
  } Cases[] = {{0, 0, Wg + 8},
               {2, 0, 2 * Text.tmHeight + Text.tmExternalLeading + 4 + Lines},
               {0, 15, Text.tmExternalLeading + 4 + 30 + Lines},
               {1, 5, Text.tmHeight + Text.tmExternalLeading + 4 + 10 + Lines}};
  for (const auto& Case : Cases) {
    Grid->SetTitleLines(Case.TitleLines);
    Grid->SetTitleHeight(Case.TitleHeight);
    Cells.MeasureTitles();
    EXPECT_EQ(Cells.TitlesHeight(), Case.Expected) << Case.TitleLines << " " << Case.TitleHeight;
  }
  Canvas.SetHandle(nullptr);
}

TEST_F(PrintGridTest, ARightToLeftGridPrintsFromTheRight) {
  Grid->SetBiDiMode(bdRightToLeft);
  PrintToFile("print-rtl.ps");
  EXPECT_FALSE(Printer()->Printing());
}

// A rectangle over columns 1 to 3 (the amount hidden) and rows 5 to 9:
// those cells only, totalled over those rows.
TEST_F(PrintGridTest, PrintsASelectedRectangle) {
  Grid->Columns()->Items(2)->SetVisible(false);
  Data.SetRecNo(5);
  Grid->Selection()->Rect()->SelectRect(1, Data.GetBookmark(), false);
  Data.SetRecNo(9);
  Grid->Selection()->Rect()->SelectRect(3, Data.GetBookmark(), true);
  ASSERT_EQ(Grid->Selection()->SelectionType(), gstRectangle);
  PrintToFile("print-rect.ps");
  EXPECT_EQ(Data.RecNo(), 9);
}

TEST_F(PrintGridTest, AnInactiveDatasetStartsNoDocument) {
  TCountingPrinter Counting;
  bool Before = false;
  Print.OnBeforePrint = [&](TObject*) { Before = true; };
  Data.Close();
  Print.PrintTo(&Counting);
  Grid->SetDataSource(nullptr);
  Print.PrintTo(&Counting);
  EXPECT_EQ(Counting.Documents, 0);
  EXPECT_FALSE(Before);
}

TEST_F(PrintGridTest, AnAbortIsSilentAndRestoresEverything) {
  Print.OnBeforePrint = [&](TObject*) { Printer()->Abort(); };
  Printer()->SetOutputFile("print-aborted.ps");
  EXPECT_THROW(Print.Print(), EAbort);
  EXPECT_EQ(Data.RecNo(), 40);
  EXPECT_FALSE(Data.ControlsDisabled());
  EXPECT_FALSE(Printer()->Printing());
}

// A failing finishing step leaves the others to run: the record that was
// current is gone, and the after-print handler raises.
TEST_F(PrintGridTest, AFailingFinishStepStillEndsTheDocument) {
  Print.OnAfterPrint = [&](TObject*) {
    Data.SetRecNo(40);
    Data.Delete();
    throw Exception("после печати");
  };
  Printer()->SetOutputFile("print-finish.ps");
  try {
    Print.Print();
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "после печати");
  }
  EXPECT_FALSE(Data.ControlsDisabled());
  EXPECT_FALSE(Printer()->Printing());
  EXPECT_EQ(Data.RecordCount(), RowCount - 1);
}

AnsiString RichText(const AnsiString& Body) {
  return "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\\f0\\fs24 " +
         Body + "}";
}

// Before the grid, bold Cyrillic longer than a page; after it, a line with
// a substitute whose replacement holds its own search text.
TEST_F(PrintGridTest, PrintsRichTextAroundTheGrid) {
  AnsiString Long;
  for (int I = 1; I <= 70; ++I)
    Long += "\\b Вступление\\b0  абзац " + std::to_string(I) + "\\par ";
  TStringStream Before(RichText(Long));
  Print.BeforeGridText()->LoadFromStream(&Before);
  TStringStream After(RichText("Подпись: [клиент]\\par"));
  Print.AfterGridText()->LoadFromStream(&After);
  const AnsiString Saved = Print.AfterGridText()->RichText();
  Print.SetSubstitutes({"[клиент]", "ООО [клиент] Ромашка"});
  PrintToFile("print-rich.ps");
  EXPECT_EQ(Print.AfterGridText()->RichText(), Saved);
  EXPECT_EQ(Print.AfterGridText()->Strings(0), "Подпись: [клиент]");
}

// A line taller than the page (a 1000-point letter) cannot be printed
// anywhere: the text ends instead of starting pages for ever.
TEST_F(PrintGridTest, ARichLineTallerThanThePageEndsTheText) {
  TStringStream Big(RichText("\\fs2000 Я\\par"));
  Print.AfterGridText()->LoadFromStream(&Big);
  PrintToFile("print-tall.ps");
  EXPECT_FALSE(Printer()->Printing());
}

// Table rows as the control writes them back: the first cell's long text
// wraps within the cell, the paragraph after the row starts below it; a
// row taller than a page goes on over the next pages.
TEST_F(PrintGridTest, PrintsRichTableCellsWrapped) {
  AnsiString Words;
  for (int I = 1; I <= 400; ++I) Words += " с" + std::to_string(I);
  TStringStream Table(RichText(
      "\\trowd\\trgaph108\\trleft-108\\cellx1800\\cellx4000\\pard\\intbl "
      "Длинный текст в узкой ячейке переносится по словам\\cell\\pard\\intbl "
      "Соседняя\\cell\\row\\pard Под таблицей\\par"
      "\\trowd\\trgaph108\\trleft-108\\cellx1800\\cellx4000\\pard\\intbl" +
      Words + "\\cell\\pard\\intbl Рядом\\cell\\row\\pard Конец\\par"));
  Print.BeforeGridText()->LoadFromStream(&Table);
  PrintToFile("print-table.ps");
  EXPECT_FALSE(Printer()->Printing());
}

// The cells' texts of the table rows of a rich text, each row's in one
// line, cells ended by tabs; other paragraphs' texts as they are, but for
// the NUL the control streams out after the text.
std::vector<AnsiString> Paragraphs(TRichEditStrings* Text) {
  std::vector<AnsiString> Result;
  for (const TRichParagraphKs& Paragraph : ReadRichText(Text->RichText()).Paragraphs) {
    AnsiString Line = Paragraph.CellEdges.empty() ? "" : "row: ";
    for (const TRichRunKs& Run : Paragraph.Runs) Line += Run.Text;
    if (Line.find_first_not_of('\0') != AnsiString::npos) Result.push_back(Line);
  }
  return Result;
}

// Substitutes in a table's cells, in any letter case: printed replaced
// (check_printed_grid.py reads the cells), and the table is whole again
// after the run, each cell's text apart.
TEST_F(PrintGridTest, ATableKeepsItsCellsThroughAPrintWithSubstitutes) {
  TStringStream Table(RichText(
      "Счёт для [КЛИЕНТ]\\par"
      "\\trowd\\trgaph108\\trleft-108\\cellx2500\\cellx5000\\pard\\intbl "
      "\\b Покупатель\\b0\\cell\\pard\\intbl [клиент]\\cell\\row"
      "\\trowd\\trgaph108\\trleft-108\\cellx2500\\cellx5000\\pard\\intbl "
      "Адрес\\cell\\pard\\intbl г. [Город]\\cell\\row\\pard Итого\\par"));
  Print.BeforeGridText()->LoadFromStream(&Table);
  const AnsiString Saved = Print.BeforeGridText()->RichText();
  const std::vector<AnsiString> Cells = {"Счёт для [КЛИЕНТ]", "row: Покупатель\t[клиент]\t",
                                         "row: Адрес\tг. [Город]\t", "Итого"};
  ASSERT_EQ(Paragraphs(Print.BeforeGridText()), Cells);
  Print.SetSubstitutes({"[клиент]", "ООО Ромашка", "[город]", "Тверь"});
  PrintToFile("print-table-substituted.ps");
  EXPECT_EQ(Paragraphs(Print.BeforeGridText()), Cells);
  EXPECT_EQ(Print.BeforeGridText()->RichText(), Saved);
}

TEST(RichEditStringsTest, IsALineListThatKeepsFormatting) {
  TRichEditStrings Lines;
  Lines.Add("один");
  Lines.Add("три");
  Lines.Insert(1, "два");
  Lines.Insert(3, "четыре");
  EXPECT_EQ(Lines.Text(), "один\r\nдва\r\nтри\r\nчетыре\r\n");
  Lines.Put(2, "3");
  Lines.Delete(0);
  Lines.Delete(-1);
  Lines.Put(-1, "x");
  EXPECT_EQ(Lines.Text(), "два\r\n3\r\nчетыре\r\n");
  EXPECT_EQ(Lines.Count(), 3);

  TStringStream Bold(RichText("\\b жирный\\b0  текст\\par"));
  Lines.LoadFromStream(&Bold);
  EXPECT_EQ(Lines.Text(), "жирный текст\r\n");
  TStringStream Copy;
  Lines.SaveToStream(&Copy);
  EXPECT_NE(Copy.DataString().find("\\b"), AnsiString::npos);

  TStringStream Plain("строка 1\nстрока 2");
  Lines.LoadFromStream(&Plain);
  EXPECT_EQ(Lines.Text(), "строка 1\r\nстрока 2\r\n");
  Lines.Clear();
  EXPECT_EQ(Lines.Count(), 0);
}

TEST(RichEditStringsTest, SetTextGivesTheLinesAStringListGives) {
  TRichEditStrings Lines;
  for (const char* Text : {"", "a", "\r\n", "один\nдва", "a\r\n\r\nb\r", "x\ry\n\nz\r\n"}) {
    TStringList Expected;
    Expected.SetText(Text);
    Lines.Add("left over");
    Lines.SetText(Text);
    EXPECT_EQ(Lines.Text(), Expected.Text()) << Text;
    EXPECT_EQ(Lines.Count(), Expected.Count()) << Text;
  }
  // The change notice is held back only while the text is set.
  for (LPARAM Mask : {LPARAM{ENM_CHANGE}, LPARAM{ENM_NONE}, LPARAM{ENM_CHANGE | ENM_SELCHANGE}}) {
    SendMessageA(Lines.Handle(), EM_SETEVENTMASK, 0, Mask);
    Lines.SetText("три");
    EXPECT_EQ(SendMessageA(Lines.Handle(), EM_GETEVENTMASK, 0, 0), Mask);
  }
}

TEST_F(PrintGridTest, UnitsConvertTheMarginsBothWays) {
  Print.SetUnits(Inches);
  EXPECT_EQ(Print.Page()->TopMargin(), Currency(0.7874));
  Print.SetUnits(Inches);
  EXPECT_EQ(Print.Page()->LeftMargin(), Currency(0.7874));
  Print.SetUnits(MM);
  EXPECT_EQ(Print.Page()->BottomMargin(), Currency(2.0));
}

}  // namespace
