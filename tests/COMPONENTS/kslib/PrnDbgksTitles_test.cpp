// Multi-level titles sized and placed on paper: "Товар" over columns A, B
// and C, and D alone, split into two page groups.
#include "COMPONENTS/kslib/PrnDbgksTitles.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct TTitleTreeFixture {
  // Only their addresses are used: they stand for the printed columns.
  char Stand[4] = {};
  std::vector<TColumnKs*> Columns{reinterpret_cast<TColumnKs*>(&Stand[0]),
                                  reinterpret_cast<TColumnKs*>(&Stand[1]),
                                  reinterpret_cast<TColumnKs*>(&Stand[2]),
                                  reinterpret_cast<TColumnKs*>(&Stand[3])};
  THeadTreeNode Root;
  THeadTreeNode* Goods = Root.AddChild(&Root, "Товар", 0, 0);
  std::map<AnsiString, THeadTreeNode*> Nodes{{"Товар", Goods}};

  TTitleTreeFixture() {
    const char* Names[] = {"A", "B", "C"};
    for (int I = 0; I < 3; ++I) {
      Nodes[Names[I]] = Root.AddChild(Goods, Names[I], 0, 0);
      Nodes[Names[I]]->Column = Columns[I];
    }
    Nodes["D"] = Root.AddChild(&Root, "D", 0, 0);
    Nodes["D"]->Column = Columns[3];
  }
};

TEST(PrintTitleTreeTest, SiblingsTakeTheTallestHeightAndGroupsSpanTheirColumns) {
  TTitleTreeFixture F;
  const std::map<AnsiString, int> Heights{{"A", 10}, {"B", 25}, {"C", 10}, {"Товар", 8}, {"D", 12}};
  std::map<AnsiString, int> Widths;
  TPrintTitleTreeKs Tree;
  const int Total = Tree.Layout(&F.Root, F.Columns, {30, 40, 50, 60},
                                [&](THeadTreeNode* Node, int Width) {
                                  Widths[Node->Text] = Width;
                                  return Heights.at(Node->Text);
                                });
  EXPECT_EQ(Total, 33);
  EXPECT_EQ(Widths["Товар"], 120);  // measured at the width of its columns

  auto Placed = [&](int First, int Last) {
    std::vector<std::pair<AnsiString, std::vector<int>>> Cells;
    for (const TPrintTitleCellKs& C : Tree.Cells(First, Last, 100, 500))
      Cells.push_back({C.Node->Text,
                       {C.Cell.Left, C.Cell.Top, C.Cell.Right, C.Cell.Bottom, C.Visible.Left,
                        C.Visible.Right}});
    return Cells;
  };
  using TCells = std::vector<std::pair<AnsiString, std::vector<int>>>;
  // The first page group: A and B under the part of "Товар" on it.
  EXPECT_EQ(Placed(0, 1), (TCells{{"A", {100, 475, 130, 500, 100, 130}},
                                  {"Товар", {100, 467, 220, 475, 100, 170}},
                                  {"B", {130, 475, 170, 500, 130, 170}}}));
  // The second: "Товар" starts on the page before; D takes the whole height.
  EXPECT_EQ(Placed(2, 3), (TCells{{"C", {100, 475, 150, 500, 100, 150}},
                                  {"Товар", {30, 467, 150, 475, 100, 150}},
                                  {"D", {150, 467, 210, 500, 150, 210}}}));
}

}  // namespace
