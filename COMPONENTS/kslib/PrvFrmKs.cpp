#include "COMPONENTS/kslib/PrvFrmKs.h"

#include "forms/PrintDialogs.h"
#include "forms/Printers.h"

namespace {

TPreviewFormKs* Form = nullptr;

constexpr char PreviewCaption[] = "Предварительный просмотр";
const char* const ScaleTexts[] = {"500%", "200%", "150%", "100%", "75%", "50%", "25%", "10%",
                                  "По ширине страницы", "Страница целиком"};
const char* const ScaleNames[] = {"mni500", "mni200", "mni150", "mni100", "mni75",
                                  "mni50",  "mni25",  "mni10",  "mniWidth", "mniFull"};

// The preview's printer stands in for the process printer meanwhile.
class TPrinterSwap {
 public:
  explicit TPrinterSwap(TPrinter* Preview) : FOld(SetPrinter(Preview)) {}
  ~TPrinterSwap() { SetPrinter(FOld); }
  TPrinterSwap(const TPrinterSwap&) = delete;
  TPrinterSwap& operator=(const TPrinterSwap&) = delete;

 private:
  TPrinter* FOld;
};

}  // namespace

TPreviewFormKs::TPreviewFormKs(TComponent* AOwner) : TForm(AOwner) {
  SetName("PreviewFormKs");
  SetCaption(PreviewCaption);
  SetBounds(0, 0, 800, 600);
  SetKeyPreview(true);

  tbrMain = new TToolBar(this);
  tbrMain->SetName("tbrMain");
  tbrMain->SetParent(this);
  tbrMain->SetShowCaptions(true);
  imlMain = new TImageList(this, 32, 32);
  imlMain->SetName("imlMain");
  TBitmap Images;
  Images.LoadFromResourceName(GetModuleHandleA(nullptr), "PRVIMAGESKS");
  imlMain->AddMasked(&Images, clFuchsia);
  struct TButtonSpec {
    TToolButton** Button;
    const char *Name, *Caption, *Hint;
  };
  const TButtonSpec Buttons[] = {
      {&tbtPrint, "tbtPrint", "Печатать", "Печатать"},
      {&tbtPrinterSetupDialog, "tbtPrinterSetupDialog", "Настройка принтера", "Настройка принтера"},
      {&tbtScale, "tbtScale", "Масштаб", "Масштаб"},
      {&tbtPrevPage, "tbtPrevPage", "Предыдущая", "Предыдущая страница"},
      {&tbtNextPage, "tbtNextPage", "Следующая", "Следующая страница"},
      {&tbStop, "tbStop", "Стоп", "Стоп"},
      {&tbClose, "tbClose", "Закрыть", "Закрыть окно предварительного просмотра"}};
  int Image = 0;
  for (const TButtonSpec& Spec : Buttons) {
    TToolButton* Button = new TToolButton(this);
    Button->SetName(Spec.Name);
    Button->SetCaption(Spec.Caption);
    Button->SetHint(Spec.Hint);
    Button->SetImageIndex(Image++);
    Button->SetToolBar(tbrMain);
    *Spec.Button = Button;
  }
  Splitter = new TSplitter(this);
  Splitter->SetName("Splitter");
  Splitter->SetParent(this);
  Splitter->OnCanResize = [this](TObject*, int& NewSize, bool& Accept) {
    SplitterCanResize(NewSize, Accept);
  };
  stbMain = new TStatusBar(this);
  stbMain->SetParent(this);
  stbMain->SetAlign(alBottom);
  PreviewKs1 = new TPreviewBox(this);
  PreviewKs1->SetName("PreviewKs1");
  PreviewKs1->SetParent(this);
  PreviewKs1->SetAlign(alClient);

  pmnScale = new TPopupMenu(this);
  for (int Mode = 0; Mode < 10; ++Mode) {
    TMenuItem* Item = new TMenuItem(this);
    Item->SetName(ScaleNames[Mode]);
    Item->SetCaption(ScaleTexts[Mode]);
    Item->Tag = Mode;
    Item->OnClick = [this, Item](TObject*) {
      Item->SetChecked(true);
      PreviewKs1->SetScaleMode(static_cast<int>(Item->Tag));
    };
    pmnScale->Items()->Add(Item);
    ScaleItems[Mode] = Item;
  }
  PreviewKs1->SetScaleMode(9);
  Timer1 = new TTimer(this);
  Timer1->SetEnabled(false);
  Timer1->OnTimer = [this](TObject*) { RepeatTick(); };

  tbtPrint->OnClick = [this](TObject*) { PrintClick(); };
  tbtPrinterSetupDialog->OnClick = [this](TObject*) { SetupClick(); };
  tbtScale->SetDropdownMenu(pmnScale);
  tbtPrevPage->OnClick = [this](TObject* Sender) { FlipClick(Sender, -1); };
  tbtNextPage->OnClick = [this](TObject* Sender) { FlipClick(Sender, 1); };
  for (TToolButton* Button : {tbtPrevPage, tbtNextPage}) {
    Button->OnMouseDown = [this, Button](TObject*, TMouseButton, TShiftState, int, int) {
      StartRepeat(Button);
    };
    Button->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
      Timer1->SetEnabled(false);
    };
  }
  tbStop->OnClick = [this](TObject*) { PreviewKs1->Printer()->Abort(); };
  tbClose->OnClick = [this](TObject*) { Close(); };

  // Esc stops a recording, else closes; closing while recording stops it
  // and closes once it has ended.
  OnKeyDown = [this](TObject*, uint16_t& Key, TShiftState) {
    if (Key != VK_ESCAPE) return;
    Key = 0;
    if (PreviewKs1->Printer()->GetPrinting())
      PreviewKs1->Printer()->Abort();
    else
      Close();
  };
  OnCloseQuery = [this](TObject*, bool& CanClose) {
    if (!PreviewKs1->Printer()->GetPrinting()) return;
    PreviewKs1->Printer()->Abort();
    FClosePending = true;
    CanClose = false;
  };
  PreviewKs1->OnPrinterPreviewChanged = [this](TObject*) { PreviewChanged(); };
  PreviewKs1->OnOpenPreviewer = [this](TObject*) { OpenPreviewer(); };
  OnDestroy = [](TObject*) { Form = nullptr; };
  PreviewChanged();
}

void TPreviewFormKs::PreviewChanged() {
  TPrinterPreview* P = PreviewKs1->Printer();
  const bool Printing = P->GetPrinting();
  if (!Printing && FClosePending) {
    FClosePending = false;
    Close();
  }
  tbStop->SetEnabled(Printing);
  tbClose->SetEnabled(!Printing);
  tbtPrint->SetEnabled(!Printing && P->PrinterInstalled());
  tbtPrinterSetupDialog->SetEnabled(!Printing && P->OnSetupDialog && P->PrintComponent());
  tbtPrevPage->SetEnabled(PreviewKs1->CurrentPage() > 1);
  tbtNextPage->SetEnabled(PreviewKs1->CurrentPage() < PreviewKs1->PageCount());
  stbMain->SetSimpleText(Format("Страница %d из %d",
                                {PreviewKs1->CurrentPage(), PreviewKs1->PageCount()}));
  // One check mark: the current mode's.
  for (int Mode = 0; Mode < 10; ++Mode)
    ScaleItems[Mode]->SetChecked(Mode == PreviewKs1->ScaleMode());
  SetCaption(AnsiString(PreviewCaption) + " - " + P->GetTitle());
}

// Every recorded page asks: only a minimised or hidden window changes.
void TPreviewFormKs::OpenPreviewer() {
  if (HandleAllocated() && IsIconic(Handle())) {
    ShowWindow(Handle(), SW_RESTORE);
    BringToFront();
  }
  if (!Visible()) {
    Show();
    ShowWindow(Handle(), SW_MAXIMIZE);
  }
}

void TPreviewFormKs::FlipClick(TObject* Sender, int Step) {
  // The release after an auto-repeat clicks too: that one flips nothing.
  if (Sender && Timer1->Interval() == 100) return;
  PreviewKs1->SetCurrentPage(PreviewKs1->CurrentPage() + Step);
}

void TPreviewFormKs::SplitterCanResize(int NewSize, bool& Accept) {
  const bool Icons = tbrMain->Images() != nullptr, Captions = tbrMain->ShowCaptions();
  if (NewSize < 25)
    SetToolbarLook(false, true);
  else if (NewSize >= 55)
    SetToolbarLook(true, true);
  else if ((NewSize >= 41 && !Icons) || (NewSize <= 41 && Icons && Captions))
    SetToolbarLook(true, false);
  // The toolbar keeps the height of its buttons.
  Accept = false;
}

void TPreviewFormKs::SetToolbarLook(bool Icons, bool Captions) {
  tbrMain->SetImages(Icons ? imlMain : nullptr);
  tbrMain->SetButtonSize(Icons ? 38 : 0, Icons ? 39 : 0);
  tbrMain->SetShowCaptions(Captions);
}

void TPreviewFormKs::StartRepeat(TToolButton* Button) {
  FHeldButton = Button;
  Timer1->SetInterval(400);
  Timer1->SetEnabled(true);
}

void TPreviewFormKs::RepeatTick() {
  Timer1->SetInterval(100);
  if (!FHeldButton || tbrMain->PressedButton() != FHeldButton) return;
  FlipClick(nullptr, FHeldButton == tbtNextPage ? 1 : -1);
}

void TPreviewFormKs::PrintPages(int From, int To) {
  TPrinterPreview* P = PreviewKs1->Printer();
  if (P->Pages().empty()) return;
  TPrinter* Target = P->OwnPrinter();
  Target->BeginDoc();
  for (int Page = From; Page <= To; ++Page) {
    if (Page > From) Target->NewPage();
    P->Pages()[Page - 1]->Play(Target->Canvas()->Handle(),
                               {0, 0, P->GetPageWidth(), P->GetPageHeight()});
  }
  Target->EndDoc();
}

void TPreviewFormKs::PrintClick() {
  TPrinterSwap Swap(PreviewKs1->Printer()->OwnPrinter());
  TPrintDialog Dialog(nullptr);
  Dialog.MinPage = 1;
  Dialog.MaxPage = std::max(1, PreviewKs1->PageCount());
  if (Dialog.Execute() && PreviewKs1->PageCount() > 0) PrintPages(Dialog.FromPage, Dialog.ToPage);
}

void TPreviewFormKs::SetupClick() {
  TPrinterPreview* P = PreviewKs1->Printer();
  TPrinterSwap Swap(P->OwnPrinter());
  if (P->OnSetupDialog) {
    P->OnSetupDialog(this);
    return;
  }
  TPrinterSetupDialog Dialog(nullptr);
  if (Dialog.Execute() && P->OnSetupChanged) P->OnSetupChanged(this);
}

TPrinterPreview* PrinterPreview() {
  if (!Form) Form = new TPreviewFormKs(Application);
  return Form->PreviewKs1->Printer();
}

TPreviewFormKs* PreviewForm() { return Form; }
