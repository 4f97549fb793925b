// Standard dialogs through the prompts: scripted answers, and the real
// input box driven by key strokes.
#include "forms/Dialogs.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "forms/Controls.h"
#include "forms/ScriptedPrompts.h"

namespace {

TEST(Dialogs, TheRealInputBoxTakesTypedTextOnEnterAndKeepsTheValueOnEsc) {
  AnsiString Pin = "40715382";
  Later([] {
    PressKey(VK_END);
    TypeText("9");
    PressKey(VK_RETURN);
  });
  ASSERT_TRUE(InputQuery("Укажите пин-код", "Ввод пин-кода", Pin));
  EXPECT_EQ(Pin, "407153829");

  Later([] {
    TypeText("1");
    PressKey(VK_ESCAPE);
  });
  EXPECT_FALSE(InputQuery("Укажите пин-код", "Ввод пин-кода", Pin));
  EXPECT_EQ(Pin, "407153829");
}

TEST(Dialogs, ScriptedPromptsAnswerAndRecordEveryQuestion) {
  TScriptedPrompts Script;
  Script.Answer(1, "12345678");
  Script.Answer(IDOK);
  Script.Answer(IDNO);
  Script.Answer(1, "C:\\req\\a.req");

  AnsiString Pin = "40715382";
  EXPECT_TRUE(InputQuery("Укажите пин-код", "Ввод пин-кода", Pin));
  EXPECT_EQ(Pin, "12345678");
  EXPECT_EQ(MessageDlg("Нет файла", mtError, {mbCancel}), mrCancel)
      << "the system's OK stands for the one button";
  EXPECT_EQ(MessageDlg("Перезаписать?", mtConfirmation, {mbYes, mbNo}), mrNo);
  TSaveDialog Save(nullptr);
  Save.Filter = "Запросы|*.req";
  Save.FileName = "a.req";
  EXPECT_TRUE(Save.Execute());
  EXPECT_EQ(Save.FileName, "C:\\req\\a.req");
  EXPECT_FALSE(Save.Execute()) << "no answer left: cancelled";

  ASSERT_EQ(Script.Asked.size(), 5u);
  EXPECT_EQ(Script.Asked[0].Caption, "Укажите пин-код");
  EXPECT_EQ(Script.Asked[0].Value, "40715382");
  EXPECT_EQ(Script.Asked[1].Kind, TPromptKind::MessageBox);
  EXPECT_EQ(Script.Asked[1].Caption, "Ошибка");
  EXPECT_EQ(Script.Asked[1].Flags, static_cast<int>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(Script.Asked[2].Flags, static_cast<int>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(Script.Asked[3].Kind, TPromptKind::SaveFile);
  EXPECT_EQ(Script.Asked[3].Text, "Запросы|*.req");
}

TEST(Dialogs, ShellOpenGoesThroughThePrompts) {
  TScriptedPrompts Script;
  ShellOpen("https://example.org/drivers");
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::ShellOpen);
  EXPECT_EQ(Script.Asked[0].Text, "https://example.org/drivers");
  EXPECT_EQ(Script.Asked[0].Value, "open");
}

}  // namespace
