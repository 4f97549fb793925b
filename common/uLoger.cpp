#include "common/uLoger.h"

#include <algorithm>

namespace {

AnsiString UserNameWithoutBlanks() {
  AnsiString name = GetWindowsUserName();
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

}  // namespace

const AnsiString WindowsUserName = UserNameWithoutBlanks();
const AnsiString WindowsComputerName = GetWindowsComputerName();
