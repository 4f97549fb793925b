#include "COMPONENTS/kslib/DBGridKsInterceptors.h"

#include "COMPONENTS/kslib/DBGridKs.h"

void TColumnKsPropertyInterceptor::SetWidth(int Value) {
  auto* Column = dynamic_cast<TColumnKs*>(Target());
  if (!Column) return;
  TCustomDBGridKs* Grid = Column->GetGrid();
  if (Grid && Grid->AutoFitColWidths()) {
    Column->InitWidth = Value;
  } else {
    Column->SetWidth(Value);
  }
}

std::vector<TInterceptedPropertyKs> TColumnKsPropertyInterceptor::Properties() {
  return {{"Width", nullptr, [this](const Variant& V) { SetWidth(V.AsInteger()); }}};
}

AnsiString TColumnsKsPropertyInterceptor::ColumnsIndex() const {
  auto* Columns = dynamic_cast<TDBGridColumnsKs*>(Target());
  AnsiString Result;
  for (int I = 0; Columns && I < Columns->Count(); ++I)
    Result += "\"" + Columns->Items(I)->FieldName() + "\",";
  if (!Result.empty()) Result.pop_back();
  return Result;
}

void TColumnsKsPropertyInterceptor::SetColumnsIndex(const AnsiString& Value) {
  auto* Columns = dynamic_cast<TDBGridColumnsKs*>(Target());
  if (!Columns) return;
  TStringList Names;
  Names.SetCommaText(Value);
  Columns->BeginUpdate();
  for (int I = 0; I < Names.Count() && I < Columns->Count(); ++I) {
    for (int J = 0; J < Columns->Count(); ++J) {
      if (Columns->Items(J)->FieldName() != Names.Strings(I)) continue;
      Columns->Items(J)->SetIndex(I);
      break;
    }
  }
  Columns->EndUpdate();
}

std::vector<TInterceptedPropertyKs> TColumnsKsPropertyInterceptor::Properties() {
  return {{"ColumnsIndex", [this] { return Variant(ColumnsIndex()); },
           [this](const Variant& V) { SetColumnsIndex(V.AsString()); }}};
}
