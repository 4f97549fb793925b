#include "app/uDerReader.h"

#include <vector>

bool TDerReader::Next(uint8_t& tag, const uint8_t*& content, size_t& length) {
  const size_t left = size_ - at_;
  if (left < 2) return false;
  tag = data_[at_];
  if ((tag & 0x1F) == 0x1F) return false;  // multi-byte tags: none of ours
  size_t header = 2;
  uint64_t len = data_[at_ + 1];
  minimal_ = true;
  if (len & 0x80) {
    const size_t count = len & 0x7F;
    if (count == 0 || count > 4 || left < 2 + count) return false;  // indefinite or absurd
    len = 0;
    for (size_t i = 0; i < count; ++i) len = len << 8 | data_[at_ + 2 + i];
    header += count;
    minimal_ = len >= 0x80 && data_[at_ + 2] != 0;
  }
  if (len > left - header) return false;
  content = data_ + at_ + header;
  length = static_cast<size_t>(len);
  at_ += header + length;
  return true;
}

bool IsDerThroughout(const AnsiString& Bytes) {
  // Our own stack of the constructed elements being read: nesting costs the
  // sender two bytes a level, so it must not cost us a call frame.
  std::vector<TDerReader> open{TDerReader(Bytes)};
  while (!open.empty()) {
    if (open.back().AtEnd()) {
      open.pop_back();
      continue;
    }
    uint8_t tag;
    const uint8_t* content;
    size_t length;
    if (!open.back().Next(tag, content, length) || !open.back().MinimalLength()) return false;
    if (tag & 0x20) open.emplace_back(content, length);
  }
  return true;
}
