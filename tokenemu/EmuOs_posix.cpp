#include "tokenemu/EmuOs.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

std::string EmuGetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string EmuModuleDir() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&EmuModuleDir), &info) || !info.dli_fname) return "./";
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool EmuWriteFileAtomic(const std::string& path, const std::string& data) {
  std::string temp = path + ".new";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == data.size() && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

void EmuKeepLoaded(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) && info.dli_fname)
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}
