#include "common/qorStrings.h"

#include "rtl/Streams.h"
#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(PosFrom, FindsTheFirstOccurrenceAtOrAfterTheOffset) {
  const struct {
    const char* sub;
    const char* s;
    int offset;
    int pos;
  } cases[] = {
      {"b", "abcabc", 1, 2},   {"b", "abcabc", 2, 2},   {"b", "abcabc", 3, 5},
      {"abc", "abcabc", 4, 4}, {"abc", "abcabc", 5, 0},  // cannot fit any more
      {"c", "abc", 3, 3},      {"c", "abc", 4, 0},      {"c", "abc", 100, 0},
      {"B", "abc", 1, 0},  // bytes compared exactly
      {"", "abc", 1, 0},       {"a", "", 1, 0},         {"aab", "aaab", 1, 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PosFrom(c.sub, c.s, c.offset), c.pos) << c.sub << " in " << c.s << " @" << c.offset;
}

TEST(FastReplace, ReplacesEveryOccurrenceLeftToRightWithoutOverlap) {
  const struct {
    const char* s;
    const char* oldText;
    const char* newText;
    const char* result;
  } cases[] = {
      {"a &amp; b &amp;&amp;", "&amp;", "&", "a & b &&"},
      {"abcabc", "abc", "abc", "abcabc"},
      {"aaa", "aa", "b", "ba"},
      {"text", "x", "--", "te--t"},
      {"text", "q", "--", "text"},
      {"text", "", "--", "text"},
      {"abab", "ab", "", ""},
      {"", "a", "b", ""},
      {"<a>", "<", "&lt;", "&lt;a>"},
  };
  for (const auto& c : cases) {
    AnsiString result = "stale";
    FastReplace(c.s, c.oldText, c.newText, result);
    EXPECT_EQ(result, c.result) << c.s;
  }
}

TEST(FastReplace, ThreeEntitiesShortenTheTextByTwelveBytes) {
  const AnsiString s = "x&amp;y&amp;z&amp;";
  AnsiString result;
  FastReplace(s, "&amp;", "&", result);
  EXPECT_EQ(result.size(), s.size() - 12);
}

TEST(FastReplace, ResultMayBeTheSourceItself) {
  AnsiString s = "1,2,3";
  FastReplace(s, ",", ", ", s);
  EXPECT_EQ(s, "1, 2, 3");
}

class LoadFileAsStringTest : public ::testing::Test {
 protected:
  void TearDown() override { DeleteFile(path); }
  const AnsiString path = GetTempDir() + "ks_qorstrings_test.bin";
};

TEST_F(LoadFileAsStringTest, ReadsEveryByte) {
  const AnsiString data = "line 1\r\n\x00\xFF строка\n"s;
  {
    TFileStream file(path, fmCreate);
    file.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  }
  AnsiString text = "stale";
  LoadFileAsString(path, text);
  EXPECT_EQ(text, data);

  { TFileStream file(path, fmCreate); }
  LoadFileAsString(path, text);
  EXPECT_EQ(text, "");
}

TEST_F(LoadFileAsStringTest, MissingFileRaises) {
  AnsiString text;
  EXPECT_THROW(LoadFileAsString(path, text), EFOpenError);
}

}  // namespace
