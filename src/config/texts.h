// The language texts: one UTF-8 string per text id ("tc_..."), read from a
// language file text.xml, and the user's language choice kept in lang.ini.
//
// text.xml holds a top-level element "config" whose children are named after
// the text ids; the content of the first child of a name is the text. A file
// may hold several "config" elements: an id is taken from the first one that
// has it. Every load assigns every id anew, so an id the file lacks becomes
// the empty string.
//
// Threads: texts are loaded on the user-interface thread (start-up and a
// language change); any thread may read them. A reference returned by Get or
// Tx stays valid, and keeps the text it had, for the life of the table; a
// later load publishes a new set of texts without touching the old one.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// Every text id, in load order (numbered families expanded).
const std::vector<std::string>& TextIds();

class TextTable {
 public:
  TextTable();
  ~TextTable();
  TextTable(const TextTable&) = delete;
  TextTable& operator=(const TextTable&) = delete;

  // Reads and parses `path` and assigns every text id from it. When the file
  // cannot be read every text becomes empty. Returns whether the file could
  // be read (the texts are assigned either way); nothing is shown to the user.
  bool Load(const std::string& path);

  // The text of `id`; the empty string for an id that is not in the list or
  // that the last loaded file did not have.
  const std::string& Get(std::string_view id) const;

  // Number of ids that received a non-empty text in the last load.
  size_t NonEmptyCount() const;

  // Path of the file of the last load (empty before the first).
  std::string LoadedPath() const;

 private:
  struct Set;
  std::atomic<const Set*> current_;
  mutable std::mutex mutex_;                // guards sets_ and loadedPath_
  std::vector<std::unique_ptr<Set>> sets_;  // every set ever published
  std::string loadedPath_;
};

// The process-wide text table.
TextTable& Texts();

// Short accessor: Texts().Get(id).
const std::string& Tx(std::string_view id);

// --- Language files and choice ---------------------------------------------
//
// `folders` is the catalogue's language list, folder names in list order
// (cfg.ini "Lang%d" values after the comma).

// ProgramDir + "text.xml": the default texts, loaded at start-up before the
// catalogue is read.
std::string DefaultTextPath();

// ProgramDir + folder + "/text.xml" for the language at `index`; an index
// outside the list gives an empty folder name (ProgramDir + "/text.xml").
std::string LanguageTextPath(const std::vector<std::string>& folders, int index);

// Loads ProgramDir + "text.xml" into Texts(). Returns whether it was read.
bool LoadDefaultTexts();

// "LangIndex" of section "OPT" of UserDataDir + "lang.ini"; `def` when the
// file or the key is missing.
int ReadLangIndex(int def = 0);

// Writes "LangIndex" = index into section "OPT" of UserDataDir + "lang.ini",
// keeping every other line of the file; the file is replaced through a
// temporary file and a rename. Returns false when it could not be written.
bool WriteLangIndex(int index);

// Main-window start: reads LangIndex (default 0), uses 0 when it is negative
// or beyond the list, makes it current and loads that language's file into
// Texts(). Returns the index used.
int LoadChosenLanguage(const std::vector<std::string>& folders);

// Language change from the settings page: makes `index` current, loads its
// file into Texts() and writes LangIndex to lang.ini. An index outside the
// list is refused (returns false, nothing changes). The caller then re-applies
// the texts to its windows.
bool ChooseLanguage(const std::vector<std::string>& folders, int index);

// The current language index (0 before any choice).
int CurrentLanguageIndex();

}  // namespace tolvane
