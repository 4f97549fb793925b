// The client library's isc_* entry points, looked up by name once per
// process: libfbclient.so.2 natively; fbclient.dll, then gds32.dll on
// Windows. Every call goes through IB_CALL, which first gives the test seam
// the entry point's name.
#pragma once

#include <ibase.h>

#include <functional>

#define KS_IB_ENTRY_POINTS(X)   \
  X(isc_attach_database)        \
  X(isc_detach_database)        \
  X(isc_start_multiple)         \
  X(isc_commit_transaction)     \
  X(isc_commit_retaining)       \
  X(isc_rollback_transaction)   \
  X(isc_rollback_retaining)     \
  X(isc_dsql_allocate_statement) \
  X(isc_dsql_free_statement)    \
  X(isc_dsql_prepare)           \
  X(isc_dsql_describe)          \
  X(isc_dsql_describe_bind)     \
  X(isc_dsql_execute2)          \
  X(isc_dsql_fetch)             \
  X(isc_dsql_sql_info)          \
  X(isc_create_blob2)           \
  X(isc_open_blob2)             \
  X(isc_get_segment)            \
  X(isc_put_segment)            \
  X(isc_close_blob)             \
  X(isc_cancel_blob)            \
  X(isc_sqlcode)                \
  X(fb_interpret)

struct TIBLib {
#define KS_IB_MEMBER(name) decltype(&::name) name = nullptr;
  KS_IB_ENTRY_POINTS(KS_IB_MEMBER)
#undef KS_IB_MEMBER
};

// The loaded library; EIBClientError when no client library can be loaded or
// one lacks an entry point.
const TIBLib& IBLib();

// Called with the entry point's name before each isc_* call of the layer.
// Tests fail a chosen call by throwing from it, or cut the attachment there.
using TIBCallSeam = std::function<void(const char* EntryPoint)>;
// Installs the seam (empty: none); returns the previous one.
TIBCallSeam SetIBCallSeam(TIBCallSeam Seam);
void RunIBCallSeam(const char* EntryPoint);

#define IB_CALL(name, ...) (RunIBCallSeam(#name), IBLib().name(__VA_ARGS__))
