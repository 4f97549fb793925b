#include "net/HttpClient.h"

#include "net/HttpAnswer.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

// A proxy that keeps refusing is not asked about more often than this.
constexpr int kMaxProxyLogins = 3;

AnsiString Base64(const AnsiString& s) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  AnsiString out;
  for (size_t i = 0; i < s.size(); i += 3) {
    uint32_t group = static_cast<uint8_t>(s[i]) << 16;
    if (i + 1 < s.size()) group |= static_cast<uint8_t>(s[i + 1]) << 8;
    if (i + 2 < s.size()) group |= static_cast<uint8_t>(s[i + 2]);
    for (size_t k = 0; k < 4; ++k)
      out += i + k <= s.size() ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

AnsiString HostHeader(const THttpClient& http) {
  const int defaultPort = http.IOHandler() ? 443 : 80;
  return http.Port == defaultPort ? http.Host : http.Host + ":" + IntToStr(http.Port);
}

AnsiString ProxyAuthorization(const THttpClient& http) {
  const TProxyConnectionInfo& p = http.ProxyParams;
  if (p.ProxyUsername.empty()) return "";
  return "Proxy-Authorization: Basic " + Base64(p.ProxyUsername + ":" + p.ProxyPassword) + "\r\n";
}

// One request on a connection of its own: straight to the host, through the
// proxy, or through a CONNECT tunnel of the proxy for TLS.
THttpAnswer Exchange(const THttpClient& http, const AnsiString& method, const AnsiString& url,
                 const AnsiString& body) {
  // A line break would smuggle headers or a second request into this one.
  for (const AnsiString* text : {&url, &http.Host, &http.Accept})
    if (text->find_first_of("\r\n") != AnsiString::npos)
      throw ENetError(Format("Перевод строки в запросе к %s", {http.Host}));
  const TProxyConnectionInfo& proxy = http.ProxyParams;
  const bool proxied = !proxy.ProxyServer.empty();
  auto socket = std::make_unique<TSocketTransport>(proxied ? proxy.ProxyServer : http.Host,
                                                   proxied ? proxy.ProxyPort : http.Port,
                                                   http.ConnectTimeout, http.ReadTimeout,
                                                   http.RequestTimeout);
  THttpConnection c(socket.get(), socket->Peer(), http.Intercept(), http.MaxBodySize);

  AnsiString target = url;
  AnsiString extra;
  std::unique_ptr<TTransport> tls;
  if (http.IOHandler()) {
    if (proxied) {
      const AnsiString authority = http.Host + ":" + IntToStr(http.Port);
      c.Write("CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
              ProxyAuthorization(http) + "\r\n");
      THttpAnswer answer = ReadHttpAnswer(c, true);
      if (answer.Code >= 300) return answer;
    }
    tls = http.IOHandler()->StartTls(std::move(socket), http.Host);
    c.SetTransport(tls.get());
  } else if (proxied) {
    target = "http://" + HostHeader(http) + url;
    extra = ProxyAuthorization(http);
  }

  AnsiString request = method + " " + target + " HTTP/1.1\r\nHost: " + HostHeader(http) + "\r\n";
  if (!http.Accept.empty()) request += "Accept: " + http.Accept + "\r\n";
  if (method == "POST") request += "Content-Length: " + IntToStr(body.size()) + "\r\n";
  c.Write(request + extra + "Connection: close\r\n\r\n" + body);
  return ReadHttpAnswer(c, false);
}

}  // namespace

void THttpClient::SetIOHandler(TTlsHandler* handler) {
  if (ioHandler_) ioHandler_->RemoveFreeNotification(this);
  ioHandler_ = handler;
  if (handler) handler->FreeNotification(this);
}

void THttpClient::SetIntercept(TConnectionIntercept* intercept) {
  if (intercept_) intercept_->RemoveFreeNotification(this);
  intercept_ = intercept;
  if (intercept) intercept->FreeNotification(this);
}

void THttpClient::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == ioHandler_) ioHandler_ = nullptr;
  if (component == intercept_) intercept_ = nullptr;
}

void THttpClient::Get(const AnsiString& url, TStream* response) {
  DoRequest("GET", url, "", response);
}

void THttpClient::Post(const AnsiString& url, TStream* source, TStream* response) {
  AnsiString body;
  if (source) {
    body.resize(static_cast<size_t>(source->Size() - source->Position()));
    source->ReadBuffer(body.data(), static_cast<int32_t>(body.size()));
  }
  DoRequest("POST", url, body, response);
}

void THttpClient::DoRequest(const AnsiString& method, const AnsiString& url, const AnsiString& body,
                            TStream* response) {
  for (int logins = 0;; ++logins) {
    const THttpAnswer answer = Exchange(*this, method, url, body);
    if (answer.Code == 407 && InProcessAuth && OnProxyAuthorization && logins < kMaxProxyLogins) {
      TAuthentication auth{ProxyParams.ProxyUsername, ProxyParams.ProxyPassword};
      bool handled = false;
      OnProxyAuthorization(this, auth, handled);
      if (handled) {
        ProxyParams.ProxyUsername = auth.Username;
        ProxyParams.ProxyPassword = auth.Password;
        continue;
      }
    }
    ResponseCode = answer.Code;
    ResponseText = answer.StatusLine;
    if (answer.Code >= 300) throw EHttpProtocolError(answer.Code, answer.StatusLine, answer.Body);
    if (response && !answer.Body.empty())
      response->WriteBuffer(answer.Body.data(), static_cast<int32_t>(answer.Body.size()));
    return;
  }
}
