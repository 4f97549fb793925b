#pragma once
// The grid's export and import through files and the clipboard, and
// deleting or clearing its selection; the grid's keyboard reaches them
// through the procedure variables the unit's start-up fills.

#include "COMPONENTS/kslib/DBGridKs.h"
#include "rtl/Streams.h"

enum class TGridImportFormat { Text, VCLDBIF };
enum class TGridExportFormat { Text, CSV, RTF, VCLDBIF };

// The grid's clipboard formats, registered by the start-up.
extern UINT GridClipboardFormat, CsvClipboardFormat, RtfClipboardFormat;

// Counted: the first registers the formats and fills the procedures.
void InitDBGridKsImpExpUnit();
void DoneDBGridKsImpExpUnit();

// The selection's (with IsExportAll, every visible column's and record's) titles
// and cells; nothing without a selection.
void ExportDBGridKsToStream(TCustomDBGridKs* Grid, TStream& Stream, TGridExportFormat ExportClass,
                            bool IsExportAll);
void ExportToFile(TCustomDBGridKs* Grid, const AnsiString& FileName, TGridExportFormat ExportClass,
                  bool IsExportAll);

// Rows into the grid's selection (with IsImportAll, into every record from
// the first); the grid's position and the dataset's controls come back on
// every path.
void ImportDBGridKsFromStream(TCustomDBGridKs* Grid, TStream& Stream, TGridImportFormat ImportClass,
                              bool IsImportAll);
void ImportFromFile(TCustomDBGridKs* Grid, const AnsiString& FileName,
                    TGridImportFormat ImportClass, bool IsImportAll);

// The four formats on the clipboard: text (as Unicode), CSV and RTF each
// ending with a zero byte, the binary format as it is.
void CopyGridSelection(TCustomDBGridKs* Grid, bool IsAll);
void CutGridSelection(TCustomDBGridKs* Grid, bool IsAll);
// The binary format when the clipboard holds it, else its text.
void PasteIntoGrid(TCustomDBGridKs* Grid, bool IsAll);
// Deletes the selected or all records, or clears the selected cells, after
// the question when the grid confirms deletes.
void DeleteGridSelection(TCustomDBGridKs* Grid, bool IsAll);
