#include "zip/ZAArchiver.h"

#include <exception>

#include "rtl/SysUtils.h"
#include "zip/ZADrive.h"
#include "zip/ZAErrors.h"
#include "zip/ZAReader.h"
#include "zip/ZAUpdate.h"

TZAPrompts& ZAPrompts() {
  static TZAPrompts prompts;
  return prompts;
}

namespace {

bool Confirm(const AnsiString& text) { return ZAPrompts().Confirm && ZAPrompts().Confirm(text); }
bool OkCancel(const AnsiString& text) { return ZAPrompts().OkCancel && ZAPrompts().OkCancel(text); }
bool Input(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  return ZAPrompts().Input && ZAPrompts().Input(caption, prompt, value);
}
void Message(const AnsiString& text) {
  if (ZAPrompts().Message) ZAPrompts().Message(text);
}
AnsiString ShownName(const AnsiString& fileName) {
  return StringReplace(fileName, "/", "\\", rfReplaceAll);
}

}  // namespace

void TZAOptions::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TZAOptions*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  Recurse = other->Recurse;
  StorePath = other->StorePath;
  ShareMode = other->ShareMode;
  OverwriteMode = other->OverwriteMode;
  CreateDirs = other->CreateDirs;
  ReplaceReadOnly = other->ReplaceReadOnly;
  SetAttributes = other->SetAttributes;
  SearchAttr = other->SearchAttr;
  FlushBuffers = other->FlushBuffers;
  OEMFileNames = other->OEMFileNames;
}

// ---- Construction and properties -------------------------------------------

TZABaseArchiver::TZABaseArchiver(TComponent* AOwner)
    : TComponent(AOwner),
      FSpanningOptions(std::make_unique<TZASpanningOptions>()),
      FOptions(std::make_unique<TZAOptions>()),
      FFileMasks(std::make_unique<TStringList>()),
      FExclusionMasks(std::make_unique<TStringList>()),
      FNoCompressionMasks(std::make_unique<TStringList>()) {
  SetCompressionLevel(clFastest);
}

TZABaseArchiver::~TZABaseArchiver() {
  try {
    CloseArchive();
  } catch (...) {
    // A destructor has no one to report to.
  }
}

void TZABaseArchiver::SetCompressionLevel(TZACompressionLevel value) {
  FCompressionLevel = value;
  FCompressionMode = ZALevelToMode(value);
  SetCompressionMethod();
}

void TZABaseArchiver::SetCompressionMode(uint8_t value) {
  FCompressionLevel = ZAModeToLevel(value);
  FCompressionMode = value;
  SetCompressionMethod();
}

void TZABaseArchiver::SetCompressionMethod() { FCompressionMethod = 0xFFFF; }

void TZABaseArchiver::SetSpanningMode(TZASpanningMode value) {
  if (FActive) throw Exception("Cannot set spanning mode on open archive");
  FSpanningMode = value;
}

void TZABaseArchiver::SetInMemory(bool value) {
  if (value == FInMemory) return;
  if (!FActive) {
    FInMemory = value;
    return;
  }
  if (!value) {
    if (ExtractFileName(FileName).empty()) throw EZAException(29);
    {
      TFileStream file(FileName, fmCreate);
      file.CopyFrom(Stream(), 0);
    }
    CloseArchive();
    FInMemory = false;
  } else {
    CloseArchive();
    FInMemory = true;
  }
  OpenArchive();
}

TZAFormatSettings TZABaseArchiver::FormatSettings() const {
  TZAFormatSettings settings;
  settings.StandardSignatures = FStandardSignatures;
  settings.OEMFileNames = FOptions->OEMFileNames;
  settings.Zip64Mode = FZip64Mode;
  return settings;
}

TZAVolumeNaming TZABaseArchiver::VolumeNaming() const {
  TZAVolumeNaming naming;
  naming.FileName = FileName;
  naming.Mode = FSpanningMode;
  naming.AdvancedNaming = FSpanningOptions->AdvancedNaming;
  naming.HasStub =
      !SFXStub.empty() || ZAIsExeName(FileName) || (FDirManager && FDirManager->DataStart > 0);
  naming.StandardSignatures = FStandardSignatures;
  return naming;
}

// ---- Opening and closing -----------------------------------------------------

void TZABaseArchiver::CheckFileNamed(int32_t error) const {
  if (!FInMemory && ExtractFileName(FileName).empty()) throw EZAException(error);
}

void TZABaseArchiver::OpenArchive() {
  CheckFileNamed(9);
  uint32_t mode = ZA_MODE_CREATE;
  if (!FInMemory && FileExists(FileName)) {
    mode = ZA_MODE_READ_ONLY;
    try {
      TFileStream probe(FileName, ZA_MODE_READ_WRITE);
      mode = ZA_MODE_READ_WRITE;
    } catch (const EStreamError&) {
    }
  }
  OpenArchive(mode);
}

void TZABaseArchiver::OpenArchive(uint32_t mode) {
  CheckFileNamed(10);
  if (mode != ZA_MODE_CREATE) {
    if (FInMemory) throw EZAException(28);
    if (!FileExists(FileName) && FSpanningMode != smSpanning &&
        ZADrive().DriveType(FileName) != dtRemovable)
      throw EZAException(12, {FileName});
  }
  CloseArchive();
  FCallerStream = false;
  FOpenMode = mode;
  FVolumeUpdateDone = false;
  try {
    if (mode == ZA_MODE_CREATE || FInMemory)
      CreateArchive();
    else
      OpenExisting(mode);
  } catch (...) {
    Release();
    throw;
  }
  FActive = true;
  if (AfterOpen) AfterOpen(this);
}

void TZABaseArchiver::OpenArchive(TStream* stream, bool create) {
  if (FSpanningMode != smNone) throw EZAException(51);
  CloseArchive();
  FCallerStream = true;
  FOpenMode = 0;
  FVolumeUpdateDone = false;
  FVolumes = std::make_unique<TZAVolumes>(stream, false);
  FDirManager = std::make_unique<TZADirManager>(stream, static_cast<TZADirOwner*>(this));
  FDirManager->CallerStream = true;
  try {
    if (create) {
      stream->SetSize(0);
      stream->SetPosition(0);
      FDirManager->CreatedNew = true;
      ZAWriteCentralDirectory(*FDirManager, *FVolumes, FormatSettings());
    } else {
      TZAReader(*this).ReadDirectory();
    }
  } catch (...) {
    Release();
    throw;
  }
  FActive = true;
  if (AfterOpen) AfterOpen(this);
}

void TZABaseArchiver::CreateArchive() {
  if (FInMemory) {
    FVolumes = std::make_unique<TZAVolumes>(new TMemoryStream(), true);
  } else if (FSpanningMode != smNone) {
    FVolumes = std::make_unique<TZAVolumes>(static_cast<TZAVolumeHost*>(this), VolumeNaming(),
                                            *FSpanningOptions);
    FVolumes->CreateFirst();
  } else {
    FVolumes = std::make_unique<TZAVolumes>(new TFileStream(FileName, fmCreate), true);
  }
  FDirManager = std::make_unique<TZADirManager>(Stream(), static_cast<TZADirOwner*>(this));
  FDirManager->CreatedNew = true;
  if (!SFXStub.empty()) CopyStub();
}

void TZABaseArchiver::CopyStub() {
  TFileStream stub(SFXStub, fmOpenRead | fmShareDenyNone);
  const int64_t size = stub.Size();
  const int64_t limit = ZAVolumeSizeLimit(*FSpanningOptions, 0);
  if (FVolumes->MultiVolume() && limit > 0 && limit < size) throw EZAException(47);
  Stream()->SetSize(0);
  Stream()->SetPosition(0);
  if (Stream()->CopyFrom(&stub, 0) != size) throw EZAException(46);
  FDirManager->DataStart = size;
}

void TZABaseArchiver::OpenExisting(uint32_t mode) {
  FSpanningMode = smNone;
  auto stream = std::make_unique<TFileStream>(FileName, mode);
  // An end record on a later disk, or none at all beside a last volume of
  // the stub's split naming, makes this a multi-volume archive.
  TZAFoundEnd found;
  const uint32_t endSignature = ZASignatures(FStandardSignatures).End;
  const bool hasEnd = ZAFindEndRecord(stream.get(), endSignature, found);
  TZAVolumeNaming naming = VolumeNaming();
  naming.Mode = smSplitting;
  int32_t last = hasEnd ? found.Record.DiskNumber : 0;
  if (hasEnd && last > 0) {
    const bool split = FileExists(ZAVolumeFileName(naming, last - 1, false)) ||
                       FileExists(ZAOtherVolumeFileName(naming, last - 1, false));
    FSpanningMode = split ? smSplitting : ZAIsExeName(FileName) ? smNone : smSpanning;
  } else if (!hasEnd && naming.HasStub) {
    naming.FileName = ZAVolumeFileName(naming, 0, true);
    std::unique_ptr<TFileStream> lastVolume;
    if (FileExists(naming.FileName)) {
      lastVolume = std::make_unique<TFileStream>(naming.FileName, ZA_MODE_READ_ONLY);
      if (ZAFindEndRecord(lastVolume.get(), endSignature, found) && found.Record.DiskNumber > 0) {
        FSpanningMode = smSplitting;
        last = found.Record.DiskNumber;
      }
    }
  }
  if (FSpanningMode == smNone) {
    FVolumes = std::make_unique<TZAVolumes>(stream.release(), true);
  } else {
    stream.reset();
    FVolumes = std::make_unique<TZAVolumes>(static_cast<TZAVolumeHost*>(this), VolumeNaming(),
                                            *FSpanningOptions);
    FVolumes->OpenExisting(last, last);
    // Volumes once written stay as they are.
    FVolumeUpdateDone = true;
  }
  FDirManager = std::make_unique<TZADirManager>(Stream(), static_cast<TZADirOwner*>(this));
  TZAReader(*this).ReadDirectory();
}

void TZABaseArchiver::Release() {
  FActive = false;
  FUpdateCount = 0;
  FDirManager.reset();
  FVolumes.reset();
}

void TZABaseArchiver::CloseArchive() {
  std::exception_ptr error;
  if (FActive) {
    try {
      if (FUpdateCount > 0) TZAUpdatePass(*this).Run();
      if (Stream()->Size() == 0) {
        Stream()->SetPosition(0);
        ZAWriteCentralDirectory(*FDirManager, *FVolumes, FormatSettings());
      }
      FVolumes->Finish();
    } catch (...) {
      error = std::current_exception();
    }
  }
  Release();
  if (error) std::rethrow_exception(error);
}

// ---- Update bracket and adding -------------------------------------------------

void TZABaseArchiver::BeginUpdate() {
  if (FVolumeUpdateDone) throw EZAException(62);
  if (FUpdateCount == 0) {
    if (!FActive) OpenArchive();
    if (!FInMemory && !FCallerStream && (FOpenMode & 3) == 0) throw EZAException(32);
    for (int32_t i = 0; i < FDirManager->Items.Count(); ++i)
      FDirManager->Items.Items(i).Pending = false;
    FDirManager->SavedItems.Assign(FDirManager->Items);
  }
  ++FUpdateCount;
}

void TZABaseArchiver::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (FUpdateCount > 1) {
    --FUpdateCount;
    return;
  }
  TZAUpdatePass(*this).Run();
  if (FVolumes->MultiVolume()) {
    if (FOpenMode == ZA_MODE_CREATE) FOpenMode = ZA_MODE_READ_WRITE;
    FVolumeUpdateDone = true;
  }
}

void TZABaseArchiver::CancelUpdate() {
  if (FUpdateCount <= 0) return;
  FUpdateCount = 0;
  // Entries never written must not stay in the directory.
  for (int32_t i = 0; i < FDirManager->Items.Count(); ++i)
    FDirManager->Items.Items(i).ReleaseSource();
  FDirManager->Items.Assign(FDirManager->SavedItems);
}

void TZABaseArchiver::AddFromString(const AnsiString& fileName, const AnsiString& text,
                                    TDateTime dateTime, uint32_t attributes) {
  AddFromStream(fileName, new TStringStream(text), dateTime, attributes, -1, 0, true, false);
}

void TZABaseArchiver::AddFromStream(const AnsiString& fileName, TStream* stream, TDateTime dateTime,
                                    uint32_t attributes, int64_t count, int64_t position,
                                    bool ownsStream, bool copyData) {
  std::unique_ptr<TStream> owned(ownsStream ? stream : nullptr);
  if (!FActive) throw EZAException(13);
  if (FSpanningMode != smNone && FDirManager->Items.Count() > 0 && FUpdateCount == 0)
    throw EZAException(52);
  if (!stream) throw EZAException(6);
  const int64_t start = position >= 0 ? position : stream->Position();
  int64_t size = std::max<int64_t>(stream->Size() - start, 0);
  if (count >= 0) size = std::min(size, count);
  if (uint64_t(size) >= ZA_ZIP64_VALUE32 && FZip64Mode == ZA_ZIP64_OFF)
    throw EZAException(41, {fileName});

  BeginUpdate();
  try {
    const int32_t index = FDirManager->AddOrReplace(fileName, dateTime, attributes, false);
    if (index >= 0) {
      TZADirItem& item = FDirManager->Items.Items(index);
      if (copyData) {
        auto copy = std::make_unique<TMemoryStream>();
        const int64_t was = stream->Position();
        stream->SetPosition(start);
        copy->CopyFrom(stream, size);
        stream->SetPosition(was);
        item.SetSource(copy.release(), true, 0);
      } else {
        item.SetSource(ownsStream ? owned.release() : stream, ownsStream, start);
      }
      item.SetSourceSize(uint64_t(size), FormatSettings());
    }
  } catch (...) {
    if (FUpdateCount == 1)
      CancelUpdate();
    else
      --FUpdateCount;
    throw;
  }
  EndUpdate();
}

// ---- Events and their defaults ---------------------------------------------------

bool TZABaseArchiver::DoOverallProgress(double progress, uint8_t operation,
                                        TZAProgressPhase phase) {
  bool cancel = false;
  if (OnOverallProgress) OnOverallProgress(this, progress, operation, phase, cancel);
  return cancel;
}

bool TZABaseArchiver::DoFileProgress(const AnsiString& fileName, double progress, uint8_t operation,
                                     TZAProgressPhase phase) {
  bool cancel = false;
  if (OnFileProgress) OnFileProgress(this, fileName, progress, operation, phase, cancel);
  return cancel;
}

bool TZABaseArchiver::DoCopyTempFileProgress(double progress, TZAProgressPhase phase) {
  bool cancel = false;
  if (OnCopyTempFileProgress) OnCopyTempFileProgress(this, progress, phase, cancel);
  return cancel;
}

bool TZABaseArchiver::DoConfirmOverwrite(const AnsiString& sourceFileName,
                                         const AnsiString& destFileName) {
  if (!OnConfirmOverwrite)
    return Confirm(Format("Overwrite file \"%s\" with \"%s\"", {destFileName, sourceFileName}));
  bool confirm = true;
  OnConfirmOverwrite(this, sourceFileName, destFileName, confirm);
  return confirm;
}

bool TZABaseArchiver::DoConfirmProcessFile(const AnsiString& fileName, uint8_t operation) {
  bool confirm = true;
  if (OnConfirmProcessFile) OnConfirmProcessFile(this, fileName, operation, confirm);
  return confirm;
}

bool TZABaseArchiver::DoPassword(const AnsiString& fileName, AnsiString& password) {
  password.clear();
  if (!OnPassword)
    return Input(Format("Password for \"%s\"", {fileName}), "Enter password: ", password);
  bool skip = false;
  OnPassword(this, fileName, password, skip);
  return !skip;
}

TZAFailureAction TZABaseArchiver::DoProcessFileFailure(const AnsiString& fileName,
                                                       uint8_t operation,
                                                       const EZAException& error) {
  TZAFailureAction action = fxIgnore;
  if (OnProcessFileFailure)
    OnProcessFileFailure(this, fileName, operation, error, action);
  else
    Message(Format("%s. File processing error, possibly disk is full", {error.Message()}));
  return action;
}

namespace {

bool RaiseVolumeEvent(const TZAVolumeEvent& event, TObject* sender, int32_t number,
                      const AnsiString& fileName, const AnsiString& text) {
  if (!event) return !OkCancel(text);
  bool cancel = false;
  event(sender, number, fileName, cancel);
  return cancel;
}

}  // namespace

bool TZABaseArchiver::DoRequestBlankVolume(int32_t number, const AnsiString& fileName) {
  return RaiseVolumeEvent(OnRequestBlankVolume, this, number, fileName,
                          Format("Please insert a blank disk #%d", {number}));
}

bool TZABaseArchiver::DoRequestFirstVolume(const AnsiString& fileName) {
  return RaiseVolumeEvent(OnRequestFirstVolume, this, 1, fileName, "Please insert the first disk");
}

bool TZABaseArchiver::DoRequestLastVolume(int32_t number, const AnsiString& fileName) {
  return RaiseVolumeEvent(OnRequestLastVolume, this, number, fileName,
                          "Please insert the last disk");
}

bool TZABaseArchiver::DoRequestMiddleVolume(int32_t number, const AnsiString& fileName) {
  return RaiseVolumeEvent(OnRequestMiddleVolume, this, number, fileName,
                          Format("Please insert disk #%d", {number}));
}

bool TZABaseArchiver::DoDiskFull(int32_t number, const AnsiString& fileName, int64_t required,
                                 int64_t available) {
  if (!OnDiskFull)
    return !OkCancel(Format(
        "Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean the "
        "disk or find another blank disk",
        {required, available}));
  bool cancel = true;
  OnDiskFull(this, number, fileName, required, available, cancel);
  return cancel;
}

void TZABaseArchiver::DoStoreFile(const AnsiString& fileName) {
  if (OnStoreFile) OnStoreFile(this, ShownName(fileName));
}

void TZABaseArchiver::DoExtractFile(const AnsiString& fileName) {
  if (OnExtractFile) OnExtractFile(this, ShownName(fileName));
}

bool TZABaseArchiver::RetryWrite(int64_t required) {
  const int32_t number = FVolumes ? FVolumes->Number() + 1 : 1;
  return !DoDiskFull(number, FileName, required, ZADrive().FreeSpace(FileName));
}

// ---- Hooks of the directory and the volumes -----------------------------------------

TZANewEntrySettings TZABaseArchiver::NewEntrySettings() const {
  TZANewEntrySettings settings;
  settings.Format = FormatSettings();
  settings.OverwriteMode = FOptions->OverwriteMode;
  settings.Password = Password;
  settings.CompressionMode = FCompressionMode;
  settings.CompressionMethod = FCompressionMethod;
  return settings;
}

bool TZABaseArchiver::ConfirmOverwrite(const TZADirItem& existing, const AnsiString& newSource) {
  return DoConfirmOverwrite(newSource, existing.FileName);
}

bool TZABaseArchiver::RequestBlankVolume(int32_t number, const AnsiString& fileName) {
  return !DoRequestBlankVolume(number, fileName);
}

bool TZABaseArchiver::DiskFull(int32_t number, const AnsiString& fileName, int64_t required,
                               int64_t available) {
  return DoDiskFull(number, fileName, required, available);
}

bool TZABaseArchiver::RequestVolume(TRequest which, int32_t number, const AnsiString& fileName) {
  switch (which) {
    case rqFirst:
      return !DoRequestFirstVolume(fileName);
    case rqLast:
      return !DoRequestLastVolume(number, fileName);
    case rqMiddle:
      break;
  }
  return !DoRequestMiddleVolume(number, fileName);
}

void TZABaseArchiver::VolumeChanged(TStream* stream) {
  if (FDirManager) FDirManager->Stream = stream;
}

// ---- TZipArchiver ------------------------------------------------------------------

TZipArchiver::TZipArchiver(TComponent* AOwner) : TZABaseArchiver(AOwner) {
  FStandardSignatures = true;
  FZip64Mode = ZA_ZIP64_OFF;
  SetCompressionMethod();
}

void TZipArchiver::SetCompressionMethod() {
  FCompressionMethod = CompressionMode() != 0 ? ZA_METHOD_DEFLATE : ZA_METHOD_STORED;
}
