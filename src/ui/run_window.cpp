#include "ui/run_window.h"

#include <QApplication>
#include <QImage>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

#include "platform/autostart.h"
#include "platform/quit_signals.h"
#include "platform/pointer_settings.h"
#include "ui/adv_dlg.h"
#include "ui/color_dlg.h"
#include "ui/dev_dlg.h"
#include "ui/key_dlg.h"
#include "ui/led_dlg.h"
#include "ui/low_battery.h"
#include "ui/macro_dlg.h"
#include "ui/main_window.h"

namespace tolvane::ui {

// ---------------------------------------------------------------- pages
void AddProgramPages(Program& program, CTolvaneDlg& dlg) {
  // The dialogs the pages ask through live as long as the program.
  static QtFileChooser files;
  static DialogChooser colours;
  // Each page is made when first shown or once the first frame is painted.
  dlg.SetPageMaker(kPageButtons, [&program, &dlg]() -> QWidget* {
    auto* keys = new CKeyDlg(&dlg, program, files);
    QObject::connect(keys, &CKeyDlg::macroPageRequested, &dlg,
                     [&dlg] { dlg.SwitchPage(kPageMacros); });
    return keys;
  });
  dlg.SetPageMaker(kPageMacros, [&program]() -> QWidget* { return new CMacroDlg(nullptr, program); });
  dlg.SetPageMaker(kPageDpi, [&program]() -> QWidget* {
    return new CAdvDlg(nullptr, program, GetPointerSettings(), colours);
  });
  dlg.SetPageMaker(kPageLighting, [&program]() -> QWidget* { return new CLedDlg(nullptr, program); });
}
// ----------------------------------------------------------------

void InstallQuitHandlers(CTolvaneDlg& window) {
  // SIGTERM, SIGINT, SIGHUP and the end of the desktop session run the same
  // exit as the exit button: stores saved, devices told, then the loop ends.
  const int fd = platform::QuitSignalFd();
  if (fd >= 0) {
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, fd] {
      if (platform::DrainQuitSignals(fd)) window.Exit();
    });
  }
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager&) { window.Exit(); }, Qt::DirectConnection);
}

int RunWindow(WindowBackend& backend, QtEventSink& sink, const RunOptions& o) {
  CTolvaneDlg::Options wo;
  wo.startHidden = o.startHidden;
  wo.autostart.dir = platform::AutostartDir();
  wo.autostart.program = QCoreApplication::applicationFilePath().toStdString();
  wo.autostart.name = backend.Config().title;
  const bool shot = !o.screenshot.empty();
  if (shot) {
    wo.startHidden = false;
    wo.trayAvailable = [] { return false; };
  }
  CTolvaneDlg window(backend, wo);
  if (!window.Ready()) return 1;
  if (o.program) AddProgramPages(*o.program, window);
  // The low-battery notice runs while the window program runs.
  CLowBatteryNotice notice(nullptr, backend, CLowBatteryNotice::DBusSender());
  sink.SetHandler([&window, &notice](uint32_t m, uintptr_t w, intptr_t l) {
    notice.OnEvent(m, w, l);
    window.OnEvent(m, w, l);
  });
  QObject::connect(&window, &CTolvaneDlg::exitFinished, qApp, &QApplication::quit);
  InstallQuitHandlers(window);
  window.Start();

  int rc = 0;
  if (shot) {
    // The devices' events are still arriving (each new device opens the
    // device list): a mouse is chosen once they are in; the page is opened
    // and the picture taken 700 ms later, when a virtual mouse's read has
    // long ended.
    QTimer::singleShot(200, &window, [&] {
      if (o.page != kPageDevices && o.page != kPageSettings &&
          window.DevicePage()->TileCount() > 0)
        window.OnCurrentDeviceChanged(window.DevicePage()->TileEntry(0));
    });
    QTimer::singleShot(900, &window, [&] {
      window.SwitchPage(o.page);
      const QImage img = window.grab().toImage();
      if (!img.save(QString::fromStdString(o.screenshot), "PNG")) {
        std::fprintf(stderr, "tolvane: cannot write %s\n", o.screenshot.c_str());
        rc = 1;
      }
      qApp->quit();
    });
    QApplication::exec();
  } else {
    rc = QApplication::exec();
  }
  sink.SetHandler({});
  return rc;
}

}  // namespace tolvane::ui
