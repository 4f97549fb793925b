// A token library for the signing page's tests: Morvel with the further
// entry points, over a pretend token. The test puts certificates and public
// keys on it, can make an entry point fail or answer with bytes of its
// choosing, and reads the calls back from a log.
//
// Its containers are plain text: an attached signature is
// "SIGNED(<data>)", a detached one "DETACHED(<data length>)", an encrypted
// file "ENC(<data>)", and a test signature the certificate and the data.
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "app/uMorvelBinding.h"

#define STUB_EXPORT extern "C" __declspec(dllexport)

namespace {

constexpr int32_t kSession = 5;

std::vector<std::string> Certificates;
std::string PublicKeys;
std::map<std::string, int32_t> Results;
std::map<std::string, std::string> Outputs;
std::string Log;

std::string Bytes(const uint8_t* data, int32_t length) {
  return std::string(reinterpret_cast<const char*>(data), length);
}

// The 1-based place of a certificate on the token, 0 when it is not there.
int CertificateNumber(const uint8_t* cert, int32_t length) {
  for (size_t i = 0; i < Certificates.size(); ++i)
    if (Certificates[i] == Bytes(cert, length)) return static_cast<int>(i) + 1;
  return 0;
}

// "cert<n>" for a certificate on the token, "cert?" for another.
std::string CertName(const uint8_t* cert, int32_t length) {
  const int number = CertificateNumber(cert, length);
  return number ? "cert" + std::to_string(number) : "cert?";
}

// What the test made `name` return, else `result`.
int32_t ResultOf(const std::string& name, int32_t result) {
  auto found = Results.find(name);
  return found == Results.end() ? result : found->second;
}

// Answers for `name`: its result, and on success a buffer holding `contents`
// (or what the test set for it).
int32_t Answer(const std::string& name, int32_t result, const std::string& contents, uint8_t** out,
               int32_t* outLength) {
  result = ResultOf(name, result);
  if (result != 1) return result;
  auto set = Outputs.find(name);
  const std::string& bytes = set == Outputs.end() ? contents : set->second;
  auto* buffer = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
  std::memcpy(buffer, bytes.data(), bytes.size());
  *out = buffer;
  *outLength = static_cast<int32_t>(bytes.size());
  return 1;
}

bool Wrapped(const std::string& text, const std::string& head) {
  return text.size() > head.size() && text.compare(0, head.size(), head) == 0 && text.back() == ')';
}

std::string Signature(const std::string& data, bool detached) {
  return detached ? "DETACHED(" + std::to_string(data.size()) + ")" : "SIGNED(" + data + ")";
}

}  // namespace

// ---- For the test -----------------------------------------------------------

STUB_EXPORT void MORVEL_CDECL StubReset() {
  Certificates.clear();
  PublicKeys.clear();
  Results.clear();
  Outputs.clear();
  Log.clear();
}

STUB_EXPORT void MORVEL_CDECL StubAddCertificate(const uint8_t* cert, int32_t length) {
  Certificates.push_back(Bytes(cert, length));
}

STUB_EXPORT void MORVEL_CDECL StubAddPublicKey(const char* key) { PublicKeys.append(key, 64); }

STUB_EXPORT void MORVEL_CDECL StubSetResult(const char* name, int32_t result) {
  Results[name] = result;
}

STUB_EXPORT void MORVEL_CDECL StubSetOutput(const char* name, const uint8_t* data, int32_t length) {
  Outputs[name] = Bytes(data, length);
}

STUB_EXPORT const char* MORVEL_CDECL StubLog() { return Log.c_str(); }

// ---- Morvel -------------------------------------------------------------------

STUB_EXPORT int32_t MORVEL_CDECL FreeBuffMemory(void* buffer) {
  Log += "FreeBuffMemory;";
  std::free(buffer);
  return 0;
}

STUB_EXPORT int32_t MORVEL_CDECL InitSession(const char* pin) {
  Log += std::string("InitSession(") + pin + ");";
  return ResultOf("InitSession", std::string(pin) == "40715382" ? kSession : 0);
}

STUB_EXPORT int32_t MORVEL_CDECL FreeSession(int32_t session) {
  Log += "FreeSession(" + std::to_string(session) + ");";
  return 1;
}

STUB_EXPORT int32_t MORVEL_CDECL EncryptMem(int32_t session, const uint8_t* cert,
                                            int32_t certLength, const uint8_t* data,
                                            int32_t dataLength, uint8_t** out, int32_t* outLength) {
  Log += "EncryptMem(" + Bytes(cert, certLength) + ");";
  if (session != kSession) return -5;
  return Answer("EncryptMem", 1, "ENC(" + Bytes(data, dataLength) + ")", out, outLength);
}

STUB_EXPORT int32_t MORVEL_CDECL DecryptMem(int32_t session, const uint8_t* cert,
                                            int32_t certLength, const uint8_t* data,
                                            int32_t dataLength, uint8_t** out, int32_t* outLength) {
  Log += "DecryptMem(" + Bytes(cert, certLength) + ");";
  const std::string sealed = Bytes(data, dataLength);
  if (session != kSession || !Wrapped(sealed, "ENC(")) return -9;
  return Answer("DecryptMem", 1, sealed.substr(4, sealed.size() - 5), out, outLength);
}

STUB_EXPORT int32_t MORVEL_CDECL SignMem(int32_t session, const uint8_t* cert, int32_t certLength,
                                         const uint8_t* data, int32_t dataLength, int32_t detached,
                                         uint8_t** out, int32_t* outLength) {
  Log += "SignMem(" + Bytes(cert, certLength) + "," + std::to_string(detached) + ");";
  if (session != kSession) return -5;
  return Answer("SignMem", 1, Signature(Bytes(data, dataLength), detached), out, outLength);
}

STUB_EXPORT int32_t MORVEL_CDECL VerifySign(int32_t session, const uint8_t* signedData,
                                            int32_t length) {
  Log += "VerifySign;";
  return session == kSession && Wrapped(Bytes(signedData, length), "SIGNED(") ? 1 : 0;
}

STUB_EXPORT int32_t MORVEL_CDECL VerifyDetachedSign(int32_t session, const uint8_t* data,
                                                    int32_t dataLength, const uint8_t* sig,
                                                    int32_t sigLength) {
  Log += "VerifyDetachedSign;";
  const bool matches = Bytes(sig, sigLength) == Signature(Bytes(data, dataLength), true);
  return session == kSession && matches ? 1 : 0;
}

STUB_EXPORT int32_t MORVEL_CDECL GetTokenPublicKeys(const char** keys) {
  Log += "GetTokenPublicKeys;";
  *keys = PublicKeys.empty() ? nullptr : PublicKeys.data();
  return static_cast<int32_t>(PublicKeys.size() / 64);
}

namespace {

TTokenCertificate* CertificateArray(int32_t* count) {
  *count = static_cast<int32_t>(Certificates.size());
  if (Certificates.empty()) return nullptr;
  auto* array = new TTokenCertificate[Certificates.size()];
  for (size_t i = 0; i < Certificates.size(); ++i)
    array[i] = {static_cast<int32_t>(Certificates[i].size()),
                reinterpret_cast<const uint8_t*>(Certificates[i].data())};
  return array;
}

}  // namespace

STUB_EXPORT TTokenCertificate* MORVEL_CDECL GetTokenCertificates(int32_t* count) {
  Log += "GetTokenCertificates;";
  return CertificateArray(count);
}

STUB_EXPORT TTokenCertificate* MORVEL_CDECL GetTokenCertificatesPKI(int32_t* count) {
  Log += "GetTokenCertificatesPKI;";
  return CertificateArray(count);
}

STUB_EXPORT int32_t MORVEL_CDECL FreeTokenCertificates(TTokenCertificate* certificates,
                                                       int32_t count) {
  Log += "FreeTokenCertificates(" + std::to_string(count) + ");";
  delete[] certificates;
  return 1;
}

STUB_EXPORT int32_t MORVEL_CDECL GetSignEx(const char* pin, const uint8_t* cert, int32_t certLength,
                                           const uint8_t* data, int32_t dataLength,
                                           int32_t detached, uint8_t** out, int32_t* outLength) {
  Log += std::string("GetSignEx(") + pin + "," + CertName(cert, certLength) + "," +
         std::to_string(detached) + ");";
  const int32_t result = CertificateNumber(cert, certLength) ? 1 : -20;
  return Answer("GetSignEx", result, Signature(Bytes(data, dataLength), detached), out, outLength);
}

STUB_EXPORT int32_t MORVEL_CDECL GetSign(const char* pin, const uint8_t* cert, int32_t certLength,
                                         const uint8_t* data, int32_t dataLength, uint8_t** out,
                                         int32_t* outLength) {
  Log += std::string("GetSign(") + pin + "," + CertName(cert, certLength) + "," +
         Bytes(data, dataLength) + ");";
  const int32_t result = CertificateNumber(cert, certLength) ? 1 : -20;
  return Answer("GetSign", result, Bytes(cert, certLength) + Bytes(data, dataLength), out,
                outLength);
}

// The stub's entry points have the binding's types.
static_assert(std::is_same_v<decltype(&FreeBuffMemory), TFreeBuffMemory>);
static_assert(std::is_same_v<decltype(&InitSession), TInitSession>);
static_assert(std::is_same_v<decltype(&FreeSession), TFreeSession>);
static_assert(std::is_same_v<decltype(&EncryptMem), TCryptMem>);
static_assert(std::is_same_v<decltype(&DecryptMem), TCryptMem>);
static_assert(std::is_same_v<decltype(&SignMem), TSignMem>);
static_assert(std::is_same_v<decltype(&VerifySign), TVerifySign>);
static_assert(std::is_same_v<decltype(&VerifyDetachedSign), TVerifyDetachedSign>);
static_assert(std::is_same_v<decltype(&GetTokenPublicKeys), TGetTokenPublicKeys>);
static_assert(std::is_same_v<decltype(&GetTokenCertificates), TGetTokenCertificates>);
static_assert(std::is_same_v<decltype(&GetTokenCertificatesPKI), TGetTokenCertificates>);
static_assert(std::is_same_v<decltype(&FreeTokenCertificates), TFreeTokenCertificates>);
static_assert(std::is_same_v<decltype(&GetSignEx), TGetSignEx>);
static_assert(std::is_same_v<decltype(&GetSign), TGetSign>);
