// 17-byte report framing: command reports, their checksum, and the send and
// read primitives that the identification probes and the device objects use.
//
// A command report is byte 0 = report id 8, bytes 1-15 = the payload, byte 16
// = the checksum that makes all 17 bytes add up to 0x55. Input reports carry a
// payload in bytes 1-15 in the same layout; their report id and checksum byte
// are never checked.
//
// Every function reports 1 on success and 0 on failure and logs its failures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/transport.h"

namespace tolvane {

constexpr size_t PER_PAYLOAD = 15;   // payload bytes of one report
constexpr size_t kMaxCmdData = 10;   // data bytes one command carries
constexpr uint8_t kCmdReportId = 8;
constexpr uint8_t kNotifyReportId = 9;
constexpr uint8_t kCmdNotification = 0x0A;

// Payload layout (both directions).
constexpr size_t kPayCmd = 0;
constexpr size_t kPayStatus = 1;
constexpr size_t kPayAddrHi = 2;
constexpr size_t kPayAddrLo = 3;
constexpr size_t kPayLen = 4;
constexpr size_t kPayData = 5;

// The checksum byte for `report`: 0x55 minus the sum of bytes 0-15, minus
// byte 16 too (so a report whose byte 16 is still 0 yields the byte to store).
uint8_t ReportChecksum(const Report& report);

// Report id 8, `nSize` payload bytes from byte 1 on, zeros, checksum.
// `nSize` must not exceed PER_PAYLOAD.
Report BuildCommandReport(const uint8_t* payload, size_t nSize);

// PRO: one feature report on the command interface. On failure `*pErr` gets
// the platform error (when pErr is given).
int SendData(const uint8_t* payload, HidHandle* hCmd, int* pErr, size_t nSize);

// PRO: builds the report into `report` and sends it as a feature report, up to
// three tries with 50 ms after every failed one.
int SendCommand(size_t nSize, Report& report, HidHandle* hCmd, const uint8_t* payload);

// PRO: reads one input report from the notify interface within nTimeoutMs and
// copies `nSize` bytes (at most 16) from report byte 1 on into `buffer`.
int GetData(HidHandle* hNotify, uint8_t* buffer, size_t nSize, int nTimeoutMs);

// PRO+: the same on the single interface, time-out fixed at 200 ms.
int GetData(HidHandle* hDev, uint8_t* buffer, size_t nSize);

// PRO+: writes the 15-byte payload as an output report, waiting 200 ms for it
// to complete; a pending write is cancelled and reported as a time-out.
int SendData_PROPLUS(int* pErr, HidHandle* hDev, const uint8_t* payload);

constexpr int kProPlusIoTimeoutMs = 200;

// The reply record of one command: bytes 0-15 are input report bytes 1-16
// (payload plus the device's checksum), bytes 16-23 carry nothing.
class CRetParam {
 public:
  virtual ~CRetParam() = default;
  uint8_t data[24] = {};

  static CRetParam FromReport(const Report& report);
  uint8_t Cmd() const { return data[kPayCmd]; }
  uint8_t Status() const { return data[kPayStatus]; }
  const uint8_t* ReplyData() const { return data + kPayData; }
};

// What log lines print for "%x" handle and thread fields.
uint32_t HandleLogId(const HidHandle* h);
uint32_t LogThreadId();

}  // namespace tolvane
