// What the emulator's tests need of the operating system.
#pragma once

#include <string>

void* LoadEmuModule(const char* path);
void* FindEmuExport(void* module, const char* name);
void FreeEmuModule(void* module);
// Sets a variable of the process environment; an empty value removes it.
void SetProcessEnv(const char* name, const std::string& value);
unsigned long ProcessId();
