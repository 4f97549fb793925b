#include "Masksss.h"

#include "rtl/AnsiText.h"

char LikeAnyRunChar = '%';
char LikeOneChar = '_';

namespace {

// Pattern characters [from, from+count) against value characters from at.
bool SameAt(const AnsiString& s, size_t at, const AnsiString& p, size_t from, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (p[from + i] != LikeOneChar && p[from + i] != s[at + i]) return false;
  return true;
}

}  // namespace

bool MatchesLike(const AnsiString& Value, const AnsiString& Pattern) {
  const AnsiString s = AnsiUpperCase(Value);
  const AnsiString p = AnsiUpperCase(Pattern);
  const size_t n = p.size();
  const size_t a = p.find(LikeAnyRunChar);  // 0-based here
  if (a == AnsiString::npos) return s.size() == n && SameAt(s, 0, p, 0, n);
  if (n == 1) return true;
  if (a == n - 1) return s.size() >= a && SameAt(s, 0, p, 0, a);

  if (a > s.size() || !SameAt(s, 0, p, 0, a)) return false;
  size_t cursor = a;
  size_t rest = s.size() - a;
  size_t j = a;
  for (;;) {
    while (j < n && p[j] == LikeAnyRunChar) ++j;
    size_t next = p.find(LikeAnyRunChar, j);
    if (next == AnsiString::npos) break;
    size_t m = next - j;
    for (;;) {
      if (m > rest) return false;
      if (SameAt(s, cursor, p, j, m)) break;
      ++cursor;
      --rest;
    }
    cursor += m;
    rest -= m;
    j = next;
  }
  size_t t = n - j;
  if (t > rest) return false;
  return SameAt(s, s.size() - t, p, j, t);
}
