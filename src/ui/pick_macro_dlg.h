// CPickMacroDlg: the modal macro picker of the button page. It shows the
// library as it is in memory (a macro not yet saved, or one whose id changed
// at load, is offered with the id a button will look up), and follows
// library changes while open.
#pragma once

#include <QImage>

#include <cstdint>
#include <optional>

#include "macro/macro_page.h"
#include "ui/frameless_dialog.h"
#include "ui/library_view.h"

namespace tolvane {
class Program;
}

namespace tolvane::ui {

class CMacroChangeRelay;
class CPngBtn;
class CTreeCtrlEx;
class MacroDlgChooser;

// The button page's entry: opens the picker over `parent` and waits for the
// user. Returns the chosen macro's id (24 bits), -1 when the user asked for
// a new macro, nullopt when cancelled. `chooser` shows its messages (null:
// the skinned message dialog).
std::optional<int64_t> PickMacro(QWidget* parent, Program& program,
                                 MacroDlgChooser* chooser = nullptr);

class CPickMacroDlg : public CFramelessDialog {
  Q_OBJECT
 public:
  CPickMacroDlg(QWidget* parent, Program& program, MacroDlgChooser* chooser = nullptr);
  ~CPickMacroDlg() override;

  // The outcome once the dialog has closed.
  const PickResult& Result() const { return result_; }

  // What the buttons do.
  void Ok();        // closes with the selected macro, or says tc_macro_msg1 and stays
  void NewMacro();  // closes with -1
  void Cancel();
  void Select(NodeId node);

  CTreeCtrlEx* Tree() const { return tree_; }
  CPngBtn* OkButton() const { return ok_; }
  CPngBtn* NewButton() const { return new_; }
  CPngBtn* CancelButton() const { return cancel_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool event(QEvent* e) override;

 private:
  void Fill();

  Program& program_;
  MacroDlgChooser* chooser_;
  MacroPickerModel model_;
  LibraryView view_;
  PickResult result_;
  QImage bg_;
  CTreeCtrlEx* tree_ = nullptr;
  CPngBtn* ok_ = nullptr;
  CPngBtn* new_ = nullptr;
  CPngBtn* cancel_ = nullptr;
  CPngBtn* close_ = nullptr;
  CMacroChangeRelay* relay_ = nullptr;
};

}  // namespace tolvane::ui
