// The database's list of list kinds: the names of SYS$LIST_KIND, each once,
// in the order of the rows. Objects held with the names belong to the list.
#pragma once

#include "ibclient/IBDatabase.h"
#include "rtl/Classes.h"

class TListColletion : public TStringList {
 public:
  explicit TListColletion(TIBDatabase* ADatabase) : FDatabase(ADatabase) {}
  ~TListColletion() override;

  TIBDatabase* Database() const { return FDatabase; }
  // Adds the names not yet in the list, in the database's default
  // transaction (started when inactive, left active).
  void Fill();
  // Frees every object held with a name, then empties the list.
  void ClearAll();

 private:
  TIBDatabase* FDatabase;
};
