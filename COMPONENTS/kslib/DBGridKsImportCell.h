#pragma once
// Storing imported cells into a dataset's current record: which field a
// column writes, how a text or a typed value is assigned, and what a cell
// error does to the row it interrupts.

#include <functional>
#include <vector>

#include "DBGridKsExportFormats.h"
#include "db/DB.h"

// What the import needs of a target column.
class TGridImportTarget {
 public:
  virtual ~TGridImportTarget() = default;
  // WholeValue: a value of the binary format, which a blob field takes as
  // well as any other.
  virtual bool AllowsChange(bool WholeValue) = 0;
  virtual TField* Field() = 0;
  // A key-list column: the texts of its pick list stand for the values of
  // its key list.
  virtual bool HasKeyList() = 0;
  virtual const TStrings& PickList() = 0;
  virtual const TStrings& KeyList() = 0;
};

// The text of a cell: a lookup column takes the key of the lookup record
// whose result equals the text (case-insensitively), else of the first
// one it begins; a key-list column the key of the text's place in the pick
// list, or null; any other its field's string conversion.
void ImportCell(TGridImportTarget& Target, const AnsiString& Text);
// A typed value of the binary format; an unassigned one changes nothing.
void ImportCell(TGridImportTarget& Target, const TExportValue& Value);
// The cell cleared to null.
void ClearImportCell(TGridImportTarget& Target);

enum class TCellErrorAnswer { Ignore, Abort, IgnoreAll };

// One import's answers to cell errors. A cell that cannot be stored asks
// (with the error's message) unless all errors are to be ignored; Abort
// cancels the record being written, so no half row is posted later, and
// ends the import silently.
class TGridImportRecordWriter {
 public:
  using TQuestion = std::function<TCellErrorAnswer(const AnsiString& Message)>;
  TGridImportRecordWriter(TDataSet& DataSet, TQuestion Ask)
      : FDataSet(DataSet), FAsk(std::move(Ask)) {}

  // Cell k to target k while there are targets; further cells are dropped
  // and missing ones leave their columns as they are.
  void Write(const std::vector<TGridImportTarget*>& Targets, const std::vector<AnsiString>& Cells);
  void Write(const std::vector<TGridImportTarget*>& Targets,
             const std::vector<TExportValue>& Values);

 private:
  template <typename TAssign>
  void Store(const TAssign& Assign);

  TDataSet& FDataSet;
  TQuestion FAsk;
  bool FIgnoreAll = false;
};
