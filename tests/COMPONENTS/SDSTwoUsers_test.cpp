// Two users of one database: two attachments to one file, each with its
// own server-backed dataset over the same table.
#include <gtest/gtest.h>

#include <functional>

#include "SDSTestKit.h"
#include "SDSWriter.h"

namespace {

// How a user's dataset reads: read-only read committed with the writes in
// DefaultTransactionRW, read committed, or the default snapshot.
enum class TReading { ReadOnlyAndRW, ReadCommitted, Snapshot };

const char* Name(TReading Reading) {
  const char* names[] = {"read-only + RW", "read committed", "snapshot"};
  return names[static_cast<int>(Reading)];
}

struct TUser : TSDSOnFile {
  TUser(const TTestDatabase& File, TReading Reading) : TSDSOnFile(File, false) {
    if (Reading == TReading::ReadOnlyAndRW) {
      Transaction->Params()->SetText("read\nread_committed\nrec_version\nnowait");
      RW = std::make_unique<TIBTransaction>(nullptr);
      RW->SetDefaultDatabase(Database.get());
      RW->Params()->SetText("write\nread_committed\nrec_version\nnowait");
      Database->SetDefaultTransactionRW(RW.get());
    } else if (Reading == TReading::ReadCommitted) {
      Transaction->Params()->SetText("read_committed\nrec_version\nnowait");
    }
    Database->Open();
  }
  ~TUser() {
    Sds.reset();
    Database.reset();
    RW.reset();
  }
  TSDS& Open(const AnsiString& Table, TSDSOptions Extra = {}) {
    Sds = Dataset(Table, Extra);
    Sds->Open();
    return *Sds;
  }
  std::unique_ptr<TIBTransaction> RW;
  std::unique_ptr<TSDS> Sds;
};

AnsiString NameOf(TSDS& Sds, int Id) {
  if (!Sds.Locate("SYS$ID", Variant(Id), {})) return "<none>";
  return Sds.FieldByName("NAME")->AsString();
}

// The message of what the step raised; "" when it raised nothing.
AnsiString Raised(const std::function<void()>& Step) {
  try {
    Step();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

std::string Hex(int64_t Key) {
  std::string hex;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&Key);
  for (int i = 0; i < 8; ++i)
    hex += "0123456789ABCDEF"[bytes[i] >> 4], hex += "0123456789ABCDEF"[bytes[i] & 15];
  return hex;
}

// B deletes a row A holds, the engine collects its garbage and B's next
// insert takes the freed row key.
void ReuseRowKey(TUser& B, int Gone, int New) {
  ExecCommitted(*B.Database, "delete from MASTER_T where SYS$ID = " + std::to_string(Gone));
  QueryValue(*B.Database, "select count(*) from MASTER_T");
  ExecCommitted(*B.Database, "insert into MASTER_T (SYS$ID, NAME) values (" + std::to_string(New) +
                                 ", 'чужая')");
}

TEST(SDSTwoUsers, AStaleRowKeyNeverReachesAnotherRow) {
  enum TWrite { Update, Delete, Refresh };
  const char* writes[] = {"update", "delete", "refresh"};
  for (TReading reading : {TReading::ReadOnlyAndRW, TReading::Snapshot})
    for (TWrite write : {Update, Delete, Refresh}) {
      SCOPED_TRACE(std::string(Name(reading)) + ", " + writes[write]);
      TTestDatabase file("nocomment");
      file.Isql("INSERT INTO MASTER_T (SYS$ID, NAME) VALUES (12, 'Третий');\nCOMMIT;");
      TUser A(file, reading), B(file, TReading::ReadOnlyAndRW);
      TSDS& sds =
          A.Open("MASTER_T", write == Refresh ? TSDSOptions{dsoRefreshBeforeEdit} : TSDSOptions{});
      // The program ends its reading transaction: nothing keeps the garbage.
      if (reading == TReading::Snapshot) A.Transaction->Commit();
      ASSERT_TRUE(sds.Locate("SYS$ID", Variant(12), {}));
      const int64_t staleKey = sds.DBKey();
      ReuseRowKey(B, 12, 77);
      ASSERT_EQ(QueryValue(*B.Database, "select SYS$ID from MASTER_T where RDB$DB_KEY = x'" +
                                            Hex(staleKey) + "'"),
                "77")
          << "the engine gave the new row another key";
      AnsiString message;
      if (write == Delete) {
        message = Raised([&] { sds.Delete(); });
      } else {
        message = Raised([&] {
          sds.Edit();
          sds.FieldByName("NAME")->SetAsString("моя");
          sds.Post();
        });
        if (sds.State() != dsBrowse) sds.Cancel();
      }
      EXPECT_EQ(message, SRecordMaybeDeleted);
      EXPECT_EQ(QueryValue(*B.Database, "select NAME from MASTER_T where SYS$ID = 77"), "чужая");
      EXPECT_EQ(NameOf(sds, 77), "<none>");
    }
}

TEST(SDSTwoUsers, NoPostRevertsAnotherSessionsCommittedChange) {
  for (TReading reading : {TReading::ReadOnlyAndRW, TReading::ReadCommitted, TReading::Snapshot})
    for (bool locks : {false, true}) {
      SCOPED_TRACE(std::string(Name(reading)) + (locks ? ", record locks" : ", no locks"));
      TTestDatabase file("nocomment");
      TUser A(file, reading), B(file, TReading::ReadCommitted);
      A.Database->Session()->Register("A");
      B.Database->Session()->Register("B");
      const TSDSOptions options = locks ? TSDSOptions{dsoPessimisticLock} : TSDSOptions{};
      TSDS& a = A.Open("DETAIL_T", options);
      TSDS& b = B.Open("DETAIL_T", options);
      // B changes the line after A has loaded it; A then changes the amount.
      ASSERT_TRUE(b.Locate("SYS$ID", Variant(100), {}));
      b.Edit();
      b.FieldByName("LINE_NO")->SetAsInteger(5);
      b.Post();
      ASSERT_TRUE(a.Locate("SYS$ID", Variant(100), {}));
      const auto changeAmount = [&] {
        a.Edit();
        a.FieldByName("AMOUNT")->SetAsInteger(99);
        a.Post();
      };
      const AnsiString message = Raised(changeAmount);
      if (reading == TReading::Snapshot) {
        // The snapshot cannot write over a change it does not see: refused,
        // and a reload shows the row as it is now, which can be edited.
        EXPECT_NE(message, "");
        a.Cancel();
        EXPECT_EQ(QueryValue(*B.Database,
                             "select LINE_NO || ' ' || AMOUNT from DETAIL_T where SYS$ID = 100"),
                  "5 12.5000");
        a.Reload();
        ASSERT_TRUE(a.Locate("SYS$ID", Variant(100), {}));
        EXPECT_EQ(a.FieldByName("LINE_NO")->AsInteger(), 5);
        EXPECT_EQ(Raised(changeAmount), "");
      } else {
        EXPECT_EQ(message, "");
      }
      // A lock's edit starts from the row as it is.
      if (locks && reading != TReading::Snapshot) {
        EXPECT_EQ(a.FieldByName("LINE_NO")->AsInteger(), 5);
      }
      EXPECT_EQ(QueryValue(*B.Database,
                           "select LINE_NO || ' ' || AMOUNT from DETAIL_T where SYS$ID = 100"),
                "5 99.0000");
    }
}

TEST(SDSTwoUsers, RecordsMovedUnderEachOtherNeverMakeALoop) {
  for (TReading reading : {TReading::ReadOnlyAndRW, TReading::ReadCommitted, TReading::Snapshot}) {
    SCOPED_TRACE(Name(reading));
    TTestDatabase file("nocomment");
    file.Isql(
        "INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (50, 0, 0, 'пятьдесят');\n"
        "INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (51, 0, 0, 'пятьдесят "
        "один');\n"
        "INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (52, 0, 1073741824, "
        "'лист');\n"
        "INSERT INTO MASTER_T (SYS$ID, SYS$PID, SYS$STATE, NAME) VALUES (53, 0, 0, "
        "'удалят');\nCOMMIT;");
    TUser A(file, TReading::ReadCommitted), B(file, reading);
    TSDS& a = A.Open("MASTER_T", {dsoLevels});
    TSDS& b = B.Open("MASTER_T", {dsoLevels});
    // A list record takes no children; a parent must be there.
    const auto moveA = [&](int64_t Parent) {
      return Raised([&] {
        a.GotoID(50);
        a.ChangeParent(Parent);
      });
    };
    EXPECT_EQ(moveA(52), "Листовая запись 52 не может быть родителем");
    ExecCommitted(*A.Database, "delete from MASTER_T where SYS$ID = 53");
    EXPECT_EQ(moveA(53), "Родительская запись 53 не найдена в базе");
    EXPECT_EQ(a.State(), dsBrowse);
    EXPECT_EQ(moveA(51), "");
    // B still holds 50 at the top.
    b.GotoID(51);
    EXPECT_NE(Raised([&] { b.ChangeParent(50); }), "");
    EXPECT_EQ(b.State(), dsBrowse);
    EXPECT_EQ(
        A.Rows("select SYS$ID || ':' || SYS$PID from MASTER_T where SYS$ID in (50, 51) order by 1"),
        (std::vector<AnsiString>{"50:51", "51:0"}));
  }
}

}  // namespace
