// The sum list over an in-memory dataset: walks, adjustments from the
// dataset's events, and producers that come and go (under the sanitizers
// natively).
#include "COMPONENTS/kslib/DBSumLst.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>

#include "COMPONENTS/zynMemTable.h"

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

// What the footers must show: the shown records summed afresh, or nothing
// (overflow) where some value is no number of the fixed-point range.
struct TExpected {
  std::optional<int64_t> Sum, Avg;
  int64_t CountAll = 0, CountAmount = 0;
};

TExpected Recompute(TDataSet* Data) {
  TExpected E;
  long double Sum = 0;
  int64_t Count = 0;
  bool Out = false;
  TBookmark Place = Data->GetBookmark();
  for (Data->First(); !Data->Eof(); Data->Next()) {
    E.CountAll += 10000;
    TField* F = Data->FieldByName("Amount");
    if (F->IsNull()) continue;
    E.CountAmount += 10000;
    ++Count;
    const double V = F->AsFloat();
    if (!std::isfinite(V) || std::fabs(V) >= 9.2e14) Out = true;
    else Sum += std::nearbyint(static_cast<long double>(V) * 10000);
  }
  if (!Place.empty() && Data->BookmarkValid(Place)) Data->GotoBookmark(Place);
  if (!Out && std::fabs(Sum) < 9.2e18L) {
    E.Sum = static_cast<int64_t>(Sum);
    E.Avg = Count ? static_cast<int64_t>(std::nearbyint(Sum / Count)) : 0;
  }
  return E;
}

void ExpectFootersMatch(TSums& S, TDataSet* Data, const char* Step) {
  const TExpected E = Recompute(Data);
  EXPECT_EQ(S.Sum->Overflow, !E.Sum) << Step;
  EXPECT_EQ(S.Sum->SumValue, E.Sum.value_or(0)) << Step;
  EXPECT_EQ(S.Avg->Overflow, !E.Avg) << Step;
  EXPECT_EQ(S.Avg->SumValue, E.Avg.value_or(0)) << Step;
  EXPECT_EQ(S.CountAll->SumValue, E.CountAll) << Step;
  EXPECT_EQ(S.CountAmount->SumValue, E.CountAmount) << Step;
}

// The in-memory table the grid shows, and the tests' array dataset, each
// hiding amounts from 1000 to 100000.
std::unique_ptr<TDataSet> FilteredAmounts(bool MemTable) {
  std::unique_ptr<TDataSet> Data;
  if (MemTable) {
    auto T = std::make_unique<TzynMemTable>(nullptr);
    T->FieldDefs()->Add("Id", ftInteger);
    T->FieldDefs()->Add("Amount", ftFloat);
    T->Open();
    Data = std::move(T);
  } else {
    Data = std::make_unique<TAmounts>(std::initializer_list<std::optional<double>>{});
  }
  for (int Id = 1; Id <= 5; ++Id) {
    Data->Append();
    Data->FieldByName("Id")->SetAsInteger(Id);
    if (Id != 3) Data->FieldByName("Amount")->SetAsFloat(Id * 100.5);
    Data->Post();
  }
  Data->SetOnFilterRecord([](TDataSet* D, bool& Accept) {
    TField* F = D->FieldByName("Amount");
    Accept = F->IsNull() || !(F->AsFloat() >= 1000 && F->AsFloat() < 1e5);
  });
  Data->SetFiltered(true);
  Data->First();
  return Data;
}

void SetAmount(TDataSet* Data, std::optional<double> Value) {
  if (Value)
    Data->FieldByName("Amount")->SetAsFloat(*Value);
  else
    Data->FieldByName("Amount")->Clear();
}

TEST(SumList, FootersEqualARecomputationAfterEveryStepUnderAFilter) {
  const double Inf = std::numeric_limits<double>::infinity();
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  struct TStep {
    const char* Name;
    std::function<void(TDataSet*)> Act;
  };
  auto EditId = [](int Id, std::optional<double> Value) {
    return [=](TDataSet* D) {
      Locate(D, Id);
      D->Edit();
      SetAmount(D, Value);
      D->Post();
    };
  };
  auto InsertId = [](int Id, std::optional<double> Value, bool Post) {
    return [=](TDataSet* D) {
      D->Insert();
      D->FieldByName("Id")->SetAsInteger(Id);
      SetAmount(D, Value);
      if (Post) D->Post(); else D->Cancel();
    };
  };
  const std::vector<TStep> Steps = {
      {"an edit takes record 2 out of the filter", EditId(2, 5000.0)},
      {"an edit within the filter", EditId(4, 7.25)},
      {"an edit of a null amount out of the filter", EditId(3, 2000.0)},
      {"an insert the filter hides", InsertId(10, 1e4, true)},
      {"an insert the filter shows", InsertId(11, 1.5, true)},
      {"a cancelled insert", InsertId(12, 3.0, false)},
      {"a delete", [&](TDataSet* D) { Locate(D, 11); D->Delete(); }},
      {"an infinite amount", EditId(4, Inf)},
      {"a NaN beside it", EditId(5, NaN)},
      {"the infinite amount back in range", EditId(4, 1.0)},
      {"the NaN amount back in range", EditId(5, 2.0)},
      {"an amount past the fixed-point range", EditId(1, -1e300)},
      {"the same amount null", EditId(1, std::nullopt)},
      {"totals beyond the range", [&](TDataSet* D) {
         EditId(1, 9.0e14)(D);
         EditId(4, 9.0e14)(D);
       }},
      {"the total back in range", EditId(4, -9.0e14)},
      {"a record deleted out of an overflowed total", [&](TDataSet* D) {
         EditId(4, 9.0e14)(D);
         Locate(D, 4);
         D->Delete();
       }},
  };
  for (bool MemTable : {true, false}) {
    SCOPED_TRACE(MemTable ? "in-memory table" : "array dataset");
    std::unique_ptr<TDataSet> Data = FilteredAmounts(MemTable);
    TSums S(Data.get());
    ExpectFootersMatch(S, Data.get(), "the first walk");
    for (const TStep& Step : Steps) {
      EXPECT_NO_THROW(Step.Act(Data.get())) << Step.Name;
      ExpectFootersMatch(S, Data.get(), Step.Name);
    }
    // The sums can be switched off and on over non-finite values.
    Data->SetFiltered(false);
    EditId(2, NaN)(Data.get());
    S.List.SetActive(false);
    EXPECT_NO_THROW(S.List.SetActive(true));
    ExpectFootersMatch(S, Data.get(), "switched on again");
  }
}

// An insert under a filter (the grid's filter text here) looks at the new
// record, not at every shown one: an import of many rows would cost the
// square of the table. The filter handler counts the records looked at.
TEST(SumList, AnInsertUnderAFilterLooksAtTheNewRecordOnly) {
  TzynMemTable Data(nullptr);
  Data.FieldDefs()->Add("Id", ftInteger);
  Data.FieldDefs()->Add("Amount", ftFloat);
  Data.Open();
  for (int Id = 1; Id <= 2000; ++Id) {
    Data.Append();
    Data.FieldByName("Id")->SetAsInteger(Id);
    Data.FieldByName("Amount")->SetAsFloat(Id % 2 ? 5000.0 : Id * 0.25);
    Data.Post();
  }
  int Looked = 0;
  Data.SetOnFilterRecord([&](TDataSet*, bool& Accept) {
    ++Looked;
    Accept = true;
  });
  Data.SetFilter("Amount < 1000");
  Data.SetFiltered(true);
  TSums S(&Data);
  // What the insert costs the dataset itself, without the footers.
  auto InsertLooks = [&](int Id, double Amount) {
    Looked = 0;
    Data.Insert();
    Data.FieldByName("Id")->SetAsInteger(Id);
    Data.FieldByName("Amount")->SetAsFloat(Amount);
    Data.Post();
    return Looked;
  };
  for (double Amount : {2.5, 7000.0}) {
    S.List.SetActive(false);
    const int Alone = InsertLooks(3001, Amount);
    S.List.SetActive(true);
    EXPECT_LE(InsertLooks(3002, Amount), Alone + 1) << Amount;
    ExpectFootersMatch(S, &Data, Amount < 1000 ? "a shown insert" : "a hidden insert");
  }
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
