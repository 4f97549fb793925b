// The binary stream format: golden bytes, hand-assembled streams of older
// versions, bit-for-bit round trips, and a table put back however a save or
// a load ends.
#include "zynStreamFormat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <cstring>
#include <future>

#include "zynCommon.h"
#include "zynTestTable.h"
#include "zynTypedTable.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Hand assembly of the tagged values, written from the format's table of tags.
struct Assembler {
  Bytes Out;
  Assembler& Raw(std::initializer_list<int> b) {
    for (int v : b) Out.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Assembler& Sig() { return Raw({'T', 'P', 'F', '0'}); }
  Assembler& List() { return Raw({1}); }
  Assembler& End() { return Raw({0}); }
  Assembler& Int(int32_t v) {
    if (v >= -128 && v <= 127) return Raw({2, v & 0xFF});
    if (v >= -32768 && v <= 32767) return Raw({3, v & 0xFF, (v >> 8) & 0xFF});
    return Raw({4, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF});
  }
  Assembler& Str(const std::string& s) {
    Raw({6, static_cast<int>(s.size())});
    Out.insert(Out.end(), s.begin(), s.end());
    return *this;
  }
  Assembler& Bool(bool b) { return Raw({b ? 9 : 8}); }
  // An extended value from its sign-exponent word and mantissa.
  Assembler& Ext(int signExponent, uint64_t mantissa) {
    Raw({5});
    for (int i = 0; i < 8; ++i) Out.push_back(static_cast<uint8_t>(mantissa >> (8 * i)));
    return Raw({signExponent & 0xFF, signExponent >> 8});
  }
  // Field definition of a given file version.
  Assembler& Field(int version, const std::string& name, const std::string& type, int size,
                   int width = 10) {
    Str(name).Str(type).Int(size).Str(name).Str("").Int(width).Bool(false).Bool(false);
    if (version >= 250) Str("Data");
    if (version >= 251) Str("");
    if (version >= 252) Bool(true);
    return *this;
  }
};

Bytes StreamBytes(TMemoryStream& Stream) {
  auto* data = static_cast<uint8_t*>(Stream.Memory());
  return Bytes(data, data + Stream.Size());
}

Bytes SaveBytes(TzynTestTable& Table, TzynCustomBinaryStreamFormat& Format) {
  TMemoryStream stream;
  Format.SaveToStream(&Table, &stream);
  return StreamBytes(stream);
}

void LoadBytes(TzynTestTable& Table, const Bytes& Data,
               TzynCustomBinaryStreamFormat* Format = nullptr) {
  TBytesStream stream(TBytes(Data.begin(), Data.end()));
  TzynBinaryStreamFormat own(nullptr);
  (Format ? *Format : own).LoadFromStream(&Table, &stream);
}

std::string Text(TzynTestTable& Table, const char* Field) {
  TField* field = Table.FieldByName(Field);
  return field->IsNull() ? "<null>" : field->AsString();
}

TEST(TzynBinaryStreamFormat, WritesTheGoldenBytesOfASmallTable) {
  TzynTestTable table;
  table.FieldDefs()->Add("ID", ftInteger);
  table.FieldDefs()->Add("NAME", ftString, 10);
  table.Open();
  table.Append();
  table.FieldByName("ID")->SetAsInteger(300);
  table.FieldByName("NAME")->SetAsString("Ёж");
  table.Post();
  table.Append();
  table.FieldByName("ID")->SetAsInteger(-2);
  table.Post();
  TzynBinaryStreamFormat format(nullptr);
  Assembler expected;
  expected.Sig().Int(252).List()
      .Field(252, "ID", "Integer", 0).Field(252, "NAME", "String", 10).End()
      .List().End()
      .List()
      .List().Int(0).Bool(false).Int(300).Bool(false).Str("\xA8\xE6").End()
      .List().Int(0).Bool(false).Int(-2).Bool(true).End()
      .End();
  Bytes bytes = SaveBytes(table, format);
  ASSERT_EQ(Bytes(bytes.begin(), bytes.begin() + 8),
            (Bytes{0x54, 0x50, 0x46, 0x30, 0x03, 0xFC, 0x00, 0x01}));
  EXPECT_EQ(bytes, expected.Out);
}

// ---- Round trips -------------------------------------------------------------

TEST(TzynBinaryStreamFormat, EveryTypeReadsBackBitForBit) {
  for (TzynPerformance performance : {mtpfFast, mtpfSmall}) {
    TzynTestTable source;
    FillTypedTable(source, performance);
    source.IndexDefs()->Add("BY_I", "S;I", TIndexOptions{ixUnique, ixDescending});
    source.IndexDefs()->Add("BY_S", "S;L", TIndexOptions{ixCaseInsensitive, ixNonMaintained});
    TzynBinaryStreamFormat format(nullptr);
    Bytes first = SaveBytes(source, format);

    TzynTestTable copy;
    copy.Common->Performance = performance;
    LoadBytes(copy, first);
    ASSERT_TRUE(copy.Active());
    ASSERT_EQ(copy.RecordCount(), 6);
    EXPECT_EQ(copy.IndexDefs()->Count(), 2);
    EXPECT_NE(copy.Indexes->IndexByName("BY_S"), nullptr);
    EXPECT_EQ(SaveBytes(copy, format), first) << performance;

    copy.First();
    EXPECT_EQ(copy.FieldByName("L")->AsString(), "9223372036854775807");
    EXPECT_EQ(copy.FieldByName("T")->IsNull(), false);  // midnight is a time, not null
    EXPECT_EQ(copy.FieldByName("S")->AsString().size(), 286u);
    auto blob = copy.FieldByName("BL");
    TzynRecord* record = copy.ActiveRec();
    TzynValue value;
    ASSERT_TRUE(GetRecordValue(&copy, record, blob, 0, value));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value.Data), static_cast<size_t>(value.Length)),
              std::string("\0blob\0", 6));
    copy.Next();
    EXPECT_EQ(copy.FieldByName("C")->AsCurrency().Scaled, -123456789);
    EXPECT_EQ(copy.FieldByName("L")->AsString(), "-9223372036854775807");
    EXPECT_EQ(copy.Common->AutoIncMax, 7);
  }
}

// Currency, BCD and Largeint values go into the stream as exact 80-bit
// numbers; the expected bytes are the nearest extended values worked out
// with exact fractions, not through a double.
TEST(TzynBinaryStreamFormat, CurrencyAndLargeintTravelAsExactExtendedBytes) {
  TzynTestTable table;
  table.FieldDefs()->Add("C", ftCurrency);
  table.FieldDefs()->Add("B", ftBCD, 4);
  table.FieldDefs()->Add("L", ftLargeint);
  table.Open();
  const Currency amount = Currency::FromScaled(12345678);
  struct Row {
    Currency C;
    Currency B;
    int64_t L;
  };
  const Row rows[] = {{amount, amount, 1234567890123456789},
                      {Currency::FromScaled(-12345678), Currency::FromScaled(INT64_MAX), INT64_MAX},
                      {Currency(922337203685477.0), Currency::FromScaled(INT64_MIN), INT64_MIN}};
  for (const Row& r : rows) {
    table.Append();
    table.FieldByName("C")->SetAsCurrency(r.C);
    table.FieldByName("B")->SetAsCurrency(r.B);
    static_cast<TLargeintField*>(table.FieldByName("L"))->SetAsLargeInt(r.L);
    table.Post();
  }
  Assembler records;
  records.List()
      .List().Int(0).Bool(false).Ext(0x4009, 0x9a522b6ae7d566cf).Bool(false)
      .Ext(0x4009, 0x9a522b6ae7d566cf).Bool(false).Ext(0x403b, 0x891087a3ef4c08a8).End()
      .List().Int(0).Bool(false).Ext(0xc009, 0x9a522b6ae7d566cf).Bool(false)
      .Ext(0x4030, 0xd1b71758e219652a).Bool(false).Ext(0x403d, 0xfffffffffffffffe).End()
      .List().Int(0).Bool(false).Ext(0x4030, 0xd1b71758e2194000).Bool(false)
      .Ext(0xc030, 0xd1b71758e219652c).Bool(false).Ext(0xc03e, 0x8000000000000000).End()
      .End();
  TzynBinaryStreamFormat format(nullptr);
  Bytes bytes = SaveBytes(table, format);
  ASSERT_GT(bytes.size(), records.Out.size());
  EXPECT_EQ(Bytes(bytes.end() - static_cast<std::ptrdiff_t>(records.Out.size()), bytes.end()), records.Out);
  TzynTestTable copy;
  LoadBytes(copy, bytes);
  copy.First();
  for (const Row& r : rows) {
    EXPECT_EQ(copy.FieldByName("C")->AsCurrency().Scaled, r.C.Scaled);
    EXPECT_EQ(copy.FieldByName("B")->AsCurrency().Scaled, r.B.Scaled);
    EXPECT_EQ(static_cast<TLargeintField*>(copy.FieldByName("L"))->AsLargeInt(), r.L);
    copy.Next();
  }
}

// Each value at or beyond what its field holds is refused by the setter or
// comes back from the stream exactly.
TEST(TzynBinaryStreamFormat, ValueExtremesAreRefusedOrComeBackEqual) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    TFieldType Type;
    const char* What;
    std::function<void(TField*)> Set;
    bool Refused;
  };
  auto asFloat = [](double v) { return [v](TField* f) { f->SetAsFloat(v); }; };
  auto asCurrency = [](Currency v) { return [v](TField* f) { f->SetAsCurrency(v); }; };
  auto asLarge = [](int64_t v) {
    return [v](TField* f) { static_cast<TLargeintField*>(f)->SetAsLargeInt(v); };
  };
  const Currency maxCurrency = Currency::FromScaled(INT64_MAX);
  const Currency minCurrency = Currency::FromScaled(INT64_MIN);
  const Case cases[] = {
      {ftCurrency, "1e18", asFloat(1e18), true},
      {ftCurrency, "the largest Currency (no double holds it)", asCurrency(maxCurrency), true},
      {ftCurrency, "-1e15", asFloat(-1e15), true},
      {ftCurrency, "922337203685477", asFloat(922337203685477.0), false},
      {ftCurrency, "-922337203685477.5", asFloat(-922337203685477.5), false},
      {ftCurrency, "Inf", asFloat(inf), true},
      {ftCurrency, "NaN", asFloat(nan), true},
      {ftBCD, "the largest Currency", asCurrency(maxCurrency), false},
      {ftBCD, "the smallest Currency", asCurrency(minCurrency), false},
      {ftBCD, "1e18", asFloat(1e18), true},
      {ftBCD, "NaN", asFloat(nan), true},
      {ftLargeint, "2^63-1", asLarge(INT64_MAX), false},
      {ftLargeint, "-2^63", asLarge(INT64_MIN), false},
      {ftLargeint, "9.3e18", asFloat(9.3e18), true},
      {ftLargeint, "NaN", asFloat(nan), true},
      {ftDate, "0001-01-01", asFloat(-693593), false},
      {ftDate, "9999-12-31", asFloat(2958465), false},
      {ftDate, "10000-01-01", asFloat(2958466), true},
      {ftDate, "0000-12-31", asFloat(-693594), true},
      {ftDate, "3,000,000", asFloat(3000000), true},
      {ftDate, "-700,000", asFloat(-700000), true},
      {ftDate, "Inf", asFloat(inf), true},
      {ftTime, "23:59:59.999", asFloat(0.99999998), false},
      {ftTime, "a time on 9999-12-31", asFloat(2958465.25), false},
      {ftTime, "3,000,000", asFloat(3000000), true},
      {ftTime, "NaN", asFloat(nan), true},
      {ftDateTime, "0001-01-01 12:00", asFloat(-693593.5), false},
      {ftDateTime, "9999-12-31 23:59:59.999", asFloat(2958465.99999998), false},
      {ftDateTime, "a millisecond that rounds into 10000", asFloat(2958465.9999999999), true},
      {ftDateTime, "-Inf", asFloat(-inf), true},
      {ftDateTime, "NaN", asFloat(nan), true},
      {ftFloat, "Inf", asFloat(inf), false},
      {ftFloat, "-Inf", asFloat(-inf), false},
      {ftFloat, "NaN", asFloat(nan), false},
      {ftFloat, "the largest double", asFloat(std::numeric_limits<double>::max()), false},
      {ftFloat, "the least denormal", asFloat(std::numeric_limits<double>::denorm_min()), false},
  };
  // The exact value a field holds.
  auto held = [](TField* f) -> std::string {
    if (f->DataType() == ftBCD) return std::to_string(f->AsCurrency().Scaled);
    if (f->DataType() == ftLargeint) return std::to_string(static_cast<TLargeintField*>(f)->AsLargeInt());
    double v = f->AsFloat();
    if (std::isnan(v)) return "nan";
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return std::to_string(bits);
  };
  for (const Case& c : cases) {
    TzynTestTable table;
    table.FieldDefs()->Add("V", c.Type, c.Type == ftBCD ? 4 : 0);
    table.Open();
    table.Append();
    TField* field = table.FieldByName("V");
    if (c.Refused) {
      EXPECT_THROW(c.Set(field), Exception) << c.What;
      EXPECT_TRUE(field->IsNull()) << c.What;
      table.Cancel();
      continue;
    }
    ASSERT_NO_THROW(c.Set(field)) << c.What;
    table.Post();
    TzynBinaryStreamFormat format(nullptr);
    TzynTestTable copy;
    ASSERT_NO_THROW(LoadBytes(copy, SaveBytes(table, format))) << c.What;
    ASSERT_EQ(copy.RecordCount(), 1) << c.What;
    EXPECT_EQ(held(copy.FieldByName("V")), held(field)) << c.What;
  }
}

TEST(TzynBinaryStreamFormat, VersionsTravelWithDeltasAndDeletedRecordsOnlyWithThem) {
  TzynTestTable table;
  table.FieldDefs()->Add("ID", ftInteger);
  table.Open();
  for (int id = 1; id <= 3; ++id) {
    table.Append();
    table.FieldByName("ID")->SetAsInteger(id);
    table.Post();
  }
  TzynCommon* common = table.Common;
  // Record 1 changed twice, record 2 deleted: three and two versions.
  auto change = [&](int slot, TUpdateStatus status, int32_t value) {
    TzynRecord* old = common->Records(slot);
    TzynRecord* newer = common->DuplicateRecord(old, true);
    old->Flag = 0;
    newer->PrevRecordVersion = old;
    newer->UpdateStatus = status;
    PutRecordValue(&table, newer, table.FieldByName("ID"), &value, 4);
    common->ReplaceRecord(newer);
  };
  change(0, usModified, 10);
  change(0, usModified, 100);
  change(1, usDeleted, 2);
  ++common->DeletedCount;
  common->RebuildIndexes();

  TzynBinaryStreamFormat format(nullptr);
  format.Flags.Include(sfSaveDeltas).Include(sfLoadDeltas);
  Bytes withDeltas = SaveBytes(table, format);
  TzynTestTable copy;
  LoadBytes(copy, withDeltas, &format);
  ASSERT_EQ(copy.Common->RecordCount(), 3);
  EXPECT_EQ(copy.Common->DeletedCount, 1);
  int versions = 0;
  for (TzynRecord* r = copy.Common->Records(0); r; r = r->PrevRecordVersion) ++versions;
  EXPECT_EQ(versions, 3);
  EXPECT_EQ(SaveBytes(copy, format), withDeltas);

  TzynBinaryStreamFormat plain(nullptr);
  TzynTestTable current;
  LoadBytes(current, SaveBytes(table, plain));
  EXPECT_EQ(current.Common->RecordCount(), 2);
  EXPECT_EQ(current.Common->DeletedCount, 0);
  EXPECT_EQ(current.Common->Records(0)->PrevRecordVersion, nullptr);
}

// ---- Older versions ----------------------------------------------------------

struct OldCase {
  int Version;
  std::vector<std::string> Expected;  // per record: "ID|DAY|TM|NAME|status"
  int IndexDefs;
};

Bytes OldStream(int Version) {
  Assembler a;
  a.Sig();
  if (Version != 100) a.Int(Version);
  a.List().Field(Version, "ID", "Integer", 0).Field(Version, "DAY", "Date", 0)
      .Field(Version, "TM", "Time", 0).Field(Version, "NAME", "String", 8).End();
  if (Version >= 200) a.List().Str("IX").Str("NAME").Str("IX").Bool(false).Bool(true).Bool(false).Bool(false).End();
  // Records: 7, day 0, midnight, "ab"; then 8 with a real date and time.
  auto record = [&](int id, bool zeros, int status) {
    a.List();
    if (Version >= 230) a.Int(status);
    auto value = [&](auto&& write) {
      if (Version >= 249) a.Bool(false);
      write();
    };
    value([&] { a.Int(id); });
    value([&] { zeros ? a.Int(0) : a.Ext(0x400E, 0xAFC8000000000000ULL); });  // 45000
    value([&] { zeros ? a.Int(0) : a.Ext(0x3FFE, 0x8000000000000000ULL); });  // 0.5
    value([&] { a.Str(id == 7 ? "ab" : "cd"); });
    a.End();
  };
  a.List();
  record(7, true, 1);
  record(8, false, 0);
  a.End();
  return a.Out;
}

TEST(TzynBinaryStreamFormat, HandAssembledOlderVersionsLoadAsTheirRulesSay) {
  const OldCase cases[] = {
      {100, {"7|<null>|<null>|ab|0", "8|15.03.2023|12:00:00|cd|0"}, 0},
      {200, {"7|<null>|<null>|ab|0", "8|15.03.2023|12:00:00|cd|0"}, 1},
      {230, {"7|<null>|<null>|ab|1", "8|15.03.2023|12:00:00|cd|0"}, 1},
      // From null flags on, 0 is a value: the epoch day and midnight.
      {249, {"7|30.12.1899|0:00:00|ab|1", "8|15.03.2023|12:00:00|cd|0"}, 1},
      {250, {"7|30.12.1899|0:00:00|ab|1", "8|15.03.2023|12:00:00|cd|0"}, 1},
      {251, {"7|30.12.1899|0:00:00|ab|1", "8|15.03.2023|12:00:00|cd|0"}, 1},
  };
  for (const OldCase& c : cases) {
    TzynTestTable table;
    TzynBinaryStreamFormat format(nullptr);
    LoadBytes(table, OldStream(c.Version), &format);
    EXPECT_EQ(format.StreamVersion(), c.Version);
    ASSERT_TRUE(table.Active()) << c.Version;
    std::vector<std::string> rows;
    for (table.First(); !table.Eof(); table.Next())
      rows.push_back(Text(table, "ID") + "|" + Text(table, "DAY") + "|" + Text(table, "TM") + "|" +
                     Text(table, "NAME") + "|" + std::to_string(table.ActiveRec()->UpdateStatus));
    EXPECT_EQ(rows, c.Expected) << c.Version;
    EXPECT_EQ(table.IndexDefs()->Count(), c.IndexDefs) << c.Version;
  }
}

TEST(TzynBinaryStreamFormat, AStreamWithAFieldListFillsFieldsByName) {
  Assembler a;
  a.Sig().Int(252).List().Field(252, "B", "String", 5).Field(252, "GONE", "Integer", 0)
      .Field(252, "A", "Integer", 0).End().List().End()
      .List().List().Int(0).Bool(false).Str("bee").Bool(false).Int(99).Bool(false).Int(1).End().End();
  TzynTestTable table;
  table.FieldDefs()->Add("A", ftInteger);
  table.FieldDefs()->Add("B", ftString, 2);
  table.Open();
  LoadBytes(table, a.Out);
  table.First();
  EXPECT_EQ(Text(table, "A"), "1");
  EXPECT_EQ(Text(table, "B"), "be");  // cut as the setter cuts
}

TEST(TzynBinaryStreamFormat, AStringDefinitionWithoutASizeGetsRoomForItsField) {
  // A string field made from a definition of size 0 is 20 wide.
  Assembler a;
  a.Sig().Int(252).List().Field(252, "S", "String", 0).Field(252, "M", "Memo", 0).End().List().End()
      .List().List().Int(0).Bool(false).Str(std::string(30, 'x')).Bool(false).Str("memo").End().End();
  TzynTestTable table;
  LoadBytes(table, a.Out);
  table.First();
  EXPECT_EQ(Text(table, "S"), std::string(20, 'x'));
  EXPECT_EQ(Text(table, "M"), "memo");
}

// ---- Errors --------------------------------------------------------------------

bool LockIsFree(TzynCommon* Common) {
  auto other = std::async(std::launch::async, [Common] {
    Common->Enter();
    Common->Leave();
  });
  return other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

// Fails on a write once Limit bytes went through.
class TFailingStream : public TMemoryStream {
 public:
  explicit TFailingStream(int64_t Limit) : FLimit(Limit) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    if (Size() + Count > FLimit) throw EWriteError("disk full");
    return TMemoryStream::Write(Buffer, Count);
  }

 private:
  int64_t FLimit;
};

void ExpectPutBack(TzynTestTable& Table, const std::string& Context) {
  EXPECT_FALSE(Table.ControlsDisabled()) << Context;
  EXPECT_FALSE(Table.Loading) << Context;
  EXPECT_TRUE(Table.EnableIndexes) << Context;
  EXPECT_TRUE(Table.View.Filtered && Table.View.Ranged && Table.View.MasterDetail) << Context;
  EXPECT_EQ(Table.CurrentRecordOverride, nullptr) << Context;
  EXPECT_TRUE(LockIsFree(Table.Common)) << Context;
}

TEST(TzynBinaryStreamFormat, AFailedSaveOrLoadPutsTheTableBack) {
  TzynTestTable table;
  FillTypedTable(table, mtpfFast);
  table.View = {true, true, true};
  TzynBinaryStreamFormat format(nullptr);
  Bytes good = SaveBytes(table, format);
  ASSERT_TRUE(table.View.Filtered);

  TFailingStream full(static_cast<int64_t>(good.size() / 2));
  EXPECT_THROW(format.SaveToStream(&table, &full), EWriteError);
  ExpectPutBack(table, "save");

  // Every cut of a good stream either loads or raises; none crashes.
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    TzynTestTable target;
    target.View = {true, true, true};
    Bytes part(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    try {
      LoadBytes(target, part);
    } catch (const Exception&) {
    }
    ExpectPutBack(target, "cut at " + std::to_string(cut));
    if (::testing::Test::HasFailure()) return;
  }
}

// A record type and an array: their children are fields of the table named
// after them, each with its own definition entry and value after theirs;
// theirs is the text form, and the nesting comes back from the names.
TEST(TzynBinaryStreamFormat, ObjectAndArrayFieldsRoundTripWithTheirChildren) {
  TzynMemTable source(nullptr);
  // Out of line from 13 characters: the children's values are buffers of their own.
  source.SetPerformance(mtpfBalanced);
  source.FieldDefs()->Add("ID", ftInteger);
  source.FieldDefs()->Add("ADDR", ftADT);
  TFieldDefs* addr = source.FieldDefs()->Items(1)->ChildDefs();
  addr->Add("CITY", ftString, 20);
  addr->Add("ZIP", ftInteger);
  source.FieldDefs()->Add("PHONES", ftArray, 2);
  source.FieldDefs()->Items(2)->ChildDefs()->Add("PHONE", ftString, 8);
  source.Open();
  ASSERT_EQ(source.FieldCount(), 7);
  auto* adt = dynamic_cast<TADTField*>(source.FieldByName("ADDR"));
  auto* array = dynamic_cast<TArrayField*>(source.FieldByName("PHONES"));
  ASSERT_TRUE(adt && array);
  EXPECT_EQ(adt->ChildFields(), (std::vector<TField*>{source.FieldByName("ADDR.CITY"),
                                                      source.FieldByName("ADDR.ZIP")}));
  EXPECT_EQ(source.FieldByName("PHONES[1]")->ParentField(), array);
  source.AppendRecord({Variant(1), Variant(), Variant(AnsiString("Тверь")), Variant(170000),
                       Variant(), Variant(AnsiString("111")), Variant(AnsiString("222"))});
  EXPECT_EQ(adt->AsString(), "(Тверь, 170000)");
  EXPECT_FALSE(adt->IsNull());
  source.Append();
  source.FieldByName("ID")->SetAsInteger(2);
  source.FieldByName("PHONES[1]")->SetAsString("333");
  source.Post();
  EXPECT_TRUE(adt->IsNull());
  EXPECT_EQ(array->AsString(), "(, 333)");

  auto width = [&](const char* name) { return source.FieldByName(name)->DisplayWidth(); };
  Assembler expected;
  expected.Sig()
      .Int(252)
      .List()
      .Field(252, "ID", "Integer", 0, width("ID"))
      .Field(252, "ADDR", "ADT", 0, width("ADDR"))
      .Field(252, "ADDR.CITY", "String", 20, width("ADDR.CITY"))
      .Field(252, "ADDR.ZIP", "Integer", 0, width("ADDR.ZIP"))
      .Field(252, "PHONES", "Array", 2, width("PHONES"))
      .Field(252, "PHONES[0]", "String", 8, width("PHONES[0]"))
      .Field(252, "PHONES[1]", "String", 8, width("PHONES[1]"))
      .End()
      .List()
      .End()
      .List()
      .List()
      .Int(0)
      .Bool(false)
      .Int(1)
      .Bool(false)
      .Str("(\xD2\xE2\xE5\xF0\xFC, 170000)")
      .Bool(false)
      .Str("\xD2\xE2\xE5\xF0\xFC")
      .Bool(false)
      .Int(170000)
      .Bool(false)
      .Str("(111, 222)")
      .Bool(false)
      .Str("111")
      .Bool(false)
      .Str("222")
      .End()
      .List()
      .Int(0)
      .Bool(false)
      .Int(2)
      .Bool(true)
      .Bool(true)
      .Bool(true)
      .Bool(false)
      .Str("(, 333)")
      .Bool(true)
      .Bool(false)
      .Str("333")
      .End()
      .End();
  TMemoryStream saved;
  source.SaveToStream(&saved);
  Bytes bytes = StreamBytes(saved);
  EXPECT_EQ(bytes, expected.Out);

  TzynMemTable loaded(nullptr);
  loaded.SetPerformance(mtpfBalanced);
  loaded.SetAttachMaxCount(2);
  saved.SetPosition(0);
  loaded.LoadFromStream(&saved);
  ASSERT_TRUE(loaded.Active());
  TFieldDefs* defs = loaded.FieldDefs();
  ASSERT_EQ(defs->Count(), 3);
  ASSERT_EQ(defs->Items(1)->ChildDefs()->Count(), 2);
  EXPECT_EQ(defs->Items(1)->ChildDefs()->Items(0)->Name(), "CITY");
  EXPECT_EQ(defs->Items(2)->Size(), 2);
  ASSERT_EQ(defs->Items(2)->ChildDefs()->Count(), 1);
  EXPECT_EQ(defs->Items(2)->ChildDefs()->Items(0)->DataType(), ftString);
  ASSERT_TRUE(dynamic_cast<TADTField*>(loaded.FieldByName("ADDR")));
  EXPECT_EQ(loaded.FieldByName("PHONES[0]")->ParentField(), loaded.FieldByName("PHONES"));
  loaded.First();
  EXPECT_EQ(loaded.FieldByName("ADDR")->AsString(), "(Тверь, 170000)");
  EXPECT_EQ(loaded.FieldByName("PHONES[1]")->AsString(), "222");
  loaded.Next();
  EXPECT_TRUE(loaded.FieldByName("ADDR.CITY")->IsNull());
  EXPECT_EQ(loaded.FieldByName("PHONES")->AsString(), "(, 333)");
  TMemoryStream again;
  loaded.SaveToStream(&again);
  EXPECT_EQ(StreamBytes(again), bytes);

  // A table attached to it has the same nesting.
  TzynMemTable clone(nullptr);
  clone.SetAttachedTo(&loaded);
  clone.Open();
  clone.Last();
  EXPECT_EQ(clone.FieldByName("PHONES")->AsString(), "(, 333)");
  EXPECT_EQ(clone.FieldByName("PHONES[1]")->ParentField(), clone.FieldByName("PHONES"));

  // Each element takes a field of its own, and the table holds only so many.
  TzynMemTable wide(nullptr);
  wide.FieldDefs()->Add("A", ftArray, ZYN_MAX_FIELDS);
  wide.FieldDefs()->Items(0)->ChildDefs()->Add("X", ftInteger);
  EXPECT_THROW(wide.Open(), EMemTableError);
  EXPECT_EQ(wide.FieldCount(), 0);
}

TEST(TzynBinaryStreamFormat, RefusesWhatItCannotRead) {
  TzynTestTable table;
  Assembler newer;
  newer.Sig().Int(253).List().End();
  EXPECT_THROW(LoadBytes(table, newer.Out), EMemTableError);
  Assembler unknown;
  unknown.Sig().Int(252).List().Field(252, "W", "WideString", 5).End();
  try {
    LoadBytes(table, unknown.Out);
    FAIL();
  } catch (const EMemTableError& e) {
    EXPECT_EQ(e.Message(), "Неизвестный тип поля (WideString)");
  }
  // Nested arrays multiply their entries: refused before any field is made.
  Assembler nested;
  nested.Sig()
      .Int(252)
      .List()
      .Field(252, "A", "Array", 32767)
      .Field(252, "A[0]", "Array", 32767)
      .Field(252, "A[0][0]", "Integer", 0)
      .End();
  try {
    LoadBytes(table, nested.Out);
    FAIL();
  } catch (const EMemTableError& e) {
    EXPECT_EQ(e.Message(), SzynTooManyFields);
  }
  // Nor is a field made for each element of the array that overflowed.
  EXPECT_LE(table.FieldCount(), ZYN_MAX_FIELDS);
  EXPECT_THROW(LoadBytes(table, Bytes{'T', 'P', 'F', '1', 2, 0}), EReadError);
  EXPECT_NO_THROW(LoadBytes(table, Bytes{}));
  EXPECT_FALSE(table.Active());
}

TEST(TzynBinaryStreamFormat, EachPublishedFlagSetOwnsOnlyItsMembers) {
  using F = TzynCustomBinaryStreamFormat;
  struct Case {
    const char* Name;
    TzynStreamFlags (F::*Get)() const;
    void (F::*Set)(TzynStreamFlags);
    TzynStreamFlags Members, Default;
  };
  const Case cases[] = {
      {"sfData", &F::sfData, &F::SetsfData, {sfSaveData, sfLoadData}, {sfSaveData, sfLoadData}},
      {"sfCalculated", &F::sfCalculated, &F::SetsfCalculated,
       {sfSaveCalculated, sfLoadCalculated}, {}},
      {"sfLookup", &F::sfLookup, &F::SetsfLookup, {sfSaveLookup, sfLoadLookup}, {}},
      {"sfNonVisible", &F::sfNonVisible, &F::SetsfNonVisible,
       {sfSaveNonVisible, sfLoadNonVisible}, {sfSaveNonVisible, sfLoadNonVisible}},
      {"sfBlobs", &F::sfBlobs, &F::SetsfBlobs, {sfSaveBlobs, sfLoadBlobs},
       {sfSaveBlobs, sfLoadBlobs}},
      {"sfDef", &F::sfDef, &F::SetsfDef, {sfSaveDef, sfLoadDef}, {sfSaveDef, sfLoadDef}},
      {"sfIndexDef", &F::sfIndexDef, &F::SetsfIndexDef, {sfSaveIndexDef, sfLoadIndexDef},
       {sfSaveIndexDef, sfLoadIndexDef}},
      {"sfFiltered", &F::sfFiltered, &F::SetsfFiltered, {sfSaveFiltered}, {sfSaveFiltered}},
      {"sfIgnoreRange", &F::sfIgnoreRange, &F::SetsfIgnoreRange, {sfSaveIgnoreRange},
       {sfSaveIgnoreRange}},
      {"sfIgnoreMasterDetail", &F::sfIgnoreMasterDetail, &F::SetsfIgnoreMasterDetail,
       {sfSaveIgnoreMasterDetail}, {sfSaveIgnoreMasterDetail}},
      {"sfDeltas", &F::sfDeltas, &F::SetsfDeltas, {sfSaveDeltas, sfLoadDeltas}, {}},
      {"sfDontFilterDeltas", &F::sfDontFilterDeltas, &F::SetsfDontFilterDeltas,
       {sfSaveDontFilterDeltas}, {}},
      {"sfAppend", &F::sfAppend, &F::SetsfAppend, {sfSaveAppend, sfSaveInsert}, {}},
      {"sfFieldKind", &F::sfFieldKind, &F::SetsfFieldKind, {sfSaveFieldKind, sfLoadFieldKind},
       {sfSaveFieldKind}},
      {"sfFromStart", &F::sfFromStart, &F::SetsfFromStart, {sfLoadFromStart}, {sfLoadFromStart}},
      {"sfUsingIndex", &F::sfUsingIndex, &F::SetsfUsingIndex, {sfSaveUsingIndex},
       {sfSaveUsingIndex}},
  };
  TzynStreamFlags every;
  for (int f = sfSaveData; f <= sfSaveUsingIndex; ++f) every.Include(TzynStreamFlag(f));
  TzynStreamFlags covered;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_TRUE((covered * c.Members).Empty()) << "a flag in two sets";
    covered = covered + c.Members;
    TzynBinaryStreamFormat format(nullptr);
    EXPECT_EQ((format.*c.Get)(), c.Default);
    // Writing a set touches none of the others, whatever it is given.
    format.Flags = every;
    (format.*c.Set)({});
    EXPECT_EQ(format.Flags, every - c.Members);
    EXPECT_TRUE((format.*c.Get)().Empty());
    (format.*c.Set)(every);
    EXPECT_EQ(format.Flags, every);
    format.Flags = {};
    (format.*c.Set)(every);
    EXPECT_EQ(format.Flags, c.Members);
    EXPECT_EQ((format.*c.Get)(), c.Members);
  }
  EXPECT_EQ(covered, every);
}

TEST(TzynBinaryStreamFormat, LimitsProgressAndBufferSize) {
  TzynTestTable table;
  table.FieldDefs()->Add("ID", ftInteger);
  table.Open();
  for (int id = 1; id <= 250; ++id) {
    table.Append();
    table.FieldByName("ID")->SetAsInteger(id);
    table.Post();
  }
  TzynBinaryStreamFormat format(nullptr);
  format.SetBufferSize(1000);
  EXPECT_EQ(format.BufferSize(), 16384);
  table.ProgressCalls.clear();
  Bytes all = SaveBytes(table, format);
  EXPECT_EQ(table.ProgressCalls, (std::vector<std::pair<int, TzynProgressCode>>{
                                     {0, mtpcSave}, {40, mtpcSave}, {80, mtpcSave}}));
  table.SaveLimit = 10;
  TzynTestTable few;
  LoadBytes(few, SaveBytes(table, format));
  EXPECT_FALSE(table.SavedCompletely);
  EXPECT_EQ(few.RecordCount(), 10);

  TzynTestTable limited;
  limited.LoadLimit = 25;
  LoadBytes(limited, all);
  EXPECT_EQ(limited.RecordCount(), 25);
  EXPECT_FALSE(limited.LoadedCompletely);
}

}  // namespace
