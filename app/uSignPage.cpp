#include "app/uSignPage.h"

#include <windows.h>

#include <wincrypt.h>

#include "app/UHttpCommAlt.h"
#include "app/UProxyLogin.h"
#include "app/uTokenWork.h"
#include "app/uBase64.h"
#include "app/uMorvelBinding.h"
#include "app/uVCertMgr.h"
#include "common/UMakeChoice.h"
#include "common/uTools.h"
#include "common/uToolsGui.h"
#include "forms/ComCtrls.h"
#include "forms/Dialogs.h"
#include "forms/StdCtrls.h"

namespace {

// A token session for one operation.
class TSession {
 public:
  explicit TSession(const AnsiString& Pin) { TokenInitSession(Pin); }
  ~TSession() { TokenFreeSession(); }
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;
};

void ErrorBox(const AnsiString& Text) {
  ShowMessageDialog(Text, mtError, "Ошибка", {mbCancel}, mbCancel, {"Закрыть"});
}

void Information(const AnsiString& Text) { MessageDlg(Text, mtInformation, {mbOK}); }

// Writes a result file and says where it went; a declined overwrite wrote
// nothing, so nothing is said.
void WriteResult(const AnsiString& Data, const AnsiString& FileName, const AnsiString& Done) {
  if (ConfirmOverwrite(Data, FileName)) Information(Done + FileName);
}

AnsiString Day(int64_t UnixTime) {
  return FormatDateTime("dd.mm.yyyy", UnixTimeToDateTime(static_cast<uint32_t>(UnixTime)));
}

// "CN, действует с dd.mm.yyyy по dd.mm.yyyy" of a DER certificate.
AnsiString CertificateLine(const AnsiString& Der) {
  TCertInfo Info;
  TVCertMgr::GetCertInfoFromDER(Der, cifSubject | cifNotBefore | cifNotAfter, Info);
  AnsiString Line = TVCertMgr::GetDNAttribute(Info.Subject, "CN") + ", действует с " +
                    Day(Info.NotBefore) + " по " + Day(Info.NotAfter);
  TVCertMgr::FreeCertInfo(Info);
  return Line;
}

// The certificates on the token; says so and gives false when there are none.
bool TokenCertificates(TStatusBar* Bar, const AnsiString& Status, bool Plain, TStringList& List) {
  {
    TBusyStatus Busy(Bar, Status);
    TokenGetCertificates(&List, Plain);
  }
  if (List.Count() > 0) return true;
  Information("Установленных сертификатов не обнаружено !");
  return false;
}

// The subject public key bits of a DER certificate, the last 64 bytes of a
// longer value (a GOST key comes wrapped in an octet string); "" when the
// bytes are not a certificate.
AnsiString CertificatePublicKey(const AnsiString& Der) {
  PCCERT_CONTEXT Context = TVCertMgr::CertFromDER(Der);
  if (!Context) return "";
  const CRYPT_BIT_BLOB& Bits = Context->pCertInfo->SubjectPublicKeyInfo.PublicKey;
  AnsiString Key(reinterpret_cast<const char*>(Bits.pbData), Bits.cbData);
  CertFreeCertificateContext(Context);
  return Key.size() > 64 ? Key.substr(Key.size() - 64) : Key;
}

// Keys are bytes: compared exactly, not as text.
bool HoldsKey(TStringList& Keys, const AnsiString& Key) {
  for (int I = 0; I < Keys.Count(); ++I)
    if (!Key.empty() && Keys.Strings(I) == Key) return true;
  return false;
}

AnsiString CurrentDirectory() {
  char Buffer[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, Buffer);
  return Buffer;
}

// Base64 text, possibly in lines: whole groups of four, padding only at the
// end. An error page or an empty answer is not.
bool IsBase64Text(const AnsiString& Text) {
  AnsiString Digits;
  for (char C : Text)
    if (C != '\r' && C != '\n') Digits += C;
  if (Digits.empty() || Digits.size() % 4 != 0) return false;
  const size_t Padding = Digits.find('=');
  if (Padding != AnsiString::npos &&
      (Padding + 2 < Digits.size() || Digits.find_first_not_of('=', Padding) != AnsiString::npos))
    return false;
  return Digits.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") ==
         AnsiString::npos;
}

}  // namespace

bool ChooseTokenCertificate(TStatusBar* Bar, const AnsiString& Prompt, AnsiString& Cert) {
  TStringList Certificates;
  if (!TokenCertificates(Bar, "Подождите, идет анализ данных на устройстве ...", true,
                         Certificates))
    return false;
  std::vector<AnsiString> Lines;
  for (int I = 0; I < Certificates.Count(); ++I)
    Lines.push_back(CertificateLine(Certificates.Strings(I)));
  int Choice = MakeChoice(nullptr, Lines, "", 1, Prompt);
  if (Choice == 0) return false;
  Cert = Certificates.Strings(Choice - 1);
  return true;
}

struct TSignPage::TCryptJob {
  const char* Status;
  bool (*Call)(const AnsiString& Data, const AnsiString& Cert, AnsiString& Out);
  const char* Extension;
  const char* Done;
  const char* Failed;
};

TSignPage::TSignPage(TComponent* AOwner, TStatusBar* StatusBar, TOpenDialog* OpenDialogFile,
                     TOpenDialog* OpenDialog, TCustomEdit* edtCertFileName)
    : TComponent(AOwner),
      FStatusBar(StatusBar),
      FOpenDialogFile(OpenDialogFile),
      FOpenDialog(OpenDialog),
      FedtCertFileName(edtCertFileName) {}

bool TSignPage::SignOnToken(const AnsiString& F, bool Detached, AnsiString& Signature) {
  AnsiString Cert, Pin;
  if (!ChooseTokenCertificate(FStatusBar, "Укажите сертификат для установки ЭП", Cert) ||
      !AskTokenPin(Pin))
    return false;
  TBusyStatus Busy(FStatusBar, "Подождите, идет установка ЭП ...");
  if (TokenGetSignEx(Pin, ReadFileToString(F), Cert, Detached, Signature)) return true;
  ErrorBox("Ошибка установки ЭП!");
  return false;
}

void TSignPage::btnSignFileClick(TObject*) {
  if (!FOpenDialogFile->Execute()) return;
  const AnsiString F = FOpenDialogFile->FileName;
  const int Kind = ShowMessageDialog("Установить присоединенную или отсоединенную ЭП ?",
                                     mtConfirmation, "Выберите,pls", {mbYes, mbNo, mbCancel}, mbYes,
                                     {"Присоединенную", "Отсоединенную", "Отмена"});
  if (Kind != mrYes && Kind != mrNo) return;
  AnsiString Signature;
  if (!SignOnToken(F, Kind == mrNo, Signature)) return;
  WriteResult(Signature, F + ".p7s", "ЭП успешно установлена и записана в файл: ");
}

void TSignPage::btnSignAndCryptClick(TObject*) {
  if (!FOpenDialogFile->Execute()) return;
  const AnsiString F = FOpenDialogFile->FileName;
  AnsiString Signature;
  if (!SignOnToken(F, false, Signature)) return;
  const AnsiString Zip = ZipString(Signature, ExtractFileName(F) + ".sig");
  TBusyStatus Busy(FStatusBar, "Подождите, идет сеанс с крипто-сервером ...");
  const AnsiString Answer = PostToCryptoServer(EncodeBase64(Zip));
  WriteResult(DecodeBase64(Answer), F + ".sig.zip.enc",
              "Установка ЭП и шифрование успешно завершено!\r\nДанные записаны в файл: ");
}

AnsiString TSignPage::PostToCryptoServer(const AnsiString& Data) {
  TSCommAlt Comm(CryptoServer, false);
  Comm.ProxyServer = ProxyServer;
  Comm.OnProxyLogin = ProxyLoginDialog;
  AnsiString Answer;
  try {
    Comm.Post(CryptoServerPath, Data, Answer);
  } catch (const EHttpProtocolError&) {
    // Reported below with every other answer that is not 200.
  }
  const THttpClient* Http = Comm.HTTP();
  if (Http->ResponseCode != 200 || !IsBase64Text(Answer))
    throw Exception("Неверный ответ крипто-сервера: " + Http->ResponseText);
  return Answer;
}

void TSignPage::CryptFile(const TCryptJob& Job) {
  if (!FOpenDialogFile->Execute() || !FOpenDialog->Execute()) return;
  const AnsiString F = FOpenDialogFile->FileName;
  const AnsiString Data = ReadFileToString(F), Cert = ReadFileToString(FOpenDialog->FileName);
  AnsiString Pin;
  if (!AskTokenPin(Pin)) return;
  TSession Session(Pin);
  TBusyStatus Busy(FStatusBar, Job.Status);
  AnsiString Out;
  if (!Job.Call(Data, Cert, Out)) {
    ErrorBox(Job.Failed);
    return;
  }
  WriteResult(Out, F + Job.Extension, Job.Done);
}

void TSignPage::btnCryptFileClick(TObject*) {
  CryptFile({"Подождите, идет шифрование ...", TokenEncryptMem, ".p7e",
             "Файл успешно зашифрован и сохранен в файл: ", "Ошибка шифрования!"});
}

void TSignPage::btnDecryptClick(TObject*) {
  CryptFile({"Подождите, идет расфрование ...", TokenDecryptMem, ".orj",
             "Файл успешно расшифрован и сохранен в файл: ", "Ошибка расшифрования!"});
}

void TSignPage::btnSignAndCrypt2Click(TObject*) {
  if (!FOpenDialogFile->Execute()) return;
  const AnsiString F = FOpenDialogFile->FileName;
  if (!FOpenDialog->Execute()) return;
  const AnsiString SignCert = ReadFileToString(FOpenDialog->FileName);
  if (!FOpenDialog->Execute()) return;
  const AnsiString CryptCert = ReadFileToString(FOpenDialog->FileName);
  const AnsiString Data = ReadFileToString(F);
  AnsiString Pin;
  if (!AskTokenPin(Pin)) return;
  TSession Session(Pin);
  TBusyStatus Busy(FStatusBar, "Подождите, идет подписание и шифрование ...");
  // Unsigned data is never encrypted in place of signed data.
  AnsiString Signed, Encrypted;
  if (!TokenSignMem(Data, SignCert, false, Signed)) {
    ErrorBox("Ошибка ЭП!");
    return;
  }
  if (!TokenEncryptMem(Signed, CryptCert, Encrypted)) {
    ErrorBox("Ошибка шифрования!");
    return;
  }
  WriteResult(Encrypted, F + ".p7e", "Файл успешно зашифрован и сохранен в файл: ");
}

void TSignPage::btnCheckSignClick(TObject*) {
  if (!FOpenDialogFile->Execute()) return;
  const AnsiString Signed = ReadFileToString(FOpenDialogFile->FileName);
  AnsiString Pin;
  if (!AskTokenPin(Pin)) return;
  TSession Session(Pin);
  TBusyStatus Busy(FStatusBar, "Подождите, идет проверка ...");
  ShowMessage(TokenVerifySign(Signed) ? "Ok" : "Fail");
}

void TSignPage::btnCheckDetachedSignClick(TObject*) {
  if (!FOpenDialogFile->Execute()) return;
  const AnsiString Data = ReadFileToString(FOpenDialogFile->FileName);
  if (!FOpenDialogFile->Execute()) return;
  const AnsiString Signature = ReadFileToString(FOpenDialogFile->FileName);
  AnsiString Pin;
  if (!AskTokenPin(Pin)) return;
  TSession Session(Pin);
  TBusyStatus Busy(FStatusBar, "Подождите, идет проверка ...");
  ShowMessage(TokenVerifyDetachedSign(Data, Signature) ? "Ok" : "Fail");
}

void TSignPage::btnFindInDirClick(TObject*) {
  TStringList Keys;
  {
    TBusyStatus Busy(FStatusBar, "Подождите, идет анализ данных на устройстве saltra ...");
    TokenGetPublicKeys(&Keys);
  }
  if (Keys.Count() == 0) {
    Information("На устройстве не найдены открытые ключи - поиск невозможен !");
    return;
  }
  AnsiString Folder = CurrentDirectory();
  if (!SelectFolder("Укажите каталог с выпущенными сертификатами", WideString(), Folder)) return;
  TBusyStatus Busy(FStatusBar, "Подождите, идет анализ данных в каталоге " + Folder);
  std::vector<AnsiString> Names;
  ListFiles(Folder, "*.cer",
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                FILE_ATTRIBUTE_ARCHIVE,
            Names);
  for (const AnsiString& Name : Names) {
    const AnsiString Path = IncludeBackslash(Folder) + Name;
    if (!HoldsKey(Keys, CertificatePublicKey(ReadFileToString(Path)))) continue;
    FedtCertFileName->SetText(Path);
    Information("Найден сертификат, соответствующий открытому ключу на saltra в файле: " + Path);
    return;
  }
  Information("К сожалению, в каталоге " + Folder +
              "\r\nне найдено сертификатов,соответствующий открытому ключу на saltra");
}

void TSignPage::btnGetCertInfoClick(TObject*) {
  const int Part = ShowMessageDialog(
      "Вы хотите получить информацию о сертификатах на ГОСТ или PKI разделе saltra?",
      mtConfirmation, "Укажите, пожалуйста", {mbYes, mbNo, mbCancel}, mbYes,
      {"ГОСТ", "PKI", "Отмена"});
  if (Part != mrYes && Part != mrNo) return;
  TStringList Certificates;
  if (!TokenCertificates(FStatusBar, "Подождите, идет анализ данных на устройстве saltra ...",
                         Part == mrYes, Certificates))
    return;
  AnsiString Text;
  for (int I = 0; I < Certificates.Count(); ++I)
    Text += AnsiString(I ? "\r\n" : "") + IntToStr(I + 1) + ". " +
            CertificateLine(Certificates.Strings(I));
  ShowMessageDialog(Text, mtInformation, "Информация об установленных сертификатах:", {mbOK}, mbOK,
                    {"Ok"});
}

void TSignPage::btnTestSignClick(TObject*) {
  const int Source = ShowMessageDialog(
      "Данная функция позволяет протестировать указанный сертификат\r\nна соответствие закрытому "
      "ключу, сгенерированному на Tokvel ЭЦП 2.0.\r\n\r\nЖелаете провести проверку сертификата?",
      mtConfirmation, "Подтверждение", {mbYes, mbNo, mbCancel},
      FedtCertFileName->Text().empty() ? mbNo : mbYes,
      {"Провести проверку из файла", "Провести проверку из Tokvel", "Отменить"});
  AnsiString Cert;
  if (Source == mrYes) {
    AnsiString FileName = FedtCertFileName->Text();
    if (FileName.empty() || !FileExists(FileName)) {
      if (!FOpenDialog->Execute()) return;
      FileName = FOpenDialog->FileName;
    }
    Cert = ReadFileToString(FileName);
  } else if (Source != mrNo ||
             !ChooseTokenCertificate(FStatusBar, "Укажите сертификат для тестирования", Cert)) {
    return;
  }
  AnsiString Pin;
  if (!AskTokenPin(Pin)) return;
  TBusyStatus Busy(FStatusBar, "Подождите, идет проверка работоспособности сертификата ...");
  // A signature carries the certificate, so a real one is longer.
  AnsiString Signature;
  if (TokenGetSign(Pin, "TestData", Cert, Signature) && Signature.size() > Cert.size())
    Information(
        "Проверка работоспособности сертификата завершена - тестовая ЭП успешно установлена!");
  else
    ErrorBox(
        "Ошибка установки тестовой ЭП!\r\nРаботать с выбранным сертификатом невозможно, т.к. он не "
        "соответствует ключам, имеющимся на Saltra");
}
