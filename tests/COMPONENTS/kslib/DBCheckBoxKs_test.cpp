// The data-aware check box: Boolean and text fields with value lists, the
// grayed state, one toggle per click or space, and its own face on pixels.
#include "COMPONENTS/kslib/DBCheckBoxKs.h"

#include <gtest/gtest.h>

#include "EditorForm.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

using TCheckForm = TEditorForm<TDBCheckBoxKs>;

struct TBoundCheck : TCheckForm {
  TArrayDataSet Data{nullptr};
  TDataSource Source{nullptr};
  TBoundCheck(const char* FieldName, std::initializer_list<Variant> Values) {
    Data.FieldDefs()->Add("Flag", ftBoolean);
    Data.FieldDefs()->Add("Answer", ftString, 10);
    Data.Open();
    for (const Variant& V : Values) {
      Data.Append();
      Data.FieldByName(FieldName)->SetValue(V);
      Data.Post();
    }
    Data.First();
    Source.SetDataSet(&Data);
    Edit->SetDataSource(&Source);
    Edit->SetDataField(FieldName);
  }
  ~TBoundCheck() {
    delete Form;
    Form = nullptr;
  }
  void Click() {
    SendMessageA(Edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(Edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  }
};

TEST(DBCheckBoxKs, ABooleanFieldShowsItsValueAndGetsTheClickedStateWhenLeaving) {
  TBoundCheck F("Flag", {true, false, Variant::Null()});
  F.Show();
  EXPECT_EQ(F.Edit->State(), cbChecked);
  F.Click();
  EXPECT_EQ(F.Edit->State(), cbUnchecked);
  EXPECT_TRUE(F.Data.FieldByName("Flag")->AsBoolean()) << "not before leaving";
  PostKey(VK_TAB);
  ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
  EXPECT_FALSE(F.Data.FieldByName("Flag")->AsBoolean());
  F.Data.Post();
  F.Data.Next();
  EXPECT_EQ(F.Edit->State(), cbUnchecked);
  F.Data.Next();
  EXPECT_EQ(F.Edit->State(), cbGrayed) << "a null field";
}

TEST(DBCheckBoxKs, ATextFieldIsReadAndWrittenThroughTheValueLists) {
  TBoundCheck F("Answer", {"yes", "n", "maybe", "Y"});
  F.Edit->SetValueChecked("Y;Yes");
  F.Edit->SetValueUnchecked("N;No");
  TCheckBoxState Expected[] = {cbChecked, cbUnchecked, cbGrayed, cbChecked};
  for (TCheckBoxState State : Expected) {
    EXPECT_EQ(F.Edit->State(), State) << F.Data.FieldByName("Answer")->AsString();
    F.Data.Next();
  }
  F.Data.First();
  F.Edit->SetChecked(false);
  EXPECT_EQ(F.Data.FieldByName("Answer")->AsString(), "N");
  F.Edit->SetChecked(true);
  EXPECT_EQ(F.Data.FieldByName("Answer")->AsString(), "Y") << "the first entry of the list";
  F.Edit->SetState(cbGrayed);
  EXPECT_TRUE(F.Data.FieldByName("Answer")->IsNull());
}

TEST(DBCheckBoxKs, EachClickOrSpaceTogglesOnceAndGrayedOnlyWhenAllowed) {
  TCheckForm F;
  F.Show();
  auto Click = [&] {
    SendMessageA(F.Edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(F.Edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  };
  int Clicks = 0;
  F.Edit->OnClick = [&](TObject*) { ++Clicks; };
  EXPECT_EQ(F.Edit->State(), cbUnchecked);
  Click();
  EXPECT_EQ(F.Edit->State(), cbChecked);
  EXPECT_EQ(Clicks, 1);
  SendMessageA(F.Edit->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(F.Edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(F.Edit->State(), cbUnchecked) << "the second click of a double click toggles once";
  PostKey(VK_SPACE);
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->State() == cbChecked; }));
  PumpFor(30);
  EXPECT_EQ(Clicks, 3);
  F.Edit->SetAllowGrayed(true);
  TCheckBoxState Cycle[] = {cbUnchecked, cbGrayed, cbChecked, cbUnchecked};
  for (TCheckBoxState State : Cycle) {
    Click();
    EXPECT_EQ(F.Edit->State(), State);
  }
  F.Edit->SetReadOnly(true);
  Click();
  EXPECT_EQ(F.Edit->State(), cbUnchecked) << "a read-only box does not toggle";
}

TEST(DBCheckBoxKs, UnboundItKeepsItsOwnBooleanOrNull) {
  TCheckForm F;
  EXPECT_FALSE(F.Edit->Checked());
  F.Edit->SetChecked(true);
  EXPECT_TRUE(F.Edit->DataLink()->DataIndependentValue().AsBoolean());
  F.Edit->SetState(cbGrayed);
  EXPECT_TRUE(F.Edit->DataLink()->DataIndependentValue().IsNull());
  F.Edit->DataLink()->SetValue(Variant(true));
  EXPECT_EQ(F.Edit->State(), cbChecked);
}

TEST(DBCheckBoxKs, PaintsItsBoxBesideTheCaption) {
  TCheckForm F;
  F.Edit->SetCaption("Флажок");
  F.Show(F.Other);
  auto Box = [&](TCheckBoxState State) {
    F.Edit->SetState(State);
    RECT Client = F.Edit->ClientRect();
    auto Dib = std::make_unique<TDibDC>(Client.right, Client.bottom, RGB(255, 0, 255));
    PrintClient(F.Edit->Handle(), *Dib);
    return Dib;
  };
  auto Unchecked = Box(cbUnchecked), Checked = Box(cbChecked), Grayed = Box(cbGrayed);
  int W = CheckBoxGlyphSize.cx;
  RECT CaptionArea{W + 5, 0, F.Edit->Width(), F.Edit->Height()};
  EXPECT_EQ(Unchecked->Count(RECT{0, 0, F.Edit->Width(), F.Edit->Height()}, RGB(255, 0, 255)), 0)
      << "the whole face is drawn";
  int Differ = 0;
  for (int Y = 0; Y < F.Edit->Height(); ++Y)
    for (int X = 0; X < W; ++X) Differ += Unchecked->Pixel(X, Y) != Checked->Pixel(X, Y);
  EXPECT_GT(Differ, 5) << "the check mark";
  EXPECT_FALSE(Checked->SameAs(*Grayed));
  int Caption = 0;
  COLORREF Back = Unchecked->Pixel(F.Edit->Width() - 1, 0);
  for (int Y = CaptionArea.top; Y < CaptionArea.bottom; ++Y)
    for (int X = CaptionArea.left; X < CaptionArea.right; ++X) Caption += Unchecked->Pixel(X, Y) != Back;
  EXPECT_GT(Caption, 20) << "the caption right of the box";
}

// Read from the right, the box and its caption change sides: the box at
// the right and the caption next to it.
TEST(DBCheckBoxKs, RightToLeftTheBoxStandsRightOfItsCaption) {
  TCheckForm F;
  F.Edit->SetCaption("Флажок");
  F.Edit->SetBiDiMode(bdRightToLeft);
  F.Show(F.Other);
  RECT Client = F.Edit->ClientRect();
  auto Paint = [&](TCheckBoxState State) {
    F.Edit->SetState(State);
    auto Dib = std::make_unique<TDibDC>(Client.right, Client.bottom);
    PrintClient(F.Edit->Handle(), *Dib);
    return Dib;
  };
  auto Unchecked = Paint(cbUnchecked), Checked = Paint(cbChecked);
  int W = CheckBoxGlyphSize.cx, BoxLeft = Client.right - W;
  int Differ = 0, Elsewhere = 0;
  for (int Y = 0; Y < Client.bottom; ++Y)
    for (int X = 0; X < Client.right; ++X)
      (X >= BoxLeft ? Differ : Elsewhere) += Unchecked->Pixel(X, Y) != Checked->Pixel(X, Y);
  EXPECT_GT(Differ, 5) << "the check mark in the box at the right";
  EXPECT_EQ(Elsewhere, 0);
  COLORREF Back = Unchecked->Pixel(0, 0);
  int Last = -1, First = -1;
  for (int X = 0; X < BoxLeft; ++X) {
    bool Ink = false;
    for (int Y = 0; Y < Client.bottom; ++Y) Ink = Ink || Unchecked->Pixel(X, Y) != Back;
    if (!Ink) continue;
    if (First < 0) First = X;
    Last = X;
  }
  EXPECT_GT(First, Client.right / 2) << "the caption keeps to the box";
  EXPECT_LE(Last, BoxLeft - 5);
  EXPECT_GE(Last, BoxLeft - 8);
}

TEST(DBCheckBoxKs, AGrayedBoxLooksIndeterminateNotDisabled) {
  TCheckForm F;
  F.Edit->SetAllowGrayed(true);
  F.Show();
  PostKey(VK_SPACE);
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->State() == cbGrayed; }));
  RECT Client = F.Edit->ClientRect();
  RECT Box = FitRectToMaxSize(Client, 0, 1);
  auto Shot = [&] {
    auto Dib = std::make_unique<TDibDC>(Client.right, Client.bottom);
    PrintClient(F.Edit->Handle(), *Dib);
    return Dib;
  };
  auto Grayed = Shot();
  F.Edit->SetState(cbChecked);
  F.Edit->SetEnabled(false);
  auto Disabled = Shot();
  int Differ = 0;
  for (int Y = Box.top; Y < Box.bottom; ++Y)
    for (int X = Box.left; X < Box.right; ++X)
      Differ += Grayed->Pixel(X, Y) != Disabled->Pixel(X, Y);
  EXPECT_GT(Differ, 5) << "the grayed box must not look like a disabled checked one";
}

TEST(DBCheckBoxKs, AltWithItsAcceleratorTogglesItFromAnotherControl) {
  TCheckForm F;
  F.Edit->SetCaption("&Check");
  F.Show(F.Other);
  PostKey('C', {VK_MENU});
  EXPECT_TRUE(PumpUntil([&] { return F.Edit->State() == cbChecked; }));
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
  F.Edit->SetReadOnly(true);
  PostKey('C', {VK_MENU});
  PumpFor(30);
  EXPECT_EQ(F.Edit->State(), cbChecked) << "a read-only box stays";
}

}  // namespace
