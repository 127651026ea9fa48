#include "sim/sim_firmware.h"

#include <algorithm>
#include <cstring>

#include "sim/sim_factory.h"

namespace tolvane::sim {

namespace {

constexpr uint8_t kCmdCheckPsd = 0x01, kCmdDrvStatus = 0x02, kCmdConnect = 0x03,
                  kCmdPower = 0x04, kCmd06 = 0x06, kCmdWrite = 0x07, kCmdRead = 0x08,
                  kCmdCommit = 0x09, kCmdGetProfile = 0x0E, kCmd0F = 0x0F,
                  kCmdSetProfile = 0x10;
constexpr uint8_t kProfiles = 4;

}  // namespace

void Firmware::Write(uint16_t addr, const uint8_t* data, size_t n) {
  if (std::memcmp(&s_.eeprom[addr], data, n) != 0) changed_ = true;
  std::memcpy(&s_.eeprom[addr], data, n);
}

void Firmware::WritePair(uint16_t addr, uint8_t v) {
  uint8_t b[2] = {v, uint8_t(0x55 - v)};
  Write(addr, b, 2);
}

// Notification layout: byte 5 the flags, 6 the current DPI level, 7 the rate
// code, 9 the profile number. The rate code goes out unmasked; hosts read
// byte 7 & 0x0F, so the 4K codes 16 and 32 arrive there as 0.
Payload Firmware::Notification(uint8_t flags) const {
  Payload p{};
  p[0] = kNotifyId;
  p[5] = flags;
  p[6] = CurrentLevel();
  p[7] = RateCode();
  p[9] = s_.profile;
  return p;
}

std::vector<Payload> Firmware::HandleCommand(const Payload& req) {
  Payload r{};
  const uint8_t cmd = req[0], len = req[4];
  r[0] = cmd;
  r[2] = req[2];
  r[3] = req[3];
  r[4] = req[4];
  uint8_t* data = &r[5];
  std::vector<Payload> out;

  auto fail = [&](uint8_t status) {
    r[1] = status;
    out.push_back(r);
    return out;
  };
  const bool plus = s_.family == Family::ProPlus;

  // The receiver answers the connection query and the host status itself;
  // everything else needs the mouse.
  if (cmd != kCmdConnect && cmd != kCmdDrvStatus && !MouseReachable()) {
    bool known = (cmd >= kCmdCheckPsd && cmd <= kCmdCommit && cmd != 5) || cmd == kCmdGetProfile ||
                 cmd == kCmd0F || (cmd == kCmdSetProfile && !plus);
    return fail(known ? st::kNoMouse : st::kUnknownCommand);
  }

  switch (cmd) {
    case kCmdCheckPsd:
      if (len != 8) return fail(st::kBadLength);
      // The four host values come back in data 0-3 (nobody checks them);
      // identity in payload 9 and 10, the 4K code in payload 11.
      std::memcpy(data, &req[5], 4);
      data[4] = s_.cid;
      data[5] = s_.mid;
      data[6] = plus ? s_.code4k : 0;
      break;
    case kCmdDrvStatus:
      if (len != 1) return fail(st::kBadLength);
      s_.drvStatus = req[5];
      break;
    case kCmdConnect:
      if (len != 0) return fail(st::kBadLength);
      data[0] = MouseReachable() ? 1 : 0;
      break;
    case kCmdPower:
      if (len != 0) return fail(st::kBadLength);
      data[0] = s_.power;
      data[1] = s_.charging ? 1 : 0;
      break;
    case kCmd06:
      if (len != 0) return fail(st::kBadLength);
      data[0] = s_.cmd06;
      break;
    case kCmdWrite:
    case kCmdRead: {
      if (len < 1 || len > 10) return fail(st::kBadLength);
      uint32_t addr = uint32_t(req[2]) << 8 | req[3];
      if (addr + len > kEepromSize) return fail(st::kBadAddress);
      if (cmd == kCmdWrite)
        Write(uint16_t(addr), &req[5], len);
      else
        std::memcpy(data, &s_.eeprom[addr], len);
      break;
    }
    case kCmdCommit: {
      // Command 9 closes a restore-defaults apply: the firmware returns to
      // its factory settings and reports that with a reset notification,
      // which the host recognises as the echo of its own reset.
      if (len != 0) return fail(st::kBadLength);
      out.push_back(r);
      if (auto n = ResetSettings()) out.push_back(*n);
      return out;
    }
    case kCmdGetProfile:
      if (len != 0) return fail(st::kBadLength);
      data[0] = s_.profile;
      break;
    case kCmd0F:
      // PRO+: with one data byte this switches the profile; without data it
      // is the lighting-lock query on both families.
      if (len == 0) {
        data[0] = s_.cmd0F;
        break;
      }
      if (!plus || len != 1) return fail(st::kBadLength);
      if (req[5] >= kProfiles) return fail(st::kBadValue);
      s_.profile = req[5];
      break;
    case kCmdSetProfile:
      if (plus) return fail(st::kUnknownCommand);
      if (len != 1) return fail(st::kBadLength);
      if (req[5] >= kProfiles) return fail(st::kBadValue);
      s_.profile = req[5];
      break;
    default:
      return fail(st::kUnknownCommand);
  }
  out.push_back(r);
  return out;
}

// The firmware keeps one settings bank; a profile switch changes the number
// it reports, not the EEPROM contents.

std::optional<Payload> Firmware::PressDpiButton() {
  s_.asleep = false;
  uint8_t levels = s_.eeprom[ee::kLevels];
  if (levels < 1 || levels > 8) levels = 1;
  WritePair(ee::kCurLevel, uint8_t((CurrentLevel() + 1) % levels));
  return Notification(nf::kDpiLevel);
}

std::optional<Payload> Firmware::CycleRate() {
  s_.asleep = false;
  // 125 -> 250 -> 500 -> 1000 (-> 2000 -> 4000 on 4K devices) -> 125.
  const bool k4 = s_.family == Family::ProPlus && (s_.code4k == 1 || s_.code4k == 3);
  const size_t n = k4 ? 6 : 4;
  size_t i = 0;
  while (i < n && kRateCodes[i] != RateCode()) ++i;
  WritePair(ee::kRate, kRateCodes[(i + 1) % n]);
  return Notification(nf::kRate);
}

std::optional<Payload> Firmware::ResetSettings() {
  s_.asleep = false;
  Write(0, s_.factory.data(), kEepromSize);
  return Notification(nf::kReset);
}

std::optional<Payload> Firmware::ChangeLight(LightKind kind) {
  s_.asleep = false;
  const bool plus = s_.family == Family::ProPlus;
  Eeprom& e = s_.eeprom;
  switch (kind) {
    case LightKind::Main: {
      // Next hardware mode; the light is switched on.
      uint8_t b[7];
      std::memcpy(b, &e[ee::kMainLight], 7);
      b[0] = plus ? uint8_t(b[0] % 6 + 1) : uint8_t((b[0] + 1) % 8);
      b[6] = CheckByte(b, 6);
      Write(ee::kMainLight, b, 7);
      if (plus) WritePair(ee::kMainLightOn, 1);
      return Notification(nf::kMainLight);
    }
    case LightKind::Logo:
      WritePair(ee::kLogo + 4, uint8_t((e[ee::kLogo + 4] + 1) % 4));
      return Notification(nf::kLogoLight);
    case LightKind::Dpi: {
      uint8_t mode = uint8_t((e[ee::kDpiLight] + 1) % 4);
      WritePair(ee::kDpiLight, mode);
      if (plus) WritePair(ee::kDpiLightOn, mode ? 1 : 0);
      return Notification(nf::kDpiLight);
    }
  }
  return std::nullopt;
}

std::optional<Payload> Firmware::SetBattery(uint8_t level, bool charging) {
  bool changed = level != s_.power || charging != s_.charging;
  s_.power = level;
  s_.charging = charging;
  // Only the PRO+ firmware reports power changes; PRO hosts poll command 4.
  if (!changed || s_.family != Family::ProPlus || !MouseReachable()) return std::nullopt;
  return Notification(nf::kPower);
}

}  // namespace tolvane::sim
