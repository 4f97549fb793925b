#include "zip/ZACrypto.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/zip/ZATestHelpers.h"

namespace {

TEST(ZACrc32, KnownValues) {
  struct Case {
    const char* text;
    uint32_t crc;
  };
  for (const Case& c :
       {Case{"", 0}, Case{"a", 0xE8B7BE43}, Case{"abc", 0x352441C2}, Case{"123456789", 0xCBF43926},
        Case{"The quick brown fox jumps over the lazy dog", 0x414FA339}})
    EXPECT_EQ(ZACrc32(c.text, int32_t(strlen(c.text))), c.crc) << c.text;
}

TEST(ZACrc32, RunsOverPiecesAndIgnoresEmptyInput) {
  const char* text = "The quick brown fox jumps over the lazy dog";
  uint32_t crc = ZA_CRC_START;
  for (size_t at = 0; at < strlen(text); at += 5)
    crc = ZACrc32Update(text + at, int32_t(std::min<size_t>(5, strlen(text) - at)), crc);
  EXPECT_EQ(~crc, 0x414FA339u);
  EXPECT_EQ(ZACrc32Update(nullptr, 10, 0x1234), 0x1234u);
  EXPECT_EQ(ZACrc32Update(text, 0, 0x1234), 0x1234u);
  EXPECT_EQ(ZACrc32Update(text, -1, 0x1234), 0x1234u);
}

TEST(ZAEncryption, KeyScheduleFollowsThePassword) {
  struct Case {
    const char* password;
    TZAKeys keys;
  };
  // Start values, then after one and several password bytes.
  const Case cases[] = {
      {"", {0x12345678, 0x23456789, 0x34567890}},
      {"a", {0x64799C96, 0xB303049C, 0xA253270A}},
      {"secret", {0xDDA9E469, 0x96212999, 0xF9FC9651}},
  };
  for (const Case& c : cases) {
    TZAKeys keys;
    ZAInitKeys(c.password, keys);
    EXPECT_EQ(keys.Key0, c.keys.Key0) << c.password;
    EXPECT_EQ(keys.Key1, c.keys.Key1) << c.password;
    EXPECT_EQ(keys.Key2, c.keys.Key2) << c.password;
  }
}

TEST(ZAEncryption, DecryptsAMemberEncryptedByAnotherTool) {
  // A stored member "Hello, Keystall!\n" encrypted with the password
  // "secret" by Info-ZIP; it used a data descriptor, so the check byte is
  // the high byte of the DOS time (0x18).
  uint8_t data[] = {0x7e, 0xb6, 0x3a, 0xab, 0x23, 0xd1, 0xf1, 0xff, 0xbf, 0x55,
                    0x45, 0x69, 0x16, 0x4b, 0x8e, 0x2a, 0x61, 0x6b, 0x47, 0x5d,
                    0x1b, 0x0d, 0x1e, 0xbe, 0x09, 0x47, 0xce, 0x22, 0xd0};
  TZAKeys keys;
  ZAInitKeys("secret", keys);
  Decrypt(data, sizeof data, keys);
  EXPECT_EQ(data[11], 0x18);
  EXPECT_EQ(AnsiString(reinterpret_cast<char*>(data + 12), sizeof data - 12), "Hello, Keystall!\n");
}

TEST(ZAEncryption, HeaderEndsWithTheHighHalfOfTheCrc) {
  for (const char* password : {"secret", "p", "пароль"}) {
    uint8_t header[ZA_ENCRYPTION_HEADER_SIZE];
    TZAKeys keys;
    ZAMakeEncryptionHeader(password, 0xA1B2C3D4, header, keys);

    // The data that follows continues with the same keys.
    uint8_t data[] = {'d', 'a', 't', 'a'};
    ZAEncryptBuffer(data, 1, 2, keys);
    EXPECT_EQ(data[0], 'd');
    EXPECT_EQ(data[3], 'a');

    TZAKeys check;
    ZAInitKeys(password, check);
    Decrypt(header, sizeof header, check);
    EXPECT_EQ(header[10], 0xB2) << password;
    EXPECT_EQ(header[11], 0xA1) << password;
    Decrypt(data + 1, 2, check);
    EXPECT_EQ(AnsiString(reinterpret_cast<char*>(data), 4), "data");
  }
}

}  // namespace
