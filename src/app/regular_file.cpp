#include "app/regular_file.h"

#include <sys/stat.h>

namespace tolvane {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tolvane
