#include "tests/support/HostTools.h"

#include <sys/wait.h>

#include <cstdio>

TToolRun RunTool(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, "cannot start " + command};
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::string OpensslVerifyRequest(const std::filesystem::path& file, const char* form) {
  return RunTool("openssl req -engine gost -inform " + std::string(form) + " -in " +
                 Quote(file.string()) + " -verify -noout")
      .Output;
}
