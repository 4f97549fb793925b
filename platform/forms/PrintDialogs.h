// The system's font, print and printer-setup dialogs. Each asks through the
// prompts; the printer dialogs act on the process printer.
#pragma once

#include "forms/Graphics.h"
#include "rtl/Classes.h"

class TFontDialog : public TComponent {
 public:
  explicit TFontDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TFont* Font() { return &FFont; }
  // True with Font's face (and size and style, from the real dialog) chosen.
  bool Execute();

 private:
  TFont FFont;
};

class TPrinterSetupDialog : public TComponent {
 public:
  explicit TPrinterSetupDialog(TComponent* AOwner) : TComponent(AOwner) {}
  // True when confirmed: the process printer then is the chosen one, with
  // the chosen settings.
  bool Execute();
};

// Chooses the pages to print out of MinPage..MaxPage.
class TPrintDialog : public TComponent {
 public:
  explicit TPrintDialog(TComponent* AOwner) : TComponent(AOwner) {}
  int MinPage = 1, MaxPage = 1;
  int FromPage = 1, ToPage = 1;  // the choice, clamped to MinPage..MaxPage
  bool Execute();
};
