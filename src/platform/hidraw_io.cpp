#include "platform/hidraw_io.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "app/log.h"

namespace tolvane::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Larger than any report a full-speed or high-speed HID device sends.
constexpr size_t kReadBuffer = 4096;

void Ring(int efd) {
  const uint64_t one = 1;
  ssize_t r;
  do {
    r = ::write(efd, &one, sizeof one);
  } while (r < 0 && errno == EINTR);
}

void Drain(int efd) {
  uint64_t v;
  while (::read(efd, &v, sizeof v) > 0) {
  }
}

// Milliseconds left until `deadline` rounded up, -1 for no deadline.
int Remaining(bool bounded, Clock::time_point deadline) {
  if (!bounded) return -1;
  auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<int64_t>((left + 999) / 1000, 1 << 30));
}

}  // namespace

HidrawSys HidrawSys::Real() {
  HidrawSys s;
  s.open = [](const char* path, int flags) { return ::open(path, flags); };
  s.ioctl = [](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); };
  return s;
}

HidrawSys HidrawSys::Completed() const {
  HidrawSys s = *this;
  HidrawSys real = Real();
  if (!s.open) s.open = real.open;
  if (!s.ioctl) s.ioctl = real.ioctl;
  return s;
}

HidStatus StatusOfErrno(int err) {
  switch (err) {
    case ENODEV:
    case EIO:
    case ESHUTDOWN:
    case ENXIO:
    case ENOENT:
      return HidStatus::NotConnected;
    default:
      return HidStatus::Failed;
  }
}

struct HidrawNode::Member {
  std::vector<uint8_t> ids;
  bool all = false;
  int efd = -1;  // doorbell: cancel, a report filed, or the reader role free
  std::deque<Report> queue;
  bool cancel = false;
  bool waiting = false;
  std::atomic<int> lastErr{0};
};

class HidrawNode::Handle : public HidHandle {
 public:
  Handle(std::shared_ptr<HidrawNode> node, std::unique_ptr<Member> m) : node_(std::move(node)), m_(std::move(m)) {}
  ~Handle() override {
    node_->Detach(m_.get());
    ::close(m_->efd);
  }
  HidStatus SendFeature(const Report& report) override { return node_->SendFeature(*m_, report); }
  HidStatus Write(const Report& report, int timeoutMs) override { return node_->Write(*m_, report, timeoutMs); }
  HidStatus Read(Report& report, int timeoutMs) override { return node_->Read(*m_, report, timeoutMs); }
  void CancelRead() override { node_->Cancel(*m_); }
  int LastError() const override { return m_->lastErr.load(); }
  bool Lock(int timeoutMs) override {
    if (node_->LockExchange(timeoutMs)) return true;
    m_->lastErr = EBUSY;
    return false;
  }
  void Unlock() override { node_->UnlockExchange(); }

 private:
  std::shared_ptr<HidrawNode> node_;
  std::unique_ptr<Member> m_;
};

HidrawNode::HidrawNode(int fd, bool numbered, HidrawSys sys, std::string name)
    : fd_(fd), numbered_(numbered), sys_(std::move(sys)), name_(std::move(name)) {}

HidrawNode::~HidrawNode() { ::close(fd_); }

std::shared_ptr<HidrawNode> HidrawNode::Adopt(int fd, bool numbered, HidrawSys sys, std::string name) {
  sys = sys.Completed();
  // Reads and writes wait in poll(), never in the call itself.
  int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl | O_NONBLOCK);
  return std::shared_ptr<HidrawNode>(new HidrawNode(fd, numbered, std::move(sys), std::move(name)));
}

std::unique_ptr<HidHandle> HidrawNode::OpenCollection(std::vector<uint8_t> inputIds) {
  auto m = std::make_unique<Member>();
  m->efd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m->efd < 0) return nullptr;
  m->all = inputIds.size() == 1 && inputIds[0] == 0;
  m->ids = std::move(inputIds);
  {
    std::lock_guard<std::mutex> lk(mu_);
    members_.push_back(m.get());
  }
  return std::make_unique<Handle>(shared_from_this(), std::move(m));
}

bool HidrawNode::LockExchange(int timeoutMs) {
  std::lock_guard<std::mutex> lk(lockMu_);
  if (lockHolds_ > 0) {
    ++lockHolds_;
    return true;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      // A file system without locks: nothing to honour.
      LogPrint("LockExchange: %s: flock err=%d", name_.c_str(), errno);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::usleep(2000);
  }
  lockHolds_ = 1;
  return true;
}

void HidrawNode::UnlockExchange() {
  std::lock_guard<std::mutex> lk(lockMu_);
  if (lockHolds_ == 0) return;
  if (--lockHolds_ == 0) ::flock(fd_, LOCK_UN);
}

bool HidrawNode::Alive() {
  {
    std::lock_guard<std::mutex> lk(mu_);
    if (gone_) return false;
  }
  pollfd p{fd_, POLLIN, 0};
  return !(::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)));
}

void HidrawNode::Detach(Member* m) {
  std::lock_guard<std::mutex> lk(mu_);
  members_.erase(std::remove(members_.begin(), members_.end(), m), members_.end());
  if (reader_ == m) ReleaseReaderLocked(m);
}

void HidrawNode::Cancel(Member& m) {
  {
    std::lock_guard<std::mutex> lk(mu_);
    m.cancel = true;
  }
  Ring(m.efd);
}

void HidrawNode::MarkGoneLocked(int err) {
  if (!gone_) LogPrint("hidraw %s: device gone, errno=%d", name_.c_str(), err);
  gone_ = true;
  goneErr_ = err;
  for (Member* o : members_) Ring(o->efd);
}

void HidrawNode::ReleaseReaderLocked(Member* self) {
  if (reader_ != self) return;
  reader_ = nullptr;
  // Someone else still waiting must take over the reading.
  for (Member* o : members_) {
    if (o != self && o->waiting) Ring(o->efd);
  }
}

void HidrawNode::RouteLocked(const uint8_t* data, size_t len, Member* self) {
  Report r{};
  if (numbered_) {
    std::copy_n(data, std::min(len, r.size()), r.begin());
  } else {
    std::copy_n(data, std::min(len, r.size() - 1), r.begin() + 1);
  }
  const uint8_t id = r[0];
  for (Member* o : members_) {
    if (!o->all && std::find(o->ids.begin(), o->ids.end(), id) == o->ids.end()) continue;
    if (o->queue.size() >= kQueueLimit) o->queue.pop_front();
    o->queue.push_back(r);
    if (o != self) Ring(o->efd);
  }
}

HidStatus HidrawNode::Read(Member& m, Report& report, int timeoutMs) {
  const bool bounded = timeoutMs >= 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(bounded ? timeoutMs : 0);
  bool reader = false;
  bool polled = false;
  auto finish = [&](HidStatus s, int err) {
    // Called with mu_ held.
    m.waiting = false;
    if (reader) ReleaseReaderLocked(&m);
    if (err) m.lastErr = err;
    return s;
  };
  for (;;) {
    {
      std::lock_guard<std::mutex> lk(mu_);
      if (m.cancel) {
        m.cancel = false;
        Drain(m.efd);
        return finish(HidStatus::Cancelled, 0);
      }
      if (!m.queue.empty()) {
        report = m.queue.front();
        m.queue.pop_front();
        return finish(HidStatus::Ok, 0);
      }
      if (gone_) return finish(HidStatus::NotConnected, goneErr_);
      if (!reader_) {
        reader_ = &m;
        reader = true;
      }
      if (reader_ != &m) reader = false;
      // Time is up only after one look at the node, so a time-out of 0
      // still takes a report that is there.
      if (polled && Remaining(bounded, deadline) == 0) return finish(HidStatus::Timeout, 0);
      m.waiting = true;
    }
    pollfd fds[2] = {{m.efd, POLLIN, 0}, {fd_, POLLIN, 0}};
    const int rc = ::poll(fds, reader ? 2 : 1, Remaining(bounded, deadline));
    polled = true;
    if (rc < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      std::lock_guard<std::mutex> lk(mu_);
      return finish(HidStatus::Failed, err);
    }
    if (fds[0].revents) Drain(m.efd);  // the state is looked at under the lock above
    if (!reader || !fds[1].revents) continue;
    if (fds[1].revents & POLLIN) {
      uint8_t buf[kReadBuffer];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      const int err = errno;
      std::lock_guard<std::mutex> lk(mu_);
      if (n > 0) {
        RouteLocked(buf, static_cast<size_t>(n), &m);
      } else if (n == 0) {
        MarkGoneLocked(ENODEV);  // end of file: the other side is gone
      } else if (err != EAGAIN && err != EINTR) {
        if (StatusOfErrno(err) == HidStatus::NotConnected) {
          MarkGoneLocked(err);
        } else {
          return finish(HidStatus::Failed, err);
        }
      }
    } else {  // POLLHUP, POLLERR or POLLNVAL without data
      std::lock_guard<std::mutex> lk(mu_);
      MarkGoneLocked(ENODEV);
    }
  }
}

HidStatus HidrawNode::Write(Member& m, const Report& report, int timeoutMs) {
  const bool bounded = timeoutMs >= 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(bounded ? timeoutMs : 0);
  for (;;) {
    {
      std::lock_guard<std::mutex> lk(mu_);
      if (gone_) {
        m.lastErr = goneErr_;
        return HidStatus::NotConnected;
      }
    }
    pollfd p{fd_, POLLOUT, 0};
    const int rc = ::poll(&p, 1, Remaining(bounded, deadline));
    if (rc < 0) {
      if (errno == EINTR) continue;
      m.lastErr = errno;
      return HidStatus::Failed;
    }
    if (rc == 0) return HidStatus::Timeout;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      m.lastErr = ENODEV;
      return HidStatus::NotConnected;
    }
    // hidraw completes the transfer inside write(); its own bound applies.
    const ssize_t n = ::write(fd_, report.data(), report.size());
    if (n == static_cast<ssize_t>(report.size())) return HidStatus::Ok;
    if (n >= 0) {
      m.lastErr = EIO;
      return HidStatus::Failed;  // a short write leaves a report the device cannot use
    }
    const int err = errno;
    if (err == EINTR || err == EAGAIN) {
      if (Remaining(bounded, deadline) == 0) return HidStatus::Timeout;
      continue;
    }
    m.lastErr = err;
    return StatusOfErrno(err);
  }
}

HidStatus HidrawNode::SendFeature(Member& m, const Report& report) {
  {
    std::lock_guard<std::mutex> lk(mu_);
    if (gone_) {
      m.lastErr = goneErr_;
      return HidStatus::NotConnected;
    }
  }
  Report buf = report;  // the kernel may write into the buffer
  for (;;) {
    const int rc = sys_.ioctl(fd_, HIDIOCSFEATURE(kReportLen), buf.data());
    if (rc >= 0) return HidStatus::Ok;
    const int err = errno;
    if (err == EINTR) continue;
    m.lastErr = err;
    return StatusOfErrno(err);
  }
}

}  // namespace tolvane::platform
