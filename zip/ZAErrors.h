// Exceptions of the archive library: numbered archive errors with their
// message table, and the zlib failure.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <variant>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

// An argument for the "%s"/"%d" places of an error text.
struct TZAErrorArg {
  std::variant<int64_t, AnsiString> Value;
  TZAErrorArg(int32_t v) : Value(int64_t(v)) {}
  TZAErrorArg(uint32_t v) : Value(int64_t(v)) {}
  TZAErrorArg(int64_t v) : Value(v) {}
  TZAErrorArg(uint64_t v) : Value(int64_t(v)) {}
  TZAErrorArg(const AnsiString& v) : Value(v) {}
  TZAErrorArg(const char* v) : Value(AnsiString(v)) {}
};

class EZAException : public Exception {
 public:
  // The message is the table text (prefixed with the component's name when
  // it has one), " - Native error: " and the number in five digits.
  explicit EZAException(int32_t nativeError, TComponent* component = nullptr);
  EZAException(int32_t nativeError, std::initializer_list<TZAErrorArg> args,
               TComponent* component = nullptr);

  int32_t NativeError = 0;  // the number raised
  int32_t ErrorCode = 0;    // index of its text in the message table
};

// Index of an error number's text in the message table; 0 when unknown.
int32_t ZAErrorCode(int32_t nativeError);

class EZlibError : public Exception {
 public:
  using Exception::Exception;
};

class ECompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// Passes a zlib result through; a negative one raises ECompressionError.
int ZlibCheck(int result);
