#include "forms/Metafiles.h"

TMetafile::~TMetafile() { SetHandle(nullptr); }

void TMetafile::SetHandle(HENHMETAFILE Value) {
  if (FHandle) DeleteEnhMetaFile(FHandle);
  FHandle = Value;
}

void TMetafile::Play(HDC DC, const RECT& Rect) const {
  if (FHandle) PlayEnhMetaFile(DC, FHandle, &Rect);
}

TMetafileCanvas::TMetafileCanvas(TMetafile* Metafile, HDC Reference, int Width, int Height)
    : FMetafile(Metafile) {
  RECT Frame{};
  if (Width > 0 && Height > 0) {
    // The frame counts in 0.01 mm of the reference device.
    TWindowDC Screen;
    HDC Device = Reference ? Reference : Screen.Get();
    Frame.right = MulDiv(Width, GetDeviceCaps(Device, HORZSIZE) * 100, GetDeviceCaps(Device, HORZRES));
    Frame.bottom =
        MulDiv(Height, GetDeviceCaps(Device, VERTSIZE) * 100, GetDeviceCaps(Device, VERTRES));
  }
  HDC DC = CreateEnhMetaFileA(Reference, nullptr, Frame.right > 0 ? &Frame : nullptr, nullptr);
  if (!DC) RaiseLastOSError();
  const int Size = Font()->Size();
  Font()->SetPixelsPerInch(GetDeviceCaps(Reference ? Reference : DC, LOGPIXELSY));
  Font()->SetSize(Size);
  SetHandle(DC);
}

TMetafileCanvas::~TMetafileCanvas() {
  HDC DC = Handle();
  SetHandle(nullptr);
  FMetafile->SetHandle(CloseEnhMetaFile(DC));
}
