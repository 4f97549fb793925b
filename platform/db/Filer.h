// The tagged value encoding of component streaming: a writer and a reader
// of single values over a stream, buffered. Each value starts with a
// one-byte tag (TValueType); integers take the smallest of the 1, 2 and 4
// byte forms, floats are 80-bit extended numbers, all little-endian.
#pragma once

#include <cstdint>
#include <vector>

#include "rtl/Streams.h"
#include "rtl/Types.h"

enum TValueType : uint8_t {
  vaNull = 0,  // end of a list
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,  // 1-byte length
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12  // 4-byte length
};

// The 10 bytes of the 80-bit extended number nearest to the double (exact:
// every double is one), and back, rounding half to even; out of range
// becomes infinity or zero.
void DoubleToExtended(double Value, uint8_t Bytes[10]);
double ExtendedToDouble(const uint8_t Bytes[10]);
// Exact: every 64-bit integer is an extended number.
void Int64ToExtended(int64_t Value, uint8_t Bytes[10]);
// Rounded half to even; false for infinities, NaNs and values out of range.
bool ExtendedToInt64(const uint8_t Bytes[10], int64_t& Value);
// The extended number nearest to the amount Scaled / 10000 (a Currency),
// and back: the amount times 10000 rounded half to even, without passing
// through a double, so every Currency survives the trip.
void CurrencyToExtended(int64_t Scaled, uint8_t Bytes[10]);
bool ExtendedToCurrency(const uint8_t Bytes[10], int64_t& Scaled);

// Writes into the stream from its position; the buffer goes out when it is
// full, on FlushBuffer and when the writer is destroyed. Call FlushBuffer
// before the end: a destructor cannot report a failed write.
class TWriter {
 public:
  TWriter(TStream* Stream, int BufSize);
  ~TWriter();
  TWriter(const TWriter&) = delete;
  TWriter& operator=(const TWriter&) = delete;

  void WriteSignature();  // "TPF0"
  void WriteListBegin();
  void WriteListEnd();
  void WriteInteger(int32_t Value);
  void WriteFloat(double Value);
  void WriteExtended(const uint8_t Bytes[10]);
  void WriteString(const AnsiString& Value);
  void WriteBoolean(bool Value);
  void Write(const void* Buffer, int32_t Count);
  void FlushBuffer();
  // The stream position of the next byte to be written.
  int64_t Position() const { return FStreamPos + static_cast<int64_t>(FBuffer.size()); }

 private:
  void WriteValue(TValueType Value);

  TStream* FStream;
  std::vector<uint8_t> FBuffer;
  size_t FBufSize;
  int64_t FStreamPos;
};

// Reads ahead in blocks; when destroyed it puts the stream back at the end
// of what was read. A value of the wrong kind raises EReadError "invalid
// property value", a short stream the stream's read error.
class TReader {
 public:
  TReader(TStream* Stream, int BufSize);
  ~TReader();
  TReader(const TReader&) = delete;
  TReader& operator=(const TReader&) = delete;

  // EReadError "invalid stream format" unless the next 4 bytes are "TPF0".
  void ReadSignature();
  // The tag of the next value, not consumed.
  TValueType NextValue();
  TValueType ReadValue();
  bool EndOfList() { return NextValue() == vaNull; }
  void ReadListBegin();
  void ReadListEnd();
  // Any of the integer tags.
  int32_t ReadInteger();
  // An extended value, or an integer.
  double ReadFloat();
  // An extended value's 10 bytes, or an integer made one.
  void ReadExtended(uint8_t Bytes[10]);
  AnsiString ReadString();
  bool ReadBoolean();
  void Read(void* Buffer, int32_t Count);
  // The stream position of the next byte to be read.
  int64_t Position() const { return FStreamPos - static_cast<int64_t>(FBufEnd - FBufPos); }

 private:
  void CheckValue(TValueType Value);
  [[noreturn]] void PropValueError();
  void ReadBuffer();

  TStream* FStream;
  std::vector<uint8_t> FBuffer;
  size_t FBufPos = 0, FBufEnd = 0;
  int64_t FStreamPos;
  // Taken once: asking a file for its size on every string costs calls.
  int64_t FStreamSize;
};
