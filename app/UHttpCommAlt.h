// The workstation's HTTP/HTTPS client over our HTTP component: a base
// address, an optional proxy whose credentials are asked for when it answers
// 407, and an optional traffic counter.
#pragma once

#include <functional>
#include <memory>

#include "app/UHttpCommBase.h"
#include "net/HttpClient.h"

// Bytes sent and received by one transfer of the connection.
using TTrafficEvent = std::function<void(int32_t BytesSent, int32_t BytesReceived)>;

// Asks for the proxy's user name and password (and whether to keep them);
// true when the user confirms, with the arguments changed. The proxy login
// form's ProxyLoginDialog is what plugs in here.
using TProxyLoginEvent =
    std::function<bool(AnsiString& UserName, AnsiString& Password, bool& Save)>;

class TCountTrafficInterceptor : public TConnectionIntercept {
 public:
  using TConnectionIntercept::TConnectionIntercept;
  void Receive(TBytes& buffer) override;
  void Send(TBytes& buffer) override;

  TTrafficEvent OnTraffic;
};

class TSCommAlt : public TSCommBase {
 public:
  // BaseURL: an optional "http://" or "https://" (which turns SSL on), a
  // host and an optional ":port"; without a port, 443 with SSL, else 80.
  TSCommAlt(const AnsiString& BaseURL, bool SSL);

  // Each returns true or raises the component's ENetError.
  bool Get(const AnsiString& Path, AnsiString& Response) override;
  bool Get(const AnsiString& Path) override;
  bool Post(const AnsiString& Path, const AnsiString& Data, AnsiString& Response) override;
  bool Post(const AnsiString& Path, const AnsiString& Data) override;

  // The base address without scheme and port.
  AnsiString Host;
  // Read and applied by the first request only.
  bool UseLongTimeouts = false;
  AnsiString ProxyUserName;
  AnsiString ProxyPassword;
  AnsiString ProxyServer;  // "host" or "host:port"; empty: no proxy
  TTrafficEvent OnTraffic;
  // Set by the proxy login.
  bool SaveProxyPassword = false;
  // Unset, a proxy's 407 fails the request as a cancelled login does.
  TProxyLoginEvent OnProxyLogin;

  bool Prepared() const { return prepared_; }
  THttpClient* HTTP() const { return http_.get(); }

 private:
  void Prepare();
  void ProxyAuthorization(TAuthentication& authentication, bool& handled);

  // Declared first, so the component that uses it goes first.
  std::unique_ptr<TTlsHandler> tls_;
  std::unique_ptr<THttpClient> http_;
  bool prepared_ = false;
};
