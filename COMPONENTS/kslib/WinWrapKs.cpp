#include "COMPONENTS/kslib/WinWrapKs.h"

#include <algorithm>
#include <vector>

#include "db/DB.h"
#include "rtl/AnsiText.h"

void CompatNoOp() {}

int CompareBookmarkStrs(TDataSet* DataSet, const AnsiString& Bookmark1,
                        const AnsiString& Bookmark2) {
  return DataSet->CompareBookmarks(Bookmark1, Bookmark2);
}

TDataSet* DataSetOfDataSourceProp(TComponent* Component, const AnsiString& PropName) {
  auto* Set = dynamic_cast<TDataSet*>(Component);
  if (!Set || (!SameText(PropName, "MasterSource") && !SameText(PropName, "DataSource")))
    return nullptr;
  TDataSource* Source = Set->DataSource();
  return Source ? Source->DataSet() : nullptr;
}

int WinDrawTextStr(HDC DC, const AnsiString& Text, int Count, RECT& Rect, UINT Format) {
  return DrawTextA(DC, Text.c_str(), Count, &Rect, Format);
}

int WinDrawTextExStr(HDC DC, const AnsiString& Text, int Count, RECT& Rect, UINT Format,
                     const DRAWTEXTPARAMS& DrawTextParams) {
  DRAWTEXTPARAMS Copy = DrawTextParams;
  // DrawTextExA takes a writable text because of DT_MODIFYSTRING, which the
  // callers never pass; a copy keeps the string untouched all the same.
  AnsiString Buffer = Text;
  return DrawTextExA(DC, Buffer.data(), Count, &Rect, Format, &Copy);
}

int WinDrawTextExStrNoParams(HDC DC, const AnsiString& Text, int Count, RECT& Rect, UINT Format) {
  AnsiString Buffer = Text;
  return DrawTextExA(DC, Buffer.data(), Count, &Rect, Format, nullptr);
}

bool WinExtTextOutStr(HDC DC, int X, int Y, UINT Options, const RECT* Rect,
                      const AnsiString& Text, int Count) {
  return ExtTextOutA(DC, X, Y, Options, Rect, Text.c_str(), static_cast<UINT>(Count), nullptr);
}

UINT WinGetOutlineTextMetrics(HDC DC, UINT Size, OUTLINETEXTMETRICA* Buffer) {
  return GetOutlineTextMetricsA(DC, Size, Buffer);
}

LRESULT WinSendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return SendMessageA(Wnd, Msg, WParam, LParam);
}

LRESULT WinSendMessageStr(HWND Wnd, UINT Msg, WPARAM WParam, const AnsiString& Text) {
  return SendMessageA(Wnd, Msg, WParam, reinterpret_cast<LPARAM>(Text.c_str()));
}

int WinSendMessageGetStr(HWND Wnd, UINT Msg, WPARAM WParam, AnsiString& Text) {
  constexpr int BufferSize = 4096;
  std::vector<char> Buffer(BufferSize + 1, '\0');
  auto Size = static_cast<uint16_t>(BufferSize);
  memcpy(Buffer.data(), &Size, sizeof Size);
  LRESULT Result = SendMessageA(Wnd, Msg, WParam, reinterpret_cast<LPARAM>(Buffer.data()));
  // A message may answer more (or less) than the buffer holds.
  int Count = static_cast<int>(std::clamp<LRESULT>(Result, 0, BufferSize));
  Text.assign(Buffer.data(), Count);
  return Count;
}

bool WinSystemParametersInfo(UINT Action, UINT Param, void* Data, UINT WinIni) {
  return SystemParametersInfoA(Action, Param, Data, WinIni);
}

bool WinInvalidateRect(HWND Wnd, const RECT* Rect, bool Erase) {
  return InvalidateRect(Wnd, Rect, Erase);
}

bool WinValidateRect(HWND Wnd, const RECT* Rect) { return ValidateRect(Wnd, Rect); }

int WinScrollWindowEx(HWND Wnd, int DX, int DY, const RECT* Scroll, const RECT* Clip,
                      HRGN Update, UINT Flags) {
  return ScrollWindowEx(Wnd, DX, DY, Scroll, Clip, Update, nullptr, Flags);
}

RECT RectToWinRect(const RECT& Rect) { return Rect; }

RECT WinRectToRect(const RECT& Rect) { return Rect; }

void EmptyRect(RECT& Rect) { Rect = RECT{0, 0, 0, 0}; }

bool WinLPtoDPRect(HDC DC, RECT& Rect) { return LPtoDP(DC, reinterpret_cast<POINT*>(&Rect), 2); }

HRGN WinCreatePolygonRgn(const POINT* Points, int Count, int FillMode) {
  return CreatePolygonRgn(Points, Count, FillMode);
}

LRESULT WinGetEditSel(HWND Wnd, DWORD* StartPtr, DWORD* EndPtr) {
  return SendMessageA(Wnd, EM_GETSEL, reinterpret_cast<WPARAM>(StartPtr),
                      reinterpret_cast<LPARAM>(EndPtr));
}

AnsiString AnsiUpperCaseStr(const AnsiString& Text) { return AnsiUpperCase(Text); }

AnsiString AnsiLowerCaseStr(const AnsiString& Text) { return AnsiLowerCase(Text); }

int AnsiCompareStrWrap(const AnsiString& Text1, const AnsiString& Text2) {
  return AnsiCompareStr(Text1, Text2);
}

int AnsiCompareTextWrap(const AnsiString& Text1, const AnsiString& Text2) {
  return AnsiCompareText(Text1, Text2);
}

void BitmapLoadFromResName(TBitmap* Bitmap, HINSTANCE Instance, const AnsiString& ResourceName) {
  Bitmap->LoadFromResourceName(Instance, ResourceName);
}

HBITMAP WinLoadBitmap(HINSTANCE Instance, const char* Name) { return LoadBitmapA(Instance, Name); }

void VarArrayRedimWrap(Variant& Array, int HighBound) { VarArrayRedim(Array, HighBound); }
