#include "net/HttpClient.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

// Limits on what a server may send before the body.
constexpr size_t kMaxLineLength = 16 * 1024;
constexpr int kMaxHeaderLines = 200;
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

// A decimal or hex number of at most `maxDigits` digits; -1 when malformed.
int64_t ParseNumber(const AnsiString& text, int base, size_t maxDigits) {
  const AnsiString s = Trim(text);
  if (s.empty() || s.size() > maxDigits) return -1;
  int64_t value = 0;
  for (char c : s) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return -1;
    value = value * base + digit;
  }
  return value;
}

struct TAnswer {
  int Code = 0;
  AnsiString StatusLine;
  std::vector<std::pair<AnsiString, AnsiString>> Headers;  // names lower-cased
  AnsiString Body;

  const AnsiString* Header(const AnsiString& name) const {
    for (const auto& [n, v] : Headers)
      if (n == name) return &v;
    return nullptr;
  }
};

// One exchange's byte stream, buffered for reading lines, with the intercept
// told of every byte.
class TConnection {
 public:
  TConnection(TTransport* transport, const AnsiString& peer, TConnectionIntercept* intercept)
      : transport_(transport), peer_(peer), intercept_(intercept) {}

  // After CONNECT the tunnel goes on over TLS.
  void SetTransport(TTransport* transport) {
    if (!buffer_.empty()) Malformed("данные до начала защищённого соединения");
    transport_ = transport;
  }

  void Write(const AnsiString& data) {
    if (!intercept_) return transport_->Send(data.data(), static_cast<int32_t>(data.size()));
    TBytes bytes(data.begin(), data.end());
    intercept_->Send(bytes);
    transport_->Send(bytes.data(), static_cast<int32_t>(bytes.size()));
  }

  // A line without its CR LF; ENetError when the connection ends first.
  AnsiString ReadLine() {
    for (size_t scanned = 0;;) {
      const size_t lf = buffer_.find('\n', scanned);
      if (lf != AnsiString::npos) {
        AnsiString line = buffer_.substr(0, lf);
        buffer_.erase(0, lf + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      scanned = buffer_.size();
      if (scanned > kMaxLineLength) Malformed("слишком длинная строка");
      if (!Fill()) Truncated();
    }
  }

  // Exactly `count` bytes appended to `out`.
  void ReadExact(AnsiString& out, int64_t count) {
    while (static_cast<int64_t>(buffer_.size()) < count) {
      out += buffer_;
      count -= static_cast<int64_t>(buffer_.size());
      buffer_.clear();
      if (!Fill()) Truncated();
    }
    out.append(buffer_, 0, static_cast<size_t>(count));
    buffer_.erase(0, static_cast<size_t>(count));
  }

  void ReadToEnd(AnsiString& out) {
    do {
      out += buffer_;
      buffer_.clear();
    } while (Fill());
  }

  [[noreturn]] void Malformed(const AnsiString& why) const {
    throw ENetError(Format("Неверный ответ от %s: %s", {peer_, why}));
  }

 private:
  // False once the peer has closed.
  bool Fill() {
    char chunk[16 * 1024];
    const int32_t n = transport_->Receive(chunk, sizeof chunk);
    if (n == 0) return false;
    if (!intercept_) {
      buffer_.append(chunk, static_cast<size_t>(n));
      return true;
    }
    TBytes bytes(chunk, chunk + n);
    intercept_->Receive(bytes);
    buffer_.append(bytes.begin(), bytes.end());
    return true;
  }

  [[noreturn]] void Truncated() const {
    throw ENetError(Format("Соединение с %s закрыто до конца ответа", {peer_}));
  }

  TTransport* transport_;
  AnsiString peer_;
  TConnectionIntercept* intercept_;
  AnsiString buffer_;
};

void ReadHeaders(TConnection& c, TAnswer& answer) {
  for (int n = 0;; ++n) {
    const AnsiString line = c.ReadLine();
    if (line.empty()) return;
    if (n == kMaxHeaderLines) c.Malformed("слишком много заголовков");
    const size_t colon = line.find(':');
    if (colon == AnsiString::npos) c.Malformed("заголовок без двоеточия");
    answer.Headers.emplace_back(LowerCase(Trim(line.substr(0, colon))),
                                Trim(line.substr(colon + 1)));
  }
}

void ReadChunkedBody(TConnection& c, AnsiString& body) {
  for (;;) {
    const AnsiString line = c.ReadLine();
    const int64_t size = ParseNumber(line.substr(0, line.find(';')), 16, 15);
    if (size < 0) c.Malformed("неверная длина части");
    if (size == 0) break;
    c.ReadExact(body, size);
    if (!c.ReadLine().empty()) c.Malformed("часть длиннее своей длины");
  }
  TAnswer trailer;
  ReadHeaders(c, trailer);
}

// The status line, the headers and the body. After CONNECT (`tunnel`) a 2xx
// answer has no body: the tunnel starts right after it.
TAnswer ReadAnswer(TConnection& c, bool tunnel) {
  TAnswer answer;
  do {  // interim 1xx answers are skipped
    answer = TAnswer{};
    answer.StatusLine = c.ReadLine();
    const AnsiString& s = answer.StatusLine;
    const size_t space = s.find(' ');
    if (s.compare(0, 5, "HTTP/") != 0 || space == AnsiString::npos ||
        (s.size() > space + 4 && s[space + 4] != ' '))
      c.Malformed("неверная строка состояния");
    answer.Code = static_cast<int>(ParseNumber(s.substr(space + 1, 3), 10, 3));
    if (answer.Code < 100) c.Malformed("неверная строка состояния");
    ReadHeaders(c, answer);
  } while (answer.Code < 200);

  if (answer.Code == 204 || answer.Code == 304 || (tunnel && answer.Code < 300)) return answer;
  const AnsiString* encoding = answer.Header("transfer-encoding");
  const AnsiString* length = answer.Header("content-length");
  if (encoding && Pos("chunked", LowerCase(*encoding)) > 0) {
    ReadChunkedBody(c, answer.Body);
  } else if (length) {
    const int64_t size = ParseNumber(*length, 10, 18);
    if (size < 0) c.Malformed("неверная длина содержимого");
    c.ReadExact(answer.Body, size);
  } else {
    c.ReadToEnd(answer.Body);
  }
  return answer;
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
TAnswer Exchange(const THttpClient& http, const AnsiString& method, const AnsiString& url,
                 const AnsiString& body) {
  // A line break would smuggle headers or a second request into this one.
  for (const AnsiString* text : {&url, &http.Host, &http.Accept})
    if (text->find_first_of("\r\n") != AnsiString::npos)
      throw ENetError(Format("Перевод строки в запросе к %s", {http.Host}));
  const TProxyConnectionInfo& proxy = http.ProxyParams;
  const bool proxied = !proxy.ProxyServer.empty();
  auto socket = std::make_unique<TSocketTransport>(proxied ? proxy.ProxyServer : http.Host,
                                                   proxied ? proxy.ProxyPort : http.Port,
                                                   http.ConnectTimeout, http.ReadTimeout);
  TConnection c(socket.get(), socket->Peer(), http.Intercept());

  AnsiString target = url;
  AnsiString extra;
  std::unique_ptr<TTransport> tls;
  if (http.IOHandler()) {
    if (proxied) {
      const AnsiString authority = http.Host + ":" + IntToStr(http.Port);
      c.Write("CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
              ProxyAuthorization(http) + "\r\n");
      TAnswer answer = ReadAnswer(c, true);
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
  return ReadAnswer(c, false);
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
    const TAnswer answer = Exchange(*this, method, url, body);
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
