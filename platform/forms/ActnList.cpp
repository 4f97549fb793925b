#include "forms/ActnList.h"

#include <algorithm>

#include "forms/Forms.h"

namespace {
TControlDataSource ControlDataSource;
}  // namespace

void SetControlDataSource(TControlDataSource Lookup) { ControlDataSource = std::move(Lookup); }

bool TBasicAction::Execute() {
  if (OnExecute) {
    OnExecute(this);
    return true;
  }
  TCustomForm* form = Screen->ActiveForm();
  TWinControl* control = form ? form->ActiveControl() : nullptr;
  TObject* source = control && ControlDataSource ? ControlDataSource(control) : nullptr;
  for (TObject* target : {static_cast<TObject*>(control), source, static_cast<TObject*>(form)})
    if (target && HandlesTarget(target)) {
      ExecuteTarget(target);
      return true;
    }
  return false;
}

TAction::~TAction() { SetActionList(nullptr); }

void TAction::SetActionList(TActionList* Value) {
  if (FActionList) {
    auto& actions = FActionList->FActions;
    actions.erase(std::remove(actions.begin(), actions.end(), this), actions.end());
  }
  FActionList = Value;
  if (Value) Value->FActions.push_back(this);
}

bool TAction::Execute() { return Enabled && TBasicAction::Execute(); }

TActionList::~TActionList() {
  while (!FActions.empty()) FActions.back()->SetActionList(nullptr);
}
