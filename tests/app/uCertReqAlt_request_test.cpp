// The request page of the main form: the requisite fields, the owner-type
// layout, the required marks, the checks before a request, and the road to
// the saved request on the emulated token, with scripted answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "FormsTestKit.h"
#include "MainFormOnToken.h"
#include "common/uTools.h"
#include "common/uutf8.h"

namespace {

using ::testing::HasSubstr;

const AnsiString Q = "Для выпуска КВАЛИФИЦИРОВАННОГО сертификата для ЮР лиц требуется указывать ";

class RequestPageTest : public MainFormOnToken {
 protected:
  void ChooseOwner(int Index) {
    Form->rgCertOwnerType->SetItemIndex(Index);
    Form->rgCertOwnerTypeClick(Form->rgCertOwnerType);
  }
  void FillLegalEntity() {
    ChooseOwner(0);
    TfCertRequestAlt& F = *Form;
    F.edtSN->SetText("Иванов");
    F.edtGN1->SetText("Иван");
    F.edtGN2->SetText("Иванович");
    F.edtSNILS->SetText("11223344595");
    F.edtEMAIL->SetText("ivanov@romashka.ru");
    F.dbeCategory->SetText("Генеральный директор");
    F.edtST->SetText("77 г. Москва");
    F.edtL->SetText("Москва");
    F.edtStreet->SetText("ул. Тверская, д. 1");
    F.edtO->SetText("ООО \"Ромашка\"");
    F.edtOU->SetText("");
    F.edtOGRN->SetText("1027700132195");
    F.edtINN->SetText("007707083893");
    F.edtKPP->SetText("770701001");
  }
  void FillEntrepreneur() {
    FillLegalEntity();
    ChooseOwner(1);
    Form->dbeCategory->SetText("");
    Form->edtOGRN->SetText("304500116100020");
    Form->edtINN->SetText("500100732185");
  }
  void PressGenerate() { Press(Form->btnOK); }
  AnsiString SavedAs(const char* Name) const { return (Dir / Name).string(); }
  // PIN accepted, success box closed, the file named.
  void AnswerTheRoad(const AnsiString& File) {
    Script.Answer(1, "40715382");
    Script.Answer(IDOK);
    Script.Answer(1, File);
  }
};

AnsiString Utf8(const AnsiString& Ansi) { return WideToUtf8(AnsiToWide(Ansi)); }

// The journal's form of a string list.
std::string JournalList(std::initializer_list<AnsiString> Strings) {
  std::string Text;
  for (const AnsiString& S : Strings) Text += (Text.empty() ? "[\"" : ", \"") + Utf8(S) + "\"";
  return Text + "]";
}

// --- Layout and marks

TEST_F(RequestPageTest, ShowingChoosesALegalEntityAndEnablesGenerate) {
  EXPECT_EQ(Form->rgCertOwnerType->ItemIndex(), 0);
  EXPECT_EQ(Form->gbOrgSettings->Caption(), "Сведения об организации");
  EXPECT_TRUE(Form->btnOK->Enabled());
  EXPECT_TRUE(Form->edtKPP->Visible());
  EXPECT_EQ(Form->dbeCategory->Items()->Count(), 24);
  EXPECT_EQ(Form->edtST->Items()->Count(), 85);
  EXPECT_EQ(Form->edtL->Items()->Count(), 91);
  EXPECT_EQ(Form->edtOU->Items()->Count(), 3);
  EXPECT_TRUE(Form->edtST->DropDownBox()->AutoDrop());
  EXPECT_EQ(Form->dbeCategory->DropDownBox()->Rows(), 10);
  EXPECT_EQ(Form->edtSNILS->MaxLength(), 11);
  EXPECT_EQ(Form->edtINN->MaxLength(), 12);
}

TEST_F(RequestPageTest, AnEntrepreneurHasNoKppAndNoOrganisationOrPositionMarks) {
  FillLegalEntity();
  Form->edtO->SetText("");
  Form->rgCertOwnerType->Buttons(1)->Click();
  EXPECT_EQ(Form->rgCertOwnerType->ItemIndex(), 1);
  EXPECT_EQ(Form->gbOrgSettings->Caption(), "Сведения об индивидуальном предпринимателе");
  EXPECT_FALSE(Form->edtKPP->Visible());
  EXPECT_FALSE(Form->lblKPP->Visible());
  EXPECT_FALSE(Form->edtKPP->Enabled());
  EXPECT_EQ(Form->edtKPP->Text(), "");
  EXPECT_EQ(Form->edtKPP->Color(), clBtnFace);
  EXPECT_FALSE(Form->edtO->HighlightRequired());
  EXPECT_FALSE(Form->dbeCategory->HighlightRequired());
  for (TCustomDBEditKs* Field :
       std::initializer_list<TCustomDBEditKs*>{Form->edtO, Form->dbeCategory}) {
    Field->SetText("");
    bool Mark = true;
    Field->OnCheckDrawRequiredState(Field, Mark);
    EXPECT_FALSE(Mark) << Field->Name();
  }

  Form->rgCertOwnerType->Buttons(0)->Click();
  EXPECT_TRUE(Form->edtKPP->Visible());
  EXPECT_TRUE(Form->lblKPP->Visible());
  EXPECT_TRUE(Form->edtKPP->Enabled());
  EXPECT_TRUE(Form->dbeCategory->HighlightRequired());
}

TEST_F(RequestPageTest, EachFieldAsksTheFormWhetherToDrawItsMark) {
  struct Case {
    int Owner;
    const char* Field;
    AnsiString Text;
    bool Mark;
  } Cases[] = {
      {0, "edtSN", " ", true},
      {0, "edtSN", "Иванов", false},
      {0, "edtST", "", true},
      {0, "edtStreet", "ул. Ленина", false},
      {0, "dbeCategory", "", true},
      {1, "dbeCategory", "", false},
      {0, "edtO", "\t", true},
      {0, "edtSNILS", "", true},
      {0, "edtSNILS", "11223344596", true},
      {0, "edtSNILS", " 11223344595 ", false},
      {0, "edtEMAIL", "a@b", false},
      {0, "edtEMAIL", "иван@mail.ru", true},
      {0, "edtOGRN", "1027700132195", false},
      {1, "edtOGRN", "1027700132195", true},
      {1, "edtOGRN", "304500116100020", false},
      {-1, "edtOGRN", "", false},
      {0, "edtINN", "007707083893", false},
      {1, "edtINN", "007707083893", true},
      {0, "edtINN", "7707083890", true},
      {1, "edtINN", "500100732185", false},
      // The KPP's flag stays off: it is never marked.
      {0, "edtKPP", "77070100", false},
      {0, "edtGN2", "", false},  // no mark of its own
  };
  for (const Case& C : Cases) {
    ChooseOwner(C.Owner);
    auto* Field = static_cast<TCustomDBEditKs*>(Form->FindComponent(C.Field));
    Field->SetText(C.Text);
    bool Mark = false;
    if (Field->OnCheckDrawRequiredState) Field->OnCheckDrawRequiredState(Field, Mark);
    EXPECT_EQ(Mark, C.Mark) << C.Owner << " " << C.Field << " '" << C.Text << "'";
  }
}

// The FSS and PF numbers have no field on this form; a field that asks
// with their handlers is marked by its own flag and text.
TEST_F(RequestPageTest, TheFssAndPfHandlersMarkTheFieldThatAsks) {
  using THandler = void (TfCertRequestAlt::*)(::TObject*, bool&);
  const THandler FssNumber = &TfCertRequestAlt::edtFSSNomCheckDrawRequiredState;
  const THandler FssCode = &TfCertRequestAlt::edtFSSDepCodeCheckDrawRequiredState;
  const THandler PfNumber = &TfCertRequestAlt::edtPFNomCheckDrawRequiredState;
  struct Case {
    THandler Handler;
    bool Required;
    AnsiString Text;
    bool Mark;
  } Cases[] = {
      {FssNumber, true, "1234567890", false},
      {FssNumber, true, " 1234567890\t", false},
      {FssNumber, true, "123456789", true},
      {FssNumber, true, "12345678a0", true},
      {FssNumber, true, "", true},
      {FssNumber, false, "", false},
      {FssCode, true, "1234", false},
      {FssCode, true, " 12a4 ", false},  // only its length counts
      {FssCode, true, "123", true},
      {FssCode, true, "12345", true},
      {FssCode, false, "1", false},
      {PfNumber, true, "087-109-012345", false},
      {PfNumber, true, " 087109012345 ", false},  // the dashes are put in
      {PfNumber, true, "08710901234", true},
      {PfNumber, true, "087-10901-2345", true},
      {PfNumber, true, "", true},
      {PfNumber, false, "123", false},
  };
  auto* Field = new TDBEditKs(Form.get());
  Field->SetParent(Form->gbOrgSettings);
  for (const Case& C : Cases) {
    Field->SetHighlightRequired(C.Required);
    Field->SetText(C.Text);
    bool Mark = !C.Mark;
    (Form.get()->*C.Handler)(Field, Mark);
    EXPECT_EQ(Mark, C.Mark) << C.Required << " '" << C.Text << "'";
  }
}

TEST_F(RequestPageTest, OnlyALineBreakInARequiredFieldHoldsGenerateBack) {
  Form->edtSN->SetText("");
  EXPECT_TRUE(Form->btnOK->Enabled()) << "an empty field is left to the checks";
  Form->edtSN->SetText("\r\n");
  EXPECT_FALSE(Form->btnOK->Enabled());
  Form->edtSN->SetText("Иванов");
  EXPECT_TRUE(Form->btnOK->Enabled());
}

TEST_F(RequestPageTest, LeavingAFieldTrimsItAndAShortInnIsPadded) {
  Form->edtSN->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == Form->edtSN->Handle(); }));
  Form->edtSN->SetText("  Иванов ");
  Form->edtINN->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == Form->edtINN->Handle(); }));
  EXPECT_EQ(Form->edtSN->Text(), "Иванов");

  TypeText("77a07.0-8 3893");
  ASSERT_TRUE(PumpUntil([&] { return Form->edtINN->Text() == "7707.083893"; }))
      << "letters, minus and blanks do not get in; the full stop does: " << Form->edtINN->Text();
  PressKey(VK_BACK);
  ASSERT_TRUE(PumpUntil([&] { return Form->edtINN->Text() == "7707.08389"; }));
  Form->edtINN->SetText("7707083893 ");
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return Form->ActiveControl() == Form->edtKPP; }));
  EXPECT_EQ(Form->edtINN->Text(), "007707083893");
}

TEST_F(RequestPageTest, EnterInAnOpenListTakesTheItemAndThenMovesOn) {
  Form->edtST->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == Form->edtST->Handle(); }));
  TypeText("77");
  ASSERT_TRUE(PumpUntil([&] { return Form->edtST->DroppedDown(); })) << "the list drops by itself";
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !Form->edtST->DroppedDown(); }));
  PumpFor(30);
  EXPECT_EQ(Form->ActiveControl(), Form->edtST) << "Enter belonged to the open list";
  EXPECT_EQ(Form->edtST->Text(), "77 г. Москва");
  PressKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return Form->ActiveControl() == Form->edtL; }));
}

TEST_F(RequestPageTest, ClearAllLeavesNoOwnerTypeAndKeepsTheDepartment) {
  FillLegalEntity();
  Form->edtOU->SetText("Бухгалтерия");
  Form->btnClearAll->Click();
  EXPECT_EQ(Form->rgCertOwnerType->ItemIndex(), -1);
  EXPECT_EQ(Form->edtSN->Text(), "");
  EXPECT_EQ(Form->edtST->Text(), "");
  EXPECT_EQ(Form->edtINN->Text(), "");
  EXPECT_EQ(Form->edtOU->Text(), "Бухгалтерия");
}

// --- The checks before a request

TEST_F(RequestPageTest, EveryFailingCheckNamesItsFieldAndShowsIt) {
  struct Case {
    int Owner;
    std::function<void(TfCertRequestAlt&)> Change;
    AnsiString Message;
    const char* Focus;  // null: neither the page nor the focus changes
  } Cases[] = {
      {-1, {}, "Не указан тип владельца сертификата!", "rgCertOwnerType"},
      {0, [](auto& F) { F.edtINN->SetText(" "); }, "Укажите ИНН!", "rgCertOwnerType"},
      {0, [](auto& F) { F.edtINN->SetText("500100732185"); },
       "Тип владельца сертификата не соответствует ИНН!", "rgCertOwnerType"},
      {1, [](auto& F) { F.edtINN->SetText("7707083893"); },
       "Тип владельца сертификата не соответствует ИНН!", "rgCertOwnerType"},
      {0, [](auto& F) { F.edtSN->SetText("  "); }, Q + "Фамилия", "edtSN"},
      {0, [](auto& F) { F.edtGN1->SetText(""); }, Q + "Имя", "edtGN1"},
      {0, [](auto& F) { F.edtSNILS->SetText(""); }, Q + "СНИЛС", "edtSNILS"},
      {0, [](auto& F) { F.edtSNILS->SetText("11223344596"); }, "Укажите правильное значение СНИЛС!",
       "edtSNILS"},
      {0, [](auto& F) { F.edtEMAIL->SetText(""); }, "Необходимо указать правильный e-mail",
       "edtEMAIL"},
      {0, [](auto& F) { F.edtEMAIL->SetText("0"); }, "Необходимо указать правильный e-mail",
       "edtEMAIL"},
      {0, [](auto& F) { F.edtEMAIL->SetText(" a@b"); }, "Необходимо указать правильный e-mail",
       "edtEMAIL"},
      {0, [](auto& F) { F.dbeCategory->SetText(AnsiString(205, 'Ж')); },
       "Длина поля Должность превосходит ограничение в  200 Пожалуйста сократите на 5 символов!",
       "dbeCategory"},
      {0, [](auto& F) { F.edtST->SetText(" "); }, "Заполните Область", "edtST"},
      {0, [](auto& F) { F.edtST->SetText(AnsiString(201, 'a')); },
       "Длина поля Область превосходит ограничение в  200 Пожалуйста сократите на 1 символов!",
       "edtST"},
      {0, [](auto& F) { F.edtL->SetText(""); }, "Заполните Город", "edtL"},
      {0, [](auto& F) { F.edtStreet->SetText(""); }, Q + "Улица, дом", "edtStreet"},
      {0, [](auto& F) { F.edtO->SetText(""); }, "Заполните Наименование", "edtO"},
      {0, [](auto& F) { F.edtO->SetText(AnsiString(250, 'o')); },
       "Длина поля Наименование превосходит ограничение в  200 Пожалуйста сократите на 50 "
       "символов!",
       "edtO"},
      {0, [](auto& F) { F.edtOU->SetText(AnsiString(210, 'u')); },
       "Длина поля Отдел / Обособ. подр. превосходит ограничение в  200 Пожалуйста сократите на "
       "10 символов!",
       "edtOU"},
      {0, [](auto& F) { F.dbeCategory->SetText("!?"); }, Q + "Должность", "dbeCategory"},
      {0, [](auto& F) { F.edtOGRN->SetText(""); }, Q + "ОГРН (ИП)", nullptr},
      {0, [](auto& F) { F.edtOGRN->SetText("1027700132196"); }, "Укажите правильный ОГРН(ИП)!",
       "edtOGRN"},
      {1, [](auto& F) { F.edtOGRN->SetText("1027700132195"); }, "Укажите правильный ОГРН(ИП)!",
       "edtOGRN"},
      {0, [](auto& F) { F.edtINN->SetText("7707083890"); }, "Укажите правильное значение ИНН!",
       "edtINN"},
      // The entrepreneur's INN keeps its zeros and is no INN then.
      {1, [](auto& F) { F.edtINN->SetText("007707083893"); }, "Укажите правильное значение ИНН!",
       "edtINN"},
  };
  for (const Case& C : Cases) {
    Form->PageControl->SetActivePage(Form->tsInstallCert);
    Form->edtCertFileName->SetFocus();
    if (C.Owner == 1)
      FillEntrepreneur();
    else
      FillLegalEntity();
    if (C.Owner < 0) Form->rgCertOwnerType->SetItemIndex(-1);
    if (C.Change) C.Change(*Form);
    SCOPED_TRACE(C.Message);
    try {
      Form->ValidateFields();
      ADD_FAILURE() << "passed";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), C.Message);
    }
    if (C.Focus) {
      EXPECT_EQ(Form->PageControl->ActivePage(), Form->tsMain);
      TWinControl* Active = Form->ActiveControl();
      ASSERT_NE(Active, nullptr);
      // The owner type's focus is on one of its buttons.
      if (Active->Parent() == Form->rgCertOwnerType) Active = Form->rgCertOwnerType;
      EXPECT_EQ(Active->Name(), C.Focus);
    } else {
      EXPECT_EQ(Form->PageControl->ActivePage(), Form->tsInstallCert);
      EXPECT_EQ(Form->ActiveControl(), Form->edtCertFileName);
    }
  }
}

TEST_F(RequestPageTest, AFailureReachesTheErrorBoxAndNothingIsAskedOfTheToken) {
  FillLegalEntity();
  Form->edtGN1->SetText("");
  PressGenerate();
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::MessageDialog);
  EXPECT_EQ(Script.Asked[0].Caption, "Ошибка");
  EXPECT_EQ(Script.Asked[0].Text, Q + "Имя");
  EXPECT_EQ(Form->ActiveControl(), Form->edtGN1);
  EXPECT_TRUE(JournalLines().empty());
}

TEST_F(RequestPageTest, PassingChecksRewriteTheNamesForTheAuthority) {
  FillLegalEntity();
  Form->edtST->SetText("77 г. Москва!");
  Form->edtL->SetText("Миасс  <центр>");
  Form->dbeCategory->SetText("  Директор   школы* ");
  Form->edtO->SetText("ООО «Ромашка»");
  Form->edtOU->SetText("Отдел №2 & склад");
  EXPECT_NO_THROW(Form->ValidateFields());
  EXPECT_EQ(Form->edtST->Text(), "77 г. Москва");
  EXPECT_EQ(Form->edtL->Text(), "Миасс центр");
  EXPECT_EQ(Form->dbeCategory->Text(), "Директор школы");
  EXPECT_EQ(Form->edtO->Text(), "ООО Ромашка");
  EXPECT_EQ(Form->edtOU->Text(), "Отдел №2 склад");

  FillEntrepreneur();
  Form->edtO->SetText("что угодно");
  Form->edtGN1->SetText(" Иван ");
  EXPECT_NO_THROW(Form->ValidateFields());
  EXPECT_EQ(Form->edtO->Text(), "ИП Иванов Иван Иванович");
}

// --- The request

TEST_F(RequestPageTest, TheLegalEntitysSubjectReachesTheTokenInUtf8AndTheRequestIsSaved) {
  FillLegalEntity();
  AnswerTheRoad(SavedAs("legal.req"));
  PressGenerate();
  ASSERT_EQ(Kinds(), (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageBox,
                                               TPromptKind::SaveFile}));
  const TPrompt& Pin = Script.Asked[0];
  EXPECT_EQ(Pin.Caption, "Укажите пин-код");
  EXPECT_EQ(Pin.Text, "Ввод пин-кода");
  EXPECT_EQ(Pin.Value, "40715382");
  EXPECT_EQ(Script.Asked[1].Text, "Запрос на сертификат успешно сформирован !");
  EXPECT_EQ(Script.Asked[1].Flags, static_cast<int>(MB_OK | MB_ICONINFORMATION));
  const TPrompt& Save = Script.Asked[2];
  EXPECT_EQ(Save.Caption, "Укажите имя файла для сохранения запроса");
  EXPECT_THAT(Save.Value, ::testing::MatchesRegex("007707083893_20\\d+_\\d+\\.req"));
  EXPECT_EQ(Save.Value.size(), 32u);

  std::string Request = CallLine("C_EX_CreateCertRequest");
  EXPECT_THAT(Request, HasSubstr("dn=" +
                                 JournalList({"CN",
                                              "ООО \"Ромашка\"",
                                              "C",
                                              "RU",
                                              "2.5.4.10",
                                              "ООО \"Ромашка\"",
                                              "2.5.4.8",
                                              "77 г. Москва",
                                              "2.5.4.7",
                                              "Москва",
                                              "2.5.4.12",
                                              "Генеральный директор",
                                              "1.2.840.113549.1.9.1",
                                              "ivanov@romashka.ru",
                                              "1.2.643.3.131.1.1",
                                              "007707083893",
                                              "1.2.643.100.1",
                                              "1027700132195",
                                              "1.2.643.100.3",
                                              "11223344595",
                                              "2.5.4.9",
                                              "ул. Тверская, д. 1",
                                              "2.5.4.4",
                                              "Иванов",
                                              "2.5.4.42",
                                              "Иван Иванович"}) +
                                 ", dnCount=26"));
  EXPECT_THAT(Request, HasSubstr(",1.2.643.3.6.78.4.5,1.2.643.3.6.0.12\""));
  EXPECT_THAT(CallLine("C_GenerateKeyPair"),
              HasSubstr("CKA_LABEL=\"007707083893\", CKA_ID=\"007707083893\""));
  AnsiString File = ReadFileToString(SavedAs("legal.req"));
  ASSERT_GT(File.size(), 300u);
  EXPECT_EQ(static_cast<uint8_t>(File[0]), 0x30);
  EXPECT_THAT(File, HasSubstr(Utf8("ООО \"Ромашка\"")));
}

TEST_F(RequestPageTest, TheEntrepreneursSubjectHasNoOrganisationAndCarriesTheOgrnip) {
  FillEntrepreneur();
  Form->edtGN2->SetText("");
  Form->edtSNILS->SetText("");
  Form->edtEMAIL->SetText("ip@mail.ru");
  Form->edtOU->SetText("Магазин");
  PressGenerate();
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Text, Q + "СНИЛС") << "the SNILS is required for every owner";
  Script.Asked.clear();
  Form->edtSNILS->SetText("11223344595");
  AnswerTheRoad(SavedAs("ip.req"));
  PressGenerate();
  ASSERT_EQ(Script.Asked.size(), 3u);
  EXPECT_THAT(CallLine("C_EX_CreateCertRequest"), HasSubstr("dn=" +
                                                            JournalList({"CN",
                                                                         "Иванов Иван",
                                                                         "C",
                                                                         "RU",
                                                                         "2.5.4.8",
                                                                         "77 г. Москва",
                                                                         "2.5.4.7",
                                                                         "Москва",
                                                                         "2.5.4.11",
                                                                         "Магазин",
                                                                         "1.2.840.113549.1.9.1",
                                                                         "ip@mail.ru",
                                                                         "1.2.643.3.131.1.1",
                                                                         "500100732185",
                                                                         "1.2.643.100.5",
                                                                         "304500116100020",
                                                                         "1.2.643.100.3",
                                                                         "11223344595",
                                                                         "2.5.4.9",
                                                                         "ул. Тверская, д. 1",
                                                                         "2.5.4.4",
                                                                         "Иванов",
                                                                         "2.5.4.42",
                                                                         "Иван"}) +
                                                            ", dnCount=24"));
  EXPECT_TRUE(FileExists(SavedAs("ip.req")));
}

TEST_F(RequestPageTest, PemAnswersAreSavedAsDerAndDerIsSavedAsItCame) {
  struct Case {
    const char* Output;
    const char* Organisation;
  } Cases[] = {
      {"output=pem-lf", "ООО Ромашка"},
      {"output=pem-crlf", "ООО Ромашка"},
      {"output=pem-lead", "ООО Ромашка"},  // after a byte-order mark and a blank
      // The old reading took any answer with this word for PEM.
      {"output=der", "CERTIFICATE REQUEST"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Output);
    Configure(C.Output);
    ClearJournal();
    Script.Asked.clear();
    FillLegalEntity();
    Form->edtO->SetText(C.Organisation);
    AnsiString Name = SavedAs((AnsiString(C.Output + 7) + ".req").c_str());
    AnswerTheRoad(Name);
    PressGenerate();
    ASSERT_EQ(Script.Asked.size(), 3u);
    AnsiString File = ReadFileToString(Name);
    ASSERT_GT(File.size(), 4u);
    // One DER element with a two-byte length, covering the whole file.
    EXPECT_EQ(static_cast<uint8_t>(File[0]), 0x30);
    EXPECT_EQ(static_cast<uint8_t>(File[1]), 0x82);
    EXPECT_EQ(static_cast<uint8_t>(File[2]) * 256u + static_cast<uint8_t>(File[3]) + 4,
              File.size());
    EXPECT_THAT(File, HasSubstr(Utf8(C.Organisation)));
    if (std::string(C.Output) == "output=der") {
      EXPECT_THAT(CallLine("C_EX_CreateCertRequest"),
                  HasSubstr("requestLen=" + std::to_string(File.size())));
    }
  }
}

TEST_F(RequestPageTest, AnAnswerThatHoldsNoRequestIsShownAndNothingIsSaved) {
  const char* Unreadable = "Токен вернул запрос на сертификат, который не удалось прочитать";
  const struct {
    const char* Output;
    const char* Error;
  } Cases[] = {
      {"output=garbage", Unreadable},
      {"output=pem-not-der", Unreadable},
      {"output=empty", "Ошибка генерации запроса на сертификат"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Output);
    Configure(C.Output);
    Script.Asked.clear();
    FillLegalEntity();
    Script.Answer(1, "40715382");
    Script.Answer(mrCancel);  // the error box
    PressGenerate();
    // No success, no save dialog and no question about an unsaved request.
    ASSERT_EQ(Kinds(),
              (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageDialog}));
    EXPECT_EQ(Script.Asked[1].Caption, "Ошибка");
    EXPECT_EQ(Script.Asked[1].Text, C.Error);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(Form->StatusBar->SimpleText(), "");
  }
  for (const auto& Entry : std::filesystem::directory_iterator(Dir))
    EXPECT_NE(Entry.path().extension(), ".req");
}

TEST_F(RequestPageTest, CancellingThePinAsksNothingOfTheToken) {
  FillLegalEntity();
  Script.Answer(0);
  PressGenerate();
  EXPECT_EQ(Kinds(), std::vector<TPromptKind>{TPromptKind::InputQuery});
  EXPECT_TRUE(JournalLines().empty());
}

TEST_F(RequestPageTest, AWrongPinShowsItsTextWritesNothingAndRestoresTheForm) {
  FillLegalEntity();
  Script.Answer(1, "11111111");
  PressGenerate();
  ASSERT_EQ(Kinds(),
            (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageDialog}));
  EXPECT_EQ(Script.Asked[1].Text, "Ошибка подключения к токену");
  EXPECT_EQ(Script.Asked[1].Caption, "Ошибка");
  EXPECT_THAT(CallLine("C_Login"), HasSubstr("CKR_PIN_INCORRECT"));
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(Form->StatusBar->SimpleText(), "");
  for (const auto& Entry : std::filesystem::directory_iterator(Dir))
    EXPECT_NE(Entry.path().extension(), ".req");
}

TEST_F(RequestPageTest, ARequestNotSavedIsAskedAbout) {
  FillLegalEntity();
  AnsiString Taken = SavedAs("taken.req");
  { std::ofstream(Taken.c_str()) << "keep"; }
  Script.Answer(1, "40715382");
  Script.Answer(IDOK);
  Script.Answer(0);      // the save dialog cancelled
  Script.Answer(mrYes);  // "Сохранить"
  Script.Answer(1, Taken);
  Script.Answer(IDNO);   // not over the existing file
  Script.Answer(mrYes);  // "Сохранить"
  Script.Answer(1, SavedAs("second.req"));
  PressGenerate();
  ASSERT_EQ(Kinds(), (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageBox,
                                               TPromptKind::SaveFile, TPromptKind::MessageDialog,
                                               TPromptKind::SaveFile, TPromptKind::MessageBox,
                                               TPromptKind::MessageDialog, TPromptKind::SaveFile}));
  const TPrompt& Question = Script.Asked[3];
  EXPECT_EQ(Question.Text, "Запрос на сертификат не сохранен. Сохранить его в файл?");
  EXPECT_EQ(Question.Options, (std::vector<AnsiString>{"Сохранить", "Не сохранять"}));
  EXPECT_EQ(Question.Default, mrYes);
  EXPECT_THAT(Script.Asked[5].Text, HasSubstr("уже существует"));
  EXPECT_EQ(ReadFileToString(Taken), "keep");
  EXPECT_EQ(static_cast<uint8_t>(ReadFileToString(SavedAs("second.req"))[0]), 0x30);

  Script.Asked.clear();
  Script.Answer(1, "40715382");
  Script.Answer(IDOK);
  Script.Answer(0);
  Script.Answer(mrNo);  // "Не сохранять"
  PressGenerate();
  EXPECT_EQ(Script.Asked.size(), 4u) << "dropped after the answer";
}

TEST_F(RequestPageTest, ARequestThatCannotBeWrittenIsShownAndAskedAbout) {
  FillLegalEntity();
  Script.Answer(1, "40715382");
  Script.Answer(IDOK);
  Script.Answer(1, SavedAs("no-such-folder\\x.req"));
  Script.Answer(mrCancel);  // the error box
  Script.Answer(mrYes);     // "Сохранить"
  Script.Answer(1, SavedAs("written.req"));
  PressGenerate();
  ASSERT_EQ(Kinds(), (std::vector<TPromptKind>{TPromptKind::InputQuery, TPromptKind::MessageBox,
                                               TPromptKind::SaveFile, TPromptKind::MessageDialog,
                                               TPromptKind::MessageDialog, TPromptKind::SaveFile}));
  EXPECT_EQ(Script.Asked[3].Caption, "Ошибка");
  EXPECT_EQ(Script.Asked[4].Text, "Запрос на сертификат не сохранен. Сохранить его в файл?");
  EXPECT_EQ(static_cast<uint8_t>(ReadFileToString(SavedAs("written.req"))[0]), 0x30);
}

TEST_F(RequestPageTest, AShownValidityGroupChoosesTheMonthsOrTheRequestWithoutUsages) {
  FillLegalEntity();
  Form->GroupBox1->SetVisible(true);
  Form->cbValidForMonths->SetItemIndex(6);  // "6 месяцев"
  AnswerTheRoad(SavedAs("six.req"));
  PressGenerate();
  EXPECT_THAT(CallLine("C_EX_CreateCertRequest"), HasSubstr(",1.2.643.3.6.0.6\""));

  ClearJournal();
  Form->cbValidForMonths->SetEnabled(false);
  AnswerTheRoad(SavedAs("default.req"));
  PressGenerate();
  // Without a list Morvel puts its own.
  EXPECT_THAT(CallLine("C_EX_CreateCertRequest"), HasSubstr("1.2.643.3.6.0.15,"));
}

}  // namespace
