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

// The pointer values, one bit each, for what a desktop lets us read or set.
enum PointerValueBit : unsigned {
  kPointerSpeed = 1u << 0,
  kPointerPrecision = 1u << 1,
  kPointerScrollLines = 1u << 2,  // 1 to 10 lines per notch
  kPointerScrollPage = 1u << 3,   // one page per notch (scroll lines -1)
  kPointerDoubleClick = 1u << 4,
  kPointerTrails = 1u << 5,
};
constexpr unsigned kAllPointerValues = 0x3F;

struct PointerCapabilities {
  unsigned read = kAllPointerValues;
  unsigned set = kAllPointerValues;
  bool CanRead(unsigned bits) const { return bits != 0 && (read & bits) == bits; }
  bool CanSet(unsigned bits) const { return bits != 0 && (set & bits) == bits; }
  // Nothing can be set: the pages grey the pointer controls out.
  bool Empty() const { return set == 0; }
  bool operator==(const PointerCapabilities&) const = default;
};

// The scroll-lines value a capability check is about: -1 needs the page mode.
inline unsigned ScrollBitFor(int lines) {
  return lines == -1 ? kPointerScrollPage : kPointerScrollLines;
}

class PointerSettings {
 public:
  virtual ~PointerSettings() = default;
  // The values; one the desktop does not let us read holds its default.
  virtual PointerValues Current() const = 0;
  // What this desktop lets us read and set. The default, for settings kept in
  // memory, is everything.
  virtual PointerCapabilities Capabilities() const { return {}; }
  // A setter whose value the capabilities do not allow does nothing.
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
  // Sets one value and logs "PointerSettings: <name>=<value>".
  void Store(int PointerValues::*field, int value, const char* name);

  mutable std::mutex mu_;
  PointerValues v_;
};

// The process-wide pointer settings; a MemoryPointerSettings until
// SetPointerSettings is called (null restores it).
PointerSettings& GetPointerSettings();
void SetPointerSettings(PointerSettings* settings);

}  // namespace tolvane
