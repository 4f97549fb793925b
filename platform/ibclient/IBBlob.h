// Blob contents through the client library: read whole, or written as a
// new blob whose identifier a parameter then carries.
#pragma once

#include <ibase.h>

#include "rtl/Streams.h"

// A blob's bytes in a memory stream: Load reads a stored blob; Store writes
// the stream's content as a new blob and gives its identifier.
class TIBBlobStream : public TMemoryStream {
 public:
  TIBBlobStream(isc_db_handle* Database, isc_tr_handle* Transaction)
      : FDatabase(Database), FTransaction(Transaction) {}
  void Load(ISC_QUAD BlobID);
  ISC_QUAD Store();

 private:
  isc_db_handle* FDatabase;
  isc_tr_handle* FTransaction;
};
