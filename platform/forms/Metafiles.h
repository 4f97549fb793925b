// Enhanced metafiles: drawing recorded against a reference device (a
// printer) and played back on any other, and the canvas that records it.
#pragma once

#include "forms/Graphics.h"

class TMetafile : public TObject {
 public:
  TMetafile() = default;
  ~TMetafile() override;
  TMetafile(const TMetafile&) = delete;
  TMetafile& operator=(const TMetafile&) = delete;
  HENHMETAFILE Handle() const { return FHandle; }
  // Takes ownership of the recording.
  void SetHandle(HENHMETAFILE Value);
  // Plays the recording's frame into Rect (logical units of DC).
  void Play(HDC DC, const RECT& Rect) const;

 private:
  HENHMETAFILE FHandle = nullptr;
};

// Records into Metafile until the canvas is freed. The font counts in the
// reference device's resolution, keeping its size in points. With a size,
// the frame is Width × Height pixels of the reference device from its
// origin (a page), else what the drawing covers.
class TMetafileCanvas : public TCanvas {
 public:
  TMetafileCanvas(TMetafile* Metafile, HDC Reference, int Width = 0, int Height = 0);
  ~TMetafileCanvas() override;
  TMetafileCanvas(const TMetafileCanvas&) = delete;
  TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

 private:
  TMetafile* FMetafile;
};
