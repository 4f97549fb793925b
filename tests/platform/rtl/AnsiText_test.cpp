// Case tables, comparison order, code page tables and 1-based helpers.
#include "rtl/AnsiText.h"

#include <gtest/gtest.h>

namespace {

AnsiString Byte(int b) { return AnsiString(1, static_cast<char>(b)); }

TEST(AnsiCase, CyrillicLatinAndYoPairs) {
  std::vector<std::pair<int, int>> pairs = {{'A', 'a'}, {'Z', 'z'}, {0xA8, 0xB8} /* Ё ё */,
                                            {0x80, 0x90}, {0x81, 0x83}, {0xA1, 0xA2},
                                            {0xA3, 0xBC}, {0xA5, 0xB4}, {0xAA, 0xBA},
                                            {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
  for (int i = 0; i < 32; ++i) pairs.push_back({0xC0 + i, 0xE0 + i});
  for (auto [upper, lower] : pairs) {
    SCOPED_TRACE(upper);
    EXPECT_EQ(AnsiUpperCase(Byte(lower)), Byte(upper));
    EXPECT_EQ(AnsiLowerCase(Byte(upper)), Byte(lower));
    EXPECT_EQ(AnsiUpperCase(Byte(upper)), Byte(upper));
  }
}

TEST(AnsiCase, NonLettersStayAsTheyAre) {
  for (int b : {int{'0'}, int{'9'}, int{' '}, int{'_'}, 0x98, 0xA0, 0xAB, 0xB5, 0xB9 /* № */, 0xB0, 0x88}) {
    EXPECT_EQ(AnsiUpperCase(Byte(b)), Byte(b)) << b;
    EXPECT_EQ(AnsiLowerCase(Byte(b)), Byte(b)) << b;
  }
  // µ (0xB5) is a Greek letter in Unicode but has no capital in this code page.
}

TEST(AnsiCase, PlainUpperCaseTouchesOnlyAscii) {
  EXPECT_EQ(UpperCase("abc ёжик"), "ABC ёжик");
  EXPECT_EQ(LowerCase("ABC ЁЖИК"), "abc ЁЖИК");
  EXPECT_EQ(AnsiUpperCase("abc ёжик"), "ABC ЁЖИК");
  EXPECT_NE(CompareText("ёжик", "ЁЖИК"), 0);
  EXPECT_TRUE(SameText("Abc", "aBC"));
}

TEST(AnsiCompare, Order) {
  struct Case {
    const char* a;
    const char* b;
    int text, str;  // signs of AnsiCompareText and AnsiCompareStr
  } cases[] = {
      {"ёлка", "ЁЛКА", 0, -1},  {"Е", "Ё", -1, -1},      {"Ё", "Ж", -1, -1},
      {"ё", "ж", -1, -1},       {"ель", "ёж", -1, -1},   {"z", "а", -1, -1},
      {"9", "a", -1, -1},       {"a", "B", -1, -1},      {"b", "A", 1, 1},
      {"a", "A", 0, -1},        {"Иванов", "Иванова", -1, -1},
      {"", "", 0, 0},           {"", "a", -1, -1},       {"я", "Я", 0, -1},
      {"Я", "а", 1, 1},         {"-", "0", -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(AnsiCompareText(c.a, c.b), c.text);
    EXPECT_EQ(AnsiCompareText(c.b, c.a), -c.text);
    EXPECT_EQ(AnsiCompareStr(c.a, c.b), c.str);
    EXPECT_EQ(AnsiCompareStr(c.b, c.a), -c.str);
  }
  EXPECT_TRUE(AnsiSameText("Ёлка", "ёЛКА"));
  EXPECT_FALSE(AnsiSameText("Елка", "Ёлка"));
}

TEST(CodePage1251, KnownCharacters) {
  struct {
    int byte;
    char16_t wide;
  } cases[] = {{0x41, u'A'},     {0xC0, 0x0410}, {0xDF, 0x042F}, {0xE0, 0x0430},
               {0xFF, 0x044F},   {0xA8, 0x0401}, {0xB8, 0x0451}, {0xB9, 0x2116},
               {0x88, 0x20AC},   {0xA0, 0x00A0}, {0x96, 0x2013}, {0x98, 0xFFFD},
               {0x80, 0x0402},   {0xBF, 0x0457}};
  for (auto c : cases) {
    EXPECT_EQ(AnsiToWide(Byte(c.byte)), WideString(1, c.wide)) << c.byte;
    if (c.byte != 0x98) {
      EXPECT_EQ(WideToAnsi(WideString(1, c.wide)), Byte(c.byte)) << c.byte;
    }
  }
}

TEST(CodePage1251, EveryByteRoundTripsExceptTheUnassignedOne) {
  for (int b = 0; b < 256; ++b) {
    AnsiString back = WideToAnsi(AnsiToWide(Byte(b)));
    EXPECT_EQ(back, b == 0x98 ? AnsiString("?") : Byte(b)) << b;
  }
}

TEST(CodePage1251, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(u"a\u00E9\u4E2D\u0416"), "a??Ж");
  EXPECT_EQ(WideToAnsi(u"\uFFFD"), "?");
}

TEST(CodePage866, KnownCharacters) {
  struct {
    const char* ansi;
    int oem;
  } cases[] = {{"А", 0x80}, {"Я", 0x9F}, {"а", 0xA0}, {"п", 0xAF}, {"р", 0xE0},
               {"я", 0xEF}, {"Ё", 0xF0}, {"ё", 0xF1}, {"№", 0xFC}, {"°", 0xF8},
               {"\xA0", 0xFF}, {"Ї", 0xF4}, {"ў", 0xF7}, {"z", 'z'}};
  for (auto c : cases) {
    EXPECT_EQ(AnsiToOem(c.ansi), Byte(c.oem)) << c.ansi;
    EXPECT_EQ(OemToAnsi(Byte(c.oem)), c.ansi) << c.oem;
  }
}

TEST(CodePage866, RoundTripsWhatBothPagesHaveAndMarksTheRest) {
  int shared = 0;
  for (int b = 0; b < 256; ++b) {
    AnsiString oem = AnsiToOem(Byte(b));
    if (oem == "?" && b != '?') continue;
    ++shared;
    EXPECT_EQ(OemToAnsi(oem), Byte(b)) << b;
  }
  // ASCII, the Russian letters, and Є є Ї ї Ў ў ° · № ¤ with the no-break space.
  EXPECT_EQ(shared, 128 + 66 + 11);
  EXPECT_EQ(AnsiToOem("€«»"), "???");
  EXPECT_EQ(OemToAnsi("\xC4\xB0\xDB"), "???");  // box drawing has no cp1251 form
}

TEST(AnsiText, Trim) {
  struct {
    const char* in;
    const char* both;
    const char* left;
    const char* right;
  } cases[] = {
      {"  a b \t\r\n", "a b", "a b \t\r\n", "  a b"},
      {"\x01x\x1F", "x", "x\x1F", "\x01x"},
      {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},
      {"", "", "", ""},
      {" \t ", "", "", ""},
      {"Ёж", "Ёж", "Ёж", "Ёж"},
  };
  for (auto c : cases) {
    EXPECT_EQ(Trim(c.in), c.both) << c.in;
    EXPECT_EQ(TrimLeft(c.in), c.left) << c.in;
    EXPECT_EQ(TrimRight(c.in), c.right) << c.in;
  }
  EXPECT_EQ(Trim(AnsiString("\0a\0", 3)), "a");
}

TEST(AnsiText, PosAndPosEx) {
  struct {
    const char* sub;
    const char* s;
    int offset, expected;
  } cases[] = {{"b", "abcb", 1, 2}, {"b", "abcb", 3, 4}, {"b", "abcb", 5, 0},
               {"b", "abcb", 0, 0}, {"", "abc", 1, 0},   {"abcd", "abc", 1, 0},
               {"c", "abc", 3, 3},  {"x", "", 1, 0},     {"ё", "ЁёЁ", 1, 2}};
  for (auto c : cases) EXPECT_EQ(PosEx(c.sub, c.s, c.offset), c.expected) << c.sub << " " << c.s;
  EXPECT_EQ(Pos("cd", "abcdcd"), 3);
}

TEST(AnsiText, CopyDeleteInsert) {
  struct {
    int index, count;
    const char* copy;
    const char* afterDelete;
  } cases[] = {{1, 2, "ab", "cde"}, {0, 2, "ab", "abcde"},   {-5, 3, "abc", "abcde"},
               {4, 10, "de", "abc"}, {5, 1, "e", "abcd"},     {6, 1, "", "abcde"},
               {2, 0, "", "abcde"},  {2, -1, "", "abcde"}};
  for (auto c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(Copy("abcde", c.index, c.count), c.copy);
    AnsiString s = "abcde";
    Delete(s, c.index, c.count);
    EXPECT_EQ(s, c.afterDelete);
  }
  struct {
    int index;
    const char* result;
  } inserts[] = {{1, "XYabc"}, {2, "aXYbc"}, {4, "abcXY"}, {9, "abcXY"}, {0, "XYabc"}};
  for (auto c : inserts) {
    AnsiString s = "abc";
    Insert("XY", s, c.index);
    EXPECT_EQ(s, c.result) << c.index;
  }
}

TEST(AnsiText, StringReplace) {
  EXPECT_EQ(StringReplace("Ёлка ёлка ЁЛКА", "ёлка", "ель", rfReplaceAll | rfIgnoreCase),
            "ель ель ель");
  EXPECT_EQ(StringReplace("Ёлка ёлка", "ёлка", "ель", rfReplaceAll), "Ёлка ель");
  EXPECT_EQ(StringReplace("aaa", "a", "b", 0), "baa");
  EXPECT_EQ(StringReplace("aaa", "aa", "a", rfReplaceAll), "aa");
  EXPECT_EQ(StringReplace("abc", "", "x", rfReplaceAll), "abc");
}

// Characters of a double-byte code page: steps never split one, and
// outside a Far-East locale every byte is a character. "\x83\x7C" is one
// Japanese character whose trail byte is '|'.
TEST(AnsiText, DoubleByteCharactersStayWhole) {
  unsigned Saved = FarEastCodePage;
  FarEastCodePage = 932;
  EXPECT_TRUE(SysLocaleFarEast());
  EXPECT_TRUE(IsLeadByte('\x82'));
  EXPECT_TRUE(IsLeadByte('\xE0'));
  EXPECT_FALSE(IsLeadByte('\xA0')) << "a half-width character of one byte";
  EXPECT_FALSE(IsLeadByte('a'));
  const AnsiString Mixed = "a\x83\x7C|\x82";
  EXPECT_EQ(CharLength(Mixed, 0), 1u);
  EXPECT_EQ(CharLength(Mixed, 1), 2u);
  EXPECT_EQ(CharLength(Mixed, 3), 1u);
  EXPECT_EQ(CharLength(Mixed, 4), 1u) << "a lead byte at the end stands alone";
  EXPECT_EQ(WithoutLastChar("a\x83\x7C"), "a");
  EXPECT_EQ(WithoutLastChar("\x83\x7C|"), "\x83\x7C");
  EXPECT_EQ(WithoutLastChar(""), "");
  FarEastCodePage = 936;
  EXPECT_TRUE(IsLeadByte('\xA0'));
  FarEastCodePage = 0;
  EXPECT_FALSE(SysLocaleFarEast());
  EXPECT_FALSE(IsLeadByte('\x82'));
  EXPECT_EQ(CharLength("\x83\x7C", 0), 1u);
  EXPECT_EQ(WithoutLastChar("a\x83\x7C"), "a\x83");
  FarEastCodePage = Saved;
}

TEST(AnsiText, IntToHex) {
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(int64_t{-1}, 2), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(0xABCDEFu, 2), "ABCDEF");
}

}  // namespace
