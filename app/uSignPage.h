#pragma once
// The signing page of the main form (sign, sign for the portal through the
// crypto server, encrypt, sign and encrypt, decrypt, verify) and the three
// token buttons of the installation page. All of them need entry points
// that only some builds of Morvel export.

#include "rtl/Classes.h"

// The forms' controls stay out of here: ZipString is built beside the
// archive library, whose level names the colour names would clash with.
class TCustomEdit;
class TOpenDialog;
class TStatusBar;

// The crypto server that signs for the portal: a plain HTTP base address.
inline constexpr const char* CryptoServerUrl = "http://crypto.example.org";
inline constexpr const char* CryptoServerPath = "/ZELT/CRYPTFORRAR";

class TSignPage : public TComponent {
 public:
  // The main form's status bar, its dialogs for the file to work on and for
  // certificate files, and its certificate file field.
  TSignPage(TComponent* AOwner, TStatusBar* StatusBar, TOpenDialog* OpenDialogFile,
            TOpenDialog* OpenDialog, TCustomEdit* edtCertFileName);

  // Where the portal signature goes: the base address, and a proxy before
  // it ("host" or "host:port", empty for none; its login is asked for).
  AnsiString CryptoServer = CryptoServerUrl;
  AnsiString ProxyServer;

  // F + ".p7s": an attached or detached signature of F.
  void btnSignFileClick(TObject* Sender);
  // F + ".sig.zip.enc": the crypto server's answer to the zipped signature.
  void btnSignAndCryptClick(TObject* Sender);
  // F + ".p7e": F encrypted for a certificate file.
  void btnCryptFileClick(TObject* Sender);
  // F + ".p7e": F signed, then encrypted.
  void btnSignAndCrypt2Click(TObject* Sender);
  // F + ".orj": F decrypted.
  void btnDecryptClick(TObject* Sender);
  void btnCheckSignClick(TObject* Sender);
  void btnCheckDetachedSignClick(TObject* Sender);
  // The certificate file of a folder that matches a public key on the token.
  void btnFindInDirClick(TObject* Sender);
  void btnGetCertInfoClick(TObject* Sender);
  // A test signature with a certificate from a file or from the token.
  void btnTestSignClick(TObject* Sender);

 private:
  // Signs F with a certificate the user picks on the token; false when the
  // user cancels or the token refuses (said so).
  bool SignOnToken(const AnsiString& F, bool Detached, AnsiString& Signature);
  struct TCryptJob;
  void CryptFile(const TCryptJob& Job);
  // The Base64 answer of the crypto server to Data; raises unless the
  // server answered 200 with Base64 text.
  AnsiString PostToCryptoServer(const AnsiString& Data);

  TStatusBar* FStatusBar;
  TOpenDialog* FOpenDialogFile;
  TOpenDialog* FOpenDialog;
  TCustomEdit* FedtCertFileName;
};

// A certificate of the token (its DER bytes), picked by the user from lines
// "CN, действует с dd.mm.yyyy по dd.mm.yyyy" under Prompt; false when the
// token has none (said so) or the user cancels.
bool ChooseTokenCertificate(TStatusBar* Bar, const AnsiString& Prompt, AnsiString& Cert);

// An in-memory ZIP archive with the one entry Name holding Data, dated now.
AnsiString ZipString(const AnsiString& Data, const AnsiString& Name);
