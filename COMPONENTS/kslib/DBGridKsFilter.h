// The filter row's settings: a column's filter (the condition typed into
// its cell, and for lookup-style filtering the key looked up from a list)
// and the grid-wide switches of the row.
#pragma once

#include <memory>

#include "DBGridKsColumns.h"
#include "DBToolsKs.h"
#include "DbUtilsKs.h"

class TSTColumnFilterKs : public TPersistent {
 public:
  explicit TSTColumnFilterKs(TColumnKs* Column);
  ~TSTColumnFilterKs() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return FColumn; }

  // A field of the grid's dataset other than the column's to filter on.
  const AnsiString& DataField() const { return FDataField; }
  void SetDataField(const AnsiString& Value) { FDataField = Value; }
  // Key field(s) of the list: when set, the typed text is looked up there.
  const AnsiString& KeyField() const { return FKeyField; }
  void SetKeyField(const AnsiString& Value) { FKeyField = Value; }
  // The list's display field, matched against the typed text.
  const AnsiString& ListField() const { return FListField; }
  void SetListField(const AnsiString& Value) { FListField = Value; }
  TDataSource* ListSource() const;
  void SetListSource(TDataSource* Value);
  bool Visible() const { return FVisible; }
  // A change re-lays out the column's grid.
  void SetVisible(bool Value);

  TColumnKs* Column() const { return FColumn; }
  // The key found for the typed text; Null when none.
  const Variant& Value() const { return FValue; }
  // The list's display and key texts, read whenever the list opens.
  TStrings* ListValues() const { return FListValues.get(); }
  TStrings* KeyValues() const { return FKeyValues.get(); }
  const TSTFilterExpressionKs& Expression() const { return FExpression; }
  const AnsiString& FilterText() const { return FFilterText; }
  // The drop-down list's size as the user left it (0: not yet).
  int ListWidth = 0, ListRows = 0;

  // The cell's text for the current condition; for a value picked from a
  // list the value alone, so that applying the text again finds it again.
  virtual AnsiString GetExpressionAsString() const;
  virtual bool CanShowValueList() const;
  virtual AnsiString GetFilterFieldName() const;
  virtual Variant GetFilterValue1() const;
  virtual Variant GetFilterValue2() const;
  AnsiString GetKeyField() const;
  AnsiString GetListField() const;
  TDataSet* GetListDataSet() const;

  // Parses Text as typed into the cell, typed by the column's field; answers
  // the cell's text. A text that does not parse raises and changes nothing.
  AnsiString ParseExpressionText(const AnsiString& Text);
  // The condition for Text (Value, Expression, FilterText together), or an
  // exception and nothing changed.
  void BuildExpression(const AnsiString& Text);
  // BuildExpression, then the grid repaints.
  void ApplyFilterText(const AnsiString& Text);
  void ClearValue();
  // The drop-down's values: the list's display field, or null.
  std::unique_ptr<TDatasetFieldValueListKs> FillValueList() const;

 private:
  class TListLink;
  TCustomDBGridKs* Grid() const { return FColumn ? FColumn->GetGrid() : nullptr; }
  TField* LookupField() const;
  void FillLists();

  TColumnKs* FColumn;
  AnsiString FDataField, FKeyField, FListField;
  bool FVisible = true;
  Variant FValue = Variant::Null();
  std::unique_ptr<TStringList> FListValues, FKeyValues;
  TSTFilterExpressionKs FExpression;
  AnsiString FFilterText;
  std::unique_ptr<TListLink> FListLink;
};

class TSTDBGridKsFilter : public TPersistent {
 public:
  explicit TSTDBGridKsFilter(TCustomDBGridKs* Grid) : FGrid(Grid) {}
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;

  bool Local() const { return FLocal; }
  void SetLocal(bool Value) { FLocal = Value; }
  // Whether the grid shows its filter row; a change re-lays out the grid.
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() { --FUpdateCount; }
  int UpdateCount() const { return FUpdateCount; }

 private:
  TCustomDBGridKs* FGrid;
  bool FLocal = false;
  bool FVisible = false;
  int FUpdateCount = 0;
};
