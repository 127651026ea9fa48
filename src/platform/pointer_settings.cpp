#include "platform/pointer_settings.h"

#include <atomic>

#include "app/log.h"

namespace tolvane {

PointerValues MemoryPointerSettings::Current() const {
  std::lock_guard<std::mutex> l(mu_);
  return v_;
}

void MemoryPointerSettings::SetDoubleClickTime(int ms) {
  std::lock_guard<std::mutex> l(mu_);
  v_.nDoubleClickTime = ms;
  LogPrint("PointerSettings: double-click time=%d", ms);
}

void MemoryPointerSettings::SetScrollLines(int lines) {
  std::lock_guard<std::mutex> l(mu_);
  v_.nScrollLines = lines;
  LogPrint("PointerSettings: scroll lines=%d", lines);
}

void MemoryPointerSettings::SetAcceleration(bool enhance) {
  std::lock_guard<std::mutex> l(mu_);
  v_.bEnhancePrecision = enhance;
  LogPrint("PointerSettings: acceleration=%d,%d,%d", enhance ? 6 : 0, enhance ? 10 : 0,
           enhance ? 1 : 0);
}

void MemoryPointerSettings::SetPointerSpeed(int speed) {
  std::lock_guard<std::mutex> l(mu_);
  v_.nPointerSpeed = speed;
  LogPrint("PointerSettings: speed=%d", speed);
}

void MemoryPointerSettings::SetTrails(int trails) {
  std::lock_guard<std::mutex> l(mu_);
  v_.nTrails = trails;
  LogPrint("PointerSettings: trails=%d", trails);
}

namespace {
std::atomic<PointerSettings*> g_pointer{nullptr};
}

PointerSettings& GetPointerSettings() {
  static MemoryPointerSettings fallback;
  if (PointerSettings* p = g_pointer.load()) return *p;
  return fallback;
}

void SetPointerSettings(PointerSettings* settings) { g_pointer = settings; }

}  // namespace tolvane
