#pragma once
// A server-backed dataset on a connected test database.

#include <memory>
#include <string>

#include "SDS.h"
#include "SDatabaseTestKit.h"
#include "zynMemTable.h"

struct TSDSOnFile : TSDatabaseOnFile {
  using TSDatabaseOnFile::TSDatabaseOnFile;
  // Not opened.
  std::unique_ptr<TSDS> Dataset(const AnsiString& TableName, TSDSOptions Extra = {}) {
    auto sds = std::make_unique<TSDS>(nullptr);
    sds->SetName("Sds");
    sds->SetDatabase(Database.get());
    sds->SetTransaction(Transaction.get());
    sds->SetTableName(TableName);
    sds->SetOptions(sds->Options() + Extra);
    return sds;
  }
};

// A counter the server keeps outside transactions (AUDIT_COUNT,
// EVENT_COUNT), so a lost attachment's messages still count.
inline int Counter(TIBDatabase& Database, const char* Sequence) {
  return std::stoi(QueryValue(Database, std::string("select gen_id(") + Sequence + ", 0) from rdb$database"));
}

// Record locks held by attachments that still exist.
inline int LiveLocks(TIBDatabase& Database) {
  std::string owners;
  for (int i = 0; i < 16; ++i) owners += (i ? ", " : "") + std::string("gen_id(LK_OWNER_") + std::to_string(i) + ", 0)";
  return std::stoi(
      QueryValue(Database, "select count(*) from MON$ATTACHMENTS where MON$ATTACHMENT_ID in (" + owners + ")"));
}

// MASTER_T's names as the client would look them up ("клиент 10",
// "клиент 11"), unlike the server's, so a lookup value shows where it was
// worked out.
inline void OpenClientNames(TzynMemTable& Names) {
  Names.FieldDefs()->Add("SYS$ID", ftLargeint);
  Names.FieldDefs()->Add("NAME", ftString, 20);
  Names.Open();
  for (int id : {10, 11}) {
    Names.Append();
    Names.FieldByName("SYS$ID")->SetAsInteger(id);
    Names.FieldByName("NAME")->SetAsString("клиент " + std::to_string(id));
    Names.Post();
  }
}

// DETAIL_T's rows with their master's name as the server gives it.
inline constexpr const char* DetailWithMasterName =
    "select DETAIL_T.SYS$ID, MASTER_ID, LINE_NO, M.NAME as MASTER_NAME, DETAIL_T.RDB$DB_KEY as "
    "IBX_INTERNAL_DBKEY from DETAIL_T join MASTER_T M on M.SYS$ID = DETAIL_T.MASTER_ID";

// A lookup field of a DETAIL_T dataset: the NAME of the record of Names
// whose SYS$ID is MASTER_ID.
inline TField* AddMasterNameLookup(TSDS& Sds, TDataSet& Names, const AnsiString& FieldName) {
  auto* lookup = new TStringField(&Sds);
  lookup->SetFieldName(FieldName);
  lookup->SetSize(60);
  lookup->SetFieldKind(fkLookup);
  lookup->SetKeyFields("MASTER_ID");
  lookup->SetLookupDataSet(&Names);
  lookup->SetLookupKeyFields("SYS$ID");
  lookup->SetLookupResultField("NAME");
  lookup->SetDataSet(&Sds);
  return lookup;
}
