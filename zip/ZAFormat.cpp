#include "zip/ZAFormat.h"

#include <algorithm>

namespace {

// Little-endian writer and reader over a record's bytes, one field after
// the other; each record lists its fields once, for both directions.
struct TPut {
  uint8_t* p;
  void operator()(uint16_t v) { ZAPut16(Advance(2), v); }
  void operator()(uint32_t v) { ZAPut32(Advance(4), v); }
  void operator()(uint64_t v) { ZAPut64(Advance(8), v); }
  uint8_t* Advance(int n) {
    p += n;
    return p - n;
  }
};

struct TGet {
  const uint8_t* p;
  void operator()(uint16_t& v) { v = ZAGet16(Advance(2)); }
  void operator()(uint32_t& v) { v = ZAGet32(Advance(4)); }
  void operator()(uint64_t& v) { v = ZAGet64(Advance(8)); }
  const uint8_t* Advance(int n) {
    p += n;
    return p - n;
  }
};

// The run of fields that local and central headers have in common.
template <class H, class F>
void HeaderFields(H& h, F&& f) {
  f(h.VersionNeeded);
  f(h.Flags);
  f(h.Method);
  f(h.Time);
  f(h.Date);
  f(h.Crc32);
  f(h.CompressedSize);
  f(h.UncompressedSize);
  f(h.NameLength);
  f(h.ExtraLength);
}

template <class H, class F>
void LocalFields(H& h, F&& f) {
  f(h.Signature);
  HeaderFields(h, f);
}

template <class H, class F>
void CentralFields(H& h, F&& f) {
  f(h.Signature);
  f(h.VersionMadeBy);
  HeaderFields(h, f);
  f(h.CommentLength);
  f(h.DiskNumberStart);
  f(h.InternalAttributes);
  f(h.ExternalAttributes);
  f(h.LocalHeaderOffset);
}

template <class R, class F>
void EndFields(R& r, F&& f) {
  f(r.Signature);
  f(r.DiskNumber);
  f(r.StartDisk);
  f(r.EntriesOnDisk);
  f(r.TotalEntries);
  f(r.DirectorySize);
  f(r.DirectoryOffset);
  f(r.CommentLength);
}

template <class R, class F>
void Zip64EndFields(R& r, F&& f) {
  f(r.Signature);
  f(r.RecordSize);
  f(r.VersionMadeBy);
  f(r.VersionNeeded);
  f(r.DiskNumber);
  f(r.StartDisk);
  f(r.EntriesOnDisk);
  f(r.TotalEntries);
  f(r.DirectorySize);
  f(r.DirectoryOffset);
}

template <class R, class F>
void LocatorFields(R& r, F&& f) {
  f(r.Signature);
  f(r.EndRecordDisk);
  f(r.EndRecordOffset);
  f(r.TotalDisks);
}

template <class R, class F>
void DescriptorFields(R& r, F&& f) {
  f(r.Signature);
  f(r.Crc32);
  f(r.CompressedSize);
  f(r.UncompressedSize);
}

constexpr int64_t END_SEARCH_SPAN = 65600;

}  // namespace

const TZASignatures& ZASignatures(bool standardSignatures) {
  static const TZASignatures standard{ZA_LOCAL_SIGNATURE, ZA_CENTRAL_SIGNATURE, ZA_END_SIGNATURE};
  static const TZASignatures engine{ZA_ENGINE_LOCAL_SIGNATURE, ZA_ENGINE_CENTRAL_SIGNATURE,
                                    ZA_ENGINE_END_SIGNATURE};
  return standardSignatures ? standard : engine;
}

uint16_t ZAVersionNeeded(bool zip64, const TZAFormatSettings& settings) {
  if (!settings.StandardSignatures) return zip64 ? 0x412D : 0x4114;
  if (zip64) return 0x002D;
  return settings.OEMFileNames ? 0x0014 : 0x0B14;
}

void TZALocalHeader::Store(uint8_t* p) const { LocalFields(*this, TPut{p}); }
void TZALocalHeader::Load(const uint8_t* p) { LocalFields(*this, TGet{p}); }
void TZACentralHeader::Store(uint8_t* p) const { CentralFields(*this, TPut{p}); }
void TZACentralHeader::Load(const uint8_t* p) { CentralFields(*this, TGet{p}); }
void TZAEndRecord::Store(uint8_t* p) const { EndFields(*this, TPut{p}); }
void TZAEndRecord::Load(const uint8_t* p) { EndFields(*this, TGet{p}); }
void TZAZip64EndRecord::Store(uint8_t* p) const { Zip64EndFields(*this, TPut{p}); }
void TZAZip64EndRecord::Load(const uint8_t* p) { Zip64EndFields(*this, TGet{p}); }
void TZAZip64Locator::Store(uint8_t* p) const { LocatorFields(*this, TPut{p}); }
void TZAZip64Locator::Load(const uint8_t* p) { LocatorFields(*this, TGet{p}); }
void TZADataDescriptor::Load(const uint8_t* p) { DescriptorFields(*this, TGet{p}); }

void ZAStoreLocalZip64Extra(uint8_t* p, uint64_t uncompressedSize, uint64_t compressedSize) {
  TPut put{p};
  put(ZA_ZIP64_EXTRA_ID);
  put(uint16_t(16));
  put(uncompressedSize);
  put(compressedSize);
}

TBytes ZAZip64CentralExtra(const TZACentralHeader& h, const TZAZip64Values& values) {
  const bool usize = h.UncompressedSize == ZA_ZIP64_VALUE32;
  const bool csize = h.CompressedSize == ZA_ZIP64_VALUE32;
  const bool offset = h.LocalHeaderOffset == ZA_ZIP64_VALUE32;
  const bool disk = h.DiskNumberStart == ZA_ZIP64_VALUE16;
  const uint16_t dataSize = uint16_t(8 * (usize + csize + offset) + 4 * disk);
  if (dataSize == 0) return {};
  TBytes extra(4 + dataSize);
  TPut put{extra.data()};
  put(ZA_ZIP64_EXTRA_ID);
  put(dataSize);
  if (usize) put(values.UncompressedSize);
  if (csize) put(values.CompressedSize);
  if (offset) put(values.LocalHeaderOffset);
  if (disk) put(values.DiskNumber);
  return extra;
}

bool ZALoadZip64Extra(const uint8_t* data, size_t size, const TZACentralHeader& h,
                      TZAZip64Values& values) {
  const uint8_t* end = data + size;
  auto take = [&](int width, auto& field) {
    if (end - data < width) return false;
    field = width == 8 ? ZAGet64(data) : ZAGet32(data);
    data += width;
    return true;
  };
  return (h.UncompressedSize != ZA_ZIP64_VALUE32 || take(8, values.UncompressedSize)) &&
         (h.CompressedSize != ZA_ZIP64_VALUE32 || take(8, values.CompressedSize)) &&
         (h.LocalHeaderOffset != ZA_ZIP64_VALUE32 || take(8, values.LocalHeaderOffset)) &&
         (h.DiskNumberStart != ZA_ZIP64_VALUE16 || take(4, values.DiskNumber));
}

bool ZAParseExtraField(const uint8_t* data, size_t size, TZAExtraBlocks& blocks) {
  blocks.clear();
  size_t at = 0;
  while (at < size) {
    if (size - at < 4) return false;
    const uint16_t id = ZAGet16(data + at);
    const uint16_t length = ZAGet16(data + at + 2);
    at += 4;
    if (size - at < length) return false;
    blocks.push_back({id, TBytes(data + at, data + at + length)});
    at += length;
  }
  return true;
}

AnsiString ZAStoredName(const AnsiString& path, bool isDirectory) {
  AnsiString name = path;
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.starts_with("//")) {
    // UNC: drop the server name with the separators around it
    const size_t slash = name.find('/', 2);
    name.erase(0, slash == AnsiString::npos ? name.size() : slash + 1);
  } else if (name.size() >= 2 && name[1] == ':') {
    name.erase(0, 2);
  }
  const size_t first = name.find_first_not_of('/');
  name.erase(0, first == AnsiString::npos ? name.size() : first);
  if (isDirectory && !name.ends_with('/')) name += '/';
  return name;
}

bool ZAFindEndRecord(TStream* stream, uint32_t signature, TZAFoundEnd& found) {
  const int64_t size = stream->Size();
  const int64_t span = std::min(END_SEARCH_SPAN, size);
  if (span < TZAEndRecord::Size) return false;
  const int64_t base = size - span;
  TBytes tail(span);
  stream->Seek(base, soBeginning);
  if (stream->Read(tail.data(), int32_t(span)) != span) return false;
  // A record whose comment reaches the end wins; failing that, the last one
  // whose comment fits and whose directory fits in front of it: other
  // tools leave bytes after the archive (padding, a signature block).
  int64_t fitting = -1;
  for (int64_t at = span - TZAEndRecord::Size; at >= 0; --at) {
    if (ZAGet32(&tail[at]) != signature) continue;
    TZAEndRecord record;
    record.Load(&tail[at]);
    const int64_t after = span - (at + TZAEndRecord::Size);
    if (after == record.CommentLength) {
      fitting = at;
      break;
    }
    const bool directoryFits =
        record.DirectorySize == ZA_ZIP64_VALUE32 || int64_t(record.DirectorySize) <= base + at;
    if (fitting < 0 && after > record.CommentLength && directoryFits) fitting = at;
  }
  if (fitting < 0) return false;
  found.Record.Load(&tail[fitting]);
  found.Position = base + fitting;
  found.Comment.assign(reinterpret_cast<const char*>(&tail[fitting + TZAEndRecord::Size]),
                       found.Record.CommentLength);
  return true;
}

bool ZACheckLocalHeader(TStream* stream, int64_t offset, const TZACentralHeader& central) {
  uint8_t bytes[TZALocalHeader::Size];
  stream->Seek(offset, soBeginning);
  if (stream->Read(bytes, TZALocalHeader::Size) != TZALocalHeader::Size) return false;
  TZALocalHeader local;
  local.Load(bytes);
  if (local.NameLength > 0) {
    AnsiString name(local.NameLength, '\0');
    if (stream->Read(name.data(), local.NameLength) != local.NameLength) return false;
  }
  if (local.Signature != ZA_LOCAL_SIGNATURE && local.Signature != ZA_ENGINE_LOCAL_SIGNATURE)
    return false;
  if (offset == 0) return true;
  const bool described = (local.Flags & ZA_FLAG_DATA_DESCRIPTOR) != 0;
  auto sameSize = [&](uint32_t localSize, uint32_t centralSize) {
    return described || localSize == ZA_ZIP64_VALUE32 || localSize == centralSize;
  };
  return local.VersionNeeded == central.VersionNeeded && local.Method == central.Method &&
         local.Time == central.Time && local.Date == central.Date &&
         (described || local.Crc32 == central.Crc32) &&
         sameSize(local.CompressedSize, central.CompressedSize) &&
         sameSize(local.UncompressedSize, central.UncompressedSize);
}
