#include "zip/ZADirManager.h"

#include <algorithm>
#include <bit>

#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"
#include "zip/ZACrypto.h"
#include "zip/ZADeflate.h"
#include "zip/ZAErrors.h"

namespace {

constexpr int32_t MAX_GROW_STEP = 10000;
constexpr int32_t MIN_HASH_BUCKETS = 1000;
constexpr int32_t MAX_HASH_LOAD = 5;

bool NeedsZip64(uint64_t value, const TZAFormatSettings& settings) {
  return value >= ZA_ZIP64_VALUE32 || settings.Zip64Mode == ZA_ZIP64_ALWAYS;
}

// Lengths go into 16-bit fields of the records: a longer name raises
// error 61, a longer extra field or comment error 8.
uint16_t NameLength(const AnsiString& name) {
  if (name.size() > 0xFFFF) throw EZAException(61, {name});
  return uint16_t(name.size());
}

uint16_t FieldLength(size_t length) {
  if (length > 0xFFFF) throw EZAException(8);
  return uint16_t(length);
}

void Append(TBytes& bytes, const AnsiString& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

// Code points of bytes that stand for no character.
constexpr char32_t RAW_BYTE = 0x110000;

std::u32string DecodeUtf8(const AnsiString& bytes) {
  std::u32string text;
  for (size_t at = 0; at < bytes.size();) {
    const uint8_t lead = uint8_t(bytes[at]);
    const int length = lead < 0x80                   ? 1
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                       : lead >= 0xE0                ? 3
                       : lead >= 0xC2                ? 2
                                                     : 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    bool valid = length > 0 && at + size_t(length) <= bytes.size();
    for (int i = 1; valid && i < length; ++i) {
      const uint8_t next = uint8_t(bytes[at + size_t(i)]);
      valid = (next & 0xC0) == 0x80;
      c = c << 6 | (next & 0x3F);
    }
    if (!valid || c >= RAW_BYTE) {
      text += RAW_BYTE + lead;
      ++at;
      continue;
    }
    text += c;
    at += size_t(length);
  }
  return text;
}

std::u32string DecodeAnsi(const AnsiString& name) {
  std::u32string text;
  for (char c : name) text += AnsiCharToWide(c);
  return text;
}

std::u32string DecodeOem(const AnsiString& bytes) {
  std::u32string text;
  for (char byte : bytes) {
    const char ansi = uint8_t(byte) < 0x80 ? byte : OemToAnsi(AnsiString(1, byte))[0];
    text += ansi != '?' || byte == '?' ? char32_t(AnsiCharToWide(ansi)) : RAW_BYTE + uint8_t(byte);
  }
  return text;
}

// The name list's key of a name: its letters folded by the ANSI table where
// the ANSI code page has them, every character beyond ASCII written as an
// escape, so that folding never merges two different characters.
AnsiString NameKey(const std::u32string& name) {
  AnsiString key;
  for (char32_t c : name) {
    if (c < 0x80 && c != 0x01) {
      key += char(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
      continue;
    }
    if (c < 0x10000) {
      const AnsiString ansi = WideToAnsi(WideString(1, char16_t(c)));
      if (ansi.size() == 1 && ansi[0] != '?') c = AnsiCharToWide(AnsiLowerChar(ansi[0]));
    }
    key += '\x01' + LowerCase(IntToHex(uint32_t(c), 6));
  }
  return key;
}

uint64_t RealValue(uint32_t field, uint64_t wide) {
  return field == ZA_ZIP64_VALUE32 ? wide : field;
}

// Puts value into its 32-bit field, or the Zip64 value there and the real
// one beside it. Needing Zip64 with the mode off raises error.
void SetField(TZADirItem& item, uint32_t& field, uint64_t& wide, uint64_t value,
              const TZAFormatSettings& settings, int32_t error) {
  if (!NeedsZip64(value, settings)) {
    field = uint32_t(value);
    return;
  }
  if (settings.Zip64Mode == ZA_ZIP64_OFF)
    throw EZAException(error, {item.SrcFileName.empty() ? item.FileName : item.SrcFileName});
  field = ZA_ZIP64_VALUE32;
  wide = value;
  item.Zip64 = true;
}

}  // namespace

// ---- TZADirItem ----------------------------------------------------------------

uint64_t TZADirItem::UncompressedSize() const {
  return RealValue(Header.UncompressedSize, Zip64Values.UncompressedSize);
}

uint64_t TZADirItem::CompressedSize() const {
  return RealValue(Header.CompressedSize, Zip64Values.CompressedSize);
}

uint64_t TZADirItem::LocalHeaderOffset() const {
  return RealValue(Header.LocalHeaderOffset, Zip64Values.LocalHeaderOffset);
}

uint32_t TZADirItem::DiskNumber() const {
  return Header.DiskNumberStart == ZA_ZIP64_VALUE16 ? Zip64Values.DiskNumber
                                                    : Header.DiskNumberStart;
}

void TZADirItem::SetSourceSize(uint64_t size, const TZAFormatSettings& settings) {
  SetField(*this, Header.UncompressedSize, Zip64Values.UncompressedSize, size, settings, 41);
  // The local header goes out before the data: data that may come out
  // longer than 4 GiB needs the room for the Zip64 extra field now.
  if (settings.Zip64Mode == ZA_ZIP64_AS_NEEDED &&
      ZAMaxCompressedSize(size, Header.Method, Header.Flags & ZA_FLAG_ENCRYPTED) >=
          ZA_ZIP64_VALUE32) {
    Header.UncompressedSize = ZA_ZIP64_VALUE32;
    Zip64Values.UncompressedSize = size;
    Zip64 = true;
  }
  Header.VersionNeeded = Header.VersionMadeBy = ZAVersionNeeded(Zip64, settings);
  if (size == 0 && settings.StandardSignatures) Header.Method = ZA_METHOD_STORED;
}

void TZADirItem::SetResult(uint32_t crc32, uint64_t compressedSize, uint64_t uncompressedSize,
                           const TZAFormatSettings& settings) {
  Header.Crc32 = crc32;
  SetField(*this, Header.CompressedSize, Zip64Values.CompressedSize, compressedSize, settings, 41);
  // A reserved Zip64 extra field stays: the local header keeps its length.
  if (Header.UncompressedSize == ZA_ZIP64_VALUE32)
    Zip64Values.UncompressedSize = uncompressedSize;
  else
    SetField(*this, Header.UncompressedSize, Zip64Values.UncompressedSize, uncompressedSize,
             settings, 41);
  Header.VersionNeeded = Header.VersionMadeBy = ZAVersionNeeded(Zip64, settings);
}

void TZADirItem::SetLocation(uint32_t diskNumber, uint64_t offset,
                             const TZAFormatSettings& settings) {
  SetField(*this, Header.LocalHeaderOffset, Zip64Values.LocalHeaderOffset, offset, settings, 43);
  if (diskNumber >= ZA_ZIP64_VALUE16) {
    Header.DiskNumberStart = ZA_ZIP64_VALUE16;
    Zip64Values.DiskNumber = diskNumber;
    Zip64 = true;
  } else {
    Header.DiskNumberStart = uint16_t(diskNumber);
  }
}

AnsiString TZADirItem::RecordName(const TZAFormatSettings& settings) const {
  if (!NameBytes.empty()) return NameBytes;
  return settings.OEMFileNames && !(Header.Flags & ZA_FLAG_UTF8) ? AnsiToOem(FileName) : FileName;
}

void TZADirItem::SetRecordName(const AnsiString& bytes, bool oemFileNames) {
  NameBytes = bytes;
  OemName = oemFileNames && !(Header.Flags & ZA_FLAG_UTF8);
  FileName = OemName ? OemToAnsi(bytes) : bytes;
}

std::u32string TZADirItem::DecodedName() const {
  if (Header.Flags & ZA_FLAG_UTF8) return DecodeUtf8(FileName);
  return OemName ? DecodeOem(NameBytes) : DecodeAnsi(FileName);
}

void TZADirItem::SetSource(TStream* stream, bool ownsStream, int64_t position) {
  if (ownsStream)
    Stream.reset(stream);
  else
    Stream.reset(stream, [](TStream*) {});
  OwnsStream = ownsStream;
  StreamPosition = position;
}

void TZADirItem::ReleaseSource() {
  if (Stream && !OwnsStream) Stream->SetPosition(StreamPosition);
  Stream.reset();
  OwnsStream = false;
}

TBytes TZADirItem::LocalHeaderBytes(const TZAFormatSettings& settings) const {
  const AnsiString name = RecordName(settings);
  const bool zip64Extra = Header.UncompressedSize == ZA_ZIP64_VALUE32;
  TZALocalHeader local;
  local.Signature = ZASignatures(settings.StandardSignatures).Local;
  ZACopySharedFields(local, Header);
  local.NameLength = NameLength(name);
  local.ExtraLength = zip64Extra ? ZA_LOCAL_ZIP64_EXTRA_SIZE : 0;
  TBytes bytes(TZALocalHeader::Size);
  local.Store(bytes.data());
  Append(bytes, name);
  if (zip64Extra) {
    bytes.resize(bytes.size() + ZA_LOCAL_ZIP64_EXTRA_SIZE);
    ZAStoreLocalZip64Extra(&bytes[bytes.size() - ZA_LOCAL_ZIP64_EXTRA_SIZE], UncompressedSize(),
                           CompressedSize());
  }
  return bytes;
}

TBytes TZADirItem::CentralRecordBytes(const TZAFormatSettings& settings) const {
  const AnsiString name = RecordName(settings);
  TBytes extra = ZAZip64CentralExtra(Header, Zip64Values);
  for (const TZAExtraBlock& block : ExtraBlocks) {
    const size_t at = extra.size();
    extra.resize(at + 4);
    ZAPut16(&extra[at], block.HeaderID);
    ZAPut16(&extra[at + 2], uint16_t(block.Data.size()));
    extra.insert(extra.end(), block.Data.begin(), block.Data.end());
  }
  TZACentralHeader central = Header;
  central.Signature = ZASignatures(settings.StandardSignatures).Central;
  central.NameLength = NameLength(name);
  central.ExtraLength = FieldLength(extra.size());
  central.CommentLength = FieldLength(Comment.size());
  TBytes bytes(TZACentralHeader::Size);
  central.Store(bytes.data());
  Append(bytes, name);
  bytes.insert(bytes.end(), extra.begin(), extra.end());
  Append(bytes, Comment);
  return bytes;
}

bool TZADirItem::LoadExtraField(const uint8_t* data, size_t size) {
  TZAExtraBlocks blocks;
  if (!ZAParseExtraField(data, size, blocks)) return false;
  ExtraBlocks.clear();
  for (TZAExtraBlock& block : blocks) {
    if (block.HeaderID != ZA_ZIP64_EXTRA_ID) {
      ExtraBlocks.push_back(std::move(block));
      continue;
    }
    // Rebuilt from the values when the entry is written.
    if (!ZALoadZip64Extra(block.Data.data(), block.Data.size(), Header, Zip64Values)) return false;
    Zip64 = true;
  }
  return true;
}

// ---- TZAStringHash ---------------------------------------------------------------

TZAStringHash::TZAStringHash(int32_t bucketCount) : FBuckets(std::max(bucketCount, 1), nullptr) {}

TZAStringHash::~TZAStringHash() { Clear(); }

uint32_t TZAStringHash::HashOf(const AnsiString& key) {
  uint32_t hash = 0;
  for (char c : key) hash = std::rotl(hash, 2) ^ uint8_t(c);
  return hash;
}

void TZAStringHash::Add(const AnsiString& key, int32_t value) {
  TItem*& head = FBuckets[HashOf(key) % FBuckets.size()];
  head = new TItem{head, key, value};
}

void TZAStringHash::Remove(const AnsiString& key) {
  for (TItem** link = &FBuckets[HashOf(key) % FBuckets.size()]; *link; link = &(*link)->Next) {
    if ((*link)->Key == key) {
      TItem* item = *link;
      *link = item->Next;
      delete item;
      return;
    }
  }
}

void TZAStringHash::Clear() {
  for (TItem*& head : FBuckets) {
    while (head) {
      TItem* next = head->Next;
      delete head;
      head = next;
    }
  }
}

int32_t TZAStringHash::ValueOf(const AnsiString& key) const {
  for (const TItem* item = FBuckets[HashOf(key) % FBuckets.size()]; item; item = item->Next)
    if (item->Key == key) return item->Value;
  return -1;
}

std::vector<int32_t> TZAStringHash::ValuesOf(const AnsiString& key) const {
  std::vector<int32_t> values;
  for (const TItem* item = FBuckets[HashOf(key) % FBuckets.size()]; item; item = item->Next)
    if (item->Key == key) values.push_back(item->Value);
  std::sort(values.begin(), values.end());
  return values;
}

// ---- TZAHashedStringList -----------------------------------------------------------

TZAHashedStringList::TZAHashedStringList() = default;
TZAHashedStringList::~TZAHashedStringList() = default;

int TZAHashedStringList::AddObject(const AnsiString& s, TObject* object) {
  const int index = TStringList::AddObject(AnsiLowerCase(s), object);
  if (FHashValid) {
    FHash->Add(Strings(index), index);
    // Too long chains: the next lookup builds a larger table.
    if (Count() > MAX_HASH_LOAD * FHash->BucketCount()) {
      FHash.reset();
      FHashValid = false;
    }
  }
  return index;
}

void TZAHashedStringList::Put(int index, const AnsiString& s) {
  const AnsiString lower = AnsiLowerCase(s);
  if (FHashValid) {
    FHash->Remove(Strings(index));
    FHash->Add(lower, index);
  }
  TStringList::Put(index, lower);
}

void TZAHashedStringList::Insert(int index, const AnsiString& s) {
  TStringList::Insert(index, AnsiLowerCase(s));
  FHashValid = false;
}

void TZAHashedStringList::Delete(int index) {
  TStringList::Delete(index);
  FHashValid = false;
}

void TZAHashedStringList::Clear() {
  TStringList::Clear();
  if (FHash) FHash->Clear();
}

void TZAHashedStringList::Exchange(int index1, int index2) {
  TStringList::Exchange(index1, index2);
  FHashValid = false;
}

void TZAHashedStringList::Truncate(int count) {
  if (count >= Count()) return;
  while (Count() > count) TStringList::Delete(Count() - 1);
  FHashValid = false;
}

int TZAHashedStringList::IndexOf(const AnsiString& s) const {
  if (!FHashValid) RebuildHash();
  return FHash->ValueOf(AnsiLowerCase(s));
}

std::vector<int32_t> TZAHashedStringList::IndexesOf(const AnsiString& s) const {
  if (!FHashValid) RebuildHash();
  return FHash->ValuesOf(AnsiLowerCase(s));
}

int32_t TZAHashedStringList::HashSize() const { return FHashValid ? FHash->BucketCount() : 0; }

void TZAHashedStringList::RebuildHash() const {
  FHash = std::make_unique<TZAStringHash>(std::max(Count(), MIN_HASH_BUCKETS));
  for (int i = 0; i < Count(); ++i) FHash->Add(Strings(i), i);
  FHashValid = true;
}

// ---- TZADirArray ---------------------------------------------------------------------

void TZADirArray::SetCount(int32_t count) {
  if (count == 0) {
    std::vector<TZADirItem>().swap(FItems);
    FCapacity = 0;
    FNames.Clear();
    return;
  }
  if (count > FCapacity) {
    FGrowStep = std::min(FGrowStep * 2, MAX_GROW_STEP);
    FCapacity = std::max(FCapacity + FGrowStep, count);
    FItems.reserve(FCapacity);
  }
  FItems.resize(count);
  FNames.Truncate(count);
}

void TZADirArray::CheckIndex(int32_t index, int32_t error) const {
  if (index < 0 || index >= Count()) throw EZAException(error);
}

TZADirItem TZADirArray::GetItem(int32_t index) const {
  CheckIndex(index, 2);
  return FItems[index];
}

TZADirItem& TZADirArray::Items(int32_t index) {
  CheckIndex(index, 3);
  return FItems[index];
}

const TZADirItem& TZADirArray::Items(int32_t index) const {
  CheckIndex(index, 3);
  return FItems[index];
}

void TZADirArray::Assign(const TZADirArray& source) {
  if (&source == this) return;
  SetCount(0);
  SetCount(source.Count());
  std::copy(source.FItems.begin(), source.FItems.end(), FItems.begin());
  for (int32_t i = 0; i < source.FNames.Count(); ++i) FNames.Add(source.FNames.Strings(i));
}

int32_t TZADirArray::Add(const TZADirItem& item) {
  const int32_t index = Count();
  SetCount(index + 1);
  FItems[index] = item;
  FNames.Add(NameKey(item.DecodedName()));
  return index;
}

void TZADirArray::Delete(int32_t index) {
  CheckIndex(index, 3);
  FItems.erase(FItems.begin() + index);
  if (index < FNames.Count()) FNames.Delete(index);
}

int32_t TZADirArray::Find(const AnsiString& name) {
  const std::u32string decoded = DecodeAnsi(name);
  int32_t found = -1;
  for (int32_t index : FNames.IndexesOf(NameKey(decoded))) {
    if (index >= Count()) continue;
    if (FItems[index].DecodedName() == decoded) return index;
    if (found < 0) found = index;
  }
  return found;
}

void TZADirArray::Rename(int32_t index, const AnsiString& newName) {
  TZADirItem& item = Items(index);
  const std::vector<int32_t> registered = FNames.IndexesOf(NameKey(item.DecodedName()));
  const AnsiString key = NameKey(DecodeAnsi(newName));
  const bool here = std::find(registered.begin(), registered.end(), index) != registered.end();
  if (!here && !registered.empty()) throw EZAException(59);
  // Names sit at their entries' indexes: the slot of an entry whose name is
  // not found (its flags changed) is its own.
  if (here || index < FNames.Count())
    FNames.Put(index, key);
  else
    FNames.Add(key);
  item.FileName = newName;
  item.NameBytes.clear();
  item.OemName = false;
  item.Header.Flags &= uint16_t(~ZA_FLAG_UTF8);
}

// ---- TZADirManager ---------------------------------------------------------------------

TZADirManager::TZADirManager(TStream* stream, TZADirOwner* owner) : Stream(stream), Owner(owner) {}

int32_t TZADirManager::AddOrReplace(const AnsiString& name, TDateTime dateTime, uint32_t attributes,
                                    bool isDirectory) {
  return Place(name, uint32_t(DateTimeToFileDate(dateTime)), "", attributes, isDirectory);
}

int32_t TZADirManager::AddOrReplaceFile(const AnsiString& name, const AnsiString& srcFileName,
                                        uint32_t attributes, bool isDirectory) {
  const int32_t age = FileAge(srcFileName);
  return Place(name, uint32_t(age == -1 ? DateTimeToFileDate(Now()) : age), srcFileName, attributes,
               isDirectory);
}

int32_t TZADirManager::Place(const AnsiString& name, uint32_t dosDateTime,
                             const AnsiString& srcFileName, uint32_t attributes, bool isDirectory) {
  const AnsiString stored = ZAStoredName(name, isDirectory);
  NameLength(stored);
  const TZANewEntrySettings settings = Owner->NewEntrySettings();
  int32_t index = Items.Find(stored);
  if (index >= 0) {
    const TZADirItem& existing = Items.Items(index);
    const uint32_t existingDate = uint32_t(existing.Header.Date) << 16 | existing.Header.Time;
    bool replace = false;
    switch (settings.OverwriteMode) {
      case omPrompt:
        replace = Owner->ConfirmOverwrite(existing, srcFileName.empty() ? stored : srcFileName);
        break;
      case omAlways:
        replace = true;
        break;
      case omNever:
        break;
      case omIfNewer:
        replace = dosDateTime > existingDate;
        break;
      case omIfOlder:
        replace = dosDateTime < existingDate;
        break;
    }
    if (!replace) return -1;
  }

  // A replaced member is built afresh too: nothing of the old entry (flags,
  // method, password, extra blocks) may leak into the new data.
  TZADirItem item;
  TZACentralHeader& h = item.Header;
  h.VersionNeeded = h.VersionMadeBy =
      ZAVersionNeeded(settings.Format.Zip64Mode == ZA_ZIP64_ALWAYS, settings.Format);
  if (isDirectory) {
    h.Flags = ZA_FLAG_DIRECTORY;
    h.Method = ZA_METHOD_STORED;
  } else {
    h.Flags = settings.Password.empty() ? 0 : ZA_FLAG_ENCRYPTED;
    h.Method = settings.CompressionMethod;
    item.Password = settings.Password;
    item.CompressionMode = settings.CompressionMode;
  }
  h.Time = uint16_t(dosDateTime);
  h.Date = uint16_t(dosDateTime >> 16);
  h.Crc32 = ZA_CRC_START;
  h.ExternalAttributes = attributes;
  item.FileName = stored;
  item.SrcFileName = srcFileName;
  item.Pending = true;
  if (index < 0) return Items.Add(item);
  // The same name keeps the bytes and encoding it was stored with, so that
  // other tools still show it as it was.
  const TZADirItem& existing = Items.Items(index);
  if (existing.DecodedName() == DecodeAnsi(stored)) {
    item.FileName = existing.FileName;
    item.NameBytes = existing.NameBytes;
    item.OemName = existing.OemName;
    h.Flags |= existing.Header.Flags & ZA_FLAG_UTF8;
  }
  item.Operation = ZA_OP_REPLACE;
  Items.Names().Put(index, NameKey(item.DecodedName()));
  Items.Items(index) = item;
  return index;
}
