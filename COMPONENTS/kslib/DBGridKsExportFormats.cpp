#include "DBGridKsExportFormats.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "rtl/AnsiText.h"

char CsvSeparator = ';';

void TGridExportWriter::Write(const AnsiString& Text) {
  FTarget.WriteBuffer(Text.data(), static_cast<int32_t>(Text.size()));
}

void TGridExportAsText::WriteRow(const TExportRow& Row) {
  AnsiString line = FFirstRow ? "" : "\r\n";
  FFirstRow = false;
  for (size_t i = 0; i < Row.size(); ++i) {
    if (i > 0) line += CellSeparator();
    line += CellText(Row[i].Text);
  }
  Write(line);
}

void TGridExportAsText::WriteTitle(const TExportRow& Row) { WriteRow(Row); }
void TGridExportAsText::WriteRecord(const TExportRow& Row) { WriteRow(Row); }
void TGridExportAsText::WriteFooter(const TExportRow& Row) { WriteRow(Row); }

AnsiString TGridExportAsCSV::CellText(const AnsiString& Text) const {
  AnsiString quoted = "\"";
  for (char c : Text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

TGridExportAsRTF::TGridExportAsRTF(TStream& Target, TExportRgb ButtonFace, int PixelsPerInch,
                                   bool Flat)
    : TGridExportWriter(Target), FPixelsPerInch(PixelsPerInch), FFlat(Flat) {
  ColourIndex({0, 0, 0});
  ColourIndex({255, 255, 255});
  ColourIndex(ButtonFace);
}

int TGridExportAsRTF::ColourIndex(TExportRgb Colour) {
  const auto found = std::find(FColours.begin(), FColours.end(), Colour);
  if (found != FColours.end()) return static_cast<int>(found - FColours.begin());
  FColours.push_back(Colour);
  return static_cast<int>(FColours.size()) - 1;
}

int TGridExportAsRTF::FontIndex(const AnsiString& Name) {
  const auto found = std::find(FFonts.begin(), FFonts.end(), Name);
  if (found != FFonts.end()) return static_cast<int>(found - FFonts.begin());
  FFonts.push_back(Name);
  return static_cast<int>(FFonts.size()) - 1;
}

void TGridExportAsRTF::WriteTableRow(const TExportRow& Row) {
  FBody += "\\trowd\\trgaph40\r\n";
  long long x = 0;
  for (const TExportCell& cell : Row) {
    if (cell.Borders.Left) FBody += "\\clbrdrl\\brdrs\\brdrcf0\r\n";
    if (cell.Borders.Top) FBody += "\\clbrdrt\\brdrs\\brdrcf0\r\n";
    if (cell.Borders.Bottom) FBody += "\\clbrdrb\\brdrs\\brdrcf0\r\n";
    if (cell.Borders.Right) FBody += "\\clbrdrr\\brdrs\\brdrcf0\r\n";
    // Halves to even, as the processor rounds by default.
    x += std::llrint(static_cast<double>(cell.WidthPixels) / FPixelsPerInch * 1440);
    FBody += "\\clshdng10000\\clcfpat" + std::to_string(ColourIndex(cell.Background));
    FBody += "\\cellx" + std::to_string(x) + "\r\n";
  }
  FBody += "{\\trrh0\r\n";
  for (const TExportCell& cell : Row) WriteCell(cell);
  FBody += "\\pard\\intbl\\row}\r\n";
}

void TGridExportAsRTF::WriteCell(const TExportCell& Cell) {
  static const char* const alignments[] = {"\\ql", "\\qr", "\\qc"};
  const char* const space = FFlat ? "12" : "24";
  AnsiString cell = "\\pard\\intbl{";
  cell += alignments[Cell.Alignment];
  cell += AnsiString("\\sb") + space + "\\sa" + space;
  cell += "\\fs" + std::to_string(Cell.Font.Size * 2);
  if (Cell.Font.Bold) cell += "\\b";
  if (Cell.Font.Italic) cell += "\\i";
  if (Cell.Font.StrikeOut) cell += "\\strike";
  if (Cell.Font.Underline) cell += "\\ul";
  cell += "\\f" + std::to_string(FontIndex(Cell.Font.Name));
  cell += "\\cf" + std::to_string(ColourIndex(Cell.Font.Color));
  cell += "\\cb" + std::to_string(ColourIndex(Cell.Background));
  cell += ' ';
  const AnsiString& text = Cell.Text;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<uint8_t>(c);
    // Readers drop a line break or a tab written as it is.
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      cell += "\\line ";
    } else if (c == '\t') {
      cell += "\\tab ";
    } else if (c == '\\' || c == '{' || c == '}') {
      cell += '\\';
      cell += c;
    } else if (byte >= 0x80) {
      char fallback[8];
      std::snprintf(fallback, sizeof fallback, "\\'%02x", byte);
      cell += "\\u" + std::to_string(static_cast<unsigned>(AnsiCharToWide(c))) + fallback;
    } else {
      cell += c;
    }
  }
  FBody += cell + "\\cell}\r\n";
}

void TGridExportAsRTF::WriteSuffix() {
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
void TGridExportAsVCLDBIF::WritePrefix(const TExportRow& Columns) {
  AnsiString header = "VCLDBIF\x01";
  AppendLittleEndian(header, Columns.size(), 4);
  for (const TExportCell& column : Columns) {
    header += column.Visible ? '\x01' : '\x00';
    header += '\x00';
  }
  Write(header);
}

void TGridExportAsVCLDBIF::WriteRecord(const TExportRow& Row) {
  AnsiString record;
  for (const TExportCell& cell : Row) AppendValue(record, cell.Value);
  Write(record);
}

void TGridExportAsVCLDBIF::WriteSuffix() { Write(AnsiString(1, '\x00')); }
