// The grid unit's resources and messages, and the layout-storage
// interceptors driven as a store would drive them: by property name.
#include "COMPONENTS/kslib/DBGridKsInterceptors.h"

#include <gtest/gtest.h>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/KsLibConsts.h"
#include "GridForm.h"

namespace {

void Write(TStoragePropertyInterceptor& I, const char* Name, const Variant& Value) {
  for (TInterceptedPropertyKs& P : I.Properties())
    if (P.Name == Name) return P.Write(Value);
  FAIL() << "no property " << Name;
}

Variant Read(TStoragePropertyInterceptor& I, const char* Name) {
  for (TInterceptedPropertyKs& P : I.Properties())
    if (P.Name == Name && P.Read) return P.Read();
  ADD_FAILURE() << "no readable property " << Name;
  return Variant();
}

TEST(GridUnit, StartUpTakesTheProgramsBitmapsAndCursors) {
  TDBGridKsUnit& U = DBGridKsUnit;
  ASSERT_EQ(U.Cursors.size(), 3u);
  for (HCURSOR C : U.Cursors) EXPECT_NE(C, nullptr);
  ASSERT_NE(U.SmallTitleFont, nullptr);
  EXPECT_EQ(U.SmallTitleFont->Height(), 1 - 9) << "one pixel less than the sort marker";
  EXPECT_EQ(U.SmallTitleFont->Name(), "Arial");
  ASSERT_NE(U.IndicatorImages, nullptr);
  EXPECT_EQ(U.IndicatorImages->Count(), 7) << "six bitmaps and the search-coloured arrow";
  EXPECT_EQ(U.IndicatorImages->Width(), 6);
  EXPECT_EQ(U.IndicatorImages->Height(), 11);
  EXPECT_EQ(U.SortMarkerImages->Count(), 2);
  EXPECT_EQ(U.SortMarkerImages->Width(), 10);
  EXPECT_EQ(U.SortMarkerImages->Height(), 9);
  EXPECT_EQ(U.FindDialogShortCut, 16498);
  EXPECT_EQ(U.IncSearchTimeout, 1500);
  EXPECT_NE(FindPropertyInterceptor(typeid(TColumnKs)), nullptr);
  EXPECT_NE(FindPropertyInterceptor(typeid(TDBGridColumnsKs)), nullptr);
}

TEST(GridUnit, EveryMessageLoadsAsItsText) {
  struct {
    unsigned Id;
    const char* Text;
  } Messages[] = {
      {SFilterNotEmptyKs, "(Не пустые)"},
      {SFilterAllKs, "(Все)"},
      {SFilterClearKs, "(Очистить фильтр)"},
      {SSortDescendingKs, "(Сортировка по убыванию)"},
      {SSortAscendingKs, "(Сортировка по возрастанию)"},
      {SClearSelectedCellsKs, "Очистить выделенные ячейки?"},
      {SInvalidTextFormatKs, "Неверный формат текста"},
      {SInvalidVCLDBIFFormatKs, "Неверный формат VCLDBIF"},
      {SErrorDuringInsertValueKs, "Ошибка при вставки значения:"},
      {SIgnoreErrorKs, "Игнорировать ошибку?"},
      {STabularInformationKs, "Табличная информация"},
      {SPageOfPagesKs, "Страница %d из %d"},
      {SPreviewKs, "Предварительный просмотр"},
      {STextNotFoundKs, "Строка \"%s\" не найдена."},
      {SFilterEmptyKs, "(Пустые)"},
  };
  for (auto& M : Messages) {
    char Buffer[256] = {};
    int Length = LoadStringA(GetModuleHandleA(nullptr), M.Id, Buffer, sizeof Buffer);
    EXPECT_EQ(AnsiString(Buffer, Length), M.Text) << M.Id;
  }
}

TEST(Interceptors, ASecondRegistrationReplacesTheFirst) {
  struct TOther : TStoragePropertyInterceptor {
    using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
  };
  InitPropFilerKsUnit();
  EXPECT_EQ(FindPropertyInterceptor(typeid(TCustomForm))->Class,
            std::type_index(typeid(TFormStoragePropertyInterceptor)));
  RegisterPropertyInterceptor<TCustomForm, TOther>();
  EXPECT_EQ(FindPropertyInterceptor(typeid(TCustomForm))->Class, std::type_index(typeid(TOther)));
  UnregisterPropertyInterceptor(typeid(TCustomForm), typeid(TOther));
  EXPECT_EQ(FindPropertyInterceptor(typeid(TCustomForm)), nullptr);
  RegisterPropertyInterceptor<TCustomForm, TFormStoragePropertyInterceptor>();
  DonePropFilerKsUnit();
}

TEST(Interceptors, AMaximizedFormGetsScaledNormalBoundsAndStaysMaximized) {
  TForm* Form = new TForm(Application);
  Form->SetBounds(30, 40, 300, 200);
  Form->Show();
  ShowWindow(Form->Handle(), SW_MAXIMIZE);
  PumpFor(30);
  ASSERT_TRUE(IsZoomed(Form->Handle()));
  TFormStoragePropertyInterceptor Saved(Form);
  EXPECT_EQ(Read(Saved, "Left").AsInteger(), 30) << "the normal bounds, not the maximized ones";
  EXPECT_EQ(Read(Saved, "Width").AsInteger(), 300);
  EXPECT_EQ(Saved.WindowState, wsMaximized);

  // Stored at 80 pixels per inch, read on this screen.
  int Screen = ScreenPixelsPerInch();
  TFormStoragePropertyInterceptor Restored(Form);
  Write(Restored, "Left", Variant(40));
  Write(Restored, "Top", Variant(20));
  Write(Restored, "Width", Variant(400));
  Write(Restored, "Height", Variant(240));
  Write(Restored, "PixelsPerInch", Variant(80));
  Write(Restored, "WindowState", Variant(static_cast<int>(wsMaximized)));
  Restored.AfterPropertiesRead();
  PumpFor(30);
  EXPECT_TRUE(IsZoomed(Form->Handle()));
  WINDOWPLACEMENT P{};
  P.length = sizeof P;
  GetWindowPlacement(Form->Handle(), &P);
  EXPECT_EQ(P.rcNormalPosition.left, MulDiv(40, Screen, 80));
  EXPECT_EQ(P.rcNormalPosition.right - P.rcNormalPosition.left, MulDiv(400, Screen, 80));
  EXPECT_EQ(P.rcNormalPosition.bottom - P.rcNormalPosition.top, MulDiv(240, Screen, 80));
  delete Form;
}

TEST(Interceptors, ColumnOrderAndWidthThroughTheStore) {
  TGridForm<> F;
  TDBGridColumnsKs* Columns = F.Grid->Columns();
  TColumnsKsPropertyInterceptor Order(Columns);
  EXPECT_EQ(Read(Order, "ColumnsIndex").AsString(), "\"Id\",\"Name\",\"Price\",\"Qty\"");
  Write(Order, "ColumnsIndex", Variant("\"Qty\",\"Nowhere\",\"name\",\"Id\""));
  EXPECT_EQ(Order.ColumnsIndex(), "\"Qty\",\"Name\",\"Price\",\"Id\"")
      << "each known name to its place; unknown and differently cased ones move nothing";

  TColumnKs* Price = Columns->Items(3);
  TColumnKsPropertyInterceptor Width(Price);
  Write(Width, "Width", Variant(90));
  EXPECT_EQ(Price->Width(), 90);
  F.Grid->SetAutoFitColWidths(true);
  int Shown = Price->Width();
  Write(Width, "Width", Variant(150));
  EXPECT_EQ(Price->InitWidth, 150) << "while fitting, the base width";
  EXPECT_EQ(Price->Width(), Shown);
}

}  // namespace
