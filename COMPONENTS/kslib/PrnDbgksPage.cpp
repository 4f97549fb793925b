#include "COMPONENTS/kslib/PrnDbgksPage.h"

void TPageParams::Assign(TPersistent* Source) {
  if (auto* Other = dynamic_cast<TPageParams*>(Source)) {
    FBottomMargin = Other->FBottomMargin;
    FLeftMargin = Other->FLeftMargin;
    FRightMargin = Other->FRightMargin;
    FTopMargin = Other->FTopMargin;
    return;
  }
  TPersistent::Assign(Source);
}

void TPageColontitle::Assign(TPersistent* Source) {
  if (auto* Other = dynamic_cast<TPageColontitle*>(Source)) {
    SetLeftText(Other->LeftText());
    SetCenterText(Other->CenterText());
    SetRightText(Other->RightText());
    SetFont(Other->Font());
    SetLineType(Other->LineType());
    return;
  }
  TPersistent::Assign(Source);
}
