// A small, lenient XML reader: loads one document, converts it to UTF-8,
// indexes its elements in one pass and lets the caller walk them by name.
//
// Loading recognises the byte-order marks of UTF-8, UTF-16 and UTF-32, the
// encoding declared in the XML declaration (or in an HTML "meta" element) and
// converts every other encoding through iconv. Parsing never stops at a
// problem: the first one found is kept in the result text and whatever could
// be indexed stays usable. Parsing is iterative (no recursion), linear in the
// size of the document, and indexes at most kMaxElements elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

enum class XmlEncoding { Utf8, Utf16LE, Utf16BE, Other };

class XmlDocument {
 public:
  // Upper bound of indexed elements; the rest of a larger document is
  // treated as text and the problem is reported.
  static constexpr size_t kMaxElements = 1000000;

  // Reads and converts `path`. A file that cannot be opened or read leaves
  // the document empty and returns false. An empty file gives an empty
  // document ("0 length") and returns true. Call Parse afterwards.
  bool Load(const std::string& path);

  // Same as Load for bytes already in memory.
  void LoadBytes(std::string_view bytes);

  // Sets the document text directly (UTF-8, not converted).
  void SetText(std::string utf8);

  // Builds the element index and resets the position. True only when the
  // document has exactly one top-level element and no problem was found.
  bool Parse();

  // Position: the current element at the current level (the top level here),
  // and the current child of it.
  void ResetPos();

  // Moves to the next element at the current level, after the current one,
  // whose whole name equals `name` (an empty name matches any element).
  // Clears the child position on success; leaves the position unchanged
  // otherwise.
  bool FindElem(std::string_view name = {});

  // Moves the child position to the next child of the current element, after
  // the current child, whose name equals `name`. Without a current element
  // the first element at the current level becomes current first.
  bool FindChildElem(std::string_view name = {});

  // Decoded content of the current child (empty without one).
  std::string GetChildData() const;

  // Decoded content of the current element (empty without one).
  std::string GetData() const;

  // --- Direct access to the index (element numbers start at 1; 0 = none) ---
  size_t ElementCount() const { return elems_.size() - 1; }
  std::string_view Name(uint32_t e) const;
  uint32_t FirstTopLevel() const { return elems_.empty() ? 0 : elems_[0].firstChild; }
  uint32_t FirstChild(uint32_t e) const { return Valid(e) ? elems_[e].firstChild : 0; }
  uint32_t NextSibling(uint32_t e) const { return Valid(e) ? elems_[e].next : 0; }
  uint32_t Parent(uint32_t e) const { return Valid(e) ? elems_[e].parent : 0; }
  // Content between start and end tag with references decoded, CDATA
  // sections taken as they are, comments and processing instructions left
  // out.
  std::string Content(uint32_t e) const;

  // The document text (UTF-8) and what loading and parsing did.
  const std::string& Text() const { return text_; }
  const std::string& Result() const { return result_; }
  XmlEncoding Encoding() const { return encoding_; }
  // The encoding name used for the conversion ("UTF-8", "windows-1252", ...).
  const std::string& EncodingName() const { return encodingName_; }
  // The first parse problem, empty when there was none.
  const std::string& Error() const { return error_; }

 private:
  struct Elem {
    uint32_t tagStart = 0;      // offset of '<'
    uint32_t tagLen = 0;        // length of the start tag
    uint32_t contentStart = 0;  // offset after the start tag
    uint32_t contentLen = 0;
    uint32_t parent = 0;
    uint32_t firstChild = 0;
    uint32_t lastChild = 0;
    uint32_t next = 0;
    uint32_t nameLen = 0;
  };

  bool Valid(uint32_t e) const { return e > 0 && e < elems_.size(); }
  void Clear();
  void SetError(std::string msg);
  // The steps of Parse: each takes the markup at `lt` ('<') and returns where
  // the scan goes on, or npos where it stops.
  size_t EndTag(std::string_view t, size_t lt, std::vector<uint32_t>& open);
  size_t SkipMarkup(std::string_view t, size_t lt);
  size_t StartTag(std::string_view t, size_t lt, std::vector<uint32_t>& open, size_t& topLevel);
  void CloseTop(std::vector<uint32_t>& open, size_t contentEnd);
  bool NameIs(uint32_t e, std::string_view name) const;
  uint32_t FindSibling(uint32_t from, uint32_t parent, std::string_view name) const;

  std::string text_;
  std::string result_;
  std::string error_;
  std::string encodingName_;
  XmlEncoding encoding_ = XmlEncoding::Utf8;
  std::vector<Elem> elems_{Elem{}};  // element 0 is the document itself
  uint32_t pos_ = 0;
  uint32_t child_ = 0;
};

// Decodes character and entity references in `text` (see XmlDocument::Content)
// and appends the result to `out`.
void XmlDecodeText(std::string_view text, std::string& out);

// The code point of the named entity `name` (HTML 4.01 plus "apos"), or 0.
// An exact match wins; otherwise the first entity whose name equals `name`
// without regard to ASCII case.
uint32_t XmlEntityCodePoint(std::string_view name);

// Number of named entities known (253).
size_t XmlEntityCount();

// The Windows code page of a charset name (IANA and Windows names and their
// aliases, ASCII case ignored); 0 for an unknown or empty name.
int CodePageOfCharset(std::string_view name);

// The iconv name of a Windows code page, or nullptr when it has none.
const char* IconvNameOfCodePage(int codePage);

// The code pages of the charset table, for tests.
std::vector<int> KnownCodePages();

// Converts `in`, in the iconv charset `charset`, to UTF-8 and appends it to
// `out`; bytes that do not convert become U+FFFD. Returns false when iconv
// does not know the charset (nothing is appended then).
bool ConvertToUtf8(std::string_view in, const char* charset, std::string& out);

}  // namespace tolvane
