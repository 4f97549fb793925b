#include "app/uVCertMgr.h"

#include "app/uBase64.h"
#include "app/uDerReader.h"
#include "common/uutf8.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

#include <cstring>

namespace {

constexpr size_t npos = AnsiString::npos;

// The attributes of a distinguished-name string, in the order written.
struct TDNKey {
  const char* key;
  const char* oid;
  bool inIssuer;
};
constexpr TDNKey kDNKeys[] = {
    {"O", "2.5.4.10", true},
    {"L", "2.5.4.7", true},
    {"ST", "2.5.4.8", true},
    {"OU", "2.5.4.11", true},
    {"C", "2.5.4.6", true},
    {"T", "2.5.4.12", true},
    {"SN", "2.5.4.4", true},
    {"GN", "2.5.4.42", true},
    {"E", "1.2.840.113549.1.9.1", true},
    {"INN", "1.2.643.3.131.1.1", true},
    {"RNS-FSS", "1.2.643.3.141.1.1", false},
    {"KP-FSS", "1.2.643.3.141.1.2", false},
    {"OGRN", "1.2.643.100.1", true},
    {"OGRNIP", "1.2.643.100.5", true},
    {"SNILS", "1.2.643.100.3", true},
    {"streetAddress", "2.5.4.9", true},
    {"unstructuredName", "1.2.840.113549.1.9.2", true},
};

// Where a value starting at `from` ends: at the comma that introduces the
// next "key=". An "=" with no comma before it belongs to the value.
size_t ValueEnd(const AnsiString& dn, size_t from) {
  size_t lastComma = npos;
  for (size_t i = from; i < dn.size(); ++i) {
    if (dn[i] == ',')
      lastComma = i;
    else if (dn[i] == '=' && lastComma != npos)
      return lastComma;
  }
  return dn.size();
}

// A value as the flat string carries it. From the first character that
// could be read as a separator or a key on, the value is written as
// DecodeDNEscapes reads it: those characters and every non-ASCII one as
// "\xHH" escapes of their UTF-8 bytes.
AnsiString EscapeDNValue(const AnsiString& value) {
  const size_t first = value.find_first_of(",=\\");
  if (first == npos) return value;
  static const char kDigits[] = "0123456789ABCDEF";
  AnsiString escaped = value.substr(0, first);
  for (const char c : WideToUtf8(AnsiToWide(value.substr(first)))) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80 && c != ',' && c != '=' && c != '\\') {
      escaped += c;
    } else {
      escaped += "\\x";
      escaped += kDigits[byte >> 4];
      escaped += kDigits[byte & 0x0F];
    }
  }
  return escaped;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The elements of the SEQUENCE that `value` holds; none when it does not
// hold a whole one.
TDerReader SequenceIn(const AnsiString& value) {
  TDerReader outer(value);
  uint8_t tag;
  const uint8_t* content;
  size_t length;
  if (outer.Next(tag, content, length) && tag == 0x30) return TDerReader(content, length);
  return TDerReader(nullptr, 0);
}

// YYYYMMDDhhmmss at the start of a GeneralizedTime (UTC); 0 when it does
// not parse.
int64_t GeneralizedTimeToUnix(const uint8_t* text, size_t length) {
  if (length < 14) return 0;
  int digits[14];
  for (int i = 0; i < 14; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    digits[i] = text[i] - '0';
  }
  auto number = [&](int at, int count) {
    int n = 0;
    for (int i = at; i < at + count; ++i) n = n * 10 + digits[i];
    return n;
  };
  TDateTime date, time;
  if (!TryEncodeDate(number(0, 4), number(4, 2), number(6, 2), date) ||
      !TryEncodeTime(number(8, 2), number(10, 2), number(12, 2), 0, time))
    return 0;
  return DateTimeToUnix(date + time);
}

}  // namespace

AnsiString TVCertMgr::GetDNAttribute(const AnsiString& DN, const AnsiString& Key) {
  size_t rest = 0;
  while (rest < DN.size()) {
    const size_t eq = DN.find('=', rest);
    if (eq == npos) break;
    size_t keyStart = eq;
    while (keyStart > rest && DN[keyStart - 1] != ',') --keyStart;
    const bool separated = keyStart == 0 || DN[keyStart - 1] == ',';
    const AnsiString candidate = Trim(DN.substr(keyStart, eq - keyStart));
    rest = eq + 1;
    // An "=" inside a value ("unstructuredName=INN=…") does not make a key.
    if (!separated || candidate != Key) continue;
    size_t end;
    if (Key == "unstructuredName" || Key == "1.2.840.113549.1.9.2") {
      // It carries "INN=…/КПП=…" and is written last.
      end = DN.find(',', rest);
      if (end == npos) end = DN.size();
    } else {
      end = ValueEnd(DN, rest);
    }
    return DecodeDNEscapes(DN.substr(rest, end - rest));
  }
  return AnsiString();
}

AnsiString TVCertMgr::DecodeDNEscapes(const AnsiString& S) {
  const size_t first = S.find("\\x");
  if (first == npos) return S;
  AnsiString bytes;
  for (size_t i = first; i < S.size();) {
    if (S.compare(i, 2, "\\x") == 0 && i + 4 <= S.size()) {
      const int high = HexDigit(S[i + 2]), low = HexDigit(S[i + 3]);
      if (high >= 0 && low >= 0 && (high | low) != 0) bytes += static_cast<char>(high << 4 | low);
      i += 4;
    } else {
      bytes += S[i++];
    }
  }
  return S.substr(0, first) + Utf8ToAnsi(bytes);
}

AnsiString TVCertMgr::PemToDer(const AnsiString& Text) {
  if (Text.find("BEGIN CERTIFICATE") == npos) return Text;
  // Only the body between the armour lines: text around it (a printed
  // form of the certificate, attributes) is not Base64.
  AnsiString body;
  bool inside = false;
  for (size_t start = 0; start < Text.size();) {
    size_t end = Text.find_first_of("\r\n", start);
    if (end == npos) end = Text.size();
    const AnsiString line = Text.substr(start, end - start);
    start = end + 1;
    if (line.find("BEGIN CERTIFICATE") != npos) {
      inside = true;
    } else if (line.find("END CERTIFICATE") != npos) {
      if (inside) break;
    } else if (inside) {
      body += line;
    }
  }
  return DecodeBase64(body);
}

AnsiString TVCertMgr::BytesToHex(const AnsiString& Blob, bool Grouped) {
  static const char kDigits[] = "0123456789ABCDEF";
  AnsiString hex;
  size_t written = 0;
  for (size_t i = Blob.size(); i-- > 0;) {
    const auto byte = static_cast<uint8_t>(Blob[i]);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
    if (Grouped && ++written % 2 == 0 && i > 0) hex += ' ';
  }
  return hex;
}

void TVCertMgr::FreeCertInfo(TCertInfo& Info) { Info = TCertInfo(); }

AnsiString TVCertMgr::MakeDNString(const AnsiString& DisplayName, bool Issuer,
                                   const std::function<AnsiString(const char* Oid)>& Attribute) {
  AnsiString dn = "CN=" + EscapeDNValue(DisplayName);
  for (const TDNKey& k : kDNKeys) {
    if (Issuer && !k.inIssuer) continue;
    const AnsiString value = Attribute(k.oid);
    if (!value.empty()) dn += AnsiString(",") + k.key + "=" + EscapeDNValue(value);
  }
  return dn;
}

AnsiString TVCertMgr::GroupHexPairs(const AnsiString& Hex, char Separator) {
  AnsiString grouped;
  for (size_t i = 0; i < Hex.size(); ++i) {
    grouped += Hex[i];
    if (i % 2 == 1 && i + 1 < Hex.size()) grouped += Separator;
  }
  return grouped;
}

int64_t TVCertMgr::FileTimeToUnix(uint64_t FileTime) {
  return (static_cast<int64_t>(FileTime) - 116444736000000000LL) / 10000000;
}

uint32_t TVCertMgr::MapKeyUsage(uint8_t FirstByte) {
  // digitalSignature is the bit string's first (highest) bit; encipherOnly,
  // the lowest, is not carried over.
  uint32_t usage = 0;
  for (int bit = 0; bit < 7; ++bit)
    if (FirstByte & (0x80 >> bit)) usage |= 1u << bit;
  return usage;
}

void TVCertMgr::DecodePrivateKeyUsagePeriod(const AnsiString& Value, int64_t& NotBefore,
                                            int64_t& NotAfter) {
  NotBefore = NotAfter = 0;
  // SEQUENCE { notBefore [0] GeneralizedTime OPTIONAL, notAfter [1] … }
  TDerReader times = SequenceIn(Value);
  uint8_t tag;
  const uint8_t* content;
  size_t length;
  while (times.Next(tag, content, length)) {
    if (tag == 0x80) NotBefore = GeneralizedTimeToUnix(content, length);
    if (tag == 0x81) NotAfter = GeneralizedTimeToUnix(content, length);
  }
}

void TVCertMgr::DecodeAltName(const AnsiString& Value, TCertAltName& Name) {
  // The other names we read, by the content bytes of their OIDs.
  static const struct {
    const char* oid;
    AnsiString TCertAltName::*field;
  } kFields[] = {{"\x55\x04\x0A", &TCertAltName::Organization},
                 {"\x55\x04\x1A", &TCertAltName::RegisteredAddress},
                 {"\x55\x04\x04", &TCertAltName::Surname},
                 {"\x55\x04\x0F", &TCertAltName::BusinessCategory}};
  TDerReader names = SequenceIn(Value);
  uint8_t tag;
  const uint8_t* content;
  size_t length;
  while (names.Next(tag, content, length)) {
    if (tag != 0xA0) continue;  // otherName [0] { type-id OID, value [0] EXPLICIT ANY }
    TDerReader otherName(content, length);
    const uint8_t *oid, *value, *text;
    size_t oidLength, valueLength, textLength;
    uint8_t valueTag, textTag;
    if (!otherName.Next(tag, oid, oidLength) || tag != 0x06 ||
        !otherName.Next(valueTag, value, valueLength) || valueTag != 0xA0)
      continue;
    TDerReader inner(value, valueLength);
    if (!inner.Next(textTag, text, textLength)) continue;
    for (const auto& f : kFields)
      if (oidLength == 3 && std::memcmp(oid, f.oid, 3) == 0)
        Name.*f.field = Utf8ToAnsi(AnsiString(reinterpret_cast<const char*>(text), textLength));
  }
}

AnsiString TVCertMgr::ExtensionTail(const AnsiString& Value) {
  return Value.size() >= 13 ? Value.substr(Value.size() - 12) : AnsiString();
}
