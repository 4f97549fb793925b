// HTTPS against `openssl s_server` with certificates made for the test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TlsTestServer.h"
#include "net/HttpClient.h"

using ::testing::HasSubstr;

namespace {

class TlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TTestCerts::Get(); }

  void Aim(const AnsiString& host, int port) {
    http.Host = host;
    http.Port = port;
    http.ConnectTimeout = http.ReadTimeout = 5000;
    http.SetIOHandler(&tls);
  }
  std::string Get() {
    TStringStream response;
    http.Get("/hello.txt", &response);
    return response.DataString();
  }
  std::string TlsFailure() {
    try {
      Get();
    } catch (const ETlsError& e) {
      return e.Message();
    }
    ADD_FAILURE() << "no TLS error";
    return "";
  }

  TTlsHandler tls{nullptr};
  THttpClient http{nullptr};
};

TEST_F(TlsTest, TalksToAServerWhoseCertificatePasses) {
  TTlsServer server("localhost");
  for (const char* host : {"localhost", "127.0.0.1"}) {
    SCOPED_TRACE(host);
    Aim(host, server.Port());
    EXPECT_EQ(Get(), kHelloText);
  }
}

struct RefusedCase {
  const char* cert;
  const char* host;
  const char* reason;
};

TEST_F(TlsTest, RefusesACertificateThatDoesNotPassNamingTheHost) {
  const RefusedCase cases[] = {
      {"other", "localhost", "hostname mismatch"},
      {"other", "127.0.0.1", "IP address mismatch"},
      {"selfsigned", "localhost", "self-signed certificate"},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.cert + std::string(" for ") + c.host);
    TTlsServer server(c.cert);
    Aim(c.host, server.Port());
    const std::string message = TlsFailure();
    EXPECT_THAT(message,
                HasSubstr("Сертификат сервера " + std::string(c.host) + " не прошёл проверку: "));
    EXPECT_THAT(message, HasSubstr(c.reason));
  }
}

TEST_F(TlsTest, RefusesProtocolsOlderThanTls12) {
  TTlsServer server("localhost", {"-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"});
  Aim("localhost", server.Port());
  EXPECT_THAT(TlsFailure(), HasSubstr("Не удалось установить защищённое соединение с localhost: "));
}

TEST_F(TlsTest, TunnelsThroughAProxyThatWantsBasicCredentials) {
  TTlsServer server("localhost");
  TAuthProxy proxy("proxy user", "пароль");
  Aim("localhost", server.Port());
  http.ProxyParams.ProxyServer = "127.0.0.1";
  http.ProxyParams.ProxyPort = proxy.Port();
  http.InProcessAuth = true;
  int asked = 0;
  http.OnProxyAuthorization = [&](TObject*, TAuthentication& auth, bool& handled) {
    ++asked;
    auth.Username = "proxy user";
    auth.Password = "пароль";
    handled = true;
  };
  EXPECT_EQ(Get(), kHelloText);
  EXPECT_EQ(asked, 1);
}

}  // namespace
