#include "zynIndexes.h"

#include <algorithm>
#include <cstring>

#include "db/DBConsts.h"
#include "rtl/AnsiText.h"

namespace {

using TValueRef = TzynValue;

bool GetValue(IzynMemTable* Table, const TzynFieldList& List, int Entry, const TzynRecord* Record,
              TValueRef& Value) {
  return GetRecordValue(Table, Record, List.Fields[Entry], List.FieldOfs[Entry], Value);
}

template <class T>
T Load(const uint8_t* Data) {
  T value;
  std::memcpy(&value, Data, sizeof value);
  return value;
}

template <class T>
int Sign(T A, T B) {
  return A < B ? -1 : (B < A ? 1 : 0);
}

size_t TextLength(const uint8_t* Data, int32_t Length) {
  const void* zero = std::memchr(Data, 0, static_cast<size_t>(Length));
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - Data)
              : static_cast<size_t>(Length);
}

uint8_t UpperAscii(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

int CompareText(const TValueRef& Key, const TValueRef& Row, uint8_t Options, bool& Full) {
  size_t keyLength = TextLength(Key.Data, Key.Length);
  size_t rowLength = TextLength(Row.Data, Row.Length);
  if ((Options & mtcoPartialKey) && keyLength != rowLength) {
    Full = false;
    if (rowLength > keyLength) rowLength = keyLength;
  }
  const uint8_t* a = Key.Data;
  const uint8_t* b = Row.Data;
  if (Options & mtcoIgnoreLocale) {
    bool fold = Options & mtcoCaseInsensitive;
    size_t common = std::min(keyLength, rowLength);
    for (size_t i = 0; i < common; ++i) {
      int ca = fold ? UpperAscii(a[i]) : a[i];
      int cb = fold ? UpperAscii(b[i]) : b[i];
      if (ca != cb) return ca - cb;
    }
    return static_cast<int>(keyLength) - static_cast<int>(rowLength);
  }
  if (Options & mtcoCaseInsensitive) {
    while (keyLength > 0 && a[keyLength - 1] == ' ') --keyLength;
    while (rowLength > 0 && b[rowLength - 1] == ' ') --rowLength;
    int result = AnsiCompareText(AnsiString(reinterpret_cast<const char*>(a), keyLength),
                                 AnsiString(reinterpret_cast<const char*>(b), rowLength));
    return Sign(result, 0);
  }
  int result = std::memcmp(a, b, std::min(keyLength, rowLength));
  if (result == 0) return Sign(keyLength, rowLength);
  return Sign(result, 0);
}

// Case-sensitive by code, in one pass: what CompareText gives without
// partial keys, locale or case folding (a value ends at its zero or length).
int CompareCodes(const TValueRef& Key, const TValueRef& Row) {
  const uint8_t* a = Key.Data;
  const uint8_t* b = Row.Data;
  int32_t common = std::min(Key.Length, Row.Length);
  for (int32_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (a[i] == 0) return 0;
  }
  uint8_t restA = Key.Length > common ? a[common] : 0;
  uint8_t restB = Row.Length > common ? b[common] : 0;
  return Sign(restA, restB);
}

int CompareValues(TFieldType Type, const TValueRef& Key, const TValueRef& Row, uint8_t Options,
                  bool& Full) {
  int result;
  switch (Type) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
      result = (Options & (mtcoPartialKey | mtcoCaseInsensitive | mtcoIgnoreLocale))
                   ? CompareText(Key, Row, Options, Full)
                   : CompareCodes(Key, Row);
      break;
    case ftSmallint:
      result = Sign(Load<int16_t>(Key.Data), Load<int16_t>(Row.Data));
      break;
    case ftWord:
      result = Sign(Load<uint16_t>(Key.Data), Load<uint16_t>(Row.Data));
      break;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
      result = Sign(Load<int32_t>(Key.Data), Load<int32_t>(Row.Data));
      break;
    case ftLargeint:
      result = Sign(Load<int64_t>(Key.Data), Load<int64_t>(Row.Data));
      break;
    case ftBoolean:
      result = Sign(Load<int16_t>(Key.Data) != 0, Load<int16_t>(Row.Data) != 0);
      break;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
      result = Sign(Load<double>(Key.Data), Load<double>(Row.Data));
      break;
    case ftBCD:
      result = BCDCompare(Load<TBcd>(Key.Data), Load<TBcd>(Row.Data));
      break;
    default:
      result = 0;
  }
  return (Options & mtcoDescending) ? -result : result;
}

bool Indexable(TField* Field) {
  switch (Field->FieldKind()) {
    case fkData:
    case fkCalculated:
    case fkLookup:
    case fkInternalCalc:
      break;
    default:
      return false;
  }
  TFieldType type = Field->DataType();
  return IsSupportedType(type) && type != ftBytes && type != ftVarBytes && !IsBlobType(type) &&
         type != ftADT && type != ftArray;
}

uint8_t OptionLetters(const AnsiString& Letters) {
  uint8_t options = 0;
  for (char c : Letters) {
    switch (AnsiUpperChar(c)) {
      case 'D':
        options |= mtcoDescending;
        break;
      case 'C':
        options |= mtcoCaseInsensitive;
        break;
      case 'P':
        options |= mtcoPartialKey;
        break;
      case 'N':
        options |= mtcoIgnoreNullKey;
        break;
      case 'L':
        options |= mtcoIgnoreLocale;
        break;
      default:
        break;
    }
  }
  return options;
}

// Options that decide which keys are equal and how they sort.
constexpr uint8_t OrderOptions = mtcoCaseInsensitive | mtcoIgnoreLocale;

}  // namespace

// ---- Field strings ------------------------------------------------------------

void ParseIndexFields(IzynMemTable* Table, const AnsiString& FieldNames, TzynFieldList& List) {
  List.Clear();
  TDataSet* dataSet = Table->DataSet();
  size_t start = 0;
  while (start <= FieldNames.size()) {
    size_t end = FieldNames.find(';', start);
    if (end == AnsiString::npos) end = FieldNames.size();
    AnsiString item = Trim(FieldNames.substr(start, end - start));
    start = end + 1;
    if (item.empty()) continue;
    AnsiString name = item, letters;
    if (size_t colon = item.find(':'); colon != AnsiString::npos) {
      name = Trim(item.substr(0, colon));
      letters = item.substr(colon + 1);
    }
    TField* field = dataSet->FieldByName(name);
    if (!Indexable(field)) DatabaseErrorFmt("Недопустимый индекс для поля %s", {field->DisplayName()});
    int32_t entry = List.Add(field, OptionLetters(letters));
    List.FieldNo[entry] = field->FieldNo();
    if (field->FieldNo() > 0) {
      List.FieldOfs[entry] = Table->Common->FieldOffsets(field->FieldNo() - 1);
    } else {
      List.FieldOfs[entry] = Table->Common->StartCalculated() + field->Offset();
      Table->RecalcOnIndex = true;
    }
  }
}

void ApplyFieldOption(const TzynFieldList& Named, TzynFieldList& List, uint8_t Option) {
  for (int32_t i = 0; i < List.Count; ++i) {
    if (Named.IndexOf(List.Fields[i]) >= 0)
      List.Options[i] |= Option;
    else
      List.Options[i] &= static_cast<uint8_t>(~Option);
  }
}

// ---- Compare ------------------------------------------------------------------

int CompareRecords(IzynMemTable* Table, const TzynFieldList& List, const TzynRecord* Key,
                   const TzynRecord* Row, TzynCompareMode Mode, bool IgnoreNulls, bool Partial,
                   int Limit) {
  int count = Limit >= 0 && Limit < List.Count ? Limit : List.Count;
  int result = 0;
  TValueRef keyValue, rowValue;
  for (int i = 0; i < count; ++i) {
    uint8_t options = List.Options[i];
    if (Mode != zcmPlain) options &= static_cast<uint8_t>(~mtcoDescending);
    if (Partial) options |= mtcoPartialKey;
    bool keyHas = GetValue(Table, List, i, Key, keyValue);
    if (!keyHas && (IgnoreNulls || (options & mtcoIgnoreNullKey))) continue;
    bool rowHas = GetValue(Table, List, i, Row, rowValue);
    bool full = true;
    if (!keyHas || !rowHas) {
      result = keyHas == rowHas ? 0 : (keyHas ? 1 : -1);
    } else if (Table->OnCompareFields) {
      result = 0;
      Table->OnCompareFields(Table->DataSet(), List.Fields[i], keyValue.Data, rowValue.Data,
                             List.Fields[i]->DataType(), options, full, result);
    } else {
      result = CompareValues(List.Fields[i]->DataType(), keyValue, rowValue, options, full);
    }
    switch (Mode) {
      case zcmPlain:
        if (result != 0) return result;
        if (!full) return 0;
        break;
      case zcmBelow:
        if (result < 0) return result;
        break;
      case zcmAbove:
        if (result > 0) return result;
        break;
      case zcmAtMost:
        if (result <= 0) return result;
        break;
      case zcmAtLeast:
        if (result >= 0) return result;
        break;
    }
  }
  return result;
}

// ---- TzynIndex ------------------------------------------------------------------

TzynIndex::TzynIndex(const AnsiString& AName, bool RowOrder, bool ASortOnRebuild,
                     TzynMemTableCompareOptions Options, const AnsiString& Fields,
                     IzynMemTable* Table)
    : Name(AName),
      DataSet(Table),
      IndexFields(Fields),
      CompareOptions(Options),
      SortOnRebuild(ASortOnRebuild),
      IsRowOrder(RowOrder) {
  if (!RowOrder) ParseIndexFields(Table, Fields, IndexFieldList);
  constexpr uint8_t fieldOptions = mtcoDescending | mtcoCaseInsensitive | mtcoPartialKey |
                                   mtcoIgnoreNullKey | mtcoIgnoreLocale;
  for (int32_t i = 0; i < IndexFieldList.Count; ++i)
    IndexFieldList.Options[i] |= Options & fieldOptions;
  IsOrdered = !Table->Common || Table->Common->RecordCount() == 0;
}

void TzynIndex::Clear() {
  FReferences.Clear();
  FGapAt = FGapLength = 0;
  FLeaving.clear();
  IsOrdered = false;
}

void TzynIndex::MoveGap(int32_t Row) const {
  if (FGapLength == 0) {
    FGapAt = Row;
    return;
  }
  void** items = FReferences.List();
  if (Row < FGapAt)
    std::memmove(items + Row + FGapLength, items + Row, sizeof(void*) * static_cast<size_t>(FGapAt - Row));
  else if (Row > FGapAt)
    std::memmove(items + FGapAt, items + FGapAt + FGapLength,
                 sizeof(void*) * static_cast<size_t>(Row - FGapAt));
  FGapAt = Row;
}

void TzynIndex::CloseGap() const {
  if (FGapLength == 0) return;
  MoveGap(FReferences.Count() - FGapLength);
  FReferences.SetCount(FReferences.Count() - FGapLength);
  FGapAt = FGapLength = 0;
}

void TzynIndex::DropLeaving() const {
  CloseGap();
  void** items = FReferences.List();
  int32_t kept = 0;
  for (int32_t i = 0; i < FReferences.Count(); ++i)
    if (!FLeaving.count(static_cast<const TzynRecord*>(items[i]))) items[kept++] = items[i];
  FReferences.SetCount(kept);
  FLeaving.clear();
}

void TzynIndex::OpenGap(int32_t Row) const {
  int32_t count = FReferences.Count();
  int32_t length = std::max(16, count / 8);
  FReferences.SetCount(count + length);
  void** items = FReferences.List();
  std::memmove(items + Row + length, items + Row, sizeof(void*) * static_cast<size_t>(count - Row));
  FGapAt = Row;
  FGapLength = length;
}

void TzynIndex::InsertRow(int32_t Row, TzynRecord* Record) {
  Settle();
  // The gap's first slot takes the row: a run of inserts near one another
  // moves only the rows between them, and the whole list once a gap's worth.
  if (FGapLength == 0) OpenGap(Row); else MoveGap(Row);
  FReferences.SetItems(FGapAt++, Record);
  --FGapLength;
}

void TzynIndex::SetRow(int32_t Row, TzynRecord* Record) {
  Settle();
  FReferences.SetItems(Row < FGapAt ? Row : Row + FGapLength, Record);
}

void TzynIndex::DeleteRow(int32_t Row) {
  Settle();
  // The row just after the gap, or just before it, joins the gap.
  if (FGapLength > 0 && Row == FGapAt - 1) {
    --FGapAt;
  } else if (FGapLength == 0 || Row != FGapAt) {
    MoveGap(Row);
  }
  ++FGapLength;
}

bool TzynIndex::PassesFilter(TzynRecord* Record) {
  if (Record->UpdateStatus == usDeleted) return false;
  if (!HasOwnFilter() && !DataSet->OnFilterIndex) return true;
  TzynRecordOverride over(*DataSet, Record);
  bool accept = true;
  if (FilterEvent) FilterEvent(DataSet->DataSet(), this, accept);
  if (accept && DataSet->OnFilterIndex) DataSet->OnFilterIndex(DataSet->DataSet(), this, accept);
  if (accept && FilterExpression) accept = FilterExpression(Record);
  return accept;
}

void TzynIndex::LoadReferences() {
  Clear();
  TzynCommon* common = DataSet->Common;
  TzynLock lock(common);
  FReferences.SetCapacity(IsFiltered ? 100 : common->RecordCount());
  for (int32_t slot = 0; slot < common->RecordCount(); ++slot) {
    TzynRecord* record = common->Records(slot);
    if (record && PassesFilter(record)) FReferences.Add(record);
  }
}

int TzynIndex::CompareRows(const TzynRecord* A, const TzynRecord* B) {
  int result = CompareRecords(DataSet, IndexFieldList, A, B);
  if (result != 0 || IsRowOrder) return result;
  result = Sign(A->RecordID, B->RecordID);
  return IndexFieldList.Count > 0 && (IndexFieldList.Options[0] & mtcoDescending) ? -result
                                                                                   : result;
}

bool TzynIndex::ListHasCalculated(const TzynFieldList& List) const {
  for (int32_t i = 0; i < List.Count; ++i)
    if (List.FieldNo[i] <= 0) return true;
  return false;
}

void TzynIndex::Sort() {
  TzynLock lock(DataSet->Common);
  if (!SortOnRebuild) {
    IsOrdered = true;
    return;
  }
  if (DataSet->RecalcOnIndex && ListHasCalculated(IndexFieldList))
    for (int32_t i = 0; i < Count(); ++i) DataSet->CalcRecordFields(Rows(i));
  if (SortByTextPrefix()) {
    CheckUnique();
    return;
  }
  Settle();
  CloseGap();
  void** rows = FReferences.List();
  auto less = [&](void* a, void* b) {
    return CompareRows(static_cast<TzynRecord*>(a), static_cast<TzynRecord*>(b)) < 0;
  };
  // Quicksort down to ranges of 5, then one insertion pass. Every access is
  // inside the range, so a compare event that contradicts itself cannot
  // lead it astray.
  std::vector<std::pair<int32_t, int32_t>> ranges{{0, Count() - 1}};
  while (!ranges.empty()) {
    auto [lo, hi] = ranges.back();
    ranges.pop_back();
    if (hi - lo + 1 <= 5) continue;
    int32_t mid = lo + (hi - lo) / 2;
    if (less(rows[mid], rows[lo])) std::swap(rows[mid], rows[lo]);
    if (less(rows[hi], rows[lo])) std::swap(rows[hi], rows[lo]);
    if (less(rows[hi], rows[mid])) std::swap(rows[hi], rows[mid]);
    void* pivot = rows[mid];
    int32_t i = lo, j = hi;
    while (i <= j) {
      while (i <= hi && less(rows[i], pivot)) ++i;
      while (j >= lo && less(pivot, rows[j])) --j;
      if (i <= j) std::swap(rows[i++], rows[j--]);
    }
    if (lo < j) ranges.emplace_back(lo, j);
    if (i < hi) ranges.emplace_back(i, hi);
  }
  for (int32_t i = 1; i < Count(); ++i) {
    void* item = rows[i];
    int32_t j = i;
    while (j > 0 && less(item, rows[j - 1])) {
      rows[j] = rows[j - 1];
      --j;
    }
    rows[j] = item;
  }
  CheckUnique();
}

void TzynIndex::CheckUnique() {
  IsOrdered = true;
  if (CompareOptions & mtcoUnique)
    for (int32_t i = 1; i < Count(); ++i)
      if (CompareRecords(DataSet, IndexFieldList, Rows(i - 1), Rows(i)) == 0)
        throw EMemTableDupKey("Дублирующееся значение индекса. Операция прервана.");
}

bool TzynIndex::SortByTextPrefix() {
  // Text compared by code sorts mostly on its first sixteen bytes, which are
  // copied beside each row: the records themselves are read only for ties.
  if (IndexFieldList.Count == 0 || DataSet->OnCompareFields) return false;
  TField* field = IndexFieldList.Fields[0];
  uint8_t options = IndexFieldList.Options[0];
  TFieldType type = field->DataType();
  if ((type != ftString && type != ftFixedChar && type != ftGuid) ||
      (options & (mtcoCaseInsensitive | mtcoPartialKey)))
    return false;
  struct TKeyed {
    uint8_t Rank;  // 0 null, 1 a value: nulls first in either direction
    uint64_t Prefix[2];
    TzynRecord* Record;
  };
  std::vector<TKeyed> keyed(static_cast<size_t>(Count()));
  TzynValue value;
  for (int32_t i = 0; i < Count(); ++i) {
    TKeyed& k = keyed[static_cast<size_t>(i)];
    k.Record = Rows(i);
    k.Rank = GetRecordValue(DataSet, k.Record, field, IndexFieldList.FieldOfs[0], value) ? 1 : 0;
    k.Prefix[0] = k.Prefix[1] = 0;
    for (int32_t b = 0; k.Rank && b < 16 && b < value.Length && value.Data[b]; ++b)
      k.Prefix[b / 8] |= static_cast<uint64_t>(value.Data[b]) << (56 - 8 * (b % 8));
  }
  bool descending = options & mtcoDescending;
  std::sort(keyed.begin(), keyed.end(), [&](const TKeyed& a, const TKeyed& b) {
    if (a.Rank != b.Rank) return a.Rank < b.Rank;
    for (int half = 0; half < 2; ++half)
      if (a.Prefix[half] != b.Prefix[half])
        return descending ? a.Prefix[half] > b.Prefix[half] : a.Prefix[half] < b.Prefix[half];
    return CompareRows(a.Record, b.Record) < 0;
  });
  for (int32_t i = 0; i < Count(); ++i) SetRow(i, keyed[static_cast<size_t>(i)].Record);
  return true;
}

void TzynIndex::Rebuild() {
  if (DataSet->CursorOpen()) {
    LoadReferences();
    if (Count() > 0) {
      Sort();
    } else {
      IsOrdered = true;
    }
  } else {
    IsOrdered = true;
  }
  if (DataSet->CurrentIndex == this && DataSet->CurRec >= Count()) DataSet->CurRec = Count() - 1;
}

TzynSearchResult TzynIndex::ScanSearch(const TzynFieldList& List, const TzynRecord* Key,
                                       bool Nearest, bool RespectFilter) {
  bool filter = RespectFilter && DataSet->FilteringNeeded();
  bool recalc = DataSet->RecalcOnIndex && ListHasCalculated(List);
  for (int32_t row = 0; row < Count(); ++row) {
    TzynRecord* record = Rows(row);
    if (recalc) DataSet->CalcRecordFields(record);
    int result = CompareRecords(DataSet, List, Key, record, zcmPlain, false, Nearest);
    if (result > 0) continue;
    if (result < 0 && !Nearest) continue;
    if (filter && !DataSet->PassesRecordFilter(record)) continue;
    return {result, result == 0, row};
  }
  return {1, false, Count()};
}

TzynSearchResult TzynIndex::Search(const TzynFieldList& List, const TzynRecord* Key, bool Nearest,
                                   bool RespectFilter, bool First) {
  if (Count() == 0) return {0, false, 0};
  TzynLock lock(DataSet->Common);
  if (!IsOrdered || IsRowOrder || Count() < 21) return ScanSearch(List, Key, Nearest, RespectFilter);

  auto compare = [&](int32_t row, bool partial) {
    return CompareRecords(DataSet, List, Key, Rows(row), zcmPlain, false, partial);
  };
  int32_t lo = 0, hi = Count(), match = -1;
  while (lo < hi) {
    int32_t mid = lo + (hi - lo) / 2;
    int result = compare(mid, false);
    if (result > 0) {
      lo = mid + 1;
    } else if (result < 0) {
      hi = mid;
    } else {
      match = mid;
      break;
    }
  }
  if (match < 0) {
    if (!Nearest) return {lo < Count() ? compare(lo, false) : 1, false, lo};
    // The first row at or after the key, partial strings counting as equal.
    int32_t first = lo;
    while (first > 0 && compare(first - 1, true) == 0) --first;
    if (first < Count() && compare(first, true) == 0) {
      match = first;
    } else {
      int32_t row = lo;
      bool filter = RespectFilter && DataSet->FilteringNeeded();
      while (filter && row < Count() && !DataSet->PassesRecordFilter(Rows(row))) ++row;
      return {row < Count() ? -1 : 1, false, row};
    }
  }
  // The ends of the block of rows that compare equal.
  int32_t a = lo, b = match;
  while (a < b) {
    int32_t mid = a + (b - a) / 2;
    if (compare(mid, Nearest) <= 0) b = mid; else a = mid + 1;
  }
  int32_t blockFirst = a;
  bool filter = RespectFilter && DataSet->FilteringNeeded();
  if (First && !filter) return {0, true, blockFirst};
  // Rows past the halving's upper end may still be equal as partial keys.
  a = match + 1;
  b = Count();
  while (a < b) {
    int32_t mid = a + (b - a) / 2;
    if (compare(mid, Nearest) >= 0) a = mid + 1; else b = mid;
  }
  int32_t blockEnd = a;
  if (filter) {
    // Only rows of the block count: the next shown row beyond it is no match.
    if (First) {
      for (int32_t row = blockFirst; row < blockEnd; ++row)
        if (DataSet->PassesRecordFilter(Rows(row))) return {0, true, row};
    } else {
      for (int32_t row = blockEnd; row-- > blockFirst;)
        if (DataSet->PassesRecordFilter(Rows(row))) return {0, true, row};
    }
    if (!Nearest) return {1, false, blockEnd};
    int32_t row = blockEnd;
    while (row < Count() && !DataSet->PassesRecordFilter(Rows(row))) ++row;
    return {row < Count() ? -1 : 1, false, row};
  }
  return {0, true, First ? blockFirst : blockEnd - 1};
}

int32_t TzynIndex::InsertPosition(const TzynRecord* Record) {
  int32_t lo = 0, hi = Count();
  while (lo < hi) {
    int32_t mid = lo + (hi - lo) / 2;
    if (CompareRows(Record, Rows(mid)) >= 0) lo = mid + 1; else hi = mid;
  }
  return lo;
}

int32_t TzynIndex::FindRecordNumber(const TzynRecord* Record, int32_t Hint) {
  TzynLock lock(DataSet->Common);
  auto same = [Record](const TzynRecord* row) {
    return row->RecordID == Record->RecordID && row->UniqueRecordID == Record->UniqueRecordID;
  };
  int32_t n = Count();
  if (Hint >= 0 && Hint < n && same(Rows(Hint))) return Hint;
  if (IsOrdered && n > 5) {
    int32_t lo = 0, hi = n;
    if (IsRowOrder) {
      // Storage order is slot order until slots are reused.
      while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (Rows(mid)->RecordID < Record->RecordID) lo = mid + 1; else hi = mid;
      }
    } else {
      while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (CompareRows(Record, Rows(mid)) > 0) lo = mid + 1; else hi = mid;
      }
    }
    if (lo < n && same(Rows(lo))) return lo;
  }
  for (int32_t row = 0; row < n; ++row)
    if (same(Rows(row))) return row;
  return -1;
}

// ---- TzynIndexes ----------------------------------------------------------------

TzynIndexes::TzynIndexes(IzynMemTable* Table) : FTable(Table) {
  FRowOrder = Add(std::make_unique<TzynIndex>(zynRowOrderIndexName, true, false, 0, "", Table));
}

TzynIndexes::~TzynIndexes() = default;

TzynIndex* TzynIndexes::Add(std::unique_ptr<TzynIndex> Index) {
  Index->IndexOfs = Count();
  FIndexes.push_back(std::move(Index));
  return FIndexes.back().get();
}

TzynIndex* TzynIndexes::AddFromIndexDef(const TIndexDef* Def) {
  if (Def->Fields().empty()) throw EMemTableError("Пропущено Name или FieldNames в IndexDef!");
  return Add(std::make_unique<TzynIndex>(Def->Name(), false, true,
                                         IndexOptionsToCompareOptions(Def->Options()),
                                         Def->Fields(), FTable));
}

void TzynIndexes::Remove(TzynIndex* Index) {
  if (Index == FRowOrder) return;
  if (FTable->CurrentIndex == Index) FTable->CurrentIndex = FRowOrder;
  for (size_t i = 0; i < FIndexes.size(); ++i) {
    if (FIndexes[i].get() != Index) continue;
    FIndexes.erase(FIndexes.begin() + static_cast<std::ptrdiff_t>(i));
    for (size_t j = i; j < FIndexes.size(); ++j) --FIndexes[j]->IndexOfs;
    return;
  }
}

void TzynIndexes::Clear() {
  for (size_t i = FIndexes.size(); i-- > 0;)
    if (FIndexes[i].get() != FRowOrder)
      FIndexes.erase(FIndexes.begin() + static_cast<std::ptrdiff_t>(i));
  FRowOrder->IndexOfs = 0;
  FTable->CurrentIndex = FRowOrder;
}

TzynIndex* TzynIndexes::IndexByName(const AnsiString& Name) const {
  for (const auto& index : FIndexes)
    if (AnsiSameText(index->Name, Name)) return index.get();
  return nullptr;
}

TzynIndex* TzynIndexes::IndexByFields(const AnsiString& Fields) const {
  for (const auto& index : FIndexes)
    if (!index->IsRowOrder && AnsiSameText(index->IndexFields, Fields)) return index.get();
  return nullptr;
}

void TzynIndexes::ClearAll() {
  for (const auto& index : FIndexes) index->Clear();
}

void TzynIndexes::RebuildAll() {
  for (const auto& index : FIndexes) index->Rebuild();
}

void TzynIndexes::MarkAllUnordered() {
  for (const auto& index : FIndexes) index->IsOrdered = false;
}

bool TzynIndexes::KeepsOrderOf(const TzynIndex* Index, const TzynFieldList& List) const {
  if (Index->IsRowOrder || !Index->IsOrdered || Index->IndexFieldList.Count < List.Count)
    return false;
  // Another index is no help when it leaves records out.
  if (Index != FTable->CurrentIndex && (Index->HasOwnFilter() || FTable->OnFilterIndex))
    return false;
  for (int32_t i = 0; i < List.Count; ++i) {
    if (Index->IndexFieldList.Fields[i] != List.Fields[i]) return false;
    if ((Index->IndexFieldList.Options[i] & OrderOptions) != (List.Options[i] & OrderOptions))
      return false;
    if (Index->IndexFieldList.Options[i] & mtcoPartialKey) return false;
    // A null key that matches anything before the last field would make
    // the matching rows scatter through the index.
    if ((List.Options[i] & mtcoIgnoreNullKey) && i + 1 < List.Count) return false;
  }
  return true;
}

TzynIndex* TzynIndexes::FindSearchIndex(const TzynFieldList& List) const {
  if (KeepsOrderOf(FTable->CurrentIndex, List)) return FTable->CurrentIndex;
  for (size_t i = FIndexes.size(); i-- > 0;)
    if (KeepsOrderOf(FIndexes[i].get(), List)) return FIndexes[i].get();
  return nullptr;
}

TzynFoundRow TzynIndexes::Search(const TzynFieldList& List, const TzynRecord* Key, bool AutoAdd,
                                 bool RespectFilter, bool Nearest) {
  TzynLock lock(FTable->Common);
  TzynIndex* current = FTable->CurrentIndex;
  if (current->IsOrdered && current->Count() > 20) {
    TzynIndex* index = FindSearchIndex(List);
    if (!index && AutoAdd && FTable->AutoAddIndexes && !Nearest) {
      AnsiString fields;
      for (int32_t i = 0; i < List.Count; ++i) {
        if (i) fields += ";";
        fields += List.Fields[i]->FieldName();
        if (List.Options[i] & OrderOptions) {
          fields += ":";
          if (List.Options[i] & mtcoCaseInsensitive) fields += "C";
          if (List.Options[i] & mtcoIgnoreLocale) fields += "L";
        }
      }
      FTable->AddIndex(zynAutoIndexPrefix + fields, fields, TIndexOptions());
      index = FindSearchIndex(List);
    }
    // A nearest row through another index need not be the current index's.
    if (index && (index == current || !Nearest)) {
      TzynFieldList keyList;
      List.AssignTo(keyList);
      for (int32_t i = 0; i < keyList.Count; ++i)
        keyList.Options[i] |= index->IndexFieldList.Options[i] & mtcoDescending;
      if (index == current) {
        TzynSearchResult found = index->Search(keyList, Key, Nearest, RespectFilter, true);
        if (found.Found || (Nearest && found.Position < current->Count()))
          return {true, found.Position};
        return {false, -1};
      }
      // The equal rows of that index; the first of them in the current order.
      TzynSearchResult found = index->Search(keyList, Key, false, false, true);
      if (!found.Found) return {false, -1};
      bool filter = RespectFilter && FTable->FilteringNeeded();
      int32_t best = -1;
      for (int32_t row = found.Position; row < index->Count(); ++row) {
        TzynRecord* record = index->Rows(row);
        if (CompareRecords(FTable, keyList, Key, record) != 0) break;
        if (filter && !FTable->PassesRecordFilter(record)) continue;
        int32_t rowNo = current->FindRecordNumber(record);
        if (rowNo >= 0 && (best < 0 || rowNo < best)) best = rowNo;
      }
      return {best >= 0, best};
    }
  }
  TzynSearchResult found = current->ScanSearch(List, Key, Nearest, RespectFilter);
  if (found.Found || (Nearest && found.Position < current->Count())) return {true, found.Position};
  return {false, -1};
}

void TzynIndexes::CheckUniqueness(const TzynRecord* Record, const TzynRecord* ActualRecord) {
  if (!FTable->EnableIndexes) return;
  TzynLock lock(FTable->Common);
  for (const auto& index : FIndexes) {
    if (!index->Enabled || !(index->CompareOptions & mtcoUnique) ||
        (index->CompareOptions & mtcoNonMaintained))
      continue;
    // Every stored record counts, shown or not.
    int32_t from = 0;
    if (index->IsOrdered) {
      TzynSearchResult found = index->Search(index->IndexFieldList, Record, false, false, true);
      if (!found.Found) continue;
      from = found.Position;
    }
    for (int32_t row = from; row < index->Count(); ++row) {
      TzynRecord* other = index->Rows(row);
      int result = CompareRecords(FTable, index->IndexFieldList, Record, other);
      if (result != 0) {
        if (index->IsOrdered) break;
        continue;
      }
      bool itself = ActualRecord && other->RecordID == ActualRecord->RecordID &&
                    other->UniqueRecordID == ActualRecord->UniqueRecordID;
      if (!itself)
        throw EMemTableDupKey("Дублирующееся значение индекса. Операция прервана. " + index->Name);
    }
  }
}

void TzynIndexes::ReflectChange(TzynChange Operation, TzynRecord* OldRecord, int32_t Position,
                                TzynRecord* NewRecord, bool Own) {
  TzynLock lock(FTable->Common);
  TzynIndex* current = FTable->CurrentIndex;
  int32_t at = FTable->CurRec, rows = current->Count();
  // The record this table's cursor stands on when another table makes the
  // change: the cursor stays with it, however the rows shift under it.
  TzynRecord* standing = !Own && at >= 0 && at < rows ? current->Rows(at) : nullptr;
  for (const auto& index : FIndexes)
    ReflectInIndex(index.get(), Operation, OldRecord, index.get() == current ? Position : -1,
                   NewRecord);
  if (Own) return;
  int32_t count = current->Count();
  if (!standing) {
    // Before the first or after the last it stays there.
    FTable->CurRec = at < 0 ? -1 : count;
    return;
  }
  // A deleted record's row passes to the record after it.
  if (Operation == zcDelete && standing == OldRecord) {
    FTable->CurRec = std::min(at, count);
    return;
  }
  if (Operation == zcModify && standing == OldRecord) standing = NewRecord;
  int32_t row = -1;
  for (int32_t hint : {at, at + 1, at - 1})
    if (hint >= 0 && hint < count && current->Rows(hint) == standing) row = hint;
  if (row < 0) row = current->FindRecordNumber(standing);
  FTable->CurRec = row >= 0 ? row : std::min(at, count);
}

void TzynIndexes::ReflectInIndex(TzynIndex* Index, TzynChange Operation, TzynRecord* OldRecord,
                                 int32_t Position, TzynRecord* NewRecord) {
  bool current = Index == FTable->CurrentIndex;
  if (Operation == zcDelete) {
    // Every index lets go of the record, kept up to date or not: none may
    // keep a row on a record about to be freed. Only the cursor's index
    // needs the row now.
    if (!current) {
      Index->LeaveLater(OldRecord);
      return;
    }
    int32_t row = Index->FindRecordNumber(OldRecord, Position);
    if (row >= 0) {
      Index->DeleteRow(row);
      FTable->CurRec = row;
    }
    return;
  }
  bool maintained = !(Index->CompareOptions & mtcoNonMaintained) && FTable->EnableIndexes &&
                    Index->Enabled && Index->IsOrdered;
  if (Operation == zcModify && Index->IsRowOrder) {
    // A filter on the row order may refuse the edited record now, or take
    // back one it refused (to the end, as an insert by another table goes).
    const bool filtered = Index->HasOwnFilter() || Index->DataSet->OnFilterIndex;
    if (OldRecord == NewRecord && !filtered) return;
    int32_t row = Index->FindRecordNumber(OldRecord, Position);
    if (filtered && !Index->PassesFilter(NewRecord)) {
      if (row >= 0) Index->DeleteRow(row);
    } else if (row >= 0) {
      Index->SetRow(row, NewRecord);
    } else if (filtered && !Index->PassesFilter(OldRecord)) {
      Index->InsertRow(Index->Count(), NewRecord);
    }
    return;
  }
  if (!maintained) {
    Index->IsOrdered = false;
    return;
  }
  auto place = [&](TzynRecord* record) {
    if (!Index->PassesFilter(record)) return;
    int32_t row;
    if (Index->IsRowOrder) {
      row = current && Position >= 0 && Position <= Index->Count() ? Position : Index->Count();
    } else {
      row = Index->InsertPosition(record);
    }
    Index->InsertRow(row, record);
    if (current) {
      FTable->CurRec = row;
      record->RecordNo = row;
    }
  };
  if (Operation == zcInsert) {
    place(NewRecord);
    return;
  }
  int32_t row = Index->FindRecordNumber(OldRecord, Position);
  // Equal keys keep the row in place, unless the record now fails the
  // filter: moving it would cost two shifts of the whole list.
  if (row >= 0 && CompareRecords(FTable, Index->IndexFieldList, NewRecord, OldRecord) == 0) {
    if (Index->PassesFilter(NewRecord))
      Index->SetRow(row, NewRecord);
    else
      Index->DeleteRow(row);
    return;
  }
  if (row >= 0) Index->DeleteRow(row);
  place(NewRecord);
}
