// Opening an existing archive: its end records and central directory, or,
// when those are missing or unreadable, a directory rebuilt from the local
// headers. A malformed archive gives a numbered archive error.
#pragma once

#include <cstdint>

#include "zip/ZADirManager.h"
#include "zip/ZAFormat.h"
#include "zip/ZAVolumes.h"

class TZABaseArchiver;

// Finds a signature forward through a stream. Searches that move forward
// read every byte once: a start at or before the last hit (and after the
// last start) gives that hit again without reading.
class TZASignatureScanner {
 public:
  TZASignatureScanner(TStream* stream, uint32_t signature, int32_t window);
  // Position of the next signature at or after from, or -1.
  int64_t Find(int64_t from);

 private:
  int64_t Scan(int64_t from);
  TStream* FStream;
  uint32_t FSignature;
  TBytes FBuffer;
  int64_t FBufferStart = 0;
  int32_t FBufferLength = 0;
  int64_t FLastFrom = -1;
  int64_t FLastHit = -1;
};

class TZAReader {
 public:
  explicit TZAReader(TZABaseArchiver& archiver);
  // Fills the archiver's directory manager from its stream (the last
  // volume of a multi-volume archive).
  void ReadDirectory();

 private:
  // Position of the Zip64 end record when the archive has one, else -1.
  int64_t ReadZip64(const TZAFoundEnd& found);
  // count records, or with walk the records up to the directory's size.
  void ReadEntries(uint64_t count, bool walk, int64_t position, uint64_t size, uint32_t lastDisk);
  void FindDataStart(int64_t endPosition);
  // Entries sharing bytes of the archive raise error 57.
  void CheckOverlaps();
  void NoUsableEnd();
  void RebuildByScanning();
  AnsiString ReadText(uint16_t length);
  TStream* Stream() const { return FVolumes.Stream(); }

  TZABaseArchiver& A;
  TZADirManager& FDir;
  TZAVolumes& FVolumes;
  TZAFormatSettings FSettings;
  TZASignatures FSignatures;
};
