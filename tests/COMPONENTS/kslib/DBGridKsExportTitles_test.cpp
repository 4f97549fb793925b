// The title levels of multi-level titles in the RTF export: which node each
// column shows on each level, and the spans' cells with their outline
// borders and one caption.
#include "COMPONENTS/kslib/DBGridKsExportTitles.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// Heights as the grid sizes its title tree: a level is as high as its
// highest caption over everything below it.
int SizeTree(THeadTreeNode* Node, const std::map<AnsiString, int>& Tall) {
  const std::vector<THeadTreeNode*> children = Node->Children();
  std::vector<int> below(children.size(), 0);
  int level = 0;
  for (size_t i = 0; i < children.size(); ++i) {
    if (children[i]->Child) below[i] = SizeTree(children[i], Tall);
    const auto tall = Tall.find(children[i]->Text);
    level = std::max(level, below[i] + (tall != Tall.end() ? tall->second : 16));
  }
  for (size_t i = 0; i < children.size(); ++i)
    children[i]->Height = children[i]->Child ? level - below[i] : level;
  return level;
}

struct TTitles {
  TTitles(std::initializer_list<const char*> Captions, const std::map<AnsiString, int>& Tall = {}) {
    for (const char* caption : Captions)
      Leaves.push_back(Root->AddChild(Root.get(), caption, 50, 20));
    GroupTitleCaptions(Root.get(), Leaves);
    SizeTree(Root.get(), Tall);
  }
  std::unique_ptr<THeadTreeNode> Root = std::make_unique<THeadTreeNode>();
  std::vector<THeadTreeNode*> Leaves;
};

// Levels top first, separated by " / ", each column's node by its text.
std::string Shown(const std::vector<std::vector<THeadTreeNode*>>& Levels) {
  std::string shown;
  for (const auto& level : Levels) {
    if (!shown.empty()) shown += " / ";
    for (size_t k = 0; k < level.size(); ++k) shown += (k ? " " : "") + level[k]->Text;
  }
  return shown;
}

TEST(GridExportTitles, LevelsStepUpByTheSmallestAccumulatedHeight) {
  struct {
    std::initializer_list<const char*> Captions;
    std::map<AnsiString, int> Tall;
    std::string Levels;
  } cases[] = {
      {{"Name", "Qty"}, {}, "Name Qty"},
      {{"Sales|Q1", "Sales|Q2", "Cost"}, {}, "Sales Sales Cost / Q1 Q2 Cost"},
      {{"A|B|C", "A|B|D", "E|F"}, {}, "A A E / B B E / C D F"},
      {{"A|B|C", "A|B|D", "A|E"}, {}, "A A A / B B E / C D E"},
      // x takes two lines: y's group starts below A's.
      {{"A|x", "B|y"}, {{"x", 32}}, "A B / x B / x y"},
  };
  for (const auto& c : cases) {
    TTitles titles(c.Captions, c.Tall);
    EXPECT_EQ(Shown(TitleLevels(titles.Leaves)), c.Levels);
  }
}

TEST(GridExportTitles, ASpanKeepsItsOutlineBordersAndItsCaptionTopLeft) {
  TTitles titles({"Sales|Q1", "Sales|Q2", "Cost"});
  std::vector<std::pair<size_t, bool>> styled;
  const std::vector<TExportRow> rows =
      TitleRows(TitleLevels(titles.Leaves), [&](THeadTreeNode* Node, size_t Column, bool Bottom) {
        styled.emplace_back(Column, Bottom);
        TExportCell cell;
        cell.Text = Node->Text;
        return cell;
      });
  ASSERT_EQ(rows.size(), 2u);
  // Texts, then borders left, top, bottom, right as 1 and 0.
  const auto shown = [](const TExportCell& Cell) {
    const TExportBorders& b = Cell.Borders;
    return Cell.Text + " " + char('0' + b.Left) + char('0' + b.Top) + char('0' + b.Bottom) +
           char('0' + b.Right);
  };
  const char* const expected[2][3] = {{"Sales 1110", " 0111", "Cost 1101"},
                                      {"Q1 1111", "Q2 1111", " 1011"}};
  for (size_t r = 0; r < 2; ++r)
    for (size_t k = 0; k < 3; ++k) EXPECT_EQ(shown(rows[r][k]), expected[r][k]) << r << k;
  EXPECT_EQ(styled, (std::vector<std::pair<size_t, bool>>{
                        {0, false}, {1, false}, {2, false}, {0, true}, {1, true}, {2, true}}));
}

}  // namespace
