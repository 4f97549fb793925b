#include "tokenemu/EmuState.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

#include "tokenemu/EmuOs.h"

namespace {

struct TAttrInfo {
  CK_ATTRIBUTE_TYPE Type;
  const char* Name;
  TEmuAttrKind Kind;
};

constexpr TAttrInfo kAttributes[] = {
    {CKA_CLASS, "CKA_CLASS", TEmuAttrKind::Number},
    {CKA_TOKEN, "CKA_TOKEN", TEmuAttrKind::Flag},
    {CKA_PRIVATE, "CKA_PRIVATE", TEmuAttrKind::Flag},
    {CKA_LABEL, "CKA_LABEL", TEmuAttrKind::Bytes},
    {CKA_VALUE, "CKA_VALUE", TEmuAttrKind::Bytes},
    {CKA_CERTIFICATE_TYPE, "CKA_CERTIFICATE_TYPE", TEmuAttrKind::Number},
    {CKA_CERTIFICATE_CATEGORY, "CKA_CERTIFICATE_CATEGORY", TEmuAttrKind::Number},
    {CKA_KEY_TYPE, "CKA_KEY_TYPE", TEmuAttrKind::Number},
    {CKA_SUBJECT, "CKA_SUBJECT", TEmuAttrKind::Bytes},
    {CKA_ID, "CKA_ID", TEmuAttrKind::Bytes},
    {CKA_SENSITIVE, "CKA_SENSITIVE", TEmuAttrKind::Flag},
    {CKA_SIGN, "CKA_SIGN", TEmuAttrKind::Flag},
    {CKA_VERIFY, "CKA_VERIFY", TEmuAttrKind::Flag},
    {CKA_DERIVE, "CKA_DERIVE", TEmuAttrKind::Flag},
    {CKA_EXTRACTABLE, "CKA_EXTRACTABLE", TEmuAttrKind::Flag},
    {CKA_LOCAL, "CKA_LOCAL", TEmuAttrKind::Flag},
    {CKA_KEY_GEN_MECHANISM, "CKA_KEY_GEN_MECHANISM", TEmuAttrKind::Number},
    {CKA_MODIFIABLE, "CKA_MODIFIABLE", TEmuAttrKind::Flag},
    {CKA_GOSTR3410_PARAMS, "CKA_GOSTR3410_PARAMS", TEmuAttrKind::Bytes},
    {CKA_GOSTR3411_PARAMS, "CKA_GOSTR3411_PARAMS", TEmuAttrKind::Bytes},
};

const TAttrInfo* FindAttr(CK_ATTRIBUTE_TYPE type) {
  for (const TAttrInfo& info : kAttributes)
    if (info.Type == type) return &info;
  return nullptr;
}

TEmuBytes NumberBytes(CK_ULONG value) {
  TEmuBytes bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

bool ParseAttribute(std::string_view line, TEmuObject& object) {
  std::vector<std::string_view> parts = EmuSplit(line, ' ');
  CK_ULONG type = 0;
  if (parts.size() != 3 || parts[1].size() != 1 || !EmuParseNumber(parts[0], type)) return false;
  if (object.Attributes.count(type)) return false;
  TEmuAttrKind kind = EmuAttrKind(type);
  TEmuBytes value;
  CK_ULONG number = 0;
  switch (parts[1][0]) {
    case 'u':
      if (kind != TEmuAttrKind::Number || !EmuParseNumber(parts[2], number)) return false;
      value = NumberBytes(number);
      break;
    case 'b':
      if (kind != TEmuAttrKind::Flag || (parts[2] != "0" && parts[2] != "1")) return false;
      value.push_back(parts[2] == "1" ? CK_TRUE : CK_FALSE);
      break;
    case 'x':
      if (kind != TEmuAttrKind::Bytes) return false;
      if (parts[2] != "-" && (parts[2].empty() || !EmuFromHex(parts[2], value))) return false;
      break;
    default:
      return false;
  }
  object.Attributes[type] = std::move(value);
  return true;
}

}  // namespace

TEmuAttrKind EmuAttrKind(CK_ATTRIBUTE_TYPE type) {
  const TAttrInfo* info = FindAttr(type);
  return info ? info->Kind : TEmuAttrKind::Bytes;
}

const char* EmuAttrName(CK_ATTRIBUTE_TYPE type) {
  const TAttrInfo* info = FindAttr(type);
  return info ? info->Name : "";
}

const TEmuBytes* TEmuObject::Find(CK_ATTRIBUTE_TYPE type) const {
  auto it = Attributes.find(type);
  return it == Attributes.end() ? nullptr : &it->second;
}

bool TEmuObject::Number(CK_ATTRIBUTE_TYPE type, CK_ULONG& value) const {
  const TEmuBytes* bytes = Find(type);
  if (!bytes || bytes->size() != sizeof value) return false;
  std::memcpy(&value, bytes->data(), sizeof value);
  return true;
}

bool TEmuObject::Flag(CK_ATTRIBUTE_TYPE type) const {
  const TEmuBytes* bytes = Find(type);
  return bytes && bytes->size() == 1 && (*bytes)[0] != CK_FALSE;
}

void TEmuObject::SetNumber(CK_ATTRIBUTE_TYPE type, CK_ULONG value) {
  Attributes[type] = NumberBytes(value);
}

void TEmuObject::SetFlag(CK_ATTRIBUTE_TYPE type, bool value) {
  Attributes[type] = TEmuBytes{value ? CK_TRUE : CK_FALSE};
}

CK_OBJECT_HANDLE TEmuToken::AddObject(TEmuObject object) {
  object.Handle = NextHandle++;
  Objects.push_back(std::move(object));
  return Objects.back().Handle;
}

const TEmuObject* TEmuToken::FindObject(CK_OBJECT_HANDLE handle) const {
  for (const TEmuObject& object : Objects)
    if (object.Handle == handle) return &object;
  return nullptr;
}

std::string EmuStatePath() {
  std::string path = EmuGetEnv("TVEMU_STATE");
  return path.empty() ? EmuModuleDir() + "tvPKCS11.token" : path;
}

std::string EmuTokenText(const TEmuToken& token) {
  std::ostringstream out;
  out << "tvemu-token 1\npin "
      << EmuToHex(reinterpret_cast<const uint8_t*>(token.Pin.data()), token.Pin.size()) << "\nnext "
      << token.NextHandle << "\n";
  for (const TEmuObject& object : token.Objects) {
    out << "object " << object.Handle << "\n";
    for (const auto& [type, value] : object.Attributes) {
      out << "0x" << std::hex << type << std::dec;
      CK_ULONG number = 0;
      switch (EmuAttrKind(type)) {
        case TEmuAttrKind::Number:
          object.Number(type, number);
          out << " u " << number;
          break;
        case TEmuAttrKind::Flag:
          out << " b " << (object.Flag(type) ? 1 : 0);
          break;
        case TEmuAttrKind::Bytes:
          out << " x " << (value.empty() ? "-" : EmuToHex(value));
          break;
      }
      out << "\n";
    }
  }
  out << "end\n";
  return out.str();
}

bool ParseEmuToken(const std::string& text, TEmuToken& token) {
  std::vector<std::string_view> lines = EmuSplit(text, '\n');
  // The text ends with "end\n": the last part after the split is empty.
  if (lines.size() < 5 || !lines.back().empty() || lines[lines.size() - 2] != "end") return false;
  lines.resize(lines.size() - 2);
  if (lines[0] != "tvemu-token 1") return false;

  TEmuToken result;
  TEmuBytes pin;
  if (lines[1].substr(0, 4) != "pin " || !EmuFromHex(lines[1].substr(4), pin) || pin.empty())
    return false;
  result.Pin.assign(pin.begin(), pin.end());
  if (lines[2].substr(0, 5) != "next " || !EmuParseNumber(lines[2].substr(5), result.NextHandle))
    return false;

  std::set<CK_OBJECT_HANDLE> handles;
  for (size_t i = 3; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.substr(0, 7) == "object ") {
      CK_ULONG handle = 0;
      if (!EmuParseNumber(line.substr(7), handle) || handle == CK_INVALID_HANDLE ||
          handle >= result.NextHandle || !handles.insert(handle).second)
        return false;
      result.Objects.emplace_back();
      result.Objects.back().Handle = handle;
    } else if (result.Objects.empty() || !ParseAttribute(line, result.Objects.back())) {
      return false;
    }
  }
  token = std::move(result);
  return true;
}

TEmuLoadResult LoadEmuToken(const std::string& path, TEmuToken& token) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    // Only a file that is not there gives a fresh token; one we cannot read
    // must not be overwritten by it.
    if (errno != ENOENT) return TEmuLoadResult::Corrupt;
    token = TEmuToken();
    return TEmuLoadResult::Missing;
  }
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  bool readOk = !std::ferror(file);
  std::fclose(file);
  return readOk && ParseEmuToken(text, token) ? TEmuLoadResult::Loaded : TEmuLoadResult::Corrupt;
}

bool SaveEmuToken(const std::string& path, const TEmuToken& token) {
  return EmuWriteFileAtomic(path, EmuTokenText(token));
}
