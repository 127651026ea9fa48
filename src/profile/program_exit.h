// The program's exit, in its order, shared by every front end that runs the
// device list and the profile session together.
//
// The exit command tells every connected device that the program goes away
// (TellDrvStatus 0), saves the current model's store when that model's device
// is among them (the profile list in memory belongs to the current model),
// and empties the device list: discovery stops (plug events, the FINDDEV
// timer, probes) and every device object is released. The main window's
// destruction then saves gSetting.dct and ends the apply thread and any
// running read (ProfileSession::Stop).
#pragma once

namespace tolvane {

class DeviceManager;
class ProfileSession;

// Runs the steps above on the caller's thread (the window's, not the
// discovery host's). Returns how many devices were told.
int RunProgramExit(DeviceManager& devices, ProfileSession& session);

}  // namespace tolvane
