#include "EmuTestOs.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

void* LoadEmuModule(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }

void* FindEmuExport(void* module, const char* name) { return dlsym(module, name); }

void FreeEmuModule(void* module) { dlclose(module); }

void SetProcessEnv(const char* name, const std::string& value) {
  if (value.empty())
    unsetenv(name);
  else
    setenv(name, value.c_str(), 1);
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }
