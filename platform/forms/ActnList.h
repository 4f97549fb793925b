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

class TActionList;

class TBasicAction : public TComponent {
 public:
  using TComponent::TComponent;
  virtual bool HandlesTarget(TObject*) { return false; }
  virtual void ExecuteTarget(TObject*) {}
  // OnExecute when assigned, else the first handled target; false when
  // nothing ran.
  virtual bool Execute();
  TNotifyEvent OnExecute;
};

class TAction : public TBasicAction {
 public:
  explicit TAction(TComponent* AOwner) : TBasicAction(AOwner) {}
  ~TAction() override;

  AnsiString Caption, Hint, Category;
  TShortCut ShortCut = 0;
  int ImageIndex = -1;
  bool Enabled = true;

  TActionList* ActionList() const { return FActionList; }
  void SetActionList(TActionList* Value);
  bool Execute() override;

 private:
  TActionList* FActionList = nullptr;
};

class TActionList : public TComponent {
 public:
  using TComponent::TComponent;
  ~TActionList() override;
  int ActionCount() const { return static_cast<int>(FActions.size()); }
  TAction* Actions(int Index) const { return FActions[Index]; }
  TImageList* Images = nullptr;

 private:
  friend class TAction;
  std::vector<TAction*> FActions;
};

// The data source of a data-aware control, for the targets an action is
// offered; registered by the units that know such controls.
using TControlDataSource = std::function<TObject*(TWinControl* Control)>;
void SetControlDataSource(TControlDataSource Lookup);
