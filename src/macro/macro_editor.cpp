#include "macro/macro_editor.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "macro/hd_macro.h"

namespace tolvane {

namespace {

// The number at the start of a field's text (an optional sign, then
// digits), saturated far outside the field's range; nullopt without digits.
std::optional<int64_t> ReadNumber(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  int64_t n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    n = std::min<int64_t>(n * 10 + (text[i] - '0'), 1000000000);
  return negative ? -n : n;
}

bool IsKeyRow(EventKind k) { return k == EventKind::Press || k == EventKind::Release; }

// The key a capture stands for: its first key, else the first modifier held.
uint32_t CapturedCode(const KeyCombo& c) {
  for (uint8_t k : c.bKeys)
    if (k) return k;
  static constexpr struct {
    uint8_t bit;
    uint8_t vk;
  } kModifiers[] = {{0x01, 0xA2}, {0x10, 0xA3}, {0x02, 0xA0}, {0x20, 0xA1},
                    {0x04, 0xA4}, {0x40, 0xA5}, {0x08, 0x5B}, {0x80, 0x5C}};
  for (const auto& m : kModifiers)
    if (c.bModifiers & m.bit) return m.vk;
  return 0;
}

}  // namespace

std::string_view EditStatusText(EditStatus status) {
  switch (status) {
    case EditStatus::NoMacro:
    case EditStatus::NoEvent: return "tc_macro_msg1";
    case EditStatus::Full: return "tc_macro_msg18";
    default: return "";
  }
}

std::string RepeatFieldText(std::string_view typed) {
  const auto n = ReadNumber(typed);
  if (!n) return std::string(typed);
  if (*n > kMaxRepeat) return std::to_string(kMaxRepeat);
  if (*n <= 0) return "1";
  return std::string(typed);
}

uint16_t RepeatFromField(std::string_view text) {
  const auto n = ReadNumber(text);
  if (!n || *n <= 0) return 1;
  return uint16_t(std::min<int64_t>(*n, kMaxRepeat));
}

std::string EventNodeText(const EventNode& node, const TextLookup& texts) {
  char buf[48];
  switch (node.kind) {
    case EventKind::Press:
    case EventKind::Release: return KeyName(node.value, texts);
    case EventKind::Delay: std::snprintf(buf, sizeof buf, "%u ms", node.value); return buf;
    case EventKind::Move: {
      const MoveOffsets m = MoveXY(node.value);
      std::snprintf(buf, sizeof buf, "   X= %d, Y= %d", m.x, m.y);
      std::string text = texts ? texts("tc_adv_str27") : std::string();
      text.append(buf);
      return text;
    }
  }
  return {};
}

std::string_view EventNodeIcon(EventKind kind) {
  switch (kind) {
    case EventKind::Release: return "mac_u.png";
    case EventKind::Press: return "mac_d.png";
    case EventKind::Delay: return "mac_t.png";
    case EventKind::Move: return "mac_m.png";
  }
  return {};
}

MacroEditor::MacroEditor(MacroDelayLimits limits) : limits_(limits) {}

bool MacroEditor::Show(const StMacro& macro) {
  if (recording_) return false;
  Clear();
  hasMacro_ = true;
  shownId_ = macro.dwID;
  for (int i = 0; i < kMaxMacroEvents; ++i) {
    const MacroEvent& e = macro.stEvents[i];
    if (e.wCode == 0 && e.dwDelay == 0) break;
    if (e.wFlag & kEventMove)
      events_.push_back({EventKind::Move, e.wCode});
    else if (e.wCode != 0)
      events_.push_back({(e.wFlag & 1) ? EventKind::Press : EventKind::Release, e.wCode});
    if (e.dwDelay != 0)  // the record is packed: the delay is copied, never bound
      events_.push_back({EventKind::Delay, std::min<uint32_t>(uint32_t{e.dwDelay}, kMaxMacroDelay)});
  }
  switch (macro.nLoopMode) {
    case 0:
      radio_ = PlayRadio::Repeat;
      repeatText_ = std::to_string(macro.wRepeat);
      break;
    case 1: radio_ = PlayRadio::Mode1; break;
    case 2: radio_ = PlayRadio::Mode2; break;
    default: radio_ = PlayRadio::None; break;
  }
  return true;
}

void MacroEditor::Clear() {
  if (recording_) return;
  hasMacro_ = false;
  shownId_ = 0;
  events_.clear();
  selected_ = kNoRow;
  radio_ = PlayRadio::Repeat;
  repeatText_.clear();
  dirty_ = 0;
}

int MacroEditor::CountedEvents() const {
  return int(std::count_if(events_.begin(), events_.end(),
                           [](const EventNode& n) { return n.kind != EventKind::Delay; }));
}

void MacroEditor::Select(int row) {
  selected_ = (row >= 0 && size_t(row) < events_.size()) ? row : kNoRow;
}

EditStatus MacroEditor::CanEdit() const {
  if (recording_) return EditStatus::Recording;
  if (!hasMacro_) return EditStatus::NoMacro;
  return EditStatus::Done;
}

EditStatus MacroEditor::Room(int needed) const {
  // At the limit every row is refused, a delay too.
  return CountedEvents() + std::max(needed, 1) > kMaxMacroEvents ? EditStatus::Full
                                                                 : EditStatus::Done;
}

size_t MacroEditor::InsertPosition() const {
  return selected_ == kNoRow ? events_.size() : size_t(selected_) + 1;
}

EditStatus MacroEditor::InsertKey(uint32_t code, bool press) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (EditStatus s = Room(1); s != EditStatus::Done) return s;
  if (code == 0 || code > 0xFF) return EditStatus::NoKey;
  const size_t at = InsertPosition();
  events_.insert(events_.begin() + at, {press ? EventKind::Press : EventKind::Release, code});
  selected_ = int(at);
  dirty_ |= kMacroDirtyEvents;
  return EditStatus::Done;
}

EditStatus MacroEditor::InsertClick(uint16_t mouseCode) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (EditStatus s = Room(2); s != EditStatus::Done) return s;
  if (mouseCode < kMouseLeft || mouseCode > kMouseBack) return EditStatus::NoKey;
  const size_t at = InsertPosition();
  const EventNode rows[] = {{EventKind::Press, mouseCode},
                            {EventKind::Delay, kClickDelay},
                            {EventKind::Release, mouseCode}};
  events_.insert(events_.begin() + at, std::begin(rows), std::end(rows));
  selected_ = int(at + 2);
  dirty_ |= kMacroDirtyEvents;
  return EditStatus::Done;
}

EditStatus MacroEditor::InsertDelay(uint32_t typed) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (EditStatus s = Room(0); s != EditStatus::Done) return s;
  if (selected_ == kNoRow) return EditStatus::NoSelection;
  if (typed < 1 || typed > kMaxMacroDelay) return EditStatus::OutOfRange;
  const size_t at = InsertPosition();
  events_.insert(events_.begin() + at, {EventKind::Delay, std::max(typed, limits_.minDelay)});
  selected_ = int(at);
  dirty_ |= kMacroDirtyEvents;
  return EditStatus::Done;
}

EditStatus MacroEditor::EditDelay(uint32_t typed) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (selected_ == kNoRow || events_[selected_].kind != EventKind::Delay)
    return EditStatus::NoEvent;
  if (typed < std::max<uint32_t>(limits_.minUIDelay, 1) || typed > kMaxMacroDelay)
    return EditStatus::OutOfRange;
  events_[selected_].value = std::min(std::max(typed, limits_.minDelay), kMaxMacroDelay);
  dirty_ |= kMacroDirtyEvents;
  return EditStatus::Done;
}

EditStatus MacroEditor::EditMove(int x, int y) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (selected_ == kNoRow || events_[selected_].kind != EventKind::Move)
    return EditStatus::NoEvent;
  if (x < -127 || x > 127 || y < -127 || y > 127 || (x == 0 && y == 0))
    return EditStatus::OutOfRange;
  events_[selected_].value = MoveValue(x, y);
  dirty_ |= kMacroDirtyEvents;
  return EditStatus::Done;
}

EditStatus MacroEditor::EditKey(const KeyCombo& captured) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (selected_ == kNoRow || !IsKeyRow(events_[selected_].kind)) return EditStatus::NoEvent;
  const uint32_t code = CapturedCode(captured);
  if (code == 0) return EditStatus::NoKey;
  events_[selected_].value = code;
  dirty_ |= kMacroDirtyEvents;
  return EditStatus::Done;
}

EditStatus MacroEditor::Delete(int row) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (row < 0 || size_t(row) >= events_.size()) return EditStatus::NoEvent;
  events_.erase(events_.begin() + row);
  selected_ = kNoRow;
  dirty_ |= kMacroDirtyEvents;
  return EditStatus::Done;
}

EditStatus MacroEditor::SetRadio(PlayRadio radio) {
  if (EditStatus s = CanEdit(); s != EditStatus::Done) return s;
  if (radio == PlayRadio::None) return EditStatus::OutOfRange;
  radio_ = radio;
  if (radio == PlayRadio::Repeat)
    repeatText_.assign(1, '1');
  else
    repeatText_.clear();
  dirty_ |= kMacroDirtySettings;
  return EditStatus::Done;
}

std::string MacroEditor::SetRepeatText(std::string_view typed) {
  if (CanEdit() != EditStatus::Done) return repeatText_;
  repeatText_ = RepeatFieldText(typed);
  dirty_ |= kMacroDirtySettings;
  return repeatText_;
}

EditStatus MacroEditor::ToggleAutoDelay() {
  if (recording_) return EditStatus::Recording;
  autoDelay_ = !autoDelay_;
  return EditStatus::Done;
}

void MacroEditor::MarkDirty(uint32_t bits) {
  if (hasMacro_) dirty_ |= bits & (kMacroDirtySettings | kMacroDirtyEvents);
}

void MacroEditor::MergeDelays() {
  std::vector<EventNode> merged;
  merged.reserve(events_.size());
  for (const EventNode& n : events_) {
    if (n.kind == EventKind::Delay && !merged.empty() && merged.back().kind == EventKind::Delay) {
      merged.back().value = std::min(merged.back().value + n.value, kMaxMacroDelay);
      continue;
    }
    // A delay before the first event has nothing to wait after.
    if (n.kind == EventKind::Delay && merged.empty()) continue;
    merged.push_back(n);
  }
  // A move of (0, 0) with no delay after it is an all-zero event, which
  // would end the macro there; it moves nothing, so it goes.
  events_.clear();
  for (size_t i = 0; i < merged.size(); ++i) {
    const bool delayed = i + 1 < merged.size() && merged[i + 1].kind == EventKind::Delay;
    if (merged[i].kind == EventKind::Move && merged[i].value == 0 && !delayed) continue;
    events_.push_back(merged[i]);
  }
  selected_ = kNoRow;
}

uint32_t MacroEditor::Commit(StMacro& record) {
  if (recording_ || !hasMacro_) return 0;
  const uint32_t bits = dirty_;
  if (bits & kMacroDirtySettings) {
    record.bAutoDelay = autoDelay_ ? 1 : 0;
    switch (radio_) {
      case PlayRadio::Mode2: record.nLoopMode = 2; break;
      case PlayRadio::Mode1: record.nLoopMode = 1; break;
      default:
        record.nLoopMode = 0;
        record.wRepeat = RepeatFromField(repeatText_);
        break;
    }
  }
  if (bits & kMacroDirtyEvents) {
    MergeDelays();
    std::fill(std::begin(record.stEvents), std::end(record.stEvents), MacroEvent{});
    int n = 0;
    for (const EventNode& node : events_) {
      if (node.kind == EventKind::Delay) {
        if (n > 0) record.stEvents[n - 1].dwDelay = node.value;  // none at the top after MergeDelays
        continue;
      }
      if (n == kMaxMacroEvents) break;
      MacroEvent& e = record.stEvents[n++];
      if (node.kind == EventKind::Move) {
        e.wCode = uint16_t(node.value);
        e.wFlag = kEventMove;
      } else {
        e.wCode = uint16_t(node.value & 0xFF);
        e.wFlag = node.kind == EventKind::Press ? kEventPress : kEventRelease;
      }
    }
  }
  record.dwDirty |= bits;
  dirty_ = 0;
  return bits;
}

void MacroEditor::BeginRecording() {
  events_.clear();
  selected_ = kNoRow;
  recording_ = true;
}

void MacroEditor::AppendRecorded(const EventNode& node) {
  if (recording_) events_.push_back(node);
}

void MacroEditor::TruncateRecorded(size_t rows) {
  if (recording_ && rows < events_.size()) events_.resize(rows);
}

void MacroEditor::EndRecording() {
  if (!recording_) return;
  recording_ = false;
  MarkDirty(kMacroDirtySettings | kMacroDirtyEvents);
}

}  // namespace tolvane
