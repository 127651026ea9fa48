#include "config/texts.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "app/atomic_file.h"
#include "app/log.h"
#include "app/paths.h"
#include "app/regular_file.h"
#include "config/ini_file.h"
#include "config/xml_reader.h"

namespace tolvane {
namespace {

constexpr const char* kFixedIds[] = {
    "tc_config",
    "tc_exit",
    "tc_version",
    "tc_restore",
    "tc_reset",
    "tc_ok",
    "tc_cancel",
    "tc_apply",
    "tc_profile",
    "tc_tips",
    "tc_str1",
    "tc_str2",
    "tc_str3",
    "tc_page1",
    "tc_page2",
    "tc_page3",
    "tc_page4",
    "tc_macro_stop",
    "tc_macro_start",
    "tc_macro_list",
    "tc_macro_key_list",
    "tc_macro_auto",
    "tc_macro_loop",
    "tc_macro_loop1",
    "tc_macro_loop2",
    "tc_macro_loop3",
    "#tc_macro_msg%d:1:22",
    "tc_msfun",
    "tc_click",
    "tc_menu",
    "tc_middle",
    "tc_forward",
    "tc_back",
    "tc_dbclick",
    "tc_rdbclick",
    "tc_scrollup",
    "tc_scrolldown",
    "tc_mac_def",
    "tc_key_off",
    "tc_PL",
    "tc_stop",
    "tc_pre_media",
    "tc_next_media",
    "tc_vol_up",
    "tc_vol_dw",
    "tc_mute",
    "tc_kbmedia_forward",
    "tc_kbmedia_back",
    "tc_kbmedia_stop",
    "tc_kbmedia_search",
    "tc_kbmedia_mail",
    "tc_kbmedia_main",
    "tc_kbmedia_explore",
    "tc_kbmedia_cal",
    "tc_kbmedia_refresh",
    "tc_kbmedia_favor",
    "tc_kbmedia_msel",
    "tc_combokey",
    "tc_media",
    "tc_combo_tips",
    "tc_web",
    "tc_mainweb",
    "tc_dpi",
    "tc_dpiadd",
    "tc_dpisub",
    "tc_dpiloop",
    "tc_three",
    "tc_fire",
    "tc_rgb",
    "tc_snipe",
    "tc_singlekey",
    "tc_windows",
    "tc_shift",
    "tc_reportsw",
    "tc_customkey",
    "tc_rgbsw",
    "tc_error",
    "tc_prosw",
    "#tc_msg%d:1:38",
    "tc_mode1",
    "tc_mode2",
    "tc_mode3",
    "#tc_led_mode%d:1:7",
    "#tc_led_eft%d:1:4",
    // The numbered families come last, then the program's own texts.
    "#tc_adv_str%d:1:30",
    "#tc_tip%d:1:5",
    "#tc_new%d:1:13",
    "tc_key_unknown",
    "tc_file_replace",
    "tc_profile_switch_err",
    "tc_low_battery",
    "tc_low_battery_tip",
    "tc_dev_busy",
};

std::vector<std::string> BuildIds() {
  std::vector<std::string> ids;
  for (const char* entry : kFixedIds) {
    if (entry[0] != '#') {
      ids.emplace_back(entry);
      continue;
    }
    char fmt[32] = {};
    int first = 0;
    int last = 0;
    std::sscanf(entry + 1, "%31[^:]:%d:%d", fmt, &first, &last);
    for (int k = first; k <= last; ++k) {
      char id[30];  // ids are at most 29 characters
      std::snprintf(id, sizeof id, fmt, k);
      ids.emplace_back(id);
    }
  }
  return ids;
}

const std::unordered_map<std::string_view, size_t>& IdIndex() {
  static const std::unordered_map<std::string_view, size_t> index = [] {
    std::unordered_map<std::string_view, size_t> m;
    const auto& ids = TextIds();
    for (size_t k = 0; k < ids.size(); ++k) m.emplace(ids[k], k);
    return m;
  }();
  return index;
}

const std::string kEmpty;

// --- lang.ini: a private-profile file with one value we care about ---------

std::string Trim(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  if (!IsRegularFile(path)) return lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (in && std::getline(in, line)) lines.push_back(line);
  return lines;
}

// "[name]" → name; empty for a line that is not a section header.
bool SectionName(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(std::string_view(t).substr(1, close - 1));
  return true;
}

// Finds key `key` in section `section`: the first occurrence wins. Sets
// `lineNo` to its line, or to the line after the section's last entry when the
// key is missing (npos when the section is missing).
bool FindKey(const std::vector<std::string>& lines, std::string_view section, std::string_view key,
             std::string& value, size_t& lineNo) {
  bool inSection = false;
  bool seenSection = false;
  lineNo = std::string::npos;
  for (size_t k = 0; k < lines.size(); ++k) {
    std::string name;
    if (SectionName(lines[k], name)) {
      inSection = EqualsIgnoreAsciiCase(name, section);
      if (inSection && !seenSection) {
        seenSection = true;
        lineNo = k + 1;
      }
      continue;
    }
    if (!inSection) continue;
    std::string t = Trim(lines[k]);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (lineNo != std::string::npos && lineNo <= k) lineNo = k + 1;
    size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    if (EqualsIgnoreAsciiCase(Trim(std::string_view(t).substr(0, eq)), key)) {
      value = Trim(std::string_view(t).substr(eq + 1));
      lineNo = k;
      return true;
    }
  }
  return false;
}

int ParseInt(const std::string& s, int def) {
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str()) return s.empty() ? def : 0;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

std::string LangIniPath() { return UserDataDir + "lang.ini"; }

std::atomic<int> g_currentLanguage{0};

}  // namespace

const std::vector<std::string>& TextIds() {
  static const std::vector<std::string> ids = BuildIds();
  return ids;
}

struct TextTable::Set {
  std::vector<std::string> texts;
  size_t nonEmpty = 0;
};

TextTable::TextTable() : current_(nullptr) {
  auto empty = std::make_unique<Set>();
  empty->texts.resize(TextIds().size());
  current_.store(empty.get(), std::memory_order_release);
  sets_.push_back(std::move(empty));
}

TextTable::~TextTable() = default;

bool TextTable::Load(const std::string& path) {
  XmlDocument doc;
  const bool read = doc.Load(path);
  if (read) doc.Parse();

  const auto& index = IdIndex();
  auto set = std::make_unique<Set>();
  set->texts.resize(TextIds().size());
  std::vector<uint32_t> element(TextIds().size(), 0);
  // The first top-level "config" that has an id gives it, and within it the
  // first child of that name.
  for (uint32_t top = doc.FirstTopLevel(); top != 0; top = doc.NextSibling(top)) {
    if (doc.Name(top) != "config") continue;
    for (uint32_t child = doc.FirstChild(top); child != 0; child = doc.NextSibling(child)) {
      auto it = index.find(doc.Name(child));
      if (it != index.end() && element[it->second] == 0) element[it->second] = child;
    }
  }
  for (size_t k = 0; k < element.size(); ++k) {
    if (element[k] == 0) continue;
    set->texts[k] = doc.Content(element[k]);
    if (!set->texts[k].empty()) ++set->nonEmpty;
  }
  if (!read) {
    LogPrint("LoadTexts: open %s failed", path.c_str());
  } else if (!doc.Error().empty()) {
    LogPrint("LoadTexts: %s: %s", path.c_str(), doc.Error().c_str());
  }

  std::lock_guard<std::mutex> lock(mutex_);
  current_.store(set.get(), std::memory_order_release);
  sets_.push_back(std::move(set));
  loadedPath_ = path;
  return read;
}

const std::string& TextTable::Get(std::string_view id) const {
  const auto& index = IdIndex();
  auto it = index.find(id);
  if (it == index.end()) return kEmpty;
  return current_.load(std::memory_order_acquire)->texts[it->second];
}

size_t TextTable::NonEmptyCount() const {
  return current_.load(std::memory_order_acquire)->nonEmpty;
}

std::string TextTable::LoadedPath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loadedPath_;
}

TextTable& Texts() {
  static TextTable table;
  return table;
}

const std::string& Tx(std::string_view id) { return Texts().Get(id); }

std::string DefaultTextPath() { return ProgramDir + "text.xml"; }

std::string LanguageTextPath(const std::vector<std::string>& folders, int index) {
  std::string folder;
  if (index >= 0 && static_cast<size_t>(index) < folders.size())
    folder = folders[static_cast<size_t>(index)];
  return ProgramDir + folder + "/text.xml";
}

bool LoadDefaultTexts() { return Texts().Load(DefaultTextPath()); }

int ReadLangIndex(int def) {
  std::string value;
  size_t line = 0;
  if (!FindKey(ReadLines(LangIniPath()), "OPT", "LangIndex", value, line)) return def;
  return ParseInt(value, def);
}

bool WriteLangIndex(int index) {
  const std::string path = LangIniPath();
  std::vector<std::string> lines = ReadLines(path);
  std::string value;
  size_t line = 0;
  const std::string entry = "LangIndex=" + std::to_string(index);
  if (FindKey(lines, "OPT", "LangIndex", value, line)) {
    lines[line] = entry;
  } else if (line != std::string::npos) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(line), entry);
  } else {
    lines.push_back("[OPT]");
    lines.push_back(entry);
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\n";

  // The user folder is made at start-up; a missing one is not made here.
  if (int err = WriteFileReplacing(path, text.data(), text.size(), nullptr, false); err != 0) {
    LogPrint("WriteLangIndex: write %s failed, err=%d", path.c_str(), err);
    return false;
  }
  return true;
}

int LoadChosenLanguage(const std::vector<std::string>& folders) {
  int index = ReadLangIndex(0);
  if (index < 0 || static_cast<size_t>(index) >= folders.size()) index = 0;
  g_currentLanguage.store(index);
  Texts().Load(LanguageTextPath(folders, index));
  return index;
}

bool ChooseLanguage(const std::vector<std::string>& folders, int index) {
  if (index < 0 || static_cast<size_t>(index) >= folders.size()) {
    LogPrint("ChooseLanguage: index %d outside the list of %zu", index, folders.size());
    return false;
  }
  g_currentLanguage.store(index);
  Texts().Load(LanguageTextPath(folders, index));
  WriteLangIndex(index);
  return true;
}

int CurrentLanguageIndex() { return g_currentLanguage.load(); }

}  // namespace tolvane
