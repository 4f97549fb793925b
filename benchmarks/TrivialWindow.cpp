// The yardstick of the start-up benchmark (tools/startup-bench.sh): a Win32
// program that only opens one window and waits for it to be closed.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(Wnd, Msg, WParam, LParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int Show) {
  WNDCLASSA Class{};
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = Instance;
  Class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  Class.lpszClassName = "TrivialWindow";
  if (!RegisterClassA(&Class)) return 1;
  HWND Wnd = CreateWindowA("TrivialWindow", "Trivial window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 700, 554, nullptr, nullptr, Instance, nullptr);
  if (!Wnd) return 1;
  ShowWindow(Wnd, Show);
  UpdateWindow(Wnd);
  MSG Msg;
  while (GetMessageA(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
  }
  return 0;
}
