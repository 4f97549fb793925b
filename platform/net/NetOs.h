// What the HTTP client needs of the operating system's sockets, in one small
// interface. NetOs_win.cpp implements it over Winsock, NetOs_posix.cpp over
// POSIX sockets. Sockets are non-blocking; waiting is done with NetWait.
#pragma once

#include <cstdint>

#include "rtl/Types.h"

using TSocket = intptr_t;
inline constexpr TSocket InvalidSocket = -1;

// Resolves `host` and connects to each of its addresses in turn, waiting at
// most `timeoutMs` for each (<= 0: the system's own limit). InvalidSocket on
// failure, with the reason in `error`.
TSocket NetConnect(const AnsiString& host, int port, int timeoutMs, AnsiString& error);

// Results of NetSend/NetRecv besides a byte count (NetRecv: 0 = the peer closed).
inline constexpr int32_t kNetWouldBlock = -1;
inline constexpr int32_t kNetFailed = -2;
int32_t NetSend(TSocket socket, const void* buffer, int32_t count);
int32_t NetRecv(TSocket socket, void* buffer, int32_t count);

enum class TNetWait { Ready, TimedOut, Failed };
// Waits until the socket can be read (or written); `timeoutMs` <= 0 waits
// without limit.
TNetWait NetWait(TSocket socket, bool forWrite, int timeoutMs);

void NetClose(TSocket socket);

// Text of the last failed socket call of this thread.
AnsiString NetLastErrorText();
