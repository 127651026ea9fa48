#include "device/dev_pro.h"

#include "app/log.h"

namespace tolvane {

// ---- What both protocols share

CDevProFamily::CDevProFamily(bool plus) {
  svcName_ = plus ? "ServiceThread_PROPLUS" : "ServiceThread_PRO";
  svcReadsNotify_ = !plus;
  svcPlus_ = plus;
}

int CDevProFamily::WaitNotify(int nCmdID, CRetParam& reply) {
  return SharedWaitNotify(nCmdID, reply);
}
int CDevProFamily::ReadROM(uint32_t nAddr, uint8_t* pBuf, int nLen, const RomStopTest& stop) {
  return SharedReadROM(nAddr, pBuf, nLen, stop);
}
int CDevProFamily::ReadEEPROM(uint32_t nAddr, uint8_t* pBuf, int nLen) {
  return SharedReadEEPROM(nAddr, pBuf, nLen);
}
int CDevProFamily::WriteEEPROM(uint32_t nAddr, const uint8_t* pData, int nLen, int nChunk) {
  return SharedWriteEEPROM(nAddr, pData, nLen, nChunk, IsPlus());
}
int CDevProFamily::SendCMD(int nCmdID, uint8_t bData, HidHandle* hDev) {
  return SharedSendCMD(nCmdID, bData, hDev, !IsPlus());
}
int CDevProFamily::GetCurDpiLevel() { return SharedGetCurDpiLevel(); }
int CDevProFamily::TellDrvStatus(int nStatus) {
  if (!HasCmd()) return 0;
  if (IsPlus()) {
    LogPrint("TellDrvStatus= %x, cid=%x,mid=%x,pid=%04x", unsigned(nStatus), unsigned(cid),
             unsigned(mid), unsigned(wPID));
  } else {
    LogPrint("TellDrvStatus= %x", unsigned(nStatus));
  }
  return SendCMD(kCmdTellDrvStatus, uint8_t(nStatus), nullptr);
}
int CDevProFamily::GetCmd06Value() { return SharedGetCmd06Value(); }
int CDevProFamily::GetConnectStatus() { return SharedGetConnectStatus(); }
int CDevProFamily::QueryCmd(int nCmdID, uint8_t* pOut, int nOutLen) {
  return SharedQueryCmd(nCmdID, pOut, nOutLen);
}
int CDevProFamily::GetCurProfile() { return SharedGetCurProfile(); }
int CDevProFamily::SetCurProfile(int nProfile) {
  return SharedSetCurProfile(IsPlus() ? kCmd0F : kCmdSetCurProfilePro, nProfile);
}
int CDevProFamily::GetCmd0FFlag(int& nFlag) { return SharedGetCmd0FFlag(nFlag); }
int CDevProFamily::GetPower(int& nPower, int& nCharging) {
  return SharedGetPower(nPower, nCharging);
}
int CDevProFamily::SetNotifyWnd(EventSink* pSink) {
  hWndNotify_ = pSink;
  return 1;
}
void CDevProFamily::ClearHandle() {
  CloseHandles(IsPlus() ? "CDevProPlus::ClearHandle" : "CDevPro::ClearHandle");
}

// ---- CDevPro

CDevPro::CDevPro() : CDevProFamily(false) {}

CDevPro::~CDevPro() { StopService(); }

int CDevPro::SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) {
  Report report{};
  if (SendCommand(PER_PAYLOAD, report, h, payload)) return 1;
  if (pErr) *pErr = h ? h->LastError() : 0;
  return 0;
}

// ---- CDevProPlus

CDevProPlus::CDevProPlus() : CDevProFamily(true) {}

CDevProPlus::~CDevProPlus() { StopService(); }

int CDevProPlus::SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) {
  return SendData_PROPLUS(pErr, h, payload);
}

}  // namespace tolvane
