#pragma once
// The clipboard with the Russian text locale: text put together with
// CF_LOCALE, so that other programs read the Cyrillic right.

#include <cstdint>

#include "forms/Clipbrd.h"

class TRusClipboard : public TClipboard {};

// Puts Locale on the open clipboard as CF_LOCALE (a 4-byte movable block).
// The clipboard object itself is not used.
void SetClipboardLocale(TRusClipboard* Clipboard, int32_t Locale);
