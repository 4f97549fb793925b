// Data sources and links over the buffer window: slices of different sizes,
// scroll distances, the window after edits, deferred events, master/detail.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ArrayDataSet.h"

namespace {

class TRecordingLink : public TDataLink {
 public:
  explicit TRecordingLink(TDataSource* Source, int Buffers = 1) {
    SetBufferCount(Buffers);
    SetDataSource(Source);
  }
  std::vector<std::string> Events;
  int Scrolled = 0;
  std::function<void()> OnUpdate;
  TField* Focusable = nullptr;
  using TDataLink::SetVisualControl;

 protected:
  void ActiveChanged() override { Events.push_back(Active() ? "active" : "inactive"); }
  void DataSetChanged() override { Events.push_back("changed"); }
  void DataSetScrolled(int Distance) override {
    Scrolled += Distance;
    Events.push_back("scrolled " + std::to_string(Distance));
  }
  void EditingChanged() override { Events.push_back(Editing() ? "editing" : "browsing"); }
  void LayoutChanged() override { Events.push_back("layout"); }
  void RecordChanged(TField* Field) override {
    Events.push_back(Field ? "record " + Field->FieldName() : "record");
  }
  void UpdateData() override {
    Events.push_back("update");
    if (OnUpdate) OnUpdate();
  }
  void FocusControl(TField*& Field) override {
    if (Field == Focusable) {
      Events.push_back("focus " + Field->FieldName());
      Field = nullptr;
    }
  }
};

// The Id values in the link's slice, read by moving its active record.
std::vector<int> Slice(TDataLink& Link, TDataSet& DataSet) {
  std::vector<int> ids;
  int saved = Link.ActiveRecord();
  for (int row = 0; row < Link.RecordCount(); ++row) {
    Link.SetActiveRecord(row);
    ids.push_back(DataSet.FieldByName("Id")->AsInteger());
  }
  Link.SetActiveRecord(saved);
  return ids;
}

std::vector<int> Range(int From, int To) {
  std::vector<int> ids;
  for (int i = From; i <= To; ++i) ids.push_back(i);
  return ids;
}

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Data.FieldDefs()->Add("Id", ftInteger);
    Data.FieldDefs()->Add("Name", ftString, 10);
    Data.Open();
    for (int i = 1; i <= 20; ++i) AppendValues(&Data, {i, "n" + std::to_string(i)});
    Data.First();
    Source.SetDataSet(&Data);
  }
  TArrayDataSet Data{nullptr};
  TDataSource Source{nullptr};
};

TEST_F(LinkTest, WindowIsTheLargestSliceAndEachLinkSeesItsOwn) {
  TRecordingLink grid(&Source, 5), small(&Source, 3), edit(&Source, 1);
  EXPECT_EQ(5, Data.BufferCount());
  EXPECT_EQ(Range(1, 5), Slice(grid, Data));
  EXPECT_EQ(Range(1, 3), Slice(small, Data));
  EXPECT_EQ(Range(1, 1), Slice(edit, Data));

  Data.MoveBy(4);  // to 5: inside the window, the small slice scrolls
  EXPECT_EQ(4, grid.ActiveRecord());
  EXPECT_EQ(0, grid.Scrolled);
  EXPECT_EQ(Range(3, 5), Slice(small, Data));
  EXPECT_EQ(2, small.Scrolled);
  EXPECT_EQ(Range(5, 5), Slice(edit, Data));

  Data.Next();  // 6 is fetched; the window drops 1
  EXPECT_EQ(Range(2, 6), Slice(grid, Data));
  EXPECT_EQ(1, grid.Scrolled);
  EXPECT_EQ(Range(4, 6), Slice(small, Data));

  Data.MoveBy(-3);  // back to 3: inside both slices' range of the window
  EXPECT_EQ(Range(2, 6), Slice(grid, Data));
  EXPECT_EQ(1, grid.ActiveRecord());
  EXPECT_EQ(Range(3, 5), Slice(small, Data));
  EXPECT_EQ(0, small.ActiveRecord());
}

TEST_F(LinkTest, GrowingAWindowFillsWithRecordsBeforeAndAfterKeepingOtherSlices) {
  TRecordingLink small(&Source, 3);
  Data.Last();
  EXPECT_EQ(Range(18, 20), Slice(small, Data));
  {
    TRecordingLink big(&Source, 8);
    EXPECT_EQ(8, Data.BufferCount());
    EXPECT_EQ(Range(13, 20), Slice(big, Data));
    EXPECT_EQ(Range(18, 20), Slice(small, Data));
    EXPECT_EQ(7, big.ActiveRecord());
  }
  EXPECT_EQ(3, Data.BufferCount());
  EXPECT_EQ(Range(18, 20), Slice(small, Data));
  EXPECT_EQ(20, Data.FieldByName("Id")->AsInteger());
}

TEST_F(LinkTest, ShrinkingKeepsTheActiveRecord) {
  TRecordingLink grid(&Source, 10);
  Data.MoveBy(7);
  grid.SetBufferCount(2);
  EXPECT_EQ(2, Data.BufferCount());
  std::vector<int> slice = Slice(grid, Data);
  EXPECT_EQ(2u, slice.size());
  EXPECT_EQ(8, slice[static_cast<size_t>(grid.ActiveRecord())]);
  Data.Next();
  EXPECT_EQ(9, Data.FieldByName("Id")->AsInteger());
}

// Random operations against a model of the records: after each, every
// slice holds consecutive records around the current one and is as full as
// the data allows; after a move, a slice's scroll distance is exactly how
// far its first record moved.
TEST_F(LinkTest, RandomOperationsKeepEverySliceConsistent) {
  std::vector<std::unique_ptr<TRecordingLink>> links;
  for (int size : {7, 3, 1}) links.push_back(std::make_unique<TRecordingLink>(&Source, size));
  std::vector<int> model = Range(1, 20);
  size_t current = 0;
  int nextId = 100;
  std::mt19937 random(12345);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto position = [&](int id) {
    return static_cast<int>(std::find(model.begin(), model.end(), id) - model.begin());
  };

  for (int step = 0; step < 600; ++step) {
    std::vector<int> firstBefore;
    for (auto& link : links) {
      std::vector<int> slice = Slice(*link, Data);
      firstBefore.push_back(slice.empty() ? -1 : position(slice.front()));
      link->Scrolled = 0;
    }
    int op = pick(9);
    bool move = false;
    if (op == 0 || (op == 1 && !model.empty())) {
      int distance = pick(19) - 9;
      Data.MoveBy(distance);
      if (!model.empty())
        current = static_cast<size_t>(std::clamp(static_cast<int>(current) + distance, 0,
                                                 static_cast<int>(model.size()) - 1));
      move = true;
    } else if (op == 2) {
      Data.First();
      current = 0;
    } else if (op == 3) {
      Data.Last();
      current = model.empty() ? 0 : model.size() - 1;
    } else if (op == 4) {
      Data.Insert();
      Data.FieldByName("Id")->SetAsInteger(++nextId);
      Data.Post();
      model.insert(model.begin() + static_cast<long>(current), nextId);
    } else if (op == 5) {
      AppendValues(&Data, {++nextId, "x"});
      model.push_back(nextId);
      current = model.size() - 1;
    } else if (op == 6 && !model.empty()) {
      Data.Delete();
      model.erase(model.begin() + static_cast<long>(current));
      if (current >= model.size() && current > 0) --current;
    } else if (op == 7 && !model.empty()) {
      int id = model[static_cast<size_t>(pick(static_cast<int>(model.size())))];
      ASSERT_TRUE(Data.Locate("Id", id, {}));
      current = static_cast<size_t>(position(id));
    } else if (op == 8) {
      links[static_cast<size_t>(pick(3))]->SetBufferCount(1 + pick(9));
    }

    SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
    ASSERT_EQ(model.empty(), Data.IsEmpty());
    if (model.empty()) continue;
    ASSERT_EQ(model[current], Data.FieldByName("Id")->AsInteger());
    for (size_t l = 0; l < links.size(); ++l) {
      TRecordingLink& link = *links[l];
      std::vector<int> slice = Slice(link, Data);
      ASSERT_EQ(std::min<size_t>(static_cast<size_t>(link.BufferCount()), model.size()),
                slice.size());
      int first = position(slice.front());
      for (size_t i = 0; i < slice.size(); ++i)
        ASSERT_EQ(model[static_cast<size_t>(first) + i], slice[i]);
      ASSERT_EQ(static_cast<int>(current) - first, link.ActiveRecord());
      if (move && firstBefore[l] >= 0) {
        ASSERT_EQ(first - firstBefore[l], link.Scrolled);
      }
    }
  }
}

TEST_F(LinkTest, DeletingEveryRecordLeavesAnEmptyActiveSlice) {
  TRecordingLink link(&Source, 4);
  Data.Last();
  for (int i = 0; i < 20; ++i) Data.Delete();
  EXPECT_TRUE(Data.IsEmpty());
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(0, link.RecordCount());
  EXPECT_EQ(0, link.ActiveRecord());
  EXPECT_EQ("changed", link.Events.back());
  AppendValues(&Data, {1, "again"});
  EXPECT_EQ(Range(1, 1), Slice(link, Data));
}

TEST_F(LinkTest, DisableControlsNestsAndSendsOneDeferredEvent) {
  TRecordingLink link(&Source, 3);
  link.Events.clear();
  Data.DisableControls();
  Data.DisableControls();
  Data.Next();
  Data.Edit();
  Data.FieldByName("Name")->SetAsString("z");
  Data.Post();
  Data.EnableControls();
  EXPECT_TRUE(link.Events.empty());
  Data.EnableControls();
  EXPECT_EQ(std::vector<std::string>{"changed"}, link.Events);
  EXPECT_EQ(Range(1, 3), Slice(link, Data));

  link.Events.clear();
  Data.DisableControls();
  Data.FieldByName("Name")->SetVisible(false);
  Data.Next();
  Data.EnableControls();
  EXPECT_EQ(std::vector<std::string>{"layout"}, link.Events);

  link.Events.clear();
  Data.DisableControls();
  Data.Close();
  Data.EnableControls();
  EXPECT_EQ(std::vector<std::string>{"inactive"}, link.Events);
}

TEST_F(LinkTest, EditingFollowsStateAndReadOnlyLinksDoNotEdit) {
  TRecordingLink link(&Source);
  link.Events.clear();
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(dsEdit, Data.State());
  Data.Cancel();
  EXPECT_EQ((std::vector<std::string>{"editing", "record", "browsing", "changed"}), link.Events);

  link.SetReadOnly(true);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(dsBrowse, Data.State());
  Source.SetAutoEdit(false);
  link.SetReadOnly(false);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(dsBrowse, Data.State());
}

TEST_F(LinkTest, CheckBrowseModePostsWhatTheControlsHold) {
  TRecordingLink control(&Source);
  TField* name = Data.FieldByName("Name");
  control.OnUpdate = [&] { name->SetAsString("typed"); };
  control.Edit();
  control.Events.clear();
  Data.Next();  // CheckBrowseMode: UpdateRecord, then Post as the record is modified
  Data.Prior();
  EXPECT_EQ("typed", name->AsString());
  // The control's own write is not echoed back to it.
  EXPECT_EQ(0, std::count(control.Events.begin(), control.Events.end(), "record Name"));

  int cancels = 0, posts = 0;
  Data.AfterCancel = [&](TDataSet*) { ++cancels; };
  Data.AfterPost = [&](TDataSet*) { ++posts; };
  control.OnUpdate = nullptr;
  Data.Edit();
  Data.Next();  // nothing changed: cancelled, not posted
  EXPECT_EQ(1, cancels);
  EXPECT_EQ(0, posts);
}

TEST_F(LinkTest, FieldChangesReachTheLinksAndTheSourceEvents) {
  TRecordingLink link(&Source);
  std::vector<TField*> changes;
  Source.OnDataChange = [&](TObject*, TField* field) { changes.push_back(field); };
  Data.Edit();
  link.Events.clear();
  changes.clear();
  Data.FieldByName("Name")->SetAsString("q");
  EXPECT_EQ(std::vector<std::string>{"record Name"}, link.Events);
  EXPECT_EQ(std::vector<TField*>{Data.FieldByName("Name")}, changes);
  EXPECT_TRUE(Data.Modified());
}

TEST_F(LinkTest, ARequiredFieldAsksTheControlsForFocus) {
  TRecordingLink link(&Source);
  Data.FieldByName("Name")->SetRequired(true);
  link.Focusable = Data.FieldByName("Name");
  Data.Edit();
  Data.FieldByName("Name")->Clear();
  EXPECT_THROW(Data.Post(), EDatabaseError);
  EXPECT_NE(link.Events.end(), std::find(link.Events.begin(), link.Events.end(), "focus Name"));
  EXPECT_EQ(dsEdit, Data.State());
}

TEST_F(LinkTest, VisualControlsHearEventsFirst) {
  std::vector<std::string> order;
  struct TOrderLink : TDataLink {
    TOrderLink(std::vector<std::string>& Order, const char* Name) : order(Order), name(Name) {}
    void DataSetChanged() override { order.push_back(name); }
    using TDataLink::SetVisualControl;
    std::vector<std::string>& order;
    const char* name;
  };
  TOrderLink plain(order, "plain"), visual(order, "visual");
  visual.SetVisualControl(true);
  plain.SetDataSource(&Source);
  visual.SetDataSource(&Source);
  Data.First();
  EXPECT_EQ((std::vector<std::string>{"visual", "plain"}), order);
}

TEST_F(LinkTest, ADescendantSourceNotifiesItsLinks) {
  struct TNotifyingSource : TDataSource {
    using TDataSource::TDataSource;
    void Notify(bool Everything) { DataEvent(Everything ? deDataSetChange : deRecordChange, 0); }
  } source(nullptr);
  source.SetDataSet(&Data);
  TRecordingLink link(&source);
  link.Events.clear();
  source.Notify(false);
  source.Notify(true);
  EXPECT_EQ((std::vector<std::string>{"record", "changed"}), link.Events);
}

TEST_F(LinkTest, SourcesReportStateAndStopWithTheirDataSet) {
  TRecordingLink link(&Source);
  int stateChanges = 0;
  Source.OnStateChange = [&](TObject*) { ++stateChanges; };
  Data.Edit();
  Data.Cancel();
  EXPECT_EQ(2, stateChanges);
  Source.SetEnabled(false);
  EXPECT_EQ(dsInactive, Source.State());
  EXPECT_FALSE(link.Active());
  Source.SetEnabled(true);
  EXPECT_TRUE(link.Active());
  {
    auto doomed = std::make_unique<TArrayDataSet>(nullptr);
    doomed->FieldDefs()->Add("Id", ftInteger);
    doomed->Open();
    Source.SetDataSet(doomed.get());
    EXPECT_TRUE(link.Active());
  }
  EXPECT_EQ(nullptr, Source.DataSet());
  EXPECT_FALSE(link.Active());
}

class MasterDetailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Master.FieldDefs()->Add("Id", ftInteger);
    Master.Open();
    for (int id : {1, 2, 3}) AppendValues(&Master, {id});
    Master.First();
    MasterSource.SetDataSet(&Master);

    Detail.FieldDefs()->Add("Id", ftInteger);
    Detail.FieldDefs()->Add("MasterId", ftInteger);
    Detail.Open();
    int id = 0;
    for (int master : {1, 2, 1, 3, 1}) AppendValues(&Detail, {++id, master});
    Detail.SetDetailFields("MasterId");
    Detail.SetMasterSource(&MasterSource);
    Detail.SetMasterFields("Id");
    DetailSource.SetDataSet(&Detail);
  }
  std::vector<int> DetailIds() {
    std::vector<int> ids;
    Detail.First();
    for (; !Detail.Eof(); Detail.Next()) ids.push_back(Detail.FieldByName("Id")->AsInteger());
    return ids;
  }
  TArrayDataSet Master{nullptr}, Detail{nullptr};
  TDataSource MasterSource{nullptr}, DetailSource{nullptr};
};

TEST_F(MasterDetailTest, DetailFollowsTheMasterRecord) {
  EXPECT_EQ((std::vector<int>{1, 3, 5}), DetailIds());
  Master.Next();
  EXPECT_EQ((std::vector<int>{2}), DetailIds());
  Master.Next();
  EXPECT_EQ((std::vector<int>{4}), DetailIds());
  EXPECT_EQ(&MasterSource, Detail.DataSource());
}

TEST_F(MasterDetailTest, NewDetailRecordsTakeTheMasterKey) {
  Master.Next();
  Detail.Append();
  EXPECT_EQ(2, Detail.FieldByName("MasterId")->AsInteger());
  Detail.FieldByName("Id")->SetAsInteger(9);
  Detail.Post();
  EXPECT_EQ((std::vector<int>{2, 9}), DetailIds());
}

TEST_F(MasterDetailTest, MovingTheMasterPostsThePendingDetailEdit) {
  Detail.Edit();
  Detail.FieldByName("Id")->SetAsInteger(7);
  Master.Next();
  EXPECT_EQ(dsBrowse, Detail.State());
  Master.First();
  EXPECT_EQ((std::vector<int>{7, 3, 5}), DetailIds());
}

TEST_F(MasterDetailTest, ClosingTheMasterLiftsTheRestriction) {
  Master.Close();
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), DetailIds());
}

TEST_F(MasterDetailTest, LoopsAreRefused) {
  EXPECT_TRUE(Master.IsLinkedTo(&DetailSource));
  EXPECT_THROW(Master.SetMasterSource(&DetailSource), EDatabaseError);
  TDataSource loop(nullptr);
  Master.SetMasterSource(&loop);
  EXPECT_TRUE(loop.IsLinkedTo(&Detail));
  EXPECT_THROW(loop.SetDataSet(&Detail), EDatabaseError);
  EXPECT_EQ(nullptr, loop.DataSet());
}

TEST(GetFieldPropertyTest, MissingFieldNamesTheControl) {
  TArrayDataSet data(nullptr);
  data.FieldDefs()->Add("Id", ftInteger);
  data.Open();
  TComponent control(nullptr);
  control.SetName("edName");
  EXPECT_EQ(data.FieldByName("Id"), GetFieldProperty(&data, &control, "id"));
  try {
    GetFieldProperty(&data, &control, "Nope");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_EQ("edName: Поле 'Nope' не найдено", e.Message());
  }
}

}  // namespace
