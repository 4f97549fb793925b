#include "forms/Clipbrd.h"

#include <cstring>

#include "rtl/SysUtils.h"

TClipboard::TClipboard() = default;

TClipboard::~TClipboard() {
  if (FOpenCount) CloseClipboard();
  if (FWindow) DestroyWindow(FWindow);
}

void TClipboard::Open() {
  if (FOpenCount++ > 0) return;
  // The clipboard needs an owner window for its data to stay.
  if (!FWindow)
    FWindow =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!OpenClipboard(FWindow)) {
    FOpenCount = 0;
    throw Exception("Cannot open clipboard");
  }
  FEmptied = false;
}

void TClipboard::Close() {
  if (FOpenCount == 0 || --FOpenCount > 0) return;
  CloseClipboard();
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  FEmptied = true;
  Close();
}

void TClipboard::Adding() {
  if (FOpenCount && !FEmptied) {
    EmptyClipboard();
    FEmptied = true;
  }
}

void TClipboard::SetAsHandle(UINT Format, HANDLE Value) {
  Open();
  Adding();
  SetClipboardData(Format, Value);
  Close();
}

HANDLE TClipboard::GetAsHandle(UINT Format) {
  Open();
  HANDLE Data = GetClipboardData(Format);
  Close();
  return Data;
}

AnsiString TClipboard::AsText() {
  Open();
  AnsiString Result;
  if (HANDLE Data = GetClipboardData(CF_TEXT)) {
    if (auto* Text = static_cast<const char*>(GlobalLock(Data))) {
      Result = Text;
      GlobalUnlock(Data);
    }
  }
  Close();
  return Result;
}

void TClipboard::SetAsText(const AnsiString& Value) {
  HGLOBAL Data = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, Value.size() + 1);
  if (!Data) throw EOutOfMemory("Out of memory");
  std::memcpy(GlobalLock(Data), Value.c_str(), Value.size() + 1);
  GlobalUnlock(Data);
  SetAsHandle(CF_TEXT, Data);
}

TClipboard* Clipboard() {
  static TClipboard Instance;
  return &Instance;
}
