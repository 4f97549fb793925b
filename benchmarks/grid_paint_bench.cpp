// What painting one page of the grid costs: 30 rows by 10 columns over an
// in-memory table of 1,000 and of 1,000,000 records, beside a system list
// view in report mode showing the same texts, each drawn through
// PrintWindow into a bitmap. Prints milliseconds per page, and where the
// grid's page goes: its title, indicator and data cells, the rest of its
// paint (grid lines, clipping) and what PrintWindow costs around it.
//   grid_paint_bench [pages per measurement, default 200]
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "forms/Forms.h"
#include "BenchMemTable.h"

namespace {

constexpr int Rows = 30, Columns = 10, ClientWidth = 1000;

std::string CellText(int Record, int Column) {
  return "r" + std::to_string(Record) + " c" + std::to_string(Column);
}

double Now() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The grid with its paint and its cells timed, by kind of cell.
class TTimedGrid : public TDBGridKs {
 public:
  using TDBGridKs::TDBGridKs;
  double PaintMs = 0, TitleMs = 0, IndicatorMs = 0, DataMs = 0;
  void Reset() { PaintMs = TitleMs = IndicatorMs = DataMs = 0; }

 protected:
  void Paint() override {
    double Start = Now();
    TDBGridKs::Paint();
    PaintMs += Now() - Start;
  }
  void DrawCell(int ACol, int ARow, const RECT& ARect, TGridDrawState AState) override {
    double Start = Now();
    TDBGridKs::DrawCell(ACol, ARow, ARect, AState);
    double& Kind = ARow < TitleOffset() ? TitleMs : ACol < IndicatorOffset() ? IndicatorMs : DataMs;
    Kind += Now() - Start;
  }
};

// Milliseconds per PrintWindow of the window into a bitmap of its size.
double MsPerPage(HWND Wnd, int Pages) {
  RECT R;
  GetWindowRect(Wnd, &R);
  HDC Screen = GetDC(nullptr);
  HDC DC = CreateCompatibleDC(Screen);
  HBITMAP Bitmap = CreateCompatibleBitmap(Screen, R.right - R.left, R.bottom - R.top);
  HGDIOBJ Old = SelectObject(DC, Bitmap);
  PrintWindow(Wnd, DC, 0);  // warm-up: fonts, images, caches
  auto Start = std::chrono::steady_clock::now();
  for (int I = 0; I < Pages; ++I) PrintWindow(Wnd, DC, 0);
  GdiFlush();
  double Ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start)
                  .count();
  SelectObject(DC, Old);
  DeleteObject(Bitmap);
  DeleteDC(DC);
  ReleaseDC(nullptr, Screen);
  return Ms / Pages;
}

std::string NoText(int, int) { return ""; }

double GridMsPerPage(int Records, int Pages, bool Breakdown,
                     std::string (*Text)(int, int) = CellText) {
  TzynMemTable Table(nullptr);
  FillTextTable(Table, Records, Columns, 16, Text);
  TDataSource Source(nullptr);
  Source.SetDataSet(&Table);
  TForm* Form = new TForm(Application);
  auto* Grid = new TTimedGrid(Form);
  Grid->SetParent(Form);
  Grid->SetDataSource(&Source);
  Form->Show();
  // The height of the titles and of exactly 30 rows.
  int Height = Grid->RowHeights(0) + 1 + Rows * (Grid->DefaultRowHeight() + 1) + 4;
  Grid->SetBounds(0, 0, ClientWidth, Height);
  for (int C = 0; C < Columns; ++C) Grid->Columns()->Items(C)->SetWidth(90);
  double Ms = MsPerPage(Grid->Handle(), Pages);
  std::printf("grid: %d rows x %d columns shown\n", Grid->VisibleRowCount(),
              Grid->VisibleColCount());
  if (Breakdown) {
    // Timing each cell costs a little itself: measured apart from the page.
    // The counters take the warm-up page too.
    Grid->Reset();
    double Timed = MsPerPage(Grid->Handle(), Pages);
    double Painted = Pages + 1;
    double Cells = (Grid->TitleMs + Grid->IndicatorMs + Grid->DataMs) / Painted;
    std::printf("| where a page over %d records%s goes | ms per page |\n", Records,
                Text == NoText ? " with empty texts" : "");
    std::printf("|---|---|\n");
    std::printf("| title cells (%d) | %.3f |\n", Columns + 1, Grid->TitleMs / Painted);
    std::printf("| indicator cells (%d) | %.3f |\n", Rows, Grid->IndicatorMs / Painted);
    std::printf("| data cells (%d) | %.3f |\n", Rows * Columns, Grid->DataMs / Painted);
    std::printf("| rest of the grid's paint | %.3f |\n", Grid->PaintMs / Painted - Cells);
    std::printf("| PrintWindow around the paint | %.3f |\n", Timed - Grid->PaintMs / Painted);
    std::printf("| page with the timing | %.3f |\n\n", Timed);
  }
  delete Form;
  Source.SetDataSet(nullptr);
  return Ms;
}

double ListViewMsPerPage(int Pages) {
  INITCOMMONCONTROLSEX Init{sizeof Init, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&Init);
  HWND List = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_POPUP | WS_VISIBLE | LVS_REPORT,
                              0, 0, ClientWidth, 600, nullptr, nullptr, nullptr, nullptr);
  for (int C = 0; C < Columns; ++C) {
    std::string Title = "F" + std::to_string(C);
    LVCOLUMNA Column{};
    Column.mask = LVCF_TEXT | LVCF_WIDTH;
    Column.cx = 90;
    Column.pszText = Title.data();
    SendMessageA(List, LVM_INSERTCOLUMNA, C, reinterpret_cast<LPARAM>(&Column));
  }
  for (int R = 0; R < Rows; ++R) {
    std::string Text = CellText(R, 0);
    LVITEMA Item{};
    Item.mask = LVIF_TEXT;
    Item.iItem = R;
    Item.pszText = Text.data();
    SendMessageA(List, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&Item));
    for (int C = 1; C < Columns; ++C) {
      Text = CellText(R, C);
      Item.iSubItem = C;
      SendMessageA(List, LVM_SETITEMTEXTA, R, reinterpret_cast<LPARAM>(&Item));
    }
  }
  double Ms = MsPerPage(List, Pages);
  DestroyWindow(List);
  return Ms;
}

}  // namespace

int main(int argc, char** argv) {
  int Pages = argc > 1 ? std::atoi(argv[1]) : 200;
  InitDBGridKsUnit();
  double Small = GridMsPerPage(1000, Pages, false);
  double Large = GridMsPerPage(1000000, Pages, true);
  // The same cells with nothing to write: what the texts cost.
  GridMsPerPage(1000, Pages, true, NoText);
  double List = ListViewMsPerPage(Pages);
  std::printf("| page of %d x %d through PrintWindow | ms per page |\n", Rows, Columns);
  std::printf("|---|---|\n");
  std::printf("| grid over 1,000 records | %.3f |\n", Small);
  std::printf("| grid over 1,000,000 records | %.3f |\n", Large);
  std::printf("| list view, report mode | %.3f |\n", List);
  DoneDBGridKsUnit();
  return 0;
}
