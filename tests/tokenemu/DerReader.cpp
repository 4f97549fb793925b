#include "DerReader.h"

#include <gtest/gtest.h>

namespace {

// Reads one element at `pos`; false on any malformation, including
// non-minimal lengths.
bool ReadOne(const std::vector<uint8_t>& bytes, size_t& pos, TDer& element) {
  if (pos + 2 > bytes.size()) return false;
  element.Tag = bytes[pos++];
  if ((element.Tag & 0x1F) == 0x1F) return false;
  size_t length = bytes[pos++];
  if (length & 0x80) {
    size_t count = length & 0x7F;
    if (count == 0 || count > 4 || pos + count > bytes.size() || bytes[pos] == 0) return false;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = length << 8 | bytes[pos++];
    if (length < 0x80) return false;
  }
  if (length > bytes.size() - pos) return false;
  element.Content.assign(bytes.begin() + static_cast<long>(pos),
                         bytes.begin() + static_cast<long>(pos + length));
  pos += length;
  return true;
}

}  // namespace

bool TDer::Parse(const std::vector<uint8_t>& bytes, TDer& element) {
  size_t pos = 0;
  return ReadOne(bytes, pos, element) && pos == bytes.size();
}

std::vector<TDer> TDer::Children() const {
  std::vector<TDer> children;
  EXPECT_TRUE(Tag & 0x20) << "element " << int(Tag) << " is not constructed";
  size_t pos = 0;
  while (pos < Content.size()) {
    TDer child;
    if (!ReadOne(Content, pos, child)) {
      ADD_FAILURE() << "malformed DER inside element " << int(Tag);
      break;
    }
    children.push_back(child);
  }
  return children;
}

std::string TDer::Oid() const {
  EXPECT_EQ(Tag, 0x06);
  std::string text;
  uint64_t value = 0;
  bool first = true;
  for (uint8_t byte : Content) {
    value = value << 7 | (byte & 0x7F);
    if (byte & 0x80) continue;
    if (first) {
      uint64_t top = value < 80 ? value / 40 : 2;
      text = std::to_string(top) + "." + std::to_string(value - top * 40);
      first = false;
    } else {
      text += "." + std::to_string(value);
    }
    value = 0;
  }
  return text;
}
