#include "forms/PrintDialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "forms/Printers.h"
#include "forms/Prompts.h"

namespace {

// A movable copy of the printer's device mode for a dialog to change.
HGLOBAL CopyDeviceMode(HGLOBAL Mode) {
  if (!Mode) return nullptr;
  const SIZE_T Size = GlobalSize(Mode);
  HGLOBAL Copy = GlobalAlloc(GMEM_MOVEABLE, Size);
  if (!Copy) return nullptr;
  std::memcpy(GlobalLock(Copy), GlobalLock(Mode), Size);
  GlobalUnlock(Mode);
  GlobalUnlock(Copy);
  return Copy;
}

// Runs the printer dialog on the process printer's settings and, when
// confirmed, makes its choice the process printer's.
bool RunPrinterDialog(PRINTDLGA& Dialog) {
  TPrinter* Current = Printer();
  if (Current->Printers()->Count() > 0) {
    AnsiString Device, Driver, Port;
    HGLOBAL Mode = nullptr;
    Current->GetPrinter(Device, Driver, Port, Mode);
    Dialog.hDevMode = CopyDeviceMode(Mode);
  }
  Dialog.lStructSize = sizeof Dialog;
  Dialog.hwndOwner = GetActiveWindow();
  const bool Confirmed = PrintDlgA(&Dialog);
  if (Confirmed && Dialog.hDevNames) {
    auto* Names = static_cast<DEVNAMES*>(GlobalLock(Dialog.hDevNames));
    const char* Base = reinterpret_cast<const char*>(Names);
    const AnsiString Device = Base + Names->wDeviceOffset, Driver = Base + Names->wDriverOffset,
                     Port = Base + Names->wOutputOffset;
    GlobalUnlock(Dialog.hDevNames);
    Current->SetPrinter(Device, Driver, Port, Dialog.hDevMode);
    Dialog.hDevMode = nullptr;  // the printer owns it now
  }
  if (Dialog.hDevMode) GlobalFree(Dialog.hDevMode);
  if (Dialog.hDevNames) GlobalFree(Dialog.hDevNames);
  return Confirmed;
}

AnsiString PrinterName() {
  TPrinter* Current = Printer();
  const int Index = Current->PrinterIndex();
  return Index >= 0 ? Current->Printers()->Strings(Index) : AnsiString();
}

}  // namespace

bool TFontDialog::Execute() {
  TPrompt Question{TPromptKind::ChooseFont};
  Question.Value = FFont.Name();
  const TPromptAnswer Answer = Prompts().Ask(Question, [&] {
    LOGFONTA Font{};
    GetObjectA(FFont.Handle(), sizeof Font, &Font);
    CHOOSEFONTA Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = GetActiveWindow();
    Dialog.lpLogFont = &Font;
    Dialog.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontA(&Dialog)) return TPromptAnswer{0, ""};
    FFont.SetLogFont(Font);
    return TPromptAnswer{1, Font.lfFaceName};
  });
  if (Answer.Result) FFont.SetName(Answer.Value);
  return Answer.Result != 0;
}

bool TPrinterSetupDialog::Execute() {
  const TPromptAnswer Answer =
      Prompts().Ask(TPrompt{TPromptKind::PrinterSetup, {}, PrinterName()}, [] {
        PRINTDLGA Dialog{};
        Dialog.Flags = PD_PRINTSETUP;
        return TPromptAnswer{RunPrinterDialog(Dialog) ? 1 : 0, ""};
      });
  return Answer.Result != 0;
}

bool TPrintDialog::Execute() {
  TPrompt Question{TPromptKind::PrintPages, {}, PrinterName()};
  Question.Default = MaxPage;
  const TPromptAnswer Answer = Prompts().Ask(Question, [&] {
    PRINTDLGA Dialog{};
    Dialog.Flags = PD_PAGENUMS | PD_NOSELECTION;
    Dialog.nMinPage = static_cast<WORD>(MinPage);
    Dialog.nMaxPage = static_cast<WORD>(MaxPage);
    Dialog.nFromPage = static_cast<WORD>(MinPage);
    Dialog.nToPage = static_cast<WORD>(MaxPage);
    Dialog.nCopies = 1;
    if (!RunPrinterDialog(Dialog)) return TPromptAnswer{0, ""};
    const bool Range = Dialog.Flags & PD_PAGENUMS;
    return TPromptAnswer{1,
                         "",
                         {IntToStr(Range ? Dialog.nFromPage : MinPage),
                          IntToStr(Range ? Dialog.nToPage : MaxPage)}};
  });
  if (!Answer.Result) return false;
  FromPage = std::clamp(StrToIntDef(Answer.Options.at(0), MinPage), MinPage, MaxPage);
  ToPage = std::clamp(StrToIntDef(Answer.Options.at(1), MaxPage), FromPage, MaxPage);
  return true;
}
