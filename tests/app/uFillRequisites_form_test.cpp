// The request page filled from a certificate (a DER file, the user's "MY"
// store, the token) or from an XML template, checked field by field; the
// popup menu and the store's dialog driven through their windows.
#include "app/uFillRequisites.h"

#include <windows.h>

#include <commctrl.h>
#include <wincrypt.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "DialogAnswerer.h"
#include "FormsTestKit.h"
#include "MainFormOnToken.h"
#include "common/uTools.h"

namespace {

using ::testing::StartsWith;

const AnsiString Legal =
    "owner 0; INN=007707083893; SN=Иванов; GN1=Иван; GN2=Иванович; SNILS=11223344595; "
    "OGRN=1027700132195; EMAIL=ivanov@romashka.test; O=ООО \"Ромашка=Лютик\"; L=Москва; "
    "ST=77 г. Москва; OU=Отдел продаж; T=Генеральный директор; Street=ул. Тверская, д. 1, "
    "стр. 2; KPP=773601001";
// A one-word given name is the name.
const AnsiString Entrepreneur =
    "owner 1; INN=500100732259; SN=Петров; GN1=Пётр; SNILS=11223344595; OGRN=304500116000157; "
    "EMAIL=petrov@example.test; L=Подольск";

AnsiString CertFile(const char* Name) { return AnsiString(KS_CERTS_DIR "/") + Name; }

class FillPageTest : public MainFormOnToken {
 protected:
  // The owner type and the fields that are not empty, in the page's order.
  AnsiString Page() const {
    const TfCertRequestAlt& F = *Form;
    AnsiString Line = "owner " + IntToStr(F.rgCertOwnerType->ItemIndex());
    const std::pair<const char*, TControl*> Named[] = {
        {"INN", F.edtINN},       {"SN", F.edtSN},     {"GN1", F.edtGN1},     {"GN2", F.edtGN2},
        {"SNILS", F.edtSNILS},   {"OGRN", F.edtOGRN}, {"EMAIL", F.edtEMAIL}, {"O", F.edtO},
        {"L", F.edtL},           {"ST", F.edtST},     {"OU", F.edtOU},       {"T", F.dbeCategory},
        {"Street", F.edtStreet}, {"KPP", F.edtKPP}};
    for (const auto& [Name, Field] : Named)
      if (!Field->Text().empty()) Line += AnsiString("; ") + Name + "=" + Field->Text();
    return Line;
  }
  // Something in every kind of field, to see what a source clears or keeps.
  void TypeSomething() {
    Form->rgCertOwnerType->SetItemIndex(1);
    Form->rgCertOwnerTypeClick(Form->rgCertOwnerType);
    for (TControl* Field : std::initializer_list<TControl*>{Form->edtSN, Form->edtOU,
                                                            Form->dbeCategory, Form->edtINN})
      Field->SetText("прежнее");
    Form->edtCertFileName->SetText("C:\\issued.cer");
  }
  static constexpr const char* Typed = "owner 1; INN=прежнее; SN=прежнее; OU=прежнее; T=прежнее";
  AnsiString Place(const char* Name, const AnsiString& Bytes) {
    AnsiString Path = (Dir / Name).string();
    std::ofstream(Path.c_str(), std::ios::binary) << Bytes;
    return Path;
  }
  // The error box's text, when one came up.
  AnsiString ErrorShown() const {
    for (const TPrompt& P : Script.Asked)
      if (P.Kind == TPromptKind::MessageDialog && P.Caption == "Ошибка") return P.Text;
    return "";
  }
};

TEST_F(FillPageTest, ADerFileClearsThePageAndFillsEveryField) {
  TypeSomething();
  Script.Answer(1, CertFile("legal.cer"));
  Form->N1Click(nullptr);
  ASSERT_EQ(Kinds(), std::vector<TPromptKind>{TPromptKind::OpenFile});
  EXPECT_EQ(Script.Asked[0].Caption, "Укажите файл с сертификатом");
  EXPECT_EQ(Script.Asked[0].Text, "Сертификаты|*.cer");
  EXPECT_EQ(Page(), Legal);
  EXPECT_EQ(Form->gbOrgSettings->Caption(), "Сведения об организации");
  EXPECT_TRUE(Form->edtKPP->Visible());
  EXPECT_TRUE(Form->btnOK->Enabled());
  EXPECT_EQ(Form->edtCertFileName->Text(), "") << "the page is cleared as Clear all does";

  Script.Answer(1, CertFile("entrepreneur.cer"));
  Form->N1Click(nullptr);
  EXPECT_EQ(Page(), Entrepreneur);
  EXPECT_EQ(Form->gbOrgSettings->Caption(), "Сведения об индивидуальном предпринимателе");
  EXPECT_FALSE(Form->edtKPP->Visible());
}

TEST_F(FillPageTest, APemOrDamagedFileOrACancelChangesNothing) {
  TypeSomething();
  // Gigabytes chosen by mistake are no certificate either, and are not read.
  AnsiString Huge = Place("huge.cer", "");
  std::filesystem::resize_file(Huge.c_str(), 3ull << 30);
  for (const AnsiString& File :
       {CertFile("legal.pem"), Place("text.cer", "не сертификат"), Huge, AnsiString()}) {
    Script.Answer(File.empty() ? 0 : 1, File);
    Form->N1Click(nullptr);
    EXPECT_EQ(Page(), Typed) << File;
    EXPECT_EQ(Form->edtCertFileName->Text(), "C:\\issued.cer");
  }
  EXPECT_EQ(ErrorShown(), "");
}

// A certificate in the current user's "MY" store for one test.
class StoreCertificate {
 public:
  explicit StoreCertificate(const AnsiString& Der) {
    EXPECT_TRUE(CertAddEncodedCertificateToSystemStoreA(
        "MY", reinterpret_cast<const BYTE*>(Der.data()), static_cast<DWORD>(Der.size())));
    FContext =
        CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(Der.data()),
                                     static_cast<DWORD>(Der.size()));
  }
  ~StoreCertificate() {
    HCERTSTORE Store = CertOpenSystemStoreA(0, "MY");
    if (PCCERT_CONTEXT Found = CertFindCertificateInStore(Store, X509_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, FContext, nullptr))
      CertDeleteCertificateFromStore(Found);
    CertCloseStore(Store, 0);
    CertFreeCertificateContext(FContext);
  }
  StoreCertificate(const StoreCertificate&) = delete;
  StoreCertificate& operator=(const StoreCertificate&) = delete;
  // Its 1-based place among the store's certificates, as the picker counts.
  int Place() const {
    HCERTSTORE Store = CertOpenSystemStoreA(0, "MY");
    int Found = 0, Index = 0;
    PCCERT_CONTEXT Context = nullptr;
    while ((Context = CertEnumCertificatesInStore(Store, Context)) != nullptr) {
      ++Index;
      if (CertCompareCertificate(X509_ASN_ENCODING, Context->pCertInfo, FContext->pCertInfo))
        Found = Index;
    }
    CertCloseStore(Store, 0);
    return Found;
  }

 private:
  PCCERT_CONTEXT FContext;
};

TEST_F(FillPageTest, TheUsersStoreOffersItsCertificates) {
  StoreCertificate Mine(ReadFileToString(CertFile("entrepreneur.cer")));
  ASSERT_GT(Mine.Place(), 0);
  TypeSomething();
  Script.Answer(0);
  Form->Windows1Click(nullptr);
  ASSERT_EQ(Kinds(), std::vector<TPromptKind>{TPromptKind::PickCertificate});
  EXPECT_EQ(Script.Asked[0].Text, "MY");
  EXPECT_EQ(Page(), Typed) << "cancelled";

  Script.Answer(Mine.Place());
  Form->Windows1Click(nullptr);
  EXPECT_EQ(Page(), Entrepreneur);
}

// The system's selection dialog, owned by the form: the row of the
// certificate selected and OK pressed.
TEST_F(FillPageTest, TheStoresOwnDialogPicksTheCertificate) {
  SetPrompts(nullptr);
  StoreCertificate Mine(ReadFileToString(CertFile("legal.cer")));
  HWND Owner = Form->Handle();
  int Rows = -1;
  auto Answerer = TDialogAnswerer::Start({{
      [&](HWND Wnd) { return GetWindow(Wnd, GW_OWNER) == Owner; },
      [&](HWND Dialog) {
        for (HWND Child : ChildWindows(Dialog)) {
          char Class[64] = {};
          GetClassNameA(Child, Class, sizeof Class);
          if (std::string(Class) != WC_LISTVIEWA) continue;
          Rows = ListView_GetItemCount(Child);
          // The row whose first column names the legal entity's owner.
          for (int Row = 0; Row < Rows; ++Row) {
            char Text[256] = {};
            ListView_GetItemText(Child, Row, 0, Text, sizeof Text);
            if (AnsiString(Text) != "Иванов, Иван Иванович") continue;
            ListView_SetItemState(Child, Row, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
          }
        }
        PostMessageA(Dialog, WM_COMMAND, IDOK, 0);
      },
  }});
  Form->Windows1Click(nullptr);
  ASSERT_TRUE(Answerer->Done());
  EXPECT_GT(Rows, 0);
  EXPECT_EQ(Page(), Legal);
}

TEST_F(FillPageTest, TheMenuOpensBelowTheButtonAndTheTokenLacksItsEntryPoint) {
  TypeSomething();
  POINT Corner = Form->btnLoadFromCert->ClientToScreen({0, Form->btnLoadFromCert->Height()});
  RECT Menu{};
  std::vector<AnsiString> Items;
  auto Answerer = TDialogAnswerer::Start({{
      [](HWND Wnd) {
        char Class[16] = {};
        GetClassNameA(Wnd, Class, sizeof Class);
        return std::string(Class) == "#32768";
      },
      [&](HWND Popup) {
        GetWindowRect(Popup, &Menu);
        // The third item: the certificates on the token.
        for (int Down = 0; Down < 3; ++Down) PressKey(VK_DOWN);
        PressKey(VK_RETURN);
      },
  }});
  Press(Form->btnLoadFromCert);
  ASSERT_TRUE(Answerer->Done());
  EXPECT_EQ(Menu.left, Corner.x);
  EXPECT_EQ(Menu.top, Corner.y);
  EXPECT_EQ(ErrorShown(), "Не найдена точка входа: GetTokenCertificates");
  EXPECT_EQ(Page(), Typed);
  EXPECT_EQ(Form->StatusBar->SimpleText(), "");
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(FillPageTest, TemplatesFillTheFieldsWithoutClearingThePage) {
  TypeSomething();
  Script.Answer(1, Place("legal.xml",
                         "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                         "<request>\r\n"
                         "  <subject>CN=ООО Ромашка,O=ООО Ромашка,L=Москва,ST=77 г. Москва,"
                         "SN=Иванов,GN=Иван Иванович,Email=ivanov@romashka.test,"
                         "INN=007707083893,OGRN=1027700132195,SNILS=11223344595,"
                         "streetAddress=ул. Тверская, д. 1,"
                         "unstructuredName=INN=7707083893/КПП=773601001</subject>\r\n"
                         "  <subjectAltName>\r\n"
                         "    <businessCategory>Директор</businessCategory>\r\n"
                         "  </subjectAltName>\r\n"
                         "</request>\r\n"));
  Press(Form->btnLoadFromXML);
  ASSERT_EQ(Kinds(), std::vector<TPromptKind>{TPromptKind::OpenFile});
  EXPECT_EQ(Script.Asked[0].Caption, "Укажите файл с xml - шаблоном");
  EXPECT_EQ(Script.Asked[0].Text, "xml-шаблон|*.xml");
  EXPECT_EQ(Page(),
            "owner 0; INN=007707083893; SN=Иванов; GN1=Иван; GN2=Иванович; SNILS=11223344595; "
            "OGRN=1027700132195; EMAIL=ivanov@romashka.test; O=ООО Ромашка; L=Москва; "
            "ST=77 г. Москва; T=Директор; Street=ул. Тверская, д. 1; KPP=773601001");
  EXPECT_EQ(Form->edtCertFileName->Text(), "C:\\issued.cer") << "the page is not cleared";
  EXPECT_TRUE(Form->btnOK->Enabled());

  // A legal entity's template without a KPP leaves the field as it was.
  Script.Answer(1, Place("no-kpp.xml",
                         "<request><subject>CN=ООО Лютик,O=ООО Лютик,INN=007707083894</subject>"
                         "</request>"));
  Press(Form->btnLoadFromXML);
  EXPECT_EQ(Page(), "owner 0; INN=007707083894; O=ООО Лютик; KPP=773601001");

  // Ten digits without the zeros choose an entrepreneur and stay as written.
  Script.Answer(1, Place("ip.xml",
                         "<request><subject>CN=Петров,SN=Петров,GN=Пётр,title=Глава,"
                         "INN=7707083893,OGRNIP=304500116000157</subject></request>"));
  Press(Form->btnLoadFromXML);
  EXPECT_EQ(Page(), "owner 1; INN=7707083893; SN=Петров; GN1=Пётр; OGRN=304500116000157; T=Глава");
  EXPECT_EQ(ErrorShown(), "");
}

TEST_F(FillPageTest, ATemplateThatDoesNotParseShowsTheErrorAndChangesNoField) {
  TypeSomething();
  Script.Answer(1, Place("cut.xml", "<request><subject>CN=X,INN=007707083893</subject>"));
  Press(Form->btnLoadFromXML);
  EXPECT_THAT(ErrorShown(), StartsWith("Missing < near "));
  EXPECT_EQ(Page(), Typed);

  // An INN planted by an overlong "," and "=", and a KOI8-R template whose
  // declaration follows a comment: refused alike.
  const struct {
    const char* File;
    AnsiString Xml;
    const char* Error;
  } Hostile[] = {
      {"planted.xml",
       "<?xml version='1.0' encoding='UTF-8'?><request><subject>CN=Ivan\xC0\xACINN\xC0\xBD"
       "123456789012</subject></request>",
       "Malformed UTF-8 text near "},
      {"koi8.xml",
       "<!-- c --><?xml version='1.0' encoding='KOI8-R'?><request><subject>CN=\xEF\xEF\xEF,"
       "INN=007707083893</subject></request>",
       "xml declaration not at the start of the document near "},
  };
  for (const auto& H : Hostile) {
    SCOPED_TRACE(H.File);
    Script.Asked.clear();
    Script.Answer(1, Place(H.File, H.Xml));
    Press(Form->btnLoadFromXML);
    EXPECT_THAT(ErrorShown(), StartsWith(H.Error));
    EXPECT_EQ(Page(), Typed);
  }

  Script.Answer(0);
  Press(Form->btnLoadFromXML);
  EXPECT_EQ(Page(), Typed) << "cancelled";
}

}  // namespace
