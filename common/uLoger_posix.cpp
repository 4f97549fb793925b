#include "common/uLoger.h"

#include "common/uutf8.h"
#include "rtl/OsShim.h"

#include <pwd.h>
#include <unistd.h>

// The login name as the session gives it, as Wine does; the account of the
// process when the session does not say. System names are UTF-8 here.
AnsiString GetWindowsUserName() {
  const AnsiString login = OsGetEnvironmentVariable("USER");
  if (!login.empty()) return Utf8ToAnsi(login);
  const passwd* account = getpwuid(geteuid());
  return account ? Utf8ToAnsi(account->pw_name) : AnsiString();
}

AnsiString GetWindowsComputerName() {
  char buffer[256] = {};
  gethostname(buffer, sizeof buffer - 1);
  return Utf8ToAnsi(buffer);
}
