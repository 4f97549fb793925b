// Morvel against the token emulator: result codes, the calls it makes on the
// module (from the emulator's journal) and what it leaves on the token.
#include "tokenlib/Morvel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "TokenEmuFixture.h"

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const char kPin[] = "40715382";
const char kId[] = "007707083893";
const char* const kDn[] = {"CN", "Romashka", "C", "RU", "1.2.643.3.131.1.1", "007707083893"};
const int32_t kDnCount = 6;

const char kDefaultEku[] =
    "1.3.6.1.5.5.7.3.4,1.3.6.1.5.5.7.3.2,1.2.643.2.2.34.6,1.2.643.5.1.28.2,"
    "1.2.643.5.1.28.3,1.2.643.5.1.28.4,1.2.643.3.6.0.15,1.2.643.3.6.78.4.5";

std::string Ok(const std::string& name) { return name + " -> CKR_OK"; }
std::string Fails(const std::string& name, const std::string& rv) { return name + " -> " + rv; }

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::vector<std::string> kOpenRequest = {
    Ok("C_GetFunctionList"), Ok("C_EX_GetFunctionListExtended"), Ok("C_Initialize")};
const std::vector<std::string> kOpenInstall = {Ok("C_GetFunctionList"), Ok("C_Initialize")};
const std::vector<std::string> kSlots = {Ok("C_GetSlotList"), Ok("C_GetSlotList")};
const std::vector<std::string> kMechanisms = {Ok("C_GetMechanismList"), Ok("C_GetMechanismList")};
const std::vector<std::string> kLogin = {Ok("C_OpenSession"), Ok("C_Login")};
const std::vector<std::string> kLogoutClose = {Ok("C_Logout"), Ok("C_CloseSession")};
const std::vector<std::string> kFinalize = {Ok("C_Finalize")};

struct TResult {
  int32_t Code;
  uint8_t* Request;
  int32_t RequestLen;
};

uint8_t gUntouched;  // what the out-parameters hold before a call

TResult Request(const char* eku = nullptr, const char* pin = kPin) {
  TResult r{0, &gUntouched, -99};
  r.Code = eku ? GenCertRequestsEKU(pin, kId, kId, eku, kDn, kDnCount, &r.Request, &r.RequestLen)
               : GenCertRequests(pin, kId, kId, kDn, kDnCount, &r.Request, &r.RequestLen);
  return r;
}

int32_t Install(const char* reserved = "ignored", const char* pin = kPin) {
  static const uint8_t cert[] = {0x30, 0x03, 0x02, 0x01, 0x07};
  return InstallCertificate(pin, reserved, kId, cert, sizeof(cert));
}

class MorvelTest : public TokenEmuFixture {};

TEST_F(MorvelTest, RequestMakesKeyPairAndRequestThenCleansUpInOrder) {
  TResult r = Request("");
  ASSERT_EQ(r.Code, 1);
  ASSERT_NE(r.Request, nullptr);
  ASSERT_NE(r.Request, &gUntouched);
  ASSERT_GT(r.RequestLen, 0);
  EXPECT_EQ(r.Request[0], 0x30);  // a DER SEQUENCE
  FreeBuffMemory(r.Request);
  FreeBuffMemory(nullptr);  // ignored

  EXPECT_THAT(Calls(), ElementsAreArray(Join({kOpenRequest,
                                              kSlots,
                                              kMechanisms,
                                              kLogin,
                                              {Ok("C_GenerateKeyPair"),
                                               Ok("C_EX_CreateCertRequest"), Ok("C_EX_FreeBuffer")},
                                              kLogoutClose,
                                              kFinalize})));
  EXPECT_THAT(CallLine("C_Finalize"), HasSubstr("outstandingBuffers=0"));
}

TEST_F(MorvelTest, KeyPairTemplatesAndMechanism) {
  TResult r = Request();
  ASSERT_EQ(r.Code, 1);
  FreeBuffMemory(r.Request);
  std::string line = CallLine("C_GenerateKeyPair");
  EXPECT_THAT(line, HasSubstr("0x1200"));
  EXPECT_THAT(line, HasSubstr("[CKA_CLASS=0x2, CKA_LABEL=\"007707083893\", "
                              "CKA_ID=\"007707083893\", CKA_KEY_TYPE=0x30, CKA_TOKEN=1, "
                              "CKA_PRIVATE=0, CKA_GOSTR3410_PARAMS=06072A850302022301, "
                              "CKA_GOSTR3411_PARAMS=06082A85030701010202]"));
  EXPECT_THAT(line, HasSubstr("[CKA_CLASS=0x3, CKA_LABEL=\"007707083893\", "
                              "CKA_ID=\"007707083893\", CKA_KEY_TYPE=0x30, CKA_TOKEN=1, "
                              "CKA_PRIVATE=1, CKA_DERIVE=1, "
                              "CKA_GOSTR3410_PARAMS=06072A850302022301, "
                              "CKA_GOSTR3411_PARAMS=06082A85030701010202]"));
  EXPECT_THAT(CallLine("C_OpenSession"), HasSubstr("flags=0x6"));
}

// The extension list passed to the request creation, as journalled.
std::string Extensions(const std::string& eku) {
  return "[\"keyUsage\", \"digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment\", "
         "\"extendedKeyUsage\", \"" +
         eku + "\", \"2.5.29.32\", \"DER:3014300806062A8503647101300806062A8503647102\"]";
}

TEST_F(MorvelTest, ExtendedKeyUsageIsTheGivenListOrTheDefault) {
  struct {
    const char* Eku;  // null: GenCertRequests
    const char* Expected;
  } cases[] = {
      {nullptr, kDefaultEku},
      {"", kDefaultEku},
      {"1.3.6.1.5.5.7.3.2", "1.3.6.1.5.5.7.3.2"},
      {"1.3.6.1.5.5.7.3.2,1.2.643.3.6.0.12", "1.3.6.1.5.5.7.3.2,1.2.643.3.6.0.12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Eku ? c.Eku : "(GenCertRequests)");
    ClearJournal();
    TResult r = Request(c.Eku);
    ASSERT_EQ(r.Code, 1);
    FreeBuffMemory(r.Request);
    std::string line = CallLine("C_EX_CreateCertRequest");
    EXPECT_THAT(line, HasSubstr(Extensions(c.Expected)));
    EXPECT_THAT(line, HasSubstr("[\"CN\", \"Romashka\", \"C\", \"RU\", \"1.2.643.3.131.1.1\", "
                                "\"007707083893\"]"));
  }
}

TEST_F(MorvelTest, RequestIsReturnedInTheFormTheModuleGives) {
  Configure("output=pem-crlf");
  TResult r = Request();
  ASSERT_EQ(r.Code, 1);
  std::string text(reinterpret_cast<const char*>(r.Request), r.RequestLen);
  FreeBuffMemory(r.Request);
  EXPECT_EQ(text.rfind("-----BEGIN CERTIFICATE REQUEST-----\r\n", 0), 0u);
  EXPECT_THAT(text, HasSubstr("-----END CERTIFICATE REQUEST-----"));
}

struct TFailureCase {
  const char* Settings;
  int32_t Code;
  std::vector<std::string> Calls;
};

void PrintTo(const TFailureCase& c, std::ostream* out) { *out << '"' << c.Settings << '"'; }

class MorvelRequestFailure : public TokenEmuFixture,
                             public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(MorvelRequestFailure, GivesTheStepsCodeAndCleansUpWhatWasReached) {
  Configure(GetParam().Settings);
  TResult r = Request("");
  EXPECT_EQ(r.Code, GetParam().Code);
  EXPECT_EQ(r.Request, &gUntouched);
  EXPECT_EQ(r.RequestLen, -99);
  EXPECT_THAT(Calls(), ElementsAreArray(GetParam().Calls));
}

const std::string kGeneral = "CKR_GENERAL_ERROR";

INSTANTIATE_TEST_SUITE_P(
    Steps, MorvelRequestFailure,
    ::testing::Values(
        TFailureCase{
            "fail=C_GetFunctionList:CKR_GENERAL_ERROR", -1, {Fails("C_GetFunctionList", kGeneral)}},
        TFailureCase{"fail=C_EX_GetFunctionListExtended:CKR_GENERAL_ERROR",
                     -1,
                     {Ok("C_GetFunctionList"), Fails("C_EX_GetFunctionListExtended", kGeneral)}},
        TFailureCase{"fail=C_Initialize:CKR_GENERAL_ERROR",
                     -1,
                     {Ok("C_GetFunctionList"), Ok("C_EX_GetFunctionListExtended"),
                      Fails("C_Initialize", kGeneral)}},
        TFailureCase{"fail=C_GetSlotList#1:CKR_GENERAL_ERROR", -2,
                     Join({kOpenRequest, {Fails("C_GetSlotList", kGeneral)}, kFinalize})},
        TFailureCase{"fail=C_GetSlotList#2:CKR_DEVICE_ERROR", -3,
                     Join({kOpenRequest,
                           {Ok("C_GetSlotList"), Fails("C_GetSlotList", "CKR_DEVICE_ERROR")},
                           kFinalize})},
        TFailureCase{"token=0", -4, Join({kOpenRequest, {Ok("C_GetSlotList")}, kFinalize})},
        TFailureCase{"slots=3;token=0", -4, Join({kOpenRequest, {Ok("C_GetSlotList")}, kFinalize})},
        TFailureCase{"fail=C_GetMechanismList#1:CKR_DEVICE_ERROR", -3,
                     Join({kOpenRequest,
                           kSlots,
                           {Fails("C_GetMechanismList", "CKR_DEVICE_ERROR")},
                           kFinalize})},
        TFailureCase{
            "fail=C_GetMechanismList#2:CKR_DEVICE_ERROR", -4,
            Join({kOpenRequest,
                  kSlots,
                  {Ok("C_GetMechanismList"), Fails("C_GetMechanismList", "CKR_DEVICE_ERROR")},
                  kFinalize})},
        TFailureCase{"mechanisms=", -4,
                     Join({kOpenRequest, kSlots, {Ok("C_GetMechanismList")}, kFinalize})},
        TFailureCase{"mechanisms=0x1201,0x1202,0x1210", -4,
                     Join({kOpenRequest, kSlots, kMechanisms, kFinalize})},
        TFailureCase{"fail=C_OpenSession:CKR_SESSION_COUNT", -5,
                     Join({kOpenRequest,
                           kSlots,
                           kMechanisms,
                           {Fails("C_OpenSession", "CKR_SESSION_COUNT")},
                           kFinalize})},
        TFailureCase{"pin=11111111", -6,
                     Join({kOpenRequest,
                           kSlots,
                           kMechanisms,
                           {Ok("C_OpenSession"), Fails("C_Login", "CKR_PIN_INCORRECT"),
                            Ok("C_CloseSession")},
                           kFinalize})},
        TFailureCase{"fail=C_GenerateKeyPair:CKR_DEVICE_MEMORY", -7,
                     Join({kOpenRequest,
                           kSlots,
                           kMechanisms,
                           kLogin,
                           {Fails("C_GenerateKeyPair", "CKR_DEVICE_MEMORY")},
                           kLogoutClose,
                           kFinalize})},
        TFailureCase{
            "fail=C_EX_CreateCertRequest:CKR_FUNCTION_FAILED", -8,
            Join({kOpenRequest,
                  kSlots,
                  kMechanisms,
                  kLogin,
                  {Ok("C_GenerateKeyPair"), Fails("C_EX_CreateCertRequest", "CKR_FUNCTION_FAILED")},
                  kLogoutClose,
                  kFinalize})}));

class MorvelInstallFailure : public TokenEmuFixture,
                             public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(MorvelInstallFailure, GivesTheStepsCodeAndCleansUpWhatWasReached) {
  Configure(GetParam().Settings);
  EXPECT_EQ(Install(), GetParam().Code);
  EXPECT_THAT(Calls(), ElementsAreArray(GetParam().Calls));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MorvelInstallFailure,
    ::testing::Values(
        TFailureCase{
            "fail=C_GetFunctionList:CKR_GENERAL_ERROR", -1, {Fails("C_GetFunctionList", kGeneral)}},
        TFailureCase{"fail=C_Initialize:CKR_GENERAL_ERROR",
                     -1,
                     {Ok("C_GetFunctionList"), Fails("C_Initialize", kGeneral)}},
        TFailureCase{"fail=C_GetSlotList#1:CKR_GENERAL_ERROR", -2,
                     Join({kOpenInstall, {Fails("C_GetSlotList", kGeneral)}, kFinalize})},
        TFailureCase{"fail=C_GetSlotList#2:CKR_DEVICE_ERROR", -3,
                     Join({kOpenInstall,
                           {Ok("C_GetSlotList"), Fails("C_GetSlotList", "CKR_DEVICE_ERROR")},
                           kFinalize})},
        TFailureCase{"token=0", -4, Join({kOpenInstall, {Ok("C_GetSlotList")}, kFinalize})},
        TFailureCase{
            "fail=C_OpenSession:CKR_SESSION_COUNT", -5,
            Join({kOpenInstall, kSlots, {Fails("C_OpenSession", "CKR_SESSION_COUNT")}, kFinalize})},
        TFailureCase{"pin=11111111", -6,
                     Join({kOpenInstall,
                           kSlots,
                           {Ok("C_OpenSession"), Fails("C_Login", "CKR_PIN_INCORRECT"),
                            Ok("C_CloseSession")},
                           kFinalize})},
        TFailureCase{"fail=C_CreateObject:CKR_DEVICE_MEMORY", -10,
                     Join({kOpenInstall,
                           kSlots,
                           kLogin,
                           {Fails("C_CreateObject", "CKR_DEVICE_MEMORY")},
                           kLogoutClose,
                           kFinalize})},
        // Installation asks for no mechanism.
        TFailureCase{
            "mechanisms=", 1,
            Join(
                {kOpenInstall, kSlots, kLogin, {Ok("C_CreateObject")}, kLogoutClose, kFinalize})}));

TEST_F(MorvelTest, WrongPinMakesNoKey) {
  Configure("pin=11111111");
  ASSERT_EQ(Request().Code, -6);
  for (const std::string& call : Calls()) EXPECT_THAT(call, Not(HasSubstr("C_GenerateKeyPair")));
  EXPECT_TRUE(TokenObjects().empty());
}

TEST_F(MorvelTest, FailedRequestLeavesTheKeyPairOnTheToken) {
  Configure("fail=C_EX_CreateCertRequest:CKR_FUNCTION_FAILED");
  ASSERT_EQ(Request().Code, -8);
  std::vector<std::string> classes;
  for (const TObject& object : TokenObjects()) {
    EXPECT_EQ(object.at(0x102), Hex(kId));  // CKA_ID
    classes.push_back(object.at(0x000));    // CKA_CLASS
  }
  EXPECT_THAT(classes, ::testing::UnorderedElementsAre("2", "3"));
}

TEST_F(MorvelTest, InstallationStoresTheCertificateObjectAndIgnoresItsSecondArgument) {
  const char* reserved[] = {"ignored", "", nullptr};
  std::string first;
  for (const char* r : reserved) {
    ClearJournal();
    ASSERT_EQ(Install(r), 1);
    EXPECT_THAT(
        Calls(),
        ElementsAreArray(
            Join({kOpenInstall, kSlots, kLogin, {Ok("C_CreateObject")}, kLogoutClose, kFinalize})));
    std::string line = CallLine("C_CreateObject");
    line = line.substr(line.find("pTemplate="));
    line = line.substr(0, line.find(" -> "));
    EXPECT_THAT(line, HasSubstr("[CKA_VALUE=3003020107, CKA_CLASS=0x1, CKA_ID=\"007707083893\", "
                                "CKA_TOKEN=1, CKA_PRIVATE=0, CKA_CERTIFICATE_TYPE=0x0, "
                                "CKA_CERTIFICATE_CATEGORY=0x1]"));
    if (first.empty()) first = line;
    EXPECT_EQ(line, first);
  }
  auto objects = TokenObjects();
  ASSERT_EQ(objects.size(), 3u);
  for (const TObject& object : objects) {
    EXPECT_EQ(object.at(0x011), "3003020107");  // CKA_VALUE
    EXPECT_EQ(object.at(0x000), "1");           // CKA_CLASS
    EXPECT_EQ(object.at(0x102), Hex(kId));      // CKA_ID
    EXPECT_EQ(object.at(0x001), "1");           // CKA_TOKEN
    EXPECT_EQ(object.at(0x002), "0");           // CKA_PRIVATE
    EXPECT_EQ(object.at(0x080), "0");           // CKA_CERTIFICATE_TYPE
    EXPECT_EQ(object.at(0x087), "1");           // CKA_CERTIFICATE_CATEGORY
  }
}

TEST_F(MorvelTest, CorruptTokenStateIsAPlainFailure) {
  std::ofstream(StateFile, std::ios::binary) << "tvemu-token 1\nobject 1\n0x0 u";
  // The module reads the token when a session is opened.
  TResult r = Request();
  EXPECT_EQ(r.Code, -5);
  EXPECT_EQ(r.Request, &gUntouched);
  EXPECT_EQ(Install(), -5);
  auto calls = Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), Ok("C_Finalize"));
}

TEST_F(MorvelTest, NegativeCertificateLengthIsRefusedBeforeTheToken) {
  const uint8_t cert[] = {0x30, 0x00};
  EXPECT_EQ(InstallCertificate(kPin, "", kId, cert, -1), -10);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(MorvelTest, ArgumentsThatCannotBeUsedAreRefusedBeforeTheToken) {
  uint8_t* request = &gUntouched;
  int32_t requestLen = -99;
  struct {
    const char* Name;
    int32_t Code;
    const char* Pin;
    const char* Label;
    const char* Id;
    const char* const* Dn;
    int32_t DnCount;
    uint8_t** Request;
    int32_t* RequestLen;
  } requests[] = {
      {"null PIN", -6, nullptr, kId, kId, kDn, kDnCount, &request, &requestLen},
      {"null label", -7, kPin, nullptr, kId, kDn, kDnCount, &request, &requestLen},
      {"null identifier", -7, kPin, kId, nullptr, kDn, kDnCount, &request, &requestLen},
      {"negative string count", -8, kPin, kId, kId, kDn, -1, &request, &requestLen},
      {"lowest string count", -8, kPin, kId, kId, kDn, INT32_MIN, &request, &requestLen},
      {"null subject with strings", -8, kPin, kId, kId, nullptr, 2, &request, &requestLen},
      {"null request pointer", -8, kPin, kId, kId, kDn, kDnCount, nullptr, &requestLen},
      {"null length pointer", -8, kPin, kId, kId, kDn, kDnCount, &request, nullptr},
  };
  for (const auto& c : requests) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(GenCertRequests(c.Pin, c.Label, c.Id, c.Dn, c.DnCount, c.Request, c.RequestLen),
              c.Code);
    EXPECT_EQ(GenCertRequestsEKU(c.Pin, c.Label, c.Id, "", c.Dn, c.DnCount, c.Request,
                                 c.RequestLen),
              c.Code);
    EXPECT_EQ(request, &gUntouched);
    EXPECT_EQ(requestLen, -99);
  }

  const uint8_t cert[] = {0x30, 0x00};
  struct {
    const char* Name;
    int32_t Code;
    const char* Pin;
    const char* Id;
    const uint8_t* Cert;
  } installs[] = {
      {"null PIN", -6, nullptr, kId, cert},
      {"null identifier", -10, kPin, nullptr, cert},
      {"null certificate", -10, kPin, kId, nullptr},
  };
  for (const auto& c : installs) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(InstallCertificate(c.Pin, "", c.Id, c.Cert, sizeof(cert)), c.Code);
  }

  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(TokenObjects().empty());
}

TEST_F(MorvelTest, PinNeverReachesTheJournal) {
  const char pin[] = "93718264";
  Configure(std::string("pin=") + pin);
  TResult r = Request(nullptr, pin);
  ASSERT_EQ(r.Code, 1);
  FreeBuffMemory(r.Request);
  ASSERT_EQ(Install("x", pin), 1);
  ASSERT_EQ(Request(nullptr, "93718265").Code, -6);
  EXPECT_THAT(ReadFile(JournalFile), Not(HasSubstr(pin)));
  EXPECT_THAT(ReadFile(JournalFile), Not(HasSubstr("93718265")));
}

}  // namespace
