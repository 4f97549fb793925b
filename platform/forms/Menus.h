// Menu items, the popup menu and the form's main menu over Win32 menus.
#pragma once

#include <windows.h>

#include <vector>

#include "rtl/Classes.h"

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& Value) { FCaption = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }
  bool Checked() const { return FChecked; }
  // Also checks the item of the menu bar it was put in.
  void SetChecked(bool Value);
  void Add(TMenuItem* Item);
  void Remove(TMenuItem* Item);
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int Index) const { return FItems[Index]; }
  TMenuItem* Parent() const { return FParent; }
  UINT Command() const { return FCommand; }
  virtual void Click();
  // Appends the visible sub-items to a Win32 menu.
  void AppendTo(HMENU Menu);
  static TMenuItem* FindCommand(UINT Command);

  TNotifyEvent OnClick;

 private:
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
