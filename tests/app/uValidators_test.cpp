#include "app/uValidators.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* text;
  bool valid;
};

void ExpectAll(bool (*check)(const AnsiString&), std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(check(c.text), c.valid) << '"' << c.text << '"';
}

TEST(Validators, INNChecksBothLengthsAndTheirCheckDigits) {
  ExpectAll(IsValidINN, {
                            {"7707083893", true},
                            {"7707083890", false},
                            {"7707083830", true},  // weighted sum mod 11 is 10: check digit 0
                            {"500100732185", true},
                            {"500100732175", false},  // first check digit wrong
                            {"500100732186", false},  // second check digit wrong
                            {"77070838931", false},
                            {"770708389", false},
                            {"770708389A", false},
                            {"77070 3893", false},
                            {"5001007321 5", false},
                            {"", false},
                        });
}

TEST(Validators, OGRNAndOGRNIPCheckTheRemainderOfTheLeadingNumber) {
  ExpectAll(IsValidOGRN, {
                             {"1027700132195", true},
                             {"1027700132196", false},
                             {"1027700132240", true},  // remainder 10 counts as 0
                             {"102770013219 ", false},
                             {"1027700 32195", false},
                             {"102770013219", false},
                             {"10277001321950", false},
                         });
  ExpectAll(IsValidOGRNIP, {
                               {"304500116100020", true},
                               {"304500116100021", false},
                               {"304500116100031", true},  // remainder 11 counts as 1
                               {"30450011610002", false},
                               {"3045001161000200", false},
                               {"30450011610002O", false},
                           });
}

TEST(Validators, SNILSInPlainAndPrintedForm) {
  ExpectAll(IsValidSNILS, {
                              {"11223344595", true},
                              {"112-233-445 95", true},
                              {"112 233 445-95", true},  // separators are not examined
                              {"11223344596", false},
                              {"00000000000", true},
                              {"10001989900", true},  // weighted sum 101
                              {"10001899900", true},  // weighted sum 100
                              {"1122334459", false},
                              {"112233445950", false},
                              {"112-233-445-9", false},
                              {"", false},
                          });
}

TEST(Validators, SNILSDigitPlacesHoldOnlyDigits) {
  // Each of these matches its check number when a character counts as its
  // code minus 48, so only the digit test keeps them out.
  ExpectAll(IsValidSNILS, {
                              {".0000000064", false},
                              {"A0000000052", false},
                              {"112-233-4.5 90", false},
                              {"000000000 0", false},
                              {"000-000-000 0A", false},
                          });
}

TEST(Validators, Email) {
  ExpectAll(IsValidEmail, {
                              {"a@b", true},
                              {"a@@b", true},
                              {"ivan.petrov-1@mail.example.ru", true},
                              {"@ab", false},
                              {"ab@", false},
                              {"ab", false},
                              {"", false},
                              {"ivan petrov@mail.ru", false},
                              {"иван@mail.ru", false},
                              {"ivan@mail.я", false},
                              {"a\a@b", false},
                              {"a@b\n", false},
                              {"a\r@b", false},
                              // No byte beyond ASCII, below the letters too.
                              {"Ёлка@mail.ru", false},
                              {"ёж@mail.ru", false},
                              {"a№1@mail.ru", false},
                              {"a@mail.ru\x80", false},
                              {"a\xA0@b", false},
                              {"a\xBF@b", false},
                          });
}

TEST(Validators, FixedLengthDigitNumbers) {
  ExpectAll(IsValidKPP, {
                            {"773601001", true},
                            {"77360100", false},
                            {"7736010011", false},
                            {"77360100A", false},
                            {" 77360100", false},
                        });
  ExpectAll(IsValidFSSRegNum, {
                                  {"7701234567", true},
                                  {"770123456", false},
                                  {"77012345678", false},
                                  {"770123456-", false},
                              });
  ExpectAll(IsValidPFRRegNum, {
                                  {"024-031-100759", true},
                                  {"024031100759", false},
                                  {"024-031-10075", false},
                                  {"024-031-1007590", false},
                                  {"024 031 100759", false},
                                  {"02A-031-100759", false},
                                  {"024-031-10075X", false},
                                  {"0240-31-100759", false},
                              });
}

TEST(Validators, FormatPFRRegNumPutsDashesIntoTwelveBareDigits) {
  const struct {
    const char* text;
    const char* formatted;
  } cases[] = {
      {"024031100759", "024-031-100759"},   {" \t024031100759\r\n", "024-031-100759"},
      {"024-031-100759", "024-031-100759"}, {"02403110075", "02403110075"},
      {"024-31100759", "024-31100759"},     {"  ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatPFRRegNum(c.text), c.formatted) << c.text;
}

}  // namespace
