#pragma once
// A small XML reader and writer for the requisite templates. A tag is what
// lies between "<" and ">", an element's text is only the text right after
// its start tag, and entities stay as written until a value is read.

#include "rtl/Classes.h"

class TqorXMLParser2;
class TqorXMLNode2;
class TqorXMLAttribute2;

// Frees every item when cleared or destroyed.
class TqorXMLNodeList2 : public TObjectList {
 public:
  TqorXMLNode2* Node(int index) const;
  TqorXMLAttribute2* Attribute(int index) const;
  // Moves the items to `items` without freeing them.
  void ExtractAll(std::vector<TObject*>& items);
};

// A string list that owns its objects: an object goes with its line, when
// the list is cleared or destroyed, and when another takes its place.
class TqorXPathParserList2 : public TStringList {
 public:
  TqorXPathParserList2() = default;
  ~TqorXPathParserList2() override;
  TqorXPathParserList2(const TqorXPathParserList2&) = delete;
  TqorXPathParserList2& operator=(const TqorXPathParserList2&) = delete;
  void PutObject(int index, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
};

class TqorXMLAttribute2 : public TObject {
 public:
  AnsiString Name;
  AnsiString Value;  // as written between the quotes
};

class TqorXMLNode2 : public TObject {
 public:
  TqorXMLNode2() = default;
  ~TqorXMLNode2() override;
  TqorXMLNode2(const TqorXMLNode2&) = delete;
  TqorXMLNode2& operator=(const TqorXMLNode2&) = delete;

  // The tag name as written; Prefix is the part before the first ":".
  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& Value);
  const AnsiString& Prefix() const { return prefix_; }
  // Trimmed, entities as written. Text holding "<" or ">" is written back
  // as a CDATA section.
  const AnsiString& Text() const { return text_; }
  void SetText(const AnsiString& Value);
  bool IsCData() const { return isCData_; }

  TqorXMLParser2* Owner() const { return owner_; }
  TqorXMLNode2* Parent() const { return parent_; }
  TqorXMLNodeList2& Nodes() { return nodes_; }
  const TqorXMLNodeList2& Nodes() const { return nodes_; }
  TqorXMLNodeList2& Attributes() { return attributes_; }
  const TqorXMLNodeList2& Attributes() const { return attributes_; }

  // The first child named Name (with IgnorePrefix, compared after the first
  // ":"); with Recursive, a child's descendants are searched before the next
  // child. Null when there is none.
  TqorXMLNode2* FindNode(const AnsiString& Name, bool IgnorePrefix, bool Recursive) const;
  // The child's text with entities decoded; "" without such a child.
  AnsiString GetChildText(const AnsiString& Name, bool IgnorePrefix) const;
  // By position or exact name, entities decoded; "" when absent.
  AnsiString GetAttribute(int Index) const;
  AnsiString GetAttribute(const AnsiString& Name) const;
  // By position (ignored when out of range), or by name (replaced or appended).
  void SetAttribute(int Index, const AnsiString& Value);
  void SetAttribute(const AnsiString& Name, const AnsiString& Value);

  // &apos; &quot; &#xA; &amp; &lt; &gt; in one pass: "&amp;lt;" gives "&lt;".
  static AnsiString DecodeEntities(const AnsiString& S);

 protected:
  // Frees the children (and theirs) without recursion, so a deep tree cannot
  // exhaust the stack.
  void ClearNodes();

 private:
  friend class TqorXMLParser2;

  AnsiString name_;
  AnsiString prefix_;
  AnsiString text_;
  bool isCData_ = false;
  TqorXMLParser2* owner_ = nullptr;
  TqorXMLNode2* parent_ = nullptr;
  TqorXMLNodeList2 nodes_;
  TqorXMLNodeList2 attributes_;
};

// After loading, the parser is the document's root element.
class TqorXMLParser2 : public TqorXMLNode2 {
 public:
  TqorXMLParser2();

  // Reads and parses the file. Malformed XML raises nothing: LastError then
  // holds the message, the place and what was built; a missing file raises
  // the file-open error. A document in UTF-8 (declared, or marked by its
  // byte-order mark) is read as cp1251; an encoding we cannot read, or
  // cannot tell, is an error. Only the very start of the document may
  // declare its encoding: a declaration anywhere else is an error.
  void LoadXML(const AnsiString& FileName);
  // Setting the source parses it, as LoadXML does.
  const AnsiString& Source() const { return source_; }
  void SetSource(const AnsiString& Value);
  // The 1-based place in Source the scan reached: where it stopped on an
  // error.
  int Position() const { return position_; }
  const AnsiString& LastError() const { return lastError_; }
  // The attributes of the XML declaration ("version", "encoding").
  TqorXMLNode2& Declaration() { return declaration_; }
  // Emptied at each load; the parser itself keeps nothing in it.
  TqorXPathParserList2& XPathParserList() { return xpathParserList_; }

  // The document as indented text with CR LF line ends. "&" not starting one
  // of the entities we read, "<", ">" and quotes are escaped.
  AnsiString GetXML() const;

 private:
  // Reads the XML declaration, when the document starts with one, into
  // Declaration and moves behind it; false (LastError set) when it is not
  // terminated.
  bool ReadDeclaration();
  void Parse();
  void ScanTags();
  // The position of the next "<" that opens an element or a closing tag,
  // past comments, processing instructions, document types and CDATA.
  int NextTag();
  void ReadText(TqorXMLNode2& node);
  void ParseAttributes(TqorXMLNode2& node, const AnsiString& text);

  AnsiString source_;
  int position_ = 1;
  AnsiString lastError_;
  TqorXMLNode2 declaration_;
  TqorXPathParserList2 xpathParserList_;
};
