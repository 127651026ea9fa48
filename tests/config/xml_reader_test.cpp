#include "config/xml_reader.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "support/temp_folder.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// Time bounds are for optimised builds; sanitized and debug builds get more.
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr int kSlowdown = 1;
#else
constexpr int kSlowdown = 30;
#endif

// Converts UTF-8 to another charset with iconv (test data only).
std::string FromUtf8(const std::string& utf8, const char* charset) {
  iconv_t cd = iconv_open(charset, "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << charset;
  std::string out(utf8.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* o = out.data();
  size_t outLeft = out.size();
  EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1)) << charset;
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

XmlDocument Parsed(const std::string& bytes) {
  XmlDocument doc;
  doc.LoadBytes(bytes);
  doc.Parse();
  return doc;
}

// Content of the first element named `name` anywhere in the document.
std::string AnyText(const XmlDocument& doc, std::string_view name) {
  for (uint32_t e = 1; e <= doc.ElementCount(); ++e) {
    if (doc.Name(e) == name) return doc.Content(e);
  }
  return "<none>";
}

std::string FirstChildText(XmlDocument& doc, std::string_view child) {
  doc.ResetPos();
  if (!doc.FindChildElem(child)) return "<none>";
  return doc.GetChildData();
}

const std::string kSample =
    "<config>\n  <tc_a>Grüße &amp; \xE2\x80\x9C"
    "Quotes\xE2\x80\x9D</tc_a>\n"
    "  <tc_b>\xF0\x9F\x98\x80 &#x1F600; 日本</tc_b>\n</config>\n";

TEST(XmlReaderTest, ByteOrderMarksAndWideEncodingsGiveTheSameDocument) {
  const XmlDocument plain = Parsed(kSample);
  ASSERT_EQ(plain.EncodingName(), "UTF-8");

  struct Case {
    std::string bytes;
    XmlEncoding encoding;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF" + kSample, XmlEncoding::Utf8},
      {"\xFF\xFE" + FromUtf8(kSample, "UTF-16LE"), XmlEncoding::Utf16LE},
      {"\xFE\xFF" + FromUtf8(kSample, "UTF-16BE"), XmlEncoding::Utf16BE},
      {FromUtf8(kSample, "UTF-16LE"), XmlEncoding::Utf16LE},  // no mark
      {FromUtf8(kSample, "UTF-16BE"), XmlEncoding::Utf16BE},
      {std::string("\xFF\xFE\0\0", 4) + FromUtf8(kSample, "UTF-32LE"), XmlEncoding::Other},
  };
  for (const Case& c : cases) {
    XmlDocument doc = Parsed(c.bytes);
    EXPECT_EQ(doc.Text(), plain.Text()) << doc.Result();
    EXPECT_EQ(doc.Encoding(), c.encoding) << doc.Result();
    EXPECT_EQ(FirstChildText(doc, "tc_b"), "\xF0\x9F\x98\x80 \xF0\x9F\x98\x80 日本");
  }
}

TEST(XmlReaderTest, Utf16FileFromDiskEqualsItsUtf8Twin) {
  const test::TempFolder tmp("xml");
  const fs::path dir = tmp.Root();
  {
    std::ofstream(dir / "a8.xml", std::ios::binary) << kSample;
    std::ofstream(dir / "a16.xml", std::ios::binary) << "\xFF\xFE" + FromUtf8(kSample, "UTF-16LE");
  }
  XmlDocument a, b;
  ASSERT_TRUE(a.Load((dir / "a8.xml").string()));
  ASSERT_TRUE(b.Load((dir / "a16.xml").string()));
  EXPECT_TRUE(a.Parse());
  EXPECT_TRUE(b.Parse());
  EXPECT_EQ(a.Text(), b.Text());
  EXPECT_EQ(FirstChildText(a, "tc_a"), FirstChildText(b, "tc_a"));
  EXPECT_EQ(FirstChildText(b, "tc_a"), "Grüße & \xE2\x80\x9CQuotes\xE2\x80\x9D");

  XmlDocument missing;
  EXPECT_FALSE(missing.Load((dir / "nothing.xml").string()));
  EXPECT_TRUE(missing.Text().empty());

  std::ofstream(dir / "empty.xml", std::ios::binary).flush();
  XmlDocument empty;
  EXPECT_TRUE(empty.Load((dir / "empty.xml").string()));
  EXPECT_EQ(empty.Result(), "0 length");
  EXPECT_FALSE(empty.Parse());
  EXPECT_EQ(empty.Error(), "Empty document");
}

TEST(XmlReaderTest, DeclaredEncodingsConvertThroughTheirCodePage) {
  struct Case {
    const char* declaration;
    std::string body;  // bytes in the declared encoding
    std::string expected;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "\x80 caf\xE9 \x93ok\x94",
       "€ café “ok”"},
      {"<?xml version='1.0' encoding='ISO-8859-1' ?>", "\xE9t\xE9 \xA7", "été §"},
      {"<?xml version=\"1.0\" encoding=\"Latin1\"?>", "na\xEFve", "naïve"},
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", "\x93\xFA\x96\x7B", "日本"},
      {"<?xml version=\"1.0\" encoding=\"gb2312\"?>", "\xD6\xD0\xCE\xC4", "中文"},
      {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?>", "\xED\xD9\xDB\xD8", "Мышь"},
      {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
       "</head></html>",
       "\xCC\xFB\xF8\xFC", "Мышь"},
      // Unknown names use the ANSI code page (Western European).
      {"<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?>", "\xE9", "é"},
  };
  for (const Case& c : cases) {
    XmlDocument doc = Parsed(std::string(c.declaration) + "<r><t>" + c.body + "</t></r>");
    EXPECT_EQ(AnyText(doc, "t"), c.expected) << c.declaration << " / " << doc.Result();
  }

  // Undeclared: valid UTF-8 is taken as UTF-8, anything else as the ANSI code
  // page instead of losing the characters.
  XmlDocument utf8 = Parsed("  <r><t>é</t></r>");
  EXPECT_EQ(FirstChildText(utf8, "t"), "é");
  EXPECT_NE(utf8.Result().find("(used UTF-8 detection)"), std::string::npos) << utf8.Result();
  XmlDocument ansi = Parsed(
      "<r><t>Gr\xFC\xDF"
      "e</t></r>");
  EXPECT_EQ(FirstChildText(ansi, "t"), "Grüße");
  // Declared UTF-8 with broken bytes: replacement characters, nothing lost
  // around them.
  XmlDocument broken = Parsed(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><r><t>a\xFF"
      "b</t></r>");
  EXPECT_EQ(FirstChildText(broken, "t"),
            "a\xEF\xBF\xBD"
            "b");
}

TEST(XmlReaderTest, CharsetTableKnowsTheUsualNamesAndIconvOpensThem) {
  EXPECT_EQ(CodePageOfCharset("x-mac-greek"), 10006);
  EXPECT_EQ(CodePageOfCharset("iso-8859-11"), 874);
  EXPECT_EQ(CodePageOfCharset("KS_C_5601"), 949);
  EXPECT_EQ(CodePageOfCharset("UTF-32"), 65005);
  EXPECT_EQ(CodePageOfCharset("Windows-1252"), 1252);
  EXPECT_EQ(CodePageOfCharset("SHIFT_JIS"), 932);
  EXPECT_EQ(CodePageOfCharset("big5"), 950);
  EXPECT_EQ(CodePageOfCharset("iso-8859-15"), 28605);
  EXPECT_EQ(CodePageOfCharset(""), 0);
  EXPECT_EQ(CodePageOfCharset("utf-8x"), 0);
  size_t withIconv = 0;
  for (int cp : KnownCodePages()) {
    const char* name = IconvNameOfCodePage(cp);
    if (name == nullptr) continue;
    ++withIconv;
    std::string out;
    EXPECT_TRUE(ConvertToUtf8("abc", name, out)) << cp << " " << name;
  }
  EXPECT_GT(withIconv, 300u);
  std::string out;
  EXPECT_FALSE(ConvertToUtf8("abc", "NO-SUCH-CHARSET", out));
  EXPECT_TRUE(out.empty());
}

TEST(XmlReaderTest, ReferencesDecode) {
  EXPECT_EQ(XmlEntityCount(), 253u);
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"&amp;", "&"},
      {"&#65;", "A"},
      {"&#x41;", "A"},
      {"&eacute;", "é"},
      {"&Eacute;", "É"},
      {"&oslash;&Oslash;", "øØ"},
      {"&apos;&quot;&lt;&gt;", "'\"<>"},
      {"&nbsp;", "\xC2\xA0"},
      {"&thetasym;&euro;&diams;&hArr;&harr;", "ϑ€♦⇔↔"},
      {"&#x1F600;", "\xF0\x9F\x98\x80"},
      {"&AMP;", "&"},  // only a case-insensitive match: taken
      {"&nosuch;", "&nosuch;"},
      {"&amp", "&amp"},
      {"&#65", "&#65"},
      {"&#;&#x;", "&#;&#x;"},
      {"&#0;", "&#0;"},
      {"&#xD800;", "&#xD800;"},
      {"&#x110000;", "&#x110000;"},
      {"&#99999999999999999999;", "&#99999999999999999999;"},
      {"&abcdefghij;", "&abcdefghij;"},  // names are at most 9 characters
      {"a & b &&amp;", "a & b &&"},
  };
  for (const Case& c : cases) {
    std::string out;
    XmlDecodeText(c.in, out);
    EXPECT_EQ(out, c.out) << c.in;
  }

  XmlDocument doc =
      Parsed("<r><t>x<![CDATA[&amp;<b>]]>y<!-- &amp; gone -->z<?pi?>&lt;<i a='1'>k</i></t></r>");
  EXPECT_EQ(FirstChildText(doc, "t"), "x&amp;<b>yz<<i a='1'>k</i>");
}

TEST(XmlReaderTest, ElementSearchMatchesWholeNamesInOrder) {
  XmlDocument doc = Parsed(
      "<config><tc_exit>Exit</tc_exit><tc_exit2>Two</tc_exit2><tc_exit a=\"1\">Again</tc_exit>"
      "<tc_empty/><tc_open[x]>b</tc_open[x]></config>");
  doc.ResetPos();
  EXPECT_FALSE(doc.FindChildElem("tc_exi"));
  doc.ResetPos();
  EXPECT_FALSE(doc.FindChildElem("TC_EXIT"));
  doc.ResetPos();
  ASSERT_TRUE(doc.FindChildElem("tc_exit"));
  EXPECT_EQ(doc.GetChildData(), "Exit");
  ASSERT_TRUE(doc.FindChildElem("tc_exit"));  // the next one after the current child
  EXPECT_EQ(doc.GetChildData(), "Again");
  EXPECT_FALSE(doc.FindChildElem("tc_exit"));
  EXPECT_EQ(doc.GetChildData(), "Again");  // a failed search keeps the position
  doc.ResetPos();
  ASSERT_TRUE(doc.FindChildElem("tc_empty"));
  EXPECT_EQ(doc.GetChildData(), "");
  doc.ResetPos();
  ASSERT_TRUE(doc.FindChildElem("tc_open"));  // "[" ends the name
  EXPECT_EQ(doc.GetChildData(), "b");
  doc.ResetPos();
  ASSERT_TRUE(doc.FindChildElem());
  EXPECT_EQ(doc.Name(doc.FirstChild(doc.FirstTopLevel())), "tc_exit");

  XmlDocument two = Parsed("<a><x>1</x></a><b><x>2</x></b>");
  EXPECT_EQ(two.Error(), "Root element has sibling");
  EXPECT_EQ(two.ElementCount(), 4u);
  two.ResetPos();
  ASSERT_TRUE(two.FindElem("b"));
  EXPECT_FALSE(two.FindElem("a"));  // only after the current element
  ASSERT_TRUE(two.FindChildElem("x"));
  EXPECT_EQ(two.GetChildData(), "2");
  two.ResetPos();
  ASSERT_TRUE(two.FindElem());
  EXPECT_EQ(two.GetData(), "<x>1</x>");
}

TEST(XmlReaderTest, ProblemsAreReportedAndParsingGoesOn) {
  struct Case {
    std::string text;
    std::string error;
    size_t elements;
  };
  const Case cases[] = {
      {"<r><a>1</a></r>", "", 2},
      {"", "Empty document", 0},
      {"just text", "No root element", 0},
      {"<r></x></r>", "No start tag for end tag 'x' at offset 3", 1},
      {"<r><a><b></a><c/></r>", "End tag 'a' at offset 9 does not match start tag 'b' at offset 6",
       4},
      {"<r><a>text</r>", "End tag 'r' at offset 10 does not match start tag 'a' at offset 3", 2},
      {"<r><a>open", "Element 'a' at offset 3 not ended", 2},
      {"<r><a", "Element tag unterminated at offset 3", 1},
      {"<r><a <b>x</b></r>", "Element tag unterminated at offset 3", 2},
      {"<r></a", "Element end tag unterminated at offset 3", 1},
      {"<r><!-- x", "Comment unterminated at offset 3", 1},
      {"<r><![CDATA[x", "CDATA Section unterminated at offset 3", 1},
      {"<r><?pi", "Processing instruction unterminated at offset 3", 1},
      {"<!DOCTYPE r [<!ENTITY e 'x'>", "Doctype unterminated at offset 0", 0},
      {"<r><!x", "! tag unterminated at offset 3", 1},
      {"<r>< a/><b/></r>", "Incorrect tag name character at offset 4", 2},
      {"<!DOCTYPE r [<!ENTITY e '>'>]><r a='>'/>", "", 1},
  };
  for (const Case& c : cases) {
    XmlDocument doc;
    doc.SetText(c.text);
    const bool ok = doc.Parse();
    EXPECT_EQ(doc.Error(), c.error) << c.text;
    EXPECT_EQ(ok, c.error.empty()) << c.text;
    EXPECT_EQ(doc.ElementCount(), c.elements) << c.text;
  }
  // An element left open keeps the rest of the document as its content.
  XmlDocument open;
  open.SetText("<config><tc_a>x</tc_a><tc_b>y");
  open.Parse();
  EXPECT_EQ(FirstChildText(open, "tc_a"), "x");
  EXPECT_EQ(FirstChildText(open, "tc_b"), "y");
}

TEST(XmlReaderTest, HostileDocumentsNeitherCrashNorHang) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();

  // Every prefix of a document.
  const std::string full =
      "<?xml version=\"1.0\"?><!DOCTYPE c><config a='x'><!-- c --><tc_a>&amp;&#65;"
      "<![CDATA[z]]></tc_a><tc_b/></config>";
  for (size_t n = 0; n <= full.size(); ++n) {
    XmlDocument doc = Parsed(full.substr(0, n));
    doc.ResetPos();
    doc.FindChildElem("tc_a");
    (void)doc.GetChildData();
  }

  // Binary garbage, with and without markup characters mixed in.
  std::mt19937 rng(12345);
  for (int round = 0; round < 4; ++round) {
    std::string bytes(1 << 20, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    if (round % 2) {
      for (size_t k = 0; k < bytes.size(); k += 7) bytes[k] = "<>/&;!?[]-'\""[rng() % 12];
    }
    if (round == 2) bytes.insert(0, "\xFF\xFE");
    XmlDocument doc = Parsed(bytes);
    for (uint32_t e = doc.FirstTopLevel(); e != 0; e = doc.NextSibling(e)) (void)doc.Content(e);
  }

  // A 100000-character line of text and a 100000-character name.
  const std::string longText(100000, 'x');
  XmlDocument line = Parsed("<config><tc_a>" + longText + "</tc_a></config>");
  EXPECT_EQ(FirstChildText(line, "tc_a"), longText);
  const std::string longName(100000, 'n');
  XmlDocument name = Parsed("<config><" + longName + ">v</" + longName + "></config>");
  EXPECT_EQ(FirstChildText(name, longName), "v");
  EXPECT_EQ(FirstChildText(name, longName.substr(0, 65535)), "<none>");

  // Deep nesting, closed and unclosed, and end tags that match nothing.
  std::string deep;
  for (int k = 0; k < 200000; ++k) deep += "<d>";
  XmlDocument unclosed = Parsed(deep);
  EXPECT_EQ(unclosed.ElementCount(), 200000u);
  std::string closed = deep;
  for (int k = 0; k < 200000; ++k) closed += "</d>";
  XmlDocument nested = Parsed(closed);
  EXPECT_TRUE(nested.Error().empty()) << nested.Error();
  std::string mismatched = deep;
  for (int k = 0; k < 200000; ++k) mismatched += "</x>";
  XmlDocument stray = Parsed(mismatched);
  EXPECT_EQ(stray.Error(), "No start tag for end tag 'x' at offset 600000");

  // More elements than the index takes.
  std::string many = "<r>";
  for (size_t k = 0; k < XmlDocument::kMaxElements + 10; ++k) many += "<e/>";
  XmlDocument big = Parsed(many + "</r>");
  EXPECT_EQ(big.ElementCount(), XmlDocument::kMaxElements);
  EXPECT_EQ(big.Error().rfind("Too many elements", 0), 0u) << big.Error();

  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20 * kSlowdown));
}

TEST(XmlReaderTest, FiftyMegabyteFileLoadsInLinearTime) {
  const test::TempFolder tmp("xml");
  const fs::path path = tmp.Path("big.xml");
  {
    std::ofstream out(path, std::ios::binary);
    out << "<config>";
    const std::string row = "<tc_x>&amp; text &#233; " + std::string(60, 'y') + "</tc_x>\n";
    for (size_t written = 0; written < 50u * 1024 * 1024; written += row.size()) out << row;
    out << "<tc_last>end</tc_last></config>";
  }
  const auto start = std::chrono::steady_clock::now();
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(path.string()));
  EXPECT_TRUE(doc.Parse()) << doc.Error();
  EXPECT_EQ(FirstChildText(doc, "tc_last"), "end");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(15 * kSlowdown));
}

}  // namespace
}  // namespace tolvane
