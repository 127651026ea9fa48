// Draws the main window with the macro page of a virtual mouse into
// OUTDIR/macro-page.png: a library with a folder (opened, so its pictures
// show) and a macro recorded from key events with their timing and saved;
// and the macro picker over it into OUTDIR/macro-picker.png.
// Usage: macro_shots OUTDIR
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>

#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "program/program.h"
#include "shot_rig.h"
#include "support/test_models.h"
#include "ui/macro_dlg.h"
#include "ui/main_window.h"
#include "ui/my_edit.h"
#include "ui/pick_macro_dlg.h"
#include "ui/tree_ctrl.h"
#include "ui/ui_message.h"

using namespace tolvane;

namespace {

// A key event as the platform delivers it: Qt key, evdev scan code, time.
void SendKey(QWidget* to, QEvent::Type type, int qtKey, int evdev, uint64_t ms) {
  QKeyEvent e(type, qtKey, Qt::NoModifier, quint32(evdev + 8), 0, 0);
  e.setTimestamp(ms);
  QCoreApplication::sendEvent(to, &e);
}

NodeId NodeNamed(const MacroTree& tree, NodeId parent, const std::string& text) {
  for (NodeId c : tree.Children(parent))
    if (const MacroNode* n = tree.Get(c); n && n->text == text) return c;
  return kRootNode;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: macro_shots OUTDIR\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));

  tools::ShotRig rig("macro_shots", app);
  const std::string mac = rig.UserDir() + "Mac/";
  std::filesystem::create_directories(mac + "Games");
  bool made = true;
  uint32_t id = 0x100001;
  for (const auto& [file, name, key] : {std::tuple{"Games/Reload.qxm", "Reload", 'R'},
                                        std::tuple{"Games/Jump.qxm", "Jump", ' '},
                                        std::tuple{"Greeting.qxm", "Greeting", 'H'}}) {
    made = WriteMacroFile(mac + file, test::TestMacro(name, id++, uint16_t(key))) == 0 && made;
  }
  if (!made || !rig.Start("pro:cid=10,mid=1")) return 1;
  Program& program = rig.Core();
  ui::CTolvaneDlg& window = rig.Window();
  auto* page = new ui::CMacroDlg(nullptr, program);
  window.SetPage(ui::kPageMacros, page);
  rig.ShowAndChoose();
  window.SwitchPage(ui::kPageMacros);

  // A macro recorded on the page: Ctrl+C held 120 ms, then V, and a left
  // click inserted by hand; saved.
  page->NameField()->setText(QStringLiteral("Copy paste"));
  page->AddMacro();
  const NodeId node = page->SelectedNode();
  page->ToggleRecording();
  SendKey(page, QEvent::KeyPress, Qt::Key_Control, 29, 1000);
  SendKey(page, QEvent::KeyPress, Qt::Key_C, 46, 1040);
  SendKey(page, QEvent::KeyRelease, Qt::Key_C, 46, 1160);
  SendKey(page, QEvent::KeyRelease, Qt::Key_Control, 29, 1190);
  SendKey(page, QEvent::KeyPress, Qt::Key_V, 47, 1450);
  SendKey(page, QEvent::KeyRelease, Qt::Key_V, 47, 1530);
  page->ToggleRecording();
  page->InsertRow(4);
  page->Save();
  page->ClickMacroNode(node);
  // The first event chosen, as a click on it would: the list from its top.
  if (!page->EventTreeCtrl()->Rows().empty())
    ui::SendUiMessage(page, ui::WM_TREE_CLICK, ui::CMacroDlg::kEventTreeId,
                      intptr_t(page->EventTreeCtrl()->Rows().front().item));
  const NodeId games = NodeNamed(program.Library().Tree(), kRootNode, "Games");
  if (games != kRootNode) emit page->MacroTreeCtrl()->folderToggled(games);
  tools::ShotRig::Pump(300);
  bool ok = window.grab().save(out.filePath(QStringLiteral("macro-page.png")), "PNG");

  // The picker over the page, the new macro chosen.
  ui::CPickMacroDlg picker(&window, program);
  picker.Select(node);
  picker.show();
  picker.move(window.mapToGlobal(QPoint((window.width() - picker.width()) / 2,
                                        (window.height() - picker.height()) / 2)));
  tools::ShotRig::Pump(300);
  QImage shot = window.grab().toImage();
  {
    QPainter p(&shot);
    const QPoint at = picker.pos() - window.mapToGlobal(QPoint(0, 0));
    // The dialog's shape, as a screen that honours it shows it.
    if (!picker.mask().isEmpty()) p.setClipRegion(picker.mask().translated(at));
    p.drawPixmap(at, picker.grab());
  }
  ok = shot.save(out.filePath(QStringLiteral("macro-picker.png")), "PNG") && ok;
  picker.close();
  if (!ok) {
    std::fprintf(stderr, "macro_shots: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
