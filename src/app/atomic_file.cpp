#include "app/atomic_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "app/log.h"

namespace tolvane {

int MakeSureFolderExist(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return 1;
  std::string dir;
  size_t pos = 0;
  while (pos < slash) {
    size_t next = path.find('/', pos + 1);
    if (next == std::string::npos || next > slash) next = slash;
    dir = path.substr(0, next);
    pos = next;
    if (dir.empty()) continue;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
      LogPrint("MakeSureFolderExist: create dir %s, err=0x%x", dir.c_str(), errno);
      return 0;
    }
  }
  return 1;
}

namespace {

std::string TempNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  // Kept short so that a long target name still leaves room for the prefix.
  if (base.size() > 200) base.resize(200);
  return dir + ".~" + std::to_string(getpid()) + "." + std::to_string(counter++) + "." + base;
}

int WriteAll(int fd, const void* data, size_t len) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (len > 0) {
    ssize_t n = write(fd, p, len);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    p += n;
    len -= static_cast<size_t>(n);
  }
  return 0;
}

// Flushes the folder entry of `path` (its rename). 0 or an errno; a file
// system that cannot flush a folder (EINVAL) counts as done.
int SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = 0;
  if (fsync(fd) != 0 && errno != EINVAL) err = errno;
  close(fd);
  return err;
}

}  // namespace

bool RemoveIfStaleTemp(const std::string& path) {
  size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.rfind(".~", 0) != 0) return false;
  char* end = nullptr;
  const long pid = std::strtol(base.c_str() + 2, &end, 10);
  if (pid <= 0 || !end || *end != '.') return false;
  if (pid != long(getpid()) && !(kill(pid_t(pid), 0) != 0 && errno == ESRCH)) return false;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (unlink(path.c_str()) != 0) return false;
  LogPrint("RemoveStaleTemp: %s", path.c_str());
  return true;
}

int WriteFileReplacing(const std::string& path, const void* data, size_t len,
                       bool* createFailed, bool makeFolders) {
  if (createFailed) *createFailed = false;
  std::string tmp = TempNameFor(path);
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0 && errno == ENOENT && makeFolders && MakeSureFolderExist(path)) {
    fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  }
  if (fd < 0) {
    if (createFailed) *createFailed = true;
    return errno;
  }
  int err = WriteAll(fd, data, len);
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(tmp.c_str());
    return err;
  }
  // The new content is in place; a failed flush of the folder (the rename
  // might not survive a power loss) is logged, not reported as a failed save.
  if (int syncErr = SyncFolderOf(path); syncErr != 0)
    LogPrint("WriteFileReplacing: sync folder of %s, err=%d", path.c_str(), syncErr);
  return 0;
}

}  // namespace tolvane
