#include "CommonInterfaceRes.h"

#include "common/RusClipboard.h"
#include "ToolCtrlsKs.h"
#include "forms/StdCtrls.h"

namespace {

constexpr int32_t RussianLocale = 1049;

template <class TClass>
TAction* Make(TComponent* Owner) {
  return new TClass(Owner);
}

// Each action of TI as its own class, with the texts the class gives it.
const struct {
  const char* Name;
  TAction* (*Create)(TComponent* Owner);
} ActionClasses[] = {
    {"RecordMarkAction1", Make<TRecordMarkAction>},
    {"RecordMarkAllAction1", Make<TRecordMarkAllAction>},
    {"RecordMarkGroupAction1", Make<TRecordMarkGroupAction>},
    {"FindAction1", Make<TFindAction>},
    {"SumAction1", Make<TSumAction>},
    {"RecordCountAction1", Make<TRecordCountAction>},
    {"FilterAction1", Make<TFilterAction>},
    {"SortAction1", Make<TSortAction>},
    {"SortCancelAction1", Make<TSortCancelAction>},
    {"FilterCancelAction1", Make<TFilterCancelAction>},
    {"RecordDeleteAction1", Make<TRecordDeleteAction>},
    {"RecordEditAction1", Make<TRecordEditAction>},
    {"RecordPostAction1", Make<TRecordPostAction>},
    {"RecordInsertAction1", Make<TRecordInsertAction>},
    {"RecordDoubleFieldAction1", Make<TRecordDoubleFieldAction>},
    {"RecordDoubleRecordAction1", Make<TRecordDoubleRecordAction>},
    {"RecordAttributesAction1", Make<TRecordAttributesAction>},
    {"GroupDeleteAction1", Make<TGroupDeleteAction>},
    {"GroupReplaceAction1", Make<TGroupReplaceAction>},
    {"GroupFillAction1", Make<TGroupFillAction>},
    {"GroupAddAction1", Make<TGroupAddAction>},
    {"GroupMulAction1", Make<TGroupMulAction>},
    {"REditCopy1", Make<TREditCopy>},
    {"REditPaste1", Make<TREditPaste>},
    {"TougleLevelsAction1", Make<TTougleLevelsAction>},
    {"PascalScriptAction1", Make<TPascalScriptAction>},
    {"ShowNextAppFormAction1", Make<TShowNextAppFormAction>},
    {"CloseAppFormAction1", Make<TCloseAppFormAction>},
    {"TabGridAction1", Make<TTabGridAction>},
    {"EditSystemParams1", Make<TEditSystemParams>},
    {"SendUserMsgAction1", Make<TSendUserMsgAction>},
    {"KillUserSessions1", Make<TKillUserSessions>},
    {"ChangePasswordAction1", Make<TChangePasswordAction>},
    {"UserManagmenmtAction1", Make<TUserManagmenmtAction>},
    {"AboutAction1", Make<TAboutAction>},
    {"CalendarAction1", Make<TCalendarAction>},
    {"CalcAction1", Make<TCalcAction>},
    {"StdPrintAction1", Make<TStdPrintAction>},
    {"StdExcelAction1", Make<TStdExcelAction>},
    {"GridCustomizeAction1", Make<TGridCustomizeAction>},
    {"CallRefAction1", Make<TCallRefAction>},
    {"AdjustInterfaceAction1", Make<TAdjustInterfaceAction>},
    {"DBSetupAction1", Make<TDBSetupAction>},
    {"DBManageAction1", Make<TDBManageAction>},
    {"EditInputFormsAction1", Make<TEditInputFormsAction>},
    {"ParamsAdjustmentAction1", Make<TParamsAdjustmentAction>},
    {"EnumsAdjustmentAction1", Make<TEnumsAdjustmentAction>},
    {"NumbersAdjustmentAction1", Make<TNumbersAdjustmentAction>},
    {"DBSetupAdjustmentAction1", Make<TDBSetupAdjustmentAction>},
    {"DBCheckStructAction1", Make<TDBCheckStructAction>},
    {"ReportGenAction1", Make<TReportGenAction>},
    {"DBRestoreAction1", Make<TDBRestoreAction>},
    {"EditCut1", Make<TNamedAction<TEditCut, anEditCut>>},
    {"EditSelectAll1", Make<TNamedAction<TEditSelectAll, anEditSelectAll>>},
    {"EditUndo1", Make<TNamedAction<TEditAction, anEditUndo, WM_UNDO, TEditAction::nWritable>>},
    {"EditDelete1", Make<TNamedAction<TEditDelete, anEditDelete>>},
};

TCustomEdit* MenuEdit(TPopupMenu* Menu) { return dynamic_cast<TCustomEdit*>(Menu->PopupComponent); }

}  // namespace

TI::TI(TComponent* AOwner) : TComponent(AOwner) {
  SetName("I");
  ImageList = new TImageList(this);
  TBitmap images;
  images.LoadFromResourceName(GetModuleHandleA(nullptr), "TIIMAGES");
  ImageList->AddMasked(&images, clFuchsia);
  ActionList = new TActionList(this);
  ActionList->Images = ImageList;
  for (const auto& row : ActionClasses) {
    TAction* action = row.Create(this);
    action->SetName(row.Name);
    action->SetActionList(ActionList);
    Actions.push_back(action);
  }
  SysEditPopupMenu = new TPopupMenu(this);
  SysEditPopupMenu->SetName("SysEditPopupMenu");
  const struct {
    const char* Name;
    const char* Caption;
    const char* Action;
    void (TI::*Click)(TObject*);
  } items[] = {
      {"Undo1", "Отменить", "EditUndo1", nullptr},
      {"N1", "-", nullptr, nullptr},
      {"Cut1", "Вырезать", "EditCut1", nullptr},
      {"mCopyPopupMenu", "Копировать", nullptr, &TI::mCopyPopupMenuClick},
      {"mPastePopupMenu", "Вставить", nullptr, &TI::mPastePopupMenuClick},
      {"Delete1", "Удалить", "EditDelete1", nullptr},
      {"SelectAll1", "Отметить все", "EditSelectAll1", nullptr},
  };
  for (const auto& item : items) {
    auto* menuItem = new TMenuItem(this);
    menuItem->SetName(item.Name);
    menuItem->SetCaption(item.Caption);
    if (item.Action) {
      menuItem->SetAction(Action(item.Action));
    } else if (item.Click) {
      menuItem->OnClick = [this, click = item.Click](TObject* Sender) { (this->*click)(Sender); };
    }
    SysEditPopupMenu->Items()->Add(menuItem);
  }
}

TAction* TI::Action(const AnsiString& Name) const {
  for (TAction* action : Actions)
    if (action->Name() == Name) return action;
  return nullptr;
}

void TI::mCopyPopupMenuClick(TObject*) {
  if (TCustomEdit* edit = MenuEdit(SysEditPopupMenu)) PutClipboardText(edit->SelText());
}

void TI::mPastePopupMenuClick(TObject*) {
  if (TCustomEdit* edit = MenuEdit(SysEditPopupMenu)) PasteClipboardText(edit);
}

// The locale mark before and after the text, as other programs of the
// workstation expect to read Cyrillic right.
void PutClipboardText(const AnsiString& Text) {
  if (Text.empty()) return;
  TRusClipboard clipboard;
  clipboard.Open();
  SetClipboardLocale(&clipboard, RussianLocale);
  clipboard.SetAsText(Text);
  SetClipboardLocale(&clipboard, RussianLocale);
  clipboard.Close();
}

AnsiString ClipboardText() {
  TRusClipboard clipboard;
  clipboard.Open();
  SetClipboardLocale(&clipboard, RussianLocale);
  const AnsiString text = clipboard.AsText();
  SetClipboardLocale(&clipboard, RussianLocale);
  clipboard.Close();
  return text;
}

void PasteClipboardText(TCustomEdit* Edit) {
  const AnsiString text = ClipboardText();
  SendMessageA(Edit->Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}
