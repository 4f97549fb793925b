// The service actions as TI holds them: start-up and shutdown, the targets
// they take, what they do on a data source and on the active data-aware
// edit, and the clipboard with the Russian locale.
#include "CommonInterface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "DBEditKs.h"
#include "DBLookupGridsKs.h"
#include "EditorForm.h"
#include "SDS.h"
#include "SDataSource.h"
#include "CommonInterfaceRes.h"
#include "ToolCtrlsKs.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "uIterators.h"
#include "zynMemTable.h"

namespace {

std::wstring UnicodeClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(ServiceActionsUnit, CountedStartUpAndShutdownLeaveNoGlobalBehind) {
  InitServiceActionsUnit();
  InitServiceActionsUnit();
  TI* module = ServiceModule();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ServiceImages(), module->ImageList);
  EXPECT_EQ(module->Actions.size(), 56u);
  EXPECT_EQ(module->ActionList->ActionCount(), 56);
  EXPECT_EQ(module->SysEditPopupMenu->Items()->Count(), 7);
  // Keys the grid's key table and the menu read; no two service actions share one.
  EXPECT_EQ(Find->ShortCut, 16498);
  EXPECT_EQ(GroupAdd->ShortCut, scCtrl | VK_ADD);
  std::map<TShortCut, AnsiString> keys;
  for (TAction* action : module->Actions) {
    if (action->Category == "PelmService" && action->ShortCut) {
      EXPECT_TRUE(keys.emplace(action->ShortCut, action->Name()).second) << action->Name();
    }
  }
  EXPECT_EQ(RecordMarkAll->Hint, "Отметить/НЕотметить ВСЕ строки ");
  EXPECT_EQ(TougleLevels->Category, "PelmAppService");
  EXPECT_TRUE(ServiceMarkColor == 0x00C0FFE0 || ServiceMarkColor == 0x0000FF00);
  // The drawn images: each action shows one of the list's or none, and the
  // insert action's green plus is really there over a transparent corner.
  ASSERT_EQ(module->ImageList->Count(), 44);
  for (TAction* action : module->Actions)
    EXPECT_TRUE(action->ImageIndex >= -1 && action->ImageIndex < 44) << action->Name();
  TBitmap drawn;
  drawn.SetSize(16, 16);
  drawn.Canvas()->Brush()->SetColor(clYellow);
  drawn.Canvas()->FillRect(RECT{0, 0, 16, 16});
  module->ImageList->Draw(drawn.Canvas(), 0, 0, RecordInsert->ImageIndex);
  EXPECT_EQ(drawn.Canvas()->Pixels(11, 11), TColor(0x008000));
  EXPECT_EQ(drawn.Canvas()->Pixels(15, 0), clYellow);

  DoneServiceActionsUnit();
  EXPECT_EQ(ServiceModule(), module);
  EXPECT_NE(REditPaste, nullptr);
  DoneServiceActionsUnit();
  EXPECT_EQ(ServiceModule(), nullptr);
  EXPECT_EQ(ServiceImages(), nullptr);
  for (TAction* global : {RecordMark, RecordMarkAll, RecordMarkGroup, Find, Sum, RecordCount, GroupDelete,
                          GroupReplace, GroupFill, GroupAdd, GroupMul, Filter, FilterCancel, Sort, SortCancel,
                          RecordEdit, RecordPost, RecordInsert, RecordDelete, RecordDoubleField, RecordDoubleRecord,
                          RecordAttributes, StdPrint, StdExcel, GridCustomize, CallRef, TougleLevels, REditCopy,
                          REditPaste})
    EXPECT_EQ(global, nullptr);
  EXPECT_EQ(SysEditPopupMenu, nullptr);
  DoneServiceActionsUnit();  // one too many does nothing
}

// A class by its constructor and by the test of an object being one.
struct TClassOf {
  TAction* (*Make)(TComponent* Owner);
  bool (*Is)(TObject* Object);
};
template <class TClass>
constexpr TClassOf ClassOf{[](TComponent* Owner) -> TAction* { return new TClass(Owner); },
                           [](TObject* Object) { return dynamic_cast<TClass*>(Object) != nullptr; }};

// Each service class gives its own texts, key and image, an iterator class
// its group operation, and TI holds an object of that very class.
TEST(ServiceActionClasses, EachClassCarriesItsTextsAndTIHoldsOneOfIt) {
  const struct {
    TClassOf Class;
    const char* Name;
    const char* Caption;
    const char* Hint;
    TShortCut ShortCut;
    int Image;
    int Operation;  // -1: not an iterator action
  } cases[] = {
      {ClassOf<TRecordMarkAction>, "RecordMarkAction1", "&Отметить запись", "&Отметить запись", scShift | VK_F3, 10, -1},
      {ClassOf<TRecordMarkAllAction>, "RecordMarkAllAction1", "Отметить/НЕотметить ВСЕ строки",
       "Отметить/НЕотметить ВСЕ строки ", 0, 7, -1},
      {ClassOf<TRecordMarkGroupAction>, "RecordMarkGroupAction1", "Отметить начало/конец группы",
       "Отметить начало/конец группы", scShift | VK_F4, 6, -1},
      {ClassOf<TFindAction>, "FindAction1", "&Поиск", "Поиск", 16498, 11, -1},
      {ClassOf<TSumAction>, "SumAction1", "&Сумма по графе", "Сумма по графе", scShift | scCtrl | VK_F4, 3, 2},
      {ClassOf<TRecordCountAction>, "RecordCountAction1", "Кол-во строк", "Кол-во строк", scCtrl | VK_F5, 25, 3},
      {ClassOf<TFilterAction>, "FilterAction1", "&Фильтр", "Фильтр", scCtrl | VK_F7, 12, -1},
      {ClassOf<TSortAction>, "SortAction1", "Сортировка", "Сортировка", scCtrl | VK_F6, 14, -1},
      {ClassOf<TSortCancelAction>, "SortCancelAction1", "Отмена сортировки", "Отмена сортировки", scShift | VK_F6,
       36, -1},
      {ClassOf<TFilterCancelAction>, "FilterCancelAction1", "Отменить фильтр", "Отменить фильтр", scShift | VK_F7, 13,
       -1},
      {ClassOf<TRecordDeleteAction>, "RecordDeleteAction1", "Удаление записи", "Удаление записи", scCtrl | VK_DELETE,
       4, -1},
      {ClassOf<TRecordEditAction>, "RecordEditAction1", "Корректировка записи", "Корректировка записи", VK_F2, 1, -1},
      {ClassOf<TRecordPostAction>, "RecordPostAction1", "Завершить ввод/корректировку",
       "Завершить ввод/корректировку", VK_F5, 17, -1},
      {ClassOf<TRecordInsertAction>, "RecordInsertAction1", "Добавление записи", "Добавление записи", VK_INSERT, 0,
       -1},
      {ClassOf<TRecordDoubleFieldAction>, "RecordDoubleFieldAction1", "Дублирование поля", "Дублирование поля",
       VK_F12, 18, -1},
      {ClassOf<TRecordDoubleRecordAction>, "RecordDoubleRecordAction1", "Дублирование полей справа",
       "Дублирование полей справа", scCtrl | VK_F12, 19, -1},
      {ClassOf<TRecordAttributesAction>, "RecordAttributesAction1", "Атрибуты записи", "Атрибуты записи", VK_F4, 32,
       -1},
      {ClassOf<TGroupDeleteAction>, "GroupDeleteAction1", "Групповое удаление", "Групповое удаление",
       scShift | VK_F9, -1, 8},
      {ClassOf<TGroupReplaceAction>, "GroupReplaceAction1", "Групповая замена", "Групповая замена",
       scCtrl | VK_F10, -1, 0},
      {ClassOf<TGroupFillAction>, "GroupFillAction1", "Групповое заполнение", "Групповое заполнение",
       scCtrl | VK_F9, -1, 1},
      {ClassOf<TGroupAddAction>, "GroupAddAction1", "Добавить к графе значение", "Добавить к графе значение",
       scCtrl | VK_ADD, -1, 4},
      {ClassOf<TGroupMulAction>, "GroupMulAction1", "Умножить графу на значение", "Умножить графу на значение",
       scCtrl | VK_MULTIPLY, -1, 5},
      {ClassOf<TREditCopy>, "REditCopy1", "Копировать в буфер", "", scCtrl | VK_INSERT, -1, -1},
      {ClassOf<TREditPaste>, "REditPaste1", "Вставить из буфера", "", scShift | VK_INSERT, -1, -1},
  };
  InitServiceActionsUnit();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::unique_ptr<TAction> action(c.Class.Make(nullptr));
    EXPECT_EQ(action->Category, "PelmService");
    EXPECT_EQ(action->Caption, c.Caption);
    EXPECT_EQ(action->Hint, c.Hint);
    EXPECT_EQ(action->ShortCut, c.ShortCut);
    EXPECT_EQ(action->ImageIndex, c.Image);
    auto* iterator = dynamic_cast<TIteratorAction*>(action.get());
    EXPECT_EQ(iterator ? iterator->Operation : -1, c.Operation);
    EXPECT_TRUE(c.Class.Is(ServiceModule()->Action(c.Name)));
  }
  DoneServiceActionsUnit();
}

// The application and system actions carry texts only and take no target;
// the reference and level actions are service actions of their own.
TEST(ServiceActionClasses, ApplicationAndSystemClassesAreBareActions) {
  const struct {
    TClassOf Class;
    const char* Name;
    const char* Category;
    TShortCut ShortCut;
  } cases[] = {
      {ClassOf<TPascalScriptAction>, "PascalScriptAction1", "PelmAppService", scShift | scCtrl | VK_F12},
      {ClassOf<TShowNextAppFormAction>, "ShowNextAppFormAction1", "PelmAppService", scCtrl | VK_TAB},
      {ClassOf<TCloseAppFormAction>, "CloseAppFormAction1", "PelmAppService", scCtrl | VK_F4},
      {ClassOf<TTabGridAction>, "TabGridAction1", "PelmAppService", VK_F9},
      {ClassOf<TEditSystemParams>, "EditSystemParams1", "PelmSysService", 0},
      {ClassOf<TSendUserMsgAction>, "SendUserMsgAction1", "PelmSysService", 0},
      {ClassOf<TKillUserSessions>, "KillUserSessions1", "PelmSysService", 0},
      {ClassOf<TChangePasswordAction>, "ChangePasswordAction1", "PelmSysService", 0},
      {ClassOf<TUserManagmenmtAction>, "UserManagmenmtAction1", "PelmSysService", 0},
      {ClassOf<TAboutAction>, "AboutAction1", "PelmSysService", 0},
      {ClassOf<TCalendarAction>, "CalendarAction1", "PelmAppService", 0},
      {ClassOf<TCalcAction>, "CalcAction1", "PelmAppService", scAlt | VK_F1},
      {ClassOf<TStdPrintAction>, "StdPrintAction1", "PelmAppService", VK_F6},
      {ClassOf<TStdExcelAction>, "StdExcelAction1", "PelmAppService", 0},
      {ClassOf<TGridCustomizeAction>, "GridCustomizeAction1", "PelmAppService", 0},
      {ClassOf<TAdjustInterfaceAction>, "AdjustInterfaceAction1", "PelmAppService", 0},
      {ClassOf<TDBSetupAction>, "DBSetupAction1", "PelmSysService", 0},
      {ClassOf<TDBManageAction>, "DBManageAction1", "PelmSysService", 0},
      {ClassOf<TEditInputFormsAction>, "EditInputFormsAction1", "PelmSysService", 0},
      {ClassOf<TParamsAdjustmentAction>, "ParamsAdjustmentAction1", "PelmSysService", 0},
      {ClassOf<TEnumsAdjustmentAction>, "EnumsAdjustmentAction1", "PelmSysService", 0},
      {ClassOf<TNumbersAdjustmentAction>, "NumbersAdjustmentAction1", "PelmSysService", 0},
      {ClassOf<TDBSetupAdjustmentAction>, "DBSetupAdjustmentAction1", "PelmSysService", 0},
      {ClassOf<TDBCheckStructAction>, "DBCheckStructAction1", "PelmSysService", 0},
      {ClassOf<TReportGenAction>, "ReportGenAction1", "PelmAppService", 0},
      {ClassOf<TDBRestoreAction>, "DBRestoreAction1", "PelmSysService", 0},
      {ClassOf<TCallRefAction>, "CallRefAction1", "PelmAppService", VK_F8},
      {ClassOf<TTougleLevelsAction>, "TougleLevelsAction1", "PelmAppService", VK_F3},
  };
  InitServiceActionsUnit();
  TDataSource source(nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::unique_ptr<TAction> action(c.Class.Make(nullptr));
    EXPECT_EQ(action->Category, c.Category);
    EXPECT_EQ(action->ShortCut, c.ShortCut);
    EXPECT_FALSE(action->Caption.empty());
    const bool service = c.Class.Is(ServiceModule()->Action("TougleLevelsAction1")) ||
                         c.Class.Is(ServiceModule()->Action("CallRefAction1"));
    EXPECT_EQ(dynamic_cast<TPelmServiceAction*>(action.get()) != nullptr, service);
    EXPECT_FALSE(action->HandlesTarget(&source));
    EXPECT_TRUE(c.Class.Is(ServiceModule()->Action(c.Name)));
  }
  // The paste works in any text edit: an edit action, not a service one.
  EXPECT_NE(dynamic_cast<TEditAction*>(REditPaste), nullptr);
  EXPECT_EQ(dynamic_cast<TPelmServiceAction*>(REditPaste), nullptr);
  DoneServiceActionsUnit();
}

// A screen of 256 colours cannot show the pale mark colour: marks go bright
// green there, in the grid and in the lookup lists alike.
TEST(ServiceActionsUnit, TheMarkColourFollowsTheScreenDepth) {
  const struct {
    int Depth;
    TColor Colour;
  } cases[] = {{8, TColor(0x0000FF00)}, {4, TColor(0x0000FF00)}, {16, TColor(0x00C0FFE0)}, {32, TColor(0x00C0FFE0)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Depth);
    SetScreenDepthHook([&] { return c.Depth; });
    InitServiceActionsUnit();
    EXPECT_EQ(ServiceMarkColor, c.Colour);
    EXPECT_EQ(ServiceMarkColorDeep, c.Depth > 8);
    EXPECT_EQ(PopupMarking.MarkColor, c.Colour);
    DoneServiceActionsUnit();
  }
  SetScreenDepthHook(nullptr);
}

class ServiceActionsTest : public testing::Test {
 protected:
  void SetUp() override {
    InitServiceActionsUnit();
    Table.FieldDefs()->Add("QTY", ftInteger);
    Table.FieldDefs()->Add("NAME", ftString, 20);
    Table.Open();
    AppendValues(&Table, {1, AnsiString("a")});
    AppendValues(&Table, {2, AnsiString("b")});
    Table.First();
    Source.SetDataSet(&Table);
    Form.Edit->SetDataSource(&Source);
    Form.Edit->SetDataField("QTY");
  }
  void TearDown() override {
    SetPromptValueHook(nullptr);
    DoneServiceActionsUnit();
  }
  std::vector<int> Quantities() {
    std::vector<int> values;
    for (Table.First(); !Table.Eof(); Table.Next()) values.push_back(Table.FieldByName("QTY")->AsInteger());
    return values;
  }

  TzynMemTable Table{nullptr};
  TSDataSource Source{nullptr};
  TEditorForm<TDBEditKs> Form;
};

TEST_F(ServiceActionsTest, TargetsTakenAndRefused) {
  TDataSource plain(nullptr);
  EXPECT_TRUE(RecordMark->HandlesTarget(&Source));
  EXPECT_TRUE(RecordMark->HandlesTarget(Form.Edit));
  EXPECT_FALSE(RecordMark->HandlesTarget(Form.Other));
  EXPECT_FALSE(RecordMark->HandlesTarget(&plain));
  // Grid-only actions refuse the edit.
  EXPECT_FALSE(RecordDoubleField->HandlesTarget(Form.Edit));
  EXPECT_TRUE(RecordDoubleField->HandlesTarget(&Source));
  EXPECT_FALSE(StdPrint->HandlesTarget(Form.Edit));
  EXPECT_TRUE(REditPaste->HandlesTarget(Form.Other));
}

// An action the focused edit refuses is offered to its data source next.
TEST_F(ServiceActionsTest, WhatTheEditRefusesItsDataSourceTakes) {
  Form.Show();
  EXPECT_TRUE(RecordDoubleField->Execute());
  Form.Show(Form.Other);
  EXPECT_FALSE(RecordDoubleField->Execute());
}

TEST_F(ServiceActionsTest, ExecutedOnTheActiveEditAndItsDataSource) {
  Form.Show();
  // The edit takes the mark for its data source's current record.
  ASSERT_TRUE(RecordMark->Execute());
  EXPECT_FALSE(Source.Marker()->IsEmpty());
  EXPECT_TRUE(Source.Marker()->IsMarked());
  Source.Marker()->Clear();

  // A group operation runs on the edit's field.
  SetPromptValueHook([](const AnsiString&, uint8_t, Variant& Value) {
    Value = 9;
    return true;
  });
  ASSERT_TRUE(GroupFill->Execute());
  EXPECT_EQ(Quantities(), (std::vector<int>{9, 9}));

  RecordEdit->Execute();
  EXPECT_EQ(Table.State(), dsEdit);
  Table.FieldByName("QTY")->SetAsInteger(4);
  RecordPost->ExecuteTarget(&Source);
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 4);

  // A closed table refuses an insert and a delete with the hint error.
  Table.Close();
  EXPECT_THROW(RecordInsert->Execute(), EHintError);
  EXPECT_THROW(RecordDelete->Execute(), EHintError);
}

TEST_F(ServiceActionsTest, ClipboardTextTravelsWithTheRussianLocale) {
  PutClipboardText("Привет");
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE locale = GetClipboardData(CF_LOCALE);
  const int32_t id = locale ? *static_cast<int32_t*>(GlobalLock(locale)) : 0;
  if (locale) GlobalUnlock(locale);
  CloseClipboard();
  EXPECT_EQ(id, 1049);
  EXPECT_EQ(ClipboardText(), "Привет");
  // A program reading Unicode gets the Cyrillic, not the code page's bytes.
  EXPECT_EQ(UnicodeClipboardText(), L"Привет");

  Form.Show(Form.Other);
  REditPaste->Execute();
  EXPECT_EQ(Form.Other->Text(), "Привет");

  // And text a Unicode program put there alone pastes as Cyrillic.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const std::wstring put = L"Мир";
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (put.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(data), put.c_str(), (put.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(data);
  SetClipboardData(CF_UNICODETEXT, data);
  CloseClipboard();
  Form.Other->SelectAll();
  REditPaste->Execute();
  EXPECT_EQ(Form.Other->Text(), "Мир");
}

// The edit menu's own copy and paste act on the edit it was opened over.
TEST_F(ServiceActionsTest, TheEditMenuCopiesAndPastesThroughItsEdit) {
  Form.Show(Form.Other);
  Form.Other->SetText("Привет мир");
  TMenuItem* items = SysEditPopupMenu->Items();
  ASSERT_EQ(items->Items(3)->Caption(), "Копировать");
  ASSERT_EQ(items->Items(4)->Caption(), "Вставить");
  SysEditPopupMenu->PopupComponent = Form.Other;
  Form.Other->SetSelStart(7);
  Form.Other->SetSelLength(3);
  items->Items(3)->Click();
  EXPECT_EQ(ClipboardText(), "мир");
  Form.Other->SetSelStart(0);
  Form.Other->SetSelLength(6);
  items->Items(4)->Click();
  EXPECT_EQ(Form.Other->Text(), "мир мир");
  SysEditPopupMenu->PopupComponent = nullptr;
}

}  // namespace
