#include "app/UHttpCommAlt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#ifndef _WIN32
#include "TlsTestServer.h"
#endif

using ::testing::HasSubstr;

namespace {

struct BaseCase {
  const char* url;
  bool ssl;
  const char* host;
  int port;
  bool tls;
};

TEST(SCommAltTest, TakesSchemeHostAndPortFromTheBaseAddress) {
  const BaseCase cases[] = {
      {"HTTPS://crypto.example", false, "crypto.example", 443, true},
      {"https://crypto.example:8443", false, "crypto.example", 8443, true},
      {"hTTp://crypto.example:8080", false, "crypto.example", 8080, false},
      {"http://crypto.example", false, "crypto.example", 80, false},
      {"http://crypto.example", true, "crypto.example", 443, true},
      {"crypto.example", false, "crypto.example", 80, false},
      {"crypto.example", true, "crypto.example", 443, true},
      // No path is expected: after a port it spoils the number, after a host
      // it stays part of it.
      {"crypto.example:8080/path", false, "crypto.example", 80, false},
      {"crypto.example/path", false, "crypto.example/path", 80, false},
  };
  for (const BaseCase& c : cases) {
    SCOPED_TRACE(c.url);
    TSCommAlt comm(c.url, c.ssl);
    EXPECT_EQ(comm.Host, c.host);
    EXPECT_EQ(comm.HTTP()->Host, c.host);
    EXPECT_EQ(comm.HTTP()->Port, c.port);
    EXPECT_EQ(comm.HTTP()->IOHandler() != nullptr, c.tls);
    EXPECT_EQ(comm.HTTP()->Accept, "*/*");
    EXPECT_TRUE(comm.HTTP()->InProcessAuth);
    EXPECT_FALSE(comm.UseLongTimeouts);
    EXPECT_FALSE(comm.Prepared());
  }
}

class SCommAltServerTest : public ::testing::Test {
 protected:
  static std::string BaseOf(const TLoopbackServer& server) {
    return "http://127.0.0.1:" + std::to_string(server.Port());
  }
};

TEST_F(SCommAltServerTest, PutsASlashBeforeThePathAndReturnsTheBody) {
  // GETs are answered with a length, POSTs in chunks.
  TLoopbackServer server([](const TRecordedRequest& r) {
    if (r.RequestLine().compare(0, 4, "GET ") == 0)
      return TReply{{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody"}};
    return TReply{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "3\r\nYW5\r\n",
                   "5\r\nzd2Vy\r\n0\r\n\r\n"}};
  });
  TSCommAlt comm(BaseOf(server), false);
  const std::pair<const char*, const char*> targets[] = {
      {"", "/"}, {"/", "/"}, {"a/b", "/a/b"}, {"/ZELT/CRYPTFORRAR", "//ZELT/CRYPTFORRAR"}};
  for (const auto& [path, target] : targets) {
    SCOPED_TRACE(path);
    AnsiString response;
    EXPECT_TRUE(comm.Get(path, response));
    EXPECT_EQ(response, "body");
    EXPECT_TRUE(comm.Post(path, "UEsDBA==", response));
    EXPECT_EQ(response, "YW5zd2Vy");
    EXPECT_TRUE(comm.Get(path));
    EXPECT_TRUE(comm.Post(path, ""));
    const auto requests = server.Requests();
    ASSERT_GE(requests.size(), 4u);
    const auto* last = &requests[requests.size() - 4];
    EXPECT_EQ(last[0].RequestLine(), "GET " + std::string(target) + " HTTP/1.1");
    EXPECT_EQ(last[1].RequestLine(), "POST " + std::string(target) + " HTTP/1.1");
    EXPECT_EQ(last[1].Body, "UEsDBA==");
    EXPECT_EQ(last[2].RequestLine(), last[0].RequestLine());
    EXPECT_EQ(last[3].Header("Content-Length"), "0");
  }
}

TEST_F(SCommAltServerTest, AnErrorStatusReachesTheCaller) {
  TLoopbackServer server("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 6\r\n\r\n<html>");
  TSCommAlt comm(BaseOf(server), false);
  AnsiString response = "before";
  try {
    comm.Post("ZELT/CRYPTFORRAR", "data", response);
    FAIL() << "no error";
  } catch (const EHttpProtocolError& e) {
    EXPECT_EQ(e.ErrorCode, 500);
  }
  EXPECT_EQ(response, "before");
}

struct PrepareCase {
  std::string proxyServer;
  const char* proxyHost;
  int proxyPort;
  bool longTimeouts;
};

TEST_F(SCommAltServerTest, TheFirstRequestAppliesProxyAndTimeoutSettings) {
  const int closed = TLoopbackServer::ClosedPort();
  const THttpClient defaults(nullptr);
  const PrepareCase cases[] = {
      {"", "", defaults.ProxyParams.ProxyPort, false},
      {"127.0.0.1", "127.0.0.1", 80, true},
      {"127.0.0.1:" + std::to_string(closed), "127.0.0.1", closed, false},
      {"127.0.0.1:port", "127.0.0.1", 80, true},
  };
  for (const PrepareCase& c : cases) {
    SCOPED_TRACE(c.proxyServer);
    TSCommAlt comm("127.0.0.1:" + std::to_string(closed), false);
    comm.ProxyServer = c.proxyServer;
    comm.ProxyUserName = "u";
    comm.ProxyPassword = "p";
    comm.UseLongTimeouts = c.longTimeouts;
    try {
      comm.Get("x");  // nothing is expected to listen: preparing is what counts
    } catch (const ENetError&) {
    }
    EXPECT_TRUE(comm.Prepared());
    const TProxyConnectionInfo& proxy = comm.HTTP()->ProxyParams;
    EXPECT_EQ(proxy.ProxyServer, c.proxyHost);
    EXPECT_EQ(proxy.ProxyPort, c.proxyPort);
    EXPECT_EQ(proxy.ProxyUsername, "u");
    EXPECT_EQ(proxy.ProxyPassword, "p");
    EXPECT_EQ(comm.HTTP()->ReadTimeout, c.longTimeouts ? 900000 : defaults.ReadTimeout);
    EXPECT_EQ(comm.HTTP()->ConnectTimeout, c.longTimeouts ? 120000 : defaults.ConnectTimeout);
    EXPECT_EQ(comm.HTTP()->RequestTimeout, c.longTimeouts ? 1020000 : defaults.RequestTimeout);
    EXPECT_EQ(comm.HTTP()->Intercept(), nullptr);

    comm.ProxyServer = "127.0.0.1:1";  // settings after the first request stay unread
    comm.UseLongTimeouts = !c.longTimeouts;
    try {
      comm.Get("x");
    } catch (const ENetError&) {
    }
    EXPECT_EQ(proxy.ProxyServer, c.proxyHost);
    EXPECT_EQ(comm.HTTP()->ReadTimeout, c.longTimeouts ? 900000 : defaults.ReadTimeout);
  }
}

class SCommAltProxyTest : public SCommAltServerTest {
 protected:
  // The server stands for a proxy that wants user "user", password "pass".
  TLoopbackServer proxy{[](const TRecordedRequest& r) {
    if (r.Header("Proxy-Authorization") == "Basic dXNlcjpwYXNz")
      return TReply{{"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsigned"}};
    return TReply{
        {"HTTP/1.1 407 Proxy Authentication Required\r\n"
         "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n"}};
  }};
  TSCommAlt comm{"http://crypto.test:8080", false};

  void SetUp() override {
    comm.ProxyServer = "127.0.0.1:" + std::to_string(proxy.Port());
    comm.ProxyUserName = "stored";
    comm.ProxyPassword = "old";
  }
  // A scripted login form: records what it was shown, answers, and confirms or cancels.
  void ScriptLogin(bool confirm) {
    comm.OnProxyLogin = [this, confirm](AnsiString& user, AnsiString& password, bool& save) {
      shown.push_back(user + "/" + password + "/" + (save ? "save" : "nosave"));
      user = "user";
      password = "pass";
      save = true;
      return confirm;
    };
  }
  std::vector<std::string> shown;
};

TEST_F(SCommAltProxyTest, A407IsAnsweredThroughTheLoginAndRetried) {
  ScriptLogin(true);
  AnsiString response;
  EXPECT_TRUE(comm.Post("/ZELT/CRYPTFORRAR", "UEsDBA==", response));
  EXPECT_EQ(response, "signed");
  EXPECT_THAT(shown, ::testing::ElementsAre("stored/old/nosave"));
  EXPECT_EQ(comm.ProxyUserName, "user");
  EXPECT_EQ(comm.ProxyPassword, "pass");
  EXPECT_TRUE(comm.SaveProxyPassword);

  EXPECT_TRUE(comm.Get("next"));  // the stored credentials go along without asking
  EXPECT_EQ(shown.size(), 1u);
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Header("Proxy-Authorization"), "Basic c3RvcmVkOm9sZA==");  // stored:old
  EXPECT_EQ(requests[1].RequestLine(), "POST http://crypto.test:8080//ZELT/CRYPTFORRAR HTTP/1.1");
  EXPECT_EQ(requests[1].Body, "UEsDBA==");
  EXPECT_EQ(requests[2].Header("Proxy-Authorization"), "Basic dXNlcjpwYXNz");
}

TEST_F(SCommAltProxyTest, ACancelledOrMissingLoginFailsTheRequestAndChangesNothing) {
  ScriptLogin(false);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "cancelled" : "no login form");
    try {
      comm.Get("x");
      FAIL() << "no error";
    } catch (const EHttpProtocolError& e) {
      EXPECT_EQ(e.ErrorCode, 407);
    }
    EXPECT_EQ(comm.ProxyUserName, "stored");
    EXPECT_EQ(comm.ProxyPassword, "old");
    EXPECT_FALSE(comm.SaveProxyPassword);
    comm.OnProxyLogin = nullptr;
  }
  EXPECT_EQ(shown.size(), 1u);
}

TEST_F(SCommAltServerTest, TheTrafficCounterReportsEveryTransfer) {
  const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
  TLoopbackServer server([&](const TRecordedRequest&) {
    return TReply{{answer.substr(0, 10), answer.substr(10)}};
  });
  TSCommAlt comm(BaseOf(server), false);
  int64_t sent = 0, received = 0;
  int calls = 0;
  comm.OnTraffic = [&](int32_t bytesSent, int32_t bytesReceived) {
    EXPECT_TRUE(bytesSent == 0 || bytesReceived == 0);
    sent += bytesSent;
    received += bytesReceived;
    ++calls;
  };
  EXPECT_TRUE(comm.Post("p", "12345"));
  const auto request = server.Requests().at(0);
  EXPECT_EQ(sent, static_cast<int64_t>(request.Head.size() + 2 + request.Body.size()));
  EXPECT_EQ(received, static_cast<int64_t>(answer.size()));
  EXPECT_GE(calls, 2);
  ASSERT_NE(comm.HTTP()->Intercept(), nullptr);
  EXPECT_EQ(comm.HTTP()->Intercept()->Owner(), comm.HTTP());
}

#ifndef _WIN32
TEST(SCommAltTlsTest, HttpsChecksTheServerCertificateAgainstTheHost) {
  TTlsServer good("localhost");
  TSCommAlt comm("https://localhost:" + std::to_string(good.Port()), false);
  AnsiString response;
  EXPECT_TRUE(comm.Get("hello.txt", response));
  EXPECT_EQ(response, kHelloText);

  TTlsServer other("other");
  TSCommAlt refused("HTTPS://localhost:" + std::to_string(other.Port()), false);
  try {
    refused.Get("hello.txt", response);
    FAIL() << "no error";
  } catch (const ETlsError& e) {
    EXPECT_THAT(e.Message(), HasSubstr("Сертификат сервера localhost не прошёл проверку"));
  }
}
#endif

}  // namespace
