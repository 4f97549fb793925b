// Copy, cut, paste and delete on a grid through the real clipboard: the
// four formats of a copy, and its blocks left as files for
// check_clipboard_blocks.py to read as other programs do; the binary format
// preferred at a paste, text alone, nothing without either, a hostile block
// refused with nothing changed, text after its zero ignored; the delete
// questions, once through the system's own box.
#include "COMPONENTS/kslib/DBGridKsImpExp.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "COMPONENTS/kslib/DBGridKsFooters.h"
#include "COMPONENTS/kslib/DBGridKsSelection.h"
#include "GridForm.h"
#include "forms/Clipbrd.h"
#include "forms/ScriptedPrompts.h"
#include "COMPONENTS/kslib/DBGridKsImportFormats.h"
#include "rtl/AnsiText.h"
#include "tests/COMPONENTS/kslib/ExportRows.h"

namespace {

// After the grid unit, ended before it.
class TImpExpEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { InitDBGridKsImpExpUnit(); }
  void TearDown() override { DoneDBGridKsImpExpUnit(); }
};
const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);
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
  TDBGridKsExportAsVCLDBIF writer(stream);
  writer.WritePrefix(TextRow({"", ""}));
  for (const auto& values : Records) {
    TExportRow row = TextRow({"", ""});
    for (size_t i = 0; i < values.size(); ++i) row[i].Value = values[i];
    writer.WriteRecord(row);
  }
  writer.WriteSuffix();
  return stream.DataString();
}

// A format's block as it is on the clipboard.
AnsiString ClipboardBlock(UINT Format) {
  TClipboard* clipboard = Clipboard();
  clipboard->Open();
  AnsiString bytes;
  if (HANDLE block = clipboard->GetAsHandle(Format)) {
    bytes.assign(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
    GlobalUnlock(block);
  }
  clipboard->Close();
  return bytes;
}

// Rows of cells as lines, cells split by "|", each cell as its UTF-16 code
// units in hex, which is how check_clipboard_blocks.py compares them.
void SaveCells(const char* FileName, const std::vector<std::vector<AnsiString>>& Rows) {
  std::ofstream out(FileName, std::ios::binary);
  for (const auto& row : Rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) out << '|';
      const WideString wide = AnsiToWide(row[i]);
      for (size_t k = 0; k < wide.size(); ++k) {
        char hex[8];
        std::snprintf(hex, sizeof hex, k > 0 ? " %04x" : "%04x", static_cast<unsigned>(wide[k]));
        out << hex;
      }
    }
    out << '\n';
  }
}

void SaveBlock(const char* FileName, const AnsiString& Block) {
  std::ofstream(FileName, std::ios::binary) << Block;
}

struct ImpExpTest : ::testing::Test {
  ImpExpTest() { F.Grid->SetSelectedField(F.Data.FieldByName("Name")); }
  std::vector<AnsiString> Names() {
    std::vector<AnsiString> names;
    for (F.Data.First(); !F.Data.Eof(); F.Data.Next())
      names.push_back(F.Data.FieldByName("Name")->AsString());
    return names;
  }
  // Two title levels over the first two columns.
  void UseTwoTitleLevels() {
    const char* const captions[] = {"Товар|Код", "Товар|Название", "Цена", "Кол-во"};
    for (int i = 0; i < 4; ++i) F.Grid->Columns()->Items(i)->Title()->SetCaption(captions[i]);
    F.Grid->SetUseMultiTitle(true);
  }
  TGridForm<> F{3};
};

TEST_F(ImpExpTest, CopyPutsTheFourFormatsOfTheSelection) {
  TDBGridKsSelection* selection = F.Grid->Selection();
  F.Data.SetRecNo(2);
  selection->Rect()->AnchorRow = F.Data.GetBookmark();
  selection->Rect()->AnchorCol = 1;
  F.Data.SetRecNo(3);
  F.Data.Edit();
  F.Data.FieldByName("Name")->SetAsString("Щука");
  F.Data.Post();
  selection->Rect()->ShiftRow = F.Data.GetBookmark();
  selection->Rect()->ShiftCol = 3;
  selection->SetSelectionType(gstRectangle);
  CopyGridSelectionProc(F.Grid);

  TStringStream text;
  ExportDBGridKsToStream(F.Grid, text, TGridExportFormat::Text, false);
  EXPECT_EQ(text.DataString().substr(0, 16), "Name\tPrice\tQty\r\n");
  EXPECT_NE(text.DataString().find("Щука"), AnsiString::npos);
  // The system offers the Unicode text as ANSI text too.
  EXPECT_EQ(ClipboardBlock(CF_TEXT).substr(0, text.DataString().size() + 1),
            text.DataString() + AnsiString(1, '\0'));
  for (UINT format : {CsvClipboardFormat, RtfClipboardFormat}) {
    const AnsiString block = ClipboardBlock(format);
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(block.back(), '\0');
  }
  EXPECT_EQ(ClipboardBlock(RtfClipboardFormat).substr(0, 6), "{\\rtf0");

  // The binary format as exported, with no zero after it.
  TStringStream exported;
  ExportDBGridKsToStream(F.Grid, exported, TGridExportFormat::VCLDBIF, false);
  EXPECT_EQ(ClipboardBlock(GridClipboardFormat), exported.DataString());
  TStringStream binary(ClipboardBlock(GridClipboardFormat));
  TDBGridKsImportAsVCLDBIF reader(binary);
  reader.ReadPrefix();
  ASSERT_EQ(reader.Columns().size(), 3u);
  const std::vector<TExportValue> second = reader.ReadRecord();
  EXPECT_EQ(second[0].Bytes, "item2");
  EXPECT_EQ(second[1].Float, 3.0);
  EXPECT_EQ(second[2].Integer, 20);
  EXPECT_EQ(reader.ReadRecord()[0].Bytes, "Щука");
  EXPECT_TRUE(reader.EndOfData());
}

// The blocks of a copy as files, with the cells each one must read back as:
// the fixture of check_clipboard_blocks.py, run after this test.
TEST_F(ImpExpTest, ACopyLeavesBlocksThatOtherProgramsRead) {
  UseTwoTitleLevels();
  const char* const names[] = {"Иванов \"Ёж\"; №5", "two\r\nlines", ""};
  for (int i = 0; i < 3; ++i) {
    F.Data.SetRecNo(i + 1);
    F.Data.Edit();
    F.Data.FieldByName("Name")->SetAsString(names[i]);
    F.Data.Post();
  }
  CopyGridSelection(F.Grid, true);
  const AnsiString csv = ClipboardBlock(CsvClipboardFormat);
  const AnsiString rtf = ClipboardBlock(RtfClipboardFormat);
  ASSERT_FALSE(csv.empty());
  ASSERT_FALSE(rtf.empty());
  SaveBlock("clipboard.csv", csv);
  SaveBlock("clipboard.rtf", rtf);

  std::vector<std::vector<AnsiString>> records;
  for (F.Data.First(); !F.Data.Eof(); F.Data.Next()) {
    records.emplace_back();
    for (const char* field : {"Id", "Name", "Price", "Qty"})
      records.back().push_back(F.Data.FieldByName(field)->DisplayText());
  }
  std::vector<std::vector<AnsiString>> csvCells = {
      {"Товар|Код", "Товар|Название", "Цена", "Кол-во"}};
  csvCells.insert(csvCells.end(), records.begin(), records.end());
  SaveCells("clipboard-csv-cells.txt", csvCells);
  // RTF readers give a line break as white space between the lines.
  std::vector<std::vector<AnsiString>> rtfCells = {{"Товар", "", "Цена", "Кол-во"},
                                                   {"Код", "Название", "", ""}};
  for (auto row : records) {
    row[1] = StringReplace(row[1], "\r\n", " ", rfReplaceAll);
    rtfCells.push_back(row);
  }
  SaveCells("clipboard-rtf-cells.txt", rtfCells);
}

TEST_F(ImpExpTest, RtfTitlesHaveARowPerTitleLevelAndTextOneRow) {
  UseTwoTitleLevels();
  TStringStream rtf, text;
  ExportDBGridKsToStream(F.Grid, rtf, TGridExportFormat::RTF, true);
  const AnsiString exported = rtf.DataString();
  size_t rows = 0;
  for (size_t at = exported.find("\\trowd"); at != AnsiString::npos;
       at = exported.find("\\trowd", at + 1))
    ++rows;
  EXPECT_EQ(rows, 5u) << "two title levels and three records";
  // "Товар" spans two cells: its first keeps no right border.
  const size_t first = exported.find("\\trowd");
  EXPECT_EQ(exported.substr(first, exported.find("\\clshdng", first) - first),
            "\\trowd\\trgaph40\r\n\\clbrdrl\\brdrs\\brdrcf0\r\n\\clbrdrt\\brdrs\\brdrcf0\r\n"
            "\\clbrdrb\\brdrs\\brdrcf0\r\n");
  ExportDBGridKsToStream(F.Grid, text, TGridExportFormat::Text, true);
  EXPECT_EQ(text.DataString().substr(0, text.DataString().find("\r\n")),
            "Товар|Код\tТовар|Название\tЦена\tКол-во");
}

TEST_F(ImpExpTest, WithoutASelectionNoFormatWritesAnything) {
  ASSERT_EQ(F.Grid->Selection()->SelectionType(), gstNon);
  for (TGridExportFormat format : {TGridExportFormat::Text, TGridExportFormat::CSV,
                                   TGridExportFormat::RTF, TGridExportFormat::VCLDBIF}) {
    TStringStream stream;
    ExportDBGridKsToStream(F.Grid, stream, format, false);
    EXPECT_EQ(stream.Size(), 0) << static_cast<int>(format);
  }
}

// The environment has started the unit once: another start-up registers
// nothing anew, and its end leaves the procedures to the first one.
TEST(ImpExpUnit, StartUpIsCountedAndRegistersTheFormatsOnce) {
  const UINT binary = GridClipboardFormat, csv = CsvClipboardFormat, rtf = RtfClipboardFormat;
  for (auto [format, name] :
       {std::pair{binary, "VCLDBIF"}, std::pair{csv, "Csv"}, std::pair{rtf, "Rich Text Format"}}) {
    char registered[64] = {};
    GetClipboardFormatNameA(format, registered, sizeof registered);
    EXPECT_STREQ(registered, name);
  }
  InitDBGridKsImpExpUnit();
  EXPECT_EQ(GridClipboardFormat, binary);
  DoneDBGridKsImpExpUnit();
  EXPECT_TRUE(CopyGridSelectionProc && CutGridSelectionProc && PasteIntoGridProc &&
              DeleteGridSelectionProc);
}

TEST_F(ImpExpTest, AFileOfTheBinaryFormatPutsTheValuesBack) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const AnsiString file = AnsiString(folder) + "ks_grid_export.bin";
  ExportToFile(F.Grid, file, TGridExportFormat::VCLDBIF, true);
  F.Data.Last();
  F.Data.Edit();
  F.Data.FieldByName("Name")->SetAsString("changed");
  F.Data.FieldByName("Price")->Clear();
  F.Data.Post();
  ImportFromFile(F.Grid, file, TGridImportFormat::VCLDBIF, true);
  DeleteFileA(file.c_str());
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"item1", "item2", "item3"}));
  F.Data.Last();
  EXPECT_EQ(F.Data.FieldByName("Price")->AsFloat(), 4.5);
}

// Every format fails at its last record: the file keeps its old bytes and
// no part of the export is left beside it.
TEST_F(ImpExpTest, AFailedExportLeavesThePreviousFileAndNoPart) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const AnsiString dir = AnsiString(folder) + "ks_failed_export";
  CreateDirectoryA(dir.c_str(), nullptr);
  const AnsiString file = dir + "\\grid.txt";
  F.Grid->OnGetCellParams = [](TObject*, TColumnKs* Column, TFont*, TColor&, TGridDrawState) {
    if (Column->GetField()->DataSet()->RecNo() == 3) throw Exception("cell failed");
  };
  for (TGridExportFormat format : {TGridExportFormat::Text, TGridExportFormat::CSV,
                                   TGridExportFormat::RTF, TGridExportFormat::VCLDBIF}) {
    SaveBlock(file.c_str(), "previous");
    EXPECT_THROW(ExportToFile(F.Grid, file, format, true), Exception);
    std::ifstream in(file.c_str(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "previous");
    in.close();
    WIN32_FIND_DATAA found;
    int files = 0;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    do files += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(files, 1) << static_cast<int>(format);
  }
  F.Grid->OnGetCellParams = nullptr;
  ExportToFile(F.Grid, file, TGridExportFormat::Text, true);
  std::ifstream in(file.c_str(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}).substr(0, 8), "Id\tName\t");
  in.close();
  DeleteFileA(file.c_str());
  RemoveDirectoryA(dir.c_str());
}

// Amounts up to the fields' limits, in columns with and without images:
// the grid paints them, and every format carries them.
TEST(ImpExpLargeNumbers, AmountsUpToTheFieldsLimitsPaintAndExport) {
  TArrayDataSet data(nullptr);
  data.FieldDefs()->Add("Big", ftFloat);
  data.FieldDefs()->Add("Amount", ftBCD, 4);
  data.Open();
  const double floats[] = {3e9, -3e9, 1e300, -1e300, 922337203685477.0};
  // NUMERIC(18,4) at both ends.
  const int64_t amounts[] = {999999999999999999, -999999999999999999, 30000000000000,
                             -30000000000000, 1};
  for (int i = 0; i < 5; ++i) {
    data.Append();
    data.FieldByName("Big")->SetAsFloat(floats[i]);
    data.FieldByName("Amount")->SetAsCurrency(Currency::FromScaled(amounts[i]));
    data.Post();
  }
  TDataSource source(nullptr);
  source.SetDataSet(&data);
  TForm* form = new TForm(Application);
  TDBGridKs* grid = new TDBGridKs(form);
  grid->SetParent(form);
  grid->SetBounds(0, 0, 400, 200);
  grid->SetDataSource(&source);
  form->Show();
  TImageList images(nullptr, 8, 8);
  std::vector<AnsiString> errors;
  Application->OnException = [&](TObject*, Exception* E) { errors.push_back(E->Message()); };
  for (bool withImages : {false, true}) {
    grid->Columns()->Items(0)->SetImageList(withImages ? &images : nullptr);
    TDibDC dib(400, 200);
    PrintClient(grid->Handle(), dib);
    grid->Invalidate();
    grid->Update();
    EXPECT_EQ(errors, std::vector<AnsiString>{}) << withImages;
  }
  Application->OnException = nullptr;
  grid->Columns()->Items(0)->SetImageList(nullptr);

  std::vector<AnsiString> texts;
  std::vector<std::vector<AnsiString>> cells = {{"Big", "Amount"}};
  for (data.First(); !data.Eof(); data.Next()) {
    cells.emplace_back();
    for (const char* field : {"Big", "Amount"}) {
      texts.push_back(data.FieldByName(field)->DisplayText());
      cells.back().push_back(texts.back());
    }
  }
  // For check_clipboard_blocks.py: python's csv, unrtf and pandoc read them.
  CopyGridSelection(grid, true);
  SaveBlock("large.csv", ClipboardBlock(CsvClipboardFormat));
  SaveBlock("large.rtf", ClipboardBlock(RtfClipboardFormat));
  SaveCells("large-csv-cells.txt", cells);
  SaveCells("large-rtf-cells.txt", cells);
  SaveBlock("large.bin", ClipboardBlock(GridClipboardFormat));
  {
    std::ofstream values("large-bin-values.txt", std::ios::binary);
    for (data.First(); !data.Eof(); data.Next()) {
      char line[80];
      std::snprintf(line, sizeof line, "%.17g|%.17g\n", data.FieldByName("Big")->AsFloat(),
                    data.FieldByName("Amount")->AsFloat());
      values << line;
    }
  }
  for (TGridExportFormat format : {TGridExportFormat::Text, TGridExportFormat::CSV,
                                   TGridExportFormat::RTF}) {
    TStringStream stream;
    ExportDBGridKsToStream(grid, stream, format, true);
    for (const AnsiString& text : texts)
      EXPECT_NE(stream.DataString().find(text), AnsiString::npos) << int(format) << " " << text;
  }
  TStringStream binary;
  ExportDBGridKsToStream(grid, binary, TGridExportFormat::VCLDBIF, true);
  binary.SetPosition(0);
  TDBGridKsImportAsVCLDBIF reader(binary);
  reader.ReadPrefix();
  data.First();
  for (int i = 0; i < 5; ++i, data.Next()) {
    const std::vector<TExportValue> values = reader.ReadRecord();
    EXPECT_EQ(values[0].Float, floats[i]);
    EXPECT_EQ(values[1].Float, data.FieldByName("Amount")->AsFloat());
  }
  EXPECT_TRUE(reader.EndOfData());
  delete form;
}

// Memos and blobs through real columns, which refuse them to typing: a
// cut and a paste of the binary format put back every value as it was.
TEST(ImpExpMemos, CutAndPasteKeepMemosBlobsAndNulls) {
  TArrayDataSet data(nullptr);
  data.FieldDefs()->Add("Id", ftInteger);
  data.FieldDefs()->Add("Note", ftMemo);
  data.FieldDefs()->Add("Data", ftBlob);
  data.Open();
  AnsiString memo;
  while (memo.size() < 20000) memo += WideToAnsi(u"Строка\tс табуляцией\r\nи переводом; ");
  memo.resize(20000);
  AnsiString bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  const std::vector<std::pair<Variant, Variant>> values = {
      {Variant(memo), Variant(bytes)},
      {Variant::Null(), Variant::Null()},
      {Variant(WideToAnsi(u"две\nстроки")), Variant(AnsiString(1, '\0'))}};
  for (size_t i = 0; i < values.size(); ++i)
    AppendValues(&data, {static_cast<int>(i), values[i].first, values[i].second});
  TDataSource source(nullptr);
  source.SetDataSet(&data);
  TForm* form = new TForm(Application);
  TDBGridKs* grid = new TDBGridKs(form);
  grid->SetParent(form);
  grid->SetDataSource(&source);
  grid->SetOptions(grid->Options().Include(dgEditing));
  grid->SetAllowedOperations({alopInsertKs, alopUpdateKs, alopDeleteKs, alopAppendKs});
  for (int i = 1; i <= 2; ++i) grid->Selection()->Columns()->Select(grid->Columns()->Items(i), true);
  ASSERT_EQ(grid->Selection()->SelectionType(), gstColumns);
  TScriptedPrompts script;
  script.Answer(IDOK);
  CutGridSelection(grid, false);
  for (data.First(); !data.Eof(); data.Next()) {
    data.Edit();
    data.FieldByName("Note")->SetAsString("changed");
    data.FieldByName("Data")->Clear();
    data.Post();
  }
  PasteIntoGrid(grid, false);
  size_t row = 0;
  for (data.First(); !data.Eof(); data.Next(), ++row) {
    for (int k = 0; k < 2; ++k) {
      TField* field = data.FieldByName(k == 0 ? "Note" : "Data");
      const Variant& expected = k == 0 ? values[row].first : values[row].second;
      EXPECT_EQ(field->IsNull(), expected.IsNull()) << row << " " << k;
      if (!expected.IsNull()) {
        EXPECT_EQ(field->AsString(), expected.AsString()) << row << " " << k;
      }
    }
  }
  EXPECT_EQ(row, values.size());
  delete form;
}

TEST_F(ImpExpTest, FootersFollowTheRecordsWithTheirSumsAndCounts) {
  F.Grid->SetFooterRowCount(1);
  F.Grid->Columns()->Items(2)->Footer()->SetValueType(fvtSum);
  F.Grid->Columns()->Items(3)->Footer()->SetValueType(fvtCount);
  F.Grid->Columns()->Items(1)->Footer()->SetValueType(fvtSum);  // a string: no sum
  TStringStream text;
  ExportDBGridKsToStream(F.Grid, text, TGridExportFormat::Text, true);
  const AnsiString exported = text.DataString();
  EXPECT_EQ(exported.substr(exported.rfind("\r\n") + 2), "\t\t9\t3");
}

TEST_F(ImpExpTest, CellsAreWhatTheCellParamsEventsMakeThem) {
  F.Grid->OnGetCellParams = [](TObject*, TColumnKs* Column, TFont* Font, TColor& Background,
                               TGridDrawState) {
    if (Column->GetField()->DataSet()->FieldByName("Price")->AsFloat() > 4) {
      Font->SetStyle({fsBold});
      Background = clRed;
    }
  };
  F.Grid->Columns()->Items(3)->OnGetCellParams = [](TColumnKs*, bool, TColCellParamsKs* Params) {
    Params->Text = "<" + Params->Text + ">";
  };
  TStringStream text, rtf;
  ExportDBGridKsToStream(F.Grid, text, TGridExportFormat::Text, true);
  EXPECT_NE(text.DataString().find("\t<30>"), AnsiString::npos) << text.DataString();
  ExportDBGridKsToStream(F.Grid, rtf, TGridExportFormat::RTF, true);
  const AnsiString exported = rtf.DataString();
  EXPECT_NE(exported.find("\\red255\\green0\\blue0;"), AnsiString::npos);
  EXPECT_NE(exported.find("\\b\\f0"), AnsiString::npos);
}

TEST_F(ImpExpTest, CutCopiesThenDeletes) {
  TScriptedPrompts script;
  script.Answer(IDOK);
  CutGridSelection(F.Grid, true);
  EXPECT_EQ(script.Asked.size(), 1u);
  EXPECT_TRUE(F.Data.IsEmpty());
  EXPECT_EQ(ClipboardBlock(CF_TEXT).substr(0, 8), "Id\tName\t");
}

TEST_F(ImpExpTest, PasteTakesTheBinaryFormatBeforeTextAndTextAlone) {
  PutOnClipboard({{CF_TEXT, AnsiString("t1\r\nt2", 7)},
                  {GridClipboardFormat,
                   BinaryRows({{Value(TExportValueKind::String, "b1"), FloatValue(7.5)}})}});
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

// Blocks another program could leave: nothing of a broken row is written,
// whole rows before it are.
TEST_F(ImpExpTest, AHostileBinaryBlockIsTheFormatErrorAndWritesNoBrokenRow) {
  const AnsiString header = BinaryRows({}).substr(0, 16);
  AnsiString whole = BinaryRows({{Value(TExportValueKind::String, "b1"), FloatValue(7.5)}});
  whole.pop_back();  // its end tag
  const struct {
    AnsiString Block;
    std::vector<AnsiString> Names;
  } cases[] = {
      {header + Bytes({5, 0xFF, 0xFF, 0xFF, 0x7F}), {"item1", "item2", "item3"}},
      {whole + Bytes({5, 2, 0, 0, 0, 'b', '2', 0}), {"b1", "item2", "item3"}},
      {whole + Bytes({9, 0}), {"b1", "item2", "item3"}},
      {whole + Bytes({2, 7, 0}), {"b1", "item2", "item3"}},
  };
  for (const auto& c : cases) {
    F.Data.First();
    F.Data.Edit();
    F.Data.FieldByName("Name")->SetAsString("item1");
    F.Data.Post();
    PutOnClipboard({{GridClipboardFormat, c.Block}, {CF_TEXT, AnsiString("t1", 3)}});
    try {
      PasteIntoGrid(F.Grid, false);
      ADD_FAILURE();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "TDBGridKsImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF");
    }
    EXPECT_EQ(Names(), c.Names);
    EXPECT_EQ(F.Data.State(), dsBrowse);
    // The clipboard was closed on the way out.
    ASSERT_TRUE(OpenClipboard(nullptr));
    CloseClipboard();
  }
}

TEST_F(ImpExpTest, ACellErrorAsksYesNoOrAll) {
  F.Grid->SetSelectedField(F.Data.FieldByName("Id"));
  PutOnClipboard({{CF_TEXT, AnsiString("x\ta\r\ny\tb\r\n7\tc", 17)}});
  TScriptedPrompts script;
  script.Answer(mrAll);
  PasteIntoGrid(F.Grid, false);
  ASSERT_EQ(script.Asked.size(), 1u) << "All: later errors ask nothing";
  EXPECT_EQ(script.Asked[0].Kind, TPromptKind::MessageDialog);
  EXPECT_EQ(script.Asked[0].Text.substr(0, 29), "Ошибка при вставки значения:\n");
  EXPECT_EQ(script.Asked[0].Text.substr(script.Asked[0].Text.size() - 22),
            "\n\nИгнорировать ошибку?");
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"a", "b", "c"}));

  script.Answer(mrNo);
  F.Data.First();
  EXPECT_THROW(PasteIntoGrid(F.Grid, false), EAbort);
  EXPECT_EQ(F.Data.State(), dsBrowse);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"a", "b", "c"}));
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

TEST_F(ImpExpTest, DeletingRowsOrClearingColumnsAsksWhenTheGridConfirms) {
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgConfirmDelete});
  TScriptedPrompts script;
  for (int recNo : {1, 3}) {
    F.Data.SetRecNo(recNo);
    F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  script.Answer(IDOK);
  DeleteGridSelection(F.Grid, false);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"item2"}));
  EXPECT_EQ(F.Grid->Selection()->SelectionType(), gstNon);

  F.Grid->Selection()->Columns()->Select(F.Grid->Columns()->Items(1), false);
  ASSERT_EQ(F.Grid->Selection()->SelectionType(), gstColumns);
  script.Answer(IDCANCEL);
  DeleteGridSelection(F.Grid, false);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{"item2"}));
  script.Answer(IDOK);
  DeleteGridSelection(F.Grid, false);
  EXPECT_EQ(Names(), (std::vector<AnsiString>{""}));

  ASSERT_EQ(script.Asked.size(), 3u);
  EXPECT_EQ(script.Asked[0].Text, "Удалить все выбранные записи?");
  EXPECT_EQ(script.Asked[1].Text, "Очистить выделенные ячейки?");
}

// Answers the system's message box of this thread by a key, once it shows
// the question; the key goes through the input queue as a person's would.
BOOL CALLBACK FindBox(HWND Wnd, LPARAM Found) {
  char name[16] = {};
  GetClassNameA(Wnd, name, sizeof name);
  if (AnsiString(name) != "#32770" || !IsWindowVisible(Wnd)) return TRUE;
  *reinterpret_cast<HWND*>(Found) = Wnd;
  return FALSE;
}

AnsiString AnswerTheBox(WORD Key) {
  HWND box = nullptr;
  PumpUntil([&] {
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    return box != nullptr;
  });
  if (box == nullptr) return "";
  char question[256] = {};
  GetDlgItemTextA(box, 0xFFFF, question, sizeof question);
  SetForegroundWindow(box);
  PressKey(Key);
  return question;
}

TEST_F(ImpExpTest, DeletingAllAsksOnceThroughTheSystemsBox) {
  F.Show();
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgConfirmDelete});
  AnsiString question;
  Later([&] { question = AnswerTheBox(VK_ESCAPE); });
  DeleteGridSelection(F.Grid, true);
  EXPECT_EQ(question, "Удалить все записи?");
  EXPECT_EQ(F.Data.RecordCount(), 3) << "Escape is Cancel";
  question.clear();
  Later([&] { question = AnswerTheBox(VK_RETURN); });
  DeleteGridSelection(F.Grid, true);
  EXPECT_EQ(question, "Удалить все записи?");
  EXPECT_TRUE(F.Data.IsEmpty()) << "Enter is OK";
}

}  // namespace
