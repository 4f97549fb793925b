// A stand-in for Morvel in the binding's tests: an older build of the library
// without GenCertRequestsEKU and with a few of the further entry points. It
// writes every call into a log and answers with the result the test sets.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "app/uMorvelBinding.h"

#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

int32_t Result = 1;
std::string Log;
void* LastBuffer = nullptr;

// Not std::to_string: its digit table is a unique symbol, which would keep
// the library from ever being unloaded.
std::string Number(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
  return text;
}

// Byte data as text for the log, a zero byte as "<0>".
std::string Text(const uint8_t* data, int32_t length) {
  std::string text;
  for (int32_t i = 0; i < length; ++i)
    text += data[i] ? std::string(1, static_cast<char>(data[i])) : "<0>";
  return text;
}

// Answers with Result; on success hands out a buffer holding `contents`.
int32_t Answer(const std::string& contents, uint8_t** out, int32_t* outLength) {
  if (Result != 1) return Result;
  auto* buffer = static_cast<uint8_t*>(std::malloc(contents.size()));
  std::memcpy(buffer, contents.data(), contents.size());
  LastBuffer = buffer;
  *out = buffer;
  *outLength = static_cast<int32_t>(contents.size());
  return 1;
}

}  // namespace

STUB_EXPORT void MORVEL_CDECL StubReset(int32_t result) {
  Result = result;
  Log.clear();
}

STUB_EXPORT const char* MORVEL_CDECL StubLog() { return Log.c_str(); }

STUB_EXPORT int32_t MORVEL_CDECL GenCertRequests(const char* Pin, const char* Label, const char* Id,
                                                 const char* const* Dn, int32_t DnCount,
                                                 uint8_t** Request, int32_t* RequestLen) {
  Log += std::string("GenCertRequests(") + Pin + "," + Label + "," + Id + ",";
  for (int32_t i = 0; i < DnCount; ++i) Log += std::string(Dn[i]) + "/";
  Log += Number(DnCount) + ");";
  return Answer(std::string("REQ\0UEST", 8), Request, RequestLen);
}

STUB_EXPORT int32_t MORVEL_CDECL InstallCertificate(const char* Pin, const char* Label,
                                                    const char* Id, const uint8_t* Cert,
                                                    int32_t CertLen) {
  Log += std::string("InstallCertificate(") + Pin + "," + Label + "," + Id + "," +
         Text(Cert, CertLen) + ");";
  return Result;
}

STUB_EXPORT int32_t MORVEL_CDECL FreeBuffMemory(void* Buffer) {
  Log += Buffer == LastBuffer ? "FreeBuffMemory(returned);" : "FreeBuffMemory(other);";
  std::free(Buffer);
  return 0;
}

STUB_EXPORT int32_t MORVEL_CDECL GetSign(const char* Pin, const uint8_t* Cert, int32_t CertLen,
                                         const uint8_t* Data, int32_t DataLen, uint8_t** Out,
                                         int32_t* OutLen) {
  Log +=
      std::string("GetSign(") + Pin + "," + Text(Cert, CertLen) + "," + Text(Data, DataLen) + ");";
  return Answer("SIGNATURE", Out, OutLen);
}

STUB_EXPORT int32_t MORVEL_CDECL InitSession(const char* Pin) {
  Log += std::string("InitSession(") + Pin + ");";
  return 7;
}

STUB_EXPORT int32_t MORVEL_CDECL FreeSession(int32_t Session) {
  Log += "FreeSession(" + Number(Session) + ");";
  return 1;
}

STUB_EXPORT int32_t MORVEL_CDECL EncryptMem(int32_t Session, const uint8_t* Cert, int32_t CertLen,
                                            const uint8_t* Data, int32_t DataLen, uint8_t** Out,
                                            int32_t* OutLen) {
  Log += "EncryptMem(" + Number(Session) + "," + Text(Cert, CertLen) + "," + Text(Data, DataLen) +
         ");";
  return Answer("ENCRYPTED", Out, OutLen);
}

// The stub's entry points have the binding's types.
static_assert(std::is_same_v<decltype(&GenCertRequests), TGenCertRequests>);
static_assert(std::is_same_v<decltype(&InstallCertificate), TInstallCertificate>);
static_assert(std::is_same_v<decltype(&FreeBuffMemory), TFreeBuffMemory>);
static_assert(std::is_same_v<decltype(&GetSign), TGetSign>);
static_assert(std::is_same_v<decltype(&InitSession), TInitSession>);
static_assert(std::is_same_v<decltype(&FreeSession), TFreeSession>);
static_assert(std::is_same_v<decltype(&EncryptMem), TCryptMem>);
