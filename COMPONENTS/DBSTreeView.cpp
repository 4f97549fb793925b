#include "DBSTreeView.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "SDS.h"

namespace {

// Identities wider than 32 bits are compared by their low 32 bits.
int32_t Low32(int64_t Identity) { return static_cast<int32_t>(Identity); }

// The tree is not redrawn while its items change.
class TUpdateLock {
 public:
  explicit TUpdateLock(TCustomTreeView* Tree) : FTree(Tree) { FTree->BeginUpdate(); }
  ~TUpdateLock() { FTree->EndUpdate(); }
  TUpdateLock(const TUpdateLock&) = delete;
  TUpdateLock& operator=(const TUpdateLock&) = delete;

 private:
  TCustomTreeView* FTree;
};

}  // namespace

TDBSTreeView::TDBSTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {}

TDBSTreeView::~TDBSTreeView() { FDataLink.SetDataSource(nullptr); }

void TDBSTreeView::SetDataSource(TDataSource* Value) {
  if (ComponentState().Contains(csLoading) && FDataLink.DataSourceFixed()) return;
  FDataLink.SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
}

void TDBSTreeView::Notification(TComponent* Component, TOperation Operation) {
  TCustomTreeView::Notification(Component, Operation);
  if (Operation == opRemove && Component == DataSource()) SetDataSource(nullptr);
}

TDataSet* TDBSTreeView::OpenDataSet() const {
  TDataSet* dataSet = FDataLink.DataSet();
  return dataSet && dataSet->Active() ? dataSet : nullptr;
}

int64_t TDBSTreeView::NodeIdentity(HTREEITEM Node) const {
  auto found = FIdentities.find(Node);
  return found != FIdentities.end() ? found->second : 0;
}

HTREEITEM TDBSTreeView::AddNode(HTREEITEM Parent, const AnsiString& Text, int64_t Identity) {
  HTREEITEM node = AddChild(Parent, Text, Low32(Identity));
  FIdentities[node] = Identity;
  return node;
}

void TDBSTreeView::BuildTree(const AnsiString& RootText) {
  TUpdateLock lock(this);
  Clear();
  FIdentities.clear();
  HTREEITEM root = AddNode(nullptr, RootText, RootNodeID);
  LoadChildren(root);
  Expand(root);
}

void TDBSTreeView::LoadChildren(HTREEITEM Node) {
  TDataSet* dataSet = OpenDataSet();
  if (!dataSet) return;
  DeleteChildren(Node);
  int32_t parent = NodeID(Node);
  TField* id = dataSet->FieldByName(IDNode);
  TField* parentId = dataSet->FieldByName(IDParentNode);
  TField* label = dataSet->FieldByName(DataField);
  // A child gets an expand button when some record names it as parent,
  // compared as the children are: by the low 32 bits. A record without a
  // parent lies under the root.
  std::unordered_set<int32_t> parents;
  std::vector<std::pair<int64_t, AnsiString>> children;
  TBookmark noted = dataSet->GetBookmark();
  dataSet->DisableControls();
  try {
    for (dataSet->First(); !dataSet->Eof(); dataSet->Next()) {
      int32_t of = parentId->IsNull() ? RootNodeID : Low32(parentId->Value().AsInt64());
      parents.insert(of);
      if (of == parent) children.emplace_back(id->Value().AsInt64(), label->AsString());
    }
    dataSet->GotoBookmark(noted);
  } catch (...) {
    dataSet->EnableControls();
    throw;
  }
  dataSet->EnableControls();
  for (const auto& [child, text] : children)
    SetHasChildren(AddNode(Node, text, child), parents.count(Low32(child)) != 0);
}

void TDBSTreeView::GoToNode(HTREEITEM Node, int32_t Skipped) {
  TDataSet* dataSet = OpenDataSet();
  if (!dataSet) return;
  // A server-backed dataset finds the record in whatever level it lies.
  auto* sds = dynamic_cast<TSDS*>(dataSet);
  int64_t identity = NodeIdentity(Node);
  if (sds && identity != Skipped)
    sds->GotoID(identity);
  else
    dataSet->Locate(IDNode, Variant(static_cast<long long>(identity)), {});
}

bool TDBSTreeView::CanExpand(HTREEITEM Node) {
  bool result = TCustomTreeView::CanExpand(Node);
  {
    TUpdateLock lock(this);
    LoadChildren(Node);
  }
  if (HTREEITEM selected = Selected()) GoToNode(selected, RootNodeID);
  return result;
}

void TDBSTreeView::Change(HTREEITEM Node) {
  TCustomTreeView::Change(Node);
  if (Node) GoToNode(Node, 0);
}
