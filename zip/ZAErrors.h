// Exceptions of the archive library: numbered archive errors with their
// message table, and the zlib failure.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

class EZAException : public Exception {
 public:
  // The message is the table text (prefixed with the component's name when
  // it has one), " - Native error: " and the number in five digits.
  explicit EZAException(int32_t nativeError, TComponent* component = nullptr);
  // The table text is formatted with args first.
  EZAException(int32_t nativeError, std::initializer_list<TVarRec> args,
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
