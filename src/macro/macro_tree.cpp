#include "macro/macro_tree.h"

#include <algorithm>

#include "macro/macro_names.h"

namespace tolvane {

MacroTree::MacroTree() {
  MacroNode root;
  root.kind = NodeKind::Folder;
  nodes_.emplace(kRootNode, std::move(root));
}

NodeId MacroTree::Add(NodeId parent, NodeKind kind, std::string text, uint32_t id, bool hasIcon) {
  auto p = nodes_.find(parent);
  if (p == nodes_.end() || p->second.kind != NodeKind::Folder) return 0;
  if (kind == NodeKind::Folder && FolderDepth(parent) >= kMaxFolderDepth) return 0;
  NodeId item = next_++;
  MacroNode n;
  n.item = item;
  n.parent = parent;
  n.kind = kind;
  n.text = std::move(text);
  n.id = kind == NodeKind::Macro ? id : 0;
  n.hasIcon = kind == NodeKind::Folder && hasIcon;
  nodes_.emplace(item, std::move(n));
  nodes_[parent].children.push_back(item);
  return item;
}

const MacroNode* MacroTree::Get(NodeId node) const {
  if (node == kRootNode) return nullptr;
  auto it = nodes_.find(node);
  return it == nodes_.end() ? nullptr : &it->second;
}

MacroNode* MacroTree::GetMutable(NodeId node) {
  if (node == kRootNode) return nullptr;
  auto it = nodes_.find(node);
  return it == nodes_.end() ? nullptr : &it->second;
}

const std::vector<NodeId>& MacroTree::Children(NodeId parent) const {
  static const std::vector<NodeId> kNone;
  auto it = nodes_.find(parent);
  return it == nodes_.end() ? kNone : it->second.children;
}

NodeId MacroTree::FindChild(NodeId parent, std::string_view text) const {
  for (NodeId c : Children(parent)) {
    if (SameNameNoCase(nodes_.at(c).text, text)) return c;
  }
  return 0;
}

int MacroTree::FolderDepth(NodeId node) const {
  int depth = 0;
  for (int guard = 0; node != kRootNode && guard < 1000; ++guard) {
    auto it = nodes_.find(node);
    if (it == nodes_.end()) break;
    if (it->second.kind == NodeKind::Folder) ++depth;
    node = it->second.parent;
  }
  return depth;
}

std::vector<NodeId> MacroTree::Subtree(NodeId node) const {
  std::vector<NodeId> out;
  if (node == kRootNode) {
    out = nodes_.at(kRootNode).children;
  } else if (Get(node)) {
    out.push_back(node);
  }
  for (size_t i = 0; i < out.size(); ++i) {
    for (NodeId c : nodes_.at(out[i]).children) out.push_back(c);
  }
  return out;
}

void MacroTree::Remove(NodeId node) {
  const MacroNode* n = Get(node);
  if (!n) return;
  auto& siblings = nodes_[n->parent].children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  for (NodeId id : Subtree(node)) {
    if (id == selected_) selected_ = kRootNode;
    nodes_.erase(id);
  }
}

void MacroTree::Clear() {
  nodes_.erase(std::next(nodes_.begin()), nodes_.end());
  nodes_[kRootNode].children.clear();
  selected_ = kRootNode;
}

bool MacroTree::SetText(NodeId node, std::string text) {
  MacroNode* n = GetMutable(node);
  if (!n) return false;
  n->text = std::move(text);
  return true;
}

}  // namespace tolvane
