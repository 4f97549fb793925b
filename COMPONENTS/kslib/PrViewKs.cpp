#include "COMPONENTS/kslib/PrViewKs.h"

#include <algorithm>

namespace {

// An A4 sheet at 600 dpi stands in for a missing printer.
constexpr int NoPrinterWidth = 4676, NoPrinterHeight = 6744;
constexpr int NoPrinterOffsetX = 130, NoPrinterOffsetY = 150, NoPrinterPpi = 600;
constexpr int ScrollStep = 8;
constexpr int Percents[] = {500, 200, 150, 100, 75, 50, 25, 10};

}  // namespace

TCursor LoadPreviewCursor(const AnsiString& Name) {
  HCURSOR Cursor = LoadCursorA(GetModuleHandleA(nullptr), Name.c_str());
  if (!Cursor) throw EOutOfResources("Cannot load cursor resource");
  const HCURSOR Arrow = LoadCursorA(nullptr, IDC_ARROW);
  for (int Slot = 1; Slot < 32768; ++Slot) {
    if (Screen->Cursors(TCursor(Slot)) != Arrow) continue;
    Screen->SetCursors(TCursor(Slot), Cursor);
    return TCursor(Slot);
  }
  throw EOutOfResources("Too many user-defined cursors");
}

const TPreviewCursors& PreviewCursors() {
  static const TPreviewCursors Cursors{LoadPreviewCursor("MAGNIFIERKS"),
                                       LoadPreviewCursor("HANDKS")};
  return Cursors;
}

// --- TPrinterPreview

TPrinterPreview::~TPrinterPreview() { FCanvas.reset(); }

HDC TPrinterPreview::GetHandle() { return PrinterInstalled() ? FPrinter.Handle() : nullptr; }

int TPrinterPreview::GetPageWidth() {
  return PrinterInstalled() ? FPrinter.PageWidth() : NoPrinterWidth;
}

int TPrinterPreview::GetPageHeight() {
  return PrinterInstalled() ? FPrinter.PageHeight() : NoPrinterHeight;
}

int TPrinterPreview::PhysicalOffsetX() {
  return PrinterInstalled() ? GetDeviceCaps(FPrinter.Handle(), PHYSICALOFFSETX) : NoPrinterOffsetX;
}

int TPrinterPreview::PhysicalOffsetY() {
  return PrinterInstalled() ? GetDeviceCaps(FPrinter.Handle(), PHYSICALOFFSETY) : NoPrinterOffsetY;
}

int TPrinterPreview::GetFullPageWidth() { return GetPageWidth() + 2 * PhysicalOffsetX(); }
int TPrinterPreview::GetFullPageHeight() { return GetPageHeight() + 2 * PhysicalOffsetY(); }

int TPrinterPreview::GetPixelsPerInchX() {
  return PrinterInstalled() ? GetDeviceCaps(FPrinter.Handle(), LOGPIXELSX) : NoPrinterPpi;
}

int TPrinterPreview::GetPixelsPerInchY() {
  return PrinterInstalled() ? GetDeviceCaps(FPrinter.Handle(), LOGPIXELSY) : NoPrinterPpi;
}

double TPrinterPreview::PageRatio() {
  if (!PrinterInstalled()) return 285.0 / 198.0;
  return double(GetDeviceCaps(FPrinter.Handle(), VERTSIZE)) /
         GetDeviceCaps(FPrinter.Handle(), HORZSIZE);
}

// A new page's metafile and canvas; the previous canvas, freed, closes its page.
void TPrinterPreview::OpenCanvas() {
  const int Size = FCanvas ? FCanvas->Font()->Size() : TFont().Size();
  FPages.push_back(std::make_unique<TMetafile>());
  FCanvas = std::make_unique<TMetafileCanvas>(FPages.back().get(), GetHandle(), GetPageWidth(),
                                              GetPageHeight());
  FCanvas->Font()->SetPixelsPerInch(std::min(GetPixelsPerInchX(), GetPixelsPerInchY()));
  FCanvas->Font()->SetSize(Size);
}

void TPrinterPreview::SetPrintComponent(TComponent* Value) {
  if (FPrintComponent) FPrintComponent->RemoveFreeNotification(FPreviewBox);
  FPrintComponent = Value;
  if (Value) Value->FreeNotification(FPreviewBox);
}

void TPrinterPreview::BeginDoc() {
  // The pages and canvas of the job recording now are in use.
  if (FPrinting) throw EPrinter("Идёт печать: действие недоступно до конца документа");
  FCanvas.reset();
  FPages.clear();
  OpenCanvas();
  FPageNumber = 1;
  FAborted = false;
  FPrinting = true;
  FPreviewBox->SetPageCount(1);
  FPreviewBox->SetCurrentPage(1);
  FPreviewBox->Changed();
}

void TPrinterPreview::NewPage() {
  OpenCanvas();
  if (FPages.size() == 2) FPreviewBox->LayoutPage();
  ++FPageNumber;
  FPreviewBox->SetPageCount(static_cast<int>(FPages.size()) - 1);
  if (FPreviewBox->OnOpenPreviewer) FPreviewBox->OnOpenPreviewer(FPreviewBox);
  // Later pages change the count, not the page shown; telling it (the
  // status bar repaints at once) costs more than a page, so every 100 ms.
  if (FPages.size() == 2) {
    FPreviewBox->Changed();
  } else if (GetTickCount() - FLastNotice >= 100) {
    if (FPreviewBox->OnPrinterPreviewChanged) FPreviewBox->OnPrinterPreviewChanged(FPreviewBox);
  } else {
    return;
  }
  FLastNotice = GetTickCount();
}

void TPrinterPreview::EndDoc() {
  FCanvas.reset();
  FPreviewBox->SetPageCount(static_cast<int>(FPages.size()));
  if (FPages.size() == 1) FPreviewBox->LayoutPage();
  FPageNumber = -1;
  FPrinting = false;
  if (FPreviewBox->OnOpenPreviewer) FPreviewBox->OnOpenPreviewer(FPreviewBox);
  FPreviewBox->Changed();
}

// --- TDrawPanel

TDrawPanel::TDrawPanel(TComponent* AOwner, TPreviewBox* Box) : TCustomControl(AOwner), FBox(Box) {
  SetColor(clWhite);
  SetCursor(PreviewCursors().Magnifier);
}

void TDrawPanel::Paint() {
  TCanvas* C = Canvas();
  C->Brush()->SetColor(clWhite);
  C->Brush()->SetStyle(bsSolid);
  C->FillRect(ClientRect());
  TPrinterPreview* P = FBox->Printer();
  const int Page = FBox->CurrentPage();
  if (Page < 1 || Page > int(P->Pages().size())) return;
  HDC DC = C->Handle();
  const int Saved = SaveDC(DC);
  const int FullWidth = P->GetFullPageWidth(), FullHeight = P->GetFullPageHeight();
  SetMapMode(DC, MM_ANISOTROPIC);
  SetWindowExtEx(DC, FullWidth, FullHeight, nullptr);
  SetViewportExtEx(DC, Width(), Height(), nullptr);
  SetViewportOrgEx(DC, P->PhysicalOffsetX() * Width() / FullWidth,
                   P->PhysicalOffsetY() * Height() / FullHeight, nullptr);
  P->Pages()[Page - 1]->Play(DC, {0, 0, P->GetPageWidth(), P->GetPageHeight()});
  RestoreDC(DC, Saved);
}

void TDrawPanel::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  FBox->SetFocus();
  GetCursorPos(&FDown);
  FDragged = false;
}

// Dragging pans the page; where a scroll bar has stopped, the point
// follows the mouse.
void TDrawPanel::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!Shift.Contains(ssLeft)) return;
  POINT At;
  GetCursorPos(&At);
  if (At.x == FDown.x && At.y == FDown.y) return;
  FDragged = true;
  SetCursor(PreviewCursors().Hand);
  ::SetCursor(CursorHandle(PreviewCursors().Hand));
  FBox->ScrollTo(FBox->HorzScrollBar()->Position() - (At.x - FDown.x),
                 FBox->VertScrollBar()->Position() - (At.y - FDown.y));
  FDown = At;
}

void TDrawPanel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  SetCursor(PreviewCursors().Magnifier);
  if (Button == mbLeft && !FDragged) FBox->ZoomAt(X, Y);
  FDragged = false;
}

// --- TPreviewBox

TPreviewBox::TPreviewBox(TComponent* AOwner)
    : TScrollBox(AOwner), FPrinter(std::make_unique<TPrinterPreview>(this)) {
  SetColor(TColor(clSystemColor | COLOR_APPWORKSPACE));
  SetTabStop(true);
  FShadow = new TPanel(this);
  FShadow->SetParent(this);
  FShadow->SetBevelOuter(bvNone);
  FShadow->SetCaption("");
  FShadow->SetColor(TColor(0x404040));
  FPage = new TDrawPanel(this, this);
  FPage->SetParent(this);
  FPage->SetBounds(8, 8, 100, 140);
  FShadow->SetBounds(12, 12, 100, 140);
}

TPreviewBox::~TPreviewBox() { FPrinter.reset(); }

void TPreviewBox::Notification(TComponent* AComponent, TOperation Operation) {
  TScrollBox::Notification(AComponent, Operation);
  if (Operation != opRemove || !FPrinter || AComponent != FPrinter->FPrintComponent) return;
  FPrinter->FPrintComponent = nullptr;
  FPrinter->OnSetupDialog = nullptr;
  FPrinter->OnSetupChanged = nullptr;
}

void TPreviewBox::Changed() {
  FPage->Invalidate();
  if (OnPrinterPreviewChanged) OnPrinterPreviewChanged(this);
}

void TPreviewBox::SetCurrentPage(int Value) {
  Value = std::clamp(Value, 1, std::max(1, FPageCount));
  if (Value == FCurrentPage) return;
  FCurrentPage = Value;
  Changed();
}

void TPreviewBox::SetScaleMode(int Value) {
  if (Value != FScaleMode) {
    FScaleMode = Value;
    LayoutPage();
  }
  if (OnPrinterPreviewChanged) OnPrinterPreviewChanged(this);
}

void TPreviewBox::ScrollTo(int X, int Y) {
  const RECT Client = ClientRect();
  HorzScrollBar()->SetPosition(std::clamp(X, 0, std::max(0, HorzScrollBar()->Range() - int(Client.right))));
  VertScrollBar()->SetPosition(std::clamp(Y, 0, std::max(0, VertScrollBar()->Range() - int(Client.bottom))));
}

void TPreviewBox::LayoutPage() {
  if (!HandleAllocated()) return;
  ScrollTo(0, 0);
  const int Resolution = FPrinter->GetPixelsPerInchX();
  const int FormPpi = ScreenPixelsPerInch();
  const double Ratio = FPrinter->PageRatio();
  const int ClientW = ClientWidth(), ClientH = ClientHeight();
  int L = 8, T = 8, W, H;
  if (FScaleMode != 8 && FScaleMode != 9) {
    // A mode beyond the menu's scales at 1 percent.
    const int Percent = FScaleMode >= 0 && FScaleMode <= 7 ? Percents[FScaleMode] : 1;
    W = static_cast<int>(int64_t{FPrinter->GetPageWidth()} * Percent * FormPpi / Resolution / 100);
    H = static_cast<int>(W * Ratio);
    if (ClientW > W + 16) L = (ClientW - W) / 2;
    if (ClientH > H + 16) T = (ClientH - H) / 2;
    FScale = Percent;
  } else if (FScaleMode == 8) {
    W = Width() - 20 - GetSystemMetrics(SM_CXVSCROLL);
    H = static_cast<int>(W * Ratio);
    FScale = W * 100 / std::max(1, FPrinter->GetPageWidth() * FormPpi / Resolution);
  } else {
    H = ClientH - 16;
    W = static_cast<int>(H / Ratio);
    if (W > ClientW - 16) {
      W = ClientW - 16;
      H = static_cast<int>(W * Ratio);
    }
    L = (ClientW - W) / 2;
    T = (ClientH - H) / 2;
    FScale = 100;
  }
  FPage->SetBounds(L, T, std::max(1, W), std::max(1, H));
  FShadow->SetBounds(L + 4, T + 4, std::max(1, W), std::max(1, H));
  UpdateScrollBars();
  FPage->Invalidate();
}

// A job laid out before the window existed is laid out now.
void TPreviewBox::AfterCreateWnd() {
  TScrollBox::AfterCreateWnd();
  LayoutPage();
}

void TPreviewBox::Resize() {
  TScrollBox::Resize();
  if (FScaleMode > 7 || ClientWidth() > FPage->Width() + 16 || ClientHeight() > FPage->Height() + 16)
    LayoutPage();
}

// In whole-page mode the clicked point of the page stays under the mouse
// at 150 percent; any other mode goes back to the whole page.
void TPreviewBox::ZoomAt(int X, int Y) {
  if (FScaleMode != 9) {
    SetScaleMode(9);
    return;
  }
  const int OldW = FPage->Width(), OldH = FPage->Height();
  const int OldLeft = FPage->Left(), OldTop = FPage->Top();
  SetScaleMode(2);
  ScrollTo(FPage->Left() + FPage->Width() * X / OldW - (OldLeft + X),
           FPage->Top() + FPage->Height() * Y / OldH - (OldTop + Y));
}

void TPreviewBox::KeyDown(uint16_t& Key, TShiftState Shift) {
  TScrollBox::KeyDown(Key, Shift);
  const bool Ctrl = Shift.Contains(ssCtrl);
  const int X = HorzScrollBar()->Position(), Y = VertScrollBar()->Position();
  const int PageX = ClientWidth() - ScrollStep, PageY = ClientHeight() - ScrollStep;
  const int Far = 1 << 24;
  switch (Key) {
    case VK_PRIOR: ScrollTo(X, Ctrl ? 0 : Y - PageY); break;
    case VK_NEXT: ScrollTo(X, Ctrl ? Far : Y + PageY); break;
    case VK_UP: ScrollTo(X, Y - (Ctrl ? PageY : ScrollStep)); break;
    case VK_DOWN: ScrollTo(X, Y + (Ctrl ? PageY : ScrollStep)); break;
    case VK_LEFT: ScrollTo(X - (Ctrl ? PageX : ScrollStep), Y); break;
    case VK_RIGHT: ScrollTo(X + (Ctrl ? PageX : ScrollStep), Y); break;
    case VK_HOME: ScrollTo(0, Ctrl ? 0 : Y); break;
    case VK_END: ScrollTo(Far, Ctrl ? Far : Y); break;
    default: return;
  }
  Key = 0;
}

void TPreviewBox::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS;
      return;
    case WM_LBUTTONDOWN:
      SetFocus();
      break;
    case WM_MOUSEWHEEL: {
      const int Delta = GET_WHEEL_DELTA_WPARAM(Message.WParam);
      if (FPage->Height() > ClientHeight()) {
        UINT Lines = 3;
        SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &Lines, 0);
        const int Step = ScrollStep * int(Lines) * FScale / 100;
        ScrollTo(HorzScrollBar()->Position(), VertScrollBar()->Position() - (Delta > 0 ? Step : -Step));
      } else {
        SetCurrentPage(FCurrentPage + (Delta < 0 ? 1 : -1));
      }
      Message.Result = 0;
      return;
    }
    default:
      break;
  }
  TScrollBox::WndProc(Message);
}
