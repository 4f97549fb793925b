#include "ArrayDataSet.h"

#include <cstring>

// Writes the field's value back into the record being edited when it goes.
class TArrayDataSet::TBlobStream : public TMemoryStream {
 public:
  TBlobStream(TArrayDataSet* DataSet, TField* Field, TBlobStreamMode Mode)
      : FDataSet(DataSet), FField(Field), FMode(Mode) {
    if (Mode != bmWrite) {
      std::optional<AnsiString> value = DataSet->BlobValue(Field);
      if (value && !value->empty()) WriteBuffer(value->data(), static_cast<int32_t>(value->size()));
      SetPosition(0);
    }
    if (Mode != bmRead) static_cast<TBlobField*>(Field)->SetModified(true);
  }
  ~TBlobStream() override {
    if (FMode != bmRead) FDataSet->WriteBlob(FField, AnsiString(data_.begin(), data_.end()));
  }

 private:
  TArrayDataSet* FDataSet;
  TField* FField;
  TBlobStreamMode FMode;
};

TArrayDataSet::TArrayDataSet(TComponent* AOwner) : TDataSet(AOwner), FMasterLink(this) {
  FMasterLink.OnMasterChange = [this](TObject*) { MasterChanged(); };
  FMasterLink.OnMasterDisable = [this](TObject*) { MasterChanged(); };
}

TArrayDataSet::~TArrayDataSet() { Close(); }

void TArrayDataSet::SetMasterSource(TDataSource* Value) {
  if (IsLinkedTo(Value)) DatabaseError(SCircularDataLink, this);
  FMasterLink.SetDataSource(Value);
}

void TArrayDataSet::MasterChanged() {
  if (!Active()) return;
  CheckBrowseMode();
  First();
}

// ---- Buffers -----------------------------------------------------------------------

TRecordBuffer TArrayDataSet::AllocRecordBuffer() {
  return new uint8_t[static_cast<size_t>(FRecordSize)]();
}

void TArrayDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
  delete[] Buffer;
  Buffer = nullptr;
}

void TArrayDataSet::InternalInitRecord(TRecordBuffer Buffer) {
  std::memset(Buffer, 0, static_cast<size_t>(FRecordSize));
}

void TArrayDataSet::ClearCalcFields(TRecordBuffer Buffer) {
  std::memset(Buffer + sizeof(Header) + FDataSize, 0, static_cast<size_t>(CalcFieldsSize()));
}

void TArrayDataSet::FillBuffer(TRecordBuffer Buffer, int Index) {
  const Row& row = FRows[static_cast<size_t>(Index)];
  HeaderOf(Buffer) = Header{row.Id, bfCurrent};
  std::memcpy(Buffer + sizeof(Header), row.Data.data(), row.Data.size());
  ClearCalcFields(Buffer);
}

void TArrayDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) const {
  std::memcpy(Data, &HeaderOf(Buffer).Id, sizeof(int32_t));
}

void TArrayDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
  std::memcpy(&HeaderOf(Buffer).Id, Data, sizeof(int32_t));
}

TBookmarkFlag TArrayDataSet::GetBookmarkFlag(TRecordBuffer Buffer) const {
  return HeaderOf(Buffer).Flag;
}

void TArrayDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
  HeaderOf(Buffer).Flag = Value;
}

// ---- The cursor ------------------------------------------------------------------------

int TArrayDataSet::IndexOfId(int32_t Id) const {
  for (size_t i = 0; i < FRows.size(); ++i)
    if (FRows[i].Id == Id) return static_cast<int>(i);
  return -1;
}

void TArrayDataSet::InternalGotoBookmark(const void* Bookmark) {
  if (!Bookmark) DatabaseError(SBookmarkNotFound, this);
  int32_t id;
  std::memcpy(&id, Bookmark, sizeof id);
  int row = IndexOfId(id);
  if (row < 0) DatabaseError(SRecordNotFound, this);
  FCursor = row;
}

void TArrayDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
  InternalGotoBookmark(&HeaderOf(Buffer).Id);
}

bool TArrayDataSet::Accept(int Index) {
  bool master = FMasterLink.Active() && !FMasterLink.Fields().empty();
  bool filter = Filtered() && OnFilterRecord();
  if (!master && !filter) return true;
  FillBuffer(FFilterBuffer, Index);
  TDataSetState saved = SetTempState(dsFilter);
  bool accept = true;
  try {
    if (master) {
      std::vector<TField*> detail;
      GetFieldList(detail, FDetailFields);
      for (size_t i = 0; i < detail.size() && i < FMasterLink.Fields().size(); ++i)
        if (VarCompareValue(detail[i]->Value(), FMasterLink.Fields()[i]->Value()) != vrEqual)
          accept = false;
    }
    if (accept && filter) OnFilterRecord()(this, accept);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return accept;
}

TGetResult TArrayDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool) {
  int count = static_cast<int>(FRows.size());
  switch (GetMode) {
    case gmCurrent:
      if (FCursor < 0 || FCursor >= count || !Accept(FCursor)) return grError;
      break;
    case gmNext:
      do ++FCursor;
      while (FCursor < count && !Accept(FCursor));
      if (FCursor >= count) {
        FCursor = count;
        return grEOF;
      }
      break;
    case gmPrior:
      do --FCursor;
      while (FCursor >= 0 && !Accept(FCursor));
      if (FCursor < 0) {
        FCursor = -1;
        return grBOF;
      }
      break;
  }
  FillBuffer(Buffer, FCursor);
  GetCalcFields(Buffer);
  return grOK;
}

// ---- Opening -----------------------------------------------------------------------------

void TArrayDataSet::InternalInitFieldDefs() {
  if (FieldCount() == 0) return;
  FieldDefs()->Clear();
  for (int i = 0; i < FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    if (field->FieldKind() == fkData)
      FieldDefs()->Add(field->FieldName(), field->DataType(), field->IsBlob() ? 0 : field->Size(),
                       field->Required());
  }
}

void TArrayDataSet::InternalOpen() {
  InternalInitFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  FOffsets.clear();
  FDataSize = 0;
  for (int i = 0; i < FieldDefs()->Count(); ++i) {
    FOffsets.push_back(FDataSize);
    TField* field = FieldByNumber(i + 1);
    FDataSize += 1 + (field ? field->DataSize() : 0);
  }
  FRecordSize = static_cast<int>(sizeof(Header)) + FDataSize + CalcFieldsSize();
  for (Row& row : FRows) row.Data.resize(static_cast<size_t>(FDataSize));
  SetBookmarkSize(sizeof(int32_t));
  FFilterBuffer = AllocRecordBuffer();
  FOldBuffer = AllocRecordBuffer();
  FCursor = -1;
  FOpen = true;
}

void TArrayDataSet::InternalHandleException() {
  ++CalcErrors;
  if (!SwallowCalcErrors) throw;
}

void TArrayDataSet::InternalClose() {
  if (FFilterBuffer) FreeRecordBuffer(FFilterBuffer);
  if (FOldBuffer) FreeRecordBuffer(FOldBuffer);
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  FOpen = false;
}

// ---- Field values ---------------------------------------------------------------------------

TRecordBuffer TArrayDataSet::RecordBuffer() const {
  switch (State()) {
    case dsBrowse:
      return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
    case dsNewValue:
      return ActiveBuffer();
    case dsCalcFields:
      return CalcBuffer();
    case dsFilter:
      return FFilterBuffer;
    case dsOldValue: {
      int row = IndexOfId(HeaderOf(ActiveBuffer()).Id);
      if (row < 0 || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return ActiveBuffer();
      const_cast<TArrayDataSet*>(this)->FillBuffer(FOldBuffer, row);
      return FOldBuffer;
    }
    default:
      return nullptr;
  }
}

uint8_t* TArrayDataSet::FieldSlot(TRecordBuffer Buffer, TField* Field) const {
  size_t offset = Field->FieldNo() > 0 ? static_cast<size_t>(FOffsets[Field->FieldNo() - 1])
                                       : static_cast<size_t>(FDataSize + Field->Offset());
  return Buffer + sizeof(Header) + offset;
}

bool TArrayDataSet::GetFieldData(TField* Field, void* Buffer) {
  TRecordBuffer record = RecordBuffer();
  if (!record) return false;
  if (Field->IsBlob()) {
    std::optional<AnsiString> value = BlobValue(Field);
    return value.has_value();
  }
  uint8_t* slot = FieldSlot(record, Field);
  if (slot[0] == 0) return false;
  if (Buffer) std::memcpy(Buffer, slot + 1, static_cast<size_t>(Field->DataSize()));
  return true;
}

void TArrayDataSet::SetFieldData(TField* Field, const void* Buffer) {
  TDataSetState state = State();
  if (state != dsEdit && state != dsInsert && state != dsCalcFields && state != dsNewValue)
    DatabaseError(SNotEditing, this);
  if (state != dsCalcFields && Field->ReadOnly())
    DatabaseErrorFmt(SFieldReadOnly, {Field->DisplayName()}, this);
  if (state != dsCalcFields) Field->Validate(Buffer);
  uint8_t* slot = FieldSlot(RecordBuffer(), Field);
  slot[0] = Buffer ? 1 : 0;
  if (Buffer)
    std::memcpy(slot + 1, Buffer, static_cast<size_t>(Field->DataSize()));
  else
    std::memset(slot + 1, 0, static_cast<size_t>(Field->DataSize()));
  if (state != dsCalcFields && state != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
}

// ---- Blobs ------------------------------------------------------------------------------------

std::optional<AnsiString> TArrayDataSet::BlobValue(TField* Field) const {
  TDataSetState state = State();
  if (state == dsEdit || state == dsInsert) {
    auto pending = FPendingBlobs.find(Field->FieldNo());
    if (pending != FPendingBlobs.end()) return pending->second;
    if (state == dsInsert) return std::nullopt;
  }
  TRecordBuffer record = RecordBuffer();
  if (!record) return std::nullopt;
  int row = IndexOfId(HeaderOf(record).Id);
  if (row < 0) return std::nullopt;
  auto stored = FRows[static_cast<size_t>(row)].Blobs.find(Field->FieldNo());
  return stored == FRows[static_cast<size_t>(row)].Blobs.end() ? std::nullopt : stored->second;
}

void TArrayDataSet::WriteBlob(TField* Field, const AnsiString& Value) {
  FPendingBlobs[Field->FieldNo()] = Value.empty() ? std::nullopt : std::optional<AnsiString>(Value);
  DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
}

std::unique_ptr<TStream> TArrayDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  if (Mode != bmRead) {
    if (State() != dsEdit && State() != dsInsert) DatabaseError(SNotEditing, this);
    if (Field->ReadOnly()) DatabaseErrorFmt(SFieldReadOnly, {Field->DisplayName()}, this);
  }
  return std::make_unique<TBlobStream>(this, Field, Mode);
}

void TArrayDataSet::CloseBlob(TField*) { ++BlobCloses; }

// ---- Editing -----------------------------------------------------------------------------------

void TArrayDataSet::InternalPost() {
  TDataSet::InternalPost();
  TRecordBuffer record = ActiveBuffer();
  std::vector<uint8_t> data(record + sizeof(Header), record + sizeof(Header) + FDataSize);
  if (State() == dsInsert) {
    Row added;
    added.Id = ++FNextId;
    added.Data = std::move(data);
    // Before the record that was current when the insert began; an
    // append (or a cursor past the end) goes last.
    int count = static_cast<int>(FRows.size());
    int at = GetBookmarkFlag(record) == bfEOF || FCursor >= count ? count : std::max(FCursor, 0);
    FRows.insert(FRows.begin() + at, std::move(added));
    FCursor = at;
  } else {
    FRows[static_cast<size_t>(FCursor)].Data = std::move(data);
  }
  Row& row = FRows[static_cast<size_t>(FCursor)];
  for (auto& [fieldNo, value] : FPendingBlobs) row.Blobs[fieldNo] = value;
  FPendingBlobs.clear();
}

void TArrayDataSet::InternalDelete() { FRows.erase(FRows.begin() + FCursor); }

void TArrayDataSet::DoOnNewRecord() {
  if (FMasterLink.Active() && !FMasterLink.Fields().empty()) {
    std::vector<TField*> detail;
    GetFieldList(detail, FDetailFields);
    for (size_t i = 0; i < detail.size() && i < FMasterLink.Fields().size(); ++i)
      detail[i]->SetValue(FMasterLink.Fields()[i]->Value());
  }
  TDataSet::DoOnNewRecord();
}

TUpdateStatus TArrayDataSet::UpdateStatus() const {
  return State() == dsInsert               ? usInserted
         : State() == dsEdit && Modified() ? usModified
                                           : usUnmodified;
}

// ---- Counting, numbering, bookmarks ------------------------------------------------------------

int TArrayDataSet::GetRecordCount() {
  int count = 0;
  for (int i = 0; i < static_cast<int>(FRows.size()); ++i)
    if (Accept(i)) ++count;
  return count;
}

int TArrayDataSet::GetRecNo() const {
  if (!Active() || IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return -1;
  int row = IndexOfId(HeaderOf(ActiveBuffer()).Id);
  int number = 0;
  for (int i = 0; i <= row; ++i)
    if (const_cast<TArrayDataSet*>(this)->Accept(i)) ++number;
  return number;
}

void TArrayDataSet::SetRecNo(int Value) {
  int current = GetRecNo();
  if (current > 0 && Value != current) MoveBy(Value - current);
}

bool TArrayDataSet::IsSequenced() const {
  return !(Filtered() && OnFilterRecord()) && !FMasterLink.Active();
}

void TArrayDataSet::SetFiltered(bool Value) {
  TDataSet::SetFiltered(Value);
  if (Active()) First();
}

void TArrayDataSet::SetOnFilterRecord(const TFilterRecordEvent& Value) {
  TDataSet::SetOnFilterRecord(Value);
  if (Active() && Filtered()) First();
}

bool TArrayDataSet::BookmarkValid(const TBookmark& Bookmark) const {
  if (Bookmark.size() != sizeof(int32_t)) return false;
  int32_t id;
  std::memcpy(&id, Bookmark.data(), sizeof id);
  return IndexOfId(id) >= 0;
}

int TArrayDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) const {
  auto position = [this](const TBookmark& b) {
    if (b.size() != sizeof(int32_t)) return -1;
    int32_t id;
    std::memcpy(&id, b.data(), sizeof id);
    return IndexOfId(id);
  };
  int a = position(Bookmark1), b = position(Bookmark2);
  return a < b ? -1 : a > b ? 1 : 0;
}

void AppendValues(TDataSet* DataSet, std::initializer_list<Variant> Values) {
  DataSet->Append();
  int i = 0;
  for (const Variant& value : Values) DataSet->Fields()->Fields(i++)->SetValue(value);
  DataSet->Post();
}

TField* AddFieldObject(TDataSet* DataSet, const AnsiString& Name, TFieldType Type,
                       TFieldKind Kind) {
  TField* Field = DefaultFieldClass(Type)(DataSet);
  Field->SetFieldName(Name);
  Field->SetFieldKind(Kind);
  if (Type == ftString) Field->SetSize(20);
  Field->SetDataSet(DataSet);
  return Field;
}

TField* AddLookupField(TDataSet* DataSet, const AnsiString& Name, TDataSet* List,
                       const AnsiString& KeyFields, const AnsiString& LookupKeyFields,
                       const AnsiString& ResultField) {
  TField* Field = AddFieldObject(DataSet, Name, ftString, fkLookup);
  Field->SetLookupDataSet(List);
  Field->SetKeyFields(KeyFields);
  Field->SetLookupKeyFields(LookupKeyFields);
  Field->SetLookupResultField(ResultField);
  return Field;
}
