// The grid's columns: each binds one field of the grid's dataset to one
// grid column and says how it is shown. A visual property set on the
// column itself is explicit (one flag per property); one that is not reads
// the grid-wide defaults, then the grid, and is not stored.
#pragma once

#include <memory>
#include <vector>

#include "db/DB.h"
#include "forms/Graphics.h"
#include "forms/Grids.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"
#include "COMPONENTS/kslib/DBGridKsDropDownBox.h"
#include "COMPONENTS/kslib/PopupCtrlsKs.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"

class TCustomDBGridKs;
class TColumnKs;
class TDBGridColumnsKs;
class TColumnFooterKs;
class TColumnFootersKs;
class TSTColumnFilterKs;
class TPopupDataGridKs;
class TSpecRowKs;

// A font's metrics on the screen's context (the grid may have no window
// yet; its own context measures the same).
struct TFontMetricsKs {
  TEXTMETRICA Metrics{};
  int TextHeight = 0;  // of "Wg"
  int ZeroWidth = 0;   // of "0"
};
TFontMetricsKs MeasureFontKs(TFont* Font);

enum TColumnButtonStyleKs { cbsAuto, cbsEllipsis, cbsNone, cbsUpDown, cbsDropDown };
enum TSortMarkerKs { smNoneKs, smDownKs, smUpKs };
enum TTextOrientationKs { tohHorizontal, tohVertical };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// The explicit-value flags of a column, its title's among them.
enum TColumnKsValue {
  cvColor,
  cvWidth,
  cvFont,
  cvAlignment,
  cvReadOnly,
  cvTitleColor,
  cvTitleCaption,
  cvTitleAlignment,
  cvTitleFont,
  cvTitleButton,
  cvTitleEndEllipsis,
  cvTitleToolTips,
  cvTitleOrientation,
  cvImeMode,
  cvImeName,
  cvWordWrap,
  cvLookupDisplayFields,
  cvCheckboxes,
  cvAlwaysShowEditButton,
  cvEndEllipsis,
  cvAutoDropDown,
  cvDblClickNextVal,
  cvToolTips,
  cvDropDownSizing,
  cvDropDownShowTitles,
  cvLayout,
  cvHighlightRequired
};
using TColumnKsValues = TSet<TColumnKsValue>;

// What a cell shows, filled by its column and handed to the events.
using TColCellUpdateDataEventKs = std::function<void(TColumnKs* Column, AnsiString& Text,
                                                     Variant& Value, bool& UseText, bool& Handled)>;

class TColCellParamsKs : public TObject {
 public:
  TAlignment Alignment = taLeftJustify;
  TColor Background = clWindow;
  TCheckBoxState CheckboxState = cbUnchecked;
  int Col = -1;
  TFont* Font = nullptr;
  int ImageIndex = -1;
  bool ReadOnly = false;
  int Row = -1;
  int State = 0;  // the grid draw state's bits
  AnsiString Text;
};

// A typed or pasted text that no list entry matches; the handler may take it.
// Setting RecheckInList looks the text up once more (the handler listed it).
using TColumnNotInListEventKs =
    std::function<void(TObject* Sender, const AnsiString& NewText, bool& RecheckInList)>;
using TColumnEditButtonClickEventKs = std::function<void(TObject* Sender, bool& Handled)>;

using TColCheckDrawRequiredStateEventKs =
    std::function<void(TObject* Grid, const AnsiString& Text, bool& DrawState)>;
// The grid's events that a column's drop-down list has too.
using TCheckTitleKsBtnEvent =
    std::function<void(TObject* Sender, int ACol, TColumnKs* Column, bool& Enabled)>;
using TTitleKsClickEvent = std::function<void(TObject* Sender, int ACol, TColumnKs* Column)>;
using TGetCellKsParamsEvent = std::function<void(TObject* Sender, TColumnKs* Column, TFont* AFont,
                                                 TColor& Background, TGridDrawState State)>;
using TDrawColumnKsCellEvent = std::function<void(TObject* Sender, const RECT& Rect, int DataCol,
                                                  TColumnKs* Column, TGridDrawState State)>;
using TGetColCellParamsEventKs =
    std::function<void(TColumnKs* Column, bool EditMode, TColCellParamsKs* Params)>;

// The grid-wide defaults of titles.
class TColumnTitleDefValuesKs : public TPersistent {
 public:
  explicit TColumnTitleDefValuesKs(TCustomDBGridKs* Grid) : FGrid(Grid) {}
  void Assign(TPersistent* Source) override;
  // Centred while the grid's multi-level titles are on, else left.
  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  bool AlignmentStored() const { return FAlignmentSet && FAlignment != FallbackAlignment(); }
  // The grid's FixedColor.
  TColor Color() const;
  void SetColor(TColor Value);
  bool ColorStored() const { return FColorSet && FColor != FallbackColor(); }
  bool EndEllipsis() const { return FEndEllipsis; }
  void SetEndEllipsis(bool Value);
  TTextOrientationKs Orientation() const { return FOrientation; }
  void SetOrientation(TTextOrientationKs Value);
  bool TitleButton() const { return FTitleButton; }
  void SetTitleButton(bool Value) { FTitleButton = Value; }
  bool ToolTips() const { return FToolTips; }
  void SetToolTips(bool Value) { FToolTips = Value; }

 private:
  TAlignment FallbackAlignment() const;
  TColor FallbackColor() const;
  TCustomDBGridKs* FGrid;
  TAlignment FAlignment = taLeftJustify;
  TColor FColor = clBtnFace;
  bool FAlignmentSet = false, FColorSet = false;
  bool FEndEllipsis = false, FTitleButton = false, FToolTips = false;
  TTextOrientationKs FOrientation = tohHorizontal;
};

class TColumnFooterDefValuesKs : public TPersistent {
 public:
  void Assign(TPersistent* Source) override;
  bool ToolTips = false;
};

// The grid-wide column defaults.
class TColumnDefValuesKs : public TPersistent {
 public:
  explicit TColumnDefValuesKs(TCustomDBGridKs* Grid);
  void Assign(TPersistent* Source) override;
  TCustomDBGridKs* Grid() const { return FGrid; }
  TColumnTitleDefValuesKs* Title() { return &FTitle; }
  TColumnFooterDefValuesKs* Footer() { return &FFooter; }

  bool AlwaysShowEditButton() const { return FAlwaysShowEditButton; }
  void SetAlwaysShowEditButton(bool Value) { SetRepainting(FAlwaysShowEditButton, Value); }
  bool AutoDropDown() const { return FAutoDropDown; }
  void SetAutoDropDown(bool Value) { FAutoDropDown = Value; }
  bool DblClickNextVal() const { return FDblClickNextVal; }
  void SetDblClickNextVal(bool Value) { FDblClickNextVal = Value; }
  bool DropDownShowTitles() const { return FDropDownShowTitles; }
  void SetDropDownShowTitles(bool Value) { FDropDownShowTitles = Value; }
  bool DropDownSizing() const { return FDropDownSizing; }
  void SetDropDownSizing(bool Value) { FDropDownSizing = Value; }
  bool EndEllipsis() const { return FEndEllipsis; }
  void SetEndEllipsis(bool Value) { SetRepainting(FEndEllipsis, Value); }
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool HighlightRequired() const { return FHighlightRequired; }
  void SetHighlightRequired(bool Value) { SetRepainting(FHighlightRequired, Value); }
  bool ToolTips() const { return FToolTips; }
  void SetToolTips(bool Value) { FToolTips = Value; }

 private:
  void SetRepainting(bool& Field, bool Value);
  TCustomDBGridKs* FGrid;
  TColumnTitleDefValuesKs FTitle;
  TColumnFooterDefValuesKs FFooter;
  bool FAlwaysShowEditButton = false, FAutoDropDown = true, FDblClickNextVal = false;
  bool FDropDownShowTitles = true, FDropDownSizing = true, FEndEllipsis = true;
  bool FHighlightRequired = true, FToolTips = true;
  TTextLayout FLayout = tlTop;
};

class TDBGridKsColumnDefValuesKs : public TColumnDefValuesKs {
 public:
  using TColumnDefValuesKs::TColumnDefValuesKs;
};

// The title cell of one column and its place in the sort marking.
class TColumnTitleKs : public TPersistent {
 public:
  explicit TColumnTitleKs(TColumnKs* Column);
  void Assign(TPersistent* Source) override;
  TColumnKs* Column() const { return FColumn; }

  // The field's display label, else the column's field name.
  AnsiString Caption() const;
  virtual void SetCaption(const AnsiString& Value);
  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  TColor Color() const;
  void SetColor(TColor Value);
  // The grid's TitleFont, else the column's font.
  TFont* Font();
  bool EndEllipsis() const;
  void SetEndEllipsis(bool Value);
  TTextOrientationKs Orientation() const;
  void SetOrientation(TTextOrientationKs Value);
  bool TitleButton() const;
  void SetTitleButton(bool Value);
  bool ToolTips() const;
  void SetToolTips(bool Value);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& Value) { FHint = Value; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);

  TSortMarkerKs SortMarker() const { return FSortMarker; }
  void SetSortMarker(TSortMarkerKs Value);
  int SortIndex() const { return FSortIndex; }
  void SetSortIndex(int Value);
  // One title click: down, up, none (adding) or down again.
  void ClickSortMarker(bool Add);
  virtual void ResetTitle();
  // The room the title keeps for its sort marker: the marker and, while
  // several columns are marked, the sort index after it. When the column is
  // too narrow the marker goes first, then the index.
  int SortMarkerWidth();
  // The same rule for a title with Room pixels to spare; what of the
  // marker and the index is drawn.
  int SortMarkerReserve(int Room, bool& DrawMarker, bool& DrawIndex);
  // The sort index's width in the small marker font; 0 with one marked column.
  int SortIndexWidth();

  bool CaptionStored() const;
  bool AlignmentStored() const;
  bool ColorStored() const;

 private:
  friend class TColumnKs;
  bool IsSet(TColumnKsValue Value) const;
  void LeaveSortOrder();
  void Set(TColumnKsValue Value);
  void Changed();
  void FontChanged(TObject*);
  TColumnKs* FColumn;
  AnsiString FCaption, FHint;
  TAlignment FAlignment = taLeftJustify;
  TColor FColor = clBtnFace;
  TFont FFont;
  bool FEndEllipsis = false, FTitleButton = false, FToolTips = false;
  TTextOrientationKs FOrientation = tohHorizontal;
  int FImageIndex = -1;
  int FSortIndex = 0;
  TSortMarkerKs FSortMarker = smNoneKs;
  bool FApplyingFont = false;
};

class TColumnKs : public TCollectionItem, public IDropDownBoxOwner {
 public:
  explicit TColumnKs(TCollection* Collection);
  ~TColumnKs() override;
  void Assign(TPersistent* Source) override;
  AnsiString DisplayName() const override;
  void SetIndex(int Value) override;

  // The owning grid, or null outside a grid's collection.
  TCustomDBGridKs* GetGrid() const;
  TColumnKsValues ExplicitValues() const { return FExplicit; }
  // Built from a field: writes follow the field.
  bool PersistentColumn() const { return FPersistent; }
  void SetPersistentColumn(bool Value) { FPersistent = Value; }
  virtual bool FollowsField() const { return !FPersistent; }

  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value);
  // Resolved by name on demand.
  TField* GetField();
  virtual void SetField(TField* Value);
  void ClearFieldCache() { FField = nullptr; }
  // The field bound now, without looking it up.
  TField* BoundField() const { return FField; }

  TAlignment Alignment();
  virtual void SetAlignment(TAlignment Value);
  bool AlignmentStored();
  TColor Color() const;
  void SetColor(TColor Value);
  bool ColorStored();
  TFont* Font() { return &FFont; }
  bool FontStored() const { return FExplicit.Contains(cvFont); }
  // Takes the grid's font again unless the column has its own.
  void RefreshDefaultFont();
  bool ReadOnly();
  virtual void SetReadOnly(bool Value);
  bool ReadOnlyStored();
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  int Width();
  virtual void SetWidth(int Value);
  bool WidthStored();
  // The width without the column's own: from the field and the font.
  int DefaultWidth();
  int MinWidth() const { return FMinWidth; }
  void SetMinWidth(int Value);
  int MaxWidth() const { return FMaxWidth; }
  void SetMaxWidth(int Value);
  int ClampWidth(int Value) const;
  int InitWidth = 0;
  int32_t Tag = 0;
  bool AutoFitColWidth() const { return FAutoFitColWidth; }
  virtual void SetAutoFitColWidth(bool Value);
  bool ToolTips() const;
  void SetToolTips(bool Value);
  // Grid-wide defaults while not set on the column.
  bool AlwaysShowEditButton() const;
  void SetAlwaysShowEditButton(bool Value);
  bool AutoDropDown() const;
  void SetAutoDropDown(bool Value);
  bool DblClickNextVal() const;
  void SetDblClickNextVal(bool Value);
  bool DropDownShowTitles() const;
  void SetDropDownShowTitles(bool Value);
  bool DropDownSizing() const;
  void SetDropDownSizing(bool Value);
  bool EndEllipsis() const;
  void SetEndEllipsis(bool Value);
  bool HighlightRequired() const;
  void SetHighlightRequired(bool Value);
  TTextLayout Layout() const;
  void SetLayout(TTextLayout Value);
  // True for text fields.
  bool WordWrap();
  void SetWordWrap(bool Value);
  // The grid's input method while not set on the column; the grid's editor
  // switches to it in the column.
  TImeMode ImeMode() const;
  virtual void SetImeMode(TImeMode Value);
  AnsiString ImeName() const;
  virtual void SetImeName(const AnsiString& Value);
  // The lookup field's result field.
  AnsiString LookupDisplayFields();
  void SetLookupDisplayFields(const AnsiString& Value);
  // Whether a property is stored: set on the column and not equal to what
  // it would read otherwise.
  bool Stored(TColumnKsValue Flag);
  bool Checkboxes();
  void SetCheckboxes(bool Value);
  TColumnButtonStyleKs ButtonStyle() const { return FButtonStyle; }
  void SetButtonStyle(TColumnButtonStyleKs Value);
  TStrings* KeyList() { return &FKeyList; }
  TStrings* PickList() { return &FPickList; }
  int NotInKeyListIndex() const { return FNotInKeyListIndex; }
  void SetNotInKeyListIndex(int Value);
  // What the in-place editor shows and drops down for the column.
  TEditButtonsKs* EditButtons() const { return FEditButtons.get(); }
  TMRUListKs* MRUList() const { return FMRUList.get(); }
  // A lookup column's drop-down list, made on first use.
  TPopupDataGridKs* GetPopupDataGrid();
  // Opens the list of the grid's cell editor while the grid edits.
  void DropDown();
  // What the drop-down list shows: its source, columns and options.
  TColumnDropDownBoxKs* DropDownBox() const { return FDropDownBox.get(); }
  void SetDropDownBox(TColumnDropDownBoxKs* Value) { FDropDownBox->Assign(Value); }
  // The special row the drop-down list shows.
  TSpecRowKs* DropDownSpecRow() const { return FDropDownSpecRow.get(); }
  void SetDropDownSpecRow(TSpecRowKs* Value);
  // Hands the special row to the drop-down list.
  virtual void SpecRowChanged();
  // The drop-down list's events (reaching one makes the list).
  TCheckTitleKsBtnEvent& OnDropDownBoxCheckButton();
  TDrawColumnKsCellEvent& OnDropDownBoxDrawColumnCell();
  TGetCellKsParamsEvent& OnDropDownBoxGetCellParams();
  TNotifyEvent& OnDropDownBoxSortMarkingChanged();
  TTitleKsClickEvent& OnDropDownBoxTitleBtnClick();
  // The box's owner interface.
  void SetListSource(TDataSource* Value) override;
  TPopupDataGridKs* GetLookupGrid() override { return GetPopupDataGrid(); }
  TDBLookupGridKsOptions GetLookupOptions() override;
  void SetLookupOptions(TDBLookupGridKsOptions Value) override;
  // The column's cell in the grid's filter row.
  TSTColumnFilterKs* STFilter() const { return FSTFilter.get(); }
  long double Increment() const { return FIncrement; }
  void SetIncrement(long double Value) { FIncrement = Value; }
  int DropDownRows() const { return FDropDownRows; }
  void SetDropDownRows(int Value) { FDropDownRows = Value; }
  // -1: as wide as the list's columns.
  int DropDownWidth() const { return FDropDownWidth; }
  void SetDropDownWidth(int Value);
  TImageList* ImageList() const { return FImageList; }
  void SetImageList(TImageList* Value);
  bool ShowImageAndText() const { return FShowImageAndText; }
  void SetShowImageAndText(bool Value);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);
  // The value's place in KeyList, else in PickList, else a number field's
  // value; NotInKeyListIndex when not found.
  int GetCellImageIndex();
  TColumnTitleKs* Title() { return &FTitle; }
  TColumnFooterKs* Footer() const { return FFooter.get(); }
  TColumnFootersKs* Footers() const { return FFooters.get(); }
  // Footers[Index] while there is one, else the single Footer.
  TColumnFooterKs* GetFooter(int Index) const;
  // The width the buttons standing in the column's cells take: its edit
  // style's and its visible extra ones; 0 outside a grid.
  int EditButtonsWidth();

  // The column's editing kind: 0 plain, 1 pick list, 2 lookup, 3 key
  // list, 4 image, 5 check box.
  int GetColumnType();
  AnsiString GetDisplayText();
  // What a KeyList entry shows: its PickList line, else the line of
  // NotInKeyListIndex, else nothing.
  AnsiString PickedText(const AnsiString& Key);
  // A value other than the field's own (a saved level's) as a cell would
  // show it: through the key list, else in the display format; a state
  // field's as a node's "+".
  AnsiString ValueDisplayText(const Variant& Value);
  // 0 unchecked, 1 checked, 2 grayed.
  TCheckBoxState GetCheckboxState();
  void FillColCellParams(TColCellParamsKs* Params);
  virtual void ResetToDefaults();
  // Fits the width to the title, the cells of every record and the footers.
  void OptimizeWidth();

  // Writing a cell: whether it may change now (TryEdit puts the dataset
  // into edit), stepping to the next (1.0) or previous value, the check
  // box, and a typed text or a chosen value.
  bool CanModify(bool TryEdit);
  // Whether a whole value may be written, as an import does: CanModify's
  // tests without refusing a blob field to typing.
  bool ValueModifiable() { return Modifiable(false, true); }
  void ApplyNextValue(long double Step);
  void SetCheckboxState(TCheckBoxState Value);
  void UpdateData(const AnsiString& Text, const Variant& Value, bool UseText);
  // The dataset a lookup column's list shows, opened: the drop-down box's
  // source, else the lookup field's dataset, or that one's lookup clone.
  TDataSet* GetLookupListDataSet();

  // Numbers and dates show in this format; empty: the field's own text.
  const AnsiString& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const AnsiString& Value);
  // The cell editor's mask; empty: the field's.
  AnsiString EditMask;
  // A cell that shows the same text as the record above it shows empty.
  bool HideDuplicates() const { return FHideDuplicates; }
  void SetHideDuplicates(bool Value);
  // Lets OnGetCellParams change what a cell of the column shows.
  void GetColCellParams(bool EditMode, TColCellParamsKs* Params);

  TGetColCellParamsEventKs OnGetCellParams;
  TColCellUpdateDataEventKs OnUpdateData;
  TColumnEditButtonClickEventKs OnEditButtonClick;
  TButtonDownEventKs OnEditButtonDown;
  TColumnNotInListEventKs OnNotInList;
  // May change whether an empty required field's mark is drawn under Text.
  TColCheckDrawRequiredStateEventKs OnCheckDrawRequiredState;

 protected:
  // Notifies the collection for this column alone, or for all.
  void ColumnChanged(bool AllItems = false) { Changed(AllItems); }

 private:
  friend class TColumnTitleKs;
  friend class TColumnFooterKs;
  friend class TDBGridColumnsKs;
  void UpdateSumBindings();
  bool SpecRowStandsFor(TField* F);
  // CanModify's tests; Stepping refuses every blob without a text handler,
  // WholeValue none.
  bool Modifiable(bool Stepping, bool WholeValue = false);
  void StepInList(TStrings* List, long double Step, bool AsText);
  void StepLookup(long double Step);
  void WriteData(const AnsiString& Text, const Variant& Value, bool UseText);
  template <class T>
  void SetExplicit(TColumnKsValue Flag, T& Field, const T& Value, bool Notify = true);
  const TColumnDefValuesKs* Defaults() const;
  void DefaultFontChanged(TObject*);

  TColumnKsValues FExplicit;
  bool FPersistent = true;
  AnsiString FFieldName;
  TField* FField = nullptr;
  TAlignment FAlignment = taLeftJustify;
  TColor FColor = clWindow;
  TFont FFont;
  bool FReadOnly = false, FVisible = true, FToolTips = false, FCheckboxes = false;
  bool FAlwaysShowEditButton = false, FAutoDropDown = false, FDblClickNextVal = false;
  bool FDropDownShowTitles = false, FDropDownSizing = false, FEndEllipsis = false;
  bool FHighlightRequired = false, FWordWrap = false, FHideDuplicates = false;
  TTextLayout FLayout = tlTop;
  AnsiString FLookupDisplayFields;
  TImeMode FImeMode = imDontCare;
  AnsiString FImeName;
  int FWidth = 0;
  int FMinWidth = 0, FMaxWidth = 0;
  bool FAutoFitColWidth = true;
  TColumnButtonStyleKs FButtonStyle = cbsAuto;
  TStringList FKeyList, FPickList;
  int FNotInKeyListIndex = -1;
  TPopupMenu* FPopupMenu = nullptr;
  std::unique_ptr<TEditButtonsKs> FEditButtons;
  std::unique_ptr<TMRUListKs> FMRUList;
  std::unique_ptr<TSTColumnFilterKs> FSTFilter;
  TPopupDataGridKs* FDropDownGrid = nullptr;
  std::unique_ptr<TColumnDropDownBoxKs> FDropDownBox;
  std::unique_ptr<TSpecRowKs> FDropDownSpecRow;
  long double FIncrement = 1.0L;
  int FDropDownRows = 7, FDropDownWidth = -1;
  TImageList* FImageList = nullptr;
  bool FShowImageAndText = false;
  AnsiString FDisplayFormat;
  TColumnTitleKs FTitle;
  std::unique_ptr<TColumnFooterKs> FFooter;
  std::unique_ptr<TColumnFootersKs> FFooters;
  bool FApplyingFont = false;
};

// A field's text in a display format: numbers through FormatFloat, dates and
// times through DateTimeToString; the field's own text without a format,
// empty for a null field or another type.
AnsiString FormatFieldText(TField* Field, const AnsiString& Format);
// The same for a value the field may hold.
AnsiString FormatFieldValue(TField* Field, const AnsiString& Format, const Variant& Value);
// A record-state value as a cell shows it: "+" for a node, empty for a
// list record or no value.
AnsiString StateText(const Variant& Value);

class TDBGridColumnKs : public TColumnKs {
 public:
  using TColumnKs::TColumnKs;
};

// A list of columns that does not own them.
class TColumnsKsList : public std::vector<TColumnKs*> {
 public:
  int IndexOf(TColumnKs* Column) const;
  bool Remove(TColumnKs* Column);
};

enum TDBGridColumnsState { csDefault, csCustomized };

class TDBGridColumnsKs : public TCollection {
 public:
  TDBGridColumnsKs(TCustomDBGridKs* Grid, TCollectionItemClass ItemClass);
  TCustomDBGridKs* Grid() const { return FGrid; }
  // Adds inside one layout of the grid.
  TColumnKs* Add();
  // A column built from a field.
  TColumnKs* AddUnstored();
  TColumnKs* Items(int Index) const { return static_cast<TColumnKs*>(TCollection::Items(Index)); }
  // Customized when the first column is a persistent one.
  TDBGridColumnsState GetState() const;
  void ClearFieldCaches();

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TCustomDBGridKs* FGrid;
};
