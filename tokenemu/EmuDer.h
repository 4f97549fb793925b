// DER encoding of the few ASN.1 types a certificate request needs.
#pragma once

#include <initializer_list>
#include <string_view>

#include "tokenemu/EmuText.h"

enum : uint8_t {
  kDerInteger = 0x02,
  kDerBitString = 0x03,
  kDerOctetString = 0x04,
  kDerOid = 0x06,
  kDerUtf8String = 0x0C,
  kDerNumericString = 0x12,
  kDerPrintableString = 0x13,
  kDerIa5String = 0x16,
  kDerSequence = 0x30,
  kDerSet = 0x31,
  kDerContext0 = 0xA0,
};

TEmuBytes DerTlv(uint8_t tag, const TEmuBytes& content);
TEmuBytes DerConcat(std::initializer_list<TEmuBytes> parts);
inline TEmuBytes DerSequence(std::initializer_list<TEmuBytes> items) {
  return DerTlv(kDerSequence, DerConcat(items));
}
// A BIT STRING of whole bytes (no unused bits).
TEmuBytes DerBitString(const TEmuBytes& bytes);
// The OID with its tag and length; false for a malformed dotted text.
bool DerOid(std::string_view dotted, TEmuBytes& oid);
