#include "common/uutf8.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace std::string_literals;

AnsiString FromU8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(Utf8, DecodesOneToThreeByteSequences) {
  const struct {
    AnsiString utf8;
    WideString wide;
  } cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"\xD0\x9E", u"\u041E"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"A\xC3\xA9\xE2\x84\x96z", u"A\u00E9\u2116z"},
      {"\xEF\xBF\xBF", u"\uFFFF"},
      {"a\x00z"s, u"a\0z"s},
      // The shortest form of each length, and the characters around the
      // surrogates.
      {"\xC2\x80", u"\u0080"},
      {"\xE0\xA0\x80", u"\u0800"},
      {"\xED\x9F\xBF", u"\uD7FF"},
      {"\xEE\x80\x80", u"\uE000"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.utf8;
}

TEST(Utf8, OneMalformedSequenceEmptiesTheWholeText) {
  const char* cases[] = {
      "\xD0",  // cut inside a two-byte sequence
      "abc\xD0",
      "\xE2\x82",          // cut inside a three-byte sequence
      "\xF0\x9F\x98\x80",  // four bytes: outside the plane we carry
      "ok \xF0\x9F\x98\x80 ok",
      "\x80",  // stray continuation byte
      "a\xBF!",
      "\xD0!",  // bad continuation byte
      "\xE2\x82!",
      // Overlong forms of "/", "," and "=", and of the last character of
      // the one- and two-byte ranges.
      "\xC0\xAF",
      "\xE0\x80\xAF",
      "\xC0\xAC",
      "\xE0\x80\xAC",
      "\xC0\xBD",
      "\xE0\x80\xBD",
      "\xC1\xBF",
      "\xE0\x9F\xBF",
      "CN=Ivan\xC0\xACINN\xC0\xBD"
      "123456789012",
      // Surrogates, alone or as a pair of three-byte sequences.
      "\xED\xA0\x80",
      "\xED\xBF\xBF",
      "a\xED\xA0\xBD\xED\xB8\x80z",
      // Beyond U+10FFFF.
      "\xF4\x90\x80\x80",
      "\xF7\xBF\xBF\xBF",
      "\xF8\x88\x80\x80\x80",
  };
  for (const char* c : cases) {
    EXPECT_EQ(Utf8ToWide(c), u"") << c;
    EXPECT_EQ(Utf8ToWideBuffer(nullptr, 0, c, static_cast<unsigned>(std::strlen(c))), -1) << c;
  }
}

TEST(Utf8, EncodesEveryCharacterWhateverItsLength) {
  const struct {
    WideString wide;
    AnsiString utf8;
  } cases[] = {
      {u"", ""},
      {u"A", "A"},
      {u"\u00E9\u07FF", "\xC3\xA9\xDF\xBF"},
      {u"\u20AC", "\xE2\x82\xAC"},
      {u"\u0800\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
      {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},  // each half of the pair alone
      {u"\u2116", "\xE2\x84\x96"},
      {u"\u2116\u2116\u2116", "\xE2\x84\x96\xE2\x84\x96\xE2\x84\x96"},
  };
  for (const auto& c : cases) EXPECT_EQ(WideToUtf8(c.wide), c.utf8) << c.utf8;
}

TEST(Utf8, EveryCharacterOfThePlaneRoundTrips) {
  WideString all;
  for (char32_t ch = 0; ch <= 0xFFFF; ++ch)
    if (ch < 0xD800 || ch > 0xDFFF) all += static_cast<char16_t>(ch);
  const AnsiString utf8 = WideToUtf8(all);
  EXPECT_EQ(utf8.size(), 0x80 + (0x800 - 0x80) * 2 + (0x10000 - 0x800 - 0x800) * 3u);
  EXPECT_EQ(Utf8ToWide(utf8), all);
  // A surrogate is written, as the pair's halves are, but is not read back.
  EXPECT_EQ(Utf8ToWide(WideToUtf8(WideString(1, char16_t{0xD800}))), u"");
}

TEST(Utf8, ToAnsiGivesCp1251) {
  EXPECT_EQ(Utf8ToAnsi(FromU8(u8"Ёлка, №5 — «ЖЭК»")), "Ёлка, №5 — «ЖЭК»");
  EXPECT_EQ(Utf8ToAnsi(FromU8(u8"\u6F22\u5B57")), "??");
  EXPECT_EQ(Utf8ToAnsi("\xD0"), "");
}

TEST(Utf8Buffer, CountingModeAddsOneForTheZero) {
  EXPECT_EQ(Utf8ToWideBuffer(nullptr, 0, "\xD0\x9E!?", 4), 4);
  EXPECT_EQ(Utf8ToWideBuffer(nullptr, 0, "", 0), 1);
  EXPECT_EQ(Utf8ToWideBuffer(nullptr, 0, "\xF0\x9F\x98\x80", 4), -1);
  EXPECT_EQ(Utf8ToWideBuffer(nullptr, 0, nullptr, 4), 0);

  EXPECT_EQ(WideToUtf8Buffer(nullptr, 0, u"", 0), 1u);
  EXPECT_EQ(WideToUtf8Buffer(nullptr, 0, u"A\u00E9\u2116", 3), 7u);
  EXPECT_EQ(WideToUtf8Buffer(nullptr, 0, nullptr, 3), 0u);
}

TEST(Utf8Buffer, DecodingIntoAFullBufferKeepsTheZero) {
  char16_t dest[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(Utf8ToWideBuffer(dest, 3, "abcdef", 6), 3);
  EXPECT_EQ(WideString(dest, 4), WideString(u"ab\0x", 4));

  EXPECT_EQ(Utf8ToWideBuffer(dest, 4, "\xD0\x9E", 2), 2);
  EXPECT_EQ(dest[0], u'\u041E');
  EXPECT_EQ(dest[1], u'\0');
  EXPECT_EQ(Utf8ToWideBuffer(dest, 4, nullptr, 2), 0);
}

TEST(Utf8Buffer, EncodingNeverCutsACharacter) {
  char dest[8];
  // Room for one three-byte character and the zero, not for two.
  EXPECT_EQ(WideToUtf8Buffer(dest, 6, u"\u2116\u2116", 2), 4u);
  EXPECT_EQ(AnsiString(dest), "\xE2\x84\x96");
  EXPECT_EQ(WideToUtf8Buffer(dest, 3, u"\u2116", 1), 1u);
  EXPECT_EQ(dest[0], '\0');
  EXPECT_EQ(WideToUtf8Buffer(dest, 4, u"\u2116", 1), 4u);
  EXPECT_EQ(AnsiString(dest), "\xE2\x84\x96");
  EXPECT_EQ(WideToUtf8Buffer(dest, 3, u"abc", 3), 3u);
  EXPECT_EQ(AnsiString(dest), "ab");
}

}  // namespace
