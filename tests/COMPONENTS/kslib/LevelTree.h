// A levelled server-backed dataset, opened without a table and filled
// from the level-tree fixture, with a data source over it.
#pragma once

#include <gtest/gtest.h>

#include "SDS.h"
#include "SDataSource.h"
#include "tests/COMPONENTS/SDSPlainTable.h"

// 1 Отдел > 3 Иванов (list), 5 Цех > 6 Сидоров (list); 2 Склад > 9 Ящик.
inline AnsiString FixturePath() { return StringReplace("Z:" KS_FIXTURES "/level-tree.zmt", "/", "\\", rfReplaceAll); }

struct TTree {
  TSDS Tree{nullptr};
  TSDataSource Source{nullptr};
  TTree() {
    DefineHierarchy(Tree);
    Tree.SetAttachMaxCount(4);
    Tree.Open();
    Tree.LoadFromBinaryFile(FixturePath());
    for (const char* Name : {"SYS$PID", "SYS$STATE", "SYS$TIME"}) Tree.FieldByName(Name)->SetVisible(false);
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
    Source.SetDataSet(&Tree);
  }
  // Into Отдел, then into its Цех.
  void EnterTwoLevels() {
    for (const char* Name : {"Отдел", "Цех"}) {
      ASSERT_TRUE(Tree.Locate("NAME", Variant(Name), {})) << Name;
      ASSERT_TRUE(Tree.LevelDown()) << Name;
    }
  }
};
