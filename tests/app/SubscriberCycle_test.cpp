// The subscriber's whole road on one emulated token, in two halves that
// SubscriberCycle.cmake runs with the test authority between them: the
// requisites filled from a template and two requests made (a legal entity's
// and an entrepreneur's); then the issued certificates installed, as DER and
// as PEM, and a wrong PIN. KS_CYCLE_DIR names the folder the halves share
// (a host path); without it there is nothing to do.
#include <windows.h>

#include <wincrypt.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "MainFormOnToken.h"
#include "common/uTools.h"
#include "tokenlib/pkcs11types.h"

namespace {

const char* const LegalTemplate =
    "<request><subject>CN=ООО Ромашка,O=ООО Ромашка,L=Москва,ST=77 г. Москва,title=Генеральный "
    "директор,SN=Иванов,GN=Иван Иванович,Email=ivanov@romashka.ru,INN=007707083893,"
    "OGRN=1027700132195,SNILS=11223344595,streetAddress=ул. Тверская, д. 1,"
    "unstructuredName=INN=7707083893/КПП=773601001</subject></request>";
const char* const EntrepreneurTemplate =
    "<request><subject>CN=Петров Пётр,L=Подольск,ST=50 Московская область,SN=Петров,"
    "GN=Пётр Петрович,Email=petrov@example.ru,INN=500100732185,OGRNIP=304500116100020,"
    "SNILS=11223344595,streetAddress=ул. Ленина, д. 2</subject></request>";

class SubscriberCycle : public MainFormOnToken {
 protected:
  void SetUp() override {
    MainFormOnToken::SetUp();
    AnsiString Host = GetEnvironmentVariable("KS_CYCLE_DIR");
    if (Host.empty()) GTEST_SKIP() << "run by SubscriberCycle.cmake";
    // The host's root is drive Z: under Wine.
    Cycle = "Z:" + StringReplace(Host, "/", "\\", rfReplaceAll) + "\\";
    StateFile = (Cycle + "token.state").c_str();
    JournalFile = (Cycle + "journal.txt").c_str();
    SetEnv("TVEMU_STATE", StateFile.string());
    SetEnv("TVEMU_JOURNAL", JournalFile.string());
  }

  // The requisites from a template, then Generate with the factory PIN.
  void Request(const char* Template, const char* Name) {
    AnsiString File = Cycle + Name + ".xml";
    std::ofstream(File.c_str(), std::ios::binary) << Template;
    Script.Answer(1, File);
    Press(Form->btnLoadFromXML);
    Script.Answer(1, "40715382");
    Script.Answer(IDOK);
    Script.Answer(1, Cycle + Name + ".req");
    Press(Form->btnOK);
  }
  // Installs a file from the installation page with a PIN; the last text shown.
  AnsiString Install(const char* Name, const AnsiString& Pin = "40715382") {
    Form->edtCertFileName->SetText(Cycle + Name);
    Script.Answer(1, Pin);
    Script.Answer(IDOK);
    Press(Form->btnInstall);
    return Script.Asked.back().Text;
  }
  std::vector<TObject> Objects(CK_OBJECT_CLASS Class) const {
    std::vector<TObject> Found;
    for (const TObject& Object : TokenObjects())
      if (Object.at(CKA_CLASS) == std::to_string(Class)) Found.push_back(Object);
    return Found;
  }
  // The public key a certificate certifies: the last 64 bytes of its key
  // bits, as the token keeps a key's value.
  AnsiString CertifiedKey(const char* Name) const {
    AnsiString Der = ReadFileToString(Cycle + Name);
    PCCERT_CONTEXT Context = CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(Der.data()), Der.size());
    if (!Context) return "";
    const CRYPT_BIT_BLOB& Bits = Context->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    AnsiString Key(reinterpret_cast<const char*>(Bits.pbData), Bits.cbData);
    CertFreeCertificateContext(Context);
    return Key.substr(Key.size() - 64);
  }

  AnsiString Cycle;
};

TEST_F(SubscriberCycle, MakesTheRequests) {
  Request(LegalTemplate, "legal");
  EXPECT_EQ(Form->edtKPP->Text(), "773601001");
  Request(EntrepreneurTemplate, "ip");
  EXPECT_EQ(Kinds(), (std::vector<TPromptKind>{TPromptKind::OpenFile, TPromptKind::InputQuery,
                                               TPromptKind::MessageBox, TPromptKind::SaveFile,
                                               TPromptKind::OpenFile, TPromptKind::InputQuery,
                                               TPromptKind::MessageBox, TPromptKind::SaveFile}));
  EXPECT_TRUE(FileExists(Cycle + "legal.req"));
  EXPECT_TRUE(FileExists(Cycle + "ip.req"));
  EXPECT_EQ(Objects(CKO_PUBLIC_KEY).size(), 2u);
}

TEST_F(SubscriberCycle, InstallsTheCertificates) {
  ASSERT_EQ(Objects(CKO_PUBLIC_KEY).size(), 2u) << "the keys of the requests";
  EXPECT_EQ(Install("legal.cer", "11111111"), "Ошибка подключения к токену");
  EXPECT_TRUE(Objects(CKO_CERTIFICATE).empty());

  EXPECT_EQ(Install("legal.cer"), "Сертификат успешно установлен");
  EXPECT_EQ(Install("legal.pem"), "Сертификат успешно установлен");
  EXPECT_EQ(Install("ip.cer"), "Сертификат успешно установлен");
  std::vector<TObject> Certificates = Objects(CKO_CERTIFICATE);
  ASSERT_EQ(Certificates.size(), 3u);
  EXPECT_EQ(Certificates[0], Certificates[1]) << "PEM and DER give the same object";
  EXPECT_EQ(Certificates[0].at(CKA_ID), Hex("007707083893-773601001"));
  EXPECT_EQ(Certificates[0].at(CKA_VALUE), Hex(ReadFileToString(Cycle + "legal.cer")));
  EXPECT_EQ(Certificates[2].at(CKA_ID), Hex("500100732185"));

  // Each certificate certifies the key its request was made with.
  std::map<std::string, std::string> Keys;
  for (const TObject& Key : Objects(CKO_PUBLIC_KEY)) Keys[Key.at(CKA_ID)] = Key.at(CKA_VALUE);
  EXPECT_EQ(Keys[Hex("007707083893")], Hex(CertifiedKey("legal.cer")));
  EXPECT_EQ(Keys[Hex("500100732185")], Hex(CertifiedKey("ip.cer")));
}

}  // namespace
