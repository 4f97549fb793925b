// The Windows wrappers that do more than pass their arguments on.
#include "COMPONENTS/kslib/WinWrapKs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "forms/Forms.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

constexpr UINT WM_FILLTEXT = WM_APP + 1;

TEST(WinWrapKs, GetStrTakesAsManyCharactersAsTheMessageAnswersWithinTheBuffer) {
  TForm Form(Application);
  WORD Preset = 0;
  LRESULT Answer = 0;
  Form.MessageHook = [&](TMessage& Message) {
    if (Message.Msg != WM_FILLTEXT) return false;
    char* Buffer = reinterpret_cast<char*>(Message.LParam);
    memcpy(&Preset, Buffer, sizeof Preset);
    memset(Buffer, 'x', 4096);
    memcpy(Buffer, "line", 4);
    Message.Result = Answer;
    return true;
  };
  struct Case {
    LRESULT Answer;
    size_t Length;
  } Cases[] = {{4, 4}, {0, 0}, {-3, 0}, {4096, 4096}, {100000, 4096}};
  for (const Case& C : Cases) {
    Answer = C.Answer;
    AnsiString Text = "old";
    int Count = WinSendMessageGetStr(Form.Handle(), WM_FILLTEXT, 0, Text);
    EXPECT_EQ(Preset, 4096) << "the buffer's first word holds its size";
    EXPECT_EQ(Count, static_cast<int>(C.Length)) << C.Answer;
    EXPECT_EQ(Text.size(), C.Length) << C.Answer;
    if (C.Length >= 4) {
      EXPECT_EQ(Text.substr(0, 4), "line");
    }
  }
}

TEST(WinWrapKs, DrawTextExLeavesTheCallersParametersAlone) {
  HDC DC = CreateCompatibleDC(nullptr);
  DRAWTEXTPARAMS Params{};
  Params.cbSize = sizeof Params;
  Params.iTabLength = 4;
  Params.uiLengthDrawn = 777;
  AnsiString Text = "Съешь ещё этих мягких булок";
  RECT WithParams{0, 0, 0, 0}, Without{0, 0, 0, 0};
  int H1 = WinDrawTextExStr(DC, Text, -1, WithParams, DT_CALCRECT | DT_SINGLELINE, Params);
  int H2 = WinDrawTextExStrNoParams(DC, Text, -1, Without, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(Params.uiLengthDrawn, 777u);
  EXPECT_GT(H1, 0);
  EXPECT_EQ(H1, H2);
  EXPECT_GT(WithParams.right, 0) << "measuring widens the rectangle to the text";
  EXPECT_EQ(WithParams.right, Without.right);
  EXPECT_EQ(Text, "Съешь ещё этих мягких булок");
  DeleteDC(DC);
}

TEST(WinWrapKs, LocaleCaseAndComparisonWorkOnCyrillicText) {
  EXPECT_EQ(AnsiUpperCaseStr("москва"), "МОСКВА");
  EXPECT_EQ(AnsiLowerCaseStr("ЁЛКА"), "ёлка");
  EXPECT_EQ(AnsiCompareTextWrap("Москва", "МОСКВА"), 0);
  EXPECT_NE(AnsiCompareStrWrap("Москва", "МОСКВА"), 0);
  EXPECT_LT(AnsiCompareTextWrap("абв", "абг"), 0);
}

TEST(WinWrapKs, BookmarksCompareByTheDatasetAndTheMasterIsFoundThroughItsSource) {
  TArrayDataSet Master(nullptr), Detail(nullptr);
  TDataSource MasterSource(nullptr);
  Master.FieldDefs()->Add("Id", ftInteger);
  Master.Open();
  for (int Id : {1, 2}) AppendValues(&Master, {Id});
  Master.First();
  TBookmark First = Master.GetBookmark();
  Master.Next();
  TBookmark Second = Master.GetBookmark();
  EXPECT_LT(CompareBookmarkStrs(&Master, First, Second), 0);
  EXPECT_GT(CompareBookmarkStrs(&Master, Second, First), 0);
  EXPECT_EQ(CompareBookmarkStrs(&Master, First, First), 0);

  EXPECT_EQ(DataSetOfDataSourceProp(&Detail, "MasterSource"), nullptr) << "nothing set";
  MasterSource.SetDataSet(&Master);
  Detail.SetMasterSource(&MasterSource);
  EXPECT_EQ(DataSetOfDataSourceProp(&Detail, "MasterSource"), &Master);
  EXPECT_EQ(DataSetOfDataSourceProp(&Detail, "Name"), nullptr) << "not a data-source property";
  EXPECT_EQ(DataSetOfDataSourceProp(&MasterSource, "MasterSource"), nullptr);
  Detail.SetMasterSource(nullptr);
}

}  // namespace
