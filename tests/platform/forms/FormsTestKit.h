// Helpers for driving real windows in tests: key strokes through the
// system's input queue, pumping messages, and actions run from inside a
// modal loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

// Types keys as a person would (down and up), through the input queue.
void PressKey(WORD Key, bool Shift = false);
// The key with the modifiers held down around it.
void PressKeys(WORD Key, std::initializer_list<WORD> Modifiers);
void TypeText(const char* Text);
// Characters (Windows-1251) as the keyboard sends them, whatever the
// layout: each as its Unicode character through the input queue.
void TypeUnicode(const char* Text);
// A shortcut as the menus write it (the key in the low byte, Shift 0x2000,
// Ctrl 0x4000, Alt 0x8000), held and let go through the input queue; the
// messages it makes are handled before it returns.
void PressShortCut(uint16_t ShortCut);
// Alt with a key, through the input queue.
void PressAlt(WORD Key);
// Alt with a Cyrillic letter, as the focused window (else Wnd) gets it
// under a Russian keyboard layout.
void PostAltChar(char Char, HWND Wnd = nullptr);
// The mouse through the input queue, as a person moves and presses it, at
// a screen point; the modifiers are held down around a click.
void MoveMouse(POINT Screen);
// The input alone (MOUSEEVENTF_* flags besides the move, with their data:
// the wheel's delta), nothing handled.
void SendMouse(POINT Screen, DWORD Flags = 0, int Data = 0);
void PressMouse(POINT Screen, bool Down, bool Right = false);
// The wheel turned by Delta (WHEEL_DELTA a notch, negative towards the
// user) at a screen point, the modifiers held down around it.
void TurnWheel(POINT Screen, int Delta, std::initializer_list<WORD> Modifiers = {});
void ClickAt(POINT Screen, std::initializer_list<WORD> Modifiers = {}, bool Right = false);
// The same at a point of a window's client area.
void ClickOn(HWND Wnd, POINT Client, std::initializer_list<WORD> Modifiers = {});
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
