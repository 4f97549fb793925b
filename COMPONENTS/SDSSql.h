// What a server-backed dataset knows of its table and says to the server:
// field definitions from catalogue rows, the key and index lists from index
// rows, and the texts of its statements, all as plain functions so that the
// rules hold without a server.
//
// Statements carry values only as parameters: ":" + field name for new
// values, ":old$" + field name for old ones, ":MD_" + detail field for the
// master's values, ":IBX_INTERNAL_DBKEY" for the row key. Names are written
// bare when they are regular upper-case identifiers and double-quoted
// otherwise, so no table or field name can change a statement's meaning.
// CommandText and ServerFilter are SQL by contract and go in as they are:
// never build them from user text.
#pragma once

#include <set>
#include <vector>

#include "db/FieldDefs.h"
#include "db/Fields.h"

inline constexpr const char* SDSDBKeyField = "IBX_INTERNAL_DBKEY";
inline constexpr const char* SDSTimeField = "SYS$TIME";

// Catalogue queries; the table name is the parameter TABLE_NAME. The index
// query gives one row per segment, grouped by index, segments in order.
extern const char* const SDSColumnsQuery;
extern const char* const SDSIndexesQuery;

// A-Z first, then A-Z, 0-9, '_' or '$'.
bool IsRegularName(const AnsiString& Name);
AnsiString QuoteIdentifier(const AnsiString& Name);
// ":" + Prefix + Name, quoted as a whole when Name is not regular.
AnsiString SqlParam(const AnsiString& Name, const AnsiString& Prefix = "");

// Takes Text up to the first Separator outside double quotes into Token
// (quotes kept) and removes both from Text; an unclosed quote empties both.
void ExtractQuotedToken(AnsiString& Text, char Separator, AnsiString& Token);
// A WHERE of the outer statement: not inside parentheses, quotes or literals.
bool HasTopLevelWhere(const AnsiString& Text);
// Text before its outer ORDER BY (any letter case), or all of it.
AnsiString StripOrderBy(const AnsiString& Text);
// The condition on a line of its own at the end of the statement's outer
// WHERE clause (joined by AND, both sides in parentheses) or as its WHERE,
// ahead of any GROUP BY, HAVING, PLAN, ORDER BY, ROWS or UNION.
AnsiString AddCondition(const AnsiString& Statement, const AnsiString& Condition);
// CR LF and LF CR pairs become one blank, as commands are kept on one line.
AnsiString CommandOnOneLine(const AnsiString& Text);

// One row of SDSColumnsQuery.
struct TSDSColumn {
  AnsiString Name;
  bool Computed = false;
  bool HasDefault = false;
  bool NotNull = false;
  int Length = 0;
  int Scale = 0;
  int Type = 0;
  int SubType = 0;
};
void AddColumnFieldDef(TFieldDefs& Defs, const TSDSColumn& Column);
// The row-key definition, unless there is one.
void AppendDBKeyFieldDef(TFieldDefs& Defs);

// One output column of a prepared command.
struct TSDSCommandColumn {
  AnsiString Name;     // as the command outputs it
  AnsiString SqlName;  // the column's own name
  AnsiString RelName;
  int SQLType = 0;  // without the null flag
  int SubType = 0;
  int Scale = 0;
  int Length = 0;
  bool Nullable = true;
};
// With ChangesResolved and a TableName, a column of another table or under
// another name is internal-calc: only the table's own columns are written.
void AddCommandFieldDef(TFieldDefs& Defs, const TSDSCommandColumn& Column, const AnsiString& TableName,
                        bool ChangesResolved);

// One row of SDSIndexesQuery.
struct TSDSIndexRow {
  AnsiString IndexName;
  bool Unique = false;
  AnsiString FieldName;
  // A primary key's index, whatever its name.
  bool Primary = false;
};
struct TSDSIndexInfo {
  // The primary key's fields, else the first unique index's, separated by
  // ';'.
  AnsiString KeyFields;
  std::vector<AnsiString> Names;
  std::vector<AnsiString> Fields;
};
TSDSIndexInfo IndexInfoFromRows(const std::vector<TSDSIndexRow>& Rows);

// D = :MD_D for each detail field D of a ';' list, joined with " AND ".
AnsiString MasterDetailCondition(const AnsiString& DetailFields);
// The master/detail condition and the server filter, either alone.
AnsiString ServerCondition(const AnsiString& MasterDetail, const AnsiString& ServerFilter);

struct TSDSSqlSource {
  const TFieldDefs* FieldDefs = nullptr;
  // The dataset's fields; null or a missing field counts as a default one.
  const TFields* Fields = nullptr;
  AnsiString TableName;
  AnsiString CommandText;
  AnsiString KeyFields;
  AnsiString IndexFieldNames;
  AnsiString ServerCondition;
  bool ChangesResolved = true;
  bool LoadAllFields = true;
  // The fields the updates set (SYS$TIME always); null: every one.
  const std::set<AnsiString>* WrittenFields = nullptr;
};

// Statement texts, lines separated by '\n'; empty when not generated.
struct TSDSStatements {
  AnsiString Select;
  AnsiString Refresh;
  AnsiString Insert;
  AnsiString Update;
  AnsiString Delete;
  AnsiString RefreshByKey;
  AnsiString UpdateByKey;
  AnsiString DeleteByKey;
};
TSDSStatements GenerateStatements(const TSDSSqlSource& Source);
