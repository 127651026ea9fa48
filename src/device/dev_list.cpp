#include "device/dev_list.h"

namespace tolvane {

CDevList::CDevList(const std::vector<const DevCfg*>& models) {
  entries_.reserve(models.size());
  for (const DevCfg* m : models) {
    auto e = std::make_unique<DevEntry>();
    e->pDevCfg = m;
    e->nIndex = entries_.size();
    entries_.push_back(std::move(e));
  }
}

std::shared_ptr<CHidDev> CDevList::Device(size_t index) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (index >= entries_.size()) return nullptr;
  return entries_[index]->pDev;
}

DevEntryView CDevList::ViewLocked(size_t index) const {
  const DevEntry& e = *entries_.at(index);
  DevEntryView v;
  v.nIndex = e.nIndex;
  v.pDevCfg = e.pDevCfg;
  v.pDev = e.pDev;
  v.bConnected = e.pDev && e.pDev->HasCmd();
  v.bOffline = IsOfflineDevice(e.pDev.get());
  v.dwConnectTick = e.dwConnectTick;
  v.wWiredVer = e.wWiredVer;
  v.wWirelessVer = e.wWirelessVer;
  v.nCurDpiLevel = e.pDev ? e.pDev->nCurDpiLevel.load() : 0;
  v.szCmdPath = e.szCmdPath;
  v.szNotifyPath = e.szNotifyPath;
  return v;
}

DevEntryView CDevList::View(size_t index) const {
  std::lock_guard<std::mutex> lock(mu_);
  return ViewLocked(index);
}

std::vector<DevEntryView> CDevList::Views() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<DevEntryView> out;
  out.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) out.push_back(ViewLocked(i));
  return out;
}

size_t CDevList::ConnectedCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  size_t n = 0;
  for (const auto& e : entries_)
    if (e->pDev && e->pDev->HasCmd()) ++n;
  return n;
}

int CDevList::FindByIdentity(uint8_t cid, uint8_t mid) const {
  for (const auto& e : entries_)
    if (e->pDevCfg && e->pDevCfg->nCid == cid && e->pDevCfg->nMid == mid)
      return int(e->nIndex);
  return -1;
}

int CDevList::Current() const {
  std::lock_guard<std::mutex> lock(mu_);
  return current_;
}

void CDevList::SetCurrent(int index) {
  std::lock_guard<std::mutex> lock(mu_);
  current_ = (index >= 0 && size_t(index) < entries_.size()) ? index : -1;
}

int CDevList::TakeSlot(const ProbeSlot& content) {
  std::lock_guard<std::mutex> lock(mu_);
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].bBusy) continue;
    slots_[i] = content;
    slots_[i].bBusy = true;
    slots_[i].state = ProbeState::Identifying;
    return int(i);
  }
  return -1;
}

void CDevList::FreeSlot(int slot) {
  std::lock_guard<std::mutex> lock(mu_);
  if (slot >= 0 && size_t(slot) < slots_.size()) slots_[size_t(slot)] = ProbeSlot{};
}

void CDevList::SetSlotState(int slot, ProbeState state) {
  std::lock_guard<std::mutex> lock(mu_);
  if (slot >= 0 && size_t(slot) < slots_.size()) slots_[size_t(slot)].state = state;
}

std::vector<ProbeSlot> CDevList::BusySlots() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<ProbeSlot> out;
  for (const ProbeSlot& s : slots_)
    if (s.bBusy) out.push_back(s);
  return out;
}

}  // namespace tolvane
