// In the Windows build the dataset layer asks through the forms layer's
// prompts, which tests script.
#include <windows.h>

#include "SDataPrompts.h"

#include <gtest/gtest.h>

#include "forms/ScriptedPrompts.h"

namespace {

TEST(SDataPrompts, AskThroughTheFormsLayer) {
  TScriptedPrompts prompts;
  prompts.Answer(IDYES);
  prompts.Answer(IDNO);
  prompts.Answer(IDOK);
  EXPECT_TRUE(DataPrompts().AskYesNo("Вопрос?"));
  EXPECT_FALSE(DataPrompts().AskYesNo("Вопрос?"));
  DataPrompts().ShowMessage("Сообщение");
  ASSERT_EQ(prompts.Asked.size(), 3u);
  EXPECT_EQ(prompts.Asked[0].Text, "Вопрос?");
  EXPECT_EQ(prompts.Asked[0].Flags & MB_YESNO, MB_YESNO);
  EXPECT_EQ(prompts.Asked[2].Text, "Сообщение");
}

}  // namespace
