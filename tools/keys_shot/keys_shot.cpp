// Draws the main window with the button page of a virtual mouse, its function
// menu open on the side button and the multimedia sub-menu unfolded, into a
// PNG. Usage: keys_shot OUTPUT.png [--simulate SPEC]
#include <QApplication>
#include <QPainter>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "program/program.h"
#include "ui/dev_dlg.h"
#include "ui/key_dlg.h"
#include "ui/main_window.h"
#include "ui/menu_dlg.h"
#include "ui/program_backend.h"
#include "ui/qt_event_sink.h"

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

  const std::string user = (std::filesystem::temp_directory_path() /
                            ("keys_shot-" + std::to_string(::getpid()) + "/")).string();
  std::filesystem::create_directories(user);
  ui::QtEventSink sink(&app);
  Program program(sink);
  ProgramOptions o;
  o.userDir = user;
  o.singleInstance = false;
  o.simulate = {spec};
  o.windowVisible = [] { return true; };
  if (program.Start(o) != StartResult::Ok || !program.WaitDevicesSettled(10000)) {
    std::fprintf(stderr, "keys_shot: the program did not start %s\n", program.StartError().c_str());
    return 1;
  }
  const auto devices = program.Devices();
  int entry = -1;
  for (size_t i = 0; i < devices.size() && entry < 0; ++i)
    if (devices[i].bConnected) entry = int(i);
  if (entry < 0 || !program.Wait(program.ChooseDevice(entry), 10000)) {
    std::fprintf(stderr, "keys_shot: no profile was read\n");
    return 1;
  }
  ui::ApplyCatalogueStyle(g_Catalogue());
  ui::LoadMenuPictures();

  ui::ProgramBackend backend(program, sink);
  ui::CTolvaneDlg::Options wo;
  wo.trayAvailable = [] { return false; };
  ui::CTolvaneDlg window(backend, wo);
  if (!window.Ready()) return 1;
  // The window hands the core's events on to its pages.
  sink.SetHandler([&](uint32_t m, uintptr_t w, intptr_t l) { window.OnEvent(m, w, l); });
  ui::QtFileChooser chooser;
  auto* page = new ui::CKeyDlg(nullptr, program, chooser);
  window.SetPage(ui::kPageButtons, page);
  window.show();
  // The devices' events from the start arrive first (each opens the device
  // list); the mouse is chosen after them.
  QApplication::processEvents();
  if (window.DevicePage()->TileCount() > 0)
    window.OnCurrentDeviceChanged(window.DevicePage()->TileEntry(0));
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
    p.drawImage(menu->pos() - origin, menu->Render());
    if (ui::CMenuDlg* sub = menu->Submenu()) p.drawImage(sub->pos() - origin, sub->Render());
  }
  const bool saved = shot.save(QString::fromLocal8Bit(argv[1]), "PNG");
  ui::CMenuDlg::CloseOpen();
  sink.SetHandler({});
  program.Exit();
  std::filesystem::remove_all(user);
  if (!saved) {
    std::fprintf(stderr, "keys_shot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
