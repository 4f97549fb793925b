#include "COMPONENTS/kslib/PrnDbgksMacros.h"

AnsiString ReplaceMacro(const AnsiString& S, const AnsiString& Token, const AnsiString& Value,
                        char Escape, TReplaceFlags Flags) {
  if (Token.empty()) return S;
  const bool IgnoreCase = Flags & rfIgnoreCase;
  // cp1251 upper-casing keeps lengths, so positions match the original.
  const AnsiString Haystack = IgnoreCase ? AnsiUpperCase(S) : S;
  const AnsiString Needle = IgnoreCase ? AnsiUpperCase(Token) : Token;
  AnsiString Result;
  size_t From = 0;
  for (size_t At = Haystack.find(Needle); At != AnsiString::npos;
       At = Haystack.find(Needle, From)) {
    const bool Escaped = At > 0 && S[At - 1] == Escape;
    Result.append(S, From, At - From);
    Result += Escaped ? S.substr(At, Token.size()) : Value;
    From = At + Token.size();
    if (!(Flags & rfReplaceAll)) break;
  }
  Result.append(S, From, AnsiString::npos);
  return Result;
}

void TPrintMacrosKs::ComputeMacroValues(int PageCount, TDateTime Moment) {
  FShortDate = FormatDateTime(FormatSettings.ShortDateFormat, Moment);
  FLongDate = FormatDateTime(FormatSettings.LongDateFormat, Moment);
  FTime = FormatDateTime(FormatSettings.LongTimeFormat, Moment);
  FPages = IntToStr(PageCount);
}

AnsiString TPrintMacrosKs::SubstituteMacros(const AnsiString& Text, int PageNumber) const {
  const std::pair<const char*, AnsiString> Macros[] = {
      {"&[Page]", IntToStr(PageNumber)}, {"&[ShortDate]", FShortDate}, {"&[Date]", FShortDate},
      {"&[LongDate]", FLongDate},        {"&[Time]", FTime},           {"&[Pages]", FPages}};
  AnsiString Result = Text;
  for (const auto& [Token, Value] : Macros)
    Result = ReplaceMacro(Result, Token, Value, '&', rfReplaceAll | rfIgnoreCase);
  return Result;
}

bool TextsUsePageCount(std::initializer_list<AnsiString> Texts) {
  for (const AnsiString& Text : Texts)
    if (Text.find("&[Pages]") != AnsiString::npos) return true;
  return false;
}

void TPrintSubstitutesKs::Set(const std::vector<AnsiString>& Pairs) {
  if (Pairs.size() % 2 != 0)
    throw EInvalidOperation("Подстановки задаются парами: у последнего текста нет замены");
  FSearches.clear();
  FReplacements.clear();
  for (size_t I = 0; I < Pairs.size(); I += 2) {
    FSearches.push_back(Pairs[I]);
    FReplacements.push_back(Pairs[I + 1]);
  }
}

std::vector<TSubstitutionKs> TPrintSubstitutesKs::ApplySubstitutes(
    TSubstituteTargetKs& Target) const {
  std::vector<TSubstitutionKs> Made;
  for (size_t I = 0; I < FSearches.size(); ++I) {
    const AnsiString& Search = FSearches[I];
    if (Search.empty()) continue;  // found everywhere: nothing to replace
    const int Length = static_cast<int>(Search.size());
    const int NewLength = static_cast<int>(FReplacements[I].size());
    for (int At = Target.Find(Search, 0); At >= 0; At = Target.Find(Search, At + NewLength))
      Made.push_back({At, NewLength, Target.Replace(At, Length, FReplacements[I])});
  }
  return Made;
}

void TPrintSubstitutesKs::Revert(TSubstituteTargetKs& Target,
                                 const std::vector<TSubstitutionKs>& Made) {
  for (auto It = Made.rbegin(); It != Made.rend(); ++It)
    Target.Replace(It->Start, It->Length, It->Replaced);
}
