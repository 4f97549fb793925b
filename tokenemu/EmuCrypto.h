// GOST R 34.10-2012 (256 bits, parameter set A) keys and signatures with
// Streebog-256, in the byte layouts of the token and of the request.
#pragma once

#include "tokenemu/EmuText.h"

// Once per load of the module, before any other call here.
bool EmuCryptoInit();

// privateKey: 32 bytes, big-endian. publicKey: 64 bytes, x then y, each
// little-endian (the token's and the request's layout).
bool GostGenerateKeyPair(TEmuBytes& privateKey, TEmuBytes& publicKey);

// Signs the Streebog-256 digest of data; signature: s then r, 32 bytes each,
// big-endian.
bool GostSign(const TEmuBytes& privateKey, const TEmuBytes& data, TEmuBytes& signature);
