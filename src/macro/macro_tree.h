// The macro library as a tree of folders and macros: the model behind the
// macro tree of the editor and of the macro picker.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

enum class NodeKind : uint8_t { Macro = 1, Folder = 2 };

// Node handles; 0 is the invisible root (and "none").
using NodeId = uint32_t;
constexpr NodeId kRootNode = 0;

// Folder nodes nest at most this deep.
constexpr int kMaxFolderDepth = 6;

struct MacroNode {
  NodeId item = 0;
  NodeId parent = kRootNode;
  NodeKind kind = NodeKind::Macro;
  std::string text;        // the name on disk (without ".qxm" for a macro)
  uint32_t id = 0;         // macro node: the macro's dwID
  bool hasIcon = false;    // folder node: its "<name>/<name>.png" picture loads
  bool expanded = false;   // folder shown open
  std::vector<NodeId> children;
};

class MacroTree {
 public:
  MacroTree();

  // Adds a node at the end of `parent`'s children. Returns 0 when the parent
  // does not exist or is a macro, or when a folder would lie deeper than
  // kMaxFolderDepth.
  NodeId Add(NodeId parent, NodeKind kind, std::string text, uint32_t id, bool hasIcon = false);

  // Null for the root or a node that does not exist.
  const MacroNode* Get(NodeId node) const;
  MacroNode* GetMutable(NodeId node);

  const std::vector<NodeId>& Children(NodeId parent) const;

  // First child of `parent` whose text equals `text`, ignoring letter case; 0
  // when none.
  NodeId FindChild(NodeId parent, std::string_view text) const;

  // Number of folders from the top level down to `node`, `node` included.
  int FolderDepth(NodeId node) const;

  // `node` and everything below it, parents before children (for the root:
  // every node).
  std::vector<NodeId> Subtree(NodeId node) const;

  // Removes `node` with everything below it.
  void Remove(NodeId node);

  // Removes every node.
  void Clear();

  bool SetText(NodeId node, std::string text);

  NodeId Selected() const { return selected_; }
  void Select(NodeId node) { selected_ = Get(node) ? node : kRootNode; }

  size_t Size() const { return nodes_.size() - 1; }

 private:
  std::map<NodeId, MacroNode> nodes_;  // includes the root under key 0
  NodeId next_ = 1;
  NodeId selected_ = kRootNode;
};

}  // namespace tolvane
