// Text helpers shared by the emulator's state file, settings and journal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tokenlib/pkcs11types.h"

using TEmuBytes = std::vector<uint8_t>;

std::string EmuToHex(const uint8_t* data, size_t size);
inline std::string EmuToHex(const TEmuBytes& bytes) { return EmuToHex(bytes.data(), bytes.size()); }
// Upper- or lower-case pairs, nothing else.
bool EmuFromHex(std::string_view text, TEmuBytes& bytes);
// Decimal, or hex with a "0x" prefix; the whole text, no sign, in range.
bool EmuParseNumber(std::string_view text, CK_ULONG& value);
std::string_view EmuTrim(std::string_view text);
// Splits at every separator; an empty text gives one empty part.
std::vector<std::string_view> EmuSplit(std::string_view text, char separator);
