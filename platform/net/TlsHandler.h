// The HTTP client's TLS layer over OpenSSL (loaded at run time): TLS 1.2 or
// later; the server's certificate chain is checked against OpenSSL's default
// trust store (SSL_CERT_FILE / SSL_CERT_DIR point elsewhere) and its name
// against the host asked for.
#pragma once

#include <memory>

#include "net/Transport.h"
#include "rtl/Classes.h"

struct TSslCtx;

class TTlsHandler : public TComponent {
 public:
  explicit TTlsHandler(TComponent* owner) : TComponent(owner) {}
  ~TTlsHandler() override;

  // The handshake with `host` over `socket`; the result owns the socket.
  // ETlsError naming the host when it fails or the certificate does not
  // pass, or naming the library when OpenSSL cannot be loaded.
  std::unique_ptr<TTransport> StartTls(std::unique_ptr<TSocketTransport> socket,
                                       const AnsiString& host);

 private:
  // Made on first use, so a handler exists without OpenSSL.
  TSslCtx* ctx_ = nullptr;
};
