// Group operations over the records of a TSDataSource's dataset: one step
// applied to every record, or only to the marked ones when any is marked.
// The grid's keys and the service actions start them through
// RunGroupOperation.
#pragma once

#include <cstdint>
#include <functional>

#include "db/DB.h"
#include "rtl/SysUtils.h"

enum TGroupOperationCode : uint8_t {
  grReplace,  // one value by another
  grFill,
  grSum,
  grCount,
  grAdd,
  grMultiply,
  grLowerCase,
  grUpperCase,
  grDelete
};

// A data source of another class than TSDataSource.
KS_EXCEPTION(EInvalidCast, Exception);

// While set, an operation that would apply to all records is refused;
// every run clears it again.
extern bool GroupAllRecordsLocked;

// Source must be a TSDataSource (or null); codes above grDelete do nothing.
// Refusals show their message and change nothing; a step's error stops the
// walk there and reaches the caller, the records before it stay changed.
void RunGroupOperation(TDataSource* Source, TField* Field, uint8_t Operation);

// The operand's required type.
enum TPromptValueType : uint8_t { pvNone, pvInteger, pvFloat, pvDate, pvString };
// The value prompt, registered by its window's unit: answers whether the
// user accepted, with the converted value. Without one nothing is accepted.
using TPromptValueHook = std::function<bool(const AnsiString& Caption, uint8_t ValueType, Variant& Value)>;
void SetPromptValueHook(TPromptValueHook Hook);
bool PromptValue(const AnsiString& Caption, uint8_t ValueType, Variant& Value);

// The screen cursor, registered by the forms side: sets one and answers the
// one shown before. Without one the cursor is left alone.
using TScreenCursorHook = std::function<int16_t(int16_t Cursor)>;
void SetScreenCursorHook(TScreenCursorHook Hook);

// The field types a sum, an addition or a multiplication takes.
bool IsGroupNumericType(TFieldType Type);

// Through the dataset layer's prompts.
void ShowInfoMessage(const AnsiString& Text);
void ShowWarningMessage(const AnsiString& Text);
void ShowErrorMessage(const AnsiString& Text);
bool AskConfirmation(const AnsiString& Text);
