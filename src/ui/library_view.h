// What the macro page and the macro picker show of the macro library: the
// rows of its tree for a CTreeCtrlEx, with the folders the user opened, each
// folder with its own picture ("<name>/<name>.png") when it has one, and the
// tree control dressed in the library's colours and folder pictures.
#pragma once

#include <QHash>
#include <QImage>
#include <QString>

#include <set>
#include <vector>

#include "macro/macro_tree.h"
#include "ui/tree_ctrl.h"

namespace tolvane {
class MacroLibrary;
}

namespace tolvane::ui {

class LibraryView {
 public:
  explicit LibraryView(const MacroLibrary& library) : library_(library) {}

  // Opens a closed folder, closes an open one.
  void Toggle(NodeId folder);
  bool Expanded(NodeId folder) const { return expanded_.count(folder) > 0; }
  // The rows of `tree` (a copy of the library's), depth first, the contents
  // of open folders under them.
  std::vector<TreeRow> Rows(const MacroTree& tree);

  // cfg.ini's list colours and the skin's folder pictures.
  static void Dress(CTreeCtrlEx* tree);

 private:
  QImage FolderPicture(NodeId folder, const MacroNode& node);

  const MacroLibrary& library_;
  std::set<NodeId> expanded_;
  QHash<QString, QImage> pictures_;  // by path: decoded once
};

}  // namespace tolvane::ui
