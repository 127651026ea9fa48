#include "device/link_options.h"

#include <mutex>

namespace tolvane {

namespace {
std::mutex g_optionsMutex;
LinkOptions g_options;
}  // namespace

LinkOptions GetLinkOptions() {
  std::lock_guard<std::mutex> lock(g_optionsMutex);
  LinkOptions o = g_options;
  if (o.nRetry < 1) o.nRetry = 1;
  return o;
}

void SetLinkOptions(const LinkOptions& options) {
  std::lock_guard<std::mutex> lock(g_optionsMutex);
  g_options = options;
}

}  // namespace tolvane
