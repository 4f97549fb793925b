#pragma once
// The pick-one dialog: the user picks one entry of a list.

#include <vector>

#include "common/SRadioGroup.h"
#include "forms/Buttons.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"

class TfmMakeChoice : public TForm {
 public:
  explicit TfmMakeChoice(TComponent* AOwner);

  TLabel* lAddText;
  TPanel* pnlBtn;
  TSpeedButton* btnOK;
  TSpeedButton* btnCancel;
  TScrollBox* ScrollBox;
  TSRadioGroup* rgChoiceList;

  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void rgChoiceListDblClick(TObject* Sender);
  void btnCancelClick(TObject* Sender);
};

// Returns the 1-based number of the chosen item, 0 when cancelled.
// DefaultIndex is 1-based (0 selects nothing); a given Control places the
// dialog just below it.
int MakeChoice(TControl* Control, const std::vector<AnsiString>& Items, const AnsiString& Caption,
               int DefaultIndex, const AnsiString& Prompt);
