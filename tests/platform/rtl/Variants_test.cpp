// Variant coercions, comparisons with Null and Empty, arithmetic and arrays.
#include "rtl/Variants.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The result of a coercion as text, or the kind of error it raised.
template <typename F>
AnsiString Try(F f) {
  try {
    return f();
  } catch (const EVariantTypeCastError&) {
    return "cast";
  } catch (const EVariantOverflowError&) {
    return "overflow";
  }
}

AnsiString Num(double d) { return FloatToStr(d); }

Variant Array3() { return VarArrayOf({1, "a", Variant::Null()}); }

TEST(Variant, CoercionTable) {
  struct {
    const char* what;
    Variant v;
    const char *asInteger, *asDouble, *asString, *asBoolean, *asCurrency;
  } cases[] = {
      {"Empty", Variant(), "0", "0", "", "0", "0"},
      {"Null", Variant::Null(), "cast", "cast", "cast", "cast", "cast"},
      {"true", Variant(true), "-1", "-1", "True", "1", "-1"},
      {"false", Variant(false), "0", "0", "False", "0", "0"},
      {"42", Variant(42), "42", "42", "42", "1", "42"},
      {"2.5", Variant(2.5), "2", "2,5", "2,5", "1", "2,5"},
      {"3.5", Variant(3.5), "4", "3,5", "3,5", "1", "3,5"},
      {"-2.5", Variant(-2.5), "-2", "-2,5", "-2,5", "1", "-2,5"},
      {"'12'", Variant("12"), "12", "12", "12", "1", "12"},
      {"' 1,5 '", Variant(" 1,5 "), "2", "1,5", " 1,5 ", "1", "1,5"},
      {"'abc'", Variant("abc"), "cast", "cast", "abc", "cast", "cast"},
      {"'True'", Variant("True"), "-1", "-1", "True", "1", "-1"},
      {"'1.5'", Variant("1.5"), "cast", "cast", "1.5", "cast", "cast"},
      {"'$10'", Variant("$10"), "16", "cast", "$10", "cast", "cast"},
      {"Currency", Variant(Currency(1.2345)), "1", "1,2345", "1,2345", "1", "1,2345"},
      {"3e9", Variant(3e9), "overflow", "3000000000", "3000000000", "1", "3000000000"},
      {"5e9 int64", Variant(5000000000LL), "overflow", "5000000000", "5000000000", "1",
       "5000000000"},
      {"1e16 int64", Variant(10000000000000000LL), "overflow", "1E16", "10000000000000000", "1",
       "overflow"},
      {"date", VarFromDateTime(EncodeDate(2024, 3, 5)), "45356", "45356", "05.03.2024", "1",
       "45356"},
      {"error", VarAsError(5), "cast", "cast", "cast", "cast", "cast"},
      {"array", Array3(), "cast", "cast", "cast", "cast", "cast"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Try([&] { return IntToStr(c.v.AsInteger()); }), c.asInteger);
    EXPECT_EQ(Try([&] { return Num(c.v.AsDouble()); }), c.asDouble);
    EXPECT_EQ(Try([&] { return c.v.AsString(); }), c.asString);
    EXPECT_EQ(Try([&] { return IntToStr(int{c.v.AsBoolean()}); }), c.asBoolean);
    EXPECT_EQ(Try([&] { return CurrToStr(c.v.AsCurrency()); }), c.asCurrency);
  }
}

TEST(Variant, TypesAndTextHelpers) {
  EXPECT_EQ(Variant().VarType(), varEmpty);
  EXPECT_EQ(Variant::Null().VarType(), varNull);
  EXPECT_EQ(Variant(int16_t{1}).VarType(), varSmallint);
  EXPECT_EQ(Variant(uint8_t{1}).VarType(), varByte);
  EXPECT_EQ(Variant(1).VarType(), varInteger);
  EXPECT_EQ(Variant(int64_t{1}).VarType(), varInt64);
  EXPECT_EQ(Variant(1.0f).VarType(), varSingle);
  EXPECT_EQ(Variant(AnsiString("x")).VarType(), varString);
  EXPECT_EQ(Variant('x').AsString(), "x");
  EXPECT_EQ(VarType(Array3()), varArray | varVariant);
  EXPECT_TRUE(VarIsNull(Variant::Null()));
  EXPECT_TRUE(VarIsEmpty(Variant()));
  EXPECT_TRUE(VarIsClear(Variant()));
  EXPECT_FALSE(VarIsNull(Variant()));
  EXPECT_EQ(VarToStr(Variant::Null()), "");
  EXPECT_EQ(VarToStr(Variant()), "");
  EXPECT_EQ(VarToStrDef(Variant::Null(), "-"), "-");
  EXPECT_EQ(VarToStrDef(Variant(1.5), "-"), "1,5");
  EXPECT_EQ(Variant("05.03.2024 7:08").AsDateTime(), EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 0, 0));
  EXPECT_EQ(Variant("7:08").AsDateTime(), EncodeTime(7, 8, 0, 0));
  EXPECT_THROW(Variant::Null().AsDateTime(), EVariantTypeCastError);
}

TEST(Variant, VarAsType) {
  struct {
    Variant v;
    TVarType type;
    const char* text;  // AsString of the result, or the error
  } cases[] = {
      {Variant("12"), varInteger, "12"},        {Variant(3.7), varSmallint, "4"},
      {Variant(300), varByte, "overflow"},      {Variant(-1), varLongWord, "overflow"},
      {Variant(70000), varWord, "overflow"},    {Variant(1), varBoolean, "True"},
      {Variant::Null(), varString, "cast"},     {Variant(1.5), varString, "1,5"},
      {Variant(5), varDate, "04.01.1900"},      {Variant("2,5"), varCurrency, "2,5"},
      {Variant(1), varEmpty, ""},               {Variant("1e3"), varInt64, "1000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    AnsiString got = Try([&] {
      Variant r = VarAsType(c.v, c.type);
      EXPECT_EQ(r.VarType(), c.type);
      return r.AsString();
    });
    EXPECT_EQ(got, c.text);
  }
  EXPECT_TRUE(VarAsType(Variant(1), varNull).IsNull());
}

TEST(Variant, ComparisonsWithNullEmptyAndMixedTypes) {
  const Variant null = Variant::Null(), empty;
  const TDateTime day = EncodeDate(2024, 3, 5);
  struct {
    const char* what;
    Variant a, b;
    bool eq, lt;
    TVariantRelationship rel;
  } cases[] = {
      {"null null", null, null, true, false, vrEqual},
      {"null 1", null, Variant(1), false, true, vrNotEqual},
      {"1 null", Variant(1), null, false, false, vrNotEqual},
      {"null empty", null, empty, false, true, vrNotEqual},
      {"empty 0", empty, Variant(0), true, false, vrNotEqual},
      {"empty ''", empty, Variant(""), true, false, vrNotEqual},
      {"empty empty", empty, empty, true, false, vrEqual},
      {"1 2", Variant(1), Variant(2), false, true, vrLessThan},
      {"2 1.5", Variant(2), Variant(1.5), false, false, vrGreaterThan},
      {"'10' 9", Variant("10"), Variant(9), false, false, vrGreaterThan},
      {"'10' '9'", Variant("10"), Variant("9"), false, true, vrLessThan},
      {"'abc' 'ABC'", Variant("abc"), Variant("ABC"), false, true, vrLessThan},
      {"'ё' 'Ж'", Variant("ё"), Variant("Ж"), false, true, vrLessThan},
      {"true -1", Variant(true), Variant(-1), true, false, vrEqual},
      {"false true", Variant(false), Variant(true), false, true, vrLessThan},
      {"curr 1.5", Variant(Currency(1.5)), Variant(1.5), true, false, vrEqual},
      {"date text", VarFromDateTime(day), Variant("05.03.2024"), true, false, vrEqual},
      {"date number", VarFromDateTime(day), Variant(45357), false, true, vrLessThan},
      {"big ints", Variant(9007199254740993LL), Variant(9007199254740992LL), false, false,
       vrGreaterThan},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.a == c.b, c.eq);
    EXPECT_EQ(c.a != c.b, !c.eq);
    EXPECT_EQ(c.a < c.b, c.lt);
    EXPECT_EQ(c.a >= c.b, !c.lt);
    EXPECT_EQ(c.a > c.b, !c.lt && !c.eq);
    EXPECT_EQ(VarCompareValue(c.a, c.b), c.rel);
  }
  EXPECT_THROW((void)(Variant("abc") == Variant(1)), EVariantTypeCastError);
  EXPECT_THROW((void)(Array3() == Array3()), EVariantInvalidOpError);
}

TEST(Variant, Arithmetic) {
  struct {
    const char* what;
    Variant result;
    TVarType type;
    const char* text;
  } cases[] = {
      {"1+2", Variant(1) + Variant(2), varInteger, "3"},
      {"max+1", Variant(INT32_MAX) + Variant(1), varInt64, "2147483648"},
      {"'a'+'b'", Variant("a") + Variant("b"), varString, "ab"},
      {"'1'+2", Variant("1") + Variant(2), varDouble, "3"},
      {"empty+1", Variant() + Variant(1), varInteger, "1"},
      {"curr+1", Variant(Currency(1.25)) + Variant(1), varCurrency, "2,25"},
      {"curr*2", Variant(Currency(1.25)) * Variant(2), varCurrency, "2,5"},
      {"date+1", VarFromDateTime(EncodeDate(2024, 3, 5)) + Variant(1), varDate, "06.03.2024"},
      {"date-date", VarFromDateTime(EncodeDate(2024, 3, 5)) - VarFromDateTime(EncodeDate(2024, 3, 1)),
       varDouble, "4"},
      {"7/2", Variant(7) / Variant(2), varDouble, "3,5"},
      {"1.5*2", Variant(1.5) * Variant(2), varDouble, "3"},
      {"5-7", Variant(5) - Variant(7), varInteger, "-2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.result.VarType(), c.type);
    EXPECT_EQ(c.result.AsString(), c.text);
  }
  EXPECT_TRUE((Variant::Null() + Variant(1)).IsNull());
  EXPECT_TRUE((Variant(1) / Variant::Null()).IsNull());
  EXPECT_THROW(Variant(1) / Variant(0), EZeroDivide);
  EXPECT_THROW(Variant("x") * Variant(2), EVariantTypeCastError);
}

TEST(Variant, Arrays) {
  Variant a = Array3();
  EXPECT_EQ(VarArrayDimCount(a), 1);
  EXPECT_EQ(VarArrayLowBound(a, 1), 0);
  EXPECT_EQ(VarArrayHighBound(a, 1), 2);
  EXPECT_EQ(a[1].AsString(), "a");
  EXPECT_TRUE(a[2].IsNull());
  EXPECT_THROW(a[3], EVariantBadIndexError);
  EXPECT_THROW(a[-1], EVariantBadIndexError);

  Variant typed = VarArrayCreate(1, 3, varInteger);
  EXPECT_EQ(typed.VarType(), varArray | varInteger);
  EXPECT_EQ(typed[1].VarType(), varInteger);
  EXPECT_EQ(typed[3].AsInteger(), 0);
  EXPECT_THROW(typed[0], EVariantBadIndexError);
  typed[2] = 5;

  Variant copy = typed;  // arrays are values: the copy is independent
  copy[2] = 6;
  EXPECT_EQ(typed[2].AsInteger(), 5);

  VarArrayRedim(typed, 5);
  EXPECT_EQ(VarArrayHighBound(typed, 1), 5);
  EXPECT_EQ(typed[2].AsInteger(), 5);
  EXPECT_EQ(typed[5].VarType(), varInteger);
  VarArrayRedim(typed, 1);
  EXPECT_EQ(VarArrayHighBound(typed, 1), 1);
  VarArrayRedim(a, 3);
  EXPECT_TRUE(a[3].IsEmpty());

  Variant empty = VarArrayOf({});
  EXPECT_EQ(VarArrayHighBound(empty, 1), -1);
  EXPECT_EQ(VarArrayDimCount(Variant(1)), 0);
  EXPECT_THROW(VarArrayLowBound(Variant(1), 1), EVariantError);
  EXPECT_THROW(VarArrayHighBound(a, 2), EVariantError);
}

}  // namespace
