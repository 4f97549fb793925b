// Header and footer macros and the substitute pairs of a print run.
#include "COMPONENTS/kslib/PrnDbgksMacros.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplaceMacroTest, EscapesCaseAndCount) {
  struct Case {
    const char* Text;
    TReplaceFlags Flags;
    const char* Expected;
  } Cases[] = {
      {"Стр. &[Page] из &[Pages]", rfReplaceAll | rfIgnoreCase, "Стр. 7 из &[Pages]"},
      {"&&[Page] и &[Page]", rfReplaceAll | rfIgnoreCase, "&&[Page] и 7"},
      {"&[page]-&[PAGE]", rfReplaceAll | rfIgnoreCase, "7-7"},
      {"&[page]-&[Page]", rfReplaceAll, "&[page]-7"},
      {"&[Page]&[Page]", rfIgnoreCase, "7&[Page]"},
      {"без макросов", rfReplaceAll | rfIgnoreCase, "без макросов"},
      {"", rfReplaceAll, ""},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(ReplaceMacro(C.Text, "&[Page]", "7", '&', C.Flags), C.Expected) << C.Text;
}

TEST(ReplaceMacroTest, IgnoresCaseOfCyrillicTokens) {
  EXPECT_EQ(ReplaceMacro("[отдел] и [ОТДЕЛ]", "[Отдел]", "Ёж", '&', rfReplaceAll | rfIgnoreCase),
            "Ёж и Ёж");
}

TEST(PrintMacrosTest, SubstitutesEveryMacroOfTheRun) {
  TPrintMacrosKs Macros;
  const TDateTime Moment = EncodeDate(2026, 12, 10) + EncodeTime(9, 5, 7, 0);
  Macros.ComputeMacroValues(12, Moment);
  EXPECT_EQ(Macros.SubstituteMacros("&[Page]/&[Pages] &[ShortDate] &[Date] &[Time]", 3),
            "3/12 10.12.2026 10.12.2026 9:05:07");
  EXPECT_EQ(Macros.SubstituteMacros("&[LongDate]", 1),
            FormatDateTime(FormatSettings.LongDateFormat, Moment));
  EXPECT_EQ(Macros.SubstituteMacros("&&[Pages] &[pages]", 1), "&&[Pages] 12");
}

TEST(PrintMacrosTest, PageCountDefaultsToOneBeforeCounting) {
  TPrintMacrosKs Macros;
  EXPECT_EQ(Macros.SubstituteMacros("&[PAGES]", 1), "1");
}

TEST(PrintMacrosTest, OnlyTheExactPageCountTokenAsksForCounting) {
  EXPECT_TRUE(TextsUsePageCount({"", "Стр. &[Page]", "из &[Pages]"}));
  EXPECT_FALSE(TextsUsePageCount({"&[PAGES]", "&[pages]", "&[Page]"}));
  EXPECT_FALSE(TextsUsePageCount({}));
}

// A plain text standing in for the rich edit: case-insensitive find.
class TTextTarget : public TSubstituteTargetKs {
 public:
  explicit TTextTarget(AnsiString Text) : Text(std::move(Text)) {}
  int Find(const AnsiString& What, int From) override {
    ++Finds;
    const size_t At = AnsiUpperCase(Text).find(AnsiUpperCase(What), From);
    return At == AnsiString::npos ? -1 : static_cast<int>(At);
  }
  AnsiString Replace(int Start, int Length, const AnsiString& Replacement) override {
    const AnsiString Replaced = Text.substr(Start, Length);
    Text.replace(Start, Length, Replacement);
    return Replaced;
  }
  AnsiString Text;
  int Finds = 0;
};

TEST(PrintSubstitutesTest, ReplacesEveryOccurrenceOfEachPairInOrder) {
  TPrintSubstitutesKs Substitutes;
  Substitutes.Set({"[Отдел]", "Бухгалтерия", "бухгалтерия", "Касса"});
  TTextTarget Target("Отчёт: [отдел]. Итого по [ОТДЕЛ]");
  Substitutes.ApplySubstitutes(Target);
  EXPECT_EQ(Target.Text, "Отчёт: Касса. Итого по Касса");
}

TEST(PrintSubstitutesTest, AReplacementHoldingItsSearchTextEnds) {
  TPrintSubstitutesKs Substitutes;
  Substitutes.Set({"ab", "xABx", "", "never"});
  TTextTarget Target("ab-ab-AB");
  Substitutes.ApplySubstitutes(Target);
  EXPECT_EQ(Target.Text, "xABx-xABx-xABx");
  EXPECT_EQ(Target.Finds, 4);
}

// What a run replaced goes back in place as it was found, letter case
// included, also where a later pair replaced inside an earlier one's
// replacement.
TEST(PrintSubstitutesTest, RevertPutsBackExactlyWhatWasReplaced) {
  const struct {
    std::vector<AnsiString> Pairs;
    AnsiString Text, Substituted;
  } Cases[] = {
      {{"[Отдел]", "Бухгалтерия"}, "Отчёт: [отдел]. Итого по [ОТДЕЛ]",
       "Отчёт: Бухгалтерия. Итого по Бухгалтерия"},
      {{"ab", "xABx"}, "ab-ab-AB", "xABx-xABx-xABx"},
      {{"a", "bb", "b", "c"}, "ab", "ccc"},
      {{"долгий текст", "", "x", "yyy"}, "x Долгий текст x", "yyy  yyy"},
      {{"нет", "да"}, "ничего", "ничего"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    TPrintSubstitutesKs Substitutes;
    Substitutes.Set(Case.Pairs);
    TTextTarget Target(Case.Text);
    const std::vector<TSubstitutionKs> Made = Substitutes.ApplySubstitutes(Target);
    EXPECT_EQ(Target.Text, Case.Substituted);
    TPrintSubstitutesKs::Revert(Target, Made);
    EXPECT_EQ(Target.Text, Case.Text);
  }
}

TEST(PrintSubstitutesTest, PairsReplaceTheFormerListAndAnOddCountIsRefused) {
  TPrintSubstitutesKs Substitutes;
  Substitutes.Set({"a", "b"});
  EXPECT_THROW(Substitutes.Set({"a", "b", "c"}), EInvalidOperation);
  Substitutes.Set({});
  EXPECT_TRUE(Substitutes.Empty());
  TTextTarget Target("a");
  Substitutes.ApplySubstitutes(Target);
  EXPECT_EQ(Target.Text, "a");
}

}  // namespace
