#include "DBGridKsImportFormats.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

[[noreturn]] void TextFormatError() {
  throw Exception("TDBGridKsImportAsText.CheckState: Неверный формат текста");
}

[[noreturn]] void BinaryFormatError() {
  throw Exception("TDBGridKsImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF");
}

// Large enough that the calls to the stream no longer count.
constexpr size_t SourceBlock = 64 * 1024;

}  // namespace

TGridImportSource::TGridImportSource(TStream& Stream)
    : FStream(Stream), FStreamLeft(std::max<int64_t>(Stream.Size() - Stream.Position(), 0)) {}

TGridImportSource::~TGridImportSource() {
  if (FNext == FEnd) return;
  try {
    FStream.Seek(-static_cast<int64_t>(FEnd - FNext), soCurrent);
  } catch (const Exception&) {
    // A stream that cannot seek back stays where the reading left it.
  }
}

bool TGridImportSource::Fill() {
  FBuffer.resize(SourceBlock);
  FNext = 0;
  FEnd = static_cast<size_t>(
      std::max(FStream.Read(FBuffer.data(), static_cast<int32_t>(SourceBlock)), 0));
  FStreamLeft = std::max<int64_t>(FStreamLeft - static_cast<int64_t>(FEnd), 0);
  return FEnd > 0;
}

int64_t TGridImportSource::Read(void* Buffer, int64_t Count) {
  auto* out = static_cast<char*>(Buffer);
  int64_t done = 0;
  while (done < Count && (FNext < FEnd || Fill())) {
    const size_t part = std::min(FEnd - FNext, static_cast<size_t>(Count - done));
    std::memcpy(out + done, FBuffer.data() + FNext, part);
    FNext += part;
    done += static_cast<int64_t>(part);
  }
  return done;
}

// A broken character fails the row it begins or belongs to, not the one
// before it.
void TDBGridKsImportAsText::Next() {
  if (!FSource.ReadByte(FChar)) {
    FState = TState::End;
  } else if (FChar == '\0') {
    FState = TState::Broken;
  } else if (FChar == '\t') {
    FState = TState::CellEnd;
  } else if (FChar == '\r') {
    char following = 0;
    FState = FSource.ReadByte(following) && following == '\n' ? TState::RowEnd : TState::Broken;
  } else {
    FState = TState::Data;
  }
}

const std::vector<AnsiString>& TDBGridKsImportAsText::ReadRecord() {
  FCells.assign(1, AnsiString());
  for (;;) {
    switch (FState) {
      case TState::Data:
        FCells.back() += FChar;
        Next();
        break;
      case TState::CellEnd:
        FCells.emplace_back();
        Next();
        break;
      case TState::RowEnd:
        Next();
        return FCells;
      case TState::End:
        return FCells;
      case TState::Broken:
        TextFormatError();
    }
  }
}

uint8_t TDBGridKsImportAsVCLDBIF::ReadByte() {
  char byte = 0;
  if (!FSource.ReadByte(byte)) BinaryFormatError();
  return static_cast<uint8_t>(byte);
}

uint64_t TDBGridKsImportAsVCLDBIF::ReadLittleEndian(int Size) {
  uint8_t bytes[8] = {};
  if (FSource.Read(bytes, Size) != Size) BinaryFormatError();
  uint64_t value = 0;
  for (int i = Size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

void TDBGridKsImportAsVCLDBIF::ReadPrefix() {
  char header[12];
  if (FSource.Read(header, sizeof header) != sizeof header || AnsiString(header, 7) != "VCLDBIF")
    BinaryFormatError();
  uint32_t count = 0;
  for (int i = 11; i >= 8; --i) count = count << 8 | static_cast<uint8_t>(header[i]);
  // Each column takes at least its flag and the name's zero.
  if (count > FSource.BytesLeft() / 2) BinaryFormatError();
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
void TDBGridKsImportAsVCLDBIF::ReadAhead() {
  try {
    ReadValue();
  } catch (const Exception&) {
    FBroken = true;
  }
}

void TDBGridKsImportAsVCLDBIF::ReadValue() {
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
      if (length > static_cast<uint64_t>(FSource.BytesLeft())) BinaryFormatError();
      FValue.Kind = static_cast<TExportValueKind>(tag);
      FValue.Bytes.resize(length);
      if (FSource.Read(FValue.Bytes.data(), static_cast<int64_t>(length)) !=
          static_cast<int64_t>(length))
        BinaryFormatError();
      break;
    }
    case 1:
      break;
    default:
      BinaryFormatError();
  }
}

const std::vector<TExportValue>& TDBGridKsImportAsVCLDBIF::ReadRecord() {
  if (FBroken) BinaryFormatError();
  FValues.resize(FColumns.size());
  FValues[0] = std::move(FValue);
  for (size_t k = 1; k < FValues.size(); ++k) {
    ReadValue();
    // The end comes between rows only.
    if (FEnd) BinaryFormatError();
    FValues[k] = std::move(FValue);
  }
  ReadAhead();
  return FValues;
}
