#pragma once
// The requisites of a certificate owner as the main form holds them, and
// what the request road makes of them: the texts sent to the authority,
// the subject of the request, the request file.

#include <vector>

#include "rtl/Types.h"

enum TOwnerType { otNone = -1, otLegalEntity = 0, otEntrepreneur = 1 };

// The field texts as typed (Windows-1251).
struct TRequisites {
  TOwnerType OwnerType = otNone;
  AnsiString SN, GN1, GN2, SNILS, EMAIL, Category;  // the owner
  AnsiString ST, L, Street;                         // the legal address
  AnsiString O, OU, OGRN, INN;                      // the organisation
};

// The INN as the checks read it: a legal entity's INN of 12 characters
// starting "00" is the 10-digit one padded by the INN field.
AnsiString OwnerInn(const AnsiString& TrimmedInn, TOwnerType OwnerType);

// Characters the authority does not take become blanks; then the text is
// trimmed and every run of blanks is one blank.
AnsiString SanitizeText(const AnsiString& S);

// The longest text the authority takes for a name, and the message for a
// longer one (Caption: the field's label).
constexpr int MaxRequisiteLength = 200;
AnsiString TooLongMessage(const AnsiString& Caption, int Length);

// The subject of the request: attribute name then value, each in UTF-8,
// empty optional attributes left out.
std::vector<AnsiString> RequestSubject(const TRequisites& R);

// The extended key usages of a request; the last one carries the validity
// period in months as its last arc.
AnsiString RequestKeyUsages(int Months);

// The request as the token answered it, as DER: a PEM answer (after any
// byte-order mark and white space) loses its armour lines and is decoded;
// anything else is taken as DER already. Raises Exception unless the result
// is exactly one PKCS#10 request in DER (an empty answer too).
AnsiString RequestToDer(const AnsiString& Answer);

// "<INN>_yyyymmdd_hhnnss.req".
AnsiString RequestFileName(const AnsiString& Inn, TDateTime When);

// The lists the form's combo boxes offer.
extern const std::vector<const char*> PositionPresets;
extern const std::vector<const char*> RegionPresets;
extern const std::vector<const char*> CityPresets;
