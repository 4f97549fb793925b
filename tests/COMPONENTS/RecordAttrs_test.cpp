// The record attributes and level choice dialogs through their real
// windows, over a server-backed dataset opened without a table and filled
// from a fixture in the in-memory table's binary stream format.
#include "uRecordAttribs.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "KsTestKit.h"
#include "SDS.h"
#include "SDSPlainTable.h"
#include "ULevelChangeForm.h"
#include "forms/Clipbrd.h"
#include "forms/ScriptedPrompts.h"

namespace {

// 1 Отдел > 3 Иванов (list), 5 Цех > 6 Сидоров (list); 2 Склад > 9 Ящик
// (list); 8 Удалённый (deleted, owner 7). Owner 2 elsewhere.
AnsiString FixturePath() { return StringReplace("Z:" KS_FIXTURES "/level-tree.zmt", "/", "\\", rfReplaceAll); }

template <class T>
T* Active() {
  return dynamic_cast<T*>(Screen->ActiveForm());
}

void Click(TWinControl* Control) { SendMessageA(Control->Handle(), BM_CLICK, 0, 0); }

class RecordAttrsTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallRecordAttrsDialog();
    Tree.SetName("Tree");
    DefineHierarchy(Tree);
    Tree.SetAttachMaxCount(4);
    Tree.Open();
    Tree.LoadFromBinaryFile(FixturePath());
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
    Tree.SetLevelMode(dslmShowAll);
    Tree.BeforeEdit = [this](TDataSet*) { ++Edits; };
    Source.SetDataSet(&Tree);
  }
  void TearDown() override { SetRecordAttrsHook(nullptr); }
  void GoTo(const char* Name) { ASSERT_TRUE(Tree.Locate("NAME", Variant(Name), {})) << Name; }
  uint32_t StateOf(const char* Name) {
    return static_cast<uint32_t>(Tree.Lookup("NAME", Variant(Name), "SYS$STATE").AsInteger());
  }
  int ParentOf(const char* Name) { return Tree.Lookup("NAME", Variant(Name), "SYS$PID").AsInteger(); }
  // The dialog for the current record; Steps act on it once it is up.
  void Run(std::function<void(TfrmRecordAttrs*)> Steps) {
    Later([Steps] { Steps(Active<TfrmRecordAttrs>()); });
    Source.ShowRecordAttributes();
  }
  // The level choice from the dialog's menu item; Steps pick in it.
  void ChooseParent(TMenuItem* (TfrmRecordAttrs::*Item), std::function<void(TfrmLevelChoice*)> Steps) {
    Run([Item, Steps](TfrmRecordAttrs* Form) {
      Later([Steps, Form] {
        Steps(Active<TfrmLevelChoice>());
        Later([] { PressKey(VK_ESCAPE); });
      });
      (Form->*Item)->Click();
    });
  }
  static HTREEITEM Node(TfrmLevelChoice* Form, HTREEITEM Parent, const char* Text) {
    for (HTREEITEM child = Form->TreeView->FirstChild(Parent); child; child = Form->TreeView->NextSibling(child))
      if (Form->TreeView->NodeText(child) == Text) return child;
    return nullptr;
  }

  TScriptedPrompts Prompts;
  TSDS Tree{nullptr};
  TSDataSource Source{nullptr};
  int Edits = 0;
};

TEST_F(RecordAttrsTest, ADeletedRecordShowsItsAttributesAndIsRestored) {
  GoTo("Удалённый");
  AnsiString owner, id, time;
  bool level = false, deletedEnabled = false, deletedChecked = false, changeUser = true;
  Run([&](TfrmRecordAttrs* Form) {
    owner = Form->lblOwner->Caption();
    id = Form->lblID->Caption();
    time = Form->lblSYS_TIME->Caption();
    level = Form->rbLevelRecord->Checked() && !Form->rgListRecord->Checked();
    deletedEnabled = Form->chDeletedRecord->Enabled();
    deletedChecked = Form->chDeletedRecord->Checked();
    changeUser = Form->btnChangeUser->Enabled();
    Click(Form->chDeletedRecord);
    Click(Form->btnOk);
  });
  EXPECT_EQ(owner, " - ??? - ") << "no database of ours";
  EXPECT_FALSE(changeUser);
  EXPECT_EQ(id, "8");
  EXPECT_EQ(time.rfind("последнее изменение: ", 0), 0u) << time;
  EXPECT_TRUE(level);
  EXPECT_TRUE(deletedEnabled);
  EXPECT_TRUE(deletedChecked);
  EXPECT_EQ(StateOf("Удалённый"), 7u) << "restored, a level record still";
  EXPECT_EQ(Tree.State(), dsBrowse);
}

TEST_F(RecordAttrsTest, OkWithoutAChangeAndEscWriteNothing) {
  GoTo("Иванов");
  bool deletedEnabled = true;
  Run([&](TfrmRecordAttrs* Form) {
    deletedEnabled = Form->chDeletedRecord->Enabled();
    Click(Form->btnOk);
  });
  EXPECT_FALSE(deletedEnabled) << "a record cannot be deleted here";
  EXPECT_EQ(Edits, 0);
  EXPECT_EQ(Tree.State(), dsBrowse);
  Run([](TfrmRecordAttrs* Form) {
    Click(Form->rbLevelRecord);
    PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(Edits, 0);
  EXPECT_EQ(StateOf("Иванов"), 0x40000002u);
  // Switched to a level record for real.
  Run([](TfrmRecordAttrs* Form) {
    Click(Form->rbLevelRecord);
    Click(Form->btnOk);
  });
  EXPECT_EQ(StateOf("Иванов"), 2u);
}

TEST_F(RecordAttrsTest, TheMenuOpensBelowItsButton) {
  GoTo("Иванов");
  RECT menu{}, button{};
  Run([&](TfrmRecordAttrs* Form) {
    const POINT topLeft = Form->ClientToScreen({Form->btnCallMenu->Left(), Form->btnCallMenu->Top()});
    button = {topLeft.x, topLeft.y, topLeft.x + Form->btnCallMenu->Width(), topLeft.y + Form->btnCallMenu->Height()};
    Later([&] {
      if (HWND popup = FindWindowA("#32768", nullptr)) GetWindowRect(popup, &menu);
      PressKey(VK_ESCAPE);
      Later([] { PressKey(VK_ESCAPE); });
    });
    PostClickOn(Form->Handle(), {Form->btnCallMenu->Left() + 5, Form->btnCallMenu->Top() + 5});
  });
  EXPECT_EQ(menu.left, button.left);
  EXPECT_EQ(menu.top, button.bottom);
}

TEST_F(RecordAttrsTest, TheLevelChoiceOffersLevelRecordsAndMovesTheRecord) {
  GoTo("Иванов");
  std::vector<AnsiString> top;
  ChooseParent(&TfrmRecordAttrs::mChangeParentOne, [&](TfrmLevelChoice* Form) {
    HTREEITEM root = Form->TreeView->FirstChild(nullptr);
    for (HTREEITEM child = Form->TreeView->FirstChild(root); child; child = Form->TreeView->NextSibling(child))
      top.push_back(Form->TreeView->NodeText(child));
    Form->TreeView->Select(Node(Form, root, "Склад"));
    Click(Form->Ok);
  });
  EXPECT_EQ(top, (std::vector<AnsiString>{"Отдел", "Склад", "Удалённый"})) << "no list record";
  EXPECT_EQ(ParentOf("Иванов"), 2);
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Иванов");
}

TEST_F(RecordAttrsTest, ManyMovesExactlyTheMarkedRecords) {
  for (const char* name : {"Иванов", "Ящик"}) {
    GoTo(name);
    Source.Marker()->ToggleMark();
  }
  GoTo("Сидоров");
  ChooseParent(&TfrmRecordAttrs::mChangeParentMany, [&](TfrmLevelChoice* Form) {
    Form->TreeView->Select(Node(Form, Form->TreeView->FirstChild(nullptr), "Отдел"));
    Click(Form->Ok);
  });
  EXPECT_EQ(ParentOf("Иванов"), 1);
  EXPECT_EQ(ParentOf("Ящик"), 1);
  EXPECT_EQ(ParentOf("Сидоров"), 5);
  EXPECT_EQ(ParentOf("Цех"), 1);
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Сидоров") << "the position comes back";
}

TEST_F(RecordAttrsTest, ADoubleClickOnTheIdentityReplacesOnlyText) {
  GoTo("Цех");
  const auto doubleClick = [](TfrmRecordAttrs* Form) {
    const LPARAM at = MAKELPARAM(Form->lblID->Left() + 2, Form->lblID->Top() + 2);
    SendMessageA(Form->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(Form->Handle(), WM_LBUTTONUP, 0, at);
    PressKey(VK_ESCAPE);
  };
  Clipboard()->SetAsText("старое");
  Run(doubleClick);
  EXPECT_EQ(Clipboard()->AsText(), "5");
  Clipboard()->Clear();
  Run(doubleClick);
  EXPECT_EQ(CountClipboardFormats(), 0);
}

TEST_F(RecordAttrsTest, WithoutAStringFieldTheChoiceIsRefused) {
  TSDS plain(nullptr);
  plain.FieldDefs()->Add("SYS$ID", ftLargeint);
  plain.FieldDefs()->Add("SYS$PID", ftInteger);
  plain.FieldDefs()->Add("SYS$STATE", ftInteger);
  plain.SetAttachMaxCount(4);
  plain.Open();
  plain.Append();
  plain.Post();
  Source.SetDataSet(&plain);
  Prompts.Answer(mrCancel);
  Run([](TfrmRecordAttrs* Form) {
    Form->mChangeParentOne->Click();
    PressKey(VK_ESCAPE);
  });
  ASSERT_EQ(Prompts.Asked.size(), 1u);
  EXPECT_EQ(Prompts.Asked[0].Text, "Нет поля для визуализации");
}

TEST_F(RecordAttrsTest, NoFreeAttachSlotReportsTheErrorAndMovesNothing) {
  Tree.Close();
  Tree.SetAttachMaxCount(1);
  Tree.Open();
  Tree.LoadFromBinaryFile(FixturePath());
  GoTo("Иванов");
  AnsiString reported;
  Application->OnException = [&](TObject*, Exception* E) { reported = E->Message(); };
  // The first item of the menu below the button.
  Run([](TfrmRecordAttrs* Form) {
    Later([] {
      PressKey(VK_DOWN);
      PressKey(VK_RETURN);
      Later([] { PressKey(VK_ESCAPE); });
    });
    PostClickOn(Form->Handle(), {Form->btnCallMenu->Left() + 5, Form->btnCallMenu->Top() + 5});
  });
  Application->OnException = nullptr;
  EXPECT_FALSE(reported.empty());
  EXPECT_EQ(ParentOf("Иванов"), 1);
}

}  // namespace
