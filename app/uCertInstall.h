#pragma once
// Installing the issued certificate on the token: the certificate file (PEM
// or DER), the identifier of its token object, and Morvel's
// InstallCertificate.

#include "rtl/Types.h"

class TCustomEdit;
class TOpenDialog;
class TStatusBar;

// The token object identifier of a subject string: its INN, followed by
// "-" and the nine characters after "КПП=" when the unstructured name
// carries a KPP.
AnsiString CertificateObjectId(const AnsiString& Subject);

struct TCertificateToInstall {
  AnsiString Der;
  AnsiString Id;
};
// The bytes of a file chosen as a certificate; none for a file far larger
// than any certificate, which is not read.
AnsiString ReadCertificateFile(const AnsiString& FileName);

// A certificate file, PEM or DER, as the token stores it. A file that holds
// no certificate, or whose subject names no INN, raises "Файл не содержит
// сертификата или в сертификате не указан ИНН!": nothing of it may reach
// the token.
TCertificateToInstall ReadCertificateToInstall(const AnsiString& FileName);

// Whether a field's text (trimmed) names an existing file.
bool NamesExistingFile(const AnsiString& Text);
// Runs the dialog until the field names an existing file; false when the
// user cancels.
bool ChooseCertificateFile(TCustomEdit* Field, TOpenDialog* Dialog);

// The installation page's road: the file (asked for while the field names
// none), the PIN, the certificate stored on the token under its
// identifier, and the success box. Failures raise with their texts.
void InstallCertificateFile(TCustomEdit* Field, TOpenDialog* Dialog, TStatusBar* StatusBar);
