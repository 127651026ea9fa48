#include "platform/desktop/sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "app/utf8.h"

namespace tolvane::platform {

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr size_t kMagicLen = 6;

class Parser {
 public:
  explicit Parser(std::string_view t) : t_(t) {}
  bool Value(Json& out, int depth) {
    if (depth > 64) return false;
    Space();
    if (p_ >= t_.size()) return false;
    const char c = t_[p_];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      out.kind = Json::kString;
      return String(out.s);
    }
    if (Word("true")) {
      out.kind = Json::kBool;
      out.b = true;
      return true;
    }
    if (Word("false")) {
      out.kind = Json::kBool;
      return true;
    }
    if (Word("null")) return true;
    return Number(out);
  }
  bool AtEnd() {
    Space();
    return p_ == t_.size();
  }

 private:
  void Space() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\n' || t_[p_] == '\r' || t_[p_] == '\t'))
      ++p_;
  }
  bool Word(std::string_view w) {
    if (t_.substr(p_, w.size()) != w) return false;
    p_ += w.size();
    return true;
  }
  bool Number(Json& out) {
    size_t q = p_;
    while (q < t_.size() && std::strchr("+-0123456789.eE", t_[q]) && t_[q] != '\0') ++q;
    if (q == p_) return false;
    double v = 0;
    auto [end, ec] = std::from_chars(t_.data() + p_, t_.data() + q, v);
    if (ec != std::errc() || end != t_.data() + q) return false;
    out.kind = Json::kNumber;
    out.n = v;
    p_ = q;
    return true;
  }
  bool Hex4(uint32_t& cp) {
    if (p_ + 4 > t_.size()) return false;
    auto [end, ec] = std::from_chars(t_.data() + p_, t_.data() + p_ + 4, cp, 16);
    if (ec != std::errc() || end != t_.data() + p_ + 4) return false;
    p_ += 4;
    return true;
  }
  bool String(std::string& s) {
    ++p_;  // the opening quote
    while (p_ < t_.size()) {
      const char c = t_[p_++];
      if (c == '"') return true;
      if (c != '\\') {
        s += c;
        continue;
      }
      if (p_ >= t_.size()) return false;
      const char e = t_[p_++];
      switch (e) {
        case '"': s += '"'; break;
        case '\\': s += '\\'; break;
        case '/': s += '/'; break;
        case 'b': s += '\b'; break;
        case 'f': s += '\f'; break;
        case 'n': s += '\n'; break;
        case 'r': s += '\r'; break;
        case 't': s += '\t'; break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && Word("\\u")) {
            uint32_t lo = 0;
            if (!Hex4(lo) || lo < 0xDC00 || lo > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          AppendUtf8(s, cp);
          break;
        }
        default: return false;
      }
    }
    return false;
  }
  bool Array(Json& out, int depth) {
    out.kind = Json::kArray;
    ++p_;
    Space();
    if (Word("]")) return true;
    for (;;) {
      out.items.emplace_back();
      if (!Value(out.items.back(), depth + 1)) return false;
      Space();
      if (Word("]")) return true;
      if (!Word(",")) return false;
    }
  }
  bool Object(Json& out, int depth) {
    out.kind = Json::kObject;
    ++p_;
    Space();
    if (Word("}")) return true;
    for (;;) {
      Space();
      std::string name;
      if (p_ >= t_.size() || t_[p_] != '"' || !String(name)) return false;
      Space();
      if (!Word(":")) return false;
      Json v;
      if (!Value(v, depth + 1)) return false;
      out.members.emplace(std::move(name), std::move(v));
      Space();
      if (Word("}")) return true;
      if (!Word(",")) return false;
    }
  }

  std::string_view t_;
  size_t p_ = 0;
};

bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  int rc;
  do rc = poll(&p, 1, timeoutMs);
  while (rc < 0 && errno == EINTR);
  return rc > 0;
}

bool SendAll(int fd, std::string_view data, int timeoutMs) {
  while (!data.empty()) {
    if (!WaitFor(fd, POLLOUT, timeoutMs)) return false;
    const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(size_t(n));
  }
  return true;
}

bool ReceiveAll(int fd, char* buf, size_t len, int timeoutMs) {
  while (len > 0) {
    if (!WaitFor(fd, POLLIN, timeoutMs)) return false;
    const ssize_t n = recv(fd, buf, len, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buf += n;
    len -= size_t(n);
  }
  return true;
}

}  // namespace

const Json* Json::Member(const std::string& name) const {
  if (kind != kObject) return nullptr;
  auto it = members.find(name);
  return it == members.end() ? nullptr : &it->second;
}

std::optional<Json> ParseJson(std::string_view text) {
  Parser p(text);
  Json v;
  if (!p.Value(v, 0) || !p.AtEnd()) return std::nullopt;
  return v;
}

std::string EncodeSwayMessage(uint32_t type, std::string_view payload) {
  std::string m(kMagic, kMagicLen);
  const uint32_t len = uint32_t(payload.size());
  m.append(reinterpret_cast<const char*>(&len), 4);
  m.append(reinterpret_cast<const char*>(&type), 4);
  m.append(payload);
  return m;
}

std::optional<SwayHeader> DecodeSwayHeader(std::string_view header) {
  if (header.size() != kSwayHeaderSize || header.substr(0, kMagicLen) != kMagic)
    return std::nullopt;
  SwayHeader h;
  std::memcpy(&h.length, header.data() + kMagicLen, 4);
  std::memcpy(&h.type, header.data() + kMagicLen + 4, 4);
  return h;
}

std::optional<std::string> SwayExchange(const std::string& socketPath, uint32_t type,
                                        std::string_view payload, int timeoutMs) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return std::nullopt;
  std::memcpy(addr.sun_path, socketPath.data(), socketPath.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> reply;
  char header[kSwayHeaderSize];
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
      SendAll(fd, EncodeSwayMessage(type, payload), timeoutMs) &&
      ReceiveAll(fd, header, sizeof header, timeoutMs)) {
    auto h = DecodeSwayHeader(std::string_view(header, sizeof header));
    if (h && h->type == type && h->length <= kSwayMaxPayload) {
      std::string body(h->length, '\0');
      if (ReceiveAll(fd, body.data(), body.size(), timeoutMs)) reply = std::move(body);
    }
  }
  close(fd);
  return reply;
}

}  // namespace tolvane::platform
