// The PKCS#10 certificate request the token makes and signs.
#pragma once

#include <string>
#include <vector>

#include "tokenemu/EmuConfig.h"
#include "tokenemu/EmuText.h"

struct TEmuRequestKey {
  TEmuBytes PublicValue;   // 64 bytes, x then y, little-endian
  TEmuBytes KeyParams;     // DER OID of the GOST R 34.10 parameter set
  TEmuBytes DigestParams;  // DER OID of the GOST R 34.11 parameters
  TEmuBytes PrivateValue;  // 32 bytes, big-endian
};

// dn: attribute name then value; extensions: extension name then value.
// CKR_ARGUMENTS_BAD for a malformed name or value, CKR_FUNCTION_FAILED when
// signing fails.
CK_RV MakeCertRequest(const std::vector<std::string>& dn,
                      const std::vector<std::string>& extensions, const TEmuRequestKey& key,
                      TEmuBytes& request);

// The request in the configured output form.
TEmuBytes FormatCertRequest(const TEmuBytes& der, TEmuOutput output);
