// tolvanectl list, eeprom read, eeprom write.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_device.h"
#include "cli/json.h"
#include "config/dev_cfg.h"
#include "device/dev_pro.h"

namespace tolvane::cli {

namespace {

std::string Hex(unsigned v, int digits) {
  char b[16];
  std::snprintf(b, sizeof b, "%0*x", digits, v);
  return b;
}

// A number in `base` (as strtoul takes it); false unless the whole text is a
// number <= max, without a sign.
bool ParseUnsigned(const std::string& s, int base, unsigned long max, unsigned long* out) {
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long v = std::strtoul(s.c_str(), &end, base);
  if (errno || !end || *end || v > max) return false;
  *out = v;
  return true;
}

// Hex with or without "0x".
bool ParseHex(const std::string& s, unsigned long max, unsigned long* out) {
  return ParseUnsigned(s, 16, max, out);
}

// Decimal, or hex with "0x".
bool ParseCount(const std::string& s, unsigned long max, unsigned long* out) {
  return ParseUnsigned(s, 0, max, out);
}

const char* FamilyOf(const CHidDev* d) {
  return dynamic_cast<const CDevProPlus*>(d) ? "pro+" : "pro";
}

int RunList(DeviceSession& s, bool json) {
  const auto devices = s.Devices();
  if (devices.empty() && s.Busy()) {
    CliContext::Fail(kDeviceBusy);
    return kExitFailure;
  }
  const auto waiting = s.Waiting();
  const auto denied = s.AccessProblems();
  const DiscoveryConfig& cfg = s.Manager().Config();
  if (json) {
    std::string out = "{\"devices\":[";
    for (const ListedDevice& d : devices) {
      const CHidDev* dev = d.entry.pDev.get();
      if (d.position) out += ",";
      out += "{\"position\":" + std::to_string(d.position);
      out += ",\"model\":" + JsonString(d.entry.pDevCfg ? d.entry.pDevCfg->szName : "");
      out += ",\"cid\":\"" + Hex(dev->cid, 2) + "\",\"mid\":\"" + Hex(dev->mid, 2) + "\"";
      out += ",\"family\":\"" + std::string(FamilyOf(dev)) + "\"";
      out += ",\"link\":\"" + std::string(cfg.IsWired(dev->wPID) ? "wired" : "wireless") + "\"";
      out += ",\"vid\":\"" + Hex(dev->wVID, 4) + "\",\"pid\":\"" + Hex(dev->wPID, 4) + "\"";
      out += ",\"version\":\"" + Hex(dev->dwVersion & 0xFFFF, 4) + "\"";
      out += ",\"wiredVersion\":\"" + Hex(d.entry.wWiredVer, 4) + "\"";
      out += ",\"wirelessVersion\":\"" + Hex(d.entry.wWirelessVer, 4) + "\"";
      out += ",\"path\":" + JsonString(d.entry.szCmdPath);
      if (!d.entry.szNotifyPath.empty())
        out += ",\"notifyPath\":" + JsonString(d.entry.szNotifyPath);
      out += "}";
    }
    out += "],\"waiting\":[";
    for (size_t i = 0; i < waiting.size(); ++i) {
      const ProbeSlot& w = waiting[i].slot;
      if (i) out += ",";
      out += "{\"state\":\"receiver waiting for its mouse\"";
      out += ",\"family\":\"" + std::string(w.bPlus ? "pro+" : "pro") + "\",\"link\":\"wireless\"";
      out += ",\"pid\":\"" + Hex(w.wPID, 4) + "\",\"version\":\"" + Hex(w.wVersion, 4) + "\"";
      out += ",\"path\":" + JsonString(w.szCmdPath) + "}";
    }
    out += "],\"accessDenied\":[";
    for (size_t i = 0; i < denied.size(); ++i) out += (i ? "," : "") + JsonString(denied[i]);
    out += "]}";
    std::printf("%s\n", out.c_str());
  } else {
    for (const ListedDevice& d : devices) {
      const CHidDev* dev = d.entry.pDev.get();
      std::printf("%d: %s  cid=%s mid=%s  %s  %s  pid=%s  version=%s (wired %s, wireless %s)  %s\n",
                  d.position, d.entry.pDevCfg ? d.entry.pDevCfg->szName : "?",
                  Hex(dev->cid, 2).c_str(), Hex(dev->mid, 2).c_str(), FamilyOf(dev),
                  cfg.IsWired(dev->wPID) ? "wired" : "wireless", Hex(dev->wPID, 4).c_str(),
                  Hex(dev->dwVersion & 0xFFFF, 4).c_str(), Hex(d.entry.wWiredVer, 4).c_str(),
                  Hex(d.entry.wWirelessVer, 4).c_str(), d.entry.szCmdPath.c_str());
    }
    for (const WaitingReceiver& w : waiting)
      std::printf("-: receiver waiting for its mouse  %s  wireless  pid=%s  version=%s  %s\n",
                  w.slot.bPlus ? "pro+" : "pro", Hex(w.slot.wPID, 4).c_str(),
                  Hex(w.slot.wVersion, 4).c_str(), w.slot.szCmdPath.c_str());
    for (const std::string& d : denied) std::printf("%s\n", d.c_str());
    if (devices.empty() && waiting.empty() && denied.empty()) std::printf("no device connected\n");
  }
  if (devices.size() > size_t(kMaxConnectedDevices)) {
    CliContext::Fail("more than " + std::to_string(kMaxConnectedDevices) +
                     " devices are connected; disconnect one");
    return kExitFailure;
  }
  return kExitOk;
}

struct EepromArgs {
  std::string addr, len;
  std::vector<std::string> bytes;
};

int RunEepromRead(const CliContext& ctx, const EepromArgs& a) {
  unsigned long addr = 0, len = 0;
  if (!ParseHex(a.addr, 0xFFFF, &addr)) {
    CliContext::Fail("ADDR must be a hex address up to ffff, not \"" + a.addr + "\"");
    return kExitUsage;
  }
  if (!ParseCount(a.len, 0x10000, &len) || len == 0 || addr + len > 0x10000) {
    CliContext::Fail("LEN must be 1 or more and end the range at ffff, not \"" + a.len + "\"");
    return kExitUsage;
  }
  std::unique_ptr<DeviceSession> session;
  auto dev = OpenChosenDevice(ctx, &session);
  if (!dev) return kExitFailure;
  std::vector<uint8_t> buf(len);
  if (!dev->ReadROM(uint32_t(addr), buf.data(), int(len))) {
    CliContext::Fail("EEPROM read failed");
    return kExitFailure;
  }
  std::string line;
  for (size_t i = 0; i < buf.size(); ++i) line += (i ? " " : "") + Hex(buf[i], 2);
  std::printf("%s\n", line.c_str());
  return kExitOk;
}

int RunEepromWrite(const CliContext& ctx, const EepromArgs& a) {
  unsigned long addr = 0;
  if (!ParseHex(a.addr, 0xFFFF, &addr)) {
    CliContext::Fail("ADDR must be a hex address up to ffff, not \"" + a.addr + "\"");
    return kExitUsage;
  }
  std::vector<uint8_t> data;
  for (const std::string& b : a.bytes) {
    unsigned long v = 0;
    if (!ParseHex(b, 0xFF, &v)) {
      CliContext::Fail("BYTE must be hex 00 to ff, not \"" + b + "\"");
      return kExitUsage;
    }
    data.push_back(uint8_t(v));
  }
  if (data.empty() || addr + data.size() > 0x10000) {
    CliContext::Fail("give one or more bytes that end at ffff at the latest");
    return kExitUsage;
  }
  std::unique_ptr<DeviceSession> session;
  auto dev = OpenChosenDevice(ctx, &session);
  if (!dev) return kExitFailure;
  if (!dev->WriteEEPROM(uint32_t(addr), data.data(), int(data.size()), 0)) {
    CliContext::Fail("EEPROM write failed");  // or that the device is busy
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

void RegisterDeviceCommands(CLI::App& app, CliContext& ctx) {
  auto* list = app.add_subcommand("list", "List the connected devices");
  auto json = std::make_shared<bool>(false);
  list->add_flag("--json", *json, "JSON output");
  list->callback([&ctx, json] {
    ctx.action = [&ctx, json] {
      auto s = StartDeviceSession(ctx);
      if (!s) return kExitFailure;
      return RunList(*s, *json);
    };
  });

  auto* eeprom = app.add_subcommand("eeprom", "Read or write device EEPROM bytes");
  eeprom->require_subcommand(1);
  auto args = std::make_shared<EepromArgs>();
  auto* rd = eeprom->add_subcommand("read", "Print LEN bytes from hex address ADDR");
  rd->add_option("ADDR", args->addr, "Hex address")->required();
  rd->add_option("LEN", args->len, "Number of bytes")->required();
  rd->callback([&ctx, args] { ctx.action = [&ctx, args] { return RunEepromRead(ctx, *args); }; });
  auto* wr = eeprom->add_subcommand("write", "Write hex BYTEs from hex address ADDR");
  wr->add_option("ADDR", args->addr, "Hex address")->required();
  wr->add_option("BYTE", args->bytes, "Hex bytes")->required();
  wr->callback([&ctx, args] { ctx.action = [&ctx, args] { return RunEepromWrite(ctx, *args); }; });
}

}  // namespace tolvane::cli
