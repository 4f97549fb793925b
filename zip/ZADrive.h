// What the volume writer needs to know about the drive an archive is on,
// and the exclusive creation of the update's temporary files. The drive
// functions are replaceable, so that removable-disk spanning can be run
// against a fake drive; ZADrive_win.cpp and ZADrive_posix.cpp give the real
// ones.
#pragma once

#include <cstdint>
#include <functional>

#include "rtl/Types.h"

enum TZADriveType { dtFixed, dtRemovable };

struct TZADriveFunctions {
  // Bytes free on the drive that holds path; -1 when unknown.
  std::function<int64_t(const AnsiString& path)> FreeSpace;
  std::function<TZADriveType(const AnsiString& path)> DriveType;
  // Labels the disk in the drive that holds path; false when it cannot.
  std::function<bool(const AnsiString& path, const AnsiString& label)> SetVolumeLabel;
  // Forces a file's buffers out to the disk.
  std::function<void(THandle handle)> FlushFile;
};

// The real functions.
TZADriveFunctions ZAOsDriveFunctions();
// The functions in use: the real ones until a test replaces them.
inline TZADriveFunctions& ZADrive() {
  static TZADriveFunctions functions = ZAOsDriveFunctions();
  return functions;
}

// Creates path as a new file open for reading and writing, never through
// anything already there (a file, a folder, a link). InvalidHandle on
// failure, with taken set when the name was in use.
THandle ZACreateNewFile(const AnsiString& path, bool& taken);

// Removes an empty folder; false when it cannot (not empty, missing, in use).
bool ZARemoveFolder(const AnsiString& path);
