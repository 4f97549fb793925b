// The data-aware check box: a Boolean field directly, any other field by
// comparing its text with the ValueChecked and ValueUnchecked lists; a null
// field shows grayed. It paints itself with the button toolkit.
#pragma once

#include "COMPONENTS/kslib/DBEditKs.h"
#include "forms/StdCtrls.h"

class TCustomDBCheckBoxKs : public TButtonControl {
 public:
  explicit TCustomDBCheckBoxKs(TComponent* AOwner);
  ~TCustomDBCheckBoxKs() override;

  TFieldDataLinkKs* DataLink() const { return FDataLink; }
  const AnsiString& DataField() const { return FDataLink->FieldName(); }
  void SetDataField(const AnsiString& Value) { FDataLink->SetFieldName(Value); }
  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  void SetDataSource(TDataSource* Value);
  TField* Field() const { return FDataLink->Field(); }

  // taRightJustify: the caption right of the box; taLeftJustify: left of it.
  TLeftRight Alignment() const { return FAlignment; }
  void SetAlignment(TLeftRight Value);
  // A click steps through the grayed state too.
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
  bool AlwaysShowBorder() const { return FAlwaysShowBorder; }
  void SetAlwaysShowBorder(bool Value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  bool ReadOnly() const { return FDataLink->ReadOnly(); }
  void SetReadOnly(bool Value) { FDataLink->SetReadOnly(Value); }
  TCheckBoxState State() const { return FState; }
  // Bound, the dataset is put into edit and the field takes the state.
  void SetState(TCheckBoxState Value);
  virtual bool Checked() { return FState == cbChecked; }
  virtual void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  // ";"-separated texts that mean checked and unchecked.
  const AnsiString& ValueChecked() const { return FValueChecked; }
  void SetValueChecked(const AnsiString& Value);
  const AnsiString& ValueUnchecked() const { return FValueUnchecked; }
  void SetValueUnchecked(const AnsiString& Value);
  void WndProc(TMessage& Message) override;

  TUpdateDataEventKs OnUpdateData;

 protected:
  virtual bool IsDataIndependent() { return FDataLink->DataIndependent(); }
  virtual void DrawCaption(HDC DC, RECT Rect, bool Focused);
  virtual void DrawCheckBox(HDC DC, const RECT& Rect, TCheckBoxState AState, bool Pressed,
                            bool Focused, bool Active);
  virtual void DrawCheckBoxAndCaption(const DRAWITEMSTRUCT& Item);
  virtual void InternalSetState(TCheckBoxState Value);
  virtual void StoreState();
  virtual void Toggle();
  virtual void UpdateData();
  void CreateParams(TCreateParams& Params) override;
  void KeyPress(char& Key) override;
  void DoExit() override;
  void MouseEnter() override;
  void MouseLeave() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TCheckBoxState StateOfValue();
  void DataChange();
  void LinkUpdateData();
  TFieldDataLinkKs* FDataLink;
  TLeftRight FAlignment = taRightJustify;
  bool FAllowGrayed = false, FAlwaysShowBorder = false, FClicking = false, FFlat = false;
  bool FModified = false, FInUpdateData = false;
  TCheckBoxState FState = cbUnchecked;
  AnsiString FValueChecked = "1", FValueUnchecked = "0";
};

class TDBCheckBoxKs : public TCustomDBCheckBoxKs {
 public:
  using TCustomDBCheckBoxKs::TCustomDBCheckBoxKs;
};
