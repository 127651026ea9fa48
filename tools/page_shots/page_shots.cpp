// Pictures of the DPI and lighting pages, and the latency of a DPI change.
//
//   page_shots --data DIR --out DIR      writes dpi-page.png and lighting-page.png
//     [--mouse SPEC]                     of this virtual mouse (--simulate syntax)
//   page_shots --data DIR --latency N    N slider releases against a 1 ms mouse
//
// DIR holds cfg.ini, text.xml and skins/ (the build's share/tolvane).
#include <QApplication>
#include <QImage>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/framing.h"
#include "profile/profile_device.h"
#include "platform/pointer_settings.h"
#include "program/program.h"
#include "ui/adv_dlg.h"
#include "ui/color_dlg.h"
#include "ui/led_dlg.h"
#include "ui/menu_dlg.h"
#include "ui/qt_event_sink.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace {

using Clock = std::chrono::steady_clock;
using tolvane::ui::CAdvDlg;

// The time of the reply to the last EEPROM write of the DPI entry, and how
// many reports went to the mouse.
struct Probe {
  std::atomic<int64_t> ackNs{0};
  std::atomic<int> sent{0};
  std::atomic<bool> waiting{false};
};

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

bool StartProgram(tolvane::Program& program, const std::string& data, const std::string& user,
                  const std::string& spec, Probe* probe) {
  tolvane::ProgramOptions o;
  o.dataDir = data;
  o.userDir = user;
  o.singleInstance = false;
  o.simulate = {spec};
  if (probe)
    o.trace = [probe](tolvane::TraceDir dir, const tolvane::Report& r) {
      if (!probe->waiting) return;
      if (dir == tolvane::TraceDir::ToDevice) {
        probe->sent++;
        return;
      }
      // The mouse's answer to the write of the DPI entry of level 3 (0x14).
      if (r[1 + tolvane::kPayCmd] == 0x07 && r[1 + tolvane::kPayAddrLo] == 0x14 &&
          r[1 + tolvane::kPayAddrHi] == 0)
        probe->ackNs = Now();
    };
  if (program.Start(o) != tolvane::StartResult::Ok) {
    std::fprintf(stderr, "page_shots: start failed %s\n", program.StartError().c_str());
    return false;
  }
  program.WaitDevicesSettled(5000);
  for (const tolvane::DevEntryView& v : program.Devices())
    if (v.pDev) return program.Wait(program.ChooseDevice(int(v.nIndex)), 10000);
  std::fprintf(stderr, "page_shots: no device\n");
  return false;
}

int Shots(const std::string& data, const std::string& out, const std::string& user,
          const std::string& mouse) {
  tolvane::ui::QtEventSink sink;
  tolvane::Program program(sink);
  if (!StartProgram(program, data, user, mouse, nullptr)) return 1;
  tolvane::ui::SetSkinDir(data + "/skins/");
  tolvane::ui::LoadMenuPictures();
  tolvane::MemoryPointerSettings pointer;
  tolvane::ui::DialogChooser chooser;
  CAdvDlg adv(nullptr, program, pointer, chooser);
  tolvane::ui::CLedDlg led(nullptr, program);
  // The program's events reach the pages, as the window hands them on.
  sink.SetHandler([&](uint32_t msg, uintptr_t w, intptr_t l) {
    adv.OnCoreEvent(msg, w, l);
    led.OnCoreEvent(msg, w, l);
  });
  led.ChooseMainEffect(1);  // a colour effect: the colour controls show
  adv.show();
  led.show();
  QElapsedTimer settle;  // the events of the start arrive
  settle.start();
  while ((settle.elapsed() < 150 || led.Checking()) && settle.elapsed() < 10000)
    QCoreApplication::processEvents();
  program.WaitApplyIdle(5000);
  QCoreApplication::processEvents();
  int rc = 0;
  const std::pair<QWidget*, const char*> shots[] = {{&adv, "dpi-page.png"},
                                                    {&led, "lighting-page.png"}};
  for (const auto& [w, name] : shots) {
    const std::string path = out + "/" + name;
    if (!w->grab().toImage().save(QString::fromStdString(path), "PNG")) {
      std::fprintf(stderr, "page_shots: cannot write %s\n", path.c_str());
      rc = 1;
    } else {
      std::printf("%s\n", path.c_str());
    }
  }
  sink.SetHandler({});
  program.Exit();
  tolvane::ui::ReleaseMenuPictures();
  return rc;
}

int Latency(const std::string& data, int runs, const std::string& user) {
  tolvane::ui::QtEventSink sink;
  tolvane::Program program(sink);
  Probe probe;
  if (!StartProgram(program, data, user, "pro:cid=10,mid=1,latency=1", &probe)) return 1;
  tolvane::ui::SetSkinDir(data + "/skins/");
  tolvane::MemoryPointerSettings pointer;
  tolvane::ui::DialogChooser chooser;
  CAdvDlg adv(nullptr, program, pointer, chooser);
  const std::vector<int> table = adv.DpiTable();
  if (table.size() < 2) return 1;
  // As shipped the writer pauses 10 ms before a DPI write to pace the
  // device; the second pass leaves the pauses out to show what remains.
  std::printf("runs %d per pass, 1 ms mouse\n", runs);
  for (const bool pacing : {true, false}) {
    tolvane::SetProfilePacing(pacing);
    std::vector<double> ms, floor, call;
    for (int i = 0; i < runs; ++i) {
      program.WaitApplyIdle(5000);
      QCoreApplication::processEvents();
      const int value = table[size_t(i % 2 ? 10 : 20)];
      probe.ackNs = 0;
      probe.sent = 0;
      probe.waiting = true;
      const int64_t t0 = Now();
      // What the level bar posts on release, handled as the page handles it.
      tolvane::ui::SendUiMessage(&adv, tolvane::ui::WM_XYSLIDER_SET, uintptr_t(value),
                                 intptr_t(144 + 2) | intptr_t(1) << 16);
      call.push_back(double(Now() - t0) / 1e6);
      while (probe.ackNs == 0 && Now() - t0 < 5'000'000'000) std::this_thread::yield();
      probe.waiting = false;
      if (probe.ackNs == 0) {
        std::fprintf(stderr, "page_shots: no acknowledged write in run %d\n", i);
        return 1;
      }
      ms.push_back(double(probe.ackNs - t0) / 1e6);
      floor.push_back(double(probe.sent.load()) * 1.0 + (pacing ? 10.0 : 0.0));
    }
    std::sort(ms.begin(), ms.end());
    std::sort(floor.begin(), floor.end());
    std::sort(call.begin(), call.end());
    const auto at = [](const std::vector<double>& v, double q) {
      return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
    };
    std::printf("%s:\n", pacing ? "with the writer's pacing pause" : "without pacing");
    std::printf("  release -> acknowledged write: median %.2f ms, p90 %.2f ms, max %.2f ms\n",
                at(ms, 0.5), at(ms, 0.9), ms.back());
    std::printf("  floor (exchanges x 1 ms%s): median %.0f ms, max %.0f ms\n",
                pacing ? " + 10 ms pause" : "", at(floor, 0.5), floor.back());
    std::printf("  the page's handling on the window's thread: median %.3f ms, max %.3f ms\n",
                at(call, 0.5), call.back());
  }
  tolvane::SetProfilePacing(true);
  program.Exit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string data, out, mouse = "pro:cid=10,mid=1,link=wireless";
  int runs = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--data")) data = argv[i + 1];
    else if (!std::strcmp(argv[i], "--out")) out = argv[i + 1];
    else if (!std::strcmp(argv[i], "--mouse")) mouse = argv[i + 1];
    else if (!std::strcmp(argv[i], "--latency")) runs = std::atoi(argv[i + 1]);
  }
  if (data.empty() || (out.empty() && runs <= 0)) {
    std::fprintf(stderr, "usage: page_shots --data DIR (--out DIR [--mouse SPEC] | --latency N)\n");
    return 2;
  }
  QApplication app(argc, argv);
  const std::string user = std::filesystem::temp_directory_path().string() + "/page_shots." +
                           std::to_string(Now()) + "/";
  std::filesystem::create_directories(user);
  const int rc = runs > 0 ? Latency(data, runs, user) : Shots(data, out, user, mouse);
  std::filesystem::remove_all(user);
  return rc;
}
