#pragma once
// The hierarchy fields and a name, for a server-backed dataset opened
// without a table (a plain memory table).

#include "SDS.h"

inline void DefineHierarchy(TSDS& Sds) {
  Sds.FieldDefs()->Add("SYS$ID", ftLargeint);
  Sds.FieldDefs()->Add("SYS$PID", ftInteger);
  Sds.FieldDefs()->Add("SYS$STATE", ftInteger);
  Sds.FieldDefs()->Add("SYS$TIME", ftDateTime);
  Sds.FieldDefs()->Add("NAME", ftString, 20);
}
