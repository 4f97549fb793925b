// Edit buttons and the button toolkit: the buttons at the right end of an
// edit control (described by collection items, shown by small speed
// buttons), the painter of button and check-box faces with its bitmap cache,
// and the drawing helpers the data grid shares.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>

#include "forms/Buttons.h"
#include "forms/ExtCtrls.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"
#include "rtl/Classes.h"

enum TEditButtonStyleKs {
  ebsDropDownKs,
  ebsEllipsisKs,
  ebsGlyphKs,
  ebsUpDownKs,
  ebsPlusKs,
  ebsMinusKs
};

// The faces PaintButtonControlKs draws; the numbers are the grid's too.
enum TDrawButtonControlStyleKs {
  bcsDropDownKs,
  bcsEllipsisKs,
  bcsUpDownKs,
  bcsCheckboxKs,
  bcsPlusKs,
  bcsMinusKs,
  bcsGlyphKs  // the plain face an edit button's glyph is drawn on
};

// The face an edit-button style is drawn with (a glyph button paints its
// glyph and never asks; it maps to the spin face).
TDrawButtonControlStyleKs EditButtonDrawStyle(TEditButtonStyleKs Style);

// Sets a flag for the duration of a call and puts it back on every path.
class TFlagScope {
 public:
  explicit TFlagScope(bool& Flag) : FFlag(Flag), FSaved(Flag) { Flag = true; }
  ~TFlagScope() { FFlag = FSaved; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& FFlag;
  bool FSaved;
};

// A key with its shift keys, as menus and buttons store it.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
TShortCut ShortCutKs(uint16_t Key, TShiftState Shift);

using TButtonClickEventKs = std::function<void(TObject* Sender, bool& Handled)>;
using TButtonDownEventKs =
    std::function<void(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled)>;

class TEditButtonControlKs;

// One edit button: what it looks like and what it does.
class TEditButtonKs : public TCollectionItem {
 public:
  // An item of a TEditButtonsKs; its editor is the collection's.
  explicit TEditButtonKs(TCollection* Collection);
  // An editor's single main button.
  explicit TEditButtonKs(TWinControl* Editor);
  ~TEditButtonKs() override;
  void Assign(TPersistent* Source) override;
  // A control showing this button: 10 by 17, visible, opaque, on the editor.
  virtual TEditButtonControlKs* CreateEditButtonControl();

  TWinControl* Editor() const { return FEditor; }
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* Value);
  TBitmap* Glyph() { return &FGlyph; }
  void SetGlyph(TBitmap* Value);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& Value);
  int NumGlyphs() const { return FNumGlyphs; }
  // Kept within 1 to 4.
  void SetNumGlyphs(int Value);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  TEditButtonStyleKs Style() const { return FStyle; }
  void SetStyle(TEditButtonStyleKs Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  // 0 or less: the default width.
  int Width() const { return FWidth; }
  void SetWidth(int Value);

  TButtonClickEventKs OnClick;
  TButtonDownEventKs OnDown;
  // When set, hears every change instead of the collection.
  TNotifyEvent OnChanged;

 protected:
  // With the defaults of a descendant.
  TEditButtonKs(TCollection* Collection, bool Visible, TShortCut ShortCut);
  TEditButtonKs(TWinControl* Editor, bool Visible, TShortCut ShortCut);
  void EditButtonChanged();

 private:
  bool FVisible;
  TShortCut FShortCut;
  TWinControl* FEditor = nullptr;
  TPopupMenu* FDropdownMenu = nullptr;
  TBitmap FGlyph;
  AnsiString FHint;
  int FNumGlyphs = 1;
  TEditButtonStyleKs FStyle = ebsDropDownKs;
  int FWidth = 0;
};

// The same button, visible and answering Alt+Down unless told otherwise.
class TVisibleEditButtonKs : public TEditButtonKs {
 public:
  explicit TVisibleEditButtonKs(TCollection* Collection);
  explicit TVisibleEditButtonKs(TWinControl* Editor);
};

// The further buttons of an editor; a change is reported to the editor.
class TEditButtonsKs : public TCollection {
 public:
  TEditButtonsKs(TWinControl* Editor, TCollectionItemClass ItemClass);
  TEditButtonKs* EditButtonsItem(int Index) const;
  TEditButtonKs* Add() { return static_cast<TEditButtonKs*>(TCollection::Add()); }
  TWinControl* Editor() const { return FEditor; }
  TPersistent* GetOwner() override { return FEditor; }

  TNotifyEvent OnChanged;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TWinControl* FEditor;
};

// Shows one edit button. The spin style has two halves; holding one
// repeats its press.
class TEditButtonControlKs : public TSpeedButton {
 public:
  explicit TEditButtonControlKs(TComponent* AOwner);
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  TEditButtonStyleKs Style() const { return FStyle; }
  void SetStyle(TEditButtonStyleKs Value);
  bool AlwaysDown() const { return FAlwaysDown; }
  void SetAlwaysDown(bool Value) { FAlwaysDown = Value; }
  // 0 none, 1 the upper half or the whole button, 2 the lower half.
  int DownPart() const { return FDownPart; }
  void SetDownPart(int Value);
  void Click() override;

  // The press, as the editor hears it (TopButton: the upper half).
  TButtonDownEventKs OnDown;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  int PartAt(int Y) const;
  void TimerTick();
  void StopTimer();
  bool FActive = false, FAlwaysDown = false, FInRelease = false;
  TEditButtonStyleKs FStyle = ebsDropDownKs;
  int FDownPart = 0;
  TTimer* FTimer = nullptr;
};

// The published form of the edit-button control.
class TSpeedButtonKs : public TEditButtonControlKs {
 public:
  using TEditButtonControlKs::TEditButtonControlKs;
};

// Rendered faces by their look, the least recently used dropped first.
class TButtonsBitmapCache {
 public:
  struct TKey {
    int Width, Height;
    TDrawButtonControlStyleKs Style;
    bool Pressed, Flat, Active, Enabled;
    TCheckBoxState CheckState;
    int Half;  // spin halves: 1 upper, 2 lower; 0 otherwise
    TColor BackColor;
    auto operator<=>(const TKey&) const = default;
  };
  static constexpr int Capacity = 300;
  // The cached face, or null.
  TBitmap* Find(const TKey& Key);
  // Stores a face (taking it), dropping the oldest beyond Capacity.
  TBitmap* Add(const TKey& Key, std::unique_ptr<TBitmap> Bitmap);
  void Clear();
  int Count() const { return static_cast<int>(FEntries.size()); }

 private:
  using TEntry = std::pair<TKey, std::unique_ptr<TBitmap>>;
  std::list<TEntry> FEntries;  // most recently used first
  std::map<TKey, std::list<TEntry>::iterator> FIndex;
};

// Set at start-up: the width of flat edit buttons, the cache, the size of
// one system check-box glyph, and whether faces go through the cache.
extern int FlatEditButtonWidth;
extern TButtonsBitmapCache ButtonsBitmapCache;
extern SIZE CheckBoxGlyphSize;
extern bool UseButtonsBitmapCache;

// Two thirds of the screen font's height, made odd, at most a scroll bar wide.
int DefaultEditButtonWidth();
int WideEditButtonWidth(int Width, bool Wide);
// A button that stays down while a drop-down is open, or a plain one again.
void SetSpeedButtonToggle(TEditButtonControlKs* Button, bool Down);
// Paints one face. DownPart: 1 pressed (the upper half of a spin face), 2
// the lower half.
void PaintButtonControlKs(HDC DC, RECT Rect, TColor BackColor, TCheckBoxState CheckState,
                          bool Enabled, bool Active, bool Flat, int DownPart,
                          TDrawButtonControlStyleKs DrawStyle);
// The same by edit-button style, as the grid paints its cell buttons: the
// glyph style shows the image of Glyph (may be null) for the button's state
// centred on a plain face, as a speed button with NumGlyphs images does.
void PaintEditButton(HDC DC, const RECT& Rect, TColor BackColor, int DownPart, bool Enabled,
                     bool Active, bool Flat, TBitmap* Glyph, TEditButtonStyleKs Style,
                     int NumGlyphs = 1);
// Paints the edit-button controls of Control that lie in the clip region of
// DC (a context of Control's client area).
void PaintEditButtonsClipped(TWinControl* Control, HDC DC);
void DrawImageCentered(HDC DC, const RECT& Rect, TImageList* ImageList, int ImageIndex,
                       bool Selected);
void ClearButtonsBitmapCache();
// One-pixel dots every two pen widths on a fixed checkerboard phase.
void DrawDottedLine(TCanvas* Canvas, POINT Start, int Length, bool Parity, bool Horizontal);
// One element of the grid's tree lines: 0-2 an expanded node, 3-5 a
// collapsed one, 6-9 lines only.
void DrawTreeElement(TCanvas* Canvas, const RECT& Rect, int Kind, double ScaleX, double ScaleY,
                     bool Parity);
inline void DrawTreeLineElement(TCanvas* Canvas, const RECT& Rect, int Kind, double ScaleX,
                                double ScaleY, bool Parity) {
  DrawTreeElement(Canvas, Rect, Kind, ScaleX, ScaleY, Parity);
}
// The control's press handler, when it has one; true when it handled the
// press, so no click follows.
bool FireEditButtonEvent(TEditButtonControlKs* Control);
// Cuts the rectangle to the check-box glyph size. HorzAlign: 0 left, 1
// right, 2 centre; VertAlign: 0 top, 1 centre, 2 bottom.
RECT FitRectToMaxSize(const RECT& Rect, int HorzAlign, int VertAlign);
bool IsDoubleClickPoint(POINT FirstPoint, POINT SecondPoint, DWORD Elapsed);
void InitCheckBoxGlyphSize();
