#include "tokenemu/EmuText.h"

#include <limits>

std::string EmuToHex(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool EmuFromHex(std::string_view text, TEmuBytes& bytes) {
  if (text.size() % 2) return false;
  bytes.clear();
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

bool EmuParseNumber(std::string_view text, CK_ULONG& value) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  constexpr CK_ULONG kMax = std::numeric_limits<CK_ULONG>::max();
  CK_ULONG result = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    if (result > (kMax - static_cast<CK_ULONG>(digit)) / base) return false;
    result = result * base + static_cast<CK_ULONG>(digit);
  }
  value = result;
  return true;
}

std::string_view EmuTrim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> EmuSplit(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}
