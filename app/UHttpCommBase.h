// The workstation's abstract HTTP client: GET and POST of a string body to a
// path under one base address. A client is created with the base address and
// whether it uses TLS (TSCommAlt(BaseURL, SSL)).
#pragma once

#include "rtl/Classes.h"

class TSCommBase : public TObject {
 public:
  virtual bool Get(const AnsiString& Path, AnsiString& Response) = 0;
  virtual bool Get(const AnsiString& Path) = 0;
  virtual bool Post(const AnsiString& Path, const AnsiString& Data, AnsiString& Response) = 0;
  virtual bool Post(const AnsiString& Path, const AnsiString& Data) = 0;
};
