// Compression of one member's data into the raw deflate (or stored) bytes of
// a ZIP member, with the level tables of the archiver.
#pragma once

#include <cstdint>
#include <functional>

#include "rtl/Streams.h"
#include "rtl/Types.h"
#include "zip/ZAFormat.h"

enum TZACompressionLevel { clNone, clFastest, clNormal, clMax };

// CompressionMode set by a CompressionLevel.
uint8_t ZALevelToMode(TZACompressionLevel level);
// CompressionLevel set by a CompressionMode; a mode of 10 or more raises
// error 5.
TZACompressionLevel ZAModeToLevel(uint8_t mode);
// Size of the input blocks for a mode.
int32_t ZAModeBufferSize(uint8_t mode);

// An upper bound of a member's compressed size, encryption header included.
uint64_t ZAMaxCompressedSize(uint64_t size, uint16_t method, bool encrypted);

// How one member is compressed: the values its entry took when it was added.
struct TZAMemberParams {
  uint16_t Method = ZA_METHOD_DEFLATE;  // or ZA_METHOD_STORED
  uint8_t Mode = 1;                     // zlib level 0-9
  AnsiString Password;                  // non-empty: the member is encrypted
};

// Where the member's bytes go and who may stop it.
struct TZAMemberSink {
  // Writes the bytes; false when the write failed and the member stops.
  std::function<bool(const uint8_t* data, int32_t count)> Write;
  // Called before each input block with the bytes consumed so far; true
  // cancels the member.
  std::function<bool(int64_t consumed)> Progress;
};

struct TZACompressResult {
  bool Completed = false;       // the whole source went out
  uint32_t Crc32 = 0;           // final value (complemented)
  uint64_t CompressedSize = 0;  // bytes written, encryption header included
  uint64_t Consumed = 0;        // source bytes taken
};

// Compresses size bytes of source from position start. Each input block but
// the last ends in a sync flush, the last one finishes the stream. A source
// that ends early raises error 34; a cancel or failed write returns with
// Completed false.
TZACompressResult ZACompressMember(TStream* source, int64_t start, int64_t size,
                                   const TZAMemberParams& params, const TZAMemberSink& sink);
