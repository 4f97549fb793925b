// Putting a cell's text or image into a rectangle of a canvas: one-line text
// with alignment and an end ellipsis, word-wrapped text, text turned by 90
// degrees for vertical titles, and images clipped to the cell. The grid's
// painting, the lookup grid and printing share them, with the grid's two
// image lists and one bitmap for the cells whose colour the device dithers.
#pragma once

#include "COMPONENTS/kslib/DBGridKsColumns.h"
#include "forms/Graphics.h"

// DX and DY are the horizontal and vertical margins, LeftMarg and RightMarg
// those of the word-wrapping drawing. With FillRect the background takes the
// canvas brush; otherwise the text goes over what is there, except for a
// brush colour the device can only dither, which is always filled.
void WriteCellText(TCanvas* Canvas, RECT Rect, bool FillRect, int DX, int DY,
                   const AnsiString& Text, TAlignment Alignment, TTextLayout Layout,
                   bool MultiLine, bool EndEllipsis, int LeftMarg, int RightMarg,
                   bool RightToLeftReading);

// Maps the DC so that x runs from the right edge of a Width-wide area to
// its left (right-to-left painting), or back to plain pixels.
void MirrorDC(HDC DC, int Width, int Height, bool Mirrored);

// The word-wrapping drawing alone: DrawTextEx with the text margins, inside
// Rect less DX and DY, placed by Layout; the background mode is the
// caller's. Printing draws every text with it.
void DrawCellTextEx(TCanvas* Canvas, const RECT& Rect, int DX, int DY, const AnsiString& Text,
                    TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis,
                    int LeftMarg, int RightMarg, bool RightToLeftReading);

// Draws the text turned counter-clockwise (reading from bottom to top) and
// returns its length along the baseline. A turned text is never shortened:
// EndEllipsis is taken for the callers' sake only. CalcOnly just measures.
// The canvas font is left unturned.
int WriteRotatedText(TCanvas* Canvas, RECT Rect, bool FillRect, int DX, int DY,
                     const AnsiString& Text, TAlignment Alignment, TTextLayout Layout,
                     bool EndEllipsis, bool CalcOnly);

// The longest start of Text followed by "..." within MaxWidth; Text itself
// when it fits, and "..." alone when nothing else does (even if that does not).
AnsiString TrimTextWithEllipsis(const AnsiString& Text, TCanvas* Canvas, int MaxWidth);

// A number's text as one line of a cell shows it: itself when it fits
// Width, else "#" filling it. A number cut at either end would read as
// another one.
AnsiString FitNumberText(const AnsiString& Text, TCanvas* Canvas, int Width);

// A new font like Font, turned by 90 degrees; the caller owns it.
HFONT CreateRotatedFont(const TFont& Font);

// Image ImageIndex of ImageList, or Graphic when ImageList is null, centred
// vertically in Rect and clipped to it.
void DrawImageInCell(TImageList* ImageList, TGraphic* Graphic, TCanvas* Canvas,
                     const RECT& Rect, int ImageIndex, int DX, TAlignment Alignment);

// Clips the context to a rectangle for the scope and puts back the clip
// region it had (or none).
class TCellClip {
 public:
  TCellClip(HDC DC, const RECT& Rect) : FDC(DC), FSaved(CreateRectRgn(0, 0, 0, 0)) {
    FHadClip = GetClipRgn(DC, FSaved.Get()) == 1;
    IntersectClipRect(DC, Rect.left, Rect.top, Rect.right, Rect.bottom);
  }
  TCellClip(const TCellClip&) = delete;
  TCellClip& operator=(const TCellClip&) = delete;
  ~TCellClip() { SelectClipRgn(FDC, FHadClip ? FSaved.Get() : nullptr); }

 private:
  HDC FDC;
  TGdiHandle<HRGN> FSaved;
  bool FHadClip;
};

// The bitmap all grids share, alive while a grid holds it.
void AcquireCellBitmap();
void ReleaseCellBitmap();
TBitmap* CellBitmap();

// The row indicators (arrow, I-beam, asterisk, dot, arrow with dot, white
// arrow, and the arrow in the search-match colour) and the sort markers
// (down, up), from the program's bitmaps.
void LoadGridImageLists(TImageList*& IndicatorImages, TImageList*& SortMarkerImages,
                        TColor SearchMatchColor);
// Makes, or remakes, the indicator image in the search-match colour.
void BuildSearchArrowImage(TImageList* IndicatorImages, TColor SearchMatchColor);
