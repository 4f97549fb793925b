// The OS shim over POSIX (native build).
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "rtl/OsShim.h"
#include "rtl/Streams.h"

namespace {

// dlopen/dlsym do not set errno: a failed module call sets this code and
// keeps dlerror()'s text for LastOSErrorText.
constexpr int kModuleError = ELIBACC;
thread_local AnsiString moduleError;

void SetModuleError(const char* text) {
  moduleError = text ? text : "";
  errno = kModuleError;
}

void FromTm(const std::tm& tm, long nanos, TLocalTime& t) {
  t.Year = tm.tm_year + 1900;
  t.Month = tm.tm_mon + 1;
  t.Day = tm.tm_mday;
  t.Hour = tm.tm_hour;
  t.Minute = tm.tm_min;
  t.Second = tm.tm_sec;
  t.Millisecond = static_cast<int>(nanos / 1000000);
}

bool FromTimespec(const timespec& ts, TLocalTime& t) {
  std::tm tm{};
  if (!localtime_r(&ts.tv_sec, &tm)) return false;
  FromTm(tm, ts.tv_nsec, t);
  return true;
}

// Share modes are advisory here: exclusive (and compat, which the platform
// treats as exclusive) takes an exclusive lock, deny-write a shared one.
bool LockForShareMode(int fd, uint32_t mode) {
  const uint32_t share = mode & 0xF0;
  int op;
  if (share == fmShareCompat || share == fmShareExclusive || share == fmShareDenyRead)
    op = LOCK_EX;
  else if (share == fmShareDenyWrite)
    op = LOCK_SH;
  else
    return true;
  if (flock(fd, op | LOCK_NB) == 0) return true;
  if (errno == EWOULDBLOCK) errno = EBUSY;
  return false;
}

THandle OpenLocked(const AnsiString& name, int flags, uint32_t mode) {
  int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return InvalidHandle;
  if (!LockForShareMode(fd, mode)) {
    int err = errno;
    ::close(fd);
    errno = err;
    return InvalidHandle;
  }
  return fd;
}

}  // namespace

TModuleHandle LoadModule(const AnsiString& name) {
  void* h = dlopen(name.c_str(), RTLD_NOW);
  if (!h) SetModuleError(dlerror());
  return h;
}

TModuleHandle GetLoadedModule(const AnsiString& name) {
  void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!h) {
    SetModuleError("module is not loaded");
    return nullptr;
  }
  dlclose(h);  // RTLD_NOLOAD still counted a reference
  return h;
}

void* FindExport(TModuleHandle module, const char* name) {
  void* p = module ? dlsym(module, name) : nullptr;
  if (!p) SetModuleError(module ? dlerror() : "no module");
  return p;
}

void FreeModule(TModuleHandle module) {
  if (module) dlclose(module);
}

int LastOSErrorCode() { return errno; }

AnsiString LastOSErrorText() {
  return errno == kModuleError ? moduleError : SysErrorMessage(errno);
}

AnsiString SysErrorMessage(int code) { return std::strerror(code); }

TLocalTime LocalTimeNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  TLocalTime t;
  FromTimespec(ts, t);
  return t;
}

bool ReadUserLocaleFormats(TLocaleFormats&) { return false; }

unsigned SystemDoubleByteCodePage() { return 0; }

THandle FileOpen(const AnsiString& name, uint32_t mode) {
  static const int kAccess[3] = {O_RDONLY, O_WRONLY, O_RDWR};
  const uint32_t access = mode & 3;
  if (access > 2) {
    errno = EINVAL;
    return InvalidHandle;
  }
  return OpenLocked(name, kAccess[access], mode);
}

THandle FileCreate(const AnsiString& name, uint32_t mode) {
  // Truncate only once the lock is ours, so a refused create leaves the file alone.
  THandle h = OpenLocked(name, O_RDWR | O_CREAT, mode);
  if (h != InvalidHandle && ftruncate(static_cast<int>(h), 0) != 0) {
    int err = errno;
    ::close(static_cast<int>(h));
    errno = err;
    return InvalidHandle;
  }
  return h;
}

int32_t FileRead(THandle handle, void* buffer, int32_t count) {
  ssize_t n = ::read(static_cast<int>(handle), buffer, static_cast<size_t>(count));
  return static_cast<int32_t>(n);
}

int32_t FileWrite(THandle handle, const void* buffer, int32_t count) {
  ssize_t n = ::write(static_cast<int>(handle), buffer, static_cast<size_t>(count));
  return static_cast<int32_t>(n);
}

int64_t FileSeek(THandle handle, int64_t offset, int origin) {
  static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < 0 || origin > 2) {
    errno = EINVAL;
    return -1;
  }
  return ::lseek(static_cast<int>(handle), offset, kWhence[origin]);
}

bool FileTruncate(THandle handle) {
  off_t pos = ::lseek(static_cast<int>(handle), 0, SEEK_CUR);
  return pos >= 0 && ::ftruncate(static_cast<int>(handle), pos) == 0;
}

void FileClose(THandle handle) {
  if (handle != InvalidHandle) ::close(static_cast<int>(handle));
}

bool OsFileExists(const AnsiString& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool OsDirectoryExists(const AnsiString& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool OsCreateDirectory(const AnsiString& name) { return ::mkdir(name.c_str(), 0777) == 0; }
bool OsDeleteFile(const AnsiString& name) { return ::unlink(name.c_str()) == 0; }

bool OsRenameFile(const AnsiString& from, const AnsiString& to) {
  // Like MoveFile: an existing target is an error, not replaced.
  if (::access(to.c_str(), F_OK) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool OsReplaceFile(const AnsiString& from, const AnsiString& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool GetFileModTime(const AnsiString& name, TLocalTime& time) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && FromTimespec(st.st_mtim, time);
}

bool GetHandleModTime(THandle handle, TLocalTime& time) {
  struct stat st;
  return ::fstat(static_cast<int>(handle), &st) == 0 && FromTimespec(st.st_mtim, time);
}

bool SetFileModTime(const AnsiString& name, const TLocalTime& time) {
  std::tm tm{};
  tm.tm_year = time.Year - 1900;
  tm.tm_mon = time.Month - 1;
  tm.tm_mday = time.Day;
  tm.tm_hour = time.Hour;
  tm.tm_min = time.Minute;
  tm.tm_sec = time.Second;
  tm.tm_isdst = -1;
  timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = std::mktime(&tm);
  times[1].tv_nsec = time.Millisecond * 1000000L;
  return ::utimensat(AT_FDCWD, name.c_str(), times, 0) == 0;
}

AnsiString ExeFileName() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? AnsiString(buf, n) : AnsiString();
}

AnsiString GetTempDir() {
  AnsiString dir = OsGetEnvironmentVariable("TMPDIR");
  if (dir.empty()) dir = "/tmp";
  return dir.back() == '/' ? dir : dir + '/';
}

AnsiString OsGetEnvironmentVariable(const AnsiString& name) {
  const char* v = std::getenv(name.c_str());
  return v ? AnsiString(v) : AnsiString();
}
