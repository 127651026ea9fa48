#include "device/hid_dev.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/log.h"
#include "config/dev_cfg.h"
#include "device/link_options.h"

namespace tolvane {

namespace {

constexpr int kRomPieceSleepMs = 5;
// The service thread waits for the next report with no time limit (an idle
// mouse wakes nobody); Stop's CancelRead ends the wait at once.
constexpr int kServiceReadNoLimit = -1;
// A read that fails while the device is still there is retried after this.
constexpr int kServiceErrorPauseMs = 10;
// Replies nobody waits for are kept up to this many; the oldest go first.
constexpr size_t kMaxQueuedReplies = 256;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void Payload(uint8_t (&p)[PER_PAYLOAD], uint8_t cmd) {
  std::memset(p, 0, sizeof p);
  p[kPayCmd] = cmd;
}

}  // namespace

std::mutex& ReplyWaitLock() {
  static std::mutex lock;
  return lock;
}

CHidDev::CHidDev() = default;

CHidDev::~CHidDev() {
  StopService();
  ClearQueue();
}

// ---- Base operations: trivial.

int CHidDev::WaitNotify(int, CRetParam&) { return 0; }
int CHidDev::ReadROM(uint32_t, uint8_t*, int, const RomStopTest&) { return 0; }
int CHidDev::ReadEEPROM(uint32_t, uint8_t*, int) { return 0; }
int CHidDev::WriteEEPROM(uint32_t, const uint8_t*, int, int) { return 0; }
int CHidDev::SendCMD(int, uint8_t, HidHandle*) { return 0; }
int CHidDev::GetCurDpiLevel() { return 0; }
int CHidDev::TellDrvStatus(int) { return 0; }
int CHidDev::GetCmd06Value() { return 0; }
int CHidDev::GetConnectStatus() { return 0; }
int CHidDev::QueryCmd(int, uint8_t*, int) { return 0; }
int CHidDev::GetCurProfile() { return 0; }
int CHidDev::SetCurProfile(int) { return 0; }
int CHidDev::GetCmd0FFlag(int&) { return 0; }
int CHidDev::GetPower(int&, int&) { return 0; }
int CHidDev::Reserved1() { return 0; }
int CHidDev::SetNotifyWnd(EventSink*) { return 1; }
int CHidDev::Reserved2() { return 1; }
void CHidDev::ClearHandle() {}
int CHidDev::SendRequest(HidHandle*, const uint8_t*, int*) { return 0; }

// ---- Handles.

void CHidDev::SetHandles(std::unique_ptr<HidHandle> cmd, std::unique_ptr<HidHandle> notify) {
  std::lock_guard<std::mutex> lock(m_Lock);
  hCmd_ = std::move(cmd);
  hNotify_ = std::move(notify);
  hCmdRaw_ = hCmd_.get();
  bHasCmd_ = hCmd_ != nullptr || bOffline_;
}

void CHidDev::SetOfflineMarker() {
  bOffline_ = true;
  bHasCmd_ = true;
}

void CHidDev::CloseHandles(const char* logLine) {
  LogPrint("%s", logLine);
  bClosing_ = true;  // an exchange in progress fails at its next send
  StopService();     // the reader is joined before its handle closes
  std::lock_guard<std::mutex> lock(m_Lock);
  cid = 0;
  mid = 0;
  hCmdRaw_ = nullptr;
  hCmd_.reset();
  hNotify_.reset();
  bOffline_ = false;
  bHasCmd_ = false;
  szCmdPath.clear();
  szNotifyPath.clear();
  ClearQueue();
  bClosing_ = false;
}

// ---- Queue and reply wait.

void CHidDev::ClearQueue() {
  std::lock_guard<std::mutex> q(qLock_);
  queue_.clear();
}

int CHidDev::SharedWaitNotify(int nCmdID, CRetParam& reply) {
  std::lock_guard<std::mutex> wait(ReplyWaitLock());
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitNotifyBoundMs);
  std::unique_lock<std::mutex> q(qLock_);
  for (;;) {
    qCv_.wait_until(q, deadline, [&] { return !queue_.empty() || readerEnded_; });
    if (queue_.empty()) break;  // time is up, or no reply can come any more
    reply = queue_.front();
    queue_.pop_front();
    if (reply.Cmd() != uint8_t(nCmdID)) continue;
    // A reply that carries the address and length of an earlier EEPROM
    // request that went unanswered, and not those of this one, is that
    // request's late answer: taking it would hand over the bytes of another
    // address. Only such known stale replies are dropped; a reply that
    // carries no echo at all is taken as before.
    if (IsStaleEepromReply(nCmdID, reply)) {
      LogPrint("WaitNotify: reply for another address (0x%x, %d bytes), discarded",
               unsigned(reply.data[kPayAddrHi] << 8 | reply.data[kPayAddrLo]),
               int(reply.data[kPayLen]));
      continue;
    }
    return 1;
  }
  q.unlock();
  LogPrint("WaitNotify TimeOut for nCmdID=%x, ThreadId=0x%x", unsigned(nCmdID), LogThreadId());
  return -1;
}

// ---- Exchanges.

CHidDev::Outcome CHidDev::Attempt(HidHandle* h, const uint8_t* payload, CRetParam& reply,
                                  int* pErr) {
  if (bClosing_) {
    if (pErr) *pErr = 0;
    return Outcome::SendFailed;
  }
  HidHandle* target = h ? h : hCmd_.get();
  // Another process of ours may be talking to the same mouse: the request
  // and its reply go under the device's advisory lock.
  if (target && !target->Lock(kDeviceLockWaitMs)) {
    LogPrint("SendCMD: the device is in use by another program (%s)", szCmdPath.c_str());
    bBusy_ = true;
    if (pErr) *pErr = EBUSY;
    return Outcome::SendFailed;
  }
  bBusy_ = false;
  if (!SendRequest(target, payload, pErr)) {
    if (target) target->Unlock();
    return Outcome::SendFailed;
  }
  waitingFor_ = payload;
  const int got = WaitNotify(payload[kPayCmd], reply);
  waitingFor_ = nullptr;
  if (target) target->Unlock();
  if (got != 1) RememberUnanswered(payload);
  if (got == 1 && reply.Status() == 0) return Outcome::Good;
  return Outcome::NoGoodReply;
}

namespace {
bool IsEepromCommand(uint8_t cmd) { return cmd == kCmdReadEEPROM || cmd == kCmdWriteEEPROM; }
}  // namespace

void CHidDev::RememberUnanswered(const uint8_t* payload) {
  if (!IsEepromCommand(payload[kPayCmd])) return;
  unanswered_[unansweredNext_] = {payload[kPayCmd], payload[kPayAddrHi], payload[kPayAddrLo],
                                  payload[kPayLen]};
  unansweredNext_ = (unansweredNext_ + 1) % unanswered_.size();
}

bool CHidDev::IsStaleEepromReply(int nCmdID, const CRetParam& reply) {
  const uint8_t* req = waitingFor_;
  if (!req || req[kPayCmd] != uint8_t(nCmdID) || !IsEepromCommand(req[kPayCmd])) return false;
  const std::array<uint8_t, 4> echo = {reply.data[kPayCmd], reply.data[kPayAddrHi],
                                       reply.data[kPayAddrLo], reply.data[kPayLen]};
  const std::array<uint8_t, 4> mine = {req[kPayCmd], req[kPayAddrHi], req[kPayAddrLo],
                                       req[kPayLen]};
  if (echo == mine) return false;
  for (auto& u : unanswered_) {
    if (u[3] != 0 && u == echo) {
      u = {};  // one late answer per unanswered attempt
      return true;
    }
  }
  return false;
}

CHidDev::Outcome CHidDev::Exchange(HidHandle* h, const uint8_t* payload, CRetParam& reply,
                                   int* pErr, const char* badReplyLog) {
  std::lock_guard<std::mutex> lock(m_Lock);
  ClearQueue();
  const int retry = GetLinkOptions().nRetry;
  for (int i = 0; i < retry; ++i) {
    Outcome o = Attempt(h, payload, reply, pErr);
    if (o != Outcome::NoGoodReply) return o;
    if (badReplyLog) LogPrint("%s", badReplyLog);
  }
  return Outcome::NoGoodReply;
}

int CHidDev::SharedSendCMD(int nCmdID, uint8_t bData, HidHandle* hDev, bool proLog) {
  if (proLog) {
    LogPrint("SendCMD: nCmdID=0x%x, bData=0x%x", unsigned(nCmdID), unsigned(bData));
    LogPrint("SendCMD: hDev=0x%x", HandleLogId(hDev ? hDev : hCmdRaw_.load()));
  }
  uint8_t p[PER_PAYLOAD];
  Payload(p, uint8_t(nCmdID));
  if (nCmdID == kCmdTellDrvStatus) {
    p[kPayLen] = 1;
    p[kPayData] = bData;
  }
  CRetParam reply;
  int err = 0;
  Outcome o = Exchange(hDev, p, reply, &err);
  if (o == Outcome::SendFailed) {
    if (proLog)
      LogPrint("SendCMD: err=0x%x", unsigned(err));
    else
      LogPrint("SendCMD: err");
  }
  return o == Outcome::Good ? 1 : 0;
}

int CHidDev::SharedQueryCmd(int nCmdID, uint8_t* pOut, int nOutLen) {
  uint8_t p[PER_PAYLOAD];
  Payload(p, uint8_t(nCmdID));
  CRetParam reply;
  int err = 0;
  if (Exchange(nullptr, p, reply, &err) != Outcome::Good) return 0;
  if (pOut && nOutLen >= int(kMaxCmdData)) std::memcpy(pOut, reply.ReplyData(), kMaxCmdData);
  return 1;
}

int CHidDev::SharedGetConnectStatus() {
  if (!HasCmd()) return 0;
  uint8_t buf[PER_PAYLOAD] = {};
  if (QueryCmd(kCmdConnectStatus, buf, sizeof buf)) return buf[0];
  LogPrint("GetConnectStatus Failed");
  return -1;
}

int CHidDev::SharedGetCurDpiLevel() {
  uint8_t buf[2] = {};
  if (ReadEEPROM(0x04, buf, 2)) return buf[0];
  return -1;
}

int CHidDev::SharedGetCurProfile() {
  uint8_t buf[PER_PAYLOAD] = {};
  if (QueryCmd(kCmdGetCurProfile, buf, sizeof buf)) return buf[0];
  LogPrint("GetCurProfile Failed");
  return -1;
}

// The single-attempt commands below take m_Lock too: a request sent beside
// another exchange would empty its queue or take its reply.
int CHidDev::SharedSetCurProfile(uint8_t nCmdID, int nProfile) {
  uint8_t p[PER_PAYLOAD];
  Payload(p, nCmdID);
  p[kPayLen] = 1;
  p[kPayData] = uint8_t(nProfile);
  CRetParam reply;
  return SingleAttempt(p, reply) ? 1 : 0;
}

bool CHidDev::SingleAttempt(const uint8_t* payload, CRetParam& reply) {
  std::lock_guard<std::mutex> lock(m_Lock);
  ClearQueue();
  return Attempt(nullptr, payload, reply, nullptr) == Outcome::Good;
}

int CHidDev::SharedGetCmd06Value() {
  uint8_t p[PER_PAYLOAD];
  Payload(p, kCmdGet06);
  CRetParam reply;
  if (!SingleAttempt(p, reply)) return 0;
  return reply.ReplyData()[0];
}

int CHidDev::SharedGetCmd0FFlag(int& nFlag) {
  uint8_t p[PER_PAYLOAD];
  Payload(p, kCmd0F);
  CRetParam reply;
  if (!SingleAttempt(p, reply)) return 0;
  nFlag = reply.ReplyData()[0] == 0 ? 1 : 0;
  return 1;
}

int CHidDev::SharedGetPower(int& nPower, int& nCharging) {
  uint8_t p[PER_PAYLOAD];
  Payload(p, kCmdGetPower);
  CRetParam reply;
  if (!SingleAttempt(p, reply)) return 0;
  nPower = reply.ReplyData()[0];
  nCharging = reply.ReplyData()[1];
  return 1;
}

// ---- EEPROM.

int CHidDev::SharedReadEEPROM(uint32_t nAddr, uint8_t* pBuf, int nLen) {
  if (nLen > int(kMaxCmdData) || nLen < 1 || !pBuf || !HasCmd()) return 0;
  uint8_t p[PER_PAYLOAD];
  Payload(p, kCmdReadEEPROM);
  p[kPayAddrHi] = uint8_t(nAddr >> 8);
  p[kPayAddrLo] = uint8_t(nAddr);
  p[kPayLen] = uint8_t(nLen);
  CRetParam reply;
  int err = 0;
  if (Exchange(nullptr, p, reply, &err, "ReadEEPROM Failed") != Outcome::Good) return 0;
  std::memcpy(pBuf, reply.ReplyData(), size_t(nLen));
  return 1;
}

int CHidDev::SharedReadROM(uint32_t nAddr, uint8_t* pBuf, int nLen, const RomStopTest& stop) {
  if (nLen < 0 || (nLen > 0 && !pBuf)) return 0;
  for (int off = 0, i = 0; off < nLen; off += int(kMaxCmdData), ++i) {
    if (i > 0) SleepMs(kRomPieceSleepMs);
    const int n = std::min(int(kMaxCmdData), nLen - off);
    if (!ReadEEPROM(nAddr + uint32_t(off), pBuf + off, n)) {
      LogPrint("ReadROM Failed at %d: nAddr=0x%x", i, unsigned(nAddr + uint32_t(off)));
      return 0;
    }
    if (stop && stop(pBuf + off, n)) return 1;
  }
  return 1;
}

int CHidDev::SharedWriteEEPROM(uint32_t nAddr, const uint8_t* pData, int nLen, int nChunk,
                               bool plusLastChunkLog) {
  if (nLen < 0 || (nLen > 0 && !pData)) return 0;
  char title[48];
  std::snprintf(title, sizeof title, "WriteEEPROM( Addr=0x%x ): ", unsigned(nAddr));
  LogHex(pData, size_t(nLen), 0, title);
  // A command carries at most 10 data bytes.
  const int chunk = (nChunk <= 0 || nChunk > int(kMaxCmdData)) ? int(kMaxCmdData) : nChunk;
  const int full = nLen / chunk;
  const int total = full + (nLen % chunk ? 1 : 0);
  const int retry = GetLinkOptions().nRetry;

  std::lock_guard<std::mutex> lock(m_Lock);
  ClearQueue();
  bool allAcked = true;
  for (int k = 0; k < total; ++k) {
    const int len = k < full ? chunk : nLen % chunk;
    const uint32_t addr = nAddr + uint32_t(k * chunk);
    uint8_t p[PER_PAYLOAD];
    Payload(p, kCmdWriteEEPROM);
    p[kPayAddrHi] = uint8_t(addr >> 8);
    p[kPayAddrLo] = uint8_t(addr);
    p[kPayLen] = uint8_t(len);
    std::memcpy(p + kPayData, pData + k * chunk, size_t(len));
    bool acked = false;
    for (int attempt = 1; attempt <= retry; ++attempt) {
      CRetParam reply;
      Outcome o = Attempt(nullptr, p, reply, nullptr);
      if (o == Outcome::SendFailed) {
        if (plusLastChunkLog && k == full)
          LogPrint("WriteEEPROM Err");
        else
          LogPrint("WriteEEPROM Err, i=%d", k);
        return 0;
      }
      if (o == Outcome::Good) {
        acked = true;
        break;
      }
      LogPrint("WriteEEPROM Failed");
      if (retry > 1) LogPrint("nRetry=%d", attempt);
    }
    // The remaining chunks still go out, but the write is not reported as
    // done when the device never acknowledged a chunk.
    if (!acked) allAcked = false;
  }
  return allAcked ? 1 : 0;
}

// ---- Service thread.

void CHidDev::StartService() {
  std::lock_guard<std::mutex> lock(svcMutex_);
  if (svcThread_.joinable()) return;
  HidHandle* h = svcReadsNotify_ ? hNotify_.get() : hCmd_.get();
  if (!h) return;
  svcStop_ = false;
  {
    std::lock_guard<std::mutex> q(qLock_);
    readerEnded_ = false;
  }
  svcHandle_ = h;
  svcThread_ = std::thread(&CHidDev::ServiceThread, this, h);
}

void CHidDev::StopService() {
  std::lock_guard<std::mutex> lock(svcMutex_);
  if (!svcThread_.joinable()) return;
  svcStop_ = true;
  svcHandle_->CancelRead();
  svcThread_.join();
  svcHandle_ = nullptr;
}

void CHidDev::ServiceThread(HidHandle* h) {
  const unsigned c = pDevCfg ? pDevCfg->nCid : cid;
  const unsigned m = pDevCfg ? pDevCfg->nMid : mid;
  const unsigned pid = wPID;
  const unsigned hid = HandleLogId(h);
  LogPrint("%s start, hNotify=%x, CID=%x, MID=%x, PID=%04x, ThreadId=0x%x", svcName_, hid, c, m,
           pid, LogThreadId());
  for (;;) {
    if (svcStop_) {
      LogPrint("%s: hObject[1] is signal", svcName_);
      break;
    }
    Report r{};
    if (!svcPlus_) r[0] = kNotifyReportId;
    HidStatus st = h->Read(r, kServiceReadNoLimit);
    if (st == HidStatus::Ok) {
      ProcessReport(r);
      continue;
    }
    if (st == HidStatus::Timeout || st == HidStatus::Cancelled) continue;
    LogPrint("%s ReadFile Err=%d, hNotify=%x", svcName_, h->LastError(), hid);
    if (st == HidStatus::NotConnected) break;
    SleepMs(kServiceErrorPauseMs);
  }
  {
    std::lock_guard<std::mutex> q(qLock_);
    readerEnded_ = true;
  }
  qCv_.notify_all();
  LogPrint("%s exit, hNotify=%x, CID=%x, MID=%x, PID=%04x", svcName_, hid, c, m, pid);
}

void CHidDev::ProcessReport(const Report& report) {
  const uint8_t* payload = report.data() + 1;
  if (GetLinkOptions().nSubDebug & 2) {
    char title[32];
    std::snprintf(title, sizeof title, "Read(%x): ", LogThreadId());
    LogHex(payload, PER_PAYLOAD, 0, title);
  }
  if (payload[kPayCmd] == kCmdNotification) {
    PostNotifications(payload);
    return;
  }
  {
    std::lock_guard<std::mutex> q(qLock_);
    if (queue_.size() >= kMaxQueuedReplies) queue_.pop_front();
    queue_.push_back(CRetParam::FromReport(report));
  }
  qCv_.notify_all();
}

void CHidDev::PostNotifications(const uint8_t* p) {
  EventSink* sink = hWndNotify_.load();
  if (!sink) return;
  const uint8_t flags = p[kPayData];
  auto post = [&](int kind, int value) {
    sink->Post(WM_DEVICE_BEHAVIOR, nEntryParam, intptr_t(kind * 256 + value));
  };
  if (flags & 0x01) post(kBehaviorDpiLevel, p[6]);
  if (flags & 0x02) post(kBehaviorRate, p[7] & 0x0F);
  if (flags & 0x04) post(kBehaviorReset, p[9]);
  if (flags & 0x08) post(kBehaviorDpiLight, 0);
  if (flags & 0x10) post(kBehaviorLogoLight, 0);
  if (flags & 0x20) post(kBehaviorMainLight, 0);
  if (svcPlus_ && (flags & 0x40)) post(kBehaviorPower, 0);
}

}  // namespace tolvane
