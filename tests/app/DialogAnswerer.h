// Answers real dialogs as they come up, from the message loops they run:
// one step per dialog, each found among this thread's visible windows.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "rtl/Types.h"

class TDialogAnswerer {
 public:
  struct TStep {
    std::function<bool(HWND)> Match;
    std::function<void(HWND)> Act;
  };
  // Starts polling; gives up after half a minute, so no timer outlives a
  // test for long.
  static std::shared_ptr<TDialogAnswerer> Start(std::vector<TStep> Steps);
  bool Done() const { return FNext == FSteps.size(); }
  // The texts of each answered dialog's children, in order.
  std::vector<std::vector<AnsiString>> Seen;

 private:
  static void Poll(const std::shared_ptr<TDialogAnswerer>& Self);
  std::vector<TStep> FSteps;
  size_t FNext = 0;
  DWORD FStarted = GetTickCount();
};

// A window's text, and the windows below one.
AnsiString WindowText(HWND Wnd);
std::vector<HWND> ChildWindows(HWND Parent);
// Matches a window by its title.
std::function<bool(HWND)> Titled(const AnsiString& Title);
// Puts the dialog in front and presses Enter.
void PressEnterIn(HWND Dialog);
