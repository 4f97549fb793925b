#include "app/uSignPage.h"
#include "common/uZip.h"

AnsiString ZipString(const AnsiString& Data, const AnsiString& Name) {
  TZip Zip;
  Zip.Open(clFastest);
  Zip.AddFile(Name, Data, 0);
  return Zip.GetData();
}
