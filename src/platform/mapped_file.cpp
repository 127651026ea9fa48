#include "platform/mapped_file.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvane::platform {

std::shared_ptr<const MappedFile> MappedFile::Open(const std::string& path, size_t maxBytes) {
  // O_NONBLOCK: a FIFO put in the file's place must not hold the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  void* map = MAP_FAILED;
  size_t size = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
      uintmax_t(st.st_size) <= maxBytes) {
    size = size_t(st.st_size);
    map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  }
  if (map == MAP_FAILED) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<const MappedFile>(new MappedFile(fd, static_cast<const uint8_t*>(map), size));
}

MappedFile::~MappedFile() {
  ::munmap(const_cast<uint8_t*>(data_), size_);
  ::close(fd_);
}

size_t MappedFile::Read(size_t offset, void* out, size_t len) const {
  if (offset >= size_) return 0;
  len = std::min(len, size_ - offset);
  size_t done = 0;
  while (done < len) {
    const ssize_t n = ::pread(fd_, static_cast<char*>(out) + done, len - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  return done;
}

}  // namespace tolvane::platform
