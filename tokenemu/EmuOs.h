// The few operating-system calls of the token emulator.
#pragma once

#include <string>

// Value of an environment variable of the process; empty when unset.
std::string EmuGetEnv(const char* name);

// Folder of the emulator module itself, with a trailing separator.
std::string EmuModuleDir();

// Replaces the file `path` by `data` so that a crash leaves either the old
// or the new contents: write "<path>.new", flush it to disk, rename.
bool EmuWriteFileAtomic(const std::string& path, const std::string& data);

// Keeps the shared library that holds `address` loaded for the rest of the
// process, whoever unloads it.
void EmuKeepLoaded(const void* address);
