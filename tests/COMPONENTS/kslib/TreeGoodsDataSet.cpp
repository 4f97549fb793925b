#include "TreeGoodsDataSet.h"

#include <algorithm>

TTreeGoodsDataSet::TTreeGoodsDataSet(std::vector<TNode> Nodes, std::set<int> Expanded)
    : TArrayDataSet(nullptr), FNodes(std::move(Nodes)), FExpanded(std::move(Expanded)) {
  FieldDefs()->Add("Name", ftString, 20);
  FieldDefs()->Add("Id", ftInteger);
  FieldDefs()->Add("Parent", ftInteger);
  Open();
  for (const TNode& N : FNodes) AppendValues(this, {N.Name, N.Id, N.Parent});
  SetOnFilterRecord([this](TDataSet*, bool& Accept) { Accept = Shown(CurrentId()); });
  SetFiltered(true);
}

TTreeGoodsDataSet::~TTreeGoodsDataSet() { Close(); }

const TTreeGoodsDataSet::TNode* TTreeGoodsDataSet::NodeOf(int Id) const {
  for (const TNode& N : FNodes)
    if (N.Id == Id) return &N;
  return nullptr;
}

bool TTreeGoodsDataSet::HasChildren(int Id) const {
  return std::any_of(FNodes.begin(), FNodes.end(), [&](const TNode& N) { return N.Parent == Id; });
}

bool TTreeGoodsDataSet::Shown(int Id) const {
  for (const TNode* N = NodeOf(Id); N && N->Parent != 0; N = NodeOf(N->Parent))
    if (!IsExpanded(N->Parent)) return false;
  return true;
}

std::vector<int> TTreeGoodsDataSet::VisibleIds() const {
  std::vector<int> Ids;
  for (const TNode& N : FNodes)
    if (Shown(N.Id)) Ids.push_back(N.Id);
  return Ids;
}

int TTreeGoodsDataSet::VisibleRowCount() { return static_cast<int>(VisibleIds().size()); }

int TTreeGoodsDataSet::CurrentRow() {
  if (IsEmpty()) return -1;
  std::vector<int> Ids = VisibleIds();
  auto It = std::find(Ids.begin(), Ids.end(), CurrentId());
  return It == Ids.end() ? -1 : static_cast<int>(It - Ids.begin());
}

// Closing a node over the current record moves the record onto the node.
void TTreeGoodsDataSet::ExpandRow(int Row, TTreeExpandKs How) {
  ++ExpandCalls;
  std::vector<int> Ids = VisibleIds();
  if (Row < 0 || Row >= static_cast<int>(Ids.size()) || !HasChildren(Ids[Row])) return;
  int Id = Ids[Row];
  bool Open = How == TTreeExpandKs::Expand || (How == TTreeExpandKs::Toggle && !IsExpanded(Id));
  if (Open == IsExpanded(Id)) return;
  DisableControls();
  if (Open) {
    FExpanded.insert(Id);
  } else {
    FExpanded.erase(Id);
  }
  bool Hidden = !Shown(CurrentId());
  Refresh();
  if (Hidden) Locate("Id", Id, {});
  EnableControls();
}

int TTreeGoodsDataSet::NodeLevel() {
  int Level = 0;
  for (const TNode* N = NodeOf(CurrentId()); N && N->Parent != 0; N = NodeOf(N->Parent)) ++Level;
  return Level;
}

bool TTreeGoodsDataSet::NodeHasNextSibling(int Level) {
  const TNode* N = NodeOf(CurrentId());
  for (int Up = NodeLevel() - Level; N && Up > 0; --Up) N = NodeOf(N->Parent);
  if (!N) return false;
  auto After = FNodes.begin() + (N - FNodes.data()) + 1;
  return std::any_of(After, FNodes.end(), [&](const TNode& M) { return M.Parent == N->Parent; });
}

bool TTreeGoodsDataSet::NodeHasChildren() { return HasChildren(CurrentId()); }

bool TTreeGoodsDataSet::NodeExpanded() { return IsExpanded(CurrentId()); }

void TTreeGoodsDataSet::GetFieldValues(const AnsiString& FieldName, TStrings* Values) {
  std::set<AnsiString> Distinct;
  for (const TNode& N : FNodes) {
    if (FieldName == "Name") Distinct.insert(N.Name);
    if (FieldName == "Id") Distinct.insert(std::to_string(N.Id));
  }
  for (const AnsiString& V : Distinct) Values->Add(V);
}
