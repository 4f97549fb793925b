// A table's catalogue rows, read from the server or from the metadata cache
// of its TSDatabase; SDSSql turns them into definitions and key lists.
#pragma once

#include <vector>

#include "SDSSql.h"

class TIBDatabase;
class TSDatabase;

// In the database's internal transaction, started when it is not going.
std::vector<TSDSColumn> ServerColumns(TIBDatabase& Database, const AnsiString& TableName);
std::vector<TSDSIndexRow> ServerIndexRows(TIBDatabase& Database, const AnsiString& TableName);
// Empty when the cache does not hold the table.
std::vector<TSDSColumn> CachedColumns(TSDatabase& Database, const AnsiString& TableName);
std::vector<TSDSIndexRow> CachedIndexRows(TSDatabase& Database, const AnsiString& TableName);
