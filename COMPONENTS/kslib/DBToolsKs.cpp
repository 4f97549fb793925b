#include "COMPONENTS/kslib/DBToolsKs.h"

#include "db/DBConsts.h"
#include "forms/Controls.h"
#include "rtl/AnsiText.h"

bool VarEqualsKs(const Variant& V1, const Variant& V2) {
  try {
    bool Array1 = VarIsArray(V1), Array2 = VarIsArray(V2);
    if (Array1 != Array2) return false;
    if (Array1) {
      int Low = VarArrayLowBound(V1, 1), High = VarArrayHighBound(V1, 1);
      if (VarArrayDimCount(V1) != VarArrayDimCount(V2) || Low != VarArrayLowBound(V2, 1) ||
          High != VarArrayHighBound(V2, 1) || High < Low)
        return false;
      for (int I = Low; I <= High; ++I)
        if (!VarEqualsKs(V1[I], V2[I])) return false;
      return true;
    }
    if (V1.IsEmpty() != V2.IsEmpty()) return false;
    return V1 == V2;
  } catch (...) {
    return false;
  }
}

AnsiString StringsItemOrEmpty(TStrings* Strings, int Index) {
  return Index >= 0 && Index < Strings->Count() ? Strings->Strings(Index) : AnsiString();
}

std::vector<AnsiString> SplitNamesKs(const AnsiString& Names) {
  std::vector<AnsiString> Result;
  for (size_t Start = 0; Start <= Names.size();) {
    size_t End = Names.find(';', Start);
    if (End == AnsiString::npos) End = Names.size();
    AnsiString Name = Trim(Names.substr(Start, End - Start));
    if (!Name.empty()) Result.push_back(Name);
    Start = End + 1;
  }
  return Result;
}

namespace {

bool IsControlChar(char C) { return C >= 1 && C <= 31; }

// Cells of a ";"-separated text; the text ends at its first zero character.
void SplitCells(const AnsiString& Text, TStrings* Cells) {
  size_t End = Text.find('\0');
  if (End == AnsiString::npos) End = Text.size();
  size_t I = 0;
  auto SkipControls = [&] {
    while (I < End && IsControlChar(Text[I])) ++I;
  };
  SkipControls();
  while (I < End) {
    AnsiString Item;
    if (Text[I] == '"') {
      // An unterminated quote runs to the end of the text.
      for (++I; I < End; ++I) {
        if (Text[I] != '"') {
          Item += Text[I];
        } else if (I + 1 < End && Text[I + 1] == '"') {
          Item += '"';
          ++I;
        } else {
          ++I;
          break;
        }
      }
    } else {
      while (I < End && Text[I] != ';' && !IsControlChar(Text[I])) Item += Text[I++];
    }
    Cells->Add(Item);
    SkipControls();
    if (I < End && Text[I] == ';') {
      ++I;
      SkipControls();
    }
  }
}

}  // namespace

TSpecRowKs::TSpecRowKs(TComponent* AOwner)
    : FOwner(AOwner), FCells(new TStringList), FColor(clWindow) {
  if (auto* Control = dynamic_cast<TControl*>(AOwner)) {
    FColor = Control->Color();
    FFont.Assign(Control->Font());
  }
  FFont.OnChange = [this](TObject*) {
    if (FRefreshingFont) return;
    FFontAssigned = true;
    Changed();
  };
}

TSpecRowKs::~TSpecRowKs() { delete FCells; }

void TSpecRowKs::Changed() {
  if (FUpdateCount == 0 && OnChanged) OnChanged(this);
}

void TSpecRowKs::EndUpdate() {
  --FUpdateCount;
  Changed();
}

void TSpecRowKs::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TSpecRowKs*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  BeginUpdate();
  SetCellsText(Other->FCellsText);
  SetColor(Other->Color());
  if (Other->FFontAssigned) SetFont(&Other->FFont);
  SetShortCut(Other->FShortCut);
  SetShowIfNotInKeyList(Other->FShowIfNotInKeyList);
  SetValue(Other->FValue);
  SetVisible(Other->FVisible);
  EndUpdate();
}

void TSpecRowKs::SetCellsText(const AnsiString& Value) {
  FCellsText = Value;
  FCells->Clear();
  SplitCells(Value, FCells);
  Changed();
}

TColor TSpecRowKs::Color() const {
  if (FColorAssigned) return FColor;
  if (auto* Control = dynamic_cast<TControl*>(FOwner)) return Control->Color();
  return FColor;
}

void TSpecRowKs::SetColor(TColor Value) {
  FColorAssigned = true;
  if (FColor == Value) return;
  FColor = Value;
  Changed();
}

TFont* TSpecRowKs::Font() {
  auto* Control = dynamic_cast<TControl*>(FOwner);
  if (!FFontAssigned && Control) {
    FRefreshingFont = true;
    FFont.Assign(Control->Font());
    FRefreshingFont = false;
  }
  return &FFont;
}

void TSpecRowKs::SetShortCut(TShortCut Value) {
  if (FShortCut == Value) return;
  FShortCut = Value;
  Changed();
}

void TSpecRowKs::SetShowIfNotInKeyList(bool Value) {
  if (FShowIfNotInKeyList == Value) return;
  FShowIfNotInKeyList = Value;
  Changed();
}

void TSpecRowKs::SetValue(const Variant& Value) {
  if (VarEqualsKs(FValue, Value)) return;
  FValue = Value;
  Changed();
}

void TSpecRowKs::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Changed();
}

// --- Field lists

void GetFieldsByNames(std::vector<TField*>* List, TDataSet* DataSet, TComponent* Component,
                      const AnsiString& FieldNames) {
  for (const AnsiString& Name : SplitNamesKs(FieldNames)) {
    TField* Field = DataSet->FindField(Name);
    if (!Field) DatabaseErrorFmt(SFieldNotFound, {Name}, Component);
    if (List) List->push_back(Field);
  }
}

std::vector<TField*> GetFieldsArray(TDataSet* DataSet, TComponent* Component,
                                    const AnsiString& FieldNames) {
  std::vector<TField*> Fields;
  GetFieldsByNames(&Fields, DataSet, Component, FieldNames);
  return Fields;
}

void SetFieldsValues(TDataSet* DataSet, const AnsiString& FieldNames, const Variant& Value) {
  if (!VarEqualsKs(Value, Variant::Null())) {
    DataSet->SetFieldValues(FieldNames, Value);
    return;
  }
  for (TField* Field : GetFieldsArray(DataSet, nullptr, FieldNames)) Field->Clear();
}

// --- TDataLinkKs

void TDataLinkKs::DataEvent(TDataEvent Event, intptr_t Info) {
  TDataLink::DataEvent(Event, Info);
  if (OnDataEvent) OnDataEvent(Event, Info);
}

// --- TDatasetFieldValueListKs

TDatasetFieldValueListKs::TDatasetFieldValueListKs()
    : FValues(new TStringList), FDataSource(new TDataSource(nullptr)), FDataLink(new TDataLinkKs) {
  FValues->SetSorted(true);
  FValues->SetDuplicates(dupIgnore);
  FDataLink->SetDataSource(FDataSource);
  FDataLink->OnDataEvent = [this](TDataEvent Event, intptr_t) {
    if (!FRefreshing &&
        (Event == deDataSetChange || Event == dePropertyChange || Event == deFieldListChange))
      FDirty = true;
  };
}

TDatasetFieldValueListKs::~TDatasetFieldValueListKs() {
  delete FDataLink;
  delete FDataSource;
  delete FValues;
}

void TDatasetFieldValueListKs::SetFieldName(const AnsiString& Value) {
  FFieldName = Value;
  FDirty = true;
}

void TDatasetFieldValueListKs::SetDataSet(TDataSet* Value) {
  FDataSource->SetDataSet(Value);
  FDirty = true;
}

TStrings* TDatasetFieldValueListKs::Values() {
  if (FDirty) Refresh();
  return FValues;
}

void TDatasetFieldValueListKs::Refresh() {
  TDataSet* Set = DataSet();
  // Moving an edited record would post it behind the user's back.
  if (Set && Set->Active() && Set->State() != dsBrowse) return;
  FValues->Clear();
  // Without the field (or while closed) there is nothing to keep: the next
  // call looks again.
  TField* Field = Set && Set->Active() ? Set->FindField(FFieldName) : nullptr;
  if (!Field) return;
  FDirty = false;
  FRefreshing = true;
  TBookmark Position = Set->GetBookmark();
  Set->DisableControls();
  auto Restore = [&] {
    if (!Position.empty() && Set->BookmarkValid(Position)) Set->GotoBookmark(Position);
    Set->EnableControls();
    FRefreshing = false;
  };
  try {
    for (Set->First(); !Set->Eof(); Set->Next()) FValues->Add(Field->AsString());
  } catch (...) {
    Restore();
    FDirty = true;
    throw;
  }
  Restore();
}

std::unique_ptr<TDatasetFieldValueListKs> DataLinkOwnerCreate() {
  return std::make_unique<TDatasetFieldValueListKs>();
}

IMemTableKs* GetMemTableIntf(TDataSet* DataSet) { return dynamic_cast<IMemTableKs*>(DataSet); }
