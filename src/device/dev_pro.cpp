#include "device/dev_pro.h"

#include "app/log.h"

namespace tolvane {

// ---- CDevPro

CDevPro::CDevPro() {
  svcName_ = "ServiceThread_PRO";
  svcReadsNotify_ = true;
  svcPlus_ = false;
}

CDevPro::~CDevPro() { StopService(); }

int CDevPro::SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) {
  Report report{};
  if (SendCommand(PER_PAYLOAD, report, h, payload)) return 1;
  if (pErr) *pErr = h ? h->LastError() : 0;
  return 0;
}

int CDevPro::WaitNotify(int nCmdID, CRetParam& reply) { return SharedWaitNotify(nCmdID, reply); }
int CDevPro::ReadROM(uint32_t nAddr, uint8_t* pBuf, int nLen, const RomStopTest& stop) {
  return SharedReadROM(nAddr, pBuf, nLen, stop);
}
int CDevPro::ReadEEPROM(uint32_t nAddr, uint8_t* pBuf, int nLen) {
  return SharedReadEEPROM(nAddr, pBuf, nLen);
}
int CDevPro::WriteEEPROM(uint32_t nAddr, const uint8_t* pData, int nLen, int nChunk) {
  return SharedWriteEEPROM(nAddr, pData, nLen, nChunk, false);
}
int CDevPro::SendCMD(int nCmdID, uint8_t bData, HidHandle* hDev) {
  return SharedSendCMD(nCmdID, bData, hDev, true);
}
int CDevPro::GetCurDpiLevel() { return SharedGetCurDpiLevel(); }
int CDevPro::TellDrvStatus(int nStatus) {
  if (!HasCmd()) return 0;
  LogPrint("TellDrvStatus= %x", unsigned(nStatus));
  return SendCMD(kCmdTellDrvStatus, uint8_t(nStatus), nullptr);
}
int CDevPro::GetCmd06Value() { return SharedGetCmd06Value(); }
int CDevPro::GetConnectStatus() { return SharedGetConnectStatus(); }
int CDevPro::QueryCmd(int nCmdID, uint8_t* pOut, int nOutLen) {
  return SharedQueryCmd(nCmdID, pOut, nOutLen);
}
int CDevPro::GetCurProfile() { return SharedGetCurProfile(); }
int CDevPro::SetCurProfile(int nProfile) {
  return SharedSetCurProfile(kCmdSetCurProfilePro, nProfile);
}
int CDevPro::GetCmd0FFlag(int& nFlag) { return SharedGetCmd0FFlag(nFlag); }
int CDevPro::GetPower(int& nPower, int& nCharging) { return SharedGetPower(nPower, nCharging); }
int CDevPro::SetNotifyWnd(EventSink* pSink) {
  hWndNotify_ = pSink;
  return 1;
}
void CDevPro::ClearHandle() { CloseHandles("CDevPro::ClearHandle"); }

// ---- CDevProPlus

CDevProPlus::CDevProPlus() {
  svcName_ = "ServiceThread_PROPLUS";
  svcReadsNotify_ = false;
  svcPlus_ = true;
}

CDevProPlus::~CDevProPlus() { StopService(); }

int CDevProPlus::SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) {
  return SendData_PROPLUS(pErr, h, payload);
}

int CDevProPlus::WaitNotify(int nCmdID, CRetParam& reply) {
  return SharedWaitNotify(nCmdID, reply);
}
int CDevProPlus::ReadROM(uint32_t nAddr, uint8_t* pBuf, int nLen, const RomStopTest& stop) {
  return SharedReadROM(nAddr, pBuf, nLen, stop);
}
int CDevProPlus::ReadEEPROM(uint32_t nAddr, uint8_t* pBuf, int nLen) {
  return SharedReadEEPROM(nAddr, pBuf, nLen);
}
int CDevProPlus::WriteEEPROM(uint32_t nAddr, const uint8_t* pData, int nLen, int nChunk) {
  return SharedWriteEEPROM(nAddr, pData, nLen, nChunk, true);
}
int CDevProPlus::SendCMD(int nCmdID, uint8_t bData, HidHandle* hDev) {
  return SharedSendCMD(nCmdID, bData, hDev, false);
}
int CDevProPlus::GetCurDpiLevel() { return SharedGetCurDpiLevel(); }
int CDevProPlus::TellDrvStatus(int nStatus) {
  if (!HasCmd()) return 0;
  LogPrint("TellDrvStatus= %x, cid=%x,mid=%x,pid=%04x", unsigned(nStatus), unsigned(cid),
           unsigned(mid), unsigned(wPID));
  return SendCMD(kCmdTellDrvStatus, uint8_t(nStatus), nullptr);
}
int CDevProPlus::GetCmd06Value() { return SharedGetCmd06Value(); }
int CDevProPlus::GetConnectStatus() { return SharedGetConnectStatus(); }
int CDevProPlus::QueryCmd(int nCmdID, uint8_t* pOut, int nOutLen) {
  return SharedQueryCmd(nCmdID, pOut, nOutLen);
}
int CDevProPlus::GetCurProfile() { return SharedGetCurProfile(); }
int CDevProPlus::SetCurProfile(int nProfile) { return SharedSetCurProfile(kCmd0F, nProfile); }
int CDevProPlus::GetCmd0FFlag(int& nFlag) { return SharedGetCmd0FFlag(nFlag); }
int CDevProPlus::GetPower(int& nPower, int& nCharging) {
  return SharedGetPower(nPower, nCharging);
}
int CDevProPlus::SetNotifyWnd(EventSink* pSink) {
  hWndNotify_ = pSink;
  return 1;
}
void CDevProPlus::ClearHandle() { CloseHandles("CDevProPlus::ClearHandle"); }

}  // namespace tolvane
