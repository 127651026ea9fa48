// The macro editor without pixels: the event list of the macro shown (press,
// release, delay and cursor-move rows), the selection in it, insertion and
// editing by hand, the play settings with their dirty bits, and the commit
// that turns the list back into the macro's record when the user saves.
//
// The page paints what this holds and forwards the user's actions; the
// recorder (macro_recorder.h) appends recorded keys through the recording
// calls at the end of the class.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/st_macro.h"
#include "records/key_usage.h"
#include "records/key_info.h"

namespace tolvane {

enum class EventKind : uint8_t { Release = 0, Press = 1, Delay = 2, Move = 3 };

// One row of the event list.
struct EventNode {
  EventKind kind = EventKind::Press;
  // Press and release: the key or mouse code (1..254). Delay: milliseconds
  // (1..65535). Move: x in the low byte, y in the high byte.
  uint32_t value = 0;
  bool operator==(const EventNode&) const = default;
};

// The minimum delays of the catalogue ([OPT] MinDelay and MinUIDelay).
struct MacroDelayLimits {
  uint32_t minDelay = 10;   // floor of a delay the user types
  uint32_t minUIDelay = 1;  // floor of a recorded gap; lowest value the delay prompt accepts
};

// The play-mode radios. Radio 1 plays the repeat count, radio 2 is loop mode
// 2, radio 3 loop mode 1; None when the record carries another loop mode.
enum class PlayRadio : uint8_t { None = 0, Repeat = 1, Mode2 = 2, Mode1 = 3 };

// Outcome of an editing action. Text ids of the messages: EditStatusText.
enum class EditStatus : uint8_t {
  Done,
  NoMacro,      // no macro shown (tc_macro_msg1)
  NoEvent,      // the action needs a selected event row of the right kind (tc_macro_msg1)
  NoSelection,  // a delay is inserted only after a selected row (nothing shown)
  Full,         // 70 press, release and move rows reached (tc_macro_msg18)
  NoKey,        // no key code: code 0 would end the macro on the mouse (nothing inserted)
  OutOfRange,   // a number outside what the field or prompt accepts
  Recording,    // the list belongs to a recording
};

// "tc_macro_msg1", "tc_macro_msg18", or "" when nothing is shown.
std::string_view EditStatusText(EditStatus status);

constexpr int kNoRow = -1;
constexpr uint32_t kClickDelay = 50;  // ms between press and release of an inserted click
constexpr uint16_t kMaxRepeat = 250;

// Stored value of a cursor move: each offset keeps its own byte, so a
// negative x does not spill into y.
constexpr uint32_t MoveValue(int x, int y) { return uint32_t(x & 0xFF) | (uint32_t(y & 0xFF) << 8); }
struct MoveOffsets {
  int x;
  int y;
};
constexpr MoveOffsets MoveXY(uint32_t value) {
  return {int(int8_t(uint8_t(value & 0xFF))), int(int8_t(uint8_t((value >> 8) & 0xFF)))};
}

// The repeat-count field's rule, applied on every change while it has the
// focus: a readable number above 250 becomes "250", one of 0 or less "1";
// anything else stays as typed.
std::string RepeatFieldText(std::string_view typed);
// The repeat count a field text stands for when saving: 1..250 (1 when the
// text is empty or unreadable).
uint16_t RepeatFromField(std::string_view text);

// Row text: the key name of a press or release, "%d ms" for a delay, the
// text tc_adv_str27 followed by "   X= %d, Y= %d" for a move.
std::string EventNodeText(const EventNode& node, const TextLookup& texts);
// Row picture: "mac_u.png", "mac_d.png", "mac_t.png" or "mac_m.png".
std::string_view EventNodeIcon(EventKind kind);

class MacroEditor {
 public:
  explicit MacroEditor(MacroDelayLimits limits = {});

  const MacroDelayLimits& Limits() const { return limits_; }

  // ---- what is shown ----
  // Shows a macro: its events (at most 70; an event whose key code is 0 gets
  // no row; a delay gets a row after its event), the radios and the repeat
  // field from its loop mode. Drops unsaved changes, clears the selection
  // and the dirty bits; the auto-delay switch keeps its state. Refused
  // (false) while recording.
  bool Show(const StMacro& macro);
  // Nothing shown (a folder or empty space clicked, a macro deleted). Does
  // nothing while recording.
  void Clear();
  bool HasMacro() const { return hasMacro_; }
  uint32_t ShownId() const { return shownId_; }

  const std::vector<EventNode>& Events() const { return events_; }
  // Press, release and move rows (the rows the 70-event limit counts).
  int CountedEvents() const;
  int Selected() const { return selected_; }
  // Selects row `row`, or nothing for kNoRow or a row that does not exist.
  void Select(int row);

  // ---- insertion by hand (the six rows of the panel) ----
  // Rows 1 and 2: a press or release of `code` after the selected row, or
  // at the end when none is selected. Code 0 (an empty key field) adds
  // nothing.
  EditStatus InsertKey(uint32_t code, bool press);
  // Rows 4 to 6: press of a mouse code, a 50 ms delay, release; after the
  // selected row or at the end; the release becomes the selected row. Needs
  // room for both the press and the release.
  EditStatus InsertClick(uint16_t mouseCode);
  // Row 3: a delay after the selected row; the typed value (1..65535) is
  // raised to MinDelay. Refused, like every row, once 70 rows count.
  EditStatus InsertDelay(uint32_t typed);

  // ---- editing the selected row ----
  // A delay typed in the prompt (MinUIDelay..65535), raised to MinDelay.
  EditStatus EditDelay(uint32_t typed);
  // A cursor move from the move dialog (-127..127 each). A move of (0, 0)
  // is refused: with no delay after it, it would end the macro.
  EditStatus EditMove(int x, int y);
  // A press or release takes the captured key; when only modifiers were
  // held, the first of Ctrl, Shift, Alt, Windows, its left-hand key before
  // its right-hand one. The row keeps its direction. A capture without any
  // key code is refused.
  EditStatus EditKey(const KeyCombo& captured);
  // Removes row `row` (the selection moves to nothing).
  EditStatus Delete(int row);

  // ---- play settings ----
  PlayRadio Radio() const { return radio_; }
  const std::string& RepeatText() const { return repeatText_; }
  bool RepeatVisible() const { return radio_ == PlayRadio::Repeat; }
  // Radio 1 sets the field to "1"; radios 2 and 3 empty it.
  EditStatus SetRadio(PlayRadio radio);
  // A change of the repeat field's text; returns the text the field shows
  // afterwards (RepeatFieldText).
  std::string SetRepeatText(std::string_view typed);
  bool AutoDelay() const { return autoDelay_; }
  // Flips the auto-delay switch (not while recording); no dirty bit.
  EditStatus ToggleAutoDelay();

  // ---- dirty bits and saving ----
  // kMacroDirtySettings and kMacroDirtyEvents of the changes not yet saved.
  uint32_t Dirty() const { return dirty_; }
  bool SaveVisible() const { return dirty_ != 0; }
  // For a macro that is new or imported: its record is to be written.
  void MarkDirty(uint32_t bits);
  // Writes the pending changes into `record` (the record of the macro
  // shown): the play settings when they changed; the events when they
  // changed, after merging each run of delay rows into one (at most 65535
  // ms), dropping a delay at the top and a (0, 0) move without a delay
  // after it (an all-zero event would end the macro); the list then shows
  // the same. The committed bits are set in record.dwDirty so that the library
  // writes the file, and cleared here. Returns the committed bits.
  uint32_t Commit(StMacro& record);

  // ---- recording (MacroRecorder) ----
  bool Recording() const { return recording_; }
  // Empties the list and the selection and refuses the editing calls until
  // EndRecording.
  void BeginRecording();
  void AppendRecorded(const EventNode& node);
  // Drops the rows from `rows` on (undoes the last recorded rows).
  void TruncateRecorded(size_t rows);
  // The recording is a change of the events and settings: sets both dirty bits.
  void EndRecording();

 private:
  EditStatus CanEdit() const;
  EditStatus Room(int needed) const;
  size_t InsertPosition() const;
  void MergeDelays();

  MacroDelayLimits limits_;
  bool hasMacro_ = false;
  uint32_t shownId_ = 0;
  std::vector<EventNode> events_;
  int selected_ = kNoRow;
  PlayRadio radio_ = PlayRadio::Repeat;
  std::string repeatText_;
  bool autoDelay_ = true;
  uint32_t dirty_ = 0;
  bool recording_ = false;
};

}  // namespace tolvane
