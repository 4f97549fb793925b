#pragma once
// The main form: pages for the request and for the installation of the
// issued certificate, the start-up checks, keyboard handling, Clear all,
// Help and the application-wide error box.

#include "COMPONENTS/kslib/DBComboBoxKs.h"
#include "app/uRequisites.h"
#include "app/uSignPage.h"
#include "common/SButton.h"
#include "common/SRadioGroup.h"
#include "forms/ComCtrls.h"
#include "forms/Dialogs.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

// Where the start-up checks look: the library beside the program, the
// minidriver by the system's module search, and the help file.
struct TStartupFiles {
  AnsiString MorvelPath;    // its file date is checked
  AnsiString MorvelModule;  // loaded for the GenCertRequestsEKU probe
  AnsiString MiniDriver;    // its file version is checked
  AnsiString HelpFile;
  static TStartupFiles Installed();
};

class TfCertRequestAlt : public TForm {
 public:
  explicit TfCertRequestAlt(TComponent* AOwner,
                            const TStartupFiles& Files = TStartupFiles::Installed());

  TPageControl* PageControl;
  TTabSheet* tsMain;
  // The requisites (unbound data-aware fields; edtOU is a plain combo box).
  TSRadioGroup* rgCertOwnerType;
  TGroupBox* gbSubject;
  TDBEditKs* edtSN;
  TDBEditKs* edtGN1;
  TDBEditKs* edtGN2;
  TDBEditKs* edtSNILS;
  TDBEditKs* edtEMAIL;
  TDBComboBoxKs* dbeCategory;
  TGroupBox* gbAdrdess;
  TDBComboBoxKs* edtST;
  TDBComboBoxKs* edtL;
  TDBEditKs* edtStreet;
  TGroupBox* gbOrgSettings;
  TDBEditKs* edtO;
  TComboBox* edtOU;
  TDBEditKs* edtOGRN;
  TDBEditKs* edtINN;
  TLabel* lblKPP;
  TDBEditKs* edtKPP;
  TLabel* Label17;
  TSButton* btnLoadFromCert;
  TSButton* btnLoadFromXML;
  TSButton* btnOK;
  TSButton* btnClearAll;
  TGroupBox* GroupBox1;
  TLabel* Label5;
  TComboBox* cbValidForMonths;
  TLabel* Label7;
  TTabSheet* tsInfo;
  TRichEdit* reInfo;
  TTabSheet* tsInstallCert;
  TLabel* Label9;
  TDBEditKs* edtCertFileName;
  TSButton* btnInstall;
  TSButton* btnFindInDir;
  TSButton* btnGetCertInfo;
  TSButton* btnTestSign;
  TTabSheet* tsSignAndCrypt;
  TSButton* btnSignFile;
  TSButton* btnSignAndCrypt;
  TSButton* btnCryptFile;
  TSButton* btnSignAndCrypt2;
  TSButton* btnDecrypt;
  TSButton* btnCheckSign;
  TSButton* btnCheckDetachedSign;
  TStatusBar* StatusBar;
  TButton* btnHelp;
  TButton* Button2;
  TOpenDialog* OpenDialog;
  TOpenDialog* OpenDialogXML;
  TOpenDialog* OpenDialogFile;
  TPopupMenu* PopupMenu1;
  TMenuItem* Windows1;
  TMenuItem* N1;
  TMenuItem* saltra1;
  // The handlers of the signing page and of the three token buttons.
  TSignPage* SignPage;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void Button2Click(TObject* Sender);
  void btnClearAllClick(TObject* Sender);
  void btnHelpClick(TObject* Sender);
  void AppException(TObject* Sender, Exception* E);
  // The issued certificate onto the token.
  void edtCertFileNameEditButtons0Click(TObject* Sender, bool& Handled);
  void edtCertFileNameCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void btnInstallClick(TObject* Sender);
  // The requisites filled from a certificate (the menu's three sources) or
  // from an XML template.
  void btnLoadFromCertClick(TObject* Sender);
  void Windows1Click(TObject* Sender);
  void N1Click(TObject* Sender);
  void saltra1Click(TObject* Sender);
  void btnLoadFromXMLClick(TObject* Sender);

  // The requisites: owner type, required marks, filters, checks.
  void rgCertOwnerTypeClick(TObject* Sender);
  void edtSNCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void dbeCategoryCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtSNILSCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtEMAILCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtOGRNCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtINNCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtKPPCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  // The FSS and PF numbers' marks, for fields that ask with them.
  void edtFSSNomCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtFSSDepCodeCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtPFNomCheckDrawRequiredState(TObject* Sender, bool& DrawState);
  void edtSNChange(TObject* Sender);
  void edtSNExit(TObject* Sender);
  void edtINNExit(TObject* Sender);
  void edtSNILSKeyPress(TObject* Sender, char& Key);
  bool AllRequiredFilled();
  // Raises on the first failure, with its page shown and its field focused.
  void ValidateFields();
  void btnOKClick(TObject* Sender);
  // PIN, key pair and request on the token, the request saved as a file.
  void GenerateRequest();
  // Whether Morvel exports GenCertRequestsEKU; leaves the library loaded.
  bool HasGenCertRequestsEKU();

 private:
  void CreateRequestPage();
  void CreateInfoPage();
  void CreateInstallPage();
  void CreateSignPage();
  void BindSignPage();
  void CheckLibraryAndDriver();
  void CreateRequisiteFields();
  void ApplyOwnerTypeLayout();
  TOwnerType OwnerType() const { return static_cast<TOwnerType>(rgCertOwnerType->ItemIndex()); }
  TRequisites Requisites();
  void SaveRequest(const AnsiString& Request, const AnsiString& Inn);
  TStartupFiles FFiles;
  // Bit 0: SNILS, street and a legal entity's position required; bit 6:
  // the e-mail required.
  int FRequiredMask = 0;
};

// "%d.%d.%d.%d" of the file's fixed version information; empty when the
// file has none.
AnsiString GetFileVersionString(const AnsiString& FileName);
// The minidriver rule: four parts, and major above 4 or major 4 with minor
// above 2.
bool MiniDriverVersionPasses(const AnsiString& Version);
