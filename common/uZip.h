// One-entry ZIP packing: members built wholly in memory, over TZipArchiver.
#pragma once

#include <cstdint>

#include "rtl/Classes.h"
#include "rtl/Streams.h"
#include "zip/ZAArchiver.h"

class TZip : public TObject {
 public:
  TZip() = default;
  ~TZip() override;
  TZip(const TZip&) = delete;
  TZip& operator=(const TZip&) = delete;

  // Starts a new archive in memory, dropping one left from before.
  void Open(TZACompressionLevel Level);
  // Adds a member dated DosDateTime (packed DOS date and time), or now when
  // it is 0.
  void AddFile(const AnsiString& EntryName, const AnsiString& Data, uint32_t DosDateTime);
  // Closes the archive and gives its whole content.
  AnsiString GetData();

 private:
  void Free();
  TZipArchiver* FZip = nullptr;
  TMemoryStream* FStream = nullptr;
};
