#include "app/uBase64.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(Base64, EncodesGroupsAndPadsTheLastOne) {
  const struct {
    AnsiString data;
    const char* text;
  } cases[] = {
      {"", ""},
      {"a", "YQ=="},
      {"ab", "YWI="},
      {"abc", "YWJj"},
      {"abcd", "YWJjZA=="},
      {"\x00\xFF\xFE"s, "AP/+"},
      {"\xFB\xEF\xBE"s, "++++"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeBase64(c.data), c.text);
    EXPECT_EQ(DecodeBase64(c.text), c.data) << c.text;
  }
}

TEST(Base64, DecodingSkipsForeignCharactersAndStopsAtPadding) {
  const struct {
    const char* text;
    AnsiString data;
  } cases[] = {
      {"QQ==", "A"},       {"YW Jj\r\n", "abc"},
      {"-YW_J\tj", "abc"}, {"YWJjZA", "abc"},  // padding lost: the incomplete group is dropped
      {"YWJjZ", "abc"},    {"YQ==YWJj", "a"},  // nothing after the first padded group
      {"YWI=YWJj", "ab"},  {"====", ""},
      {"Y===", ""},        {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeBase64(c.text), c.data) << c.text;
}

TEST(Base64, LineBreaksInAPemBodyDoNotChangeTheBytes) {
  AnsiString data;
  for (int i = 0; i < 3 * 256; ++i) data += static_cast<char>(i * 7);
  const AnsiString text = EncodeBase64(data);
  ASSERT_EQ(text.find_first_of("\r\n"), AnsiString::npos);

  AnsiString wrapped;
  for (size_t i = 0; i < text.size(); i += 64) wrapped += text.substr(i, 64) + "\r\n";
  EXPECT_EQ(DecodeBase64(text), data);
  EXPECT_EQ(DecodeBase64(wrapped), data);
}

}  // namespace
