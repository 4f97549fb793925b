#include "app/uBase64.h"

#include <cstdint>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int kPad = -1;
constexpr int kSkip = -2;

int DecodeChar(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  if (c == '=') return kPad;
  return kSkip;
}

}  // namespace

AnsiString EncodeBase64(const AnsiString& Data) {
  AnsiString result;
  result.reserve((Data.size() + 2) / 3 * 4);
  for (size_t i = 0; i < Data.size(); i += 3) {
    const size_t n = Data.size() - i < 3 ? Data.size() - i : 3;
    uint32_t group = static_cast<uint8_t>(Data[i]) << 16;
    if (n > 1) group |= static_cast<uint8_t>(Data[i + 1]) << 8;
    if (n > 2) group |= static_cast<uint8_t>(Data[i + 2]);
    result += kAlphabet[group >> 18];
    result += kAlphabet[(group >> 12) & 63];
    result += n > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    result += n > 2 ? kAlphabet[group & 63] : '=';
  }
  return result;
}

AnsiString DecodeBase64(const AnsiString& Text) {
  AnsiString result;
  int group[4];
  int filled = 0;
  for (char c : Text) {
    const int value = DecodeChar(c);
    if (value == kSkip) continue;
    group[filled++] = value;
    if (filled < 4) continue;
    filled = 0;
    // Padding in the first two places leaves no byte to take.
    if (group[0] == kPad || group[1] == kPad) break;
    result += static_cast<char>(group[0] << 2 | group[1] >> 4);
    if (group[2] == kPad) break;
    result += static_cast<char>((group[1] << 4 | group[2] >> 2) & 0xFF);
    if (group[3] == kPad) break;
    result += static_cast<char>((group[2] << 6 | group[3]) & 0xFF);
  }
  return result;
}
