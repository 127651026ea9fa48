#include "ui/macro_dlg.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cstring>
#include <functional>
#include <tuple>

#include "config/catalogue.h"
#include "config/texts.h"
#include "macro/macro_library.h"
#include "macro/hd_macro.h"
#include "macro/macro_names.h"
#include "program/program.h"
#include "ui/factories.h"
#include "ui/macro_feed.h"
#include "ui/menu_dlg.h"
#include "ui/msg_dlg.h"
#include "ui/my_edit.h"
#include "ui/paint_util.h"
#include "ui/png_btn.h"
#include "ui/tree_ctrl.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

constexpr QRect kPageInWindow(1, 111, 1069, 639);

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString T(std::string_view id) { return UiText(std::string(id).c_str()); }

QRect Ltrb(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

struct Label {
  QRect rect;
  const char* top;
  const char* bottom;  // may be null
};
// Titles and row labels in page pixels.
constexpr int kRowTop[6] = {110, 168, 226, 284, 342, 400};
const Label kLabels[] = {
    {Ltrb(60, 44, 352, 97), "tc_macro_list", nullptr},
    {Ltrb(368, 44, 660, 97), "tc_macro_key_list", nullptr},
    {Ltrb(677, 44, 1010, 97), "tc_macro_loop", nullptr},
    {Ltrb(698, 99, 878, 151), "tc_macro_msg14", "tc_msg7"},
    {Ltrb(698, 157, 878, 209), "tc_macro_msg15", "tc_msg13"},
    {Ltrb(698, 215, 878, 267), "tc_macro_msg16", "tc_macro_msg12"},
    {Ltrb(698, 273, 878, 325), "tc_click", nullptr},
    {Ltrb(698, 331, 878, 383), "tc_menu", nullptr},
    {Ltrb(698, 389, 878, 441), "tc_middle", nullptr},
    {Ltrb(135, 526, 390, 557), "tc_macro_auto", nullptr},
    {Ltrb(423, 567, 512, 598), "tc_macro_loop1", nullptr},
    {Ltrb(115, 567, 390, 598), "tc_macro_loop2", nullptr},
    {Ltrb(423, 526, 660, 557), "tc_macro_loop3", nullptr},
};

constexpr int kTreeTopBelowTitle = 106, kTreeTopBelowName = 140;
constexpr int kMinLabelPixel = 9;

QRect FromCfg(const Rect& r) { return Ltrb(r.left, r.top, r.right, r.bottom); }

// A skinned button; without its pictures it still exists (placed, plain).
CPngBtn* Button(QWidget* parent, const QImage& bg, const char* nr, const char* ov, const char* dn,
                QRect r, bool toggle) {
  auto* b = new CPngBtn(parent);
  if (!NewSmallPngButton(bg, dn, parent, nr, ov, b, toggle, Style().btnTips, r.left(), r.top(),
                         r.right() + 1, r.bottom() + 1)) {
    b->setParent(parent);
    b->setGeometry(r);
    b->SetToggle(toggle);
    b->SetBkPicture(CutBackground(bg, r));
    b->show();
  }
  return b;
}

CMyEdit* Field(QWidget* parent, QRect r) {
  auto* e = new CMyEdit(parent);
  e->setGeometry(r);
  e->SetColors(Style().clrEdit, Style().clrEditText);
  e->show();
  return e;
}

class SkinnedChooser : public MacroDlgChooser {
 public:
  void Message(QWidget* parent, const QString& text) override { ShowMessage(parent, text); }
  bool Confirm(QWidget* parent, const QString& text) override {
    CMsgDlg d(parent, CMsgDlg::kConfirm, text);
    return d.exec() == 1;
  }
  std::optional<QString> AskText(QWidget* parent, const QString& prompt, int limit) override {
    CMsgDlg d(parent, CMsgDlg::kText, prompt);
    d.SetTextLimit(limit);
    if (d.exec() != 1) return std::nullopt;
    return d.Text();
  }
  std::optional<int> AskNumber(QWidget* parent, const QString& prompt, int minimum,
                               int maximum) override {
    CMsgDlg d(parent, CMsgDlg::kNumber, prompt);
    d.SetTextLimit(6);
    d.SetRange(minimum, maximum);
    if (d.exec() != 1) return std::nullopt;
    return d.Number();
  }
  std::optional<KeyCombo> AskKey(QWidget* parent, const QString& prompt) override {
    CMsgDlg d(parent, CMsgDlg::kCombo, prompt);
    if (d.exec() != 1) return std::nullopt;
    return d.Combo();
  }
  std::optional<std::pair<int, int>> AskMove(QWidget* parent, int x, int y) override {
    CMoveDlg d(parent);
    // The dialog builds its fields when it runs: start them from the row.
    QTimer::singleShot(0, &d, [&d, x, y] {
      if (d.EditX()) d.EditX()->setText(QString::number(x));
      if (d.EditY()) d.EditY()->setText(QString::number(y));
    });
    d.exec();
    if (!d.Accepted()) return std::nullopt;
    return std::make_pair(d.X(), d.Y());
  }
  std::optional<std::string> OpenMacroFile(QWidget* parent) override {
    const QString f = QFileDialog::getOpenFileName(parent, QString(), QString(),
                                                   QStringLiteral("qxm(*.qxm)"));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
  }
  std::optional<std::string> SaveMacroFile(QWidget* parent, const QString& name) override {
    QFileDialog d(parent);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setNameFilter(QStringLiteral("qxm(*.qxm)"));
    d.setDefaultSuffix(QStringLiteral("qxm"));
    d.selectFile(name);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().front().toStdString();
  }
};

}  // namespace

std::unique_ptr<MacroDlgChooser> MakeSkinnedChooser() { return std::make_unique<SkinnedChooser>(); }

// ---------------------------------------------------------------- building

CMacroDlg::CMacroDlg(QWidget* parent, Program& program, std::unique_ptr<MacroDlgChooser> chooser)
    : SkinWidget(parent),
      program_(program),
      library_(program.Library()),
      chooser_(chooser ? std::move(chooser) : MakeSkinnedChooser()),
      editor_(MacroDelayLimits{Cat().opt.MinDelay, std::max<uint32_t>(1, Cat().opt.MinUIDelay)}),
      recorder_(editor_),
      view_(program.Library()) {
  setFocusPolicy(Qt::StrongFocus);
  resize(kPageInWindow.size());
  const QImage pic = LoadSkinPicture(QStringLiteral("macro_nr.png"));
  bg_ = pic.size() == kPageInWindow.size() || pic.isNull() ? pic : CutBackground(pic, kPageInWindow);
  eventIcons_[0] = LoadSkinPicture(QStringLiteral("mac_u.png"));
  eventIcons_[1] = LoadSkinPicture(QStringLiteral("mac_d.png"));
  eventIcons_[2] = LoadSkinPicture(QStringLiteral("mac_t.png"));
  eventIcons_[3] = LoadSkinPicture(QStringLiteral("mac_m.png"));
  Build();
  relay_ = new CMacroChangeRelay(library_, [this](const MacroChange& c) { OnLibraryChange(c); },
                                 this);
  Relabel();
  FillMacroTree();
  ShowState();
}

CMacroDlg::~CMacroDlg() {
  if (Recording()) qApp->removeEventFilter(this);
  delete relay_;  // no change reaches a page that is going away
  relay_ = nullptr;
  library_.FlushAll();
}

void CMacroDlg::Build() {
  const OptCfg& opt = Cat().opt;
  const bool hi = Style().hiRes;
  name_ = Field(this, hi ? Ltrb(70, 107, 304, 129) : Ltrb(74, 107, 308, 129));
  name_->setMaxLength(14);
  add_ = Button(this, bg_, "add_btn_nr.png", "add_btn_ov.png", "add_btn_ov.png",
                Ltrb(316, 107, 340, 131), false);
  connect(add_, &CPngBtn::clicked, this, &CMacroDlg::AddMacro);

  // The trees keep clear of the column titles and, for the library, of the
  // name row above it.
  QRect libraryRect = FromCfg(opt.rcMacroList), eventsRect = FromCfg(opt.rcKeyList);
  libraryRect.setTop(std::max(libraryRect.top(), kTreeTopBelowName));
  eventsRect.setTop(std::max(eventsRect.top(), kTreeTopBelowTitle));
  for (auto [tree, id, r] : {std::tuple{&macroTree_, kMacroTreeId, libraryRect},
                             std::tuple{&eventTree_, kEventTreeId, eventsRect}}) {
    *tree = new CTreeCtrlExRk(this, id);
    (*tree)->setGeometry(r);
    (*tree)->SetItemHeight(hi ? 38 : 34);
    LibraryView::Dress(*tree);
    if (opt.ListTrans) (*tree)->SetBackground(CutBackground(bg_, r));
  }
  connect(macroTree_, &CTreeCtrlEx::folderToggled, this, [this](uint32_t item) {
    view_.Toggle(item);
    FillMacroTree();
  });

  for (int i = 0; i < 6; ++i) {
    const int top = kRowTop[i];
    if (i < 3) {
      CMyEdit* f = Field(this, Ltrb(886, top, 951, top + 24));
      if (i < 2) {
        keyField_[i] = f;
        f->SetKeyCaptureMode(false);
        connect(f, &CMyEdit::keyCaptured, this, [this, i](uint8_t vk) { rowKey_[i] = vk; });
      } else {
        delayField_ = f;
        f->SetNumericMode(1, 65535, false);
        f->setMaxLength(5);
      }
    }
    rowBtn_[i] = Button(this, bg_, "add_btn_nr.png", "add_btn_ov.png", "add_btn_ov.png",
                        Ltrb(965, top, 989, top + 24), false);
    connect(rowBtn_[i], &CPngBtn::clicked, this, [this, i] { InsertRow(i + 1); });
  }

  autoDelay_ = Button(this, bg_, "toggle_off.png", "toggle_off.png", "toggle_on.png",
                      Ltrb(93, 533, 126, 550), true);
  connect(autoDelay_, &CPngBtn::clicked, this, &CMacroDlg::ToggleAutoDelay);
  const QRect radioRects[3] = {Ltrb(401, 574, 414, 587), Ltrb(93, 574, 106, 587),
                               Ltrb(401, 533, 414, 546)};
  const PlayRadio radioValues[3] = {PlayRadio::Repeat, PlayRadio::Mode2, PlayRadio::Mode1};
  for (int i = 0; i < 3; ++i) {
    radios_[i] = Button(this, bg_, "radio_nr.png", "radio_nr.png", "radio_dn.png", radioRects[i], true);
    connect(radios_[i], &CPngBtn::clicked, this,
            [this, v = radioValues[i]] { ChoosePlayRadio(v); });
  }
  repeat_ = Field(this, Ltrb(516, 571, 565, 593));
  repeat_->SetCtrlId(kRepeatFieldId);
  repeat_->SetNumericMode(0, 0, false);
  repeat_->setMaxLength(4);
  connect(repeat_, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (!editor_.HasMacro() || Recording()) return;
    const QString shown = Q(editor_.SetRepeatText(t.toStdString()));
    if (shown != t) {
      repeat_->setText(shown);
      repeat_->setCursorPosition(int(shown.size()));
    }
    ShowState();
  });

  record_ = Button(this, bg_, "RECORD_nr.png", "RECORD_nr.png", "RECORD_dn.png",
                   Ltrb(675, 519, 1010, 610), true);
  connect(record_, &CPngBtn::clicked, this, &CMacroDlg::ToggleRecording);
  save_ = Button(this, bg_, "button2_nr.png", "button2_ov.png", "button2_dn.png",
                 Ltrb(697, 455, 778, 483), false);
  connect(save_, &CPngBtn::clicked, this, &CMacroDlg::Save);
}

void CMacroDlg::Relabel() {
  record_->SetCaption(T(Recording() ? "tc_macro_stop" : "tc_macro_start"));
  save_->SetCaption(T("tc_macro_msg19"));
  FillEventTree();  // key names and the move text follow the language
  update();
}

void CMacroDlg::Refresh() { FillMacroTree(); }

void CMacroDlg::OnCoreEvent(uint32_t, uintptr_t, intptr_t) {
  // Macros merged during a read arrive through the library's listener.
}

// ---------------------------------------------------------------- showing

void CMacroDlg::FillMacroTree() {
  tree_ = library_.Tree();
  if (!tree_.Get(selected_)) selected_ = kRootNode;
  macroTree_->SetRows(view_.Rows(tree_));
  macroTree_->SetSelected(selected_);
}

void CMacroDlg::FillEventTree() {
  const TextLookup texts = [](std::string_view id) { return Tx(id); };
  std::vector<TreeRow> rows;
  const auto& events = editor_.Events();
  for (size_t i = 0; i < events.size(); ++i) {
    TreeRow r;
    r.item = uint32_t(i + 1);
    r.text = Q(EventNodeText(events[i], texts));
    r.icon = eventIcons_[int(events[i].kind)];
    rows.push_back(r);
  }
  eventTree_->SetRows(std::move(rows));
  const int sel = editor_.Selected();
  eventTree_->SetSelected(sel >= 0 ? uint32_t(sel + 1) : 0);
}

void CMacroDlg::ShowState() {
  const bool rec = Recording();
  const PlayRadio radio = editor_.Radio();
  for (int i = 0; i < 3; ++i)
    radios_[i]->SetCheck(editor_.HasMacro() && int(radio) == i + 1);
  repeat_->setVisible(!rec && editor_.HasMacro() && editor_.RepeatVisible());
  if (!repeat_->hasFocus()) repeat_->setText(Q(editor_.RepeatText()));
  autoDelay_->SetCheck(editor_.AutoDelay());
  for (int i = 0; i < 6; ++i) rowBtn_[i]->setVisible(!rec);
  for (CMyEdit* f : {keyField_[0], keyField_[1], delayField_}) f->setVisible(!rec);
  record_->SetCheck(rec);
  record_->SetCaption(T(rec ? "tc_macro_stop" : "tc_macro_start"));
  macroTree_->SetInputEnabled(!rec);
  save_->setVisible(!rec && editor_.SaveVisible());
  update();
}

void CMacroDlg::Say(std::string_view textId) {
  if (!textId.empty()) chooser_->Message(this, T(textId));
}

void CMacroDlg::SayText(const std::string& text) {
  if (!text.empty()) chooser_->Message(this, Q(text));
}

void CMacroDlg::OnLibraryChange(const MacroChange& c) {
  const bool shownGone =
      editor_.HasMacro() && !Recording() &&
      ((c.kind == MacroChange::RecordReplaced && (c.id & 0xFFFFFF) == (editor_.ShownId() & 0xFFFFFF)) ||
       (c.kind == MacroChange::TreeReloaded) ||
       (c.kind == MacroChange::NodeRemoved && c.node == selected_));
  if (shownGone) {
    // The record under the editor changed: its view would show stale events.
    editor_.Clear();
    selected_ = kRootNode;
    FillEventTree();
  }
  FillMacroTree();
  ShowState();
}

std::optional<StMacro> CMacroDlg::ShownRecord() const {
  if (!editor_.HasMacro()) return std::nullopt;
  return library_.FindById(editor_.ShownId());
}

void CMacroDlg::ClickMacroNode(NodeId node) {
  if (Recording()) {
    setFocus();
    return;
  }
  selected_ = tree_.Get(node) ? node : kRootNode;
  library_.Select(selected_);
  ShowNode(editor_, library_, selected_);
  macroTree_->SetSelected(selected_);
  FillEventTree();
  ShowState();
}

// ---------------------------------------------------------------- library operations

void CMacroDlg::AddMacro() {
  if (Recording()) return;
  const MacroResult r = library_.NewMacro(name_->text().toStdString());
  if (!r.ok) {
    SayText(r.message);
    return;
  }
  name_->clear();
  FillMacroTree();
  selected_ = r.node;
  macroTree_->SetSelected(selected_);
  ShowNode(editor_, library_, selected_);
  editor_.MarkDirty(kMacroDirtySettings | kMacroDirtyEvents);
  FillEventTree();
  ShowState();
}

void CMacroDlg::Rename(NodeId node) {
  const MacroNode* n = tree_.Get(node);
  if (!n) return;
  const auto name = chooser_->AskText(this, T(RenamePromptText(n->kind)), kMaxRenameChars);
  if (!name || name->isEmpty()) return;
  const MacroResult r = library_.Rename(node, name->toStdString());
  SayText(r.message);
  FillMacroTree();
}

void CMacroDlg::Delete(NodeId node) {
  if (!tree_.Get(node)) return;
  if (!chooser_->Confirm(this, T("tc_msg6"))) return;
  const DeleteOutcome out = DeleteLibraryNode(editor_, library_, node, KeyTables{}, false);
  SayText(out.result.message);
  if (out.result.ok) {
    selected_ = kRootNode;
    DropMissingMacroKeys();
  }
  FillMacroTree();
  FillEventTree();
  ShowState();
}

void CMacroDlg::DropMissingMacroKeys() {
  // Buttons whose macro is gone get their defaults back, through the gate,
  // and are written at once with ApplyNow so the mouse stops playing it.
  const std::optional<ProfileFile> f = program_.Profile();
  if (!f) return;
  bool missing = false;
  for (const auto& table : f->Key)
    for (const KeyInfo& k : table)
      if (FunGroup(k.dwFunID) == kGroupMacro && !library_.HasId(k.dwMacroID)) missing = true;
  if (missing) program_.Edit(EditDropMissingMacros);
}

void CMacroDlg::Import() {
  const auto file = chooser_->OpenMacroFile(this);
  if (!file) return;
  NodeId parent = kRootNode;
  if (const MacroNode* n = tree_.Get(selected_))
    parent = n->kind == NodeKind::Folder ? selected_ : n->parent;
  const MacroResult r = library_.Import(*file, parent);
  if (!r.ok) {
    SayText(r.message);
    return;
  }
  FillMacroTree();
  ClickMacroNode(r.node);
}

void CMacroDlg::Export(NodeId node) {
  const MacroNode* n = tree_.Get(node);
  if (!n || n->kind != NodeKind::Macro) return;
  const auto m = library_.FindById(n->id);
  const QString name = Q(TruncateUnits(m ? GetMacroName(*m) : n->text, 39)) + ".qxm";
  const auto dest = chooser_->SaveMacroFile(this, name);
  if (!dest) return;
  SayText(library_.ExportMacro(node, *dest).message);
}

// ---------------------------------------------------------------- editing

void CMacroDlg::InsertRow(int row) {
  if (Recording()) return;
  EditStatus s = EditStatus::NoMacro;
  switch (row) {
    case 1:
    case 2:
      s = editor_.InsertKey(rowKey_[row - 1], row == 1);
      if (s == EditStatus::Done || s == EditStatus::NoKey) {
        rowKey_[row - 1] = 0;
        keyField_[row - 1]->clear();
      }
      break;
    case 3: {
      int value = 0;
      if (delayField_->ReadNumber(&value) != 1) return;
      s = editor_.InsertDelay(uint32_t(value));
      if (s == EditStatus::Done) delayField_->clear();
      break;
    }
    case 4: s = editor_.InsertClick(kMouseLeft); break;
    case 5: s = editor_.InsertClick(kMouseRight); break;
    case 6: s = editor_.InsertClick(kMouseMiddle); break;
    default: return;
  }
  Say(EditStatusText(s));
  FillEventTree();
  ShowState();
}

void CMacroDlg::ModifyEvent(int row) {
  if (Recording()) return;
  editor_.Select(row);
  if (editor_.Selected() < 0) {
    Say("tc_macro_msg1");
    return;
  }
  const EventNode node = editor_.Events()[size_t(row)];
  EditStatus s = EditStatus::Done;
  switch (node.kind) {
    case EventKind::Delay: {
      const auto v = chooser_->AskNumber(this, T("tc_macro_msg12"),
                                         int(editor_.Limits().minUIDelay), 65535);
      if (!v) return;
      s = editor_.EditDelay(uint32_t(*v));
      break;
    }
    case EventKind::Move: {
      const MoveOffsets xy = MoveXY(node.value);
      const auto v = chooser_->AskMove(this, xy.x, xy.y);
      if (!v) return;
      s = editor_.EditMove(v->first, v->second);
      break;
    }
    default: {
      const auto combo = chooser_->AskKey(this, T("tc_msg7"));
      if (!combo) return;
      s = editor_.EditKey(*combo);
      break;
    }
  }
  Say(EditStatusText(s));
  FillEventTree();
  ShowState();
}

void CMacroDlg::DeleteEvent(int row) {
  if (Recording()) return;
  editor_.Delete(row);
  FillEventTree();
  ShowState();
}

void CMacroDlg::ChoosePlayRadio(PlayRadio radio) {
  if (!Recording()) Say(EditStatusText(editor_.SetRadio(radio)));
  ShowState();
}

void CMacroDlg::ToggleAutoDelay() {
  editor_.ToggleAutoDelay();
  ShowState();
}

void CMacroDlg::Save() {
  if (Recording() || !editor_.HasMacro()) return;
  const std::optional<ProfileFile> f = program_.Profile();
  const SaveOutcome out =
      SaveShownMacro(editor_, library_, selected_, f ? f->Key : nullptr, program_.ApplyNow());
  if (out.error != 0) SayText("Save macro: " + std::string(strerror(out.error)));
  if (out.applyButtons) program_.RequestApplyEx(1, 255);
  FillEventTree();
  ShowState();
}

// ---------------------------------------------------------------- recording

void CMacroDlg::ToggleRecording() {
  if (Recording()) {
    recorder_.Stop();
    qApp->removeEventFilter(this);
  } else {
    const EditStatus s = recorder_.Start();
    if (s != EditStatus::Done) {
      Say(EditStatusText(s));
      ShowState();
      return;
    }
    lastKeyTime_ = 0;
    qApp->installEventFilter(this);
    setFocus();
  }
  FillEventTree();
  ShowState();
}

bool CMacroDlg::RefuseLeave() {
  if (!Recording()) return false;
  Say("tc_macro_msg17");
  return true;
}

void CMacroDlg::RecordKey(const QKeyEvent& e) {
  if (!Recording()) return;
  lastKeyTime_ = KeyEventTime(e, lastKeyTime_);
  const RecordStatus s = recorder_.Key(RecordedKeyFromEvent(e, lastKeyTime_));
  if (s == RecordStatus::Full) Say("tc_macro_msg18");
  if (s == RecordStatus::Recorded || s == RecordStatus::Repeat) {
    FillEventTree();
    if (!eventTree_->Rows().empty()) eventTree_->SetSelected(eventTree_->Rows().back().item);
  }
}

bool CMacroDlg::eventFilter(QObject* o, QEvent* e) {
  const QEvent::Type t = e->type();
  if (Recording() && (t == QEvent::KeyPress || t == QEvent::KeyRelease || t == QEvent::ShortcutOverride)) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w && (w == this || isAncestorOf(w))) {
      if (t == QEvent::ShortcutOverride) e->accept();  // no shortcut takes a recorded key
      else RecordKey(*static_cast<QKeyEvent*>(e));
      return true;
    }
  }
  return SkinWidget::eventFilter(o, e);
}

// ---------------------------------------------------------------- menus and messages

void CMacroDlg::RightClick(bool macroTree, uint32_t item) {
  if (macroTree) {
    if (!Recording()) ClickMacroNode(item);
  } else if (!Recording()) {
    editor_.Select(item ? int(item) - 1 : kNoRow);
  }
  MenuTarget target;
  if (macroTree) target = MacroTreeTarget(tree_, item);
  else target = item ? MenuTarget::EventRow : MenuTarget::EventTreeEmpty;
  const MenuChoice choice = RightClickMenu(target, Recording());
  if (!choice.message.empty()) {
    Say(choice.message);
    return;
  }
  if (choice.items.empty()) return;
  menuOnMacroTree_ = macroTree;
  menuItem_ = item;
  std::vector<ui::MenuItem> items;
  for (const auto& i : choice.items) items.push_back({kMenuTopGroup, i.value, T(i.textId)});
  CMenuDlg::Options o;
  o.width = Style().hiRes ? 300 : 150;
  o.pos = QCursor::pos() + QPoint(2, 0);
  o.clrNr = Style().menuTxtNr;
  o.clrOv = Style().menuTxtOv;
  CMenuDlg::Open(this, std::move(items), o);
}

void CMacroDlg::MenuPick(uint32_t value) {
  CMenuDlg::CloseOpen();
  const NodeId node = menuOnMacroTree_ ? menuItem_ : kRootNode;
  switch (value) {
    case kMenuNewMacro: AddMacro(); break;
    case kMenuExport: Export(node); break;
    case kMenuRename: Rename(node); break;
    case kMenuDelete: Delete(node); break;
    case kMenuImport: Import(); break;
    case kMenuModifyEvent: ModifyEvent(int(menuItem_) - 1); break;
    case kMenuDeleteEvent: DeleteEvent(int(menuItem_) - 1); break;
    default: break;
  }
}

bool CMacroDlg::event(QEvent* e) {
  if (e->type() != UiMessageEvent::Type()) return SkinWidget::event(e);
  auto* m = static_cast<UiMessageEvent*>(e);
  m->accept();
  const bool macroTree = m->wParam == kMacroTreeId;
  const uint32_t item = uint32_t(m->lParam);
  switch (m->msg) {
    case WM_MENU_PICK: MenuPick(uint32_t(m->wParam)); break;
    case WM_TREE_CLICK:
      if (macroTree) ClickMacroNode(item);
      else if (Recording()) setFocus();
      else {
        editor_.Select(item ? int(item) - 1 : kNoRow);
        FillEventTree();
      }
      break;
    case WM_TREE_RCLICK: RightClick(macroTree, item); break;
    case WM_TREE_DELETE:
      if (Recording() || !item) break;
      if (macroTree) Delete(item);
      else DeleteEvent(int(item) - 1);
      break;
    case WM_TREE_MODIFY:
      if (Recording() || !item) break;
      if (macroTree) Rename(item);
      else ModifyEvent(int(item) - 1);
      break;
    default: break;
  }
  return true;
}

void CMacroDlg::mousePressEvent(QMouseEvent* e) {
  setFocus();
  e->accept();
}

void CMacroDlg::PaintBuffer(QPainter& p) {
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(0x282223));
  else p.drawImage(rect(), bg_);
  const uint32_t color = Cat().opt.Txt_clr ? Cat().opt.Txt_clr : 0xC8C8C8;
  p.setPen(ColorFromRef(color));
  for (const Label& l : kLabels) {
    const bool title = l.bottom == nullptr && l.rect.top() < 98;
    p.setFont(SharedFontOr(DialogFont(title ? 20 : 15, title ? 700 : 400)));
    // A label longer than its box takes a smaller font or a second line
    // before it is cut.
    if (!l.bottom) {
      DrawFittedText(p, l.rect, T(l.top), title ? DT_CENTER : 0, kMinLabelPixel);
      continue;
    }
    const QRect top(l.rect.left(), l.rect.top(), l.rect.width(), l.rect.height() / 2);
    const QRect bottom(l.rect.left(), top.bottom() + 1, l.rect.width(), l.rect.height() - top.height());
    DrawFittedText(p, top, T(l.top), 0, kMinLabelPixel);
    p.setPen(ColorFromRef(0x8C8C8C));
    DrawFittedText(p, bottom, T(l.bottom), 0, kMinLabelPixel);
    p.setPen(ColorFromRef(color));
  }
}

}  // namespace tolvane::ui
