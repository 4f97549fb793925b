#include "COMPONENTS/kslib/DBSumLst.h"

#include <algorithm>
#include <map>

namespace {

enum TEventKind {
  ekAfterCancel,
  ekAfterClose,
  ekAfterEdit,
  ekAfterInsert,
  ekAfterOpen,
  ekAfterPost,
  ekAfterScroll,
  ekBeforePost,
  ekBeforeDelete,
  ekAfterDelete,
  ekCount
};

TDataSetNotifyEvent& EventOf(TDataSet* D, int Kind) {
  switch (Kind) {
    case ekAfterCancel:
      return D->AfterCancel;
    case ekAfterClose:
      return D->AfterClose;
    case ekAfterEdit:
      return D->AfterEdit;
    case ekAfterInsert:
      return D->AfterInsert;
    case ekAfterOpen:
      return D->AfterOpen;
    case ekAfterPost:
      return D->AfterPost;
    case ekAfterScroll:
      return D->AfterScroll;
    case ekBeforeDelete:
      return D->BeforeDelete;
    case ekBeforePost:
      return D->BeforePost;
    default:
      return D->AfterDelete;
  }
}

// The handler that was there runs before the adjustment for these.
bool SavedFirst(int Kind) {
  return Kind == ekBeforeDelete || Kind == ekBeforePost || Kind == ekAfterCancel ||
         Kind == ekAfterScroll;
}

// A record's part: value × 10000, halves to even; a value that is not
// finite or leaves the 64-bit range has none.
TDBSum::TTerm TermOf(TField* Field) {
  TDBSum::TTerm Term;
  if (!Field || Field->IsNull()) return Term;
  try {
    Term.Value = Field->AsCurrency().Scaled;
  } catch (EMathError&) {
    Term.OutOfRange = true;
  }
  return Term;
}

// A count's part: 10000 unless its field is null.
TDBSum::TTerm CountTermOf(TField* Field) { return {!Field || !Field->IsNull() ? 10000 : 0, false}; }

int64_t DivideHalfEven(int64_t Sum, int64_t Count) {
  if (Count == 0) return 0;
  int64_t Q = Sum / Count, R = Sum % Count;
  int64_t Twice = 2 * (R < 0 ? -R : R);
  if (Twice > Count || (Twice == Count && Q % 2 != 0)) Q += (Sum < 0) ? -1 : 1;
  return Q;
}

}  // namespace

// One per dataset: installs its dispatchers in the dataset's events once,
// whatever number of producers listen, and passes every event on to the
// handlers that were there. Producers come and go in any order; when the
// last goes, the saved handlers come back, except where the program has
// set a handler of its own meanwhile.
class TDataSetEventHub : public TComponent {
 public:
  static TDataSetEventHub* For(TDataSet* DataSet) {
    auto It = Hubs().find(DataSet);
    if (It != Hubs().end()) return It->second;
    auto* Hub = new TDataSetEventHub(DataSet);
    Hubs()[DataSet] = Hub;
    return Hub;
  }
  static TDataSetEventHub* Find(TDataSet* DataSet) {
    auto It = Hubs().find(DataSet);
    return It == Hubs().end() ? nullptr : It->second;
  }

  void Listen(TDBSumListProducer* P, bool AsMaster) {
    auto& List = AsMaster ? FMasterListeners : FListeners;
    if (std::find(List.begin(), List.end(), P) == List.end()) List.push_back(P);
  }
  void Leave(TDBSumListProducer* P) {
    std::erase(FListeners, P);
    std::erase(FMasterListeners, P);
    if (!FListeners.empty() || !FMasterListeners.empty()) return;
    for (int K = 0; K < ekCount; ++K) {
      TDataSetNotifyEvent& E = EventOf(FDataSet, K);
      if (E.target<TDispatch>()) E = FSaved[K];
    }
    Forget();
  }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove || AComponent != FDataSet) return;
    std::vector<TDBSumListProducer*> All = FListeners;
    All.insert(All.end(), FMasterListeners.begin(), FMasterListeners.end());
    FListeners.clear();
    FMasterListeners.clear();
    TDataSet* Gone = FDataSet;
    Forget();
    for (TDBSumListProducer* P : All) P->DataSetGone(Gone);
  }

 private:
  struct TDispatch {
    TDataSetEventHub* Hub;
    int Kind;
    void operator()(TDataSet* D) const { Hub->Fire(Kind, D); }
  };
  static std::map<TDataSet*, TDataSetEventHub*>& Hubs() {
    static std::map<TDataSet*, TDataSetEventHub*> Map;
    return Map;
  }
  explicit TDataSetEventHub(TDataSet* DataSet) : TComponent(nullptr), FDataSet(DataSet) {
    for (int K = 0; K < ekCount; ++K) {
      TDataSetNotifyEvent& E = EventOf(DataSet, K);
      FSaved[K] = E;
      E = TDispatch{this, K};
    }
    DataSet->FreeNotification(this);
  }
  void Forget() {
    Hubs().erase(FDataSet);
    delete this;
  }
  void Fire(int Kind, TDataSet* D) {
    // Copies: a handler may make a producer leave.
    TDataSetNotifyEvent Saved = FSaved[Kind];
    std::vector<TDBSumListProducer*> Listeners = FListeners, Masters = FMasterListeners;
    if (SavedFirst(Kind) && Saved) Saved(D);
    for (TDBSumListProducer* P : Listeners) {
      switch (Kind) {
        case ekAfterCancel:
          P->DoAfterCancel();
          break;
        case ekAfterClose:
          P->DoAfterClose();
          break;
        case ekAfterEdit:
          P->DoAfterEdit();
          break;
        case ekAfterInsert:
          P->DoAfterInsert();
          break;
        case ekAfterOpen:
          P->DoAfterOpen();
          break;
        case ekAfterPost:
          P->DoAfterPost();
          break;
        case ekAfterScroll:
          P->DoAfterScroll();
          break;
        case ekBeforeDelete:
          P->DoBeforeDelete();
          break;
        case ekBeforePost:
          P->DoBeforePost();
          break;
        default:
          P->DoAfterDelete();
          break;
      }
    }
    if (Kind == ekAfterScroll)
      for (TDBSumListProducer* P : Masters) P->DoMasterAfterScroll();
    if (!SavedFirst(Kind) && Saved) Saved(D);
  }

  TDataSet* FDataSet;
  TDataSetNotifyEvent FSaved[ekCount];
  std::vector<TDBSumListProducer*> FListeners, FMasterListeners;
};

// --- items

void TDBSum::SetFieldName(const AnsiString& Value) {
  FFieldName = Value;
  Changed(false);
}

void TDBSum::SetGroupOperation(TGroupOperation Value) {
  FGroupOperation = Value;
  Changed(false);
}

void TDBSum::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TDBSum*>(Source);
  if (!S) return TCollectionItem::Assign(Source);
  FFieldName = S->FFieldName;
  FGroupOperation = S->FGroupOperation;
  Changed(false);
}

void TDBSum::Clear() {
  SumValue = 0;
  Overflow = false;
  AvgCount = 0;
  OldTerm = DeletedTerm = {};
  FTotalLow = 0;
  FTotalHigh = 0;
  FOutOfRange = 0;
}

// Two's complement over both words; the upper one never comes near its end.
void TDBSum::AddTerm(const TTerm& Term, int Sign) {
  if (Term.OutOfRange) {
    FOutOfRange += Sign;
  } else {
    const uint64_t Low = static_cast<uint64_t>(Term.Value), Before = FTotalLow;
    const uint64_t High = Term.Value < 0 ? ~uint64_t{0} : 0;
    uint64_t Top = static_cast<uint64_t>(FTotalHigh);
    if (Sign > 0) {
      FTotalLow += Low;
      Top += High + (FTotalLow < Before ? 1 : 0);
    } else {
      FTotalLow -= Low;
      Top -= High + (FTotalLow > Before ? 1 : 0);
    }
    FTotalHigh = static_cast<int64_t>(Top);
  }
  Settle();
}

void TDBSum::Settle() {
  const bool Fits = (FTotalHigh == 0 && FTotalLow <= uint64_t{INT64_MAX}) ||
                    (FTotalHigh == -1 && FTotalLow > uint64_t{INT64_MAX});
  Overflow = FOutOfRange > 0 || !Fits;
  const int64_t Total = static_cast<int64_t>(FTotalLow);
  SumValue = Overflow ? 0 : FGroupOperation == goAvg ? DivideHalfEven(Total, AvgCount) : Total;
}

TDBSumCollection::TDBSumCollection(TDBSumListProducer* Producer)
    : TCollection(CollectionItemClass<TDBSum>()), FProducer(Producer) {}

TDBSum* TDBSumCollection::FindSum(TGroupOperation Operation, const AnsiString& FieldName) const {
  for (int I = 0; I < Count(); ++I)
    if (Items(I)->GroupOperation() == Operation &&
        AnsiCompareText(Items(I)->FieldName(), FieldName) == 0)
      return Items(I);
  return nullptr;
}

void TDBSumCollection::Update(TCollectionItem*) {
  TComponent* Owner = FProducer->Owner();
  if (Owner && (Owner->ComponentState().Contains(csLoading) ||
                Owner->ComponentState().Contains(csDestroying)))
    return;
  FProducer->RecalcAll();
}

// --- producer

TDBSumListProducer::TDBSumListProducer(TComponent* AOwner) : FOwner(AOwner), FSumCollection(this) {}

TDBSumListProducer::~TDBSumListProducer() {
  bool Saved = FActive;
  FActive = false;
  ReturnEvents();
  FActive = Saved;
}

void TDBSumListProducer::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TDBSumListProducer*>(Source);
  if (!S) return TPersistent::Assign(Source);
  SetActive(S->FActive);
  SetDataSet(S->FDataSet);
  SetExternalRecalc(S->FExternalRecalc);
  FSumCollection.Assign(&S->FSumCollection);
  SumListChanged = S->SumListChanged;
  SetVirtualRecords(S->FVirtualRecords);
  OnAfterRecalcAll = S->OnAfterRecalcAll;
  OnRecalcAll = S->OnRecalcAll;
}

// Loading, or in design state without design-time work.
bool TDBSumListProducer::Idle() const {
  if (!FOwner) return false;
  TComponentState State = FOwner->ComponentState();
  return State.Contains(csLoading) || (State.Contains(csDesigning) && !DesignTimeWork);
}

void TDBSumListProducer::Changed() {
  if (SumListChanged) SumListChanged(nullptr);
}

void TDBSumListProducer::SetDataSet(TDataSet* Value) {
  if (Value == FDataSet) return;
  if (Idle()) {
    FDataSet = Value;
    return;
  }
  bool WasActive = FActive;
  SetActive(false);
  FDataSet = Value;
  if (WasActive) SetActive(true);
}

void TDBSumListProducer::DataSetGone(TDataSet* Gone) {
  if (Gone == FMaster) FMaster = nullptr;
  if (Gone != FDataSet) return;
  if (FMaster)
    if (TDataSetEventHub* Hub = TDataSetEventHub::Find(FMaster)) Hub->Leave(this);
  FMaster = nullptr;
  FDataSet = nullptr;
  FHooked = false;
  FBookmarks.clear();
}

void TDBSumListProducer::SetActive(bool Value) {
  if (Value == FActive) return;
  FActive = Value;
  if (Idle()) return;
  if (Value) {
    SetDataSetEvents();
    RecalcAll();
  } else {
    ReturnEvents();
    ClearSumValues();
  }
}

void TDBSumListProducer::SetExternalRecalc(bool Value) {
  if (Value == FExternalRecalc) return;
  FExternalRecalc = Value;
  RecalcAll();
}

void TDBSumListProducer::SetVirtualRecords(bool Value) {
  if (Value == FVirtualRecords) return;
  FVirtualRecords = Value;
  if (Value) RecalcAll();
}

void TDBSumListProducer::SetDataSetEvents() {
  if (!FDataSet || FHooked) return;
  TDataSetEventHub::For(FDataSet)->Listen(this, false);
  if (TDataSource* Master = FDataSet->DataSource(); Master && Master->DataSet()) {
    FMaster = Master->DataSet();
    TDataSetEventHub::For(FMaster)->Listen(this, true);
  }
  FHooked = true;
}

void TDBSumListProducer::ReturnEvents() {
  if (!FHooked) return;
  if (FDataSet)
    if (TDataSetEventHub* Hub = TDataSetEventHub::Find(FDataSet)) Hub->Leave(this);
  if (FMaster)
    if (TDataSetEventHub* Hub = TDataSetEventHub::Find(FMaster)) Hub->Leave(this);
  FMaster = nullptr;
  FHooked = false;
}

void TDBSumListProducer::ClearSumValues() {
  for (int I = 0; I < FSumCollection.Count(); ++I) {
    FSumCollection.Items(I)->Clear();
  }
  Changed();
}

bool TDBSumListProducer::VirtualNumbering() {
  return FDataSet && !FDataSet->IsSequenced() && FVirtualRecords && FActive;
}

void TDBSumListProducer::RecalcAll() {
  if (Idle() || !FActive || !FDataSet || !FDataSet->Active() || !FHooked) return;
  ClearSumValues();
  FVirtualIndex = -1;
  if (OnRecalcAll) OnRecalcAll(nullptr);
  bool AnyCounts = false;
  for (int I = 0; I < FSumCollection.Count(); ++I) AnyCounts |= FSumCollection.Items(I)->Counts();
  if (!FExternalRecalc && (AnyCounts || VirtualNumbering())) {
    bool Virtual = VirtualNumbering();
    FDataSet->DisableControls();
    FBookmarks.clear();
    FCalculating = true;
    try {
      for (FDataSet->First(); !FDataSet->Eof(); FDataSet->Next()) {
        for (int I = 0; I < FSumCollection.Count(); ++I) {
          TDBSum* S = FSumCollection.Items(I);
          if (!S->Counts()) continue;
          TField* F = S->FieldName().empty() ? nullptr : FDataSet->FieldByName(S->FieldName());
          if (S->GroupOperation() == goCount) {
            S->AddTerm(CountTermOf(F), 1);
          } else if (!F->IsNull()) {
            if (S->GroupOperation() == goAvg) ++S->AvgCount;
            S->AddTerm(TermOf(F), 1);
          }
        }
        if (Virtual) FBookmarks.push_back(FDataSet->GetBookmark());
      }
      FDataSet->First();
    } catch (...) {
      FCalculating = false;
      FDataSet->EnableControls();
      throw;
    }
    FDataSet->EnableControls();
    if (OnAfterRecalcAll) OnAfterRecalcAll(nullptr);
  }
  FFiltered = FDataSet->Filtered();
  FFilter = FDataSet->Filter();
  FCalculating = false;
  Changed();
}

// --- adjustments

void TDBSumListProducer::DoAfterEdit() {
  if (!FActive) return;
  for (int I = 0; I < FSumCollection.Count(); ++I) {
    TDBSum* S = FSumCollection.Items(I);
    if (!S->Counts()) continue;
    TField* F = S->FieldName().empty() ? nullptr : FDataSet->FindField(S->FieldName());
    if (S->GroupOperation() == goCount) {
      S->OldTerm = CountTermOf(F);
    } else if (F) {
      S->OldTerm = TermOf(F);
      S->OldVariant = F->Value();
    }
  }
}

// A new record contributed nothing before its post, whatever its defaults.
void TDBSumListProducer::DoAfterInsert() {
  if (!FActive) return;
  for (int I = 0; I < FSumCollection.Count(); ++I) {
    TDBSum* S = FSumCollection.Items(I);
    S->OldTerm = {};
    S->OldVariant = Variant::Null();
  }
  if (VirtualNumbering()) FBookmarksPending = true;
}

void TDBSumListProducer::DoBeforePost() {
  if (!FActive) return;
  const bool Inserting = FDataSet->State() == dsInsert;
  FPostedBookmark = Inserting ? AnsiString() : FDataSet->GetBookmark();
  // Where a filter can hide the new record, the dataset tells whether it
  // will show it; else the record count before and after tells, which may
  // walk the shown records.
  FInsertShown = Inserting && FDataSet->Filtered() ? FDataSet->ShowsActiveRecord() : std::nullopt;
  FCountBeforeInsert =
      Inserting && FDataSet->Filtered() && !FInsertShown ? FDataSet->RecordCount() : -1;
}

// The posted record's part counts only while the dataset still shows it:
// one that left the filter is current no more, and is taken away.
void TDBSumListProducer::DoAfterPost() {
  if (!FActive) return;
  const bool Shown = FInsertShown              ? *FInsertShown
                     : FCountBeforeInsert >= 0 ? FDataSet->RecordCount() > FCountBeforeInsert
                     : FPostedBookmark.empty() ? true
                                               : FDataSet->GetBookmark() == FPostedBookmark;
  for (int I = 0; I < FSumCollection.Count(); ++I) {
    TDBSum* S = FSumCollection.Items(I);
    if (!S->Counts()) continue;
    TField* F = S->FieldName().empty() ? nullptr : FDataSet->FindField(S->FieldName());
    if (S->GroupOperation() != goCount && !F) continue;
    if (S->GroupOperation() == goAvg) {
      const bool Now = Shown && !F->IsNull(), Before = !S->OldVariant.IsNull();
      S->AvgCount += (Now ? 1 : 0) - (Before ? 1 : 0);
    }
    if (Shown) S->AddTerm(S->GroupOperation() == goCount ? CountTermOf(F) : TermOf(F), 1);
    S->AddTerm(S->OldTerm, -1);
  }
  if (VirtualNumbering() && !Shown) {
    std::erase(FBookmarks, FPostedBookmark);
    FBookmarksPending = false;
  }
  if (VirtualNumbering() && FBookmarksPending) {
    AnsiString Bookmark = FDataSet->GetBookmark();
    std::erase(FBookmarks, Bookmark);
    auto It = std::lower_bound(FBookmarks.begin(), FBookmarks.end(), Bookmark,
                               [&](const AnsiString& A, const AnsiString& B) {
                                 return FDataSet->CompareBookmarks(A, B) < 0;
                               });
    FBookmarks.insert(It, Bookmark);
    FBookmarksPending = false;
  }
  FPostedBookmark.clear();
  FInsertShown.reset();
  FCountBeforeInsert = -1;
  Changed();
}

// The contribution is only noted here: the delete may still be refused.
void TDBSumListProducer::DoBeforeDelete() {
  if (!FActive) return;
  for (int I = 0; I < FSumCollection.Count(); ++I) {
    TDBSum* S = FSumCollection.Items(I);
    TField* F = S->FieldName().empty() ? nullptr : FDataSet->FindField(S->FieldName());
    S->DeletedNotNull = !F || !F->IsNull();
    S->DeletedTerm = S->GroupOperation() == goCount ? CountTermOf(F) : TermOf(F);
  }
  if (VirtualNumbering()) FBookmarksPending = false;
  FDeletedBookmark = FDataSet->GetBookmark();
}

void TDBSumListProducer::DoAfterDelete() {
  if (!FActive) return;
  for (int I = 0; I < FSumCollection.Count(); ++I) {
    TDBSum* S = FSumCollection.Items(I);
    if (!S->Counts()) continue;
    if (S->GroupOperation() == goAvg && S->DeletedNotNull) --S->AvgCount;
    S->AddTerm(S->DeletedTerm, -1);
  }
  if (VirtualNumbering()) std::erase(FBookmarks, FDeletedBookmark);
  Changed();
}

void TDBSumListProducer::DoAfterCancel() { FBookmarksPending = false; }

void TDBSumListProducer::DoAfterOpen() {
  if (FActive) RecalcAll();
}

void TDBSumListProducer::DoAfterClose() {
  if (FActive) {
    ClearSumValues();
    FCalculating = false;
  }
  FBookmarks.clear();
}

void TDBSumListProducer::DoAfterScroll() {
  if (!FActive || FCalculating) return;
  bool Filtered = FDataSet->Filtered();
  if (Filtered != FFiltered || (Filtered && FDataSet->Filter() != FFilter)) RecalcAll();
}

void TDBSumListProducer::DoMasterAfterScroll() {
  if (FActive && !FCalculating) RecalcAll();
}

// --- virtual record numbers

bool TDBSumListProducer::IsSequenced() {
  if (FDataSet && FDataSet->IsSequenced()) return true;
  if (!FDataSet || !FVirtualRecords || !FActive) return false;
  return !FBookmarks.empty() || (FDataSet->Bof() && FDataSet->Eof());
}

int TDBSumListProducer::IndexOfBookmark(const AnsiString& Bookmark) {
  int Count = static_cast<int>(FBookmarks.size());
  if (Count == 0) return -1;
  if (FVirtualIndex < 0 || FVirtualIndex >= Count) FVirtualIndex = 0;
  int I = FVirtualIndex;
  while (I >= 0 && I < Count) {
    int C = FDataSet->CompareBookmarks(FBookmarks[I], Bookmark);
    if (C == 0) {
      FVirtualIndex = I;
      return I;
    }
    I += C > 0 ? -1 : 1;
  }
  return -1;
}

int TDBSumListProducer::GetRecNo() {
  if (VirtualNumbering()) return IndexOfBookmark(FDataSet->GetBookmark()) + 1;
  return FDataSet ? FDataSet->RecNo() : -1;
}

void TDBSumListProducer::SetRecNo(int Value) {
  if (VirtualNumbering()) {
    if (Value >= 1 && Value <= static_cast<int>(FBookmarks.size()))
      FDataSet->GotoBookmark(FBookmarks[Value - 1]);
  } else if (FDataSet) {
    FDataSet->SetRecNo(Value);
  }
}

int TDBSumListProducer::GetRecordCount() {
  if (VirtualNumbering()) return static_cast<int>(FBookmarks.size());
  return FDataSet ? FDataSet->RecordCount() : 0;
}

TDBGridKsSumList::TDBGridKsSumList(TComponent* AOwner) : TDBSumListProducer(AOwner) {
  DesignTimeWork = true;
  SetActive(false);
}
