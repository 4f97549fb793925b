#include "zip/ZAReader.h"

#include <algorithm>

#include "rtl/SysUtils.h"
#include "zip/ZAArchiver.h"
#include "zip/ZAErrors.h"

namespace {

constexpr int32_t DATA_START_WINDOW = 10000;
constexpr int32_t SCAN_WINDOW = 65535;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

}  // namespace

TZASignatureScanner::TZASignatureScanner(TStream* stream, uint32_t signature, int32_t window)
    : FStream(stream), FSignature(signature), FBuffer(window) {}

int64_t TZASignatureScanner::Find(int64_t from) {
  // Nothing lies between the last search's start and its hit (or the end).
  if (FLastFrom >= 0 && from >= FLastFrom && (FLastHit < 0 || from <= FLastHit)) return FLastHit;
  FLastFrom = from;
  FLastHit = Scan(from);
  return FLastHit;
}

int64_t TZASignatureScanner::Scan(int64_t from) {
  const int64_t size = FStream->Size();
  while (from + 4 <= size) {
    if (from < FBufferStart || from + 4 > FBufferStart + FBufferLength) {
      FStream->SetPosition(from);
      FBufferStart = from;
      FBufferLength = FStream->Read(FBuffer.data(), int32_t(FBuffer.size()));
      if (FBufferLength < 4) return -1;
    }
    for (int64_t i = from - FBufferStart; i + 4 <= FBufferLength; ++i)
      if (ZAGet32(&FBuffer[size_t(i)]) == FSignature) return FBufferStart + i;
    // Overlap, so that a signature across the boundary is found.
    from = FBufferStart + FBufferLength - 3;
  }
  return -1;
}

TZAReader::TZAReader(TZABaseArchiver& archiver)
    : A(archiver),
      FDir(*archiver.FDirManager),
      FVolumes(*archiver.FVolumes),
      FSettings(archiver.FormatSettings()),
      FSignatures(ZASignatures(archiver.FStandardSignatures)) {}

void TZAReader::ReadDirectory() {
  FDir.Items.Clear();
  FDir.EndRecord = TZAEndRecord();
  FDir.ArchiveComment.clear();
  FDir.IsZip64 = false;
  FDir.DataStart = 0;

  TZAFoundEnd found;
  if (!ZAFindEndRecord(Stream(), FSignatures.End, found) &&
      !(FSignatures.End != ZA_END_SIGNATURE &&
        ZAFindEndRecord(Stream(), ZA_END_SIGNATURE, found))) {
    if (!A.FRebuild) throw EZAException(48);
    NoUsableEnd();
    return;
  }
  FDir.EndRecord = found.Record;
  FDir.ArchiveComment = found.Comment;
  const int64_t zip64At = ReadZip64(found);
  const TZAEndRecord& end = found.Record;

  const TZAZip64EndRecord& z = FDir.Zip64EndRecord;
  const bool zip64 = FDir.IsZip64;
  // Without Zip64 records, 65,535 entries or more leave the count at 0xFFFF:
  // the directory is then read up to its recorded size.
  const bool walk = !zip64 && end.TotalEntries == ZA_ZIP64_VALUE16;
  const uint64_t count = zip64 ? z.TotalEntries : end.TotalEntries;
  const uint64_t size = zip64 ? z.DirectorySize : end.DirectorySize;
  const uint32_t firstDisk =
      end.StartDisk == ZA_ZIP64_VALUE16 && zip64 ? z.StartDisk : end.StartDisk;
  const uint32_t lastDisk = end.DiskNumber == ZA_ZIP64_VALUE16 && zip64
                                ? FDir.Zip64Locator.TotalDisks - 1
                                : end.DiskNumber;
  // Measured back from the end records, so that bytes in front of the
  // archive do not disturb reading; across volumes the recorded offset.
  const int64_t endPosition = zip64 ? zip64At : found.Position;
  int64_t position = FVolumes.MultiVolume()
                         ? int64_t(zip64 ? z.DirectoryOffset : end.DirectoryOffset)
                         : endPosition - int64_t(std::min<uint64_t>(size, INT64_MAX / 2));
  try {
    if (FVolumes.MultiVolume()) {
      // Volume numbers count on from these; they must stay in range.
      if (firstDisk > lastDisk || lastDisk >= uint32_t(INT32_MAX)) throw EZAException(48);
      FVolumes.OpenExisting(int32_t(firstDisk), int32_t(lastDisk));
    }
    ReadEntries(count, walk, position, size, lastDisk);
  } catch (const Exception& e) {
    if (!A.FRebuild) {
      if (dynamic_cast<const EZAException*>(&e)) throw;
      throw EZAException(48);
    }
    NoUsableEnd();
    return;
  }
  FDir.DirectoryOffset = position;
  if (FVolumes.MultiVolume()) return;

  if (!A.FRebuild) {
    uint64_t total = 0;
    for (int32_t i = 0; i < FDir.Items.Count(); ++i) total += FDir.Items.Items(i).CompressedSize();
    if (total > uint64_t(Stream()->Size())) throw EZAException(57);
  }
  FindDataStart(endPosition);
  CheckOverlaps();
}

int64_t TZAReader::ReadZip64(const TZAFoundEnd& found) {
  if (found.Position < TZAZip64Locator::Size + 1) return -1;
  uint8_t bytes[TZAZip64EndRecord::Size];
  const int64_t locatorAt = found.Position - TZAZip64Locator::Size;
  Stream()->SetPosition(locatorAt);
  if (Stream()->Read(bytes, TZAZip64Locator::Size) != TZAZip64Locator::Size ||
      ZAGet32(bytes) != ZA_ZIP64_LOCATOR_SIGNATURE)
    return -1;
  FDir.IsZip64 = true;
  FDir.Zip64Locator.Load(bytes);
  // Where the locator says, or, for an archive with bytes put in front of
  // it afterwards, right before the locator.
  for (int64_t at :
       {int64_t(FDir.Zip64Locator.EndRecordOffset), locatorAt - TZAZip64EndRecord::Size}) {
    if (at < 0 || at > locatorAt - TZAZip64EndRecord::Size) continue;
    Stream()->SetPosition(at);
    if (Stream()->Read(bytes, TZAZip64EndRecord::Size) == TZAZip64EndRecord::Size &&
        ZAGet32(bytes) == ZA_ZIP64_END_SIGNATURE) {
      FDir.Zip64EndRecord.Load(bytes);
      return at;
    }
  }
  throw EZAException(40);
}

AnsiString TZAReader::ReadText(uint16_t length) {
  AnsiString text(length, '\0');
  if (length > 0) Stream()->ReadBuffer(text.data(), length);
  return text;
}

void TZAReader::ReadEntries(uint64_t count, bool walk, int64_t position, uint64_t size,
                            uint32_t lastDisk) {
  // Every record takes at least its fixed part: a count the directory
  // cannot hold is damage, not something to allocate for.
  if (position < 0 || count > size / TZACentralHeader::Size) throw EZAException(48);
  Stream()->SetPosition(position);
  uint64_t read = 0;
  for (uint64_t i = 0; walk ? read < size : i < count; ++i) {
    if (FVolumes.MultiVolume() &&
        Stream()->Size() - Stream()->Position() < TZACentralHeader::Size) {
      if (FVolumes.Number() >= int32_t(lastDisk)) throw EZAException(48);
      FVolumes.OpenExisting(FVolumes.Number() + 1, int32_t(lastDisk));
    }
    uint8_t fixed[TZACentralHeader::Size];
    Stream()->ReadBuffer(fixed, TZACentralHeader::Size);
    TZADirItem item;
    item.Header.Load(fixed);
    if (item.Header.Signature != FSignatures.Central &&
        item.Header.Signature != ZA_CENTRAL_SIGNATURE)
      throw EZAException(48);
    item.SetRecordName(ReadText(item.Header.NameLength), A.Options()->OEMFileNames);
    AnsiString extra = ReadText(item.Header.ExtraLength);
    if (!item.LoadExtraField(reinterpret_cast<const uint8_t*>(extra.data()), extra.size()))
      throw EZAException(48);
    item.Comment = ReadText(item.Header.CommentLength);
    FDir.Items.Add(item);
    read += TZACentralHeader::Size + item.Header.NameLength + item.Header.ExtraLength +
            item.Header.CommentLength;
  }
  // A walk ends exactly at the directory's end, with no fewer entries than
  // the count field says.
  if (walk && (read != size || FDir.Items.Count() < ZA_ZIP64_VALUE16)) throw EZAException(48);
}

void TZAReader::FindDataStart(int64_t endPosition) {
  if (FDir.Items.Count() == 0) {
    FDir.DataStart = endPosition;
    return;
  }
  const TZADirItem& first = FDir.Items.Items(0);
  if (first.LocalHeaderOffset() >= uint64_t(FDir.DirectoryOffset)) return;
  const int64_t recorded = int64_t(first.LocalHeaderOffset());
  TZASignatureScanner locals(Stream(), FSignatures.Local, DATA_START_WINDOW);
  for (int64_t from = recorded; from < FDir.DirectoryOffset;) {
    const int64_t hit = locals.Find(from);
    if (hit < 0 || hit >= FDir.DirectoryOffset) break;
    if (ZACheckLocalHeader(Stream(), hit, first.Header)) {
      FDir.DataStart = hit;
      break;
    }
    from = hit + 1;
  }
  // Bytes put in front of the archive after it was written: the recorded
  // offsets count from its old start.
  const int64_t shift = FDir.DataStart - recorded;
  if (shift <= 0) return;
  TZAFormatSettings settings = FSettings;
  settings.Zip64Mode = ZA_ZIP64_AS_NEEDED;
  for (int32_t i = 0; i < FDir.Items.Count(); ++i) {
    TZADirItem& item = FDir.Items.Items(i);
    item.SetLocation(item.DiskNumber(), item.LocalHeaderOffset() + uint64_t(shift), settings);
  }
}

void TZAReader::CheckOverlaps() {
  // Each member takes at least its local header and its data; entries that
  // share bytes would each be copied back by an update.
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  spans.reserve(size_t(FDir.Items.Count()));
  for (int32_t i = 0; i < FDir.Items.Count(); ++i) {
    const TZADirItem& item = FDir.Items.Items(i);
    const uint64_t offset = item.LocalHeaderOffset();
    spans.emplace_back(
        offset, SaturatingAdd(SaturatingAdd(offset, TZALocalHeader::Size), item.CompressedSize()));
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < spans[i - 1].second) throw EZAException(57);
}

void TZAReader::NoUsableEnd() {
  FDir.Items.Clear();
  FDir.EndRecord = TZAEndRecord();
  FDir.ArchiveComment.clear();
  FDir.IsZip64 = false;
  if (FVolumes.MultiVolume()) throw EZAException(44);
  RebuildByScanning();
  FDir.DirectoryOffset = Stream()->Size();
}

void TZAReader::RebuildByScanning() {
  const int64_t size = Stream()->Size();
  TZAFormatSettings settings = FSettings;
  settings.Zip64Mode = ZA_ZIP64_AS_NEEDED;
  TZASignatureScanner locals(Stream(), FSignatures.Local, SCAN_WINDOW);
  TZASignatureScanner descriptors(Stream(), ZA_DATA_DESCRIPTOR_SIGNATURE, SCAN_WINDOW);
  int64_t from = 0;
  for (;;) {
    const int64_t hit = locals.Find(from);
    if (hit < 0) break;
    from = hit + 4;
    uint8_t fixed[TZALocalHeader::Size];
    Stream()->SetPosition(hit);
    if (Stream()->Read(fixed, TZALocalHeader::Size) != TZALocalHeader::Size) break;
    TZALocalHeader local;
    local.Load(fixed);
    if (size - Stream()->Position() < int64_t(local.NameLength) + local.ExtraLength) break;

    TZADirItem item;
    TZACentralHeader& h = item.Header;
    h.Signature = FSignatures.Central;
    ZACopySharedFields(h, local);
    h.VersionMadeBy = local.VersionNeeded;
    const bool described = (local.Flags & ZA_FLAG_DATA_DESCRIPTOR) != 0;
    item.SetRecordName(ReadText(local.NameLength), A.Options()->OEMFileNames);
    // An empty file is no folder: only a name ending in "/" makes one.
    h.ExternalAttributes = local.UncompressedSize == 0 && !described && item.FileName.ends_with('/')
                               ? ZA_ATTR_DIRECTORY
                               : ZA_ATTR_ARCHIVE;
    AnsiString extra = ReadText(local.ExtraLength);
    // A local Zip64 block holds both sizes; anything malformed is dropped.
    if (!item.LoadExtraField(reinterpret_cast<const uint8_t*>(extra.data()), extra.size()))
      item.ExtraBlocks.clear();
    item.SetLocation(0, uint64_t(hit), settings);
    const int64_t dataStart = Stream()->Position();
    if (described && local.CompressedSize == 0) {
      const int64_t descriptor = descriptors.Find(dataStart);
      uint8_t bytes[TZADataDescriptor::Size];
      if (descriptor >= 0) {
        Stream()->SetPosition(descriptor);
        if (Stream()->Read(bytes, TZADataDescriptor::Size) == TZADataDescriptor::Size) {
          TZADataDescriptor d;
          d.Load(bytes);
          h.Crc32 = d.Crc32;
          h.CompressedSize = d.CompressedSize;
          h.UncompressedSize = d.UncompressedSize;
        }
      }
    }
    FDir.Items.Add(item);
    // Go on after the member's data, if it ends inside the stream at all.
    if (item.CompressedSize() >= uint64_t(size - dataStart)) break;
    from = std::max(from, dataStart + int64_t(item.CompressedSize()));
  }
  if (FDir.Items.Count() == 0) throw EZAException(35);
}
