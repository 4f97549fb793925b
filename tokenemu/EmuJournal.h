// One line of the call journal (format in EmuConfig.h), built while a call
// runs and appended to the TVEMU_JOURNAL file when it ends.
#pragma once

#include <string>

#include "tokenlib/pkcs11types.h"

class TEmuCall {
 public:
  explicit TEmuCall(const char* name) : Name_(name) {}
  const char* Name() const { return Name_; }

  TEmuCall& Num(const char* name, CK_ULONG value);
  TEmuCall& Hex(const char* name, CK_ULONG value);
  TEmuCall& Ptr(const char* name, const void* value);
  TEmuCall& Template(const char* name, const CK_ATTRIBUTE* attributes, CK_ULONG count);
  TEmuCall& Strings(const char* name, const char* const* list, CK_ULONG count);
  // For calls whose arguments are not shown.
  TEmuCall& Elided();
  // Values the call hands back, shown after the result.
  TEmuCall& OutNum(const char* name, CK_ULONG value);
  TEmuCall& Note(const std::string& text);
  void MarkInjected() { Injected_ = true; }

  // Appends the line; never throws.
  void Write(CK_RV rv) noexcept;

 private:
  TEmuCall& Arg(const char* name, const std::string& value);

  const char* Name_;
  std::string Args_;
  std::string Outs_;
  bool Injected_ = false;
};
