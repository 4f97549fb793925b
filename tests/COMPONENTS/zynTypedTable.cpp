#include "zynTypedTable.h"

#include <cstring>

#include "zynCommon.h"

namespace {

void DefineEveryType(TzynTestTable& Table) {
  auto* defs = Table.FieldDefs();
  defs->Add("S", ftString, 300);
  defs->Add("SI", ftSmallint);
  defs->Add("I", ftInteger);
  defs->Add("W", ftWord);
  defs->Add("B", ftBoolean);
  defs->Add("F", ftFloat);
  defs->Add("C", ftCurrency);
  defs->Add("BCD", ftBCD, 4);
  defs->Add("D", ftDate);
  defs->Add("T", ftTime);
  defs->Add("DT", ftDateTime);
  defs->Add("BY", ftBytes, 4);
  defs->Add("VB", ftVarBytes, 6);
  defs->Add("AI", ftAutoInc);
  defs->Add("BL", ftBlob);
  defs->Add("M", ftMemo);
  defs->Add("FC", ftFixedChar, 5);
  defs->Add("L", ftLargeint);
}

struct TypedRow {
  const char* S;
  int16_t SI;
  int32_t I;
  uint16_t W;
  bool B;
  double F;
  int64_t Scaled;
  double DateTimeValue;
  const char* Bytes4;
  const char* VarBytes;
  int32_t Auto;
  std::string Blob;
  int64_t Large;
};

void FillRow(TzynTestTable& Table, const TypedRow& Row, bool WithNulls) {
  Table.Append();
  TzynRecord* record = Table.ActiveRec();
  auto put = [&](const char* name, const void* data, int32_t length) {
    PutRecordValue(&Table, record, Table.FieldByName(name), data, length);
  };
  std::string longText = std::string(Row.S) + std::string(280, 'x');
  put("S", longText.data(), static_cast<int32_t>(longText.size()));
  put("SI", &Row.SI, 2);
  put("I", &Row.I, 4);
  put("W", &Row.W, 2);
  int16_t b = Row.B;
  put("B", &b, 2);
  put("F", &Row.F, 8);
  double c = Currency::FromScaled(Row.Scaled).ToDouble();
  put("C", &c, 8);
  TBcd bcd;
  CurrToBCD(Currency::FromScaled(Row.Scaled), bcd);
  put("BCD", &bcd, sizeof bcd);
  for (const char* name : {"D", "T", "DT"}) {
    uint8_t native[8];
    DateTimeToNative(Table.FieldByName(name)->DataType(), Row.DateTimeValue, native);
    put(name, native, 8);
  }
  put("BY", Row.Bytes4, 4);
  uint16_t length = static_cast<uint16_t>(std::strlen(Row.VarBytes));
  std::string vb(2, '\0');
  std::memcpy(vb.data(), &length, 2);
  vb += Row.VarBytes;
  put("VB", vb.data(), static_cast<int32_t>(vb.size()));
  put("AI", &Row.Auto, 4);
  put("BL", Row.Blob.data(), static_cast<int32_t>(Row.Blob.size()));
  put("M", "memo", 4);
  put("FC", "abcde", 5);
  put("L", &Row.Large, 8);
  if (WithNulls)
    for (const char* name : {"SI", "F", "D", "T", "BL", "L", "S"})
      PutRecordValue(&Table, record, Table.FieldByName(name), nullptr, 0);
  Table.Post();
}

const TypedRow TypedRows[] = {
    {"Иванов", -32768, INT32_MIN, 65535, true, -1.5e-300, 92233720368547, 0.0, "\0\1\2\3", "a\0b",
     1, std::string("\0blob\0", 6), INT64_MAX},
    {"", 7, 0, 0, false, 0.1, -123456789, 45000.5, "abcd", "", 5, "", -INT64_MAX},
    {"z", 1, 1, 1, true, 1e300, 1, 2958465.999, "\xFF\xFF\xFF\xFF", "123456", 7, "x",
     (int64_t{1} << 53) + 1},
};

}  // namespace

void FillTypedTable(TzynTestTable& Table, TzynPerformance Performance) {
  DefineEveryType(Table);
  Table.Common->Performance = Performance;
  Table.Open();
  for (int withNulls : {0, 1})
    for (const TypedRow& row : TypedRows) FillRow(Table, row, withNulls);
}

