#pragma once
// Pull readers of the two formats the grid imports: tab separated text and
// the private binary format. Each reads a whole row before handing it out,
// so a format error leaves the row it was found in untouched.

#include <cstdint>
#include <vector>

#include "DBGridKsExportFormats.h"
#include "rtl/Streams.h"

// Cells separated by TAB, rows by CR LF; the data ends with the bytes. A
// zero byte is the format error: a clipboard block's text is cut at its
// zero before it comes here.
class TGridImportAsText {
 public:
  explicit TGridImportAsText(TStream& Source) : FSource(Source) {}

  // Reads the first character.
  void ReadPrefix() { Next(); }
  bool EndOfData() const { return FState == TState::End; }
  // The cells of the current row; then the first character of the next one
  // is read. A CR not followed by LF is the format error.
  std::vector<AnsiString> ReadRecord();

 private:
  enum class TState { Data, CellEnd, RowEnd, End, Broken };
  void Next();

  TStream& FSource;
  TState FState = TState::End;
  char FChar = 0;
};

struct TGridImportColumn {
  bool Visible = true;
  AnsiString Name;
};

// The binary format. Every length and count is checked against the bytes
// left before anything is read or allocated for it.
class TGridImportAsVCLDBIF {
 public:
  explicit TGridImportAsVCLDBIF(TStream& Source) : FSource(Source) {}

  // The header, the stored columns and the first value.
  void ReadPrefix();
  const std::vector<TGridImportColumn>& Columns() const { return FColumns; }
  bool NamesPresent() const { return FNamesPresent; }
  bool EndOfData() const { return FEnd && !FBroken; }
  // One value per stored column. An end tag within the row, an unknown tag
  // or a short value is the format error, and the row is not handed out.
  std::vector<TExportValue> ReadRecord();

 private:
  void ReadValue();
  void ReadAhead();
  uint8_t ReadByte();
  uint64_t ReadLittleEndian(int Size);
  int64_t BytesLeft();

  TStream& FSource;
  std::vector<TGridImportColumn> FColumns;
  bool FNamesPresent = false;
  bool FEnd = true;
  bool FBroken = false;
  TExportValue FValue;
};
