// Exceptions, number and date conversion, Format, format settings and file
// helpers, as the system's code calls them.
#pragma once

#include <concepts>
#include <exception>
#include <initializer_list>

#include "rtl/AnsiText.h"
#include "rtl/OsShim.h"
#include "rtl/Types.h"

// <windows.h> maps these names to their A/W forms; ours are plain functions.
#ifdef DeleteFile
#undef DeleteFile
#endif
#ifdef GetEnvironmentVariable
#undef GetEnvironmentVariable
#endif

// ---- Exceptions ------------------------------------------------------------

class Exception : public std::exception {
 public:
  explicit Exception(const AnsiString& message, int helpContext = 0)
      : message_(message), helpContext_(helpContext) {}
  const AnsiString& Message() const { return message_; }
  void SetMessage(const AnsiString& message) { message_ = message; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int helpContext) { helpContext_ = helpContext; }
  // The message, in cp1251.
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  AnsiString message_;
  int helpContext_;
};

#define KS_EXCEPTION(Name, Base) \
  class Name : public Base {     \
   public:                       \
    using Base::Base;            \
  }

// Silent: the application's handler swallows it without a message.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};
[[noreturn]] void Abort();

KS_EXCEPTION(EConvertError, Exception);
KS_EXCEPTION(EInvalidOperation, Exception);
KS_EXCEPTION(EInvalidPointer, Exception);
KS_EXCEPTION(EListError, Exception);
KS_EXCEPTION(EStringListError, Exception);
KS_EXCEPTION(EComponentError, Exception);
KS_EXCEPTION(EOutOfMemory, Exception);
KS_EXCEPTION(EInOutError, Exception);
KS_EXCEPTION(EMathError, Exception);
KS_EXCEPTION(EZeroDivide, EMathError);
KS_EXCEPTION(EOverflow, EMathError);
KS_EXCEPTION(EInvalidOp, EMathError);
KS_EXCEPTION(EVariantError, Exception);
KS_EXCEPTION(EVariantTypeCastError, EVariantError);
KS_EXCEPTION(EVariantOverflowError, EVariantError);
KS_EXCEPTION(EVariantInvalidOpError, EVariantError);
KS_EXCEPTION(EVariantBadIndexError, EVariantError);
KS_EXCEPTION(EVariantInvalidArgError, EVariantError);

class EOSError : public Exception {
 public:
  EOSError(const AnsiString& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
  int ErrorCode;
};
// Raises EOSError for LastOSErrorCode().
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(int errorCode);

class EAssertionFailed : public Exception {
 public:
  // Message "<msg> (<unit>, line <n>)".
  EAssertionFailed(const AnsiString& message, const AnsiString& unitName, int lineNumber);
  const AnsiString& UnitName() const { return unitName_; }
  int LineNumber() const { return lineNumber_; }

 private:
  AnsiString unitName_;
  int lineNumber_;
};

// ---- Format settings ---------------------------------------------------------

struct TFormatSettings {
  uint8_t CurrencyFormat = 3;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t NegCurrFormat = 8;   // 0..15 as the platform numbers them; 8 is "-1 $"
  char ThousandSeparator = '\xA0';
  char DecimalSeparator = ',';
  uint8_t CurrencyDecimals = 2;
  char DateSeparator = '.';
  char TimeSeparator = ':';
  char ListSeparator = ';';
  AnsiString CurrencyString = "р.";
  AnsiString ShortDateFormat = "dd.mm.yyyy";
  AnsiString LongDateFormat = "d MMMM yyyy 'г.'";
  AnsiString TimeAMString, TimePMString;
  AnsiString ShortTimeFormat = "h:mm";
  AnsiString LongTimeFormat = "h:mm:ss";
  AnsiString ShortMonthNames[12] = {"янв", "фев", "мар", "апр", "май", "июн",
                                    "июл", "авг", "сен", "окт", "ноя", "дек"};
  AnsiString LongMonthNames[12] = {"Январь", "Февраль", "Март",     "Апрель",
                                   "Май",    "Июнь",    "Июль",     "Август",
                                   "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
  // Sunday first.
  AnsiString ShortDayNames[7] = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
  AnsiString LongDayNames[7] = {"воскресенье", "понедельник", "вторник", "среда",
                                "четверг",     "пятница",     "суббота"};
  // Two-digit years fall within this many years before now and after.
  int TwoDigitYearCenturyWindow = 50;
};

// Russian defaults, overridden in the Windows build from the user's locale
// (separators and the short date format) at start-up.
extern TFormatSettings FormatSettings;

// ---- Format ----------------------------------------------------------------

// One argument of Format, like an element of the platform's `array of const`.
class TVarRec {
 public:
  enum Kind { vtInteger, vtFloat, vtCurrency, vtString, vtChar, vtPointer };
  TVarRec(int v) : kind_(vtInteger), int_(v) {}
  TVarRec(unsigned v) : kind_(vtInteger), int_(v), unsigned_(true) {}
  TVarRec(long v) : kind_(vtInteger), int_(v), wide_(sizeof v == 8) {}
  TVarRec(unsigned long v) : kind_(vtInteger), int_(v), wide_(sizeof v == 8), unsigned_(true) {}
  TVarRec(long long v) : kind_(vtInteger), int_(v), wide_(true) {}
  TVarRec(unsigned long long v)
      : kind_(vtInteger), int_(static_cast<int64_t>(v)), wide_(true), unsigned_(true) {}
  TVarRec(double v) : kind_(vtFloat), float_(v) {}
  TVarRec(Currency v) : kind_(vtCurrency), int_(v.Scaled) {}
  TVarRec(char v) : kind_(vtChar), int_(static_cast<uint8_t>(v)) {}
  TVarRec(const char* v) : kind_(vtString), str_(v ? v : "") {}
  TVarRec(const AnsiString& v) : kind_(vtString), str_(v.c_str()), len_(v.size()) {}
  TVarRec(const void* v) : kind_(vtPointer), ptr_(v) {}

  Kind kind() const { return kind_; }
  int64_t AsInt64() const { return int_; }
  bool IsWide() const { return wide_; }
  bool IsUnsigned() const { return unsigned_; }
  double AsFloat() const { return float_; }
  AnsiString AsString() const;
  const void* AsPointer() const { return ptr_; }

 private:
  Kind kind_;
  int64_t int_ = 0;
  bool wide_ = false;
  bool unsigned_ = false;
  double float_ = 0;
  const char* str_ = nullptr;
  size_t len_ = AnsiString::npos;
  const void* ptr_ = nullptr;
};

// %[index:][-][width][.precision]type with type d u x e f g n m p s; '*'
// takes width or precision from the arguments. A specifier that does not
// fit its argument raises EConvertError.
AnsiString Format(const AnsiString& format, std::initializer_list<TVarRec> args);
AnsiString Format(const AnsiString& format, std::initializer_list<TVarRec> args,
                  const TFormatSettings& settings);

// ---- Numbers -----------------------------------------------------------------

template <std::integral T>
AnsiString IntToStr(T value) {
  return std::to_string(value);
}
// Decimal, or hex after '$' or "0x"; leading blanks allowed, nothing after.
int32_t StrToInt(const AnsiString& s);
int32_t StrToIntDef(const AnsiString& s, int32_t def);
bool TryStrToInt(const AnsiString& s, int32_t& value);
int64_t StrToInt64(const AnsiString& s);
int64_t StrToInt64Def(const AnsiString& s, int64_t def);
bool TryStrToInt64(const AnsiString& s, int64_t& value);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
// Up to 18 significant digits, from extended precision (a double converts
// exactly).
AnsiString FloatToStrF(long double value, TFloatFormat format, int precision, int digits);
AnsiString FloatToStrF(long double value, TFloatFormat format, int precision, int digits,
                       const TFormatSettings& settings);
AnsiString FloatToStr(double value);
AnsiString FloatToStr(double value, const TFormatSettings& settings);
// Sections "positive;negative;zero" of 0 # . , E+ E- and quoted text.
AnsiString FormatFloat(const AnsiString& format, double value);
AnsiString FormatFloat(const AnsiString& format, double value, const TFormatSettings& settings);
// Only the settings' decimal separator is a decimal point; no thousand separators.
double StrToFloat(const AnsiString& s);
double StrToFloat(const AnsiString& s, const TFormatSettings& settings);
double StrToFloatDef(const AnsiString& s, double def);
double StrToFloatDef(const AnsiString& s, double def, const TFormatSettings& settings);
bool TryStrToFloat(const AnsiString& s, double& value);
bool TryStrToFloat(const AnsiString& s, double& value, const TFormatSettings& settings);
// In extended precision; out of its range is an error, below it zero.
long double StrToFloatL(const AnsiString& s);
long double StrToFloatL(const AnsiString& s, const TFormatSettings& settings);
bool TryStrToFloat(const AnsiString& s, long double& value);
bool TryStrToFloat(const AnsiString& s, long double& value, const TFormatSettings& settings);

AnsiString CurrToStr(Currency value);
AnsiString CurrToStr(Currency value, const TFormatSettings& settings);
// As FloatToStrF and FormatFloat write the exact amount (all its digits,
// where a double would keep 15 to 17).
AnsiString CurrToStrF(Currency value, TFloatFormat format, int digits);
AnsiString FormatCurr(const AnsiString& format, Currency value);
Currency StrToCurr(const AnsiString& s);
Currency StrToCurr(const AnsiString& s, const TFormatSettings& settings);
bool TryStrToCurr(const AnsiString& s, Currency& value, const TFormatSettings& settings);

// ---- Dates and times -----------------------------------------------------------

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError when invalid
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
// Joins a date and a time of day, also for dates before 1899-12-30.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
int DayOfWeek(TDateTime date);  // 1 = Sunday .. 7 = Saturday
TDateTime Now();
TDateTime Date();
TDateTime Time();

// d dd ddd dddd ddddd dddddd m mm mmm mmmm yy yyyy h hh n nn s ss z zzz
// t tt c am/pm a/p ampm, '/' and ':' as the separators, text in quotes.
AnsiString FormatDateTime(const AnsiString& format, TDateTime dt);
AnsiString FormatDateTime(const AnsiString& format, TDateTime dt, const TFormatSettings& settings);
void DateTimeToString(AnsiString& result, const AnsiString& format, TDateTime dt);
AnsiString DateToStr(TDateTime dt);
AnsiString TimeToStr(TDateTime dt);
AnsiString DateTimeToStr(TDateTime dt);
TDateTime StrToDate(const AnsiString& s);
TDateTime StrToDate(const AnsiString& s, const TFormatSettings& settings);
TDateTime StrToTime(const AnsiString& s);
TDateTime StrToTime(const AnsiString& s, const TFormatSettings& settings);
TDateTime StrToDateTime(const AnsiString& s);
TDateTime StrToDateTime(const AnsiString& s, const TFormatSettings& settings);
bool TryStrToDate(const AnsiString& s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToTime(const AnsiString& s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToDateTime(const AnsiString& s, TDateTime& value, const TFormatSettings& settings);

// DOS packing: bits 25-31 year-1980, 21-24 month, 16-20 day, 11-15 hour,
// 5-10 minute, 0-4 second/2. 0 for dates outside 1980..2107.
int32_t DateTimeToFileDate(TDateTime dt);
TDateTime FileDateToDateTime(int32_t fileDate);  // EConvertError when invalid
int64_t DateTimeToUnix(TDateTime dt);
TDateTime UnixToDateTime(int64_t unixTime);

// ---- Files -------------------------------------------------------------------

#ifdef _WIN32
inline constexpr char PathDelim = '\\';
#else
inline constexpr char PathDelim = '/';
#endif

bool FileExists(const AnsiString& name);
bool DirectoryExists(const AnsiString& name);
bool ForceDirectories(const AnsiString& dir);
int32_t FileAge(const AnsiString& name);  // DOS-packed local time, -1 when missing
int32_t FileGetDate(THandle handle);      // DOS-packed local time, -1 on failure
int FileSetDate(const AnsiString& name, int32_t age);  // 0 or the OS error code
bool DeleteFile(const AnsiString& name);
bool RenameFile(const AnsiString& oldName, const AnsiString& newName);
AnsiString ExtractFilePath(const AnsiString& name);  // with the trailing delimiter
AnsiString ExtractFileDir(const AnsiString& name);
AnsiString ExtractFileName(const AnsiString& name);
AnsiString ExtractFileExt(const AnsiString& name);  // with the dot
AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext);
AnsiString IncludeTrailingPathDelimiter(const AnsiString& s);
AnsiString ExcludeTrailingPathDelimiter(const AnsiString& s);
AnsiString GetEnvironmentVariable(const AnsiString& name);
