// Pictures of the test grid for a person to look at: multi-level titles,
// sort markers with indexes, a selection, check boxes, images and footers
// with sums, left in grid.bmp and grid-flat.bmp. The test asks that they
// were drawn and that the group captions are not cut by column lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "GridForm.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

// Three coloured squares with a dark frame.
void AddSquares(TImageList& Images) {
  for (uint32_t Colour : {0xE04040u, 0x40A040u, 0x4040E0u}) {
    std::vector<uint32_t> Pixels(16 * 16, Colour);
    for (int I = 0; I < 16; ++I)
      Pixels[I] = Pixels[15 * 16 + I] = Pixels[I * 16] = Pixels[I * 16 + 15] = 0x202020;
    TBitmap Bitmap;
    Bitmap.SetHandle(CreateBitmap(16, 16, 1, 32, Pixels.data()));
    Images.AddMasked(&Bitmap, clFuchsia);
  }
}

void DressUp(TGridForm<>& F, TImageList& Images) {
  TDBGridKs* Grid = F.Grid;
  F.Form->SetBounds(40, 40, 560, 360);
  Grid->SetBounds(5, 5, 540, 320);
  Grid->SetOptionsKs(Grid->OptionsKs() + TDBGridKsOptions{dghFooter3D});
  TDBGridColumnsKs* Columns = Grid->Columns();
  Columns->Items(0)->Title()->SetCaption("Goods|Kind");
  Columns->Items(1)->Title()->SetCaption("Goods|Name");
  Columns->Items(2)->Title()->SetCaption("Money|Price");
  Columns->Items(3)->Title()->SetCaption("Money|In stock");
  Columns->Items(0)->SetImageList(&Images);
  Columns->Items(0)->OnGetCellParams = [](TColumnKs*, bool, TColCellParamsKs* Params) {
    Params->ImageIndex = std::atoi(Params->Text.c_str()) % 3;
  };
  Columns->Items(3)->SetCheckboxes(true);
  Columns->Items(3)->KeyList()->Add("10;30;50;70;90");
  Columns->Items(3)->KeyList()->Add("20;40;60;80;100");
  Grid->SetUseMultiTitle(true);
  Grid->SetFooterRowCount(2);
  Grid->SumList()->SetActive(true);
  // Two footer rows: a count and a text under the names, a sum and an
  // average under the prices; the single footer of the stock in both.
  TColumnFootersKs* Names = Columns->Items(1)->Footers();
  Names->Add()->SetValueType(fvtCount);
  Names->Add()->SetValueType(fvtStaticText);
  Names->Items(1)->SetValue("Total");
  TColumnFootersKs* Prices = Columns->Items(2)->Footers();
  Prices->Add()->SetValueType(fvtSum);
  Prices->Items(0)->SetDisplayFormat("0.00");
  Prices->Add()->SetValueType(fvtAvg);
  Columns->Items(3)->Footer()->SetValueType(fvtSum);
  Columns->Items(1)->Title()->SetSortMarker(smDownKs);
  Columns->Items(2)->Title()->SetSortMarker(smUpKs);
  for (int I = 0; I < 3; ++I) {
    F.Data.Next();
    Grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  F.Data.First();
}

void ExpectDrawn(const TPicture32& Picture) {
  ASSERT_GT(Picture.Width, 500);
  std::set<uint32_t> Colours;
  for (uint32_t Pixel : Picture.Pixels) Colours.insert(Pixel & 0xFFFFFF);
  EXPECT_GE(Colours.size(), 8u) << "text, lines, highlight, images and check boxes";
}

// A group caption spans its columns unbroken: where the rows of its box
// show no text beside the line between two of its columns, the line is
// not drawn either.
void ExpectCaptionUnbroken(TGridForm<>& F, const TPicture32& Picture, const AnsiString& Group,
                           int FirstCol) {
  TDBGridKs* Grid = F.Grid;
  THeadTreeNode* Node = nullptr;
  for (THeadTreeNode* N : Grid->HeadTree()->Children())
    if (N->Text == Group) Node = N;
  ASSERT_TRUE(Node) << Group;
  RECT Window;
  GetWindowRect(F.Form->Handle(), &Window);
  POINT Origin = Grid->ClientToScreen(POINT{0, 0});
  auto Pixel = [&](int X, int Y) {
    return Picture.Pixels[(Y + Origin.y - Window.top) * Picture.Width + X + Origin.x - Window.left] &
           0xFFFFFF;
  };
  COLORREF Face = ColorToRGB(Grid->FixedColor());
  uint32_t Back = GetRValue(Face) << 16 | GetGValue(Face) << 8 | GetBValue(Face);
  RECT Cell = Grid->CellRect(Grid->DataToRawColumn(FirstCol), 0);
  int Line = Cell.right, Plain = 0, Cut = 0;
  for (int Y = Cell.top + 3; Y < Cell.top + Node->Height - 3; ++Y) {
    bool Blank = true;
    for (int X = Line - 4; X <= Line + 4; ++X)
      if (X != Line && Pixel(X, Y) != Back) Blank = false;
    if (!Blank) continue;
    ++Plain;
    if (Pixel(Line, Y) != Back) ++Cut;
  }
  EXPECT_GT(Plain, 2) << Group << ": rows of the box without text";
  EXPECT_EQ(Cut, 0) << Group << ": the column line runs through the caption";
}

}  // namespace

TEST(GridScreenshot, TheDressedGridIsDrawn) {
  for (bool Flat : {false, true}) {
    TGridForm<> F(20);
    TImageList Images(nullptr, 16, 16);
    AddSquares(Images);
    DressUp(F, Images);
    F.Grid->SetFlat(Flat);
    F.Show();
    PumpFor(200);
    TPicture32 Picture = Capture(F.Form->Handle());
    SaveBmp(Picture, Flat ? "grid-flat.bmp" : "grid.bmp");
    ExpectDrawn(Picture);
    ExpectCaptionUnbroken(F, Picture, "Goods", 0);
    ExpectCaptionUnbroken(F, Picture, "Money", 2);
  }
}
