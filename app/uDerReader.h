#pragma once
// Reading DER: elements one after another, and the check that bytes are
// DER all the way down.

#include <cstddef>
#include <cstdint>

#include "rtl/Types.h"

// Reads DER elements one after another, each only when its header and
// content lie wholly inside the data.
class TDerReader {
 public:
  TDerReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit TDerReader(const AnsiString& data)
      : TDerReader(reinterpret_cast<const uint8_t*>(data.data()), data.size()) {}

  bool Next(uint8_t& tag, const uint8_t*& content, size_t& length);
  // Whether the element read last wrote its length in the fewest bytes.
  bool MinimalLength() const { return minimal_; }
  bool AtEnd() const { return at_ == size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool minimal_ = true;
};

// The bytes are whole DER elements, and so is the content of every
// constructed one, down to the last, each length in the fewest bytes.
bool IsDerThroughout(const AnsiString& Bytes);
