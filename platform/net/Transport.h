// A byte stream to one server: plain TCP here, TLS over it in TlsHandler.
// Every failure is an ENetError whose message names the server.
#pragma once

#include <chrono>

#include "net/NetOs.h"
#include "rtl/SysUtils.h"

// Connect failures, time-outs, broken connections, malformed answers.
KS_EXCEPTION(ENetError, Exception);
// TLS library missing, failed handshakes, certificates that do not pass.
KS_EXCEPTION(ETlsError, ENetError);

class TTransport {
 public:
  virtual ~TTransport() = default;
  // At least one byte and at most `count`; 0 once the peer has closed.
  virtual int32_t Receive(void* buffer, int32_t count) = 0;
  // All of it.
  virtual void Send(const void* buffer, int32_t count) = 0;
};

class TSocketTransport : public TTransport {
 public:
  // Time-outs in ms; <= 0 waits without limit. The total one bounds the
  // whole exchange from here on, however the bytes trickle in.
  TSocketTransport(const AnsiString& host, int port, int connectTimeoutMs, int readTimeoutMs,
                   int totalTimeoutMs = 0);
  ~TSocketTransport() override;
  TSocketTransport(const TSocketTransport&) = delete;
  TSocketTransport& operator=(const TSocketTransport&) = delete;

  int32_t Receive(void* buffer, int32_t count) override;
  void Send(const void* buffer, int32_t count) override;

  TSocket Socket() const { return socket_; }
  // Waits within the read time-out and the total one until the socket can
  // be read or written.
  void Wait(bool forWrite);
  // "host:port", for messages.
  const AnsiString& Peer() const { return peer_; }

 private:
  [[noreturn]] void Fail();
  // The time left of the total time-out (<= 0 without one); raises once it
  // is spent.
  int RemainingMs() const;
  [[noreturn]] void TotalTimeSpent() const;

  TSocket socket_;
  AnsiString peer_;
  int readTimeoutMs_;
  int totalTimeoutMs_;
  std::chrono::steady_clock::time_point deadline_;
};
