// The grid's answers around its editor under Wine: key lists, masks, when
// the editor shows and may change a cell, leaving the grid, and a column's
// own popup menu.
#include <gtest/gtest.h>

#include "CityGridForm.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

namespace {

const auto* const Unit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

constexpr int NameCol = 1, QtyCol = 2, KindCol = 3, BornCol = 4;

void UseKindNames(TCityGridForm& F) {
  TColumnKs* Kind = F.Grid->Columns()->Items(KindCol - 1);
  Kind->KeyList()->Add("1");
  Kind->KeyList()->Add("2");
  Kind->PickList()->Add("one");
  Kind->PickList()->Add("two");
}

TEST(DBGridEditing, AKeyListShowsItsPickEntryAndWritesTheKeyOfTheTypedOne) {
  TCityGridForm F;
  UseKindNames(F);
  F.Show();
  F.Grid->SetCol(KindCol);
  F.Key(VK_F2);
  ASSERT_TRUE(F.Grid->EditorMode());
  EXPECT_EQ(F.Grid->InplaceEditor()->Text(), "two") << "the first record's key is 2";
  PostText("one");
  F.Key(VK_TAB);
  EXPECT_EQ(F.Table.FieldByName("Kind")->AsInteger(), 1);
  EXPECT_EQ(F.Grid->Col(), KindCol + 1);
}

TEST(DBGridEditing, ADateFieldGetsTheDateMaskAndOthersNone) {
  TCityGridForm F;
  F.Show();
  F.Grid->SetCol(BornCol);
  F.Key(VK_F2);
  ASSERT_TRUE(F.Grid->EditorMode());
  EXPECT_EQ(F.Grid->InplaceEditor()->EditMask(), "00.00.00##");
  F.Key(VK_ESCAPE);
  F.Table.FieldByName("Born")->SetEditMask("!99/99/0000;1;_");
  F.Key(VK_F2);
  EXPECT_EQ(F.Grid->InplaceEditor()->EditMask(), "!99/99/0000;1;_") << "the field's own wins";
  F.Key(VK_ESCAPE);
  F.Grid->Columns()->Items(BornCol - 1)->EditMask = "00.00.0000";
  F.Key(VK_F2);
  EXPECT_EQ(F.Grid->InplaceEditor()->EditMask(), "00.00.0000") << "the column's before the field's";
  F.Key(VK_ESCAPE);
  F.Grid->SetCol(QtyCol);
  F.Key(VK_F2);
  EXPECT_EQ(F.Grid->InplaceEditor()->EditMask(), "");
}

TEST(DBGridEditing, AnUnlistedTextIsWrittenWhenTheNotInListHandlerListsIt) {
  TCityGridForm F;
  UseKindNames(F);
  TColumnKs* Kind = F.Grid->Columns()->Items(KindCol - 1);
  std::vector<AnsiString> Asked;
  bool Lists = false;
  Kind->OnNotInList = [&](TObject*, const AnsiString& Text, bool& Recheck) {
    Asked.push_back(Text);
    if (!Lists) return;
    Kind->PickList()->Add(Text);
    Kind->KeyList()->Add("3");
    Recheck = true;
  };
  F.Show();
  F.Grid->SetCol(KindCol);
  for (bool Listing : {false, true}) {
    Lists = Listing;
    F.Key(VK_F2);
    ASSERT_TRUE(F.Grid->EditorMode());
    F.Grid->InplaceEditor()->SelectAll();
    PostText("three");
    F.Key(VK_TAB);
    EXPECT_EQ(F.Table.FieldByName("Kind")->IsNull(), !Listing) << Listing;
    if (Listing) {
      EXPECT_EQ(F.Table.FieldByName("Kind")->AsInteger(), 3);
    }
    F.Grid->SetCol(KindCol);
  }
  EXPECT_EQ(Asked, (std::vector<AnsiString>{"three", "three"}));
}

TEST(DBGridEditing, NoEditorOverARectangleThatKeysWouldClear) {
  for (bool ClearSelection : {true, false}) {
    TCityGridForm F;
    F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
    F.Grid->SetAllowedSelections({gstRectangle});
    if (!ClearSelection)
      F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghClearSelection});
    F.Show();
    F.Key(VK_RIGHT, {VK_SHIFT});
    ASSERT_EQ(F.Grid->Selection()->SelectionType(), gstRectangle);
    F.Key(VK_F2);
    EXPECT_EQ(F.Grid->EditorMode(), !ClearSelection) << ClearSelection;
  }
}

// A read-only grid, link or field, and a column that refuses edits, leave
// the record as it was, also in a column that edits through a list.
TEST(DBGridEditing, ARefusedCellLeavesNeitherAnEditNorAModifiedLink) {
  for (int Case = 0; Case < 4; ++Case) {
    TCityGridForm F;
    TColumnKs* Name = F.Grid->Columns()->Items(0);
    Name->PickList()->Add("Москва");
    Name->PickList()->Add("Тверь");
    F.Show();
    F.Grid->SetCol(NameCol);
    F.Key(VK_F2);
    if (Case == 0) F.Grid->SetReadOnly(true);
    if (Case == 1) F.Grid->DataLink()->SetReadOnly(true);
    if (Case == 2) F.Table.FieldByName("Name")->SetReadOnly(true);
    if (Case == 3) F.Grid->SetAllowedOperations({alopInsertKs, alopDeleteKs, alopAppendKs});
    if (!F.Grid->EditorMode()) F.Key(VK_F2);
    PostText("x");
    PumpFor(20);
    EXPECT_EQ(F.Table.State(), dsBrowse) << Case;
    EXPECT_FALSE(F.Grid->DataLink()->IsModified()) << Case;
    EXPECT_EQ(F.Name(), "Москва") << Case;
  }
}

TEST(DBGridEditing, LeavingTheGridDropsAnUntouchedNewRecordOnly) {
  TCityGridForm F;
  auto* Other = new TEdit(F.Form);
  Other->SetParent(F.Form);
  Other->SetBounds(5, 262, 100, 21);
  F.Show();
  F.Key(VK_INSERT);
  ASSERT_EQ(F.Table.State(), dsInsert);
  Other->SetFocus();
  PumpUntilFocused(Other->Handle());
  EXPECT_EQ(F.Table.State(), dsBrowse);
  EXPECT_EQ(F.Table.RecordCount(), 30);

  F.Grid->SetFocus();
  PumpUntilFocused(F.Grid->Handle());
  F.Key(VK_INSERT);
  F.Grid->SetCol(QtyCol);
  PostText("7");
  PumpFor(20);
  Other->SetFocus();
  PumpUntilFocused(Other->Handle());
  EXPECT_EQ(F.Table.State(), dsInsert) << "a touched record stays";
  EXPECT_EQ(F.Table.FieldByName("Qty")->AsInteger(), 7) << "with the typed value";
}

class TRecordingMenu : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  int Popups = 0;
  void Popup(int, int) override { ++Popups; }
};

TEST(DBGridEditing, ARightReleaseOverAColumnWithItsOwnMenuShowsThatMenu) {
  TCityGridForm F;
  auto* Own = new TRecordingMenu(F.Form);
  auto* GridMenu = new TRecordingMenu(F.Form);
  F.Grid->Columns()->Items(1)->SetPopupMenu(Own);
  F.Grid->SetPopupMenu(GridMenu);
  F.Show();
  auto RightClick = [&](int Col) {
    POINT P = F.CellCenter(Col, F.Grid->TitleOffset() + 1);
    F.Mouse(WM_RBUTTONDOWN, P, MK_RBUTTON);
    F.Mouse(WM_RBUTTONUP, P);
    PumpFor(30);
  };
  RightClick(QtyCol);
  EXPECT_EQ(Own->Popups, 1);
  EXPECT_EQ(Own->PopupComponent, F.Grid);
  EXPECT_EQ(GridMenu->Popups, 0);
  RightClick(NameCol);
  EXPECT_EQ(GridMenu->Popups, 1) << "other columns keep the grid's menu";
  Own->AutoPopup = false;
  RightClick(QtyCol);
  EXPECT_EQ(Own->Popups, 1);
  EXPECT_EQ(GridMenu->Popups, 2);
  EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace

namespace {

TEST(DBGridEditing, SelectingAFieldEndsOnItsLastColumn) {
  TCityGridForm F;
  F.Grid->Columns()->Add()->SetFieldName("Qty");
  F.Grid->Columns()->Add()->SetFieldName("Name");
  F.Grid->Columns()->Add()->SetFieldName("Qty");
  F.Show();
  F.Grid->SetSelectedField(F.Table.FieldByName("Qty"));
  EXPECT_EQ(F.Grid->SelectedIndex(), 2);
  F.Grid->SetSelectedField(F.Table.FieldByName("Name"));
  EXPECT_EQ(F.Grid->SelectedIndex(), 1);
}

}  // namespace
