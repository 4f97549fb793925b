#pragma once
// System functions bound by name when first called. The file dialogs' and
// the shell's libraries bring in the printing system and more, which under
// Wine costs a program's start-up more than its window does; a run that
// opens no dialog then never loads them.

#include <windows.h>

// Null when the library or the function is missing.
template <class TFunction>
TFunction* LateBound(const char* Library, const char* Name) {
  HMODULE Module = LoadLibraryA(Library);
  return Module
             ? reinterpret_cast<TFunction*>(reinterpret_cast<void*>(GetProcAddress(Module, Name)))
             : nullptr;
}
