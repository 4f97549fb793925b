#include "tokenlib/TokenModule.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

// The shared-object build of the vendor module, beside this library (named
// with its folder: a bare name would not be searched there). Tests may name
// another module through MORVEL_TOKEN_MODULE.
TTokenModule LoadTokenModule() {
  const char* name = std::getenv("MORVEL_TOKEN_MODULE");
  if (name && *name) return dlopen(name, RTLD_NOW | RTLD_LOCAL);
  Dl_info self{};
  if (!dladdr(reinterpret_cast<void*>(&LoadTokenModule), &self) || !self.dli_fname) return nullptr;
  std::string path = self.dli_fname;
  path.erase(path.rfind('/') + 1);
  return dlopen((path + KS_TOKEN_MODULE_NAME).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindTokenExport(TTokenModule module, const char* name) { return dlsym(module, name); }

void UnloadTokenModule(TTokenModule module) { dlclose(module); }
