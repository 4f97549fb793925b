// Column filters on a grid of orders under Wine: conditions typed on plain
// columns, a text that does not parse, lookup-style filters through the
// column's lookup field and through a list source (found, not found, empty,
// list closed), the list's texts, and the switches.
#include "COMPONENTS/kslib/DBGridKsFilter.h"

#include <gtest/gtest.h>

#include "DBGridKsFilterRow.h"
#include "GridForm.h"
#include "MemTableFeatures.h"
#include "zynMemTable.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

std::vector<AnsiString> Lines(TStrings* List) {
  std::vector<AnsiString> Result;
  for (int I = 0; I < List->Count(); ++I) Result.push_back(List->Strings(I));
  return Result;
}

class ColumnFilterTest : public testing::Test {
 protected:
  ColumnFilterTest() {
    Cities.FieldDefs()->Add("Id", ftInteger);
    Cities.FieldDefs()->Add("City", ftString, 20);
    Cities.Open();
    AppendValues(&Cities, {1, "Москва"});
    AppendValues(&Cities, {2, "Тверь"});
    AppendValues(&Cities, {3, "O'Brien"});
    Cities.First();
    CitySource.SetDataSet(&Cities);

    AddField("Id", ftInteger);
    AddField("CityId", ftInteger);
    AddField("Amount", ftFloat);
    AddField("Day", ftDateTime);
    TField* City = AddField("City", ftString, fkLookup);
    City->SetLookupDataSet(&Cities);
    City->SetKeyFields("CityId");
    City->SetLookupKeyFields("Id");
    City->SetLookupResultField("City");
    Orders.Open();
    AppendValues(&Orders, {1, 2, 7.5, EncodeDate(2024, 2, 1)});
    Orders.First();
    OrderSource.SetDataSet(&Orders);

    Form->SetBounds(40, 40, 460, 300);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 440, 250);
    Grid->SetDataSource(&OrderSource);
  }
  ~ColumnFilterTest() override {
    delete Form;
    Orders.Close();
  }
  TField* AddField(const char* Name, TFieldType Type, TFieldKind Kind = fkData) {
    TField* Field = DefaultFieldClass(Type)(&Orders);
    Field->SetFieldName(Name);
    Field->SetFieldKind(Kind);
    if (Type == ftString) Field->SetSize(20);
    Field->SetDataSet(&Orders);
    return Field;
  }
  TColumnKs* Column(const char* FieldName) {
    for (int I = 0; I < Grid->Columns()->Count(); ++I)
      if (Grid->Columns()->Items(I)->FieldName() == FieldName) return Grid->Columns()->Items(I);
    ADD_FAILURE() << "no column " << FieldName;
    return nullptr;
  }

  TArrayDataSet Cities{nullptr};
  TDataSource CitySource{nullptr};
  TArrayDataSet Orders{nullptr};
  TDataSource OrderSource{nullptr};
  TForm* Form = new TForm(Application);
  TDBGridKs* Grid = new TDBGridKs(Form);
};

TEST_F(ColumnFilterTest, TypedConditionsOnPlainColumns) {
  TSTColumnFilterKs Amount(Column("Amount"));
  Amount.ApplyFilterText(" >= 5 and <=10,5 ");
  EXPECT_EQ(Amount.GetExpressionAsString(), ">= 5 AND <= 10,5");
  EXPECT_EQ(Amount.FilterText(), " >= 5 and <=10,5 ");
  EXPECT_EQ(Amount.GetFilterValue1().AsDouble(), 5.0);
  EXPECT_EQ(Amount.GetFilterValue2().AsDouble(), 10.5);
  EXPECT_EQ(Amount.GetFilterFieldName(), "Amount");
  EXPECT_EQ(Amount.GetKeyField(), "");
  EXPECT_FALSE(Amount.CanShowValueList());
  Amount.SetDataField("CityId");
  EXPECT_EQ(Amount.GetFilterFieldName(), "CityId");

  // Every exit of the cell applies its text again: the time must survive.
  TSTColumnFilterKs Day(Column("Day"));
  Day.ApplyFilterText("> 01.02.2024 10:30:05");
  EXPECT_EQ(Day.GetExpressionAsString(), "> 01.02.2024 10:30:05");
  Day.ApplyFilterText(Day.GetExpressionAsString());
  EXPECT_EQ(Day.GetFilterValue1().AsDateTime(), EncodeDate(2024, 2, 1) + EncodeTime(10, 30, 5, 0));

  TSTColumnFilterKs Id(Column("Id"));
  Id.ApplyFilterText("= NULL");
  EXPECT_EQ(Id.GetExpressionAsString(), "=Null");
  EXPECT_EQ(Id.Expression().Operator1, fopIsNull);
}

TEST_F(ColumnFilterTest, ATextThatDoesNotParseChangesNothing) {
  TSTColumnFilterKs Amount(Column("Amount"));
  Amount.ApplyFilterText(">= 5");
  try {
    Amount.ApplyFilterText("> 7 AND (");
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Incorrect expression: > 7 AND (");
  }
  EXPECT_THROW(Amount.ApplyFilterText("> семь"), EConvertError);
  EXPECT_EQ(Amount.GetExpressionAsString(), ">= 5");
  EXPECT_EQ(Amount.FilterText(), ">= 5");
  EXPECT_EQ(Amount.Expression().OperandType, fotNumber);
}

TEST_F(ColumnFilterTest, ALookupColumnFiltersByTheKeyOfTheTypedText) {
  TSTColumnFilterKs City(Column("City"));
  EXPECT_EQ(City.GetKeyField(), "Id");
  EXPECT_EQ(City.GetListField(), "City");
  EXPECT_EQ(City.GetListDataSet(), &Cities);
  EXPECT_EQ(City.GetFilterFieldName(), "CityId");

  struct TCase {
    const char* Typed;
    Variant Key;
    TSTFilterOperatorKs Operator;
  } Cases[] = {
      {"Тверь", 2, fopIn},
      {"O'Brien", 3, fopIn},
      {"Рим", Variant::Null(), fopIsNull},
      {"", Variant::Null(), fopNone},
  };
  for (const TCase& C : Cases) {
    City.ApplyFilterText(C.Typed);
    EXPECT_EQ(City.Expression().Operator1, C.Operator) << C.Typed;
    EXPECT_EQ(City.GetFilterValue1(), C.Key) << C.Typed;
    // The cell shows the text itself; applying it again finds the same key.
    EXPECT_EQ(City.GetExpressionAsString(), C.Typed);
    City.ApplyFilterText(City.GetExpressionAsString());
    EXPECT_EQ(City.Expression().Operator1, C.Operator) << C.Typed;
    EXPECT_EQ(City.GetFilterValue1(), C.Key) << C.Typed;
  }
  City.ApplyFilterText("Тверь");
  City.ClearValue();
  EXPECT_TRUE(City.Value().IsNull());
  EXPECT_EQ(City.Expression().Operator1, fopNone);
  EXPECT_EQ(City.FilterText(), "");
}

TEST_F(ColumnFilterTest, AListSourceGivesKeysTextsAndTheDropDown) {
  TSTColumnFilterKs Name(Column("Id"));
  Name.SetKeyField("Id");
  Name.SetListField("City");
  Cities.Last();
  Name.SetListSource(&CitySource);
  EXPECT_EQ(Lines(Name.ListValues()), (std::vector<AnsiString>{"Москва", "Тверь", "O'Brien"}));
  EXPECT_EQ(Lines(Name.KeyValues()), (std::vector<AnsiString>{"1", "2", "3"}));
  EXPECT_EQ(Cities.FieldByName("Id")->AsInteger(), 1);
  EXPECT_FALSE(Cities.ControlsDisabled());
  EXPECT_TRUE(Name.CanShowValueList());

  // Opened again, the list is read afresh, not appended to.
  Cities.Close();
  Cities.Open();
  EXPECT_EQ(Name.ListValues()->Count(), 3);

  Name.ApplyFilterText("O'Brien");
  EXPECT_EQ(Name.Value(), Variant(3));
  EXPECT_EQ(Name.GetExpressionAsString(), "O'Brien");

  auto Values = Name.FillValueList();
  ASSERT_TRUE(Values);
  EXPECT_EQ(Lines(Values->Values()), (std::vector<AnsiString>{"O'Brien", "Москва", "Тверь"}));

  // A closed list finds no key; the old one does not linger.
  Cities.Close();
  EXPECT_FALSE(Name.FillValueList());
  Name.ApplyFilterText("Тверь");
  EXPECT_TRUE(Name.Value().IsNull());
  EXPECT_EQ(Name.Expression().Operator1, fopIsNull);
}

// A list whose records past the first cannot be read when armed.
class TFailingList : public TArrayDataSet {
 public:
  TFailingList() : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Id", ftInteger);
    FieldDefs()->Add("City", ftString, 20);
    Open();
    for (int I = 1; I <= 3; ++I) AppendValues(this, {I, "город" + std::to_string(I)});
  }
  ~TFailingList() override { Close(); }
  bool FailPastFirst = false;

 protected:
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override {
    if (FailPastFirst && GetMode == gmNext && CursorRow() >= 0)
      throw EDatabaseError("список недоступен");
    return TArrayDataSet::GetRecord(Buffer, GetMode, DoCheck);
  }
};

TEST_F(ColumnFilterTest, AFailingListReadPutsTheListBack) {
  TFailingList List;
  TDataSource ListSource(nullptr);
  ListSource.SetDataSet(&List);
  List.Last();
  List.FailPastFirst = true;
  TSTColumnFilterKs Filter(Column("Id"));
  Filter.SetKeyField("Id");
  Filter.SetListField("City");
  EXPECT_THROW(Filter.SetListSource(&ListSource), EDatabaseError);
  EXPECT_FALSE(List.ControlsDisabled());
  List.FailPastFirst = false;
  EXPECT_EQ(List.FieldByName("Id")->AsInteger(), 1);
}

TEST_F(ColumnFilterTest, SettingsCopyAndSwitchesReLayOut) {
  TSTColumnFilterKs Source(Column("Amount"));
  Source.SetDataField("CityId");
  Source.SetKeyField("Id");
  Source.SetListField("City");
  Source.SetListSource(&CitySource);
  Source.SetVisible(false);
  TSTColumnFilterKs Copy(Column("Id"));
  Copy.Assign(&Source);
  EXPECT_EQ(Copy.DataField(), "CityId");
  EXPECT_EQ(Copy.KeyField(), "Id");
  EXPECT_EQ(Copy.ListField(), "City");
  EXPECT_EQ(Copy.ListSource(), &CitySource);
  EXPECT_FALSE(Copy.Visible());
  EXPECT_EQ(Copy.ListValues()->Count(), 3);

  TSTDBGridKsFilter Row(Grid);
  Row.SetVisible(true);
  Row.SetLocal(true);
  TSTDBGridKsFilter Other(Grid);
  Other.Assign(&Row);
  EXPECT_TRUE(Other.Visible());
  EXPECT_TRUE(Other.Local());
  Other.BeginUpdate();
  Other.BeginUpdate();
  Other.EndUpdate();
  EXPECT_EQ(Other.UpdateCount(), 1);
  EXPECT_THROW(Copy.Assign(&Row), EConvertError);
}

TEST_F(ColumnFilterTest, TheOpenCellShowsTheAppliedConditionAndHidingTheRowClosesIt) {
  Form->Show();
  Grid->STFilter()->SetVisible(true);
  TColumnKs* Amount = Column("Amount");
  Grid->ShowFilterEditorInColumn(Amount->Index());
  PumpFor(30);
  TInplaceFilterEditKs* Editor = Grid->FilterEditor();
  ASSERT_TRUE(Editor && Editor->Visible());
  Amount->STFilter()->ApplyFilterText(" >= 5 and <=10,5 ");
  EXPECT_EQ(Editor->Text(), ">= 5 AND <= 10,5");
  Column("Id")->STFilter()->ApplyFilterText("= 3");
  EXPECT_EQ(Editor->Text(), ">= 5 AND <= 10,5") << "another column's condition stays in its cell";

  Grid->STFilter()->SetVisible(false);
  EXPECT_FALSE(Editor->Visible());
  EXPECT_EQ(Amount->STFilter()->GetExpressionAsString(), ">= 5 AND <= 10,5");
}

TEST(GridFilterRow, TheInMemoryTableTakesTheColumnConditionsAsItsFilter) {
  TMemTableFeaturesEntry Entry;
  TzynMemTable Orders(nullptr);
  Orders.FieldDefs()->Add("Id", ftInteger);
  Orders.FieldDefs()->Add("Amount", ftFloat);
  Orders.Open();
  for (int I = 1; I <= 6; ++I) AppendValues(&Orders, {I, I * 2.5});
  TDataSource Source(nullptr);
  Source.SetDataSet(&Orders);
  TForm* Form = new TForm(Application);
  auto* Grid = new TDBGridKs(Form);
  Grid->SetParent(Form);
  Grid->SetBounds(5, 5, 300, 200);
  Grid->SetDataSource(&Source);
  auto Ids = [&] {
    AnsiString Text;
    for (Orders.First(); !Orders.Eof(); Orders.Next())
      Text += (Text.empty() ? "" : ",") + Orders.FieldByName("Id")->AsString();
    return Text;
  };
  TSTColumnFilterKs* Amount = Grid->Columns()->Items(1)->STFilter();
  TSTColumnFilterKs* Id = Grid->Columns()->Items(0)->STFilter();
  ASSERT_TRUE(Amount && Id);
  Amount->ApplyFilterText("> 5");
  Grid->ApplyFilter();
  EXPECT_EQ(Ids(), AnsiString("3,4,5,6"));
  Id->ApplyFilterText("!In (4,5)");
  Grid->ApplyFilter();
  EXPECT_EQ(Ids(), AnsiString("3,6")) << "both columns' conditions";
  Amount->ApplyFilterText("");
  Id->ApplyFilterText("");
  Grid->ApplyFilter();
  EXPECT_FALSE(Orders.Filtered());
  EXPECT_EQ(Ids(), AnsiString("1,2,3,4,5,6"));
  delete Form;
  Orders.Close();
}

}  // namespace
