#include "platform/hidraw_sysfs.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tolvane::platform {

namespace fs = std::filesystem;

namespace {

// Larger than any descriptor the kernel accepts (4096 bytes).
constexpr size_t kMaxDescriptor = 65536;

bool ReadSmallFile(const fs::path& p, size_t limit, std::string* out) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  out->clear();
  char buf[4096];
  while (out->size() < limit) {
    in.read(buf, sizeof buf);
    if (in.gcount() <= 0) break;
    out->append(buf, static_cast<size_t>(in.gcount()));
  }
  if (out->size() > limit) out->resize(limit);
  return !in.bad();
}

bool ParseHex(const std::string& s, uint32_t* v) {
  if (s.empty() || s.size() > 8) return false;
  uint32_t r = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    r = r * 16 + static_cast<uint32_t>(d);
  }
  *v = r;
  return true;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

// bcdDevice of the USB device that holds the HID device: the first folder up
// the tree that has the attribute, without leaving the sysfs root.
uint32_t FindBcdDevice(const fs::path& hidDevice, const fs::path& sysRoot) {
  std::error_code ec;
  fs::path root = fs::weakly_canonical(sysRoot, ec);
  if (ec) return 0;
  fs::path dir = fs::canonical(hidDevice, ec);
  if (ec) return 0;
  for (int guard = 0; guard < 64; ++guard) {
    dir = dir.parent_path();
    auto rel = dir.lexically_relative(root);
    if (dir == root || rel.empty() || *rel.begin() == "..") break;
    std::string text;
    uint32_t v = 0;
    if (ReadSmallFile(dir / "bcdDevice", 16, &text) && ParseHex(Trim(text), &v)) return v & 0xFFFF;
  }
  return 0;
}

// Node number of "hidrawN" for sorting; names that do not parse go last.
long NodeNumber(const std::string& name) {
  if (name.rfind("hidraw", 0) != 0 || name.size() == 6) return -1;
  char* end = nullptr;
  long n = std::strtol(name.c_str() + 6, &end, 10);
  return (end && *end == '\0' && n >= 0) ? n : -1;
}

}  // namespace

bool ParseHidId(const std::string& text, uint32_t* bus, uint32_t* vid, uint32_t* pid) {
  size_t a = text.find(':');
  if (a == std::string::npos) return false;
  size_t b = text.find(':', a + 1);
  if (b == std::string::npos) return false;
  return ParseHex(text.substr(0, a), bus) && ParseHex(text.substr(a + 1, b - a - 1), vid) &&
         ParseHex(text.substr(b + 1), pid);
}

bool ReadHidrawNode(const HidrawRoots& roots, const std::string& name, HidrawNodeInfo* out) {
  if (NodeNumber(name) < 0) return false;
  const fs::path device = fs::path(roots.sysRoot) / "class" / "hidraw" / name / "device";
  std::string uevent;
  if (!ReadSmallFile(device / "uevent", 65536, &uevent)) return false;
  HidrawNodeInfo info;
  bool haveId = false;
  size_t start = 0;
  while (start < uevent.size()) {
    size_t end = uevent.find('\n', start);
    if (end == std::string::npos) end = uevent.size();
    std::string line = uevent.substr(start, end - start);
    if (line.rfind("HID_ID=", 0) == 0) haveId = ParseHidId(Trim(line.substr(7)), &info.bus, &info.vid, &info.pid);
    start = end + 1;
  }
  if (!haveId) return false;
  std::string desc;
  if (!ReadSmallFile(device / "report_descriptor", kMaxDescriptor, &desc)) return false;
  info.desc = ParseReportDescriptor(reinterpret_cast<const uint8_t*>(desc.data()), desc.size());
  info.name = name;
  info.devPath = (fs::path(roots.devRoot) / name).string();
  if (info.bus == kBusUsb) info.version = FindBcdDevice(device, roots.sysRoot);
  *out = std::move(info);
  return true;
}

std::vector<HidrawNodeInfo> ScanHidrawNodes(const HidrawRoots& roots) {
  std::vector<std::pair<long, std::string>> names;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(roots.sysRoot) / "class" / "hidraw", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string n = it->path().filename().string();
    long num = NodeNumber(n);
    if (num >= 0) names.emplace_back(num, n);
  }
  std::sort(names.begin(), names.end());
  std::vector<HidrawNodeInfo> nodes;
  for (const auto& [num, n] : names) {
    HidrawNodeInfo info;
    if (ReadHidrawNode(roots, n, &info)) nodes.push_back(std::move(info));
  }
  return nodes;
}

std::vector<HidIfInfo> InterfacesOf(const std::vector<HidrawNodeInfo>& nodes) {
  std::vector<HidIfInfo> out;
  for (const auto& n : nodes) {
    for (size_t i = 0; i < n.desc.collections.size(); ++i) {
      const HidCollection& c = n.desc.collections[i];
      HidIfInfo r;
      r.szPath = CollectionPath(n.devPath, i);
      r.nInputLen = c.InputLen();
      r.nOutputLen = c.OutputLen();
      r.nFeatureLen = c.FeatureLen();
      r.nUsagePage = c.usagePage;
      r.nUsage = c.usage;
      r.nVID = n.vid;
      r.nPID = n.pid;
      r.nVersion = n.version;
      out.push_back(std::move(r));
    }
  }
  return out;
}

std::string CollectionPath(const std::string& devPath, size_t index) {
  return devPath + "#" + std::to_string(index);
}

bool SplitCollectionPath(const std::string& path, std::string* devPath, size_t* index) {
  size_t hash = path.rfind('#');
  if (hash == std::string::npos) {
    if (path.empty()) return false;
    *devPath = path;
    *index = 0;
    return true;
  }
  std::string num = path.substr(hash + 1);
  if (hash == 0 || num.empty() || num.size() > 6 ||
      !std::all_of(num.begin(), num.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  *devPath = path.substr(0, hash);
  *index = static_cast<size_t>(std::stoul(num));
  return true;
}

}  // namespace tolvane::platform
