// Multi-level column titles on paper: the grid's title tree sized for the
// printed columns, and its cells for one page group. A group cell cut by a
// page edge keeps its caption centred over the whole cell.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "COMPONENTS/kslib/DBGridKsTitleTree.h"
#include "COMPONENTS/kslib/PrnDbgksPager.h"

class TColumnKs;

struct TPrintTitleCellKs {
  THeadTreeNode* Node;
  TPrintRectKs Cell;     // the whole cell, maybe wider than the page group
  TPrintRectKs Visible;  // its part on this page
};

class TPrintTitleTreeKs {
 public:
  // Caption height of a node at a width (its font is the caller's choice).
  using TMeasure = std::function<int(THeadTreeNode* Node, int Width)>;
  // Sizes the tree for Columns printed at Widths; the height of all titles.
  int Layout(THeadTreeNode* Root, const std::vector<TColumnKs*>& Columns,
             const std::vector<int>& Widths, const TMeasure& Measure);
  // The cells over columns First..Last, whose titles end at Bottom; the
  // first of them starts at Left.
  std::vector<TPrintTitleCellKs> Cells(int FirstColumn, int LastColumn, int Left, int Bottom) const;

 private:
  struct TSize {
    int Width = 0, Height = 0, Total = 0;
  };
  int Measure(THeadTreeNode* Node, const TMeasure& MeasureCaption);
  void Stretch(THeadTreeNode* Node, int Total);
  int LeafOffset(int Column) const;

  std::vector<TColumnKs*> FColumns;
  std::vector<int> FWidths;
  std::map<THeadTreeNode*, TSize> FSizes;
  std::vector<THeadTreeNode*> FLeaves;  // by printed column
};
