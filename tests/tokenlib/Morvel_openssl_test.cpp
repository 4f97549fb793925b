// A request made by Morvel through the emulator, checked by an independent
// implementation: OpenSSL with its GOST engine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TokenEmuFixture.h"
#include "tests/support/HostTools.h"
#include "tokenlib/Morvel.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class MorvelOpensslTest : public TokenEmuFixture {
 protected:
  // `openssl req -verify` exits 0 even when the signature is wrong: only its
  // "verify OK" counts.
  std::string Verify(const std::string& der) {
    auto file = Dir / "request.der";
    std::ofstream(file, std::ios::binary).write(der.data(), der.size());
    return OpensslVerifyRequest(file);
  }
};

TEST_F(MorvelOpensslTest, RequestVerifiesAndAFlippedBitDoesNot) {
  const char* dn[] = {"CN",
                      reinterpret_cast<const char*>(u8"ООО Ромашка"),
                      "C",
                      "RU",
                      "1.2.643.3.131.1.1",
                      "007707083893",
                      "1.2.643.100.1",
                      "1027700132195"};
  uint8_t* buffer = nullptr;
  int32_t length = 0;
  ASSERT_EQ(
      GenCertRequestsEKU("40715382", "007707083893", "007707083893", "", dn, 8, &buffer, &length),
      1);
  std::string der(reinterpret_cast<const char*>(buffer), length);
  FreeBuffMemory(buffer);
  EXPECT_THAT(Verify(der), HasSubstr("verify OK"));

  // One bit of the signed subject (still well-formed DER), and one of the
  // signature.
  size_t subjectByte = der.find("1027700132195");
  ASSERT_NE(subjectByte, std::string::npos);
  for (size_t at : {subjectByte, der.size() - 1}) {
    SCOPED_TRACE(at);
    std::string flipped = der;
    flipped[at] ^= 0x01;
    std::string output = Verify(flipped);
    EXPECT_THAT(output, Not(HasSubstr("verify OK")));
    EXPECT_THAT(output, HasSubstr("verify failure"));
  }
}

}  // namespace
