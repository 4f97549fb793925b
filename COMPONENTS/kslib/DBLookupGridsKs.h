// The lookup grid: the records of a list dataset, one of which the user
// picks; the key fields of the picked record make the key value, held by
// the grid or written into fields of an edited record. Its popup form is
// the drop-down list of lookup columns and of the grid's cell editor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/PopupCtrlsKs.h"
#include "forms/ActnList.h"

class TDBLookupGridKs;
class TMemRecordMarker;

// The link to the edited record.
class TLookupGridDataLinkKs : public TDataLink {
 public:
  explicit TLookupGridDataLinkKs(TDBLookupGridKs* Grid) : FGrid(Grid) {}

 protected:
  void ActiveChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void FocusControl(TField*& Field) override;

 private:
  TDBLookupGridKs* FGrid;
};

// The cell of one column in the special row. Values not set here are the
// special row's; outside a lookup grid the cell's own.
class TGridColumnSpecCellKs : public TPersistent {
 public:
  explicit TGridColumnSpecCellKs(TColumnKs* Column);
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return FColumn; }
  AnsiString Text() const;
  void SetText(const AnsiString& Value);
  TColor Color() const;
  void SetColor(TColor Value);
  TFont* Font();
  void SetFont(TFont* Value) { FFont.Assign(Value); }
  bool TextAssigned() const { return FTextAssigned; }
  bool ColorAssigned() const { return FColorAssigned; }
  bool FontAssigned() const { return FFontAssigned; }

 private:
  TSpecRowKs* SpecRow() const;
  void Changed();
  TColumnKs* FColumn;
  AnsiString FText;
  TColor FColor = clWindow;
  TFont FFont;
  bool FTextAssigned = false, FColorAssigned = false, FFontAssigned = false;
  bool FRefreshingFont = false;
};

// A column of a lookup grid: with its special-row cell; moving it takes the
// list field names and the special row's texts along.
class TDBLookupGridColumnKs : public TColumnKs {
 public:
  explicit TDBLookupGridColumnKs(TCollection* Collection);
  void Assign(TPersistent* Source) override;
  void SetIndex(int Value) override;
  TGridColumnSpecCellKs* SpecCell() { return &FSpecCell; }
  void SetSpecCell(TGridColumnSpecCellKs* Value) { FSpecCell.Assign(Value); }

 private:
  TGridColumnSpecCellKs FSpecCell;
};

class TDBLookupGridColumnDefValuesKs : public TColumnDefValuesKs {
 public:
  explicit TDBLookupGridColumnDefValuesKs(TCustomDBGridKs* Grid);
};

// The tick count the incremental search reads (tests set their own).
extern std::function<uint32_t()> LookupGridTickCount;

// What the service actions lend the popup's marking, set at their start-up:
// the shortcuts of the record-mark and group-mark actions, and the colour
// of marked records.
struct TPopupMarkingKs {
  TAction* MarkAction = nullptr;
  TAction* MarkGroupAction = nullptr;
  TColor MarkColor = static_cast<TColor>(0x00C0FFE0);
};
extern TPopupMarkingKs PopupMarking;

class TDBLookupGridKs : public TCustomDBGridKs {
 public:
  explicit TDBLookupGridKs(TComponent* AOwner);
  ~TDBLookupGridKs() override;

  // The edited record's source (the list's is ListSource).
  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  void SetDataSource(TDataSource* Value);
  TLookupGridDataLinkKs* LookupDataLink() const { return FDataLink.get(); }
  TDataSource* ListSource() const { return TCustomDBGridKs::DataSource(); }
  void SetListSource(TDataSource* Value);
  TDataSet* ListDataSet() const { return ListSource() ? ListSource()->DataSet() : nullptr; }

  const AnsiString& DataFieldNames() const { return FDataFieldNames; }
  void SetDataFieldNames(const AnsiString& Value);
  const std::vector<TField*>& DataFields() const { return FDataFields; }
  const AnsiString& DataKeyFieldNames() const { return FDataKeyFieldNames; }
  const std::vector<TField*>& DataKeyFields() const { return FDataKeyFields; }
  const AnsiString& KeyFieldNames() const { return FKeyFieldNames; }
  void SetKeyFieldNames(const AnsiString& Value);
  const std::vector<TField*>& KeyFields() const { return FKeyFields; }
  const AnsiString& ListFieldNames() const { return FListFieldNames; }
  void SetListFieldNames(const AnsiString& Value);
  const std::vector<TField*>& ListFields() const { return FListFields; }
  int ListFieldIndex() const { return FListFieldIndex; }
  void SetListFieldIndex(int Value);
  TField* ListField() const { return FListField; }
  bool ListActive() const { return FListActive; }
  bool LookupFieldMode() const { return FLookupFieldMode; }

  const Variant& KeyValue() const { return FKeyValue; }
  void SetKeyValue(const Variant& Value);
  const AnsiString& SearchText() const { return FSearchText; }
  const AnsiString& DisplayText() const { return FDisplayText; }
  TSpecRowKs* SpecRow() const { return FSpecRow.get(); }
  void SetSpecRow(TSpecRowKs* Value) { FSpecRow->Assign(Value); }
  bool SpecRowSelected() const { return FSpecRowSelected; }
  // Data rows the height shows, 1..100; the height follows.
  int RowCount() const { return FRowCount; }
  void SetRowCount(int Value);
  // Bits: 1 column resize, 2 column lines, 4 row lines, 8 sort marking,
  // 16 multi-column sort marking.
  uint8_t LookupOptions() const { return FLookupOptions; }
  void SetLookupOptions(uint8_t Value);
  void SetShowTitles(bool Value);
  void SetUseMultiTitle(bool Value);
  // No horizontal scroll bar: the columns are fitted to the client width
  // once, and their fitted widths make the columns' total width.
  bool ScrollBarHidden() const { return FScrollBarHidden; }
  void SetScrollBarHidden(bool Value);
  // The visible columns' total width with their lines.
  int GetColumnsWidth();
  // The client area of the data rows: below the titles and the special
  // row, above the footer rows.
  RECT GetDataRowsRect();

  virtual bool CanModifyKey();
  virtual bool KeyValueFitsFields(const std::vector<TField*>& Fields, const Variant& Value);
  virtual int BorderHeight();
  virtual int SpecRowHeight();
  virtual int DataRowHeight();
  virtual void KeyValueChanged();
  virtual void UpdateListPosition();
  virtual void ProcessSearchKey(char Key);
  virtual void SelectKeyValue(const Variant& Value);
  virtual void SpecRowChanged();
  virtual void UpdateColumnWidths();
  virtual void UpdateDataFields();
  virtual void UpdateListFields();
  virtual bool LocateKey();

  // The edited record changed (Field null: all of it).
  void DataRecordChanged(TField* Field);
  // A column moves from its index to Value: the list field, the special
  // row's texts and the list field names follow the new order.
  void MoveListColumn(TColumnKs* Column, int Value);
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void WndProc(TMessage& Message) override;

  // Grid overrides.
  void ColWidthsChanged() override;
  void LinkActive(bool Value) override;
  void SumListRecalcAndUpdate() override;
  void RecordChanged() override;
  void Scroll(int Distance) override;
  void UpdateScrollBars() override;
  void UpdateRowLayout() override;
  void DefineFieldMap() override;
  void GetDatasetFields(std::vector<TField*>& List) override;
  int ExtraTitleRowCount() override;
  bool RowSelectHighlighted() override { return FKeyRowCurrent; }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  std::unique_ptr<TDBGridColumnsKs> CreateColumns() override;
  std::unique_ptr<TColumnDefValuesKs> CreateColumnDefValues() override;
  bool GetCellHighlight(int DataCol, int DataRow, const AnsiString& Text, TGridDrawState State,
                        TColor& Background, TFont* AFont) override;
  bool CellHas3DFrame(int ACol, int ARow, TGridDrawState State, const RECT& Rect) override;
  void DrawExtraTitleCell(int ACol, int ARow, bool& Highlighted, TGridDrawState State,
                          const RECT& Rect, int CellKind, int AreaRow, int AreaCol) override;
  void DrawLevelCell(int ACol, int Level, const RECT& Rect);
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, POINT MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, POINT MousePos) override;

  // The list moves by Distance (Home and End by the first and last flags)
  // and its current record becomes the key.
  void MoveList(int Distance, bool ToFirst = false, bool ToLast = false);
  void SelectCurrentListRecord();
  void SelectSpecRow();
  // The special row or the data row at the client Y becomes the key.
  void SelectRowAtY(int Y);
  // Data rows of the buffer and the grid row of the special row (-1 none).
  int VisibleDataRows();
  int SpecGridRow();
  bool IsDataOrSpecRow(int ARow);
  bool Tracking() const { return FTracking; }
  void StopTracking();
  // Gets an Esc per level climbed by a press on a level row.
  virtual TWinControl* LevelKeyTarget() { return Parent(); }
  bool PopupMode = false;

 private:
  void TrackMouse();
  void ScrollRequest(int Code, int Pos);
  void WheelMove(bool Down);
  void CheckNotLookupField();
  void ApplyLookupOptions();
  int TitleRowHeight();
  // The buffer row holding the key, or -1.
  int KeyBufferRow();

  std::unique_ptr<TLookupGridDataLinkKs> FDataLink;
  std::unique_ptr<TDataSource> FInternalSource;
  std::unique_ptr<TSpecRowKs> FSpecRow;
  AnsiString FDataFieldNames, FDataKeyFieldNames, FKeyFieldNames, FListFieldNames;
  std::vector<TField*> FDataFields, FDataKeyFields, FKeyFields, FListFields;
  TField* FListField = nullptr;
  int FListFieldIndex = 0;
  bool FListActive = false, FLookupFieldMode = false;
  Variant FKeyValue = Variant::Null();
  AnsiString FSearchText, FDisplayText;
  bool FSpecRowSelected = false, FKeyRowCurrent = false, FSelectingKey = false;
  int FRowCount = 7;
  uint8_t FLookupOptions = 7;
  bool FTracking = false;
  int FTrackY = 0;
  bool FInRowLayout = false;
  bool FScrollBarHidden = false, FFittingWidths = false;
  // By column index, while the scroll bar is hidden.
  std::vector<int> FFittedWidths;
};

// The drop-down form of lookup columns and of the cell editor: a borderless
// popup with a size grip that never takes the focus from its editor.
class TPopupDataGridKs : public TDBLookupGridKs {
 public:
  explicit TPopupDataGridKs(TComponent* AOwner);
  TSizeGripKs* SizeGrip() const { return FSizeGrip; }
  bool CanFocus() override { return false; }
  // The space bar (and Enter on no marks) marks records of a list whose
  // source keeps a record marker; the owner editor shows the marked texts.
  bool MarkRecordsMode() const { return FMarkRecordsMode; }
  void SetMarkRecordsMode(bool Value) { FMarkRecordsMode = Value; }
  void KeyValueChanged() override;
  void WndProc(TMessage& Message) override;
  // Shown at the screen point without activation.
  void ShowAt(POINT Position);
  // The edit control the popup drops from: it gets the level keys and
  // the marked texts. Unset, the owner when that is a control.
  TWinControl* Editor() const;
  void SetEditor(TWinControl* Value) { FEditor = Value; }
  // The user dragged the size grip since it was last cleared.
  bool SizedByUser() const { return FSizedByUser; }
  void SetSizedByUser(bool Value) { FSizedByUser = Value; }

  // Accept: the user picked a row; false for a click outside.
  std::function<void(TObject* Sender, bool Accept)> OnMouseCloseUp;
  // The user, not code, changed the key value.
  TNotifyEvent OnUserKeyValueChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void GetCellParams(TColumnKs* Column, TFont* AFont, TColor& Background,
                     TGridDrawState State) override;
  bool GetCellHighlight(int DataCol, int DataRow, const AnsiString& Text, TGridDrawState State,
                        TColor& Background, TFont* AFont) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  TWinControl* LevelKeyTarget() override { return Editor(); }

 private:
  // The list source's marker in marking mode, else null.
  TMemRecordMarker* Marker() const;
  // Whether the painted (current) record is marked.
  bool RecordMarked() const;
  // Shows the marked records' texts in the owner editor.
  void ShowMarked();
  void ToggleMarkAndShow();
  TSizeGripKs* FSizeGrip;
  TWinControl* FEditor = nullptr;
  bool FUserAction = false, FMarkRecordsMode = false, FSizedByUser = false;
  // A press on a level row: its release chooses nothing (the rows have
  // moved under the mouse by then).
  bool FLevelPress = false;
};
