// The profile operations of the two protocol classes.
#include "device/dev_pro.h"
#include "profile/profile_device.h"

namespace tolvane {

int CDevPro::SetDpiColor(uint32_t nMask, const uint32_t* pColors, int nCount) {
  return WriteDpiColors(*this, nMask, pColors, nCount);
}
int CDevPro::SetDpi(uint32_t nMask, const DpiLevel* pLevels, int nCount) {
  return WriteDpiLevels(*this, nMask, pLevels, nCount);
}
int CDevPro::SetKeyMatrix(uint32_t nMask, const uint32_t* pCodes, int nCount) {
  return WriteKeyMatrix(*this, nMask, pCodes, nCount);
}
int CDevPro::SetPollingRate(uint32_t dwRate) { return WritePollingRate(*this, dwRate, false); }
int CDevPro::ApplySetting(ProfileFile* pFile, EventSink* pProgress, uint32_t nMsg,
                          uint32_t nFlag, uint32_t nData, MacroLibrary* pLibrary) {
  return WriteDeviceProfile(*this, false, pFile, pProgress, nMsg, nFlag, nData, pLibrary);
}
int CDevPro::GetProfile(ProfileFile* pFile, MacroLibrary* pLibrary) {
  return ReadDeviceProfile(*this, false, pFile, pLibrary);
}

int CDevProPlus::SetDpiColor(uint32_t nMask, const uint32_t* pColors, int nCount) {
  return WriteDpiColors(*this, nMask, pColors, nCount);
}
int CDevProPlus::SetDpi(uint32_t nMask, const DpiLevel* pLevels, int nCount) {
  return WriteDpiLevels(*this, nMask, pLevels, nCount);
}
int CDevProPlus::SetKeyMatrix(uint32_t nMask, const uint32_t* pCodes, int nCount) {
  return WriteKeyMatrix(*this, nMask, pCodes, nCount);
}
int CDevProPlus::SetPollingRate(uint32_t dwRate) { return WritePollingRate(*this, dwRate, true); }
int CDevProPlus::ApplySetting(ProfileFile* pFile, EventSink* pProgress, uint32_t nMsg,
                              uint32_t nFlag, uint32_t nData, MacroLibrary* pLibrary) {
  return WriteDeviceProfile(*this, true, pFile, pProgress, nMsg, nFlag, nData, pLibrary);
}
int CDevProPlus::GetProfile(ProfileFile* pFile, MacroLibrary* pLibrary) {
  return ReadDeviceProfile(*this, true, pFile, pLibrary);
}

}  // namespace tolvane
