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

// A 128-bit unsigned number, enough for a 64-bit mantissa times 10000 or
// a Currency amount shifted to 79 bits.
struct U128 {
  uint64_t Hi = 0, Lo = 0;
  int BitLength() const {
    return Hi ? 128 - std::countl_zero(Hi) : (Lo ? 64 - std::countl_zero(Lo) : 0);
  }
  U128 ShiftLeft(int Count) const {
    if (Count == 0) return *this;
    if (Count >= 64) return {Lo << (Count - 64), 0};
    return {Hi << Count | Lo >> (64 - Count), Lo << Count};
  }
  // Bit Index (0 = lowest).
  bool Bit(int Index) const {
    return Index >= 64 ? (Hi >> (Index - 64)) & 1 : (Lo >> Index) & 1;
  }
  // Whether any bit below Index is set.
  bool AnyBelow(int Index) const {
    if (Index <= 0) return false;
    if (Index >= 128) return Hi || Lo;
    if (Index > 64) return Lo || (Hi & ((uint64_t{1} << (Index - 64)) - 1));
    return Index == 64 ? Lo != 0 : (Lo & ((uint64_t{1} << Index) - 1)) != 0;
  }
  // Shifted right by Count, rounded half to even; Sticky: more bits below.
  U128 ShiftRightRound(int Count, bool Sticky = false) const {
    if (Count <= 0) return *this;
    if (Count > 128) return {};
    bool half = Bit(Count - 1);
    bool rest = AnyBelow(Count - 1) || Sticky;
    U128 kept = Count >= 128  ? U128{}
                : Count >= 64 ? U128{0, Hi >> (Count - 64)}
                              : U128{Hi >> Count, Lo >> Count | Hi << (64 - Count)};
    if (half && (rest || (kept.Lo & 1))) {
      if (++kept.Lo == 0) ++kept.Hi;
    }
    return kept;
  }
};

U128 MultiplySmall(uint64_t Value, uint32_t Factor) {
  uint64_t low = (Value & 0xFFFFFFFF) * Factor;
  uint64_t high = (Value >> 32) * Factor + (low >> 32);
  return {high >> 32, high << 32 | (low & 0xFFFFFFFF)};
}

U128 DivideSmall(U128 Value, uint32_t Divisor, uint32_t& Remainder) {
  uint32_t limbs[4] = {static_cast<uint32_t>(Value.Hi >> 32), static_cast<uint32_t>(Value.Hi),
                       static_cast<uint32_t>(Value.Lo >> 32), static_cast<uint32_t>(Value.Lo)};
  uint64_t rest = 0;
  for (uint32_t& limb : limbs) {
    uint64_t part = rest << 32 | limb;
    limb = static_cast<uint32_t>(part / Divisor);
    rest = part % Divisor;
  }
  Remainder = static_cast<uint32_t>(rest);
  return {uint64_t{limbs[0]} << 32 | limbs[1], uint64_t{limbs[2]} << 32 | limbs[3]};
}

void PutExtended(uint8_t Bytes[10], bool Negative, int UnbiasedExponent, uint64_t Mantissa) {
  PutLE(Bytes, Mantissa, 8);
  unsigned biased = Mantissa ? static_cast<unsigned>(UnbiasedExponent + ExtendedBias) : 0;
  PutLE(Bytes + 8, biased | (Negative && Mantissa ? 0x8000u : 0u), 2);
}

// The magnitude of a finite extended number as Mantissa * 2^Exponent.
bool SplitExtended(const uint8_t Bytes[10], bool& Negative, uint64_t& Mantissa, int& Exponent) {
  Mantissa = GetLE(Bytes, 8);
  unsigned signExponent = static_cast<unsigned>(GetLE(Bytes + 8, 2));
  Negative = signExponent & 0x8000;
  int biased = static_cast<int>(signExponent & 0x7FFF);
  if (biased == 0x7FFF) return false;
  Exponent = (biased == 0 ? 1 : biased) - ExtendedBias - 63;
  return true;
}

// A magnitude to a signed 64-bit value; false when it does not fit.
bool ToSigned(U128 Magnitude, bool Negative, int64_t& Value) {
  if (Magnitude.Hi || Magnitude.Lo > (Negative ? TopBit : TopBit - 1)) return false;
  Value = Negative ? static_cast<int64_t>(~Magnitude.Lo + 1) : static_cast<int64_t>(Magnitude.Lo);
  return true;
}

// Mantissa * 2^Exponent, rounded to an integer.
bool ScaledToSigned(U128 Mantissa, int Exponent, bool Negative, int64_t& Value) {
  if (Mantissa.BitLength() == 0) {
    Value = 0;
    return true;
  }
  if (Exponent >= 0) {
    if (Mantissa.BitLength() + Exponent > 64) return false;
    return ToSigned(Mantissa.ShiftLeft(Exponent), Negative, Value);
  }
  return ToSigned(Mantissa.ShiftRightRound(-Exponent), Negative, Value);
}

uint64_t Magnitude(int64_t Value) {
  return Value < 0 ? ~static_cast<uint64_t>(Value) + 1 : static_cast<uint64_t>(Value);
}

}  // namespace

void Int64ToExtended(int64_t Value, uint8_t Bytes[10]) {
  uint64_t magnitude = Magnitude(Value);
  int shift = magnitude ? std::countl_zero(magnitude) : 0;
  PutExtended(Bytes, Value < 0, 63 - shift, magnitude << shift);
}

bool ExtendedToInt64(const uint8_t Bytes[10], int64_t& Value) {
  bool negative;
  uint64_t mantissa;
  int exponent;
  if (!SplitExtended(Bytes, negative, mantissa, exponent)) return false;
  return ScaledToSigned({0, mantissa}, exponent, negative, Value);
}

void CurrencyToExtended(int64_t Scaled, uint8_t Bytes[10]) {
  uint64_t magnitude = Magnitude(Scaled);
  if (!magnitude) {
    PutExtended(Bytes, false, 0, 0);
    return;
  }
  // Shift to 79 bits so the quotient by 10000 has 65 or 66 of them.
  int shift = 79 - (64 - std::countl_zero(magnitude));
  uint32_t remainder;
  U128 quotient = DivideSmall(U128{0, magnitude}.ShiftLeft(shift), 10000, remainder);
  int drop = quotient.BitLength() - 64;
  U128 mantissa = quotient.ShiftRightRound(drop, remainder != 0);
  int exponent = 63 + drop - shift;
  if (mantissa.Hi) {  // rounding carried into a 65th bit
    mantissa = mantissa.ShiftRightRound(1);
    ++exponent;
  }
  PutExtended(Bytes, Scaled < 0, exponent, mantissa.Lo);
}

bool ExtendedToCurrency(const uint8_t Bytes[10], int64_t& Scaled) {
  bool negative;
  uint64_t mantissa;
  int exponent;
  if (!SplitExtended(Bytes, negative, mantissa, exponent)) return false;
  return ScaledToSigned(MultiplySmall(mantissa, 10000), exponent, negative, Scaled);
}

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

void TWriter::WriteExtended(const uint8_t Bytes[10]) {
  WriteValue(vaExtended);
  Write(Bytes, 10);
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
      FStreamPos(Stream->Position()),
      FStreamSize(Stream->Size()) {}

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

void TReader::ReadExtended(uint8_t Bytes[10]) {
  if (NextValue() != vaExtended) {
    Int64ToExtended(ReadInteger(), Bytes);
    return;
  }
  ReadValue();
  Read(Bytes, 10);
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
  if (static_cast<int64_t>(length) > FStreamSize - Position())
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
