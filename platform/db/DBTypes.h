// Types shared by the dataset classes: the numbered enumerations that leave
// the process (field types and kinds in stream files, update status, data
// events), the state and option sets, and the database error.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"
#include "rtl/Types.h"

// The order is part of stored files: a field type is written by its name,
// which this order indexes.
enum TFieldType : uint8_t {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid
};
inline constexpr int FieldTypeCount = ftGuid + 1;
// "Unknown", "String", ... "Dispatch", "Guid": the names written to streams.
extern const char* const FieldTypeNames[FieldTypeCount];
bool IsBlobType(TFieldType type);

enum TFieldKind : uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
inline constexpr int FieldKindCount = fkAggregate + 1;
// "Data", "Calculated", "Lookup", "InternalCalc", "Aggregate".
extern const char* const FieldKindNames[FieldKindCount];

enum TDataSetState : uint8_t {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc,
  dsOpening
};

// The number travels as the event's code; deLayoutChange is 4.
enum TDataEvent : uint8_t {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  dePropertyChange,
  deFieldListChange,
  deFocusControl,
  deParentScroll
};

enum TUpdateStatus : uint8_t { usUnmodified, usModified, usInserted, usDeleted };

enum TGetMode : uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : uint8_t { grOK, grBOF, grEOF, grError };

enum TResyncModeItem : uint8_t { rmExact, rmCenter };
using TResyncMode = TSet<TResyncModeItem>;

// Where a record buffer stands: on a record, before the first, after the
// last (an append), or a new record not yet posted.
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TLocateOption : uint8_t { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSet<TLocateOption>;

enum TFilterOption : uint8_t { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TSet<TFilterOption>;

enum TBlobStreamMode : uint8_t { bmRead, bmWrite, bmReadWrite };

enum TIndexOption : uint8_t {
  ixPrimary,
  ixUnique,
  ixDescending,
  ixCaseInsensitive,
  ixExpression,
  ixNonMaintained
};
using TIndexOptions = TSet<TIndexOption>;

enum TFieldAttribute : uint8_t { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = TSet<TFieldAttribute>;

// How a field takes part in the statements that write changes back.
enum TProviderFlag : uint8_t { pfInUpdate, pfInWhere, pfInKey, pfHidden };
using TProviderFlags = TSet<TProviderFlag>;

// What an OnEditError/OnPostError/OnDeleteError handler asks for.
enum TDataAction : uint8_t { daFail, daAbort, daRetry };

// A record buffer of a dataset; its layout is the dataset's own.
using TRecordBuffer = uint8_t*;
// A bookmark: the dataset's bookmark bytes; empty for none.
using TBookmark = AnsiString;

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// Raises EDatabaseError; a named component prefixes the message ("Name: ...").
[[noreturn]] void DatabaseError(const AnsiString& message, TComponent* component = nullptr);
[[noreturn]] void DatabaseErrorFmt(const AnsiString& message, std::initializer_list<TVarRec> args,
                                   TComponent* component = nullptr);
