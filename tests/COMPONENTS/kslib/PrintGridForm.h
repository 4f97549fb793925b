// The grid printing tests' fixture: a form with a grid of 120 rows with
// Cyrillic names, sum and count footers, a coloured column and check boxes,
// printed with a title text, a header and a footer with the page count.
#pragma once

#include "COMPONENTS/kslib/DBGridKsFooters.h"
#include "COMPONENTS/kslib/PrnDbgks.h"
#include "GridForm.h"

constexpr int RowCount = 120;

// Rows "Строка 1" ... with amounts N × 1.5 and quantities N × 10.
class TStockDataSet : public TArrayDataSet {
 public:
  TStockDataSet() : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Num", ftInteger);
    FieldDefs()->Add("Name", ftString, 30);
    FieldDefs()->Add("Amount", ftFloat);
    FieldDefs()->Add("Qty", ftInteger);
    FieldDefs()->Add("Done", ftBoolean);
    Open();
    for (int I = 1; I <= RowCount; ++I)
      AppendValues(this, {I, "Строка " + std::to_string(I), I * 1.5, I * 10, I % 2 == 0});
    First();
  }
  ~TStockDataSet() override { Close(); }
};

class PrintGridTest : public ::testing::Test {
 protected:
  PrintGridTest() {
    Source.SetDataSet(&Data);
    Form->SetBounds(40, 40, 700, 300);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 680, 250);
    Grid->SetDataSource(&Source);
    Grid->SetFooterRowCount(1);
    Grid->Columns()->Items(1)->Footer()->SetValueType(fvtCount);
    Grid->Columns()->Items(2)->Footer()->SetValueType(fvtSum);
    Grid->Columns()->Items(3)->Footer()->SetValueType(fvtSum);
    Grid->Columns()->Items(4)->SetCheckboxes(true);
    Grid->Columns()->Items(1)->Title()->SetCaption("Наименование");
    Grid->Columns()->Items(1)->SetColor(clYellow);
    // check_printed_grid.py expects these widths.
    const int Widths[] = {60, 150, 80, 80, 50};
    for (int I = 0; I < 5; ++I) Grid->Columns()->Items(I)->SetWidth(Widths[I]);
    Print.SetDBGridKs(Grid);
    Print.Title()->SetText("Остатки на складе");
    Print.PageHeader()->LeftText()->SetText("Отчёт о ценах");
    Print.PageHeader()->SetLineType(pcltSingleLine);
    Print.PageFooter()->RightText()->SetText("Страница &[Page] из &[Pages]");
    Data.SetRecNo(40);
  }
  ~PrintGridTest() override {
    Printer()->SetOutputFile("");
    delete Form;
  }

  void PrintToFile(const char* Name) {
    Printer()->SetOutputFile(Name);
    Print.Print();
  }

  TStockDataSet Data;
  TDataSource Source{nullptr};
  TForm* Form = new TForm(Application);
  TDBGridKs* Grid = new TDBGridKs(Form);
  TPrintDBGridKs Print{nullptr};
};

