// Data helpers of the button and popup toolkit that the data grid relies on:
// the variant equality test, the special-row settings of lookup lists, the
// fields named by a ";"-separated list, and the sorted list of the values
// one field takes in a dataset.
#pragma once

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

inline void SetDataLinkFieldName(TDatasetFieldValueListKs* List, const AnsiString& FieldName) {
  List->SetFieldName(FieldName);
}
inline void SetDataLinkDataSet(TDatasetFieldValueListKs* List, TDataSet* DataSet) {
  List->SetDataSet(DataSet);
}
