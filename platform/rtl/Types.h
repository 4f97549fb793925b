// Basic types of the runtime library: the system's string, date and money
// types, and a small set type for the flag sets it passes around.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// Text as the system stores it: Windows-1251 bytes.
using AnsiString = std::string;
using WideString = std::u16string;
// Days since 1899-12-30; the fraction is the time of day. For dates before
// that day the integer part is negative and the fraction still counts
// forward from midnight (-1.25 is 1899-12-29 06:00).
using TDateTime = double;
using TBytes = std::vector<uint8_t>;

// An OS file handle: a HANDLE in the Windows build, a descriptor natively.
using THandle = intptr_t;
inline constexpr THandle InvalidHandle = -1;

class TObject;
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Money: a 64-bit integer scaled by 10,000.
struct Currency {
  int64_t Scaled = 0;

  Currency() = default;
  // Rounds to four decimals, halves to even, on the value's shortest decimal
  // form (so 1.00005 gives 1.0000 and 1.00015 gives 1.0002); EOverflow when
  // the value does not fit.
  Currency(double value);  // NOLINT: implicit like the platform's assignment
  static Currency FromScaled(int64_t scaled) {
    Currency c;
    c.Scaled = scaled;
    return c;
  }
  double ToDouble() const { return static_cast<double>(Scaled) / 10000.0; }

  friend bool operator==(Currency a, Currency b) { return a.Scaled == b.Scaled; }
  friend auto operator<=>(Currency a, Currency b) { return a.Scaled <=> b.Scaled; }
  friend Currency operator+(Currency a, Currency b) { return FromScaled(a.Scaled + b.Scaled); }
  friend Currency operator-(Currency a, Currency b) { return FromScaled(a.Scaled - b.Scaled); }
  Currency operator-() const { return FromScaled(-Scaled); }
};

// A set of enumeration values (at most 64), like the platform's `set of`.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) Include(e);
  }
  constexpr bool Contains(E e) const { return (bits_ >> static_cast<unsigned>(e)) & 1u; }
  constexpr TSet& Include(E e) {
    bits_ |= uint64_t{1} << static_cast<unsigned>(e);
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    bits_ &= ~(uint64_t{1} << static_cast<unsigned>(e));
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr friend TSet operator+(TSet a, TSet b) { return FromBits(a.bits_ | b.bits_); }
  constexpr friend TSet operator*(TSet a, TSet b) { return FromBits(a.bits_ & b.bits_); }
  constexpr friend TSet operator-(TSet a, TSet b) { return FromBits(a.bits_ & ~b.bits_); }
  constexpr friend bool operator==(TSet a, TSet b) = default;

 private:
  static constexpr TSet FromBits(uint64_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  uint64_t bits_ = 0;
};
