// The audit text of a change a server-backed dataset writes: the table, the
// key (for an update) or every audited field (insert, delete), and for an
// update the fields whose text changed, old and new. Names and values have
// their markup characters (& < >) written as references.
#pragma once

#include "rtl/Types.h"

class TSDS;
class TField;

// The operation codes the writing steps pass.
enum TSDSAuditOperation : int { aoDelete = 0, aoUpdate = 2, aoInsert = 3 };

// A data field with provider flags, not a blob or memo, not the row key or
// the change time.
bool IsAuditedField(const TField* Field);
// Raises when a key field is missing: the write that asked for it fails.
AnsiString BuildAuditText(const TSDS& DataSet, int Operation);
