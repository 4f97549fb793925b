// A helper process for the native tests (openssl s_server, the test proxy):
// started with its output going to a file, waited for by a line it prints,
// and stopped when the object goes (or after two minutes at the latest).
#pragma once

#include <string>
#include <vector>

class TChildProcess {
 public:
  // Runs `argv` (looked up in PATH) in `dir`, output to `dir`/`logName`.
  TChildProcess(const std::vector<std::string>& argv, const std::string& dir,
                const std::string& logName);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // The rest of the first output line that starts with `prefix`, waiting at
  // most `timeoutMs`; throws when it does not come.
  std::string WaitForLine(const std::string& prefix, int timeoutMs);
  // A port printed after `prefix`, as "...:<port>" or "<port>".
  int WaitForPort(const std::string& prefix, int timeoutMs);

 private:
  int pid_ = -1;
  std::string log_;
};
