// Helpers for driving real windows in tests: key strokes through the
// system's input queue, pumping messages, and actions run from inside a
// modal loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

// Types keys as a person would (down and up), through the input queue.
void PressKey(WORD Key, bool Shift = false);
void TypeText(const char* Text);
// Alt with a key, through the input queue.
void PressAlt(WORD Key);
// Alt with a Cyrillic letter, as the focused window (else Wnd) gets it
// under a Russian keyboard layout.
void PostAltChar(char Char, HWND Wnd = nullptr);
// Handles messages until Done() or the time is up; false on time-out.
bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 2000);
void PumpFor(int Ms);
// Runs the action from the message loop once the current call waits for
// messages (a modal dialog being up, for example).
void Later(std::function<void()> Action, int DelayMs = 50);

// What a window shows on the screen, frame and children included, as
// 32-bit pixels; for pictures a person looks at.
struct TPicture32 {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;  // top row first
};
TPicture32 Capture(HWND Wnd);
void SaveBmp(const TPicture32& Picture, const char* Path);
