// The data-aware combo box: the data-aware edit with a list of values shown
// in a popup list box. In text mode (no KeyItems) the text is free and
// typing completes it from Items; in key mode the value is the key of the
// chosen item (entry i of Items is shown, entry i of KeyItems stored) and
// typing searches Items.
#pragma once

#include "COMPONENTS/kslib/DBEditKs.h"

// The drop-down settings of a combo box.
class TDropDownBoxKs : public TPersistent {
 public:
  void Assign(TPersistent* Source) override;
  TDropDownAlign Align() const { return FAlign; }
  void SetAlign(TDropDownAlign Value) { FAlign = Value; }
  // The list opens as soon as a character is typed.
  bool AutoDrop() const { return FAutoDrop; }
  void SetAutoDrop(bool Value) { FAutoDrop = Value; }
  int Rows() const { return FRows; }
  void SetRows(int Value) { FRows = Value; }
  // The list shows its size grip.
  bool Sizable() const { return FSizable; }
  void SetSizable(bool Value) { FSizable = Value; }
  // 0: the control's width; -1: the widest item.
  int Width() const { return FWidth; }
  void SetWidth(int Value) { FWidth = Value; }

 private:
  TDropDownAlign FAlign = daLeft;
  bool FAutoDrop = false, FSizable = false;
  int FRows = 7, FWidth = 0;
};

using TNotInListEventKs =
    std::function<void(TObject* Sender, const AnsiString& NewText, bool& RecheckInList)>;
using TClosingEventKs = std::function<void(TObject* Sender, bool& Accept)>;
// Makes the popup list box of a combo box.
using TPopupListboxClassKs = std::function<TPopupListboxKs*(TComponent* AOwner)>;

class TCustomDBComboBoxKs : public TCustomDBEditKs {
 public:
  explicit TCustomDBComboBoxKs(TComponent* AOwner);
  ~TCustomDBComboBoxKs() override;

  TDropDownBoxKs* DropDownBox() const { return FDropDownBox; }
  void SetDropDownBox(TDropDownBoxKs* Value) { FDropDownBox->Assign(Value); }
  TStrings* Items() const { return FItems; }
  void SetItems(TStrings* Value) { FItems->Assign(Value); }
  TStrings* KeyItems() const { return FKeyItems; }
  void SetKeyItems(TStrings* Value) { FKeyItems->Assign(Value); }
  int ItemIndex() const { return FItemIndex; }
  // Chooses an item (bound: the dataset is put into edit) and commits it.
  void SetItemValue(int Index);
  // The key of the chosen item; Null when none.
  const Variant& KeyValue() const { return FKeyValue; }
  bool KeyMode() const { return FKeyMode; }
  // Items shown: the count of Items, in key mode no more than KeyItems has.
  int ItemCount() const { return FItemCount; }
  bool ListVisible() const { return FListVisible; }
  // Created on first use.
  TPopupListboxKs* PopupListbox();
  void ShowListBox() { DropDown(); }
  // Key mode: the value becomes Null.
  void Clear();

  void InternalSetText(const AnsiString& AText) override;
  void InternalSetValue(const Variant& AValue) override;
  void UpdateData() override;
  void CommitValue() override;
  void DropDown() override;
  void CloseUp(bool Accept) override;
  virtual bool LocateText(const AnsiString& AText, bool Partial);
  virtual bool ProcessSearchKey(const AnsiString& Key);
  virtual int FillItems();

  TNotInListEventKs OnNotInList;
  TCloseUpEventKs OnCloseUp;
  // Before a choice is taken; may refuse it.
  TClosingEventKs OnClosing;
  TNotifyEvent OnDropDown;
  TGetItemImageIndexEventKs OnGetItemImageIndex;
  // Items is empty and about to be used.
  TNotifyEvent OnItemsNeeded;
  // When set, the popup list box is made by it.
  TPopupListboxClassKs ListboxClass;

 protected:
  TEditButtonKs* CreateEditButton() override;
  TAlignment DefaultAlignment() override;
  int DefaultImageIndex() override { return FImageIndex; }
  AnsiString GetDisplayTextForPaintCopy() override;
  Variant GetVariantValue() override;
  bool IsValidChar(char Key) override;
  void ButtonDown(bool IsDownButton) override;
  void DataChanged() override;
  void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) override;
  void ResetMaxLength() override;
  void UpdateReadOnly() override;
  void UpdateImageIndex() override;
  void Change() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void EditWndProc(TMessage& Message) override;
  // The previous or the next item.
  void SelectNextItem(bool Up);

 private:
  void ItemsChanged(bool Keys);
  void SyncToText();
  void SetItemIndex(int Index);
  void ListFollows();
  void AfterChar(char Char);
  bool HandleKeyModeMouse(TMessage& Message);
  bool IsListKey(TMessage& Message);
  TDropDownBoxKs* FDropDownBox;
  TStringList* FItems;
  TStringList* FKeyItems;
  TPopupListboxKs* FListbox = nullptr;
  int FItemIndex = -1, FItemCount = 0, FImageIndex = -1;
  bool FKeyMode = false, FListVisible = false;
  Variant FKeyValue = Variant::Null();
};

class TDBComboBoxKs : public TCustomDBComboBoxKs {
 public:
  using TCustomDBComboBoxKs::TCustomDBComboBoxKs;
};
