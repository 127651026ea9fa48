#include "macro/macro_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "app/log.h"

namespace fs = std::filesystem;

namespace tolvane {

std::array<uint8_t, kMacroFileSize> EncodeMacroFile(const StMacro& m) {
  std::array<uint8_t, kMacroFileSize> out;
  std::memcpy(out.data(), &m, kMacroFileSize);
  for (uint8_t& b : out) b = RotateToFile(b);
  return out;
}

StMacro DecodeMacroFile(const uint8_t* bytes) {
  uint8_t plain[kMacroFileSize]{};
  for (size_t i = 0; i < kMacroFileSize; ++i) plain[i] = RotateFromFile(bytes[i]);
  StMacro m;
  std::memcpy(&m, plain, kMacroFileSize);
  return m;
}

int MacroEventCount(const StMacro& m) {
  int n = 0;
  while (n < kMacroEventSlots && !(m.stEvents[n].wCode == 0 && m.stEvents[n].dwDelay == 0)) ++n;
  return n;
}

MacroFileRead ReadMacroFile(const std::string& path) {
  MacroFileRead r;
  // Only regular files: a FIFO or device node in the library must not block
  // the scan.
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    r.error = errno;
    return r;
  }
  if (!S_ISREG(st.st_mode)) {
    r.error = EINVAL;
    return r;
  }
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    r.error = errno;
    return r;
  }
  uint8_t buf[kMacroFileSize];
  size_t got = 0;
  while (got < kMacroFileSize) {
    ssize_t n = read(fd, buf + got, kMacroFileSize - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r.error = errno;
      break;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  if (got != kMacroFileSize) {
    r.status = MacroFileStatus::ReadFailed;
    return r;
  }
  r.macro = DecodeMacroFile(buf);
  r.status = r.macro.dwMagicNumber == kMacroMagic ? MacroFileStatus::Ok : MacroFileStatus::BadMagic;
  return r;
}

int WriteMacroFile(const std::string& path, const StMacro& m) {
  auto bytes = EncodeMacroFile(m);
  return WriteFileReplacing(path, bytes.data(), bytes.size());
}

int CopyFileReplacing(const std::string& from, const std::string& to) {
  struct stat st;
  if (stat(from.c_str(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  int fd = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  int err = 0;
  for (;;) {
    ssize_t n = read(fd, buf, sizeof(buf));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      break;
    }
    if (n == 0) break;
    data.insert(data.end(), buf, buf + n);
    if (data.size() > (64u << 20)) {  // a macro file is 834 bytes
      err = EFBIG;
      break;
    }
  }
  close(fd);
  if (err != 0) return err;
  return WriteFileReplacing(to, data.data(), data.size());
}

int MoveNoReplace(const std::string& from, const std::string& to) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return errno;
  if (lstat(to.c_str(), &st) == 0) return EEXIST;
  if (!S_ISDIR(st.st_mode)) {
    // A hard link refuses an existing target atomically; fall back to the
    // checked rename on file systems without links.
    if (link(from.c_str(), to.c_str()) == 0) {
      if (unlink(from.c_str()) != 0) {
        int err = errno;
        unlink(to.c_str());
        return err;
      }
      return 0;
    }
    if (errno == EEXIST) return EEXIST;
  }
  if (lstat(to.c_str(), &st) == 0) return EEXIST;
  if (rename(from.c_str(), to.c_str()) != 0) return errno;
  return 0;
}

int DeleteFolderTree(const std::string& path) {
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) return ec.value();
  std::vector<fs::directory_entry> entries;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return ec.value();
    entries.push_back(*it);
  }
  for (const fs::directory_entry& e : entries) {
    std::string name = e.path().filename().string();
    fs::file_status st = e.symlink_status(ec);
    if (fs::is_directory(st)) {
      if (name[0] == '.' || name[0] == '$') continue;
      if (int err = DeleteFolderTree(e.path().string()); err != 0) return err;
      continue;
    }
    std::string file = e.path().string();
    chmod(file.c_str(), 0644);  // "attributes set to normal"; fails harmlessly on links
    if (unlink(file.c_str()) != 0 && errno != ENOENT) {
      int err = errno;
      LogPrint("DeleteFile %s, err=%d", file.c_str(), err);
      return err;
    }
  }
  if (rmdir(path.c_str()) != 0) return errno;
  return 0;
}

bool LooksLikePng(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  uint8_t head[8];
  bool ok = std::fread(head, 1, 8, f) == 8 && std::memcmp(head, kSig, 8) == 0;
  std::fclose(f);
  return ok;
}

}  // namespace tolvane
