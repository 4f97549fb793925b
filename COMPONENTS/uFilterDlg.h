// The filter dialog: the user edits the list of field conditions that a
// data source applies to its dataset. One dialog serves the process.
#pragma once

#include <vector>

#include "FilterDlgLogic.h"
#include "common/SRadioGroup.h"
#include "forms/Buttons.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/Mask.h"

class TSDataSource;

class TfFilterDlg : public TForm {
 public:
  explicit TfFilterDlg(TComponent* AOwner);

  TLabel* Label1;
  TListBox* lbAllFilters;
  TLabel* Label2;
  TComboBox* cbFieldName;
  TSRadioGroup* rgFType;
  TPanel* pParam1;
  TLabel* Label3;
  TEdit* eValue;
  TPanel* pParam2;
  TListBox* lbVariants;
  TEdit* eSingleVar;
  TSpeedButton* SpeedButton1;
  TSpeedButton* SpeedButton2;
  TPanel* pParam31;
  TLabel* Label4;
  TLabel* Label5;
  TEdit* eFloatBeg;
  TEdit* eFloatEnd;
  TPanel* pParam32;
  TLabel* Label6;
  TLabel* Label7;
  TMaskEdit* eDatBeg;
  TMaskEdit* eDatEnd;
  TPanel* pParamsBool;
  TSRadioGroup* rgBoolValue;
  TButton* btnAdd;
  TButton* btnReplace;
  TButton* btnDel;
  TCheckBox* cbSelFilter;
  TCheckBox* cbUnSelFilter;
  TButton* btnClose;
  TButton* Button1;

  // Edits Filters for the field of the dataset; they stay as they were
  // unless the user applies.
  void Execute(TDataSet* DataSet, TField* Field, TFilterArr& Filters);
  void WndProc(TMessage& Message) override;

 private:
  TField* SelectedField();
  TFilterFieldClass SelectedClass();
  void OfferChoices();
  void ShowPanel();
  TFilterEditors ReadEditors();
  void FillEditors(const TFilterEditors& Editors);
  void SetDateMasks(TField* Field);
  void ShowFilter(int Index);
  void RefillList();
  void AddFilter();
  void ReplaceFilter();
  void DeleteFilter();
  void AddVariant();
  void DeleteVariant();
  void FormKeyDown(uint16_t& Key);
  void FormActivate();
  void AddFromEditors();
  void EnableEditors(bool Value);

  std::vector<TOfferedField> FFields;
  TFilterArr FFilters;
  TWinControl* FFocusEditor = nullptr;
  // A condition is on show: editor changes replace it.
  bool FShowing = false;
};

// Shows the dialog for the data source's dataset and the field over Filters.
void RunFilterDialog(TSDataSource* Source, TField* Field, TFilterArr& Filters);
// Makes the data sources show this dialog.
void InstallFilterDialog();
