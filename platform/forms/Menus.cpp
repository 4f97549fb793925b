#include "forms/Menus.h"

#include <algorithm>
#include <map>

#include "forms/ActnList.h"
#include "forms/Forms.h"
#include "forms/Graphics.h"

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

const AnsiString& TMenuItem::Caption() const { return FAction && FCaption.empty() ? FAction->Caption : FCaption; }

bool TMenuItem::Enabled() const { return FAction ? FAction->Enabled : FEnabled; }

bool TMenuItem::Checked() const { return FAction ? FAction->Checked : FChecked; }

int TMenuItem::ImageIndex() const { return FAction ? FAction->ImageIndex : -1; }

void TMenuItem::SetAction(TAction* Value) {
  if (FAction) FAction->RemoveFreeNotification(this);
  FAction = Value;
  if (Value) Value->FreeNotification(this);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAction) FAction = nullptr;
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
  if (FAction)
    FAction->Execute();
  else if (FEnabled && OnClick)
    OnClick(this);
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

namespace {

// The image on the menu's own background, for an item's bitmap.
HBITMAP MenuImage(TImageList* Images, int Index) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), Images->Width(), -Images->Height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, Images->Width(), Images->Height()};
  FillRect(dc, &all, GetSysColorBrush(COLOR_MENU));
  ImageList_Draw(Images->Handle(), Index, dc, 0, 0, ILD_NORMAL);
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

}  // namespace

void TMenuItem::AppendTo(HMENU Menu, TImageList* Images, std::vector<HBITMAP>* Bitmaps) {
  for (TMenuItem* Item : FItems) {
    if (!Item->FVisible) continue;
    Item->FMenuHandle = Menu;
    UINT Flags = (Item->Enabled() ? MF_ENABLED : MF_GRAYED) | (Item->Checked() ? MF_CHECKED : 0);
    AnsiString Caption = Item->Caption();
    if (Item->FAction && Item->FAction->ShortCut) Caption += "\t" + ShortCutToText(Item->FAction->ShortCut);
    if (Caption == "-") {
      AppendMenuA(Menu, MF_SEPARATOR, 0, nullptr);
    } else if (Item->Count()) {
      HMENU Sub = CreatePopupMenu();
      Item->AppendTo(Sub, Images, Bitmaps);
      AppendMenuA(Menu, Flags | MF_POPUP, reinterpret_cast<UINT_PTR>(Sub), Caption.c_str());
    } else {
      AppendMenuA(Menu, Flags | MF_STRING, Item->FCommand, Caption.c_str());
      if (Images && Bitmaps && Item->ImageIndex() >= 0 && Item->ImageIndex() < Images->Count()) {
        Bitmaps->push_back(MenuImage(Images, Item->ImageIndex()));
        MENUITEMINFOA Info{};
        Info.cbSize = sizeof(Info);
        Info.fMask = MIIM_BITMAP;
        Info.hbmpItem = Bitmaps->back();
        SetMenuItemInfoA(Menu, Item->FCommand, FALSE, &Info);
      }
    }
  }
}

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {}

TMenu::~TMenu() { delete FItems; }

void TPopupMenu::Popup(int X, int Y) {
  if (OnPopup) OnPopup(this);
  HMENU Menu = CreatePopupMenu();
  std::vector<HBITMAP> Bitmaps;
  Items()->AppendTo(Menu, Images, &Bitmaps);
  TCustomForm* Form = Screen->ActiveForm();
  HWND Owner = Form ? Form->Handle() : Application->Handle();
  UINT Command = TrackPopupMenu(Menu, TPM_LEFTALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0,
                                Owner, nullptr);
  DestroyMenu(Menu);
  for (HBITMAP Bitmap : Bitmaps) DeleteObject(Bitmap);
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
