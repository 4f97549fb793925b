#include "COMPONENTS/kslib/FieldDataLinkKs.h"

#include <algorithm>

#include "COMPONENTS/kslib/DBToolsKs.h"
#include "db/DBConsts.h"

AnsiString VarToTextKs(const Variant& Value) {
  if (VarIsArray(Value)) return AnsiString();
  try {
    return VarToStr(Value);
  } catch (...) {
    return AnsiString();
  }
}

// --- TFieldDataLinkKs

TFieldDataLinkKs::TFieldDataLinkKs() { SetVisualControl(true); }

TField* TFieldDataLinkKs::FieldsField(int Index) const {
  return Index >= 0 && Index < FieldsCount() ? FFields[Index] : nullptr;
}

bool TFieldDataLinkKs::Active() const {
  return FDataIndependent || (TDataLink::Active() && Field());
}

bool TFieldDataLinkKs::CanModify() const {
  return FDataIndependent || (Field() && Field()->CanModify());
}

void TFieldDataLinkKs::SetDataSource(TDataSource* Value) {
  if (Value == DataSource()) return;
  TDataLink::SetDataSource(Value);
  UpdateDataIndependent();
}

void TFieldDataLinkKs::SetFieldName(const AnsiString& Value) {
  if (FFieldName == Value) return;
  FFieldName = Value;
  UpdateField();
  UpdateDataIndependent();
}

void TFieldDataLinkKs::SetMultiFields(bool Value) {
  if (FMultiFields == Value) return;
  FMultiFields = Value;
  UpdateField();
}

void TFieldDataLinkKs::UpdateDataIndependent() {
  bool Value = !DataSource() && FFieldName.empty();
  if (FDataIndependent == Value) return;
  FDataIndependent = Value;
  FDataIndependentValue = Variant::Null();
  UpdateEditing();
  if (Value) RecordChanged(nullptr);
}

void TFieldDataLinkKs::UpdateField() {
  std::vector<TField*> Fields;
  TDataSet* Set = DataSet();
  if (TDataLink::Active() && !FFieldName.empty()) {
    if (!FMultiFields) {
      Fields.push_back(FControl ? GetFieldProperty(Set, FControl, FFieldName)
                                : Set->FieldByName(FFieldName));
    } else if (FControl) {
      for (const AnsiString& Name : SplitNamesKs(FFieldName)) {
        TField* Found = Set->FindField(Name);
        if (!Found) DatabaseErrorFmt(SFieldNotFound, {Name}, FControl);
        Fields.push_back(Found);
      }
    } else {
      Set->GetFieldList(Fields, FFieldName);
    }
  }
  FFields = Fields;
  UpdateEditing();
  RecordChanged(nullptr);
  // A control's right-to-left alignment may follow its field's.
  auto* Control = dynamic_cast<TWinControl*>(FControl);
  if (Control && !Control->RightToLeftStylesAgree()) Control->Perform(CM_RECREATEWND);
}

void TFieldDataLinkKs::UpdateEditing() {
  bool Value = TDataLink::Editing() && CanModify();
  if (FEditing == Value) return;
  FEditing = Value;
  FModified = false;
  if (OnEditingChange) OnEditingChange(this);
}

bool TFieldDataLinkKs::Edit() {
  if (FDataIndependent) {
    // A link made read-only while editing edits no more.
    if (ReadOnly()) return false;
    if (!FEditing) {
      FEditing = true;
      FModified = false;
      if (OnEditingChange) OnEditingChange(this);
    }
  } else if (CanModify()) {
    TDataLink::Edit();
  }
  return FEditing;
}

void TFieldDataLinkKs::SetText(const AnsiString& Text) {
  if (FDataIndependent) {
    FDataIndependentValue = Text;
    RecordChanged(nullptr);
  } else if (TField* F = Field()) {
    if (F->DataType() == ftMemo) {
      F->SetAsString(Text);
    } else {
      F->SetText(Text);
    }
  }
}

void TFieldDataLinkKs::SetValue(const Variant& Value) {
  if (FDataIndependent) {
    FDataIndependentValue = Value;
    RecordChanged(nullptr);
    return;
  }
  TDataSet* Set = DataSet();
  if (!Set || (Set->State() != dsEdit && Set->State() != dsInsert) || FFields.empty()) return;
  if (FFields.size() == 1) {
    FFields[0]->SetValue(Value);
  } else if (VarIsArray(Value)) {
    int Low = VarArrayLowBound(Value, 1);
    for (size_t I = 0; I < FFields.size(); ++I) FFields[I]->SetValue(Value[Low + static_cast<int>(I)]);
  } else if (Value.IsNull() || Value.IsEmpty()) {
    for (TField* F : FFields) F->Clear();
  } else {
    // One value cannot stand for several fields; clearing them all would
    // lose the record's values without a word.
    DatabaseError("Для нескольких полей нужен массив значений", FControl);
  }
}

void TFieldDataLinkKs::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLinkKs::EditingChanged() { UpdateEditing(); }

void TFieldDataLinkKs::LayoutChanged() { UpdateField(); }

void TFieldDataLinkKs::RecordChanged(TField* Changed) {
  if (Changed && std::find(FFields.begin(), FFields.end(), Changed) == FFields.end()) return;
  if (OnDataChange) OnDataChange(this);
  FModified = false;
}

void TFieldDataLinkKs::UpdateData() {
  if (FDataIndependent) {
    if (FModified && OnUpdateData) OnUpdateData(this);
    FEditing = false;
  } else if (FModified && Field() && OnUpdateData) {
    OnUpdateData(this);
  }
  FModified = false;
}

void TFieldDataLinkKs::FocusControl(TField*& Requested) {
  if (!Requested || std::find(FFields.begin(), FFields.end(), Requested) == FFields.end()) return;
  auto* Control = dynamic_cast<TWinControl*>(FControl);
  if (Control && Control->CanFocus()) {
    Requested = nullptr;
    Control->SetFocus();
  }
}

// --- TEditImageKs

void TEditImageKs::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TEditImageKs*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  SetImages(Other->FImages);
  SetImageIndex(Other->FImageIndex);
  SetVisible(Other->FVisible);
  SetWidth(Other->FWidth);
}

void TEditImageKs::Changed() {
  if (FOwner) FOwner->Perform(CM_EDITIMAGECHANGEDKS);
}

void TEditImageKs::SetImageIndex(int Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  if (FOwner) FOwner->Invalidate();
}

void TEditImageKs::SetImages(TImageList* Value) {
  if (FImages == Value) return;
  FImages = Value;
  // The control forgets the list when it goes.
  if (Value && FOwner) Value->FreeNotification(FOwner);
  Changed();
}

void TEditImageKs::SetUseImageHeight(bool Value) {
  if (FUseImageHeight == Value) return;
  FUseImageHeight = Value;
  Changed();
}

void TEditImageKs::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Changed();
}

void TEditImageKs::SetWidth(int Value) {
  if (FWidth == Value) return;
  FWidth = Value;
  Changed();
}
