#include "DBGridKsExportFormats.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <string>

#include "rtl/AnsiText.h"

char CsvSeparator = ';';

void TDBGridKsExport::Write(const AnsiString& Text) {
  FTarget.WriteBuffer(Text.data(), static_cast<int32_t>(Text.size()));
}

void TDBGridKsExport::WriteRecord(const TExportRow& Row) {
  for (const TExportCell& cell : Row) WriteDataCell(cell);
}

void TDBGridKsExport::WriteFooter(const TExportRow& Row) {
  for (const TExportCell& cell : Row) WriteFooterCell(cell);
}

void TDBGridKsExportAsText::WriteRowSeparator() {
  if (!FFirstRow) FLine += "\r\n";
  FFirstRow = false;
}

void TDBGridKsExportAsText::WriteCellSeparator() {
  if (!FFirstCell) FLine += CellSeparator();
  FFirstCell = false;
}

void TDBGridKsExportAsText::WriteCellText(const AnsiString& Text) {
  WriteCellSeparator();
  FLine += CellText(Text);
}

void TDBGridKsExportAsText::BeginRow() {
  FLine.clear();
  WriteRowSeparator();
  FFirstCell = true;
}

void TDBGridKsExportAsText::EndRow() { Write(FLine); }

void TDBGridKsExportAsText::WriteTitle(const TExportRow& Row) {
  BeginRow();
  for (const TExportCell& cell : Row) WriteCellText(cell.Text);
  EndRow();
}

void TDBGridKsExportAsText::WriteRecord(const TExportRow& Row) {
  BeginRow();
  TDBGridKsExport::WriteRecord(Row);
  EndRow();
}

void TDBGridKsExportAsText::WriteFooter(const TExportRow& Row) {
  BeginRow();
  TDBGridKsExport::WriteFooter(Row);
  EndRow();
}

AnsiString TDBGridKsExportAsCSV::CellText(const AnsiString& Text) const {
  AnsiString quoted = "\"";
  for (char c : Text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

TDBGridKsExportAsRTF::TDBGridKsExportAsRTF(TStream& Target, TExportRgb ButtonFace,
                                           int PixelsPerInch, bool Flat)
    : TDBGridKsExport(Target), FPixelsPerInch(PixelsPerInch), FFlat(Flat) {
  ColourIndex({0, 0, 0});
  ColourIndex({255, 255, 255});
  ColourIndex(ButtonFace);
}

int TDBGridKsExportAsRTF::ColourIndex(TExportRgb Colour) {
  const auto found = std::find(FColours.begin(), FColours.end(), Colour);
  if (found != FColours.end()) return static_cast<int>(found - FColours.begin());
  FColours.push_back(Colour);
  return static_cast<int>(FColours.size()) - 1;
}

int TDBGridKsExportAsRTF::FontIndex(const AnsiString& Name) {
  const auto found = std::find(FFonts.begin(), FFonts.end(), Name);
  if (found != FFonts.end()) return static_cast<int>(found - FFonts.begin());
  FFonts.push_back(Name);
  return static_cast<int>(FFonts.size()) - 1;
}

namespace {

// Numbers go straight into the body, without a string each: a cell has
// several, and the body is most of an RTF export's work.
void AppendNumber(AnsiString& Out, long long Value) {
  char digits[24];
  Out.append(digits, std::to_chars(digits, digits + sizeof digits, Value).ptr);
}

constexpr size_t BodyBlock = 1 << 20;

}  // namespace

void TDBGridKsExportAsRTF::BeginTableRow(const TExportRow& Row) {
  FBody += "\\trowd\\trgaph40\r\n";
  long long x = 0;
  for (const TExportCell& cell : Row) {
    if (cell.Borders.Left) FBody += "\\clbrdrl\\brdrs\\brdrcf0\r\n";
    if (cell.Borders.Top) FBody += "\\clbrdrt\\brdrs\\brdrcf0\r\n";
    if (cell.Borders.Bottom) FBody += "\\clbrdrb\\brdrs\\brdrcf0\r\n";
    if (cell.Borders.Right) FBody += "\\clbrdrr\\brdrs\\brdrcf0\r\n";
    // Halves to even, as the processor rounds by default.
    x += std::llrint(static_cast<double>(cell.WidthPixels) / FPixelsPerInch * 1440);
    FBody += "\\clshdng10000\\clcfpat";
    AppendNumber(FBody, ColourIndex(cell.Background));
    FBody += "\\cellx";
    AppendNumber(FBody, x);
    FBody += "\r\n";
  }
  FBody += "{\\trrh0\r\n";
}

void TDBGridKsExportAsRTF::EndTableRow() {
  FBody += "\\pard\\intbl\\row}\r\n";
  if (FBody.size() >= BodyBlock) {
    FBodyBlocks.push_back(std::move(FBody));
    FBody = AnsiString();
    FBody.reserve(2 * BodyBlock);
  }
}

void TDBGridKsExportAsRTF::WriteTitle(const TExportRow& Row) {
  BeginTableRow(Row);
  for (const TExportCell& cell : Row) WriteCell(cell);
  EndTableRow();
}

void TDBGridKsExportAsRTF::WriteRecord(const TExportRow& Row) {
  BeginTableRow(Row);
  TDBGridKsExport::WriteRecord(Row);
  EndTableRow();
}

void TDBGridKsExportAsRTF::WriteFooter(const TExportRow& Row) {
  BeginTableRow(Row);
  TDBGridKsExport::WriteFooter(Row);
  EndTableRow();
}

void TDBGridKsExportAsRTF::WriteCell(const TExportCell& Cell) {
  static const char* const alignments[] = {"\\ql", "\\qr", "\\qc"};
  static const char hex[] = "0123456789abcdef";
  FBody += "\\pard\\intbl{";
  FBody += alignments[Cell.Alignment];
  FBody += FFlat ? "\\sb12\\sa12" : "\\sb24\\sa24";
  FBody += "\\fs";
  AppendNumber(FBody, Cell.Font.Size * 2);
  if (Cell.Font.Bold) FBody += "\\b";
  if (Cell.Font.Italic) FBody += "\\i";
  if (Cell.Font.StrikeOut) FBody += "\\strike";
  if (Cell.Font.Underline) FBody += "\\ul";
  FBody += "\\f";
  AppendNumber(FBody, FontIndex(Cell.Font.Name));
  FBody += "\\cf";
  AppendNumber(FBody, ColourIndex(Cell.Font.Color));
  FBody += "\\cb";
  AppendNumber(FBody, ColourIndex(Cell.Background));
  FBody += ' ';
  const AnsiString& text = Cell.Text;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<uint8_t>(c);
    // Readers drop a line break or a tab written as it is.
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      FBody += "\\line ";
    } else if (c == '\t') {
      FBody += "\\tab ";
    } else if (c == '\\' || c == '{' || c == '}') {
      FBody += '\\';
      FBody += c;
    } else if (byte >= 0x80) {
      // Its Unicode character, then the cp1251 byte for readers without.
      FBody += "\\u";
      AppendNumber(FBody, static_cast<unsigned>(AnsiCharToWide(c)));
      FBody += "\\'";
      FBody += hex[byte >> 4];
      FBody += hex[byte & 0xF];
    } else {
      FBody += c;
    }
  }
  FBody += "\\cell}\r\n";
}

void TDBGridKsExportAsRTF::WriteSuffix() {
  FBody += "}";
  Write("{\\rtf0\\ansi\\ansicpg1251\\uc1\r\n");
  Write("{\\colortbl");
  for (TExportRgb colour : FColours)
    Write("\\red" + std::to_string(colour.R) + "\\green" + std::to_string(colour.G) + "\\blue" +
          std::to_string(colour.B) + ";");
  Write("}\r\n");
  Write("{\\fonttbl");
  for (size_t i = 0; i < FFonts.size(); ++i)
    Write("\\f" + std::to_string(i) + "\\fnil\\fcharset204 " + FFonts[i] + ";");
  Write("}\r\n");
  for (const AnsiString& block : FBodyBlocks) Write(block);
  Write(FBody);
}

namespace {

void AppendLittleEndian(AnsiString& Out, uint64_t Value, int Size) {
  for (int i = 0; i < Size; ++i) Out += static_cast<char>(Value >> (8 * i));
}

void AppendValue(AnsiString& Out, const TExportValue& Value) {
  Out += static_cast<char>(Value.Kind);
  switch (Value.Kind) {
    case TExportValueKind::NoField:
    case TExportValueKind::Null:
      break;
    case TExportValueKind::Integer:
      AppendLittleEndian(Out, static_cast<uint32_t>(Value.Integer), 4);
      break;
    case TExportValueKind::Float:
      AppendLittleEndian(Out, std::bit_cast<uint64_t>(Value.Float), 8);
      break;
    case TExportValueKind::String:
    case TExportValueKind::Bytes:
      AppendLittleEndian(Out, Value.Bytes.size(), 4);
      Out += Value.Bytes;
      break;
  }
}

}  // namespace

TExportValue ExportFieldValue(TField* Field) {
  TExportValue value;
  if (Field == nullptr) return value;
  if (Field->IsNull()) {
    value.Kind = TExportValueKind::Null;
    return value;
  }
  switch (Field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
      value.Kind = TExportValueKind::Integer;
      value.Integer = Field->AsInteger();
      break;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
      value.Kind = TExportValueKind::Float;
      value.Float = Field->AsFloat();
      break;
    case ftString:
    case ftBoolean:
    case ftMemo:
    case ftFixedChar:
    case ftLargeint:
    case ftOraClob:
    case ftGuid:
      value.Kind = TExportValueKind::String;
      value.Bytes = Field->AsString();
      break;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftWideString:
    case ftOraBlob:
      value.Kind = TExportValueKind::Bytes;
      value.Bytes = Field->AsString();
      break;
    default:
      break;
  }
  return value;
}

// Each part is put together in memory and written in one go.
void TDBGridKsExportAsVCLDBIF::WritePrefix(const TExportRow& Columns) {
  AnsiString header = "VCLDBIF\x01";
  AppendLittleEndian(header, Columns.size(), 4);
  for (const TExportCell& column : Columns) {
    header += column.Visible ? '\x01' : '\x00';
    header += '\x00';
  }
  Write(header);
}

void TDBGridKsExportAsVCLDBIF::WriteRecord(const TExportRow& Row) {
  FRecord.clear();
  TDBGridKsExport::WriteRecord(Row);
  Write(FRecord);
}

void TDBGridKsExportAsVCLDBIF::WriteDataCell(const TExportCell& Cell) {
  AppendValue(FRecord, Cell.Value);
}

void TDBGridKsExportAsVCLDBIF::WriteSuffix() { Write(AnsiString(1, '\x00')); }
