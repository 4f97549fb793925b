// A small DER reader for checking what the emulator writes: an element is
// its tag and its content; constructed ones split into their children.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TDer {
  uint8_t Tag = 0;
  std::vector<uint8_t> Content;

  // Parses exactly one element filling all of `bytes`; false otherwise.
  static bool Parse(const std::vector<uint8_t>& bytes, TDer& element);
  // The children of a constructed element; fails the test when malformed.
  std::vector<TDer> Children() const;
  std::string Text() const { return std::string(Content.begin(), Content.end()); }
  // An OBJECT IDENTIFIER in dotted form.
  std::string Oid() const;
};
