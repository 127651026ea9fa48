// The macro library: every macro the user owns, one .qxm file each, under
// UserDataDir + "Mac"; the in-memory macro list built from it; the tree of
// folders and macros; the file operations with their messages; the merge of
// macros read from a device; and the mac.dct snapshot.
//
// The list and the tree are shared by the user-interface thread, the read
// thread (device merge) and the apply thread (lookups), so every member
// function takes the library's lock, and lookups return copies.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_listeners.h"
#include "macro/macro_tree.h"
#include "records/st_macro.h"
#include "records/key_info.h"

namespace tolvane {

constexpr size_t kMaxLibraryMacros = 2000;
constexpr size_t kMacSnapshotSize = kMaxLibraryMacros * sizeof(StMacro);  // 1,668,000
constexpr int kMaxPathLevels = 20;
constexpr size_t kMaxScanPath = 257;  // folder paths this long are not scanned
constexpr uint32_t kMacroGroup = 0x05000000;

// The outcome of a library operation the user started. `message` is the
// text to show (a language text, or its fixed English fallback); empty when
// there is nothing to show.
struct MacroResult {
  bool ok = false;
  std::string message;
  NodeId node = 0;   // the node made or changed
  uint32_t id = 0;   // its macro id
  static MacroResult Ok(NodeId n = 0, uint32_t i = 0) { return {true, {}, n, i}; }
  static MacroResult Fail(std::string text) { return {false, std::move(text), 0, 0}; }
};

// The button tables a deletion resets: the current profile's three key
// tables and the model's default assignments of the catalogue.
struct KeyTables {
  KeyInfo (*keys)[kMaxKeys] = nullptr;            // [kKeyModes][kMaxKeys]
  const KeyInfo (*defaults)[kMaxKeys] = nullptr;  // [kKeyModes][kMaxKeys]
};

class MacroLibrary {
 public:
  // `userDataDir` ends with '/'; `showFolders` is the catalogue's MacroDir.
  MacroLibrary(std::string userDataDir, bool showFolders);

  // UserDataDir + "Mac".
  const std::string& Root() const { return root_; }
  bool ShowFolders() const { return showFolders_; }

  // Language texts by id (tc_tip1, tc_macro_msg8, ...). Unset or empty
  // answers fall back to the fixed English texts where there is one, else to
  // the id itself.
  void SetTextSource(std::function<std::string(const char* id)> texts);

  // Views that follow the library. Changes are reported on the thread that
  // made them, after the library's lock is released. SetChangeListener sets
  // the one listener of a single owner; Add/RemoveChangeListener serve any
  // number of views (macro_listeners.h says when a removed one stops).
  void SetChangeListener(std::function<void(const MacroChange&)> listener);
  int AddChangeListener(std::function<void(const MacroChange&)> listener);
  void RemoveChangeListener(int handle);

  // Start-up: reads every macro file into the list and builds the tree (one
  // scan; a file whose id another file already uses gets a new id, marked as
  // changed settings so that the next save stores it). Replaces what was
  // loaded before. False when a folder scan failed.
  bool Load();

  // Fills `tree` from the files on disk (the picker's or a second view),
  // ids as stored in the files; the list is not touched.
  bool FillTree(MacroTree& tree) const;

  // ---- the list ----
  size_t Count() const;
  std::optional<StMacro> FindById(uint32_t id) const;  // low 24 bits compared
  std::optional<StMacro> FindByName(std::string_view name) const;
  bool HasId(uint32_t id) const;
  // A macro of the library that breaks the rules of macro_check.h (a file
  // damaged or made elsewhere). It stays listed so that it can be fixed or
  // deleted, but no button plays it until then.
  bool IsDamaged(uint32_t id) const;
  // The id of a library macro that an import of `macro` would duplicate: the
  // same name (as the library would name it), events and play settings.
  std::optional<uint32_t> FindTwin(const StMacro& macro) const;
  std::vector<StMacro> Records() const;
  // Changes a record in place (the editor); false when the id is unknown.
  bool Update(uint32_t id, const std::function<void(StMacro&)>& change);

  // ---- the tree ----
  MacroTree Tree() const;  // a copy
  std::optional<MacroNode> Node(NodeId node) const;
  // Finds a node by its path below the root ("Folder/Name"), letter case
  // ignored; 0 when none.
  NodeId FindNodeByPath(std::string_view path) const;
  void Select(NodeId node);

  // Full path of a node's folder or file; nullopt when the node does not
  // exist, lies more than 20 levels deep or carries a name that could leave
  // the library.
  std::optional<std::string> TreeItem_To_FilePath(NodeId node) const;

  // Writes the node's macro to its file when its record has a dirty bit set.
  int Flush_Dirty_Macro(NodeId node);  // always 0
  // The same, returning 0 or the errno of a failed write (the record then
  // stays marked as changed).
  int SaveMacro(NodeId node);
  // Flushes every macro node, folders depth first (editor shutdown).
  void FlushAll();

  // Adds a record as a new top-level macro (its file is written at once).
  std::optional<StMacro> Add_Macro(const StMacro& macro);

  // The user's operations. The caller asks for the confirmation of a
  // deletion before calling DeleteNode. A new or renamed macro's name is
  // cut to what the mouse keeps (kHdNameUnits, never inside a character);
  // a typed name that would make a hidden file starts with '_' instead.
  MacroResult NewMacro(std::string_view name);
  MacroResult Rename(NodeId node, std::string_view newName);
  MacroResult DeleteNode(NodeId node, const KeyTables* tables = nullptr);
  MacroResult Import(const std::string& file, NodeId parent = kRootNode);
  MacroResult ExportMacro(NodeId node, const std::string& destination);

  // A macro read from the device (name, loop mode, repeat count set).
  void MergeDeviceMacro(const StMacro& macro);

  // Profile import: the library macro `id` takes `content` but keeps its id,
  // and its file is rewritten. False when the id is unknown.
  bool ReplaceMacro(uint32_t id, const StMacro& content);

  // Writes UserDataDir + "mac.dct". 1 or 0.
  int SaveSnapshot() const;

  // Resets every macro button whose macro is no longer in the list to the
  // button's default. True when a button changed.
  bool ResetMissingMacroKeys(const KeyTables& tables) const;

 private:
  struct ScanTarget {
    MacroTree* tree = nullptr;
    std::vector<StMacro>* list = nullptr;
    bool newIds = false;
    bool dedupeIds = false;
  };
  bool ScanFolder(const std::string& folder, NodeId parent, const ScanTarget& target) const;

  StMacro* FindByIdLocked(uint32_t id);
  StMacro* FindByNameLocked(std::string_view name);
  std::optional<std::string> PathLocked(const MacroTree& tree, NodeId node) const;
  int FlushLocked(NodeId node);
  std::optional<StMacro> AddLocked(const StMacro& macro, std::vector<MacroChange>& changes);
  uint32_t UniqueIdLocked();
  std::string UniqueTopLevelName(const std::string& base, NodeId parent);
  bool ResetKeysLocked(const KeyTables& tables) const;
  std::string Text(const char* id, const char* fallback) const;
  void Emit(const std::vector<MacroChange>& changes);

  const std::string userDataDir_;
  const std::string root_;
  const bool showFolders_;

  mutable std::mutex mutex_;
  std::vector<StMacro> list_;
  MacroTree tree_;
  std::function<std::string(const char*)> texts_;
  std::function<void(const MacroChange&)> listener_;
  MacroListeners listeners_;
};

}  // namespace tolvane
