// The signing page against a token library that has the further entry
// points (SignTokenStub.cpp, beside this test as Morvel.dll) and a crypto
// server on loopback; every question is answered by a script.
//
// <windows.h> goes first, so the runtime's headers take back the names it
// defines as macros (FreeModule, DeleteFile).
#include <windows.h>

#include "app/uSignPage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <functional>

#include "LoopbackServer.h"
#include "app/uBase64.h"
#include "app/uMorvelBinding.h"
#include "common/uTools.h"
#include "forms/ComCtrls.h"
#include "forms/Dialogs.h"
#include "forms/Forms.h"
#include "forms/ScriptedPrompts.h"
#include "forms/StdCtrls.h"
#include "rtl/OsShim.h"
#include "rtl/Streams.h"

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const AnsiString kPin = "40715382";
const char kReportBytes[] = "<report>данные\0отчёта</report>";
const AnsiString kReport(kReportBytes, sizeof kReportBytes - 1);
const AnsiString kLegalLine = "Иванов, Иван Иванович, действует с 01.01.2024 по 01.01.2040";
const AnsiString kEntrepreneurLine = "Петров Пётр Петрович, действует с 01.03.2024 по 01.03.2025";

AnsiString BinDir() { return ExtractFilePath(ExeFileName()); }
AnsiString Fixture(const char* Name) {
  return ReadFileToString(AnsiString(KS_CERTS_DIR) + "/" + Name);
}
void WriteFile(const AnsiString& Name, const AnsiString& Bytes) {
  TFileStream File(Name, fmCreate);
  File.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
}

// The 64 key bytes of a GOST certificate, found by their DER framing:
// BIT STRING of 67 bytes, no unused bits, OCTET STRING of 64.
AnsiString PublicKeyOf(const AnsiString& Der) {
  const size_t At = Der.find(AnsiString("\x03\x43\x00\x04\x40", 5));
  return At == AnsiString::npos ? AnsiString() : Der.substr(At + 5, 64);
}

uint32_t Le(const AnsiString& Bytes, size_t At, int Size) {
  uint32_t Value = 0;
  for (int I = Size - 1; I >= 0; --I) Value = Value << 8 | static_cast<uint8_t>(Bytes.at(At + I));
  return Value;
}

struct TMember {
  AnsiString Name;
  AnsiString Data;
};

// The members of a ZIP archive, read through its central directory.
std::vector<TMember> Unzip(const AnsiString& Zip) {
  std::vector<TMember> Members;
  const size_t End = Zip.size() - 22;
  if (Zip.size() < 22 || Le(Zip, End, 4) != 0x06054B50) return Members;
  size_t Central = Le(Zip, End + 16, 4);
  for (uint32_t N = Le(Zip, End + 10, 2); N > 0; --N) {
    const uint32_t Method = Le(Zip, Central + 10, 2), Packed = Le(Zip, Central + 20, 4),
                   Size = Le(Zip, Central + 24, 4), NameLength = Le(Zip, Central + 28, 2);
    const size_t Local = Le(Zip, Central + 42, 4);
    TMember Member{Zip.substr(Central + 46, NameLength), AnsiString(Size, '\0')};
    const size_t Data = Local + 30 + Le(Zip, Local + 26, 2) + Le(Zip, Local + 28, 2);
    if (Method == 0) {
      Member.Data = Zip.substr(Data, Size);
    } else {
      z_stream Stream{};
      inflateInit2(&Stream, -MAX_WBITS);
      Stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Zip.data() + Data));
      Stream.avail_in = Packed;
      Stream.next_out = reinterpret_cast<Bytef*>(Member.Data.data());
      Stream.avail_out = Size;
      EXPECT_EQ(inflate(&Stream, Z_FINISH), Z_STREAM_END);
      inflateEnd(&Stream);
    }
    Members.push_back(Member);
    Central += 46 + NameLength + Le(Zip, Central + 30, 2) + Le(Zip, Central + 32, 2);
  }
  return Members;
}

std::string HttpAnswer(const std::string& Status, const std::string& Body) {
  return "HTTP/1.1 " + Status + "\r\nContent-Length: " + std::to_string(Body.size()) + "\r\n\r\n" +
         Body;
}

// Base64 in lines of 76, as servers send it.
std::string Base64Lines(const AnsiString& Bytes) {
  const AnsiString Text = EncodeBase64(Bytes);
  std::string Lines;
  for (size_t At = 0; At < Text.size(); At += 76) Lines += Text.substr(At, 76) + "\r\n";
  return Lines;
}

using THandler = void (TSignPage::*)(TObject*);

// The page on a host form with the controls it works with, the stub's
// controls, and a folder of its own for the files.
class SignPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Held for the whole test, as the program's start-up probe holds Morvel.
    Module = LoadModule(MorvelLibraryName());
    ASSERT_NE(Module, nullptr) << LastOSErrorText();
    ASSERT_TRUE(FindExport(Module, "StubLog")) << "not the stub token library";
    Stub<void (*)()>("StubReset")();
    std::filesystem::remove_all(Folder.c_str());
    std::filesystem::create_directories(Folder.c_str());
    WriteFile(Report, kReport);
    StatusBar->SetParent(&Host);
    StatusBar->SetSimplePanel(true);
    edtCertFileName->SetParent(&Host);
  }
  void TearDown() override {
    std::filesystem::remove_all(Folder.c_str());
    if (Module) FreeModule(Module);
  }

  template <typename F>
  F Stub(const char* Name) {
    return reinterpret_cast<F>(FindExport(Module, Name));
  }
  void PutCertificate(const AnsiString& Der) {
    Stub<void(MORVEL_CDECL*)(const uint8_t*, int32_t)>("StubAddCertificate")(
        reinterpret_cast<const uint8_t*>(Der.data()), static_cast<int32_t>(Der.size()));
  }
  void PutPublicKey(const AnsiString& Key) {
    Stub<void(MORVEL_CDECL*)(const char*)>("StubAddPublicKey")(Key.c_str());
  }
  void Fail(const char* EntryPoint, int32_t Result) {
    Stub<void(MORVEL_CDECL*)(const char*, int32_t)>("StubSetResult")(EntryPoint, Result);
  }
  void Output(const char* EntryPoint, const AnsiString& Bytes) {
    Stub<void(MORVEL_CDECL*)(const char*, const uint8_t*, int32_t)>("StubSetOutput")(
        EntryPoint, reinterpret_cast<const uint8_t*>(Bytes.data()),
        static_cast<int32_t>(Bytes.size()));
  }
  std::string Log() { return Stub<const char*(MORVEL_CDECL*)()>("StubLog")(); }

  // Runs a handler as a click does; what it raises is what the error box
  // would show.
  void Press(THandler Handler) {
    Raised.clear();
    try {
      (Page->*Handler)(nullptr);
    } catch (const Exception& E) {
      Raised = E.Message();
    }
  }
  // What the user was told last: the exception, else the last question.
  AnsiString Said() const {
    if (!Raised.empty()) return Raised;
    return Script.Asked.empty() ? AnsiString() : Script.Asked.back().Text;
  }
  std::vector<TPromptKind> Kinds() const {
    std::vector<TPromptKind> Result;
    for (const TPrompt& P : Script.Asked) Result.push_back(P.Kind);
    return Result;
  }
  // Answers for: the file, the certificate on the token, the PIN.
  void ScriptFileCertificatePin(const AnsiString& File, int Certificate) {
    Script.Answer(1, File);
    Script.Answer(Certificate);
    Script.Answer(1, kPin);
  }

  TModuleHandle Module = nullptr;
  TScriptedPrompts Script;
  AnsiString Raised;
  AnsiString Folder = BinDir() + "signpage_test\\";
  AnsiString Report = Folder + "report.xml";
  TForm Host{nullptr};
  TStatusBar* StatusBar = new TStatusBar(&Host);
  TOpenDialog* OpenDialogFile = new TOpenDialog(&Host);
  TOpenDialog* OpenDialog = new TOpenDialog(&Host);
  TEdit* edtCertFileName = new TEdit(&Host);
  TSignPage* Page = new TSignPage(&Host, StatusBar, OpenDialogFile, OpenDialog, edtCertFileName);
};

TEST_F(SignPageTest, SigningForThePortalPostsTheZippedSignatureAndWritesTheAnswer) {
  const AnsiString Answer("\x30\x82\0\x10 encrypted \xFF", 16);
  AnsiString StatusDuringPost;
  TCursor CursorDuringPost = crDefault;
  TLoopbackServer Server([&](const TRecordedRequest&) {
    // The page waits for the answer meanwhile.
    StatusDuringPost = StatusBar->SimpleText();
    CursorDuringPost = Screen->Cursor();
    return TReply{{HttpAnswer("200 OK", Base64Lines(Answer))}};
  });
  Page->CryptoServer = "http://127.0.0.1:" + IntToStr(Server.Port());
  PutCertificate(Fixture("entrepreneur.cer"));
  PutCertificate(Fixture("legal.cer"));
  ScriptFileCertificatePin(Report, 2);

  Press(&TSignPage::btnSignAndCryptClick);

  ASSERT_EQ(Raised, "");
  ASSERT_THAT(Kinds(), ElementsAre(TPromptKind::OpenFile, TPromptKind::MakeChoice,
                                   TPromptKind::InputQuery, TPromptKind::MessageBox));
  const TPrompt& Choice = Script.Asked[1];
  EXPECT_EQ(Choice.Text, "Укажите сертификат для установки ЭП");
  EXPECT_THAT(Choice.Options, ElementsAre(kEntrepreneurLine, kLegalLine));
  const TPrompt& Pin = Script.Asked[2];
  EXPECT_EQ(Pin.Caption, "Укажите пин-код");
  EXPECT_EQ(Pin.Text, "Ввод пин-кода");
  EXPECT_EQ(Pin.Value, kPin);
  EXPECT_EQ(Said(), "Установка ЭП и шифрование успешно завершено!\r\nДанные записаны в файл: " +
                        Report + ".sig.zip.enc");

  const auto Requests = Server.Requests();
  ASSERT_EQ(Requests.size(), 1u);
  EXPECT_EQ(Requests[0].RequestLine(), "POST //ZELT/CRYPTFORRAR HTTP/1.1");
  const AnsiString Zip = DecodeBase64(Requests[0].Body);
  EXPECT_EQ(EncodeBase64(Zip), Requests[0].Body) << "one line of Base64";
  const auto Members = Unzip(Zip);
  ASSERT_EQ(Members.size(), 1u);
  EXPECT_EQ(Members[0].Name, "report.xml.sig");
  EXPECT_EQ(Members[0].Data, "SIGNED(" + kReport + ")");

  EXPECT_EQ(ReadFileToString(Report + ".sig.zip.enc"), Answer);
  EXPECT_EQ(Log(),
            "GetTokenCertificates;FreeTokenCertificates(2);GetSignEx(40715382,cert2,0);"
            "FreeBuffMemory;");
  EXPECT_EQ(StatusDuringPost, "Подождите, идет сеанс с крипто-сервером ...");
  EXPECT_EQ(CursorDuringPost, crHourGlass);
  EXPECT_EQ(StatusBar->SimpleText(), "");
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(SignPageTest, AnAnswerThatIsNotA200WithBase64IsAnErrorAndWritesNothing) {
  struct {
    std::string Answer;
    const char* Status;
  } Cases[] = {
      {HttpAnswer("500 Internal Server Error", "<html>down</html>"),
       "HTTP/1.1 500 Internal Server Error"},
      {HttpAnswer("200 OK", "<html><body>Сервис недоступен</body></html>"), "HTTP/1.1 200 OK"},
      {HttpAnswer("200 OK", ""), "HTTP/1.1 200 OK"},
      {HttpAnswer("200 OK", "QUJD="), "HTTP/1.1 200 OK"},
      {HttpAnswer("200 OK", "QU=DRA=="), "HTTP/1.1 200 OK"},
      {"HTTP/1.1 204 No Content\r\n\r\n", "HTTP/1.1 204 No Content"},
      {HttpAnswer("202 Accepted", "QUJD"), "HTTP/1.1 202 Accepted"},
      {HttpAnswer("302 Found", "QUJD"), "HTTP/1.1 302 Found"},
  };
  PutCertificate(Fixture("legal.cer"));
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Status);
    TLoopbackServer Server(C.Answer);
    Page->CryptoServer = "127.0.0.1:" + IntToStr(Server.Port());
    Script.Asked.clear();
    ScriptFileCertificatePin(Report, 1);
    Press(&TSignPage::btnSignAndCryptClick);
    EXPECT_EQ(Raised, AnsiString("Неверный ответ крипто-сервера: ") + C.Status);
    EXPECT_EQ(Server.Requests().size(), 1u);
    EXPECT_FALSE(FileExists(Report + ".sig.zip.enc"));
    EXPECT_EQ(Script.Asked.size(), 3u) << "no success";
    EXPECT_EQ(StatusBar->SimpleText(), "");
    EXPECT_EQ(Screen->Cursor(), crDefault);
  }
}

TEST_F(SignPageTest, AServerThatCannotBeReachedIsAnErrorAndWritesNothing) {
  PutCertificate(Fixture("legal.cer"));
  Page->CryptoServer = "127.0.0.1:" + IntToStr(TLoopbackServer::ClosedPort());
  ScriptFileCertificatePin(Report, 1);
  Press(&TSignPage::btnSignAndCryptClick);
  EXPECT_THAT(Raised, HasSubstr("127.0.0.1"));
  EXPECT_FALSE(FileExists(Report + ".sig.zip.enc"));
  EXPECT_EQ(Script.Asked.size(), 3u);
}

class SignPageProxyTest : public SignPageTest {
 protected:
  // A proxy that wants user "user", password "pass" before the crypto server.
  TLoopbackServer Proxy{[](const TRecordedRequest& R) {
    if (R.Header("Proxy-Authorization") == "Basic dXNlcjpwYXNz")
      return TReply{{HttpAnswer("200 OK", "QUJD")}};
    return TReply{
        {"HTTP/1.1 407 Proxy Authentication Required\r\n"
         "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n"}};
  }};
  void SetUp() override {
    SignPageTest::SetUp();
    Page->CryptoServer = "http://crypto.test:8080";
    Page->ProxyServer = "127.0.0.1:" + IntToStr(Proxy.Port());
    PutCertificate(Fixture("legal.cer"));
    ScriptFileCertificatePin(Report, 1);
  }
};

TEST_F(SignPageProxyTest, TheProxyLoginIsAskedAndTheRequestRetried) {
  Script.Answers.push_back({1, "user", {"pass"}, 1});
  Press(&TSignPage::btnSignAndCryptClick);
  ASSERT_EQ(Raised, "");
  ASSERT_EQ(Script.Asked.size(), 5u);
  const TPrompt& Login = Script.Asked[3];
  EXPECT_EQ(Login.Kind, TPromptKind::Login);
  EXPECT_EQ(Login.Caption, "Вход в сеть Internet");
  EXPECT_EQ(Login.Value, "");
  const auto Requests = Proxy.Requests();
  ASSERT_EQ(Requests.size(), 2u);
  EXPECT_EQ(Requests[1].RequestLine(), "POST http://crypto.test:8080//ZELT/CRYPTFORRAR HTTP/1.1");
  EXPECT_EQ(ReadFileToString(Report + ".sig.zip.enc"), "ABC");
}

TEST_F(SignPageProxyTest, ACancelledLoginIsAnErrorAndWritesNothing) {
  Script.Answer(0);
  Press(&TSignPage::btnSignAndCryptClick);
  EXPECT_EQ(Raised, "Неверный ответ крипто-сервера: HTTP/1.1 407 Proxy Authentication Required");
  EXPECT_EQ(Proxy.Requests().size(), 1u);
  EXPECT_FALSE(FileExists(Report + ".sig.zip.enc"));
}

TEST_F(SignPageTest, SigningAFileWritesAnAttachedOrADetachedSignature) {
  struct {
    int Answer;
    AnsiString Signature;
    const char* Call;
  } Cases[] = {
      {mrYes, "SIGNED(" + kReport + ")", "GetSignEx(40715382,cert1,0);"},
      {mrNo, "DETACHED(" + IntToStr(kReport.size()) + ")", "GetSignEx(40715382,cert1,1);"},
  };
  PutCertificate(Fixture("legal.cer"));
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Call);
    DeleteFile(Report + ".p7s");
    Script.Asked.clear();
    Script.Answer(1, Report);
    Script.Answer(C.Answer);
    Script.Answer(1);
    Script.Answer(1, kPin);
    Press(&TSignPage::btnSignFileClick);
    ASSERT_EQ(Raised, "");
    const TPrompt& Question = Script.Asked.at(1);
    EXPECT_EQ(Question.Caption, "Выберите,pls");
    EXPECT_EQ(Question.Text, "Установить присоединенную или отсоединенную ЭП ?");
    EXPECT_EQ(Question.Flags, mtConfirmation);
    EXPECT_THAT(Question.Options, ElementsAre("Присоединенную", "Отсоединенную", "Отмена"));
    EXPECT_THAT(Log(), HasSubstr(C.Call));
    EXPECT_EQ(ReadFileToString(Report + ".p7s"), C.Signature);
    EXPECT_EQ(Said(), "ЭП успешно установлена и записана в файл: " + Report + ".p7s");
  }
}

TEST_F(SignPageTest, SigningEndsWithNothingDoneWhereverTheUserCancels) {
  PutCertificate(Fixture("legal.cer"));
  struct {
    const char* Where;
    std::vector<TPromptAnswer> Answers;
  } Cases[] = {
      {"file", {{0, ""}}},
      {"kind", {{1, Report}, {mrCancel, ""}}},
      {"certificate", {{1, Report}, {mrYes, ""}, {0, ""}}},
      {"PIN", {{1, Report}, {mrYes, ""}, {1, ""}, {0, ""}}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Where);
    Script.Asked.clear();
    Script.Answers.assign(C.Answers.begin(), C.Answers.end());
    Press(&TSignPage::btnSignFileClick);
    EXPECT_EQ(Script.Asked.size(), C.Answers.size()) << "nothing asked after the cancel";
    EXPECT_THAT(Log(), Not(HasSubstr("GetSignEx")));
    EXPECT_FALSE(FileExists(Report + ".p7s"));
  }
}

// Sees each question before the scripted answer is taken.
class TStateAtQuestion : public IPrompts {
 public:
  explicit TStateAtQuestion(std::function<void(const TPrompt&)> See)
      : FSee(std::move(See)), FScript(SetPrompts(this)) {}
  ~TStateAtQuestion() override { SetPrompts(FScript); }
  TPromptAnswer Ask(const TPrompt& Prompt, const std::function<TPromptAnswer()>& Show) override {
    FSee(Prompt);
    return FScript->Ask(Prompt, Show);
  }

 private:
  std::function<void(const TPrompt&)> FSee;
  IPrompts* FScript;
};

TEST_F(SignPageTest, TheCertificateIsChosenAfterTheTokenWorkHasEnded) {
  PutCertificate(Fixture("legal.cer"));
  AnsiString StatusAtChoice = "not asked";
  TCursor CursorAtChoice = crHourGlass;
  TStateAtQuestion State([&](const TPrompt& Prompt) {
    if (Prompt.Kind != TPromptKind::MakeChoice) return;
    StatusAtChoice = StatusBar->SimpleText();
    CursorAtChoice = Screen->Cursor();
  });
  Script.Answer(1, Report);
  Script.Answer(mrYes);
  Script.Answer(0);  // the choice cancelled
  Press(&TSignPage::btnSignFileClick);
  EXPECT_EQ(StatusAtChoice, "");
  EXPECT_EQ(CursorAtChoice, crDefault);
}

TEST_F(SignPageTest, WithoutCertificatesOnTheTokenNothingIsSigned) {
  for (THandler Handler : {&TSignPage::btnSignFileClick, &TSignPage::btnSignAndCryptClick}) {
    Script.Asked.clear();
    Script.Answer(1, Report);
    Script.Answer(mrYes);  // the kind, where it is asked
    Press(Handler);
    EXPECT_EQ(Said(), "Установленных сертификатов не обнаружено !");
    EXPECT_NE(Kinds().back(), TPromptKind::MakeChoice);
  }
  EXPECT_THAT(Log(), Not(HasSubstr("GetSignEx")));
}

TEST_F(SignPageTest, ATokenRefusingToSignShowsWhy) {
  PutCertificate(Fixture("legal.cer"));
  struct {
    int32_t Result;
    const char* Message;
  } Cases[] = {
      {-20, "Указанный сертификат не установлен на saltra!"},
      {-6, "Ошибка подключения к токену"},
  };
  TLoopbackServer Server(HttpAnswer("200 OK", "QUJD"));
  Page->CryptoServer = "127.0.0.1:" + IntToStr(Server.Port());
  for (const auto& C : Cases) {
    Fail("GetSignEx", C.Result);
    Script.Answer(1, Report);
    Script.Answer(mrYes);
    Script.Answer(1);
    Script.Answer(1, kPin);
    Press(&TSignPage::btnSignFileClick);
    EXPECT_EQ(Raised, C.Message);
    ScriptFileCertificatePin(Report, 1);
    Press(&TSignPage::btnSignAndCryptClick);
    EXPECT_EQ(Raised, C.Message);
  }
  EXPECT_THAT(Log(), Not(HasSubstr("FreeBuffMemory")));
  EXPECT_TRUE(Server.Requests().empty());
  EXPECT_FALSE(FileExists(Report + ".p7s"));
  EXPECT_FALSE(FileExists(Report + ".sig.zip.enc"));
}

class SignPageFilesTest : public SignPageTest {
 protected:
  void SetUp() override {
    SignPageTest::SetUp();
    WriteFile(Signer, "SIGNER");
    WriteFile(Recipient, "RECIPIENT");
  }
  AnsiString Signer = Folder + "signer.cer";
  AnsiString Recipient = Folder + "recipient.cer";
};

TEST_F(SignPageFilesTest, EncryptingAndDecryptingGiveTheFileBack) {
  Script.Answer(1, Report);
  Script.Answer(1, Recipient);
  Script.Answer(1, kPin);
  Press(&TSignPage::btnCryptFileClick);
  EXPECT_EQ(Said(), "Файл успешно зашифрован и сохранен в файл: " + Report + ".p7e");
  EXPECT_EQ(ReadFileToString(Report + ".p7e"), "ENC(" + kReport + ")");

  Script.Answer(1, Report + ".p7e");
  Script.Answer(1, Recipient);
  Script.Answer(1, kPin);
  Press(&TSignPage::btnDecryptClick);
  EXPECT_EQ(Said(), "Файл успешно расшифрован и сохранен в файл: " + Report + ".p7e.orj");
  EXPECT_EQ(ReadFileToString(Report + ".p7e.orj"), kReport);
  EXPECT_EQ(Log(),
            "InitSession(40715382);EncryptMem(RECIPIENT);FreeBuffMemory;FreeSession(5);"
            "InitSession(40715382);DecryptMem(RECIPIENT);FreeBuffMemory;FreeSession(5);");
  EXPECT_EQ(GetLoadedModule(MorvelLibraryName()), Module) << "only the sessions' loads undone";
}

TEST_F(SignPageFilesTest, SignAndEncryptEncryptsTheSignature) {
  Script.Answer(1, Report);
  Script.Answer(1, Signer);
  Script.Answer(1, Recipient);
  Script.Answer(1, kPin);
  Press(&TSignPage::btnSignAndCrypt2Click);
  EXPECT_EQ(Said(), "Файл успешно зашифрован и сохранен в файл: " + Report + ".p7e");
  EXPECT_EQ(ReadFileToString(Report + ".p7e"), "ENC(SIGNED(" + kReport + "))");
  EXPECT_EQ(Log(),
            "InitSession(40715382);SignMem(SIGNER,0);FreeBuffMemory;EncryptMem(RECIPIENT);"
            "FreeBuffMemory;FreeSession(5);");
  EXPECT_EQ(StatusBar->SimpleText(), "");
}

// Each failure shows its own message once, writes nothing and closes the
// session; a failed signature is never encrypted in its place.
TEST_F(SignPageFilesTest, SessionOperationsShowTheirFailures) {
  struct {
    const char* Name;
    THandler Handler;
    std::vector<AnsiString> Files;
    AnsiString Pin;
    const char* Failing;
    const char* Message;
    const char* Output;
  } Cases[] = {
      {"encrypt, wrong PIN",
       &TSignPage::btnCryptFileClick,
       {Report, Recipient},
       "1111",
       "",
       "Ошибка шифрования!",
       ".p7e"},
      {"encrypt, refused",
       &TSignPage::btnCryptFileClick,
       {Report, Recipient},
       kPin,
       "EncryptMem",
       "Ошибка шифрования!",
       ".p7e"},
      {"decrypt, not encrypted",
       &TSignPage::btnDecryptClick,
       {Report, Recipient},
       kPin,
       "",
       "Ошибка расшифрования!",
       ".orj"},
      {"sign and encrypt, signing refused",
       &TSignPage::btnSignAndCrypt2Click,
       {Report, Signer, Recipient},
       kPin,
       "SignMem",
       "Ошибка ЭП!",
       ".p7e"},
      {"sign and encrypt, wrong PIN",
       &TSignPage::btnSignAndCrypt2Click,
       {Report, Signer, Recipient},
       "1111",
       "",
       "Ошибка ЭП!",
       ".p7e"},
      {"sign and encrypt, encryption refused",
       &TSignPage::btnSignAndCrypt2Click,
       {Report, Signer, Recipient},
       kPin,
       "EncryptMem",
       "Ошибка шифрования!",
       ".p7e"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Stub<void (*)()>("StubReset")();
    if (*C.Failing) Fail(C.Failing, -6);
    Script.Asked.clear();
    for (const AnsiString& File : C.Files) Script.Answer(1, File);
    Script.Answer(1, C.Pin);
    Press(C.Handler);
    ASSERT_EQ(Script.Asked.size(), C.Files.size() + 2);
    const TPrompt& Box = Script.Asked.back();
    EXPECT_EQ(Box.Kind, TPromptKind::MessageDialog);
    EXPECT_EQ(Box.Text, C.Message);
    EXPECT_EQ(Box.Caption, "Ошибка");
    EXPECT_EQ(Box.Flags, mtError);
    EXPECT_THAT(Box.Options, ElementsAre("Закрыть"));
    EXPECT_FALSE(FileExists(Report + C.Output));
    EXPECT_THAT(Log(), HasSubstr("InitSession(" + C.Pin + ");"));
    if (C.Failing == std::string("SignMem")) {
      EXPECT_THAT(Log(), Not(HasSubstr("EncryptMem")));
    }
    if (C.Pin == kPin) {
      EXPECT_THAT(Log(), EndsWith(";FreeSession(5);"));
    }
    EXPECT_EQ(StatusBar->SimpleText(), "");
  }
}

TEST_F(SignPageFilesTest, VerifyingSaysOkOrFail) {
  const AnsiString Signed = Folder + "signed.p7s", Detached = Folder + "report.xml.sig";
  WriteFile(Signed, "SIGNED(" + kReport + ")");
  WriteFile(Detached, "DETACHED(" + IntToStr(kReport.size()) + ")");
  struct {
    THandler Handler;
    std::vector<AnsiString> Files;
    const char* Shown;
  } Cases[] = {
      {&TSignPage::btnCheckSignClick, {Signed}, "Ok"},
      {&TSignPage::btnCheckSignClick, {Report}, "Fail"},
      {&TSignPage::btnCheckDetachedSignClick, {Report, Detached}, "Ok"},
      {&TSignPage::btnCheckDetachedSignClick, {Signed, Detached}, "Fail"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Files.back());
    Script.Asked.clear();
    for (const AnsiString& File : C.Files) Script.Answer(1, File);
    Script.Answer(1, kPin);
    Press(C.Handler);
    EXPECT_EQ(Script.Asked.back().Kind, TPromptKind::MessageBox);
    EXPECT_EQ(Said(), C.Shown);
  }
}

TEST_F(SignPageTest, OverwritingAResultIsAskedFirst) {
  Script.Answer(1, Report);
  Script.Answer(1, Report);  // any file as the certificate
  Script.Answer(1, kPin);
  WriteFile(Report + ".p7e", "old");
  Script.Answer(IDNO);
  Press(&TSignPage::btnCryptFileClick);
  EXPECT_EQ(Said(), "Файл с именем " + Report + ".p7e уже существует.\r\nПерезаписать?");
  EXPECT_EQ(ReadFileToString(Report + ".p7e"), "old");

  Script.Answer(1, Report);
  Script.Answer(1, Report);
  Script.Answer(1, kPin);
  Script.Answer(IDYES);
  Press(&TSignPage::btnCryptFileClick);
  EXPECT_EQ(Said(), "Файл успешно зашифрован и сохранен в файл: " + Report + ".p7e");
  EXPECT_EQ(ReadFileToString(Report + ".p7e"), "ENC(" + kReport + ")");
}

// Byte keys: the case of letters counts.
AnsiString OtherCase(AnsiString Key) {
  for (char& C : Key) {
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 32);
    else if (C >= 'A' && C <= 'Z')
      C = static_cast<char>(C + 32);
  }
  return Key;
}

TEST_F(SignPageTest, FindsTheCertificateOfAKeyOnTheTokenInAFolder) {
  const AnsiString Certs = Folder + "certs";
  std::filesystem::create_directories(Certs.c_str());
  WriteFile(Certs + "\\entrepreneur.cer", Fixture("entrepreneur.cer"));
  WriteFile(Certs + "\\legal.cer", Fixture("legal.cer"));
  WriteFile(Certs + "\\notes.cer", "not a certificate");
  WriteFile(Certs + "\\legal.pem", Fixture("legal.pem"));
  const AnsiString LegalKey = PublicKeyOf(Fixture("legal.cer"));
  ASSERT_EQ(LegalKey.size(), 64u);
  ASSERT_NE(OtherCase(LegalKey), LegalKey);

  struct {
    const char* Name;
    std::vector<AnsiString> Keys;
    AnsiString Found;
  } Cases[] = {
      {"second key matches", {AnsiString(64, 'A'), LegalKey}, Certs + "\\legal.cer"},
      {"no key matches", {AnsiString(64, 'A'), OtherCase(LegalKey)}, ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Stub<void (*)()>("StubReset")();
    for (const AnsiString& Key : C.Keys) PutPublicKey(Key);
    edtCertFileName->SetText("");
    Script.Asked.clear();
    Script.Answer(1, Certs);
    Press(&TSignPage::btnFindInDirClick);
    ASSERT_EQ(Script.Asked.size(), 2u);
    EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::SelectFolder);
    EXPECT_EQ(Script.Asked[0].Caption, "Укажите каталог с выпущенными сертификатами");
    EXPECT_EQ(edtCertFileName->Text(), C.Found);
    EXPECT_EQ(
        Said(),
        C.Found.empty()
            ? "К сожалению, в каталоге " + Certs +
                  "\r\nне найдено сертификатов,соответствующий открытому ключу на saltra"
            : "Найден сертификат, соответствующий открытому ключу на saltra в файле: " + C.Found);
  }

  Stub<void (*)()>("StubReset")();
  Script.Asked.clear();
  Press(&TSignPage::btnFindInDirClick);
  EXPECT_THAT(Kinds(), ElementsAre(TPromptKind::MessageBox)) << "no folder asked without keys";
  EXPECT_EQ(Said(), "На устройстве не найдены открытые ключи - поиск невозможен !");
}

TEST_F(SignPageTest, ListsTheCertificatesOfEitherPartOfTheToken) {
  PutCertificate(Fixture("legal.cer"));
  PutCertificate(Fixture("entrepreneur.cer"));
  for (int Part : {mrYes, mrNo}) {
    Script.Asked.clear();
    Script.Answer(Part);
    Press(&TSignPage::btnGetCertInfoClick);
    ASSERT_EQ(Script.Asked.size(), 2u);
    EXPECT_EQ(Script.Asked[0].Caption, "Укажите, пожалуйста");
    EXPECT_THAT(Script.Asked[0].Options, ElementsAre("ГОСТ", "PKI", "Отмена"));
    const TPrompt& List = Script.Asked[1];
    EXPECT_EQ(List.Caption, "Информация об установленных сертификатах:");
    EXPECT_EQ(List.Flags, mtInformation);
    EXPECT_THAT(List.Options, ElementsAre("Ok"));
    EXPECT_EQ(List.Text, "1. " + kLegalLine + "\r\n2. " + kEntrepreneurLine);
  }
  EXPECT_EQ(Log(),
            "GetTokenCertificates;FreeTokenCertificates(2);"
            "GetTokenCertificatesPKI;FreeTokenCertificates(2);");

  Stub<void (*)()>("StubReset")();
  Script.Answer(mrCancel);
  Press(&TSignPage::btnGetCertInfoClick);
  EXPECT_EQ(Log(), "") << "cancel asks the token nothing";
  Script.Answer(mrYes);
  Press(&TSignPage::btnGetCertInfoClick);
  EXPECT_EQ(Said(), "Установленных сертификатов не обнаружено !");
}

TEST_F(SignPageTest, TestSignatureWithACertificateFromAFileOrTheToken) {
  const AnsiString Legal = Folder + "legal.cer";
  WriteFile(Legal, Fixture("legal.cer"));
  const AnsiString Passed =
      "Проверка работоспособности сертификата завершена - тестовая ЭП успешно установлена!";
  const AnsiString Refused =
      "Ошибка установки тестовой ЭП!\r\nРаботать с выбранным сертификатом невозможно, т.к. он не "
      "соответствует ключам, имеющимся на Saltra";
  struct {
    const char* Name;
    AnsiString Field;
    std::vector<TPromptAnswer> Answers;
    int Default;
    const char* Call;
  } Cases[] = {
      {"the field's file",
       Legal,
       {{mrYes, ""}, {1, kPin}},
       mrYes,
       "GetSign(40715382,cert2,TestData);"},
      {"a file asked for",
       "",
       {{mrYes, ""}, {1, Legal}, {1, kPin}},
       mrNo,
       "GetSign(40715382,cert2,TestData);"},
      {"a missing file asked for",
       Folder + "gone.cer",
       {{mrYes, ""}, {1, Legal}, {1, kPin}},
       mrYes,
       "GetSign(40715382,cert2,TestData);"},
      {"from the token",
       "",
       {{mrNo, ""}, {1, ""}, {1, kPin}},
       mrNo,
       "GetSign(40715382,cert1,TestData);"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Stub<void (*)()>("StubReset")();
    PutCertificate(Fixture("entrepreneur.cer"));
    PutCertificate(Fixture("legal.cer"));
    edtCertFileName->SetText(C.Field);
    Script.Asked.clear();
    Script.Answers.assign(C.Answers.begin(), C.Answers.end());
    Press(&TSignPage::btnTestSignClick);
    const TPrompt& Question = Script.Asked.at(0);
    EXPECT_EQ(Question.Caption, "Подтверждение");
    EXPECT_TRUE(Question.Text.starts_with(
        "Данная функция позволяет протестировать указанный сертификат\r\nна соответствие "
        "закрытому ключу, сгенерированному на Tokvel ЭЦП 2.0."));
    EXPECT_TRUE(Question.Text.ends_with("Желаете провести проверку сертификата?"));
    EXPECT_EQ(Question.Default, C.Default);
    EXPECT_THAT(Log(), HasSubstr(C.Call));
    EXPECT_EQ(Said(), Passed);
  }

  // A signature no longer than the certificate holds no certificate.
  Output("GetSign", "short");
  edtCertFileName->SetText(Legal);
  Script.Answer(mrYes);
  Script.Answer(1, kPin);
  Press(&TSignPage::btnTestSignClick);
  EXPECT_EQ(Said(), Refused);
  EXPECT_EQ(Script.Asked.back().Kind, TPromptKind::MessageDialog);

  // A certificate that is not on the token.
  Stub<void (*)()>("StubReset")();
  Script.Answer(mrYes);
  Script.Answer(1, kPin);
  Press(&TSignPage::btnTestSignClick);
  EXPECT_EQ(Said(), "Указанный сертификат не установлен на saltra!");
}

}  // namespace
