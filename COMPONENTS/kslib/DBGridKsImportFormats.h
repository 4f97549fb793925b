#pragma once
// Pull readers of the two formats the grid imports: tab separated text and
// the private binary format. Each reads a whole row before handing it out,
// so a format error leaves the row it was found in untouched.

#include <cstdint>
#include <vector>

#include "DBGridKsExportFormats.h"
#include "rtl/Streams.h"

// The readers' bytes, taken from their stream a block at a time: a file
// stream pays a system call per read. The bytes taken but not read go back
// to the stream when the source goes, so the stream stands after the last
// byte read, as it would after reading byte by byte.
class TGridImportSource {
 public:
  explicit TGridImportSource(TStream& Stream);
  ~TGridImportSource();
  TGridImportSource(const TGridImportSource&) = delete;
  TGridImportSource& operator=(const TGridImportSource&) = delete;

  // Reads one byte; false at the end.
  bool ReadByte(char& Byte) {
    if (FNext == FEnd && !Fill()) return false;
    Byte = FBuffer[FNext++];
    return true;
  }
  // Up to Count bytes; returns how many were read.
  int64_t Read(void* Buffer, int64_t Count);
  int64_t BytesLeft() const { return FStreamLeft + static_cast<int64_t>(FEnd - FNext); }

 private:
  bool Fill();

  TStream& FStream;
  int64_t FStreamLeft;
  std::vector<char> FBuffer;
  size_t FNext = 0;
  size_t FEnd = 0;
};

// Cells separated by TAB, rows by CR LF; the data ends with the bytes. A
// zero byte is the format error: a clipboard block's text is cut at its
// zero before it comes here.
class TDBGridKsImportAsText {
 public:
  explicit TDBGridKsImportAsText(TStream& Source) : FSource(Source) {}

  // Reads the first character.
  void ReadPrefix() { Next(); }
  bool EndOfData() const { return FState == TState::End; }
  // The cells of the current row, valid until the next call; then the first
  // character of the next one is read. A CR not followed by LF is the
  // format error.
  const std::vector<AnsiString>& ReadRecord();

 private:
  enum class TState { Data, CellEnd, RowEnd, End, Broken };
  void Next();

  TGridImportSource FSource;
  TState FState = TState::End;
  char FChar = 0;
  std::vector<AnsiString> FCells;
};

struct TGridImportColumn {
  bool Visible = true;
  AnsiString Name;
};

// The binary format. Every length and count is checked against the bytes
// left before anything is read or allocated for it.
class TDBGridKsImportAsVCLDBIF {
 public:
  explicit TDBGridKsImportAsVCLDBIF(TStream& Source) : FSource(Source) {}

  // The header, the stored columns and the first value.
  void ReadPrefix();
  const std::vector<TGridImportColumn>& Columns() const { return FColumns; }
  bool NamesPresent() const { return FNamesPresent; }
  bool EndOfData() const { return FEnd && !FBroken; }
  // One value per stored column, valid until the next call. An end tag
  // within the row, an unknown tag or a short value is the format error,
  // and the row is not handed out.
  const std::vector<TExportValue>& ReadRecord();

 private:
  void ReadValue();
  void ReadAhead();
  uint8_t ReadByte();
  uint64_t ReadLittleEndian(int Size);

  TGridImportSource FSource;
  std::vector<TGridImportColumn> FColumns;
  bool FNamesPresent = false;
  bool FEnd = true;
  bool FBroken = false;
  TExportValue FValue;
  std::vector<TExportValue> FValues;
};
