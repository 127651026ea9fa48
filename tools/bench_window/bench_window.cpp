// Start-up, idle and stall figures of the main window on two virtual mice,
// each beside a bare frameless 1070 x 750 Qt window measured in the same run.
//
//   bench_window [--runs N] [--idle-seconds S] [--data-dir DIR]
//
// As the program does, the window's children map the skin's pictures from a
// picture cache (a folder of the run's own): one start that fills it is made
// first and its figure printed apart, as a first start after installing or
// changing the skin; the start-up figures are those of later starts.
//
// Every figure comes from a child process (this program again, with
// --child): start-up is the time from the parent's exec of the child to the
// end of the window's first paint, peak memory the child's maximum resident
// size; idle wake-ups are the child's context switches (all threads) per
// minute with the window shown and then hidden; the stall is the longest gap
// between the ticks of a 1 ms timer on the window's thread while a mouse
// whose replies take 900 ms is chosen and then unplugged.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/paths.h"
#include "config/catalogue.h"
#include "platform/memory_use.h"
#include "program/app_core.h"
#include "program/program.h"
#include "sim/sim_transport.h"
#include "ui/dev_dlg.h"
#include "ui/main_window.h"
#include "ui/menu_dlg.h"
#include "ui/picture_cache.h"
#include "ui/program_backend.h"
#include "ui/qt_event_sink.h"
#include "ui/run_window.h"
#include "ui/ui_style.h"

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: one clock for both processes

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

long Switches() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_nvcsw + u.ru_nivcsw;
}

// Context switches of each thread of this process, by thread id, with the
// thread's name: which threads wake up while the program idles.
struct ThreadSwitches {
  std::string name;
  long switches = 0;
};
std::map<std::string, ThreadSwitches> SwitchesByThread() {
  std::map<std::string, ThreadSwitches> out;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/task")) {
    ThreadSwitches t;
    std::ifstream comm(e.path() / "comm");
    std::getline(comm, t.name);
    std::ifstream status(e.path() / "status");
    for (std::string line; std::getline(status, line);) {
      const auto colon = line.find(':');
      if (colon == std::string::npos) continue;
      const std::string key = line.substr(0, colon);
      if (key == "voluntary_ctxt_switches" || key == "nonvoluntary_ctxt_switches")
        t.switches += std::atol(line.c_str() + colon + 1);
    }
    out[e.path().filename().string()] = t;
  }
  return out;
}

// The threads that switched between two snapshots, busiest first, per minute.
std::string Wakers(const std::map<std::string, ThreadSwitches>& before,
                   const std::map<std::string, ThreadSwitches>& after, int seconds) {
  std::vector<std::pair<long, std::string>> rows;
  for (const auto& [tid, t] : after) {
    auto it = before.find(tid);
    const long n = t.switches - (it != before.end() ? it->second.switches : 0);
    if (n > 0) rows.emplace_back(n, t.name + "/" + tid);
  }
  std::sort(rows.rbegin(), rows.rend());
  std::string text;
  for (const auto& [n, who] : rows)
    text += " " + who + "=" + std::to_string(long(n * 60.0 / seconds));
  return text.empty() ? " none" : text;
}

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Calls `fn` once, right after the first paint of `w` has ended.
class FirstPaint : public QObject {
 public:
  FirstPaint(QWidget* w, std::function<void()> fn) : fn_(std::move(fn)) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && fn_) {
      auto fn = std::move(fn_);
      fn_ = nullptr;
      QTimer::singleShot(0, this, fn);
    }
    return false;
  }

 private:
  std::function<void()> fn_;
};

// The longest gap between the ticks of a 1 ms timer.
class StallMeter : public QObject {
 public:
  StallMeter() {
    timer_.setInterval(1);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
      const qint64 now = clock_.nsecsElapsed();
      if (last_ >= 0) longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    clock_.start();
    timer_.start();
  }
  double LongestMs() const { return double(longest_) / 1e6; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = -1, longest_ = 0;
};

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The child: one window (bare or the program's) and one phase.
int RunChild(const std::string& kind, const std::string& phase, const std::string& dataDir,
             int idleSeconds, std::unique_ptr<tolvane::ui::PicturePreload> preload, int64_t t0) {
  std::unique_ptr<QWidget> bare;
  std::unique_ptr<tolvane::ui::QtEventSink> sink;
  std::unique_ptr<tolvane::Program> program;
  std::unique_ptr<tolvane::ui::ProgramBackend> backend;
  std::unique_ptr<tolvane::ui::CTolvaneDlg> window;
  std::unique_ptr<tolvane::ui::FontWarmUp> fonts;
  QTemporaryDir userDir;
  QWidget* shown = nullptr;
  const int64_t appNs = NowNs();       // the QApplication made
  int64_t startedNs = 0, builtNs = 0, shownNs = 0;  // the program started, the window built, shown
  if (kind == "bare") {
    bare = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
    bare->setFixedSize(1070, 750);
    bare->show();
    shown = bare.get();
  } else {
    sink = std::make_unique<tolvane::ui::QtEventSink>(qApp);
    program = std::make_unique<tolvane::Program>(*sink);
    auto visible = std::make_shared<std::atomic<bool>>(false);
    tolvane::ProgramOptions po;
    po.dataDir = dataDir;
    po.userDir = userDir.path().toStdString();
    po.singleInstance = false;
    po.simulate = {"pro", "pro+:link=wireless"};
    po.windowVisible = [visible] { return visible->load(); };
    fonts = std::make_unique<tolvane::ui::FontWarmUp>();  // as the program does
    if (program->Start(po) != tolvane::StartResult::Ok) {
      std::fprintf(stderr, "bench_window: the program did not start\n");
      return 1;
    }
    startedNs = NowNs();
    tolvane::ui::ApplyCatalogueStyle(tolvane::Cat());
    tolvane::ui::LoadMenuPictures();
    backend = std::make_unique<tolvane::ui::ProgramBackend>(*program, *sink, visible);
    tolvane::ui::CTolvaneDlg::Options wo;
    wo.trayAvailable = [] { return false; };
    window = std::make_unique<tolvane::ui::CTolvaneDlg>(*backend, wo);
    if (!window->Ready()) return 1;
    tolvane::ui::AddProgramPages(*program, *window);
    builtNs = NowNs();
    sink->SetHandler([w = window.get()](uint32_t m, uintptr_t wp, intptr_t lp) { w->OnEvent(m, wp, lp); });
    window->Start();
    shownNs = NowNs();
    shown = window.get();
  }

  int rc = 0;
  FirstPaint first(shown, [&] {
    if (phase == "startup") {
      const int64_t now = NowNs();
      std::printf("startup_ms %.2f peak_kib %ld", double(now - t0) / 1e6, PeakKiB());
      std::printf(" app_ms %.2f", double(appNs - t0) / 1e6);
      if (startedNs)
        std::printf(" program_ms %.2f window_ms %.2f show_ms %.2f paint_ms %.2f",
                    double(startedNs - appNs) / 1e6, double(builtNs - startedNs) / 1e6,
                    double(shownNs - builtNs) / 1e6, double(now - shownNs) / 1e6);
      std::printf("\n");
    } else if (phase == "idle") {
      Wait(3000);  // discovery, reads and the first battery answers settle
      long s0 = Switches();
      auto t0 = SwitchesByThread();
      Wait(idleSeconds * 1000);
      const long shownSw = Switches() - s0;
      auto t1 = SwitchesByThread();
      std::fprintf(stderr, "%s shown, per thread per minute:%s\n", kind.c_str(),
                   Wakers(t0, t1, idleSeconds).c_str());
      shown->hide();
      s0 = Switches();
      t0 = SwitchesByThread();
      Wait(idleSeconds * 1000);
      const long hiddenSw = Switches() - s0;
      t1 = SwitchesByThread();
      std::fprintf(stderr, "%s hidden, per thread per minute:%s\n", kind.c_str(),
                   Wakers(t0, t1, idleSeconds).c_str());
      std::printf("wakeups_per_min shown %.0f hidden %.0f\n", shownSw * 60.0 / idleSeconds,
                  hiddenSw * 60.0 / idleSeconds);
    } else if (phase == "pages") {
      // The pages not on the first frame are made now, one per turn of the
      // event loop: the longest turn, and the peak memory once they are made.
      StallMeter meter;
      Wait(2000);
      std::printf("pages_stall_ms %.2f pages_peak_kib %ld\n", meter.LongestMs(), PeakKiB());
    } else {  // stall
      Wait(1000);
      StallMeter meter;
      if (program && window) {
        auto mouse = program->Simulated()->Mice().at(0);
        mouse->SetLatency(900);
        const int entry = window->DevicePage()->TileCount() > 0 ? window->DevicePage()->TileEntry(0) : -1;
        window->OnCurrentDeviceChanged(entry);
        Wait(2000);
        program->Simulated()->Unplug(mouse);
        Wait(2000);
      } else {
        Wait(4000);
      }
      std::printf("stall_ms %.2f\n", meter.LongestMs());
    }
    std::fflush(stdout);
    qApp->quit();
  });
  QApplication::exec();
  if (window) {
    sink->SetHandler({});
    window.reset();
    backend.reset();
    program->Exit();
  }
  preload.reset();  // joined while the application object still lives
  if (tolvane::ui::PictureCache* cache = tolvane::ui::ThePictureCache()) cache->Flush();
  return rc;
}

// Runs a child and returns its one line of figures.
std::map<std::string, double> Child(const QString& self, const QString& kind, const QString& phase,
                                    const QStringList& extra) {
  // The child before this one saved its files at exit: their writing back is
  // finished, and the machine given a moment, before this child starts, so
  // that neither kind of child pays for the other's exit.
  ::sync();
  QThread::msleep(100);
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("BENCH_EXEC_NS", QString::number(NowNs()));
  p.setProcessEnvironment(env);
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);  // the per-thread lines
  p.start(self, QStringList{"--child", kind, phase} + extra);
  if (!p.waitForFinished(300000) || p.exitCode() != 0) {
    std::fprintf(stderr, "bench_window: child %s %s failed\n", qPrintable(kind), qPrintable(phase));
    return {};
  }
  std::map<std::string, double> out;
  const QStringList words = QString::fromUtf8(p.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts);
  for (int i = 0; i + 1 < words.size(); ++i) {
    bool ok = false;
    const double v = words[i + 1].trimmed().toDouble(&ok);
    if (ok) out[words[i].toStdString()] = v;
  }
  return out;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string dataDir, cacheDir, childKind, childPhase;
  int runs = 5, idleSeconds = 20;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--data-dir" && i + 1 < argc) dataDir = argv[++i];
    else if (a == "--cache-dir" && i + 1 < argc) cacheDir = argv[++i];
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--idle-seconds" && i + 1 < argc) idleSeconds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--child" && i + 2 < argc) {
      childKind = argv[++i];
      childPhase = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench_window [--runs N] [--idle-seconds S] [--data-dir DIR]\n");
      return 2;
    }
  }
  if (!childKind.empty()) {
    const char* execNs = std::getenv("BENCH_EXEC_NS");
    const int64_t t0 = execNs ? std::atoll(execNs) : NowNs();
    if (childKind == "window") tolvane::platform::ReturnLargeBlocksWhenFreed();  // as the program
    QApplication app(argc, argv);
    // As the program does: the skin's pictures are decoded from right after
    // the application object is made.
    std::unique_ptr<tolvane::ui::PictureCache> cache;
    std::unique_ptr<tolvane::ui::PicturePreload> preload;
    if (childKind == "window") {
      if (!cacheDir.empty()) cache = std::make_unique<tolvane::ui::PictureCache>(cacheDir);
      tolvane::UsePlatformFolders();
      tolvane::ResolveProgramDir(dataDir);
      preload = std::make_unique<tolvane::ui::PicturePreload>(tolvane::ui::StartPictures(),
                                                               tolvane::ui::PagePictures());
    }
    return RunChild(childKind, childPhase, dataDir, idleSeconds, std::move(preload), t0);
  }
  QApplication app(argc, argv);

  const QString self = QCoreApplication::applicationFilePath();
  QStringList extra{"--idle-seconds", QString::number(idleSeconds)};
  if (!dataDir.empty()) extra << "--data-dir" << QString::fromStdString(dataDir);
  QTemporaryDir pictures;
  extra << "--cache-dir" << pictures.path();
  {
    const auto first = Child(self, "window", "startup", extra);
    if (first.empty()) return 1;
    std::printf("first start, its pictures decoded and stored: window %.1f ms\n", first.at("startup_ms"));
  }
  std::vector<double> bareMs, winMs, bareKiB, winKiB, bareAppMs, appMs, programMs, windowMs, showMs,
      paintMs;
  for (int r = 0; r < runs; ++r) {  // alternating, so that both see the same machine
    auto b = Child(self, "bare", "startup", extra);
    auto w = Child(self, "window", "startup", extra);
    if (b.empty() || w.empty()) return 1;
    bareMs.push_back(b["startup_ms"]);
    winMs.push_back(w["startup_ms"]);
    bareKiB.push_back(b["peak_kib"]);
    winKiB.push_back(w["peak_kib"]);
    bareAppMs.push_back(b["app_ms"]);
    appMs.push_back(w["app_ms"]);
    programMs.push_back(w["program_ms"]);
    windowMs.push_back(w["window_ms"]);
    showMs.push_back(w["show_ms"]);
    paintMs.push_back(w["paint_ms"]);
  }
  const double bm = Median(bareMs), wm = Median(winMs);
  const double bk = Median(bareKiB), wk = Median(winKiB);
  std::printf("start-up to first paint (median of %d): bare %.1f ms, window %.1f ms, ratio %.2f (goal <= 1.5)\n",
              runs, bm, wm, bm > 0 ? wm / bm : 0.0);
  std::printf("  of which (medians): exec to the application object %.1f ms (bare %.1f ms), the "
              "program started %.1f ms, the window built %.1f ms, shown %.1f ms, first frame "
              "painted %.1f ms\n",
              Median(appMs), Median(bareAppMs), Median(programMs), Median(windowMs), Median(showMs),
              Median(paintMs));
  std::printf("peak memory: bare %.1f MiB, window %.1f MiB, difference %.1f MiB (goal <= 25)\n",
              bk / 1024, wk / 1024, (wk - bk) / 1024);
  auto bi = Child(self, "bare", "idle", extra);
  auto wi = Child(self, "window", "idle", extra);
  std::printf("context switches per minute, shown / hidden (%d s each): bare %.0f / %.0f, window %.0f / %.0f\n",
              idleSeconds, bi["shown"], bi["hidden"], wi["shown"], wi["hidden"]);
  std::vector<double> barePages, winPages, barePagesKiB, winPagesKiB;
  for (int r = 0; r < std::min(runs, 5); ++r) {
    auto b = Child(self, "bare", "pages", extra);
    auto w = Child(self, "window", "pages", extra);
    barePages.push_back(b["pages_stall_ms"]);
    winPages.push_back(w["pages_stall_ms"]);
    barePagesKiB.push_back(b["pages_peak_kib"]);
    winPagesKiB.push_back(w["pages_peak_kib"]);
  }
  std::printf("longest gap of a 1 ms timer in the 2 s after the first frame (the pages are made; "
              "median of %d): bare %.1f ms, window %.1f ms (goal < 16)\n",
              int(winPages.size()), Median(barePages), Median(winPages));
  std::printf("peak memory once the pages are made: bare %.1f MiB, window %.1f MiB, difference "
              "%.1f MiB (goal <= 25)\n",
              Median(barePagesKiB) / 1024, Median(winPagesKiB) / 1024,
              (Median(winPagesKiB) - Median(barePagesKiB)) / 1024);
  auto bs = Child(self, "bare", "stall", extra);
  auto ws = Child(self, "window", "stall", extra);
  std::printf("longest gap of a 1 ms timer on the window's thread: bare %.1f ms, window with a 900 ms "
              "mouse chosen and unplugged %.1f ms (goal < 16)\n",
              bs["stall_ms"], ws["stall_ms"]);
  return 0;
}
