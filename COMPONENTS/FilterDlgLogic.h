// What the filter dialog decides, without its window: the fields it offers
// and their choices, a condition built from the editors' texts, a condition
// shown back in the editors, and the text of a line of the condition list.
#pragma once

#include <memory>
#include <vector>

#include "FieldFilter.h"

enum TFilterFieldClass {
  ffcNone,
  ffcString,
  ffcInteger,
  ffcFloat,
  ffcDate,
  ffcDateTime,
  ffcBoolean
};

TFilterFieldClass FilterFieldClass(TFieldType DataType);
// "строка", "целое", ...; "Ошибка" for a class the dialog does not offer.
AnsiString FilterTypeName(TFilterFieldClass Class);

struct TFilterChoices {
  std::vector<AnsiString> Items;
  int Initial = -1;
};
TFilterChoices FilterChoices(TFilterFieldClass Class);
// The choice that shows a condition of the kind; -1 for none.
int FilterChoiceOfKind(uint8_t Kind);

enum TFilterPanel { fpValue, fpVariants, fpFloatInterval, fpDateInterval, fpBoolean };
TFilterPanel FilterPanelOf(TFilterFieldClass Class, int Choice);

struct TOfferedField {
  TField* Field;
  AnsiString Caption;  // display label + " (" + type name + ")"
};
// The dataset's fields the dialog can filter, in field order.
std::vector<TOfferedField> OfferedFilterFields(TDataSet* DataSet);

// The texts of the dialog's editors.
struct TFilterEditors {
  int Choice = -1;
  AnsiString Value;
  std::vector<AnsiString> Variants;
  AnsiString FloatBeg, FloatEnd;
  AnsiString DatBeg, DatEnd;
  int BoolIndex = 2;  // "Да", "Нет", "Не задано"
};

// The edit mask of the date editors for the field.
AnsiString FilterDateMask(TField* Field);
// The editors filled from the field's value in the current record. A null
// date-time keeps the start editor's text and copies it to the end.
void FillFilterEditors(TField* Field, TFilterEditors& Editors);
// The editors showing the condition.
TFilterEditors FilterEditorsOf(const TFieldFilter& Filter);

// The error a strict build shows for texts that are no numbers or dates.
inline constexpr const char* FilterParamsWarning = "Заполните правильно параметры фильтра!";
enum class TFilterBuild { Quiet, Strict };
// A condition on the field from the editors. Quiet: null when the texts do
// not make one. Strict: raises instead, with FilterParamsWarning for texts
// that do not read, or its own message (an interval ending before it
// starts).
std::unique_ptr<TFieldFilter> BuildFieldFilter(TField* Field, const TFilterEditors& Editors,
                                               TFilterBuild Mode);

// The line of the condition list.
AnsiString FilterLineText(const TFieldFilter& Filter);
