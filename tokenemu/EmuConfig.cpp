#include "tokenemu/EmuConfig.h"

#include "tokenemu/EmuText.h"

namespace {

struct TCkrInfo {
  CK_RV Code;
  const char* Name;
};

#define CKR_ENTRY(name) \
  { name, #name }
constexpr TCkrInfo kResults[] = {
    CKR_ENTRY(CKR_OK),
    CKR_ENTRY(CKR_CANCEL),
    CKR_ENTRY(CKR_HOST_MEMORY),
    CKR_ENTRY(CKR_SLOT_ID_INVALID),
    CKR_ENTRY(CKR_GENERAL_ERROR),
    CKR_ENTRY(CKR_FUNCTION_FAILED),
    CKR_ENTRY(CKR_ARGUMENTS_BAD),
    CKR_ENTRY(CKR_ATTRIBUTE_READ_ONLY),
    CKR_ENTRY(CKR_ATTRIBUTE_SENSITIVE),
    CKR_ENTRY(CKR_ATTRIBUTE_TYPE_INVALID),
    CKR_ENTRY(CKR_ATTRIBUTE_VALUE_INVALID),
    CKR_ENTRY(CKR_DATA_INVALID),
    CKR_ENTRY(CKR_DATA_LEN_RANGE),
    CKR_ENTRY(CKR_DEVICE_ERROR),
    CKR_ENTRY(CKR_DEVICE_MEMORY),
    CKR_ENTRY(CKR_DEVICE_REMOVED),
    CKR_ENTRY(CKR_FUNCTION_NOT_SUPPORTED),
    CKR_ENTRY(CKR_KEY_HANDLE_INVALID),
    CKR_ENTRY(CKR_KEY_TYPE_INCONSISTENT),
    CKR_ENTRY(CKR_MECHANISM_INVALID),
    CKR_ENTRY(CKR_MECHANISM_PARAM_INVALID),
    CKR_ENTRY(CKR_OBJECT_HANDLE_INVALID),
    CKR_ENTRY(CKR_OPERATION_ACTIVE),
    CKR_ENTRY(CKR_OPERATION_NOT_INITIALIZED),
    CKR_ENTRY(CKR_PIN_INCORRECT),
    CKR_ENTRY(CKR_PIN_INVALID),
    CKR_ENTRY(CKR_PIN_LEN_RANGE),
    CKR_ENTRY(CKR_PIN_LOCKED),
    CKR_ENTRY(CKR_SESSION_CLOSED),
    CKR_ENTRY(CKR_SESSION_COUNT),
    CKR_ENTRY(CKR_SESSION_HANDLE_INVALID),
    CKR_ENTRY(CKR_SESSION_PARALLEL_NOT_SUPPORTED),
    CKR_ENTRY(CKR_SESSION_READ_ONLY),
    CKR_ENTRY(CKR_TEMPLATE_INCOMPLETE),
    CKR_ENTRY(CKR_TEMPLATE_INCONSISTENT),
    CKR_ENTRY(CKR_TOKEN_NOT_PRESENT),
    CKR_ENTRY(CKR_TOKEN_NOT_RECOGNIZED),
    CKR_ENTRY(CKR_TOKEN_WRITE_PROTECTED),
    CKR_ENTRY(CKR_USER_ALREADY_LOGGED_IN),
    CKR_ENTRY(CKR_USER_NOT_LOGGED_IN),
    CKR_ENTRY(CKR_USER_PIN_NOT_INITIALIZED),
    CKR_ENTRY(CKR_USER_TYPE_INVALID),
    CKR_ENTRY(CKR_BUFFER_TOO_SMALL),
    CKR_ENTRY(CKR_CRYPTOKI_NOT_INITIALIZED),
    CKR_ENTRY(CKR_CRYPTOKI_ALREADY_INITIALIZED),
};
#undef CKR_ENTRY

bool ParseResult(std::string_view text, CK_RV& rv) {
  for (const TCkrInfo& info : kResults)
    if (text == info.Name) {
      rv = info.Code;
      return true;
    }
  return EmuParseNumber(text, rv);
}

// "FN:RV" or "FN#N:RV".
bool ParseFailRule(std::string_view text, TEmuFailRule& rule) {
  size_t colon = text.rfind(':');
  // A "failure" with CKR_OK would skip the work and claim success.
  if (colon == std::string_view::npos ||
      !ParseResult(EmuTrim(text.substr(colon + 1)), rule.Result) || rule.Result == CKR_OK)
    return false;
  std::string_view function = EmuTrim(text.substr(0, colon));
  size_t hash = function.find('#');
  if (hash != std::string_view::npos) {
    if (!EmuParseNumber(function.substr(hash + 1), rule.Call) || rule.Call == 0) return false;
    function = function.substr(0, hash);
  }
  if (function.substr(0, 2) != "C_") return false;
  rule.Function = std::string(function);
  return true;
}

bool ParseSetting(std::string_view key, std::string_view value, TEmuConfig& config) {
  if (key == "slots") return EmuParseNumber(value, config.SlotCount) && config.SlotCount <= 16;
  if (key == "token") return EmuParseNumber(value, config.TokenSlot);
  if (key == "mechanisms") {
    config.Mechanisms.clear();
    if (value.empty()) return true;
    for (std::string_view item : EmuSplit(value, ',')) {
      CK_MECHANISM_TYPE mechanism = 0;
      if (!EmuParseNumber(EmuTrim(item), mechanism)) return false;
      config.Mechanisms.push_back(mechanism);
    }
    return true;
  }
  if (key == "pin") {
    config.HasPin = true;
    config.Pin = std::string(value);
    return true;
  }
  if (key == "output") {
    static const std::pair<const char*, TEmuOutput> kOutputs[] = {
        {"der", TEmuOutput::Der},          {"pem-lf", TEmuOutput::PemLf},
        {"pem-crlf", TEmuOutput::PemCrLf}, {"pem-lead", TEmuOutput::PemLead},
        {"pem-not-der", TEmuOutput::PemNotDer}, {"garbage", TEmuOutput::Garbage},
        {"empty", TEmuOutput::Empty}};
    for (const auto& [name, output] : kOutputs)
      if (value == name) {
        config.Output = output;
        return true;
      }
    return false;
  }
  if (key == "fail") {
    TEmuFailRule rule;
    if (!ParseFailRule(value, rule)) return false;
    config.Failures.push_back(rule);
    return true;
  }
  return false;
}

}  // namespace

bool ParseEmuConfig(const std::string& text, TEmuConfig& config, std::string& error) {
  TEmuConfig result;
  for (std::string_view item : EmuSplit(text, ';')) {
    item = EmuTrim(item);
    if (item.empty()) continue;
    size_t equals = item.find('=');
    if (equals == std::string_view::npos ||
        !ParseSetting(EmuTrim(item.substr(0, equals)), EmuTrim(item.substr(equals + 1)), result)) {
      error = "bad setting \"" + std::string(item) + "\"";
      return false;
    }
  }
  config = std::move(result);
  return true;
}

const char* CkrName(CK_RV rv) {
  for (const TCkrInfo& info : kResults)
    if (info.Code == rv) return info.Name;
  return "";
}
