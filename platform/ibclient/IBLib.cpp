#include "ibclient/IBLib.h"

#include "ibclient/IBError.h"
#include "rtl/OsShim.h"

namespace {

#ifdef _WIN32
const char* const LibraryNames[] = {"fbclient.dll", "gds32.dll"};
#else
const char* const LibraryNames[] = {"libfbclient.so.2"};
#endif

TIBLib LoadLib() {
  TModuleHandle module = nullptr;
  AnsiString tried;
  for (const char* name : LibraryNames) {
    module = LoadModule(name);
    if (module) break;
    tried += (tried.empty() ? "" : ", ") + AnsiString(name);
  }
  if (!module) throw EIBClientError("Unable to load the database client library (" + tried + ")");
  TIBLib lib;
#define KS_IB_LOAD(name)                                                          \
  lib.name = reinterpret_cast<decltype(lib.name)>(FindExport(module, #name));     \
  if (!lib.name) throw EIBClientError("The database client library lacks " #name);
  KS_IB_ENTRY_POINTS(KS_IB_LOAD)
#undef KS_IB_LOAD
  return lib;
}

TIBCallSeam& Seam() {
  static TIBCallSeam seam;
  return seam;
}

}  // namespace

const TIBLib& IBLib() {
  static const TIBLib lib = LoadLib();
  return lib;
}

TIBCallSeam SetIBCallSeam(TIBCallSeam Seam_) {
  TIBCallSeam previous = std::move(Seam());
  Seam() = std::move(Seam_);
  return previous;
}

void RunIBCallSeam(const char* EntryPoint) {
  if (Seam()) Seam()(EntryPoint);
}
