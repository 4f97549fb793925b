#include "app/uCertInstall.h"

#include <windows.h>

#include "app/uBusyStatus.h"
#include "app/uMorvelBinding.h"
#include "app/uVCertMgr.h"
#include "common/uTools.h"
#include "forms/Dialogs.h"
#include "forms/StdCtrls.h"

namespace {

// The library stays loaded for the one installation.
class TTokenLibraryScope {
 public:
  TTokenLibraryScope() { LoadTokenLibrary(); }
  ~TTokenLibraryScope() { UnloadTokenLibrary(); }
  TTokenLibraryScope(const TTokenLibraryScope&) = delete;
  TTokenLibraryScope& operator=(const TTokenLibraryScope&) = delete;
};

}  // namespace

AnsiString CertificateObjectId(const AnsiString& Subject) {
  AnsiString Id = TVCertMgr::GetDNAttribute(Subject, "INN");
  AnsiString Unstructured = TVCertMgr::GetDNAttribute(Subject, "unstructuredName");
  if (int At = Pos("КПП=", Unstructured)) Id += "-" + Copy(Unstructured, At + 4, 9);
  return Id;
}

TCertificateToInstall ReadCertificateToInstall(const AnsiString& FileName) {
  TCertificateToInstall Cert;
  Cert.Der = TVCertMgr::PemToDer(ReadFileToString(FileName));
  TCertInfo Info;
  TVCertMgr::GetCertInfoFromDER(Cert.Der, cifSubject, Info);
  // Bytes that are not a certificate decode to an empty subject.
  if (!TVCertMgr::GetDNAttribute(Info.Subject, "INN").empty())
    Cert.Id = CertificateObjectId(Info.Subject);
  TVCertMgr::FreeCertInfo(Info);
  if (Cert.Id.empty())
    throw Exception("Файл не содержит сертификата или в сертификате не указан ИНН!");
  return Cert;
}

bool NamesExistingFile(const AnsiString& Text) {
  AnsiString Name = Trim(Text);
  return !Name.empty() && FileExists(Name);
}

bool ChooseCertificateFile(TCustomEdit* Field, TOpenDialog* Dialog) {
  while (!NamesExistingFile(Field->Text())) {
    if (!Dialog->Execute()) return false;
    Field->SetText(Dialog->FileName);
  }
  return true;
}

void InstallCertificateFile(TCustomEdit* Field, TOpenDialog* Dialog, TStatusBar* StatusBar) {
  if (!ChooseCertificateFile(Field, Dialog)) return;
  AnsiString Pin = "40715382";  // the token's factory user PIN
  if (!InputQuery("Укажите пин-код", "Ввод пин-кода", Pin)) return;
  TCertificateToInstall Cert = ReadCertificateToInstall(Trim(Field->Text()));
  {
    TBusyStatus Busy(StatusBar, "Подождите, идет установка сертификата");
    TTokenLibraryScope Library;
    TokenInstallCertificate(Pin, Cert.Id, Cert.Id, Cert.Der);
  }
  MessageDlg("Сертификат успешно установлен", mtInformation, {mbOK});
}
