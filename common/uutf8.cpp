#include "common/uutf8.h"

#include "rtl/AnsiText.h"

#include <cstdint>

namespace {

// Decodes the sequence starting at src[at] and moves `at` past it; false for
// a malformed or cut sequence. Lead bytes 10xxxxxx (a stray continuation) and
// 1111xxxx (four bytes and more, outside the plane we carry) are malformed,
// and so are overlong forms and surrogates: a longer form of "," or "=" must
// not pass for one, and half a pair is no character.
bool DecodeNext(const uint8_t* src, unsigned size, unsigned& at, char16_t& ch) {
  const uint8_t lead = src[at++];
  if (lead < 0x80) {
    ch = lead;
    return true;
  }
  if ((lead & 0xC0) == 0x80 || (lead & 0xF0) == 0xF0) return false;
  const unsigned continuations = (lead & 0x20) ? 2 : 1;
  if (size - at < continuations) return false;
  uint32_t code = lead & (continuations == 2 ? 0x0F : 0x1F);
  for (unsigned k = 0; k < continuations; ++k) {
    const uint8_t next = src[at++];
    if ((next & 0xC0) != 0x80) return false;
    code = code << 6 | (next & 0x3F);
  }
  if (code < (continuations == 2 ? 0x800u : 0x80u)) return false;
  if (code >= 0xD800 && code <= 0xDFFF) return false;
  ch = static_cast<char16_t>(code);
  return true;
}

}  // namespace

int Utf8ToWideBuffer(char16_t* Dest, unsigned MaxDestChars, const char* Source,
                     unsigned SourceBytes) {
  if (!Source || (Dest && MaxDestChars == 0)) return 0;
  const auto* src = reinterpret_cast<const uint8_t*>(Source);
  unsigned count = 0;
  unsigned at = 0;
  while (at < SourceBytes && (!Dest || count < MaxDestChars)) {
    char16_t ch;
    if (!DecodeNext(src, SourceBytes, at, ch)) return -1;
    if (Dest) Dest[count] = ch;
    ++count;
  }
  if (Dest) {
    if (count == MaxDestChars) --count;
    Dest[count] = 0;
  }
  return static_cast<int>(count + 1);
}

unsigned WideToUtf8Buffer(char* Dest, unsigned MaxDestBytes, const char16_t* Source,
                          unsigned SourceChars) {
  if (!Source || (Dest && MaxDestBytes == 0)) return 0;
  unsigned count = 0;
  for (unsigned i = 0; i < SourceChars; ++i) {
    const char16_t ch = Source[i];
    const unsigned size = ch < 0x80 ? 1 : ch < 0x800 ? 2 : 3;
    if (Dest) {
      // A sequence is written whole or not at all: the last byte stays for
      // the zero, so a full buffer never ends in half a character.
      if (count + size >= MaxDestBytes) break;
      auto* out = reinterpret_cast<uint8_t*>(Dest + count);
      if (size == 1) {
        out[0] = static_cast<uint8_t>(ch);
      } else if (size == 2) {
        out[0] = static_cast<uint8_t>(0xC0 | ch >> 6);
        out[1] = static_cast<uint8_t>(0x80 | (ch & 0x3F));
      } else {
        out[0] = static_cast<uint8_t>(0xE0 | ch >> 12);
        out[1] = static_cast<uint8_t>(0x80 | (ch >> 6 & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (ch & 0x3F));
      }
    }
    count += size;
  }
  if (Dest) Dest[count] = 0;
  return count + 1;
}

WideString Utf8ToWide(const AnsiString& S) {
  // Never more characters than bytes, so the decoder cannot run out of room.
  WideString result(S.size() + 1, u'\0');
  const int written = Utf8ToWideBuffer(result.data(), static_cast<unsigned>(result.size()),
                                       S.data(), static_cast<unsigned>(S.size()));
  if (written <= 0) return WideString();
  result.resize(written - 1);
  return result;
}

AnsiString Utf8ToAnsi(const AnsiString& S) { return WideToAnsi(Utf8ToWide(S)); }

AnsiString WideToUtf8(const WideString& W) {
  // Sized by counting first, so every character fits beside the zero.
  const auto chars = static_cast<unsigned>(W.size());
  AnsiString result(WideToUtf8Buffer(nullptr, 0, W.data(), chars), '\0');
  const unsigned written =
      WideToUtf8Buffer(result.data(), static_cast<unsigned>(result.size()), W.data(), chars);
  result.resize(written - 1);
  return result;
}
