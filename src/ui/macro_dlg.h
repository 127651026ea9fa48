// The macro page CMacroDlg: the library as a tree, the events of the macro
// shown as a second tree, the insertion rows, the play settings, recording
// and saving. The decisions live in macro_editor.h, macro_recorder.h and
// macro_page.h; this page paints them and forwards the user's input.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "macro/macro_editor.h"
#include "macro/macro_page.h"
#include "macro/macro_recorder.h"
#include "records/key_info.h"
#include "ui/library_view.h"
#include "ui/program_page.h"
#include "ui/skin_widget.h"

namespace tolvane {
class Program;
}

namespace tolvane::ui {

class CMacroChangeRelay;
class CMyEdit;
class CPngBtn;
class CTreeCtrlEx;
class CTreeCtrlExRk;

// Everything the macro page and the picker ask the user; tests script it.
class MacroDlgChooser {
 public:
  virtual ~MacroDlgChooser() = default;
  virtual void Message(QWidget* parent, const QString& text) = 0;
  virtual bool Confirm(QWidget* parent, const QString& text) = 0;
  // Text prompt of at most `limit` characters; nullopt when cancelled.
  virtual std::optional<QString> AskText(QWidget* parent, const QString& prompt, int limit) = 0;
  virtual std::optional<int> AskNumber(QWidget* parent, const QString& prompt, int minimum,
                                       int maximum) = 0;
  virtual std::optional<KeyCombo> AskKey(QWidget* parent, const QString& prompt) = 0;
  virtual std::optional<std::pair<int, int>> AskMove(QWidget* parent, int x, int y) = 0;
  virtual std::optional<std::string> OpenMacroFile(QWidget* parent) = 0;
  virtual std::optional<std::string> SaveMacroFile(QWidget* parent, const QString& fileName) = 0;
};

// The skinned message dialogs, the cursor-move dialog and the file dialogs.
std::unique_ptr<MacroDlgChooser> MakeSkinnedChooser();

class CMacroDlg : public SkinWidget, public ProgramPage {
  Q_OBJECT
 public:
  static constexpr uint16_t kMacroTreeId = 261, kEventTreeId = 262, kRepeatFieldId = 263;

  // `chooser` may be null: the skinned dialogs.
  CMacroDlg(QWidget* parent, Program& program, std::unique_ptr<MacroDlgChooser> chooser = {});
  ~CMacroDlg() override;

  // ProgramPage
  void OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void Refresh() override;
  void Relabel() override;

  bool Recording() const { return recorder_.Recording(); }
  // For the window's tab change: while recording shows tc_macro_msg17 and
  // answers true (the change is refused).
  bool RefuseLeave() override;

  // The user's actions (the controls call them; tests may too).
  void ClickMacroNode(NodeId node);  // 0: empty space
  void AddMacro();                   // the add button, with the name field's text
  void ToggleRecording();
  void Save();
  // Rows 1 to 6 of the insertion column.
  void InsertRow(int row);
  void ChoosePlayRadio(PlayRadio radio);
  void ToggleAutoDelay();
  void ModifyEvent(int row);
  void DeleteEvent(int row);
  void RightClick(bool macroTree, uint32_t item);
  void MenuPick(uint32_t value);
  void Import();
  void Export(NodeId node);
  void Rename(NodeId node);
  void Delete(NodeId node);
  // A key event addressed to the page while recording.
  void RecordKey(const QKeyEvent& e);

  const MacroEditor& Editor() const { return editor_; }
  NodeId SelectedNode() const { return selected_; }
  CTreeCtrlExRk* MacroTreeCtrl() const { return macroTree_; }
  CTreeCtrlExRk* EventTreeCtrl() const { return eventTree_; }
  CMyEdit* NameField() const { return name_; }
  CMyEdit* KeyField(int row) const { return row == 1 || row == 2 ? keyField_[row - 1] : nullptr; }
  CMyEdit* DelayField() const { return delayField_; }
  CMyEdit* RepeatField() const { return repeat_; }
  CPngBtn* RecordButton() const { return record_; }
  CPngBtn* SaveButton() const { return save_; }
  CPngBtn* AutoDelaySwitch() const { return autoDelay_; }
  CPngBtn* Radio(int i) const { return i >= 1 && i <= 3 ? radios_[i - 1] : nullptr; }
  CPngBtn* RowButton(int row) const { return row >= 1 && row <= 6 ? rowBtn_[row - 1] : nullptr; }

 protected:
  void PaintBuffer(QPainter& p) override;
  bool event(QEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void Build();
  void FillMacroTree();
  void FillEventTree();
  void ShowState();  // buttons, fields and radios from the editor
  void Say(std::string_view textId);
  void SayText(const std::string& text);
  void OnLibraryChange(const MacroChange& c);
  void ApplyIfUsed(bool applyButtons);
  void DropMissingMacroKeys();
  std::optional<StMacro> ShownRecord() const;

  Program& program_;
  MacroLibrary& library_;
  std::unique_ptr<MacroDlgChooser> chooser_;
  MacroEditor editor_;
  MacroRecorder recorder_;
  MacroTree tree_;               // the library's tree as last shown
  LibraryView view_;             // folders shown open, their pictures
  NodeId selected_ = kRootNode;  // macro tree selection
  bool menuOnMacroTree_ = true;
  uint32_t menuItem_ = 0;
  uint64_t lastKeyTime_ = 0;
  uint8_t rowKey_[2] = {0, 0};  // keys captured by rows 1 and 2
  QImage bg_;
  QImage eventIcons_[4];
  CTreeCtrlExRk* macroTree_ = nullptr;
  CTreeCtrlExRk* eventTree_ = nullptr;
  CMyEdit* name_ = nullptr;
  CPngBtn* add_ = nullptr;
  CMyEdit* keyField_[2] = {};
  CMyEdit* delayField_ = nullptr;
  CPngBtn* rowBtn_[6] = {};
  CPngBtn* autoDelay_ = nullptr;
  CPngBtn* radios_[3] = {};
  CMyEdit* repeat_ = nullptr;
  CPngBtn* record_ = nullptr;
  CPngBtn* save_ = nullptr;
  CMacroChangeRelay* relay_ = nullptr;
};

}  // namespace tolvane::ui
