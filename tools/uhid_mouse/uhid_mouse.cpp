// uhid_mouse: runs a virtual mouse behind a real kernel HID device.
//
//   uhid_mouse [--data-dir DIR] [--destroy-after N] [--trace] SPEC
//
// SPEC is a virtual-mouse spec as tolvanectl --simulate takes it
// ("pro:mid=1", "pro+:cid=20,mid=2"); the model and its USB ids come from the
// catalogue of the installation data. Every USB interface of the mouse
// becomes a uhid device, so hidraw nodes appear as for a plugged-in mouse.
// The mouse is unplugged (UHID_DESTROY) on SIGTERM, SIGINT or SIGHUP, or after
// N reports (command reports in plus replies out) with --destroy-after N,
// which cuts an exchange in the middle. Needs write access to /dev/uhid.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/notifier.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "program/app_core.h"
#include "sim/sim_spec.h"
#include "uhid_mouse/uhid_bridge.h"

using namespace tolvane;

namespace {

void Say(const std::string& text) { std::fprintf(stderr, "uhid_mouse: %s\n", text.c_str()); }

std::string Errno() { return std::strerror(errno); }

struct Fds {
  std::vector<int> fds;
  ~Fds() {
    for (int fd : fds) ::close(fd);
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::string dataDir, spec, uhidPath = "/dev/uhid";
  int destroyAfter = -1;
  bool trace = false;
  CLI::App app{"Runs a virtual mouse behind a kernel HID device (uhid).", "uhid_mouse"};
  app.add_option("--data-dir", dataDir, "Installation data folder");
  app.add_option("--destroy-after", destroyAfter, "Unplug after N reports (in + out)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--uhid", uhidPath, "The uhid device node");
  app.add_flag("--trace", trace, "Print every report on stderr");
  app.add_option("spec", spec, "Virtual mouse: FAMILY[:key=value,...]")->required();
  CLI11_PARSE(app, argc, argv);

  UsePlatformFolders();
  ResolveProgramDir(dataDir);
  Catalogue& cat = g_Catalogue();
  StderrNotifier notifier;
  const std::string cfg = ProgramDir + "cfg.ini";
  if (!LoadCatalogue(cfg, cat, notifier) || cat.ModelsInUse().empty()) {
    Say("no usable catalogue in " + cfg);
    return 1;
  }
  const sim::SimCatalogue simCat = sim::SimCatalogueFrom(cat);
  std::string err;
  std::shared_ptr<sim::VirtualMouse> mouse = sim::MakeVirtualMouse(spec, simCat, &err);
  if (!mouse) {
    Say(err.empty() ? spec + ": not a virtual mouse" : err);
    return 2;
  }
  const sim::MouseState state = mouse->Snapshot();
  const DevCfg* model = cat.FindModel(state.cid, state.mid);
  const std::string name = model ? std::string(model->szName) : "Generic mouse";
  if (destroyAfter >= 0) mouse->UnplugAfterReports(destroyAfter);

  // Signals are taken through a descriptor; block them before any thread
  // starts so that none of them gets one.
  sigset_t mask;
  sigemptyset(&mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&mask, s);
  pthread_sigmask(SIG_BLOCK, &mask, nullptr);
  const int sfd = ::signalfd(-1, &mask, SFD_CLOEXEC);
  if (sfd < 0) {
    Say("signalfd: " + Errno());
    return 1;
  }
  Fds fds;
  fds.fds.push_back(sfd);

  std::mutex traceMu;
  ReportTraceFn traceFn;
  if (trace) {
    traceFn = [&traceMu](TraceDir dir, const Report& r) {
      std::lock_guard lk(traceMu);
      std::fprintf(stderr, "uhid_mouse %s\n", FormatReportTrace(dir, r).c_str());
    };
  }
  std::vector<int> uhid;
  auto writer = [&uhid](size_t d, const uhid_event& ev) {
    for (;;) {
      const ssize_t n = ::write(uhid[d], &ev, sizeof ev);
      if (n == static_cast<ssize_t>(sizeof ev)) return true;
      if (n < 0 && errno == EINTR) continue;
      return false;
    }
  };
  uhid::UhidBridge bridge(mouse, writer, traceFn);
  for (size_t d = 0; d < bridge.DeviceCount(); ++d) {
    const int fd = ::open(uhidPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      Say("cannot open " + uhidPath + ": " + Errno());
      return 1;
    }
    uhid.push_back(fd);
    fds.fds.push_back(fd);
  }
  if (!bridge.Create(name)) {
    Say("UHID_CREATE2 failed: " + Errno());
    return 1;
  }
  std::printf("uhid_mouse: %s, %s, %04x:%04x, %zu interfaces\n", name.c_str(),
              sim::FamilyName(mouse->family()), unsigned(mouse->vid()), unsigned(mouse->pid()),
              bridge.DeviceCount());
  std::fflush(stdout);

  std::thread pump([&bridge] {
    while (bridge.PumpInput(1000)) {
    }
  });

  int status = 0;
  std::vector<pollfd> pfds;
  pfds.push_back({sfd, POLLIN, 0});
  for (int fd : uhid) pfds.push_back({fd, POLLIN, 0});
  auto ev = std::make_unique<uhid_event>();
  while (!bridge.Destroyed()) {
    // Bounded, so that a vanish during an output report is seen at once.
    const int rc = ::poll(pfds.data(), pfds.size(), 200);
    if (rc < 0) {
      if (errno == EINTR) continue;
      Say("poll: " + Errno());
      status = 1;
      break;
    }
    if (pfds[0].revents & POLLIN) {
      signalfd_siginfo si;
      if (::read(sfd, &si, sizeof si) == static_cast<ssize_t>(sizeof si))
        Say("signal " + std::to_string(si.ssi_signo) + ": unplugging");
      break;
    }
    for (size_t d = 0; d < uhid.size(); ++d) {
      if (!(pfds[d + 1].revents & POLLIN)) continue;
      const ssize_t n = ::read(uhid[d], ev.get(), sizeof *ev);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        Say("read: " + Errno());
        status = 1;
        break;
      }
      if (n >= static_cast<ssize_t>(sizeof ev->type)) bridge.HandleEvent(d, *ev);
    }
    if (status) break;
  }
  const bool vanished = bridge.Destroyed();
  bridge.Destroy();
  pump.join();
  if (vanished) {
    Say("vanished after " + std::to_string(bridge.ReportsIn()) + " command reports in and " +
        std::to_string(bridge.ReportsOut()) + " input reports out: unplugged");
  } else {
    Say("unplugged");
  }
  return status;
}
