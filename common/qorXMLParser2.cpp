#include "common/qorXMLParser2.h"

#include "common/qorStrings.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

#include "common/uutf8.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

constexpr int kMaxScanSteps = 512000;
// Indentation stops growing here, so the text of a very deep tree stays
// proportional to its size.
constexpr int kMaxIndentDepth = 32;

// The references DecodeEntities knows, in the order it tries them.
struct TEntity {
  const char* text;
  char ch;
};
constexpr TEntity kEntities[] = {{"&apos;", '\''}, {"&quot;", '"'}, {"&#xA;", ' '},
                                 {"&amp;", '&'},   {"&lt;", '<'},   {"&gt;", '>'}};

// The entity starting at s[at] ('&'), or null.
const TEntity* EntityAt(const AnsiString& s, size_t at) {
  for (const TEntity& e : kEntities)
    if (s.compare(at, std::strlen(e.text), e.text) == 0) return &e;
  return nullptr;
}

// Single-byte encodings whose bytes we take as they are (our own writer
// declares ISO-8859-1); UTF-8 is converted.
constexpr const char* kByteEncodings[] = {"windows-1251", "cp1251", "ISO-8859-1", "us-ascii"};
constexpr const char* kUtf8Encodings[] = {"UTF-8", "utf8"};

template <size_t N>
bool NamedIn(const AnsiString& encoding, const char* const (&names)[N]) {
  return std::any_of(std::begin(names), std::end(names),
                     [&](const char* name) { return SameText(encoding, name); });
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool StartsAt(const AnsiString& s, int pos, const char* what) {
  return s.compare(static_cast<size_t>(pos - 1), std::strlen(what), what) == 0;
}

// A processing instruction whose target is "xml" in any case: an XML
// declaration, which only the very start of a document may hold.
bool DeclarationAt(const AnsiString& s, int pos) {
  if (!StartsAt(s, pos, "<?") || !SameText(Copy(s, pos + 2, 3), "xml")) return false;
  const size_t after = static_cast<size_t>(pos) + 4;
  return after >= s.size() || IsBlank(s[after]) || s[after] == '?';
}

// The part after the first ":" (the whole name without one).
AnsiString LocalName(const AnsiString& name) {
  const size_t colon = name.find(':');
  return colon == AnsiString::npos ? name : name.substr(colon + 1);
}

bool NameMatches(const TqorXMLNode2& node, const AnsiString& name, bool ignorePrefix) {
  return node.Name() == name || (ignorePrefix && LocalName(node.Name()) == LocalName(name));
}

// Keeps the references our reader decodes, so text read from a file is
// written back as it was; everything else that would break the markup is
// escaped.
void AppendEscaped(AnsiString& out, const AnsiString& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    switch (s[i]) {
      case '&':
        out += EntityAt(s, i) ? "&" : "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += s[i];
    }
  }
}

// A section cannot hold its own terminator; such text is escaped instead.
void AppendText(AnsiString& out, const TqorXMLNode2& node) {
  if (node.IsCData() && node.Text().find("]]>") == AnsiString::npos) {
    out += "<![CDATA[";
    out += node.Text();
    out += "]]>";
  } else {
    AppendEscaped(out, node.Text());
  }
}

void AppendIndent(AnsiString& out, int depth) {
  out.append(static_cast<size_t>(2 * std::min(depth, kMaxIndentDepth)), ' ');
}

// Writes the start of an element; true when its children and end tag are
// still to come.
bool OpenElement(AnsiString& out, const TqorXMLNode2& node, int depth) {
  AppendIndent(out, depth);
  out += '<';
  out += node.Name();
  const TqorXMLNodeList2& attributes = node.Attributes();
  for (int i = 0; i < attributes.Count(); ++i) {
    out += ' ';
    out += attributes.Attribute(i)->Name;
    out += "=\"";
    AppendEscaped(out, attributes.Attribute(i)->Value);
    out += '"';
  }
  if (node.Nodes().Count() > 0) {
    out += '>';
    AppendText(out, node);
    return true;
  }
  if (node.Text().empty()) {
    out += "/>";
  } else {
    out += '>';
    AppendText(out, node);
    out += "</" + node.Name() + ">";
  }
  return false;
}

[[noreturn]] void ParseError(const AnsiString& message) { throw Exception(message); }

}  // namespace

// ---- TqorXMLNodeList2 ----------------------------------------------------------

TqorXMLNode2* TqorXMLNodeList2::Node(int index) const {
  return static_cast<TqorXMLNode2*>(Items(index));
}

TqorXMLAttribute2* TqorXMLNodeList2::Attribute(int index) const {
  return static_cast<TqorXMLAttribute2*>(Items(index));
}

void TqorXMLNodeList2::ExtractAll(std::vector<TObject*>& items) {
  for (int i = 0; i < Count(); ++i) items.push_back(Items(i));
  SetOwnsObjects(false);
  Clear();
  SetOwnsObjects(true);
}

// ---- TqorXPathParserList2 ------------------------------------------------------

TqorXPathParserList2::~TqorXPathParserList2() { Clear(); }

void TqorXPathParserList2::PutObject(int index, TObject* object) {
  TObject* old = Objects(index);
  TStringList::PutObject(index, object);
  if (old != object) delete old;
}

void TqorXPathParserList2::Delete(int index) {
  TObject* old = Objects(index);
  TStringList::Delete(index);
  delete old;
}

void TqorXPathParserList2::Clear() {
  std::vector<TObject*> owned;
  for (int i = 0; i < Count(); ++i) owned.push_back(Objects(i));
  TStringList::Clear();
  for (TObject* object : owned) delete object;
}

// ---- TqorXMLNode2 ----------------------------------------------------------------

TqorXMLNode2::~TqorXMLNode2() { ClearNodes(); }

void TqorXMLNode2::ClearNodes() {
  std::vector<TObject*> pending;
  nodes_.ExtractAll(pending);
  while (!pending.empty()) {
    auto* node = static_cast<TqorXMLNode2*>(pending.back());
    pending.pop_back();
    node->nodes_.ExtractAll(pending);
    delete node;
  }
}

void TqorXMLNode2::SetName(const AnsiString& Value) {
  name_ = Value;
  const size_t colon = Value.find(':');
  prefix_ = colon == AnsiString::npos ? AnsiString() : Value.substr(0, colon);
}

void TqorXMLNode2::SetText(const AnsiString& Value) {
  text_ = Value;
  isCData_ = Value.find_first_of("<>") != AnsiString::npos;
}

TqorXMLNode2* TqorXMLNode2::FindNode(const AnsiString& Name, bool IgnorePrefix,
                                     bool Recursive) const {
  if (!Recursive) {
    for (int i = 0; i < nodes_.Count(); ++i)
      if (NameMatches(*nodes_.Node(i), Name, IgnorePrefix)) return nodes_.Node(i);
    return nullptr;
  }
  // Depth first in document order, with our own stack (the tree may be deep).
  std::vector<const TqorXMLNode2*> stack{this};
  while (!stack.empty()) {
    const TqorXMLNode2* node = stack.back();
    stack.pop_back();
    if (node != this && NameMatches(*node, Name, IgnorePrefix))
      return const_cast<TqorXMLNode2*>(node);
    for (int i = node->nodes_.Count() - 1; i >= 0; --i) stack.push_back(node->nodes_.Node(i));
  }
  return nullptr;
}

AnsiString TqorXMLNode2::GetChildText(const AnsiString& Name, bool IgnorePrefix) const {
  const TqorXMLNode2* node = FindNode(Name, IgnorePrefix, false);
  return node ? DecodeEntities(node->text_) : AnsiString();
}

AnsiString TqorXMLNode2::GetAttribute(int Index) const {
  if (Index < 0 || Index >= attributes_.Count()) return AnsiString();
  return DecodeEntities(attributes_.Attribute(Index)->Value);
}

AnsiString TqorXMLNode2::GetAttribute(const AnsiString& Name) const {
  for (int i = 0; i < attributes_.Count(); ++i)
    if (attributes_.Attribute(i)->Name == Name) return GetAttribute(i);
  return AnsiString();
}

void TqorXMLNode2::SetAttribute(int Index, const AnsiString& Value) {
  if (Index >= 0 && Index < attributes_.Count()) attributes_.Attribute(Index)->Value = Value;
}

void TqorXMLNode2::SetAttribute(const AnsiString& Name, const AnsiString& Value) {
  for (int i = 0; i < attributes_.Count(); ++i)
    if (attributes_.Attribute(i)->Name == Name) {
      attributes_.Attribute(i)->Value = Value;
      return;
    }
  auto* attribute = new TqorXMLAttribute2;
  attribute->Name = Name;
  attribute->Value = Value;
  attributes_.Add(attribute);
}

AnsiString TqorXMLNode2::DecodeEntities(const AnsiString& S) {
  if (S.find('&') == AnsiString::npos) return S;
  AnsiString out;
  out.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    const TEntity* entity = S[i] == '&' ? EntityAt(S, i) : nullptr;
    if (entity) {
      out += entity->ch;
      i += std::strlen(entity->text) - 1;
    } else {
      out += S[i];
    }
  }
  return out;
}

// ---- TqorXMLParser2 --------------------------------------------------------------

TqorXMLParser2::TqorXMLParser2() = default;

void TqorXMLParser2::LoadXML(const AnsiString& FileName) {
  AnsiString text;
  LoadFileAsString(FileName, text);
  SetSource(text);
}

void TqorXMLParser2::SetSource(const AnsiString& Value) {
  source_ = Value;
  Parse();
}

void TqorXMLParser2::Parse() {
  attributes_.Clear();
  ClearNodes();
  xpathParserList_.Clear();
  declaration_.attributes_.Clear();
  SetName("");
  SetText("");
  position_ = 1;
  lastError_.clear();
  try {
    const bool utf8Mark = source_.starts_with("\xEF\xBB\xBF");
    if (utf8Mark) source_.erase(0, 3);
    if (source_.starts_with("\xFF\xFE") || source_.starts_with("\xFE\xFF"))
      ParseError("Unsupported encoding UTF-16");
    // No text we read holds a NUL: these are the bytes of a wider encoding
    // that came without its mark.
    if (const size_t nul = source_.find('\0'); nul != AnsiString::npos) {
      position_ = static_cast<int>(nul) + 1;
      ParseError("Unsupported encoding: NUL bytes in the text");
    }
    if (!ReadDeclaration()) return;
    const AnsiString encoding = declaration_.GetAttribute("encoding");
    if (utf8Mark && !encoding.empty() && !NamedIn(encoding, kUtf8Encodings))
      ParseError("Encoding " + encoding + " contradicts the UTF-8 byte-order mark");
    if (utf8Mark || NamedIn(encoding, kUtf8Encodings)) {
      // Everything after this reads cp1251, as the rest of the program does.
      const AnsiString converted = Utf8ToAnsi(source_);
      if (converted.empty() && !source_.empty()) ParseError("Malformed UTF-8 text");
      source_ = converted;
      position_ = 1;
      ReadDeclaration();
      // What we hold, and would write back, is cp1251 now.
      if (!encoding.empty()) declaration_.SetAttribute("encoding", "windows-1251");
    } else if (!encoding.empty() && !NamedIn(encoding, kByteEncodings)) {
      ParseError("Unsupported encoding " + encoding);
    }
    ScanTags();
  } catch (const Exception& e) {
    lastError_ = e.Message() + " near " + Copy(source_, std::max(1, position_ - 20), 50) + "\r\n" +
                 "Error position=" + IntToStr(position_) + "\r\n" + GetXML();
  }
}

bool TqorXMLParser2::ReadDeclaration() {
  declaration_.attributes_.Clear();
  // Anywhere later the scan refuses it.
  if (!DeclarationAt(source_, 1)) return true;
  const int end = PosFrom("?>", source_, 1);
  if (end == 0) {
    lastError_ = "Missing ?> in xml declaration.";
    return false;
  }
  ParseAttributes(declaration_, Trim(Copy(source_, 7, end - 7)));
  position_ = end + 2;
  return true;
}

void TqorXMLParser2::ScanTags() {
  TqorXMLNode2* parent = nullptr;
  for (int steps = 1;; ++steps) {
    if (steps > kMaxScanSteps) {
      lastError_ = "recursive scan";
      return;
    }
    const int open = NextTag();
    // A ">" inside a quoted attribute value does not end the tag.
    bool inDouble = false, inSingle = false;
    int close = 0;
    for (int i = open + 1; i <= static_cast<int>(source_.size()) && close == 0; ++i) {
      const char c = source_[i - 1];
      if (c == '"' && !inSingle)
        inDouble = !inDouble;
      else if (c == '\'' && !inDouble)
        inSingle = !inSingle;
      else if (c == '>' && !inDouble && !inSingle)
        close = i;
    }
    if (close == 0) ParseError("Missing >");
    AnsiString tag = Trim(Copy(source_, open + 1, close - open - 1));
    position_ = close + 1;

    if (!tag.empty() && tag[0] == '/') {
      if (!parent) ParseError("Closing tag before the root element");
      // The closing tag's name is not checked.
      if (!parent->parent_) return;
      parent = parent->parent_;
      continue;
    }
    const bool empty = !tag.empty() && tag.back() == '/';
    if (empty) tag = Trim(tag.substr(0, tag.size() - 1));
    const auto nameEnd = std::find_if(tag.begin(), tag.end(), IsBlank);

    TqorXMLNode2* node = this;
    if (parent) {
      node = new TqorXMLNode2;
      node->owner_ = this;
      node->parent_ = parent;
      parent->nodes_.Add(node);
    }
    node->SetName(AnsiString(tag.begin(), nameEnd));
    const AnsiString attributes = Trim(AnsiString(nameEnd, tag.end()));
    if (!attributes.empty()) ParseAttributes(*node, attributes);

    if (!empty) {
      ReadText(*node);
      parent = node;
    } else if (!parent) {
      return;  // the root element was empty
    }
  }
}

int TqorXMLParser2::NextTag() {
  struct TSkip {
    const char* start;
    const char* end;
    const char* error;
  };
  static constexpr TSkip kSkips[] = {
      {"<!--", "-->", "Missing comment terminator -->"},
      {"<?", "?>", "Missing ?> in processing instruction"},
      {"<![CDATA[", "]]>", "Expected ]]> when parsing CDATA section"},
  };
  for (;;) {
    const int open = PosFrom("<", source_, position_);
    if (open == 0) ParseError("Missing <");
    if (DeclarationAt(source_, open)) {
      // A declaration after a comment or blanks would be read too late:
      // the bytes before it were taken in another encoding.
      position_ = open;
      ParseError("xml declaration not at the start of the document");
    }
    const TSkip* skip = nullptr;
    for (const TSkip& s : kSkips)
      if (StartsAt(source_, open, s.start)) skip = &s;
    if (skip) {
      const int end =
          PosFrom(skip->end, source_, open + static_cast<int>(std::strlen(skip->start)));
      if (end == 0) ParseError(skip->error);
      position_ = end + static_cast<int>(std::strlen(skip->end));
    } else if (StartsAt(source_, open, "<!DOCTYPE")) {
      // An internal subset in brackets may hold ">" of its own declarations.
      int depth = 0, end = 0;
      for (int i = open + 1; i <= static_cast<int>(source_.size()) && end == 0; ++i) {
        const char c = source_[i - 1];
        if (c == '[')
          ++depth;
        else if (c == ']')
          --depth;
        else if (c == '>' && depth <= 0)
          end = i;
      }
      if (end == 0) ParseError("Missing >");
      position_ = end + 1;
    } else {
      return open;
    }
  }
}

void TqorXMLParser2::ReadText(TqorXMLNode2& node) {
  const int open = PosFrom("<", source_, position_);
  if (open == 0) ParseError("Expected < when parsing text");
  if (StartsAt(source_, open, "<![CDATA[")) {
    const int end = PosFrom("]]>", source_, open + 9);
    if (end == 0) ParseError("Expected ]]> when parsing CDATA section");
    node.SetText(Trim(Copy(source_, open + 9, end - open - 9)));
    position_ = end + 3;
  } else {
    node.SetText(Trim(Copy(source_, position_, open - position_)));
  }
}

void TqorXMLParser2::ParseAttributes(TqorXMLNode2& node, const AnsiString& text) {
  // A repeated name replaces the value, as SetAttribute does; the index keeps
  // an element with very many attributes linear.
  TqorXMLNodeList2& attributes = node.attributes_;
  std::unordered_map<AnsiString, TqorXMLAttribute2*> byName;
  for (int i = 0; i < attributes.Count(); ++i)
    byName.emplace(attributes.Attribute(i)->Name, attributes.Attribute(i));
  const size_t size = text.size();
  size_t at = 0;
  for (;;) {
    while (at < size && IsBlank(text[at])) ++at;
    if (at == size) return;
    const size_t eq = text.find('=', at);
    if (eq == AnsiString::npos) ParseError("missing = when parsing attributes");
    size_t open = eq + 1;
    while (open < size && IsBlank(text[open])) ++open;
    if (open == size || (text[open] != '"' && text[open] != '\''))
      ParseError("missing value delimiter when parsing attributes");
    const char quote = text[open];
    const size_t close = text.find(quote, open + 1);
    if (close == AnsiString::npos)
      ParseError(AnsiString("Expected closing ") + quote + " when parsing attributes");
    const AnsiString name = Trim(text.substr(at, eq - at));
    AnsiString value = text.substr(open + 1, close - open - 1);
    auto [found, added] = byName.emplace(name, nullptr);
    if (added) {
      found->second = new TqorXMLAttribute2;
      found->second->Name = name;
      attributes.Add(found->second);
    }
    found->second->Value = std::move(value);
    at = close + 1;
  }
}

AnsiString TqorXMLParser2::GetXML() const {
  AnsiString out;
  out.reserve(65536);
  const AnsiString version = declaration_.GetAttribute("version");
  const AnsiString encoding = declaration_.GetAttribute("encoding");
  out += "<?xml version='";
  AppendEscaped(out, version.empty() ? AnsiString("1.0") : version);
  out += "' encoding='";
  AppendEscaped(out, encoding.empty() ? AnsiString("ISO-8859-1") : encoding);
  out += "' ?>\r\n";

  // Our own stack of open elements and the next child of each.
  struct TFrame {
    const TqorXMLNode2* node;
    int next;
  };
  std::vector<TFrame> open;
  if (OpenElement(out, *this, 0)) open.push_back({this, 0});
  while (!open.empty()) {
    TFrame& top = open.back();
    const int depth = static_cast<int>(open.size());
    if (top.next < top.node->Nodes().Count()) {
      const TqorXMLNode2* child = top.node->Nodes().Node(top.next++);
      out += "\r\n";
      if (OpenElement(out, *child, depth)) open.push_back({child, 0});
    } else {
      out += "\r\n";
      AppendIndent(out, depth - 1);
      out += "</" + top.node->Name() + ">";
      open.pop_back();
    }
  }
  return out;
}
