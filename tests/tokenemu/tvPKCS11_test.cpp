// The emulated PKCS#11 module: function lists, slots, sessions, login, key
// pairs, certificates, its state file, injected failures and the journal.

#include <gmock/gmock.h>

#include <cstddef>
#include <cstring>
#include <functional>

#include "EmuFixture.h"
#include "EmuTestOs.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

// The entry pointers of a function list from `first` on, read without
// assuming alignment (the lists are packed in the Windows build).
std::vector<void*> Entries(const void* list, size_t first, size_t count) {
  std::vector<void*> entries(count);
  const auto* bytes = static_cast<const unsigned char*>(list) + first;
  for (size_t i = 0; i < count; ++i)
    std::memcpy(&entries[i], bytes + i * sizeof(void*), sizeof(void*));
  return entries;
}

CK_ULONG Number(const TEmuObject& object, CK_ATTRIBUTE_TYPE type) {
  CK_ULONG value = ~0UL;
  EXPECT_TRUE(object.Number(type, value)) << "attribute 0x" << std::hex << type;
  return value;
}

std::string Bytes(const TEmuObject& object, CK_ATTRIBUTE_TYPE type) {
  const TEmuBytes* value = object.Find(type);
  return value ? std::string(value->begin(), value->end()) : "<none>";
}

}  // namespace

TEST_F(EmuTest, FunctionListsHaveEveryEntryAndRefuseWhatIsNotOffered) {
  EXPECT_EQ(F->version.major, 2);
  EXPECT_EQ(F->version.minor, 20);
  for (void* entry : Entries(F, offsetof(CK_FUNCTION_LIST, C_Initialize), 68))
    EXPECT_NE(entry, nullptr);
  EXPECT_EQ(sizeof(CK_FUNCTION_LIST),
            offsetof(CK_FUNCTION_LIST, C_Initialize) + 68 * sizeof(void*));
  for (void* entry : Entries(X, offsetof(CK_FUNCTION_LIST_EXTENDED, reserved1), 11))
    EXPECT_NE(entry, nullptr);
  EXPECT_EQ(offsetof(CK_FUNCTION_LIST_EXTENDED, C_EX_CreateCertRequest),
            offsetof(CK_FUNCTION_LIST_EXTENDED, reserved1) + 9 * sizeof(void*));

  EXPECT_EQ(F->C_GetInfo(nullptr), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(F->C_GetTokenInfo(1, nullptr), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(F->C_FindObjectsInit(1, nullptr, 0), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(F->C_Encrypt(1, nullptr, 0, nullptr, nullptr), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(F->C_Sign(1, nullptr, 0, nullptr, nullptr), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(F->C_WaitForSlotEvent(0, nullptr, nullptr), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(X->reserved1(), CKR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(LastCall("C_Encrypt"), "C_Encrypt(...) -> CKR_FUNCTION_NOT_SUPPORTED");
}

TEST_F(EmuTest, CallsNeedAnInitializedModule) {
  CK_ULONG count = 0;
  EXPECT_EQ(F->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_CRYPTOKI_NOT_INITIALIZED);
  EXPECT_EQ(F->C_Finalize(nullptr), CKR_CRYPTOKI_NOT_INITIALIZED);
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  EXPECT_EQ(F->C_Initialize(nullptr), CKR_CRYPTOKI_ALREADY_INITIALIZED);
  int reserved = 0;
  EXPECT_EQ(F->C_Finalize(&reserved), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(F->C_Finalize(nullptr), CKR_OK);
  EXPECT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &count),
            CKR_CRYPTOKI_NOT_INITIALIZED);
}

TEST_F(EmuTest, SlotListFollowsSettingsAndTheTwoCallProtocol) {
  struct TCase {
    const char* Settings;
    CK_BBOOL TokenPresent;
    std::vector<CK_SLOT_ID> Slots;
  };
  const TCase cases[] = {
      {"", CK_TRUE, {1}},
      {"slots=3; token=2", CK_TRUE, {2}},
      {"slots=3; token=2", CK_FALSE, {1, 2, 3}},
      {"token=0", CK_TRUE, {}},
      {"token=0", CK_FALSE, {1}},
      {"slots=0", CK_FALSE, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Settings) + (c.TokenPresent ? " present" : " all"));
    Configure(c.Settings);
    ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
    CK_ULONG count = 99;
    ASSERT_EQ(F->C_GetSlotList(c.TokenPresent, nullptr, &count), CKR_OK);
    ASSERT_EQ(count, c.Slots.size());
    std::vector<CK_SLOT_ID> slots(count + 1, 0);
    if (count) {
      CK_ULONG small = count - 1;
      EXPECT_EQ(F->C_GetSlotList(c.TokenPresent, slots.data(), &small), CKR_BUFFER_TOO_SMALL);
      EXPECT_EQ(small, count);
    }
    ASSERT_EQ(F->C_GetSlotList(c.TokenPresent, slots.data(), &count), CKR_OK);
    slots.resize(count);
    EXPECT_EQ(slots, c.Slots);
    EXPECT_EQ(F->C_Finalize(nullptr), CKR_OK);
  }
}

TEST_F(EmuTest, MechanismListFollowsSettings) {
  auto mechanisms = [&](CK_SLOT_ID slot, CK_RV expected) {
    CK_ULONG count = 0;
    EXPECT_EQ(F->C_GetMechanismList(slot, nullptr, &count), expected);
    std::vector<CK_MECHANISM_TYPE> list(count);
    if (count) {
      EXPECT_EQ(F->C_GetMechanismList(slot, list.data(), &count), CKR_OK);
    }
    return list;
  };
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  EXPECT_THAT(mechanisms(1, CKR_OK), ElementsAre(0x1200, 0x1201, 0x1202, 0x1210));
  F->C_Finalize(nullptr);

  Configure("slots=2; mechanisms=0x1201, 4608");
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  EXPECT_THAT(mechanisms(1, CKR_OK), ElementsAre(0x1201, 0x1200));
  mechanisms(2, CKR_TOKEN_NOT_PRESENT);
  mechanisms(3, CKR_SLOT_ID_INVALID);
  F->C_Finalize(nullptr);

  Configure("mechanisms=");
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  EXPECT_THAT(mechanisms(1, CKR_OK), IsEmpty());
}

TEST_F(EmuTest, SessionsNeedATokenAndSerialFlag) {
  Configure("slots=2");
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  CK_SESSION_HANDLE session = 0;
  EXPECT_EQ(F->C_OpenSession(1, CKF_RW_SESSION, nullptr, nullptr, &session),
            CKR_SESSION_PARALLEL_NOT_SUPPORTED);
  EXPECT_EQ(F->C_OpenSession(2, CKF_SERIAL_SESSION, nullptr, nullptr, &session),
            CKR_TOKEN_NOT_PRESENT);
  EXPECT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, nullptr), CKR_ARGUMENTS_BAD);
  ASSERT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  EXPECT_EQ(F->C_CloseSession(session), CKR_OK);
  EXPECT_EQ(F->C_CloseSession(session), CKR_SESSION_HANDLE_INVALID);
}

TEST_F(EmuTest, LoginChecksThePinAndLastsWhileSessionsAreOpen) {
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  CK_SESSION_HANDLE session = 0;
  ASSERT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
            CKR_OK);
  EXPECT_EQ(Login(session, "4071538"), CKR_PIN_INCORRECT);
  EXPECT_EQ(Login(session, "407153820"), CKR_PIN_INCORRECT);
  EXPECT_EQ(F->C_Login(session, CKU_SO, nullptr, 0), CKR_USER_TYPE_INVALID);
  EXPECT_EQ(F->C_Login(session, CKU_USER, nullptr, 8), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(Login(session, kFactoryPin), CKR_OK);
  EXPECT_EQ(Login(session, kFactoryPin), CKR_USER_ALREADY_LOGGED_IN);
  EXPECT_EQ(F->C_Logout(session), CKR_OK);
  EXPECT_EQ(F->C_Logout(session), CKR_USER_NOT_LOGGED_IN);

  // The login ends with the last session.
  EXPECT_EQ(Login(session, kFactoryPin), CKR_OK);
  EXPECT_EQ(F->C_CloseSession(session), CKR_OK);
  ASSERT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  EXPECT_EQ(F->C_Logout(session), CKR_USER_NOT_LOGGED_IN);
  F->C_Finalize(nullptr);

  Configure("pin=5931");
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  ASSERT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  EXPECT_EQ(Login(session, kFactoryPin), CKR_PIN_INCORRECT);
  EXPECT_EQ(Login(session, "5931"), CKR_OK);

  // No PIN text in the journal, only its length.
  EXPECT_THAT(LastCall("C_Login"), "C_Login(hSession=1, userType=1, ulPinLen=4) -> CKR_OK");
  for (const std::string& line : Journal()) {
    EXPECT_THAT(line, Not(HasSubstr("5931")));
    EXPECT_THAT(line, Not(HasSubstr(kFactoryPin)));
  }
}

TEST_F(EmuTest, KeyPairFromMorvelTemplatesLandsOnTheToken) {
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair keys;
  ASSERT_EQ(GenerateKeyPair(session, keys), CKR_OK);
  EXPECT_NE(keys.Public, keys.Private);
  EXPECT_FALSE(std::filesystem::exists(StateFile.string() + ".new"));

  TEmuToken token = Token();
  ASSERT_EQ(token.Objects.size(), 2u);
  const TEmuObject* pub = token.FindObject(keys.Public);
  const TEmuObject* priv = token.FindObject(keys.Private);
  ASSERT_TRUE(pub && priv);
  EXPECT_EQ(Number(*pub, CKA_CLASS), CKO_PUBLIC_KEY);
  EXPECT_EQ(Number(*priv, CKA_CLASS), CKO_PRIVATE_KEY);
  for (const TEmuObject* key : {pub, priv}) {
    EXPECT_EQ(Number(*key, CKA_KEY_TYPE), CKK_GOSTR3410);
    EXPECT_EQ(Bytes(*key, CKA_LABEL), "7701234567");
    EXPECT_EQ(Bytes(*key, CKA_ID), "7701234567");
    EXPECT_TRUE(key->Flag(CKA_TOKEN));
    EXPECT_EQ(*key->Find(CKA_GOSTR3410_PARAMS), kParamSetA);
    EXPECT_EQ(*key->Find(CKA_GOSTR3411_PARAMS), kDigest256);
  }
  EXPECT_FALSE(pub->Flag(CKA_PRIVATE));
  EXPECT_TRUE(priv->Flag(CKA_PRIVATE));
  EXPECT_TRUE(priv->Flag(CKA_DERIVE));
  EXPECT_TRUE(priv->Flag(CKA_SENSITIVE));
  EXPECT_EQ(pub->Find(CKA_VALUE)->size(), 64u);
  EXPECT_EQ(priv->Find(CKA_VALUE)->size(), 32u);

  EXPECT_EQ(LastCall("C_GenerateKeyPair"),
            "C_GenerateKeyPair(hSession=1, mechanism=0x1200, ulParameterLen=0, "
            "pPublicKeyTemplate=[CKA_CLASS=0x2, CKA_LABEL=\"7701234567\", CKA_ID=\"7701234567\", "
            "CKA_KEY_TYPE=0x30, CKA_TOKEN=1, CKA_PRIVATE=0, "
            "CKA_GOSTR3410_PARAMS=06072A850302022301, CKA_GOSTR3411_PARAMS=06082A85030701010202], "
            "ulPublicKeyAttributeCount=8, "
            "pPrivateKeyTemplate=[CKA_CLASS=0x3, CKA_LABEL=\"7701234567\", CKA_ID=\"7701234567\", "
            "CKA_KEY_TYPE=0x30, CKA_TOKEN=1, CKA_PRIVATE=1, CKA_DERIVE=1, "
            "CKA_GOSTR3410_PARAMS=06072A850302022301, CKA_GOSTR3411_PARAMS=06082A85030701010202], "
            "ulPrivateKeyAttributeCount=9) -> CKR_OK hPublicKey=1 hPrivateKey=2");
}

TEST_F(EmuTest, KeyPairRequestsOutsideWhatMorvelSendsAreRefused) {
  static const TEmuBytes kParamSetB{0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x02};
  static const CK_ULONG kWide = 1, kOtherType = CKK_GOSTR3411, kPrivateClass = CKO_PRIVATE_KEY;
  static const CK_BBOOL kFalse = CK_FALSE;
  static CK_BYTE parameter = 0;
  auto set = [](std::vector<CK_ATTRIBUTE>& t, CK_ATTRIBUTE_TYPE type, const void* value,
                size_t size) {
    for (CK_ATTRIBUTE& a : t)
      if (a.type == type) a = {type, const_cast<void*>(value), static_cast<CK_ULONG>(size)};
  };
  struct TCase {
    const char* Name;
    std::function<void(TKeyTemplates&, CK_MECHANISM&)> Change;
    CK_RV Expected;
  };
  const TCase cases[] = {
      {"other mechanism", [](TKeyTemplates&, CK_MECHANISM& m) { m.mechanism = CKM_GOSTR3410; },
       CKR_MECHANISM_INVALID},
      {"mechanism parameter",
       [](TKeyTemplates&, CK_MECHANISM& m) {
         m = {CKM_GOSTR3410_KEY_PAIR_GEN, &parameter, 1};
       },
       CKR_MECHANISM_PARAM_INVALID},
      {"extra attribute",
       [](TKeyTemplates& t, CK_MECHANISM&) {
         t.Public.push_back({CKA_VERIFY, (void*)&kFalse, 1});
       },
       CKR_ATTRIBUTE_TYPE_INVALID},
      {"repeated attribute",
       [](TKeyTemplates& t, CK_MECHANISM&) { t.Private.push_back(t.Private[2]); },
       CKR_TEMPLATE_INCONSISTENT},
      {"public class of a private key",
       [&](TKeyTemplates& t, CK_MECHANISM&) {
         set(t.Public, CKA_CLASS, &kPrivateClass, sizeof(CK_ULONG));
       },
       CKR_TEMPLATE_INCONSISTENT},
      {"other key type",
       [&](TKeyTemplates& t, CK_MECHANISM&) {
         set(t.Private, CKA_KEY_TYPE, &kOtherType, sizeof(CK_ULONG));
       },
       CKR_TEMPLATE_INCONSISTENT},
      {"other curve",
       [&](TKeyTemplates& t, CK_MECHANISM&) {
         set(t.Public, CKA_GOSTR3410_PARAMS, kParamSetB.data(), kParamSetB.size());
       },
       CKR_ATTRIBUTE_VALUE_INVALID},
      {"no curve",
       [](TKeyTemplates& t, CK_MECHANISM&) {
         t.Public.pop_back();
         t.Public.pop_back();
       },
       CKR_TEMPLATE_INCOMPLETE},
      {"session key",
       [&](TKeyTemplates& t, CK_MECHANISM&) { set(t.Private, CKA_TOKEN, &kFalse, 1); },
       CKR_ATTRIBUTE_VALUE_INVALID},
      {"flag of four bytes",
       [&](TKeyTemplates& t, CK_MECHANISM&) { set(t.Private, CKA_DERIVE, &kWide, 4); },
       CKR_ATTRIBUTE_VALUE_INVALID},
  };
  CK_SESSION_HANDLE session = OpenLoggedIn();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TKeyTemplates t;
    CK_MECHANISM mechanism{CKM_GOSTR3410_KEY_PAIR_GEN, nullptr, 0};
    c.Change(t, mechanism);
    CK_OBJECT_HANDLE pub = 0, priv = 0;
    EXPECT_EQ(F->C_GenerateKeyPair(session, &mechanism, t.Public.data(),
                                   static_cast<CK_ULONG>(t.Public.size()), t.Private.data(),
                                   static_cast<CK_ULONG>(t.Private.size()), &pub, &priv),
              c.Expected);
    EXPECT_EQ(pub, 0u);
  }
  TKeyPair keys;
  EXPECT_EQ(F->C_Logout(session), CKR_OK);
  EXPECT_EQ(GenerateKeyPair(session, keys), CKR_USER_NOT_LOGGED_IN);
  CK_SESSION_HANDLE readOnly = 0;
  ASSERT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &readOnly), CKR_OK);
  EXPECT_EQ(Login(readOnly, kFactoryPin), CKR_OK);
  EXPECT_EQ(GenerateKeyPair(readOnly, keys), CKR_SESSION_READ_ONLY);
  F->C_Finalize(nullptr);

  // A token whose mechanism list lacks the generation refuses it too.
  Configure("mechanisms=0x1201");
  session = OpenLoggedIn();
  EXPECT_EQ(GenerateKeyPair(session, keys), CKR_MECHANISM_INVALID);
  EXPECT_FALSE(std::filesystem::exists(StateFile));
}

TEST_F(EmuTest, CertificateObjectIsStoredAsGiven) {
  CK_SESSION_HANDLE session = OpenLoggedIn();
  const std::string cert("\x30\x03\x02\x01\x07", 5), id = "7701234567-770101001";
  CK_OBJECT_CLASS certClass = CKO_CERTIFICATE, dataClass = CKO_DATA;
  CK_CERTIFICATE_TYPE certType = CKC_X_509;
  CK_ULONG category = CK_CERTIFICATE_CATEGORY_TOKEN_USER;
  CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
  std::vector<CK_ATTRIBUTE> t = {
      {CKA_VALUE, const_cast<char*>(cert.data()), static_cast<CK_ULONG>(cert.size())},
      {CKA_CLASS, &certClass, sizeof certClass},
      {CKA_ID, const_cast<char*>(id.data()), static_cast<CK_ULONG>(id.size())},
      {CKA_TOKEN, &yes, 1},
      {CKA_PRIVATE, &no, 1},
      {CKA_CERTIFICATE_TYPE, &certType, sizeof certType},
      {CKA_CERTIFICATE_CATEGORY, &category, sizeof category}};
  CK_OBJECT_HANDLE object = 0;
  ASSERT_EQ(F->C_CreateObject(session, t.data(), 7, &object), CKR_OK);

  TEmuToken token = Token();
  ASSERT_EQ(token.Objects.size(), 1u);
  const TEmuObject& stored = token.Objects[0];
  EXPECT_EQ(stored.Handle, object);
  EXPECT_EQ(stored.Attributes.size(), 7u);
  EXPECT_EQ(Bytes(stored, CKA_VALUE), cert);
  EXPECT_EQ(Number(stored, CKA_CLASS), CKO_CERTIFICATE);
  EXPECT_EQ(Bytes(stored, CKA_ID), id);
  EXPECT_TRUE(stored.Flag(CKA_TOKEN));
  EXPECT_FALSE(stored.Flag(CKA_PRIVATE));
  EXPECT_EQ(Number(stored, CKA_CERTIFICATE_TYPE), CKC_X_509);
  EXPECT_EQ(Number(stored, CKA_CERTIFICATE_CATEGORY), 1u);
  EXPECT_THAT(LastCall("C_CreateObject"),
              HasSubstr("pTemplate=[CKA_VALUE=3003020107, CKA_CLASS=0x1, "
                        "CKA_ID=\"7701234567-770101001\", CKA_TOKEN=1, CKA_PRIVATE=0, "
                        "CKA_CERTIFICATE_TYPE=0x0, CKA_CERTIFICATE_CATEGORY=0x1], ulCount=7) "
                        "-> CKR_OK hObject=1"));

  // Other objects, and certificates without their value, are refused.
  t[1].pValue = &dataClass;
  EXPECT_EQ(F->C_CreateObject(session, t.data(), 7, &object), CKR_ATTRIBUTE_VALUE_INVALID);
  t[1].pValue = &certClass;
  EXPECT_EQ(F->C_CreateObject(session, t.data() + 1, 6, &object), CKR_TEMPLATE_INCOMPLETE);
  EXPECT_EQ(Token().Objects.size(), 1u);
}

TEST_F(EmuTest, TokenSurvivesUnloadingTheModule) {
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair first;
  ASSERT_EQ(GenerateKeyPair(session, first), CKR_OK);
  ASSERT_EQ(F->C_Finalize(nullptr), CKR_OK);
  Unload();
  Load();

  // The key made before signs after; new objects get new handles.
  session = OpenLoggedIn();
  TEmuBytes request;
  EXPECT_EQ(MakeRequest(session, first, request), CKR_OK);
  TKeyPair second;
  ASSERT_EQ(GenerateKeyPair(session, second), CKR_OK);
  EXPECT_EQ(second.Public, 3u);
  EXPECT_EQ(second.Private, 4u);
  EXPECT_EQ(Token().Objects.size(), 4u);
}

TEST_F(EmuTest, WithoutAStatePathTheTokenLivesBesideTheModule) {
  // A copy of the module in the test's folder, so the default lands there.
  Unload();
  const std::filesystem::path copy = Dir / TVEMU_MODULE_NAME;
  std::filesystem::copy_file(TVEMU_MODULE_PATH, copy);
  SetProcessEnv("TVEMU_STATE", "");
  void* module = LoadEmuModule(copy.string().c_str());
  ASSERT_NE(module, nullptr);
  auto getList = reinterpret_cast<CK_C_GetFunctionList>(FindEmuExport(module, "C_GetFunctionList"));
  ASSERT_EQ(getList(&F), CKR_OK);
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair keys;
  EXPECT_EQ(GenerateKeyPair(session, keys), CKR_OK);
  EXPECT_EQ(F->C_Finalize(nullptr), CKR_OK);
  F = nullptr;
  FreeEmuModule(module);
  EXPECT_TRUE(std::filesystem::exists(Dir / "tvPKCS11.token"));
}

TEST_F(EmuTest, CorruptStateFileGivesDeviceErrorAndStaysAsItWas) {
  const std::string good = "tvemu-token 1\npin 3430373135333832\nnext 2\nobject 1\n0x0 u 1\nend\n";
  const std::string cases[] = {
      "",
      "\x01\x02garbage\xff",
      "tvemu-token 1\npin 3430373135333832\nnext 2\nobject 1\n0x0 u 1\n",  // cut short
      "tvemu-token 2\npin 3430373135333832\nnext 2\nend\n",
      "tvemu-token 1\npin 34303G\nnext 2\nend\n",
      "tvemu-token 1\npin 3430373135333832\nnext 2\nobject 1\nobject 1\nend\n",
      "tvemu-token 1\npin 3430373135333832\nnext 2\n0x0 u 1\nend\n",
      "tvemu-token 1\npin 3430373135333832\nnext 2\nobject 1\n0x0 b 1\nend\n",
      "tvemu-token 1\npin 3430373135333832\nnext 2\nobject 1\n0x0 u 99999999999999999999999\nend\n",
      "tvemu-token 1\npin 3430373135333832\nnext 1\nobject 1\nend\n",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    WriteFile(StateFile, text);
    ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
    CK_SESSION_HANDLE session = 0;
    EXPECT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
              CKR_DEVICE_ERROR);
    EXPECT_EQ(F->C_Finalize(nullptr), CKR_OK);
    EXPECT_EQ(ReadFile(StateFile), text);
  }
  // The same lines, well formed, load.
  WriteFile(StateFile, good);
  CK_SESSION_HANDLE session = OpenLoggedIn();
  EXPECT_NE(session, 0u);

  // A state path that cannot be read as a file is no fresh token either.
  F->C_Finalize(nullptr);
  std::filesystem::remove(StateFile);
  std::filesystem::create_directory(StateFile);
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  EXPECT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_DEVICE_ERROR);
}

TEST_F(EmuTest, StateThatCannotBeWrittenLeavesNoKeys) {
  SetProcessEnv("TVEMU_STATE", (Dir / "missing" / "token.state").string());
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair keys;
  EXPECT_EQ(GenerateKeyPair(session, keys), CKR_DEVICE_ERROR);
  EXPECT_EQ(keys.Public, 0u);
  TEmuBytes request;
  EXPECT_EQ(MakeRequest(session, TKeyPair{1, 2}, request), CKR_KEY_HANDLE_INVALID);
  EXPECT_FALSE(std::filesystem::exists(Dir / "missing"));
}

TEST_F(EmuTest, InjectedFailuresHitTheChosenCall) {
  Configure("fail=C_GetSlotList#2:CKR_FUNCTION_FAILED; fail=C_Login:0xA4");
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  CK_ULONG count = 0;
  CK_SLOT_ID slot = 0;
  EXPECT_EQ(F->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK);
  EXPECT_EQ(F->C_GetSlotList(CK_TRUE, &slot, &count), CKR_FUNCTION_FAILED);
  EXPECT_EQ(slot, 0u);
  EXPECT_EQ(F->C_GetSlotList(CK_TRUE, &slot, &count), CKR_OK);
  EXPECT_EQ(LastCall("C_GetSlotList"),
            "C_GetSlotList(tokenPresent=1, pSlotList=ptr, count=1) -> CKR_OK count=1");
  EXPECT_EQ(
      Journal()[Journal().size() - 2],
      "C_GetSlotList(tokenPresent=1, pSlotList=ptr, count=1) -> CKR_FUNCTION_FAILED injected");

  // Every login fails, with the right PIN too, and logs nobody in.
  CK_SESSION_HANDLE session = 0;
  ASSERT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
            CKR_OK);
  EXPECT_EQ(Login(session, kFactoryPin), CKR_PIN_LOCKED);
  EXPECT_EQ(Login(session, kFactoryPin), CKR_PIN_LOCKED);
  TKeyPair keys;
  EXPECT_EQ(GenerateKeyPair(session, keys), CKR_USER_NOT_LOGGED_IN);

  // Fetching the function list starts the counts afresh.
  CK_FUNCTION_LIST* list = nullptr;
  ASSERT_EQ(F->C_GetFunctionList(&list), CKR_OK);
  EXPECT_EQ(F->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK);
  EXPECT_EQ(F->C_GetSlotList(CK_TRUE, &slot, &count), CKR_FUNCTION_FAILED);
}

TEST_F(EmuTest, InjectedFailureOfTheRequestLeavesNoBuffer) {
  CK_SESSION_HANDLE session = OpenLoggedIn();
  TKeyPair keys;
  ASSERT_EQ(GenerateKeyPair(session, keys), CKR_OK);
  Configure("fail=C_EX_CreateCertRequest:CKR_DEVICE_ERROR; fail=C_Initialize:5");
  TEmuBytes request;
  EXPECT_EQ(MakeRequest(session, keys, request), CKR_DEVICE_ERROR);
  EXPECT_EQ(F->C_Finalize(nullptr), CKR_OK);
  EXPECT_EQ(LastCall("C_Finalize"), "C_Finalize(pReserved=NULL) -> CKR_OK outstandingBuffers=0");
  EXPECT_EQ(F->C_Initialize(nullptr), CKR_GENERAL_ERROR);
  CK_ULONG count = 0;
  EXPECT_EQ(F->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_CRYPTOKI_NOT_INITIALIZED);
}

TEST_F(EmuTest, BadSettingsFailTheFunctionList) {
  const char* cases[] = {"slots=x",      "slots=17",         "output=pem",
                         "fail=C_Login", "fail=C_Login#0:1", "fail=C_Login:CKR_NONSENSE",
                         "fail=Login:1", "colour=red",       "mechanisms=0x1200,,0x1201",
                         "token"};
  for (const char* settings : cases) {
    SCOPED_TRACE(settings);
    SetProcessEnv("TVEMU_CONFIG", settings);
    CK_FUNCTION_LIST* list = nullptr;
    EXPECT_EQ(F->C_GetFunctionList(&list), CKR_ARGUMENTS_BAD);
    EXPECT_THAT(LastCall("C_GetFunctionList"), HasSubstr("config error: bad setting"));
  }
}

TEST_F(EmuTest, JournalRecordsARequestRoadInOrder) {
  ASSERT_EQ(F->C_Initialize(nullptr), CKR_OK);
  CK_ULONG count = 0;
  CK_SLOT_ID slot = 0;
  F->C_GetSlotList(CK_TRUE, nullptr, &count);
  F->C_GetSlotList(CK_TRUE, &slot, &count);
  CK_SESSION_HANDLE session = 0;
  F->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session);
  Login(session, kFactoryPin);
  TKeyPair keys;
  ASSERT_EQ(GenerateKeyPair(session, keys), CKR_OK);
  const char* dn[] = {"CN", "Test", "C", "RU"};
  const char* extensions[] = {"keyUsage", "digitalSignature", "extendedKeyUsage",
                              "1.3.6.1.5.5.7.3.2"};
  CK_BYTE_PTR first = nullptr, second = nullptr;
  CK_ULONG size = 0;
  ASSERT_EQ(X->C_EX_CreateCertRequest(session, keys.Public, dn, 4, &first, &size, keys.Private,
                                      nullptr, 0, extensions, 4),
            CKR_OK);
  ASSERT_EQ(X->C_EX_CreateCertRequest(session, keys.Public, dn, 4, &second, &size, keys.Private,
                                      nullptr, 0, extensions, 4),
            CKR_OK);
  EXPECT_EQ(X->C_EX_FreeBuffer(first), CKR_OK);
  CK_BYTE stray = 0;
  EXPECT_EQ(X->C_EX_FreeBuffer(&stray), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(X->C_EX_FreeBuffer(nullptr), CKR_OK);
  F->C_Logout(session);
  F->C_CloseSession(session);
  ASSERT_EQ(F->C_Finalize(nullptr), CKR_OK);
  // A buffer outlives C_Finalize until it is released.
  EXPECT_EQ(X->C_EX_FreeBuffer(second), CKR_OK);

  std::vector<std::string> lines = Journal();
  ASSERT_EQ(lines.size(), 17u);
  std::string request =
      "C_EX_CreateCertRequest(hSession=1, hPublicKey=1, "
      "dn=[\"CN\", \"Test\", \"C\", \"RU\"], dnCount=4, hPrivateKey=2, "
      "attributes=NULL, attributesCount=0, extensions=[\"keyUsage\", "
      "\"digitalSignature\", \"extendedKeyUsage\", \"1.3.6.1.5.5.7.3.2\"], "
      "extensionsCount=4) -> CKR_OK requestLen=" +
      std::to_string(size);
  EXPECT_THAT(lines, ElementsAreArray(std::vector<std::string>{
                         "C_GetFunctionList(ppFunctionList=ptr) -> CKR_OK",
                         "C_EX_GetFunctionListExtended(ppFunctionList=ptr) -> CKR_OK",
                         "C_Initialize(pInitArgs=NULL) -> CKR_OK",
                         "C_GetSlotList(tokenPresent=1, pSlotList=NULL) -> CKR_OK count=1",
                         "C_GetSlotList(tokenPresent=1, pSlotList=ptr, count=1) -> CKR_OK count=1",
                         "C_OpenSession(slotID=1, flags=0x6, pApplication=NULL, Notify=NULL) -> "
                         "CKR_OK hSession=1",
                         "C_Login(hSession=1, userType=1, ulPinLen=8) -> CKR_OK",
                         lines[7],
                         request,
                         request,
                         "C_EX_FreeBuffer(pBuffer=ptr) -> CKR_OK outstandingBuffers=1",
                         "C_EX_FreeBuffer(pBuffer=ptr) -> CKR_ARGUMENTS_BAD",
                         "C_EX_FreeBuffer(pBuffer=NULL) -> CKR_OK",
                         "C_Logout(hSession=1) -> CKR_OK",
                         "C_CloseSession(hSession=1) -> CKR_OK",
                         "C_Finalize(pReserved=NULL) -> CKR_OK outstandingBuffers=1",
                         "C_EX_FreeBuffer(pBuffer=ptr) -> CKR_OK outstandingBuffers=0",
                     }));
  EXPECT_THAT(lines[7], StartsWith("C_GenerateKeyPair("));
  EXPECT_THAT(lines[7], EndsWith("-> CKR_OK hPublicKey=1 hPrivateKey=2"));
}
