#include "ibclient/IBBlob.h"

#include <algorithm>

#include "ibclient/IBError.h"
#include "ibclient/IBLib.h"

namespace {

constexpr unsigned short SegmentSize = 32768;

// Closes the blob on every way out; a failure while another one is raised
// stays in.
class TBlobHandle {
 public:
  ~TBlobHandle() {
    if (!Handle) return;
    ISC_STATUS_ARRAY status;
    try {
      IB_CALL(isc_close_blob, status, &Handle);
    } catch (const std::exception&) {
    }
  }
  void Close() {
    ISC_STATUS_ARRAY status;
    IB_CALL(isc_close_blob, status, &Handle);
    Handle = 0;
    IBCheck(status);
  }
  isc_blob_handle Handle = 0;
};

}  // namespace

void TIBBlobStream::Load(ISC_QUAD BlobID) {
  Clear();
  TBlobHandle blob;
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_open_blob2, status, FDatabase, FTransaction, &blob.Handle, &BlobID, 0, nullptr);
  IBCheck(status);
  char segment[SegmentSize];
  for (;;) {
    unsigned short length = 0;
    const ISC_STATUS result =
        IB_CALL(isc_get_segment, status, &blob.Handle, &length, SegmentSize, segment);
    if (result == isc_segstr_eof) break;
    if (result != 0 && result != isc_segment) IBCheck(status);
    Write(segment, length);
  }
  blob.Close();
  Seek(0, soBeginning);
}

ISC_QUAD TIBBlobStream::Store() {
  TBlobHandle blob;
  ISC_QUAD id{};
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_create_blob2, status, FDatabase, FTransaction, &blob.Handle, &id, 0, nullptr);
  IBCheck(status);
  const char* bytes = static_cast<const char*>(Memory());
  const int64_t size = Size();
  for (int64_t done = 0; done < size;) {
    const auto length = static_cast<unsigned short>(std::min<int64_t>(SegmentSize, size - done));
    IB_CALL(isc_put_segment, status, &blob.Handle, length, bytes + done);
    IBCheck(status);
    done += length;
  }
  blob.Close();
  return id;
}
