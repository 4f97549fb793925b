#include "forms/Metafiles.h"

TMetafile::~TMetafile() { SetHandle(nullptr); }

void TMetafile::SetHandle(HENHMETAFILE Value) {
  if (FHandle) DeleteEnhMetaFile(FHandle);
  FHandle = Value;
}

TMetafileCanvas::TMetafileCanvas(TMetafile* Metafile, HDC Reference) : FMetafile(Metafile) {
  HDC DC = CreateEnhMetaFileA(Reference, nullptr, nullptr, nullptr);
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
