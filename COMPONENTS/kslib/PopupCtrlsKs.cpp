#include "COMPONENTS/kslib/PopupCtrlsKs.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "rtl/AnsiText.h"

namespace {

// A popup shows over the form of the control that owns it.
HWND PopupOwnerWindow(TComponent* Owner) {
  auto* Control = dynamic_cast<TWinControl*>(Owner);
  return Control ? GetAncestor(Control->Handle(), GA_ROOT) : nullptr;
}

// The 3-D frame of a popup: the border width taken from the client area on
// each side (inside the styles' own frame), drawn as a raised outer and a
// raised inner edge.
bool HandlePopupFrame(TWinControl* Popup, TMessage& Message, int BorderWidth) {
  if (!BorderWidth || (Message.Msg != WM_NCCALCSIZE && Message.Msg != WM_NCPAINT)) return false;
  Popup->DefaultHandler(Message);
  if (Message.Msg == WM_NCCALCSIZE) {
    auto* Client = reinterpret_cast<RECT*>(Message.LParam);
    InflateRect(Client, -BorderWidth, -BorderWidth);
    return true;
  }
  HWND Wnd = Popup->Handle();
  HDC DC = GetWindowDC(Wnd);
  RECT R;
  GetWindowRect(Wnd, &R);
  OffsetRect(&R, -R.left, -R.top);
  DrawEdge(DC, &R, EDGE_RAISED, BF_RECT);
  ReleaseDC(Wnd, DC);
  return true;
}

RECT WorkAreaOf(const RECT& Rect) {
  MONITORINFO Info{};
  Info.cbSize = sizeof Info;
  GetMonitorInfoA(MonitorFromRect(&Rect, MONITOR_DEFAULTTONEAREST), &Info);
  return Info.rcWork;
}

}  // namespace

void MakePopupParams(TCreateParams& Params, TComponent* Owner, bool Ctl3D) {
  Params.Style &= ~(WS_CHILD | WS_VISIBLE | WS_TABSTOP);
  Params.Style |= WS_POPUP | WS_CLIPCHILDREN | (Ctl3D ? 0 : WS_BORDER);
  Params.ExStyle |= WS_EX_TOOLWINDOW;
  Params.WndParent = PopupOwnerWindow(Owner);
}

void ShowPopupAt(TWinControl* Popup, POINT Position) {
  SetWindowPos(Popup->Handle(), HWND_TOP, Position.x, Position.y, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

POINT AlignDropDownWindow(const RECT& R, TWinControl* DropDown, TDropDownAlign Align) {
  RECT A = WorkAreaOf(R);
  int H = DropDown->Height(), W = DropDown->Width();
  int EditorWidth = R.right - R.left;
  bool Above;
  if (R.bottom + H <= A.bottom) {
    Above = false;
  } else if (R.top - H >= A.top) {
    Above = true;
  } else {
    Above = R.top - A.top > A.bottom - R.bottom;
  }
  if (Above) {
    H = std::min<int>(H, R.top - A.top);
  } else {
    H = std::min<int>(H, A.bottom - R.bottom);
  }
  POINT P{R.left, 0};
  if (Align == daRight) {
    P.x -= W - EditorWidth;
  } else if (Align == daCenter) {
    P.x -= (W - EditorWidth) / 2;
  }
  W = std::min<int>(W, A.right - A.left);
  TSizeGripChangePosition Side;
  if (P.x + W > A.right) {
    P.x = A.right - W;
    Side = sgcpToLeft;
  } else if (P.x < A.left) {
    P.x = A.left;
    Side = sgcpToRight;
  } else {
    Side = Align == daRight ? sgcpToLeft : sgcpToRight;
  }
  DropDown->SetBounds(DropDown->Left(), DropDown->Top(), W, H);
  // A list snaps to whole rows; above the editor it ends at the editor's top.
  P.y = Above ? R.top - DropDown->Height() : R.bottom;
  DropDown->Perform(CM_SIZEGRIPCHANGEPOSITIONKS, Above ? sgcpToTop : sgcpToBottom);
  DropDown->Perform(CM_SIZEGRIPCHANGEPOSITIONKS, Side);
  return P;
}

POINT DropDownUnderControl(TControl* Control, TWinControl* DropDown, TDropDownAlign Align) {
  POINT TopLeft = Control->Parent()
                      ? Control->Parent()->ClientToScreen(POINT{Control->Left(), Control->Top()})
                      : Control->ClientToScreen(POINT{0, 0});
  RECT R{TopLeft.x, TopLeft.y, TopLeft.x + Control->Width(), TopLeft.y + Control->Height()};
  return AlignDropDownWindow(R, DropDown, Align);
}

// --- TSizeGripKs

TSizeGripKs::TSizeGripKs(TComponent* AOwner) : TCustomControl(AOwner) {
  FWidth = GetSystemMetrics(SM_CXVSCROLL);
  FHeight = GetSystemMetrics(SM_CYVSCROLL);
  SetColor(clBtnFace);
  SetCursor(crSizeNWSE);
}

void TSizeGripKs::SetPosition(TSizeGripPosition Value) {
  if (FPosition == Value) return;
  FPosition = Value;
  // The arrows point along the diagonal through the grip's corner.
  SetCursor(FPosition == sgpTopLeft || FPosition == sgpBottomRight ? crSizeNWSE : crSizeNESW);
  UpdateRegion();
  AlignSizeGrip();
  Invalidate();
}

void TSizeGripKs::SetTriangle(bool Value) {
  if (FTriangle == Value) return;
  FTriangle = Value;
  UpdateRegion();
  Invalidate();
}

void TSizeGripKs::ChangePosition(TSizeGripChangePosition Change) {
  static const TSizeGripPosition Moves[4][4] = {
      // from: top-left, top-right, bottom-right, bottom-left
      {sgpTopLeft, sgpTopLeft, sgpBottomLeft, sgpBottomLeft},        // to the left
      {sgpTopRight, sgpTopRight, sgpBottomRight, sgpBottomRight},    // to the right
      {sgpTopLeft, sgpTopRight, sgpTopRight, sgpTopLeft},            // to the top
      {sgpBottomLeft, sgpBottomRight, sgpBottomRight, sgpBottomLeft}  // to the bottom
  };
  SetPosition(Moves[Change][FPosition]);
}

void TSizeGripKs::AlignSizeGrip() {
  if (!Parent() || FAligning) return;
  FAligning = true;
  int X = OnRight() ? Parent()->ClientWidth() - Width() : 0;
  int Y = OnBottom() ? Parent()->ClientHeight() - Height() : 0;
  SetBounds(X, Y, Width(), Height());
  FAligning = false;
}

void TSizeGripKs::ShowSizeGripWindow(bool Show) {
  FVisible = Show;
  if (HandleAllocated()) ShowWindow(Handle(), Show ? SW_SHOW : SW_HIDE);
}

void TSizeGripKs::SetSizeGripFlag(bool Value) {
  SetVisible(Value);
  Invalidate();
}

void TSizeGripKs::AfterCreateWnd() { UpdateRegion(); }

void TSizeGripKs::WndProc(TMessage& Message) {
  TCustomControl::WndProc(Message);
  // A list box scrolls its children with its rows; the grip goes back.
  if (Message.Msg == WM_WINDOWPOSCHANGED) AlignSizeGrip();
}

void TSizeGripKs::UpdateRegion() {
  if (!HandleAllocated()) return;
  if (!FTriangle) {
    SetWindowRgn(Handle(), nullptr, TRUE);
    return;
  }
  int W = Width(), H = Height();
  POINT Corners[4] = {{0, 0}, {W, 0}, {W, H}, {0, H}};
  // The triangle leaves out the corner opposite to the grip's.
  static const int Opposite[4] = {2, 3, 0, 1};
  POINT Points[3];
  for (int I = 0, N = 0; I < 4; ++I)
    if (I != Opposite[FPosition]) Points[N++] = Corners[I];
  SetWindowRgn(Handle(), CreatePolygonRgn(Points, 3, WINDING), TRUE);
}

void TSizeGripKs::Paint() {
  TCanvas* C = Canvas();
  int W = Width(), H = Height();
  C->Brush()->SetColor(clBtnFace);
  C->FillRect(RECT{0, 0, W, H});
  // Lines from the grip's two inner edges, in the corner's orientation.
  auto X = [&](int V) { return OnRight() ? V : W - 1 - V; };
  auto Y = [&](int V) { return OnBottom() ? V : H - 1 - V; };
  static const TColor Colors[4] = {clBtnHighlight, clBtnShadow, clBtnShadow, clBtnFace};
  for (int I = 1; I < W; I += 4) {
    for (int J = 0; J < 4 && I + J < W; ++J) {
      C->Pen()->SetColor(Colors[J]);
      C->MoveTo(X(I + J), Y(H));
      C->LineTo(X(W), Y(I + J));
    }
  }
}

void TSizeGripKs::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Parent()) return;
  FDragging = true;
  FStartPoint = FLastPoint = ClientToScreen(POINT{X, Y});
  FStartBounds = Parent()->BoundsRect();
  FStartClientWidth = Parent()->ClientWidth();
  FStartClientHeight = Parent()->ClientHeight();
  SetCapture(Handle());
}

void TSizeGripKs::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  POINT P = ClientToScreen(POINT{X, Y});
  if (P.x == FLastPoint.x && P.y == FLastPoint.y) return;
  FLastPoint = P;
  RECT A{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &A, 0);
  RECT S = FStartBounds;
  int StartW = S.right - S.left, StartH = S.bottom - S.top;
  int Left = S.left, Top = S.top, W, H;
  if (OnRight()) {
    W = std::min<int>(StartW + P.x - FStartPoint.x, A.right - Left);
  } else {
    Left = std::max<int>(S.left + P.x - FStartPoint.x, A.left);
    W = S.right - Left;
  }
  if (OnBottom()) {
    H = std::min<int>(StartH + P.y - FStartPoint.y, A.bottom - Top);
  } else {
    Top = std::max<int>(S.top + P.y - FStartPoint.y, A.top);
    H = S.bottom - Top;
  }
  TWinControl* Owner = Parent();
  int OldClientWidth = Owner->ClientWidth(), OldClientHeight = Owner->ClientHeight();
  Owner->SetBounds(Left, Top, std::max(W, 0), std::max(H, 0));
  if ((Owner->ClientWidth() != OldClientWidth || Owner->ClientHeight() != OldClientHeight) &&
      OnParentResized)
    OnParentResized(this);
  AlignSizeGrip();
}

void TSizeGripKs::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!FDragging) return;
  FDragging = false;
  ReleaseCapture();
}

// --- TPopupListboxKs

TPopupListboxKs::TPopupListboxKs(TComponent* AOwner)
    : TWinControl(AOwner), FItems(new TStringList), FSizeGrip(new TSizeGripKs(this)) {
  FVisible = false;
  FWidth = 121, FHeight = 97;
  SetColor(clWindow);
  FItems->OnChange = [this](TObject*) { FillList(); };
  FSizeGrip->SetParent(this);
}

TPopupListboxKs::~TPopupListboxKs() {
  DestroyHandle();
  delete FItems;
}

void TPopupListboxKs::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = "LISTBOX";
  Params.SystemClass = true;
  MakePopupParams(Params, Owner(), FCtl3D);
  Params.Style |= WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
  Params.ExStyle |= WS_EX_TOPMOST;
}

void TPopupListboxKs::AfterCreateWnd() {
  SendMessageA(FHandle, LB_SETITEMHEIGHT, 0, FItemHeight);
  FillList();
  // The list never gets the focus; told it has it, it shows its selection
  // and keeps the focus where it is when clicked.
  SendMessageA(FHandle, WM_SETFOCUS, 0, 0);
  FSizeGrip->AlignSizeGrip();
}

void TPopupListboxKs::FillList() {
  if (!HandleAllocated()) return;
  SendMessageA(FHandle, WM_SETREDRAW, FALSE, 0);
  SendMessageA(FHandle, LB_RESETCONTENT, 0, 0);
  for (int I = 0; I < FItems->Count(); ++I)
    SendMessageA(FHandle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems->Strings(I).c_str()));
  SendMessageA(FHandle, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(FHandle, nullptr, TRUE);
  ContentChanged();
}

int TPopupListboxKs::ItemIndex() {
  return static_cast<int>(SendMessageA(Handle(), LB_GETCURSEL, 0, 0));
}

void TPopupListboxKs::SetItemIndex(int Value) {
  SendMessageA(Handle(), LB_SETCURSEL, Value, 0);
  ContentChanged();
}

int TPopupListboxKs::TopIndex() {
  return static_cast<int>(SendMessageA(Handle(), LB_GETTOPINDEX, 0, 0));
}

void TPopupListboxKs::SetTopIndex(int Value) {
  SendMessageA(Handle(), LB_SETTOPINDEX, std::max(Value, 0), 0);
  ContentChanged();
}

int TPopupListboxKs::ItemAtPos(POINT Point) {
  RECT Client = ClientRect();
  if (!PtInRect(&Client, Point)) return -1;
  LRESULT Hit = SendMessageA(Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(Point.x, Point.y));
  return HIWORD(Hit) ? -1 : LOWORD(Hit);
}

void TPopupListboxKs::SetItemHeight(int Value) {
  FItemHeight = Value;
  if (HandleAllocated()) SendMessageA(FHandle, LB_SETITEMHEIGHT, 0, Value);
}

int TPopupListboxKs::RowCount() {
  int Height = FItemHeight ? FItemHeight : ListboxTextHeight();
  return Height ? ClientHeight() / Height : 0;
}

void TPopupListboxKs::SetRowCount(int Rows) {
  SetHeight(FItemHeight * std::max(Rows, 1) + NonClientSize().cy);
}

int TPopupListboxKs::ListboxTextHeight() {
  TWindowDC DC;
  TSelectObject Font(DC.Get(), this->Font()->Handle());
  TEXTMETRICA Metrics{};
  GetTextMetricsA(DC.Get(), &Metrics);
  return Metrics.tmHeight;
}

void TPopupListboxKs::SetImages(TImageList* Value) {
  FImages = Value;
  if (Value) Value->FreeNotification(this);
  Invalidate();
}

void TPopupListboxKs::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

void TPopupListboxKs::SetCtl3D(bool Value) {
  if (FCtl3D == Value) return;
  FCtl3D = Value;
  RecreateWnd();
}

SIZE TPopupListboxKs::NonClientSize() {
  TCreateParams Params;
  CreateParams(Params);
  RECT Frame{0, 0, 0, 0};
  AdjustWindowRectEx(&Frame, Params.Style & ~WS_VSCROLL, FALSE, Params.ExStyle);
  return SIZE{Frame.right - Frame.left + 2 * BorderWidth(),
              Frame.bottom - Frame.top + 2 * BorderWidth()};
}

void TPopupListboxKs::ShowAt(POINT Position) {
  FVisible = true;
  ShowPopupAt(this, Position);
}

void TPopupListboxKs::Resize() {
  TWinControl::Resize();
  FSizeGrip->AlignSizeGrip();
  FSizedByUser = true;
  ContentChanged();
}

// Resizing keeps whole rows; a grip at the top keeps the bottom edge.
void TPopupListboxKs::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (AWidth < GetSystemMetrics(SM_CXVSCROLL) || AHeight < GetSystemMetrics(SM_CYVSCROLL)) {
    AWidth = Width();
    AHeight = Height();
  } else {
    int Frame = NonClientSize().cy;
    int Item = FItemHeight ? FItemHeight : ListboxTextHeight();
    int Snapped = Frame + std::max((AHeight - Frame) / Item, 1) * Item;
    bool GripOnTop = FSizeGrip->Position() == sgpTopLeft || FSizeGrip->Position() == sgpTopRight;
    if (GripOnTop) ATop += AHeight - Snapped;
    AHeight = Snapped;
  }
  TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TPopupListboxKs::Search(char Key) {
  DWORD Now = GetTickCount();
  if (Now - FSearchTime > 2000) FSearchText.clear();
  FSearchTime = Now;
  if (Key == VK_BACK || Key == VK_ESCAPE) {
    FSearchText.clear();
    return;
  }
  if (FSearchText.size() < 32) FSearchText += Key;
  SendMessageA(Handle(), LB_SELECTSTRING, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(FSearchText.c_str()));
  ContentChanged();
}

void TPopupListboxKs::DrawItem(const DRAWITEMSTRUCT& Item) {
  if (Item.itemID == static_cast<UINT>(-1)) return;
  HDC DC = Item.hDC;
  RECT R = Item.rcItem;
  bool Selected = Item.itemState & ODS_SELECTED;
  int Index = static_cast<int>(Item.itemID);
  TGdiHandle<HBRUSH> Back(CreateSolidBrush(ColorToRGB(Selected ? clHighlight : Color())));
  // Right to left the image stands at the right and the text ends left of it.
  bool Mirrored = UseRightToLeftAlignment();
  int ImageArea = FImages ? FImages->Width() + 4 : 0;
  RECT TextRect = R;
  if (FImages) {
    RECT Square = R;
    if (Mirrored) {
      Square.left = TextRect.right = R.right - ImageArea;
    } else {
      Square.right = TextRect.left = R.left + ImageArea;
    }
    FillRect(DC, &Square, Back.Get());
    int Image = Index;
    if (OnGetItemImageIndex) OnGetItemImageIndex(this, Index, Image);
    if (Image >= 0) DrawImageCentered(DC, Square, FImages, Image, Selected);
  }
  TSelectObject Font(DC, this->Font()->Handle());
  SetTextColor(DC, ColorToRGB(Selected ? clHighlightText : this->Font()->Color()));
  SetBkColor(DC, ColorToRGB(Selected ? clHighlight : Color()));
  AnsiString Text = Index < FItems->Count() ? FItems->Strings(Index) : AnsiString();
  int X = FImages ? R.left + FImages->Width() + 5 : R.left + 2;
  UINT Options = ETO_CLIPPED | ETO_OPAQUE;
  if (Mirrored) {
    SIZE Extent{};
    GetTextExtentPoint32A(DC, Text.c_str(), static_cast<int>(Text.size()), &Extent);
    X = TextRect.right - 2 - Extent.cx;
  }
  if (UseRightToLeftReading()) Options |= ETO_RTLREADING;
  ExtTextOutA(DC, X, R.top, Options, &TextRect, Text.c_str(), static_cast<UINT>(Text.size()),
              nullptr);
  if (Item.itemState & ODS_FOCUS) DrawFocusRect(DC, &TextRect);
}

void TPopupListboxKs::WndProc(TMessage& Message) {
  if (HandlePopupFrame(this, Message, BorderWidth())) return;
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;

    case CN_DRAWITEM:
      DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam));
      Message.Result = 1;
      return;
    case WM_MOUSEMOVE: {
      POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
      bool Buttons = Message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
      if (!Buttons && (P.x != FLastMousePoint.x || P.y != FLastMousePoint.y)) {
        FLastMousePoint = P;
        int Index = ItemAtPos(P);
        if (Index >= 0 && Index != ItemIndex()) SetItemIndex(Index);
      }
      break;
    }
    case WM_CHAR:
      if (static_cast<uint8_t>(Message.WParam) >= ' ' || Message.WParam == VK_BACK ||
          Message.WParam == VK_ESCAPE) {
        Search(static_cast<char>(Message.WParam));
        return;
      }
      break;
    case WM_MOUSEWHEEL:
      SetTopIndex(TopIndex() + (static_cast<short>(HIWORD(Message.WParam)) > 0 ? -1 : 1));
      return;
    case WM_KEYDOWN:
    case WM_VSCROLL:
      TWinControl::WndProc(Message);
      ContentChanged();
      return;
    case CM_SIZEGRIPCHANGEPOSITIONKS:
      FSizeGrip->ChangePosition(static_cast<TSizeGripChangePosition>(Message.WParam));
      return;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}

// --- TPopupScrollBarKs

TPopupScrollBarKs::TPopupScrollBarKs(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = GetSystemMetrics(SM_CXVSCROLL);
}

void TPopupScrollBarKs::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = "SCROLLBAR";
  Params.SystemClass = true;
  Params.Style |= SBS_VERT;
}

void TPopupScrollBarKs::SetParams(int Position, int Min, int Max, int Page) {
  SCROLLINFO Info{};
  Info.cbSize = sizeof Info;
  Info.fMask = SIF_ALL;
  Info.nMin = Min;
  Info.nMax = Max;
  Info.nPage = static_cast<UINT>(Page);
  Info.nPos = Position;
  SetScrollInfo(Handle(), SB_CTL, &Info, TRUE);
}

void TPopupScrollBarKs::WndProc(TMessage& Message) {
  if (Message.Msg == CN_VSCROLL) {
    if (Parent()) SendMessageA(Parent()->Handle(), WM_VSCROLL, Message.WParam, 0);
    return;
  }
  TWinControl::WndProc(Message);
}

// --- TMRUListboxKs

TMRUListboxKs::TMRUListboxKs(TComponent* AOwner)
    : TPopupListboxKs(AOwner), FScrollBar(new TPopupScrollBarKs(this)) {
  SetSorted(true);
  FScrollBar->SetParent(this);
}

void TMRUListboxKs::CreateParams(TCreateParams& Params) {
  TPopupListboxKs::CreateParams(Params);
  Params.Style &= ~WS_VSCROLL;
}

void TMRUListboxKs::UpdateMRUScrollBar() {
  if (FPlacingScrollBar || !HandleAllocated()) return;
  FPlacingScrollBar = true;
  RECT Client = ClientRect();
  TSizeGripKs* Grip = SizeGrip();
  int Top = 0, Bottom = Client.bottom;
  if (Grip->Visible() && Grip->Position() == sgpTopRight) Top = Grip->Height();
  if (Grip->Visible() && Grip->Position() == sgpBottomRight) Bottom -= Grip->Height();
  int BarWidth = GetSystemMetrics(SM_CXVSCROLL);
  FScrollBar->SetBounds(Client.right - BarWidth, Top, BarWidth, std::max(Bottom - Top, 0));
  int Visible = ItemHeight() ? Client.bottom / ItemHeight() : 0;
  bool GripOnRight = Grip->Position() == sgpTopRight || Grip->Position() == sgpBottomRight;
  if (Items()->Count() > Visible) {
    FScrollBar->SetParams(TopIndex(), 0, Items()->Count() - 1, Visible);
    FScrollBar->SetVisible(true);
    if (GripOnRight) Grip->SetTriangle(false);
  } else {
    FScrollBar->SetVisible(false);
    Grip->SetTriangle(true);
  }
  FPlacingScrollBar = false;
}

void TMRUListboxKs::WndProc(TMessage& Message) {
  TPopupListboxKs::WndProc(Message);
  // The grip moves to another corner: the bar follows.
  if (Message.Msg == CM_SIZEGRIPCHANGEPOSITIONKS) UpdateMRUScrollBar();
}

int WidestItemWidth(TStrings* Items, int Count, TFont* Font) {
  TWindowDC DC;
  TSelectObject SelectedFont(DC.Get(), Font->Handle());
  int Widest = 0;
  for (int I = 0; I < Count; ++I) {
    SIZE Extent{};
    const AnsiString& Item = Items->Strings(I);
    GetTextExtentPoint32A(DC.Get(), Item.c_str(), static_cast<int>(Item.size()), &Extent);
    Widest = std::max<int>(Widest, Extent.cx);
  }
  return Widest;
}

// --- TMRUListKs

TMRUListKs::TMRUListKs(TComponent* AOwner) : FOwner(AOwner), FItems(new TStringList) {}

TMRUListKs::~TMRUListKs() { delete FItems; }

void TMRUListKs::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TMRUListKs*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  SetActive(Other->FActive);
  FItems->Assign(Other->FItems);
  SetLimit(Other->FLimit);
  FRows = Other->FRows;
  FWidth = Other->FWidth;
  FCaseSensitive = Other->FCaseSensitive;
}

void TMRUListKs::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  if (OnActiveChanged) OnActiveChanged(this);
}

void TMRUListKs::SetLimit(int Value) {
  FLimit = std::max(Value, 0);
  TrimToLimit();
}

void TMRUListKs::TrimToLimit() {
  while (FItems->Count() > FLimit) FItems->Delete(0);
}

void TMRUListKs::AddMRUItem(const AnsiString& Value) {
  AnsiString Text = ::Trim(Value);
  if (Text.empty()) return;
  int Found = -1;
  for (int I = 0; I < FItems->Count() && Found < 0; ++I) {
    const AnsiString& Item = FItems->Strings(I);
    if (FCaseSensitive ? Item == Text : AnsiSameText(Item, Text)) Found = I;
  }
  if (Found >= 0) {
    FItems->Move(Found, FItems->Count() - 1);
  } else {
    FItems->Add(Text);
  }
  TrimToLimit();
}

bool TMRUListKs::ItemStartsWith(const AnsiString& Item, const AnsiString& Text) const {
  AnsiString Head = Item.substr(0, Text.size());
  return FCaseSensitive ? Head == Text : AnsiSameText(Head, Text);
}

bool TMRUListKs::FilterMRUItems(const AnsiString& Text, TStrings* Target) {
  Target->BeginUpdate();
  Target->Clear();
  bool Completed = true;
  for (int I = 0; I < FItems->Count(); ++I) {
    MSG Waiting;
    if (I % 100 == 0 && FCancelIfKeyInQueue &&
        PeekMessageA(&Waiting, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) {
      Completed = false;
      break;
    }
    const AnsiString& Item = FItems->Strings(I);
    bool Accept = ItemStartsWith(Item, Text);
    if (OnFilterItem) OnFilterItem(this, Item, Accept);
    if (Accept) Target->Add(Item);
  }
  Target->EndUpdate();
  return Completed;
}

void TMRUListKs::CloseUp(bool Accept) {
  if (OnSetCloseUpEvent) OnSetCloseUpEvent(this, Accept);
}

void TMRUListKs::DropDown() {
  if (OnSetDropDownEvent) OnSetDropDownEvent(this);
}

// --- TPopupMonthCalendarKs

TPopupMonthCalendarKs::TPopupMonthCalendarKs(TComponent* AOwner) : TWinControl(AOwner) {
  FVisible = false;
  INITCOMMONCONTROLSEX Init{sizeof Init, ICC_DATE_CLASSES};
  InitCommonControlsEx(&Init);
}

void TPopupMonthCalendarKs::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = MONTHCAL_CLASSA;
  Params.SystemClass = true;
  MakePopupParams(Params, Owner(), FCtl3D);
}

void TPopupMonthCalendarKs::AfterCreateWnd() {
  if (FDate != 0) SetDate(FDate);
  RECT Min{};
  SendMessageA(FHandle, MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&Min));
  SetBounds(Left(), Top(), Min.right - Min.left + 2 * BorderWidth(),
            Min.bottom - Min.top + 2 * BorderWidth());
}

void TPopupMonthCalendarKs::SetCtl3D(bool Value) {
  if (FCtl3D == Value) return;
  FCtl3D = Value;
  RecreateWnd();
}

TDateTime TPopupMonthCalendarKs::Date() {
  if (!HandleAllocated()) return FDate;
  SYSTEMTIME Time{};
  SendMessageA(FHandle, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&Time));
  return EncodeDate(Time.wYear, Time.wMonth, Time.wDay);
}

void TPopupMonthCalendarKs::SetDate(TDateTime Value) {
  FDate = std::floor(Value);
  if (!HandleAllocated()) return;
  int Year, Month, Day;
  DecodeDate(FDate, Year, Month, Day);
  SYSTEMTIME Time{};
  Time.wYear = static_cast<WORD>(Year);
  Time.wMonth = static_cast<WORD>(Month);
  Time.wDay = static_cast<WORD>(Day);
  SendMessageA(FHandle, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&Time));
}

TPopupMonthCalendarKs::~TPopupMonthCalendarKs() {
  if (FWatched) FWatched->MessageHook = std::move(FOwnerHook);
}

// An owner on its way out has no hook left to give back.
void TPopupMonthCalendarKs::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FWatched) FWatched = nullptr;
}

void TPopupMonthCalendarKs::ShowAt(POINT Position) {
  FVisible = true;
  ShowPopupAt(this, Position);
  WatchOwner();
  // A click outside then reaches the calendar, which closes.
  SetCapture(FHandle);
}

void TPopupMonthCalendarKs::SetVisible(bool Value) {
  if (!Value && HandleAllocated() && GetCapture() == FHandle) ReleaseCapture();
  TWinControl::SetVisible(Value);
}

// From the first showing on, the calendar sees its owner's messages before
// the owner's own hook; it stays, since a close runs inside it.
void TPopupMonthCalendarKs::WatchOwner() {
  if (FWatched) return;
  FWatched = dynamic_cast<TWinControl*>(Owner());
  if (!FWatched) return;
  FWatched->FreeNotification(this);
  FOwnerHook = std::move(FWatched->MessageHook);
  FWatched->MessageHook = [this](TMessage& Message) {
    return OwnerMessage(Message) || (FOwnerHook && FOwnerHook(Message));
  };
}

bool TPopupMonthCalendarKs::OwnerMessage(TMessage& Message) {
  if (!FVisible) return false;
  if (Message.Msg == WM_KILLFOCUS) {
    auto To = reinterpret_cast<HWND>(Message.WParam);
    if (To != FHandle && !IsChild(FHandle, To)) PostMessageA(FHandle, CM_CLOSEUPKS, 0, 0);
    return false;
  }
  if (Message.Msg == CM_CANCELMODE) {
    if (!FWatched->ContainsControl(reinterpret_cast<TControl*>(Message.WParam))) CloseOwner(false);
    return false;
  }
  if (Message.Msg != CN_KEYDOWN) return false;
  switch (Message.WParam) {
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
      SendMessageA(FHandle, WM_KEYDOWN, Message.WParam, Message.LParam);
      Message.Result = 1;
      return true;
    default:
      return false;
  }
}

// Only a shown calendar closes: a close posted before it was hidden is late.
void TPopupMonthCalendarKs::CloseOwner(bool Accept) {
  if (!FVisible) return;
  if (auto* PopupOwner = dynamic_cast<IPopupOwnerKs*>(Owner())) PopupOwner->CloseUp(Accept);
}

namespace {

// A month on or back; a day the month lacks becomes its last.
TDateTime StepMonth(TDateTime Date, int Months) {
  int Year, Month, Day;
  DecodeDate(Date, Year, Month, Day);
  int Index = Year * 12 + Month - 1 + Months;
  Year = Index / 12;
  Month = Index % 12 + 1;
  return EncodeDate(Year, Month, std::min(Day, DaysInMonth(Year, Month)));
}

}  // namespace

// The system calendar here ignores the moving keys: they step the date
// themselves, as the wheel does.
void TPopupMonthCalendarKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  TWinControl::KeyDown(Key, Shift);
  switch (Key) {
    case VK_RETURN:
    case VK_ESCAPE:
      CloseOwner(Key == VK_RETURN);
      break;
    case VK_LEFT:
    case VK_RIGHT:
      SetDate(Date() + (Key == VK_LEFT ? -1 : 1));
      break;
    case VK_UP:
    case VK_DOWN:
      SetDate(Date() + (Key == VK_UP ? -7 : 7));
      break;
    case VK_PRIOR:
    case VK_NEXT:
      SetDate(StepMonth(Date(), Key == VK_PRIOR ? -1 : 1));
      break;
    default:
      return;
  }
  Key = 0;
}

void TPopupMonthCalendarKs::WndProc(TMessage& Message) {
  if (HandlePopupFrame(this, Message, BorderWidth())) return;
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_GETDLGCODE:
      TWinControl::WndProc(Message);
      Message.Result |= DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
      return;
    case WM_LBUTTONDOWN: {
      POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
      RECT Client = ClientRect();
      if (!PtInRect(&Client, P)) {
        CloseOwner(false);
        return;
      }
      break;
    }
    case WM_LBUTTONUP: {
      TWinControl::WndProc(Message);
      MCHITTESTINFO Hit{};
      Hit.cbSize = sizeof Hit;
      Hit.pt = POINT{static_cast<short>(LOWORD(Message.LParam)),
                     static_cast<short>(HIWORD(Message.LParam))};
      SendMessageA(FHandle, MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&Hit));
      bool OnDate = (Hit.uHit & MCHT_CALENDARDATE) == MCHT_CALENDARDATE &&
                    Hit.uHit != MCHT_TITLEBTNNEXT && Hit.uHit != MCHT_TITLEBTNPREV;
      if (OnDate) CloseOwner(true);
      // The calendar lets the mouse go after its own click; it takes it back.
      if (FVisible && GetCapture() != FHandle) SetCapture(FHandle);
      return;
    }
    case WM_KILLFOCUS: {
      auto To = reinterpret_cast<HWND>(Message.WParam);
      if (!To || !IsChild(FHandle, To)) PostMessageA(FHandle, CM_CLOSEUPKS, 0, 0);
      break;
    }
    case CM_CLOSEUPKS:
      CloseOwner(false);
      return;
    case WM_MOUSEWHEEL:
      SetDate(Date() + (static_cast<short>(HIWORD(Message.WParam)) > 0 ? -1 : 1));
      return;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}
