#include "common/uToolsGui.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>

#include "common/RusClipboard.h"
#include "common/uTools.h"
#include "forms/ExtCtrls.h"
#include "forms/LateBound.h"
#include "forms/Prompts.h"
#include "forms/StdCtrls.h"
#include "rtl/Streams.h"

namespace {

struct TButtonKind {
  const char* Name;
  const char* Caption;  // the usual caption, when the caller gives none
};
const TButtonKind ButtonKinds[] = {
    {"Yes", "&Да"},
    {"No", "&Нет"},
    {"OK", "OK"},
    {"Cancel", "Отмена"},
    {"Abort", "&Прервать"},
    {"Retry", "&Повторить"},
    {"Ignore", "&Пропустить"},
    {"All", "&Все"},
    {"NoToAll", "Н&ет для всех"},
    {"YesToAll", "Д&а для всех"},
    {"Help", "&Справка"},
};

const char* const Icons[] = {IDI_EXCLAMATION, IDI_HAND, IDI_ASTERISK, IDI_QUESTION};

AnsiString CaptionOf(const std::vector<AnsiString>& Captions, size_t Index, TMsgDlgBtn Kind) {
  return Index < Captions.size() ? Captions[Index] : AnsiString(ButtonKinds[Kind].Caption);
}

void CopyLabelText(TObject* Sender) {
  CopyTextToClipboard(static_cast<TLabel*>(Sender)->Caption());
}

// The application comes to the front before the dialog shows; minimising
// and restoring gets past the system's foreground lock, with the window
// animation off meanwhile.
void BringApplicationToFront() {
  HWND App = Application->Handle();
  if (!App || GetLastActivePopup(App) == GetForegroundWindow()) return;
  ANIMATIONINFO Animation{sizeof Animation, 0};
  SystemParametersInfoA(SPI_GETANIMATION, sizeof Animation, &Animation, 0);
  bool Animated = Animation.iMinAnimate != 0;
  if (Animated) {
    Animation.iMinAnimate = 0;
    SystemParametersInfoA(SPI_SETANIMATION, sizeof Animation, &Animation, 0);
  }
  if (!IsIconic(App)) Application->Minimize();
  Application->Restore();
  if (Animated) {
    Animation.iMinAnimate = 1;
    SystemParametersInfoA(SPI_SETANIMATION, sizeof Animation, &Animation, 0);
  }
}

}  // namespace

TMessageForm::TMessageForm(TComponent* AOwner) : TForm(AOwner) {
  NONCLIENTMETRICSA Metrics{};
  Metrics.cbSize = sizeof Metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0))
    Font()->SetLogFont(Metrics.lfMessageFont);
}

TMessageForm* BuildMessageForm(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                               TMsgDlgBtn DefaultButton, const std::vector<AnsiString>& Captions,
                               const std::vector<AnsiString>& Hints) {
  auto* Form = new TMessageForm(Application);
  Form->SetBiDiMode(Application->BiDiMode());
  Form->SetBorderStyle(bsDialog);
  TWindowDC ScreenDC;
  TCanvas Canvas;
  Canvas.SetHandle(ScreenDC.Get());
  Canvas.Font()->Assign(Form->Font());

  SIZE Units = Canvas.TextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int DialogX = Units.cx / 52, DialogY = Units.cy;
  int HorzMargin = MulDiv(8, DialogX, 4), VertMargin = MulDiv(8, DialogY, 8);
  int HorzSpacing = MulDiv(10, DialogX, 4), VertSpacing = MulDiv(10, DialogY, 8);
  int ButtonWidth = MulDiv(50, DialogX, 4), ButtonHeight = MulDiv(14, DialogY, 8);
  int ButtonSpacing = MulDiv(4, DialogX, 4);

  std::vector<TMsgDlgBtn> Chosen;
  for (int Kind = mbYes; Kind <= mbHelp; ++Kind)
    if (Buttons.Contains(static_cast<TMsgDlgBtn>(Kind)))
      Chosen.push_back(static_cast<TMsgDlgBtn>(Kind));
  for (size_t I = 0; I < Chosen.size(); ++I) {
    AnsiString Caption = CaptionOf(Captions, I, Chosen[I]);
    RECT R{0, 0, 0, 0};
    DrawTextA(Canvas.Handle(), Caption.c_str(), -1, &R, DT_CALCRECT | DT_LEFT | DT_SINGLELINE);
    ButtonWidth = std::max(ButtonWidth, static_cast<int>(R.right) + 16);
  }

  RECT TextRect{0, 0, ::Screen->Width() / 2, 0};
  DrawTextA(Canvas.Handle(), Msg.c_str(), static_cast<int>(Msg.size()), &TextRect,
            DT_EXPANDTABS | DT_CALCRECT | DT_WORDBREAK);
  int TextWidth = TextRect.right, TextHeight = TextRect.bottom;
  int Reserve = 4 * (ButtonHeight + VertMargin + VertSpacing);
  bool Scrolled = ::Screen->Height() < TextHeight + Reserve;
  if (Scrolled) TextHeight = ::Screen->Height() - Reserve;

  bool HasIcon = DlgType != mtCustom;
  int IconTextWidth = TextWidth, IconTextHeight = TextHeight;
  if (HasIcon) {
    IconTextWidth += 32 + HorzSpacing;
    IconTextHeight = std::max(IconTextHeight, 32);
  }
  int Count = static_cast<int>(Chosen.size());
  int ButtonGroupWidth = Count ? ButtonWidth * Count + ButtonSpacing * (Count - 1) : 0;
  Form->SetClientSize(std::max(IconTextWidth, ButtonGroupWidth) + HorzMargin * 2,
                      IconTextHeight + ButtonHeight + VertSpacing + VertMargin * 2);
  int Top = ::Screen->Height() / 2 - Form->Height() / 2;
  if (Scrolled && Top < 0) Top = 0;
  Form->SetBounds(::Screen->Width() / 2 - Form->Width() / 2, Top, Form->Width(), Form->Height());
  Form->SetCaption(DialogTitle(DlgType));

  if (HasIcon) {
    auto* Image = new TImage(Form);
    Image->SetName("Image");
    Image->SetParent(Form);
    Image->Picture()->Icon()->SetHandle(LoadIconA(nullptr, Icons[DlgType]), false);
    Image->SetBounds(HorzMargin, VertMargin, 32, 32);
  }
  int TextLeft = IconTextWidth - TextWidth + HorzMargin;
  if (Form->BiDiMode() == bdRightToLeft) TextLeft = Form->ClientWidth() - TextLeft - TextWidth;
  auto* Message = new TLabel(Form);
  Message->SetName("Message");
  Message->SetWordWrap(true);
  Message->OnClick = CopyLabelText;
  Message->OnDblClick = CopyLabelText;
  if (Scrolled) {
    auto* Scroll = new TScrollBox(Form);
    Scroll->SetName("Scroll");
    Scroll->SetParent(Form);
    Scroll->SetBounds(TextLeft, VertMargin, TextWidth, TextHeight);
    Message->SetParent(Scroll);
    Message->SetBounds(0, 0, TextWidth - 20, 0);
  } else {
    Message->SetParent(Form);
    Message->SetBounds(TextLeft, VertMargin, TextWidth, TextHeight);
  }
  Message->SetCaption(Msg);

  TMsgDlgBtn CancelButton = Buttons.Contains(mbCancel) ? mbCancel
                            : Buttons.Contains(mbNo)   ? mbNo
                                                       : mbOK;
  int X = (Form->ClientWidth() - ButtonGroupWidth) / 2;
  int Y = IconTextHeight + VertMargin + VertSpacing;
  for (size_t I = 0; I < Chosen.size(); ++I, X += ButtonWidth + ButtonSpacing) {
    TMsgDlgBtn Kind = Chosen[I];
    auto* Button = new TButton(Form);
    Button->SetName(ButtonKinds[Kind].Name);
    Button->SetParent(Form);
    Button->SetCaption(CaptionOf(Captions, I, Kind));
    Button->SetModalResult(ModalResultOf(Kind));
    if (I < Hints.size() && !Hints[I].empty()) {
      Button->SetHint(Hints[I]);
      Button->SetShowHint(true);
    }
    if (Kind == DefaultButton) {
      Button->SetDefault(true);
      Form->SetActiveControl(Button);
    }
    Button->SetCancel(Kind == CancelButton);
    Button->SetBounds(X, Y, ButtonWidth, ButtonHeight);
  }
  return Form;
}

int ShowMessageDialog(const AnsiString& Msg, TMsgDlgType DlgType, const AnsiString& Caption,
                      TMsgDlgButtons Buttons, TMsgDlgBtn DefaultButton,
                      const std::vector<AnsiString>& Captions, bool EscapeAnswers) {
  TPrompt Question(TPromptKind::MessageDialog, Caption, Msg);
  Question.Options = Captions;
  Question.Flags = DlgType;
  Question.Default = ModalResultOf(DefaultButton);
  return Prompts()
      .Ask(Question,
           [&] {
             TMessageForm* Form =
                 BuildMessageForm(Msg, DlgType, Buttons, DefaultButton, Captions, {});
             if (!Caption.empty()) Form->SetCaption(Caption);
             if (!EscapeAnswers) {
               for (int I = 0; I < Form->ComponentCount(); ++I)
                 if (auto* Button = dynamic_cast<TButton*>(Form->Components(I)))
                   Button->SetCancel(false);
               Form->OnCloseQuery = [Form](TObject*, bool& CanClose) {
                 CanClose = Form->ModalResult() != mrCancel;
               };
             }
             BringApplicationToFront();
             TPromptAnswer Answer;
             try {
               Answer.Result = Form->ShowModal();
             } catch (...) {
               delete Form;
               throw;
             }
             delete Form;
             return Answer;
           })
      .Result;
}

void CopyTextToClipboard(const AnsiString& Text) {
  TRusClipboard Clipboard;
  Clipboard.Open();
  SetClipboardLocale(&Clipboard, 1049);
  Clipboard.SetAsText(Text);
  SetClipboardLocale(&Clipboard, 1049);
  Clipboard.Close();
}

bool ConfirmOverwrite(const AnsiString& Data, const AnsiString& FileName) {
  bool Existed = FileExists(FileName);
  if (Existed &&
      MessageDlg("Файл с именем " + FileName + " уже существует." + "\r\n" + "Перезаписать?",
                 mtConfirmation, {mbYes, mbNo}) != mrYes)
    return false;
  TFileStream File(FileName, fmCreate);
  File.WriteBuffer(Data.data(), static_cast<int32_t>(Data.size()));
  if (Existed) WriteEventLog("Файл " + FileName + " перезаписан", "");
  return true;
}

namespace {

int CALLBACK SelectInitialFolder(HWND Wnd, UINT Msg, LPARAM, LPARAM Data) {
  if (Msg == BFFM_INITIALIZED) SendMessageA(Wnd, BFFM_SETSELECTIONA, TRUE, Data);
  return 0;
}

bool BrowseForFolder(const AnsiString& Caption, const WideString& Root, AnsiString& Directory) {
  static auto* const GetMalloc = LateBound<decltype(SHGetMalloc)>("shell32.dll", "SHGetMalloc");
  static auto* const GetDesktopFolder =
      LateBound<decltype(SHGetDesktopFolder)>("shell32.dll", "SHGetDesktopFolder");
  static auto* const Browse =
      LateBound<decltype(SHBrowseForFolderA)>("shell32.dll", "SHBrowseForFolderA");
  static auto* const PathFromItem =
      LateBound<decltype(SHGetPathFromIDListA)>("shell32.dll", "SHGetPathFromIDListA");
  IMalloc* Allocator = nullptr;
  if (!GetMalloc || !GetDesktopFolder || !Browse || !PathFromItem || GetMalloc(&Allocator) != S_OK)
    return false;
  auto* Buffer = static_cast<char*>(Allocator->Alloc(MAX_PATH));
  LPITEMIDLIST RootItem = nullptr;
  if (!Root.empty()) {
    IShellFolder* Desktop = nullptr;
    if (GetDesktopFolder(&Desktop) == S_OK) {
      WideString Name = Root;
      Desktop->ParseDisplayName(Application->Handle(), nullptr,
                                reinterpret_cast<LPWSTR>(Name.data()), nullptr, &RootItem, nullptr);
      Desktop->Release();
    }
  }
  BROWSEINFOA Info{};
  Info.hwndOwner = Application->Handle();
  Info.pidlRoot = RootItem;
  Info.pszDisplayName = Buffer;
  Info.lpszTitle = Caption.c_str();
  Info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  if (!Directory.empty()) {
    Info.lpfn = SelectInitialFolder;
    Info.lParam = reinterpret_cast<LPARAM>(Directory.c_str());
  }
  std::vector<HWND> Disabled = DisableTaskWindows();
  UINT OldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  LPITEMIDLIST Item = Browse(&Info);
  SetErrorMode(OldMode);
  EnableTaskWindows(Disabled);
  bool Chosen = Item != nullptr;
  if (Chosen) {
    PathFromItem(Item, Buffer);
    Allocator->Free(Item);
    Directory = Buffer;
  }
  if (RootItem) Allocator->Free(RootItem);
  Allocator->Free(Buffer);
  Allocator->Release();
  return Chosen;
}

}  // namespace

bool SelectFolder(const AnsiString& Caption, const WideString& Root, AnsiString& Directory) {
  if (!DirectoryExists(Directory)) Directory.clear();
  TPrompt Question(TPromptKind::SelectFolder, Caption);
  Question.Value = Directory;
  TPromptAnswer Answer = Prompts().Ask(Question, [&] {
    AnsiString Chosen = Directory;
    return TPromptAnswer{BrowseForFolder(Caption, Root, Chosen) ? 1 : 0, Chosen};
  });
  if (Answer.Result) Directory = Answer.Value;
  return Answer.Result != 0;
}

void ListFiles(const AnsiString& Dir, const AnsiString& Mask, uint32_t Attr,
               std::vector<AnsiString>& Names) {
  Names.clear();
  const DWORD Excluded = ~Attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 /* volume */ |
                                  FILE_ATTRIBUTE_DIRECTORY);
  WIN32_FIND_DATAA Found;
  HANDLE Search = FindFirstFileA((IncludeBackslash(Dir) + Mask).c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(Found.dwFileAttributes & (Excluded | FILE_ATTRIBUTE_DIRECTORY)))
      Names.push_back(Found.cFileName);
  } while (FindNextFileA(Search, &Found));
  FindClose(Search);
}
