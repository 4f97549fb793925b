#include "COMPONENTS/kslib/PropFilerKs.h"

#include <algorithm>
#include <memory>

namespace {

struct TRegistration {
  std::type_index Component;
  TInterceptorClassKs Interceptor;
};

std::unique_ptr<std::vector<TRegistration>>& Registry() {
  static std::unique_ptr<std::vector<TRegistration>> List;
  return List;
}

int UnitUseCount = 0;

TWindowState StateOf(HWND Wnd) {
  if (IsZoomed(Wnd)) return wsMaximized;
  if (IsIconic(Wnd)) return wsMinimized;
  return wsNormal;
}

}  // namespace

void RegisterPropertyInterceptor(std::type_index ComponentClass, std::type_index Interceptor,
                                 TInterceptorFactoryKs Create) {
  auto& List = Registry();
  if (!List) List = std::make_unique<std::vector<TRegistration>>();
  std::erase_if(*List, [&](const TRegistration& R) { return R.Component == ComponentClass; });
  List->push_back(TRegistration{ComponentClass, TInterceptorClassKs{Interceptor, Create}});
}

void UnregisterPropertyInterceptor(std::type_index ComponentClass, std::type_index Interceptor) {
  if (!Registry()) return;
  std::erase_if(*Registry(), [&](const TRegistration& R) {
    return R.Component == ComponentClass && R.Interceptor.Class == Interceptor;
  });
}

const TInterceptorClassKs* FindPropertyInterceptor(std::type_index ComponentClass) {
  if (!Registry()) return nullptr;
  for (const TRegistration& R : *Registry())
    if (R.Component == ComponentClass) return &R.Interceptor;
  return nullptr;
}

TFormStoragePropertyInterceptor::TFormStoragePropertyInterceptor(TPersistent* ATarget)
    : TStoragePropertyInterceptor(ATarget) {
  TCustomForm* F = Form();
  if (!F) return;
  RECT R = NormalBounds();
  Left = R.left, Top = R.top, Width = R.right - R.left, Height = R.bottom - R.top;
  PixelsPerInch = ScreenPixelsPerInch();
  WindowState = F->HandleAllocated() ? StateOf(F->Handle()) : wsNormal;
  if (F->ActiveControl()) ActiveControl = F->ActiveControl()->Name();
}

RECT TFormStoragePropertyInterceptor::NormalBounds() const {
  TCustomForm* F = Form();
  if (F->HandleAllocated() && StateOf(F->Handle()) != wsNormal) {
    WINDOWPLACEMENT P{};
    P.length = sizeof P;
    GetWindowPlacement(F->Handle(), &P);
    return P.rcNormalPosition;
  }
  return F->BoundsRect();
}

std::vector<TInterceptedPropertyKs> TFormStoragePropertyInterceptor::Properties() {
  // Reads come from the form's normal bounds; Left and Top also tell that
  // a position was read.
  auto Bound = [this](const char* Name, int& Field, LONG RECT::*From, LONG RECT::*To,
                      bool Position) {
    return TInterceptedPropertyKs{
        Name,
        [this, From, To] {
          RECT R = Form() ? NormalBounds() : RECT{};
          return Variant(static_cast<int>(To ? R.*To - R.*From : R.*From));
        },
        [this, &Field, Position](const Variant& V) {
          Field = V.AsInteger();
          PositionRead = PositionRead || Position;
        }};
  };
  return {Bound("Left", Left, &RECT::left, nullptr, true),
          Bound("Top", Top, &RECT::top, nullptr, true),
          Bound("Width", Width, &RECT::left, &RECT::right, false),
          Bound("Height", Height, &RECT::top, &RECT::bottom, false),
          {"PixelsPerInch", nullptr, [this](const Variant& V) { PixelsPerInch = V.AsInteger(); }},
          {"WindowState", nullptr,
           [this](const Variant& V) { WindowState = static_cast<TWindowState>(V.AsInteger()); }},
          {"ActiveControl", nullptr, [this](const Variant& V) { ActiveControl = V.AsString(); }}};
}

void TFormStoragePropertyInterceptor::AfterPropertiesRead() {
  int Screen = ScreenPixelsPerInch();
  if (PixelsPerInch > 0) {
    Width = MulDiv(Width, Screen, PixelsPerInch);
    Height = MulDiv(Height, Screen, PixelsPerInch);
    Left = MulDiv(Left, Screen, PixelsPerInch);
    Top = MulDiv(Top, Screen, PixelsPerInch);
  }
  TCustomForm* F = Form();
  if (!F) return;
  if (F->HandleAllocated() && F->Visible())
    ShowWindow(F->Handle(), WindowState == wsMaximized   ? SW_MAXIMIZE
                            : WindowState == wsMinimized ? SW_MINIMIZE
                                                         : SW_RESTORE);
  if (auto* Control = dynamic_cast<TWinControl*>(F->FindComponent(ActiveControl));
      Control && !F->Visible())
    F->SetActiveControl(Control);
  if (WindowState != wsNormal && F->HandleAllocated()) {
    WINDOWPLACEMENT P{};
    P.length = sizeof P;
    GetWindowPlacement(F->Handle(), &P);
    P.rcNormalPosition = RECT{Left, Top, Left + Width, Top + Height};
    SetWindowPlacement(F->Handle(), &P);
  } else {
    F->SetBounds(Left, Top, Width, Height);
  }
  if (F->Position() == poScreenCenter && !F->ComponentState().Contains(csDesigning) && PositionRead)
    F->SetPosition(poDesigned);
}

void InitPropFilerKsUnit() {
  if (UnitUseCount++ > 0) return;
  RegisterPropertyInterceptor<TCustomForm, TFormStoragePropertyInterceptor>();
}

void DonePropFilerKsUnit() {
  if (UnitUseCount == 0 || --UnitUseCount > 0) return;
  Registry().reset();
}
