// The HTTP/1.1 client component: GET and POST on one host, one connection
// per request, Content-Length, chunked and close-delimited answers, an
// optional proxy with Basic authentication (asked for again after a 407),
// TLS through a TTlsHandler, and an intercept that sees every byte.
#pragma once

#include <functional>

#include "net/TlsHandler.h"
#include "net/Transport.h"
#include "rtl/Classes.h"

// An answer whose status is not 2xx; the message is its status line.
class EHttpProtocolError : public ENetError {
 public:
  EHttpProtocolError(int errorCode, const AnsiString& statusLine, const AnsiString& errorMessage)
      : ENetError(statusLine), ErrorCode(errorCode), ErrorMessage(errorMessage) {}
  int ErrorCode;            // the status, 404 say
  AnsiString ErrorMessage;  // the answer's body
};

// Sees the bytes of each exchange as they are sent and received (the plain
// text, inside TLS). The base passes them on unchanged.
class TConnectionIntercept : public TComponent {
 public:
  using TComponent::TComponent;
  virtual void Receive(TBytes& /*buffer*/) {}
  virtual void Send(TBytes& /*buffer*/) {}
};

struct TProxyConnectionInfo {
  AnsiString ProxyServer;  // empty: no proxy
  int ProxyPort = 80;
  AnsiString ProxyUsername;  // empty: no Proxy-Authorization
  AnsiString ProxyPassword;
};

struct TAuthentication {
  AnsiString Username;
  AnsiString Password;
};
// After a 407: fill in the credentials and set `handled` to retry with them.
using TProxyAuthorizationEvent =
    std::function<void(TObject* Sender, TAuthentication& Authentication, bool& Handled)>;

class THttpClient : public TComponent {
 public:
  explicit THttpClient(TComponent* owner) : TComponent(owner) {}

  AnsiString Host;
  int Port = 80;
  AnsiString Accept;  // the Accept header; empty sends none
  TProxyConnectionInfo ProxyParams;
  // In ms; <= 0 waits without limit.
  int ConnectTimeout = 30000;
  int ReadTimeout = 60000;
  // The whole of one exchange, in ms, however slowly its bytes come; <= 0
  // without limit.
  int RequestTimeout = 300000;
  // The largest answer body taken into memory, in bytes.
  int64_t MaxBodySize = 32 * 1024 * 1024;
  // Ask OnProxyAuthorization after a 407 and retry; off, a 407 fails at once.
  bool InProcessAuth = false;
  TProxyAuthorizationEvent OnProxyAuthorization;
  // The status and the status line of the last answer; 0 and "" before one.
  int ResponseCode = 0;
  AnsiString ResponseText;

  // TLS when set; not owned.
  TTlsHandler* IOHandler() const { return ioHandler_; }
  void SetIOHandler(TTlsHandler* handler);
  // Not owned.
  TConnectionIntercept* Intercept() const { return intercept_; }
  void SetIntercept(TConnectionIntercept* intercept);

  // `url` is the request target on Host ("/a/b"). The body of a 2xx answer
  // goes to `response` (null: dropped); any other status raises
  // EHttpProtocolError, transport and TLS failures ENetError.
  void Get(const AnsiString& url, TStream* response);
  // Sends `source` from its position to its end.
  void Post(const AnsiString& url, TStream* source, TStream* response);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void DoRequest(const AnsiString& method, const AnsiString& url, const AnsiString& body,
                 TStream* response);

  TTlsHandler* ioHandler_ = nullptr;
  TConnectionIntercept* intercept_ = nullptr;
};
