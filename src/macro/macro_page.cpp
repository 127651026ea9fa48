#include "macro/macro_page.h"

#include <cstring>

#include "records/key_info.h"

namespace tolvane {

MenuTarget MacroTreeTarget(const MacroTree& tree, NodeId node) {
  const MacroNode* n = tree.Get(node);
  if (!n) return MenuTarget::MacroTreeEmpty;
  return n->kind == NodeKind::Folder ? MenuTarget::MacroFolder : MenuTarget::MacroNode;
}

MenuChoice RightClickMenu(MenuTarget target, bool recording) {
  if (recording) return {{}, "tc_macro_msg17"};
  static constexpr MenuItem kNew{kMenuNewMacro, "tc_macro_msg5"},
      kExport{kMenuExport, "tc_macro_msg4"}, kRename{kMenuRename, "tc_macro_msg20"},
      kModify{kMenuModifyEvent, "tc_macro_msg7"}, kDelete{kMenuDelete, "tc_macro_msg10"},
      kDeleteEvent{kMenuDeleteEvent, "tc_macro_msg10"}, kImport{kMenuImport, "tc_macro_msg3"};
  switch (target) {
    case MenuTarget::MacroTreeEmpty: return {{kNew, kImport}, {}};
    case MenuTarget::MacroFolder: return {{kNew, kRename, kDelete, kImport}, {}};
    case MenuTarget::MacroNode: return {{kExport, kRename, kDelete}, {}};
    case MenuTarget::EventRow: return {{kModify, kDeleteEvent}, {}};
    case MenuTarget::EventTreeEmpty: break;
  }
  return {};
}

std::string_view RenamePromptText(NodeKind kind) {
  return kind == NodeKind::Folder ? "tc_macro_msg13" : "tc_macro_msg11";
}

bool ShowNode(MacroEditor& editor, const MacroLibrary& library, NodeId node) {
  if (editor.Recording()) return false;
  const std::optional<MacroNode> n = library.Node(node);
  if (n && n->kind == NodeKind::Macro) {
    if (const std::optional<StMacro> m = library.FindById(n->id)) return editor.Show(*m);
  }
  editor.Clear();
  return false;
}

bool KeysUseMacro(const KeyInfo (*keys)[kMaxKeys], uint32_t id) {
  if (!keys) return false;
  for (int t = 0; t < kKeyModes; ++t) {
    for (int b = 0; b < kMaxKeys; ++b) {
      const KeyInfo& k = keys[t][b];
      if (FunGroup(k.dwFunID) == kGroupMacro && (k.dwMacroID & 0xFFFFFF) == (id & 0xFFFFFF))
        return true;
    }
  }
  return false;
}

SaveOutcome SaveShownMacro(MacroEditor& editor, MacroLibrary& library, NodeId node,
                           const KeyInfo (*keys)[kMaxKeys], bool applyNow) {
  SaveOutcome out;
  const std::optional<MacroNode> n = library.Node(node);
  if (!editor.HasMacro() || editor.Recording() || !n || n->kind != NodeKind::Macro ||
      (n->id & 0xFFFFFF) != (editor.ShownId() & 0xFFFFFF)) {
    return out;
  }
  uint32_t committed = 0;
  if (!library.Update(n->id, [&](StMacro& m) { committed = editor.Commit(m); })) return out;
  out.error = library.SaveMacro(node);
  if (out.error != 0) {
    editor.MarkDirty(committed);
    return out;
  }
  out.saved = true;
  out.applyButtons = applyNow && KeysUseMacro(keys, n->id);
  return out;
}

DeleteOutcome DeleteLibraryNode(MacroEditor& editor, MacroLibrary& library, NodeId node,
                                const KeyTables& tables, bool applyNow) {
  DeleteOutcome out;
  std::vector<KeyInfo> before;
  if (tables.keys) before.assign(&tables.keys[0][0], &tables.keys[0][0] + kKeyModes * kMaxKeys);
  out.result = library.DeleteNode(node, &tables);
  if (tables.keys) {
    out.keysReset = std::memcmp(before.data(), &tables.keys[0][0],
                                before.size() * sizeof(KeyInfo)) != 0;
  }
  out.applyButtons = applyNow && out.keysReset;
  editor.Clear();
  return out;
}

MacroPickerModel::MacroPickerModel(const MacroLibrary& library) : tree_(library.Tree()) {
  tree_.Select(kRootNode);
}

PickResult MacroPickerModel::Ok() const {
  const MacroNode* n = tree_.Get(tree_.Selected());
  if (!n || n->kind != NodeKind::Macro) return {PickResult::Stay, 0, "tc_macro_msg1"};
  return {PickResult::Picked, int64_t(n->id & 0xFFFFFF), {}};
}

}  // namespace tolvane
