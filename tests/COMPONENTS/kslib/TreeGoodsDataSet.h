// A tree of goods in memory that offers the grid's tree interface: every
// node has a Name, an Id and its parent's Id (0 at the top); the dataset's
// records are the nodes whose ancestors are all expanded, in tree order.
#pragma once

#include <set>
#include <vector>

#include "COMPONENTS/kslib/DBToolsKs.h"
#include "tests/platform/db/ArrayDataSet.h"

class TTreeGoodsDataSet : public TArrayDataSet, public IMemTableKs {
 public:
  struct TNode {
    int Id, Parent;
    AnsiString Name;
  };
  // Nodes in tree order: each after its parent, siblings in order.
  TTreeGoodsDataSet(std::vector<TNode> Nodes, std::set<int> Expanded);
  ~TTreeGoodsDataSet() override;

  int VisibleRowCount() override;
  int CurrentRow() override;
  void SetRowsInView(int Count) override { RowsInView = Count; }
  bool TreeNavigation() override { return Navigation; }
  void SetTreeNavigation(bool Value) override { Navigation = Value; }
  void ExpandRow(int Row, TTreeExpandKs How) override;
  int NodeLevel() override;
  bool NodeHasNextSibling(int Level) override;
  bool NodeHasChildren() override;
  bool NodeExpanded() override;
  void GetFieldValues(const AnsiString& FieldName, TStrings* Values) override;

  // What the grid told and asked.
  int RowsInView = 0;
  bool Navigation = true;
  int ExpandCalls = 0;
  bool IsExpanded(int Id) const { return FExpanded.count(Id) != 0; }
  // The Id of the current record.
  int CurrentId() { return FieldByName("Id")->AsInteger(); }

 private:
  const TNode* NodeOf(int Id) const;
  bool HasChildren(int Id) const;
  bool Shown(int Id) const;
  std::vector<int> VisibleIds() const;
  std::vector<TNode> FNodes;
  std::set<int> FExpanded;
};
