// A toolbar common control. Its buttons are items of the control; each
// TToolButton keeps the button's caption, hint, image and state and gets
// the control's clicks and presses.
#pragma once

#include <vector>

#include "forms/Controls.h"
#include "forms/Graphics.h"
#include "forms/Menus.h"

class TToolBar;

class TToolButton : public TComponent {
  friend class TToolBar;

 public:
  explicit TToolButton(TComponent* AOwner);
  ~TToolButton() override;

  TToolBar* ToolBar() const { return FToolBar; }
  // Appends the button to the toolbar's row.
  void SetToolBar(TToolBar* Value);
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& Value);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& Value) { FHint = Value; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Dropped down under the button when it is pressed anywhere; the button
  // shows a drop-down arrow.
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* Value);
  // The button's rectangle in the toolbar's client area.
  RECT BoundsRect() const;
  // Drops the menu down when there is one, then runs OnClick.
  virtual void Click();

  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown, OnMouseUp;

 private:
  int Command() const { return FCommand; }
  TToolBar* FToolBar = nullptr;
  TPopupMenu* FDropdownMenu = nullptr;
  AnsiString FCaption, FHint;
  int FImageIndex = -1;
  bool FEnabled = true;
  int FCommand;
};

class TToolBar : public TWinControl {
  friend class TToolButton;

 public:
  explicit TToolBar(TComponent* AOwner);
  ~TToolBar() override;

  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TToolButton* Buttons(int Index) const { return FButtons[Index]; }
  // Null shows no images.
  TImageList* Images() const { return FImages; }
  void SetImages(TImageList* Value);
  bool ShowCaptions() const { return FShowCaptions; }
  void SetShowCaptions(bool Value);
  // The size of a button (larger when its caption needs it); 0, 0 sizes
  // buttons to what they show.
  void SetButtonSize(int Width, int Height);
  // The button pressed while the toolbar holds the mouse capture.
  TToolButton* PressedButton() const;
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  // Puts the buttons into the control again after a change of look, and
  // takes the height of their row.
  void UpdateButtons();
  TToolButton* ButtonAt(LPARAM Point) const;
  TToolButton* ButtonOf(int Command) const;
  std::vector<TToolButton*> FButtons;
  TImageList* FImages = nullptr;
  bool FShowCaptions = false;
  int FButtonWidth = 0, FButtonHeight = 0;
  TToolButton* FDown = nullptr;
};
