#include "app/uFillRequisites.h"

#include "app/uVCertMgr.h"
#include "common/qorXMLParser2.h"
#include "common/uTools.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

namespace {

// The attribute key names of a subject string: certificates and templates
// name the e-mail and the position differently.
struct TSubjectKeys {
  const char* Email;
  const char* Title;
};

// The fields both sources read alike. The owner type and the INN are the
// caller's.
TFilledRequisites ReadSubject(const AnsiString& Subject, const TSubjectKeys& Keys) {
  auto A = [&](const char* Key) { return TVCertMgr::GetDNAttribute(Subject, Key); };
  TFilledRequisites R;
  R.SN = A("SN");
  // "Иван Иванович": name and patronymic; a single word is the name alone.
  AnsiString Given = A("GN");
  int Blank = Pos(" ", Given);
  R.GN1 = Blank ? Copy(Given, 1, Blank - 1) : Given;
  R.GN2 = Blank ? Copy(Given, Blank + 1, static_cast<int>(Given.size())) : AnsiString();
  R.SNILS = A("SNILS");
  R.OGRN = A("OGRN");
  if (R.OGRN.empty()) R.OGRN = A("OGRNIP");
  R.EMAIL = A(Keys.Email);
  R.O = A("O");
  R.L = A("L");
  R.ST = A("ST");
  R.OU = A("OU");
  R.Category = A(Keys.Title);
  R.Street = A("streetAddress");
  // "INN=7707083893/КПП=773601001": the KPP is what follows its key.
  AnsiString Unstructured = A("unstructuredName");
  if (int At = Pos("КПП=", Unstructured))
    R.KPP = Copy(Unstructured, At + 4, static_cast<int>(Unstructured.size()));
  return R;
}

}  // namespace

TFilledRequisites RequisitesFromCertificate(const AnsiString& Subject) {
  TFilledRequisites R = ReadSubject(Subject, {"E", "T"});
  AnsiString Inn = TVCertMgr::GetDNAttribute(Subject, "INN");
  if (Inn.size() == 10 || Inn.starts_with("00"))
    R.OwnerType = otLegalEntity;
  else if (Inn.size() == 12)
    R.OwnerType = otEntrepreneur;
  // Twelve zeros would be an INN the certificate does not carry.
  R.INN = Inn.empty() ? Inn : PadLeftTo(Inn, 12, '0');
  return R;
}

TFilledRequisites RequisitesFromTemplate(const AnsiString& Subject,
                                         const AnsiString& BusinessCategory) {
  TFilledRequisites R = ReadSubject(Subject, {"Email", "title"});
  R.INN = TVCertMgr::GetDNAttribute(Subject, "INN");
  R.OwnerType = R.INN.starts_with("00") ? otLegalEntity : otEntrepreneur;
  if (Trim(R.Category).empty()) R.Category = BusinessCategory;
  return R;
}

TFilledRequisites ReadRequisiteTemplate(const AnsiString& FileName) {
  TqorXMLParser2 Parser;
  Parser.LoadXML(FileName);
  if (!Parser.LastError().empty()) throw Exception(Parser.LastError());
  const TqorXMLNode2* AltName = Parser.FindNode("subjectAltName", false, false);
  return RequisitesFromTemplate(Parser.GetChildText("subject", false),
                                AltName ? AltName->GetChildText("businessCategory", false) : "");
}
