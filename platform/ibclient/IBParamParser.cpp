#include "ibclient/IBParamParser.h"

#include "rtl/AnsiText.h"

namespace {

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$';
}

bool IsNameStart(char c) { return IsNameChar(c) && !(c >= '0' && c <= '9'); }

// Index just past the quoted run starting at `start` (the quote character
// doubled inside stays in the run).
size_t SkipQuoted(const AnsiString& s, size_t start) {
  const char quote = s[start];
  size_t i = start + 1;
  while (i < s.size()) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return i;
}

// A literal of the form q'<delimiter>...<closing delimiter>' starts at
// `start` (the q): brackets close with their pair, any other delimiter with
// itself. Index just past it, or 0 when no such literal starts there.
size_t SkipAlternativeQuoted(const AnsiString& s, size_t start) {
  if (start > 0 && IsNameChar(s[start - 1])) return 0;
  if (start + 2 >= s.size() || s[start + 1] != '\'' || s[start + 2] == ' ' || s[start + 2] == '\t' ||
      s[start + 2] == '\r' || s[start + 2] == '\n')
    return 0;
  const char open = s[start + 2];
  const char close = open == '(' ? ')' : open == '[' ? ']' : open == '{' ? '}' : open == '<' ? '>' : open;
  for (size_t i = start + 3; i + 1 < s.size(); ++i)
    if (s[i] == close && s[i + 1] == '\'') return i + 2;
  return s.size();
}

}  // namespace

TIBParsedSQL ParseParams(const AnsiString& SQL) {
  TIBParsedSQL result;
  const AnsiString& s = SQL;
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    size_t next = i + 1;
    if (c == '\'' || c == '"') {
      next = SkipQuoted(s, i);
    } else if (const size_t end = c == 'q' || c == 'Q' ? SkipAlternativeQuoted(s, i) : 0; end != 0) {
      next = end;
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      next = s.find('\n', i);
      if (next == AnsiString::npos) next = s.size();
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      next = s.find("*/", i + 2);
      next = next == AnsiString::npos ? s.size() : next + 2;
    } else if (c == '?') {
      result.Names.emplace_back();
    } else if (c == ':' && i + 1 < s.size() && s[i + 1] == '"') {
      next = SkipQuoted(s, i + 1);
      AnsiString name = s.substr(i + 2, next - i - 3);
      for (size_t q = name.find("\"\""); q != AnsiString::npos; q = name.find("\"\"", q + 1))
        name.erase(q, 1);
      result.Names.push_back(name);
      result.Text += '?';
      i = next;
      continue;
    } else if (c == ':' && i + 1 < s.size() && IsNameStart(s[i + 1])) {
      next = i + 1;
      while (next < s.size() && IsNameChar(s[next])) ++next;
      result.Names.push_back(UpperCase(s.substr(i + 1, next - i - 1)));
      result.Text += '?';
      i = next;
      continue;
    }
    result.Text.append(s, i, next - i);
    i = next;
  }
  return result;
}
