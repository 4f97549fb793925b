// Common controls: page control with tab sheets, status bar, rich edit.
#pragma once

#include <vector>

#include "forms/StdCtrls.h"

#include <commctrl.h>

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
  // Ctrl+Tab: the next page whose tab shows, round the end; the focus
  // follows from the page left into the page shown.
  void SelectNextPage(bool GoForward);
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

// A tree view common control. Nodes are the control's own items; each
// carries one pointer-sized value.
class TCustomTreeView : public TWinControl {
 public:
  explicit TCustomTreeView(TComponent* AOwner);
  // Parent null: a top-level node.
  HTREEITEM AddChild(HTREEITEM Parent, const AnsiString& Text, LPARAM Data);
  void DeleteChildren(HTREEITEM Node);
  void Clear();
  HTREEITEM FirstChild(HTREEITEM Node);
  HTREEITEM NextSibling(HTREEITEM Node);
  HTREEITEM ParentNode(HTREEITEM Node);
  AnsiString NodeText(HTREEITEM Node);
  LPARAM NodeData(HTREEITEM Node);
  // Whether the node shows an expand button before its children are loaded.
  bool HasChildren(HTREEITEM Node);
  void SetHasChildren(HTREEITEM Node, bool Value);
  void Expand(HTREEITEM Node);
  bool Expanded(HTREEITEM Node);
  HTREEITEM Selected();
  void Select(HTREEITEM Node);
  // Stops redrawing while items change; nests.
  void BeginUpdate();
  void EndUpdate();
  void WndProc(TMessage& Message) override;

  std::function<void(TObject* Sender, HTREEITEM Node)> OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  // Asked before the user expands the node; false keeps it closed.
  virtual bool CanExpand(HTREEITEM Node);
  // The selection moved to the node.
  virtual void Change(HTREEITEM Node);

 private:
  int FUpdateCount = 0;
};

class TTreeView : public TCustomTreeView {
 public:
  using TCustomTreeView::TCustomTreeView;
};
