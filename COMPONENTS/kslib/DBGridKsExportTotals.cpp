#include "DBGridKsExportTotals.h"

#include "rtl/SysUtils.h"

TExportFooterTotals::TExportFooterTotals(int FooterRows, int Columns)
    : FColumns(Columns), FTotals(static_cast<size_t>(FooterRows) * Columns) {}

void TExportFooterTotals::Add(int FooterRow, int Column, int64_t Scaled) {
  TTotal& total = FTotals[Column + FColumns * FooterRow];
  if (!total.Overflow) total.Overflow = __builtin_add_overflow(total.Scaled, Scaled, &total.Scaled);
}

void TExportFooterTotals::AddValue(int FooterRow, int Column, const Variant& Value) {
  try {
    Add(FooterRow, Column, Value.AsCurrency().Scaled);
  } catch (EMathError&) {  // out of range, or not finite
    FTotals[Column + FColumns * FooterRow].Overflow = true;
  } catch (EVariantError&) {  // out of range
    FTotals[Column + FColumns * FooterRow].Overflow = true;
  }
}

void TExportFooterTotals::AddOne(int FooterRow, int Column) { Add(FooterRow, Column, 10000); }

std::optional<int64_t> TExportFooterTotals::Scaled(int FooterRow, int Column) const {
  const TTotal& total = FTotals[Column + FColumns * FooterRow];
  if (total.Overflow) return std::nullopt;
  return total.Scaled;
}

AnsiString FooterCountText(int64_t Scaled) {
  return FloatToStr(Currency::FromScaled(Scaled).ToDouble());
}

AnsiString FooterSumText(TField* Field, int64_t Scaled) {
  const Currency total = Currency::FromScaled(Scaled);
  switch (Field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc: {
      const auto* numeric = static_cast<TNumericField*>(Field);
      if (!numeric->DisplayFormat().empty()) return FormatCurr(numeric->DisplayFormat(), total);
      return IntToStr(Scaled / 10000);
    }
    case ftFloat:
    case ftCurrency: {
      const auto* number = static_cast<TFloatField*>(Field);
      if (!number->DisplayFormat().empty()) return FormatCurr(number->DisplayFormat(), total);
      if (number->IsCurrency())
        return FloatToStrF(total.ToDouble(), ffCurrency, number->Precision(),
                           FormatSettings.CurrencyDecimals);
      return FloatToStrF(total.ToDouble(), ffGeneral, number->Precision(), 0);
    }
    case ftBCD: {
      const auto* number = static_cast<TBCDField*>(Field);
      if (!number->DisplayFormat().empty()) return FormatCurr(number->DisplayFormat(), total);
      if (number->IsCurrency())
        return CurrToStrF(total, ffCurrency, FormatSettings.CurrencyDecimals);
      return CurrToStr(total);
    }
    default:
      return "";
  }
}
