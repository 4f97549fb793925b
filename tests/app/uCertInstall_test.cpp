// Installing an issued certificate from the main form's installation page on
// the emulated token: the file read as PEM or DER, the token object's
// identifier, the questions asked, the failures and what reaches the token.
#include "app/uCertInstall.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "DialogAnswerer.h"
#include "FormsTestKit.h"
#include "MainFormOnToken.h"
#include "app/uBase64.h"
#include "common/uTools.h"
#include "tokenlib/pkcs11types.h"

namespace {

const AnsiString NoCertificate = "Файл не содержит сертификата или в сертификате не указан ИНН!";

AnsiString Fixture(const char* Name) {
  return ReadFileToString(AnsiString(KS_CERTS_DIR "/") + Name);
}

// The entrepreneur's certificate with the INN attributes renamed
// (1.2.643.3.131.1.1 becomes …1.2): a certificate whose subject names no
// INN. The signature no longer matches, which decoding does not check.
AnsiString WithoutInn() {
  AnsiString Der = Fixture("entrepreneur.cer");
  const AnsiString Inn("\x06\x08\x2A\x85\x03\x03\x81\x03\x01\x01", 10);
  for (size_t At = Der.find(Inn); At != AnsiString::npos; At = Der.find(Inn, At))
    Der[At + Inn.size() - 1] = '\x02';
  return Der;
}

// PEM with LF line ends and 64-character lines.
AnsiString Pem(const AnsiString& Der) {
  AnsiString Body = EncodeBase64(Der), Text = "-----BEGIN CERTIFICATE-----\n";
  for (size_t At = 0; At < Body.size(); At += 64) Text += Body.substr(At, 64) + "\n";
  return Text + "-----END CERTIFICATE-----\n";
}

TEST(CertificateObjectId, IsTheInnAndTheKppAfterItsKey) {
  struct Case {
    AnsiString Subject, Id;
  } Cases[] = {
      {"CN=ООО Ромашка,INN=007707083893,unstructuredName=INN=7707083893/КПП=773601001",
       "007707083893-773601001"},
      {"CN=Петров,INN=500100732259,SNILS=11223344595", "500100732259"},
      {"CN=A,INN=007707083893,unstructuredName=INN=7707083893", "007707083893"},
      // Nine characters of the KPP, however many follow its key.
      {"CN=A,INN=007707083893,unstructuredName=КПП=7736010019999", "007707083893-773601001"},
      {"CN=A,INN=007707083893,unstructuredName=КПП=77", "007707083893-77"},
      {"CN=A,INN=007707083893,unstructuredName=kpp=773601001", "007707083893"},
  };
  for (const Case& C : Cases) EXPECT_EQ(CertificateObjectId(C.Subject), C.Id) << C.Subject;
}

class CertificateFileTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(Folder.c_str()); }
  void TearDown() override { std::filesystem::remove_all(Folder.c_str()); }
  AnsiString Write(const char* Name, const AnsiString& Bytes) {
    AnsiString Path = Folder + Name;
    std::ofstream(Path.c_str(), std::ios::binary) << Bytes;
    return Path;
  }
  AnsiString Folder = ExtractFilePath(ExeFileName()) + "certinstall_test\\";
};

TEST_F(CertificateFileTest, PemAndDerGiveTheSameBytesAndIdentifier) {
  const AnsiString Legal = Fixture("legal.cer");
  struct Case {
    AnsiString Path, Der, Id;
  } Cases[] = {
      {AnsiString(KS_CERTS_DIR "/legal.cer"), Legal, "007707083893-773601001"},
      // CR LF and blank lines around the body.
      {AnsiString(KS_CERTS_DIR "/legal.pem"), Legal, "007707083893-773601001"},
      {Write("lf.pem", Pem(Legal)), Legal, "007707083893-773601001"},
      {AnsiString(KS_CERTS_DIR "/entrepreneur.cer"), Fixture("entrepreneur.cer"), "500100732259"},
      {AnsiString(KS_CERTS_DIR "/broken-ext.cer"), Fixture("broken-ext.cer"), "007707083893"},
  };
  for (const Case& C : Cases) {
    TCertificateToInstall Cert = ReadCertificateToInstall(C.Path);
    EXPECT_EQ(Cert.Der, C.Der) << C.Path;
    EXPECT_EQ(Cert.Id, C.Id) << C.Path;
  }
}

TEST_F(CertificateFileTest, AFileWithoutACertificateOrItsInnIsRefused) {
  const AnsiString Legal = Fixture("legal.cer");
  AnsiString BrokenPem = Pem(Legal);
  BrokenPem.replace(BrokenPem.find("MII") + 3, 40, 40, '*');
  const std::pair<const char*, AnsiString> Files[] = {
      {"empty.cer", ""},
      {"text.cer", "Это не сертификат\r\n"},
      {"cut.cer", Legal.substr(0, Legal.size() / 2)},
      {"broken.pem", BrokenPem},
      {"request.pem",
       "-----BEGIN CERTIFICATE REQUEST-----\nMIIB\n-----END CERTIFICATE REQUEST-----\n"},
      {"no-inn.cer", WithoutInn()},
      {"no-inn.pem", Pem(WithoutInn())},
  };
  for (const auto& [Name, Bytes] : Files) {
    try {
      ReadCertificateToInstall(Write(Name, Bytes));
      ADD_FAILURE() << Name << " was taken";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), NoCertificate) << Name;
    }
  }
}

// A file of gigabytes chosen by mistake is refused like any other file that
// is not a certificate, not read whole into the memory of the process.
TEST_F(CertificateFileTest, AFileFarLargerThanACertificateIsRefusedUnread) {
  AnsiString Huge = Write("huge.cer", "");
  std::filesystem::resize_file(Huge.c_str(), 3ull << 30);
  try {
    ReadCertificateToInstall(Huge);
    ADD_FAILURE() << "a file of 3 GiB was taken";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), NoCertificate);
  }
}

// The installation page of the form on an emulated token.
class InstallPageTest : public MainFormOnToken {
 protected:
  void SetUp() override {
    MainFormOnToken::SetUp();
    Form->PageControl->SetActivePage(Form->tsInstallCert);
  }
  void PressInstall() { Press(Form->btnInstall); }
  // The file in the test's folder, as the user would name it.
  AnsiString Place(const char* Name, const AnsiString& Bytes) {
    AnsiString Path = (Dir / Name).string();
    std::ofstream(Path.c_str(), std::ios::binary) << Bytes;
    return Path;
  }
  // Installs the file with the factory PIN; the questions of the road.
  void Install(const AnsiString& Path) {
    Script.Asked.clear();
    Form->edtCertFileName->SetText(Path);
    Script.Answer(1, "40715382");
    Script.Answer(IDOK);
    PressInstall();
  }
  std::vector<TObject> Certificates() const {
    std::vector<TObject> Found;
    for (const TObject& Object : TokenObjects())
      if (Object.count(CKA_CLASS) && Object.at(CKA_CLASS) == std::to_string(CKO_CERTIFICATE))
        Found.push_back(Object);
    return Found;
  }
};

TEST_F(InstallPageTest, PemAndDerStoreTheSameObjectUnderInnAndKpp) {
  const AnsiString Der = Fixture("legal.cer");
  Install(Place("legal.cer", Der));
  ASSERT_EQ(Kinds(), (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageBox}));
  EXPECT_EQ(Script.Asked[0].Caption, "Укажите пин-код");
  EXPECT_EQ(Script.Asked[0].Text, "Ввод пин-кода");
  EXPECT_EQ(Script.Asked[0].Value, "40715382");
  EXPECT_EQ(Script.Asked[1].Text, "Сертификат успешно установлен");
  EXPECT_EQ(Script.Asked[1].Flags, static_cast<int>(MB_OK | MB_ICONINFORMATION));
  EXPECT_THAT(CallLine("C_CreateObject"),
              ::testing::HasSubstr("CKA_ID=\"007707083893-773601001\""));
  EXPECT_EQ(Form->StatusBar->SimpleText(), "");
  EXPECT_EQ(Screen->Cursor(), crDefault);

  Install(AnsiString(KS_CERTS_DIR "/legal.pem"));
  EXPECT_EQ(Script.Asked.back().Text, "Сертификат успешно установлен");

  std::vector<TObject> Stored = Certificates();
  ASSERT_EQ(Stored.size(), 2u);
  EXPECT_EQ(Stored[0].at(CKA_ID), Hex("007707083893-773601001"));
  EXPECT_EQ(Stored[0].at(CKA_VALUE), Hex(Der));
  EXPECT_EQ(Stored[0].at(CKA_CERTIFICATE_TYPE), "0");
  EXPECT_EQ(Stored[0], Stored[1]) << "PEM and DER give the same object";
}

TEST_F(InstallPageTest, AnEntrepreneursCertificateIsStoredUnderTheBareInn) {
  Install(AnsiString(KS_CERTS_DIR "/entrepreneur.cer"));
  EXPECT_EQ(Script.Asked.back().Text, "Сертификат успешно установлен");
  std::vector<TObject> Stored = Certificates();
  ASSERT_EQ(Stored.size(), 1u);
  EXPECT_EQ(Stored[0].at(CKA_ID), Hex("500100732259"));
  EXPECT_EQ(Stored[0].at(CKA_VALUE), Hex(Fixture("entrepreneur.cer")));
}

TEST_F(InstallPageTest, TheFileIsAskedForUntilOneExistsAndCancelEndsIt) {
  Form->edtCertFileName->SetText("  ");
  Script.Answer(0);
  PressInstall();
  ASSERT_EQ(Kinds(), std::vector<TPromptKind>{TPromptKind::OpenFile});
  EXPECT_EQ(Script.Asked[0].Caption, "Укажите файл с сертификатом");
  EXPECT_EQ(Script.Asked[0].Text, "Сертификаты|*.cer");
  EXPECT_TRUE(JournalLines().empty());

  Script.Asked.clear();
  const AnsiString Chosen = Place("chosen.cer", Fixture("entrepreneur.cer"));
  Form->edtCertFileName->SetText((Dir / "missing.cer").string());
  Script.Answer(1, (Dir / "also-missing.cer").string());
  Script.Answer(1, Chosen);
  Script.Answer(1, "40715382");
  Script.Answer(IDOK);
  PressInstall();
  EXPECT_EQ(Kinds(), (std::vector<TPromptKind>{TPromptKind::OpenFile, TPromptKind::OpenFile,
                                               TPromptKind::InputQuery, TPromptKind::MessageBox}));
  EXPECT_EQ(Form->edtCertFileName->Text(), Chosen);
  EXPECT_EQ(Certificates().size(), 1u);
}

TEST_F(InstallPageTest, TheFieldsButtonPicksTheFileAndItsMarkWantsAnExistingOne) {
  TDBEditKs* Field = Form->edtCertFileName;
  const AnsiString Chosen = Place("chosen.cer", Fixture("legal.cer"));
  EXPECT_TRUE(Field->HighlightRequired());
  const std::pair<AnsiString, bool> Marks[] = {{"", true},
                                               {"  ", true},
                                               {(Dir / "missing.cer").string(), true},
                                               {" " + Chosen + " ", false}};
  for (const auto& [Text, Marked] : Marks) {
    Field->SetText(Text);
    bool Mark = !Marked;
    Field->OnCheckDrawRequiredState(Field, Mark);
    EXPECT_EQ(Mark, Marked) << "'" << Text << "'";
  }

  TEditButtonControlKs* Browse = nullptr;
  for (int I = 0; I < Field->ButtonControlCount(); ++I)
    if (Field->ButtonControl(I)->Visible()) Browse = Field->ButtonControl(I);
  ASSERT_NE(Browse, nullptr);
  EXPECT_EQ(Browse->Style(), ebsEllipsisKs);
  Field->SetText("C:\\before.cer");
  Script.Answer(0);
  Browse->Click();
  EXPECT_EQ(Field->Text(), "C:\\before.cer") << "cancelled";
  Script.Answer(1, Chosen);
  Browse->Click();
  EXPECT_EQ(Field->Text(), Chosen);
  ASSERT_EQ(Kinds(), (std::vector<TPromptKind>{TPromptKind::OpenFile, TPromptKind::OpenFile}));
  EXPECT_EQ(Script.Asked[0].Caption, "Укажите файл с сертификатом");
  EXPECT_EQ(Script.Asked[0].Text, "Сертификаты|*.cer");
  EXPECT_TRUE(JournalLines().empty());
}

TEST_F(InstallPageTest, AFileWithoutACertificateOrInnNeverReachesTheToken) {
  for (const auto& [Name, Bytes] : {std::pair<const char*, AnsiString>{"text.cer", "не сертификат"},
                                    {"no-inn.cer", WithoutInn()}}) {
    Install(Place(Name, Bytes));
    ASSERT_EQ(Kinds(),
              (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageDialog}))
        << Name;
    EXPECT_EQ(Script.Asked[1].Caption, "Ошибка");
    EXPECT_EQ(Script.Asked[1].Text, NoCertificate);
    Script.Answers.clear();
  }
  EXPECT_TRUE(JournalLines().empty()) << "the token was not touched";
}

TEST_F(InstallPageTest, CancellingThePinTouchesNothing) {
  Form->edtCertFileName->SetText(AnsiString(KS_CERTS_DIR "/legal.cer"));
  Script.Answer(0);
  PressInstall();
  EXPECT_EQ(Kinds(), std::vector<TPromptKind>{TPromptKind::InputQuery});
  EXPECT_TRUE(JournalLines().empty());
}

TEST_F(InstallPageTest, TokenFailuresShowTheirTextsAndRestoreTheForm) {
  struct Case {
    const char* Config;
    AnsiString Pin, Text;
  } Cases[] = {
      {"", "11111111", "Ошибка подключения к токену"},
      {"fail=C_CreateObject:CKR_DEVICE_ERROR", "40715382",
       "Ошибка записи сертификата пользователя на токен"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Text);
    Configure(C.Config);
    Script.Asked.clear();
    Form->edtCertFileName->SetText(AnsiString(KS_CERTS_DIR "/legal.cer"));
    Script.Answer(1, C.Pin);
    PressInstall();
    ASSERT_EQ(Kinds(),
              (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageDialog}));
    EXPECT_EQ(Script.Asked[1].Caption, "Ошибка");
    EXPECT_EQ(Script.Asked[1].Text, C.Text);
    EXPECT_EQ(Form->StatusBar->SimpleText(), "");
    EXPECT_EQ(Screen->Cursor(), crDefault);
  }
  EXPECT_TRUE(Certificates().empty());
}

// The road through the real dialogs: the file typed into the open dialog,
// the PIN box and the success box answered with Enter.
TEST_F(InstallPageTest, TheRealDialogsTakeTheUserToTheInstalledCertificate) {
  SetPrompts(nullptr);
  const AnsiString Path = Place("issued.cer", Fixture("legal.cer"));
  auto Answerer = TDialogAnswerer::Start({
      {Titled("Укажите файл с сертификатом"),
       [&](HWND Dialog) {
         // The file name edit has the focus when the dialog opens.
         SetForegroundWindow(Dialog);
         TypeText(Path.c_str());
         PressKey(VK_RETURN);
       }},
      {Titled("Укажите пин-код"), PressEnterIn},
      {Titled("Информация"), PressEnterIn},
  });
  Form->edtCertFileName->SetText("");
  PressInstall();
  ASSERT_TRUE(PumpUntil([&] { return Answerer->Done(); }, 30000));
  ASSERT_EQ(Answerer->Seen.size(), 3u);
  EXPECT_THAT(Answerer->Seen[1], ::testing::Contains("40715382"));
  EXPECT_THAT(Answerer->Seen[2], ::testing::Contains("Сертификат успешно установлен"));
  EXPECT_EQ(Form->edtCertFileName->Text(), Path);
  std::vector<TObject> Stored = Certificates();
  ASSERT_EQ(Stored.size(), 1u);
  EXPECT_EQ(Stored[0].at(CKA_ID), Hex("007707083893-773601001"));
}

}  // namespace
