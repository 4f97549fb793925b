#include "net/TlsHandler.h"

#include "net/OpenSslLib.h"

namespace {

// The reason OpenSSL queued for the last failure.
AnsiString SslErrorText(const TOpenSsl& api) {
  const unsigned long code = api.ERR_get_error();
  if (code == 0) return "соединение прервано";
  char text[256];
  api.ERR_error_string_n(code, text, sizeof text);
  return text;
}

// Literal addresses get no SNI (RFC 6066); SSL_set1_host checks them as IPs.
bool IsIpLiteral(const AnsiString& host) {
  return host.find(':') != AnsiString::npos ||
         host.find_first_not_of("0123456789.") == AnsiString::npos;
}

class TTlsTransport : public TTransport {
 public:
  TTlsTransport(const TOpenSsl& api, std::unique_ptr<TSocketTransport> socket,
                const AnsiString& host)
      : api_(api), socket_(std::move(socket)), host_(host) {}

  void Handshake(TSslCtx* ctx) {
    ssl_ = api_.SSL_new(ctx);
    if (!ssl_) Fail("Не удалось установить защищённое соединение с %s: %s");
    const bool named = IsIpLiteral(host_) ||
                       api_.SSL_ctrl(ssl_, kSslCtrlSetTlsExtHostName, kTlsExtNameTypeHostName,
                                     const_cast<char*>(host_.c_str())) == 1;
    if (!named || api_.SSL_set1_host(ssl_, host_.c_str()) != 1 ||
        api_.SSL_set_fd(ssl_, static_cast<int>(socket_->Socket())) != 1)
      Fail("Не удалось установить защищённое соединение с %s: %s");
    for (;;) {
      api_.ERR_clear_error();
      const int rc = api_.SSL_connect(ssl_);
      if (rc == 1) break;
      if (Retry(rc)) continue;
      const long verify = api_.SSL_get_verify_result(ssl_);
      if (verify != kX509VOk)
        throw ETlsError(Format("Сертификат сервера %s не прошёл проверку: %s",
                               {host_, api_.X509_verify_cert_error_string(verify)}));
      Fail("Не удалось установить защищённое соединение с %s: %s");
    }
    connected_ = true;
  }

  ~TTlsTransport() override {
    if (!ssl_) return;
    // Best effort: a close_notify if the socket takes it now, no waiting.
    if (connected_) api_.SSL_shutdown(ssl_);
    api_.SSL_free(ssl_);
  }

  int32_t Receive(void* buffer, int32_t count) override {
    for (;;) {
      api_.ERR_clear_error();
      const int n = api_.SSL_read(ssl_, buffer, count);
      if (n > 0) return n;
      if (api_.SSL_get_error(ssl_, n) == kSslErrorZeroReturn) return 0;
      if (!Retry(n)) Fail("Ошибка защищённого обмена с %s: %s");
    }
  }

  void Send(const void* buffer, int32_t count) override {
    auto* p = static_cast<const char*>(buffer);
    while (count > 0) {
      api_.ERR_clear_error();
      const int n = api_.SSL_write(ssl_, p, count);
      if (n > 0) {
        p += n;
        count -= n;
      } else if (!Retry(n)) {
        Fail("Ошибка защищённого обмена с %s: %s");
      }
    }
  }

 private:
  // Waits when OpenSSL needs the socket; false for a real failure.
  bool Retry(int rc) {
    switch (api_.SSL_get_error(ssl_, rc)) {
      case kSslErrorWantRead:
        socket_->Wait(false);
        return true;
      case kSslErrorWantWrite:
        socket_->Wait(true);
        return true;
      default:
        return false;
    }
  }

  [[noreturn]] void Fail(const char* format) {
    throw ETlsError(Format(format, {host_, SslErrorText(api_)}));
  }

  const TOpenSsl& api_;
  std::unique_ptr<TSocketTransport> socket_;
  AnsiString host_;
  TSsl* ssl_ = nullptr;
  bool connected_ = false;
};

}  // namespace

TTlsHandler::~TTlsHandler() {
  if (ctx_) OpenSsl().SSL_CTX_free(ctx_);
}

std::unique_ptr<TTransport> TTlsHandler::StartTls(std::unique_ptr<TSocketTransport> socket,
                                                  const AnsiString& host) {
  const TOpenSsl& api = OpenSsl();
  api.ERR_clear_error();
  if (!ctx_) {
    TSslCtx* ctx = api.SSL_CTX_new(api.TLS_client_method());
    if (!ctx || api.SSL_CTX_ctrl(ctx, kSslCtrlSetMinProtoVersion, kTls12Version, nullptr) != 1 ||
        api.SSL_CTX_set_default_verify_paths(ctx) != 1) {
      const AnsiString reason = SslErrorText(api);
      if (ctx) api.SSL_CTX_free(ctx);
      throw ETlsError(Format("Не удалось подготовить TLS для %s: %s", {host, reason}));
    }
    api.SSL_CTX_set_verify(ctx, kSslVerifyPeer, nullptr);
    ctx_ = ctx;
  }
  auto tls = std::make_unique<TTlsTransport>(api, std::move(socket), host);
  tls->Handshake(ctx_);
  return tls;
}
