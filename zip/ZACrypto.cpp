#include "zip/ZACrypto.h"

#include <array>
#include <chrono>
#include <random>

namespace {

using TCrcTables = std::array<std::array<uint32_t, 256>, 8>;

// The standard table first; table k advances a byte's CRC by k more zero
// bytes, so that eight bytes are folded in one step.
constexpr TCrcTables MakeCrcTables() {
  TCrcTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320 ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (size_t k = 1; k < t.size(); ++k)
    for (uint32_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}

constexpr TCrcTables CRC_TABLES = MakeCrcTables();

inline uint32_t CrcByte(uint32_t crc, uint8_t b) {
  return CRC_TABLES[0][(crc ^ b) & 0xFF] ^ (crc >> 8);
}

inline uint32_t Le32(const uint8_t* p) {
  return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void UpdateKeys(TZAKeys& keys, uint8_t plain) {
  keys.Key0 = CrcByte(keys.Key0, plain);
  keys.Key1 = (keys.Key1 + (keys.Key0 & 0xFF)) * 134775813 + 1;
  keys.Key2 = CrcByte(keys.Key2, uint8_t(keys.Key1 >> 24));
}

inline uint8_t StreamByte(const TZAKeys& keys) {
  const uint32_t t = (keys.Key2 & 0xFFFF) | 2;
  return uint8_t((t * (t ^ 1)) >> 8);
}

}  // namespace

uint32_t ZACrc32Update(const void* buffer, int32_t count, uint32_t crc) {
  if (!buffer || count < 1) return crc;
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  const uint8_t* end = p + count;
  // The CRC would otherwise cost as much as fast deflate levels.
  for (; end - p >= 8; p += 8) {
    const uint32_t lo = crc ^ Le32(p), hi = Le32(p + 4);
    const auto& t = CRC_TABLES;
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; p < end; ++p) crc = CrcByte(crc, *p);
  return crc;
}

uint32_t ZACrc32(const void* buffer, int32_t count) {
  return ~ZACrc32Update(buffer, count, ZA_CRC_START);
}

void ZAInitKeys(const AnsiString& password, TZAKeys& keys) {
  keys = {0x12345678, 0x23456789, 0x34567890};
  for (char c : password) UpdateKeys(keys, uint8_t(c));
}

void ZAEncryptBuffer(uint8_t* buffer, int32_t start, int32_t count, TZAKeys& keys) {
  for (int32_t i = start; i < start + count; ++i) {
    const uint8_t t = StreamByte(keys);
    UpdateKeys(keys, buffer[i]);
    buffer[i] ^= t;
  }
}

void ZAMakeEncryptionHeader(const AnsiString& password, uint32_t crc32,
                            uint8_t (&header)[ZA_ENCRYPTION_HEADER_SIZE], TZAKeys& keys) {
  std::mt19937 random(
      uint32_t(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < ZA_ENCRYPTION_HEADER_SIZE - 2; ++i) header[i] = uint8_t(byte(random));
  header[10] = uint8_t(crc32 >> 16);
  header[11] = uint8_t(crc32 >> 24);
  ZAInitKeys(password, keys);
  ZAEncryptBuffer(header, 0, ZA_ENCRYPTION_HEADER_SIZE, keys);
}
