// Test configuration of the token emulator.
//
// The module: tvPKCS11.dll (Windows), tvPKCS11.so (native), in the build's
// bin folder. Tests link the CMake target tvemu_module for the definitions
// TVEMU_MODULE_NAME (file name) and TVEMU_MODULE_PATH (what to load), and
// tvemu_state to read the token's file (LoadEmuToken, EmuState.h).
//
// Environment variables (read by the module; all optional):
//   TVEMU_STATE    token state file. Default: "tvPKCS11.token" beside the
//                  module. Rewritten atomically (new file, then rename) after
//                  every change of the token (key pair made, object created).
//   TVEMU_JOURNAL  call journal; lines are appended. No journal when unset.
//   TVEMU_CONFIG   settings "key=value" separated by ';' (spaces around keys
//                  and values are ignored). Read afresh at every
//                  C_GetFunctionList, which also restarts the call counts of
//                  "fail". Unset means the defaults below.
//
// Settings:
//   slots=N         number of slots, IDs 1..N (default 1, at most 16)
//   token=ID        ID of the slot holding the token, 0 = no token (default 1)
//   mechanisms=L    comma-separated mechanism numbers, hex "0x.." or decimal;
//                   empty = none (default 0x1200,0x1201,0x1202,0x1210)
//   pin=TEXT        the user PIN (default: the token's PIN, factory 40715382)
//   output=F        request form: der | pem-lf | pem-crlf (default der), or
//                   for the caller's checks: pem-lead (CR LF PEM after a
//                   byte-order mark, a blank and a line break), pem-not-der
//                   (armour around text), garbage (text), empty (no bytes)
//   fail=FN:RV      every call of function FN returns RV
//   fail=FN#N:RV    only the N-th call (1-based) of FN returns RV
//                   FN is a function name as in the journal (C_GetSlotList,
//                   C_EX_CreateCertRequest, ...); RV a CKR_ name or a
//                   number other than CKR_OK.
//                   An injected failure does nothing else. Repeatable.
// An unknown key or a bad value makes C_GetFunctionList fail with
// CKR_ARGUMENTS_BAD (journalled as "config error: ...").
//
// Journal: one line per call, written after the call:
//   Name(in-arguments) -> RESULT[ out-values][ injected]
// RESULT is the CKR_ name (or 0x%08lX for other codes). Handles and counts are
// decimal; types, mechanisms and flags hex; pointers NULL or ptr. A PIN shows
// only as its length (ulPinLen=N). Templates: [CKA_CLASS=0x2, CKA_LABEL="x",
// CKA_TOKEN=1, CKA_GOSTR3410_PARAMS=06072A850302022301, ...]: numbers for
// class/type/category attributes, 0/1 for flags, printable text quoted, other
// bytes as hex, values over 64 bytes as <N bytes>. String lists as
// ["CN", "Name", ...]. Functions not offered show "(...)". Out-values:
// count (list functions), hSession, hPublicKey and hPrivateKey, hObject,
// requestLen; C_EX_FreeBuffer and C_Finalize carry outstandingBuffers=N, the
// request buffers not yet released. Session handles start at 1 after each
// C_Initialize; object handles continue from the token's file.
// Examples:
//   C_GetSlotList(tokenPresent=1, pSlotList=NULL) -> CKR_OK count=1
//   C_GetSlotList(tokenPresent=1, pSlotList=ptr, count=1) -> CKR_OK count=1
//   C_Login(hSession=1, userType=1, ulPinLen=8) -> CKR_PIN_INCORRECT
//   C_Finalize(pReserved=NULL) -> CKR_OK outstandingBuffers=0
#pragma once

#include <string>
#include <vector>

#include "tokenlib/pkcs11types.h"

enum class TEmuOutput { Der, PemLf, PemCrLf, PemLead, PemNotDer, Garbage, Empty };

struct TEmuFailRule {
  std::string Function;
  unsigned long Call = 0;  // 0 = every call
  CK_RV Result = CKR_OK;
};

struct TEmuConfig {
  CK_ULONG SlotCount = 1;
  CK_SLOT_ID TokenSlot = 1;
  std::vector<CK_MECHANISM_TYPE> Mechanisms{CKM_GOSTR3410_KEY_PAIR_GEN, CKM_GOSTR3410,
                                            CKM_GOSTR3410_WITH_GOSTR3411, CKM_GOSTR3411};
  bool HasPin = false;
  std::string Pin;
  TEmuOutput Output = TEmuOutput::Der;
  std::vector<TEmuFailRule> Failures;
};

// Parses the TVEMU_CONFIG text. Returns false with a reason on a bad setting.
bool ParseEmuConfig(const std::string& text, TEmuConfig& config, std::string& error);

// The CKR_ name of a code, or an empty string when it has none here.
const char* CkrName(CK_RV rv);
