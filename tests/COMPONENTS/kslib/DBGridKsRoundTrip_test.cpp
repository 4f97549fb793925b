// The binary format between server-backed datasets over real database
// files: rows exported from one go into another by each kind of target,
// and isql-fb reads the target table equal to the source. A cell error
// answered Yes, No or All.
#include <gtest/gtest.h>

#include "COMPONENTS/kslib/DBGridKsImportWalk.h"
#include "tests/COMPONENTS/SDSTestKit.h"

namespace {

// Datasets open in key order.
const std::vector<const char*> AllColumns = {
    "SYS$ID", "CODE",    "F_SMALL",   "F_INT",  "F_BIG",  "F_NUM18_4", "F_DOUBLE", "F_DATE",
    "F_TIME", "F_STAMP", "F_VARCHAR", "F_MEMO", "F_BLOB", "F_REQ",     "F_COLDEF", "F_DOMDEF"};

// The same without the key, for rows into existing records.
const std::vector<const char*> ValueColumns(AllColumns.begin() + 1, AllColumns.end());

const char* const SourceRows = R"(
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_SMALL, F_INT, F_BIG, F_NUM18_4, F_DOUBLE, F_DATE, F_TIME,
                       F_STAMP, F_VARCHAR, F_MEMO, F_BLOB, F_REQ)
VALUES (1, 'Ёжик', -32768, 2147483647, 9223372036854775807, 123456789012.3456, 0.1,
        DATE '0001-01-01', TIME '23:59:59', TIMESTAMP '2026-12-11 01:02:03', 'кавычка '' «»',
        'Съешь же ещё этих мягких французских булок', x'00FF000100', 1);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_SMALL, F_INT, F_BIG, F_NUM18_4, F_DOUBLE, F_DATE, F_STAMP,
                       F_VARCHAR, F_BLOB, F_REQ)
VALUES (2, 'щука', 32767, -2147483648, -9223372036854775807, -0.0001, -1.5e300, DATE '9999-12-31',
        TIMESTAMP '1899-12-30 00:00:00', ' ', x'00', 2);
INSERT INTO ALL_TYPES (SYS$ID, F_REQ) VALUES (3, 3);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_NUM18_4, F_MEMO, F_REQ) VALUES (4, 'Я', -12345678.9012, 'м', 4);
COMMIT;
)";

// Every compared column of the table, by key, as isql-fb prints it; blobs
// by their contents, not their identifiers.
const char* const Dump =
    "SELECT SYS$ID, CODE, F_SMALL, F_INT, F_BIG, F_NUM18_4, F_DOUBLE, F_DATE, F_TIME, F_STAMP, "
    "F_VARCHAR, CAST(F_MEMO AS VARCHAR(200)), F_REQ, F_COLDEF, F_DOMDEF FROM ALL_TYPES ORDER BY "
    "SYS$ID;\n"
    "SELECT SYS$ID, OCTET_LENGTH(F_BLOB), CAST(F_BLOB AS VARCHAR(8) CHARACTER SET OCTETS) "
    "FROM ALL_TYPES ORDER BY SYS$ID;";

struct TFieldTarget : TGridImportTarget {
  explicit TFieldTarget(TField* Field) : FieldObject(Field) {}
  bool AllowsChange(bool) override { return true; }
  TField* Field() override { return FieldObject; }
  bool HasKeyList() override { return false; }
  const TStrings& PickList() override { return None; }
  const TStrings& KeyList() override { return None; }
  TField* FieldObject;
  TStringList None;
};

class GridRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override { Source.Isql(SourceRows); }

  // The records RecNo From to To of the source, in the binary format.
  AnsiString Exported(int From, int To, const std::vector<const char*>& Columns = AllColumns) {
    TSDSOnFile db(Source);
    auto sds = db.Dataset("ALL_TYPES");
    sds->Open();
    TStringStream stream;
    TDBGridKsExportAsVCLDBIF writer(stream);
    TExportRow row(Columns.size());
    writer.WritePrefix(row);
    for (sds->SetRecNo(From); !sds->Eof() && sds->RecNo() <= To; sds->Next()) {
      for (size_t k = 0; k < Columns.size(); ++k)
        row[k].Value = ExportFieldValue(sds->FieldByName(Columns[k]));
      writer.WriteRecord(row);
    }
    writer.WriteSuffix();
    return stream.DataString();
  }

  // Imports the rows into the target's dataset; Prepare puts it where the
  // import starts and names the target records.
  template <typename TReader>
  void Import(const AnsiString& Bytes, const std::function<TGridTargetRecords(TSDS&)>& Prepare,
              bool AppendRest, TGridImportRecordWriter::TQuestion Ask = nullptr,
              const std::vector<const char*>& Columns = AllColumns) {
    TSDSOnFile db(Target);
    auto sds = db.Dataset("ALL_TYPES");
    sds->Open();
    std::vector<TFieldTarget> fields;
    for (const char* name : Columns) fields.emplace_back(sds->FieldByName(name));
    std::vector<TGridImportTarget*> targets;
    for (TFieldTarget& field : fields) targets.push_back(&field);
    const TGridTargetRecords records = Prepare(*sds);
    TStringStream stream(Bytes);
    TReader reader(stream);
    if (!Ask)
      Ask = [](const AnsiString& Message) -> TCellErrorAnswer {
        ADD_FAILURE() << Message;
        return TCellErrorAnswer::Abort;
      };
    TGridImportRecordWriter writer(*sds, Ask);
    try {
      ImportRecords(*sds, reader, records, AppendRest, targets, writer);
    } catch (const EAbort&) {
      Aborted = true;
    }
    StateAfter = sds->State();
  }

  TTestDatabase Source{"nocomment"}, Target{"nocomment"};
  bool Aborted = false;
  TDataSetState StateAfter = dsInactive;
};

TGridTargetRecords FromCurrent(TSDS&) { return {}; }

std::function<TGridTargetRecords(TSDS&)> Range(int First, int Last) {
  return [=](TSDS& Sds) {
    TGridTargetRecords records;
    records.Kind = TGridTargetRecords::Range;
    Sds.SetRecNo(First);
    records.First = Sds.GetBookmark();
    Sds.SetRecNo(Last);
    records.Last = Sds.GetBookmark();
    return records;
  };
}

std::function<TGridTargetRecords(TSDS&)> Listed(std::vector<int> RecNos) {
  return [=](TSDS& Sds) {
    TGridTargetRecords records;
    records.Kind = TGridTargetRecords::Listed;
    for (int recNo : RecNos) {
      Sds.SetRecNo(recNo);
      records.Bookmarks.push_back(Sds.GetBookmark());
    }
    return records;
  };
}

TEST_F(GridRoundTrip, AppendedInsertedAndOverwrittenRowsEqualTheSource) {
  const std::string source = Source.Isql(Dump);
  ASSERT_NE(source.find("Ёжик"), std::string::npos) << source;

  // No selection: the rows go from the current record on, the rest appended.
  Import<TDBGridKsImportAsVCLDBIF>(Exported(1, 4), FromCurrent, true);
  EXPECT_EQ(Target.Isql(Dump), source);

  // Rows into existing records: a rectangle over records 1 and 2, then the
  // listed records 3 and 4, in the opposite order.
  Target.Isql(
      "UPDATE ALL_TYPES SET CODE = 'x' || SYS$ID, F_NUM18_4 = 1, F_BLOB = NULL, F_STAMP = "
      "NULL;\nCOMMIT;");
  ASSERT_NE(Target.Isql(Dump), source);
  Import<TDBGridKsImportAsVCLDBIF>(Exported(1, 2, ValueColumns), Range(1, 2), false, nullptr,
                                   ValueColumns);
  Import<TDBGridKsImportAsVCLDBIF>(Exported(3, 4, ValueColumns), Listed({4, 3}), false, nullptr,
                                   ValueColumns);
  // In the bookmarks' order: record 4 took row 3's values.
  {
    TSDSOnFile db(Target);
    EXPECT_EQ(
        QueryValue(*db.Database, "select coalesce(CODE, '-') from ALL_TYPES where SYS$ID = 4"),
        "-");
  }
  Import<TDBGridKsImportAsVCLDBIF>(Exported(3, 4, ValueColumns), Listed({3, 4}), false, nullptr,
                                   ValueColumns);
  EXPECT_EQ(Target.Isql(Dump), source);
}

TEST_F(GridRoundTrip, AnInsertedRecordTakesEveryRowAsANewOne) {
  Import<TDBGridKsImportAsVCLDBIF>(
      Exported(1, 4),
      [](TSDS& Sds) {
        Sds.Append();
        return TGridTargetRecords{};
      },
      false);
  EXPECT_EQ(StateAfter, dsBrowse);
  EXPECT_EQ(Target.Isql(Dump), Source.Isql(Dump));
}

TEST_F(GridRoundTrip, ACellErrorAnsweredYesNoOrAll) {
  // Keys and integers as text: "x" is no integer.
  const AnsiString rows =
      "10\t1\t0\t5\t0\r\n11\tx\t0\t5\t0\r\n12\t3\t0\t5\t0\r\n13\tx\t0\t5\t0\r\n14\t5\t0\t5\t0";
  const auto targetRows = [&] {
    TSDSOnFile db(Target);
    return QueryValue(*db.Database,
                      "select list(R, ' ') from (select SYS$ID || ':' || coalesce(cast(F_INT as "
                      "varchar(11)), '-') R from ALL_TYPES order by SYS$ID)");
  };
  struct {
    std::vector<TCellErrorAnswer> Answers;
    size_t Asked;
    bool Aborted;
    const char* Rows;
  } cases[] = {
      {{TCellErrorAnswer::Ignore, TCellErrorAnswer::Ignore}, 2, false, "10:1 11:- 12:3 13:- 14:5"},
      {{TCellErrorAnswer::Abort}, 1, true, "10:1"},
      {{TCellErrorAnswer::IgnoreAll}, 1, false, "10:1 11:- 12:3 13:- 14:5"},
  };
  for (const auto& c : cases) {
    Target.Isql("DELETE FROM ALL_TYPES; COMMIT;");
    size_t asked = 0;
    Aborted = false;
    Import<TDBGridKsImportAsText>(
        rows,
        [](TSDS& Sds) {
          Sds.Append();
          return TGridTargetRecords{};
        },
        false, [&](const AnsiString&) { return c.Answers.at(asked++); },
        {"SYS$ID", "F_INT", "F_REQ", "F_COLDEF", "F_DOMDEF"});
    EXPECT_EQ(asked, c.Asked);
    EXPECT_EQ(Aborted, c.Aborted);
    EXPECT_EQ(StateAfter, dsBrowse);
    EXPECT_EQ(targetRows(), c.Rows);
  }
}

}  // namespace
