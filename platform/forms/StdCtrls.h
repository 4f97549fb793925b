// Standard controls: label, button, check box, radio button, group box,
// edit and combo box; all but the label and group box are system controls.
#pragma once

#include "forms/Controls.h"

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* AOwner);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // Focused by Alt with the caption's accelerator.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);
  void WndProc(TMessage& Message) override;

 protected:
  void Paint() override;
  void AdjustSize() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  UINT DrawFlags() const;
  TWinControl* FFocusControl = nullptr;
  bool FAutoSize = true, FWordWrap = false, FTransparent = false;
  TAlignment FAlignment = taLeftJustify;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
};

class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* AOwner);

 protected:
  void CreateParams(TCreateParams& Params) override;
  // A CM_DIALOGCHAR with the caption's accelerator while the control can
  // take the focus: marked handled, for the control to act on.
  bool IsOwnAccel(TMessage& Message);
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* AOwner);
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  // Sets the form's modal result, then runs OnClick.
  void Click() override;
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  bool FDefault = false, FCancel = false;
  TModalResult FModalResult = mrNone;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
// The side of a check box's caption: taLeftJustify or taRightJustify.
using TLeftRight = TAlignment;

class TCustomCheckBox : public TButtonControl {
 public:
  explicit TCustomCheckBox(TComponent* AOwner);
  TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState Value);
  bool Checked() const { return FState == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  // A click steps to the next state.
  virtual void Toggle();

 private:
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
};

class TCheckBox : public TCustomCheckBox {
 public:
  using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TComponent* AOwner);
  bool Checked() const { return FChecked; }
  // Checking one unchecks the other radio buttons of the same parent.
  virtual void SetChecked(bool Value);
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;

 private:
  bool FChecked = false;
};

class TCustomGroupBox : public TCustomControl {
 public:
  explicit TCustomGroupBox(TComponent* AOwner);

 protected:
  void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
 public:
  using TCustomGroupBox::TCustomGroupBox;
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// The text in the letter case given, by the system's code page.
AnsiString ApplyCharCase(const AnsiString& Text, TEditCharCase CharCase);

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* AOwner);
  // The edit turns what is typed or set into the case; the text it holds
  // is turned at once.
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase Value);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  char PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  int SelStart();
  void SetSelStart(int Value);
  int SelLength();
  void SetSelLength(int Value);
  AnsiString SelText();
  void SelectAll();
  void Clear() { SetText(""); }
  bool Modified();
  void SetModified(bool Value);
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  virtual void Change();
  // Ctrl+A selects all; Shift+Ins pastes through WM_PASTE, as Ctrl+V does.
  void KeyDown(uint16_t& Key, TShiftState Shift) override;

 private:
  // The clipboard's text, kept to what the typing filter (OnKeyPress)
  // lets through.
  void PasteFiltered();
  int FMaxLength = 0;
  bool FReadOnly = false;
  char FPasswordChar = 0;
  TBorderStyle FBorderStyle = bsSingle;
  TEditCharCase FCharCase = ecNormal;
};

class TEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;
  TStrings* Items() { return FItems; }
  void SetItems(TStrings* Value) { FItems->Assign(Value); }
  int ItemIndex();
  void SetItemIndex(int Value);
  TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value);
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int Value);
  bool DroppedDown();
  void SetDroppedDown(bool Value);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  void SetText(const AnsiString& Value) override;
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnChange, OnSelect, OnDropDown, OnCloseUp;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void BeforeDestroyWnd() override;
  void UpdateWindowBounds() override;
  virtual void Change();
  virtual void Select();

 private:
  friend LRESULT CALLBACK ComboEditWindowProc(HWND, UINT, WPARAM, LPARAM);
  void ItemsChanged(TObject*);
  void FillList();
  int ItemHeight();
  TStringList* FItems;
  HWND FEditHandle = nullptr;
  WNDPROC FEditDefWndProc = nullptr;
  int FItemIndex = -1;
  TComboBoxStyle FStyle = csDropDown;
  int FDropDownCount = 8;
  int FMaxLength = 0;
};

class TComboBox : public TCustomComboBox {
 public:
  using TCustomComboBox::TCustomComboBox;
};

// A single-selection LISTBOX over its items; a click that changes the
// selection fires OnClick.
class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;
  TStrings* Items() { return FItems; }
  int ItemIndex();
  // -1 clears the selection.
  void SetItemIndex(int Value);
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;

 private:
  void FillList();
  TStringList* FItems;
  int FItemIndex = -1;
};

class TListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
};
