#include "ServiceModule.h"

#include "common/RusClipboard.h"
#include "ToolCtrlsKs.h"
#include "forms/StdCtrls.h"
#include "uIterators.h"

namespace {

constexpr int32_t RussianLocale = 1049;

struct TActionRow {
  const char* Name;
  TServiceActionKind Kind;
  uint8_t Operation;
  const char* Category;
  const char* Caption;
  const char* Hint;
  TShortCut ShortCut;
  int Image;
};

constexpr const char* Service = "PelmService";
constexpr const char* App = "PelmAppService";
constexpr const char* Sys = "PelmSysService";

// Group multiply has the key next to group add's: the grid's key table
// needs distinct shortcuts.
const TActionRow Rows[] = {
    {"RecordMarkAction1", sakMark, 0, Service, "&Отметить запись", "&Отметить запись", (VK_F3 | scShift), 10},
    {"RecordMarkAllAction1", sakMarkAll, 0, Service, "Отметить/НЕотметить ВСЕ строки",
     "Отметить/НЕотметить ВСЕ строки ", 0, 7},
    {"RecordMarkGroupAction1", sakMarkGroup, 0, Service, "Отметить начало/конец группы",
     "Отметить начало/конец группы", (VK_F4 | scShift), 6},
    {"FindAction1", sakFind, 0, Service, "&Поиск", "Поиск", (VK_F3 | scCtrl), 11},
    {"SumAction1", sakIterator, grSum, Service, "&Сумма по графе", "Сумма по графе",
     (VK_F4 | scShift | scCtrl), 3},
    {"RecordCountAction1", sakIterator, grCount, Service, "Кол-во строк", "Кол-во строк", (VK_F5 | scCtrl),
     25},
    {"FilterAction1", sakFilter, 0, Service, "&Фильтр", "Фильтр", (VK_F7 | scCtrl), 12},
    {"SortAction1", sakSort, 0, Service, "Сортировка", "Сортировка", (VK_F6 | scCtrl), 14},
    {"SortCancelAction1", sakSortCancel, 0, Service, "Отмена сортировки", "Отмена сортировки",
     (VK_F6 | scShift), 36},
    {"FilterCancelAction1", sakFilterCancel, 0, Service, "Отменить фильтр", "Отменить фильтр",
     (VK_F7 | scShift), 13},
    {"RecordDeleteAction1", sakRecordDelete, 0, Service, "Удаление записи", "Удаление записи",
     (VK_DELETE | scCtrl), 4},
    {"RecordEditAction1", sakRecordEdit, 0, Service, "Корректировка записи", "Корректировка записи", VK_F2, 1},
    {"RecordPostAction1", sakRecordPost, 0, Service, "Завершить ввод/корректировку", "Завершить ввод/корректировку",
     VK_F5, 17},
    {"RecordInsertAction1", sakRecordInsert, 0, Service, "Добавление записи", "Добавление записи", VK_INSERT, 0},
    {"RecordDoubleFieldAction1", sakDoubleField, 0, Service, "Дублирование поля", "Дублирование поля", VK_F12, 18},
    {"RecordDoubleRecordAction1", sakDoubleRecord, 0, Service, "Дублирование полей справа",
     "Дублирование полей справа", (VK_F12 | scCtrl), 19},
    {"RecordAttributesAction1", sakAttributes, 0, Service, "Атрибуты записи", "Атрибуты записи", VK_F4, 32},
    {"GroupDeleteAction1", sakIterator, grDelete, Service, "Групповое удаление", "Групповое удаление",
     (VK_F9 | scShift), -1},
    {"GroupReplaceAction1", sakIterator, grReplace, Service, "Групповая замена", "Групповая замена",
     (VK_F10 | scCtrl), -1},
    {"GroupFillAction1", sakIterator, grFill, Service, "Групповое заполнение", "Групповое заполнение",
     (VK_F9 | scCtrl), -1},
    {"GroupAddAction1", sakIterator, grAdd, Service, "Добавить к графе значение", "Добавить к графе значение",
     (VK_ADD | scCtrl), -1},
    {"GroupMulAction1", sakIterator, grMultiply, Service, "Умножить графу на значение", "Умножить графу на значение",
     (VK_MULTIPLY | scCtrl), -1},
    {"REditCopy1", sakCopy, 0, Service, "Копировать в буфер", "", (VK_INSERT | scCtrl), -1},
    {"REditPaste1", sakPaste, 0, Service, "Вставить из буфера", "", (VK_INSERT | scShift), -1},
    {"TougleLevelsAction1", sakLevels, 0, App, "Уровневый-плоский", "Переключение между уровневым и плоским видом",
     VK_F3, -1},
    {"PascalScriptAction1", sakCaptionOnly, 0, App, "Вызов пользовательских программ",
     "Вызов пользовательских программ", (VK_F12 | scShift | scCtrl), 27},
    {"ShowNextAppFormAction1", sakCaptionOnly, 0, App, "Переключение между активными прикладными формами",
     "Переключение между активными прикладными формами", (VK_TAB | scCtrl), -1},
    {"CloseAppFormAction1", sakCaptionOnly, 0, App, "Закрытие прикладной формы", "Закрытие прикладной формы",
     (VK_F4 | scCtrl), -1},
    {"TabGridAction1", sakCaptionOnly, 0, App, "Переключение между гридами",
     "Переключение между гридами в прикладной форме", VK_F9, -1},
    {"EditSystemParams1", sakCaptionOnly, 0, Sys, "Параметры системы", "Параметры системы", 0, -1},
    {"SendUserMsgAction1", sakCaptionOnly, 0, Sys, "Послать сообщение пользователям",
     "Послать сообщение пользователям", 0, -1},
    {"KillUserSessions1", sakCaptionOnly, 0, Sys, "Отключить пользователей", "Отключить пользователей", 0, -1},
    {"ChangePasswordAction1", sakCaptionOnly, 0, Sys, "Сменить пароль", "Сменить пароль", 0, -1},
    {"UserManagmenmtAction1", sakCaptionOnly, 0, Sys, "Пользователи", "Управление пользователями", 0, -1},
    {"AboutAction1", sakCaptionOnly, 0, Sys, "О программе", "О программе", 0, -1},
    {"CalendarAction1", sakCaptionOnly, 0, App, "Календарь", "Вызов календаря", 0, 34},
    {"CalcAction1", sakCaptionOnly, 0, App, "Калькулятор", "Вызов калькулятора", (VK_F1 | scAlt), 16},
    {"StdPrintAction1", sakCaptionOnly, 0, App, "Печать формы", "Печать формы", VK_F6, 20},
    {"StdExcelAction1", sakCaptionOnly, 0, App, "Экспорт в MS Excel", "Экспорт в MS Excel", 0, 37},
    {"GridCustomizeAction1", sakCaptionOnly, 0, App, "Параметры отображения таблицы",
     "Параметры отображения таблицы", 0, 38},
    {"CallRefAction1", sakCaptionOnly, 0, App, "Вызов справочника", "Вызов справочника", VK_F8, -1},
    {"AdjustInterfaceAction1", sakCaptionOnly, 0, App, "Настройки интерфейса", "Настройки интерфейса", 0, -1},
    {"DBSetupAction1", sakCaptionOnly, 0, Sys, "Обновление", "Провести обновление базы данных", 0, -1},
    {"DBManageAction1", sakCaptionOnly, 0, Sys, "Структура базы", "Просмотр / редактирование структуры базы данных",
     0, -1},
    {"EditInputFormsAction1", sakCaptionOnly, 0, Sys, "Редактирование запросных форм",
     "Редактирование запросных форм", 0, -1},
    {"ParamsAdjustmentAction1", sakCaptionOnly, 0, Sys, "Редактирование параметров системы",
     "Редактирование параметров системы", 0, -1},
    {"EnumsAdjustmentAction1", sakCaptionOnly, 0, Sys, "Редактирование перечислений", "Редактирование перечислений",
     0, -1},
    {"NumbersAdjustmentAction1", sakCaptionOnly, 0, Sys, "Редактирование нумераторов", "Редактирование нумераторов",
     0, -1},
    {"DBSetupAdjustmentAction1", sakCaptionOnly, 0, Sys, "Настройка параметров обновления",
     "Настройка параметров обновления", 0, -1},
    {"DBCheckStructAction1", sakCaptionOnly, 0, Sys, "Проверка структуры",
     "Проверка структуры базы (относительно эталонной)", 0, -1},
    {"ReportGenAction1", sakCaptionOnly, 0, App, "ReportGen", "Вызов генератора отчетов - ReportGen", 0, 39},
    {"DBRestoreAction1", sakCaptionOnly, 0, Sys, "Восстановление", "Провести восстановление базы данных из копии",
     0, -1},
    {"EditCut1", sakEdit, 0, "Edit", "Cu&t", "Cut", ('X' | scCtrl), 41},
    {"EditSelectAll1", sakEdit, 1, "Edit", "Select &All", "", 0, -1},
    {"EditUndo1", sakEdit, 2, "Edit", "&Undo", "", (VK_BACK | scAlt), 42},
    {"EditDelete1", sakEdit, 3, "Edit", "&Delete", "", VK_DELETE, 43},
};

TCustomEdit* MenuEdit(TPopupMenu* Menu) { return dynamic_cast<TCustomEdit*>(Menu->PopupComponent); }

}  // namespace

TServiceModule::TServiceModule(TComponent* AOwner) : TComponent(AOwner) {
  SetName("I");
  ImageList = new TImageList(this);
  TBitmap images;
  images.LoadFromResourceName(GetModuleHandleA(nullptr), "TIIMAGES");
  ImageList->AddMasked(&images, clFuchsia);
  ActionList = new TActionList(this);
  ActionList->Images = ImageList;
  for (const TActionRow& row : Rows) {
    TAction* action = row.Kind == sakEdit ? EditAction(row.Operation) : new TServiceAction(this, row.Kind, row.Operation);
    action->SetName(row.Name);
    action->Caption = row.Caption;
    action->Hint = row.Hint;
    action->Category = row.Category;
    action->ShortCut = row.ShortCut;
    action->ImageIndex = row.Image;
    action->SetActionList(ActionList);
    Actions.push_back(action);
  }
  SysEditPopupMenu = new TPopupMenu(this);
  SysEditPopupMenu->SetName("SysEditPopupMenu");
  const struct {
    const char* Name;
    const char* Caption;
    const char* Action;
    void (TServiceModule::*Click)(TObject*);
  } items[] = {
      {"Undo1", "Отменить", "EditUndo1", nullptr},
      {"N1", "-", nullptr, nullptr},
      {"Cut1", "Вырезать", "EditCut1", nullptr},
      {"mCopyPopupMenu", "Копировать", nullptr, &TServiceModule::mCopyPopupMenuClick},
      {"mPastePopupMenu", "Вставить", nullptr, &TServiceModule::mPastePopupMenuClick},
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

// The forms layer's actions on the focused edit control: cut, select all,
// undo, delete.
TAction* TServiceModule::EditAction(uint8_t Command) {
  switch (Command) {
    case 0:
      return new TEditCut(this);
    case 1:
      return new TEditSelectAll(this);
    case 2:
      return new TEditAction(this, WM_UNDO, TEditAction::nWritable);
    default:
      return new TEditDelete(this);
  }
}

TAction* TServiceModule::Action(const AnsiString& Name) const {
  for (TAction* action : Actions)
    if (action->Name() == Name) return action;
  return nullptr;
}

void TServiceModule::mCopyPopupMenuClick(TObject*) {
  if (TCustomEdit* edit = MenuEdit(SysEditPopupMenu)) PutClipboardText(edit->SelText());
}

void TServiceModule::mPastePopupMenuClick(TObject*) {
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
