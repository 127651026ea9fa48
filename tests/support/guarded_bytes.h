// Test helper: bytes that end exactly at an inaccessible page, so that any
// read past the end of a buffer crashes the test instead of going unnoticed.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

namespace tolvane::test {

class GuardedBytes {
 public:
  explicit GuardedBytes(size_t capacity) {
    page_ = size_t(::sysconf(_SC_PAGESIZE));
    data_pages_ = (capacity + page_ - 1) / page_ + 1;
    void* p = ::mmap(nullptr, (data_pages_ + 1) * page_, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::runtime_error("mmap");
    base_ = static_cast<uint8_t*>(p);
    if (::mprotect(base_ + data_pages_ * page_, page_, PROT_NONE) != 0)
      throw std::runtime_error("mprotect");
  }
  ~GuardedBytes() { ::munmap(base_, (data_pages_ + 1) * page_); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;

  // Copies `bytes` so that its last byte is the last accessible byte.
  std::span<const uint8_t> Place(std::span<const uint8_t> bytes) {
    if (bytes.size() > data_pages_ * page_) throw std::length_error("GuardedBytes");
    uint8_t* start = base_ + data_pages_ * page_ - bytes.size();
    if (!bytes.empty()) std::memcpy(start, bytes.data(), bytes.size());
    return {start, bytes.size()};
  }

 private:
  size_t page_ = 0, data_pages_ = 0;
  uint8_t* base_ = nullptr;
};

}  // namespace tolvane::test
