// The service actions as TI holds them: start-up and shutdown, the targets
// they take, what they do on a data source and on the active data-aware
// edit, and the clipboard with the Russian locale.
#include "ServiceActions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "DBEditKs.h"
#include "DBLookupGridsKs.h"
#include "EditorForm.h"
#include "SDS.h"
#include "SDataSource.h"
#include "ServiceModule.h"
#include "ToolCtrlsKs.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "uIterators.h"
#include "zynMemTable.h"

namespace {

std::wstring UnicodeClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(ServiceActionsUnit, CountedStartUpAndShutdownLeaveNoGlobalBehind) {
  InitServiceActionsUnit();
  InitServiceActionsUnit();
  TServiceModule* module = ServiceModule();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->Actions.size(), 56u);
  EXPECT_EQ(module->ActionList->ActionCount(), 56);
  EXPECT_EQ(module->SysEditPopupMenu->Items()->Count(), 7);
  // Keys the grid's key table and the menu read; no two service actions share one.
  EXPECT_EQ(Find->ShortCut, 16498);
  EXPECT_EQ(GroupAdd->ShortCut, scCtrl | VK_ADD);
  std::map<TShortCut, AnsiString> keys;
  for (TAction* action : module->Actions) {
    if (action->Category == "PelmService" && action->ShortCut) {
      EXPECT_TRUE(keys.emplace(action->ShortCut, action->Name()).second) << action->Name();
    }
  }
  EXPECT_EQ(RecordMarkAll->Hint, "Отметить/НЕотметить ВСЕ строки ");
  EXPECT_EQ(TougleLevels->Category, "PelmAppService");
  EXPECT_TRUE(ServiceMarkColor == 0x00C0FFE0 || ServiceMarkColor == 0x0000FF00);
  // The drawn images: each action shows one of the list's or none, and the
  // insert action's green plus is really there over a transparent corner.
  ASSERT_EQ(module->ImageList->Count(), 44);
  for (TAction* action : module->Actions)
    EXPECT_TRUE(action->ImageIndex >= -1 && action->ImageIndex < 44) << action->Name();
  TBitmap drawn;
  drawn.SetSize(16, 16);
  drawn.Canvas()->Brush()->SetColor(clYellow);
  drawn.Canvas()->FillRect(RECT{0, 0, 16, 16});
  module->ImageList->Draw(drawn.Canvas(), 0, 0, RecordInsert->ImageIndex);
  EXPECT_EQ(drawn.Canvas()->Pixels(11, 11), TColor(0x008000));
  EXPECT_EQ(drawn.Canvas()->Pixels(15, 0), clYellow);

  DoneServiceActionsUnit();
  EXPECT_EQ(ServiceModule(), module);
  EXPECT_NE(REditPaste, nullptr);
  DoneServiceActionsUnit();
  EXPECT_EQ(ServiceModule(), nullptr);
  for (TAction* global : {RecordMark, RecordMarkAll, RecordMarkGroup, Find, Sum, RecordCount, GroupDelete,
                          GroupReplace, GroupFill, GroupAdd, GroupMul, Filter, FilterCancel, Sort, SortCancel,
                          RecordEdit, RecordPost, RecordInsert, RecordDelete, RecordDoubleField, RecordDoubleRecord,
                          RecordAttributes, StdPrint, StdExcel, GridCustomize, CallRef, TougleLevels, REditCopy,
                          REditPaste})
    EXPECT_EQ(global, nullptr);
  EXPECT_EQ(SysEditPopupMenu, nullptr);
  DoneServiceActionsUnit();  // one too many does nothing
}

// A screen of 256 colours cannot show the pale mark colour: marks go bright
// green there, in the grid and in the lookup lists alike.
TEST(ServiceActionsUnit, TheMarkColourFollowsTheScreenDepth) {
  const struct {
    int Depth;
    TColor Colour;
  } cases[] = {{8, TColor(0x0000FF00)}, {4, TColor(0x0000FF00)}, {16, TColor(0x00C0FFE0)}, {32, TColor(0x00C0FFE0)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Depth);
    SetScreenDepthHook([&] { return c.Depth; });
    InitServiceActionsUnit();
    EXPECT_EQ(ServiceMarkColor, c.Colour);
    EXPECT_EQ(ServiceMarkColorDeep, c.Depth > 8);
    EXPECT_EQ(PopupMarking.MarkColor, c.Colour);
    DoneServiceActionsUnit();
  }
  SetScreenDepthHook(nullptr);
}

class ServiceActionsTest : public testing::Test {
 protected:
  void SetUp() override {
    InitServiceActionsUnit();
    Table.FieldDefs()->Add("QTY", ftInteger);
    Table.FieldDefs()->Add("NAME", ftString, 20);
    Table.Open();
    AppendValues(&Table, {1, AnsiString("a")});
    AppendValues(&Table, {2, AnsiString("b")});
    Table.First();
    Source.SetDataSet(&Table);
    Form.Edit->SetDataSource(&Source);
    Form.Edit->SetDataField("QTY");
  }
  void TearDown() override {
    SetPromptValueHook(nullptr);
    DoneServiceActionsUnit();
  }
  std::vector<int> Quantities() {
    std::vector<int> values;
    for (Table.First(); !Table.Eof(); Table.Next()) values.push_back(Table.FieldByName("QTY")->AsInteger());
    return values;
  }

  TzynMemTable Table{nullptr};
  TSDataSource Source{nullptr};
  TEditorForm<TDBEditKs> Form;
};

TEST_F(ServiceActionsTest, TargetsTakenAndRefused) {
  TDataSource plain(nullptr);
  EXPECT_TRUE(RecordMark->HandlesTarget(&Source));
  EXPECT_TRUE(RecordMark->HandlesTarget(Form.Edit));
  EXPECT_FALSE(RecordMark->HandlesTarget(Form.Other));
  EXPECT_FALSE(RecordMark->HandlesTarget(&plain));
  // Grid-only actions refuse the edit.
  EXPECT_FALSE(RecordDoubleField->HandlesTarget(Form.Edit));
  EXPECT_TRUE(RecordDoubleField->HandlesTarget(&Source));
  EXPECT_FALSE(StdPrint->HandlesTarget(Form.Edit));
  EXPECT_TRUE(REditPaste->HandlesTarget(Form.Other));
}

// An action the focused edit refuses is offered to its data source next.
TEST_F(ServiceActionsTest, WhatTheEditRefusesItsDataSourceTakes) {
  Form.Show();
  EXPECT_TRUE(RecordDoubleField->Execute());
  Form.Show(Form.Other);
  EXPECT_FALSE(RecordDoubleField->Execute());
}

TEST_F(ServiceActionsTest, ExecutedOnTheActiveEditAndItsDataSource) {
  Form.Show();
  // The edit takes the mark for its data source's current record.
  ASSERT_TRUE(RecordMark->Execute());
  EXPECT_FALSE(Source.Marker()->IsEmpty());
  EXPECT_TRUE(Source.Marker()->IsMarked());
  Source.Marker()->Clear();

  // A group operation runs on the edit's field.
  SetPromptValueHook([](const AnsiString&, uint8_t, Variant& Value) {
    Value = 9;
    return true;
  });
  ASSERT_TRUE(GroupFill->Execute());
  EXPECT_EQ(Quantities(), (std::vector<int>{9, 9}));

  RecordEdit->Execute();
  EXPECT_EQ(Table.State(), dsEdit);
  Table.FieldByName("QTY")->SetAsInteger(4);
  RecordPost->ExecuteTarget(&Source);
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Table.FieldByName("QTY")->AsInteger(), 4);

  // A closed table refuses an insert and a delete with the hint error.
  Table.Close();
  EXPECT_THROW(RecordInsert->Execute(), EHintError);
  EXPECT_THROW(RecordDelete->Execute(), EHintError);
}

TEST_F(ServiceActionsTest, ClipboardTextTravelsWithTheRussianLocale) {
  PutClipboardText("Привет");
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE locale = GetClipboardData(CF_LOCALE);
  const int32_t id = locale ? *static_cast<int32_t*>(GlobalLock(locale)) : 0;
  if (locale) GlobalUnlock(locale);
  CloseClipboard();
  EXPECT_EQ(id, 1049);
  EXPECT_EQ(ClipboardText(), "Привет");
  // A program reading Unicode gets the Cyrillic, not the code page's bytes.
  EXPECT_EQ(UnicodeClipboardText(), L"Привет");

  Form.Show(Form.Other);
  REditPaste->Execute();
  EXPECT_EQ(Form.Other->Text(), "Привет");

  // And text a Unicode program put there alone pastes as Cyrillic.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const std::wstring put = L"Мир";
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (put.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(data), put.c_str(), (put.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(data);
  SetClipboardData(CF_UNICODETEXT, data);
  CloseClipboard();
  Form.Other->SelectAll();
  REditPaste->Execute();
  EXPECT_EQ(Form.Other->Text(), "Мир");
}

// The edit menu's own copy and paste act on the edit it was opened over.
TEST_F(ServiceActionsTest, TheEditMenuCopiesAndPastesThroughItsEdit) {
  Form.Show(Form.Other);
  Form.Other->SetText("Привет мир");
  TMenuItem* items = SysEditPopupMenu->Items();
  ASSERT_EQ(items->Items(3)->Caption(), "Копировать");
  ASSERT_EQ(items->Items(4)->Caption(), "Вставить");
  SysEditPopupMenu->PopupComponent = Form.Other;
  Form.Other->SetSelStart(7);
  Form.Other->SetSelLength(3);
  items->Items(3)->Click();
  EXPECT_EQ(ClipboardText(), "мир");
  Form.Other->SetSelStart(0);
  Form.Other->SetSelLength(6);
  items->Items(4)->Click();
  EXPECT_EQ(Form.Other->Text(), "мир мир");
  SysEditPopupMenu->PopupComponent = nullptr;
}

}  // namespace
