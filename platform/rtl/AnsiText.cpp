#include "rtl/AnsiText.h"

#include <algorithm>
#include <array>

#include "rtl/OsShim.h"

namespace {

using Table256 = std::array<uint8_t, 256>;

// Windows-1251, upper half (0x80-0xFF), from the published code page chart.
// 0x98 is unassigned there; we decode it to U+FFFD, and since nothing encodes
// back to it, it comes out as '?' after a round trip.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    // C0-FF: А..я, U+0410..U+044F, filled in below
};

// cp866 (DOS Cyrillic), upper half, from the published code page chart.
constexpr char16_t kCp866High[128] = {
    // 80-AF: А..Я, а..п (U+0410..U+043F), filled in below
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    // E0-EF: р..я (U+0440..U+044F), filled in below
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,  // F8
};

struct CodePage {
  std::array<char16_t, 256> toWide{};

  char16_t Decode(char c) const { return toWide[static_cast<uint8_t>(c)]; }
  char Encode(char16_t w) const {
    if (w < 0x80) return static_cast<char>(w);
    if (w == 0xFFFD) return '?';
    for (int i = 0x80; i < 256; ++i)
      if (toWide[i] == w) return static_cast<char>(i);
    return '?';
  }
};

CodePage MakeCodePage(const char16_t (&high)[128], int cyrStart, int cyrCount,
                      int cyr2Start = 0, int cyr2Count = 0, char16_t cyr2First = 0) {
  CodePage cp;
  for (int i = 0; i < 0x80; ++i) cp.toWide[i] = static_cast<char16_t>(i);
  for (int i = 0; i < 128; ++i) cp.toWide[0x80 + i] = high[i];
  for (int i = 0; i < cyrCount; ++i) cp.toWide[cyrStart + i] = static_cast<char16_t>(0x0410 + i);
  for (int i = 0; i < cyr2Count; ++i)
    cp.toWide[cyr2Start + i] = static_cast<char16_t>(cyr2First + i);
  return cp;
}

const CodePage& Cp1251() {
  static const CodePage cp = MakeCodePage(kCp1251High, 0xC0, 64);
  return cp;
}

const CodePage& Cp866() {
  static const CodePage cp = MakeCodePage(kCp866High, 0x80, 48, 0xE0, 16, 0x0440);
  return cp;
}

// Case pairs of cp1251 beyond A-Z and А-Я: {capital, small}.
constexpr uint8_t kCasePairs[][2] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
    {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
    {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

struct CaseTables {
  Table256 upper{}, lower{};
  // Sort weight of a character, case folded: symbols by code, then digits,
  // Latin letters, Russian letters (Ё right after Е), other Cyrillic letters.
  std::array<uint16_t, 256> weight{};
};

const CaseTables& Cases() {
  static const CaseTables t = [] {
    CaseTables c;
    for (int i = 0; i < 256; ++i) c.upper[i] = c.lower[i] = static_cast<uint8_t>(i);
    auto pair = [&c](int cap, int small) {
      c.upper[small] = static_cast<uint8_t>(cap);
      c.lower[cap] = static_cast<uint8_t>(small);
    };
    for (int i = 0; i < 26; ++i) pair('A' + i, 'a' + i);
    for (int i = 0; i < 32; ++i) pair(0xC0 + i, 0xE0 + i);
    for (const auto& p : kCasePairs) pair(p[0], p[1]);

    for (int i = 0; i < 256; ++i) c.weight[i] = static_cast<uint16_t>(i);
    for (int i = 0; i < 10; ++i) c.weight['0' + i] = static_cast<uint16_t>(0x100 + i);
    for (int i = 0; i < 26; ++i) c.weight['A' + i] = static_cast<uint16_t>(0x200 + i);
    for (int i = 0; i < 32; ++i) c.weight[0xC0 + i] = static_cast<uint16_t>(0x300 + 2 * i);
    c.weight[0xA8] = static_cast<uint16_t>(0x300 + 2 * 5 + 1);  // Ё between Е and Ж
    for (const auto& p : kCasePairs)
      if (p[0] != 0xA8) c.weight[p[0]] = static_cast<uint16_t>(0x400 + p[0]);
    for (int i = 0; i < 256; ++i) c.weight[i] = c.weight[c.upper[i]];
    return c;
  }();
  return t;
}

bool IsTrimmed(char c) { return static_cast<uint8_t>(c) <= ' '; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

template <typename F>
AnsiString MapChars(const AnsiString& s, F f) {
  AnsiString r(s);
  for (char& c : r) c = f(c);
  return r;
}

int Sign(int v) { return (v > 0) - (v < 0); }

int CompareBytes(const AnsiString& a, const AnsiString& b) { return Sign(a.compare(b)); }

// Compares by the case-folded weights; 0 when equal ignoring case.
int CompareWeights(const AnsiString& a, const AnsiString& b) {
  const auto& w = Cases().weight;
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int d = w[static_cast<uint8_t>(a[i])] - w[static_cast<uint8_t>(b[i])];
    if (d) return Sign(d);
  }
  return Sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size()));
}

template <typename T>
AnsiString ToHex(T value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  AnsiString r;
  do {
    r.insert(r.begin(), kHex[value & 0xF]);
    value >>= 4;
  } while (value);
  if (static_cast<int>(r.size()) < digits) r.insert(0, digits - r.size(), '0');
  return r;
}

}  // namespace

int Pos(const AnsiString& sub, const AnsiString& s) { return PosEx(sub, s, 1); }

int PosEx(const AnsiString& sub, const AnsiString& s, int offset) {
  if (sub.empty() || offset < 1 || offset > static_cast<int>(s.size())) return 0;
  size_t p = s.find(sub, offset - 1);
  return p == AnsiString::npos ? 0 : static_cast<int>(p) + 1;
}

AnsiString Copy(const AnsiString& s, int index, int count) {
  if (index < 1) index = 1;
  if (count < 1 || index > static_cast<int>(s.size())) return AnsiString();
  return s.substr(index - 1, count);
}

void Delete(AnsiString& s, int index, int count) {
  if (index < 1 || index > static_cast<int>(s.size()) || count < 1) return;
  s.erase(index - 1, count);
}

void Insert(const AnsiString& sub, AnsiString& s, int index) {
  index = std::clamp(index, 1, static_cast<int>(s.size()) + 1);
  s.insert(index - 1, sub);
}

AnsiString Trim(const AnsiString& s) { return TrimLeft(TrimRight(s)); }

AnsiString TrimLeft(const AnsiString& s) {
  auto it = std::find_if_not(s.begin(), s.end(), IsTrimmed);
  return AnsiString(it, s.end());
}

AnsiString TrimRight(const AnsiString& s) {
  auto it = std::find_if_not(s.rbegin(), s.rend(), IsTrimmed);
  return AnsiString(s.begin(), it.base());
}

AnsiString UpperCase(const AnsiString& s) { return MapChars(s, AsciiUpper); }
AnsiString LowerCase(const AnsiString& s) { return MapChars(s, AsciiLower); }

int CompareStr(const AnsiString& a, const AnsiString& b) { return CompareBytes(a, b); }

int CompareText(const AnsiString& a, const AnsiString& b) {
  return CompareBytes(UpperCase(a), UpperCase(b));
}

bool SameText(const AnsiString& a, const AnsiString& b) { return CompareText(a, b) == 0; }

char AnsiUpperChar(char c) { return static_cast<char>(Cases().upper[static_cast<uint8_t>(c)]); }
char AnsiLowerChar(char c) { return static_cast<char>(Cases().lower[static_cast<uint8_t>(c)]); }

AnsiString AnsiUpperCase(const AnsiString& s) { return MapChars(s, AnsiUpperChar); }
AnsiString AnsiLowerCase(const AnsiString& s) { return MapChars(s, AnsiLowerChar); }

// No two characters share a weight unless they are a case pair, so equal
// weights mean equal ignoring case.
int AnsiCompareText(const AnsiString& a, const AnsiString& b) { return CompareWeights(a, b); }

int AnsiCompareStr(const AnsiString& a, const AnsiString& b) {
  if (int r = CompareWeights(a, b)) return r;
  // Same letters: the first difference in case decides, small letter first.
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return AnsiLowerChar(a[i]) == a[i] ? -1 : 1;
  return 0;
}

bool AnsiSameText(const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b) == 0; }
bool AnsiSameStr(const AnsiString& a, const AnsiString& b) { return a == b; }

AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern,
                         const AnsiString& newPattern, TReplaceFlags flags) {
  if (oldPattern.empty()) return s;
  const bool ignoreCase = flags & rfIgnoreCase;
  const AnsiString hay = ignoreCase ? AnsiUpperCase(s) : s;
  const AnsiString needle = ignoreCase ? AnsiUpperCase(oldPattern) : oldPattern;
  AnsiString r;
  size_t from = 0;
  for (;;) {
    size_t p = hay.find(needle, from);
    if (p == AnsiString::npos) break;
    r.append(s, from, p - from).append(newPattern);
    from = p + needle.size();
    if (!(flags & rfReplaceAll)) break;
  }
  return r.append(s, from, AnsiString::npos);
}

char16_t AnsiCharToWide(char c) { return Cp1251().Decode(c); }

WideString AnsiToWide(const AnsiString& s) {
  WideString r(s.size(), u'\0');
  std::transform(s.begin(), s.end(), r.begin(), AnsiCharToWide);
  return r;
}

AnsiString WideToAnsi(const WideString& s) {
  AnsiString r(s.size(), '\0');
  std::transform(s.begin(), s.end(), r.begin(), [](char16_t w) { return Cp1251().Encode(w); });
  return r;
}

AnsiString AnsiToOem(const AnsiString& s) {
  return MapChars(s, [](char c) { return Cp866().Encode(Cp1251().Decode(c)); });
}

AnsiString OemToAnsi(const AnsiString& s) {
  return MapChars(s, [](char c) { return Cp1251().Encode(Cp866().Decode(c)); });
}

AnsiString IntToHex(int32_t value, int digits) { return ToHex(static_cast<uint32_t>(value), digits); }
AnsiString IntToHex(uint32_t value, int digits) { return ToHex(value, digits); }
AnsiString IntToHex(int64_t value, int digits) { return ToHex(static_cast<uint64_t>(value), digits); }
AnsiString IntToHex(uint64_t value, int digits) { return ToHex(value, digits); }

unsigned FarEastCodePage = SystemDoubleByteCodePage();

bool IsLeadByte(char c) {
  auto b = static_cast<uint8_t>(c);
  switch (FarEastCodePage) {
    case 932:  // Japanese
      return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:  // Simplified Chinese
    case 949:  // Korean
    case 950:  // Traditional Chinese
      return b >= 0x81 && b <= 0xFE;
    default:
      return false;
  }
}

size_t CharLength(const AnsiString& s, size_t index) {
  return index + 1 < s.size() && IsLeadByte(s[index]) ? 2 : 1;
}

AnsiString WithoutLastChar(const AnsiString& s) {
  size_t last = 0;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) last = i;
  return s.substr(0, last);
}
