// A fresh emulated token for each test: its own state file, journal and
// settings, passed to the emulator through its environment variables.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

class TokenEmuFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Emulator settings for the following calls ("key=value;...").
  void Configure(const std::string& settings);
  // The journal, one entry per call.
  std::vector<std::string> JournalLines() const;
  // The journal as "Name -> RESULT", in call order.
  std::vector<std::string> Calls() const;
  // The journal line of the first call of Name; fails the test when absent.
  std::string CallLine(const std::string& name) const;
  void ClearJournal() const;
  std::string ReadFile(const std::filesystem::path& path) const;

  // The objects on the token, from its state file: attribute type to value
  // as the file writes it (numbers in decimal, flags 0/1, bytes in upper-case
  // hex).
  using TObject = std::map<unsigned long, std::string>;
  std::vector<TObject> TokenObjects() const;
  static std::string Hex(const std::string& bytes);

  static void SetEnv(const char* name, const std::string& value);

  std::filesystem::path Dir;
  std::filesystem::path StateFile;
  std::filesystem::path JournalFile;
};
