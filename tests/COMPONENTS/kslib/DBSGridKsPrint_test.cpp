// The service grid's printing with a printer installed: the application's
// answers shape the print, and a grid wider than the page goes landscape.
#include <gtest/gtest.h>

#include "COMPONENTS/kslib/PrnDbgks.h"
#include "COMPONENTS/kslib/PrvFrmKs.h"
#include "DBSGridKs.h"
#include "GridForm.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

class ServiceGridPrintTest : public testing::Test {
 protected:
  ~ServiceGridPrintTest() override {
    if (PreviewForm()->Visible()) PreviewForm()->Hide();
    DoneServiceGridUnit();
  }
  TGridForm<TDBSGridKs> F{5};
};

TEST_F(ServiceGridPrintTest, TheApplicationsAnswersShapeThePreview) {
  std::vector<int> asked;
  F.Grid->GetPrintParams = [&](TObject* Sender, int ParamNo, Variant& Value) {
    EXPECT_EQ(Sender, F.Grid);
    EXPECT_TRUE(Value.IsEmpty());
    asked.push_back(ParamNo);
    if (ParamNo == 10) Value = "Склад";
    if (ParamNo == 100) Value = "Остатки";
    if (ParamNo == 120) Value = "До таблицы";
    if (ParamNo == 7) throw Exception("no answer");
  };
  F.Grid->PrintGrid();
  EXPECT_EQ(asked, (std::vector<int>{0, 1, 10, 100, 120, 130, 7}));
  TPrintDBGridKs* print = SharedGridPrint();
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->PageHeader()->LeftText()->Text(), "&[ShortDate] Склад\r\n");
  EXPECT_EQ(print->PageHeader()->RightText()->Text(), "Стр. &[Page]\r\n");
  EXPECT_EQ(print->Title()->Text(), "Остатки\r\n");
  EXPECT_EQ(print->Options(), (TPrintDBGridKsOptions{pghFitGridToPageWidth, pghColored}));
  EXPECT_TRUE(PreviewForm()->Visible());
  EXPECT_EQ(PrinterPreview()->GetOrientation(), poPortrait);
  PreviewForm()->Hide();

  // Monochrome condensed on the application's word.
  F.Grid->GetPrintParams = [](TObject*, int ParamNo, Variant& Value) {
    if (ParamNo == 7) Value = true;
  };
  F.Grid->PrintGrid();
  EXPECT_EQ(print->PrintFontName(), "MonoCondensed");
  EXPECT_EQ(print->Options(), (TPrintDBGridKsOptions{pghFitGridToPageWidth, pghDontAskGetCellParams}));
}

// The print key pressed again while the preview still records its pages
// must leave that job alone: a second one would free the pages under it.
TEST_F(ServiceGridPrintTest, PrintingAgainWhileThePreviewRecordsDoesNothing) {
  int asked = 0;
  F.Grid->GetPrintParams = [&](TObject*, int ParamNo, Variant&) { asked += ParamNo == 0; };
  F.Grid->PrintGrid();
  TPrintDBGridKs* print = SharedGridPrint();
  ASSERT_NE(print, nullptr);
  const int pages = PreviewForm()->PreviewKs1->PageCount();
  PreviewForm()->Hide();
  int nested = 0;
  print->OnBeforePrint = [&](TObject*) {
    ++nested;
    F.Grid->PrintGrid();
  };
  struct TDetach {
    TPrintDBGridKs* Print;
    ~TDetach() { Print->OnBeforePrint = nullptr; }
  } detach{print};
  asked = 0;
  EXPECT_NO_THROW(F.Grid->PrintGrid());
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(asked, 1) << "the nested call asked the application again";
  EXPECT_TRUE(PreviewForm()->Visible());
  EXPECT_EQ(PreviewForm()->PreviewKs1->PageCount(), pages);
}

TEST_F(ServiceGridPrintTest, AWideGridPrintsLandscape) {
  for (int i = 0; i < F.Grid->Columns()->Count(); ++i) F.Grid->Columns()->Items(i)->SetWidth(400);
  EXPECT_TRUE(F.Grid->GridWiderThanPage());
  F.Grid->PrintGrid();
  EXPECT_EQ(PrinterPreview()->GetOrientation(), poLandscape);
}

// Straight to the printer on the application's word; the documents are read
// back by check_printed_service_grid.py.
TEST_F(ServiceGridPrintTest, PrintsStraightToThePrinter) {
  F.Grid->GetPrintParams = [](TObject*, int ParamNo, Variant& Value) {
    if (ParamNo == 0) Value = false;
    if (ParamNo == 10) Value = "Склад";
    if (ParamNo == 100) Value = "Остатки";
  };
  Printer()->SetOutputFile("print-service.ps");
  F.Grid->PrintGrid();
  for (int i = 0; i < F.Grid->Columns()->Count(); ++i) F.Grid->Columns()->Items(i)->SetWidth(400);
  Printer()->SetOutputFile("print-service-wide.ps");
  F.Grid->PrintGrid();
  Printer()->SetOutputFile("");
  EXPECT_FALSE(PreviewForm()->Visible());
}

}  // namespace
