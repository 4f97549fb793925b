#pragma once
// The RTF export's title rows for multi-level titles: the levels of the
// title tree over the exported columns, and one title node's span written
// as separate cells that keep only the borders on its outline.

#include <functional>
#include <vector>

#include "DBGridKsExportFormats.h"
#include "DBGridKsTitleTree.h"

// Each exported column's title node on every level, top level first; the
// bottom level holds the columns' own nodes. Each step up, taken by the
// columns whose accumulated title height is the smallest, adds one level,
// until no column has a parent node left.
std::vector<std::vector<THeadTreeNode*>> TitleLevels(const std::vector<THeadTreeNode*>& Leaves);

// The rows of those levels. Cell gives the styled cell of a node over
// exported column k on a level (Bottom: the bottom level); a span keeps
// its caption in its top-left cell only, the others are empty.
using TTitleCellStyle = std::function<TExportCell(THeadTreeNode* Node, size_t Column, bool Bottom)>;
std::vector<TExportRow> TitleRows(const std::vector<std::vector<THeadTreeNode*>>& Levels,
                                  const TTitleCellStyle& Cell);
