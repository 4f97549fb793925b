#include "tokenemu/EmuRequest.h"

#include <set>

#include "tokenemu/EmuCrypto.h"
#include "tokenemu/EmuDer.h"

namespace {

constexpr const char* kOidGost2012Key256 = "1.2.643.7.1.1.1.1";
constexpr const char* kOidGost2012Sign256 = "1.2.643.7.1.1.3.2";
constexpr const char* kOidExtensionRequest = "1.2.840.113549.1.9.14";
constexpr const char* kOidKeyUsage = "2.5.29.15";
constexpr const char* kOidExtKeyUsage = "2.5.29.37";

struct TStringRule {
  const char* Oid;
  uint8_t Tag;
};

constexpr TStringRule kStringRules[] = {
    {"2.5.4.6", kDerPrintableString},          // country
    {"1.2.643.3.131.1.1", kDerNumericString},  // INN
    {"1.2.643.100.1", kDerNumericString},      // OGRN
    {"1.2.643.100.5", kDerNumericString},      // OGRNIP
    {"1.2.643.100.3", kDerNumericString},      // SNILS
    {"1.2.840.113549.1.9.1", kDerIa5String},   // e-mail
};

bool ValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
    if (extra == 4 || (extra && (c < 0xC2 || i + extra >= text.size()))) return false;
    uint32_t code = extra ? c & (0x3F >> extra) : c;
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
      return false;
    i += extra + 1;
  }
  return true;
}

bool FitsStringType(const std::string& value, uint8_t tag) {
  for (char ch : value) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (tag) {
      case kDerNumericString:
        if (!(c == ' ' || (c >= '0' && c <= '9'))) return false;
        break;
      case kDerPrintableString:
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              std::string_view(" '()+,-./:=?").find(static_cast<char>(c)) !=
                  std::string_view::npos))
          return false;
        break;
      case kDerIa5String:
        if (c >= 0x80) return false;
        break;
    }
  }
  return tag != kDerUtf8String || ValidUtf8(value);
}

bool EncodeSubject(const std::vector<std::string>& dn, TEmuBytes& subject) {
  if (dn.size() % 2) return false;
  TEmuBytes rdns;
  for (size_t i = 0; i < dn.size(); i += 2) {
    std::string oid = dn[i] == "CN" ? "2.5.4.3" : dn[i] == "C" ? "2.5.4.6" : dn[i];
    TEmuBytes type;
    if (!DerOid(oid, type)) return false;
    uint8_t tag = kDerUtf8String;
    for (const TStringRule& rule : kStringRules)
      if (oid == rule.Oid) tag = rule.Tag;
    const std::string& value = dn[i + 1];
    if (!FitsStringType(value, tag)) return false;
    TEmuBytes atv = DerSequence({type, DerTlv(tag, TEmuBytes(value.begin(), value.end()))});
    TEmuBytes rdn = DerTlv(kDerSet, atv);
    rdns.insert(rdns.end(), rdn.begin(), rdn.end());
  }
  subject = DerTlv(kDerSequence, rdns);
  return true;
}

bool EncodeKeyUsage(const std::string& value, TEmuBytes& extnValue) {
  static const char* const kBits[] = {"digitalSignature", "nonRepudiation", "keyEncipherment",
                                      "dataEncipherment", "keyAgreement",   "keyCertSign",
                                      "cRLSign",          "encipherOnly",   "decipherOnly"};
  uint8_t bytes[2] = {0, 0};
  int highest = -1;
  for (std::string_view item : EmuSplit(value, ',')) {
    item = EmuTrim(item);
    int bit = -1;
    for (int i = 0; i < 9; ++i)
      if (item == kBits[i]) bit = i;
    if (bit < 0) return false;
    bytes[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
    highest = std::max(highest, bit);
  }
  // DER: no trailing zero bits, the count of unused ones first.
  TEmuBytes content{static_cast<uint8_t>(7 - highest % 8), bytes[0]};
  if (highest >= 8) content.push_back(bytes[1]);
  extnValue = DerTlv(kDerBitString, content);
  return true;
}

bool EncodeExtKeyUsage(const std::string& value, TEmuBytes& extnValue) {
  TEmuBytes oids;
  for (std::string_view item : EmuSplit(value, ',')) {
    TEmuBytes oid;
    if (!DerOid(EmuTrim(item), oid)) return false;
    oids.insert(oids.end(), oid.begin(), oid.end());
  }
  extnValue = DerTlv(kDerSequence, oids);
  return true;
}

bool EncodeExtension(const std::string& name, const std::string& value, std::string& oid,
                     TEmuBytes& extension) {
  TEmuBytes extnValue;
  if (name == "keyUsage") {
    oid = kOidKeyUsage;
    if (!EncodeKeyUsage(value, extnValue)) return false;
  } else if (name == "extendedKeyUsage") {
    oid = kOidExtKeyUsage;
    if (!EncodeExtKeyUsage(value, extnValue)) return false;
  } else {
    // Any other extension comes ready-made: "DER:" and its value in hex.
    oid = name;
    if (value.compare(0, 4, "DER:") != 0 || value.size() == 4 ||
        !EmuFromHex(std::string_view(value).substr(4), extnValue))
      return false;
  }
  TEmuBytes id;
  if (!DerOid(oid, id)) return false;
  extension = DerSequence({id, DerTlv(kDerOctetString, extnValue)});
  return true;
}

bool EncodeAttributes(const std::vector<std::string>& extensions, TEmuBytes& attributes) {
  if (extensions.size() % 2) return false;
  if (extensions.empty()) {
    attributes = DerTlv(kDerContext0, {});
    return true;
  }
  TEmuBytes list;
  std::set<std::string> seen;
  for (size_t i = 0; i < extensions.size(); i += 2) {
    std::string oid;
    TEmuBytes extension;
    if (!EncodeExtension(extensions[i], extensions[i + 1], oid, extension)) return false;
    if (!seen.insert(oid).second) return false;  // an extension may appear once
    list.insert(list.end(), extension.begin(), extension.end());
  }
  TEmuBytes requestOid;
  DerOid(kOidExtensionRequest, requestOid);
  attributes =
      DerTlv(kDerContext0, DerSequence({requestOid, DerTlv(kDerSet, DerTlv(kDerSequence, list))}));
  return true;
}

}  // namespace

CK_RV MakeCertRequest(const std::vector<std::string>& dn,
                      const std::vector<std::string>& extensions, const TEmuRequestKey& key,
                      TEmuBytes& request) {
  TEmuBytes subject, attributes, keyAlgorithm, signAlgorithm;
  if (!EncodeSubject(dn, subject) || !EncodeAttributes(extensions, attributes))
    return CKR_ARGUMENTS_BAD;
  DerOid(kOidGost2012Key256, keyAlgorithm);
  DerOid(kOidGost2012Sign256, signAlgorithm);

  TEmuBytes spki =
      DerSequence({DerSequence({keyAlgorithm, DerSequence({key.KeyParams, key.DigestParams})}),
                   DerBitString(DerTlv(kDerOctetString, key.PublicValue))});
  TEmuBytes info = DerSequence({DerTlv(kDerInteger, {0}), subject, spki, attributes});
  TEmuBytes signature;
  if (!GostSign(key.PrivateValue, info, signature)) return CKR_FUNCTION_FAILED;
  request = DerSequence({info, DerSequence({signAlgorithm}), DerBitString(signature)});
  return CKR_OK;
}

namespace {

std::string Pem(const TEmuBytes& der, const std::string& eol) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text = "-----BEGIN CERTIFICATE REQUEST-----" + eol;
  std::string line;
  for (size_t i = 0; i < der.size(); i += 3) {
    uint32_t chunk = static_cast<uint32_t>(der[i]) << 16;
    if (i + 1 < der.size()) chunk |= static_cast<uint32_t>(der[i + 1]) << 8;
    if (i + 2 < der.size()) chunk |= der[i + 2];
    line += kAlphabet[chunk >> 18 & 63];
    line += kAlphabet[chunk >> 12 & 63];
    line += i + 1 < der.size() ? kAlphabet[chunk >> 6 & 63] : '=';
    line += i + 2 < der.size() ? kAlphabet[chunk & 63] : '=';
    if (line.size() == 64 || i + 3 >= der.size()) {
      text += line + eol;
      line.clear();
    }
  }
  return text + "-----END CERTIFICATE REQUEST-----" + eol;
}

}  // namespace

TEmuBytes FormatCertRequest(const TEmuBytes& der, TEmuOutput output) {
  const std::string kText = "this is not a certificate request";
  std::string text;
  switch (output) {
    case TEmuOutput::Der:
      return der;
    case TEmuOutput::PemLf:
      text = Pem(der, "\n");
      break;
    case TEmuOutput::PemCrLf:
      text = Pem(der, "\r\n");
      break;
    case TEmuOutput::PemLead:
      text = "\xEF\xBB\xBF \r\n" + Pem(der, "\r\n");
      break;
    case TEmuOutput::PemNotDer:
      text = Pem(TEmuBytes(kText.begin(), kText.end()), "\n");
      break;
    case TEmuOutput::Garbage:
      text = kText;
      break;
    case TEmuOutput::Empty:
      break;
  }
  return TEmuBytes(text.begin(), text.end());
}
