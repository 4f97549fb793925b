#pragma once
// Who and where: the user name of the process and the computer name.

#include "rtl/Types.h"

AnsiString GetWindowsUserName();
AnsiString GetWindowsComputerName();

// Both names as read at start-up; blanks in the user name become "_".
extern const AnsiString WindowsUserName;
extern const AnsiString WindowsComputerName;
