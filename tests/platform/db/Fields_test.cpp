// Field classes: conversions, texts and formats, ranges, validation and
// events; the field list, definitions and the visible numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "ArrayDataSet.h"

namespace {

// One record of every kind of field, being inserted.
class FieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TFieldDefs* defs = Data.FieldDefs();
    defs->Add("S", ftString, 5);
    defs->Add("Small", ftSmallint);
    defs->Add("I", ftInteger);
    defs->Add("W", ftWord);
    defs->Add("Big", ftLargeint);
    defs->Add("F", ftFloat);
    defs->Add("C", ftCurrency);
    defs->Add("B", ftBCD, 4);
    defs->Add("Cents", ftBCD, 2);
    defs->Add("Flag", ftBoolean);
    defs->Add("D", ftDate);
    defs->Add("T", ftTime);
    defs->Add("DT", ftDateTime);
    defs->Add("Bytes", ftBytes, 4);
    defs->Add("VarBytes", ftVarBytes, 4);
    defs->Add("G", ftGuid, 38);
    defs->Add("Auto", ftAutoInc);
    Data.Open();
    Data.Append();
  }
  TField* F(const char* Name) { return Data.FieldByName(Name); }
  // The native bytes the dataset holds for the field.
  template <class T>
  T Native(const char* Name) {
    T value{};
    EXPECT_TRUE(F(Name)->GetData(&value));
    return value;
  }
  TArrayDataSet Data{nullptr};
};

TEST_F(FieldsTest, EveryTypeGetsItsClassAndNativeSize) {
  struct Case {
    const char* name;
    TFieldType type;
    int dataSize;
    TAlignment alignment;
  };
  for (Case c : {Case{"S", ftString, 6, taLeftJustify},
                 {"Small", ftSmallint, 2, taRightJustify},
                 {"I", ftInteger, 4, taRightJustify},
                 {"W", ftWord, 2, taRightJustify},
                 {"Big", ftLargeint, 8, taRightJustify},
                 {"F", ftFloat, 8, taRightJustify},
                 {"C", ftCurrency, 8, taRightJustify},
                 {"B", ftBCD, 34, taRightJustify},
                 {"Flag", ftBoolean, 2, taLeftJustify},
                 {"D", ftDate, 4, taLeftJustify},
                 {"T", ftTime, 4, taLeftJustify},
                 {"DT", ftDateTime, 8, taLeftJustify},
                 {"Bytes", ftBytes, 4, taLeftJustify},
                 {"VarBytes", ftVarBytes, 6, taLeftJustify},
                 {"G", ftGuid, 39, taLeftJustify},
                 {"Auto", ftAutoInc, 4, taRightJustify}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.type, F(c.name)->DataType());
    EXPECT_EQ(c.dataSize, F(c.name)->DataSize());
    EXPECT_EQ(c.alignment, F(c.name)->Alignment());
    EXPECT_TRUE(F(c.name)->IsNull());
    EXPECT_EQ("", F(c.name)->DisplayText());
    EXPECT_TRUE(VarIsNull(F(c.name)->Value()));
  }
  EXPECT_TRUE(dynamic_cast<TAutoIncField*>(F("Auto")));
  EXPECT_TRUE(dynamic_cast<TCurrencyField*>(F("C")));
  EXPECT_EQ(nullptr, DefaultFieldClass(ftWideString));
}

TEST_F(FieldsTest, StringsAreCutToSizeAndConvert) {
  F("S")->SetAsString("123456");
  EXPECT_EQ("12345", F("S")->AsString());
  EXPECT_EQ(12345, F("S")->AsInteger());
  F("S")->SetAsFloat(2.5);
  EXPECT_EQ("2,5", F("S")->AsString());
  F("S")->SetAsBoolean(true);
  EXPECT_TRUE(F("S")->AsBoolean());
  F("S")->SetValue(Variant::Null());
  EXPECT_TRUE(F("S")->IsNull());
  F("S")->SetValue("Ёлка");
  EXPECT_EQ(Variant("Ёлка"), F("S")->Value());
  EXPECT_EQ(5, F("S")->DisplayWidth());
}

TEST_F(FieldsTest, IntegersCheckTheirRange) {
  struct Case {
    const char* field;
    const char* text;
    bool ok;
  };
  for (Case c : {Case{"Small", "-32768", true},
                 {"Small", "32768", false},
                 {"W", "65535", true},
                 {"W", "-1", false},
                 {"I", "2147483647", true},
                 {"I", "2147483648", false},
                 {"I", "12a", false},
                 {"Big", "-9223372036854775808", true},
                 {"Big", "9223372036854775808", false}}) {
    SCOPED_TRACE(std::string(c.field) + " " + c.text);
    if (c.ok) {
      F(c.field)->SetAsString(c.text);
      EXPECT_EQ(c.text, F(c.field)->AsString());
    } else {
      EXPECT_THROW(F(c.field)->SetAsString(c.text), EDatabaseError);
    }
  }
  EXPECT_EQ(-32768, Native<int16_t>("Small"));
  EXPECT_EQ(65535, Native<uint16_t>("W"));
  auto* i = static_cast<TIntegerField*>(F("I"));
  i->SetMinValue(1);
  i->SetMaxValue(10);
  try {
    i->SetAsInteger(11);
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ("11 - недопустимое значение для поля 'I'. Допустимый диапазон от 1 до 10",
              e.Message());
  }
  try {
    i->SetAsString("x");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ("'x' не является целым значением для поля 'I'", e.Message());
  }
  i->SetAsFloat(6.5);
  EXPECT_EQ(6, i->AsInteger());  // half to even
  i->SetAsString("");
  EXPECT_TRUE(i->IsNull());
  EXPECT_THROW(i->AsBoolean(), EDatabaseError);
}

TEST_F(FieldsTest, NumberTextsFollowTheFormats) {
  auto* i = static_cast<TIntegerField*>(F("I"));
  i->SetAsInteger(1234567);
  EXPECT_EQ("1234567", i->DisplayText());
  i->SetDisplayFormat("#,##0");
  EXPECT_EQ(
      "1\xA0"
      "234\xA0"
      "567",
      i->DisplayText());
  EXPECT_EQ(
      "1\xA0"
      "234\xA0"
      "567",
      i->Text())
      << "no EditFormat: editing shows the display format";
  i->SetEditFormat("0");
  EXPECT_EQ("1234567", i->Text());

  auto* f = static_cast<TFloatField*>(F("F"));
  f->SetAsString("12,5");
  EXPECT_DOUBLE_EQ(12.5, f->AsFloat());
  EXPECT_EQ("12,5", f->DisplayText());
  EXPECT_THROW(f->SetAsString("12.5"), EDatabaseError) << "the decimal separator is ','";
  f->SetAsFloat(1.0 / 3);
  f->SetPrecision(4);
  EXPECT_EQ("0,3333", f->DisplayText());
  f->SetMaxValue(1);
  EXPECT_THROW(f->SetAsFloat(2), EDatabaseError);

  auto* c = static_cast<TFloatField*>(F("C"));
  c->SetAsFloat(1234.5);
  EXPECT_EQ(
      "1\xA0"
      "234,50 р.",
      c->DisplayText());
  EXPECT_EQ("1234,50", c->Text());
  EXPECT_EQ(Currency::FromScaled(12345000), c->AsCurrency());
}

TEST_F(FieldsTest, BcdKeepsCurrencyExactly) {
  auto* b = static_cast<TBCDField*>(F("B"));
  b->SetAsString("-12345678901,2345");
  EXPECT_EQ(Currency::FromScaled(-123456789012345), b->AsCurrency());
  EXPECT_EQ("-12345678901,2345", b->AsString());
  TBcd raw = Native<TBcd>("B");
  EXPECT_EQ(15, raw.Precision);
  EXPECT_EQ(0x84, raw.SignSpecialPlaces);
  EXPECT_EQ(0x12, raw.Fraction[0]);
  EXPECT_EQ(Variant(Currency::FromScaled(-123456789012345)), b->Value());
  b->SetAsInteger(7);
  EXPECT_DOUBLE_EQ(7.0, b->AsFloat());
}

TEST_F(FieldsTest, BcdRoundsToItsPlacesHalfAwayFromZero) {
  auto* b = static_cast<TBCDField*>(F("Cents"));
  struct Case {
    std::function<void()> set;
    const char* text;
  };
  const Case cases[] = {
      {[&] { b->SetAsFloat(1.005); }, "1,01"},  // the double is a little below 1.005
      {[&] { b->SetAsFloat(-1.005); }, "-1,01"},
      {[&] { b->SetAsFloat(2.675); }, "2,68"},
      {[&] { b->SetAsString("0,125"); }, "0,13"},
      {[&] { b->SetAsString("-0,004"); }, "0"},
      {[&] { b->SetAsCurrency(Currency::FromScaled(-1250)); }, "-0,13"},
      {[&] { b->SetValue(Variant(1.005)); }, "1,01"},
      {[&] { b->SetValue(Variant(Currency::FromScaled(12345)) * Variant(1.5)); }, "1,85"},
      {[&] { b->SetAsInteger(-7); }, "-7"},
  };
  for (const Case& c : cases) {
    c.set();
    EXPECT_EQ(c.text, b->AsString());
    EXPECT_EQ(c.text, b->DisplayText());
  }
  // Memory keeps the places the field has, nothing more.
  b->SetAsFloat(1.005);
  EXPECT_EQ(Currency::FromScaled(10100), b->AsCurrency());
  EXPECT_EQ(2, b->AsBCD().SignSpecialPlaces);
}

// A display format or the currency flag shows the exact value: the
// nearest double of 1.0050 lies below the half and of 18 digits loses some.
TEST_F(FieldsTest, BcdShowsItsExactValueThroughFormats) {
  auto* b = static_cast<TBCDField*>(F("B"));
  const struct {
    const char* Value;
    const char* Format;
    bool Currency;
    const char* Display;
  } cases[] = {
      {"1,005", "0.00", false, "1,01"},
      {"-1,005", "#,##0.00;(#,##0.00)", false, "(1,01)"},
      {"12345678901234,5678", "#,##0.000", false, "12\xA0" "345\xA0" "678\xA0" "901\xA0" "234,568"},
      {"1,005", "", true, "1,01 р."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    b->SetAsString(c.Value);
    b->SetDisplayFormat(c.Format);
    b->SetCurrency(c.Currency);
    EXPECT_EQ(c.Display, b->DisplayText());
  }
  b->SetCurrency(false);
  b->SetDisplayFormat("");
  auto* cents = static_cast<TBCDField*>(F("Cents"));
  cents->SetAsString("1234567890123456,78");
  cents->SetCurrency(true);
  EXPECT_EQ("1234567890123456,78", cents->Text());
  cents->SetCurrency(false);
}

TEST_F(FieldsTest, BcdHoldsEverySixtyFourBitValueAtItsScaleExactly) {
  auto* b = static_cast<TBCDField*>(F("Cents"));
  for (const char* text :
       {"92233720368547758,07", "-92233720368547758,08", "1234567890123456,78", "-0,01"}) {
    b->SetAsString(text);
    EXPECT_EQ(text, b->AsString());
    EXPECT_EQ(text, b->DisplayText());
    int64_t scaled = 0;
    ASSERT_TRUE(BCDToScaled(b->AsBCD(), 2, scaled));
    EXPECT_EQ(text, BCDToStr(b->AsBCD(), ','));
  }
  // Beyond Currency: Value is the exact text, AsCurrency overflows as a
  // float field's does.
  b->SetAsString("1234567890123456,78");
  EXPECT_EQ(Variant(AnsiString("1234567890123456,78")), b->Value());
  EXPECT_DOUBLE_EQ(1234567890123456.78, b->AsFloat());
  EXPECT_THROW(b->AsCurrency(), EOverflow);
  b->SetValue(b->Value());
  EXPECT_EQ("1234567890123456,78", b->AsString());
  // One step past either end is refused with the field named, and the value stays.
  for (const char* text : {"92233720368547758,08", "-92233720368547758,09", "1e30"}) {
    try {
      b->SetAsString(text);
      ADD_FAILURE() << text;
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.Message()).find("Cents"), std::string::npos) << e.Message();
    }
  }
  EXPECT_THROW(b->SetAsFloat(1e20), EDatabaseError);
  EXPECT_EQ("1234567890123456,78", b->AsString());
}

TEST(BcdTest, ComparesAndConvertsWhateverThePlaces) {
  auto bcd = [](const char* text) {
    TBcd value;
    EXPECT_TRUE(TryStrToBCD(text, '.', value)) << text;
    return value;
  };
  EXPECT_EQ(0, BCDCompare(bcd("1.5"), bcd("1.500")));
  EXPECT_EQ(0, BCDCompare(bcd("-0.00"), bcd("0")));
  EXPECT_EQ(-1, BCDCompare(bcd("-2"), bcd("-1.99")));
  EXPECT_EQ(1, BCDCompare(bcd("1.50"), bcd("1.4999999999")));
  EXPECT_EQ(1, BCDCompare(bcd("10"), bcd("9.9999")));
  EXPECT_EQ(1, BCDCompare(bcd("92233720368547758.07"), bcd("922337203685477.5807")));
  EXPECT_EQ(-1, BCDCompare(bcd("0.01"), bcd("0.1")));
  EXPECT_EQ("1200", BCDToStr(bcd("1.2e3"), ','));
  EXPECT_EQ("0,5", BCDToStr(bcd("5e-1"), ','));
  EXPECT_EQ("-0,000001", BCDToStr(bcd("-1e-6"), ','));
  // Beyond 64 digits the last decimals round away, carrying when they must.
  const AnsiString nines(40, '9');
  EXPECT_EQ("1" + AnsiString(40, '0'), BCDToStr(bcd((nines + "." + nines).c_str()), ','));
  EXPECT_EQ(nines + "," + AnsiString(24, '9'),
            BCDToStr(bcd((nines + "." + AnsiString(24, '9')).c_str()), ','));
  int64_t scaled = 0;
  ASSERT_TRUE(BCDToScaled(bcd("-2.5"), 0, scaled));
  EXPECT_EQ(-3, scaled);
  TBcd big = bcd("92233720368547758.08");
  EXPECT_FALSE(BCDToScaled(big, 2, scaled));
  TBcd tiny;
  ASSERT_TRUE(DoubleToBCD(1e-70, tiny));
  ASSERT_TRUE(BCDToScaled(tiny, 4, scaled));
  EXPECT_EQ(0, scaled);
  EXPECT_FALSE(DoubleToBCD(std::nan(""), tiny));
  EXPECT_FALSE(DoubleToBCD(1e70, tiny));
}

TEST(BcdTest, ConvertsBothWaysAndRoundsExtraPlaces) {
  for (int64_t scaled : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{10000}, int64_t{-99999999},
                         INT64_MAX, INT64_MIN}) {
    TBcd bcd;
    CurrToBCD(Currency::FromScaled(scaled), bcd);
    Currency back;
    ASSERT_TRUE(BCDToCurr(bcd, back));
    EXPECT_EQ(scaled, back.Scaled);
  }
  // 1.23456 with five places: rounds to 1.2346; 0.00005 (half) to 0.0000.
  TBcd five{6, 5, {0x12, 0x34, 0x56}};
  Currency c;
  ASSERT_TRUE(BCDToCurr(five, c));
  EXPECT_EQ(12346, c.Scaled);
  TBcd half{6, 5, {0x00, 0x00, 0x05}};
  ASSERT_TRUE(BCDToCurr(half, c));
  EXPECT_EQ(0, c.Scaled);
  TBcd badDigit{2, 0, {0x1A}};
  EXPECT_FALSE(BCDToCurr(badDigit, c));
  TBcd tooBig{20, 0, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}};
  EXPECT_FALSE(BCDToCurr(tooBig, c));
}

TEST_F(FieldsTest, BooleansUseTheirDisplayValues) {
  auto* b = static_cast<TBooleanField*>(F("Flag"));
  b->SetAsString("t");
  EXPECT_TRUE(b->AsBoolean());
  EXPECT_EQ("True", b->DisplayText());
  EXPECT_EQ(1, Native<int16_t>("Flag"));
  b->SetDisplayValues("Да;Нет");
  b->SetAsString("н");
  EXPECT_FALSE(b->AsBoolean());
  EXPECT_EQ("Нет", b->AsString());
  b->SetAsString("ДА");
  EXPECT_EQ(Variant(true), b->Value());
  try {
    b->SetAsString("может");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ("'может' не является логическим значением для поля 'Flag'", e.Message());
  }
  EXPECT_EQ(3, b->DisplayWidth());
}

TEST_F(FieldsTest, DatesAndTimesKeepTheNativeNumbering) {
  F("D")->SetAsString("01.02.2024");
  EXPECT_EQ(738917, Native<int32_t>("D"));  // days from 0001-01-01, that day being 1
  EXPECT_EQ(EncodeDate(2024, 2, 1), F("D")->AsDateTime());
  EXPECT_EQ("01.02.2024", F("D")->DisplayText());
  F("T")->SetAsDateTime(EncodeTime(13, 45, 30, 250));
  EXPECT_EQ(49530250, Native<int32_t>("T"));
  EXPECT_EQ("13:45:30", F("T")->Text());
  F("DT")->SetAsDateTime(EncodeDate(1899, 12, 29) - 0.25);  // before the epoch: 1899-12-29 06:00
  EXPECT_DOUBLE_EQ((693593.0) * 86400000.0 + 6 * 3600000.0, Native<double>("DT"));
  EXPECT_EQ("29.12.1899 6:00:00", F("DT")->DisplayText());
  // 23:59:59.9996 rounds to the next midnight.
  F("DT")->SetAsDateTime(EncodeDate(2024, 2, 1) + 86399.9996 / 86400);
  EXPECT_EQ(EncodeDate(2024, 2, 2), F("DT")->AsDateTime());
  static_cast<TDateTimeField*>(F("D"))->SetDisplayFormat("yyyy/mm/dd");
  EXPECT_EQ("2024.02.01", F("D")->DisplayText());
  EXPECT_EQ("01.02.2024", F("D")->Text());
  EXPECT_EQ(varDate, F("D")->Value().VarType());
  EXPECT_THROW(F("D")->SetAsString("31.02.2024"), EDatabaseError);
  F("D")->SetAsString(" ");
  EXPECT_TRUE(F("D")->IsNull());
}

TEST_F(FieldsTest, BinaryFieldsHoldRawBytes) {
  F("Bytes")->SetAsString(AnsiString("\x01\x00\x02", 3));
  EXPECT_EQ(AnsiString("\x01\x00\x02\x00", 4), F("Bytes")->AsString());
  F("VarBytes")->SetAsString(AnsiString("\xFF\x00\x41", 3));
  EXPECT_EQ(AnsiString("\xFF\x00\x41", 3), F("VarBytes")->AsString());
  uint8_t raw[6];
  ASSERT_TRUE(F("VarBytes")->GetData(raw));
  EXPECT_EQ(3, raw[0] | raw[1] << 8);
  F("VarBytes")->SetAsString("toolong");
  EXPECT_EQ("tool", F("VarBytes")->AsString());
}

TEST_F(FieldsTest, TextEventsAndValidation) {
  TField* s = F("S");
  s->OnGetText = [](TField* f, AnsiString& text, bool display) {
    text = (display ? "[" : "(") + f->AsString() + (display ? "]" : ")");
  };
  s->OnSetText = [](TField* f, const AnsiString& text) { f->SetAsString(AnsiUpperCase(text)); };
  s->SetText("абв");
  EXPECT_EQ("АБВ", s->AsString());
  EXPECT_EQ("[АБВ]", s->DisplayText());
  EXPECT_EQ("(АБВ)", s->Text());

  AnsiString seen;
  int changes = 0;
  s->OnValidate = [&](TField* f) {
    seen = f->AsString();  // the proposed value
    if (seen == "BAD") throw EDatabaseError("нельзя");
  };
  s->OnChange = [&](TField*) { ++changes; };
  s->SetAsString("ok");
  EXPECT_EQ("ok", seen);
  EXPECT_EQ(1, changes);
  EXPECT_THROW(s->SetAsString("BAD"), EDatabaseError);
  EXPECT_EQ("ok", s->AsString());
  EXPECT_EQ(1, changes);
}

TEST_F(FieldsTest, ValidCharsDependOnTheKind) {
  EXPECT_TRUE(F("I")->IsValidChar('7'));
  EXPECT_TRUE(F("I")->IsValidChar('-'));
  EXPECT_FALSE(F("I")->IsValidChar(','));
  EXPECT_TRUE(F("F")->IsValidChar(','));
  EXPECT_TRUE(F("F")->IsValidChar('E'));
  EXPECT_FALSE(F("F")->IsValidChar('x'));
  EXPECT_TRUE(F("S")->IsValidChar('x'));
  EXPECT_TRUE(F("S")->IsValidChar('\xC0'));
}

TEST_F(FieldsTest, DisplayPropertiesNotifyTheControls) {
  TDataSource source(nullptr);
  source.SetDataSet(&Data);
  std::vector<TDataEvent> events;
  struct TLink : TDataLink {
    std::vector<TDataEvent>* events;
    void DataSetChanged() override { events->push_back(deDataSetChange); }
    void LayoutChanged() override { events->push_back(deLayoutChange); }
  } link;
  link.events = &events;
  link.SetDataSource(&source);
  events.clear();
  F("S")->SetDisplayLabel("Строка");
  F("S")->SetAlignment(taCenter);
  F("S")->SetIndex(3);
  EXPECT_EQ((std::vector<TDataEvent>{deLayoutChange, deDataSetChange, deLayoutChange}), events);
  EXPECT_EQ("Строка", F("S")->DisplayName());
  EXPECT_EQ(3, F("S")->Index());
  EXPECT_EQ("Small", Data.Fields()->Fields(0)->FieldName());
}

TEST(FieldListTest, NamesAreUniqueAndFoundWithoutCase) {
  TArrayDataSet data(nullptr);
  data.SetName("Table1");
  TField* id = DefaultFieldClass(ftInteger)(&data);
  id->SetFieldName("Код");
  id->SetDataSet(&data);
  EXPECT_EQ(id, data.FindField("КОД"));
  TField* other = DefaultFieldClass(ftString)(&data);
  other->SetFieldName("код");
  try {
    other->SetDataSet(&data);
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ("Table1: Повторяющееся имя поля 'код'", e.Message());
  }
  try {
    data.FieldByName("Нет");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ("Table1: Поле 'Нет' не найдено", e.Message());
  }
  delete id;
  EXPECT_EQ(0, data.FieldCount());
}

TEST(FieldDefsTest, DefinitionsMakeFieldsAndIndexDefsFindByName) {
  TArrayDataSet data(nullptr);
  TFieldDefs* defs = data.FieldDefs();
  defs->Add("A", ftString, 12, true);
  defs->Add("B", ftGuid);
  EXPECT_THROW(defs->Add("a", ftInteger), EDatabaseError);
  EXPECT_THROW(defs->Find("Z"), EDatabaseError);
  EXPECT_EQ(1, defs->IndexOf("b"));
  EXPECT_EQ(2, defs->Items(1)->FieldNo());
  TField* a = defs->Items(0)->CreateField(&data);
  EXPECT_EQ(12, a->Size());
  EXPECT_TRUE(a->Required());
  EXPECT_EQ(&data, a->DataSet());
  defs->AddFieldDef()->SetDataType(ftVariant);
  EXPECT_THROW(defs->Items(2)->CreateField(&data), EDatabaseError);

  TIndexDefs indexes(&data);
  indexes.Add("ByName", "A;B", {ixUnique, ixCaseInsensitive});
  EXPECT_EQ("ByName", indexes.Find("byname")->DisplayName());
  EXPECT_TRUE(indexes.Items(0)->Options().Contains(ixUnique));
  EXPECT_THROW(indexes.Find("Other"), EDatabaseError);
  TIndexDefs copy(&data);
  copy.Assign(&indexes);
  EXPECT_EQ("A;B", copy.Items(0)->Fields());
}

TEST(NumbersTest, OutsideVisibleNumbersMatch) {
  EXPECT_EQ(0, ftUnknown);
  EXPECT_EQ(35, ftGuid);
  EXPECT_EQ(36, FieldTypeCount);
  EXPECT_STREQ("LargeInt", FieldTypeNames[ftLargeint]);
  EXPECT_STREQ("dBaseOle", FieldTypeNames[ftDBaseOle]);
  EXPECT_STREQ("Dispatch", FieldTypeNames[ftIDispatch]);
  EXPECT_STREQ("Guid", FieldTypeNames[ftGuid]);
  EXPECT_STREQ("InternalCalc", FieldKindNames[fkInternalCalc]);
  EXPECT_EQ(4, deLayoutChange);
  EXPECT_EQ(3, usDeleted);
  EXPECT_TRUE(IsBlobType(ftTypedBinary));
  EXPECT_TRUE(IsBlobType(ftOraClob));
  EXPECT_FALSE(IsBlobType(ftCursor));
}

}  // namespace
