#include "COMPONENTS/kslib/PrnDbgksTitles.h"

#include <algorithm>
#include <set>

int TPrintTitleTreeKs::Layout(THeadTreeNode* Root, const std::vector<TColumnKs*>& Columns,
                              const std::vector<int>& Widths, const TMeasure& Measure) {
  FColumns = Columns;
  FWidths = Widths;
  FSizes.clear();
  FLeaves.assign(Columns.size(), nullptr);
  return this->Measure(Root, Measure);
}

// Widths from the leaves up, heights of each subtree; siblings are brought
// to the tallest one's total.
int TPrintTitleTreeKs::Measure(THeadTreeNode* Node, const TMeasure& MeasureCaption) {
  TSize& Size = FSizes[Node];
  const std::vector<THeadTreeNode*> Children = Node->Children();
  if (Children.empty()) {
    const auto At = std::find(FColumns.begin(), FColumns.end(), Node->Column);
    if (Node->Column && At != FColumns.end()) {
      Size.Width = FWidths[At - FColumns.begin()];
      FLeaves[At - FColumns.begin()] = Node;
    }
  }
  int Tallest = 0;
  for (THeadTreeNode* Child : Children) {
    Tallest = std::max(Tallest, Measure(Child, MeasureCaption));
    Size.Width += FSizes[Child].Width;
  }
  for (THeadTreeNode* Child : Children) Stretch(Child, Tallest);
  Size.Height = Node->Host ? MeasureCaption(Node, Size.Width) : 0;  // the root shows nothing
  Size.Total = Size.Height + Tallest;
  return Size.Total;
}

void TPrintTitleTreeKs::Stretch(THeadTreeNode* Node, int Total) {
  TSize& Size = FSizes[Node];
  Size.Height += Total - Size.Total;
  Size.Total = Total;
}

namespace {

bool IsBelow(THeadTreeNode* Leaf, THeadTreeNode* Node) {
  for (; Leaf; Leaf = Leaf->Host)
    if (Leaf == Node) return true;
  return false;
}

}  // namespace

int TPrintTitleTreeKs::LeafOffset(int Column) const {
  int X = 0;
  for (int I = 0; I < Column; ++I) X += FWidths[I];
  return X;
}

std::vector<TPrintTitleCellKs> TPrintTitleTreeKs::Cells(int FirstColumn, int LastColumn, int Left,
                                                        int Bottom) const {
  std::vector<TPrintTitleCellKs> Cells;
  const int Origin = Left - LeafOffset(FirstColumn);
  const int Right = Left + LeafOffset(LastColumn + 1) - LeafOffset(FirstColumn);
  std::set<THeadTreeNode*> Done;
  for (int Column = FirstColumn; Column <= LastColumn; ++Column) {
    // The leaf, then each group above it once per page group.
    for (THeadTreeNode* Node = FLeaves[Column]; Node && Node->Host; Node = Node->Host) {
      if (!Done.insert(Node).second) continue;
      const TSize& Size = FSizes.at(Node);
      // A group starts at its first printed leaf, maybe on an earlier page.
      int Start = Column;
      while (Start > 0 && IsBelow(FLeaves[Start - 1], Node)) --Start;
      const int X = Origin + LeafOffset(Start);
      const TPrintRectKs Cell{X, Bottom - Size.Total, X + Size.Width,
                              Bottom - Size.Total + Size.Height};
      TPrintRectKs Visible = Cell;
      Visible.Left = std::max(Visible.Left, Left);
      Visible.Right = std::min(Visible.Right, Right);
      Cells.push_back({Node, Cell, Visible});
    }
  }
  return Cells;
}
