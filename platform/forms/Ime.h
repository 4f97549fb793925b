// The system's input methods for a control's window: the input context's
// open and conversion state that the control's ImeMode asks for, and the
// keyboard layout of the input method ImeName names. Only a system with a
// Far East locale has input methods to switch; elsewhere nothing happens.
#pragma once

#include <windows.h>

#include "forms/Controls.h"

void SetImeOfWindow(HWND Wnd, TImeMode Mode, const AnsiString& ImeName);
// The name of the input method of the thread's keyboard layout; empty when
// the layout is a plain keyboard.
AnsiString CurrentImeName();
// Back to the keyboard layout the program started with.
void RestoreDefaultKeyboardLayout();
