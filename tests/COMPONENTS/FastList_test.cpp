#include "FastList.h"
#include "FastMov.h"

#include <gtest/gtest.h>

namespace {

void* P(intptr_t n) { return reinterpret_cast<void*>(n); }

TEST(TFastList, GrowsBy32ThenByAQuarter) {
  TFastList list;
  std::vector<int32_t> capacities;
  for (int i = 1; i <= 251; ++i) {
    list.Add(P(i));
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{32, 64, 96, 128, 160, 200, 250, 312}));
  EXPECT_EQ(list.Count(), 251);
}

TEST(TFastList, InsertDeleteIndexOfAndCount) {
  TFastList list;
  EXPECT_EQ(list.IndexOf(P(1)), -1);
  for (int i = 1; i <= 5; ++i) list.Add(P(i));
  list.Insert(0, P(9));
  list.Insert(6, P(8));
  list.Delete(3);
  std::vector<intptr_t> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(reinterpret_cast<intptr_t>(list.Items(i)));
  EXPECT_EQ(items, (std::vector<intptr_t>{9, 1, 2, 4, 5, 8}));
  EXPECT_EQ(list.IndexOf(P(4)), 3);
  // Deleting the last item only lowers the count; its slot keeps the value.
  list.Delete(5);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.List()[5], P(8));
  list.SetCount(8);
  EXPECT_EQ(list.Items(5), nullptr);
  EXPECT_EQ(list.Items(7), nullptr);
  list.SetCount(2);
  EXPECT_EQ(list.Count(), 2);
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(FastMove, CopiesCountBytesAndNothingForANegativeCount) {
  uint8_t source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t dest[8] = {};
  EXPECT_EQ(FastMoveProc(source, dest, 7), 7);
  EXPECT_EQ(std::vector<uint8_t>(dest, dest + 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 0}));
  uint8_t untouched[4] = {9, 9, 9, 9};
  EXPECT_EQ(FastMoveProc(source, untouched, -3), -3);
  EXPECT_EQ(untouched[0], 9);
}

}  // namespace
