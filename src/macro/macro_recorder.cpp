#include "macro/macro_recorder.h"

#include <algorithm>

#include "macro/hd_macro.h"

namespace tolvane {

uint32_t RecordedCode(uint32_t vk, KeySide side) {
  uint32_t neutral = 0, right = 0;
  switch (vk) {
    case 0x11: case 0xA2: case 0xA3: neutral = 0x11; right = 0xA3; break;  // Ctrl
    case 0x10: case 0xA0: case 0xA1: neutral = 0x10; right = 0xA1; break;  // Shift
    case 0x12: case 0xA4: case 0xA5: neutral = 0x12; right = 0xA5; break;  // Alt
    default: return vk;
  }
  const bool isRight = side == KeySide::Right || (side == KeySide::Unknown && vk == right);
  return isRight ? right : neutral;
}

MacroRecorder::MacroRecorder(MacroEditor& editor) : editor_(editor) {}

EditStatus MacroRecorder::Start() {
  if (editor_.Recording()) return EditStatus::Recording;
  if (!editor_.HasMacro()) return EditStatus::NoMacro;
  editor_.BeginRecording();
  last_ = {};
  held_.clear();
  undo_ = {};
  return EditStatus::Done;
}

void MacroRecorder::Stop() {
  editor_.EndRecording();
  held_.clear();
  undo_ = {};
}

RecordStatus MacroRecorder::Key(const RecordedKey& key) {
  if (!editor_.Recording()) return RecordStatus::NotRecording;
  if (key.autoRepeat) return RecordStatus::Repeat;
  const uint32_t code = RecordedCode(key.vk, key.side);
  if (code == 0 || code > 0xFE) return RecordStatus::NoKey;

  if (key.press) {
    // Release + press of the same key at the same moment: a repeat pair.
    if (undo_.valid && last_.code == code && last_.timeMs == key.timeMs) {
      editor_.TruncateRecorded(undo_.rows);
      last_ = undo_.last;
      undo_ = {};
      held_.insert(code);
      return RecordStatus::Repeat;
    }
    if (held_.count(code)) return RecordStatus::Repeat;
  } else if (last_.any && last_.code == code && !last_.press) {
    return RecordStatus::Repeat;
  }
  // Every key held keeps a row for its release: rows + held keys stay within
  // the limit, so a full macro never leaves a key down.
  const size_t added = key.press ? 2 : (held_.count(code) ? 0 : 1);
  if (size_t(editor_.CountedEvents()) + held_.size() + added > size_t(kMaxMacroEvents))
    return RecordStatus::Full;

  const Last before = last_;
  const size_t rowsBefore = editor_.Events().size();
  if (editor_.AutoDelay() && !editor_.Events().empty() && key.timeMs > last_.timeMs) {
    const uint64_t gap = key.timeMs - last_.timeMs;
    const uint64_t d = std::clamp<uint64_t>(gap, editor_.Limits().minUIDelay, kMaxMacroDelay);
    editor_.AppendRecorded({EventKind::Delay, uint32_t(d)});
  }
  editor_.AppendRecorded({key.press ? EventKind::Press : EventKind::Release, code});
  last_ = {code, key.press, key.timeMs, true};
  if (key.press) {
    held_.insert(code);
    undo_ = {};
  } else {
    held_.erase(code);
    undo_ = {true, rowsBefore, before};
  }
  return RecordStatus::Recorded;
}

}  // namespace tolvane
