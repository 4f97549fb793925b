#include "SDatabase.h"

#include <span>
#include <utility>

#include "EIBSQL.h"
#include "SDS.h"
#include "common/uTools.h"
#include "ibclient/IBSQL.h"
#include "rtl/OsShim.h"
#include "rtl/SysUtils.h"

namespace {

const char* const ColumnsQuery =
    "Select R.RDB$RELATION_NAME,R.RDB$FIELD_NAME, R.RDB$FIELD_POSITION, F.RDB$COMPUTED_BLR, "
    "F.RDB$DEFAULT_VALUE,R.RDB$NULL_FLAG,F.RDB$FIELD_LENGTH, F.RDB$FIELD_SCALE,F.RDB$FIELD_TYPE, "
    "F.RDB$FIELD_SUB_TYPE,F.RDB$EXTERNAL_LENGTH, F.RDB$EXTERNAL_SCALE, F.RDB$EXTERNAL_TYPE from "
    "RDB$RELATION_FIELDS R, RDB$FIELDS F where  R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME  AND "
    "((R.RDB$SYSTEM_FLAG IS NULL) or (R.RDB$SYSTEM_FLAG <> 1) ) ";
const char* const ColumnsOrder = " order by R.RDB$RELATION_NAME, R.RDB$FIELD_POSITION";
const char* const IndexesQuery =
    "Select I.RDB$RELATION_NAME, I.RDB$INDEX_NAME,S.RDB$FIELD_POSITION ,I.RDB$UNIQUE_FLAG, "
    "I.RDB$INDEX_TYPE,I.RDB$SEGMENT_COUNT, S.RDB$FIELD_NAME,I.RDB$FOREIGN_KEY  from RDB$INDICES "
    "I,RDB$INDEX_SEGMENTS S where I.RDB$INDEX_NAME = S.RDB$INDEX_NAME ";
const char* const IndexesOrder =
    "ORDER BY  I.RDB$RELATION_NAME, I.RDB$INDEX_NAME,S.RDB$FIELD_POSITION";

// Runs a query on a statement of its own in the database's internal
// transaction (started when it is not going), handing over each row.
void ForEachRow(TIBDatabase& Database, const AnsiString& SQL,
                const std::function<void(TIBSQL&)>& Row) {
  TIBSQL statement(nullptr);
  statement.SetDatabase(&Database);
  statement.SetTransaction(Database.InternalTransaction());
  if (!Database.InternalTransaction()->Active()) Database.InternalTransaction()->StartTransaction();
  statement.SetSQLText(SQL);
  for (ExecSQL(statement); !statement.Eof(); statement.Next()) Row(statement);
  statement.Close();
}

struct TTableField {
  const char* Name;
  TFieldType Type;
  int Size;
};
const TTableField ColumnFields[] = {
    {"RDB$RELATION_NAME", ftString, 31},    {"RDB$FIELD_NAME", ftString, 31},
    {"RDB$FIELD_POSITION", ftSmallint, 0},  {"RDB$COMPUTED_BLR", ftBlob, 80},
    {"RDB$DEFAULT_VALUE", ftBlob, 80},      {"RDB$NULL_FLAG", ftSmallint, 0},
    {"RDB$FIELD_LENGTH", ftSmallint, 0},    {"RDB$FIELD_SCALE", ftSmallint, 0},
    {"RDB$FIELD_TYPE", ftSmallint, 0},      {"RDB$FIELD_SUB_TYPE", ftSmallint, 0},
    {"RDB$EXTERNAL_LENGTH", ftSmallint, 0}, {"RDB$EXTERNAL_SCALE", ftSmallint, 0},
    {"RDB$EXTERNAL_TYPE", ftSmallint, 0}};
const TTableField SegmentFields[] = {
    {"RDB$RELATION_NAME", ftString, 31},   {"RDB$INDEX_NAME", ftString, 31},
    {"RDB$FIELD_POSITION", ftSmallint, 0}, {"RDB$UNIQUE_FLAG", ftSmallint, 0},
    {"RDB$INDEX_TYPE", ftSmallint, 0},     {"RDB$SEGMENT_COUNT", ftSmallint, 0},
    {"RDB$FIELD_NAME", ftString, 31},      {"RDB$FOREIGN_KEY", ftString, 31}};
const TTableField ConstraintFields[] = {{"RDB$INDEX_NAME", ftString, 32},
                                        {"RDB$CONSTRAINT_NAME", ftString, 32},
                                        {"RDB$CONSTRAINT_TYPE", ftInteger, 0}};
const char* const SegmentOrder = "RDB$RELATION_NAME;RDB$INDEX_NAME;RDB$FIELD_POSITION";

// Closes the table and drops its fields, field and index definitions, also
// those a cache file brought.
void ClearTable(TzynMemTable& Table) {
  Table.Close();
  Table.Fields()->Clear();
  Table.FieldDefs()->Clear();
  Table.ClearIndexes();
}

void DefineTable(TzynMemTable& Table, std::span<const TTableField> Layout) {
  ClearTable(Table);
  for (const TTableField& field : Layout)
    Table.FieldDefs()->Add(field.Name, field.Type, field.Size);
}

// Loads a cache file, which must hold the fields of the layout (a blob's
// size is not kept in the file).
void LoadTable(TzynMemTable& Table, const AnsiString& FileName,
               std::span<const TTableField> Layout) {
  ClearTable(Table);
  Table.LoadFromBinaryFile(FileName);
  bool fits = Table.Active() && Table.FieldDefs()->Count() == static_cast<int>(Layout.size());
  for (size_t i = 0; fits && i < Layout.size(); ++i) {
    const TFieldDef* def = Table.FieldDefs()->Items(static_cast<int>(i));
    fits = def->Name() == Layout[i].Name && def->DataType() == Layout[i].Type;
  }
  if (!fits) throw EDatabaseError("not a catalogue file");
}

// A new record from the row's columns in order: names lose their trailing
// blanks, nulls stay null.
void AppendRow(TzynMemTable& Table, TIBSQL& Row) {
  Table.Append();
  for (int i = 0; i < Row.FieldCount(); ++i) {
    const TIBSQLVar& column = Row.Fields(i);
    if (column.IsNull()) continue;
    TField* field = Table.Fields()->Fields(i);
    if (field->DataType() == ftString)
      field->SetAsString(TrimRight(column.AsString()));
    else if (field->DataType() == ftSmallint || field->DataType() == ftInteger)
      field->SetAsInteger(column.AsInteger());
    else
      field->SetAsString(column.AsString());
  }
  Table.Post();
}

// The name prefix of the catalogue's cache files: the program's name.
AnsiString CachePrefix() {
  return AnsiUpperCase(ChangeFileExt(ExtractFileName(ExeFileName()), ""));
}

}  // namespace

TSDatabase::TSDatabase(TComponent* AOwner) : TIBDatabase(AOwner) {
  FSession = std::make_unique<TUserSession>(this);
  FCacheManager = std::make_unique<TCacheManager>(this);
  FListKinds = std::make_unique<TListColletion>(this);
  FTablesCache = std::make_unique<TzynMemTable>(nullptr);
  FIndexesCache = std::make_unique<TzynMemTable>(nullptr);
  FUserTable = std::make_unique<TSDS>(nullptr);
  InternalTransaction()->Params()->SetText("read\r\nread_committed\r\nrec_version\r\nnowait");
}

TSDatabase::~TSDatabase() {
  try {
    Close();
  } catch (const std::exception& e) {
    WriteLogLine("ERROR", "TSDatabase", e.what());
  }
}

void TSDatabase::SetDefaultTransactionRW(TIBTransaction* Value) {
  FDefaultTransactionRW = Value;
  if (Value) Value->FreeNotification(this);
}

void TSDatabase::Notification(TComponent* AComponent, TOperation Operation) {
  TIBDatabase::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDefaultTransactionRW) FDefaultTransactionRW = nullptr;
}

void TSDatabase::DoConnect() {
  TIBDatabase::DoConnect();
  try {
    if (LocalCache) FCacheManager->Prepare();
    if (MetadataCache) LoadMetadataCache();
    BindUserTable();
    FListKinds->Fill();
  } catch (...) {
    try {
      DoDisconnect();
    } catch (const std::exception& e) {
      WriteLogLine("ERROR", "TSDatabase", e.what());
    }
    throw;
  }
}

void TSDatabase::DoDisconnect() {
  if (Connected() && FSession->Handle() >= 0) {
    FSession->StopListening();
    try {
      FSession->EndSession();
    } catch (const std::exception& e) {
      WriteLogLine("ERROR", "TSDatabase", e.what());
    }
  }
  TIBDatabase::DoDisconnect();
  if (MetadataCache) SaveMetadataCache();
  if (LocalCache) FCacheManager->WriteIndex();
  FListKinds->ClearAll();
  FUserTable->Close();
}

void TSDatabase::BindUserTable() {
  FUserTable->SetDatabase(this);
  FUserTable->SetTableName("SYS_USER");
  FUserTable->SetOptions(FUserTable->Options() + TSDSOptions{dsoVirtualDelete});
  FUserTable->SetAttachMaxCount(4);
  if (Connected()) FUserTable->Open();
}

void TSDatabase::LoadMetadataCache() {
  FTablesCacheFile.clear();
  FIndexesCacheFile.clear();
  if (!LocalCache) {
    BuildMetadataCache();
    return;
  }
  bool hasVersion = false;
  AnsiString version;
  ForEachRow(*this, "select RDB$DESCRIPTION FROM RDB$DATABASE", [&](TIBSQL& Row) {
    hasVersion = !Row.Fields(0).IsNull();
    version = Row.Fields(0).AsString();
  });
  const AnsiString prefix = CachePrefix();
  AnsiString tablesFile, indexesFile;
  int64_t stamp;
  const bool tablesHit =
      FCacheManager->Lookup(FTablesCache.get(), tablesFile, prefix + "_TABLES", version, stamp);
  const bool indexesHit =
      FCacheManager->Lookup(FIndexesCache.get(), indexesFile, prefix + "_INDEXES", version, stamp);
  if (!hasVersion) {
    // Without a version nothing tells a file's catalogue from today's one:
    // no file may answer later either.
    DeleteFile(tablesFile);
    DeleteFile(indexesFile);
    BuildMetadataCache();
    return;
  }
  if (tablesHit && indexesHit) {
    try {
      LoadTable(*FTablesCache, tablesFile, ColumnFields);
      FTablesCache->SetIndexName("RELATIONS_FIELDNAMES");
      LoadTable(*FIndexesCache, indexesFile, SegmentFields);
      FIndexesCache->SetIndexFieldNames(SegmentOrder);
      FTablesCacheFile = tablesFile;
      FIndexesCacheFile = indexesFile;
      return;
    } catch (const Exception& e) {
      // A damaged file costs a build from the server, never the connect.
      WriteLogLine("ERROR", "TSDatabase", tablesFile + ", " + indexesFile + ": " + e.Message());
    }
  }
  BuildMetadataCache();
  FTablesCacheFile = tablesFile;
  FIndexesCacheFile = indexesFile;
}

void TSDatabase::BuildMetadataCache() {
  TIBTransaction* transaction = InternalTransaction();
  if (transaction->Active()) transaction->Commit();
  transaction->StartTransaction();
  const AnsiString condition =
      MetadataCacheFilter.empty() ? AnsiString() : " AND ( " + MetadataCacheFilter + ")";

  DefineTable(*FTablesCache, ColumnFields);
  FTablesCache->IndexDefs()->Add("RELATIONS_FIELDNAMES", "RDB$RELATION_NAME;RDB$FIELD_NAME",
                                 TIndexOptions());
  FTablesCache->IndexDefs()->Add("RELATIONS_FIELDPOSITION", "RDB$RELATION_NAME;RDB$FIELD_POSITION",
                                 TIndexOptions());
  FTablesCache->SetIndexName("RELATIONS_FIELDNAMES");
  FTablesCache->Open();
  ForEachRow(*this, ColumnsQuery + condition + ColumnsOrder,
             [this](TIBSQL& Row) { AppendRow(*FTablesCache, Row); });

  DefineTable(*FIndexesCache, SegmentFields);
  FIndexesCache->SetIndexFieldNames(SegmentOrder);
  FIndexesCache->Open();
  ForEachRow(*this, IndexesQuery + condition + IndexesOrder,
             [this](TIBSQL& Row) { AppendRow(*FIndexesCache, Row); });
}

void TSDatabase::SaveMetadataCache() {
  if (LocalCache) {
    for (auto [table, file] : {std::pair{FTablesCache.get(), &FTablesCacheFile},
                               std::pair{FIndexesCache.get(), &FIndexesCacheFile}}) {
      if (file->empty()) continue;
      try {
        TCacheManager::SaveReplacing(
            *file, [table](const AnsiString& name) { table->SaveToBinaryFile(name); });
      } catch (const Exception& e) {
        // Neither an old file nor its name in the index may claim the new version.
        WriteLogLine("ERROR", "TSDatabase", *file + ": " + e.Message());
        DeleteFile(*file);
        FCacheManager->Forget(ChangeFileExt(ExtractFileName(*file), ""));
      }
      file->clear();
    }
  }
  FTablesCache->Close();
  FIndexesCache->Close();
}

void TSDatabase::RefreshMetadataCache() {
  // Until the new catalogue is whole no cache file may take it.
  const AnsiString tablesFile = std::exchange(FTablesCacheFile, {});
  const AnsiString indexesFile = std::exchange(FIndexesCacheFile, {});
  FTablesCache->Close();
  FIndexesCache->Close();
  BuildMetadataCache();
  FTablesCacheFile = tablesFile;
  FIndexesCacheFile = indexesFile;
  FConstraintTable.reset();
}

void TSDatabase::BuildConstraintTable() {
  auto table = std::make_unique<TzynMemTable>(nullptr);
  DefineTable(*table, ConstraintFields);
  table->SetIndexFieldNames("RDB$INDEX_NAME");
  table->Open();
  ForEachRow(
      *this,
      "select RDB$INDEX_NAME,RDB$CONSTRAINT_NAME,RDB$CONSTRAINT_TYPE from RDB$RELATION_CONSTRAINTS "
      "where RDB$INDEX_NAME is not null",
      [&](TIBSQL& Row) {
        const AnsiString kind = TrimRight(Row.Fields(2).AsString());
        table->Append();
        table->Fields()->Fields(0)->SetAsString(TrimRight(Row.Fields(0).AsString()));
        table->Fields()->Fields(1)->SetAsString(TrimRight(Row.Fields(1).AsString()));
        table->Fields()->Fields(2)->SetAsInteger(kind == "PRIMARY KEY"   ? 3
                                                 : kind == "UNIQUE"      ? 5
                                                 : kind == "FOREIGN KEY" ? 33
                                                                         : 0);
        table->Post();
      });
  FConstraintTable = std::move(table);
}

int TSDatabase::ConstraintType(const AnsiString& IndexName) {
  if (!FConstraintTable) BuildConstraintTable();
  if (!FConstraintTable->FindKey({Variant(IndexName)})) return 0;
  return FConstraintTable->FieldByName("RDB$CONSTRAINT_TYPE")->AsInteger();
}
