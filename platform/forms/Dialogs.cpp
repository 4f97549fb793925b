#include "forms/Dialogs.h"

#include <commdlg.h>

#include "forms/Forms.h"
#include "forms/LateBound.h"
#include "forms/Prompts.h"
#include "forms/StdCtrls.h"

int ModalResultOf(TMsgDlgBtn Button) {
  static const int Results[] = {mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                                mrIgnore, mrAll, mrNoToAll, mrYesToAll, 0};
  return Results[Button];
}

AnsiString DialogTitle(TMsgDlgType DlgType) {
  static const char* const Titles[] = {"Предупреждение", "Ошибка", "Информация", "Подтверждение"};
  return DlgType == mtCustom ? Application->Title() : AnsiString(Titles[DlgType]);
}

int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int) {
  static const UINT Icons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION,
                               0};
  struct TSetOfBox {
    TMsgDlgButtons Buttons;
    UINT Flags;
  };
  static const TSetOfBox Boxes[] = {
      {{mbYes, mbNo, mbCancel}, MB_YESNOCANCEL},
      {{mbYes, mbNo}, MB_YESNO},
      {{mbOK, mbCancel}, MB_OKCANCEL},
      {{mbAbort, mbRetry, mbIgnore}, MB_ABORTRETRYIGNORE},
      {{mbRetry, mbCancel}, MB_RETRYCANCEL},
  };
  UINT Flags = MB_OK;
  for (const TSetOfBox& Box : Boxes)
    if ((Buttons - TMsgDlgButtons{mbHelp}) == Box.Buttons) Flags = Box.Flags;
  int Result = Application->MessageBox(Msg, DialogTitle(DlgType), Flags | Icons[DlgType]);
  // A box of one button that is not OK: the system's OK stands for it.
  if (Flags == MB_OK && Result == IDOK) {
    for (int Kind = mbYes; Kind <= mbYesToAll; ++Kind)
      if (Buttons.Contains(static_cast<TMsgDlgBtn>(Kind)))
        return ModalResultOf(static_cast<TMsgDlgBtn>(Kind));
  }
  return Result;
}

void ShowMessage(const AnsiString& Msg) {
  Application->MessageBox(Msg, Application->Title(), MB_OK);
}

namespace {

// The input box: a prompt, an edit and OK/Cancel, sized to the texts.
bool RunInputForm(const AnsiString& Caption, const AnsiString& Prompt, AnsiString& Value) {
  TForm Form(Application);
  Form.SetBorderStyle(bsDialog);
  Form.SetPosition(poScreenCenter);
  Form.SetCaption(Caption);
  auto* Label = new TLabel(&Form);
  Label->SetParent(&Form);
  Label->SetBounds(8, 8, 0, 0);
  Label->SetCaption(Prompt);
  int Width = std::max(240, Label->Width());
  auto* Edit = new TEdit(&Form);
  Edit->SetParent(&Form);
  Edit->SetBounds(8, Label->Top() + Label->Height() + 6, Width, 21);
  Edit->SetText(Value);
  // Typing replaces the value offered; Enter keeps it.
  Edit->SelectAll();
  int ButtonTop = Edit->Top() + Edit->Height() + 12;
  auto* Ok = new TButton(&Form);
  Ok->SetParent(&Form);
  Ok->SetCaption("OK");
  Ok->SetDefault(true);
  Ok->SetModalResult(mrOk);
  Ok->SetBounds(8 + Width - 2 * 75 - 8, ButtonTop, 75, 25);
  auto* Cancel = new TButton(&Form);
  Cancel->SetParent(&Form);
  Cancel->SetCaption("Отмена");
  Cancel->SetCancel(true);
  Cancel->SetModalResult(mrCancel);
  Cancel->SetBounds(8 + Width - 75, ButtonTop, 75, 25);
  Form.SetClientSize(Width + 16, ButtonTop + 25 + 8);
  Form.SetActiveControl(Edit);
  if (Form.ShowModal() != mrOk) return false;
  Value = Edit->Text();
  return true;
}

}  // namespace

bool InputQuery(const AnsiString& Caption, const AnsiString& Prompt, AnsiString& Value) {
  TPrompt Question{TPromptKind::InputQuery, Caption, Prompt};
  Question.Value = Value;
  TPromptAnswer Answer = Prompts().Ask(Question, [&] {
    AnsiString Text = Value;
    bool Accepted = RunInputForm(Caption, Prompt, Text);
    return TPromptAnswer{Accepted ? 1 : 0, Text};
  });
  if (Answer.Result) Value = Answer.Value;
  return Answer.Result != 0;
}

AnsiString InputBox(const AnsiString& Caption, const AnsiString& Prompt,
                    const AnsiString& Default) {
  AnsiString Value = Default;
  InputQuery(Caption, Prompt, Value);
  return Value;
}

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool TOpenDialog::Execute() {
  TPrompt Question{Saving() ? TPromptKind::SaveFile : TPromptKind::OpenFile, Title, Filter};
  Question.Value = FileName;
  TPromptAnswer Answer = Prompts().Ask(Question, [&] {
    AnsiString Filters = Filter;
    for (char& C : Filters)
      if (C == '|') C = '\0';
    Filters.append(2, '\0');
    char Buffer[4 * MAX_PATH] = {};
    lstrcpynA(Buffer, FileName.c_str(), sizeof Buffer);
    OPENFILENAMEA Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = GetActiveWindow();
    Dialog.lpstrFilter = Filter.empty() ? nullptr : Filters.c_str();
    Dialog.nFilterIndex = FilterIndex;
    Dialog.lpstrFile = Buffer;
    Dialog.nMaxFile = sizeof Buffer;
    Dialog.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
    Dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    Dialog.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    Dialog.Flags = OFN_EXPLORER;
    static const DWORD Flags[] = {OFN_READONLY,     OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY,
                                  OFN_NOCHANGEDIR,  OFN_PATHMUSTEXIST,   OFN_FILEMUSTEXIST,
                                  OFN_CREATEPROMPT, OFN_ENABLESIZING};
    for (int Option = ofReadOnly; Option <= ofEnableSizing; ++Option)
      if (Options.Contains(static_cast<TOpenOption>(Option))) Dialog.Flags |= Flags[Option];
    static auto* const Save =
        LateBound<decltype(GetSaveFileNameA)>("comdlg32.dll", "GetSaveFileNameA");
    static auto* const Open =
        LateBound<decltype(GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
    auto* const Run = Saving() ? Save : Open;
    bool Chosen = Run && Run(&Dialog);
    if (Chosen) FilterIndex = static_cast<int>(Dialog.nFilterIndex);
    return TPromptAnswer{Chosen ? 1 : 0, Buffer};
  });
  if (Answer.Result) FileName = Answer.Value;
  return Answer.Result != 0;
}

namespace {

PCCERT_CONTEXT CertificateAt(HCERTSTORE Store, int Index) {
  PCCERT_CONTEXT Context = nullptr;
  while ((Context = CertEnumCertificatesInStore(Store, Context)) != nullptr)
    if (Index-- == 0) return CertDuplicateCertificateContext(Context);
  return nullptr;
}

BOOL WINAPI AcceptEveryCertificate(PCCERT_CONTEXT, BOOL*, void*) { return TRUE; }

int IndexOfCertificate(HCERTSTORE Store, PCCERT_CONTEXT Wanted) {
  PCCERT_CONTEXT Context = nullptr;
  for (int Index = 0; (Context = CertEnumCertificatesInStore(Store, Context)) != nullptr; ++Index) {
    if (CertCompareCertificate(X509_ASN_ENCODING, Context->pCertInfo, Wanted->pCertInfo)) {
      CertFreeCertificateContext(Context);
      return Index;
    }
  }
  return -1;
}

}  // namespace

PCCERT_CONTEXT SelectCertificate(HCERTSTORE Store, const AnsiString& StoreName, HWND Owner) {
  TPromptAnswer Answer = Prompts().Ask(TPrompt{TPromptKind::PickCertificate, {}, StoreName}, [&] {
    // The picker's library has no import library or header here: bound by
    // name, its structure written from the published layout.
    struct TSelectCertificate {
      DWORD dwSize;
      HWND hwndParent;
      DWORD dwFlags;
      LPCSTR szTitle;
      DWORD dwDontUseColumn;
      LPCSTR szDisplayString;
      BOOL(WINAPI* pFilterCallback)(PCCERT_CONTEXT, BOOL*, void*);
      BOOL(WINAPI* pDisplayCallback)(PCCERT_CONTEXT, HWND, void*);
      void* pvCallbackData;
      DWORD cDisplayStores;
      HCERTSTORE* rghDisplayStores;
      DWORD cStores;
      HCERTSTORE* rghStores;
      DWORD cPropSheetPages;
      const void* rgPropSheetPages;
      HCERTSTORE hSelectedCertStore;
    };
    static_assert(sizeof(TSelectCertificate) == (sizeof(void*) == 8 ? 128 : 64));
    using TSelect = PCCERT_CONTEXT(WINAPI*)(const TSelectCertificate*);
    HMODULE Library = LoadLibraryA("cryptui.dll");
    auto Select = reinterpret_cast<TSelect>(
        reinterpret_cast<void*>(GetProcAddress(Library, "CryptUIDlgSelectCertificateA")));
    if (!Select) return TPromptAnswer{};
    TSelectCertificate Dialog{};
    Dialog.dwSize = sizeof Dialog;
    Dialog.hwndParent = Owner;
    Dialog.pFilterCallback = AcceptEveryCertificate;
    Dialog.cDisplayStores = 1;
    Dialog.rghDisplayStores = &Store;
    PCCERT_CONTEXT Chosen = Select(&Dialog);
    if (!Chosen) return TPromptAnswer{};
    int Index = IndexOfCertificate(Store, Chosen);
    CertFreeCertificateContext(Chosen);
    return TPromptAnswer{Index + 1, {}};
  });
  return Answer.Result > 0 ? CertificateAt(Store, Answer.Result - 1) : nullptr;
}
