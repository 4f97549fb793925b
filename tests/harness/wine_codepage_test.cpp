// The Windows tests rely on Wine running with the Russian ANSI code page and
// on our narrow literals being cp1251 bytes; both break silently otherwise.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

TEST(WineHarness, AnsiCodePageIsRussian) {
  EXPECT_EQ(GetACP(), 1251u);
}

TEST(WineHarness, CyrillicLiteralRoundTripsThroughTheSystemCodePage) {
  const std::string text = "Ошибка №5";
  ASSERT_EQ(static_cast<unsigned char>(text[0]), 0xCEu) << "literal is not cp1251";

  wchar_t wide[32] = {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, 32);
  ASSERT_EQ(n, 9);
  EXPECT_EQ(wide[0], L'\u041E');
  EXPECT_EQ(wide[7], L'\u2116');

  char back[32] = {};
  int m = WideCharToMultiByte(CP_ACP, 0, wide, n, back, sizeof back, nullptr, nullptr);
  EXPECT_EQ(std::string(back, m), text);
}
