// Writes requests made by Morvel.dll through the emulator into the current
// folder, for the emulator's CheckWindowsRequests.cmake, which checks them
// with OpenSSL on the host: request.der, request.pem (CRLF lines) and
// request-flipped.der (one bit of the signed subject changed).
#include <fstream>
#include <string>

#include "TokenEmuFixture.h"
#include "tokenlib/Morvel.h"

namespace {

class MorvelDump : public TokenEmuFixture {
 protected:
  std::string Request() {
    const char* dn[] = {"CN",
                        reinterpret_cast<const char*>(u8"ООО Ромашка"),
                        "C",
                        "RU",
                        "1.2.643.3.131.1.1",
                        "007707083893"};
    uint8_t* buffer = nullptr;
    int32_t length = 0;
    EXPECT_EQ(
        GenCertRequestsEKU("40715382", "007707083893", "007707083893", "", dn, 6, &buffer, &length),
        1);
    std::string bytes(reinterpret_cast<const char*>(buffer), length);
    FreeBuffMemory(buffer);
    return bytes;
  }

  static void Save(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary).write(bytes.data(), bytes.size());
  }
};

TEST_F(MorvelDump, WritesRequestsForTheHost) {
  std::string der = Request();
  Save("request.der", der);
  size_t inn = der.find("007707083893");
  ASSERT_NE(inn, std::string::npos);
  der[inn] ^= 0x01;
  Save("request-flipped.der", der);

  Configure("output=pem-crlf");
  Save("request.pem", Request());
}

}  // namespace
