// The title tree: captions grouped into levels, and the sibling ring kept
// whole through unions and frees (run under the sanitizers natively).
#include "COMPONENTS/kslib/DBGridKsTitleTree.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// "Text(child child ...)" of a node's children, in ring order.
std::string Shape(const THeadTreeNode* Node) {
  std::string S;
  for (THeadTreeNode* C : Node->Children()) {
    if (!S.empty()) S += ' ';
    S += C->Text;
    if (C->Child) S += "(" + Shape(C) + ")";
  }
  return S;
}

std::string Grouped(std::initializer_list<const char*> Captions) {
  THeadTreeNode Root;
  std::vector<THeadTreeNode*> Leaves;
  for (const char* Caption : Captions) Leaves.push_back(Root.AddChild(&Root, Caption, 50, 20));
  GroupTitleCaptions(&Root, Leaves);
  return Shape(&Root);
}

TEST(TitleTree, CaptionsGroupByTheirLeadingParts) {
  struct {
    std::initializer_list<const char*> Captions;
    std::string Shape;
  } Cases[] = {
      {{"Sales|Q1", "Sales|Q2", "Cost"}, "Sales(Q1 Q2) Cost"},
      {{"A|B|C", "A|B|D"}, "A(B(C D))"},
      {{"A|B"}, "A(B)"},
      {{"Name"}, "Name"},
      {{"X|A|B", "Y|A|C"}, "X(A(B)) Y(A(C))"},
      {{"Cost", "Sales|Q1", "Sales|Q2", "Sales"}, "Cost Sales(Q1 Q2 )"},
  };
  for (auto& C : Cases) EXPECT_EQ(Grouped(C.Captions), C.Shape);
}

TEST(TitleTree, ForEachVisitsEveryNodeBelowDepthFirst) {
  THeadTreeNode Root;
  std::vector<THeadTreeNode*> Leaves;
  for (const char* Caption : {"A|B|C", "A|B|D", "A|E", "F"})
    Leaves.push_back(Root.AddChild(&Root, Caption, 50, 20));
  GroupTitleCaptions(&Root, Leaves);
  std::string Visited;
  Root.ForEach([&](THeadTreeNode* Node) { Visited += Node->Text; });
  EXPECT_EQ(Visited, "ABCDEF") << "each child, then its children, before the next child";
  Visited.clear();
  Leaves[0]->Host->ForEach([&](THeadTreeNode* Node) { Visited += Node->Text; });
  EXPECT_EQ(Visited, "CD") << "below the node only";
  Visited.clear();
  Leaves[3]->ForEach([&](THeadTreeNode* Node) { Visited += Node->Text; });
  EXPECT_EQ(Visited, "") << "a leaf has none";
}

TEST(TitleTree, UnionGroupsSiblingsWithTheirWidthsAndHeights) {
  THeadTreeNode Root;
  auto* A = Root.AddChild(&Root, "a", 30, 40);
  auto* B = Root.AddChild(&Root, "b", 20, 40);
  auto* C = Root.AddChild(&Root, "c", 10, 40);
  for (auto* N : {A, B, C}) N->WIndent = 1;
  Root.Union(B, C, 15, "bc");
  EXPECT_EQ(Shape(&Root), "a bc(b c)");
  THeadTreeNode* Group = B->Host;
  EXPECT_EQ(Group->Width, 20 + 1 + 10) << "the widths and one line between them";
  EXPECT_EQ(B->Height, 25);
  EXPECT_EQ(Group->Height, 15);
  EXPECT_EQ(Group->Next, A) << "the ring closes over the new node";
  EXPECT_EQ(C->Next, B);
  EXPECT_EQ(B->GetLevel(), 2);
  // The whole ring grouped: the new node is its own ring.
  Root.Union(A, Group, 5, "all");
  EXPECT_EQ(Shape(&Root), "all(a bc(b c))");
  EXPECT_EQ(Root.Child->Next, Root.Child);
}

TEST(TitleTree, NodesOutsideTheTreeOrLevelAreRefused) {
  THeadTreeNode Root, Other;
  auto* A = Root.AddChild(&Root, "a", 10, 10);
  auto* B = Root.AddChild(&Root, "b", 10, 10);
  auto* Inner = Root.AddChild(A, "inner", 10, 10);
  auto Message = [](const std::function<void()>& F) {
    try {
      F();
    } catch (Exception& E) {
      return std::string(E.Message());
    }
    return std::string();
  };
  EXPECT_EQ(Message([&] { Root.AddChild(&Other, "x", 1, 1); }), "Node not in Tree");
  EXPECT_EQ(Message([&] { Root.Add(&Other, "x", 1, 1); }), "Node not in Tree");
  EXPECT_EQ(Message([&] { Root.Union(&Other, &Other, 1, "x"); }), "Node not in Tree");
  EXPECT_EQ(Message([&] { Root.Union(B, A, 1, "x"); }), "ATo not in level") << "To before From";
  EXPECT_EQ(Message([&] { Root.Union(A, Inner, 1, "x"); }), "ATo not in level");
  auto* C = Root.Add(A, "c", 10, 10);
  EXPECT_EQ(Shape(&Root), "a(inner) c b");
  EXPECT_EQ(C->Host, &Root);
  A->FreeAllChild();
  EXPECT_EQ(A->Child, nullptr);
  Root.FreeAllChild();
  EXPECT_EQ(Shape(&Root), "");
}

}  // namespace
