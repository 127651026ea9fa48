#include "platform/desktop/sway_pointer.h"

#include <cstdlib>

#include "app/log.h"
#include "platform/desktop/pointer_mapping.h"

namespace tolvane::platform {

namespace {

const Json* Libinput(const Json& pointer) { return pointer.Member("libinput"); }

}  // namespace

std::string SwaySocketPath() {
  const char* s = std::getenv("SWAYSOCK");
  return s ? s : "";
}

SwayPointerSettings::SwayPointerSettings(std::string socketPath) : socket_(std::move(socketPath)) {
  std::lock_guard<std::mutex> l(mu_);
  auto inputs = SwayExchange(socket_, kSwayGetInputs, "");
  if (!inputs) {
    LogPrint("SwayPointer: no answer on %s", socket_.c_str());
    return;
  }
  // Commands for the pointer type work whether or not a pointer is there now.
  caps_.set = kPointerSpeed | kPointerPrecision | kPointerScrollLines;
  caps_.read = 0;
  if (auto p = Pointer()) {
    const Json* li = Libinput(*p);
    const Json* accel = li ? li->Member("accel_speed") : nullptr;
    const Json* profile = li ? li->Member("accel_profile") : nullptr;
    const Json* scroll = p->Member("scroll_factor");
    if (accel && accel->kind == Json::kNumber) caps_.read |= kPointerSpeed;
    if (profile && profile->kind == Json::kString && ProfileToPrecision(profile->s))
      caps_.read |= kPointerPrecision;
    if (scroll && scroll->kind == Json::kNumber) caps_.read |= kPointerScrollLines;
  }
}

std::optional<Json> SwayPointerSettings::Pointer() const {
  auto reply = SwayExchange(socket_, kSwayGetInputs, "");
  if (!reply) return std::nullopt;
  auto inputs = ParseJson(*reply);
  if (!inputs || inputs->kind != Json::kArray) {
    LogPrint("SwayPointer: GET_INPUTS reply is not a list");
    return std::nullopt;
  }
  for (const Json& in : inputs->items) {
    const Json* type = in.Member("type");
    if (type && type->kind == Json::kString && type->s == "pointer") return in;
  }
  return std::nullopt;
}

PointerValues SwayPointerSettings::Current() const {
  PointerValues v;
  if (caps_.read == 0) return v;
  std::lock_guard<std::mutex> l(mu_);
  auto p = Pointer();
  if (!p) return v;
  const Json* li = Libinput(*p);
  if (const Json* a = li ? li->Member("accel_speed") : nullptr; a && a->kind == Json::kNumber)
    v.nPointerSpeed = AccelToSpeed(a->n);
  if (const Json* a = li ? li->Member("accel_profile") : nullptr; a && a->kind == Json::kString)
    if (auto on = ProfileToPrecision(a->s)) v.bEnhancePrecision = *on;
  if (const Json* s = p->Member("scroll_factor"); s && s->kind == Json::kNumber)
    v.nScrollLines = FactorToScrollLines(s->n);
  return v;
}

void SwayPointerSettings::Run(const std::string& command) {
  std::lock_guard<std::mutex> l(mu_);
  auto reply = SwayExchange(socket_, kSwayRunCommand, command);
  auto json = reply ? ParseJson(*reply) : std::nullopt;
  bool ok = json && json->kind == Json::kArray && !json->items.empty();
  for (size_t i = 0; ok && i < json->items.size(); ++i) {
    const Json* success = json->items[i].Member("success");
    ok = success && success->kind == Json::kBool && success->b;
  }
  if (!ok) LogPrint("SwayPointer: \"%s\" failed", command.c_str());
}

void SwayPointerSettings::SetScrollLines(int lines) {
  if (!caps_.CanSet(kPointerScrollLines)) return;
  if (auto f = ScrollLinesToFactor(lines))
    Run("input type:pointer scroll_factor " + FormatNumber(*f));
}

void SwayPointerSettings::SetAcceleration(bool enhance) {
  if (!caps_.CanSet(kPointerPrecision)) return;
  Run("input type:pointer accel_profile " + std::string(PrecisionToProfile(enhance)));
}

void SwayPointerSettings::SetPointerSpeed(int speed) {
  if (!caps_.CanSet(kPointerSpeed)) return;
  Run("input type:pointer pointer_accel " + FormatNumber(SpeedToAccel(speed)));
}

}  // namespace tolvane::platform
