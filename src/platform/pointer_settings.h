// The desktop's pointer settings that a profile carries: wheel scroll lines,
// double-click time, pointer speed, enhanced pointer precision and pointer
// trails. The profile writer changes them through this interface.
#pragma once

#include <mutex>

namespace tolvane {

struct PointerValues {
  int nScrollLines = 3;
  int nDoubleClickTime = 550;  // ms
  int nPointerSpeed = 10;      // 1-20
  bool bEnhancePrecision = true;
  int nTrails = 0;
  bool operator==(const PointerValues&) const = default;
};

class PointerSettings {
 public:
  virtual ~PointerSettings() = default;
  virtual PointerValues Current() const = 0;
  virtual void SetDoubleClickTime(int ms) = 0;
  virtual void SetScrollLines(int lines) = 0;
  // Enhanced precision on: thresholds 6, 10 and acceleration 1; off: 0, 0, 0.
  virtual void SetAcceleration(bool enhance) = 0;
  virtual void SetPointerSpeed(int speed) = 0;
  virtual void SetTrails(int trails) = 0;
};

// Keeps the values in memory and logs every change (until a desktop
// implementation takes over).
class MemoryPointerSettings : public PointerSettings {
 public:
  PointerValues Current() const override;
  void SetDoubleClickTime(int ms) override;
  void SetScrollLines(int lines) override;
  void SetAcceleration(bool enhance) override;
  void SetPointerSpeed(int speed) override;
  void SetTrails(int trails) override;

 private:
  mutable std::mutex mu_;
  PointerValues v_;
};

// The process-wide pointer settings; a MemoryPointerSettings until
// SetPointerSettings is called (null restores it).
PointerSettings& GetPointerSettings();
void SetPointerSettings(PointerSettings* settings);

}  // namespace tolvane
