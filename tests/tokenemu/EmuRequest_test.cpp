// The certificate request the emulated token makes: its DER structure, the
// string types of the subject, the key and extensions, the output forms and
// the inputs it refuses.

#include <gmock/gmock.h>

#include "DerReader.h"
#include "EmuFixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

struct TRequest {
  TDer Info, SignAlgorithm, Signature;
  std::vector<TDer> InfoParts;  // version, subject, key info, attributes
};

TRequest Split(const TEmuBytes& der) {
  TRequest r;
  TDer whole;
  EXPECT_TRUE(TDer::Parse(der, whole));
  std::vector<TDer> top = whole.Children();
  EXPECT_EQ(whole.Tag, 0x30);
  if (top.size() != 3) {
    ADD_FAILURE() << "request has " << top.size() << " parts";
    return r;
  }
  r.Info = top[0];
  r.SignAlgorithm = top[1];
  r.Signature = top[2];
  r.InfoParts = r.Info.Children();
  EXPECT_EQ(r.InfoParts.size(), 4u);
  return r;
}

// The subject as (type OID, string tag, text) per RDN, in order.
std::vector<std::tuple<std::string, int, std::string>> Subject(const TDer& name) {
  std::vector<std::tuple<std::string, int, std::string>> result;
  for (const TDer& rdn : name.Children()) {
    EXPECT_EQ(rdn.Tag, 0x31);
    std::vector<TDer> atvs = rdn.Children();
    EXPECT_EQ(atvs.size(), 1u);
    std::vector<TDer> atv = atvs.at(0).Children();
    result.emplace_back(atv.at(0).Oid(), atv.at(1).Tag, atv.at(1).Text());
  }
  return result;
}

// The requested extensions: OID to the DER of the value.
std::vector<std::pair<std::string, TEmuBytes>> Extensions(const TDer& attributes) {
  std::vector<std::pair<std::string, TEmuBytes>> result;
  EXPECT_EQ(attributes.Tag, 0xA0);
  std::vector<TDer> list = attributes.Children();
  if (list.empty()) return result;
  EXPECT_EQ(list.size(), 1u);
  std::vector<TDer> attribute = list[0].Children();
  EXPECT_EQ(attribute.at(0).Oid(), "1.2.840.113549.1.9.14");
  std::vector<TDer> values = attribute.at(1).Children();
  EXPECT_EQ(values.size(), 1u);
  for (const TDer& extension : values.at(0).Children()) {
    std::vector<TDer> parts = extension.Children();
    EXPECT_EQ(parts.size(), 2u) << "no critical flag expected";
    EXPECT_EQ(parts.at(1).Tag, 0x04);
    result.emplace_back(parts.at(0).Oid(), parts.at(1).Content);
  }
  return result;
}

std::vector<std::string> Oids(const TEmuBytes& sequence) {
  TDer seq;
  EXPECT_TRUE(TDer::Parse(sequence, seq));
  std::vector<std::string> oids;
  for (const TDer& oid : seq.Children()) oids.push_back(oid.Oid());
  return oids;
}

TEmuBytes Hex(const std::string& text) {
  TEmuBytes bytes;
  EXPECT_TRUE(EmuFromHex(text, bytes));
  return bytes;
}

TEmuBytes Base64Decode(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  TEmuBytes out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    size_t value = kAlphabet.find(c);
    if (value == std::string::npos) continue;
    bits = bits << 6 | static_cast<uint32_t>(value);
    if ((count += 6) >= 8) {
      count -= 8;
      out.push_back(static_cast<uint8_t>(bits >> count));
    }
  }
  return out;
}

class EmuRequestTest : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    Session = OpenLoggedIn();
    ASSERT_EQ(GenerateKeyPair(Session, Keys), CKR_OK);
  }

  TEmuBytes Request(const std::vector<std::string>& dn,
                    const std::vector<std::string>& extensions) {
    TEmuBytes request;
    EXPECT_EQ(MakeRequest(Session, Keys, dn, extensions, request), CKR_OK);
    return request;
  }

  CK_SESSION_HANDLE Session = 0;
  TKeyPair Keys;
};

}  // namespace

TEST_F(EmuRequestTest, CarriesSubjectKeyExtensionsAndSignatureInTheirPlaces) {
  TRequest r = Split(Request(DefaultDn(), DefaultExtensions()));
  ASSERT_EQ(r.InfoParts.size(), 4u);
  EXPECT_EQ(r.InfoParts[0].Tag, 0x02);
  EXPECT_EQ(r.InfoParts[0].Content, TEmuBytes{0});

  EXPECT_THAT(Subject(r.InfoParts[1]),
              ElementsAre(std::make_tuple("2.5.4.3", 0x0C, Utf8(u8"ООО \"Ромашка\"")),
                          std::make_tuple("2.5.4.6", 0x13, "RU"),
                          std::make_tuple("1.2.643.3.131.1.1", 0x12, "007701234567"),
                          std::make_tuple("1.2.643.100.1", 0x12, "1027700132195"),
                          std::make_tuple("1.2.643.100.3", 0x12, "12345678901"),
                          std::make_tuple("1.2.840.113549.1.9.1", 0x16, "info@example.ru"),
                          std::make_tuple("2.5.4.7", 0x0C, Utf8(u8"г. Москва"))));

  std::vector<TDer> keyInfo = r.InfoParts[2].Children();
  ASSERT_EQ(keyInfo.size(), 2u);
  std::vector<TDer> algorithm = keyInfo[0].Children();
  ASSERT_EQ(algorithm.size(), 2u);
  EXPECT_EQ(algorithm[0].Oid(), "1.2.643.7.1.1.1.1");
  std::vector<TDer> params = algorithm[1].Children();
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[0].Oid(), "1.2.643.2.2.35.1");
  EXPECT_EQ(params[1].Oid(), "1.2.643.7.1.1.2.2");
  // BIT STRING without unused bits, holding the OCTET STRING of x and y as
  // the token keeps them.
  ASSERT_EQ(keyInfo[1].Tag, 0x03);
  ASSERT_EQ(keyInfo[1].Content.at(0), 0);
  TDer point;
  ASSERT_TRUE(
      TDer::Parse(TEmuBytes(keyInfo[1].Content.begin() + 1, keyInfo[1].Content.end()), point));
  EXPECT_EQ(point.Tag, 0x04);
  EXPECT_EQ(point.Content, *Token().FindObject(Keys.Public)->Find(CKA_VALUE));

  auto extensions = Extensions(r.InfoParts[3]);
  ASSERT_EQ(extensions.size(), 3u);
  EXPECT_EQ(extensions[0].first, "2.5.29.15");
  EXPECT_EQ(extensions[0].second, Hex("030204F0"));
  EXPECT_EQ(extensions[1].first, "2.5.29.37");
  EXPECT_THAT(Oids(extensions[1].second),
              ElementsAre("1.3.6.1.5.5.7.3.4", "1.3.6.1.5.5.7.3.2", "1.2.643.2.2.34.6",
                          "1.2.643.5.1.28.2", "1.2.643.5.1.28.3", "1.2.643.5.1.28.4",
                          "1.2.643.3.6.0.15", "1.2.643.3.6.78.4.5"));
  EXPECT_EQ(extensions[2].first, "2.5.29.32");
  EXPECT_EQ(extensions[2].second, Hex("3014300806062A8503647101300806062A8503647102"));

  std::vector<TDer> signAlgorithm = r.SignAlgorithm.Children();
  ASSERT_EQ(signAlgorithm.size(), 1u);
  EXPECT_EQ(signAlgorithm[0].Oid(), "1.2.643.7.1.1.3.2");
  EXPECT_EQ(r.Signature.Tag, 0x03);
  EXPECT_EQ(r.Signature.Content.size(), 65u);
  EXPECT_EQ(r.Signature.Content.at(0), 0);
}

TEST_F(EmuRequestTest, SubjectStringTypesFollowTheAttribute) {
  struct TCase {
    std::string Name, Value, Oid;
    int Tag;
  };
  const TCase cases[] = {
      {"CN", "Ivanov", "2.5.4.3", 0x0C},
      {"2.5.4.3", Utf8(u8"Иванов"), "2.5.4.3", 0x0C},
      {"C", "RU", "2.5.4.6", 0x13},
      {"2.5.4.6", "RU", "2.5.4.6", 0x13},
      {"1.2.643.3.131.1.1", "7701234567", "1.2.643.3.131.1.1", 0x12},
      {"1.2.643.100.1", "1027700132195", "1.2.643.100.1", 0x12},
      {"1.2.643.100.5", "304500116000157", "1.2.643.100.5", 0x12},
      {"1.2.643.100.3", "12345678901", "1.2.643.100.3", 0x12},
      {"1.2.840.113549.1.9.1", "a@b.ru", "1.2.840.113549.1.9.1", 0x16},
      {"2.5.4.10", Utf8(u8"ООО Ромашка"), "2.5.4.10", 0x0C},
      {"1.2.840.113549.1.9.2", Utf8(u8"КПП=770101001"), "1.2.840.113549.1.9.2", 0x0C},
  };
  std::vector<std::string> dn;
  for (const TCase& c : cases) dn.insert(dn.end(), {c.Name, c.Value});
  auto subject = Subject(Split(Request(dn, {})).InfoParts.at(1));
  ASSERT_EQ(subject.size(), std::size(cases));
  for (size_t i = 0; i < subject.size(); ++i) {
    SCOPED_TRACE(cases[i].Name);
    EXPECT_EQ(subject[i], std::make_tuple(cases[i].Oid, cases[i].Tag, cases[i].Value));
  }
}

TEST_F(EmuRequestTest, ExtensionsAreEncodedAsGiven) {
  struct TCase {
    std::vector<std::string> Extensions;
    std::vector<std::pair<std::string, std::string>> Expected;  // OID, hex of the value
  };
  const TCase cases[] = {
      {{}, {}},
      {{"keyUsage", "digitalSignature"}, {{"2.5.29.15", "03020780"}}},
      {{"keyUsage", "keyCertSign, cRLSign"}, {{"2.5.29.15", "03020106"}}},
      {{"keyUsage", "digitalSignature,decipherOnly"}, {{"2.5.29.15", "0303078080"}}},
      {{"extendedKeyUsage", "1.3.6.1.5.5.7.3.2"}, {{"2.5.29.37", "300A06082B06010505070302"}}},
      {{"2.5.29.32", "DER:3000", "keyUsage", "nonRepudiation"},
       {{"2.5.29.32", "3000"}, {"2.5.29.15", "03020640"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Extensions.empty() ? "none" : c.Extensions[0] + "=" + c.Extensions[1]);
    auto extensions = Extensions(Split(Request({"CN", "x"}, c.Extensions)).InfoParts.at(3));
    ASSERT_EQ(extensions.size(), c.Expected.size());
    for (size_t i = 0; i < extensions.size(); ++i) {
      EXPECT_EQ(extensions[i].first, c.Expected[i].first);
      EXPECT_EQ(extensions[i].second, Hex(c.Expected[i].second));
    }
  }
}

TEST_F(EmuRequestTest, PemOutputWrapsTheSameRequest) {
  struct TCase {
    const char* Settings;
    std::string LineEnd;
  };
  for (const TCase& c : {TCase{"output=pem-lf", "\n"}, TCase{"output=pem-crlf", "\r\n"}}) {
    SCOPED_TRACE(c.Settings);
    Configure(c.Settings);
    TEmuBytes request = Request(DefaultDn(), DefaultExtensions());
    std::string text(request.begin(), request.end());
    const std::string begin = "-----BEGIN CERTIFICATE REQUEST-----" + c.LineEnd;
    const std::string end = "-----END CERTIFICATE REQUEST-----" + c.LineEnd;
    ASSERT_EQ(text.compare(0, begin.size(), begin), 0);
    ASSERT_GE(text.size(), begin.size() + end.size());
    ASSERT_EQ(text.compare(text.size() - end.size(), end.size(), end), 0);
    std::string body = text.substr(begin.size(), text.size() - begin.size() - end.size());
    size_t lines = 0;
    for (size_t pos = 0; pos < body.size(); ++lines) {
      size_t eol = body.find(c.LineEnd, pos);
      ASSERT_NE(eol, std::string::npos);
      EXPECT_LE(eol - pos, 64u);
      EXPECT_EQ(body.substr(pos, eol - pos).find_first_of("\r\n"), std::string::npos);
      pos = eol + c.LineEnd.size();
    }
    EXPECT_GT(lines, 1u);
    TRequest r = Split(Base64Decode(body));
    EXPECT_EQ(Subject(r.InfoParts.at(1)).size(), 7u);
  }
}

TEST_F(EmuRequestTest, MalformedInputIsRefused) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Dn, Extensions;
  };
  const std::vector<std::string> dn{"CN", "x"}, ext{"keyUsage", "digitalSignature"};
  const TCase cases[] = {
      {"odd subject list", {"CN", "x", "C"}, ext},
      {"unknown short name", {"O", "x"}, ext},
      {"malformed OID", {"2.5..4", "x"}, ext},
      {"OID with a letter", {"2.5.4.x", "x"}, ext},
      {"letters in a numeric string", {"1.2.643.3.131.1.1", "77O1234567"}, ext},
      {"Cyrillic country", {"C", Utf8(u8"РФ")}, ext},
      {"Cyrillic e-mail", {"1.2.840.113549.1.9.1", Utf8(u8"я@b.ru")}, ext},
      {"invalid UTF-8", {"CN", "\xC0\xAF"}, ext},
      {"cp1251 text", {"CN", "\xCF\xF0\xE8\xE2\xE5\xF2"}, ext},
      {"odd extension list", dn, {"keyUsage"}},
      {"unknown extension name", dn, {"subjectAltName", "DNS:x"}},
      {"unknown key usage", dn, {"keyUsage", "digitalSignature,signEverything"}},
      {"empty key usage", dn, {"keyUsage", ""}},
      {"malformed usage OID", dn, {"extendedKeyUsage", "1.3.6.1.5.5.7.3.2,"}},
      {"raw value without DER:", dn, {"2.5.29.32", "3000"}},
      {"odd hex", dn, {"2.5.29.32", "DER:300"}},
      {"empty DER value", dn, {"2.5.29.32", "DER:"}},
      {"extension twice", dn, {"keyUsage", "digitalSignature", "2.5.29.15", "DER:03020780"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TEmuBytes request;
    EXPECT_EQ(MakeRequest(Session, Keys, c.Dn, c.Extensions, request), CKR_ARGUMENTS_BAD);
  }

  CK_BYTE_PTR buffer = nullptr;
  CK_ULONG size = 0;
  const char* one[] = {"CN", "x"};
  EXPECT_EQ(X->C_EX_CreateCertRequest(Session, Keys.Public, nullptr, 2, &buffer, &size,
                                      Keys.Private, nullptr, 0, nullptr, 0),
            CKR_ARGUMENTS_BAD);
  EXPECT_EQ(X->C_EX_CreateCertRequest(Session, Keys.Public, one, 2, nullptr, &size, Keys.Private,
                                      nullptr, 0, nullptr, 0),
            CKR_ARGUMENTS_BAD);
  // No further request attributes are taken.
  EXPECT_EQ(X->C_EX_CreateCertRequest(Session, Keys.Public, one, 2, &buffer, &size, Keys.Private,
                                      one, 2, nullptr, 0),
            CKR_ARGUMENTS_BAD);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(X->C_EX_CreateCertRequest(Session, Keys.Public, one, 2, &buffer, &size, Keys.Private,
                                      nullptr, 0, nullptr, 0),
            CKR_OK);
  EXPECT_EQ(X->C_EX_FreeBuffer(buffer), CKR_OK);
}

TEST_F(EmuRequestTest, KeysMustBeAPairMadeHere) {
  TKeyPair other;
  ASSERT_EQ(GenerateKeyPair(Session, other), CKR_OK);
  TEmuBytes request;
  const TKeyPair cases[] = {{Keys.Public, other.Private},  // keys of two pairs
                            {Keys.Private, Keys.Public},   // roles swapped
                            {Keys.Public, 99},
                            {0, Keys.Private}};
  for (const TKeyPair& keys : cases) {
    SCOPED_TRACE(std::to_string(keys.Public) + "/" + std::to_string(keys.Private));
    EXPECT_EQ(MakeRequest(Session, keys, request), CKR_KEY_HANDLE_INVALID);
  }
  EXPECT_EQ(MakeRequest(Session, other, request), CKR_OK);
  EXPECT_EQ(F->C_Logout(Session), CKR_OK);
  EXPECT_EQ(MakeRequest(Session, Keys, request), CKR_USER_NOT_LOGGED_IN);
}

TEST_F(EmuRequestTest, KeysMissingPartsInAnEditedStateFileAreRefused) {
  const CK_ATTRIBUTE_TYPE removed[] = {CKA_GOSTR3410_PARAMS, CKA_GOSTR3411_PARAMS, CKA_VALUE,
                                       kEmuAttrPairedPublic};
  const TEmuToken original = Token();
  for (CK_ATTRIBUTE_TYPE type : removed) {
    SCOPED_TRACE(type);
    TEmuToken edited = original;
    for (TEmuObject& object : edited.Objects) object.Attributes.erase(type);
    ASSERT_TRUE(SaveEmuToken(StateFile.string(), edited));
    F->C_Finalize(nullptr);
    Session = OpenLoggedIn();
    TEmuBytes request;
    EXPECT_EQ(MakeRequest(Session, Keys, request), CKR_KEY_HANDLE_INVALID);
  }
}
