#include "tokenlib/TokenModule.h"

#include <windows.h>

TTokenModule LoadTokenModule() { return LoadLibraryA("tvPKCS11.dll"); }

void* FindTokenExport(TTokenModule module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadTokenModule(TTokenModule module) { FreeLibrary(static_cast<HMODULE>(module)); }
