// What painting one page of the grid costs: 30 rows by 10 columns over an
// in-memory table of 1,000 and of 1,000,000 records, beside a system list
// view in report mode showing the same texts, each drawn through
// PrintWindow into a bitmap. Prints milliseconds per page.
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

double GridMsPerPage(int Records, int Pages) {
  TzynMemTable Table(nullptr);
  FillTextTable(Table, Records, Columns, 16, CellText);
  TDataSource Source(nullptr);
  Source.SetDataSet(&Table);
  TForm* Form = new TForm(Application);
  auto* Grid = new TDBGridKs(Form);
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
  double Small = GridMsPerPage(1000, Pages);
  double Large = GridMsPerPage(1000000, Pages);
  double List = ListViewMsPerPage(Pages);
  std::printf("| page of %d x %d through PrintWindow | ms per page |\n", Rows, Columns);
  std::printf("|---|---|\n");
  std::printf("| grid over 1,000 records | %.3f |\n", Small);
  std::printf("| grid over 1,000,000 records | %.3f |\n", Large);
  std::printf("| list view, report mode | %.3f |\n", List);
  DoneDBGridKsUnit();
  return 0;
}
