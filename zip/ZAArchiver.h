// The archive component: creates, opens, updates and closes ZIP archives
// held in a file (or a row of volumes), in a caller's stream or in memory.
// TZABaseArchiver is the engine; TZipArchiver is the component callers use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "rtl/Classes.h"
#include "rtl/Streams.h"
#include "rtl/Types.h"
#include "zip/ZADeflate.h"
#include "zip/ZADirManager.h"
#include "zip/ZAErrors.h"
#include "zip/ZAVolumes.h"

// The questions the default event handlers ask. A program that can ask its
// user puts its prompts here, tests their scripted answers; while a hook is
// unset the answer is no (cancel), and a message goes unseen.
struct TZAPrompts {
  std::function<bool(const AnsiString& text)> Confirm;   // yes / no
  std::function<bool(const AnsiString& text)> OkCancel;  // OK / cancel
  // An input box; true with value set when accepted.
  std::function<bool(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)> Input;
  std::function<void(const AnsiString& text)> Message;  // OK only
};
TZAPrompts& ZAPrompts();

enum TZAStorePath { spNoPath, spRelativePath, spFullPath };
enum TZAShareMode {
  smShareCompat,
  smShareExclusive,
  smShareDenyWrite,
  smShareDenyRead,
  smShareDenyNone
};

class TZAOptions : public TPersistent {
 public:
  bool Recurse = true;
  TZAStorePath StorePath = spRelativePath;
  TZAShareMode ShareMode = smShareDenyNone;
  TZAOverwriteMode OverwriteMode = omAlways;
  bool CreateDirs = true;
  bool ReplaceReadOnly = true;
  bool SetAttributes = true;
  int32_t SearchAttr = 0x28BF;
  bool FlushBuffers = true;
  bool OEMFileNames = true;
  void Assign(TPersistent* source) override;
};

enum TZAProgressPhase { ppStart, ppProcess, ppEnd };

// Progress in percent; Operation is the operation byte of the entry
// (ZA_OP_NEW, ZA_OP_REPLACE). Setting Cancel stops the running update.
using TZAOverallProgressEvent = std::function<void(
    TObject* Sender, double Progress, uint8_t Operation, TZAProgressPhase Phase, bool& Cancel)>;
using TZAFileProgressEvent =
    std::function<void(TObject* Sender, const AnsiString& FileName, double Progress,
                       uint8_t Operation, TZAProgressPhase Phase, bool& Cancel)>;
using TZACopyTempFileProgressEvent =
    std::function<void(TObject* Sender, double Progress, TZAProgressPhase Phase, bool& Cancel)>;
using TZAConfirmOverwriteEvent =
    std::function<void(TObject* Sender, const AnsiString& SourceFileName,
                       const AnsiString& DestFileName, bool& Confirm)>;
// Confirm starts True; False leaves the file alone.
using TZAConfirmProcessFileEvent = std::function<void(TObject* Sender, const AnsiString& FileName,
                                                      uint8_t Operation, bool& Confirm)>;
// NewPassword starts empty; SkipFile starts False.
using TZAPasswordEvent = std::function<void(TObject* Sender, const AnsiString& FileName,
                                            AnsiString& NewPassword, bool& SkipFile)>;
// What to do after a file failed: stop handling further files, try it
// again, or go on with the next one.
enum TZAFailureAction { fxAbort, fxRetry, fxIgnore };
// Action starts as fxIgnore.
using TZAProcessFileFailureEvent =
    std::function<void(TObject* Sender, const AnsiString& FileName, uint8_t Operation,
                       const EZAException& Error, TZAFailureAction& Action)>;
// A member's name, with "\" between folders.
using TZAFileNameEvent = std::function<void(TObject* Sender, const AnsiString& FileName)>;
// VolumeNumber counts from 1. Cancel starts True for OnDiskFull only.
using TZAVolumeEvent = std::function<void(TObject* Sender, int32_t VolumeNumber,
                                          const AnsiString& VolumeFileName, bool& Cancel)>;
using TZADiskFullEvent =
    std::function<void(TObject* Sender, int32_t VolumeNumber, const AnsiString& VolumeFileName,
                       int64_t Required, int64_t Available, bool& Cancel)>;

// File-open mode that creates the archive.
constexpr uint32_t ZA_MODE_CREATE = 0xFFFF;
// Read-write, others may not write; read-only, others may do anything.
constexpr uint32_t ZA_MODE_READ_WRITE = fmOpenReadWrite | fmShareDenyWrite;
constexpr uint32_t ZA_MODE_READ_ONLY = fmOpenRead | fmShareDenyNone;

class TZABaseArchiver : public TComponent, protected TZADirOwner, protected TZAVolumeHost {
  friend class TZAUpdatePass;
  friend class TZAReader;

 public:
  ~TZABaseArchiver() override;

  AnsiString FileName;
  AnsiString BaseDir;
  AnsiString TempDir;   // empty: the system's temporary folder
  AnsiString Password;  // non-empty: members added from now on are encrypted
  AnsiString SFXStub;
  bool ExtractCorruptedFiles = false;

  TZACompressionLevel CompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(TZACompressionLevel value);
  uint8_t CompressionMode() const { return FCompressionMode; }
  // 10 or more raises error 5.
  void SetCompressionMode(uint8_t value);
  AnsiString CurrentVersion() const { return " 2.77"; }
  TZASpanningMode SpanningMode() const { return FSpanningMode; }
  void SetSpanningMode(TZASpanningMode value);
  TZASpanningOptions* SpanningOptions() const { return FSpanningOptions.get(); }
  void SetSpanningOptions(TZASpanningOptions* value) { FSpanningOptions->Assign(value); }
  TZAOptions* Options() const { return FOptions.get(); }
  void SetOptions(TZAOptions* value) { FOptions->Assign(value); }
  TStrings* FileMasks() const { return FFileMasks.get(); }
  void SetFileMasks(TStrings* value) { FFileMasks->Assign(value); }
  TStrings* ExclusionMasks() const { return FExclusionMasks.get(); }
  void SetExclusionMasks(TStrings* value) { FExclusionMasks->Assign(value); }
  TStrings* NoCompressionMasks() const { return FNoCompressionMasks.get(); }
  void SetNoCompressionMasks(TStrings* value) { FNoCompressionMasks->Assign(value); }
  bool InMemory() const { return FInMemory; }
  void SetInMemory(bool value);

  TZAOverallProgressEvent OnOverallProgress;
  TZAFileProgressEvent OnFileProgress;
  TZACopyTempFileProgressEvent OnCopyTempFileProgress;
  TZAConfirmOverwriteEvent OnConfirmOverwrite;
  TZAConfirmProcessFileEvent OnConfirmProcessFile;
  TNotifyEvent AfterOpen;
  TZAPasswordEvent OnPassword;
  TZAProcessFileFailureEvent OnProcessFileFailure;
  TZAVolumeEvent OnRequestBlankVolume;
  TZAVolumeEvent OnRequestFirstVolume;
  TZAVolumeEvent OnRequestLastVolume;
  TZAVolumeEvent OnRequestMiddleVolume;
  TZADiskFullEvent OnDiskFull;
  TZAFileNameEvent OnStoreFile;
  TZAFileNameEvent OnExtractFile;

  // Not published: 0 off, 1 as needed, 2 always (ZA_ZIP64_*).
  uint8_t Zip64Mode() const { return FZip64Mode; }
  void SetZip64Mode(uint8_t value) { FZip64Mode = value; }
  // Not published: may a damaged archive's directory be rebuilt from its
  // local headers when it is opened.
  bool Rebuild() const { return FRebuild; }
  void SetRebuild(bool value) { FRebuild = value; }
  bool Active() const { return FActive; }
  // The open archive's directory; null while closed.
  TZADirManager* DirManager() const { return FDirManager.get(); }

  // Opens FileName, or a new archive in memory.
  void OpenArchive();
  // Opens FileName with a file-open mode (ZA_MODE_*).
  void OpenArchive(uint32_t mode);
  // Opens the archive in a caller's stream, which stays the caller's.
  void OpenArchive(TStream* stream, bool create);
  // Runs a pending update, then releases the stream and the directory; an
  // error of the update is raised after that.
  void CloseArchive();

  void BeginUpdate();
  void EndUpdate();
  void CancelUpdate();

  // Adds a member holding text.
  void AddFromString(const AnsiString& fileName, const AnsiString& text, TDateTime dateTime,
                     uint32_t attributes = ZA_ATTR_ARCHIVE);
  // Adds a member holding count bytes of stream from position (the stream's
  // own position when negative), or up to its end when count is negative.
  // With copyData the bytes are copied at once; otherwise the stream is read
  // by the update and then put back to that position (freed when owned).
  void AddFromStream(const AnsiString& fileName, TStream* stream, TDateTime dateTime,
                     uint32_t attributes = ZA_ATTR_ARCHIVE, int64_t count = -1,
                     int64_t position = -1, bool ownsStream = false, bool copyData = false);

 protected:
  explicit TZABaseArchiver(TComponent* AOwner);

  // The compression method that follows from the mode.
  virtual void SetCompressionMethod();
  // The progress, volume and disk-full operations return True when the
  // running operation is to stop.
  virtual bool DoOverallProgress(double progress, uint8_t operation, TZAProgressPhase phase);
  virtual bool DoFileProgress(const AnsiString& fileName, double progress, uint8_t operation,
                              TZAProgressPhase phase);
  virtual bool DoCopyTempFileProgress(double progress, TZAProgressPhase phase);
  // True: the member is replaced.
  virtual bool DoConfirmOverwrite(const AnsiString& sourceFileName, const AnsiString& destFileName);
  // True: the file is to be processed.
  virtual bool DoConfirmProcessFile(const AnsiString& fileName, uint8_t operation);
  // True with password set when one was given; false: skip the file.
  virtual bool DoPassword(const AnsiString& fileName, AnsiString& password);
  virtual TZAFailureAction DoProcessFileFailure(const AnsiString& fileName, uint8_t operation,
                                                const EZAException& error);
  virtual bool DoRequestBlankVolume(int32_t number, const AnsiString& fileName);
  virtual bool DoRequestFirstVolume(const AnsiString& fileName);
  virtual bool DoRequestLastVolume(int32_t number, const AnsiString& fileName);
  virtual bool DoRequestMiddleVolume(int32_t number, const AnsiString& fileName);
  virtual bool DoDiskFull(int32_t number, const AnsiString& fileName, int64_t required,
                          int64_t available);
  // Members by their stored names ("/" between folders).
  virtual void DoStoreFile(const AnsiString& fileName);
  virtual void DoExtractFile(const AnsiString& fileName);

  bool FStandardSignatures = false;
  uint16_t FCompressionMethod = 0xFFFF;
  uint8_t FZip64Mode = ZA_ZIP64_AS_NEEDED;

 private:
  // TZADirOwner
  TZANewEntrySettings NewEntrySettings() const override;
  bool ConfirmOverwrite(const TZADirItem& existing, const AnsiString& newSource) override;
  // TZAVolumeHost
  bool RequestBlankVolume(int32_t number, const AnsiString& fileName) override;
  bool DiskFull(int32_t number, const AnsiString& fileName, int64_t required,
                int64_t available) override;
  bool RequestVolume(TRequest which, int32_t number, const AnsiString& fileName) override;
  void VolumeChanged(TStream* stream) override;

  TZAFormatSettings FormatSettings() const;
  TZAVolumeNaming VolumeNaming() const;
  TStream* Stream() const { return FVolumes ? FVolumes->Stream() : nullptr; }
  // Asks what to do about a failed write; true when the write is to be
  // tried again.
  bool RetryWrite(int64_t required);
  void CreateArchive();
  void CopyStub();
  void OpenExisting(uint32_t mode);
  void CheckFileNamed(int32_t error) const;
  void Release();

  TZACompressionLevel FCompressionLevel = clFastest;
  uint8_t FCompressionMode = 1;
  TZASpanningMode FSpanningMode = smNone;
  std::unique_ptr<TZASpanningOptions> FSpanningOptions;
  std::unique_ptr<TZAOptions> FOptions;
  std::unique_ptr<TStringList> FFileMasks, FExclusionMasks, FNoCompressionMasks;
  bool FInMemory = false;

  bool FActive = false;
  bool FCallerStream = false;
  int32_t FUpdateCount = 0;
  // A multi-volume archive takes one update bracket; set once it ran.
  bool FVolumeUpdateDone = false;
  uint32_t FOpenMode = 0;
  bool FCancel = false;
  bool FRebuild = true;
  int64_t FBytesToProcess = 0;
  int64_t FBytesProcessed = 0;
  std::unique_ptr<TZAVolumes> FVolumes;
  std::unique_ptr<TZADirManager> FDirManager;
};

class TZipArchiver final : public TZABaseArchiver {
 public:
  explicit TZipArchiver(TComponent* AOwner);

 protected:
  void SetCompressionMethod() override;
};
