// PKCS#11 v2.20 types, constants and the standard function list, declared
// here from the standard's published numbers. Shared by Morvel (the caller)
// and the token emulator (the module), so both sides see one layout.
//
// Platform conventions of the standard:
// - Windows: cdecl entry points and 1-byte packing of every structure (the
//   vendor module is built that way); CK_ULONG is a 32-bit unsigned long,
//   also in the 64-bit test build, where only the pointers grow.
// - elsewhere: natural packing, CK_ULONG is the native unsigned long.
#pragma once

#if defined(_WIN32)
#define CK_CALL __cdecl
#pragma pack(push, 1)
#else
#define CK_CALL
#endif

using CK_BYTE = unsigned char;
using CK_CHAR = unsigned char;
using CK_UTF8CHAR = unsigned char;
using CK_BBOOL = unsigned char;
using CK_ULONG = unsigned long;
using CK_LONG = long;
using CK_FLAGS = CK_ULONG;

using CK_BYTE_PTR = CK_BYTE*;
using CK_CHAR_PTR = CK_CHAR*;
using CK_UTF8CHAR_PTR = CK_UTF8CHAR*;
using CK_ULONG_PTR = CK_ULONG*;
using CK_VOID_PTR = void*;
using CK_VOID_PTR_PTR = void**;

using CK_RV = CK_ULONG;
using CK_SLOT_ID = CK_ULONG;
using CK_SLOT_ID_PTR = CK_SLOT_ID*;
using CK_SESSION_HANDLE = CK_ULONG;
using CK_SESSION_HANDLE_PTR = CK_SESSION_HANDLE*;
using CK_OBJECT_HANDLE = CK_ULONG;
using CK_OBJECT_HANDLE_PTR = CK_OBJECT_HANDLE*;
using CK_OBJECT_CLASS = CK_ULONG;
using CK_KEY_TYPE = CK_ULONG;
using CK_CERTIFICATE_TYPE = CK_ULONG;
using CK_ATTRIBUTE_TYPE = CK_ULONG;
using CK_MECHANISM_TYPE = CK_ULONG;
using CK_MECHANISM_TYPE_PTR = CK_MECHANISM_TYPE*;
using CK_USER_TYPE = CK_ULONG;
using CK_STATE = CK_ULONG;
using CK_NOTIFICATION = CK_ULONG;

inline constexpr CK_BBOOL CK_FALSE = 0;
inline constexpr CK_BBOOL CK_TRUE = 1;
inline constexpr CK_ULONG CK_INVALID_HANDLE = 0;
inline constexpr CK_ULONG CK_UNAVAILABLE_INFORMATION = ~0UL;
inline constexpr CK_ULONG CK_EFFECTIVELY_INFINITE = 0;

struct CK_VERSION {
  CK_BYTE major;
  CK_BYTE minor;
};
using CK_VERSION_PTR = CK_VERSION*;

struct CK_INFO {
  CK_VERSION cryptokiVersion;
  CK_UTF8CHAR manufacturerID[32];
  CK_FLAGS flags;
  CK_UTF8CHAR libraryDescription[32];
  CK_VERSION libraryVersion;
};
using CK_INFO_PTR = CK_INFO*;

struct CK_SLOT_INFO {
  CK_UTF8CHAR slotDescription[64];
  CK_UTF8CHAR manufacturerID[32];
  CK_FLAGS flags;
  CK_VERSION hardwareVersion;
  CK_VERSION firmwareVersion;
};
using CK_SLOT_INFO_PTR = CK_SLOT_INFO*;

struct CK_TOKEN_INFO {
  CK_UTF8CHAR label[32];
  CK_UTF8CHAR manufacturerID[32];
  CK_UTF8CHAR model[16];
  CK_CHAR serialNumber[16];
  CK_FLAGS flags;
  CK_ULONG ulMaxSessionCount;
  CK_ULONG ulSessionCount;
  CK_ULONG ulMaxRwSessionCount;
  CK_ULONG ulRwSessionCount;
  CK_ULONG ulMaxPinLen;
  CK_ULONG ulMinPinLen;
  CK_ULONG ulTotalPublicMemory;
  CK_ULONG ulFreePublicMemory;
  CK_ULONG ulTotalPrivateMemory;
  CK_ULONG ulFreePrivateMemory;
  CK_VERSION hardwareVersion;
  CK_VERSION firmwareVersion;
  CK_CHAR utcTime[16];
};
using CK_TOKEN_INFO_PTR = CK_TOKEN_INFO*;

struct CK_SESSION_INFO {
  CK_SLOT_ID slotID;
  CK_STATE state;
  CK_FLAGS flags;
  CK_ULONG ulDeviceError;
};
using CK_SESSION_INFO_PTR = CK_SESSION_INFO*;

struct CK_ATTRIBUTE {
  CK_ATTRIBUTE_TYPE type;
  CK_VOID_PTR pValue;
  CK_ULONG ulValueLen;
};
using CK_ATTRIBUTE_PTR = CK_ATTRIBUTE*;

struct CK_MECHANISM {
  CK_MECHANISM_TYPE mechanism;
  CK_VOID_PTR pParameter;
  CK_ULONG ulParameterLen;
};
using CK_MECHANISM_PTR = CK_MECHANISM*;

struct CK_MECHANISM_INFO {
  CK_ULONG ulMinKeySize;
  CK_ULONG ulMaxKeySize;
  CK_FLAGS flags;
};
using CK_MECHANISM_INFO_PTR = CK_MECHANISM_INFO*;

using CK_NOTIFY = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_NOTIFICATION event,
                                  CK_VOID_PTR pApplication);
using CK_CREATEMUTEX = CK_RV(CK_CALL*)(CK_VOID_PTR_PTR ppMutex);
using CK_DESTROYMUTEX = CK_RV(CK_CALL*)(CK_VOID_PTR pMutex);
using CK_LOCKMUTEX = CK_RV(CK_CALL*)(CK_VOID_PTR pMutex);
using CK_UNLOCKMUTEX = CK_RV(CK_CALL*)(CK_VOID_PTR pMutex);

struct CK_C_INITIALIZE_ARGS {
  CK_CREATEMUTEX CreateMutex;
  CK_DESTROYMUTEX DestroyMutex;
  CK_LOCKMUTEX LockMutex;
  CK_UNLOCKMUTEX UnlockMutex;
  CK_FLAGS flags;
  CK_VOID_PTR pReserved;
};
using CK_C_INITIALIZE_ARGS_PTR = CK_C_INITIALIZE_ARGS*;

// Return values.
inline constexpr CK_RV CKR_OK = 0x00;
inline constexpr CK_RV CKR_CANCEL = 0x01;
inline constexpr CK_RV CKR_HOST_MEMORY = 0x02;
inline constexpr CK_RV CKR_SLOT_ID_INVALID = 0x03;
inline constexpr CK_RV CKR_GENERAL_ERROR = 0x05;
inline constexpr CK_RV CKR_FUNCTION_FAILED = 0x06;
inline constexpr CK_RV CKR_ARGUMENTS_BAD = 0x07;
inline constexpr CK_RV CKR_ATTRIBUTE_READ_ONLY = 0x10;
inline constexpr CK_RV CKR_ATTRIBUTE_SENSITIVE = 0x11;
inline constexpr CK_RV CKR_ATTRIBUTE_TYPE_INVALID = 0x12;
inline constexpr CK_RV CKR_ATTRIBUTE_VALUE_INVALID = 0x13;
inline constexpr CK_RV CKR_DATA_INVALID = 0x20;
inline constexpr CK_RV CKR_DATA_LEN_RANGE = 0x21;
inline constexpr CK_RV CKR_DEVICE_ERROR = 0x30;
inline constexpr CK_RV CKR_DEVICE_MEMORY = 0x31;
inline constexpr CK_RV CKR_DEVICE_REMOVED = 0x32;
inline constexpr CK_RV CKR_FUNCTION_NOT_SUPPORTED = 0x54;
inline constexpr CK_RV CKR_KEY_HANDLE_INVALID = 0x60;
inline constexpr CK_RV CKR_KEY_TYPE_INCONSISTENT = 0x63;
inline constexpr CK_RV CKR_MECHANISM_INVALID = 0x70;
inline constexpr CK_RV CKR_MECHANISM_PARAM_INVALID = 0x71;
inline constexpr CK_RV CKR_OBJECT_HANDLE_INVALID = 0x82;
inline constexpr CK_RV CKR_OPERATION_ACTIVE = 0x90;
inline constexpr CK_RV CKR_OPERATION_NOT_INITIALIZED = 0x91;
inline constexpr CK_RV CKR_PIN_INCORRECT = 0xA0;
inline constexpr CK_RV CKR_PIN_INVALID = 0xA1;
inline constexpr CK_RV CKR_PIN_LEN_RANGE = 0xA2;
inline constexpr CK_RV CKR_PIN_LOCKED = 0xA4;
inline constexpr CK_RV CKR_SESSION_CLOSED = 0xB0;
inline constexpr CK_RV CKR_SESSION_COUNT = 0xB1;
inline constexpr CK_RV CKR_SESSION_HANDLE_INVALID = 0xB3;
inline constexpr CK_RV CKR_SESSION_PARALLEL_NOT_SUPPORTED = 0xB4;
inline constexpr CK_RV CKR_SESSION_READ_ONLY = 0xB5;
inline constexpr CK_RV CKR_TEMPLATE_INCOMPLETE = 0xD0;
inline constexpr CK_RV CKR_TEMPLATE_INCONSISTENT = 0xD1;
inline constexpr CK_RV CKR_TOKEN_NOT_PRESENT = 0xE0;
inline constexpr CK_RV CKR_TOKEN_NOT_RECOGNIZED = 0xE1;
inline constexpr CK_RV CKR_TOKEN_WRITE_PROTECTED = 0xE2;
inline constexpr CK_RV CKR_USER_ALREADY_LOGGED_IN = 0x100;
inline constexpr CK_RV CKR_USER_NOT_LOGGED_IN = 0x101;
inline constexpr CK_RV CKR_USER_PIN_NOT_INITIALIZED = 0x102;
inline constexpr CK_RV CKR_USER_TYPE_INVALID = 0x103;
inline constexpr CK_RV CKR_BUFFER_TOO_SMALL = 0x150;
inline constexpr CK_RV CKR_CRYPTOKI_NOT_INITIALIZED = 0x190;
inline constexpr CK_RV CKR_CRYPTOKI_ALREADY_INITIALIZED = 0x191;
inline constexpr CK_RV CKR_VENDOR_DEFINED = 0x80000000UL;

// Object classes.
inline constexpr CK_OBJECT_CLASS CKO_DATA = 0;
inline constexpr CK_OBJECT_CLASS CKO_CERTIFICATE = 1;
inline constexpr CK_OBJECT_CLASS CKO_PUBLIC_KEY = 2;
inline constexpr CK_OBJECT_CLASS CKO_PRIVATE_KEY = 3;
inline constexpr CK_OBJECT_CLASS CKO_SECRET_KEY = 4;

// Key types.
inline constexpr CK_KEY_TYPE CKK_GOSTR3410 = 0x30;
inline constexpr CK_KEY_TYPE CKK_GOSTR3411 = 0x31;
inline constexpr CK_KEY_TYPE CKK_GOST28147 = 0x32;

// Certificate types and categories.
inline constexpr CK_CERTIFICATE_TYPE CKC_X_509 = 0;
inline constexpr CK_ULONG CK_CERTIFICATE_CATEGORY_UNSPECIFIED = 0;
inline constexpr CK_ULONG CK_CERTIFICATE_CATEGORY_TOKEN_USER = 1;

// Attribute types.
inline constexpr CK_ATTRIBUTE_TYPE CKA_CLASS = 0x000;
inline constexpr CK_ATTRIBUTE_TYPE CKA_TOKEN = 0x001;
inline constexpr CK_ATTRIBUTE_TYPE CKA_PRIVATE = 0x002;
inline constexpr CK_ATTRIBUTE_TYPE CKA_LABEL = 0x003;
inline constexpr CK_ATTRIBUTE_TYPE CKA_VALUE = 0x011;
inline constexpr CK_ATTRIBUTE_TYPE CKA_CERTIFICATE_TYPE = 0x080;
inline constexpr CK_ATTRIBUTE_TYPE CKA_CERTIFICATE_CATEGORY = 0x087;
inline constexpr CK_ATTRIBUTE_TYPE CKA_KEY_TYPE = 0x100;
inline constexpr CK_ATTRIBUTE_TYPE CKA_SUBJECT = 0x101;
inline constexpr CK_ATTRIBUTE_TYPE CKA_ID = 0x102;
inline constexpr CK_ATTRIBUTE_TYPE CKA_SENSITIVE = 0x103;
inline constexpr CK_ATTRIBUTE_TYPE CKA_SIGN = 0x108;
inline constexpr CK_ATTRIBUTE_TYPE CKA_VERIFY = 0x10A;
inline constexpr CK_ATTRIBUTE_TYPE CKA_DERIVE = 0x10C;
inline constexpr CK_ATTRIBUTE_TYPE CKA_EXTRACTABLE = 0x162;
inline constexpr CK_ATTRIBUTE_TYPE CKA_LOCAL = 0x163;
inline constexpr CK_ATTRIBUTE_TYPE CKA_KEY_GEN_MECHANISM = 0x166;
inline constexpr CK_ATTRIBUTE_TYPE CKA_MODIFIABLE = 0x170;
inline constexpr CK_ATTRIBUTE_TYPE CKA_GOSTR3410_PARAMS = 0x250;
inline constexpr CK_ATTRIBUTE_TYPE CKA_GOSTR3411_PARAMS = 0x251;
inline constexpr CK_ATTRIBUTE_TYPE CKA_VENDOR_DEFINED = 0x80000000UL;

// Mechanisms.
inline constexpr CK_MECHANISM_TYPE CKM_GOSTR3410_KEY_PAIR_GEN = 0x1200;
inline constexpr CK_MECHANISM_TYPE CKM_GOSTR3410 = 0x1201;
inline constexpr CK_MECHANISM_TYPE CKM_GOSTR3410_WITH_GOSTR3411 = 0x1202;
inline constexpr CK_MECHANISM_TYPE CKM_GOSTR3411 = 0x1210;

// User types.
inline constexpr CK_USER_TYPE CKU_SO = 0;
inline constexpr CK_USER_TYPE CKU_USER = 1;

// Session states.
inline constexpr CK_STATE CKS_RO_PUBLIC_SESSION = 0;
inline constexpr CK_STATE CKS_RO_USER_FUNCTIONS = 1;
inline constexpr CK_STATE CKS_RW_PUBLIC_SESSION = 2;
inline constexpr CK_STATE CKS_RW_USER_FUNCTIONS = 3;

// Flags: slot info, token info, session, mechanism info, initialize args.
inline constexpr CK_FLAGS CKF_TOKEN_PRESENT = 0x0001;
inline constexpr CK_FLAGS CKF_REMOVABLE_DEVICE = 0x0002;
inline constexpr CK_FLAGS CKF_HW_SLOT = 0x0004;
inline constexpr CK_FLAGS CKF_RNG = 0x0001;
inline constexpr CK_FLAGS CKF_LOGIN_REQUIRED = 0x0004;
inline constexpr CK_FLAGS CKF_USER_PIN_INITIALIZED = 0x0008;
inline constexpr CK_FLAGS CKF_TOKEN_INITIALIZED = 0x0400;
inline constexpr CK_FLAGS CKF_RW_SESSION = 0x0002;
inline constexpr CK_FLAGS CKF_SERIAL_SESSION = 0x0004;
inline constexpr CK_FLAGS CKF_HW = 0x0001;
inline constexpr CK_FLAGS CKF_GENERATE_KEY_PAIR = 0x10000;
inline constexpr CK_FLAGS CKF_LIBRARY_CANT_CREATE_OS_THREADS = 0x0001;
inline constexpr CK_FLAGS CKF_OS_LOCKING_OK = 0x0002;

struct CK_FUNCTION_LIST;
using CK_FUNCTION_LIST_PTR = CK_FUNCTION_LIST*;
using CK_FUNCTION_LIST_PTR_PTR = CK_FUNCTION_LIST_PTR*;

// One pointer type per entry point, in the standard's naming.
using CK_C_Initialize = CK_RV(CK_CALL*)(CK_VOID_PTR pInitArgs);
using CK_C_Finalize = CK_RV(CK_CALL*)(CK_VOID_PTR pReserved);
using CK_C_GetInfo = CK_RV(CK_CALL*)(CK_INFO_PTR pInfo);
using CK_C_GetFunctionList = CK_RV(CK_CALL*)(CK_FUNCTION_LIST_PTR_PTR ppFunctionList);
using CK_C_GetSlotList = CK_RV(CK_CALL*)(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR pSlotList,
                                         CK_ULONG_PTR pulCount);
using CK_C_GetSlotInfo = CK_RV(CK_CALL*)(CK_SLOT_ID slotID, CK_SLOT_INFO_PTR pInfo);
using CK_C_GetTokenInfo = CK_RV(CK_CALL*)(CK_SLOT_ID slotID, CK_TOKEN_INFO_PTR pInfo);
using CK_C_GetMechanismList = CK_RV(CK_CALL*)(CK_SLOT_ID slotID,
                                              CK_MECHANISM_TYPE_PTR pMechanismList,
                                              CK_ULONG_PTR pulCount);
using CK_C_GetMechanismInfo = CK_RV(CK_CALL*)(CK_SLOT_ID slotID, CK_MECHANISM_TYPE type,
                                              CK_MECHANISM_INFO_PTR pInfo);
using CK_C_InitToken = CK_RV(CK_CALL*)(CK_SLOT_ID slotID, CK_UTF8CHAR_PTR pPin, CK_ULONG ulPinLen,
                                       CK_UTF8CHAR_PTR pLabel);
using CK_C_InitPIN = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_UTF8CHAR_PTR pPin,
                                     CK_ULONG ulPinLen);
using CK_C_SetPIN = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_UTF8CHAR_PTR pOldPin,
                                    CK_ULONG ulOldLen, CK_UTF8CHAR_PTR pNewPin, CK_ULONG ulNewLen);
using CK_C_OpenSession = CK_RV(CK_CALL*)(CK_SLOT_ID slotID, CK_FLAGS flags,
                                         CK_VOID_PTR pApplication, CK_NOTIFY Notify,
                                         CK_SESSION_HANDLE_PTR phSession);
using CK_C_CloseSession = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession);
using CK_C_CloseAllSessions = CK_RV(CK_CALL*)(CK_SLOT_ID slotID);
using CK_C_GetSessionInfo = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_SESSION_INFO_PTR pInfo);
using CK_C_GetOperationState = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession,
                                               CK_BYTE_PTR pOperationState,
                                               CK_ULONG_PTR pulOperationStateLen);
using CK_C_SetOperationState = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession,
                                               CK_BYTE_PTR pOperationState,
                                               CK_ULONG ulOperationStateLen,
                                               CK_OBJECT_HANDLE hEncryptionKey,
                                               CK_OBJECT_HANDLE hAuthenticationKey);
using CK_C_Login = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_USER_TYPE userType,
                                   CK_UTF8CHAR_PTR pPin, CK_ULONG ulPinLen);
using CK_C_Logout = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession);
using CK_C_CreateObject = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_ATTRIBUTE_PTR pTemplate,
                                          CK_ULONG ulCount, CK_OBJECT_HANDLE_PTR phObject);
using CK_C_CopyObject = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject,
                                        CK_ATTRIBUTE_PTR pTemplate, CK_ULONG ulCount,
                                        CK_OBJECT_HANDLE_PTR phNewObject);
using CK_C_DestroyObject = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject);
using CK_C_GetObjectSize = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject,
                                           CK_ULONG_PTR pulSize);
using CK_C_GetAttributeValue = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject,
                                               CK_ATTRIBUTE_PTR pTemplate, CK_ULONG ulCount);
using CK_C_SetAttributeValue = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hObject,
                                               CK_ATTRIBUTE_PTR pTemplate, CK_ULONG ulCount);
using CK_C_FindObjectsInit = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_ATTRIBUTE_PTR pTemplate,
                                             CK_ULONG ulCount);
using CK_C_FindObjects = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE_PTR phObject,
                                         CK_ULONG ulMaxObjectCount, CK_ULONG_PTR pulObjectCount);
using CK_C_FindObjectsFinal = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession);
// Init calls of the cryptographic operations share one shape.
using CK_C_OperationInit = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                                           CK_OBJECT_HANDLE hKey);
using CK_C_EncryptInit = CK_C_OperationInit;
// Single-part and update calls that produce output share one shape.
using CK_C_Transform = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pIn,
                                       CK_ULONG ulInLen, CK_BYTE_PTR pOut, CK_ULONG_PTR pulOutLen);
using CK_C_Encrypt = CK_C_Transform;
using CK_C_EncryptUpdate = CK_C_Transform;
using CK_C_Final = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pOut,
                                   CK_ULONG_PTR pulOutLen);
using CK_C_EncryptFinal = CK_C_Final;
using CK_C_DecryptInit = CK_C_OperationInit;
using CK_C_Decrypt = CK_C_Transform;
using CK_C_DecryptUpdate = CK_C_Transform;
using CK_C_DecryptFinal = CK_C_Final;
using CK_C_DigestInit = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism);
using CK_C_Digest = CK_C_Transform;
using CK_C_Update = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pPart,
                                    CK_ULONG ulPartLen);
using CK_C_DigestUpdate = CK_C_Update;
using CK_C_DigestKey = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_OBJECT_HANDLE hKey);
using CK_C_DigestFinal = CK_C_Final;
using CK_C_SignInit = CK_C_OperationInit;
using CK_C_Sign = CK_C_Transform;
using CK_C_SignUpdate = CK_C_Update;
using CK_C_SignFinal = CK_C_Final;
using CK_C_SignRecoverInit = CK_C_OperationInit;
using CK_C_SignRecover = CK_C_Transform;
using CK_C_VerifyInit = CK_C_OperationInit;
using CK_C_Verify = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pData,
                                    CK_ULONG ulDataLen, CK_BYTE_PTR pSignature,
                                    CK_ULONG ulSignatureLen);
using CK_C_VerifyUpdate = CK_C_Update;
using CK_C_VerifyFinal = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_BYTE_PTR pSignature,
                                         CK_ULONG ulSignatureLen);
using CK_C_VerifyRecoverInit = CK_C_OperationInit;
using CK_C_VerifyRecover = CK_C_Transform;
using CK_C_DigestEncryptUpdate = CK_C_Transform;
using CK_C_DecryptDigestUpdate = CK_C_Transform;
using CK_C_SignEncryptUpdate = CK_C_Transform;
using CK_C_DecryptVerifyUpdate = CK_C_Transform;
using CK_C_GenerateKey = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                                         CK_ATTRIBUTE_PTR pTemplate, CK_ULONG ulCount,
                                         CK_OBJECT_HANDLE_PTR phKey);
using CK_C_GenerateKeyPair =
    CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                    CK_ATTRIBUTE_PTR pPublicKeyTemplate, CK_ULONG ulPublicKeyAttributeCount,
                    CK_ATTRIBUTE_PTR pPrivateKeyTemplate, CK_ULONG ulPrivateKeyAttributeCount,
                    CK_OBJECT_HANDLE_PTR phPublicKey, CK_OBJECT_HANDLE_PTR phPrivateKey);
using CK_C_WrapKey = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                                     CK_OBJECT_HANDLE hWrappingKey, CK_OBJECT_HANDLE hKey,
                                     CK_BYTE_PTR pWrappedKey, CK_ULONG_PTR pulWrappedKeyLen);
using CK_C_UnwrapKey = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                                       CK_OBJECT_HANDLE hUnwrappingKey, CK_BYTE_PTR pWrappedKey,
                                       CK_ULONG ulWrappedKeyLen, CK_ATTRIBUTE_PTR pTemplate,
                                       CK_ULONG ulAttributeCount, CK_OBJECT_HANDLE_PTR phKey);
using CK_C_DeriveKey = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession, CK_MECHANISM_PTR pMechanism,
                                       CK_OBJECT_HANDLE hBaseKey, CK_ATTRIBUTE_PTR pTemplate,
                                       CK_ULONG ulAttributeCount, CK_OBJECT_HANDLE_PTR phKey);
using CK_C_SeedRandom = CK_C_Update;
using CK_C_GenerateRandom = CK_C_Update;
using CK_C_GetFunctionStatus = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession);
using CK_C_CancelFunction = CK_RV(CK_CALL*)(CK_SESSION_HANDLE hSession);
using CK_C_WaitForSlotEvent = CK_RV(CK_CALL*)(CK_FLAGS flags, CK_SLOT_ID_PTR pSlot,
                                              CK_VOID_PTR pReserved);

// The v2.20 function list: the version, then 68 entry points in this order.
struct CK_FUNCTION_LIST {
  CK_VERSION version;
  CK_C_Initialize C_Initialize;
  CK_C_Finalize C_Finalize;
  CK_C_GetInfo C_GetInfo;
  CK_C_GetFunctionList C_GetFunctionList;
  CK_C_GetSlotList C_GetSlotList;
  CK_C_GetSlotInfo C_GetSlotInfo;
  CK_C_GetTokenInfo C_GetTokenInfo;
  CK_C_GetMechanismList C_GetMechanismList;
  CK_C_GetMechanismInfo C_GetMechanismInfo;
  CK_C_InitToken C_InitToken;
  CK_C_InitPIN C_InitPIN;
  CK_C_SetPIN C_SetPIN;
  CK_C_OpenSession C_OpenSession;
  CK_C_CloseSession C_CloseSession;
  CK_C_CloseAllSessions C_CloseAllSessions;
  CK_C_GetSessionInfo C_GetSessionInfo;
  CK_C_GetOperationState C_GetOperationState;
  CK_C_SetOperationState C_SetOperationState;
  CK_C_Login C_Login;
  CK_C_Logout C_Logout;
  CK_C_CreateObject C_CreateObject;
  CK_C_CopyObject C_CopyObject;
  CK_C_DestroyObject C_DestroyObject;
  CK_C_GetObjectSize C_GetObjectSize;
  CK_C_GetAttributeValue C_GetAttributeValue;
  CK_C_SetAttributeValue C_SetAttributeValue;
  CK_C_FindObjectsInit C_FindObjectsInit;
  CK_C_FindObjects C_FindObjects;
  CK_C_FindObjectsFinal C_FindObjectsFinal;
  CK_C_EncryptInit C_EncryptInit;
  CK_C_Encrypt C_Encrypt;
  CK_C_EncryptUpdate C_EncryptUpdate;
  CK_C_EncryptFinal C_EncryptFinal;
  CK_C_DecryptInit C_DecryptInit;
  CK_C_Decrypt C_Decrypt;
  CK_C_DecryptUpdate C_DecryptUpdate;
  CK_C_DecryptFinal C_DecryptFinal;
  CK_C_DigestInit C_DigestInit;
  CK_C_Digest C_Digest;
  CK_C_DigestUpdate C_DigestUpdate;
  CK_C_DigestKey C_DigestKey;
  CK_C_DigestFinal C_DigestFinal;
  CK_C_SignInit C_SignInit;
  CK_C_Sign C_Sign;
  CK_C_SignUpdate C_SignUpdate;
  CK_C_SignFinal C_SignFinal;
  CK_C_SignRecoverInit C_SignRecoverInit;
  CK_C_SignRecover C_SignRecover;
  CK_C_VerifyInit C_VerifyInit;
  CK_C_Verify C_Verify;
  CK_C_VerifyUpdate C_VerifyUpdate;
  CK_C_VerifyFinal C_VerifyFinal;
  CK_C_VerifyRecoverInit C_VerifyRecoverInit;
  CK_C_VerifyRecover C_VerifyRecover;
  CK_C_DigestEncryptUpdate C_DigestEncryptUpdate;
  CK_C_DecryptDigestUpdate C_DecryptDigestUpdate;
  CK_C_SignEncryptUpdate C_SignEncryptUpdate;
  CK_C_DecryptVerifyUpdate C_DecryptVerifyUpdate;
  CK_C_GenerateKey C_GenerateKey;
  CK_C_GenerateKeyPair C_GenerateKeyPair;
  CK_C_WrapKey C_WrapKey;
  CK_C_UnwrapKey C_UnwrapKey;
  CK_C_DeriveKey C_DeriveKey;
  CK_C_SeedRandom C_SeedRandom;
  CK_C_GenerateRandom C_GenerateRandom;
  CK_C_GetFunctionStatus C_GetFunctionStatus;
  CK_C_CancelFunction C_CancelFunction;
  CK_C_WaitForSlotEvent C_WaitForSlotEvent;
};

#if defined(_WIN32)
#pragma pack(pop)
#endif
#if defined(_WIN64)
static_assert(sizeof(CK_ATTRIBUTE) == 16 && sizeof(CK_MECHANISM) == 16);
static_assert(sizeof(CK_FUNCTION_LIST) == 2 + 68 * 8);
#elif defined(_WIN32)
static_assert(sizeof(CK_ATTRIBUTE) == 12 && sizeof(CK_MECHANISM) == 12);
static_assert(sizeof(CK_FUNCTION_LIST) == 2 + 68 * 4);
#else
static_assert(sizeof(CK_FUNCTION_LIST) == sizeof(void*) * 69);
#endif
