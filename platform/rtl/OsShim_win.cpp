// The OS shim over Win32 (Windows build).
#include <windows.h>

#include "rtl/OsShim.h"
#include "rtl/Streams.h"

namespace {

void FromSystemTime(const SYSTEMTIME& st, TLocalTime& t) {
  t.Year = st.wYear;
  t.Month = st.wMonth;
  t.Day = st.wDay;
  t.Hour = st.wHour;
  t.Minute = st.wMinute;
  t.Second = st.wSecond;
  t.Millisecond = st.wMilliseconds;
}

bool FromFileTime(const FILETIME& utc, TLocalTime& t) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  FromSystemTime(st, t);
  return true;
}

// The platform's share modes: compat and exclusive share nothing.
DWORD ShareFlags(uint32_t mode) {
  switch (mode & 0xF0) {
    case fmShareDenyWrite:
      return FILE_SHARE_READ;
    case fmShareDenyRead:
      return FILE_SHARE_WRITE;
    case fmShareDenyNone:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
      return 0;
  }
}

HANDLE AsHandle(THandle h) { return reinterpret_cast<HANDLE>(h); }

AnsiString LocaleString(LCTYPE type) {
  char buf[128];
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
  return n > 1 ? AnsiString(buf, n - 1) : AnsiString();
}

char LocaleChar(LCTYPE type) {
  AnsiString s = LocaleString(type);
  return s.empty() ? '\0' : s[0];
}

}  // namespace

TModuleHandle LoadModule(const AnsiString& name) { return LoadLibraryA(name.c_str()); }

TModuleHandle GetLoadedModule(const AnsiString& name) { return GetModuleHandleA(name.c_str()); }

void* FindExport(TModuleHandle module, const char* name) {
  return module ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name))
                : nullptr;
}

void FreeModule(TModuleHandle module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

int LastOSErrorCode() { return static_cast<int>(GetLastError()); }

AnsiString LastOSErrorText() { return SysErrorMessage(LastOSErrorCode()); }

AnsiString SysErrorMessage(int code) {
  char buf[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(code), 0, buf, sizeof buf, nullptr);
  while (n > 0 && (static_cast<uint8_t>(buf[n - 1]) <= ' ' || buf[n - 1] == '.')) --n;
  return AnsiString(buf, n);
}

TLocalTime LocalTimeNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  TLocalTime t;
  FromSystemTime(st, t);
  return t;
}

unsigned SystemDoubleByteCodePage() { return GetSystemMetrics(SM_DBCSENABLED) ? GetACP() : 0; }

bool ReadUserLocaleFormats(TLocaleFormats& formats) {
  formats.DecimalSeparator = LocaleChar(LOCALE_SDECIMAL);
  formats.ThousandSeparator = LocaleChar(LOCALE_STHOUSAND);
  formats.DateSeparator = LocaleChar(LOCALE_SDATE);
  formats.TimeSeparator = LocaleChar(LOCALE_STIME);
  formats.ShortDateFormat = LocaleString(LOCALE_SSHORTDATE);
  return true;
}

THandle FileOpen(const AnsiString& name, uint32_t mode) {
  static const DWORD kAccess[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  if ((mode & 3) > 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return InvalidHandle;
  }
  HANDLE h = CreateFileA(name.c_str(), kAccess[mode & 3], ShareFlags(mode), nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<THandle>(h);
}

THandle FileCreate(const AnsiString& name, uint32_t mode) {
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, ShareFlags(mode), nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<THandle>(h);
}

int32_t FileRead(THandle handle, void* buffer, int32_t count) {
  DWORD n = 0;
  if (!ReadFile(AsHandle(handle), buffer, static_cast<DWORD>(count), &n, nullptr)) return -1;
  return static_cast<int32_t>(n);
}

int32_t FileWrite(THandle handle, const void* buffer, int32_t count) {
  DWORD n = 0;
  if (!WriteFile(AsHandle(handle), buffer, static_cast<DWORD>(count), &n, nullptr)) return -1;
  return static_cast<int32_t>(n);
}

int64_t FileSeek(THandle handle, int64_t offset, int origin) {
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  if (origin < 0 || origin > 2 ||
      !SetFilePointerEx(AsHandle(handle), distance, &result, static_cast<DWORD>(origin)))
    return -1;
  return result.QuadPart;
}

bool FileTruncate(THandle handle) { return SetEndOfFile(AsHandle(handle)) != 0; }

void FileClose(THandle handle) {
  if (handle != InvalidHandle) CloseHandle(AsHandle(handle));
}

bool OsFileExists(const AnsiString& name) {
  DWORD attr = GetFileAttributesA(name.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool OsDirectoryExists(const AnsiString& name) {
  DWORD attr = GetFileAttributesA(name.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool OsCreateDirectory(const AnsiString& name) { return CreateDirectoryA(name.c_str(), nullptr); }
bool OsDeleteFile(const AnsiString& name) { return DeleteFileA(name.c_str()); }
bool OsRenameFile(const AnsiString& from, const AnsiString& to) {
  return MoveFileA(from.c_str(), to.c_str());
}

bool OsReplaceFile(const AnsiString& from, const AnsiString& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool GetFileModTime(const AnsiString& name, TLocalTime& time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data) &&
         FromFileTime(data.ftLastWriteTime, time);
}

bool GetHandleModTime(THandle handle, TLocalTime& time) {
  FILETIME written;
  return GetFileTime(AsHandle(handle), nullptr, nullptr, &written) && FromFileTime(written, time);
}

bool SetFileModTime(const AnsiString& name, const TLocalTime& time) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(time.Year);
  st.wMonth = static_cast<WORD>(time.Month);
  st.wDay = static_cast<WORD>(time.Day);
  st.wHour = static_cast<WORD>(time.Hour);
  st.wMinute = static_cast<WORD>(time.Minute);
  st.wSecond = static_cast<WORD>(time.Second);
  st.wMilliseconds = static_cast<WORD>(time.Millisecond);
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
  HANDLE h = CreateFileA(name.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = SetFileTime(h, nullptr, nullptr, &utc);
  DWORD err = GetLastError();
  CloseHandle(h);
  SetLastError(err);
  return ok;
}

AnsiString ExeFileName() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  return AnsiString(buf, n);
}

AnsiString GetTempDir() {
  char buf[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof buf, buf);
  AnsiString dir(buf, n);
  return !dir.empty() && dir.back() == '\\' ? dir : dir + '\\';
}

AnsiString OsGetEnvironmentVariable(const AnsiString& name) {
  DWORD n = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (n == 0) return AnsiString();
  AnsiString value(n, '\0');
  n = GetEnvironmentVariableA(name.c_str(), value.data(), n);
  value.resize(n);
  return value;
}
