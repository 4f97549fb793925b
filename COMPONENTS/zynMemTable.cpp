#include "zynMemTable.h"

#include <cstring>

#include "zynCommon.h"

int32_t TzynFieldList::Add(TField* Field, TzynMemTableCompareOptions FieldOptions) {
  if (Count >= ZYN_MAX_FIELDS) throw EMemTableError(SzynTooManyFields);
  Fields[Count] = Field;
  Options[Count] = FieldOptions;
  FieldOfs[Count] = 0;
  FieldNo[Count] = Field ? Field->FieldNo() : 0;
  return Count++;
}

int32_t TzynFieldList::IndexOf(const TField* Field) const {
  for (int32_t i = 0; i < Count; ++i)
    if (Fields[i] == Field) return i;
  return -1;
}

void TzynFieldList::AssignTo(TzynFieldList& Other) const {
  Other.Clear();
  size_t n = static_cast<size_t>(Count);
  std::memcpy(Other.FieldOfs, FieldOfs, n * sizeof FieldOfs[0]);
  std::memcpy(Other.FieldNo, FieldNo, n * sizeof FieldNo[0]);
  std::memcpy(Other.Fields, Fields, n * sizeof Fields[0]);
  std::memcpy(Other.Options, Options, n * sizeof Options[0]);
  Other.Count = Count;
}

void TzynFieldList::MergeOptions(TzynFieldList& Other) const {
  for (int32_t i = 0; i < Count && i < Other.Count; ++i) Other.Options[i] |= Options[i];
}

TzynMemTableCompareOptions IndexOptionsToCompareOptions(TIndexOptions Options) {
  TzynMemTableCompareOptions result = 0;
  if (Options.Contains(ixUnique)) result |= mtcoUnique;
  if (Options.Contains(ixDescending)) result |= mtcoDescending;
  if (Options.Contains(ixCaseInsensitive)) result |= mtcoCaseInsensitive;
  if (Options.Contains(ixNonMaintained)) result |= mtcoNonMaintained;
  return result;
}

AnsiString ComponentPathName(const TComponent* Component) {
  if (!Component) return AnsiString();
  AnsiString path = Component->Name();
  for (const TComponent* owner = Component->Owner(); owner && !owner->Name().empty();
       owner = owner->Owner())
    path = owner->Name() + "." + path;
  return path;
}

int32_t CurrentRecordID(IzynMemTable* Table) {
  TzynLock lock(Table->Common);
  TDataSet* dataSet = Table->DataSet();
  if (!dataSet->Active() || dataSet->IsEmpty()) return -1;
  const auto* record = reinterpret_cast<const TzynRecord*>(dataSet->ActiveBuffer());
  return record ? record->UniqueRecordID : -1;
}
