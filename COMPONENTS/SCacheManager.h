// Local copies of server data: one folder under TEMP per database path,
// holding a file per cached table and the index "cache.ini" of the
// version each file was written for.
#pragma once

#include <functional>

#include "rtl/Classes.h"

class TDataSet;
class TIBDatabase;

class TCacheManager : public TObject {
 public:
  explicit TCacheManager(TIBDatabase* ADatabase) : FDatabase(ADatabase) {}
  // Writes the index; failures are logged, never raised.
  ~TCacheManager() override;

  // Makes the folder of the database (TEMP + the folder name of its path)
  // and reads its "cache.ini" when there is one. When the folder cannot be
  // made, the index stays as it was and is never written.
  void Prepare();
  // Saves the index when the database keeps a local cache and the folder
  // exists; write errors are logged.
  void WriteIndex();
  // Records Version as the current version of Name, and tells whether the
  // cache file (FileName) holds that version. Only in-memory tables are
  // served: for any other dataset the answer is no and nothing changes.
  // For a TSDS an empty Name is its TableName and an empty Version its
  // ServerFilter. Stamp is always 0.
  bool Lookup(TDataSet* DataSet, AnsiString& FileName, const AnsiString& Name,
              const AnsiString& Version, int64_t& Stamp);

  // Name's file was not written: the index keeps for it a version that no
  // question asks, so what the file still holds never answers (an empty
  // version would match a missing line).
  void Forget(const AnsiString& Name);

  const AnsiString& CacheDir() const { return FCacheDir; }
  const TStringList& CacheIndex() const { return FCacheIndex; }

  // The folder name of a database path: upper case, ":" as "$", "/" and "\"
  // as "-".
  static AnsiString DirectoryName(const AnsiString& DatabaseName);
  // Writes through `write` to a temporary file beside FileName, then puts it
  // in FileName's place, so a failed write leaves the old file or none.
  static void SaveReplacing(const AnsiString& FileName, const std::function<void(const AnsiString&)>& write);

 private:
  TIBDatabase* FDatabase;
  AnsiString FCacheDir;
  bool FFolderReady = false;
  TStringList FCacheIndex;
};
