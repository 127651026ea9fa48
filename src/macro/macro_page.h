// What the macro page and the macro picker decide without pixels: the popup
// menus, showing a library node in the editor, saving the macro shown, and
// the picker's choice. The widgets paint these and forward the user's input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_editor.h"
#include "macro/macro_library.h"
#include "macro/macro_tree.h"
#include "records/key_info.h"

namespace tolvane {

// ---- popup menus ----

// Item values of the page's popup menus.
constexpr uint32_t kMenuNewMacro = 1, kMenuDelete = 4, kMenuExport = 8, kMenuImport = 16,
                   kMenuRename = 32, kMenuModifyEvent = 64, kMenuDeleteEvent = 1024;

struct MenuItem {
  uint32_t value;
  std::string_view textId;
  bool operator==(const MenuItem&) const = default;
};

// Where the right button was released.
enum class MenuTarget : uint8_t { MacroTreeEmpty, MacroFolder, MacroNode, EventRow, EventTreeEmpty };

// The target a node of the macro tree stands for (empty space for the root
// or a node that does not exist).
MenuTarget MacroTreeTarget(const MacroTree& tree, NodeId node);

struct MenuChoice {
  std::vector<MenuItem> items;  // empty: no menu
  std::string_view message;     // text id to show instead ("tc_macro_msg17" while recording)
};
// The menu for a right click on `target`, items in the order new macro,
// export, rename, modify event, delete, delete event, import.
MenuChoice RightClickMenu(MenuTarget target, bool recording);

// Text id of the rename prompt: tc_macro_msg11 for a macro, tc_macro_msg13
// for a folder.
std::string_view RenamePromptText(NodeKind kind);
constexpr int kMaxRenameChars = 15;

// ---- showing and saving ----

// A click on the macro tree: a macro node shows its record from the
// library's list; a folder, empty space or a node whose record is gone
// clears the editor. True when a macro is shown.
bool ShowNode(MacroEditor& editor, const MacroLibrary& library, NodeId node);

// True when any button of the three key tables has the macro function with
// macro `id` (24 bits compared).
bool KeysUseMacro(const KeyInfo (*keys)[kMaxKeys], uint32_t id);

struct SaveOutcome {
  bool saved = false;         // the record took the changes and its file was written
  int error = 0;              // errno of a failed write (the changes stay pending)
  bool applyButtons = false;  // the profile's buttons use the macro: apply them (flag 1, data 255)
};
// The save button: commits the editor's changes into the library's record
// of `node` (which must be the macro shown) and writes its file. A failed
// write keeps the changes pending in the editor, so the save button stays.
// `keys` are the current profile's key tables (may be null); `applyNow` is
// the catalogue's ApplyNow.
SaveOutcome SaveShownMacro(MacroEditor& editor, MacroLibrary& library, NodeId node,
                           const KeyInfo (*keys)[kMaxKeys], bool applyNow);

struct DeleteOutcome {
  MacroResult result;         // the library's outcome and message
  bool keysReset = false;     // buttons lost their macro and got their defaults back
  bool applyButtons = false;  // ... and ApplyNow is set: apply them (flag 1, data 255),
                              // so the mouse does not keep playing the deleted macro
};
// Deletes a node of the macro tree after the user confirmed: the library
// removes the node, its macros and their files and gives every button whose
// macro is gone its default; the editor shows nothing afterwards.
DeleteOutcome DeleteLibraryNode(MacroEditor& editor, MacroLibrary& library, NodeId node,
                                const KeyTables& tables, bool applyNow);

// ---- the macro picker ----

struct PickResult {
  enum Kind : uint8_t { Picked, NewMacro, Cancelled, Stay } kind = Cancelled;
  int64_t id = 0;             // Picked: the macro id (24 bits); NewMacro: -1
  std::string_view message;   // Stay: the text id to show ("tc_macro_msg1")
};

// The picker's list: the library as it is in memory, so a macro not yet
// saved and a macro whose id was changed at load are offered with the ids
// the buttons will look up.
class MacroPickerModel {
 public:
  explicit MacroPickerModel(const MacroLibrary& library);

  const MacroTree& Tree() const { return tree_; }
  void Select(NodeId node) { tree_.Select(node); }
  NodeId Selected() const { return tree_.Selected(); }

  // OK: the selected macro's id, or Stay with tc_macro_msg1 when the
  // selection is not a macro.
  PickResult Ok() const;
  static PickResult New() { return {PickResult::NewMacro, -1, {}}; }
  static PickResult Cancel() { return {PickResult::Cancelled, 0, {}}; }

 private:
  MacroTree tree_;
};

}  // namespace tolvane
