// Sockets over POSIX (native build).
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/NetOs.h"
#include "rtl/SysUtils.h"

namespace {

// Waits for `events` on `fd`, resuming after signals.
TNetWait Poll(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int n = poll(&p, 1, timeoutMs > 0 ? timeoutMs : -1);
    if (n > 0) return TNetWait::Ready;
    if (n == 0) return TNetWait::TimedOut;
    if (errno != EINTR) return TNetWait::Failed;
  }
}

// Connects one address; the socket, or -1 with errno set.
int ConnectOne(const addrinfo& ai, int timeoutMs) {
  const int fd =
      socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
  if (fd < 0) return -1;
  if (connect(fd, ai.ai_addr, ai.ai_addrlen) == 0) return fd;
  if (errno == EINPROGRESS) {
    const TNetWait w = Poll(fd, POLLOUT, timeoutMs);
    int soError = 0;
    socklen_t len = sizeof soError;
    if (w == TNetWait::TimedOut) {
      errno = ETIMEDOUT;
    } else if (w == TNetWait::Ready && getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) == 0) {
      if (soError == 0) return fd;
      errno = soError;
    }
  }
  const int saved = errno;
  close(fd);
  errno = saved;
  return -1;
}

}  // namespace

TSocket NetConnect(const AnsiString& host, int port, int timeoutMs, AnsiString& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (rc != 0) {
    error = rc == EAI_SYSTEM ? SysErrorMessage(errno) : AnsiString(gai_strerror(rc));
    return InvalidSocket;
  }
  int fd = -1;
  for (const addrinfo* ai = list; ai && fd < 0; ai = ai->ai_next) {
    fd = ConnectOne(*ai, timeoutMs);
    if (fd < 0) error = SysErrorMessage(errno);
  }
  freeaddrinfo(list);
  return fd < 0 ? InvalidSocket : fd;
}

int32_t NetSend(TSocket socket, const void* buffer, int32_t count) {
  for (;;) {
    // A peer that went away must give an error, not SIGPIPE.
    const ssize_t n =
        send(static_cast<int>(socket), buffer, static_cast<size_t>(count), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kNetWouldBlock : kNetFailed;
  }
}

int32_t NetRecv(TSocket socket, void* buffer, int32_t count) {
  for (;;) {
    const ssize_t n = recv(static_cast<int>(socket), buffer, static_cast<size_t>(count), 0);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kNetWouldBlock : kNetFailed;
  }
}

TNetWait NetWait(TSocket socket, bool forWrite, int timeoutMs) {
  return Poll(static_cast<int>(socket), forWrite ? POLLOUT : POLLIN, timeoutMs);
}

void NetClose(TSocket socket) { close(static_cast<int>(socket)); }

AnsiString NetLastErrorText() { return SysErrorMessage(errno); }
