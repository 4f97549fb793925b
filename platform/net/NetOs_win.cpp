// Sockets over Winsock (Windows build).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "net/NetOs.h"
#include "rtl/SysUtils.h"

namespace {

// Winsock is started once per process, on first use, and left running.
bool Startup() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET Raw(TSocket socket) { return static_cast<SOCKET>(socket); }

TNetWait Select(SOCKET s, bool forWrite, int timeoutMs) {
  fd_set set, errors;
  FD_ZERO(&set);
  FD_ZERO(&errors);
  FD_SET(s, &set);
  FD_SET(s, &errors);  // a failed non-blocking connect shows here
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int n = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, &errors,
                       timeoutMs > 0 ? &tv : nullptr);
  if (n > 0) return TNetWait::Ready;
  return n == 0 ? TNetWait::TimedOut : TNetWait::Failed;
}

// Connects one address; the socket, or INVALID_SOCKET with the error set.
SOCKET ConnectOne(const addrinfo& ai, int timeoutMs) {
  SOCKET s = socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol);
  if (s == INVALID_SOCKET) return s;
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) == 0) {
    if (connect(s, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) == 0) return s;
    if (WSAGetLastError() == WSAEWOULDBLOCK) {
      const TNetWait w = Select(s, true, timeoutMs);
      int soError = 0;
      int len = sizeof soError;
      if (w == TNetWait::TimedOut) {
        WSASetLastError(WSAETIMEDOUT);
      } else if (w == TNetWait::Ready && getsockopt(s, SOL_SOCKET, SO_ERROR,
                                                    reinterpret_cast<char*>(&soError), &len) == 0) {
        if (soError == 0) return s;
        WSASetLastError(soError);
      }
    }
  }
  const int saved = WSAGetLastError();
  closesocket(s);
  WSASetLastError(saved);
  return INVALID_SOCKET;
}

}  // namespace

TSocket NetConnect(const AnsiString& host, int port, int timeoutMs, AnsiString& error) {
  if (!Startup()) {
    error = SysErrorMessage(WSAGetLastError());
    return InvalidSocket;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (rc != 0) {
    error = SysErrorMessage(rc);
    return InvalidSocket;
  }
  SOCKET s = INVALID_SOCKET;
  for (const addrinfo* ai = list; ai && s == INVALID_SOCKET; ai = ai->ai_next) {
    s = ConnectOne(*ai, timeoutMs);
    if (s == INVALID_SOCKET) error = SysErrorMessage(WSAGetLastError());
  }
  freeaddrinfo(list);
  return s == INVALID_SOCKET ? InvalidSocket : static_cast<TSocket>(s);
}

int32_t NetSend(TSocket socket, const void* buffer, int32_t count) {
  const int n = send(Raw(socket), static_cast<const char*>(buffer), count, 0);
  if (n != SOCKET_ERROR) return n;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kNetWouldBlock : kNetFailed;
}

int32_t NetRecv(TSocket socket, void* buffer, int32_t count) {
  const int n = recv(Raw(socket), static_cast<char*>(buffer), count, 0);
  if (n != SOCKET_ERROR) return n;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kNetWouldBlock : kNetFailed;
}

TNetWait NetWait(TSocket socket, bool forWrite, int timeoutMs) {
  return Select(Raw(socket), forWrite, timeoutMs);
}

void NetClose(TSocket socket) { closesocket(Raw(socket)); }

AnsiString NetLastErrorText() { return SysErrorMessage(WSAGetLastError()); }
