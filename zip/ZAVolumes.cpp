#include "zip/ZAVolumes.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "rtl/SysUtils.h"
#include "zip/ZADrive.h"
#include "zip/ZAErrors.h"

void TZASpanningOptions::SetCustomVolumeSize(int64_t value) {
  FCustomVolumeSize = std::max(value, ZA_MIN_VOLUME_SIZE);
}

void TZASpanningOptions::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TZASpanningOptions*>(source)) {
    AdvancedNaming = other->AdvancedNaming;
    FirstVolumeSize = other->FirstVolumeSize;
    VolumeSize = other->VolumeSize;
    FCustomVolumeSize = other->FCustomVolumeSize;
    return;
  }
  TPersistent::Assign(source);
}

int64_t ZAVolumeSizeLimit(const TZASpanningOptions& options, int32_t volume) {
  if (volume == 0 && options.FirstVolumeSize > 0) return options.FirstVolumeSize;
  switch (options.VolumeSize) {
    case vsAutoDetect:
      return 0;
    case vsCustom:
      return std::max(options.CustomVolumeSize(), ZA_MIN_VOLUME_SIZE);
    case vs1_44MB:
      return 1457664;
    case vs100MB:
      return 104857600;
    case vs200MB:
      return 209715200;
    case vs250MB:
      return 262144000;
    case vs600MB:
      return 629145600;
    case vs650MB:
      return 681574400;
    case vs700MB:
      return 734003200;
    case vs4700MB:
      return 4928307200;
  }
  return 0;
}

namespace {

AnsiString Digits(const char* format, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

bool ZAIsExeName(const AnsiString& fileName) {
  return LowerCase(ExtractFileExt(fileName)).find(".exe") != AnsiString::npos;
}

AnsiString ZAVolumeFileName(const TZAVolumeNaming& naming, int32_t volume, bool last) {
  if (last && !naming.HasStub) return naming.FileName;
  AnsiString dir = ExtractFilePath(naming.FileName);
  AnsiString ext = ExtractFileExt(naming.FileName);
  AnsiString base = ExtractFileName(naming.FileName);
  base.resize(base.size() - ext.size());
  AnsiString numbered = dir + base + "_" + Digits("%.3u", volume + 1);
  if (naming.Mode == smSpanning) {
    if (naming.HasStub) ext = ".exe";
    return naming.AdvancedNaming ? numbered + ext : dir + base + ext;
  }
  if (naming.HasStub && volume == 0) return dir + base + ".exe";
  if (naming.HasStub && last) return dir + base + (naming.StandardSignatures ? ".ZIP" : ".ZA");
  if (naming.AdvancedNaming) return numbered + ext;
  return dir + base + (naming.StandardSignatures ? ".Z" : ".F") + Digits("%.2d", volume + 1);
}

AnsiString ZAOtherVolumeFileName(TZAVolumeNaming naming, int32_t volume, bool last) {
  naming.AdvancedNaming = !naming.AdvancedNaming;
  return ZAVolumeFileName(naming, volume, last);
}

TZAVolumes::TZAVolumes(TStream* stream, bool ownsStream)
    : FStream(stream), FOwnsStream(ownsStream) {}

TZAVolumes::TZAVolumes(TZAVolumeHost* host, const TZAVolumeNaming& naming,
                       const TZASpanningOptions& options)
    : FHost(host), FNaming(naming) {
  FOptions.Assign(const_cast<TZASpanningOptions*>(&options));
}

TZAVolumes::~TZAVolumes() { CloseStream(); }

void TZAVolumes::CloseStream() {
  if (FOwnsStream) delete FStream;
  FStream = nullptr;
}

void TZAVolumes::SetStream(TStream* stream) {
  CloseStream();
  FStream = stream;
  FOwnsStream = true;
  FHost->VolumeChanged(stream);
}

void TZAVolumes::CreateFirst() {
  FNumbers.SetFirst();
  OpenForWriting();
}

void TZAVolumes::OpenForWriting() {
  CloseStream();
  const int32_t disk = Number() + 1;
  const int64_t limit = ZAVolumeSizeLimit(FOptions, Number());
  for (;;) {
    const AnsiString& name = FNaming.FileName;
    if (Mode() == smSpanning && !FHost->RequestBlankVolume(disk, name)) throw EZAException(45);
    int64_t free = ZADrive().FreeSpace(name);
    if (free < 0 ||
        (free > ZA_MIN_VOLUME_SIZE && (limit == 0 || Mode() != smSpanning || free >= limit)))
      break;
    if (FHost->DiskFull(disk, name, std::max(limit, ZA_MIN_VOLUME_SIZE), free))
      throw EZAException(45);
  }
  SetStream(new TFileStream(FNaming.FileName, fmCreate));
  if (Mode() == smSpanning)
    ZADrive().SetVolumeLabel(FNaming.FileName, "pkback# " + Digits("%.3d", disk));
}

int64_t TZAVolumes::Room() const {
  int64_t free = ZADrive().FreeSpace(FNaming.FileName);
  if (free < 0) free = std::numeric_limits<int64_t>::max();
  int64_t limit = ZAVolumeSizeLimit(FOptions, Number());
  if (limit > 0) free = std::min(free, limit - FStream->Position());
  return free;
}

void TZAVolumes::NextVolume() {
  if (Mode() == smSpanning)
    if (auto* file = dynamic_cast<TFileStream*>(FStream)) ZADrive().FlushFile(file->Handle());
  CloseStream();
  AnsiString numbered = ZAVolumeFileName(FNaming, Number(), false);
  if (numbered != FNaming.FileName) {
    DeleteFile(numbered);
    if (!RenameFile(FNaming.FileName, numbered)) throw EZAException(19, {numbered});
  }
  FNumbers.SetNumber(FNumbers.Current + 1);
  OpenForWriting();
}

void TZAVolumes::Reserve(int64_t size) {
  if (MultiVolume() && FStream->Position() > 0 && Room() < size) NextVolume();
}

int32_t TZAVolumes::Write(const void* data, int32_t count, bool whole) {
  if (!MultiVolume()) return FStream->Write(data, count);
  auto* bytes = static_cast<const uint8_t*>(data);
  int32_t written = 0;
  while (written < count) {
    int64_t room = Room();
    if (room < 0) break;
    int32_t left = count - written;
    if (whole && room < left) {
      // A record that must stay whole and does not fit even a fresh volume.
      if (FStream->Position() == 0) break;
    } else {
      int32_t piece = int32_t(std::min<int64_t>(room, left));
      int32_t done = FStream->Write(bytes + written, piece);
      written += done;
      if (done < piece) break;
      if (written == count) break;
    }
    NextVolume();
  }
  return written;
}

void TZAVolumes::WriteRecord(const TBytes& bytes) {
  int32_t count = int32_t(bytes.size());
  if (Write(bytes.data(), count, true) != count) throw EZAException(46);
}

void TZAVolumes::Finish() {
  if (!MultiVolume() || FNumbers.IsFirst()) return;
  AnsiString last = ZAVolumeFileName(FNaming, Number(), true);
  if (last == FNaming.FileName) return;
  CloseStream();
  DeleteFile(last);
  if (!RenameFile(FNaming.FileName, last)) throw EZAException(19, {last});
}

void TZAVolumes::Rewind(int64_t position) {
  if (MultiVolume() && !FNumbers.IsFirst()) {
    CloseStream();
    DeleteFile(FNaming.FileName);
    for (int32_t i = Number() - 1; i > 0; --i) DeleteFile(ZAVolumeFileName(FNaming, i, false));
    AnsiString first = ZAVolumeFileName(FNaming, 0, false);
    if (first != FNaming.FileName && !RenameFile(first, FNaming.FileName))
      throw EZAException(19, {FNaming.FileName});
    FNumbers.SetFirst();
    SetStream(new TFileStream(FNaming.FileName, fmOpenReadWrite | fmShareDenyWrite));
  }
  FStream->SetPosition(position);
  FStream->SetSize(position);
}

void TZAVolumes::OpenExisting(int32_t volume, int32_t last) {
  auto nameOf = [&] {
    AnsiString name = ZAVolumeFileName(FNaming, volume, volume == last);
    if (FileExists(name)) return name;
    AnsiString other = ZAOtherVolumeFileName(FNaming, volume, volume == last);
    return FileExists(other) ? other : name;
  };
  AnsiString name = nameOf();
  while (!FileExists(name)) {
    auto which = volume == 0      ? TZAVolumeHost::rqFirst
                 : volume == last ? TZAVolumeHost::rqLast
                                  : TZAVolumeHost::rqMiddle;
    if (!FHost->RequestVolume(which, volume + 1, name)) throw EZAException(45);
    name = nameOf();
  }
  SetStream(new TFileStream(name, fmOpenRead | fmShareDenyNone));
  FNumbers.Last = uint32_t(last);
  FNumbers.SetNumber(uint32_t(volume));
}
