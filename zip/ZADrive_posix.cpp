#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "rtl/SysUtils.h"
#include "zip/ZADrive.h"

TZADriveFunctions ZAOsDriveFunctions() {
  TZADriveFunctions f;
  f.FreeSpace = [](const AnsiString& path) -> int64_t {
    AnsiString dir = ExtractFileDir(path);
    struct statvfs st {};
    if (statvfs(dir.empty() ? "." : dir.c_str(), &st) != 0) return -1;
    return int64_t(st.f_bavail) * int64_t(st.f_frsize);
  };
  // No drive letters here: every path is on a fixed disk, and there is no
  // disk label to set.
  f.DriveType = [](const AnsiString&) { return dtFixed; };
  f.SetVolumeLabel = [](const AnsiString&, const AnsiString&) { return false; };
  f.FlushFile = [](THandle handle) { fsync(int(handle)); };
  return f;
}

THandle ZACreateNewFile(const AnsiString& path, bool& taken) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  taken = fd < 0 && errno == EEXIST;
  return fd < 0 ? InvalidHandle : THandle(fd);
}

bool ZARemoveFolder(const AnsiString& path) { return rmdir(path.c_str()) == 0; }
