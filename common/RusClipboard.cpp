#include "common/RusClipboard.h"

#include <cstring>

void SetClipboardLocale(TRusClipboard*, int32_t Locale) {
  HGLOBAL Data = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof Locale);
  if (!Data) return;
  std::memcpy(GlobalLock(Data), &Locale, sizeof Locale);
  GlobalUnlock(Data);
  if (!SetClipboardData(CF_LOCALE, Data)) GlobalFree(Data);
}
