// Data helpers of the button and popup toolkit that the data grid relies on:
// the variant equality test, the special-row settings of lookup lists, the
// fields named by a ";"-separated list, and the sorted list of the values
// one field takes in a dataset.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "db/DB.h"
#include "forms/Graphics.h"
#include "rtl/Classes.h"
#include "rtl/Variants.h"

// Equal variants; arrays element by element (two empty arrays are not
// equal), an unassigned value equals only another one, and a comparison
// that fails counts as not equal.
bool VarEqualsKs(const Variant& V1, const Variant& V2);

// The string at Index, or an empty string outside the list.
AnsiString StringsItemOrEmpty(TStrings* Strings, int Index);

// The entries of a ";"-separated list (field names, check-box values),
// trimmed; empty ones are left out.
std::vector<AnsiString> SplitNamesKs(const AnsiString& Names);

// The special row of a lookup list: its cell texts, colours and value.
class TSpecRowKs : public TPersistent {
 public:
  explicit TSpecRowKs(TComponent* AOwner);
  ~TSpecRowKs() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return FOwner; }
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();

  TStrings* Cells() { return FCells; }
  // ";"-separated cell texts; an item may be double-quoted (a doubled quote
  // inside stands for one).
  const AnsiString& CellsText() const { return FCellsText; }
  void SetCellsText(const AnsiString& Value);
  AnsiString CellText(int Index) { return StringsItemOrEmpty(FCells, Index); }
  // The owner's colour and font until set here.
  TColor Color() const;
  void SetColor(TColor Value);
  bool ColorAssigned() const { return FColorAssigned; }
  TFont* Font();
  void SetFont(TFont* Value) { FFont.Assign(Value); }
  bool FontAssigned() const { return FFontAssigned; }
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  bool ShowIfNotInKeyList() const { return FShowIfNotInKeyList; }
  void SetShowIfNotInKeyList(bool Value);
  const Variant& Value() const { return FValue; }
  void SetValue(const Variant& Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);

  // After a change, once no update is open.
  TNotifyEvent OnChanged;

 private:
  void Changed();
  TComponent* FOwner;
  TStringList* FCells;
  AnsiString FCellsText;
  TColor FColor;
  TFont FFont;
  TShortCut FShortCut = scAlt | VK_DELETE;
  bool FShowIfNotInKeyList = true, FVisible = false;
  Variant FValue = Variant::Null();
  bool FColorAssigned = false, FFontAssigned = false, FRefreshingFont = false;
  int FUpdateCount = 0;
};

// The fields named in a ";"-separated list, in list order; an unknown name
// raises the field-not-found error naming the component. List, when given,
// gets the fields appended.
void GetFieldsByNames(std::vector<TField*>* List, TDataSet* DataSet, TComponent* Component,
                      const AnsiString& FieldNames);
std::vector<TField*> GetFieldsArray(TDataSet* DataSet, TComponent* Component,
                                    const AnsiString& FieldNames);
// Null clears every named field; anything else goes to the dataset's
// multi-field assignment (a variant array for several fields).
void SetFieldsValues(TDataSet* DataSet, const AnsiString& FieldNames, const Variant& Value);
inline void SetFieldValuesOrClear(TDataSet* DataSet, const AnsiString& FieldNames,
                                  const Variant& Value) {
  SetFieldsValues(DataSet, FieldNames, Value);
}

// A data link that passes every data event on, after its own handling.
class TDataLinkKs : public TDataLink {
 public:
  std::function<void(TDataEvent Event, intptr_t Info)> OnDataEvent;

 protected:
  void DataEvent(TDataEvent Event, intptr_t Info) override;
};

// The sorted distinct string values one field takes in a dataset, read
// again when the data, the field or the dataset changed.
class TDatasetFieldValueListKs {
 public:
  TDatasetFieldValueListKs();
  ~TDatasetFieldValueListKs();
  TDatasetFieldValueListKs(const TDatasetFieldValueListKs&) = delete;
  TDatasetFieldValueListKs& operator=(const TDatasetFieldValueListKs&) = delete;

  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value);
  TDataSet* DataSet() const { return FDataSource->DataSet(); }
  void SetDataSet(TDataSet* Value);
  // Read again first when something changed. The walk over the records
  // keeps the dataset's position and runs only while it is browsing.
  TStrings* Values();

 private:
  void Refresh();
  TStringList* FValues;
  TDataSource* FDataSource;
  TDataLinkKs* FDataLink;
  AnsiString FFieldName;
  bool FDirty = true, FRefreshing = false;
};

// A new value list, as the filter row makes it for a cell.
std::unique_ptr<TDatasetFieldValueListKs> DataLinkOwnerCreate();

inline void SetDataLinkFieldName(TDatasetFieldValueListKs* List, const AnsiString& FieldName) {
  List->SetFieldName(FieldName);
}
inline void SetDataLinkDataSet(TDatasetFieldValueListKs* List, TDataSet* DataSet) {
  List->SetDataSet(DataSet);
}

// How a node's children are shown: opened, closed, or the other way round.
enum class TTreeExpandKs { Expand, Collapse, Toggle };

// What a dataset that holds its records as a tree in memory offers the grid:
// the rows of the expanded nodes and the node of the current record. The
// grid asks its dataset for it; no dataset of this program offers it.
class IMemTableKs {
 public:
  // {A8C3C87A-E556-4BDB-B8A7-5B33497D1624}
  static constexpr GUID IID{
      0xA8C3C87A, 0xE556, 0x4BDB, {0xB8, 0xA7, 0x5B, 0x33, 0x49, 0x7D, 0x16, 0x24}};
  // The rows of the expanded tree and the current record's among them (-1
  // when it shows in none). The dataset's records are these rows in this
  // order: the grid buffers all of them, so its row N is the link's
  // record N.
  virtual int VisibleRowCount() = 0;
  virtual int CurrentRow() = 0;
  // How many rows the grid shows at once.
  virtual void SetRowsInView(int Count) = 0;
  // Whether moving through the dataset follows the tree; while it does,
  // the grid's node keys open and close nodes.
  virtual bool TreeNavigation() = 0;
  virtual void SetTreeNavigation(bool Value) = 0;
  // Opens or closes the node of a visible row; the records change.
  virtual void ExpandRow(int Row, TTreeExpandKs How) = 0;
  // The record the fields read (the link's active record): its depth (0
  // at the top), whether its ancestor at Level (its own level: the node)
  // has a sibling after it, and whether it has children and shows them.
  virtual int NodeLevel() = 0;
  virtual bool NodeHasNextSibling(int Level) = 0;
  virtual bool NodeHasChildren() = 0;
  virtual bool NodeExpanded() = 0;
  // The field's distinct values over the whole tree, hidden rows too, in
  // order, for a filter's list.
  virtual void GetFieldValues(const AnsiString& FieldName, TStrings* Values) = 0;

 protected:
  ~IMemTableKs() = default;
};

// The dataset's tree interface, or null when it offers none.
IMemTableKs* GetMemTableIntf(TDataSet* DataSet);
