// The main form's signing buttons and token buttons with the installed
// Morvel, which exports none of the further entry points: each one says so
// (a per-call routine names the entry point, a session operation fails)
// and writes nothing.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/uCertReqAlt.h"
#include "app/uMorvelBinding.h"
#include "forms/ScriptedPrompts.h"
#include "rtl/OsShim.h"
#include "rtl/Streams.h"

namespace {

AnsiString BinDir() { return ExtractFilePath(ExeFileName()); }

TEST(SignPageWithMorvel, EveryButtonSaysWhatIsMissing) {
  const AnsiString Folder = BinDir() + "signpage_morvel_test\\";
  std::filesystem::remove_all(Folder.c_str());
  std::filesystem::create_directories(Folder.c_str());
  const AnsiString Report = Folder + "report.xml", Cert = Folder + "recipient.cer";
  for (const AnsiString& Name : {Report, Cert}) {
    TFileStream File(Name, fmCreate);
    File.WriteBuffer("data", 4);
  }

  TApplication Local(nullptr);
  TApplication* Saved = Application;
  Application = &Local;
  TScriptedPrompts Script;
  TfCertRequestAlt* Form = nullptr;
  Local.CreateForm(Form);
  ASSERT_TRUE(Script.Asked.empty()) << "the installed Morvel and minidriver pass";
  TModuleHandle Morvel = GetLoadedModule(MorvelLibraryName());
  ASSERT_TRUE(Morvel && FindExport(Morvel, "GenCertRequestsEKU"));
  ASSERT_FALSE(FindExport(Morvel, "InitSession"));
  Form->edtCertFileName->SetText(Cert);

  const char* const Missing = "Не найдена точка входа: ";
  const TPromptAnswer File{1, Report}, Certificate{1, Cert}, Pin{1, "40715382"};
  struct {
    TSButton* Button;
    std::vector<TPromptAnswer> Answers;
    AnsiString Said;
  } Cases[] = {
      {Form->btnSignFile, {File, {mrYes, ""}}, Missing + AnsiString("GetTokenCertificates")},
      {Form->btnSignAndCrypt, {File}, Missing + AnsiString("GetTokenCertificates")},
      {Form->btnCryptFile, {File, Certificate, Pin}, "Ошибка шифрования!"},
      {Form->btnSignAndCrypt2, {File, Certificate, Certificate, Pin}, "Ошибка ЭП!"},
      {Form->btnDecrypt, {File, Certificate, Pin}, "Ошибка расшифрования!"},
      {Form->btnCheckSign, {File, Pin}, "Fail"},
      {Form->btnCheckDetachedSign, {File, File, Pin}, "Fail"},
      {Form->btnFindInDir, {}, Missing + AnsiString("GetTokenPublicKeys")},
      {Form->btnGetCertInfo, {{mrYes, ""}}, Missing + AnsiString("GetTokenCertificates")},
      {Form->btnGetCertInfo, {{mrNo, ""}}, Missing + AnsiString("GetTokenCertificatesPKI")},
      {Form->btnTestSign, {{mrYes, ""}, Pin}, Missing + AnsiString("GetSign")},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Button->Name());
    Script.Asked.clear();
    Script.Answers.assign(C.Answers.begin(), C.Answers.end());
    // As a click through the window: what it raises goes to the error box.
    try {
      C.Button->Click();
    } catch (...) {
      Local.HandleException(C.Button);
    }
    ASSERT_EQ(Script.Asked.size(), C.Answers.size() + 1);
    EXPECT_EQ(Script.Asked.back().Text, C.Said);
    EXPECT_EQ(Form->StatusBar->SimpleText(), "");
  }
  for (const char* Output : {".p7s", ".sig.zip.enc", ".p7e", ".orj"})
    EXPECT_FALSE(FileExists(Report + Output)) << Output;
  EXPECT_EQ(GetLoadedModule(MorvelLibraryName()), Morvel) << "still loaded from start-up";

  delete Form;
  Application = Saved;
  std::filesystem::remove_all(Folder.c_str());
}

}  // namespace
