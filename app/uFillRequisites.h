#pragma once
// The requisites read from a certificate's subject or from an XML template,
// as the request page's fields get them. Both read a distinguished-name
// string attribute by attribute.

#include "app/uRequisites.h"

#include <optional>

#ifdef _WIN32
struct _CERT_CONTEXT;
using PCCERT_CONTEXT = const _CERT_CONTEXT*;
class TfCertRequestAlt;
#endif

// Every field of the request page; what the source lacks is empty.
struct TFilledRequisites : TRequisites {
  // Only a source that names a KPP sets it; without one the field keeps
  // what it holds.
  std::optional<AnsiString> KPP;
};

// From a certificate's subject: a 10-digit INN or one starting "00" is a
// legal entity's, another 12-digit one an entrepreneur's, anything else
// chooses no owner; an INN present is padded to 12 digits with zeros.
TFilledRequisites RequisitesFromCertificate(const AnsiString& Subject);
// From a template's subject (its own key names "Email" and "title"): an
// INN starting "00" is a legal entity's, any other an entrepreneur's, and
// it stays as written. An empty position takes BusinessCategory.
TFilledRequisites RequisitesFromTemplate(const AnsiString& Subject,
                                         const AnsiString& BusinessCategory);
// The template file read: its "subject" and, under "subjectAltName", its
// "businessCategory". A template that does not parse raises the parser's
// error, so nothing is filled from half a document.
TFilledRequisites ReadRequisiteTemplate(const AnsiString& FileName);

#ifdef _WIN32
// The request page filled from these values: the owner type with its
// layout first, then every field; Generate follows the fields.
void ShowRequisites(TfCertRequestAlt& Form, const TFilledRequisites& R);
// The page cleared, then filled from the certificate's subject.
void FillFromCertificate(TfCertRequestAlt& Form, PCCERT_CONTEXT Context);
// The sources behind the page's buttons and menu: a certificate of the
// user's "MY" store, a DER file, the token, an XML template. Cancelling
// any question leaves the page as it is.
void FillFromStore(TfCertRequestAlt& Form);
void FillFromFile(TfCertRequestAlt& Form);
void FillFromToken(TfCertRequestAlt& Form);
void FillFromTemplate(TfCertRequestAlt& Form);
#endif
