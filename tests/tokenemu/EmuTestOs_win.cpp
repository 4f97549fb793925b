#include "EmuTestOs.h"

#include <windows.h>

void* LoadEmuModule(const char* path) { return LoadLibraryA(path); }

void* FindEmuExport(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void FreeEmuModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

void SetProcessEnv(const char* name, const std::string& value) {
  SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

unsigned long ProcessId() { return GetCurrentProcessId(); }
