// The emulated token's contents (PIN and objects) and their file. The module
// reads the file when a session is opened and rewrites it after each change;
// tests read it to see what landed on the token.
//
// File format (text, one item per line, "\n" line ends):
//   tvemu-token 1
//   pin <hex of the PIN bytes>
//   next <next object handle>
//   object <handle>
//   <attribute type, hex> u <decimal>     numeric attributes (class, types)
//   <attribute type, hex> b <0|1>         flags
//   <attribute type, hex> x <hex bytes>   anything else; "-" when empty
//   ...
//   end
// Anything else, including a missing "end", makes the file corrupt.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tokenemu/EmuText.h"
#include "tokenlib/pkcs11types.h"

inline constexpr const char* kEmuFactoryPin = "40715382";

// The private key's own copy of its public value, so a request can only pair
// keys that were made together. Never shown to the caller.
inline constexpr CK_ATTRIBUTE_TYPE kEmuAttrPairedPublic = CKA_VENDOR_DEFINED | 1;

enum class TEmuAttrKind { Number, Flag, Bytes };
TEmuAttrKind EmuAttrKind(CK_ATTRIBUTE_TYPE type);
// "CKA_CLASS" etc.; empty for a type without a name here.
const char* EmuAttrName(CK_ATTRIBUTE_TYPE type);

struct TEmuObject {
  CK_OBJECT_HANDLE Handle = CK_INVALID_HANDLE;
  // Values as a template carries them: numbers as a CK_ULONG, flags as a
  // CK_BBOOL, the rest as given.
  std::map<CK_ATTRIBUTE_TYPE, TEmuBytes> Attributes;

  const TEmuBytes* Find(CK_ATTRIBUTE_TYPE type) const;
  bool Number(CK_ATTRIBUTE_TYPE type, CK_ULONG& value) const;
  bool Flag(CK_ATTRIBUTE_TYPE type) const;  // present and true
  void SetNumber(CK_ATTRIBUTE_TYPE type, CK_ULONG value);
  void SetFlag(CK_ATTRIBUTE_TYPE type, bool value);
};

struct TEmuToken {
  std::string Pin = kEmuFactoryPin;
  CK_OBJECT_HANDLE NextHandle = 1;
  std::vector<TEmuObject> Objects;

  // Stores the object under the next handle and returns that handle.
  CK_OBJECT_HANDLE AddObject(TEmuObject object);
  const TEmuObject* FindObject(CK_OBJECT_HANDLE handle) const;
};

// The state file: TVEMU_STATE, else "tvPKCS11.token" beside the module.
std::string EmuStatePath();

enum class TEmuLoadResult { Loaded, Missing, Corrupt };
// Missing leaves a factory-fresh token.
TEmuLoadResult LoadEmuToken(const std::string& path, TEmuToken& token);
std::string EmuTokenText(const TEmuToken& token);
bool ParseEmuToken(const std::string& text, TEmuToken& token);
bool SaveEmuToken(const std::string& path, const TEmuToken& token);
