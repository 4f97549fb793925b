#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

constexpr const char* kLifetime = "120";

}  // namespace

TChildProcess::TChildProcess(const std::vector<std::string>& argv, const std::string& dir,
                             const std::string& logName)
    : log_(dir + "/" + logName) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // Under `timeout`, so a helper outlives no crashed test for long.
  std::vector<char*> args{const_cast<char*>("timeout"), const_cast<char*>(kLifetime)};
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv.at(0));
}

TChildProcess::~TChildProcess() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);  // `timeout` passes it on to the helper
  waitpid(pid_, nullptr, 0);
}

std::string TChildProcess::WaitForLine(const std::string& prefix, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string all;
  do {
    // Reaped before the log is read, so a last line written before exit counts.
    const bool exited = waitpid(pid_, nullptr, WNOHANG) == pid_;
    if (exited) pid_ = -1;
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    all = text.str();
    std::istringstream lines(all);
    for (std::string line; std::getline(lines, line);)
      if (line.compare(0, prefix.size(), prefix) == 0 && !lines.eof())
        return line.substr(prefix.size());
    if (exited) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  throw std::runtime_error("no line \"" + prefix + "\" from the helper; it wrote:\n" + all);
}

int TChildProcess::WaitForPort(const std::string& prefix, int timeoutMs) {
  const std::string rest = WaitForLine(prefix, timeoutMs);
  return std::stoi(rest.substr(rest.rfind(':') + 1));
}
