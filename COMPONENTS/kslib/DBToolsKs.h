// Data helpers of the button and popup toolkit that the data grid relies on:
// the variant equality test, the special-row settings of lookup lists, the
// fields named by a ";"-separated list, and the sorted list of the values
// one field takes in a dataset.
#pragma once

#include <vector>

#include "forms/Graphics.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
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
