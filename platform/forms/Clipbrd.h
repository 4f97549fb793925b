// The clipboard: opened by reference count; the first addition after an
// open empties it.
#pragma once

#include <windows.h>

#include "rtl/Classes.h"

class TClipboard : public TPersistent {
 public:
  TClipboard();
  ~TClipboard() override;
  TClipboard(const TClipboard&) = delete;
  TClipboard& operator=(const TClipboard&) = delete;

  void Open();
  void Close();
  void Clear();
  bool HasFormat(UINT Format) const { return IsClipboardFormatAvailable(Format) != 0; }
  // Puts a global memory block; the clipboard owns it afterwards.
  void SetAsHandle(UINT Format, HANDLE Value);
  HANDLE GetAsHandle(UINT Format);
  AnsiString AsText();
  void SetAsText(const AnsiString& Value);

 private:
  void Adding();
  HWND FWindow = nullptr;
  int FOpenCount = 0;
  bool FEmptied = false;
};

TClipboard* Clipboard();
