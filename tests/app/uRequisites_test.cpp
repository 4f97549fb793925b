// The texts the request road sends: sanitising, the subject list of both
// owner types, PEM answers, the file name.
#include "app/uRequisites.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/uBase64.h"
#include "rtl/SysUtils.h"

namespace {

using namespace std::string_literals;

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

// A DER element, its length in the fewest bytes.
AnsiString Tlv(char Tag, const AnsiString& Content) {
  AnsiString Length;
  for (size_t N = Content.size(); N; N >>= 8) Length.insert(0, 1, static_cast<char>(N & 0xFF));
  if (Content.size() < 0x80)
    Length = AnsiString(1, static_cast<char>(Content.size()));
  else
    Length.insert(0, 1, static_cast<char>(0x80 | Length.size()));
  return Tag + Length + Content;
}

// The parts of a request: the info (a version and a name of Text), the
// signature algorithm and the signature.
AnsiString Info(const AnsiString& Text) {
  return Tlv('\x30', Tlv('\x02', "\0"s) + Tlv('\x0C', Text));
}
const AnsiString Algorithm = Tlv('\x30', Tlv('\x06', "\x2A\x85\x03\x07\x01\x01\x03\x02"));
const AnsiString Signature = Tlv('\x03', "\0"s + AnsiString(64, 's'));

// A request whose info carries a text of the given length.
AnsiString Der(size_t TextLength) {
  return Tlv('\x30', Info(AnsiString(TextLength, 'x')) + Algorithm + Signature);
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

// Only one request in DER is saved: a SEQUENCE of exactly two SEQUENCEs and
// a BIT STRING, every length in the fewest bytes. Each answer is tried as
// it came and in PEM.
TEST(RequestToDer, OnlyOneDerEncodedRequestIsRead) {
  const AnsiString Parts = Info("x") + Algorithm + Signature;
  ASSERT_LT(Parts.size(), 0x80u);
  const AnsiString PartsWithLongInfo = Info(AnsiString(150, 'x')) + Algorithm + Signature;
  ASSERT_GE(PartsWithLongInfo.size(), 0x80u);
  ASSERT_LT(PartsWithLongInfo.size(), 0x100u);
  const AnsiString InfoContent = Info("x").substr(2);
  const struct {
    const char* Name;
    AnsiString Answer;
    bool Read;
  } Cases[] = {
      {"short lengths", Der(1), true},
      {"a one-byte long length", Der(100), true},
      {"a two-byte long length", Der(300), true},
      {"an empty sequence", "\x30\x00"s, false},
      {"a sequence of junk", "\x30\x03\xFF\xFF\xFF"s, false},
      {"a sequence of text", "0\x03"s + "abc", false},
      {"a long length for a short request", "\x30\x81"s + char(Parts.size()) + Parts, false},
      {"four length bytes for a short request",
       "\x30\x84\x00\x00\x00"s + char(Parts.size()) + Parts, false},
      {"a long length with a leading zero",
       "\x30\x82\x00"s + char(PartsWithLongInfo.size()) + PartsWithLongInfo, false},
      {"a long length inside",
       Tlv('\x30', "\x30\x81"s + char(InfoContent.size()) + InfoContent + Algorithm + Signature),
       false},
      {"an indefinite length", "\x30\x80"s + Parts + "\0\0"s, false},
      {"an element cut inside the info",
       Tlv('\x30', Tlv('\x30', "\x02\x05\x00"s) + Algorithm + Signature), false},
      {"no signature", Tlv('\x30', Info("x") + Algorithm), false},
      {"a fourth element", Tlv('\x30', Parts + Tlv('\x05', "")), false},
      {"the algorithm a bare identifier",
       Tlv('\x30', Info("x") + Tlv('\x06', "\x2A\x85\x03"s) + Signature), false},
      {"the signature an octet string",
       Tlv('\x30', Info("x") + Algorithm + Tlv('\x04', AnsiString(64, 's'))), false},
      {"an empty bit string", Tlv('\x30', Info("x") + Algorithm + Tlv('\x03', "")), false},
      {"eight unused bits", Tlv('\x30', Info("x") + Algorithm + Tlv('\x03', "\x08s")), false},
      {"two requests", Der(1) + Der(1), false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    for (const AnsiString& Answer : {C.Answer, Pem(C.Answer, "\n")}) {
      if (C.Read)
        EXPECT_EQ(RequestToDer(Answer), C.Answer);
      else
        EXPECT_THROW(RequestToDer(Answer), Exception);
    }
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
