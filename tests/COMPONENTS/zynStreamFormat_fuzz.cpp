// libFuzzer target: any bytes as a table's binary stream, into a table that
// takes its fields from the stream and into one with fields of its own. A
// stream that loads must save, and what was saved must load and save again
// to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "zynStreamFormat.h"
#include "zynTestTable.h"

namespace {

TBytes Save(TzynTestTable& Table) {
  TzynBinaryStreamFormat format(nullptr);
  format.Flags.Include(sfSaveDeltas).Include(sfLoadDeltas);
  TBytesStream stream;
  format.SaveToStream(&Table, &stream);
  return stream.Bytes();
}

bool Load(TzynTestTable& Table, const TBytes& Data) {
  TzynBinaryStreamFormat format(nullptr);
  format.Flags.Include(sfSaveDeltas).Include(sfLoadDeltas);
  TBytesStream stream(Data);
  try {
    format.LoadFromStream(&Table, &stream);
  } catch (const Exception&) {
    return false;
  }
  return Table.Active();
}

void CheckStable(TzynTestTable& Loaded) {
  TBytes first = Save(Loaded);
  TzynTestTable again;
  if (!Load(again, first)) std::abort();
  if (Save(again) != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TBytes bytes(Data, Data + Size);
  {
    TzynTestTable table;
    if (Load(table, bytes)) CheckStable(table);
  }
  {
    TzynTestTable table;
    table.FieldDefs()->Add("ID", ftInteger);
    table.FieldDefs()->Add("NAME", ftString, 8);
    table.FieldDefs()->Add("M", ftMemo);
    table.FieldDefs()->Add("D", ftDate);
    table.Common->Performance = mtpfBalanced;
    table.Open();
    if (Load(table, bytes)) CheckStable(table);
  }
  return 0;
}
