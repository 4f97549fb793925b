#include "forms/Menus.h"

#include <algorithm>
#include <map>

#include "forms/Forms.h"

namespace {

std::map<UINT, TMenuItem*>& Commands() {
  static std::map<UINT, TMenuItem*> Map;
  return Map;
}

}  // namespace

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {
  static UINT Next = 1;
  FCommand = Next++;
  Commands()[FCommand] = this;
}

TMenuItem::~TMenuItem() {
  Commands().erase(FCommand);
  if (FParent) FParent->Remove(this);
  for (TMenuItem* Item : FItems) Item->FParent = nullptr;
}

void TMenuItem::Add(TMenuItem* Item) {
  if (Item->FParent) Item->FParent->Remove(Item);
  Item->FParent = this;
  FItems.push_back(Item);
}

void TMenuItem::Remove(TMenuItem* Item) {
  FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end());
  Item->FParent = nullptr;
}

void TMenuItem::Click() {
  if (FEnabled && OnClick) OnClick(this);
}

TMenuItem* TMenuItem::FindCommand(UINT Command) {
  auto It = Commands().find(Command);
  return It == Commands().end() ? nullptr : It->second;
}

void TMenuItem::SetChecked(bool Value) {
  FChecked = Value;
  if (FMenuHandle && IsMenu(FMenuHandle))
    CheckMenuItem(FMenuHandle, FCommand, MF_BYCOMMAND | (Value ? MF_CHECKED : MF_UNCHECKED));
}

void TMenuItem::AppendTo(HMENU Menu) {
  for (TMenuItem* Item : FItems) {
    if (!Item->FVisible) continue;
    Item->FMenuHandle = Menu;
    UINT Flags = (Item->FEnabled ? MF_ENABLED : MF_GRAYED) | (Item->FChecked ? MF_CHECKED : 0);
    if (Item->FCaption == "-") {
      AppendMenuA(Menu, MF_SEPARATOR, 0, nullptr);
    } else if (Item->Count()) {
      HMENU Sub = CreatePopupMenu();
      Item->AppendTo(Sub);
      AppendMenuA(Menu, Flags | MF_POPUP, reinterpret_cast<UINT_PTR>(Sub), Item->FCaption.c_str());
    } else {
      AppendMenuA(Menu, Flags | MF_STRING, Item->FCommand, Item->FCaption.c_str());
    }
  }
}

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {}

TMenu::~TMenu() { delete FItems; }

void TPopupMenu::Popup(int X, int Y) {
  if (OnPopup) OnPopup(this);
  HMENU Menu = CreatePopupMenu();
  Items()->AppendTo(Menu);
  TCustomForm* Form = Screen->ActiveForm();
  HWND Owner = Form ? Form->Handle() : Application->Handle();
  UINT Command = TrackPopupMenu(Menu, TPM_LEFTALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0,
                                Owner, nullptr);
  DestroyMenu(Menu);
  if (TMenuItem* Item = Command ? TMenuItem::FindCommand(Command) : nullptr) Item->Click();
}

TMainMenu::~TMainMenu() {
  if (FHandle) DestroyMenu(FHandle);
}

HMENU TMainMenu::Handle() {
  if (!FHandle) {
    FHandle = CreateMenu();
    Items()->AppendTo(FHandle);
  }
  return FHandle;
}
