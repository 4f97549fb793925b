#include "zynCommon.h"

#include <gtest/gtest.h>

#include <cstring>

#include "zynTestTable.h"

namespace {

struct Def {
  const char* Name;
  TFieldType Type;
  int Size;
};

std::unique_ptr<TzynTestTable> MakeTable(std::initializer_list<Def> Defs,
                                         TzynPerformance Performance = mtpfFast) {
  auto table = std::make_unique<TzynTestTable>();
  for (const Def& def : Defs) table->FieldDefs()->Add(def.Name, def.Type, def.Size);
  table->Common->Performance = Performance;
  return table;
}

void AppendIds(TzynTestTable* Table, int From, int To) {
  for (int id = From; id <= To; ++id) {
    Table->Append();
    Table->FieldByName("ID")->SetAsInteger(id);
    Table->Post();
  }
}

std::string ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(TzynCommon, LaysOutInlineFieldsTheCalculatedAreaBookmarksThenOutOfLineSlots) {
  const int ptr = static_cast<int>(sizeof(void*));
  struct Case {
    TzynPerformance Performance;
    int OffsetOfB, OffsetOfC, OffsetOfD, StartOutOfLine, DataSize;
    uint8_t FlagsOfB;
  };
  // A: string 12 (always in line), B: string 13, C: integer, D: memo.
  const Case cases[] = {
      {mtpfFast, 14, 29, 42, 42, 42 + (1 + ptr), 0},
      {mtpfBalanced, 27, 14, 27 + 1 + ptr, 27, 27 + 2 * (1 + ptr), zffOutOfLine},
      {mtpfSmall, 27, 14, 27 + 1 + ptr, 27, 27 + 2 * (1 + ptr), zffOutOfLine | zffCompressed},
  };
  for (const Case& c : cases) {
    auto table = MakeTable({{"A", ftString, 12}, {"B", ftString, 13}, {"C", ftInteger, 0},
                            {"D", ftMemo, 0}},
                           c.Performance);
    table->Open();
    TzynCommon* common = table->Common;
    EXPECT_EQ(common->FieldOffsets(0), 0);
    EXPECT_FALSE(common->IsOutOfLine(0));
    EXPECT_EQ(common->FieldOffsets(1), c.OffsetOfB) << c.Performance;
    EXPECT_EQ(common->FieldFlags(1), c.FlagsOfB);
    EXPECT_EQ(common->FieldOffsets(2), c.OffsetOfC);
    EXPECT_EQ(common->FieldOffsets(3), c.OffsetOfD);
    EXPECT_EQ(common->StartBookmarks(), c.StartOutOfLine - 8);
    EXPECT_EQ(common->StartOutOfLine(), c.StartOutOfLine);
    EXPECT_EQ(common->RecordDataSize(), c.DataSize);
    EXPECT_EQ(common->RecordAllocSize(), c.DataSize + static_cast<int>(sizeof(TzynRecord)));
  }
}

TEST(TzynCommon, RefusesLayoutsItCannotHold) {
  auto wide = MakeTable({{"ID", ftInteger, 0}, {"W", ftWideString, 10}});
  EXPECT_EQ(ErrorOf([&] { wide->Common->LayoutRecord(2); }),
            "Определение поля W (W) Тип данных 24 не поддерживается.)");

  auto empty = MakeTable({});
  EXPECT_EQ(ErrorOf([&] { empty->Common->LayoutRecord(0); }),
            "Должно быть по крайней мере одно поле");

  // 512 entries fit; one more would write past the per-field arrays.
  for (int count : {512, 513}) {
    auto many = MakeTable({});
    for (int i = 0; i < count; ++i) many->FieldDefs()->Add("F" + std::to_string(i), ftInteger);
    if (count == 512) {
      EXPECT_NO_THROW(many->Open());
    } else {
      EXPECT_EQ(ErrorOf([&] { many->Open(); }), SzynTooManyFields);
    }
  }
  TzynFieldList list;
  for (int i = 0; i < ZYN_MAX_FIELDS; ++i) list.Add(nullptr, 0);
  EXPECT_EQ(ErrorOf([&] { list.Add(nullptr, 0); }), SzynTooManyFields);
}

TEST(TzynCommon, ReusesFreedSlotsLastFirstWithFreshIdentities) {
  auto table = MakeTable({{"ID", ftInteger, 0}});
  table->Open();
  AppendIds(table.get(), 1, 6);
  TzynCommon* common = table->Common;
  // Records 3 and 5: the fifth is the fourth row once the third is gone.
  for (int row : {2, 3}) {
    table->First();
    table->MoveBy(row);
    table->Delete();
  }
  AppendIds(table.get(), 7, 8);
  ASSERT_EQ(common->RecordCount(), 6);
  EXPECT_EQ(common->Records(4)->UniqueRecordID, 6);
  EXPECT_EQ(common->Records(2)->UniqueRecordID, 7);
  EXPECT_EQ(common->Records(4)->RecordID, 4);
}

TEST(TzynCommon, IdentitiesKeepRisingUntilTheOwnerCloses) {
  auto owner = MakeTable({{"ID", ftInteger, 0}});
  auto clone = std::make_unique<TzynTestTable>();
  clone->AttachTo(owner.get());
  owner->Open();
  clone->Open();
  AppendIds(owner.get(), 1, 3);
  EXPECT_EQ(clone->RecordCount(), 3);
  owner->Common->Empty();
  // The clone's rows went with the records, not after them.
  EXPECT_EQ(clone->CurrentIndex->Count(), 0);
  EXPECT_EQ(clone->ResetCount, 1);
  AppendIds(owner.get(), 4, 4);
  EXPECT_EQ(owner->Common->Records(0)->UniqueRecordID, 3);
  EXPECT_EQ(clone->RecordCount(), 1);
  owner->Close();
  EXPECT_FALSE(clone->Active());
  owner->Open();
  AppendIds(owner.get(), 5, 5);
  EXPECT_EQ(owner->Common->Records(0)->UniqueRecordID, 0);
}

// A newer version of the record in the slot, as an edit with versions makes it.
void ChangeAtLevel(TzynCommon* Common, int Slot, TUpdateStatus Status, int Value) {
  TzynRecord* old = Common->Records(Slot);
  TzynRecord* newer = Common->DuplicateRecord(old, true);
  old->Flag &= static_cast<uint8_t>(~1);
  newer->PrevRecordVersion = old;
  newer->TransactionLevel = Common->TransactionLevel();
  newer->UpdateStatus = Status;
  std::memcpy(newer->Data + Common->FieldOffsets(0) + 1, &Value, 4);
  Common->ReplaceRecord(newer);
  if (Status == usDeleted) ++Common->DeletedCount;
}

// Slot: value/status, "-" for an empty slot.
std::vector<std::string> Snapshot(TzynCommon* Common) {
  std::vector<std::string> rows;
  for (int slot = 0; slot < Common->RecordCount(); ++slot) {
    TzynRecord* record = Common->Records(slot);
    if (!record) {
      rows.push_back("-");
      continue;
    }
    int32_t value;
    std::memcpy(&value, record->Data + Common->FieldOffsets(0) + 1, 4);
    rows.push_back(std::to_string(value) + "/" + std::to_string(record->UpdateStatus));
  }
  return rows;
}

TEST(TzynCommon, RollsBackAndCommitsOneLevelAtATime) {
  auto table = MakeTable({{"ID", ftInteger, 0}});
  table->Open();
  AppendIds(table.get(), 1, 4);
  TzynCommon* common = table->Common;
  common->EnableVersioning = true;

  common->IncreaseTransactionLevel();
  ChangeAtLevel(common, 0, usModified, 10);
  ChangeAtLevel(common, 1, usDeleted, 2);
  AppendIds(table.get(), 5, 5);
  common->Records(4)->TransactionLevel = 1;
  const auto level1 = Snapshot(common);
  EXPECT_EQ(level1, (std::vector<std::string>{"10/1", "2/3", "3/0", "4/0", "5/2"}));

  common->IncreaseTransactionLevel();
  ChangeAtLevel(common, 0, usModified, 100);
  ChangeAtLevel(common, 2, usDeleted, 3);
  ChangeAtLevel(common, 4, usModified, 50);
  AppendIds(table.get(), 6, 6);
  common->Records(5)->TransactionLevel = 2;
  EXPECT_EQ(common->DeletedCount, 2);

  common->RollbackLevel();
  common->DecreaseTransactionLevel();
  auto emptied = level1;
  emptied.push_back("-");
  EXPECT_EQ(Snapshot(common), emptied);
  EXPECT_EQ(common->DeletedCount, 1);
  EXPECT_EQ(table->CurrentIndex->Count(), 4);

  common->CommitLevel();
  EXPECT_EQ(common->Records(0)->PrevRecordVersion, nullptr);
  EXPECT_EQ(common->Records(0)->TransactionLevel, 0);
  common->DecreaseTransactionLevel();
  EXPECT_EQ(common->TransactionLevel(), 0);
}

TEST(TzynCommon, RollbackKeepsAChangedRecordThatHasNoOlderVersion) {
  auto table = MakeTable({{"ID", ftInteger, 0}});
  table->Open();
  AppendIds(table.get(), 1, 2);
  TzynCommon* common = table->Common;
  common->IncreaseTransactionLevel();
  // As a stream loads it: a status, but nothing older to return to.
  for (int slot : {0, 1}) {
    common->Records(slot)->TransactionLevel = 1;
    common->Records(slot)->UpdateStatus = slot == 0 ? usModified : usDeleted;
  }
  common->RollbackLevel();
  EXPECT_EQ(Snapshot(common), (std::vector<std::string>{"1/1", "2/3"}));
  EXPECT_EQ(common->DeletedCount, 1);
  EXPECT_TRUE(common->IsDataModified);
}

TEST(TzynCommon, AttachSlotsAndTheirErrors) {
  auto owner = MakeTable({{"ID", ftInteger, 0}});
  owner->SetName("T1");
  TComponent form(nullptr);
  form.SetName("F1");
  form.InsertComponent(owner.get());
  TzynCommon* common = owner->Common;

  EXPECT_EQ(ErrorOf([&] { common->SetAttachMaxCount(0); }), "Некорректный аргумент.");
  EXPECT_EQ(common->AttachMaxCount(), 1);

  auto second = std::make_unique<TzynTestTable>();
  second->AttachTo(owner.get());
  EXPECT_EQ(second->AttachIndex, 1);
  EXPECT_EQ(common->AttachMaxCount(), 2);
  // A count below an attached table's slot would leave it no bookmark area.
  EXPECT_EQ(ErrorOf([&] { common->SetAttachMaxCount(1); }),
            "Не хватает слотов для подключения в F1.T1");

  owner->Open();
  EXPECT_EQ(ErrorOf([&] { common->SetAttachMaxCount(3); }),
            "Table must be closed for this operation.");
  auto third = std::make_unique<TzynTestTable>();
  EXPECT_EQ(ErrorOf([&] { third->AttachTo(owner.get()); }),
            "Не хватает слотов для подключения в F1.T1");
  // Refused before it took a slot; it keeps its own storage.
  EXPECT_EQ(common->TableCount(), 2);
  EXPECT_TRUE(third->OwnsStorage());
  EXPECT_EQ(ErrorOf([&] { common->SetStandalone(true); }), "Children are attached to this table.");

  second.reset();
  third->AttachTo(owner.get());
  EXPECT_EQ(third->AttachIndex, 1);
  form.RemoveComponent(owner.get());
}

TEST(TzynCommon, ATableLeftOnADestroyedStorageGetsItsOwn) {
  auto owner = MakeTable({{"ID", ftInteger, 0}});
  auto clone = std::make_unique<TzynTestTable>();
  clone->AttachTo(owner.get());
  owner->Open();
  clone->Open();
  AppendIds(owner.get(), 1, 2);
  owner.reset();
  EXPECT_FALSE(clone->Active());
  ASSERT_TRUE(clone->OwnsStorage());
  clone->Open();
  EXPECT_EQ(clone->RecordCount(), 0);
  AppendIds(clone.get(), 1, 1);
  EXPECT_EQ(clone->RecordCount(), 1);
}

TEST(TzynCommon, SettingsAndLocaleParts) {
  auto table = MakeTable({{"ID", ftInteger, 0}});
  TzynCommon* common = table->Common;
  common->AutoIncMax = 5;
  common->SetAutoIncMin(10);
  EXPECT_EQ(common->AutoIncMax, 9);
  EXPECT_EQ(common->LocaleID(), 1024);
  common->SetLocaleID(1049);
  EXPECT_EQ(common->LanguageID(), 25);
  EXPECT_EQ(common->SubLanguageID(), 1);
  EXPECT_EQ(common->SortID(), 0);
  common->SetSortID(2);
  EXPECT_EQ(common->LocaleID(), (2 << 16) | 1049);
}

TEST(TzynCommon, OutOfLineValuesMoveAndDuplicateWithTheirRecords) {
  auto table = MakeTable({{"ID", ftInteger, 0}, {"M", ftMemo, 0}});
  table->Open();
  TzynCommon* common = table->Common;
  TzynRecord* a = common->AllocateRecord();
  common->SetOutOfLine(a, 1, 2, MakeValueBuffer("abc", 3));
  TzynRecord* copy = common->DuplicateRecord(a, true);
  ASSERT_NE(common->OutOfLineBuffer(copy, 1), common->OutOfLineBuffer(a, 1));
  EXPECT_EQ(ValueBufferLength(common->OutOfLineBuffer(copy, 1)), 3);
  TzynRecord* b = common->AllocateRecord();
  common->MoveRecord(a, b);
  EXPECT_EQ(common->OutOfLineBuffer(a, 1), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ValueBufferBytes(common->OutOfLineBuffer(b, 1))), 3), "abc");
  // A dataset buffer without its own value reads the stored record's, but
  // only while that slot still holds the same record.
  common->AddRecord(b);
  TzynRecord* buffer = common->AllocateRecord();
  common->CopyRecord(b, buffer);
  EXPECT_EQ(common->ResolveOutOfLine(buffer, 1), common->OutOfLineBuffer(b, 1));
  buffer->UniqueRecordID += 1;
  EXPECT_THROW(common->ResolveOutOfLine(buffer, 1), EMemTableInvalidRecord);
  for (TzynRecord* r : {a, copy, buffer}) common->FreeRecord(r, true, false);
}

}  // namespace
