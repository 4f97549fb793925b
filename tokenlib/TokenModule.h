// The vendor's PKCS#11 module, loaded by name for the length of one call.
#pragma once

using TTokenModule = void*;

// Loads the vendor module by its fixed name; null when it cannot be loaded.
TTokenModule LoadTokenModule();
void* FindTokenExport(TTokenModule module, const char* name);
void UnloadTokenModule(TTokenModule module);
