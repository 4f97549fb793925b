// The token emulator: a PKCS#11 module with one GOST token, standing in for
// the token vendor's module. It offers what Morvel calls; every other entry of
// the function list answers CKR_FUNCTION_NOT_SUPPORTED. Settings, state file
// and journal: see EmuConfig.h and EmuState.h.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tokenemu/EmuConfig.h"
#include "tokenemu/EmuCrypto.h"
#include "tokenemu/EmuJournal.h"
#include "tokenemu/EmuOs.h"
#include "tokenemu/EmuRequest.h"
#include "tokenemu/EmuState.h"
#include "tokenlib/vendorext.h"

namespace {

// DER OIDs of the only parameters this token knows: the curve of parameter
// set A and the Streebog-256 digest.
const TEmuBytes kKeyParamsA{0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x01};
const TEmuBytes kDigestParams256{0x06, 0x08, 0x2A, 0x85, 0x03, 0x07, 0x01, 0x01, 0x02, 0x02};

struct TSession {
  CK_SESSION_HANDLE Handle;
  bool ReadWrite;
};

struct TModule {
  bool ConfigRead = false;
  TEmuConfig Config;
  std::string ConfigError;
  std::map<std::string, unsigned long> CallCounts;

  bool Initialized = false;
  std::string StatePath;
  bool TokenLoaded = false;
  TEmuToken Token;
  std::vector<TSession> Sessions;
  CK_SESSION_HANDLE NextSession = 1;
  bool LoggedIn = false;
  // Request buffers handed out and not yet released.
  std::set<CK_BYTE_PTR> Buffers;
};

TModule& Module() {
  static TModule module;
  return module;
}

void ReadConfig() {
  TModule& m = Module();
  m.ConfigRead = true;
  m.CallCounts.clear();
  m.ConfigError.clear();
  if (!ParseEmuConfig(EmuGetEnv("TVEMU_CONFIG"), m.Config, m.ConfigError)) m.Config = TEmuConfig();
}

// Counts the call; the result a "fail" setting gives it, else CKR_OK. Each
// entry point asks after noting its arguments, before doing anything.
CK_RV Injected(TEmuCall& call) {
  TModule& m = Module();
  unsigned long count = ++m.CallCounts[call.Name()];
  for (const TEmuFailRule& rule : m.Config.Failures)
    if (rule.Function == call.Name() && (rule.Call == 0 || rule.Call == count)) {
      call.MarkInjected();
      return rule.Result;
    }
  return CKR_OK;
}

// Runs the body of an entry point: no exception leaves the module, and every
// call gets its journal line.
template <class Body>
CK_RV Run(const char* name, Body body) noexcept {
  TEmuCall call(name);
  CK_RV rv;
  try {
    rv = body(call);
  } catch (...) {
    rv = CKR_HOST_MEMORY;
  }
  call.Write(rv);
  return rv;
}

// The entry points that are not offered. The name is a template argument so
// each gets a function of its own that journals under its name.
template <size_t N>
struct TName {
  char Text[N];
  constexpr TName(const char (&text)[N]) { std::copy(text, text + N, Text); }
};

template <TName Name, class Fn>
struct TUnsupported;

template <TName Name, class... Args>
struct TUnsupported<Name, CK_RV(CK_CALL*)(Args...)> {
  static CK_RV CK_CALL Call(Args...) {
    return Run(Name.Text, [](TEmuCall& call) {
      call.Elided();
      if (CK_RV rv = Injected(call)) return rv;
      return CKR_FUNCTION_NOT_SUPPORTED;
    });
  }
};

CK_RV CheckInitialized() { return Module().Initialized ? CKR_OK : CKR_CRYPTOKI_NOT_INITIALIZED; }

bool SlotExists(CK_SLOT_ID slot) { return slot >= 1 && slot <= Module().Config.SlotCount; }

bool TokenIn(CK_SLOT_ID slot) { return SlotExists(slot) && slot == Module().Config.TokenSlot; }

CK_RV CheckSlot(CK_SLOT_ID slot) {
  if (CK_RV rv = CheckInitialized()) return rv;
  if (!SlotExists(slot)) return CKR_SLOT_ID_INVALID;
  return TokenIn(slot) ? CKR_OK : CKR_TOKEN_NOT_PRESENT;
}

CK_RV FindSession(CK_SESSION_HANDLE handle, TSession*& session) {
  if (CK_RV rv = CheckInitialized()) return rv;
  for (TSession& s : Module().Sessions)
    if (s.Handle == handle) {
      session = &s;
      return CKR_OK;
    }
  return CKR_SESSION_HANDLE_INVALID;
}

// The two-call protocol of the list functions: no buffer asks for the count,
// a short buffer gets CKR_BUFFER_TOO_SMALL with the count.
template <class T>
CK_RV ReturnList(const std::vector<T>& items, T* buffer, CK_ULONG_PTR count) {
  CK_ULONG available = *count;
  *count = static_cast<CK_ULONG>(items.size());
  if (!buffer) return CKR_OK;
  if (available < items.size()) return CKR_BUFFER_TOO_SMALL;
  std::copy(items.begin(), items.end(), buffer);
  return CKR_OK;
}

// Replaces the token by `changed` only when the file took it, so the token
// in memory never differs from the one on disk.
CK_RV StoreToken(TEmuToken changed) {
  TModule& m = Module();
  if (!SaveEmuToken(m.StatePath, changed)) return CKR_DEVICE_ERROR;
  m.Token = std::move(changed);
  return CKR_OK;
}

// Copies a template into an object, checking what every template must get
// right: known attribute types, sizes of numbers and flags, no repeats.
CK_RV ReadTemplate(const CK_ATTRIBUTE* attributes, CK_ULONG count,
                   std::initializer_list<CK_ATTRIBUTE_TYPE> allowed, TEmuObject& object) {
  if (!attributes && count) return CKR_ARGUMENTS_BAD;
  for (CK_ULONG i = 0; i < count; ++i) {
    const CK_ATTRIBUTE& a = attributes[i];
    if (std::find(allowed.begin(), allowed.end(), a.type) == allowed.end())
      return CKR_ATTRIBUTE_TYPE_INVALID;
    if (!a.pValue && a.ulValueLen) return CKR_ARGUMENTS_BAD;
    if (object.Attributes.count(a.type)) return CKR_TEMPLATE_INCONSISTENT;
    const auto* bytes = static_cast<const uint8_t*>(a.pValue);
    TEmuBytes value(bytes, bytes + a.ulValueLen);
    TEmuAttrKind kind = EmuAttrKind(a.type);
    if ((kind == TEmuAttrKind::Number && value.size() != sizeof(CK_ULONG)) ||
        (kind == TEmuAttrKind::Flag && (value.size() != 1 || value[0] > CK_TRUE)))
      return CKR_ATTRIBUTE_VALUE_INVALID;
    object.Attributes[a.type] = std::move(value);
  }
  return CKR_OK;
}

// A number attribute, when present, must hold `expected`.
bool NumberIs(const TEmuObject& object, CK_ATTRIBUTE_TYPE type, CK_ULONG expected) {
  CK_ULONG value = 0;
  return !object.Find(type) || (object.Number(type, value) && value == expected);
}

// Checks one template of a key pair; fills in the parameters it may omit.
CK_RV CheckKeyTemplate(TEmuObject& key, CK_OBJECT_CLASS keyClass) {
  if (!NumberIs(key, CKA_CLASS, keyClass) || !NumberIs(key, CKA_KEY_TYPE, CKK_GOSTR3410))
    return CKR_TEMPLATE_INCONSISTENT;
  // Keys live on the token only; this token keeps no session objects.
  if (!key.Find(CKA_TOKEN)) return CKR_TEMPLATE_INCOMPLETE;
  if (!key.Flag(CKA_TOKEN)) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (keyClass == CKO_PRIVATE_KEY && key.Find(CKA_PRIVATE) && !key.Flag(CKA_PRIVATE))
    return CKR_ATTRIBUTE_VALUE_INVALID;
  const TEmuBytes* keyParams = key.Find(CKA_GOSTR3410_PARAMS);
  const TEmuBytes* digestParams = key.Find(CKA_GOSTR3411_PARAMS);
  if ((keyParams && *keyParams != kKeyParamsA) ||
      (digestParams && *digestParams != kDigestParams256))
    return CKR_ATTRIBUTE_VALUE_INVALID;
  key.SetNumber(CKA_CLASS, keyClass);
  key.SetNumber(CKA_KEY_TYPE, CKK_GOSTR3410);
  key.Attributes[CKA_GOSTR3410_PARAMS] = kKeyParamsA;
  key.Attributes[CKA_GOSTR3411_PARAMS] = kDigestParams256;
  key.SetFlag(CKA_PRIVATE, keyClass == CKO_PRIVATE_KEY || key.Flag(CKA_PRIVATE));
  key.SetFlag(CKA_LOCAL, true);
  key.SetNumber(CKA_KEY_GEN_MECHANISM, CKM_GOSTR3410_KEY_PAIR_GEN);
  return CKR_OK;
}

CK_RV GenerateKeyPair(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                      CK_ATTRIBUTE_PTR pPublic, CK_ULONG publicCount, CK_ATTRIBUTE_PTR pPrivate,
                      CK_ULONG privateCount, CK_OBJECT_HANDLE_PTR phPublic,
                      CK_OBJECT_HANDLE_PTR phPrivate) {
  TModule& m = Module();
  TSession* session = nullptr;
  if (CK_RV rv = FindSession(hSession, session)) return rv;
  if (!pMechanism || !phPublic || !phPrivate) return CKR_ARGUMENTS_BAD;
  const auto& offered = m.Config.Mechanisms;
  if (pMechanism->mechanism != CKM_GOSTR3410_KEY_PAIR_GEN ||
      std::find(offered.begin(), offered.end(), pMechanism->mechanism) == offered.end())
    return CKR_MECHANISM_INVALID;
  if (pMechanism->pParameter || pMechanism->ulParameterLen) return CKR_MECHANISM_PARAM_INVALID;

  TEmuObject pub, priv;
  if (CK_RV rv = ReadTemplate(pPublic, publicCount,
                              {CKA_CLASS, CKA_LABEL, CKA_ID, CKA_KEY_TYPE, CKA_TOKEN, CKA_PRIVATE,
                               CKA_GOSTR3410_PARAMS, CKA_GOSTR3411_PARAMS},
                              pub))
    return rv;
  if (CK_RV rv = ReadTemplate(pPrivate, privateCount,
                              {CKA_CLASS, CKA_LABEL, CKA_ID, CKA_KEY_TYPE, CKA_TOKEN, CKA_PRIVATE,
                               CKA_DERIVE, CKA_GOSTR3410_PARAMS, CKA_GOSTR3411_PARAMS},
                              priv))
    return rv;
  // The public template names the curve; the private one may repeat it.
  if (!pub.Find(CKA_GOSTR3410_PARAMS)) return CKR_TEMPLATE_INCOMPLETE;
  if (CK_RV rv = CheckKeyTemplate(pub, CKO_PUBLIC_KEY)) return rv;
  if (CK_RV rv = CheckKeyTemplate(priv, CKO_PRIVATE_KEY)) return rv;
  if (!session->ReadWrite) return CKR_SESSION_READ_ONLY;
  if (!m.LoggedIn) return CKR_USER_NOT_LOGGED_IN;

  TEmuBytes privateValue, publicValue;
  if (!GostGenerateKeyPair(privateValue, publicValue)) return CKR_FUNCTION_FAILED;
  pub.Attributes[CKA_VALUE] = publicValue;
  pub.SetFlag(CKA_VERIFY, true);
  priv.Attributes[CKA_VALUE] = privateValue;
  priv.Attributes[kEmuAttrPairedPublic] = publicValue;
  priv.SetFlag(CKA_SIGN, true);
  priv.SetFlag(CKA_SENSITIVE, true);
  priv.SetFlag(CKA_EXTRACTABLE, false);
  priv.SetFlag(CKA_DERIVE, priv.Flag(CKA_DERIVE));

  TEmuToken changed = m.Token;
  CK_OBJECT_HANDLE publicHandle = changed.AddObject(std::move(pub));
  CK_OBJECT_HANDLE privateHandle = changed.AddObject(std::move(priv));
  if (CK_RV rv = StoreToken(std::move(changed))) return rv;
  *phPublic = publicHandle;
  *phPrivate = privateHandle;
  return CKR_OK;
}

CK_RV CreateObject(CK_SESSION_HANDLE hSession, CK_ATTRIBUTE_PTR pTemplate, CK_ULONG count,
                   CK_OBJECT_HANDLE_PTR phObject) {
  TModule& m = Module();
  TSession* session = nullptr;
  if (CK_RV rv = FindSession(hSession, session)) return rv;
  if (!phObject) return CKR_ARGUMENTS_BAD;
  TEmuObject cert;
  if (CK_RV rv = ReadTemplate(pTemplate, count,
                              {CKA_CLASS, CKA_VALUE, CKA_ID, CKA_LABEL, CKA_TOKEN, CKA_PRIVATE,
                               CKA_CERTIFICATE_TYPE, CKA_CERTIFICATE_CATEGORY},
                              cert))
    return rv;
  // Only X.509 certificates are created on this token.
  if (!cert.Find(CKA_CLASS) || !cert.Find(CKA_CERTIFICATE_TYPE) || !cert.Find(CKA_VALUE) ||
      !cert.Find(CKA_TOKEN))
    return CKR_TEMPLATE_INCOMPLETE;
  CK_ULONG category = 0;
  if (!NumberIs(cert, CKA_CLASS, CKO_CERTIFICATE) ||
      !NumberIs(cert, CKA_CERTIFICATE_TYPE, CKC_X_509) || cert.Find(CKA_VALUE)->empty() ||
      !cert.Flag(CKA_TOKEN) || (cert.Number(CKA_CERTIFICATE_CATEGORY, category) && category > 3))
    return CKR_ATTRIBUTE_VALUE_INVALID;
  if (!session->ReadWrite) return CKR_SESSION_READ_ONLY;
  if (cert.Flag(CKA_PRIVATE) && !m.LoggedIn) return CKR_USER_NOT_LOGGED_IN;

  TEmuToken changed = m.Token;
  CK_OBJECT_HANDLE handle = changed.AddObject(std::move(cert));
  if (CK_RV rv = StoreToken(std::move(changed))) return rv;
  *phObject = handle;
  return CKR_OK;
}

// The GOST key of the given class with everything a request takes from it,
// or null (a state file may have been edited by hand).
const TEmuObject* FindKey(CK_OBJECT_HANDLE handle, CK_OBJECT_CLASS keyClass) {
  const TEmuObject* key = Module().Token.FindObject(handle);
  CK_ULONG value = 0;
  if (!key || !key->Number(CKA_CLASS, value) || value != keyClass ||
      !key->Number(CKA_KEY_TYPE, value) || value != CKK_GOSTR3410 || !key->Find(CKA_VALUE) ||
      !key->Find(CKA_GOSTR3410_PARAMS) || !key->Find(CKA_GOSTR3411_PARAMS))
    return nullptr;
  if (keyClass == CKO_PRIVATE_KEY && !key->Find(kEmuAttrPairedPublic)) return nullptr;
  return key;
}

// A string list of the caller, with null entries refused.
bool ReadStrings(const char* const* list, CK_ULONG count, std::vector<std::string>& strings) {
  if (!list && count) return false;
  for (CK_ULONG i = 0; i < count; ++i) {
    if (!list[i]) return false;
    strings.emplace_back(list[i]);
  }
  return true;
}

CK_RV CreateCertRequest(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hPublicKey,
                        const char* const* dn, CK_ULONG dnCount, CK_BYTE_PTR* ppRequest,
                        CK_ULONG_PTR pulRequestLen, CK_OBJECT_HANDLE hPrivateKey,
                        CK_ULONG attributesCount, const char* const* extensions,
                        CK_ULONG extensionsCount, TEmuCall& call) {
  TModule& m = Module();
  TSession* session = nullptr;
  if (CK_RV rv = FindSession(hSession, session)) return rv;
  std::vector<std::string> subject, extensionList;
  // Further request attributes are not supported: none may be given.
  if (!ppRequest || !pulRequestLen || attributesCount || !ReadStrings(dn, dnCount, subject) ||
      !ReadStrings(extensions, extensionsCount, extensionList))
    return CKR_ARGUMENTS_BAD;
  if (!m.LoggedIn) return CKR_USER_NOT_LOGGED_IN;
  const TEmuObject* pub = FindKey(hPublicKey, CKO_PUBLIC_KEY);
  const TEmuObject* priv = FindKey(hPrivateKey, CKO_PRIVATE_KEY);
  // The two keys must have been made together, or the request would carry
  // a public key its signature does not match.
  if (!pub || !priv || *priv->Find(kEmuAttrPairedPublic) != *pub->Find(CKA_VALUE))
    return CKR_KEY_HANDLE_INVALID;

  TEmuRequestKey key{*pub->Find(CKA_VALUE), *pub->Find(CKA_GOSTR3410_PARAMS),
                     *pub->Find(CKA_GOSTR3411_PARAMS), *priv->Find(CKA_VALUE)};
  TEmuBytes der;
  if (CK_RV rv = MakeCertRequest(subject, extensionList, key, der)) return rv;
  TEmuBytes request = FormatCertRequest(der, m.Config.Output);

  call.OutNum("requestLen", request.size());
  // One byte more, zero, so a PEM text is also a C string.
  auto* buffer = static_cast<CK_BYTE_PTR>(std::malloc(request.size() + 1));
  if (!buffer) return CKR_HOST_MEMORY;
  std::memcpy(buffer, request.data(), request.size());
  buffer[request.size()] = 0;
  try {
    m.Buffers.insert(buffer);
  } catch (...) {
    std::free(buffer);
    throw;
  }
  *ppRequest = buffer;
  *pulRequestLen = static_cast<CK_ULONG>(request.size());
  return CKR_OK;
}

// ---- entry points ----

CK_RV CK_CALL EmuInitialize(CK_VOID_PTR pInitArgs) {
  return Run("C_Initialize", [&](TEmuCall& call) {
    call.Ptr("pInitArgs", pInitArgs);
    if (CK_RV rv = Injected(call)) return rv;
    TModule& m = Module();
    if (m.Initialized) return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    if (pInitArgs) {
      auto* args = static_cast<CK_C_INITIALIZE_ARGS*>(pInitArgs);
      int given =
          !!args->CreateMutex + !!args->DestroyMutex + !!args->LockMutex + !!args->UnlockMutex;
      if (args->pReserved || (given != 0 && given != 4)) return CKR_ARGUMENTS_BAD;
    }
    if (!EmuCryptoInit()) return CKR_GENERAL_ERROR;
    m.StatePath = EmuStatePath();
    m.NextSession = 1;
    m.Initialized = true;
    return CKR_OK;
  });
}

CK_RV CK_CALL EmuFinalize(CK_VOID_PTR pReserved) {
  return Run("C_Finalize", [&](TEmuCall& call) {
    call.Ptr("pReserved", pReserved);
    if (CK_RV rv = Injected(call)) return rv;
    TModule& m = Module();
    if (CK_RV rv = CheckInitialized()) return rv;
    if (pReserved) return CKR_ARGUMENTS_BAD;
    m.Sessions.clear();
    m.LoggedIn = false;
    m.TokenLoaded = false;
    m.Initialized = false;
    call.OutNum("outstandingBuffers", m.Buffers.size());
    return CKR_OK;
  });
}

CK_RV CK_CALL EmuGetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR pSlotList,
                             CK_ULONG_PTR pulCount) {
  return Run("C_GetSlotList", [&](TEmuCall& call) {
    call.Num("tokenPresent", tokenPresent).Ptr("pSlotList", pSlotList);
    // The count is an input only with a buffer.
    if (pSlotList && pulCount) call.Num("count", *pulCount);
    if (CK_RV rv = Injected(call)) return rv;
    if (CK_RV rv = CheckInitialized()) return rv;
    if (!pulCount) return CKR_ARGUMENTS_BAD;
    std::vector<CK_SLOT_ID> slots;
    for (CK_SLOT_ID slot = 1; slot <= Module().Config.SlotCount; ++slot)
      if (!tokenPresent || TokenIn(slot)) slots.push_back(slot);
    CK_RV rv = ReturnList(slots, pSlotList, pulCount);
    call.OutNum("count", *pulCount);
    return rv;
  });
}

CK_RV CK_CALL EmuGetMechanismList(CK_SLOT_ID slotID, CK_MECHANISM_TYPE_PTR pMechanismList,
                                  CK_ULONG_PTR pulCount) {
  return Run("C_GetMechanismList", [&](TEmuCall& call) {
    call.Num("slotID", slotID).Ptr("pMechanismList", pMechanismList);
    if (pMechanismList && pulCount) call.Num("count", *pulCount);
    if (CK_RV rv = Injected(call)) return rv;
    if (CK_RV rv = CheckSlot(slotID)) return rv;
    if (!pulCount) return CKR_ARGUMENTS_BAD;
    CK_RV rv = ReturnList(Module().Config.Mechanisms, pMechanismList, pulCount);
    call.OutNum("count", *pulCount);
    return rv;
  });
}

CK_RV CK_CALL EmuOpenSession(CK_SLOT_ID slotID, CK_FLAGS flags, CK_VOID_PTR pApplication,
                             CK_NOTIFY Notify, CK_SESSION_HANDLE_PTR phSession) {
  return Run("C_OpenSession", [&](TEmuCall& call) {
    call.Num("slotID", slotID).Hex("flags", flags).Ptr("pApplication", pApplication);
    call.Ptr("Notify", reinterpret_cast<const void*>(Notify));
    if (CK_RV rv = Injected(call)) return rv;
    TModule& m = Module();
    if (CK_RV rv = CheckSlot(slotID)) return rv;
    if (!(flags & CKF_SERIAL_SESSION)) return CKR_SESSION_PARALLEL_NOT_SUPPORTED;
    if (!phSession) return CKR_ARGUMENTS_BAD;
    if (!m.TokenLoaded) {
      if (LoadEmuToken(m.StatePath, m.Token) == TEmuLoadResult::Corrupt) return CKR_DEVICE_ERROR;
      m.TokenLoaded = true;
    }
    m.Sessions.push_back({m.NextSession++, (flags & CKF_RW_SESSION) != 0});
    *phSession = m.Sessions.back().Handle;
    call.OutNum("hSession", *phSession);
    return CKR_OK;
  });
}

CK_RV CK_CALL EmuCloseSession(CK_SESSION_HANDLE hSession) {
  return Run("C_CloseSession", [&](TEmuCall& call) {
    call.Num("hSession", hSession);
    if (CK_RV rv = Injected(call)) return rv;
    TModule& m = Module();
    TSession* session = nullptr;
    if (CK_RV rv = FindSession(hSession, session)) return rv;
    m.Sessions.erase(m.Sessions.begin() + (session - m.Sessions.data()));
    // The login belongs to the application's sessions; it ends with the last.
    if (m.Sessions.empty()) m.LoggedIn = false;
    return CKR_OK;
  });
}

CK_RV CK_CALL EmuLogin(CK_SESSION_HANDLE hSession, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pPin,
                       CK_ULONG ulPinLen) {
  return Run("C_Login", [&](TEmuCall& call) {
    // Never the PIN itself.
    call.Num("hSession", hSession).Num("userType", userType).Num("ulPinLen", ulPinLen);
    if (CK_RV rv = Injected(call)) return rv;
    TModule& m = Module();
    TSession* session = nullptr;
    if (CK_RV rv = FindSession(hSession, session)) return rv;
    if (userType != CKU_USER) return CKR_USER_TYPE_INVALID;
    if (m.LoggedIn) return CKR_USER_ALREADY_LOGGED_IN;
    if (!pPin && ulPinLen) return CKR_ARGUMENTS_BAD;
    const std::string& pin = m.Config.HasPin ? m.Config.Pin : m.Token.Pin;
    if (pin.size() != ulPinLen || (ulPinLen && std::memcmp(pin.data(), pPin, ulPinLen) != 0))
      return CKR_PIN_INCORRECT;
    m.LoggedIn = true;
    return CKR_OK;
  });
}

CK_RV CK_CALL EmuLogout(CK_SESSION_HANDLE hSession) {
  return Run("C_Logout", [&](TEmuCall& call) {
    call.Num("hSession", hSession);
    if (CK_RV rv = Injected(call)) return rv;
    TModule& m = Module();
    TSession* session = nullptr;
    if (CK_RV rv = FindSession(hSession, session)) return rv;
    if (!m.LoggedIn) return CKR_USER_NOT_LOGGED_IN;
    m.LoggedIn = false;
    return CKR_OK;
  });
}

CK_RV CK_CALL EmuCreateObject(CK_SESSION_HANDLE hSession, CK_ATTRIBUTE_PTR pTemplate,
                              CK_ULONG ulCount, CK_OBJECT_HANDLE_PTR phObject) {
  return Run("C_CreateObject", [&](TEmuCall& call) {
    call.Num("hSession", hSession)
        .Template("pTemplate", pTemplate, ulCount)
        .Num("ulCount", ulCount);
    if (CK_RV rv = Injected(call)) return rv;
    CK_RV rv = CreateObject(hSession, pTemplate, ulCount, phObject);
    if (rv == CKR_OK) call.OutNum("hObject", *phObject);
    return rv;
  });
}

CK_RV CK_CALL EmuGenerateKeyPair(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                                 CK_ATTRIBUTE_PTR pPublicKeyTemplate,
                                 CK_ULONG ulPublicKeyAttributeCount,
                                 CK_ATTRIBUTE_PTR pPrivateKeyTemplate,
                                 CK_ULONG ulPrivateKeyAttributeCount,
                                 CK_OBJECT_HANDLE_PTR phPublicKey,
                                 CK_OBJECT_HANDLE_PTR phPrivateKey) {
  return Run("C_GenerateKeyPair", [&](TEmuCall& call) {
    call.Num("hSession", hSession);
    if (pMechanism)
      call.Hex("mechanism", pMechanism->mechanism)
          .Num("ulParameterLen", pMechanism->ulParameterLen);
    else
      call.Ptr("pMechanism", nullptr);
    call.Template("pPublicKeyTemplate", pPublicKeyTemplate, ulPublicKeyAttributeCount)
        .Num("ulPublicKeyAttributeCount", ulPublicKeyAttributeCount)
        .Template("pPrivateKeyTemplate", pPrivateKeyTemplate, ulPrivateKeyAttributeCount)
        .Num("ulPrivateKeyAttributeCount", ulPrivateKeyAttributeCount);
    if (CK_RV rv = Injected(call)) return rv;
    CK_RV rv =
        GenerateKeyPair(hSession, pMechanism, pPublicKeyTemplate, ulPublicKeyAttributeCount,
                        pPrivateKeyTemplate, ulPrivateKeyAttributeCount, phPublicKey, phPrivateKey);
    if (rv == CKR_OK) call.OutNum("hPublicKey", *phPublicKey).OutNum("hPrivateKey", *phPrivateKey);
    return rv;
  });
}

CK_RV CK_CALL EmuCreateCertRequest(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hPublicKey,
                                   const char* const* dn, CK_ULONG dnCount, CK_BYTE_PTR* ppRequest,
                                   CK_ULONG_PTR pulRequestLen, CK_OBJECT_HANDLE hPrivateKey,
                                   const char* const* attributes, CK_ULONG attributesCount,
                                   const char* const* extensions, CK_ULONG extensionsCount) {
  return Run("C_EX_CreateCertRequest", [&](TEmuCall& call) {
    call.Num("hSession", hSession).Num("hPublicKey", hPublicKey).Strings("dn", dn, dnCount);
    call.Num("dnCount", dnCount).Num("hPrivateKey", hPrivateKey);
    call.Strings("attributes", attributes, attributesCount).Num("attributesCount", attributesCount);
    call.Strings("extensions", extensions, extensionsCount).Num("extensionsCount", extensionsCount);
    if (CK_RV rv = Injected(call)) return rv;
    return CreateCertRequest(hSession, hPublicKey, dn, dnCount, ppRequest, pulRequestLen,
                             hPrivateKey, attributesCount, extensions, extensionsCount, call);
  });
}

CK_RV CK_CALL EmuFreeBuffer(CK_BYTE_PTR pBuffer) {
  return Run("C_EX_FreeBuffer", [&](TEmuCall& call) {
    call.Ptr("pBuffer", pBuffer);
    if (CK_RV rv = Injected(call)) return rv;
    TModule& m = Module();
    if (!pBuffer) return CKR_OK;
    // Only what this module handed out: a stray pointer is refused, not freed.
    if (!m.Buffers.erase(pBuffer)) return CKR_ARGUMENTS_BAD;
    std::free(pBuffer);
    call.OutNum("outstandingBuffers", m.Buffers.size());
    return CKR_OK;
  });
}

#define EMU_UNSUPPORTED(list, entry) list.entry = TUnsupported<#entry, decltype(list.entry)>::Call

CK_FUNCTION_LIST MakeFunctionList();
CK_FUNCTION_LIST_EXTENDED MakeExtendedList();

}  // namespace

extern "C" CK_RV CK_CALL C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR ppFunctionList) {
  // Each caller starts here: take the settings afresh, restart call counts.
  try {
    ReadConfig();
  } catch (...) {
    return CKR_HOST_MEMORY;
  }
  return Run("C_GetFunctionList", [&](TEmuCall& call) {
    call.Ptr("ppFunctionList", ppFunctionList);
    if (CK_RV rv = Injected(call)) return rv;
    if (!Module().ConfigError.empty()) {
      call.Note("config error: " + Module().ConfigError);
      return CKR_ARGUMENTS_BAD;
    }
    if (!ppFunctionList) return CKR_ARGUMENTS_BAD;
    static CK_FUNCTION_LIST list = MakeFunctionList();
    *ppFunctionList = &list;
    return CKR_OK;
  });
}

extern "C" CK_RV CK_CALL
C_EX_GetFunctionListExtended(CK_FUNCTION_LIST_EXTENDED_PTR_PTR ppFunctionList) {
  try {
    if (!Module().ConfigRead) ReadConfig();
  } catch (...) {
    return CKR_HOST_MEMORY;
  }
  return Run("C_EX_GetFunctionListExtended", [&](TEmuCall& call) {
    call.Ptr("ppFunctionList", ppFunctionList);
    if (CK_RV rv = Injected(call)) return rv;
    if (!ppFunctionList) return CKR_ARGUMENTS_BAD;
    static CK_FUNCTION_LIST_EXTENDED list = MakeExtendedList();
    *ppFunctionList = &list;
    return CKR_OK;
  });
}

namespace {

CK_FUNCTION_LIST MakeFunctionList() {
  CK_FUNCTION_LIST list{};
  list.version = {2, 20};
  list.C_Initialize = EmuInitialize;
  list.C_Finalize = EmuFinalize;
  EMU_UNSUPPORTED(list, C_GetInfo);
  list.C_GetFunctionList = C_GetFunctionList;
  list.C_GetSlotList = EmuGetSlotList;
  EMU_UNSUPPORTED(list, C_GetSlotInfo);
  EMU_UNSUPPORTED(list, C_GetTokenInfo);
  list.C_GetMechanismList = EmuGetMechanismList;
  EMU_UNSUPPORTED(list, C_GetMechanismInfo);
  EMU_UNSUPPORTED(list, C_InitToken);
  EMU_UNSUPPORTED(list, C_InitPIN);
  EMU_UNSUPPORTED(list, C_SetPIN);
  list.C_OpenSession = EmuOpenSession;
  list.C_CloseSession = EmuCloseSession;
  EMU_UNSUPPORTED(list, C_CloseAllSessions);
  EMU_UNSUPPORTED(list, C_GetSessionInfo);
  EMU_UNSUPPORTED(list, C_GetOperationState);
  EMU_UNSUPPORTED(list, C_SetOperationState);
  list.C_Login = EmuLogin;
  list.C_Logout = EmuLogout;
  list.C_CreateObject = EmuCreateObject;
  EMU_UNSUPPORTED(list, C_CopyObject);
  EMU_UNSUPPORTED(list, C_DestroyObject);
  EMU_UNSUPPORTED(list, C_GetObjectSize);
  EMU_UNSUPPORTED(list, C_GetAttributeValue);
  EMU_UNSUPPORTED(list, C_SetAttributeValue);
  EMU_UNSUPPORTED(list, C_FindObjectsInit);
  EMU_UNSUPPORTED(list, C_FindObjects);
  EMU_UNSUPPORTED(list, C_FindObjectsFinal);
  EMU_UNSUPPORTED(list, C_EncryptInit);
  EMU_UNSUPPORTED(list, C_Encrypt);
  EMU_UNSUPPORTED(list, C_EncryptUpdate);
  EMU_UNSUPPORTED(list, C_EncryptFinal);
  EMU_UNSUPPORTED(list, C_DecryptInit);
  EMU_UNSUPPORTED(list, C_Decrypt);
  EMU_UNSUPPORTED(list, C_DecryptUpdate);
  EMU_UNSUPPORTED(list, C_DecryptFinal);
  EMU_UNSUPPORTED(list, C_DigestInit);
  EMU_UNSUPPORTED(list, C_Digest);
  EMU_UNSUPPORTED(list, C_DigestUpdate);
  EMU_UNSUPPORTED(list, C_DigestKey);
  EMU_UNSUPPORTED(list, C_DigestFinal);
  EMU_UNSUPPORTED(list, C_SignInit);
  EMU_UNSUPPORTED(list, C_Sign);
  EMU_UNSUPPORTED(list, C_SignUpdate);
  EMU_UNSUPPORTED(list, C_SignFinal);
  EMU_UNSUPPORTED(list, C_SignRecoverInit);
  EMU_UNSUPPORTED(list, C_SignRecover);
  EMU_UNSUPPORTED(list, C_VerifyInit);
  EMU_UNSUPPORTED(list, C_Verify);
  EMU_UNSUPPORTED(list, C_VerifyUpdate);
  EMU_UNSUPPORTED(list, C_VerifyFinal);
  EMU_UNSUPPORTED(list, C_VerifyRecoverInit);
  EMU_UNSUPPORTED(list, C_VerifyRecover);
  EMU_UNSUPPORTED(list, C_DigestEncryptUpdate);
  EMU_UNSUPPORTED(list, C_DecryptDigestUpdate);
  EMU_UNSUPPORTED(list, C_SignEncryptUpdate);
  EMU_UNSUPPORTED(list, C_DecryptVerifyUpdate);
  EMU_UNSUPPORTED(list, C_GenerateKey);
  list.C_GenerateKeyPair = EmuGenerateKeyPair;
  EMU_UNSUPPORTED(list, C_WrapKey);
  EMU_UNSUPPORTED(list, C_UnwrapKey);
  EMU_UNSUPPORTED(list, C_DeriveKey);
  EMU_UNSUPPORTED(list, C_SeedRandom);
  EMU_UNSUPPORTED(list, C_GenerateRandom);
  EMU_UNSUPPORTED(list, C_GetFunctionStatus);
  EMU_UNSUPPORTED(list, C_CancelFunction);
  EMU_UNSUPPORTED(list, C_WaitForSlotEvent);
  return list;
}

CK_FUNCTION_LIST_EXTENDED MakeExtendedList() {
  CK_FUNCTION_LIST_EXTENDED list{};
  list.version = {1, 0};
  EMU_UNSUPPORTED(list, reserved1);
  EMU_UNSUPPORTED(list, reserved2);
  EMU_UNSUPPORTED(list, reserved3);
  EMU_UNSUPPORTED(list, reserved4);
  EMU_UNSUPPORTED(list, reserved5);
  EMU_UNSUPPORTED(list, reserved6);
  EMU_UNSUPPORTED(list, reserved7);
  EMU_UNSUPPORTED(list, reserved8);
  EMU_UNSUPPORTED(list, reserved9);
  list.C_EX_CreateCertRequest = EmuCreateCertRequest;
  list.C_EX_FreeBuffer = EmuFreeBuffer;
  return list;
}

}  // namespace
