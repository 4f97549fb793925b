#include "forms/Ime.h"

#include <imm.h>

#include <vector>

#include "rtl/AnsiText.h"

namespace {

const HKL DefaultKeyboardLayout = GetKeyboardLayout(0);

AnsiString ImeDescription(HKL Layout) {
  char Text[256] = {};
  UINT Length = ImmGetDescriptionA(Layout, Text, sizeof Text - 1);
  return AnsiString(Text, Length);
}

HKL InstalledImeNamed(const AnsiString& Name) {
  std::vector<HKL> Layouts(static_cast<size_t>(GetKeyboardLayoutList(0, nullptr)));
  Layouts.resize(static_cast<size_t>(
      GetKeyboardLayoutList(static_cast<int>(Layouts.size()), Layouts.data())));
  for (HKL Layout : Layouts)
    if (ImmIsIME(Layout) && AnsiSameText(ImeDescription(Layout), Name)) return Layout;
  return nullptr;
}

// The conversion bits of the modes that choose a script and width.
DWORD ConversionOf(TImeMode Mode) {
  switch (Mode) {
    case imAlpha:
      return IME_CMODE_FULLSHAPE;
    case imHira:
    case imChinese:
    case imHanguel:
      return IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
    case imSKata:
      return IME_CMODE_NATIVE | IME_CMODE_KATAKANA;
    case imKata:
      return IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE;
    case imSHanguel:
      return IME_CMODE_NATIVE;
    default:
      return 0;
  }
}

}  // namespace

void SetImeOfWindow(HWND Wnd, TImeMode Mode, const AnsiString& ImeName) {
  if (!Wnd || !SysLocaleFarEast()) return;
  if (!ImeName.empty()) {
    if (HKL Layout = InstalledImeNamed(ImeName)) ActivateKeyboardLayout(Layout, KLF_ACTIVATE);
  } else if (ImmIsIME(GetKeyboardLayout(0))) {
    RestoreDefaultKeyboardLayout();
  }
  if (Mode == imDontCare) return;
  // Without a context the window types past every input method.
  ImmAssociateContextEx(Wnd, nullptr, Mode == imDisable ? 0 : IACE_DEFAULT);
  if (Mode == imDisable) return;
  HIMC Context = ImmGetContext(Wnd);
  if (!Context) return;
  ImmSetOpenStatus(Context, Mode != imClose);
  if (Mode != imClose && Mode != imOpen) {
    DWORD Conversion = 0, Sentence = 0;
    ImmGetConversionStatus(Context, &Conversion, &Sentence);
    Conversion = (Conversion & ~(IME_CMODE_LANGUAGE | IME_CMODE_FULLSHAPE)) | ConversionOf(Mode);
    ImmSetConversionStatus(Context, Conversion, Sentence);
  }
  ImmReleaseContext(Wnd, Context);
}

AnsiString CurrentImeName() {
  HKL Layout = GetKeyboardLayout(0);
  return ImmIsIME(Layout) ? ImeDescription(Layout) : AnsiString();
}

void RestoreDefaultKeyboardLayout() {
  if (GetKeyboardLayout(0) != DefaultKeyboardLayout)
    ActivateKeyboardLayout(DefaultKeyboardLayout, KLF_ACTIVATE);
}
