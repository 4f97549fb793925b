#include "ULevelChangeForm.h"

TfrmLevelChoice::TfrmLevelChoice(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmLevelChoice");
  SetCaption("Укажите новое местоположение:");
  SetBorderStyle(bsSizeToolWin);
  SetPosition(poOwnerFormCenter);
  Font()->SetCharset(RUSSIAN_CHARSET);
  SetBounds(0, 0, 520, 480);

  sdsLeveledStructure = new TSDS(this);
  sdsLeveledStructure->SetName("sdsLeveledStructure");
  sdsLeveledStructure->SetAttachMaxCount(1);
  sdsLeveledStructure->SetOptions({dsoLoadData, dsoLoadAllFields, dsoPermissions, dsoLevels});
  sdsLeveledStructure->SetLevelMode(dslmShowAll);
  sdsLeveledStructure->SetOnFilterRecord(
      [this](TDataSet* DataSet, bool& Accept) { sdsLeveledStructureFilterRecord(DataSet, Accept); });
  sdsLeveledStructure->SetFiltered(true);
  DataSource = new TSDataSource(this);
  DataSource->SetName("DataSource");
  DataSource->SetDataSet(sdsLeveledStructure);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetCaption("");
  Panel1->SetHeight(41);
  Panel1->SetAlign(alBottom);
  Ok = new TButton(this);
  Ok->SetName("Ok");
  Ok->SetParent(Panel1);
  Ok->SetBounds(328, 8, 75, 25);
  Ok->SetCaption("Ok");
  Ok->SetModalResult(mrOk);
  Ok->OnClick = [this](TObject* Sender) { OkClick(Sender); };
  btnCancel = new TButton(this);
  btnCancel->SetName("btnCancel");
  btnCancel->SetParent(Panel1);
  btnCancel->SetBounds(416, 8, 75, 25);
  btnCancel->SetCaption("Отмена");
  btnCancel->SetModalResult(mrCancel);
  btnCancel->SetCancel(true);

  TreeView = new TDBSTreeView(this);
  TreeView->SetName("TreeView");
  TreeView->SetParent(this);
  TreeView->SetAlign(alClient);
  TreeView->DataField = "NAME";
  TreeView->IDNode = "SYS$ID";
  TreeView->IDParentNode = "SYS$PID";
  TreeView->SetDataSource(DataSource);
}

void TfrmLevelChoice::OkClick(TObject*) {
  HTREEITEM node = TreeView->Selected();
  if (!node) {
    SetModalResult(mrNone);
    return;
  }
  ChosenID = TreeView->NodeID(node);
}

void TfrmLevelChoice::sdsLeveledStructureFilterRecord(TDataSet* DataSet, bool& Accept) {
  const TField* state = DataSet->FindField("SYS$STATE");
  Accept = !state || !IsListState(static_cast<uint32_t>(state->AsInteger()));
}
