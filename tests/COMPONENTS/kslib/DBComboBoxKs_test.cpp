// The data-aware combo box: completion from Items, key mode both ways,
// stepping, the popup list driven by keys through the form's pre-processing
// (Enter and Esc stay with the open list), and the list's width and rows.
#include "COMPONENTS/kslib/DBComboBoxKs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "EditorForm.h"
#include "forms/Clipbrd.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

using TComboForm = TEditorForm<TDBComboBoxKs>;

void AddItems(TStrings* List, std::initializer_list<const char*> Items) {
  for (const char* Item : Items) List->Add(Item);
}

TEST(DBComboBoxKsText, TypingCompletesFromItemsWithTheTailSelected) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"Тверь", "Москва", "Мурманск"});
  F.Show();
  F.PostChars("Мо");
  EXPECT_EQ(F.Edit->Text(), "Москва");
  EXPECT_EQ(F.Edit->SelStart(), 2);
  EXPECT_EQ(F.Edit->SelLength(), 4);
  EXPECT_EQ(F.Edit->ItemIndex(), 1);
  F.Edit->SetSelStart(1);
  F.Edit->SetSelLength(5);
  F.PostChars("у");
  EXPECT_EQ(F.Edit->Text(), "Мурманск") << "typing over the tail completes anew";
  EXPECT_EQ(F.Edit->ItemIndex(), 2);
  PostKey(VK_BACK);
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "Му"; }));
  EXPECT_EQ(F.Edit->ItemIndex(), -1) << "deleting the tail leaves the item";
  F.PostChars("х");
  EXPECT_EQ(F.Edit->Text(), "Мух") << "a text in no item stays free";
  EXPECT_EQ(F.Edit->ItemIndex(), -1);
}

TEST(DBComboBoxKsText, TheItemFollowsTextSetInCodeAndNotInListIsAsked) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"a", "b"});
  std::vector<AnsiString> NotInList;
  F.Edit->OnNotInList = [&](TObject*, const AnsiString& Text, bool&) { NotInList.push_back(Text); };
  F.Edit->SetText("b");
  EXPECT_EQ(F.Edit->ItemIndex(), 1);
  F.Edit->SetText("zz");
  EXPECT_EQ(F.Edit->ItemIndex(), -1);
  EXPECT_EQ(NotInList, std::vector<AnsiString>{"zz"});
  F.Edit->SetItemValue(0);
  EXPECT_EQ(F.Edit->Text(), "a");
  EXPECT_EQ(F.Edit->Value().AsString(), "a");
}

TEST(DBComboBoxKsKeys, KeyModeMapsKeysAndItemsBothWays) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"Да", "Нет", "Не знаю"});
  AddItems(F.Edit->KeyItems(), {"1", "0"});
  EXPECT_TRUE(F.Edit->KeyMode());
  EXPECT_EQ(F.Edit->ItemCount(), 2) << "no more items than keys";
  F.Edit->SetValue(Variant(0));
  EXPECT_EQ(F.Edit->Text(), "Нет");
  EXPECT_EQ(F.Edit->ItemIndex(), 1);
  EXPECT_EQ(F.Edit->Value().AsInteger(), 0);
  EXPECT_EQ(F.Edit->DataLink()->DataIndependentValue().AsInteger(), 0);
  F.Edit->SetValue(Variant(5));
  EXPECT_EQ(F.Edit->Text(), "");
  EXPECT_EQ(F.Edit->ItemIndex(), -1);
  F.Edit->SetText("да");
  EXPECT_EQ(F.Edit->KeyValue().AsString(), "1");
  F.Edit->SetText("Не знаю");
  EXPECT_EQ(F.Edit->KeyValue().AsString(), "1") << "an item past the keys is not taken";
  F.Edit->SetValue(Variant::Null());
  EXPECT_TRUE(F.Edit->Value().IsNull());
  EXPECT_EQ(F.Edit->Text(), "");
}

TEST(DBComboBoxKsKeys, TypingSearchesTheItemsAndDeleteClearsTheValue) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"Да", "Нет"});
  AddItems(F.Edit->KeyItems(), {"1", "0"});
  F.Show();
  F.PostChars("н");
  EXPECT_EQ(F.Edit->Text(), "Нет");
  EXPECT_EQ(F.Edit->Value().AsInteger(), 0);
  F.PostChars("x");
  EXPECT_EQ(F.Edit->Text(), "Нет") << "free text cannot be typed";
  PostKey(VK_DELETE);
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Value().IsNull(); }));
  EXPECT_EQ(F.Edit->Text(), "");
}

TEST(DBComboBoxKsKeys, AReadOnlyKeyModeBoxRefusesEveryChangeByTheUser) {
  TComboForm F;
  TArrayDataSet Data(nullptr);
  TDataSource Source(nullptr);
  Data.FieldDefs()->Add("Answer", ftInteger);
  Data.Open();
  AppendValues(&Data, {1});
  Source.SetDataSet(&Data);
  AddItems(F.Edit->Items(), {"Да", "Нет", "Не знаю"});
  AddItems(F.Edit->KeyItems(), {"1", "0", "2"});
  F.Edit->EditButton()->SetStyle(ebsUpDownKs);
  F.Edit->SetDataSource(&Source);
  F.Edit->SetDataField("Answer");
  F.Edit->SetReadOnly(true);
  F.Show();
  TEditButtonControlKs* Spin = F.Edit->ButtonControl(0);
  struct Case {
    const char* Name;
    std::function<void()> Act;
  } Cases[] = {
      {"typing", [&] { F.PostChars("н"); }},
      {"backspace", [&] { PostKey(VK_BACK); }},
      {"the lower half of the spin button",
       [&] {
         PostClickOn(F.Edit->Handle(), POINT{Spin->Left() + 2, Spin->Height() - 2});
       }},
      {"the upper half of the spin button",
       [&] {
         PostClickOn(F.Edit->Handle(), POINT{Spin->Left() + 2, 1});
       }},
      {"Down", [&] { PostKey(VK_DOWN); }},
      {"Delete", [&] { PostKey(VK_DELETE); }},
      {"the wheel",
       [&] { SendMessageA(F.Edit->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0); }},
      {"pasting",
       [&] {
         Clipboard()->SetAsText("Нет");
         PostKey('V', {VK_CONTROL});
       }},
  };
  for (const Case& C : Cases) {
    C.Act();
    PumpFor(30);
    EXPECT_EQ(F.Edit->Text(), "Да") << C.Name;
    EXPECT_EQ(F.Edit->Value().AsInteger(), 1) << C.Name;
    EXPECT_EQ(Data.State(), dsBrowse) << C.Name << " put the record into editing";
    if (Data.State() != dsBrowse) Data.Cancel();
  }
  EXPECT_EQ(Data.FieldByName("Answer")->AsInteger(), 1);
  delete F.Form;
  F.Form = nullptr;
}

TEST(DBComboBoxKsSteps, UpAndDownStepThroughTheItems) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"a", "b", "c"});
  F.Show();
  struct Step {
    WORD Key;
    const char* Text;
  } Steps[] = {{VK_DOWN, "a"}, {VK_DOWN, "b"}, {VK_DOWN, "c"}, {VK_DOWN, "c"},
               {VK_UP, "b"},   {VK_UP, "a"},   {VK_UP, "a"}};
  for (const Step& S : Steps) {
    PostKey(S.Key);
    PumpFor(40);
    EXPECT_EQ(F.Edit->Text(), S.Text) << "after " << (S.Key == VK_UP ? "Up" : "Down");
  }
  F.Edit->SetText("");
  PostKey(VK_UP);
  EXPECT_TRUE(PumpUntil([&] { return F.Edit->Text() == "c"; })) << "Up with no item goes to the last";
  EXPECT_EQ(F.OkClicks, 0);
}

TEST(DBComboBoxKsList, EnterWithTheListOpenChoosesAndNeverPressesTheDefaultButton) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"alpha", "beta", "gamma"});
  F.Show();
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->ListVisible(); }));
  TPopupListboxKs* List = F.Edit->PopupListbox();
  EXPECT_TRUE(IsWindowVisible(List->Handle()));
  EXPECT_EQ(GetFocus(), F.Edit->Handle()) << "the list never takes the focus";
  EXPECT_TRUE(F.Edit->ButtonControl(0)->Down());
  PostKey(VK_DOWN);
  PostKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return List->ItemIndex() == 1; }));
  EXPECT_EQ(F.Edit->Text(), "") << "moving in the list chooses nothing yet";
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !F.Edit->ListVisible(); }));
  PumpFor(50);
  EXPECT_EQ(F.Edit->Text(), "beta");
  EXPECT_EQ(F.OkClicks, 0);
  EXPECT_FALSE(IsWindowVisible(List->Handle()));
  EXPECT_FALSE(F.Edit->ButtonControl(0)->Down());

  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->ListVisible(); }));
  PostKey(VK_DOWN);
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !F.Edit->ListVisible(); }));
  PumpFor(50);
  EXPECT_EQ(F.Edit->Text(), "beta");
  EXPECT_EQ(F.CancelClicks, 0);
  PostKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return F.OkClicks == 1; })) << "with the list closed, Enter is the form's";
}

// Dropped with nothing chosen, Enter closes the list and the dialog stays.
TEST(DBComboBoxKsList, EnterWithNothingChosenClosesTheListOnly) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"alpha", "beta"});
  F.Show();
  PostKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->ListVisible(); }));
  ASSERT_EQ(F.Edit->PopupListbox()->ItemIndex(), -1);
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !F.Edit->ListVisible(); }));
  PumpFor(50);
  EXPECT_EQ(F.OkClicks, 0);
  EXPECT_EQ(F.Edit->Text(), "");
}

TEST(DBComboBoxKsList, AClickOnAnItemChoosesItAndClosesTheList) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"alpha", "beta", "gamma"});
  F.Show();
  F.Edit->DropDown();
  TPopupListboxKs* List = F.Edit->PopupListbox();
  int Y = List->ItemHeight() * 2 + 2;
  SendMessageA(List->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, Y));
  SendMessageA(List->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, Y));
  EXPECT_FALSE(F.Edit->ListVisible());
  EXPECT_EQ(F.Edit->Text(), "gamma");
  EXPECT_EQ(GetFocus(), F.Edit->Handle());
}

TEST(DBComboBoxKsList, LeavingTheControlOrCancelModeElsewhereClosesWithoutChoosing) {
  TComboForm F;
  AddItems(F.Edit->Items(), {"alpha", "beta"});
  F.Show();
  F.Edit->DropDown();
  F.Edit->PopupListbox()->SetItemIndex(1);
  F.Edit->Perform(CM_CANCELMODE, reinterpret_cast<WPARAM>(F.Edit));
  EXPECT_TRUE(F.Edit->ListVisible()) << "its own cancel mode keeps the list";
  F.Edit->Perform(CM_CANCELMODE, reinterpret_cast<WPARAM>(F.Other));
  EXPECT_FALSE(F.Edit->ListVisible());
  F.Edit->DropDown();
  F.Edit->PopupListbox()->SetItemIndex(1);
  F.Other->SetFocus();
  ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
  EXPECT_FALSE(F.Edit->ListVisible());
  EXPECT_EQ(F.Edit->Text(), "");
}

// A drop-down of the combo box: its own list, or the list of recent values
// that typing opens.
struct TDropDown {
  const char* Name;
  std::function<void(TComboForm&)> Open;
  std::function<bool(TComboForm&)> IsOpen;
  std::function<TWinControl*(TComboForm&)> Window;
};

const TDropDown DropDowns[] = {
    {"the list", [](TComboForm&) { PostKey(VK_DOWN, {VK_MENU}); },
     [](TComboForm& F) { return F.Edit->ListVisible(); },
     [](TComboForm& F) -> TWinControl* { return F.Edit->PopupListbox(); }},
    {"the recent values", [](TComboForm& F) { F.Type("ze"); },
     [](TComboForm& F) { return F.Edit->MRUList()->DroppedDown(); },
     [](TComboForm& F) -> TWinControl* { return F.Edit->MRUListbox(); }},
};

struct TComboWithDropDowns : TComboForm {
  std::vector<bool> CloseUps;
  TComboWithDropDowns() {
    AddItems(Edit->Items(), {"alpha", "beta"});
    Edit->MRUList()->SetActive(true);
    for (const char* V : {"zeta", "zero"}) Edit->MRUList()->AddMRUItem(V);
    Edit->OnCloseUp = [this](TObject*, bool Accept) { CloseUps.push_back(Accept); };
  }
};

TEST(DBComboBoxKsList, DropDownsCloseOnAClickElsewhereAndWhenTheFormMovesOrGoes) {
  struct Event {
    const char* Name;
    std::function<void(TComboForm&)> Act;
  } Events[] = {
      {"a click on the form's empty area",
       [](TComboForm& F) {
         PostClickOn(F.Form->Handle(), POINT{300, 60});
       }},
      {"the form moved",
       [](TComboForm& F) {
         SetWindowPos(F.Form->Handle(), nullptr, 160, 130, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
       }},
      {"the form sized",
       [](TComboForm& F) {
         SetWindowPos(F.Form->Handle(), nullptr, 0, 0, 450, 260,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
       }},
      {"the form closed",
       [](TComboForm& F) { PostMessageA(F.Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"another form activated",
       [](TComboForm& F) {
         TForm* Another = new TForm(F.Form);
         Another->SetBounds(500, 100, 100, 100);
         Another->Show();
       }},
  };
  for (const TDropDown& D : DropDowns) {
    for (const Event& E : Events) {
      TComboWithDropDowns F;
      F.Show();
      D.Open(F);
      ASSERT_TRUE(PumpUntil([&] { return D.IsOpen(F); })) << D.Name;
      E.Act(F);
      PumpFor(50);
      EXPECT_FALSE(D.IsOpen(F)) << D.Name << " after " << E.Name;
      EXPECT_FALSE(IsWindowVisible(D.Window(F)->Handle())) << D.Name << " after " << E.Name;
      EXPECT_NE(GetFocus(), D.Window(F)->Handle()) << D.Name << " after " << E.Name;
      bool OwnList = D.Window(F) == F.Edit->PopupListbox();
      if (OwnList) {
        EXPECT_EQ(F.CloseUps, std::vector<bool>{false}) << E.Name;
      }
      EXPECT_EQ(F.Edit->Text(), OwnList ? "" : "ze") << D.Name << " after " << E.Name;
    }
  }
}

TEST(DBComboBoxKsList, ClosingAModalDialogClosesItsOpenList) {
  TComboWithDropDowns F;
  F.Form->SetVisible(false);
  Later([&] {
    F.Edit->SetFocus();
    PostKey(VK_DOWN, {VK_MENU});
    Later([&] { PostMessageA(F.Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); });
  });
  EXPECT_EQ(F.Form->ShowModal(), mrCancel);
  PumpFor(30);
  EXPECT_FALSE(F.Edit->ListVisible());
  EXPECT_FALSE(IsWindowVisible(F.Edit->PopupListbox()->Handle()));
  EXPECT_EQ(F.CloseUps, std::vector<bool>{false});
}

TEST(DBComboBoxKsList, WidthAndRowsFollowTheDropDownSettings) {
  TComboForm F;
  F.Show();
  TCustomDBComboBoxKs* C = F.Edit;
  TDropDownBoxKs* Box = C->DropDownBox();
  EXPECT_EQ(Box->Rows(), 7);
  auto Open = [&] {
    C->CloseUp(false);
    C->DropDown();
    return C->PopupListbox();
  };
  for (int I = 0; I < 10; ++I) C->Items()->Add("item " + IntToStr(I));
  TPopupListboxKs* List = Open();
  EXPECT_EQ(List->RowCount(), 7);
  EXPECT_EQ(List->Width(), C->Width()) << "width 0: the control's";
  C->Items()->Clear();
  AddItems(C->Items(), {"x", "y", "z"});
  List = Open();
  EXPECT_EQ(List->RowCount(), 3) << "fewer items than rows";
  Box->SetWidth(300);
  EXPECT_EQ(Open()->Width(), 300);
  Box->SetWidth(50);
  EXPECT_EQ(Open()->Width(), C->Width()) << "never narrower than the control";
  Box->SetWidth(-1);
  EXPECT_EQ(Open()->Width(), C->Width()) << "short items: still the control's width";
  AnsiString Long = "an item much longer than the control is wide, to be sure";
  C->Items()->Add(Long);
  List = Open();
  TWindowDC DC;
  TSelectObject Font(DC.Get(), C->Font()->Handle());
  SIZE Extent{};
  GetTextExtentPoint32A(DC.Get(), Long.c_str(), static_cast<int>(Long.size()), &Extent);
  EXPECT_EQ(List->ClientWidth(), Extent.cx + 5) << "width -1: the widest item plus 5";
  EXPECT_FALSE(IsWindowVisible(List->SizeGrip()->Handle()));
  Box->SetSizable(true);
  List = Open();
  EXPECT_TRUE(IsWindowVisible(List->SizeGrip()->Handle()));
  List->SetBounds(List->Left(), List->Top(), 420, List->Height() + List->ItemHeight());
  C->CloseUp(false);
  EXPECT_EQ(Box->Rows(), 5) << "a resized list keeps its rows";
  EXPECT_EQ(Box->Width(), 420);
}

// Right to left the list opens from the box's right edge and shows each
// item's image at its right with the text ending left of it.
TEST(DBComboBoxKsList, ARightToLeftListOpensFromTheRightWithItsImagesAtTheRight) {
  TComboForm F;
  TImageList Images(F.Form, 8, 8);
  for (uint32_t Colour : {0xFF0000u, 0x0000FFu}) {  // red, blue
    std::vector<uint32_t> Pixels(8 * 8, Colour);
    TBitmap Bitmap;
    Bitmap.SetHandle(CreateBitmap(8, 8, 1, 32, Pixels.data()));
    Images.AddMasked(&Bitmap, clFuchsia);
  }
  F.Edit->SetBiDiMode(bdRightToLeft);
  AddItems(F.Edit->Items(), {"один", "два"});
  F.Edit->SetImages(&Images);
  F.Edit->DropDownBox()->SetWidth(300);
  F.Show();
  F.Edit->DropDown();
  TPopupListboxKs* List = F.Edit->PopupListbox();
  RECT Box, Dropped;
  GetWindowRect(F.Edit->Handle(), &Box);
  GetWindowRect(List->Handle(), &Dropped);
  EXPECT_EQ(Dropped.right, Box.right) << "opens from the right edge";
  EXPECT_EQ(Dropped.right - Dropped.left, 300);
  RECT Client = List->ClientRect();
  TDibDC Dib(Client.right, Client.bottom);
  PrintClient(List->Handle(), Dib);
  // The second row, with the second image: the first has the focus rectangle.
  int Top = List->ItemHeight(), Bottom = 2 * Top, ImageArea = 8 + 4;
  RECT Square{Client.right - ImageArea, Top, Client.right, Bottom};
  EXPECT_EQ(Dib.Count(Square, RGB(0, 0, 255)), 64) << "the image at the right";
  EXPECT_EQ(Dib.Count(RECT{0, Top, Client.right - ImageArea, Bottom}, RGB(0, 0, 255)), 0);
  COLORREF Back = ColorToRGB(F.Edit->Color());
  int First = -1, Last = -1;
  for (int X = 0; X < Client.right - ImageArea; ++X) {
    if (Dib.Count(RECT{X, Top, X + 1, Bottom}, Back) == Bottom - Top) continue;
    if (First < 0) First = X;
    Last = X;
  }
  TWindowDC DC;
  TSelectObject Font(DC.Get(), F.Edit->Font()->Handle());
  SIZE Extent{};
  GetTextExtentPoint32A(DC.Get(), "два", 3, &Extent);
  int TextEnd = Client.right - ImageArea - 2;
  EXPECT_GE(Last, TextEnd - 3) << "the text ends 2 pixels left of the image";
  EXPECT_LT(Last, TextEnd);
  EXPECT_NEAR(First, TextEnd - Extent.cx, 2);
  F.Edit->CloseUp(false);
}

TEST(DBComboBoxKsBound, KeyModeShowsTheItemOfTheFieldsKeyAndStoresTheKey) {
  TComboForm F;
  TArrayDataSet Data(nullptr);
  TDataSource Source(nullptr);
  Data.FieldDefs()->Add("Id", ftInteger);
  Data.FieldDefs()->Add("Count", ftInteger);
  Data.Open();
  AppendValues(&Data, {1, 5});
  AppendValues(&Data, {2, Variant::Null()});
  Data.First();
  Source.SetDataSet(&Data);
  AddItems(F.Edit->Items(), {"пять", "семь"});
  AddItems(F.Edit->KeyItems(), {"5", "7"});
  F.Edit->SetDataSource(&Source);
  F.Edit->SetDataField("Count");
  EXPECT_EQ(F.Edit->Text(), "пять");
  F.Edit->SetItemValue(1);
  EXPECT_EQ(Data.State(), dsEdit);
  EXPECT_EQ(Data.FieldByName("Count")->AsInteger(), 7);
  Data.Post();
  Data.Next();
  EXPECT_EQ(F.Edit->Text(), "") << "a null field: no item";
  EXPECT_EQ(F.Edit->ItemIndex(), -1);
  F.Edit->SetDataSource(nullptr);
  delete F.Form;
  F.Form = nullptr;
}

// A key-mode box that paints its own text shows the item of the field's key
// in the box's letter case.
TEST(DBComboBoxKsBound, KeyModePaintsTheItemInTheBoxsCase) {
  TComboForm F;
  TArrayDataSet Data(nullptr);
  TDataSource Source(nullptr);
  Data.FieldDefs()->Add("Count", ftInteger);
  Data.Open();
  AppendValues(&Data, {7});
  Source.SetDataSet(&Data);
  AddItems(F.Edit->Items(), {"пять", "семь"});
  AddItems(F.Edit->KeyItems(), {"5", "7"});
  F.Edit->SetCharCase(ecUpperCase);
  F.Edit->SetAlignment(taRightJustify);
  F.Edit->SetDataSource(&Source);
  F.Edit->SetDataField("Count");
  F.Show(F.Other);
  RECT Client = F.Edit->ClientRect();
  RECT Text = F.Edit->CalcEditRect();
  TDibDC Shown(Client.right, Client.bottom);
  PrintClient(F.Edit->Handle(), Shown);
  // The same text drawn at the same place by hand.
  TDibDC Expected(Client.right, Client.bottom);
  PrintClient(F.Edit->Handle(), Expected);
  HBRUSH Back = CreateSolidBrush(ColorToRGB(F.Edit->Color()));
  FillRect(Expected.DC(), &Text, Back);
  DeleteObject(Back);
  TSelectObject Font(Expected.DC(), F.Edit->Font()->Handle());
  SetBkMode(Expected.DC(), TRANSPARENT);
  SetTextColor(Expected.DC(), ColorToRGB(F.Edit->Font()->Color()));
  SetTextAlign(Expected.DC(), TA_RIGHT);
  DWORD Margins = static_cast<DWORD>(SendMessageA(F.Edit->Handle(), EM_GETMARGINS, 0, 0));
  int Margin = LOWORD(Margins) + 1;
  ExtTextOutA(Expected.DC(), Text.right - Margin, Margin, ETO_CLIPPED, &Text, "СЕМЬ", 4, nullptr);
  EXPECT_TRUE(Shown.SameAs(Expected));
  F.Edit->SetDataSource(nullptr);
  delete F.Form;
  F.Form = nullptr;
}

}  // namespace
