#include "net/Transport.h"

#include <algorithm>

namespace {

// The shorter of two time-outs, where <= 0 means none.
int ShorterTimeout(int a, int b) {
  if (a <= 0) return b;
  if (b <= 0) return a;
  return std::min(a, b);
}

}  // namespace

TSocketTransport::TSocketTransport(const AnsiString& host, int port, int connectTimeoutMs,
                                   int readTimeoutMs, int totalTimeoutMs)
    : peer_(host + ":" + IntToStr(port)),
      readTimeoutMs_(readTimeoutMs),
      totalTimeoutMs_(totalTimeoutMs),
      deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(totalTimeoutMs)) {
  AnsiString error;
  socket_ = NetConnect(host, port, ShorterTimeout(connectTimeoutMs, totalTimeoutMs), error);
  if (socket_ == InvalidSocket)
    throw ENetError(Format("Не удалось соединиться с %s: %s", {peer_, error}));
}

TSocketTransport::~TSocketTransport() { NetClose(socket_); }

void TSocketTransport::Fail() {
  throw ENetError(Format("Ошибка обмена с %s: %s", {peer_, NetLastErrorText()}));
}

int TSocketTransport::RemainingMs() const {
  if (totalTimeoutMs_ <= 0) return 0;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline_ - std::chrono::steady_clock::now())
                        .count();
  if (left <= 0) TotalTimeSpent();
  return static_cast<int>(left);
}

void TSocketTransport::TotalTimeSpent() const {
  throw ENetError(Format("Превышено общее время запроса к %s: %d мс", {peer_, totalTimeoutMs_}));
}

void TSocketTransport::Wait(bool forWrite) {
  const int remaining = RemainingMs();
  const int timeout = ShorterTimeout(readTimeoutMs_, remaining);
  switch (NetWait(socket_, forWrite, timeout)) {
    case TNetWait::Ready:
      return;
    case TNetWait::TimedOut:
      if (timeout == remaining) TotalTimeSpent();
      throw ENetError(Format("Истекло время ожидания ответа от %s", {peer_}));
    case TNetWait::Failed:
      Fail();
  }
}

int32_t TSocketTransport::Receive(void* buffer, int32_t count) {
  RemainingMs();  // a peer that never lets us wait is bounded too
  for (;;) {
    const int32_t n = NetRecv(socket_, buffer, count);
    if (n >= 0) return n;
    if (n == kNetFailed) Fail();
    Wait(false);
  }
}

void TSocketTransport::Send(const void* buffer, int32_t count) {
  auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const int32_t n = NetSend(socket_, p, count);
    if (n == kNetFailed) Fail();
    if (n == kNetWouldBlock) {
      Wait(true);
      continue;
    }
    p += n;
    count -= n;
  }
}
