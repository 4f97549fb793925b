// libFuzzer target: any bytes as a server's answer, handed to the reader in
// pieces of varying size (a transport reads at most what the server has
// sent). The first byte chooses the piece sizes and whether the answer
// follows a CONNECT; the rest is the answer. Every failure must be an
// ENetError, and a body must stay within the size limit.
#include "net/HttpAnswer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int64_t kMaxBody = 64 * 1024;

class TPiecesTransport : public TTransport {
 public:
  TPiecesTransport(const uint8_t* data, size_t size, uint8_t seed)
      : data_(data), size_(size), state_(seed | 1u) {}

  int32_t Receive(void* buffer, int32_t count) override {
    if (at_ == size_) return 0;
    state_ = state_ * 1103515245u + 12345u;
    const size_t piece = std::min<size_t>({size_ - at_, static_cast<size_t>(count),
                                           1 + (state_ >> 16) % 97});
    std::copy_n(data_ + at_, piece, static_cast<uint8_t*>(buffer));
    at_ += piece;
    return static_cast<int32_t>(piece);
  }
  void Send(const void*, int32_t) override {}

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  uint32_t state_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TPiecesTransport transport(data + 1, size - 1, data[0]);
  THttpConnection connection(&transport, "fuzz:80", nullptr, kMaxBody);
  try {
    const THttpAnswer answer = ReadHttpAnswer(connection, (data[0] & 0x80) != 0);
    if (answer.Code < 200 || answer.Code > 999 ||
        static_cast<int64_t>(answer.Body.size()) > kMaxBody)
      std::abort();
  } catch (const ENetError&) {
  }
  return 0;
}
