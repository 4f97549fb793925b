// Components (ownership, names, free notifications), lists, string lists
// and collections.
#include "rtl/Classes.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<AnsiString> Lines(const TStrings& s) {
  std::vector<AnsiString> r;
  for (int i = 0; i < s.Count(); ++i) r.push_back(s.Strings(i));
  return r;
}

using L = std::vector<AnsiString>;

// Records what it is told and drops its reference to a removed partner.
class TWatcher : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* watched = nullptr;
  std::vector<std::pair<TComponent*, TOperation>> heard;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    heard.push_back({component, operation});
    if (operation == opRemove && component == watched) watched = nullptr;
  }
};

TEST(TComponent, OwnerDeletesWhatItOwnsAndDeletedOnesLeave) {
  auto* owner = new TComponent(nullptr);
  auto* a = new TWatcher(owner);
  auto* b = new TComponent(owner);
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(b->Owner(), owner);
  EXPECT_EQ(b->ComponentIndex(), 1);
  delete b;
  ASSERT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0), a);
  EXPECT_THROW(owner->Components(1), EListError);
  delete owner;  // deletes `a`; ASan reports a leak or double delete otherwise
}

TEST(TComponent, OwnerTellsItsComponentsOfInsertAndRemove) {
  TComponent owner(nullptr);
  auto* watcher = new TWatcher(&owner);
  auto* other = new TComponent(&owner);
  watcher->watched = other;
  ASSERT_FALSE(watcher->heard.empty());
  EXPECT_EQ(watcher->heard.back(), std::make_pair(static_cast<TComponent*>(other), opInsert));
  delete other;
  EXPECT_EQ(watcher->watched, nullptr);
}

TEST(TComponent, FreeNotificationAcrossOwners) {
  auto* formA = new TComponent(nullptr);
  auto* formB = new TComponent(nullptr);
  auto* watcher = new TWatcher(formA);
  auto* target = new TComponent(formB);
  watcher->watched = target;
  target->FreeNotification(watcher);
  EXPECT_TRUE(target->ComponentState().Contains(csFreeNotification));
  delete formB;  // deletes target
  EXPECT_EQ(watcher->watched, nullptr);

  // A partner deleted first unhooks itself: the later deletion tells no one.
  auto* target2 = new TComponent(nullptr);
  auto* watcher2 = new TWatcher(nullptr);
  target2->FreeNotification(watcher2);
  delete watcher2;
  delete target2;

  // RemoveFreeNotification undoes the link.
  auto* target3 = new TComponent(nullptr);
  watcher->watched = target3;
  target3->FreeNotification(watcher);
  target3->RemoveFreeNotification(watcher);
  delete target3;
  EXPECT_NE(watcher->watched, nullptr);
  delete formA;
}

// Reports into memory that outlives it.
class TReporter : public TComponent {
 public:
  struct Seen {
    bool told = false, ownerDestroying = false;
  };
  TReporter(TComponent* owner, Seen* seen) : TComponent(owner), seen_(seen) {}
  TComponent* watched = nullptr;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == watched) {
      seen_->told = true;
      seen_->ownerDestroying = Owner()->ComponentState().Contains(csDestroying);
    }
  }

 private:
  Seen* seen_;
};

TEST(TComponent, DeletingTheOwnerTellsTheRemainingSiblings) {
  TReporter::Seen seen;
  auto* owner = new TComponent(nullptr);
  auto* reporter = new TReporter(owner, &seen);  // deleted last: hears of the later ones
  reporter->watched = new TComponent(owner);
  delete owner;
  EXPECT_TRUE(seen.told);
  EXPECT_TRUE(seen.ownerDestroying);
}

TEST(TComponent, NamesAreIdentifiersUniquePerOwner) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("Edit1");
  EXPECT_EQ(owner.FindComponent("EDIT1"), a);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
  EXPECT_THROW(b->SetName("edit1"), EComponentError);
  a->SetName("EDIT1");  // itself, in other case
  for (const char* bad : {"1abc", "a b", "ab-c", "имя"}) {
    EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
  }
  b->SetName("_x9");
  EXPECT_EQ(b->Name(), "_x9");
  auto* c = new TComponent(nullptr);
  c->SetName("_X9");
  EXPECT_THROW(owner.InsertComponent(c), EComponentError);
  delete c;
  b->Tag = 7;
  EXPECT_EQ(b->Tag, 7);
  EXPECT_EQ(TWatcher(nullptr).ClassName(), "TWatcher");
}

TEST(TPersistent, AssignErrorNamesBothClasses) {
  TStringList list;
  TComponent component(nullptr);
  try {
    list.Assign(&component);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TStringList");
  }
  EXPECT_THROW(list.Assign(nullptr), EConvertError);
}

// Counts live instances, to see what the object list deletes.
struct TCounted : TObject {
  static inline int alive = 0;
  TCounted() { ++alive; }
  ~TCounted() override { --alive; }
};

TEST(TObjectList, DeletesWhatLeavesTheListUnlessExtracted) {
  {
    TObjectList list;
    for (int i = 0; i < 5; ++i) list.Add(new TCounted);
    EXPECT_EQ(TCounted::alive, 5);
    list.Delete(0);
    list.Remove(list.Items(0));
    EXPECT_EQ(TCounted::alive, 3);
    TObject* kept = list.Extract(list.Items(0));
    EXPECT_EQ(TCounted::alive, 3);
    list.Put(0, new TCounted);
    EXPECT_EQ(TCounted::alive, 3);
    delete kept;
    EXPECT_EQ(list.Count(), 2);
  }
  EXPECT_EQ(TCounted::alive, 0);
  TObjectList borrowed(false);
  TCounted c;
  borrowed.Add(&c);
  borrowed.Clear();
  EXPECT_EQ(TCounted::alive, 1);
}

TEST(TList, OrderOperations) {
  int v[5] = {3, 1, 2, 1, 0};
  TList list;
  for (int& x : v) list.Add(&x);
  list.Sort([](void* a, void* b) { return *static_cast<int*>(a) - *static_cast<int*>(b); });
  EXPECT_EQ(list.Items(1), &v[1]);  // stable: the first 1 stays first
  EXPECT_EQ(list.Items(2), &v[3]);
  list.Move(0, 4);
  EXPECT_EQ(list.Last(), &v[4]);
  list.Exchange(0, 4);
  EXPECT_EQ(list.First(), &v[4]);
  list.Insert(5, nullptr);
  EXPECT_EQ(list.Count(), 6);
  EXPECT_THROW(list.Insert(7, nullptr), EListError);
  EXPECT_THROW(list.Delete(6), EListError);
  EXPECT_THROW(list.Items(-1), EListError);
  const int index = list.IndexOf(&v[2]);
  EXPECT_EQ(list.Remove(&v[2]), index);
  EXPECT_EQ(list.Remove(&v[2]), -1);
}

TEST(TStringList, SortedWithDuplicates) {
  struct {
    TDuplicates mode;
    L result;
  } cases[] = {{dupIgnore, {"a", "b", "c"}}, {dupAccept, {"a", "a", "B", "b", "c"}}};  // before its equals
  for (auto& c : cases) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.mode);
    for (const char* s : {"b", "a", "B", "c", "a"}) list.Add(s);
    EXPECT_EQ(Lines(list), c.result) << c.mode;
  }
  TStringList strict;
  strict.SetSorted(true);
  strict.SetDuplicates(dupError);
  strict.Add("x");
  EXPECT_THROW(strict.Add("X"), EStringListError);
  EXPECT_THROW(strict.Insert(0, "y"), EStringListError);
  EXPECT_THROW(strict.Put(0, "y"), EStringListError);
  int index;
  EXPECT_FALSE(strict.Find("a", index));
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(strict.Find("X", index));
  EXPECT_EQ(strict.IndexOf("x"), 0);
}

TEST(TStringList, CyrillicOrderAndCaseSensitivity) {
  TStringList list;
  for (const char* s : {"жук", "ёж", "Еж", "Ёлка", "ель"}) list.Add(s);
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (L{"Еж", "ель", "ёж", "Ёлка", "жук"}));
  TStringList cs;
  cs.SetCaseSensitive(true);
  cs.SetSorted(true);
  for (const char* s : {"Б", "б", "а", "А"}) cs.Add(s);
  EXPECT_EQ(Lines(cs), (L{"а", "А", "б", "Б"}));
  EXPECT_EQ(cs.IndexOf("Б"), 3);
  cs.SetCaseSensitive(false);  // resorts, so the binary search still finds
  EXPECT_EQ(AnsiUpperCase(cs.Strings(cs.IndexOf("б"))), "Б");
  EXPECT_EQ(cs.IndexOf("в"), -1);
}

TEST(TStringList, ObjectsFollowTheirStrings) {
  TCounted one, two;
  TStringList list;
  list.AddObject("b", &two);
  list.AddObject("a", &one);
  list.SetSorted(true);
  EXPECT_EQ(list.Objects(0), &one);
  EXPECT_EQ(list.IndexOfObject(&two), 1);
  EXPECT_THROW(list.Objects(2), EStringListError);
  EXPECT_THROW(list.Strings(-1), EStringListError);
  TStringList copy;
  copy.Assign(&list);
  EXPECT_EQ(copy.Objects(1), &two);
}

TEST(TStringList, NamesAndValues) {
  TStringList list;
  list.SetText("a=1\r\nB=2\r\nc\r\n=v\r\nk=a=b\r\n");
  EXPECT_EQ(list.Names(0), "a");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.Values("b"), "2");
  EXPECT_EQ(list.Values("k"), "a=b");
  EXPECT_EQ(list.Values("c"), "");
  EXPECT_EQ(list.ValueFromIndex(2), "");  // no separator, no value
  EXPECT_EQ(list.ValueFromIndex(3), "v");
  EXPECT_EQ(list.IndexOfName("K"), 4);
  list.SetValue("b", "x");
  list.SetValue("d", "4");
  list.SetValue("a", "");
  EXPECT_EQ(Lines(list), (L{"b=x", "c", "=v", "k=a=b", "d=4"}));
}

TEST(TStringList, CommaTextQuoting) {
  struct {
    L items;
    const char* text;
  } cases[] = {{{"a", "b c", "d\"e", "", "f,g"}, "a,\"b c\",\"d\"\"e\",,\"f,g\""},
               {{""}, "\"\""},
               {{}, ""},
               {{"Иванов И.И.", "tab\there"}, "\"Иванов И.И.\",\"tab\there\""},
               {{" lead", "trail "}, "\" lead\",\"trail \""}};
  for (auto& c : cases) {
    TStringList list;
    for (auto& s : c.items) list.Add(s);
    EXPECT_EQ(list.CommaText(), c.text);
    TStringList back;
    back.SetCommaText(list.CommaText());
    EXPECT_EQ(Lines(back), c.items) << c.text;
  }
}

TEST(TStringList, CommaTextReading) {
  struct {
    const char* text;
    L items;
  } cases[] = {{"a, b ,\"c d\",\"e\"\"f\",", {"a", "b", "c d", "e\"f", ""}},
               {"a b", {"a", "b"}},
               {"\"unclosed", {"unclosed"}},
               {",a", {"", "a"}},
               {"\"a\"b", {"a", "b"}},
               {"  ", {}},
               {"", {}}};
  for (auto& c : cases) {
    TStringList list;
    list.Add("old");
    list.SetCommaText(c.text);
    EXPECT_EQ(Lines(list), c.items) << c.text;
  }
  TStringList semi;
  semi.SetDelimiter(';');
  semi.SetQuoteChar('\'');
  semi.SetDelimitedText("a;'b;c';'it''s'");
  EXPECT_EQ(Lines(semi), (L{"a", "b;c", "it's"}));
  EXPECT_EQ(semi.DelimitedText(), "a;'b;c';'it''s'");
  EXPECT_EQ(semi.CommaText(), "a,b;c,it's");
}

TEST(TStringList, TextLines) {
  struct {
    const char* text;
    L items;
  } cases[] = {{"a\r\nb\nc\rd\r\n", {"a", "b", "c", "d"}},
               {"a\n\nb", {"a", "", "b"}},
               {"", {}},
               {"\r\n", {""}},
               {"x", {"x"}}};
  for (auto& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(Lines(list), c.items) << c.text;
  }
  TStringList list;
  list.Add("a");
  list.Add("");
  EXPECT_EQ(list.Text(), "a\r\n\r\n");
}

TEST(TStringList, ChangeEvents) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changing;
  };
  list.OnChange = [&](TObject*) { ++changed; };
  list.Add("a");
  EXPECT_EQ(changing + changed, 2);
  list.BeginUpdate();
  list.Add("b");
  list.Delete(0);
  list.BeginUpdate();
  list.Add("c");
  list.EndUpdate();
  EXPECT_EQ(changed, 1);
  list.EndUpdate();
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
}

TEST(TStringList, SortsMovesAndStreams) {
  TStringList list;
  list.SetText("ccc\r\na\r\nbb\r\n");
  list.CustomSort([](TStringList* l, int i, int j) {
    return static_cast<int>(l->Strings(i).size()) - static_cast<int>(l->Strings(j).size());
  });
  EXPECT_EQ(Lines(list), (L{"a", "bb", "ccc"}));
  list.Move(0, 2);
  list.Exchange(0, 1);
  EXPECT_EQ(Lines(list), (L{"ccc", "bb", "a"}));
  TStringStream stream;
  list.SaveToStream(&stream);
  EXPECT_EQ(stream.DataString(), "ccc\r\nbb\r\na\r\n");
  stream.SetPosition(5);  // loading reads from the stream's position
  TStringList back;
  back.LoadFromStream(&stream);
  EXPECT_EQ(Lines(back), (L{"bb", "a"}));

  std::random_device rd;
  AnsiString name = GetTempDir() + "ks_rtl_list_" + IntToStr(rd()) + ".txt";
  list.SaveToFile(name);
  TStringList fromFile;
  fromFile.LoadFromFile(name);
  EXPECT_EQ(Lines(fromFile), Lines(list));
  DeleteFile(name);
  EXPECT_THROW(fromFile.LoadFromFile(name), EFOpenError);
}

class TValueItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  int value = 0;
  void Assign(TPersistent* source) override {
    if (auto* item = dynamic_cast<TValueItem*>(source)) {
      value = item->value;
      return;
    }
    TCollectionItem::Assign(source);
  }
  void Touch() { Changed(false); }
};

class TRecordingCollection : public TOwnedCollection {
 public:
  explicit TRecordingCollection(TPersistent* owner)
      : TOwnedCollection(owner, CollectionItemClass<TValueItem>()) {}
  std::vector<AnsiString> log;

 protected:
  void Update(TCollectionItem* item) override {
    log.push_back(item ? "update " + IntToStr(item->ID()) : AnsiString("update all"));
  }
  void Notify(TCollectionItem* item, TCollectionNotification action) override {
    static const char* const kNames[] = {"added", "extracting", "deleting"};
    log.push_back(AnsiString(kNames[action]) + " " + IntToStr(item->ID()));
  }
};

TValueItem* Item(TCollection& c, int i) { return static_cast<TValueItem*>(c.Items(i)); }

TEST(TCollection, ItemsIdsOrderAndNotifications) {
  TComponent owner(nullptr);
  TRecordingCollection c(&owner);
  EXPECT_EQ(c.Owner(), &owner);
  for (int i = 0; i < 3; ++i) static_cast<TValueItem*>(c.Add())->value = i * 10;
  EXPECT_EQ(c.log, (L{"added 0", "update all", "added 1", "update all", "added 2", "update all"}));
  c.log.clear();
  Item(c, 2)->SetIndex(0);
  EXPECT_EQ(Item(c, 0)->value, 20);
  EXPECT_EQ(Item(c, 0)->Index(), 0);
  c.Delete(1);  // the item with ID 0
  EXPECT_EQ(c.log, (L{"update all", "deleting 0", "extracting 0", "update all"}));
  EXPECT_EQ(c.FindItemID(0), nullptr);
  EXPECT_EQ(c.FindItemID(2), c.Items(0));
  c.log.clear();
  c.BeginUpdate();
  Item(c, 0)->Touch();
  c.Add();
  c.EndUpdate();
  EXPECT_EQ(c.log, (L{"added 3", "update all"}));
  c.log.clear();
  Item(c, 0)->Touch();
  EXPECT_EQ(c.log, (L{"update 2"}));
  EXPECT_EQ(c.Insert(0)->ID(), 4);
  EXPECT_EQ(c.Items(0)->ID(), 4);
  EXPECT_THROW(c.Items(9), EListError);
  delete c.Items(0);  // an item deleted directly leaves the collection
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Items(0)->Collection(), &c);
}

TEST(TCollection, AssignCopiesItems) {
  TCollection a(CollectionItemClass<TValueItem>()), b(CollectionItemClass<TValueItem>());
  for (int i = 1; i <= 3; ++i) static_cast<TValueItem*>(a.Add())->value = i;
  b.Add();
  b.Assign(&a);
  ASSERT_EQ(b.Count(), 3);
  EXPECT_EQ(Item(b, 2)->value, 3);
  b.SetItem(0, a.Items(2));
  EXPECT_EQ(Item(b, 0)->value, 3);
  b.Clear();
  EXPECT_EQ(b.Count(), 0);
}

}  // namespace
