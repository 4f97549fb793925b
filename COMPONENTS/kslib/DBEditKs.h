// The data-aware edit control: a single-line edit bound to one field of a
// dataset through a field data link, or keeping its own value when bound to
// nothing. Around the text it carries a strip of edit buttons, an optional
// image on the left, a drop-down of recently used values and a dotted red
// underline that marks a required field.
#pragma once

#include <functional>
#include <vector>

#include "COMPONENTS/kslib/FieldDataLinkKs.h"
#include "COMPONENTS/kslib/PopupCtrlsKs.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "forms/Mask.h"

// What a control offers that hosts a data-aware edit as its in-place editor.
class IInplaceEditHolderKs {
 public:
  // False turns the editor read-only.
  virtual bool InplaceEditCanModify(TControl* Sender) = 0;
  // The screen point and time of the holder's last mouse press.
  virtual void GetMouseDownInfo(POINT& Pos, DWORD& Time) = 0;
  // Sees the editor's messages first; true ends their handling.
  virtual bool InplaceEditWndProc(TControl* Sender, TMessage& Message) = 0;
  virtual void InplaceEditKeyDown(TControl* Sender, uint16_t& Key, TShiftState Shift) = 0;
  virtual void InplaceEditKeyPress(TControl* Sender, char& Key) = 0;
  virtual void InplaceEditKeyUp(TControl* Sender, uint16_t& Key, TShiftState Shift) = 0;

 protected:
  ~IInplaceEditHolderKs() = default;
};

using TCheckDrawRequiredStateEventKs = std::function<void(TObject* Sender, bool& DrawState)>;
using TGetImageIndexEventKs = std::function<void(TObject* Sender, int& ImageIndex)>;
using TUpdateDataEventKs = std::function<void(TObject* Sender, bool& Handled)>;

class TCustomDBEditKs;

// The one-pixel line before a button of a flat editor.
class TEditButtonSeparatorKs : public TGraphicControl {
 public:
  explicit TEditButtonSeparatorKs(TCustomDBEditKs* Editor);

 protected:
  void Paint() override;

 private:
  TCustomDBEditKs* FEditor;
};

class TCustomDBEditKs : public TCustomMaskEdit {
 public:
  explicit TCustomDBEditKs(TComponent* AOwner);
  ~TCustomDBEditKs() override;

  // The text; writing it commits it as a value (bound: into the field).
  void SetText(const AnsiString& Value) override;
  // The value: the text as a string (the combo box in key mode: the key).
  Variant Value() { return GetVariantValue(); }
  void SetValue(const Variant& Value) { AssignValue(Value); }
  // Reads the value again and selects all.
  void Reset() override;

  TFieldDataLinkKs* DataLink() const { return FDataLink; }
  const AnsiString& DataField() const { return FDataLink->FieldName(); }
  virtual void SetDataField(const AnsiString& Value);
  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  virtual void SetDataSource(TDataSource* Value);
  TField* Field() const { return FDataLink->Field(); }

  // The field's alignment until set here.
  TAlignment Alignment();
  void SetAlignment(TAlignment Value);
  bool AlwaysShowBorder() const { return FAlwaysShowBorder; }
  void SetAlwaysShowBorder(bool Value);
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  bool AutoSize() const { return FAutoSize; }
  virtual void SetAutoSize(bool Value);
  // The field's mask until set here.
  void SetEditMask(const AnsiString& Value);
  TEditButtonKs* EditButton() const { return FEditButton; }
  void SetEditButton(TEditButtonKs* Value) { FEditButton->Assign(Value); }
  TEditButtonsKs* EditButtons() const { return FEditButtons; }
  void SetEditButtons(TEditButtonsKs* Value) { FEditButtons->Assign(Value); }
  TEditImageKs* EditImage() const { return FEditImage; }
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  bool HighlightRequired() const { return FHighlightRequired; }
  void SetHighlightRequired(bool Value);
  TImageList* Images() const { return FEditImage->Images(); }
  // Also shows the edit image.
  void SetImages(TImageList* Value);
  TMRUListKs* MRUList() const { return FMRUList; }
  void SetMRUList(TMRUListKs* Value) { FMRUList->Assign(Value); }
  TMRUListboxKs* MRUListbox() const { return FMRUListbox; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  // A drop-down of the control is open.
  bool DroppedDown() const { return FDroppedDown; }
  // Set on enter, cleared on exit.
  bool IsFocused() const { return FFocused; }

  // The text area: the client area less the buttons and the image (right
  // to left, the buttons at the left and the image at the right).
  RECT CalcEditRect();
  // Right to left, when the field (if any) keeps its text to the left.
  bool UseRightToLeftAlignment() override;
  int ButtonWidth() const { return FButtonWidth; }
  // Without a holder the bounds; with one, the window is moved (an empty
  // rectangle hides it).
  void SetBoundsWithButtons(const RECT& Rect);
  void SetVisible(bool Value) override;
  TWinControl* InplaceEditHolder() const { return FInplaceHolder; }
  // The holder must offer IInplaceEditHolderKs.
  void SetInplaceEditHolder(TWinControl* Value);
  // The controls showing the buttons: the main one first.
  TEditButtonControlKs* ButtonControl(int Index) const { return FButtonControls[Index].Button; }
  int ButtonControlCount() const { return static_cast<int>(FButtonControls.size()); }
  bool BorderActive() const { return FBorderActive; }
  void WndProc(TMessage& Message) override;

  // The operations a holder or the grid calls, which the combo box refines.
  virtual bool IsDataLinkActive();
  virtual bool IsDataIndependent();
  virtual void InternalSetText(const AnsiString& AText);
  virtual void InternalSetValue(const Variant& AValue);
  virtual void AssignValue(const Variant& AValue);
  // Stores the control's value into the link.
  virtual void UpdateData();
  virtual void CommitValue();
  virtual void DropDown();
  virtual void CloseUp(bool Accept);

  TButtonClickEventKs OnButtonClick;
  TButtonDownEventKs OnButtonDown;
  TUpdateDataEventKs OnUpdateData;
  TGetImageIndexEventKs OnGetImageIndex;
  TCheckDrawRequiredStateEventKs OnCheckDrawRequiredState;

 protected:
  virtual TFieldDataLinkKs* CreateDataLink();
  virtual TEditButtonKs* CreateEditButton();
  virtual TEditButtonControlKs* CreateEditButtonControl(TEditButtonKs* Button);
  virtual TEditButtonsKs* CreateEditButtons();
  virtual TEditImageKs* CreateEditImage();
  virtual TMRUListboxKs* CreateMRUListbox();
  virtual TAlignment DefaultAlignment();
  virtual AnsiString DefaultEditMask();
  virtual int DefaultImageIndex();
  virtual AnsiString GetDisplayTextForPaintCopy();
  virtual Variant GetVariantValue();
  virtual bool IsValidChar(char Key);
  virtual void ActiveChanged();
  virtual void AdjustHeight();
  virtual void ButtonDown(bool IsDownButton);
  virtual void DataChanged();
  virtual void EditButtonClick(TObject* Sender);
  virtual void EditButtonMouseDown(TObject* Sender, bool TopButton, bool& AutoRepeat,
                                   bool& Handled);
  virtual void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  virtual void EditButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                 int Y);
  virtual void EditingChanged();
  virtual void UpdateMRUListRows();
  virtual void DrawRequiredState(HDC DC);
  virtual void ResetMaxLength();
  virtual void SetFocused(bool Value);
  virtual void UpdateReadOnly();
  virtual void UpdateHeight();
  virtual void UpdateImageIndex();
  virtual void UserTextChanged();

  // The control's own handling of a message, after the holder, the open
  // MRU list and the mouse over the buttons had theirs.
  virtual void EditWndProc(TMessage& Message);
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void Change() override;
  // Puts the link into editing.
  bool EditCanModify() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  void Resize() override;
  void MouseEnter() override;
  void MouseLeave() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The button of a control of the strip (its tag is its index).
  TEditButtonKs* ButtonOf(TObject* Control);
  TEditButtonControlKs* MainButtonControl() const {
    return FButtonControls.empty() ? nullptr : FButtonControls[0].Button;
  }
  bool MRUListOpen() const { return FMRUList->DroppedDown(); }
  // Gives a drop-down list the control's colour, font and reading order;
  // answers Align, mirrored right to left (the list opens from the right).
  TDropDownAlign PrepareDropDown(TPopupListboxKs* List, TDropDownAlign Align);
  // Sets the text without treating it as the user's typing.
  void SetEditText(const AnsiString& Value);
  // The constructor makes the main button with this class's CreateEditButton;
  // a descendant with its own kind of main button calls this in its own.
  void RecreateEditButton();
  // A character: the key-press handling, then the edit unless dropped;
  // true when the edit got it.
  bool HandleChar(TMessage& Message);
  void MRUListCloseUp(bool Accept);
  bool InUpdateData() const { return FInUpdateData; }
  IInplaceEditHolderKs* Holder() const { return FHolder; }
  bool FDroppedDown = false, FDroppedByMouse = false;

 private:
  friend class TEditButtonSeparatorKs;
  struct TButtonPair {
    TEditButtonSeparatorKs* Line;
    TEditButtonControlKs* Button;
  };
  void SetTextValue(const std::function<void()>& SetIt);
  void LinkUpdateData();
  void UpdateEditButtons();
  void UpdateEditRect();
  void UpdateImageWidth();
  void UpdateBorderState();
  void MRUListDropDown();
  bool UseStandardPaint();
  void PaintCustom(HDC DC);
  void PaintOverlay(HDC DC);
  void PaintFlatBorder();
  void InvalidateRequiredRow();
  bool OverButtonsOrImage(POINT Client);
  bool HandleMRUKeys(TMessage& Message);

  TFieldDataLinkKs* FDataLink = nullptr;
  TEditButtonKs* FEditButton = nullptr;
  TEditButtonsKs* FEditButtons = nullptr;
  TEditImageKs* FEditImage = nullptr;
  TMRUListKs* FMRUList = nullptr;
  TMRUListboxKs* FMRUListbox = nullptr;
  std::vector<TButtonPair> FButtonControls;
  TWinControl* FInplaceHolder = nullptr;
  IInplaceEditHolderKs* FHolder = nullptr;
  TAlignment FAlignment = taLeftJustify;
  bool FAlignmentSet = false, FEditMaskSet = false;
  bool FAlwaysShowBorder = false, FAutoSelect = true, FAutoSize = true, FFlat = false;
  bool FHighlightRequired = false, FReadOnly = false, FWantTabs = false, FWantReturns = false;
  bool FWordWrap = false, FBorderActive = false, FFocused = false;
  bool FInUpdateData = false, FSettingText = false, FUpdatingButtons = false;
  int FButtonWidth = 0, FImageWidth = 0;
  DWORD FFontMargins = 0;
};

// The same, as forms use it.
class TDBEditKs : public TCustomDBEditKs {
 public:
  using TCustomDBEditKs::TCustomDBEditKs;
};
