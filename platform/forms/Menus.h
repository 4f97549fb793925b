// Menu items, the popup menu and the form's main menu over Win32 menus.
#pragma once

#include <windows.h>

#include <vector>

#include "rtl/Classes.h"

class TAction;
class TImageList;

// An item bound to an action shows the action's state, shortcut, image
// and, unless it has its own, caption; its click executes the action.
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;
  const AnsiString& Caption() const;
  void SetCaption(const AnsiString& Value) { FCaption = Value; }
  bool Enabled() const;
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }
  bool Checked() const;
  // Also checks the item of the menu bar it was put in.
  void SetChecked(bool Value);
  TAction* Action() const { return FAction; }
  void SetAction(TAction* Value);
  int ImageIndex() const;
  void Add(TMenuItem* Item);
  void Remove(TMenuItem* Item);
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int Index) const { return FItems[Index]; }
  TMenuItem* Parent() const { return FParent; }
  UINT Command() const { return FCommand; }
  virtual void Click();
  // Appends the visible sub-items to a Win32 menu, with their images when
  // a list is given; the bitmaps made for them are added to Bitmaps.
  void AppendTo(HMENU Menu, TImageList* Images = nullptr, std::vector<HBITMAP>* Bitmaps = nullptr);
  static TMenuItem* FindCommand(UINT Command);

  TNotifyEvent OnClick;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TAction* FAction = nullptr;
  AnsiString FCaption;
  bool FEnabled = true, FVisible = true, FChecked = false;
  std::vector<TMenuItem*> FItems;
  TMenuItem* FParent = nullptr;
  UINT FCommand;
  HMENU FMenuHandle = nullptr;
};

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;
  TMenuItem* Items() { return FItems; }

 private:
  TMenuItem* FItems;
};

class TPopupMenu : public TMenu {
 public:
  using TMenu::TMenu;
  // Shows the menu at a screen point and runs the chosen item's click.
  virtual void Popup(int X, int Y);
  // Whether a right click pops it up by itself; the control that did.
  bool AutoPopup = true;
  TComponent* PopupComponent = nullptr;
  TImageList* Images = nullptr;

  TNotifyEvent OnPopup;
};

class TMainMenu : public TMenu {
 public:
  using TMenu::TMenu;
  ~TMainMenu() override;
  // The menu bar, built from the items on first use.
  HMENU Handle();

 private:
  HMENU FHandle = nullptr;
};
