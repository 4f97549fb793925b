// A scripted TCP server on 127.0.0.1 (port chosen by the system) for the
// HTTP client's tests, in both builds. Each connection gets one request read
// (head, then a body of its Content-Length), recorded, and answered with the
// pieces the handler returns; then the connection is closed. Every wait is
// bounded and the destructor stops the server.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TRecordedRequest {
  std::string Head;  // request line and headers, up to the empty line
  std::string Body;
  // The value of header `name` (case-insensitive), "" when absent.
  std::string Header(const std::string& name) const;
  std::string RequestLine() const { return Head.substr(0, Head.find("\r\n")); }
};

struct TReply {
  // Sent one after another with a short pause, so the client gets them in
  // separate reads.
  std::vector<std::string> Pieces;
  // Waits this long before answering (cut short when the server stops).
  int DelayMs = 0;
  // The pause between two pieces.
  int PauseMs = 5;
};

class TLoopbackServer {
 public:
  using THandler = std::function<TReply(const TRecordedRequest&)>;
  explicit TLoopbackServer(THandler handler);
  // A server that answers every request with `reply`.
  explicit TLoopbackServer(const std::string& reply);
  ~TLoopbackServer();
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  int Port() const { return port_; }
  std::vector<TRecordedRequest> Requests();
  // Bytes sent to clients so far.
  size_t BytesSent() const { return bytesSent_; }

  // A loopback port nobody listens on (it was bound and released).
  static int ClosedPort();

 private:
  void Run();
  void Serve(intptr_t client);
  bool Sleep(int ms);  // false when stopping

  THandler handler_;
  intptr_t listener_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> bytesSent_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<TRecordedRequest> requests_;
  std::thread thread_;
};
