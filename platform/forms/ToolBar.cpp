#include "forms/ToolBar.h"

#include <algorithm>

#include <commctrl.h>
#include <windowsx.h>

namespace {

int NextCommand = 1;

POINT PointOf(LPARAM Point) { return {GET_X_LPARAM(Point), GET_Y_LPARAM(Point)}; }

}  // namespace

// --- TToolButton

TToolButton::TToolButton(TComponent* AOwner) : TComponent(AOwner), FCommand(NextCommand++) {}

TToolButton::~TToolButton() { SetToolBar(nullptr); }

void TToolButton::SetToolBar(TToolBar* Value) {
  if (FToolBar == Value) return;
  if (FToolBar) {
    auto& List = FToolBar->FButtons;
    List.erase(std::find(List.begin(), List.end(), this));
    if (FToolBar->FDown == this) FToolBar->FDown = nullptr;
    FToolBar->UpdateButtons();
  }
  FToolBar = Value;
  if (Value) {
    Value->FButtons.push_back(this);
    Value->UpdateButtons();
  }
}

void TToolButton::SetCaption(const AnsiString& Value) {
  FCaption = Value;
  if (FToolBar) FToolBar->UpdateButtons();
}

void TToolButton::SetImageIndex(int Value) {
  FImageIndex = Value;
  if (FToolBar) FToolBar->UpdateButtons();
}

void TToolButton::SetDropdownMenu(TPopupMenu* Value) {
  FDropdownMenu = Value;
  if (FToolBar) FToolBar->UpdateButtons();
}

void TToolButton::SetEnabled(bool Value) {
  FEnabled = Value;
  if (FToolBar && FToolBar->HandleAllocated())
    SendMessageA(FToolBar->Handle(), TB_ENABLEBUTTON, FCommand, MAKELONG(Value, 0));
}

RECT TToolButton::BoundsRect() const {
  RECT R{};
  if (!FToolBar || !FToolBar->HandleAllocated()) return R;
  auto& List = FToolBar->FButtons;
  const WPARAM Index = std::find(List.begin(), List.end(), this) - List.begin();
  SendMessageA(FToolBar->Handle(), TB_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&R));
  return R;
}

void TToolButton::Click() {
  if (FDropdownMenu && FToolBar) {
    const RECT R = BoundsRect();
    POINT At{R.left, R.bottom};
    ClientToScreen(FToolBar->Handle(), &At);
    FDropdownMenu->Popup(At.x, At.y);
  }
  if (OnClick) OnClick(this);
}

// --- TToolBar

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) {
  INITCOMMONCONTROLSEX Init{sizeof Init, ICC_BAR_CLASSES};
  InitCommonControlsEx(&Init);
  FWidth = 150, FHeight = 29;
  SetAlign(alTop);
}

TToolBar::~TToolBar() {
  for (TToolButton* Button : FButtons) Button->FToolBar = nullptr;
}

void TToolBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = TOOLBARCLASSNAMEA;
  Params.SystemClass = true;
  Params.Style |= TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
}

void TToolBar::AfterCreateWnd() {
  SendMessageA(FHandle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  UpdateButtons();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) SetImages(nullptr);
}

void TToolBar::SetImages(TImageList* Value) {
  if (FImages == Value) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (Value) Value->FreeNotification(this);
  UpdateButtons();
}

void TToolBar::SetShowCaptions(bool Value) {
  if (FShowCaptions == Value) return;
  FShowCaptions = Value;
  UpdateButtons();
}

void TToolBar::SetButtonSize(int Width, int Height) {
  FButtonWidth = Width;
  FButtonHeight = Height;
  UpdateButtons();
}

void TToolBar::UpdateButtons() {
  if (!FHandle) return;
  while (SendMessageA(FHandle, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageA(FHandle, TB_DELETEBUTTON, 0, 0);
  SendMessageA(FHandle, TB_SETIMAGELIST, 0,
               reinterpret_cast<LPARAM>(FImages ? FImages->Handle() : nullptr));
  SendMessageA(FHandle, TB_SETBITMAPSIZE, 0,
               FImages ? MAKELONG(FImages->Width(), FImages->Height()) : MAKELONG(0, 0));
  // The room around an image shrinks for a button size that leaves less.
  int PadX = 7, PadY = 6;
  if (FImages && FButtonWidth > 0) PadX = std::clamp(FButtonWidth - FImages->Width(), 0, PadX);
  if (FImages && FButtonHeight > 0) PadY = std::clamp(FButtonHeight - FImages->Height(), 0, PadY);
  SendMessageA(FHandle, TB_SETPADDING, 0, MAKELPARAM(PadX, PadY));
  SendMessageA(FHandle, TB_SETBUTTONSIZE, 0, MAKELONG(FButtonWidth, FButtonHeight));
  std::vector<TBBUTTON> Items;
  for (TToolButton* Button : FButtons) {
    TBBUTTON Item{};
    Item.iBitmap = FImages ? Button->FImageIndex : I_IMAGENONE;
    Item.idCommand = Button->FCommand;
    Item.fsState = Button->FEnabled ? TBSTATE_ENABLED : 0;
    Item.fsStyle = Button->FDropdownMenu ? BTNS_WHOLEDROPDOWN : BTNS_BUTTON;
    Item.iString = FShowCaptions ? reinterpret_cast<INT_PTR>(Button->FCaption.c_str()) : -1;
    Items.push_back(Item);
  }
  SendMessageA(FHandle, TB_ADDBUTTONSA, Items.size(), reinterpret_cast<LPARAM>(Items.data()));
  SendMessageA(FHandle, TB_AUTOSIZE, 0, 0);
  if (Items.empty()) return;
  RECT R{};
  SendMessageA(FHandle, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&R));
  SetHeight(R.bottom + 2);
}

TToolButton* TToolBar::ButtonAt(LPARAM Point) const {
  POINT P = PointOf(Point);
  const LRESULT Index = SendMessageA(FHandle, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&P));
  if (Index < 0 || Index >= ButtonCount()) return nullptr;
  TToolButton* Button = FButtons[Index];
  return Button->FEnabled ? Button : nullptr;
}

TToolButton* TToolBar::ButtonOf(int Command) const {
  for (TToolButton* Button : FButtons)
    if (Button->FCommand == Command) return Button;
  return nullptr;
}

TToolButton* TToolBar::PressedButton() const {
  return FHandle && GetCapture() == FHandle ? FDown : nullptr;
}

void TToolBar::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (TToolButton* Button = ButtonOf(LOWORD(Message.WParam))) Button->Click();
      return;
    case CN_NOTIFY: {
      auto* Header = reinterpret_cast<NMHDR*>(Message.LParam);
      if (Header->code == TBN_DROPDOWN) {
        // A drop-down button is pressed: no click follows.
        if (TToolButton* Button = ButtonOf(reinterpret_cast<NMTOOLBARA*>(Message.LParam)->iItem))
          Button->Click();
        Message.Result = TBDDRET_DEFAULT;
        return;
      }
      if (Header->code != TBN_GETINFOTIPA) break;
      auto* Tip = reinterpret_cast<NMTBGETINFOTIPA*>(Message.LParam);
      TToolButton* Button = ButtonOf(Tip->iItem);
      if (Button && Tip->pszText && Tip->cchTextMax > 0)
        lstrcpynA(Tip->pszText, Button->FHint.c_str(), Tip->cchTextMax);
      return;
    }
    case WM_LBUTTONDOWN: {
      FDown = ButtonAt(Message.LParam);
      TWinControl::WndProc(Message);
      const POINT P = PointOf(Message.LParam);
      if (FDown && FDown->OnMouseDown)
        FDown->OnMouseDown(FDown, mbLeft, MouseShiftState(Message.WParam), P.x, P.y);
      return;
    }
    case WM_LBUTTONUP: {
      // Released first, then clicked by the control.
      const POINT P = PointOf(Message.LParam);
      if (TToolButton* Button = FDown; Button && Button->OnMouseUp)
        Button->OnMouseUp(Button, mbLeft, MouseShiftState(Message.WParam), P.x, P.y);
      FDown = nullptr;
      break;
    }
    default:
      break;
  }
  TWinControl::WndProc(Message);
}
