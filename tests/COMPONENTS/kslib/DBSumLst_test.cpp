// The sum list over an in-memory dataset: walks, adjustments from the
// dataset's events, and producers that come and go (under the sanitizers
// natively).
#include "COMPONENTS/kslib/DBSumLst.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/platform/db/ArrayDataSet.h"

namespace {

// A dataset whose deletes the "database" may refuse.
class TAmounts : public TArrayDataSet {
 public:
  explicit TAmounts(std::initializer_list<std::optional<double>> Values) : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Id", ftInteger);
    FieldDefs()->Add("Amount", ftFloat);
    FieldDefs()->Add("Note", ftString, 10);
    Open();
    int Id = 0;
    for (auto& V : Values) {
      Append();
      FieldByName("Id")->SetAsInteger(++Id);
      if (V) FieldByName("Amount")->SetAsFloat(*V);
      Post();
    }
    First();
  }
  ~TAmounts() override { Close(); }
  bool RefuseDeletes = false;

 protected:
  void InternalDelete() override {
    if (RefuseDeletes) throw EDatabaseError("удаление запрещено");
    TArrayDataSet::InternalDelete();
  }
};

struct TSums {
  TDBSumListProducer List{nullptr};
  TDBSum* Sum;
  TDBSum* Avg;
  TDBSum* CountAll;
  TDBSum* CountAmount;
  explicit TSums(TDataSet* Data) {
    List.SetActive(false);
    Sum = Add(goSum, "Amount");
    Avg = Add(goAvg, "Amount");
    CountAll = Add(goCount, "");
    CountAmount = Add(goCount, "Amount");
    List.SetDataSet(Data);
    List.SetActive(true);
  }
  TDBSum* Add(TGroupOperation Op, const char* Field) {
    TDBSum* S = List.SumCollection()->Add();
    S->SetGroupOperation(Op);
    S->SetFieldName(Field);
    return S;
  }
};

void Locate(TDataSet* Data, int Id) { ASSERT_TRUE(Data->Locate("Id", Variant(Id), {})); }

TEST(SumList, AggregatesFollowEditsInsertsAndDeletes) {
  TAmounts Data{1.0, std::nullopt, 2.0};
  TSums S(&Data);
  EXPECT_EQ(S.Sum->SumValue, 30000);
  EXPECT_EQ(S.Avg->SumValue, 15000) << "the null is not averaged";
  EXPECT_EQ(S.CountAll->SumValue, 30000);
  EXPECT_EQ(S.CountAmount->SumValue, 20000);
  EXPECT_EQ(Data.FieldByName("Id")->AsInteger(), 1) << "a walk ends on the first record";

  Locate(&Data, 2);
  Data.Edit();
  Data.FieldByName("Amount")->SetAsFloat(3.0);
  Data.Post();
  EXPECT_EQ(S.Sum->SumValue, 60000);
  EXPECT_EQ(S.Avg->SumValue, 20000);
  EXPECT_EQ(S.CountAmount->SumValue, 30000);

  Data.Append();
  Data.FieldByName("Id")->SetAsInteger(4);
  Data.Post();
  EXPECT_EQ(S.CountAll->SumValue, 40000);
  EXPECT_EQ(S.CountAmount->SumValue, 30000) << "a null amount is not counted";

  Locate(&Data, 1);
  Data.Delete();
  EXPECT_EQ(S.Sum->SumValue, 50000);
  EXPECT_EQ(S.Avg->SumValue, 25000);
  EXPECT_EQ(S.CountAll->SumValue, 30000);

  // A delete the database refuses leaves every aggregate as it was.
  Data.RefuseDeletes = true;
  Locate(&Data, 2);
  EXPECT_THROW(Data.Delete(), EDatabaseError);
  EXPECT_EQ(S.Sum->SumValue, 50000);
  EXPECT_EQ(S.Avg->SumValue, 25000);
  EXPECT_EQ(S.CountAmount->SumValue, 20000);
}

TEST(SumList, ANewRecordWithADefaultIsCountedOnce) {
  TAmounts Data{1.0};
  Data.OnNewRecord = [](TDataSet* D) { D->FieldByName("Amount")->SetAsFloat(5.0); };
  TSums S(&Data);
  Data.Append();
  Data.FieldByName("Id")->SetAsInteger(2);
  Data.Post();
  EXPECT_EQ(S.CountAmount->SumValue, 20000);
  EXPECT_EQ(S.Sum->SumValue, 60000);
  EXPECT_EQ(S.Avg->SumValue, 30000);
}

TEST(SumList, ValuesRoundToFourDecimalsHalvesToEven) {
  TAmounts Data{1.00005, 1.00015, 0.33333};
  TSums S(&Data);
  EXPECT_EQ(S.Sum->SumValue, 10000 + 10002 + 3333);
  EXPECT_EQ(S.Avg->SumValue, 7778) << "23335 / 3 rounded";
}

TEST(SumList, AValueBeyondTheRangeOverflowsItsAggregateOnly) {
  TAmounts Data{1.0, 1e15};
  TSums S(&Data);
  EXPECT_TRUE(S.Sum->Overflow);
  EXPECT_EQ(S.Sum->SumValue, 0);
  EXPECT_FALSE(S.CountAll->Overflow);
  EXPECT_EQ(S.CountAll->SumValue, 20000);
}

TEST(SumList, AFilterChangeRecalculatesOnTheNextScrollOnly) {
  TAmounts Data{1.0, 2.0, 3.0};
  TSums S(&Data);
  int Walks = 0;
  S.List.OnRecalcAll = [&](TObject*) { ++Walks; };
  Data.Next();
  Data.Next();
  EXPECT_EQ(Walks, 0);
  Data.SetOnFilterRecord(
      [](TDataSet* D, bool& Accept) { Accept = D->FieldByName("Amount")->AsFloat() > 1.5; });
  Data.SetFiltered(true);
  Data.First();
  EXPECT_GE(Walks, 1);
  EXPECT_EQ(S.Sum->SumValue, 50000);
}

TEST(SumList, TheDatasetsOwnHandlerRunsAfterTheAdjustment) {
  TAmounts Data{1.0};
  int64_t SeenInHandler = -1;
  TDBSum* Sum = nullptr;
  Data.AfterPost = [&](TDataSet*) { SeenInHandler = Sum->SumValue; };
  TSums S(&Data);
  Sum = S.Sum;
  Data.Edit();
  Data.FieldByName("Amount")->SetAsFloat(4.0);
  Data.Post();
  EXPECT_EQ(SeenInHandler, 40000);
}

TEST(SumList, ProducersUnhookInAnyOrderAndKeepTheProgramsHandlers) {
  for (bool FirstLeavesFirst : {true, false}) {
    TAmounts Data{1.0, 2.0};
    int ProgramPosts = 0;
    Data.AfterPost = [&](TDataSet*) { ++ProgramPosts; };
    auto* A = new TSums(&Data);
    auto* B = new TSums(&Data);
    TSums* Stays = FirstLeavesFirst ? B : A;
    delete (FirstLeavesFirst ? A : B);
    Data.Edit();
    Data.FieldByName("Amount")->SetAsFloat(5.0);
    Data.Post();
    EXPECT_EQ(Stays->Sum->SumValue, 70000) << "the other producer still hears posts";
    EXPECT_EQ(ProgramPosts, 1);
    delete Stays;
    Data.Edit();
    Data.Post();
    EXPECT_EQ(ProgramPosts, 2) << "the program's handler is back";
  }
  // A handler the program sets while hooked stays after the unhook.
  TAmounts Data{1.0};
  int Later = 0;
  {
    TSums S(&Data);
    Data.AfterPost = [&](TDataSet*) { ++Later; };
  }
  Data.Edit();
  Data.Post();
  EXPECT_EQ(Later, 1);
}

TEST(SumList, ADatasetDestroyedWhileWatchedIsForgotten) {
  TSums* S;
  {
    TAmounts Data{1.0};
    S = new TSums(&Data);
  }
  EXPECT_EQ(S->List.DataSet(), nullptr);
  EXPECT_FALSE(S->List.Hooked());
  delete S;
}

}  // namespace
