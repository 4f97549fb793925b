#include "SDSCatalog.h"

#include <functional>

#include "EIBSQL.h"
#include "SDatabase.h"
#include "ibclient/IBSQL.h"
#include "rtl/AnsiText.h"

namespace {

void ForEachTableRow(TIBDatabase& Database, const char* Query, const AnsiString& TableName,
                     const std::function<void(TIBSQL&)>& Row) {
  TIBSQL statement(nullptr);
  statement.SetDatabase(&Database);
  statement.SetTransaction(Database.InternalTransaction());
  if (!Database.InternalTransaction()->Active()) Database.InternalTransaction()->StartTransaction();
  statement.SetSQLText(Query);
  statement.ParamByName("TABLE_NAME").SetAsString(TableName);
  for (ExecSQL(statement); !statement.Eof(); statement.Next()) Row(statement);
  statement.Close();
}

// The rows of one table in a catalogue table kept in the order given, whose
// first index field is the table name; the cache's own order is put back.
void ForEachCachedRow(TzynMemTable& Cache, const AnsiString& Order, const AnsiString& TableName,
                      const std::function<void(TzynMemTable&)>& Row) {
  const AnsiString indexName = Cache.IndexName(), indexFields = Cache.IndexFieldNames();
  Cache.SetIndexFieldNames(Order);
  Cache.FindNearest({Variant(TableName)});
  for (; !Cache.Eof() && TrimRight(Cache.FieldByName("RDB$RELATION_NAME")->AsString()) == TableName;
       Cache.Next())
    Row(Cache);
  if (!indexFields.empty()) Cache.SetIndexFieldNames(indexFields);
  else Cache.SetIndexName(indexName);
}

template <typename TRow>
TSDSColumn ColumnOf(TRow& Row) {
  TSDSColumn column;
  column.Name = TrimRight(Row.FieldByName("RDB$FIELD_NAME")->AsString());
  column.Computed = !Row.FieldByName("RDB$COMPUTED_BLR")->IsNull();
  column.HasDefault = !Row.FieldByName("RDB$DEFAULT_VALUE")->IsNull();
  column.NotNull = !Row.FieldByName("RDB$NULL_FLAG")->IsNull() && Row.FieldByName("RDB$NULL_FLAG")->AsInteger() == 1;
  column.Length = Row.FieldByName("RDB$FIELD_LENGTH")->AsInteger();
  column.Scale = Row.FieldByName("RDB$FIELD_SCALE")->AsInteger();
  column.Type = Row.FieldByName("RDB$FIELD_TYPE")->AsInteger();
  column.SubType = Row.FieldByName("RDB$FIELD_SUB_TYPE")->IsNull() ? 0 : Row.FieldByName("RDB$FIELD_SUB_TYPE")->AsInteger();
  return column;
}

// The statement's columns answer like a table's fields.
struct TStatementRow {
  TIBSQL& Statement;
  TIBSQLVar* FieldByName(const AnsiString& Name) { return &Statement.FieldByName(Name); }
};

bool UniqueFlag(TIBSQLVar* Var) { return !Var->IsNull() && Var->AsInteger() == 1; }

}  // namespace

std::vector<TSDSColumn> ServerColumns(TIBDatabase& Database, const AnsiString& TableName) {
  std::vector<TSDSColumn> columns;
  ForEachTableRow(Database, SDSColumnsQuery, TableName, [&](TIBSQL& Statement) {
    TStatementRow row{Statement};
    columns.push_back(ColumnOf(row));
  });
  return columns;
}

std::vector<TSDSIndexRow> ServerIndexRows(TIBDatabase& Database, const AnsiString& TableName) {
  std::vector<TSDSIndexRow> rows;
  ForEachTableRow(Database, SDSIndexesQuery, TableName, [&](TIBSQL& Statement) {
    rows.push_back({TrimRight(Statement.FieldByName("RDB$INDEX_NAME").AsString()),
                    UniqueFlag(&Statement.FieldByName("RDB$UNIQUE_FLAG")),
                    TrimRight(Statement.FieldByName("RDB$FIELD_NAME").AsString()),
                    TrimRight(Statement.FieldByName("RDB$CONSTRAINT_TYPE").AsString()) == "PRIMARY KEY"});
  });
  return rows;
}

std::vector<TSDSColumn> CachedColumns(TSDatabase& Database, const AnsiString& TableName) {
  std::vector<TSDSColumn> columns;
  ForEachCachedRow(*Database.TablesCache(), "RDB$RELATION_NAME;RDB$FIELD_POSITION", TableName,
                   [&](TzynMemTable& Cache) { columns.push_back(ColumnOf(Cache)); });
  return columns;
}

std::vector<TSDSIndexRow> CachedIndexRows(TSDatabase& Database, const AnsiString& TableName) {
  std::vector<TSDSIndexRow> rows;
  ForEachCachedRow(*Database.IndexesCache(), "RDB$RELATION_NAME;RDB$INDEX_NAME;RDB$FIELD_POSITION", TableName,
                   [&](TzynMemTable& Cache) {
                     const AnsiString name = TrimRight(Cache.FieldByName("RDB$INDEX_NAME")->AsString());
                     const bool flag = Cache.FieldByName("RDB$UNIQUE_FLAG")->AsInteger() == 1;
                     // Named indexes take their kind from their constraint.
                     const int constraint = name.rfind("RDB$", 0) == 0 ? 0 : Database.ConstraintType(name);
                     rows.push_back({name, constraint == 5 || (constraint == 0 && flag),
                                     TrimRight(Cache.FieldByName("RDB$FIELD_NAME")->AsString()), constraint == 3});
                   });
  return rows;
}
