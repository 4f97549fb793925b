// The update pass: rewrites an open archive once with the changes collected
// in its entry array since the update bracket opened, and puts the archive
// back as it was when anything fails or is cancelled.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "rtl/Streams.h"
#include "zip/ZADirManager.h"
#include "zip/ZAFormat.h"
#include "zip/ZAVolumes.h"

class TZABaseArchiver;

// Writes the central directory of dir's current entries and the end records
// at the output's position. No record is split across volumes; the end
// records go whole onto the last volume.
void ZAWriteCentralDirectory(TZADirManager& dir, TZAVolumes& out,
                             const TZAFormatSettings& settings);

// A temporary file of the update pass ("FC" prefix), deleted with it.
class TZATempFile {
 public:
  // A new file in dir, or in the system's temporary folder when dir is
  // empty; error 19 when every name is taken or the folder refuses.
  explicit TZATempFile(const AnsiString& dir);
  ~TZATempFile();
  TZATempFile(const TZATempFile&) = delete;
  TZATempFile& operator=(const TZATempFile&) = delete;
  TStream* Stream() const { return FStream.get(); }
  const AnsiString& FileName() const { return FFileName; }

 private:
  AnsiString FFileName;
  std::unique_ptr<TStream> FStream;
};

class TZAUpdatePass {
 public:
  explicit TZAUpdatePass(TZABaseArchiver& archiver);
  ~TZAUpdatePass();
  // Raises the error that stopped the pass, or EAbort when it was
  // cancelled, after putting the archive back.
  void Run();

 private:
  int32_t FirstChanged();
  int64_t RestartPosition(int32_t first);
  void SaveTail(int32_t first);
  void WriteEntries(int32_t first);
  void CopyBack(TZADirItem& item);
  // A member's source: its stream, else its file opened for reading, or
  // nothing for a folder.
  void OpenSource(TZADirItem& item);
  void WriteNew(TZADirItem& item);
  void CopyThroughVolumes(TZADirItem& item, TStream* member, int32_t headerSize);
  // Copies count bytes from source's position to the output; false when a
  // progress event cancelled.
  bool CopyOut(TStream* source, int64_t count, bool reportProgress);
  void Restore();
  void ReleaseSources();
  // Once the archive is complete, the sources of the members moved into it
  // go, folders after the files in them. A failure is reported and the
  // next one is tried.
  void DeleteMovedSources();
  // Runs action until it succeeds or the failure operation lets it be;
  // false when that asks to stop altogether.
  bool Attempt(const AnsiString& name, int32_t error, const std::function<bool()>& action);

  TZABaseArchiver& A;
  TZADirManager& FDir;
  TZAVolumes& FOut;
  TZAFormatSettings FSettings;
  int64_t FRestart = 0;
  // The old archive from the restart position on: a temporary file when
  // members are to be moved, else (only the old directory) memory.
  std::unique_ptr<TZATempFile> FTailFile;
  std::unique_ptr<TMemoryStream> FTailMemory;
  TStream* FTail = nullptr;
};
