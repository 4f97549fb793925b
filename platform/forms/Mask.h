// The masked edit: an edit whose text follows an edit mask of the form
// "mask;save literals;blank". Typed characters go to the next mask
// position and are refused when they don't fit it; literals are kept.
// '!' (trim leading blanks) is accepted and has no effect.
#pragma once

#include <vector>

#include "forms/StdCtrls.h"

// Input that leaves a required mask position empty.
KS_EXCEPTION(EMaskError, EInvalidOperation);

class TCustomMaskEdit : public TCustomEdit {
 public:
  explicit TCustomMaskEdit(TComponent* AOwner);

  const AnsiString& EditMask() const { return FEditMask; }
  // Keeps the typed characters that fit the new mask.
  void SetEditMask(const AnsiString& Value);
  bool IsMasked() const { return !FPositions.empty(); }
  // The text with the mask's literals and blanks, as shown.
  AnsiString EditText();
  void SetEditText(const AnsiString& Value);
  // Masked: the typed characters, blanks as spaces, literals when the mask
  // saves them; empty when nothing was typed.
  AnsiString Text() override;
  void SetText(const AnsiString& Value) override;
  // Raises EMaskError with the caret on the first empty required position.
  virtual void ValidateEdit();
  // Puts back the text the editing started from.
  virtual void Reset();
  void WndProc(TMessage& Message) override;

 protected:
  // Asked before each change of a masked text; false refuses it.
  virtual bool EditCanModify() { return true; }
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  struct TMaskPosition {
    char Kind = 0;  // the mask character; 0 for a literal
    char Literal = 0;
    char Case = 0;  // '>' upper, '<' lower, 0 as typed
  };
  void ParseMask();
  AnsiString Format(const AnsiString& Value) const;
  // The character as it goes into the position, or 0 when it doesn't fit.
  char Fit(const TMaskPosition& Pos, char Char) const;
  int NextInput(int From) const;
  // -1 when every required position is filled, or nothing was typed.
  int FirstEmptyRequired();
  void SelectEmptyRequired(int Pos);
  bool Modify();
  void Apply(const AnsiString& Value, int Caret);
  // Blanks the selection; the caret goes to its start.
  void ClearSelection(AnsiString& Value, int& Caret);
  void TypeChar(char Char);
  void DeleteChar(bool Back);
  void PasteText(const AnsiString& Value);

  AnsiString FEditMask, FOldText;
  std::vector<TMaskPosition> FPositions;
  bool FSaveLiterals = true;
  char FBlank = '_';
};

class TMaskEdit : public TCustomMaskEdit {
 public:
  using TCustomMaskEdit::TCustomMaskEdit;
};
