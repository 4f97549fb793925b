// libFuzzer target: the certificate decoder's string and DER pieces on any
// bytes, as a distinguished-name string, a PEM file or an extension value.
#include "app/uVCertMgr.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const AnsiString input(reinterpret_cast<const char*>(data), size);
  // Up to the first zero: a key to look up; the rest: the string.
  const size_t zero = input.find('\0');
  const AnsiString key = zero == AnsiString::npos ? AnsiString("CN") : input.substr(0, zero);
  const AnsiString dn = zero == AnsiString::npos ? input : input.substr(zero + 1);
  for (const char* k : {"CN", "INN", "O", "unstructuredName"}) TVCertMgr::GetDNAttribute(dn, k);
  TVCertMgr::GetDNAttribute(dn, key);
  TVCertMgr::DecodeDNEscapes(input);
  TVCertMgr::PemToDer(input);
  if (TVCertMgr::BytesToHex(input, false).size() != 2 * size) std::abort();
  TVCertMgr::GroupHexPairs(TVCertMgr::BytesToHex(input, true), ':');

  int64_t notBefore, notAfter;
  TVCertMgr::DecodePrivateKeyUsagePeriod(input, notBefore, notAfter);
  TCertAltName name;
  TVCertMgr::DecodeAltName(input, name);
  TVCertMgr::ExtensionTail(input);
  return 0;
}
