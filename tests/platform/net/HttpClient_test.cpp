#include "net/HttpClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "LoopbackServer.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

class HttpClientTest : public ::testing::Test {
 protected:
  void Aim(const TLoopbackServer& server) {
    http.Host = "127.0.0.1";
    http.Port = server.Port();
    http.ConnectTimeout = 5000;
    http.ReadTimeout = 5000;
  }
  std::string Get(const AnsiString& url) {
    TStringStream response;
    http.Get(url, &response);
    return response.DataString();
  }
  // The message of the ENetError that `url` raises.
  std::string GetFailure(const AnsiString& url) {
    try {
      Get(url);
    } catch (const ENetError& e) {
      return e.Message();
    }
    ADD_FAILURE() << "no error for " << url;
    return "";
  }

  THttpClient http{nullptr};
};

TEST_F(HttpClientTest, SendsTheRequestLineAndHeadersItIsGiven) {
  TLoopbackServer server(kOk);
  Aim(server);
  http.Accept = "*/*";
  EXPECT_EQ(Get("/a/b?x=1"), "ok");

  const std::string body("bin\0\xE0\xFF\r\n", 8);
  TStringStream source("skipped" + body);
  source.SetPosition(7);  // from the stream's position on
  TStringStream response;
  http.Post("//ZELT/CRYPTFORRAR", &source, &response);
  EXPECT_EQ(response.DataString(), "ok");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  EXPECT_EQ(requests[0].Head,
            "GET /a/b?x=1 HTTP/1.1\r\nHost: " + host + "\r\nAccept: */*\r\nConnection: close\r\n");
  EXPECT_EQ(requests[1].RequestLine(), "POST //ZELT/CRYPTFORRAR HTTP/1.1");
  EXPECT_EQ(requests[1].Header("Content-Length"), "8");
  EXPECT_EQ(requests[1].Body, body);
}

struct BodyCase {
  const char* name;
  std::vector<std::string> pieces;
  std::string body;
};

TEST_F(HttpClientTest, ReadsBodiesByLengthChunksOrClose) {
  const BodyCase cases[] = {
      {"length, in pieces",
       {"HTTP/1.1 200 OK\r\nCont", "ent-Length: 11\r\n\r\nhello", " world"},
       "hello world"},
      {"length zero", {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}, ""},
      {"chunked, extension, trailer, split sizes",
       {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5;name=x\r\nhel", "lo\r\n1",
        "A\r\n0123456789ABCDEFGHIJKLMNOP\r\n0\r\nX-Sum: 1\r\n\r\n"},
       "hello0123456789ABCDEFGHIJKLMNOP"},
      {"chunked wins over a length",
       {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n"
        "2\r\nab\r\n0\r\n\r\n"},
       "ab"},
      {"till close",
       {"HTTP/1.0 200 ok\r\nContent-type: text/plain\r\n\r\nline 1\n", "line 2\n"},
       "line 1\nline 2\n"},
      {"interim answer skipped",
       {"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz"},
       "z"},
      {"no content", {"HTTP/1.1 204 No Content\r\n\r\n"}, ""},
      {"a few interim answers skipped",
       {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n"
        "\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n"
        "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz"},
       "z"},
      {"the same length twice",
       {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nab"}, "ab"},
  };
  for (const BodyCase& c : cases) {
    SCOPED_TRACE(c.name);
    TLoopbackServer server([&](const TRecordedRequest&) { return TReply{c.pieces}; });
    Aim(server);
    EXPECT_EQ(Get("/"), c.body);
  }
}

struct BadAnswerCase {
  const char* name;
  std::string answer;
  const char* message;
};

TEST_F(HttpClientTest, RefusesTruncatedAndMalformedAnswers) {
  const BadAnswerCase cases[] = {
      {"shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc",
       "закрыто до конца ответа"},
      {"closed inside the head", "HTTP/1.1 200 OK\r\nContent-", "закрыто до конца ответа"},
      {"last chunk missing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n",
       "закрыто до конца ответа"},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
       "неверная длина части"},
      {"chunk size too large",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFF\r\n",
       "неверная длина части"},
      {"chunk longer than its size",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n",
       "часть длиннее своей длины"},
      {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
       "неверная длина содержимого"},
      {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", "неверная строка состояния"},
      {"status not a number", "HTTP/1.1 2x0 OK\r\n\r\n", "неверная строка состояния"},
      {"header without colon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n", "заголовок без двоеточия"},
      {"endless line", "HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'a'),
       "слишком длинная строка"},
      {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc",
       "разные длины содержимого"},
      {"a coding that only contains chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: notchunked\r\n\r\n2\r\nab\r\n0\r\n\r\n",
       "неизвестное кодирование передачи notchunked"},
      {"compressed", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nxyz",
       "неизвестное кодирование передачи gzip"},
      {"compressed, then chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"
       "2\r\nab\r\n0\r\n\r\n",
       "неизвестное кодирование передачи gzip, chunked"},
  };
  for (const BadAnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    TLoopbackServer server(c.answer);
    Aim(server);
    const std::string message = GetFailure("/");
    EXPECT_THAT(message, HasSubstr(c.message));
    EXPECT_THAT(message, HasSubstr("127.0.0.1:" + std::to_string(server.Port())));
  }
}

TEST_F(HttpClientTest, RefusesLineBreaksThatWouldAddHeaders) {
  TLoopbackServer server(kOk);
  Aim(server);
  EXPECT_THAT(GetFailure("/a HTTP/1.1\r\nX-Injected: 1\r\n"),
              HasSubstr("Перевод строки в запросе к 127.0.0.1"));
  http.Accept = "*/*\nX-Injected: 1";
  EXPECT_THAT(GetFailure("/"), HasSubstr("Перевод строки"));
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpClientTest, AnErrorStatusRaisesWithStatusAndBody) {
  TLoopbackServer server("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
  Aim(server);
  TStringStream response;
  try {
    http.Get("/missing", &response);
    FAIL() << "no error";
  } catch (const EHttpProtocolError& e) {
    EXPECT_EQ(e.ErrorCode, 404);
    EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(e.ErrorMessage, "gone");
  }
  EXPECT_EQ(response.DataString(), "");
}

TEST_F(HttpClientTest, KeepsTheStatusOfTheLastAnswer) {
  EXPECT_EQ(http.ResponseCode, 0);
  TLoopbackServer server([](const TRecordedRequest& r) {
    if (r.RequestLine().compare(0, 9, "GET /made") == 0)
      return TReply{
          {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n"}};
    return TReply{{"HTTP/1.1 503 Busy\r\nContent-Length: 0\r\n\r\n"}};
  });
  Aim(server);
  Get("/made");
  EXPECT_EQ(http.ResponseCode, 201);
  EXPECT_EQ(http.ResponseText, "HTTP/1.1 201 Created");
  EXPECT_THAT(GetFailure("/busy"), StartsWith("HTTP/1.1 503"));
  EXPECT_EQ(http.ResponseCode, 503);
  EXPECT_EQ(http.ResponseText, "HTTP/1.1 503 Busy");
}

TEST_F(HttpClientTest, WaitsNoLongerThanItsTimeouts) {
  TLoopbackServer server([](const TRecordedRequest&) { return TReply{{kOk}, 10000}; });
  Aim(server);
  http.ReadTimeout = 300;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THAT(GetFailure("/"), HasSubstr("Истекло время ожидания ответа от 127.0.0.1:"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

  http.Port = TLoopbackServer::ClosedPort();
  EXPECT_THAT(GetFailure("/"),
              StartsWith("Не удалось соединиться с 127.0.0.1:" + std::to_string(http.Port) + ": "));
}

std::vector<std::string> Repeat(int count, const std::string& piece) {
  return std::vector<std::string>(static_cast<size_t>(count), piece);
}

// A server may not keep one request going: neither by trickling bytes (each
// one restarting the read time-out), nor by endless interim answers, nor by
// a body larger than memory. Each limit gives its own message.
TEST_F(HttpClientTest, OneRequestIsBoundedInTimeInterimAnswersAndBodySize) {
  // A server trickling its body one byte every 100 ms, and a silent one when
  // the total time-out is shorter than the read time-out.
  TReply drip{{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"}};
  drip.Pieces.resize(1000, "x");
  drip.PauseMs = 100;
  for (const TReply& reply : {drip, TReply{{kOk}, 10000}}) {
    TLoopbackServer server([&](const TRecordedRequest&) { return reply; });
    Aim(server);
    http.RequestTimeout = 700;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THAT(GetFailure("/"), HasSubstr("Превышено общее время запроса к 127.0.0.1:" +
                                           std::to_string(server.Port()) + ": 700 мс"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  }
  http.RequestTimeout = 5000;
  {
    TReply interim{Repeat(100000, "HTTP/1.1 100 Continue\r\n\r\n")};
    interim.PauseMs = 0;
    TLoopbackServer server([&](const TRecordedRequest&) { return interim; });
    Aim(server);
    EXPECT_THAT(GetFailure("/"), HasSubstr("больше 5 промежуточных ответов"));
  }

  http.MaxBodySize = 1000;
  const std::string kTooLarge = "Превышен размер ответа от 127.0.0.1:";
  const struct {
    const char* name;
    std::vector<std::string> pieces;
    bool refused;
  } bodies[] = {
      {"length at the limit",
       {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", std::string(1000, 'a')}, false},
      {"length over it, refused before the body",
       {"HTTP/1.1 200 OK\r\nContent-Length: 1001\r\n\r\n"}, true},
      {"a length of half a gigabyte", {"HTTP/1.1 200 OK\r\nContent-Length: 536870912\r\n\r\n"},
       true},
      {"chunks over it",
       {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "3E8\r\n" +
        std::string(1000, 'a') + "\r\n", "1\r\na\r\n0\r\n\r\n"},
       true},
      {"till close, over it", {"HTTP/1.1 200 OK\r\n\r\n", std::string(600, 'a'),
        std::string(401, 'a')}, true},
      {"till close, at the limit", {"HTTP/1.1 200 OK\r\n\r\n", std::string(600, 'a'),
        std::string(400, 'a')}, false},
      {"an error answer's body counts too",
       {"HTTP/1.1 500 Error\r\nContent-Length: 5000\r\n\r\n"}, true},
  };
  for (const auto& c : bodies) {
    SCOPED_TRACE(c.name);
    TLoopbackServer server([&](const TRecordedRequest&) { return TReply{c.pieces}; });
    Aim(server);
    if (c.refused)
      EXPECT_THAT(GetFailure("/"), HasSubstr(kTooLarge + std::to_string(server.Port()) +
                                             ": больше 1000 байт"));
    else
      EXPECT_EQ(Get("/").size(), 1000u);
  }
}

class ProxyTest : public HttpClientTest {
 protected:
  // The server stands for a proxy that wants user "user", password "pass".
  static TReply Proxy(const TRecordedRequest& r) {
    if (r.Header("Proxy-Authorization") == "Basic dXNlcjpwYXNz") return TReply{{kOk}};
    return TReply{
        {"HTTP/1.1 407 Proxy Authentication Required\r\n"
         "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 6\r\n\r\ndenied"}};
  }
  void AimProxy(const TLoopbackServer& server) {
    http.Host = "origin.test";
    http.Port = 8080;
    http.ProxyParams.ProxyServer = "127.0.0.1";
    http.ProxyParams.ProxyPort = server.Port();
    http.ConnectTimeout = http.ReadTimeout = 5000;
  }
  // A login that answers with `password` and counts how often it was asked.
  void Login(bool handled, const AnsiString& password) {
    http.InProcessAuth = true;
    http.OnProxyAuthorization = [=, this](TObject* sender, TAuthentication& auth, bool& h) {
      EXPECT_EQ(sender, &http);
      ++asked;
      auth.Username = "user";
      auth.Password = password;
      h = handled;
    };
  }
  int asked = 0;
};

TEST_F(ProxyTest, SendsAbsoluteTargetsWithBasicCredentials) {
  TLoopbackServer server(Proxy);
  AimProxy(server);
  http.ProxyParams.ProxyUsername = "user";
  http.ProxyParams.ProxyPassword = "pass";
  EXPECT_EQ(Get("/x/y"), "ok");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].RequestLine(), "GET http://origin.test:8080/x/y HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Host"), "origin.test:8080");
}

TEST_F(ProxyTest, AsksForCredentialsAfter407AndRetries) {
  TLoopbackServer server(Proxy);
  AimProxy(server);
  Login(true, "pass");
  EXPECT_EQ(Get("/1"), "ok");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(http.ProxyParams.ProxyUsername, "user");
  EXPECT_EQ(Get("/2"), "ok");  // the accepted credentials go along at once
  EXPECT_EQ(asked, 1);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Header("Proxy-Authorization"), "");
  EXPECT_EQ(requests[1].RequestLine(), "GET http://origin.test:8080/1 HTTP/1.1");
}

TEST_F(ProxyTest, A407FailsWhenTheLoginIsCancelledRefusedOrOff) {
  TLoopbackServer server(Proxy);
  AimProxy(server);
  auto status = [&] {
    try {
      Get("/");
    } catch (const EHttpProtocolError& e) {
      EXPECT_EQ(e.ErrorMessage, "denied");
      return e.ErrorCode;
    }
    return 0;
  };
  Login(false, "pass");  // cancelled
  EXPECT_EQ(status(), 407);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(http.ProxyParams.ProxyUsername, "");

  asked = 0;
  Login(true, "wrong");  // a proxy that keeps refusing is not asked forever
  EXPECT_EQ(status(), 407);
  EXPECT_EQ(asked, 3);

  asked = 0;
  http.InProcessAuth = false;
  EXPECT_EQ(status(), 407);
  EXPECT_EQ(asked, 0);
}

// Counts what passes, as the workstation's traffic counter does.
class TCountingIntercept : public TConnectionIntercept {
 public:
  using TConnectionIntercept::TConnectionIntercept;
  void Receive(TBytes& buffer) override { received += buffer.size(); }
  void Send(TBytes& buffer) override { sent += buffer.size(); }
  size_t sent = 0, received = 0;
};

TEST_F(HttpClientTest, TheInterceptSeesEveryByteUntilItIsGone) {
  const std::string answer =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n";
  TLoopbackServer server([&](const TRecordedRequest&) {
    return TReply{{answer.substr(0, 20), answer.substr(20)}};
  });
  Aim(server);
  auto* intercept = new TCountingIntercept(nullptr);
  http.SetIntercept(intercept);
  TStringStream source("12345");
  http.Post("/", &source, nullptr);
  const auto request = server.Requests().at(0);
  EXPECT_EQ(intercept->sent, request.Head.size() + 2 + request.Body.size());
  EXPECT_EQ(intercept->received, answer.size());

  delete intercept;
  EXPECT_EQ(http.Intercept(), nullptr);
  EXPECT_EQ(Get("/"), "abc");
}

#ifdef _WIN32
TEST_F(HttpClientTest, HttpsWithoutOpenSslNamesTheMissingLibrary) {
  TLoopbackServer server(kOk);
  Aim(server);
  TTlsHandler tls(nullptr);
  http.SetIOHandler(&tls);
  try {
    Get("/");
    FAIL() << "no error";
  } catch (const ETlsError& e) {
    EXPECT_THAT(e.Message(), HasSubstr("libcrypto-3.dll"));
  }
}
#endif

}  // namespace
