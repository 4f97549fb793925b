#include "EmuFixture.h"

#include <fstream>
#include <sstream>

#include "EmuTestOs.h"

namespace fs = std::filesystem;

const TEmuBytes kParamSetA{0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x01};
const TEmuBytes kDigest256{0x06, 0x08, 0x2A, 0x85, 0x03, 0x07, 0x01, 0x01, 0x02, 0x02};
const char* const kFactoryPin = "40715382";

TKeyTemplates::TKeyTemplates(const std::string& label, const std::string& id)
    : Label_(label), Id_(id) {
  auto attr = [](CK_ATTRIBUTE_TYPE type, const void* value, size_t size) {
    return CK_ATTRIBUTE{type, const_cast<void*>(value), static_cast<CK_ULONG>(size)};
  };
  Public = {attr(CKA_CLASS, &PublicClass_, sizeof PublicClass_),
            attr(CKA_LABEL, Label_.data(), Label_.size()),
            attr(CKA_ID, Id_.data(), Id_.size()),
            attr(CKA_KEY_TYPE, &KeyType_, sizeof KeyType_),
            attr(CKA_TOKEN, &True_, 1),
            attr(CKA_PRIVATE, &False_, 1),
            attr(CKA_GOSTR3410_PARAMS, kParamSetA.data(), kParamSetA.size()),
            attr(CKA_GOSTR3411_PARAMS, kDigest256.data(), kDigest256.size())};
  Private = {attr(CKA_CLASS, &PrivateClass_, sizeof PrivateClass_),
             attr(CKA_LABEL, Label_.data(), Label_.size()),
             attr(CKA_ID, Id_.data(), Id_.size()),
             attr(CKA_KEY_TYPE, &KeyType_, sizeof KeyType_),
             attr(CKA_TOKEN, &True_, 1),
             attr(CKA_PRIVATE, &True_, 1),
             attr(CKA_DERIVE, &True_, 1),
             attr(CKA_GOSTR3410_PARAMS, kParamSetA.data(), kParamSetA.size()),
             attr(CKA_GOSTR3411_PARAMS, kDigest256.data(), kDigest256.size())};
}

void EmuTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  Dir = fs::temp_directory_path() / ("tvemu-test-" + std::to_string(ProcessId())) / name;
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  StateFile = Dir / "token.state";
  JournalFile = Dir / "journal.txt";
  SetProcessEnv("TVEMU_STATE", StateFile.string());
  SetProcessEnv("TVEMU_JOURNAL", JournalFile.string());
  SetProcessEnv("TVEMU_CONFIG", "");
  Load();
}

void EmuTest::TearDown() {
  if (F) F->C_Finalize(nullptr);
  Unload();
  SetProcessEnv("TVEMU_STATE", "");
  SetProcessEnv("TVEMU_JOURNAL", "");
  SetProcessEnv("TVEMU_CONFIG", "");
  std::error_code ignored;
  fs::remove_all(Dir.parent_path(), ignored);
}

void EmuTest::Load() {
  Module = LoadEmuModule(TVEMU_MODULE_PATH);
  ASSERT_NE(Module, nullptr) << TVEMU_MODULE_PATH;
  auto getList = reinterpret_cast<CK_C_GetFunctionList>(FindEmuExport(Module, "C_GetFunctionList"));
  auto getExtended = reinterpret_cast<CK_C_EX_GetFunctionListExtended>(
      FindEmuExport(Module, "C_EX_GetFunctionListExtended"));
  ASSERT_TRUE(getList && getExtended);
  ASSERT_EQ(getList(&F), CKR_OK);
  ASSERT_EQ(getExtended(&X), CKR_OK);
}

void EmuTest::Unload() {
  if (Module) FreeEmuModule(Module);
  Module = nullptr;
  F = nullptr;
  X = nullptr;
}

void EmuTest::Configure(const std::string& settings) {
  SetProcessEnv("TVEMU_CONFIG", settings);
  CK_FUNCTION_LIST* list = nullptr;
  ASSERT_EQ(F->C_GetFunctionList(&list), CKR_OK);
}

CK_RV EmuTest::Login(CK_SESSION_HANDLE session, const std::string& pin) {
  return F->C_Login(session, CKU_USER,
                    reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin.data())),
                    static_cast<CK_ULONG>(pin.size()));
}

CK_SESSION_HANDLE EmuTest::OpenLoggedIn(const char* pin) {
  EXPECT_EQ(F->C_Initialize(nullptr), CKR_OK);
  CK_SESSION_HANDLE session = 0;
  EXPECT_EQ(F->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
            CKR_OK);
  EXPECT_EQ(Login(session, pin ? pin : kFactoryPin), CKR_OK);
  return session;
}

CK_RV EmuTest::GenerateKeyPair(CK_SESSION_HANDLE session, TKeyPair& keys) {
  TKeyTemplates t;
  CK_MECHANISM mechanism{CKM_GOSTR3410_KEY_PAIR_GEN, nullptr, 0};
  return F->C_GenerateKeyPair(session, &mechanism, t.Public.data(),
                              static_cast<CK_ULONG>(t.Public.size()), t.Private.data(),
                              static_cast<CK_ULONG>(t.Private.size()), &keys.Public, &keys.Private);
}

static std::vector<const char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<const char*> pointers;
  for (const std::string& s : strings) pointers.push_back(s.c_str());
  return pointers;
}

CK_RV EmuTest::MakeRequest(CK_SESSION_HANDLE session, const TKeyPair& keys,
                           const std::vector<std::string>& dn,
                           const std::vector<std::string>& extensions, TEmuBytes& request) {
  std::vector<const char*> dnList = Pointers(dn), extList = Pointers(extensions);
  CK_BYTE_PTR buffer = nullptr;
  CK_ULONG size = 0;
  CK_RV rv = X->C_EX_CreateCertRequest(
      session, keys.Public, dnList.data(), static_cast<CK_ULONG>(dnList.size()), &buffer, &size,
      keys.Private, nullptr, 0, extList.data(), static_cast<CK_ULONG>(extList.size()));
  if (rv == CKR_OK) {
    request.assign(buffer, buffer + size);
    EXPECT_EQ(X->C_EX_FreeBuffer(buffer), CKR_OK);
  }
  return rv;
}

CK_RV EmuTest::MakeRequest(CK_SESSION_HANDLE session, const TKeyPair& keys, TEmuBytes& request) {
  return MakeRequest(session, keys, DefaultDn(), DefaultExtensions(), request);
}

std::vector<std::string> EmuTest::DefaultDn() {
  return {"CN",
          Utf8(u8"ООО \"Ромашка\""),
          "C",
          "RU",
          "1.2.643.3.131.1.1",
          "007701234567",
          "1.2.643.100.1",
          "1027700132195",
          "1.2.643.100.3",
          "12345678901",
          "1.2.840.113549.1.9.1",
          "info@example.ru",
          "2.5.4.7",
          Utf8(u8"г. Москва")};
}

std::vector<std::string> EmuTest::DefaultExtensions() {
  return {"keyUsage",
          "digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment",
          "extendedKeyUsage",
          "1.3.6.1.5.5.7.3.4,1.3.6.1.5.5.7.3.2,1.2.643.2.2.34.6,1.2.643.5.1.28.2,"
          "1.2.643.5.1.28.3,1.2.643.5.1.28.4,1.2.643.3.6.0.15,1.2.643.3.6.78.4.5",
          "2.5.29.32",
          "DER:3014300806062A8503647101300806062A8503647102"};
}

std::vector<std::string> EmuTest::Journal() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(JournalFile));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string EmuTest::LastCall(const std::string& name) const {
  std::vector<std::string> lines = Journal();
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (it->compare(0, name.size() + 1, name + "(") == 0) return *it;
  return "";
}

TEmuToken EmuTest::Token() const {
  TEmuToken token;
  EXPECT_EQ(LoadEmuToken(StateFile.string(), token), TEmuLoadResult::Loaded);
  return token;
}

std::string EmuTest::ReadFile(const fs::path& path) const {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void EmuTest::WriteFile(const fs::path& path, const std::string& text) const {
  std::ofstream(path, std::ios::binary) << text;
}
