#include "forms/Printers.h"

#include <set>

class TPrinter::TPrinterCanvas : public TCanvas {
 public:
  explicit TPrinterCanvas(TPrinter* Printer) : FPrinter(Printer) {}

 protected:
  // Fonts keep their size in points on the printer's resolution.
  void CreateHandle() override {
    HDC DC = FPrinter->Handle();
    const int Size = Font()->Size();
    Font()->SetPixelsPerInch(GetDeviceCaps(DC, LOGPIXELSY));
    Font()->SetSize(Size);
    SetHandle(DC);
  }

 private:
  TPrinter* FPrinter;
};

namespace {

int CALLBACK AddFontName(const LOGFONTA* Font, const TEXTMETRICA*, DWORD, LPARAM Names) {
  reinterpret_cast<std::set<AnsiString>*>(Names)->insert(Font->lfFaceName);
  return 1;
}

}  // namespace

TPrinter::TPrinter() : FCanvas(std::make_unique<TPrinterCanvas>(this)) {}

TPrinter::~TPrinter() {
  if (FPrinting) AbortDoc(FContext);
  FreeContext();
  if (FDeviceMode) GlobalFree(FDeviceMode);
}

void TPrinter::LoadPrinters() {
  if (FLoaded) return;
  FLoaded = true;
  const DWORD Flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD Needed = 0, Count = 0;
  EnumPrintersA(Flags, nullptr, 2, nullptr, 0, &Needed, &Count);
  std::vector<BYTE> Buffer(Needed);
  if (Needed && EnumPrintersA(Flags, nullptr, 2, Buffer.data(), Needed, &Needed, &Count)) {
    const auto* Infos = reinterpret_cast<const PRINTER_INFO_2A*>(Buffer.data());
    for (DWORD I = 0; I < Count; ++I) {
      FEntries.push_back({Infos[I].pPrinterName, Infos[I].pDriverName ? Infos[I].pDriverName : "",
                          Infos[I].pPortName ? Infos[I].pPortName : ""});
      FPrinters.Add(Infos[I].pPrinterName);
    }
  }
  char Default[256];
  DWORD Size = sizeof Default;
  const int DefaultIndex = GetDefaultPrinterA(Default, &Size) ? FPrinters.IndexOf(Default) : -1;
  FPrinterIndex = DefaultIndex >= 0 || FEntries.empty() ? DefaultIndex : 0;
}

TStrings* TPrinter::Printers() {
  LoadPrinters();
  return &FPrinters;
}

int TPrinter::PrinterIndex() {
  LoadPrinters();
  return FPrinterIndex;
}

const TPrinter::TPrinterEntry& TPrinter::Current() {
  LoadPrinters();
  if (FPrinterIndex < 0) throw EPrinter("Принтер не выбран: в системе нет ни одного принтера");
  return FEntries[FPrinterIndex];
}

void TPrinter::CheckNotPrinting() const {
  if (FPrinting) throw EPrinter("Идёт печать: действие недоступно до конца документа");
}

void TPrinter::CheckPrinting() const {
  if (!FPrinting) throw EPrinter("Печать не идёт: документ не начат");
}

void TPrinter::FreeContext() {
  FCanvas->SetHandle(nullptr);
  if (FContext) DeleteDC(FContext);
  FContext = nullptr;
}

void TPrinter::ChangeDeviceMode(HGLOBAL DeviceMode) {
  if (FDeviceMode && FDeviceMode != DeviceMode) GlobalFree(FDeviceMode);
  FDeviceMode = DeviceMode;
  FreeContext();
}

template <typename F>
auto TPrinter::WithDeviceMode(F Use) {
  if (!FDeviceMode) {
    AnsiString Device = Current().Device;
    HANDLE Handle = nullptr;
    if (OpenPrinterA(Device.data(), &Handle, nullptr)) {
      const LONG Size = DocumentPropertiesA(nullptr, Handle, Device.data(), nullptr, nullptr, 0);
      HGLOBAL Mode = Size > 0 ? GlobalAlloc(GHND, Size) : nullptr;
      if (Mode) {
        auto* Fields = static_cast<DEVMODEA*>(GlobalLock(Mode));
        const LONG Got =
            DocumentPropertiesA(nullptr, Handle, Device.data(), Fields, nullptr, DM_OUT_BUFFER);
        GlobalUnlock(Mode);
        if (Got == IDOK)
          FDeviceMode = Mode;
        else
          GlobalFree(Mode);
      }
      ClosePrinter(Handle);
    }
  }
  DEVMODEA* Fields = FDeviceMode ? static_cast<DEVMODEA*>(GlobalLock(FDeviceMode)) : nullptr;
  struct Unlock {
    HGLOBAL Mode;
    ~Unlock() {
      if (Mode) GlobalUnlock(Mode);
    }
  } Guard{Fields ? FDeviceMode : nullptr};
  return Use(Fields);
}

void TPrinter::SetPrinterIndex(int Index) {
  CheckNotPrinting();
  LoadPrinters();
  if (Index < -1 || Index >= static_cast<int>(FEntries.size()))
    throw EPrinter(Format("Принтера с номером %d нет", {Index}));
  if (Index == -1) {
    FLoaded = false;
    FEntries.clear();
    FPrinters.Clear();
    LoadPrinters();
  } else {
    FPrinterIndex = Index;
  }
  ChangeDeviceMode(nullptr);
}

void TPrinter::GetPrinter(AnsiString& Device, AnsiString& Driver, AnsiString& Port,
                          HGLOBAL& DeviceMode) {
  WithDeviceMode([](DEVMODEA*) { return 0; });
  const TPrinterEntry& Entry = Current();
  Device = Entry.Device;
  Driver = Entry.Driver;
  Port = Entry.Port;
  DeviceMode = FDeviceMode;
}

void TPrinter::SetPrinter(const AnsiString& Device, const AnsiString& Driver,
                          const AnsiString& Port, HGLOBAL DeviceMode) {
  CheckNotPrinting();
  LoadPrinters();
  int Index = FPrinters.IndexOf(Device);
  if (Index < 0) {
    FEntries.push_back({Device, Driver, Port});
    Index = FPrinters.Add(Device);
  }
  FPrinterIndex = Index;
  ChangeDeviceMode(DeviceMode);
}

TPrinterCapabilities TPrinter::Capabilities() {
  const TPrinterEntry& Entry = Current();
  return WithDeviceMode([&](DEVMODEA* Mode) {
    TPrinterCapabilities Result;
    auto Ask = [&](WORD What) {
      return DeviceCapabilitiesA(Entry.Device.c_str(), Entry.Port.c_str(), What, nullptr, Mode);
    };
    if (Ask(DC_COPIES) > 1) Result.Include(pcCopies);
    if (Ask(DC_ORIENTATION) > 0) Result.Include(pcOrientation);
    if (Ask(DC_COLLATE) == 1) Result.Include(pcCollation);
    return Result;
  });
}

TStrings* TPrinter::Fonts() {
  std::set<AnsiString> Names;
  LOGFONTA Wanted{};
  Wanted.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExA(Handle(), &Wanted, AddFontName, reinterpret_cast<LPARAM>(&Names), 0);
  FFonts.Clear();
  for (const AnsiString& Name : Names) FFonts.Add(Name);
  return &FFonts;
}

int TPrinter::NumCopies() {
  return WithDeviceMode([](DEVMODEA* Mode) { return Mode ? Mode->dmCopies : 1; });
}

void TPrinter::SetNumCopies(int Value) {
  CheckNotPrinting();
  WithDeviceMode([&](DEVMODEA* Mode) {
    if (!Mode) return 0;
    Mode->dmCopies = static_cast<short>(Value);
    Mode->dmFields |= DM_COPIES;
    return 0;
  });
  FreeContext();
}

TPrinterOrientation TPrinter::Orientation() {
  return WithDeviceMode([](DEVMODEA* Mode) {
    return Mode && Mode->dmOrientation == DMORIENT_LANDSCAPE ? poLandscape : poPortrait;
  });
}

void TPrinter::SetOrientation(TPrinterOrientation Value) {
  CheckNotPrinting();
  WithDeviceMode([&](DEVMODEA* Mode) {
    if (!Mode) return 0;
    Mode->dmOrientation = Value == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    Mode->dmFields |= DM_ORIENTATION;
    return 0;
  });
  FreeContext();
}

int TPrinter::PageWidth() { return GetDeviceCaps(Handle(), HORZRES); }
int TPrinter::PageHeight() { return GetDeviceCaps(Handle(), VERTRES); }

HDC TPrinter::Handle() {
  if (FContext) return FContext;
  const TPrinterEntry& Entry = Current();
  FContext = WithDeviceMode([&](DEVMODEA* Mode) {
    return FPrinting ? CreateDCA("WINSPOOL", Entry.Device.c_str(), nullptr, Mode)
                     : CreateICA("WINSPOOL", Entry.Device.c_str(), nullptr, Mode);
  });
  if (!FContext) throw EPrinter(Format("Принтер \"%s\" недоступен", {Entry.Device}));
  return FContext;
}

TCanvas* TPrinter::Canvas() { return FCanvas.get(); }

void TPrinter::BeginDoc() {
  CheckNotPrinting();
  FreeContext();
  FPrinting = true;  // the context made now is a device context
  try {
    HDC DC = Handle();
    DOCINFOA Info{};
    Info.cbSize = sizeof Info;
    Info.lpszDocName = FTitle.c_str();
    Info.lpszOutput = FOutputFile.empty() ? nullptr : FOutputFile.c_str();
    // Wine's spooler writes over a file without shortening it: the tail of
    // a longer document before would stay behind this one.
    if (!FOutputFile.empty()) EmptyOutputFile();
    if (StartDocA(DC, &Info) <= 0) RaiseLastOSError();
    StartPage(DC);
  } catch (...) {
    FPrinting = false;
    FreeContext();
    throw;
  }
  FAborted = false;
  FPageNumber = 1;
}

void TPrinter::EmptyOutputFile() {
  HANDLE File = CreateFileA(FOutputFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) RaiseLastOSError();
  CloseHandle(File);
}

void TPrinter::NewPage() {
  CheckPrinting();
  EndPage(FContext);
  StartPage(FContext);
  ++FPageNumber;
}

void TPrinter::EndDoc() {
  CheckPrinting();
  EndPage(FContext);
  ::EndDoc(FContext);
  FPrinting = false;
  FPageNumber = 0;
  FreeContext();
}

void TPrinter::Abort() {
  CheckPrinting();
  AbortDoc(FContext);
  FPrinting = false;
  FAborted = true;
  FPageNumber = 0;
  FreeContext();
}

namespace {

std::unique_ptr<TPrinter>& GlobalPrinter() {
  static std::unique_ptr<TPrinter> Instance;
  return Instance;
}

}  // namespace

TPrinter* Printer() {
  if (!GlobalPrinter()) GlobalPrinter() = std::make_unique<TPrinter>();
  return GlobalPrinter().get();
}

TPrinter* SetPrinter(TPrinter* NewPrinter) {
  TPrinter* Former = GlobalPrinter().release();
  GlobalPrinter().reset(NewPrinter);
  return Former;
}
