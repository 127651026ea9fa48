// The button assignment page CKeyDlg: the model picture with a hot-spot per
// button, the function menu, key combinations, macros, the profile selector,
// restore defaults, import and export of profile files, the sensor switch and
// the debounce and sensor-sleep controls.
//
// The page is a view over Program: it reads copies of the record, changes it
// only through Program::Edit with the edit functions (the gate first), and
// starts the device work (profile switch, restore, import, export) as
// operations whose results arrive as core events.
#pragma once

#include <QImage>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/key_info.h"
#include "ui/program_page.h"
#include "ui/skin_widget.h"

namespace tolvane {
class Program;
struct DevCfg;
}  // namespace tolvane

namespace tolvane::ui {

class CComboBtn;
class CHotSpotBtn;
class CPngBtn;
class CPngSliderBar;
class CProgressDlg;
class QtEventSink;

// File dialogs of the page (the platform's in the program, scripted in tests).
class PageChooser {
 public:
  virtual ~PageChooser() = default;
  // A file to read or to write; empty when cancelled.
  virtual std::string OpenFile(QWidget* parent, const QString& title, const QString& filter) = 0;
  virtual std::string SaveFile(QWidget* parent, const QString& title, const QString& filter) = 0;
};

// The Qt file dialogs; the page asks before overwriting, so they do not.
class QtFileChooser : public PageChooser {
 public:
  std::string OpenFile(QWidget* parent, const QString& title, const QString& filter) override;
  std::string SaveFile(QWidget* parent, const QString& title, const QString& filter) override;
};

// The questions the page asks; Kit() gives the message dialog's, tests
// replace single ones.
struct PagePrompts {
  std::function<void(QWidget*, const QString&)> message;
  std::function<bool(QWidget*, const QString&)> confirm;
  // A key combination; none when cancelled.
  std::function<std::optional<KeyCombo>(QWidget*, const QString&, bool checkBoxes)> combo;
  // A macro of the program's library: its id (24 bits), -1 when the user
  // asked for a new macro, none when cancelled. The kit opens the macro
  // picker.
  std::function<std::optional<int64_t>(QWidget*, Program&)> pickMacro;
  static PagePrompts Kit();
};

// A slider on "Debounce.png" with its label and value: the debounce and the
// sensor-sleep control.
class CValueCtrl : public SkinWidget {
  Q_OBJECT
 public:
  using AskFn = std::function<bool()>;
  using SetFn = std::function<void(int value)>;
  // False when a picture is missing (the control stays empty).
  bool Ready() const { return bar_ != nullptr; }
  void SetValue(int value);
  int Value() const;
  QString ValueText() const { return valueText_; }
  CPngSliderBar* Bar() const { return bar_; }
  void Relabel();

 protected:
  CValueCtrl(QWidget* parent, uint32_t id, const std::vector<int>& values, const char* labelId,
             std::function<QString(int)> format, AskFn ask, SetFn set);
  void PaintBuffer(QPainter& p) override;
  bool event(QEvent* e) override;

 private:
  QImage bg_;
  CPngSliderBar* bar_ = nullptr;
  const char* labelId_;
  QString label_, valueText_;
  std::function<QString(int)> format_;
  AskFn ask_;
  SetFn set_;
};

class CDebounceDlg : public CValueCtrl {
  Q_OBJECT
 public:
  CDebounceDlg(QWidget* parent, AskFn ask, SetFn set);
};

class CSensorSleepDlg : public CValueCtrl {
  Q_OBJECT
 public:
  CSensorSleepDlg(QWidget* parent, AskFn ask, SetFn set);
};

class CKeyDlg : public SkinWidget, public ProgramPage {
  Q_OBJECT
 public:
  static constexpr int kMaxHotSpots = 16;

  CKeyDlg(QWidget* parent, Program& program, PageChooser& chooser,
          PagePrompts prompts = PagePrompts::Kit());
  ~CKeyDlg() override;

  void OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void Refresh() override;
  void Relabel() override;

  // The user's actions, as the controls start them.
  void OpenMenu(int key);          // click on hot-spot `key` (0-based)
  void Choose(int key, uint32_t value);  // a pick of the function menu
  void Restore();
  void Import();
  void Export();
  void ChooseProfile(int profile);
  void FlipSensorSwitch();

  // The parts, for tests and screenshots.
  CHotSpotBtn* HotSpot(int key) const { return key >= 0 && key < kMaxHotSpots ? hot_[key] : nullptr; }
  int ShownKeys() const { return shown_; }
  CComboBtn* ProfileSelector() const { return profile_; }
  CPngBtn* RestoreButton() const { return restore_; }
  CPngBtn* ImportButton() const { return import_; }
  CPngBtn* ExportButton() const { return export_; }
  CPngBtn* SensorSwitch() const { return switch_; }
  CDebounceDlg* Debounce() const { return debounce_; }
  CSensorSleepDlg* SensorSleep() const { return sleep_; }
  CProgressDlg* Progress() const { return progress_; }
  bool SwitchPending() const { return switchTicket_ != 0; }

 signals:
  // The user asked for the macro page (no macros yet, or the picker's editor
  // entry).
  void macroPageRequested();

 protected:
  void PaintBuffer(QPainter& p) override;
  bool event(QEvent* e) override;

 private:
  void BuildForModel();
  void ClearModelControls();
  void ShowKeys();
  void ShowKey(int key, const KeyInfo& info);
  void Store(int key, const KeyInfo& info);
  bool Gate();
  bool GateQuiet();
  void Message(const QString& text);
  void OnProgressEvent(uint32_t msg, uintptr_t wParam);
  void CloseProgress();
  std::optional<KeyInfo> AskMacro();

  Program& program_;
  PageChooser& chooser_;
  PagePrompts prompts_;
  const DevCfg* model_ = nullptr;  // the model the hot-spots are built for
  QImage bg_, pageBg_;
  CHotSpotBtn* hot_[kMaxHotSpots] = {};
  int shown_ = 0;
  CComboBtn* profile_ = nullptr;
  CPngBtn* restore_ = nullptr;
  CPngBtn* import_ = nullptr;
  CPngBtn* export_ = nullptr;
  CPngBtn* switch_ = nullptr;
  bool switchShown_ = false;
  CDebounceDlg* debounce_ = nullptr;
  CSensorSleepDlg* sleep_ = nullptr;
  QPointer<CProgressDlg> progress_;
  std::shared_ptr<QtEventSink> progressSink_;
  bool progressShown_ = false;  // the sink is the program's progress window
  uint64_t switchTicket_ = 0, restoreTicket_ = 0, importTicket_ = 0;
  int profileBeforeSwitch_ = 0;
  bool refreshing_ = false;
};

}  // namespace tolvane::ui
