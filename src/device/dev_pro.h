// The two protocol classes.
//
// CDevPro: commands as feature reports on the command interface, replies and
// notifications as input reports on the notify interface.
// CDevProPlus: one interface, commands as output reports, replies and
// notifications read from the same interface.
//
// Both run the same exchanges (CDevProFamily); what differs is how a request
// is sent (SendRequest), which interface the service thread reads, the
// command that switches profiles and a few log lines.
#pragma once

#include "device/hid_dev.h"

namespace tolvane {

class CDevProFamily : public CHidDev {
 public:
  int WaitNotify(int nCmdID, CRetParam& reply) override;
  int ReadROM(uint32_t nAddr, uint8_t* pBuf, int nLen, const RomStopTest& stop = {}) override;
  int ReadEEPROM(uint32_t nAddr, uint8_t* pBuf, int nLen) override;
  int WriteEEPROM(uint32_t nAddr, const uint8_t* pData, int nLen, int nChunk) override;
  int SendCMD(int nCmdID, uint8_t bData, HidHandle* hDev = nullptr) override;
  int GetCurDpiLevel() override;
  int TellDrvStatus(int nStatus) override;
  int GetCmd06Value() override;
  int GetConnectStatus() override;
  int QueryCmd(int nCmdID, uint8_t* pOut, int nOutLen) override;
  int GetCurProfile() override;
  int SetCurProfile(int nProfile) override;
  int GetCmd0FFlag(int& nFlag) override;
  int GetPower(int& nPower, int& nCharging) override;
  int SetNotifyWnd(EventSink* pSink) override;
  void ClearHandle() override;

 protected:
  // Only the two protocol classes are made; `plus` selects the PRO+ ways.
  explicit CDevProFamily(bool plus);
};

class CDevPro : public CDevProFamily {
 public:
  CDevPro();
  ~CDevPro() override;

 protected:
  int SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) override;
};

class CDevProPlus : public CDevProFamily {
 public:
  CDevProPlus();
  ~CDevProPlus() override;

 protected:
  int SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) override;
};

}  // namespace tolvane
