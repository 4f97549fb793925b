#include "zynBlobStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "zynCommon.h"
#include "zynTestTable.h"

namespace {

class BlobStream : public ::testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("ID", ftInteger);
    Table.FieldDefs()->Add("M", ftMemo);
    Table.FieldDefs()->Add("S", ftString, 40);
    Table.Common->Performance = mtpfBalanced;
    Table.Open();
    Table.Append();
    Table.FieldByName("ID")->SetAsInteger(1);
    Table.FieldByName("M")->SetAsString("old");
    Table.Post();
  }
  std::string Read(TBlobStreamMode Mode = bmRead) {
    auto stream = Table.CreateBlobStream(Table.FieldByName("M"), Mode);
    std::string text(static_cast<size_t>(stream->Size()), '\0');
    if (!text.empty()) stream->ReadBuffer(text.data(), static_cast<int32_t>(text.size()));
    return text;
  }
  TzynTestTable Table;
};

TEST_F(BlobStream, ModesReadWriteAndTruncate) {
  EXPECT_EQ(Read(), "old");
  Table.Edit();
  // Read-write starts with the value; write starts empty.
  {
    auto stream = Table.CreateBlobStream(Table.FieldByName("M"), bmReadWrite);
    EXPECT_EQ(stream->Size(), 3);
    stream->Seek(0, soEnd);
    stream->WriteBuffer("er", 2);
  }
  EXPECT_EQ(Read(), "older");
  {
    auto stream = Table.CreateBlobStream(Table.FieldByName("M"), bmWrite);
    EXPECT_EQ(stream->Size(), 0);
  }
  EXPECT_TRUE(Table.FieldByName("M")->IsNull());
  Table.Cancel();
  EXPECT_EQ(Read(), "old");
  Table.Edit();
  {
    auto stream = Table.CreateBlobStream(Table.FieldByName("M"), bmWrite);
    stream->WriteBuffer("a\0b", 3);
  }
  EXPECT_TRUE(static_cast<TBlobField*>(Table.FieldByName("M"))->Modified());
  Table.Post();
  EXPECT_EQ(Read(), std::string("a\0b", 3));
}

TEST_F(BlobStream, RefusesWritesOutsideEditingAndToReadOnlyFields) {
  EXPECT_THROW(
      {
        try {
          Table.CreateBlobStream(Table.FieldByName("M"), bmWrite);
        } catch (const EMemTableError& e) {
          EXPECT_EQ(e.Message(), "Таблица не в режиме редактирования.");
          throw;
        }
      },
      EMemTableError);
  Table.FieldByName("M")->SetReadOnly(true);
  Table.Edit();
  try {
    Table.CreateBlobStream(Table.FieldByName("M"), bmReadWrite);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Поле M только для чтения");
  }
  Table.Loading = true;
  EXPECT_NO_THROW(Table.CreateBlobStream(Table.FieldByName("M"), bmWrite));
  Table.Loading = false;
  Table.Cancel();
  EXPECT_EQ(Read(), "old");
}

TEST_F(BlobStream, CompressAndDecompressEventsStandBetweenStreamAndRecord) {
  Table.OnCompressBlobStream = [](TDataSet*, TStream* source, TStream* dest) {
    source->SetPosition(0);
    std::string text(static_cast<size_t>(source->Size()), '\0');
    source->ReadBuffer(text.data(), static_cast<int32_t>(text.size()));
    std::reverse(text.begin(), text.end());
    dest->WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
  };
  Table.OnDecompressBlobStream = Table.OnCompressBlobStream;
  Table.Edit();
  Table.FieldByName("M")->SetAsString("abc");
  Table.Post();
  TzynValue value;
  TzynRecord* stored = Table.CurrentStored();
  ASSERT_TRUE(GetRecordValue(&Table, stored, Table.FieldByName("M"), 0, value));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(value.Data), 3), "cba");
  EXPECT_EQ(Read(), "abc");
}

// Records an operation per dispatch.
class TRecordingHandler : public TzynCustomDeltaHandler {
 public:
  using TzynCustomDeltaHandler::TzynCustomDeltaHandler;
  std::vector<std::string> Calls;
  std::function<void(const char* Operation, bool& Retry, int& Kind)> React;
  void InsertRecord(bool& Retry, int& Kind) override { Note("insert", Retry, Kind); }
  void DeleteRecord(bool& Retry, int& Kind) override { Note("delete", Retry, Kind); }
  void ModifyRecord(bool& Retry, int& Kind) override { Note("modify", Retry, Kind); }
  void UnmodifiedRecord(bool& Retry, int& Kind) override { Note("unmodified", Retry, Kind); }

 private:
  void Note(const char* Operation, bool& Retry, int& Kind) {
    int32_t id;
    std::memcpy(&id, Record->Data + DataSet()->Common->FieldOffsets(0) + 1, 4);
    Calls.push_back(std::string(Operation) + " " + std::to_string(id));
    if (React) React(Operation, Retry, Kind);
  }
};

class DeltaHandler : public ::testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("ID", ftInteger);
    Table.Open();
    for (int id = 1; id <= 4; ++id) {
      Table.Append();
      Table.FieldByName("ID")->SetAsInteger(id);
      Table.Post();
    }
    TzynCommon* common = Table.Common;
    // 1 unmodified; 2 modified; 3 inserted then deleted; 4 inserted then modified.
    Version(1, usModified);
    common->Records(2)->UpdateStatus = usInserted;
    Version(2, usDeleted);
    common->Records(3)->UpdateStatus = usInserted;
    Version(3, usModified);
    Handler.SetDataSet(&Table);
  }
  void Version(int Slot, TUpdateStatus Status) {
    TzynCommon* common = Table.Common;
    TzynRecord* old = common->Records(Slot);
    TzynRecord* newer = common->DuplicateRecord(old, true);
    old->Flag = 0;
    newer->PrevRecordVersion = old;
    newer->UpdateStatus = Status;
    common->ReplaceRecord(newer);
    common->RebuildIndexes();
  }
  TzynTestTable Table;
  TRecordingHandler Handler{nullptr};
};

TEST_F(DeltaHandler, DispatchesEachRecordByItsKindOfChange) {
  Handler.Resolve();
  EXPECT_EQ(Handler.Calls,
            (std::vector<std::string>{"unmodified 1", "modify 2", "unmodified 3", "insert 4"}));
  EXPECT_TRUE(Table.AttachedAutoRefresh);
}

TEST_F(DeltaHandler, RetriesWithTheKindAnOperationLeftAndEndsOutsideTheKinds) {
  Handler.React = [](const char* operation, bool& retry, int& kind) {
    if (std::string(operation) == "insert") {
      kind = usModified;
      retry = true;
    } else if (std::string(operation) == "modify") {
      kind = 7;
      retry = true;
    }
  };
  Handler.Resolve();
  EXPECT_EQ(Handler.Calls, (std::vector<std::string>{"unmodified 1", "modify 2", "unmodified 3",
                                                     "insert 4", "modify 4"}));
}

TEST_F(DeltaHandler, AnOperationsErrorEndsResolveWithTheTableRestored) {
  Handler.React = [](const char* operation, bool&, int&) {
    if (std::string(operation) == "modify") throw EMemTableError("no");
  };
  EXPECT_THROW(Handler.Resolve(), EMemTableError);
  EXPECT_TRUE(Table.AttachedAutoRefresh);
  EXPECT_EQ(Handler.Record, nullptr);
  // The lock was let go: another thread takes it.
  std::atomic<bool> entered{false};
  std::thread other([&] {
    Table.Common->Enter();
    entered = true;
    Table.Common->Leave();
  });
  other.join();
  EXPECT_TRUE(entered);
  TRecordingHandler unassigned(nullptr);
  try {
    unassigned.Resolve();
    FAIL();
  } catch (const EMemTableError& e) {
    EXPECT_EQ(e.Message(), "Обработчик дельт не назначен ни одной таблице-в-памяти.");
  }
}

TEST(DeltaHandlerLink, ForgetsATableThatIsFreed) {
  TRecordingHandler handler(nullptr);
  {
    TzynTestTable table;
    handler.SetDataSet(&table);
    EXPECT_EQ(handler.DataSet(), &table);
  }
  EXPECT_EQ(handler.DataSet(), nullptr);
}

}  // namespace
