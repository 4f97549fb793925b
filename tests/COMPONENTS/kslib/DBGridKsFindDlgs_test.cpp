// The find dialog as a real window typed into, over the goods grid: Enter
// finds and the grid's current cell is the match, the next Enter finds the
// next one, Ctrl reverses, "Все" with Ctrl starts at the last record, case
// and the column, a miss shows its message and leaves the grid, Esc closes.
#include "COMPONENTS/kslib/DBGridKsFindDlgs.h"

#include <gtest/gtest.h>

#include "GridForm.h"
#include "forms/ScriptedPrompts.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

struct TFindForm : TGridForm<> {
  TDBGridKsFindDlg* Dialog = nullptr;

  // Opens the dialog modeless with the text, the grid on record Id in the
  // data column.
  void Open(const char* Text, int Id = 1, int DataCol = 0) {
    Show();
    Data.SetRecNo(Id);
    Grid->SetCol(Grid->DataToRawColumn(DataCol));
    ExecuteDBGridKsFindDialog(Grid, Text, false);
    Dialog = DBGridKsFindDlg();
    EXPECT_TRUE(PumpUntilFocused(Dialog->cbText->Handle()));
  }
  void Key(WORD Code, std::initializer_list<WORD> Modifiers = {}) {
    PostKey(Code, Modifiers);
    PumpFor(40);
  }
  // "record:column" where the grid stands.
  std::string Cell() {
    return Data.FieldByName("Id")->AsString() + ":" +
           Grid->Columns()->Items(Grid->SelectedIndex())->FieldName();
  }
  void Choose(TDBComboBoxKs* Combo, const char* Item) {
    Combo->SetItemValue(Combo->Items()->IndexOf(Item));
  }
};

TEST(DBGridFindDialog, EnterFindsTheNextMatchAndCtrlReverses) {
  TFindForm F;
  F.Open("item1", 5);
  EXPECT_TRUE(IsWindowVisible(F.Dialog->Handle()));
  EXPECT_EQ(F.Dialog->cbFindIn->Text(), AnsiString("Id")) << "the grid's column is chosen";
  F.Choose(F.Dialog->cbFindIn, "<All>");
  ASSERT_EQ(F.Dialog->SearchColumns().size(), 4u);
  F.Dialog->cbText->SetFocus();
  const struct {
    std::initializer_list<WORD> Modifiers;
    const char* Cell;
  } Steps[] = {{{}, "1:Name"},  // "Все" starts at the first record
               {{}, "10:Name"},
               {{}, "11:Name"},
               {{VK_CONTROL}, "10:Name"},
               {{VK_CONTROL}, "1:Name"}};
  for (const auto& S : Steps) {
    F.Key(VK_RETURN, S.Modifiers);
    EXPECT_EQ(F.Cell(), S.Cell);
  }
  EXPECT_EQ(F.Dialog->cbText->Items()->IndexOf("item1"), 0) << "the text joins the list once";
  EXPECT_EQ(F.Dialog->cbText->Items()->Count(), 1);
  F.Key(VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(F.Dialog->Handle()));
}

TEST(DBGridFindDialog, AllWithCtrlOnTheFirstSearchStartsAtTheLastRecord) {
  TFindForm F;
  F.Open("item", 3);
  F.Choose(F.Dialog->cbFindIn, "Name");
  F.Dialog->cbText->SetFocus();
  F.Key(VK_RETURN, {VK_CONTROL});
  EXPECT_EQ(F.Cell(), "20:Name");
  F.Key(VK_RETURN, {VK_CONTROL});
  EXPECT_EQ(F.Cell(), "19:Name");
  // Left open on purpose: the dialog outlives the form it was opened from,
  // and the next test opens it again from another form.
}

TEST(DBGridFindDialog, TheGridLandsOnTheMatchedColumnWithAndWithoutCase) {
  TFindForm F;
  F.Open("ITEM7", 1, 3);
  F.Choose(F.Dialog->cbFindIn, "<All>");
  F.Dialog->cbText->SetFocus();
  F.Key(VK_RETURN);
  EXPECT_EQ(F.Cell(), "7:Name");

  F.Grid->SetCol(F.Grid->DataToRawColumn(3));
  F.Data.SetRecNo(1);
  F.Dialog->cbCharCase->SetChecked(true);
  F.Dialog->cbText->SetText("item8");
  F.Dialog->cbText->SetFocus();
  F.Key(VK_RETURN);
  EXPECT_EQ(F.Cell(), "8:Name") << "a case-sensitive match moves the column too";
  F.Dialog->cbCharCase->SetChecked(false);
  F.Key(VK_ESCAPE);
}

TEST(DBGridFindDialog, ColumnChoicesReplaceTheGridsColumns) {
  TFindForm F;
  F.Show();
  F.Data.SetRecNo(1);
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  TColumnKs* Qty = F.Grid->Columns()->Items(3);
  const TFindColumnChoicesKs Choices{{"Наименование", Name}, {"Количество", Qty}};
  ExecuteDBGridKsFindDialog(F.Grid, "30", false, &Choices);
  TDBGridKsFindDlg* Dialog = DBGridKsFindDlg();
  PumpUntilFocused(Dialog->cbText->Handle());
  TStrings* Items = Dialog->cbFindIn->Items();
  ASSERT_EQ(Items->Count(), 3);
  EXPECT_EQ(Items->Strings(0), AnsiString("Наименование"));
  EXPECT_EQ(Items->Strings(2), AnsiString("<All>"));
  const TColumnsKsList& Searched = Dialog->SearchColumns();
  EXPECT_EQ(std::vector<TColumnKs*>(Searched.begin(), Searched.end()),
            (std::vector<TColumnKs*>{Name, Qty}))
      << "nothing chosen: all of them";
  F.Key(VK_RETURN);
  EXPECT_EQ(F.Cell(), "3:Qty") << "Id and Price are not searched";
  F.Key(VK_ESCAPE);
}

TEST(DBGridFindDialog, AMissShowsItsMessageAndLeavesTheGridWhereItBegan) {
  TScriptedPrompts Prompts;
  TFindForm F;
  F.Open("нет такого", 6, 1);
  F.Choose(F.Dialog->cbFindIn, "<All>");
  F.Dialog->cbText->SetFocus();
  int TopRow = F.Grid->TopRow();
  F.Key(VK_RETURN);
  ASSERT_EQ(Prompts.Asked.size(), 1u);
  EXPECT_EQ(Prompts.Asked[0].Text, AnsiString("Строка \"нет такого\" не найдена."));
  EXPECT_EQ(F.Cell(), "6:Name");
  EXPECT_EQ(F.Grid->TopRow(), TopRow);
  F.Key(VK_ESCAPE);
}

TEST(DBGridFindDialog, TheGridsFindKeyOpensTheDialogOnceInstalled) {
  TScriptedPrompts Prompts;  // a miss would otherwise wait on a real box
  TFindForm F;
  F.Show();
  F.Data.SetRecNo(1);
  F.Grid->SetCol(F.Grid->DataToRawColumn(1));
  bool Opened = false;
  Later([&] {
    Opened = DBGridKsFindDlg() && IsWindowVisible(DBGridKsFindDlg()->Handle());
    // Ctrl of the find key is let go before typing into the dialog.
    BYTE State[256];
    GetKeyboardState(State);
    State[VK_CONTROL] = 0;
    SetKeyboardState(State);
    PostText("item5");
    PostKey(VK_RETURN);
    PostKey(VK_ESCAPE);
  });
  InstallFindDialogHook();
  F.Key(VK_F3, {VK_CONTROL});
  ShowFindDialogProc = nullptr;
  EXPECT_TRUE(Opened);
  EXPECT_TRUE(Prompts.Asked.empty());
  EXPECT_EQ(F.Cell(), "5:Name");
  EXPECT_FALSE(IsWindowVisible(DBGridKsFindDlg()->Handle()));
}

// A grid whose flag answers false gets the dialog modeless.
struct TModelessFindGrid : TDBGridKs {
  using TDBGridKs::TDBGridKs;
  bool FindDialogFlag() override { return false; }
};

TEST(DBGridFindDialog, TheGridsFlagChoosesBetweenModalAndModeless) {
  TScriptedPrompts Prompts;
  TGridForm<TModelessFindGrid> F;
  F.Show();
  bool Modal = false;
  // A modal dialog would hold the find key until this closes it.
  Later(
      [&] {
        Modal = DBGridKsFindDlg()->Modal();
        if (Modal) PostKey(VK_ESCAPE);
      },
      300);
  InstallFindDialogHook();
  PostKey(VK_F3, {VK_CONTROL});
  PumpFor(400);
  ShowFindDialogProc = nullptr;
  EXPECT_FALSE(Modal);
  ASSERT_TRUE(DBGridKsFindDlg());
  EXPECT_TRUE(IsWindowVisible(DBGridKsFindDlg()->Handle()));
  DBGridKsFindDlg()->Close();
}

TEST(DBGridFindDialog, AModalDialogFindsAndClosesWithEscape) {
  TScriptedPrompts Prompts;
  TFindForm F;
  F.Show();
  F.Data.SetRecNo(2);
  F.Grid->SetCol(F.Grid->DataToRawColumn(1));
  Later([] {
    PostKey(VK_RETURN);
    PostKey(VK_ESCAPE);
  });
  ExecuteDBGridKsFindDialog(F.Grid, "item4", true);
  EXPECT_EQ(F.Cell(), "4:Name");
  EXPECT_FALSE(IsWindowVisible(DBGridKsFindDlg()->Handle()));
}

}  // namespace
