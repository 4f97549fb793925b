#include <windows.h>

#include "rtl/SysUtils.h"
#include "zip/ZADrive.h"

namespace {

// "C:\" for "C:\dir\a.zip", "\\server\share\" for a UNC path, empty for a
// relative path (the current drive).
AnsiString DriveRoot(const AnsiString& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
  if (path.rfind("\\\\", 0) == 0) {
    size_t server = path.find('\\', 2);
    if (server == AnsiString::npos) return path + "\\";
    size_t share = path.find('\\', server + 1);
    return (share == AnsiString::npos ? path : path.substr(0, share)) + "\\";
  }
  return AnsiString();
}

const char* RootOrNull(const AnsiString& root) { return root.empty() ? nullptr : root.c_str(); }

}  // namespace

TZADriveFunctions ZAOsDriveFunctions() {
  TZADriveFunctions f;
  f.FreeSpace = [](const AnsiString& path) -> int64_t {
    ULARGE_INTEGER avail;
    AnsiString root = DriveRoot(path);
    if (!GetDiskFreeSpaceExA(RootOrNull(root), &avail, nullptr, nullptr)) return -1;
    return int64_t(avail.QuadPart);
  };
  f.DriveType = [](const AnsiString& path) {
    AnsiString root = DriveRoot(path);
    return GetDriveTypeA(RootOrNull(root)) == DRIVE_REMOVABLE ? dtRemovable : dtFixed;
  };
  f.SetVolumeLabel = [](const AnsiString& path, const AnsiString& label) {
    AnsiString root = DriveRoot(path);
    return SetVolumeLabelA(RootOrNull(root), label.c_str()) != 0;
  };
  f.FlushFile = [](THandle handle) { FlushFileBuffers(reinterpret_cast<HANDLE>(handle)); };
  return f;
}

THandle ZACreateNewFile(const AnsiString& path, bool& taken) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY, nullptr);
  const DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  // A folder of that name, or a file being deleted, answers access denied.
  taken =
      error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
  return h == INVALID_HANDLE_VALUE ? InvalidHandle : reinterpret_cast<THandle>(h);
}

bool ZARemoveFolder(const AnsiString& path) { return RemoveDirectoryA(path.c_str()) != 0; }
