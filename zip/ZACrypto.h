// ZIP CRC-32 and the traditional PKWARE encryption.
#pragma once

#include <cstdint>

#include "rtl/Types.h"

constexpr uint32_t ZA_CRC_START = 0xFFFFFFFF;

// Running CRC-32: a member's value starts at ZA_CRC_START and is complemented
// at the end. A null buffer or a count below 1 leaves it unchanged.
uint32_t ZACrc32Update(const void* buffer, int32_t count, uint32_t crc);

// CRC-32 of a whole block (start value and complement applied).
uint32_t ZACrc32(const void* buffer, int32_t count);

constexpr int ZA_ENCRYPTION_HEADER_SIZE = 12;

// The three keys of the traditional encryption.
struct TZAKeys {
  uint32_t Key0 = 0;
  uint32_t Key1 = 0;
  uint32_t Key2 = 0;
};

void ZAInitKeys(const AnsiString& password, TZAKeys& keys);

// Encrypts count bytes of buffer in place, from start on.
void ZAEncryptBuffer(uint8_t* buffer, int32_t start, int32_t count, TZAKeys& keys);

// The encrypted 12-byte header of a member: ten random bytes, then bits 16-23
// and 24-31 of the member's final CRC-32. Initialises keys from the password;
// the member's data is then encrypted with the same keys.
void ZAMakeEncryptionHeader(const AnsiString& password, uint32_t crc32,
                            uint8_t (&header)[ZA_ENCRYPTION_HEADER_SIZE], TZAKeys& keys);
