// The input tests' fixture: a grid on a form over an in-memory table of
// cities (Name, Qty, Kind as a key, Born, Paid), shown with the focus on
// the grid; keys and mouse messages go through the application's loop.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "FormsTestKit.h"
#include "GridUnitEnvironment.h"
#include "KsTestKit.h"
#include "forms/Forms.h"
#include "zynMemTable.h"

template <class TGrid = TDBGridKs>
struct TCityGridFormOf {
  TzynMemTable Table{nullptr};
  TDataSource Source{nullptr};
  TForm* Form = new TForm(Application);
  TGrid* Grid = new TGrid(Form);

  // The first five cities, then "Город 6" and on up to Records.
  explicit TCityGridFormOf(int Records = 30) {
    Table.FieldDefs()->Add("Name", ftString, 20);
    Table.FieldDefs()->Add("Qty", ftInteger);
    Table.FieldDefs()->Add("Kind", ftInteger);
    Table.FieldDefs()->Add("Born", ftDate);
    Table.FieldDefs()->Add("Paid", ftBoolean);
    Table.Open();
    const char* Names[] = {"Москва", "Мурманск", "Тверь", "Омск", "Тула"};
    for (int I = 1; I <= Records; ++I) {
      Table.Append();
      Table.FieldByName("Name")->SetAsString(I <= 5 ? AnsiString(Names[I - 1])
                                                    : "Город " + std::to_string(I));
      Table.FieldByName("Qty")->SetAsInteger(I * 10);
      Table.FieldByName("Kind")->SetAsInteger(I % 2 + 1);
      Table.FieldByName("Born")->SetAsDateTime(EncodeDate(1990, 2, 1));
      Table.FieldByName("Paid")->SetAsBoolean(I % 2 == 0);
      Table.Post();
    }
    Table.First();
    Source.SetDataSet(&Table);
    Form->SetBounds(40, 40, 460, 300);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 440, 250);
    Grid->SetDataSource(&Source);
  }
  ~TCityGridFormOf() {
    delete Form;
    Table.Close();
  }
  TCityGridFormOf(const TCityGridFormOf&) = delete;
  TCityGridFormOf& operator=(const TCityGridFormOf&) = delete;

  void Show() {
    Form->Show();
    SetForegroundWindow(Form->Handle());
    Grid->SetFocus();
    PumpUntilFocused(Grid->Handle());
  }
  // Name (60 px) and Qty (100 px) under one group title "Город".
  void GroupNameAndQty() {
    TDBGridColumnsKs* Columns = Grid->Columns();
    Columns->Items(0)->Title()->SetCaption("Город|Имя");
    Columns->Items(1)->Title()->SetCaption("Город|Кол-во");
    for (int I = 0; I < 2; ++I) Columns->Items(I)->SetWidth(60 + 40 * I);
    Grid->SetUseMultiTitle(true);
  }
  void Key(WORD Key, std::initializer_list<WORD> Modifiers = {}) {
    PostKey(Key, Modifiers);
    PumpFor(10);
  }
  // The current record's name and number.
  AnsiString Name() { return Table.FieldByName("Name")->AsString(); }
  int RecNo() { return Table.RecNo(); }
  // Client point in the middle of a cell.
  POINT CellCenter(int ACol, int ARow) {
    RECT R = Grid->CellRect(ACol, ARow);
    return POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2};
  }
  void Mouse(UINT Msg, POINT P, WPARAM Keys = 0) {
    PostMessageA(Grid->Handle(), Msg, Keys, MAKELPARAM(P.x, P.y));
  }
};

using TCityGridForm = TCityGridFormOf<>;
