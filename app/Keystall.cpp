// The program entry of Keystall.
#include <windows.h>

#include "app/UProps.h"
#include "app/uCertReqAlt.h"
#include "app/uCryptoProviders.h"

namespace {

// Unit start-up in dependency order, the main form, the message loop; then
// the forms go and the units shut down in reverse order.
int ProgramMain() {
  DetectCryptoProviders();
  InitializeProps();
  Application->Initialize();
  TfCertRequestAlt* fCertRequestAlt = nullptr;
  Application->CreateForm(fCertRequestAlt);
  Application->Run();
  Application->DestroyComponents();
  FinalizeProps();
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return ProgramMain(); }
