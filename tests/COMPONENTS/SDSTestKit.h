#pragma once
// A server-backed dataset on a connected test database.

#include <memory>
#include <string>

#include "SDS.h"
#include "SDatabaseTestKit.h"

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
