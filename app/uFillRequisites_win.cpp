// The request page filled from a certificate of the user's store, of a
// file or of the token, or from an XML template.

#include <windows.h>

#include <wincrypt.h>

#include <memory>

#include "app/uCertInstall.h"
#include "app/uCertReqAlt.h"
#include "app/uFillRequisites.h"
#include "app/uSignPage.h"
#include "app/uVCertMgr.h"
#include "common/uTools.h"
#include "forms/Dialogs.h"

namespace {

// Fills the page from a context, which is freed afterwards; nothing for none.
void FillAndFree(TfCertRequestAlt& Form, PCCERT_CONTEXT Context) {
  if (!Context) return;
  std::unique_ptr<const CERT_CONTEXT, decltype(&CertFreeCertificateContext)> Held(
      Context, CertFreeCertificateContext);
  FillFromCertificate(Form, Context);
}

}  // namespace

void ShowRequisites(TfCertRequestAlt& Form, const TFilledRequisites& R) {
  Form.rgCertOwnerType->SetItemIndex(R.OwnerType);
  Form.rgCertOwnerTypeClick(Form.rgCertOwnerType);
  const std::pair<TControl*, const AnsiString&> Fields[] = {
      {Form.edtINN, R.INN},       {Form.edtSN, R.SN},       {Form.edtGN1, R.GN1},
      {Form.edtGN2, R.GN2},       {Form.edtSNILS, R.SNILS}, {Form.edtOGRN, R.OGRN},
      {Form.edtEMAIL, R.EMAIL},   {Form.edtO, R.O},         {Form.edtL, R.L},
      {Form.edtST, R.ST},         {Form.edtOU, R.OU},       {Form.dbeCategory, R.Category},
      {Form.edtStreet, R.Street},
  };
  for (const auto& [Field, Text] : Fields) Field->SetText(Text);
  if (R.KPP) Form.edtKPP->SetText(*R.KPP);
  Form.btnOK->SetEnabled(Form.AllRequiredFilled());
}

void FillFromCertificate(TfCertRequestAlt& Form, PCCERT_CONTEXT Context) {
  Form.btnClearAllClick(nullptr);
  TCertInfo Info;
  TVCertMgr::GetCertInfoFromContext(Context, cifSubject, Info);
  TFilledRequisites R = RequisitesFromCertificate(Info.Subject);
  TVCertMgr::FreeCertInfo(Info);
  ShowRequisites(Form, R);
}

void FillFromStore(TfCertRequestAlt& Form) {
  std::unique_ptr<void, void (*)(HCERTSTORE)> Store(CertOpenSystemStoreA(0, "MY"),
                                                    [](HCERTSTORE S) { CertCloseStore(S, 0); });
  if (!Store) RaiseLastOSError();
  FillAndFree(Form, SelectCertificate(Store.get(), "MY", Form.Handle()));
}

void FillFromFile(TfCertRequestAlt& Form) {
  if (!Form.OpenDialog->Execute()) return;
  // A PEM, damaged or huge file makes no certificate: nothing is filled.
  FillAndFree(Form, TVCertMgr::CertFromDER(ReadCertificateFile(Form.OpenDialog->FileName)));
}

void FillFromToken(TfCertRequestAlt& Form) {
  AnsiString Cert;
  if (ChooseTokenCertificate(Form.StatusBar, "Укажите сертификат", Cert))
    FillAndFree(Form, TVCertMgr::CertFromDER(Cert));
}

void FillFromTemplate(TfCertRequestAlt& Form) {
  if (!Form.OpenDialogXML->Execute()) return;
  ShowRequisites(Form, ReadRequisiteTemplate(Form.OpenDialogXML->FileName));
}
