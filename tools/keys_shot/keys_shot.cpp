// Draws the main window with the button page of a virtual mouse, its function
// menu open on the side button and the multimedia sub-menu unfolded, into a
// PNG. Usage: keys_shot OUTPUT.png [--simulate SPEC]
#include <QApplication>
#include <QPainter>

#include <cstdio>
#include <cstring>
#include <string>

#include "shot_rig.h"
#include "ui/key_dlg.h"
#include "ui/main_window.h"
#include "ui/menu_dlg.h"

using namespace tolvane;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: keys_shot OUTPUT.png [--simulate SPEC]\n");
    return 2;
  }
  std::string spec = "pro:cid=10,mid=1";
  for (int i = 2; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--simulate") == 0) spec = argv[i + 1];
  QApplication app(argc, argv);
  ui::QtFileChooser chooser;  // outlives the page
  tools::ShotRig rig("keys_shot", app);
  if (!rig.Start(spec)) return 1;
  auto* page = new ui::CKeyDlg(nullptr, rig.Core(), chooser);
  ui::CTolvaneDlg& window = rig.Window();
  window.SetPage(ui::kPageButtons, page);
  rig.ShowAndChoose();
  window.SwitchPage(ui::kPageButtons);
  QApplication::processEvents();

  page->OpenMenu(3);
  ui::CMenuDlg* menu = ui::CMenuDlg::Current();
  QImage shot = window.grab().toImage();
  if (menu) {
    // Hover the multimedia heading so that its sub-menu opens beside it.
    for (size_t i = 0; i < menu->ItemCount(); ++i) {
      if (menu->SubCount(i) > 0 && menu->ItemRect(i).isValid()) {
        const int n = menu->SubCount(i);
        if (n > 8) {
          menu->HandleMove(menu->ItemRect(i).center());
          break;
        }
      }
    }
    QApplication::processEvents();
    QPainter p(&shot);
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    p.drawPixmap(menu->pos() - origin, menu->grab());
    if (ui::CMenuDlg* sub = menu->Submenu()) p.drawPixmap(sub->pos() - origin, sub->grab());
  }
  const bool saved = shot.save(QString::fromLocal8Bit(argv[1]), "PNG");
  ui::CMenuDlg::CloseOpen();
  if (!saved) {
    std::fprintf(stderr, "keys_shot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
