// The page settings of grid printing: the four margins, and a page header
// or footer (three texts, a font and a rule under or over it).
#pragma once

#include "forms/Graphics.h"
#include "rtl/Classes.h"

// Margins in the printing component's units, with four decimals.
class TPageParams : public TPersistent {
 public:
  Currency BottomMargin() const { return FBottomMargin; }
  void SetBottomMargin(Currency Value) { FBottomMargin = Value; }
  Currency LeftMargin() const { return FLeftMargin; }
  void SetLeftMargin(Currency Value) { FLeftMargin = Value; }
  Currency RightMargin() const { return FRightMargin; }
  void SetRightMargin(Currency Value) { FRightMargin = Value; }
  Currency TopMargin() const { return FTopMargin; }
  void SetTopMargin(Currency Value) { FTopMargin = Value; }
  // A margin goes into a form file only when it differs from the default.
  static bool MarginStored(Currency Value) { return Value != DefaultMargin(); }
  static Currency DefaultMargin() { return Currency(2.0); }
  void Assign(TPersistent* Source) override;

 private:
  Currency FBottomMargin = DefaultMargin(), FLeftMargin = DefaultMargin(),
           FRightMargin = DefaultMargin(), FTopMargin = DefaultMargin();
};

enum TPageColontitleLineType { pcltNon, pcltSingleLine, pcltDoubleLine };

class TPageColontitle : public TPersistent {
 public:
  TStrings* CenterText() { return &FCenterText; }
  void SetCenterText(TStrings* Value) { FCenterText.Assign(Value); }
  TFont* Font() { return &FFont; }
  void SetFont(TFont* Value) { FFont.Assign(Value); }
  TStrings* LeftText() { return &FLeftText; }
  void SetLeftText(TStrings* Value) { FLeftText.Assign(Value); }
  TPageColontitleLineType LineType() const { return FLineType; }
  void SetLineType(TPageColontitleLineType Value) { FLineType = Value; }
  TStrings* RightText() { return &FRightText; }
  void SetRightText(TStrings* Value) { FRightText.Assign(Value); }
  void Assign(TPersistent* Source) override;

 private:
  TStringList FCenterText, FLeftText, FRightText;
  TFont FFont;
  TPageColontitleLineType FLineType = pcltNon;
};
