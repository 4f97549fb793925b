// The main form's start-up checks with scripted answers, and its keyboard,
// Clear all, Help and error box.
#include "app/uCertReqAlt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "FormsTestKit.h"
#include "app/uAddresses.h"
#include "forms/ScriptedPrompts.h"
#include "rtl/Streams.h"

namespace {

AnsiString BinDir() { return ExtractFilePath(ExeFileName()); }
AnsiString MiniDriver(const AnsiString& Version) {
  return BinDir() + "minidrv\\" + Version + "\\tvMiniDrv.dll";
}

// Each case gets an application of its own (Terminate stays there) and a
// folder with a Morvel.dll of a chosen date.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Saved = Application;
    Application = &Local;
    std::filesystem::create_directories(Folder.c_str());
    Files.MorvelPath = Folder + "Morvel.dll";
    Files.MorvelModule = BinDir() + "Morvel.dll";
    Files.MiniDriver = BinDir() + "tvMiniDrv.dll";
    Files.HelpFile = Folder + "Velmora.pdf";
    MorvelDated(2020, 1, 1, 12, 0, 0);
  }
  void TearDown() override {
    Form.reset();
    Application = Saved;
    std::filesystem::remove_all(Folder.c_str());
  }
  void MorvelDated(int Year, int Month, int Day, int Hour, int Min, int Sec) {
    { TFileStream File(Files.MorvelPath, fmCreate); }
    ASSERT_EQ(FileSetDate(Files.MorvelPath, DateTimeToFileDate(EncodeDate(Year, Month, Day) +
                                                               EncodeTime(Hour, Min, Sec, 0))),
              0);
  }
  TfCertRequestAlt* Create() {
    Form.reset();
    Form = std::make_unique<TfCertRequestAlt>(Application, Files);
    return Form.get();
  }
  // The questions asked, as their texts.
  std::vector<AnsiString> Texts() const {
    std::vector<AnsiString> Result;
    for (const TPrompt& P : Script.Asked) Result.push_back(P.Text);
    return Result;
  }

  TApplication Local{nullptr};
  TApplication* Saved = nullptr;
  TScriptedPrompts Script;
  AnsiString Folder = BinDir() + "mainform_test\\";
  TStartupFiles Files;
  std::unique_ptr<TfCertRequestAlt> Form;
};

TEST_F(MainFormTest, WithoutMorvelTheProgramSaysSoAndEnds) {
  std::filesystem::remove(Files.MorvelPath.c_str());
  Create();
  ASSERT_EQ(Script.Asked.size(), 1u) << "nothing is asked after the missing library";
  EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::MessageBox);
  EXPECT_EQ(Script.Asked[0].Text,
            "Не найдена библиотека Morvel.dll\r\nПродолжение работы невозможно!");
  EXPECT_EQ(Script.Asked[0].Caption, "Ошибка");
  EXPECT_EQ(Script.Asked[0].Flags, static_cast<int>(MB_OK | MB_ICONERROR));
  EXPECT_TRUE(Local.Terminated());
}

TEST_F(MainFormTest, AnOutdatedMorvelHidesTheRequestPage) {
  struct Case {
    int Year, Month, Day, Hour, Min, Sec;
    bool Outdated;
  } Cases[] = {
      {2018, 7, 20, 19, 58, 58, true},
      {2018, 7, 20, 19, 59, 0, false},
      {2017, 12, 31, 23, 0, 0, true},
      // Packed dates from 2044 on have the top bit set; they are not old.
      {2050, 1, 1, 0, 0, 0, false},
  };
  for (const Case& C : Cases) {
    Script.Asked.clear();
    MorvelDated(C.Year, C.Month, C.Day, C.Hour, C.Min, C.Sec);
    TfCertRequestAlt* F = Create();
    bool Said = !Script.Asked.empty() &&
                Script.Asked[0].Text.starts_with("Библиотека Morvel.dll устарела!\r\n");
    EXPECT_EQ(Said, C.Outdated) << C.Year << " " << C.Hour << ":" << C.Min << ":" << C.Sec;
    EXPECT_EQ(F->tsMain->TabVisible(), !C.Outdated);
    EXPECT_TRUE(F->tsInstallCert->TabVisible());
    EXPECT_FALSE(Local.Terminated());
  }
}

TEST_F(MainFormTest, TheMiniDriverRuleAsksForOldAndUnreadableVersions) {
  struct Case {
    AnsiString Path;
    bool Asks;
  } Cases[] = {
      {MiniDriver("4.3.0.0"), false},
      {BinDir() + "tvMiniDrv.dll", false} /* 5.0.0.0 */,
      {MiniDriver("4.2.9.9"), true},
      {MiniDriver("3.9.0.0"), true},
      // The fixed version always has four parts (10.0.0.0); a three-part
      // text is the rule's case below.
      {MiniDriver("10.0.0"), false},
      {BinDir() + "no-such-driver.dll", true},
  };
  for (const Case& C : Cases) {
    Script.Asked.clear();
    Script.Answer(mrNo);
    Files.MiniDriver = C.Path;
    Create();
    EXPECT_EQ(Script.Asked.size(), C.Asks ? 1u : 0u) << C.Path;
    Script.Answers.clear();
  }
  ASSERT_EQ(Script.Asked.size(), 1u);
  const TPrompt& Question = Script.Asked[0];
  EXPECT_EQ(Question.Kind, TPromptKind::MessageDialog);
  EXPECT_EQ(Question.Caption, "Старые драйверы Токвел");
  EXPECT_EQ(Question.Flags, mtConfirmation);
  EXPECT_EQ(Question.Default, mrYes);
  EXPECT_EQ(Question.Options, (std::vector<AnsiString>{"Перейти на сайт с драйверами",
                                                       "Продолжить формирование", "Отменить"}));
  EXPECT_TRUE(Question.Text.starts_with("Версия драйвера Tokvel:  устарела и НЕ ПОДХОДИТ"))
      << "an unreadable version is empty";
}

TEST(MiniDriverRule, FourPartsAndAboveFourTwo) {
  for (const char* Passes : {"4.3.0.0", "5.0.0.0", "4.10.0.1", "12.0.0.0"})
    EXPECT_TRUE(MiniDriverVersionPasses(Passes)) << Passes;
  for (const char* Asks :
       {"4.2.9.9", "3.9.0.0", "1.5.0.0", "0.3.0.0", "10.0.0", "", "x.9.0.0", "5.0.0.0.0"})
    EXPECT_FALSE(MiniDriverVersionPasses(Asks)) << Asks;
}

TEST_F(MainFormTest, TheDriverAnswersContinueEndOrOpenTheDownloadPage) {
  Files.MiniDriver = MiniDriver("4.2.9.9");
  Script.Answer(mrNo);
  TfCertRequestAlt* F = Create();
  EXPECT_FALSE(Local.Terminated()) << "Продолжить формирование";
  EXPECT_EQ(F->cbValidForMonths->ItemIndex(), 0);

  Script.Answer(mrCancel);
  Create();
  EXPECT_TRUE(Local.Terminated()) << "Отменить";
  EXPECT_EQ(Script.Asked.size(), 2u);

  TApplication Fresh(nullptr);
  Application = &Fresh;
  Script.Answer(mrYes);
  Create();
  EXPECT_TRUE(Fresh.Terminated());
  ASSERT_EQ(Script.Asked.size(), 4u);
  EXPECT_EQ(Script.Asked[3].Kind, TPromptKind::ShellOpen);
  EXPECT_EQ(Script.Asked[3].Text, DriverDownloadUrl);
  Form.reset();
}

TEST_F(MainFormTest, TheValidityGroupIsEnabledOnlyWhenMorvelHasTheEkuEntry) {
  TfCertRequestAlt* F = Create();
  EXPECT_TRUE(F->GroupBox1->Enabled());
  EXPECT_TRUE(F->cbValidForMonths->Enabled());
  EXPECT_TRUE(F->Label5->Enabled());
  EXPECT_TRUE(F->Label7->Enabled());
  EXPECT_FALSE(F->GroupBox1->Visible());
  ASSERT_EQ(F->cbValidForMonths->Items()->Count(), 12);
  EXPECT_EQ(F->cbValidForMonths->Items()->Strings(0), "12 месяцев (1 год)");
  EXPECT_EQ(F->cbValidForMonths->ItemIndex(), 0);

  Files.MorvelModule = BinDir() + "morvelstub\\Morvel.dll";
  F = Create();
  EXPECT_FALSE(F->GroupBox1->Enabled()) << "an older Morvel without GenCertRequestsEKU";
  EXPECT_FALSE(F->cbValidForMonths->Enabled());
  EXPECT_FALSE(F->Label5->Enabled());
  EXPECT_FALSE(F->Label7->Enabled());
}

TEST_F(MainFormTest, TheHiddenValidityGroupLeavesNoGap) {
  TfCertRequestAlt* F = Create();
  EXPECT_EQ(F->ClientHeight(), 554 - 20);
  EXPECT_EQ(F->PageControl->Height(), 505 - 20);
  EXPECT_EQ(F->btnOK->Top(), 440 - 41);
  EXPECT_EQ(F->btnOK->Height(), 42);
  EXPECT_EQ(F->btnClearAll->Top(), F->btnOK->Top());
  EXPECT_EQ(F->btnClearAll->Height(), 42);
  EXPECT_EQ(F->btnHelp->Top(), 509 - 25 + 2);
  EXPECT_EQ(F->Button2->Top(), F->btnHelp->Top());
  EXPECT_FALSE(F->btnTestSign->Visible());
  EXPECT_FALSE(F->btnFindInDir->Visible());
  EXPECT_FALSE(F->btnGetCertInfo->Visible());
  EXPECT_EQ(F->Caption(),
            "Генерация запроса на сертификат и установка готового сертификата на Tokvel ЭЦП 2.0 "
            "(ГОСТ-2012)");
}

TEST_F(MainFormTest, StartingRetitlesTheTokenButtonsAndKeepsTheHints) {
  TfCertRequestAlt* F = Create();
  EXPECT_EQ(F->btnOK->Caption(),
            "Генерировать ключ на Tokvel и запрос на сертификат для передачи в УЦ");
  EXPECT_EQ(F->tsInstallCert->Caption(), "&2. Установка готового сертификата на Tokvel");
  EXPECT_EQ(F->btnInstall->Caption(), "Установить сертификат на Tokvel");
  EXPECT_EQ(F->btnGetCertInfo->Caption(), "Информация о сертификатах на Tokvel");
  // Generate and Install are the flat bold buttons.
  for (TSButton* Button : {F->btnOK, F->btnInstall})
    EXPECT_EQ(Button->Font()->Style(), TFontStyles{fsBold}) << Button->Name();
  EXPECT_EQ(F->btnClearAll->Font()->Style(), TFontStyles{});
  EXPECT_EQ(F->edtSNILS->Hint(), "Укажите СНИЛС - только цифры (без знака \"минус\" и пробелов)");
  EXPECT_EQ(F->dbeCategory->Hint(),
            "Выберите должность из списка или введите вручную нужное значение");
  EXPECT_TRUE(F->edtSNILS->ShowHint());
  EXPECT_TRUE(F->dbeCategory->ShowHint());
}

// Fails the first question it is asked, as a start-up step might fail.
class TFailingPrompts : public IPrompts {
 public:
  TFailingPrompts() : FPrevious(SetPrompts(this)) {}
  ~TFailingPrompts() override { SetPrompts(FPrevious); }
  TPromptAnswer Ask(const TPrompt& Prompt, const std::function<TPromptAnswer()>&) override {
    Asked.push_back(Prompt);
    throw Exception("the box could not be shown");
  }
  std::vector<TPrompt> Asked;

 private:
  IPrompts* FPrevious;
};

TEST_F(MainFormTest, AnExceptionInsideFormCreateIsSwallowedWithoutAMessage) {
  MorvelDated(2017, 12, 31, 23, 0, 0);  // the outdated-library box comes first
  TfCertRequestAlt* F = nullptr;
  {
    TFailingPrompts Failing;
    F = Create();
    ASSERT_EQ(Failing.Asked.size(), 1u) << "nothing shown after the failure";
    EXPECT_THAT(Failing.Asked[0].Text, ::testing::StartsWith("Библиотека Morvel.dll устарела!"));
  }
  EXPECT_TRUE(Script.Asked.empty());
  EXPECT_FALSE(Local.Terminated());
  // The steps after the failing one did not run: the validity group stays off.
  EXPECT_FALSE(F->GroupBox1->Enabled());
  // The error box is in place for what comes later.
  F->btnClearAll->OnClick = [](TObject*) { throw Exception("later"); };
  F->Show();
  HWND Page = F->tsMain->Handle();
  LPARAM At = MAKELPARAM(F->btnClearAll->Left() + 5, F->btnClearAll->Top() + 5);
  SendMessageA(Page, WM_LBUTTONDOWN, MK_LBUTTON, At);
  SendMessageA(Page, WM_LBUTTONUP, 0, At);
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Text, "later");
}

TEST_F(MainFormTest, ShowingHidesTheSigningPage) {
  TfCertRequestAlt* F = Create();
  F->Show();
  EXPECT_FALSE(F->tsSignAndCrypt->TabVisible());
  EXPECT_FALSE(F->tsInfo->TabVisible());
  EXPECT_EQ(F->PageControl->ActivePage(), F->tsMain);
}

TEST_F(MainFormTest, EnterMovesToTheNextFieldButNotOutOfAnOpenList) {
  TfCertRequestAlt* F = Create();
  auto* Combo = new TComboBox(F);
  Combo->SetParent(F->tsInstallCert);
  Combo->SetBounds(8, 140, 200, 21);
  Combo->SetStyle(csDropDownList);
  for (const char* Item : {"Москва", "Тверь"}) Combo->Items()->Add(Item);
  F->Show();
  F->PageControl->SetActivePage(F->tsInstallCert);
  F->edtCertFileName->SetFocus();
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return F->ActiveControl() == Combo; }));
  Combo->SetDroppedDown(true);
  PressKey(VK_DOWN);
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !Combo->DroppedDown(); }));
  PumpFor(30);
  EXPECT_EQ(F->ActiveControl(), Combo) << "Enter belonged to the open list";
  PressKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return F->ActiveControl() == F->btnHelp; }));
}

TEST_F(MainFormTest, ClearAllEmptiesTheEditsAndResetsTheValidity) {
  TfCertRequestAlt* F = Create();
  F->edtCertFileName->SetText("C:\\cert.cer");
  F->reInfo->SetText("сведения");
  F->cbValidForMonths->SetItemIndex(5);
  F->btnClearAll->Click();
  EXPECT_EQ(F->edtCertFileName->Text(), "");
  EXPECT_EQ(F->reInfo->Text(), "");
  EXPECT_EQ(F->cbValidForMonths->ItemIndex(), 0);
}

TEST_F(MainFormTest, HelpOpensTheFileOrOffersTheWebSite) {
  TfCertRequestAlt* F = Create();
  Script.Answer(mrNo);
  F->btnHelp->Click();
  ASSERT_EQ(Script.Asked.size(), 1u) << "Отменить does nothing further";
  EXPECT_EQ(Script.Asked[0].Caption, "Внимание!");
  EXPECT_TRUE(Script.Asked[0].Text.starts_with("Файла со справкой не обнаружен.\r\n"));
  EXPECT_EQ(Script.Asked[0].Options, (std::vector<AnsiString>{"Перейти на сайт", "Отменить"}));

  Script.Answer(mrYes);
  F->btnHelp->Click();
  ASSERT_EQ(Script.Asked.size(), 3u);
  EXPECT_EQ(Script.Asked[2].Kind, TPromptKind::ShellOpen);
  EXPECT_EQ(Script.Asked[2].Text, DocumentationUrl);

  { TFileStream Help(Files.HelpFile, fmCreate); }
  F->btnHelp->Click();
  ASSERT_EQ(Script.Asked.size(), 4u);
  EXPECT_EQ(Script.Asked[3].Text, Files.HelpFile);
}

TEST_F(MainFormTest, ErrorsShowInTheErrorBoxAndAbortIsSilent) {
  TfCertRequestAlt* F = Create();
  F->Show();
  F->btnClearAll->OnClick = [](TObject*) { throw EConvertError("Неверный ИНН"); };
  F->btnOK->SetEnabled(true);
  F->btnOK->OnClick = [](TObject*) { Abort(); };
  Script.Asked.clear();
  // Clicks through the windows, so the exceptions cross a window procedure.
  for (TSButton* Button : {F->btnClearAll, F->btnOK}) {
    HWND Page = F->tsMain->Handle();
    LPARAM At = MAKELPARAM(Button->Left() + 5, Button->Top() + 5);
    SendMessageA(Page, WM_LBUTTONDOWN, MK_LBUTTON, At);
    SendMessageA(Page, WM_LBUTTONUP, 0, At);
  }
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::MessageDialog);
  EXPECT_EQ(Script.Asked[0].Text, "Неверный ИНН");
  EXPECT_EQ(Script.Asked[0].Caption, "Ошибка");
  EXPECT_EQ(Script.Asked[0].Flags, mtError);
  EXPECT_EQ(Script.Asked[0].Default, mrCancel);
  EXPECT_EQ(Script.Asked[0].Options, std::vector<AnsiString>{"Закрыть"});
}

TEST_F(MainFormTest, TheCloseButtonEndsTheProgram) {
  TfCertRequestAlt* F = nullptr;
  Local.CreateForm(F);
  EXPECT_TRUE(Script.Asked.empty()) << "the installed Morvel and minidriver pass";
  F->Show();
  F->Button2->Click();
  EXPECT_TRUE(Local.Terminated());
}

TEST_F(MainFormTest, AltWithACaptionsLetterSwitchesPagesChoosesTheOwnerTypeAndCloses) {
  TfCertRequestAlt* F = nullptr;
  Local.CreateForm(F);
  F->Show();
  F->rgCertOwnerType->SetItemIndex(-1);
  HWND Form = F->Handle();
  PressAlt('2');
  EXPECT_TRUE(PumpUntil([&] { return F->PageControl->ActivePage() == F->tsInstallCert; }));
  PostAltChar('н', Form);
  PumpFor(50);
  EXPECT_EQ(F->rgCertOwnerType->ItemIndex(), -1) << "a hidden page's controls keep still";
  PressAlt('3');
  PumpFor(50);
  EXPECT_EQ(F->PageControl->ActivePage(), F->tsInstallCert)
      << "the hidden signing page stays hidden";
  PressAlt('1');
  EXPECT_TRUE(PumpUntil([&] { return F->PageControl->ActivePage() == F->tsMain; }));
  PostAltChar('н', Form);
  EXPECT_TRUE(PumpUntil([&] { return F->rgCertOwnerType->ItemIndex() == 1; }))
      << "И&ндивидуальный предприниматель";
  PostAltChar('Р', Form);
  EXPECT_TRUE(PumpUntil([&] { return F->rgCertOwnerType->ItemIndex() == 0; }))
      << "Ю&ридическое лицо";
  EXPECT_FALSE(Local.Terminated());
  PostAltChar('к', Form);
  EXPECT_TRUE(PumpUntil([&] { return Local.Terminated(); })) << "За&крыть";
}

}  // namespace
