// The CryptoAPI side of the certificate decoder.

#include "app/uVCertMgr.h"

#include <windows.h>
#include <wincrypt.h>

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

AnsiString BlobBytes(const BYTE* data, DWORD size) {
  return size && data ? AnsiString(reinterpret_cast<const char*>(data), size) : AnsiString();
}

// CertGetNameStringA with a buffer of the size it asks for.
AnsiString NameString(PCCERT_CONTEXT context, DWORD type, bool issuer, const void* typePara) {
  const DWORD flags = issuer ? CERT_NAME_ISSUER_FLAG : 0;
  const DWORD size =
      CertGetNameStringA(context, type, flags, const_cast<void*>(typePara), nullptr, 0);
  if (size <= 1) return AnsiString();
  AnsiString text(size, '\0');
  const DWORD written =
      CertGetNameStringA(context, type, flags, const_cast<void*>(typePara), text.data(), size);
  text.resize(written > 0 ? written - 1 : 0);
  return text;
}

AnsiString DNString(PCCERT_CONTEXT context, bool issuer) {
  return TVCertMgr::MakeDNString(
      NameString(context, CERT_NAME_SIMPLE_DISPLAY_TYPE, issuer, nullptr), issuer,
      [&](const char* oid) { return NameString(context, CERT_NAME_ATTR_TYPE, issuer, oid); });
}

PCERT_EXTENSION FindCertExtension(PCCERT_CONTEXT context, const char* oid) {
  return CertFindExtension(oid, context->pCertInfo->cExtension, context->pCertInfo->rgExtension);
}

AnsiString ExtensionValue(PCCERT_CONTEXT context, const char* oid) {
  const PCERT_EXTENSION extension = FindCertExtension(context, oid);
  return extension ? BlobBytes(extension->Value.pbData, extension->Value.cbData) : AnsiString();
}

// An extension decoded by its OID into a buffer of the size the decoder
// asks for; null when it is absent or does not decode. The structure's
// pointers point into the buffer.
class TDecodedExtension {
 public:
  TDecodedExtension(PCCERT_CONTEXT context, const char* oid) {
    const PCERT_EXTENSION extension = FindCertExtension(context, oid);
    DWORD size = 0;
    if (!extension || !CryptDecodeObject(kEncoding, oid, extension->Value.pbData,
                                         extension->Value.cbData, 0, nullptr, &size))
      return;
    buffer_.resize(size / sizeof(uint64_t) + 1);
    if (CryptDecodeObject(kEncoding, oid, extension->Value.pbData, extension->Value.cbData, 0,
                          buffer_.data(), &size))
      decoded_ = true;
  }
  template <typename T>
  const T* As() const {
    return decoded_ ? reinterpret_cast<const T*>(buffer_.data()) : nullptr;
  }

 private:
  std::vector<uint64_t> buffer_;  // aligned for the structure
  bool decoded_ = false;
};

}  // namespace

void TVCertMgr::GetCertInfoFromDER(const AnsiString& Der, uint32_t Flags, TCertInfo& Info) {
  FreeCertInfo(Info);
  const PCCERT_CONTEXT context = CertFromDER(Der);
  if (!context) return;
  DecodeCertInfo(context, Flags, Info);
  CertFreeCertificateContext(context);
}

void TVCertMgr::GetCertInfoFromContext(PCCERT_CONTEXT Context, uint32_t Flags, TCertInfo& Info) {
  DecodeCertInfo(Context, Flags, Info);
}

void TVCertMgr::DecodeCertInfo(PCCERT_CONTEXT Context, uint32_t Flags, TCertInfo& Info) {
  FreeCertInfo(Info);
  if (!Context) return;
  Info.Flags = Flags;
  const CERT_INFO& cert = *Context->pCertInfo;

  if (Flags & cifSerialNumber) Info.SerialNumber = GroupHexPairs(CertSerialNumberHex(Context), ':');
  auto fileTime = [](const FILETIME& t) {
    return FileTimeToUnix(static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime);
  };
  if (Flags & cifNotBefore) Info.NotBefore = fileTime(cert.NotBefore);
  if (Flags & cifNotAfter) Info.NotAfter = fileTime(cert.NotAfter);
  if (Flags & cifSubject) Info.Subject = DNString(Context, false);
  if (Flags & cifIssuer) Info.Issuer = DNString(Context, true);
  if (Flags & cifThumbprint) Info.Thumbprint = CertSHA1Hash(Context);
  if (Flags & cifPrivateExtensionTail)
    Info.PrivateExtensionTail = ExtensionTail(ExtensionValue(Context, "1.3.6.1.4.1.10244.4.3"));
  if (Flags & (cifPrivateKeyNotBefore | cifPrivateKeyNotAfter))
    DecodePrivateKeyUsagePeriod(ExtensionValue(Context, szOID_PRIVATEKEY_USAGE_PERIOD),
                                Info.PrivateKeyNotBefore, Info.PrivateKeyNotAfter);
  if (Flags & cifEnhancedKeyUsage) {
    const TDecodedExtension decoded(Context, szOID_ENHANCED_KEY_USAGE);
    if (const auto* usage = decoded.As<CERT_ENHKEY_USAGE>())
      Info.EnhancedKeyUsage.assign(usage->rgpszUsageIdentifier,
                                   usage->rgpszUsageIdentifier + usage->cUsageIdentifier);
  }
  if (Flags & cifKeyUsage) {
    BYTE usage[4] = {};
    if (CertGetIntendedKeyUsage(kEncoding, Context->pCertInfo, usage, sizeof usage))
      Info.KeyUsage = MapKeyUsage(usage[0]);
  }
  if ((Flags & cifSignatureAlgorithm) && cert.SignatureAlgorithm.pszObjId)
    Info.SignatureAlgorithm = cert.SignatureAlgorithm.pszObjId;
  if (Flags & cifPolicies) {
    const TDecodedExtension decoded(Context, szOID_CERT_POLICIES);
    if (const auto* policies = decoded.As<CERT_POLICIES_INFO>())
      for (DWORD i = 0; i < policies->cPolicyInfo; ++i)
        Info.Policies.push_back(policies->rgPolicyInfo[i].pszPolicyIdentifier);
  }
  // Alternative names are read by our own DER reader: Wine's CryptoAPI
  // refuses the whole extension when it holds an other name.
  if (Flags & cifSubjectAltName)
    DecodeAltName(ExtensionValue(Context, szOID_SUBJECT_ALT_NAME2), Info.SubjectAltName);
  if (Flags & cifIssuerAltName)
    DecodeAltName(ExtensionValue(Context, szOID_ISSUER_ALT_NAME2), Info.IssuerAltName);
}

PCCERT_CONTEXT TVCertMgr::CertFromDER(const AnsiString& Der) {
  if (Der.empty()) return nullptr;
  return CertCreateCertificateContext(kEncoding, reinterpret_cast<const BYTE*>(Der.data()),
                                      static_cast<DWORD>(Der.size()));
}

AnsiString TVCertMgr::CertSerialNumberHex(PCCERT_CONTEXT Context) {
  const CRYPT_INTEGER_BLOB& serial = Context->pCertInfo->SerialNumber;
  return BytesToHex(BlobBytes(serial.pbData, serial.cbData), false);
}

AnsiString TVCertMgr::CertSHA1Hash(PCCERT_CONTEXT Context) {
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(Context, CERT_SHA1_HASH_PROP_ID, nullptr, &size) || !size)
    return AnsiString();
  AnsiString hash(size, '\0');
  if (!CertGetCertificateContextProperty(Context, CERT_SHA1_HASH_PROP_ID, hash.data(), &size))
    return AnsiString();
  hash.resize(size);
  return hash;
}
