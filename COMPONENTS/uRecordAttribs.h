// The system attributes of a server-backed dataset's current record: owner,
// identity, last change, level or list record, deleted mark. The user can
// restore a deleted record, switch its type, and move it, or the marked
// records, under another parent picked in the level choice.
#pragma once

#include "SDataSource.h"
#include "common/SButton.h"
#include "forms/Forms.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

class TfrmRecordAttrs : public TForm {
 public:
  explicit TfrmRecordAttrs(TComponent* AOwner);

  TLabel* Label1;
  TLabel* lblOwner;
  TSButton* btnChangeUser;
  TLabel* lblSYS_TIME;
  TLabel* Label2;
  TRadioButton* rbLevelRecord;
  TRadioButton* rgListRecord;
  TSButton* btnCallMenu;
  TPopupMenu* pmChangeLevel;
  TMenuItem* mChangeParentOne;
  TMenuItem* mChangeParentMany;
  TCheckBox* chDeletedRecord;
  TSButton* SButton2;
  TLabel* lblID;
  TSButton* btnSubjects;
  TButton* btnOk;
  TButton* btnCancel;

  // The owner's user number and the data source the dialog is for.
  int Owner = 0;
  TSDataSource* Source = nullptr;

  void btnChangeUserClick(TObject* Sender);
  void SButton2Click(TObject* Sender);
  void btnCallMenuClick(TObject* Sender);
  // Both menu items: the current record, or the marked ones.
  void mChangeParentOneClick(TObject* Sender);
  void lblIDDblClick(TObject* Sender);
  void btnSubjectsClick(TObject* Sender);
};

// The dialog for the current record of a server-backed dataset with a state
// field, in browse, edit or insert; OK writes the new state word.
void ShowRecordAttrs(TSDataSource* Source);
// Registers the dialog with the data sources.
void InstallRecordAttrsDialog();
