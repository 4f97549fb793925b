#include "tokenlib/TokenModule.h"

#include <dlfcn.h>

#include <cstdlib>

// The shared-object build of the vendor module; tests may point elsewhere
// through MORVEL_TOKEN_MODULE. A bare name is searched beside this library
// (its run path is $ORIGIN).
TTokenModule LoadTokenModule() {
  const char* name = std::getenv("MORVEL_TOKEN_MODULE");
  return dlopen(name && *name ? name : KS_TOKEN_MODULE_NAME, RTLD_NOW | RTLD_LOCAL);
}

void* FindTokenExport(TTokenModule module, const char* name) { return dlsym(module, name); }

void UnloadTokenModule(TTokenModule module) { dlclose(module); }
