// Writes the typed table, with older versions, as a binary stream file and
// lists what the engine reads back from it, record by record, version by
// version, for the independent reader (memtable_reader.py) to compare.
#include <cstdio>
#include <cstring>

#include "zynCommon.h"
#include "zynStreamFormat.h"
#include "zynTypedTable.h"

namespace {

std::string Hex(const uint8_t* Data, size_t Length) {
  std::string text;
  char digits[3];
  for (size_t i = 0; i < Length; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", Data[i]);
    text += digits;
  }
  return text;
}

std::string Number(double Value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", Value);
  return text;
}

std::string ValueText(TField* Field, const TzynValue& V) {
  auto load = [&](auto sample) {
    decltype(sample) value;
    std::memcpy(&value, V.Data, sizeof value);
    return value;
  };
  switch (Field->DataType()) {
    case ftSmallint:
      return std::to_string(load(int16_t{}));
    case ftWord:
      return std::to_string(load(uint16_t{}));
    case ftInteger:
    case ftAutoInc:
      return std::to_string(load(int32_t{}));
    case ftBoolean:
      return load(int16_t{}) ? "1" : "0";
    case ftLargeint:
      return std::to_string(load(int64_t{}));
    case ftFloat:
      return Number(load(double{}));
    case ftDate:
    case ftTime:
    case ftDateTime:
      return Number(NativeToDateTime(Field->DataType(), V.Data));
    case ftCurrency:
      return std::to_string(Currency(load(double{})).Scaled);
    case ftBCD: {
      Currency amount;
      BCDToCurr(load(TBcd{}), amount);
      return std::to_string(amount.Scaled);
    }
    case ftVarBytes:
      return Hex(V.Data + 2, load(uint16_t{}));
    case ftString:
    case ftFixedChar:
    case ftGuid:
      return Hex(V.Data, strnlen(reinterpret_cast<const char*>(V.Data), static_cast<size_t>(V.Length)));
    default:
      return Hex(V.Data, static_cast<size_t>(V.Length));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <stream file>\n", argv[0]);
    return 2;
  }
  try {
    TzynBinaryStreamFormat format(nullptr);
    format.Flags.Include(sfSaveDeltas).Include(sfLoadDeltas);
    {
      TzynTestTable table;
      FillTypedTable(table, mtpfFast);
      // The first record changed once: two versions.
      TzynCommon* common = table.Common;
      TzynRecord* old = common->Records(0);
      TzynRecord* newer = common->DuplicateRecord(old, true);
      old->Flag = 0;
      newer->PrevRecordVersion = old;
      newer->UpdateStatus = usModified;
      int32_t value = 424242;
      PutRecordValue(&table, newer, table.FieldByName("I"), &value, 4);
      common->ReplaceRecord(newer);
      common->RebuildIndexes();
      TFileStream file(argv[1], fmCreate);
      format.SaveToStream(&table, &file);
    }
    TzynTestTable table;
    TFileStream file(argv[1], fmOpenRead);
    format.LoadFromStream(&table, &file);
    TzynCommon* common = table.Common;
    TzynValue value;
    for (int32_t slot = 0; slot < common->RecordCount(); ++slot) {
      std::printf("R\n");
      for (TzynRecord* version = common->Records(slot); version; version = version->PrevRecordVersion) {
        std::printf("V %d\n", version->UpdateStatus);
        for (int i = 0; i < table.FieldCount(); ++i) {
          TField* field = table.Fields()->Fields(i);
          bool has = GetRecordValue(&table, version, field, FieldDataOffset(common, field), value);
          std::printf("%s=%s\n", field->FieldName().c_str(), has ? ValueText(field, value).c_str() : "null");
        }
      }
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
