#include "common/qorStrings.h"

#include "rtl/Streams.h"

#include <vector>

void LoadFileAsString(const AnsiString& FileName, AnsiString& Text) {
  TFileStream stream(FileName, fmOpenRead);
  Text.resize(static_cast<size_t>(stream.Size()));
  stream.ReadBuffer(Text.data(), static_cast<int32_t>(Text.size()));
}

int PosFrom(const AnsiString& SubStr, const AnsiString& S, int Offset) {
  if (SubStr.empty() || S.empty() || Offset < 1) return 0;
  const size_t at = S.find(SubStr, static_cast<size_t>(Offset - 1));
  return at == AnsiString::npos ? 0 : static_cast<int>(at + 1);
}

void FastReplace(const AnsiString& S, const AnsiString& OldText, const AnsiString& NewText,
                 AnsiString& Result) {
  std::vector<size_t> hits;
  for (int p = PosFrom(OldText, S, 1); p != 0;
       p = PosFrom(OldText, S, p + static_cast<int>(OldText.size())))
    hits.push_back(static_cast<size_t>(p - 1));
  if (hits.empty()) {
    Result = S;
    return;
  }
  // One allocation of the final size, each piece moved once.
  AnsiString out;
  out.reserve(S.size() - hits.size() * OldText.size() + hits.size() * NewText.size());
  size_t from = 0;
  for (size_t hit : hits) {
    out.append(S, from, hit - from);
    out += NewText;
    from = hit + OldText.size();
  }
  out.append(S, from);
  Result = std::move(out);
}
