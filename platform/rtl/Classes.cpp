#include "rtl/Classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

[[noreturn]] void ListIndexError(int index) {
  throw EListError(Format("Индекс списка вне допустимого диапазона (%d)", {index}));
}

bool IsValidIdent(const AnsiString& s) {
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (s.empty() || !alpha(s[0])) return false;
  return std::all_of(s.begin() + 1, s.end(),
                     [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

}  // namespace

// ---- TObject, TPersistent --------------------------------------------------------

AnsiString TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  AnsiString name = status == 0 ? demangled.get() : mangled;
  size_t scope = name.rfind("::");
  return scope == AnsiString::npos ? name : name.substr(scope + 2);
}

void TPersistent::Assign(TPersistent* source) {
  if (!source) AssignError(nullptr);
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) { dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* source) {
  throw EConvertError(Format("Cannot assign a %s to a %s",
                             {source ? source->ClassName() : AnsiString("nil"), ClassName()}));
}

// ---- TComponent ----------------------------------------------------------------

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  while (!freeNotifies_.empty()) {
    TComponent* partner = freeNotifies_.back();
    freeNotifies_.pop_back();
    partner->RemoveNotify(this);
    partner->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) ListIndexError(index);
  return components_[index];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_ == this) return;
  if (!component->name_.empty() && FindComponent(component->name_))
    throw EComponentError(Format("Компонент с именем %s уже существует", {component->name_}));
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component->owner_ != this) return;
  Notification(component, opRemove);
  components_.erase(std::find(components_.begin(), components_.end(), component));
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    RemoveComponent(c);
    delete c;
  }
}

void TComponent::SetName(const AnsiString& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError(Format("'%s' не является допустимым именем компонента", {name}));
  if (owner_ && !name.empty()) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this)
      throw EComponentError(Format("Компонент с именем %s уже существует", {name}));
  }
  name_ = name;
}

void TComponent::FreeNotification(TComponent* component) {
  // Components of one owner hear of each other through the owner already.
  if (!component || component == this) return;
  if (!owner_ || component->owner_ != owner_) {
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
      freeNotifies_.push_back(component);
      component->FreeNotification(this);
    }
  }
  state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  RemoveNotify(component);
  component->RemoveNotify(this);
}

void TComponent::RemoveNotify(TComponent* component) {
  auto it = std::find(freeNotifies_.begin(), freeNotifies_.end(), component);
  if (it != freeNotifies_.end()) freeNotifies_.erase(it);
  if (freeNotifies_.empty()) state_.Exclude(csFreeNotification);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // Owned components may go away while they are told: walk by index from the end.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i < components_.size()) components_[i]->Notification(component, operation);
  }
}

void TComponent::Destroying() { state_.Include(csDestroying); }

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::SetComponentState(TComponentStateItem item, bool on) {
  if (on) state_.Include(item);
  else state_.Exclude(item);
}

// ---- TList ---------------------------------------------------------------------

TList::~TList() { Clear(); }

void TList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
}

int TList::Add(void* item) {
  items_.push_back(item);
  Notify(item, lnAdded);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) ListIndexError(index);
  items_.insert(items_.begin() + index, item);
  Notify(item, lnAdded);
}

void TList::Delete(int index) {
  CheckIndex(index);
  void* item = items_[index];
  items_.erase(items_.begin() + index);
  Notify(item, lnDeleted);
}

int TList::Remove(void* item) {
  int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  int index = IndexOf(item);
  if (index < 0) return nullptr;
  items_.erase(items_.begin() + index);
  Notify(item, lnExtracted);
  return item;
}

int TList::IndexOf(void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TList::SetCount(int count) {
  if (count < 0) ListIndexError(count);
  while (Count() > count) Delete(Count() - 1);
  items_.resize(count, nullptr);
}

void* TList::Items(int index) const {
  CheckIndex(index);
  return items_[index];
}

void TList::Put(int index, void* item) {
  CheckIndex(index);
  void* old = items_[index];
  if (old == item) return;
  items_[index] = item;
  Notify(old, lnDeleted);
  Notify(item, lnAdded);
}

void TList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[index1], items_[index2]);
}

void TList::Move(int curIndex, int newIndex) {
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  void* item = items_[curIndex];
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, item);
}

void TList::Clear() {
  SetCount(0);
  items_.shrink_to_fit();
}

void TList::SetCapacity(int capacity) {
  if (capacity < Count()) ListIndexError(capacity);
  items_.reserve(capacity);
}

void TList::Sort(const TListSortCompare& compare) {
  std::stable_sort(items_.begin(), items_.end(),
                   [&](void* a, void* b) { return compare(a, b) < 0; });
}

void TList::Notify(void*, TListNotification) {}

TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(void* item, TListNotification action) {
  if (ownsObjects_ && action == lnDeleted) delete static_cast<TObject*>(item);
}

// ---- TStrings ------------------------------------------------------------------

void TStrings::Error(const AnsiString& message, int index) const {
  throw EStringListError(Format(message, {index}));
}

void TStrings::Put(int index, const AnsiString& s) {
  BeginUpdate();
  TObject* object = GetObject(index);
  Delete(index);
  InsertObject(index, s, object);
  EndUpdate();
}

void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const AnsiString& s) {
  int index = GetCount();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const AnsiString& s, TObject* object) {
  int index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::AddStrings(TStrings* strings) {
  BeginUpdate();
  for (int i = 0; i < strings->Count(); ++i) AddObject(strings->Get(i), strings->GetObject(i));
  EndUpdate();
}

void TStrings::InsertObject(int index, const AnsiString& s, TObject* object) {
  Insert(index, s);
  PutObject(index, object);
}

void TStrings::Exchange(int index1, int index2) {
  BeginUpdate();
  AnsiString s = Get(index1);
  TObject* object = GetObject(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, s);
  PutObject(index2, object);
  EndUpdate();
}

void TStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  BeginUpdate();
  AnsiString s = Get(curIndex);
  TObject* object = GetObject(curIndex);
  Delete(curIndex);
  InsertObject(newIndex, s, object);
  EndUpdate();
}

int TStrings::IndexOf(const AnsiString& s) const {
  for (int i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const AnsiString& name) const {
  for (int i = 0; i < GetCount(); ++i) {
    AnsiString s = Get(i);
    size_t p = s.find(nameValueSeparator_);
    if (p != AnsiString::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(TObject* object) const {
  for (int i = 0; i < GetCount(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

AnsiString TStrings::Names(int index) const {
  AnsiString s = Get(index);
  size_t p = s.find(nameValueSeparator_);
  return p == AnsiString::npos ? AnsiString() : s.substr(0, p);
}

AnsiString TStrings::Values(const AnsiString& name) const {
  int i = IndexOfName(name);
  return i < 0 ? AnsiString() : ValueFromIndex(i);
}

// A line without the separator has no value (not its text minus one character).
AnsiString TStrings::ValueFromIndex(int index) const {
  AnsiString s = Get(index);
  size_t p = s.find(nameValueSeparator_);
  return p == AnsiString::npos ? AnsiString() : s.substr(p + 1);
}

void TStrings::SetValue(const AnsiString& name, const AnsiString& value) {
  int i = IndexOfName(name);
  if (!value.empty()) {
    AnsiString line = name + nameValueSeparator_ + value;
    if (i < 0) Add(line);
    else Put(i, line);
  } else if (i >= 0) {
    Delete(i);
  }
}

AnsiString TStrings::DelimitedText() const { return JoinDelimited(delimiter_, quoteChar_); }

void TStrings::SetDelimitedText(const AnsiString& text) {
  SplitDelimited(text, delimiter_, quoteChar_);
}

AnsiString TStrings::CommaText() const { return JoinDelimited(',', '"'); }

void TStrings::SetCommaText(const AnsiString& text) { SplitDelimited(text, ',', '"'); }

AnsiString TStrings::JoinDelimited(char delimiter, char quoteChar) const {
  const int count = GetCount();
  if (count == 1 && Get(0).empty()) return AnsiString(2, quoteChar);
  AnsiString result;
  for (int i = 0; i < count; ++i) {
    AnsiString s = Get(i);
    bool quote = std::any_of(s.begin(), s.end(), [&](char c) {
      return static_cast<uint8_t>(c) <= ' ' || c == quoteChar || c == delimiter;
    });
    if (quote) {
      AnsiString q(1, quoteChar);
      for (char c : s) {
        q += c;
        if (c == quoteChar) q += c;
      }
      s = q + quoteChar;
    }
    if (i) result += delimiter;
    result += s;
  }
  return result;
}

void TStrings::SplitDelimited(const AnsiString& text, char delimiter, char quoteChar) {
  auto blank = [](char c) { return c != '\0' && static_cast<uint8_t>(c) <= ' '; };
  BeginUpdate();
  Clear();
  size_t p = 0;
  const size_t n = text.size();
  while (p < n && blank(text[p])) ++p;
  while (p < n) {
    AnsiString s;
    if (text[p] == quoteChar) {
      // Quoted: doubled quotes stand for one; an unclosed quote runs to the end.
      for (++p; p < n; ++p) {
        if (text[p] == quoteChar) {
          if (p + 1 < n && text[p + 1] == quoteChar) ++p;
          else {
            ++p;
            break;
          }
        }
        s += text[p];
      }
    } else {
      size_t start = p;
      while (p < n && static_cast<uint8_t>(text[p]) > ' ' && text[p] != delimiter) ++p;
      s = text.substr(start, p - start);
    }
    Add(s);
    while (p < n && blank(text[p])) ++p;
    if (p < n && text[p] == delimiter) {
      if (p + 1 == n) Add(AnsiString());
      do ++p;
      while (p < n && blank(text[p]));
    }
  }
  EndUpdate();
}

AnsiString TStrings::Text() const {
  AnsiString result;
  for (int i = 0; i < GetCount(); ++i) result += Get(i) + "\r\n";
  return result;
}

void TStrings::SetTextStr(const AnsiString& text) {
  BeginUpdate();
  Clear();
  size_t p = 0;
  const size_t n = text.size();
  while (p < n) {
    size_t end = text.find_first_of("\r\n", p);
    if (end == AnsiString::npos) end = n;
    Add(text.substr(p, end - p));
    p = end;
    if (p < n && text[p] == '\r') ++p;
    if (p < n && text[p] == '\n') ++p;
  }
  EndUpdate();
}

void TStrings::LoadFromStream(TStream* stream) {
  AnsiString text(static_cast<size_t>(stream->Size() - stream->Position()), '\0');
  stream->ReadBuffer(text.data(), static_cast<int32_t>(text.size()));
  SetText(text);
}

void TStrings::SaveToStream(TStream* stream) const {
  AnsiString text = Text();
  stream->WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void TStrings::LoadFromFile(const AnsiString& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&file);
}

void TStrings::SaveToFile(const AnsiString& fileName) const {
  TFileStream file(fileName, fmCreate);
  SaveToStream(&file);
}

void TStrings::Assign(TPersistent* source) {
  if (auto* strings = dynamic_cast<TStrings*>(source)) {
    BeginUpdate();
    Clear();
    AddStrings(strings);
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (--updateCount_ == 0) SetUpdateState(false);
}

int TStrings::CompareStrings(const AnsiString& s1, const AnsiString& s2) const {
  return AnsiCompareText(s1, s2);
}

// ---- TStringList ----------------------------------------------------------------

namespace {
const char* const kListIndexError = "Индекс списка вне допустимого диапазона (%d)";
const char* const kSortedListError = "Операция недопустима для отсортированного списка";
}  // namespace

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) Error(kListIndexError, index);
}

AnsiString TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[index].s;
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[index].object;
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) Changing();
  else Changed();
}

void TStringList::Put(int index, const AnsiString& s) {
  if (sorted_) Error(kSortedListError, 0);
  CheckIndex(index);
  Changing();
  items_[index].s = s;
  Changed();
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  items_[index].object = object;
  Changed();
}

int TStringList::Add(const AnsiString& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const AnsiString& s, TObject* object) {
  int index = Count();
  if (sorted_ && Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) Error("Список строк не допускает дубликатов", 0);
  }
  InsertItem(index, s, object);
  return index;
}

void TStringList::Insert(int index, const AnsiString& s) {
  if (sorted_) Error(kSortedListError, 0);
  if (index < 0 || index > Count()) Error(kListIndexError, index);
  InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const AnsiString& s, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(items_[index1], items_[index2]);
  Changed();
}

bool TStringList::Find(const AnsiString& s, int& index) const {
  int lo = 0, hi = Count();
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (CompareStrings(items_[mid].s, s) < 0) lo = mid + 1;
    else hi = mid;
  }
  index = lo;
  return lo < Count() && CompareStrings(items_[lo].s, s) == 0;
}

int TStringList::IndexOf(const AnsiString& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index;
  return Find(s, index) ? index : -1;
}

void TStringList::QuickSort(int lo, int hi, const TStringListSortCompare& compare) {
  while (lo < hi) {
    int i = lo, j = hi, pivot = (lo + hi) / 2;
    do {
      while (compare(this, i, pivot) < 0) ++i;
      while (compare(this, j, pivot) > 0) --j;
      if (i <= j) {
        if (i != j) std::swap(items_[i], items_[j]);
        // The pivot is followed by index as it moves.
        if (pivot == i) pivot = j;
        else if (pivot == j) pivot = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (lo < j) QuickSort(lo, j, compare);
    lo = i;
  }
}

void TStringList::Sort() {
  // Also when Sorted: after a change of CaseSensitive the order must follow.
  if (Count() < 2) return;
  Changing();
  QuickSort(0, Count() - 1, [](TStringList* list, int a, int b) {
    return list->CompareStrings(list->items_[a].s, list->items_[b].s);
  });
  Changed();
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  // Another order would break the binary search of a sorted list.
  if (sorted_ || Count() < 2) return;
  Changing();
  QuickSort(0, Count() - 1, compare);
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  if (sorted_) Sort();
}

int TStringList::CompareStrings(const AnsiString& s1, const AnsiString& s2) const {
  return caseSensitive_ ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

// ---- Collections ---------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() { SetCollection(nullptr); }

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == collection_) return;
  if (collection_) collection_->RemoveItem(this);
  if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& items = collection_->items_;
  return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  if (!collection_ || index == Index()) return;
  collection_->MoveItem(this, index);
  Changed(true);
}

void TCollectionItem::Changed(bool allItems) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Update(allItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() { return collection_; }

TCollection::TCollection(TCollectionItemClass itemClass) : itemClass_(std::move(itemClass)) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // no Update calls on a collection going away
  while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Add() { return itemClass_(this); }

TCollectionItem* TCollection::Insert(int index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return items_[index];
}

void TCollection::SetItem(int index, TCollectionItem* value) { Items(index)->Assign(value); }

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  Notify(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : items_)
    if (item->id_ == id) return item;
  return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  --updateCount_;
  Changed();
}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TCollection*>(source)) {
    BeginUpdate();
    Clear();
    for (int i = 0; i < other->Count(); ++i) Add()->Assign(other->Items(i));
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

void TCollection::InsertItem(TCollectionItem* item) {
  items_.push_back(item);
  item->collection_ = this;
  item->id_ = nextId_++;
  Notify(item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
  Notify(item, cnExtracting);
  items_.erase(std::find(items_.begin(), items_.end(), item));
  item->collection_ = nullptr;
  Changed();
}

void TCollection::MoveItem(TCollectionItem* item, int index) {
  index = std::clamp(index, 0, Count() - 1);
  items_.erase(std::find(items_.begin(), items_.end(), item));
  items_.insert(items_.begin() + index, item);
}
