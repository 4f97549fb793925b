// Requests of the emulated token checked by an independent implementation:
// OpenSSL with its GOST engine. Its exit code says nothing about the
// signature, so its output is read.

#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>

#include "EmuFixture.h"
#include "tests/support/HostTools.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class EmuOpensslTest : public EmuTest {
 protected:
  // OpenSSL's verdict on a request; "DER" or "PEM".
  std::string Verify(const TEmuBytes& request, const char* form = "DER") {
    std::filesystem::path file = Dir / "request.bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(request.data()),
               static_cast<std::streamsize>(request.size()));
    return OpensslVerifyRequest(file, form);
  }
};

}  // namespace

TEST_F(EmuOpensslTest, GostEngineIsThere) {
  EXPECT_THAT(RunTool("openssl engine gost").Output, HasSubstr("(gost)"));
}

TEST_F(EmuOpensslTest, RequestVerifiesAndAFlippedBitDoesNot) {
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair keys;
  ASSERT_EQ(GenerateKeyPair(session, keys), CKR_OK);
  TEmuBytes request;
  ASSERT_EQ(MakeRequest(session, keys, request), CKR_OK);
  EXPECT_THAT(Verify(request), HasSubstr("verify OK"));

  // One bit in the subject's common name, in the public key, in the signature.
  const std::string text = Utf8(u8"Ромашка");
  const TEmuBytes name(text.begin(), text.end());
  size_t inName =
      std::search(request.begin(), request.end(), name.begin(), name.end()) - request.begin();
  ASSERT_LT(inName, request.size());
  const TEmuBytes point = *Token().FindObject(keys.Public)->Find(CKA_VALUE);
  size_t inKey =
      std::search(request.begin(), request.end(), point.begin(), point.end()) - request.begin();
  ASSERT_LT(inKey, request.size());
  for (size_t at : {inName + 1, inKey + 10, request.size() - 5}) {
    SCOPED_TRACE(at);
    TEmuBytes flipped = request;
    flipped[at] ^= 0x04;
    EXPECT_THAT(Verify(flipped), Not(HasSubstr("verify OK")));
  }
}

TEST_F(EmuOpensslTest, PemRequestFromAKeyOfAnEarlierLoadVerifies) {
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair keys;
  ASSERT_EQ(GenerateKeyPair(session, keys), CKR_OK);
  F->C_Finalize(nullptr);
  Unload();
  Load();
  Configure("output=pem-crlf");
  session = OpenLoggedIn();
  TEmuBytes request;
  ASSERT_EQ(MakeRequest(session, keys, request), CKR_OK);
  EXPECT_THAT(Verify(request, "PEM"), HasSubstr("verify OK"));
}
