// Compression speed and ratio of the archive library beside raw zlib, Info-ZIP
// zip and python's zipfile, on the files of one folder, at levels 1, 6 and 9.
//   zip_bench <corpus folder> <work folder>
// tools/zip-bench.sh makes the corpus and runs it.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "rtl/SysUtils.h"
#include "zip/ZAArchiver.h"

namespace fs = std::filesystem;

namespace {

struct TResult {
  double MBps = 0;
  double Ratio = 0;  // compressed size / original size
};

// Best of a few runs: the machine's other work only ever slows a run down.
constexpr int RUNS = 3;

TResult Measure(uint64_t inputSize, const std::function<uint64_t()>& run) {
  double best = 1e30;
  uint64_t packed = 0;
  for (int i = 0; i < RUNS; ++i) {
    const auto start = std::chrono::steady_clock::now();
    packed = run();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return {double(inputSize) / 1e6 / best, double(packed) / double(inputSize)};
}

uint64_t Library(const std::vector<fs::path>& files, const fs::path& archive, int level) {
  fs::remove(archive);
  TZipArchiver zip(nullptr);
  zip.FileName = archive.string();
  zip.SetCompressionMode(uint8_t(level));
  zip.OpenArchive();
  zip.BeginUpdate();
  for (const fs::path& file : files)
    zip.AddFromStream(file.filename().string(),
                      new TFileStream(file.string(), fmOpenRead | fmShareDenyWrite), Now(),
                      ZA_ATTR_ARCHIVE, -1, 0, true);
  zip.EndUpdate();
  zip.CloseArchive();
  return fs::file_size(archive);
}

// zlib alone: raw deflate of each whole file and its CRC, nothing written.
uint64_t RawZlib(const std::vector<fs::path>& files, int level) {
  std::vector<uint8_t> in(1 << 20), out(1 << 20);
  uint64_t packed = 0;
  for (const fs::path& file : files) {
    std::ifstream source(file, std::ios::binary);
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    uLong crc = crc32(0, nullptr, 0);
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
      source.read(reinterpret_cast<char*>(in.data()), std::streamsize(in.size()));
      const uInt n = uInt(source.gcount());
      flush = source ? Z_NO_FLUSH : Z_FINISH;
      crc = crc32(crc, in.data(), n);
      z.next_in = in.data();
      z.avail_in = n;
      do {
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        deflate(&z, flush);
        packed += out.size() - z.avail_out;
      } while (z.avail_out == 0);
    }
    deflateEnd(&z);
  }
  return packed;
}

uint64_t Tool(const std::string& command, const fs::path& archive) {
  fs::remove(archive);
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return fs::file_size(archive);
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zip_bench <corpus folder> <work folder>\n");
    return 2;
  }
  const fs::path corpus = fs::absolute(argv[1]), work = fs::absolute(argv[2]);
  std::vector<fs::path> files;
  uint64_t total = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(corpus)) {
    files.push_back(e.path());
    total += e.file_size();
  }
  std::sort(files.begin(), files.end());
  std::printf("corpus: %zu files, %.1f MB; best of %d runs; MB/s of input, size in %% of input\n",
              files.size(), double(total) / 1e6, RUNS);
  std::printf("%-6s %-19s %-19s %-19s %-19s\n", "level", "library", "raw zlib", "Info-ZIP zip",
              "python zipfile");
  for (int level : {1, 6, 9}) {
    auto archive = [&](const char* kind) { return work / (kind + std::to_string(level) + ".zip"); };
    const TResult results[] = {
        Measure(total, [&] { return Library(files, archive("library"), level); }),
        Measure(total, [&] { return RawZlib(files, level); }),
        Measure(total,
                [&] {
                  return Tool("cd " + Quoted(corpus) + " && zip -q -X -" + std::to_string(level) +
                                  " " + Quoted(archive("zip")) + " *",
                              archive("zip"));
                }),
        Measure(total,
                [&] {
                  return Tool(
                      "python3 -c 'import os, sys, zipfile\n"
                      "with zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_DEFLATED, "
                      "compresslevel=int(sys.argv[2])) as z:\n"
                      "  for f in sorted(os.listdir(sys.argv[3])):\n"
                      "    z.write(os.path.join(sys.argv[3], f), f)' " +
                          Quoted(archive("python")) + " " + std::to_string(level) + " " +
                          Quoted(corpus),
                      archive("python"));
                }),
    };
    // The library's archive must be sound for its figures to count.
    if (std::system(("unzip -tqq " + Quoted(archive("library"))).c_str()) != 0) {
      std::fprintf(stderr, "the library's archive at level %d does not pass unzip -t\n", level);
      return 1;
    }
    std::printf("%-6d", level);
    for (const TResult& r : results) std::printf(" %7.1f MB/s %5.1f%%", r.MBps, r.Ratio * 100);
    std::printf("\n");
  }
  return 0;
}
