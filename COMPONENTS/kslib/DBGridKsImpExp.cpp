#include "COMPONENTS/kslib/DBGridKsImpExp.h"

#include "COMPONENTS/kslib/DBGridKsBookmarks.h"
#include "COMPONENTS/kslib/DBGridKsImportWalk.h"
#include "COMPONENTS/kslib/DBGridKsSelection.h"
#include "forms/Clipbrd.h"
#include "forms/Controls.h"
#include "forms/Dialogs.h"
#include "forms/Forms.h"

UINT GridClipboardFormat = 0;

namespace {

int UnitUses = 0;

class TColumnTarget : public TGridImportTarget {
 public:
  explicit TColumnTarget(TColumnKs* Column) : FColumn(Column) {}
  bool AllowsChange() override { return FColumn->CanModify(false); }
  TField* Field() override { return FColumn->Field(); }
  bool HasKeyList() override { return FColumn->GetColumnType() == 3; }
  const TStrings& PickList() override { return *FColumn->PickList(); }
  const TStrings& KeyList() override { return *FColumn->KeyList(); }

 private:
  TColumnKs* FColumn;
};

// The columns and records a selection kind names.
struct TGridTargets {
  std::vector<TColumnTarget> Columns;
  TGridTargetRecords Records;
  std::vector<TGridImportTarget*> Pointers() {
    std::vector<TGridImportTarget*> pointers;
    for (TColumnTarget& column : Columns) pointers.push_back(&column);
    return pointers;
  }
};

TGridTargets SelectionTargets(TCustomDBGridKs* Grid, TDBGridKsSelectionType Kind) {
  TGridTargets targets;
  TDBGridKsSelection* selection = Grid->Selection();
  const TColumnsKsList& visible = Grid->VisibleColumns();
  switch (Kind) {
    case gstNon: {
      TColumnKs* current = Grid->SelectedIndex() >= 0 && Grid->SelectedIndex() < Grid->Columns()->Count()
                               ? Grid->Columns()->Items(Grid->SelectedIndex())
                               : nullptr;
      const int from = std::max(visible.IndexOf(current), 0);
      for (size_t i = from; i < visible.size(); ++i) targets.Columns.emplace_back(visible[i]);
      return targets;
    }
    case gstRecordBookmarks: {
      targets.Records.Kind = TGridTargetRecords::Listed;
      TBookmarkListKs* rows = Grid->SelectedRows();
      for (int i = 0; i < rows->Count(); ++i) targets.Records.Bookmarks.push_back(rows->Items(i));
      break;
    }
    case gstRectangle: {
      TDBGridKsSelectionRect* rect = selection->Rect();
      targets.Records = {TGridTargetRecords::Range, {}, rect->GetTopRow(), rect->GetBottomRow()};
      for (int i = rect->GetLeftCol(); i <= rect->GetRightCol(); ++i)
        if (visible.IndexOf(Grid->Columns()->Items(i)) >= 0)
          targets.Columns.emplace_back(Grid->Columns()->Items(i));
      return targets;
    }
    case gstColumns:
      targets.Records.Kind = TGridTargetRecords::All;
      for (TColumnKs* column : *selection->Columns()) targets.Columns.emplace_back(column);
      return targets;
    case gstAll:
      targets.Records.Kind = TGridTargetRecords::All;
      break;
  }
  for (TColumnKs* column : visible) targets.Columns.emplace_back(column);
  return targets;
}

TCellErrorAnswer AskCellError(const AnsiString& Message) {
  switch (MessageDlg("Ошибка при вставки значения:\n" + Message + "\n\nИгнорировать ошибку?",
                     mtError, TMsgDlgButtons{mbYes, mbNo, mbAll})) {
    case mrYes:
      return TCellErrorAnswer::Ignore;
    case mrAll:
      return TCellErrorAnswer::IgnoreAll;
    default:
      return TCellErrorAnswer::Abort;
  }
}

// Puts the position back (unless inserting) and the controls on every path.
class TGridWalkScope {
 public:
  TGridWalkScope(TCustomDBGridKs* Grid, bool KeepPosition)
      : FGrid(Grid), FDataSet(Grid->DataLink()->DataSet()), FKeepPosition(KeepPosition) {
    if (FKeepPosition) FGrid->SavePosition();
    FDataSet->DisableControls();
  }
  ~TGridWalkScope() {
    if (FKeepPosition) FGrid->RestorePosition();
    FDataSet->EnableControls();
  }
  TGridWalkScope(const TGridWalkScope&) = delete;
  TGridWalkScope& operator=(const TGridWalkScope&) = delete;

 private:
  TCustomDBGridKs* FGrid;
  TDataSet* FDataSet;
  bool FKeepPosition;
};

template <typename TReader>
void ImportWith(TCustomDBGridKs* Grid, TStream& Source, bool IsAll) {
  TDataSet* data = Grid->DataLink()->DataSet();
  if (IsAll) {
    Grid->ClearSelection();
    data->First();
  }
  const TDBGridKsSelectionType kind = IsAll ? gstAll : Grid->Selection()->SelectionType();
  TGridTargets targets = SelectionTargets(Grid, kind);
  TReader reader(Source);
  TGridImportRecordWriter writer(*data, AskCellError);
  TGridWalkScope scope(Grid, data->State() != dsInsert);
  ImportRecords(*data, reader, targets.Records,
                kind == gstNon && Grid->AllowedOperations().Contains(alopAppendKs),
                targets.Pointers(), writer);
}

void ImportClipboardFormat(TCustomDBGridKs* Grid, UINT Format, TGridImportFormat As, bool IsAll) {
  HANDLE block = Clipboard()->GetAsHandle(Format);
  const void* bytes = block ? GlobalLock(block) : nullptr;
  if (bytes == nullptr) return;
  TMemoryStream stream;
  stream.WriteBuffer(bytes, static_cast<int32_t>(GlobalSize(block)));
  GlobalUnlock(block);
  stream.SetPosition(0);
  ImportDBGridKsFromStream(Grid, stream, As, IsAll);
}

bool ConfirmDelete(TCustomDBGridKs* Grid, const AnsiString& Question) {
  return !Grid->Options().Contains(dgConfirmDelete) ||
         Application->MessageBox(Question, Application->Title(), MB_OKCANCEL | MB_ICONQUESTION) !=
             IDCANCEL;
}

}  // namespace

void ImportDBGridKsFromStream(TCustomDBGridKs* Grid, TStream& Source, TGridImportFormat Format,
                              bool IsAll) {
  if (!Grid->DataLink()->Active()) return;
  if (Format == TGridImportFormat::Text)
    ImportWith<TGridImportAsText>(Grid, Source, IsAll);
  else
    ImportWith<TGridImportAsVCLDBIF>(Grid, Source, IsAll);
}

void ImportFromFile(TCustomDBGridKs* Grid, const AnsiString& FileName, TGridImportFormat Format,
                    bool IsAll) {
  TFileStream file(FileName, fmOpenRead);
  ImportDBGridKsFromStream(Grid, file, Format, IsAll);
}

void PasteIntoGrid(TCustomDBGridKs* Grid, bool IsAll) {
  TClipboard* clipboard = Clipboard();
  clipboard->Open();
  try {
    if (clipboard->HasFormat(GridClipboardFormat))
      ImportClipboardFormat(Grid, GridClipboardFormat, TGridImportFormat::VCLDBIF, IsAll);
    else if (clipboard->HasFormat(CF_TEXT))
      ImportClipboardFormat(Grid, CF_TEXT, TGridImportFormat::Text, IsAll);
  } catch (...) {
    clipboard->Close();
    throw;
  }
  clipboard->Close();
}

void DeleteGridSelection(TCustomDBGridKs* Grid, bool IsAll) {
  if (!Grid->DataLink()->Active()) return;
  TDataSet* data = Grid->DataLink()->DataSet();
  const TDBGridKsSelectionType kind = IsAll ? gstAll : Grid->Selection()->SelectionType();
  switch (kind) {
    case gstNon:
      return;
    case gstRecordBookmarks: {
      const bool several = Grid->SelectedRows()->Count() >= 2;
      if (!ConfirmDelete(Grid, several ? "Удалить все выбранные записи?" : "Удалить запись?")) return;
      const TGridTargets targets = SelectionTargets(Grid, kind);
      {
        TGridWalkScope scope(Grid, false);
        DeleteRecords(*data, targets.Records.Bookmarks);
      }
      Grid->SelectedRows()->Clear();
      return;
    }
    case gstRectangle:
    case gstColumns: {
      if (!ConfirmDelete(Grid, "Очистить выделенные ячейки?")) return;
      TGridTargets targets = SelectionTargets(Grid, kind);
      TGridWalkScope scope(Grid, true);
      ForEachTargetRecord(*data, targets.Records, [&] {
        for (TColumnTarget& column : targets.Columns) ClearImportCell(column);
        return true;
      });
      return;
    }
    case gstAll: {
      if (!ConfirmDelete(Grid, "Удалить все записи?")) return;
      TGridWalkScope scope(Grid, false);
      DeleteAllRecords(*data);
      return;
    }
  }
}

void InitDBGridKsImpExpUnit() {
  if (UnitUses++ > 0) return;
  GridClipboardFormat = RegisterClipboardFormatA("VCLDBIF");
  PasteIntoGridProc = [](TCustomDBGridKs* Grid) { PasteIntoGrid(Grid, false); };
  DeleteGridSelectionProc = [](TCustomDBGridKs* Grid) { DeleteGridSelection(Grid, false); };
}

void DoneDBGridKsImpExpUnit() {
  if (--UnitUses > 0) return;
  PasteIntoGridProc = nullptr;
  DeleteGridSelectionProc = nullptr;
}
