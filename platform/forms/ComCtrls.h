// Common controls: page control with tab sheets, status bar, rich edit.
#pragma once

#include <vector>

#include "forms/StdCtrls.h"

class TPageControl;

class TTabSheet : public TWinControl {
  friend class TPageControl;

 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return FPageControl; }
  void SetPageControl(TPageControl* Value);
  bool TabVisible() const { return FTabVisible; }
  // A hidden tab keeps its page; nothing but code can show the page then.
  void SetTabVisible(bool Value);
  int PageIndex() const;
  void SetText(const AnsiString& Value) override;

 private:
  TPageControl* FPageControl = nullptr;
  bool FTabVisible = true;
};

class TPageControl : public TWinControl {
  friend class TTabSheet;

 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TTabSheet* Pages(int Index) const { return FPages[Index]; }
  TTabSheet* ActivePage() const { return FActivePage; }
  void SetActivePage(TTabSheet* Page);
  int ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }
  void SetActivePageIndex(int Index) {
    SetActivePage(Index >= 0 && Index < PageCount() ? FPages[Index] : nullptr);
  }
  // The area the pages take, inside the tabs and the border.
  RECT DisplayRect();
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void Resize() override;

 private:
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void UpdateTabs();
  void PlacePages();
  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage = nullptr;
};

class TStatusBar : public TWinControl {
 public:
  explicit TStatusBar(TComponent* AOwner);
  bool SimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool Value);
  const AnsiString& SimpleText() const { return FSimpleText; }
  void SetSimpleText(const AnsiString& Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;

 private:
  bool FSimplePanel = true;
  AnsiString FSimpleText;
};

class TRichEdit : public TCustomEdit {
 public:
  explicit TRichEdit(TComponent* AOwner);

 protected:
  void CreateParams(TCreateParams& Params) override;
};
