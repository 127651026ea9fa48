#include "ui/pick_macro_dlg.h"

#include <QPainter>

#include <functional>

#include "config/catalogue.h"
#include "macro/macro_library.h"
#include "program/program.h"
#include "ui/factories.h"
#include "ui/macro_dlg.h"
#include "ui/macro_feed.h"
#include "ui/msg_dlg.h"
#include "ui/png_btn.h"
#include "ui/tree_ctrl.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

constexpr int kWidth = 458, kHeight = 440;
constexpr QRect kTreeRect(21, 49, 416, 319);

}  // namespace

std::optional<int64_t> PickMacro(QWidget* parent, Program& program, MacroDlgChooser* chooser) {
  CPickMacroDlg dlg(parent, program, chooser);
  dlg.exec();
  const PickResult& r = dlg.Result();
  if (r.kind == PickResult::Picked || r.kind == PickResult::NewMacro) return r.id;
  return std::nullopt;
}

CPickMacroDlg::CPickMacroDlg(QWidget* parent, Program& program, MacroDlgChooser* chooser)
    : CFramelessDialog(parent),
      program_(program),
      chooser_(chooser),
      model_(program.Library()),
      view_(program.Library()) {
  result_ = MacroPickerModel::Cancel();
  bg_ = LoadSkinPicture(QStringLiteral("msg2_nr.png"));
  setFixedSize(bg_.isNull() ? QSize(kWidth, kHeight) : bg_.size());
  if (!bg_.isNull()) ShapeDialog(this, bg_);
  tree_ = new CTreeCtrlEx(this, CMacroDlg::kMacroTreeId);
  tree_->setGeometry(kTreeRect);
  LibraryView::Dress(tree_);
  connect(tree_, &CTreeCtrlEx::folderToggled, this, [this](uint32_t item) {
    view_.Toggle(item);
    Fill();
  });
  const int w = width(), y = kTreeRect.bottom() + 22;
  ok_ = DialogTextButton(this, bg_, QRect(w / 2 - 130, y, 80, 27), UiText("tc_ok"));
  new_ = DialogTextButton(this, bg_, QRect(w / 2 - 40, y, 80, 27), UiText("tc_macro_msg5"));
  cancel_ = DialogTextButton(this, bg_, QRect(w / 2 + 50, y, 80, 27), UiText("tc_cancel"));
  connect(ok_, &CPngBtn::clicked, this, &CPickMacroDlg::Ok);
  connect(new_, &CPngBtn::clicked, this, &CPickMacroDlg::NewMacro);
  connect(cancel_, &CPngBtn::clicked, this, &CPickMacroDlg::Cancel);
  close_ = DialogCloseButton(this, bg_, QRect(QPoint(399, 1), QPoint(423, 25)));
  if (close_) connect(close_, &CPngBtn::clicked, this, &CPickMacroDlg::Cancel);
  relay_ = new CMacroChangeRelay(
      program_.Library(),
      [this](const MacroChange&) {
        const NodeId keep = model_.Selected();
        model_ = MacroPickerModel(program_.Library());
        model_.Select(keep);
        Fill();
      },
      this);
  Fill();
}

CPickMacroDlg::~CPickMacroDlg() {
  delete relay_;
  relay_ = nullptr;
}

void CPickMacroDlg::Fill() {
  tree_->SetRows(view_.Rows(model_.Tree()));
  tree_->SetSelected(model_.Selected());
}

void CPickMacroDlg::Select(NodeId node) {
  model_.Select(node);
  tree_->SetSelected(model_.Selected());
}

void CPickMacroDlg::Ok() {
  const PickResult r = model_.Ok();
  if (r.kind == PickResult::Stay) {
    const QString text = UiText(std::string(r.message).c_str());
    if (chooser_) chooser_->Message(this, text);
    else ShowMessage(this, text);
    return;
  }
  result_ = r;
  accept();
}

void CPickMacroDlg::NewMacro() {
  result_ = MacroPickerModel::New();
  accept();
}

void CPickMacroDlg::Cancel() {
  result_ = MacroPickerModel::Cancel();
  reject();
}

bool CPickMacroDlg::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    m->accept();
    if (m->msg == WM_TREE_CLICK || m->msg == WM_TREE_RCLICK) Select(NodeId(m->lParam));
    if (m->msg == WM_TREE_DBLCLK) {
      Select(NodeId(m->lParam));
      if (const MacroNode* n = model_.Tree().Get(NodeId(m->lParam));
          n && n->kind == NodeKind::Macro)
        Ok();
    }
    return true;
  }
  return QDialog::event(e);
}

void CPickMacroDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(0x282223));
  else p.drawImage(0, 0, bg_);
  p.setPen(ColorFromRef(Style().btnTxtNr));
  p.setFont(DialogFont(18, 600));
  p.drawText(QRect(12, 1, width() - 60, 30), Qt::AlignVCenter | Qt::AlignLeft,
             UiText("tc_macro_list"));
}

}  // namespace tolvane::ui
