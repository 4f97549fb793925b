/* The client library's own fetch loop over BIG_TABLE, touching every column:
 * what the layer is measured against. Returns rows, or -1 on an error;
 * `seconds` is the time from the execute to the last fetch. */
#include <ibase.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

long long RawFetchAll(const char* database, double* checksum, double* seconds) {
  ISC_STATUS_ARRAY status;
  isc_db_handle db = 0;
  isc_tr_handle tr = 0;
  isc_stmt_handle stmt = 0;
  const char dpb[] = {isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A',
                      isc_dpb_lc_ctype, 7, 'W', 'I', 'N', '1', '2', '5', '1'};
  const char* sql =
      "select SYS$ID, SYS$PID, SYS$STATE, SYS$TIME, NAME, QTY, PRICE, RATE, DAY_DATE from BIG_TABLE";
  long long rows = 0;
  double sum = 0;
  if (isc_attach_database(status, 0, database, &db, sizeof dpb, dpb)) return -1;
  if (isc_start_transaction(status, &tr, 1, &db, 0, NULL)) return -1;
  if (isc_dsql_allocate_statement(status, &db, &stmt)) return -1;
  XSQLDA* out = (XSQLDA*)calloc(1, XSQLDA_LENGTH(9));
  out->version = SQLDA_VERSION1;
  out->sqln = 9;
  if (isc_dsql_prepare(status, &tr, &stmt, 0, sql, SQL_DIALECT_V6, out)) return -1;
  short nulls[9];
  char* buffers[9];
  for (int i = 0; i < out->sqld; ++i) {
    XSQLVAR* v = &out->sqlvar[i];
    buffers[i] = malloc(v->sqllen + 2);
    v->sqldata = buffers[i];
    v->sqlind = &nulls[i];
  }
  const double start = Now();
  if (isc_dsql_execute(status, &tr, &stmt, SQL_DIALECT_V6, NULL)) return -1;
  while (isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out) == 0) {
    for (int i = 0; i < out->sqld; ++i) {
      XSQLVAR* v = &out->sqlvar[i];
      if ((v->sqltype & 1) && nulls[i] < 0) continue;
      switch (v->sqltype & ~1) {
        case SQL_INT64: { ISC_INT64 x; memcpy(&x, v->sqldata, 8); sum += (double)x; break; }
        case SQL_LONG: { ISC_LONG x; memcpy(&x, v->sqldata, 4); sum += x; break; }
        case SQL_DOUBLE: { double x; memcpy(&x, v->sqldata, 8); sum += x; break; }
        case SQL_TIMESTAMP: { ISC_TIMESTAMP x; memcpy(&x, v->sqldata, 8); sum += x.timestamp_date + x.timestamp_time / 864e6; break; }
        case SQL_TYPE_DATE: { ISC_DATE x; memcpy(&x, v->sqldata, 4); sum += x; break; }
        case SQL_VARYING: { unsigned short n; memcpy(&n, v->sqldata, 2); sum += n + (unsigned char)v->sqldata[2]; break; }
        default: break;
      }
    }
    ++rows;
  }
  *seconds = Now() - start;
  isc_dsql_free_statement(status, &stmt, DSQL_drop);
  isc_commit_transaction(status, &tr);
  isc_detach_database(status, &db);
  for (int i = 0; i < out->sqld; ++i) free(buffers[i]);
  free(out);
  *checksum = sum;
  return rows;
}
