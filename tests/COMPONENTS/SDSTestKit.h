#pragma once
// A server-backed dataset on a connected test database.

#include <memory>

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
