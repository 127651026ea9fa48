// Sensor DPI tables: the DPI values each sensor offers and their register
// codes, and the conversions between a DPI value and the code (plus the
// resolution mode) the device takes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tolvane {

class IniFile;
class Notifier;
struct DevCfg;

constexpr int kMaxSensorTables = 25;
constexpr int kMaxSensorDpi = 650;

// One sensor's table; an empty one has sensor id 0.
struct SensorCfg {
  uint32_t nSensor = 0;             // sensor id, by convention the part number in hex
  int32_t nCount = 0;               // valid entries, 0 to kMaxSensorDpi
  int32_t nDpi[kMaxSensorDpi] = {};  // selectable DPI values, ascending as built
  uint8_t bCode[kMaxSensorDpi] = {}; // register code of each value
};

// The eight default level values of a sensor, or null when it has none.
const std::array<int32_t, 8>* DefaultDpiList(uint32_t sensor);

class SensorTables {
 public:
  // The built-in tables; `step200` is [OPT] "3325Setp200".
  void Build(bool step200);

  // The table of a sensor id, or null.
  SensorCfg* Find(uint32_t sensor);
  const SensorCfg* Find(uint32_t sensor) const;

  // Applies DPIRANGEALIAS, DPIRANGE, DPISET and DPIHW of model section
  // `section` to `table`; warnings go to `n`.
  static void ApplySensorKeys(const IniFile& ini, std::string_view section, SensorCfg& table,
                              Notifier& n);

  // DPI value to register code; `mode` (optional) receives the resolution
  // mode (0 when the sensor has none). 0 when the value is not representable.
  int DpiToCode(uint32_t sensor, int dpi, int* mode = nullptr) const;

  // Register code and mode to a DPI value for the model `cfg`; 0 when the
  // code has no value or the model or its sensor has no table.
  int CodeToDpi(const DevCfg* cfg, int code, int mode) const;

  // True when the sensor's own rule gives `dpi` a code that converts back to
  // it: any table value, and for the formula sensors the values between
  // their table entries that the formula reaches.
  bool Defines(uint32_t sensor, int dpi) const;

  // Position of a value in the sensor's table, -1 when absent or no table.
  int DpiToIndex(uint32_t sensor, int dpi) const;
  // Value at a position, -1 when out of range or no table.
  int IndexToDpi(uint32_t sensor, int index) const;

  const std::array<SensorCfg, kMaxSensorTables>& Tables() const { return tables_; }

 private:
  SensorCfg& Add(uint32_t sensor);
  std::array<SensorCfg, kMaxSensorTables> tables_{};
};

// The same conversions on the process-wide catalogue's tables.
int DpiToCode(uint32_t sensor, int dpi, int* mode = nullptr);
int CodeToDpi(const DevCfg* cfg, int code, int mode);
int DpiToIndex(uint32_t sensor, int dpi);
bool SensorDefines(uint32_t sensor, int dpi);
int IndexToDpi(uint32_t sensor, int index);

}  // namespace tolvane
