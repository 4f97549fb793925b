// The value prompt of group operations: one text converted to the type the
// operation needs, accepted only when it converts.
#pragma once

#include "forms/Forms.h"
#include "forms/Mask.h"
#include "forms/StdCtrls.h"
#include "rtl/Variants.h"

class TFKORGR : public TForm {
 public:
  explicit TFKORGR(TComponent* AOwner);

  TGroupBox* GroupBox1;
  TMaskEdit* MaskEdit1;
  TLabel* Label1;
  TLabel* Label2;
  TButton* Button1;
  TButton* Button2;

  Variant Value;
  uint8_t ValueType = 0;
  uint8_t AcceptedType = 0;

 private:
  void FormShow();
  void Accept();
};

// The edit's text as a value of the prompt type (a number as its trimmed
// text); raises EConvertError when it does not convert.
Variant ConvertPromptText(const AnsiString& Text, uint8_t ValueType);

// Makes this window the group operations' value prompt (asked through the
// program's prompts) and lets them show the hourglass.
void InstallValuePrompt();
