// Models and records the tests and tools build their virtual mice and
// libraries from.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "device/device_manager.h"
#include "device/transport.h"

#include "records/st_macro.h"
#include "sim/sim_spec.h"

namespace tolvane::test {

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

// A valid library macro: `key` pressed for 10 ms and released.
StMacro TestMacro(std::string_view name, uint32_t id, uint16_t key = 0x41);

}  // namespace tolvane::test
