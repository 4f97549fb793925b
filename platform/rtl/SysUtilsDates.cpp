// Dates and times: TDateTime arithmetic, FormatDateTime, parsing, DOS and
// Unix times.
#include <cmath>

#include "rtl/SysUtils.h"

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
constexpr int kUnixDateDelta = 25569;  // 1970-01-01 as a TDateTime

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// The day number and the milliseconds into that day. The time of day is the
// fraction's absolute value, also before 1899-12-30; a time that rounds up
// to 24:00 belongs to the next day.
void SplitDateTime(TDateTime dt, int64_t& day, int64_t& msecs) {
  day = static_cast<int64_t>(std::trunc(dt));
  msecs = std::llround(std::fabs(dt - std::trunc(dt)) * kMSecsPerDay);
  if (msecs >= kMSecsPerDay) {
    msecs -= kMSecsPerDay;
    ++day;
  }
}

bool IsFormatLetter(char c, char letter) { return (c | 0x20) == letter; }

AnsiString Pad(int value, int width) {
  AnsiString s = std::to_string(value);
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
  return s;
}

bool StartsWithNoCase(const AnsiString& s, size_t at, const char* what) {
  size_t n = std::char_traits<char>::length(what);
  return at + n <= s.size() && SameText(s.substr(at, n), what);
}

bool HasAmPm(const AnsiString& fmt) {
  char quote = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (quote) {
      if (fmt[i] == quote) quote = 0;
    } else if (fmt[i] == '"' || fmt[i] == '\'') {
      quote = fmt[i];
    } else if (StartsWithNoCase(fmt, i, "am/pm") || StartsWithNoCase(fmt, i, "a/p") ||
               StartsWithNoCase(fmt, i, "ampm")) {
      return true;
    }
  }
  return false;
}

class DateFormatter {
 public:
  DateFormatter(TDateTime dt, const TFormatSettings& fs) : fs_(fs) {
    int64_t day, msecs;
    SplitDateTime(dt, day, msecs);
    CivilFromDays(day - kUnixDateDelta, year_, month_, day_);
    dayOfWeek_ = static_cast<int>(((day % 7) + 7 + 6) % 7);  // 1899-12-30 was a Saturday
    hour_ = static_cast<int>(msecs / 3600000);
    min_ = static_cast<int>(msecs / 60000 % 60);
    sec_ = static_cast<int>(msecs / 1000 % 60);
    msec_ = static_cast<int>(msecs % 1000);
    hasTime_ = msecs != 0;
  }

  void Append(AnsiString& out, const AnsiString& fmt, int nesting) {
    if (nesting > 2) return;  // a format that names itself
    const bool twelveHour = HasAmPm(fmt);
    char lastToken = 0;
    for (size_t i = 0; i < fmt.size();) {
      const char c = fmt[i];
      const char letter = static_cast<char>(c | 0x20);
      size_t count = 1;
      if (std::isalpha(static_cast<uint8_t>(c)))
        while (i + count < fmt.size() && IsFormatLetter(fmt[i + count], letter)) ++count;
      switch (letter) {
        case 'y':
          out += count <= 2 ? Pad(year_ % 100, 2) : Pad(year_, 4);
          break;
        case 'm':
          if (lastToken == 'h') out += Pad(min_, count == 1 ? 1 : 2);
          else if (count <= 2) out += Pad(month_, static_cast<int>(count));
          else out += (count == 3 ? fs_.ShortMonthNames : fs_.LongMonthNames)[month_ - 1];
          break;
        case 'd':
          if (count <= 2) out += Pad(day_, static_cast<int>(count));
          else if (count == 3) out += fs_.ShortDayNames[dayOfWeek_];
          else if (count == 4) out += fs_.LongDayNames[dayOfWeek_];
          else Append(out, count == 5 ? fs_.ShortDateFormat : fs_.LongDateFormat, nesting + 1);
          break;
        case 'h': {
          int h = twelveHour ? (hour_ % 12 == 0 ? 12 : hour_ % 12) : hour_;
          out += Pad(h, count == 1 ? 1 : 2);
          break;
        }
        case 'n':
          out += Pad(min_, count == 1 ? 1 : 2);
          break;
        case 's':
          out += Pad(sec_, count == 1 ? 1 : 2);
          break;
        case 'z':
          out += Pad(msec_, count == 1 ? 1 : 3);
          break;
        case 't':
          Append(out, count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, nesting + 1);
          break;
        case 'c':
          Append(out, fs_.ShortDateFormat, nesting + 1);
          if (hasTime_) {
            out += ' ';
            Append(out, fs_.LongTimeFormat, nesting + 1);
          }
          count = 1;
          break;
        case 'a':
          count = AmPm(out, fmt, i);
          break;
        default:
          count = 1;
          if (c == '/') {
            out += fs_.DateSeparator;
          } else if (c == ':') {
            out += fs_.TimeSeparator;
          } else if (c == '"' || c == '\'') {
            size_t end = fmt.find(c, i + 1);
            if (end == AnsiString::npos) end = fmt.size();
            out.append(fmt, i + 1, end - i - 1);
            count = end + 1 - i;
          } else {
            out += c;
          }
          break;
      }
      if (std::isalpha(static_cast<uint8_t>(c))) lastToken = letter;
      i += std::min(count, fmt.size() - i);
    }
  }

 private:
  // "am/pm" and "a/p" keep the case written in the format; "ampm" shows the
  // settings' strings. Any other 'a' is text.
  size_t AmPm(AnsiString& out, const AnsiString& fmt, size_t i) const {
    const bool pm = hour_ >= 12;
    if (StartsWithNoCase(fmt, i, "am/pm")) {
      out += fmt.substr(pm ? i + 3 : i, 2);
      return 5;
    }
    if (StartsWithNoCase(fmt, i, "a/p")) {
      out += fmt[pm ? i + 2 : i];
      return 3;
    }
    if (StartsWithNoCase(fmt, i, "ampm")) {
      out += pm ? fs_.TimePMString : fs_.TimeAMString;
      return 4;
    }
    out += fmt[i];
    return 1;
  }

  const TFormatSettings& fs_;
  int year_, month_, day_, dayOfWeek_, hour_, min_, sec_, msec_;
  bool hasTime_;
};

// ---- Parsing -------------------------------------------------------------------

class DateScanner {
 public:
  DateScanner(const AnsiString& s, const TFormatSettings& fs) : s_(s), fs_(fs) {}

  void Blanks() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
  }
  bool AtEnd() {
    Blanks();
    return pos_ == s_.size();
  }
  bool Char(char c) {
    Blanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Number(int& value, int& length) {
    Blanks();
    value = 0;
    length = 0;
    while (pos_ < s_.size() && std::isdigit(static_cast<uint8_t>(s_[pos_])) && length < 9) {
      value = value * 10 + (s_[pos_++] - '0');
      ++length;
    }
    return length > 0;
  }

  bool Date(TDateTime& date) {
    int n1, n2, n3 = 0, l1, l2, l3 = 0;
    if (!Number(n1, l1) || !Char(fs_.DateSeparator) || !Number(n2, l2)) return false;
    const bool threeParts = Char(fs_.DateSeparator);
    if (threeParts && !Number(n3, l3)) return false;
    int y, m, d;
    switch (Order()) {
      case 'm':
        m = n1, d = n2, y = n3;
        break;
      case 'y':
        if (threeParts) y = n1, m = n2, d = n3, l3 = l1;
        else m = n1, d = n2;
        break;
      default:
        d = n1, m = n2, y = n3;
        break;
    }
    const int currentYear = CurrentYear();
    if (!threeParts) {
      y = currentYear;
    } else if (l3 <= 2) {
      y += currentYear / 100 * 100;
      if (fs_.TwoDigitYearCenturyWindow > 0 && y < currentYear - fs_.TwoDigitYearCenturyWindow)
        y += 100;
      else if (fs_.TwoDigitYearCenturyWindow > 0 && y > currentYear + fs_.TwoDigitYearCenturyWindow)
        y -= 100;
    }
    return TryEncodeDate(y, m, d, date);
  }

  bool Time(TDateTime& time) {
    int h, n = 0, sec = 0, ms = 0, len;
    if (!Number(h, len)) return false;
    if (Char(fs_.TimeSeparator)) {
      if (!Number(n, len)) return false;
      if (Char(fs_.TimeSeparator)) {
        if (!Number(sec, len)) return false;
        if (Char(fs_.DecimalSeparator) && !Number(ms, len)) return false;
      }
    } else if (!AmPmAhead()) {
      return false;
    }
    int ampm = AmPm();
    if (ampm) {
      if (h == 0 || h > 12) return false;
      h = h % 12 + (ampm == 2 ? 12 : 0);
    }
    return TryEncodeTime(h, n, sec, ms, time);
  }

 private:
  // Which of day, month, year the short date format names first.
  char Order() const {
    for (char c : fs_.ShortDateFormat) {
      char l = static_cast<char>(c | 0x20);
      if (l == 'd' || l == 'm' || l == 'y') return l;
    }
    return 'd';
  }
  static int CurrentYear() {
    return LocalTimeNow().Year;
  }
  bool AmPmAhead() {
    Blanks();
    return Matches("AM") || Matches("PM") || Matches(fs_.TimeAMString) || Matches(fs_.TimePMString);
  }
  bool Matches(const AnsiString& word) const {
    return !word.empty() && pos_ + word.size() <= s_.size() &&
           AnsiSameText(s_.substr(pos_, word.size()), word);
  }
  // 0 none, 1 before noon, 2 after.
  int AmPm() {
    Blanks();
    for (const auto& [word, value] : {std::pair<AnsiString, int>{fs_.TimeAMString, 1},
                                      {fs_.TimePMString, 2}, {"AM", 1}, {"PM", 2}}) {
      if (Matches(word)) {
        pos_ += word.size();
        return value;
      }
    }
    return 0;
  }

  const AnsiString& s_;
  const TFormatSettings& fs_;
  size_t pos_ = 0;
};

[[noreturn]] void InvalidDate(const char* what, const AnsiString& s) {
  throw EConvertError(Format("'%s' не является корректным значением %s", {s, what}));
}

}  // namespace

// ---- Arithmetic --------------------------------------------------------------

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  date = static_cast<double>(DaysFromCivil(year, month, day) + kUnixDateDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime d;
  if (!TryEncodeDate(year, month, day, d))
    throw EConvertError("Неверный аргумент для кодирования даты");
  return d;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
      msec > 999)
    return false;
  time = ((hour * 3600000.0) + min * 60000.0 + sec * 1000.0 + msec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime t;
  if (!TryEncodeTime(hour, min, sec, msec, t))
    throw EConvertError("Неверный аргумент для кодирования времени");
  return t;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  int64_t d, ms;
  SplitDateTime(date, d, ms);
  CivilFromDays(d - kUnixDateDelta, year, month, day);
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec) {
  int64_t d, ms;
  SplitDateTime(time, d, ms);
  hour = static_cast<int>(ms / 3600000);
  min = static_cast<int>(ms / 60000 % 60);
  sec = static_cast<int>(ms / 1000 % 60);
  msec = static_cast<int>(ms % 1000);
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  date = std::trunc(date);
  time = std::fabs(time - std::trunc(time));
  return date < 0 ? date - time : date + time;
}

int DayOfWeek(TDateTime date) {
  int64_t d, ms;
  SplitDateTime(date, d, ms);
  return static_cast<int>(((d % 7) + 7 + 6) % 7) + 1;
}

TDateTime Now() {
  TLocalTime t = LocalTimeNow();
  return ComposeDateTime(EncodeDate(t.Year, t.Month, t.Day),
                         EncodeTime(t.Hour, t.Minute, t.Second, t.Millisecond));
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  TLocalTime t = LocalTimeNow();
  return EncodeTime(t.Hour, t.Minute, t.Second, t.Millisecond);
}

// ---- Text --------------------------------------------------------------------

AnsiString FormatDateTime(const AnsiString& format, TDateTime dt, const TFormatSettings& settings) {
  AnsiString out;
  DateFormatter(dt, settings).Append(out, format.empty() ? AnsiString("c") : format, 0);
  return out;
}

AnsiString FormatDateTime(const AnsiString& format, TDateTime dt) {
  return FormatDateTime(format, dt, FormatSettings);
}

void DateTimeToString(AnsiString& result, const AnsiString& format, TDateTime dt) {
  result = FormatDateTime(format, dt);
}

AnsiString DateToStr(TDateTime dt) { return FormatDateTime(FormatSettings.ShortDateFormat, dt); }
AnsiString TimeToStr(TDateTime dt) { return FormatDateTime(FormatSettings.LongTimeFormat, dt); }
AnsiString DateTimeToStr(TDateTime dt) { return FormatDateTime("c", dt); }

bool TryStrToDate(const AnsiString& s, TDateTime& value, const TFormatSettings& settings) {
  DateScanner scan(s, settings);
  return scan.Date(value) && scan.AtEnd();
}

bool TryStrToTime(const AnsiString& s, TDateTime& value, const TFormatSettings& settings) {
  DateScanner scan(s, settings);
  return scan.Time(value) && scan.AtEnd();
}

bool TryStrToDateTime(const AnsiString& s, TDateTime& value, const TFormatSettings& settings) {
  DateScanner scan(s, settings);
  TDateTime date, time = 0;
  if (!scan.Date(date)) return false;
  if (!scan.AtEnd() && !scan.Time(time)) return false;
  if (!scan.AtEnd()) return false;
  value = ComposeDateTime(date, time);
  return true;
}

TDateTime StrToDate(const AnsiString& s, const TFormatSettings& settings) {
  TDateTime v;
  if (!TryStrToDate(s, v, settings)) InvalidDate("даты", s);
  return v;
}

TDateTime StrToTime(const AnsiString& s, const TFormatSettings& settings) {
  TDateTime v;
  if (!TryStrToTime(s, v, settings)) InvalidDate("времени", s);
  return v;
}

TDateTime StrToDateTime(const AnsiString& s, const TFormatSettings& settings) {
  TDateTime v;
  if (!TryStrToDateTime(s, v, settings)) InvalidDate("даты и времени", s);
  return v;
}

TDateTime StrToDate(const AnsiString& s) { return StrToDate(s, FormatSettings); }
TDateTime StrToTime(const AnsiString& s) { return StrToTime(s, FormatSettings); }
TDateTime StrToDateTime(const AnsiString& s) { return StrToDateTime(s, FormatSettings); }

// ---- DOS and Unix times --------------------------------------------------------

int32_t DateTimeToFileDate(TDateTime dt) {
  int y, m, d, h, n, s, ms;
  DecodeDate(dt, y, m, d);
  DecodeTime(dt, h, n, s, ms);
  if (y < 1980 || y > 2107) return 0;
  uint32_t packed = (static_cast<uint32_t>(y - 1980) << 25) | (m << 21) | (d << 16) | (h << 11) |
                    (n << 5) | (s >> 1);
  return static_cast<int32_t>(packed);
}

TDateTime FileDateToDateTime(int32_t fileDate) {
  const uint32_t v = static_cast<uint32_t>(fileDate);
  TDateTime date, time;
  if (!TryEncodeDate(static_cast<int>(v >> 25) + 1980, (v >> 21) & 15, (v >> 16) & 31, date) ||
      !TryEncodeTime((v >> 11) & 31, (v >> 5) & 63, (v & 31) * 2, 0, time))
    throw EConvertError(Format("Неверная дата файла: %d", {fileDate}));
  return ComposeDateTime(date, time);
}

int64_t DateTimeToUnix(TDateTime dt) {
  int64_t day, ms;
  SplitDateTime(dt, day, ms);
  return (day - kUnixDateDelta) * 86400 + (ms + 500) / 1000;
}

TDateTime UnixToDateTime(int64_t unixTime) {
  int64_t days = unixTime / 86400, secs = unixTime % 86400;
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  return ComposeDateTime(static_cast<double>(days + kUnixDateDelta), secs / 86400.0);
}
