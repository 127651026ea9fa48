#include "platform/pointer_settings.h"

#include <atomic>

#include "app/log.h"

namespace tolvane {

PointerValues MemoryPointerSettings::Current() const {
  std::lock_guard<std::mutex> l(mu_);
  return v_;
}

void MemoryPointerSettings::Store(int PointerValues::*field, int value, const char* name) {
  std::lock_guard<std::mutex> l(mu_);
  v_.*field = value;
  LogPrint("PointerSettings: %s=%d", name, value);
}

void MemoryPointerSettings::SetDoubleClickTime(int ms) {
  Store(&PointerValues::nDoubleClickTime, ms, "double-click time");
}

void MemoryPointerSettings::SetScrollLines(int lines) {
  Store(&PointerValues::nScrollLines, lines, "scroll lines");
}

void MemoryPointerSettings::SetAcceleration(bool enhance) {
  std::lock_guard<std::mutex> l(mu_);
  v_.bEnhancePrecision = enhance;
  LogPrint("PointerSettings: acceleration=%d,%d,%d", enhance ? 6 : 0, enhance ? 10 : 0,
           enhance ? 1 : 0);
}

void MemoryPointerSettings::SetPointerSpeed(int speed) {
  Store(&PointerValues::nPointerSpeed, speed, "speed");
}

void MemoryPointerSettings::SetTrails(int trails) {
  Store(&PointerValues::nTrails, trails, "trails");
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
