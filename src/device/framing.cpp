#include "device/framing.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "app/log.h"
#include "device/link_options.h"

namespace tolvane {

namespace {

constexpr int kFeatureTries = 3;
constexpr int kFeatureRetrySleepMs = 50;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int ErrorOf(const HidHandle* h) { return h ? h->LastError() : EBADF; }

// Shared by both GetData forms.
int ReadPayload(HidHandle* h, uint8_t* buffer, size_t nSize, int nTimeoutMs,
                const char* timeoutFmt) {
  if (!h || !buffer) {
    LogPrint("GetData Err=0x%x", unsigned(EBADF));
    return 0;
  }
  Report report{};
  HidStatus st = h->Read(report, nTimeoutMs);
  switch (st) {
    case HidStatus::Ok:
      std::memcpy(buffer, report.data() + 1, std::min(nSize, kReportLen - 1));
      return 1;
    case HidStatus::Timeout:
      LogPrint(timeoutFmt, HandleLogId(h));
      return 0;
    case HidStatus::NotConnected:
      LogPrint("GetData Err, dev is plugout");
      return 0;
    case HidStatus::Cancelled:
    case HidStatus::Failed:
      LogPrint("GetData Err=0x%x", unsigned(h->LastError()));
      return 0;
  }
  return 0;
}

}  // namespace

uint8_t ReportChecksum(const Report& report) {
  unsigned sum = 0;
  for (size_t i = 0; i < 16; ++i) sum += report[i];
  return uint8_t(0x55u - sum - report[16]);
}

Report BuildCommandReport(const uint8_t* payload, size_t nSize) {
  Report r{};
  r[0] = kCmdReportId;
  if (payload) std::memcpy(r.data() + 1, payload, std::min(nSize, PER_PAYLOAD));
  r[16] = ReportChecksum(r);
  return r;
}

int SendData(const uint8_t* payload, HidHandle* hCmd, int* pErr, size_t nSize) {
  if (!payload || nSize > PER_PAYLOAD) {
    LogPrint("SendData Err: nSize>PER_PAYLOAD!");
    return 0;
  }
  Report r = BuildCommandReport(payload, nSize);
  if (hCmd && hCmd->SendFeature(r) == HidStatus::Ok) return 1;
  int err = ErrorOf(hCmd);
  if (pErr) *pErr = err;
  LogPrint("SendData Err=0x%x", unsigned(err));
  return 0;
}

int SendCommand(size_t nSize, Report& report, HidHandle* hCmd, const uint8_t* payload) {
  if (!payload || nSize > PER_PAYLOAD) return 0;
  report = BuildCommandReport(payload, nSize);
  if (!hCmd) {  // nothing to retry on
    LogPrint("SendCommand err=0x%x", unsigned(EBADF));
    return 0;
  }
  for (int i = 0; i < kFeatureTries; ++i) {
    if (hCmd->SendFeature(report) == HidStatus::Ok) return 1;
    SleepMs(kFeatureRetrySleepMs);
  }
  LogPrint("SendCommand err=0x%x", unsigned(hCmd->LastError()));
  return 0;
}

int GetData(HidHandle* hNotify, uint8_t* buffer, size_t nSize, int nTimeoutMs) {
  return ReadPayload(hNotify, buffer, nSize, nTimeoutMs, "GetData TimeOut, hNotify=%x");
}

int GetData(HidHandle* hDev, uint8_t* buffer, size_t nSize) {
  return ReadPayload(hDev, buffer, nSize, kProPlusIoTimeoutMs, "GetData TimeOut, hDev=%x");
}

int SendData_PROPLUS(int* pErr, HidHandle* hDev, const uint8_t* payload) {
  if (!payload) {
    LogPrint("SendData Err: nSize>PER_PAYLOAD!");
    return 0;
  }
  Report r = BuildCommandReport(payload, PER_PAYLOAD);
  HidStatus st = hDev ? hDev->Write(r, kProPlusIoTimeoutMs) : HidStatus::Failed;
  switch (st) {
    case HidStatus::Ok:
      return 1;
    case HidStatus::Timeout:
      LogPrint("SendData TimeOut, hDev=%x", HandleLogId(hDev));
      return 0;
    case HidStatus::Cancelled:
      LogPrint("SendData Err=0x%x", unsigned(ErrorOf(hDev)));
      return 0;
    case HidStatus::Failed:
    case HidStatus::NotConnected: {
      int err = ErrorOf(hDev);
      if (pErr) *pErr = err;
      if (!GetLinkOptions().bGoWithNoDev) LogPrint("SendData_PROPLUS Err=0x%x", unsigned(err));
      if (st == HidStatus::NotConnected) LogPrint("GetData Err, dev is plugout");
      return 0;
    }
  }
  return 0;
}

CRetParam CRetParam::FromReport(const Report& report) {
  CRetParam r;
  std::memcpy(r.data, report.data() + 1, kReportLen - 1);
  return r;
}

uint32_t HandleLogId(const HidHandle* h) {
  return uint32_t(reinterpret_cast<uintptr_t>(h));
}

uint32_t LogThreadId() {
  return uint32_t(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

}  // namespace tolvane
