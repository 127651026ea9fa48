// The operation loop of one soak run, the faults it injects and the totals.
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <thread>

#include "app/notifier.h"
#include "config/catalogue.h"
#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "profile/key_codes.h"
#include "profile/profile_device.h"
#include "soak.h"
#include "soak_rig.h"

namespace tolvane::soak {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

int ThreadCount() {
  DIR* d = opendir("/proc/self/task");
  if (!d) return -1;
  int n = 0;
  while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
  closedir(d);
  return n;
}

void SoakCounts::Add(const SoakCounts& o) {
  runs += o.runs;
  ops += o.ops;
  failuresReported += o.failuresReported;
  unidentified += o.unidentified;
  for (const auto& [k, v] : o.faults) faults[k] += v;
  violations.insert(violations.end(), o.violations.begin(), o.violations.end());
}

std::string Summary(const SoakCounts& c) {
  std::string s = "runs " + std::to_string(c.runs) + ", operations " + std::to_string(c.ops) +
                  ", failures reported " + std::to_string(c.failuresReported) + ", faults";
  int total = 0;
  for (const auto& [k, v] : c.faults) {
    s += " " + k + "=" + std::to_string(v);
    total += v;
  }
  if (c.faults.empty()) s += " none";
  s += " (" + std::to_string(total) + ")";
  if (c.unidentified) s += ", replugged mice connected only by a later scan " + std::to_string(c.unidentified);
  s += ", violations " + std::to_string(c.violations.size());
  return s;
}

namespace {

// Ends the process when an operation runs far beyond its bound: a hang
// cannot be recovered from, so it is reported and the run dies.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Loop(); }) {}
  ~Watchdog() {
    {
      std::lock_guard l(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Arm(const std::string& what, int hardMs) {
    std::lock_guard l(mu_);
    what_ = what;
    deadline_ = Clock::now() + Ms(hardMs);
    armed_ = true;
    cv_.notify_all();
  }
  void Disarm() {
    std::lock_guard l(mu_);
    armed_ = false;
  }

 private:
  void Loop() {
    std::unique_lock l(mu_);
    while (!stop_) {
      if (armed_ && Clock::now() >= deadline_) {
        std::fprintf(stderr, "soak: VIOLATION: operation '%s' hangs; giving up\n", what_.c_str());
        std::fflush(stderr);
        std::abort();
      }
      cv_.wait_for(l, Ms(100));
    }
  }
  std::mutex mu_;
  std::condition_variable cv_;
  bool stop_ = false, armed_ = false;
  std::string what_;
  Clock::time_point deadline_;
  std::thread thread_;
};

const char* GroupName(uint32_t flag) {
  switch (flag) {
    case kApplyButtons: return "buttons";
    case kApplyLights: return "lights";
    case kApplyDpi: return "DPI values";
    case kApplyDpiColor: return "DPI colours";
    case kApplyLevelCount: return "DPI level count";
    case kApplyCurLevel: return "current DPI level";
    case kApplyRate: return "polling rate";
    case kApplyLod: return "lift-off distance";
    case kApplyFixLine: return "angle snapping";
    case kApplyRipple: return "ripple control";
    case kApplyDebounce: return "debounce";
    case kApplySleepTime: return "sleep time";
    case kApplyLightOffOnMove: return "light off while moving";
    case kApplyButtonOption: return "button option";
    case kApplyOption2: return "option 2";
    case kApplySensorSleep: return "sensor sleep";
    case kApplyOption3: return "option 3";
    default: return "several groups";
  }
}

class Runner {
 public:
  Runner(SoakRig& rig, uint32_t seed, const SoakOptions& opt, SoakCounts& c, Watchdog& wd)
      : rig_(rig), rng_(seed), opt_(opt), c_(c), wd_(wd) {}

  void Run() {
    if (!Choose(0)) return;
    for (int i = 0; i < opt_.ops && !dead_; ++i) {
      opIndex_ = i;
      // Faults armed before the operation, or at a random moment during it.
      std::thread during;
      if (Pick(2) == 0) {
        sim::VirtualMouse& v = *Cur().mouse;
        FaultPlan plan = PlanFaults(cur_);
        if (Pick(2) == 0) {
          for (auto& f : plan) f(v);
        } else {
          const int delayMs = Pick(300);
          during = std::thread([&v, delayMs, plan = std::move(plan)] {
            std::this_thread::sleep_for(Ms(delayMs));
            for (auto& f : plan) f(v);
          });
        }
      }
      Step();
      if (during.joinable()) during.join();
      AfterOp();
    }
  }

 private:
  int Pick(int n) { return int(rng_() % uint32_t(n)); }
  const SoakMouse& Cur() const { return rig_.mice[cur_]; }
  const DevCfg& Model() const { return rig_.cat.models[Cur().entry]; }
  int Scale() const { return opt_.boundScale < 1 ? 1 : opt_.boundScale; }
  // Every command is tried Retry times with about a second per reply wait;
  // each armed fault that costs waits adds its worst case.
  int BoundMs() const { return (10000 + 2600 * costly_) * Scale(); }

  void Violation(const std::string& what) {
    c_.violations.push_back("op " + std::to_string(opIndex_) + " (" + opName_ + "): " + what);
    if (opt_.verbose) Say("  VIOLATION " + c_.violations.back());
  }
  void Say(const std::string& s) {
    if (opt_.out)
      opt_.out(s);
    else
      std::printf("%s\n", s.c_str());
  }
  void Fault(const char* kind, int n = 1) { c_.faults[kind] += n; }

  // Runs `fn` under the watchdog and checks its duration against the bound.
  template <class F>
  auto Timed(const std::string& what, F&& fn) {
    const int bound = BoundMs();
    wd_.Arm(opName_ + ": " + what, 2 * bound + 30000 * Scale());
    const auto t0 = Clock::now();
    auto r = fn();
    const int took = int(std::chrono::duration_cast<Ms>(Clock::now() - t0).count());
    wd_.Disarm();
    if (took > bound)
      Violation(what + " took " + std::to_string(took) + " ms, bound " + std::to_string(bound) + " ms");
    return r;
  }

  // Draws the faults to inject on mouse m (counted here) as actions that
  // may run on another thread.
  using FaultPlan = std::vector<std::function<void(sim::VirtualMouse&)>>;
  FaultPlan PlanFaults(size_t m) {
    FaultPlan plan;
    const int n = 1 + Pick(2);
    // Replies that take a few milliseconds leave room for a late one to
    // arrive while a later command waits.
    if (Pick(3) == 0) {
      const int ms = Pick(4);
      plan.push_back([ms](sim::VirtualMouse& v) { v.SetLatency(ms); });
      Fault("slow-replies");
    }
    for (int i = 0; i < n; ++i) {
      switch (Pick(9)) {
        case 0: {
          const int k = 1 + Pick(2);
          plan.push_back([k](sim::VirtualMouse& v) { v.DropReplies(k); });
          Fault("dropped", k);
          costly_ += k;
          break;
        }
        case 1: {
          static const int kLate[] = {200, 1200, 2500};
          const int ms = kLate[Pick(3)];
          plan.push_back([ms](sim::VirtualMouse& v) { v.DelayReplies(1, ms); });
          Fault("late");
          if (ms > 1000) costly_ += 1;
          break;
        }
        case 2:
          plan.push_back([](sim::VirtualMouse& v) { v.WrongIdReplies(1, 0x05); });
          Fault("wrong-id");
          costly_ += 1;
          break;
        case 3: {
          const int k = 1 + Pick(2);
          plan.push_back([k](sim::VirtualMouse& v) { v.FailReplies(k, 0x01); });
          Fault("failing", k);
          break;
        }
        case 4: {
          const int k = 1 + Pick(3);
          plan.push_back([k](sim::VirtualMouse& v) { v.ForeignReplies(k); });
          Fault("foreign", k);
          break;
        }
        case 5: {
          const int k = 1 + Pick(4);
          const uint32_t seed = rng_();
          plan.push_back([k, seed](sim::VirtualMouse& v) { v.SendGarbage(k, seed); });
          Fault("garbage", k);
          break;
        }
        case 6:
          plan.push_back([](sim::VirtualMouse& v) { v.RejectSends(1); });
          Fault("rejected-send");
          break;
        case 7:
          if (rig_.mice[m].plus) {
            plan.push_back([](sim::VirtualMouse& v) { v.StallWrites(1); });
            Fault("stalled-write");
            costly_ += 1;
          }
          break;
        default:
          if (Pick(2) == 0) {
            const int k = 1 + Pick(60);
            plan.push_back([k](sim::VirtualMouse& v) { v.UnplugAfterReports(k); });
            Fault("unplug-mid-op");
          }
          break;
      }
    }
    return plan;
  }

  void Step() {
    const int k = Pick(100);
    if (k < 40)
      ApplyRandomGroup();
    else if (k < 50)
      MacroButton();
    else if (k < 58)
      ReadOp();
    else if (k < 64)
      ExportOp();
    else if (k < 70)
      ImportOp();
    else if (k < 80)
      MacroEdit();
    else if (k < 85)
      ProfileSwitch();
    else if (k < 89 && rig_.mice.size() > 1)
      Choose(size_t(Pick(int(rig_.mice.size()))));
    else if (k < 94)
      UnplugReplug();
    else if (k < 97 && Cur().wireless)
      AsleepOp();
    else
      SaveStores();
  }

  // After every operation: a mouse that vanished comes back, the files load.
  void AfterOp() {
    for (size_t m = 0; m < rig_.mice.size(); ++m) {
      if (rig_.mice[m].mouse->Connected()) continue;
      rig_.mice[m].mouse->UnplugAfterReports(-1);
      rig_.Plug(m);
      Reconnect(m);
    }
    std::vector<std::string> bad;
    CheckUserFiles(rig_.Dir(), bad);
    for (auto& b : bad) Violation(b);
    // A macro's name is its file's name: one name, one macro.
    std::vector<std::string> names;
    for (const StMacro& m : rig_.library->Records()) {
      std::string n = GetMacroName(m);
      std::transform(n.begin(), n.end(), n.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
      if (std::find(names.begin(), names.end(), n) != names.end() &&
          std::find(dupNames_.begin(), dupNames_.end(), n) == dupNames_.end()) {
        dupNames_.push_back(n);
        Violation("two library macros are named \"" + n + "\"");
      }
      names.push_back(n);
    }
  }

  // Waits for discovery to connect a mouse that was plugged in again. An
  // arrival rescans a few times; when faults still armed on the mouse make
  // every identification fail, the mouse stays unconnected until the next
  // scan, as on a real machine. That is counted; a clean mouse that a scan
  // does not connect is a violation.
  bool Reconnect(size_t m) {
    if (Timed("rediscovery", [&] { return rig_.WaitConnected(m, 5000 * Scale()); })) return true;
    sim::VirtualMouse& v = *rig_.mice[m].mouse;
    std::string state = "mouse " + std::to_string(m) + (v.Connected() ? " plugged" : " gone");
    const DevEntryView e = rig_.mgr->List().View(rig_.mice[m].entry);
    state += e.pDev ? (e.bConnected ? ", entry connected to " + e.szCmdPath : ", entry holds a closed object")
                    : ", entry empty";
    state += ", " + std::to_string(rig_.mgr->List().BusySlots().size()) + " probes busy, " +
             std::to_string(rig_.mgr->ScanCount()) + " scans";
    v.DropReplies(0);
    v.DelayReplies(0, 0);
    v.WrongIdReplies(0, 0);
    v.FailReplies(0, 0);
    v.ForeignReplies(0);
    v.RejectSends(0);
    v.StallWrites(0);
    v.UnplugAfterReports(-1);
    v.SetAsleep(false);
    if (!v.Connected()) rig_.Plug(m);  // it vanished again while being identified
    rig_.host->Post([this] { rig_.mgr->Scan(); });
    if (Timed("rescan", [&] { return rig_.WaitConnected(m, 5000 * Scale()); })) {
      ++c_.unidentified;
      if (opt_.verbose) Say("  identification gave up under faults: " + state);
      return true;
    }
    Violation("the mouse was not connected again, not even by a scan without faults: " + state);
    dead_ = true;
    return false;
  }

  // ---- applies

  // Changes the current profile with `edit`, requests the write of
  // flag/data and checks what reached the device.
  void Apply(uint32_t flag, uint32_t data, const std::function<void(ProfileFile&)>& edit,
             int curLevel = -1) {
    opName_ = std::string("apply ") + GroupName(flag);
    if (!rig_.store->Edit(edit)) return;
    auto dev = rig_.Device(cur_);
    if (curLevel >= 0) {
      rig_.devices->SetCurDpiLevel(int(Cur().entry), curLevel);
      if (dev) dev->nCurDpiLevel = curLevel;
    }
    if (dev) curLevel = dev->nCurDpiLevel.load();
    const Eeprom before = Cur().mouse->EepromCopy();
    rig_.recorder.Take(cur_);
    const int done = rig_.session->AppliesDone();
    rig_.session->RequestApplyEx(flag, data);
    if (!Timed("apply", [&] { return rig_.session->WaitApplyIdle(BoundMs() * 2 + 30000); })) {
      Violation("the apply thread did not finish");
      dead_ = true;
      return;
    }
    CheckApplied(flag, data, curLevel, before, done);
  }

  void CheckApplied(uint32_t flag, uint32_t data, int curLevel, const Eeprom& before, int done) {
    ++c_.ops;
    if (rig_.session->AppliesDone() != done + 1)
      Violation("one request gave " + std::to_string(rig_.session->AppliesDone() - done) + " writes");
    const int result = rig_.session->LastApplyResult();
    if (result != 1) ++c_.failuresReported;
    const Eeprom after = Cur().mouse->EepromCopy();
    const std::vector<SentWrite> sent = rig_.recorder.Take(cur_);
    const ProfileFile p = *rig_.store->Current();
    std::vector<std::string> bad;
    CheckApply(before, after, sent,
               ExpectedWrites(p, Model(), Cur().plus, flag, data, curLevel, *rig_.library),
               result == 1, flag, Cur().plus, bad);
    for (auto& b : bad) Violation(b);
    if (opt_.verbose)
      Say("  op " + std::to_string(opIndex_) + " " + opName_ + " flag 0x" + Hex(flag) + " item " +
          std::to_string(int(data)) + ": " + (result == 1 ? "ok" : "failed") + ", " +
          std::to_string(sent.size()) + " writes");
  }

  static std::string Hex(uint32_t v) {
    char t[16];
    std::snprintf(t, sizeof t, "%x", v);
    return t;
  }

  uint32_t Item(int count) { return Pick(4) == 0 ? kAllItems : uint32_t(Pick(count)); }

  void ApplyRandomGroup() {
    static const int kDpis[] = {400, 800, 1200, 1600, 2400, 3200, 6400, 12000, 26000};
    const bool plus = Cur().plus;
    switch (Pick(plus ? 17 : 16)) {
      case 0: {
        const uint32_t item = Item(6);
        const int x = kDpis[Pick(9)], y = Pick(2) ? x : kDpis[Pick(9)];
        return Apply(kApplyDpi, item, [&](ProfileFile& p) {
          for (int i = 0; i < 6; ++i)
            if (item == kAllItems || int(item) == i) {
              p.Dpi[i].dwDpiX = uint32_t(x);
              p.Dpi[i].dwDpiY = uint32_t(y);
            }
        });
      }
      case 1: {
        const uint32_t item = Item(6), color = rng_() & 0xFFFFFF;
        return Apply(kApplyDpiColor, item, [&](ProfileFile& p) {
          for (int i = 0; i < 6; ++i)
            if (item == kAllItems || int(item) == i) p.Dpi[i].dwColor = color ^ uint32_t(i);
        });
      }
      case 2: {
        const int n = 1 + Pick(6);
        return Apply(kApplyLevelCount, 0, [&](ProfileFile& p) { p.nDpiLevels = n; });
      }
      case 3:
        return Apply(kApplyCurLevel, 0, [](ProfileFile&) {}, Pick(6));
      case 4: {
        static const uint32_t kRates[] = {0x125, 0x250, 0x500, 0x1000, 0x2000, 0x4000};
        const uint32_t r = kRates[Pick(plus ? 6 : 4)];
        return Apply(kApplyRate, 0, [&](ProfileFile& p) { p.dwPollingRate = r; });
      }
      case 5: {
        const int v = 1 + Pick(3);
        return Apply(kApplyLod, 0, [&](ProfileFile& p) { p.nLOD = v; });
      }
      case 6: {
        const int v = Pick(2);
        return Apply(kApplyFixLine, 0, [&](ProfileFile& p) { p.nFixLine = v; });
      }
      case 7: {
        const int v = Pick(2);
        return Apply(kApplyRipple, 0, [&](ProfileFile& p) { p.nRipple = v; });
      }
      case 8: {
        const int v = 1 + Pick(30);
        return Apply(kApplyDebounce, 0, [&](ProfileFile& p) { p.nDebounce = v; });
      }
      case 9: {
        const int v = 10 * (1 + Pick(60)) + Pick(10);
        return Apply(kApplySleepTime, 0, [&](ProfileFile& p) { p.nSleepTime = v; });
      }
      case 10: {
        const int v = Pick(2);
        return Apply(kApplyLightOffOnMove, 0, [&](ProfileFile& p) { p.bLightOffOnMove = v; });
      }
      case 11: {
        const int v = Pick(2);
        return Apply(kApplyButtonOption, 0, [&](ProfileFile& p) { p.bButtonOption = v; });
      }
      case 12: {
        const int a = Pick(4), b = 1 + Pick(15);
        return Apply(kApplyOption2 | kApplySensorSleep, 0, [&](ProfileFile& p) {
          p.nOption2 = a;
          p.nSensorSleep = b;
        });
      }
      case 13: {
        uint32_t parts = 1 + uint32_t(Pick(7));
        const uint32_t color = rng_() & 0xFFFFFF;
        const int mode = Pick(7), speed = 1 + Pick(5), bright = 1 + Pick(10);
        const int dmode = Pick(3), dspeed = Pick(5), dbright = Pick(10);
        return Apply(kApplyLights, parts, [&](ProfileFile& p) {
          p.MainLight.nMode = mode;
          p.MainLight.nSpeed = speed;
          p.MainLight.nBright = bright;
          p.MainLight.dwColor = color;
          p.DpiLight.nMode = dmode;
          p.DpiLight.nSpeed = dspeed;
          p.DpiLight.nBright = dbright;
          p.LogoLight.nMode = mode % 4;
          p.LogoLight.nSpeed = speed;
          p.LogoLight.nBright = bright;
          p.LogoLight.dwColor = color ^ 0x123456;
        });
      }
      case 14: {
        static const uint32_t kFuns[] = {kFunLeftClick, 0x01000013, 0x01000012, 0x01000014,
                                         0x01000015};
        const uint32_t item = Item(6), fun = kFuns[Pick(5)];
        return Apply(kApplyButtons, item, [&](ProfileFile& p) {
          const int t = std::clamp(p.nKeyTable, 0, kKeyModes - 1);
          for (int b = 0; b < 6; ++b)
            if (item == kAllItems || int(item) == b) {
              p.Key[t][b].dwFunID = fun;
              p.Key[t][b].dwMacroID = 0;
            }
        });
      }
      case 15: {
        // Several groups in one request, as an import or a restore asks.
        const int n = 1 + Pick(6), x = kDpis[Pick(9)];
        const uint32_t color = rng_() & 0xFFFFFF;
        return Apply(kApplyDpi | kApplyDpiColor | kApplyLevelCount | kApplyRate | kApplyLod,
                     kAllItems, [&](ProfileFile& p) {
                       p.nDpiLevels = n;
                       p.Dpi[0].dwDpiX = p.Dpi[0].dwDpiY = uint32_t(x);
                       p.Dpi[1].dwColor = color;
                       p.dwPollingRate = 0x500;
                       p.nLOD = 2;
                     });
      }
      default: {
        const int v = Pick(4);
        return Apply(kApplyOption3, 0, [&](ProfileFile& p) { p.nOption3 = v; });
      }
    }
  }

  // A macro of the library (made when there is none) on a button.
  void MacroButton() {
    std::vector<StMacro> recs = rig_.library->Records();
    uint32_t id = 0;
    if (recs.empty() || Pick(4) == 0) {
      id = NewMacro();
      if (!id) return;
    } else {
      id = recs[size_t(Pick(int(recs.size())))].dwID;
    }
    const int b = Pick(6);
    Apply(kApplyButtons, Pick(3) ? uint32_t(b) : kAllItems, [&](ProfileFile& p) {
      const int t = std::clamp(p.nKeyTable, 0, kKeyModes - 1);
      p.Key[t][b].dwFunID = kFunMacro;
      p.Key[t][b].dwMacroID = id;
    });
    opName_ = "macro button";
  }

  // ---- reads and device choice

  bool ReadAndCheck(bool started) {
    ++c_.ops;
    const size_t m = cur_;
    auto dev = rig_.Device(m);
    const int sync = rig_.window.SyncOk();
    if (!started) rig_.session->StartRead(int(Cur().entry));
    if (!Timed("read", [&] { return rig_.session->WaitReadDone(BoundMs() * 2 + 30000); })) {
      Violation("the profile read did not finish");
      dead_ = true;
      return false;
    }
    const bool ok = rig_.window.SyncOk() > sync;
    if (!ok) {
      ++c_.failuresReported;
    } else if (dev) {
      std::vector<std::string> bad;
      CheckReadMatches(*rig_.store->Current(), Cur().mouse->EepromCopy(), Model(), Cur().plus,
                       dev->nCurDpiLevel.load(), bad);
      for (auto& b : bad) Violation(b);
    }
    if (opt_.verbose)
      Say("  op " + std::to_string(opIndex_) + " " + opName_ + ": " + (ok ? "ok" : "failed"));
    return ok;
  }

  void ReadOp() {
    opName_ = "read profile";
    ReadAndCheck(false);
  }

  bool Choose(size_t m) {
    opName_ = "choose mouse " + std::to_string(m);
    const size_t prev = cur_;
    cur_ = m;
    if (!rig_.session->ChooseDevice(int(rig_.mice[m].entry))) {
      ++c_.ops;
      ++c_.failuresReported;
      cur_ = prev;
      if (rig_.devices->Current().index != int(rig_.mice[prev].entry)) {
        Violation("a refused choice changed the current device");
      }
      return rig_.Device(prev) != nullptr;
    }
    ReadAndCheck(true);
    return true;
  }

  void ProfileSwitch() {
    opName_ = "profile switch";
    ++c_.ops;
    auto dev = rig_.Device(cur_);
    const int n = Pick(4);
    const int r = dev ? Timed("SetCurProfile", [&] { return dev->SetCurProfile(n); }) : 0;
    if (r != 1) {
      ++c_.failuresReported;
      return;
    }
    const int now = Cur().mouse->Snapshot().profile;
    if (now != n)
      Violation("SetCurProfile(" + std::to_string(n) + ") reported done, device is on " +
                std::to_string(now));
    // The window reads the profile the mouse switched to.
    opName_ = "read after switch";
    ReadAndCheck(false);
  }

  // ---- files

  void ExportOp() {
    opName_ = "export";
    ++c_.ops;
    const bool bad = Pick(5) == 0;
    // A folder on the way that is a file: the export cannot be created.
    const std::string path = bad ? rig_.Dir() + "../blocker/x.qxa"
                                 : rig_.Dir() + "export" + std::to_string(exports_.size()) + ".qxa";
    if (bad) std::ofstream(rig_.Dir() + "../blocker") << "x";
    const bool ok = rig_.session->ExportProfile(path);
    if (!ok) {
      ++c_.failuresReported;
      if (!bad) Violation("export to a writable folder failed");
      if (std::filesystem::exists(path)) Violation("a failed export left a file");
      return;
    }
    if (bad) Violation("export through a file reported success");
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), {});
    const ProfileFile cur = *rig_.store->Current();
    if (b.size() != kExportFileSize || std::memcmp(b.data(), &cur, sizeof cur) != 0)
      Violation("the export does not hold the current profile");
    exports_.push_back(path);
  }

  void ImportOp() {
    opName_ = "import";
    if (exports_.empty()) return ExportOp();
    std::string path = exports_[size_t(Pick(int(exports_.size())))];
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(f)), {});
    const int damage = Pick(4);
    if (damage == 1 || damage == 2) {
      // A damaged copy: cut short, or not a profile at all.
      path = rig_.Dir() + "../damaged.qxa";
      if (damage == 1) file.resize(1000);
      if (damage == 2 && file.size() >= 4) file[0] ^= 0xFF;
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                  std::streamsize(file.size()));
    }
    const ProfileFile before = *rig_.store->Current();
    const Eeprom eeBefore = Cur().mouse->EepromCopy();
    rig_.recorder.Take(cur_);
    const int done = rig_.session->AppliesDone();
    const bool ok = rig_.session->ImportProfile(path);
    if (!ok) {
      ++c_.ops;
      ++c_.failuresReported;
      if (damage != 1 && damage != 2) Violation("import of an export failed");
      const ProfileFile after = *rig_.store->Current();
      if (std::memcmp(&before, &after, sizeof before) != 0)
        Violation("a refused import changed the current profile");
      if (rig_.session->AppliesDone() != done) Violation("a refused import wrote to the device");
      return;
    }
    if (damage == 1 || damage == 2) Violation("a damaged file was imported");
    const ProfileFile after = *rig_.store->Current();
    if (after.dwID != before.dwID) Violation("the import changed the profile id");
    // Everything but the id and the macro ids of the buttons is the file's.
    ProfileFile want;
    std::memcpy(static_cast<void*>(&want), file.data(), sizeof want);
    SanitizeProfile(want);
    const size_t from = offsetof(ProfileFile, dwPollingRate);
    if (std::memcmp(reinterpret_cast<const uint8_t*>(&want) + from,
                    reinterpret_cast<const uint8_t*>(&after) + from, sizeof want - from) != 0)
      Violation("the imported profile differs from the file");
    auto dev = rig_.Device(cur_);
    const int level = dev ? dev->nCurDpiLevel.load() : 0;
    if (!Timed("apply after import", [&] { return rig_.session->WaitApplyIdle(BoundMs() * 2 + 30000); })) {
      Violation("the apply thread did not finish");
      dead_ = true;
      return;
    }
    opName_ = "import";
    CheckApplied(ImportApplyFlags(Model()), kAllItems, level, eeBefore, done);
  }

  uint32_t NewMacro() {
    opName_ = "new macro";
    const std::string name = "m" + std::to_string(++names_);
    MacroResult r = rig_.library->NewMacro(name);
    if (!r.ok) {
      Violation("new macro " + name + " refused: " + r.message);
      return 0;
    }
    const int n = 1 + Pick(5);
    rig_.library->Update(r.id, [&](StMacro& m) {
      for (int i = 0; i < n; ++i) {
        const uint16_t key = uint16_t(0x41 + Pick(26));
        m.stEvents[2 * i] = {key, 1, uint32_t(10 + Pick(50))};
        m.stEvents[2 * i + 1] = {key, 0, uint32_t(10 + Pick(50))};
      }
      m.stEvents[2 * n] = {};
    });
    SaveAndCheck(r.node, r.id);
    return r.id;
  }

  void SaveAndCheck(NodeId node, uint32_t id) {
    const int err = rig_.library->SaveMacro(node);
    ++c_.ops;
    if (err != 0) {
      ++c_.failuresReported;
      return;
    }
    auto path = rig_.library->TreeItem_To_FilePath(node);
    auto rec = rig_.library->FindById(id);
    if (!path || !rec) return Violation("a saved macro has no file path");
    MacroFileRead f = ReadMacroFile(*path);
    if (f.status != MacroFileStatus::Ok)
      Violation("saved macro " + *path + " does not load");
    else if (std::memcmp(f.macro.stEvents, rec->stEvents, sizeof rec->stEvents) != 0) {
      auto n = rig_.library->Node(node);
      char ids[96];
      std::snprintf(ids, sizeof ids, " (macro 0x%x named \"%s\", its node holds 0x%x)", id,
                    GetMacroName(*rec).c_str(), n ? n->id : 0);
      Violation("saved macro " + *path + " does not hold the events saved" + ids);
    }
  }

  void MacroEdit() {
    std::vector<StMacro> recs = rig_.library->Records();
    if (recs.empty() || Pick(5) == 0) {
      NewMacro();
      return;
    }
    const StMacro m = recs[size_t(Pick(int(recs.size())))];
    const NodeId node = rig_.library->FindNodeByPath(GetMacroName(m));
    switch (Pick(4)) {
      case 0: {
        opName_ = "edit macro";
        if (!node) return;
        rig_.library->Update(m.dwID, [&](StMacro& r) {
          r.stEvents[0].dwDelay = uint32_t(5 + Pick(100));
          r.dwDirty |= kMacroDirtyEvents;
        });
        SaveAndCheck(node, m.dwID);
        break;
      }
      case 1: {
        opName_ = "rename macro";
        ++c_.ops;
        if (!node) return;
        auto oldPath = rig_.library->TreeItem_To_FilePath(node);
        const std::string name = "r" + std::to_string(++names_);
        MacroResult r = rig_.library->Rename(node, name);
        if (!r.ok) {
          ++c_.failuresReported;
          return;
        }
        auto newPath = rig_.library->TreeItem_To_FilePath(node);
        if (!newPath || ReadMacroFile(*newPath).status != MacroFileStatus::Ok)
          Violation("renamed macro " + name + " has no loadable file");
        if (oldPath && std::filesystem::exists(*oldPath) && oldPath != newPath)
          Violation("the old file of a renamed macro is still there");
        break;
      }
      case 2: {
        opName_ = "delete macro";
        ++c_.ops;
        if (!node) return;
        auto path = rig_.library->TreeItem_To_FilePath(node);
        MacroResult r = rig_.library->DeleteNode(node);
        if (!r.ok) {
          ++c_.failuresReported;
          return;
        }
        if (rig_.library->HasId(m.dwID)) Violation("a deleted macro is still in the list");
        if (path && std::filesystem::exists(*path)) Violation("a deleted macro's file is still there");
        break;
      }
      default: {
        opName_ = "macro snapshot";
        ++c_.ops;
        if (rig_.session->SaveMacroSnapshot() != 1) ++c_.failuresReported;
        break;
      }
    }
  }

  void SaveStores() {
    opName_ = "save store";
    ++c_.ops;
    if (rig_.session->SaveCurrentStore() != 1) {
      ++c_.failuresReported;
      Violation("saving the store into a writable folder failed");
    }
    GlobalSettings g;
    g.bStartHidden = uint32_t(Pick(2));
    g.bRunAtLogon = uint32_t(Pick(2));
    rig_.session->SetGlobals(g);
  }

  // ---- the mouse goes away

  void UnplugReplug() {
    opName_ = "unplug";
    Fault("unplug-replug");
    rig_.Unplug(cur_);
    if (Pick(2)) {
      // A write while the mouse is away must fail.
      const int v = 1 + Pick(3);
      Apply(kApplyLod, 0, [&](ProfileFile& p) { p.nLOD = v; });
      opName_ = "apply while unplugged";
      if (rig_.session->LastApplyResult() == 1) Violation("a write to an unplugged mouse reported success");
    }
    const bool sleepy = Cur().wireless && Pick(2);
    if (sleepy) {
      // The receiver comes back first; its mouse wakes a little later.
      Cur().mouse->SetAsleep(true);
      Fault("asleep");
    }
    rig_.Plug(cur_);
    if (sleepy) {
      std::this_thread::sleep_for(Ms(60));
      Cur().mouse->SetAsleep(false);
    }
    opName_ = "replug";
    if (!Reconnect(cur_)) return;
    ReadAndCheck(false);
  }

  void AsleepOp() {
    opName_ = "mouse asleep";
    Fault("asleep");
    Cur().mouse->SetAsleep(true);
    const int v = Pick(2);
    Apply(kApplyRipple, 0, [&](ProfileFile& p) { p.nRipple = v; });
    if (rig_.session->LastApplyResult() == 1) Violation("a write to a sleeping mouse reported success");
    opName_ = "read while asleep";
    if (ReadAndCheck(false)) Violation("a read from a sleeping mouse reported success");
    Cur().mouse->SetAsleep(false);
  }

  SoakRig& rig_;
  std::mt19937 rng_;
  const SoakOptions& opt_;
  SoakCounts& c_;
  Watchdog& wd_;
  size_t cur_ = 0;
  int costly_ = 0;
  int opIndex_ = -1;
  int names_ = 0;
  bool dead_ = false;
  std::string opName_ = "start";
  std::vector<std::string> exports_;
  std::vector<std::string> dupNames_;
};

}  // namespace

SoakCounts RunOnce(uint32_t seed, const SoakOptions& opt) {
  SoakCounts c;
  c.runs = 1;
  SetProfilePacing(opt.pacing);
  // The sensor tables the DPI conversions use (the catalogue's built-in ones).
  g_Catalogue().sensors.Build(false);
  // Messages the program shows from its threads (a wrong DPI read) are kept.
  RecordingNotifier shown;
  SetNotifier(&shown);
  Watchdog wd;
  const int threadsBefore = ThreadCount();
  int liveAfter = 0;
  {
    std::mt19937 pick(seed);
    const int mice = opt.mice >= 1 && opt.mice <= 4 ? opt.mice : 1 + int(pick() % 4);
    SoakRig rig(mice, pick(), opt.boundScale);
    wd.Arm("start-up", 60000 * std::max(1, opt.boundScale));
    const bool started = rig.Start();
    wd.Disarm();
    if (!started) {
      c.violations.push_back("start-up: the mice were not all connected");
    } else {
      Runner(rig, pick(), opt, c, wd).Run();
    }
    wd.Arm("shutdown", 30000 * std::max(1, opt.boundScale));
    rig.Shutdown();
    wd.Disarm();
    std::vector<std::string> bad;
    CheckUserFiles(rig.Dir(), bad);
    for (auto& b : bad) c.violations.push_back("after shutdown: " + b);
    liveAfter = rig.recorder.LiveHandles();
  }
  if (liveAfter != 0)
    c.violations.push_back("after shutdown: " + std::to_string(liveAfter) + " device handles open");
  // A joined thread may linger in the task list for a moment after its join.
  int threadsAfter = ThreadCount();
  for (int i = 0; i < 200 && threadsAfter != threadsBefore; ++i) {
    std::this_thread::sleep_for(Ms(5));
    threadsAfter = ThreadCount();
  }
  if (threadsAfter != threadsBefore)
    c.violations.push_back("after shutdown: " + std::to_string(threadsAfter - threadsBefore) +
                           " threads left behind");
  for (const auto& e : shown.Entries())
    c.violations.push_back("the program showed \"" + e.text + "\"");
  SetNotifier(nullptr);
  SetProfilePacing(true);
  return c;
}

SoakCounts RunSoak(const SoakOptions& opt) {
  auto say = [&](const std::string& s) {
    if (opt.out)
      opt.out(s);
    else
      std::printf("%s\n", s.c_str());
  };
  SoakCounts total;
  for (int r = 0; r < opt.runs; ++r) {
    const uint32_t seed = opt.seed + uint32_t(r);
    const auto t0 = Clock::now();
    SoakCounts c = RunOnce(seed, opt);
    const auto ms = std::chrono::duration_cast<Ms>(Clock::now() - t0).count();
    char head[64];
    std::snprintf(head, sizeof head, "run %d seed %u (%lld ms): ", r, seed, (long long)ms);
    say(head + Summary(c));
    for (const std::string& v : c.violations) say("  VIOLATION " + v);
    total.Add(c);
  }
  say("total: " + Summary(total));
  return total;
}

}  // namespace tolvane::soak
