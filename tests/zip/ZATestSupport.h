// Helpers of the archiver tests: streams that fail on purpose, a scratch
// folder, and reading an archive's records back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <functional>
#include <string>

#include "rtl/Streams.h"
#include "rtl/SysUtils.h"
#include "zip/ZAArchiver.h"
#include "zip/ZAErrors.h"
#include "zip/ZAFormat.h"

inline AnsiString Content(TStream* stream) {
  AnsiString bytes(size_t(stream->Size()), '\0');
  stream->SetPosition(0);
  if (!bytes.empty()) stream->ReadBuffer(bytes.data(), int32_t(bytes.size()));
  return bytes;
}

inline AnsiString FileContent(const AnsiString& name) {
  TFileStream file(name, fmOpenRead | fmShareDenyNone);
  return Content(&file);
}

inline void WriteFile(const AnsiString& name, const AnsiString& bytes) {
  TFileStream file(name, fmCreate);
  file.WriteBuffer(bytes.data(), int32_t(bytes.size()));
}

inline uint32_t At32(const AnsiString& bytes, size_t at) {
  return ZAGet32(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}
inline uint16_t At16(const AnsiString& bytes, size_t at) {
  return ZAGet16(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}

// Calls action and checks that it raises the archive error number.
inline void ExpectZAError(int32_t number, const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no error " << number;
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError, number) << e.Message();
  }
}

// A memory stream whose writes fail while Failing is above 0 (each failed
// write counts it down), once FailAfter more writes have gone through.
class TFailingStream : public TMemoryStream {
 public:
  int32_t FailAfter = -1;
  int32_t Failing = 0;
  int32_t Write(const void* buffer, int32_t count) override {
    if (FailAfter == 0 && Failing > 0) {
      --Failing;
      return 0;
    }
    if (FailAfter > 0) --FailAfter;
    return TMemoryStream::Write(buffer, count);
  }
};

// A stream whose bytes a descendant makes up; it keeps position and size.
class TMadeUpStream : public TStream {
 public:
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    FPosition = origin == soBeginning ? offset
                : origin == soCurrent ? FPosition + offset
                                      : FSize + offset;
    return FPosition;
  }
  int64_t Size() override { return FSize; }

 protected:
  explicit TMadeUpStream(int64_t size) : FSize(size) {}
  int64_t FSize, FPosition = 0;
};

// A source that claims Size bytes but runs dry after Available of them.
class TShortSource : public TMadeUpStream {
 public:
  TShortSource(int64_t size, int64_t available) : TMadeUpStream(size), FAvailable(available) {}
  int32_t Read(void* buffer, int32_t count) override {
    const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, FAvailable - FPosition));
    std::memset(buffer, 'x', size_t(n));
    FPosition += n;
    return int32_t(n);
  }
  int32_t Write(const void*, int32_t) override { return 0; }

 private:
  int64_t FAvailable;
};

// A fresh folder, removed with everything in it.
class TScratchDir {
 public:
  TScratchDir() {
    // Test processes run in parallel: a random name keeps their folders apart.
    std::random_device random;
    do {
      Path = GetTempDir() + "zatest_" + IntToHex(random(), 8) + IntToHex(random(), 8) + PathDelim;
    } while (DirectoryExists(Path));
    ForceDirectories(Path);
  }
  ~TScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(Path), ignored);
  }
  AnsiString operator/(const AnsiString& name) const { return Path + name; }
  // Names of the files in the folder.
  std::vector<AnsiString> Files() const {
    std::vector<AnsiString> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(Path)))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  AnsiString Path;
};

const TDateTime ZA_TEST_DATE = EncodeDate(2024, 5, 17) + EncodeTime(10, 20, 30, 0);

// Builds an archive in memory from (name, data) pairs.
inline AnsiString MakeArchive(const std::vector<std::pair<AnsiString, AnsiString>>& members,
                              const std::function<void(TZipArchiver&)>& setUp = nullptr) {
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  if (setUp) setUp(zip);
  zip.OpenArchive(&stream, true);
  zip.BeginUpdate();
  for (const auto& [name, data] : members) zip.AddFromString(name, data, ZA_TEST_DATE);
  zip.EndUpdate();
  zip.CloseArchive();
  return Content(&stream);
}

// Split archives whose volume edges fall on chosen records. Members are
// stored, named "m0", "m1", ... (local header 32 bytes, central record 48),
// and every volume holds 65536 bytes.
struct TSplitCase {
  const char* What;
  std::vector<int32_t> Sizes;  // member data sizes
  int32_t Volumes;
  // Signature that opens a volume (0: member data goes on across the edge).
  std::vector<uint32_t> Starts;
  bool Joinable = true;  // zip -s 0 takes it
};

inline const std::vector<TSplitCase>& SplitCases() {
  static const std::vector<TSplitCase> cases = {
      {"edge on a local header", {65536 - 32 - 10, 10}, 2, {0x04034B50, 0x04034B50}},
      {"edge on the first central record", {65536 - 32 - 20}, 2, {0x04034B50, 0x02014B50}},
      {"edge inside the directory", {65536 - 32 - 33 - 48 - 30, 1}, 2, {0x04034B50, 0x02014B50}},
      // The end records would fit no more; the last central record goes
      // with them.
      {"edge before the end group", {65536 - 32 - 48 - 10}, 2, {0x04034B50, 0x02014B50}},
      {"member data across an edge", {100000, 5}, 2, {0x04034B50, 0}},
      // zip -s 0 cannot join a member over three volumes, not even its own.
      {"member data across two edges", {150000, 5}, 3, {0x04034B50, 0, 0}, false},
  };
  return cases;
}

// Writes the case into fileName (volumes beside it, ".Z01" naming).
inline void WriteSplit(const AnsiString& fileName, const TSplitCase& c) {
  TZipArchiver zip(nullptr);
  zip.FileName = fileName;
  zip.SetCompressionLevel(clNone);
  zip.SetSpanningMode(smSplitting);
  zip.SpanningOptions()->AdvancedNaming = false;
  zip.SpanningOptions()->VolumeSize = vsCustom;
  zip.SpanningOptions()->SetCustomVolumeSize(65536);
  zip.OpenArchive();
  zip.BeginUpdate();
  for (size_t i = 0; i < c.Sizes.size(); ++i)
    zip.AddFromString("m" + IntToStr(int64_t(i)), AnsiString(size_t(c.Sizes[i]), char('a' + i)),
                      ZA_TEST_DATE);
  zip.EndUpdate();
  zip.CloseArchive();
}

#ifndef _WIN32
#include "tests/support/HostTools.h"
#endif
