// The framework's service actions: marks, filter, sort, record editing and
// group operations on the record of the active data-aware control or data
// source, and the actions that only carry a caption, hint, shortcut and
// image for the application. The data module TI owns one of each; the
// globals here reach them between start-up and shutdown.
#pragma once

#include <functional>

#include "forms/ActnList.h"
#include "forms/Menus.h"

class TDataSet;
class TDataSource;
class TField;
class TSDataSource;
class TServiceModule;

class TPelmServiceAction : public TAction {
 public:
  explicit TPelmServiceAction(TComponent* AOwner) : TAction(AOwner) {}
  // A data source adapter, and a data-aware edit unless the action is for
  // grids only.
  bool HandlesTarget(TObject* Target) override;

 protected:
  bool FGridOnly = false;
};

// What a service action is, as TI holds it: its kind, texts and image.
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
  sakPaste,
  sakLevels,
  sakCaptionOnly,
  // The forms layer's edit actions; the operation tells which.
  sakEdit
};

class TServiceAction : public TPelmServiceAction {
 public:
  TServiceAction(TComponent* AOwner, TServiceActionKind Kind, uint8_t Operation = 0);
  void ExecuteTarget(TObject* Target) override;
  // Copy takes a service grid only, the level toggle a data source adapter
  // only: a target they would leave alone must not take their key.
  bool HandlesTarget(TObject* Target) override;
  // A target without rules of its own for the action's state enables it;
  // a data-aware edit only when bound as the action needs, so an unbound
  // one keeps its own keys.
  void UpdateTarget(TObject* Target) override;
  TServiceActionKind Kind() const { return FKind; }
  // The group operation of an iterator action.
  uint8_t Operation() const { return FOperation; }

 private:
  void ExecuteOnSource(TSDataSource* Source);
  void ExecuteOnControl();
  TServiceActionKind FKind;
  uint8_t FOperation;
};

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
TServiceModule* ServiceModule();

extern TAction *RecordMark, *RecordMarkAll, *RecordMarkGroup, *Find, *Sum, *RecordCount, *GroupDelete,
    *GroupReplace, *GroupFill, *GroupAdd, *GroupMul, *Filter, *FilterCancel, *Sort, *SortCancel, *RecordEdit,
    *RecordPost, *RecordInsert, *RecordDelete, *RecordDoubleField, *RecordDoubleRecord, *RecordAttributes,
    *StdPrint, *StdExcel, *GridCustomize, *CallRef, *TougleLevels, *REditCopy, *REditPaste;
extern TPopupMenu* SysEditPopupMenu;
extern TColor ServiceMarkColor;
// Whether the screen had more than 8 bits per pixel at start-up.
extern bool ServiceMarkColorDeep;
