#include "uhid_mouse/uhid_bridge.h"

#include <linux/input.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/hid_descriptor.h"

namespace tolvane::uhid {

namespace {

std::vector<uint8_t> NumberedInputIds(const sim::Descriptor& d) {
  const platform::HidDescriptor parsed = platform::ParseReportDescriptor(d);
  std::vector<uint8_t> ids;
  if (!parsed.usesReportIds) return ids;
  for (const platform::HidCollection& c : parsed.collections)
    for (uint8_t id : c.InputIds()) ids.push_back(id);
  return ids;
}

template <size_t N>
void CopyName(uint8_t (&dst)[N], const std::string& s) {
  const size_t n = std::min(s.size(), N - 1);
  std::memcpy(dst, s.data(), n);
  dst[n] = 0;
}

}  // namespace

UhidBridge::UhidBridge(std::shared_ptr<sim::VirtualMouse> mouse, EventWriter write, ReportTraceFn trace)
    : mouse_(std::move(mouse)), write_(std::move(write)), trace_(std::move(trace)) {
  for (sim::UsbInterface& u : mouse_->UsbInterfaces()) {
    Interface i;
    i.inputIds = NumberedInputIds(u.descriptor);
    i.name = std::move(u.name);
    i.descriptor = std::move(u.descriptor);
    ifs_.push_back(std::move(i));
  }
}

UhidBridge::~UhidBridge() {
  CancelPump();
  mouse_->Detach();
}

bool UhidBridge::Write(size_t device, const uhid_event& ev) { return write_(device, ev); }

bool UhidBridge::Create(const std::string& name) {
  // The firmware answers from here on; a vanish after N reports unplugs.
  mouse_->Attach("uhid", trace_, [this] { Destroy(); });
  reader_ = mouse_->OpenReader(&generation_);
  for (size_t d = 0; d < ifs_.size(); ++d) {
    const Interface& i = ifs_[d];
    auto ev = std::make_unique<uhid_event>();
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_CREATE2;
    uhid_create2_req& c = ev->u.create2;
    CopyName(c.name, name + " (" + i.name + ")");
    CopyName(c.phys, "tolvane-uhid/input" + std::to_string(d));
    c.rd_size = uint16_t(std::min<size_t>(i.descriptor.size(), sizeof c.rd_data));
    std::memcpy(c.rd_data, i.descriptor.data(), c.rd_size);
    c.bus = BUS_USB;
    c.vendor = mouse_->vid();
    c.product = mouse_->pid();
    c.version = mouse_->Snapshot().version;
    c.country = 0;
    if (!Write(d, *ev)) {
      Destroy();
      return false;
    }
    std::lock_guard lk(mu_);
    ifs_[d].created = true;
  }
  return true;
}

void UhidBridge::Destroy() {
  // The device whose request the kernel is waiting on goes first. The kernel
  // serialises hidraw requests and removals of all devices: removing another
  // one first would wait until that request times out (5 s), where a real
  // unplug ends it at once.
  std::vector<size_t> created;
  {
    std::lock_guard lk(mu_);
    if (destroyed_.exchange(true)) return;
    const int busy = busy_.load();
    if (busy >= 0 && ifs_[size_t(busy)].created) created.push_back(size_t(busy));
    for (size_t d = ifs_.size(); d-- > 0;) {
      if (ifs_[d].created && int(d) != busy) created.push_back(d);
      ifs_[d].created = false;
    }
  }
  auto ev = std::make_unique<uhid_event>();
  for (size_t d : created) {
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_DESTROY;
    Write(d, *ev);
  }
  CancelPump();
}

void UhidBridge::Reply(size_t device, uint32_t type, uint32_t id, uint16_t err) {
  auto ev = std::make_unique<uhid_event>();
  std::memset(ev.get(), 0, sizeof *ev);
  ev->type = type;
  if (type == UHID_SET_REPORT_REPLY) {
    ev->u.set_report_reply.id = id;
    ev->u.set_report_reply.err = err;
  } else {
    ev->u.get_report_reply.id = id;
    ev->u.get_report_reply.err = err;
    ev->u.get_report_reply.size = 0;
  }
  Write(device, *ev);
}

HidStatus UhidBridge::Command(const uint8_t* data, size_t size, uint8_t reportId, bool viaFeature) {
  // The kernel passes numbered reports with their id in front; a report
  // that is not a whole 17-byte command report is refused, as the device's
  // endpoint would stall on it.
  if (size != kReportLen || data[0] != reportId) return HidStatus::Failed;
  Report r;
  std::copy_n(data, kReportLen, r.begin());
  ++in_;
  return mouse_->Command(r, viaFeature, generation_, 0);
}

void UhidBridge::HandleEvent(size_t device, const uhid_event& ev) {
  if (device >= ifs_.size() || destroyed_.load()) return;
  switch (ev.type) {
    case UHID_SET_REPORT: {
      const uhid_set_report_req& s = ev.u.set_report;
      const size_t size = std::min<size_t>(s.size, sizeof s.data);
      busy_ = int(device);
      const HidStatus st = s.rtype == UHID_FEATURE_REPORT
                               ? Command(s.data, size, s.rnum, true)
                               : HidStatus::Failed;
      busy_ = -1;
      // The mouse vanished during the transfer: the kernel learns it from
      // the unplug, not from an answer.
      if (destroyed_.load() || st == HidStatus::NotConnected) return;
      Reply(device, UHID_SET_REPORT_REPLY, s.id, st == HidStatus::Ok ? 0 : EPIPE);
      break;
    }
    case UHID_OUTPUT: {
      const uhid_output_req& o = ev.u.output;
      if (o.rtype != UHID_OUTPUT_REPORT) break;
      const size_t size = std::min<size_t>(o.size, sizeof o.data);
      // Output reports have no answer; a refused one is simply lost.
      Command(o.data, size, size ? o.data[0] : 0, false);
      break;
    }
    case UHID_GET_REPORT:
      // The firmware keeps no report to be read back: every request stalls.
      Reply(device, UHID_GET_REPORT_REPLY, ev.u.get_report.id, EPIPE);
      break;
    default:  // UHID_START, UHID_STOP, UHID_OPEN, UHID_CLOSE: nothing to do
      break;
  }
}

bool UhidBridge::PumpInput(int timeoutMs) {
  if (stop_.load() || !reader_) return false;
  Report r;
  const HidStatus st = mouse_->Read(reader_, generation_, r, timeoutMs);
  if (st == HidStatus::Timeout) return true;
  if (st != HidStatus::Ok) return false;
  if (destroyed_.load()) return false;
  const uint8_t id = r[0];
  for (size_t d = 0; d < ifs_.size(); ++d) {
    const auto& ids = ifs_[d].inputIds;
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) continue;
    auto ev = std::make_unique<uhid_event>();
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_INPUT2;
    ev->u.input2.size = uint16_t(r.size());
    std::copy(r.begin(), r.end(), ev->u.input2.data);
    if (Write(d, *ev)) ++out_;
    return true;
  }
  // No interface declares the id: a host would drop the report, so do we.
  std::fprintf(stderr, "uhid_mouse: input report id %u has no interface, dropped\n", unsigned(id));
  return true;
}

void UhidBridge::CancelPump() {
  stop_ = true;
  if (reader_) mouse_->Cancel(reader_);
}

}  // namespace tolvane::uhid
