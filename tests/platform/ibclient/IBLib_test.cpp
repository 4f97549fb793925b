// The Windows test prefix has no database client library: connecting says
// which libraries were looked for, and the next try looks again.
#include <gtest/gtest.h>

#include "ibclient/IBDatabase.h"
#include "ibclient/IBError.h"

namespace {

TEST(IBLib, WithoutAClientLibraryConnectingSaysWhichWereLookedFor) {
  TIBDatabase database(nullptr);
  database.SetDatabaseName("C:\\base.fdb");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      database.Open();
      FAIL() << "connected without a client library";
    } catch (const EIBClientError& e) {
      EXPECT_EQ(e.Message(), "Unable to load the database client library (fbclient.dll, gds32.dll)");
    }
    EXPECT_FALSE(database.Connected());
  }
}

}  // namespace
