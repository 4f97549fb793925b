// The level choice: the level records of a server-backed dataset as a
// tree, from which the user picks a record's new parent.
#pragma once

#include <cstdint>

#include "DBSTreeView.h"
#include "SDS.h"
#include "SDataSource.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

class TfrmLevelChoice : public TForm {
 public:
  explicit TfrmLevelChoice(TComponent* AOwner);

  TDBSTreeView* TreeView;
  TPanel* Panel1;
  TButton* Ok;
  TButton* btnCancel;
  TSDataSource* DataSource;
  TSDS* sdsLeveledStructure;
  // The identity of the chosen parent; 0 is the top.
  int32_t ChosenID = 0;

  // Without a node chosen the dialog stays open.
  void OkClick(TObject* Sender);
  // Only level records can be parents.
  void sdsLeveledStructureFilterRecord(TDataSet* DataSet, bool& Accept);
};
