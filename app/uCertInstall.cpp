#include "app/uCertInstall.h"

#include <windows.h>

#include "app/uTokenWork.h"
#include "app/uMorvelBinding.h"
#include "app/uVCertMgr.h"
#include "common/uTools.h"
#include "forms/Dialogs.h"
#include "forms/StdCtrls.h"
#include "rtl/Streams.h"

namespace {

// The library stays loaded for the one installation.
class TTokenLibraryScope {
 public:
  TTokenLibraryScope() { LoadTokenLibrary(); }
  ~TTokenLibraryScope() { UnloadTokenLibrary(); }
  TTokenLibraryScope(const TTokenLibraryScope&) = delete;
  TTokenLibraryScope& operator=(const TTokenLibraryScope&) = delete;
};

// Far above any certificate: a larger file is not read whole into the
// memory of a 32-bit process.
constexpr int64_t MaxCertificateFileSize = 1 << 20;

}  // namespace

AnsiString CertificateObjectId(const AnsiString& Subject) {
  AnsiString Id = TVCertMgr::GetDNAttribute(Subject, "INN");
  AnsiString Unstructured = TVCertMgr::GetDNAttribute(Subject, "unstructuredName");
  if (int At = Pos("КПП=", Unstructured)) Id += "-" + Copy(Unstructured, At + 4, 9);
  return Id;
}

AnsiString ReadCertificateFile(const AnsiString& FileName) {
  if (TFileStream(FileName, fmOpenRead | fmShareDenyWrite).Size() > MaxCertificateFileSize)
    return AnsiString();
  return ReadFileToString(FileName);
}

TCertificateToInstall ReadCertificateToInstall(const AnsiString& FileName) {
  const AnsiString Der = TVCertMgr::PemToDer(ReadCertificateFile(FileName));
  // Bytes that are not a certificate decode to an empty subject.
  TCertInfo Info;
  TVCertMgr::GetCertInfoFromDER(Der, cifSubject, Info);
  const AnsiString Subject = Info.Subject;
  TVCertMgr::FreeCertInfo(Info);
  if (TVCertMgr::GetDNAttribute(Subject, "INN").empty())
    throw Exception("Файл не содержит сертификата или в сертификате не указан ИНН!");
  return {Der, CertificateObjectId(Subject)};
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
  AnsiString Pin;
  if (!AskTokenPin(Pin)) return;
  TCertificateToInstall Cert = ReadCertificateToInstall(Trim(Field->Text()));
  {
    TBusyStatus Busy(StatusBar, "Подождите, идет установка сертификата");
    TTokenLibraryScope Library;
    TokenInstallCertificate(Pin, Cert.Id, Cert.Id, Cert.Der);
  }
  MessageDlg("Сертификат успешно установлен", mtInformation, {mbOK});
}
