#pragma once
// The grid's export formats over rows of cells that need no window: tab
// separated text, CSV, an RTF table and the private binary format. The
// Windows side turns columns, footers and events into these rows.

#include <cstdint>
#include <vector>

#include "db/DB.h"
#include "rtl/Classes.h"
#include "rtl/Streams.h"
#include "rtl/Types.h"

struct TExportRgb {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  friend auto operator<=>(TExportRgb, TExportRgb) = default;
};

struct TExportFont {
  AnsiString Name = "MS Sans Serif";
  int Size = 8;
  bool Bold = false;
  bool Italic = false;
  bool StrikeOut = false;
  bool Underline = false;
  TExportRgb Color;
};

// The tags of the binary format; a value's kind is its tag.
enum class TExportValueKind : uint8_t {
  NoField = 1,
  Null = 2,
  Integer = 3,
  Float = 4,
  String = 5,
  Bytes = 6,
};

// A field's typed value as the binary format carries it.
struct TExportValue {
  TExportValueKind Kind = TExportValueKind::NoField;
  int32_t Integer = 0;
  double Float = 0;
  AnsiString Bytes;  // the string value, or the value as a byte string
};

// A field's value by its type; NoField without a field or for types the
// format does not carry. Null before the type.
TExportValue ExportFieldValue(TField* Field);

// Which cell borders an RTF cell keeps: a title spanning several cells keeps
// only the borders on its outline.
struct TExportBorders {
  bool Left = true;
  bool Top = true;
  bool Bottom = true;
  bool Right = true;
};

struct TExportCell {
  AnsiString Text;
  TExportFont Font;
  TExportRgb Background{255, 255, 255};
  TAlignment Alignment = taLeftJustify;
  int WidthPixels = 64;
  bool Visible = true;
  TExportBorders Borders;
  TExportValue Value;
};

using TExportRow = std::vector<TExportCell>;

// Receives the rows of one export in order: prefix, titles, records, footers,
// suffix. Each format writes what it needs and ignores the rest.
class TDBGridKsExport {
 public:
  explicit TDBGridKsExport(TStream& Target) : FTarget(Target) {}
  virtual ~TDBGridKsExport() = default;

  // The exported columns, one cell each, before anything else.
  virtual void WritePrefix(const TExportRow&) {}
  virtual void WriteSuffix() {}
  virtual void WriteTitle(const TExportRow&) {}
  // Each cell through WriteDataCell.
  virtual void WriteRecord(const TExportRow& Row);
  virtual void WriteDataCell(const TExportCell&) {}
  // Each cell through WriteFooterCell.
  virtual void WriteFooter(const TExportRow& Row);
  virtual void WriteFooterCell(const TExportCell&) {}

 protected:
  void Write(const AnsiString& Text);
  TStream& FTarget;
};

// Cells separated by TAB, rows by CR LF, with no CR LF after the last row and
// the texts as they are. A row is put together in FLine and written in one go.
class TDBGridKsExportAsText : public TDBGridKsExport {
 public:
  using TDBGridKsExport::TDBGridKsExport;
  void WriteTitle(const TExportRow& Row) override;
  void WriteRecord(const TExportRow& Row) override;
  void WriteDataCell(const TExportCell& Cell) override { WriteCellText(Cell.Text); }
  void WriteFooter(const TExportRow& Row) override;
  void WriteFooterCell(const TExportCell& Cell) override { WriteCellText(Cell.Text); }

 protected:
  virtual char CellSeparator() const { return '\t'; }
  virtual AnsiString CellText(const AnsiString& Text) const { return Text; }

 private:
  // CR LF before every row but the first.
  void WriteRowSeparator();
  // The separator before every cell of a row but the first.
  void WriteCellSeparator();
  void WriteCellText(const AnsiString& Text);
  void BeginRow();
  void EndRow();
  bool FFirstRow = true;
  bool FFirstCell = true;
  AnsiString FLine;
};

// The separator used by CSV exporters created from now on.
extern char CsvSeparator;

// As text, with the separator character between cells and every text in
// double quotes, inner quotes doubled.
class TDBGridKsExportAsCSV : public TDBGridKsExportAsText {
 public:
  explicit TDBGridKsExportAsCSV(TStream& Target)
      : TDBGridKsExportAsText(Target), FSeparator(CsvSeparator) {}

 protected:
  char CellSeparator() const override { return FSeparator; }
  AnsiString CellText(const AnsiString& Text) const override;

 private:
  char FSeparator;
};

// An RTF table, one table row per grid row, with the colour and font tables
// collected while the body is written. Texts are cp1251: the header names
// the code page and each byte from 0x80 goes out as its Unicode character
// with the cp1251 byte as the fallback, so readers that honour either one
// show the Cyrillic.
class TDBGridKsExportAsRTF : public TDBGridKsExport {
 public:
  // ButtonFace: the button-face colour; PixelsPerInch: the grid canvas's
  // horizontal resolution, for the cell positions; Flat: the grid's Flat,
  // which narrows the space above and below each cell.
  TDBGridKsExportAsRTF(TStream& Target, TExportRgb ButtonFace, int PixelsPerInch, bool Flat);

  // Closes the body and writes the header, the tables and the body.
  void WriteSuffix() override;
  void WriteTitle(const TExportRow& Row) override;
  void WriteRecord(const TExportRow& Row) override;
  void WriteDataCell(const TExportCell& Cell) override { WriteCell(Cell); }
  void WriteFooter(const TExportRow& Row) override;
  void WriteFooterCell(const TExportCell& Cell) override { WriteCell(Cell); }

 private:
  // A table row's cell borders, shading and right edges.
  void BeginTableRow(const TExportRow& Row);
  void EndTableRow();
  void WriteCell(const TExportCell& Cell);
  int ColourIndex(TExportRgb Colour);
  int FontIndex(const AnsiString& Name);

  int FPixelsPerInch;
  bool FFlat;
  // The body in blocks, the last one being written: one growing string
  // would copy itself over and over.
  std::vector<AnsiString> FBodyBlocks;
  AnsiString FBody;
  std::vector<TExportRgb> FColours;
  std::vector<AnsiString> FFonts;
};

// The private binary format: a header naming the columns' count and
// visibility, then one tagged value per column and record, then the end tag.
// Integers little-endian, field by field.
class TDBGridKsExportAsVCLDBIF : public TDBGridKsExport {
 public:
  using TDBGridKsExport::TDBGridKsExport;
  void WritePrefix(const TExportRow& Columns) override;
  void WriteSuffix() override;
  // The values of a record are put together in FRecord and written in one go.
  void WriteRecord(const TExportRow& Row) override;
  void WriteDataCell(const TExportCell& Cell) override;

 private:
  AnsiString FRecord;
};
