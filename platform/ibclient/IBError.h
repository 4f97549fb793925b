// Errors of the database client: the server's (with its SQL code and error
// code) and the layer's own (misuse, missing library).
#pragma once

#include <ibase.h>

#include "db/DBTypes.h"
#include "rtl/SysUtils.h"

// A database error, so the datasets' error events take it.
KS_EXCEPTION(EIBError, EDatabaseError);
KS_EXCEPTION(EIBClientError, EIBError);

class EIBInterBaseError : public EIBError {
 public:
  EIBInterBaseError(int ASQLCode, int AIBErrorCode, const AnsiString& AMessage)
      : EIBError(AMessage), SQLCode(ASQLCode), IBErrorCode(AIBErrorCode) {}
  int SQLCode;
  int IBErrorCode;
};

// Raises EIBInterBaseError when the status vector holds an error.
void IBCheck(const ISC_STATUS* Status);
// The status vector's error as an exception object.
EIBInterBaseError IBErrorFromStatus(const ISC_STATUS* Status);
inline bool IBFailed(const ISC_STATUS* Status) { return Status[0] == 1 && Status[1] != 0; }
// True for the error codes of an attachment that is gone (shut down, network lost).
bool IsLostConnection(int IBErrorCode);
