// Format and FormatFloat.
#include <charconv>
#include <cmath>

#include "rtl/SysUtils.h"
#include "rtl/SysUtilsNumbers.h"

using ksnum::Decimal;

AnsiString TVarRec::AsString() const {
  if (kind_ == vtChar) return AnsiString(1, static_cast<char>(int_));
  return len_ == AnsiString::npos ? AnsiString(str_) : AnsiString(str_, len_);
}

namespace {

Decimal CurrencyDecimal(int64_t scaled) {
  Decimal d;
  d.negative = scaled < 0;
  uint64_t magnitude = d.negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  d.digits = std::to_string(magnitude);
  d.exponent = static_cast<int>(d.digits.size()) - 4;
  d.Normalize();
  return d;
}

class Formatter {
 public:
  Formatter(const AnsiString& format, std::initializer_list<TVarRec> args,
            const TFormatSettings& fs)
      : format_(format), args_(args), fs_(fs) {}

  AnsiString Run() {
    AnsiString out;
    while (pos_ < format_.size()) {
      char c = format_[pos_++];
      if (c != '%') {
        out += c;
      } else if (pos_ < format_.size() && format_[pos_] == '%') {
        out += '%';
        ++pos_;
      } else {
        out += Specifier();
      }
    }
    return out;
  }

 private:
  [[noreturn]] void Invalid() const {
    throw EConvertError(Format("Формат '%s' неверен или несовместим с аргументом", {format_}));
  }

  const TVarRec& NextArg() {
    if (argIndex_ >= args_.size())
      throw EConvertError(Format("Нет аргумента для формата '%s'", {format_}));
    return args_.begin()[argIndex_++];
  }

  bool AtEnd() const { return pos_ >= format_.size(); }

  // Digits or '*'; false when neither is there.
  bool Number(int& n) {
    if (AtEnd()) Invalid();
    if (format_[pos_] == '*') {
      ++pos_;
      const TVarRec& a = NextArg();
      if (a.kind() != TVarRec::vtInteger) Invalid();
      n = static_cast<int>(a.AsInt64());
      return true;
    }
    if (!std::isdigit(static_cast<uint8_t>(format_[pos_]))) return false;
    n = 0;
    while (!AtEnd() && std::isdigit(static_cast<uint8_t>(format_[pos_])))
      n = std::min(n * 10 + (format_[pos_++] - '0'), 1 << 20);
    return true;
  }

  AnsiString Specifier() {
    int n = 0, width = 0, precision = -1;
    bool haveNumber = Number(n);
    if (haveNumber && !AtEnd() && format_[pos_] == ':') {
      argIndex_ = static_cast<size_t>(std::max(n, 0));
      ++pos_;
      haveNumber = false;
    }
    bool left = false;
    if (!haveNumber && !AtEnd() && format_[pos_] == '-') {
      left = true;
      ++pos_;
    }
    if (haveNumber || Number(n)) width = std::max(n, 0);
    if (!AtEnd() && format_[pos_] == '.') {
      ++pos_;
      if (!Number(precision)) precision = 0;
    }
    if (AtEnd()) Invalid();
    char type = static_cast<char>(std::tolower(static_cast<uint8_t>(format_[pos_++])));
    AnsiString text = Convert(type, NextArg(), precision);
    if (static_cast<int>(text.size()) < width)
      text.insert(left ? text.size() : 0, width - text.size(), ' ');
    return text;
  }

  AnsiString Convert(char type, const TVarRec& a, int precision) {
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        if (a.kind() != TVarRec::vtInteger) Invalid();
        int64_t v = a.AsInt64();
        AnsiString digits;
        bool negative = false;
        if (type == 'x') {
          digits = a.IsWide() ? IntToHex(static_cast<uint64_t>(v), 0)
                              : IntToHex(static_cast<uint32_t>(v), 0);
        } else if (a.IsUnsigned() || type == 'u') {
          digits = std::to_string(a.IsWide() || a.IsUnsigned() ? static_cast<uint64_t>(v)
                                                                : static_cast<uint32_t>(v));
        } else {
          negative = v < 0;
          digits = std::to_string(negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v));
        }
        if (static_cast<int>(digits.size()) < precision)
          digits.insert(0, precision - digits.size(), '0');
        return negative ? "-" + digits : digits;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm':
        return FloatArg(type, a, precision);
      case 'p': {
        if (a.kind() != TVarRec::vtPointer) Invalid();
        return IntToHex(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(a.AsPointer())),
                        static_cast<int>(sizeof(void*) * 2));
      }
      case 's': {
        if (a.kind() != TVarRec::vtString && a.kind() != TVarRec::vtChar) Invalid();
        AnsiString s = a.AsString();
        if (precision >= 0 && static_cast<size_t>(precision) < s.size()) s.resize(precision);
        return s;
      }
      default:
        Invalid();
    }
  }

  AnsiString FloatArg(char type, const TVarRec& a, int precision) {
    Decimal d;
    switch (a.kind()) {
      case TVarRec::vtFloat: {
        double v = a.AsFloat();
        if (!std::isfinite(v)) return FloatToStr(v, fs_);
        d = ksnum::ToDecimal(v);
        break;
      }
      case TVarRec::vtCurrency:
        d = CurrencyDecimal(a.AsInt64());
        break;
      case TVarRec::vtInteger:  // an integer where a number is expected reads as one
        d = ksnum::ToDecimal(static_cast<double>(a.AsInt64()));
        break;
      default:
        Invalid();
    }
    switch (type) {
      case 'e':
        return ksnum::FormatDecimal(d, ffExponent, precision < 0 ? 15 : precision, 3, fs_);
      case 'g':
        return ksnum::FormatDecimal(d, ffGeneral, precision < 0 ? 15 : precision, 0, fs_);
      case 'f':
        return ksnum::FormatDecimal(d, ffFixed, 18, precision < 0 ? 2 : precision, fs_);
      case 'n':
        return ksnum::FormatDecimal(d, ffNumber, 18, precision < 0 ? 2 : precision, fs_);
      default:
        return ksnum::FormatDecimal(d, ffCurrency, 18,
                                    precision < 0 ? fs_.CurrencyDecimals : precision, fs_);
    }
  }

  const AnsiString& format_;
  std::initializer_list<TVarRec> args_;
  const TFormatSettings& fs_;
  size_t pos_ = 0;
  size_t argIndex_ = 0;
};

// ---- FormatFloat ---------------------------------------------------------------

std::vector<AnsiString> SplitSections(const AnsiString& format) {
  std::vector<AnsiString> sections(1);
  char quote = 0;
  for (char c : format) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

// What the placeholders of one section ask for.
struct Section {
  int intCount = 0;  // placeholders before the decimal point
  int intMin = 0;    // digits always shown: from the leftmost '0' on
  int fracMin = 0, fracMax = 0;
  bool thousands = false;
  bool scientific = false;

  explicit Section(const AnsiString& s) {
    char quote = 0;
    bool point = false;
    int firstZero = -1;
    for (size_t i = 0; i < s.size(); ++i) {
      char c = s[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '0' || c == '#') {
        if (point) {
          ++fracMax;
          if (c == '0') fracMin = fracMax;
        } else {
          if (c == '0' && firstZero < 0) firstZero = intCount;
          ++intCount;
        }
      } else if (c == '.') {
        point = true;
      } else if (c == ',') {
        thousands = !point;
      } else if ((c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
        scientific = true;
        break;
      }
    }
    intMin = firstZero < 0 ? 0 : intCount - firstZero;
  }
};

class FloatPicture {
 public:
  FloatPicture(const AnsiString& section, const Decimal& value, const TFormatSettings& fs)
      : text_(section), info_(section), fs_(fs), d_(value) {
    if (info_.scientific) {
      d_.Round(std::max(info_.intCount, 1) + info_.fracMax);
      if (!d_.digits.empty()) exponent_ = d_.exponent - info_.intCount;
      d_.exponent = d_.digits.empty() ? 0 : info_.intCount;
    } else {
      d_.Round(d_.exponent + info_.fracMax);
    }
  }

  bool IsZero() const { return d_.digits.empty(); }

  AnsiString Render(bool withSign) const {
    AnsiString intDigits = d_.IntegerPart();
    if (intDigits == "0") intDigits.clear();
    if (static_cast<int>(intDigits.size()) < info_.intMin)
      intDigits.insert(0, info_.intMin - intDigits.size(), '0');
    AnsiString frac = d_.Fraction(info_.fracMax);
    while (static_cast<int>(frac.size()) > info_.fracMin && frac.back() == '0') frac.pop_back();

    AnsiString out = withSign && !IsZero() && d_.negative ? "-" : "";
    const int len = static_cast<int>(intDigits.size());
    int intSeen = 0, fracSeen = 0;
    bool point = false;
    auto emitIntDigit = [&](int j) {
      out += intDigits[j];
      int right = len - 1 - j;
      if (info_.thousands && right > 0 && right % 3 == 0 && fs_.ThousandSeparator)
        out += fs_.ThousandSeparator;
    };
    for (size_t i = 0; i < text_.size(); ++i) {
      char c = text_[i];
      if (c == '"' || c == '\'') {
        size_t end = text_.find(c, i + 1);
        if (end == AnsiString::npos) end = text_.size();
        out.append(text_, i + 1, end - i - 1);
        i = end;
      } else if ((c == '0' || c == '#') && !point) {
        // Placeholders take digits right-aligned; the first takes any surplus.
        int j = intSeen - (info_.intCount - len);
        if (intSeen == 0)
          for (int k = 0; k < j; ++k) emitIntDigit(k);
        if (j >= 0) emitIntDigit(j);
        ++intSeen;
      } else if (c == '0' || c == '#') {
        if (fracSeen < static_cast<int>(frac.size())) out += frac[fracSeen];
        ++fracSeen;
      } else if (c == '.') {
        if (!point && intSeen == 0)  // no integer placeholders: the digits still show
          for (int k = 0; k < len; ++k) emitIntDigit(k);
        if (!point && !frac.empty()) out += fs_.DecimalSeparator;
        point = true;
      } else if (c == ',') {
        // grouping flag, not printed
      } else if ((c == 'E' || c == 'e') && info_.scientific && i + 1 < text_.size() &&
                 (text_[i + 1] == '+' || text_[i + 1] == '-')) {
        size_t zeros = i + 2;
        while (zeros < text_.size() && text_[zeros] == '0') ++zeros;
        AnsiString digits = std::to_string(std::abs(exponent_));
        int minDigits = static_cast<int>(zeros - i - 2);
        if (static_cast<int>(digits.size()) < minDigits)
          digits.insert(0, minDigits - digits.size(), '0');
        out += c;
        out += exponent_ < 0 ? "-" : text_[i + 1] == '+' ? "+" : "";
        out += digits;
        i = zeros - 1;
      } else {
        out += c;
      }
    }
    return out;
  }

 private:
  const AnsiString& text_;
  Section info_;
  const TFormatSettings& fs_;
  Decimal d_;
  int exponent_ = 0;
};

}  // namespace

AnsiString Format(const AnsiString& format, std::initializer_list<TVarRec> args,
                  const TFormatSettings& settings) {
  return Formatter(format, args, settings).Run();
}

AnsiString Format(const AnsiString& format, std::initializer_list<TVarRec> args) {
  return Format(format, args, FormatSettings);
}

AnsiString ksnum::FormatPicture(const AnsiString& format, const Decimal& d,
                                const TFormatSettings& settings) {
  const std::vector<AnsiString> sections = SplitSections(format);
  // A negative value takes the second section (which shows its own sign)
  // when there is one; a value that rounds to zero takes the third.
  size_t index =
      d.negative && !d.digits.empty() && sections.size() > 1 && !sections[1].empty() ? 1 : 0;
  FloatPicture picture(sections[index], d, settings);
  if (picture.IsZero() && sections.size() > 2 && !sections[2].empty())
    return FloatPicture(sections[2], d, settings).Render(false);
  return picture.Render(index == 0);
}

AnsiString FormatFloat(const AnsiString& format, double value, const TFormatSettings& settings) {
  if (format.empty() || !std::isfinite(value)) return FloatToStr(value, settings);
  return ksnum::FormatPicture(format, ksnum::ToDecimal(value), settings);
}

AnsiString FormatFloat(const AnsiString& format, double value) {
  return FormatFloat(format, value, FormatSettings);
}

AnsiString FormatCurr(const AnsiString& format, Currency value) {
  if (format.empty()) return CurrToStr(value);
  return ksnum::FormatPicture(format, CurrencyDecimal(value.Scaled), FormatSettings);
}

AnsiString CurrToStrF(Currency value, TFloatFormat format, int digits) {
  return ksnum::FormatDecimal(CurrencyDecimal(value.Scaled), format, 18, digits, FormatSettings);
}
