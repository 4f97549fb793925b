#include "forms/ActnList.h"

#include <algorithm>

#include "forms/Forms.h"
#include "forms/StdCtrls.h"

namespace {
TControlDataSource ControlDataSource;
std::vector<TActionList*> ActionLists;

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

bool TAction::HandleShortCut() {
  Update();
  return Enabled && Execute();
}

// By index: an action run may free others.
bool TActionList::IsShortCut(TShortCut ShortCut) {
  for (int i = 0; i < ActionCount(); ++i)
    if (TAction* action = Actions(i); action->ShortCut == ShortCut && action->HandleShortCut())
      return true;
  return false;
}

namespace {

TCustomForm* OwningForm(TComponent* Component) {
  while (Component && !dynamic_cast<TCustomForm*>(Component)) Component = Component->Owner();
  return static_cast<TCustomForm*>(Component);
}

}  // namespace

bool ExecuteShortCut(TCustomForm* Form, TShortCut ShortCut) {
  if ((ShortCut & 0xFF) == 0) return false;
  TCustomForm* main = Application->MainForm();
  std::vector<TCustomForm*> owners;
  if (Form) owners.push_back(Form);
  if (main && main != Form && main->HandleAllocated() && IsWindowEnabled(main->Handle()))
    owners.push_back(main);
  owners.push_back(nullptr);
  for (TCustomForm* owner : owners) {
    // A copy: an update may free a list.
    const std::vector<TActionList*> lists = ActionLists;
    for (TActionList* list : lists)
      if (std::find(ActionLists.begin(), ActionLists.end(), list) != ActionLists.end() &&
          OwningForm(list) == owner && list->IsShortCut(ShortCut))
        return true;
  }
  return false;
}

TActionList::TActionList(TComponent* AOwner) : TComponent(AOwner) { ActionLists.push_back(this); }

TActionList::~TActionList() {
  ActionLists.erase(std::remove(ActionLists.begin(), ActionLists.end(), this), ActionLists.end());
  while (!FActions.empty()) FActions.back()->SetActionList(nullptr);
}

// By index: an update may free a list or an action.
void UpdateActionLists() {
  for (size_t l = 0; l < ActionLists.size(); ++l)
    for (int i = 0; l < ActionLists.size() && i < ActionLists[l]->ActionCount(); ++i)
      ActionLists[l]->Actions(i)->Update();
}

TShortCut KeyToShortCut(uint16_t Key, TShiftState Shift) {
  if (Key & 0xFF00) return 0;
  TShortCut result = Key;
  if (Shift.Contains(ssShift)) result |= 0x2000;
  if (Shift.Contains(ssCtrl)) result |= 0x4000;
  if (Shift.Contains(ssAlt)) result |= 0x8000;
  return result;
}

AnsiString ShortCutToText(TShortCut ShortCut) {
  const uint8_t key = ShortCut & 0xFF;
  AnsiString name;
  if (key >= VK_F1 && key <= VK_F24) {
    name = "F" + std::to_string(key - VK_F1 + 1);
  } else if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
    name = AnsiString(1, static_cast<char>(key));
  } else if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) {
    name = "Num " + std::to_string(key - VK_NUMPAD0);
  } else {
    static const std::pair<uint8_t, const char*> Names[] = {
        {VK_BACK, "BkSp"},     {VK_TAB, "Tab"},      {VK_RETURN, "Enter"},  {VK_ESCAPE, "Esc"},
        {VK_SPACE, "Space"},   {VK_PRIOR, "PgUp"},   {VK_NEXT, "PgDn"},     {VK_END, "End"},
        {VK_HOME, "Home"},     {VK_LEFT, "Left"},    {VK_UP, "Up"},         {VK_RIGHT, "Right"},
        {VK_DOWN, "Down"},     {VK_INSERT, "Ins"},   {VK_DELETE, "Del"},    {VK_MULTIPLY, "Num *"},
        {VK_ADD, "Num +"},     {VK_SUBTRACT, "Num -"}, {VK_DECIMAL, "Num Del"}, {VK_DIVIDE, "Num /"}};
    for (const auto& [code, text] : Names)
      if (code == key) name = text;
    if (name.empty()) return "";
  }
  AnsiString text;
  if (ShortCut & 0x2000) text += "Shift+";
  if (ShortCut & 0x4000) text += "Ctrl+";
  if (ShortCut & 0x8000) text += "Alt+";
  return text + name;
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
