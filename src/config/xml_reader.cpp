#include "config/xml_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>

#include "app/log.h"
#include "app/regular_file.h"
#include "app/utf8.h"

namespace tolvane {
namespace {

// Files above this size are not read (the index uses 32-bit offsets and the
// converted text may be three times the size of the file).
constexpr uint64_t kMaxFileSize = 256u * 1024 * 1024;
// How many bytes at the start are searched for a declared encoding.
constexpr size_t kHeadSize = 1024;
// How far up the open elements an end tag looks for its start tag.
constexpr size_t kEndTagSearchDepth = 256;
// Code page used for text that is neither declared nor valid UTF-8.
constexpr int kAnsiCodePage = 1252;

// " at offset N", for the parse errors.
std::string At(size_t offset) { return " at offset " + std::to_string(offset); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCopy(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerAscii(c);
  return r;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t len = Utf8SequenceLength(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

// Appends `s` with invalid sequences replaced by U+FFFD and NULs left out.
void AppendSanitizedUtf8(std::string_view s, std::string& out) {
  out.reserve(out.size() + s.size());
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      if (c != '\0') out += c;
      ++i;
      continue;
    }
    size_t len = Utf8SequenceLength(s, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
}

std::string WithoutZeroBytes(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  for (char c : s) {
    if (c != '\0') r += c;
  }
  return r;
}

// The value of attribute `attr` (lower case) inside the tag text `tag`, ASCII
// case of the attribute names ignored; empty when there is none.
std::string AttributeValue(std::string_view tag, std::string_view attr) {
  size_t p = 0;
  const size_t n = tag.size();
  while (p < n) {
    while (p < n && (IsBlank(tag[p]) || tag[p] == '/' || tag[p] == '?')) ++p;
    const size_t nameStart = p;
    while (p < n && !IsBlank(tag[p]) && tag[p] != '=' && tag[p] != '>' && tag[p] != '/') ++p;
    const std::string name = LowerCopy(tag.substr(nameStart, p - nameStart));
    while (p < n && IsBlank(tag[p])) ++p;
    if (p >= n || tag[p] != '=') {
      if (p == nameStart) ++p;  // a stray character
      continue;
    }
    ++p;
    while (p < n && IsBlank(tag[p])) ++p;
    size_t valueStart = p;
    size_t valueEnd;
    if (p < n && (tag[p] == '"' || tag[p] == '\'')) {
      const char quote = tag[p];
      valueStart = p + 1;
      valueEnd = tag.find(quote, valueStart);
      if (valueEnd == std::string_view::npos) valueEnd = n;
      p = valueEnd + 1;
    } else {
      while (p < n && !IsBlank(tag[p]) && tag[p] != '>') ++p;
      valueEnd = p;
    }
    if (name == attr) return std::string(tag.substr(valueStart, valueEnd - valueStart));
  }
  return {};
}

// The encoding declared at the start of a document: "encoding" of the XML
// declaration, or the charset of an HTML "meta" element.
std::string DeclaredEncoding(std::string_view head) {
  size_t p = 0;
  while (p < head.size() && IsBlank(head[p])) ++p;
  if (head.substr(p, 5) == "<?xml") {
    size_t end = head.find("?>", p);
    std::string_view decl =
        head.substr(p + 5, end == std::string_view::npos ? std::string_view::npos : end - p - 5);
    return AttributeValue(decl, "encoding");
  }
  const std::string lower = LowerCopy(head);
  if (lower.find("<html") == std::string::npos && lower.find("<head") == std::string::npos)
    return {};
  size_t from = 0;
  while (true) {
    size_t at = lower.find("<meta", from);
    if (at == std::string::npos) return {};
    size_t end = lower.find('>', at);
    std::string_view tag =
        head.substr(at + 5, end == std::string::npos ? std::string_view::npos : end - at - 5);
    from = at + 5;
    std::string charset = AttributeValue(tag, "charset");
    if (!charset.empty()) return charset;
    if (LowerCopy(AttributeValue(tag, "http-equiv")) != "content-type") continue;
    std::string content = AttributeValue(tag, "content");
    std::string lc = LowerCopy(content);
    size_t cs = lc.find("charset=");
    if (cs == std::string::npos) continue;
    size_t b = cs + 8;
    size_t e = b;
    while (e < content.size() && content[e] != ';' && !IsBlank(content[e])) ++e;
    return content.substr(b, e - b);
  }
}

bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}

bool EndsName(char c) {
  return IsBlank(c) || c == '=' || c == '/' || c == '[' || c == ']' || c == '>';
}

bool StartsWith(std::string_view s, size_t at, std::string_view prefix) {
  return s.size() - at >= prefix.size() && s.compare(at, prefix.size(), prefix) == 0;
}

}  // namespace

void XmlDocument::Clear() {
  text_.clear();
  result_.clear();
  error_.clear();
  encodingName_.clear();
  encoding_ = XmlEncoding::Utf8;
  elems_.assign(1, Elem{});
  pos_ = 0;
  child_ = 0;
}

bool XmlDocument::Load(const std::string& path) {
  Clear();
  if (!IsRegularFile(path)) {  // a FIFO or device node would block the read
    result_ = "Unable to open file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result_ = "Unable to open file";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFileSize) {
    result_ = "Unable to read file";
    LogPrint("XmlDocument::Load: %s size=%lld refused", path.c_str(), static_cast<long long>(size));
    return false;
  }
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0 && !in.read(bytes.data(), size)) {
    result_ = "Unable to read file";
    return false;
  }
  LoadBytes(bytes);
  return true;
}

void XmlDocument::LoadBytes(std::string_view bytes) {
  Clear();
  if (bytes.empty()) {
    result_ = "0 length";
    return;
  }
  auto byte = [&](size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
  };

  // Byte-order marks, then the byte patterns of "<" in UTF-16 and UTF-32.
  const char* wide = nullptr;  // iconv name of a UTF-16 or UTF-32 encoding
  size_t skip = 0;
  std::string how;
  if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    encodingName_ = "UTF-8";
    skip = 3;
    how = "UTF-8 BOM";
  } else if (byte(0) == 0xFF && byte(1) == 0xFE && byte(2) == 0 && byte(3) == 0) {
    wide = "UTF-32LE", skip = 4, how = "UTF-32LE BOM";
  } else if (byte(0) == 0 && byte(1) == 0 && byte(2) == 0xFE && byte(3) == 0xFF) {
    wide = "UTF-32BE", skip = 4, how = "UTF-32BE BOM";
  } else if (byte(0) == 0xFF && byte(1) == 0xFE) {
    wide = "UTF-16LE", skip = 2, how = "UTF-16LE BOM";
  } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
    wide = "UTF-16BE", skip = 2, how = "UTF-16BE BOM";
  } else if (byte(0) == '<' && byte(1) == 0 && byte(2) == 0 && byte(3) == 0) {
    wide = "UTF-32LE", how = "UTF-32LE detected";
  } else if (byte(0) == 0 && byte(1) == 0 && byte(2) == 0 && byte(3) == '<') {
    wide = "UTF-32BE", how = "UTF-32BE detected";
  } else if (byte(0) == '<' && byte(1) == 0) {
    wide = "UTF-16LE", how = "UTF-16LE detected";
  } else if (byte(0) == 0 && byte(1) == '<') {
    wide = "UTF-16BE", how = "UTF-16BE detected";
  }

  const std::string_view rest = bytes.substr(skip);
  if (wide != nullptr) {
    encodingName_ = wide;
    encoding_ = std::strcmp(wide, "UTF-16LE") == 0   ? XmlEncoding::Utf16LE
                : std::strcmp(wide, "UTF-16BE") == 0 ? XmlEncoding::Utf16BE
                                                     : XmlEncoding::Other;
    std::string converted;
    if (!ConvertToUtf8(rest, wide, converted)) {
      LogPrint("XmlDocument::Load: iconv has no %s", wide);
    }
    converted.erase(std::remove(converted.begin(), converted.end(), '\0'), converted.end());
    text_ = std::move(converted);
    result_ = how + "; " + std::to_string(bytes.size()) + " bytes";
    return;
  }

  const std::string data = WithoutZeroBytes(rest);
  std::string declared;
  if (encodingName_.empty()) {
    declared = DeclaredEncoding(WithoutZeroBytes(bytes.substr(0, kHeadSize)));
    int cp = CodePageOfCharset(declared);
    // A wide encoding declared in a file without its byte patterns is not
    // believed.
    const bool wideDeclared = cp == 1200 || cp == 1201 || cp == 12000 || cp == 12001 || cp == 65005;
    if (!declared.empty() && !wideDeclared) {
      how = "declared " + declared;
      if (cp == 65001) {
        encodingName_ = "UTF-8";
      } else {
        if (cp == 0) cp = kAnsiCodePage;  // unknown name
        const char* name = IconvNameOfCodePage(cp);
        encodingName_ = name != nullptr ? name : "";
      }
    }
    if (encodingName_.empty()) {
      if (IsValidUtf8(data)) {
        encodingName_ = "UTF-8";
        if (declared.empty() && bytes[0] != '<') how += " (used UTF-8 detection)";
      } else {
        encodingName_ = IconvNameOfCodePage(kAnsiCodePage);
      }
    }
  }

  if (encodingName_ == "UTF-8") {
    encoding_ = XmlEncoding::Utf8;
    AppendSanitizedUtf8(data, text_);
  } else {
    encoding_ = XmlEncoding::Other;
    if (!ConvertToUtf8(data, encodingName_.c_str(), text_)) {
      LogPrint("XmlDocument::Load: iconv has no %s", encodingName_.c_str());
      encodingName_ = IconvNameOfCodePage(kAnsiCodePage);
      if (!ConvertToUtf8(data, encodingName_.c_str(), text_)) {
        // No converter at all: take the bytes as Latin-1.
        encodingName_ = "ISO-8859-1";
        for (char c : data) {
          const auto u = static_cast<unsigned char>(c);
          if (u < 0x80) {
            text_ += c;
          } else {
            text_ += static_cast<char>(0xC0 | (u >> 6));
            text_ += static_cast<char>(0x80 | (u & 0x3F));
          }
        }
      }
    }
    text_.erase(std::remove(text_.begin(), text_.end(), '\0'), text_.end());
  }
  result_ = (how.empty() ? std::string() : how + "; ") + std::to_string(bytes.size()) +
            " bytes; encoding " + encodingName_;
}

void XmlDocument::SetText(std::string utf8) {
  Clear();
  text_ = std::move(utf8);
  encodingName_ = "UTF-8";
}

void XmlDocument::SetError(std::string msg) {
  if (error_.empty()) error_ = std::move(msg);
}

void XmlDocument::CloseTop(std::vector<uint32_t>& open, size_t contentEnd) {
  Elem& e = elems_[open.back()];
  e.contentLen = static_cast<uint32_t>(contentEnd - e.contentStart);
  open.pop_back();
}

size_t XmlDocument::EndTag(std::string_view t, size_t lt, std::vector<uint32_t>& open) {
  const size_t n = t.size();
  const size_t nameStart = lt + 2;
  size_t nameEnd = nameStart;
  while (nameEnd < n && !EndsName(t[nameEnd])) ++nameEnd;
  const size_t gt = t.find('>', nameEnd);
  if (gt == std::string_view::npos) {
    SetError("Element end tag unterminated" + At(lt));
    return std::string_view::npos;
  }
  const std::string_view name = t.substr(nameStart, nameEnd - nameStart);
  size_t match = open.size();
  for (size_t k = open.size(), looked = 0; k > 0 && looked < kEndTagSearchDepth; --k, ++looked) {
    if (Name(open[k - 1]) == name) {
      match = k - 1;
      break;
    }
  }
  if (match == open.size()) {
    SetError("No start tag for end tag '" + std::string(name) + "'" + At(lt));
  } else {
    if (match + 1 != open.size()) {
      const Elem& top = elems_[open.back()];
      SetError("End tag '" + std::string(name) + "'" + At(lt) + " does not match start tag '" +
               std::string(Name(open.back())) + "'" + At(top.tagStart));
    }
    while (open.size() > match) CloseTop(open, lt);
  }
  return gt + 1;
}

size_t XmlDocument::SkipMarkup(std::string_view t, size_t lt) {
  constexpr size_t npos = std::string_view::npos;
  const size_t n = t.size();
  // The end of a construct that starts at `lt` and ends with `close`.
  auto skipTo = [&](size_t from, std::string_view close, const char* what) -> size_t {
    const size_t end = t.find(close, from);
    if (end == npos) {
      SetError(what + std::string(" unterminated") + At(lt));
      return npos;
    }
    return end + close.size();
  };
  if (t[lt + 1] == '?') return skipTo(lt + 2, "?>", "Processing instruction");
  if (StartsWith(t, lt, "<!--")) return skipTo(lt + 4, "-->", "Comment");
  if (StartsWith(t, lt, "<![CDATA[")) return skipTo(lt + 9, "]]>", "CDATA Section");
  if (StartsWith(t, lt, "<!DOCTYPE") || StartsWith(t, lt, "<!doctype")) {
    // An internal subset in brackets may hold '>' characters.
    size_t p = lt + 9;
    const size_t gt = t.find('>', p);
    const size_t bracket = gt == npos ? npos : t.substr(0, gt).find('[', p);
    if (bracket != npos) {
      const size_t close = t.find(']', bracket);
      p = close == npos ? n : close;
    }
    if (p >= n) {
      SetError("Doctype unterminated" + At(lt));
      return npos;
    }
    return skipTo(p, ">", "Doctype");
  }
  return skipTo(lt + 2, ">", StartsWith(t, lt, "<!-") ? "comment tag" : "! tag");
}

size_t XmlDocument::StartTag(std::string_view t, size_t lt, std::vector<uint32_t>& open,
                             size_t& topLevel) {
  const size_t n = t.size();
  if (!IsNameStart(t[lt + 1])) {
    SetError("Incorrect tag name character" + At(lt + 1));
    return lt + 1;  // the '<' is text
  }
  size_t nameEnd = lt + 1;
  while (nameEnd < n && !EndsName(t[nameEnd])) ++nameEnd;
  // Find the end of the tag; quoted attribute values may hold '>'.
  size_t p = nameEnd;
  size_t gt = std::string_view::npos;
  while (p < n) {
    const char q = t[p];
    if (q == '>') {
      gt = p;
      break;
    }
    if (q == '"' || q == '\'') {
      const size_t close = t.find(q, p + 1);
      if (close == std::string_view::npos) break;
      p = close + 1;
    } else if (q == '<') {
      break;  // a new tag begins: this one is not closed
    } else {
      ++p;
    }
  }
  if (gt == std::string_view::npos) {
    SetError("Element tag unterminated" + At(lt));
    // Go on with the tag that follows, if one does.
    return p < n && t[p] == '<' ? p : std::string_view::npos;
  }
  if (elems_.size() > kMaxElements) {
    SetError("Too many elements" + At(lt));
    return std::string_view::npos;
  }
  const uint32_t index = static_cast<uint32_t>(elems_.size());
  Elem e;
  e.tagStart = static_cast<uint32_t>(lt);
  e.tagLen = static_cast<uint32_t>(gt + 1 - lt);
  e.contentStart = static_cast<uint32_t>(gt + 1);
  e.nameLen = static_cast<uint32_t>(nameEnd - lt - 1);
  e.parent = open.empty() ? 0 : open.back();
  elems_.push_back(e);
  Elem& parent = elems_[e.parent];
  if (parent.lastChild != 0) {
    elems_[parent.lastChild].next = index;
  } else {
    parent.firstChild = index;
  }
  parent.lastChild = index;
  if (e.parent == 0 && ++topLevel == 2) SetError("Root element has sibling");
  if (t[gt - 1] != '/') open.push_back(index);
  return gt + 1;
}

bool XmlDocument::Parse() {
  elems_.assign(1, Elem{});
  error_.clear();
  pos_ = 0;
  child_ = 0;
  const std::string_view t = text_;
  const size_t n = t.size();
  if (n > std::numeric_limits<uint32_t>::max()) {
    SetError("Document too large");
    return false;
  }

  std::vector<uint32_t> open;  // open elements, innermost last
  size_t topLevel = 0;
  size_t i = 0;
  while (i < n) {
    const size_t lt = t.find('<', i);
    if (lt == std::string_view::npos) break;
    if (lt + 1 >= n) {
      SetError("Element tag unterminated" + At(lt));
      break;
    }
    const char c = t[lt + 1];
    if (c == '/') {
      i = EndTag(t, lt, open);
    } else if (c == '?' || c == '!') {
      i = SkipMarkup(t, lt);
    } else {
      i = StartTag(t, lt, open, topLevel);
    }
  }
  if (!open.empty()) {
    SetError("Element '" + std::string(Name(open.back())) + "'" +
             At(elems_[open.back()].tagStart) + " not ended");
    while (!open.empty()) CloseTop(open, n);
  }
  if (n == 0) {
    error_ = "Empty document";
  } else if (topLevel == 0) {
    SetError("No root element");
  }
  if (!result_.empty()) result_ += "; ";
  result_ += std::to_string(ElementCount()) + " elements";
  if (!error_.empty()) result_ += "; " + error_;
  return error_.empty() && topLevel == 1;
}

void XmlDocument::ResetPos() {
  pos_ = 0;
  child_ = 0;
}

std::string_view XmlDocument::Name(uint32_t e) const {
  if (!Valid(e)) return {};
  return std::string_view(text_).substr(elems_[e].tagStart + 1, elems_[e].nameLen);
}

bool XmlDocument::NameIs(uint32_t e, std::string_view name) const {
  return name.empty() || Name(e) == name;
}

uint32_t XmlDocument::FindSibling(uint32_t from, uint32_t parent, std::string_view name) const {
  uint32_t e = from != 0 ? elems_[from].next : elems_[parent].firstChild;
  while (e != 0 && !NameIs(e, name)) e = elems_[e].next;
  return e;
}

bool XmlDocument::FindElem(std::string_view name) {
  const uint32_t e = FindSibling(pos_, 0, name);
  if (e == 0) return false;
  pos_ = e;
  child_ = 0;
  return true;
}

bool XmlDocument::FindChildElem(std::string_view name) {
  if (pos_ == 0 && !FindElem()) return false;
  const uint32_t e = FindSibling(child_, pos_, name);
  if (e == 0) return false;
  child_ = e;
  return true;
}

std::string XmlDocument::GetChildData() const { return Content(child_); }

std::string XmlDocument::GetData() const { return Content(pos_); }

std::string XmlDocument::Content(uint32_t e) const {
  std::string out;
  if (!Valid(e)) return out;
  const std::string_view c =
      std::string_view(text_).substr(elems_[e].contentStart, elems_[e].contentLen);
  size_t p = 0;
  while (p < c.size()) {
    const size_t lt = c.find('<', p);
    if (lt == std::string_view::npos) {
      XmlDecodeText(c.substr(p), out);
      break;
    }
    XmlDecodeText(c.substr(p, lt - p), out);
    if (StartsWith(c, lt, "<![CDATA[")) {
      const size_t end = c.find("]]>", lt + 9);
      if (end == std::string_view::npos) {
        out.append(c.substr(lt + 9));
        break;
      }
      out.append(c.substr(lt + 9, end - lt - 9));
      p = end + 3;
    } else if (StartsWith(c, lt, "<!--")) {
      const size_t end = c.find("-->", lt + 4);
      if (end == std::string_view::npos) break;
      p = end + 3;
    } else if (StartsWith(c, lt, "<?")) {
      const size_t end = c.find("?>", lt + 2);
      if (end == std::string_view::npos) break;
      p = end + 2;
    } else {
      // Markup of child elements is kept as written.
      const size_t end = c.find('>', lt + 1);
      const size_t stop = end == std::string_view::npos ? c.size() : end + 1;
      out.append(c.substr(lt, stop - lt));
      p = stop;
    }
  }
  return out;
}

}  // namespace tolvane
