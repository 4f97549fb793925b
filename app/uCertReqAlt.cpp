#include "app/uCertReqAlt.h"

#include <windows.h>

#include <memory>

#include "app/uAddresses.h"
#include "app/uTokenWork.h"
#include "app/uCertInstall.h"
#include "app/uFillRequisites.h"
#include "app/uMorvelBinding.h"
#include "app/uSignPage.h"
#include "app/uValidators.h"
#include "common/uTools.h"
#include "common/uToolsGui.h"
#include "forms/Prompts.h"
#include "rtl/OsShim.h"

namespace {

using Fields = std::initializer_list<TCustomDBEditKs*>;

// 2018-07-20 19:59:00, packed DOS date and time: older libraries cannot
// make 2012 keys.
constexpr uint32_t MorvelMinimumDate = 0x4CF49F60;

template <class T>
T* NewControl(TfCertRequestAlt* Form, TWinControl* Parent, const char* Name, const char* Caption,
              RECT Bounds) {
  auto* Control = new T(Form);
  Control->SetName(Name);
  Control->SetParent(Parent);
  Control->SetCaption(Caption);
  Control->SetBounds(Bounds.left, Bounds.top, Bounds.right, Bounds.bottom);
  return Control;
}

TSButton* NewButton(TfCertRequestAlt* Form, TWinControl* Parent, const char* Name,
                    const char* Caption, RECT Bounds) {
  return NewControl<TSButton>(Form, Parent, Name, Caption, Bounds);
}

TLabel* NewLabel(TfCertRequestAlt* Form, TWinControl* Parent, const char* Name, const char* Caption,
                 int Left, int Top) {
  auto* Label = new TLabel(Form);
  Label->SetName(Name);
  Label->SetParent(Parent);
  Label->SetBounds(Left, Top, 0, 0);
  Label->SetCaption(Caption);
  return Label;
}

TTabSheet* NewPage(TfCertRequestAlt* Form, TPageControl* Pages, const char* Name,
                   const char* Caption) {
  auto* Page = new TTabSheet(Form);
  Page->SetName(Name);
  Page->SetPageControl(Pages);
  Page->SetCaption(Caption);
  return Page;
}

TOpenDialog* NewOpenDialog(TfCertRequestAlt* Form, const char* Name, const char* Filter,
                           const char* Title) {
  auto* Dialog = new TOpenDialog(Form);
  Dialog->SetName(Name);
  Dialog->Filter = Filter;
  Dialog->Title = Title;
  return Dialog;
}

// A requisite and its label "lbl" + the field's name without its prefix
// (edtKPP: lblKPP), the label at LabelLeft, the field from FieldLeft.
template <class T>
T* NewRequisite(TfCertRequestAlt* Form, TGroupBox* Group, const char* Name, const char* Caption,
                int Top, int LabelLeft, int FieldLeft, int Width, int MaxLength,
                TLabel** Label = nullptr) {
  TLabel* Title =
      NewLabel(Form, Group, (AnsiString("lbl") + (Name + 3)).c_str(), Caption, LabelLeft, Top + 3);
  if (Label) *Label = Title;
  auto* Field = new T(Form);
  Field->SetName(Name);
  Field->SetParent(Group);
  Field->SetBounds(FieldLeft, Top, Width, 21);
  Field->SetMaxLength(MaxLength);
  return Field;
}

TMenuItem* NewMenuItem(TfCertRequestAlt* Form, TPopupMenu* Menu, const char* Name,
                       const char* Caption) {
  auto* Item = new TMenuItem(Form);
  Item->SetName(Name);
  Item->SetCaption(Caption);
  Menu->Items()->Add(Item);
  return Item;
}

}  // namespace

TStartupFiles TStartupFiles::Installed() {
  AnsiString Folder = ExtractFilePath(ExeFileName());
  return TStartupFiles{Folder + "Morvel.dll", MorvelLibraryName(), "tvMiniDrv.dll",
                       Folder + "Velmora.pdf"};
}

AnsiString GetFileVersionString(const AnsiString& FileName) {
  DWORD Handle = 0;
  DWORD Size = GetFileVersionInfoSizeA(FileName.c_str(), &Handle);
  if (Size == 0) return "";
  std::unique_ptr<char[]> Buffer(new char[Size]);
  VS_FIXEDFILEINFO* Info = nullptr;
  UINT Length = 0;
  if (!GetFileVersionInfoA(FileName.c_str(), 0, Size, Buffer.get()) ||
      !VerQueryValueA(Buffer.get(), "\\", reinterpret_cast<void**>(&Info), &Length) || !Info)
    return "";
  return Format("%d.%d.%d.%d", {HIWORD(Info->dwFileVersionMS), LOWORD(Info->dwFileVersionMS),
                                HIWORD(Info->dwFileVersionLS), LOWORD(Info->dwFileVersionLS)});
}

// 3.9, 1.5 and 0.3 used to pass on their minor number alone.
bool MiniDriverVersionPasses(const AnsiString& Version) {
  std::vector<AnsiString> Parts;
  SplitString(Version, ".", Parts);
  if (Parts.size() != 4) return false;
  int Major = StrToIntDef(Parts[0], 0), Minor = StrToIntDef(Parts[1], 0);
  return Major > 4 || (Major == 4 && Minor > 2);
}

TfCertRequestAlt::TfCertRequestAlt(TComponent* AOwner, const TStartupFiles& Files)
    : TForm(AOwner), FFiles(Files) {
  SetName("fCertRequestAlt");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  Font()->SetCharset(RUSSIAN_CHARSET);
  SetClientSize(700, 554);

  PageControl = new TPageControl(this);
  PageControl->SetName("PageControl");
  PageControl->SetParent(this);
  PageControl->SetBounds(0, 0, 700, 505);
  PageControl->SetAlign(alTop);
  CreateRequestPage();
  CreateInfoPage();
  CreateInstallPage();
  CreateSignPage();
  PageControl->SetActivePage(tsMain);

  StatusBar = new TStatusBar(this);
  StatusBar->SetName("StatusBar");
  StatusBar->SetParent(this);
  StatusBar->SetSimplePanel(true);

  btnHelp = new TButton(this);
  btnHelp->SetName("btnHelp");
  btnHelp->SetParent(this);
  btnHelp->SetBounds(8, 509, 90, 25);
  btnHelp->SetCaption("Помощь");
  btnHelp->SetModalResult(mrCancel);
  Button2 = new TButton(this);
  Button2->SetName("Button2");
  Button2->SetParent(this);
  Button2->SetBounds(602, 509, 90, 25);
  Button2->SetCaption("За&крыть");
  Button2->SetModalResult(mrCancel);

  OpenDialog =
      NewOpenDialog(this, "OpenDialog", "Сертификаты|*.cer", "Укажите файл с сертификатом");
  OpenDialogXML =
      NewOpenDialog(this, "OpenDialogXML", "xml-шаблон|*.xml", "Укажите файл с xml - шаблоном");
  OpenDialogFile = NewOpenDialog(this, "OpenDialogFile", "", "Укажите подписываемый файл");
  OpenDialogFile->Options = {ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing};
  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  Windows1 =
      NewMenuItem(this, PopupMenu1, "Windows1", "Выбрать из \"хранилища\" сертификатов Windows");
  N1 = NewMenuItem(this, PopupMenu1, "N1", "Выбрать из файла");
  saltra1 = NewMenuItem(this, PopupMenu1, "saltra1", "Выбрать из сертификатов на устройстве");

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    FormKeyDown(Sender, Key, Shift);
  };
  btnOK->OnClick = [this](TObject* Sender) { btnOKClick(Sender); };
  btnLoadFromCert->OnClick = [this](TObject* Sender) { btnLoadFromCertClick(Sender); };
  btnLoadFromXML->OnClick = [this](TObject* Sender) { btnLoadFromXMLClick(Sender); };
  Windows1->OnClick = [this](TObject* Sender) { Windows1Click(Sender); };
  N1->OnClick = [this](TObject* Sender) { N1Click(Sender); };
  saltra1->OnClick = [this](TObject* Sender) { saltra1Click(Sender); };
  btnClearAll->OnClick = [this](TObject* Sender) { btnClearAllClick(Sender); };
  btnHelp->OnClick = [this](TObject* Sender) { btnHelpClick(Sender); };
  Button2->OnClick = [this](TObject* Sender) { Button2Click(Sender); };
  BindSignPage();
  DoCreate();
}

// The requisite fields take the space between the instruction and the
// buttons.
void TfCertRequestAlt::CreateRequestPage() {
  tsMain = NewPage(this, PageControl, "tsMain", "&1. Генерация ключа и запроса на сертификат");
  CreateRequisiteFields();
  Label17 = NewLabel(
      this, tsMain, "Label17",
      "Заполните все обязательные поля (отмеченные красным подчеркиванием) вручную либо на "
      "основе сертификата или xml-шаблона и нажмите кнопку \"Генерировать ключ ...\"",
      8, 6);
  Label17->Font()->SetColor(clMaroon);
  Label17->Font()->SetStyle({fsBold});
  Label17->SetBounds(8, 6, 676, 0);
  Label17->SetWordWrap(true);
  btnLoadFromCert = NewButton(this, tsMain, "btnLoadFromCert", "Заполнить поля из сертификата",
                              {8, 364, 250, 22});
  btnLoadFromXML = NewButton(this, tsMain, "btnLoadFromXML", "Заполнить поля из xml-шаблона",
                             {266, 364, 250, 22});
  btnOK = NewButton(this, tsMain, "btnOK", "", {8, 440, 540, 28});
  btnOK->Font()->SetStyle({fsBold});
  btnOK->SetEnabled(false);
  btnClearAll = NewButton(this, tsMain, "btnClearAll", "Очистить все", {556, 440, 128, 28});

  GroupBox1 = new TGroupBox(this);
  GroupBox1->SetName("GroupBox1");
  GroupBox1->SetParent(tsMain);
  GroupBox1->SetBounds(8, 392, 676, 41);
  GroupBox1->SetVisible(false);
  GroupBox1->SetEnabled(false);
  Label5 = NewLabel(this, GroupBox1, "Label5",
                    "Срок действия запрашиваемого сертификата ключа ЭП:", 8, 16);
  Label5->SetEnabled(false);
  cbValidForMonths = new TComboBox(this);
  cbValidForMonths->SetName("cbValidForMonths");
  cbValidForMonths->SetParent(GroupBox1);
  cbValidForMonths->SetBounds(310, 12, 200, 21);
  cbValidForMonths->SetStyle(csDropDownList);
  cbValidForMonths->SetEnabled(false);
  for (const char* Item : {"15 месяцев (1 год и 3 месяца)", "14 месяцев (1 год и 2 месяца)",
                           "13 месяцев (1 год и 1 месяц)", "12 месяцев (1 год)", "11 месяцев",
                           "10 месяцев", "9 месяцев", "8 месяцев", "7 месяцев", "6 месяцев",
                           "5 месяцев", "4 месяца", "3 месяца", "2 месяца", "1 месяц"})
    cbValidForMonths->Items()->Add(Item);
  Label7 = NewLabel(this, GroupBox1, "Label7", "- от момента выпуска на УЦ", 518, 16);
  Label7->SetEnabled(false);
}

void TfCertRequestAlt::CreateRequisiteFields() {
  rgCertOwnerType = new TSRadioGroup(this);
  rgCertOwnerType->SetName("rgCertOwnerType");
  rgCertOwnerType->SetParent(tsMain);
  rgCertOwnerType->SetBounds(8, 34, 676, 40);
  rgCertOwnerType->SetCaption("Тип владельца сертификата");
  rgCertOwnerType->SetColumns(2);
  rgCertOwnerType->Items()->Add("Ю&ридическое лицо");
  rgCertOwnerType->Items()->Add("И&ндивидуальный предприниматель");

  gbSubject = NewControl<TGroupBox>(this, tsMain, "gbSubject", "Сведения о владельце сертификата",
                                    {8, 78, 336, 162});
  edtSN = NewRequisite<TDBEditKs>(this, gbSubject, "edtSN", "Фамилия", 18, 8, 90, 236, 64);
  edtGN1 = NewRequisite<TDBEditKs>(this, gbSubject, "edtGN1", "Имя", 41, 8, 90, 236, 64);
  edtGN2 = NewRequisite<TDBEditKs>(this, gbSubject, "edtGN2", "Отчество", 64, 8, 90, 236, 64);
  edtSNILS = NewRequisite<TDBEditKs>(this, gbSubject, "edtSNILS", "СНИЛС", 87, 8, 90, 236, 11);
  edtSNILS->SetHint("Укажите СНИЛС - только цифры (без знака \"минус\" и пробелов)");
  edtSNILS->SetShowHint(true);
  edtEMAIL = NewRequisite<TDBEditKs>(this, gbSubject, "edtEMAIL", "E-mail", 110, 8, 90, 236, 40);
  dbeCategory =
      NewRequisite<TDBComboBoxKs>(this, gbSubject, "dbeCategory", "Должность", 133, 8, 90, 236, 0);
  dbeCategory->SetHint("Выберите должность из списка или введите вручную нужное значение");
  dbeCategory->SetShowHint(true);
  dbeCategory->DropDownBox()->SetRows(10);
  dbeCategory->DropDownBox()->SetSizable(true);

  gbAdrdess = NewControl<TGroupBox>(this, tsMain, "gbAdrdess", "Юридический адрес организации",
                                    {348, 78, 336, 162});
  edtST = NewRequisite<TDBComboBoxKs>(this, gbAdrdess, "edtST", "Область", 18, 8, 90, 236, 64);
  edtL = NewRequisite<TDBComboBoxKs>(this, gbAdrdess, "edtL", "Город", 41, 8, 90, 236, 64);
  for (auto [Combo, Presets] : {std::pair{dbeCategory, &PositionPresets},
                                std::pair{edtST, &RegionPresets}, std::pair{edtL, &CityPresets}}) {
    for (const char* Item : *Presets) Combo->Items()->Add(Item);
    Combo->DropDownBox()->SetAutoDrop(true);
  }
  edtStreet =
      NewRequisite<TDBEditKs>(this, gbAdrdess, "edtStreet", "Улица, дом", 64, 8, 90, 236, 128);

  gbOrgSettings = NewControl<TGroupBox>(this, tsMain, "gbOrgSettings",
                                        "Сведения об организации (Индивидуальном предпринимателе)",
                                        {8, 244, 676, 116});
  edtO = NewRequisite<TDBEditKs>(this, gbOrgSettings, "edtO", "Наименование", 18, 8, 150, 518, 0);
  edtOU = NewRequisite<TComboBox>(this, gbOrgSettings, "edtOU", "Отдел / Обособ. подр.", 44, 8, 150,
                                  250, 0);
  for (const char* Item : {"Руководство", "Бухгалтерия", "Управление"}) edtOU->Items()->Add(Item);
  TLabel* Note = NewLabel(this, gbOrgSettings, "lblOUNote",
                          "для ЕГАИС необходимо ввести адрес точки продаж вручную (например, "
                          "\"магазин на ул. Энтузиастов, 12\")",
                          410, 42);
  Note->SetBounds(410, 42, 258, 40);
  Note->SetWordWrap(true);
  Note->Font()->SetColor(clGreen);
  edtOGRN =
      NewRequisite<TDBEditKs>(this, gbOrgSettings, "edtOGRN", "ОГРН (ИП)", 84, 8, 150, 130, 15);
  edtINN = NewRequisite<TDBEditKs>(this, gbOrgSettings, "edtINN", "ИНН", 84, 300, 334, 110, 12);
  edtKPP =
      NewRequisite<TDBEditKs>(this, gbOrgSettings, "edtKPP", "КПП", 84, 460, 494, 90, 9, &lblKPP);

  // Handlers as the form resource binds them.
  auto Bind = [this](auto Method) {
    return [this, Method](auto&&... Args) { (this->*Method)(Args...); };
  };
  rgCertOwnerType->OnClick = Bind(&TfCertRequestAlt::rgCertOwnerTypeClick);
  for (TCustomDBEditKs* Field : Fields{edtSN, edtGN1, edtGN2, edtSNILS, edtEMAIL, dbeCategory,
                                       edtST, edtL, edtStreet, edtO, edtOGRN, edtINN, edtKPP}) {
    Field->OnChange = Bind(&TfCertRequestAlt::edtSNChange);
    Field->OnExit = Bind(&TfCertRequestAlt::edtSNExit);
  }
  edtOU->OnChange = Bind(&TfCertRequestAlt::edtSNChange);
  edtOU->OnExit = Bind(&TfCertRequestAlt::edtSNExit);
  edtINN->OnExit = Bind(&TfCertRequestAlt::edtINNExit);
  for (TDBEditKs* Field : {edtSNILS, edtOGRN, edtINN, edtKPP})
    Field->OnKeyPress = Bind(&TfCertRequestAlt::edtSNILSKeyPress);
  for (TCustomDBEditKs* Field : Fields{edtSN, edtGN1, edtST, edtL, edtStreet})
    Field->OnCheckDrawRequiredState = Bind(&TfCertRequestAlt::edtSNCheckDrawRequiredState);
  for (TCustomDBEditKs* Field : Fields{dbeCategory, edtO})
    Field->OnCheckDrawRequiredState = Bind(&TfCertRequestAlt::dbeCategoryCheckDrawRequiredState);
  edtSNILS->OnCheckDrawRequiredState = Bind(&TfCertRequestAlt::edtSNILSCheckDrawRequiredState);
  edtEMAIL->OnCheckDrawRequiredState = Bind(&TfCertRequestAlt::edtEMAILCheckDrawRequiredState);
  edtOGRN->OnCheckDrawRequiredState = Bind(&TfCertRequestAlt::edtOGRNCheckDrawRequiredState);
  edtINN->OnCheckDrawRequiredState = Bind(&TfCertRequestAlt::edtINNCheckDrawRequiredState);
  edtKPP->OnCheckDrawRequiredState = Bind(&TfCertRequestAlt::edtKPPCheckDrawRequiredState);
  for (TCustomDBEditKs* Field :
       Fields{edtSN, edtGN1, edtSNILS, dbeCategory, edtST, edtL, edtStreet})
    Field->SetHighlightRequired(true);
}

void TfCertRequestAlt::CreateInfoPage() {
  tsInfo = NewPage(this, PageControl, "tsInfo", "Информация");
  tsInfo->SetTabVisible(false);
  NewLabel(this, tsInfo, "Label1",
           "Генерация ключа и запроса на сертификат выполняется на устройстве Tokvel.", 8, 8);
  reInfo = new TRichEdit(this);
  reInfo->SetName("reInfo");
  reInfo->SetParent(tsInfo);
  reInfo->SetBounds(8, 32, 676, 400);
  reInfo->SetVisible(false);
}

void TfCertRequestAlt::CreateInstallPage() {
  tsInstallCert = NewPage(this, PageControl, "tsInstallCert", "&2. Установка готового сертификата");
  Label9 = NewLabel(this, tsInstallCert, "Label9", "Имя файла с сертификатом:", 8, 12);
  edtCertFileName = new TDBEditKs(this);
  edtCertFileName->SetName("edtCertFileName");
  edtCertFileName->SetParent(tsInstallCert);
  edtCertFileName->SetBounds(8, 30, 676, 21);
  edtCertFileName->SetHighlightRequired(true);
  TEditButtonKs* Browse = edtCertFileName->EditButtons()->Add();
  Browse->SetStyle(ebsEllipsisKs);
  Browse->OnClick = [this](TObject* Sender, bool& Handled) {
    edtCertFileNameEditButtons0Click(Sender, Handled);
  };
  edtCertFileName->OnCheckDrawRequiredState = [this](TObject* Sender, bool& DrawState) {
    edtCertFileNameCheckDrawRequiredState(Sender, DrawState);
  };
  btnInstall =
      NewButton(this, tsInstallCert, "btnInstall", "Установить сертификат", {8, 62, 330, 28});
  btnInstall->Font()->SetStyle({fsBold});
  btnFindInDir = NewButton(this, tsInstallCert, "btnFindInDir", "Найти сертификат в каталоге",
                           {346, 62, 338, 28});
  btnGetCertInfo = NewButton(this, tsInstallCert, "btnGetCertInfo", "Информация о сертификатах",
                             {8, 98, 330, 28});
  btnTestSign =
      NewButton(this, tsInstallCert, "btnTestSign", "Тестовая подпись", {346, 98, 338, 28});
  btnInstall->OnClick = [this](TObject* Sender) { btnInstallClick(Sender); };
}

void TfCertRequestAlt::CreateSignPage() {
  tsSignAndCrypt = NewPage(this, PageControl, "tsSignAndCrypt", "&3. Подпись и шифрование");
  btnSignFile = NewButton(this, tsSignAndCrypt, "btnSignFile", "Подписать файл", {8, 12, 330, 28});
  btnSignAndCrypt = NewButton(this, tsSignAndCrypt, "btnSignAndCrypt",
                              "Подписать и зашифровать для портала", {346, 12, 338, 28});
  btnCryptFile =
      NewButton(this, tsSignAndCrypt, "btnCryptFile", "Зашифровать файл", {8, 48, 330, 28});
  btnSignAndCrypt2 = NewButton(this, tsSignAndCrypt, "btnSignAndCrypt2",
                               "Подписать и зашифровать файл", {346, 48, 338, 28});
  btnDecrypt = NewButton(this, tsSignAndCrypt, "btnDecrypt", "Расшифровать файл", {8, 84, 330, 28});
  btnCheckSign = NewButton(this, tsSignAndCrypt, "btnCheckSign", "Проверить присоединенную ЭП",
                           {8, 120, 330, 28});
  btnCheckDetachedSign = NewButton(this, tsSignAndCrypt, "btnCheckDetachedSign",
                                   "Проверить отсоединенную ЭП", {346, 120, 338, 28});
}

// The page works with the status bar, the dialogs and the certificate file
// field, which exist by now.
void TfCertRequestAlt::BindSignPage() {
  SignPage = new TSignPage(this, StatusBar, OpenDialogFile, OpenDialog, edtCertFileName);
  const std::pair<TSButton*, void (TSignPage::*)(TObject*)> Handlers[] = {
      {btnSignFile, &TSignPage::btnSignFileClick},
      {btnSignAndCrypt, &TSignPage::btnSignAndCryptClick},
      {btnCryptFile, &TSignPage::btnCryptFileClick},
      {btnSignAndCrypt2, &TSignPage::btnSignAndCrypt2Click},
      {btnDecrypt, &TSignPage::btnDecryptClick},
      {btnCheckSign, &TSignPage::btnCheckSignClick},
      {btnCheckDetachedSign, &TSignPage::btnCheckDetachedSignClick},
      {btnFindInDir, &TSignPage::btnFindInDirClick},
      {btnGetCertInfo, &TSignPage::btnGetCertInfoClick},
      {btnTestSign, &TSignPage::btnTestSignClick},
  };
  for (auto [Button, Handler] : Handlers)
    Button->OnClick = [this, Handler](TObject* Sender) { (SignPage->*Handler)(Sender); };
}

void TfCertRequestAlt::FormCreate(TObject*) {
  Application->OnException = [this](TObject* Sender, Exception* E) { AppException(Sender, E); };
  // From here on nothing may stop the program from coming up.
  try {
    for (int I = 0; I < 3; ++I) cbValidForMonths->Items()->Delete(0);
    SetCaption(
        "Генерация запроса на сертификат и установка готового сертификата на Tokvel ЭЦП 2.0 "
        "(ГОСТ-2012)");
    btnOK->SetCaption("Генерировать ключ на Tokvel и запрос на сертификат для передачи в УЦ");
    tsInstallCert->SetCaption("&2. Установка готового сертификата на Tokvel");
    btnInstall->SetCaption("Установить сертификат на Tokvel");
    btnGetCertInfo->SetCaption("Информация о сертификатах на Tokvel");
    btnTestSign->SetVisible(false);
    btnFindInDir->SetVisible(false);
    btnGetCertInfo->SetVisible(false);
    if (!GroupBox1->Visible()) {
      int H = GroupBox1->Height();
      btnOK->SetBounds(btnOK->Left(), btnOK->Top() - H, btnOK->Width(),
                       btnOK->Height() + btnOK->Height() / 2);
      btnClearAll->SetBounds(btnClearAll->Left(), btnOK->Top(), btnClearAll->Width(),
                             btnOK->Height());
      PageControl->SetHeight(PageControl->Height() - H / 2);
      btnHelp->SetTop(btnHelp->Top() - btnHelp->Height() + 2);
      Button2->SetTop(btnHelp->Top());
      SetClientHeight(ClientHeight() - H / 2);
    }
    CheckLibraryAndDriver();
  } catch (...) {
  }
}

void TfCertRequestAlt::CheckLibraryAndDriver() {
  int32_t Age = FileAge(FFiles.MorvelPath);
  if (Age == -1) {
    MessageDlg("Не найдена библиотека Morvel.dll\r\nПродолжение работы невозможно!", mtError,
               {mbCancel});
    Application->Terminate();
    return;
  }
  // Unsigned: dates from 2044 on have the top bit set.
  if (static_cast<uint32_t>(Age) < MorvelMinimumDate) {
    MessageDlg(
        "Библиотека Morvel.dll устарела!\r\nГенерация ключа и запроса на сетификат по новому (2012 "
        "г.) госту "
        "невозможна!\r\nОбновите библиотеку Morvel.dll и запустите утилиту снова!",
        mtError, {mbCancel});
    tsMain->SetTabVisible(false);
  }

  AnsiString Version = GetFileVersionString(FFiles.MiniDriver);
  if (!MiniDriverVersionPasses(Version)) {
    AnsiString Text = AnsiString("Версия драйвера Tokvel: ") + Version +
                      " устарела и НЕ ПОДХОДИТ для формирования ключа ЭП по новому ГОСТ 2012!\r\n" +
                      "Необходимо установить актуальные драйвера, скачав их c официального сайта "
                      "компании \"Токвел\".\r\n" +
                      "После установки новых драйверов необходимо повторить формирование запроса "
                      "на сертификат ЕГАИС!\r\n\r\n" +
                      "Если по какой-то причине версия драйверов на вашем компьютере актуальная, а "
                      "программа этого не смогла\r\n"
                      "определить, то можно продолжить формировать запрос.\r\n" +
                      "Но если запрос будет сформирован на старой версии драйверов, то "
                      "удостоверяющий центр не будет\r\n"
                      "его обрабатывать.";
    int Answer = ShowMessageDialog(
        Text, mtConfirmation, "Старые драйверы Токвел", {mbYes, mbNo, mbCancel}, mbYes,
        {"Перейти на сайт с драйверами", "Продолжить формирование", "Отменить"});
    if (Answer == mrYes) ShellOpen(DriverDownloadUrl);
    if (Answer == mrYes || Answer == mrCancel) {
      Application->Terminate();
      return;
    }
  }

  cbValidForMonths->SetItemIndex(0);
  if (HasGenCertRequestsEKU()) {
    GroupBox1->SetEnabled(true);
    Label5->SetEnabled(true);
    Label7->SetEnabled(true);
    cbValidForMonths->SetEnabled(true);
  }
}

bool TfCertRequestAlt::HasGenCertRequestsEKU() {
  TModuleHandle Module = GetLoadedModule(FFiles.MorvelModule);
  if (!Module) Module = LoadModule(FFiles.MorvelModule);
  return Module && FindExport(Module, "GenCertRequestsEKU");
}

void TfCertRequestAlt::FormShow(TObject*) {
  tsSignAndCrypt->SetTabVisible(false);
  rgCertOwnerType->SetItemIndex(otLegalEntity);
  rgCertOwnerTypeClick(rgCertOwnerType);
}

void TfCertRequestAlt::FormKeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key != VK_RETURN) return;
  auto* Combo = dynamic_cast<TCustomComboBox*>(ActiveControl());
  if (Combo && Combo->DroppedDown()) return;
  auto* Requisite = dynamic_cast<TCustomDBComboBoxKs*>(ActiveControl());
  if (Requisite && Requisite->DroppedDown()) return;
  Key = 0;
  SelectNext(ActiveControl(), true, true);
}

void TfCertRequestAlt::Button2Click(TObject*) { Close(); }

void TfCertRequestAlt::btnClearAllClick(TObject*) {
  for (int I = 0; I < ComponentCount(); ++I)
    if (auto* Edit = dynamic_cast<TCustomEdit*>(Components(I))) Edit->SetText("");
  rgCertOwnerType->SetItemIndex(otNone);
  cbValidForMonths->SetItemIndex(0);
}

void TfCertRequestAlt::btnHelpClick(TObject*) {
  if (FileExists(FFiles.HelpFile)) {
    ShellOpen(FFiles.HelpFile);
    return;
  }
  if (ShowMessageDialog(
          "Файла со справкой не обнаружен.\r\nЕго можно скачать с сайта компании в разделе "
          "\"Скачать\" - \"Документация\" - \"ЕГАИС\".",
          mtInformation, "Внимание!", {mbYes, mbNo}, mbYes,
          {"Перейти на сайт", "Отменить"}) == mrYes)
    ShellOpen(DocumentationUrl);
}

void TfCertRequestAlt::AppException(TObject*, Exception* E) {
  if (dynamic_cast<EAbort*>(E)) return;
  ShowMessageDialog(E->Message(), mtError, "Ошибка", {mbCancel}, mbCancel, {"Закрыть"});
}

// ---- The requisites ----------------------------------------------------------

namespace {

AnsiString T(TControl* Field) { return Trim(Field->Text()); }

TCustomDBEditKs* Requisite(TObject* Sender) { return static_cast<TCustomDBEditKs*>(Sender); }

}  // namespace

void TfCertRequestAlt::rgCertOwnerTypeClick(TObject*) {
  ApplyOwnerTypeLayout();
  gbOrgSettings->SetCaption(OwnerType() == otEntrepreneur
                                ? "Сведения об индивидуальном предпринимателе"
                                : "Сведения об организации");
  btnOK->SetEnabled(AllRequiredFilled());
}

void TfCertRequestAlt::ApplyOwnerTypeLayout() {
  FRequiredMask = 65;
  if (OwnerType() == otLegalEntity) {
    for (TWinControl* Field : std::initializer_list<TWinControl*>{edtO, edtOU, edtOGRN, edtKPP}) {
      Field->SetEnabled(true);
      Field->SetColor(clWindow);
    }
    for (TCustomDBEditKs* Field : Fields{edtO, dbeCategory, edtOGRN, edtINN})
      Field->SetHighlightRequired(true);
    edtKPP->SetVisible(true);
    lblKPP->SetVisible(true);
  } else if (OwnerType() == otEntrepreneur) {
    edtO->SetText("");
    edtO->SetHighlightRequired(false);
    dbeCategory->SetHighlightRequired(false);
    for (TDBEditKs* Field : {edtOGRN, edtINN}) {
      Field->SetHighlightRequired(true);
      Field->SetColor(clWindow);
      Field->SetEnabled(true);
    }
    lblKPP->SetVisible(false);
    edtKPP->SetVisible(false);
    edtKPP->SetHighlightRequired(false);
    edtKPP->SetEnabled(false);
    edtKPP->SetColor(clBtnFace);
    edtKPP->SetText("");
  }
  edtEMAIL->SetHighlightRequired(true);
  for (int I = 0; I < ComponentCount(); ++I)
    if (auto* Edit = dynamic_cast<TCustomEdit*>(Components(I))) Edit->Repaint();
}

void TfCertRequestAlt::edtSNCheckDrawRequiredState(TObject* Sender, bool& DrawState) {
  DrawState = T(Requisite(Sender)).empty();
}

void TfCertRequestAlt::dbeCategoryCheckDrawRequiredState(TObject* Sender, bool& DrawState) {
  DrawState = Requisite(Sender)->HighlightRequired() && T(Requisite(Sender)).empty();
}

void TfCertRequestAlt::edtSNILSCheckDrawRequiredState(TObject*, bool& DrawState) {
  DrawState = !IsValidSNILS(T(edtSNILS));
}

void TfCertRequestAlt::edtEMAILCheckDrawRequiredState(TObject*, bool& DrawState) {
  DrawState = edtEMAIL->HighlightRequired() && !IsValidEmail(T(edtEMAIL));
}

void TfCertRequestAlt::edtOGRNCheckDrawRequiredState(TObject*, bool& DrawState) {
  AnsiString Ogrn = T(edtOGRN);
  bool Valid = OwnerType() == otLegalEntity    ? IsValidOGRN(Ogrn)
               : OwnerType() == otEntrepreneur ? IsValidOGRNIP(Ogrn)
                                               : true;
  DrawState = edtOGRN->HighlightRequired() && !Valid;
}

void TfCertRequestAlt::edtINNCheckDrawRequiredState(TObject*, bool& DrawState) {
  DrawState = edtINN->HighlightRequired() && !IsValidINN(OwnerInn(T(edtINN), OwnerType()));
}

void TfCertRequestAlt::edtKPPCheckDrawRequiredState(TObject*, bool& DrawState) {
  DrawState = edtKPP->HighlightRequired() && !IsValidKPP(T(edtKPP));
}

void TfCertRequestAlt::edtFSSNomCheckDrawRequiredState(TObject* Sender, bool& DrawState) {
  DrawState = Requisite(Sender)->HighlightRequired() && !IsValidFSSRegNum(T(Requisite(Sender)));
}

void TfCertRequestAlt::edtFSSDepCodeCheckDrawRequiredState(TObject* Sender, bool& DrawState) {
  DrawState = Requisite(Sender)->HighlightRequired() && T(Requisite(Sender)).size() != 4;
}

void TfCertRequestAlt::edtPFNomCheckDrawRequiredState(TObject* Sender, bool& DrawState) {
  DrawState = Requisite(Sender)->HighlightRequired() &&
              !IsValidPFRRegNum(FormatPFRRegNum(Requisite(Sender)->Text()));
}

// Only a required field holding nothing but a line break holds Generate
// back; an empty one is left to ValidateFields.
bool TfCertRequestAlt::AllRequiredFilled() {
  for (int I = 0; I < ComponentCount(); ++I) {
    auto* Field = dynamic_cast<TCustomDBEditKs*>(Components(I));
    if (!Field || static_cast<TComponent*>(Field) == edtCertFileName) continue;
    AnsiString Text = Field->Text();
    if (Field->HighlightRequired() && Trim(Text).empty() && Pos("\n", Text) && Pos("\r", Text))
      return false;
  }
  return true;
}

void TfCertRequestAlt::edtSNChange(TObject*) { btnOK->SetEnabled(AllRequiredFilled()); }

void TfCertRequestAlt::edtSNExit(TObject* Sender) {
  auto* Field = static_cast<TControl*>(Sender);
  Field->SetText(T(Field));
  edtSNChange(Sender);
}

void TfCertRequestAlt::edtINNExit(TObject* Sender) {
  AnsiString Inn = T(edtINN);
  edtINN->SetText(Inn.size() == 10 ? PadLeftTo(Inn, 12, '0') : Inn);
  edtSNChange(Sender);
}

void TfCertRequestAlt::edtSNILSKeyPress(TObject*, char& Key) {
  // Ctrl+C, Ctrl+V, Ctrl+X and Ctrl+Z come as characters too: the edit's
  // clipboard and undo keys.
  static const AnsiString Passing = "\b.\x03\x16\x18\x1A";
  if (Passing.find(Key) == AnsiString::npos && (Key < '0' || Key > '9')) Key = 0;
}

void TfCertRequestAlt::ValidateFields() {
  // The message, with the page shown and the field focused first (none
  // for Focus null).
  auto Fail = [this](TWinControl* Focus, const AnsiString& Message) {
    if (Focus) {
      PageControl->SetActivePage(tsMain);
      if (Focus->CanFocus()) Focus->SetFocus();
    }
    throw Exception(Message);
  };
  // Length first, then the sanitised text; Empty: the message for none.
  auto CheckName = [&](TControl* Field, TWinControl* Focus, const AnsiString& Caption,
                       const AnsiString& Empty) {
    if (!Empty.empty() && T(Field).empty()) Fail(Focus, Empty);
    int Length = static_cast<int>(Field->Text().size());
    if (Length > MaxRequisiteLength) Fail(Focus, TooLongMessage(Caption, Length));
    Field->SetText(SanitizeText(Field->Text()));
  };
  const AnsiString Q = "Для выпуска КВАЛИФИЦИРОВАННОГО сертификата для ЮР лиц требуется указывать ";
  const AnsiString F = "Заполните ";
  const AnsiString BadEmail = "Необходимо указать правильный e-mail";
  TOwnerType Owner = OwnerType();
  bool Legal = Owner == otLegalEntity;

  if (Owner == otNone) Fail(rgCertOwnerType, "Не указан тип владельца сертификата!");
  AnsiString Inn = OwnerInn(T(edtINN), Owner);
  if (Inn.size() != (Legal ? 10u : 12u))
    Fail(rgCertOwnerType,
         Inn.empty() ? "Укажите ИНН!" : "Тип владельца сертификата не соответствует ИНН!");
  if (T(edtSN).empty()) Fail(edtSN, Q + "Фамилия");
  if (T(edtGN1).empty()) Fail(edtGN1, Q + "Имя");
  if ((FRequiredMask & 1) && T(edtSNILS).empty()) Fail(edtSNILS, Q + "СНИЛС");
  if (!T(edtSNILS).empty() && !IsValidSNILS(T(edtSNILS)))
    Fail(edtSNILS, "Укажите правильное значение СНИЛС!");
  AnsiString Email = T(edtEMAIL);
  bool EmailBad = Email.empty() || Email == "0" || !IsValidEmail(edtEMAIL->Text());
  if ((FRequiredMask & 64) && EmailBad) Fail(edtEMAIL, BadEmail);
  CheckName(dbeCategory, dbeCategory, "Должность", "");
  CheckName(edtST, edtST, "Область", F + "Область");
  CheckName(edtL, edtL, "Город", F + "Город");
  if ((FRequiredMask & 1) && T(edtStreet).empty()) Fail(edtStreet, Q + "Улица, дом");
  if (Legal)
    CheckName(edtO, edtO, "Наименование", F + "Наименование");
  else
    edtO->SetText("ИП " + Trim(edtSN->Text() + " " + T(edtGN1) + " " + edtGN2->Text()));
  CheckName(edtOU, edtOU, "Отдел / Обособ. подр.", "");
  if ((FRequiredMask & 1) && Legal && T(dbeCategory).empty()) Fail(dbeCategory, Q + "Должность");
  AnsiString Ogrn = T(edtOGRN);
  if (Ogrn.empty()) Fail(nullptr, Q + "ОГРН (ИП)");
  if (!(Legal ? IsValidOGRN(Ogrn) : IsValidOGRNIP(Ogrn)))
    Fail(edtOGRN, "Укажите правильный ОГРН(ИП)!");
  if (!Inn.empty() && Inn != "0" && !IsValidINN(Inn))
    Fail(edtINN, "Укажите правильное значение ИНН!");
  if (!(FRequiredMask & 64) && !Email.empty() && Email != "0" && EmailBad) Fail(edtEMAIL, BadEmail);
}

void TfCertRequestAlt::btnOKClick(TObject*) {
  ValidateFields();
  GenerateRequest();
}

TRequisites TfCertRequestAlt::Requisites() {
  TRequisites R;
  R.OwnerType = OwnerType();
  R.SN = edtSN->Text();
  R.GN1 = edtGN1->Text();
  R.GN2 = edtGN2->Text();
  R.SNILS = edtSNILS->Text();
  R.EMAIL = edtEMAIL->Text();
  R.Category = dbeCategory->Text();
  R.ST = edtST->Text();
  R.L = edtL->Text();
  R.Street = edtStreet->Text();
  R.O = edtO->Text();
  R.OU = edtOU->Text();
  R.OGRN = edtOGRN->Text();
  R.INN = edtINN->Text();
  return R;
}

void TfCertRequestAlt::GenerateRequest() {
  AnsiString Pin;
  if (!AskTokenPin(Pin)) return;
  AnsiString Inn = T(edtINN);
  // The UTF-8 texts live here until the call returns.
  std::vector<AnsiString> Subject = RequestSubject(Requisites());
  TDnArray Dn{};
  for (size_t I = 0; I < Subject.size(); ++I) Dn[I] = Subject[I].c_str();
  auto Count = static_cast<int32_t>(Subject.size());
  AnsiString Request;
  {
    TBusyStatus Busy(StatusBar,
                     "Подождите немного, идет генерация ключа и запроса на сертификат ...");
    if (!GroupBox1->Visible())
      TokenGenCertRequestsEKU(Pin, Inn, Inn, RequestKeyUsages(12), Dn, Count, Request);
    else if (cbValidForMonths->Enabled())
      TokenGenCertRequestsEKU(
          Pin, Inn, Inn,
          RequestKeyUsages(cbValidForMonths->Items()->Count() - cbValidForMonths->ItemIndex()), Dn,
          Count, Request);
    else
      TokenGenCertRequests(Pin, Inn, Inn, Dn, Count, Request);
  }
  Request = RequestToDer(Request);
  MessageDlg("Запрос на сертификат успешно сформирован !", mtInformation, {mbOK});
  Application->ProcessMessages();
  Sleep(0);
  SaveRequest(Request, Inn);
}

// The key pair is on the token already: a request not saved is asked
// about rather than silently lost.
void TfCertRequestAlt::SaveRequest(const AnsiString& Request, const AnsiString& Inn) {
  TSaveDialog Dialog(nullptr);
  Dialog.Title = "Укажите имя файла для сохранения запроса";
  Dialog.FileName = RequestFileName(Inn, Now());
  // The key pair is already on the token, so a request that did not reach
  // a file (dialog cancelled, overwrite declined, or the write failed) is
  // offered again instead of being lost.
  auto Saved = [&] {
    if (!Dialog.Execute()) return false;
    try {
      return ConfirmOverwrite(Request, Dialog.FileName);
    } catch (const Exception&) {
      Application->HandleException(this);
      return false;
    }
  };
  // Only an explicit "no" drops it: neither Esc nor the close box answers.
  while (!Saved())
    if (ShowMessageDialog("Запрос на сертификат не сохранен. Сохранить его в файл?", mtConfirmation,
                          "", {mbYes, mbNo}, mbYes, {"Сохранить", "Не сохранять"},
                          false) != mrYes)
      return;
}

// ---- The issued certificate --------------------------------------------------

void TfCertRequestAlt::edtCertFileNameEditButtons0Click(TObject*, bool&) {
  if (OpenDialog->Execute()) edtCertFileName->SetText(OpenDialog->FileName);
}

void TfCertRequestAlt::edtCertFileNameCheckDrawRequiredState(TObject*, bool& DrawState) {
  DrawState = !NamesExistingFile(edtCertFileName->Text());
}

void TfCertRequestAlt::btnInstallClick(TObject*) {
  InstallCertificateFile(edtCertFileName, OpenDialog, StatusBar);
}

// ---- The requisites from a certificate or a template -------------------------

void TfCertRequestAlt::btnLoadFromCertClick(TObject*) {
  POINT At = btnLoadFromCert->ClientToScreen({0, btnLoadFromCert->Height()});
  PopupMenu1->Popup(At.x, At.y);
}

void TfCertRequestAlt::Windows1Click(TObject*) { FillFromStore(*this); }

void TfCertRequestAlt::N1Click(TObject*) { FillFromFile(*this); }

void TfCertRequestAlt::saltra1Click(TObject*) { FillFromToken(*this); }

void TfCertRequestAlt::btnLoadFromXMLClick(TObject*) { FillFromTemplate(*this); }
