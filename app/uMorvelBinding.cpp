#include "app/uMorvelBinding.h"

#include "rtl/OsShim.h"
#include "rtl/SysUtils.h"

AnsiString MorvelLibraryName() {
#if defined(_WIN32)
  return "Morvel.dll";
#else
  return ExtractFilePath(ExeFileName()) + "Morvel.so";
#endif
}

namespace {

TModuleHandle TokenLibrary = nullptr;
int32_t TokenSession = 0;

const uint8_t* Bytes(const AnsiString& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
int32_t Length(const AnsiString& s) { return static_cast<int32_t>(s.size()); }

template <typename F>
F Entry(TModuleHandle module, const char* name) {
  return reinterpret_cast<F>(FindExport(module, name));
}

// Copies a buffer Morvel returned and hands it back to Morvel.
AnsiString TakeBuffer(TModuleHandle module, uint8_t* buffer, int32_t length) {
  AnsiString copy;
  if (buffer && length > 0) copy.assign(reinterpret_cast<const char*>(buffer), length);
  if (auto release = Entry<TFreeBuffMemory>(module, "FreeBuffMemory")) release(buffer);
  return copy;
}

// Binds Morvel for one call: the loaded library when there is one, else a
// library of its own, unloaded again afterwards.
class TMorvelCall {
 public:
  TMorvelCall() : Module(GetLoadedModule(MorvelLibraryName())) {
    if (Module) return;
    Module = LoadModule(MorvelLibraryName());
    if (!Module) RaiseLastOSError();
    Owned = true;
  }
  ~TMorvelCall() {
    if (Owned) FreeModule(Module);
  }
  TMorvelCall(const TMorvelCall&) = delete;
  TMorvelCall& operator=(const TMorvelCall&) = delete;

  template <typename F>
  F Require(const char* name) const {
    F f = Entry<F>(Module, name);
    if (!f) throw Exception(AnsiString("Не найдена точка входа: ") + name);
    return f;
  }

  static void Check(int32_t result) {
    if (result != 1) throw Exception(TokenErrorText(result));
  }

  // GetSignEx and GetSign: -20 says the certificate is not on the token.
  static void CheckSign(int32_t result) {
    if (result == -20) throw Exception("Указанный сертификат не установлен на saltra!");
    Check(result);
  }

  TModuleHandle Module;
  bool Owned = false;
};

// The session-style routines work on the library already loaded and an open
// session; anything missing is a plain failure.
template <typename F>
F SessionEntry(const char* name) {
  if (!TokenLibrary || !TokenSession) return nullptr;
  return Entry<F>(TokenLibrary, name);
}

bool SessionResult(int32_t result, uint8_t* outPtr, int32_t outLen, AnsiString& Out) {
  if (result != 1) return false;
  Out = TakeBuffer(TokenLibrary, outPtr, outLen);
  return true;
}

bool CryptMem(const char* name, const AnsiString& Data, const AnsiString& Cert, AnsiString& Out) {
  auto crypt = SessionEntry<TCryptMem>(name);
  if (!crypt) return false;
  uint8_t* outPtr = nullptr;
  int32_t outLen = 0;
  int32_t result =
      crypt(TokenSession, Bytes(Cert), Length(Cert), Bytes(Data), Length(Data), &outPtr, &outLen);
  return SessionResult(result, outPtr, outLen, Out);
}

}  // namespace

void LoadTokenLibrary() {
  // Loading twice would leave a reference that nothing frees.
  if (TokenLibrary) return;
  TokenLibrary = LoadModule(MorvelLibraryName());
  if (!TokenLibrary) RaiseLastOSError();
}

void UnloadTokenLibrary() {
  if (TokenLibrary) FreeModule(TokenLibrary);
  TokenLibrary = nullptr;
}

void TokenInitSession(const AnsiString& Pin) {
  LoadTokenLibrary();
  if (auto init = Entry<TInitSession>(TokenLibrary, "InitSession"))
    TokenSession = init(Pin.c_str());
}

void TokenFreeSession() {
  if (TokenSession) {
    if (auto release = Entry<TFreeSession>(TokenLibrary, "FreeSession")) release(TokenSession);
  }
  TokenSession = 0;
  UnloadTokenLibrary();
}

bool TokenEncryptMem(const AnsiString& Data, const AnsiString& Cert, AnsiString& Out) {
  return CryptMem("EncryptMem", Data, Cert, Out);
}

bool TokenDecryptMem(const AnsiString& Data, const AnsiString& Cert, AnsiString& Out) {
  return CryptMem("DecryptMem", Data, Cert, Out);
}

bool TokenVerifySign(const AnsiString& Signed) {
  auto verify = SessionEntry<TVerifySign>("VerifySign");
  return verify && verify(TokenSession, Bytes(Signed), Length(Signed)) == 1;
}

bool TokenVerifyDetachedSign(const AnsiString& Data, const AnsiString& Sig) {
  auto verify = SessionEntry<TVerifyDetachedSign>("VerifyDetachedSign");
  return verify && verify(TokenSession, Bytes(Data), Length(Data), Bytes(Sig), Length(Sig)) == 1;
}

bool TokenSignMem(const AnsiString& Data, const AnsiString& Cert, bool Detached, AnsiString& Out) {
  auto sign = SessionEntry<TSignMem>("SignMem");
  if (!sign) return false;
  uint8_t* outPtr = nullptr;
  int32_t outLen = 0;
  int32_t result = sign(TokenSession, Bytes(Cert), Length(Cert), Bytes(Data), Length(Data),
                        Detached ? 1 : 0, &outPtr, &outLen);
  return SessionResult(result, outPtr, outLen, Out);
}

void TokenGenCertRequestsEKU(const AnsiString& Pin, const AnsiString& Label, const AnsiString& Id,
                             const AnsiString& Eku, TDnArray Dn, int32_t DnCount,
                             AnsiString& Request) {
  TMorvelCall call;
  auto generate = call.Require<TGenCertRequestsEKU>("GenCertRequestsEKU");
  uint8_t* outPtr = nullptr;
  int32_t outLen = 0;
  TMorvelCall::Check(generate(Pin.c_str(), Label.c_str(), Id.c_str(), Eku.c_str(), Dn.data(),
                              DnCount, &outPtr, &outLen));
  Request = TakeBuffer(call.Module, outPtr, outLen);
}

void TokenGenCertRequests(const AnsiString& Pin, const AnsiString& Label, const AnsiString& Id,
                          TDnArray Dn, int32_t DnCount, AnsiString& Request) {
  TMorvelCall call;
  auto generate = call.Require<TGenCertRequests>("GenCertRequests");
  uint8_t* outPtr = nullptr;
  int32_t outLen = 0;
  TMorvelCall::Check(
      generate(Pin.c_str(), Label.c_str(), Id.c_str(), Dn.data(), DnCount, &outPtr, &outLen));
  Request = TakeBuffer(call.Module, outPtr, outLen);
}

void TokenInstallCertificate(const AnsiString& Pin, const AnsiString& Label, const AnsiString& Id,
                             const AnsiString& Cert) {
  TMorvelCall call;
  auto install = call.Require<TInstallCertificate>("InstallCertificate");
  TMorvelCall::Check(install(Pin.c_str(), Label.c_str(), Id.c_str(), Bytes(Cert), Length(Cert)));
}

void TokenGetPublicKeys(TStrings* List) {
  TMorvelCall call;
  auto getKeys = call.Require<TGetTokenPublicKeys>("GetTokenPublicKeys");
  const char* keys = nullptr;
  int32_t count = getKeys(&keys);
  if (count <= 0 || !keys) return;
  for (int32_t i = 0; i < count; ++i) List->Add(AnsiString(keys + i * 64, 64));
}

void TokenGetCertificates(TStrings* List, bool Plain) {
  TMorvelCall call;
  auto getCerts = call.Require<TGetTokenCertificates>(Plain ? "GetTokenCertificates"
                                                            : "GetTokenCertificatesPKI");
  int32_t count = 0;
  TTokenCertificate* certs = getCerts(&count);
  if (count <= 0 || !certs) return;
  for (int32_t i = 0; i < count; ++i)
    List->Add(AnsiString(reinterpret_cast<const char*>(certs[i].Data), certs[i].Length));
  if (auto release = Entry<TFreeTokenCertificates>(call.Module, "FreeTokenCertificates"))
    release(certs, count);
}

bool TokenGetSignEx(const AnsiString& Pin, const AnsiString& Data, const AnsiString& Cert,
                    bool Detached, AnsiString& Out) {
  TMorvelCall call;
  auto sign = call.Require<TGetSignEx>("GetSignEx");
  uint8_t* outPtr = nullptr;
  int32_t outLen = 0;
  TMorvelCall::CheckSign(sign(Pin.c_str(), Bytes(Cert), Length(Cert), Bytes(Data), Length(Data),
                              Detached ? 1 : 0, &outPtr, &outLen));
  Out = TakeBuffer(call.Module, outPtr, outLen);
  return true;
}

bool TokenGetSign(const AnsiString& Pin, const AnsiString& Data, const AnsiString& Cert,
                  AnsiString& Out) {
  TMorvelCall call;
  auto sign = call.Require<TGetSign>("GetSign");
  uint8_t* outPtr = nullptr;
  int32_t outLen = 0;
  TMorvelCall::CheckSign(
      sign(Pin.c_str(), Bytes(Cert), Length(Cert), Bytes(Data), Length(Data), &outPtr, &outLen));
  Out = TakeBuffer(call.Module, outPtr, outLen);
  return true;
}

AnsiString TokenErrorText(int32_t Code) {
  switch (Code) {
    case -1:
      return "Ошибка инициализации библиотеки saltra";
    case -2:
    case -3:
      return "Ошибка получения список слотов с поключенными токенами";
    case -4:
      return "Ошибка получения слота с доступным токеном";
    case -5:
      return "Ошибка открытия сессии";
    case -6:
      return "Ошибка подключения к токену";
    case -7:
      return "Ошибка генерации ключевой пары";
    case -8:
      return "Ошибка генерации запроса на сертификат";
    case -10:
      return "Ошибка записи сертификата пользователя на токен";
    case -20:
    case -30:
      return "Работать с выбранным сертификатом невозможно, т.к. он не соответствует ключам, "
             "имеющимся на Saltra";
    default:
      return "Ошибка с кодом " + IntToStr(Code);
  }
}
