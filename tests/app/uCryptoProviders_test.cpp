// The provider scan over a registry tree of our own (under HKCU), with the
// minidriver stand-ins as provider images of known versions.
#include "app/uCryptoProviders.h"

#include <gtest/gtest.h>

#include "rtl/SysUtils.h"

namespace {

const char TestRoot[] = "Software\\KeystallProviderScanTest";

class ProviderScan : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, TestRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &Root, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(Root);
    RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
  }
  void SetString(const AnsiString& Key, const char* Name, const AnsiString& Value) {
    HKEY Sub;
    ASSERT_EQ(
        RegCreateKeyExA(Root, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Sub, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(Sub, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                   static_cast<DWORD>(Value.size() + 1));
    RegCloseKey(Sub);
  }
  void Provider(const AnsiString& Name, const AnsiString& Image) {
    SetString("SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider\\" + Name, "Image Path",
              Image);
  }
  static AnsiString Image(const char* Version) {
    AnsiString Bin = ExtractFilePath(ExeFileName());
    return *Version ? Bin + "minidrv\\" + Version + "\\tvMiniDrv.dll" : Bin + "tvMiniDrv.dll";
  }
  HKEY Root = nullptr;
};

TEST_F(ProviderScan, NoGostProviderLeavesEverythingUnknown) {
  EXPECT_FALSE(ScanCryptoProviders(Root).KriptelPresent);
  Provider("Microsoft Base Cryptographic Provider v1.0", Image(""));
  Provider("Orvek Cryptographic Service Provider", "C:\\no\\such\\file.dll");
  TCryptoProviders Found = ScanCryptoProviders(Root);
  EXPECT_FALSE(Found.KriptelPresent);
  EXPECT_FALSE(Found.OrvekPresent);
  EXPECT_EQ(Found.KriptelVersion, "?");
  EXPECT_EQ(Found.OrvekVersion, "?");
}

TEST_F(ProviderScan, TheGreaterFirstCharacterWins) {
  Provider("Kriptel GOST R 34.10-2001 Cryptographic Service Provider", Image("4.3.0.0"));
  Provider("Kriptel GOST R 34.10-2012 Strong Cryptographic Service Provider", Image(""));
  Provider("kriptel gost r 34.10-2012 KC2 CSP", Image("3.9.0.0"));
  Provider("Orvek Cryptographic Service Provider", Image("4.2.9.9"));
  TCryptoProviders Found = ScanCryptoProviders(Root);
  EXPECT_TRUE(Found.KriptelPresent);
  EXPECT_EQ(Found.KriptelVersion, "5.0.0.0");
  EXPECT_TRUE(Found.OrvekPresent);
  EXPECT_EQ(Found.OrvekVersion, "4.2.9.9");
}

TEST_F(ProviderScan, AVersionThreeKriptelWith2012ReadsTheSettingsVersion) {
  Provider("Kriptel GOST R 34.10-2012 Cryptographic Service Provider", Image("3.9.0.0"));
  SetString("SOFTWARE\\Kriptel\\Settings", "Version", "5.0.11455");
  EXPECT_EQ(ScanCryptoProviders(Root).KriptelVersion, "5.0.11455");

  SetString("SOFTWARE\\Kriptel\\Settings", "Version", "");
  EXPECT_EQ(ScanCryptoProviders(Root).KriptelVersion, "3.9.0.0");
}

}  // namespace
