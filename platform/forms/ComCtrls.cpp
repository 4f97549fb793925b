#include "forms/ComCtrls.h"

#include <algorithm>

#include <commctrl.h>

namespace {

void InitCommonControls(DWORD Classes) {
  INITCOMMONCONTROLSEX Init{sizeof Init, Classes};
  InitCommonControlsEx(&Init);
}

}  // namespace

// --- TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) { FVisible = false; }

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* Value) {
  if (FPageControl == Value) return;
  if (FPageControl) FPageControl->RemovePage(this);
  FPageControl = Value;
  SetParent(Value);
  if (Value) Value->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (!FPageControl) return -1;
  auto& Pages = FPageControl->FPages;
  return static_cast<int>(std::find(Pages.begin(), Pages.end(), this) - Pages.begin());
}

void TTabSheet::SetTabVisible(bool Value) {
  if (FTabVisible == Value) return;
  FTabVisible = Value;
  if (!FPageControl) return;
  if (!Value && FPageControl->FActivePage == this) {
    TTabSheet* Next = nullptr;
    for (TTabSheet* Page : FPageControl->FPages)
      if (Page->FTabVisible) {
        Next = Page;
        break;
      }
    FPageControl->SetActivePage(Next);
  }
  FPageControl->UpdateTabs();
}

void TTabSheet::SetText(const AnsiString& Value) {
  TWinControl::SetText(Value);
  if (FPageControl) FPageControl->UpdateTabs();
}

// --- TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
  InitCommonControls(ICC_TAB_CLASSES);
  FWidth = 289, FHeight = 193;
  SetTabStop(true);
}

// The pages are children and go with the control.
TPageControl::~TPageControl() {
  for (TTabSheet* Page : FPages) Page->FPageControl = nullptr;
  FPages.clear();
}

void TPageControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = WC_TABCONTROLA;
  Params.SystemClass = true;
}

void TPageControl::AfterCreateWnd() {
  UpdateTabs();
  PlacePages();
}

void TPageControl::Resize() {
  TWinControl::Resize();
  PlacePages();
}

void TPageControl::InsertPage(TTabSheet* Page) {
  FPages.push_back(Page);
  UpdateTabs();
  PlacePages();
  if (!FActivePage) SetActivePage(Page);
}

void TPageControl::RemovePage(TTabSheet* Page) {
  FPages.erase(std::find(FPages.begin(), FPages.end(), Page));
  if (FActivePage == Page) FActivePage = nullptr;
  UpdateTabs();
}

void TPageControl::UpdateTabs() {
  if (!FHandle) return;
  TabCtrl_DeleteAllItems(FHandle);
  int Tab = 0;
  for (TTabSheet* Page : FPages) {
    if (!Page->TabVisible()) continue;
    AnsiString Caption = Page->Text();
    TCITEMA Item{};
    Item.mask = TCIF_TEXT;
    Item.pszText = Caption.data();
    SendMessageA(FHandle, TCM_INSERTITEMA, Tab, reinterpret_cast<LPARAM>(&Item));
    if (Page == FActivePage) TabCtrl_SetCurSel(FHandle, Tab);
    ++Tab;
  }
  PlacePages();
}

RECT TPageControl::DisplayRect() {
  RECT R = ClientRect();
  if (FHandle) {
    TabCtrl_AdjustRect(FHandle, FALSE, &R);
  } else {
    R.left += 4, R.top += 24, R.right -= 4, R.bottom -= 4;
  }
  return R;
}

void TPageControl::PlacePages() {
  RECT R = DisplayRect();
  for (TTabSheet* Page : FPages) Page->SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top);
}

void TPageControl::SetActivePage(TTabSheet* Page) {
  if (Page && Page->PageControl() != this) return;
  FActivePage = Page;
  for (TTabSheet* Each : FPages) Each->SetVisible(Each == Page);
  if (FHandle) {
    int Tab = 0, Selected = -1;
    for (TTabSheet* Each : FPages) {
      if (!Each->TabVisible()) continue;
      if (Each == Page) Selected = Tab;
      ++Tab;
    }
    TabCtrl_SetCurSel(FHandle, Selected);
  }
}

void TPageControl::SelectNextPage(bool GoForward) {
  std::vector<TTabSheet*> Shown;
  for (TTabSheet* Page : FPages)
    if (Page->TabVisible()) Shown.push_back(Page);
  if (Shown.empty()) return;
  auto Count = static_cast<int>(Shown.size());
  auto At = static_cast<int>(std::find(Shown.begin(), Shown.end(), FActivePage) - Shown.begin());
  if (At == Count) At = GoForward ? Count - 1 : 0;
  TTabSheet* Next = Shown[(At + (GoForward ? 1 : Count - 1)) % Count];
  if (Next == FActivePage) return;
  HWND Focus = GetFocus();
  bool FocusInPage =
      FActivePage && FActivePage->HandleAllocated() && IsChild(FActivePage->Handle(), Focus);
  SetActivePage(Next);
  if (OnChange) OnChange(this);
  if (!FocusInPage) return;
  Next->SelectNext(nullptr, true, true);
  if (!IsChild(Next->Handle(), GetFocus())) SetFocus();
}

void TPageControl::WndProc(TMessage& Message) {
  if (Message.Msg == CM_DIALOGKEY && Message.WParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 &&
      FHandle && (GetFocus() == FHandle || IsChild(FHandle, GetFocus()))) {
    SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
    Message.Result = 1;
    return;
  }
  if (Message.Msg == CM_DIALOGCHAR && CanFocus()) {
    for (TTabSheet* Page : FPages) {
      if (!Page->TabVisible() || !IsAccel(static_cast<char>(Message.WParam), Page->Text()))
        continue;
      SetActivePage(Page);
      if (OnChange) OnChange(this);
      Message.Result = 1;
      return;
    }
  }
  if (Message.Msg == CN_NOTIFY) {
    if (reinterpret_cast<NMHDR*>(Message.LParam)->code == static_cast<UINT>(TCN_SELCHANGE)) {
      int Selected = TabCtrl_GetCurSel(FHandle);
      for (TTabSheet* Page : FPages) {
        if (!Page->TabVisible()) continue;
        if (Selected-- == 0) {
          SetActivePage(Page);
          break;
        }
      }
      if (OnChange) OnChange(this);
    }
    return;
  }
  TWinControl::WndProc(Message);
}

// --- TStatusBar

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {
  InitCommonControls(ICC_BAR_CLASSES);
  FWidth = 200, FHeight = 19;
  SetAlign(alBottom);
}

void TStatusBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = STATUSCLASSNAMEA;
  Params.SystemClass = true;
  Params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
}

void TStatusBar::AfterCreateWnd() {
  SendMessageA(FHandle, SB_SIMPLE, FSimplePanel, 0);
  SendMessageA(FHandle, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
}

void TStatusBar::SetSimplePanel(bool Value) {
  FSimplePanel = Value;
  if (FHandle) SendMessageA(FHandle, SB_SIMPLE, Value, 0);
}

void TStatusBar::SetSimpleText(const AnsiString& Value) {
  FSimpleText = Value;
  if (FHandle) {
    SendMessageA(FHandle, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
    UpdateWindow(FHandle);
  }
}

// --- TRichEdit

TRichEdit::TRichEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  static const HMODULE Library = LoadLibraryA("riched20.dll");
  (void)Library;
  FWidth = 185, FHeight = 89;
}

void TRichEdit::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  Params.WinClassName = "RichEdit20A";
  Params.Style = (Params.Style & ~ES_AUTOHSCROLL) | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
}

// --- TCustomTreeView

TCustomTreeView::TCustomTreeView(TComponent* AOwner) : TWinControl(AOwner) {
  InitCommonControls(ICC_TREEVIEW_CLASSES);
  FWidth = 121, FHeight = 97;
  SetTabStop(true);
  SetColor(clWindow);
}

void TCustomTreeView::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = WC_TREEVIEWA;
  Params.SystemClass = true;
  Params.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_BORDER;
}

HTREEITEM TCustomTreeView::AddChild(HTREEITEM Parent, const AnsiString& Text, LPARAM Data) {
  TVINSERTSTRUCTA Insert{};
  Insert.hParent = Parent ? Parent : TVI_ROOT;
  Insert.hInsertAfter = TVI_LAST;
  Insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  Insert.item.pszText = const_cast<char*>(Text.c_str());
  Insert.item.lParam = Data;
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&Insert)));
}

void TCustomTreeView::DeleteChildren(HTREEITEM Node) {
  while (HTREEITEM Child = FirstChild(Node)) TreeView_DeleteItem(Handle(), Child);
}

void TCustomTreeView::Clear() { TreeView_DeleteAllItems(Handle()); }

HTREEITEM TCustomTreeView::FirstChild(HTREEITEM Node) { return TreeView_GetChild(Handle(), Node); }

HTREEITEM TCustomTreeView::NextSibling(HTREEITEM Node) { return TreeView_GetNextSibling(Handle(), Node); }

HTREEITEM TCustomTreeView::ParentNode(HTREEITEM Node) { return TreeView_GetParent(Handle(), Node); }

AnsiString TCustomTreeView::NodeText(HTREEITEM Node) {
  char Text[1024] = "";
  TVITEMA Item{};
  Item.mask = TVIF_TEXT;
  Item.hItem = Node;
  Item.pszText = Text;
  Item.cchTextMax = sizeof Text;
  SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Item));
  return Text;
}

LPARAM TCustomTreeView::NodeData(HTREEITEM Node) {
  TVITEMA Item{};
  Item.mask = TVIF_PARAM;
  Item.hItem = Node;
  SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Item));
  return Item.lParam;
}

bool TCustomTreeView::HasChildren(HTREEITEM Node) {
  TVITEMA Item{};
  Item.mask = TVIF_CHILDREN;
  Item.hItem = Node;
  SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Item));
  return Item.cChildren != 0;
}

void TCustomTreeView::SetHasChildren(HTREEITEM Node, bool Value) {
  TVITEMA Item{};
  Item.mask = TVIF_CHILDREN;
  Item.hItem = Node;
  Item.cChildren = Value ? 1 : 0;
  SendMessageA(Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&Item));
}

void TCustomTreeView::Expand(HTREEITEM Node) { TreeView_Expand(Handle(), Node, TVE_EXPAND); }

bool TCustomTreeView::Expanded(HTREEITEM Node) {
  return TreeView_GetItemState(Handle(), Node, TVIS_EXPANDED) & TVIS_EXPANDED;
}

HTREEITEM TCustomTreeView::Selected() { return TreeView_GetSelection(Handle()); }

void TCustomTreeView::Select(HTREEITEM Node) { TreeView_SelectItem(Handle(), Node); }

void TCustomTreeView::BeginUpdate() {
  if (FUpdateCount++ == 0) SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
}

void TCustomTreeView::EndUpdate() {
  if (--FUpdateCount == 0) {
    SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
}

bool TCustomTreeView::CanExpand(HTREEITEM) { return true; }

void TCustomTreeView::Change(HTREEITEM Node) {
  if (OnChange) OnChange(this, Node);
}

void TCustomTreeView::WndProc(TMessage& Message) {
  if (Message.Msg == CN_NOTIFY) {
    auto* Notify = reinterpret_cast<NMTREEVIEWA*>(Message.LParam);
    switch (Notify->hdr.code) {
      case TVN_ITEMEXPANDINGA:
      case TVN_ITEMEXPANDINGW:
        Message.Result = Notify->action & TVE_EXPAND && !CanExpand(Notify->itemNew.hItem);
        return;
      case TVN_SELCHANGEDA:
      case TVN_SELCHANGEDW:
        Change(Notify->itemNew.hItem);
        return;
    }
  }
  TWinControl::WndProc(Message);
}
