#include "device/transport.h"

namespace tolvane {

const char* HidStatusName(HidStatus s) {
  switch (s) {
    case HidStatus::Ok: return "ok";
    case HidStatus::Timeout: return "timeout";
    case HidStatus::Cancelled: return "cancelled";
    case HidStatus::NotConnected: return "not connected";
    case HidStatus::Failed: return "failed";
  }
  return "unknown";
}

}  // namespace tolvane
