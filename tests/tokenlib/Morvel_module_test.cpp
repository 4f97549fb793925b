// Morvel with another vendor module than the emulator: none at all, and one
// that reports a request no caller can take. The shared-object build lets
// tests name the module (MORVEL_TOKEN_MODULE).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TokenEmuFixture.h"
#include "tokenlib/Morvel.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class MorvelModuleTest : public TokenEmuFixture {
 protected:
  void TearDown() override {
    SetEnv("MORVEL_TOKEN_MODULE", "");
    TokenEmuFixture::TearDown();
  }

  int32_t Request() {
    const char* dn[] = {"CN", "x"};
    return GenCertRequests("40715382", "1", "1", dn, 2, &Buffer, &Length);
  }

  uint8_t Untouched = 0;
  uint8_t* Buffer = &Untouched;
  int32_t Length = -99;
};

TEST_F(MorvelModuleTest, NoModuleGivesMinusOne) {
  SetEnv("MORVEL_TOKEN_MODULE", (Dir / "missing.so").string());
  EXPECT_EQ(Request(), -1);
  EXPECT_EQ(InstallCertificate("40715382", "", "1", nullptr, 0), -1);
  EXPECT_EQ(Buffer, &Untouched);
  EXPECT_EQ(Length, -99);
}

TEST_F(MorvelModuleTest, RequestThatCannotBeCopiedIsAFailureAndItsBufferIsReleased) {
  SetEnv("MORVEL_TOKEN_MODULE", KS_OVERSIZED_MODULE);
  EXPECT_EQ(Request(), -8);
  EXPECT_EQ(Buffer, &Untouched);
  EXPECT_EQ(Length, -99);
  auto calls = Calls();
  ASSERT_GE(calls.size(), 5u);
  EXPECT_THAT(
      std::vector<std::string>(calls.end() - 5, calls.end()),
      ElementsAre("C_EX_CreateCertRequest -> CKR_OK", "C_EX_FreeBuffer -> CKR_OK",
                  "C_Logout -> CKR_OK", "C_CloseSession -> CKR_OK", "C_Finalize -> CKR_OK"));
  EXPECT_THAT(CallLine("C_Finalize"), HasSubstr("outstandingBuffers=0"));
}

}  // namespace
