#include "SDatabase.h"

#include "common/uTools.h"

TSDatabase::TSDatabase(TComponent* AOwner) : TIBDatabase(AOwner) {
  FSession = std::make_unique<TUserSession>(this);
  FCacheManager = std::make_unique<TCacheManager>(this);
  FListKinds = std::make_unique<TListColletion>(this);
  InternalTransaction()->Params()->SetText("read\r\nread_committed\r\nrec_version\r\nnowait");
}

TSDatabase::~TSDatabase() {
  try {
    Close();
  } catch (const std::exception& e) {
    WriteLogLine("ERROR", "TSDatabase", e.what());
  }
}

void TSDatabase::SetDefaultTransactionRW(TIBTransaction* Value) {
  FDefaultTransactionRW = Value;
  if (Value) Value->FreeNotification(this);
}

void TSDatabase::Notification(TComponent* AComponent, TOperation Operation) {
  TIBDatabase::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDefaultTransactionRW) FDefaultTransactionRW = nullptr;
}

void TSDatabase::DoConnect() {
  TIBDatabase::DoConnect();
  try {
    if (LocalCache) FCacheManager->Prepare();
    FListKinds->Fill();
  } catch (...) {
    try {
      DoDisconnect();
    } catch (const std::exception& e) {
      WriteLogLine("ERROR", "TSDatabase", e.what());
    }
    throw;
  }
}

void TSDatabase::DoDisconnect() {
  if (Connected() && FSession->Handle() >= 0) {
    FSession->StopListening();
    try {
      FSession->EndSession();
    } catch (const std::exception& e) {
      WriteLogLine("ERROR", "TSDatabase", e.what());
    }
  }
  TIBDatabase::DoDisconnect();
  if (LocalCache) FCacheManager->WriteIndex();
  FListKinds->ClearAll();
}
