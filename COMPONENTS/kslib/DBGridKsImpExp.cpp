#include "COMPONENTS/kslib/DBGridKsImpExp.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "COMPONENTS/kslib/DBGridKsBookmarks.h"
#include "COMPONENTS/kslib/DBGridKsExportTitles.h"
#include "COMPONENTS/kslib/DBGridKsExportTotals.h"
#include "COMPONENTS/kslib/DBGridKsFooters.h"
#include "COMPONENTS/kslib/DBGridKsImportWalk.h"
#include "COMPONENTS/kslib/DBGridKsSelection.h"
#include "common/uToolsGui.h"
#include "forms/Clipbrd.h"
#include "forms/Controls.h"
#include "forms/Dialogs.h"
#include "forms/Forms.h"
#include "rtl/OsShim.h"

UINT GridClipboardFormat = 0, CsvClipboardFormat = 0, RtfClipboardFormat = 0;

namespace {

int UnitUses = 0;

class TColumnTarget : public TGridImportTarget {
 public:
  explicit TColumnTarget(TColumnKs* Column) : FColumn(Column) {}
  TColumnKs* Column() const { return FColumn; }
  bool AllowsChange(bool WholeValue) override {
    return WholeValue ? FColumn->ValueModifiable() : FColumn->CanModify(false);
  }
  TField* Field() override { return FColumn->GetField(); }
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
      TColumnKs* current =
          Grid->SelectedIndex() >= 0 && Grid->SelectedIndex() < Grid->Columns()->Count()
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
  // The message dialog: a plain message box has no All button.
  switch (ShowMessageDialog("Ошибка при вставки значения:\n" + Message + "\n\nИгнорировать ошибку?",
                            mtError, "", TMsgDlgButtons{mbYes, mbNo, mbAll}, mbYes, {})) {
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

template <typename ImportClass>
void ImportFromStream(TCustomDBGridKs* Grid, TStream& Stream, bool IsImportAll) {
  TDataSet* data = Grid->DataLink()->DataSet();
  if (IsImportAll) {
    Grid->ClearSelection();
    data->First();
  }
  const TDBGridKsSelectionType kind = IsImportAll ? gstAll : Grid->Selection()->SelectionType();
  TGridTargets targets = SelectionTargets(Grid, kind);
  ImportClass reader(Stream);
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
  // A text ends at its zero; the block may be longer than that.
  size_t size = GlobalSize(block);
  if (As == TGridImportFormat::Text) size = strnlen(static_cast<const char*>(bytes), size);
  TMemoryStream stream;
  stream.WriteBuffer(bytes, static_cast<int32_t>(size));
  GlobalUnlock(block);
  stream.SetPosition(0);
  ImportDBGridKsFromStream(Grid, stream, As, IsAll);
}

TExportRgb Rgb(TColor Color) {
  const COLORREF rgb = ColorToRGB(Color);
  return {GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)};
}

// Width: the column's, which a column without its own width measures in
// its font, a trip to the system that a record's cells take once per export.
TExportCell StyledCell(const AnsiString& Text, TFont* Font, TColor Background, TAlignment Alignment,
                       TColumnKs* Column, int Width) {
  TExportCell cell;
  cell.Text = Text;
  cell.Font.Name = Font->Name();
  cell.Font.Size = Font->Size();
  cell.Font.Bold = Font->Style().Contains(fsBold);
  cell.Font.Italic = Font->Style().Contains(fsItalic);
  cell.Font.StrikeOut = Font->Style().Contains(fsStrikeOut);
  cell.Font.Underline = Font->Style().Contains(fsUnderline);
  cell.Font.Color = Rgb(Font->Color());
  cell.Background = Rgb(Background);
  cell.Alignment = Alignment;
  cell.WidthPixels = Width;
  cell.Visible = Column->Visible();
  return cell;
}

// A record's cell as the grid shows it: the column's text and style after
// the grid's and the column's cell-params events.
TExportCell DataCell(TCustomDBGridKs* Grid, TColumnKs* Column, int Width) {
  TColCellParamsKs params;
  Column->FillColCellParams(&params);
  TFont font;
  font.Assign(Column->Font());
  params.Font = &font;
  if (Grid->OnGetCellParams)
    Grid->OnGetCellParams(Grid, Column, params.Font, params.Background, TGridDrawState{});
  Column->GetColCellParams(false, &params);
  return StyledCell(params.Text, params.Font, params.Background, params.Alignment, Column, Width);
}

void CollectLeaves(THeadTreeNode* Node, std::vector<THeadTreeNode*>& Leaves) {
  for (THeadTreeNode* child : Node->Children()) {
    if (child->Column) Leaves.push_back(child);
    CollectLeaves(child, Leaves);
  }
}

// The RTF title rows of multi-level titles, one per level of the grid's
// title tree; none when some column has no node in it.
std::vector<TExportRow> MultiLevelTitles(TCustomDBGridKs* Grid,
                                         const std::vector<TColumnKs*>& Columns) {
  std::vector<THeadTreeNode*> all, leaves;
  CollectLeaves(Grid->HeadTree(), all);
  for (TColumnKs* column : Columns) {
    const auto leaf = std::find_if(all.begin(), all.end(),
                                   [&](THeadTreeNode* Node) { return Node->Column == column; });
    if (leaf == all.end()) return {};
    leaves.push_back(*leaf);
  }
  // Upper levels on the fixed colour; group captions centred as painted.
  return TitleRows(TitleLevels(leaves), [&](THeadTreeNode* Node, size_t Column, bool Bottom) {
    TColumnTitleKs* title = Columns[Column]->Title();
    const int width = Columns[Column]->Width();
    return Node->Column
               ? StyledCell(Node->Text, title->Font(), Bottom ? title->Color() : Grid->FixedColor(),
                            title->Alignment(), Columns[Column], width)
               : StyledCell(Node->Text, Grid->TitleFont(), Grid->FixedColor(), taCenter,
                            Columns[Column], width);
  });
}

// The field's value as the binary format carries it; a lookup column
// carries its key.
TExportValue FieldValue(TColumnKs* Column) {
  TField* field = Column->GetField();
  if (field && field->FieldKind() == fkLookup)
    field = field->KeyFields().empty() ? nullptr : field->DataSet()->FindField(field->KeyFields());
  return ExportFieldValue(field);
}

// The field a footer sums or counts: its own, else its column's.
TField* FooterField(TDataSet* Data, TColumnKs* Column, TColumnFooterKs* Footer) {
  return Data->FindField(!Footer->FieldName().empty() ? Footer->FieldName() : Column->FieldName());
}

void AddToTotals(TExportFooterTotals& Totals, TDataSet* Data, int FooterRows,
                 const std::vector<TColumnKs*>& Columns) {
  for (int row = 0; row < FooterRows; ++row)
    for (size_t k = 0; k < Columns.size(); ++k) {
      TColumnFooterKs* footer = Columns[k]->GetFooter(row);
      TField* field = footer ? FooterField(Data, Columns[k], footer) : nullptr;
      if (field == nullptr) continue;
      // Only numbers are summed; a sum footer on a text shows nothing.
      if (footer->ValueType() == fvtSum && !field->IsNull() &&
          dynamic_cast<TNumericField*>(field) != nullptr)
        Totals.AddValue(row, static_cast<int>(k), field->Value());
      else if (footer->ValueType() == fvtCount)
        Totals.AddOne(row, static_cast<int>(k));
    }
}

TExportRow FooterRow(TCustomDBGridKs* Grid, const TExportFooterTotals& Totals, int FooterNo,
                     const std::vector<TColumnKs*>& Columns) {
  TDataSet* data = Grid->DataLink()->DataSet();
  TExportRow cells;
  for (size_t k = 0; k < Columns.size(); ++k) {
    TColumnKs* column = Columns[k];
    TColumnFooterKs* footer = column->GetFooter(FooterNo);
    TFont font;
    TColor background = clWindow;
    TAlignment alignment = taLeftJustify;
    AnsiString text;
    if (footer) {
      font.Assign(footer->Font());
      background = footer->Color();
      alignment = footer->Alignment();
      const std::optional<int64_t> total = Totals.Scaled(FooterNo, static_cast<int>(k));
      TField* field = FooterField(data, column, footer);
      if (footer->ValueType() == fvtCount && total)
        text = FooterCountText(*total);
      else if (footer->ValueType() == fvtSum && total && field)
        text = FooterSumText(field, *total);
      else if (footer->ValueType() != fvtSum && footer->ValueType() != fvtCount)
        Grid->FooterValueText(FooterNo, column, text);
    }
    if (Grid->OnGetFooterParams)
      Grid->OnGetFooterParams(Grid, column->Index(), FooterNo, column, &font, background, alignment,
                              TGridDrawState{}, text);
    cells.push_back(StyledCell(text, &font, background, alignment, column, column->Width()));
  }
  return cells;
}

std::unique_ptr<TDBGridKsExport> CreateWriter(TCustomDBGridKs* Grid, TStream& Target,
                                              TGridExportFormat Format) {
  switch (Format) {
    case TGridExportFormat::Text:
      return std::make_unique<TDBGridKsExportAsText>(Target);
    case TGridExportFormat::CSV:
      return std::make_unique<TDBGridKsExportAsCSV>(Target);
    case TGridExportFormat::RTF: {
      HDC screen = GetDC(nullptr);
      const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSX);
      ReleaseDC(nullptr, screen);
      return std::make_unique<TDBGridKsExportAsRTF>(Target, Rgb(clBtnFace), pixelsPerInch,
                                                    Grid->Flat());
    }
    case TGridExportFormat::VCLDBIF:
      break;
  }
  return std::make_unique<TDBGridKsExportAsVCLDBIF>(Target);
}

// A movable, shareable block of the bytes, handed to the open clipboard.
void PutBytes(UINT Format, const void* Data, size_t Size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, Size);
  if (block == nullptr) RaiseLastOSError();
  std::memcpy(GlobalLock(block), Data, Size);
  GlobalUnlock(block);
  Clipboard()->SetAsHandle(Format, block);
}

void PutStream(TMemoryStream& Stream, UINT Format) {
  PutBytes(Format, Stream.Memory(), static_cast<size_t>(Stream.Size()));
}

// The stream's ANSI text, its zero included, as Unicode text.
void PutUnicodeText(TMemoryStream& Stream) {
  const auto* text = static_cast<const char*>(Stream.Memory());
  const int length = static_cast<int>(Stream.Size());
  std::vector<wchar_t> wide(
      static_cast<size_t>(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, nullptr, 0)));
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, wide.data(),
                      static_cast<int>(wide.size()));
  PutBytes(CF_UNICODETEXT, wide.data(), wide.size() * sizeof(wchar_t));
}

bool ConfirmDelete(TCustomDBGridKs* Grid, const AnsiString& Question) {
  return !Grid->Options().Contains(dgConfirmDelete) ||
         Application->MessageBox(Question, Application->Title(), MB_OKCANCEL | MB_ICONQUESTION) !=
             IDCANCEL;
}

}  // namespace

void ExportDBGridKsToStream(TCustomDBGridKs* Grid, TStream& Stream, TGridExportFormat ExportClass,
                            bool IsExportAll) {
  const TDBGridKsSelectionType kind = IsExportAll ? gstAll : Grid->Selection()->SelectionType();
  if (kind == gstNon || !Grid->DataLink()->Active()) return;
  TDataSet* data = Grid->DataLink()->DataSet();
  const TGridTargets targets = SelectionTargets(Grid, kind);
  std::vector<TColumnKs*> columns;
  for (const TColumnTarget& target : targets.Columns) columns.push_back(target.Column());
  const std::unique_ptr<TDBGridKsExport> writer = CreateWriter(Grid, Stream, ExportClass);
  TExportRow cells;
  std::vector<int> widths;
  for (TColumnKs* column : columns) {
    widths.push_back(column->Width());
    cells.push_back(StyledCell(column->Title()->Caption(), column->Title()->Font(),
                               column->Title()->Color(), column->Title()->Alignment(), column,
                               widths.back()));
  }
  const int footerRows = Grid->FooterRowCount();
  TExportFooterTotals totals(footerRows, static_cast<int>(columns.size()));
  writer->WritePrefix(cells);
  {
    TGridWalkScope scope(Grid, true);
    if (Grid->Options().Contains(dgTitles)) {
      const std::vector<TExportRow> levels =
          ExportClass == TGridExportFormat::RTF && Grid->UseMultiTitle()
              ? MultiLevelTitles(Grid, columns)
              : std::vector<TExportRow>{};
      for (const TExportRow& row : levels.empty() ? std::vector<TExportRow>{cells} : levels)
        writer->WriteTitle(row);
    }
    ForEachTargetRecord(*data, targets.Records, [&] {
      TExportRow row;
      for (size_t k = 0; k < columns.size(); ++k) {
        row.push_back(DataCell(Grid, columns[k], widths[k]));
        row.back().Value = FieldValue(columns[k]);
      }
      writer->WriteRecord(row);
      AddToTotals(totals, data, footerRows, columns);
      return true;
    });
    for (int footerNo = 0; footerNo < footerRows; ++footerNo)
      writer->WriteFooter(FooterRow(Grid, totals, footerNo, columns));
  }
  writer->WriteSuffix();
}

// Into a new file beside the target, which takes its place only once the
// export is whole: a failed export leaves no part and the old file as it was.
void ExportToFile(TCustomDBGridKs* Grid, const AnsiString& FileName, TGridExportFormat ExportClass,
                  bool IsExportAll) {
  AnsiString folder = ExtractFileDir(FileName);
  char part[MAX_PATH];
  if (GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "ksx", 0, part) == 0)
    RaiseLastOSError();
  try {
    {
      TFileStream file(part, fmCreate);
      ExportDBGridKsToStream(Grid, file, ExportClass, IsExportAll);
    }
    if (!OsReplaceFile(part, FileName)) RaiseLastOSError();
  } catch (...) {
    DeleteFileA(part);
    throw;
  }
}

void CopyGridSelection(TCustomDBGridKs* Grid, bool IsAll) {
  TClipboard* clipboard = Clipboard();
  clipboard->Open();
  try {
    const AnsiString zero(1, '\0');
    TMemoryStream stream;
    ExportDBGridKsToStream(Grid, stream, TGridExportFormat::Text, IsAll);
    stream.WriteBuffer(zero.data(), 1);
    PutUnicodeText(stream);
    for (auto [format, id] : {std::pair{TGridExportFormat::CSV, CsvClipboardFormat},
                              std::pair{TGridExportFormat::RTF, RtfClipboardFormat}}) {
      stream.Clear();
      ExportDBGridKsToStream(Grid, stream, format, IsAll);
      stream.WriteBuffer(zero.data(), 1);
      PutStream(stream, id);
    }
    stream.Clear();
    ExportDBGridKsToStream(Grid, stream, TGridExportFormat::VCLDBIF, IsAll);
    PutStream(stream, GridClipboardFormat);
  } catch (...) {
    clipboard->Close();
    throw;
  }
  clipboard->Close();
}

void CutGridSelection(TCustomDBGridKs* Grid, bool IsAll) {
  CopyGridSelection(Grid, IsAll);
  DeleteGridSelection(Grid, IsAll);
}

void ImportDBGridKsFromStream(TCustomDBGridKs* Grid, TStream& Stream, TGridImportFormat ImportClass,
                              bool IsImportAll) {
  if (!Grid->DataLink()->Active()) return;
  if (ImportClass == TGridImportFormat::Text)
    ImportFromStream<TDBGridKsImportAsText>(Grid, Stream, IsImportAll);
  else
    ImportFromStream<TDBGridKsImportAsVCLDBIF>(Grid, Stream, IsImportAll);
}

void ImportFromFile(TCustomDBGridKs* Grid, const AnsiString& FileName,
                    TGridImportFormat ImportClass, bool IsImportAll) {
  TFileStream file(FileName, fmOpenRead);
  ImportDBGridKsFromStream(Grid, file, ImportClass, IsImportAll);
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
      if (!ConfirmDelete(Grid, several ? "Удалить все выбранные записи?" : "Удалить запись?"))
        return;
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
  CsvClipboardFormat = RegisterClipboardFormatA("Csv");
  RtfClipboardFormat = RegisterClipboardFormatA("Rich Text Format");
  CopyGridSelectionProc = [](TCustomDBGridKs* Grid) { CopyGridSelection(Grid, false); };
  CutGridSelectionProc = [](TCustomDBGridKs* Grid) { CutGridSelection(Grid, false); };
  PasteIntoGridProc = [](TCustomDBGridKs* Grid) { PasteIntoGrid(Grid, false); };
  DeleteGridSelectionProc = [](TCustomDBGridKs* Grid) { DeleteGridSelection(Grid, false); };
}

void DoneDBGridKsImpExpUnit() {
  if (--UnitUses > 0) return;
  CopyGridSelectionProc = CutGridSelectionProc = PasteIntoGridProc = DeleteGridSelectionProc =
      nullptr;
}
