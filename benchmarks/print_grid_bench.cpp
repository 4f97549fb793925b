// What printing a grid costs: 10,000 rows by 8 columns into the preview
// and to the printer (a PostScript file), beside a plain loop that draws
// the same texts and cell lines with DrawText into one metafile a page.
// One run each; prints milliseconds per page.
//   print_grid_bench [rows, default 10000] [preview: without the printer]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "COMPONENTS/kslib/PrnDbgks.h"
#include "COMPONENTS/kslib/PrvFrmKs.h"
#include "forms/Forms.h"
#include "forms/Metafiles.h"
#include "BenchMemTable.h"

namespace {

constexpr int Columns = 8;

std::string CellText(int Record, int Column) {
  return "запись " + std::to_string(Record) + " поле " + std::to_string(Column);
}

double MsSince(std::chrono::steady_clock::time_point Start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start)
      .count();
}

// The same cells drawn plainly: per page a metafile on the printer's
// context, per cell a DrawText and the cell's lines.
double PlainLoop(int Records, int Pages, int RowHeight, int ColWidth) {
  TPrinter* P = Printer();
  const int RowsPerPage = (Records + Pages - 1) / Pages;
  auto Start = std::chrono::steady_clock::now();
  int Record = 0;
  for (int Page = 0; Page < Pages; ++Page) {
    TMetafile Metafile;
    TMetafileCanvas Canvas(&Metafile, P->Handle(), P->PageWidth(), P->PageHeight());
    HDC DC = Canvas.Handle();
    Canvas.Prepare(true, true, true);
    for (int Row = 0; Row < RowsPerPage && Record < Records; ++Row, ++Record) {
      const int Top = 400 + Row * RowHeight;
      for (int C = 0; C < Columns; ++C) {
        const int Left = 400 + C * ColWidth;
        RECT R{Left + 12, Top + 12, Left + ColWidth - 12, Top + RowHeight - 12};
        const std::string Text = CellText(Record, C);
        DrawTextA(DC, Text.c_str(), int(Text.size()), &R, DT_LEFT | DT_NOPREFIX);
        const POINT Line[] = {{Left, Top + RowHeight}, {Left + ColWidth, Top + RowHeight},
                              {Left + ColWidth, Top}};
        Polyline(DC, Line, 3);
      }
    }
  }
  return MsSince(Start);
}

}  // namespace

int main(int argc, char** argv) {
  const int Records = argc > 1 ? std::atoi(argv[1]) : 10000;
  // The printer's road takes minutes; comparing the other two needs it not.
  const bool PreviewOnly = argc > 2 && std::string(argv[2]) == "preview";
  char Folder[MAX_PATH];
  GetTempPathA(sizeof Folder, Folder);
  const std::string Output = std::string(Folder) + "print_grid_bench.ps";

  TzynMemTable Table(nullptr);
  FillTextTable(Table, Records, Columns, 24, CellText);
  TDataSource Source(nullptr);
  Source.SetDataSet(&Table);
  TForm* Form = new TForm(Application);
  Form->SetBounds(0, 0, 900, 400);
  TDBGridKs* Grid = new TDBGridKs(Form);
  Grid->SetParent(Form);
  Grid->SetBounds(0, 0, 880, 360);
  Grid->SetDataSource(&Source);
  TPrintDBGridKs Print(nullptr);
  Print.SetDBGridKs(Grid);
  Print.Title()->SetText("Табличная информация");
  Print.PageFooter()->RightText()->SetText("Страница &[Page]");

  auto Start = std::chrono::steady_clock::now();
  Print.PrintTo(PrinterPreview());
  const double PreviewMs = MsSince(Start);
  const int Pages = PreviewForm()->PreviewKs1->PageCount();

  double PrinterMs = 0;
  if (!PreviewOnly) {
    Printer()->SetOutputFile(Output);
    Start = std::chrono::steady_clock::now();
    Print.Print();
    PrinterMs = MsSince(Start);
    DeleteFileA(Output.c_str());
  }

  const int RowHeight = int((Grid->DefaultRowHeight() + 1) * 6.25);
  const int ColWidth = int((Grid->Columns()->Items(0)->Width() + 1) * 6.25);
  const double PlainMs = PlainLoop(Records, Pages, RowHeight, ColWidth);

  std::printf("%d rows x %d columns, %d pages\n", Records, Columns, Pages);
  std::printf("| %-32s | %10s | %8s |\n", "road", "total ms", "ms/page");
  std::printf("| %-32s | %10.0f | %8.1f |\n", "preview (metafiles)", PreviewMs, PreviewMs / Pages);
  if (!PreviewOnly)
    std::printf("| %-32s | %10.0f | %8.1f |\n", "printer (PostScript file)", PrinterMs,
                PrinterMs / Pages);
  std::printf("| %-32s | %10.0f | %8.1f |\n", "plain DrawText loop (metafiles)", PlainMs,
              PlainMs / Pages);
  delete Form;
  return 0;
}
