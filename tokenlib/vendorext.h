// The token vendor's extended function list, returned by the module's second
// export C_EX_GetFunctionListExtended. Only the request creation (10th entry)
// and the release of the buffer it returns (11th) are used; the entries before
// them exist in the vendor's layout and are kept as placeholders so the offsets
// match. Same packing rules as the standard list.
#pragma once

#include "tokenlib/pkcs11types.h"

#if defined(_WIN32)
#pragma pack(push, 1)
#endif

// Builds a PKCS#10 request for the key pair (hPublicKey, hPrivateKey) and
// signs it on the token. dn: attribute name then value for each subject
// attribute (dnCount strings); attributes: further request attributes as
// name/value strings (may be null with count 0); extensions: extension
// name/value strings. The request comes back in *ppRequest (a buffer of the
// module, released with C_EX_FreeBuffer) with its length in *pulRequestLen.
using CK_C_EX_CreateCertRequest = CK_RV(CK_CALL*)(
    CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hPublicKey, const char* const* dn,
    CK_ULONG dnCount, CK_BYTE_PTR* ppRequest, CK_ULONG_PTR pulRequestLen,
    CK_OBJECT_HANDLE hPrivateKey, const char* const* attributes, CK_ULONG attributesCount,
    const char* const* extensions, CK_ULONG extensionsCount);

// Releases a buffer the module returned; a null pointer is ignored.
using CK_C_EX_FreeBuffer = CK_RV(CK_CALL*)(CK_BYTE_PTR pBuffer);

// Placeholder entries: never called by us; the emulator fills them with a
// function returning CKR_FUNCTION_NOT_SUPPORTED.
using CK_C_EX_Reserved = CK_RV(CK_CALL*)();

struct CK_FUNCTION_LIST_EXTENDED {
  CK_VERSION version;
  CK_C_EX_Reserved reserved1;
  CK_C_EX_Reserved reserved2;
  CK_C_EX_Reserved reserved3;
  CK_C_EX_Reserved reserved4;
  CK_C_EX_Reserved reserved5;
  CK_C_EX_Reserved reserved6;
  CK_C_EX_Reserved reserved7;
  CK_C_EX_Reserved reserved8;
  CK_C_EX_Reserved reserved9;
  CK_C_EX_CreateCertRequest C_EX_CreateCertRequest;
  CK_C_EX_FreeBuffer C_EX_FreeBuffer;
};
using CK_FUNCTION_LIST_EXTENDED_PTR = CK_FUNCTION_LIST_EXTENDED*;
using CK_FUNCTION_LIST_EXTENDED_PTR_PTR = CK_FUNCTION_LIST_EXTENDED_PTR*;

// The module's second export (the first is C_GetFunctionList).
using CK_C_EX_GetFunctionListExtended =
    CK_RV(CK_CALL*)(CK_FUNCTION_LIST_EXTENDED_PTR_PTR ppFunctionList);

#if defined(_WIN32)
#pragma pack(pop)
static_assert(sizeof(CK_FUNCTION_LIST_EXTENDED) == 2 + 11 * sizeof(void*));
#endif
