#include "db/DBTypes.h"

const char* const FieldTypeNames[FieldTypeCount] = {
    "Unknown",    "String",     "SmallInt", "Integer",     "Word",      "Boolean",
    "Float",      "Currency",   "BCD",      "Date",        "Time",      "DateTime",
    "Bytes",      "VarBytes",   "AutoInc",  "Blob",        "Memo",      "Graphic",
    "FmtMemo",    "ParadoxOle", "dBaseOle", "TypedBinary", "Cursor",    "FixedChar",
    "WideString", "LargeInt",   "ADT",      "Array",       "Reference", "DataSet",
    "OraBlob",    "OraClob",    "Variant",  "Interface",   "Dispatch",  "Guid"};

const char* const FieldKindNames[FieldKindCount] = {"Data", "Calculated", "Lookup", "InternalCalc",
                                                    "Aggregate"};

bool IsBlobType(TFieldType type) {
  return (type >= ftBlob && type <= ftTypedBinary) || type == ftOraBlob || type == ftOraClob;
}

void DatabaseError(const AnsiString& message, TComponent* component) {
  if (component && !component->Name().empty())
    throw EDatabaseError(component->Name() + ": " + message);
  throw EDatabaseError(message);
}

void DatabaseErrorFmt(const AnsiString& message, std::initializer_list<TVarRec> args,
                      TComponent* component) {
  DatabaseError(Format(message, args), component);
}
