// Paste and delete on a grid through the real clipboard: the binary format
// preferred, text alone, nothing without either, a hostile block refused
// with nothing changed, text after its zero ignored; the delete questions.
#include "COMPONENTS/kslib/DBGridKsImpExp.h"

#include <cstring>

#include "COMPONENTS/kslib/DBGridKsSelection.h"
#include "GridForm.h"
#include "forms/Clipbrd.h"
#include "forms/ScriptedPrompts.h"
#include "tests/COMPONENTS/kslib/ExportRows.h"

namespace {

class TImpExpEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    InitDBGridKsUnit();
    InitDBGridKsImpExpUnit();
  }
  void TearDown() override {
    DoneDBGridKsImpExpUnit();
    DoneDBGridKsUnit();
  }
};
const auto* const Unit = ::testing::AddGlobalTestEnvironment(new TImpExpEnvironment);

// Each block as the clipboard's new content.
void PutOnClipboard(std::initializer_list<std::pair<UINT, AnsiString>> Blocks) {
  TClipboard* clipboard = Clipboard();
  clipboard->Open();
  clipboard->Clear();
  for (const auto& [format, bytes] : Blocks) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    clipboard->SetAsHandle(format, block);
  }
  clipboard->Close();
}

AnsiString BinaryRows(const std::vector<std::vector<TExportValue>>& Records) {
  TStringStream stream;
  TGridExportAsVCLDBIF writer(stream);
  writer.WritePrefix(TextRow({"", ""}));
  for (const auto& values : Records) {
    TExportRow row = TextRow({"", ""});
    for (size_t i = 0; i < values.size(); ++i) row[i].Value = values[i];
    writer.WriteRecord(row);
  }
  writer.WriteSuffix();
  return stream.DataString();
}

struct ImpExpTest : ::testing::Test {
  ImpExpTest() { F.Grid->SetSelectedField(F.Data.FieldByName("Name")); }
  std::vector<AnsiString> Names() {
    std::vector<AnsiString> names;
    for (F.Data.First(); !F.Data.Eof(); F.Data.Next())
      names.push_back(F.Data.FieldByName("Name")->AsString());
    return names;
  }
  TGridForm<> F{3};
};

TEST_F(ImpExpTest, PasteTakesTheBinaryFormatBeforeTextAndTextAlone) {
  PutOnClipboard({{CF_TEXT, AnsiString("t1\r\nt2", 7)},
                  {GridClipboardFormat, BinaryRows({{Value(TExportValueKind::String, "b1"),
                                                     FloatValue(7.5)}})}});
  PasteIntoGridProc(F.Grid);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"b1", "item2", "item3"}));
  F.Data.First();
  EXPECT_EQ(F.Data.FieldByName("Price")->AsFloat(), 7.5);

  PutOnClipboard({{CF_TEXT, AnsiString("t1\t2,5\r\nt2\0junk\r\nt3", 20)}});
  F.Data.First();
  PasteIntoGrid(F.Grid, false);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"t1", "t2", "item3"}));
  EXPECT_EQ(F.Data.State(), dsBrowse);

  PutOnClipboard({});
  PasteIntoGrid(F.Grid, true);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"t1", "t2", "item3"}));
}

TEST_F(ImpExpTest, AHostileBinaryBlockIsTheFormatErrorAndChangesNothing) {
  const AnsiString hostile = BinaryRows({}).substr(0, 12) + Bytes({1, 0, 1, 0, 5, 0xFF, 0xFF, 0xFF, 0x7F});
  PutOnClipboard({{GridClipboardFormat, hostile}, {CF_TEXT, AnsiString("t1", 3)}});
  try {
    PasteIntoGrid(F.Grid, true);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "TDBGridKsImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF");
  }
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"item1", "item2", "item3"}));
  EXPECT_EQ(F.Data.State(), dsBrowse);
  // The clipboard was closed on the way out.
  ASSERT_TRUE(OpenClipboard(nullptr));
  CloseClipboard();
}

TEST_F(ImpExpTest, PastingIntoAnInsertedRecordAddsEveryRow) {
  F.Data.Last();
  F.Data.Append();
  // Text on the clipboard ends with its zero.
  PutOnClipboard({{CF_TEXT, AnsiString("n1\r\nn2\r\nn3", 11)}});
  PasteIntoGrid(F.Grid, false);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"item1", "item2", "item3", "n1", "n2", "n3"}));
}

TEST_F(ImpExpTest, DeletesAskWithOkAndCancelWhenTheGridConfirms) {
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgConfirmDelete});
  TDBGridKsSelection* selection = F.Grid->Selection();
  F.Data.SetRecNo(2);
  selection->Rect()->AnchorRow = selection->Rect()->ShiftRow = F.Data.GetBookmark();
  selection->Rect()->AnchorCol = selection->Rect()->ShiftCol = 1;
  selection->SetSelectionType(gstRectangle);
  TScriptedPrompts script;
  script.Answer(IDCANCEL);
  DeleteGridSelection(F.Grid, false);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"item1", "item2", "item3"}));
  script.Answer(IDOK);
  DeleteGridSelectionProc(F.Grid);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"item1", "", "item3"}));

  script.Answer(IDCANCEL);
  DeleteGridSelection(F.Grid, true);
  EXPECT_EQ(F.Data.RecordCount(), 3);
  script.Answer(IDOK);
  DeleteGridSelection(F.Grid, true);
  EXPECT_TRUE(F.Data.IsEmpty());

  ASSERT_EQ(script.Asked.size(), 4u);
  EXPECT_EQ(script.Asked[0].Text, "Очистить выделенные ячейки?");
  EXPECT_EQ(script.Asked[0].Flags & MB_TYPEMASK, MB_OKCANCEL);
  EXPECT_EQ(script.Asked[2].Text, "Удалить все записи?");
}

}  // namespace
