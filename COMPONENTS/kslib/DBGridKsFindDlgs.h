// The grid's find dialog: a text sought in one column or in all visible
// columns of a grid's dataset, record by record; the grid lands on the
// matching cell. One dialog serves the process, modal or modeless.
#pragma once

#include <utility>
#include <vector>

#include "COMPONENTS/kslib/DBCheckBoxKs.h"
#include "COMPONENTS/kslib/DBComboBoxKs.h"
#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsSearch.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

// Captions with their columns, offered in place of the grid's visible ones.
using TFindColumnChoicesKs = std::vector<std::pair<AnsiString, TColumnKs*>>;

class TDBGridKsFindDlg : public TForm {
 public:
  explicit TDBGridKsFindDlg(TComponent* AOwner);

  TLabel* Label1;
  TDBComboBoxKs* cbText;
  TLabel* Label2;
  TDBComboBoxKs* cbFindIn;
  TLabel* cbMatchType;
  TDBComboBoxKs* cbMatchinType;
  TLabel* Label3;
  TDBComboBoxKs* cbFindDirection;
  TDBCheckBoxKs* cbCharCase;
  TDBCheckBoxKs* cbUseFormat;
  TButton* bFind;
  TButton* bCancel;

  // Opens the dialog on the grid with the text; ColumnChoices, when given,
  // replace the grid's visible columns in the "search in" list.
  void Execute(TCustomDBGridKs* Grid, const AnsiString& Text, bool Modal,
               const TFindColumnChoicesKs* ColumnChoices);
  TCustomDBGridKs* Grid() const { return FGrid; }
  const TColumnsKsList& SearchColumns() const { return FSearchColumns; }
  const TCellSearchKs& Search() const { return FSearch; }

  void bFindClick();
  void bCancelClick() { Close(); }
  void cbFindInChange();
  void cbTextChange();
  void FormKeyDown(uint16_t& Key, TShiftState Shift);

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  void FillFindIn(const TFindColumnChoicesKs* ColumnChoices);
  TCustomDBGridKs* FGrid = nullptr;
  TColumnsKsList FSearchColumns;
  TCellSearchKs FSearch;
  bool FFillingFindIn = false;
};

// Creates the dialog on first use (owned by the application) and opens it.
void ExecuteDBGridKsFindDialog(TCustomDBGridKs* Grid, const AnsiString& Text, bool Modal,
                               const TFindColumnChoicesKs* ColumnChoices = nullptr);
// The dialog unit's start-up, which a program that links the dialog calls
// beside the grid unit's: from then on the grid's find key opens the dialog
// for the grid, modal as the grid's FindDialogFlag says. The grid works
// without it, and it without the service actions. Calling it again changes
// nothing.
void InstallFindDialogHook();
// The dialog of the process, or null before the first call.
TDBGridKsFindDlg* DBGridKsFindDlg();
