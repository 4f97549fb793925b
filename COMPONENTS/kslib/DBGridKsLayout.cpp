// The grid's layout: the batching of layout requests and the one pass that
// rebuilds columns, widths, row heights and the title tree.
#include <algorithm>
#include <cmath>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"

namespace {

int RoundHalfEven(double Value) { return static_cast<int>(std::nearbyint(Value)); }

}  // namespace

void TCustomDBGridKs::BeginUpdate() { ++FUpdateLock; }

void TCustomDBGridKs::EndUpdate() {
  if (FUpdateLock == 0) return;
  if (--FUpdateLock > 0) return;
  if (FSizePending) ApplyPendingSize();
  if (FLayoutPending && FLayoutLock == 0) {
    FLayoutPending = false;
    LayoutChanged();
  }
}

void TCustomDBGridKs::BeginLayout() {
  BeginUpdate();
  if (FLayoutLock == 0) FColumns->BeginUpdate();
  ++FLayoutLock;
}

void TCustomDBGridKs::EndLayout() {
  if (FLayoutLock == 0) return;
  if (FLayoutLock == 1) {
    try {
      InternalLayout();
    } catch (...) {
      // Everything the layout held is given back; the error goes on.
      try {
        FColumns->EndUpdate();
      } catch (...) {
      }
      FLayoutLock = 0;
      EndUpdate();
      throw;
    }
    FColumns->EndUpdate();
  }
  --FLayoutLock;
  EndUpdate();
}

void TCustomDBGridKs::CancelLayout() {
  if (FLayoutLock == 0) return;
  if (FLayoutLock == 1) FColumns->EndUpdate();
  --FLayoutLock;
  EndUpdate();
}

bool TCustomDBGridKs::AcquireLayoutLock() {
  if (FUpdateLock != 0 || FLayoutLock != 0) return false;
  BeginLayout();
  return true;
}

void TCustomDBGridKs::LayoutChanged() {
  if (!FColumns || !FDataLink) return;  // still being made
  UpdateLevelRowCount();
  if (AcquireLayoutLock()) EndLayout();
}

// Posts the deferred layout once; the caller's own layout, if it opened
// one, is the caller's to cancel.
void TCustomDBGridKs::DeferLayout() {
  if (!HandleAllocated()) return;
  MSG M;
  if (!PeekMessageA(&M, Handle(), WM_DEFERRED_LAYOUT_KS, WM_DEFERRED_LAYOUT_KS, PM_NOREMOVE))
    PostMessageA(Handle(), WM_DEFERRED_LAYOUT_KS, 0, 0);
}

void TCustomDBGridKs::InternalLayout() {
  if (Loading()) return;
  if (HandleAllocated()) KillMessage(Handle(), WM_DEFERRED_LAYOUT_KS);
  // This pass covers a deferred request that is waiting.
  FLayoutPending = false;
  struct TInLayout {
    bool& Flag;
    explicit TInLayout(bool& F) : Flag(F) { Flag = true; }
    ~TInLayout() { Flag = false; }
  } InLayoutGuard(FInLayout);
  RunLayout();
}

void TCustomDBGridKs::RunLayout() {
  // Built columns after a persistent one: the built ones go.
  bool SeenBuilt = false;
  for (int I = 0; I < FColumns->Count(); ++I) {
    bool Persistent = FColumns->Items(I)->PersistentColumn();
    if (!Persistent) {
      SeenBuilt = true;
    } else if (SeenBuilt) {
      for (int J = FColumns->Count() - 1; J >= 0; --J)
        if (!FColumns->Items(J)->PersistentColumn()) delete FColumns->Items(J);
      break;
    }
  }
  FIndicatorOffset = FOptions.Contains(dgIndicator) ? 1 : 0;
  FDataLink->ClearMapping();
  if (FDataLink->Active()) DefineFieldMap();

  bool Customized = FColumns->GetState() == csCustomized;
  if (Customized) {
    for (int I = 0; I < FColumns->Count(); ++I) FColumns->Items(I)->ClearFieldCache();
  } else {
    if (!FDataLink->Active() && FDataLink->DefaultFields()) {
      FColumns->Clear();
    } else {
      for (int I = FColumns->Count() - 1; I >= 0; --I) {
        TColumnKs* Column = FColumns->Items(I);
        if (!FieldIsMapped(Column->GetField())) delete Column;
      }
    }
    int N = FDataLink->FieldCount();
    if (N == 0 && FColumns->Count() == 0) N = 1;
    for (int J = 0; J < N; ++J) {
      TField* F = FDataLink->GetFields(J);
      TColumnKs* Column = nullptr;
      if (F)
        for (int K = J; K < FColumns->Count() && !Column; ++K)
          if (FColumns->Items(K)->GetField() == F) Column = FColumns->Items(K);
      if (!Column) {
        Column = static_cast<TColumnKs*>(FColumns->TCollection::Add());
        Column->SetPersistentColumn(false);
        if (F) Column->SetField(F);
      }
      Column->TCollectionItem::SetIndex(J);
    }
  }

  FVisibleColumns.clear();
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Items(I)->Visible()) FVisibleColumns.push_back(FColumns->Items(I));
  // Hidden columns inside and right after the frozen area count with it.
  int Hidden = 0;
  for (int I = 0; I < FColumns->Count() && I < FFrozenCols + Hidden; ++I)
    if (!FColumns->Items(I)->Visible()) ++Hidden;
  for (int I = FFrozenCols + Hidden; I < FColumns->Count() && !FColumns->Items(I)->Visible(); ++I)
    ++Hidden;
  if (FVisibleColumns.empty()) --Hidden;
  Hidden = std::max(Hidden, 0);

  SetColCount(FColumns->Count() + FIndicatorOffset);
  int Fixed = !FDataLink->Active() && !Customized ? FIndicatorOffset + Hidden
                                                  : FIndicatorOffset + FFrozenCols + Hidden;
  // Frozen columns are not checked against the columns there are.
  SetFixedCols(std::min(Fixed, ColCount() - 1));
  FTitleOffset = (TitleRowShown() ? 1 : 0) + ExtraTitleRowCount();

  TFontMetricsKs M = MeasureFontKs(Font());
  int Extra = (FFlat ? 1 : 3) + (FOptions.Contains(dgRowLines) ? GridLineWidth() : 0);
  int T = std::max(M.TextHeight, 1);
  int TitleHeight = RowHeights(0);
  int RowH;
  if (FRowHeight < 1 && FRowLines < 1) {
    RowH = T + Extra;
  } else {
    RowH = (M.Metrics.tmExternalLeading + M.Metrics.tmHeight) * FRowLines + FRowHeight;
  }
  if (FOptionsKs.Contains(dghFitRowHeightToText)) {
    int Q = (RowH - Extra) / T, R = (RowH - Extra) % T;
    int Lines = (R > T / 2 || Q == 0) ? Q + 1 : Q;
    RowH = Lines * T + Extra;
    FRowLines = (RowH - Extra) / T;
    FRowHeight = Extra;
  }
  SetDefaultRowHeight(RowH);
  TCustomGrid::SetRowHeights(0, TitleHeight);
  UpdateEditButtonWidth();
  FRowsTallerThanText = M.Metrics.tmExternalLeading + M.Metrics.tmHeight +
                            M.Metrics.tmInternalLeading + FTitleTextMargin <
                        DefaultRowHeight();
  if (FOptions.Contains(dgTitles) && !FUseMultiTitle) {
    // The tallest title font sets the height.
    TFontMetricsKs Tallest = MeasureFontKs(&FTitleFont);
    for (int I = 0; I < FColumns->Count(); ++I) {
      TFontMetricsKs Title = MeasureFontKs(FColumns->Items(I)->Title()->Font());
      if (I == 0 || Title.TextHeight > Tallest.TextHeight) Tallest = Title;
    }
    if (TitleSizeSet()) {
      TCustomGrid::SetRowHeights(0, FTitleLines * Tallest.Metrics.tmHeight +
                                        Tallest.Metrics.tmExternalLeading + FTitleTextMargin +
                                        FTitleHeight);
    } else {
      TCustomGrid::SetRowHeights(0, Tallest.TextHeight + FTitleTextMargin);
    }
  }

  TScrollStyle Bars = ssNone;
  if (!(FAutoFitColWidths && !Designing()) && FHorzScrollBar->Visible() &&
      !FHorzScrollBar->ExtScrollBar())
    Bars = ssHorizontal;
  if (Bars != ScrollBars()) {
    TCustomGrid::SetScrollBars(Bars);
    if (HandleAllocated()) UpdateScrollBars();
  }

  UpdateColumnAttributes();
  if (FAutoFitColWidths && !Designing() && HandleAllocated()) AutoFitColumns();
  if (FOptions.Contains(dgTitles) && FUseMultiTitle) {
    FLeafNodes.assign(FColumns->Count(), nullptr);
    CreateFieldTree();
    TCustomGrid::SetRowHeights(
        0, SetTitleHeights(FHeadTree.get()) - (FOptionsKs.Contains(dghFixed3D) ? 1 : 3));
  }
  UpdateColumnAttributes();
  int KeepLeft = LeftCol();
  UpdateRowLayout();
  if (FOptions.Contains(dgRowSelect)) SetLeftCol(KeepLeft);
  RecordChanged();
  Invalidate();
  if (FSelection->SelectionType() == gstColumns) FSelection->Columns()->RemoveInvisible();
}

void TCustomDBGridKs::UpdateColumnAttributes() {
  for (int I = 0; I < FColumns->Count() && DataToRawColumn(I) < ColCount(); ++I) {
    TColumnKs* Column = FColumns->Items(I);
    int Raw = DataToRawColumn(I);
    bool Stop = Column->Visible() && !Column->ReadOnly();
    if (Stop && FDataLink->Active()) {
      TField* F = Column->GetField();
      if (!F || F->Calculated() || (!F->Lookup() && F->ReadOnly())) {
        Stop = false;
      } else if (F->Lookup()) {
        std::vector<TField*> Keys;
        try {
          F->DataSet()->GetFieldList(Keys, F->KeyFields());
        } catch (EDatabaseError&) {
        }
        Stop = std::any_of(Keys.begin(), Keys.end(), [](TField* K) { return !K->ReadOnly(); });
      }
    }
    if (!Stop && (Column->KeyList()->Count() > 0 || Column->Checkboxes())) Stop = true;
    SetTabStops(Raw, Stop && Column->Visible());
    SetColWidths(Raw, Column->Visible() ? Column->Width() : FOptions.Contains(dgColLines) ? -1 : 0);
  }
  if (FOptions.Contains(dgIndicator)) SetColWidths(0, 11);
}

// A row tall enough takes the base width, widened when flat; a lower row
// gives its own height, so that a button stays square.
void TCustomDBGridKs::UpdateEditButtonWidth() {
  if (DefaultRowHeight() > RoundHalfEven(FEditButtonBaseWidth * 3 / 2.0)) {
    FEditButtonWidth = WideEditButtonWidth(FEditButtonBaseWidth, FFlat);
  } else {
    FEditButtonWidth = DefaultRowHeight();
  }
}

void TCustomDBGridKs::UpdateRowLayout() {
  if (!FDataLink) return;
  int L = FOptions.Contains(dgRowLines) ? GridLineWidth() : 0;
  int Step = DefaultRowHeight() + L;
  if (RowCount() <= FTitleOffset) SetRowCount(FTitleOffset + 1);
  SetFixedRows(std::min(FTitleOffset, RowCount() - 1));
  int TitleHeight = RowHeights(0);
  int Used = FOptions.Contains(dgTitles) ? TitleHeight + L : 0;
  Used += ExtraTitleRowCount() * Step + FFooterRowCount * Step + (FFooterRowCount >= 1 ? L : 0);
  int OldCount = RowCount();
  SetDefaultRowHeight(DefaultRowHeight());
  if (FOptions.Contains(dgTitles)) TCustomGrid::SetRowHeights(0, TitleHeight);
  int Client = ClientHeight();
  if (TreeModeNoFooter()) {
    UpdateTreeRows();
  } else {
    SetTopRow(FixedRows());
    if (FDataLink->Active() && FDataLink->DataSet()->RecordCount() != 0 && HandleAllocated()) {
      int Rows = std::max((Client - Used) / std::max(Step, 1), 1);
      FDataLink->SetBufferCount(Rows);
      int N = FDataLink->RecordCount();
      Used += N * Step;
      if (FFooterRowCount >= 1) {
        SetRowCount(FTitleOffset + N + FFooterRowCount + 1);
        TCustomGrid::SetRowHeights(FTitleOffset + N, std::max(0, Client - Used));
      } else {
        SetRowCount(FTitleOffset + N);
      }
      RecordChanged();
    } else {
      SetRowCount(FTitleOffset + 1);
      Used += Step;
      if (HandleAllocated() && FFooterRowCount > 0) {
        SetRowCount(RowCount() + FFooterRowCount + 1);
        TCustomGrid::SetRowHeights(FTitleOffset + 1, std::max(0, Client - Used));
      }
    }
  }
  if (RowCount() != OldCount) Invalidate();
}

void TCustomDBGridKs::AutoFitColumns() {
  std::vector<TColumnKs*>& Visible = FVisibleColumns;
  std::vector<bool> FixedMark(Visible.size(), false);
  int Avail = 0, New = 0;
  for (size_t Pass = 0; Pass <= Visible.size(); ++Pass) {
    UpdateScrollBars();
    int A = 0, F = 0;
    for (size_t I = 0; I < Visible.size(); ++I) {
      if (Visible[I]->AutoFitColWidth() && !FixedMark[I]) {
        A += Visible[I]->InitWidth;
      } else {
        F += Visible[I]->Width();
      }
    }
    Avail = std::max(std::max(ClientWidth(), FMinAutoFitWidth) - F, 0);
    if (FOptions.Contains(dgIndicator)) Avail -= ColWidths(0);
    if (FOptions.Contains(dgColLines)) Avail -= static_cast<int>(Visible.size());
    if (FOptions.Contains(dgIndicator) && FOptions.Contains(dgColLines)) Avail -= 1;
    New = 0;
    bool Marked = false;
    for (size_t I = 0; I < Visible.size(); ++I) {
      if (!Visible[I]->AutoFitColWidth() || FixedMark[I]) continue;
      int Asked = A > 0 ? MulDiv(Visible[I]->InitWidth, Avail, A) : 0;
      Visible[I]->SetWidth(Asked);
      if (Visible[I]->Width() != Asked) FixedMark[I] = Marked = true;
      New += Visible[I]->Width();
    }
    if (!Marked) break;
  }
  if (New == Avail) return;
  for (size_t I = Visible.size(); I-- > 0;) {
    if (!Visible[I]->AutoFitColWidth() || FixedMark[I]) continue;
    Visible[I]->SetWidth(std::max(Visible[I]->Width() + Avail - New, 0));
    break;
  }
}

void TCustomDBGridKs::ColWidthsChanged() {
  if ((FDataLink && FDataLink->Active()) || (FColumns && FColumns->GetState() == csCustomized)) {
    if (AcquireLayoutLock()) {
      try {
        TCustomGrid::ColWidthsChanged();
        for (int I = 0; I < FColumns->Count(); ++I) {
          int Raw = DataToRawColumn(I);
          if (Raw >= ColCount()) break;
          TColumnKs* Column = FColumns->Items(I);
          int Clamped = Column->ClampWidth(ColWidths(Raw));
          if (Clamped != ColWidths(Raw)) TCustomGrid::SetColWidths(Raw, Clamped);
        }
        for (int I = 0; I < FColumns->Count(); ++I) {
          int Raw = DataToRawColumn(I);
          if (Raw >= ColCount()) break;
          TColumnKs* Column = FColumns->Items(I);
          int W = ColWidths(Raw);
          if (!Column->Visible() || W == Column->Width()) continue;
          if (!FAutoFitColWidths || Designing()) {
            Column->SetWidth(W);
            continue;
          }
          int K = FVisibleColumns.IndexOf(Column);
          if (!FOptionsKs.Contains(dghResizeWholeRightPart)) {
            if (!Column->AutoFitColWidth()) {
              Column->SetWidth(W);
            } else if (K >= 0) {
              int Old = Column->InitWidth;
              Column->InitWidth = MulDiv(Column->InitWidth, W, Column->Width());
              if (K + 1 < static_cast<int>(FVisibleColumns.size())) {
                TColumnKs* Next = FVisibleColumns[K + 1];
                Next->InitWidth = std::max(Next->InitWidth + Old - Column->InitWidth, 0);
              }
            }
          } else {
            int D = W - Column->Width();
            if (Column->AutoFitColWidth()) {
              Column->InitWidth = MulDiv(W, Column->InitWidth, Column->Width());
            } else {
              Column->SetWidth(W);
            }
            int S = 0;
            for (size_t J = K + 1; K >= 0 && J < FVisibleColumns.size(); ++J)
              if (FVisibleColumns[J]->AutoFitColWidth()) S += FVisibleColumns[J]->Width();
            for (size_t J = K + 1; K >= 0 && S > 0 && J < FVisibleColumns.size(); ++J)
              if (FVisibleColumns[J]->AutoFitColWidth())
                FVisibleColumns[J]->InitWidth =
                    std::max(MulDiv(S - D, FVisibleColumns[J]->InitWidth, S), 1);
          }
        }
      } catch (...) {
        CancelLayout();
        throw;
      }
      EndLayout();
    } else {
      TCustomGrid::ColWidthsChanged();
    }
  } else {
    TCustomGrid::ColWidthsChanged();
  }
  UpdateEditor();
  if (OnColWidthsChanged) OnColWidthsChanged(this);
  UpdateHorzScrollBar();
}

void TCustomDBGridKs::RowHeightsChanged() {
  if (FUserRowResize) {
    FUserRowResize = false;
    int Last = RowCount() - (FFooterRowCount > 0 ? FFooterRowCount + 1 : 0);
    for (int R = TitleRowShown() ? 1 : 0; R < Last; ++R) {
      if (RowHeights(R) == DefaultRowHeight()) continue;
      FRowLines = 0;
      FRowHeight = RowHeights(R);
      UpdateScrollBars();
      break;
    }
  }
  TCustomGrid::RowHeightsChanged();
}

void TCustomDBGridKs::CreateFieldTree() {
  FHeadTree->FreeAllChild();
  int Title = RowHeights(0);
  int Indent = FOptions.Contains(dgColLines) ? 1 : 0;
  for (int I = 0; I < FColumns->Count(); ++I) {
    TColumnKs* Column = FColumns->Items(I);
    int Width = Column->Visible() ? Column->Width() : (Indent ? -1 : 0);
    THeadTreeNode* Node =
        FHeadTree->AddChild(FHeadTree.get(), Column->Title()->Caption(), Width, Title);
    Node->Column = Column;
    Node->Extra = Column->Title()->SortMarker() != smNoneKs ? Column->Title()->SortMarkerWidth() : 0;
    Node->WIndent = Indent;
    FLeafNodes[I] = Node;
  }
  GroupTitleCaptions(FHeadTree.get(), FLeafNodes);
}

int TCustomDBGridKs::SetTitleHeights(THeadTreeNode* Node) {
  TWindowDC DC;
  int M = 0;
  std::vector<THeadTreeNode*> Children = Node->Children();
  std::vector<int> Below(Children.size(), 0);
  TFont* Font = &FTitleFont;
  for (size_t I = 0; I < Children.size(); ++I) {
    THeadTreeNode* X = Children[I];
    if (X->Child) Below[I] = SetTitleHeights(X);
    if (X->Column) {
      Font = X->Column->Title()->Font();
    } else if (I == 0) {
      Font = &FTitleFont;
    }
    TSelectObject Select(DC.Get(), Font->Handle());
    AnsiString Text = X->Text.empty() ? AnsiString(" ") : X->Text;
    int H = 0;
    if (X->Width >= 1) {
      if (X->Column && X->Column->Title()->Orientation() == tohVertical) {
        SIZE Extent{};
        GetTextExtentPoint32A(DC.Get(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
        H = Extent.cx + 6;
      } else {
        RECT R{0, 0, std::max(X->Width - 4 - X->Extra, 1), 0};
        H = ::DrawTextA(DC.Get(), Text.c_str(), static_cast<int>(Text.size()), &R,
                        DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX) +
            FVTitleMargin;
      }
    }
    M = std::max(M, Below[I] + std::max(H, 0));
  }
  for (size_t I = 0; I < Children.size(); ++I)
    Children[I]->Height = Children[I]->Child ? M - Below[I] : M;
  Node->Height = M;
  return M;
}
