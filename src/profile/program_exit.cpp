#include "profile/program_exit.h"

#include "app/log.h"
#include "device/device_manager.h"
#include "profile/profile_session.h"

namespace tolvane {

int RunProgramExit(DeviceManager& devices, ProfileSession& session) {
  LogPrint("OnExit");
  const int current = devices.List().Current();
  bool currentConnected = false;
  int told = 0;
  for (const DevEntryView& v : devices.List().Views()) {
    if (!v.bConnected) continue;
    v.pDev->TellDrvStatus(0);
    ++told;
    if (int(v.nIndex) == current) currentConnected = true;
  }
  if (currentConnected) session.SaveCurrentStore();
  devices.Shutdown();
  session.Stop();
  return told;
}

}  // namespace tolvane
