#include "tokenemu/EmuJournal.h"

#include <cstdio>
#include <cstring>

#include "tokenemu/EmuConfig.h"
#include "tokenemu/EmuOs.h"
#include "tokenemu/EmuState.h"

namespace {

// Long lists are cut short in the journal; the call still gets all of them.
constexpr CK_ULONG kMaxListed = 256;
constexpr CK_ULONG kMaxShownBytes = 64;

std::string HexNumber(CK_ULONG value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%lX", value);
  return text;
}

std::string AttributeValue(const CK_ATTRIBUTE& attribute) {
  if (!attribute.pValue) return attribute.ulValueLen ? "NULL" : "\"\"";
  const auto* bytes = static_cast<const uint8_t*>(attribute.pValue);
  CK_ULONG size = attribute.ulValueLen;
  switch (EmuAttrKind(attribute.type)) {
    case TEmuAttrKind::Number:
      if (size == sizeof(CK_ULONG)) {
        CK_ULONG number = 0;
        std::memcpy(&number, bytes, sizeof number);
        return HexNumber(number);
      }
      break;
    case TEmuAttrKind::Flag:
      if (size == 1 && bytes[0] <= 1) return bytes[0] ? "1" : "0";
      break;
    case TEmuAttrKind::Bytes:
      break;
  }
  if (size > kMaxShownBytes) return "<" + std::to_string(size) + " bytes>";
  bool printable = true;
  for (CK_ULONG i = 0; i < size; ++i)
    if (bytes[i] < 0x20 || bytes[i] > 0x7E || bytes[i] == '"') printable = false;
  if (printable) return "\"" + std::string(bytes, bytes + size) + "\"";
  return EmuToHex(bytes, size);
}

}  // namespace

TEmuCall& TEmuCall::Arg(const char* name, const std::string& value) {
  if (!Args_.empty()) Args_ += ", ";
  Args_ += name;
  Args_ += '=';
  Args_ += value;
  return *this;
}

TEmuCall& TEmuCall::Num(const char* name, CK_ULONG value) {
  return Arg(name, std::to_string(value));
}

TEmuCall& TEmuCall::Hex(const char* name, CK_ULONG value) { return Arg(name, HexNumber(value)); }

TEmuCall& TEmuCall::Ptr(const char* name, const void* value) {
  return Arg(name, value ? "ptr" : "NULL");
}

TEmuCall& TEmuCall::Template(const char* name, const CK_ATTRIBUTE* attributes, CK_ULONG count) {
  if (!attributes) return Arg(name, "NULL");
  std::string text = "[";
  for (CK_ULONG i = 0; i < count && i < kMaxListed; ++i) {
    if (i) text += ", ";
    const char* attrName = EmuAttrName(attributes[i].type);
    text += *attrName ? attrName : HexNumber(attributes[i].type);
    text += '=';
    text += AttributeValue(attributes[i]);
  }
  return Arg(name, text + "]");
}

TEmuCall& TEmuCall::Strings(const char* name, const char* const* list, CK_ULONG count) {
  if (!list) return Arg(name, "NULL");
  std::string text = "[";
  for (CK_ULONG i = 0; i < count && i < kMaxListed; ++i) {
    if (i) text += ", ";
    text += list[i] ? "\"" + std::string(list[i]) + "\"" : "NULL";
  }
  return Arg(name, text + "]");
}

TEmuCall& TEmuCall::Elided() {
  Args_ = "...";
  return *this;
}

TEmuCall& TEmuCall::OutNum(const char* name, CK_ULONG value) {
  Outs_ += ' ';
  Outs_ += name;
  Outs_ += '=';
  Outs_ += std::to_string(value);
  return *this;
}

TEmuCall& TEmuCall::Note(const std::string& text) {
  Outs_ += ' ';
  Outs_ += text;
  return *this;
}

void TEmuCall::Write(CK_RV rv) noexcept {
  try {
    std::string path = EmuGetEnv("TVEMU_JOURNAL");
    if (path.empty()) return;
    const char* result = CkrName(rv);
    std::string line = std::string(Name_) + "(" + Args_ + ") -> ";
    if (*result) {
      line += result;
    } else {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08lX", rv);
      line += code;
    }
    line += Outs_;
    if (Injected_) line += " injected";
    line += '\n';
    if (std::FILE* file = std::fopen(path.c_str(), "ab")) {
      std::fwrite(line.data(), 1, line.size(), file);
      std::fclose(file);
    }
  } catch (...) {
    // A journal line lost to a memory shortage does not change the call.
  }
}
