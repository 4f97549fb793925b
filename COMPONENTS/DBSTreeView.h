// A tree view of a dataset's records, built from an identity field and a
// parent-identity field; selecting a node moves the dataset to its record.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "db/DB.h"
#include "forms/ComCtrls.h"

class TDBSTreeView : public TCustomTreeView {
 public:
  explicit TDBSTreeView(TComponent* AOwner);
  ~TDBSTreeView() override;

  TDataSource* DataSource() const { return FDataLink.DataSource(); }
  void SetDataSource(TDataSource* Value);
  // The field whose text labels the nodes.
  AnsiString DataField;
  AnsiString IDNode;
  AnsiString IDParentNode;
  // Kept for the forms that set it; the labels come from DataField.
  AnsiString ViewField;
  int32_t RootNodeID = 0;

  // Clears the tree and shows the root, with the text, and its children.
  void BuildTree(const AnsiString& RootText);
  // The record identity a node stands for, by its low 32 bits (what the
  // node itself carries), and whole.
  int32_t NodeID(HTREEITEM Node) { return static_cast<int32_t>(NodeData(Node)); }
  int64_t NodeIdentity(HTREEITEM Node) const;

 protected:
  bool CanExpand(HTREEITEM Node) override;
  void Change(HTREEITEM Node) override;
  void Notification(TComponent* Component, TOperation Operation) override;

 private:
  TDataSet* OpenDataSet() const;
  void LoadChildren(HTREEITEM Node);
  // Through GotoID of a server-backed dataset unless the node's identity
  // is the one skipped.
  void GoToNode(HTREEITEM Node, int32_t Skipped);

  HTREEITEM AddNode(HTREEITEM Parent, const AnsiString& Text, int64_t Identity);

  TDataLink FDataLink;
  // Each node's whole record identity, beside its 32-bit slot.
  std::unordered_map<HTREEITEM, int64_t> FIdentities;
};
