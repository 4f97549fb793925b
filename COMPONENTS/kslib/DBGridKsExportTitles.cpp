#include "DBGridKsExportTitles.h"

#include <algorithm>
#include <limits>

namespace {

// The root's children have no parent node: the root is no title.
bool HasParent(const THeadTreeNode* Node) { return Node->Host && Node->Host->Host; }

}  // namespace

std::vector<std::vector<THeadTreeNode*>> TitleLevels(const std::vector<THeadTreeNode*>& Leaves) {
  std::vector<THeadTreeNode*> at = Leaves;
  std::vector<long long> height;
  for (const THeadTreeNode* leaf : Leaves) height.push_back(leaf->Height);
  std::vector<std::vector<THeadTreeNode*>> levels{at};
  for (;;) {
    long long lowest = std::numeric_limits<long long>::max();
    for (size_t k = 0; k < at.size(); ++k)
      if (HasParent(at[k])) lowest = std::min(lowest, height[k]);
    if (lowest == std::numeric_limits<long long>::max()) break;
    for (size_t k = 0; k < at.size(); ++k)
      if (HasParent(at[k]) && height[k] == lowest) {
        at[k] = at[k]->Host;
        height[k] += at[k]->Height;
      }
    levels.push_back(at);
  }
  std::reverse(levels.begin(), levels.end());
  return levels;
}

std::vector<TExportRow> TitleRows(const std::vector<std::vector<THeadTreeNode*>>& Levels,
                                  const TTitleCellStyle& Cell) {
  std::vector<TExportRow> rows;
  for (size_t r = 0; r < Levels.size(); ++r) {
    const std::vector<THeadTreeNode*>& level = Levels[r];
    TExportRow row;
    for (size_t k = 0; k < level.size(); ++k) {
      THeadTreeNode* node = level[k];
      TExportCell cell = Cell(node, k, r + 1 == Levels.size());
      cell.Borders.Left = k == 0 || level[k - 1] != node;
      cell.Borders.Right = k + 1 == level.size() || level[k + 1] != node;
      cell.Borders.Top = r == 0 || Levels[r - 1][k] != node;
      cell.Borders.Bottom = r + 1 == Levels.size() || Levels[r + 1][k] != node;
      if (!cell.Borders.Left || !cell.Borders.Top) cell.Text.clear();
      row.push_back(cell);
    }
    rows.push_back(row);
  }
  return rows;
}
