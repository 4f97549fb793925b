// Opening an existing archive: its end records and central directory, or,
// when those are missing or unreadable, a directory rebuilt from the local
// headers. A malformed archive gives a numbered archive error.
#pragma once

#include <cstdint>

#include "zip/ZADirManager.h"
#include "zip/ZAFormat.h"
#include "zip/ZAVolumes.h"

class TZABaseArchiver;

class TZAReader {
 public:
  explicit TZAReader(TZABaseArchiver& archiver);
  // Fills the archiver's directory manager from its stream (the last
  // volume of a multi-volume archive).
  void ReadDirectory();

 private:
  // Position of the Zip64 end record when the archive has one, else -1.
  int64_t ReadZip64(const TZAFoundEnd& found);
  void ReadEntries(uint64_t count, int64_t position, uint64_t size, uint32_t lastDisk);
  void FindDataStart(int64_t endPosition);
  void NoUsableEnd();
  void RebuildByScanning();
  // Position of the next signature at or after from, or -1.
  int64_t FindSignature(int64_t from, uint32_t signature, int32_t window);
  AnsiString ReadText(uint16_t length);
  TStream* Stream() const { return FVolumes.Stream(); }

  TZABaseArchiver& A;
  TZADirManager& FDir;
  TZAVolumes& FVolumes;
  TZAFormatSettings FSettings;
  TZASignatures FSignatures;
};
