// The print preview: the grid recorded into it, its pages drawn, zoomed,
// flipped and printed, through real window, mouse and timer messages.
#include "COMPONENTS/kslib/PrvFrmKs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "COMPONENTS/kslib/PrnDgDlg.h"
#include "PrintGridForm.h"
#include "forms/ScriptedPrompts.h"

namespace {

class PreviewTest : public PrintGridTest {
 protected:
  void Preview() {
    Print.Preview();
    Form = PreviewForm();
    Box = Form->PreviewKs1;
    Box->SetScaleMode(9);
    Box->SetCurrentPage(1);
  }
  ~PreviewTest() override {
    if (Form) Form->Hide();
  }
  TPreviewFormKs* Form = nullptr;
  TPreviewBox* Box = nullptr;
};

// The pixels of a window drawn into a 32-bit DIB of its size.
std::vector<uint32_t> Render(int Width, int Height, const std::function<void(HDC)>& Draw) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  Info.bmiHeader.biWidth = Width;
  Info.bmiHeader.biHeight = -Height;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  void* Bits = nullptr;
  HDC DC = CreateCompatibleDC(nullptr);
  HBITMAP Bitmap = CreateDIBSection(DC, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  HGDIOBJ Old = SelectObject(DC, Bitmap);
  Draw(DC);
  GdiFlush();
  std::vector<uint32_t> Pixels(static_cast<uint32_t*>(Bits),
                               static_cast<uint32_t*>(Bits) + Width * Height);
  SelectObject(DC, Old);
  DeleteObject(Bitmap);
  DeleteDC(DC);
  return Pixels;
}

void PostClick(HWND Wnd, int X, int Y) {
  PostMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  PostMessageA(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
  PumpFor(50);
}

// The middle of a toolbar button, in the toolbar's client area.
LPARAM Middle(TToolButton* Button) {
  const RECT R = Button->BoundsRect();
  return MAKELPARAM((R.left + R.right) / 2, (R.top + R.bottom) / 2);
}

// Pressed and released by the mouse, the toolbar clicking it meanwhile.
void Press(TToolButton* Button) {
  HWND Bar = Button->ToolBar()->Handle();
  SendMessageA(Bar, WM_LBUTTONDOWN, MK_LBUTTON, Middle(Button));
  SendMessageA(Bar, WM_LBUTTONUP, 0, Middle(Button));
}

// The toolbar control's command of its Index-th button.
int Command(TToolBar* Bar, int Index) {
  TBBUTTON Item{};
  SendMessageA(Bar->Handle(), TB_GETBUTTON, Index, reinterpret_cast<LPARAM>(&Item));
  return Item.idCommand;
}

TEST_F(PreviewTest, RecordsEveryPageAndTellsTheState) {
  Preview();
  TPrinterPreview* P = Box->Printer();
  EXPECT_EQ(Box->PageCount(), 3);
  EXPECT_EQ(P->Pages().size(), 3u);
  EXPECT_FALSE(P->GetPrinting());
  EXPECT_EQ(Form->stbMain->SimpleText(), "Страница 1 из 3");
  EXPECT_EQ(Form->Caption(), "Предварительный просмотр - Табличная информация");
  EXPECT_TRUE(Form->tbtPrint->Enabled());
  EXPECT_TRUE(Form->tbClose->Enabled());
  EXPECT_FALSE(Form->tbStop->Enabled());
  EXPECT_FALSE(Form->tbtPrevPage->Enabled());
  EXPECT_TRUE(Form->tbtNextPage->Enabled());
  // The control shows the same states.
  const struct {
    int Index;
    bool Enabled;
  } States[] = {{0, true}, {3, false}, {4, true}, {5, false}, {6, true}};
  for (const auto& State : States)
    EXPECT_EQ(SendMessageA(Form->tbrMain->Handle(), TB_ISBUTTONENABLED,
                           Command(Form->tbrMain, State.Index), 0) != 0,
              State.Enabled)
        << "button " << State.Index;
  EXPECT_TRUE(Form->tbtPrinterSetupDialog->Enabled());
  EXPECT_TRUE(Form->Visible());
  EXPECT_TRUE(IsZoomed(Form->Handle()));
  EXPECT_TRUE(Form->ScaleItems[9]->Checked());
  EXPECT_EQ(Box->Page()->Cursor(), PreviewCursors().Magnifier);
  // The whole page is centred.
  EXPECT_LE(std::abs(2 * Box->Page()->Left() + Box->Page()->Width() - Box->ClientWidth()), 1);
  EXPECT_LE(std::abs(2 * Box->Page()->Top() + Box->Page()->Height() - Box->ClientHeight()), 1);
  Box->SetCurrentPage(0);
  EXPECT_EQ(Box->CurrentPage(), 1);
  Box->SetCurrentPage(7);
  EXPECT_EQ(Box->CurrentPage(), 3);
  EXPECT_EQ(Form->stbMain->SimpleText(), "Страница 3 из 3");
}

TEST(PreviewCursorsTest, LoadIntoFreeSlotsFromTheProgram) {
  const TPreviewCursors& Cursors = PreviewCursors();
  EXPECT_GE(Cursors.Magnifier, 1);
  EXPECT_NE(Cursors.Hand, Cursors.Magnifier);
  EXPECT_NE(Screen->Cursors(Cursors.Magnifier), LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(CursorHandle(Cursors.Hand), Screen->Cursors(Cursors.Hand));
  try {
    LoadPreviewCursor("NOSUCHCURSOR");
    ADD_FAILURE() << "no error";
  } catch (const EOutOfResources& E) {
    EXPECT_EQ(E.Message(), "Cannot load cursor resource");
  }
}

// What the panel shows is the page's metafile under the sheet's mapping.
TEST_F(PreviewTest, EachPageShowsItsMetafile) {
  Preview();
  TPrinterPreview* P = Box->Printer();
  TDrawPanel* Panel = Box->Page();
  const int W = Panel->Width(), H = Panel->Height();
  std::vector<uint32_t> First;
  for (int Page = 1; Page <= 3; ++Page) {
    Box->SetCurrentPage(Page);
    const auto Shown = Render(W, H, [&](HDC DC) {
      SendMessageA(Panel->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT);
    });
    const auto Played = Render(W, H, [&](HDC DC) {
      RECT All{0, 0, W, H};
      FillRect(DC, &All, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      const int FullW = P->GetFullPageWidth(), FullH = P->GetFullPageHeight();
      SetMapMode(DC, MM_ANISOTROPIC);
      SetWindowExtEx(DC, FullW, FullH, nullptr);
      SetViewportExtEx(DC, W, H, nullptr);
      SetViewportOrgEx(DC, P->PhysicalOffsetX() * W / FullW, P->PhysicalOffsetY() * H / FullH,
                       nullptr);
      PlayEnhMetaFile(DC, P->Pages()[Page - 1]->Handle(),
                      std::data({RECT{0, 0, P->GetPageWidth(), P->GetPageHeight()}}));
    });
    EXPECT_TRUE(Shown == Played) << "page " << Page;
    EXPECT_GT(std::count_if(Shown.begin(), Shown.end(),
                            [](uint32_t Pixel) { return (Pixel & 0xFFFFFF) != 0xFFFFFF; }),
              100)
        << "page " << Page << " is blank";
    if (Page == 1) First = Shown;
    if (Page > 1) {
      EXPECT_FALSE(Shown == First);
    }
  }
}

// A click on the whole page zooms to 150 % keeping the point under the
// mouse; a second click goes back to the whole page.
TEST_F(PreviewTest, AClickZoomsAroundThePoint) {
  Preview();
  TDrawPanel* Panel = Box->Page();
  const int X = Panel->Width() / 2, Y = Panel->Height() / 3;
  const int ScreenX = Panel->Left() + X, ScreenY = Panel->Top() + Y;
  const int OldW = Panel->Width();
  PostClick(Panel->Handle(), X, Y);
  EXPECT_EQ(Box->ScaleMode(), 2);
  EXPECT_EQ(Box->Scale(), 150);
  EXPECT_TRUE(Form->ScaleItems[2]->Checked());
  const int NewX = X * Panel->Width() / OldW;
  EXPECT_LE(std::abs(Panel->Left() + NewX - ScreenX), 2);
  EXPECT_LE(std::abs(Panel->Top() + Y * Panel->Width() / OldW - ScreenY), 2);
  PostClick(Panel->Handle(), 10, 10);
  EXPECT_EQ(Box->ScaleMode(), 9);
}

TEST_F(PreviewTest, WheelAndKeysMoveThroughPagesAndThePage) {
  Preview();
  auto Wheel = [&](int Delta) {
    SendMessageA(Box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, Delta), 0);
  };
  for (int Expected : {2, 3, 3}) {
    Wheel(-WHEEL_DELTA);
    EXPECT_EQ(Box->CurrentPage(), Expected);
  }
  Wheel(WHEEL_DELTA);
  EXPECT_EQ(Box->CurrentPage(), 2);
  Box->SetScaleMode(42);  // beyond the menu: 1 percent
  EXPECT_EQ(Box->Scale(), 1);
  EXPECT_EQ(Box->Page()->Width(),
            Box->Printer()->GetPageWidth() * ScreenPixelsPerInch() / Box->Printer()->GetPixelsPerInchX() / 100);
  Box->SetScaleMode(2);  // taller than the box: the wheel scrolls
  Wheel(-WHEEL_DELTA);
  EXPECT_EQ(Box->CurrentPage(), 2);
  EXPECT_GT(Box->VertScrollBar()->Position(), 0);
  const int Before = Box->VertScrollBar()->Position();
  Box->SetFocus();
  SendMessageA(Box->Handle(), WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_EQ(Box->VertScrollBar()->Position(), Before + Box->ClientHeight() - 8);
  SendMessageA(Box->Handle(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(Box->HorzScrollBar()->Position(), 0);
}

// Held down, the next-page button flips after 400 ms, then every 100 ms;
// its release adds no flip.
TEST_F(PreviewTest, HoldingNextPageRepeats) {
  Print.Page()->SetTopMargin(12.0);
  Print.Page()->SetBottomMargin(12.0);
  Preview();
  ASSERT_GE(Box->PageCount(), 8);
  HWND Bar = Form->tbrMain->Handle();
  const LPARAM At = Middle(Form->tbtNextPage);
  const DWORD Start = GetTickCount();
  PostMessageA(Bar, WM_LBUTTONDOWN, MK_LBUTTON, At);
  ASSERT_TRUE(PumpUntil([&] { return Box->CurrentPage() == 2; }, 3000));
  EXPECT_GE(GetTickCount() - Start, 350u);  // timers never fire early
  ASSERT_TRUE(PumpUntil([&] { return Box->CurrentPage() == 4; }, 3000));
  PostMessageA(Bar, WM_LBUTTONUP, 0, At);
  PumpFor(100);
  const int Released = Box->CurrentPage();
  PumpFor(400);
  EXPECT_EQ(Box->CurrentPage(), Released);
  EXPECT_FALSE(Form->Timer1->Enabled());
  // A plain click flips one page again.
  PostClick(Bar, LOWORD(At), HIWORD(At));
  EXPECT_EQ(Box->CurrentPage(), Released + 1);
}

// The buttons carry their captions and hints; dragged down, the splitter
// gives them images (from 41), then images with captions (from 55); dragged
// up, the captions go (41 or less), then the images (below 25).
TEST_F(PreviewTest, TheSplitterSizesTheToolbar) {
  Preview();
  TToolBar* Bar = Form->tbrMain;
  const char* const Hints[] = {"Печатать",   "Настройка принтера",  "Масштаб", "Предыдущая страница",
                               "Следующая страница", "Стоп", "Закрыть окно предварительного просмотра"};
  for (int I = 0; I < Bar->ButtonCount(); ++I) {
    NMTBGETINFOTIPA Tip{};
    char Text[100] = "";
    Tip.hdr = {Bar->Handle(), 0, TBN_GETINFOTIPA};
    Tip.pszText = Text;
    Tip.cchTextMax = sizeof Text;
    Tip.iItem = Command(Bar, I);
    SendMessageA(Form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&Tip));
    EXPECT_STREQ(Text, Hints[I]);
    char Caption[100] = "";
    SendMessageA(Bar->Handle(), TB_GETBUTTONTEXTA, Command(Bar, I), reinterpret_cast<LPARAM>(Caption));
    EXPECT_EQ(AnsiString(Caption), Bar->Buttons(I)->Caption());
  }
  EXPECT_EQ(Form->tbtScale->DropdownMenu(), Form->pmnScale);
  EXPECT_EQ(Form->imlMain->Count(), 7);
  EXPECT_EQ(Bar->Images(), nullptr);

  const int Y = Form->Splitter->Top() + 1, Height = Bar->Height();
  auto DragTo = [&](int NewSize) {
    SendMessageA(Form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, Y + NewSize - Height));
  };
  auto Look = [&] {
    return std::make_pair(Bar->Images() == Form->imlMain, Bar->ShowCaptions());
  };
  SendMessageA(Form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, Y));
  DragTo(35);
  EXPECT_EQ(Look(), std::make_pair(false, true));
  DragTo(45);
  EXPECT_EQ(Look(), std::make_pair(true, false));
  const RECT Icon = Form->tbtPrint->BoundsRect();
  EXPECT_EQ(Icon.right - Icon.left, 38);
  EXPECT_EQ(Icon.bottom - Icon.top, 39);
  EXPECT_EQ(Bar->Height(), Icon.bottom + 2);
  EXPECT_EQ(Form->Splitter->Top(), Bar->Height());
  // The images show, their background transparent.
  const auto Pixels = Render(Bar->Width(), Bar->Height(), [&](HDC DC) {
    SendMessageA(Bar->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT | PRF_ERASEBKGND);
  });
  EXPECT_GT(std::count(Pixels.begin(), Pixels.end(), 0xC00000u), 100);  // the blue arrows
  EXPECT_EQ(std::count(Pixels.begin(), Pixels.end(), 0xFF00FFu), 0);
  DragTo(60);
  EXPECT_EQ(Look(), std::make_pair(true, true));
  EXPECT_GT(Form->tbtPrint->BoundsRect().bottom, Icon.bottom);
  DragTo(30);
  EXPECT_EQ(Look(), std::make_pair(true, false));
  DragTo(20);
  EXPECT_EQ(Look(), std::make_pair(false, true));
  SendMessageA(Form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, Y));
  EXPECT_EQ(Form->Splitter->Top(), Bar->Height());
}

TEST_F(PreviewTest, TheSplitterShowsTheResizeCursor) {
  Preview();
  POINT OnSplitter{Form->Width() / 2, Form->Splitter->Top() + 1};
  ClientToScreen(Form->Handle(), &OnSplitter);
  MoveMouse(OnSplitter);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZENS));
  MoveMouse({OnSplitter.x, OnSplitter.y + 40});  // the page's box
  EXPECT_NE(GetCursor(), LoadCursorA(nullptr, IDC_SIZENS));
}

// Pressed anywhere, the scale button drops its menu down under itself; the
// item chosen sets the scale.
TEST_F(PreviewTest, TheScaleButtonDropsItsMenu) {
  Preview();
  TToolBar* Bar = Form->tbrMain;
  TBBUTTON Item{};
  SendMessageA(Bar->Handle(), TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&Item));
  EXPECT_EQ(Item.fsStyle & BTNS_WHOLEDROPDOWN, BTNS_WHOLEDROPDOWN) << "the arrow shows";
  RECT Menu{};
  Later([&] {
    if (HWND Popup = FindWindowA("#32768", nullptr)) GetWindowRect(Popup, &Menu);
    for (int I = 0; I < 6; ++I) PressKey(VK_DOWN);  // the sixth, 50 %
    PressKey(VK_RETURN);
  });
  const RECT Button = Form->tbtScale->BoundsRect();
  PostClick(Bar->Handle(), Button.right - 3, (Button.top + Button.bottom) / 2);
  POINT Under{Button.left, Button.bottom};
  ClientToScreen(Bar->Handle(), &Under);
  EXPECT_EQ(Menu.left, Under.x);
  EXPECT_EQ(Menu.top, Under.y);
  EXPECT_EQ(Box->ScaleMode(), 5);
  EXPECT_EQ(Box->Scale(), 50);
  EXPECT_TRUE(Form->ScaleItems[5]->Checked());
  EXPECT_FALSE(Form->ScaleItems[9]->Checked());
}

// A job recorded into a minimised preview brings it back.
TEST_F(PreviewTest, AMinimisedPreviewComesBack) {
  Preview();
  ShowWindow(Form->Handle(), SW_MINIMIZE);
  Preview();
  EXPECT_FALSE(IsIconic(Form->Handle()));
  EXPECT_TRUE(IsWindowVisible(Form->Handle()));
}

// Pages 2 and 3, chosen in the print dialog, go to the printer.
TEST_F(PreviewTest, PrintsTheChosenPages) {
  Preview();
  TScriptedPrompts Prompts;
  Prompts.Answers.push_back({1, "", {"2", "3"}});
  Box->Printer()->OwnPrinter()->SetOutputFile("print-preview-pages.ps");
  Press(Form->tbtPrint);
  Box->Printer()->OwnPrinter()->SetOutputFile("");
  ASSERT_EQ(Prompts.Asked.size(), 1u);
  EXPECT_EQ(Prompts.Asked[0].Kind, TPromptKind::PrintPages);
  EXPECT_EQ(Prompts.Asked[0].Default, 3);
  EXPECT_EQ(Printer(), SetPrinter(Printer()));  // the process printer is back
}

// The preview's setup step is the page-setup dialog: confirmed, the
// preview is made again with the new margins; cancelled, it stays.
TEST_F(PreviewTest, TheSetupStepRebuildsThePreviewWhenConfirmed) {
  Preview();
  auto Setup = [&](bool Confirm) {
    Later([Confirm] {
      TfPrnDBGridKsSetupDialog* D = PrnDBGridKsSetupDialog();
      D->seUpMargin->SetText("12");
      D->seLowMargin->SetText("12");
      SendMessageA((Confirm ? D->bOk : D->bCancel)->Handle(), BM_CLICK, 0, 0);
    });
    Press(Form->tbtPrinterSetupDialog);
  };
  Setup(false);
  EXPECT_EQ(Box->PageCount(), 3);
  Setup(true);
  EXPECT_GT(Box->PageCount(), 8);
  EXPECT_EQ(Print.Page()->TopMargin(), Currency(12.0));
}

// Esc and closing while recording stop the job; a second job meanwhile is
// refused and leaves the recording whole.
TEST_F(PreviewTest, EscCloseAndASecondJobWhileRecording) {
  Preview();
  PostMessageA(Form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_THROW(Print.Preview(), EAbort);
  EXPECT_FALSE(Box->Printer()->GetPrinting());
  EXPECT_TRUE(Form->Visible());
  EXPECT_FALSE(Data.ControlsDisabled());

  PostMessageA(Form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_THROW(Print.Preview(), EAbort);
  PumpFor(50);
  EXPECT_FALSE(Form->Visible());

  TPrintDBGridKs Second{nullptr};
  Second.SetDBGridKs(Grid);
  bool Refused = false;
  Print.OnBeforePrint = [&](TObject*) {
    try {
      Second.Preview();
    } catch (const EPrinter&) {
      Refused = true;
    }
  };
  Print.Preview();
  EXPECT_TRUE(Refused);
  EXPECT_EQ(Box->PageCount(), 3);
  EXPECT_EQ(Box->Printer()->Pages().size(), 3u);
}

}  // namespace
