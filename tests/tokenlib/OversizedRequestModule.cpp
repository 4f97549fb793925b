// A vendor module for one test: it forwards to the token emulator, but
// reports every request as longer than any caller could take, so Morvel's
// refusal to hand out such a request can be seen.
#include <dlfcn.h>

#include <climits>

#include "tokenlib/vendorext.h"

namespace {

void* Emulator = nullptr;
CK_FUNCTION_LIST_EXTENDED Extended;
CK_C_EX_CreateCertRequest CreateCertRequest = nullptr;

template <typename F>
F EmulatorExport(const char* name) {
  if (!Emulator) Emulator = dlopen(TVEMU_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  return Emulator ? reinterpret_cast<F>(dlsym(Emulator, name)) : nullptr;
}

CK_RV OversizedRequest(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hPublicKey,
                       const char* const* dn, CK_ULONG dnCount, CK_BYTE_PTR* ppRequest,
                       CK_ULONG_PTR pulRequestLen, CK_OBJECT_HANDLE hPrivateKey,
                       const char* const* attributes, CK_ULONG attributesCount,
                       const char* const* extensions, CK_ULONG extensionsCount) {
  CK_RV rv =
      CreateCertRequest(hSession, hPublicKey, dn, dnCount, ppRequest, pulRequestLen, hPrivateKey,
                        attributes, attributesCount, extensions, extensionsCount);
  if (rv == CKR_OK) *pulRequestLen = static_cast<CK_ULONG>(INT_MAX) + 1;
  return rv;
}

__attribute__((destructor)) void UnloadEmulator() {
  if (Emulator) dlclose(Emulator);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) CK_RV C_GetFunctionList(
    CK_FUNCTION_LIST_PTR_PTR ppFunctionList) {
  auto get = EmulatorExport<CK_C_GetFunctionList>("C_GetFunctionList");
  return get ? get(ppFunctionList) : CKR_GENERAL_ERROR;
}

extern "C" __attribute__((visibility("default"))) CK_RV C_EX_GetFunctionListExtended(
    CK_FUNCTION_LIST_EXTENDED_PTR_PTR ppFunctionList) {
  auto get = EmulatorExport<CK_C_EX_GetFunctionListExtended>("C_EX_GetFunctionListExtended");
  CK_FUNCTION_LIST_EXTENDED_PTR real = nullptr;
  CK_RV rv = get ? get(&real) : CKR_GENERAL_ERROR;
  if (rv != CKR_OK) return rv;
  Extended = *real;
  CreateCertRequest = real->C_EX_CreateCertRequest;
  Extended.C_EX_CreateCertRequest = OversizedRequest;
  *ppFunctionList = &Extended;
  return CKR_OK;
}
