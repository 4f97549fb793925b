// Thin, stateless wrappers through which the edit controls and the data grid
// reach Windows text drawing, messages and rectangles with the program's own
// string type, and a few string and variant helpers. Each is one call.
#pragma once

#include <windows.h>

#include "forms/Graphics.h"
#include "rtl/Types.h"
#include "rtl/Variants.h"

class TComponent;
class TDataSet;

// Does nothing; called before free notifications for compatibility.
void CompatNoOp();

// The dataset's own comparison of two bookmarks: negative, 0 or positive.
int CompareBookmarkStrs(TDataSet* DataSet, const AnsiString& Bookmark1,
                        const AnsiString& Bookmark2);
// The dataset of the data source a component's data-source property holds
// ("MasterSource" or "DataSource" of a dataset); null when the component
// has no such property or it holds nothing.
TDataSet* DataSetOfDataSourceProp(TComponent* Component, const AnsiString& PropName);

// Text drawing on the string's characters. The rectangle is in-out, as
// DT_CALCRECT widens it to the text. Results: the height of the text.
int WinDrawTextStr(HDC DC, const AnsiString& Text, int Count, RECT& Rect, UINT Format);
// DrawTextEx with a copy of the parameters, so the caller's record stays as it was.
int WinDrawTextExStr(HDC DC, const AnsiString& Text, int Count, RECT& Rect, UINT Format,
                     const DRAWTEXTPARAMS& DrawTextParams);
int WinDrawTextExStrNoParams(HDC DC, const AnsiString& Text, int Count, RECT& Rect, UINT Format);
bool WinExtTextOutStr(HDC DC, int X, int Y, UINT Options, const RECT* Rect,
                      const AnsiString& Text, int Count);
UINT WinGetOutlineTextMetrics(HDC DC, UINT Size, OUTLINETEXTMETRICA* Buffer);

LRESULT WinSendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
LRESULT WinSendMessageStr(HWND Wnd, UINT Msg, WPARAM WParam, const AnsiString& Text);
// Sends Msg with a 4096-character buffer whose first 16-bit word holds 4096
// (the EM_GETLINE convention); Text takes as many characters as the message
// answers, kept within the buffer. Returns that count.
int WinSendMessageGetStr(HWND Wnd, UINT Msg, WPARAM WParam, AnsiString& Text);
bool WinSystemParametersInfo(UINT Action, UINT Param, void* Data, UINT WinIni);

bool WinInvalidateRect(HWND Wnd, const RECT* Rect, bool Erase);
bool WinValidateRect(HWND Wnd, const RECT* Rect);
int WinScrollWindowEx(HWND Wnd, int DX, int DY, const RECT* Scroll, const RECT* Clip,
                      HRGN Update, UINT Flags);

// The program's rectangle and the Windows one are the same record here.
RECT RectToWinRect(const RECT& Rect);
RECT WinRectToRect(const RECT& Rect);
void EmptyRect(RECT& Rect);
// Passes a handle or point through unchanged.
template <class T>
T SameHandle(T Value) {
  return Value;
}
bool WinLPtoDPRect(HDC DC, RECT& Rect);
HRGN WinCreatePolygonRgn(const POINT* Points, int Count, int FillMode);
LRESULT WinGetEditSel(HWND Wnd, DWORD* StartPtr, DWORD* EndPtr);

AnsiString AnsiUpperCaseStr(const AnsiString& Text);
AnsiString AnsiLowerCaseStr(const AnsiString& Text);
int AnsiCompareStrWrap(const AnsiString& Text1, const AnsiString& Text2);
int AnsiCompareTextWrap(const AnsiString& Text1, const AnsiString& Text2);

void BitmapLoadFromResName(TBitmap* Bitmap, HINSTANCE Instance, const AnsiString& ResourceName);
// Name: a resource name or MAKEINTRESOURCE of an identifier.
HBITMAP WinLoadBitmap(HINSTANCE Instance, const char* Name);
void VarArrayRedimWrap(Variant& Array, int HighBound);
