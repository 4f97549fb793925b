// libFuzzer target: any text through the XML parser, its readers and its
// writer. A document that parses, and whose names are names, must read back
// from what the writer wrote and be written the same again. (The parser
// takes anything between "<" and the first blank as a name, "< ?x>" too;
// written back, such a name changes what the tag is.)
#include "common/qorXMLParser2.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

bool IsName(const AnsiString& name) {
  if (name.empty()) return false;
  const auto first = static_cast<unsigned char>(name[0]);
  if (!(isalpha(first) || first == '_' || first == ':' || first >= 0x80)) return false;
  return name.find_first_of("\"'<>=/&") == AnsiString::npos;
}

bool NamesAreNames(const TqorXMLNode2& root) {
  std::vector<const TqorXMLNode2*> pending{&root};
  while (!pending.empty()) {
    const TqorXMLNode2* node = pending.back();
    pending.pop_back();
    if (!IsName(node->Name())) return false;
    for (int i = 0; i < node->Attributes().Count(); ++i)
      if (!IsName(node->Attributes().Attribute(i)->Name)) return false;
    for (int i = 0; i < node->Nodes().Count(); ++i) pending.push_back(node->Nodes().Node(i));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TqorXMLParser2 parser;
  parser.SetSource(AnsiString(reinterpret_cast<const char*>(data), size));
  parser.FindNode("subject", true, true);
  parser.GetChildText("subject", false);
  parser.GetAttribute(0);
  const AnsiString written = parser.GetXML();
  if (!parser.LastError().empty() || !NamesAreNames(parser)) return 0;

  TqorXMLParser2 again;
  again.SetSource(written);
  if (!again.LastError().empty() || again.GetXML() != written) std::abort();
  return 0;
}
