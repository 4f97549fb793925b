#include <windows.h>

// Nothing to set up or tear down: every entry point works on its own.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
