#pragma once
// Certificate decoding for the main form: the subject and issuer as flat
// distinguished-name strings with the Russian identifiers (INN, OGRN,
// SNILS …), validity, key usage, extended key usage, policies, alternative
// names and the SHA-1 thumbprint. The decoding itself goes through the
// platform's CryptoAPI (Windows build); the string and DER pieces are
// portable. A certificate file is untrusted input: nothing here raises or
// reads outside a value for bad certificate data.

#include "rtl/Types.h"

#include <functional>
#include <vector>

#ifdef _WIN32
struct _CERT_CONTEXT;
using PCCERT_CONTEXT = const _CERT_CONTEXT*;
#endif

// What DecodeCertInfo fills (bits 3, 4, 12, 16 and 19 to 31 ask for nothing).
enum TCertInfoFlag : uint32_t {
  cifSerialNumber = 0x1,
  cifIssuer = 0x2,
  cifSubject = 0x4,
  cifNotBefore = 0x20,
  cifNotAfter = 0x40,
  cifKeyUsage = 0x80,
  cifIssuerAltName = 0x100,
  cifSubjectAltName = 0x200,
  cifEnhancedKeyUsage = 0x400,
  cifPolicies = 0x800,
  cifPrivateKeyNotBefore = 0x2000,
  cifPrivateKeyNotAfter = 0x4000,
  cifPrivateExtensionTail = 0x8000,
  cifThumbprint = 0x20000,
  cifSignatureAlgorithm = 0x40000,
};

// Other names of an alternative-name extension, in the system code page.
struct TCertAltName {
  AnsiString Organization;       // 2.5.4.10
  AnsiString RegisteredAddress;  // 2.5.4.26
  AnsiString Surname;            // 2.5.4.4
  AnsiString BusinessCategory;   // 2.5.4.15
};

// Decoded fields; what was not asked for or not found stays empty or 0.
// Times are seconds since 1970-01-01 00:00 UTC.
struct TCertInfo {
  uint32_t Flags = 0;  // the request that filled the record
  AnsiString Issuer;
  AnsiString SerialNumber;  // "01:2A:FF", most significant byte first
  AnsiString Subject;
  AnsiString SignatureAlgorithm;  // dotted OID
  int64_t NotBefore = 0;
  int64_t NotAfter = 0;
  // Bit 0 digitalSignature … bit 6 cRLSign.
  uint32_t KeyUsage = 0;
  int64_t PrivateKeyNotBefore = 0;
  int64_t PrivateKeyNotAfter = 0;
  TCertAltName IssuerAltName;
  TCertAltName SubjectAltName;
  // The last 12 bytes of the extension 1.3.6.1.4.1.10244.4.3.
  AnsiString PrivateExtensionTail;
  std::vector<AnsiString> Policies;          // policy OIDs
  std::vector<AnsiString> EnhancedKeyUsage;  // usage OIDs, in the certificate's order
  AnsiString Thumbprint;                     // 20 raw bytes

  // The lengths a reader walks the lists and the hash by.
  uint32_t PolicyCount() const { return static_cast<uint32_t>(Policies.size()); }
  uint32_t EnhancedKeyUsageCount() const { return static_cast<uint32_t>(EnhancedKeyUsage.size()); }
  uint32_t ThumbprintLength() const { return static_cast<uint32_t>(Thumbprint.size()); }
};

class TVCertMgr {
 public:
  // Looks an attribute up in a distinguished-name string ("CN=…,INN=…"):
  // exact, case-sensitive key; the first occurrence wins; "" when absent.
  // A value runs to the comma before the next "key=", so it may hold commas
  // and "=" signs; "unstructuredName" runs to the first comma. Escapes are
  // decoded.
  static AnsiString GetDNAttribute(const AnsiString& DN, const AnsiString& Key);
  // "\xHH" escapes (UTF-8 bytes) from the first one on, converted to the
  // system code page; text without escapes is returned as it is.
  static AnsiString DecodeDNEscapes(const AnsiString& S);
  // The DER bytes of a PEM certificate; other input is returned as it is.
  static AnsiString PemToDer(const AnsiString& Text);
  // Two upper-case digits per byte, last byte first; Grouped puts a blank
  // after every second byte but the last.
  static AnsiString BytesToHex(const AnsiString& Blob, bool Grouped);
  static void FreeCertInfo(TCertInfo& Info);

  // The pieces of the decoder that need no CryptoAPI.

  // "CN=" + DisplayName, then ",key=value" for every attribute Attribute
  // finds (by OID), in a fixed order; the issuer's string leaves out the
  // social-insurance numbers.
  static AnsiString MakeDNString(const AnsiString& DisplayName, bool Issuer,
                                 const std::function<AnsiString(const char* Oid)>& Attribute);
  // Upper-case hex digits with Separator between the pairs ("01:2A:FF").
  static AnsiString GroupHexPairs(const AnsiString& Hex, char Separator);
  // A Windows file time (100 ns since 1601) as Unix seconds.
  static int64_t FileTimeToUnix(uint64_t FileTime);
  // The first byte of a key-usage bit string as KeyUsage bits.
  static uint32_t MapKeyUsage(uint8_t FirstByte);
  // The private-key usage period (2.5.29.16); a time that is absent or does
  // not parse gives 0.
  static void DecodePrivateKeyUsagePeriod(const AnsiString& Value, int64_t& NotBefore,
                                          int64_t& NotAfter);
  // The other names of an alternative-name extension (2.5.29.17, 2.5.29.18)
  // that TCertAltName carries; a later one replaces an earlier one of its
  // kind, a malformed one is skipped.
  static void DecodeAltName(const AnsiString& Value, TCertAltName& Name);
  // The last 12 bytes of a value of at least 13.
  static AnsiString ExtensionTail(const AnsiString& Value);

#ifdef _WIN32
  // Info is cleared first; bytes that are not a certificate leave it so.
  static void GetCertInfoFromDER(const AnsiString& Der, uint32_t Flags, TCertInfo& Info);
  static void GetCertInfoFromContext(PCCERT_CONTEXT Context, uint32_t Flags, TCertInfo& Info);
  static void DecodeCertInfo(PCCERT_CONTEXT Context, uint32_t Flags, TCertInfo& Info);
  // Null when the bytes are not a certificate; the caller frees the context
  // with CertFreeCertificateContext.
  static PCCERT_CONTEXT CertFromDER(const AnsiString& Der);
  static AnsiString CertSerialNumberHex(PCCERT_CONTEXT Context);
  // The raw SHA-1 hash; "" when it cannot be read.
  static AnsiString CertSHA1Hash(PCCERT_CONTEXT Context);
#endif
};
