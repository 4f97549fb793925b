#include "common/uLoger.h"

#include <windows.h>

namespace {

// Both calls fill a 256-byte buffer; a failed call leaves it empty.
template <typename Call>
AnsiString ReadName(Call call) {
  char buffer[256] = {};
  DWORD size = sizeof buffer;
  call(buffer, &size);
  return AnsiString(buffer);
}

}  // namespace

AnsiString GetWindowsUserName() { return ReadName(GetUserNameA); }

AnsiString GetWindowsComputerName() { return ReadName(GetComputerNameA); }
