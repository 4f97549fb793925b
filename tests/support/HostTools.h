#pragma once
// Host tools (unzip, 7z, python, openssl) run from native tests as
// independent checkers of what our code writes.

#include <filesystem>
#include <string>

// A shell command's exit code and everything it printed (stdout and stderr).
struct TToolRun {
  int Code;
  std::string Output;
};

TToolRun RunTool(const std::string& command);

// Single quotes for the shell.
std::string Quote(const std::string& text);

// OpenSSL's verdict on a GOST certificate request in a file ("DER" or
// "PEM"). `openssl req -verify` exits 0 even when the signature is wrong,
// so callers look for "verify OK" in the output.
std::string OpensslVerifyRequest(const std::filesystem::path& file, const char* form = "DER");
