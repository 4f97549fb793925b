// File and path helpers, and the global format settings.
#include "rtl/SysUtils.h"

namespace {

#ifdef _WIN32
constexpr const char* kDelimiters = "\\/:";
#else
constexpr const char* kDelimiters = "/";
#endif

TFormatSettings LocaleFormatSettings() {
  TFormatSettings fs;
  TLocaleFormats locale;
  if (ReadUserLocaleFormats(locale)) {
    if (locale.DecimalSeparator) fs.DecimalSeparator = locale.DecimalSeparator;
    // A locale without grouping gives no separator; keep it that way.
    fs.ThousandSeparator = locale.ThousandSeparator;
    if (locale.DateSeparator) fs.DateSeparator = locale.DateSeparator;
    if (locale.TimeSeparator) fs.TimeSeparator = locale.TimeSeparator;
    if (!locale.ShortDateFormat.empty()) fs.ShortDateFormat = locale.ShortDateFormat;
  }
  return fs;
}

TLocalTime UnpackFileDate(int32_t age, bool& valid) {
  TLocalTime t;
  const uint32_t v = static_cast<uint32_t>(age);
  t.Year = static_cast<int>(v >> 25) + 1980;
  t.Month = (v >> 21) & 15;
  t.Day = (v >> 16) & 31;
  t.Hour = (v >> 11) & 31;
  t.Minute = (v >> 5) & 63;
  t.Second = (v & 31) * 2;
  TDateTime ignored;
  valid = TryEncodeDate(t.Year, t.Month, t.Day, ignored) &&
          TryEncodeTime(t.Hour, t.Minute, t.Second, 0, ignored);
  return t;
}

int32_t PackLocalTime(const TLocalTime& t) {
  return DateTimeToFileDate(ComposeDateTime(EncodeDate(t.Year, t.Month, t.Day),
                                            EncodeTime(t.Hour, t.Minute, t.Second, 0)));
}

}  // namespace

TFormatSettings FormatSettings = LocaleFormatSettings();

bool FileExists(const AnsiString& name) { return OsFileExists(name); }
bool DirectoryExists(const AnsiString& name) { return OsDirectoryExists(name); }
bool DeleteFile(const AnsiString& name) { return OsDeleteFile(name); }
bool RenameFile(const AnsiString& oldName, const AnsiString& newName) {
  return OsRenameFile(oldName, newName);
}
AnsiString GetEnvironmentVariable(const AnsiString& name) { return OsGetEnvironmentVariable(name); }

bool ForceDirectories(const AnsiString& dir) {
  if (dir.empty()) throw EInOutError("Невозможно создать каталог");
  AnsiString d = ExcludeTrailingPathDelimiter(dir);
  if (d.empty() || DirectoryExists(d)) return true;  // "" was the root
  AnsiString parent = ExtractFilePath(d);
  if (!parent.empty() && parent != d && !ForceDirectories(parent)) return false;
  return OsCreateDirectory(d) || DirectoryExists(d);
}

int32_t FileAge(const AnsiString& name) {
  TLocalTime t;
  if (!OsFileExists(name) || !GetFileModTime(name, t)) return -1;
  return PackLocalTime(t);
}

int32_t FileGetDate(THandle handle) {
  TLocalTime t;
  return GetHandleModTime(handle, t) ? PackLocalTime(t) : -1;
}

int FileSetDate(const AnsiString& name, int32_t age) {
  bool valid;
  TLocalTime t = UnpackFileDate(age, valid);
  if (!valid) return -1;
  return SetFileModTime(name, t) ? 0 : LastOSErrorCode();
}

AnsiString ExtractFilePath(const AnsiString& name) {
  size_t i = name.find_last_of(kDelimiters);
  return i == AnsiString::npos ? AnsiString() : name.substr(0, i + 1);
}

AnsiString ExtractFileDir(const AnsiString& name) {
  size_t i = name.find_last_of(kDelimiters);
  if (i == AnsiString::npos) return AnsiString();
  // Keep the delimiter of a root ("C:\", "/").
  const AnsiString delimiters = kDelimiters;
  if (i > 0 && name[i] != ':' && delimiters.find(name[i - 1]) == AnsiString::npos)
    return name.substr(0, i);
  return name.substr(0, i + 1);
}

AnsiString ExtractFileName(const AnsiString& name) {
  size_t i = name.find_last_of(kDelimiters);
  return i == AnsiString::npos ? name : name.substr(i + 1);
}

AnsiString ExtractFileExt(const AnsiString& name) {
  size_t i = name.find_last_of(AnsiString(kDelimiters) + ".");
  return i != AnsiString::npos && name[i] == '.' ? name.substr(i) : AnsiString();
}

AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext) {
  size_t i = name.find_last_of(AnsiString(kDelimiters) + ".");
  if (i == AnsiString::npos || name[i] != '.') return name + ext;
  return name.substr(0, i) + ext;
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& s) {
  return !s.empty() && s.back() == PathDelim ? s : s + PathDelim;
}

AnsiString ExcludeTrailingPathDelimiter(const AnsiString& s) {
  return !s.empty() && s.back() == PathDelim ? s.substr(0, s.size() - 1) : s;
}
