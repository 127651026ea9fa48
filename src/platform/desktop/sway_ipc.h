// sway's IPC: messages of "i3-ipc", a 32-bit payload length and a 32-bit
// type (host byte order) and a JSON payload; and the little JSON reader its
// replies need. Pure functions apart from Exchange.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::platform {

constexpr uint32_t kSwayRunCommand = 0;
constexpr uint32_t kSwayGetInputs = 100;
constexpr size_t kSwayHeaderSize = 14;
constexpr size_t kSwayMaxPayload = 16u << 20;

std::string EncodeSwayMessage(uint32_t type, std::string_view payload);
// The type and payload length of a header, or none when it is not one.
struct SwayHeader {
  uint32_t type = 0;
  uint32_t length = 0;
};
std::optional<SwayHeader> DecodeSwayHeader(std::string_view header);

// Sends one message on a new connection to `socketPath` and returns the
// reply's payload; none on any failure (each step waits at most `timeoutMs`).
std::optional<std::string> SwayExchange(const std::string& socketPath, uint32_t type,
                                        std::string_view payload, int timeoutMs = 1000);

// A JSON value. Numbers are doubles; objects keep their members by name.
struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool b = false;
  double n = 0;
  std::string s;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  const Json* Member(const std::string& name) const;
};
// None for text that is not one JSON value (nesting deeper than 64 counts as
// not JSON).
std::optional<Json> ParseJson(std::string_view text);

}  // namespace tolvane::platform
