// The mouse and receiver firmware: commands in, replies and notifications out.
//
// Pure logic over a MouseState; the caller (VirtualMouse) serialises access,
// delivers the payloads as input reports and persists the EEPROM.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/sim_state.h"

namespace tolvane::sim {

using Payload = std::array<uint8_t, 15>;

// Reply status byte.
namespace st {
constexpr uint8_t kOk = 0;
constexpr uint8_t kUnknownCommand = 0x01;
constexpr uint8_t kBadLength = 0x02;
constexpr uint8_t kBadAddress = 0x03;
constexpr uint8_t kNoMouse = 0x04;  // receiver: its mouse is off or asleep
constexpr uint8_t kBadValue = 0x05;
}  // namespace st

constexpr uint8_t kNotifyId = 0x0A;

// Flag bits of a notification (payload byte 5).
namespace nf {
constexpr uint8_t kDpiLevel = 0x01;
constexpr uint8_t kRate = 0x02;
constexpr uint8_t kReset = 0x04;
constexpr uint8_t kDpiLight = 0x08;
constexpr uint8_t kLogoLight = 0x10;
constexpr uint8_t kMainLight = 0x20;
constexpr uint8_t kPower = 0x40;  // PRO+ only
}  // namespace nf

enum class LightKind { Main, Logo, Dpi };

class Firmware {
 public:
  explicit Firmware(MouseState& state) : s_(state) {}

  // Handles one command payload. The result is the reply, possibly followed
  // by a notification the command raised. Sets EepromChanged() when EEPROM
  // bytes were written.
  std::vector<Payload> HandleCommand(const Payload& req);

  // True once after a command or action changed the EEPROM.
  bool TakeEepromChanged() {
    bool c = changed_;
    changed_ = false;
    return c;
  }

  // Actions on the mouse itself. Each returns the notification it raises
  // (none while the mouse cannot report, or when the family has no such
  // notification). An action wakes a sleeping wireless mouse first.
  std::optional<Payload> PressDpiButton();
  std::optional<Payload> CycleRate();
  std::optional<Payload> ResetSettings();
  std::optional<Payload> ChangeLight(LightKind kind);
  std::optional<Payload> SetBattery(uint8_t level, bool charging);
  // A notification with an arbitrary flag set and the current values.
  Payload Notification(uint8_t flags) const;

  uint8_t CurrentLevel() const { return s_.eeprom[ee::kCurLevel]; }
  uint8_t RateCode() const { return s_.eeprom[ee::kRate]; }

 private:
  bool MouseReachable() const { return s_.link == Link::Wired || !s_.asleep; }
  void Write(uint16_t addr, const uint8_t* data, size_t n);
  void WritePair(uint16_t addr, uint8_t v);

  MouseState& s_;
  bool changed_ = false;
};

}  // namespace tolvane::sim
