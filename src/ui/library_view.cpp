#include "ui/library_view.h"

#include <functional>

#include "config/catalogue.h"
#include "macro/macro_library.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

void LibraryView::Toggle(NodeId folder) {
  if (!expanded_.erase(folder)) expanded_.insert(folder);
}

QImage LibraryView::FolderPicture(NodeId folder, const MacroNode& node) {
  if (!node.hasIcon) return {};
  const std::optional<std::string> dir = library_.TreeItem_To_FilePath(folder);
  if (!dir) return {};
  const QString path = QString::fromStdString(*dir + "/" + node.text + ".png");
  auto it = pictures_.find(path);
  if (it == pictures_.end()) it = pictures_.insert(path, QImage(path));
  return *it;
}

std::vector<TreeRow> LibraryView::Rows(const MacroTree& tree) {
  std::vector<TreeRow> rows;
  std::function<void(NodeId, int)> walk = [&](NodeId parent, int depth) {
    for (NodeId c : tree.Children(parent)) {
      const MacroNode* n = tree.Get(c);
      if (!n) continue;
      TreeRow r;
      r.item = c;
      r.depth = depth;
      r.text = QString::fromStdString(n->text);
      r.folder = n->kind == NodeKind::Folder;
      r.expanded = r.folder && Expanded(c);
      if (r.folder) r.icon = FolderPicture(c, *n);
      rows.push_back(r);
      if (r.expanded) walk(c, depth + 1);
    }
  };
  walk(kRootNode, 0);
  return rows;
}

void LibraryView::Dress(CTreeCtrlEx* tree) {
  const OptCfg& opt = Cat().opt;
  tree->SetColors(opt.LstBox_bkg_clr ? opt.LstBox_bkg_clr : 0x231F1E,
                  opt.LstBox_txt_clr_nr ? opt.LstBox_txt_clr_nr : 0xC8C8C8,
                  opt.LstBox_item_clr ? opt.LstBox_item_clr : 0x4A4040, opt.clrMacFrame);
  tree->SetFolderPictures(LoadSkinPicture(QStringLiteral("macro/open.png")),
                          LoadSkinPicture(QStringLiteral("macro/close.png")));
}

}  // namespace tolvane::ui
