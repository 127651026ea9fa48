#include "macro/hd_macro.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "app/log.h"
#include "app/utf8.h"
#include "records/key_usage.h"

namespace tolvane {

namespace {

// Type and nHid of a key or mouse code; false for a code the usage table must
// answer.
bool FixedHdCode(uint16_t code, uint8_t& type, uint8_t& hid) {
  switch (code) {
    case 0x10: case 0xA0: type = kHdTypeModifier; hid = 0x02; return true;
    case 0x11: case 0xA2: type = kHdTypeModifier; hid = 0x01; return true;
    case 0x12: case 0xA4: type = kHdTypeModifier; hid = 0x04; return true;
    case 0x5B: type = kHdTypeModifier; hid = 0x08; return true;
    case 0x5C: type = kHdTypeModifier; hid = 0x80; return true;
    case 0xA1: type = kHdTypeModifier; hid = 0x20; return true;
    case 0xA3: type = kHdTypeModifier; hid = 0x10; return true;
    case 0xA5: type = kHdTypeModifier; hid = 0x40; return true;
    case kMouseLeft: type = kHdTypeMouse; hid = 0x01; return true;
    case kMouseRight: type = kHdTypeMouse; hid = 0x02; return true;
    case kMouseMiddle: type = kHdTypeMouse; hid = 0x04; return true;
    case kMouseForward: type = kHdTypeMouse; hid = 0x10; return true;
    case kMouseBack: type = kHdTypeMouse; hid = 0x08; return true;
    default: return false;
  }
}

uint16_t MouseCodeOf(uint8_t hid) {
  switch (hid) {
    case 0x01: return kMouseLeft;
    case 0x02: return kMouseRight;
    case 0x04: return kMouseMiddle;
    case 0x08: return kMouseBack;
    case 0x10: return kMouseForward;
    default: return 0;
  }
}

uint16_t ModifierCodeOf(uint8_t hid) {
  switch (hid) {
    case 0x01: return 0xA2;
    case 0x02: return 0xA0;
    case 0x04: return 0xA4;
    case 0x08: return 0x5B;
    case 0x10: return 0xA3;
    case 0x20: return 0xA1;
    case 0x40: return 0xA5;
    case 0x80: return 0x5C;
    default: return 0;
  }
}

std::atomic<uint32_t> g_lastTimeId{0xFFFFFFFF};

}  // namespace

bool MacroCodeHasKey(uint16_t code) {
  uint8_t type = 0, hid = 0;
  if (FixedHdCode(code, type, hid)) return true;
  if (code >= kMouseLeft && code <= kWheelDown) return false;  // the wheel: no device form
  return code <= 0xFF && VkToHid(code) != 0;
}

size_t StMacro_To_HdMacro(const StMacro& macro, HdMacro& out) {
  std::memset(&out, 0, sizeof out);
  uint8_t* buf = out.Bytes();
  size_t p = kHdEventsOffset;
  int n = 0;
  for (const MacroEvent& ev : macro.stEvents) {
    if (ev.wCode == 0 && ev.dwDelay == 0) break;
    if (p >= kHdMacroSize - 1 || n >= kMaxMacroEvents) break;
    if (ev.wFlag & 0x2) {
      buf[p] = kHdTypeMove;
      buf[p + 1] = uint8_t(ev.wCode & 0xFF);
      buf[p + 2] = uint8_t(ev.wCode >> 8);
    } else {
      uint8_t type = kHdTypeKey, hid = 0;
      if (!FixedHdCode(ev.wCode, type, hid)) {
        type = kHdTypeKey;
        hid = VkToHid(ev.wCode);
        if (hid == 0) LogPrint("StMacro_To_HdMacro: get wrong hid");
      }
      buf[p] = uint8_t(type | ((ev.wFlag & 0x1) ? kHdPress : kHdRelease));
      buf[p + 1] = hid;
      buf[p + 2] = 0;
    }
    buf[p + 3] = uint8_t(ev.dwDelay >> 8);
    buf[p + 4] = uint8_t(ev.dwDelay);
    p += kHdEventSize;
    ++n;
  }
  out.bEventCount = uint8_t(n);
  return p;
}

size_t BuildHdMacroRecord(const StMacro& macro, HdMacro& out, int keyIndex, int matrixIndex) {
  size_t len = StMacro_To_HdMacro(macro, out);
  uint8_t* buf = out.Bytes();
  uint8_t sum = 0;
  for (size_t i = 0; i < len; ++i) sum = uint8_t(sum + buf[i]);
  buf[len] = uint8_t(0x55 - sum);
  size_t count = len + 1;
  if (len + 1 <= 381) {
    buf[len + 1] = buf[len + 2] = buf[len + 3] = 0;
    count = len + 4;
  }
  size_t k = 0;
  while (k < kHdNameUnits && macro.szName[k] != 0) ++k;
  out.bNameLen = uint8_t(2 * k);
  for (size_t i = 0; i < k; ++i) {
    out.szName[2 * i] = uint8_t(macro.szName[i] & 0xFF);
    out.szName[2 * i + 1] = uint8_t(macro.szName[i] >> 8);
  }
  LogPrint("macro data(key=%d, MatrixInx=%d):", keyIndex, matrixIndex);
  LogHex(buf, count, 16, nullptr);
  return count;
}

bool HdMacro_To_StMacro(StMacro& out, std::span<const uint8_t> events, uint32_t id) {
  if (events.empty()) return false;
  std::memset(&out, 0, sizeof out);
  out.dwMagicNumber = kMacroMagic;
  out.dwID = id;
  out.bAutoDelay = 1;
  out.nLoopMode = 0;

  size_t n = events[0];
  if (n > size_t(kMaxMacroEvents)) n = kMaxMacroEvents;
  const size_t whole = (events.size() - 1) / kHdEventSize;
  if (n > whole) {
    LogPrint("HdMacro_To_StMacro: %zu events announced, %zu read", n, whole);
    n = whole;
  }
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* e = events.data() + 1 + kHdEventSize * i;
    const uint8_t f = e[0], t = f & 7, h = e[1];
    MacroEvent& ev = out.stEvents[i];
    if (t == kHdTypeMove) {
      ev.wCode = uint16_t(h | (e[2] << 8));
      ev.wFlag = kEventMove;
    } else {
      switch (f >> 6) {
        case 1: ev.wFlag = kEventRelease; break;
        case 2: ev.wFlag = kEventPress; break;
        default: LogPrint("HdMacro_To_StMacro: convert err, i=%zu", i); break;
      }
      switch (t) {
        case kHdTypeMouse:
          ev.wCode = MouseCodeOf(h);
          if (ev.wCode == 0) LogPrint("HdMacro_To_StMacro: convert err, i=%zu, nHid=%x", i, h);
          break;
        case kHdTypeModifier:
          ev.wCode = ModifierCodeOf(h);
          if (ev.wCode == 0) LogPrint("HdMacro_To_StMacro: convert err, i=%zu, nHid=%x", i, h);
          break;
        case kHdTypeKey:
          ev.wCode = HidToVk(h);
          if (ev.wCode == 0) LogPrint("HdMacro_To_StMacro: convert err, i=%zu, nHid=%x", i, h);
          break;
        default:
          LogPrint("HdMacro_To_StMacro: convert err, nKeyFalg=%d", t);
          break;
      }
    }
    if (i + 1 < n) ev.dwDelay = uint32_t(e[3]) << 8 | e[4];
  }
  return true;
}

bool HdMacro_To_StMacro(StMacro& out, std::span<const uint8_t> events) {
  if (events.empty()) return false;
  return HdMacro_To_StMacro(out, events, MakeTimeId());
}

void SetMacroNameFromRecord(StMacro& macro, std::span<const uint8_t> nameBytes) {
  std::memset(macro.szName, 0, sizeof macro.szName);
  const size_t units = std::min(kHdNameUnits, nameBytes.size() / 2);
  for (size_t i = 0; i < units; ++i) {
    uint16_t u = uint16_t(nameBytes[2 * i] | nameBytes[2 * i + 1] << 8);
    if (u == 0) break;
    macro.szName[i] = u;
  }
}

uint8_t MacroPlayByte(const StMacro& macro) {
  if (macro.nLoopMode == 1) return 0xFF;
  if (macro.nLoopMode == 2) return 0xFE;
  return uint8_t(macro.wRepeat & 0xFF);
}

void SetMacroPlayByte(StMacro& macro, uint8_t play) {
  if (play == 0xFE) {
    macro.nLoopMode = 2;
  } else if (play == 0xFF) {
    macro.nLoopMode = 1;
  } else {
    macro.nLoopMode = 0;
    macro.wRepeat = play;
  }
}

std::string GetMacroName(const StMacro& macro) {
  std::string s;
  for (size_t i = 0; i < size_t(kMacroNameUnits) && macro.szName[i] != 0; ++i) {
    uint32_t u = macro.szName[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < size_t(kMacroNameUnits) &&
        macro.szName[i + 1] >= 0xDC00 && macro.szName[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (macro.szName[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(s, u);
  }
  return s;
}

bool SetMacroName(StMacro& macro, std::string_view utf8) {
  std::memset(macro.szName, 0, sizeof macro.szName);
  const size_t cap = kMacroNameUnits - 1;
  size_t n = 0, i = 0;
  while (i < utf8.size()) {
    uint32_t cp = NextCodePoint(utf8, i);
    if (cp == 0) return false;  // an embedded NUL ends the name
    if (cp >= 0x10000) {
      if (n + 2 > cap) return false;
      macro.szName[n++] = uint16_t(0xD800 + ((cp - 0x10000) >> 10));
      macro.szName[n++] = uint16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      if (n + 1 > cap) return false;
      macro.szName[n++] = uint16_t(cp);
    }
  }
  return true;
}

uint32_t MakeTimeId() {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        now.time_since_epoch()).count() % 1000;
    const uint32_t id = TimeId(tm.tm_hour, tm.tm_min, tm.tm_sec, int(ms));
    // Two callers may race here; each still differs from the id stored before it.
    if (g_lastTimeId.exchange(id) != id) return id;
  }
}

}  // namespace tolvane
