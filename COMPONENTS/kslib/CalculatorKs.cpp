#include "COMPONENTS/kslib/CalculatorKs.h"

#include <cmath>

#include "forms/Clipbrd.h"
#include "rtl/AnsiText.h"

namespace {

// The pad as laid out at 96 dots per inch with a text height of 13.
struct TPadButton {
  const char* Caption;
  int Tag;
  int Left, Top, Width, Height;
  bool Red;
};
constexpr TPadButton kPad[] = {
    {"7", 1, 6, 29, 27, 22, false},    {"8", 2, 35, 29, 27, 22, false},
    {"9", 3, 64, 29, 27, 22, false},   {"/", 4, 93, 29, 27, 22, true},
    {"sqrt", 5, 122, 29, 27, 22, false}, {"C", 6, 151, 29, 27, 46, true},
    {"4", 7, 6, 53, 27, 22, false},    {"5", 8, 35, 53, 27, 22, false},
    {"6", 9, 64, 53, 27, 22, false},   {"*", 10, 93, 53, 27, 22, true},
    {"%", 11, 122, 53, 27, 22, false}, {"1", 13, 6, 77, 27, 22, false},
    {"2", 14, 35, 77, 27, 22, false},  {"3", 15, 64, 77, 27, 22, false},
    {"-", 16, 93, 77, 27, 22, true},   {"1/x", 17, 122, 77, 27, 22, false},
    {"<-", 18, 151, 77, 27, 22, true}, {"0", 19, 6, 101, 27, 22, false},
    {"+/-", 20, 35, 101, 27, 22, false}, {".", 21, 64, 101, 27, 22, false},
    {"+", 22, 93, 101, 27, 22, true},  {"Ok", 23, 122, 101, 56, 22, true},
};
constexpr int kEqualTag = 23;

// The key each tag sends; 'A' (tag 12) is ignored by the key processing.
constexpr char kTagKeys[] = {'\0', '7', '8', '9', '/', 'S', 'C', '4', '5', '6', '*', '%',
                             'A',  '1', '2', '3', '-', 'R', '\b', '0', 'I', '.', '+', '='};

constexpr char kCtrlC = 3, kCtrlV = 22, kEnter = 13, kEscape = 27;

// What a window frame of these styles adds to a client area's width.
int FrameSize(DWORD Style, DWORD ExStyle) {
  RECT R{};
  AdjustWindowRectEx(&R, Style, FALSE, ExStyle);
  return R.right - R.left;
}

void ScaleControls(TWinControl* Parent, int M, int D) {
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    TControl* C = Parent->Controls(I);
    C->SetBounds(MulDiv(C->Left(), M, D), MulDiv(C->Top(), M, D), MulDiv(C->Width(), M, D),
                 MulDiv(C->Height(), M, D));
    if (auto* Win = dynamic_cast<TWinControl*>(C)) ScaleControls(Win, M, D);
  }
}

}  // namespace

// --- TCalculatorKs

TCalculatorKs::TCalculatorKs(TComponent* AOwner)
    : TCustomControl(AOwner), FDisplay(new TPanel(this)), FTextBox(new TLabel(this)) {
  SetColor(clBtnFace);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  // Like a form, the font follows the screen's resolution first.
  const int ScreenPixelsPerInch = GetDeviceCaps(TWindowDC().Get(), LOGPIXELSY);
  if (ScreenPixelsPerInch != FPixelsPerInch)
    Font()->SetHeight(MulDiv(Font()->Height(), ScreenPixelsPerInch, FPixelsPerInch));
  FDisplay->SetParent(this);
  FDisplay->SetBounds(6, 4, 171, 19);
  FDisplay->SetCaption("");
  FDisplay->SetBevelOuter(bvNone);
  FDisplay->SetBorderWidth(2);
  FDisplay->SetColor(clHighlightText);
  FTextBox->SetParent(FDisplay);
  FTextBox->SetAlignment(taRightJustify);
  FTextBox->SetBounds(2, 2, 167, 15);
  FTextBox->SetCaption("0");
  BuildPad();
  ScaleToScreen();
  UpdateAutoSize();
}

void TCalculatorKs::BuildPad() {
  for (const TPadButton& B : kPad) {
    auto* Button = new TSpeedButtonKs(this);
    Button->SetParent(this);
    Button->SetBounds(B.Left, B.Top, B.Width, B.Height);
    Button->SetCaption(B.Caption);
    Button->SetFlat(true);
    Button->Font()->Assign(Font());
    Button->Font()->SetColor(B.Red ? clRed : clBlue);
    Button->Tag = B.Tag;
    Button->OnClick = [this](TObject* Sender) { SpeedButtonClick(Sender); };
    Button->SetStyle(ebsGlyphKs);
    Button->SetActive(true);
    if (B.Tag == kEqualTag) FspEqual = Button;
  }
}

// Children and the client size follow the font's text height, as a form
// scales to a font of another size than the one it was laid out with.
void TCalculatorKs::ScaleToScreen() {
  TWindowDC DC;
  TSelectObject Selected(DC.Get(), Font()->Handle());
  SIZE Zero{};
  GetTextExtentPoint32A(DC.Get(), "0", 1, &Zero);
  if (Zero.cy != FTextHeight) {
    ScaleControls(this, Zero.cy, FTextHeight);
    FStoredClientWidth = MulDiv(FStoredClientWidth, Zero.cy, FTextHeight);
    FStoredClientHeight = MulDiv(FStoredClientHeight, Zero.cy, FTextHeight);
    FTextHeight = Zero.cy;
  }
  FTextBox->SetTop((FDisplay->Height() - FTextBox->Height()) / 2);
}

void TCalculatorKs::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.Style |= WS_BORDER;
}

int TCalculatorKs::GetBorderSize() {
  return FrameSize(WS_CHILD | (FBorderStyle == bsSingle ? WS_BORDER : 0), 0);
}

void TCalculatorKs::CanAutoSize(int& NewWidth, int& NewHeight) {
  NewWidth = FStoredClientWidth + GetBorderSize();
  NewHeight = FStoredClientHeight + GetBorderSize();
}

void TCalculatorKs::UpdateAutoSize() { SetBounds(Left(), Top(), Width(), Height()); }

void TCalculatorKs::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  CanAutoSize(AWidth, AHeight);
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCalculatorKs::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  if (HandleAllocated()) RecreateWnd();
  UpdateAutoSize();
}

double TCalculatorKs::DisplayValue() {
  if (FState == csError) return 0;
  return StrToFloat(Trim(FTextBox->Caption()));
}

void TCalculatorKs::SetDisplayValue(double Value) {
  if (!std::isfinite(Value)) {
    SetError();
    return;
  }
  FTextBox->SetCaption(FloatToStrF(Value, ffGeneral, 15, 0));
}

void TCalculatorKs::SpeedButtonClick(TObject* Sender) {
  const intptr_t Tag = static_cast<TComponent*>(Sender)->Tag;
  if (Tag >= 0 && Tag < static_cast<intptr_t>(sizeof kTagKeys)) ProcessKey(kTagKeys[Tag]);
}

void TCalculatorKs::KeyPress(char& Key) {
  TCustomControl::KeyPress(Key);
  ProcessKey(Key);
}

void TCalculatorKs::BeginNumber() {
  if (FState != csResult) return;
  FState = csTyping;
  FTextBox->SetCaption("0");
}

void TCalculatorKs::Clear() {
  FState = csResult;
  FTextBox->SetCaption("0");
  FOperator = '=';
  FOperand = 0;
}

void TCalculatorKs::SetError() {
  FState = csError;
  FTextBox->SetCaption("Error");
}

void TCalculatorKs::ProcessKey(char Key) {
  if (Key >= 'a' && Key <= 'z') Key = static_cast<char>(Key - 'a' + 'A');
  if (FState == csError && Key != 'C') return;
  const char Separator = FormatSettings.DecimalSeparator;
  if (Key == Separator || Key == ',' || Key == '.') {
    BeginNumber();
    if (FTextBox->Caption().find(Separator) == AnsiString::npos)
      FTextBox->SetCaption(FTextBox->Caption() + Separator);
    return;
  }
  AnsiString Text = FTextBox->Caption();
  switch (Key) {
    case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9': {
      BeginNumber();
      Text = FTextBox->Caption();
      const size_t Room = !Text.empty() && Text[0] == '-' ? 16 : 15;
      if (Text == "0")
        FTextBox->SetCaption(AnsiString(1, Key));
      else if (Text.find('E') == AnsiString::npos && Text.size() < Room)
        FTextBox->SetCaption(Text + Key);
      break;
    }
    case '\b':
      BeginNumber();
      Text = FTextBox->Caption();
      if (Text.size() == 1 || (Text.size() == 2 && Text[0] == '-'))
        FTextBox->SetCaption("0");
      else
        FTextBox->SetCaption(Text.substr(0, Text.size() - 1));
      break;
    case 'C':
    case kEscape:
      Clear();
      break;
    case 'I':
      SetDisplayValue(-DisplayValue());
      break;
    case 'R': {
      FState = csResult;
      const double X = DisplayValue();
      if (X == 0)
        SetError();
      else
        SetDisplayValue(1 / X);
      break;
    }
    case 'S': {
      FState = csResult;
      const double X = DisplayValue();
      if (X < 0)
        SetError();
      else
        SetDisplayValue(std::sqrt(X));
      break;
    }
    case kCtrlC:
      Clipboard()->SetAsText(Text);
      break;
    case kCtrlV:
      PasteNumber();
      break;
    case '+': case '-': case '*': case '/': case '%': case '=': case kEnter:
      Operator(Key);
      break;
    default:
      break;
  }
  UpdateEqualCaption();
}

// A pasted number is an operand, as if typed; other text is refused with a
// beep rather than raised out of the key handling.
void TCalculatorKs::PasteNumber() {
  if (!Clipboard()->HasFormat(CF_TEXT)) return;
  double Value;
  if (!TryStrToFloat(Trim(Clipboard()->AsText()), Value) || !std::isfinite(Value)) {
    MessageBeep(0);
    return;
  }
  FState = csTyping;
  SetDisplayValue(Value);
}

void TCalculatorKs::Operator(char Key) {
  if (FState == csTyping) {
    FState = csResult;
    double X = DisplayValue();
    if (Key == '%') {
      if (FOperator == '*' || FOperator == '/')
        X = X / 100;
      else if (FOperator == '+' || FOperator == '-')
        X = FOperand * X / 100;
    }
    switch (FOperator) {
      case '*': SetDisplayValue(FOperand * X); break;
      case '+': SetDisplayValue(FOperand + X); break;
      case '-': SetDisplayValue(FOperand - X); break;
      case '/':
        if (X == 0)
          SetError();
        else
          SetDisplayValue(FOperand / X);
        break;
      default: SetDisplayValue(X); break;
    }
  }
  FOperator = Key;
  FOperand = DisplayValue();
}

void TCalculatorKs::UpdateEqualCaption() {
  const bool Pending = FOperator == '*' || FOperator == '+' || FOperator == '-' || FOperator == '/';
  FspEqual->SetCaption(FOperand != 0 && FState == csTyping && Pending ? "=" : "Ok");
}

// A notch takes 1 off the number or adds 1; in the error state it is used
// up and changes nothing.
bool TCalculatorKs::DoMouseWheelDown(TShiftState, POINT) {
  if (FState != csError) SetDisplayValue(DisplayValue() - 1);
  return true;
}

bool TCalculatorKs::DoMouseWheelUp(TShiftState, POINT) {
  if (FState != csError) SetDisplayValue(DisplayValue() + 1);
  return true;
}

// --- TPopupCalculatorKs

TPopupCalculatorKs::TPopupCalculatorKs(TComponent* AOwner) : TCalculatorKs(AOwner) {
  FVisible = false;
  SetTabStop(false);
  UpdateAutoSize();
}

void TPopupCalculatorKs::CreateParams(TCreateParams& Params) {
  TCalculatorKs::CreateParams(Params);
  // Sizing asks for the styles too, maybe before the owner has a window;
  // that must not make the owner's window early, outside its parent.
  auto* OwnerControl = dynamic_cast<TWinControl*>(Owner());
  MakePopupParams(Params, OwnerControl && OwnerControl->HandleAllocated() ? OwnerControl : nullptr,
                  FCtl3D);
}

int TPopupCalculatorKs::GetBorderSize() {
  return FrameSize(WS_POPUP | (FCtl3D ? 0 : WS_BORDER), WS_EX_TOOLWINDOW);
}

void TPopupCalculatorKs::CanAutoSize(int& NewWidth, int& NewHeight) {
  TCalculatorKs::CanAutoSize(NewWidth, NewHeight);
  NewWidth += 2 * FrameWidth();
  NewHeight += 2 * FrameWidth();
}

void TPopupCalculatorKs::SetCtl3D(bool Value) {
  if (FCtl3D == Value) return;
  FCtl3D = Value;
  if (HandleAllocated()) RecreateWnd();
  UpdateAutoSize();
}

bool TPopupCalculatorKs::CanAccept() { return spEqual()->Caption() == "Ok"; }

Variant TPopupCalculatorKs::GetValue() {
  if (State() == csError) return VarAsError(0);
  return Variant(DisplayValue());
}

void TPopupCalculatorKs::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  for (int I = 0; I < ControlCount(); ++I)
    if (auto* Button = dynamic_cast<TSpeedButtonKs*>(Controls(I))) Button->SetFlat(Value);
}

void TPopupCalculatorKs::SetValue(const Variant& Value) {
  ProcessKey('C');
  SetDisplayValue(Value.AsDouble());
}

void TPopupCalculatorKs::ShowAt(POINT Position) {
  FVisible = true;
  ShowPopupAt(this, Position);
}

void TPopupCalculatorKs::CloseOwner(bool Accept) {
  if (auto* PopupOwner = dynamic_cast<IPopupOwnerKs*>(Owner())) PopupOwner->CloseUp(Accept);
}

void TPopupCalculatorKs::ProcessKey(char Key) {
  if ((Key == kEnter || Key == '=') && CanAccept())
    CloseOwner(true);
  else
    TCalculatorKs::ProcessKey(Key);
}

void TPopupCalculatorKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCalculatorKs::KeyDown(Key, Shift);
  if (Key == VK_ESCAPE) {
    CloseOwner(false);
    Key = 0;
  }
}

// A dark frame with a raised edge inside it.
void TPopupCalculatorKs::DrawBorder() {
  TWindowDC DC(Handle());
  RECT R;
  GetWindowRect(Handle(), &R);
  OffsetRect(&R, -R.left, -R.top);
  FrameRect(DC.Get(), &R, GetSysColorBrush(COLOR_3DDKSHADOW));
  InflateRect(&R, -1, -1);
  DrawEdge(DC.Get(), &R, BDR_RAISEDINNER, BF_RECT);
}

void TPopupCalculatorKs::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_GETDLGCODE:
      TCalculatorKs::WndProc(Message);
      Message.Result |= DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
      return;
    case CM_WANTSPECIALKEY:
      if (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE) {
        CloseOwner(Message.WParam == VK_RETURN);
        Message.Result = 1;
        return;
      }
      break;
    case WM_CLOSEUPCALCULATORKS:
      CloseOwner(false);
      return;
    case WM_NCCALCSIZE:
      DefaultHandler(Message);
      if (FrameWidth())
        InflateRect(reinterpret_cast<RECT*>(Message.LParam), -FrameWidth(), -FrameWidth());
      return;
    case WM_NCPAINT:
      DefaultHandler(Message);
      if (FrameWidth()) DrawBorder();
      return;
    default:
      break;
  }
  TCalculatorKs::WndProc(Message);
}
