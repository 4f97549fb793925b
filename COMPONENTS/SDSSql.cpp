#include "SDSSql.h"

#include <ibase.h>

#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

const char* const SDSColumnsQuery =
    "Select R.RDB$FIELD_NAME, R.RDB$FIELD_POSITION, F.RDB$COMPUTED_BLR, F.RDB$DEFAULT_VALUE, "
    "R.RDB$NULL_FLAG, F.RDB$FIELD_LENGTH, F.RDB$FIELD_SCALE, F.RDB$FIELD_TYPE, "
    "F.RDB$FIELD_SUB_TYPE from RDB$RELATION_FIELDS R, RDB$FIELDS F "
    "where R.RDB$RELATION_NAME = :TABLE_NAME and R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME "
    "order by R.RDB$FIELD_POSITION";

// Ordered so that an index's segments come together and in their order; the
// constraint tells a primary key whose index was given a name of its own.
const char* const SDSIndexesQuery =
    "Select I.RDB$INDEX_NAME, I.RDB$UNIQUE_FLAG, S.RDB$FIELD_NAME, C.RDB$CONSTRAINT_TYPE "
    "from RDB$INDICES I join RDB$INDEX_SEGMENTS S on I.RDB$INDEX_NAME = S.RDB$INDEX_NAME "
    "left join RDB$RELATION_CONSTRAINTS C on C.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
    "where I.RDB$RELATION_NAME = :TABLE_NAME "
    "order by I.RDB$INDEX_NAME, S.RDB$FIELD_POSITION";

namespace {

bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

bool IsSqlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct TWord {
  size_t Pos;
  AnsiString Upper;
};

// Words outside parentheses, quoted names and string literals.
std::vector<TWord> TopLevelWords(const AnsiString& Text) {
  std::vector<TWord> words;
  int depth = 0;
  size_t i = 0;
  while (i < Text.size()) {
    const char c = Text[i];
    if (c == '"' || c == '\'') {
      // A doubled quote inside stays inside; an unclosed one runs to the end.
      size_t j = i + 1;
      while (j < Text.size() && !(Text[j] == c && (j + 1 >= Text.size() || Text[j + 1] != c)))
        j += Text[j] == c ? 2 : 1;
      i = j + 1;
    } else if (c == '(') {
      ++depth;
      ++i;
    } else if (c == ')') {
      if (depth > 0) --depth;
      ++i;
    } else if (IsSqlBlank(c)) {
      ++i;
    } else {
      const size_t start = i;
      while (i < Text.size() && !IsSqlBlank(Text[i]) && Text[i] != '(' && Text[i] != ')' &&
             Text[i] != '"' && Text[i] != '\'')
        ++i;
      if (depth == 0) words.push_back({start, UpperCase(Text.substr(start, i - start))});
    }
  }
  return words;
}

std::vector<AnsiString> SplitFieldList(const AnsiString& List) {
  std::vector<AnsiString> names;
  size_t start = 0;
  while (start <= List.size()) {
    const size_t end = std::min(List.find(';', start), List.size());
    const AnsiString name = Trim(List.substr(start, end - start));
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

AnsiString Join(const std::vector<AnsiString>& Items, const char* Separator) {
  AnsiString result;
  for (const AnsiString& item : Items) {
    if (!result.empty()) result += Separator;
    result += item;
  }
  return result;
}

// An integer column: BCD for a scale down to -4 (any scale for a small
// integer), float below.
void SetIntegerType(TFieldDef& Def, TFieldType IntegerType, int Scale, int Precision) {
  if (Scale == 0) {
    Def.SetDataType(IntegerType);
  } else if (Scale >= -4 || IntegerType == ftSmallint) {
    Def.SetDataType(ftBCD);
    Def.SetPrecision(Precision);
    Def.SetSize(-Scale);
  } else {
    Def.SetDataType(ftFloat);
  }
}

bool IsSystemName(const AnsiString& Name) { return Name.rfind("SYS$", 0) == 0; }

struct TFieldLists {
  std::vector<AnsiString> Select, InsertNames, InsertValues, Update, AllFields, OldValues;
};

TFieldLists BuildFieldLists(const TSDSSqlSource& Source, const AnsiString& Prefix) {
  TFieldLists lists;
  for (int i = 0; i < Source.FieldDefs->Count(); ++i) {
    const TFieldDef* def = Source.FieldDefs->Items(i);
    if (def->DataType() == ftUnknown || def->InternalCalcField() || def->Name() == SDSDBKeyField)
      continue;
    const TField* field = Source.Fields ? Source.Fields->FindField(def->Name()) : nullptr;
    const TProviderFlags flags = field ? field->ProviderFlags() : TProviderFlags{pfInUpdate, pfInWhere};
    const AnsiString name = QuoteIdentifier(def->Name());
    if (!flags.Empty()) lists.Select.push_back(name);
    if (def->Attributes().Contains(faReadonly) || !flags.Contains(pfInUpdate)) continue;
    lists.InsertNames.push_back(name);
    if (def->Name() == SDSTimeField) {
      lists.InsertValues.push_back("'NOW'");
      lists.Update.push_back(name + " = 'NOW'");
      continue;
    }
    lists.InsertValues.push_back(SqlParam(def->Name()));
    if (!Source.WrittenFields || Source.WrittenFields->count(def->Name()))
      lists.Update.push_back(name + " = " + SqlParam(def->Name()));
    if (IsBlobType(def->DataType())) continue;
    lists.AllFields.push_back(Prefix + name + " = " + SqlParam(def->Name()));
    lists.OldValues.push_back(Prefix + name + " = " + SqlParam(def->Name(), "old$"));
  }
  return lists;
}

AnsiString KeyCondition(const TSDSSqlSource& Source, const TFieldLists& Lists, const AnsiString& Prefix,
                        bool OldValues) {
  if (Source.KeyFields.empty()) return Join(OldValues ? Lists.OldValues : Lists.AllFields, " AND ");
  std::vector<AnsiString> parts;
  for (const AnsiString& key : SplitFieldList(Source.KeyFields))
    parts.push_back(Prefix + QuoteIdentifier(key) + " = " + SqlParam(key, OldValues ? "old$" : ""));
  return Join(parts, " AND ");
}

// The record's own key beside its row key: the key fields, else SYS$ID;
// none when the definitions lack one of them.
std::vector<AnsiString> RecordKeyFields(const TSDSSqlSource& Source) {
  std::vector<AnsiString> keys = SplitFieldList(Source.KeyFields);
  if (keys.empty()) keys.push_back("SYS$ID");
  for (const AnsiString& key : keys)
    if (Source.FieldDefs->IndexOf(key) < 0) return {};
  return keys;
}

// A row key holds within a transaction only: once a deleted row's garbage
// is gone a new row can take its key. Naming the record's key as well, a
// stale row key reaches no row instead of another one.
AnsiString RowKeyCondition(const TSDSSqlSource& Source, const AnsiString& Prefix, const AnsiString& ParamPrefix) {
  AnsiString condition = Prefix + "RDB$DB_KEY = :IBX_INTERNAL_DBKEY";
  for (const AnsiString& key : RecordKeyFields(Source))
    condition += " and " + Prefix + QuoteIdentifier(key) + " is not distinct from " + SqlParam(key, ParamPrefix);
  return condition;
}

// Up to the first name that is not a writable field of the definitions.
AnsiString OrderList(const TSDSSqlSource& Source, const AnsiString& IndexFields, const AnsiString& Prefix) {
  std::vector<AnsiString> items;
  for (const AnsiString& name : SplitFieldList(IndexFields)) {
    if (Source.FieldDefs->IndexOf(name) < 0) break;
    const TField* field = Source.Fields ? Source.Fields->FindField(name) : nullptr;
    if (field && !field->ProviderFlags().Contains(pfInUpdate)) break;
    items.push_back(Prefix + QuoteIdentifier(name));
  }
  return Join(items, ",");
}

}  // namespace

bool IsRegularName(const AnsiString& Name) {
  if (Name.empty() || !IsUpperLetter(Name[0])) return false;
  for (char c : Name)
    if (!IsUpperLetter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '$') return false;
  return true;
}

AnsiString QuoteIdentifier(const AnsiString& Name) {
  if (IsRegularName(Name)) return Name;
  return "\"" + StringReplace(Name, "\"", "\"\"", rfReplaceAll) + "\"";
}

AnsiString SqlParam(const AnsiString& Name, const AnsiString& Prefix) {
  return ":" + (IsRegularName(Name) ? Prefix + Name : QuoteIdentifier(Prefix + Name));
}

void ExtractQuotedToken(AnsiString& Text, char Separator, AnsiString& Token) {
  bool quoted = false;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '"') {
      quoted = !quoted;
    } else if (Text[i] == Separator && !quoted) {
      Token = Text.substr(0, i);
      Text.erase(0, i + 1);
      return;
    }
  }
  Token = quoted ? AnsiString() : Text;
  Text.clear();
}

bool HasTopLevelWhere(const AnsiString& Text) {
  for (const TWord& word : TopLevelWords(Text))
    if (word.Upper == "WHERE") return true;
  return false;
}

AnsiString StripOrderBy(const AnsiString& Text) {
  const std::vector<TWord> words = TopLevelWords(Text);
  for (size_t i = 0; i + 1 < words.size(); ++i)
    if (words[i].Upper == "ORDER" && words[i + 1].Upper == "BY") return TrimRight(Text.substr(0, words[i].Pos));
  return Text;
}

AnsiString AddCondition(const AnsiString& Statement, const AnsiString& Condition) {
  if (Condition.empty()) return Statement;
  // The outer WHERE clause ends (or would stand) before the first clause
  // that follows it; a condition after GROUP BY or ORDER BY is no SQL.
  const std::vector<TWord> words = TopLevelWords(Statement);
  size_t end = Statement.size();
  const TWord* where = nullptr;
  for (const TWord& word : words) {
    if (word.Upper == "WHERE" && !where) where = &word;
    if (word.Upper == "GROUP" || word.Upper == "HAVING" || word.Upper == "PLAN" || word.Upper == "ORDER" ||
        word.Upper == "ROWS" || word.Upper == "UNION") {
      end = word.Pos;
      break;
    }
  }
  AnsiString head = TrimRight(Statement.substr(0, end));
  const AnsiString tail = Trim(Statement.substr(end));
  if (where) {
    // Both sides in parentheses: an OR on either must not escape the other.
    const size_t clause = where->Pos + 5;
    head = head.substr(0, clause) + " (" + Trim(head.substr(clause)) + ")\n AND (" + Condition + ")";
  } else {
    head += "\n WHERE " + Condition;
  }
  return tail.empty() ? head : head + "\n " + tail;
}

AnsiString CommandOnOneLine(const AnsiString& Text) {
  AnsiString result;
  for (size_t i = 0; i < Text.size(); ++i) {
    const bool pair = i + 1 < Text.size() && ((Text[i] == '\r' && Text[i + 1] == '\n') ||
                                             (Text[i] == '\n' && Text[i + 1] == '\r'));
    result += pair ? ' ' : Text[i];
    if (pair) ++i;
  }
  return result;
}

void AddColumnFieldDef(TFieldDefs& Defs, const TSDSColumn& Column) {
  TFieldDef* def = Defs.AddFieldDef();
  def->SetName(TrimRight(Column.Name));
  switch (Column.Type) {
    case 7:
      SetIntegerType(*def, ftSmallint, Column.Scale, 4);
      break;
    case 8:
      SetIntegerType(*def, ftInteger, Column.Scale, 9);
      break;
    case 16:
      SetIntegerType(*def, ftLargeint, Column.Scale, 18);
      break;
    case 9:
      def->SetSize(8);
      break;
    case 10:
    case 11:
    case 27:
      def->SetDataType(ftFloat);
      break;
    case 12:
      def->SetDataType(ftDate);
      break;
    case 13:
      def->SetDataType(ftTime);
      break;
    case 35:
      def->SetDataType(ftDateTime);
      break;
    case 14:
    case 37:
      def->SetDataType(ftString);
      def->SetSize(Column.Length);
      break;
    case 261:
      def->SetDataType(Column.SubType == 1 ? ftMemo : ftBlob);
      break;
    default:
      break;
  }
  if (Column.Computed) {
    def->SetAttributes(def->Attributes() + TFieldAttributes{faReadonly});
    def->SetInternalCalcField(true);
  } else if (Column.NotNull && !Column.HasDefault && !IsSystemName(def->Name())) {
    def->SetRequired(true);
  }
}

void AddCommandFieldDef(TFieldDefs& Defs, const TSDSCommandColumn& Column, const AnsiString& TableName,
                        bool ChangesResolved) {
  TFieldDef* def = Defs.AddFieldDef();
  def->SetName(Column.Name);
  const bool dbKey = Column.Name == SDSDBKeyField;
  switch (Column.SQLType) {
    case SQL_VARYING:
    case SQL_TEXT:
      def->SetDataType(dbKey && Column.SQLType == SQL_TEXT ? ftBytes : ftString);
      def->SetSize(Column.Length);
      break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      def->SetDataType(ftFloat);
      break;
    case SQL_SHORT:
      SetIntegerType(*def, ftSmallint, Column.Scale, 4);
      break;
    case SQL_LONG:
      SetIntegerType(*def, ftInteger, Column.Scale, 9);
      break;
    case SQL_INT64:
      SetIntegerType(*def, ftLargeint, Column.Scale, 18);
      break;
    case SQL_TIMESTAMP:
      def->SetDataType(ftDateTime);
      break;
    case SQL_TYPE_DATE:
      def->SetDataType(ftDate);
      break;
    case SQL_TYPE_TIME:
      def->SetDataType(ftTime);
      break;
    case SQL_BLOB:
      def->SetDataType(Column.SubType == 1 ? ftMemo : ftBlob);
      break;
    default:
      break;
  }
  def->SetRequired(!Column.Nullable && !dbKey && !IsSystemName(Column.Name));
  if (ChangesResolved && !TableName.empty() && (Column.RelName != TableName || Column.SqlName != Column.Name))
    def->SetInternalCalcField(true);
}

void AppendDBKeyFieldDef(TFieldDefs& Defs) {
  if (Defs.IndexOf(SDSDBKeyField) >= 0) return;
  TFieldDef* def = Defs.AddFieldDef();
  def->SetName(SDSDBKeyField);
  def->SetDataType(ftBytes);
  def->SetSize(8);
}

TSDSIndexInfo IndexInfoFromRows(const std::vector<TSDSIndexRow>& Rows) {
  TSDSIndexInfo info;
  size_t i = 0;
  while (i < Rows.size()) {
    const AnsiString name = TrimRight(Rows[i].IndexName);
    std::vector<AnsiString> fields;
    const bool unique = Rows[i].Unique;
    const bool primary = Rows[i].Primary || name.rfind("RDB$PRIMARY", 0) == 0;
    for (; i < Rows.size() && TrimRight(Rows[i].IndexName) == name; ++i)
      fields.push_back(TrimRight(Rows[i].FieldName));
    // As the catalogue has them: upper-casing would lose a quoted name.
    const AnsiString list = Join(fields, ";");
    if ((primary || unique) && (info.KeyFields.empty() || primary)) info.KeyFields = list;
    info.Names.push_back(name);
    info.Fields.push_back(list);
  }
  return info;
}

AnsiString MasterDetailCondition(const AnsiString& DetailFields) {
  std::vector<AnsiString> parts;
  for (const AnsiString& name : SplitFieldList(DetailFields))
    parts.push_back(QuoteIdentifier(name) + " = " + SqlParam(name, "MD_"));
  return Join(parts, " AND ");
}

AnsiString ServerCondition(const AnsiString& MasterDetail, const AnsiString& ServerFilter) {
  if (MasterDetail.empty()) return ServerFilter;
  if (ServerFilter.empty()) return MasterDetail;
  // The filter may hold an OR: it must not bind to the last master field.
  return MasterDetail + " and (" + ServerFilter + ")";
}

TSDSStatements GenerateStatements(const TSDSSqlSource& Source) {
  TSDSStatements sql;
  if (Source.TableName.empty()) return sql;
  const AnsiString table = QuoteIdentifier(Source.TableName);
  const AnsiString command = CommandOnOneLine(Source.CommandText);
  const AnsiString prefix = Source.ChangesResolved && !command.empty() ? table + "." : AnsiString();
  TFieldLists lists = BuildFieldLists(Source, prefix);
  // Nothing to set: a column to itself still finds the row.
  if (lists.Update.empty() && !lists.InsertNames.empty())
    lists.Update.push_back(lists.InsertNames[0] + " = " + lists.InsertNames[0]);
  const AnsiString selectList = Source.LoadAllFields ? table + ".*" : Join(lists.Select, ",");
  const AnsiString dbKeyColumn = "RDB$DB_KEY as IBX_INTERNAL_DBKEY from " + table;
  const AnsiString rowKey = " where " + RowKeyCondition(Source, "", "");

  const AnsiString body = StripOrderBy(command);
  sql.Select = AddCondition(command.empty() ? "select " + selectList + ", " + dbKeyColumn : command,
                            Source.ServerCondition);
  sql.Insert = "insert into " + table + " (" + Join(lists.InsertNames, ", ") + ") values (" +
               Join(lists.InsertValues, ", ") + ")";
  if (command.empty())
    sql.Refresh = "select " + table + ".*, " + dbKeyColumn + rowKey;
  else if (Source.ChangesResolved || command.find(SDSDBKeyField) != AnsiString::npos)
    sql.Refresh = AddCondition(body, RowKeyCondition(Source, table + ".", ""));
  if (Source.ChangesResolved) {
    const AnsiString key = KeyCondition(Source, lists, prefix, false);
    sql.Delete = "delete from " + table + rowKey;
    sql.Update = "update " + table + " set " + Join(lists.Update, ", ") + " where " +
                 RowKeyCondition(Source, "", "old$");
    sql.DeleteByKey = "DELETE FROM " + table + " WHERE " + key;
    sql.RefreshByKey = command.empty() ? "SELECT " + table + ".*, " + dbKeyColumn + " WHERE " + key
                                       : AddCondition(body, key);
    sql.UpdateByKey = "update " + table + " set " + Join(lists.Update, ", ") + " where " +
                      KeyCondition(Source, lists, prefix, true);
  }
  const AnsiString order =
      OrderList(Source, Source.IndexFieldNames.empty() ? Source.KeyFields : Source.IndexFieldNames, prefix);
  if (!order.empty() && body == command) sql.Select += "\n ORDER BY " + order;
  return sql;
}
