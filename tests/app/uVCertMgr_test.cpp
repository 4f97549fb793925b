#include "app/uVCertMgr.h"

#include "common/qorStrings.h"
#include "rtl/AnsiText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

namespace {

using namespace std::string_literals;

AnsiString Fixture(const char* name) {
  AnsiString bytes;
  LoadFileAsString(AnsiString(KS_CERTS_DIR) + "/" + name, bytes);
  return bytes;
}

AnsiString Hex(const char* hex) {
  AnsiString bytes;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
    bytes += static_cast<char>(std::stoi(AnsiString(hex + i, 2), nullptr, 16));
  return bytes;
}

// The subject of legal.cer as the decoder writes it.
const AnsiString kLegalSubject =
    "CN=Иванов, Иван Иванович,O=ООО \"Ромашка=Лютик\",L=Москва,ST=77 г. Москва,"
    "OU=Отдел продаж,C=RU,T=Генеральный директор,SN=Иванов,GN=Иван Иванович,"
    "E=ivanov@romashka.test,INN=007707083893,RNS-FSS=7701234567,KP-FSS=770101,"
    "OGRN=1027700132195,SNILS=11223344595,streetAddress=ул. Тверская, д. 1, стр. 2,"
    "unstructuredName=INN=7707083893/КПП=773601001";

// The values of legal.cer's subject.
const struct {
  const char* key;
  const char* value;
} kLegalFields[] = {
    {"CN", "Иванов, Иван Иванович"},  // inner comma and blank
    {"O", "ООО \"Ромашка=Лютик\""},   // "=" inside the value
    {"L", "Москва"},
    {"GN", "Иван Иванович"},
    {"INN", "007707083893"},
    {"RNS-FSS", "7701234567"},
    {"SNILS", "11223344595"},
    {"streetAddress", "ул. Тверская, д. 1, стр. 2"},
    {"unstructuredName", "INN=7707083893/КПП=773601001"},
    {"OGRNIP", ""},  // absent
    {"inn", ""},     // keys are case-sensitive
    {"Москва", ""},  // a value is not a key
    {"", ""},
};

void ExpectLegalFields(const AnsiString& dn) {
  for (const auto& f : kLegalFields)
    EXPECT_EQ(TVCertMgr::GetDNAttribute(dn, f.key), f.value) << f.key;
}

TEST(GetDNAttribute, ReadsValuesWithInnerCommasAndEqualSigns) { ExpectLegalFields(kLegalSubject); }

TEST(GetDNAttribute, EdgeCasesOfTheFlatString) {
  const struct {
    const char* dn;
    const char* key;
    const char* value;
  } cases[] = {
      {"CN=a,INN=1,INN=2", "INN", "1"},  // the first occurrence wins
      {"CN=x, INN =5", "INN", "5"},      // blanks around the key
      {"CN=,INN=1", "CN", ""},
      {"CN=a=b=c", "CN", "a=b=c"},
      {"CN=a=b,INN=1", "INN", "1"},
      {"CN=x,unstructuredName=INN=1/КПП=2,E=a@b", "unstructuredName", "INN=1/КПП=2"},
      {"CN=x,unstructuredName=a,b", "unstructuredName", "a"},  // up to the first comma
      {"CN=x,1.2.840.113549.1.9.2=INN=1/КПП=2,E=a", "1.2.840.113549.1.9.2", "INN=1/КПП=2"},
      {"CN=x,E=a,b,c", "E", "a,b,c"},
      {"CN=\\xD0\\x9E\\xD0\\x9E\\xD0\\x9E \\xD0\\xA0\\xD0\\xBE\\xD0\\xB3,INN=1", "CN", "ООО Рог"},
      {"CN=Ab\\xD0\\x9Ec,INN=1", "CN", "AbОc"},
      {"", "CN", ""},
      {"no pairs here", "CN", ""},
      {",,,=,=", "CN", ""},
      // A key only counts at the start or after a comma, not inside a value.
      {"CN=x,unstructuredName=INN=7707083893/КПП=773601001", "INN", ""},
      {"CN=x,unstructuredName=INN=7707083893/КПП=773601001", "КПП", ""},
      {"CN=a INN=1", "INN", ""},
      {"INN=1", "INN", "1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TVCertMgr::GetDNAttribute(c.dn, c.key), c.value) << c.dn << " / " << c.key;
}

TEST(DecodeDNEscapes, DecodesUtf8BytesFromTheFirstEscapeOn) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"Иванов", "Иванов"},  // no escape: unchanged, not converted
      {"\\xD0\\x9E", "О"},
      {"x\\xd0\\x9ey", "xОy"},
      {"a\\x00b", "ab"},     // a zero byte is dropped
      {"a\\xZZb", "ab"},     // so is a pair that is not hexadecimal
      {"ab\\x4", "ab\\x4"},  // too short to be an escape
      {"ab\\x", "ab\\x"},
      {"ab\\xD0", "ab"},            // a cut sequence empties the decoded part
      {"ab\\x41Ж", "ab"},           // cp1251 after an escape is not UTF-8
      {"ab\\xC0\\xAC", "ab"},       // nor is an overlong ","
      {"ab\\xED\\xA0\\x80", "ab"},  // nor a surrogate
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TVCertMgr::DecodeDNEscapes(c.in), c.out) << c.in;
}

TEST(PemToDer, DecodesTheArmouredBodyAndPassesDerThrough) {
  const AnsiString der = Fixture("legal.cer");
  EXPECT_EQ(TVCertMgr::PemToDer(der), der);
  const AnsiString pem = Fixture("legal.pem");  // CR LF, blank lines around
  EXPECT_EQ(TVCertMgr::PemToDer(pem), der);
  // Text around the armour (a printed form, bag attributes) is not Base64.
  EXPECT_EQ(TVCertMgr::PemToDer("Certificate:\n  Subject: CN=abc\nBag Attributes\n" + pem +
                                "trailing words\n"),
            der);
  EXPECT_EQ(TVCertMgr::PemToDer("-----BEGIN CERTIFICATE-----\nAAEC\n"), "\x00\x01\x02"s);
  EXPECT_EQ(TVCertMgr::PemToDer("-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----"), "");
  EXPECT_EQ(TVCertMgr::PemToDer("plain text"), "plain text");
}

TEST(BytesToHex, WritesTheLastByteFirst) {
  EXPECT_EQ(TVCertMgr::BytesToHex("", false), "");
  EXPECT_EQ(TVCertMgr::BytesToHex("", true), "");
  EXPECT_EQ(TVCertMgr::BytesToHex(Hex("FF2A01"), false), "012AFF");
  EXPECT_EQ(TVCertMgr::BytesToHex(Hex("0A"), true), "0A");
  EXPECT_EQ(TVCertMgr::BytesToHex(Hex("DDCCBBAA"), true), "AABB CCDD");
  EXPECT_EQ(TVCertMgr::BytesToHex(Hex("EEDDCCBBAA"), true), "AABB CCDD EE");
  EXPECT_EQ(TVCertMgr::GroupHexPairs("012AFF", ':'), "01:2A:FF");
  EXPECT_EQ(TVCertMgr::GroupHexPairs("01", ':'), "01");
  EXPECT_EQ(TVCertMgr::GroupHexPairs("", ':'), "");
}

TEST(MakeDNString, WritesPresentAttributesInTheFixedOrder) {
  const std::map<AnsiString, AnsiString> name = {
      {"1.2.840.113549.1.9.2", "INN=7707083893/КПП=773601001"},
      {"1.2.643.100.3", "11223344595"},
      {"1.2.643.3.141.1.1", "7701234567"},
      {"1.2.643.3.131.1.1", "007707083893"},
      {"1.2.840.113549.1.9.1", "a@b.ru"},
      {"2.5.4.10", "ООО \"Ромашка, филиал\""},
      {"2.5.4.11", ""},  // empty values are left out
  };
  auto attribute = [&](const char* oid) {
    const auto found = name.find(oid);
    return found == name.end() ? AnsiString() : found->second;
  };
  // Commas, "=" and backslashes in values are escaped, and from the first
  // of them on so is every letter beyond ASCII (as UTF-8).
  EXPECT_EQ(TVCertMgr::MakeDNString("Иванов, Иван", false, attribute),
            "CN=Иванов\\x2C \\xD0\\x98\\xD0\\xB2\\xD0\\xB0\\xD0\\xBD,"
            "O=ООО \"Ромашка\\x2C \\xD1\\x84\\xD0\\xB8\\xD0\\xBB\\xD0\\xB8\\xD0\\xB0\\xD0\\xBB\","
            "E=a@b.ru,INN=007707083893,RNS-FSS=7701234567,SNILS=11223344595,"
            "unstructuredName=INN\\x3D7707083893/\\xD0\\x9A\\xD0\\x9F\\xD0\\x9F\\x3D773601001");
  // The issuer's string has no social-insurance numbers.
  EXPECT_EQ(TVCertMgr::MakeDNString("УЦ", true, attribute),
            "CN=УЦ,O=ООО \"Ромашка\\x2C \\xD1\\x84\\xD0\\xB8\\xD0\\xBB\\xD0\\xB8\\xD0\\xB0\\xD0\\xBB\","
            "E=a@b.ru,INN=007707083893,SNILS=11223344595,"
            "unstructuredName=INN\\x3D7707083893/\\xD0\\x9A\\xD0\\x9F\\xD0\\x9F\\x3D773601001");
  EXPECT_EQ(TVCertMgr::MakeDNString("", false, [](const char*) { return AnsiString(); }), "CN=");
}

TEST(MakeDNString, NoValueCanBeTakenForASeparatorOrAKey) {
  const char* values[] = {
      "Петров, INN=500100732259",  // a stranger's INN in the common name
      "a,b=c",
      "back\\slash \\x41 and \\xD0\\x9E",
      "=,\\",
      "ООО «Ромашка», ИНН=1",
      "plain Иванов",
  };
  for (const char* value : values) {
    SCOPED_TRACE(value);
    const AnsiString dn = TVCertMgr::MakeDNString(value, false, [&](const char* oid) {
      return AnsiString(std::strcmp(oid, "2.5.4.10") == 0 ? value : "");
    });
    EXPECT_EQ(TVCertMgr::GetDNAttribute(dn, "CN"), value);
    EXPECT_EQ(TVCertMgr::GetDNAttribute(dn, "O"), value);
    EXPECT_EQ(TVCertMgr::GetDNAttribute(dn, "INN"), "");
  }
}

TEST(CertDecodingSteps, TimesAsUnixSecondsBeyond2038) {
  constexpr uint64_t kEpoch = 116444736000000000ULL;
  EXPECT_EQ(TVCertMgr::FileTimeToUnix(kEpoch), 0);
  EXPECT_EQ(TVCertMgr::FileTimeToUnix(kEpoch + 1704067200ULL * 10000000 + 9999999), 1704067200);
  EXPECT_EQ(TVCertMgr::FileTimeToUnix(kEpoch + 2208988800ULL * 10000000), 2208988800);
  EXPECT_EQ(TVCertMgr::FileTimeToUnix(kEpoch - 86400ULL * 10000000), -86400);
}

TEST(CertDecodingSteps, KeyUsageFromTheFirstByte) {
  const struct {
    uint8_t bits;
    uint32_t usage;
  } cases[] = {{0x00, 0},  {0x80, 1},   {0x40, 2},
               {0x02, 64}, {0x01, 0},  // encipherOnly is not carried over
               {0xF0, 15}, {0xFF, 127}, {0x86, 0x61}};
  for (const auto& c : cases) EXPECT_EQ(TVCertMgr::MapKeyUsage(c.bits), c.usage) << int(c.bits);
}

TEST(CertDecodingSteps, PrivateKeyUsagePeriodReadsOnlyWholeElements) {
  const char* before = "800F32303234303130313030303030305A";  // [0] 20240101000000Z
  const char* after = "810F32303235303430313132303030305A";   // [1] 20250401120000Z
  const struct {
    AnsiString value;
    int64_t notBefore, notAfter;
  } cases[] = {
      {Hex(("3022"s + before + after).c_str()), 1704067200, 1743508800},
      {Hex(("3011"s + after).c_str()), 0, 1743508800},
      {Hex(("3011"s + before).c_str()) + "trailing", 1704067200, 0},
      {Hex("3005800F323032"), 0, 0},                    // [0] claims 15, holds 3
      {Hex(("3023"s + before + after).c_str()), 0, 0},  // the SEQUENCE claims too much
      {Hex(("3084FFFFFFF0"s + before).c_str()), 0, 0},
      {Hex(("3080"s + before + "0000").c_str()), 0, 0},       // indefinite length
      {Hex("300E800C323032343031303130303030"), 0, 0},        // 12 digits are too few
      {Hex("3011800F32303234313330313030303030305A"), 0, 0},  // month 13
      {Hex("3011800F32303234303130313030303058305A"), 0, 0},  // not a digit
      {Hex("3111800F32303234303130313030303030305A"), 0, 0},  // not a SEQUENCE
      {Hex("30"), 0, 0},
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    int64_t notBefore = -1, notAfter = -1;
    TVCertMgr::DecodePrivateKeyUsagePeriod(c.value, notBefore, notAfter);
    EXPECT_EQ(notBefore, c.notBefore) << TVCertMgr::BytesToHex(c.value, false);
    EXPECT_EQ(notAfter, c.notAfter) << TVCertMgr::BytesToHex(c.value, false);
  }
}

AnsiString Tlv(uint8_t tag, const AnsiString& content) {
  AnsiString tlv(1, static_cast<char>(tag));
  if (content.size() < 128) {
    tlv += static_cast<char>(content.size());
  } else {
    tlv += '\x82';
    tlv += static_cast<char>(content.size() >> 8);
    tlv += static_cast<char>(content.size() & 0xFF);
  }
  return tlv + content;
}

// otherName [0] { OID 2.5.4.x, [0] { value } }
AnsiString OtherName(uint8_t attribute, const AnsiString& value) {
  return Tlv(0xA0, Hex("06035504") + static_cast<char>(attribute) + Tlv(0xA0, value));
}

TEST(DecodeAltName, ReadsOnlyWholeStringValuesOfOtherNames) {
  const AnsiString longText(200, 'x');
  const struct {
    AnsiString value;
    AnsiString surname;
  } cases[] = {
      {Hex("0C03616263"), "abc"},
      {Hex("0C0DD09ED09ED09E20D0A0D0BED0B3"), "ООО Рог"},
      {Hex("1303616263"), "abc"},  // any string type
      {Hex("0C81C8") + longText, longText},
      {Hex("0C7F616263"), ""},  // claims 127, holds 3
      {Hex("0C847FFFFFFF61"), ""},
      {Hex("0C85"), ""},
      {Hex("0C80616263"), ""},  // indefinite length
      {Hex("0C"), ""},
      {"", ""},
      {Hex("0C01D0"), ""},  // a cut UTF-8 sequence
  };
  for (const auto& c : cases) {
    TCertAltName name;
    TVCertMgr::DecodeAltName(Tlv(0x30, OtherName(0x04, c.value)), name);
    EXPECT_EQ(name.Surname, c.surname) << TVCertMgr::BytesToHex(c.value, false);
  }
}

TEST(DecodeAltName, PicksTheFourKindsAndSkipsWhatIsMalformed) {
  const AnsiString abc = Hex("0C03616263"), xyz = Hex("0C0378797A");
  TCertAltName name;
  TVCertMgr::DecodeAltName(
      Tlv(0x30, Tlv(0x81, "a@b.ru") + OtherName(0x0A, abc) + OtherName(0x03, xyz) +
                    OtherName(0x1A, abc) + OtherName(0x0F, xyz) + OtherName(0x0A, xyz) +
                    OtherName(0x1A, Hex("0C7F61")) +                 // malformed: kept "abc"
                    Tlv(0xA0, Hex("0603550404") + abc) +             // value without [0]
                    Tlv(0xA0, Hex("0403550404") + Tlv(0xA0, abc))),  // type-id not an OID
      name);
  EXPECT_EQ(name.Organization, "xyz");  // the later one replaces the earlier
  EXPECT_EQ(name.RegisteredAddress, "abc");
  EXPECT_EQ(name.BusinessCategory, "xyz");
  EXPECT_EQ(name.Surname, "");

  // A name whose length runs past the end stops the list there.
  AnsiString cut = Tlv(0x30, OtherName(0x0A, abc) + Hex("A07F") + OtherName(0x04, abc));
  name = TCertAltName();
  TVCertMgr::DecodeAltName(cut, name);
  EXPECT_EQ(name.Organization, "abc");
  EXPECT_EQ(name.Surname, "");
  // Not a SEQUENCE, or one that claims more than there is: nothing.
  for (const AnsiString& bad : {Tlv(0x31, OtherName(0x0A, abc)),
                                Tlv(0x30, OtherName(0x0A, abc)).substr(0, 8), AnsiString()}) {
    name = TCertAltName();
    TVCertMgr::DecodeAltName(bad, name);
    EXPECT_EQ(name.Organization, "");
  }
}

TEST(CertDecodingSteps, ExtensionTailNeedsThirteenBytes) {
  EXPECT_EQ(TVCertMgr::ExtensionTail("0123456789AB"), "");
  EXPECT_EQ(TVCertMgr::ExtensionTail("\x16"
                                     "0123456789AB"),
            "0123456789AB");
  EXPECT_EQ(TVCertMgr::ExtensionTail(""), "");
}

#ifdef _WIN32

constexpr uint32_t kAllFields = 0xFFFFFFFF;

AnsiString HexOfFile(const char* name) { return Trim(Fixture(name)); }

TEST(DecodeCertInfo, LegalEntityFieldByField) {
  TCertInfo info;
  TVCertMgr::GetCertInfoFromDER(Fixture("legal.cer"), kAllFields, info);
  EXPECT_EQ(info.Flags, kAllFields);
  ExpectLegalFields(info.Subject);
  EXPECT_EQ(info.Issuer,
            "CN=Тестовый УЦ Keystall,O=ООО \"Тестовый УЦ Keystall\",L=Москва,ST=77 г. Москва,"
            "C=RU,E=ca@keystall.test,INN=007700000000,OGRN=1027700000001");
  EXPECT_EQ(info.SerialNumber, "01:2A:FF");
  EXPECT_EQ(info.SignatureAlgorithm, "1.2.643.7.1.1.3.2");
  EXPECT_EQ(info.NotBefore, 1704067200);
  EXPECT_EQ(info.NotAfter, 2208988800);  // past 2038
  EXPECT_EQ(info.KeyUsage, 15u);         // digitalSignature … dataEncipherment
  EXPECT_THAT(info.EnhancedKeyUsage,
              testing::ElementsAre("1.3.6.1.5.5.7.3.2", "1.3.6.1.5.5.7.3.4", "1.2.643.2.2.34.6"));
  EXPECT_THAT(info.Policies, testing::ElementsAre("1.2.643.100.113.1", "1.2.643.100.113.2"));
  EXPECT_EQ(info.SubjectAltName.Organization, "ООО Ромашка");
  EXPECT_EQ(info.SubjectAltName.RegisteredAddress, "г. Москва, ул. Тверская, д. 1");
  EXPECT_EQ(info.SubjectAltName.Surname, "Иванов");
  EXPECT_EQ(info.SubjectAltName.BusinessCategory, "Директор");
  // A later other name of the same kind replaces the earlier one.
  EXPECT_EQ(info.IssuerAltName.Organization, "ООО \"Тестовый УЦ Keystall\"");
  EXPECT_EQ(info.IssuerAltName.Surname, "");
  EXPECT_EQ(info.PrivateKeyNotBefore, 1704067200);
  EXPECT_EQ(info.PrivateKeyNotAfter, 1743508800);
  EXPECT_EQ(info.PrivateExtensionTail, "CA/ver.1.0.3");
  ASSERT_EQ(info.ThumbprintLength(), 20u) << "raw bytes, not text";
  EXPECT_EQ(
      TVCertMgr::BytesToHex(AnsiString(info.Thumbprint.rbegin(), info.Thumbprint.rend()), false),
      HexOfFile("legal.sha1"));

  TVCertMgr::FreeCertInfo(info);
  EXPECT_EQ(info.Flags, 0u);
  EXPECT_EQ(info.Subject, "");
  EXPECT_TRUE(info.EnhancedKeyUsage.empty());
}

TEST(DecodeCertInfo, FillsOnlyWhatIsAskedFor) {
  TCertInfo info;
  TVCertMgr::GetCertInfoFromDER(Fixture("legal.cer"), cifSubject, info);
  EXPECT_EQ(info.Flags, uint32_t{cifSubject});
  ExpectLegalFields(info.Subject);
  EXPECT_EQ(info.Issuer, "");
  EXPECT_EQ(info.NotBefore, 0);
  EXPECT_EQ(info.KeyUsage, 0u);
  EXPECT_TRUE(info.Policies.empty());
  EXPECT_EQ(info.Thumbprint, "");

  TVCertMgr::GetCertInfoFromDER(Fixture("legal.cer"), cifSubject | cifNotBefore | cifNotAfter,
                                info);
  EXPECT_EQ(info.NotBefore, 1704067200);
  EXPECT_EQ(info.NotAfter, 2208988800);
  // The private-key period comes with either of its bits.
  TVCertMgr::GetCertInfoFromDER(Fixture("legal.cer"), cifPrivateKeyNotAfter, info);
  EXPECT_EQ(info.PrivateKeyNotBefore, 1704067200);
  EXPECT_EQ(info.Subject, "");
}

TEST(DecodeCertInfo, EntrepreneurWithoutKeyUsageAndWithLongLists) {
  TCertInfo info;
  TVCertMgr::GetCertInfoFromDER(Fixture("entrepreneur.cer"), kAllFields, info);
  EXPECT_EQ(info.Subject,
            "CN=Петров Пётр Петрович,L=Подольск,C=RU,SN=Петров,GN=Пётр,E=petrov@example.test,"
            "INN=500100732259,OGRNIP=304500116000157,SNILS=11223344595");
  EXPECT_EQ(info.KeyUsage, 0u);  // no key-usage extension
  EXPECT_EQ(info.SerialNumber, "7F:01:02:03:04:05:06:07:08:09:0A:0B:0C:0D:0E:0F:10:11:12:13");
  EXPECT_EQ(info.NotBefore, 1709280000);
  EXPECT_EQ(info.NotAfter, 1740816000);
  // Lists longer than any fixed buffer arrive whole and in order.
  ASSERT_EQ(info.EnhancedKeyUsageCount(), 60u);
  EXPECT_EQ(info.EnhancedKeyUsage.front(), "1.3.6.1.5.5.7.3.2");
  EXPECT_EQ(info.EnhancedKeyUsage.back(), "1.2.643.6.3.1.59");
  ASSERT_EQ(info.PolicyCount(), 60u);
  EXPECT_EQ(info.Policies[1], "1.2.643.100.114.1");
  EXPECT_EQ(info.Policies.back(), "1.2.643.100.114.59");
  EXPECT_EQ(info.SubjectAltName.Organization, "");
  EXPECT_EQ(info.PrivateKeyNotBefore, 0);
  EXPECT_EQ(info.PrivateExtensionTail, "");
  EXPECT_EQ(TVCertMgr::GetDNAttribute(info.Subject, "OGRNIP"), "304500116000157");
  EXPECT_EQ(TVCertMgr::GetDNAttribute(info.Subject, "unstructuredName"), "");
}

TEST(DecodeCertInfo, PemAndDerGiveTheSameRecord) {
  TCertInfo fromDer, fromPem;
  TVCertMgr::GetCertInfoFromDER(Fixture("legal.cer"), kAllFields, fromDer);
  TVCertMgr::GetCertInfoFromDER(TVCertMgr::PemToDer(Fixture("legal.pem")), kAllFields, fromPem);
  EXPECT_EQ(fromPem.Subject, fromDer.Subject);
  EXPECT_EQ(fromPem.Thumbprint, fromDer.Thumbprint);
  EXPECT_EQ(fromPem.SerialNumber, fromDer.SerialNumber);
}

TEST(DecodeCertInfo, MalformedExtensionValuesAreSkipped) {
  TCertInfo info;
  TVCertMgr::GetCertInfoFromDER(Fixture("broken-ext.cer"), kAllFields, info);
  EXPECT_EQ(info.Subject, "CN=Сломанные расширения,INN=007707083893");
  EXPECT_EQ(info.PrivateKeyNotBefore, 0);
  EXPECT_EQ(info.PrivateKeyNotAfter, 0);
  EXPECT_EQ(info.PrivateExtensionTail, "");
  EXPECT_TRUE(info.EnhancedKeyUsage.empty());
  EXPECT_TRUE(info.Policies.empty());
  EXPECT_EQ(info.SubjectAltName.Surname, "");
  EXPECT_EQ(info.SubjectAltName.BusinessCategory, "");
}

TEST(DecodeCertInfo, BytesThatAreNotACertificateLeaveTheRecordEmpty) {
  const AnsiString der = Fixture("legal.cer");
  for (const AnsiString& bytes :
       {AnsiString(), "not a certificate"s, der.substr(0, der.size() / 2), Fixture("legal.pem")}) {
    TCertInfo info;
    info.Subject = "stale";
    TVCertMgr::GetCertInfoFromDER(bytes, kAllFields, info);
    EXPECT_EQ(info.Flags, 0u);
    EXPECT_EQ(info.Subject, "");
    TVCertMgr::FreeCertInfo(info);
  }
}

// Every cut of the certificates and a few thousand damaged copies: whatever
// the CryptoAPI accepts must decode without a crash.
TEST(DecodeCertInfo, DamagedCertificatesNeverCrash) {
  std::mt19937 random(20240101);
  int accepted = 0;
  for (const char* name : {"legal.cer", "entrepreneur.cer", "broken-ext.cer"}) {
    const AnsiString der = Fixture(name);
    auto decode = [&](const AnsiString& bytes) {
      TCertInfo info;
      TVCertMgr::GetCertInfoFromDER(bytes, kAllFields, info);
      if (info.Flags) ++accepted;
    };
    for (size_t size = 0; size < der.size(); ++size) decode(der.substr(0, size));
    for (int round = 0; round < 500; ++round) {
      AnsiString bytes = der;
      for (int k = std::uniform_int_distribution<int>(1, 4)(random); k > 0; --k) {
        const size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(random);
        bytes[at] = static_cast<char>(random());
      }
      decode(bytes);
    }
  }
  // Damage inside names and extension values keeps most certificates
  // readable: the decoding steps did run on damaged values.
  EXPECT_GT(accepted, 50);
}

#endif

}  // namespace
