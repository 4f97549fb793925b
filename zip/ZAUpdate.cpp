#include "zip/ZAUpdate.h"

#include <algorithm>
#include <atomic>

#include "rtl/OsShim.h"
#include "rtl/SysUtils.h"
#include "zip/ZAArchiver.h"
#include "zip/ZACrypto.h"
#include "zip/ZADrive.h"
#include "zip/ZAErrors.h"

namespace {

constexpr int32_t COPY_BLOCK = 0x100000;
// A source file's name must stay below the system's path limit.
constexpr size_t MAX_SOURCE_NAME = 260;

double Percent(int64_t done, int64_t total) { return total > 0 ? done * 100.0 / total : 100.0; }

// A stream over a file handle of its own, closed with it.
class TOwnedHandleStream : public THandleStream {
 public:
  using THandleStream::THandleStream;
  ~TOwnedHandleStream() override { FileClose(Handle()); }
};

void WriteAll(TStream* stream, const TBytes& bytes) {
  if (stream->Write(bytes.data(), int32_t(bytes.size())) != int32_t(bytes.size()))
    throw EZAException(46);
}

}  // namespace

// ---- Central directory -----------------------------------------------------

void ZAWriteCentralDirectory(TZADirManager& dir, TZAVolumes& out,
                             const TZAFormatSettings& settings) {
  // Its length goes into a 16-bit field.
  if (dir.ArchiveComment.size() > 0xFFFF) throw EZAException(8);
  const int32_t count = dir.Items.Count();
  int64_t start = -1;
  uint32_t startDisk = 0;
  uint32_t disk = uint32_t(out.Number());
  uint64_t size = 0;
  uint64_t onDisk = 0;
  // Each record lands whole; the directory starts where its first one does.
  auto place = [&](int64_t bytes) {
    out.Reserve(bytes);
    if (uint32_t(out.Number()) != disk) {
      disk = uint32_t(out.Number());
      onDisk = 0;
    }
    if (start < 0) {
      start = out.Position();
      startDisk = disk;
    }
  };
  // Readers that find the directory's end from the end records want the
  // last record on their volume: it is placed with room for them.
  const int64_t largestGroup = TZAZip64EndRecord::Size + TZAZip64Locator::Size +
                               TZAEndRecord::Size + int64_t(dir.ArchiveComment.size());
  for (int32_t i = 0; i < count; ++i) {
    TBytes record = dir.Items.Items(i).CentralRecordBytes(settings);
    place(int64_t(record.size()) + (i + 1 == count ? largestGroup : 0));
    out.WriteRecord(record);
    size += record.size();
    ++onDisk;
  }

  const bool zip64 = out.Position() >= ZA_ZIP64_VALUE32 || count >= ZA_ZIP64_VALUE16 ||
                     size >= ZA_ZIP64_VALUE32 || disk >= ZA_ZIP64_VALUE16;
  const int32_t zip64Size = zip64 ? TZAZip64EndRecord::Size + TZAZip64Locator::Size : 0;
  TBytes group(zip64Size + TZAEndRecord::Size + dir.ArchiveComment.size());
  place(int64_t(group.size()));
  if (zip64) {
    TZAZip64EndRecord& z = dir.Zip64EndRecord;
    z = TZAZip64EndRecord();
    z.DiskNumber = disk;
    z.StartDisk = startDisk;
    z.EntriesOnDisk = onDisk;
    z.TotalEntries = uint64_t(count);
    z.DirectorySize = size;
    z.DirectoryOffset = uint64_t(start);
    z.Store(group.data());
    TZAZip64Locator& l = dir.Zip64Locator;
    l = TZAZip64Locator();
    l.EndRecordDisk = disk;
    l.EndRecordOffset = uint64_t(out.Position());
    l.TotalDisks = disk + 1;
    l.Store(group.data() + TZAZip64EndRecord::Size);
  }
  TZAEndRecord& e = dir.EndRecord;
  e = TZAEndRecord();
  e.Signature = ZASignatures(settings.StandardSignatures).End;
  e.DiskNumber = uint16_t(std::min<uint32_t>(disk, ZA_ZIP64_VALUE16));
  e.StartDisk = uint16_t(std::min<uint32_t>(startDisk, ZA_ZIP64_VALUE16));
  e.EntriesOnDisk = uint16_t(std::min<uint64_t>(onDisk, ZA_ZIP64_VALUE16));
  e.TotalEntries = uint16_t(std::min<uint64_t>(uint64_t(count), ZA_ZIP64_VALUE16));
  e.DirectorySize = uint32_t(std::min<uint64_t>(size, ZA_ZIP64_VALUE32));
  e.DirectoryOffset = uint32_t(std::min<uint64_t>(uint64_t(start), ZA_ZIP64_VALUE32));
  e.CommentLength = uint16_t(dir.ArchiveComment.size());
  e.Store(group.data() + zip64Size);
  std::copy(dir.ArchiveComment.begin(), dir.ArchiveComment.end(),
            group.begin() + zip64Size + TZAEndRecord::Size);
  out.WriteRecord(group);
  dir.DirectoryOffset = start;
  dir.IsZip64 = zip64;
}

// ---- Temporary file ---------------------------------------------------------

TZATempFile::TZATempFile(const AnsiString& dir) {
  static std::atomic<uint32_t> counter{uint32_t(DateTimeToUnix(Now()))};
  const AnsiString folder = dir.empty() ? GetTempDir() : IncludeTrailingPathDelimiter(dir);
  // Each of the 65,536 names at most once. Created exclusively, so that
  // nothing planted under a name, a link above all, is written through.
  for (uint32_t tries = 0; tries <= 0xFFFF; ++tries) {
    FFileName = folder + "FC" + IntToHex(uint32_t(counter++ & 0xFFFF), 4) + ".tmp";
    bool taken = false;
    const THandle handle = ZACreateNewFile(FFileName, taken);
    if (handle != InvalidHandle) {
      FStream = std::make_unique<TOwnedHandleStream>(handle);
      return;
    }
    if (!taken) break;
  }
  throw EZAException(19, {FFileName});
}

TZATempFile::~TZATempFile() {
  FStream.reset();
  DeleteFile(FFileName);
}

// ---- Update pass -------------------------------------------------------------

TZAUpdatePass::TZAUpdatePass(TZABaseArchiver& archiver)
    : A(archiver),
      FDir(*archiver.FDirManager),
      FOut(*archiver.FVolumes),
      FSettings(archiver.FormatSettings()) {}

TZAUpdatePass::~TZAUpdatePass() = default;

void TZAUpdatePass::Run() {
  A.FUpdateCount = 0;
  A.FCancel = false;
  A.FBytesToProcess = 0;
  A.FBytesProcessed = 0;
  uint8_t operation = 2;  // nothing pending
  for (int32_t i = FDir.Items.Count() - 1; i >= 0; --i) {
    const TZADirItem& item = FDir.Items.Items(i);
    if (!item.Pending) continue;
    A.FBytesToProcess += int64_t(item.UncompressedSize());
    operation = item.Operation;
  }

  bool rewritten = false;
  try {
    if (A.DoOverallProgress(0, operation, ppStart)) throw EAbort();
    const int32_t first = FirstChanged();
    SaveTail(first);
    FOut.Rewind(FRestart);
    rewritten = true;
    WriteEntries(first);
    ZAWriteCentralDirectory(FDir, FOut, FSettings);
    FTail = nullptr;
    FTailFile.reset();
  } catch (...) {
    ReleaseSources();
    FDir.Items.Assign(FDir.SavedItems);
    if (rewritten) {
      // Whatever goes wrong here, the error to report is the first one.
      try {
        Restore();
      } catch (...) {
      }
    }
    throw;
  }
  DeleteMovedSources();
  A.DoOverallProgress(100, operation, ppEnd);
}

bool TZAUpdatePass::Attempt(const AnsiString& name, int32_t error,
                            const std::function<bool()>& action) {
  for (;;) {
    if (action()) return true;
    switch (A.DoProcessFileFailure(name, ZA_OP_MOVE, EZAException(error, {name}))) {
      case fxRetry:
        continue;
      case fxIgnore:
        return true;
      case fxAbort:
        return false;
    }
  }
}

void TZAUpdatePass::DeleteMovedSources() {
  std::vector<AnsiString> folders;
  for (int32_t i = 0; i < FDir.Items.Count(); ++i) {
    const TZADirItem& item = FDir.Items.Items(i);
    // Only what this pass wrote: a member moved in an earlier one is gone.
    if (!item.Pending || item.Operation != ZA_OP_MOVE || item.SrcFileName.empty()) continue;
    if (item.Header.Flags & ZA_FLAG_DIRECTORY) {
      folders.push_back(ExcludeTrailingPathDelimiter(item.SrcFileName));
      continue;
    }
    if (!Attempt(item.SrcFileName, 27, [&] { return DeleteFile(item.SrcFileName); })) return;
  }
  // A folder empties only once the folders inside it are gone.
  const auto depth = [](const AnsiString& folder) {
    return std::count_if(folder.begin(), folder.end(),
                         [](char c) { return c == '/' || c == '\\'; });
  };
  std::stable_sort(folders.begin(), folders.end(),
                   [&](const AnsiString& a, const AnsiString& b) { return depth(a) > depth(b); });
  for (const AnsiString& folder : folders)
    if (!Attempt(folder, 60, [&] { return ZARemoveFolder(folder); })) return;
}

int32_t TZAUpdatePass::FirstChanged() {
  const TZADirArray& saved = FDir.SavedItems;
  const TZADirArray& items = FDir.Items;
  int32_t first = 0;
  const int32_t common = std::min(saved.Count(), items.Count());
  while (first < common && !items.Items(first).Pending &&
         items.Items(first).FileName == saved.Items(first).FileName)
    ++first;
  // Members stored out of directory order: everything at or past the
  // restart position must be rewritten, or the kept front would lose data.
  for (;;) {
    FRestart = RestartPosition(first);
    int32_t lowest = first;
    for (int32_t i = 0; i < first; ++i)
      if (int64_t(saved.Items(i).LocalHeaderOffset()) >= FRestart) {
        lowest = i;
        break;
      }
    if (lowest == first) return first;
    first = lowest;
  }
}

int64_t TZAUpdatePass::RestartPosition(int32_t first) {
  const TZADirArray& saved = FDir.SavedItems;
  if (first >= saved.Count()) return saved.Count() > 0 ? FDir.DirectoryOffset : FDir.DataStart;
  uint64_t lowest = saved.Items(first).LocalHeaderOffset();
  for (int32_t i = first + 1; i < saved.Count(); ++i)
    lowest = std::min(lowest, saved.Items(i).LocalHeaderOffset());
  return int64_t(lowest);
}

void TZAUpdatePass::SaveTail(int32_t first) {
  TStream* stream = FOut.Stream();
  const int64_t size = stream->Size();
  // A member or directory recorded beyond the end of the archive.
  if (FRestart < 0 || FRestart > size) throw EZAException(48);
  if (size == FRestart) return;
  if (first < FDir.SavedItems.Count()) {
    FTailFile = std::make_unique<TZATempFile>(A.TempDir);
    FTail = FTailFile->Stream();
  } else {
    FTailMemory = std::make_unique<TMemoryStream>();
    FTail = FTailMemory.get();
  }
  stream->SetPosition(FRestart);
  if (FTail->CopyFrom(stream, size - FRestart) != size - FRestart) throw EZAException(46);
}

void TZAUpdatePass::WriteEntries(int32_t first) {
  for (int32_t i = first; i < FDir.Items.Count(); ++i) {
    TZADirItem& item = FDir.Items.Items(i);
    if (item.Pending)
      WriteNew(item);
    else
      CopyBack(item);
    if (A.FCancel) throw EAbort();
  }
}

void TZAUpdatePass::CopyBack(TZADirItem& item) {
  const uint64_t offset = item.LocalHeaderOffset();
  if (!FTail || offset < uint64_t(FRestart) ||
      offset - uint64_t(FRestart) + TZALocalHeader::Size > uint64_t(FTail->Size()))
    throw EZAException(48);
  const int64_t at = int64_t(offset) - FRestart;
  TBytes header(TZALocalHeader::Size);
  FTail->SetPosition(at);
  FTail->ReadBuffer(header.data(), TZALocalHeader::Size);
  TZALocalHeader local;
  local.Load(header.data());
  if (local.Signature != ZASignatures(FSettings.StandardSignatures).Local) throw EZAException(48);
  header.resize(TZALocalHeader::Size + local.NameLength + local.ExtraLength);
  if (FTail->Read(&header[TZALocalHeader::Size], int32_t(header.size()) - TZALocalHeader::Size) !=
      int32_t(header.size()) - TZALocalHeader::Size)
    throw EZAException(48);

  // The data, and the descriptor that follows it when the local header left
  // the CRC and sizes to one: with or without its signature, with 64-bit
  // sizes when the local header carries a Zip64 block.
  // Data that would run past the saved tail is damage.
  if (item.CompressedSize() > uint64_t(FTail->Size())) throw EZAException(48);
  int64_t length = int64_t(item.CompressedSize());
  if (local.Flags & ZA_FLAG_DATA_DESCRIPTOR) {
    TZAExtraBlocks blocks;
    ZAParseExtraField(&header[TZALocalHeader::Size + local.NameLength], local.ExtraLength, blocks);
    const bool wide = std::any_of(blocks.begin(), blocks.end(), [](const TZAExtraBlock& b) {
      return b.HeaderID == ZA_ZIP64_EXTRA_ID;
    });
    uint8_t signature[4] = {};
    FTail->SetPosition(at + int64_t(header.size()) + length);
    const bool hasSignature =
        FTail->Read(signature, 4) == 4 && ZAGet32(signature) == ZA_DATA_DESCRIPTOR_SIGNATURE;
    length += (hasSignature ? 4 : 0) + 4 + (wide ? 16 : 8);
  }

  FOut.Reserve(int64_t(header.size()));
  item.SetLocation(uint32_t(FOut.Number()), uint64_t(FOut.Position()), FSettings);
  FOut.WriteRecord(header);
  FTail->SetPosition(at + int64_t(header.size()));
  CopyOut(FTail, length, false);
}

void TZAUpdatePass::OpenSource(TZADirItem& item) {
  if (item.Stream) return;
  if (item.Header.Flags & ZA_FLAG_DIRECTORY) {
    item.SetSource(new TMemoryStream(), true, 0);
  } else {
    if (item.SrcFileName.empty()) throw EZAException(6);
    if (item.SrcFileName.size() >= MAX_SOURCE_NAME) throw EZAException(61, {item.SrcFileName});
    std::unique_ptr<TStream> file;
    try {
      file = std::make_unique<TFileStream>(
          item.SrcFileName, fmOpenRead | (uint32_t(A.FOptions->ShareMode) * fmShareExclusive));
    } catch (const EStreamError&) {
      throw EZAException(33, {item.SrcFileName});
    }
    item.SetSource(file.release(), true, 0);
  }
  item.SetSourceSize(uint64_t(item.Stream->Size()), FSettings);
  // The totals knew nothing of its size before.
  A.FBytesToProcess += item.Stream->Size();
}

void TZAUpdatePass::WriteNew(TZADirItem& item) {
  OpenSource(item);
  const bool viaTemp = FOut.MultiVolume();
  std::unique_ptr<TZATempFile> temp;
  if (viaTemp) temp = std::make_unique<TZATempFile>(A.TempDir);
  TStream* target = viaTemp ? temp->Stream() : FOut.Stream();

  const int64_t offset = target->Position();
  if (!viaTemp) item.SetLocation(uint32_t(FOut.Number()), uint64_t(offset), FSettings);
  const TBytes header = item.LocalHeaderBytes(FSettings);
  WriteAll(target, header);

  const AnsiString shownName = StringReplace(item.FileName, "/", "\\", rfReplaceAll);
  const int64_t size = int64_t(item.UncompressedSize());
  const int64_t processedBefore = A.FBytesProcessed;
  bool writeFailed = false;
  TZAMemberSink sink;
  sink.Write = [&](const uint8_t* data, int32_t count) {
    for (;;) {
      const int64_t at = target->Position();
      if (target->Write(data, count) == count) return true;
      if (!A.RetryWrite(count)) {
        writeFailed = true;
        return false;
      }
      target->SetPosition(at);
    }
  };
  sink.Progress = [&](int64_t consumed) {
    A.FBytesProcessed = processedBefore + consumed;
    bool cancel = A.DoFileProgress(shownName, Percent(consumed, size), item.Operation, ppProcess);
    cancel = A.DoOverallProgress(Percent(A.FBytesProcessed, A.FBytesToProcess), item.Operation,
                                 ppProcess) ||
             cancel;
    if (cancel) A.FCancel = true;
    return cancel;
  };
  TZAMemberParams params;
  params.Method = item.Header.Method;
  params.Mode = item.CompressionMode;
  params.Password = item.Password;
  const TZACompressResult result =
      ZACompressMember(item.Stream.get(), item.StreamPosition, size, params, sink);
  A.FBytesProcessed = processedBefore + size;
  if (writeFailed) throw EZAException(46);
  if (!result.Completed) throw EAbort();

  item.SetResult(result.Crc32, result.CompressedSize, uint64_t(size), FSettings);
  const TBytes final = item.LocalHeaderBytes(FSettings);
  // The header was written with room for the sizes it turned out to need.
  if (final.size() != header.size()) throw EZAException(41, {item.FileName});
  target->SetPosition(offset);
  WriteAll(target, final);
  target->Seek(0, soEnd);
  if (viaTemp) CopyThroughVolumes(item, target, int32_t(header.size()));
  item.ReleaseSource();
  A.DoStoreFile(item.FileName);
}

void TZAUpdatePass::CopyThroughVolumes(TZADirItem& item, TStream* member, int32_t headerSize) {
  TBytes header(headerSize);
  member->SetPosition(0);
  member->ReadBuffer(header.data(), headerSize);
  FOut.Reserve(headerSize);
  item.SetLocation(uint32_t(FOut.Number()), uint64_t(FOut.Position()), FSettings);
  FOut.WriteRecord(header);
  if (!CopyOut(member, member->Size() - headerSize, true)) throw EAbort();
}

bool TZAUpdatePass::CopyOut(TStream* source, int64_t count, bool reportProgress) {
  TBytes buffer(size_t(std::min<int64_t>(std::max<int64_t>(count, 1), COPY_BLOCK)));
  int64_t done = 0;
  while (done < count) {
    if (reportProgress && A.DoCopyTempFileProgress(Percent(done, count), ppProcess)) {
      A.FCancel = true;
      return false;
    }
    const int32_t piece = int32_t(std::min<int64_t>(count - done, COPY_BLOCK));
    if (source->Read(buffer.data(), piece) != piece) throw EZAException(48);
    if (FOut.Write(buffer.data(), piece) != piece) throw EZAException(46);
    done += piece;
  }
  return true;
}

void TZAUpdatePass::Restore() {
  FOut.Rewind(FRestart);
  if (FTail && FOut.Stream()->CopyFrom(FTail, 0) != FTail->Size()) throw EZAException(46);
}

void TZAUpdatePass::ReleaseSources() {
  for (int32_t i = 0; i < FDir.Items.Count(); ++i) FDir.Items.Items(i).ReleaseSource();
}
