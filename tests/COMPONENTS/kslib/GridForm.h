// The grid tests' fixture: a form with a grid over a small in-memory
// dataset of goods (Id, Name, Price, Qty), the grid unit started once for
// the test program.
#pragma once

#include <gtest/gtest.h>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "FormsTestKit.h"
#include "GridUnitEnvironment.h"
#include "KsTestKit.h"
#include "forms/Forms.h"
#include "tests/platform/db/ArrayDataSet.h"

class TGoodsDataSet : public TArrayDataSet {
 public:
  explicit TGoodsDataSet(int Count) : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Id", ftInteger);
    FieldDefs()->Add("Name", ftString, 20);
    FieldDefs()->Add("Price", ftFloat);
    FieldDefs()->Add("Qty", ftInteger);
    Open();
    for (int I = 1; I <= Count; ++I)
      AppendValues(this, {I, "item" + std::to_string(I), I * 1.5, I * 10});
    First();
  }
  ~TGoodsDataSet() override { Close(); }
};

template <class TGrid = TDBGridKs>
struct TGridForm {
  TGoodsDataSet Data;
  TDataSource Source{nullptr};
  TForm* Form = new TForm(Application);
  TGrid* Grid = new TGrid(Form);

  explicit TGridForm(int Records = 20, bool Bind = true) : Data(Records) {
    Source.SetDataSet(&Data);
    Form->SetBounds(40, 40, 460, 300);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 440, 250);
    if (Bind) Grid->SetDataSource(&Source);
  }
  ~TGridForm() { delete Form; }
  TGridForm(const TGridForm&) = delete;
  TGridForm& operator=(const TGridForm&) = delete;

  void Show() {
    Form->Show();
    SetForegroundWindow(Form->Handle());
    Grid->SetFocus();
    PumpUntilFocused(Grid->Handle());
  }
};
