// Draws the main window with the macro page of a virtual mouse into
// OUTDIR/macro-page.png: a library with a folder (opened, so its pictures
// show) and a macro recorded from key events with their timing and saved;
// and the macro picker over it into OUTDIR/macro-picker.png.
// Usage: macro_shots OUTDIR
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "program/program.h"
#include "ui/dev_dlg.h"
#include "ui/macro_dlg.h"
#include "ui/main_window.h"
#include "ui/menu_dlg.h"
#include "ui/my_edit.h"
#include "ui/pick_macro_dlg.h"
#include "ui/program_backend.h"
#include "ui/qt_event_sink.h"
#include "ui/tree_ctrl.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

using namespace tolvane;

namespace {

// A macro file of the library: `name` pressing and releasing `key`.
void WriteMacro(const std::string& path, const char* name, uint32_t id, uint16_t key) {
  StMacro m{};
  m.dwMagicNumber = kMacroMagic;
  m.dwID = id;
  m.bAutoDelay = 1;
  m.wRepeat = 1;
  SetMacroName(m, name);
  m.stEvents[0] = {key, kEventPress, 30};
  m.stEvents[1] = {key, kEventRelease, 0};
  WriteMacroFile(path, m);
}

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

  const std::string user = (std::filesystem::temp_directory_path() /
                            ("macro_shots-" + std::to_string(::getpid()) + "/")).string();
  std::filesystem::create_directories(user + "Mac/Games");
  WriteMacro(user + "Mac/Games/Reload.qxm", "Reload", 0x100001, 'R');
  WriteMacro(user + "Mac/Games/Jump.qxm", "Jump", 0x100002, ' ');
  WriteMacro(user + "Mac/Greeting.qxm", "Greeting", 0x100003, 'H');

  ui::QtEventSink sink(&app);
  Program program(sink);
  ProgramOptions o;
  o.userDir = user;
  o.singleInstance = false;
  o.simulate = {"pro:cid=10,mid=1"};
  o.windowVisible = [] { return true; };
  if (program.Start(o) != StartResult::Ok || !program.WaitDevicesSettled(10000)) {
    std::fprintf(stderr, "macro_shots: the program did not start %s\n",
                 program.StartError().c_str());
    return 1;
  }
  ui::ApplyCatalogueStyle(g_Catalogue());
  ui::LoadMenuPictures();

  ui::ProgramBackend backend(program, sink);
  ui::CTolvaneDlg::Options wo;
  wo.trayAvailable = [] { return false; };
  ui::CTolvaneDlg window(backend, wo);
  if (!window.Ready()) return 1;
  sink.SetHandler([&](uint32_t m, uintptr_t w, intptr_t l) { window.OnEvent(m, w, l); });
  auto* page = new ui::CMacroDlg(nullptr, program);
  window.SetPage(ui::kPageMacros, page);
  window.show();
  QApplication::processEvents();  // the devices' events from the start
  if (window.DevicePage()->TileCount() > 0)
    window.OnCurrentDeviceChanged(window.DevicePage()->TileEntry(0));
  const auto settle = [] {
    for (int i = 0; i < 50; ++i) {
      QApplication::processEvents();
      ::usleep(10000);
    }
  };
  settle();
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
  settle();
  bool ok = window.grab().save(out.filePath(QStringLiteral("macro-page.png")), "PNG");

  // The picker over the page, the new macro chosen.
  ui::CPickMacroDlg picker(&window, program);
  picker.Select(node);
  picker.show();
  picker.move(window.mapToGlobal(QPoint((window.width() - picker.width()) / 2,
                                        (window.height() - picker.height()) / 2)));
  settle();
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

  sink.SetHandler({});
  program.Exit();
  std::filesystem::remove_all(user);
  if (!ok) {
    std::fprintf(stderr, "macro_shots: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
