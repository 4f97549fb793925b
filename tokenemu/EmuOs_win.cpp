#include "tokenemu/EmuOs.h"

#include <windows.h>

std::string EmuGetEnv(const char* name) {
  // The process environment itself, not a C runtime's copy of it: a test
  // changes it between loads of the module.
  char buffer[1024];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (n == 0) return "";
  if (n < sizeof buffer) return std::string(buffer, n);
  std::string value(n, '\0');
  n = GetEnvironmentVariableA(name, value.data(), n);
  value.resize(n);
  return value;
}

std::string EmuModuleDir() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&EmuModuleDir), &self))
    return ".\\";
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ".\\";
  std::string result(path, n);
  size_t slash = result.find_last_of("\\/");
  return slash == std::string::npos ? ".\\" : result.substr(0, slash + 1);
}

bool EmuWriteFileAtomic(const std::string& path, const std::string& data) {
  std::string temp = path + ".new";
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
            written == data.size() && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  if (ok &&
      MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileA(temp.c_str());
  return false;
}

void EmuKeepLoaded(const void*) {
  // The libraries are linked statically into the module: nothing to keep.
}
