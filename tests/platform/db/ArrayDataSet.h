// A small dataset over rows held in a vector, written only to exercise the
// dataset classes: each row has an identity (its bookmark) and the native
// values of its fields; blob values are kept beside them. It supports
// filtering by OnFilterRecord and a master/detail link.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "db/DB.h"

class TArrayDataSet : public TDataSet {
 public:
  struct Row {
    int32_t Id = 0;
    std::vector<uint8_t> Data;                       // per data field: a null byte, then the value
    std::map<int, std::optional<AnsiString>> Blobs;  // by field number
  };

  explicit TArrayDataSet(TComponent* AOwner);
  ~TArrayDataSet() override;

  const std::vector<Row>& Rows() const { return FRows; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }

  TDataSource* MasterSource() const { return FMasterLink.DataSource(); }
  void SetMasterSource(TDataSource* Value);
  void SetMasterFields(const AnsiString& Value) { FMasterLink.SetFieldNames(Value); }
  void SetDetailFields(const AnsiString& Value) { FDetailFields = Value; }

  int GetRecordCount() override;
  int GetRecNo() const override;
  void SetRecNo(int Value) override;
  bool IsSequenced() const override;
  void SetFiltered(bool Value) override;
  void SetOnFilterRecord(const TFilterRecordEvent& Value) override;
  bool BookmarkValid(const TBookmark& Bookmark) const override;
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) const override;
  std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  TUpdateStatus UpdateStatus() const override;

  // For the tests: the window as the dataset sees it.
  using TDataSet::ActiveRecord;
  using TDataSet::BufferCount;
  using TDataSet::CurrentRecord;
  using TDataSet::CursorPosChanged;
  using TDataSet::Resync;
  int CursorRow() const { return FCursor; }
  int BlobCloses = 0;
  // Errors of calculated fields are counted and swallowed when set.
  bool SwallowCalcErrors = false;
  int CalcErrors = 0;

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  int GetRecordSize() const override { return FRecordSize; }
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) const override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) const override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  void InternalGotoBookmark(const void* Bookmark) override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  void InternalFirst() override { FCursor = -1; }
  void InternalLast() override { FCursor = static_cast<int>(FRows.size()); }
  void InternalInitFieldDefs() override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return FOpen; }
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InternalDelete() override;
  void InternalHandleException() override;
  void InternalPost() override;
  void InternalEdit() override { FPendingBlobs.clear(); }
  void InternalInsert() override { FPendingBlobs.clear(); }
  void InternalCancel() override { FPendingBlobs.clear(); }
  bool GetFieldData(TField* Field, void* Buffer) override;
  void SetFieldData(TField* Field, const void* Buffer) override;
  bool GetCanModify() const override { return !FReadOnly; }
  TDataSource* GetDataSource() const override { return FMasterLink.DataSource(); }
  void ClearCalcFields(TRecordBuffer Buffer) override;
  void CloseBlob(TField* Field) override;
  void DoOnNewRecord() override;

 private:
  class TBlobStream;
  struct Header {
    int32_t Id;
    TBookmarkFlag Flag;
  };
  static Header& HeaderOf(TRecordBuffer Buffer) { return *reinterpret_cast<Header*>(Buffer); }
  TRecordBuffer RecordBuffer() const;
  uint8_t* FieldSlot(TRecordBuffer Buffer, TField* Field) const;
  int IndexOfId(int32_t Id) const;
  void FillBuffer(TRecordBuffer Buffer, int Index);
  bool Accept(int Index);
  void MasterChanged();
  std::optional<AnsiString> BlobValue(TField* Field) const;
  void WriteBlob(TField* Field, const AnsiString& Value);

  std::vector<Row> FRows;
  int32_t FNextId = 0;
  int FCursor = -1;
  bool FOpen = false;
  bool FReadOnly = false;
  std::vector<int> FOffsets;  // data offset of each field definition
  int FDataSize = 0;
  int FRecordSize = 0;
  TRecordBuffer FFilterBuffer = nullptr;
  TRecordBuffer FOldBuffer = nullptr;
  std::map<int, std::optional<AnsiString>> FPendingBlobs;
  TMasterDataLink FMasterLink;
  AnsiString FDetailFields;
};

// Appends a record with the values of the first fields, in field order.
void AppendValues(TDataSet* DataSet, std::initializer_list<Variant> Values);

// A field object of the type (strings 20 long) added to a closed dataset.
TField* AddFieldObject(TDataSet* DataSet, const AnsiString& Name, TFieldType Type,
                       TFieldKind Kind = fkData);
// A string lookup field: KeyFields of the dataset found among LookupKeyFields
// of List give ResultField.
TField* AddLookupField(TDataSet* DataSet, const AnsiString& Name, TDataSet* List,
                       const AnsiString& KeyFields, const AnsiString& LookupKeyFields,
                       const AnsiString& ResultField);
