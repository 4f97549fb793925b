// A picture of the main form as the program starts it (the installed
// Morvel and minidriver beside the executable): the form must have drawn
// its pages and controls. The picture is left in mainform.bmp.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "FormsTestKit.h"
#include "app/uCertReqAlt.h"
#include "common/SButton.h"
#include "common/SRadioGroup.h"
#include "forms/ScriptedPrompts.h"

namespace {

TEST(MainFormScreenshot, TheShownFormIsNotBlank) {
  TScriptedPrompts Script;
  TfCertRequestAlt* Form = nullptr;
  Application->CreateForm(Form);
  ASSERT_TRUE(Script.Asked.empty()) << "the installed files pass the start-up checks";
  Form->Show();
  PumpFor(300);
  TPicture32 Picture = Capture(Form->Handle());
  SaveBmp(Picture, "mainform.bmp");
  ASSERT_GT(Picture.Width, 600);
  std::set<uint32_t> Colours;
  size_t Background = 0;
  uint32_t Face = Picture.Pixels[Picture.Width * (Picture.Height / 2) + Picture.Width - 20];
  for (uint32_t Pixel : Picture.Pixels) {
    Colours.insert(Pixel & 0xFFFFFF);
    Background += Pixel == Face;
  }
  EXPECT_GE(Colours.size(), 6u) << "text, frames, tabs and buttons bring colours";
  EXPECT_LT(Background, Picture.Pixels.size() * 98 / 100) << "more than an empty face";
  delete Form;
}

// The size of a caption in a control's font, "&" taken as the mark of the
// underlined letter, as the controls draw it; word-wrapped within Width when
// given.
SIZE CaptionSize(TControl* Control, int WrapWidth = 0) {
  TWindowDC DC;
  TSelectObject Font(DC.Get(), Control->Font()->Handle());
  const AnsiString Text = Control->Text();
  RECT R{0, 0, WrapWidth, 0};
  DrawTextA(DC.Get(), Text.c_str(), static_cast<int>(Text.size()), &R,
            DT_CALCRECT | DT_EXPANDTABS | (WrapWidth ? DT_WORDBREAK : DT_SINGLELINE));
  return {R.right, R.bottom};
}

// The room a control leaves its caption beside its frame, box or button.
int CaptionRoom(TControl* Control) {
  if (dynamic_cast<TRadioButton*>(Control) || dynamic_cast<TCheckBox*>(Control))
    return Control->Width() - GetSystemMetrics(SM_CXMENUCHECK) - 4;
  if (dynamic_cast<TCustomGroupBox*>(Control)) return Control->Width() - 16;
  if (dynamic_cast<TButton*>(Control) || dynamic_cast<TSpeedButton*>(Control))
    return Control->Width() - 8;
  return Control->Width();
}

// Every caption of the shown form fits its control: nothing is cut at its
// end as a person would see it.
void ExpectCaptionsFit(TWinControl* Parent) {
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    TControl* Control = Parent->Controls(I);
    if (auto* Win = dynamic_cast<TWinControl*>(Control)) ExpectCaptionsFit(Win);
    if (!Control->Visible() || Control->Text().empty() || dynamic_cast<TCustomEdit*>(Control) ||
        dynamic_cast<TCustomComboBox*>(Control) || dynamic_cast<TTabSheet*>(Control))
      continue;
    SCOPED_TRACE(Control->Name() + " \"" + Control->Text() + "\"");
    auto* Label = dynamic_cast<TCustomLabel*>(Control);
    if (Label && Label->WordWrap()) {
      EXPECT_LE(CaptionSize(Control, Control->Width()).cy, Control->Height());
      continue;
    }
    const SIZE Size = CaptionSize(Control);
    EXPECT_LE(Size.cx, CaptionRoom(Control));
    EXPECT_LE(Size.cy, Control->Height());
  }
}

}  // namespace

TEST(MainFormScreenshot, EveryCaptionFits) {
  TScriptedPrompts Script;
  TfCertRequestAlt* Form = nullptr;
  Application->CreateForm(Form);
  Form->Show();
  for (TTabSheet* Page : {Form->tsMain, Form->tsInstallCert}) {
    Form->PageControl->SetActivePage(Page);
    PumpFor(50);
    ExpectCaptionsFit(Form);
  }
  delete Form;
}
