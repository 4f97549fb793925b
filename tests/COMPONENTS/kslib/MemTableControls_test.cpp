// The edit controls on the in-memory dataset, typed with real keys: what is
// typed posts and is saved, each control follows the record moves, Esc
// undoes the typing and a filter set meanwhile shows its first match.
#include <gtest/gtest.h>

#include "COMPONENTS/kslib/DBCheckBoxKs.h"
#include "COMPONENTS/kslib/DBComboBoxKs.h"
#include "COMPONENTS/kslib/DBEditKs.h"
#include "EditorForm.h"
#include "rtl/Streams.h"
#include "zynMemTable.h"

namespace {

struct TTableForm : TEditorForm<TDBEditKs> {
  TzynMemTable Table{nullptr};
  TDataSource Source{nullptr};
  TDBEditKs* Born = new TDBEditKs(Form);
  TDBComboBoxKs* City = new TDBComboBoxKs(Form);
  TDBCheckBoxKs* Paid = new TDBCheckBoxKs(Form);

  TTableForm() {
    Table.FieldDefs()->Add("Name", ftString, 20);
    Table.FieldDefs()->Add("Born", ftDate);
    Table.FieldDefs()->Add("City", ftString, 20);
    Table.FieldDefs()->Add("Paid", ftBoolean);
    Table.Open();
    Table.FieldByName("Born")->SetEditMask("00.00.0000;1;_");
    const struct {
      const char *Name, *Born, *City;
      bool Paid;
    } Rows[] = {{"Анна", "01.02.1990", "Тверь", true},
                {"Борис", "03.04.1985", "Мурманск", false},
                {"Вера", "05.06.1970", "Тверь", false}};
    for (const auto& R : Rows) {
      Table.Append();
      Table.FieldByName("Name")->SetAsString(R.Name);
      Table.FieldByName("Born")->SetAsString(R.Born);
      Table.FieldByName("City")->SetAsString(R.City);
      Table.FieldByName("Paid")->SetAsBoolean(R.Paid);
      Table.Post();
    }
    Table.First();
    Source.SetDataSet(&Table);
    Born->SetParent(Form);
    Born->SetBounds(220, 10, 100, 21);
    City->SetParent(Form);
    City->SetBounds(10, 150, 150, 21);
    for (const char* Item : {"Тверь", "Москва", "Мурманск"}) City->Items()->Add(Item);
    Paid->SetParent(Form);
    Paid->SetBounds(220, 50, 100, 21);
    Edit->SetDataSource(&Source);
    Edit->SetDataField("Name");
    Born->SetDataSource(&Source);
    Born->SetDataField("Born");
    City->SetDataSource(&Source);
    City->SetDataField("City");
    Paid->SetDataSource(&Source);
    Paid->SetDataField("Paid");
  }
  ~TTableForm() {
    delete Form;
    Form = nullptr;
  }
  void FocusOn(TWinControl* Control) {
    Control->SetFocus();
    ASSERT_TRUE(PumpUntilFocused(Control->Handle()));
  }
  // What the four controls show.
  std::string Shown() const {
    return Edit->Text() + "|" + Born->EditText() + "|" + City->Text() + "|" +
           (Paid->State() == cbChecked ? "+" : "-");
  }
};

std::string Records(TDataSet* Data) {
  std::string Text;
  for (Data->First(); !Data->Eof(); Data->Next())
    for (const char* Name : {"Name", "Born", "City", "Paid"})
      Text += Data->FieldByName(Name)->AsString() + (Name[0] == 'P' ? ";" : ",");
  return Text;
}

TEST(MemTableControls, TypedValuesPostFollowTheRecordsAndAreSaved) {
  TTableForm F;
  F.Show();
  EXPECT_EQ(F.Shown(), "Анна|01.02.1990|Тверь|+");
  F.Edit->SelectAll();
  PostText("Алла");
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "Алла"; }));
  EXPECT_EQ(F.Table.State(), dsEdit);
  F.FocusOn(F.Born);
  F.Born->SelectAll();
  PostText("15031991");
  ASSERT_TRUE(PumpUntil([&] { return F.Born->EditText() == "15.03.1991"; })) << F.Born->EditText();
  F.FocusOn(F.City);
  F.City->SelectAll();
  for (char C : AnsiString("Мо")) PostMessageA(F.City->Handle(), WM_CHAR, static_cast<uint8_t>(C), 1);
  ASSERT_TRUE(PumpUntil([&] { return F.City->Text() == "Москва"; })) << F.City->Text();
  F.FocusOn(F.Paid);
  PostKey(VK_SPACE);
  ASSERT_TRUE(PumpUntil([&] { return F.Paid->State() == cbUnchecked; }));
  F.FocusOn(F.Other);

  F.Table.Next();
  EXPECT_EQ(F.Table.State(), dsBrowse) << "moving on posted the record";
  EXPECT_EQ(F.Shown(), "Борис|03.04.1985|Мурманск|-");
  F.Table.Prior();
  EXPECT_EQ(F.Shown(), "Алла|15.03.1991|Москва|-");

  TMemoryStream Saved;
  F.Table.SaveToStream(&Saved);
  Saved.SetPosition(0);
  TzynMemTable Loaded(nullptr);
  Loaded.LoadFromStream(&Saved);
  Loaded.Open();
  EXPECT_EQ(Records(&Loaded),
            "Алла,15.03.1991,Москва,False;Борис,03.04.1985,Мурманск,False;"
            "Вера,05.06.1970,Тверь,False;");
}

TEST(MemTableControls, EscUndoesTheTypingAndAFilterShowsItsFirstMatch) {
  TTableForm F;
  F.Table.Next();
  F.Show();
  F.Edit->SelectAll();
  PostText("Игорь");
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "Игорь"; }));
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "Борис"; }));
  F.FocusOn(F.Other);
  F.Table.Next();
  F.Table.Prior();
  EXPECT_EQ(F.Shown(), "Борис|03.04.1985|Мурманск|-") << "nothing of the typing posted";

  F.FocusOn(F.Edit);
  F.Edit->SelectAll();
  PostText("Ян");
  ASSERT_TRUE(PumpUntil([&] { return F.Edit->Text() == "Ян"; }));
  F.FocusOn(F.Other);
  F.Table.SetFilter("City = 'Тверь'");
  F.Table.SetFiltered(true);
  EXPECT_EQ(F.Shown(), "Анна|01.02.1990|Тверь|+");
  F.Table.Next();
  EXPECT_EQ(F.Shown(), "Вера|05.06.1970|Тверь|-");
  F.Table.SetFiltered(false);
  EXPECT_EQ(Records(&F.Table),
            "Анна,01.02.1990,Тверь,True;Ян,03.04.1985,Мурманск,False;"
            "Вера,05.06.1970,Тверь,False;")
      << "the edit open when the filter came was posted";
}

}  // namespace
