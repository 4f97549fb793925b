// The rich texts around a printed grid: a line list kept in a hidden rich
// edit (so formatting survives), and their drawing on a device through the
// range layout of PrnDbgksRichText.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "COMPONENTS/kslib/PrnDbgksMacros.h"
#include "COMPONENTS/kslib/PrnDbgksRichText.h"
#include "forms/Graphics.h"
#include "rtl/Streams.h"

class TRichEditStrings : public TStrings {
 public:
  TRichEditStrings();
  ~TRichEditStrings() override;
  TRichEditStrings(const TRichEditStrings&) = delete;
  TRichEditStrings& operator=(const TRichEditStrings&) = delete;

  void Put(int Index, const AnsiString& S) override;
  // EOutOfResources "Ошибка вставки строки в RichEdit" when the control
  // did not take the whole line.
  void Insert(int Index, const AnsiString& S) override;
  void Delete(int Index) override;
  void Clear() override;
  // As rich text, formatting included; a stream that is not rich text is
  // read as plain text. EOutOfResources "Сбой при Load Stream" or
  // "Сбой при Save Stream" when the control fails.
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);
  // What SaveToStream writes.
  AnsiString RichText();
  // The characters from Start up to End (-1: the end), a paragraph end as
  // "\r", at the positions selections and finds use.
  AnsiString Range(int Start, int End) const;
  HWND Handle() const { return FEdit; }

 protected:
  AnsiString Get(int Index) const override;
  int GetCount() const override;
  void SetUpdateState(bool Updating) override;
  // The whole text at once, the control's change notice held back meanwhile.
  void SetTextStr(const AnsiString& Value) override;

 private:
  int LineStart(int Index) const;
  int LineLength(int Position) const;
  int TextLength() const;
  void ReplaceRange(int Start, int End, const AnsiString& Text);
  bool StreamIn(const AnsiString& Data, UINT Format);

  HWND FEdit = nullptr;
  TFont FFont;
};

// Find and replace in the rich edit, keeping the formatting at the place.
class TRichEditSubstituteTarget : public TSubstituteTargetKs {
 public:
  explicit TRichEditSubstituteTarget(TRichEditStrings* Strings) : FStrings(Strings) {}
  int Find(const AnsiString& Text, int From) override;
  AnsiString Replace(int Start, int Length, const AnsiString& Replacement) override;

 private:
  TRichEditStrings* FStrings;
};

// Text sizes and drawing of rich text on a device context.
class TGdiRichMeasurer : public TRichMeasurerKs {
 public:
  // Fonts sized for DpiY.
  TGdiRichMeasurer(HDC DC, int DpiY) : FDC(DC), FDpiY(DpiY) {}
  TExtent Measure(const TRichFormatKs& Format, const AnsiString& Text) override;
  // The range's pieces with Left, Top as its corner.
  void Draw(const TRichRangeKs& Range, int Left, int Top);

 private:
  HFONT Font(const TRichFormatKs& Format);

  HDC FDC;
  int FDpiY;
  std::vector<std::pair<TRichFormatKs, TGdiHandle<HFONT>>> FFonts;
};
