// The framework's service actions: marks, filter, sort, record editing and
// group operations on the record of the active data-aware control or data
// source, and the actions that only carry a caption, hint, shortcut and
// image for the application. The data module TI owns one of each; the
// globals here reach them between start-up and shutdown.
#pragma once

#include <functional>

#include "forms/ActnList.h"
#include "forms/Menus.h"
#include "uIterators.h"

class TDataSet;
class TDataSource;
class TField;
class TSDataSource;
class TI;

class TPelmServiceAction : public TAction {
 public:
  explicit TPelmServiceAction(TComponent* AOwner) : TAction(AOwner) {}
  // A data source adapter, and a data-aware edit unless the action is for
  // grids only.
  bool HandlesTarget(TObject* Target) override;

 protected:
  bool FGridOnly = false;
};

// What a service action does: the behaviour its class shares with others.
enum TServiceActionKind : uint8_t {
  sakMark,
  sakMarkAll,
  sakMarkGroup,
  sakFind,
  sakIterator,
  sakFilter,
  sakFilterCancel,
  sakSort,
  sakSortCancel,
  sakRecordEdit,
  sakRecordPost,
  sakRecordInsert,
  sakRecordDelete,
  sakDoubleField,
  sakDoubleRecord,
  sakAttributes,
  sakCopy,
  sakLevels,
  // Its key works only inside the service grid, which asks for it itself.
  sakCallRef
};

class TServiceAction : public TPelmServiceAction {
 public:
  TServiceAction(TComponent* AOwner, TServiceActionKind Kind);
  void ExecuteTarget(TObject* Target) override;
  // Copy takes a service grid only, the level toggle a data source adapter
  // only: a target they would leave alone must not take their key.
  bool HandlesTarget(TObject* Target) override;
  // A target without rules of its own for the action's state enables it;
  // a data-aware edit only when bound as the action needs, so an unbound
  // one keeps its own keys.
  void UpdateTarget(TObject* Target) override;
  TServiceActionKind Kind() const { return FKind; }

 private:
  void ExecuteOnSource(TSDataSource* Source);
  void ExecuteOnControl();
  TServiceActionKind FKind;
};

// Runs a group operation on the active control's field.
class TIteratorAction : public TServiceAction {
 public:
  TIteratorAction(TComponent* AOwner, uint8_t AOperation)
      : TServiceAction(AOwner, sakIterator), Operation(AOperation) {}
  uint8_t Operation;
};

// Pastes the clipboard's text, read with the Russian locale, over the
// selection of the active text edit, whichever edit that is.
class TREditPaste : public TEditAction {
 public:
  explicit TREditPaste(TComponent* AOwner);
  bool HandlesTarget(TObject* Target) override;
  void UpdateTarget(TObject*) override { Enabled = true; }
  void ExecuteTarget(TObject* Target) override;
  // Unlike the edit's own keys, its key is taken when it runs.
  bool HandleShortCut() override { return TAction::HandleShortCut(); }
};

// Every action class of the framework, in the order TI holds them; each
// has its texts, key, category and image in this unit's table.
enum TActionName : uint8_t {
  anRecordMark,
  anRecordMarkAll,
  anRecordMarkGroup,
  anFind,
  anSum,
  anRecordCount,
  anFilter,
  anSort,
  anSortCancel,
  anFilterCancel,
  anRecordDelete,
  anRecordEdit,
  anRecordPost,
  anRecordInsert,
  anRecordDoubleField,
  anRecordDoubleRecord,
  anRecordAttributes,
  anGroupDelete,
  anGroupReplace,
  anGroupFill,
  anGroupAdd,
  anGroupMul,
  anREditCopy,
  anREditPaste,
  anTougleLevels,
  anPascalScript,
  anShowNextAppForm,
  anCloseAppForm,
  anTabGrid,
  anEditSystemParams,
  anSendUserMsg,
  anKillUserSessions,
  anChangePassword,
  anUserManagmenmt,
  anAbout,
  anCalendar,
  anCalc,
  anStdPrint,
  anStdExcel,
  anGridCustomize,
  anCallRef,
  anAdjustInterface,
  anDBSetup,
  anDBManage,
  anEditInputForms,
  anParamsAdjustment,
  anEnumsAdjustment,
  anNumbersAdjustment,
  anDBSetupAdjustment,
  anDBCheckStruct,
  anReportGen,
  anDBRestore,
  anEditCut,
  anEditSelectAll,
  anEditUndo,
  anEditDelete
};

// The caption, hint, shortcut, category and image of the named class.
void SetActionTexts(TAction* Action, TActionName Name);

// A named action class: its base with the arguments the class fixes, and
// the texts of its row.
template <class Base, TActionName Name, auto... Args>
class TNamedAction final : public Base {
 public:
  explicit TNamedAction(TComponent* AOwner) : Base(AOwner, Args...) { SetActionTexts(this, Name); }
};

using TRecordMarkAction = TNamedAction<TServiceAction, anRecordMark, sakMark>;
using TRecordMarkAllAction = TNamedAction<TServiceAction, anRecordMarkAll, sakMarkAll>;
using TRecordMarkGroupAction = TNamedAction<TServiceAction, anRecordMarkGroup, sakMarkGroup>;
using TFindAction = TNamedAction<TServiceAction, anFind, sakFind>;
using TCallRefAction = TNamedAction<TServiceAction, anCallRef, sakCallRef>;
using TTougleLevelsAction = TNamedAction<TServiceAction, anTougleLevels, sakLevels>;
using TFilterAction = TNamedAction<TServiceAction, anFilter, sakFilter>;
using TFilterCancelAction = TNamedAction<TServiceAction, anFilterCancel, sakFilterCancel>;
using TSortAction = TNamedAction<TServiceAction, anSort, sakSort>;
using TSortCancelAction = TNamedAction<TServiceAction, anSortCancel, sakSortCancel>;
using TRecordEditAction = TNamedAction<TServiceAction, anRecordEdit, sakRecordEdit>;
using TRecordPostAction = TNamedAction<TServiceAction, anRecordPost, sakRecordPost>;
using TRecordInsertAction = TNamedAction<TServiceAction, anRecordInsert, sakRecordInsert>;
using TRecordDeleteAction = TNamedAction<TServiceAction, anRecordDelete, sakRecordDelete>;
using TRecordDoubleFieldAction = TNamedAction<TServiceAction, anRecordDoubleField, sakDoubleField>;
using TRecordDoubleRecordAction = TNamedAction<TServiceAction, anRecordDoubleRecord, sakDoubleRecord>;
using TRecordAttributesAction = TNamedAction<TServiceAction, anRecordAttributes, sakAttributes>;
using TREditCopy = TNamedAction<TServiceAction, anREditCopy, sakCopy>;

using TSumAction = TNamedAction<TIteratorAction, anSum, grSum>;
using TRecordCountAction = TNamedAction<TIteratorAction, anRecordCount, grCount>;
using TGroupDeleteAction = TNamedAction<TIteratorAction, anGroupDelete, grDelete>;
using TGroupReplaceAction = TNamedAction<TIteratorAction, anGroupReplace, grReplace>;
using TGroupFillAction = TNamedAction<TIteratorAction, anGroupFill, grFill>;
using TGroupAddAction = TNamedAction<TIteratorAction, anGroupAdd, grAdd>;
using TGroupMulAction = TNamedAction<TIteratorAction, anGroupMul, grMultiply>;

// The application and system actions only carry their texts; an
// application that places one gives it its handler.
using TPascalScriptAction = TNamedAction<TAction, anPascalScript>;
using TShowNextAppFormAction = TNamedAction<TAction, anShowNextAppForm>;
using TCloseAppFormAction = TNamedAction<TAction, anCloseAppForm>;
using TTabGridAction = TNamedAction<TAction, anTabGrid>;
using TEditSystemParams = TNamedAction<TAction, anEditSystemParams>;
using TSendUserMsgAction = TNamedAction<TAction, anSendUserMsg>;
using TKillUserSessions = TNamedAction<TAction, anKillUserSessions>;
using TChangePasswordAction = TNamedAction<TAction, anChangePassword>;
using TUserManagmenmtAction = TNamedAction<TAction, anUserManagmenmt>;
using TAboutAction = TNamedAction<TAction, anAbout>;
using TCalendarAction = TNamedAction<TAction, anCalendar>;
using TCalcAction = TNamedAction<TAction, anCalc>;
using TStdPrintAction = TNamedAction<TAction, anStdPrint>;
using TStdExcelAction = TNamedAction<TAction, anStdExcel>;
using TGridCustomizeAction = TNamedAction<TAction, anGridCustomize>;
using TAdjustInterfaceAction = TNamedAction<TAction, anAdjustInterface>;
using TDBSetupAction = TNamedAction<TAction, anDBSetup>;
using TDBManageAction = TNamedAction<TAction, anDBManage>;
using TEditInputFormsAction = TNamedAction<TAction, anEditInputForms>;
using TParamsAdjustmentAction = TNamedAction<TAction, anParamsAdjustment>;
using TEnumsAdjustmentAction = TNamedAction<TAction, anEnumsAdjustment>;
using TNumbersAdjustmentAction = TNamedAction<TAction, anNumbersAdjustment>;
using TDBSetupAdjustmentAction = TNamedAction<TAction, anDBSetupAdjustment>;
using TDBCheckStructAction = TNamedAction<TAction, anDBCheckStruct>;
using TReportGenAction = TNamedAction<TAction, anReportGen>;
using TDBRestoreAction = TNamedAction<TAction, anDBRestore>;

// A levelled server dataset between showing every level and its level
// view, which comes back down onto the record that was current.
void ToggleLevelView(TDataSet* DataSet);

// The active control of the screen's active form; null without a form.
TWinControl* ActiveServiceControl();
// The dataset is open and, for a server-backed one, not read-only.
bool CanModifyDataSet(TDataSet* DataSet);

// The screen's bits per pixel as start-up reads them to choose the mark
// colour; a test stands in another screen. Without one the screen is asked.
using TScreenDepthHook = std::function<int()>;
void SetScreenDepthHook(TScreenDepthHook Hook);

// Counted: the first start-up creates TI and sets the globals, the last
// shutdown clears every global before TI goes.
void InitServiceActionsUnit();
void DoneServiceActionsUnit();
TI* ServiceModule();
// TI's action images; null outside start-up and shutdown.
TImageList* ServiceImages();

extern TAction *RecordMark, *RecordMarkAll, *RecordMarkGroup, *Find, *Sum, *RecordCount, *GroupDelete, *GroupReplace,
    *GroupFill, *GroupAdd, *GroupMul, *Filter, *FilterCancel, *Sort, *SortCancel, *RecordEdit, *RecordPost,
    *RecordInsert, *RecordDelete, *RecordDoubleField, *RecordDoubleRecord, *RecordAttributes, *StdPrint, *StdExcel,
    *GridCustomize, *CallRef, *TougleLevels, *REditCopy, *REditPaste;
extern TPopupMenu* SysEditPopupMenu;
extern TColor ServiceMarkColor;
// Whether the screen had more than 8 bits per pixel at start-up.
extern bool ServiceMarkColorDeep;
