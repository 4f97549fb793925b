// The grid's in-place editor under real keys: its style per column, the
// buttons and the text area, the pick list with a key list, the calendar,
// the calculator and the recently used values, the focus staying on the
// editor while a list is open.
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"

#include <gtest/gtest.h>
#include <imm.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <tuple>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBLookupGridsKs.h"
#include "GridEditorKit.h"
#include "GridUnitEnvironment.h"
#include "forms/Clipbrd.h"
#include "forms/Forms.h"
#include "forms/Ime.h"
#include "forms/StdCtrls.h"
#include "rtl/SysUtils.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

class TPeopleDataSet : public TArrayDataSet {
 public:
  TPeopleDataSet() : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Id", ftInteger);
    FieldDefs()->Add("Name", ftString, 20);
    FieldDefs()->Add("Price", ftFloat);
    FieldDefs()->Add("Kind", ftString, 5);
    FieldDefs()->Add("Born", ftDate);
    FieldDefs()->Add("Amount", ftBCD, 2);
    Open();
    AppendValues(this, {1, "Москва", 1.5, "1", EncodeDate(2020, 5, 17), Currency::FromScaled(130319000)});
    AppendValues(this, {2, "Минск", 3.0, "2", Variant::Null(), Variant::Null()});
    First();
  }
  ~TPeopleDataSet() override { Close(); }
};

enum { ColId, ColName, ColPrice, ColKind, ColBorn, ColAmount };

struct TEditorGridForm {
  TPeopleDataSet Data;
  TDataSource Source{nullptr};
  TForm* Form = new TForm(Application);
  TDBGridKs* Grid = new TDBGridKs(Form);

  TEditorGridForm() {
    Source.SetDataSet(&Data);
    Form->SetBounds(40, 40, 560, 300);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 540, 250);
    Grid->SetDataSource(&Source);
    Grid->SetAllowedOperations({alopInsertKs, alopUpdateKs, alopDeleteKs, alopAppendKs});
    Grid->SetOptions(Grid->Options().Include(dgEditing));
  }
  ~TEditorGridForm() { delete Form; }
  TEditorGridForm(const TEditorGridForm&) = delete;
  TEditorGridForm& operator=(const TEditorGridForm&) = delete;

  TColumnKs* Column(int Index) { return Grid->Columns()->Items(Index); }
  TDBGridInplaceEdit* Editor() { return static_cast<TDBGridInplaceEdit*>(Grid->InplaceEditor()); }

  TDBGridInplaceEdit* Edit(int DataCol) { return EditGridCell(Form, Grid, DataCol); }
};

// Where the dark (text) pixels of an area lie: their leftmost, rightmost
// and mean x; Count 0 when there are none.
struct TDarkSpan {
  int Left = INT_MAX, Right = -1, Count = 0;
  long Sum = 0;
  int Centre() const { return Count ? static_cast<int>(Sum / Count) : -1; }
};
TDarkSpan DarkSpan(const TDibDC& Dib, const RECT& Area) {
  TDarkSpan Span;
  for (int Y = Area.top; Y < Area.bottom; ++Y) {
    for (int X = Area.left; X < Area.right; ++X) {
      COLORREF C = Dib.Pixel(X, Y);
      if (GetRValue(C) + GetGValue(C) + GetBValue(C) >= 3 * 100) continue;
      Span.Left = std::min(Span.Left, X);
      Span.Right = std::max(Span.Right, X);
      Span.Sum += X;
      ++Span.Count;
    }
  }
  return Span;
}

// Recently used cities offered in the Name column.
TMRUListKs* UseRecentCities(TEditorGridForm& F) {
  TMRUListKs* MRU = F.Column(ColName)->MRUList();
  for (const char* Item : {"Омск", "Мурманск", "Магадан"}) MRU->Items()->Add(Item);
  MRU->SetActive(true);
  return MRU;
}

TEST(DBGridInplaceEditStyle, EachColumnKindGetsItsStyleAndList) {
  TEditorGridForm F;
  F.Column(ColKind)->PickList()->Add("one");
  F.Column(ColPrice)->SetButtonStyle(cbsDropDown);
  F.Column(ColName)->SetButtonStyle(cbsEllipsis);
  struct TCase {
    int Col;
    TInplaceEditStyleKs Style;
    bool HasList;
  } Cases[] = {{ColId, iesSimple, false},
               {ColName, iesEllipsis, false},
               {ColPrice, iesDropDown, true},
               {ColKind, iesPickList, true},
               {ColBorn, iesDateCalendar, true}};
  for (const TCase& C : Cases) {
    TDBGridInplaceEdit* Editor = F.Edit(C.Col);
    EXPECT_EQ(Editor->EditStyle(), C.Style) << C.Col;
    EXPECT_EQ(Editor->ActiveList() != nullptr, C.HasList) << C.Col;
    EXPECT_EQ(TDBGridInplaceEdit::GetEditStyle(F.Column(C.Col)), C.Style) << C.Col;
  }
  F.Column(ColId)->SetButtonStyle(cbsUpDown);
  EXPECT_EQ(F.Edit(ColId)->EditStyle(), iesUpDown);
  F.Column(ColName)->SetButtonStyle(cbsDropDown);
  EXPECT_EQ(F.Edit(ColName)->ActiveList(), nullptr) << "a text field has no calculator";

  // A read-only link keeps the cell's pick list in its drawing only.
  F.Grid->DataLink()->SetReadOnly(true);
  EXPECT_EQ(TDBGridInplaceEdit::GetEditStyle(F.Column(ColKind)), iesPickList);
  EXPECT_EQ(F.Edit(ColKind)->EditStyle(), iesSimple);
}

TEST(DBGridInplaceEditButtons, TheTextAreaLeavesRoomForTheButtons) {
  TEditorGridForm F;
  TColumnKs* Name = F.Column(ColName);
  Name->SetButtonStyle(cbsEllipsis);
  int Clicks = 0, ExtraClicks = 0;
  F.Grid->OnEditButtonClick = [&](TObject*) { ++Clicks; };
  TEditButtonKs* Extra = Name->EditButtons()->Add();
  Extra->SetWidth(12);
  Extra->SetShortCut(ShortCutKs(VK_F5, {ssCtrl}));
  Extra->OnClick = [&](TObject*, bool&) { ++ExtraClicks; };
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  int Default = GetSystemMetrics(SM_CXVSCROLL);
  ASSERT_EQ(Editor->ButtonControlCount(), 2);
  EXPECT_EQ(Editor->ButtonsWidth(), Default + 12);
  EXPECT_EQ(Editor->GetEditRect().right, Editor->Width() - 2 - Default - 12);
  EXPECT_EQ(Editor->ButtonControl(0)->Left(), Editor->ClientWidth() - Default);
  EXPECT_EQ(Editor->ButtonControl(1)->Left(), Editor->ClientWidth() - Default - 12);

  PostKey(VK_RETURN, {VK_CONTROL});
  ASSERT_TRUE(PumpUntil([&] { return Clicks == 1; }));
  PostKey(VK_F5, {VK_CONTROL});
  ASSERT_TRUE(PumpUntil([&] { return ExtraClicks == 1; }));
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(GetFocus(), Editor->Handle());

  Name->SetButtonStyle(cbsNone);
  Editor = F.Edit(ColName);
  EXPECT_FALSE(Editor->ButtonControl(0)->Visible());
  EXPECT_EQ(Editor->ButtonsWidth(), 12);

  // An image beside the text takes its width and 5 more from the left.
  TImageList Images(nullptr, 16, 16);
  Name->SetImageList(&Images);
  Name->SetShowImageAndText(true);
  Editor = F.Edit(ColName);
  EXPECT_EQ(Editor->GetEditRect().left, 2 + 16 + 5);

  // Right to left: the buttons at the left edge, the image at the right.
  F.Grid->SetBiDiMode(bdRightToLeft);
  Name->SetButtonStyle(cbsEllipsis);
  Editor = F.Edit(ColName);
  EXPECT_EQ(Editor->ButtonControl(0)->Left(), 0);
  EXPECT_EQ(Editor->ButtonControl(1)->Left(), Default);
  RECT Text = Editor->GetEditRect();
  EXPECT_EQ(Text.left, 2 + Default + 12);
  EXPECT_EQ(Text.right, Editor->Width() - 2 - 16 - 5);
}

// The editor of a right-to-left grid shows its text from the right edge of
// the text area; a left-to-right one from the left. The text's dark pixels
// tell where it stands.
TEST(DBGridInplaceEditButtons, ARightToLeftGridsEditorShowsItsTextFromTheRight) {
  TEditorGridForm F;
  F.Column(ColName)->SetButtonStyle(cbsEllipsis);
  for (bool Mirrored : {false, true, false}) {
    F.Grid->SetBiDiMode(Mirrored ? bdRightToLeft : bdLeftToRight);
    TDBGridInplaceEdit* Editor = F.Edit(ColName);
    Editor->SetSelLength(0);
    RECT Text = Editor->GetEditRect();
    TDibDC Dib(Editor->ClientWidth(), Editor->ClientHeight());
    PrintClient(Editor->Handle(), Dib);
    TDarkSpan Span = DarkSpan(Dib, RECT{Text.left, 0, Text.right, Dib.Height()});
    ASSERT_GT(Span.Count, 0) << Mirrored << " no text painted";
    if (Mirrored) {
      EXPECT_GE(Span.Right, Text.right - 6) << "the text ends at the right edge";
      EXPECT_GT(Span.Left, Text.left + 20);
    } else {
      EXPECT_LE(Span.Left, Text.left + 5) << "the text starts at the left edge";
      EXPECT_LT(Span.Right, Text.right - 20);
    }
    EXPECT_EQ((GetWindowLongA(Editor->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING) != 0, Mirrored);
  }
}

// A flat grid's editor keeps a line of the buttons' colour on the text
// side of each flat button, either way round.
TEST(DBGridInplaceEditButtons, AFlatGridsButtonsHaveALineOnTheTextSide) {
  TEditorGridForm F;
  F.Grid->SetFlat(true);
  TColumnKs* Name = F.Column(ColName);
  Name->SetButtonStyle(cbsEllipsis);
  Name->EditButtons()->Add()->SetWidth(12);
  for (bool Mirrored : {false, true}) {
    F.Grid->SetBiDiMode(Mirrored ? bdRightToLeft : bdLeftToRight);
    TDBGridInplaceEdit* Editor = F.Edit(ColName);
    EXPECT_EQ(Editor->ButtonsWidth(), FlatEditButtonWidth + 1 + 12 + 1) << Mirrored;
    TDibDC Dib(Editor->ClientWidth(), Editor->ClientHeight());
    PrintClient(Editor->Handle(), Dib);
    for (int I = 0; I < 2; ++I) {
      TEditButtonControlKs* Button = Editor->ButtonControl(I);
      int X = Mirrored ? Button->Left() + Button->Width() : Button->Left() - 1;
      RECT Line{X, 0, X + 1, Button->Height()};
      EXPECT_EQ(Dib.Count(Line, ColorToRGB(clBtnFace)), Button->Height()) << Mirrored << I;
    }
    RECT Text = Editor->GetEditRect();
    EXPECT_EQ(Mirrored ? Text.left : Editor->Width() - Text.right, 2 + Editor->ButtonsWidth());
  }
}

TEST(DBGridInplaceEditButtons, TheUpDownButtonStepsByTheColumnsIncrement) {
  TEditorGridForm F;
  TColumnKs* Price = F.Column(ColPrice);
  Price->SetButtonStyle(cbsUpDown);
  Price->SetIncrement(2);
  TDBGridInplaceEdit* Editor = F.Edit(ColPrice);
  TEditButtonControlKs* Button = Editor->ButtonControl(0);
  auto Press = [&](bool Upper) {
    POINT At{Button->Left() + Button->Width() / 2,
             Button->Top() + (Upper ? 2 : Button->Height() - 3)};
    PostClickOn(Editor->Handle(), At);
    PumpFor(40);
  };
  Press(true);
  ASSERT_TRUE(PumpUntil([&] { return F.Data.FieldByName("Price")->AsFloat() == 3.5; }));
  Press(false);
  Press(false);
  ASSERT_TRUE(PumpUntil([&] { return F.Data.FieldByName("Price")->AsFloat() == -0.5; }));

  // A typed text goes into the field before the step.
  Editor = F.Editor();
  Editor->SetText("10");
  Press(true);
  ASSERT_TRUE(PumpUntil([&] { return F.Data.FieldByName("Price")->AsFloat() == 12; }));
}

TEST(DBGridInplaceEditButtons, DoubleClickStepsToTheNextListEntryWhenTheColumnAsks) {
  TEditorGridForm F;
  TColumnKs* Name = F.Column(ColName);
  for (const char* Pick : {"Москва", "Минск"}) Name->PickList()->Add(Pick);
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  RECT Text = Editor->GetEditRect();
  LPARAM At = MAKELPARAM(Text.left + 3, Editor->ClientHeight() / 2);
  auto DoubleClick = [&] {
    PostMessageA(Editor->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, At);
    PostMessageA(Editor->Handle(), WM_LBUTTONUP, 0, At);
    PumpFor(40);
  };
  DoubleClick();
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "Москва") << "the column does not ask";
  Name->SetDblClickNextVal(true);
  DoubleClick();
  ASSERT_TRUE(PumpUntil([&] { return F.Data.FieldByName("Name")->AsString() == "Минск"; }));
  DoubleClick();
  ASSERT_TRUE(PumpUntil([&] { return F.Data.FieldByName("Name")->AsString() == "Москва"; }));
}

TEST(DBGridInplaceEditKeys, DeleteInAKeyListColumnClearsOnlyTheWholeText) {
  TEditorGridForm F;
  TColumnKs* Kind = F.Column(ColKind);
  for (const char* Pick : {"one", "two"}) Kind->PickList()->Add(Pick);
  for (const char* Key : {"1", "2"}) Kind->KeyList()->Add(Key);
  TDBGridInplaceEdit* Editor = F.Edit(ColKind);
  Editor->SelectAll();
  PostChars(Editor->Handle(), "t");
  ASSERT_EQ(Editor->Text(), "two");
  ASSERT_EQ(Editor->SelLength(), 2);
  PostKey(VK_DELETE);
  PumpFor(40);
  EXPECT_EQ(Editor->Text(), "two") << "a part would leave an unlisted text";
  Editor->SelectAll();
  PostKey(VK_DELETE);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text().empty(); }));
}

TEST(DBGridInplaceEditKeys, AltBackspaceUndoesWithoutReachingTheGrid) {
  TEditorGridForm F;
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  int GridKeys = 0;
  F.Grid->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++GridKeys; };
  Editor->SelectAll();
  PostText("abc");
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "abc"; }));
  PostKey(VK_BACK, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "Москва"; }));
  EXPECT_EQ(GridKeys, 0);
  EXPECT_EQ(GetFocus(), Editor->Handle());
}

// The field's character check takes no control characters: the clipboard
// keys copy, cut and paste in a number's column as in a text's.
TEST(DBGridInplaceEditKeys, ClipboardKeysWorkInNumberAndTextColumns) {
  for (int Col : {ColPrice, ColId, ColName}) {
    TEditorGridForm F;
    TDBGridInplaceEdit* Editor = F.Edit(Col);
    const AnsiString Before = Editor->Text();
    Editor->SelectAll();
    Clipboard()->SetAsText("");
    PressKeys('C', {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return Clipboard()->AsText() == Before; })) << Col;
    PressKeys('X', {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return Editor->Text().empty(); })) << Col;
    EXPECT_EQ(Clipboard()->AsText(), Before);
    Clipboard()->SetAsText(Col == ColName ? "Тверь" : "42");
    PressKeys('V', {VK_CONTROL});
    PressKeys('V', {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == Clipboard()->AsText() + Clipboard()->AsText(); }))
        << Col << " " << Editor->Text();
    EXPECT_EQ(F.Data.State(), dsEdit) << Col;
    const AnsiString Pasted = Editor->Text();
    PressKey(VK_RETURN);
    PumpFor(40);
    F.Data.Post();
    EXPECT_EQ(F.Data.Fields()->Fields(Col)->AsString(), Pasted) << Col;
  }
}

TEST(DBGridInplaceEditPickList, KeyListShowsTheShorterCountAndEnterTakesTheEntry) {
  TEditorGridForm F;
  TColumnKs* Kind = F.Column(ColKind);
  for (const char* Pick : {"one", "two", "three"}) Kind->PickList()->Add(Pick);
  for (const char* Key : {"1", "2"}) Kind->KeyList()->Add(Key);
  int DropDowns = 0, CloseUps = 0;
  F.Grid->OnDropDown = [&](TObject*, TColumnKs*) { ++DropDowns; };
  F.Grid->OnCloseUp = [&](TObject*, TColumnKs*) { ++CloseUps; };
  TDBGridInplaceEdit* Editor = F.Edit(ColKind);
  Editor->SetText("one");
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->PickList()); }));
  EXPECT_EQ(DropDowns, 1);
  EXPECT_EQ(Editor->PickList()->Items()->Count(), 2);
  EXPECT_EQ(Editor->PickList()->ItemIndex(), 0);
  EXPECT_EQ(GetFocus(), Editor->Handle());
  PostKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "two"; }));
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->PickList()); }));
  EXPECT_EQ(CloseUps, 1);
  EXPECT_EQ(Editor->Text(), "two");

  // Esc closes without taking the entry: nothing reaches the grid. The
  // column opens its editor's list too.
  Editor = F.Edit(ColKind);
  Kind->DropDown();
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->PickList()); }));
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->PickList()); }));
  EXPECT_EQ(CloseUps, 2);
  EXPECT_EQ(F.Data.State(), dsEdit);
  EXPECT_EQ(GetFocus(), Editor->Handle());
}

// A right-to-left grid's pick list hangs from the cell's right edge and
// shows its entries from the right.
TEST(DBGridInplaceEditPickList, ARightToLeftGridsListHangsFromTheRightAndReadsThatWay) {
  for (bool Mirrored : {false, true}) {
    TEditorGridForm F;
    F.Grid->SetBiDiMode(Mirrored ? bdRightToLeft : bdLeftToRight);
    TColumnKs* Kind = F.Column(ColKind);
    for (const char* Pick : {"один", "два"}) Kind->PickList()->Add(Pick);
    TDBGridInplaceEdit* Editor = F.Edit(ColKind);
    PostKey(VK_DOWN, {VK_MENU});
    TPopupListboxKs* List = Editor->PickList();
    ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); })) << Mirrored;
    RECT Cell, Drop;
    GetWindowRect(Editor->Handle(), &Cell);
    GetWindowRect(List->Handle(), &Drop);
    EXPECT_EQ(Mirrored ? Drop.right : Drop.left, Mirrored ? Cell.right : Cell.left) << Mirrored;
    TDibDC Dib(List->ClientWidth(), List->ClientHeight());
    PrintClient(List->Handle(), Dib);
    RECT Item{};
    SendMessageA(List->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&Item));
    TDarkSpan Span = DarkSpan(Dib, Item);
    ASSERT_GT(Span.Count, 0) << Mirrored;
    EXPECT_EQ(Span.Centre() > Dib.Width() / 2, Mirrored) << Span.Centre() << " of " << Dib.Width();
    PostKey(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  }
}

TEST(DBGridInplaceEditPickList, APressElsewhereOnTheFormClosesTheList) {
  TEditorGridForm F;
  F.Column(ColKind)->PickList()->Add("one");
  TDBGridInplaceEdit* Editor = F.Edit(ColKind);
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->PickList()); }));
  PostClickOn(F.Form->Handle(), POINT{F.Form->ClientWidth() - 3, F.Form->ClientHeight() - 3});
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->PickList()); }));
  EXPECT_FALSE(Editor->ListVisible());
}

TEST(DBGridInplaceEditPickList, TypingInAKeyListColumnCompletesOrIsRefused) {
  TEditorGridForm F;
  TColumnKs* Kind = F.Column(ColKind);
  for (const char* Pick : {"один", "два"}) Kind->PickList()->Add(Pick);
  for (const char* Key : {"1", "2"}) Kind->KeyList()->Add(Key);
  TDBGridInplaceEdit* Editor = F.Edit(ColKind);
  Editor->SelectAll();
  PostMessageA(Editor->Handle(), WM_CHAR, static_cast<uint8_t>("д"[0]), 1);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "два"; }));
  EXPECT_EQ(Editor->SelStart(), 1);
  EXPECT_EQ(Editor->SelLength(), 2);
  PostMessageA(Editor->Handle(), WM_CHAR, 'x', 1);
  PumpFor(60);
  EXPECT_EQ(Editor->Text(), "два") << "no entry starts with the text";

  // With a handler the typed text stays.
  Kind->OnNotInList = [](TObject*, const AnsiString&, bool&) {};
  Editor->SetSelStart(3);
  PostMessageA(Editor->Handle(), WM_CHAR, 'x', 1);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "дваx"; }));
}

TEST(DBGridInplaceEditCalendar, AcceptingADateOnABrowsingRecordWritesThroughTheColumn) {
  TEditorGridForm F;
  TDBGridInplaceEdit* Editor = F.Edit(ColBorn);
  F.Data.Cancel();
  ASSERT_EQ(F.Data.State(), dsBrowse);
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->Calendar()); }));
  EXPECT_EQ(Editor->Calendar()->Date(), EncodeDate(2020, 5, 17));
  EXPECT_EQ(GetFocus(), Editor->Handle());
  Editor->Calendar()->SetDate(EncodeDate(2021, 1, 2));
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->Calendar()); }));
  EXPECT_EQ(F.Data.State(), dsEdit);
  EXPECT_EQ(F.Data.FieldByName("Born")->AsDateTime(), EncodeDate(2021, 1, 2));

  // A handler that takes the write leaves the field alone.
  F.Data.Cancel();
  F.Data.Edit();
  F.Column(ColBorn)->OnUpdateData = [](TColumnKs*, AnsiString&, Variant&, bool&, bool& Handled) {
    Handled = true;
  };
  Editor = F.Edit(ColBorn);
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->Calendar()); }));
  Editor->Calendar()->SetDate(EncodeDate(2022, 3, 4));
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->Calendar()); }));
  EXPECT_EQ(F.Data.FieldByName("Born")->AsDateTime(), EncodeDate(2020, 5, 17));
}

// The moving keys step the open calendar's date, by a day, a week or a
// month, and Enter writes it.
TEST(DBGridInplaceEditCalendar, TheMovingKeysStepTheDate) {
  struct TCase {
    WORD Key;
    TDateTime From, To;
  } Cases[] = {
      {VK_LEFT, EncodeDate(2020, 5, 17), EncodeDate(2020, 5, 16)},
      {VK_RIGHT, EncodeDate(2020, 5, 31), EncodeDate(2020, 6, 1)},
      {VK_UP, EncodeDate(2020, 5, 17), EncodeDate(2020, 5, 10)},
      {VK_DOWN, EncodeDate(2020, 5, 17), EncodeDate(2020, 5, 24)},
      {VK_PRIOR, EncodeDate(2020, 3, 31), EncodeDate(2020, 2, 29)},
      {VK_NEXT, EncodeDate(2020, 12, 17), EncodeDate(2021, 1, 17)},
  };
  for (const TCase& C : Cases) {
    TEditorGridForm F;
    F.Data.Edit();
    F.Data.FieldByName("Born")->SetAsDateTime(C.From);
    F.Data.Post();
    TDBGridInplaceEdit* Editor = F.Edit(ColBorn);
    PressKeys(VK_DOWN, {VK_MENU});
    ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->Calendar()); })) << C.Key;
    PressKey(C.Key);
    EXPECT_TRUE(PumpUntil([&] { return Editor->Calendar()->Date() == C.To; }, 500)) << C.Key;
    PressKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->Calendar()); })) << C.Key;
    EXPECT_EQ(F.Data.FieldByName("Born")->AsDateTime(), C.To) << C.Key;
  }
}

// A grid that turned read-only, or stopped allowing updates, while the
// calendar was open keeps the cell's date and the record browsing.
TEST(DBGridInplaceEditCalendar, ADateAcceptedForARefusedCellIsNotWritten) {
  for (bool ReadOnlyGrid : {true, false}) {
    TEditorGridForm F;
    TDBGridInplaceEdit* Editor = F.Edit(ColBorn);
    F.Data.Cancel();
    PostKey(VK_DOWN, {VK_MENU});
    ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->Calendar()); }));
    if (ReadOnlyGrid) {
      F.Grid->SetReadOnly(true);
    } else {
      F.Grid->SetAllowedOperations({alopInsertKs, alopDeleteKs, alopAppendKs});
    }
    ASSERT_TRUE(PopupShown(Editor->Calendar())) << ReadOnlyGrid;
    Editor->Calendar()->SetDate(EncodeDate(2021, 1, 2));
    PostKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->Calendar()); }));
    EXPECT_EQ(F.Data.State(), dsBrowse) << ReadOnlyGrid;
    EXPECT_FALSE(F.Grid->DataLink()->IsModified()) << ReadOnlyGrid;
    EXPECT_EQ(F.Data.FieldByName("Id")->AsInteger(), 1) << ReadOnlyGrid;
    EXPECT_EQ(F.Data.FieldByName("Born")->AsDateTime(), EncodeDate(2020, 5, 17)) << ReadOnlyGrid;
  }
}

TEST(DBGridInplaceEditCalculator, EnterTakesTheResultAndEscLeavesTheCell) {
  TEditorGridForm F;
  F.Column(ColPrice)->SetButtonStyle(cbsDropDown);
  TDBGridInplaceEdit* Editor = F.Edit(ColPrice);
  AnsiString Before = Editor->Text();
  PostKey(VK_DOWN, {VK_MENU});
  TPopupCalculatorKs* Calculator = Editor->GetPopupCalculator();
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Calculator); }))
      << Editor->EditStyle() << " " << (Editor->ActiveList() == Calculator) << Editor->Text();
  EXPECT_EQ(GetFocus(), Editor->Handle());
  PostChars(Editor->Handle(), "*4");
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Calculator); }));
  EXPECT_EQ(Editor->Text(), Before);

  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Calculator); }));
  PostChars(Editor->Handle(), "*4");
  PostKey(VK_RETURN);
  PumpFor(40);
  EXPECT_TRUE(PopupShown(Calculator)) << "the first Enter computes";
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Calculator); }));
  EXPECT_EQ(Editor->Text(), "6");
  EXPECT_EQ(GetFocus(), Editor->Handle());
}

// A result goes into a money cell as the calculator shows it, rounded once
// to the cell's places: 13031.9 × 1.15 shows 14986.685 and is stored
// 14986.69, where its double (14986.68499...) would lose the cent.
TEST(DBGridInplaceEditCalculator, AResultGoesIntoAMoneyCellAsShown) {
  TEditorGridForm F;
  F.Column(ColAmount)->SetButtonStyle(cbsDropDown);
  TDBGridInplaceEdit* Editor = F.Edit(ColAmount);
  PostKey(VK_DOWN, {VK_MENU});
  TPopupCalculatorKs* Calculator = Editor->GetPopupCalculator();
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Calculator); }));
  PostChars(Editor->Handle(), "*1,15");
  PostKey(VK_RETURN);
  PumpFor(40);
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Calculator); }));
  EXPECT_EQ(Editor->Text(), "14986,685");
  F.Data.Post();
  EXPECT_EQ(F.Data.FieldByName("Amount")->AsString(), "14986,69");
}

TEST(DBGridInplaceEditMRU, TypingOffersTheMatchingValuesAndEnterTakesOne) {
  TEditorGridForm F;
  UseRecentCities(F);
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  Editor->SelectAll();
  PostChars(Editor->Handle(), "М");
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->MRUListbox()); }));
  EXPECT_EQ(Editor->MRUListbox()->Items()->Count(), 2);
  EXPECT_EQ(GetFocus(), Editor->Handle());
  PostChars(Editor->Handle(), "у");
  ASSERT_TRUE(PumpUntil([&] { return Editor->MRUListbox()->Items()->Count() == 1; }));
  PostKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Editor->MRUListbox()->ItemIndex() == 0; }));
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->MRUListbox()); }))
      << Editor->MRUListOpen() << Editor->Text() << (GetFocus() == Editor->Handle());
  EXPECT_EQ(Editor->Text(), "Мурманск");

  PostChars(Editor->Handle(), "zz");
  PumpFor(60);
  EXPECT_FALSE(PopupShown(Editor->MRUListbox())) << "no value matches";
}

// A right-to-left grid's list of recent values hangs from the cell's right
// edge and reads right to left.
TEST(DBGridInplaceEditMRU, ARightToLeftGridsListHangsFromTheRight) {
  TEditorGridForm F;
  F.Grid->SetBiDiMode(bdRightToLeft);
  TMRUListKs* MRU = UseRecentCities(F);
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  MRU->SetWidth(Editor->Width() + 60);
  Editor->SelectAll();
  PostChars(Editor->Handle(), "М");
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->MRUListbox()); }));
  RECT Cell, Drop;
  GetWindowRect(Editor->Handle(), &Cell);
  GetWindowRect(Editor->MRUListbox()->Handle(), &Drop);
  EXPECT_EQ(Drop.right - Drop.left, Cell.right - Cell.left + 60);
  EXPECT_EQ(Drop.right, Cell.right);
  EXPECT_EQ(Editor->MRUListbox()->BiDiMode(), bdRightToLeft);
}

TEST(DBGridInplaceEditMRU, TheListKeepsTheSizeTheUserGaveIt) {
  TEditorGridForm F;
  TMRUListKs* MRU = UseRecentCities(F);
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  Editor->SelectAll();
  PostChars(Editor->Handle(), "М");
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->MRUListbox()); }));
  TMRUListboxKs* List = Editor->MRUListbox();
  EXPECT_EQ(List->Width(), Editor->Width()) << "nothing stored yet";
  // As its size grip leaves it.
  List->SetBounds(List->Left(), List->Top(), Editor->Width() + 60, List->Height());
  PostChars(Editor->Handle(), "\x1b");
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(MRU->Width(), Editor->Width() + 60);
  EXPECT_EQ(MRU->Rows(), List->RowCount());

  Editor->SelectAll();
  PostChars(Editor->Handle(), "М");
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  EXPECT_EQ(List->Width(), Editor->Width() + 60);
}

TEST(DBGridInplaceEditMRU, AWrittenTextJoinsTheListUnlessAHandlerTakesTheWrite) {
  TEditorGridForm F;
  TColumnKs* Name = F.Column(ColName);
  Name->MRUList()->SetActive(true);
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  Editor->SelectAll();
  PostChars(Editor->Handle(), "Рим ");
  F.Data.Post();
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "Рим ");
  ASSERT_EQ(Name->MRUList()->Items()->Count(), 1);
  EXPECT_EQ(Name->MRUList()->Items()->Strings(0), "Рим");

  Name->OnUpdateData = [](TColumnKs*, AnsiString&, Variant&, bool&, bool& Handled) {
    Handled = true;
  };
  Editor = F.Edit(ColName);
  Editor->SelectAll();
  PostChars(Editor->Handle(), "Ницца");
  F.Data.Post();
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "Рим ");
  EXPECT_EQ(Name->MRUList()->Items()->Count(), 1);
}

// The grid paints its selected records one way while it or its editor
// has the focus and another without it: the focus leaving the editor for
// another control, and coming back, repaints them.
TEST(DBGridInplaceEditPaint, TheFocusLeavingTheEditorRepaintsTheGridsSelection) {
  TEditorGridForm F;
  auto* Other = new TEdit(F.Form);
  Other->SetParent(F.Form);
  Other->SetBounds(5, 258, 80, 20);
  F.Data.Next();
  F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  F.Data.First();
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  RECT Selected = F.Grid->CellRect(F.Grid->DataToRawColumn(ColId), F.Grid->TitleOffset() + 1);
  auto RepaintsSelected = [&](TWinControl* Focus) {
    PumpFor(40);
    ValidateRect(F.Grid->Handle(), nullptr);
    Focus->SetFocus();
    RECT Update{};
    bool Pending = GetUpdateRect(F.Grid->Handle(), &Update, FALSE);
    RECT Common;
    return Pending && IntersectRect(&Common, &Update, &Selected);
  };
  EXPECT_TRUE(RepaintsSelected(Other)) << "the focus leaves";
  EXPECT_TRUE(RepaintsSelected(Editor)) << "the focus comes back";
  EXPECT_EQ(GetFocus(), Editor->Handle());
}

TEST(DBGridInplaceEditPaint, RequiredMarkUnderAnEmptyRequiredFieldWhileInserting) {
  TEditorGridForm F;
  F.Data.FieldByName("Name")->SetRequired(true);
  F.Column(ColName)->SetHighlightRequired(true);
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  auto RedOnBottomLine = [&] {
    TDibDC Dib(Editor->ClientWidth(), Editor->ClientHeight());
    PrintClient(Editor->Handle(), Dib);
    int Y = Editor->ClientHeight() - 1;
    return Dib.Count(RECT{0, Y, Dib.Width(), Y + 1}, RGB(255, 0, 0));
  };
  EXPECT_EQ(RedOnBottomLine(), 0);
  F.Data.Append();
  F.Grid->SetEditorMode(true);
  PumpFor(50);
  Editor = F.Editor();
  RECT Text = Editor->GetEditRect();
  int Red = RedOnBottomLine();
  EXPECT_GT(Red, 0);
  EXPECT_LE(Red, (Text.right - 3 - (Text.left + 2) + 1) / 2 + 1) << "a dotted line";
}

// Wine's null graphics driver has no input method and gives windows no
// input context; its X11 driver has both, and the tests run there too
// (where KS_EXPECT_IME is set).
bool InputContextsHere() {
  HWND Wnd = CreateWindowA("EDIT", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HIMC Context = ImmGetContext(Wnd);
  if (Context) ImmReleaseContext(Wnd, Context);
  DestroyWindow(Wnd);
  return Context != nullptr;
}

#define SKIP_WITHOUT_INPUT_CONTEXTS()                                              \
  if (!InputContextsHere()) {                                                      \
    if (getenv("KS_EXPECT_IME")) FAIL() << "no input context under this driver";  \
    GTEST_SKIP() << "no input context under this driver";                         \
  }

// -1 without an input context, else whether it is open.
int OpenStatus(HWND Wnd) {
  HIMC Context = ImmGetContext(Wnd);
  if (!Context) return -1;
  int Open = ImmGetOpenStatus(Context) ? 1 : 0;
  ImmReleaseContext(Wnd, Context);
  return Open;
}

// The input method a column asks for, else the grid's, is switched on for
// the editor shown in the column: its input context opened, closed or
// taken away; and the one in use is kept when the focus leaves.
TEST(DBGridInplaceEditIme, TheColumnsElseTheGridsInputMethodReachesTheEditor) {
  SKIP_WITHOUT_INPUT_CONTEXTS();
  TFarEastScope FarEast;
  TEditorGridForm F;
  F.Grid->SetImeMode(imOpen);
  F.Column(ColId)->SetImeMode(imClose);
  F.Column(ColKind)->SetImeMode(imDisable);
  struct TCase {
    int Col;
    int Open;  // -1: no input context
  } Cases[] = {{ColName, 1}, {ColId, 0}, {ColPrice, 1}, {ColKind, -1}, {ColName, 1}, {ColId, 0}};
  for (const TCase& C : Cases) {
    TDBGridInplaceEdit* Editor = F.Edit(C.Col);
    EXPECT_EQ(OpenStatus(Editor->Handle()), C.Open) << C.Col;
  }
  EXPECT_EQ(F.Column(ColName)->ImeMode(), imOpen) << "the grid's own mode, not the last column's";

  // Moved by the keyboard, the editor that keeps the focus switches too.
  F.Grid->SetOptions(F.Grid->Options().Include(dgAlwaysShowEditor));
  TDBGridInplaceEdit* Editor = F.Edit(ColId);
  ASSERT_EQ(OpenStatus(Editor->Handle()), 0);
  PressKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return F.Grid->SelectedIndex() == ColName; }));
  Editor = F.Editor();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == Editor->Handle(); }));
  EXPECT_EQ(OpenStatus(Editor->Handle()), 1);

  auto* Other = new TEdit(F.Form);
  Other->SetParent(F.Form);
  Other->SetBounds(5, 258, 80, 20);
  Other->SetFocus();
  ASSERT_TRUE(PumpUntilFocused(Other->Handle()));
  EXPECT_EQ(Editor->ImeName(), CurrentImeName()) << "the input method in use, for the way back";
}

// Without a Far East locale there is no input method to switch: the
// editor's context stays as the system keeps it.
TEST(DBGridInplaceEditIme, WithoutInputMethodsTheContextIsLeftAlone) {
  SKIP_WITHOUT_INPUT_CONTEXTS();
  TEditorGridForm F;
  F.Column(ColKind)->SetImeMode(imDisable);
  TDBGridInplaceEdit* Editor = F.Edit(ColKind);
  EXPECT_NE(OpenStatus(Editor->Handle()), -1);
}

}  // namespace

namespace {

// Orders whose City is a lookup field over a list of cities.
struct TLookupForm {
  TArrayDataSet Cities{nullptr}, Orders{nullptr};
  TDataSource OrderSource{nullptr};
  TForm* Form = new TForm(Application);
  TDBGridKs* Grid = new TDBGridKs(Form);

  TLookupForm() {
    Cities.FieldDefs()->Add("Id", ftInteger);
    Cities.FieldDefs()->Add("City", ftString, 20);
    Cities.Open();
    for (auto [Id, Name] : {std::pair{1, "Москва"}, {2, "Тверь"}, {3, "O'Brien"}})
      AppendValues(&Cities, {Id, Name});
    Cities.First();
    AddFieldObject(&Orders, "Id", ftInteger);
    AddFieldObject(&Orders, "CityId", ftInteger);
    AddLookupField(&Orders, "City", &Cities, "CityId", "Id", "City");
    Orders.Open();
    AppendValues(&Orders, {1, 1});
    Orders.First();
    OrderSource.SetDataSet(&Orders);
    Form->SetBounds(40, 40, 460, 300);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 440, 250);
    Grid->SetDataSource(&OrderSource);
  }
  ~TLookupForm() {
    delete Form;
    Orders.Close();
  }
  TLookupForm(const TLookupForm&) = delete;
  TLookupForm& operator=(const TLookupForm&) = delete;

  TColumnKs* City() { return Grid->Columns()->Items(2); }
  int CityId() { return Orders.FieldByName("CityId")->AsInteger(); }
  TDBGridInplaceEdit* Edit() { return EditGridCell(Form, Grid, 2); }
};

TEST(DBGridInplaceEditDataList, TheListFollowsTheKeysAndEnterWritesTheKey) {
  TLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  ASSERT_EQ(Editor->EditStyle(), iesDataList);
  EXPECT_EQ(Editor->Text(), "Москва");
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->DataList()); }));
  EXPECT_EQ(Editor->DataList()->KeyValue().AsInteger(), 1);
  EXPECT_EQ(GetFocus(), Editor->Handle());
  PostKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "Тверь"; }));
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->DataList()); }));
  EXPECT_EQ(Editor->Text(), "Москва") << "Esc takes nothing";
  EXPECT_EQ(F.CityId(), 1);

  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(Editor->DataList()); }));
  PostKey(VK_DOWN);
  PostKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "O'Brien"; }));
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(Editor->DataList()); }));
  EXPECT_EQ(Editor->Text(), "O'Brien");
  F.Orders.Post();
  EXPECT_EQ(F.CityId(), 3);
}

// The left button pressed at one screen point and released at another,
// through the input queue.
void DragMouse(POINT From, POINT To) {
  auto At = [](POINT P, DWORD Flags) {
    SendMouse(P, Flags);
    PumpFor(50);
  };
  At(From, 0);
  At(From, MOUSEEVENTF_LEFTDOWN);
  At(POINT{(From.x + To.x) / 2, (From.y + To.y) / 2}, 0);
  At(To, 0);
  At(To, MOUSEEVENTF_LEFTUP);
}

// The left button pressed at the point and held while the messages are handled.
void PressAndHold(POINT At) {
  SendMouse(At);
  PumpFor(50);
  SendMouse(At, MOUSEEVENTF_LEFTDOWN);
  PumpFor(80);
}

// Moves the held mouse through the points and lets go at the last one.
void DragOnTo(std::initializer_list<POINT> Path) {
  POINT Last{};
  for (POINT P : Path) {
    SendMouse(P);
    PumpFor(50);
    Last = P;
  }
  SendMouse(Last, MOUSEEVENTF_LEFTUP);
  PumpFor(80);
}

POINT ScreenCentre(TControl* Control) {
  return Control->ClientToScreen(POINT{Control->Width() / 2, Control->Height() / 2});
}

// The editor's button held down opens the list; dragged into it the list
// follows the mouse, and the row released on is the cell's; a release back
// over the editor's text takes nothing.
TEST(DBGridInplaceEditDataList, ADragFromTheButtonIntoTheListPicksTheRowReleasedOn) {
  TLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  TPopupDataGridKs* List = Editor->DataList();
  TEditButtonControlKs* Button = Editor->ButtonControl(0);
  ASSERT_TRUE(Button->Visible());
  PressAndHold(ScreenCentre(Button));
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  auto RowCentre = [&](int DataRow) {
    RECT R = List->CellRect(List->IndicatorOffset(), List->TitleOffset() + DataRow);
    return List->ClientToScreen(POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2});
  };
  POINT Second = RowCentre(1), Third = RowCentre(2);
  SendMouse(Second);
  PumpFor(60);
  EXPECT_EQ(List->KeyValue().AsInteger(), 2) << "the list follows the held mouse";
  DragOnTo({Third});
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(Editor->Text(), "O'Brien");
  EXPECT_EQ(GetFocus(), Editor->Handle());
  EXPECT_FALSE(Button->Down());
  F.Orders.Post();
  EXPECT_EQ(F.CityId(), 3);

  Editor = F.Edit();
  Button = Editor->ButtonControl(0);
  PressAndHold(ScreenCentre(Button));
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  RECT Text = Editor->GetEditRect();
  DragOnTo({Editor->ClientToScreen(POINT{Text.left + 3, Editor->Height() / 2})});
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(Editor->Text(), "O'Brien");

  // A click on the button leaves the list open for a pick of its own.
  ClickAt(ScreenCentre(Button));
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  PumpFor(60);
  EXPECT_TRUE(PopupShown(List));
  ClickAt(RowCentre(0));
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(Editor->Text(), "Москва");
}

// A right-to-left grid's data list hangs from the cell's right edge and
// reads right to left: a row's text stands in the list's right half.
TEST(DBGridInplaceEditDataList, ARightToLeftGridsListHangsFromTheRightAndReadsThatWay) {
  for (bool Mirrored : {false, true}) {
    TLookupForm F;
    F.Grid->SetBiDiMode(Mirrored ? bdRightToLeft : bdLeftToRight);
    TDBGridInplaceEdit* Editor = F.Edit();
    TPopupDataGridKs* List = Editor->DataList();
    PressAlt(VK_DOWN);
    ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); })) << Mirrored;
    RECT Cell, Drop;
    GetWindowRect(Editor->Handle(), &Cell);
    GetWindowRect(List->Handle(), &Drop);
    EXPECT_EQ(Drop.top, Cell.bottom) << Mirrored;
    EXPECT_EQ(Mirrored ? Drop.right : Drop.left, Mirrored ? Cell.right : Cell.left) << Mirrored;
    TDibDC Dib(List->ClientWidth(), List->ClientHeight());
    PrintClient(List->Handle(), Dib);
    // Тверь, below the key's row.
    RECT Row = List->CellRect(List->IndicatorOffset(), List->TitleOffset() + 1);
    TDarkSpan Span = DarkSpan(Dib, RECT{0, Row.top, Dib.Width(), Row.bottom});
    ASSERT_GT(Span.Count, 0) << Mirrored;
    EXPECT_EQ(Span.Centre() > Dib.Width() / 2, Mirrored) << Span.Centre() << " of " << Dib.Width();
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  }
}

// The same drag picks an entry of a pick list.
TEST(DBGridInplaceEditPickList, ADragFromTheButtonIntoTheListPicksTheEntryReleasedOn) {
  TEditorGridForm F;
  TColumnKs* Name = F.Column(ColName);
  for (const char* Pick : {"Омск", "Тверь", "Уфа"}) Name->PickList()->Add(Pick);
  TDBGridInplaceEdit* Editor = F.Edit(ColName);
  ASSERT_EQ(Editor->EditStyle(), iesPickList);
  PressAndHold(ScreenCentre(Editor->ButtonControl(0)));
  TPopupListboxKs* List = Editor->PickList();
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  auto ItemCentre = [&](int Index) {
    RECT Item{};
    SendMessageA(List->Handle(), LB_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&Item));
    return List->ClientToScreen(POINT{Item.left + 5, (Item.top + Item.bottom) / 2});
  };
  SendMouse(ItemCentre(1));
  PumpFor(60);
  EXPECT_EQ(List->ItemIndex(), 1) << "the list follows the held mouse";
  DragOnTo({ItemCentre(2)});
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(Editor->Text(), "Уфа");
  EXPECT_TRUE(F.Grid->GridOrEditorFocused()) << "the list never took the focus";
  F.Data.Post();
  EXPECT_EQ(F.Data.FieldByName("Name")->AsString(), "Уфа");
}

// Sized by its grip, the list keeps its rows and width in the column and
// opens with them the next time.
TEST(DBGridInplaceEditDataList, TheListKeepsTheSizeTheUserGaveIt) {
  TLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  TPopupDataGridKs* List = Editor->DataList();
  PressAlt(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(F.City()->DropDownWidth(), -1) << "closing an unsized list stores nothing";
  EXPECT_EQ(F.City()->DropDownRows(), 7);

  PressAlt(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  int Width = List->Width(), Rows = List->RowCount();
  RECT Grip;
  GetWindowRect(List->SizeGrip()->Handle(), &Grip);
  POINT From{Grip.right - 3, Grip.bottom - 3};
  DragMouse(From, POINT{From.x + 80, From.y + 2 * List->DataRowHeight() + 4});
  ASSERT_GT(List->Width(), Width);
  ASSERT_GT(List->RowCount(), Rows);
  int SizedWidth = List->Width(), SizedRows = List->RowCount();
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(F.City()->DropDownWidth(), SizedWidth);
  EXPECT_EQ(F.City()->DropDownRows(), SizedRows);

  PressAlt(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  EXPECT_EQ(List->Width(), SizedWidth);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
}

// The wheel moves the open list, whether it reaches the editor (through
// the input queue) or the grid; the grid's record stays.
TEST(DBGridInplaceEditDataList, TheWheelMovesTheOpenListNotTheGrid) {
  TLookupForm F;
  AppendValues(&F.Orders, {2, 2});
  F.Orders.First();
  TDBGridInplaceEdit* Editor = F.Edit();
  TPopupDataGridKs* List = Editor->DataList();
  PressAlt(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  ASSERT_EQ(List->KeyValue().AsInteger(), 1);
  RECT Cell;
  GetWindowRect(Editor->Handle(), &Cell);
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dx = MulDiv(Cell.left + 5, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  In.mi.dy = MulDiv(Cell.top + 5, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  In.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &In, sizeof In);
  In.mi.dwFlags = MOUSEEVENTF_WHEEL;
  In.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
  SendInput(1, &In, sizeof In);
  // A notch moves past the rows shown, all three here: to the last.
  EXPECT_TRUE(PumpUntil([&] { return List->KeyValue().AsInteger() == 3; }));
  SendMessageA(F.Grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(List->KeyValue().AsInteger(), 1);
  EXPECT_TRUE(PopupShown(List));
  EXPECT_EQ(F.Orders.FieldByName("Id")->AsInteger(), 1) << "the grid stays on its record";
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));

  // With no list open the editor passes the wheel on: the grid moves.
  ASSERT_TRUE(Editor->Visible());
  TurnWheel(POINT{Cell.left + 5, Cell.top + 5}, -WHEEL_DELTA);
  EXPECT_TRUE(PumpUntil([&] { return F.Orders.FieldByName("Id")->AsInteger() == 2; }));
}

// A drop-down box of its own: the list opens under the cell over the box's
// source with the box's columns, lines and special row, fires the box's
// events, and the key chosen there is written.
TEST(DBGridInplaceEditDataList, ADropDownBoxShowsItsOwnListAndWritesTheChosenKey) {
  TLookupForm F;
  TArrayDataSet Towns(nullptr);
  Towns.FieldDefs()->Add("Id", ftInteger);
  Towns.FieldDefs()->Add("City", ftString, 20);
  Towns.FieldDefs()->Add("Region", ftString, 20);
  Towns.Open();
  for (auto [Id, Name, Region] : {std::tuple{10, "Казань", "Татарстан"},
                                  {20, "Самара", "Самарская"}, {30, "Уфа", "Башкортостан"}})
    AppendValues(&Towns, {Id, Name, Region});
  Towns.First();
  auto* TownSource = new TDataSource(nullptr);
  TownSource->SetDataSet(&Towns);
  TColumnKs* City = F.City();
  TColumnDropDownBoxKs* Box = City->DropDownBox();
  EXPECT_EQ(Box->Options(), (TDBLookupGridKsOptions{dlgColumnResizeKs, dlgColLinesKs,
                                                     dlgRowLinesKs}));
  EXPECT_FALSE(Box->ColumnsStored());
  Box->SetListSource(TownSource);
  Box->SetOptions({dlgColLinesKs});
  for (const char* Name : {"City", "Region"}) Box->Columns()->Add()->SetFieldName(Name);
  Box->Columns()->Items(1)->Title()->SetCaption("Регион");
  EXPECT_TRUE(Box->ColumnsStored());
  City->DropDownSpecRow()->SetCellsText("(нет);(любой)");
  City->DropDownSpecRow()->SetVisible(true);
  int Painted = 0;
  City->OnDropDownBoxGetCellParams() = [&](TObject*, TColumnKs*, TFont*, TColor&,
                                           TGridDrawState) { ++Painted; };

  TDBGridInplaceEdit* Editor = F.Edit();
  TPopupDataGridKs* List = Editor->DataList();
  PressAlt(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  RECT Cell, Drop;
  GetWindowRect(Editor->Handle(), &Cell);
  GetWindowRect(List->Handle(), &Drop);
  EXPECT_EQ(Drop.top, Cell.bottom) << "under its cell";
  EXPECT_EQ(Drop.left, Cell.left);
  EXPECT_EQ(List->ListDataSet(), &Towns);
  ASSERT_EQ(List->Columns()->Count(), 2);
  EXPECT_EQ(List->Columns()->Items(1)->Title()->Caption(), "Регион");
  EXPECT_EQ(List->LookupOptions(), 2) << "column lines only";
  EXPECT_TRUE(List->SpecRow()->Visible());
  EXPECT_EQ(List->SpecRow()->CellText(0), "(нет)");
  EXPECT_TRUE(PumpUntil([&] { return Painted > 0; })) << "the box's cell event paints the list";

  PressKey(VK_DOWN);
  PressKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "Самара"; }));
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  F.Orders.Post();
  EXPECT_EQ(F.CityId(), 20);

  // Its columns moved by their titles, the list leaves the special row's
  // texts in their new order to the column.
  Box->SetOptions({dlgColumnResizeKs, dlgColLinesKs});
  Editor = F.Edit();
  PressAlt(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return PopupShown(List); }));
  RECT First = List->CellRect(0, 0), Second = List->CellRect(1, 0);
  POINT From{(Second.left + Second.right) / 2, (Second.top + Second.bottom) / 2};
  POINT To{First.left + 4, From.y};
  ClientToScreen(List->Handle(), &From);
  ClientToScreen(List->Handle(), &To);
  DragMouse(From, To);
  ASSERT_EQ(List->Columns()->Items(0)->FieldName(), "Region");
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !PopupShown(List); }));
  EXPECT_EQ(City->DropDownSpecRow()->CellsText(), "(любой);(нет)");

  delete TownSource;
  EXPECT_EQ(Box->ListSource(), nullptr) << "a source that goes is let go";
  EXPECT_EQ(City->GetLookupListDataSet(), &F.Cities);
}

TEST(DBGridInplaceEditDataList, TypedTextLocatesAndAnUnlistedTextIsRefused) {
  TLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  Editor->SelectAll();
  PostChars(Editor->Handle(), "т");
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "Тверь"; }));
  EXPECT_EQ(Editor->SelStart(), 1);
  EXPECT_EQ(Editor->SelLength(), 4);
  PostChars(Editor->Handle(), "x");
  EXPECT_EQ(Editor->Text(), "Тверь");
  PostChars(Editor->Handle(), "в");
  EXPECT_EQ(Editor->SelStart(), 2);
  PostKey(VK_BACK);
  ASSERT_TRUE(PumpUntil([&] { return Editor->SelStart() == 1; }));
  EXPECT_EQ(Editor->Text(), "Тверь") << "Backspace looks up the shorter text";
  EXPECT_EQ(Editor->SelLength(), 4);
  F.Orders.Post();
  EXPECT_EQ(F.CityId(), 2);

  // Whole text deleted: no city.
  Editor = F.Edit();
  Editor->SelectAll();
  PostKey(VK_DELETE);
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text().empty(); }));
  F.Orders.Post();
  EXPECT_TRUE(F.Orders.FieldByName("CityId")->IsNull());
}

TEST(DBGridInplaceEditDataList, TheSpecialRowsShortcutTakesItsValueAndItsTextShowsForIt) {
  TLookupForm F;
  TSpecRowKs* Spec = F.City()->DropDownSpecRow();
  Spec->SetCellsText("(нет)");
  Spec->SetVisible(true);
  TDBGridInplaceEdit* Editor = F.Edit();
  EXPECT_EQ(Editor->Text(), "Москва");
  PostKey(VK_DELETE, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return Editor->Text() == "(нет)"; }));
  EXPECT_EQ(Editor->SelLength(), 5);
  F.Orders.Post();
  EXPECT_TRUE(F.Orders.FieldByName("CityId")->IsNull());

  Editor = F.Edit();
  EXPECT_EQ(Editor->Text(), "(нет)") << "the special row stands for the empty key";
}

// Typed into a lookup cell, a double-byte character is looked up whole:
// one that no entry starts with is refused even where its lead byte alone
// would find one, and a found one leaves no trail byte behind.
TEST(DBGridInplaceEditDataList, ADoubleByteCharacterIsLookedUpWhole) {
  TFarEastScope FarEast;
  TLookupForm F;
  AppendValues(&F.Cities, {4, "\x82\xA0x"});
  F.Cities.First();
  TDBGridInplaceEdit* Editor = F.Edit();
  Editor->SelectAll();
  auto Type = [&](char Lead, char Trail) {
    PostMessageA(Editor->Handle(), WM_CHAR, static_cast<uint8_t>(Lead), 1);
    PostMessageA(Editor->Handle(), WM_CHAR, static_cast<uint8_t>(Trail), 1);
    PumpFor(40);
  };
  Type('\x82', '\xA2');  // い
  EXPECT_EQ(Editor->Text(), "Москва") << "refused whole";
  Type('\x82', '\xA0');  // あ
  EXPECT_EQ(Editor->Text(), "\x82\xA0x");
  EXPECT_EQ(Editor->SelStart(), 2);
  F.Orders.Post();
  EXPECT_EQ(F.CityId(), 4);
}

TEST(DBGridInplaceEditDataList, PasteTakesAListedTextOrIsRefused) {
  TLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  Editor->SelectAll();
  Clipboard()->SetAsText("zz");
  SendMessageA(Editor->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(Editor->Text(), "Москва") << "no city starts with it";
  Clipboard()->SetAsText("o'b");
  Editor->SelectAll();
  SendMessageA(Editor->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(Editor->Text(), "O'Brien");

  // A not-in-list handler takes the pasted text, without a key.
  F.City()->OnNotInList = [](TObject*, const AnsiString&, bool&) {};
  Clipboard()->SetAsText("Рим");
  Editor->SelectAll();
  SendMessageA(Editor->Handle(), WM_PASTE, 0, 0);
  EXPECT_EQ(Editor->Text(), "Рим");
}

}  // namespace
