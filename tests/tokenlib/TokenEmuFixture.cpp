#include "TokenEmuFixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

unsigned long ProcessId() {
#if defined(_WIN32)
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

void TokenEmuFixture::SetEnv(const char* name, const std::string& value) {
#if defined(_WIN32)
  // Both the C runtime's copy and the process environment.
  _putenv_s(name, value.c_str());
  SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
#else
  if (value.empty())
    unsetenv(name);
  else
    setenv(name, value.c_str(), 1);
#endif
}

void TokenEmuFixture::SetUp() {
#if !defined(_WIN32)
  // The emulator's crypto library keeps process-wide pools that it never
  // frees; unloaded with the module after each call, they would read as
  // leaks. Held here, the module stays loaded and the leak check sees only
  // what Morvel itself loses.
  static void* emulator = dlopen(TVEMU_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(emulator, nullptr) << dlerror();
#endif
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  Dir = fs::temp_directory_path() / ("ks-morvel-" + std::to_string(ProcessId()) + "-" + name);
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  StateFile = Dir / "token.state";
  JournalFile = Dir / "journal.txt";
  SetEnv("TVEMU_STATE", StateFile.string());
  SetEnv("TVEMU_JOURNAL", JournalFile.string());
  SetEnv("TVEMU_CONFIG", "");
}

void TokenEmuFixture::TearDown() {
  SetEnv("TVEMU_STATE", "");
  SetEnv("TVEMU_JOURNAL", "");
  SetEnv("TVEMU_CONFIG", "");
  std::error_code ignored;
  fs::remove_all(Dir, ignored);
}

void TokenEmuFixture::Configure(const std::string& settings) { SetEnv("TVEMU_CONFIG", settings); }

std::string TokenEmuFixture::ReadFile(const fs::path& path) const {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> TokenEmuFixture::JournalLines() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(JournalFile));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> TokenEmuFixture::Calls() const {
  std::vector<std::string> calls;
  for (const std::string& line : JournalLines()) {
    size_t open = line.find('(');
    size_t arrow = line.rfind(") -> ");
    if (open == std::string::npos || arrow == std::string::npos) {
      calls.push_back(line);
      continue;
    }
    std::string result = line.substr(arrow + 5);
    result = result.substr(0, result.find(' '));
    calls.push_back(line.substr(0, open) + " -> " + result);
  }
  return calls;
}

std::string TokenEmuFixture::CallLine(const std::string& name) const {
  for (const std::string& line : JournalLines())
    if (line.compare(0, name.size() + 1, name + "(") == 0) return line;
  ADD_FAILURE() << "no call of " << name << " in the journal";
  return {};
}

void TokenEmuFixture::ClearJournal() const { fs::remove(JournalFile); }

std::string TokenEmuFixture::Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

std::vector<TokenEmuFixture::TObject> TokenEmuFixture::TokenObjects() const {
  std::vector<TObject> objects;
  std::istringstream in(ReadFile(StateFile));
  bool inObject = false;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string first, kind, value;
    words >> first >> kind >> value;
    if (first == "object") {
      objects.emplace_back();
      inObject = true;
    } else if (first == "end") {
      inObject = false;
    } else if (inObject) {
      for (char& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      objects.back()[std::stoul(first, nullptr, 16)] = value;
    }
  }
  return objects;
}
