// The report descriptors of the virtual mouse's USB interfaces: the bytes a
// host reads from the device when it enumerates it, and from which it learns
// the report ids and lengths of every collection.
//
// The vendor interfaces number every report; each carries 16 bytes after its
// id, so a report is 17 bytes on the wire. The input report ids are the ones
// the firmware sends (kInputReportId), the command reports the ones it
// accepts (kCommandReportId): a host drops an input report whose id its
// descriptor does not declare.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_state.h"

namespace tolvane::sim {

using Descriptor = std::vector<uint8_t>;

// Boot-protocol pointer: 5 buttons, X, Y and wheel, no report ids.
Descriptor PointerDescriptor();
// PRO notify interface: usage page 0xFF01, usage 0, input reports.
Descriptor ProNotifyDescriptor();
// PRO command interface: usage page 0xFF02, usage 2, feature reports.
Descriptor ProCommandDescriptor();
// PRO+ interface: usage page 0xFF02, usage 2, input and output reports.
Descriptor ProPlusDescriptor();

// One USB interface of a virtual mouse. `name` is the last part of the
// interface path the sim transport lists ("mouse", "notify", "cmd", "dev").
struct UsbInterface {
  std::string name;
  Descriptor descriptor;
};

// The interfaces of a mouse of `family`, in the order a host finds them.
// `pointer`: the system-owned pointer interface comes first.
std::vector<UsbInterface> UsbInterfacesOf(Family family, bool pointer);

}  // namespace tolvane::sim
