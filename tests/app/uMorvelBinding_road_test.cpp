// The binding, the real Morvel and the token emulator together: the road of
// one request and of one installation, across the C calling convention.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

#include "../tokenlib/TokenEmuFixture.h"
#include "app/uBase64.h"
#include "app/uMorvelBinding.h"
#include "app/uRequisites.h"
#include "rtl/SysUtils.h"
#include "tokenlib/Morvel.h"

// What Morvel exports is what the binding calls.
static_assert(std::is_same_v<decltype(&GenCertRequests), TGenCertRequests>);
static_assert(std::is_same_v<decltype(&GenCertRequestsEKU), TGenCertRequestsEKU>);
static_assert(std::is_same_v<decltype(&InstallCertificate), TInstallCertificate>);
static_assert(std::is_same_v<decltype(&FreeBuffMemory), TFreeBuffMemory>);

namespace {

class MorvelRoadTest : public TokenEmuFixture {};

TEST_F(MorvelRoadTest, RequestAndInstallationThroughTheBinding) {
  TDnArray dn{};
  const char* subject[] = {"CN", "Romashka", "C", "RU", "1.2.643.3.131.1.1", "007707083893"};
  std::copy(std::begin(subject), std::end(subject), dn.begin());
  AnsiString request;
  TokenGenCertRequestsEKU("40715382", "007707083893", "007707083893", "1.2.643.3.6.0.12", dn, 6,
                          request);
  ASSERT_GT(request.size(), 100u);
  EXPECT_EQ(static_cast<uint8_t>(request[0]), 0x30);
  EXPECT_THAT(CallLine("C_EX_CreateCertRequest"),
              ::testing::HasSubstr("\"extendedKeyUsage\", \"1.2.643.3.6.0.12\""));
  EXPECT_THAT(CallLine("C_Finalize"), ::testing::HasSubstr("outstandingBuffers=0"));

  LoadTokenLibrary();
  TokenInstallCertificate("40715382", "007707083893", "007707083893", AnsiString("\x30\x00", 2));
  UnloadTokenLibrary();
  EXPECT_THAT(CallLine("C_CreateObject"), ::testing::HasSubstr("CKA_VALUE=3000,"));
}

// The token's answer, DER or PEM, is read as the request it holds.
TEST_F(MorvelRoadTest, TheTokensRequestsAreReadInEveryFormItAnswers) {
  TDnArray dn{};
  const char* subject[] = {"CN", "\xD0\x9E\xD0\x9E\xD0\x9E", "1.2.643.3.131.1.1", "007707083893"};
  std::copy(std::begin(subject), std::end(subject), dn.begin());
  for (const char* output : {"der", "pem-lf", "pem-crlf", "pem-lead"}) {
    SCOPED_TRACE(output);
    Configure(std::string("output=") + output);
    AnsiString answer;
    TokenGenCertRequestsEKU("40715382", "007707083893", "007707083893", "1.2.643.3.6.0.12", dn, 4,
                            answer);
    AnsiString der;
    ASSERT_NO_THROW(der = RequestToDer(answer));
    if (std::string(output) == "der") {
      EXPECT_EQ(der, answer);
    } else {
      AnsiString body;
      for (char c : answer)
        if (c != '\r' && c != '\n') body += c;
      EXPECT_THAT(body, ::testing::HasSubstr(EncodeBase64(der)));
    }
  }
}

TEST_F(MorvelRoadTest, FailingResultReachesTheCallerAsItsText) {
  Configure("pin=11111111");
  AnsiString request = "old";
  try {
    TokenGenCertRequests("40715382", "1", "1", TDnArray{}, 0, request);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Ошибка подключения к токену");
  }
  EXPECT_EQ(request, "old");
}

}  // namespace
