#include "LoopbackServer.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using socklen_t = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

constexpr int kIoTimeoutMs = 5000;
#ifdef _WIN32
constexpr int kSendFlags = 0;
#else
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that left must not kill the test
#endif

void CloseSocket(intptr_t s) {
#ifdef _WIN32
  closesocket(static_cast<SOCKET>(s));
#else
  close(static_cast<int>(s));
#endif
}

// True when the socket can be read within `ms`.
bool Readable(intptr_t s, int ms) {
#ifdef _WIN32
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<SOCKET>(s), &set);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &tv) > 0;
#else
  pollfd p{static_cast<int>(s), POLLIN, 0};
  return poll(&p, 1, ms) > 0;
#endif
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// A socket bound to 127.0.0.1 on a port the system chooses, and that port.
intptr_t BindLoopback(int& port) {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
#endif
  const intptr_t s = static_cast<intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    CloseSocket(s);
    throw std::runtime_error("cannot bind a loopback port");
  }
  port = ntohs(addr.sin_port);
  return s;
}

}  // namespace

std::string TRecordedRequest::Header(const std::string& name) const {
  const std::string head = Lower(Head);
  const size_t at = head.find("\r\n" + Lower(name) + ":");
  if (at == std::string::npos) return "";
  size_t begin = at + 3 + name.size();
  while (begin < Head.size() && Head[begin] == ' ') ++begin;
  return Head.substr(begin, Head.find("\r\n", begin) - begin);
}

TLoopbackServer::TLoopbackServer(THandler handler) : handler_(std::move(handler)) {
  listener_ = BindLoopback(port_);
  if (listen(listener_, 16) != 0) {
    CloseSocket(listener_);
    throw std::runtime_error("cannot listen on a loopback port");
  }
  thread_ = std::thread([this] { Run(); });
}

TLoopbackServer::TLoopbackServer(const std::string& reply)
    : TLoopbackServer([reply](const TRecordedRequest&) { return TReply{{reply}}; }) {}

TLoopbackServer::~TLoopbackServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  CloseSocket(listener_);
}

int TLoopbackServer::ClosedPort() {
  int port = 0;
  CloseSocket(BindLoopback(port));
  return port;
}

std::vector<TRecordedRequest> TLoopbackServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool TLoopbackServer::Sleep(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

void TLoopbackServer::Run() {
  while (!stop_) {
    if (!Readable(listener_, 50)) continue;
    const intptr_t client = static_cast<intptr_t>(accept(listener_, nullptr, nullptr));
    if (client < 0) continue;
    Serve(client);
    CloseSocket(client);
  }
}

void TLoopbackServer::Serve(intptr_t client) {
  TRecordedRequest request;
  std::string data;
  size_t headEnd = std::string::npos;
  size_t wanted = 0;
  char buf[4096];
  while (headEnd == std::string::npos || data.size() < wanted) {
    if (stop_ || !Readable(client, kIoTimeoutMs)) return;
    const int n = static_cast<int>(recv(client, buf, sizeof buf, 0));
    if (n <= 0) return;
    data.append(buf, static_cast<size_t>(n));
    if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
      request.Head = data.substr(0, headEnd + 2);
      const std::string length = request.Header("Content-Length");
      wanted = headEnd + 4 + (length.empty() ? 0 : std::stoul(length));
    }
  }
  request.Body = data.substr(headEnd + 4);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  const TReply reply = handler_(request);
  if (reply.DelayMs > 0 && !Sleep(reply.DelayMs)) return;
  for (size_t i = 0; i < reply.Pieces.size(); ++i) {
    if (i > 0 && !Sleep(reply.PauseMs)) return;
    const std::string& piece = reply.Pieces[i];
    if (send(client, piece.data(), static_cast<int>(piece.size()), kSendFlags) < 0) return;
    bytesSent_ += piece.size();
  }
}
