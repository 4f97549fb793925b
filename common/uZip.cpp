#include "common/uZip.h"

#include "rtl/SysUtils.h"

namespace {

void Check(bool condition, int line) {
  if (!condition) throw EAssertionFailed("Assertion failure", "uZip.cpp", line);
}

}  // namespace

TZip::~TZip() {
  try {
    if (FZip) FZip->CloseArchive();
  } catch (...) {
    // Nothing to report to while being destroyed.
  }
  Free();
}

void TZip::Free() {
  delete FZip;
  FZip = nullptr;
  delete FStream;
  FStream = nullptr;
}

void TZip::Open(TZACompressionLevel Level) {
  Free();
  FStream = new TMemoryStream();
  FZip = new TZipArchiver(nullptr);
  FZip->SetInMemory(true);
  FZip->SetCompressionLevel(Level);
  FZip->OpenArchive(FStream, true);
}

void TZip::AddFile(const AnsiString& EntryName, const AnsiString& Data, uint32_t DosDateTime) {
  Check(FZip && FZip->Active(), __LINE__);
  const TDateTime date = DosDateTime == 0 ? Now() : FileDateToDateTime(int32_t(DosDateTime));
  FZip->AddFromString(EntryName, Data, date, ZA_ATTR_ARCHIVE);
}

AnsiString TZip::GetData() {
  Check(FZip && FStream, __LINE__);
  FZip->CloseArchive();
  return AnsiString(static_cast<const char*>(FStream->Memory()), size_t(FStream->Size()));
}
