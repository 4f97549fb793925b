#include "DBGridKsImportFormats.h"

#include <bit>

namespace {

[[noreturn]] void TextFormatError() {
  throw Exception("TDBGridKsImportAsText.CheckState: Неверный формат текста");
}

[[noreturn]] void BinaryFormatError() {
  throw Exception("TDBGridKsImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF");
}

}  // namespace

// A broken character fails the row it begins or belongs to, not the one
// before it.
void TGridImportAsText::Next() {
  if (FSource.Read(&FChar, 1) != 1) {
    FState = TState::End;
  } else if (FChar == '\0') {
    FState = TState::Broken;
  } else if (FChar == '\t') {
    FState = TState::CellEnd;
  } else if (FChar == '\r') {
    char following = 0;
    FState = FSource.Read(&following, 1) == 1 && following == '\n' ? TState::RowEnd : TState::Broken;
  } else {
    FState = TState::Data;
  }
}

std::vector<AnsiString> TGridImportAsText::ReadRecord() {
  std::vector<AnsiString> cells(1);
  for (;;) {
    switch (FState) {
      case TState::Data:
        cells.back() += FChar;
        Next();
        break;
      case TState::CellEnd:
        cells.emplace_back();
        Next();
        break;
      case TState::RowEnd:
        Next();
        return cells;
      case TState::End:
        return cells;
      case TState::Broken:
        TextFormatError();
    }
  }
}

int64_t TGridImportAsVCLDBIF::BytesLeft() { return FSource.Size() - FSource.Position(); }

uint8_t TGridImportAsVCLDBIF::ReadByte() {
  uint8_t byte = 0;
  if (FSource.Read(&byte, 1) != 1) BinaryFormatError();
  return byte;
}

uint64_t TGridImportAsVCLDBIF::ReadLittleEndian(int Size) {
  uint8_t bytes[8] = {};
  if (FSource.Read(bytes, Size) != Size) BinaryFormatError();
  uint64_t value = 0;
  for (int i = Size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

void TGridImportAsVCLDBIF::ReadPrefix() {
  char header[12];
  if (FSource.Read(header, sizeof header) != sizeof header ||
      AnsiString(header, 7) != "VCLDBIF")
    BinaryFormatError();
  uint32_t count = 0;
  for (int i = 11; i >= 8; --i) count = count << 8 | static_cast<uint8_t>(header[i]);
  // Each column takes at least its flag and the name's zero.
  if (count > BytesLeft() / 2) BinaryFormatError();
  FColumns.assign(count, {});
  for (TGridImportColumn& column : FColumns) {
    column.Visible = ReadByte() != 0;
    for (uint8_t c = ReadByte(); c != 0; c = ReadByte()) column.Name += static_cast<char>(c);
    if (!column.Name.empty()) FNamesPresent = true;
  }
  // Rows of no values would carry nothing and never reach the end tag.
  FEnd = FColumns.empty();
  if (!FEnd) ReadAhead();
}

// A row's first value, or the end. A broken one fails that row's reading,
// not the row before it.
void TGridImportAsVCLDBIF::ReadAhead() {
  try {
    ReadValue();
  } catch (const Exception&) {
    FBroken = true;
  }
}

void TGridImportAsVCLDBIF::ReadValue() {
  FValue = TExportValue();
  switch (const uint8_t tag = ReadByte()) {
    case 0:
      FEnd = true;
      break;
    case 2:
      FValue.Kind = TExportValueKind::Null;
      break;
    case 3:
      FValue.Kind = TExportValueKind::Integer;
      FValue.Integer = static_cast<int32_t>(ReadLittleEndian(4));
      break;
    case 4:
      FValue.Kind = TExportValueKind::Float;
      FValue.Float = std::bit_cast<double>(ReadLittleEndian(8));
      break;
    case 5:
    case 6: {
      const uint64_t length = ReadLittleEndian(4);
      if (length > static_cast<uint64_t>(BytesLeft())) BinaryFormatError();
      FValue.Kind = static_cast<TExportValueKind>(tag);
      FValue.Bytes.resize(length);
      FSource.ReadBuffer(FValue.Bytes.data(), static_cast<int32_t>(length));
      break;
    }
    case 1:
      break;
    default:
      BinaryFormatError();
  }
}

std::vector<TExportValue> TGridImportAsVCLDBIF::ReadRecord() {
  if (FBroken) BinaryFormatError();
  std::vector<TExportValue> values(FColumns.size());
  values[0] = FValue;
  for (size_t k = 1; k < values.size(); ++k) {
    ReadValue();
    // The end comes between rows only.
    if (FEnd) BinaryFormatError();
    values[k] = FValue;
  }
  ReadAhead();
  return values;
}
