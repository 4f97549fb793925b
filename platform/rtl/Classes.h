// Objects, components with ownership and free notifications, lists,
// string lists and collections.
#pragma once

#include <vector>

#include "rtl/Streams.h"
#include "rtl/SysUtils.h"

class TObject {
 public:
  virtual ~TObject() = default;
  // The class name as written in code ("TStringList").
  AnsiString ClassName() const;
};

class TPersistent : public TObject {
 public:
  // Copies from `source`; EConvertError "Cannot assign a X to a Y" when
  // neither side knows how.
  virtual void Assign(TPersistent* source);
  // The object a collection or sub-object reports as its owner.
  virtual TPersistent* GetOwner() { return nullptr; }

 protected:
  virtual void AssignTo(TPersistent* dest);

 private:
  [[noreturn]] void AssignError(TPersistent* source);
};

enum TOperation { opInsert, opRemove };

enum TComponentStateItem {
  csLoading,
  csReading,
  csWriting,
  csDestroying,
  csDesigning,
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,
  csInline,
  csDesignInstance
};
using TComponentState = TSet<TComponentStateItem>;

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

// Text alignment: controls and dataset fields share it.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  // Tells the free-notification partners, deletes the owned components and
  // leaves the owner.
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  TPersistent* GetOwner() override { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  // Case-insensitive; null when there is none (or the name is empty).
  TComponent* FindComponent(const AnsiString& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Deletes the owned components, last first.
  void DestroyComponents();

  const AnsiString& Name() const { return name_; }
  // An identifier, unique among the owner's components: EComponentError otherwise.
  virtual void SetName(const AnsiString& name);
  TComponentState ComponentState() const { return state_; }

  // `component` is told (Notification opRemove) when this one is deleted,
  // and the other way round.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Sets csDestroying; derived destructors may call it first.
  void Destroying();
  // Called once the component is set up (clears csLoading).
  virtual void Loaded();

  intptr_t Tag = 0;

 protected:
  // opInsert/opRemove of `component` in the owner, or the deletion of a
  // free-notification partner. The base passes it on to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);
  void SetComponentState(TComponentStateItem item, bool on);

 private:
  void RemoveNotify(TComponent* component);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  AnsiString name_;
  TComponentState state_;
};

// ---- Lists -------------------------------------------------------------------

enum TListNotification { lnAdded, lnExtracted, lnDeleted };
using TListSortCompare = std::function<int(void* item1, void* item2)>;

class TList : public TObject {
 public:
  ~TList() override;
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  int Remove(void* item);  // index it had, or -1
  void* Extract(void* item);  // removes without lnDeleted; null when absent
  int IndexOf(void* item) const;
  int Count() const { return static_cast<int>(items_.size()); }
  void SetCount(int count);
  void* Items(int index) const;
  void Put(int index, void* item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  void Clear();
  int Capacity() const { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int capacity);
  // Stable: equal items keep their order.
  void Sort(const TListSortCompare& compare);

 protected:
  virtual void Notify(void* item, TListNotification action);
  void CheckIndex(int index) const;

 private:
  std::vector<void*> items_;
};

// A list of objects it deletes when OwnsObjects (the default) and they leave
// the list by Delete, Remove, Clear or replacement.
class TObjectList : public TList {
 public:
  explicit TObjectList(bool ownsObjects = true) : ownsObjects_(ownsObjects) {}
  ~TObjectList() override;
  bool OwnsObjects() const { return ownsObjects_; }
  void SetOwnsObjects(bool owns) { ownsObjects_ = owns; }
  int Add(TObject* item) { return TList::Add(item); }
  void Insert(int index, TObject* item) { TList::Insert(index, item); }
  int Remove(TObject* item) { return TList::Remove(item); }
  TObject* Extract(TObject* item) { return static_cast<TObject*>(TList::Extract(item)); }
  int IndexOf(TObject* item) const { return TList::IndexOf(item); }
  TObject* Items(int index) const { return static_cast<TObject*>(TList::Items(index)); }
  void Put(int index, TObject* item) { TList::Put(index, item); }

 protected:
  void Notify(void* item, TListNotification action) override;

 private:
  bool ownsObjects_;
};

// ---- String lists ---------------------------------------------------------------

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
 public:
  int Count() const { return GetCount(); }
  AnsiString Strings(int index) const { return Get(index); }
  virtual void Put(int index, const AnsiString& s);
  TObject* Objects(int index) const { return GetObject(index); }
  virtual void PutObject(int index, TObject* object);

  virtual int Add(const AnsiString& s);
  virtual int AddObject(const AnsiString& s, TObject* object);
  void AddStrings(TStrings* strings);
  virtual void Insert(int index, const AnsiString& s) = 0;
  void InsertObject(int index, const AnsiString& s, TObject* object);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(int index1, int index2);
  virtual void Move(int curIndex, int newIndex);
  virtual int IndexOf(const AnsiString& s) const;
  int IndexOfName(const AnsiString& name) const;
  int IndexOfObject(TObject* object) const;

  // "name=value" lines.
  AnsiString Names(int index) const;
  AnsiString Values(const AnsiString& name) const;
  // Sets or adds the line; an empty value deletes it.
  void SetValue(const AnsiString& name, const AnsiString& value);
  AnsiString ValueFromIndex(int index) const;
  char NameValueSeparator() const { return nameValueSeparator_; }
  void SetNameValueSeparator(char c) { nameValueSeparator_ = c; }

  // Items joined by Delimiter, quoted with QuoteChar when they contain a
  // blank, control character, quote or delimiter. Reading splits at the
  // delimiter and at blanks outside quotes.
  AnsiString DelimitedText() const;
  void SetDelimitedText(const AnsiString& text);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char c) { quoteChar_ = c; }
  // DelimitedText with ',' and '"'.
  AnsiString CommaText() const;
  void SetCommaText(const AnsiString& text);
  // Every line followed by CR LF; reading splits at CR LF, CR or LF.
  AnsiString Text() const;
  void SetText(const AnsiString& text) { SetTextStr(text); }

  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;
  void LoadFromStream(TStream* stream);
  void SaveToStream(TStream* stream) const;

  void Assign(TPersistent* source) override;
  void BeginUpdate();
  void EndUpdate();

 protected:
  virtual AnsiString Get(int index) const = 0;
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int) const { return nullptr; }
  // Called when the first BeginUpdate starts and the last EndUpdate ends.
  virtual void SetUpdateState(bool) {}
  // What SetText does: by default the lines one by one.
  virtual void SetTextStr(const AnsiString& text);
  virtual int CompareStrings(const AnsiString& s1, const AnsiString& s2) const;
  int UpdateCount() const { return updateCount_; }
  [[noreturn]] void Error(const AnsiString& message, int index) const;

 private:
  AnsiString JoinDelimited(char delimiter, char quoteChar) const;
  void SplitDelimited(const AnsiString& text, char delimiter, char quoteChar);

  int updateCount_ = 0;
  char delimiter_ = ',';
  char quoteChar_ = '"';
  char nameValueSeparator_ = '=';
};

class TStringList;
using TStringListSortCompare = std::function<int(TStringList* list, int index1, int index2)>;

class TStringList : public TStrings {
 public:
  void Put(int index, const AnsiString& s) override;
  void PutObject(int index, TObject* object) override;
  int Add(const AnsiString& s) override;
  int AddObject(const AnsiString& s, TObject* object) override;
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const AnsiString& s) const override;
  // Binary search of a sorted list: true when found; `index` is where `s` is
  // or would go (the first of equal strings).
  bool Find(const AnsiString& s, int& index) const;
  void Sort();
  void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  AnsiString Get(int index) const override;
  int GetCount() const override { return static_cast<int>(items_.size()); }
  TObject* GetObject(int index) const override;
  void SetUpdateState(bool updating) override;
  int CompareStrings(const AnsiString& s1, const AnsiString& s2) const override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    AnsiString s;
    TObject* object;
  };
  void InsertItem(int index, const AnsiString& s, TObject* object);
  void CheckIndex(int index) const;
  void QuickSort(int lo, int hi, const TStringListSortCompare& compare);

  std::vector<Item> items_;
  bool sorted_ = false;
  TDuplicates duplicates_ = dupIgnore;
  bool caseSensitive_ = false;
};

// ---- Collections ---------------------------------------------------------------

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  TCollection* Collection() const { return collection_; }
  void SetCollection(TCollection* collection);
  int ID() const { return id_; }
  int Index() const;
  virtual void SetIndex(int index);
  virtual AnsiString DisplayName() const { return ClassName(); }
  TPersistent* GetOwner() override;  // the collection

 protected:
  // Tells the collection (Update) unless it is inside BeginUpdate.
  void Changed(bool allItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };
// Makes an item of the collection's class inside the given collection.
using TCollectionItemClass = std::function<TCollectionItem*(TCollection*)>;

template <typename T>
TCollectionItemClass CollectionItemClass() {
  return [](TCollection* c) -> TCollectionItem* { return new T(c); };
}

class TCollection : public TPersistent {
 public:
  explicit TCollection(TCollectionItemClass itemClass);
  ~TCollection() override;
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int index) const;
  void SetItem(int index, TCollectionItem* value);  // assigns value to the item
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  void Assign(TPersistent* source) override;
  TPersistent* Owner() { return GetOwner(); }

 protected:
  // Something changed: `item`, or the whole collection when null.
  virtual void Update(TCollectionItem* item);
  virtual void Notify(TCollectionItem* item, TCollectionNotification action);
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);
  void MoveItem(TCollectionItem* item, int index);

  TCollectionItemClass itemClass_;
  std::vector<TCollectionItem*> items_;
  int updateCount_ = 0;
  int nextId_ = 0;
};

class TOwnedCollection : public TCollection {
 public:
  TOwnedCollection(TPersistent* owner, TCollectionItemClass itemClass)
      : TCollection(std::move(itemClass)), owner_(owner) {}
  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;
};
