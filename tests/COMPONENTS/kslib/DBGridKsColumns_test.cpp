// Columns, titles and footers of the grid, and writing cell values through
// a column, over a small dataset of people.
#include "COMPONENTS/kslib/DBGridKsColumns.h"

#include <gtest/gtest.h>

#include <functional>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBLookupGridsKs.h"
#include "GridForm.h"

namespace {

class TPeople : public TArrayDataSet {
 public:
  TPeople() : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Id", ftInteger);
    FieldDefs()->Add("Name", ftString, 20);
    FieldDefs()->Add("Flag", ftString, 5);
    FieldDefs()->Add("Born", ftDate);
    FieldDefs()->Add("Amount", ftFloat);
    FieldDefs()->Add("SYS$STATE", ftInteger);
    FieldDefs()->Add("Cents", ftBCD, 4);
    Open();
    AppendValues(this, {1, "Анна", "Y", 30000.0, 5.0, 0, "12345678901234,5678"});
    AppendValues(this, {2, "Борис", "n", 31000.0, Variant::Null(), 0x40000000});
    AppendValues(this, {3, "Вера", Variant::Null(), Variant::Null(), 2.5, Variant::Null()});
    First();
  }
  ~TPeople() override { Close(); }
};

struct TPeopleGrid {
  TPeople Data;
  TDataSource Source{nullptr};
  TDBGridKs Grid{nullptr};
  TPeopleGrid() {
    Source.SetDataSet(&Data);
    Grid.SetDataSource(&Source);
  }
  TColumnKs* Column(const char* FieldName) {
    for (int I = 0; I < Grid.Columns()->Count(); ++I)
      if (Grid.Columns()->Items(I)->FieldName() == FieldName) return Grid.Columns()->Items(I);
    return nullptr;
  }
  // A customized column of its own for a field.
  TColumnKs* Own(const char* FieldName) {
    TColumnKs* C = Grid.Columns()->Add();
    C->SetFieldName(FieldName);
    return C;
  }
};

TEST(GridColumn, ExplicitValuesFallBackAndAreStoredOnlyWhenTheyDiffer) {
  TPeopleGrid G;
  G.Grid.Columns()->Clear();
  TColumnKs* C = G.Own("Name");
  EXPECT_EQ(C->Color(), G.Grid.Color());
  C->SetColor(G.Grid.Color());
  EXPECT_TRUE(C->ExplicitValues().Contains(cvColor)) << "kept as the column's own";
  EXPECT_FALSE(C->ColorStored()) << "but equal to the grid's: not stored";
  C->SetColor(clRed);
  EXPECT_TRUE(C->ColorStored());
  G.Grid.SetColor(clRed);
  EXPECT_FALSE(C->ColorStored());

  G.Data.FieldByName("Name")->SetAlignment(taRightJustify);
  EXPECT_EQ(C->Alignment(), taRightJustify) << "the field's";
  C->SetAlignment(taCenter);
  EXPECT_EQ(C->Alignment(), taCenter);
  EXPECT_TRUE(C->AlignmentStored());

  EXPECT_FALSE(C->ReadOnly());
  G.Grid.SetReadOnly(true);
  EXPECT_TRUE(C->ReadOnly()) << "a read-only grid";
  C->SetReadOnly(true);
  EXPECT_FALSE(C->ReadOnlyStored()) << "the same as the fall-back";
  G.Grid.SetReadOnly(false);
  EXPECT_TRUE(C->ReadOnlyStored());

  G.Data.FieldByName("Name")->SetDisplayLabel("Имя");
  EXPECT_EQ(C->Title()->Caption(), "Имя");
  C->Title()->SetCaption("ФИО");
  EXPECT_EQ(C->Title()->Caption(), "ФИО");
  EXPECT_TRUE(C->Title()->CaptionStored());
  EXPECT_EQ(C->Title()->Color(), G.Grid.FixedColor());
  EXPECT_EQ(C->Title()->Alignment(), taLeftJustify);
  G.Grid.SetUseMultiTitle(true);
  EXPECT_EQ(C->Title()->Alignment(), taCenter);
  EXPECT_FALSE(C->Title()->AlignmentStored());

  // A column outside a grid reads the bracketed defaults.
  TCollection Loose(CollectionItemClass<TColumnKs>());
  auto* Alone = static_cast<TColumnKs*>(Loose.Add());
  EXPECT_EQ(Alone->Color(), clWindow);
  EXPECT_EQ(Alone->Width(), 64);
  EXPECT_EQ(Alone->Title()->Color(), clBtnFace);
  EXPECT_FALSE(Alone->ReadOnly());
  EXPECT_EQ(Alone->GetGrid(), nullptr);
}

// A column keeps the input method the program asks of it, stores it only
// where it differs from the grid's, and copies it.
TEST(GridColumn, InputMethodSettingsFollowTheGridUntilSet) {
  TPeopleGrid G;
  G.Grid.Columns()->Clear();
  TColumnKs* C = G.Own("Name");
  G.Grid.SetImeMode(imOpen);
  G.Grid.SetImeName("Grid IME");
  EXPECT_EQ(C->ImeMode(), imOpen);
  EXPECT_EQ(C->ImeName(), "Grid IME");
  C->SetImeMode(imOpen);
  EXPECT_FALSE(C->ExplicitValues().Contains(cvImeMode)) << "the grid's value sets no flag";
  C->SetImeName("Grid IME");
  EXPECT_TRUE(C->ExplicitValues().Contains(cvImeName));
  EXPECT_FALSE(C->Stored(cvImeName)) << "equal to the grid's";
  C->SetImeMode(imHira);
  C->SetImeName("Column IME");
  EXPECT_EQ(C->ImeMode(), imHira);
  EXPECT_EQ(C->ImeName(), "Column IME");
  EXPECT_TRUE(C->Stored(cvImeMode));
  EXPECT_TRUE(C->Stored(cvImeName));
  G.Grid.SetImeMode(imHira);
  EXPECT_FALSE(C->Stored(cvImeMode));

  TColumnKs* Copy = G.Own("Id");
  Copy->Assign(C);
  EXPECT_EQ(Copy->ImeMode(), imHira);
  EXPECT_EQ(Copy->ImeName(), "Column IME");
  Copy->ResetToDefaults();
  G.Grid.SetImeMode(imClose);
  EXPECT_EQ(Copy->ImeMode(), imClose);
  EXPECT_EQ(Copy->ImeName(), "Grid IME");

  TCollection Loose(CollectionItemClass<TColumnKs>());
  auto* Alone = static_cast<TColumnKs*>(Loose.Add());
  EXPECT_EQ(Alone->ImeMode(), imDontCare);
  EXPECT_EQ(Alone->ImeName(), "");
}

// A column's drop-down box copies with the column: its settings, and its
// list's columns only while customized. A box whose owner is no column
// does nothing.
TEST(GridColumn, TheDropDownBoxCopiesWithItsColumn) {
  TPeopleGrid G;
  G.Grid.Columns()->Clear();
  TColumnKs* From = G.Own("Name");
  TColumnDropDownBoxKs* Box = From->DropDownBox();
  Box->SetListSource(&G.Source);
  Box->SetOptions({dlgRowLinesKs, dlgAutoSortMarkingKs});
  Box->SetUseMultiTitle(true);
  Box->SetAutoFitColWidths(false);
  Box->Columns()->Add()->SetFieldName("Name");
  Box->SpecRow()->SetCellsText("(нет)");
  Box->SpecRow()->SetVisible(true);
  From->DropDownSpecRow()->SetCellsText("(все)");

  TColumnKs* To = G.Own("Id");
  To->DropDownBox()->Columns()->Add()->SetFieldName("Id");
  To->Assign(From);
  TColumnDropDownBoxKs* Copy = To->DropDownBox();
  EXPECT_EQ(Copy->ListSource(), &G.Source);
  EXPECT_EQ(Copy->Options(), (TDBLookupGridKsOptions{dlgRowLinesKs, dlgAutoSortMarkingKs}));
  EXPECT_TRUE(Copy->UseMultiTitle());
  EXPECT_FALSE(Copy->AutoFitColWidths());
  ASSERT_EQ(Copy->Columns()->Count(), 1);
  EXPECT_EQ(Copy->Columns()->Items(0)->FieldName(), "Name");
  EXPECT_EQ(Copy->SpecRow()->CellsText(), "(нет)");
  EXPECT_TRUE(Copy->SpecRow()->Visible());
  EXPECT_EQ(To->DropDownSpecRow()->CellsText(), "(все)");
  EXPECT_EQ(To->GetPopupDataGrid()->SpecRow()->CellsText(), "(все)") << "handed to the list";

  Box->Columns()->Clear();
  To->Assign(From);
  EXPECT_FALSE(Copy->ColumnsStored()) << "default columns clear the copy's";

  TColumnDropDownBoxKs Loose(nullptr);
  Loose.SetListSource(&G.Source);
  EXPECT_EQ(Loose.Columns(), nullptr);
  EXPECT_TRUE(Loose.Options().Empty());
}

TEST(GridColumn, WidthKeepsItsLimits) {
  TPeopleGrid G;
  G.Grid.Columns()->Clear();
  TColumnKs* C = G.Own("Name");
  struct {
    int Min, Max, Write, Expected;
  } Cases[] = {{0, 0, 80, 80},  {0, 50, 80, 50},  {0, 50, -1, 50},
               {30, 0, 10, 30}, {60, 50, 55, 60}, {60, 50, 40, 60}};
  for (auto& K : Cases) {
    C->SetMinWidth(0);
    C->SetMaxWidth(0);
    C->SetWidth(K.Write == -1 ? 70 : 1);
    C->SetMinWidth(K.Min);
    C->SetMaxWidth(K.Max);
    C->SetWidth(K.Write);
    if (K.Write == -1) {
      EXPECT_EQ(C->Width(), 50) << "-1 leaves the width";
      continue;
    }
    EXPECT_EQ(C->Width(), K.Expected) << K.Min << ".." << K.Max << " write " << K.Write;
  }
}

TEST(GridColumn, OptimizeWidthFitsTheColumnAsTheGridsFitDoes) {
  TPeopleGrid G;
  TColumnKs* Name = G.Column("Name");
  TColumnKs* Id = G.Column("Id");
  Id->SetWidth(7);
  Name->SetWidth(3);
  Name->OptimizeWidth();
  int Fitted = Name->Width();
  EXPECT_GT(Fitted, 3);
  EXPECT_EQ(Id->Width(), 7) << "only the column itself";
  Name->SetWidth(3);
  TColumnsKsList Only;
  Only.push_back(Name);
  G.Grid.OptimizeColsWidth(Only);
  EXPECT_EQ(Name->Width(), Fitted);

  TCollection Alone(CollectionItemClass<TColumnKs>());
  auto* Loose = static_cast<TColumnKs*>(Alone.Add());
  Loose->SetWidth(9);
  Loose->OptimizeWidth();
  EXPECT_EQ(Loose->Width(), 9) << "without a grid nothing to fit to";
}

TEST(GridColumn, ABuiltColumnWritesToItsField) {
  TPeopleGrid G;
  TColumnKs* C = G.Column("Name");
  ASSERT_NE(C, nullptr);
  EXPECT_FALSE(C->PersistentColumn());
  TField* F = G.Data.FieldByName("Name");
  C->SetAlignment(taCenter);
  EXPECT_EQ(F->Alignment(), taCenter);
  C->Title()->SetCaption("Имя");
  EXPECT_EQ(F->DisplayLabel(), "Имя");
  C->SetIndex(0);
  EXPECT_EQ(F->Index(), 0) << "the field moves with the column";
  EXPECT_EQ(G.Grid.Columns()->Items(0)->GetField(), F);
}

TEST(GridColumn, KindsTextsAndCheckBoxes) {
  TPeopleGrid G;
  G.Grid.Columns()->Clear();
  TColumnKs* Flag = G.Own("Flag");
  TColumnKs* State = G.Own("SYS$STATE");
  EXPECT_EQ(Flag->GetColumnType(), 0);
  Flag->PickList()->SetText("Да\nНет\n?");
  EXPECT_EQ(Flag->GetColumnType(), 1);
  Flag->KeyList()->SetText("Y\nN");
  EXPECT_EQ(Flag->GetColumnType(), 3);
  EXPECT_EQ(Flag->GetDisplayText(), "Да");
  G.Data.SetRecNo(2);
  EXPECT_EQ(Flag->GetDisplayText(), "Нет") << "the list finds keys in any case";
  G.Data.Edit();
  G.Data.FieldByName("Flag")->SetAsString("x");
  EXPECT_EQ(Flag->GetDisplayText(), "") << "'x' is not in the key list";
  Flag->SetNotInKeyListIndex(2);
  EXPECT_EQ(Flag->GetDisplayText(), "?");
  G.Data.Cancel();
  Flag->SetCheckboxes(true);
  EXPECT_EQ(Flag->GetColumnType(), 5);

  // The state column: "+" for a record that is not a list record.
  struct {
    int RecNo;
    const char* Text;
  } States[] = {{1, "+"}, {2, ""}, {3, ""}};
  for (auto& S : States) {
    G.Data.SetRecNo(S.RecNo);
    EXPECT_EQ(State->GetDisplayText(), S.Text) << "record " << S.RecNo;
  }
  // The same for a state value other than the record's (a saved level's).
  EXPECT_EQ(State->ValueDisplayText(Variant(5)), "+");
  EXPECT_EQ(State->ValueDisplayText(Variant(0x40000005)), "");
  EXPECT_EQ(State->ValueDisplayText(Variant::Null()), "");

  // Check boxes over a text field: any of the first line's names, any case.
  Flag->KeyList()->SetText("Y;Yes\nN");
  struct {
    Variant Value;
    TCheckBoxState State;
  } Boxes[] = {{Variant("y"), cbChecked},
               {Variant("YES"), cbChecked},
               {Variant("n"), cbUnchecked},
               {Variant("x"), cbGrayed},
               {Variant::Null(), cbGrayed}};
  G.Data.SetRecNo(1);
  for (auto& B : Boxes) {
    G.Data.Edit();
    G.Data.FieldByName("Flag")->SetValue(B.Value);
    EXPECT_EQ(Flag->GetCheckboxState(), B.State) << B.Value.AsString();
    G.Data.Cancel();
  }
  Flag->KeyList()->Clear();
  EXPECT_EQ(Flag->GetCheckboxState(), cbGrayed) << "no key list: grayed, not an index error";
  Flag->SetCheckboxState(cbChecked);
  EXPECT_EQ(G.Data.FieldByName("Flag")->AsString(), "Y") << "no line to write: nothing written";
  G.Data.Cancel();
}

TEST(GridColumn, FootersKeepTheirSumItemsInStep) {
  TPeopleGrid G;
  TColumnKs* Amount = G.Column("Amount");
  TDBSumCollection* Sums = G.Grid.SumList()->SumCollection();
  G.Grid.SumList()->SetActive(true);
  Amount->Footer()->SetValueType(fvtSum);
  ASSERT_EQ(Sums->Count(), 1);
  EXPECT_EQ(Amount->Footer()->SumItem()->FieldName(), "Amount") << "the column's field";
  EXPECT_EQ(Amount->Footer()->SumItem()->SumValue, 75000);
  Amount->Footer()->SetValueType(fvtStaticText);
  EXPECT_EQ(Sums->Count(), 0);
  EXPECT_EQ(Amount->Footer()->SumItem(), nullptr);
  Amount->Footer()->SetValueType(fvtAvg);
  EXPECT_EQ(Sums->Count(), 1);
  EXPECT_EQ(Amount->Footer()->SumItem()->SumValue, 37500);
  TColumnFooterKs* Second = Amount->Footers()->Add();
  Second->SetValueType(fvtCount);
  EXPECT_EQ(Sums->Count(), 2);
  EXPECT_EQ(Amount->GetFooter(0), Second);
  EXPECT_EQ(Amount->GetFooter(1), Amount->Footer());
  Second->SetToolTips(false);
  EXPECT_FALSE(Second->ToolTipsStored()) << "a ToolTips of false is not kept";
}

TEST(GridColumn, SortMarkersInSingleAndMultiMode) {
  TPeopleGrid G;
  auto Title = [&](int I) { return G.Grid.Columns()->Items(I)->Title(); };
  TColumnsKsList& Marked = G.Grid.SortMarkedColumns();
  G.Grid.SetOptionsKs(G.Grid.OptionsKs() - TDBGridKsOptions{dghMultiSortMarking});
  Title(0)->SetSortMarker(smDownKs);
  Title(1)->SetSortMarker(smUpKs);
  EXPECT_EQ(Title(0)->SortMarker(), smNoneKs) << "single mode: one marked column";
  EXPECT_EQ(Title(1)->SortIndex(), 1);
  ASSERT_EQ(Marked.size(), 1u);

  G.Grid.SetOptionsKs(G.Grid.OptionsKs() + TDBGridKsOptions{dghMultiSortMarking});
  for (int I = 0; I < 3; ++I) Title(I)->SetSortMarker(smDownKs);
  EXPECT_EQ(Title(2)->SortIndex(), 3);
  Title(1)->SetSortMarker(smNoneKs);
  Title(0)->SetSortMarker(smNoneKs);
  Title(1)->SetSortMarker(smDownKs);
  Title(0)->SetSortMarker(smDownKs);
  // Now 2, 1 and 0 hold 1, 2 and 3; clearing the first renumbers.
  Title(2)->SetSortMarker(smNoneKs);
  EXPECT_EQ(Title(1)->SortIndex(), 1);
  EXPECT_EQ(Title(0)->SortIndex(), 2);
  Title(2)->SetSortMarker(smUpKs);
  Title(2)->SetSortIndex(1);
  EXPECT_EQ(Title(2)->SortIndex(), 1) << "swapped with the holder of 1";
  EXPECT_EQ(Title(1)->SortIndex(), 3);
  EXPECT_EQ(Marked.front(), G.Grid.Columns()->Items(2));
  Title(2)->SetSortIndex(7);
  EXPECT_EQ(Title(2)->SortIndex(), 1) << "nobody holds 7: nothing changes";

  // Title clicks: down, up, then down again, or none when adding.
  Title(3)->ClickSortMarker(true);
  EXPECT_EQ(Title(3)->SortMarker(), smDownKs);
  Title(3)->ClickSortMarker(true);
  EXPECT_EQ(Title(3)->SortMarker(), smUpKs);
  Title(3)->ClickSortMarker(true);
  EXPECT_EQ(Title(3)->SortMarker(), smNoneKs);
  Title(3)->SetSortMarker(smUpKs);
  Title(3)->ClickSortMarker(false);
  EXPECT_EQ(Title(3)->SortMarker(), smDownKs);
  EXPECT_EQ(Marked.size(), 1u) << "a plain click clears the others";

  G.Grid.SetOptionsKs(G.Grid.OptionsKs() - TDBGridKsOptions{dghMultiSortMarking});
  G.Grid.Columns()->BeginUpdate();
  Title(0)->SetSortMarker(smDownKs);
  Title(1)->SetSortMarker(smDownKs);
  G.Grid.Columns()->EndUpdate();
  EXPECT_EQ(Title(0)->SortMarker(), smDownKs) << "inside an update nothing clears the others";
  EXPECT_EQ(Title(1)->SortMarker(), smDownKs);
}

TEST(GridColumnWrite, ModifyingFollowsTheAllowedOperations) {
  TPeopleGrid G;
  TColumnKs* Name = G.Column("Name");
  EXPECT_TRUE(Name->CanModify(false));
  G.Grid.SetAllowedOperations({alopInsertKs});
  EXPECT_FALSE(Name->CanModify(false)) << "no updates allowed while browsing";
  G.Data.Insert();
  EXPECT_TRUE(Name->CanModify(false)) << "but a record being inserted may change";
  G.Data.Cancel();
  G.Grid.SetAllowedOperations({alopUpdateKs});
  EXPECT_TRUE(Name->CanModify(true));
  EXPECT_EQ(G.Data.State(), dsEdit);
  EXPECT_TRUE(G.Grid.DataLink()->IsModified());
  G.Data.Cancel();
  G.Data.FieldByName("Name")->SetReadOnly(true);
  EXPECT_FALSE(Name->CanModify(false));
}

TEST(GridColumnWrite, SteppingWrapsAroundListsAndCountsNumbers) {
  TPeopleGrid G;
  TColumnKs* Flag = G.Column("Flag");
  Flag->PickList()->SetText("Да\nНет\nНе знаю");
  Flag->KeyList()->SetText("Y\nN\n?");
  struct {
    const char* From;
    long double Step;
    const char* To;
  } Steps[] = {
      {"Y", 1.0L, "N"}, {"?", 1.0L, "Y"}, {"Y", -1.0L, "?"}, {"x", 1.0L, "Y"}, {"x", -1.0L, "?"}};
  for (auto& S : Steps) {
    G.Data.Edit();
    G.Data.FieldByName("Flag")->SetAsString(S.From);
    Flag->ApplyNextValue(S.Step);
    EXPECT_EQ(G.Data.FieldByName("Flag")->AsString(), S.To) << S.From << " by " << double(S.Step);
    G.Data.Cancel();
  }
  TColumnKs* Amount = G.Column("Amount");
  G.Data.SetRecNo(2);  // a null amount
  Amount->ApplyNextValue(5.0L);
  EXPECT_EQ(G.Data.FieldByName("Amount")->AsFloat(), 0.0) << "null steps to 0 whatever the step";
  G.Data.Cancel();
  G.Data.SetRecNo(1);
  Amount->ApplyNextValue(1.0L);
  EXPECT_EQ(G.Data.FieldByName("Amount")->AsFloat(), 6.0);
  G.Data.Cancel();
  // An 18-digit amount steps exactly, where a double would lose its last digits.
  TColumnKs* Cents = G.Column("Cents");
  for (const auto& [Step, To] : {std::pair{1.0L, "12345678901235,5678"}, std::pair{-0.0001L, "12345678901234,5677"}}) {
    Cents->ApplyNextValue(Step);
    EXPECT_EQ(G.Data.FieldByName("Cents")->AsString(), To) << double(Step);
    G.Data.Cancel();
  }
}

TEST(GridColumnWrite, DatesAndHandledWrites) {
  TPeopleGrid G;
  TColumnKs* Born = G.Column("Born");
  TField* F = G.Data.FieldByName("Born");
  G.Data.Edit();
  Born->UpdateData("  .  .    ", Variant(), true);
  EXPECT_TRUE(F->IsNull()) << "the empty mask clears the date";
  G.Data.Cancel();
  G.Data.Edit();
  double Before = F->AsFloat();
  EXPECT_THROW(Born->UpdateData("31.12.1899", Variant(), true), EConvertError);
  EXPECT_EQ(F->AsFloat(), Before) << "a date the field cannot take changes nothing";
  EXPECT_THROW(Born->UpdateData("32.13.2000", Variant(), true), EConvertError);
  Born->UpdateData("01.02.2003", Variant(), true);
  EXPECT_EQ(F->AsString(), "01.02.2003");
  G.Data.Cancel();

  TColumnKs* Name = G.Column("Name");
  Name->OnUpdateData = [](TColumnKs*, AnsiString&, Variant&, bool&, bool& Handled) {
    Handled = true;
  };
  G.Data.Edit();
  Name->UpdateData("Другое", Variant(), true);
  EXPECT_EQ(G.Data.FieldByName("Name")->AsString(), "Анна");
  G.Data.Cancel();
}

}  // namespace

namespace {

// Each grid-default property: it follows the grid's defaults until set on
// the column, is stored only when it differs from them, and a copied
// column takes it with its flag.
TEST(GridColumn, GridDefaultPropertiesFollowTheDefaultsUntilSet) {
  struct TCase {
    const char* Name;
    TColumnKsValue Flag;
    std::function<bool(TColumnKs*)> Read;
    std::function<void(TColumnKs*, bool)> Write;
    std::function<void(TColumnDefValuesKs*, bool)> Default;
  };
  TCase Cases[] = {
      {"AlwaysShowEditButton", cvAlwaysShowEditButton,
       [](TColumnKs* C) { return C->AlwaysShowEditButton(); },
       [](TColumnKs* C, bool V) { C->SetAlwaysShowEditButton(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetAlwaysShowEditButton(V); }},
      {"AutoDropDown", cvAutoDropDown, [](TColumnKs* C) { return C->AutoDropDown(); },
       [](TColumnKs* C, bool V) { C->SetAutoDropDown(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetAutoDropDown(V); }},
      {"DblClickNextVal", cvDblClickNextVal, [](TColumnKs* C) { return C->DblClickNextVal(); },
       [](TColumnKs* C, bool V) { C->SetDblClickNextVal(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetDblClickNextVal(V); }},
      {"DropDownShowTitles", cvDropDownShowTitles,
       [](TColumnKs* C) { return C->DropDownShowTitles(); },
       [](TColumnKs* C, bool V) { C->SetDropDownShowTitles(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetDropDownShowTitles(V); }},
      {"DropDownSizing", cvDropDownSizing, [](TColumnKs* C) { return C->DropDownSizing(); },
       [](TColumnKs* C, bool V) { C->SetDropDownSizing(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetDropDownSizing(V); }},
      {"EndEllipsis", cvEndEllipsis, [](TColumnKs* C) { return C->EndEllipsis(); },
       [](TColumnKs* C, bool V) { C->SetEndEllipsis(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetEndEllipsis(V); }},
      {"HighlightRequired", cvHighlightRequired,
       [](TColumnKs* C) { return C->HighlightRequired(); },
       [](TColumnKs* C, bool V) { C->SetHighlightRequired(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetHighlightRequired(V); }},
      {"ToolTips", cvToolTips, [](TColumnKs* C) { return C->ToolTips(); },
       [](TColumnKs* C, bool V) { C->SetToolTips(V); },
       [](TColumnDefValuesKs* D, bool V) { D->SetToolTips(V); }},
      {"Layout", cvLayout, [](TColumnKs* C) { return C->Layout() == tlBottom; },
       [](TColumnKs* C, bool V) { C->SetLayout(V ? tlBottom : tlTop); },
       [](TColumnDefValuesKs* D, bool V) { D->SetLayout(V ? tlBottom : tlTop); }},
  };
  for (TCase& K : Cases) {
    TPeopleGrid G;
    G.Grid.Columns()->Clear();
    TColumnKs* C = G.Own("Name");
    TColumnDefValuesKs* D = G.Grid.ColumnDefValues();
    K.Default(D, false);
    EXPECT_FALSE(K.Read(C)) << K.Name;
    K.Default(D, true);
    EXPECT_TRUE(K.Read(C)) << K.Name << " follows the defaults";
    K.Write(C, true);
    EXPECT_TRUE(C->ExplicitValues().Contains(K.Flag)) << K.Name;
    EXPECT_FALSE(C->Stored(K.Flag)) << K.Name << " equal to the default: not stored";
    K.Default(D, false);
    EXPECT_TRUE(K.Read(C)) << K.Name << " keeps its own";
    EXPECT_TRUE(C->Stored(K.Flag)) << K.Name;
    TColumnKs* Copy = G.Grid.Columns()->Add();
    Copy->Assign(C);
    EXPECT_TRUE(K.Read(Copy)) << K.Name << " copied with its flag";
    TCollection Loose(CollectionItemClass<TColumnKs>());
    EXPECT_FALSE(K.Read(static_cast<TColumnKs*>(Loose.Add()))) << K.Name << " without a grid";
  }
}

TEST(GridColumn, WordWrapAndLookupFieldsFollowTheField) {
  TPeopleGrid G;
  G.Grid.Columns()->Clear();
  TColumnKs* Name = G.Own("Name");
  TColumnKs* Id = G.Own("Id");
  EXPECT_TRUE(Name->WordWrap()) << "a text field wraps";
  EXPECT_FALSE(Id->WordWrap());
  Name->SetWordWrap(true);
  EXPECT_FALSE(Name->ExplicitValues().Contains(cvWordWrap)) << "the same as it reads: no flag";
  Name->SetWordWrap(false);
  EXPECT_FALSE(Name->WordWrap());
  EXPECT_TRUE(Name->Stored(cvWordWrap));
  EXPECT_EQ(Id->LookupDisplayFields(), "") << "not a lookup field";
  Id->SetLookupDisplayFields("Name");
  EXPECT_EQ(Id->LookupDisplayFields(), "Name");
  EXPECT_TRUE(Id->Stored(cvLookupDisplayFields));
}

}  // namespace

namespace {

// People with a city code shown through a lookup field of cities.
struct TCityGrid {
  TArrayDataSet Cities{nullptr};
  TArrayDataSet People{nullptr};
  TDataSource Source{nullptr};
  TForm* Form = new TForm(Application);
  TDBGridKs* Grid = new TDBGridKs(Form);

  TField* Add(const char* Name, TFieldType Type, TFieldKind Kind = fkData, int Size = 0) {
    TField* F = DefaultFieldClass(Type)(&People);
    F->SetFieldName(Name);
    F->SetFieldKind(Kind);
    if (Size) F->SetSize(Size);
    F->SetDataSet(&People);
    return F;
  }
  TCityGrid() {
    Cities.FieldDefs()->Add("Code", ftInteger);
    Cities.FieldDefs()->Add("Title", ftString, 20);
    Cities.Open();
    for (int I = 1; I <= 3; ++I) AppendValues(&Cities, {I * 10, "город" + std::to_string(I)});
    Add("Id", ftInteger);
    Add("Name", ftString, fkData, 20);
    Add("CityId", ftInteger)->SetVisible(false);
    TField* City = Add("City", ftString, fkLookup, 20);
    City->SetLookupDataSet(&Cities);
    City->SetKeyFields("CityId");
    City->SetLookupKeyFields("Code");
    City->SetLookupResultField("Title");
    People.Open();
    AppendValues(&People, {1, "Анна", 20});
    AppendValues(&People, {2, "Борис", 30});
    People.First();
    Source.SetDataSet(&People);
    Grid->SetParent(Form);
    Grid->SetBounds(0, 0, 400, 200);
    Grid->SetDataSource(&Source);
    Form->Show();
  }
  ~TCityGrid() {
    delete Form;
    People.Close();
    Cities.Close();
  }
  TCityGrid(const TCityGrid&) = delete;
  TCityGrid& operator=(const TCityGrid&) = delete;
};

TEST(GridColumn, FocusOnAHiddenKeyFieldGoesToItsLookupColumn) {
  TCityGrid G;
  ASSERT_EQ(G.Grid->Columns()->Count(), 3) << "Id, Name and City; the code is hidden";
  EXPECT_EQ(G.Grid->SelectedIndex(), 0);
  G.People.FieldByName("CityId")->FocusControl();
  PumpFor(20);
  EXPECT_EQ(G.Grid->SelectedField(), G.People.FieldByName("City"));
  EXPECT_TRUE(G.Grid->GridOrEditorFocused());
}

// A lookup cell shows the special row's first text for the row's value,
// and for a key the list lacks unless the row keeps to the listed keys; an
// image column's cells have no text.
TEST(GridColumn, ALookupCellShowsTheSpecialRowForItsValue) {
  TCityGrid G;
  TColumnKs* City = G.Grid->Columns()->Items(2);
  TSpecRowKs* Spec = City->DropDownSpecRow();
  Spec->SetCellsText("(все);x");
  Spec->SetValue(Variant(20));
  EXPECT_EQ(City->GetDisplayText(), "город2") << "a hidden row stands for nothing";
  Spec->SetVisible(true);
  struct {
    Variant Key;
    bool ShowIfNotInKeyList;
    const char* Text;
  } Cases[] = {{Variant(20), false, "(все)"}, {Variant(30), true, "город3"},
               {Variant(99), true, "(все)"},  {Variant(99), false, ""},
               {Variant::Null(), true, "(все)"}};
  for (auto& C : Cases) {
    Spec->SetShowIfNotInKeyList(C.ShowIfNotInKeyList);
    G.People.Edit();
    G.People.FieldByName("CityId")->SetValue(C.Key);
    EXPECT_EQ(City->GetDisplayText(), C.Text) << VarToStr(C.Key) << C.ShowIfNotInKeyList;
    G.People.Cancel();
  }

  TColumnKs* Name = G.Grid->Columns()->Items(1);
  TImageList Images(nullptr, 16, 16);
  Name->SetImageList(&Images);
  ASSERT_EQ(Name->GetColumnType(), 4);
  EXPECT_EQ(Name->GetDisplayText(), "");
  Name->SetShowImageAndText(true);
  EXPECT_EQ(Name->GetDisplayText(), "Анна");
  Name->SetImageList(nullptr);
}

TEST(GridColumnWrite, ALookupColumnStepsThroughItsList) {
  TCityGrid G;
  TColumnKs* City = G.Grid->Columns()->Items(2);
  ASSERT_EQ(City->GetColumnType(), 2);
  struct {
    int From;
    long double Step;
    int To;
  } Steps[] = {{20, 1.0L, 30}, {30, 1.0L, 10}, {10, -1.0L, 30}, {20, -1.0L, 10}};
  for (auto& S : Steps) {
    G.People.Edit();
    G.People.FieldByName("CityId")->SetAsInteger(S.From);
    City->ApplyNextValue(S.Step);
    EXPECT_EQ(G.People.FieldByName("CityId")->AsInteger(), S.To) << S.From;
    G.People.Cancel();
  }
  G.People.Edit();
  G.People.FieldByName("CityId")->Clear();
  City->ApplyNextValue(1.0L);
  EXPECT_EQ(G.People.FieldByName("CityId")->AsInteger(), 10) << "from no key: the first";
  G.People.Cancel();
}

}  // namespace
