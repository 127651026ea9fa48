#include "ui/menu_dlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/paint_util.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {
MenuPictures g_pics;
QPointer<CMenuDlg> g_open;
}  // namespace

void LoadMenuPictures() {
  g_pics.item = LoadSkinPicture(QStringLiteral("menu_nr.png"));
  g_pics.itemOver = LoadSkinPicture(QStringLiteral("menu_ov.png"));
  g_pics.sub = LoadSkinPicture(QStringLiteral("menusub_nr.png"));
  g_pics.subOver = LoadSkinPicture(QStringLiteral("menusub_ov.png"));
  g_pics.loaded = true;
}

void ReleaseMenuPictures() { g_pics = MenuPictures(); }

const MenuPictures& GetMenuPictures() {
  if (!g_pics.loaded) LoadMenuPictures();
  return g_pics;
}

CMenuDlg* CMenuDlg::Open(QObject* owner, std::vector<MenuItem> items, const Options& opt) {
  CloseOpen();
  auto* m = new CMenuDlg(owner, std::move(items), opt, false);
  g_open = m;
  m->show();
  return m;
}

void CMenuDlg::CloseOpen() {
  if (g_open) {
    CMenuDlg* m = g_open;
    g_open = nullptr;
    m->close();
  }
}

CMenuDlg* CMenuDlg::Current() { return g_open; }

QImage CMenuDlg::Preview(std::vector<MenuItem> items, const Options& opt, int hovered) {
  CMenuDlg m(nullptr, std::move(items), opt, false);
  m.setAttribute(Qt::WA_DeleteOnClose, false);
  m.hovered_ = hovered;
  return m.Render();
}

CMenuDlg::CMenuDlg(QObject* owner, std::vector<MenuItem> items, const Options& opt, bool isSub)
    : SkinWidget(nullptr, (isSub ? Qt::ToolTip : Qt::Popup) | Qt::FramelessWindowHint),
      owner_(owner), items_(std::move(items)), opt_(opt), isSub_(isSub) {
  setAttribute(Qt::WA_DeleteOnClose);
  setMouseTracking(true);
  if (items_.size() > kMaxMenuItems) items_.resize(kMaxMenuItems);
  for (MenuItem& it : items_) it.text.truncate(40);
  const MenuPictures& pics = GetMenuPictures();
  itemH_ = pics.item.isNull() ? 0 : pics.item.height() * (Style().hiRes ? 2 : 1);
  if (itemH_ == 0) ShowWarning("Warring", "Menu item height is 0");
  rects_.assign(items_.size(), QRect());
  int y = opt_.border, shown = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (!isSub_ && items_[i].group != kMenuTopGroup) continue;
    rects_[i] = QRect(0, y, opt_.width, itemH_);
    y += itemH_;
    ++shown;
  }
  setGeometry(opt_.pos.x(), opt_.pos.y(), std::max(1, opt_.width),
              std::max(1, itemH_ * shown + 2 * opt_.border));
}

CMenuDlg::~CMenuDlg() {
  if (sub_) delete sub_.data();
}

int CMenuDlg::SubCount(size_t pos) const {
  int n = 0;
  for (const MenuItem& it : items_)
    if (it.group == pos) ++n;
  return n;
}

int CMenuDlg::HitTest(const QPoint& p) const {
  for (size_t i = 0; i < rects_.size(); ++i)
    if (!rects_[i].isEmpty() && rects_[i].contains(p)) return int(i);
  return -1;
}

void CMenuDlg::OpenSub(size_t i) {
  CloseSub();
  std::vector<MenuItem> subItems;
  for (const MenuItem& it : items_)
    if (it.group == i) subItems.push_back(it);
  Options o = opt_;
  o.pos = QPoint(geometry().right() + 1,
                 geometry().top() + rects_[i].top() - itemH_ * (int(subItems.size()) - 1));
  sub_ = new CMenuDlg(this, std::move(subItems), o, true);
  sub_->setAttribute(Qt::WA_ShowWithoutActivating);
  sub_->show();
}

void CMenuDlg::CloseSub() {
  if (sub_) sub_->close();
  sub_ = nullptr;
}

CMenuDlg* CMenuDlg::SubAt(const QPoint& globalPos) const {
  return sub_ && sub_->geometry().contains(globalPos) ? sub_.data() : nullptr;
}

void CMenuDlg::HandleMove(const QPoint& p) {
  const int hit = HitTest(p);
  if (hit == hovered_) return;
  hovered_ = hit;
  update();
  CloseSub();
  if (hit >= 0 && Owns(size_t(hit))) OpenSub(size_t(hit));
}

void CMenuDlg::HandleRelease(const QPoint& p) {
  const int hit = HitTest(p);
  if (hit < 0 || Owns(size_t(hit))) return;
  PostUiMessage(owner_, WM_MENU_PICK, items_[size_t(hit)].value, opt_.tag);
}

void CMenuDlg::mouseMoveEvent(QMouseEvent* e) {
  const QPoint g = e->globalPosition().toPoint();
  if (CMenuDlg* s = SubAt(g)) {
    s->HandleMove(s->mapFromGlobal(g));
    return;
  }
  if (!rect().contains(e->position().toPoint())) return;
  HandleMove(e->position().toPoint());
}

void CMenuDlg::mousePressEvent(QMouseEvent* e) {
  const QPoint g = e->globalPosition().toPoint();
  if (!rect().contains(e->position().toPoint()) && !SubAt(g)) {
    close();  // a click outside the menu ends it
    return;
  }
  e->accept();
}

void CMenuDlg::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint g = e->globalPosition().toPoint();
  if (CMenuDlg* s = SubAt(g)) {
    s->HandleRelease(s->mapFromGlobal(g));
    return;
  }
  HandleRelease(e->position().toPoint());
}

void CMenuDlg::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Escape: case Qt::Key_F1:
      e->accept();
      return;
    default:
      SkinWidget::keyPressEvent(e);
  }
}

bool CMenuDlg::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    if (m->msg == WM_MENU_PICK) {  // from the submenu
      PostUiMessage(owner_, WM_MENU_PICK, m->wParam, opt_.tag);
      m->accept();
      return true;
    }
  }
  return SkinWidget::event(e);
}

void CMenuDlg::PaintBuffer(QPainter& p) {
  const MenuPictures& pics = GetMenuPictures();
  const bool pictures = !pics.item.isNull();
  if (!pictures) {
    p.fillRect(rect(), ColorFromRef(fill_));
    p.setPen(ColorFromRef(frame_));
    if (opt_.border <= 1) {
      p.drawRect(rect().adjusted(0, 0, -1, -1));
    } else {
      QPen pen(ColorFromRef(frame_));
      pen.setWidth(opt_.border * 2);
      p.setPen(pen);
      p.drawRect(rect());
    }
  }
  const bool hi = Style().hiRes;
  p.setFont(hi ? DialogFont(26, 500) : DialogFont(16, 400));
  for (size_t i = 0; i < items_.size(); ++i) {
    const QRect& r = rects_[i];
    if (r.isEmpty()) continue;
    const bool over = int(i) == hovered_;
    if (pictures) {
      const QImage* img;
      if (Owns(i))
        img = over ? &pics.subOver : &pics.sub;
      else
        img = over ? &pics.itemOver : &pics.item;
      if (!img->isNull()) p.drawImage(r, *img);
    } else if (over) {
      p.fillRect(r, ColorFromRef(hoverFill_));
    }
    p.setPen(ColorFromRef(over ? opt_.clrOv : opt_.clrNr));
    uint32_t fmt = kDefaultTextFormat;
    QRect tr = r;
    if (opt_.textX == 0)
      fmt |= DT_CENTER;
    else
      tr.setLeft(r.left() + opt_.textX);
    DrawFormattedText(p, tr, items_[i].text, fmt);
  }
}

}  // namespace tolvane::ui
