// Data sources and data links: how controls and detail datasets see a
// dataset. A data source stands between one dataset and any number of links;
// each link shows a slice of the dataset's buffer window (see DataSet.h) and
// hears the dataset's events through its virtual operations.
#pragma once

#include <functional>
#include <vector>

#include "db/DBTypes.h"
#include "rtl/Classes.h"

class TDataSet;
class TDataLink;
class TField;

using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* AOwner);
  ~TDataSource() override;

  TDataSet* DataSet() const { return FDataSet; }
  // Raises when the dataset hangs on this source (a master/detail loop).
  void SetDataSet(TDataSet* Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Edit puts a browsing dataset into edit state only with AutoEdit.
  bool AutoEdit() const { return FAutoEdit; }
  void SetAutoEdit(bool Value) { FAutoEdit = Value; }
  // The dataset's state; dsInactive without an enabled dataset.
  TDataSetState State() const { return FState; }
  void Edit();
  // Whether the dataset leads, through its master sources, to this source.
  bool IsLinkedTo(TDataSet* DataSet) const;
  int LinkCount() const { return static_cast<int>(FDataLinks.size()); }

  TNotifyEvent OnStateChange;
  // Field: the changed field, null for a record or data-set change.
  TDataChangeEvent OnDataChange;
  TNotifyEvent OnUpdateData;

 protected:
  // Passes a dataset's event on to the links (the record or data-set
  // changes a descendant sends itself, too) and fires the source's events.
  // Every change of DataSet ends here with deUpdateState, also when the
  // dataset is being destroyed.
  virtual void DataEvent(TDataEvent Event, intptr_t Info);

 private:
  friend class TDataSet;
  friend class TDataLink;
  void AddDataLink(TDataLink* Link);
  void RemoveDataLink(TDataLink* Link);
  void NotifyDataLinks(TDataEvent Event, intptr_t Info);
  void UpdateState();

  TDataSet* FDataSet = nullptr;
  bool FEnabled = true;
  bool FAutoEdit = true;
  TDataSetState FState = dsInactive;
  std::vector<TDataLink*> FDataLinks;
};

class TDataLink : public TPersistent {
 public:
  TDataLink();
  ~TDataLink() override;

  TDataSource* DataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* Value);
  TDataSet* DataSet() const;
  // A fixed data source cannot be changed.
  bool DataSourceFixed() const { return FDataSourceFixed; }
  void SetDataSourceFixed(bool Value) { FDataSourceFixed = Value; }
  // The data source has an open dataset.
  bool Active() const { return FActive; }
  // The dataset is in edit, insert or set-key state and the link is not read-only.
  bool Editing() const { return FEditing; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  // The link's slice of the window: its size, the active record's index in
  // it (setting it moves the dataset's active buffer, for reading only),
  // and the number of records in it.
  int BufferCount() const { return FBufferCount; }
  void SetBufferCount(int Value);
  int ActiveRecord() const;
  void SetActiveRecord(int Value);
  int RecordCount() const;
  bool Bof() const;
  bool Eof() const;
  // Puts the dataset into edit through the data source; answers Editing.
  bool Edit();
  // Runs UpdateData with the link's own field changes not echoed back.
  void UpdateRecord();

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataEvent(TDataEvent Event, intptr_t Info);
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  // Distance: rows the link's slice scrolled, positive forward.
  virtual void DataSetScrolled(int /*Distance*/) { DataSetChanged(); }
  virtual void EditingChanged() {}
  // A control that takes the focus for Field sets it to null.
  virtual void FocusControl(TField*& /*Field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* /*Field*/) {}
  virtual void UpdateData() {}
  // A visual control's link hears each event before the other links.
  bool VisualControl() const { return FVisualControl; }
  void SetVisualControl(bool Value) { FVisualControl = Value; }

 private:
  friend class TDataSource;
  friend class TDataSet;
  void UpdateState();
  void SetActiveState(bool Value);
  void SetEditing(bool Value);
  // Keeps the slice around the active record; answers how far it moved from First.
  int UpdateRange(int First);

  TDataSource* FDataSource = nullptr;
  int FFirstRecord = 0;
  int FBufferCount = 1;
  bool FActive = false;
  bool FEditing = false;
  bool FReadOnly = false;
  bool FUpdating = false;
  bool FVisualControl = false;
  bool FDataSourceFixed = false;
};

// The link of a detail dataset to its master: FieldNames are the master's
// key fields; OnMasterChange fires when the master record (or one of those
// fields) changed, OnMasterDisable when the master closed or has no fields.
class TMasterDataLink : public TDataLink {
 public:
  explicit TMasterDataLink(TDataSet* ADataSet);
  TDataSet* DetailDataSet() const { return FDataSet; }
  const AnsiString& FieldNames() const { return FFieldNames; }
  void SetFieldNames(const AnsiString& Value);
  const std::vector<TField*>& Fields() const { return FFields; }

  TNotifyEvent OnMasterChange;
  TNotifyEvent OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;

 private:
  TDataSet* FDataSet;
  AnsiString FFieldNames;
  std::vector<TField*> FFields;
};

// The field of the dataset by name; a missing one raises the field-not-found
// error in the name of the control.
TField* GetFieldProperty(TDataSet* DataSet, TComponent* Control, const AnsiString& FieldName);
