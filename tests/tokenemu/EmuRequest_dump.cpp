// Writes requests of the Windows build into the current folder for
// CheckWindowsRequests.cmake, which checks them with OpenSSL on the host:
// request.der, request.pem (CRLF lines) and request-flipped.der (one bit of
// the signed part changed).

#include <fstream>

#include "EmuFixture.h"

namespace {

void Save(const char* name, const TEmuBytes& bytes) {
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST_F(EmuTest, WritesRequestsForTheHost) {
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair keys;
  ASSERT_EQ(GenerateKeyPair(session, keys), CKR_OK);
  TEmuBytes request;
  ASSERT_EQ(MakeRequest(session, keys, request), CKR_OK);
  Save("request.der", request);
  request[request.size() / 2] ^= 0x01;
  Save("request-flipped.der", request);

  Configure("output=pem-crlf");
  ASSERT_EQ(MakeRequest(session, keys, request), CKR_OK);
  Save("request.pem", request);
}
