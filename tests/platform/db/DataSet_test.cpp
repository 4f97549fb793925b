// The dataset over the array dataset: navigation, editing and the window
// after it, bookmarks, calculated and lookup fields, blobs, searching and
// filtering.
#include <gtest/gtest.h>

#include "ArrayDataSet.h"

namespace {

class PeopleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    People.FieldDefs()->Add("Id", ftInteger);
    People.FieldDefs()->Add("Name", ftString, 20);
    People.FieldDefs()->Add("City", ftInteger);
    People.FieldDefs()->Add("Note", ftMemo);
  }
  void Fill(int Count) {
    People.Open();
    for (int i = 1; i <= Count; ++i) AppendValues(&People, {i, "p" + std::to_string(i), i % 3});
    People.First();
  }
  int Id() { return People.FieldByName("Id")->AsInteger(); }
  // Persistent fields instead of the definitions: Id, Name, City.
  void AddDataFields() {
    AddField("Id", ftInteger);
    AddField("Name", ftString, fkData, 20);
    AddField("City", ftInteger);
  }
  TField* AddField(const char* Name, TFieldType Type, TFieldKind Kind = fkData, int Size = 0) {
    TField* field = DefaultFieldClass(Type)(&People);
    field->SetFieldName(Name);
    field->SetFieldKind(Kind);
    if (Size) field->SetSize(Size);
    field->SetDataSet(&People);
    return field;
  }
  TField* AddLookup(const char* Name, TDataSet* LookupDataSet, const char* KeyFields,
                    const char* LookupKeyFields, const char* ResultField) {
    TField* field = AddField(Name, ftString, fkLookup);
    field->SetLookupDataSet(LookupDataSet);
    field->SetKeyFields(KeyFields);
    field->SetLookupKeyFields(LookupKeyFields);
    field->SetLookupResultField(ResultField);
    return field;
  }
  std::vector<int> Ids() {
    std::vector<int> ids;
    for (People.First(); !People.Eof(); People.Next()) ids.push_back(Id());
    return ids;
  }
  TArrayDataSet People{nullptr};
};

TEST_F(PeopleTest, AnEmptyDataSetIsAtBothEnds) {
  People.Open();
  EXPECT_TRUE(People.IsEmpty());
  EXPECT_TRUE(People.Bof());
  EXPECT_TRUE(People.Eof());
  EXPECT_EQ(-1, People.RecNo());
  People.First();
  People.Last();
  EXPECT_EQ(0, People.MoveBy(5));
  EXPECT_TRUE(People.FieldByName("Id")->IsNull());
  EXPECT_THROW(People.Delete(), EDatabaseError);
  EXPECT_EQ(TBookmark(), People.GetBookmark());
}

TEST_F(PeopleTest, MovesReportHowFarTheyWentAndSetTheEnds) {
  Fill(5);
  EXPECT_TRUE(People.Bof());
  EXPECT_EQ(4, People.MoveBy(10));
  EXPECT_TRUE(People.Eof());
  EXPECT_EQ(5, Id());
  EXPECT_EQ(-4, People.MoveBy(-10));
  EXPECT_TRUE(People.Bof());
  People.SetRecNo(3);
  EXPECT_EQ(3, Id());
  EXPECT_EQ(3, People.RecNo());
  EXPECT_EQ(5, People.RecordCount());
}

TEST_F(PeopleTest, ScrollEventsSurroundEveryMove) {
  Fill(3);
  std::vector<std::string> events;
  People.BeforeScroll = [&](TDataSet*) { events.push_back("before " + std::to_string(Id())); };
  People.AfterScroll = [&](TDataSet*) { events.push_back("after " + std::to_string(Id())); };
  People.Next();
  People.Last();
  EXPECT_EQ((std::vector<std::string>{"before 1", "after 2", "before 2", "after 3"}), events);
}

TEST_F(PeopleTest, InsertGoesBeforeTheCurrentRecordAndCancelPutsItBack) {
  Fill(5);
  People.MoveBy(2);
  People.Insert();
  EXPECT_EQ(dsInsert, People.State());
  EXPECT_TRUE(People.FieldByName("Id")->IsNull());
  EXPECT_EQ(usInserted, People.UpdateStatus());
  EXPECT_EQ(TBookmark(), People.GetBookmark());
  People.Cancel();
  EXPECT_EQ(3, Id());
  People.Insert();
  People.FieldByName("Id")->SetAsInteger(30);
  People.Post();
  EXPECT_EQ(30, Id());
  EXPECT_EQ((std::vector<int>{1, 2, 30, 3, 4, 5}), Ids());
  People.Append();
  People.FieldByName("Id")->SetAsInteger(60);
  People.Post();
  EXPECT_TRUE(People.Eof() || Id() == 60);
  EXPECT_EQ((std::vector<int>{1, 2, 30, 3, 4, 5, 60}), Ids());
}

// A dataset that cannot store a whole record says so and stays as it was.
TEST_F(PeopleTest, ADataSetWithoutWholeRecordAddsRefusesThem) {
  Fill(3);
  People.Next();
  EXPECT_THROW(People.InsertRecord({Variant(9)}), EDatabaseError);
  EXPECT_THROW(People.AppendRecord({Variant(9)}), EDatabaseError);
  EXPECT_EQ(dsBrowse, People.State());
  EXPECT_EQ(2, Id());
  EXPECT_EQ((std::vector<int>{1, 2, 3}), Ids());
  EXPECT_THROW(People.SetFields({Variant(9)}), EDatabaseError);
}

TEST_F(PeopleTest, DeleteMovesToTheNextRecordOrTheNewLast) {
  Fill(4);
  People.Next();
  People.Delete();
  EXPECT_EQ(3, Id());
  People.Last();
  People.Delete();
  EXPECT_EQ(3, Id());
  EXPECT_TRUE(People.Eof() || !People.Bof());
  People.Delete();
  People.Delete();
  EXPECT_TRUE(People.IsEmpty());
  EXPECT_TRUE(People.Eof());
}

TEST_F(PeopleTest, ResyncExactRefusesARecordThatIsGone) {
  Fill(3);
  People.Next();
  TBookmark second = People.GetBookmark();
  People.Delete();
  EXPECT_FALSE(People.BookmarkValid(second));
  EXPECT_THROW(People.GotoBookmark(second), EDatabaseError);
  try {
    People.CursorPosChanged();
    People.Resync({rmExact});
  } catch (EDatabaseError& e) {
    FAIL() << "the cursor still stands on a record: " << e.what();
  }
}

TEST_F(PeopleTest, BookmarksReturnAndCompare) {
  Fill(10);
  People.MoveBy(6);
  TBookmark seventh = People.GetBookmark();
  People.First();
  TBookmark first = People.GetBookmark();
  EXPECT_LT(People.CompareBookmarks(first, seventh), 0);
  EXPECT_GT(People.CompareBookmarks(seventh, first), 0);
  EXPECT_EQ(0, People.CompareBookmarks(seventh, seventh));
  People.GotoBookmark(seventh);
  EXPECT_EQ(7, Id());
  EXPECT_TRUE(People.BookmarkValid(seventh));
  People.GotoBookmark(TBookmark());  // nothing happens
  EXPECT_EQ(7, Id());
}

TEST_F(PeopleTest, EditingEventsAndOldValues) {
  Fill(2);
  std::vector<std::string> events;
  People.BeforeEdit = [&](TDataSet*) { events.push_back("before edit"); };
  People.AfterEdit = [&](TDataSet*) { events.push_back("after edit"); };
  People.BeforePost = [&](TDataSet*) { events.push_back("before post"); };
  People.AfterPost = [&](TDataSet*) { events.push_back("after post"); };
  People.Edit();
  People.FieldByName("Name")->SetAsString("changed");
  EXPECT_TRUE(People.Modified());
  EXPECT_EQ("p1", People.FieldByName("Name")->OldValue().AsString());
  EXPECT_EQ("changed", People.FieldByName("Name")->NewValue().AsString());
  People.Post();
  EXPECT_EQ((std::vector<std::string>{"before edit", "after edit", "before post", "after post"}),
            events);
  EXPECT_EQ("changed", People.FieldByName("Name")->AsString());
  EXPECT_THROW(People.Post(), EDatabaseError);  // not editing
}

TEST_F(PeopleTest, NewRecordDefaultsDoNotCountAsChanges) {
  Fill(1);
  People.OnNewRecord = [](TDataSet* d) { d->FieldByName("Name")->SetAsString("default"); };
  int posts = 0;
  People.AfterPost = [&](TDataSet*) { ++posts; };
  People.Append();
  EXPECT_EQ("default", People.FieldByName("Name")->AsString());
  EXPECT_FALSE(People.Modified());
  People.CheckBrowseMode();
  EXPECT_EQ(0, posts);
  EXPECT_EQ(1, People.RecordCount());
}

TEST_F(PeopleTest, PostErrorHandlersRetryOrAbort) {
  Fill(1);
  People.FieldByName("Name")->SetRequired(true);
  People.Edit();
  People.FieldByName("Name")->Clear();
  int calls = 0;
  People.OnPostError = [&](TDataSet* d, EDatabaseError& e, TDataAction& action) {
    EXPECT_EQ("Поле 'Name' должно иметь значение", e.Message());
    ++calls;
    d->FieldByName("Name")->SetAsString("fixed");
    action = daRetry;
  };
  People.Post();
  EXPECT_EQ(1, calls);
  EXPECT_EQ("fixed", People.FieldByName("Name")->AsString());

  People.Edit();
  People.FieldByName("Name")->Clear();
  People.OnPostError = [](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
  EXPECT_THROW(People.Post(), EAbort);
  EXPECT_EQ(dsEdit, People.State());
  People.Cancel();
  EXPECT_EQ("fixed", People.FieldByName("Name")->AsString());
}

TEST_F(PeopleTest, ReadOnlyDataSetsAndFieldsRefuseChanges) {
  Fill(1);
  People.SetReadOnly(true);
  EXPECT_THROW(People.Edit(), EDatabaseError);
  EXPECT_THROW(People.Append(), EDatabaseError);
  EXPECT_FALSE(People.FieldByName("Name")->CanModify());
  People.SetReadOnly(false);
  People.FieldByName("Name")->SetReadOnly(true);
  People.Edit();
  EXPECT_THROW(People.FieldByName("Name")->SetAsString("x"), EDatabaseError);
  EXPECT_THROW(People.FieldByName("Id")->SetAsString("x"), EDatabaseError);
  EXPECT_FALSE(People.FieldByName("Name")->CanModify());
  EXPECT_TRUE(People.FieldByName("Id")->CanModify());
  EXPECT_THROW(People.FieldByName("Id")->SetSize(4), EDatabaseError);
}

TEST_F(PeopleTest, CalculatedFieldsFollowTheRecordAndItsEdits) {
  AddDataFields();
  TField* full = AddField("Full", ftString, fkCalculated, 40);
  int calculations = 0;
  People.OnCalcFields = [&](TDataSet* d) {
    ++calculations;
    d->FieldByName("Full")->SetAsString(d->FieldByName("Name")->AsString() + "#" +
                                        d->FieldByName("Id")->AsString());
  };
  Fill(3);
  EXPECT_FALSE(People.DefaultFields());
  EXPECT_EQ(42, People.CalcFieldsSize());  // null byte, 40 characters and their end
  EXPECT_EQ(-1, full->FieldNo());
  EXPECT_EQ("p1#1", full->AsString());
  People.Next();
  EXPECT_EQ("p2#2", full->AsString());
  EXPECT_FALSE(full->CanModify());

  TDataSource source(nullptr);
  source.SetDataSet(&People);
  std::vector<TField*> changes;
  source.OnDataChange = [&](TObject*, TField* f) { changes.push_back(f); };
  People.Edit();
  calculations = 0;
  changes.clear();
  People.FieldByName("Name")->SetAsString("q");
  EXPECT_EQ("q#2", full->AsString());
  EXPECT_EQ(1, calculations);
  EXPECT_EQ((std::vector<TField*>{People.FieldByName("Name"), full}), changes);
  People.SetAutoCalcFields(false);
  People.FieldByName("Name")->SetAsString("r");
  EXPECT_EQ("q#2", full->AsString());
  People.Post();
  EXPECT_EQ("r#2", full->AsString());
}

TEST_F(PeopleTest, FailingCalculationsGoToTheDataSetsHandler) {
  AddDataFields();
  TField* upper = AddField("Upper", ftString, fkCalculated);
  People.OnCalcFields = [](TDataSet* d) {
    if (d->FieldByName("Id")->AsInteger() == 2) throw EConvertError("bad record");
    d->FieldByName("Upper")->SetAsString(AnsiUpperCase(d->FieldByName("Name")->AsString()));
  };
  People.SwallowCalcErrors = true;
  Fill(3);
  EXPECT_EQ("P1", upper->AsString());
  EXPECT_EQ(2, People.MoveBy(2));
  EXPECT_EQ("P3", upper->AsString());
  EXPECT_GT(People.CalcErrors, 0);
  People.SwallowCalcErrors = false;
  People.First();
  EXPECT_THROW(People.Next(), EConvertError);
  // The cursor moved before the failure; an edit still goes to record 1.
  People.SwallowCalcErrors = true;
  People.Edit();
  People.FieldByName("Name")->SetAsString("edited");
  People.Post();
  People.First();
  EXPECT_EQ("edited", People.FieldByName("Name")->AsString());
  People.Next();
  EXPECT_EQ("p2", People.FieldByName("Name")->AsString());
}

TEST_F(PeopleTest, LookupFieldsReadTheOtherDataSetWithoutMovingIt) {
  TArrayDataSet cities(nullptr);
  cities.FieldDefs()->Add("Code", ftInteger);
  cities.FieldDefs()->Add("Title", ftString, 20);
  cities.Open();
  AppendValues(&cities, {0, "Москва"});
  AppendValues(&cities, {1, "Тверь"});
  AppendValues(&cities, {2, "Псков"});
  cities.Last();
  int cityScrolls = 0;
  cities.AfterScroll = [&](TDataSet*) { ++cityScrolls; };

  AddDataFields();
  TField* cityName = AddLookup("CityName", &cities, "City", "Code", "Title");
  Fill(4);
  EXPECT_EQ("Тверь", cityName->AsString());
  People.Next();
  EXPECT_EQ("Псков", cityName->AsString());
  People.Edit();
  People.FieldByName("City")->SetAsInteger(0);
  EXPECT_EQ("Москва", cityName->AsString());
  People.FieldByName("City")->SetAsInteger(7);
  EXPECT_TRUE(cityName->IsNull());
  People.Cancel();
  EXPECT_EQ(0, cityScrolls);
  EXPECT_EQ("Псков", cities.FieldByName("Title")->AsString());

  People.Close();
  AddField("Broken", ftString, fkLookup);
  EXPECT_THROW(People.Open(), EDatabaseError);
  EXPECT_FALSE(People.Active());
}

TEST_F(PeopleTest, ALookupIntoItselfKeepsTheWindowInStep) {
  AddDataFields();
  TField* parent = AddLookup("Parent", &People, "City", "Id", "Name");
  Fill(5);
  TDataSource source(nullptr);
  source.SetDataSet(&People);
  TDataLink grid;
  grid.SetBufferCount(5);
  grid.SetDataSource(&source);
  std::vector<std::string> rows;
  for (int row = 0; row < grid.RecordCount(); ++row) {
    grid.SetActiveRecord(row);
    rows.push_back(People.FieldByName("Id")->AsString() + ":" + parent->AsString());
  }
  grid.SetActiveRecord(0);
  EXPECT_EQ((std::vector<std::string>{"1:p1", "2:p2", "3:", "4:p1", "5:p2"}), rows);
  People.MoveBy(3);
  People.Edit();
  People.FieldByName("Name")->SetAsString("four");
  People.Post();
  EXPECT_EQ(4, Id());
  EXPECT_EQ("p1", parent->AsString());
  People.MoveBy(-3);
  EXPECT_EQ(1, Id());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), Ids());
}

TEST_F(PeopleTest, BlobStreamsWriteIntoTheRecordBeingEdited) {
  Fill(2);
  auto* note = static_cast<TBlobField*>(People.FieldByName("Note"));
  EXPECT_TRUE(note->IsNull());
  EXPECT_EQ("(memo)", note->DisplayText());
  EXPECT_THROW(note->SetAsString("x"), EDatabaseError);  // not editing

  People.Edit();
  {
    std::unique_ptr<TStream> stream = People.CreateBlobStream(note, bmWrite);
    stream->WriteBuffer("первая строка", 13);
  }
  EXPECT_EQ("первая строка", note->AsString());
  People.Cancel();
  EXPECT_TRUE(note->IsNull());
  EXPECT_EQ(1, People.BlobCloses);

  People.Edit();
  TStringStream source("из потока");
  note->LoadFromStream(&source);
  People.Post();
  EXPECT_EQ(2, People.BlobCloses);
  EXPECT_FALSE(note->Modified());
  EXPECT_EQ("из потока", note->AsString());
  EXPECT_EQ("(MEMO)", note->DisplayText());
  EXPECT_EQ(9, note->BlobSize());
  TStringStream target;
  note->SaveToStream(&target);
  EXPECT_EQ("из потока", target.DataString());
  People.Next();
  EXPECT_TRUE(note->IsNull());
  People.Prior();
  EXPECT_EQ(Variant("из потока"), note->Value());

  People.Edit();
  note->Clear();
  People.Post();
  EXPECT_TRUE(note->IsNull());
}

TEST_F(PeopleTest, LocateMovesToTheMatchAndLookupStays) {
  Fill(6);
  People.Edit();
  People.FieldByName("Name")->SetAsString("Иванов");
  People.Post();  // Locate posts a pending edit first, so this one counts
  People.MoveBy(3);
  People.Edit();
  People.FieldByName("Name")->SetAsString("иваненко");

  EXPECT_TRUE(People.Locate("Name", "ИВАН", {loCaseInsensitive, loPartialKey}));
  EXPECT_EQ(1, Id());
  EXPECT_EQ(dsBrowse, People.State());
  EXPECT_TRUE(People.Locate("Name", "иван", {loPartialKey}));
  EXPECT_EQ(4, Id());
  EXPECT_FALSE(People.Locate("Name", "Иван", {}));
  EXPECT_EQ(4, Id());
  EXPECT_FALSE(People.Found());
  EXPECT_TRUE(People.Locate("City;Id", VarArrayOf({2, 5}), {}));
  EXPECT_EQ(5, Id());

  int scrolls = 0;
  People.AfterScroll = [&](TDataSet*) { ++scrolls; };
  EXPECT_EQ(Variant("p3"), People.Lookup("Id", 3, "Name"));
  Variant pair = People.Lookup("Id", 2, "Name;City");
  EXPECT_EQ(Variant("p2"), pair[0]);
  EXPECT_EQ(Variant(2), pair[1]);
  EXPECT_TRUE(VarIsNull(People.Lookup("Id", 99, "Name")));
  EXPECT_EQ(5, Id());
  EXPECT_EQ(0, scrolls);
  People.Next();
  EXPECT_EQ(6, Id()) << "the window is intact after a lookup";
}

TEST_F(PeopleTest, FilteringHidesRecordsAndFollowsEdits) {
  Fill(6);
  People.SetOnFilterRecord(
      [](TDataSet* d, bool& accept) { accept = d->FieldByName("Id")->AsInteger() % 2 == 0; });
  EXPECT_EQ(6, People.RecordCount());
  People.SetFiltered(true);
  EXPECT_EQ((std::vector<int>{2, 4, 6}), Ids());
  EXPECT_EQ(3, People.RecordCount());
  EXPECT_FALSE(People.IsSequenced());
  People.First();
  People.Next();
  People.Edit();
  People.FieldByName("Id")->SetAsInteger(5);
  People.Post();  // the record no longer passes: the next one stands in
  EXPECT_EQ(6, Id());
  EXPECT_EQ((std::vector<int>{2, 6}), Ids());
  People.SetFiltered(false);
  EXPECT_EQ((std::vector<int>{1, 2, 3, 5, 5, 6}), Ids());
}

TEST_F(PeopleTest, FieldValuesReadAndWriteSeveralFields) {
  Fill(2);
  Variant values = People.FieldValues("Id; Name");
  EXPECT_EQ(Variant(1), values[0]);
  EXPECT_EQ(Variant("p1"), values[1]);
  People.Edit();
  People.SetFieldValues("Name;City", VarArrayOf({"x", 9}));
  EXPECT_EQ("x", People.FieldByName("Name")->AsString());
  EXPECT_EQ(9, People.FieldByName("City")->AsInteger());
  EXPECT_THROW(People.FieldValues("Id;Nope"), EDatabaseError);
}

TEST_F(PeopleTest, ClosingDropsDefaultFieldsAndKeepsTheRows) {
  Fill(3);
  EXPECT_TRUE(People.DefaultFields());
  People.Close();
  EXPECT_EQ(0, People.FieldCount());
  EXPECT_EQ(3u, People.Rows().size());
  People.Open();
  EXPECT_EQ(4, People.FieldCount());
  EXPECT_EQ(3, People.RecordCount());
  EXPECT_THROW(People.FieldByName("Missing"), EDatabaseError);
}

}  // namespace
