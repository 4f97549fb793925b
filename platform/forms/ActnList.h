// Actions: commands with a caption, hint, shortcut, image and category,
// kept in an action list. An action without its own handler is executed on
// the first target it handles among the active control, that control's
// data source and the active form.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "forms/Controls.h"
#include "forms/Graphics.h"

// A key with its shift keys in one word, the virtual key in the low byte.
using TShortCut = uint16_t;
// A key with the shift keys held; 0 for a code beyond one byte.
TShortCut KeyToShortCut(uint16_t Key, TShiftState Shift);
// As menus show it: "Shift+Ctrl+F4", "Ctrl+Num +", "Ins".
AnsiString ShortCutToText(TShortCut ShortCut);

class TActionList;

class TBasicAction : public TComponent {
 public:
  using TComponent::TComponent;
  virtual bool HandlesTarget(TObject*) { return false; }
  virtual void ExecuteTarget(TObject*) {}
  virtual void UpdateTarget(TObject*) {}
  // OnExecute when assigned, else the active control or one of its parents
  // taking it (TControl::ExecuteAction), else the first handled target;
  // false when nothing ran.
  virtual bool Execute();
  // The same way for the action's state: OnUpdate, UpdateAction, UpdateTarget.
  virtual bool Update();
  // Its shortcut was pressed: true when the action ran and the key goes no
  // further.
  virtual bool HandleShortCut() { return false; }
  TNotifyEvent OnExecute, OnUpdate;
};

class TAction : public TBasicAction {
 public:
  explicit TAction(TComponent* AOwner) : TBasicAction(AOwner) {}
  ~TAction() override;

  AnsiString Caption, Hint, Category;
  TShortCut ShortCut = 0;
  int ImageIndex = -1;
  bool Enabled = true;
  bool Checked = false;

  TActionList* ActionList() const { return FActionList; }
  void SetActionList(TActionList* Value);
  bool Execute() override;
  // Brought up to date first: a disabled action lets the key through.
  bool HandleShortCut() override;

 private:
  TActionList* FActionList = nullptr;
};

class TActionList : public TComponent {
 public:
  explicit TActionList(TComponent* AOwner);
  ~TActionList() override;
  int ActionCount() const { return static_cast<int>(FActions.size()); }
  TAction* Actions(int Index) const { return FActions[Index]; }
  TImageList* Images = nullptr;
  // The first action with the shortcut that runs takes the key.
  bool IsShortCut(TShortCut ShortCut);

 private:
  friend class TAction;
  std::vector<TAction*> FActions;
};

class TCustomForm;
// A key press as users of such programs expect: offered, before the
// focused control of the form sees it, to the form's action lists, then
// the main form's while it takes input, then the lists no form owns (those
// of data modules). True when an action took it.
bool ExecuteShortCut(TCustomForm* Form, TShortCut ShortCut);

// The application's idle step: every action of every list brings its
// state up to date, the active control asked first.
void UpdateActionLists();

// Acts on a focused edit control by one of its messages, enabled by what
// the message needs of it.
class TEditAction : public TAction {
 public:
  enum TNeed { nSelection = 1, nWritable = 2, nClipboardText = 4, nText = 8 };
  TEditAction(TComponent* AOwner, UINT Message, int Needs, LPARAM LParam = 0)
      : TAction(AOwner), FMessage(Message), FNeeds(Needs), FLParam(LParam) {}
  bool HandlesTarget(TObject* Target) override;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* Target) override;
  // Its keys are the edit's own, which the edit handles by its own rules
  // (a data-aware edit puts its record into edit first): the key goes on.
  bool HandleShortCut() override { return false; }

 private:
  UINT FMessage;
  int FNeeds;
  LPARAM FLParam;
};

class TEditCut : public TEditAction {
 public:
  explicit TEditCut(TComponent* AOwner) : TEditAction(AOwner, WM_CUT, nSelection | nWritable) {}
};

class TEditCopy : public TEditAction {
 public:
  explicit TEditCopy(TComponent* AOwner) : TEditAction(AOwner, WM_COPY, nSelection) {}
};

class TEditPaste : public TEditAction {
 public:
  explicit TEditPaste(TComponent* AOwner)
      : TEditAction(AOwner, WM_PASTE, nClipboardText | nWritable) {}
};

class TEditSelectAll : public TEditAction {
 public:
  explicit TEditSelectAll(TComponent* AOwner) : TEditAction(AOwner, EM_SETSEL, nText, -1) {}
};

class TEditDelete : public TEditAction {
 public:
  explicit TEditDelete(TComponent* AOwner)
      : TEditAction(AOwner, WM_CLEAR, nSelection | nWritable) {}
};

// The data source of a data-aware control, for the targets an action is
// offered; registered by the units that know such controls.
using TControlDataSource = std::function<TObject*(TWinControl* Control)>;
void SetControlDataSource(TControlDataSource Lookup);
