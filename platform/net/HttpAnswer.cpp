#include "net/HttpAnswer.h"

#include "net/HttpClient.h"
#include "rtl/AnsiText.h"

namespace {

// Limits on what a server may send before the body.
constexpr size_t kMaxLineLength = 16 * 1024;
constexpr int kMaxHeaderLines = 200;
// A server may send a few "100 Continue" and the like before its answer.
constexpr int kMaxInterimAnswers = 5;

// A decimal or hex number of at most `maxDigits` digits; -1 when malformed.
int64_t ParseNumber(const AnsiString& text, int base, size_t maxDigits) {
  const AnsiString s = Trim(text);
  if (s.empty() || s.size() > maxDigits) return -1;
  int64_t value = 0;
  for (char c : s) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return -1;
    value = value * base + digit;
  }
  return value;
}

}  // namespace

THttpConnection::THttpConnection(TTransport* transport, const AnsiString& peer,
                                 TConnectionIntercept* intercept, int64_t maxBodySize)
    : transport_(transport), peer_(peer), intercept_(intercept), maxBodySize_(maxBodySize) {}

void THttpConnection::SetTransport(TTransport* transport) {
  if (!buffer_.empty()) Malformed("данные до начала защищённого соединения");
  transport_ = transport;
}

void THttpConnection::Write(const AnsiString& data) {
  if (!intercept_) return transport_->Send(data.data(), static_cast<int32_t>(data.size()));
  TBytes bytes(data.begin(), data.end());
  intercept_->Send(bytes);
  transport_->Send(bytes.data(), static_cast<int32_t>(bytes.size()));
}

AnsiString THttpConnection::ReadLine() {
  for (size_t scanned = 0;;) {
    const size_t lf = buffer_.find('\n', scanned);
    if (lf != AnsiString::npos) {
      AnsiString line = buffer_.substr(0, lf);
      buffer_.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    scanned = buffer_.size();
    if (scanned > kMaxLineLength) Malformed("слишком длинная строка");
    if (!Fill()) Truncated();
  }
}

void THttpConnection::ReadExact(AnsiString& out, int64_t count) {
  CheckBodySize(static_cast<int64_t>(out.size()) + count);
  while (static_cast<int64_t>(buffer_.size()) < count) {
    out += buffer_;
    count -= static_cast<int64_t>(buffer_.size());
    buffer_.clear();
    if (!Fill()) Truncated();
  }
  out.append(buffer_, 0, static_cast<size_t>(count));
  buffer_.erase(0, static_cast<size_t>(count));
}

void THttpConnection::ReadToEnd(AnsiString& out) {
  do {
    CheckBodySize(static_cast<int64_t>(out.size() + buffer_.size()));
    out += buffer_;
    buffer_.clear();
  } while (Fill());
}

void THttpConnection::Malformed(const AnsiString& why) const {
  throw ENetError(Format("Неверный ответ от %s: %s", {peer_, why}));
}

bool THttpConnection::Fill() {
  char chunk[16 * 1024];
  const int32_t n = transport_->Receive(chunk, sizeof chunk);
  if (n == 0) return false;
  if (!intercept_) {
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
  }
  TBytes bytes(chunk, chunk + n);
  intercept_->Receive(bytes);
  buffer_.append(bytes.begin(), bytes.end());
  return true;
}

void THttpConnection::CheckBodySize(int64_t size) const {
  if (size > maxBodySize_)
    throw ENetError(
        Format("Превышен размер ответа от %s: больше %s байт", {peer_, IntToStr(maxBodySize_)}));
}

void THttpConnection::Truncated() const {
  throw ENetError(Format("Соединение с %s закрыто до конца ответа", {peer_}));
}

namespace {

void ReadHeaders(THttpConnection& c, THttpAnswer& answer) {
  for (int n = 0;; ++n) {
    const AnsiString line = c.ReadLine();
    if (line.empty()) return;
    if (n == kMaxHeaderLines) c.Malformed("слишком много заголовков");
    const size_t colon = line.find(':');
    if (colon == AnsiString::npos) c.Malformed("заголовок без двоеточия");
    answer.Headers.emplace_back(LowerCase(Trim(line.substr(0, colon))),
                                Trim(line.substr(colon + 1)));
  }
}

void ReadChunkedBody(THttpConnection& c, AnsiString& body) {
  for (;;) {
    const AnsiString line = c.ReadLine();
    const int64_t size = ParseNumber(line.substr(0, line.find(';')), 16, 15);
    if (size < 0) c.Malformed("неверная длина части");
    if (size == 0) break;
    c.ReadExact(body, size);
    if (!c.ReadLine().empty()) c.Malformed("часть длиннее своей длины");
  }
  THttpAnswer trailer;
  ReadHeaders(c, trailer);
}

}  // namespace

THttpAnswer ReadHttpAnswer(THttpConnection& c, bool tunnel) {
  THttpAnswer answer;
  for (int interim = 0;; ++interim) {  // interim 1xx answers are skipped
    if (interim > kMaxInterimAnswers)
      c.Malformed("больше " + IntToStr(kMaxInterimAnswers) + " промежуточных ответов");
    answer = THttpAnswer{};
    answer.StatusLine = c.ReadLine();
    const AnsiString& s = answer.StatusLine;
    const size_t space = s.find(' ');
    if (s.compare(0, 5, "HTTP/") != 0 || space == AnsiString::npos ||
        (s.size() > space + 4 && s[space + 4] != ' '))
      c.Malformed("неверная строка состояния");
    answer.Code = static_cast<int>(ParseNumber(s.substr(space + 1, 3), 10, 3));
    if (answer.Code < 100) c.Malformed("неверная строка состояния");
    ReadHeaders(c, answer);
    if (answer.Code >= 200) break;
  }

  if (answer.Code == 204 || answer.Code == 304 || (tunnel && answer.Code < 300)) return answer;
  // Every header line of a name counts: two different lengths, or a coding
  // we cannot undo, would have us read the body wrongly.
  AnsiString encoding, length;
  bool hasEncoding = false, hasLength = false;
  for (const auto& [name, value] : answer.Headers) {
    if (name == "transfer-encoding") {
      encoding += (hasEncoding ? ", " : "") + LowerCase(value);
      hasEncoding = true;
    } else if (name == "content-length") {
      if (hasLength && value != length) c.Malformed("разные длины содержимого");
      length = value;
      hasLength = true;
    }
  }
  if (hasEncoding) {
    if (encoding != "chunked") c.Malformed("неизвестное кодирование передачи " + encoding);
    ReadChunkedBody(c, answer.Body);
  } else if (hasLength) {
    const int64_t size = ParseNumber(length, 10, 18);
    if (size < 0) c.Malformed("неверная длина содержимого");
    c.ReadExact(answer.Body, size);
  } else {
    c.ReadToEnd(answer.Body);
  }
  return answer;
}

