#include "rtl/Streams.h"

#include <algorithm>
#include <cstring>

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Ошибка чтения потока");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Ошибка записи в поток");
}

int64_t TStream::CopyFrom(TStream* source, int64_t count) {
  if (count == 0) {
    source->SetPosition(0);
    count = source->Size();
  }
  const int64_t total = count;
  char buffer[64 * 1024];
  while (count > 0) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, sizeof buffer));
    source->ReadBuffer(buffer, n);
    WriteBuffer(buffer, n);
    count -= n;
  }
  return total;
}

int32_t THandleStream::Read(void* buffer, int32_t count) {
  int32_t n = FileRead(handle_, buffer, count);
  return n < 0 ? 0 : n;
}

int32_t THandleStream::Write(const void* buffer, int32_t count) {
  int32_t n = FileWrite(handle_, buffer, count);
  return n < 0 ? 0 : n;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  return FileSeek(handle_, offset, origin);
}

void THandleStream::SetSize(int64_t size) {
  int64_t pos = Position();
  Seek(size, soBeginning);
  if (!FileTruncate(handle_)) RaiseLastOSError();
  Seek(std::min(pos, size), soBeginning);
}

TFileStream::TFileStream(const AnsiString& fileName, uint32_t mode)
    : THandleStream(InvalidHandle), fileName_(fileName) {
  if ((mode & fmCreate) == fmCreate) {
    handle_ = FileCreate(fileName, mode & 0xFF);
    if (handle_ == InvalidHandle)
      throw EFCreateError(
          Format("Невозможно создать файл \"%s\". %s", {fileName, LastOSErrorText()}));
  } else {
    handle_ = FileOpen(fileName, mode);
    if (handle_ == InvalidHandle)
      throw EFOpenError(
          Format("Невозможно открыть файл \"%s\". %s", {fileName, LastOSErrorText()}));
  }
}

TFileStream::~TFileStream() { FileClose(handle_); }

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ < 0 || position_ >= size) return 0;
  int32_t n = static_cast<int32_t>(std::min<int64_t>(count, size - position_));
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning:
      position_ = offset;
      break;
    case soCurrent:
      position_ += offset;
      break;
    case soEnd:
      position_ = Size() + offset;
      break;
  }
  return position_;
}

void TCustomMemoryStream::SaveToStream(TStream* stream) {
  stream->WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
}

void TCustomMemoryStream::SaveToFile(const AnsiString& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(&file);
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  // A position before the start has nowhere to write to.
  if (count <= 0 || position_ < 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, count);
  position_ = end;
  return count;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  position_ = std::min(position_, Size());
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream) {
  stream->SetPosition(0);
  int64_t size = stream->Size();
  SetSize(size);
  if (size) stream->ReadBuffer(data_.data(), static_cast<int32_t>(size));
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&file);
}
