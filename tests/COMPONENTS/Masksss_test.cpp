#include "Masksss.h"

#include <gtest/gtest.h>

namespace {

struct LikeCase {
  const char* Value;
  const char* Pattern;
  bool Matches;
};

TEST(MatchesLike, WildcardsAnchorsAndCase) {
  const LikeCase cases[] = {
      {"", "%", true},           {"anything", "%", true},     {"ABC", "a_c", true},
      {"abcd", "a_c", false},    {"ab", "abc%", false},       {"abc", "abc%", true},
      {"xaybz", "%a%b%", true},  {"xbyaz", "%a%b", false},    {"ab", "a%%b", true},
      {"abc", "abc", true},      {"abc", "ab", false},        {"", "", true},
      {"abc", "%c", true},       {"abc", "a%", true},         {"abcabc", "a%c%c", true},
      // Greedy, no backtracking: the segment takes its leftmost place and
      // the tail must still fit behind it.
      {"aXbXb", "a%Xb", true},   {"ab", "a%b%b", false},      {"a_c", "a\\_c", false},
      {"Иванов", "иван%", true}, {"ИВАНОВ", "%нов", true},     {"Ёлка", "ёл_а", true},
      {"Петров", "Иван%", false}, {"сидоров", "_ИДОР__", true}, {" abc", "abc", false},
  };
  for (const LikeCase& c : cases)
    EXPECT_EQ(MatchesLike(c.Value, c.Pattern), c.Matches) << c.Value << " LIKE " << c.Pattern;
}

}  // namespace
