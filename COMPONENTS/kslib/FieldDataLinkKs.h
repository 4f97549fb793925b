// The link of an edit control to one field (or, in multi-field mode,
// several fields) of the dataset behind a data source. With neither a data
// source nor a field name it holds the control's own value instead
// (data-independent mode). Also the settings of the small image at the left
// of an edit control, and the variant-to-text conversion of the controls.
#pragma once

#include <vector>

#include "db/DB.h"
#include "forms/Controls.h"
#include "forms/Graphics.h"
#include "rtl/Variants.h"

// A message to the owning control: its edit image changed.
constexpr UINT CM_EDITIMAGECHANGEDKS = CM_BASE + 0x110;

// Text of a value; empty for an array and for a value that has none.
AnsiString VarToTextKs(const Variant& Value);

class TFieldDataLinkKs : public TDataLink {
 public:
  TFieldDataLinkKs();

  // The first bound field, or null.
  TField* Field() const { return FFields.empty() ? nullptr : FFields[0]; }
  int FieldsCount() const { return static_cast<int>(FFields.size()); }
  TField* FieldsField(int Index) const;
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value);
  void SetDataSource(TDataSource* Value);
  // The owning control: named in errors, focused for its field.
  TComponent* Control() const { return FControl; }
  void SetControl(TComponent* Value) { FControl = Value; }
  // FieldName lists several fields, separated by ";".
  bool MultiFields() const { return FMultiFields; }
  void SetMultiFields(bool Value);

  bool DataIndependent() const { return FDataIndependent; }
  const Variant& DataIndependentValue() const { return FDataIndependentValue; }
  // Data-independent, or the dataset is open and a field is bound.
  bool Active() const;
  bool CanModify() const;
  // The link (or the own value) is being edited.
  bool Editing() const { return FEditing; }
  // Starts editing when it can; answers Editing.
  bool Edit();
  // The control changed its value since the last update.
  void Modified() { FModified = true; }
  bool IsModified() const { return FModified; }
  // The control reads its value again.
  void Reset() { RecordChanged(nullptr); }
  void SetText(const AnsiString& Text);
  // Bound, the dataset must be editing. Several fields take a variant array,
  // one element each, or Null, which clears them all.
  void SetValue(const Variant& Value);

  TNotifyEvent OnDataChange, OnEditingChange, OnUpdateData, OnActiveChange;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void FocusControl(TField*& Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  void UpdateDataIndependent();
  void UpdateField();
  void UpdateEditing();
  std::vector<TField*> FFields;
  AnsiString FFieldName;
  TComponent* FControl = nullptr;
  bool FMultiFields = false, FDataIndependent = true, FEditing = false, FModified = false;
  Variant FDataIndependentValue = Variant::Null();
};

// The image at the left of an edit control. The control hears of each change.
class TEditImageKs : public TPersistent {
 public:
  explicit TEditImageKs(TWinControl* AOwner) : FOwner(AOwner) {}
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return FOwner; }

  int ImageIndex() const { return FImageIndex; }
  // Repaints the control.
  void SetImageIndex(int Value);
  TImageList* Images() const { return FImages; }
  void SetImages(TImageList* Value);
  // The control grows to the image height.
  bool UseImageHeight() const { return FUseImageHeight; }
  void SetUseImageHeight(bool Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  // 0 or less: the image list's width.
  int Width() const { return FWidth; }
  void SetWidth(int Value);

 private:
  void Changed();
  TWinControl* FOwner;
  int FImageIndex = -1;
  TImageList* FImages = nullptr;
  bool FUseImageHeight = true, FVisible = false;
  int FWidth = 0;
};
