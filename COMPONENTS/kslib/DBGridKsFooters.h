// The footer cells of a column: one Footer and a collection of further
// ones, one per footer row. An aggregate footer keeps an item in the
// grid's sum list and shows its result.
#pragma once

#include "COMPONENTS/kslib/DBGridKsColumns.h"
#include "COMPONENTS/kslib/DBSumLst.h"

enum TFooterValueType { fvtNon, fvtSum, fvtAvg, fvtCount, fvtFieldValue, fvtStaticText };

class TColumnFooterKs : public TCollectionItem {
 public:
  // In a column's Footers.
  explicit TColumnFooterKs(TCollection* Collection);
  // The column's single Footer, in no collection.
  explicit TColumnFooterKs(TColumnKs* Column);
  ~TColumnFooterKs() override;
  void Assign(TPersistent* Source) override;
  TColumnKs* Column() const { return FColumn; }

  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  bool AlignmentStored() const;
  TColor Color() const;
  void SetColor(TColor Value);
  bool ColorStored() const;
  TFont* Font();
  bool FontStored() const { return FExplicit & FontFlag; }
  bool ToolTips() const;
  void SetToolTips(bool Value);
  // Only a ToolTips set to true is kept.
  bool ToolTipsStored() const { return (FExplicit & ToolTipsFlag) && FToolTips; }
  const AnsiString& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const AnsiString& Value);
  bool EndEllipsis() const { return FEndEllipsis; }
  void SetEndEllipsis(bool Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  const AnsiString& Value() const { return FValue; }
  void SetValue(const AnsiString& Value);
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value);
  TFooterValueType ValueType() const { return FValueType; }
  void SetValueType(TFooterValueType Value);
  TDBSum* SumItem() const { return FSumItem; }
  void ResetToDefaults();
  // Keeps the sum item in step with the value type and the field.
  void UpdateSumBinding();

 private:
  enum : unsigned { AlignmentFlag = 1, FontFlag = 2, ColorFlag = 4, ToolTipsFlag = 8 };
  void Init();
  void Notify();
  void FontChanged(TObject*);
  TColumnKs* FColumn = nullptr;
  unsigned FExplicit = 0;
  TAlignment FAlignment = taLeftJustify;
  TColor FColor = clWindow;
  TFont FFont;
  bool FApplyingFont = false;
  AnsiString FDisplayFormat, FFieldName, FValue;
  bool FEndEllipsis = false, FToolTips = false, FWordWrap = false;
  TFooterValueType FValueType = fvtNon;
  TDBSum* FSumItem = nullptr;
};

class TColumnFootersKs : public TCollection {
 public:
  explicit TColumnFootersKs(TColumnKs* Column);
  TColumnKs* Column() const { return FColumn; }
  TColumnFooterKs* Items(int Index) const {
    return static_cast<TColumnFooterKs*>(TCollection::Items(Index));
  }
  TColumnFooterKs* Add() { return static_cast<TColumnFooterKs*>(TCollection::Add()); }

 private:
  TColumnKs* FColumn;
};
