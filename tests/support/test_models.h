// Models and records the tests and tools build their virtual mice and
// libraries from.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_manager.h"
#include "device/hid_dev.h"
#include "device/transport.h"

#include "records/st_macro.h"
#include "sim/sim_spec.h"

namespace tolvane::test {

// A model "Model <cid><mid>" (two hex digits each) with a 4-level 3395 sensor
// at 400, 800, 1600 and 3200 DPI and the rate code 0x1000.
DevCfg BasicModel(uint32_t cid, uint32_t mid, uint32_t fw);

// BasicModel with every page switch on, a colour for each of the eight
// levels, debounce 8, sleep 120, DPI light mode 0x030502, and six buttons in
// every key mode: left, right, middle, forward, back and DPI cycle on matrix
// 1, 2, 3, 5, 6, 7.
DevCfg SixButtonModel(uint32_t cid, uint32_t mid, uint32_t fw);

// A six-level wide-range 3395 model at 400 to 2400 DPI with ten left-click
// buttons on matrix 1-10, sleep 30 with the light off on move, LOD and DPI
// pages, DPI light mode 0x030502; no name.
DevCfg TenButtonModel(uint32_t cid = 0x0a, uint32_t mid = 0x31, uint32_t fw = 0);

// A catalogue of `models` behind vendor 0x3A3A and the given products.
sim::SimCatalogue CatalogueOf(std::vector<DevCfg> models,
                              std::vector<uint16_t> wiredPids = {0x1001},
                              std::vector<uint16_t> wirelessPids = {0x2002});

// Two models, "Model 0" (PRO, cid `firstCid`) and "Model 1" (PRO+, cid
// `firstCid` + 1), both mid 1 with a 4-level 3395 sensor, behind vendor
// 0x3A3A, wired product 0x1001 and wireless product 0x2002.
sim::SimCatalogue TwoFamilyCatalogue(uint8_t firstCid = 0x11);

// Discovery's waits cut to what a virtual mouse needs; `rescanPeriodMs` is
// the period of the rescan timer.
DiscoveryTimings FastDiscoveryTimings(int rescanPeriodMs = 40);

// The interfaces of a plugged virtual mouse, opened by role. PRO (`plus`
// false): the command interface (vendor page 0xFF02, feature reports) and the
// notify interface (0xFF01, input reports); PRO+: the one 0xFF02 interface
// with output reports, as `cmd`. A missing one stays empty.
struct RoleInterfaces {
  std::unique_ptr<HidHandle> cmd, notify;
};
RoleInterfaces OpenByRole(HidTransport& transport, bool plus);

// A virtual mouse of `model` alone, PRO+ when `plus`, wired (product
// 0x1001), its spec "pro:cid=..,mid=.." followed by `extra` (",faults=.."); null
// with `err` set when the spec is refused.
std::shared_ptr<sim::VirtualMouse> MouseOf(const DevCfg& model, bool plus, std::string* err,
                                           const std::string& extra = "");

// A device object (CDevProPlus when `plus`, else CDevPro) of `model`, which
// must outlive it, on the mouse plugged into `transport`, its service thread
// running; null when the mouse's command interface is missing.
std::unique_ptr<CHidDev> ConnectDevice(HidTransport& transport, const DevCfg& model, bool plus);

// A valid library macro of `events`, played once with automatic delays.
StMacro TestMacro(std::string_view name, uint32_t id, std::initializer_list<MacroEvent> events);
// A valid library macro: `key` pressed for 10 ms and released.
StMacro TestMacro(std::string_view name, uint32_t id, uint16_t key = 0x41);

}  // namespace tolvane::test
