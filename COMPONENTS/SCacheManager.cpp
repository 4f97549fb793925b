#include "SCacheManager.h"

#include "SDS.h"
#include "SDatabase.h"
#include "zynMemTable.h"
#include "common/uTools.h"
#include "rtl/SysUtils.h"

namespace {

const char* const IndexFileName = "cache.ini";

// A version goes on one line of the index: backslash, CR and LF escaped.
AnsiString EscapeVersion(const AnsiString& Version) {
  AnsiString text;
  for (char c : Version) {
    if (c == '\\')
      text += "\\\\";
    else if (c == '\r')
      text += "\\r";
    else if (c == '\n')
      text += "\\n";
    else
      text += c;
  }
  return text;
}

}  // namespace

TCacheManager::~TCacheManager() {
  try {
    WriteIndex();
  } catch (const std::exception& e) {
    WriteLogLine("ERROR", "TCacheManager", e.what());
  }
}

AnsiString TCacheManager::DirectoryName(const AnsiString& DatabaseName) {
  AnsiString name = AnsiUpperCase(DatabaseName);
  for (char& c : name) {
    if (c == ':')
      c = '$';
    else if (c == '/' || c == '\\')
      c = '-';
  }
  return name;
}

void TCacheManager::Prepare() {
  AnsiString temp = OsGetEnvironmentVariable("TEMP");
  if (!temp.empty()) temp = IncludeTrailingPathDelimiter(temp);
  FCacheDir = temp + DirectoryName(FDatabase->DatabaseName()) + PathDelim;
  FFolderReady = DirectoryExists(FCacheDir) || ForceDirectories(FCacheDir);
  if (!FFolderReady) return;
  if (FileExists(FCacheDir + IndexFileName)) FCacheIndex.LoadFromFile(FCacheDir + IndexFileName);
}

void TCacheManager::SaveReplacing(const AnsiString& FileName,
                                  const std::function<void(const AnsiString&)>& write) {
  const AnsiString temporary = FileName + ".tmp";
  write(temporary);
  if (FileExists(FileName) && !DeleteFile(FileName)) RaiseLastOSError();
  if (!RenameFile(temporary, FileName)) RaiseLastOSError();
}

void TCacheManager::WriteIndex() {
  auto* database = dynamic_cast<TSDatabase*>(FDatabase);
  if (!database || !database->LocalCache || !FFolderReady) return;
  try {
    SaveReplacing(FCacheDir + IndexFileName,
                  [this](const AnsiString& name) { FCacheIndex.SaveToFile(name); });
  } catch (const Exception& e) {
    WriteLogLine("ERROR", "TCacheManager", FCacheDir + IndexFileName + ": " + e.Message());
  }
}

void TCacheManager::Forget(const AnsiString& Name) {
  // A lone backslash: every version is written with its backslashes doubled.
  const AnsiString line = Name + "=\\";
  for (int i = 0; i < FCacheIndex.Count(); ++i)
    if (FCacheIndex.Strings(i).rfind(Name + "=", 0) == 0) return FCacheIndex.Put(i, line);
  FCacheIndex.Add(line);
}

bool TCacheManager::Lookup(TDataSet* DataSet, AnsiString& FileName, const AnsiString& Name,
                           const AnsiString& Version, int64_t& Stamp) {
  Stamp = 0;
  if (!dynamic_cast<TzynCustomMemTable*>(DataSet)) return false;
  const auto* sds = dynamic_cast<TSDS*>(DataSet);
  const AnsiString& name = sds && Name.empty() ? sds->TableName() : Name;
  const AnsiString& version = sds && Version.empty() ? sds->ServerFilter() : Version;
  FileName = FCacheDir + name + ".CDS";
  const AnsiString line = name + "=" + EscapeVersion(version);
  AnsiString oldVersion;
  int found = -1;
  for (int i = 0; i < FCacheIndex.Count(); ++i) {
    if (FCacheIndex.Strings(i).rfind(name + "=", 0) == 0) {
      found = i;
      break;
    }
  }
  if (found >= 0) {
    const AnsiString old = FCacheIndex.Strings(found);
    oldVersion = old.substr(old.find('=') + 1);
    FCacheIndex.Put(found, line);
  } else {
    FCacheIndex.Add(line);
  }
  return oldVersion == EscapeVersion(version) && FileExists(FileName);
}
