// Charset names, code pages and their iconv names, and the conversion to
// UTF-8 through iconv.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "config/xml_reader.h"

namespace tolvane {
namespace {

struct CharsetName {
  const char* name;
  int codePage;
};

// IANA charset names, Windows charset names and their common aliases, with
// the Windows code page each one stands for.
constexpr CharsetName kCharsets[] = {
    // Unicode
    {"utf-8", 65001},
    {"utf8", 65001},
    {"unicode-1-1-utf-8", 65001},
    {"unicode-2-0-utf-8", 65001},
    {"x-unicode20utf8", 65001},
    {"csutf8", 65001},
    {"utf-7", 65000},
    {"utf7", 65000},
    {"unicode-1-1-utf-7", 65000},
    {"csunicode11utf7", 65000},
    {"x-unicode20utf7", 65000},
    {"utf-16", 1200},
    {"utf16", 1200},
    {"utf-16le", 1200},
    {"unicode", 1200},
    {"ucs-2", 1200},
    {"iso-10646-ucs-2", 1200},
    {"csunicode", 1200},
    {"utf-16be", 1201},
    {"unicodefffe", 1201},
    {"unicode-fffe", 1201},
    {"utf-32", 65005},
    {"utf32", 65005},
    {"utf-32le", 12000},
    {"utf-32be", 12001},
    {"ucs-4", 65005},
    {"iso-10646-ucs-4", 65005},
    // ASCII
    {"us-ascii", 20127},
    {"ascii", 20127},
    {"us", 20127},
    {"ansi_x3.4-1968", 20127},
    {"ansi_x3.4-1986", 20127},
    {"iso-ir-6", 20127},
    {"iso_646.irv:1991", 20127},
    {"iso646-us", 20127},
    {"cp367", 20127},
    {"ibm367", 20127},
    {"csascii", 20127},
    // Windows ANSI code pages
    {"windows-874", 874},
    {"cp874", 874},
    {"dos-874", 874},
    {"tis-620", 874},
    {"iso-8859-11", 874},
    {"windows-1250", 1250},
    {"cp1250", 1250},
    {"x-cp1250", 1250},
    {"windows-1251", 1251},
    {"cp1251", 1251},
    {"x-cp1251", 1251},
    {"windows-1252", 1252},
    {"cp1252", 1252},
    {"x-ansi", 1252},
    {"windows-1253", 1253},
    {"cp1253", 1253},
    {"windows-1254", 1254},
    {"cp1254", 1254},
    {"windows-1255", 1255},
    {"cp1255", 1255},
    {"windows-1256", 1256},
    {"cp1256", 1256},
    {"cp-1256", 1256},
    {"windows-1257", 1257},
    {"cp1257", 1257},
    {"windows-1258", 1258},
    {"cp1258", 1258},
    // ISO 8859
    {"iso-8859-1", 28591},
    {"iso8859-1", 28591},
    {"iso_8859-1", 28591},
    {"iso_8859-1:1987", 28591},
    {"iso-ir-100", 28591},
    {"latin1", 28591},
    {"l1", 28591},
    {"cp819", 28591},
    {"ibm819", 28591},
    {"csisolatin1", 28591},
    {"iso-8859-2", 28592},
    {"iso8859-2", 28592},
    {"iso_8859-2", 28592},
    {"iso_8859-2:1987", 28592},
    {"iso-ir-101", 28592},
    {"latin2", 28592},
    {"l2", 28592},
    {"csisolatin2", 28592},
    {"iso-8859-3", 28593},
    {"iso8859-3", 28593},
    {"iso_8859-3", 28593},
    {"iso_8859-3:1988", 28593},
    {"iso-ir-109", 28593},
    {"latin3", 28593},
    {"l3", 28593},
    {"csisolatin3", 28593},
    {"iso-8859-4", 28594},
    {"iso8859-4", 28594},
    {"iso_8859-4", 28594},
    {"iso_8859-4:1988", 28594},
    {"iso-ir-110", 28594},
    {"latin4", 28594},
    {"l4", 28594},
    {"csisolatin4", 28594},
    {"iso-8859-5", 28595},
    {"iso8859-5", 28595},
    {"iso_8859-5", 28595},
    {"iso_8859-5:1988", 28595},
    {"iso-ir-144", 28595},
    {"cyrillic", 28595},
    {"csisolatincyrillic", 28595},
    {"iso-8859-6", 28596},
    {"iso8859-6", 28596},
    {"iso_8859-6", 28596},
    {"iso_8859-6:1987", 28596},
    {"iso-ir-127", 28596},
    {"ecma-114", 28596},
    {"arabic", 28596},
    {"csisolatinarabic", 28596},
    {"asmo-708", 708},
    {"iso-8859-7", 28597},
    {"iso8859-7", 28597},
    {"iso_8859-7", 28597},
    {"iso_8859-7:1987", 28597},
    {"iso-ir-126", 28597},
    {"ecma-118", 28597},
    {"elot_928", 28597},
    {"greek", 28597},
    {"greek8", 28597},
    {"csisolatingreek", 28597},
    {"iso-8859-8", 28598},
    {"iso8859-8", 28598},
    {"iso_8859-8", 28598},
    {"iso_8859-8:1988", 28598},
    {"iso-ir-138", 28598},
    {"hebrew", 28598},
    {"csisolatinhebrew", 28598},
    {"visual", 28598},
    {"iso-8859-8 visual", 28598},
    {"iso-8859-8-e", 28598},
    {"iso-8859-8-i", 38598},
    {"logical", 38598},
    {"iso-8859-9", 28599},
    {"iso8859-9", 28599},
    {"iso_8859-9", 28599},
    {"iso_8859-9:1989", 28599},
    {"iso-ir-148", 28599},
    {"latin5", 28599},
    {"l5", 28599},
    {"csisolatin5", 28599},
    {"iso-8859-13", 28603},
    {"iso8859-13", 28603},
    {"latin7", 28603},
    {"iso-8859-15", 28605},
    {"iso8859-15", 28605},
    {"iso_8859-15", 28605},
    {"latin-9", 28605},
    {"latin9", 28605},
    {"l9", 28605},
    {"csisolatin9", 28605},
    // DOS and IBM code pages
    {"ibm437", 437},
    {"cp437", 437},
    {"437", 437},
    {"cspc8codepage437", 437},
    {"dos-720", 720},
    {"ibm737", 737},
    {"cp737", 737},
    {"ibm775", 775},
    {"cp775", 775},
    {"cspc775baltic", 775},
    {"ibm850", 850},
    {"cp850", 850},
    {"850", 850},
    {"cspc850multilingual", 850},
    {"ibm852", 852},
    {"cp852", 852},
    {"852", 852},
    {"cspcp852", 852},
    {"ibm855", 855},
    {"cp855", 855},
    {"csibm855", 855},
    {"ibm857", 857},
    {"cp857", 857},
    {"csibm857", 857},
    {"ibm00858", 858},
    {"ibm858", 858},
    {"cp858", 858},
    {"ccsid00858", 858},
    {"cp00858", 858},
    {"ibm860", 860},
    {"cp860", 860},
    {"csibm860", 860},
    {"ibm861", 861},
    {"cp861", 861},
    {"cp-is", 861},
    {"csibm861", 861},
    {"dos-862", 862},
    {"ibm862", 862},
    {"cp862", 862},
    {"cspc862latinhebrew", 862},
    {"ibm863", 863},
    {"cp863", 863},
    {"csibm863", 863},
    {"ibm864", 864},
    {"cp864", 864},
    {"csibm864", 864},
    {"ibm865", 865},
    {"cp865", 865},
    {"csibm865", 865},
    {"cp866", 866},
    {"ibm866", 866},
    {"866", 866},
    {"csibm866", 866},
    {"ibm869", 869},
    {"cp869", 869},
    {"cp-gr", 869},
    {"csibm869", 869},
    {"ibm037", 37},
    {"cp037", 37},
    {"ebcdic-cp-us", 37},
    {"ebcdic-cp-ca", 37},
    {"ebcdic-cp-wt", 37},
    {"ebcdic-cp-nl", 37},
    {"csibm037", 37},
    {"ibm500", 500},
    {"cp500", 500},
    {"ebcdic-cp-be", 500},
    {"ebcdic-cp-ch", 500},
    {"csibm500", 500},
    {"ibm870", 870},
    {"cp870", 870},
    {"ebcdic-cp-roece", 870},
    {"ebcdic-cp-yu", 870},
    {"csibm870", 870},
    {"cp875", 875},
    {"ibm875", 875},
    {"ibm1026", 1026},
    {"cp1026", 1026},
    {"csibm1026", 1026},
    {"ibm01047", 1047},
    {"ibm1047", 1047},
    {"cp1047", 1047},
    {"ibm01140", 1140},
    {"ibm01141", 1141},
    {"ibm01142", 1142},
    {"ibm01143", 1143},
    {"ibm01144", 1144},
    {"ibm01145", 1145},
    {"ibm01146", 1146},
    {"ibm01147", 1147},
    {"ibm01148", 1148},
    {"ibm01149", 1149},
    {"ibm273", 20273},
    {"cp273", 20273},
    {"csibm273", 20273},
    {"ibm277", 20277},
    {"ebcdic-cp-dk", 20277},
    {"ebcdic-cp-no", 20277},
    {"csibm277", 20277},
    {"ibm278", 20278},
    {"cp278", 20278},
    {"ebcdic-cp-fi", 20278},
    {"ebcdic-cp-se", 20278},
    {"csibm278", 20278},
    {"ibm280", 20280},
    {"cp280", 20280},
    {"ebcdic-cp-it", 20280},
    {"csibm280", 20280},
    {"ibm284", 20284},
    {"cp284", 20284},
    {"ebcdic-cp-es", 20284},
    {"csibm284", 20284},
    {"ibm285", 20285},
    {"cp285", 20285},
    {"ebcdic-cp-gb", 20285},
    {"csibm285", 20285},
    {"ibm290", 20290},
    {"cp290", 20290},
    {"ebcdic-jp-kana", 20290},
    {"csibm290", 20290},
    {"ibm297", 20297},
    {"cp297", 20297},
    {"ebcdic-cp-fr", 20297},
    {"csibm297", 20297},
    {"ibm420", 20420},
    {"cp420", 20420},
    {"ebcdic-cp-ar1", 20420},
    {"csibm420", 20420},
    {"ibm423", 20423},
    {"cp423", 20423},
    {"ebcdic-cp-gr", 20423},
    {"csibm423", 20423},
    {"ibm424", 20424},
    {"cp424", 20424},
    {"ebcdic-cp-he", 20424},
    {"csibm424", 20424},
    {"x-ebcdic-koreanextended", 20833},
    {"ibm-thai", 20838},
    {"csibmthai", 20838},
    {"ibm871", 20871},
    {"cp871", 20871},
    {"ebcdic-cp-is", 20871},
    {"csibm871", 20871},
    {"ibm880", 20880},
    {"cp880", 20880},
    {"ebcdic-cyrillic", 20880},
    {"csibm880", 20880},
    {"ibm905", 20905},
    {"cp905", 20905},
    {"ebcdic-cp-tr", 20905},
    {"csibm905", 20905},
    {"ibm00924", 20924},
    {"ibm924", 20924},
    {"cp00924", 20924},
    {"ccsid00924", 20924},
    {"ebcdic-latin9--euro", 20924},
    {"cp1025", 21025},
    {"x-ebcdic-cyrillicserbianbulgarian", 21025},
    // Cyrillic
    {"koi8-r", 20866},
    {"koi8", 20866},
    {"koi", 20866},
    {"koi8r", 20866},
    {"cskoi8r", 20866},
    {"koi8-u", 21866},
    {"koi8-ru", 21866},
    {"koi8u", 21866},
    // Japanese
    {"shift_jis", 932},
    {"shift-jis", 932},
    {"sjis", 932},
    {"x-sjis", 932},
    {"ms_kanji", 932},
    {"csshiftjis", 932},
    {"cswindows31j", 932},
    {"windows-31j", 932},
    {"cp932", 932},
    {"x-ms-cp932", 932},
    {"euc-jp", 51932},
    {"eucjp", 51932},
    {"x-euc-jp", 51932},
    {"x-euc", 51932},
    {"cseucpkdfmtjapanese", 51932},
    {"extended_unix_code_packed_format_for_japanese", 51932},
    {"iso-2022-jp", 50220},
    {"csiso2022jp", 50221},
    {"_iso-2022-jp$sio", 50222},
    {"_iso-2022-jp", 50221},
    {"x-mac-japanese", 10001},
    // Chinese
    {"gb2312", 936},
    {"gb_2312-80", 936},
    {"gb231280", 936},
    {"gb_2312", 936},
    {"csgb2312", 936},
    {"csgb231280", 936},
    {"iso-ir-58", 936},
    {"chinese", 936},
    {"csiso58gb231280", 936},
    {"gbk", 936},
    {"cp936", 936},
    {"ms936", 936},
    {"windows-936", 936},
    {"x-gbk", 936},
    {"x-cp20936", 20936},
    {"euc-cn", 51936},
    {"x-euc-cn", 51936},
    {"gb18030", 54936},
    {"hz-gb-2312", 52936},
    {"big5", 950},
    {"big-5", 950},
    {"cn-big5", 950},
    {"csbig5", 950},
    {"x-x-big5", 950},
    {"cp950", 950},
    {"big5-hkscs", 950},
    {"x-chinese-cns", 20000},
    {"x-chinese_cns", 20000},
    {"euc-tw", 20000},
    {"x-chinese-eten", 20002},
    {"x-mac-chinesetrad", 10002},
    {"x-mac-chinesesimp", 10008},
    // Korean
    {"ks_c_5601-1987", 949},
    {"ks_c_5601", 949},
    {"ks_c_5601-1989", 949},
    {"ks_c_5601_1987", 949},
    {"ksc5601", 949},
    {"ksc_5601", 949},
    {"korean", 949},
    {"iso-ir-149", 949},
    {"csksc56011987", 949},
    {"cp949", 949},
    {"uhc", 949},
    {"windows-949", 949},
    {"euc-kr", 51949},
    {"euckr", 51949},
    {"cseuckr", 51949},
    {"iso-2022-kr", 50225},
    {"csiso2022kr", 50225},
    {"johab", 1361},
    {"x-mac-korean", 10003},
    // Macintosh
    {"macintosh", 10000},
    {"mac", 10000},
    {"csmacintosh", 10000},
    {"x-mac-roman", 10000},
    {"x-mac-arabic", 10004},
    {"x-mac-hebrew", 10005},
    {"x-mac-greek", 10006},
    {"x-mac-cyrillic", 10007},
    {"mac-cyrillic", 10007},
    {"x-mac-romanian", 10010},
    {"x-mac-ukrainian", 10017},
    {"x-mac-thai", 10021},
    {"x-mac-ce", 10029},
    {"x-mac-centraleurroman", 10029},
    {"x-mac-icelandic", 10079},
    {"x-mac-turkish", 10081},
    {"x-mac-croatian", 10082},
    // Other
    {"x-europa", 29001},
    {"x-ia5", 20105},
    {"x-ia5-german", 20106},
    {"x-ia5-swedish", 20107},
    {"x-ia5-norwegian", 20108},
    {"x-cp20001", 20001},
    {"x-cp20003", 20003},
    {"x-cp20004", 20004},
    {"x-cp20005", 20005},
    {"x-cp20261", 20261},
    {"x-cp20269", 20269},
    {"x-cp20949", 20949},
    {"x-cp50227", 50227},
    {"x-iscii-de", 57002},
    {"x-iscii-be", 57003},
    {"x-iscii-ta", 57004},
    {"x-iscii-te", 57005},
    {"x-iscii-as", 57006},
    {"x-iscii-or", 57007},
    {"x-iscii-ka", 57008},
    {"x-iscii-ma", 57009},
    {"x-iscii-gu", 57010},
    {"x-iscii-pa", 57011},
};

struct CodePageIconv {
  int codePage;
  const char* iconvName;  // nullptr: iconv has no such charset
};

constexpr CodePageIconv kCodePages[] = {
    {37, "IBM037"},          {437, "IBM437"},        {500, "IBM500"},
    {708, "ASMO-708"},       {720, nullptr},         {737, "CP737"},
    {775, "IBM775"},         {850, "IBM850"},        {852, "IBM852"},
    {855, "IBM855"},         {857, "IBM857"},        {858, "IBM858"},
    {860, "IBM860"},         {861, "IBM861"},        {862, "IBM862"},
    {863, "IBM863"},         {864, "IBM864"},        {865, "IBM865"},
    {866, "CP866"},          {869, "IBM869"},        {870, "IBM870"},
    {874, "CP874"},          {875, "IBM875"},        {932, "CP932"},
    {936, "CP936"},          {949, "CP949"},         {950, "BIG5-HKSCS"},
    {1026, "IBM1026"},       {1047, "IBM1047"},      {1140, "IBM1140"},
    {1141, "IBM1141"},       {1142, "IBM1142"},      {1143, "IBM1143"},
    {1144, "IBM1144"},       {1145, "IBM1145"},      {1146, "IBM1146"},
    {1147, "IBM1147"},       {1148, "IBM1148"},      {1149, "IBM1149"},
    {1200, "UTF-16LE"},      {1201, "UTF-16BE"},     {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},     {65005, "UTF-32"},      {65000, "UTF-7"},
    {65001, "UTF-8"},        {1250, "CP1250"},       {1251, "CP1251"},
    {1252, "CP1252"},        {1253, "CP1253"},       {1254, "CP1254"},
    {1255, "CP1255"},        {1256, "CP1256"},       {1257, "CP1257"},
    {1258, "CP1258"},        {1361, "JOHAB"},        {10000, "MACINTOSH"},
    {10001, "SHIFT_JIS"},    {10002, "BIG5"},        {10003, "EUC-KR"},
    {10004, nullptr},        {10005, nullptr},       {10006, nullptr},
    {10007, "MAC-CYRILLIC"}, {10008, "GB2312"},      {10010, nullptr},
    {10017, "MAC-UK"},       {10021, nullptr},       {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},       {10081, nullptr},       {10082, nullptr},
    {20000, "EUC-TW"},       {20001, nullptr},       {20002, nullptr},
    {20003, nullptr},        {20004, nullptr},       {20005, nullptr},
    {20105, "ISO646-US"},    {20106, "ISO646-DE"},   {20107, "ISO646-SE"},
    {20108, "ISO646-NO"},    {20127, "ASCII"},       {20261, nullptr},
    {20269, nullptr},        {20273, "IBM273"},      {20277, "IBM277"},
    {20278, "IBM278"},       {20280, "IBM280"},      {20284, "IBM284"},
    {20285, "IBM285"},       {20290, "IBM290"},      {20297, "IBM297"},
    {20420, "IBM420"},       {20423, "IBM423"},      {20424, "IBM424"},
    {20833, nullptr},        {20838, nullptr},       {20866, "KOI8-R"},
    {20871, "IBM871"},       {20880, "IBM880"},      {20905, "IBM905"},
    {20924, nullptr},        {20932, "EUC-JP"},      {20936, "GB2312"},
    {20949, nullptr},        {21025, "IBM1025"},     {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},   {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},   {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},   {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},  {28605, "ISO-8859-15"}, {29001, nullptr},
    {38598, "ISO-8859-8"},   {50220, "ISO-2022-JP"}, {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},  {50225, "ISO-2022-KR"}, {50227, "ISO-2022-CN"},
    {51932, "EUC-JP"},       {51936, "EUC-CN"},      {51949, "EUC-KR"},
    {52936, nullptr},        {54936, "GB18030"},     {57002, nullptr},
    {57003, nullptr},        {57004, nullptr},       {57005, nullptr},
    {57006, nullptr},        {57007, nullptr},       {57008, nullptr},
    {57009, nullptr},        {57010, nullptr},       {57011, nullptr},
};

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

void AppendReplacement(std::string& out) { out += "\xEF\xBF\xBD"; }

}  // namespace

int CodePageOfCharset(std::string_view name) {
  if (name.empty()) return 0;
  for (const CharsetName& c : kCharsets) {
    if (EqualsIgnoreAsciiCase(name, c.name)) return c.codePage;
  }
  return 0;
}

const char* IconvNameOfCodePage(int codePage) {
  for (const CodePageIconv& c : kCodePages) {
    if (c.codePage == codePage) return c.iconvName;
  }
  return nullptr;
}

std::vector<int> KnownCodePages() {
  std::vector<int> pages;
  for (const CharsetName& c : kCharsets) pages.push_back(c.codePage);
  return pages;
}

bool ConvertToUtf8(std::string_view in, const char* charset, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;

  // A sequence that does not convert is skipped one code unit at a time.
  size_t unit = 1;
  if (std::strstr(charset, "32") && (std::strncmp(charset, "UTF", 3) == 0)) {
    unit = 4;
  } else if (std::strstr(charset, "16") && (std::strncmp(charset, "UTF", 3) == 0)) {
    unit = 2;
  }

  out.reserve(out.size() + in.size() + in.size() / 2);
  char buf[65536];
  char* inp = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  while (inLeft > 0) {
    char* outp = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    int err = errno;
    out.append(buf, static_cast<size_t>(outp - buf));
    if (r != static_cast<size_t>(-1)) continue;
    if (err == E2BIG) continue;
    AppendReplacement(out);
    if (err == EILSEQ) {
      size_t skip = unit < inLeft ? unit : inLeft;
      inp += skip;
      inLeft -= skip;
    } else {
      break;  // EINVAL: the input ends inside a sequence
    }
  }
  char* outp = buf;
  size_t outLeft = sizeof buf;
  iconv(cd, nullptr, nullptr, &outp, &outLeft);  // end a stateful encoding
  out.append(buf, static_cast<size_t>(outp - buf));
  iconv_close(cd);
  return true;
}

}  // namespace tolvane
