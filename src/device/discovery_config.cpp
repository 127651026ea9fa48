#include "config/catalogue.h"
#include "device/device_manager.h"

namespace tolvane {

DiscoveryConfig DiscoveryConfigFrom(const Catalogue& cat) {
  DiscoveryConfig c;
  c.vids = cat.opt.VID;
  c.wiredPids = cat.opt.PID;
  c.wirelessPids = cat.opt.PID2;
  c.spotFw = cat.opt.SpotFw;
  c.goWithNoDev = cat.opt.GoWithNoDev != 0;
  c.defDevIndex = int(cat.opt.DefDevIndex);
  for (int i : cat.ModelsInUse()) c.models.push_back(&cat.dev[size_t(i)]);
  return c;
}

}  // namespace tolvane
