#include "common/SButton.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "forms/Forms.h"
#include "rtl/AnsiText.h"

bool HighColorDisplay() { return GetDeviceCaps(TWindowDC().Get(), BITSPIXEL) > 8; }

namespace {

int CaptionWidth(TControl* Control) {
  TWindowDC DC;
  TSelectObject Selected(DC.Get(), Control->Font()->Handle());
  AnsiString Caption = StringReplace(Control->Caption(), "&", "", rfReplaceAll);
  SIZE Size{};
  GetTextExtentPoint32A(DC.Get(), Caption.data(), static_cast<int>(Caption.size()), &Size);
  return Size.cx;
}

}  // namespace

// --- TSButton

TSButton::TSButton(TComponent* AOwner) : TSpeedButton(AOwner) {
  Font()->SetColor(clBlack);
  SetFlat(true);
}

void TSButton::Loaded() {
  TSpeedButton::Loaded();
  FDesignLeft = Left();
}

void TSButton::Click() {
  if (TCustomForm* Form = GetParentForm(this)) Form->SetModalResult(FModalResult);
  TSpeedButton::Click();
}

void TSButton::ParentNeedsArrange() {
  if (auto* Panel = dynamic_cast<TSPanel*>(Parent())) Panel->NeedArrange();
}

void TSButton::SetText(const AnsiString& Value) {
  TSpeedButton::SetText(Value);
  ParentNeedsArrange();
}

void TSButton::SetVisible(bool Value) {
  TSpeedButton::SetVisible(Value);
  ParentNeedsArrange();
}

void TSButton::PaintFrame(RECT& Rect) {
  if (!Flat()) {
    TSpeedButton::PaintFrame(Rect);
    return;
  }
  TCanvas* C = Canvas();
  bool Hovered = MouseInControl() && Enabled();
  if (Hovered) {
    C->Pen()->SetColor(clBlack);
    C->Brush()->SetColor(HighColorDisplay() ? static_cast<TColor>(RGB(188, 206, 249)) : clAqua);
  } else {
    C->Pen()->SetColor(static_cast<TColor>(RGB(128, 128, 128)));
    if (auto* Panel = dynamic_cast<TSPanel*>(Parent())) C->Brush()->SetColor(Panel->Color());
  }
  if (State() == bsExclusive && !Hovered) C->Brush()->SetColor(clSilver);
  C->Rectangle(Rect.left, Rect.top, Rect.right, Rect.bottom);
  InflateRect(&Rect, -1, -1);
}

// --- TSPanel

TSPanel::TSPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}

void TSPanel::NeedArrange() {
  FNeedArrange = true;
  Invalidate();
}

void TSPanel::WndProc(TMessage& Message) {
  if (Message.Msg == CM_CONTROLCHANGE &&
      dynamic_cast<TSButton*>(reinterpret_cast<TControl*>(Message.WParam)))
    NeedArrange();
  TCustomPanel::WndProc(Message);
}

RECT TSPanel::Arrange() {
  int Border = ((BevelOuter() != bvNone) + (BevelInner() != bvNone)) * BevelWidth() + BorderWidth();
  if (FButtonArrange == 0) return RECT{0, 0, Width(), Height()};
  std::vector<TSButton*> Leading, Trailing;
  bool Column = FOrientation != 0;
  for (int I = 0; I < ControlCount(); ++I) {
    auto* Button = dynamic_cast<TSButton*>(Controls(I));
    if (!Button || (!Button->Visible() && !FReservPlace)) continue;
    TAnchors A = Button->Anchors();
    bool Trails = Column ? (A.Contains(akBottom) && !A.Contains(akTop))
                         : (A.Contains(akRight) && !A.Contains(akLeft));
    (FButtonArrange == 2 && Trails ? Trailing : Leading).push_back(Button);
  }
  // Without left ordering, the design order (the order of the children) holds.
  if (FUseLeftOrdering) {
    auto ByLeft = [](TSButton* A, TSButton* B) { return A->DesignLeft() < B->DesignLeft(); };
    std::stable_sort(Leading.begin(), Leading.end(), ByLeft);
    std::stable_sort(Trailing.begin(), Trailing.end(), ByLeft);
  }
  std::reverse(Trailing.begin(), Trailing.end());

  if (Column) {
    int ItemHeight = FInColumnHeight;
    if (ItemHeight == 0) {
      TWindowDC DC;
      TSelectObject Selected(DC.Get(), Font()->Handle());
      SIZE Size{};
      GetTextExtentPoint32A(DC.Get(), "W", 1, &Size);
      ItemHeight = Size.cy + 2;
    }
    int Row = 0;
    for (TSButton* Button : Leading) {
      Button->SetBounds(Border, Border + Row * ItemHeight, Width() - 2 * Border, ItemHeight - 1);
      ++Row;
    }
    int MinHeight = 2 * Border + Row * ItemHeight;
    if (Height() < MinHeight) SetHeight(MinHeight);
    return RECT{Border, Border + Row * ItemHeight, Width() - Border, Height() - Border};
  }

  int X = Border, Row = 0;
  for (TSButton* Button : Leading) {
    int W = std::max(FLineWidth, CaptionWidth(Button) + 8 + Button->Glyph()->Width());
    if (FButtonArrange == 1 && FMultiLine && X > Border && X + W > Width() - Border) {
      X = Border;
      ++Row;
    }
    Button->SetBounds(X, Border + Row * FLineWidth, W, FLineWidth - 1);
    X += W + 1;
  }
  int Right = Width() - Border;
  for (TSButton* Button : Trailing) {
    int W = CaptionWidth(Button) + 6 + Button->Glyph()->Width();
    Right -= W;
    Button->SetBounds(Right, Border, W, FLineWidth - 1);
    Right -= 1;
  }
  SetHeight(2 * Border + (Row + 1) * FLineWidth + 1);
  return RECT{X, Border + Row * FLineWidth, Right, Border + (Row + 1) * FLineWidth};
}

void TSPanel::Paint() {
  if (FNeedArrange) {
    FNeedArrange = false;
    FCaptionArea = Arrange();
  }
  TCanvas* C = Canvas();
  int H = Height();
  if (HighColorDisplay() && H > 0) {
    // White at the top to $E0E0E0 at the bottom, one line per pixel row.
    for (int Y = 0; Y < H; ++Y) {
      int Channel =
          H > 1 ? 255 - static_cast<int>(std::lround((255.0 - 224.0) * Y / (H - 1))) : 255;
      C->Pen()->SetColor(static_cast<TColor>(RGB(Channel, Channel, Channel)));
      C->MoveTo(0, Y);
      C->LineTo(Width(), Y);
    }
  } else {
    C->FillRect(RECT{0, 0, Width(), H});
  }
  PaintBevels();
  SIZE W = C->TextExtent("W");
  RECT Area = FCaptionArea;
  int Middle = (Area.top + Area.bottom) / 2;
  Area.top = Middle - W.cy / 2;
  Area.bottom = Area.top + W.cy;
  PaintCaption(Area);
}
