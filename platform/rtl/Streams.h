// Streams: the abstract TStream and its file and memory back ends.
#pragma once

#include "rtl/SysUtils.h"

KS_EXCEPTION(EStreamError, Exception);
KS_EXCEPTION(EReadError, EStreamError);
KS_EXCEPTION(EWriteError, EStreamError);
KS_EXCEPTION(EFCreateError, EStreamError);
KS_EXCEPTION(EFOpenError, EStreamError);

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// File open modes: one access mode or'ed with one share mode. fmCreate
// creates or truncates the file for reading and writing.
enum : uint32_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,  // treated as exclusive, like the platform
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,
};

class TStream {
 public:
  virtual ~TStream() = default;
  // Transfer up to `count` bytes; return how many were transferred.
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size);

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  // All or nothing: EReadError / EWriteError on a short transfer.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies `count` bytes from the source's position; 0 copies the whole
  // source from its start. Returns the number of bytes copied.
  int64_t CopyFrom(TStream* source, int64_t count);
};

class THandleStream : public TStream {
 public:
  explicit THandleStream(THandle handle) : handle_(handle) {}
  THandle Handle() const { return handle_; }
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

 protected:
  THandle handle_;
};

class TFileStream : public THandleStream {
 public:
  // EFCreateError / EFOpenError naming the file when it cannot be opened.
  TFileStream(const AnsiString& fileName, uint32_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  const AnsiString& FileName() const { return fileName_; }

 private:
  AnsiString fileName_;
};

// A stream over bytes held in memory.
class TCustomMemoryStream : public TStream {
 public:
  int32_t Read(void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void* Memory() { return data_.data(); }
  void SaveToStream(TStream* stream);
  void SaveToFile(const AnsiString& fileName);

 protected:
  TBytes data_;
  int64_t position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
 public:
  // Writing past the end grows the stream; a gap left by seeking is zeros.
  int32_t Write(const void* buffer, int32_t count) override;
  void SetSize(int64_t size) override;
  void Clear();
  // Replace the content and rewind.
  void LoadFromStream(TStream* stream);
  void LoadFromFile(const AnsiString& fileName);
};

class TBytesStream : public TMemoryStream {
 public:
  explicit TBytesStream(const TBytes& bytes = TBytes()) { data_ = bytes; }
  const TBytes& Bytes() const { return data_; }
};

class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(const AnsiString& s = AnsiString()) { data_.assign(s.begin(), s.end()); }
  AnsiString DataString() const { return AnsiString(data_.begin(), data_.end()); }
};
