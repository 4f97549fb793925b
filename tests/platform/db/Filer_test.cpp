// The tagged value writer and reader: exact bytes, the 80-bit extended
// conversion, round trips through small buffers, and damaged input.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "db/DBConsts.h"
#include "db/Filer.h"

namespace {

AnsiString Bytes(std::initializer_list<int> values) {
  AnsiString s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

AnsiString Extended(double value) {
  uint8_t bytes[10];
  DoubleToExtended(value, bytes);
  return AnsiString(reinterpret_cast<char*>(bytes), 10);
}

double FromExtended(const AnsiString& bytes) {
  return ExtendedToDouble(reinterpret_cast<const uint8_t*>(bytes.data()));
}

TEST(FilerTest, WritesTheSmallestTagsInLittleEndian) {
  TStringStream stream;
  {
    TWriter writer(&stream, 16384);
    writer.WriteSignature();
    writer.WriteInteger(252);
    writer.WriteListBegin();
    for (int32_t v : {0, -128, 127, 128, -32768, 32767, -32769, 2147483647}) writer.WriteInteger(v);
    writer.WriteString("Имя");
    writer.WriteBoolean(true);
    writer.WriteBoolean(false);
    writer.WriteFloat(1.0);
    writer.WriteListEnd();
  }
  EXPECT_EQ("TPF0" + Bytes({3, 0xFC, 0,    1,                                // 252, start of list
                            2, 0,    2,    0x80, 2,    0x7F,                 // 0, -128, 127
                            3, 0x80, 0,    3,    0,    0x80, 3, 0xFF, 0x7F,  // 128, -32768, 32767
                            4, 0xFF, 0x7F, 0xFF, 0xFF,                       // -32769
                            4, 0xFF, 0xFF, 0xFF, 0x7F,                       // 2147483647
                            6, 3,    0xC8, 0xEC, 0xFF,                       // "Имя" in cp1251
                            9, 8,                                            // true, false
                            5, 0,    0,    0,    0,    0,    0, 0,    0x80, 0xFF, 0x3F,  // 1.0
                            0}),
            stream.DataString());
}

TEST(FilerTest, LongStringsTakeTheFourByteLength) {
  TStringStream stream;
  AnsiString text(300, 'x');
  {
    TWriter writer(&stream, 7);
    writer.WriteString(text);
  }
  EXPECT_EQ(Bytes({12, 0x2C, 1, 0, 0}), stream.DataString().substr(0, 5));
  stream.SetPosition(0);
  TReader reader(&stream, 5);
  EXPECT_EQ(text, reader.ReadString());
}

TEST(FilerTest, ExtendedBytesOfKnownValues) {
  struct Case {
    double value;
    AnsiString bytes;
  };
  double inf = std::numeric_limits<double>::infinity();
  for (const Case& c : {
           Case{0.0, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
           {-0.0, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80})},
           {-2.0, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0xC0})},
           {0.1, Bytes({0, 0xD0, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F})},
           {45000.5, Bytes({0, 0, 0, 0, 0, 0x80, 0xC8, 0xAF, 0x0E, 0x40})},
           {inf, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F})},
           {std::numeric_limits<double>::denorm_min(),  // 2^-1074
            Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xCD, 0x3B})},
       }) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(c.bytes, Extended(c.value));
    EXPECT_EQ(std::bit_cast<uint64_t>(c.value), std::bit_cast<uint64_t>(FromExtended(c.bytes)));
  }
}

TEST(FilerTest, ReadingFullPrecisionRoundsToTheNearestDouble) {
  // 0.1 as a full 64-bit mantissa rounds to the double 0.1.
  EXPECT_EQ(0.1, FromExtended(Bytes({0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F})));
  // 1 + 2^-53 exactly: half way, to even (1.0); a bit more goes up.
  EXPECT_EQ(1.0, FromExtended(Bytes({0, 0x04, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F})));
  EXPECT_EQ(1.0 + std::ldexp(1.0, -52),
            FromExtended(Bytes({1, 0x04, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F})));
  // All ones just below 2 rounds up into the next exponent.
  EXPECT_EQ(2.0, FromExtended(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F})));
  // Beyond the double range: infinity; far below: zero; 2^-1075 (half the
  // smallest subnormal) to even, zero; 1.5 * 2^-1075 up to the smallest.
  EXPECT_EQ(std::numeric_limits<double>::infinity(),
            FromExtended(Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x43})));
  EXPECT_EQ(0.0, FromExtended(Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x00})));
  EXPECT_EQ(0.0, FromExtended(Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xCC, 0x3B})));
  EXPECT_EQ(std::numeric_limits<double>::denorm_min(),
            FromExtended(Bytes({0, 0, 0, 0, 0, 0, 0, 0xC0, 0xCC, 0x3B})));
  EXPECT_TRUE(std::isnan(FromExtended(Bytes({0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F}))));
  EXPECT_EQ(-std::numeric_limits<double>::infinity(),
            FromExtended(Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF})));
}

TEST(FilerTest, EveryDoubleSurvivesTheRoundTrip) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = random();
    if (i % 4 == 0) bits &= 0x800FFFFFFFFFFFFF;  // subnormals
    double value = std::bit_cast<double>(bits);
    if (std::isnan(value)) continue;
    ASSERT_EQ(bits, std::bit_cast<uint64_t>(FromExtended(Extended(value)))) << value;
  }
}

TEST(FilerTest, IntegersAndCurrencyAmountsTravelExactly) {
  const int64_t integers[] = {0, 1, -1, 255, (int64_t{1} << 53) + 1, -((int64_t{1} << 53) + 1),
                              INT64_MAX, -INT64_MAX, INT64_MIN};
  for (int64_t value : integers) {
    uint8_t bytes[10];
    Int64ToExtended(value, bytes);
    int64_t back = 0;
    ASSERT_TRUE(ExtendedToInt64(bytes, back)) << value;
    EXPECT_EQ(back, value);
    if (std::abs(static_cast<double>(value)) < 0x1p53) {
      EXPECT_EQ(AnsiString(reinterpret_cast<char*>(bytes), 10), Extended(static_cast<double>(value)));
    }
  }
  std::mt19937_64 random(3);
  for (int i = 0; i < 20000; ++i) {
    int64_t scaled = static_cast<int64_t>(random()) >> (i % 60);
    uint8_t bytes[10];
    CurrencyToExtended(scaled, bytes);
    int64_t back = 0;
    ASSERT_TRUE(ExtendedToCurrency(bytes, back)) << scaled;
    ASSERT_EQ(back, scaled);
  }
  // The amount's nearest extended number: where a double holds the amount
  // exactly, the bytes are the double's.
  for (int64_t scaled : {int64_t{15000}, int64_t{-2500}, int64_t{10000} << 40, int64_t{0}}) {
    uint8_t bytes[10];
    CurrencyToExtended(scaled, bytes);
    EXPECT_EQ(AnsiString(reinterpret_cast<char*>(bytes), 10),
              Extended(static_cast<double>(scaled) / 10000));
  }
  uint8_t bytes[10];
  CurrencyToExtended(1, bytes);  // 0.0001
  EXPECT_EQ(FromExtended(AnsiString(reinterpret_cast<char*>(bytes), 10)), 0.0001);
}

TEST(FilerTest, ExtendedValuesOutsideTheIntegersAreRefused) {
  int64_t value = 0;
  for (double refused : {0x1p63, -0x1p64, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
    uint8_t bytes[10];
    DoubleToExtended(refused, bytes);
    EXPECT_FALSE(ExtendedToInt64(bytes, value)) << refused;
  }
  struct Rounded {
    double Value;
    int64_t Integer, Scaled;
  };
  for (Rounded r : {Rounded{2.5, 2, 25000}, Rounded{3.5, 4, 35000}, Rounded{-2.5, -2, -25000},
                    Rounded{1e-9, 0, 0}, Rounded{0x1p-20, 0, 0}}) {
    uint8_t bytes[10];
    DoubleToExtended(r.Value, bytes);
    ASSERT_TRUE(ExtendedToInt64(bytes, value));
    EXPECT_EQ(value, r.Integer) << r.Value;
    ASSERT_TRUE(ExtendedToCurrency(bytes, value));
    EXPECT_EQ(value, r.Scaled) << r.Value;
  }
}

TEST(FilerTest, ReadsBackThroughSmallBuffersAndRestoresThePosition) {
  const double kWhen = 45322.75;  // a date and time
  TStringStream stream;
  stream.WriteBuffer("head", 4);
  {
    TWriter writer(&stream, 3);
    writer.WriteSignature();
    writer.WriteInteger(-1000);
    writer.WriteFloat(kWhen);
    writer.WriteString("");
    writer.WriteBoolean(false);
    writer.WriteInteger(70000);
    writer.FlushBuffer();
    EXPECT_EQ(stream.Size(), writer.Position());
  }
  stream.WriteBuffer("tail", 4);
  stream.SetPosition(4);
  {
    TReader reader(&stream, 3);
    reader.ReadSignature();
    EXPECT_EQ(-1000, reader.ReadInteger());
    EXPECT_EQ(kWhen, reader.ReadFloat());
    EXPECT_EQ("", reader.ReadString());
    EXPECT_FALSE(reader.ReadBoolean());
    EXPECT_EQ(70000.0, reader.ReadFloat()) << "an integer where a float is expected";
    EXPECT_EQ(stream.Size() - 4, reader.Position());
  }
  EXPECT_EQ(stream.Size() - 4, stream.Position());
}

TEST(FilerTest, DamagedInputRaisesReadErrors) {
  auto message = [](const AnsiString& data, void (*read)(TReader&)) -> AnsiString {
    TStringStream stream(data);
    TReader reader(&stream, 16384);
    try {
      read(reader);
    } catch (EReadError& e) {
      return e.Message();
    }
    return "no error";
  };
  EXPECT_EQ(SInvalidImage, message("TPF1", [](TReader& r) { r.ReadSignature(); }));
  EXPECT_EQ(SInvalidPropertyValue,
            message(Bytes({6, 1, 'a'}), [](TReader& r) { r.ReadInteger(); }));
  EXPECT_EQ(SInvalidPropertyValue, message(Bytes({2, 1}), [](TReader& r) { r.ReadString(); }));
  EXPECT_EQ(SInvalidPropertyValue, message(Bytes({1}), [](TReader& r) { r.ReadListEnd(); }));
  EXPECT_EQ("Ошибка чтения потока", message(Bytes({4, 1, 2}), [](TReader& r) { r.ReadInteger(); }));
  EXPECT_EQ("Ошибка чтения потока",
            message(Bytes({12, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}), [](TReader& r) { r.ReadString(); }));
  EXPECT_EQ("Ошибка чтения потока", message("", [](TReader& r) { r.EndOfList(); }));
}

}  // namespace
