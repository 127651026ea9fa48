// The named character entities of HTML 4.01 plus "apos", and the decoding of
// character and entity references.
#include <string>
#include <string_view>
#include <unordered_map>

#include "app/utf8.h"
#include "config/xml_reader.h"

namespace tolvane {
namespace {

struct Entity {
  const char* name;
  uint32_t codePoint;
};

constexpr Entity kEntities[] = {
    // Latin-1
    {"nbsp", 160},
    {"iexcl", 161},
    {"cent", 162},
    {"pound", 163},
    {"curren", 164},
    {"yen", 165},
    {"brvbar", 166},
    {"sect", 167},
    {"uml", 168},
    {"copy", 169},
    {"ordf", 170},
    {"laquo", 171},
    {"not", 172},
    {"shy", 173},
    {"reg", 174},
    {"macr", 175},
    {"deg", 176},
    {"plusmn", 177},
    {"sup2", 178},
    {"sup3", 179},
    {"acute", 180},
    {"micro", 181},
    {"para", 182},
    {"middot", 183},
    {"cedil", 184},
    {"sup1", 185},
    {"ordm", 186},
    {"raquo", 187},
    {"frac14", 188},
    {"frac12", 189},
    {"frac34", 190},
    {"iquest", 191},
    {"Agrave", 192},
    {"Aacute", 193},
    {"Acirc", 194},
    {"Atilde", 195},
    {"Auml", 196},
    {"Aring", 197},
    {"AElig", 198},
    {"Ccedil", 199},
    {"Egrave", 200},
    {"Eacute", 201},
    {"Ecirc", 202},
    {"Euml", 203},
    {"Igrave", 204},
    {"Iacute", 205},
    {"Icirc", 206},
    {"Iuml", 207},
    {"ETH", 208},
    {"Ntilde", 209},
    {"Ograve", 210},
    {"Oacute", 211},
    {"Ocirc", 212},
    {"Otilde", 213},
    {"Ouml", 214},
    {"times", 215},
    {"Oslash", 216},
    {"Ugrave", 217},
    {"Uacute", 218},
    {"Ucirc", 219},
    {"Uuml", 220},
    {"Yacute", 221},
    {"THORN", 222},
    {"szlig", 223},
    {"agrave", 224},
    {"aacute", 225},
    {"acirc", 226},
    {"atilde", 227},
    {"auml", 228},
    {"aring", 229},
    {"aelig", 230},
    {"ccedil", 231},
    {"egrave", 232},
    {"eacute", 233},
    {"ecirc", 234},
    {"euml", 235},
    {"igrave", 236},
    {"iacute", 237},
    {"icirc", 238},
    {"iuml", 239},
    {"eth", 240},
    {"ntilde", 241},
    {"ograve", 242},
    {"oacute", 243},
    {"ocirc", 244},
    {"otilde", 245},
    {"ouml", 246},
    {"divide", 247},
    {"oslash", 248},
    {"ugrave", 249},
    {"uacute", 250},
    {"ucirc", 251},
    {"uuml", 252},
    {"yacute", 253},
    {"thorn", 254},
    {"yuml", 255},
    // Symbols, mathematical symbols and Greek letters
    {"fnof", 402},
    {"Alpha", 913},
    {"Beta", 914},
    {"Gamma", 915},
    {"Delta", 916},
    {"Epsilon", 917},
    {"Zeta", 918},
    {"Eta", 919},
    {"Theta", 920},
    {"Iota", 921},
    {"Kappa", 922},
    {"Lambda", 923},
    {"Mu", 924},
    {"Nu", 925},
    {"Xi", 926},
    {"Omicron", 927},
    {"Pi", 928},
    {"Rho", 929},
    {"Sigma", 931},
    {"Tau", 932},
    {"Upsilon", 933},
    {"Phi", 934},
    {"Chi", 935},
    {"Psi", 936},
    {"Omega", 937},
    {"alpha", 945},
    {"beta", 946},
    {"gamma", 947},
    {"delta", 948},
    {"epsilon", 949},
    {"zeta", 950},
    {"eta", 951},
    {"theta", 952},
    {"iota", 953},
    {"kappa", 954},
    {"lambda", 955},
    {"mu", 956},
    {"nu", 957},
    {"xi", 958},
    {"omicron", 959},
    {"pi", 960},
    {"rho", 961},
    {"sigmaf", 962},
    {"sigma", 963},
    {"tau", 964},
    {"upsilon", 965},
    {"phi", 966},
    {"chi", 967},
    {"psi", 968},
    {"omega", 969},
    {"thetasym", 977},
    {"upsih", 978},
    {"piv", 982},
    {"bull", 8226},
    {"hellip", 8230},
    {"prime", 8242},
    {"Prime", 8243},
    {"oline", 8254},
    {"frasl", 8260},
    {"weierp", 8472},
    {"image", 8465},
    {"real", 8476},
    {"trade", 8482},
    {"alefsym", 8501},
    {"larr", 8592},
    {"uarr", 8593},
    {"rarr", 8594},
    {"darr", 8595},
    {"harr", 8596},
    {"crarr", 8629},
    {"lArr", 8656},
    {"uArr", 8657},
    {"rArr", 8658},
    {"dArr", 8659},
    {"hArr", 8660},
    {"forall", 8704},
    {"part", 8706},
    {"exist", 8707},
    {"empty", 8709},
    {"nabla", 8711},
    {"isin", 8712},
    {"notin", 8713},
    {"ni", 8715},
    {"prod", 8719},
    {"sum", 8721},
    {"minus", 8722},
    {"lowast", 8727},
    {"radic", 8730},
    {"prop", 8733},
    {"infin", 8734},
    {"ang", 8736},
    {"and", 8743},
    {"or", 8744},
    {"cap", 8745},
    {"cup", 8746},
    {"int", 8747},
    {"there4", 8756},
    {"sim", 8764},
    {"cong", 8773},
    {"asymp", 8776},
    {"ne", 8800},
    {"equiv", 8801},
    {"le", 8804},
    {"ge", 8805},
    {"sub", 8834},
    {"sup", 8835},
    {"nsub", 8836},
    {"sube", 8838},
    {"supe", 8839},
    {"oplus", 8853},
    {"otimes", 8855},
    {"perp", 8869},
    {"sdot", 8901},
    {"lceil", 8968},
    {"rceil", 8969},
    {"lfloor", 8970},
    {"rfloor", 8971},
    {"lang", 9001},
    {"rang", 9002},
    {"loz", 9674},
    {"spades", 9824},
    {"clubs", 9827},
    {"hearts", 9829},
    {"diams", 9830},
    // Markup-significant and internationalisation characters
    {"quot", 34},
    {"amp", 38},
    {"lt", 60},
    {"gt", 62},
    {"OElig", 338},
    {"oelig", 339},
    {"Scaron", 352},
    {"scaron", 353},
    {"Yuml", 376},
    {"circ", 710},
    {"tilde", 732},
    {"ensp", 8194},
    {"emsp", 8195},
    {"thinsp", 8201},
    {"zwnj", 8204},
    {"zwj", 8205},
    {"lrm", 8206},
    {"rlm", 8207},
    {"ndash", 8211},
    {"mdash", 8212},
    {"lsquo", 8216},
    {"rsquo", 8217},
    {"sbquo", 8218},
    {"ldquo", 8220},
    {"rdquo", 8221},
    {"bdquo", 8222},
    {"dagger", 8224},
    {"Dagger", 8225},
    {"permil", 8240},
    {"lsaquo", 8249},
    {"rsaquo", 8250},
    {"euro", 8364},
    // XML
    {"apos", 39},
};

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

struct EntityMaps {
  std::unordered_map<std::string_view, uint32_t> exact;
  std::unordered_map<std::string, uint32_t> folded;  // first entity of each folded name
  EntityMaps() {
    for (const Entity& e : kEntities) {
      exact.emplace(e.name, e.codePoint);
      folded.emplace(Lower(e.name), e.codePoint);
    }
  }
};

const EntityMaps& Maps() {
  static const EntityMaps maps;
  return maps;
}

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes the reference starting at text[i] == '&'. Returns the length of the
// reference and appends its character, or returns 0 when it is not one.
size_t DecodeReference(std::string_view text, size_t i, std::string& out) {
  size_t p = i + 1;
  const size_t n = text.size();
  if (p < n && text[p] == '#') {
    ++p;
    bool hex = p < n && (text[p] == 'x' || text[p] == 'X');
    if (hex) ++p;
    uint32_t value = 0;
    size_t digits = 0;
    while (p < n && digits < 16) {
      int d = hex ? HexValue(text[p]) : (text[p] >= '0' && text[p] <= '9' ? text[p] - '0' : -1);
      if (d < 0) break;
      if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      ++digits;
      ++p;
    }
    if (digits == 0 || p >= n || text[p] != ';') return 0;
    // Characters that cannot be in a text stay as written.
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    AppendUtf8(out, value);
    return p + 1 - i;
  }
  size_t start = p;
  while (p < n && p - start < 10 && IsAsciiAlnum(text[p])) ++p;
  size_t len = p - start;
  if (len == 0 || len > 9 || p >= n || text[p] != ';') return 0;
  uint32_t cp = XmlEntityCodePoint(text.substr(start, len));
  if (cp == 0) return 0;
  AppendUtf8(out, cp);
  return p + 1 - i;
}

}  // namespace

uint32_t XmlEntityCodePoint(std::string_view name) {
  const EntityMaps& maps = Maps();
  auto it = maps.exact.find(name);
  if (it != maps.exact.end()) return it->second;
  auto f = maps.folded.find(Lower(name));
  return f == maps.folded.end() ? 0 : f->second;
}

size_t XmlEntityCount() { return sizeof kEntities / sizeof kEntities[0]; }

void XmlDecodeText(std::string_view text, std::string& out) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(text.substr(i));
      return;
    }
    out.append(text.substr(i, amp - i));
    size_t used = DecodeReference(text, amp, out);
    if (used == 0) {
      out += '&';
      i = amp + 1;
    } else {
      i = amp + used;
    }
  }
}

}  // namespace tolvane
