#include "COMPONENTS/kslib/ToolCtrlsKs.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "forms/ActnList.h"

int FlatEditButtonWidth = 0;
TButtonsBitmapCache ButtonsBitmapCache;
SIZE CheckBoxGlyphSize{0, 0};
bool UseButtonsBitmapCache = true;

namespace {

// The unit's start-up, before any form exists.
struct TToolCtrlsStartUp {
  TToolCtrlsStartUp() {
    FlatEditButtonWidth = DefaultEditButtonWidth();
    InitCheckBoxGlyphSize();
  }
} ToolCtrlsStartUp;

// An item is made inside an update of its collection, so the editor hears
// of it once, when it is complete.
TCollection* BeginCollectionUpdate(TCollection* Collection) {
  if (Collection) Collection->BeginUpdate();
  return Collection;
}

void CopyBitmap(TBitmap* Dest, TBitmap* Source) {
  HBITMAP Copy = Source && Source->Handle()
                     ? static_cast<HBITMAP>(CopyImage(Source->Handle(), IMAGE_BITMAP, 0, 0, 0))
                     : nullptr;
  Dest->SetHandle(Copy);
}

void FillSolid(HDC DC, const RECT& Rect, TColor Color) {
  TGdiHandle<HBRUSH> Brush(CreateSolidBrush(ColorToRGB(Color)));
  FillRect(DC, &Rect, Brush.Get());
}

void FrameSolid(HDC DC, const RECT& Rect, TColor Color) {
  TGdiHandle<HBRUSH> Brush(CreateSolidBrush(ColorToRGB(Color)));
  FrameRect(DC, &Rect, Brush.Get());
}

int Width(const RECT& R) { return R.right - R.left; }
int Height(const RECT& R) { return R.bottom - R.top; }

UINT FrameFlags(const TButtonsBitmapCache::TKey& Key) {
  return (Key.Pressed ? DFCS_PUSHED : 0) | (Key.Flat ? DFCS_FLAT : 0) |
         (Key.Enabled ? 0 : DFCS_INACTIVE);
}

// The plain face under the ellipsis and the plus and minus signs; answers
// the area left inside it.
RECT DrawButtonFace(HDC DC, RECT R, const TButtonsBitmapCache::TKey& Key) {
  if (Key.Flat) {
    FillSolid(DC, R, clBtnFace);
    InflateRect(&R, -1, -1);
  } else {
    DrawEdge(DC, &R, Key.Pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
    InflateRect(&R, -2, -2);
  }
  return R;
}

// Marks in the button-text colour, or embossed in the shadow colour over a
// highlight copy when disabled.
void DrawMarks(HDC DC, const std::vector<RECT>& Marks, bool Enabled) {
  auto Fill = [&](int Offset, TColor Color) {
    for (RECT M : Marks) {
      OffsetRect(&M, Offset, Offset);
      FillSolid(DC, M, Color);
    }
  };
  if (Enabled) {
    Fill(0, clBtnText);
  } else {
    Fill(1, clBtnHighlight);
    Fill(0, clBtnShadow);
  }
}

void DrawEllipsis(HDC DC, const RECT& Rect, const TButtonsBitmapCache::TKey& Key) {
  RECT R = DrawButtonFace(DC, Rect, Key);
  int W = Width(Rect);
  int Dot = W < 8 ? 1 : 2, Gap = W < 12 ? 1 : 2;
  int Shift = Key.Pressed ? 1 : 0;
  int X = R.left + (Width(R) - (3 * Dot + 2 * Gap)) / 2 + Shift;
  int Y = R.top + (Height(R) - Dot) / 2 + Shift;
  std::vector<RECT> Dots;
  for (int I = 0; I < 3; ++I, X += Dot + Gap) Dots.push_back(RECT{X, Y, X + Dot, Y + Dot});
  DrawMarks(DC, Dots, Key.Enabled);
}

void DrawSign(HDC DC, const RECT& Rect, const TButtonsBitmapCache::TKey& Key, bool Plus) {
  DrawButtonFace(DC, Rect, Key);
  int Length = std::min(Width(Rect), Height(Rect)) * 4 / 7;
  int Thickness = std::max(1, Length / 3);
  int Left = Rect.left + (Width(Rect) - Length) / 2;
  int Top = Rect.top + (Height(Rect) - Thickness) / 2;
  std::vector<RECT> Bars{RECT{Left, Top, Left + Length, Top + Thickness}};
  if (Plus) {
    int VLeft = Rect.left + (Width(Rect) - Thickness) / 2;
    int VTop = Rect.top + (Height(Rect) - Length) / 2;
    Bars.push_back(RECT{VLeft, VTop, VLeft + Thickness, VTop + Length});
  }
  DrawMarks(DC, Bars, Key.Enabled);
}

void DrawCheckBox(HDC DC, const RECT& Rect, const TButtonsBitmapCache::TKey& Key) {
  FillSolid(DC, Rect, Key.BackColor);
  int Side = std::min(Width(Rect), Height(Rect));
  int Left = Rect.left + (Width(Rect) - Side) / 2, Top = Rect.top + (Height(Rect) - Side) / 2;
  RECT Box{Left, Top, Left + Side, Top + Side};
  UINT Flags = DFCS_BUTTONCHECK | FrameFlags(Key);
  if (Key.CheckState == cbChecked) Flags |= DFCS_CHECKED;
  // Grayed is the indeterminate box, not the dimmed one of a disabled control.
  if (Key.CheckState == cbGrayed) Flags |= DFCS_BUTTON3STATE | DFCS_CHECKED;
  DrawFrameControl(DC, &Box, DFC_BUTTON, Flags);
  if (!Key.Flat) return;
  if (Key.Active) {
    DrawEdge(DC, &Box, BDR_SUNKENOUTER, BF_RECT);
  } else {
    FrameSolid(DC, Box, clBtnShadow);
  }
}

// One face (a whole button or one spin half) at Rect.
void RenderFace(HDC DC, const RECT& Rect, const TButtonsBitmapCache::TKey& Key) {
  if (Key.Style == bcsCheckboxKs) {
    DrawCheckBox(DC, Rect, Key);
    return;
  }
  int Saved = SaveDC(DC);
  IntersectClipRect(DC, Rect.left, Rect.top, Rect.right, Rect.bottom);
  // A flat face is drawn a pixel larger, so its outer bevel falls outside.
  RECT Face = Rect;
  if (Key.Flat) InflateRect(&Face, 1, 1);
  switch (Key.Style) {
    case bcsDropDownKs:
      DrawFrameControl(DC, &Face, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | FrameFlags(Key));
      break;
    case bcsUpDownKs:
      DrawFrameControl(DC, &Face, DFC_SCROLL,
                       (Key.Half == 2 ? DFCS_SCROLLDOWN : DFCS_SCROLLUP) | FrameFlags(Key));
      break;
    case bcsEllipsisKs:
      DrawEllipsis(DC, Face, Key);
      break;
    case bcsGlyphKs:
      DrawButtonFace(DC, Face, Key);
      break;
    default:
      DrawSign(DC, Face, Key, Key.Style == bcsPlusKs);
      break;
  }
  RestoreDC(DC, Saved);
  if (Key.Flat && !Key.Active) FrameSolid(DC, Rect, Key.BackColor);
}

// Through the cache: rendered once per look and size, then copied.
void PaintFace(HDC DC, const RECT& Rect, const TButtonsBitmapCache::TKey& Key) {
  if (Width(Rect) <= 0 || Height(Rect) <= 0) return;
  if (!UseButtonsBitmapCache) {
    RenderFace(DC, Rect, Key);
    return;
  }
  TBitmap* Face = ButtonsBitmapCache.Find(Key);
  if (!Face) {
    auto Made = std::make_unique<TBitmap>();
    Made->SetSize(Key.Width, Key.Height);
    RenderFace(Made->Canvas()->Handle(), RECT{0, 0, Key.Width, Key.Height}, Key);
    Face = ButtonsBitmapCache.Add(Key, std::move(Made));
  }
  StretchBlt(DC, Rect.left, Rect.top, Key.Width, Key.Height, Face->Canvas()->Handle(), 0, 0,
             Key.Width, Key.Height, SRCCOPY);
}

}  // namespace

TDrawButtonControlStyleKs EditButtonDrawStyle(TEditButtonStyleKs Style) {
  switch (Style) {
    case ebsDropDownKs:
      return bcsDropDownKs;
    case ebsEllipsisKs:
      return bcsEllipsisKs;
    case ebsPlusKs:
      return bcsPlusKs;
    case ebsMinusKs:
      return bcsMinusKs;
    default:
      return bcsUpDownKs;
  }
}

TShortCut ShortCutKs(uint16_t Key, TShiftState Shift) { return KeyToShortCut(Key, Shift); }

// --- TEditButtonKs

TEditButtonKs::TEditButtonKs(TCollection* Collection)
    : TEditButtonKs(Collection, false, 0) {}

TEditButtonKs::TEditButtonKs(TCollection* Collection, bool Visible, TShortCut ShortCut)
    : TCollectionItem(BeginCollectionUpdate(Collection)), FVisible(Visible), FShortCut(ShortCut) {
  if (auto* Buttons = dynamic_cast<TEditButtonsKs*>(Collection)) FEditor = Buttons->Editor();
  if (Collection) Collection->EndUpdate();
}

TEditButtonKs::TEditButtonKs(TWinControl* Editor, bool Visible, TShortCut ShortCut)
    : TCollectionItem(nullptr), FVisible(Visible), FShortCut(ShortCut), FEditor(Editor) {}

TEditButtonKs::TEditButtonKs(TWinControl* Editor) : TEditButtonKs(Editor, false, 0) {}

TEditButtonKs::~TEditButtonKs() = default;

void TEditButtonKs::EditButtonChanged() {
  if (OnChanged) {
    OnChanged(this);
  } else {
    Changed(false);
  }
}

void TEditButtonKs::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TEditButtonKs*>(Source);
  if (!Other) {
    TCollectionItem::Assign(Source);
    return;
  }
  SetDropdownMenu(Other->FDropdownMenu);
  SetGlyph(&Other->FGlyph);
  SetHint(Other->FHint);
  SetNumGlyphs(Other->FNumGlyphs);
  SetShortCut(Other->FShortCut);
  SetStyle(Other->FStyle);
  SetVisible(Other->FVisible);
  SetWidth(Other->FWidth);
  OnClick = Other->OnClick;
  OnDown = Other->OnDown;
}

TEditButtonControlKs* TEditButtonKs::CreateEditButtonControl() {
  auto* Control = new TEditButtonControlKs(FEditor);
  Control->SetBounds(0, 0, 10, 17);
  Control->SetParent(FEditor);
  return Control;
}

void TEditButtonKs::SetDropdownMenu(TPopupMenu* Value) {
  if (FDropdownMenu == Value) return;
  FDropdownMenu = Value;
  // The editor forgets the menu when it goes.
  if (Value && FEditor) Value->FreeNotification(FEditor);
  EditButtonChanged();
}

void TEditButtonKs::SetGlyph(TBitmap* Value) {
  CopyBitmap(&FGlyph, Value);
  EditButtonChanged();
}

void TEditButtonKs::SetHint(const AnsiString& Value) {
  if (FHint == Value) return;
  FHint = Value;
  EditButtonChanged();
}

void TEditButtonKs::SetNumGlyphs(int Value) {
  Value = std::clamp(Value, 1, 4);
  if (FNumGlyphs == Value) return;
  FNumGlyphs = Value;
  EditButtonChanged();
}

void TEditButtonKs::SetShortCut(TShortCut Value) {
  if (FShortCut == Value) return;
  FShortCut = Value;
  EditButtonChanged();
}

void TEditButtonKs::SetStyle(TEditButtonStyleKs Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  EditButtonChanged();
}

void TEditButtonKs::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  EditButtonChanged();
}

void TEditButtonKs::SetWidth(int Value) {
  if (FWidth == Value) return;
  FWidth = Value;
  EditButtonChanged();
}

constexpr TShortCut AltDown = scAlt | VK_DOWN;

TVisibleEditButtonKs::TVisibleEditButtonKs(TCollection* Collection)
    : TEditButtonKs(Collection, true, AltDown) {}

TVisibleEditButtonKs::TVisibleEditButtonKs(TWinControl* Editor)
    : TEditButtonKs(Editor, true, AltDown) {}

// --- TEditButtonsKs

TEditButtonsKs::TEditButtonsKs(TWinControl* Editor, TCollectionItemClass ItemClass)
    : TCollection(std::move(ItemClass)), FEditor(Editor) {}

TEditButtonKs* TEditButtonsKs::EditButtonsItem(int Index) const {
  return static_cast<TEditButtonKs*>(Items(Index));
}

void TEditButtonsKs::Update(TCollectionItem*) {
  if (OnChanged) OnChanged(this);
}

// --- TEditButtonControlKs

TEditButtonControlKs::TEditButtonControlKs(TComponent* AOwner) : TSpeedButton(AOwner) {}

void TEditButtonControlKs::SetActive(bool Value) {
  if (FActive == Value) return;
  FActive = Value;
  Invalidate();
}

void TEditButtonControlKs::SetStyle(TEditButtonStyleKs Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Invalidate();
}

void TEditButtonControlKs::SetDownPart(int Value) {
  if (FDownPart == Value) return;
  FDownPart = Value;
  Invalidate();
}

int TEditButtonControlKs::PartAt(int Y) const {
  if (FStyle != ebsUpDownKs) return 1;
  int Half = Height() / 2;
  if (Y < Half) return 1;
  if (Y > Height() - Half) return 2;
  return 0;
}

void TEditButtonControlKs::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TSpeedButton::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  SetDownPart(PartAt(Y));
  if (!FDownPart) return;
  bool AutoRepeat = FStyle == ebsUpDownKs, Handled = false;
  if (OnDown) OnDown(this, FDownPart == 1, AutoRepeat, Handled);
  if (!AutoRepeat || !FDownPart) return;
  if (!FTimer) {
    FTimer = new TTimer(this);
    FTimer->OnTimer = [this](TObject*) { TimerTick(); };
  }
  FTimer->SetInterval(400);
  FTimer->SetEnabled(true);
}

void TEditButtonControlKs::TimerTick() {
  if (!FDownPart) {
    StopTimer();
    return;
  }
  if (FTimer->Interval() != 100) FTimer->SetInterval(100);
  bool AutoRepeat = true, Handled = false;
  if (OnDown) OnDown(this, FDownPart == 1, AutoRepeat, Handled);
  if (!AutoRepeat) StopTimer();
}

void TEditButtonControlKs::StopTimer() {
  if (FTimer) FTimer->SetEnabled(false);
}

void TEditButtonControlKs::MouseMove(TShiftState Shift, int X, int Y) {
  TSpeedButton::MouseMove(Shift, X, Y);
  if (FStyle != ebsUpDownKs || !FDownPart) return;
  bool Inside = X >= 0 && X < Width() && PartAt(Y) == FDownPart;
  if (!Inside) SetDownPart(0);
}

void TEditButtonControlKs::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  StopTimer();
  FInRelease = true;
  try {
    TSpeedButton::MouseUp(Button, Shift, X, Y);
  } catch (...) {
    FInRelease = false;
    throw;
  }
  FInRelease = false;
  SetDownPart(FStyle != ebsUpDownKs && (Down() || FAlwaysDown) ? 1 : 0);
}

// A spin half repeats on its press; its release clicks nothing.
void TEditButtonControlKs::Click() {
  if (FInRelease && FStyle == ebsUpDownKs) return;
  TSpeedButton::Click();
}

void TEditButtonControlKs::Paint() {
  HDC DC = Canvas()->Handle();
  RECT R{0, 0, Width(), Height()};
  TColor Back = Parent() ? Parent()->Color() : clBtnFace;
  if (FStyle != ebsGlyphKs) {
    PaintButtonControlKs(DC, R, Back, cbUnchecked, Enabled(), FActive, Flat(), FDownPart,
                         EditButtonDrawStyle(FStyle));
    return;
  }
  if (!Flat()) {
    TSpeedButton::Paint();
    return;
  }
  int Saved = SaveDC(DC);
  IntersectClipRect(DC, 1, 1, R.right - 1, R.bottom - 1);
  TSpeedButton::Paint();
  RestoreDC(DC, Saved);
  if (FActive) {
    bool Pushed = State() == bsDown || State() == bsExclusive;
    DrawEdge(DC, &R, Pushed ? BDR_SUNKENOUTER : BDR_RAISEDOUTER, BF_RECT);
  } else {
    FrameSolid(DC, R, Back);
  }
}

// --- TButtonsBitmapCache

TBitmap* TButtonsBitmapCache::Find(const TKey& Key) {
  auto It = FIndex.find(Key);
  if (It == FIndex.end()) return nullptr;
  FEntries.splice(FEntries.begin(), FEntries, It->second);
  return It->second->second.get();
}

TBitmap* TButtonsBitmapCache::Add(const TKey& Key, std::unique_ptr<TBitmap> Bitmap) {
  if (auto It = FIndex.find(Key); It != FIndex.end()) {
    FEntries.erase(It->second);
    FIndex.erase(It);
  }
  FEntries.emplace_front(Key, std::move(Bitmap));
  FIndex[Key] = FEntries.begin();
  while (static_cast<int>(FEntries.size()) > Capacity) {
    FIndex.erase(FEntries.back().first);
    FEntries.pop_back();
  }
  return FEntries.front().second.get();
}

void TButtonsBitmapCache::Clear() {
  FIndex.clear();
  FEntries.clear();
}

// --- Free routines

int DefaultEditButtonWidth() {
  TWindowDC Screen;
  TEXTMETRICA Metrics{};
  GetTextMetricsA(Screen.Get(), &Metrics);
  auto Result = static_cast<int>(std::nearbyint(Metrics.tmHeight * 2.0 / 3.0));
  if (Result % 2 == 0) ++Result;
  return std::min(Result, GetSystemMetrics(SM_CXVSCROLL));
}

int WideEditButtonWidth(int Width, bool Wide) {
  return Wide ? static_cast<int>(std::nearbyint(Width * 3.0 / 2.0)) : Width;
}

void SetSpeedButtonToggle(TEditButtonControlKs* Button, bool Down) {
  if (Button->Down() == Down) return;
  if (Down) {
    Button->SetGroupIndex(1);
    Button->SetDown(true);
    Button->SetAllowAllUp(false);
    Button->SetDownPart(1);
  } else {
    Button->SetAllowAllUp(true);
    Button->SetDown(false);
    Button->SetGroupIndex(0);
    Button->SetDownPart(0);
  }
}

void PaintButtonControlKs(HDC DC, RECT Rect, TColor BackColor, TCheckBoxState CheckState,
                          bool Enabled, bool Active, bool Flat, int DownPart,
                          TDrawButtonControlStyleKs DrawStyle) {
  TButtonsBitmapCache::TKey Key{Width(Rect), Height(Rect), DrawStyle, DownPart != 0, Flat,
                                Active,      Enabled,      CheckState, 0,           BackColor};
  if (DrawStyle != bcsUpDownKs) {
    PaintFace(DC, Rect, Key);
    return;
  }
  int Middle = (Height(Rect) % 2 || Flat) ? 1 : 0;
  int UpperHeight = (Height(Rect) - Middle) / 2;
  RECT Upper{Rect.left, Rect.top, Rect.right, Rect.top + UpperHeight};
  RECT Lower{Rect.left, Upper.bottom + Middle, Rect.right, Rect.bottom};
  for (auto [Half, Part] : {std::pair{1, Upper}, std::pair{2, Lower}}) {
    Key.Half = Half;
    Key.Pressed = DownPart == Half;
    Key.Height = Height(Part);
    PaintFace(DC, Part, Key);
  }
  if (Middle) FillSolid(DC, RECT{Rect.left, Upper.bottom, Rect.right, Lower.top}, BackColor);
}

void PaintEditButton(HDC DC, const RECT& Rect, TColor BackColor, int DownPart, bool Enabled,
                     bool Active, bool Flat, TBitmap* Glyph, TEditButtonStyleKs Style,
                     int NumGlyphs) {
  if (Style != ebsGlyphKs) {
    PaintButtonControlKs(DC, Rect, BackColor, cbUnchecked, Enabled, Active, Flat, DownPart,
                         EditButtonDrawStyle(Style));
    return;
  }
  PaintButtonControlKs(DC, Rect, BackColor, cbUnchecked, Enabled, Active, Flat, DownPart,
                       bcsGlyphKs);
  if (!Glyph || Glyph->Empty()) return;
  int Shift = DownPart ? 1 : 0;
  int X = Rect.left + (Width(Rect) - ButtonGlyphWidth(Glyph, NumGlyphs)) / 2 + Shift;
  int Y = Rect.top + (Height(Rect) - Glyph->Height()) / 2 + Shift;
  int Saved = SaveDC(DC);
  IntersectClipRect(DC, Rect.left, Rect.top, Rect.right, Rect.bottom);
  DrawButtonGlyph(DC, X, Y, Glyph, NumGlyphs,
                  !Enabled ? bsDisabled : DownPart ? bsDown : bsUp);
  RestoreDC(DC, Saved);
}

void PaintEditButtonsClipped(TWinControl* Control, HDC DC) {
  for (int I = 0; I < Control->ControlCount(); ++I) {
    auto* Button = dynamic_cast<TEditButtonControlKs*>(Control->Controls(I));
    if (Button && Button->Visible()) Button->PaintInParent(DC);
  }
}

void DrawImageCentered(HDC DC, const RECT& Rect, TImageList* ImageList, int ImageIndex,
                       bool Selected) {
  int X = Rect.left + (Width(Rect) - ImageList->Width()) / 2;
  int Y = Rect.top + (Height(Rect) - ImageList->Height()) / 2;
  int Saved = SaveDC(DC);
  IntersectClipRect(DC, Rect.left, Rect.top, Rect.right, Rect.bottom);
  ImageList_DrawEx(ImageList->Handle(), ImageIndex, DC, X, Y, 0, 0, CLR_NONE,
                   Selected ? ColorToRGB(clHighlight) : CLR_DEFAULT,
                   Selected ? ILD_SELECTED : ILD_NORMAL);
  RestoreDC(DC, Saved);
}

void ClearButtonsBitmapCache() { ButtonsBitmapCache.Clear(); }

void DrawDottedLine(TCanvas* Canvas, POINT Start, int Length, bool Parity, bool Horizontal) {
  // A pen narrower than a pixel still draws one-pixel dots.
  int Step = 2 * std::max(1, Canvas->Pen()->Width());
  bool Differs = (Start.x & 1) != (Start.y & 1);
  if (Differs != Parity) {
    (Horizontal ? Start.x : Start.y) += 1;
    --Length;
  }
  if (Length <= 0) return;
  int Count = (Length + Step - 1) / Step;
  std::vector<POINT> Points;
  std::vector<DWORD> Counts(Count, 2);
  for (int I = 0; I < Count; ++I) {
    int X = Start.x + (Horizontal ? I * Step : 0), Y = Start.y + (Horizontal ? 0 : I * Step);
    Points.push_back(POINT{X, Y});
    Points.push_back(Horizontal ? POINT{X + 1, Y} : POINT{X, Y + 1});
  }
  HDC DC = Canvas->Handle();
  TSelectObject Pen(DC, Canvas->Pen()->Handle());
  PolyPolyline(DC, Points.data(), Counts.data(), static_cast<DWORD>(Count));
}

void DrawTreeElement(TCanvas* Canvas, const RECT& Rect, int Kind, double ScaleX, double ScaleY,
                     bool Parity) {
  int CX = (Rect.left + Rect.right) / 2, CY = (Rect.top + Rect.bottom) / 2;
  auto Dotted = [&](int X, int Y, int Length, bool Horizontal) {
    Canvas->Pen()->SetColor(clBtnShadow);
    DrawDottedLine(Canvas, POINT{X, Y}, Length, Parity, Horizontal);
  };
  if (Kind >= 6) {
    bool Full = Kind == 6 || Kind == 9;
    if (Full) Dotted(CX, Rect.top, Height(Rect), false);
    if (Kind == 7) Dotted(CX, Rect.top, CY - Rect.top, false);
    if (Kind == 8) Dotted(CX, CY, Rect.bottom - CY, false);
    if (Kind != 9) Dotted(CX, CY, Rect.right - CX, true);
    return;
  }
  int BoxW = static_cast<int>(4 * ScaleX), BoxH = static_cast<int>(4 * ScaleY);
  int InX = static_cast<int>(2 * ScaleX), InY = static_cast<int>(2 * ScaleY);
  RECT Box{CX - BoxW, CY - BoxH, CX + BoxW + 1, CY + BoxH + 1};
  HDC DC = Canvas->Handle();
  FillSolid(DC, Box, clWindow);
  FrameSolid(DC, Box, clBtnShadow);
  FillSolid(DC, RECT{Box.left + InX, CY, Box.right - InX, CY + 1}, clWindowText);
  if (Kind >= 3) FillSolid(DC, RECT{CX, Box.top + InY, CX + 1, Box.bottom - InY}, clWindowText);
  int Right = Box.right + static_cast<int>(ScaleX);
  Dotted(Right, CY, Rect.right - Right, true);
  int K = Kind % 3;
  if (K == 0 || K == 1) Dotted(CX, Rect.top, Box.top - Rect.top, false);
  if (K == 0 || K == 2) {
    int Below = Box.bottom + static_cast<int>(ScaleY);
    Dotted(CX, Below, Rect.bottom - Below, false);
  }
}

bool FireEditButtonEvent(TEditButtonControlKs* Control) {
  bool AutoRepeat = false, Handled = false;
  if (Control->OnDown) Control->OnDown(Control, false, AutoRepeat, Handled);
  return Handled;
}

RECT FitRectToMaxSize(const RECT& Rect, int HorzAlign, int VertAlign) {
  RECT R = Rect;
  if (Width(R) > CheckBoxGlyphSize.cx) {
    int Extra = Width(R) - CheckBoxGlyphSize.cx;
    if (HorzAlign == 1) {
      R.left += Extra;
    } else if (HorzAlign == 2) {
      R.left += Extra / 2;
    }
    R.right = R.left + CheckBoxGlyphSize.cx;
  }
  if (Height(R) > CheckBoxGlyphSize.cy) {
    int Extra = Height(R) - CheckBoxGlyphSize.cy;
    if (VertAlign == 1) {
      R.top += Extra / 2;
    } else if (VertAlign == 2) {
      R.top += Extra;
    }
    R.bottom = R.top + CheckBoxGlyphSize.cy;
  }
  return R;
}

bool IsDoubleClickPoint(POINT FirstPoint, POINT SecondPoint, DWORD Elapsed) {
  return Elapsed <= GetDoubleClickTime() &&
         std::abs(FirstPoint.x - SecondPoint.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
         std::abs(FirstPoint.y - SecondPoint.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
}

void InitCheckBoxGlyphSize() {
  constexpr int SystemCheckBoxes = 32759;  // OBM_CHECKBOXES: 4 by 3 glyphs
  TGdiHandle<HBITMAP> Bitmap(LoadBitmapA(nullptr, MAKEINTRESOURCEA(SystemCheckBoxes)));
  BITMAP Info{};
  if (Bitmap && GetObjectA(Bitmap.Get(), sizeof Info, &Info))
    CheckBoxGlyphSize = SIZE{Info.bmWidth / 4, Info.bmHeight / 3};
}
