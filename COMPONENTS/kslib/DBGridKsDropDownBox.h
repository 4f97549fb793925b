// A column's drop-down box: what its lookup list shows (the list source,
// its columns and defaults, grid lines and sort marking, multi-level
// titles). The box keeps none of the list's own state: it reaches the
// column's drop-down grid through the owner's interface, and does nothing
// for an owner without one.
#pragma once

#include <memory>

#include "rtl/Classes.h"
#include "rtl/Types.h"

class TDataSource;
class TSpecRowKs;
class TDBGridColumnsKs;
class TColumnDefValuesKs;
class TPopupDataGridKs;

enum TDBLookupGridKsOption {
  dlgColumnResizeKs,
  dlgColLinesKs,
  dlgRowLinesKs,
  dlgAutoSortMarkingKs,
  dlgMultiSortMarkingKs
};
using TDBLookupGridKsOptions = TSet<TDBLookupGridKsOption>;

// What a box asks of its owner (the column).
class IDropDownBoxOwner {
 public:
  // The grid is asked to tell when the source goes.
  virtual void SetListSource(TDataSource* Value) = 0;
  virtual TPopupDataGridKs* GetLookupGrid() = 0;
  virtual TDBLookupGridKsOptions GetLookupOptions() = 0;
  virtual void SetLookupOptions(TDBLookupGridKsOptions Value) = 0;

 protected:
  ~IDropDownBoxOwner() = default;
};

class TColumnDropDownBoxKs : public TPersistent {
 public:
  explicit TColumnDropDownBoxKs(TPersistent* Owner);
  ~TColumnDropDownBoxKs() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return FOwner; }

  bool AutoFitColWidths() const { return FAutoFitColWidths; }
  void SetAutoFitColWidths(bool Value) { FAutoFitColWidths = Value; }
  // The drop-down grid's; null without an owner interface.
  TDBGridColumnsKs* Columns();
  void SetColumns(TDBGridColumnsKs* Value);
  // Stored only while customized.
  bool ColumnsStored();
  TColumnDefValuesKs* ColumnDefValues();
  void SetColumnDefValues(TColumnDefValuesKs* Value);
  TDataSource* ListSource() const { return FListSource; }
  void SetListSource(TDataSource* Value);
  // Column resizing and both grid lines by default.
  TDBLookupGridKsOptions Options();
  void SetOptions(TDBLookupGridKsOptions Value);
  bool UseMultiTitle() const { return FUseMultiTitle; }
  void SetUseMultiTitle(bool Value) { FUseMultiTitle = Value; }
  // The box's own special row, kept and copied with it.
  TSpecRowKs* SpecRow() const { return FSpecRow.get(); }
  void SetSpecRow(TSpecRowKs* Value);

 private:
  IDropDownBoxOwner* Intf() const { return dynamic_cast<IDropDownBoxOwner*>(FOwner); }
  TPersistent* FOwner;
  TDataSource* FListSource = nullptr;
  bool FAutoFitColWidths = true, FUseMultiTitle = false;
  std::unique_ptr<TSpecRowKs> FSpecRow;
};
