// The tree of a grid's multi-level titles: captions whose parts are
// separated by "|" become stacked title cells, equal leading parts of
// neighbouring columns one cell over them. Siblings form a ring: the last
// one's Next is the host's first child; a lone root points to itself.
#pragma once

#include <functional>
#include <vector>

#include "rtl/SysUtils.h"

class TColumnKs;

class THeadTreeNode {
 public:
  // A root: "Root", no size.
  THeadTreeNode();
  THeadTreeNode(const AnsiString& AText, int AWidth, int AHeight);
  // Frees every node below.
  ~THeadTreeNode();
  THeadTreeNode(const THeadTreeNode&) = delete;
  THeadTreeNode& operator=(const THeadTreeNode&) = delete;

  // "Node not in Tree" when Node is not in this tree.
  THeadTreeNode* AddChild(THeadTreeNode* Node, const AnsiString& AText, int AWidth, int AHeight);
  // Inserted after After in its ring.
  THeadTreeNode* Add(THeadTreeNode* After, const AnsiString& AText, int AWidth, int AHeight);
  void FreeAllChild();
  // Depth first, this node included.
  bool Find(THeadTreeNode* Node);
  int GetLevel() const;
  // Groups the siblings From through To under a new node with the text,
  // inserted where they were; they lose AHeight of their height.
  void Union(THeadTreeNode* From, THeadTreeNode* To, int AHeight, const AnsiString& AText);
  // The children of this node, in ring order.
  std::vector<THeadTreeNode*> Children() const;
  // Every node below this one, depth first: each child, then its own
  // children, before the next child.
  void ForEach(const std::function<void(THeadTreeNode*)>& Proc);

  THeadTreeNode* Child = nullptr;
  TColumnKs* Column = nullptr;
  int Height = 0;
  THeadTreeNode* Host = nullptr;
  THeadTreeNode* Next = this;
  AnsiString Text;
  int WIndent = 0;
  int Width = 0;
  int Extra = 0;
  bool Drawn = false;
};

// Groups the leaves (one per column, children of Root) by the leading
// parts of their captions until nothing changes; each leaf keeps its
// last part.
void GroupTitleCaptions(THeadTreeNode* Root, std::vector<THeadTreeNode*>& Leaves);
