// Texts of a grid print run that change per run or per page: the header and
// footer macros (page number, page count, date and time) and the substitute
// pairs that replace texts inside the rich texts around the grid.
#pragma once

#include <initializer_list>
#include <vector>

#include "rtl/SysUtils.h"

// S with Token replaced by Value, left to right; an occurrence right after
// the escape character stays as it is (escape included). Ignoring case
// compares both texts upper-cased by the cp1251 tables (StringReplace's
// flags).
AnsiString ReplaceMacro(const AnsiString& S, const AnsiString& Token, const AnsiString& Value,
                        char Escape, TReplaceFlags Flags);

// The six macros of page headers and footers.
class TPrintMacrosKs {
 public:
  // Dates and time from Moment, "&[Pages]" from PageCount.
  void ComputeMacroValues(int PageCount, TDateTime Moment);
  // Every macro replaced in Text ("&" escapes, any letter case).
  AnsiString SubstituteMacros(const AnsiString& Text, int PageNumber) const;

 private:
  AnsiString FShortDate, FLongDate, FTime, FPages = "1";
};

// Whether a header or footer text asks for the page count, which costs a
// counting pass: exact letter case only.
bool TextsUsePageCount(std::initializer_list<AnsiString> Texts);

// A text that substitutes are applied to, addressed by 0-based character
// positions (the rich edit's find and replace-selection).
class TSubstituteTargetKs {
 public:
  virtual ~TSubstituteTargetKs() = default;
  // Start of the first case-insensitive occurrence at or after From; -1 when none.
  virtual int Find(const AnsiString& Text, int From) = 0;
  // Replaces Length characters at Start, keeping the formatting there;
  // returns the text replaced.
  virtual AnsiString Replace(int Start, int Length, const AnsiString& Replacement) = 0;
};

// One replacement made in a target: Length characters at Start now stand
// where Replaced stood.
struct TSubstitutionKs {
  int Start = 0;
  int Length = 0;
  AnsiString Replaced;
};

// Search texts and their replacements, set in pairs.
class TPrintSubstitutesKs {
 public:
  // Pairs of search text and replacement; an odd count raises EInvalidOperation.
  void Set(const std::vector<AnsiString>& Pairs);
  // Every occurrence of each search text replaced in Target. The search goes
  // on after each inserted replacement, so a replacement holding its own
  // search text is not found again. Returns the replacements in the order
  // they were made.
  std::vector<TSubstitutionKs> ApplySubstitutes(TSubstituteTargetKs& Target) const;
  // Puts back in place what ApplySubstitutes replaced, the last replacement first, so
  // that the rest of the text (tables above all) is not touched.
  static void Revert(TSubstituteTargetKs& Target, const std::vector<TSubstitutionKs>& Made);
  bool Empty() const { return FSearches.empty(); }

 private:
  std::vector<AnsiString> FSearches, FReplacements;
};
