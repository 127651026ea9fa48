// The two protocol classes.
//
// CDevPro: commands as feature reports on the command interface, replies and
// notifications as input reports on the notify interface.
// CDevProPlus: one interface, commands as output reports, replies and
// notifications read from the same interface.
//
// SetDpiColor, SetDpi, SetKeyMatrix, SetPollingRate, ApplySetting and
// GetProfile belong to the profile code: their bodies live in
// src/profile/dev_profile.cpp.
#pragma once

#include "device/hid_dev.h"

namespace tolvane {

class CDevPro : public CHidDev {
 public:
  CDevPro();
  ~CDevPro() override;

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
  int SetDpiColor(uint32_t nMask, const uint32_t* pColors, int nCount) override;
  int SetDpi(uint32_t nMask, const DpiLevel* pLevels, int nCount) override;
  int SetKeyMatrix(uint32_t nMask, const uint32_t* pCodes, int nCount) override;
  int SetPollingRate(uint32_t dwRate) override;
  int ApplySetting(ProfileFile* pFile, EventSink* pProgress, uint32_t nMsg, uint32_t nFlag,
                   uint32_t nData, MacroLibrary* pLibrary = nullptr) override;
  int GetProfile(ProfileFile* pFile, MacroLibrary* pLibrary) override;

 protected:
  int SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) override;
};

class CDevProPlus : public CHidDev {
 public:
  CDevProPlus();
  ~CDevProPlus() override;

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
  int SetDpiColor(uint32_t nMask, const uint32_t* pColors, int nCount) override;
  int SetDpi(uint32_t nMask, const DpiLevel* pLevels, int nCount) override;
  int SetKeyMatrix(uint32_t nMask, const uint32_t* pCodes, int nCount) override;
  int SetPollingRate(uint32_t dwRate) override;
  int ApplySetting(ProfileFile* pFile, EventSink* pProgress, uint32_t nMsg, uint32_t nFlag,
                   uint32_t nData, MacroLibrary* pLibrary = nullptr) override;
  int GetProfile(ProfileFile* pFile, MacroLibrary* pLibrary) override;

 protected:
  int SendRequest(HidHandle* h, const uint8_t* payload, int* pErr) override;
};

}  // namespace tolvane
