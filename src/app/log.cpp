#include "app/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>
#include <sys/stat.h>
#include <sys/time.h>

#include "app/paths.h"

namespace tolvane {

int LogLevel = 0;

namespace {

constexpr size_t kLineChars = 512;  // 511 usable, as the fixed buffers allow

enum class Variant { Debugger, File };
std::atomic<Variant> g_variant{Variant::Debugger};

std::string g_logPath;
std::string g_logDirOverride;

std::mutex g_outMutex;  // guards the replaceable output function only
DebugOutputFn g_debugOut;

void Format(char* buf, size_t size, const char* fmt, va_list ap) {
  int n = std::vsnprintf(buf, size, fmt, ap);
  if (n < 0) buf[0] = '\0';
}

void DebuggerVariant(const char* fmt, va_list ap) {
  if (LogLevel == 0) return;
  char line[kLineChars] = "BY: ";
  constexpr size_t kPrefix = 4;
  Format(line + kPrefix, sizeof line - kPrefix, fmt, ap);
  DebugOutput(line);
}

void FileVariant(const char* fmt, va_list ap) {
  if (LogLevel == 0) return;
  FILE* f = std::fopen(g_logPath.c_str(), "a");
  if (!f) {
    DebugOutput("Open Log failed");
    return;
  }
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm lt;
  localtime_r(&tv.tv_sec, &lt);
  std::fprintf(f, "\r%02u:%02u.%03u   ", unsigned(lt.tm_min), unsigned(lt.tm_sec),
               unsigned(tv.tv_usec / 1000));
  std::vfprintf(f, fmt, ap);
  std::fclose(f);
}

}  // namespace

void DebugOutput(std::string_view text) {
  std::lock_guard<std::mutex> lock(g_outMutex);
  if (g_debugOut) {
    g_debugOut(text);
  } else {
    std::cerr << text << '\n';
  }
}

void SetDebugOutput(DebugOutputFn fn) {
  std::lock_guard<std::mutex> lock(g_outMutex);
  g_debugOut = std::move(fn);
}

void SetLogDirectory(const std::string& dir) { g_logDirOverride = dir; }

const std::string& LogFilePath() { return g_logPath; }

void LogPrint(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  if (g_variant.load() == Variant::File) {
    FileVariant(fmt, ap);
  } else {
    DebuggerVariant(fmt, ap);
  }
  va_end(ap);
}

void SetupLogger() {
  std::string dir = g_logDirOverride.empty() ? GetSessionFolders().desktopDir : g_logDirOverride;
  if (!dir.empty() && dir.back() == '/') dir.pop_back();
  g_variant = Variant::Debugger;
  // Without a known folder there is no file: never "/Log.txt".
  g_logPath = dir.empty() ? std::string() : dir + "/Log.txt";
  if (LogLevel < 2 || g_logPath.empty()) return;
  FILE* f = std::fopen(g_logPath.c_str(), "a");
  if (!f) {
    DebugOutput("Open Log failed");
    return;
  }
  std::fclose(f);
  struct stat st;
  if (stat(g_logPath.c_str(), &st) == 0 && st.st_size > 512000) {
    f = std::fopen(g_logPath.c_str(), "w");
    if (f) std::fclose(f);
  }
  g_variant = Variant::File;
}

void LogHex(const void* data, size_t len, int bytesPerLine, const char* title) {
  if (LogLevel == 0 || data == nullptr || len == 0) return;
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::string line;
  auto flush = [&line] {
    if (!line.empty()) LogPrint("%s", line.c_str());
    line.clear();
  };
  if (title) {
    line = bytesPerLine > 0 ? "\n" : "";
    line += title;
    line += ' ';
  }
  int inLine = 0;
  for (size_t i = 0; i < len; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
    if (line.size() + 3 > kLineChars - 1) flush();
    line += hex;
    ++inLine;
    if (bytesPerLine > 0 && inLine == bytesPerLine) {
      flush();
      inLine = 0;
      if (title && i + 1 < len) {
        line = title;
        line += ' ';
      }
    }
  }
  flush();
}

}  // namespace tolvane
