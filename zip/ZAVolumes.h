// Where an archive's bytes go: one stream, or a row of volumes (numbered
// files in one folder, or files on a row of removable disks), with the
// volume sizes, the volume file names and the writer that moves on to the
// next volume when one is full.
#pragma once

#include <cstdint>
#include <memory>

#include "rtl/Classes.h"
#include "rtl/Streams.h"
#include "rtl/Types.h"

enum TZASpanningMode { smNone, smSpanning, smSplitting };

enum TZAVolumeSize {
  vsAutoDetect,
  vsCustom,
  vs1_44MB,
  vs100MB,
  vs200MB,
  vs250MB,
  vs600MB,
  vs650MB,
  vs700MB,
  vs4700MB
};

constexpr int64_t ZA_MIN_VOLUME_SIZE = 65536;

class TZASpanningOptions : public TPersistent {
 public:
  bool AdvancedNaming = true;
  int64_t FirstVolumeSize = 0;
  TZAVolumeSize VolumeSize = vsAutoDetect;

  int64_t CustomVolumeSize() const { return FCustomVolumeSize; }
  // Never below ZA_MIN_VOLUME_SIZE.
  void SetCustomVolumeSize(int64_t value);
  void Assign(TPersistent* source) override;

 private:
  int64_t FCustomVolumeSize = 0;
};

// Bytes a volume may hold; 0 when the free space of the disk decides.
int64_t ZAVolumeSizeLimit(const TZASpanningOptions& options, int32_t volume);

// What names the volumes of an archive.
struct TZAVolumeNaming {
  AnsiString FileName;  // the archive's FileName
  TZASpanningMode Mode = smNone;
  bool AdvancedNaming = true;
  bool HasStub = false;
  bool StandardSignatures = true;
};

// File name of volume number (0-based); last: the volume is the archive's
// last one.
AnsiString ZAVolumeFileName(const TZAVolumeNaming& naming, int32_t volume, bool last);
// The same with the other AdvancedNaming form.
AnsiString ZAOtherVolumeFileName(TZAVolumeNaming naming, int32_t volume, bool last);
// An archive has a stub when its name's extension contains ".exe".
bool ZAIsExeName(const AnsiString& fileName);

// The current and the last volume number.
class TZAVolumeNumberInfo {
 public:
  static constexpr uint32_t Unknown = 0xFFFFFFFF;
  int32_t State = 0;  // 0 none, 1 last volume known, 2 numbered
  uint32_t Current = 0;
  uint32_t Last = Unknown;

  bool IsFirst() const { return Current == 0; }
  void SetFirst() {
    Current = 0;
    State = 0;
  }
  void SetNumber(uint32_t number) {
    State = 2;
    Current = number;
  }
};

// What the volumes ask of the archiver that owns them.
class TZAVolumeHost {
 public:
  virtual ~TZAVolumeHost() = default;
  // A blank disk for the 1-based disk number; false cancels.
  virtual bool RequestBlankVolume(int32_t number, const AnsiString& fileName) = 0;
  // Too little room on the disk for the volume; true cancels.
  virtual bool DiskFull(int32_t number, const AnsiString& fileName, int64_t required,
                        int64_t available) = 0;
  enum TRequest { rqFirst, rqMiddle, rqLast };
  // The disk of an existing volume (number 1-based); false cancels.
  virtual bool RequestVolume(TRequest which, int32_t number, const AnsiString& fileName) = 0;
  // The current stream is now this one.
  virtual void VolumeChanged(TStream* stream) = 0;
};

class TZAVolumes {
 public:
  // One stream and no volumes; it is freed here when owned.
  TZAVolumes(TStream* stream, bool ownsStream);
  // The volumes of a multi-volume archive; no volume is open yet.
  TZAVolumes(TZAVolumeHost* host, const TZAVolumeNaming& naming, const TZASpanningOptions& options);
  ~TZAVolumes();
  TZAVolumes(const TZAVolumes&) = delete;
  TZAVolumes& operator=(const TZAVolumes&) = delete;

  bool MultiVolume() const { return FHost != nullptr; }
  TZASpanningMode Mode() const { return FNaming.Mode; }
  TStream* Stream() const { return FStream; }
  // The current volume, 0 for the first.
  int32_t Number() const { return int32_t(FNumbers.Current); }
  int64_t Position() const { return FStream->Position(); }

  // Writing. Every volume is written under the archive's FileName and gets
  // its own name when the next one starts.
  void CreateFirst();
  // Moves to the next volume unless the current one has room for size
  // bytes, so that a record that must not be split lands whole.
  void Reserve(int64_t size);
  // Writes count bytes, across volumes unless whole; returns the bytes
  // written.
  int32_t Write(const void* data, int32_t count, bool whole = false);
  // Writes a record whole; a short write raises error 46.
  void WriteRecord(const TBytes& bytes);
  // Gives the last volume its name once the archive is complete.
  void Finish();
  // Back to the first volume, cut at position; later volumes are deleted.
  void Rewind(int64_t position);

  // Reading: opens an existing volume (0-based) of an archive whose last
  // volume is last.
  void OpenExisting(int32_t volume, int32_t last);

 private:
  int64_t Room() const;
  void NextVolume();
  void OpenForWriting();
  void SetStream(TStream* stream);
  void CloseStream();

  TZAVolumeHost* FHost = nullptr;
  TZAVolumeNaming FNaming;
  TZASpanningOptions FOptions;
  TStream* FStream = nullptr;
  bool FOwnsStream = true;
  TZAVolumeNumberInfo FNumbers;
};
