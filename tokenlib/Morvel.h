// Morvel: key pair and certificate request on the token, and installation of
// the issued certificate. Four C entry points, C calling convention,
// undecorated names. Every call loads the vendor's PKCS#11 module and unloads
// it before returning; nothing is kept between calls.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define MORVEL_CALL __cdecl
#define MORVEL_EXPORT
#else
#define MORVEL_CALL
#define MORVEL_EXPORT __attribute__((visibility("default")))
#endif

// Result codes: 1 success, the rest name the step that failed.
enum : int32_t {
  MORVEL_OK = 1,
  MORVEL_ERR_INIT = -1,          // module, function lists, C_Initialize
  MORVEL_ERR_SLOT_COUNT = -2,    // first C_GetSlotList
  MORVEL_ERR_SLOT_LIST = -3,     // slot array, second C_GetSlotList, first C_GetMechanismList
  MORVEL_ERR_NO_TOKEN = -4,      // no token, mechanism list, no GOST key-pair mechanism
  MORVEL_ERR_OPEN_SESSION = -5,  // C_OpenSession
  MORVEL_ERR_LOGIN = -6,         // C_Login
  MORVEL_ERR_KEY_PAIR = -7,      // C_GenerateKeyPair
  MORVEL_ERR_REQUEST = -8,       // the vendor's request creation, or the copy of the request
  MORVEL_ERR_CERTIFICATE = -10,  // C_CreateObject
};

extern "C" {

// Dn: DnCount UTF-8 strings, attribute name then value for each attribute.
// On 1, *Request is a buffer of *RequestLen bytes to be handed back to
// FreeBuffMemory; on any other result both stay untouched.
MORVEL_EXPORT int32_t MORVEL_CALL GenCertRequests(const char* Pin, const char* Label,
                                                  const char* Id, const char* const* Dn,
                                                  int32_t DnCount, uint8_t** Request,
                                                  int32_t* RequestLen);

// Eku: comma-separated dotted OIDs for the extended key usage; empty (or
// null) keeps the default list.
MORVEL_EXPORT int32_t MORVEL_CALL GenCertRequestsEKU(const char* Pin, const char* Label,
                                                     const char* Id, const char* Eku,
                                                     const char* const* Dn, int32_t DnCount,
                                                     uint8_t** Request, int32_t* RequestLen);

// Reserved is not used.
MORVEL_EXPORT int32_t MORVEL_CALL InstallCertificate(const char* Pin, const char* Reserved,
                                                     const char* Id, const uint8_t* Cert,
                                                     int32_t CertLen);

// Frees a buffer returned by a request call; null is ignored. The result has
// no meaning.
MORVEL_EXPORT int32_t MORVEL_CALL FreeBuffMemory(void* Buffer);
}
