#include "DBGridKsExportFormats.h"

char CsvSeparator = ';';

void TGridExportWriter::Write(const AnsiString& Text) {
  FTarget.WriteBuffer(Text.data(), static_cast<int32_t>(Text.size()));
}

void TGridExportAsText::WriteRow(const TExportRow& Row) {
  if (!FFirstRow) Write("\r\n");
  FFirstRow = false;
  for (size_t i = 0; i < Row.size(); ++i) {
    if (i > 0) Write(CellSeparator());
    Write(CellText(Row[i].Text));
  }
}

void TGridExportAsText::WriteTitle(const TExportRow& Row) { WriteRow(Row); }
void TGridExportAsText::WriteRecord(const TExportRow& Row) { WriteRow(Row); }
void TGridExportAsText::WriteFooter(const TExportRow& Row) { WriteRow(Row); }

AnsiString TGridExportAsCSV::CellText(const AnsiString& Text) const {
  AnsiString quoted = "\"";
  for (char c : Text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}
