// The requisites read from certificate subjects and XML templates, field by
// field.
#include "app/uFillRequisites.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "common/uutf8.h"
#include "rtl/AnsiText.h"
#include "rtl/OsShim.h"
#include "rtl/Streams.h"

namespace {

// The owner type and the fields that are not empty, in the page's order.
AnsiString Fields(const TFilledRequisites& R) {
  AnsiString Line = "owner " + IntToStr(static_cast<int>(R.OwnerType));
  const std::pair<const char*, const AnsiString&> Named[] = {
      {"INN", R.INN},       {"SN", R.SN},     {"GN1", R.GN1},     {"GN2", R.GN2},
      {"SNILS", R.SNILS},   {"OGRN", R.OGRN}, {"EMAIL", R.EMAIL}, {"O", R.O},
      {"L", R.L},           {"ST", R.ST},     {"OU", R.OU},       {"T", R.Category},
      {"Street", R.Street}};
  for (const auto& [Name, Value] : Named)
    if (!Value.empty()) Line += AnsiString("; ") + Name + "=" + Value;
  if (R.KPP) Line += "; KPP=" + *R.KPP;
  return Line;
}

TEST(RequisitesFromCertificate, FillEveryFieldAndTheOwnerTypeFromTheInn) {
  struct Case {
    AnsiString Subject, Fields;
  } Cases[] = {
      {"CN=Иванов, Иван Иванович,O=ООО \"Ромашка=Лютик\",L=Москва,ST=77 г. Москва,OU=Отдел "
       "продаж,C=RU,T=Генеральный директор,SN=Иванов,GN=Иван Иванович,E=ivanov@romashka.test,"
       "INN=007707083893,OGRN=1027700132195,SNILS=11223344595,streetAddress=ул. Тверская, д. 1,"
       "unstructuredName=INN=7707083893/КПП=773601001",
       "owner 0; INN=007707083893; SN=Иванов; GN1=Иван; GN2=Иванович; SNILS=11223344595; "
       "OGRN=1027700132195; EMAIL=ivanov@romashka.test; O=ООО \"Ромашка=Лютик\"; L=Москва; "
       "ST=77 г. Москва; OU=Отдел продаж; T=Генеральный директор; Street=ул. Тверская, д. 1; "
       "KPP=773601001"},
      // The OGRNIP stands in for the OGRN; a one-word given name is the name.
      {"CN=Петров Пётр,L=Подольск,C=RU,SN=Петров,GN=Пётр,E=petrov@example.test,INN=500100732259,"
       "OGRNIP=304500116000157,SNILS=11223344595",
       "owner 1; INN=500100732259; SN=Петров; GN1=Пётр; SNILS=11223344595; OGRN=304500116000157; "
       "EMAIL=petrov@example.test; L=Подольск"},
      // Ten digits are a legal entity's INN, padded to twelve.
      {"CN=ООО,INN=7707083893,OGRN=1027700132195,OGRNIP=304500116000157",
       "owner 0; INN=007707083893; OGRN=1027700132195"},
      // A name and a patronymic of two words: the first blank divides them.
      {"CN=X,GN=Анна Мария Петровна,INN=500100732259",
       "owner 1; INN=500100732259; GN1=Анна; GN2=Мария Петровна"},
      // Any other INN chooses no owner; an absent one stays absent.
      {"CN=X,INN=12345678901", "owner -1; INN=012345678901"},
      {"CN=X,unstructuredName=КПП=773601001", "owner -1; KPP=773601001"},
      // The template's key names mean nothing in a certificate.
      {"CN=X,Email=a@b.c,title=Директор,INN=500100732259", "owner 1; INN=500100732259"},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(Fields(RequisitesFromCertificate(C.Subject)), C.Fields) << C.Subject;
}

TEST(RequisitesFromTemplate, KeepTheInnAndTakeTheBusinessCategoryForAMissingPosition) {
  struct Case {
    AnsiString Subject, BusinessCategory, Fields;
  } Cases[] = {
      {"CN=ООО Ромашка,O=ООО Ромашка,L=Москва,ST=77 г. Москва,OU=Бухгалтерия,title=Директор,"
       "SN=Иванов,GN=Иван Иванович,Email=ivanov@romashka.test,INN=007707083893,"
       "OGRN=1027700132195,SNILS=11223344595,streetAddress=ул. Тверская, д. 1,"
       "unstructuredName=INN=7707083893/КПП=773601001",
       "Главный бухгалтер",
       "owner 0; INN=007707083893; SN=Иванов; GN1=Иван; GN2=Иванович; SNILS=11223344595; "
       "OGRN=1027700132195; EMAIL=ivanov@romashka.test; O=ООО Ромашка; L=Москва; ST=77 г. Москва; "
       "OU=Бухгалтерия; T=Директор; Street=ул. Тверская, д. 1; KPP=773601001"},
      // Ten digits without the zeros: an entrepreneur's, as written.
      {"CN=X,INN=7707083893,OGRNIP=304500116000157", "Директор",
       "owner 1; INN=7707083893; OGRN=304500116000157; T=Директор"},
      // A blank position is missing too; the certificate's keys mean nothing.
      {"CN=X,title= ,E=a@b.c,T=Глава,INN=500100732259,GN=Пётр", "Директор",
       "owner 1; INN=500100732259; GN1=Пётр; T=Директор"},
      {"", "", "owner 1"},
      // A KPP key without digits names an empty KPP; no key names none.
      {"CN=X,INN=007707083893,unstructuredName=КПП=", "", "owner 0; INN=007707083893; KPP="},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(Fields(RequisitesFromTemplate(C.Subject, C.BusinessCategory)), C.Fields) << C.Subject;
}

class TemplateFileTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(Folder.c_str()); }
  void TearDown() override { std::filesystem::remove_all(Folder.c_str()); }
  AnsiString Write(const AnsiString& Xml) {
    AnsiString Path = Folder + "template.xml";
    std::ofstream(Path.c_str(), std::ios::binary) << Xml;
    return Path;
  }
  AnsiString Folder =
      GetTempDir() + "ks-fill-requisites-" + IntToStr(std::random_device()()) + PathDelim;
};

TEST_F(TemplateFileTest, TheSubjectAndTheBusinessCategoryAreReadWithEntitiesDecoded) {
  TFilledRequisites R = ReadRequisiteTemplate(
      Write("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
            "<request>\r\n"
            "  <!-- issued by the authority -->\r\n"
            "  <subject>CN=ООО &quot;Ромашка&quot;,O=ООО &quot;Ромашка&quot;,INN=007707083893,"
            "unstructuredName=INN=7707083893/КПП=773601001</subject>\r\n"
            "  <subjectAltName><businessCategory>Директор</businessCategory></subjectAltName>\r\n"
            "</request>\r\n"));
  EXPECT_EQ(Fields(R), "owner 0; INN=007707083893; O=ООО \"Ромашка\"; T=Директор; KPP=773601001");

  R =
      ReadRequisiteTemplate(Write("<request><subjectAltName/><subject>INN=500100732185</subject>"
                                  "</request>"));
  EXPECT_EQ(Fields(R), "owner 1; INN=500100732185");
}

TEST_F(TemplateFileTest, AUtf8TemplateFillsTheSameFieldsAsACp1251One) {
  const AnsiString Subject =
      "CN=ООО Ромашка,O=ООО Ромашка,INN=007707083893,unstructuredName=INN=7707083893/КПП=773601001";
  const AnsiString Category = "Директор";
  const AnsiString Expected =
      "owner 0; INN=007707083893; O=ООО Ромашка; T=Директор; KPP=773601001";
  auto Cp1251 = [&](const AnsiString& Head) {
    return Head + "<request><subject>" + Subject + "</subject><subjectAltName><businessCategory>" +
           Category + "</businessCategory></subjectAltName></request>";
  };
  auto Utf8 = [&](const AnsiString& Head) { return WideToUtf8(AnsiToWide(Cp1251(Head))); };
  for (const AnsiString& Xml :
       {Utf8("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), "\xEF\xBB\xBF" + Utf8(""),
        "\xEF\xBB\xBF" + Utf8("<?xml version='1.0'?>\n"),
        Cp1251("<?xml version='1.0' encoding='windows-1251'?>")})
    EXPECT_EQ(Fields(ReadRequisiteTemplate(Write(Xml))), Expected) << Xml;

  try {
    ReadRequisiteTemplate(Write(Cp1251("<?xml version='1.0' encoding='KOI8-R'?>")));
    ADD_FAILURE() << "a KOI8-R template was read";
  } catch (const Exception& E) {
    EXPECT_TRUE(E.Message().starts_with("Unsupported encoding KOI8-R near ")) << E.Message();
  }
}

// What a UTF-8 template cannot say by an overlong form, a surrogate or a
// code point beyond U+10FFFF, and a declaration read too late, are refused
// with the parser's message: nothing comes back to fill the page with.
TEST_F(TemplateFileTest, HostileTemplatesAreRefusedWithTheParsersMessage) {
  const AnsiString Utf8Head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  auto Template = [](const AnsiString& Head, const AnsiString& Subject) {
    return Head + "<request><subject>" + Subject + "</subject></request>";
  };
  const char* Malformed = "Malformed UTF-8 text near ";
  const char* Misplaced = "xml declaration not at the start of the document near ";
  const struct {
    const char* Name;
    AnsiString Xml;
    const char* Message;
  } Cases[] = {
      {"overlong / in two bytes",
       Template(Utf8Head, "CN=X,unstructuredName=INN=7707083893\xC0\xAF\xD0\x9A\xD0\x9F\xD0\x9F=1"),
       Malformed},
      {"overlong / in three bytes", Template(Utf8Head, "CN=X,L=a\xE0\x80\xAF,INN=007707083893"),
       Malformed},
      // The comma and the "=" of a planted INN.
      {"overlong , and = in two bytes",
       Template(Utf8Head, AnsiString("CN=Ivan\xC0\xACINN\xC0\xBD") + "123456789012"), Malformed},
      {"overlong , and = in three bytes",
       Template(Utf8Head, AnsiString("CN=Ivan\xE0\x80\xACINN\xE0\x80\xBD") + "123456789012"),
       Malformed},
      {"overlong , after a byte-order mark",
       Template("\xEF\xBB\xBF", "CN=Ivan\xC0\xACINN=123456789012"), Malformed},
      {"lone surrogate", Template(Utf8Head, "CN=\xED\xA0\x80,INN=007707083893"), Malformed},
      {"beyond U+10FFFF", Template(Utf8Head, "CN=\xF4\x90\x80\x80,INN=007707083893"), Malformed},
      {"KOI8-R declaration after a comment",
       Template("<!-- from the authority --><?xml version='1.0' encoding='KOI8-R'?>",
                "CN=\xEF\xEF\xEF,INN=007707083893"),
       Misplaced},
      {"comment before a declaration",
       Template("<!-- c -->\r\n<?xml version='1.0' encoding='windows-1251'?>",
                "CN=ООО,INN=007707083893"),
       Misplaced},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    try {
      TFilledRequisites R = ReadRequisiteTemplate(Write(C.Xml));
      ADD_FAILURE() << "read as " << Fields(R);
    } catch (const Exception& E) {
      EXPECT_TRUE(E.Message().starts_with(C.Message)) << E.Message();
      EXPECT_NE(Pos("\r\nError position=", E.Message()), 0) << E.Message();
    }
  }
}

TEST_F(TemplateFileTest, ATemplateThatDoesNotParseRaisesTheParsersError) {
  for (const char* Xml : {"<request><subject>INN=007707083893</subject>",
                          "<request><!-- <subject>INN=007707083893</subject></request>", ""}) {
    try {
      ReadRequisiteTemplate(Write(Xml));
      ADD_FAILURE() << Xml << " was read";
    } catch (const Exception& E) {
      EXPECT_TRUE(E.Message().starts_with("Missing ")) << E.Message();
      EXPECT_NE(Pos(" near ", E.Message()), 0) << E.Message();
    }
  }
  EXPECT_THROW(ReadRequisiteTemplate(Folder + "absent.xml"), EFOpenError);
}

}  // namespace
