#include "common/qorXMLParser2.h"

#include "rtl/AnsiText.h"
#include "rtl/OsShim.h"
#include "rtl/Streams.h"
#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace {

// The tree in one line: name, attributes, "text" and children in braces.
AnsiString Dump(const TqorXMLNode2& node) {
  AnsiString s = node.Name();
  for (int i = 0; i < node.Attributes().Count(); ++i)
    s += " " + node.Attributes().Attribute(i)->Name + "=" + node.Attributes().Attribute(i)->Value;
  if (!node.Text().empty()) s += " \"" + node.Text() + "\"";
  if (node.Nodes().Count() > 0) {
    s += " {";
    for (int i = 0; i < node.Nodes().Count(); ++i)
      s += (i ? ", " : "") + Dump(*node.Nodes().Node(i));
    s += "}";
  }
  return s;
}

// The message part of LastError (before the context).
AnsiString ErrorMessage(const TqorXMLParser2& parser) {
  const int near = Pos(" near ", parser.LastError());
  return near ? Copy(parser.LastError(), 1, near - 1) : parser.LastError();
}

TEST(TqorXMLParser2, BuildsTheTreeOfWellFormedAndSloppyDocuments) {
  const struct {
    const char* xml;
    const char* tree;
  } cases[] = {
      {"<r/>", "r"},
      {"<r a='1' b=\"2\"></r>", "r a=1 b=2"},
      {"<?xml version=\"1.0\"?><r><a>x</a><b/></r>", "r {a \"x\", b}"},
      // ">" inside a quoted value does not end the tag; a quote of the other
      // kind is part of the value.
      {"<r a=\"x>y\" b='say \"hi\"'/>", "r a=x>y b=say \"hi\""},
      {"<r\n\ta = \"1\"\r\n\tb='2'>t</r>", "r a=1 b=2 \"t\""},
      // Text is trimmed and kept as written; text after a child is not read.
      {"<r>  before <a/> after </r>", "r \"before\" {a}"},
      {"<r><a>&amp;lt;</a></r>", "r {a \"&amp;lt;\"}"},
      {"<r><![CDATA[ a<b ]]></r>", "r \"a<b\""},
      // The closing tag's name is not checked.
      {"<r><a>1</b><c/></r>", "r {a \"1\", c}"},
      // Two comments in a row, processing instructions and a document type
      // before the root and among the children.
      {"<!-- one --><!-- two --><r><!--a--><!--b--><a/></r>", "r {a}"},
      {"<?xml version='1.0'?>\n<!DOCTYPE r [<!ELEMENT r (a)>]>\n<?pi x?><!--c--><r><?pi?><a/>"
       "<!--x--><!--y--><?pi?><b/></r>",
       "r {a, b}"},
      // Mixed content after a child is skipped, CDATA included.
      {"<r><a/><![CDATA[<b/>]]><c/></r>", "r {a, c}"},
      {"<p:r xmlns:p='u'><p:a/></p:r>", "p:r xmlns:p=u {p:a}"},
      // Targets that merely start with the declaration's letters.
      {"<?xml-stylesheet href='a'?><r><?xmlx?></r>", "r"},
      // Anything after the root element is ignored.
      {"<r/><s/>", "r"},
      {"<r></r><s/>", "r"},
  };
  for (const auto& c : cases) {
    TqorXMLParser2 parser;
    parser.SetSource(c.xml);
    EXPECT_EQ(parser.LastError(), "") << c.xml;
    EXPECT_EQ(Dump(parser), c.tree) << c.xml;
  }
}

TEST(TqorXMLParser2, ReportsMalformedInputInLastErrorWithoutRaising) {
  const struct {
    const char* xml;
    const char* message;
  } cases[] = {
      {"", "Missing <"},
      {"no tags", "Missing <"},
      {"<r><a/>", "Missing <"},
      {"<r", "Missing >"},
      {"<r a='>'", "Missing >"},
      {"<r>text", "Expected < when parsing text"},
      {"<r><![CDATA[x</r>", "Expected ]]> when parsing CDATA section"},
      {"<r><a/><![CDATA[x</r>", "Expected ]]> when parsing CDATA section"},
      {"<!-- x -- ><r/>", "Missing comment terminator -->"},
      {"<r><!-- a --><!-- b <a/></r>", "Missing comment terminator -->"},
      {"<r><?pi <a/></r>", "Missing ?> in processing instruction"},
      {"<!DOCTYPE r [<!ELEMENT r>", "Missing >"},
      {"<r a></r>", "missing = when parsing attributes"},
      {"<r a=1></r>", "missing value delimiter when parsing attributes"},
      {"<r a=></r>", "missing value delimiter when parsing attributes"},
      {"<r a'='></r>", "Expected closing ' when parsing attributes"},
      {"<?xml version=1.0?><r/>", "missing value delimiter when parsing attributes"},
      {"</r>", "Closing tag before the root element"},
      {"<!-- c --></r><r/>", "Closing tag before the root element"},
  };
  for (const auto& c : cases) {
    TqorXMLParser2 parser;
    EXPECT_NO_THROW(parser.SetSource(c.xml)) << c.xml;
    EXPECT_EQ(ErrorMessage(parser), c.message) << c.xml;
    EXPECT_NE(Pos(" near ", parser.LastError()), 0) << c.xml;
  }
}

TEST(TqorXMLParser2, ErrorTextNamesThePlaceAndShowsWhatWasBuilt) {
  TqorXMLParser2 parser;
  const AnsiString xml = "<root><first>1</first><second a='x'><!-- never closed <third/>";
  parser.SetSource(xml);
  // The comment begins at 37; the context starts 20 characters before.
  EXPECT_EQ(parser.LastError(),
            "Missing comment terminator --> near " + Copy(xml, 17, 50) +
                "\r\nError position=37\r\n"
                "<?xml version='1.0' encoding='ISO-8859-1' ?>\r\n"
                "<root>\r\n  <first>1</first>\r\n  <second a=\"x\"/>\r\n</root>");
  EXPECT_EQ(parser.Position(), 37);
  // The tree keeps what was built before the error.
  EXPECT_EQ(Dump(parser), "root {first \"1\", second a=x}");
}

TEST(TqorXMLParser2, UnterminatedDeclarationGivesItsOwnText) {
  TqorXMLParser2 parser;
  parser.SetSource("<?xml version='1.0'<r/>");
  EXPECT_EQ(parser.LastError(), "Missing ?> in xml declaration.");
}

TEST(TqorXMLParser2, StopsAfter512000Tags) {
  // <r>, n empty elements and </r>: n + 2 tags.
  auto document = [](int n) {
    AnsiString s = "<r>";
    for (int i = 0; i < n; ++i) s += "<a/>";
    return s + "</r>";
  };
  TqorXMLParser2 parser;
  parser.SetSource(document(511998));
  EXPECT_EQ(parser.LastError(), "");
  EXPECT_EQ(parser.Nodes().Count(), 511998);
  parser.SetSource(document(511999));
  EXPECT_EQ(parser.LastError(), "recursive scan");
}

TEST(TqorXMLParser2, DeepNestingNeitherOverflowsTheStackNorBlowsUpTheText) {
  const int depth = 100000;
  AnsiString xml;
  for (int i = 0; i < depth; ++i) xml += "<a>";
  xml += "<leaf>x</leaf>";
  for (int i = 0; i < depth; ++i) xml += "</a>";

  auto parser = std::make_unique<TqorXMLParser2>();
  parser->SetSource(xml);
  ASSERT_EQ(parser->LastError(), "");
  const TqorXMLNode2* leaf = parser->FindNode("leaf", false, true);
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->Text(), "x");
  int levels = 0;
  for (const TqorXMLNode2* n = leaf; n->Parent(); n = n->Parent()) ++levels;
  EXPECT_EQ(levels, depth);
  // Indentation stops growing, so the text stays linear in the tree's size.
  const AnsiString text = parser->GetXML();
  EXPECT_LT(text.size(), 200u * depth);
  EXPECT_NE(text.find("<leaf>x</leaf>"), AnsiString::npos);

  // Unclosed, the error text carries the partial document all the same.
  parser->SetSource(xml.substr(0, 3 * depth) + "<leaf>x</leaf>");
  EXPECT_EQ(ErrorMessage(*parser), "Missing <");
  parser.reset();  // frees 100,000 levels
}

TEST(TqorXMLParser2, ReadsUtf8AsCp1251AndRefusesEncodingsItCannotRead) {
  const AnsiString utf8Text = "\xD0\x9E\xD0\x9E\xD0\x9E \xC2\xAB\xD0\xAF\xC2\xBB";  // ООО «Я»
  const struct {
    AnsiString xml;
    const char* tree;
  } read[] = {
      {"<?xml version='1.0' encoding='UTF-8'?><r a='\xD0\xAF'>" + utf8Text + "</r>",
       "r a=Я \"ООО «Я»\""},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?><r>" + utf8Text + "</r>", "r \"ООО «Я»\""},
      {"\xEF\xBB\xBF<r>" + utf8Text + "</r>", "r \"ООО «Я»\""},
      {"\xEF\xBB\xBF<?xml version='1.0'?>\r\n<r>" + utf8Text + "</r>", "r \"ООО «Я»\""},
      // Single-byte documents are taken as they are.
      {"<?xml version='1.0' encoding='windows-1251'?><r>ООО</r>", "r \"ООО\""},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><r>ООО</r>", "r \"ООО\""},
      {"<r>ООО</r>", "r \"ООО\""},
  };
  for (const auto& c : read) {
    TqorXMLParser2 parser;
    parser.SetSource(c.xml);
    EXPECT_EQ(parser.LastError(), "") << c.xml;
    EXPECT_EQ(Dump(parser), c.tree) << c.xml;
    // Written back, the document says what it now is and reads the same.
    TqorXMLParser2 again;
    again.SetSource(parser.GetXML());
    EXPECT_EQ(Dump(again), c.tree) << c.xml;
    EXPECT_EQ(Pos("UTF-8", UpperCase(parser.GetXML())), 0) << c.xml;
  }

  const struct {
    AnsiString xml;
    const char* message;
  } refused[] = {
      {"<?xml version='1.0' encoding='KOI8-R'?><r>\xEF\xEF\xEF</r>", "Unsupported encoding KOI8-R"},
      {"<?xml version='1.0' encoding='UTF-16'?><r/>", "Unsupported encoding UTF-16"},
      {AnsiString("\xFF\xFE<\0r\0/\0>\0", 10), "Unsupported encoding UTF-16"},
      {"<?xml version='1.0' encoding='UTF-8'?><r>ООО</r>", "Malformed UTF-8 text"},
      {"<?xml version='1.0' encoding='UTF-8'?><r>\xC0\xAC</r>", "Malformed UTF-8 text"},
      {"\xEF\xBB\xBF<r>\xED\xA0\x80</r>", "Malformed UTF-8 text"},
      // Without a mark, UTF-16 shows as NUL bytes.
      {AnsiString("<\0r\0/\0>\0", 8), "Unsupported encoding: NUL bytes in the text"},
      {AnsiString("\0<\0r\0/\0>", 8), "Unsupported encoding: NUL bytes in the text"},
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='windows-1251'?><r/>",
       "Encoding windows-1251 contradicts the UTF-8 byte-order mark"},
  };
  for (const auto& c : refused) {
    TqorXMLParser2 parser;
    parser.SetSource(c.xml);
    EXPECT_EQ(ErrorMessage(parser), c.message) << c.xml;
    EXPECT_EQ(parser.Nodes().Count(), 0) << c.xml;
  }
}

TEST(TqorXMLParser2, OnlyTheVeryStartMayDeclareTheEncoding) {
  const char* misplaced[] = {
      // Read late, these would have taken KOI8-R or UTF-8 bytes as cp1251.
      "<!-- c --><?xml version='1.0' encoding='KOI8-R'?><r>\xEF\xEF\xEF</r>",
      "<!-- c --><?xml version='1.0' encoding='UTF-8'?><r/>",
      "<!-- c --><?xml version='1.0' encoding='windows-1251'?><r/>",
      " <?xml version='1.0'?><r/>",
      "\r\n<?xml version='1.0'?><r/>",
      "\xEF\xBB\xBF\n<?xml version='1.0'?><r/>",
      "<?pi?><?xml version='1.0'?><r/>",
      "<!DOCTYPE r><?xml version='1.0'?><r/>",
      "<?xml version='1.0'?><?xml version='1.0' encoding='KOI8-R'?><r/>",
      "<!--c--><?XML version='1.0'?><r/>",
      "<r><?xml version='1.0'?><a/></r>",
  };
  for (const char* xml : misplaced) {
    TqorXMLParser2 parser;
    parser.SetSource(xml);
    EXPECT_EQ(ErrorMessage(parser), "xml declaration not at the start of the document") << xml;
    EXPECT_EQ(parser.Nodes().Count(), 0) << xml;
  }
  TqorXMLParser2 parser;
  parser.SetSource("<!-- c --><?xml version='1.0' encoding='KOI8-R'?><r/>");
  EXPECT_NE(Pos("\r\nError position=11\r\n", parser.LastError()), 0) << parser.LastError();
}

// Each shape of about a megabyte, which used to take tens of seconds when
// attributes were checked pairwise, parses in a fraction of a second. The
// bound is loose so a sanitized build on a loaded two-core machine stays under
// it, while a quadratic parse stays far above it.
TEST(TqorXMLParser2, LargeDocumentsOfAnyShapeParseInLinearTime) {
  const int n = 80000;
  auto repeat = [](int count, const std::function<AnsiString(int)>& piece) {
    AnsiString s;
    for (int i = 0; i < count; ++i) s += piece(i);
    return s;
  };
  const struct {
    const char* shape;
    AnsiString xml;
    int children;
  } documents[] = {
      {"many attributes",
       "<r " + repeat(n, [](int i) { return "a" + IntToStr(i) + "='v' "; }) + "/>", 0},
      {"one attribute repeated", "<r " + repeat(n, [](int) { return AnsiString("a='v' "); }) + "/>",
       0},
      {"many elements", "<r>" + repeat(n, [](int) { return AnsiString("<e x='1'>t</e>"); }) + "</r>",
       n},
      {"many comments", "<r>" + repeat(n, [](int) { return AnsiString("<!-- c --><e/>"); }) + "</r>",
       n},
      {"long text", "<r>" + AnsiString(1 << 20, 'x') + "</r>", 0},
      {"long value", "<r a='" + AnsiString(1 << 20, 'x') + "'/>", 0},
  };
  for (const auto& d : documents) {
    SCOPED_TRACE(d.shape);
    TqorXMLParser2 parser;
    const auto started = std::chrono::steady_clock::now();
    parser.SetSource(d.xml);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(parser.LastError(), "");
    EXPECT_EQ(parser.Nodes().Count(), d.children);
  }
}

TEST(TqorXMLParser2, ReadsValuesWithEntitiesDecodedOnce) {
  TqorXMLParser2 parser;
  parser.SetSource(
      "<r a='&amp;lt;' b='&quot;q&quot;'><x>&amp;lt;b&amp;gt;</x><y>1 &lt; 2 &#xA;&amp; "
      "&apos;3&apos;</y><z>AT&amp;T &copy;</z></r>");
  ASSERT_EQ(parser.LastError(), "");
  EXPECT_EQ(parser.GetAttribute("a"), "&lt;");
  EXPECT_EQ(parser.GetAttribute(1), "\"q\"");
  EXPECT_EQ(parser.GetChildText("x", false), "&lt;b&gt;");
  EXPECT_EQ(parser.GetChildText("y", false), "1 < 2  & '3'");
  EXPECT_EQ(parser.GetChildText("z", false), "AT&T &copy;");
  EXPECT_EQ(parser.GetChildText("none", false), "");
  EXPECT_EQ(parser.GetAttribute("none"), "");
  EXPECT_EQ(parser.GetAttribute(2), "");
  EXPECT_EQ(parser.GetAttribute(-1), "");
}

TEST(TqorXMLParser2, DecodeEntitiesTakesEachReferenceOnce) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"&amp;lt;", "&lt;"},
      {"&amp;amp;", "&amp;"},
      {"&apos;&quot;&#xA;&amp;&lt;&gt;", "'\" &<>"},
      {"&#xa; &#65;", "&#xa; &#65;"},  // only the references we know
      {"a & b &", "a & b &"},
      {"&amp", "&amp"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TqorXMLNode2::DecodeEntities(c.in), c.out) << c.in;
}

TEST(TqorXMLParser2, WritesIndentedTextWithDeclarationDefaults) {
  TqorXMLParser2 parser;
  parser.SetSource(
      "<?xml version='1.1' encoding='windows-1251'?><r a='1'>top<b>t</b>lost<c/><d x='y'><e/></d>"
      "<f><![CDATA[1 < 2]]></f></r>");
  ASSERT_EQ(parser.LastError(), "");
  EXPECT_EQ(parser.GetXML(),
            "<?xml version='1.1' encoding='windows-1251' ?>\r\n"
            "<r a=\"1\">top\r\n"
            "  <b>t</b>\r\n"
            "  <c/>\r\n"
            "  <d x=\"y\">\r\n"
            "    <e/>\r\n"
            "  </d>\r\n"
            "  <f><![CDATA[1 < 2]]></f>\r\n"
            "</r>");

  parser.SetSource("<r/>");  // a later load forgets the old declaration
  EXPECT_EQ(parser.GetXML(), "<?xml version='1.0' encoding='ISO-8859-1' ?>\r\n<r/>");
}

TEST(TqorXMLParser2, WriterEscapesWhatWouldBreakTheMarkupAndReadsBackTheSame) {
  TqorXMLParser2 parser;
  parser.SetName("r");
  parser.SetAttribute("q", "say \"hi\" & 'bye' <now>");
  parser.SetText("Tom & Jerry's \"show\"");
  auto* child = new TqorXMLNode2;
  child->SetName("c");
  child->SetText("x ]]> y");  // holds ">", but a section could not hold it
  parser.Nodes().Add(child);
  EXPECT_EQ(parser.GetXML(),
            "<?xml version='1.0' encoding='ISO-8859-1' ?>\r\n"
            "<r q=\"say &quot;hi&quot; &amp; &apos;bye&apos; &lt;now&gt;\">"
            "Tom &amp; Jerry&apos;s &quot;show&quot;\r\n"
            "  <c>x ]]&gt; y</c>\r\n"
            "</r>");

  TqorXMLParser2 again;
  again.SetSource(parser.GetXML());
  ASSERT_EQ(again.LastError(), "");
  EXPECT_EQ(again.GetAttribute("q"), "say \"hi\" & 'bye' <now>");
  EXPECT_EQ(TqorXMLNode2::DecodeEntities(again.Text()), "Tom & Jerry's \"show\"");
  EXPECT_EQ(again.GetChildText("c", false), "x ]]> y");
}

TEST(TqorXMLParser2, ParsedReferencesAreWrittenBackUnchanged) {
  const AnsiString body = "<r a=\"&lt;&amp;&gt;\">AT&amp;T &lt;b&gt; &#xA;\r\n  <c/>\r\n</r>";
  TqorXMLParser2 parser;
  parser.SetSource(body);
  ASSERT_EQ(parser.LastError(), "");
  EXPECT_EQ(parser.GetXML(), "<?xml version='1.0' encoding='ISO-8859-1' ?>\r\n" + body);
}

TEST(TqorXMLNode2, FindsChildrenByNameWithOrWithoutPrefixAndInDepth) {
  TqorXMLParser2 parser;
  parser.SetSource(
      "<r><p:a n='1'><q:b n='2'><c n='3'/></q:b></p:a><b n='4'><c n='5'/></b><p:a n='6'/></r>");
  ASSERT_EQ(parser.LastError(), "");
  auto n = [](const TqorXMLNode2* node) { return node ? node->GetAttribute("n") : "null"; };
  EXPECT_EQ(n(parser.FindNode("p:a", false, false)), "1");
  EXPECT_EQ(n(parser.FindNode("a", false, false)), "null");
  EXPECT_EQ(n(parser.FindNode("x:a", true, false)), "1");
  EXPECT_EQ(n(parser.FindNode("b", false, false)), "4");
  EXPECT_EQ(n(parser.FindNode("b", true, false)), "4");
  // Depth first: the first child's descendants before the next child.
  EXPECT_EQ(n(parser.FindNode("b", true, true)), "2");
  EXPECT_EQ(n(parser.FindNode("c", false, true)), "3");
  EXPECT_EQ(n(parser.FindNode("q:b", false, true)), "2");
  EXPECT_EQ(n(parser.FindNode("r", false, true)), "null");  // not the node itself

  const TqorXMLNode2* b = parser.FindNode("q:b", false, true);
  EXPECT_EQ(b->Prefix(), "q");
  EXPECT_EQ(b->Parent()->Name(), "p:a");
  EXPECT_EQ(b->Owner(), &parser);
  EXPECT_EQ(parser.Parent(), nullptr);
}

TEST(TqorXMLNode2, SetsAttributesByPositionAndByName) {
  TqorXMLNode2 node;
  node.SetAttribute("a", "1");
  node.SetAttribute("b", "2");
  node.SetAttribute("a", "3");  // replaced in place
  node.SetAttribute(1, "4");
  node.SetAttribute(2, "ignored");
  node.SetAttribute(-1, "ignored");
  EXPECT_EQ(Dump(node), " a=3 b=4");

  node.SetName("x:y:z");
  EXPECT_EQ(node.Prefix(), "x");
  node.SetName("plain");
  EXPECT_EQ(node.Prefix(), "");
  node.SetText("a > b");
  EXPECT_TRUE(node.IsCData());
  node.SetText("a & b");
  EXPECT_FALSE(node.IsCData());
}

TEST(TqorXMLParser2, LoadsAFileAndRaisesOnlyForAMissingOne) {
  const AnsiString name = IncludeTrailingPathDelimiter(GetTempDir()) + "qorxml_test.xml";
  {
    TFileStream file(name, fmCreate);
    const AnsiString xml =
        "<?xml version='1.0' encoding='windows-1251'?>\r\n"
        "<template><subject>CN=Иванов, Иван,INN=007707083893</subject>"
        "<subjectAltName><businessCategory>Директор</businessCategory>"
        "</subjectAltName></template>";
    file.WriteBuffer(xml.data(), static_cast<int32_t>(xml.size()));
  }
  TqorXMLParser2 parser;
  parser.LoadXML(name);
  DeleteFile(name);
  EXPECT_EQ(parser.LastError(), "");
  EXPECT_EQ(parser.Declaration().GetAttribute("encoding"), "windows-1251");
  EXPECT_EQ(parser.GetChildText("subject", false), "CN=Иванов, Иван,INN=007707083893");
  EXPECT_EQ(
      parser.FindNode("subjectAltName", false, false)->GetChildText("businessCategory", false),
      "Директор");
  EXPECT_THROW(parser.LoadXML(name), EFOpenError);
}

// Notes its name in a log when it is freed.
class TNoted : public TObject {
 public:
  TNoted(std::vector<AnsiString>& log, AnsiString name) : log_(log), name_(std::move(name)) {}
  ~TNoted() override { log_.push_back(name_); }

 private:
  std::vector<AnsiString>& log_;
  AnsiString name_;
};

TEST(TqorXPathParserList2, FreesEachObjectOnceWhenItLeavesTheList) {
  std::vector<AnsiString> freed;
  {
    TqorXPathParserList2 list;
    for (const char* name : {"a", "b", "c", "d"}) list.AddObject(name, new TNoted(freed, name));
    list.Add("no object");

    list.Delete(1);
    EXPECT_EQ(freed, std::vector<AnsiString>{"b"});
    TObject* c = list.Objects(1);
    list.PutObject(1, c);  // the same object stays
    list.PutObject(2, new TNoted(freed, "d2"));
    EXPECT_EQ(freed, (std::vector<AnsiString>{"b", "d"}));
    list.Exchange(0, 1);  // moving lines frees nothing
    list.Delete(3);       // a line without an object
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Strings(0), "c");
  }
  // The rest went with the list.
  EXPECT_EQ(freed, (std::vector<AnsiString>{"b", "d", "c", "a", "d2"}));
}

TEST(TqorXPathParserList2, IsEmptiedByEveryLoadAndFreedWithTheParser) {
  std::vector<AnsiString> freed;
  {
    TqorXMLParser2 parser;
    parser.XPathParserList().AddObject("/a", new TNoted(freed, "first"));
    parser.SetSource("<a/>");
    EXPECT_EQ(parser.XPathParserList().Count(), 0);
    EXPECT_EQ(freed, std::vector<AnsiString>{"first"});
    // A load that fails empties it too.
    parser.XPathParserList().AddObject("/a", new TNoted(freed, "second"));
    parser.SetSource("<a><!-- open");
    EXPECT_NE(parser.LastError(), "");
    EXPECT_EQ(freed, (std::vector<AnsiString>{"first", "second"}));
    parser.XPathParserList().AddObject("/b", new TNoted(freed, "third"));
  }
  EXPECT_EQ(freed, (std::vector<AnsiString>{"first", "second", "third"}));
}

}  // namespace
