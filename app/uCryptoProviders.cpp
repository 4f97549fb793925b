#include "app/uCryptoProviders.h"

#include <vector>

#include "app/uCertReqAlt.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

TCryptoProviders CryptoProviders;

namespace {

const char ProvidersKey[] = "SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider";

// Read-only registry key, closed with the object.
class TRegKey {
 public:
  TRegKey(HKEY Parent, const AnsiString& Path) {
    if (RegOpenKeyExA(Parent, Path.c_str(), 0, KEY_READ, &FKey) != ERROR_SUCCESS) FKey = nullptr;
  }
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  ~TRegKey() {
    if (FKey) RegCloseKey(FKey);
  }
  explicit operator bool() const { return FKey != nullptr; }
  std::vector<AnsiString> SubKeys() const {
    std::vector<AnsiString> Names;
    char Name[256];
    for (DWORD I = 0;; ++I) {
      DWORD Length = sizeof Name;
      if (RegEnumKeyExA(FKey, I, Name, &Length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      Names.emplace_back(Name, Length);
    }
    return Names;
  }
  // The string value, or false when there is none.
  bool ReadString(const char* Name, AnsiString& Value) const {
    DWORD Type = 0, Size = 0;
    if (RegQueryValueExA(FKey, Name, nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS) return false;
    if (Type != REG_SZ && Type != REG_EXPAND_SZ) return false;
    AnsiString Buffer(Size, '\0');
    if (RegQueryValueExA(FKey, Name, nullptr, nullptr, reinterpret_cast<BYTE*>(Buffer.data()),
                         &Size) != ERROR_SUCCESS)
      return false;
    Value = Buffer.c_str();
    return true;
  }

 private:
  HKEY FKey = nullptr;
};

// A newer version replaces the stored one when that is still unknown or
// starts with a smaller character.
void NoteVersion(AnsiString& Stored, const AnsiString& Found) {
  if (Stored == "?" || (!Found.empty() && (Stored.empty() || static_cast<uint8_t>(Found[0]) >
                                                                 static_cast<uint8_t>(Stored[0]))))
    Stored = Found;
}

}  // namespace

TCryptoProviders ScanCryptoProviders(HKEY Root) {
  TCryptoProviders Result;
  bool Has2012 = false;
  std::vector<AnsiString> Names;
  {
    TRegKey Providers(Root, ProvidersKey);
    if (!Providers) return Result;
    Names = Providers.SubKeys();
  }
  static const char* const KriptelNames[] = {
      "Kriptel Cryptographic Service Provider",
      "Kriptel GOST R 34.10-94 Cryptographic Service Provider",
      "Kriptel GOST R 34.10-2001 Cryptographic Service Provider",
      "Kriptel GOST R 34.10-2012 Cryptographic Service Provider",
      "Kriptel GOST R 34.10-2012 Strong Cryptographic Service Provider",
  };
  for (const AnsiString& Name : Names) {
    TRegKey Provider(Root, AnsiString(ProvidersKey) + "\\" + Name);
    AnsiString Image;
    if (!Provider || !Provider.ReadString("Image Path", Image) || !FileExists(Image)) continue;
    int Known = -1;
    for (int I = 0; I < 5; ++I)
      if (SameText(Name, KriptelNames[I])) Known = I;
    const AnsiString Prefix2012 = "Kriptel GOST R 34.10-2012";
    bool Kriptel2012 = Known >= 3 || SameText(Name.substr(0, Prefix2012.size()), Prefix2012);
    if (Known >= 0 || Kriptel2012) {
      Result.KriptelPresent = true;
      Has2012 = Has2012 || Kriptel2012;
      NoteVersion(Result.KriptelVersion, GetFileVersionString(Image));
    } else if (SameText(Name, "Orvek Cryptographic Service Provider")) {
      Result.OrvekPresent = true;
      NoteVersion(Result.OrvekVersion, GetFileVersionString(Image));
    }
  }
  if (Result.KriptelPresent && Has2012 && Result.KriptelVersion.substr(0, 2) == "3.") {
    TRegKey Settings(Root, "SOFTWARE\\Kriptel\\Settings");
    AnsiString Version;
    if (Settings && Settings.ReadString("Version", Version) && !Version.empty())
      NoteVersion(Result.KriptelVersion, Version);
  }
  return Result;
}

void DetectCryptoProviders() { CryptoProviders = ScanCryptoProviders(HKEY_LOCAL_MACHINE); }
