#include "tokenemu/EmuDer.h"

#include <cstdint>

TEmuBytes DerTlv(uint8_t tag, const TEmuBytes& content) {
  TEmuBytes out{tag};
  size_t size = content.size();
  if (size < 0x80) {
    out.push_back(static_cast<uint8_t>(size));
  } else {
    TEmuBytes length;
    for (size_t n = size; n; n >>= 8) length.insert(length.begin(), static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(0x80 | length.size()));
    out.insert(out.end(), length.begin(), length.end());
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

TEmuBytes DerConcat(std::initializer_list<TEmuBytes> parts) {
  TEmuBytes out;
  for (const TEmuBytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEmuBytes DerBitString(const TEmuBytes& bytes) {
  TEmuBytes content{0};
  content.insert(content.end(), bytes.begin(), bytes.end());
  return DerTlv(kDerBitString, content);
}

static void AppendBase128(uint64_t value, TEmuBytes& out) {
  TEmuBytes digits{static_cast<uint8_t>(value & 0x7F)};
  for (value >>= 7; value; value >>= 7)
    digits.insert(digits.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
  out.insert(out.end(), digits.begin(), digits.end());
}

bool DerOid(std::string_view dotted, TEmuBytes& oid) {
  std::vector<uint64_t> arcs;
  for (std::string_view part : EmuSplit(dotted, '.')) {
    if (part.empty() || part.size() > 18 || (part.size() > 1 && part[0] == '0')) return false;
    uint64_t arc = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return false;
      arc = arc * 10 + static_cast<uint64_t>(c - '0');
    }
    arcs.push_back(arc);
  }
  if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) return false;
  TEmuBytes content;
  AppendBase128(arcs[0] * 40 + arcs[1], content);
  for (size_t i = 2; i < arcs.size(); ++i) AppendBase128(arcs[i], content);
  oid = DerTlv(kDerOid, content);
  return true;
}
