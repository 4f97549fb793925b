// The binding against a stand-in Morvel (MorvelStub.cpp) that lies beside
// this test and logs the calls it gets.
#include "app/uMorvelBinding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "rtl/OsShim.h"
#include "rtl/SysUtils.h"

namespace {

using TStubReset = void(MORVEL_CDECL*)(int32_t);
using TStubLog = const char*(MORVEL_CDECL*)();

bool MorvelLoaded() { return GetLoadedModule(MorvelLibraryName()) != nullptr; }

// The message of the Exception `call` raises; "" when it raises none.
AnsiString Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

TDnArray Subject() {
  TDnArray dn{};
  dn[0] = "CN";
  dn[1] = "x";
  dn[2] = "C";
  dn[3] = "RU";
  return dn;
}

// The stub stays loaded for the test, as after the program's start-up probe.
class MorvelBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Module = LoadModule(MorvelLibraryName());
    ASSERT_NE(Module, nullptr) << LastOSErrorText();
    Reset = reinterpret_cast<TStubReset>(FindExport(Module, "StubReset"));
    Log = reinterpret_cast<TStubLog>(FindExport(Module, "StubLog"));
    ASSERT_TRUE(Reset && Log);
    Reset(1);
  }
  void TearDown() override {
    if (Module) FreeModule(Module);
  }

  TModuleHandle Module = nullptr;
  TStubReset Reset = nullptr;
  TStubLog Log = nullptr;
};

TEST(MorvelBindingText, EveryResultCodeHasItsMessage) {
  const char* const slots = "Ошибка получения список слотов с поключенными токенами";
  const char* const mismatch =
      "Работать с выбранным сертификатом невозможно, т.к. он не соответствует ключам, имеющимся "
      "на Saltra";
  struct {
    int32_t Code;
    const char* Text;
  } cases[] = {
      {-1, "Ошибка инициализации библиотеки saltra"},
      {-2, slots},
      {-3, slots},
      {-4, "Ошибка получения слота с доступным токеном"},
      {-5, "Ошибка открытия сессии"},
      {-6, "Ошибка подключения к токену"},
      {-7, "Ошибка генерации ключевой пары"},
      {-8, "Ошибка генерации запроса на сертификат"},
      {-9, "Ошибка с кодом -9"},
      {-10, "Ошибка записи сертификата пользователя на токен"},
      {-20, mismatch},
      {-30, mismatch},
      {0, "Ошибка с кодом 0"},
      {-11, "Ошибка с кодом -11"},
      {2, "Ошибка с кодом 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(TokenErrorText(c.Code), c.Text) << c.Code;
}

TEST_F(MorvelBindingTest, MissingEntryPointIsNamedInTheException) {
  AnsiString out;
  TStringList list;
  struct {
    const char* Name;
    std::function<void()> Call;
  } cases[] = {
      {"GenCertRequestsEKU",
       [&] { TokenGenCertRequestsEKU("1", "2", "3", "", Subject(), 4, out); }},
      {"GetTokenPublicKeys", [&] { TokenGetPublicKeys(&list); }},
      {"GetTokenCertificates", [&] { TokenGetCertificates(&list, true); }},
      {"GetTokenCertificatesPKI", [&] { TokenGetCertificates(&list, false); }},
      {"GetSignEx", [&] { TokenGetSignEx("1", "data", "cert", true, out); }},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Raised(c.Call), AnsiString("Не найдена точка входа: ") + c.Name);
  EXPECT_STREQ(Log(), "");
}

TEST_F(MorvelBindingTest, RequestIsCopiedAndItsBufferReleasedOnce) {
  AnsiString request = "old";
  TokenGenCertRequests("40715382", "007707083893", "007707083893", Subject(), 4, request);
  EXPECT_EQ(request, AnsiString("REQ\0UEST", 8));
  EXPECT_STREQ(Log(),
               "GenCertRequests(40715382,007707083893,007707083893,CN/x/C/RU/4);"
               "FreeBuffMemory(returned);");
}

TEST_F(MorvelBindingTest, FailingRequestRaisesTheCodesMessageAndReleasesNothing) {
  for (int32_t code : {-1, -2, -4, -6, -8, -9, -20, 0, 2}) {
    Reset(code);
    AnsiString request = "old";
    EXPECT_EQ(Raised([&] { TokenGenCertRequests("1", "2", "3", Subject(), 4, request); }),
              TokenErrorText(code));
    EXPECT_EQ(request, "old");
    EXPECT_THAT(Log(), ::testing::Not(::testing::HasSubstr("FreeBuffMemory")));
  }
}

TEST_F(MorvelBindingTest, InstallationPassesItsArgumentsInOrder) {
  TokenInstallCertificate("40715382", "label", "id", AnsiString("C\0ERT", 5));
  EXPECT_STREQ(Log(), "InstallCertificate(40715382,label,id,C<0>ERT);");
  Reset(-10);
  EXPECT_EQ(Raised([] { TokenInstallCertificate("1", "2", "3", "cert"); }),
            "Ошибка записи сертификата пользователя на токен");
}

TEST_F(MorvelBindingTest, SignatureCallsTellAMissingCertificateApart) {
  AnsiString signature;
  EXPECT_TRUE(TokenGetSign("40715382", "TestData", "cert", signature));
  EXPECT_EQ(signature, "SIGNATURE");
  EXPECT_STREQ(Log(), "GetSign(40715382,cert,TestData);FreeBuffMemory(returned);");

  Reset(-20);
  EXPECT_EQ(Raised([&] { TokenGetSign("1", "data", "cert", signature); }),
            "Указанный сертификат не установлен на saltra!");
  Reset(-6);
  EXPECT_EQ(Raised([&] { TokenGetSign("1", "data", "cert", signature); }),
            "Ошибка подключения к токену");
  EXPECT_THAT(Log(), ::testing::Not(::testing::HasSubstr("FreeBuffMemory")));
}

TEST(MorvelBindingModule, PerCallRoutineUnloadsOnlyTheLibraryItLoaded) {
  ASSERT_FALSE(MorvelLoaded());
  AnsiString request;
  TokenGenCertRequests("1", "2", "3", Subject(), 4, request);
  EXPECT_EQ(request, AnsiString("REQ\0UEST", 8));
  EXPECT_FALSE(MorvelLoaded());
  EXPECT_NE(Raised([&] { TokenGenCertRequestsEKU("1", "2", "3", "", Subject(), 4, request); }), "");
  EXPECT_FALSE(MorvelLoaded());

  // Loaded by someone else: left loaded, with no reference of the binding's
  // own left behind.
  TModuleHandle own = LoadModule(MorvelLibraryName());
  ASSERT_NE(own, nullptr);
  TokenGenCertRequests("1", "2", "3", Subject(), 4, request);
  EXPECT_NE(Raised([&] { TokenGenCertRequestsEKU("1", "2", "3", "", Subject(), 4, request); }), "");
  EXPECT_TRUE(MorvelLoaded());
  FreeModule(own);
  EXPECT_FALSE(MorvelLoaded());
}

TEST(MorvelBindingModule, SessionRoutinesUseOneLoadedLibraryAndSession) {
  AnsiString out = "old";
  EXPECT_FALSE(TokenEncryptMem("data", "cert", out));  // no session yet
  EXPECT_FALSE(MorvelLoaded());

  TokenInitSession("40715382");
  ASSERT_TRUE(MorvelLoaded());
  auto log =
      reinterpret_cast<TStubLog>(FindExport(GetLoadedModule(MorvelLibraryName()), "StubLog"));
  EXPECT_TRUE(TokenEncryptMem("data", "cert", out));
  EXPECT_EQ(out, "ENCRYPTED");
  EXPECT_FALSE(TokenDecryptMem("data", "cert", out));  // not exported
  EXPECT_FALSE(TokenVerifySign("signed"));
  EXPECT_STREQ(log(), "InitSession(40715382);EncryptMem(7,cert,data);FreeBuffMemory(returned);");

  TokenFreeSession();
  EXPECT_FALSE(MorvelLoaded());
  EXPECT_FALSE(TokenEncryptMem("data", "cert", out));
}

TEST(MorvelBindingModule, LoadingTwiceNeedsOneUnload) {
  LoadTokenLibrary();
  LoadTokenLibrary();
  UnloadTokenLibrary();
  EXPECT_FALSE(MorvelLoaded());
}

}  // namespace
