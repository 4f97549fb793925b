// TLS fixtures of the native tests: certificates made once per process by
// the openssl command, `openssl s_server` serving a file over them, and the
// Basic-auth proxy of auth_proxy.py. All on 127.0.0.1, ports chosen by the
// system.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

// In a temp folder: ca.pem, a test CA that SSL_CERT_FILE makes OpenSSL's
// default trust store; by it "localhost" (DNS:localhost, IP:127.0.0.1) and
// "other" (DNS:other.test); "selfsigned" (DNS:localhost, signed by itself);
// and hello.txt, the file the servers serve.
struct TTestCerts {
  static const TTestCerts& Get();
  std::string Dir;

 private:
  TTestCerts();
  ~TTestCerts();  // removes the folder
};
inline const char kHelloText[] = "hello over TLS\n";

class TTlsServer {
 public:
  // s_server -WWW with the certificate and key `certName`.pem/.key;
  // `extra` are further s_server options.
  explicit TTlsServer(const std::string& certName, const std::vector<std::string>& extra = {});
  int Port() const { return port_; }

 private:
  std::unique_ptr<TChildProcess> process_;
  int port_;
};

class TAuthProxy {
 public:
  TAuthProxy(const std::string& user, const std::string& password);
  int Port() const { return port_; }

 private:
  std::unique_ptr<TChildProcess> process_;
  int port_;
};
