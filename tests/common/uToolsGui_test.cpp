// The workstation's message dialog, driven through its real window, and
// the Windows tools beside it.
#include "common/uToolsGui.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "FormsTestKit.h"
#include "common/RusClipboard.h"
#include "common/uTools.h"
#include "forms/ExtCtrls.h"
#include "forms/ScriptedPrompts.h"
#include "forms/StdCtrls.h"
#include "rtl/Streams.h"

namespace {

const TMsgDlgButtons YesNoCancel{mbYes, mbNo, mbCancel};
const std::vector<AnsiString> ThreeCaptions{"Перейти на сайт с драйверами",
                                            "Продолжить формирование", "Отменить"};

template <class T>
T* Find(TComponent* Form, const char* Name) {
  return dynamic_cast<T*>(Form->FindComponent(Name));
}

TEST(MessageDialog, KeysAndTheCloseBoxGiveTheButtonsResults) {
  struct Case {
    std::function<void()> Keys;
    int Result;
  } Cases[] = {
      {[] { PressKey(VK_RETURN); }, mrYes},
      {[] { PressKey(VK_TAB), PressKey(VK_RETURN); }, mrNo},
      {[] { PressKey(VK_ESCAPE); }, mrCancel},
      {[] { PostMessageA(GetActiveWindow(), WM_CLOSE, 0, 0); }, mrCancel},
  };
  for (const Case& C : Cases) {
    Later(C.Keys);
    EXPECT_EQ(ShowMessageDialog("Текст", mtConfirmation, "Старые драйверы Токвел", YesNoCancel,
                                mbYes, ThreeCaptions),
              C.Result);
  }
  Later([] { PressKey(VK_ESCAPE); });
  EXPECT_EQ(ShowMessageDialog("Готово", mtInformation, "", {mbOK}, mbOK, {"Закрыть"}), mrOk)
      << "Esc presses the only button";
}

TEST(MessageDialog, ButtonsShareTheWidestCaptionsWidth) {
  std::unique_ptr<TMessageForm> Form(
      BuildMessageForm("Текст", mtConfirmation, YesNoCancel, mbNo, ThreeCaptions, {}));
  auto* Yes = Find<TButton>(Form.get(), "Yes");
  auto* No = Find<TButton>(Form.get(), "No");
  auto* Cancel = Find<TButton>(Form.get(), "Cancel");
  ASSERT_TRUE(Yes && No && Cancel);
  TWindowDC DC;
  TSelectObject Font(DC.Get(), Form->Font()->Handle());
  int Widest = 0;
  for (const AnsiString& Caption : ThreeCaptions) {
    RECT R{};
    DrawTextA(DC.Get(), Caption.c_str(), -1, &R, DT_CALCRECT | DT_SINGLELINE);
    Widest = std::max(Widest, static_cast<int>(R.right));
  }
  EXPECT_EQ(Yes->Width(), Widest + 16);
  EXPECT_EQ(No->Width(), Yes->Width());
  EXPECT_EQ(Cancel->Width(), Yes->Width());
  EXPECT_EQ(No->Caption(), "Продолжить формирование");
  EXPECT_TRUE(No->Default());
  EXPECT_EQ(Form->ActiveControl(), No);
  EXPECT_TRUE(Cancel->Cancel());
  EXPECT_EQ(Yes->ModalResult(), mrYes);
  EXPECT_EQ(Cancel->Top(), Yes->Top());
  EXPECT_EQ(Cancel->Left() - No->Left(), No->Left() - Yes->Left());
  EXPECT_EQ(Form->Caption(), "Подтверждение");
  EXPECT_NE(Find<TImage>(Form.get(), "Image"), nullptr);
}

TEST(MessageDialog, TheFormTalksInTheSystemsMessageFont) {
  NONCLIENTMETRICSA Metrics{};
  Metrics.cbSize = sizeof Metrics;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0));
  TMessageForm Form(Application);
  EXPECT_EQ(Form.Font()->Name(), Metrics.lfMessageFont.lfFaceName);
  EXPECT_EQ(Form.Font()->Height(), Metrics.lfMessageFont.lfHeight);
  LOGFONTA Drawn{};
  ASSERT_NE(GetObjectA(Form.Font()->Handle(), sizeof Drawn, &Drawn), 0);
  EXPECT_STREQ(Drawn.lfFaceName, Metrics.lfMessageFont.lfFaceName);
}

// A missing caption used to be read past the end of the list.
TEST(MessageDialog, AMissingCaptionFallsBackToTheUsualOne) {
  std::unique_ptr<TMessageForm> Form(
      BuildMessageForm("Текст", mtWarning, YesNoCancel, mbYes, {"Да, конечно"}, {"подсказка"}));
  EXPECT_EQ(Find<TButton>(Form.get(), "Yes")->Caption(), "Да, конечно");
  EXPECT_EQ(Find<TButton>(Form.get(), "Yes")->Hint(), "подсказка");
  EXPECT_EQ(Find<TButton>(Form.get(), "No")->Caption(), "&Нет");
  EXPECT_EQ(Find<TButton>(Form.get(), "Cancel")->Caption(), "Отмена");
  EXPECT_EQ(Find<TButton>(Form.get(), "No")->Hint(), "");
}

TEST(MessageDialog, TallTextGoesIntoAScrollBoxAndTheFormStaysOnScreen) {
  AnsiString Tall;
  for (int I = 0; I < 200; ++I) Tall += "Строка " + IntToStr(I) + "\r\n";
  std::unique_ptr<TMessageForm> Form(
      BuildMessageForm(Tall, mtError, {mbOK}, mbOK, {"Закрыть"}, {}));
  auto* Scroll = Find<TScrollBox>(Form.get(), "Scroll");
  ASSERT_NE(Scroll, nullptr);
  EXPECT_GE(Form->Top(), 0);
  EXPECT_LE(Form->Height(), Screen->Height());
  auto* Message = Find<TLabel>(Form.get(), "Message");
  ASSERT_NE(Message, nullptr);
  EXPECT_EQ(Message->Parent(), Scroll);
  EXPECT_LE(Message->Width(), Scroll->Width() - 20);
  EXPECT_GT(Message->Height(), Scroll->Height());
  Form->Show();
  EXPECT_GT(Scroll->VertScrollBar()->Range(), Scroll->ClientHeight());
  EXPECT_TRUE(GetWindowLongA(Scroll->Handle(), GWL_STYLE) & WS_VSCROLL);

  std::unique_ptr<TMessageForm> Short(
      BuildMessageForm("Одна строка", mtCustom, {mbOK}, mbOK, {"OK"}, {}));
  EXPECT_EQ(Find<TScrollBox>(Short.get(), "Scroll"), nullptr);
  EXPECT_EQ(Find<TImage>(Short.get(), "Image"), nullptr) << "the custom type has no icon";
  EXPECT_EQ(Short->Caption(), Application->Title());
}

TEST(MessageDialog, GoesThroughThePrompts) {
  TScriptedPrompts Script;
  Script.Answer(mrNo);
  EXPECT_EQ(ShowMessageDialog("Текст", mtConfirmation, "Вопрос", YesNoCancel, mbYes, ThreeCaptions),
            mrNo);
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::MessageDialog);
  EXPECT_EQ(Script.Asked[0].Caption, "Вопрос");
  EXPECT_EQ(Script.Asked[0].Options, ThreeCaptions);
  EXPECT_EQ(Script.Asked[0].Flags, mtConfirmation);
  EXPECT_EQ(Script.Asked[0].Default, mrYes);
}

TEST(Clipboard, TextGoesWithTheRussianLocale) {
  CopyTextToClipboard("Сертификат №1");
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE Text = GetClipboardData(CF_TEXT);
  HANDLE Locale = GetClipboardData(CF_LOCALE);
  ASSERT_TRUE(Text && Locale);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(Text)), "Сертификат №1");
  GlobalUnlock(Text);
  EXPECT_EQ(*static_cast<const int32_t*>(GlobalLock(Locale)), 1049);
  GlobalUnlock(Locale);
  CloseClipboard();
}

TEST(Clipboard, ClickingTheMessageCopiesIt) {
  std::unique_ptr<TMessageForm> Form(
      BuildMessageForm("Скопируй меня", mtInformation, {mbOK}, mbOK, {"OK"}, {}));
  Clipboard()->SetAsText("другое");
  Form->Show();
  auto* Message = Find<TLabel>(Form.get(), "Message");
  POINT P{Message->Left() + 2, Message->Top() + 2};
  SendMessageA(Form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(P.x, P.y));
  SendMessageA(Form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(P.x, P.y));
  EXPECT_EQ(Clipboard()->AsText(), "Скопируй меня");
}

TEST(Tools, ConfirmOverwriteAsksOnlyForAnExistingFile) {
  const AnsiString Path = ExtractFilePath(ExeFileName()) + "confirm_overwrite.req";
  std::filesystem::remove(Path);
  TScriptedPrompts Script;
  Script.Answer(IDNO);
  Script.Answer(IDYES);
  EXPECT_TRUE(ConfirmOverwrite("first", Path));
  EXPECT_TRUE(Script.Asked.empty());
  EXPECT_FALSE(ConfirmOverwrite("second", Path));
  EXPECT_EQ(ReadFileToString(Path), "first");
  EXPECT_TRUE(ConfirmOverwrite("third", Path));
  EXPECT_EQ(ReadFileToString(Path), "third");
  ASSERT_EQ(Script.Asked.size(), 2u);
  EXPECT_EQ(Script.Asked[0].Text, "Файл с именем " + Path + " уже существует.\r\nПерезаписать?");
  EXPECT_EQ(Script.Asked[0].Flags, static_cast<int>(MB_YESNO | MB_ICONQUESTION));
  std::filesystem::remove(Path);
}

TEST(Tools, SelectFolderStartsEmptyForAMissingFolder) {
  TScriptedPrompts Script;
  Script.Answer(0);
  Script.Answer(1, "C:\\windows");
  AnsiString Dir = "C:\\no\\such\\folder";
  EXPECT_FALSE(SelectFolder("Укажите каталог", u"", Dir));
  EXPECT_EQ(Dir, "");
  EXPECT_EQ(Script.Asked[0].Value, "");
  Dir = "C:\\windows\\system32";
  EXPECT_TRUE(SelectFolder("Укажите каталог", u"", Dir));
  EXPECT_EQ(Script.Asked[1].Value, "C:\\windows\\system32");
  EXPECT_EQ(Dir, "C:\\windows");
}

TEST(Tools, ListFilesNamesTheMatchingFilesOnly) {
  const AnsiString Dir = ExtractFilePath(ExeFileName()) + "list_files";
  std::filesystem::remove_all(Dir);
  std::filesystem::create_directories(Dir + "\\sub.cer");
  for (const char* Name : {"a.cer", "b.cer", "c.txt"}) TFileStream(Dir + "\\" + Name, fmCreate);
  std::vector<AnsiString> Names{"stale"};
  ListFiles(Dir, "*.cer", 0, Names);
  std::sort(Names.begin(), Names.end());
  EXPECT_EQ(Names, (std::vector<AnsiString>{"a.cer", "b.cer"}));
  std::filesystem::remove_all(Dir);
}

}  // namespace
