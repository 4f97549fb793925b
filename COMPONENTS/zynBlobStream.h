// The stream a table hands out for one out-of-line value of its active
// record, and the base of components that walk the changed records and
// apply each change elsewhere.
#pragma once

#include "zynMemTable.h"

class TzynBlobStream : public TMemoryStream {
 public:
  // Checks the field and the table state, then reads the value, or in
  // write mode starts empty.
  TzynBlobStream(IzynMemTable* Table, TField* Field, TBlobStreamMode Mode);
  // Writes a modified value back into the record buffer and announces it.
  ~TzynBlobStream() override;

  int32_t Write(const void* Buffer, int32_t Count) override;
  void Truncate();
  bool Modified() const { return FModified; }

 private:
  void ReadValue();
  void WriteBack();

  IzynMemTable* FTable;
  TField* FField;
  TBlobStreamMode FMode;
  int32_t FEntry;
  TzynRecord* FRecord;
  TzynRecord* FStoredRecord = nullptr;
  bool FModified = false;
};

class TzynCustomDeltaHandler : public TComponent {
 public:
  using TComponent::TComponent;
  ~TzynCustomDeltaHandler() override;

  IzynMemTable* DataSet() const { return FDataSet; }
  void SetDataSet(IzynMemTable* Value);
  std::function<void(TzynCustomDeltaHandler* Sender, TField* Field, Variant& Value)> OnGetValue;

  // While resolving: the record's current and oldest versions.
  TzynRecord* Record = nullptr;
  TzynRecord* OrigRecord = nullptr;

  // Each may change the kind (0 unmodified .. 3 deleted) and ask for the
  // record to be dispatched again by setting Retry.
  virtual void InsertRecord(bool& Retry, int& ChangeKind);
  virtual void DeleteRecord(bool& Retry, int& ChangeKind);
  virtual void ModifyRecord(bool& Retry, int& ChangeKind);
  virtual void UnmodifiedRecord(bool& Retry, int& ChangeKind);
  virtual void Resolve();

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void CheckTable() const;
  IzynMemTable* FDataSet = nullptr;
  // The table as a component, for the free notification (the table is
  // half destroyed by then).
  TComponent* FDataSetComponent = nullptr;
};
