#include "net/Transport.h"

TSocketTransport::TSocketTransport(const AnsiString& host, int port, int connectTimeoutMs,
                                   int readTimeoutMs)
    : peer_(host + ":" + IntToStr(port)), readTimeoutMs_(readTimeoutMs) {
  AnsiString error;
  socket_ = NetConnect(host, port, connectTimeoutMs, error);
  if (socket_ == InvalidSocket)
    throw ENetError(Format("Не удалось соединиться с %s: %s", {peer_, error}));
}

TSocketTransport::~TSocketTransport() { NetClose(socket_); }

void TSocketTransport::Fail() {
  throw ENetError(Format("Ошибка обмена с %s: %s", {peer_, NetLastErrorText()}));
}

void TSocketTransport::Wait(bool forWrite) {
  switch (NetWait(socket_, forWrite, readTimeoutMs_)) {
    case TNetWait::Ready:
      return;
    case TNetWait::TimedOut:
      throw ENetError(Format("Истекло время ожидания ответа от %s", {peer_}));
    case TNetWait::Failed:
      Fail();
  }
}

int32_t TSocketTransport::Receive(void* buffer, int32_t count) {
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
