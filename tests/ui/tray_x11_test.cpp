// The window program on a real X system tray: an Xvfb of the test's own,
// trayer (an XEMBED tray host) on it, and the built `tolvane` run as a user
// runs it. What the test checks is what the X server holds: which of the
// program's windows are mapped, and whether its icon window sits inside the
// tray host. Clicks are real pointer events (XTEST).
#include <gtest/gtest.h>
// Xlib's macros (None, Bool, ...) after the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "desktop/child_server.h"
#include "support/temp_folder.h"

extern char** environ;

namespace tolvane::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWindowWidth = 1070, kWindowHeight = 750;
constexpr int kMinimiseX = 998, kMinimiseY = 15;  // the title strip's minimise button
// How long a tray host that comes late may wait for the icon.
constexpr int kLateTrayMs = 5000;

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

// A program started with a changed environment and its output in a file;
// stopped with SIGTERM (then SIGKILL) when the object goes.
class Process {
 public:
  // `env` entries "NAME=value" replace or add; "NAME" alone removes.
  Process(std::vector<std::string> argv, const std::vector<std::string>& env,
          const std::string& logFile) {
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) {
      const std::string v = *e;
      bool replaced = false;
      for (const std::string& n : env)
        replaced |= v.rfind(n.substr(0, n.find('=')) + "=", 0) == 0;
      if (!replaced) vars.push_back(v);
    }
    for (const std::string& n : env)
      if (n.find('=') != std::string::npos) vars.push_back(n);
    std::vector<char*> args, envp;
    for (std::string& a : argv) args.push_back(a.data());
    for (std::string& v : vars) envp.push_back(v.data());
    args.push_back(nullptr);
    envp.push_back(nullptr);
    const int out = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_ = fork();
    if (pid_ == 0) {
      if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
      }
      execvpe(args[0], args.data(), envp.data());
      _exit(127);
    }
    if (out >= 0) close(out);
  }
  ~Process() { Stop(2000); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t Pid() const { return pid_; }
  // SIGTERM, then up to `ms` for the end. The exit status; -1 when it did not
  // end by itself in time (it is killed) or ended by a signal.
  int Stop(int ms) {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() > end) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
};

bool WaitFor(const std::function<bool()>& done, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Windows go away between two requests; their errors are expected.
int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

struct ProgramWindow {
  Window id = 0;
  bool topLevel = false;  // a child of the root (not embedded anywhere)
  bool viewable = false;
  int width = 0, height = 0;
};

// The X side of one display: the program's windows and the tray.
class XView {
 public:
  explicit XView(const std::string& display)
      : d_(XOpenDisplay(display.c_str())), oldHandler_(XSetErrorHandler(IgnoreXError)) {}
  ~XView() {
    if (d_) XCloseDisplay(d_);
    XSetErrorHandler(oldHandler_);
  }
  XView(const XView&) = delete;
  XView& operator=(const XView&) = delete;
  bool Open() const { return d_ != nullptr; }

  bool TrayOwned() { return XGetSelectionOwner(d_, Intern("_NET_SYSTEM_TRAY_S0")) != 0; }

  // Every window whose _NET_WM_PID is `pid`.
  std::vector<ProgramWindow> WindowsOf(pid_t pid) {
    std::vector<ProgramWindow> out;
    Walk(DefaultRootWindow(d_), pid, out);
    return out;
  }
  // The main window (its size tells it), or an empty one.
  ProgramWindow Main(pid_t pid) {
    for (const ProgramWindow& w : WindowsOf(pid))
      if (w.topLevel && w.width == kWindowWidth && w.height == kWindowHeight) return w;
    return {};
  }
  // The icon: a mapped window of the program that the tray host took in.
  ProgramWindow DockedIcon(pid_t pid) {
    for (const ProgramWindow& w : WindowsOf(pid))
      if (!w.topLevel && w.viewable) return w;
    return {};
  }
  bool AnyTopLevelMapped(pid_t pid) {
    for (const ProgramWindow& w : WindowsOf(pid))
      if (w.topLevel && w.viewable) return true;
    return false;
  }
  // Mapped as an icon: the hints ask the window manager for the iconic state
  // and the window says it is hidden.
  bool Iconic(Window w) {
    bool hinted = false;
    if (XWMHints* h = XGetWMHints(d_, w)) {
      hinted = (h->flags & StateHint) && h->initial_state == IconicState;
      XFree(h);
    }
    return hinted && HasState(w, "_NET_WM_STATE_HIDDEN");
  }
  // A left click at (x, y) of window `w`.
  void Click(Window w, int x, int y) {
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(d_, w, DefaultRootWindow(d_), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(d_, -1, rx, ry, 0);
    XTestFakeButtonEvent(d_, 1, True, 0);
    XTestFakeButtonEvent(d_, 1, False, 0);
    XSync(d_, False);
  }

 private:
  Atom Intern(const char* name) { return XInternAtom(d_, name, False); }

  long Pid(Window w) {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d_, w, Intern("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &type, &format,
                           &n, &after, &data) == Success &&
        data && n == 1 && format == 32)
      pid = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return pid;
  }

  bool HasState(Window w, const char* state) {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(d_, w, Intern("_NET_WM_STATE"), 0, 32, False, XA_ATOM, &type, &format, &n,
                           &after, &data) == Success && data && format == 32) {
      const auto* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < n; ++i) found |= atoms[i] == Intern(state);
    }
    if (data) XFree(data);
    return found;
  }

  void Walk(Window parent, pid_t pid, std::vector<ProgramWindow>& out) {
    Window root, up, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d_, parent, &root, &up, &children, &n)) return;
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (Pid(children[i]) == pid && XGetWindowAttributes(d_, children[i], &a))
        out.push_back({children[i], parent == root, a.map_state == IsViewable, a.width, a.height});
      Walk(children[i], pid, out);
    }
    if (children) XFree(children);
  }

  ::Display* d_;
  XErrorHandler oldHandler_;
};

class TrayX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    if (!OnPath("trayer")) GTEST_SKIP() << "no X tray host (trayer) is installed";
    ASSERT_FALSE(display_.empty()) << "Xvfb did not start";
    chmod(runtime_.Root().c_str(), 0700);
    x_ = std::make_unique<XView>(display_);
    ASSERT_TRUE(x_->Open());
  }

  std::unique_ptr<Process> StartTrayHost() {
    auto host = std::make_unique<Process>(
        std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                 "pixel", "--width", "100", "--heighttype", "pixel", "--height",
                                 "32"},
        std::vector<std::string>{"DISPLAY=" + display_}, home_.Path("trayer.log"));
    EXPECT_TRUE(WaitFor([&] { return x_->TrayOwned(); }, 10000)) << "the tray host took no tray";
    return host;
  }

  // The window program started hidden (-s) on two virtual mice, on the xcb
  // platform, with nothing of the user's session: no session bus (the tray
  // is the X one), folders of its own.
  std::unique_ptr<Process> StartHidden() {
    const std::string bin = TOLVANE_BINARY_DIR;
    // In a sanitizer build the X and font libraries' caches, kept to the
    // process's end, are not the program's leaks.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions =
        asan ? "ASAN_OPTIONS=" + std::string(asan) + ":detect_leaks=0" : "ASAN_OPTIONS";
    return std::make_unique<Process>(
        std::vector<std::string>{bin + "bin/tolvane", "-s", "--data-dir", bin + "share/tolvane",
                                 "--user-dir", home_.Path("user"), "--simulate", "pro",
                                 "--simulate", "pro+:link=wireless"},
        std::vector<std::string>{"DISPLAY=" + display_, "QT_QPA_PLATFORM=xcb",
                                 "TOLVANE_POINTER_SETTINGS=none", "DBUS_SESSION_BUS_ADDRESS",
                                 "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=" + runtime_.Root(),
                                 "XDG_CONFIG_HOME=" + home_.Path("config"),
                                 "XDG_CACHE_HOME=" + home_.Path("cache"),
                                 "HOME=" + home_.Root(), asanOptions},
        log_);
  }

  std::string ProgramLog() const { return "program output:\n" + ReadFileBytes(log_); }

  ChildServer xvfb_{{"Xvfb", "-displayfd", "{fd}", "-noreset", "-nolisten", "tcp", "-screen", "0",
                     "1280x1024x24"}};
  std::string display_ = xvfb_.Line().empty() ? "" : ":" + xvfb_.Line();
  TempFolder home_{"tray"}, runtime_{"tray-run"};
  std::string log_ = home_.Path("tolvane.log");
  std::unique_ptr<XView> x_;
};

TEST_F(TrayX11Test, HiddenStartLivesInTheTrayUntilTheIconIsClicked) {
  auto host = StartTrayHost();
  auto program = StartHidden();
  const pid_t pid = program->Pid();
  ASSERT_TRUE(WaitFor([&] { return x_->DockedIcon(pid).id != 0; }, 20000))
      << "no icon in the tray\n" << ProgramLog();
  // The icon is in; the window stays unmapped (given a moment to go wrong).
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(x_->AnyTopLevelMapped(pid));

  const ProgramWindow icon = x_->DockedIcon(pid);
  x_->Click(icon.id, icon.width / 2, icon.height / 2);
  ASSERT_TRUE(WaitFor([&] { return x_->Main(pid).viewable; }, 5000))
      << "a click on the icon did not show the window\n" << ProgramLog();

  x_->Click(x_->Main(pid).id, kMinimiseX, kMinimiseY);
  EXPECT_TRUE(WaitFor([&] { return !x_->Main(pid).viewable; }, 5000))
      << "minimise did not hide the window into the tray";
  EXPECT_NE(x_->DockedIcon(pid).id, 0u);
  // SIGTERM runs the whole exit and ends the program normally.
  EXPECT_EQ(program->Stop(15000), 0) << ProgramLog();
}

TEST_F(TrayX11Test, WithoutATrayHiddenStartIconifiesAndALateTrayTakesTheIcon) {
  auto program = StartHidden();
  const pid_t pid = program->Pid();
  ASSERT_TRUE(WaitFor([&] { return x_->Main(pid).id != 0 && x_->Iconic(x_->Main(pid).id); }, 20000))
      << "a hidden start without a tray did not map the window iconified\n" << ProgramLog();
  EXPECT_EQ(x_->DockedIcon(pid).id, 0u);

  auto host = StartTrayHost();
  const auto hostUp = Clock::now();
  ASSERT_TRUE(WaitFor([&] { return x_->DockedIcon(pid).id != 0; }, kLateTrayMs + 2000))
      << "the icon did not come to the late tray\n" << ProgramLog();
  EXPECT_LE(Clock::now() - hostUp, std::chrono::milliseconds(kLateTrayMs));

  // Now that there is a tray, the window shown from it minimises into it.
  const ProgramWindow icon = x_->DockedIcon(pid);
  x_->Click(icon.id, icon.width / 2, icon.height / 2);
  ASSERT_TRUE(WaitFor([&] { return !x_->Iconic(x_->Main(pid).id); }, 5000)) << ProgramLog();
  x_->Click(x_->Main(pid).id, kMinimiseX, kMinimiseY);
  EXPECT_TRUE(WaitFor([&] { return !x_->Main(pid).viewable; }, 5000))
      << "minimise did not use the tray that came late";
  EXPECT_EQ(program->Stop(15000), 0) << ProgramLog();
}

}  // namespace
}  // namespace tolvane::test
