#include "ibclient/IBError.h"

#include "ibclient/IBLib.h"

EIBInterBaseError IBErrorFromStatus(const ISC_STATUS* Status) {
  const TIBLib& lib = IBLib();
  const int sqlCode = static_cast<int>(lib.isc_sqlcode(Status));
  AnsiString message;
  const ISC_STATUS* cursor = Status;
  char line[1024];
  while (lib.fb_interpret(line, sizeof line, &cursor) > 0) {
    if (!message.empty()) message += "\r\n";
    message += line;
  }
  return EIBInterBaseError(sqlCode, static_cast<int>(Status[1]), message);
}

void IBCheck(const ISC_STATUS* Status) {
  if (IBFailed(Status)) throw IBErrorFromStatus(Status);
}

bool IsLostConnection(int IBErrorCode) {
  switch (IBErrorCode) {
    case isc_network_error:
    case isc_net_read_err:
    case isc_net_write_err:
    case isc_att_shutdown:
    case isc_shutdown:
    case isc_lost_db_connection:
    case isc_bad_db_handle:
      return true;
    default:
      return false;
  }
}
