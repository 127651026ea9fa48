#include "ui/cfg_dlg.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/log.h"
#include "macro/macro_file.h"
#include "platform/autostart.h"
#include "platform/xdg.h"
#include "ui/factories.h"
#include "ui/paint_util.h"
#include "ui/png_btn.h"
#include "ui/ui_style.h"
#include "ui/window_logic.h"

namespace tolvane::ui {

std::string ApplyAutostart(const AutostartTarget& t, bool on) {
  const std::string path = platform::AutostartEntryPath(t.dir);
  if (on) {
    const std::string text = platform::AutostartEntryText(t.program, t.name);
    const int err = WriteFileReplacing(path, text.data(), text.size());
    if (err != 0) return "cannot write " + path + ": " + std::strerror(err);
    return {};
  }
  if (std::remove(path.c_str()) != 0 && errno != ENOENT)
    return "cannot remove " + path + ": " + std::strerror(errno);
  return {};
}

bool AutostartPresent(const AutostartTarget& t) {
  return platform::IsFile(platform::AutostartEntryPath(t.dir));
}

namespace {

// Page coordinates of the controls and texts.
const QRect kLangRect(536, 75, 300, 58);
const QRect kCloseRect(788, 44, 48, 30);
const QRect kLogonRect(780, 160, 33, 17);
const QRect kHiddenRect(780, 225, 33, 17);
const QRect kSupportRect(700, 342, 119, 37);
const QRect kNoticeRect(780, 289, 33, 17);

QRect R(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

}  // namespace

CCfgDlg::CCfgDlg(QWidget* parent, WindowBackend& backend, const QImage& pageBackground,
                 const QRect& pageRect, AutostartTarget autostart, MessageFn message)
    : SkinWidget(parent),
      backend_(backend),
      autostart_(std::move(autostart)),
      message_(std::move(message)),
      openUrl_([](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }) {
  const WindowConfig cfg = backend_.Config();
  drvVer_ = cfg.drvVer;
  textColor_ = cfg.txtColor;
  bg_ = LoadSkinPicture(QStringLiteral("Setting_BG.png"));
  if (bg_.isNull()) bg_ = pageBackground;
  else if (bg_.size() != pageRect.size() && QRect(QPoint(0, 0), bg_.size()).contains(pageRect))
    bg_ = CutBackground(bg_, pageRect);
  else if (bg_.size() != pageRect.size())
    bg_ = bg_.scaled(pageRect.size());

  const QString langPic = QStringLiteral("combo4_nr.png");
  lang_ = NewSkinButton<CComboBtn>(this, bg_, kLangRect, langPic, langPic, langPic);
  if (lang_) {
    lang_->SetSameValueNoChange(true);
    connect(lang_, &CPngBtn::clicked, this,
            [this] { emit languageChosen(int(lang_->GetSelectedValue())); });
  }
  auto make = [this](CPngBtn*& b, const QRect& r, const char* nr, const char* ov, const char* dn,
                     bool toggle) {
    b = new CPngBtn(this);
    if (!NewSmallPngButton(bg_, QString::fromLatin1(dn), this, QString::fromLatin1(nr),
                           QString::fromLatin1(ov), b, toggle, false, r.left(), r.top(),
                           r.right() + 1, r.bottom() + 1)) {
      delete b;
      b = nullptr;
    }
  };
  make(close_, kCloseRect, "exit_nr.png", "exit_ov.png", "exit_nr.png", false);
  make(logon_, kLogonRect, "toggle_off.png", "toggle_off.png", "toggle_on.png", true);
  make(hidden_, kHiddenRect, "toggle_off.png", "toggle_off.png", "toggle_on.png", true);
  make(notice_, kNoticeRect, "toggle_off.png", "toggle_off.png", "toggle_on.png", true);
  make(support_, kSupportRect, "SupportBtn_nr.png", "SupportBtn_nr.png", "SupportBtn_nr.png",
       false);
  if (close_) connect(close_, &CPngBtn::clicked, this, &CCfgDlg::closeRequested);
  if (logon_) connect(logon_, &CPngBtn::clicked, this, &CCfgDlg::ToggleRunAtLogon);
  if (hidden_) connect(hidden_, &CPngBtn::clicked, this, &CCfgDlg::ToggleStartHidden);
  if (support_) connect(support_, &CPngBtn::clicked, this, &CCfgDlg::OpenSupport);
  if (notice_) connect(notice_, &CPngBtn::clicked, this, &CCfgDlg::ToggleLowBatteryNotice);
  Relabel();
  Refresh();
}

void CCfgDlg::Save(const WindowSettings& s) {
  if (!backend_.SaveSettings(s)) message_(QStringLiteral("Cannot save gSetting.dct"));
}

void CCfgDlg::Refresh() {
  WindowSettings s = backend_.Settings();
  const bool present = AutostartPresent(autostart_);
  if (s.runAtLogon != present) {
    const std::string err = ApplyAutostart(autostart_, s.runAtLogon);
    if (!err.empty()) {
      LogPrint("CCfgDlg::Refresh: %s", err.c_str());
      if (s.runAtLogon) {  // the entry could not be made: the setting is off
        message_(QString::fromStdString("Start at log-on: " + err));
        s.runAtLogon = false;
        Save(s);
      }
    }
  }
  if (logon_) logon_->SetCheck(s.runAtLogon);
  if (hidden_) hidden_->SetCheck(s.startHidden);
  if (notice_) notice_->SetCheck(s.lowBatteryNotice);
  update();
}

void CCfgDlg::Relabel() {
  if (lang_) {
    lang_->ClearItems(0);
    const auto names = backend_.Languages();
    for (size_t i = 0; i < names.size(); ++i)
      lang_->AddItem(0, uint32_t(i), QString::fromStdString(names[i]).left(19));
    lang_->SelectValue(uint32_t(backend_.CurrentLanguage()));
  }
  if (support_) support_->SetCaption(UiText("tc_new1"));
  update();
}

void CCfgDlg::ToggleRunAtLogon() {
  WindowSettings s = backend_.Settings();
  const bool want = !s.runAtLogon;
  const std::string err = ApplyAutostart(autostart_, want);
  if (!err.empty()) {
    LogPrint("CCfgDlg: %s", err.c_str());
    message_(QString::fromStdString("Start at log-on: " + err));
    if (logon_) logon_->SetCheck(s.runAtLogon);
    update();
    return;
  }
  s.runAtLogon = want;
  Save(s);
  if (logon_) logon_->SetCheck(backend_.Settings().runAtLogon);
  update();
}

void CCfgDlg::Flip(bool WindowSettings::*setting, CPngBtn* button) {
  WindowSettings s = backend_.Settings();
  s.*setting = !(s.*setting);
  Save(s);
  if (button) button->SetCheck(backend_.Settings().*setting);
  update();
}

void CCfgDlg::ToggleStartHidden() { Flip(&WindowSettings::startHidden, hidden_); }

void CCfgDlg::ToggleLowBatteryNotice() { Flip(&WindowSettings::lowBatteryNotice, notice_); }

void CCfgDlg::OpenSupport() {
  const QString url = UiText("tc_web");
  if (url.isEmpty()) return;
  if (!IsOpenableUrl(url)) {
    LogPrint("CCfgDlg: not an http or https address: %s", qPrintable(url));
    return;
  }
  openUrl_(url);
}

void CCfgDlg::PaintBuffer(QPainter& p) {
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(0x282223));
  else p.drawImage(rect(), bg_);
  p.setPen(ColorFromRef(textColor_));
  p.setFont(SharedFontOr(DialogFont(16, 500)));
  const uint32_t kLeft = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
  auto pair = [&](const QRect& r, const char* a, const char* b) {
    const QString second = b ? UiText(b) : QString();
    if (second.isEmpty()) {
      DrawFormattedText(p, r, UiText(a), kLeft);
      return;
    }
    DrawFormattedText(p, QRect(r.left(), r.top(), r.width(), r.height() / 2), UiText(a), kLeft);
    p.save();
    p.setPen(ColorFromRef(0x969696));
    p.setFont(SharedFontOr(DialogFont(13, 400)));
    DrawFormattedText(p, QRect(r.left(), r.top() + r.height() / 2, r.width(), r.height() / 2),
                      UiText(b), kLeft);
    p.restore();
  };
  pair(R(254, 75, 534, 133), "tc_new4", nullptr);
  pair(R(254, 139, 534, 197), "tc_new5", "tc_new6");
  pair(R(254, 203, 534, 261), "tc_new7", "tc_new8");
  // The version goes on the panel's top line; its row holds the notice.
  pair(R(254, 40, 534, 74), "tc_version", nullptr);
  pair(R(254, 267, 534, 325), "tc_low_battery", "tc_low_battery_tip");
  pair(R(254, 331, 534, 389), "tc_new2", "tc_new3");
  DrawFormattedText(p, R(400, 40, 600, 74), VersionText(drvVer_), kLeft);
  const WindowSettings s = backend_.Settings();
  DrawFormattedText(p, R(556, 138, 756, 196), UiText(s.runAtLogon ? "tc_new10" : "tc_new9"), kLeft);
  DrawFormattedText(p, R(556, 201, 756, 259), UiText(s.startHidden ? "tc_new10" : "tc_new9"), kLeft);
  DrawFormattedText(p, R(556, 266, 756, 324), UiText(s.lowBatteryNotice ? "tc_new10" : "tc_new9"),
                    kLeft);
}

void CCfgDlg::mousePressEvent(QMouseEvent* e) { e->ignore(); }

}  // namespace tolvane::ui
