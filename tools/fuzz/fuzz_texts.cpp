// text.xml: the XML reader's parse, search and decoding, and the text table loader.
#include <cstdint>

#include "config/texts.h"
#include "config/xml_reader.h"
#include "fuzz_support.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::Scratch scratch;
  fuzz::QuietLog();
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  XmlDocument doc;
  doc.LoadBytes(bytes);
  doc.Parse();
  // Walk the whole element tree, bounded by the element count so a cycle shows as a hang.
  size_t visited = 0;
  std::vector<uint32_t> stack;
  for (uint32_t e = doc.FirstTopLevel(); e != 0; e = doc.NextSibling(e)) stack.push_back(e);
  while (!stack.empty() && visited <= doc.ElementCount()) {
    uint32_t e = stack.back();
    stack.pop_back();
    ++visited;
    doc.Name(e);
    doc.Content(e);
    doc.Parent(e);
    for (uint32_t c = doc.FirstChild(e); c != 0; c = doc.NextSibling(c)) stack.push_back(c);
  }
  if (visited > doc.ElementCount()) __builtin_trap();
  doc.ResetPos();
  while (doc.FindElem("config")) {
    while (doc.FindChildElem()) doc.GetChildData();
    doc.GetData();
  }
  std::string decoded;
  XmlDecodeText(bytes.substr(0, 4096), decoded);

  const auto path = scratch.Dir() / "text.xml";
  fuzz::Scratch::Write(path, bytes);
  TextTable table;
  table.Load(path.string());
  table.NonEmptyCount();
  for (const auto& id : TextIds()) table.Get(id);
  return 0;
}
