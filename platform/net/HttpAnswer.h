// Reading an HTTP/1.1 answer from a connection: the status line, the
// headers and a body framed by Content-Length, chunks or the close. Whatever
// the server sends is bounded: line length, header count, interim answers
// and the body size.
#pragma once

#include <utility>
#include <vector>

#include "net/Transport.h"
#include "rtl/Types.h"

class TConnectionIntercept;

struct THttpAnswer {
  int Code = 0;
  AnsiString StatusLine;
  std::vector<std::pair<AnsiString, AnsiString>> Headers;  // names lower-cased
  AnsiString Body;
};

// One exchange's byte stream, buffered for reading lines, with the intercept
// (when there is one) told of every byte.
class THttpConnection {
 public:
  THttpConnection(TTransport* transport, const AnsiString& peer, TConnectionIntercept* intercept,
                  int64_t maxBodySize);

  // After CONNECT the tunnel goes on over TLS.
  void SetTransport(TTransport* transport);
  void Write(const AnsiString& data);

  // A line without its CR LF; ENetError when the connection ends first.
  AnsiString ReadLine();
  // Exactly `count` bytes appended to the body `out`.
  void ReadExact(AnsiString& out, int64_t count);
  // The body `out` up to the close.
  void ReadToEnd(AnsiString& out);

  [[noreturn]] void Malformed(const AnsiString& why) const;

 private:
  // False once the peer has closed.
  bool Fill();
  void CheckBodySize(int64_t size) const;
  [[noreturn]] void Truncated() const;

  TTransport* transport_;
  AnsiString peer_;
  TConnectionIntercept* intercept_;
  int64_t maxBodySize_;
  AnsiString buffer_;
};

// The answer to a request. Interim 1xx answers are skipped. After CONNECT
// (`tunnel`) a 2xx answer has no body: the tunnel starts right after it.
THttpAnswer ReadHttpAnswer(THttpConnection& c, bool tunnel);
