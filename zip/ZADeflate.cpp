#include "zip/ZADeflate.h"

#include <zlib.h>

#include <algorithm>

#include "zip/ZACrypto.h"
#include "zip/ZAErrors.h"

namespace {

void CheckMode(uint8_t mode) {
  if (mode >= 10) throw EZAException(5);
}

// One member's zlib stream, raw deflate at the member's level.
class TDeflateStream {
 public:
  explicit TDeflateStream(int level) {
    ZlibCheck(deflateInit2(&FStream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
  }
  ~TDeflateStream() {
    if (FOpen) deflateEnd(&FStream);
  }
  TDeflateStream(const TDeflateStream&) = delete;
  TDeflateStream& operator=(const TDeflateStream&) = delete;

  // Compresses one input block into out; emit takes each filled part.
  template <class Emit>
  bool Block(uint8_t* in, int32_t count, bool last, TBytes& out, Emit emit) {
    FStream.next_in = in;
    FStream.avail_in = uInt(count);
    do {
      FStream.next_out = out.data();
      FStream.avail_out = uInt(out.size());
      ZlibCheck(deflate(&FStream, last ? Z_FINISH : Z_SYNC_FLUSH));
      if (!emit(out.data(), int32_t(out.size() - FStream.avail_out))) return false;
    } while (FStream.avail_out == 0);
    return true;
  }

  // Ends the stream; a complete one must end cleanly.
  void End(bool check) {
    FOpen = false;
    const int result = deflateEnd(&FStream);
    if (check) ZlibCheck(result);
  }

 private:
  z_stream FStream{};
  bool FOpen = true;
};

}  // namespace

uint8_t ZALevelToMode(TZACompressionLevel level) {
  switch (level) {
    case clNone:
      return 0;
    case clFastest:
      return 1;
    case clNormal:
      return 6;
    case clMax:
      return 9;
  }
  return 1;
}

TZACompressionLevel ZAModeToLevel(uint8_t mode) {
  CheckMode(mode);
  if (mode == 0) return clNone;
  if (mode <= 3) return clFastest;
  return mode <= 6 ? clNormal : clMax;
}

int32_t ZAModeBufferSize(uint8_t mode) {
  switch (ZAModeToLevel(mode)) {
    case clFastest:
      return 0x80000;
    case clMax:
      return 0x180000;
    default:
      return 0x100000;
  }
}

uint64_t ZAMaxCompressedSize(uint64_t size, uint16_t method, bool encrypted) {
  // Deflate falls back to stored blocks (5 bytes per 16 KiB at worst) and
  // adds a few bytes per sync-flushed input block of 512 KiB or more.
  const uint64_t growth = method == ZA_METHOD_DEFLATE ? size / 1024 + 1024 : 0;
  return size + growth + (encrypted ? ZA_ENCRYPTION_HEADER_SIZE : 0);
}

TZACompressResult ZACompressMember(TStream* source, int64_t start, int64_t size,
                                   const TZAMemberParams& params, const TZAMemberSink& sink) {
  const int32_t blockSize = int32_t(std::min<int64_t>(ZAModeBufferSize(params.Mode), size));
  TBytes in(blockSize);
  TDeflateStream zlib(params.Mode);
  TZACompressResult result;
  const bool encrypted = !params.Password.empty();
  TZAKeys keys;
  uint32_t crc = ZA_CRC_START;
  bool cancelled = false;

  auto emit = [&](uint8_t* data, int32_t count) {
    if (encrypted) ZAEncryptBuffer(data, 0, count, keys);
    if (count > 0 && !sink.Write(data, count)) return false;
    result.CompressedSize += uint64_t(count);
    return true;
  };

  source->Seek(start, soBeginning);
  if (encrypted) {
    // The header carries the CRC, so the source is read once before.
    for (int64_t done = 0; done < size;) {
      const int32_t n = int32_t(std::min<int64_t>(blockSize, size - done));
      if (source->Read(in.data(), n) != n) break;
      crc = ZACrc32Update(in.data(), n, crc);
      done += n;
    }
    source->Seek(start, soBeginning);
    uint8_t header[ZA_ENCRYPTION_HEADER_SIZE];
    ZAMakeEncryptionHeader(params.Password, ~crc, header, keys);
    cancelled = !sink.Write(header, ZA_ENCRYPTION_HEADER_SIZE);
    if (!cancelled) result.CompressedSize += ZA_ENCRYPTION_HEADER_SIZE;
  }

  // Room for one sync-flushed block in a single deflate call.
  TBytes out(params.Method == ZA_METHOD_DEFLATE
                 ? (size_t(blockSize) + blockSize / 10 + 12 + 255) / 256 * 256
                 : 0);
  uint64_t consumed = 0;
  while (!cancelled && consumed < uint64_t(size)) {
    if (sink.Progress && sink.Progress(int64_t(consumed))) {
      cancelled = true;
      break;
    }
    const int32_t n = int32_t(std::min<uint64_t>(blockSize, size - consumed));
    if (source->Read(in.data(), n) != n) break;
    if (!encrypted) crc = ZACrc32Update(in.data(), n, crc);
    const bool last = consumed + n == uint64_t(size);
    const bool written = params.Method == ZA_METHOD_DEFLATE
                             ? zlib.Block(in.data(), n, last, out, emit)
                             : emit(in.data(), n);
    if (!written) {
      cancelled = true;
      break;
    }
    consumed += n;
  }

  result.Consumed = consumed;
  result.Completed = consumed == uint64_t(size) && !cancelled;
  // A stream left in the middle does not end cleanly; only a complete one
  // is checked.
  zlib.End(result.Completed);
  if (!result.Completed && !cancelled) throw EZAException(34, {size, int64_t(consumed)});
  result.Crc32 = ~crc;
  return result;
}
