#include "app/uValidators.h"

#include "rtl/AnsiText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitAt(const AnsiString& s, size_t index) { return s[index] - '0'; }

bool IsDigitsOfLength(const AnsiString& s, size_t length) {
  return s.size() == length && std::all_of(s.begin(), s.end(), IsDigit);
}

// Weighted sum of the leading digits, mod 11 mod 10: the INN check digit.
int InnCheckDigit(const AnsiString& s, std::initializer_list<int> weights) {
  int sum = 0;
  size_t index = 0;
  for (int weight : weights) sum += weight * DigitAt(s, index++);
  return sum % 11 % 10;
}

// OGRN and OGRNIP: all digits but the last read as one number, whose
// remainder by `divisor`, taken mod 10, is the last digit.
bool HasNumberCheckDigit(const AnsiString& s, size_t length, int64_t divisor) {
  if (!IsDigitsOfLength(s, length)) return false;
  int64_t number = 0;
  for (size_t i = 0; i + 1 < length; ++i) number = number * 10 + DigitAt(s, i);
  return number % divisor % 10 == DigitAt(s, length - 1);
}

}  // namespace

bool IsValidINN(const AnsiString& S) {
  if (IsDigitsOfLength(S, 10))
    return InnCheckDigit(S, {2, 4, 10, 3, 5, 9, 4, 6, 8}) == DigitAt(S, 9);
  if (IsDigitsOfLength(S, 12))
    return InnCheckDigit(S, {7, 2, 4, 10, 3, 5, 9, 4, 6, 8}) == DigitAt(S, 10) &&
           InnCheckDigit(S, {3, 7, 2, 4, 10, 3, 5, 9, 4, 6, 8}) == DigitAt(S, 11);
  return false;
}

bool IsValidKPP(const AnsiString& S) { return IsDigitsOfLength(S, 9); }

bool IsValidOGRN(const AnsiString& S) { return HasNumberCheckDigit(S, 13, 11); }

bool IsValidOGRNIP(const AnsiString& S) { return HasNumberCheckDigit(S, 15, 13); }

bool IsValidSNILS(const AnsiString& S) {
  // Nine number digits, then the two of the check number; the printed form
  // ddd-ddd-ddd dd has separators we do not look at.
  static constexpr std::array<size_t, 11> kPlain = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  static constexpr std::array<size_t, 11> kPrinted = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13};
  const std::array<size_t, 11>* positions;
  if (S.size() == 11)
    positions = &kPlain;
  else if (S.size() == 14)
    positions = &kPrinted;
  else
    return false;

  std::array<int, 11> digits;
  for (size_t i = 0; i < digits.size(); ++i) {
    const size_t at = (*positions)[i];
    if (!IsDigit(S[at])) return false;
    digits[i] = DigitAt(S, at);
  }
  int sum = 0;
  for (size_t i = 0; i < 9; ++i) sum += digits[i] * static_cast<int>(9 - i);
  return sum % 101 % 100 == digits[9] * 10 + digits[10];
}

bool IsValidEmail(const AnsiString& S) {
  const size_t at = S.find('@');
  if (at == AnsiString::npos || at == 0 || at == S.size() - 1) return false;
  // Control characters, blanks and anything beyond ASCII (Cyrillic letters,
  // Ё, №) cannot be in an address: it goes into an IA5String.
  return std::none_of(S.begin(), S.end(), [](char c) {
    const auto b = static_cast<uint8_t>(c);
    return b == 7 || b == 10 || b == 13 || b == ' ' || b >= 0x80;
  });
}

bool IsValidFSSRegNum(const AnsiString& S) { return IsDigitsOfLength(S, 10); }

bool IsValidPFRRegNum(const AnsiString& S) {
  if (S.size() != 14) return false;
  for (size_t i = 0; i < S.size(); ++i) {
    const bool dash = i == 3 || i == 7;
    if (dash ? S[i] != '-' : !IsDigit(S[i])) return false;
  }
  return true;
}

AnsiString FormatPFRRegNum(const AnsiString& S) {
  const AnsiString text = Trim(S);
  if (text.size() != 12 || text.find('-') != AnsiString::npos) return text;
  return text.substr(0, 3) + "-" + text.substr(3, 3) + "-" + text.substr(6);
}
