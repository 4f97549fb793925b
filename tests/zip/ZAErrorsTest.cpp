#include "zip/ZAErrors.h"

#include <gtest/gtest.h>

namespace {

TEST(EZAException, MessageIsTextThenNumberInFiveDigits) {
  struct Case {
    int32_t number;
    int32_t code;
    const char* message;
  };
  const Case cases[] = {
      {0, 0, "Unknown error - Native error: 00000"},
      {13, 7, "Archive is not open - Native error: 00013"},
      {2, 1, "Index out of bounds - Native error: 00002"},
      {24, 1, "Index out of bounds - Native error: 00024"},
      {26, 13,
       "Cannot proceed when update is not ended. Preceding EndUpdate call is required. - Native "
       "error: 00026"},
      {57, 27, "Archive is damaged. Open failed - Native error: 00057"},
      {62, 37,
       "Multiple transactions are not supported for multi-volume archives - Native error: "
       "00062"},
      // Outside the table: the unknown text with the number raised.
      {63, 0, "Unknown error - Native error: 00063"},
      {12345, 0, "Unknown error - Native error: 12345"},
  };
  for (const Case& c : cases) {
    const EZAException e(c.number);
    EXPECT_EQ(e.Message(), c.message);
    EXPECT_EQ(e.NativeError, c.number);
    EXPECT_EQ(e.ErrorCode, c.code) << c.number;
  }
}

TEST(EZAException, EveryNumberOfTheTableHasAText) {
  for (int32_t n = 1; n <= 62; ++n) {
    EXPECT_GT(ZAErrorCode(n), 0) << n;
    EXPECT_LE(ZAErrorCode(n), 37) << n;
  }
}

TEST(EZAException, FormatsTheTextWithItsArguments) {
  EXPECT_EQ(EZAException(34, {int64_t(5000000000), 1024}).Message(),
            "Invalid compressed size, rfs.size = 5000000000, count = 1024 - Native error: 00034");
  EXPECT_EQ(EZAException(33, {"C:\\in\\a.txt"}).Message(),
            "Cannot open file \"C:\\in\\a.txt\" - Native error: 00033");
  EXPECT_EQ(EZAException(61, {"x"}).Message(),
            "File name is too long: \r\n\"x\" - Native error: 00061");
  EXPECT_EQ(EZAException(43, {"big.bin"}).Message(),
            "Cannot compress file 'big.bin'. Zip64 mode is not enabled - Native error: 00043");
}

TEST(EZAException, NamedComponentStandsInFront) {
  TComponent unnamed(nullptr);
  EXPECT_EQ(EZAException(13, &unnamed).Message(), "Archive is not open - Native error: 00013");
  TComponent named(nullptr);
  named.SetName("Zip1");
  EXPECT_EQ(EZAException(13, &named).Message(), "Zip1: Archive is not open - Native error: 00013");
  EXPECT_EQ(EZAException(12, {"a.zip"}, &named).Message(),
            "Zip1: File \"a.zip\" not found - Native error: 00012");
}

TEST(ZlibCheck, NegativeResultRaisesCompressionError) {
  EXPECT_EQ(ZlibCheck(0), 0);
  EXPECT_EQ(ZlibCheck(1), 1);
  EXPECT_EQ(ZlibCheck(2), 2);
  for (int result : {-1, -2, -5}) {
    try {
      ZlibCheck(result);
      ADD_FAILURE() << result;
    } catch (const ECompressionError& e) {
      EXPECT_EQ(e.Message(), "error");
      EXPECT_NE(dynamic_cast<const EZlibError*>(&e), nullptr);
    }
  }
}

}  // namespace
