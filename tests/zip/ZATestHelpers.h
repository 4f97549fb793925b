// Helpers of the archive tests.
#pragma once

#include <initializer_list>
#include <string>

#include "rtl/Types.h"
#include "zip/ZACrypto.h"

// "504B 0304" -> the bytes; blanks only separate.
inline TBytes Hex(const char* text) {
  TBytes bytes;
  for (const char* p = text; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    bytes.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return bytes;
}

inline TBytes Text(const AnsiString& s) { return TBytes(s.begin(), s.end()); }

inline TBytes Join(std::initializer_list<TBytes> parts) {
  TBytes all;
  for (const TBytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Decrypts traditional encryption with the encrypting primitive alone: the
// stream byte is what a zero encrypts to, and the keys then advance with the
// plain byte.
inline void Decrypt(uint8_t* data, size_t count, TZAKeys& keys) {
  for (size_t i = 0; i < count; ++i) {
    TZAKeys probe = keys;
    uint8_t zero = 0;
    ZAEncryptBuffer(&zero, 0, 1, probe);
    data[i] ^= zero;
    uint8_t plain = data[i];
    ZAEncryptBuffer(&plain, 0, 1, keys);
  }
}
