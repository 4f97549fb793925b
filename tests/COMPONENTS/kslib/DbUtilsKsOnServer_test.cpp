// The typed lookup's condition as the extra filter of a server-backed
// dataset on a database file: the case of Cyrillic and Latin letters does
// not matter, a quote in the text is taken as typed.
#include <gtest/gtest.h>

#include <vector>

#include "COMPONENTS/kslib/DbUtilsKs.h"
#include "tests/COMPONENTS/SDSTestKit.h"

namespace {

TEST(LookupLikeFilter, FiltersAServerDatasetWhateverTheCase) {
  TTestDatabase File{"nocomment"};
  File.Isql(R"(
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_REQ) VALUES (1, 'Москва', 0);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_REQ) VALUES (2, 'Тверь', 0);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_REQ) VALUES (3, 'москва-2', 0);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_REQ) VALUES (4, 'O''Brien', 0);
COMMIT;
)");
  TSDSOnFile Db(File);
  auto Data = Db.Dataset("ALL_TYPES");
  Data->SetIndexFieldNames("SYS$ID");
  Data->Open();
  auto Shown = [&] {
    std::vector<int> Ids;
    for (Data->First(); !Data->Eof(); Data->Next())
      Ids.push_back(Data->FieldByName("SYS$ID")->AsInteger());
    return Ids;
  };
  const struct {
    const char* Typed;
    std::vector<int> Ids;
  } Cases[] = {
      {"мо", {1, 3}}, {"МОСК", {1, 3}}, {"ерь", {2}}, {"o'b", {4}}, {"x", {}},
  };
  for (const auto& C : Cases) {
    Data->SetExtraFilterText(LookupLikeFilter("CODE", C.Typed));
    EXPECT_EQ(Shown(), C.Ids) << C.Typed;
  }
  Data->SetExtraFilterText("");
  EXPECT_EQ(Shown(), (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
