#include "uRecordAttribs.h"

#include <memory>
#include <string>

#include "RecordAttrsLogic.h"
#include "SDS.h"
#include "SDatabase.h"
#include "ULevelChangeForm.h"
#include "forms/Clipbrd.h"
#include "forms/Dialogs.h"

namespace {

template <class T>
T* Place(TForm* Form, const char* Name, int Left, int Top, int Width, int Height) {
  T* control = new T(Form);
  control->SetName(Name);
  control->SetParent(Form);
  control->SetBounds(Left, Top, Width, Height);
  return control;
}

TLabel* PlaceLabel(TForm* Form, const char* Name, const char* Caption, int Left, int Top, bool Bold = false) {
  auto* label = Place<TLabel>(Form, Name, Left, Top, 180, 13);
  label->SetCaption(Caption);
  if (Bold) label->Font()->SetStyle({fsBold});
  return label;
}

TSButton* PlaceSButton(TForm* Form, const char* Name, const char* Caption, int Left, int Top) {
  auto* button = Place<TSButton>(Form, Name, Left, Top, 75, 22);
  button->SetCaption(Caption);
  return button;
}

TMenuItem* AddItem(TPopupMenu* Menu, const char* Name, const char* Caption) {
  auto* item = new TMenuItem(Menu);
  item->SetName(Name);
  item->SetCaption(Caption);
  Menu->Items()->Add(item);
  return item;
}

void NotYet(TObject*) { MessageDlg("Извините,данная функция пока не реализована", mtInformation, {mbOK}); }

}  // namespace

TfrmRecordAttrs::TfrmRecordAttrs(TComponent* AOwner) : TForm(AOwner) {
  SetName("frmRecordAttrs");
  SetCaption("Аттрибуты записи");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  Font()->SetCharset(RUSSIAN_CHARSET);
  SetClientSize(276, 205);

  Label1 = PlaceLabel(this, "Label1", "Владелец записи:", 8, 8, true);
  lblOwner = PlaceLabel(this, "lblOwner", "", 8, 24);
  btnChangeUser = PlaceSButton(this, "btnChangeUser", "Сменить", 192, 8);
  btnChangeUser->OnClick = [this](TObject* Sender) { btnChangeUserClick(Sender); };
  lblSYS_TIME = PlaceLabel(this, "lblSYS_TIME", "", 8, 44);
  Label2 = PlaceLabel(this, "Label2", "Тип:", 8, 64, true);
  rbLevelRecord = Place<TRadioButton>(this, "rbLevelRecord", 48, 64, 130, 17);
  rbLevelRecord->SetCaption("\"Уровневая запись\"");
  rgListRecord = Place<TRadioButton>(this, "rgListRecord", 48, 84, 130, 17);
  rgListRecord->SetCaption("\"Листовая запись\"");
  btnCallMenu = Place<TSButton>(this, "btnCallMenu", 192, 64, 23, 22);
  btnCallMenu->SetFlat(true);
  btnCallMenu->SetCaption("...");
  btnCallMenu->OnClick = [this](TObject* Sender) { btnCallMenuClick(Sender); };
  pmChangeLevel = new TPopupMenu(this);
  pmChangeLevel->SetName("pmChangeLevel");
  mChangeParentOne = AddItem(pmChangeLevel, "mChangeParentOne", "Изменить \"родителя\" текущей записи");
  mChangeParentMany = AddItem(pmChangeLevel, "mChangeParentMany", "Изменить \"родителя\" у выделенных записей");
  mChangeParentOne->OnClick = [this](TObject* Sender) { mChangeParentOneClick(Sender); };
  mChangeParentMany->OnClick = mChangeParentOne->OnClick;
  chDeletedRecord = Place<TCheckBox>(this, "chDeletedRecord", 8, 112, 130, 17);
  chDeletedRecord->SetCaption("Запись удалена");
  SButton2 = PlaceSButton(this, "SButton2", "История", 192, 110);
  SButton2->OnClick = [this](TObject* Sender) { SButton2Click(Sender); };
  lblID = PlaceLabel(this, "lblID", "", 8, 140);
  lblID->OnDblClick = [this](TObject* Sender) { lblIDDblClick(Sender); };
  btnSubjects = PlaceSButton(this, "btnSubjects", "Субъекты", 192, 136);
  btnSubjects->OnClick = [this](TObject* Sender) { btnSubjectsClick(Sender); };
  btnOk = Place<TButton>(this, "btnOk", 104, 172, 75, 25);
  btnOk->SetCaption("Ok");
  btnOk->SetModalResult(mrOk);
  btnCancel = Place<TButton>(this, "btnCancel", 192, 172, 75, 25);
  btnCancel->SetCaption("Отмена");
  btnCancel->SetModalResult(mrCancel);
  btnCancel->SetCancel(true);
}

void TfrmRecordAttrs::btnChangeUserClick(TObject* Sender) { NotYet(Sender); }

void TfrmRecordAttrs::SButton2Click(TObject* Sender) { NotYet(Sender); }

void TfrmRecordAttrs::btnSubjectsClick(TObject*) {
  MessageDlg("Запись принадлежит к субъектам:\n\r...", mtInformation, {mbOK});
}

void TfrmRecordAttrs::btnCallMenuClick(TObject*) {
  const POINT below = btnCallMenu->Parent()->ClientToScreen(
      {btnCallMenu->Left(), btnCallMenu->Top() + btnCallMenu->Height()});
  pmChangeLevel->Popup(below.x, below.y);
}

void TfrmRecordAttrs::lblIDDblClick(TObject*) {
  // Only text is replaced: an empty clipboard or a picture stays.
  if (Clipboard()->HasFormat(CF_TEXT)) Clipboard()->SetAsText(lblID->Caption());
}

void TfrmRecordAttrs::mChangeParentOneClick(TObject* Sender) {
  auto& records = dynamic_cast<TSDS&>(*Source->DataSet());
  auto choice = std::make_unique<TfrmLevelChoice>(Application);
  TSDS* structure = choice->sdsLeveledStructure;
  structure->SetMasterDataset(records.MasterDataset() ? records.MasterDataset() : &records);
  TField* shown = TreeDisplayField(&records);
  if (!shown) {
    MessageDlg("Нет поля для визуализации", mtError, {mbCancel});
    return;
  }
  choice->TreeView->DataField = shown->FieldName();
  structure->Open();
  choice->TreeView->BuildTree(records.PublicName());
  if (choice->ShowModal() != mrOk) return;
  if (Sender != mChangeParentMany) {
    records.ChangeParent(choice->ChosenID);
    return;
  }
  const std::vector<int64_t> refused = MoveMarkedRecords(*Source, choice->ChosenID);
  if (refused.empty()) return;
  AnsiString ids;
  for (int64_t id : refused) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
  MessageDlg("Новый родитель подчинён записям, они не перенесены: " + ids, mtWarning, {mbOK});
}

void ShowRecordAttrs(TSDataSource* Source) {
  auto* records = dynamic_cast<TSDS*>(Source->DataSet());
  const TDataSetState state = Source->State();
  if (!records || !records->StateField() || (state != dsBrowse && state != dsEdit && state != dsInsert)) return;
  auto form = std::make_unique<TfrmRecordAttrs>(Application);
  const auto word = static_cast<uint32_t>(records->StateField()->AsInteger());
  form->Owner = StateOwnerID(word);
  form->Source = Source;
  form->lblOwner->SetCaption(RecordOwnerName(*records, form->Owner));
  form->btnChangeUser->SetEnabled(dynamic_cast<TSDatabase*>(records->Database()) != nullptr);
  form->chDeletedRecord->SetChecked(IsDeletedState(word));
  form->chDeletedRecord->SetEnabled(IsDeletedState(word));
  form->rgListRecord->SetChecked(IsListState(word));
  form->rbLevelRecord->SetChecked(!IsListState(word));
  if (records->IDField()) form->lblID->SetCaption(std::to_string(records->CurrentID()));
  if (records->TimeField())
    form->lblSYS_TIME->SetCaption("последнее изменение: " + records->TimeField()->AsString());
  if (form->ShowModal() != mrOk) return;
  const TRecordAttrsChoice choice{form->chDeletedRecord->Enabled(), form->chDeletedRecord->Checked(),
                                  form->rgListRecord->Checked()};
  // The menu may have moved the record: the word is read again.
  const auto now = static_cast<uint32_t>(records->StateField()->AsInteger());
  if (RecordAttrsChanged(now, choice)) ApplyRecordState(*records, RecordAttrsState(now, choice));
}

void InstallRecordAttrsDialog() { SetRecordAttrsHook(ShowRecordAttrs); }
