// The texts the request road sends: sanitising, the subject list of both
// owner types, PEM answers, the file name.
#include "app/uRequisites.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/uBase64.h"
#include "rtl/SysUtils.h"

namespace {

TEST(SanitizeText, ForbiddenCharactersBecomeSingleBlanks) {
  struct Case {
    AnsiString In, Out;
  } Cases[] = {
      {"77 г. Москва!", "77 г. Москва"},
      {"Миасс  <центр>", "Миасс центр"},
      {"  ООО \"Ромашка\" (филиал №2)  ", "ООО \"Ромашка\" (филиал №2)"},
      {"Ёлки-ёжики; a_b@c.ru, 1/2+3:4", "Ёлки-ёжики; a_b@c.ru, 1/2+3:4"},
      {"a!#$%&*<=>?[\\]^`{|}~b", "a b"},
      {"tab\there\r\nline", "tab here line"},
      // Bytes above 0x7E outside the letters: the euro sign, the guillemets.
      {"\x88 100 \xAB\xBB", "100"},
      {"", ""},
      {"!!!", ""},
  };
  for (const Case& C : Cases) EXPECT_EQ(SanitizeText(C.In), C.Out) << C.In;
}

TEST(TooLongMessage, NamesTheFieldAndTheExcess) {
  EXPECT_EQ(TooLongMessage("Должность", 205),
            "Длина поля Должность превосходит ограничение в  200 Пожалуйста сократите на 5 "
            "символов!");
}

TEST(OwnerInn, TheLegalEntitysPaddedInnLosesItsZeros) {
  EXPECT_EQ(OwnerInn("007707083893", otLegalEntity), "7707083893");
  EXPECT_EQ(OwnerInn("007707083893", otEntrepreneur), "007707083893");
  EXPECT_EQ(OwnerInn("500100732185", otLegalEntity), "500100732185");
  EXPECT_EQ(OwnerInn("00770708389", otLegalEntity), "00770708389");
}

TRequisites LegalEntity() {
  TRequisites R;
  R.OwnerType = otLegalEntity;
  R.SN = "Жуков ";
  R.GN1 = "Иван";
  R.GN2 = "Петрович";
  R.SNILS = "11223344595";
  R.EMAIL = "buh@romashka.ru";
  R.Category = "Директор";
  R.ST = "77 г. Москва";
  R.L = "Москва";
  R.Street = " ул. Тверская, 1";
  R.O = "ООО Ромашка";
  R.OU = "Бухгалтерия";
  R.OGRN = "1027700132195";
  R.INN = "007707083893";
  return R;
}

AnsiString Utf8(const AnsiString& Ansi) {
  AnsiString Result;
  for (char16_t C : AnsiToWide(Ansi)) {
    if (C < 0x80) {
      Result += static_cast<char>(C);
    } else {
      Result += static_cast<char>(0xC0 | C >> 6);
      Result += static_cast<char>(0x80 | (C & 0x3F));
    }
  }
  return Result;
}

TEST(RequestSubject, LegalEntityInOrderAndInUtf8) {
  std::vector<AnsiString> Expected = {
      "CN", "ООО Ромашка", "C", "RU", "2.5.4.10", "ООО Ромашка", "2.5.4.8", "77 г. Москва",
      "2.5.4.7", "Москва", "2.5.4.11", "Бухгалтерия", "2.5.4.12", "Директор",
      "1.2.840.113549.1.9.1", "buh@romashka.ru", "1.2.643.3.131.1.1", "007707083893",
      "1.2.643.100.1", "1027700132195", "1.2.643.100.3", "11223344595",
      // The street goes as typed.
      "2.5.4.9", " ул. Тверская, 1", "2.5.4.4", "Жуков", "2.5.4.42", "Иван Петрович"};
  for (AnsiString& S : Expected) S = Utf8(S);
  EXPECT_EQ(RequestSubject(LegalEntity()), Expected);
  // Ж as UTF-8.
  EXPECT_EQ(RequestSubject(LegalEntity())[25].substr(0, 2), "\xD0\x96");
}

TEST(RequestSubject, EntrepreneurWithoutOptionalFields) {
  TRequisites R = LegalEntity();
  R.OwnerType = otEntrepreneur;
  R.O = "ИП Жуков Иван Петрович";
  R.SN = "Жуков";
  R.GN2 = "";
  R.OU = R.Category = R.EMAIL = R.SNILS = "";
  R.Street = "  ";
  R.OGRN = "304500116100020";
  R.INN = "500100732185";
  std::vector<AnsiString> Expected = {"CN",           "Жуков Иван",    "C",
                                      "RU",           "2.5.4.8",       "77 г. Москва",
                                      "2.5.4.7",      "Москва",        "1.2.643.3.131.1.1",
                                      "500100732185", "1.2.643.100.5", "304500116100020",
                                      "2.5.4.4",      "Жуков",         "2.5.4.42",
                                      "Иван"};
  for (AnsiString& S : Expected) S = Utf8(S);
  EXPECT_EQ(RequestSubject(R), Expected);

  R.OGRN = "";
  R.INN = "7707083893";
  std::vector<AnsiString> Subject = RequestSubject(R);
  EXPECT_EQ(Subject.size(), Expected.size() - 2) << "no OGRNIP pair for an empty field";
  EXPECT_EQ(Subject[9], "007707083893") << "the INN goes as 12 digits";
}

TEST(RequestKeyUsages, TheLastArcIsTheValidityInMonths) {
  EXPECT_EQ(RequestKeyUsages(12),
            "1.3.6.1.5.5.7.3.4,1.3.6.1.5.5.7.3.2,1.2.643.2.2.34.6,1.2.643.5.1.28.2,"
            "1.2.643.5.1.28.3,1.2.643.5.1.28.4,1.2.643.3.6.78.4.5,1.2.643.3.6.0.12");
  EXPECT_TRUE(RequestKeyUsages(3).ends_with(",1.2.643.3.6.0.3"));
}

// A request-shaped DER element of the given content length.
AnsiString Der(size_t ContentLength) {
  AnsiString Content(ContentLength, 'x');
  if (ContentLength < 128)
    return AnsiString("\x30", 1) + static_cast<char>(ContentLength) + Content;
  return AnsiString("\x30\x82", 2) + static_cast<char>(ContentLength >> 8) +
         static_cast<char>(ContentLength & 0xFF) + Content;
}

AnsiString Pem(const AnsiString& Bytes, const AnsiString& Eol) {
  AnsiString Body = EncodeBase64(Bytes), Text = "-----BEGIN CERTIFICATE REQUEST-----" + Eol;
  for (size_t I = 0; I < Body.size(); I += 64) Text += Body.substr(I, 64) + Eol;
  return Text + "-----END CERTIFICATE REQUEST-----" + Eol;
}

TEST(RequestToDer, PemAnswersOfEitherLineEndAreDecoded) {
  for (size_t Length : {5u, 300u})
    for (const char* Eol : {"\n", "\r\n"}) {
      AnsiString Bytes = Der(Length);
      EXPECT_EQ(RequestToDer(Pem(Bytes, Eol)), Bytes) << Length << " " << strlen(Eol);
    }
  // Another armour name, as some tokens write it.
  AnsiString Bytes = Der(40);
  AnsiString Text = "-----BEGIN NEW CERTIFICATE REQUEST-----\n" + EncodeBase64(Bytes) +
                    "\n-----END NEW CERTIFICATE REQUEST-----\n";
  EXPECT_EQ(RequestToDer(Text), Bytes);
}

TEST(RequestToDer, DerIsTakenAsItIsEvenWithTheWordInside) {
  AnsiString Bytes = Der(60);
  Bytes.replace(10, 11, "CERTIFICATE");
  EXPECT_EQ(RequestToDer(Bytes), Bytes);
  Bytes.replace(20, 35, "-----BEGIN CERTIFICATE REQUEST-----");
  EXPECT_EQ(RequestToDer(Bytes), Bytes);
}

TEST(RequestToDer, AnswersAreReadOnlyWhenTheyHoldOneWholeRequest) {
  const AnsiString Bytes = Der(300);
  const struct {
    const char* Name;
    AnsiString Answer;
    bool Read;
  } Cases[] = {
      {"DER", Bytes, true},
      {"PEM", Pem(Bytes, "\r\n"), true},
      {"PEM after a blank", " " + Pem(Bytes, "\n"), true},
      {"PEM after line breaks and tabs", "\r\n\t\n" + Pem(Bytes, "\r\n"), true},
      {"PEM after a byte-order mark", "\xEF\xBB\xBF" + Pem(Bytes, "\r\n"), true},
      {"PEM after a mark and a blank", "\xEF\xBB\xBF \r\n" + Pem(Bytes, "\r\n"), true},
      {"empty", "", false},
      {"blanks", " \r\n", false},
      {"garbage", "this is not a certificate request", false},
      {"DER with a tail", Bytes + "x", false},
      {"DER cut short", Bytes.substr(0, 200), false},
      {"DER after a blank", " " + Bytes, false},
      {"PEM whose body is not DER", Pem("not a request", "\n"), false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    if (C.Read)
      EXPECT_EQ(RequestToDer(C.Answer), Bytes);
    else
      EXPECT_THROW(RequestToDer(C.Answer), Exception);
  }
}

TEST(RequestToDer, PemThatHoldsNoRequestIsAnError) {
  AnsiString Truncated = Pem(Der(300), "\n");
  Truncated.erase(100, 40);
  for (const AnsiString& Text :
       {AnsiString("-----BEGIN CERTIFICATE REQUEST-----\n-----END CERTIFICATE REQUEST-----\n"),
        Truncated, Pem("not a request", "\n"), Pem(Der(10) + "tail", "\r\n")}) {
    EXPECT_THROW(RequestToDer(Text), Exception) << Text;
  }
}

TEST(RequestFileName, InnDateAndTime) {
  TDateTime When = EncodeDate(2024, 3, 7) + EncodeTime(9, 5, 4, 0);
  EXPECT_EQ(RequestFileName("007707083893", When), "007707083893_20240307_090504.req");
}

}  // namespace
