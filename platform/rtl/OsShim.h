// What portable code needs of the operating system, in one small interface:
// modules, errors, a re-entrant lock, local time, files and their times,
// the running executable and the temp folder. OsShim_win.cpp implements it
// over Win32, OsShim_posix.cpp over POSIX.
#pragma once

#include <mutex>

#include "rtl/Types.h"

// <windows.h> defines FreeModule as a macro; ours is a function.
#ifdef FreeModule
#undef FreeModule
#endif

// Modules (LoadLibraryA / dlopen). Null on failure; LastOSErrorText() says why.
using TModuleHandle = void*;
TModuleHandle LoadModule(const AnsiString& name);
// The module when it is already loaded in the process, else null; does not load it.
TModuleHandle GetLoadedModule(const AnsiString& name);
void* FindExport(TModuleHandle module, const char* name);
void FreeModule(TModuleHandle module);

// Error code of the last failed OS call of this thread, and its text.
int LastOSErrorCode();
AnsiString LastOSErrorText();
AnsiString SysErrorMessage(int code);

// A re-entrant lock.
class TCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

class TCriticalSectionLock {
 public:
  explicit TCriticalSectionLock(TCriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~TCriticalSectionLock() { cs_.Leave(); }
  TCriticalSectionLock(const TCriticalSectionLock&) = delete;
  TCriticalSectionLock& operator=(const TCriticalSectionLock&) = delete;

 private:
  TCriticalSection& cs_;
};

// Local wall-clock time, broken down.
struct TLocalTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};
TLocalTime LocalTimeNow();

// What the user's locale says about numbers and dates; false when the
// platform has no such settings (native build).
struct TLocaleFormats {
  char DecimalSeparator = 0, ThousandSeparator = 0, DateSeparator = 0, TimeSeparator = 0;
  AnsiString ShortDateFormat;
};
bool ReadUserLocaleFormats(TLocaleFormats& formats);
// The system's ANSI code page when its characters may take two bytes (a
// Far-East system), else 0 (always 0 in the native build).
unsigned SystemDoubleByteCodePage();

// Files by handle. Open modes and share modes are the fm* values of
// Streams.h. All return InvalidHandle / -1 on failure, with the OS error set.
THandle FileOpen(const AnsiString& name, uint32_t mode);
// Creates or truncates, opened for reading and writing with the share mode of `mode`.
THandle FileCreate(const AnsiString& name, uint32_t mode);
int32_t FileRead(THandle handle, void* buffer, int32_t count);
int32_t FileWrite(THandle handle, const void* buffer, int32_t count);
int64_t FileSeek(THandle handle, int64_t offset, int origin);  // origin 0, 1, 2
bool FileTruncate(THandle handle);                             // at the current position
void FileClose(THandle handle);

// Files by name.
bool OsFileExists(const AnsiString& name);  // a file, not a folder
bool OsDirectoryExists(const AnsiString& name);
bool OsCreateDirectory(const AnsiString& name);
bool OsDeleteFile(const AnsiString& name);
bool OsRenameFile(const AnsiString& from, const AnsiString& to);
// Puts from in the place of to, an existing to included, in one step.
bool OsReplaceFile(const AnsiString& from, const AnsiString& to);
// Modification time in local time.
bool GetFileModTime(const AnsiString& name, TLocalTime& time);
bool GetHandleModTime(THandle handle, TLocalTime& time);
bool SetFileModTime(const AnsiString& name, const TLocalTime& time);

// Full path of the running executable.
AnsiString ExeFileName();
// The temp folder, with a trailing path delimiter.
AnsiString GetTempDir();
// "" when the variable is not set.
AnsiString OsGetEnvironmentVariable(const AnsiString& name);
