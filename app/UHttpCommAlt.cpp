#include "app/UHttpCommAlt.h"

#include <climits>

namespace {

// The path goes after "/"; "/" itself and the empty path ask for the root.
AnsiString RequestURL(const AnsiString& Path) { return Path == "/" ? Path : "/" + Path; }

}  // namespace

void TCountTrafficInterceptor::Receive(TBytes& buffer) {
  TConnectionIntercept::Receive(buffer);
  if (OnTraffic) OnTraffic(0, static_cast<int32_t>(buffer.size()));
}

void TCountTrafficInterceptor::Send(TBytes& buffer) {
  if (OnTraffic) OnTraffic(static_cast<int32_t>(buffer.size()), 0);
}

TSCommAlt::TSCommAlt(const AnsiString& BaseURL, bool SSL) {
  AnsiString rest = BaseURL;
  const AnsiString upper = UpperCase(BaseURL);
  if (Copy(upper, 1, 7) == "HTTP://") {
    rest = Copy(BaseURL, 8, INT_MAX);
  } else if (Copy(upper, 1, 8) == "HTTPS://") {
    rest = Copy(BaseURL, 9, INT_MAX);
    SSL = true;
  }
  int port;
  const int colon = Pos(":", rest);
  if (colon > 0) {
    port = StrToIntDef(Copy(rest, colon + 1, INT_MAX), 80);
    Host = Copy(rest, 1, colon - 1);
  } else {
    port = SSL ? 443 : 80;
    Host = rest;
  }

  http_ = std::make_unique<THttpClient>(nullptr);
  http_->Host = Host;
  http_->Port = port;
  http_->Accept = "*/*";
  http_->InProcessAuth = true;
  http_->OnProxyAuthorization = [this](TObject*, TAuthentication& authentication, bool& handled) {
    ProxyAuthorization(authentication, handled);
  };
  if (SSL) {
    tls_ = std::make_unique<TTlsHandler>(nullptr);
    http_->SetIOHandler(tls_.get());
  }
}

void TSCommAlt::Prepare() {
  if (prepared_) return;
  TProxyConnectionInfo& proxy = http_->ProxyParams;
  proxy.ProxyUsername = ProxyUserName;
  proxy.ProxyPassword = ProxyPassword;
  const int colon = Pos(":", ProxyServer);
  if (colon == 0) {
    proxy.ProxyServer = ProxyServer;
  } else {
    proxy.ProxyServer = Copy(ProxyServer, 1, colon - 1);
    proxy.ProxyPort = StrToIntDef(Copy(ProxyServer, colon + 1, INT_MAX), 80);
  }
  if (UseLongTimeouts) {
    http_->ReadTimeout = 900000;
    http_->ConnectTimeout = 120000;
    // A long wait for the answer must not be cut by the whole request's bound.
    http_->RequestTimeout = http_->ConnectTimeout + http_->ReadTimeout;
  }
  if (OnTraffic) {
    auto* counter = new TCountTrafficInterceptor(http_.get());
    counter->OnTraffic = OnTraffic;
    http_->SetIntercept(counter);
  }
  prepared_ = true;
}

void TSCommAlt::ProxyAuthorization(TAuthentication& authentication, bool& handled) {
  AnsiString userName = ProxyUserName;
  AnsiString password = ProxyPassword;
  bool save = SaveProxyPassword;
  handled = OnProxyLogin && OnProxyLogin(userName, password, save);
  if (!handled) return;
  ProxyUserName = authentication.Username = userName;
  ProxyPassword = authentication.Password = password;
  SaveProxyPassword = save;
}

bool TSCommAlt::Get(const AnsiString& Path, AnsiString& Response) {
  Prepare();
  TStringStream response;
  http_->Get(RequestURL(Path), &response);
  Response = response.DataString();
  return true;
}

bool TSCommAlt::Get(const AnsiString& Path) {
  Prepare();
  http_->Get(RequestURL(Path), nullptr);
  return true;
}

bool TSCommAlt::Post(const AnsiString& Path, const AnsiString& Data, AnsiString& Response) {
  Prepare();
  TStringStream source(Data);
  TStringStream response;
  http_->Post(RequestURL(Path), &source, &response);
  Response = response.DataString();
  return true;
}

bool TSCommAlt::Post(const AnsiString& Path, const AnsiString& Data) {
  Prepare();
  TStringStream source(Data);
  http_->Post(RequestURL(Path), &source, nullptr);
  return true;
}
