// The HID transport: what the device link needs from the machine.
//
// Two implementations stand behind this interface: the Linux hidraw backend
// (platform/) and the virtual mouse (sim/). Nothing above it knows which one it
// talks to. Every report that crosses it is exactly 17 bytes: byte 0 is the
// report id (8 for commands, 9 for PRO notifications), bytes 1-15 the payload,
// byte 16 the checksum.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolvane {

constexpr size_t kReportLen = 17;
using Report = std::array<uint8_t, kReportLen>;

// One enumerated HID interface (one top-level collection).
struct HidIfInfo {
  std::string szPath;      // opens the interface with HidTransport::Open
  uint32_t nInputLen = 0;  // byte lengths as Windows reports them: largest
  uint32_t nOutputLen = 0; // report of that kind plus the report-id byte,
  uint32_t nFeatureLen = 0;// 0 when the collection has none
  uint32_t nUsagePage = 0;
  uint32_t nUsage = 0;
  uint32_t nVID = 0;
  uint32_t nPID = 0;
  uint32_t nVersion = 0;  // bcdDevice of the USB device, 0 when unknown
};

// How an interface is opened; fixes the access the handle gets.
enum class HidRole {
  ProNotify,   // PRO notify interface: input reports only
  ProCommand,  // PRO command interface: feature reports only
  ProPlus,     // PRO+ interface: output reports out, input reports in
};

// Result of one transport operation.
enum class HidStatus {
  Ok,
  Timeout,       // nothing arrived or completed within the time-out
  Cancelled,     // CancelRead stopped the wait
  NotConnected,  // the device is gone (unplugged, node removed)
  Failed,        // the device is there but refused the transfer
};

const char* HidStatusName(HidStatus s);

// An open interface. Owned by the device object or probe that opened it.
// Read may run on one thread while another thread sends, writes or calls
// CancelRead; one reader at a time.
class HidHandle {
 public:
  virtual ~HidHandle() = default;

  // Sends a 17-byte feature report (PRO command interface).
  // Failed when the device rejects it, NotConnected when it is gone.
  virtual HidStatus SendFeature(const Report& report) = 0;

  // Writes a 17-byte output report (PRO+), waiting at most timeoutMs for the
  // transfer to complete. Timeout when it is still pending then.
  virtual HidStatus Write(const Report& report, int timeoutMs) = 0;

  // Reads one 17-byte input report, waiting at most timeoutMs (negative: with
  // no limit, until a report, CancelRead or the device's end). Byte 0 of the
  // result is the report id. Cancelled when CancelRead was called during the
  // wait (or before it, once).
  virtual HidStatus Read(Report& report, int timeoutMs) = 0;

  // Ends a Read that is waiting, at once. Safe from any thread.
  virtual void CancelRead() = 0;

  // The platform error code of the last failed operation (errno here), 0 if none.
  virtual int LastError() const = 0;

  // The device's advisory lock, which every process of ours holds around each
  // exchange (request and reply) so that two programs never interleave their
  // exchanges with one mouse. Waits at most timeoutMs; false when another
  // process still holds it then (LastError() is EBUSY after that). A handle
  // without such a lock always succeeds. Unlock releases a lock that Lock
  // took.
  virtual bool Lock(int timeoutMs) {
    (void)timeoutMs;
    return true;
  }
  virtual void Unlock() {}
};

// How long an exchange waits for another process to release the device.
constexpr int kDeviceLockWaitMs = 3000;

// A plug event: arrival or removal of a USB device. `name` is an interface
// name that holds "VID_xxxx" and "PID_xxxx" the way the discovery code parses it.
struct HotplugEvent {
  bool arrival = false;
  std::string name;
};

// A device node that exists but could not be opened for lack of permission.
struct HidAccessDenied {
  std::string node;  // the device node, e.g. "/dev/hidraw5"
  int err = 0;       // EACCES or EPERM
};

class HidTransport {
 public:
  virtual ~HidTransport() = default;

  // Lists the HID interfaces present now. Never throws; an unreadable
  // interface is left out.
  virtual std::vector<HidIfInfo> Enumerate() = 0;

  // Opens an interface for a role. Null on failure; `*err` (when given) gets
  // the platform error code (EACCES when access was denied).
  virtual std::unique_ptr<HidHandle> Open(const std::string& path, HidRole role,
                                          int* err = nullptr) = 0;

  // Starts delivering plug events to `fn` on a thread of the transport's own
  // until StopHotplug or destruction. Returns false when no events can be had.
  virtual bool StartHotplug(std::function<void(const HotplugEvent&)> fn) = 0;
  virtual void StopHotplug() = 0;

  // Nodes whose last Open was refused for lack of permission, so that the
  // user can be told why a mouse that is plugged in does not show up.
  virtual std::vector<HidAccessDenied> AccessDenied() const { return {}; }
};

}  // namespace tolvane
