// OpenSSL, bound by name at run time: the few functions the TLS handler
// calls, declared here after OpenSSL's published interface, so no OpenSSL
// header is needed to build. Loaded once per process and kept.
#pragma once

#include <cstddef>

#include "rtl/Types.h"

struct TSslMethod;
struct TSslCtx;
struct TSsl;

// Numbers of OpenSSL's interface that the handler uses.
inline constexpr int kSslCtrlSetTlsExtHostName = 55;  // SSL_set_tlsext_host_name
inline constexpr int kSslCtrlSetMinProtoVersion = 123;
inline constexpr long kTls12Version = 0x0303;
inline constexpr long kTlsExtNameTypeHostName = 0;
inline constexpr int kSslVerifyPeer = 1;
inline constexpr int kSslErrorSsl = 1;
inline constexpr int kSslErrorWantRead = 2;
inline constexpr int kSslErrorWantWrite = 3;
inline constexpr int kSslErrorZeroReturn = 6;
inline constexpr long kX509VOk = 0;

struct TOpenSsl {
  const TSslMethod* (*TLS_client_method)();
  TSslCtx* (*SSL_CTX_new)(const TSslMethod*);
  void (*SSL_CTX_free)(TSslCtx*);
  long (*SSL_CTX_ctrl)(TSslCtx*, int, long, void*);
  void (*SSL_CTX_set_verify)(TSslCtx*, int, void*);
  int (*SSL_CTX_set_default_verify_paths)(TSslCtx*);
  TSsl* (*SSL_new)(TSslCtx*);
  void (*SSL_free)(TSsl*);
  int (*SSL_set_fd)(TSsl*, int);
  long (*SSL_ctrl)(TSsl*, int, long, void*);
  int (*SSL_set1_host)(TSsl*, const char*);
  int (*SSL_connect)(TSsl*);
  int (*SSL_read)(TSsl*, void*, int);
  int (*SSL_write)(TSsl*, const void*, int);
  int (*SSL_shutdown)(TSsl*);
  int (*SSL_get_error)(const TSsl*, int);
  long (*SSL_get_verify_result)(const TSsl*);
  const char* (*X509_verify_cert_error_string)(long);
  unsigned long (*ERR_get_error)();
  void (*ERR_error_string_n)(unsigned long, char*, size_t);
  void (*ERR_clear_error)();
};

// The bound functions; ETlsError naming the library that cannot be loaded or
// the function it lacks (tried again on the next call).
const TOpenSsl& OpenSsl();
