// The udev rule that gives the logged-in user access to our hidraw nodes,
// and the diagnostics for a node that could not be opened without it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/transport.h"

namespace tolvane::platform {

constexpr const char* kUdevRulesPath = "/etc/udev/rules.d/70-tolvane.rules";
constexpr const char* kUdevReloadCommand =
    "udevadm control --reload-rules && udevadm trigger --subsystem-match=hidraw";
// The one command a user runs to install the rule.
constexpr const char* kUdevInstallCommand = "sudo tolvanectl udev-rules --install";

// The rules file: one line per vendor and product id pair (every vendor id
// with every product id, duplicates left out), lowercase hex, removal events
// skipped.
std::string MakeUdevRules(const std::vector<uint16_t>& vids, const std::vector<uint16_t>& pids);

// Writes `rules` to `path` (through a temporary file in the same folder and a
// rename, mode 0644), then runs the reload command through `run` (default:
// the shell; `run` returns a wait status, as std::system does). False with `*message` telling why when either fails; on success
// `*message` says what was done.
bool InstallUdevRules(const std::string& rules, std::string* message, const std::string& path = kUdevRulesPath,
                      const std::function<int(const std::string&)>& run = {});

// "<node>: access denied (<reason>); install the udev rule with: <command>".
std::string AccessDeniedMessage(const HidAccessDenied& d);

}  // namespace tolvane::platform
