// A whole file mapped read-only into memory: its bytes are read from the
// page cache as they are touched, shared with every other process that maps
// the same file, and never copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tolvane::platform {

class MappedFile {
 public:
  // The file at `path`, mapped whole; each page is brought in when first
  // touched. Null for a missing, empty or non-regular file (a FIFO or device
  // node is never opened for reading), or one larger than `maxBytes`.
  // The mapping holds the file's content as it was when mapped only while
  // nobody truncates that same file in place; files replaced by a rename (as
  // this program replaces its files) leave the mapping intact.
  static std::shared_ptr<const MappedFile> Open(const std::string& path, size_t maxBytes);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  // Copies up to `len` bytes from `offset` without touching the mapping: a
  // header looked at this way leaves the rest of the file out of memory
  // until it is used (touching one byte can bring in a large block of the
  // file). The number of bytes copied.
  size_t Read(size_t offset, void* out, size_t len) const;

 private:
  MappedFile(int fd, const uint8_t* data, size_t size) : fd_(fd), data_(data), size_(size) {}
  int fd_;
  const uint8_t* data_;
  size_t size_;
};

}  // namespace tolvane::platform
