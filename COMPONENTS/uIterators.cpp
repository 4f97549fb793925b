#include "uIterators.h"

#include <memory>
#include <utility>

#include "SDS.h"
#include "SDataPrompts.h"
#include "SDataSource.h"
#include "db/DBConsts.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

bool GroupAllRecordsLocked = false;

namespace {

TPromptValueHook PromptValueHook;
TScreenCursorHook ScreenCursorHook;

constexpr int16_t crHourGlass = -11;
constexpr uint16_t NoCursor = 0xFFFF;

bool IsWholeNumberType(TFieldType Type) {
  return Type == ftSmallint || Type == ftInteger || Type == ftWord;
}

// The decimals a numeric field holds exactly; -1 for a float field.
int DecimalPlaces(TField* Field) {
  switch (Field->DataType()) {
    case ftCurrency:
      return 4;
    case ftBCD:
      return Field->Size();
    case ftFloat:
      return -1;
    default:
      return 0;
  }
}

class TIterator {
 public:
  TIterator(TSDataSource* Source, TField* Field, uint8_t Operation)
      : FOperation(Operation), FDataSet(Source->DataSet()), FField(Field), FSource(Source) {
    FAllRecords = !Source->Marker() || Source->Marker()->IsEmpty();
  }
  // Never raises: it runs while a step's error is on its way out.
  virtual ~TIterator() {
    try {
      Finish();
    } catch (...) {
    }
  }
  TIterator(const TIterator&) = delete;
  TIterator& operator=(const TIterator&) = delete;

  bool AllRecords() const { return FAllRecords; }
  virtual bool CanDisableControls() { return true; }
  virtual void Prepare() {}
  // The walk over the selected records; each is processed once, and the
  // next record is found by its bookmark, as a step may move the current one.
  // A server-backed dataset commits the walk's writes once, at its end.
  virtual void Execute() {
    Start();
    if (FAccepted) Prepare();
    if (!FAccepted) return;
    if (auto* sds = dynamic_cast<TSDS*>(FDataSet))
      sds->WithCommitsHeld([this] { Walk(); });
    else
      Walk();
  }
  virtual void Process() {}

 protected:
  void Start() {
    if (ScreenCursorHook) FSavedCursor = static_cast<uint16_t>(ScreenCursorHook(crHourGlass));
    FControlsDisabled = CanDisableControls();
    if (FControlsDisabled) FDataSet->DisableControls();
    FAccepted = true;
    FBookmark = FDataSet->GetBookmark();
  }
  void Walk() {
    FDataSet->First();
    while (!FDataSet->Eof()) {
      if (!Selected()) {
        FDataSet->Next();
        continue;
      }
      const TBookmark next = NextBookmark();
      ProcessCurrent();
      if (next.empty() || !FDataSet->BookmarkValid(next)) break;
      FDataSet->GotoBookmark(next);
    }
  }
  void Finish() {
    if (FSavedCursor != NoCursor) ScreenCursorHook(static_cast<int16_t>(std::exchange(FSavedCursor, NoCursor)));
    if (std::exchange(FControlsDisabled, false)) FDataSet->EnableControls();
    if (!FBookmark.empty() && FDataSet->BookmarkValid(FBookmark)) FDataSet->GotoBookmark(FBookmark);
    FBookmark.clear();
  }
  bool Selected() { return FAllRecords || FSource->Marker()->IsMarked(); }
  // The following record's bookmark, the cursor left where it was; empty
  // on the last record.
  TBookmark NextBookmark() {
    FDataSet->Next();
    if (FDataSet->Eof()) return {};
    TBookmark next = FDataSet->GetBookmark();
    FDataSet->Prior();
    return next;
  }
  // A refused step leaves no edit behind: the starting record could not be
  // gone back to, or would post the refused values again.
  void ProcessCurrent() {
    try {
      Process();
    } catch (...) {
      if (FDataSet->State() == dsEdit || FDataSet->State() == dsInsert) FDataSet->Cancel();
      throw;
    }
  }
  const char* AllOr(const char* All, const char* Marked) const { return FAllRecords ? All : Marked; }

  bool FControlsDisabled = false;
  bool FAllRecords = true;
  uint8_t FOperation;
  bool FAccepted = false;
  TDataSet* FDataSet;
  TField* FField;
  TSDataSource* FSource;
  uint16_t FSavedCursor = NoCursor;
  TBookmark FBookmark;
};

class TReplaceIterator : public TIterator {
 public:
  using TIterator::TIterator;
  void Prepare() override {
    FSampleValue = FField->Value();
    const AnsiString caption = AnsiString("Заменить ") + AllOr("в ГРАФЕ", "в ПОМЕЧЕННЫХ строках") +
                               (FOperation == grReplace ? " одно значение на другое" : " все значения на заданное");
    if (PromptValue(caption, PromptType(FField->DataType()), FNewValue) && FitsField()) return;
    FAccepted = false;
    FNewValue = Variant();
  }
  void Process() override {
    if (FOperation == grReplace && FField->Value() != FSampleValue) return;
    FDataSet->Edit();
    FField->SetValue(FNewValue);
    FDataSet->Post();
  }

 private:
  static uint8_t PromptType(TFieldType Type) {
    switch (Type) {
      case ftString:
        return pvString;
      case ftSmallint:
      case ftInteger:
        return pvInteger;
      case ftFloat:
      case ftBCD:
        return pvFloat;
      case ftDate:
      case ftDateTime:
        return pvDate;
      default:
        return pvNone;
    }
  }

  // A text longer than the field would be stored cut in every record.
  bool FitsField() {
    if (FField->DataType() != ftString ||
        VarToStr(FNewValue).size() <= static_cast<size_t>(FField->Size()))
      return true;
    ShowErrorMessage("Значение длиннее поля \"" + Trim(FSource->GetFieldCaption(FField)) + "\" (" +
                     IntToStr(FField->Size()) + " символов).");
    return false;
  }

  Variant FSampleValue, FNewValue;
};

class TArifmeticIterator : public TIterator {
 public:
  using TIterator::TIterator;
  void Prepare() override {
    FAccepted = false;
    if (!IsGroupNumericType(FField->DataType())) return;
    const AnsiString caption = AnsiString(FOperation == grAdd ? "Добавить значение(" : "Умножить на значение(") +
                               AllOr("в графе", "в ПОМЕЧЕННЫХ строках") + ")";
    Variant value;
    if (!PromptValue(caption, pvFloat, value)) return;
    if (!VarToBCD(value, FOperand))
      DatabaseErrorFmt(SInvalidFloatValue, {VarToStr(value), FField->DisplayName()});
    FAccepted = true;
  }
  // A null field stays null. Money and whole numbers are computed exactly
  // on the operand's decimal digits and rounded once to the field's places,
  // half away from zero, as the server's own arithmetic rounds them; a
  // float field computes in floating point.
  void Process() override {
    FDataSet->Edit();
    if (!FField->IsNull()) {
      const int places = DecimalPlaces(FField);
      if (places < 0) {
        const double operand = BCDToDouble(FOperand), value = FField->AsFloat();
        FField->SetAsFloat(FOperation == grAdd ? value + operand : value * operand);
      } else {
        TBcd value, result;
        if (!VarToBCD(FField->Value(), value) ||
            !(FOperation == grAdd ? BCDAdd(value, FOperand, places, result)
                                  : BCDMultiply(value, FOperand, places, result)))
          throw EOverflow("Переполнение при операции с плавающей точкой");
        if (auto* bcd = dynamic_cast<TBCDField*>(FField))
          bcd->SetAsBCD(result);
        else
          FField->SetAsFloat(BCDToDouble(result));
      }
    }
    FDataSet->Post();
  }

 private:
  TBcd FOperand;
};

class TRegIterator : public TIterator {
 public:
  using TIterator::TIterator;
  void Prepare() override {
    FAccepted = false;
    if (FField->DataType() != ftString) return;
    FAccepted = AskConfirmation(AnsiString("Заменить ") + AllOr("графу", "ПОМЕЧЕННЫЕ строки") +
                                (FOperation == grLowerCase ? " малыми буквами ?" : " заглавными буквами ?"));
  }
  void Process() override {
    FDataSet->Edit();
    const AnsiString text = FField->AsString();
    FField->SetAsString(FOperation == grLowerCase ? AnsiLowerCase(text) : AnsiUpperCase(text));
    FDataSet->Post();
  }
};

class TInfoIterator : public TIterator {
 public:
  using TIterator::TIterator;
  void Execute() override {
    Start();
    if (!FAccepted) return;
    if (FOperation == grSum && (!FField || !IsGroupNumericType(FField->DataType()))) return;
    for (FDataSet->First(); !FDataSet->Eof(); FDataSet->Next())
      if (Selected()) Process();
    Finish();
    if (FOperation == grSum) {
      const AnsiString caption = Trim(FSource->GetFieldCaption(FField));
      const char* format = IsWholeNumberType(FField->DataType()) ? "#,##0" : "#,##0.00";
      ShowInfoMessage(
          "Итого " + AnsiString(AllOr("по ВСЕЙ графе ", "по ПОМЕЧЕННЫМ строкам в графе ")) +
          caption + "  " +
          (DecimalPlaces(FField) < 0 ? FormatFloat(format, FSum) : FormatBCD(format, FExactSum)));
    } else {
      ShowInfoMessage("Количество " + AnsiString(AllOr("", "ПОМЕЧЕННЫХ")) + " строк = " + IntToStr(FCount));
    }
  }
  // Money and whole numbers add up exactly.
  void Process() override {
    if (FOperation != grSum) {
      ++FCount;
    } else if (DecimalPlaces(FField) < 0) {
      FSum += FField->AsFloat();
    } else if (!FField->IsNull()) {
      TBcd value;
      if (!VarToBCD(FField->Value(), value) ||
          !BCDAdd(FExactSum, value, DecimalPlaces(FField), FExactSum))
        throw EOverflow("Переполнение при операции с плавающей точкой");
    }
  }

 private:
  double FSum = 0;
  TBcd FExactSum{1, 0, {}};
  int32_t FCount = 0;
};

class TDelIterator : public TIterator {
 public:
  using TIterator::TIterator;
  // A server-backed master's details follow it only with its controls on,
  // and its cascade deletes the details they show.
  bool CanDisableControls() override {
    auto* sds = dynamic_cast<TSDS*>(FDataSet);
    return !sds || !sds->HasDetailDataSets();
  }
  // The position is not restored: the starting record may be gone.
  void Prepare() override {
    FBookmark.clear();
    FAccepted = AskConfirmation(FAllRecords ? "Удалить все записи?" : "Удалить ПОМЕЧЕННЫЕ записи?");
  }
  // A virtual delete keeps the record (its delete ends in a silent abort),
  // and so may a handler's abort: the walk goes on from the record that
  // followed either way, so each chosen record is deleted once and the
  // walk ends.
  void Process() override {
    try {
      FDataSet->Delete();
    } catch (const EAbort&) {
    }
  }
};

std::unique_ptr<TIterator> MakeIterator(TSDataSource* Source, TField* Field, uint8_t Operation) {
  switch (Operation) {
    case grReplace:
    case grFill:
      return std::make_unique<TReplaceIterator>(Source, Field, Operation);
    case grSum:
    case grCount:
      return std::make_unique<TInfoIterator>(Source, Field, Operation);
    case grAdd:
    case grMultiply:
      return std::make_unique<TArifmeticIterator>(Source, Field, Operation);
    case grLowerCase:
    case grUpperCase:
      return std::make_unique<TRegIterator>(Source, Field, Operation);
    case grDelete:
      return std::make_unique<TDelIterator>(Source, Field, Operation);
    default:
      return nullptr;
  }
}

const char* RatingError(uint8_t Rating) {
  switch (Rating) {
    case 1:
      return "Поле НД не может быть изменено.";
    case 2:
      return "Поле Grid не может быть изменено.";
    case 3:
      return "Операция не применима к полям индекса и сортировки.";
    default:
      return "Поле не найдено.";
  }
}

void Run(TDataSource* Source, TField* Field, uint8_t Operation) {
  auto* source = dynamic_cast<TSDataSource*>(Source);
  if (Source && !source) throw EInvalidCast("Invalid class typecast");
  if (!source || !source->DataSet()) return ShowErrorMessage("Неинициализированный набор данных.");
  if (source->DataSet()->State() != dsBrowse) return ShowErrorMessage("Набор данных не в режиме просмотра.");
  if (Operation != grSum && Operation != grCount && Operation != grDelete) {
    const uint8_t rating = source->GetFieldSortState(Field);
    if (rating != 0) return ShowErrorMessage(RatingError(rating));
  }
  std::unique_ptr<TIterator> iterator = MakeIterator(source, Field, Operation);
  if (!iterator) return;
  if (iterator->AllRecords() && GroupAllRecordsLocked) {
    ShowWarningMessage(
        "Применение групповых операций ко ВСЕМ записям заблокировано, возможно - только к ВЫДЕЛЕННЫМ.");
    Abort();
  }
  iterator->Execute();
}

}  // namespace

void RunGroupOperation(TDataSource* Source, TField* Field, uint8_t Operation) {
  struct TUnlock {
    ~TUnlock() { GroupAllRecordsLocked = false; }
  } unlock;
  Run(Source, Field, Operation);
}

bool IsGroupNumericType(TFieldType Type) {
  switch (Type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      return true;
    default:
      return false;
  }
}

void SetPromptValueHook(TPromptValueHook Hook) { PromptValueHook = std::move(Hook); }

bool PromptValue(const AnsiString& Caption, uint8_t ValueType, Variant& Value) {
  return PromptValueHook && PromptValueHook(Caption, ValueType, Value);
}

void SetScreenCursorHook(TScreenCursorHook Hook) { ScreenCursorHook = std::move(Hook); }

void ShowInfoMessage(const AnsiString& Text) { DataPrompts().ShowBox(IDataPrompts::bkInformation, Text); }
void ShowWarningMessage(const AnsiString& Text) { DataPrompts().ShowBox(IDataPrompts::bkWarning, Text); }
void ShowErrorMessage(const AnsiString& Text) { DataPrompts().ShowBox(IDataPrompts::bkError, Text); }
bool AskConfirmation(const AnsiString& Text) { return DataPrompts().AskYesNo(Text); }
