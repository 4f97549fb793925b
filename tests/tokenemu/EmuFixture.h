// Drives the token emulator module directly through its function lists, with
// a state file, journal and settings of its own in a temp folder per test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tokenemu/EmuState.h"
#include "tokenlib/vendorext.h"

// A UTF-8 text from a u8 literal (plain literals are cp1251 in this tree).
inline std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The key-pair templates exactly as Morvel builds them.
class TKeyTemplates {
 public:
  explicit TKeyTemplates(const std::string& label = "7701234567",
                         const std::string& id = "7701234567");
  TKeyTemplates(const TKeyTemplates&) = delete;
  TKeyTemplates& operator=(const TKeyTemplates&) = delete;

  std::vector<CK_ATTRIBUTE> Public, Private;

 private:
  CK_OBJECT_CLASS PublicClass_ = CKO_PUBLIC_KEY, PrivateClass_ = CKO_PRIVATE_KEY;
  CK_KEY_TYPE KeyType_ = CKK_GOSTR3410;
  CK_BBOOL True_ = CK_TRUE, False_ = CK_FALSE;
  std::string Label_, Id_;
};

extern const TEmuBytes kParamSetA;  // DER OID 1.2.643.2.2.35.1
extern const TEmuBytes kDigest256;  // DER OID 1.2.643.7.1.1.2.2
extern const char* const kFactoryPin;

class EmuTest : public ::testing::Test {
 protected:
  struct TKeyPair {
    CK_OBJECT_HANDLE Public = 0, Private = 0;
  };

  void SetUp() override;
  void TearDown() override;

  // Loads the module and fetches both function lists (which also reads the
  // settings afresh).
  void Load();
  void Unload();
  void Configure(const std::string& settings);

  // C_Initialize, a read-write session on slot 1, user login.
  CK_SESSION_HANDLE OpenLoggedIn(const char* pin = nullptr);
  CK_RV Login(CK_SESSION_HANDLE session, const std::string& pin);
  CK_RV GenerateKeyPair(CK_SESSION_HANDLE session, TKeyPair& keys);
  // Makes a request and copies it out, releasing the module's buffer.
  CK_RV MakeRequest(CK_SESSION_HANDLE session, const TKeyPair& keys,
                    const std::vector<std::string>& dn, const std::vector<std::string>& extensions,
                    TEmuBytes& request);
  CK_RV MakeRequest(CK_SESSION_HANDLE session, const TKeyPair& keys, TEmuBytes& request);

  std::vector<std::string> Journal() const;
  // The journal line of the last call of `name`; empty when there is none.
  std::string LastCall(const std::string& name) const;
  TEmuToken Token() const;
  std::string ReadFile(const std::filesystem::path& path) const;
  void WriteFile(const std::filesystem::path& path, const std::string& text) const;

  static std::vector<std::string> DefaultDn();
  static std::vector<std::string> DefaultExtensions();

  void* Module = nullptr;
  CK_FUNCTION_LIST* F = nullptr;
  CK_FUNCTION_LIST_EXTENDED* X = nullptr;
  std::filesystem::path Dir, StateFile, JournalFile;
};
