#include "CommonInterface.h"

#include <iterator>
#include <memory>
#include <set>
#include <vector>

#include "DBEditKs.h"
#include "DBLookupGridsKs.h"
#include "DBSGridKs.h"
#include "SDS.h"
#include "SDataSource.h"
#include "CommonInterfaceRes.h"
#include "forms/Dialogs.h"
#include "forms/Forms.h"
#include "uIterators.h"

TAction *RecordMark, *RecordMarkAll, *RecordMarkGroup, *Find, *Sum, *RecordCount, *GroupDelete, *GroupReplace,
    *GroupFill, *GroupAdd, *GroupMul, *Filter, *FilterCancel, *Sort, *SortCancel, *RecordEdit, *RecordPost,
    *RecordInsert, *RecordDelete, *RecordDoubleField, *RecordDoubleRecord, *RecordAttributes, *StdPrint, *StdExcel,
    *GridCustomize, *CallRef, *TougleLevels, *REditCopy, *REditPaste;
TPopupMenu* SysEditPopupMenu;
TColor ServiceMarkColor;
bool ServiceMarkColorDeep;

namespace {

int StartCount = 0;
std::unique_ptr<TI> Module;
TScreenDepthHook ScreenDepthHook;

int ScreenDepth() {
  if (ScreenDepthHook) return ScreenDepthHook();
  HDC screen = GetDC(nullptr);
  const int depth = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  return depth;
}

// The global references with the names of the actions they stand for.
const struct {
  TAction** Global;
  const char* Name;
} Globals[] = {
    {&RecordMark, "RecordMarkAction1"},
    {&RecordMarkAll, "RecordMarkAllAction1"},
    {&RecordMarkGroup, "RecordMarkGroupAction1"},
    {&Find, "FindAction1"},
    {&Sum, "SumAction1"},
    {&RecordCount, "RecordCountAction1"},
    {&GroupDelete, "GroupDeleteAction1"},
    {&GroupReplace, "GroupReplaceAction1"},
    {&GroupFill, "GroupFillAction1"},
    {&GroupAdd, "GroupAddAction1"},
    {&GroupMul, "GroupMulAction1"},
    {&Filter, "FilterAction1"},
    {&FilterCancel, "FilterCancelAction1"},
    {&Sort, "SortAction1"},
    {&SortCancel, "SortCancelAction1"},
    {&RecordEdit, "RecordEditAction1"},
    {&RecordPost, "RecordPostAction1"},
    {&RecordInsert, "RecordInsertAction1"},
    {&RecordDelete, "RecordDeleteAction1"},
    {&RecordDoubleField, "RecordDoubleFieldAction1"},
    {&RecordDoubleRecord, "RecordDoubleRecordAction1"},
    {&RecordAttributes, "RecordAttributesAction1"},
    {&StdPrint, "StdPrintAction1"},
    {&StdExcel, "StdExcelAction1"},
    {&GridCustomize, "GridCustomizeAction1"},
    {&CallRef, "CallRefAction1"},
    {&TougleLevels, "TougleLevelsAction1"},
    {&REditCopy, "REditCopy1"},
    {&REditPaste, "REditPaste1"},
};

struct TActionTexts {
  const char* Category;
  const char* Caption;
  const char* Hint;
  TShortCut ShortCut;
  int Image;
};

constexpr const char* Service = "PelmService";
constexpr const char* App = "PelmAppService";
constexpr const char* Sys = "PelmSysService";

// In the order of TActionName. Group multiply has the key next to group
// add's: the grid's key table needs distinct shortcuts.
const TActionTexts Texts[] = {
    {Service, "&Отметить запись", "&Отметить запись", (VK_F3 | scShift), 10},
    {Service, "Отметить/НЕотметить ВСЕ строки", "Отметить/НЕотметить ВСЕ строки ", 0, 7},
    {Service, "Отметить начало/конец группы", "Отметить начало/конец группы", (VK_F4 | scShift), 6},
    {Service, "&Поиск", "Поиск", (VK_F3 | scCtrl), 11},
    {Service, "&Сумма по графе", "Сумма по графе", (VK_F4 | scShift | scCtrl), 3},
    {Service, "Кол-во строк", "Кол-во строк", (VK_F5 | scCtrl), 25},
    {Service, "&Фильтр", "Фильтр", (VK_F7 | scCtrl), 12},
    {Service, "Сортировка", "Сортировка", (VK_F6 | scCtrl), 14},
    {Service, "Отмена сортировки", "Отмена сортировки", (VK_F6 | scShift), 36},
    {Service, "Отменить фильтр", "Отменить фильтр", (VK_F7 | scShift), 13},
    {Service, "Удаление записи", "Удаление записи", (VK_DELETE | scCtrl), 4},
    {Service, "Корректировка записи", "Корректировка записи", VK_F2, 1},
    {Service, "Завершить ввод/корректировку", "Завершить ввод/корректировку", VK_F5, 17},
    {Service, "Добавление записи", "Добавление записи", VK_INSERT, 0},
    {Service, "Дублирование поля", "Дублирование поля", VK_F12, 18},
    {Service, "Дублирование полей справа", "Дублирование полей справа", (VK_F12 | scCtrl), 19},
    {Service, "Атрибуты записи", "Атрибуты записи", VK_F4, 32},
    {Service, "Групповое удаление", "Групповое удаление", (VK_F9 | scShift), -1},
    {Service, "Групповая замена", "Групповая замена", (VK_F10 | scCtrl), -1},
    {Service, "Групповое заполнение", "Групповое заполнение", (VK_F9 | scCtrl), -1},
    {Service, "Добавить к графе значение", "Добавить к графе значение", (VK_ADD | scCtrl), -1},
    {Service, "Умножить графу на значение", "Умножить графу на значение", (VK_MULTIPLY | scCtrl), -1},
    {Service, "Копировать в буфер", "", (VK_INSERT | scCtrl), -1},
    {Service, "Вставить из буфера", "", (VK_INSERT | scShift), -1},
    {App, "Уровневый-плоский", "Переключение между уровневым и плоским видом", VK_F3, -1},
    {App, "Вызов пользовательских программ", "Вызов пользовательских программ", (VK_F12 | scShift | scCtrl), 27},
    {App, "Переключение между активными прикладными формами", "Переключение между активными прикладными формами",
     (VK_TAB | scCtrl), -1},
    {App, "Закрытие прикладной формы", "Закрытие прикладной формы", (VK_F4 | scCtrl), -1},
    {App, "Переключение между гридами", "Переключение между гридами в прикладной форме", VK_F9, -1},
    {Sys, "Параметры системы", "Параметры системы", 0, -1},
    {Sys, "Послать сообщение пользователям", "Послать сообщение пользователям", 0, -1},
    {Sys, "Отключить пользователей", "Отключить пользователей", 0, -1},
    {Sys, "Сменить пароль", "Сменить пароль", 0, -1},
    {Sys, "Пользователи", "Управление пользователями", 0, -1},
    {Sys, "О программе", "О программе", 0, -1},
    {App, "Календарь", "Вызов календаря", 0, 34},
    {App, "Калькулятор", "Вызов калькулятора", (VK_F1 | scAlt), 16},
    {App, "Печать формы", "Печать формы", VK_F6, 20},
    {App, "Экспорт в MS Excel", "Экспорт в MS Excel", 0, 37},
    {App, "Параметры отображения таблицы", "Параметры отображения таблицы", 0, 38},
    {App, "Вызов справочника", "Вызов справочника", VK_F8, -1},
    {App, "Настройки интерфейса", "Настройки интерфейса", 0, -1},
    {Sys, "Обновление", "Провести обновление базы данных", 0, -1},
    {Sys, "Структура базы", "Просмотр / редактирование структуры базы данных", 0, -1},
    {Sys, "Редактирование запросных форм", "Редактирование запросных форм", 0, -1},
    {Sys, "Редактирование параметров системы", "Редактирование параметров системы", 0, -1},
    {Sys, "Редактирование перечислений", "Редактирование перечислений", 0, -1},
    {Sys, "Редактирование нумераторов", "Редактирование нумераторов", 0, -1},
    {Sys, "Настройка параметров обновления", "Настройка параметров обновления", 0, -1},
    {Sys, "Проверка структуры", "Проверка структуры базы (относительно эталонной)", 0, -1},
    {App, "ReportGen", "Вызов генератора отчетов - ReportGen", 0, 39},
    {Sys, "Восстановление", "Провести восстановление базы данных из копии", 0, -1},
    {"Edit", "Cu&t", "Cut", ('X' | scCtrl), 41},
    {"Edit", "Select &All", "", 0, -1},
    {"Edit", "&Undo", "", (VK_BACK | scAlt), 42},
    {"Edit", "&Delete", "", VK_DELETE, 43},
};
static_assert(std::size(Texts) == anEditDelete + 1);

TCustomDBEditKs* ServiceEdit(TObject* Control) {
  auto* edit = dynamic_cast<TCustomDBEditKs*>(Control);
  return edit && dynamic_cast<TSDataSource*>(edit->DataSource()) ? edit : nullptr;
}

TDataSet* DataSetOf(TDataSource* Source) { return Source ? Source->DataSet() : nullptr; }

// The post key on a browsing record does nothing rather than raise.
void PostEdits(TDataSet* DataSet) {
  if (DataSet && (DataSet->State() == dsEdit || DataSet->State() == dsInsert)) DataSet->Post();
}

}  // namespace

TWinControl* ActiveServiceControl() {
  TCustomForm* form = Screen->ActiveForm();
  return form ? form->ActiveControl() : nullptr;
}

bool CanModifyDataSet(TDataSet* DataSet) {
  if (!DataSet || !DataSet->Active()) return false;
  auto* sds = dynamic_cast<TSDS*>(DataSet);
  return !sds || !sds->ReadOnly();
}

bool TPelmServiceAction::HandlesTarget(TObject* Target) {
  if (dynamic_cast<TSDataSource*>(Target) || dynamic_cast<TDBSGridKs*>(Target)) return true;
  return !FGridOnly && dynamic_cast<TCustomDBEditKs*>(Target);
}

void SetActionTexts(TAction* Action, TActionName Name) {
  const TActionTexts& texts = Texts[Name];
  Action->Category = texts.Category;
  Action->Caption = texts.Caption;
  Action->Hint = texts.Hint;
  Action->ShortCut = texts.ShortCut;
  Action->ImageIndex = texts.Image;
}

TServiceAction::TServiceAction(TComponent* AOwner, TServiceActionKind Kind) : TPelmServiceAction(AOwner), FKind(Kind) {
  FGridOnly = Kind == sakDoubleField || Kind == sakDoubleRecord;
}

bool TServiceAction::HandlesTarget(TObject* Target) {
  switch (FKind) {
    case sakCallRef:
      return false;
    case sakCopy:
      return dynamic_cast<TDBSGridKs*>(Target) != nullptr;
    case sakLevels:
      return dynamic_cast<TSDataSource*>(Target) != nullptr;
    default:
      return TPelmServiceAction::HandlesTarget(Target);
  }
}

void TServiceAction::UpdateTarget(TObject* Target) {
  auto* edit = dynamic_cast<TCustomDBEditKs*>(Target);
  if (!edit) {
    Enabled = true;
    return;
  }
  TDataSource* source = edit->DataSource();
  const bool anySource = FKind == sakRecordPost || FKind == sakRecordInsert || FKind == sakRecordDelete;
  Enabled = anySource ? source && source->DataSet() : dynamic_cast<TSDataSource*>(source) != nullptr;
}

void TServiceAction::ExecuteTarget(TObject* Target) {
  switch (FKind) {
    case sakMark:
    case sakMarkAll:
    case sakMarkGroup:
    case sakAttributes:
    case sakLevels: {
      TCustomDBEditKs* edit = ServiceEdit(Target);
      auto* grid = dynamic_cast<TDBSGridKs*>(Target);
      // A grid takes marks only with its switch on.
      if (grid && FKind != sakAttributes && !grid->ServiceOptions.Contains(srvMarkRecord)) return;
      auto* source = grid ? grid->ServiceSource() : dynamic_cast<TSDataSource*>(edit ? edit->DataSource() : Target);
      if (source) ExecuteOnSource(source);
      return;
    }
    case sakRecordPost:
      if (auto* source = dynamic_cast<TDataSource*>(Target)) return PostEdits(source->DataSet());
      break;
    default:
      break;
  }
  ExecuteOnControl();
}

void TServiceAction::ExecuteOnSource(TSDataSource* Source) {
  switch (FKind) {
    case sakMark:
      Source->Marker()->ToggleMark();
      break;
    case sakMarkAll:
      Source->Marker()->MarkAll();
      break;
    case sakMarkGroup:
      Source->Marker()->MarkGroup();
      break;
    case sakAttributes:
      Source->ShowRecordAttributes();
      break;
    default:
      ToggleLevelView(Source->DataSet());
  }
}

void ToggleLevelView(TDataSet* DataSet) {
  auto* sds = dynamic_cast<TSDS*>(DataSet);
  if (!sds || !sds->Options().Contains(dsoLevels)) return;
  if (sds->LevelMode() != dslmShowAll) return sds->SetLevelMode(dslmShowAll);
  // The record and its parents up to the top, read while every level is
  // in view; a loop in the parents ends the walk.
  std::vector<Variant> path;
  std::set<int64_t> met;
  if (!(sds->Bof() && sds->Eof()))
    for (Variant id = sds->FieldByName("SYS$ID")->Value(); !id.IsNull() && id.AsInt64() != 0;
         id = sds->FieldByName("SYS$PID")->Value()) {
      if (!met.insert(id.AsInt64()).second) break;
      path.push_back(id);
      if (!sds->Locate("SYS$ID", id, {})) break;
    }
  sds->SetLevelMode(dslmDefault);
  // Down the levels from the top onto the record itself.
  for (auto step = path.rbegin(); step != path.rend(); ++step)
    if (!sds->Locate("SYS$ID", *step, {}) || (step + 1 != path.rend() && !sds->LevelDown())) break;
}

// Acts on the active control: the service grid or a data-aware edit (over
// any data source for post, insert and delete; over a data source adapter
// for the rest).
void TServiceAction::ExecuteOnControl() {
  TWinControl* control = ActiveServiceControl();
  auto* grid = dynamic_cast<TDBSGridKs*>(control);
  auto* anyEdit = dynamic_cast<TCustomDBEditKs*>(control);
  if (!grid && !anyEdit) return;
  TDataSource* anySource = grid ? grid->DataSource() : anyEdit->DataSource();
  TDataSet* dataSet = DataSetOf(anySource);
  switch (FKind) {
    case sakFind:
      if (grid) grid->ShowFindDialog();
      return;
    case sakDoubleField:
      if (grid) grid->DuplicateFieldFromPrevious();
      return;
    case sakDoubleRecord:
      if (grid) grid->DuplicateFieldsToRight();
      return;
    case sakRecordPost:
      PostEdits(dataSet);
      return;
    case sakRecordInsert:
      if (grid ? !grid->CanInsertRecord() : !CanModifyDataSet(dataSet)) RaiseHintError("Добавление запрещено !");
      if (grid)
        grid->InsertAfterCurrent();
      else
        dataSet->Insert();
      return;
    case sakRecordDelete:
      if (grid ? !grid->CanDeleteRecord() : !CanModifyDataSet(dataSet)) RaiseHintError("Удаление запрешено !");
      if (dataSet && dataSet->Active() &&
          MessageDlg("Удалить запись?", mtConfirmation, TMsgDlgButtons{mbOK, mbCancel}) != mrCancel)
        dataSet->Delete();
      return;
    case sakCopy:
      if (grid) {
        TInplaceEdit* editor = grid->InplaceEditor();
        TField* field = grid->SelectedField();
        PutClipboardText(editor && grid->EditorMode() ? editor->SelText()
                         : field                      ? field->DisplayText()
                                                      : AnsiString());
      }
      return;
    default:
      break;
  }
  auto* source = dynamic_cast<TSDataSource*>(anySource);
  if (!source) return;
  TField* field = grid ? grid->SelectedField() : anyEdit->Field();
  const bool sorts = !grid || grid->ServiceOptions.Contains(srvSort);
  switch (FKind) {
    case sakIterator:
      // Only an iterator action has this kind.
      RunGroupOperation(source, field, static_cast<TIteratorAction*>(this)->Operation);
      break;
    case sakFilter:
      source->ShowFilterDialog(field);
      break;
    case sakFilterCancel:
      source->CancelFilter();
      break;
    case sakSort:
      if (sorts && field) source->SortByField(field->FieldName());
      break;
    case sakSortCancel:
      if (sorts) source->CancelSort();
      break;
    case sakRecordEdit:
      if (grid && !grid->CanEditRecord()) RaiseHintError("Корректировка записи запрешена !");
      if (dataSet) dataSet->Edit();
      break;
    default:
      break;
  }
}

TREditPaste::TREditPaste(TComponent* AOwner) : TEditAction(AOwner, WM_PASTE, nClipboardText | nWritable) {
  SetActionTexts(this, anREditPaste);
}

bool TREditPaste::HandlesTarget(TObject* Target) { return dynamic_cast<TCustomEdit*>(Target) != nullptr; }

void TREditPaste::ExecuteTarget(TObject*) {
  if (auto* edit = dynamic_cast<TCustomEdit*>(ActiveServiceControl())) PasteClipboardText(edit);
}

void InitServiceActionsUnit() {
  if (StartCount++) return;
  ServiceMarkColorDeep = ScreenDepth() > 8;
  ServiceMarkColor = ServiceMarkColorDeep ? 0x00C0FFE0 : 0x0000FF00;
  Module = std::make_unique<TI>(nullptr);
  for (const auto& global : Globals) *global.Global = Module->Action(global.Name);
  SysEditPopupMenu = Module->SysEditPopupMenu;
  PopupMarking = {RecordMark, RecordMarkGroup, ServiceMarkColor};
  SetControlDataSource([](TWinControl* Control) -> TObject* {
    auto* edit = dynamic_cast<TCustomDBEditKs*>(Control);
    return edit ? edit->DataSource() : nullptr;
  });
}

// Every global goes before the module, so none points at a freed object.
void DoneServiceActionsUnit() {
  if (StartCount == 0 || --StartCount) return;
  for (const auto& global : Globals) *global.Global = nullptr;
  SysEditPopupMenu = nullptr;
  PopupMarking = {};
  SetControlDataSource(nullptr);
  Module.reset();
}

TI* ServiceModule() { return Module.get(); }

TImageList* ServiceImages() { return Module ? Module->ImageList : nullptr; }

void SetScreenDepthHook(TScreenDepthHook Hook) { ScreenDepthHook = std::move(Hook); }
