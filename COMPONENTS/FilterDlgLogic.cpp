#include "FilterDlgLogic.h"

#include <cmath>

#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

namespace {

const char* const DateMask = "!99/99/0000;1;_";
const char* const DateTimeMask = "!99/99/0000 90:00:00;1;_";
const char* const DateTimeFormat = "dd.mm.yyyy hh:nn:ss";

bool IsDateTimeField(const TField* Field) {
  return FilterFieldClass(Field->DataType()) == ffcDateTime;
}

// Date-times keep their time in the editors, so a live replacement keeps it.
AnsiString DateText(const TField* Field, TDateTime Value) {
  return IsDateTimeField(Field) ? FormatDateTime(DateTimeFormat, Value) : DateToStr(Value);
}

TDateTime ReadDate(const TField* Field, const AnsiString& Text) {
  return IsDateTimeField(Field) ? StrToDateTime(Text) : StrToDate(Text);
}

double ReadFloat(const AnsiString& Text) { return Trim(Text).empty() ? 0 : StrToFloat(Trim(Text)); }

AnsiString Quoted(const AnsiString& Text) { return "'" + Text + "'"; }

AnsiString QuotedList(const std::vector<AnsiString>& Items) {
  AnsiString line;
  for (const AnsiString& item : Items) line += (line.empty() ? "" : ", ") + Quoted(item);
  return line;
}

std::vector<AnsiString> FloatTexts(const std::vector<double>& Values) {
  std::vector<AnsiString> texts;
  for (double value : Values) texts.push_back(FloatToStr(value));
  return texts;
}

std::vector<AnsiString> DateTexts(const TField* Field, const std::vector<TDateTime>& Values) {
  std::vector<AnsiString> texts;
  for (TDateTime value : Values) texts.push_back(DateText(Field, value));
  return texts;
}

void CheckInterval(bool EndBeforeStart, TFilterBuild Mode) {
  if (EndBeforeStart && Mode == TFilterBuild::Strict)
    throw Exception("Конец интервала раньше его начала!");
}

// The kind the editors' choice builds for the field's class; 0 for none.
uint8_t KindOfChoice(TFilterFieldClass Class, int Choice) {
  switch (Class) {
    case ffcString: {
      static const uint8_t kinds[] = {ffkExact, ffkSubstring, ffkStringList, ffkSubstrings};
      return Choice >= 0 && Choice < 4 ? kinds[Choice] : ffkMarked;
    }
    case ffcInteger:
    case ffcFloat:
      return Choice == 0 ? ffkFloatInterval : Choice == 1 ? ffkFloatList : ffkMarked;
    case ffcDate:
    case ffcDateTime:
      return Choice == 0 ? ffkDateInterval : Choice == 1 ? ffkDateList : ffkMarked;
    case ffcBoolean:
      return ffkBoolean;
    default:
      return ffkMarked;
  }
}

// Reads the editors into Filter; raises when a text does not read.
void ReadEditors(TFieldFilter& Filter, const TFilterEditors& Editors, TFilterBuild Mode) {
  switch (Filter.Kind) {
    case ffkExact:
    case ffkSubstring:
      Filter.Value = Editors.Value;
      break;
    case ffkStringList:
    case ffkSubstrings:
      Filter.Strings = Editors.Variants;
      break;
    case ffkFloatInterval:
      Filter.FloatBeg = ReadFloat(Editors.FloatBeg);
      Filter.FloatEnd = ReadFloat(Editors.FloatEnd);
      CheckInterval(Filter.FloatEnd < Filter.FloatBeg, Mode);
      break;
    case ffkFloatList:
      for (const AnsiString& line : Editors.Variants) Filter.Floats.push_back(ReadFloat(line));
      break;
    case ffkDateInterval:
      Filter.DateBeg = ReadDate(Filter.Field, Editors.DatBeg);
      Filter.DateEnd = ReadDate(Filter.Field, Editors.DatEnd);
      CheckInterval(Filter.DateEnd < Filter.DateBeg, Mode);
      break;
    case ffkDateList:
      for (const AnsiString& line : Editors.Variants)
        Filter.Dates.push_back(ReadDate(Filter.Field, line));
      break;
    case ffkBoolean:
      Filter.BoolValue = Editors.BoolIndex == 0 ? 1 : Editors.BoolIndex == 1 ? 0 : -1;
      break;
  }
}

}  // namespace

TFilterFieldClass FilterFieldClass(TFieldType DataType) {
  switch (DataType) {
    case ftString:
    case ftMemo:
      return ffcString;
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
      return ffcInteger;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      return ffcFloat;
    case ftDate:
      return ffcDate;
    case ftTime:
    case ftDateTime:
      return ffcDateTime;
    case ftBoolean:
      return ffcBoolean;
    default:
      return ffcNone;
  }
}

AnsiString FilterTypeName(TFilterFieldClass Class) {
  switch (Class) {
    case ffcString:
      return "строка";
    case ffcInteger:
      return "целое";
    case ffcFloat:
      return "дробное";
    case ffcDate:
    case ffcDateTime:
      return "дата";
    case ffcBoolean:
      return "логическое";
    default:
      return "Ошибка";
  }
}

TFilterChoices FilterChoices(TFilterFieldClass Class) {
  switch (Class) {
    case ffcString:
      return {{"Точное соответствие", "Подстрока", "Список значений", "Несколько подстрок"}, 1};
    case ffcInteger:
    case ffcFloat:
    case ffcDate:
    case ffcDateTime:
      return {{"Интервал", "Список значений"}, 0};
    default:
      return {};
  }
}

int FilterChoiceOfKind(uint8_t Kind) {
  switch (Kind) {
    case ffkSubstring:
    case ffkFloatList:
    case ffkDateList:
      return 1;
    case ffkExact:
    case ffkFloatInterval:
    case ffkDateInterval:
      return 0;
    case ffkStringList:
      return 2;
    case ffkSubstrings:
      return 3;
    default:
      return -1;
  }
}

TFilterPanel FilterPanelOf(TFilterFieldClass Class, int Choice) {
  switch (Class) {
    case ffcString:
      return Choice <= 1 ? fpValue : fpVariants;
    case ffcInteger:
    case ffcFloat:
      return Choice == 0 ? fpFloatInterval : fpVariants;
    case ffcDate:
    case ffcDateTime:
      return Choice == 0 ? fpDateInterval : fpVariants;
    default:
      return fpBoolean;
  }
}

std::vector<TOfferedField> OfferedFilterFields(TDataSet* DataSet) {
  std::vector<TOfferedField> offered;
  for (int i = 0; i < DataSet->FieldCount(); ++i) {
    TField* field = DataSet->Fields()->Fields(i);
    TFilterFieldClass type = FilterFieldClass(field->DataType());
    if (type != ffcNone)
      offered.push_back({field, field->DisplayName() + " (" + FilterTypeName(type) + ")"});
  }
  return offered;
}

AnsiString FilterDateMask(TField* Field) { return IsDateTimeField(Field) ? DateTimeMask : DateMask; }

void FillFilterEditors(TField* Field, TFilterEditors& Editors) {
  switch (FilterFieldClass(Field->DataType())) {
    case ffcString:
      Editors.Value = Field->AsString();
      break;
    case ffcInteger:
    case ffcFloat:
      Editors.FloatBeg = FloatToStr(std::round(Field->AsFloat() * 1e5) / 1e5);
      Editors.FloatEnd = Editors.FloatBeg;
      break;
    case ffcDate:
      Editors.DatBeg = Editors.DatEnd = Field->AsString();
      break;
    case ffcDateTime:
      if (!Field->IsNull()) Editors.DatBeg = FormatDateTime(DateTimeFormat, Field->AsDateTime());
      Editors.DatEnd = Editors.DatBeg;
      break;
    case ffcBoolean:
      Editors.BoolIndex = Field->IsNull() ? 2 : Field->AsBoolean() ? 0 : 1;
      break;
    case ffcNone:
      break;
  }
}

TFilterEditors FilterEditorsOf(const TFieldFilter& Filter) {
  TFilterEditors editors;
  editors.Choice = FilterChoiceOfKind(Filter.Kind);
  editors.Value = Filter.Value;
  switch (Filter.Kind) {
    case ffkStringList:
    case ffkSubstrings:
      editors.Variants = Filter.Strings;
      break;
    case ffkFloatList:
      editors.Variants = FloatTexts(Filter.Floats);
      break;
    case ffkDateList:
      editors.Variants = DateTexts(Filter.Field, Filter.Dates);
      break;
  }
  editors.FloatBeg = FloatToStr(Filter.FloatBeg);
  editors.FloatEnd = FloatToStr(Filter.FloatEnd);
  if (Filter.DateBeg != 0) editors.DatBeg = DateText(Filter.Field, Filter.DateBeg);
  if (Filter.DateEnd != 0) editors.DatEnd = DateText(Filter.Field, Filter.DateEnd);
  editors.BoolIndex = Filter.BoolValue == 1 ? 0 : Filter.BoolValue == 0 ? 1 : 2;
  return editors;
}

std::unique_ptr<TFieldFilter> BuildFieldFilter(TField* Field, const TFilterEditors& Editors,
                                               TFilterBuild Mode) {
  if (!Field) return nullptr;
  auto filter = std::make_unique<TFieldFilter>();
  filter->Field = Field;
  filter->Kind = KindOfChoice(FilterFieldClass(Field->DataType()), Editors.Choice);
  if (filter->Kind == ffkMarked) return nullptr;
  try {
    ReadEditors(*filter, Editors, Mode);
  } catch (const EConvertError&) {
    if (Mode == TFilterBuild::Strict) throw Exception(FilterParamsWarning);
    return nullptr;
  }
  return filter;
}

AnsiString FilterLineText(const TFieldFilter& Filter) {
  AnsiString caption = Filter.Field ? "\"" + Filter.Field->DisplayName() + "\"" : "\"\"";
  switch (Filter.Kind) {
    case ffkSubstring:
      return caption + "   СОДЕРЖИТ   " + Quoted(Filter.Value);
    case ffkExact:
      return caption + "   =   " + Quoted(Filter.Value);
    case ffkStringList:
      return caption + "   ОДИН ИЗ   " + QuotedList(Filter.Strings);
    case ffkFloatList:
      return caption + "   ОДИН ИЗ   " + QuotedList(FloatTexts(Filter.Floats));
    case ffkDateList:
      return caption + "   ОДИН ИЗ   " + QuotedList(DateTexts(Filter.Field, Filter.Dates));
    case ffkFloatInterval:
      return FloatToStr(Filter.FloatBeg) + " <= " + caption + " <= " + FloatToStr(Filter.FloatEnd);
    case ffkDateInterval:
      return caption + "   С   " + Quoted(DateText(Filter.Field, Filter.DateBeg)) + "   ПО   " +
             Quoted(DateText(Filter.Field, Filter.DateEnd));
    case ffkBoolean:
      return caption + (Filter.BoolValue == 1 ? "= Да" : Filter.BoolValue == 0 ? "= Нет" : "= ?");
    case ffkSubstrings:
      return caption + "СОДЕРЖИТ ОДНУ ИЗ СТРОК " + QuotedList(Filter.Strings);
    default:
      return "";
  }
}
