// libFuzzer target: any bytes to both import readers, as a paste of a block
// another program left on the clipboard. Format errors are expected; a crash,
// a sanitizer report or a large allocation is a finding.
#include <cstdint>

#include "DBGridKsImportFormats.h"

namespace {

template <typename TReader>
void ReadAll(const uint8_t* Data, size_t Size) {
  TStringStream stream(AnsiString(reinterpret_cast<const char*>(Data), Size));
  TReader reader(stream);
  try {
    reader.ReadPrefix();
    while (!reader.EndOfData()) reader.ReadRecord();
  } catch (const Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  ReadAll<TDBGridKsImportAsText>(Data, Size);
  ReadAll<TDBGridKsImportAsVCLDBIF>(Data, Size);
  return 0;
}
