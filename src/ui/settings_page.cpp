#include "ui/settings_page.h"

#include "app/event_sink.h"
#include "config/catalogue.h"
#include "device/hid_dev.h"
#include "program/program.h"
#include "ui/factories.h"
#include "ui/main_window.h"
#include "ui/msg_dlg.h"
#include "ui/png_btn.h"
#include "ui/png_slider.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

QImage PageBackground(const char* name) {
  QImage img = LoadSkinPicture(QString::fromLatin1(name));
  const QRect page = CTolvaneDlg::kPageRect;
  if (!img.isNull() && img.size() != page.size() && QRect(QPoint(), img.size()).contains(page))
    img = CutBackground(img, page);
  if (img.isNull()) {
    img = QImage(page.size(), QImage::Format_ARGB32);
    img.fill(QColor(24, 26, 30));
  }
  return img;
}

}  // namespace

SettingsPage::SettingsPage(QWidget* parent, Program& program, const char* background)
    : SkinWidget(parent), program_(program) {
  message_ = [this](const QString& t) { ShowMessage(this, t); };
  txtColor_ = g_Catalogue().opt.Txt_clr;
  resize(CTolvaneDlg::kPageRect.size());
  bg_ = PageBackground(background);
}

bool SettingsPage::event(QEvent* e) {
  if (e->type() != UiMessageEvent::Type()) return SkinWidget::event(e);
  auto* m = static_cast<UiMessageEvent*>(e);
  if (m->msg == WM_SLIDER_ASK || m->msg == WM_XYSLIDER_ASK)
    m->setResult(program_.CanChangeSettings() ? 1 : 0);
  else if (!OnUiMessage(*m))
    return SkinWidget::event(e);
  m->accept();
  return true;
}

bool SettingsPage::RecordMayHaveChanged(uint32_t msg) {
  switch (msg) {
    case WM_SYNC_OK:
    case WM_READ_DONE:
    case WM_BEHAVIOR_DECODED:
    case WM_NEW_DEVICE:
    case WM_CURRENT_REMOVED:
    case WM_PROFILE_SWITCHED:
      return true;
    default:
      return false;
  }
}

bool SettingsPage::Edit(const EditFn& fn) {
  const EditOutcome out = program_.Edit(fn);
  if (!out.ok && !out.gateRefused && !out.edit.text.empty())
    message_(out.edit.textId.empty() ? QString::fromStdString(out.edit.text)
                                     : UiText(out.edit.textId.c_str()));
  Refresh();
  return out.ok;
}

bool SettingsPage::Wired() const {
  const int cur = program_.Current();
  for (const DevEntryView& v : program_.Devices())
    if (int(v.nIndex) == cur && v.pDev)
      for (uint16_t pid : g_Catalogue().opt.PID)
        if (pid == v.pDev->wPID) return true;
  return false;
}

CPngSliderBar* SettingsPage::MakeSlider(const QPoint& at, int width, int lo, int hi, uint32_t id) {
  auto* s = new CPngSliderBar(this);
  const QRect r(at, QSize(width, 14));
  if (!NewSmallPngSliderBar(s, this, bg_, QStringLiteral("slider.png"), lo, hi, id,
                            QPoint(0, Style().barY), r, r)) {
    delete s;
    return nullptr;
  }
  s->SetThumbY(Style().sliderY);
  s->EvenScale();
  return s;
}

CPngBtn* SettingsPage::MakeButton(const QRect& r, const char* nr, const char* dn, bool toggle) {
  auto* b = new CPngBtn(this);
  if (!NewSmallPngButton(bg_, QString::fromLatin1(dn), this, QString::fromLatin1(nr),
                         QString::fromLatin1(nr), b, toggle, false, r.left(), r.top(),
                         r.right() + 1, r.bottom() + 1)) {
    delete b;
    return nullptr;
  }
  return b;
}

}  // namespace tolvane::ui
