#include "tokenlib/Morvel.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "tokenlib/TokenModule.h"
#include "tokenlib/pkcs11types.h"
#include "tokenlib/vendorext.h"

namespace {

const CK_OBJECT_CLASS kPublicKeyClass = CKO_PUBLIC_KEY;
const CK_OBJECT_CLASS kPrivateKeyClass = CKO_PRIVATE_KEY;
const CK_OBJECT_CLASS kCertificateClass = CKO_CERTIFICATE;
const CK_KEY_TYPE kGostKeyType = CKK_GOSTR3410;
const CK_CERTIFICATE_TYPE kX509 = CKC_X_509;
const CK_ULONG kTokenUserCategory = CK_CERTIFICATE_CATEGORY_TOKEN_USER;
const CK_BBOOL kTrue = CK_TRUE;
const CK_BBOOL kFalse = CK_FALSE;

// DER object identifiers: parameter set A (1.2.643.2.2.35.1) and the
// Streebog-256 digest (1.2.643.7.1.1.2.2).
const CK_BYTE kParamSetOid[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x01};
const CK_BYTE kDigestOid[] = {0x06, 0x08, 0x2A, 0x85, 0x03, 0x07, 0x01, 0x01, 0x02, 0x02};

const char kKeyUsage[] = "digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment";
const char kDefaultEku[] =
    "1.3.6.1.5.5.7.3.4,1.3.6.1.5.5.7.3.2,1.2.643.2.2.34.6,1.2.643.5.1.28.2,"
    "1.2.643.5.1.28.3,1.2.643.5.1.28.4,1.2.643.3.6.0.15,1.2.643.3.6.78.4.5";
// Certificate policies 1.2.643.100.113.1 and 1.2.643.100.113.2.
const char kPolicies[] = "DER:3014300806062A8503647101300806062A8503647102";

CK_ATTRIBUTE Attr(CK_ATTRIBUTE_TYPE type, const void* value, CK_ULONG length) {
  return CK_ATTRIBUTE{type, const_cast<void*>(value), length};
}

template <typename T>
CK_ATTRIBUTE Attr(CK_ATTRIBUTE_TYPE type, const T& value) {
  return Attr(type, &value, sizeof(value));
}

CK_ATTRIBUTE TextAttr(CK_ATTRIBUTE_TYPE type, const char* text) {
  return Attr(type, text, static_cast<CK_ULONG>(std::strlen(text)));
}

// The two-call protocol of the list functions: the count, an array of that
// size, the list. An empty list means no token (or no mechanism) to work
// with, also when it empties between the two calls.
template <typename T, typename Fetch>
int32_t FetchList(Fetch fetch, T*& list, CK_ULONG& count, int32_t countFailure,
                  int32_t fetchFailure) {
  if (fetch(nullptr, &count) != CKR_OK) return countFailure;
  if (count == 0) return MORVEL_ERR_NO_TOKEN;
  list = static_cast<T*>(std::malloc(count * sizeof(T)));
  if (!list || fetch(list, &count) != CKR_OK) return fetchFailure;
  return count == 0 ? MORVEL_ERR_NO_TOKEN : MORVEL_OK;
}

// What one call has reached on the token. The destructor undoes it in the
// fixed order: log out, close the session, free the mechanism and slot
// arrays, finalize, unload.
class TTokenCall {
 public:
  TTokenCall() = default;
  TTokenCall(const TTokenCall&) = delete;
  TTokenCall& operator=(const TTokenCall&) = delete;

  ~TTokenCall() {
    if (LoggedIn) Functions->C_Logout(Session);
    if (SessionOpen) Functions->C_CloseSession(Session);
    std::free(Mechanisms);
    std::free(Slots);
    if (Initialized) Functions->C_Finalize(nullptr);
    if (Module) UnloadTokenModule(Module);
  }

  // Loads the module, takes its function lists (the vendor's extended one
  // only for requests) and initializes it.
  int32_t Open(bool extended) {
    Module = LoadTokenModule();
    if (!Module) return MORVEL_ERR_INIT;
    auto getList =
        reinterpret_cast<CK_C_GetFunctionList>(FindTokenExport(Module, "C_GetFunctionList"));
    if (!getList) return MORVEL_ERR_INIT;
    CK_C_EX_GetFunctionListExtended getExtended = nullptr;
    if (extended) {
      getExtended = reinterpret_cast<CK_C_EX_GetFunctionListExtended>(
          FindTokenExport(Module, "C_EX_GetFunctionListExtended"));
      if (!getExtended) return MORVEL_ERR_INIT;
    }
    if (getList(&Functions) != CKR_OK || !Functions) return MORVEL_ERR_INIT;
    if (extended && (getExtended(&Extended) != CKR_OK || !Extended)) return MORVEL_ERR_INIT;
    if (Functions->C_Initialize(nullptr) != CKR_OK) return MORVEL_ERR_INIT;
    Initialized = true;
    return MORVEL_OK;
  }

  // The first slot holding a token.
  int32_t FindSlot() {
    CK_ULONG count = 0;
    int32_t rc =
        FetchList([this](CK_SLOT_ID* list,
                         CK_ULONG* n) { return Functions->C_GetSlotList(CK_TRUE, list, n); },
                  Slots, count, MORVEL_ERR_SLOT_COUNT, MORVEL_ERR_SLOT_LIST);
    if (rc == MORVEL_OK) Slot = Slots[0];
    return rc;
  }

  int32_t CheckKeyPairMechanism() {
    CK_ULONG count = 0;
    int32_t rc =
        FetchList([this](CK_MECHANISM_TYPE* list,
                         CK_ULONG* n) { return Functions->C_GetMechanismList(Slot, list, n); },
                  Mechanisms, count, MORVEL_ERR_SLOT_LIST, MORVEL_ERR_NO_TOKEN);
    if (rc != MORVEL_OK) return rc;
    for (CK_ULONG i = 0; i < count; ++i)
      if (Mechanisms[i] == CKM_GOSTR3410_KEY_PAIR_GEN) return MORVEL_OK;
    return MORVEL_ERR_NO_TOKEN;
  }

  int32_t OpenSessionAndLogin(const char* pin) {
    if (Functions->C_OpenSession(Slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                 &Session) != CKR_OK)
      return MORVEL_ERR_OPEN_SESSION;
    SessionOpen = true;
    if (Functions->C_Login(Session, CKU_USER,
                           reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin)),
                           static_cast<CK_ULONG>(std::strlen(pin))) != CKR_OK)
      return MORVEL_ERR_LOGIN;
    LoggedIn = true;
    return MORVEL_OK;
  }

  TTokenModule Module = nullptr;
  CK_FUNCTION_LIST* Functions = nullptr;
  CK_FUNCTION_LIST_EXTENDED* Extended = nullptr;
  bool Initialized = false;
  CK_SLOT_ID* Slots = nullptr;
  CK_SLOT_ID Slot = 0;
  CK_MECHANISM_TYPE* Mechanisms = nullptr;
  bool SessionOpen = false;
  CK_SESSION_HANDLE Session = 0;
  bool LoggedIn = false;
};

// Copies the vendor's request into a buffer of ours and releases the vendor's.
// A request that cannot be copied is a failed request: the out-parameters
// stay untouched.
int32_t TakeRequest(TTokenCall& call, CK_BYTE* request, CK_ULONG requestLen, uint8_t** out,
                    int32_t* outLen) {
  uint8_t* copy = nullptr;
  if (request && requestLen > 0 && requestLen <= INT32_MAX) {
    copy = static_cast<uint8_t*>(std::malloc(requestLen));
    if (copy) std::memcpy(copy, request, requestLen);
  }
  if (request) call.Extended->C_EX_FreeBuffer(request);
  if (!copy) return MORVEL_ERR_REQUEST;
  *out = copy;
  *outLen = static_cast<int32_t>(requestLen);
  return MORVEL_OK;
}

// Arguments that would crash the module or this library are refused before
// the module is loaded, with the code of the step that would use them, so no
// key pair is left behind for a request that could never be returned.
int32_t CheckRequestArguments(const char* pin, const char* label, const char* id,
                              const char* const* dn, int32_t dnCount, uint8_t** request,
                              int32_t* requestLen) {
  if (!pin) return MORVEL_ERR_LOGIN;
  if (!label || !id) return MORVEL_ERR_KEY_PAIR;
  if (dnCount < 0 || (!dn && dnCount > 0) || !request || !requestLen) return MORVEL_ERR_REQUEST;
  return MORVEL_OK;
}

int32_t GenerateRequest(const char* pin, const char* label, const char* id, const char* eku,
                        const char* const* dn, int32_t dnCount, uint8_t** request,
                        int32_t* requestLen) {
  int32_t checked = CheckRequestArguments(pin, label, id, dn, dnCount, request, requestLen);
  if (checked != MORVEL_OK) return checked;
  CK_ATTRIBUTE publicTemplate[] = {
      Attr(CKA_CLASS, kPublicKeyClass),
      TextAttr(CKA_LABEL, label),
      TextAttr(CKA_ID, id),
      Attr(CKA_KEY_TYPE, kGostKeyType),
      Attr(CKA_TOKEN, kTrue),
      Attr(CKA_PRIVATE, kFalse),
      Attr(CKA_GOSTR3410_PARAMS, kParamSetOid),
      Attr(CKA_GOSTR3411_PARAMS, kDigestOid),
  };
  CK_ATTRIBUTE privateTemplate[] = {
      Attr(CKA_CLASS, kPrivateKeyClass),
      TextAttr(CKA_LABEL, label),
      TextAttr(CKA_ID, id),
      Attr(CKA_KEY_TYPE, kGostKeyType),
      Attr(CKA_TOKEN, kTrue),
      Attr(CKA_PRIVATE, kTrue),
      Attr(CKA_DERIVE, kTrue),
      Attr(CKA_GOSTR3410_PARAMS, kParamSetOid),
      Attr(CKA_GOSTR3411_PARAMS, kDigestOid),
  };
  const char* extensions[] = {"keyUsage",         kKeyUsage,
                              "extendedKeyUsage", eku && *eku ? eku : kDefaultEku,
                              "2.5.29.32",        kPolicies};

  TTokenCall call;
  int32_t rc = call.Open(true);
  if (rc == MORVEL_OK) rc = call.FindSlot();
  if (rc == MORVEL_OK) rc = call.CheckKeyPairMechanism();
  if (rc == MORVEL_OK) rc = call.OpenSessionAndLogin(pin);
  if (rc != MORVEL_OK) return rc;

  CK_MECHANISM mechanism{CKM_GOSTR3410_KEY_PAIR_GEN, nullptr, 0};
  CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
  if (call.Functions->C_GenerateKeyPair(call.Session, &mechanism, publicTemplate, 8,
                                        privateTemplate, 9, &publicKey, &privateKey) != CKR_OK)
    return MORVEL_ERR_KEY_PAIR;

  CK_BYTE* vendorRequest = nullptr;
  CK_ULONG vendorRequestLen = 0;
  if (call.Extended->C_EX_CreateCertRequest(
          call.Session, publicKey, dn, static_cast<CK_ULONG>(dnCount), &vendorRequest,
          &vendorRequestLen, privateKey, nullptr, 0, extensions, 6) != CKR_OK)
    return MORVEL_ERR_REQUEST;
  return TakeRequest(call, vendorRequest, vendorRequestLen, request, requestLen);
}

}  // namespace

extern "C" {

int32_t MORVEL_CALL GenCertRequests(const char* Pin, const char* Label, const char* Id,
                                    const char* const* Dn, int32_t DnCount, uint8_t** Request,
                                    int32_t* RequestLen) {
  return GenerateRequest(Pin, Label, Id, nullptr, Dn, DnCount, Request, RequestLen);
}

int32_t MORVEL_CALL GenCertRequestsEKU(const char* Pin, const char* Label, const char* Id,
                                       const char* Eku, const char* const* Dn, int32_t DnCount,
                                       uint8_t** Request, int32_t* RequestLen) {
  return GenerateRequest(Pin, Label, Id, Eku, Dn, DnCount, Request, RequestLen);
}

int32_t MORVEL_CALL InstallCertificate(const char* Pin, const char* /*Reserved*/, const char* Id,
                                       const uint8_t* Cert, int32_t CertLen) {
  if (!Pin) return MORVEL_ERR_LOGIN;
  // A negative length cannot describe a certificate; it would reach the
  // module as a huge unsigned one.
  if (!Id || CertLen < 0 || (!Cert && CertLen > 0)) return MORVEL_ERR_CERTIFICATE;
  CK_ATTRIBUTE certTemplate[] = {
      Attr(CKA_VALUE, Cert, static_cast<CK_ULONG>(CertLen)),
      Attr(CKA_CLASS, kCertificateClass),
      TextAttr(CKA_ID, Id),
      Attr(CKA_TOKEN, kTrue),
      Attr(CKA_PRIVATE, kFalse),
      Attr(CKA_CERTIFICATE_TYPE, kX509),
      Attr(CKA_CERTIFICATE_CATEGORY, kTokenUserCategory),
  };

  TTokenCall call;
  int32_t rc = call.Open(false);
  if (rc == MORVEL_OK) rc = call.FindSlot();
  if (rc == MORVEL_OK) rc = call.OpenSessionAndLogin(Pin);
  if (rc != MORVEL_OK) return rc;

  CK_OBJECT_HANDLE object = 0;
  if (call.Functions->C_CreateObject(call.Session, certTemplate, 7, &object) != CKR_OK)
    return MORVEL_ERR_CERTIFICATE;
  return MORVEL_OK;
}

int32_t MORVEL_CALL FreeBuffMemory(void* Buffer) {
  std::free(Buffer);
  return 0;
}
}
