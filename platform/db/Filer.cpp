#include "db/Filer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "db/DBConsts.h"

namespace {

constexpr int ExtendedBias = 16383;
constexpr int DoubleBias = 1023;
constexpr uint64_t TopBit = uint64_t{1} << 63;
constexpr uint64_t FractionMask = (uint64_t{1} << 52) - 1;
constexpr uint64_t DoubleInfinity = uint64_t{0x7FF} << 52;

void PutLE(uint8_t* Bytes, uint64_t Value, int Count) {
  for (int i = 0; i < Count; ++i) Bytes[i] = static_cast<uint8_t>(Value >> (8 * i));
}

uint64_t GetLE(const uint8_t* Bytes, int Count) {
  uint64_t value = 0;
  for (int i = Count - 1; i >= 0; --i) value = value << 8 | Bytes[i];
  return value;
}

// Value shifted right by Shift bits (1..64), rounded half to even.
uint64_t ShiftRound(uint64_t Value, int Shift) {
  if (Shift > 64) return 0;
  uint64_t kept = Shift == 64 ? 0 : Value >> Shift;
  uint64_t rest = Shift == 64 ? Value : Value & ((uint64_t{1} << Shift) - 1);
  uint64_t half = uint64_t{1} << (Shift - 1);
  if (rest > half || (rest == half && (kept & 1))) ++kept;
  return kept;
}

}  // namespace

void DoubleToExtended(double Value, uint8_t Bytes[10]) {
  uint64_t bits = std::bit_cast<uint64_t>(Value);
  uint16_t sign = (bits >> 63) ? 0x8000 : 0;
  int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  uint64_t fraction = bits & FractionMask;
  uint64_t mantissa = 0;
  int biased = 0;
  if (exponent == 0x7FF) {
    biased = 0x7FFF;
    mantissa = TopBit | fraction << 11;
  } else if (exponent == 0) {
    if (fraction != 0) {
      // A subnormal double is a normal extended number.
      int top = 63 - std::countl_zero(fraction);
      mantissa = fraction << (63 - top);
      biased = top - 1074 + ExtendedBias;
    }
  } else {
    biased = exponent - DoubleBias + ExtendedBias;
    mantissa = TopBit | fraction << 11;
  }
  PutLE(Bytes, mantissa, 8);
  PutLE(Bytes + 8, static_cast<uint64_t>(biased) | sign, 2);
}

double ExtendedToDouble(const uint8_t Bytes[10]) {
  uint64_t mantissa = GetLE(Bytes, 8);
  unsigned signExponent = static_cast<unsigned>(GetLE(Bytes + 8, 2));
  uint64_t sign = (signExponent & 0x8000) ? TopBit : 0;
  int biased = static_cast<int>(signExponent & 0x7FFF);
  uint64_t bits;
  if (biased == 0x7FFF) {
    uint64_t payload = (mantissa << 1) >> 12;
    // Any NaN stays a NaN, quiet when its payload is lost.
    bits = (mantissa << 1) == 0 ? DoubleInfinity
                                : DoubleInfinity | (payload ? payload : uint64_t{1} << 51);
  } else if (mantissa == 0) {
    bits = 0;
  } else {
    // Normalise: the top bit may be clear in denormal and unnormal forms.
    int shift = std::countl_zero(mantissa);
    mantissa <<= shift;
    int exponent = (biased == 0 ? 1 - ExtendedBias : biased - ExtendedBias) - shift;
    int doubleExponent = exponent + DoubleBias;
    if (doubleExponent >= 0x7FF) {
      bits = DoubleInfinity;
    } else if (doubleExponent >= 1) {
      uint64_t kept = ShiftRound(mantissa, 11);
      if (kept == uint64_t{1} << 53) {
        kept >>= 1;
        ++doubleExponent;
      }
      bits = doubleExponent >= 0x7FF
                 ? DoubleInfinity
                 : static_cast<uint64_t>(doubleExponent) << 52 | (kept & FractionMask);
    } else {
      // Subnormal: units of 2^-1074. A carry into bit 52 is the smallest normal.
      bits = ShiftRound(mantissa, 12 - doubleExponent);
    }
  }
  return std::bit_cast<double>(bits | sign);
}

// ---- TWriter -------------------------------------------------------------------------

TWriter::TWriter(TStream* Stream, int BufSize)
    : FStream(Stream),
      FBufSize(static_cast<size_t>(std::max(BufSize, 1))),
      FStreamPos(Stream->Position()) {
  FBuffer.reserve(FBufSize);
}

TWriter::~TWriter() {
  // Write errors show on FlushBuffer; a destructor cannot report them.
  try {
    FlushBuffer();
  } catch (...) {
  }
}

void TWriter::FlushBuffer() {
  if (FBuffer.empty()) return;
  FStream->WriteBuffer(FBuffer.data(), static_cast<int32_t>(FBuffer.size()));
  FStreamPos += static_cast<int64_t>(FBuffer.size());
  FBuffer.clear();
}

void TWriter::Write(const void* Buffer, int32_t Count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(Buffer);
  FBuffer.insert(FBuffer.end(), bytes, bytes + Count);
  if (FBuffer.size() >= FBufSize) FlushBuffer();
}

void TWriter::WriteValue(TValueType Value) { Write(&Value, 1); }

void TWriter::WriteSignature() { Write("TPF0", 4); }
void TWriter::WriteListBegin() { WriteValue(vaList); }
void TWriter::WriteListEnd() { WriteValue(vaNull); }
void TWriter::WriteBoolean(bool Value) { WriteValue(Value ? vaTrue : vaFalse); }

void TWriter::WriteInteger(int32_t Value) {
  uint8_t bytes[4];
  PutLE(bytes, static_cast<uint32_t>(Value), 4);
  if (Value >= -128 && Value <= 127) {
    WriteValue(vaInt8);
    Write(bytes, 1);
  } else if (Value >= -32768 && Value <= 32767) {
    WriteValue(vaInt16);
    Write(bytes, 2);
  } else {
    WriteValue(vaInt32);
    Write(bytes, 4);
  }
}

void TWriter::WriteFloat(double Value) {
  uint8_t bytes[10];
  DoubleToExtended(Value, bytes);
  WriteValue(vaExtended);
  Write(bytes, 10);
}

void TWriter::WriteString(const AnsiString& Value) {
  uint8_t length[4];
  PutLE(length, Value.size(), 4);
  if (Value.size() <= 255) {
    WriteValue(vaString);
    Write(length, 1);
  } else {
    WriteValue(vaLString);
    Write(length, 4);
  }
  Write(Value.data(), static_cast<int32_t>(Value.size()));
}

// ---- TReader -------------------------------------------------------------------------

TReader::TReader(TStream* Stream, int BufSize)
    : FStream(Stream),
      FBuffer(static_cast<size_t>(std::max(BufSize, 1))),
      FStreamPos(Stream->Position()) {}

TReader::~TReader() {
  try {
    FStream->Seek(Position(), soBeginning);
  } catch (...) {
  }
}

void TReader::ReadBuffer() {
  int32_t count = FStream->Read(FBuffer.data(), static_cast<int32_t>(FBuffer.size()));
  if (count <= 0) throw EReadError("Ошибка чтения потока");
  FStreamPos += count;
  FBufPos = 0;
  FBufEnd = static_cast<size_t>(count);
}

void TReader::Read(void* Buffer, int32_t Count) {
  uint8_t* out = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    if (FBufPos == FBufEnd) ReadBuffer();
    size_t n = std::min(static_cast<size_t>(Count), FBufEnd - FBufPos);
    std::memcpy(out, FBuffer.data() + FBufPos, n);
    FBufPos += n;
    out += n;
    Count -= static_cast<int32_t>(n);
  }
}

TValueType TReader::NextValue() {
  if (FBufPos == FBufEnd) ReadBuffer();
  return static_cast<TValueType>(FBuffer[FBufPos]);
}

TValueType TReader::ReadValue() {
  uint8_t value;
  Read(&value, 1);
  return static_cast<TValueType>(value);
}

void TReader::PropValueError() { throw EReadError(SInvalidPropertyValue); }

void TReader::CheckValue(TValueType Value) {
  if (ReadValue() != Value) PropValueError();
}

void TReader::ReadSignature() {
  char signature[4];
  Read(signature, 4);
  if (std::memcmp(signature, "TPF0", 4) != 0) throw EReadError(SInvalidImage);
}

void TReader::ReadListBegin() { CheckValue(vaList); }
void TReader::ReadListEnd() { CheckValue(vaNull); }

int32_t TReader::ReadInteger() {
  uint8_t bytes[4];
  switch (ReadValue()) {
    case vaInt8:
      Read(bytes, 1);
      return static_cast<int8_t>(bytes[0]);
    case vaInt16:
      Read(bytes, 2);
      return static_cast<int16_t>(GetLE(bytes, 2));
    case vaInt32:
      Read(bytes, 4);
      return static_cast<int32_t>(GetLE(bytes, 4));
    default:
      PropValueError();
  }
}

double TReader::ReadFloat() {
  if (NextValue() != vaExtended) return ReadInteger();
  ReadValue();
  uint8_t bytes[10];
  Read(bytes, 10);
  return ExtendedToDouble(bytes);
}

AnsiString TReader::ReadString() {
  uint8_t bytes[4] = {};
  switch (ReadValue()) {
    case vaString:
      Read(bytes, 1);
      break;
    case vaLString:
      Read(bytes, 4);
      break;
    default:
      PropValueError();
  }
  uint64_t length = GetLE(bytes, 4);
  // A damaged length must not make us allocate what the stream cannot hold.
  if (static_cast<int64_t>(length) > FStream->Size() - Position())
    throw EReadError("Ошибка чтения потока");
  AnsiString value(static_cast<size_t>(length), '\0');
  if (length) Read(value.data(), static_cast<int32_t>(length));
  return value;
}

bool TReader::ReadBoolean() {
  switch (ReadValue()) {
    case vaTrue:
      return true;
    case vaFalse:
      return false;
    default:
      PropValueError();
  }
}
