#include "COMPONENTS/kslib/PrnDbgksTotals.h"

void TPrintTotalKs::Add(const Variant& Value) {
  if (FOverflow) return;
  try {
    const Currency Term = Value.AsCurrency();
    FOverflow = __builtin_add_overflow(FValue.Scaled, Term.Scaled, &FValue.Scaled);
  } catch (EMathError&) {  // infinite or not a number
    FOverflow = true;
  } catch (EVariantError&) {  // out of range
    FOverflow = true;
  }
}

namespace {

bool IsIntegerField(TField* Field) {
  return dynamic_cast<TIntegerField*>(Field) || dynamic_cast<TLargeintField*>(Field);
}

AnsiString PlainSumText(Currency Sum, TField* Field) {
  const double Value = Sum.ToDouble();
  if (IsIntegerField(Field)) return IntToStr(Sum.Scaled / 10000);
  if (auto* Float = dynamic_cast<TFloatField*>(Field)) {
    return Float->IsCurrency()
               ? FloatToStrF(Value, ffCurrency, Float->Precision(), FormatSettings.CurrencyDecimals)
               : FloatToStrF(Value, ffGeneral, Float->Precision(), 0);
  }
  auto* Bcd = dynamic_cast<TBCDField*>(Field);
  return Bcd->IsCurrency() ? CurrToStrF(Sum, ffCurrency, FormatSettings.CurrencyDecimals)
                           : CurrToStr(Sum);
}

}  // namespace

AnsiString PrintedTotalText(const TPrintTotalKs& Total, TPrintTotalKindKs Kind,
                            const AnsiString& FooterFormat, TField* Field) {
  if (Total.Overflow()) return "";
  const double Value = Total.Value().ToDouble();
  if (Kind == ptkCount)
    return FooterFormat.empty() ? FloatToStr(Value) : FormatFloat(FooterFormat, Value);
  const bool Summable =
      IsIntegerField(Field) || dynamic_cast<TFloatField*>(Field) || dynamic_cast<TBCDField*>(Field);
  if (!Summable) return "";
  const AnsiString& Format =
      FooterFormat.empty() ? static_cast<TNumericField*>(Field)->DisplayFormat() : FooterFormat;
  return Format.empty() ? PlainSumText(Total.Value(), Field) : FormatCurr(Format, Total.Value());
}
