#include "zip/ZADeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "rtl/Streams.h"
#include "zip/ZACrypto.h"
#include "zip/ZAErrors.h"
#include "tests/zip/ZATestHelpers.h"

namespace {

// Half text, half noise, so that every level has work to do.
TBytes Corpus(size_t size) {
  static const char* words[] = {"archive ", "member ", "deflate ", "Keystall ", "block\r\n"};
  std::mt19937 random(7);
  TBytes data;
  data.reserve(size);
  while (data.size() < size) {
    if (random() % 2) {
      const char* w = words[random() % 5];
      data.insert(data.end(), w, w + strlen(w));
    } else {
      for (int i = 0; i < 8; ++i) data.push_back(uint8_t(random()));
    }
  }
  data.resize(size);
  return data;
}

TBytes RawInflate(const TBytes& packed) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
  TBytes out(1 << 16);
  TBytes result;
  z.next_in = const_cast<uint8_t*>(packed.data());
  z.avail_in = uInt(packed.size());
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    status = inflate(&z, Z_NO_FLUSH);
    result.insert(result.end(), out.data(), out.data() + out.size() - z.avail_out);
  }
  EXPECT_EQ(status, Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the final block";
  inflateEnd(&z);
  return result;
}

// Collects what a member writes, block by block.
struct Sink {
  std::vector<TBytes> Blocks;
  int Progress = 0;
  int CancelAt = -1;     // progress call that cancels
  int FailWriteAt = -1;  // write call that fails
  int Writes = 0;
  TZAMemberSink Make() {
    return {[this](const uint8_t* data, int32_t count) {
              if (Writes++ == FailWriteAt) return false;
              Blocks.back().insert(Blocks.back().end(), data, data + count);
              return true;
            },
            [this](int64_t) {
              Blocks.emplace_back();
              return Progress++ == CancelAt;
            }};
  }
  TBytes All() const {
    TBytes all;
    for (const TBytes& b : Blocks) all.insert(all.end(), b.begin(), b.end());
    return all;
  }
};

TZACompressResult Compress(const TBytes& data, const TZAMemberParams& params, Sink& sink,
                           int64_t start = 0) {
  TMemoryStream source;
  source.WriteBuffer(AnsiString(start, '#').data(), int32_t(start));
  source.WriteBuffer(data.data(), int32_t(data.size()));
  sink.Blocks.emplace_back();  // anything written before the first block
  return ZACompressMember(&source, start, int64_t(data.size()), params, sink.Make());
}

TEST(ZALevels, TablesBetweenLevelsModesAndBufferSizes) {
  EXPECT_EQ(ZALevelToMode(clNone), 0);
  EXPECT_EQ(ZALevelToMode(clFastest), 1);
  EXPECT_EQ(ZALevelToMode(clNormal), 6);
  EXPECT_EQ(ZALevelToMode(clMax), 9);
  const TZACompressionLevel levels[] = {clNone,   clFastest, clFastest, clFastest, clNormal,
                                        clNormal, clNormal,  clMax,     clMax,     clMax};
  const int32_t sizes[] = {0x100000, 0x80000,  0x80000,  0x80000,  0x100000,
                           0x100000, 0x100000, 0x180000, 0x180000, 0x180000};
  for (uint8_t mode = 0; mode < 10; ++mode) {
    EXPECT_EQ(ZAModeToLevel(mode), levels[mode]) << int(mode);
    EXPECT_EQ(ZAModeBufferSize(mode), sizes[mode]) << int(mode);
  }
  for (uint8_t mode : {10, 255}) {
    try {
      ZAModeToLevel(mode);
      ADD_FAILURE() << int(mode);
    } catch (const EZAException& e) {
      EXPECT_EQ(e.NativeError, 5);
    }
  }
}

TEST(ZACompressMember, SyncFlushedBlocksInflateBackAtEveryLevel) {
  for (uint8_t mode = 0; mode <= 9; ++mode) {
    const size_t block = size_t(ZAModeBufferSize(mode));
    for (size_t size : {size_t(1), size_t(1000), block, block + 1, block * 2 + block / 2}) {
      SCOPED_TRACE(::testing::Message() << "mode " << int(mode) << ", size " << size);
      const TBytes data = Corpus(size);
      Sink sink;
      const TZACompressResult r = Compress(data, {ZA_METHOD_DEFLATE, mode, ""}, sink);
      ASSERT_TRUE(r.Completed);
      EXPECT_EQ(r.Consumed, size);
      EXPECT_EQ(r.Crc32, crc32(0, data.data(), uInt(size)));
      const TBytes packed = sink.All();
      EXPECT_EQ(r.CompressedSize, packed.size());
      EXPECT_EQ(RawInflate(packed), data);
      // One block per buffer; each but the last ends in an empty stored block.
      ASSERT_EQ(sink.Blocks.size(), 1 + (size + block - 1) / block);
      EXPECT_TRUE(sink.Blocks[0].empty());
      for (size_t i = 1; i + 1 < sink.Blocks.size(); ++i) {
        const TBytes& b = sink.Blocks[i];
        ASSERT_GE(b.size(), 4u);
        EXPECT_EQ(TBytes(b.end() - 4, b.end()), (TBytes{0x00, 0x00, 0xFF, 0xFF})) << i;
      }
    }
  }
}

TEST(ZACompressMember, StoredDataIsCopiedUnchanged) {
  for (uint8_t mode : {0, 6}) {
    const TBytes data = Corpus(0x100000 + 10);
    Sink sink;
    const TZACompressResult r = Compress(data, {ZA_METHOD_STORED, mode, ""}, sink, 5);
    ASSERT_TRUE(r.Completed);
    EXPECT_EQ(sink.All(), data);
    EXPECT_EQ(r.CompressedSize, data.size());
    EXPECT_EQ(r.Crc32, crc32(0, data.data(), uInt(data.size())));
  }
}

TEST(ZACompressMember, EmptySourceWritesNothing) {
  Sink sink;
  const TZACompressResult r = Compress({}, {ZA_METHOD_STORED, 1, ""}, sink);
  EXPECT_TRUE(r.Completed);
  EXPECT_EQ(r.Crc32, 0u);
  EXPECT_EQ(r.CompressedSize, 0u);
  EXPECT_TRUE(sink.All().empty());
}

TBytes Decrypted(TBytes data, const AnsiString& password) {
  TZAKeys keys;
  ZAInitKeys(password, keys);
  Decrypt(data.data(), data.size(), keys);
  return data;
}

TEST(ZACompressMember, EncryptedMemberHasHeaderWithCrcThenItsData) {
  for (uint16_t method : {ZA_METHOD_STORED, ZA_METHOD_DEFLATE}) {
    SCOPED_TRACE(method);
    const TBytes data = Corpus(0x80000 * 2 + 3);  // three blocks at mode 1
    Sink plain;
    const TZACompressResult p = Compress(data, {method, 1, ""}, plain);
    Sink sink;
    // The source sits behind other bytes; the CRC pass must rewind to it.
    const TZACompressResult r = Compress(data, {method, 1, "secret"}, sink, 100);
    ASSERT_TRUE(r.Completed);
    EXPECT_EQ(r.Crc32, p.Crc32);
    EXPECT_EQ(r.CompressedSize, p.CompressedSize + ZA_ENCRYPTION_HEADER_SIZE);
    ASSERT_EQ(sink.Blocks[0].size(), size_t(ZA_ENCRYPTION_HEADER_SIZE));

    const TBytes clear = Decrypted(sink.All(), "secret");
    EXPECT_EQ(clear[10], uint8_t(r.Crc32 >> 16));
    EXPECT_EQ(clear[11], uint8_t(r.Crc32 >> 24));
    const TBytes body(clear.begin() + ZA_ENCRYPTION_HEADER_SIZE, clear.end());
    EXPECT_EQ(method == ZA_METHOD_DEFLATE ? RawInflate(body) : body, data);
  }
}

TEST(ZACompressMember, SourceEndingEarlyRaisesError34) {
  const TBytes data = Corpus(0x80000 + 100);
  TMemoryStream source;
  source.WriteBuffer(data.data(), int32_t(data.size()));
  for (uint16_t method : {ZA_METHOD_STORED, ZA_METHOD_DEFLATE}) {
    Sink sink;
    sink.Blocks.emplace_back();
    try {
      ZACompressMember(&source, 0, int64_t(data.size()) + 1, {method, 1, ""}, sink.Make());
      ADD_FAILURE();
    } catch (const EZAException& e) {
      EXPECT_EQ(e.Message(),
                "Invalid compressed size, rfs.size = 524389, count = 524288"
                " - Native error: 00034");
    }
  }
}

TEST(ZACompressMember, CancelOrFailedWriteStopsWithoutException) {
  const TBytes data = Corpus(0x80000 * 3);
  struct Case {
    int cancelAt, failWriteAt;
    uint64_t consumed;
  };
  for (const Case& c : {Case{0, -1, 0}, Case{2, -1, 0x100000}, Case{-1, 1, 0x80000}}) {
    Sink sink;
    sink.CancelAt = c.cancelAt;
    sink.FailWriteAt = c.failWriteAt;
    const TZACompressResult r = Compress(data, {ZA_METHOD_DEFLATE, 1, ""}, sink);
    EXPECT_FALSE(r.Completed);
    EXPECT_EQ(r.Consumed, c.consumed);
  }
}

}  // namespace
