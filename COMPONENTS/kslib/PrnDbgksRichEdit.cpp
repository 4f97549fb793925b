#include "COMPONENTS/kslib/PrnDbgksRichEdit.h"

#include <commdlg.h>
#include <richedit.h>

#include <algorithm>

#include "rtl/AnsiText.h"

namespace {

struct TStreamData {
  const AnsiString* In = nullptr;
  size_t At = 0;
  AnsiString Out;
};

DWORD CALLBACK StreamInCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
  auto* Data = reinterpret_cast<TStreamData*>(Cookie);
  const size_t Left = Data->In->size() - Data->At;
  const size_t Taken = std::min(Left, static_cast<size_t>(Count));
  std::copy_n(Data->In->data() + Data->At, Taken, Buffer);
  Data->At += Taken;
  *Done = static_cast<LONG>(Taken);
  return 0;
}

DWORD CALLBACK StreamOutCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
  auto* Data = reinterpret_cast<TStreamData*>(Cookie);
  Data->Out.append(reinterpret_cast<const char*>(Buffer), static_cast<size_t>(Count));
  *Done = Count;
  return 0;
}

// Line ends as CR LF, whatever the text came with.
AnsiString NormalizeLineEnds(const AnsiString& Text) {
  AnsiString Result;
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == '\r' || Text[I] == '\n') {
      Result += "\r\n";
      if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
    } else {
      Result += Text[I];
    }
  }
  return Result;
}

}  // namespace

TRichEditStrings::TRichEditStrings() {
  static const HMODULE Library = LoadLibraryA("riched20.dll");
  (void)Library;
  FEdit = CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | ES_MULTILINE, 0, 0, 0, 0,
                          GetDesktopWindow(), nullptr, nullptr, nullptr);
  if (!FEdit) RaiseLastOSError();
  // The control's own default font is bold, and so would every loaded text be.
  SendMessageA(FEdit, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), 0);
  SendMessageA(FEdit, EM_EXLIMITTEXT, 0, 0x7FFFFFF0);
  // Lines are paragraphs, not what a window of no width wraps them into.
  SendMessageA(FEdit, EM_SETTARGETDEVICE, 0, 1);
}

TRichEditStrings::~TRichEditStrings() { DestroyWindow(FEdit); }

int TRichEditStrings::LineStart(int Index) const {
  return static_cast<int>(SendMessageA(FEdit, EM_LINEINDEX, Index, 0));
}

int TRichEditStrings::LineLength(int Position) const {
  return static_cast<int>(SendMessageA(FEdit, EM_LINELENGTH, Position, 0));
}

int TRichEditStrings::TextLength() const {
  GETTEXTLENGTHEX Length{GTL_NUMCHARS | GTL_PRECISE, CP_ACP};
  return static_cast<int>(SendMessageA(FEdit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&Length), 0));
}

int TRichEditStrings::GetCount() const {
  int Count = static_cast<int>(SendMessageA(FEdit, EM_GETLINECOUNT, 0, 0));
  if (Count > 0 && LineLength(LineStart(Count - 1)) == 0) --Count;
  return Count;
}

AnsiString TRichEditStrings::Range(int Start, int End) const {
  if (End < 0) End = TextLength();
  if (End <= Start) return "";
  AnsiString Text(static_cast<size_t>(End - Start) + 1, '\0');
  TEXTRANGEA Range{{Start, End}, Text.data()};
  Text.resize(SendMessageA(FEdit, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&Range)));
  return Text;
}

AnsiString TRichEditStrings::Get(int Index) const {
  const int Start = LineStart(Index);
  if (Start < 0) return "";
  AnsiString Text = Range(Start, Start + LineLength(Start) + 1);
  while (!Text.empty() && (Text.back() == '\r' || Text.back() == '\n')) Text.pop_back();
  return Text;
}

void TRichEditStrings::ReplaceRange(int Start, int End, const AnsiString& Text) {
  CHARRANGE Range{Start, End};
  SendMessageA(FEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&Range));
  SendMessageA(FEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Text.c_str()));
}

void TRichEditStrings::Put(int Index, const AnsiString& S) {
  if (Index < 0) return;
  const int Start = LineStart(Index);
  ReplaceRange(Start, Start + LineLength(Start), S);
}

void TRichEditStrings::Insert(int Index, const AnsiString& S) {
  if (Index < 0) return;
  int Position;
  AnsiString Text;
  if (Index < Count()) {
    Position = LineStart(Index);
    Text = S + "\r";
  } else {
    Position = Index > 0 ? LineStart(Index - 1) + LineLength(LineStart(Index - 1)) : 0;
    Text = Index > 0 ? "\r" + S : S + "\r";
  }
  const int Before = TextLength();
  ReplaceRange(Position, Position, Text);
  if (TextLength() != Before + static_cast<int>(Text.size()))
    throw EOutOfResources("Ошибка вставки строки в RichEdit");
}

void TRichEditStrings::Delete(int Index) {
  if (Index < 0) return;
  const int Start = LineStart(Index);
  if (Start < 0) return;
  const int Next = LineStart(Index + 1);
  ReplaceRange(Start, Next >= 0 ? Next : Start + LineLength(Start), "");
}

void TRichEditStrings::Clear() { SetWindowTextA(FEdit, ""); }

void TRichEditStrings::SetUpdateState(bool Updating) {
  SendMessageA(FEdit, WM_SETREDRAW, !Updating, 0);
  if (!Updating) InvalidateRect(FEdit, nullptr, TRUE);
}

void TRichEditStrings::SetTextStr(const AnsiString& Value) {
  const LPARAM Mask = SendMessageA(FEdit, EM_GETEVENTMASK, 0, 0);
  SendMessageA(FEdit, EM_SETEVENTMASK, 0, Mask & ~ENM_CHANGE);
  SetWindowTextA(FEdit, NormalizeLineEnds(Value).c_str());
  SendMessageA(FEdit, EM_SETEVENTMASK, 0, Mask);
}

bool TRichEditStrings::StreamIn(const AnsiString& Data, UINT Format) {
  TStreamData Stream;
  Stream.In = &Data;
  EDITSTREAM Edit{reinterpret_cast<DWORD_PTR>(&Stream), 0, StreamInCallback};
  SendMessageA(FEdit, EM_STREAMIN, Format, reinterpret_cast<LPARAM>(&Edit));
  return Edit.dwError == 0 && (Data.empty() || Stream.At > 0);
}

void TRichEditStrings::LoadFromStream(TStream* Stream) {
  AnsiString Data(static_cast<size_t>(Stream->Size() - Stream->Position()), '\0');
  Stream->ReadBuffer(Data.data(), static_cast<int32_t>(Data.size()));
  if (Data.rfind("{\\rtf", 0) == 0 && StreamIn(Data, SF_RTF)) return;
  if (!StreamIn(NormalizeLineEnds(Data), SF_TEXT))
    throw EOutOfResources("Сбой при Load Stream");
}

AnsiString TRichEditStrings::RichText() {
  TStreamData Stream;
  EDITSTREAM Edit{reinterpret_cast<DWORD_PTR>(&Stream), 0, StreamOutCallback};
  SendMessageA(FEdit, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&Edit));
  if (Edit.dwError != 0) throw EOutOfResources("Сбой при Save Stream");
  return Stream.Out;
}

void TRichEditStrings::SaveToStream(TStream* Stream) {
  const AnsiString Data = RichText();
  Stream->WriteBuffer(Data.data(), static_cast<int32_t>(Data.size()));
}

// The control's own find folds only Latin letters under Wine: the text is
// searched here, by the same letter-case tables as everywhere else.
int TRichEditSubstituteTarget::Find(const AnsiString& Text, int From) {
  const size_t At = AnsiUpperCase(FStrings->Range(From, -1)).find(AnsiUpperCase(Text));
  return At == AnsiString::npos ? -1 : From + static_cast<int>(At);
}

AnsiString TRichEditSubstituteTarget::Replace(int Start, int Length,
                                              const AnsiString& Replacement) {
  const AnsiString Replaced = FStrings->Range(Start, Start + Length);
  CHARRANGE Range{Start, Start + Length};
  SendMessageA(FStrings->Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&Range));
  SendMessageA(FStrings->Handle(), EM_REPLACESEL, FALSE,
               reinterpret_cast<LPARAM>(Replacement.c_str()));
  return Replaced;
}

HFONT TGdiRichMeasurer::Font(const TRichFormatKs& Format) {
  for (auto& [Known, Handle] : FFonts)
    if (Known == Format) return Handle.Get();
  LOGFONTA LF{};
  LF.lfHeight = -MulDiv(Format.HalfPoints, FDpiY, 144);
  LF.lfWeight = Format.Bold ? FW_BOLD : FW_NORMAL;
  LF.lfItalic = Format.Italic;
  LF.lfUnderline = Format.Underline;
  LF.lfStrikeOut = Format.StrikeOut;
  LF.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(LF.lfFaceName, Format.Face.c_str(), LF_FACESIZE);
  FFonts.emplace_back(Format, TGdiHandle<HFONT>(CreateFontIndirectA(&LF)));
  return FFonts.back().second.Get();
}

TRichMeasurerKs::TExtent TGdiRichMeasurer::Measure(const TRichFormatKs& Format,
                                                   const AnsiString& Text) {
  TSelectObject Selected(FDC, Font(Format));
  SIZE Size{};
  GetTextExtentPoint32A(FDC, Text.c_str(), static_cast<int>(Text.size()), &Size);
  TEXTMETRICA Metrics{};
  GetTextMetricsA(FDC, &Metrics);
  return {Size.cx, Metrics.tmAscent, Metrics.tmDescent};
}

void TGdiRichMeasurer::Draw(const TRichRangeKs& Range, int Left, int Top) {
  const UINT Align = SetTextAlign(FDC, TA_BASELINE | TA_LEFT);
  const int Mode = SetBkMode(FDC, TRANSPARENT);
  const COLORREF Color = GetTextColor(FDC);
  for (const TRichPieceKs& Piece : Range.Pieces) {
    TSelectObject Selected(FDC, Font(*Piece.Format));
    SetTextColor(FDC, Piece.Format->Color);
    TextOutA(FDC, Left + Piece.X, Top + Piece.Baseline, Piece.Text.c_str(),
             static_cast<int>(Piece.Text.size()));
  }
  SetTextColor(FDC, Color);
  SetBkMode(FDC, Mode);
  SetTextAlign(FDC, Align);
}
