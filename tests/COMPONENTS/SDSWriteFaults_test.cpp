// Nothing lost, nothing duplicated: every write of a server-backed dataset
// with a server function failing, or the attachment cut before the
// statement, before the commit or after it, under each answer of the error
// event.
#include <gtest/gtest.h>

#include <algorithm>

#include "SDSTestKit.h"

namespace {

enum class TOp { Insert, Update, Delete };
enum class TFault { AuditFails, EventFails, KillBeforeExecute, KillBeforeCommit, KillAfterCommit };
enum class TAnswer { Fail, Abort, Retry, Unassigned };

const char* Name(TOp Op) { return Op == TOp::Insert ? "insert" : Op == TOp::Update ? "update" : "delete"; }
const char* Name(TFault Fault) {
  const char* names[] = {"audit fails", "event fails", "cut before execute", "cut before commit",
                         "cut after commit"};
  return names[static_cast<int>(Fault)];
}
const char* Name(TAnswer Answer) {
  const char* names[] = {"fail", "abort", "retry", "unassigned"};
  return names[static_cast<int>(Answer)];
}

bool IsCommitCall(const std::string& Name) {
  return Name == "isc_commit_retaining" || Name == "isc_commit_transaction";
}

class TFaultRun {
 public:
  TFaultRun(TOp Op, TFault Fault, TAnswer Answer) : FOp(Op), FFault(Fault), FAnswer(Answer) {
    ExecCommitted(*B.Database, "insert into MASTER_T (SYS$ID, NAME) values (12, 'Третий')");
    if (Fault == TFault::AuditFails)
      ExecCommitted(*B.Database, "insert into TEST_OUTCOME (FUNC_NAME, ERROR_TEXT) values ('F_WRITEAUDITMSG', 'нет')");
    if (Fault == TFault::EventFails)
      ExecCommitted(*B.Database, "insert into TEST_OUTCOME (FUNC_NAME, ERROR_TEXT) values ('F_POSTEVENT', 'нет')");
    A.Database->Session()->Register("A");
    B.Database->Session()->Register("B");
    AttachmentA = QueryValue(*A.Database, "select CURRENT_CONNECTION from RDB$DATABASE");
    A.Transaction->Commit();  // a new snapshot, with the row above
    Sds = A.Dataset("MASTER_T", {dsoPessimisticLock, dsoAudit, dsoSendNotification});
    Sds->Open();
    if (Answer != TAnswer::Unassigned) {
      auto handler = [this](TDataSet*, EDatabaseError&, TDataAction& Action) {
        ++HandlerCalls;
        Action = FAnswer == TAnswer::Fail ? daFail : FAnswer == TAnswer::Abort ? daAbort : daRetry;
        if (Action != daRetry) return;
        if (HandlerCalls > 1) {
          Action = daFail;
          return;
        }
        if (Killed) Reconnect();
      };
      Sds->OnPostError = handler;
      Sds->OnDeleteError = handler;
    }
  }

  void Run() {
    Audits = Counter(*B.Database, "AUDIT_COUNT");
    Events = Counter(*B.Database, "EVENT_COUNT");
    if (FOp == TOp::Insert) {
      Sds->Append();
      Sds->FieldByName("SYS$ID")->SetAsInteger(70);
      Sds->FieldByName("NAME")->SetAsString("новая");
    } else {
      ASSERT_TRUE(Sds->Locate("SYS$ID", Variant(FOp == TOp::Update ? 10 : 12), {}));
      if (FOp == TOp::Update) {
        Sds->Edit();
        Sds->FieldByName("NAME")->SetAsString("изменена");
      }
    }
    int executes = 0;
    bool committed = false, cutting = false;
    TSeamGuard guard([&](const char* Entry) {
      if (!Armed || Killed || cutting) return;
      const std::string entry = Entry;
      bool cut = false;
      if (FFault == TFault::KillBeforeExecute)
        cut = entry == "isc_dsql_execute2" && ++executes == (FOp == TOp::Delete ? 2 : 1);
      else if (FFault == TFault::KillBeforeCommit)
        cut = IsCommitCall(entry);
      else if (FFault == TFault::KillAfterCommit)
        cut = std::exchange(committed, committed || IsCommitCall(entry));
      if (!cut) return;
      cutting = true;
      ExecCommitted(*B.Database, "delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = " + AttachmentA);
      cutting = false;
      Killed = true;
    });
    Armed = true;
    try {
      FOp == TOp::Delete ? Sds->Delete() : Sds->Post();
    } catch (const ESDS_IBError&) {
      Raised = "write error";
    } catch (const EAbort&) {
      Raised = "abort";
    } catch (const std::exception&) {
      Raised = "error";
    }
    Armed = false;
  }

  void Check() {
    const bool afterCommit = FFault == TFault::AuditFails || FFault == TFault::EventFails ||
                             FFault == TFault::KillAfterCommit;
    const bool written = afterCommit || FAnswer == TAnswer::Retry;
    const char* raised = afterCommit                     ? "error"
                         : FAnswer == TAnswer::Retry     ? ""
                         : FAnswer == TAnswer::Abort     ? "abort"
                                                         : "write error";
    EXPECT_EQ(Raised, raised);
    const bool consulted = !afterCommit && FAnswer != TAnswer::Unassigned;
    EXPECT_EQ(HandlerCalls, consulted ? 1 : 0);
    // A post done on the server is done in memory; one that failed stays in
    // edit until cancelled, which releases the lock.
    if (FOp != TOp::Delete) {
      EXPECT_EQ(Sds->State() == dsBrowse, written);
    }
    Sds->Cancel();

    const char* server[] = {"select count(*) from MASTER_T where SYS$ID = 70 and NAME = 'новая'",
                            "select count(*) from MASTER_T where SYS$ID = 10 and NAME = 'изменена'",
                            "select count(*) from MASTER_T where SYS$ID = 12"};
    const int expected[] = {written ? 1 : 0, written ? 1 : 0, written ? 0 : 1};
    const int op = static_cast<int>(FOp);
    EXPECT_EQ(QueryValue(*B.Database, server[op]), std::to_string(expected[op]));
    EXPECT_EQ(QueryValue(*B.Database, "select count(*) from MASTER_T"),
              std::to_string(3 + (FOp == TOp::Insert && written ? 1 : 0) - (FOp == TOp::Delete && written ? 1 : 0)));
    const int id[] = {70, 10, 12};
    const bool inMemory = Sds->Locate("SYS$ID", Variant(id[op]), {});
    EXPECT_EQ(inMemory, FOp == TOp::Update || (FOp == TOp::Insert) == written);
    if (FOp == TOp::Update) {
      EXPECT_EQ(Sds->FieldByName("NAME")->AsString(), written ? "изменена" : "Первый");
    }

    const bool auditLost = FFault == TFault::AuditFails || FFault == TFault::KillAfterCommit;
    const bool eventLost = FFault == TFault::EventFails || FFault == TFault::KillAfterCommit;
    EXPECT_EQ(Counter(*B.Database, "AUDIT_COUNT") - Audits, written && !auditLost ? 1 : 0);
    EXPECT_EQ(Counter(*B.Database, "EVENT_COUNT") - Events, written && !eventLost ? 1 : 0);
    EXPECT_EQ(LiveLocks(*B.Database), 0);

    // Loaded again, memory and server agree.
    if (Killed && !Reconnected) Reconnect();
    Sds->Reload();
    std::vector<AnsiString> memory;
    for (Sds->First(); !Sds->Eof(); Sds->Next())
      memory.push_back(Sds->FieldByName("SYS$ID")->AsString() + "=" + Sds->FieldByName("NAME")->AsString());
    std::sort(memory.begin(), memory.end());
    EXPECT_EQ(memory, B.Rows("select SYS$ID || '=' || NAME from MASTER_T order by 1"));
  }

 private:
  void Reconnect() {
    Reconnected = true;
    A.Database->Close();
    A.Database->Open();
    A.Database->Session()->Register("A");
  }

  TOp FOp;
  TFault FFault;
  TAnswer FAnswer;
  TTestDatabase File{"nocomment"};
  TSDSOnFile A{File}, B{File};
  std::unique_ptr<TSDS> Sds;
  AnsiString AttachmentA;
  TScriptedDataPrompts Prompts;
  bool Armed = false, Killed = false, Reconnected = false;
  int HandlerCalls = 0, Audits = 0, Events = 0;
  std::string Raised;
};

TEST(SDSWriteFaults, EachChangeIsWrittenOnceOrNotAtAll) {
  for (TOp op : {TOp::Insert, TOp::Update, TOp::Delete})
    for (TFault fault : {TFault::AuditFails, TFault::EventFails, TFault::KillBeforeExecute,
                         TFault::KillBeforeCommit, TFault::KillAfterCommit})
      for (TAnswer answer : {TAnswer::Fail, TAnswer::Abort, TAnswer::Retry, TAnswer::Unassigned}) {
        SCOPED_TRACE(std::string(Name(op)) + ", " + Name(fault) + ", " + Name(answer));
        TFaultRun run(op, fault, answer);
        run.Run();
        run.Check();
      }
}

}  // namespace

namespace {

// The attachment of A cut at one client call of an operation: afterwards
// the dataset is in browse, once reconnected its records equal the rows on
// the server, and moving through them writes nothing.
enum class TCutOp { VirtualDelete, ReadBeforeEdit, GroupCommit, IncrementalRefresh };

struct TCutCase {
  const char* Name;
  TCutOp Op;
  // The client call cut, and the how-manieth of its kind.
  const char* Entry;
  int Nth;
  TSDSOptions Options;
};

std::vector<AnsiString> MemoryRows(TSDS& Sds) {
  std::vector<AnsiString> rows;
  for (Sds.First(); !Sds.Eof(); Sds.Next())
    rows.push_back(Sds.FieldByName("SYS$ID")->AsString() + "|" + Sds.FieldByName("NAME")->AsString() + "|" +
                   Sds.FieldByName("SYS$STATE")->AsString());
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(SDSWriteFaults, ACutConnectionLeavesMemoryAsTheServerHasIt) {
  const TCutCase cases[] = {
      {"virtual delete", TCutOp::VirtualDelete, "isc_dsql_execute2", 1, {dsoVirtualDelete}},
      {"read before an edit", TCutOp::ReadBeforeEdit, "isc_dsql_execute2", 1, {dsoRefreshBeforeEdit}},
      {"group walk's end commit", TCutOp::GroupCommit, "isc_commit_retaining", 1, {}},
      {"incremental refresh", TCutOp::IncrementalRefresh, "isc_dsql_execute2", 1, {}},
  };
  for (const TCutCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTestDatabase file("nocomment");
    TSDSOnFile A(file), B(file);
    ExecCommitted(*B.Database, "update MASTER_T set SYS$STATE = 0, SYS$TIME = '2024-05-01 10:00:00'");
    A.Transaction->Commit();
    A.Transaction->Params()->SetText("read_committed\nrec_version\nnowait");
    const AnsiString attachment = QueryValue(*A.Database, "select CURRENT_CONNECTION from RDB$DATABASE");
    auto sds = A.Dataset("MASTER_T", c.Options);
    sds->Open();
    ASSERT_TRUE(sds->Locate("SYS$ID", Variant(10), {}));

    bool armed = true, cut = false;
    int calls = 0;
    TSeamGuard guard([&](const char* Entry) {
      if (!armed || cut || Entry != std::string(c.Entry) || ++calls != c.Nth) return;
      cut = true;
      ExecCommitted(*B.Database, "delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = " + attachment);
    });
    AnsiString raised;
    try {
      switch (c.Op) {
        case TCutOp::VirtualDelete:
          sds->Delete();
          break;
        case TCutOp::ReadBeforeEdit:
          sds->Edit();
          break;
        case TCutOp::GroupCommit:
          sds->WithCommitsHeld([&] {
            for (sds->First(); !sds->Eof(); sds->Next()) {
              sds->Edit();
              sds->FieldByName("NAME")->SetAsString("группа");
              sds->Post();
            }
          });
          break;
        case TCutOp::IncrementalRefresh:
          sds->IncrementalRefresh(0);
          break;
      }
    } catch (const Exception& e) {
      raised = e.Message();
    }
    armed = false;
    ASSERT_TRUE(cut);
    EXPECT_NE(raised.find("connection shutdown"), AnsiString::npos) << raised;
    EXPECT_FALSE(sds->InternalLoading());
    if (sds->Active()) {
      EXPECT_EQ(sds->State(), dsBrowse);
    }

    A.Database->Close();
    A.Database->Open();
    const std::vector<AnsiString> server = B.Rows("select SYS$ID || '|' || NAME || '|' || SYS$STATE from MASTER_T");
    if (!sds->Active()) sds->Open();
    EXPECT_EQ(MemoryRows(*sds), server);
    EXPECT_EQ(B.Rows("select SYS$ID || '|' || NAME || '|' || SYS$STATE from MASTER_T"), server);
    // What is in memory is written as any change is.
    if (!sds->Locate("SYS$ID", Variant(10), {})) {
      ADD_FAILURE() << "record 10 is not shown";
      continue;
    }
    sds->Edit();
    sds->FieldByName("NAME")->SetAsString("потом");
    sds->Post();
    EXPECT_EQ(QueryValue(*B.Database, "select NAME from MASTER_T where SYS$ID = 10"), "потом");
  }
}

}  // namespace
