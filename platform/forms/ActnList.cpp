#include "forms/ActnList.h"

#include <algorithm>

#include "forms/Forms.h"
#include "forms/StdCtrls.h"

namespace {
TControlDataSource ControlDataSource;

// The handler when assigned, else the active control or a parent taking the
// action itself, else the first target the action handles.
template <class Taken, class OnTarget>
bool Dispatch(TBasicAction* Action, const TNotifyEvent& Handler, Taken TakenBy, OnTarget Run) {
  if (Handler) {
    Handler(Action);
    return true;
  }
  TCustomForm* form = Screen->ActiveForm();
  TWinControl* control = form ? form->ActiveControl() : nullptr;
  for (TControl* c = control; c; c = c->Parent())
    if (TakenBy(c)) return true;
  TObject* source = control && ControlDataSource ? ControlDataSource(control) : nullptr;
  for (TObject* target : {static_cast<TObject*>(control), source, static_cast<TObject*>(form)})
    if (target && Action->HandlesTarget(target)) {
      Run(target);
      return true;
    }
  return false;
}

}  // namespace

void SetControlDataSource(TControlDataSource Lookup) { ControlDataSource = std::move(Lookup); }

bool TBasicAction::Execute() {
  return Dispatch(
      this, OnExecute, [this](TControl* c) { return c->ExecuteAction(this); },
      [this](TObject* target) { ExecuteTarget(target); });
}

bool TBasicAction::Update() {
  return Dispatch(
      this, OnUpdate, [this](TControl* c) { return c->UpdateAction(this); },
      [this](TObject* target) { UpdateTarget(target); });
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

bool TEditAction::HandlesTarget(TObject* Target) {
  auto* Edit = dynamic_cast<TCustomEdit*>(Target);
  return Edit && Edit->HandleAllocated() && GetFocus() == Edit->Handle();
}

void TEditAction::ExecuteTarget(TObject* Target) {
  SendMessageA(static_cast<TCustomEdit*>(Target)->Handle(), FMessage, 0, FLParam);
}

void TEditAction::UpdateTarget(TObject* Target) {
  auto* Edit = static_cast<TCustomEdit*>(Target);
  bool Allowed = true;
  if (FNeeds & nSelection) Allowed = Allowed && Edit->SelLength() > 0;
  if (FNeeds & nWritable) Allowed = Allowed && !Edit->ReadOnly();
  if (FNeeds & nClipboardText) Allowed = Allowed && IsClipboardFormatAvailable(CF_TEXT);
  if (FNeeds & nText) Allowed = Allowed && !Edit->Text().empty();
  Enabled = Allowed;
}
