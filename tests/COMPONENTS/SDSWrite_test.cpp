// Writing a server-backed dataset's changes to a real database file.
#include <gtest/gtest.h>

#include "SDS.h"
#include "SDSWriter.h"
#include "SDSTestKit.h"

namespace {

TEST(SDSWrite, InsertUpdateDeleteReachTheServer) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  auto sds = db.Dataset("MASTER_T");
  sds->Open();
  sds->Append();
  sds->FieldByName("SYS$ID")->SetAsInteger(50);
  sds->FieldByName("NAME")->SetAsString("кавычка ' -- :name");
  sds->Post();
  EXPECT_NE(sds->DBKey(), 0);
  EXPECT_EQ(QueryValue(*db.Database, "select NAME from MASTER_T where SYS$ID = 50"), "кавычка ' -- :name");
  sds->Edit();
  sds->FieldByName("NAME")->SetAsString("Третий");
  sds->Post();
  EXPECT_EQ(QueryValue(*db.Database, "select NAME from MASTER_T where SYS$ID = 50"), "Третий");
  sds->Delete();
  EXPECT_EQ(QueryValue(*db.Database, "select count(*) from MASTER_T where SYS$ID = 50"), "0");
}

}  // namespace
