// The connected-device object: the abstract interface the program calls, the
// request/reply machinery and the service thread that reads every input report.
//
// A request goes out as a command report; the service thread files every
// input report that is not a notification into the reply queue; WaitNotify
// takes the reply for the command out of it. Notifications (command 0x0A)
// become WM_DEVICE_BEHAVIOR events.
//
// Locks: m_Lock around each exchange on one device; inside it the process-wide
// wait lock held by every WaitNotify; inside that the queue's own lock. Never
// the other way round.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/event_sink.h"
#include "device/framing.h"
#include "device/transport.h"

namespace tolvane {

struct DevCfg;
struct DevEntry;     // the device-list entry that owns the object

// ReadROM's stop test: sees the piece just read; true ends the read.
using RomStopTest = std::function<bool(const uint8_t* piece, int len)>;

// Longest reply wait: what 10 ms plus 51 polls of 20 ms added up to.
constexpr int kWaitNotifyBoundMs = 1030;

// Command ids.
enum : uint8_t {
  kCmdCheckPsd = 0x01,
  kCmdTellDrvStatus = 0x02,
  kCmdConnectStatus = 0x03,
  kCmdGetPower = 0x04,
  kCmdGet06 = 0x06,
  kCmdWriteEEPROM = 0x07,
  kCmdReadEEPROM = 0x08,
  kCmdCommit = 0x09,
  kCmdGetCurProfile = 0x0E,
  kCmd0F = 0x0F,
  kCmdSetCurProfilePro = 0x10,
};

// WM_DEVICE_BEHAVIOR kinds (lParam high byte).
enum : int {
  kBehaviorDpiLevel = 1,
  kBehaviorRate = 2,
  kBehaviorReset = 3,
  kBehaviorMainLight = 4,
  kBehaviorLogoLight = 5,
  kBehaviorDpiLight = 6,
  kBehaviorPower = 7,
};

class CHidDev {
 public:
  CHidDev();
  virtual ~CHidDev();
  CHidDev(const CHidDev&) = delete;
  CHidDev& operator=(const CHidDev&) = delete;

  // ---- The virtual operations, in the order of the interface. The base
  // implements each trivially (0, or what the comment says).

  // Takes the reply for nCmdID (low byte) out of the queue: 1, or -1 when none
  // came within about 1030 ms. Replies for other commands are discarded.
  virtual int WaitNotify(int nCmdID, CRetParam& reply);
  // Reads nLen bytes in pieces of at most 10; 1 or 0.
  virtual int ReadROM(uint32_t nAddr, uint8_t* pBuf, int nLen, const RomStopTest& stop = {});
  // Command 8, nLen 1-10; 1 or 0.
  virtual int ReadEEPROM(uint32_t nAddr, uint8_t* pBuf, int nLen);
  // Command 7 in chunks of nChunk bytes (0 = 10); 1 or 0.
  virtual int WriteEEPROM(uint32_t nAddr, const uint8_t* pData, int nLen, int nChunk);
  // The exchange with a payload of the command id alone (command 2 carries
  // bData). A null hDev means the command interface.
  virtual int SendCMD(int nCmdID, uint8_t bData, HidHandle* hDev = nullptr);
  virtual int GetCurDpiLevel();                 // level or -1
  virtual int TellDrvStatus(int nStatus);       // command 2
  virtual int GetCmd06Value();                  // reply data byte 0, 0 on failure
  virtual int GetConnectStatus();               // 1 connected, 0, -1 on failure
  virtual int QueryCmd(int nCmdID, uint8_t* pOut, int nOutLen);
  virtual int GetCurProfile();                  // profile number or -1
  virtual int SetCurProfile(int nProfile);
  virtual int GetCmd0FFlag(int& nFlag);
  virtual int GetPower(int& nPower, int& nCharging);
  virtual int Reserved1();                      // 0
  virtual int SetNotifyWnd(EventSink* pSink);   // 1; the base stores nothing
  virtual int Reserved2();                      // 1
  virtual void ClearHandle();                   // the base does nothing
  // The profile reader and writer (GetProfile, ApplySetting) and their EEPROM
  // writers are functions of the profile code (profile/profile_device.h) that
  // take the device object: this class only exchanges commands.

  // True for the PRO+ protocol (CDevProPlus): the profile code picks its
  // EEPROM map and light encodings by it.
  bool IsPlus() const { return svcPlus_; }

  // ---- Connection set-up (discovery) and tear-down.

  // Hands the object its open interfaces. PRO: command and notify; PRO+: the
  // single interface as `cmd`.
  void SetHandles(std::unique_ptr<HidHandle> cmd, std::unique_ptr<HidHandle> notify = nullptr);
  // An offline object: counts as connected, every command fails.
  void SetOfflineMarker();
  bool HasCmd() const { return bHasCmd_.load(); }
  HidHandle* Cmd() const { return hCmdRaw_.load(); }
  HidHandle* Notify() const { return hNotify_.get(); }
  // True when the last exchange could not start because another process of
  // ours held the device's lock past kDeviceLockWaitMs; false again once an
  // exchange gets the lock.
  bool Busy() const { return bBusy_.load(); }

  // Starts the service thread on the interface replies come from. No effect
  // without that interface or when it already runs.
  void StartService();
  // Stops the service thread (stop event and CancelRead) and joins it.
  // Idempotent; callable from any thread but the service thread itself.
  void StopService();
  bool ServiceRunning() const { return svcThread_.joinable(); }

  // ---- Identity, filled by discovery before the object is published.
  uint8_t cid = 0, mid = 0;
  uint16_t wVID = 0, wPID = 0;
  uint32_t dwVersion = 0;
  uint32_t b4KDevice = 0;
  std::string szCmdPath, szNotifyPath;
  DevEntry* pEntry = nullptr;      // back pointer to the owning entry
  uintptr_t nEntryParam = 0;       // wParam of the events posted for this device
  const DevCfg* pDevCfg = nullptr; // the catalogue model (cid/mid of the log lines)
  // Current DPI level (0-based): set by GetProfile from the device, written
  // to the device by ApplySetting's current-level group. The device-list
  // entry copies it.
  std::atomic<int> nCurDpiLevel{0};

 protected:
  // Transport hook: sends one request payload (15 bytes) on `h`. 1 or 0; on
  // failure `*pErr` gets the platform error.
  virtual int SendRequest(HidHandle* h, const uint8_t* payload, int* pErr);

  enum class Outcome { Good, NoGoodReply, SendFailed };
  // One attempt: send, wait for the reply, judge it.
  Outcome Attempt(HidHandle* h, const uint8_t* payload, CRetParam& reply, int* pErr);
  // The exchange: m_Lock, empty queue, up to "Retry" attempts. `badReplyLog`
  // is logged after each attempt that brought no good reply.
  Outcome Exchange(HidHandle* h, const uint8_t* payload, CRetParam& reply, int* pErr,
                   const char* badReplyLog = nullptr);

  // One attempt under m_Lock with an emptied queue, for the commands that
  // are not retried; true on a good reply.
  bool SingleAttempt(const uint8_t* payload, CRetParam& reply);

  // Shared implementations of both protocol classes.
  int SharedWaitNotify(int nCmdID, CRetParam& reply);
  int SharedReadROM(uint32_t nAddr, uint8_t* pBuf, int nLen, const RomStopTest& stop);
  int SharedReadEEPROM(uint32_t nAddr, uint8_t* pBuf, int nLen);
  int SharedWriteEEPROM(uint32_t nAddr, const uint8_t* pData, int nLen, int nChunk,
                        bool plusLastChunkLog);
  int SharedSendCMD(int nCmdID, uint8_t bData, HidHandle* hDev, bool logLines);
  int SharedQueryCmd(int nCmdID, uint8_t* pOut, int nOutLen);
  int SharedGetConnectStatus();
  int SharedGetCurDpiLevel();
  int SharedGetCurProfile();
  int SharedSetCurProfile(uint8_t nCmdID, int nProfile);
  int SharedGetCmd06Value();
  int SharedGetCmd0FFlag(int& nFlag);
  int SharedGetPower(int& nPower, int& nCharging);
  // Stops the service, then closes the interfaces under m_Lock.
  void CloseHandles(const char* logLine);

  void ClearQueue();

  // Service thread parameters, set by the protocol class's constructor.
  const char* svcName_ = "ServiceThread";
  bool svcReadsNotify_ = true;  // PRO: replies on hNotify; PRO+: on hCmd
  bool svcPlus_ = false;        // PRO+: flag bit 6 and no report id preset

  std::atomic<EventSink*> hWndNotify_{nullptr};
  std::mutex m_Lock;  // one exchange at a time on this device
  // The request of the attempt that waits for its reply (set and read only
  // by the thread that runs the attempt, under m_Lock), so that the wait can
  // tell its reply from a late one to an earlier request.
  const uint8_t* waitingFor_ = nullptr;
  // Command, address and length of the last EEPROM attempts that got no
  // reply (same thread and lock as waitingFor_).
  std::array<std::array<uint8_t, 4>, 4> unanswered_{};
  size_t unansweredNext_ = 0;
  void RememberUnanswered(const uint8_t* payload);
  bool IsStaleEepromReply(int nCmdID, const CRetParam& reply);

 private:
  void ServiceThread(HidHandle* h);
  void ProcessReport(const Report& report);
  void PostNotifications(const uint8_t* payload);

  std::unique_ptr<HidHandle> hCmd_;
  std::unique_ptr<HidHandle> hNotify_;
  std::atomic<HidHandle*> hCmdRaw_{nullptr};  // hCmd_ for readers outside m_Lock
  std::atomic<bool> bHasCmd_{false};
  std::atomic<bool> bOffline_{false};
  std::atomic<bool> bClosing_{false};
  std::atomic<bool> bBusy_{false};

  // The reply queue and its lock; readerEnded_ is true once a started
  // service thread has left its loop (no reply can come any more).
  std::mutex qLock_;
  std::condition_variable qCv_;
  std::deque<CRetParam> queue_;
  bool readerEnded_ = false;

  std::mutex svcMutex_;  // start/stop of the service thread
  std::thread svcThread_;
  std::atomic<bool> svcStop_{false};
  HidHandle* svcHandle_ = nullptr;
};

// The process-wide wait lock held by every WaitNotify.
std::mutex& ReplyWaitLock();

}  // namespace tolvane
