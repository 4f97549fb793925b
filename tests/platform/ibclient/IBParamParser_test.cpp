#include "ibclient/IBParamParser.h"

#include <gtest/gtest.h>

namespace {

struct TCase {
  const char* SQL;
  const char* Text;
  std::vector<AnsiString> Names;
};

TEST(ParseParams, ReplacesNamesOutsideLiteralsQuotedNamesAndComments) {
  const TCase cases[] = {
      {"select * from T where A = :a", "select * from T where A = ?", {"A"}},
      {"update T set A = :Val, B = :val where K = :k$1", "update T set A = ?, B = ? where K = ?",
       {"VAL", "VAL", "K$1"}},
      {"select ':x', 'it''s :y' from T where A=:z", "select ':x', 'it''s :y' from T where A=?", {"Z"}},
      {"select \"COL:A\", \"a\"\":b\" from T", "select \"COL:A\", \"a\"\":b\" from T", {}},
      {"select A -- :skip\nfrom T where B = :b", "select A -- :skip\nfrom T where B = ?", {"B"}},
      {"select /* :skip\n :also */ A from T where B=:b/*:c*/", "select /* :skip\n :also */ A from T where B=?/*:c*/",
       {"B"}},
      {"insert into T values (:\"Mixed Name\", :\"q\"\"q\")", "insert into T values (?, ?)",
       {"Mixed Name", "q\"q"}},
      {"select * from T where A = ? and B = :b and C = ?", "select * from T where A = ? and B = ? and C = ?",
       {"", "B", ""}},
      {"select 1 from T where A = :1 or B = ':", "select 1 from T where A = :1 or B = ':", {}},
      {"select A||:b||'x' from T", "select A||?||'x' from T", {"B"}},
      {"select * from T where A = :a -- unterminated", "select * from T where A = ? -- unterminated", {"A"}},
      // Alternative quoting: the literal ends at its closing delimiter and a
      // quote, whatever quotes or colons it holds.
      {"select q'{it's :x}' from rdb$database", "select q'{it's :x}' from rdb$database", {}},
      {"select Q'(a)'':b)', :c from T", "select Q'(a)'':b)', ? from T", {"C"}},
      {"select q'[:x]', q'<'<:y>', q'!a'b:c!' from T where A=:a", "select q'[:x]', q'<'<:y>', q'!a'b:c!' from T where A=?",
       {"A"}},
      {"select q'{unterminated :x", "select q'{unterminated :x", {}},
      // A name ending in q before a literal is not a q-literal.
      {"select aq'x', :b from T", "select aq'x', ? from T", {"B"}},
  };
  for (const TCase& c : cases) {
    const TIBParsedSQL parsed = ParseParams(c.SQL);
    EXPECT_EQ(parsed.Text, c.Text) << c.SQL;
    EXPECT_EQ(parsed.Names, c.Names) << c.SQL;
  }
}

}  // namespace
