// Level rows of the grid and of the lookup list over a levelled
// server-backed dataset, opened without a table and filled from a fixture.
#include <gtest/gtest.h>

#include <memory>

#include "COMPONENTS/kslib/DBLookupGridsKs.h"
#include "GridForm.h"
#include "LevelTree.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

int NameIndex(TCustomDBGridKs* Grid) {
  for (int I = 0; I < Grid->Columns()->Count(); ++I)
    if (Grid->Columns()->Items(I)->FieldName() == "NAME") return I;
  ADD_FAILURE() << "no NAME column";
  return 0;
}

// Pixels of the cell other than its background colour.
int InkIn(HWND Wnd, const RECT& Cell, COLORREF Background) {
  TDibDC Dib(Cell.right + 1, Cell.bottom + 1, Background);
  PrintClient(Wnd, Dib);
  RECT Inner{Cell.left + 2, Cell.top + 2, Cell.right - 2, Cell.bottom - 2};
  return (Inner.right - Inner.left) * (Inner.bottom - Inner.top) - Dib.Count(Inner, Background);
}

struct TLevelGridForm : TTree {
  TGridForm<> Goods{3, false};
  TDBGridKs* Grid = Goods.Grid;
  TLevelGridForm() {
    Grid->SetDataSource(&Source);
    Goods.Form->Show();
  }
  TColumnKs* NameColumn() { return Grid->Columns()->Items(NameIndex(Grid)); }
  RECT NameCell(int Row) { return Grid->CellRect(Grid->DataToRawColumn(NameIndex(Grid)), Row); }
};

TEST(DBGridLevels, EachEnteredLevelIsARowShowingTheRecordItWasEnteredBy) {
  TLevelGridForm F;
  ASSERT_EQ(F.NameColumn()->FieldName(), AnsiString("NAME"));
  EXPECT_EQ(F.Grid->LevelRowCount(), 0);
  F.EnterTwoLevels();
  EXPECT_EQ(F.Grid->LevelRowCount(), 2);
  EXPECT_EQ(F.Grid->TitleOffset(), 3);
  EXPECT_EQ(F.Grid->LevelCellText(F.Grid->LevelOfRow(1), F.NameColumn()), AnsiString("Отдел"));
  EXPECT_EQ(F.Grid->LevelCellText(F.Grid->LevelOfRow(2), F.NameColumn()), AnsiString("Цех"));
  EXPECT_EQ(F.Grid->LevelOfRow(3), 0) << "the first data row";
  COLORREF Title = ColorToRGB(F.NameColumn()->Title()->Color());
  EXPECT_GT(InkIn(F.Grid->Handle(), F.NameCell(2), Title), 0) << "the name is written";

  // The filter row stays next to the data, below the levels.
  F.Grid->STFilter()->SetVisible(true);
  EXPECT_EQ(F.Grid->TitleOffset(), 4);
  EXPECT_EQ(F.Grid->LevelOfRow(2), 2);
  EXPECT_EQ(F.Grid->LevelOfRow(3), 0);
  F.Grid->STFilter()->SetVisible(false);

  ASSERT_TRUE(F.Source.LevelUp());
  EXPECT_EQ(F.Grid->LevelRowCount(), 1);
  EXPECT_EQ(F.Grid->TitleOffset(), 2);
  EXPECT_EQ(F.Grid->LevelCellText(1, F.NameColumn()), AnsiString("Отдел"));
  ASSERT_TRUE(F.Source.LevelUp());
  EXPECT_EQ(F.Grid->LevelRowCount(), 0);
}

TEST(DBGridLevels, ALevelValueGoesThroughTheColumnsKeyList) {
  TLevelGridForm F;
  F.EnterTwoLevels();
  TColumnKs* Column = F.NameColumn();
  Column->KeyList()->Add("Отдел");
  Column->PickList()->Add("Department");
  Column->PickList()->Add("Other");
  EXPECT_EQ(F.Grid->LevelCellText(1, Column), AnsiString("Department"));
  EXPECT_EQ(F.Grid->LevelCellText(2, Column), AnsiString("")) << "not in the list";
  Column->SetNotInKeyListIndex(1);
  EXPECT_EQ(F.Grid->LevelCellText(2, Column), AnsiString("Other"));
}

TEST(DBGridLevels, ALevelValueTakesTheColumnsDisplayFormat) {
  TLevelGridForm F;
  F.EnterTwoLevels();
  TColumnKs* Id = F.Grid->Columns()->Add();
  Id->SetFieldName("SYS$ID");
  EXPECT_EQ(F.Grid->LevelCellText(1, Id), AnsiString("1"));
  Id->SetDisplayFormat("000");
  EXPECT_EQ(F.Grid->LevelCellText(1, Id), AnsiString("001")) << "as the cells show it";
  EXPECT_EQ(F.Grid->LevelCellText(2, Id), AnsiString("005"));
}

TEST(DBGridLevels, APlainDataSourceShowsTheLevelRowsEmptyAndAnotherDataSetHasNone) {
  TLevelGridForm F;
  F.EnterTwoLevels();
  TDataSource Plain(nullptr);
  Plain.SetDataSet(&F.Tree);
  F.Grid->SetDataSource(&Plain);
  EXPECT_EQ(F.Grid->LevelRowCount(), 2);
  COLORREF Title = ColorToRGB(F.NameColumn()->Title()->Color());
  EXPECT_EQ(InkIn(F.Grid->Handle(), F.NameCell(2), Title), 0);

  // Rows left from the levelled dataset would stay empty above these data.
  F.Grid->SetDataSource(&F.Goods.Source);
  EXPECT_EQ(F.Grid->LevelRowCount(), 0);
  EXPECT_EQ(F.Grid->TitleOffset(), 1);
  F.Grid->SetDataSource(nullptr);
}

TEST(DBLookupGridLevels, ALevelRowShowsItsParentAndAPressClimbsBackToIt) {
  TTree T;
  std::unique_ptr<TForm> Form(new TForm(Application));
  auto* Grid = new TDBLookupGridKs(Form.get());
  Form->SetBounds(60, 60, 420, 360);
  Grid->SetParent(Form.get());
  Grid->SetBounds(10, 10, 380, 200);
  Grid->SetListSource(&T.Source);
  Grid->SetListFieldNames("NAME");
  Grid->SetKeyFieldNames("SYS$ID");
  Form->Show();
  T.EnterTwoLevels();
  ASSERT_EQ(Grid->LevelRowCount(), 2);
  // Without a title row the levels are the first rows.
  const int First = Grid->TitleOffset() - Grid->LevelRowCount();
  TColumnKs* Name = Grid->Columns()->Items(NameIndex(Grid));
  RECT Top = Grid->CellRect(Grid->DataToRawColumn(NameIndex(Grid)), First);
  EXPECT_GT(InkIn(Grid->Handle(), Top, ColorToRGB(clBtnFace)), 0) << "\"+ Отдел\" on the button face";
  EXPECT_EQ(Grid->LevelCellText(Grid->LevelOfRow(First), Name), AnsiString("Отдел"));
  EXPECT_EQ(Grid->LevelCellText(Grid->LevelOfRow(First + 1), Name), AnsiString("Цех"));

  // Each Esc the press posts to the parent takes the list one level up.
  auto Press = [&](int Row) {
    RECT Cell = Grid->CellRect(Grid->DataToRawColumn(0), Row);
    LPARAM At = MAKELPARAM((Cell.left + Cell.right) / 2, (Cell.top + Cell.bottom) / 2);
    SendMessageA(Grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At);
    SendMessageA(Grid->Handle(), WM_LBUTTONUP, 0, At);
    int Escapes = 0;
    MSG M;
    while (PeekMessageA(&M, Form->Handle(), WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE))
      if (M.wParam == VK_ESCAPE) {
        ++Escapes;
        T.Source.LevelUp();
      }
    return Escapes;
  };
  EXPECT_EQ(Press(First + 1), 1);
  EXPECT_EQ(T.Tree.LevelCount(), 2);
  EXPECT_EQ(Grid->LevelRowCount(), 1);
  ASSERT_TRUE(T.Tree.Locate("NAME", Variant("Цех"), {}));
  ASSERT_TRUE(T.Tree.LevelDown());
  ASSERT_EQ(Grid->LevelRowCount(), 2);
  EXPECT_EQ(Press(First), 2);
  EXPECT_EQ(T.Tree.LevelCount(), 1);
  EXPECT_EQ(Grid->LevelRowCount(), 0);
}

}  // namespace
