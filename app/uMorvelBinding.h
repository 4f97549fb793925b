// Binding of the token library Morvel: every entry point is looked up by name
// when it is about to be used, so the program has no link-time dependency on
// the library and works with older builds of it.
#pragma once

#include <array>
#include <cstdint>

#include "rtl/Classes.h"
#include "rtl/Types.h"

#if defined(_WIN32)
#define MORVEL_CDECL __cdecl
#else
#define MORVEL_CDECL
#endif

// "Morvel.dll", loaded without a directory (Windows looks beside the
// executable first). Natively the same library is a shared object, named
// with the executable's folder.
AnsiString MorvelLibraryName();

// The subject list of a request: attribute name then value, UTF-8, DnCount of
// the 128 entries used.
using TDnArray = std::array<const char*, 128>;

// The entry points as Morvel exports them (C calling convention; results are
// 1 for success; out-buffers belong to Morvel until FreeBuffMemory).
using TGenCertRequests = int32_t(MORVEL_CDECL*)(const char* Pin, const char* Label, const char* Id,
                                                const char* const* Dn, int32_t DnCount,
                                                uint8_t** outPtr, int32_t* outLen);
using TGenCertRequestsEKU = int32_t(MORVEL_CDECL*)(const char* Pin, const char* Label,
                                                   const char* Id, const char* Eku,
                                                   const char* const* Dn, int32_t DnCount,
                                                   uint8_t** outPtr, int32_t* outLen);
using TInstallCertificate = int32_t(MORVEL_CDECL*)(const char* Pin, const char* Label,
                                                   const char* Id, const uint8_t* Cert,
                                                   int32_t CertLen);
using TFreeBuffMemory = int32_t(MORVEL_CDECL*)(void* Buffer);
using TInitSession = int32_t(MORVEL_CDECL*)(const char* Pin);
using TFreeSession = int32_t(MORVEL_CDECL*)(int32_t Session);
// EncryptMem, DecryptMem: (session, Cert, length, Data, length, &outPtr, &outLen).
using TCryptMem = int32_t(MORVEL_CDECL*)(int32_t Session, const uint8_t* Cert, int32_t CertLen,
                                         const uint8_t* Data, int32_t DataLen, uint8_t** outPtr,
                                         int32_t* outLen);
using TSignMem = int32_t(MORVEL_CDECL*)(int32_t Session, const uint8_t* Cert, int32_t CertLen,
                                        const uint8_t* Data, int32_t DataLen, int32_t Detached,
                                        uint8_t** outPtr, int32_t* outLen);
using TVerifySign = int32_t(MORVEL_CDECL*)(int32_t Session, const uint8_t* Signed,
                                           int32_t SignedLen);
using TVerifyDetachedSign = int32_t(MORVEL_CDECL*)(int32_t Session, const uint8_t* Data,
                                                   int32_t DataLen, const uint8_t* Sig,
                                                   int32_t SigLen);
// Returns the number of keys; *Keys points at that many 64-character keys,
// one after another, which the caller does not release.
using TGetTokenPublicKeys = int32_t(MORVEL_CDECL*)(const char** Keys);
struct TTokenCertificate {
  int32_t Length;
  const uint8_t* Data;
};
// GetTokenCertificates, GetTokenCertificatesPKI: an array of *Count entries,
// released with FreeTokenCertificates.
using TGetTokenCertificates = TTokenCertificate*(MORVEL_CDECL*)(int32_t* Count);
using TFreeTokenCertificates = int32_t(MORVEL_CDECL*)(TTokenCertificate* Certificates,
                                                      int32_t Count);
using TGetSignEx = int32_t(MORVEL_CDECL*)(const char* Pin, const uint8_t* Cert, int32_t CertLen,
                                          const uint8_t* Data, int32_t DataLen, int32_t Detached,
                                          uint8_t** outPtr, int32_t* outLen);
using TGetSign = int32_t(MORVEL_CDECL*)(const char* Pin, const uint8_t* Cert, int32_t CertLen,
                                        const uint8_t* Data, int32_t DataLen, uint8_t** outPtr,
                                        int32_t* outLen);

// Session-style routines: one module handle and one token session for the
// process, between TokenInitSession and TokenFreeSession (or around an
// installation, LoadTokenLibrary and UnloadTokenLibrary).
void LoadTokenLibrary();
void UnloadTokenLibrary();
void TokenInitSession(const AnsiString& Pin);
void TokenFreeSession();
bool TokenEncryptMem(const AnsiString& Data, const AnsiString& Cert, AnsiString& Out);
bool TokenDecryptMem(const AnsiString& Data, const AnsiString& Cert, AnsiString& Out);
bool TokenVerifySign(const AnsiString& Signed);
bool TokenVerifyDetachedSign(const AnsiString& Data, const AnsiString& Sig);
bool TokenSignMem(const AnsiString& Data, const AnsiString& Cert, bool Detached, AnsiString& Out);

// Per-call routines: each binds the library itself (the loaded one when there
// is one) and raises an Exception on a missing entry point or a failing
// result.
void TokenGenCertRequestsEKU(const AnsiString& Pin, const AnsiString& Label, const AnsiString& Id,
                             const AnsiString& Eku, TDnArray Dn, int32_t DnCount,
                             AnsiString& Request);
void TokenGenCertRequests(const AnsiString& Pin, const AnsiString& Label, const AnsiString& Id,
                          TDnArray Dn, int32_t DnCount, AnsiString& Request);
void TokenInstallCertificate(const AnsiString& Pin, const AnsiString& Label, const AnsiString& Id,
                             const AnsiString& Cert);
void TokenGetPublicKeys(TStrings* List);
void TokenGetCertificates(TStrings* List, bool Plain);
bool TokenGetSignEx(const AnsiString& Pin, const AnsiString& Data, const AnsiString& Cert,
                    bool Detached, AnsiString& Out);
bool TokenGetSign(const AnsiString& Pin, const AnsiString& Data, const AnsiString& Cert,
                  AnsiString& Out);

// The message for a Morvel result code.
AnsiString TokenErrorText(int32_t Code);
