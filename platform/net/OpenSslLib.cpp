#include "net/OpenSslLib.h"

#include "net/Transport.h"
#include "rtl/OsShim.h"

namespace {

#ifdef _WIN32
constexpr const char* kCryptoLib = "libcrypto-3.dll";
constexpr const char* kSslLib = "libssl-3.dll";
#else
constexpr const char* kCryptoLib = "libcrypto.so.3";
constexpr const char* kSslLib = "libssl.so.3";
#endif

TModuleHandle Load(const char* name) {
  TModuleHandle module = LoadModule(name);
  if (!module)
    throw ETlsError(
        Format("Не удалось загрузить библиотеку TLS %s: %s", {name, LastOSErrorText()}));
  return module;
}

template <typename F>
void Bind(F& fn, TModuleHandle module, const char* lib, const char* name) {
  fn = reinterpret_cast<F>(FindExport(module, name));
  if (!fn) throw ETlsError(Format("В библиотеке TLS %s нет функции %s", {lib, name}));
}

TOpenSsl LoadOpenSsl() {
  // libssl needs libcrypto: load it first, so a missing one is named as such.
  TModuleHandle crypto = Load(kCryptoLib);
  TModuleHandle ssl = Load(kSslLib);
  TOpenSsl api{};
#define KS_BIND(module, lib, name) Bind(api.name, module, lib, #name)
  KS_BIND(ssl, kSslLib, TLS_client_method);
  KS_BIND(ssl, kSslLib, SSL_CTX_new);
  KS_BIND(ssl, kSslLib, SSL_CTX_free);
  KS_BIND(ssl, kSslLib, SSL_CTX_ctrl);
  KS_BIND(ssl, kSslLib, SSL_CTX_set_verify);
  KS_BIND(ssl, kSslLib, SSL_CTX_set_default_verify_paths);
  KS_BIND(ssl, kSslLib, SSL_new);
  KS_BIND(ssl, kSslLib, SSL_free);
  KS_BIND(ssl, kSslLib, SSL_set_fd);
  KS_BIND(ssl, kSslLib, SSL_ctrl);
  KS_BIND(ssl, kSslLib, SSL_set1_host);
  KS_BIND(ssl, kSslLib, SSL_connect);
  KS_BIND(ssl, kSslLib, SSL_read);
  KS_BIND(ssl, kSslLib, SSL_write);
  KS_BIND(ssl, kSslLib, SSL_shutdown);
  KS_BIND(ssl, kSslLib, SSL_get_error);
  KS_BIND(ssl, kSslLib, SSL_get_verify_result);
  KS_BIND(crypto, kCryptoLib, X509_verify_cert_error_string);
  KS_BIND(crypto, kCryptoLib, ERR_get_error);
  KS_BIND(crypto, kCryptoLib, ERR_error_string_n);
  KS_BIND(crypto, kCryptoLib, ERR_clear_error);
#undef KS_BIND
  return api;
}

}  // namespace

const TOpenSsl& OpenSsl() {
  // A throwing initialiser leaves the static unset, so a later call tries again.
  static const TOpenSsl api = LoadOpenSsl();
  return api;
}
