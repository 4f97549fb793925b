// libFuzzer target: any bytes opened as an archive, then updated. The only
// way out allowed besides success is a numbered archive error.
#include <cstddef>
#include <cstdint>

#include "zip/ZAArchiver.h"
#include "zip/ZAErrors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TStringStream stream(AnsiString(reinterpret_cast<const char*>(data), size));
  TZipArchiver zip(nullptr);
  try {
    zip.OpenArchive(&stream, false);
    // Copying the members back exercises the offsets and sizes read.
    zip.AddFromString("fuzz.txt", "fuzz", 0);
    zip.CloseArchive();
  } catch (const EZAException&) {
  }
  return 0;
}
